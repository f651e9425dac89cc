// The bitmap font: widths, and the cell, place and line of every glyph drawn
// from both tables.
#include "game_test_util.h"

#include "game/bitmap_font.h"

namespace game_test {
namespace {

class FontTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        FakeImage(kImageFont, 256, 160);
    }
    static DrawCall Glyph(int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w) {
        return DrawCall{x, y, sx, sy, w, 16, kImageFont, 0};
    }
};

TEST_F(FontTest, WidthIsThatOfTheWidestLine) {
    EXPECT_EQ(MeasureText(""), 0);
    EXPECT_EQ(MeasureText(nullptr), 0);
    EXPECT_EQ(MeasureText("AB\nC"), 24);
    EXPECT_EQ(MeasureText("C\nAB "), 36) << "a space counts 12";
    EXPECT_EQ(MeasureText("ﾚﾍﾞﾙ"), 48) << "the voiced sign adds nothing";
    EXPECT_EQ(MeasureText("A\tB\x7F\x80\x9F\xE5"), 24) << "other bytes add nothing";
}

TEST_F(FontTest, EachByteIsDrawnFromItsCellOfEitherTable) {
    DrawText("!a~@ \xA1ｶﾝ", 0, 0, 0);
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{Glyph(0, 4, 12, 64, 12), Glyph(12, 4, 12, 128, 12),
                                                       Glyph(24, 4, 168, 144, 12), Glyph(36, 4, 0, 96, 12),
                                                       Glyph(60, 4, 16, 0, 16), Glyph(76, 4, 96, 16, 16),
                                                       Glyph(92, 4, 208, 48, 16)}));
}

TEST_F(FontTest, SignsLandOverThePreviousKanaWithoutAdvancing) {
    DrawText("ｶﾞﾊﾟA", 10, 20, 0);
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{Glyph(10, 24, 96, 16, 16), Glyph(10, 10, 224, 48, 16),
                                                       Glyph(26, 24, 160, 32, 16), Glyph(26, 10, 240, 48, 16),
                                                       Glyph(42, 24, 12, 96, 12)}));
}

TEST_F(FontTest, LinesAreCentredTogetherAndRaised) {
    DrawText("AB\nC", 160, 50, 1);
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{Glyph(148, 54, 12, 96, 12), Glyph(160, 54, 24, 96, 12),
                                                       Glyph(148, 74, 36, 96, 12)}));
    TheWorld().draws.clear();
    DrawText("A", 0, 100, 0, 1, 0);
    DrawText("A", 0, 100, 0, 0, 1);
    DrawText("A", 0, 100, 0, 1, 1);
    std::vector<int32_t> tops;
    for (const DrawCall& d : TheWorld().draws) tops.push_back(d.y);
    EXPECT_EQ(tops, (std::vector<int32_t>{96, 84, 76}));
}

}  // namespace
}  // namespace game_test
