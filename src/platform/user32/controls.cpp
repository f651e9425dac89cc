// The "BUTTON" control class, dialog-item calls, mouse capture, stock objects
// and system colours.
#include "platform/user32/controls.h"

#include "platform/user32/control_draw.h"
#include "platform/user32/internal.h"

#include <vector>

namespace user32 {
namespace {

LONG_PTR StateOf(HWND hwnd) { return GetWindowLongPtrA(hwnd, kButtonStateIndex); }
void SetState(HWND hwnd, LONG_PTR state) { SetWindowLongPtrA(hwnd, kButtonStateIndex, state); }

LONG TypeOf(HWND hwnd) { return GetWindowLongA(hwnd, GWL_STYLE) & BS_TYPEMASK; }
bool IsRadio(LONG type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// Changes state bits and repaints when they changed.
void UpdateState(HWND hwnd, LONG_PTR set, LONG_PTR clear) {
    LONG_PTR old = StateOf(hwnd);
    LONG_PTR state = (old & ~clear) | set;
    if (state == old) return;
    SetState(hwnd, state);
    LONG_PTR visible = BST_CHECKED | BST_PUSHED | BST_FOCUS;
    if ((state & visible) != (old & visible)) InvalidateRect(hwnd, nullptr, FALSE);
}

// The siblings of a control in creation order.
std::vector<HWND> SiblingsOf(HWND hwnd) {
    std::vector<HWND> list;
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return list;
    for (auto& [handle, each] : S().windows)
        if (each->parent == w->parent && (each->style & WS_CHILD) && !each->destroying) list.push_back(each->hwnd);
    return list;
}

// The group of a control: from the nearest sibling with WS_GROUP at or before
// it up to the next sibling with WS_GROUP.
std::vector<HWND> GroupOf(HWND hwnd) {
    std::vector<HWND> siblings = SiblingsOf(hwnd);
    size_t self = 0;
    while (self < siblings.size() && siblings[self] != hwnd) ++self;
    if (self == siblings.size()) return {};
    size_t first = self;
    while (first > 0 && !(GetWindowLongA(siblings[first], GWL_STYLE) & WS_GROUP)) --first;
    size_t end = self + 1;
    while (end < siblings.size() && !(GetWindowLongA(siblings[end], GWL_STYLE) & WS_GROUP)) ++end;
    return std::vector<HWND>(siblings.begin() + static_cast<ptrdiff_t>(first),
                             siblings.begin() + static_cast<ptrdiff_t>(end));
}

// A click: an automatic radio button checks itself and unchecks the others of
// its group; then the parent hears of it. The parent may destroy the control
// while it handles the notification, so nothing touches it afterwards.
void Click(HWND hwnd) {
    if (TypeOf(hwnd) == BS_AUTORADIOBUTTON) {
        SendMessageA(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        for (HWND other : GroupOf(hwnd))
            if (other != hwnd && TypeOf(other) == BS_AUTORADIOBUTTON) SendMessageA(other, BM_SETCHECK, BST_UNCHECKED, 0);
    }
    HWND parent = GetParent(hwnd);
    WPARAM command = MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED);
    if (parent != nullptr) SendMessageA(parent, WM_COMMAND, command, reinterpret_cast<LPARAM>(hwnd));
}

bool InsideClient(HWND hwnd, LPARAM lParam) {
    RECT r{};
    GetClientRect(hwnd, &r);
    int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

LRESULT OnMouse(HWND hwnd, UINT message, LPARAM lParam) {
    LONG_PTR state = StateOf(hwnd);
    switch (message) {
        case WM_LBUTTONDOWN:
            SetFocus(hwnd);
            SetCapture(hwnd);
            UpdateState(hwnd, kTrackingMouse | BST_PUSHED, 0);
            return 0;
        case WM_MOUSEMOVE:
            if (state & kTrackingMouse) {
                bool inside = InsideClient(hwnd, lParam);
                UpdateState(hwnd, inside ? BST_PUSHED : 0, inside ? 0 : BST_PUSHED);
            }
            return 0;
        case WM_LBUTTONUP:
            if (!(state & kTrackingMouse)) return 0;
            UpdateState(hwnd, 0, kTrackingMouse | BST_PUSHED);
            ReleaseCapture();
            if (InsideClient(hwnd, lParam)) Click(hwnd);
            return 0;
    }
    return 0;
}

LRESULT OnKey(HWND hwnd, UINT message, WPARAM wParam) {
    if (wParam != VK_SPACE) return 0;
    if (message == WM_KEYDOWN) {
        UpdateState(hwnd, kTrackingSpace | BST_PUSHED, 0);
    } else if (StateOf(hwnd) & kTrackingSpace) {
        UpdateState(hwnd, 0, kTrackingSpace | BST_PUSHED);
        Click(hwnd);
    }
    return 0;
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    LONG type = TypeOf(hwnd);
    bool group = type == BS_GROUPBOX;
    switch (message) {
        case WM_CREATE: return 0;
        case WM_ERASEBKGND: return 1;  // the control paints all of itself
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            PaintButton(hwnd);
            EndPaint(hwnd, &paint);
            return 0;
        }
        case WM_SETFONT:
            SetWindowLongPtrA(hwnd, kButtonFontIndex, static_cast<LONG_PTR>(wParam));
            if (LOWORD(lParam) != 0) InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT: return GetWindowLongPtrA(hwnd, kButtonFontIndex);
        case WM_SETTEXT: {
            LRESULT result = DefWindowProcA(hwnd, message, wParam, lParam);
            InvalidateRect(hwnd, nullptr, FALSE);
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: return group ? 0 : OnMouse(hwnd, message, lParam);
        case WM_CAPTURECHANGED:
            if (StateOf(hwnd) & kTrackingMouse) UpdateState(hwnd, 0, kTrackingMouse | BST_PUSHED);
            return 0;
        case WM_KEYDOWN:
        case WM_KEYUP: return group ? 0 : OnKey(hwnd, message, wParam);
        case WM_SETFOCUS: UpdateState(hwnd, BST_FOCUS, 0); return 0;
        case WM_KILLFOCUS:
            // A press in progress ends without a click.
            UpdateState(hwnd, 0, BST_FOCUS | BST_PUSHED | kTrackingSpace | kTrackingMouse);
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case BM_GETCHECK: return IsRadio(type) ? (StateOf(hwnd) & BST_CHECKED) : BST_UNCHECKED;
        case BM_SETCHECK:
            if (IsRadio(type)) UpdateState(hwnd, wParam == BST_CHECKED ? BST_CHECKED : 0, wParam == BST_CHECKED ? 0 : BST_CHECKED);
            return 0;
        case BM_GETSTATE: return StateOf(hwnd) & (BST_CHECKED | BST_PUSHED | BST_FOCUS);
        case BM_SETSTATE:
            if (!group) UpdateState(hwnd, wParam ? BST_PUSHED : 0, wParam ? 0 : BST_PUSHED);
            return 0;
        case BM_CLICK:
            // As a press and release of the mouse on the control.
            if (group) return 0;
            SendMessageA(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            if (IsWindow(hwnd)) SendMessageA(hwnd, WM_LBUTTONUP, 0, 0);
            return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

constexpr uintptr_t kStockBase = 0x5C0000;

}  // namespace

void EnsureControlClasses() {
    {
        Lock lock(S().mutex);
        if (S().classes.count("button")) return;
    }
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ButtonProc;
    wc.cbWndExtra = kButtonExtraBytes;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = "BUTTON";
    RegisterClassA(&wc);
}

int FontPixelSize(HGDIOBJ font) {
    if (font == nullptr || font == GetStockObject(SYSTEM_FONT)) return 16;
    return 12;
}

uint32_t PixelOf(COLORREF colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

}  // namespace user32

using namespace user32;

HGDIOBJ GetStockObject(int index) {
    bool known = (index >= WHITE_BRUSH && index <= NULL_BRUSH) || index == SYSTEM_FONT || index == DEFAULT_GUI_FONT;
    return known ? reinterpret_cast<HGDIOBJ>(kStockBase + static_cast<uintptr_t>(index)) : nullptr;
}

DWORD GetSysColor(int index) {
    switch (index) {
        case COLOR_WINDOW:
        case COLOR_BTNHIGHLIGHT: return RGB(255, 255, 255);
        case COLOR_WINDOWTEXT:
        case COLOR_BTNTEXT: return RGB(0, 0, 0);
        case COLOR_BTNFACE:
        case COLOR_3DLIGHT: return RGB(212, 208, 200);
        case COLOR_BTNSHADOW:
        case COLOR_GRAYTEXT: return RGB(128, 128, 128);
        case COLOR_3DDKSHADOW: return RGB(64, 64, 64);
    }
    return 0;
}

HWND GetDlgItem(HWND parent, int id) {
    Lock lock(S().mutex);
    if (FindRecord(parent) == nullptr) return nullptr;
    for (auto& [handle, w] : S().windows)
        if (w->parent == parent && (w->style & WS_CHILD) && !w->destroying && w->controlId == id) return w->hwnd;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr && (w->style & WS_CHILD) ? static_cast<int>(w->controlId) : 0;
}

BOOL CheckRadioButton(HWND parent, int firstId, int lastId, int checkId) {
    if (!IsWindow(parent)) return FALSE;
    for (int id = firstId; id <= lastId; ++id)
        if (HWND item = GetDlgItem(parent, id))
            SendMessageA(item, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND parent, int id) {
    HWND item = GetDlgItem(parent, id);
    return item != nullptr ? static_cast<UINT>(SendMessageA(item, BM_GETCHECK, 0, 0)) : 0;
}

HWND SetCapture(HWND hwnd) {
    Lock lock(S().mutex);
    HWND old = S().capture;
    if (hwnd == nullptr || FindRecord(hwnd) != nullptr) S().capture = hwnd;
    return old;
}

BOOL ReleaseCapture() {
    HWND old;
    {
        Lock lock(S().mutex);
        old = S().capture;
        S().capture = nullptr;
    }
    if (old != nullptr && IsWindow(old)) SendMessageA(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    Lock lock(S().mutex);
    return S().capture;
}
