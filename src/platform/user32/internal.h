// Shared state of the USER32 stand-in. One recursive mutex guards it; no
// window procedure is ever called while it is held.
#pragma once

#include "platform/user32/user32.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace user32 {

// Frame metrics of the windows we make (window rectangle around the client area).
constexpr int kCaptionHeight = 22;
constexpr int kFixedFrame = 3;
constexpr int kSizeFrame = 4;
constexpr int kMenuHeight = 20;

struct ClassRecord {
    std::string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON iconSmall = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windowCount = 0;
};

struct WindowRecord {
    HWND hwnd = nullptr;
    std::string className;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    std::string title;  // Shift-JIS
    HWND parent = nullptr;
    LONG_PTR controlId = 0;
    HINSTANCE instance = nullptr;
    LONG_PTR userData = 0;
    std::vector<uint8_t> extra;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;
    HMENU menu = nullptr;  // top level only: a menu bar above the client area
    RECT rect{};  // top level: screen coordinates; child: the parent's client coordinates
    uint32_t backendId = 0;
    DWORD threadId = 0;
    bool visible = false;
    bool minimized = false;
    bool destroying = false;
    bool invalid = false;
    RECT invalidRect{};
    bool eraseInvalid = false;
    bool placementKnown = false;
    bool appliedFullScreen = false;
    std::string registryPath;
    bool painting = false;  // between BeginPaint and EndPaint
    RECT paintRect{};       // the area BeginPaint took (client coordinates)
};

struct QueuedMessage {
    MSG msg{};
    std::string text;        // characters typed with this key press (Shift-JIS)
    uint8_t specificVk = 0;  // the left/right key behind VK_SHIFT, VK_CONTROL, VK_MENU
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD due = 0;
    DWORD threadId = 0;
};

struct ThreadQueue {
    std::deque<QueuedMessage> messages;
    bool quit = false;
    int quitCode = 0;
    BYTE keys[256] = {};
    bool pressedSinceRead[256] = {};  // went down since the last GetKeyboardState
    QueuedMessage lastKey;  // the last key-down taken, for TranslateMessage
    bool lastKeyValid = false;
    DWORD lastMessageTime = 0;
    HWND focus = nullptr;
    std::condition_variable_any wake;
};

struct DisplayMode {
    int width;
    int height;
    int bits;
    int refresh;
};

struct State {
    std::recursive_mutex mutex;
    std::map<std::string, ClassRecord> classes;  // key: lower-case name
    ATOM nextAtom = 0xC000;
    std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
    uintptr_t nextHandle = 0x10010;
    std::map<DWORD, ThreadQueue> queues;
    std::vector<Timer> timers;
    UINT_PTR nextThreadTimerId = 0x7FF0;
    HWND active = nullptr;
    POINT cursorPos{};
    int cursorShowCount = 0;
    HCURSOR cursor = nullptr;
    bool cursorTouched = false;
    BYTE asyncKeys[256] = {};
    bool asyncPressed[256] = {};
    bool displayChanged = false;
    DisplayMode display{};  // the changed mode while displayChanged
    HWND capture = nullptr;  // the window that has the mouse capture
    std::set<uintptr_t> menus;
    uintptr_t nextMenu = 0x30010;
};

State& S();
using Lock = std::unique_lock<std::recursive_mutex>;

WindowRecord* FindRecord(HWND hwnd);
// The record of a window, or null with ERROR_INVALID_WINDOW_HANDLE set (lock held).
WindowRecord* RecordOrError(HWND hwnd);
// The class of a name or an atom, or null (lock held).
ClassRecord* FindClass(LPCSTR name);
ThreadQueue& QueueOf(DWORD threadId);
HWND TopLevelOf(HWND hwnd);
HWND WindowOfBackend(uint32_t backendId);

// Client rectangle of a window in its own coordinates and its origin on the screen.
RECT ClientRectOf(const WindowRecord& w);
POINT ClientOriginOnScreen(const WindowRecord& w);
// Frame around the client area for a style: amounts to subtract/add.
RECT FrameInsets(DWORD style, bool menu, DWORD exStyle);
// The frame around a window's client area, its menu bar included.
RECT FrameOf(const WindowRecord& w);

// The screen size: the changed display mode, else the desktop.
void ScreenSize(int* width, int* height);
// Brings a top-level window's SDL window in line with its record (lock held).
void SyncBackend(WindowRecord& w);
void SyncAllBackends();

// Sends a message (lock not held).
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Queues a message for the window's thread (lock held or not).
bool Enqueue(HWND hwnd, DWORD threadId, const QueuedMessage& m);

// A message stamped with the time and the cursor position (lock held).
QueuedMessage MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The thread's key state follows a message as it is taken from the queue (lock held).
void ApplyToKeyState(ThreadQueue& q, const QueuedMessage& m);

// Activation of a top-level window (lock not held).
void Activate(HWND hwnd);
void DeactivateApp(HWND hwnd);
// Shows or hides a window; a top-level window shown may be activated, hidden is
// deactivated (lock not held).
void ShowInternal(HWND hwnd, bool show, bool activate);
// The window's icon to its SDL window (lock held).
void ApplyIcon(WindowRecord& w);

// Takes the window system's events and turns them into messages (video thread).
void PumpWindowSystem();

// Cursor shape and visibility to the back end (lock held).
void ApplyCursor();

// Registry of windows for FindWindowA across processes.
std::string AddRegistryEntry(const std::string& className, const std::string& title);
void RemoveRegistryEntry(const std::string& path);
bool FindRegistryEntry(const char* className, const char* title);

// The predefined control classes ("BUTTON"), registered on first need (lock not held).
void EnsureControlClasses();
// DefWindowProcA's WM_NCHITTEST: where a screen point lies on a window (lock not held).
LRESULT NonClientHitTest(HWND hwnd, POINT screen);
// DefWindowProcA's WM_ERASEBKGND: fills the area being painted with the class
// brush; nonzero when it did (lock not held).
LRESULT EraseBackground(HWND hwnd);

std::string Lower(const char* text);
DWORD Now();

}  // namespace user32
