// The placement of a movie shown through a DirectDraw overlay: its source and
// destination rectangles from the position and scale, clipped to the main
// window's client area and aligned as the display's capabilities ask. No
// movie of this library is shown that way (nothing fills the overlay
// interfaces), so the placement is computed and kept, and no overlay surface
// is told of it.
#include "core/library.h"
#include "graphics/graphics_internal.h"
#include "movie/movie_internal.h"
#include "platform/ddraw/ddraw.h"

#include <algorithm>

namespace {

int32_t Saturate(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// v aligned down to a multiple of the alignment (none for 0).
LONG AlignDown(LONG v, DWORD alignment) {
    return alignment > 1 ? static_cast<LONG>(v - ((v % static_cast<LONG>(alignment)) + alignment) % alignment) : v;
}

void AlignRect(RECT* r, bool boundary, DWORD boundaryAlign, bool size, DWORD sizeAlign) {
    const LONG width = r->right - r->left;
    if (boundary) r->left = AlignDown(r->left, boundaryAlign);
    r->right = r->left + (size ? AlignDown(width, sizeAlign) : width);
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

OverlayPlacement ComputeOverlayPlacement(int32_t x, int32_t y, int32_t scale, int32_t width, int32_t height,
                                         const RECT& client, const DDCAPS& caps) {
    OverlayPlacement p{};
    if (scale < 1 || width < 1 || height < 1) return p;
    p.source = RECT{0, 0, width, height};
    const int64_t left = int64_t{client.left} + x, top = int64_t{client.top} + y;
    const int64_t right = left + int64_t{width} * scale, bottom = top + int64_t{height} * scale;
    // Each side cut by the client area takes its share of the source away.
    const int64_t cutLeft = std::max<int64_t>(0, client.left - left), cutTop = std::max<int64_t>(0, client.top - top);
    const int64_t cutRight = std::max<int64_t>(0, right - client.right);
    const int64_t cutBottom = std::max<int64_t>(0, bottom - client.bottom);
    p.destination = RECT{Saturate(left + cutLeft), Saturate(top + cutTop), Saturate(right - cutRight),
                         Saturate(bottom - cutBottom)};
    if (p.destination.right <= p.destination.left || p.destination.bottom <= p.destination.top) return p;
    p.source = RECT{Saturate(cutLeft / scale), Saturate(cutTop / scale), Saturate(width - cutRight / scale),
                    Saturate(height - cutBottom / scale)};
    AlignRect(&p.source, caps.dwCaps & DDCAPS_ALIGNBOUNDARYSRC, caps.dwAlignBoundarySrc,
              caps.dwCaps & DDCAPS_ALIGNSIZESRC, caps.dwAlignSizeSrc);
    AlignRect(&p.destination, caps.dwCaps & DDCAPS_ALIGNBOUNDARYDEST, caps.dwAlignBoundaryDest,
              caps.dwCaps & DDCAPS_ALIGNSIZEDEST, caps.dwAlignSizeDest);
    p.visible = p.source.right - p.source.left >= 1 && p.source.bottom > p.source.top &&
                p.destination.right - p.destination.left >= 1;
    return p;
}

int PlaceMovieOverlay(int32_t x, int32_t y, int32_t scale, int32_t handle, int32_t show) {
    MovieRecord* r = GetMovieRecord(handle);
    if (r == nullptr) return -1;
    if (!r->overlayShown || !r->frameDelivered) return 0;
    RECT client{};
    DDCAPS caps;
    ClearDirectDrawCaps(&caps);
    const OverlayPlacement p = GetClientScreenRect(&client) == 0
                                   ? ComputeOverlayPlacement(x, y, scale, r->width, r->height, client, caps)
                                   : OverlayPlacement{};
    if (!p.visible || !show) {
        r->overlaySource = RECT{};
        r->overlayDestination = RECT{};
    } else if (!SameRect(p.source, r->overlaySource) || !SameRect(p.destination, r->overlayDestination) ||
               show != r->overlayShow) {
        r->overlaySource = p.source;
        r->overlayDestination = p.destination;
    }
    r->overlayX = x;
    r->overlayY = y;
    r->overlayScale = scale;
    r->overlayShow = show;
    return 0;
}

int RefreshMovieOverlays() {
    for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot) {
        MovieRecord* r = MovieAtSlot(slot);
        if (r == nullptr || r->theora || !r->overlayShown) continue;
        PlaceMovieOverlay(r->overlayX, r->overlayY, r->overlayScale, MovieHandleOf(r, slot), r->overlayShow);
    }
    return 0;
}
