// Drawing through the public calls: the rectangle draw's narrowed area, the
// mirrored rectangle, stretched draws, rectangles, the clear, image draw
// targets, the blend modes, brightness, the blend image and the colour values.
#include "graphics_test_util.h"

#include <functional>

namespace graphics_test {
namespace {

class DrawTest : public GraphicsTest {
protected:
    // An image whose pixel (x, y) is 0x00xxyy01 in the screen's 32-bit format.
    int32_t CoordinateImage(int w, int h, const char* name = "coords.png") {
        Picture p(w, h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.At(x, y) = 0xFF000001u | uint32_t(x) << 16 | uint32_t(y) << 8;
        return LoadPicture(name, p);
    }
    static uint32_t Coordinate(int x, int y) { return 0x000001u | uint32_t(x) << 16 | uint32_t(y) << 8; }

    // A one-colour w x h image (0x00RRGGBB).
    int32_t SolidImage(uint32_t rgb, int w = 4, int h = 4) {
        int32_t image = CreateBlankImage(w, h);
        FillImage(image, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF, 255);
        return image;
    }

    void ClearTo(uint32_t rgb) {
        SetBackgroundColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        ClearDrawTarget(nullptr);
    }

    // Draws a solid source over a solid destination in the mode and reads the result.
    uint32_t Blend(uint32_t source, uint32_t dest, int32_t mode, int32_t parameter) {
        int32_t image = SolidImage(source);
        SetBlendMode(kBlendNone, 255);
        ClearTo(dest);
        SetBlendMode(mode, parameter);
        DrawImage(0, 0, image, 0);
        SetBlendMode(kBlendNone, 255);
        DeleteImage(image, 0);
        return ScreenPixel(1, 1);
    }
};

TEST_F(DrawTest, DrawImageRectShowsOnlyTheRectangleAndRestoresTheArea) {
    int32_t image = CoordinateImage(40, 40);
    ASSERT_EQ(SetDrawRegion(5, 5, 100, 100), 0);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageRect(0, 0, 10, 12, 20, 20, image, 0, 0), 0);
    EXPECT_EQ(ScreenPixel(5, 5), Coordinate(15, 17));
    EXPECT_EQ(ScreenPixel(19, 19), Coordinate(29, 31));
    EXPECT_EQ(ScreenPixel(4, 10), 0u) << "left of the draw area";
    EXPECT_EQ(ScreenPixel(20, 10), 0u) << "right of the rectangle, although the image goes on";
    EXPECT_EQ(ScreenPixel(10, 20), 0u) << "below the rectangle";
    RECT region{};
    ASSERT_EQ(GetDrawRegion(&region), 0);
    EXPECT_EQ(region.left, 5);
    EXPECT_EQ(region.top, 5);
    EXPECT_EQ(region.right, 100);
    EXPECT_EQ(region.bottom, 100);
    EXPECT_FLOAT_EQ(g_drawState.drawAreaRightF, 100.0f);
    EXPECT_EQ(g_drawState.drawAreaEmpty, 0);

    // A rectangle reaching past the image shows only what the image has, and
    // a rectangle wholly outside the area draws nothing.
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageRect(50, 50, 30, 30, 20, 20, image, 0, 0), 0);
    EXPECT_EQ(ScreenPixel(59, 59), Coordinate(39, 39));
    EXPECT_EQ(ScreenPixel(60, 60), 0u);
    ASSERT_EQ(DrawImageRect(200, 200, 0, 0, 10, 10, image, 0, 0), 0);
    EXPECT_EQ(ScreenPixel(99, 99), 0u);
    ASSERT_EQ(DrawImageRect(10, 10, 0, 0, 0, 10, image, 0, 0), 0);  // an empty rectangle
    ASSERT_EQ(GetDrawRegion(&region), 0);
    EXPECT_EQ(region.right, 100);

