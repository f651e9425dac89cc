// Blooming: which stones bloom, in what order, how they push, the animation
// and the clear test.
#include "board_test_util.h"
#include "game/board/game_rand.h"

namespace {

// Plays a swap somewhere harmless so that the bloom search runs.
int32_t Nudge(Board& board, int32_t col, int32_t row) { return Play(board, col, row); }

}  // namespace

TEST(BoardBloom, AStoneTouchingItsFlowerAtLoadWaitsForTheFirstSwap) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## r* R^ .. .. .. .. .. Y^ .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    for (int32_t frame = 0; frame < 100; ++frame) UpdateBoard(board);
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_EQ(RowText(board, 0), "## .. .. .. .. .. .. .. .. .. .. .. .. ##");
    ASSERT_GT(Nudge(board, 8, 1), 0);
    EXPECT_EQ(RowText(board, 0), "## .. r^ .. .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(board.boardState, kBoardIdle);  // the yellow stone is still closed
}

TEST(BoardBloom, UpAndDownFacingStonesNeedRoomAbove) {
    Board board = BoardFromRows({
        "## .. ## .. .. .. .. .. .. .. .. .. .. ##",
        "## .. R^ .. .. 11 .. .. ## .. .. .. .. ##",
        "## .. r* .. r* R^ .. r* Rv .. .. Y^ .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    // Under ground: never. Under a gray stone with room above it: the gray
    // stone rises and lands on the new flower. Down-facing with ground above:
    // it cannot lift itself.
    ASSERT_GT(Nudge(board, 11, 2), 0);
    EXPECT_EQ(RowText(board, 0), "## .. ## .. .. 11 .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 1), "## .. R^ .. .. r^ .. .. ## .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## .. r* .. r* R+ .. r* Rv .. .. .. Y^ ##");
    EXPECT_EQ(CountSound(board, kSoundBloom), 1);
}

TEST(BoardBloom, ADownFacingStoneLiftsItselfAndWhatIsAboveIt) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. B^ .. .. .. .. .. .. .. .. .. ##",
        "## .. b* Bv .. .. .. .. .. .. Y^ .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Nudge(board, 10, 3), 0);
    // The down-facing stone and the stone on it rise one row; the flower takes
    // the stone's old cell, and the upper stone, lifted beside nothing blue,
    // stays closed.
    EXPECT_EQ(RowText(board, 1), "## .. .. B^ .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## .. .. B+ .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 3), "## .. b* bv .. .. .. .. .. .. .. Y^ .. ##");
}

TEST(BoardBloom, SideFacingStonesPushAheadOrRecoil) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. y* .. .. .. .. .. .. r* .. .. .. ##",
        "## ## Y< .. .. B^ 11 .. .. R> 11 ## .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
        "## .. .. .. b* .. .. .. .. .. .. .. .. ##",
        "## .. .. .. B> 11 .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Nudge(board, 5, 2), 0);
    // Yellow faces a ground block: it recoils one cell right and its flower
    // takes its cell. Blue pushes the gray stone ahead of it. Red cannot push
    // (the gray stone is against ground), so it recoils left.
    EXPECT_EQ(RowText(board, 2), "## ## y< Y+ .. 11 B^ .. R+ r> 11 ## .. ##");
    EXPECT_EQ(RowText(board, 5), "## .. .. .. B+ b> 11 .. .. .. .. .. .. ##");
}

TEST(BoardBloom, StonesOfOneRowBloomTogetherAndHigherRowsWait) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. R^ .. .. .. .. .. .. .. .. ##",
        "## .. R^ r* R^ 11 .. .. .. .. B^ .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_EQ(ClickBoard(board, 10, 4), 1);
    // Run to the first bloom: both stones of row 4 open in the same search.
    int32_t frames = 0;
    while (board.boardState != kBoardBlooming && frames < 200) {
        UpdateBoard(board);
        ++frames;
    }
    ASSERT_EQ(board.boardState, kBoardBlooming);
    EXPECT_EQ(CountSound(board, kSoundBloom), 2);
    EXPECT_EQ(board.pieces[PieceAtCell(board, 2, 4)].unbloomed, 0);
    EXPECT_EQ(board.pieces[PieceAtCell(board, 4, 4)].unbloomed, 0);
    EXPECT_EQ(board.pieces[PieceAtCell(board, 4, 3)].unbloomed, 1);
    // The stone above was pushed up by the flower below it (a target only:
    // its picture stays until the pause is over).
    const int32_t upper = PieceAtCell(board, 4, 3);
    EXPECT_EQ(board.pieces[upper].row, 2);
    EXPECT_EQ(board.pieces[upper].y, 3 * 24 + 12);
    ASSERT_GT(SettleFrames(board), 0);
    // Next search: the lifted stone now stands on the new red flower.
    EXPECT_EQ(CountSound(board, kSoundBloom), 3);
    EXPECT_EQ(RowText(board, 1), "## .. .. .. r^ .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## .. .. .. R+ .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 3), "## .. r^ .. r^ .. .. .. .. .. .. .. .. ##");
}

TEST(BoardBloom, VerticalBloomsComeFirstThenTheLeftmostColumn) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. b* B> .. .. r* R^ .. y* Y< .. R< ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_EQ(ClickBoard(board, 11, 4), 1);
    std::vector<int32_t> order;  // colours in the order the stones bloom
    for (int32_t frame = 0; frame < 1000 && board.boardState != kBoardIdle; ++frame) {
        board.events.clear();
        UpdateBoard(board);
        for (const BoardEvent& event : board.events) {
            if (event.kind == kBoardEventBloom) order.push_back(board.pieces[event.piece].colour);
        }
    }
    // Red (up-facing) though it is right of blue; then blue (column 3) before
    // yellow (column 10), each in its own search.
    EXPECT_EQ(order, (std::vector<int32_t>{0, 1, 2}));
    // Yellow recoiled, pushing the red stone that had stepped beside it.
    EXPECT_EQ(RowText(board, 4), "## .. b* B+ b> .. r* R+ .. y* y< Y+ R< ##");
}

TEST(BoardBloom, OnlyAFlowerOfTheStonesOwnColourCounts) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## b* R^ y* 11 r* [] r* ## r* .. Y^ .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Nudge(board, 11, 2), 0);
    EXPECT_EQ(CountSound(board, kSoundBloom), 0);
    EXPECT_EQ(RowText(board, 1), "## .. .. .. .. .. .. .. .. .. .. .. .. ##");
}

