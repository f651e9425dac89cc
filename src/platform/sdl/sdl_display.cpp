// What the machine's display offers: the desktop's mode, the modes the first
// display can take, and whether there is a graphics card for OpenGL.
#include "platform/sdl/sdl_video.h"

#include <SDL2/SDL.h>
#include <glob.h>
#include <unistd.h>

namespace platform::sdl {

bool GetDesktopMode(DisplayModeInfo* mode) {
    if (!InitVideo()) return false;
    SDL_DisplayMode dm;
    if (SDL_GetDesktopDisplayMode(0, &dm) != 0) return false;
    *mode = DisplayModeInfo{dm.w, dm.h, static_cast<int>(SDL_BYTESPERPIXEL(dm.format)) * 8, dm.refresh_rate};
    return true;
}

std::vector<DisplayModeInfo> GetDisplayModes() {
    std::vector<DisplayModeInfo> modes;
    if (!InitVideo()) return modes;
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode dm;
        if (SDL_GetDisplayMode(0, i, &dm) != 0 || dm.w <= 0 || dm.h <= 0) continue;
        modes.push_back({dm.w, dm.h, static_cast<int>(SDL_BYTESPERPIXEL(dm.format)) * 8, dm.refresh_rate});
    }
    return modes;
}

bool GraphicsCardPresent() {
    static const bool present = [] {
        glob_t found{};
        const bool render = glob("/dev/dri/renderD*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
        globfree(&found);
        return render || access("/dev/nvidiactl", F_OK) == 0;
    }();
    return present;
}

}  // namespace platform::sdl
