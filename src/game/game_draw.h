// Drawing helpers shared by the game's widgets and scenes.
#pragma once

#include <cstdint>

// Draws the rectangle (sourceX, sourceY, width, height) of the image with its
// top-left corner at (x, y), transparent, mirrored left to right when
// mirrored is 1. The part of the rectangle outside the image is cut off (the
// rest lands where it would have); a rectangle wholly outside the image, or an
// image handle that is not valid, draws nothing. 1 when something was drawn.
int DrawImageCell(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                  int32_t image, int32_t mirrored = 0);
// The mouse pointer every scene that reads the mouse draws last before its
// wipe: the 12x12 cell (12 f + 48, 0) of image slot 3, f = (frameCount / 4)
// % 3, its top-left corner at the pointer.
void DrawMousePointer(int32_t frameCount);
