// Menus as handles, the menu bar they give a top-level window, the hit test
// of a window's frame, and moving the pointer onto it.
#include "platform/kernel32/kernel32.h"
#include "platform/user32/internal.h"

namespace user32 {

namespace {

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

bool IsMenu(HMENU menu) { return S().menus.count(reinterpret_cast<uintptr_t>(menu)) != 0; }

// The visible top-level window under a screen point, the active one first (lock held).
HWND TopLevelAt(POINT p) {
    auto under = [&](const WindowRecord& w) {
        return !(w.style & WS_CHILD) && w.visible && !w.destroying && Inside(w.rect, p);
    };
    if (WindowRecord* active = FindRecord(S().active); active != nullptr && under(*active)) return active->hwnd;
    for (auto& [handle, w] : S().windows)
        if (under(*w)) return w->hwnd;
    return nullptr;
}

}  // namespace

LRESULT NonClientHitTest(HWND hwnd, POINT screen) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return HTNOWHERE;
    const POINT origin = ClientOriginOnScreen(*w);
    const RECT in = FrameOf(*w);
    const RECT window{origin.x - in.left, origin.y - in.top, origin.x - in.left + (w->rect.right - w->rect.left),
                      origin.y - in.top + (w->rect.bottom - w->rect.top)};
    if (!Inside(window, screen)) return HTNOWHERE;
    const RECT client = ClientRectOf(*w);
    // The client area, then upwards the menu bar and the caption, each as wide as the client area.
    RECT strip{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    if (Inside(strip, screen)) return HTCLIENT;
    strip.bottom = strip.top;
    if (w->menu != nullptr) {
        strip.top -= kMenuHeight;
        if (Inside(strip, screen)) return HTMENU;
        strip.bottom = strip.top;
    }
    strip.top -= kCaptionHeight;
    if ((w->style & WS_CAPTION) == WS_CAPTION && Inside(strip, screen)) return HTCAPTION;
    return HTBORDER;
}

}  // namespace user32

using namespace user32;

HMENU CreateMenu() {
    Lock lock(S().mutex);
    const uintptr_t handle = S().nextMenu++;
    S().menus.insert(handle);
    return reinterpret_cast<HMENU>(handle);
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    RECT before{}, after{};
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        if ((w->style & WS_CHILD) || (menu != nullptr && !IsMenu(menu)))
            return platform::FailWith(ERROR_INVALID_MENU_HANDLE, FALSE);
        before = ClientRectOf(*w);
        w->menu = menu;
        after = ClientRectOf(*w);
        SyncBackend(*w);
    }
    if (before.bottom != after.bottom) {
        Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(after.right, after.bottom));
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return TRUE;
}

HMENU GetMenu(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = RecordOrError(hwnd);
    return w != nullptr && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

BOOL SetCursorPos(int x, int y) {
    HWND target = nullptr;
    {
        Lock lock(S().mutex);
        S().cursorPos = POINT{x, y};
        target = TopLevelAt(S().cursorPos);
    }
    if (target == nullptr) return TRUE;
    const LRESULT hit = Send(target, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    Send(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(hit, WM_MOUSEMOVE));
    return TRUE;
}
