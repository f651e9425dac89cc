// Shared by the device's image draws (plain, stretched and four-corner).
#pragma once

#include "d3d9/d3d9_backend.h"

struct ImageDrawTile;
struct ImageTexture;

// One vertex of a textured quad, whichever batch row it is written to.
struct QuadVertex {
    float x, y;
    float u, v;      // the image's own texture coordinates
    float bu, bv;    // blend-image coordinates
};

// How far the coordinates move per screen pixel.
struct ClampSteps {
    float u, v, bu, bv;
};

// Writes x, y, z, the colour (when colored) and the coordinates of the
// sub-kind's layout (1: one texture, 2: blend image in set 0).
void WriteImageVertex(uint8_t* out, int32_t subKind, const QuadVertex& q, float z, bool colored, uint32_t color);
ClampSteps TileSteps(const ImageTexture& t, float sx, float sy);
// Appends the six vertices of a quad given as top-left, top-right,
// bottom-left, bottom-right (triangles 1-2-3 and 4-3-2), clamped to the draw
// area moved by -clipInset when clip is set.
void AppendQuad(QuadVertex corners[4], const ClampSteps& steps, bool clip, float clipInset);
// The tile's corners placed at (fx, fy), scaled by (sx, sy) in image pixels.
void PlaceTile(const ImageDrawTile& tile, float fx, float fy, float sx, float sy, QuadVertex out[4]);
// Opens the scene and applies the draw state with the flag word.
void PrepareImageDraw(const ImageRecord* record, uint32_t flags);
// Binds the tile's texture and runs a pending blend set-up.
void BindTileTexture(const ImageDrawTile& tile);
