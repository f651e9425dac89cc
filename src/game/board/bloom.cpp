// Blooming: the bloom search, the bloom itself and its animation.
#include "game/board/board.h"
#include "game/board/game_rand.h"

namespace {

enum class BloomPass { kVertical, kHorizontal };

bool IsMatchingFlower(const PieceSubRecord* neighbour, const PieceSubRecord& stone) {
    return neighbour != nullptr && neighbour->isFlower && neighbour->colour == stone.colour;
}

// Tries to bloom piece p as one pass allows; true when it bloomed.
bool BloomIfRoom(Board& board, Piece& p, BloomPass pass) {
    if (pass == BloomPass::kVertical) {
        if (p.direction != kDirectionUp && p.direction != kDirectionDown) return false;
        // An up-facing stone pushes what is above its flower; a down-facing one
        // lifts itself and everything above it.
        ResetMoveCheck(board);
        if (!CanMovePiece(board, p, kDirectionUp, p.direction == kDirectionDown ? 1 : 0)) return false;
        BloomPiece(board, p);
        SetMoveTargets(board, kDirectionUp);
        return true;
    }
    if (p.direction != kDirectionLeft && p.direction != kDirectionRight) return false;
    ResetMoveCheck(board);
    if (CanMovePiece(board, p, p.direction, 0)) {
        BloomPiece(board, p);
        SetMoveTargets(board, p.direction);
        return true;
    }
    // Blocked in front: the stone recoils, pushing what is behind it.
    const int32_t back = 2 - p.direction;
    ResetMoveCheck(board);
    if (CanMovePiece(board, p, back, 1)) {
        BloomPiece(board, p);
        SetMoveTargets(board, back);
        return true;
    }
    return false;
}

// The tests of one grid cell: a coloured stone's own cell touching flowers of
// its colour (left, up, right, down).
bool TryBloomCell(Board& board, int32_t col, int32_t row, BloomPass pass) {
    const PieceSubRecord* stone = GridCell(board, col, row);
    if (stone == nullptr || stone->colour < 0 || stone->isFlower) return false;
    const int32_t owner = PieceAtCell(board, col, row);
    static constexpr int32_t kSteps[4][2] = {{-1, 0}, {0, -1}, {1, 0}, {0, 1}};
    bool bloomed = false;
    for (const auto& step : kSteps) {
        const PieceSubRecord* neighbour = GridCell(board, col + step[0], row + step[1]);
        if (!IsMatchingFlower(neighbour, *stone)) continue;
        Piece& p = board.pieces[owner];
        if (p.unbloomed && BloomIfRoom(board, p, pass)) bloomed = true;
    }
    return bloomed;
}

}  // namespace

uint8_t TryBloom(Board& board) {
    const size_t count = board.pieces.size();
    board.targetCol.resize(count);
    board.targetRow.resize(count);
    for (size_t i = 0; i < count; ++i) {
        board.targetCol[i] = board.pieces[i].col;
        board.targetRow[i] = board.pieces[i].row;
    }
    // Lowest row first; all blooms of that row happen together.
    bool bloomed = false;
    for (int32_t r = kBoardRows - 1; r >= 0 && !bloomed; --r) {
        for (int32_t c = 0; c < kBoardColumns; ++c) bloomed |= TryBloomCell(board, c, r, BloomPass::kVertical);
    }
    // Only when nothing bloomed vertically: leftmost column first.
    for (int32_t c = 0; c < kBoardColumns && !bloomed; ++c) {
        for (int32_t r = kBoardRows - 1; r >= 0; --r) bloomed |= TryBloomCell(board, c, r, BloomPass::kHorizontal);
    }
    for (size_t i = 0; i < count; ++i) {
        board.pieces[i].col = board.targetCol[i];
        board.pieces[i].row = board.targetRow[i];
    }
    return bloomed ? 1 : 0;
}

void BloomPiece(Board& board, Piece& piece) {
    piece.cells.push_back(MakeBloomCell(piece));
    BoardEvent sound;
    sound.kind = kBoardEventSound;
    sound.sound = kSoundBloom;
    board.events.push_back(sound);
    BoardEvent bloom;
    bloom.kind = kBoardEventBloom;
    bloom.piece = piece.index;
    bloom.x = piece.x;
    bloom.y = piece.y;
    for (int32_t& age : bloom.puffAge) age = GameRand() % 100;
    board.events.push_back(bloom);
    piece.unbloomed = 0;
    piece.bloomTimer = 1;
}

uint8_t UpdateBloomAnimation(Board& board, Piece& piece) {
    if (piece.bloomTimer <= 0) return 0;
    piece.bloomTimer += 1;
    if (piece.bloomTimer == 2) {
        BoardEvent sound;
        sound.kind = kBoardEventSound;
        sound.sound = kSoundFlowerOpen;
        board.events.push_back(sound);
    }
    uint8_t running = 1;
    if (piece.bloomTimer > 9) {
        piece.bloomTimer = 9;
        running = 0;
    }
    for (PieceSubRecord& cell : piece.cells) cell.animX = ((piece.bloomTimer + 2) / 3) * 2;
    return running;
}

bool AllStonesBloomed(const Board& board) {
    for (const Piece& piece : board.pieces) {
        if (piece.unbloomed) return false;
    }
    return true;
}
