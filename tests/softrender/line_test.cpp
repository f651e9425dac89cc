// Clipped line and line list: stepping, end points, clipping, modes and
// refusals.
#include "soft_test_util.h"

#include <set>
#include <utility>

namespace {

using LineTest = SoftTest;
using PixelSet = std::set<std::pair<int, int>>;

PixelSet SetPixels(TestImage& img, uint32_t background) {
    PixelSet out;
    for (int y = 0; y < img.img.height; ++y)
        for (int x = 0; x < img.img.width; ++x)
            if (img.Get(x, y) != background) out.insert({x, y});
    return out;
}

TEST_F(LineTest, StepsFromTheStartAndLeavesTheEndPointOut) {
    TestImage img(16, 16, kMemImgX8R8G8B8);
    DrawMemImgLine(&img, 0, 0, 4, 2, 1);
    EXPECT_EQ((PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}}), SetPixels(img, 0));

    img.FillAll(0);
    DrawMemImgLine(&img, 0, 0, 2, 5, 1);  // y-major: error 2, 4, 6 -> side step, 1, 3
    EXPECT_EQ((PixelSet{{0, 0}, {0, 1}, {0, 2}, {1, 3}, {1, 4}}), SetPixels(img, 0));

    img.FillAll(0);
    DrawMemImgLine(&img, 5, 2, 1, 2, 1);
    EXPECT_EQ((PixelSet{{5, 2}, {4, 2}, {3, 2}, {2, 2}}), SetPixels(img, 0));

    img.FillAll(0);
    DrawMemImgLine(&img, 3, 3, 3, 3, 1);
    EXPECT_EQ(0, img.CountNot(0));
}

TEST_F(LineTest, ClipsToTheDrawAreaInEitherDirection) {
    TestImage img(320, 240, kMemImgR5G6B5);
    SetDrawStateArea(0, 0, 320, 240);
    DrawMemImgLine(&img, -10, 5, 400, 5, 0xFFFF);
    PixelSet row;
    for (int x = 0; x < 320; ++x) row.insert({x, 5});
    EXPECT_EQ(row, SetPixels(img, 0));
    img.FillAll(0);
    DrawMemImgLine(&img, 400, 5, -10, 5, 0xFFFF);
    EXPECT_EQ(row, SetPixels(img, 0));

    img.FillAll(0);
    DrawMemImgLine(&img, -5, -5, -1, 100, 0xFFFF);  // bounding box left of the area
    EXPECT_EQ(0, img.CountNot(0));

    TestImage small(12, 12, kMemImgX8R8G8B8);
    SetDrawStateArea(0, 0, 10, 10);
    DrawMemImgLine(&small, 2, -5, 2, 20, 1);
    PixelSet column;
    for (int y = 0; y < 10; ++y) column.insert({2, y});
    EXPECT_EQ(column, SetPixels(small, 0));
    small.FillAll(0);
    DrawMemImgLine(&small, -5, -5, 15, 15, 1);
    PixelSet diagonal;
    for (int i = 0; i < 10; ++i) diagonal.insert({i, i});
    EXPECT_EQ(diagonal, SetPixels(small, 0));
}

TEST_F(LineTest, ClippedStartLandsOnTheExactRowWhateverTheProcessor) {
    // Lines whose start, clipped to the left edge, falls on a whole row: a
    // multiply-add fused into one rounding puts it one row off.
    struct Case {
        const char* what;
        int32_t x1, y1, x2, y2;
    } cases[] = {
        {"steep, downwards", -25, -46, 100, 304},
        {"steep, upwards", -60, 334, 12, -38},
        {"shallow, downwards", -192, -34, 384, 98},
        {"shallow, near the top", -123, -79, 99, 69},
    };
    TestImage img(320, 240, kMemImgX8R8G8B8);
    SetDrawStateArea(0, 0, 320, 240);
    for (const Case& c : cases) {
        img.FillAll(0);
        DrawMemImgLine(&img, c.x1, c.y1, c.x2, c.y2, 1);
        const int32_t dy = c.y2 - c.y1, dx = c.x2 - c.x1;
        ASSERT_EQ(0, (-c.x1) * dy % dx) << c.what;
        const int32_t row = c.y1 + (-c.x1) * dy / dx;  // exact
        const int32_t before = row - (dy > 0 ? 1 : -1);
        ASSERT_TRUE(row > 0 && row < 239) << c.what;
        EXPECT_EQ(1u, img.Get(0, row)) << c.what;
        EXPECT_EQ(0u, img.Get(0, before)) << c.what;
    }
}

