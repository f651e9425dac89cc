// The puzzle scene: its set-up per level (how-to-play box, level arrows,
// music), the click handling (swap at the cursor, undo, restart by button and
// by right click, the how-to-play pages, back), the cursor and its frames,
// the clear sequence and what NEXT leads to, and a level file that is
// missing.
#include "scene_test_util.h"

#include "game/bitmap_font.h"
#include "game/effects.h"
#include "game/scenes/break_scene.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/puzzle_tables.h"
#include "game/scenes/sentaku_scene.h"
#include "game/scenes/title_scene.h"

namespace game_test {
namespace {

class PuzzleTest : public SceneTest {
protected:
    // Starts the scene and lets its opening wipe finish, the pointer resting
    // on the sky in the top right corner.
    static void Open(PuzzleScene& scene) {
        scene.Start();
        PointAt(280, 4);
        Frames(scene, 25);
        ASSERT_EQ(scene.wipe.progress, kWipeComplete);
        ASSERT_EQ(scene.board.boardState, kBoardIdle);
    }
    // Frames until the predicate holds; false when it never does within max.
    static bool RunUntil(PuzzleScene& scene, const std::function<bool()>& done, int32_t max = 600) {
        for (int32_t i = 0; i < max; ++i) {
            if (done()) return true;
            Frame(scene);
        }
        return done();
    }
    static bool Settle(PuzzleScene& scene) {
        return RunUntil(scene, [&] {
            return scene.board.boardState == kBoardIdle || scene.board.boardState == kBoardCleared;
        });
    }
    // A click on the board cell pair whose left cell is (col, row).
    static void ClickCell(PuzzleScene& scene, int32_t col, int32_t row) {
        ClickAt(scene, CellPixelX(col), CellPixelY(row));
    }
    static const Piece* StoneOfColour(const PuzzleScene& scene, int32_t colour) {
        for (const Piece& p : scene.board.pieces)
            if (p.kind >= 100 && p.kind < 200 && p.colour == colour) return &p;
        return nullptr;
    }
};

TEST_F(PuzzleTest, LevelOneOpensWithItsHowToPlayBox) {
    WriteLevel(1, kOneSwapLevel);
    PuzzleScene scene(1);
    scene.Start();
    EXPECT_EQ(scene.howToBox.shown, 1);
    EXPECT_STREQ(scene.howToBox.label, "- HOW TO PLAY -\n(CLICK THE @ BUTTON\nON THE RIGHT.)");
    EXPECT_STREQ(scene.nextPageButton.label, "@");
    EXPECT_EQ(scene.prevPageButton.visible, 0);
    EXPECT_STREQ(scene.undoButton.label, "~");
    EXPECT_EQ(scene.prevLevelArrow.visible, 0);
    EXPECT_EQ(scene.nextLevelArrow.visible, 0);
    EXPECT_STREQ(scene.restartButton.label, "RESTART");
    EXPECT_STREQ(scene.backButton.label, "BACK");
    EXPECT_EQ(TunesLoaded(), std::vector<std::string>{"awk"});
    EXPECT_EQ(scene.board.pieces.size(), 23u);
}

TEST_F(PuzzleTest, HowToPlayPagesTurnCloseAndReopen) {
    WriteLevel(1, kOneSwapLevel);
    for (uint8_t english : {1, 0}) {
        UseEnglish = english;
        PuzzleScene scene(1);
        ASSERT_NO_FATAL_FAILURE(Open(scene));
        const int32_t lastPage = english ? 9 : 8;  // the Japanese sequence is a page shorter
        for (int32_t page = 2; page <= lastPage; ++page) {
            ClickButton(scene, scene.nextPageButton);
            EXPECT_EQ(scene.page, page);
            EXPECT_STREQ(scene.howToBox.label, HowToPage(page));
            EXPECT_EQ(scene.prevPageButton.visible, 1);
        }
        EXPECT_STREQ(scene.nextPageButton.label, "-");
        ClickButton(scene, scene.nextPageButton);
        EXPECT_EQ(scene.howToBox.visible, 0);
        EXPECT_EQ(scene.nextPageButton.visible, 0);
        EXPECT_EQ(scene.prevPageButton.visible, 1);
        ClickButton(scene, scene.prevPageButton);
        EXPECT_EQ(scene.page, lastPage);
        EXPECT_EQ(scene.howToBox.visible, 1);
        EXPECT_EQ(scene.nextPageButton.visible, 1);
        // Back to the first page: the previous-page button goes away there.
        for (int32_t page = lastPage - 1; page >= 1; --page) ClickButton(scene, scene.prevPageButton);
        EXPECT_EQ(scene.page, 1);
        EXPECT_EQ(scene.prevPageButton.visible, 0);
        EXPECT_STREQ(scene.nextPageButton.label, "@");
        EXPECT_EQ(scene.board.boardState, kBoardIdle) << "page clicks never reach the board";
        EXPECT_EQ(scene.board.undoAvailable, 0);
    }
}

TEST_F(PuzzleTest, OtherLevelsShowTheirPagesArrowsAndTunes) {
    for (int32_t n : {2, 3, 4, 5, 6, 50}) WriteLevel(n, kOneSwapLevel);
    g_saveData.slot[0].level = 4;
    {
        PuzzleScene six(6);
        six.Start();
        EXPECT_STREQ(six.howToBox.label, HowToPage(16));
        EXPECT_STREQ(six.nextPageButton.label, "-") << "a one-page box";
        EXPECT_EQ(six.nextLevelArrow.visible, 0) << "level 6 is above the slot's level";
        EXPECT_EQ(six.prevLevelArrow.visible, 1);
        EXPECT_STREQ(six.undoButton.label, " ");
    }
    {
        PuzzleScene two(2);
        two.Start();
        EXPECT_EQ(two.howToBox.shown, 0);
        EXPECT_EQ(two.nextLevelArrow.visible, 1);
        EXPECT_EQ(two.nextLevelArrow.x, 308);
        EXPECT_EQ(two.nextLevelArrow.y, 192);
        EXPECT_EQ(two.prevLevelArrow.x, 0);
    }
    g_saveData.slot[0].level = 50;
    PuzzleScene last(50);
    last.Start();
    EXPECT_EQ(last.nextLevelArrow.visible, 0) << "never past the last level";
    // Level 3 to 4 keeps "awk" playing; 4 to 5 switches to "avx".
    ForgetCalls();
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    for (int32_t expectedLevel : {4, 5}) {
        ClickAt(scene, 314, 200);  // the next-level arrow
        EXPECT_EQ(scene.wipe.reveal, 0);
        Frames(scene, 24);
        EXPECT_EQ(scene.level, expectedLevel);
        EXPECT_EQ(scene.wipe.reveal, 1) << "the new level opens with a wipe";
        Frames(scene, 25);
    }
    EXPECT_EQ(TunesLoaded(), (std::vector<std::string>{"awk", "avx"}));
    // The previous-level arrow on level 5 leads to level 4 with its review box.
    ClickAt(scene, 4, 200);
    Frames(scene, 24);
    EXPECT_EQ(scene.level, 4);
    EXPECT_STREQ(scene.howToBox.label, HowToPage(11));
}

TEST_F(PuzzleTest, LevelLabelsAndTablesStayInsideTheirRange) {
    char label[32];
    FormatLevelLabel(7, label, sizeof label);
    EXPECT_STREQ(label, "LEVEL 7");
    FormatLevelLabel(50, label, sizeof label);
    EXPECT_STREQ(label, "LEVEL50(LAST)");
    UseEnglish = 0;
    FormatLevelLabel(50, label, sizeof label);
    EXPECT_STREQ(label, "ﾚﾍﾞﾙ50(ﾗｽﾄ)");
    EXPECT_STREQ(LevelClearMessage(33), "ｽｺﾞｲ...!!");
    EXPECT_STREQ(LevelClearMessage(44), "ｽｹﾞｰｰｰ!!!");
    UseEnglish = 1;
    EXPECT_STREQ(LevelClearMessage(20), "EXCELLEEENT!!!");
    EXPECT_STREQ(LevelClearMessage(21), "EXCELLENT!!");
    EXPECT_STREQ(LevelTuneName(20), "ahv___");
    EXPECT_EQ(LevelBackgroundCode(26), 52);
    // Out of range: limited to the table, or empty.
    EXPECT_STREQ(LevelTuneName(0), "awk");
    EXPECT_STREQ(LevelTuneName(51), "ahv___");
    EXPECT_STREQ(HowToPage(-1), "");
    EXPECT_STREQ(HowToPage(kHowToPages), "");
    EXPECT_STREQ(PuzzleText(5), "");
    EXPECT_EQ(PuzzleScene(0).level, 1);
    EXPECT_EQ(PuzzleScene(99).level, 50);
}

TEST_F(PuzzleTest, TheCursorFollowsThePointerAndItsFramesShowWhatASwapWouldDo) {
    std::vector<std::string> level = kOneSwapLevel;
    level[8] = "## [] R^ .. .. .. .. .. .. .. .. .. .. ##";
    WriteLevel(3, level);
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    PointAt(5, 100);
    Frame(scene);
    EXPECT_EQ(scene.cursorCol, 0) << "(5 - 6) / 24 truncates to 0";
    PointAt(318, 100);
    Frame(scene);
    EXPECT_EQ(scene.cursorCol, 12) << "limited so that both cells lie on the board";
    // The block and the stone cannot trade places: both frames show it.
    PointAt(CellPixelX(1), CellPixelY(8));
    Frame(scene);
    EXPECT_EQ(scene.highlight[0], kFrameBlocked);
    EXPECT_EQ(scene.highlight[1], kFrameBlocked);
    EXPECT_EQ(scene.arrowFlags, 0);
    // The stone can step right: a swappable frame and the right arrow.
    PointAt(CellPixelX(2), CellPixelY(8));
    ForgetCalls();
    Frame(scene);
    EXPECT_EQ(scene.highlight[0], kFrameSwappable);
    EXPECT_EQ(scene.highlight[1], 0);
    EXPECT_EQ(scene.arrowFlags, 1);
    Frame(scene);  // the cursor moved in the frame before: arrows show from now on
    bool arrow = false;
    for (const DrawCall& d : DrawsOfSlot(kImageCursor))
        arrow |= d.x == 2 * 24 + 16 && d.y == 8 * 24 + 6 && d.sourceY == 24 && d.width == 12;
    EXPECT_TRUE(arrow);
}

TEST_F(PuzzleTest, UndoTakesBackOneSwapOnly) {
    WriteLevel(3, kTwoSwapLevel);
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    ClickButton(scene, scene.undoButton);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 0) << "nothing to undo";
    const std::vector<Piece> before = scene.board.pieces;
    ClickCell(scene, 2, 8);
    EXPECT_EQ(SoundsPlayed(0), 1) << "the swap sound";
    EXPECT_STREQ(scene.undoButton.label, "~");
    ASSERT_TRUE(Settle(scene));
    const Piece* red = StoneOfColour(scene, 0);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(red->col, 3);
    EXPECT_EQ(red->unbloomed, 0) << "it bloomed on its flower";
    EXPECT_GT(SoundsPlayed(1), 0) << "the bloom sound";
    ClickButton(scene, scene.undoButton);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 1);
    EXPECT_STREQ(scene.undoButton.label, " ");
    red = StoneOfColour(scene, 0);
    EXPECT_EQ(red->col, 2);
    EXPECT_EQ(red->unbloomed, 1);
    EXPECT_EQ(red->cells.size(), 1);
    ASSERT_EQ(scene.board.pieces.size(), before.size());
    // A second undo needs another swap first.
    ClickButton(scene, scene.undoButton);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 1);
    EXPECT_EQ(StoneOfColour(scene, 0)->col, 2);
}

