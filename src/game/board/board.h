// The puzzle board and its rules: level loading, the player's swap, sliding,
// falling, the push test, blooming and the clear test. No drawing, sound or
// input here: the puzzle scene calls these functions once per frame and turns
// the board's events into sounds and particles; the level solver runs the same
// functions frame by frame.
//
// Each frame the puzzle scene calls, in this order:
//   UndoSwap(board)                           when the undo button was clicked;
//   UpdateBoard(board)                        always, once;
//   CanSwap / PieceAtCell                     for the cursor's highlight frames;
//   ClickBoard(board, cursorCol, cursorRow)   when a click reached the board;
// and plays and clears board.events (sounds, bloom particles) as they come.
// A restart is RestartBoard (or LoadLevelFile again) after its wipe.
#pragma once

#include "game/board/piece.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// What the board is doing.
enum BoardState : int32_t {
    kBoardIdle = 0,      // the player may act
    kBoardSliding = 1,   // swapped pieces move to their new columns
    kBoardSettling = 2,  // gravity, then the bloom test
    kBoardBlooming = 3,  // flowers open and pushed pieces slide
    kBoardCleared = 4,   // every coloured stone has bloomed
};

// Sound effects the board asks for (the scene's effect numbers).
inline constexpr int32_t kSoundSwap = 0;
inline constexpr int32_t kSoundBloom = 1;
inline constexpr int32_t kSoundLanding = 2;
inline constexpr int32_t kSoundFlowerOpen = 3;

enum BoardEventKind : int32_t {
    kBoardEventSound = 0,  // play sound effect `sound`
    kBoardEventBloom = 1,  // a stone bloomed at (x, y): the flash and four puffs
};

struct BoardEvent {
    BoardEventKind kind = kBoardEventSound;
    int32_t sound = 0;
    int32_t piece = -1;
    double x = 0, y = 0;
    // Ages of the four puffs, rand() mod 100 each, drawn when the stone bloomed
    // (up-left, down-left, up-right, down-right).
    int32_t puffAge[4] = {0, 0, 0, 0};
};

// The 140 cell codes of a level and its (ignored) header word.
struct LevelData {
    int32_t headerWord = 0;
    int32_t codes[kBoardCells] = {};
};

inline constexpr int32_t kLevelFileSize = 4 + 4 * kBoardCells;  // 564
inline constexpr int32_t kLevelCount = 50;

enum LevelErrorCode : int32_t {
    kLevelOk = 0,
    kLevelUnreadable = 1,  // the file cannot be opened or read
    kLevelShort = 2,       // fewer than 564 bytes
    kLevelBadCode = 3,     // a coloured stone with a direction digit 4 to 9
    kLevelOutside = 4,     // a gray stone reaching past the board's edge
    kLevelOverlap = 5,     // a gray stone covering another piece's cell
};

struct LevelError {
    LevelErrorCode code = kLevelOk;
    int32_t col = -1, row = -1;  // the offending cell, when there is one
    char message[192] = {};      // a log line (Shift-JIS, like the library's)
};

// A cell of the grid: the piece and which of its cells, or piece -1.
struct GridEntry {
    int16_t piece = -1;
    int16_t cell = 0;
};

struct Board {
    std::vector<Piece> pieces;
    std::vector<Piece> undoPieces;  // the board before the last swap
    GridEntry grid[kBoardCells];
    BoardState boardState = kBoardIdle;
    int32_t bloomWait = 0;
    int32_t headerWord = 0;
    uint8_t undoAvailable = 0;
    int32_t moveMemo[kBoardCells] = {};
    std::vector<uint8_t> pushedPieces;  // one entry per piece
    std::vector<int32_t> targetCol, targetRow;
    LevelData level;  // the level as loaded, for a restart
    int32_t backgroundCode = 0;
    std::vector<BoardEvent> events;  // filled by the rules, emptied by the scene
};

// --- Level files and set-up ---------------------------------------------------

// Reads the 564-byte level format from memory; bytes past 564 are ignored.
int ParseLevelBytes(const uint8_t* bytes, size_t size, LevelData* level, LevelError* error);
// Reads a level file; -1 with the reason in error when it is missing or short.
int ReadLevelFile(const char* path, LevelData* level, LevelError* error);
// Checks that every code can be placed: coloured stones face one of the four
// directions, and gray stones lie inside the board without covering any other
// piece's cell. 0 or -1.
int CheckLevelCodes(const LevelData& level, LevelError* error);
// Replaces the board by the level's pieces (ground tiles from backgroundCode)
// and starts it idle with no undo. A level that fails CheckLevelCodes leaves
// the board empty and returns -1, as a missing file does.
int LoadLevel(Board& board, const LevelData& level, int32_t backgroundCode, LevelError* error);
// ReadLevelFile then LoadLevel: the board of a level file, or an empty board
// and -1 (the scene ends the game, as for a missing file, and may log
// error->message).
int LoadLevelFile(Board& board, const char* path, int32_t backgroundCode, LevelError* error);
// Starts the loaded level again (the restart after its wipe).
void RestartBoard(Board& board);

// --- Grid -----------------------------------------------------------------------

void RebuildGrid(Board& board);
void SetGravityFlags(Board& board);
// The cell on (col, row), or null when it is empty or off the board.
const PieceSubRecord* GridCell(const Board& board, int32_t col, int32_t row);
// Index of the piece on (col, row), or -1.
int32_t PieceAtCell(const Board& board, int32_t col, int32_t row);

// --- The player's move ----------------------------------------------------------

// The cursor's left cell for a pointer position in logical pixels.
void PointerToCursorCell(int32_t pointerX, int32_t pointerY, int32_t* col, int32_t* row);
uint8_t CanSwap(Board& board, int32_t col, int32_t row);
// Swaps when CanSwap allows it (undo copy, nudges, sound); the caller then
// sets boardState to sliding. 1 when it swapped.
uint8_t TrySwap(Board& board, int32_t col, int32_t row);
// The click on the board: in the idle state, TrySwap and start sliding.
// 1 when a swap started.
int ClickBoard(Board& board, int32_t col, int32_t row);
// Takes back the last swap when the board is idle and undo is available.
int UndoSwap(Board& board);

// --- One frame ------------------------------------------------------------------

void UpdateBoard(Board& board);
uint8_t UpdatePieceNudge(Piece& piece);

// --- Push test ------------------------------------------------------------------

void ResetMoveCheck(Board& board);
uint8_t CanMovePiece(Board& board, Piece& piece, int32_t direction, uint8_t addSelf);
void SetMoveTargets(Board& board, int32_t direction);

// --- Blooming -------------------------------------------------------------------

uint8_t TryBloom(Board& board);
void BloomPiece(Board& board, Piece& piece);
uint8_t UpdateBloomAnimation(Board& board, Piece& piece);

// True when no piece is left unbloomed.
bool AllStonesBloomed(const Board& board);