TEST(BoardBloom, ThePauseTheAnimationAndTheEvents) {
    SeedGameRand(1);
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. 11 .. .. .. .. .. .. .. .. .. .. ##",
        "## r* R^ .. .. .. .. .. .. .. .. Y^ .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t red = PieceAtCell(board, 2, 2), gray = PieceAtCell(board, 2, 1);
    ASSERT_EQ(ClickBoard(board, 11, 2), 1);
    while (board.boardState != kBoardBlooming) UpdateBoard(board);
    // The bloom: its sound and its flash with four puffs aged by the game's
    // random numbers (seed 1 gives 41, 18467, 6334, 26500).
    const BoardEvent* bloom = nullptr;
    for (const BoardEvent& event : board.events) {
        if (event.kind == kBoardEventBloom) bloom = &event;
    }
    ASSERT_NE(bloom, nullptr);
    EXPECT_EQ(bloom->piece, red);
    EXPECT_EQ(bloom->x, 2 * 24 + 12);
    EXPECT_EQ(bloom->y, 2 * 24 + 12);
    EXPECT_EQ(bloom->puffAge[0], 41);
    EXPECT_EQ(bloom->puffAge[1], 67);
    EXPECT_EQ(bloom->puffAge[2], 34);
    EXPECT_EQ(bloom->puffAge[3], 0);
    EXPECT_EQ(board.pieces[red].bloomTimer, 1);
    board.events.clear();

    // Thirty frames with nothing moving.
    for (int32_t frame = 0; frame < 30; ++frame) {
        UpdateBoard(board);
        EXPECT_EQ(board.pieces[gray].y, 1 * 24 + 12) << frame;
        EXPECT_EQ(board.pieces[red].cells[1].animX, 0) << frame;
    }
    // Then the flower opens (2, 2, 4, 4, 4, 6, 6, 6) while the gray stone
    // slides up 6 pixels a frame.
    const int32_t frames[8] = {2, 2, 4, 4, 4, 6, 6, 6};
    for (int32_t i = 0; i < 8; ++i) {
        UpdateBoard(board);
        EXPECT_EQ(board.pieces[red].cells[0].animX, frames[i]) << i;
        EXPECT_EQ(board.pieces[red].cells[1].animX, frames[i]) << i;
        EXPECT_EQ(board.pieces[gray].y, std::max(1 * 24 + 12 - 6 * (i + 1), 12)) << i;
    }
    EXPECT_EQ(CountSound(board, kSoundFlowerOpen), 1);
    EXPECT_EQ(board.boardState, kBoardBlooming);
    UpdateBoard(board);  // the animation reports its end: settle again
    EXPECT_EQ(board.boardState, kBoardSettling);
    ASSERT_GT(SettleFrames(board), 0);
    EXPECT_EQ(RowText(board, 0), "## .. 11 .. .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 1), "## .. r^ .. .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(board.pieces[gray].row, 0);  // it rests on the new flower
    EXPECT_EQ(board.pieces[red].bloomTimer, 9);
}

TEST(BoardBloom, TheLevelIsClearedOnlyWhenEveryStoneHasBloomed) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## r* .. R^ .. .. .. b* .. B^ .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Play(board, 2, 2), 0);  // red blooms, blue is still closed
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_FALSE(AllStonesBloomed(board));
    ASSERT_GT(Play(board, 8, 2), 0);  // blue steps beside its flower and blooms
    EXPECT_EQ(board.boardState, kBoardCleared);
    EXPECT_TRUE(AllStonesBloomed(board));
    EXPECT_EQ(ClickBoard(board, 3, 2), 0);  // a cleared board takes no swap
}

