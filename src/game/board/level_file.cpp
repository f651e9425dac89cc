// Level files, the grid and the load-time passes.
#include "game/board/board.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

int32_t ReadInt32LE(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

int Fail(LevelError* error, LevelErrorCode code, int32_t col, int32_t row, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

int Fail(LevelError* error, LevelErrorCode code, int32_t col, int32_t row, const char* format, ...) {
    if (error) {
        error->code = code;
        error->col = col;
        error->row = row;
        va_list args;
        va_start(args, format);
        vsnprintf(error->message, sizeof(error->message), format, args);
        va_end(args);
    }
    return -1;
}

void ClearError(LevelError* error) {
    if (error) *error = LevelError{};
}

bool IsBadColouredCode(int32_t code) {
    return code >= kCodeColouredFirst && code <= kCodeColouredLast && code % 10 > 3;
}

// Turns every fixed flower towards the ground block it grows from and gives
// that block a stem on the flower's side.
void OrientFlowers(Board& board) {
    static constexpr int32_t kOrder[4] = {kDirectionUp, kDirectionDown, kDirectionLeft, kDirectionRight};
    for (int32_t r = 0; r < kBoardRows; ++r) {
        for (int32_t c = 0; c < kBoardColumns; ++c) {
            const int32_t owner = PieceAtCell(board, c, r);
            if (owner < 0 || !board.pieces[owner].isFixedFlower) continue;
            Piece& flower = board.pieces[owner];
            for (int32_t d : kOrder) {
                const int32_t dx = DirectionDx(d), dy = DirectionDy(d);
                const int32_t groundIndex = PieceAtCell(board, c - dx, r - dy);
                if (groundIndex < 0 || !board.pieces[groundIndex].isGround) continue;
                flower.direction = d;
                PieceSubRecord& head = flower.cells[0];
                head.tileX = kStoneTileX[d] + 6 + dx;
                head.tileY = kStoneTileY[d] + 4 * flower.colour + dy;
                head.animX = head.animY = 0;
                board.pieces[groundIndex].cells[0].stem[d] = flower.colour;
                break;
            }
        }
    }
}

void ClearBoard(Board& board) {
    board.pieces.clear();
    RebuildGrid(board);
    board.boardState = kBoardIdle;
    board.bloomWait = 0;
    board.undoAvailable = 0;
    board.events.clear();
}

}  // namespace

int ParseLevelBytes(const uint8_t* bytes, size_t size, LevelData* level, LevelError* error) {
    ClearError(error);
    if (bytes == nullptr || size < static_cast<size_t>(kLevelFileSize)) {
        return Fail(error, kLevelShort, -1, -1,
                    "レベルファイルが短すぎます(%zu バイト、%d バイト必要) in LoadLevelFile", bytes ? size : 0,
                    kLevelFileSize);
    }
    level->headerWord = ReadInt32LE(bytes);
    for (int32_t i = 0; i < kBoardCells; ++i) level->codes[i] = ReadInt32LE(bytes + 4 + 4 * i);
    return 0;
}

int ReadLevelFile(const char* path, LevelData* level, LevelError* error) {
    ClearError(error);
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (file == nullptr) {
        return Fail(error, kLevelUnreadable, -1, -1, "レベルファイル %s を開けませんでした in LoadLevelFile",
                    path ? path : "(null)");
    }
    uint8_t bytes[kLevelFileSize];
    const size_t got = std::fread(bytes, 1, sizeof(bytes), file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        return Fail(error, kLevelUnreadable, -1, -1, "レベルファイル %s を読めませんでした in LoadLevelFile", path);
    }
    return ParseLevelBytes(bytes, got, level, error);
}

int CheckLevelCodes(const LevelData& level, LevelError* error) {
    ClearError(error);
    bool taken[kBoardCells] = {};
    for (int32_t r = 0; r < kBoardRows; ++r) {
        for (int32_t c = 0; c < kBoardColumns; ++c) {
            const int32_t code = level.codes[r * kBoardColumns + c];
            if (code <= 0) continue;
            if (IsBadColouredCode(code)) {
                return Fail(error, kLevelBadCode, c, r,
                            "レベルファイルの (%d, %d) のコード %d は向きが不正です in LoadLevelFile", c, r, code);
            }
            int32_t width = 1, height = 1;
            GrayStoneExtent(code, &width, &height);
            for (int32_t j = 0; j < height; ++j) {
                for (int32_t i = 0; i < width; ++i) {
                    const int32_t cc = c + i, rr = r + j;
                    if (!IsOnBoard(cc, rr)) {
                        return Fail(error, kLevelOutside, c, r,
                                    "レベルファイルの (%d, %d) の石が盤面の外にはみ出しています in LoadLevelFile", c,
                                    r);
                    }
                    if (taken[rr * kBoardColumns + cc]) {
                        return Fail(error, kLevelOverlap, cc, rr,
                                    "レベルファイルの (%d, %d) で駒が重なっています in LoadLevelFile", cc, rr);
                    }
                    taken[rr * kBoardColumns + cc] = true;
                }
            }
        }
    }
    return 0;
}

int LoadLevel(Board& board, const LevelData& level, int32_t backgroundCode, LevelError* error) {
    const LevelData copy = level;  // level may be board.level itself
    ClearBoard(board);
    if (CheckLevelCodes(copy, error) != 0) return -1;
    board.level = copy;
    board.backgroundCode = backgroundCode;
    board.headerWord = copy.headerWord;
    for (int32_t r = 0; r < kBoardRows; ++r) {
        for (int32_t c = 0; c < kBoardColumns; ++c) {
            const int32_t code = copy.codes[r * kBoardColumns + c];
            if (code <= 0) continue;
            const int32_t index = static_cast<int32_t>(board.pieces.size());
            board.pieces.push_back(AddPiece(code, c, r, index, backgroundCode));
        }
    }
    RebuildGrid(board);
    OrientFlowers(board);
    SetGravityFlags(board);
    return 0;
}

int LoadLevelFile(Board& board, const char* path, int32_t backgroundCode, LevelError* error) {
    LevelData level;
    if (ReadLevelFile(path, &level, error) != 0) {
        ClearBoard(board);
        return -1;
    }
    return LoadLevel(board, level, backgroundCode, error);
}

void RestartBoard(Board& board) { LoadLevel(board, board.level, board.backgroundCode, nullptr); }

void RebuildGrid(Board& board) {
    for (GridEntry& entry : board.grid) entry = GridEntry{};
    const int32_t count = static_cast<int32_t>(board.pieces.size());
    for (int32_t i = 0; i < count; ++i) {
        const Piece& piece = board.pieces[i];
        if (piece.falling) continue;
        for (int32_t k = 0; k < piece.cells.size(); ++k) {
            const int32_t c = piece.col + piece.cells[k].dx, r = piece.row + piece.cells[k].dy;
            if (!IsOnBoard(c, r)) continue;
            board.grid[r * kBoardColumns + c] = GridEntry{static_cast<int16_t>(i), static_cast<int16_t>(k)};
        }
    }
}

void SetGravityFlags(Board& board) {
    for (Piece& piece : board.pieces) {
        if (!piece.movable) continue;
        for (const PieceSubRecord& cell : piece.cells) {
            if (GridCell(board, piece.col + cell.dx, piece.row + cell.dy + 1) != nullptr) {
                piece.hasGravity = 1;
                break;
            }
        }
    }
}

const PieceSubRecord* GridCell(const Board& board, int32_t col, int32_t row) {
    if (!IsOnBoard(col, row)) return nullptr;
    const GridEntry entry = board.grid[row * kBoardColumns + col];
    if (entry.piece < 0 || entry.piece >= static_cast<int32_t>(board.pieces.size())) return nullptr;
    return &board.pieces[entry.piece].cells[entry.cell];
}

int32_t PieceAtCell(const Board& board, int32_t col, int32_t row) {
    const PieceSubRecord* cell = GridCell(board, col, row);
    return cell ? board.grid[row * kBoardColumns + col].piece : -1;
}
