// The library's main window: its class, creation with the double-start check,
// the window procedure, the window/full-screen switch and the cursor.
#include "core/library.h"
#include "core/library_hooks.h"
#include "core/library_state.h"
#include "core/log.h"
#include "core/utility.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"

namespace {

constexpr DWORD kWindowedStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFullScreenStyle = WS_POPUP;
constexpr UINT kInputFlagAMessage = 0x46F;
constexpr UINT kInputFlagBMessage = 0x470;

// The window rectangle for the current mode: the whole display in full
// screen, else the scaled screen size in a framed window centred on the desktop.
RECT MainWindowRect(DWORD style) {
    const WindowState& w = Window();
    if (!w.windowMode) {
        int32_t width, height;
        FullScreenSize(&width, &height);
        return RECT{0, 0, width, height};
    }
    LONG clientW = static_cast<LONG>(w.screenWidth * w.windowScale + 0.5);
    LONG clientH = static_cast<LONG>(w.screenHeight * w.windowScale + 0.5);
    RECT r{0, 0, clientW, clientH};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    LONG width = r.right - r.left, height = r.bottom - r.top;
    LONG x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    LONG y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    return RECT{x, y, x + width, y + height};
}

// The class a main window with this title registers: the title (as far as a
// class name holds), or the untitled class without one.
void MainWindowClassName(const char* title, char (&className)[kWindowTitleSize]) {
    CopyText(className, sizeof className, title != nullptr ? title : kUntitledClassName);
}

void SetActiveFlag(bool active) {
    Window().active = active ? 1 : 0;
    LibraryHooks& hooks = GetLibraryHooks();
    hooks.resetInputCooperativeLevel();
    hooks.applyPadVibration();
    // Movies stop while the application is in the background.
    if (active)
        hooks.resumeAllMovies();
    else
        hooks.pauseAllMovies();
}

// A full-screen window with a menu: while the pointer is on the menu bar or
// the caption the device lets the menu be seen (its dialog-box mode), with no
// scene open; the mode ends when the pointer leaves them. A device made anew
// (after a lost device or a mode change) while the pointer stays there is
// put into the mode at the next pointer message.
void FollowPointerOverMenu(HWND hwnd, WORD hit) {
    WindowState& w = Window();
    if (w.windowMode || GetMenu(hwnd) == nullptr) return;
    LibraryHooks& hooks = GetLibraryHooks();
    const bool over = hit == HTMENU || hit == HTCAPTION;
    const bool crossed = over != w.overMenuBar;
    w.overMenuBar = over;
    const bool deviceMissesMode = over && hooks.isDirect3DActive() != 0 && hooks.deviceDialogBoxMode() == 0;
    if (!crossed && !deviceMissesMode) return;
    hooks.endDeviceScene();
    hooks.setDeviceDialogBoxMode(over ? 1 : 0);
}

LRESULT MainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowState& w = Window();
    LibraryHooks& hooks = GetLibraryHooks();
    switch (message) {
        case WM_ACTIVATEAPP: SetActiveFlag(wParam != FALSE); return 0;
        case MM_MCINOTIFY: hooks.handleMidiNotify(wParam, lParam); return 0;
        case WM_SETCURSOR:
            FollowPointerOverMenu(hwnd, LOWORD(lParam));
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case kInputFlagAMessage:
            if (wParam == 1)
                hooks.setInputFlagA();
            else
                hooks.clearInputFlagA();
            return 0;
        case kInputFlagBMessage:
            if (wParam == 1)
                hooks.setInputFlagB();
            else
                hooks.clearInputFlagB();
            return 0;
        case WM_CLOSE:
            w.closing = 1;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_DESTROY:
            w.destroyed = 1;
            w.quitRequested = 1;
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            hooks.flushSubBufferAndPresent();
            EndPaint(hwnd, &paint);
            return 0;
        }
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The version code of the system: 0x104 NT 3.51 up to 0x109 Windows 7 (and later).
int32_t VersionCode() {
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    if (!GetVersionExA(&v)) return kWindowsVersion7;
    if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return v.dwMinorVersion >= 90 ? 3 : v.dwMinorVersion >= 10 ? 2 : 1;
    if (v.dwMajorVersion < 4) return 0x104;
    if (v.dwMajorVersion == 4) return 0x105;
    if (v.dwMajorVersion == 5) return v.dwMinorVersion == 0 ? 0x106 : 0x107;
    if (v.dwMajorVersion == 6 && v.dwMinorVersion == 0) return 0x108;
    return kWindowsVersion7;
}

void RecordSystemFacts() {
    WindowState& w = Window();
    w.mainThreadId = GetCurrentThreadId();
    w.windowsVersion = VersionCode();
    switch (GetOEMCP()) {
        case 949: w.codePageKind = 2, w.codePageNumber = 949; break;
        case 950: w.codePageKind = 3, w.codePageNumber = 950; break;
        case 936: w.codePageKind = 4, w.codePageNumber = 936; break;
        default: w.codePageKind = 1, w.codePageNumber = 932; break;
    }
    w.compositionEntry = nullptr;
    if (HMODULE dwm = LoadLibraryA("dwmapi.dll")) w.compositionEntry = GetProcAddress(dwm, "DwmEnableComposition");
}

}  // namespace