    // Coordinates at the ends of the range draw nothing and overflow nothing.
    const int32_t big = INT32_MAX, small = INT32_MIN;
    for (int32_t mirrored : {0, 1}) {
        EXPECT_EQ(DrawImageRect(big, big, small, small, big, big, image, 1, mirrored), 0);
        EXPECT_EQ(DrawImageRect(small, 5, big, 0, big, 10, image, 1, mirrored), 0);
        EXPECT_EQ(DrawImageRect(5, 5, small, small, 10, 10, image, 1, mirrored), 0);
    }
    EXPECT_EQ(DrawImage(big, big, image, 0), 0);
    EXPECT_EQ(DrawRectangle(small, small, big, big, MakeColor(1, 1, 1), 0), 0);
    EXPECT_EQ(ScreenPixel(99, 99), 0u);
    EXPECT_EQ(DrawImageStretched(small, small, big, big, image, 0), 0);  // covers the area
    ASSERT_EQ(GetDrawRegion(&region), 0);
    EXPECT_EQ(region.right, 100);
}

TEST_F(DrawTest, AMirroredRectangleShowsThatCellMirrored) {
    // Two 12x8 cells side by side; the right one is wanted, mirrored.
    int32_t image = CoordinateImage(24, 8);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageRect(100, 50, 12, 0, 12, 8, image, 0, 1), 0);
    for (int j = 0; j < 8; ++j)
        for (int i = 0; i < 12; ++i)
            ASSERT_EQ(ScreenPixel(100 + i, 50 + j), Coordinate(23 - i, j)) << i << "," << j;
    EXPECT_EQ(ScreenPixel(99, 50), 0u);
    EXPECT_EQ(ScreenPixel(112, 50), 0u);
    // The left cell, and a cell cut by the draw area: the visible columns are
    // the ones the uncut draw shows there.
    ASSERT_EQ(DrawImageRect(0, 100, 0, 0, 12, 8, image, 0, 1), 0);
    EXPECT_EQ(ScreenPixel(0, 100), Coordinate(11, 0));
    EXPECT_EQ(ScreenPixel(11, 107), Coordinate(0, 7));
    ASSERT_EQ(SetDrawRegion(205, 0, 320, 240), 0);
    ASSERT_EQ(DrawImageRect(200, 150, 12, 0, 12, 8, image, 0, 1), 0);
    EXPECT_EQ(ScreenPixel(204, 150), 0u);
    EXPECT_EQ(ScreenPixel(205, 150), Coordinate(18, 0));
    EXPECT_EQ(ScreenPixel(211, 151), Coordinate(12, 1));
}

TEST_F(DrawTest, MirroredDrawsKeepTransparency) {
    Picture p(4, 1, 0xFF0000FF);
    p.At(0, 0) = 0xFFFF00FF;
    int32_t image = LoadPicture("mirror-trans.png", p);
    ClearTo(0x00FF00);
    ASSERT_EQ(DrawImageRect(10, 10, 0, 0, 4, 1, image, 1, 1), 0);
    EXPECT_EQ(ScreenPixel(13, 10), 0x00FF00u) << "column 0 (magenta) lands last and stays out";
    EXPECT_EQ(ScreenPixel(10, 10), 0x0000FFu);
}

TEST_F(DrawTest, StretchedDrawsScaleAndMirrorWithoutSpendingHandles) {
    int32_t image = CoordinateImage(4, 4);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageStretched(0, 0, 8, 8, image, 0), 0);
    EXPECT_EQ(ScreenPixel(0, 0), Coordinate(0, 0));
    EXPECT_EQ(ScreenPixel(1, 1), Coordinate(0, 0));
    EXPECT_EQ(ScreenPixel(7, 6), Coordinate(3, 3));
    ASSERT_EQ(DrawImageStretched(20, 8, 24, 4, image, 0), 0);  // upside down
    EXPECT_EQ(ScreenPixel(20, 4), Coordinate(0, 3));
    EXPECT_EQ(ScreenPixel(21, 7), Coordinate(1, 0));

    int32_t count = GetImageCount();
    ASSERT_EQ(DrawImageRectStretched(50.9f, 50.0f, 54.0f, 58.0f, 1, 2, 2, 2, image, 0), 0);
    EXPECT_EQ(GetImageCount(), count);
    EXPECT_EQ(ScreenPixel(50, 50), Coordinate(1, 2));
    EXPECT_EQ(ScreenPixel(51, 50), Coordinate(1, 2)) << "50.9 truncates to 50: the 2 columns become 4";
    EXPECT_EQ(ScreenPixel(53, 57), Coordinate(2, 3));
    EXPECT_EQ(ScreenPixel(54, 50), 0u);
    MarkLog();
    EXPECT_EQ(DrawImageRectStretched(0, 0, 4, 4, 4, 0, 1, 1, image, 0), -1);
    EXPECT_EQ(DrawImageRectStretched(0, 0, 4, 4, 0, 0, 0, 1, image, 0), -1);
    EXPECT_EQ(DrawImageRectStretched(0, 0, 4, 4, 0, 0, 1, 1, -1, 0), -1);
    EXPECT_NE(NewLog().find("in DrawImageRectStretched"), std::string::npos);
}

