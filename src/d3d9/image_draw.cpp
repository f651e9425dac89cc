// Images on the device: one textured quad (two triangles) per texture tile,
// appended to the vertex batch, clipped to the draw area by moving the
// vertices and their texture coordinates.
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <cstring>
#include <utility>

namespace {

// One vertex of a quad, whichever batch row it is written to.
struct QuadVertex {
    float x, y;
    float u, v;      // the image's own texture coordinates
    float bu, bv;    // blend-image coordinates
};

void WriteVertex(uint8_t* out, int32_t subKind, const QuadVertex& q, float z, bool colored, uint32_t color) {
    auto* f = reinterpret_cast<float*>(out);
    f[0] = q.x;
    f[1] = q.y;
    f[2] = z;
    if (colored) std::memcpy(out + 16, &color, 4);
    if (subKind == 1) {
        f[5] = q.u;
        f[6] = q.v;
    } else {
        f[6] = q.bu;
        f[7] = q.bv;
        f[8] = q.u;
        f[9] = q.v;
    }
}

// How far the coordinates move per screen pixel.
struct Steps {
    float u, v, bu, bv;
};

Steps TileSteps(const ImageTexture& t, float sx, float sy) {
    const VertexBatch& b = Device().batch;
    return Steps{1.0f / (static_cast<float>(t.width) * sx), 1.0f / (static_cast<float>(t.height) * sy),
                 b.blendWidthInv / sx, b.blendHeightInv / sy};
}

// Clamps one corner into the float draw area, moving its coordinates along.
void Clamp(QuadVertex& q, const Steps& s, float left, float top, float right, float bottom) {
    if (q.x < left) {
        const float d = left - q.x;
        q.u += d * s.u, q.bu += d * s.bu, q.x = left;
    } else if (q.x > right) {
        const float d = q.x - right;
        q.u -= d * s.u, q.bu -= d * s.bu, q.x = right;
    }
    if (q.y < top) {
        const float d = top - q.y;
        q.v += d * s.v, q.bv += d * s.bv, q.y = top;
    } else if (q.y > bottom) {
        const float d = q.y - bottom;
        q.v -= d * s.v, q.bv -= d * s.bv, q.y = bottom;
    }
}

// Appends the six vertices of a quad given as top-left, top-right,
// bottom-left, bottom-right (triangles 1-2-3 and 4-3-2).
void AppendQuad(QuadVertex corners[4], const Steps& steps, bool clip, float clipInset) {
    ReserveBatch(0, D3DPT_TRIANGLELIST, 6);
    VertexBatch& b = Device().batch;
    if (clip) {
        const DrawState& d = g_drawState;
        for (int i = 0; i < 4; ++i)
            Clamp(corners[i], steps, d.drawAreaLeftF - clipInset, d.drawAreaTopF - clipInset,
                  d.drawAreaRightF - clipInset, d.drawAreaBottomF - clipInset);
    }
    const int32_t stride = kBatchRowTable[b.subKind].stride;
    const QuadVertex* order[6] = {&corners[0], &corners[1], &corners[2], &corners[3], &corners[2], &corners[1]};
    const float z = g_drawState.drawDepth;
    for (int i = 0; i < 6; ++i)
        WriteVertex(b.write + static_cast<ptrdiff_t>(i) * stride, b.subKind, *order[i], z, i == 0 || i == 3,
                    b.drawColor);
    CommitBatch(6);
}

// The tile's corners placed at (fx, fy), scaled by (sx, sy) in image pixels.
void PlaceTile(const ImageDrawTile& tile, float fx, float fy, float sx, float sy, QuadVertex out[4]) {
    const VertexBatch& b = Device().batch;
    for (int i = 0; i < 4; ++i) {
        const float* c = tile.corners[i];
        out[i] = QuadVertex{fx + c[0] * sx, fy + c[1] * sy, c[2], c[3], c[0] * b.blendWidthInv,
                            c[1] * b.blendHeightInv};
    }
}

// Opens the scene and applies the draw state; false when nothing can be drawn.
bool PrepareImageDraw(const ImageRecord* record, int32_t transparent, int32_t imageBit) {
    if (!Cache().inScene) BeginDeviceScene();
    const ImagePicture* picture = record->picture;
    IDirect3DTexture9* first = picture->textureCount > 0 ? picture->textures[0].texture : nullptr;
    ApplyDrawState(picture->flags, first, static_cast<uint32_t>(imageBit * 2 + transparent));
    return true;
}

void BindTileTexture(const ImageDrawTile& tile) {
    DeviceStateCache& c = Cache();
    if (tile.texture->texture != c.drawTexture) SetDeviceTexture(tile.texture->texture);
    if (c.setupDirty || c.textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
}

}  // namespace

int DrawImageHardware(const ImageRecord* record, int32_t x, int32_t y, float fx, float fy, int32_t transparent,
                      int32_t imageBit) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal) return -1;
    fx -= 0.5f;
    fy -= 0.5f;
    PrepareImageDraw(record, transparent, imageBit);
    const DrawState& ds = g_drawState;
    const int64_t right = int64_t{x} + record->width, bottom = int64_t{y} + record->height;
    if (right <= ds.drawAreaLeft || bottom <= ds.drawAreaTop || x >= ds.drawAreaRight || y >= ds.drawAreaBottom)
        return 0;
    const bool clip = !(x >= ds.drawAreaLeft && y >= ds.drawAreaTop && right <= ds.drawAreaRight &&
                        bottom <= ds.drawAreaBottom);
    if (d.batch.subKind != 1 && d.batch.subKind != 2) return 0;
    for (int32_t i = 0; i < record->tileCount; ++i) {
        const ImageDrawTile& tile = record->tiles[i];
        BindTileTexture(tile);
        QuadVertex corners[4];
        PlaceTile(tile, fx, fy, 1.0f, 1.0f, corners);
        AppendQuad(corners, TileSteps(*tile.texture, 1.0f, 1.0f), clip, 0.0f);
    }
    return 0;
}

int DrawImageStretchHardware(const ImageRecord* record, float x1, float y1, float x2, float y2,
                             int32_t transparent, int32_t imageBit) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal) return -1;
    if (record->width <= 0 || record->height <= 0 || x1 == x2 || y1 == y2) return 0;
    PrepareImageDraw(record, transparent, imageBit);
    if (d.batch.subKind != 1 && d.batch.subKind != 2) return 0;
    const float sx = (x2 - x1) / static_cast<float>(record->width);
    const float sy = (y2 - y1) / static_cast<float>(record->height);
    for (int32_t i = 0; i < record->tileCount; ++i) {
        const ImageDrawTile& tile = record->tiles[i];
        BindTileTexture(tile);
        QuadVertex corners[4];
        PlaceTile(tile, x1 - 0.5f, y1 - 0.5f, sx, sy, corners);
        // A mirrored axis swaps the corners, so that left stays left.
        if (sx < 0) std::swap(corners[0], corners[1]), std::swap(corners[2], corners[3]);
        if (sy < 0) std::swap(corners[0], corners[2]), std::swap(corners[1], corners[3]);
        AppendQuad(corners, TileSteps(*tile.texture, sx, sy), true, 0.5f);
    }
    return 0;
}
