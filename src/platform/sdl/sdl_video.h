// The video side of the SDL back end: windows, their events in a neutral
// form, the cursor, the display, and the presentation of each window's
// picture. Nothing outside src/platform/sdl/ sees an SDL type.
//
// Every window keeps a picture of its client area (32-bit, 0x00RRGGBB, the
// byte order of a 32-bit DIB); the GDI stand-in writes into it and asks for
// it to be shown. In full screen the window covers the desktop and the
// picture is scaled with its aspect kept; mouse positions are mapped back to
// the client size the program asked for.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform::sdl {

// ---- video start ----------------------------------------------------------
// Starts SDL's video subsystem once (later calls only report the result):
// the driver SDL_VIDEODRIVER names, else a window system (never a headless
// driver). VideoStartError says why it failed.
bool InitVideo();
std::string VideoStartError();
// True on the thread that made the first of the current windows (else the
// one that started the video subsystem): only it may take events.
bool IsVideoThread();
const char* VideoDriverName();

// ---- display --------------------------------------------------------------
struct DisplayModeInfo {
    int width;
    int height;
    int bitsPerPixel;  // bytes per pixel x 8: the usual 24-bit-deep X11 desktop reports 32
    int refreshRate;   // 0 when the driver does not know
};
bool GetDesktopMode(DisplayModeInfo* mode);
std::vector<DisplayModeInfo> GetDisplayModes();

// ---- windows --------------------------------------------------------------
constexpr int kPositionUndefined = -0x7FFFFFFF;

struct WindowPlacement {
    int x = kPositionUndefined;  // client area origin on the screen
    int y = kPositionUndefined;
    int clientWidth = 0;
    int clientHeight = 0;
    bool fullScreen = false;  // covers the desktop; the client picture is scaled into it
    bool borderless = false;
    bool resizable = false;
};

// A new window (hidden until ShowVideoWindow); its id, or 0 on failure.
uint32_t CreateVideoWindow(const std::string& titleUtf8, const WindowPlacement& placement);
// The window's picture is presented with SDL's software renderer rather than
// an accelerated (OpenGL) one: for windows drawn now and then, such as one
// holding controls. Takes effect when the window's renderer is made (at its
// first present); false for an unknown window.
bool UseSoftwareRenderer(uint32_t id);
// Whether UseSoftwareRenderer was asked for the window.
bool AsksSoftwareRenderer(uint32_t id);
void DestroyVideoWindow(uint32_t id);
void SetVideoWindowTitle(uint32_t id, const std::string& titleUtf8);
// argb: width x height pixels 0xAARRGGBB; null clears the icon.
void SetVideoWindowIcon(uint32_t id, int width, int height, const uint32_t* argb);
void ShowVideoWindow(uint32_t id, bool show);
void MinimizeVideoWindow(uint32_t id);
void RestoreVideoWindow(uint32_t id);
void RaiseVideoWindow(uint32_t id);
void PlaceVideoWindow(uint32_t id, const WindowPlacement& placement);
// The client origin on the screen as the window system reports it.
bool GetVideoWindowPosition(uint32_t id, int* x, int* y);
// What the window was last given (tests and diagnostics).
bool GetVideoWindowPlacement(uint32_t id, WindowPlacement* placement);
std::string GetVideoWindowTitle(uint32_t id);
bool IsVideoWindowShown(uint32_t id);

// ---- the window's picture -------------------------------------------------
// The client-size picture for writing (row pitch = width); null for an unknown
// window. Every Lock that returned a picture is followed by one Unlock (the
// picture stays locked in between); Unlock with present shows it.
uint32_t* LockWindowPicture(uint32_t id, int* width, int* height);
void UnlockWindowPicture(uint32_t id, bool present);
// Shows the kept picture again (after an expose, say).
void PresentWindowPicture(uint32_t id);
// A copy of the last picture; false for an unknown window.
bool ReadWindowPicture(uint32_t id, std::vector<uint32_t>* pixels, int* width, int* height);
// How many times the picture has been shown (a present that had no renderer
// counts too: the picture is still kept), OpenGL presents included.
uint64_t WindowPresentCount(uint32_t id);