TEST_F(PuzzleTest, RestartByButtonOrRightClickOnlyWhileIdle) {
    WriteLevel(3, kTwoSwapLevel);
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    ClickCell(scene, 2, 8);
    ASSERT_EQ(scene.board.boardState, kBoardSliding);
    // A right click while the stones move does nothing.
    RightClick(scene);
    EXPECT_EQ(scene.wipe.reveal, 1);
    ASSERT_TRUE(RunUntil(scene, [&] { return scene.board.boardState == kBoardBlooming; }));
    ClickButton(scene, scene.restartButton);
    EXPECT_EQ(scene.wipe.reveal, 1) << "nor does the button while flowers open";
    ASSERT_TRUE(Settle(scene));
    EXPECT_EQ(scene.board.undoAvailable, 1);
    // Idle: a right click anywhere restarts after the closing wipe.
    PointAt(160, 40);
    RightClick(scene);
    EXPECT_EQ(scene.wipe.reveal, 0);
    EXPECT_EQ(scene.wipeAction, kWipeRestart);
    Frames(scene, 23);
    EXPECT_EQ(scene.board.undoAvailable, 1) << "not before the wipe has covered the screen";
    Frame(scene);
    EXPECT_EQ(scene.board.undoAvailable, 0) << "the board starts again";
    EXPECT_EQ(StoneOfColour(scene, 0)->col, 2);
    EXPECT_EQ(scene.wipe.reveal, 1);
    EXPECT_EQ(scene.level, 3);
    // And by the button.
    Frames(scene, 25);
    ClickCell(scene, 2, 8);
    ASSERT_TRUE(Settle(scene));
    ClickButton(scene, scene.restartButton);
    EXPECT_EQ(scene.wipeAction, kWipeRestart);
    Frames(scene, 24);
    EXPECT_EQ(StoneOfColour(scene, 0)->unbloomed, 1);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 2);
    EXPECT_EQ(g_sceneManager.next, nullptr);
}

