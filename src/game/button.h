// Buttons: framed, labelled rectangles that the scenes own and fill, with a
// hit test that turns the first frame of a left press inside into a click, a
// small bounce after a click, and an optional animated figure. The frame is
// built from 12x12 pieces of a 36x36 tile of image slot 49 ("data\fuki.png")
// and reaches 12 pixels beyond the button's rectangle on every side.
#pragma once

#include <cstdint>

struct Button {
    uint8_t shown = 0;      // 0: neither hit nor drawn
    int32_t style = 0;      // 0 adds a translucent second frame (tile 36 lower) under the button
    int32_t x = 0, y = 0, width = 0, height = 0;  // the inner rectangle
    int32_t tileX = 0, tileY = 0;                 // the 36x36 frame tile in image slot 49
    int32_t unused = 0;
    int32_t hoverOffset = 0;   // added to tileY: 36 while hovered when hoverLit is set
    int32_t pressCounter = 0;  // bounce counter, set by the owner on a click, counted down by the hit test
    char label[256] = {};
    uint8_t labelCentred = 0;
    uint8_t hoverLit = 0;
    uint8_t visible = 0;    // 0: neither hit nor drawn
    int32_t figure = -1;    // figure kind drawn on the button, -1 for none
    double figureDx = 0.0, figureDy = 0.0;  // the figure's centre relative to (x, y + bounce)
    int32_t figureCounter = 0;
};

// Copies the text into the button's label (cut to fit, never inside a
// double-byte character).
void SetButtonLabel(Button& button, const char* text);
// Makes the button a new clickable one, 17 pixels high with its inner
// rectangle at (x, y): shown and visible, style 1, the frame tile at (36, 0),
// lit while hovered, the label (centred on the width unless labelCentred is
// 0), no figure.
void SetUpClickButton(Button& button, int32_t x, int32_t y, int32_t width, const char* label,
                      uint8_t labelCentred = 1);
// Hides the button: shown 0, an empty label, no bounce.
void HideButton(Button& button);
// Once per frame with the pointer and the left button's held counter: counts
// the bounce down, sets the hover tile, advances the figure; 1 when this frame
// is a click (a press starting within 2 pixels of the rectangle).
uint8_t HitTestButton(Button& button, int32_t pointerX, int32_t pointerY, int32_t leftHeld);
// The hit test's bookkeeping without the pointer (bounce, hover tile off,
// figure), for buttons used as labels.
void TickButton(Button& button);
// The pixels the button is drawn lower by: trunc((1 - cos(pressCounter x 0.2)) x 3).
int32_t ButtonBounce(const Button& button);
// Frame(s), label and figure; leaves the blend mode at alpha 255.
void DrawButton(const Button& button);
// One pass of the frame, the tile moved down by tileYOffset, the whole frame by bounce.
void DrawButtonFrame(const Button& button, int32_t tileYOffset, int32_t bounce);
// A 12x24 figure of image slot 5 (row kind - 1, four frames) centred on (x, y).
// Kinds below 1 have no row and draw nothing.
void DrawSpriteFrame(int32_t kind, int32_t counter, double x, double y, uint8_t mirrored);
// The animation frame DrawSpriteFrame shows.
int32_t SpriteFrame(int32_t kind, int32_t counter);
