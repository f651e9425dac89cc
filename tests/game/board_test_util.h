// Boards for the rule tests, written as rows of two-character tokens:
//   ..  empty            ##  ground block      []  plain block
//   R< R^ R> Rv  red stone facing left, up, right, down (B blue, Y yellow)
//   r* b* y*     flowers
//   wh           gray stone of w x h cells at its top-left cell ("11", "21",
//                "12", "22", "31", ...), "::" on the other cells it covers
// Rendering uses the same tokens, plus R+ for a bloomed stone's own cell and
// r<, r^, r>, rv for its flower cell.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "game/board/board.h"

inline int32_t TokenCode(const std::string& token) {
    if (token == ".." || token == "::") return 0;
    if (token == "##") return kCodeGround;
    if (token == "[]") return 1;
    const std::string colours = "RBY", flowers = "rby", marks = "<^>v";
    if (colours.find(token[0]) != std::string::npos && marks.find(token[1]) != std::string::npos) {
        return 100 + 10 * static_cast<int32_t>(colours.find(token[0])) + static_cast<int32_t>(marks.find(token[1]));
    }
    if (flowers.find(token[0]) != std::string::npos && token[1] == '*') {
        return 200 + 10 * static_cast<int32_t>(flowers.find(token[0]));
    }
    const int32_t w = token[0] - '0', h = token[1] - '0';
    for (int32_t code = 50; code <= 79; ++code) {
        int32_t cw = 0, ch = 0;
        if (GrayStoneExtent(code, &cw, &ch) && cw == w && ch == h) return code;
    }
    ADD_FAILURE() << "unknown token " << token;
    return 0;
}

// Rows from row 0 down; rows not given are empty.
inline LevelData LevelFromRows(std::initializer_list<const char*> rows) {
    LevelData level;
    int32_t r = 0;
    for (const char* text : rows) {
        std::istringstream in(text);
        std::string token;
        for (int32_t c = 0; c < kBoardColumns && in >> token; ++c)
            level.codes[r * kBoardColumns + c] = TokenCode(token);
        ++r;
    }
    return level;
}

inline Board BoardFromRows(std::initializer_list<const char*> rows) {
    Board board;
    LevelError error;
    EXPECT_EQ(LoadLevel(board, LevelFromRows(rows), 0, &error), 0) << error.code;
    return board;
}

inline std::string CellText(const Board& board, int32_t col, int32_t row) {
    const int32_t index = PieceAtCell(board, col, row);
    if (index < 0) return "..";
    const Piece& piece = board.pieces[index];
    const PieceSubRecord* cell = GridCell(board, col, row);
    const std::string marks = "<^>v";
    if (piece.colour >= 0 && !piece.isFixedFlower) {
        const char letter = "RBY"[piece.colour];
        if (cell->isFlower) return std::string{static_cast<char>(letter - 'A' + 'a'), marks[piece.direction]};
        return std::string{letter, piece.unbloomed ? marks[piece.direction] : '+'};
    }
    if (piece.isFixedFlower) return std::string{"rby"[piece.colour], '*'};
    if (piece.isGround) return "##";
    if (!piece.movable) return "[]";
    if (cell->dx != 0 || cell->dy != 0) return "::";
    int32_t minCol, maxCol, minRow, maxRow;
    GetPieceBounds(piece, &minCol, &maxCol, &minRow, &maxRow);
    return std::string{static_cast<char>('1' + maxCol - minCol), static_cast<char>('1' + maxRow - minRow)};
}

// One row of the board as tokens separated by spaces.
inline std::string RowText(const Board& board, int32_t row) {
    std::string text;
    for (int32_t col = 0; col < kBoardColumns; ++col) {
        if (col) text += ' ';
        text += CellText(board, col, row);
    }
    return text;
}

// Frames until the board is idle or cleared again; -1 when it never is.
inline int32_t SettleFrames(Board& board, int32_t limit = 5000) {
    for (int32_t frame = 1; frame <= limit; ++frame) {
        UpdateBoard(board);
        if (board.boardState == kBoardIdle || board.boardState == kBoardCleared) return frame;
    }
    return -1;
}

// A click on the board and the frames it takes to settle (-1: refused).
inline int32_t Play(Board& board, int32_t col, int32_t row) {
    if (!ClickBoard(board, col, row)) return -1;
    return SettleFrames(board);
}

inline std::vector<int32_t> SoundsOf(const Board& board) {
    std::vector<int32_t> sounds;
    for (const BoardEvent& event : board.events) {
        if (event.kind == kBoardEventSound) sounds.push_back(event.sound);
    }
    return sounds;
}

inline int32_t CountSound(const Board& board, int32_t sound) {
    int32_t count = 0;
    for (int32_t s : SoundsOf(board)) count += s == sound;
    return count;
}
