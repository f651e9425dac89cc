// The player's swap, sliding, falling, the push test and the board's frame.
#include "game/board/board.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

int32_t Sign(double v) { return (v > 0) - (v < 0); }

double CellCentre(int32_t cell) { return cell * kCellSize + 12.0; }

// Board cell of a pixel coordinate. Rounds down, so that a piece beside or
// above the board maps to an off-board cell rather than onto column or row 0.
int32_t PixelToCell(double pixel) { return static_cast<int32_t>(std::floor(pixel / kCellSize)); }

void PushSound(Board& board, int32_t sound) {
    BoardEvent event;
    event.kind = kBoardEventSound;
    event.sound = sound;
    board.events.push_back(event);
}

int32_t OwnerAt(const Board& board, int32_t col, int32_t row) { return PieceAtCell(board, col, row); }

bool IsOccupied(const Board& board, int32_t col, int32_t row) {
    return board.grid[row * kBoardColumns + col].piece >= 0;
}

// Step 4 of the swap test: A's cells one column to the right, entered in the
// grid where they land so that B's test sees them.
bool LeftSideCanMove(Board& board, int32_t a) {
    if (a < 0) return true;
    const Piece& piece = board.pieces[a];
    if (!piece.movable) return false;
    for (int32_t k = 0; k < piece.cells.size(); ++k) {
        const int32_t c = piece.col + piece.cells[k].dx + 1, r = piece.row + piece.cells[k].dy;
        if (!IsOnBoard(c, r)) continue;
        if (IsOccupied(board, c, r)) return false;
        board.grid[r * kBoardColumns + c] = GridEntry{static_cast<int16_t>(a), static_cast<int16_t>(k)};
    }
    return true;
}

bool RightSideCanMove(const Board& board, int32_t b) {
    if (b < 0) return true;
    const Piece& piece = board.pieces[b];
    if (!piece.movable) return false;
    for (const PieceSubRecord& cell : piece.cells) {
        const int32_t c = piece.col + cell.dx - 1, r = piece.row + cell.dy;
        if (IsOnBoard(c, r) && IsOccupied(board, c, r)) return false;
    }
    return true;
}

// The probe of a falling piece: one row below it at rest, on cells of
// another piece.
bool IsSupported(const Board& board, const Piece& piece) {
    const int32_t c0 = PixelToCell(piece.x), r0 = PixelToCell(piece.y + 13);
    for (const PieceSubRecord& cell : piece.cells) {
        const int32_t c = c0 + cell.dx, r = r0 + cell.dy;
        if (!IsOnBoard(c, r)) continue;
        const GridEntry entry = board.grid[r * kBoardColumns + c];
        if (entry.piece >= 0 && entry.piece != piece.index) return true;
    }
    return false;
}

// True once the piece's top edge has passed the bottom of the board: it has
// fallen off, and nothing below can ever hold it.
bool HasFallenOffBoard(const Piece& piece) {
    int32_t minDy = 0;
    for (const PieceSubRecord& cell : piece.cells) minDy = std::min(minDy, cell.dy);
    return piece.y - 12 + minDy * kCellSize >= kBoardRows * kCellSize;
}

void RestAt(Piece& piece) {
    piece.vy = 0;
    piece.row = PixelToCell(piece.y);
    piece.y = CellCentre(piece.row);
}

void SettleStep(Board& board) {
    bool anyFalling = false;
    for (Piece& piece : board.pieces) {
        piece.falling = 0;
        if (!piece.movable || !piece.hasGravity) continue;
        if (IsSupported(board, piece)) {
            if (piece.vy > 2.0) PushSound(board, kSoundLanding);
            RestAt(piece);
        } else if (HasFallenOffBoard(piece)) {
            RestAt(piece);  // lies below the board for good; the board can settle
        } else {
            piece.vy = std::min(piece.vy + 2.0, 12.0);
            piece.falling = 1;
            anyFalling = true;
        }
    }
    RebuildGrid(board);
    if (anyFalling) return;
    if (TryBloom(board)) {
        board.boardState = kBoardBlooming;
        board.bloomWait = 0;
    } else {
        board.boardState = AllStonesBloomed(board) ? kBoardCleared : kBoardIdle;
    }
}

