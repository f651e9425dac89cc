// The windows of the window system: starting SDL's video, making, placing,
// showing and destroying windows, each window's picture and how it reaches
// the screen (SDL's renderer, or OpenGL once the window is made able to carry
// it), the cursor, and the window system's events taken on the video thread
// and turned into VideoEvents. Display modes are in sdl_display.cpp, the
// letterbox geometry in sdl_letterbox.cpp, events pushed by tests in
// sdl_event_push.cpp.
#include "platform/sdl/sdl_video.h"

#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_internal.h"

#include <SDL2/SDL.h>
#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer (as GCC 12 has it) takes a dynamic TLS block that starts 16
// bytes past a page boundary for an old C library's block with a header, and
// reads its bounds from the 16 bytes before it: with the C library's blocks
// now taken from malloc, those are the allocator's chunk header, the bounds
// are garbage and its stop of the world at exit ends with "Tracer caught
// signal 11". OpenGL's libraries, loaded at run time, hold such blocks on
// every thread that draws, and where one lands depends on everything
// allocated before it (another user, another run). The leak checker leaves
// dynamic TLS alone; a user's ASAN_OPTIONS still wins.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
#endif

namespace platform::sdl {
namespace {

struct VideoWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool rendererTried = false;
    bool softwareRenderer = false;  // asked for: SDL's software renderer only
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
    WindowPlacement placement;
    std::vector<uint32_t> picture;
    int pictureWidth = 0;
    int pictureHeight = 0;
    uint64_t presents = 0;
    bool glShown = false;   // the window shows what OpenGL draws into it
    PictureSource source;   // paints the GL-shown frame into a copy of the picture
};

// Mesa's OpenGL drivers do their share of each call (state checks, vertex
// work) on a thread of their own, as a graphics card's driver does, instead
// of on the thread that draws. The driver reads the choice from the
// environment when it starts; it is set here, before main and so before any
// thread that could read the environment meanwhile. A user's own setting
// stands. The driver says on standard error that an option came from the
// environment ("ATTENTION: default value of option ... overridden by
// environment.") unless its messages are asked to be silent; the player set
// nothing, so the line is asked away too: MESA_DEBUG=silent, unless the user
// set MESA_DEBUG (a release build of Mesa prints nothing else either way).
bool ChooseDriverThread() {
    if (getenv("mesa_glthread") != nullptr) return true;
    return setenv("MESA_DEBUG", "silent", 0) == 0 && setenv("mesa_glthread", "true", 0) == 0;
}
const bool g_driverThreadChosen = ChooseDriverThread();

std::recursive_mutex g_mutex;
std::map<uint32_t, VideoWindow> g_windows;
bool g_videoTried = false;
bool g_videoReady = false;
std::thread::id g_videoThread;
std::map<int, SDL_Cursor*> g_cursors;
bool g_nextWindowGL = false;  // GiveNextWindowGL: the next window carries a drawable

VideoWindow* FindWindow(uint32_t id) {
    auto it = g_windows.find(id);
    return it == g_windows.end() ? nullptr : &it->second;
}

void ResizePicture(VideoWindow& w, int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == w.pictureWidth && height == w.pictureHeight) return;
    std::vector<uint32_t> picture(static_cast<size_t>(width) * height, 0);
    int rows = std::min(height, w.pictureHeight);
    int cols = std::min(width, w.pictureWidth);
    for (int y = 0; y < rows; ++y)
        std::memcpy(&picture[static_cast<size_t>(y) * width], &w.picture[static_cast<size_t>(y) * w.pictureWidth],
                    static_cast<size_t>(cols) * 4);
    w.picture.swap(picture);
    w.pictureWidth = width;
    w.pictureHeight = height;
}

// Pictures are shown with OpenGL only where OpenGL is a graphics card's;
// elsewhere (a software rasteriser, or no card at all) SDL copies them into
// the window's own framebuffer, which costs far less.
bool g_softwareOpenGL = false;

bool AcceleratedPictures() { return !g_softwareOpenGL && GraphicsCardPresent(); }

void EnsureRenderer(VideoWindow& w) {
    if (w.rendererTried) return;
    w.rendererTried = true;
    if (!w.softwareRenderer && AcceleratedPictures())
        w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_ACCELERATED);
    if (w.renderer == nullptr) w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
}