// ---- OpenGL and the graphics card -------------------------------------------
// Whether the machine has a graphics card's device node (a DRM render node,
// or the proprietary driver's control node). Without one the only OpenGL is
// a software rasteriser, and window pictures are copied into the window
// system's framebuffer without OpenGL.
bool GraphicsCardPresent();
// Told by whoever started OpenGL that its renderer is a software rasteriser:
// pictures are then shown without OpenGL as well.
void SetSoftwareOpenGL(bool software);

// ---- windows shown by OpenGL ------------------------------------------------
// From its first OpenGL present (sdl_gl.h) a window shows what OpenGL draws
// into it and its picture is only kept. A picture source paints the frame
// shown into a copy of the client picture when it is read (captures, tests):
// the frame reaches memory only then. EndWindowGL gives the window back to
// its picture (and forgets the source).
using PictureSource = std::function<void(uint32_t* picture, int width, int height)>;
void SetWindowPictureSource(uint32_t id, PictureSource source);
void EndWindowGL(uint32_t id);

// ---- cursor ---------------------------------------------------------------
enum class SystemCursor { Arrow, IBeam, Wait, Cross, Hand, SizeAll, No, SizeNS, SizeWE, SizeNWSE, SizeNESW };
// Shape null (hidden) or a system shape, and the show counter's verdict.
void SetCursorState(bool visible, bool hasShape, SystemCursor shape);

// ---- letterboxing ---------------------------------------------------------
struct Letterbox {
    int x;
    int y;
    int width;
    int height;
};
// Where a client picture of clientW x clientH lands in an output of outW x
// outH: as large as fits with its aspect kept, centred.
Letterbox ComputeLetterbox(int outW, int outH, int clientW, int clientH);
// An output position mapped back into client coordinates; clamp keeps it
// inside the client area.
void MapOutputToClient(const Letterbox& box, int clientW, int clientH, int x, int y, bool clamp, int* cx,
                       int* cy);

// ---- events ---------------------------------------------------------------
struct VideoEvent {
    enum Type {
        KeyDown,
        KeyUp,
        Text,
        MouseMove,
        MouseDown,
        MouseUp,
        MouseWheel,
        FocusGained,
        FocusLost,
        Close,
        Resized,
        Moved,
        Exposed,
        Minimized,
        Maximized,
        Restored,
        Quit,
    };
    Type type = KeyDown;
    uint32_t windowId = 0;  // 0: no window (Quit)
    int x = 0;              // mouse: client coordinates; Moved: screen position; Resized: new size
    int y = 0;
    int button = 0;       // 1 left, 2 middle, 3 right
    int wheel = 0;        // notches, positive away from the user
    uint8_t vk = 0;       // virtual-key code of the key (left/right specific for Shift, Ctrl, Alt)
    uint8_t scanCode = 0;  // PC set-1 scan code
    bool extended = false;
    bool repeat = false;
    std::string text;  // Text: UTF-8
};
// Takes every pending event (video thread only; elsewhere nothing).
void PollVideoEvents(std::vector<VideoEvent>* out);
// Waits up to timeoutMs for an event without taking it (video thread only).
void WaitVideoEvents(int timeoutMs);

// ---- keys -----------------------------------------------------------------
struct KeyInfo {
    uint8_t vk;        // 0: no virtual key
    uint8_t scanCode;  // PC set-1 scan code
    bool extended;
};
// The virtual key (as the Japanese keyboard layout assigns it) of a physical
// key given by its SDL scancode number.
KeyInfo KeyFromScancode(int scancode);
// The scancode number of a key name such as "Escape", "A", "Left Shift"; -1 if unknown.
int ScancodeFromName(const char* name);

// ---- events made by tests (they travel through SDL's queue) ----------------
bool PushKeyEvent(uint32_t id, int scancode, bool down, bool repeat);
bool PushTextEvent(uint32_t id, const char* utf8);
// Mouse positions in window pixels (before the mapping to client coordinates).
bool PushMouseMotion(uint32_t id, int x, int y);
bool PushMouseButton(uint32_t id, int button, bool down, int x, int y);
bool PushMouseWheel(uint32_t id, int notches);
enum class WindowEventKind { FocusGained, FocusLost, Close, Exposed, Minimized, Restored, Moved, Resized };
bool PushWindowEvent(uint32_t id, WindowEventKind kind, int a = 0, int b = 0);
bool PushQuitEvent();

}  // namespace platform::sdl