void SlideStep(Board& board) {
    bool anySliding = false;
    for (Piece& piece : board.pieces) {
        const double target = CellCentre(piece.col);
        if (piece.x == target) continue;
        anySliding = true;
        const double diff = target - piece.x;
        piece.vx += 3 * Sign(diff);
        if (Sign(diff) != Sign(piece.vx)) {
            piece.x = target;
            piece.vx = 0;
        }
    }
    if (anySliding) return;
    bool nudging = false;
    for (Piece& piece : board.pieces) nudging |= UpdatePieceNudge(piece) != 0;
    if (nudging) return;
    RebuildGrid(board);
    board.boardState = kBoardSettling;
    SettleStep(board);
}

// Moves a coordinate towards its target by at most 6 pixels.
double StepTowards(double value, double target) {
    if (std::fabs(target - value) < 6) return target;
    return value + 6 * Sign(target - value);
}

void BloomStep(Board& board) {
    if (board.bloomWait >= 30) {
        bool animating = false, moving = false;
        for (Piece& piece : board.pieces) {
            animating |= UpdateBloomAnimation(board, piece) != 0;
            piece.x = StepTowards(piece.x, CellCentre(piece.col));
            piece.y = StepTowards(piece.y, CellCentre(piece.row));
            if (piece.x != CellCentre(piece.col) || piece.y != CellCentre(piece.row)) moving = true;
        }
        if (!animating && !moving) {
            RebuildGrid(board);
            board.boardState = kBoardSettling;
        }
    }
    board.bloomWait += 1;
}

uint8_t CanMovePieceAt(Board& board, Piece& piece, int32_t d, uint8_t addSelf, int32_t depth) {
    uint8_t result = 1;
    if (addSelf) board.pushedPieces[piece.index] = 1;
    // A chain longer than the board has pieces can only come from pieces that
    // overlap; refuse it rather than recurse without end.
    if (!piece.movable || depth > static_cast<int32_t>(board.pieces.size())) {
        result = 0;
    } else {
        const int32_t dx = DirectionDx(d), dy = DirectionDy(d);
        for (const PieceSubRecord& cell : piece.cells) {
            const int32_t c = piece.col + dx + cell.dx, r = piece.row + dy + cell.dy;
            if (!IsOnBoard(c, r)) continue;
            const int32_t owner = board.grid[r * kBoardColumns + c].piece;
            if (owner < 0 || owner == piece.index) continue;
            const int32_t memo = board.moveMemo[r * kBoardColumns + c];
            if (memo < 0) {
                result &= CanMovePieceAt(board, board.pieces[owner], d, 1, depth + 1);
            } else if (memo == 0) {
                result = 0;
            }
        }
    }
    // Cells off the board have no memo entry.
    for (const PieceSubRecord& cell : piece.cells) {
        const int32_t c = piece.col + cell.dx, r = piece.row + cell.dy;
        if (IsOnBoard(c, r)) board.moveMemo[r * kBoardColumns + c] = result;
    }
    return result;
}

}  // namespace

void PointerToCursorCell(int32_t pointerX, int32_t pointerY, int32_t* col, int32_t* row) {
    *col = std::clamp((pointerX - 6) / kCellSize, 0, kBoardColumns - 2);
    *row = std::clamp(pointerY / kCellSize, 0, kBoardRows - 1);
}