TEST_F(DrawTest, AQuadOfTheImagesOwnRectangleCoversIt) {
    int32_t image = CoordinateImage(8, 8);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageQuad(10, 10, 18, 10, 18, 18, 10, 18, image, 0), 0);
    EXPECT_EQ(ScreenPixel(11, 11), Coordinate(1, 1));
    EXPECT_EQ(ScreenPixel(16, 15), Coordinate(6, 5));
    EXPECT_EQ(ScreenPixel(30, 30), 0u);
    EXPECT_EQ(DrawImageQuad(0, 0, 1, 0, 1, 1, 0, 1, -1, 0), -1);
}

TEST_F(DrawTest, OutlinesDrawEachBorderPixelOnceAndNothingInside) {
    ClearTo(0x000000);
    SetBlendMode(kBlendAdd, 255);  // a pixel drawn twice would show 20
    ASSERT_EQ(DrawRectangle(10, 20, 16, 24, MakeColor(0, 0, 10), 0), 0);
    SetBlendMode(kBlendNone, 255);
    for (int y = 18; y < 26; ++y)
        for (int x = 8; x < 18; ++x) {
            bool inside = x >= 10 && x < 16 && y >= 20 && y < 24;
            bool border = inside && (x == 10 || x == 15 || y == 20 || y == 23);
            EXPECT_EQ(ScreenPixel(x, y), border ? 10u : 0u) << x << "," << y;
        }
    // Reversed corners give the same outline; an empty one draws nothing.
    ClearTo(0x000000);
    ASSERT_EQ(DrawRectangle(16, 24, 10, 20, MakeColor(0, 0, 10), 0), 0);
    EXPECT_EQ(ScreenPixel(10, 20), 10u);
    EXPECT_EQ(ScreenPixel(15, 23), 10u);
    EXPECT_EQ(ScreenPixel(16, 24), 0u);
    ASSERT_EQ(DrawRectangle(30, 30, 30, 40, MakeColor(0, 0, 10), 0), 0);
    EXPECT_EQ(ScreenPixel(30, 30), 0u);
    // Filled: right and bottom exclusive, clipped to the area.
    ASSERT_EQ(SetDrawRegion(0, 0, 50, 50), 0);
    ASSERT_EQ(DrawRectangle(45, 45, 60, 60, MakeColor(1, 2, 3), 1), 0);
    EXPECT_EQ(ScreenPixel(49, 49), 0x010203u);
    ASSERT_EQ(SetDrawRegion(0, 0, 320, 240), 0);
    EXPECT_EQ(ScreenPixel(50, 50), 0u);
}

TEST_F(DrawTest, AnImageAsDrawTargetReceivesTheDrawing) {
    int32_t canvas = CreateBlankImage(16, 8);
    int32_t stamp = SolidImage(0x112233, 2, 2);
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    EXPECT_EQ(GetDrawTarget(), canvas);
    RECT region{};
    GetDrawRegion(&region);
    EXPECT_EQ(region.right, 16);
    EXPECT_EQ(region.bottom, 8);
    ASSERT_EQ(SetDrawRegion(-5, -5, 500, 500), 0);  // clamped to the image
    GetDrawRegion(&region);
    EXPECT_EQ(region.left, 0);
    EXPECT_EQ(region.right, 16);
    ClearDrawTarget(nullptr);
    DrawRectangle(0, 0, 16, 8, MakeColor(0, 0, 200), 1);
    ASSERT_EQ(DrawImage(14, 6, stamp, 0), 0);
    ASSERT_EQ(DrawImage(15, 7, stamp, 0), 0);  // clipped at the image's edge
    EXPECT_EQ(ImagePixel(canvas, 14, 6), 0x112233u);
    EXPECT_EQ(ImagePixel(canvas, 15, 7), 0x112233u);
    EXPECT_EQ(ImagePixel(canvas, 13, 6), 0x0000C8u);

    ASSERT_EQ(SetDrawTarget(kDrawTargetBack), 0);
    GetDrawRegion(&region);
    EXPECT_EQ(region.right, 320);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImage(100, 100, canvas, 0), 0);
    EXPECT_EQ(ScreenPixel(114, 106), 0x112233u);
    EXPECT_EQ(ScreenPixel(100, 100), 0x0000C8u);
}

