// The start-up probe of the driver's rasterisation, the guard band drawn
// through and the mapping from Direct3D screen positions to GL's normalised
// device coordinates (d3d9_gl_raster.cpp says why).
#pragma once

#include "platform/d3d9/d3d9_gl.h"

#include <cmath>
#include <cstddef>

namespace d3d9::gl {

// Draws a square through pixel centres and keeps the convention under which
// the driver takes the pixels Direct3D takes; once, when the functions are
// loaded and the context is made.
void ProbeRaster();
// How far a draw's positions reach on the Direct3D screen; empty (x0 > x1)
// for none.
struct Reach {
    float x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
};
// The reach of the positions (x and y, the first two floats) of the vertices
// in bytes, stride bytes apart.
Reach ReachOf(const void* vertices, size_t bytes, int stride);
// GL's viewport for a draw into a target of the given size: a guard band
// around the target, taking in the draw's reach where it can, drawn into
// through the scissor (d3d9_gl_raster.cpp says why).
Rect GuardBand(int targetWidth, int targetHeight, const Reach& reach);
// uToNdc of kScreenToNdc for a draw through the viewport band.
void ScreenToNdc(const Rect& band, float out[4]);

}  // namespace d3d9::gl