uint8_t CanSwap(Board& board, int32_t col, int32_t row) {
    // The cursor's two cells always lie on the board; any other pair would let
    // a piece step off the board through its edge.
    if (col < 0 || col > kBoardColumns - 2 || row < 0 || row >= kBoardRows) return 0;
    const int32_t a = OwnerAt(board, col, row), b = OwnerAt(board, col + 1, row);
    if (a == b) return 0;
    for (GridEntry& entry : board.grid) {
        if (entry.piece >= 0 && (entry.piece == a || entry.piece == b) && board.pieces[entry.piece].movable) {
            entry = GridEntry{};
        }
    }
    const bool ok = LeftSideCanMove(board, a) && RightSideCanMove(board, b);
    RebuildGrid(board);
    return ok ? 1 : 0;
}

uint8_t TrySwap(Board& board, int32_t col, int32_t row) {
    if (!CanSwap(board, col, row)) return 0;
    PushSound(board, kSoundSwap);
    board.undoPieces = board.pieces;
    board.undoAvailable = 1;
    const int32_t a = OwnerAt(board, col, row), b = OwnerAt(board, col + 1, row);
    if (a >= 0) {
        board.pieces[a].col += 1;
        board.pieces[a].nudgeTimer = 4;
        board.pieces[a].nudgeDir = kDirectionRight;
    }
    if (b >= 0) {
        board.pieces[b].col -= 1;
        board.pieces[b].nudgeTimer = 4;
        board.pieces[b].nudgeDir = kDirectionLeft;
    }
    return 1;
}

int ClickBoard(Board& board, int32_t col, int32_t row) {
    if (board.boardState != kBoardIdle) return 0;
    if (!TrySwap(board, col, row)) return 0;
    board.boardState = kBoardSliding;
    return 1;
}

int UndoSwap(Board& board) {
    if (!board.undoAvailable || board.boardState != kBoardIdle) return 0;
    board.undoAvailable = 0;
    board.pieces = board.undoPieces;
    RebuildGrid(board);
    return 1;
}

uint8_t UpdatePieceNudge(Piece& piece) {
    if (piece.nudgeTimer > 0) {
        piece.vx = piece.vy = 0;
        piece.nudgeTimer -= 1;
    }
    const int32_t t = piece.nudgeTimer;
    const int32_t s = ((t % 4) - 1) % 2;
    piece.nudgeX = DirectionDx(piece.nudgeDir) * s * t;
    piece.nudgeY = DirectionDy(piece.nudgeDir) * s * t;
    return t > 0 ? 1 : 0;
}

void UpdateBoard(Board& board) {
    for (Piece& piece : board.pieces) {
        piece.x += piece.vx;
        piece.y += piece.vy;
    }
    switch (board.boardState) {
        case kBoardIdle:
            for (Piece& piece : board.pieces) UpdatePieceNudge(piece);
            break;
        case kBoardSliding: SlideStep(board); break;
        case kBoardSettling: SettleStep(board); break;
        case kBoardBlooming: BloomStep(board); break;
        case kBoardCleared: break;
    }
}

void ResetMoveCheck(Board& board) {
    board.pushedPieces.assign(board.pieces.size(), 0);
    std::fill(std::begin(board.moveMemo), std::end(board.moveMemo), -1);
}

uint8_t CanMovePiece(Board& board, Piece& piece, int32_t direction, uint8_t addSelf) {
    if (board.pushedPieces.size() != board.pieces.size()) board.pushedPieces.resize(board.pieces.size());
    return CanMovePieceAt(board, piece, direction, addSelf, 0);
}

void SetMoveTargets(Board& board, int32_t direction) {
    const size_t count = std::min(board.pushedPieces.size(), board.pieces.size());
    board.targetCol.resize(board.pieces.size());
    board.targetRow.resize(board.pieces.size());
    for (size_t i = 0; i < count; ++i) {
        if (!board.pushedPieces[i]) continue;
        board.targetCol[i] = board.pieces[i].col + DirectionDx(direction);
        board.targetRow[i] = board.pieces[i].row + DirectionDy(direction);
    }
}