bool EnsureTexture(VideoWindow& w) {
    if (w.texture != nullptr && w.textureWidth == w.pictureWidth && w.textureHeight == w.pictureHeight) return true;
    if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w.pictureWidth,
                                  w.pictureHeight);
    w.textureWidth = w.pictureWidth;
    w.textureHeight = w.pictureHeight;
    return w.texture != nullptr;
}

void DropRenderer(VideoWindow& w) {
    if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
    if (w.renderer != nullptr) SDL_DestroyRenderer(w.renderer);
    w.texture = nullptr;
    w.renderer = nullptr;
    w.rendererTried = false;
}

// Gives a window an OpenGL drawable: SDL makes a window anew with one when an
// OpenGL renderer is made for it (keeping the window and its id); the
// renderer itself is not kept.
bool MakeGLCapable(VideoWindow& w) {
    DropRenderer(w);
    if (SDL_GetWindowFlags(w.window) & SDL_WINDOW_OPENGL) return true;
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
        SDL_RendererInfo info;
        if (SDL_GetRenderDriverInfo(i, &info) != 0 || std::strcmp(info.name, "opengl") != 0) continue;
        if (SDL_Renderer* renderer = SDL_CreateRenderer(w.window, i, 0)) SDL_DestroyRenderer(renderer);
        break;
    }
    return (SDL_GetWindowFlags(w.window) & SDL_WINDOW_OPENGL) != 0;
}

void Present(VideoWindow& w) {
    ++w.presents;
    // While OpenGL shows the window, its picture is only kept.
    if (w.glShown) return;
    EnsureRenderer(w);
    if (w.renderer == nullptr || !EnsureTexture(w)) return;
    SDL_UpdateTexture(w.texture, nullptr, w.picture.data(), w.pictureWidth * 4);
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(w.renderer, &outW, &outH) != 0) return;
    Letterbox box = ComputeLetterbox(outW, outH, w.pictureWidth, w.pictureHeight);
    SDL_Rect dst{box.x, box.y, box.width, box.height};
    SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
    SDL_RenderClear(w.renderer);
    SDL_RenderCopy(w.renderer, w.texture, nullptr, &dst);
    SDL_RenderPresent(w.renderer);
}

void MapMouse(uint32_t id, int x, int y, int* cx, int* cy) {
    *cx = x;
    *cy = y;
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return;
    int ww = 0, wh = 0;
    SDL_GetWindowSize(w->window, &ww, &wh);
    const WindowPlacement& p = w->placement;
    Letterbox box = ComputeLetterbox(ww, wh, p.clientWidth, p.clientHeight);
    MapOutputToClient(box, p.clientWidth, p.clientHeight, x, y, p.fullScreen, cx, cy);
}

void TranslateWindowEvent(const SDL_WindowEvent& e, std::vector<VideoEvent>* out) {
    VideoEvent ev;
    ev.windowId = e.windowID;
    VideoWindow* w = FindWindow(e.windowID);
    switch (e.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED: ev.type = VideoEvent::FocusGained; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: ev.type = VideoEvent::FocusLost; break;
        case SDL_WINDOWEVENT_CLOSE: ev.type = VideoEvent::Close; break;
        case SDL_WINDOWEVENT_MINIMIZED: ev.type = VideoEvent::Minimized; break;
        case SDL_WINDOWEVENT_MAXIMIZED: ev.type = VideoEvent::Maximized; break;
        case SDL_WINDOWEVENT_RESTORED: ev.type = VideoEvent::Restored; break;
        case SDL_WINDOWEVENT_EXPOSED:
            if (w != nullptr) Present(*w);
            ev.type = VideoEvent::Exposed;
            break;
        case SDL_WINDOWEVENT_MOVED:
            // A full-screen window sits on the desktop's origin whatever the system says.
            if (w == nullptr || w->placement.fullScreen) return;
            w->placement.x = e.data1;
            w->placement.y = e.data2;
            ev.type = VideoEvent::Moved;
            ev.x = e.data1;
            ev.y = e.data2;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // Only a resizable window takes its size from the window system; the
            // others keep the client size the program gave and are letterboxed.
            if (w == nullptr || w->placement.fullScreen || !w->placement.resizable) return;
            if (e.data1 == w->placement.clientWidth && e.data2 == w->placement.clientHeight) return;
            w->placement.clientWidth = e.data1;
            w->placement.clientHeight = e.data2;
            ResizePicture(*w, e.data1, e.data2);
            ev.type = VideoEvent::Resized;
            ev.x = e.data1;
            ev.y = e.data2;
            break;
        default: return;
    }
    out->push_back(ev);
}

