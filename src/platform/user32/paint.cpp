// Painting: the invalid area of a window (InvalidateRect, ValidateRect,
// GetUpdateRect), which also invalidates children it paints over,
// BeginPaint and EndPaint with their WM_ERASEBKGND, UpdateWindow, and which
// top-level window's picture a child draws into.
#include "platform/gdi32/gdi32.h"
#include "platform/user32/internal.h"

#include <algorithm>

using namespace user32;

BOOL UpdateWindow(HWND hwnd) {
    bool invalid;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return FALSE;
        invalid = w->invalid && w->visible;
    }
    if (invalid) Send(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

static RECT UnionRect(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Lock lock(S().mutex);
    if (hwnd == nullptr) {
        for (auto& [handle, w] : S().windows)
            if (!(w->style & WS_CHILD)) InvalidateRect(w->hwnd, nullptr, erase);
        return TRUE;
    }
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return FALSE;
    RECT client = ClientRectOf(*w);
    RECT r = rect != nullptr ? *rect : client;
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, client.right);
    r.bottom = std::min(r.bottom, client.bottom);
    if (r.right <= r.left || r.bottom <= r.top) return TRUE;
    w->invalidRect = w->invalid ? UnionRect(w->invalidRect, r) : r;
    w->invalid = true;
    w->eraseInvalid = w->eraseInvalid || erase;
    QueueOf(w->threadId).wake.notify_all();
    // Without WS_CLIPCHILDREN the window paints over its children: they paint again after it.
    if (!(w->style & WS_CLIPCHILDREN)) {
        for (auto& [handle, child] : S().windows) {
            if (child->parent != hwnd || !(child->style & WS_CHILD) || !child->visible || child->destroying) continue;
            RECT in = FrameInsets(child->style, false, child->exStyle);
            LONG dx = child->rect.left + in.left, dy = child->rect.top + in.top;
            RECT local{r.left - dx, r.top - dy, r.right - dx, r.bottom - dy};
            InvalidateRect(child->hwnd, &local, erase);
        }
    }
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return FALSE;
    w->invalid = false;
    w->eraseInvalid = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || !w->invalid) {
        if (rect != nullptr) *rect = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (rect != nullptr) *rect = w->invalidRect;
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    if (paint == nullptr) return nullptr;
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return nullptr;
        paint->rcPaint = w->invalid ? w->invalidRect : RECT{0, 0, 0, 0};
        erase = w->eraseInvalid;
        w->invalid = false;
        w->eraseInvalid = false;
        w->painting = true;
        w->paintRect = paint->rcPaint;
    }
    paint->hdc = GetDC(hwnd);
    // The background first; fErase asks the window to erase it when WM_ERASEBKGND did not.
    if (erase) paint->fErase = Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) == 0 ? TRUE : FALSE;
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    {
        Lock lock(S().mutex);
        if (WindowRecord* w = FindRecord(hwnd)) w->painting = false;
    }
    if (paint == nullptr || paint->hdc == nullptr) return FALSE;
    ReleaseDC(hwnd, paint->hdc);
    return TRUE;
}

namespace platform {

HWND PictureWindow(HWND hwnd, POINT* clientOffset) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return nullptr;
    HWND top = TopLevelOf(hwnd);
    WindowRecord* t = FindRecord(top);
    if (t == nullptr) return nullptr;
    if (clientOffset != nullptr) {
        POINT a = ClientOriginOnScreen(*w);
        POINT b = ClientOriginOnScreen(*t);
        *clientOffset = POINT{a.x - b.x, a.y - b.y};
    }
    return top;
}

}  // namespace platform
