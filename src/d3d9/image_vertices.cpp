// The pieces every textured image draw shares: vertices in the batch rows'
// layouts, clamping to the draw area, tile placement and texture binding.
#include "d3d9/image_vertices.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <cstring>

void WriteImageVertex(uint8_t* out, int32_t subKind, const QuadVertex& q, float z, bool colored, uint32_t color) {
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

ClampSteps TileSteps(const ImageTexture& t, float sx, float sy) {
    const VertexBatch& b = Device().batch;
    return ClampSteps{1.0f / (static_cast<float>(t.width) * sx), 1.0f / (static_cast<float>(t.height) * sy),
                 b.blendWidthInv / sx, b.blendHeightInv / sy};
}

// Clamps one corner into the float draw area, moving its coordinates along.
static void Clamp(QuadVertex& q, const ClampSteps& s, float left, float top, float right, float bottom) {
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

void AppendQuad(QuadVertex corners[4], const ClampSteps& steps, bool clip, float clipInset) {
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
        WriteImageVertex(b.write + static_cast<ptrdiff_t>(i) * stride, b.subKind, *order[i], z, i == 0 || i == 3,
                    b.drawColor);
    CommitBatch(6);
}

void PlaceTile(const ImageDrawTile& tile, float fx, float fy, float sx, float sy, QuadVertex out[4]) {
    const VertexBatch& b = Device().batch;
    for (int i = 0; i < 4; ++i) {
        const float* c = tile.corners[i];
        out[i] = QuadVertex{fx + c[0] * sx, fy + c[1] * sy, c[2], c[3], c[0] * b.blendWidthInv,
                            c[1] * b.blendHeightInv};
    }
}

void PrepareImageDraw(const ImageRecord* record, uint32_t flags) {
    if (!Cache().inScene) BeginDeviceScene();
    const ImagePicture* picture = record->picture;
    IDirect3DTexture9* first = picture->textureCount > 0 ? picture->textures[0].texture : nullptr;
    ApplyDrawState(picture->flags, first, flags);
}

void BindTileTexture(const ImageDrawTile& tile) {
    DeviceStateCache& c = Cache();
    if (tile.texture->texture != c.drawTexture) SetDeviceTexture(tile.texture->texture);
    if (c.setupDirty || c.textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
}