void Translate(const SDL_Event& e, std::vector<VideoEvent>* out) {
    VideoEvent ev;
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            KeyInfo key = KeyFromScancode(e.key.keysym.scancode);
            if (key.vk == 0) return;
            ev.type = e.type == SDL_KEYDOWN ? VideoEvent::KeyDown : VideoEvent::KeyUp;
            ev.windowId = e.key.windowID;
            ev.vk = key.vk;
            ev.scanCode = key.scanCode;
            ev.extended = key.extended;
            ev.repeat = e.key.repeat != 0;
            break;
        }
        case SDL_TEXTINPUT:
            ev.type = VideoEvent::Text;
            ev.windowId = e.text.windowID;
            ev.text.assign(e.text.text, strnlen(e.text.text, sizeof e.text.text));
            break;
        case SDL_MOUSEMOTION:
            ev.type = VideoEvent::MouseMove;
            ev.windowId = e.motion.windowID;
            MapMouse(ev.windowId, e.motion.x, e.motion.y, &ev.x, &ev.y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button < SDL_BUTTON_LEFT || e.button.button > SDL_BUTTON_RIGHT) return;
            ev.type = e.type == SDL_MOUSEBUTTONDOWN ? VideoEvent::MouseDown : VideoEvent::MouseUp;
            ev.windowId = e.button.windowID;
            ev.button = e.button.button;  // SDL numbers them left 1, middle 2, right 3 as we do
            MapMouse(ev.windowId, e.button.x, e.button.y, &ev.x, &ev.y);
            break;
        case SDL_MOUSEWHEEL:
            ev.type = VideoEvent::MouseWheel;
            ev.windowId = e.wheel.windowID;
            ev.wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            if (ev.wheel == 0) return;
            break;
        case SDL_WINDOWEVENT: TranslateWindowEvent(e.window, out); return;
        case SDL_QUIT: ev.type = VideoEvent::Quit; break;
        default: return;
    }
    out->push_back(ev);
}

SDL_SystemCursor ToSdlCursor(SystemCursor shape) {
    switch (shape) {
        case SystemCursor::IBeam: return SDL_SYSTEM_CURSOR_IBEAM;
        case SystemCursor::Wait: return SDL_SYSTEM_CURSOR_WAIT;
        case SystemCursor::Cross: return SDL_SYSTEM_CURSOR_CROSSHAIR;
        case SystemCursor::Hand: return SDL_SYSTEM_CURSOR_HAND;
        case SystemCursor::SizeAll: return SDL_SYSTEM_CURSOR_SIZEALL;
        case SystemCursor::No: return SDL_SYSTEM_CURSOR_NO;
        case SystemCursor::SizeNS: return SDL_SYSTEM_CURSOR_SIZENS;
        case SystemCursor::SizeWE: return SDL_SYSTEM_CURSOR_SIZEWE;
        case SystemCursor::SizeNWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
        case SystemCursor::SizeNESW: return SDL_SYSTEM_CURSOR_SIZENESW;
        case SystemCursor::Arrow: break;
    }
    return SDL_SYSTEM_CURSOR_ARROW;
}

std::string g_videoStartError;

// The drivers that show nothing: taken only when SDL_VIDEODRIVER names them.
bool IsHeadlessDriver(const char* name) {
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0 ||
           std::strcmp(name, "evdev") == 0;
}

// Starts the driver SDL_VIDEODRIVER names, or else the first window system
// that answers. Without one SDL would fall back to a headless driver and the
// program would run unseen; instead this fails with every driver's reason.
bool StartWindowSystemDriver() {
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && chosen[0] != '\0') {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        g_videoStartError = SDL_GetError();
        return false;
    }
    std::string reasons;
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* name = SDL_GetVideoDriver(i);
        if (name == nullptr || IsHeadlessDriver(name)) continue;
        SDL_SetHint(SDL_HINT_VIDEODRIVER, name);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) return true;
        reasons += (reasons.empty() ? "" : "; ") + std::string(SDL_GetError());
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    g_videoStartError = reasons.empty() ? "no window system driver" : reasons;
    return false;
}

}  // namespace

