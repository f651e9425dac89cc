// Level files: the cell-code table, the load-time passes, and files that
// cannot make a board.
#include <cstdio>
#include <string>
#include <vector>

#include "board_test_util.h"
#include "game/board/level_progress.h"

namespace {

std::vector<uint8_t> FileBytes(const LevelData& level) {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](int32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
    };
    put(level.headerWord);
    for (int32_t code : level.codes) put(code);
    return bytes;
}

std::string TempPath(const char* name) { return std::string(TEST_BINARY_DIR) + "/board_level_test_" + name; }

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

const Piece& PieceOn(const Board& board, int32_t col, int32_t row) {
    const int32_t index = PieceAtCell(board, col, row);
    EXPECT_GE(index, 0) << "no piece on " << col << "," << row;
    return board.pieces[index < 0 ? 0 : index];
}

}  // namespace

TEST(BoardLevel, GrayStoneSizesFollowTheEnumeration) {
    const int32_t expected[10][2] = {{1, 1}, {2, 1}, {1, 2}, {2, 2}, {2, 2}, {3, 1}, {1, 3}, {3, 2}, {2, 3}, {3, 3}};
    for (int32_t n = 0; n < 10; ++n) {
        int32_t w = 0, h = 0;
        GrayStoneSize(n, &w, &h);
        EXPECT_EQ(w, expected[n][0]) << "code " << 50 + n;
        EXPECT_EQ(h, expected[n][1]) << "code " << 50 + n;
    }
}

TEST(BoardLevel, EachCodeMakesThePieceOfTheTable) {
    LevelData level;
    auto set = [&level](int32_t col, int32_t row, int32_t code) { level.codes[row * kBoardColumns + col] = code; };
    set(0, 0, 51);  // 2x1 gray
    set(3, 0, 53);  // 2x2 gray
    set(6, 0, 50);  // 1x1 gray
    set(0, 3, 60);  // gray stones without cells
    set(1, 3, 70);
    set(2, 3, 85);
    set(3, 3, 123);  // yellow stone facing down
    set(4, 3, 231);  // flower of colour 3 (units digit ignored)
    set(5, 3, 7);    // plain block
    set(6, 3, 10);   // ground
    set(7, 3, -5);   // empty
    set(8, 3, 320);  // flower of colour 2
    Board board;
    ASSERT_EQ(LoadLevel(board, level, 12, nullptr), 0);
    ASSERT_EQ(board.pieces.size(), 11u);
    for (size_t i = 0; i < board.pieces.size(); ++i) EXPECT_EQ(board.pieces[i].index, static_cast<int32_t>(i));

    const Piece& wide = board.pieces[0];
    ASSERT_EQ(wide.cells.size(), 2);
    EXPECT_EQ(wide.cells[0].tileX, 10);
    EXPECT_EQ(wide.cells[1].tileX, 12);
    EXPECT_EQ(wide.cells[1].dx, 1);
    EXPECT_TRUE(wide.movable);

    const Piece& square = board.pieces[1];
    ASSERT_EQ(square.cells.size(), 4);
    const int32_t tiles[4][2] = {{10, 1}, {12, 1}, {10, 3}, {12, 3}};
    for (int32_t k = 0; k < 4; ++k) {
        EXPECT_EQ(square.cells[k].tileX, tiles[k][0]);
        EXPECT_EQ(square.cells[k].tileY, tiles[k][1]);
        EXPECT_EQ(square.cells[k].owner, 1);
    }
    EXPECT_EQ(board.pieces[2].cells[0].tileX, 9);
    EXPECT_EQ(board.pieces[2].cells[0].tileY, 0);

    for (int32_t i = 3; i <= 5; ++i) {
        EXPECT_TRUE(board.pieces[i].cells.empty()) << "code " << board.pieces[i].kind;
        EXPECT_TRUE(board.pieces[i].movable);
        EXPECT_FALSE(board.pieces[i].hasGravity);
    }

    const Piece& stone = board.pieces[6];
    EXPECT_TRUE(stone.unbloomed);
    EXPECT_EQ(stone.colour, 2);
    EXPECT_EQ(stone.direction, kDirectionDown);
    EXPECT_EQ(stone.cells[0].tileX, 1);
    EXPECT_EQ(stone.cells[0].tileY, 3 + 8);
    EXPECT_EQ(stone.cells[0].colour, 2);
    EXPECT_FALSE(stone.cells[0].isFlower);

    const Piece& flower = board.pieces[7];
    EXPECT_TRUE(flower.isFixedFlower);
    EXPECT_EQ(flower.colour, 3);
    EXPECT_TRUE(flower.cells[0].isFlower);
    EXPECT_FALSE(flower.movable);

    EXPECT_FALSE(board.pieces[8].movable);
    EXPECT_EQ(board.pieces[8].colour, -1);
    EXPECT_EQ(board.pieces[8].cells[0].tileX, 0);

    const Piece& ground = board.pieces[9];
    EXPECT_TRUE(ground.isGround);
    EXPECT_EQ(ground.cells[0].tileX, 12 % 8);
    EXPECT_EQ(ground.cells[0].tileY, 12 / 8 + 13);
    EXPECT_EQ(board.pieces[10].colour, 2);
}