TEST_F(DrawTest, ClearStoresTheBackgroundWhateverTheBlendState) {
    SetBlendMode(kBlendAdd, 128);
    SetDrawBrightness(10, 10, 10);
    SetBackgroundColor(300, 40, -3);  // clamped
    ASSERT_EQ(ClearDrawTarget(nullptr), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0xFF2800u);
    EXPECT_EQ(ScreenPixel(319, 239), 0xFF2800u);
    SetBackgroundColor(0, 0, 0);
    RECT part{10, 10, 12, 11};
    ASSERT_EQ(ClearDrawTarget(&part), 0);
    EXPECT_EQ(ScreenPixel(11, 10), 0u);
    EXPECT_EQ(ScreenPixel(12, 10), 0xFF2800u);
    RECT outside{-50, -50, 1000, 1};
    ASSERT_EQ(ClearDrawTarget(&outside), 0);  // clipped to the target
    EXPECT_EQ(ScreenPixel(319, 0), 0u);
    EXPECT_EQ(ScreenPixel(319, 1), 0xFF2800u);
}

TEST_F(DrawTest, BlendModesThroughThePublicCalls) {
    EXPECT_EQ(Blend(0xFFFFFF, 0x000000, kBlendAlpha, 128), 0x7F7F7Fu);
    EXPECT_EQ(Blend(0xFFFFFF, 0x000000, kBlendAlpha, 255), 0xFFFFFFu) << "mode 1 at 255 copies";
    EXPECT_EQ(Blend(0xFFFFFF, 0x000000, kBlendAlpha, 999), 0xFFFFFFu) << "the parameter is clamped";
    EXPECT_EQ(Blend(0xFFFFFF, 0x123456, kBlendAlpha, 0), 0x123456u) << "mode 1 at 0 draws nothing";
    EXPECT_EQ(Blend(0x000164, 0x0003C8, kBlendAdd, 255), 0x0003FFu);  // blue saturates; green 3 + 1 is 3
    EXPECT_EQ(Blend(0x000014, 0x000A0A, kBlendSubtract, 255), 0x010A00u);
    EXPECT_EQ(Blend(0x808080, 0x40C0FF, kBlendMultiply, 0), 0x20607Fu);
    EXPECT_EQ(Blend(0x00FF00, 0x102030, kBlendInvert, 255), 0xFE00FEu);
    for (int32_t mode : {5, 6, 7, 8, 9, 12, -1})
        EXPECT_EQ(Blend(0xFFFFFF, 0x123456, mode, 255), 0x123456u) << "mode " << mode;
}

TEST_F(DrawTest, BrightnessScalesEachChannelAndIsKeptBlueGreenRed) {
    int32_t white = SolidImage(0xFFFFFF);
    ClearTo(0x000000);
    ASSERT_EQ(SetDrawBrightness(128, 300, -4), 0);
    EXPECT_EQ(g_drawState.brightnessRed, 128);
    EXPECT_EQ(g_drawState.brightnessGreen, 255);
    EXPECT_EQ(g_drawState.brightnessBlue, 0);
    ASSERT_EQ(DrawImage(0, 0, white, 0), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0x80FF00u);
    ASSERT_EQ(SetDrawBrightnessColor(0xFF204080), 0);  // bits 24-31 ignored
    EXPECT_EQ(g_drawState.brightnessRed, 0x20);
    EXPECT_EQ(g_drawState.brightnessBlue, 0x80);
    SetBlendMode(kBlendAlpha, 100);
    EXPECT_EQ(PackDrawColor(), 0x64204080u);
    SetBlendMode(kBlendNone, 100);
    EXPECT_EQ(PackDrawColor(), 0xFF204080u) << "mode 0 packs alpha 255";
    SetDrawBrightness(255, 255, 255);
}