bool InitVideo() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (g_videoTried) return g_videoReady;
    g_videoTried = true;
    // The program decides what a closed window means; a full-screen window stays
    // up when another window takes the focus; scaled pictures keep hard pixels.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    // The click that gives a window the focus is an ordinary click for it, as
    // on Windows (SDL would otherwise drop it on X11): the first click on a
    // button or the board of a window in the background is not lost.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // A window presented in software writes to the window system's own
    // framebuffer: SDL would otherwise emulate it with an OpenGL texture,
    // whose context costs more to make than a rarely drawn window saves.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (!StartWindowSystemDriver()) return false;
    g_videoReady = true;
    g_videoThread = std::this_thread::get_id();
    return true;
}

std::string VideoStartError() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_videoStartError;
}

bool IsVideoThread() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    return g_videoReady && g_videoThread == std::this_thread::get_id();
}

const char* VideoDriverName() {
    if (!InitVideo()) return "";
    const char* name = SDL_GetCurrentVideoDriver();
    return name != nullptr ? name : "";
}

uint32_t CreateVideoWindow(const std::string& titleUtf8, const WindowPlacement& placement) {
    if (!InitVideo()) return 0;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (placement.borderless) flags |= SDL_WINDOW_BORDERLESS;
    if (placement.resizable) flags |= SDL_WINDOW_RESIZABLE;
    if (placement.fullScreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (g_nextWindowGL) {
        SetContextAttributes();
        flags |= SDL_WINDOW_OPENGL;
        g_nextWindowGL = false;
    }
    int x = placement.x == kPositionUndefined ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : placement.x;
    int y = placement.y == kPositionUndefined ? static_cast<int>(SDL_WINDOWPOS_CENTERED) : placement.y;
    SDL_Window* window = SDL_CreateWindow(titleUtf8.c_str(), x, y, std::max(placement.clientWidth, 1),
                                          std::max(placement.clientHeight, 1), flags);
    if (window == nullptr) return 0;
    // Events are taken on the thread that makes the windows.
    if (g_windows.empty()) g_videoThread = std::this_thread::get_id();
    uint32_t id = SDL_GetWindowID(window);
    VideoWindow& w = g_windows[id];
    w.window = window;
    w.placement = placement;
    ResizePicture(w, placement.clientWidth, placement.clientHeight);
    return id;
}

bool UseSoftwareRenderer(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return false;
    w->softwareRenderer = true;
    return true;
}

bool AsksSoftwareRenderer(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    return w != nullptr && w->softwareRenderer;
}

void DestroyVideoWindow(uint32_t id) {
    SDL_Window* window = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(g_mutex);
        VideoWindow* w = FindWindow(id);
        if (w == nullptr) return;
        window = w->window;
    }
    // Outside this file's lock: the context's lock is taken before it elsewhere.
    ForgetGLWindow(window);
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return;
    DropRenderer(*w);
    SDL_DestroyWindow(w->window);
    g_windows.erase(id);
}

void SetVideoWindowTitle(uint32_t id, const std::string& titleUtf8) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) SDL_SetWindowTitle(w->window, titleUtf8.c_str());
}

void SetVideoWindowIcon(uint32_t id, int width, int height, const uint32_t* argb) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr || argb == nullptr || width <= 0 || height <= 0) return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(argb), width, height, 32,
                                                              width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface == nullptr) return;
    SDL_SetWindowIcon(w->window, surface);
    SDL_FreeSurface(surface);
}

void ShowVideoWindow(uint32_t id, bool show) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return;
    if (show) {
        SDL_ShowWindow(w->window);
        Present(*w);
    } else {
        SDL_HideWindow(w->window);
    }
}

void MinimizeVideoWindow(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) SDL_MinimizeWindow(w->window);
}

void RestoreVideoWindow(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) SDL_RestoreWindow(w->window);
}

void RaiseVideoWindow(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) SDL_RaiseWindow(w->window);
}

void PlaceVideoWindow(uint32_t id, const WindowPlacement& placement) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return;
    WindowPlacement old = w->placement;
    w->placement = placement;
    if (old.fullScreen && !placement.fullScreen) SDL_SetWindowFullscreen(w->window, 0);
    if (old.borderless != placement.borderless)
        SDL_SetWindowBordered(w->window, placement.borderless ? SDL_FALSE : SDL_TRUE);
    if (old.resizable != placement.resizable)
        SDL_SetWindowResizable(w->window, placement.resizable ? SDL_TRUE : SDL_FALSE);
    if (!placement.fullScreen) {
        SDL_SetWindowSize(w->window, std::max(placement.clientWidth, 1), std::max(placement.clientHeight, 1));
        if (placement.x != kPositionUndefined) SDL_SetWindowPosition(w->window, placement.x, placement.y);
    } else if (!old.fullScreen) {
        // Cover the desktop by hand first: without a window manager the
        // full-screen request alone leaves the window at its old size.
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(0, &bounds) == 0) {
            SDL_SetWindowBordered(w->window, SDL_FALSE);
            SDL_SetWindowPosition(w->window, bounds.x, bounds.y);
            SDL_SetWindowSize(w->window, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
    ResizePicture(*w, placement.clientWidth, placement.clientHeight);
    if (SDL_GetWindowFlags(w->window) & SDL_WINDOW_SHOWN) Present(*w);
}

bool GetVideoWindowPosition(uint32_t id, int* x, int* y) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return false;
    SDL_GetWindowPosition(w->window, x, y);
    return true;
}

