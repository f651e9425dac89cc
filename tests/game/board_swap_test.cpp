// The swap test, the swap, the click and undo.
#include "board_test_util.h"

TEST(BoardSwap, NothingHappensOnOneWideStoneOrTwoEmptyCells) {
    Board board = BoardFromRows({
        "## .. .. 21 :: .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    EXPECT_FALSE(CanSwap(board, 3, 0));  // both cells are the wide stone
    EXPECT_FALSE(CanSwap(board, 7, 0));  // both empty
    EXPECT_EQ(ClickBoard(board, 3, 0), 0);
    EXPECT_TRUE(board.events.empty());  // no sound
    EXPECT_FALSE(board.undoAvailable);
    EXPECT_EQ(board.boardState, kBoardIdle);
}

TEST(BoardSwap, FixedPiecesNeverMove) {
    Board board = BoardFromRows({
        "## R^ .. [] .. b* Y^ .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    EXPECT_FALSE(CanSwap(board, 0, 0));  // ground and stone
    EXPECT_FALSE(CanSwap(board, 2, 0));  // empty and plain block
    EXPECT_FALSE(CanSwap(board, 3, 0));
    EXPECT_FALSE(CanSwap(board, 5, 0));  // flower and stone
    EXPECT_FALSE(CanSwap(board, 0, 1));  // two ground blocks
    EXPECT_TRUE(CanSwap(board, 1, 0));   // stone and empty cell
    EXPECT_TRUE(CanSwap(board, 6, 0));
}

TEST(BoardSwap, StonesStepAndTradePlaces) {
    Board board = BoardFromRows({
        "## R^ B< .. .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ASSERT_GT(Play(board, 1, 0), 0);
    EXPECT_EQ(RowText(board, 0), "## B< R^ .. .. .. .. .. .. .. .. .. .. ##");
    ASSERT_GT(Play(board, 2, 0), 0);
    EXPECT_EQ(RowText(board, 0), "## B< .. R^ .. .. .. .. .. .. .. .. .. ##");
}

TEST(BoardSwap, WideStonesMoveIntoEmptyCellsButNeverTrade) {
    Board board = BoardFromRows({
        "## R^ 21 :: .. .. 21 :: B^ .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    EXPECT_FALSE(CanSwap(board, 1, 0));  // stone on the left of a wide stone
    EXPECT_FALSE(CanSwap(board, 7, 0));  // stone on the right
    ASSERT_TRUE(CanSwap(board, 3, 0));   // right half and an empty cell
    ASSERT_GT(Play(board, 3, 0), 0);
    EXPECT_EQ(RowText(board, 0), "## R^ .. 21 :: .. 21 :: B^ .. .. .. .. ##");
    ASSERT_GT(Play(board, 5, 0), 0);  // empty cell and the left half
    EXPECT_EQ(RowText(board, 0), "## R^ .. 21 :: 21 :: .. B^ .. .. .. .. ##");
}

TEST(BoardSwap, TallPiecesNeedTheirWholePathFree) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## 12 [] 12 12 12 .. .. .. .. .. .. .. ##",
        "## :: .. :: :: :: R^ .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    EXPECT_FALSE(CanSwap(board, 1, 2));  // the block beside its upper cell stops it
    EXPECT_TRUE(CanSwap(board, 3, 1));   // two tall stones of the same rows trade
    EXPECT_TRUE(CanSwap(board, 5, 2));   // tall stone and a stone: the upper path is free
    ASSERT_GT(Play(board, 5, 2), 0);
    EXPECT_EQ(RowText(board, 1), "## 12 [] 12 12 .. 12 .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## :: .. :: :: R^ :: .. .. .. .. .. .. ##");
}

TEST(BoardSwap, ABloomedStoneMovesAsOnePieceOfTwoCells) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. y* .. .. .. .. .. .. ##",
        "## r* R^ .. .. .. Y> B^ ## .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    // The first swap moves the red stone away; the yellow stone, blocked in
    // front, recoils and its flower takes its cell.
    ASSERT_GT(Play(board, 2, 2), 0);
    ASSERT_EQ(RowText(board, 2), "## r* .. R^ .. Y+ y> B^ ## .. .. .. .. ##");
    ASSERT_GT(Play(board, 2, 2), 0);  // back beside the red flower: it blooms
    ASSERT_EQ(RowText(board, 1), "## .. r^ .. .. .. y* .. .. .. .. .. .. ##");
    ASSERT_EQ(RowText(board, 2), "## r* R+ .. .. Y+ y> B^ ## .. .. .. .. ##");
    EXPECT_FALSE(CanSwap(board, 6, 2));  // now two cells wide: it cannot trade
    EXPECT_TRUE(CanSwap(board, 4, 2));   // but it can step into an empty cell
    // Clicking the red flower's cell moves the whole stone.
    ASSERT_TRUE(CanSwap(board, 2, 1));
    ASSERT_GT(Play(board, 2, 1), 0);
    EXPECT_EQ(RowText(board, 1), "## .. .. r^ .. .. y* .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## r* .. R+ .. Y+ y> B^ ## .. .. .. .. ##");
}

TEST(BoardSwap, TheCursorCellsMustLieOnTheBoard) {
    Board board = BoardFromRows({
        "R^ .. .. .. .. .. .. .. .. .. .. .. .. B^",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    EXPECT_FALSE(CanSwap(board, 13, 0));  // would push the blue stone off the right
    EXPECT_FALSE(CanSwap(board, -1, 0));  // or the red one off the left
    EXPECT_FALSE(CanSwap(board, 3, 10));
    EXPECT_TRUE(CanSwap(board, 12, 0));
    EXPECT_TRUE(CanSwap(board, 0, 0));

    int32_t col = -1, row = -1;
    PointerToCursorCell(5, 0, &col, &row);
    EXPECT_EQ(col, 0);  // (5 - 6) / 24 truncates to 0
    PointerToCursorCell(318, 239, &col, &row);
    EXPECT_EQ(col, 12);
    EXPECT_EQ(row, 9);
    PointerToCursorCell(6 + 24 * 4 - 1, 24 * 3, &col, &row);
    EXPECT_EQ(col, 3);
    EXPECT_EQ(row, 3);
    PointerToCursorCell(-50, -50, &col, &row);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(row, 0);
}

TEST(BoardSwap, ASwapKeepsTheBoardForUndoAndNudgesBothPieces) {
    Board board = BoardFromRows({
        "## R^ B< .. .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t red = PieceAtCell(board, 1, 0), blue = PieceAtCell(board, 2, 0);
    ASSERT_TRUE(TrySwap(board, 1, 0));
    EXPECT_EQ(SoundsOf(board), std::vector<int32_t>{kSoundSwap});
    EXPECT_TRUE(board.undoAvailable);
    ASSERT_EQ(board.undoPieces.size(), board.pieces.size());
    EXPECT_EQ(board.undoPieces[red].col, 1);
    EXPECT_EQ(board.pieces[red].col, 2);
    EXPECT_EQ(board.pieces[red].nudgeTimer, 4);
    EXPECT_EQ(board.pieces[red].nudgeDir, kDirectionRight);
    EXPECT_EQ(board.pieces[blue].col, 1);
    EXPECT_EQ(board.pieces[blue].nudgeDir, kDirectionLeft);
    // The grid keeps the old places until the slide is over.
    EXPECT_EQ(PieceAtCell(board, 1, 0), red);
    // TrySwap leaves the state to its caller; ClickBoard starts the slide.
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_EQ(ClickBoard(board, 5, 0), 0);  // empty cells: refused
    EXPECT_EQ(ClickBoard(board, 2, 0), 1);
    EXPECT_EQ(board.boardState, kBoardSliding);
    EXPECT_EQ(ClickBoard(board, 1, 0), 0);  // only while idle
}

TEST(BoardUndo, UndoTakesBackOneSwapIncludingItsBlooms) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. R^ .. .. .. .. .. .. .. .. ##",
        "## .. .. R^ 11 .. .. .. .. .. .. .. .. ##",
        "## r* R^ 11 11 .. Y^ .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    std::vector<std::string> before;
    for (int32_t row = 0; row < 5; ++row) before.push_back(RowText(board, row));
    // Any swap starts the bloom search: three stones bloom one after another.
    ASSERT_GT(Play(board, 6, 4), 0);
    EXPECT_EQ(CountSound(board, kSoundBloom), 3);
    EXPECT_EQ(RowText(board, 1), "## .. .. .. r^ .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 2), "## .. .. r^ R+ .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(RowText(board, 3), "## .. r^ R+ 11 .. .. .. .. .. .. .. .. ##");
    ASSERT_EQ(board.boardState, kBoardIdle);  // the yellow stone is left

    ASSERT_EQ(UndoSwap(board), 1);
    for (int32_t row = 0; row < 5; ++row) EXPECT_EQ(RowText(board, row), before[row]);
    EXPECT_EQ(UndoSwap(board), 0);  // one step only
    EXPECT_EQ(RowText(board, 4), before[4]);

    ASSERT_EQ(ClickBoard(board, 6, 4), 1);
    UpdateBoard(board);
    EXPECT_EQ(UndoSwap(board), 0);  // not while the board moves
    ASSERT_GT(SettleFrames(board), 0);
    EXPECT_EQ(UndoSwap(board), 1);
}
