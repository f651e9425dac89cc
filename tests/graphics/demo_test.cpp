// A demonstration frame as the game's set-up makes it: a 320x240 picture
// doubled on a 640x480 window, images loaded from PNG files, drawn in every
// blend mode, mirrored, stretched and on four corners, with outlines; the
// frame is captured to graphics-demo.png in the build directory for a person
// to look at, and its pixels are checked through the window's picture.
#include "graphics_test_util.h"

#include "image/image_decode.h"

namespace graphics_test {
namespace {

constexpr uint32_t kMagenta = 0xFFFF00FF;

// A 16x16 sprite: a magenta background with an orange disc and a dark
// marker at its top-left, so that mirroring shows.
Picture Sprite() {
    Picture p(16, 16, kMagenta);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int dx = 2 * x - 15, dy = 2 * y - 15;
            if (dx * dx + dy * dy <= 15 * 15) p.At(x, y) = 0xFFF08020;
        }
    for (int y = 3; y < 7; ++y)
        for (int x = 3; x < 7; ++x) p.At(x, y) = 0xFF202060;
    return p;
}

// Two 24x24 cells: a green arrow pointing right, and a blue bar on the left.
Picture Cells() {
    Picture p(48, 24, kMagenta);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            int reach = 23 - 2 * std::abs(y - 12);
            if (x <= reach) p.At(x, y) = 0xFF30C040;
        }
    for (int y = 2; y < 22; ++y)
        for (int x = 26; x < 30; ++x) p.At(x, y) = 0xFF3050E0;
    return p;
}

// A horizontal ramp of alpha over white.
Picture AlphaRamp() {
    Picture p(64, 16, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 64; ++x) p.At(x, y) = uint32_t(x * 4) << 24 | 0xFFFFFF;
    return p;
}

class DemoFrame : public GraphicsTest {
protected:
    void SetUp() override { Start(ScreenMode{640, 480, 32, 1}); }
};