TEST(BoardBloom, PlacingABloomedStoneAtRestMatchesARealBloom) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. r* .. R> .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const Board start = board;
    const int32_t red = PieceAtCell(board, 4, 2);
    ASSERT_GT(Play(board, 3, 2), 0);  // steps left beside the flower: blooms right
    const Piece& played = board.pieces[red];
    ASSERT_EQ(played.unbloomed, 0);

    Piece placed = start.pieces[red];
    PlacePieceAtRest(placed, played.col, played.row, true);
    EXPECT_EQ(placed.col, played.col);
    EXPECT_EQ(placed.x, played.x);
    EXPECT_EQ(placed.y, played.y);
    EXPECT_EQ(placed.vx, played.vx);
    EXPECT_EQ(placed.vy, played.vy);
    EXPECT_EQ(placed.nudgeX, played.nudgeX);
    EXPECT_EQ(placed.nudgeTimer, played.nudgeTimer);
    EXPECT_EQ(placed.falling, played.falling);
    EXPECT_EQ(placed.unbloomed, played.unbloomed);
    EXPECT_EQ(placed.bloomTimer, played.bloomTimer);
    ASSERT_EQ(placed.cells.size(), played.cells.size());
    for (int32_t k = 0; k < placed.cells.size(); ++k) {
        EXPECT_EQ(placed.cells[k].dx, played.cells[k].dx);
        EXPECT_EQ(placed.cells[k].dy, played.cells[k].dy);
        EXPECT_EQ(placed.cells[k].tileX, played.cells[k].tileX);
        EXPECT_EQ(placed.cells[k].tileY, played.cells[k].tileY);
        EXPECT_EQ(placed.cells[k].animX, played.cells[k].animX);
        EXPECT_EQ(placed.cells[k].isFlower, played.cells[k].isFlower);
        EXPECT_EQ(placed.cells[k].owner, played.cells[k].owner);
        EXPECT_EQ(placed.cells[k].colour, played.cells[k].colour);
    }
}

TEST(GameRand, StartsFromSeedOneWithTheRunTimeSequence) {
    SeedGameRand(1);
    EXPECT_EQ(GameRand(), 41);
    EXPECT_EQ(GameRand(), 18467);
    EXPECT_EQ(GameRand(), 6334);
    EXPECT_EQ(GameRand(), 26500);
    EXPECT_EQ(GameRand(), 19169);
    SeedGameRand(1);
    EXPECT_EQ(GameRand(), 41);
    for (int32_t i = 0; i < 1000; ++i) {
        const int32_t r = GameRand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, kGameRandMax);
    }
}
