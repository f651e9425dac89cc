// A frame of text drawn with the library, written as a PNG file beside the
// build for people to look at: Japanese and English, several sizes, plain,
// edged, anti-aliased, vertical and blended.
#include "font_test_util.h"

#include <filesystem>

using namespace font_test;

namespace {

class FontCaptureTest : public GraphicsTest {
protected:
    void SetUp() override { Start(ScreenMode{640, 480, 32, 0, 1}); }
};

TEST_F(FontCaptureTest, FrameOfText) {
    SetBackgroundColor(24, 40, 72);
    ClearDrawTarget(nullptr);
    const uint32_t white = MakeColor(255, 255, 255), black = MakeColor(0, 0, 0);
    struct Line {
        int32_t size, type, edge;
        const char* text;
        uint32_t color, edgeColor;
    } lines[] = {
        {12, 0, -1, "12px plain: 小さい文字 small text 0123456789", white, black},
        {16, 0, -1, "16px plain: ベルミパズル Velumi Puzzle", white, black},
        {16, 1, 1, "16px edge: 縁取りの文字 Edged text", MakeColor(255, 255, 0), black},
        {24, 2, -1, "24px anti-aliased: なめらか Smooth", white, black},
        {32, 3, 2, "32px both: 日本語 English", MakeColor(255, 200, 80), MakeColor(120, 0, 0)},
        {48, 2, -1, "48px ゴシック Gothic", MakeColor(160, 255, 160), black},
    };
    int32_t y = 8;
    for (const Line& l : lines) {
        const int32_t font = CreateFontToHandle(nullptr, l.size, -1, l.type, -1, l.edge, 0);
        ASSERT_NE(font, -1) << l.text;
        EXPECT_EQ(DrawStringByFont(8, y, l.text, l.color, font, l.edgeColor, 0), 0);
        y += l.size + 10;
    }
    const int32_t vertical = CreateFontToHandle(nullptr, 28, -1, 3, -1, 2, 0);
    EXPECT_EQ(DrawStringByFont(590, 8, "縦書きのテキスト", white, vertical, MakeColor(0, 0, 160), 1), 0);
    const int32_t blended = CreateFontToHandle(nullptr, 32, -1, 0, -1, -1, 0);
    SetBlendMode(kBlendAlpha, 110);
    EXPECT_EQ(DrawStringByFont(8, 400, "半透明 Translucent 50%", white, blended, black, 0), 0);
    SetBlendMode(kBlendNone, 255);
    SetDrawBrightness(255, 160, 160);
    EXPECT_EQ(DrawStringByFont(8, 440, "明るさ Brightness (255, 160, 160)", white, blended, black, 0), 0);
    SetDrawBrightness(255, 255, 255);

    const MEMIMG& screen = Targets().screen;
    graphics_test::Picture picture(screen.width, screen.height, 0);
    int inked = 0;
    for (int32_t py = 0; py < screen.height; ++py)
        for (int32_t px = 0; px < screen.width; ++px) {
            picture.At(px, py) = 0xFF000000 | (graphics_test::RawPixel(screen, px, py) & 0xFFFFFF);
            inked += (picture.At(px, py) & 0xFFFFFF) != 0x182848;
        }
    EXPECT_GT(inked, 20000);
    const std::string path = std::string(TEST_BINARY_DIR) + "/font_capture.png";
    graphics_test::SavePng(path, picture);
    EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
