// The puzzle scene: one level at a time on the board of src/game/board. The
// player moves with a two-cell cursor and a click; the scene adds the
// buttons (back, restart, undo, how-to-play pages, next after a clear), the
// level arrows to neighbouring levels already reached, the highlight frames
// and swap arrows, the clear sequence (progress saved, flash, fireworks,
// message, NEXT), and moves from level to level itself. After levels 20 and
// 50 it hands over to the break scene.
#pragma once

#include <cstdint>
#include <string>

#include "game/board/board.h"
#include "game/button.h"
#include "game/game_main.h"
#include "game/wipe.h"

struct LevelArrow {
    int32_t x = 0, y = 0;
    uint8_t visible = 0;
    uint8_t hover = 0;
    uint8_t pointsRight = 0;
};

// What a closing wipe leads to once it has covered the screen.
enum WipeAction : int32_t {
    kWipeBack = 0,       // the title (no progress in the slot) or the level select
    kWipeNext = 1,       // the next level, or the break scene after 20 and 50
    kWipeRestart = 2,    // the same level again
    kWipePrevLevel = 4,  // level - 1
    kWipeNextLevel = 5,  // level + 1
};

// Styles of DrawCellFrame.
inline constexpr int32_t kFrameCursor = 0;
inline constexpr int32_t kFrameSwappable = 1;
inline constexpr int32_t kFrameBlocked = 2;

class PuzzleScene : public Scene {
public:
    // A level from 1 to 50 (a number outside is limited to it).
    explicit PuzzleScene(int32_t level);
    void Start() override { SetUpLevel(); }
    void Update() override;
    void Draw() override;

    // The buttons, level arrows, how-to-play pages and music of the level,
    // and StartLevel. Called when the scene becomes current and after the
    // scene changed its level.
    void SetUpLevel();
    // (Re)starts the board of the level: background, effects, the level
    // file, the opening wipe, the undo button. A level file that cannot be
    // read ends the game.
    void StartLevel();
    // The dashed frame around the cells minCol..maxCol x minRow..maxRow.
    void DrawCellFrame(int32_t style, int32_t minCol, int32_t maxCol, int32_t minRow, int32_t maxRow);

    Board board;
    int32_t frameCount = 0;  // frames since the level started (the pointer)
    int32_t level = 1;
    int32_t pointerX = 0, pointerY = 0;
    int32_t cursorCol = 0, cursorRow = 0;  // the cursor's left cell
    int32_t lastCursorCol = 0, lastCursorRow = 0;
    int32_t animCount = 0;  // frames since the level started (frames and arrows)
    int32_t minCol[2] = {}, maxCol[2] = {}, minRow[2] = {}, maxRow[2] = {};
    int32_t highlight[2] = {};  // 0 none, 1 swappable, 2 not swappable, -1 hidden
    int32_t arrowFlags = 0;     // bit k: the piece on cursor cell k will move
    int32_t arrowDelay = 0;
    int32_t highlightDelay = 0;
    Button howToBox;
    Button nextPageButton;
    int32_t page = 0;  // the how-to-play page shown
    Button prevPageButton;
    Button restartButton;
    Button backButton;
    Button nextButton;
    Button clearBox;
    Button undoButton;
    LevelArrow prevLevelArrow;
    LevelArrow nextLevelArrow;
    int32_t clearTimer = 0;  // frames in the cleared state
    double flash = 0.0;      // strength of the white flash
    WipeState wipe;
    int32_t wipeAction = kWipeBack;

private:
    void CarryOutWipeAction();
    void StartClosingWipe(int32_t action);
    void RunClearSequence();
    void HandlePageButtons(int32_t& left);
    void UpdateCursor(int32_t left);
    // Plays the board's sounds and adds the particles of its blooms.
    void PlayBoardEvents();
    void ShowHowToPage();
};

// Draws a board piece at its position (with its nudge), cell by cell.
void DrawPiece(const Piece& piece);
void DrawPieceCell(const PieceSubRecord& cell, int32_t px, int32_t py);
// The path of a level file: ExeDirectory, "data", the level in two digits.
std::string LevelFilePath(int32_t level);
