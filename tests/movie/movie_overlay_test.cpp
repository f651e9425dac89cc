// The overlay placement of a movie: rectangles from position and scale,
// clipped to the client area (screen coordinates) and aligned by the
// display's capabilities.
#include "movie/movie_internal.h"
#include "platform/ddraw/ddraw.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* what;
    int32_t x, y, scale, width, height;
    DWORD caps, alignBoundaryDest, alignSizeDest;
    bool visible;
    RECT source, destination;
};

// A 320 x 240 client area at (100, 50) on the screen.
constexpr RECT kClient{100, 50, 420, 290};

const Case kCases[] = {
    {"inside, scale 1", 10, 20, 1, 64, 32, 0, 0, 0, true, {0, 0, 64, 32}, {110, 70, 174, 102}},
    {"inside, scale 2", 10, 20, 2, 64, 32, 0, 0, 0, true, {0, 0, 64, 32}, {110, 70, 238, 134}},
    {"cut left and top, scale 2", -10, -6, 2, 64, 32, 0, 0, 0, true, {5, 3, 64, 32}, {100, 50, 218, 108}},
    {"cut right and bottom", 300, 230, 1, 64, 32, 0, 0, 0, true, {0, 0, 20, 10}, {400, 280, 420, 290}},
    {"wholly outside", 400, 10, 1, 64, 32, 0, 0, 0, false, {}, {}},
    {"scale 0", 10, 20, 0, 64, 32, 0, 0, 0, false, {}, {}},
    {"no frame", 10, 20, 1, 0, 0, 0, 0, 0, false, {}, {}},
    {"aligned destination", 11, 20, 1, 63, 32, DDCAPS_ALIGNBOUNDARYDEST | DDCAPS_ALIGNSIZEDEST, 4, 8, true,
     {0, 0, 63, 32}, {108, 70, 164, 102}},
};

TEST(MovieOverlayTest, PlacementFollowsPositionScaleClipAndAlignment) {
    for (const Case& c : kCases) {
        DDCAPS caps{};
        caps.dwCaps = c.caps;
        caps.dwAlignBoundaryDest = c.alignBoundaryDest;
        caps.dwAlignSizeDest = c.alignSizeDest;
        const OverlayPlacement p = ComputeOverlayPlacement(c.x, c.y, c.scale, c.width, c.height, kClient, caps);
        EXPECT_EQ(p.visible, c.visible) << c.what;
        if (!c.visible) continue;
        const LONG got[8] = {p.source.left, p.source.top, p.source.right, p.source.bottom,
                             p.destination.left, p.destination.top, p.destination.right, p.destination.bottom};
        const LONG want[8] = {c.source.left, c.source.top, c.source.right, c.source.bottom,
                              c.destination.left, c.destination.top, c.destination.right, c.destination.bottom};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(got[i], want[i]) << c.what << " field " << i;
    }
}

TEST(MovieOverlayTest, AnInvalidHandleIsRefused) {
    EXPECT_EQ(PlaceMovieOverlay(0, 0, 1, -1, 1), -1);
    EXPECT_EQ(PlaceMovieOverlay(0, 0, 1, 0x18000000, 1), -1);
    EXPECT_EQ(RefreshMovieOverlays(), 0);
}

}  // namespace
