// Drawing of the controls and of class backgrounds into the picture of the
// top-level window, in the look of a plain dialog.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_text.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/control_draw.h"
#include "platform/user32/internal.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace user32 {
namespace {

// Layout of the controls, in pixels.
constexpr int kRadioSize = 13;      // the radio circle's box
constexpr int kRadioTextGap = 4;    // between the circle and the label
constexpr int kGroupTextLeft = 8;   // the group label's left edge
constexpr int kFocusInset = 4;      // push button: focus rectangle inside the edge

// The picture a window draws into, clipped to its client area and those of
// its ancestors.
struct Canvas {
    uint32_t backend = 0;
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    POINT origin{};  // the window's client origin in the picture
    RECT clip{};     // picture coordinates
};

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool OpenCanvas(HWND hwnd, Canvas* c) {
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        WindowRecord* top = FindRecord(TopLevelOf(hwnd));
        if (w == nullptr || top == nullptr || top->backendId == 0) return false;
        POINT base = ClientOriginOnScreen(*top);
        c->clip = RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
        for (WindowRecord* each = w; each != nullptr;
             each = (each->style & WS_CHILD) ? FindRecord(each->parent) : nullptr) {
            POINT o = ClientOriginOnScreen(*each);
            RECT client = ClientRectOf(*each);
            RECT area{o.x - base.x, o.y - base.y, o.x - base.x + client.right, o.y - base.y + client.bottom};
            c->clip = Intersect(c->clip, area);
        }
        POINT o = ClientOriginOnScreen(*w);
        c->origin = POINT{o.x - base.x, o.y - base.y};
        c->backend = top->backendId;
    }
    c->pixels = platform::sdl::LockWindowPicture(c->backend, &c->width, &c->height);
    if (c->pixels == nullptr) return false;
    c->clip = Intersect(c->clip, RECT{0, 0, c->width, c->height});
    return true;
}

void CloseCanvas(const Canvas& c) { platform::sdl::UnlockWindowPicture(c.backend, true); }

uint32_t* PixelAt(const Canvas& c, int x, int y) {
    int px = x + c.origin.x, py = y + c.origin.y;
    if (px < c.clip.left || px >= c.clip.right || py < c.clip.top || py >= c.clip.bottom) return nullptr;
    return c.pixels + static_cast<size_t>(py) * static_cast<size_t>(c.width) + static_cast<size_t>(px);
}

void Put(const Canvas& c, int x, int y, uint32_t colour) {
    if (uint32_t* p = PixelAt(c, x, y)) *p = colour;
}

// Mixes a colour over a pixel with a weight of 0..255.
void Blend(const Canvas& c, int x, int y, uint32_t colour, int weight) {
    uint32_t* p = PixelAt(c, x, y);
    if (p == nullptr || weight <= 0) return;
    if (weight >= 255) {
        *p = colour;
        return;
    }
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int under = static_cast<int>((*p >> shift) & 0xFF), over = static_cast<int>((colour >> shift) & 0xFF);
        out |= static_cast<uint32_t>((over * weight + under * (255 - weight) + 127) / 255) << shift;
    }
    *p = out;
}

void Fill(const Canvas& c, const RECT& r, uint32_t colour) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) Put(c, x, y, colour);
}

// A one-pixel outline: top and left edges in one colour, bottom and right in another.
void Frame(const Canvas& c, const RECT& r, uint32_t topLeft, uint32_t bottomRight) {
    for (int x = r.left; x < r.right; ++x) {
        Put(c, x, r.top, topLeft);
        Put(c, x, r.bottom - 1, bottomRight);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        Put(c, r.left, y, topLeft);
        Put(c, r.right - 1, y, bottomRight);
    }
    Put(c, r.right - 1, r.top, bottomRight);  // the corners of the lower-right colour
    Put(c, r.left, r.bottom - 1, bottomRight);
}

