// The push test: chains, blocked pushes, the memo and the move targets.
#include <algorithm>

#include "board_test_util.h"

namespace {

Piece& PieceOn(Board& board, int32_t col, int32_t row) { return board.pieces[PieceAtCell(board, col, row)]; }

bool Pushed(const Board& board, int32_t index) { return board.pushedPieces[index] != 0; }

}  // namespace

TEST(BoardPush, AStackMovesUpWhenThereIsRoomAboveIt) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. .. .. ## .. .. .. .. .. .. .. .. ##",
        "## R^ .. .. R^ .. .. .. .. .. .. .. .. ##",
        "## B^ .. .. B^ .. .. .. .. .. .. .. .. ##",
        "## Y^ .. .. Y^ .. .. .. .. .. .. .. .. ##",
        "## R^ .. .. R^ .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t bottom = PieceAtCell(board, 1, 5);
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, board.pieces[bottom], kDirectionUp, 0));
    EXPECT_FALSE(Pushed(board, bottom));
    for (int32_t row = 2; row <= 4; ++row) EXPECT_TRUE(Pushed(board, PieceAtCell(board, 1, row))) << row;
    SetMoveTargets(board, kDirectionUp);
    EXPECT_EQ(board.targetRow[PieceAtCell(board, 1, 2)], 1);
    EXPECT_EQ(board.targetCol[PieceAtCell(board, 1, 2)], 1);

    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, board.pieces[bottom], kDirectionUp, 1));
    EXPECT_TRUE(Pushed(board, bottom));

    // The same stack under a ground block cannot move; the bits of the pieces
    // tested stay set, but their memo says no.
    Piece& blocked = PieceOn(board, 4, 5);
    ResetMoveCheck(board);
    EXPECT_FALSE(CanMovePiece(board, blocked, kDirectionUp, 0));
    EXPECT_TRUE(Pushed(board, PieceAtCell(board, 4, 2)));
    EXPECT_EQ(board.moveMemo[2 * kBoardColumns + 4], 0);
    EXPECT_EQ(board.moveMemo[5 * kBoardColumns + 4], 0);
}

TEST(BoardPush, SidewaysChainsThroughWidePiecesAndBlocks) {
    Board board = BoardFromRows({
        "## R> 21 :: B^ .. ## .. .. .. .. .. .. ##",
        "## R> 21 :: B^ ## .. .. .. .. .. .. .. ##",
        "## R> 11 r* .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, PieceOn(board, 1, 0), kDirectionRight, 0));
    EXPECT_TRUE(Pushed(board, PieceAtCell(board, 2, 0)));
    EXPECT_TRUE(Pushed(board, PieceAtCell(board, 4, 0)));
    ResetMoveCheck(board);
    EXPECT_FALSE(CanMovePiece(board, PieceOn(board, 1, 1), kDirectionRight, 0));  // ground at the end
    ResetMoveCheck(board);
    EXPECT_FALSE(CanMovePiece(board, PieceOn(board, 1, 2), kDirectionRight, 0));  // a flower never moves
    ResetMoveCheck(board);
    EXPECT_FALSE(CanMovePiece(board, PieceOn(board, 2, 2), kDirectionLeft, 1));  // stone, then ground
    // A fixed piece itself cannot move, whatever is in front of it.
    ResetMoveCheck(board);
    EXPECT_FALSE(CanMovePiece(board, PieceOn(board, 3, 2), kDirectionUp, 1));
}

TEST(BoardPush, AWidePieceOverTwoStonesIsTestedOnce) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## .. 21 :: .. .. .. .. .. .. .. .. .. ##",
        "## .. R^ B^ .. .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const int32_t wide = PieceAtCell(board, 2, 1);
    ResetMoveCheck(board);
    ASSERT_TRUE(CanMovePiece(board, PieceOn(board, 2, 2), kDirectionUp, 0));
    EXPECT_EQ(board.moveMemo[1 * kBoardColumns + 2], 1);
    EXPECT_EQ(board.moveMemo[1 * kBoardColumns + 3], 1);
    // The second stone finds the wide piece already decided in the memo.
    ASSERT_TRUE(CanMovePiece(board, PieceOn(board, 3, 2), kDirectionUp, 0));
    EXPECT_TRUE(Pushed(board, wide));
}

TEST(BoardPush, CellsOffTheBoardNeitherBlockNorTouchTheMemo) {
    Board board = BoardFromRows({
        "## R^ .. .. .. .. .. .. .. .. .. .. .. ..",
        "## .. .. .. .. .. .. .. .. .. .. .. 21 ::",
        "## .. .. .. .. .. .. .. .. .. .. .. .. ..",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    // A stone in the top row can always be pushed up: above it is off the board.
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, PieceOn(board, 1, 0), kDirectionUp, 1));

    // A wide stone half off the right edge (as a push can leave it): its cell
    // in column 14 must not write the memo of column 0 in the next row.
    Piece& wide = PieceOn(board, 12, 1);
    wide.col = 13;
    wide.x = 13 * 24 + 12;
    RebuildGrid(board);
    ASSERT_EQ(PieceAtCell(board, 13, 1), wide.index);
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, wide, kDirectionUp, 1));
    EXPECT_EQ(board.moveMemo[1 * kBoardColumns + 13], 1);
    EXPECT_EQ(board.moveMemo[2 * kBoardColumns + 0], -1);
    // And it can move further right: nothing off the board blocks.
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, wide, kDirectionRight, 0));
    // The memo around the board is untouched for a piece above the top row too.
    wide.col = 5;
    wide.row = -1;
    ResetMoveCheck(board);
    EXPECT_TRUE(CanMovePiece(board, wide, kDirectionLeft, 1));
    EXPECT_TRUE(std::all_of(std::begin(board.moveMemo), std::end(board.moveMemo), [](int32_t m) { return m == -1; }));
}
