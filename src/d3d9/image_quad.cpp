// Images on four free corners, given top-left, top-right, bottom-left,
// bottom-right. Parallelograms (to within a pixel) go to the batch as six
// vertices per tile; other quads are drawn at once as an 8 x 8 grid of
// strips; with a blend image every tile is drawn at once as a 4-vertex strip.
#include "core/utility.h"
#include "d3d9/image_vertices.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace {

struct Point {
    double x, y;
};

// Twice the signed area of the triangle a, b, c (positive when it turns
// clockwise on the screen, y pointing down).
double SignedArea(const Point& a, const Point& b, const Point& c) {
    return (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
}

bool IsParallelogram(const Point q[4]) {
    return std::fabs((q[1].x - q[0].x) - (q[3].x - q[2].x)) < 1.0 &&
           std::fabs((q[1].y - q[0].y) - (q[3].y - q[2].y)) < 1.0 &&
           std::fabs((q[2].x - q[0].x) - (q[3].x - q[1].x)) < 1.0 &&
           std::fabs((q[2].y - q[0].y) - (q[3].y - q[1].y)) < 1.0;
}

void AppendParallelogram(const Point q[4], const ImageDrawTile& tile) {
    VertexBatch& b = Device().batch;
    const DeviceStateCache& c = Cache();
    if (c.setupDirty || c.textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
    ReserveBatch(0, D3DPT_TRIANGLELIST, 6);
    QuadVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const float* corner = tile.corners[i];
        v[i] = QuadVertex{static_cast<float>(q[i].x), static_cast<float>(q[i].y), corner[2], corner[3],
                          corner[0] * b.blendWidthInv, corner[1] * b.blendHeightInv};
    }
    const QuadVertex* order[6] = {&v[0], &v[1], &v[2], &v[3], &v[2], &v[1]};
    // A mirrored quad turns the other way: its triangles are turned back.
    if (SignedArea(q[0], q[1], q[2]) <= 0 && SignedArea(q[3], q[2], q[1]) <= 0) {
        std::swap(order[1], order[2]);
        std::swap(order[4], order[5]);
    }
    const int32_t stride = kBatchRowTable[b.subKind].stride;
    for (int i = 0; i < 6; ++i)
        WriteImageVertex(b.write + static_cast<ptrdiff_t>(i) * stride, b.subKind, *order[i], g_drawState.drawDepth,
                         i == 0 || i == 3, b.drawColor);
    CommitBatch(6);
}

// The inset of a thousandth of a pixel at a tile edge inside the texture.
float EdgeInset(float from, float to, float span, bool inside) {
    return inside && span != 0.0f ? 0.001f * (to - from) / span : 0.0f;
}

// One-texture vertices (28 bytes) of the subdivided quad.
struct GridVertex {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
static_assert(sizeof(GridVertex) == 28);

GridVertex g_grid[64];

void DrawSubdivided(const Point q[4], const ImageDrawTile& tile) {
    const float* tl = tile.corners[0];
    const float* br = tile.corners[3];
    const float spanX = br[0] - tl[0], spanY = br[1] - tl[1];
    const float u0 = tl[2] + EdgeInset(tl[2], br[2], spanX, tl[2] >= 0.000001f);
    const float u1 = br[2] - EdgeInset(tl[2], br[2], spanX, br[2] <= 0.99999f);
    const float v0 = tl[3] + EdgeInset(tl[3], br[3], spanY, tl[3] >= 0.000001f);
    const float v1 = br[3] - EdgeInset(tl[3], br[3], spanY, br[3] <= 0.99999f);
    const uint32_t color = Device().batch.drawColor;
    for (int r = 0; r < 8; ++r) {
        const double t = r / 7.0;
        const Point left{q[0].x + t * (q[2].x - q[0].x), q[0].y + t * (q[2].y - q[0].y)};
        const Point right{q[1].x + t * (q[3].x - q[1].x), q[1].y + t * (q[3].y - q[1].y)};
        const Point step{(right.x - left.x) / 7.0, (right.y - left.y) / 7.0};
        Point at = left;
        for (int c = 0; c < 8; ++c) {
            g_grid[r * 8 + c] = GridVertex{static_cast<float>(at.x), static_cast<float>(at.y), g_drawState.drawDepth,
                                           1.0f, color, u0 + (u1 - u0) * static_cast<float>(c) / 7.0f,
                                           v0 + (v1 - v0) * static_cast<float>(r) / 7.0f};
            at.x += step.x;
            at.y += step.y;
        }
    }
    DrawVertexGridStrips(8, g_grid, 8);
}

// One tile onto the corners q (top-left, top-right, bottom-left, bottom-right).
void DrawImageQuadFloatHardware(const Point q[4], const ImageDrawTile& tile) {
    DeviceStateCache& c = Cache();
    if (tile.texture->texture != c.drawTexture) {
        SetDeviceTexture(tile.texture->texture);
        SetupDeviceBlendStages(1, nullptr, 0);
    }
    // The vertices are written in the layout of the set-up's sub-kind; the
    // grid knows only the one-texture layout.
    const int32_t subKind = Device().batch.subKind;
    if (IsParallelogram(q)) {
        if (subKind == 1 || subKind == 2) AppendParallelogram(q, tile);
    } else if (subKind == 1) {
        DrawSubdivided(q, tile);
    }
}

// The tile corner (x, y) in image pixels mapped into the quad p.
Point MapIntoQuad(const Point p[4], double x, double y, double width, double height) {
    const double s = x / width, t = y / height;
    const Point left{p[0].x + t * (p[2].x - p[0].x), p[0].y + t * (p[2].y - p[0].y)};
    const Point right{p[1].x + t * (p[3].x - p[1].x), p[1].y + t * (p[3].y - p[1].y)};
    return Point{left.x + s * (right.x - left.x), left.y + s * (right.y - left.y)};
}

// The two affine maps of the blend-image road: anchored at the top-left and
// at the bottom-right corner, every corner reduced by half a pixel.
struct CornerMaps {
    int32_t x[4], y[4];
    double w, h;
    Point UpperLeft(double px, double py) const {
        return Point{px * (x[1] - x[0]) / w + py * (x[2] - x[0]) / h + x[0] - 0.5,
                     px * (y[1] - y[0]) / w + py * (y[2] - y[0]) / h + y[0] - 0.5};
    }
    Point LowerRight(double px, double py) const {
        return Point{(px - w) * (x[3] - x[2]) / w + (py - h) * (x[3] - x[1]) / h + x[3] - 0.5,
                     (px - w) * (y[3] - y[2]) / w + (py - h) * (y[3] - y[1]) / h + y[3] - 0.5};
    }
};

void DrawBlendTile(const CornerMaps& maps, const ImageDrawTile& tile, int32_t subKind) {
    BindTileTexture(tile);
    const VertexBatch& b = Device().batch;
    QuadVertex v[4];
    for (int i = 0; i < 4; ++i) {
        const float* corner = tile.corners[i];
        const Point p = tile.upperLeft[i] ? maps.UpperLeft(corner[0], corner[1]) : maps.LowerRight(corner[0], corner[1]);
        v[i] = QuadVertex{static_cast<float>(p.x), static_cast<float>(p.y), corner[2], corner[3],
                          corner[0] * b.blendWidthInv, corner[1] * b.blendHeightInv};
    }
    const Point a{v[0].x, v[0].y}, p2{v[1].x, v[1].y}, p3{v[2].x, v[2].y}, p4{v[3].x, v[3].y};
    const double s1 = SignedArea(a, p2, p3), s2 = SignedArea(p4, p3, p2);
    if (s1 < 0 || (s1 == 0 && s2 <= 0)) std::swap(v[1], v[2]);
    const int32_t stride = kBatchRowTable[subKind].stride;
    uint8_t vertices[4 * 40] = {};
    for (int i = 0; i < 4; ++i) {
        uint8_t* out = vertices + i * stride;
        WriteImageVertex(out, subKind, v[i], g_drawState.drawDepth, true, b.drawColor);
        reinterpret_cast<float*>(out)[3] = 1.0f;
        if (subKind == 2) {
            const uint32_t specular = 0xFFFFFFFF;
            std::memcpy(out + 20, &specular, 4);
        }
    }
    Device().device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, static_cast<UINT>(stride));
}

}  // namespace