// The dotted focus rectangle: every other pixel of the outline.
void FocusRect(const Canvas& c, const RECT& r) {
    uint32_t ink = PixelOf(GetSysColor(COLOR_BTNTEXT));
    for (int x = r.left; x < r.right; ++x) {
        if (((x - r.left) & 1) == 0) Put(c, x, r.top, ink);
        if (((x - r.left + r.bottom - 1 - r.top) & 1) == 0) Put(c, x, r.bottom - 1, ink);
    }
    for (int y = r.top; y < r.bottom; ++y) {
        if (((y - r.top) & 1) == 0) Put(c, r.left, y, ink);
        if (((y - r.top + r.right - 1 - r.left) & 1) == 0) Put(c, r.right - 1, y, ink);
    }
}

void DrawText(const Canvas& c, const platform::sdl::TextImage& text, int left, int top, uint32_t colour) {
    for (int y = 0; y < text.height; ++y)
        for (int x = 0; x < text.width; ++x)
            Blend(c, left + x, top + y, colour,
                  text.coverage[static_cast<size_t>(y) * static_cast<size_t>(text.width) + static_cast<size_t>(x)]);
}

uint32_t Sys(int index) { return PixelOf(GetSysColor(index)); }

// How much of a pixel (centre at distance d) a disc of radius r covers.
int DiscWeight(double d, double r) { return static_cast<int>(std::clamp(r - d + 0.5, 0.0, 1.0) * 255.0 + 0.5); }

// The sunken radio circle: a shadowed ring, a white well (grey while pushed),
// and the dot when checked.
void DrawRadioCircle(const Canvas& c, int left, int top, bool checked, bool pushed) {
    const double centre = kRadioSize / 2.0;
    for (int y = 0; y < kRadioSize; ++y) {
        for (int x = 0; x < kRadioSize; ++x) {
            double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
            double d = std::sqrt(dx * dx + dy * dy);
            bool upperLeft = dx + dy < 0;
            int px = left + x, py = top + y;
            Blend(c, px, py, Sys(upperLeft ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT), DiscWeight(d, centre));
            Blend(c, px, py, Sys(upperLeft ? COLOR_3DDKSHADOW : COLOR_3DLIGHT), DiscWeight(d, centre - 1));
            Blend(c, px, py, Sys(pushed ? COLOR_BTNFACE : COLOR_WINDOW), DiscWeight(d, centre - 2));
            if (checked) Blend(c, px, py, Sys(COLOR_WINDOWTEXT), DiscWeight(d, 2.0));
        }
    }
}

struct ButtonLook {
    LONG type = 0;
    LONG_PTR state = 0;
    RECT client{};
    platform::sdl::TextImage text;
};

void DrawPushButton(const Canvas& c, const ButtonLook& b) {
    RECT r = b.client;
    bool pushed = (b.state & BST_PUSHED) != 0, focused = (b.state & BST_FOCUS) != 0;
    Fill(c, r, Sys(COLOR_BTNFACE));
    if (b.type == BS_DEFPUSHBUTTON || focused) {  // the button Enter would press
        Frame(c, r, Sys(COLOR_WINDOWTEXT), Sys(COLOR_WINDOWTEXT));
        r = RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
    }
    if (pushed) {
        Frame(c, r, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW));
    } else {
        Frame(c, r, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_3DDKSHADOW));
        Frame(c, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, Sys(COLOR_3DLIGHT), Sys(COLOR_BTNSHADOW));
    }
    int shift = pushed ? 1 : 0;
    int width = b.client.right - b.client.left, height = b.client.bottom - b.client.top;
    DrawText(c, b.text, (width - b.text.width) / 2 + shift, (height - b.text.height) / 2 + shift,
             Sys(COLOR_BTNTEXT));
    if (focused)
        FocusRect(c, RECT{b.client.left + kFocusInset, b.client.top + kFocusInset, b.client.right - kFocusInset,
                          b.client.bottom - kFocusInset});
}