TEST_F(PuzzleTest, AClearSavesTheProgressCelebratesAndOffersNext) {
    WriteLevel(3, kOneSwapLevel);
    WriteLevel(4, kTwoSwapLevel);
    g_saveData.currentSlot = 1;
    g_saveData.slot[1].level = 2;
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    ClickCell(scene, 2, 8);
    ASSERT_TRUE(Settle(scene));
    ASSERT_EQ(scene.board.boardState, kBoardCleared);
    // clearTimer counts the frames from the one after the clear.
    ASSERT_TRUE(RunUntil(scene, [&] { return scene.clearTimer == 20; }));
    EXPECT_EQ(g_saveData.slot[1].level, 2);
    Frame(scene);
    EXPECT_EQ(g_saveData.slot[1].level, 3);
    EXPECT_EQ(scene.flash, 1.0);
    EXPECT_EQ(scene.restartButton.shown, 0);
    EXPECT_EQ(scene.backButton.shown, 0);
    EXPECT_EQ(scene.undoButton.shown, 0);
    EXPECT_EQ(scene.prevLevelArrow.visible, 0);
    EXPECT_EQ(SoundsPlayed(kSoundLevelCleared), 1);
    EXPECT_GE(g_effects.size(), 36u);
    ASSERT_TRUE(RunUntil(scene, [&] { return scene.clearTimer == 46; }));
    EXPECT_STREQ(scene.clearBox.label, "EXCELLENT!!");
    EXPECT_EQ(scene.clearBox.width, (MeasureText("EXCELLENT!!") / 16 + 5) * 16);
    EXPECT_EQ(scene.clearBox.y, 112);
    EXPECT_EQ(scene.nextButton.shown, 0);
    ASSERT_TRUE(RunUntil(scene, [&] { return scene.clearTimer == 136; }));
    EXPECT_STREQ(scene.nextButton.label, "NEXT");
    // Right clicks do nothing once cleared; NEXT leads to level 4.
    RightClick(scene);
    EXPECT_EQ(scene.wipe.reveal, 1);
    ClickButton(scene, scene.nextButton);
    EXPECT_EQ(scene.wipeAction, kWipeNext);
    Frames(scene, 24);
    EXPECT_EQ(scene.level, 4);
    EXPECT_EQ(scene.board.boardState, kBoardIdle);
    EXPECT_EQ(scene.nextButton.shown, 0);
    EXPECT_EQ(scene.clearBox.shown, 0);
    EXPECT_EQ(scene.restartButton.shown, 1);
    EXPECT_EQ(scene.prevLevelArrow.visible, 1);
    EXPECT_EQ(scene.nextLevelArrow.visible, 0) << "level 4 is not cleared yet";
}

