// The software renderer's pixel routines over MEMIMG images. They read the
// draw area, blend mode, parameter and brightness from g_drawState at the
// start of each call, and never touch pixels outside the draw area or outside
// the destination image.
#pragma once

#include "platform/wintypes.h"
#include "softrender/memimg.h"

#include <cstdint>

// One line of a line list: six 32-bit words; the blend parameter at the time
// the record was built is kept but not used (the line reads g_drawState).
struct MemImgLineRecord {
    int32_t x1;
    int32_t y1;
    int32_t x2;
    int32_t y2;
    int32_t color;
    int32_t blendParameter;
};

// A triangle corner: destination pixel (x, y) and source pixel (u, v).
struct TriangleVertex {
    int32_t x;
    int32_t y;
    int32_t u;
    int32_t v;
};

// Stores the raw value (1, 2 or 4 bytes per pixel) into every pixel of the
// rectangle (null: the whole image; reversed edges are swapped), clipped to
// the image, without blending and whatever the draw state.
void ClearMemImg(MEMIMG* image, const RECT* rect, uint32_t value);

// Fills the rectangle (null: the whole image; right and bottom exclusive,
// reversed edges swapped) with the colour under the blend mode, parameter and
// brightness. Palette and alpha destinations, and colour types 2 and 3, are
// not drawn. A 16-bit colour uses its low 16 bits.
void FillMemImgRect(MEMIMG* dest, const RECT* rect, uint32_t color);

// A one-pixel line from (x1, y1) up to, not including, (x2, y2), clipped to
// the draw area, under the blend mode, parameter and brightness.
void DrawMemImgLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
// DrawMemImgLine for each record in order; a count of 0 or less draws nothing.
void DrawMemImgLineList(MEMIMG* dest, const MemImgLineRecord* records, int32_t count);

// Draws the whole source unscaled with its top-left pixel at (x, y), clipped
// to the draw area, blending each pixel by the blend mode, parameter,
// brightness, the source's transparent colour (transFlag non-zero) or alpha,
// and the blend image (one byte per pixel at source coordinates, through the
// ramp; null for none). 0 when drawn or clipped away; -1 when refused: an
// invalid image, colour types that differ, a destination with palette or
// alpha, a single-channel source, a blend image smaller than the source, or
// a mode that draws nothing.
int BlitMemImg(MEMIMG* dest, const MEMIMG* source, int32_t x, int32_t y, int32_t transFlag,
               const MEMIMG* blendImage);

// Draws the whole source into the rectangle with the corners (x1, y1) and
// (x2, y2) of corners[4] (right and bottom exclusive), scaled by nearest-pixel
// sampling and mirrored on an axis whose corners are given in reverse order.
// The source's own size unmirrored goes to BlitMemImg. Refuses (-1) colour
// types that differ, a palette destination, a mode that draws nothing and
// sizes whose 16.16 scale does not fit. A destination with alpha is drawn,
// pixel by pixel at its own width, except at the source's own size
// unmirrored, which BlitMemImg refuses.
int BlitMemImgStretch(MEMIMG* dest, const MEMIMG* source, const int32_t* corners, int32_t transFlag,
                      const MEMIMG* blendImage);

// Fills the triangle of three vertices, textured from source (u, v in source
// pixels) or, with a null source, in the colour. Refuses (-1) colour types
// that differ, a palette or alpha destination and vertices outside
// -8192 to 8191.
int DrawMemImgTriangle(MEMIMG* dest, const MEMIMG* source, const TriangleVertex* vertices, int32_t transFlag,
                       const MEMIMG* blendImage, uint32_t color);