void DrawRadioButton(const Canvas& c, const ButtonLook& b) {
    int height = b.client.bottom - b.client.top;
    Fill(c, b.client, Sys(COLOR_BTNFACE));
    DrawRadioCircle(c, 0, (height - kRadioSize) / 2, (b.state & BST_CHECKED) != 0, (b.state & BST_PUSHED) != 0);
    int left = kRadioSize + kRadioTextGap, top = (height - b.text.height) / 2;
    DrawText(c, b.text, left, top, Sys(COLOR_BTNTEXT));
    if ((b.state & BST_FOCUS) && b.text.width > 0)
        FocusRect(c, RECT{left - 2, top - 1, left + b.text.width + 2, top + b.text.height + 1});
}

// The etched frame below the middle of the label; the inside is left as it is.
void DrawGroupBox(const Canvas& c, const ButtonLook& b) {
    int width = b.client.right, height = b.client.bottom;
    int top = b.text.height / 2;
    Frame(c, RECT{1, top + 1, width, height}, Sys(COLOR_BTNHIGHLIGHT), Sys(COLOR_BTNHIGHLIGHT));
    Frame(c, RECT{0, top, width - 1, height - 1}, Sys(COLOR_BTNSHADOW), Sys(COLOR_BTNSHADOW));
    if (b.text.width == 0) return;
    Fill(c, RECT{kGroupTextLeft - 2, 0, kGroupTextLeft + b.text.width + 2, b.text.height}, Sys(COLOR_BTNFACE));
    DrawText(c, b.text, kGroupTextLeft, 0, Sys(COLOR_BTNTEXT));
}

// The colour of a class brush: a system colour + 1 or a stock brush.
bool BrushColour(HBRUSH brush, uint32_t* colour) {
    uintptr_t value = reinterpret_cast<uintptr_t>(brush);
    if (value >= 1 && value <= 31) {
        *colour = Sys(static_cast<int>(value - 1));
        return true;
    }
    static const COLORREF kStock[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128),
                                      RGB(64, 64, 64), RGB(0, 0, 0)};
    for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
        if (brush == reinterpret_cast<HBRUSH>(GetStockObject(i))) {
            *colour = PixelOf(kStock[i]);
            return true;
        }
    }
    return false;
}

}  // namespace

void PaintButton(HWND hwnd) {
    ButtonLook b;
    std::string label;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return;
        b.type = static_cast<LONG>(w->style & BS_TYPEMASK);
        b.client = ClientRectOf(*w);
        label = w->title;
    }
    b.state = GetWindowLongPtrA(hwnd, kButtonStateIndex);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(GetWindowLongPtrA(hwnd, kButtonFontIndex));
    if (!platform::sdl::RenderTextLine(platform::ShiftJisToUtf8(label.c_str()), FontPixelSize(font), &b.text))
        b.text = platform::sdl::TextImage{};
    Canvas c;
    if (!OpenCanvas(hwnd, &c)) return;
    switch (b.type) {
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: DrawRadioButton(c, b); break;
        case BS_GROUPBOX: DrawGroupBox(c, b); break;
        default: DrawPushButton(c, b); break;
    }
    CloseCanvas(c);
}

LRESULT EraseBackground(HWND hwnd) {
    HBRUSH brush = nullptr;
    RECT area{};
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return 0;
        auto it = S().classes.find(Lower(w->className.c_str()));
        if (it != S().classes.end()) brush = it->second.background;
        area = w->painting ? w->paintRect : ClientRectOf(*w);
    }
    uint32_t colour = 0;
    if (brush == nullptr || !BrushColour(brush, &colour)) return 0;
    Canvas c;
    if (!OpenCanvas(hwnd, &c)) return 0;
    Fill(c, area, colour);
    CloseCanvas(c);
    return 1;
}

}  // namespace user32