TEST(BoardLevel, FlowersTurnAwayFromTheGroundTheyGrowFrom) {
    Board board = BoardFromRows({
        ".. ## .. .. .. .. .. .. .. .. .. .. .. ..",
        ".. b* .. r* .. ## y* .. r* .. .. .. .. ..",
        ".. .. .. ## .. .. ## .. [] .. .. .. .. ..",
    });
    const Piece& down = PieceOn(board, 1, 1);
    EXPECT_EQ(down.direction, kDirectionDown);
    EXPECT_EQ(down.cells[0].tileX, 7);
    EXPECT_EQ(down.cells[0].tileY, 4 * 1 + 4);
    EXPECT_EQ(PieceOn(board, 1, 0).cells[0].stem[kDirectionDown], 1);

    const Piece& up = PieceOn(board, 3, 1);
    EXPECT_EQ(up.direction, kDirectionUp);
    EXPECT_EQ(up.cells[0].tileX, 6);
    EXPECT_EQ(up.cells[0].tileY, 3);
    EXPECT_EQ(PieceOn(board, 3, 2).cells[0].stem[kDirectionUp], 0);

    // Ground below and to the left: up is tried first, only the ground below
    // gets a stem.
    const Piece& both = PieceOn(board, 6, 1);
    EXPECT_EQ(both.direction, kDirectionUp);
    EXPECT_EQ(PieceOn(board, 6, 2).cells[0].stem[kDirectionUp], 2);
    for (int32_t d = 0; d < 4; ++d) EXPECT_EQ(PieceOn(board, 5, 1).cells[0].stem[d], -1);

    // A plain block is not ground: the flower keeps its default look.
    const Piece& lonely = PieceOn(board, 8, 1);
    EXPECT_EQ(lonely.direction, kDirectionUp);
    EXPECT_EQ(lonely.cells[0].tileX, 6);
    EXPECT_EQ(PieceOn(board, 8, 2).cells[0].stem[kDirectionUp], -1);
}

TEST(BoardLevel, OnlyPiecesThatRestOnSomethingAtLoadGetGravity) {
    Board board = BoardFromRows({
        ".. R^ .. 12 .. .. .. .. .. .. .. .. .. ..",
        ".. .. .. :: .. B^ .. 11 .. .. .. .. .. ..",
        ".. .. .. .. .. b* .. [] .. .. .. .. .. ..",
    });
    EXPECT_FALSE(PieceOn(board, 1, 0).hasGravity);  // floating stone
    EXPECT_TRUE(PieceOn(board, 3, 0).hasGravity);   // its own lower cell counts
    EXPECT_TRUE(PieceOn(board, 5, 1).hasGravity);   // resting on a flower
    EXPECT_TRUE(PieceOn(board, 7, 1).hasGravity);
    EXPECT_FALSE(PieceOn(board, 7, 2).hasGravity);  // blocks never fall
}