void FullScreenSize(int32_t* width, int32_t* height) {
    const WindowState& w = Window();
    *width = w.screenWidth;
    *height = w.screenHeight;
    if (*width == 320 && *height == 240) *width = 640, *height = 480;
}

int FindRunningCopy(const char* title) {
    char className[kWindowTitleSize];
    MainWindowClassName(title, className);
    return FindWindowA(className, nullptr) != nullptr ? 1 : 0;
}

int CreateMainWindow() {
    WindowState& w = Window();
    const char* title = w.titleSet ? w.title : nullptr;
    MainWindowClassName(title, w.className);
    if (FindRunningCopy(title) == 1) {
        w.quitRequested = 1;
        w.anotherCopyRunning = true;
        WriteLog("既に起動しています\n");
        return -1;
    }
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = w.iconId != 0 ? LoadIconA(instance, MAKEINTRESOURCE(w.iconId)) : nullptr;
    if (wc.hIcon == nullptr) wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = w.className;
    if (RegisterClassExA(&wc) == 0) {
        WriteLog("ウインドウクラスの登録に失敗しました\n");
        return -1;
    }
    w.classRegistered = true;
    DWORD style = w.windowMode ? kWindowedStyle : kFullScreenStyle;
    RECT r = MainWindowRect(style);
    HWND hwnd = CreateWindowExA(0, w.className, w.title, style, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        WriteLog("ウインドウの作成に失敗しました\n");
        return -1;
    }
    w.mainWindow = hwnd;
    w.overMenuBar = false;
    RecordSystemFacts();
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    SetForegroundWindow(hwnd);
    ApplyCursorVisibility();
    WriteLogFormatted("ウインドウを作成しました  %s  %dx%d", w.windowMode ? "ウインドウモード" : "フルスクリーン",
                      static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top));
    return 0;
}

void DestroyMainWindow() {
    WindowState& w = Window();
    if (w.mainWindow != nullptr) {
        HWND hwnd = w.mainWindow;
        DestroyWindow(hwnd);
        w.mainWindow = nullptr;
        // The window's end posted a quit message; it belongs to this run only.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }
    if (w.classRegistered) UnregisterClassA(w.className, GetModuleHandleA(nullptr));
    w.classRegistered = false;
}

// The window's style and place for the current mode; the display mode of a
// full screen belongs to the graphics start-up, which follows the switch.
void ApplyWindowMode() {
    WindowState& w = Window();
    if (w.mainWindow == nullptr) return;
    DWORD style = w.windowMode ? kWindowedStyle : kFullScreenStyle;
    RECT r = MainWindowRect(style);
    SetWindowLongPtrA(w.mainWindow, GWL_STYLE, static_cast<LONG_PTR>(style));
    SetWindowPos(w.mainWindow, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

void ApplyCursorVisibility() {
    const WindowState& w = Window();
    if (w.mainWindow == nullptr) return;
    // ShowCursor counts: learn the count, then step it until it is on the wanted side of 0.
    ShowCursor(TRUE);
    int count = ShowCursor(FALSE);
    while (w.cursorShown && count < 0) count = ShowCursor(TRUE);
    while (!w.cursorShown && count >= 0) count = ShowCursor(FALSE);
}