TEST_F(DrawTest, ABlendImageMasksDrawsInSourceCoordinates) {
    // Grey 0 on the left half, 255 on the right; with border parameter 128
    // the ramp gives 0 and 255.
    Picture mask(8, 4, 0xFF000000);
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x) mask.At(x, y) = 0xFFFFFFFF;
    int32_t blend = LoadPicture("blend.png", mask);
    int32_t white = SolidImage(0xFFFFFF, 8, 4);
    ASSERT_EQ(SetBlendImage(blend, 128, 0), 0);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImage(100, 100, white, 0), 0);
    EXPECT_EQ(ScreenPixel(101, 101), 0u);
    EXPECT_EQ(ScreenPixel(105, 101), 0xFEFEFEu);  // (255 x 255) >> 8
    // A rectangle draw addresses the blend image at the image's own columns.
    ClearTo(0x000000);
    ASSERT_EQ(DrawImageRect(0, 0, 4, 0, 4, 4, white, 0, 0), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0xFEFEFEu);

    // An image larger than the blend image is drawn with its edge repeated.
    int32_t wide = SolidImage(0xFFFFFF, 12, 6);
    ClearTo(0x000000);
    ASSERT_EQ(DrawImage(0, 0, wide, 0), 0);
    EXPECT_EQ(ScreenPixel(11, 5), 0xFEFEFEu);
    EXPECT_EQ(ScreenPixel(0, 5), 0u);

    EXPECT_EQ(SetBlendImage(0x08001234, 0, 0), -1);
    EXPECT_EQ(g_drawState.blendImageHandle, blend) << "a refused call keeps the blend image";
    ASSERT_EQ(DeleteImage(blend, 0), 0);
    EXPECT_EQ(g_drawState.blendImage, nullptr) << "deleting the blend image clears it";
    ClearTo(0x000000);
    ASSERT_EQ(DrawImage(0, 0, white, 0), 0);
    EXPECT_EQ(ScreenPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(SetBlendImage(-1, 0, 0), 0);
}

// While drawing is suspended every draw call returns 0 and draws nothing;
// each row draws once the flag is clear.
TEST_F(DrawTest, DrawCallsDoNothingWhileDrawingIsSuspended) {
    const int32_t image = SolidImage(0xFFFFFF);
    const struct {
        const char* what;
        std::function<int()> call;
    } cases[] = {
        {"DrawImage", [&] { return DrawImage(2, 2, image, 0); }},
        {"DrawImageRect", [&] { return DrawImageRect(2, 2, 0, 0, 3, 3, image, 0, 1); }},
        {"DrawImageStretched", [&] { return DrawImageStretched(2, 2, 9, 9, image, 0); }},
        {"DrawImageRectStretched", [&] { return DrawImageRectStretched(2, 2, 9, 9, 1, 1, 2, 2, image, 0); }},
        {"DrawImageQuad", [&] { return DrawImageQuad(2, 2, 9, 2, 9, 9, 2, 9, image, 0); }},
        {"DrawRectangle filled", [] { return DrawRectangle(2, 2, 6, 6, MakeColor(255, 255, 255), 1); }},
        {"DrawRectangle outline", [] { return DrawRectangle(2, 2, 6, 6, MakeColor(255, 255, 255), 0); }},
    };
    for (const auto& c : cases) {
        for (const int32_t suspended : {1, 0}) {
            ClearTo(0x000000);
            g_drawState.drawingSuspended = suspended;
            EXPECT_EQ(c.call(), 0) << c.what;
            g_drawState.drawingSuspended = 0;
            EXPECT_EQ(ScreenPixel(2, 2), suspended ? 0u : 0xFFFFFFu) << c.what << (suspended ? " suspended" : "");
        }
    }
}

TEST_F(DrawTest, MakeColorAndSplitColorInBothDepths) {
    EXPECT_EQ(MakeColor(255, 0, 255), 0x00FF00FFu);
    EXPECT_EQ(MakeColor(300, -5, 18), 0x00FF0012u);
    int32_t r = -1, g = -1, b = -1;
    ASSERT_EQ(SplitColor(0x00123456, &r, &g, &b), 0);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);

    Start(ScreenMode{320, 240, 16, 0});
    EXPECT_EQ(MakeColor(255, 0, 255), 0xF81Fu);
    EXPECT_EQ(MakeColor(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(MakeColor(8, 4, 7), (1u << 11) | (1u << 5));
    ASSERT_EQ(SplitColor(0xF81F, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 255);
    ASSERT_EQ(SplitColor(MakeColor(100, 150, 200), &r, nullptr, &b), 0);
    EXPECT_EQ(r, 99);   // 12 of 31, widened by repeating its top bits
    EXPECT_EQ(b, 206);  // 25 of 31
    // The colours the 16-bit screen shows are the ones MakeColor names.
    DrawRectangle(0, 0, 1, 1, MakeColor(0, 255, 0), 1);
    EXPECT_EQ(RawPixel(Targets().screen, 0, 0), 0x07E0u);
}

}  // namespace
}  // namespace graphics_test