TEST(BoardLevelFile, AFileRoundTripsAndItsHeaderIsKept) {
    LevelData level =
        LevelFromRows({"## R^ r* .. .. .. .. .. .. .. .. .. .. ##", "## ## ## ## ## ## ## ## ## ## ## ## ## ##"});
    level.headerWord = 0x12345678;
    std::vector<uint8_t> bytes = FileBytes(level);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kLevelFileSize));
    bytes.push_back(0xff);  // anything past the 564 bytes is ignored
    const std::string path = TempPath("05");
    WriteFile(path, bytes);

    Board board;
    LevelError error;
    ASSERT_EQ(LoadLevelFile(board, path.c_str(), 0, &error), 0) << error.message;
    EXPECT_EQ(board.headerWord, 0x12345678);
    EXPECT_EQ(RowText(board, 0), "## R^ r* .. .. .. .. .. .. .. .. .. .. ##");
    EXPECT_EQ(board.pieces.size(), 18u);
    std::remove(path.c_str());
}

TEST(BoardLevelFile, ShortOrMissingFilesAreRefusedAndLeaveAnEmptyBoard) {
    const LevelData level = LevelFromRows({"## R^ r* .. .. .. .. .. .. .. .. .. .. ##"});
    std::vector<uint8_t> bytes = FileBytes(level);
    LevelData parsed;
    LevelError error;
    EXPECT_EQ(ParseLevelBytes(bytes.data(), bytes.size() - 1, &parsed, &error), -1);
    EXPECT_EQ(error.code, kLevelShort);
    EXPECT_NE(error.message[0], '\0');
    EXPECT_EQ(ParseLevelBytes(nullptr, 0, &parsed, &error), -1);
    EXPECT_EQ(ParseLevelBytes(bytes.data(), 4, &parsed, &error), -1);

    Board board = BoardFromRows({"## R^ r* .. .. .. .. .. .. .. .. .. .. ##"});
    ASSERT_FALSE(board.pieces.empty());
    const std::string path = TempPath("short");
    bytes.resize(100);
    WriteFile(path, bytes);
    EXPECT_EQ(LoadLevelFile(board, path.c_str(), 0, &error), -1);
    EXPECT_EQ(error.code, kLevelShort);
    EXPECT_TRUE(board.pieces.empty());
    EXPECT_EQ(PieceAtCell(board, 1, 0), -1);
    std::remove(path.c_str());

    board = BoardFromRows({"## R^ r* .. .. .. .. .. .. .. .. .. .. ##"});
    EXPECT_EQ(LoadLevelFile(board, TempPath("missing").c_str(), 0, &error), -1);
    EXPECT_EQ(error.code, kLevelUnreadable);
    EXPECT_TRUE(board.pieces.empty());
    EXPECT_EQ(LoadLevelFile(board, nullptr, 0, &error), -1);
}

