// The puzzle scene's picture, back to front: background, cursor frame,
// pieces, particles, highlight frames and swap arrows, the level label, the
// buttons and level arrows, the clear message, the flash, the pointer, the
// wipe. Board cells are drawn 8 pixels left of 24 x column: the 14 columns
// are 336 pixels wide on the 320-pixel screen.
#include "game/background.h"
#include "game/bitmap_font.h"
#include "game/effects.h"
#include "game/game_draw.h"
#include "game/resources.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/puzzle_tables.h"
#include "game/scenes/scene_common.h"

namespace {

constexpr int32_t kStemTileX = 192;  // column 8 of image slot 0

}  // namespace

void DrawPieceCell(const PieceSubRecord& cell, int32_t px, int32_t py) {
    const int32_t x = px + cell.dx * kCellSize - 20;
    const int32_t y = py + cell.dy * kCellSize - 12;
    const int32_t image = ImageHandle(kImagePieces);
    DrawImageCell(x, y, (cell.tileX + cell.animX) * kCellSize, (cell.tileY + cell.animY) * kCellSize, kCellSize,
                  kCellSize, image);
    for (int32_t d = 0; d < 4; ++d) {
        if (cell.stem[d] >= 0)
            DrawImageCell(x, y, kStemTileX, (d + 4 * cell.stem[d] + 1) * kCellSize, kCellSize, kCellSize, image);
    }
}

void DrawPiece(const Piece& piece) {
    const int32_t px = static_cast<int32_t>(piece.x + piece.nudgeX);
    const int32_t py = static_cast<int32_t>(piece.y + piece.nudgeY);
    for (const PieceSubRecord& cell : piece.cells) DrawPieceCell(cell, px, py);
}

void PuzzleScene::DrawCellFrame(int32_t style, int32_t minC, int32_t maxC, int32_t minR, int32_t maxR) {
    const int32_t a = 2 * minC, b = 2 * maxC + 2, c = 2 * minR, e = 2 * maxR + 2;
    const int32_t phase = style == kFrameCursor ? 0 : (animCount / 2) % 6;
    SetSceneBlend(1, style == kFrameCursor ? 64 : 255);
    const int32_t image = ImageHandle(kImageCursor);
    for (int32_t i = a; i < b; ++i) {
        const int32_t x = 12 * i - 8;
        DrawImageCell(x, 12 * c - 1, 12 * style, 2 * phase, 12, 2, image);
        DrawImageCell(x, 12 * e - 1, 12 * style, 2 * phase, 12, 2, image);
    }
    for (int32_t j = c; j < e; ++j) {
        const int32_t y = 12 * j;
        DrawImageCell(12 * a - 9, y, 12 * style + 2 * phase, 12, 2, 12, image);
        DrawImageCell(12 * b - 9, y, 12 * style + 2 * phase, 12, 2, 12, image);
    }
}

void PuzzleScene::Draw() {
    SetSceneBlend(1, 255);
    if (g_backgrounds.current != nullptr) g_backgrounds.current->Draw();
    const bool idleOrSliding = board.boardState == kBoardIdle || board.boardState == kBoardSliding;
    if (idleOrSliding) DrawCellFrame(kFrameCursor, cursorCol, cursorCol + 1, cursorRow, cursorRow);
    SetSceneBlend(1, 255);
    for (const Piece& piece : board.pieces) DrawPiece(piece);
    DrawEffects();
    SetSceneBlend(1, 255);
    if (idleOrSliding) {
        for (int32_t k = 0; k < 2; ++k) {
            if (highlight[k] > 0) DrawCellFrame(highlight[k], minCol[k], maxCol[k], minRow[k], maxRow[k]);
        }
    }
    if (board.boardState == kBoardIdle && arrowDelay == 0) {
        const int32_t f = (animCount / 3) % 4;
        const int32_t image = ImageHandle(kImageCursor);
        if (arrowFlags & 1) DrawImageCell(cursorCol * 24 + 16, cursorRow * 24 + 6, 12 * f, 24, 12, 12, image);
        if (arrowFlags & 2) DrawImageCell(cursorCol * 24 + 4, cursorRow * 24 + 6, 12 * f, 36, 12, 12, image);
    }
    SetSceneBlend(1, 255);
    char label[32];
    FormatLevelLabel(level, label, sizeof label);
    DrawText(label, 0, 0, 0);
    for (const Button* b : {&howToBox, &nextPageButton, &prevPageButton, &restartButton, &undoButton, &backButton})
        DrawButton(*b);
    for (const LevelArrow* arrow : {&prevLevelArrow, &nextLevelArrow}) {
        if (arrow->visible)
            DrawImageCell(arrow->x, arrow->y, arrow->hover ? 12 : 0, arrow->pointsRight ? 72 : 48, 12, 24,
                          ImageHandle(kImageSentaku));
    }
    DrawButton(clearBox);
    DrawButton(nextButton);
    DrawFlash(flash);  // the pointer is drawn in the flash's additive mode
    DrawMousePointer(frameCount);
    // The wipe is drawn opaque: in the flash's additive mode its black squares
    // would leave the picture unchanged.
    SetSceneBlend(1, 255);
    DrawWipe(wipe);
}
