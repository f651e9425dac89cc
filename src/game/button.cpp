#include "game/button.h"

#include "core/utility.h"
#include "game/bitmap_font.h"
#include "game/game_draw.h"
#include "game/library_calls.h"
#include "game/resources.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int32_t kPiece = 12;
constexpr int32_t kBlendAlpha = 1;

int32_t Truncate(double v) {
    if (!(v > INT32_MIN && v < INT32_MAX)) return 0;
    return static_cast<int32_t>(v);
}

}  // namespace

void SetButtonLabel(Button& button, const char* text) {
    CopyText(button.label, sizeof button.label, text == nullptr ? "" : text);
}

void SetUpClickButton(Button& button, int32_t x, int32_t y, int32_t width, const char* label, uint8_t labelCentred) {
    button = Button{};
    button.shown = 1;
    button.style = 1;
    button.x = x;
    button.y = y;
    button.width = width;
    button.height = 17;
    button.tileX = 36;
    button.tileY = 0;
    SetButtonLabel(button, label);
    button.labelCentred = labelCentred;
    button.hoverLit = 1;
    button.visible = 1;
    button.figure = -1;
}

void HideButton(Button& button) {
    button.shown = 0;
    button.label[0] = '\0';
    button.pressCounter = 0;
}

void TickButton(Button& button) {
    if (button.shown == 0 || button.visible == 0) return;
    if (button.pressCounter > 0) --button.pressCounter;
    if (button.hoverLit == 1) button.hoverOffset = 0;
    if (button.figure >= 0) ++button.figureCounter;
}

uint8_t HitTestButton(Button& button, int32_t pointerX, int32_t pointerY, int32_t leftHeld) {
    if (button.shown == 0 || button.visible == 0) return 0;
    if (button.pressCounter > 0) --button.pressCounter;
    const int64_t px = pointerX, py = pointerY;
    const bool inside = px >= 0 && button.x - 2 <= px && px < int64_t{button.x} + button.width + 2 &&
                        button.y - 2 <= py && py < int64_t{button.y} + button.height + 2;
    if (button.hoverLit == 1) button.hoverOffset = inside ? 36 : 0;
    if (button.figure >= 0) ++button.figureCounter;
    return inside && leftHeld == 0 ? 1 : 0;
}

int32_t ButtonBounce(const Button& button) {
    return Truncate((1.0 - std::cos(button.pressCounter * 0.2)) * 3.0);
}

void DrawButtonFrame(const Button& button, int32_t tileYOffset, int32_t bounce) {
    const int32_t image = ImageHandle(kImageFrames);
    const int32_t sx = button.tileX, sy = button.tileY + tileYOffset;
    const int32_t x0 = button.x, y0 = button.y + bounce;
    const int32_t right = button.x + button.width, bottom = button.y + bounce + button.height;
    const int32_t innerBottom = button.y + button.height;
    DrawImageCell(x0 - kPiece, y0 - kPiece, sx, sy, kPiece, kPiece, image);
    DrawImageCell(right, y0 - kPiece, sx + 24, sy, kPiece, kPiece, image);
    DrawImageCell(x0 - kPiece, bottom, sx, sy + 24, kPiece, kPiece, image);
    DrawImageCell(right, bottom, sx + 24, sy + 24, kPiece, kPiece, image);
    for (int32_t X = button.x; X < right; X += kPiece) {
        const int32_t w = std::min(kPiece, right - X);
        DrawImageCell(X, y0 - kPiece, sx + 12, sy, w, kPiece, image);
        DrawImageCell(X, bottom, sx + 12, sy + 24, w, kPiece, image);
    }
    for (int32_t Y = button.y; Y < innerBottom; Y += kPiece) {
        const int32_t h = std::min(kPiece, innerBottom - Y);
        DrawImageCell(x0 - kPiece, Y + bounce, sx, sy + 12, kPiece, h, image);
        DrawImageCell(right, Y + bounce, sx + 24, sy + 12, kPiece, h, image);
    }
    for (int32_t Y = button.y; Y < innerBottom; Y += kPiece) {
        const int32_t h = std::min(kPiece, innerBottom - Y);
        for (int32_t X = button.x; X < right; X += kPiece)
            DrawImageCell(X, Y + bounce, sx + 12, sy + 12, std::min(kPiece, right - X), h, image);
    }
}

void DrawButton(const Button& button) {
    if (button.shown == 0 || button.visible == 0) return;
    const GameLibraryCalls& calls = GameCalls();
    const int32_t bounce = ButtonBounce(button);
    if (button.style == 0) {
        calls.setBlendMode(kBlendAlpha, 192);
        DrawButtonFrame(button, button.hoverOffset + 36, bounce);
    }
    calls.setBlendMode(kBlendAlpha, 255);
    DrawButtonFrame(button, button.hoverOffset, bounce);
    if (button.labelCentred == 1)
        DrawText(button.label, button.x + button.width / 2, button.y + bounce - 2, 1);
    else
        DrawText(button.label, button.x, button.y + bounce - 2, 0);
    if (button.figure >= 0)
        DrawSpriteFrame(button.figure, button.figureCounter, button.x + button.figureDx,
                        button.y + bounce + button.figureDy, 0);
}

int32_t SpriteFrame(int32_t kind, int32_t counter) {
    switch (kind) {
        case 2:
            return counter / 12 % 4;
        case 3:
            return counter / 10 % 3;
        default:
            return counter / 10 % 4;
    }
}

void DrawSpriteFrame(int32_t kind, int32_t counter, double x, double y, uint8_t mirrored) {
    if (kind < 1 || (int64_t{kind} - 1) * 24 > INT32_MAX) return;  // no such row
    const int32_t frame = std::abs(SpriteFrame(kind, counter));
    DrawImageCell(Truncate(x - 6.0), Truncate(y - 12.0), frame * 12, (kind - 1) * 24, 12, 24,
                  ImageHandle(kImageFigures), mirrored);
}