TEST_F(DemoFrame, EveryKindOfDrawAppearsInTheCapturedFrame) {
    const Picture spritePicture = Sprite();
    const Picture cellPicture = Cells();
    int32_t sprite = LoadPicture("sprite.png", spritePicture);
    int32_t cells = LoadPicture("cells.png", cellPicture);
    int32_t ramp = LoadPicture("ramp.png", AlphaRamp(), true);
    ASSERT_GE(sprite, 0);
    ASSERT_GE(cells, 0);
    ASSERT_GE(ramp, 0);

    SetBackgroundColor(16, 24, 48);
    ClearDrawTarget(nullptr);
    // A row of stripes, and the sprite over them in each blend mode.
    const int32_t modes[] = {0, 1, 2, 3, 4, 10, 11, 5};
    for (int i = 0; i < 8; ++i) {
        int x = 8 + i * 38;
        DrawRectangle(x - 2, 6, x + 20, 30, MakeColor(90, 90, 90), 1);
        DrawRectangle(x - 2, 6, x + 20, 30, MakeColor(255, 255, 255), 0);
        SetBlendMode(modes[i], 160);
        DrawImage(x + 1, 10, sprite, 1);
        SetBlendMode(kBlendNone, 255);
    }
    // Cells plain and mirrored, a stretched and an upside-down sprite, a quad.
    DrawImageRect(10, 50, 0, 0, 24, 24, cells, 1, 0);
    DrawImageRect(40, 50, 0, 0, 24, 24, cells, 1, 1);
    DrawImageRect(70, 50, 24, 0, 24, 24, cells, 1, 0);
    DrawImageRect(100, 50, 24, 0, 24, 24, cells, 1, 1);
    DrawImageStretched(140, 40, 172, 72, sprite, 1);
    DrawImageStretched(180, 72, 212, 40, sprite, 1);
    DrawImageQuad(230, 40, 262, 48, 254, 80, 226, 70, sprite, 1);
    // Brightness, the alpha ramp and a clipped draw area.
    SetDrawBrightness(255, 120, 120);
    DrawImage(280, 50, sprite, 1);
    SetDrawBrightness(255, 255, 255);
    DrawImage(10, 100, ramp, 1);
    SetDrawRegion(100, 100, 140, 116);
    DrawImageStretched(90, 96, 150, 120, cells, 1);
    SetDrawRegion(0, 0, 320, 240);
    DrawRectangle(99, 99, 141, 117, MakeColor(255, 255, 0), 0);

    const std::string path = std::string(TEST_BINARY_DIR) + "/graphics-demo.png";
    std::remove(path.c_str());
    ASSERT_EQ(SetFrameCapture(1, path.c_str()), 0);
    ASSERT_EQ(PresentScreen(), 0);
    Picture shown = WindowPicture();
    ASSERT_EQ(shown.width, 640);
    ASSERT_EQ(shown.height, 480);
    auto at = [&](int x, int y) { return shown.At(2 * x + 1, 2 * y + 1) & 0xFFFFFF; };

    // The capture holds what the window shows.
    PixelImage captured{};
    ASSERT_EQ(LoadPixelImage(path.c_str(), nullptr, 0, &captured), 0);
    ASSERT_EQ(captured.width, 640);
    int r = 0, g = 0, b = 0;
    GetPixelImagePixel(&captured, 2 * 9 + 1, 2 * 17 + 1, &r, &g, &b, nullptr);
    EXPECT_EQ(uint32_t(r << 16 | g << 8 | b), at(9, 17));
    ReleasePixelImage(&captured);

    // Mode 0 copies, transparent corners keep the stripe, mode 5 draws nothing.
    EXPECT_EQ(at(9 + 8, 10 + 8), 0xF08020u);
    EXPECT_EQ(at(9, 10), 0x5A5A5Au);
    EXPECT_EQ(at(8 + 7 * 38 + 9, 18), 0x5A5A5Au);
    // Mode 1 (160) lies between stripe and sprite; mode 2 adds; mode 3 subtracts.
    uint32_t alpha = at(8 + 38 + 9, 18);
    EXPECT_GT((alpha >> 16) & 0xFF, 0x5Au);
    EXPECT_LT((alpha >> 16) & 0xFF, 0xF0u);
    EXPECT_EQ((at(8 + 2 * 38 + 9, 18) >> 16) & 0xFF, 0x5Au + 0xF0u * 160 / 255);
    EXPECT_EQ((at(8 + 3 * 38 + 9, 18) >> 16) & 0xFF, 0u);
    // Mirrored cells: the arrow's point and the bar change sides.
    EXPECT_EQ(at(10 + 3, 52), 0x30C040u);
    EXPECT_EQ(at(10 + 4, 52), 0x101830u);
    EXPECT_EQ(at(40 + 20, 52), 0x30C040u);
    EXPECT_EQ(at(40 + 19, 52), 0x101830u);
    EXPECT_EQ(at(40 + 0, 52), 0x101830u);
    EXPECT_EQ(at(70 + 3, 60), 0x3050E0u);
    EXPECT_EQ(at(100 + 20, 60), 0x3050E0u);
    EXPECT_EQ(at(100 + 3, 60), 0x101830u);
    // Stretched by two, and turned upside down: the marker moves.
    EXPECT_EQ(at(140 + 8, 40 + 8), 0x202060u);
    EXPECT_EQ(at(180 + 8, 72 - 9), 0x202060u);
    EXPECT_EQ(at(180 + 8, 40 + 8), 0xF08020u);
    // Brightness halves green and blue; the ramp fades in; the area clips.
    EXPECT_EQ(at(280 + 8, 50 + 12), 0xF03C0Fu);
    EXPECT_LT(at(10 + 2, 108) & 0xFF, at(10 + 60, 108) & 0xFF);
    EXPECT_EQ(at(95, 108), 0x101830u);
    EXPECT_EQ(at(99, 108), 0xFFFF00u);
}

}  // namespace
}  // namespace graphics_test
