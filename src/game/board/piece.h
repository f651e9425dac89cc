// Pieces of the puzzle board: the stones, blocks and flowers made from the
// cell codes of a level file, and the cells they are made of.
#pragma once

#include <cstdint>

inline constexpr int32_t kBoardColumns = 14;
inline constexpr int32_t kBoardRows = 10;
inline constexpr int32_t kBoardCells = kBoardColumns * kBoardRows;
inline constexpr int32_t kCellSize = 24;

// Where a coloured stone's flower grows, or where a flower faces.
enum Direction : int32_t {
    kDirectionLeft = 0,
    kDirectionUp = 1,
    kDirectionRight = 2,
    kDirectionDown = 3,
};

// The step of a direction: (d - 1) rem 2 and (d - 2) rem 2, truncating.
inline int32_t DirectionDx(int32_t d) { return (d - 1) % 2; }
inline int32_t DirectionDy(int32_t d) { return (d - 2) % 2; }
inline bool IsOnBoard(int32_t col, int32_t row) {
    return col >= 0 && col < kBoardColumns && row >= 0 && row < kBoardRows;
}

// Tile column and row of a coloured stone facing d, in image slot 0.
inline constexpr int32_t kStoneTileX[4] = {1, 0, 0, 1};
inline constexpr int32_t kStoneTileY[4] = {1, 4, 2, 3};

// The cell codes of a level file, which a piece keeps as its kind. A code of 0
// or below is an empty cell; 50 to 99 are gray stones (50 to 59 sized by
// GrayStoneSize, 60 to 69 one row, 70 to 79 one column, 80 to 99 without
// cells); 100 to 199 coloured stones (colour in the tens, direction in the
// units); 200 and above flowers; any other positive code a plain block.
enum PieceKind : int32_t {
    kCodeGround = 10,
    kCodeGrayFirst = 50,
    kCodeColouredFirst = 100,
    kCodeColouredLast = 199,
    kCodeFlowerFirst = 200,
};

// One cell of a piece.
struct PieceSubRecord {
    int32_t dx = 0, dy = 0;        // offset from the piece's origin cell
    int32_t tileX = 0, tileY = 0;  // picture of the cell in image slot 0
    int32_t animX = 0, animY = 0;  // tile offset of the bloom animation
    int32_t owner = -1;            // index of the piece that holds the cell
    uint8_t isFlower = 0;
    int32_t stem[4] = {-1, -1, -1, -1};  // stem colour drawn on each side
    int32_t colour = -1;
};

// The cells of one piece, held inline so that copying a piece (the undo copy,
// the solver's boards) copies its cells. A gray stone has at most 9 cells, a
// coloured stone 2 once it has bloomed.
class PieceCells {
public:
    static constexpr int32_t kCapacity = 9;

    int32_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    PieceSubRecord& operator[](int32_t i) { return cells_[i]; }
    const PieceSubRecord& operator[](int32_t i) const { return cells_[i]; }
    PieceSubRecord* begin() { return cells_; }
    PieceSubRecord* end() { return cells_ + count_; }
    const PieceSubRecord* begin() const { return cells_; }
    const PieceSubRecord* end() const { return cells_ + count_; }
    // Appends a cell; false (nothing appended) when the piece is full.
    bool push_back(const PieceSubRecord& cell) {
        if (count_ >= kCapacity) return false;
        cells_[count_++] = cell;
        return true;
    }
    void clear() { count_ = 0; }

private:
    int32_t count_ = 0;
    PieceSubRecord cells_[kCapacity];
};

struct Piece {
    int32_t kind = 0;          // the PieceKind: the level code that made the piece
    int32_t index = 0;         // position in the pieces vector, fixed for the level
    double x = 0, y = 0;       // pixel centre of the origin cell
    double vx = 0, vy = 0;     // pixels per frame
    int32_t col = 0, row = 0;  // origin cell
    double nudgeX = 0, nudgeY = 0;
    int32_t nudgeTimer = 0;
    int32_t nudgeDir = 0;
    uint8_t movable = 0;
    uint8_t hasGravity = 0;
    uint8_t falling = 0;
    uint8_t unbloomed = 0;
    int32_t bloomTimer = 0;
    int32_t colour = -1;
    int32_t direction = 0;
    uint8_t isFixedFlower = 0;
    uint8_t isGround = 0;
    PieceCells cells;
};

// Width and height of the gray stones of codes 50 to 59 (n = code - 50).
void GrayStoneSize(int32_t n, int32_t* width, int32_t* height);

// Width and height of the gray stone of a code from 50 to 99 (0 x 0 for the
// stones without cells); false for any other code.
bool GrayStoneExtent(int32_t code, int32_t* width, int32_t* height);

// A new piece from one cell code at (col, row). backgroundCode picks the tile
// of ground blocks. Codes 0 and below make no piece and must not be passed.
Piece AddPiece(int32_t code, int32_t col, int32_t row, int32_t index, int32_t backgroundCode);

// The flower cell a bloom adds to a coloured stone, in its direction.
PieceSubRecord MakeBloomCell(const Piece& piece);

// Smallest and largest board column and row over the piece's cells, starting
// from its origin cell (a piece without cells gives its origin).
void GetPieceBounds(const Piece& piece, int32_t* minCol, int32_t* maxCol, int32_t* minRow, int32_t* maxRow);

// Puts a piece at rest on (col, row) as a settled board holds it: no motion,
// no nudge, and, when bloomed, with its flower fully open. Used to rebuild a
// settled board from its positions (the level solver).
void PlacePieceAtRest(Piece& piece, int32_t col, int32_t row, bool bloomed);
