// Shape drawing for the sheets: every shape is drawn with hard edges (a
// pixel is inside or not), so nothing blends toward the colour key.
#pragma once

#include "canvas.h"

#include <functional>

namespace art {

// Pixel centres inside the ellipse centred on (cx, cy) with radii rx, ry.
void FillEllipse(Canvas& c, double cx, double cy, double rx, double ry, Color color);
// A rectangle with corners cut to radius r (r 0 gives a plain rectangle).
void FillRoundRect(Canvas& c, int x, int y, int w, int h, int r, Color color);
bool InRoundRect(int px, int py, int x, int y, int w, int h, int r);
// A polygon given as point pairs, filled by pixel centres (even-odd rule).
void FillPolygon(Canvas& c, const std::vector<double>& xy, Color color);
void DrawLine(Canvas& c, int x0, int y0, int x1, int y1, Color color);
// Every key pixel that touches (4-neighbour, or 8 when diagonal) an opaque
// pixel of the rectangle becomes color.
void Outline(Canvas& c, int x, int y, int w, int h, Color color, bool diagonal = false);
// Sets every opaque pixel of the rectangle for which pick returns a colour
// other than kKey; pick gets the local position and the current colour.
void Recolor(Canvas& c, int x, int y, int w, int h, const std::function<Color(int, int, Color)>& pick);
// A round flower of n petals (discs of radius r whose centres lie dist from
// (cx, cy), the first straight up): each pixel belongs to the nearest petal
// that covers it, seams between petals take the ramp's dark tone, and each
// petal is lit on its upper left. rampOf picks each petal's ramp.
void DrawPetals(Canvas& c, double cx, double cy, int n, double dist, double r,
                const std::function<const Ramp&(int)>& rampOf);
// A 2x2 ordered-dither threshold: true on about level/4 of the pixels (0..4).
bool Dither(int x, int y, int level);
// A position hash, 0..255, for speckles that repeat with the tile.
int Hash(int x, int y, int seed);

}  // namespace art
