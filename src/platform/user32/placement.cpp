// Where a window stands and whether it shows: frame insets around the client
// area, client and window rectangles, SetWindowPos and MoveWindow with their
// WM_MOVE and WM_SIZE, coordinate conversion, ShowWindow and the minimized
// state, and keeping each top-level SDL window in line with its record.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/internal.h"

#include <algorithm>

namespace user32 {

RECT FrameInsets(DWORD style, bool menu, DWORD exStyle) {
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizeFrame;
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = 1;
    if (exStyle & WS_EX_CLIENTEDGE) frame += 2;
    RECT r{frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION) r.top += kCaptionHeight;
    if (menu) r.top += kMenuHeight;
    return r;
}

RECT FrameOf(const WindowRecord& w) { return FrameInsets(w.style, w.menu != nullptr, w.exStyle); }

RECT ClientRectOf(const WindowRecord& w) {
    RECT in = FrameOf(w);
    LONG width = std::max<LONG>(0, (w.rect.right - w.rect.left) - in.left - in.right);
    LONG height = std::max<LONG>(0, (w.rect.bottom - w.rect.top) - in.top - in.bottom);
    return RECT{0, 0, width, height};
}

POINT ClientOriginOnScreen(const WindowRecord& w) {
    RECT in = FrameOf(w);
    POINT p{w.rect.left + in.left, w.rect.top + in.top};
    if ((w.style & WS_CHILD) && w.parent != nullptr) {
        if (WindowRecord* parent = FindRecord(w.parent)) {
            POINT origin = ClientOriginOnScreen(*parent);
            p.x += origin.x;
            p.y += origin.y;
        }
    }
    return p;
}

static bool CoversScreen(const WindowRecord& w) {
    int sw = 0, sh = 0;
    ScreenSize(&sw, &sh);
    return w.rect.left <= 0 && w.rect.top <= 0 && w.rect.right >= sw && w.rect.bottom >= sh;
}

void SyncBackend(WindowRecord& w) {
    if (w.backendId == 0) return;
    RECT client = ClientRectOf(w);
    POINT origin = ClientOriginOnScreen(w);
    platform::sdl::WindowPlacement p;
    p.fullScreen = (w.style & WS_POPUP) && (w.style & WS_CAPTION) != WS_CAPTION && CoversScreen(w);
    p.x = origin.x;
    p.y = origin.y;
    p.clientWidth = client.right;
    p.clientHeight = client.bottom;
    p.borderless = (w.style & WS_CAPTION) != WS_CAPTION;
    p.resizable = (w.style & WS_THICKFRAME) && !p.fullScreen;
    w.appliedFullScreen = p.fullScreen;
    platform::sdl::PlaceVideoWindow(w.backendId, p);
}

void SyncAllBackends() {
    for (auto& [handle, w] : S().windows)
        if (w->backendId != 0 && !w->destroying) SyncBackend(*w);
}

void ShowInternal(HWND hwnd, bool show, bool activate) {
    bool topLevel;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return;
        topLevel = !(w->style & WS_CHILD);
        bool changed = w->visible != show;
        w->visible = show;
        if (w->backendId != 0 && changed) platform::sdl::ShowVideoWindow(w->backendId, show);
        if (show && changed) {
            w->invalid = true;
            w->invalidRect = ClientRectOf(*w);
            w->eraseInvalid = true;
        }
    }
    if (!topLevel) return;
    if (show && activate) Activate(hwnd);
    if (!show) DeactivateApp(hwnd);
}

}  // namespace user32

using namespace user32;

BOOL ShowWindow(HWND hwnd, int command) {
    bool wasVisible, minimized;
    uint32_t backend;
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        wasVisible = w->visible;
        minimized = w->minimized;
        backend = w->backendId;
    }
    switch (command) {
        case SW_HIDE: ShowInternal(hwnd, false, false); break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE: {
            ShowInternal(hwnd, true, false);
            {
                Lock lock(S().mutex);
                if (WindowRecord* w = FindRecord(hwnd)) w->minimized = true;
            }
            if (backend != 0) platform::sdl::MinimizeVideoWindow(backend);
            if (command == SW_MINIMIZE) DeactivateApp(hwnd);
            Send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        }
        case SW_SHOWNOACTIVATE:
        case SW_SHOWNA: ShowInternal(hwnd, true, false); break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
        case SW_SHOWDEFAULT:
        case SW_SHOWMAXIMIZED:
        default:
            if (minimized) {
                {
                    Lock lock(S().mutex);
                    if (WindowRecord* w = FindRecord(hwnd)) w->minimized = false;
                }
                if (backend != 0) platform::sdl::RestoreVideoWindow(backend);
                RECT client{};
                GetClientRect(hwnd, &client);
                Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
            }
            ShowInternal(hwnd, true, true);
            break;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr && w->minimized;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || rect == nullptr) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || rect == nullptr) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, FALSE);
    *rect = w->rect;
    if ((w->style & WS_CHILD) && w->parent != nullptr) {
        if (WindowRecord* parent = FindRecord(w->parent)) {
            POINT origin = ClientOriginOnScreen(*parent);
            rect->left += origin.x;
            rect->right += origin.x;
            rect->top += origin.y;
            rect->bottom += origin.y;
        }
    }
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (rect == nullptr) return FALSE;
    RECT in = FrameInsets(style, menu != FALSE, exStyle);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    bool moved = false, sized = false;
    RECT client{};
    POINT position{};
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = r.left != x || r.top != y;
            r.right = x + (r.right - r.left);
            r.bottom = y + (r.bottom - r.top);
            r.left = x;
            r.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            cx = std::max(cx, 0);
            cy = std::max(cy, 0);
            sized = (r.right - r.left) != cx || (r.bottom - r.top) != cy;
            r.right = r.left + cx;
            r.bottom = r.top + cy;
        }
        RECT oldClient = ClientRectOf(*w);
        w->rect = r;
        client = ClientRectOf(*w);
        sized = sized || oldClient.right != client.right || oldClient.bottom != client.bottom;
        position = POINT{r.left, r.top};
        SyncBackend(*w);
    }
    if (flags & SWP_HIDEWINDOW) ShowInternal(hwnd, false, false);
    if (flags & SWP_SHOWWINDOW) ShowInternal(hwnd, true, !(flags & SWP_NOACTIVATE));
    if (moved) Send(hwnd, WM_MOVE, 0, MAKELPARAM(position.x, position.y));
    if (sized) {
        Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || point == nullptr) return FALSE;
    POINT origin = ClientOriginOnScreen(*w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || point == nullptr) return FALSE;
    POINT origin = ClientOriginOnScreen(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}