// The clear sequence goes on while the closing wipe runs: BACK right after a
// clear still keeps the progress (the save comes 20 frames after the clear,
// the wipe takes 24).
TEST_F(PuzzleTest, BackRightAfterAClearStillKeepsTheProgress) {
    WriteLevel(3, kOneSwapLevel);
    g_saveData.slot[0].level = 2;
    PuzzleScene scene(3);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    ClickCell(scene, 2, 8);
    ASSERT_TRUE(Settle(scene));
    ASSERT_EQ(scene.clearTimer, 0);
    ClickButton(scene, scene.backButton);
    EXPECT_EQ(scene.wipeAction, kWipeBack);
    Frames(scene, 24);
    ASSERT_NE(g_sceneManager.next, nullptr);
    EXPECT_NE(dynamic_cast<SentakuScene*>(g_sceneManager.next), nullptr) << "the slot has progress";
    EXPECT_EQ(g_saveData.slot[0].level, 3);
}

TEST_F(PuzzleTest, BackLeadsToTheTitleWhenTheSlotHasNoProgress) {
    WriteLevel(1, kOneSwapLevel);
    PuzzleScene scene(1);
    ASSERT_NO_FATAL_FAILURE(Open(scene));
    ClickButton(scene, scene.backButton);
    Frames(scene, 24);
    EXPECT_NE(dynamic_cast<TitleScene*>(g_sceneManager.next), nullptr);
}