TEST_F(LineTest, ExtremeCoordinatesStayInsideTheArea) {
    TestImage img(20, 20, kMemImgX8R8G8B8);
    SetDrawStateArea(3, 4, 17, 15);
    const int32_t big = 2000000000;
    DrawMemImgLine(&img, -big, -big, big, big, 1);
    DrawMemImgLine(&img, big, -big, -big, big, 1);
    DrawMemImgLine(&img, -big, 7, big, 8, 1);
    DrawMemImgLine(&img, 9, big, 10, -big, 1);
    for (const auto& [x, y] : SetPixels(img, 0)) {
        EXPECT_TRUE(x >= 3 && x < 17 && y >= 4 && y < 15) << x << "," << y;
    }
    EXPECT_GT(SetPixels(img, 0).size(), 20u);
}

TEST_F(LineTest, OutlineDrawsEveryBorderPixelOnce) {
    TestImage img(20, 20, kMemImgX8R8G8B8);
    SetBlend(2, 255);  // adding shows a pixel drawn twice
    const int l = 10, t = 10, r = 14, b = 13;
    MemImgLineRecord records[4] = {{l, t, r - 1, t, 10, 255},
                                   {r - 1, t, r - 1, b - 1, 10, 255},
                                   {r - 1, b - 1, l, b - 1, 10, 255},
                                   {l, b - 1, l, t, 10, 255}};
    DrawMemImgLineList(&img, records, 4);
    PixelSet border;
    for (int x = l; x < r; ++x) border.insert({x, t}), border.insert({x, b - 1});
    for (int y = t; y < b; ++y) border.insert({l, y}), border.insert({r - 1, y});
    EXPECT_EQ(10u, border.size());
    EXPECT_EQ(border, SetPixels(img, 0));
    for (const auto& [x, y] : border) EXPECT_EQ(10u, img.Get(x, y));

    img.FillAll(0);
    DrawMemImgLineList(&img, records, 0);
    DrawMemImgLineList(&img, records, -3);
    DrawMemImgLineList(&img, nullptr, 4);
    EXPECT_EQ(0, img.CountNot(0));
}

TEST_F(LineTest, UsesTheModeAndBrightnessOfTheFill) {
    TestImage img(4, 1, kMemImgR5G6B5);
    img.FillAll(Rgb16(0, 0, 31));
    SetBlend(1, 128);
    DrawMemImgLine(&img, 0, 0, 1, 0, Rgb16(31, 63, 0));
    EXPECT_EQ(Rgb16(15, 31, 16), img.Get(0, 0));
    EXPECT_EQ(Rgb16(0, 0, 31), img.Get(1, 0));

    TestImage img32(2, 1, kMemImgX8R8G8B8);
    SetBlend(0, 0);
    SetBrightness(128, 128, 128);
    DrawMemImgLine(&img32, 0, 0, 1, 0, 0xFFFFFFFF);
    EXPECT_EQ(0xFF7F7F7Fu, img32.Get(0, 0));
    SetBlend(2, 0);  // adding nothing draws nothing
    DrawMemImgLine(&img32, 1, 0, 2, 0, 0xFFFFFFFF);
    EXPECT_EQ(0u, img32.Get(1, 0));
}

TEST_F(LineTest, RefusesPaletteAndAlphaDestinations) {
    // A palette destination has one byte per pixel: a 4-byte write per pixel
    // would run past its rows.
    TestImage pal(8, 2, kMemImgX8R8G8B8, kMemImgPalette);
    TestImage alpha(8, 2, kMemImgR5G6B5, kMemImgAlpha);
    SetDrawStateArea(0, 0, 8, 2);
    DrawMemImgLine(&pal, 0, 1, 8, 1, 0xFFFFFFFF);
    DrawMemImgLine(&alpha, 0, 1, 8, 1, 0xFFFFFFFF);
    EXPECT_EQ(0, pal.CountNot(0));
    EXPECT_EQ(0, alpha.CountNot(0));
    DrawMemImgLine(nullptr, 0, 0, 5, 5, 1);
}

}  // namespace
