// Sliding, the nudge and falling, frame by frame.
#include "board_test_util.h"

TEST(BoardMotion, AOneCellSlideTakesFiveFramesThenAFourFrameNudge) {
    Board board = BoardFromRows({
        "## R^ .. .. .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t red = PieceAtCell(board, 1, 0);
    ASSERT_EQ(ClickBoard(board, 1, 0), 1);
    const double start = board.pieces[red].x;
    const double offsets[5] = {0, 3, 9, 18, 24};
    const double speeds[5] = {3, 6, 9, 12, 0};
    for (int32_t frame = 0; frame < 5; ++frame) {
        UpdateBoard(board);
        EXPECT_EQ(board.pieces[red].x - start, offsets[frame]) << "frame " << frame + 1;
        EXPECT_EQ(board.pieces[red].vx, speeds[frame]) << "frame " << frame + 1;
        EXPECT_EQ(board.boardState, kBoardSliding);
        EXPECT_EQ(PieceAtCell(board, 1, 0), red);  // the grid keeps the old place
    }
    // The bump when it arrives: 0, 2, 0, 0 pixels to the right.
    const double nudges[4] = {0, 2, 0, 0};
    for (int32_t frame = 0; frame < 4; ++frame) {
        UpdateBoard(board);
        EXPECT_EQ(board.pieces[red].nudgeX, nudges[frame]) << "nudge frame " << frame + 1;
        EXPECT_EQ(board.pieces[red].nudgeY, 0);
    }
    // The last nudge frame rebuilt the grid and settled at once.
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_EQ(PieceAtCell(board, 2, 0), red);
    EXPECT_EQ(PieceAtCell(board, 1, 0), -1);
}

TEST(BoardMotion, AOneCellFallLandsWithAThudAtSpeedTen) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## R^ .. .. .. .. .. .. .. .. .. .. .. ##",
        "## ## .. ## ## ## ## ## ## ## ## ## ## ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t red = PieceAtCell(board, 1, 1);
    ASSERT_EQ(ClickBoard(board, 1, 1), 1);
    for (int32_t frame = 0; frame < 9; ++frame) UpdateBoard(board);
    // The slide's last frame began the fall.
    ASSERT_EQ(board.boardState, kBoardSettling);
    EXPECT_TRUE(board.pieces[red].falling);
    EXPECT_EQ(PieceAtCell(board, 2, 1), -1);  // falling pieces are not in the grid
    int32_t frames = 0;
    double lastSpeed = 0;
    while (board.boardState == kBoardSettling && frames < 100) {
        lastSpeed = board.pieces[red].vy;
        UpdateBoard(board);
        ++frames;
    }
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(lastSpeed, 10.0);
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_EQ(board.pieces[red].row, 2);
    EXPECT_EQ(board.pieces[red].y, 2 * 24 + 12);
    EXPECT_EQ(board.pieces[red].vy, 0);
    EXPECT_EQ(CountSound(board, kSoundLanding), 1);

    // Stepping along the floor makes no landing sound.
    board.events.clear();
    board = BoardFromRows({
        "## R^ B^ .. .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Play(board, 1, 0), 0);
    EXPECT_EQ(CountSound(board, kSoundLanding), 0);
}

TEST(BoardMotion, StonesThatFloatedAtLoadNeverFall) {
    Board board = BoardFromRows({
        "## .. R^ .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Play(board, 2, 0), 0);
    ASSERT_GT(Play(board, 3, 0), 0);
    EXPECT_EQ(RowText(board, 0), "## .. .. .. R^ .. .. .. .. .. .. .. .. ##");
}

TEST(BoardMotion, AStackComesDownTogetherWhenItsSupportLeaves) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. B^ .. .. .. .. .. .. .. .. ##",
        "## .. .. .. 12 .. .. .. .. .. .. .. .. ##",
        "## .. .. .. :: .. .. .. .. .. .. .. .. ##",
        "## .. .. .. R^ .. .. .. .. .. .. .. .. ##",
        "## .. .. .. Y^ .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    // The yellow stone steps aside: the red stone, the tall gray stone and the
    // blue stone each come down one row, in order, without overlapping.
    ASSERT_GT(Play(board, 4, 5), 0);
    EXPECT_EQ(RowText(board, 1), "## .. .. .. .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## .. .. .. B^ .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 3), "## .. .. .. 12 .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 4), "## .. .. .. :: .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 5), "## .. .. .. R^ Y^ .. .. .. .. .. .. .. ##");
    EXPECT_EQ(CountSound(board, kSoundLanding), 3);
}

TEST(BoardMotion, APieceThatFallsOffTheBoardLetsTheBoardSettle) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## R^ .. B^ .. .. .. .. .. .. .. .. .. ##",
        "## ## .. ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t red = PieceAtCell(board, 1, 8);
    const int32_t frames = Play(board, 1, 8);  // into the hole in the floor
    ASSERT_GT(frames, 0) << "the board never settled";
    EXPECT_GE(board.pieces[red].row, kBoardRows);
    EXPECT_EQ(board.boardState, kBoardIdle);
    // The game goes on: the blue stone can still move, and undo and restart work.
    EXPECT_TRUE(CanSwap(board, 3, 8));
    ASSERT_EQ(UndoSwap(board), 1);
    EXPECT_EQ(PieceAtCell(board, 1, 8), red);
    ASSERT_GT(Play(board, 1, 8), 0);
    RestartBoard(board);
    EXPECT_EQ(RowText(board, 8), "## R^ .. B^ .. .. .. .. .. .. .. .. .. ##");
}

TEST(BoardMotion, APiecePushedOffTheSideFallsAwayInsteadOfStandingOnColumnZero) {
    Board board = BoardFromRows({
        ".. .. .. .. .. .. .. .. .. .. .. .. .. ..",
        ".. r* .. .. .. .. .. .. .. .. .. .. .. ..",
        "11 .. R< .. .. .. .. .. .. .. .. .. .. ..",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t gray = PieceAtCell(board, 0, 2);
    // The red stone steps under the flower and blooms to the left, pushing the
    // gray stone to column -1, where nothing can hold it.
    ASSERT_GT(Play(board, 1, 2), 0);
    EXPECT_EQ(RowText(board, 2), "r< R+ .. .. .. .. .. .. .. .. .. .. .. ..");
    EXPECT_EQ(board.pieces[gray].col, -1);
    EXPECT_GE(board.pieces[gray].row, kBoardRows);
    EXPECT_EQ(board.boardState, kBoardCleared);
}
