// The game's pictures, one function per sheet. Each returns the finished
// sheet; the palette and the sprites of assets/images must be loaded first.
#pragma once

#include "canvas.h"

namespace art {

// Board pieces, 24x24 tiles (data/hana.png, image slot 0).
Canvas BuildBoardSheet();
// Particles, painted on black for additive drawing (data/effect.png).
Canvas BuildEffectSheet();
// Pointer, cell frames and swap arrows (data/cursor2.png).
Canvas BuildCursorSheet();
// Level-select icons, digits and level arrows (data/sentaku.png).
Canvas BuildSelectSheet();
// Little figures, 12x24 cells (data/hito.png).
Canvas BuildFigureSheet();
// Button and box frames, 36x36 tiles of 12x12 pieces (data/fuki.png).
Canvas BuildFrameSheet();
// Volume slider icons and segments (data/volume.png).
Canvas BuildVolumeSheet();
// The maker's logo (data/morvane.png).
Canvas BuildLogoSheet();
// The program icon (data/icon.png, resource 101).
Canvas BuildIcon();
// Backgrounds 0 to 4 (data/haikei00.png to haikei04.png).
Canvas BuildBackground(int index);

// Helpers shared by the sheet files.
Canvas Turned(const Canvas& square, int turn);  // quarter turns clockwise
void TurnPoint(int size, int turn, double x, double y, double* ox, double* oy);

}  // namespace art
