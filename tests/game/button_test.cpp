// Buttons and figures: hit area and click rule, bounce, the frame cut from
// 12x12 pieces, figure frames, and rectangles reaching outside their image.
#include "game_test_util.h"

#include "game/button.h"
#include "game/game_draw.h"

#include <tuple>

namespace game_test {
namespace {

class ButtonTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        FakeImage(kImageFrames, 108, 72);
        FakeImage(kImageFigures, 48, 72);
        FakeImage(kImageFont, 256, 160);
        b.shown = b.visible = b.hoverLit = 1;
        b.style = 1;
        b.x = 100;
        b.y = 50;
        b.width = 30;
        b.height = 17;
        b.tileX = 36;
    }
    Button b;
};

TEST_F(ButtonTest, APressStartingWithinTwoPixelsIsAClick) {
    using Case = std::tuple<int32_t, int32_t, uint8_t>;
    for (auto [x, y, click] : std::initializer_list<Case>{{98, 60, 1}, {97, 60, 0}, {131, 60, 1}, {132, 60, 0},
                                                          {110, 48, 1}, {110, 47, 0}, {110, 68, 1}, {110, 69, 0}}) {
        EXPECT_EQ(HitTestButton(b, x, y, 0), click) << x << "," << y;
        EXPECT_EQ(b.hoverOffset, click ? 36 : 0) << x << "," << y;
    }
    EXPECT_EQ(HitTestButton(b, 110, 60, 1), 0) << "held, or dragged on";
    EXPECT_EQ(HitTestButton(b, 110, 60, -1), 0);
    b.x = -20;
    EXPECT_EQ(HitTestButton(b, -1, 60, 0), 0) << "a negative pointer x is never inside";
}

TEST_F(ButtonTest, AHiddenButtonNeitherCountsNorClicksNorDraws) {
    b.pressCounter = 5;
    b.figure = 1;
    b.visible = 0;
    EXPECT_EQ(HitTestButton(b, 110, 60, 0), 0);
    DrawButton(b);
    EXPECT_EQ(std::make_pair(b.pressCounter, b.figureCounter), std::make_pair(5, 0));
    EXPECT_TRUE(TheWorld().draws.empty());
    b.visible = 1;
    HitTestButton(b, 0, 0, -1);
    EXPECT_EQ(std::make_pair(b.pressCounter, b.figureCounter), std::make_pair(4, 1));
    std::vector<int32_t> bounces;
    for (int32_t counter : {0, 4, 8, 16, 20, 24}) {
        b.pressCounter = counter;
        bounces.push_back(ButtonBounce(b));
    }
    EXPECT_EQ(bounces, (std::vector<int32_t>{0, 0, 3, 5, 4, 2}));
}

TEST_F(ButtonTest, TheFrameIsCutFromTwelvePixelPiecesToFit) {
    DrawButtonFrame(b, 0, 3);
    const std::vector<DrawCall>& d = TheWorld().draws;
    ASSERT_EQ(d.size(), 4u + 6u + 4u + 6u);  // corners, edges across, edges down, centre
    auto piece = [](int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h) {
        return DrawCall{x, y, sx, sy, w, h, kImageFrames, 0};
    };
    EXPECT_EQ(d[0], piece(88, 41, 36, 0, 12, 12));    // top-left corner, 3 lower
    EXPECT_EQ(d[3], piece(130, 70, 60, 24, 12, 12));  // bottom-right
    EXPECT_EQ(d[8], piece(124, 41, 48, 0, 6, 12));    // the top edge's last piece: 6 wide
    EXPECT_EQ(d[12], piece(88, 65, 36, 12, 12, 5));   // the left edge's last piece: 5 high
    EXPECT_EQ(d[19], piece(124, 65, 48, 12, 6, 5));
}

TEST_F(ButtonTest, StyleZeroAddsATranslucentFrameAndTheLabelAndFigureComeLast) {
    b.style = 0;
    b.tileX = 0;
    b.labelCentred = 1;
    b.figure = 2;
    b.figureDx = 20.5;
    b.figureDy = 10.0;
    b.figureCounter = 12;
    b.pressCounter = 8;  // 3 lower
    SetButtonLabel(b, "OK");
    DrawButton(b);
    const std::vector<DrawCall>& d = TheWorld().draws;
    ASSERT_EQ(d.size(), 40u + 2u + 1u);
    EXPECT_EQ(std::make_pair(d[0].sourceY, d[20].sourceY), std::make_pair(36, 0));
    EXPECT_EQ(CallsStartingWith("SetBlendMode"), (Calls{"SetBlendMode(1,192)", "SetBlendMode(1,255)"}));
    EXPECT_EQ(std::make_pair(d[40].x, d[40].y), std::make_pair(103, 55)) << "centred on x + 15, at y + 3 - 2 + 4";
    EXPECT_EQ(d[42], (DrawCall{114, 51, 12, 24, 12, 24, kImageFigures, 0})) << "kind 2, frame 12 / 12";
}

TEST_F(ButtonTest, FiguresAnimateByKind) {
    EXPECT_EQ((std::vector<int32_t>{SpriteFrame(1, 39), SpriteFrame(1, 40), SpriteFrame(2, 47), SpriteFrame(3, 30),
                                    SpriteFrame(7, 25)}),
              (std::vector<int32_t>{3, 0, 3, 0, 2}));
    DrawSpriteFrame(1, 0, 6.0, 12.0, 1);
    EXPECT_EQ(TheWorld().draws.back(), (DrawCall{0, 0, 0, 0, 12, 24, kImageFigures, 1}));
}

TEST_F(ButtonTest, RectanglesOutsideTheirImageAreCutOrSkipped) {
    DrawSpriteFrame(0, 0, 50.0, 50.0, 0);  // kind 0 would read the row above the picture
    DrawSpriteFrame(4, 0, 50.0, 50.0, 0);  // row 3 starts below the 48x72 sheet
    EXPECT_EQ(DrawImageCell(0, 0, 0, 0, 12, 12, -1), 0);
    EXPECT_EQ(DrawImageCell(0, 0, INT32_MAX, 0, 12, 12, kImageFigures), 0);
    EXPECT_TRUE(TheWorld().draws.empty());
    // Partly outside: the inside part lands where it would have, mirrored or not.
    DrawImageCell(10, 20, -4, 60, 12, 24, kImageFigures);
    DrawImageCell(10, 20, -4, 0, 12, 24, kImageFigures, 1);
    DrawImageCell(10, 20, 44, 0, 12, 24, kImageFigures, 1);
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{{14, 20, 0, 60, 8, 12, kImageFigures, 0},
                                                       {10, 20, 0, 0, 8, 24, kImageFigures, 1},
                                                       {18, 20, 44, 0, 4, 24, kImageFigures, 1}}));
}

}  // namespace
}  // namespace game_test