TEST_F(PuzzleTest, NextAfterLevelsTwentyAndFiftyLeadsToTheBreakScene) {
    for (int32_t n : {20, 50}) {
        WriteLevel(n, kOneSwapLevel);
        g_saveData.slot[0].level = n - 1;
        PuzzleScene scene(n);
        ASSERT_NO_FATAL_FAILURE(Open(scene));
        ClickCell(scene, 2, 8);
        ASSERT_TRUE(RunUntil(scene, [&] { return scene.nextButton.shown == 1; }, 1000));
        EXPECT_STREQ(scene.clearBox.label, "EXCELLEEENT!!!");
        ClickButton(scene, scene.nextButton);
        Frames(scene, 24);
        auto* breakScene = dynamic_cast<BreakScene*>(g_sceneManager.next);
        ASSERT_NE(breakScene, nullptr);
        EXPECT_EQ(breakScene->level, n);
        EXPECT_EQ(scene.level, n) << "the puzzle stays on its level behind the closed wipe";
        EXPECT_EQ(g_saveData.slot[0].level, n);
        delete g_sceneManager.next;
        g_sceneManager.next = nullptr;
    }
}

TEST_F(PuzzleTest, AMissingOrBrokenLevelFileEndsTheGame) {
    PuzzleScene missing(7);
    missing.Start();
    EXPECT_EQ(g_sceneManager.quit, 1);
    EXPECT_TRUE(missing.board.pieces.empty());
    Frames(missing, 3);  // the frame that still runs is harmless
    g_sceneManager.quit = 0;
    WriteBytes(Native("data/08"), std::vector<uint8_t>(100, 0));  // short
    PuzzleScene shortFile(8);
    shortFile.Start();
    EXPECT_EQ(g_sceneManager.quit, 1);
    EXPECT_TRUE(shortFile.board.pieces.empty());
}

}  // namespace
}  // namespace game_test
