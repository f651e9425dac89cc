#include "game/board/piece.h"

#include <algorithm>

void GrayStoneSize(int32_t n, int32_t* width, int32_t* height) {
    int32_t a = 1, b = 1;
    if (n > 0) {
        for (int32_t i = 0; i < (n - 1) / 2 + 1; ++i) {
            if (a <= b) {
                a += 1;
                b = 1;
            } else {
                b += 1;
            }
        }
    }
    if (n % 2 == 1) {
        *width = a;
        *height = b;
    } else {
        *width = b;
        *height = a;
    }
}

bool GrayStoneExtent(int32_t code, int32_t* width, int32_t* height) {
    if (code >= 50 && code <= 59) {
        GrayStoneSize(code - 50, width, height);
    } else if (code >= 60 && code <= 69) {
        *width = code - 60;
        *height = 1;
    } else if (code >= 70 && code <= 79) {
        *width = 1;
        *height = code - 70;
    } else if (code >= 80 && code <= 99) {
        *width = 0;
        *height = 0;
    } else {
        return false;
    }
    if (*width == 0 || *height == 0) *width = *height = 0;
    return true;
}

namespace {

// Which slice of the gray-stone tiles a cell takes along one axis.
int32_t GraySlice(int32_t i, int32_t extent) {
    if (extent == 1) return 0;
    if (i == 0) return 1;
    if (i == extent - 1) return 3;
    return 2;
}

void AddGrayCells(Piece& piece, int32_t width, int32_t height) {
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            PieceSubRecord cell;
            cell.dx = i;
            cell.dy = j;
            cell.tileX = 9 + GraySlice(i, width);
            cell.tileY = GraySlice(j, height);
            cell.owner = piece.index;
            piece.cells.push_back(cell);
        }
    }
}

}  // namespace

Piece AddPiece(int32_t code, int32_t col, int32_t row, int32_t index, int32_t backgroundCode) {
    Piece piece;
    piece.kind = code;
    piece.index = index;
    piece.col = col;
    piece.row = row;
    piece.x = col * kCellSize + 12;
    piece.y = row * kCellSize + 12;
    piece.movable = (code >= 50 && code <= 199) ? 1 : 0;

    int32_t width = 0, height = 0;
    if (GrayStoneExtent(code, &width, &height)) {
        AddGrayCells(piece, width, height);
        return piece;
    }

    PieceSubRecord cell;
    cell.owner = index;
    if (code == kCodeGround) {
        piece.isGround = 1;
        cell.tileX = backgroundCode % 8;
        cell.tileY = backgroundCode / 8 + 13;
    } else if (code >= kCodeColouredFirst && code <= kCodeColouredLast) {
        piece.unbloomed = 1;
        piece.colour = (code - 100) / 10;
        piece.direction = code % 10;
        if (piece.direction < 4) {  // other digits have no tile; loaders refuse them
            cell.tileX = kStoneTileX[piece.direction];
            cell.tileY = kStoneTileY[piece.direction] + 4 * piece.colour;
        }
    } else if (code >= kCodeFlowerFirst) {
        piece.isFixedFlower = 1;
        piece.direction = kDirectionUp;
        piece.colour = (code / 10) % 10;
        cell.tileX = 6;
        cell.tileY = 4 * piece.colour + 3;
        cell.isFlower = 1;
    }
    cell.colour = piece.colour;
    piece.cells.push_back(cell);
    return piece;
}

PieceSubRecord MakeBloomCell(const Piece& piece) {
    const int32_t d = piece.direction & 3;
    PieceSubRecord cell;
    cell.dx = DirectionDx(d);
    cell.dy = DirectionDy(d);
    cell.tileX = kStoneTileX[d] + cell.dx;
    cell.tileY = kStoneTileY[d] + 4 * piece.colour + cell.dy;
    cell.owner = piece.index;
    cell.isFlower = 1;
    cell.colour = piece.colour;
    return cell;
}

void GetPieceBounds(const Piece& piece, int32_t* minCol, int32_t* maxCol, int32_t* minRow, int32_t* maxRow) {
    *minCol = *maxCol = piece.col;
    *minRow = *maxRow = piece.row;
    for (const PieceSubRecord& cell : piece.cells) {
        *minCol = std::min(*minCol, piece.col + cell.dx);
        *maxCol = std::max(*maxCol, piece.col + cell.dx);
        *minRow = std::min(*minRow, piece.row + cell.dy);
        *maxRow = std::max(*maxRow, piece.row + cell.dy);
    }
}

void PlacePieceAtRest(Piece& piece, int32_t col, int32_t row, bool bloomed) {
    piece.col = col;
    piece.row = row;
    piece.x = col * kCellSize + 12;
    piece.y = row * kCellSize + 12;
    piece.vx = piece.vy = 0;
    piece.nudgeX = piece.nudgeY = 0;
    piece.nudgeTimer = 0;
    piece.falling = 0;
    if (!bloomed || piece.colour < 0 || piece.isFixedFlower) return;
    if (piece.unbloomed) {
        piece.cells.push_back(MakeBloomCell(piece));
        piece.unbloomed = 0;
    }
    piece.bloomTimer = 9;
    for (PieceSubRecord& cell : piece.cells) cell.animX = 6;
}
