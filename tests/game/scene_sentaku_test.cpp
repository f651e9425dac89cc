// The level select: which levels it offers for a stored level, how their
// icons are laid out (rings, then a grid from 38 icons on), how they fly in
// and answer the pointer, the walking figures, and where a click leads.
#include "scene_test_util.h"

#include <cmath>

#include "game/scenes/puzzle_scene.h"
#include "game/scenes/sentaku_scene.h"
#include "game/scenes/title_scene.h"

namespace game_test {
namespace {

class SentakuTest : public SceneTest {
protected:
    static int32_t ActiveIcons(const SentakuScene& s) {
        return static_cast<int32_t>(std::count_if(std::begin(s.icons), std::end(s.icons),
                                                  [](const LevelIcon& i) { return i.active == 1; }));
    }
    static int32_t ActiveWalkers(const SentakuScene& s) {
        return static_cast<int32_t>(std::count_if(std::begin(s.walkers), std::end(s.walkers),
                                                  [](const LevelSelectWalker& w) { return w.active == 1; }));
    }
    // The pixel at the centre of an icon as it is drawn now.
    static std::pair<int32_t, int32_t> IconCentre(const LevelIcon& icon) {
        return {static_cast<int32_t>(icon.originX + icon.wobbleX + icon.x),
                static_cast<int32_t>(icon.originY + icon.wobbleY + icon.y)};
    }
};

TEST_F(SentakuTest, TheStoredLevelDecidesTheIconsAndTheWalkers) {
    struct Case {
        int32_t stored, icons, walkers;
    };
    // Levels outside 0..50 can only come from an altered save: they read as
    // the nearest level the game knows.
    for (const Case& c : {Case{0, 1, 0}, Case{7, 8, 7}, Case{49, 50, 49}, Case{50, 50, 50}, Case{400, 50, 50},
                          Case{-3, 1, 0}}) {
        g_saveData.slot[0].level = c.stored;
        SentakuScene scene;
        scene.Start();
        EXPECT_EQ(ActiveIcons(scene), c.icons) << "stored " << c.stored;
        EXPECT_EQ(ActiveWalkers(scene), c.walkers) << "stored " << c.stored;
        const int32_t newest = std::clamp(c.stored, 0, 50);
        for (int32_t i = 0; i < c.icons; ++i) {
            EXPECT_EQ(scene.icons[i].number, i + 1);
            EXPECT_EQ(scene.icons[i].cleared, i == newest ? 0 : 1) << "icon " << i;
            EXPECT_EQ(scene.icons[i].delay, i);
        }
        for (int32_t i = 0; i < c.walkers; ++i) {
            EXPECT_EQ(scene.walkers[i].kind, i % 3 + 1);
            EXPECT_GE(scene.walkers[i].x, 8.0);
            EXPECT_LT(scene.walkers[i].x, 307.0);
        }
    }
    EXPECT_EQ(TunesLoaded().back(), "avs_");
}

TEST_F(SentakuTest, IconsSitInRingsThenInAGrid) {
    double x[kIconCount], y[kIconCount];
    LayoutLevelIcons(x, y, 1);
    EXPECT_NEAR(x[0], 0.0, 1e-9);
    EXPECT_NEAR(y[0], 60.0 - 84.0, 1e-9) << "the outer ring's top";
    LayoutLevelIcons(x, y, 20);
    EXPECT_NEAR(x[5], 84.0, 1e-9) << "a quarter round the outer ring";
    EXPECT_NEAR(y[5], 60.0, 1e-9);
    EXPECT_NEAR(x[10], 0.0, 1e-9);
    EXPECT_NEAR(y[10], 60.0 + 84.0, 1e-9);
    LayoutLevelIcons(x, y, 21);
    EXPECT_NEAR(x[20], 0.0, 1e-9) << "the middle ring's first icon, alone at its top";
    EXPECT_NEAR(y[20], 60.0 - 54.0, 1e-9);
    LayoutLevelIcons(x, y, 34);
    EXPECT_NEAR(y[32], 60.0 - 24.0, 1e-9) << "the inner ring";
    EXPECT_NEAR(y[33], 60.0 + 24.0, 1e-9);
    // 38 icons: four rows of a grid, the last one left-aligned with 8.
    LayoutLevelIcons(x, y, 38);
    EXPECT_EQ(x[0], -108.0);
    EXPECT_EQ(y[0], 0.0);
    EXPECT_EQ(x[37], 7 * 24 - 108.0);
    EXPECT_EQ(y[37], 72.0);
    // 50 icons: a centred fifth row of 10.
    LayoutLevelIcons(x, y, 50);
    EXPECT_EQ(x[40], -108.0);
    EXPECT_EQ(x[49], 108.0);
    EXPECT_EQ(y[49], 96.0);
    // 45: the fifth row of 5 is centred too.
    LayoutLevelIcons(x, y, 45);
    EXPECT_EQ(x[40] + x[44], 0.0);
}

TEST_F(SentakuTest, IconsFlyInOneAfterAnotherAndAnswerThePointer) {
    g_saveData.slot[0].level = 3;
    SentakuScene scene;
    scene.Start();
    PointAt(0, 239);
    Frame(scene);
    EXPECT_LT(scene.icons[0].y, 272.0) << "the first icon moves at once";
    EXPECT_EQ(scene.icons[1].y, 272.0);
    EXPECT_EQ(scene.icons[1].delay, 0);
    Frame(scene);
    EXPECT_LT(scene.icons[1].y, 272.0);
    EXPECT_EQ(scene.icons[2].y, 272.0);
    Frames(scene, 60);
    // Resting on an icon: the hover sound once, on the third frame there.
    const auto [cx, cy] = IconCentre(scene.icons[0]);
    PointAt(cx, cy);
    Frames(scene, 2);
    EXPECT_EQ(SoundsPlayed(kSoundHover), 0);
    Frame(scene);
    EXPECT_EQ(SoundsPlayed(kSoundHover), 1);
    Frames(scene, 20);
    EXPECT_EQ(SoundsPlayed(kSoundHover), 1);
    EXPECT_EQ(scene.icons[0].hoverCount, 9);
    EXPECT_EQ(scene.icons[0].hoverFrame, 3);
    // The icon is drawn from its hover frame, with the cleared backing and its number.
    ForgetCalls();
    scene.Draw();
    const LevelIcon& first = scene.icons[0];
    const int32_t left = static_cast<int32_t>(first.originX + first.wobbleX + first.x - 12);
    const int32_t top = static_cast<int32_t>(first.originY + first.wobbleY + first.y - 12);
    std::vector<DrawCall> icon;
    for (const DrawCall& d : DrawsOfSlot(kImageSentaku))
        if (d.x >= left && d.x < left + 24 && d.y >= top && d.y < top + 24) icon.push_back(d);
    ASSERT_EQ(icon.size(), 3u);
    EXPECT_EQ(icon[0].sourceX, 48) << "the backing of a cleared level";
    EXPECT_EQ(icon[1].sourceX, 72) << "hover frame 3";
    EXPECT_EQ(icon[2].sourceX, 4) << "the digit 1";
}

TEST_F(SentakuTest, AClickOnAnIconStartsThatLevelAfterTheWipe) {
    g_saveData.slot[0].level = 5;
    WriteLevel(4, kOneSwapLevel);
    SentakuScene scene;
    scene.Start();
    PointAt(0, 239);
    Frames(scene, 10);
    // Icon clicks wait for the opening wipe; the icons move meanwhile.
    auto [cx, cy] = IconCentre(scene.icons[0]);
    ClickAt(scene, cx, cy);
    EXPECT_GT(scene.icons[0].hoverCount, 0) << "the pointer was on the icon";
    EXPECT_EQ(scene.wipe.reveal, 1);
    Frames(scene, 60);
    std::tie(cx, cy) = IconCentre(scene.icons[3]);
    ClickAt(scene, cx, cy);
    EXPECT_EQ(scene.chosenLevel, 4);
    EXPECT_EQ(scene.wipe.reveal, 0);
    Frames(scene, 23);
    EXPECT_EQ(g_sceneManager.next, nullptr);
    Frame(scene);
    auto* puzzle = dynamic_cast<PuzzleScene*>(g_sceneManager.next);
    ASSERT_NE(puzzle, nullptr);
    EXPECT_EQ(puzzle->level, 4);
}

TEST_F(SentakuTest, BackWorksDuringAnyWipeAndLeadsToTheTitle) {
    g_saveData.slot[0].level = 5;
    SentakuScene scene;
    scene.Start();
    ClickButton(scene, scene.back);
    EXPECT_EQ(scene.wipe.reveal, 0) << "back works during the opening wipe";
    EXPECT_EQ(scene.chosenLevel, -1);
    Frames(scene, 60);
    ASSERT_NE(dynamic_cast<TitleScene*>(g_sceneManager.next), nullptr);
    delete g_sceneManager.next;
    g_sceneManager.next = nullptr;
    auto [cx, cy] = IconCentre(scene.icons[2]);
    scene.wipe = WipeState{};  // no wipe: pick a level
    ClickAt(scene, cx, cy);
    ASSERT_EQ(scene.chosenLevel, 3);
    // Back during the closing wipe turns the destination into the title.
    ClickButton(scene, scene.back);
    EXPECT_EQ(scene.chosenLevel, -1);
    Frames(scene, 24);
    EXPECT_NE(dynamic_cast<TitleScene*>(g_sceneManager.next), nullptr);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 3);
}

TEST_F(SentakuTest, TheSlidersTakeThePointerFromTheIconsAndBack) {
    g_saveData.slot[0].level = 0;
    SentakuScene scene;
    scene.Start();
    Frames(scene, 25);
    // Put the icon and the back button under the sliders (230..313, 192..215).
    scene.icons[0].targetX = 260.0 - 160.0;
    scene.icons[0].targetY = 200.0 - 64.0;
    scene.back.x = 250;
    scene.back.y = 196;
    Frames(scene, 80);
    const auto [cx, cy] = IconCentre(scene.icons[0]);
    ASSERT_GE(cx, 230);
    ClickAt(scene, cx, cy);
    EXPECT_GT(scene.icons[0].hoverCount, 0) << "the pointer was on the icon";
    EXPECT_EQ(scene.wipe.reveal, 1) << "neither the icon nor back was clicked";
    EXPECT_EQ(SoundsPlayed(kSoundClick), 0);
}

TEST_F(SentakuTest, WalkersSettleOnTheFloorAndPushEachOtherApart) {
    LevelSelectWalker w;
    w.active = 1;
    w.x = 100.0;
    w.y = 232.0;
    w.jumpTimer = 100000;
    for (int32_t i = 0; i < 600; ++i) UpdateWalker(w);
    EXPECT_NEAR(w.y, 232.5, 0.2) << "where the floor spring balances gravity";
    EXPECT_NEAR(w.x, 100.0, 1e-9);
    // A jump when the timer runs out: an upward force, a new timer.
    w.jumpTimer = 1;
    SeedGameRand(1);
    UpdateWalker(w);
    EXPECT_GE(w.jumpTimer, 180);
    EXPECT_LT(w.vy, 0.0);
    // Two walkers on one spot are pushed apart by the scene's contacts.
    g_saveData.slot[0].level = 2;
    SentakuScene scene;
    scene.Start();
    scene.walkers[0].x = 150.0;
    scene.walkers[1].x = 151.0;
    scene.walkers[0].y = scene.walkers[1].y = 232.5;
    scene.walkers[0].jumpTimer = scene.walkers[1].jumpTimer = 100000;
    Frames(scene, 30);
    EXPECT_GT(scene.walkers[1].x - scene.walkers[0].x, 4.0);
}

}  // namespace
}  // namespace game_test
