// Backgrounds: the factory's codes and the codes the board reads, the swap
// that installs a background, and animation steps that are deterministic with
// the game's shared random numbers (sprites wrapping round the screen, the
// scrolling strips and the blinking grid).
#include "scene_test_util.h"

#include "game/backgrounds/haikei.h"
#include "graphics/graphics.h"

namespace game_test {
namespace {

class BackgroundTest : public SceneTest {};

TEST_F(BackgroundTest, TheFactoryKnowsSixteenCodesAndTheirBoardCodes) {
    struct Expected {
        int32_t code;
        int32_t boardCode;
    };
    const Expected valid[] = {{0, 0},  {1, 0},  {2, 2},  {3, 4},  {4, 4},   {10, 8},  {11, 0},  {12, 10},
                              {14, 12}, {20, 16}, {22, 18}, {30, 0}, {32, 26}, {40, 16}, {42, 2}, {52, 34}};
    std::set<int32_t> validCodes;
    for (const Expected& e : valid) {
        std::unique_ptr<Haikei> h(CreateBackground(e.code));
        ASSERT_NE(h, nullptr) << "code " << e.code;
        EXPECT_EQ(h->GetCode(), e.boardCode) << "code " << e.code;
        validCodes.insert(e.code);
    }
    for (int32_t code = -3; code <= 60; ++code) {
        if (validCodes.count(code)) continue;
        EXPECT_EQ(CreateBackground(code), nullptr) << "code " << code;
    }
    EXPECT_EQ(CreateBackground(INT32_MIN), nullptr);
    // The class is the code's last digit; variant and scroll come from the table.
    std::unique_ptr<Haikei> h30(CreateBackground(30)), h40(CreateBackground(40)), h52(CreateBackground(52));
    auto* ground30 = dynamic_cast<Haikei0*>(h30.get());
    auto* ground40 = dynamic_cast<Haikei0*>(h40.get());
    auto* fly52 = dynamic_cast<Haikei2*>(h52.get());
    ASSERT_TRUE(ground30 && ground40 && fly52);
    EXPECT_EQ(ground30->scroll, 1);
    EXPECT_EQ(ground30->variant, 0);
    EXPECT_EQ(ground40->variant, 2);
    EXPECT_EQ(fly52->variant, 2);
    EXPECT_EQ(fly52->group, 4);
}

TEST_F(BackgroundTest, TheSwapStartsANewBackgroundAndAnInvalidCodeKeepsTheOldOne) {
    SetNextBackground(CreateBackground(4));
    SwapBackground();
    auto* grid = dynamic_cast<Haikei4*>(g_backgrounds.current);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->frameCount, 0) << "started, not yet updated";
    SwapBackground();
    EXPECT_EQ(grid->frameCount, 1);
    SetNextBackground(CreateBackground(7));  // no such code
    SwapBackground();
    EXPECT_EQ(g_backgrounds.current, grid);
    EXPECT_EQ(grid->frameCount, 2);
}

// Two runs from the same seed through the same backgrounds draw the same
// frames; another seed does not.
TEST_F(BackgroundTest, AnimationIsDeterministicWithTheGamesRandomNumbers) {
    auto run = [](uint32_t seed) {
        SeedGameRand(seed);
        TheWorld().draws.clear();
        for (int32_t code : {0, 11, 22, 40}) {
            std::unique_ptr<Haikei> h(CreateBackground(code));
            h->Start();
            for (int32_t i = 0; i < 600; ++i) h->Update();
            h->Draw();
        }
        return TheWorld().draws;
    };
    const std::vector<DrawCall> first = run(1);
    ASSERT_GT(first.size(), 100u);
    EXPECT_EQ(run(1), first);
    EXPECT_NE(run(2), first);
}

TEST_F(BackgroundTest, Haikei1SpritesWrapBothWays) {
    Haikei1 falling(0, 0), rising(0, 1);
    falling.Start();
    rising.Start();
    falling.y[0] = 271.8;
    falling.layer[0] = 0;
    rising.y[0] = -31.8;
    rising.layer[0] = 0;
    falling.Update();
    rising.Update();
    EXPECT_EQ(falling.y[0], -32.0) << "fell past 272";
    EXPECT_EQ(rising.y[0], 272.0) << "rose past -32";
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        EXPECT_GE(rising.shape[i], 0);
        EXPECT_LE(rising.shape[i], 2);
    }
    // A rising sprite is drawn as its still 24x36 shape.
    TheWorld().draws.clear();
    rising.Draw();
    const std::vector<DrawCall> sprites = DrawsOfSlot(101);
    const size_t shapes = std::count_if(sprites.begin(), sprites.end(), [](const DrawCall& d) {
        return d.sourceX == 192 && d.width == 24 && d.height == 36;
    });
    EXPECT_EQ(shapes, static_cast<size_t>(kHaikeiSprites));
}

TEST_F(BackgroundTest, Haikei2SpritesComeBackFromBeyondTheRightEdge) {
    Haikei2 h(0, 1, 0);
    h.Start();
    EXPECT_EQ(h.skyColour, MakeColor(0, 0, 0));
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        EXPECT_LE(h.dx[i], -0.5 + 1e-9);
        EXPECT_GE(h.dx[i], -0.9 - 1e-9);
    }
    for (int32_t round = 0; round < 50; ++round) {
        h.x[0] = -31.99;
        h.dx[0] = -0.5;
        h.Update();
        EXPECT_GE(h.x[0], 352.0);
        EXPECT_LE(h.x[0], 479.0);
        EXPECT_GE(h.y[0], 0.0);
        EXPECT_LT(h.y[0], 240.0);
    }
}

TEST_F(BackgroundTest, StripsScrollAndTheGridBlinksInTurn) {
    // Haikei3: the wall moves one pixel left every 6 frames and repeats every 22.
    Haikei3 wall(0);
    wall.Start();
    auto firstWallX = [&] {
        TheWorld().draws.clear();
        wall.Draw();
        return DrawsOfSlot(103).at(0).x;
    };
    EXPECT_EQ(firstWallX(), -14);
    for (int32_t i = 0; i < 6; ++i) wall.Update();
    EXPECT_EQ(firstWallX(), -15);
    for (int32_t i = 0; i < 6 * 21; ++i) wall.Update();
    EXPECT_EQ(firstWallX(), -14);
    // Haikei4 at frame 0: cells of parity 0 show frame 0, parity 1 rest
    // (t = 30); at frame 30 it is the other way round.
    Haikei4 grid(1);
    grid.Start();
    auto gridCells = [&](int32_t parity) {
        TheWorld().draws.clear();
        grid.Draw();
        int32_t n = 0;
        for (const DrawCall& d : DrawsOfSlot(104))
            if (d.width == 24 && d.sourceY == 24 * parity) ++n;
        return n;
    };
    EXPECT_EQ(gridCells(0), 77);  // 11 rows x 14 columns, half of them
    EXPECT_EQ(gridCells(1), 0);
    for (int32_t i = 0; i < 30; ++i) grid.Update();
    EXPECT_EQ(gridCells(0), 0);
    EXPECT_EQ(gridCells(1), 77);
}

}  // namespace
}  // namespace game_test
