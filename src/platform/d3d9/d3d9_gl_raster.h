// The start-up probe of the driver's rasterisation and the mapping from
// Direct3D screen positions to GL's normalised device coordinates
// (d3d9_gl_raster.cpp says why).
#pragma once

#include "platform/d3d9/d3d9_gl.h"

namespace d3d9::gl {

// Draws a square through pixel centres and keeps the convention under which
// the driver takes the pixels Direct3D takes; once, when the functions are
// loaded and the context is made.
void ProbeRaster();
// uToNdc of kScreenToNdc for a target of the given size.
void ScreenToNdc(int targetWidth, int targetHeight, float out[4]);

}  // namespace d3d9::gl