TEST(BoardLevelFile, CodesThatCannotBePlacedAreRefused) {
    struct Case {
        int32_t col, row, code;
        LevelErrorCode expected;
        int32_t errorCol, errorRow;
    };
    const Case cases[] = {
        {4, 4, 104, kLevelBadCode, 4, 4},   // direction digit 4
        {4, 4, 199, kLevelBadCode, 4, 4},
        {12, 4, 59, kLevelOutside, 12, 4},  // 3x3 past the right edge
        {4, 8, 59, kLevelOutside, 4, 8},    // and past the bottom
        {6, 0, 69, kLevelOutside, 6, 0},    // 9x1 strip
        {0, 2, 79, kLevelOutside, 0, 2},    // 1x9 strip
        {2, 3, 53, kLevelOverlap, 3, 4},    // covers the stone at (3, 4)
        {2, 4, 51, kLevelOverlap, 3, 4},
    };
    for (const Case& c : cases) {
        LevelData level;
        level.codes[4 * kBoardColumns + 3] = 100;  // a red stone at (3, 4)
        if (c.col != 3 || c.row != 4) level.codes[c.row * kBoardColumns + c.col] = c.code;
        Board board = BoardFromRows({"## R^ r* .. .. .. .. .. .. .. .. .. .. ##"});
        LevelError error;
        EXPECT_EQ(LoadLevel(board, level, 0, &error), -1) << "code " << c.code;
        EXPECT_EQ(error.code, c.expected) << "code " << c.code;
        EXPECT_EQ(error.col, c.errorCol) << "code " << c.code;
        EXPECT_EQ(error.row, c.errorRow) << "code " << c.code;
        EXPECT_TRUE(board.pieces.empty());
        EXPECT_EQ(board.boardState, kBoardIdle);
    }
    // Direction digits 0 to 3, a gray stone touching the edges, and codes the
    // table turns into plain blocks are all fine.
    LevelData fine;
    fine.codes[0] = 103;
    fine.codes[11] = 59;
    fine.codes[7 * kBoardColumns + 0] = 79 - 6;  // 1x3 down to the bottom row
    fine.codes[9 * kBoardColumns + 13] = 42;
    LevelError error;
    EXPECT_EQ(CheckLevelCodes(fine, &error), 0) << error.code;
}

TEST(BoardLevel, AnEmptyLevelOffersNoSwap) {
    Board board;
    ASSERT_EQ(LoadLevel(board, LevelData{}, 0, nullptr), 0);
    EXPECT_TRUE(board.pieces.empty());
    for (int32_t row = 0; row < kBoardRows; ++row) {
        for (int32_t col = 0; col < kBoardColumns - 1; ++col) EXPECT_FALSE(CanSwap(board, col, row));
    }
    EXPECT_EQ(ClickBoard(board, 3, 3), 0);
    EXPECT_EQ(board.boardState, kBoardIdle);
}

TEST(BoardLevel, RestartBringsBackTheLoadedBoard) {
    Board board = BoardFromRows({
        "## .. .. .. .. .. .. .. .. .. .. .. .. ##",
        "## R^ .. .. r* .. .. .. .. .. .. .. .. ##",
        "## ## ## ## ## ## ## ## ## ## ## ## ## ##",
    });
    const std::string before = RowText(board, 1);
    ASSERT_GT(Play(board, 1, 1), 0);
    ASSERT_GT(Play(board, 2, 1), 0);
    ASSERT_NE(RowText(board, 1), before);
    RestartBoard(board);
    EXPECT_EQ(RowText(board, 1), before);
    EXPECT_EQ(board.boardState, kBoardIdle);
    EXPECT_FALSE(board.undoAvailable);
    EXPECT_TRUE(PieceOn(board, 1, 1).hasGravity);
}

TEST(LevelProgress, SaveLevelsStayWithinTheLevels) {
    EXPECT_EQ(ClampSaveLevel(-7), 0);
    EXPECT_EQ(ClampSaveLevel(0), 0);
    EXPECT_EQ(ClampSaveLevel(37), 37);
    EXPECT_EQ(ClampSaveLevel(51), 50);
    EXPECT_EQ(ClampSaveLevel(INT32_MAX), 50);
    EXPECT_EQ(RecordClearedLevel(3, 7), 7);
    EXPECT_EQ(RecordClearedLevel(12, 7), 12);
    EXPECT_EQ(RecordClearedLevel(-40, 1), 1);
    EXPECT_EQ(RecordClearedLevel(900, 50), 50);
    EXPECT_TRUE(IsBreakAfterLevel(20));
    EXPECT_TRUE(IsBreakAfterLevel(50));
    EXPECT_FALSE(IsBreakAfterLevel(21));
    EXPECT_FALSE(IsLevelNumber(0));
    EXPECT_TRUE(IsLevelNumber(50));
    EXPECT_FALSE(IsLevelNumber(51));
}