int DrawImageQuadHardware(const ImageRecord* record, const float corners[8], int32_t transparent) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal) return -1;
    if (Cache().blendTexture != nullptr) {
        int32_t whole[8];
        for (int i = 0; i < 8; ++i) whole[i] = FloatToInt(corners[i]);
        return DrawImageQuadIntHardware(record, whole, transparent);
    }
    PrepareImageDraw(record, static_cast<uint32_t>(transparent));
    if (record->width <= 0 || record->height <= 0) return 0;
    // The corners are taken as they stand: pixel centres lie on whole
    // coordinates, so a caller that wants texel centres on pixel centres
    // passes its corners less half a pixel.
    Point p[4];
    for (int i = 0; i < 4; ++i) p[i] = Point{corners[2 * i], corners[2 * i + 1]};
    if (record->tileCount == 1) {
        DrawImageQuadFloatHardware(p, record->tiles[0]);
        return 0;
    }
    for (int32_t i = 0; i < record->tileCount; ++i) {
        const ImageDrawTile& tile = record->tiles[i];
        Point q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = MapIntoQuad(p, tile.corners[k][0], tile.corners[k][1], record->width, record->height);
        DrawImageQuadFloatHardware(q, tile);
    }
    return 0;
}

int DrawImageQuadIntHardware(const ImageRecord* record, const int32_t corners[8], int32_t transparent) {
    const int32_t* c = corners;
    if (c[0] == c[4] && c[2] == c[6] && c[1] == c[3] && c[5] == c[7]) {
        return DrawImageStretchHardware(record, c[0], c[1], c[6], c[7], static_cast<float>(c[0]),
                                        static_cast<float>(c[1]), static_cast<float>(c[6]), static_cast<float>(c[7]),
                                        transparent, 1);
    }
    if (Cache().blendTexture == nullptr) {
        float asFloats[8];
        for (int i = 0; i < 8; ++i) asFloats[i] = static_cast<float>(c[i]);
        return DrawImageQuadHardware(record, asFloats, transparent);
    }
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal) return -1;
    FlushVertexBatch();
    PrepareImageDraw(record, static_cast<uint32_t>(transparent + 2));
    const int32_t subKind = d.batch.subKind;
    if ((subKind != 1 && subKind != 2) || record->width <= 0 || record->height <= 0) return 0;
    const uint32_t fvf = kBatchRowTable[subKind].fvf;
    if (Cache().fvf != fvf) {
        d.device->SetFVF(fvf);
        Cache().fvf = fvf;
    }
    CornerMaps maps{{c[0], c[2], c[4], c[6]}, {c[1], c[3], c[5], c[7]}, double(record->width), double(record->height)};
    for (int32_t i = 0; i < record->tileCount; ++i) DrawBlendTile(maps, record->tiles[i], subKind);
    return 0;
}
