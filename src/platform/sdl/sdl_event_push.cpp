// Events made by tests: key, text, mouse, window and quit events pushed into
// SDL's queue as the window system would send them, so that they travel the
// same way (PollVideoEvents) as a user's.
#include "platform/sdl/sdl_video.h"

#include <SDL2/SDL.h>

#include <cstring>

namespace platform::sdl {
namespace {

bool Push(SDL_Event& e) {
    if (!InitVideo()) return false;
    return SDL_PushEvent(&e) == 1;
}

}  // namespace

bool PushKeyEvent(uint32_t id, int scancode, bool down, bool repeat) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.timestamp = SDL_GetTicks();
    e.key.windowID = id;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = static_cast<SDL_Scancode>(scancode);
    e.key.keysym.sym = SDL_GetKeyFromScancode(e.key.keysym.scancode);
    return Push(e);
}

bool PushTextEvent(uint32_t id, const char* utf8) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.timestamp = SDL_GetTicks();
    e.text.windowID = id;
    if (utf8 != nullptr) std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
    return Push(e);
}

bool PushMouseMotion(uint32_t id, int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.timestamp = SDL_GetTicks();
    e.motion.windowID = id;
    e.motion.x = x;
    e.motion.y = y;
    return Push(e);
}

bool PushMouseButton(uint32_t id, int button, bool down, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.timestamp = SDL_GetTicks();
    e.button.windowID = id;
    e.button.button = static_cast<Uint8>(button);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    e.button.x = x;
    e.button.y = y;
    return Push(e);
}

bool PushMouseWheel(uint32_t id, int notches) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.timestamp = SDL_GetTicks();
    e.wheel.windowID = id;
    e.wheel.y = notches;
    e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return Push(e);
}

bool PushWindowEvent(uint32_t id, WindowEventKind kind, int a, int b) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.timestamp = SDL_GetTicks();
    e.window.windowID = id;
    e.window.data1 = a;
    e.window.data2 = b;
    switch (kind) {
        case WindowEventKind::FocusGained: e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
        case WindowEventKind::FocusLost: e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
        case WindowEventKind::Close: e.window.event = SDL_WINDOWEVENT_CLOSE; break;
        case WindowEventKind::Exposed: e.window.event = SDL_WINDOWEVENT_EXPOSED; break;
        case WindowEventKind::Minimized: e.window.event = SDL_WINDOWEVENT_MINIMIZED; break;
        case WindowEventKind::Restored: e.window.event = SDL_WINDOWEVENT_RESTORED; break;
        case WindowEventKind::Moved: e.window.event = SDL_WINDOWEVENT_MOVED; break;
        case WindowEventKind::Resized: e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED; break;
    }
    return Push(e);
}

bool PushQuitEvent() {
    SDL_Event e{};
    e.type = SDL_QUIT;
    e.quit.timestamp = SDL_GetTicks();
    return Push(e);
}

}  // namespace platform::sdl