bool GetVideoWindowPlacement(uint32_t id, WindowPlacement* placement) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return false;
    *placement = w->placement;
    return true;
}

std::string GetVideoWindowTitle(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    return w != nullptr ? SDL_GetWindowTitle(w->window) : "";
}

bool IsVideoWindowShown(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    return w != nullptr && (SDL_GetWindowFlags(w->window) & SDL_WINDOW_SHOWN) != 0;
}

uint32_t* LockWindowPicture(uint32_t id, int* width, int* height) {
    g_mutex.lock();
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) {
        g_mutex.unlock();
        return nullptr;
    }
    *width = w->pictureWidth;
    *height = w->pictureHeight;
    return w->picture.data();  // the lock is held until UnlockWindowPicture
}

void UnlockWindowPicture(uint32_t id, bool present) {
    VideoWindow* w = FindWindow(id);
    if (w != nullptr && present) Present(*w);
    g_mutex.unlock();
}

void PresentWindowPicture(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) Present(*w);
}

bool ReadWindowPicture(uint32_t id, std::vector<uint32_t>* pixels, int* width, int* height) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return false;
    *pixels = w->picture;
    *width = w->pictureWidth;
    *height = w->pictureHeight;
    if (w->glShown && w->source) w->source(pixels->data(), w->pictureWidth, w->pictureHeight);
    return true;
}

void SetSoftwareOpenGL(bool software) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (software == g_softwareOpenGL) return;
    g_softwareOpenGL = software;
    // Pictures shown from now on take the new road.
    for (auto& [id, w] : g_windows)
        if (!w.glShown) DropRenderer(w);
}

void SetWindowPictureSource(uint32_t id, PictureSource source) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (VideoWindow* w = FindWindow(id)) w->source = std::move(source);
}

void EndWindowGL(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr || !w->glShown) return;
    w->glShown = false;
    w->source = nullptr;
    Present(*w);
}

void GiveNextWindowGL() {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    g_nextWindowGL = true;
}

SDL_Window* FirstGLWindow(SDL_Window* except) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    for (auto& [id, w] : g_windows)
        if (w.window != except && (SDL_GetWindowFlags(w.window) & SDL_WINDOW_OPENGL)) return w.window;
    return nullptr;
}

SDL_Window* GLCapableWindow(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    if (w == nullptr) return nullptr;
    if (!w->glShown) {
        if (!MakeGLCapable(*w)) return nullptr;
        w->glShown = true;
    }
    ++w->presents;
    return w->window;
}

uint64_t WindowPresentCount(uint32_t id) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    VideoWindow* w = FindWindow(id);
    return w == nullptr ? 0 : w->presents;
}

void SetCursorState(bool visible, bool hasShape, SystemCursor shape) {
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    if (!g_videoReady) return;
    if (hasShape) {
        int key = static_cast<int>(shape);
        SDL_Cursor*& cursor = g_cursors[key];
        if (cursor == nullptr) cursor = SDL_CreateSystemCursor(ToSdlCursor(shape));
        if (cursor != nullptr && SDL_GetCursor() != cursor) SDL_SetCursor(cursor);
    }
    SDL_ShowCursor(visible && hasShape ? SDL_ENABLE : SDL_DISABLE);
}

void PollVideoEvents(std::vector<VideoEvent>* out) {
    if (!IsVideoThread()) return;
    std::lock_guard<std::recursive_mutex> lock(g_mutex);
    SDL_Event e;
    while (SDL_PollEvent(&e)) Translate(e, out);
}

void WaitVideoEvents(int timeoutMs) {
    if (!IsVideoThread()) return;
    SDL_WaitEventTimeout(nullptr, std::max(timeoutMs, 0));
}

}  // namespace platform::sdl
