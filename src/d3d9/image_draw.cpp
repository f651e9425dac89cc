// Images on the device, plain and stretched: one textured quad (two
// triangles) per texture tile, appended to the vertex batch, clipped to the
// draw area by moving the vertices and their texture coordinates.
#include "d3d9/image_vertices.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <algorithm>
#include <utility>

namespace {

enum class AreaCover { Outside, Inside, Partly };

// Where a box (right and bottom exclusive) stands against the draw area.
AreaCover CoverOfDrawArea(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    const DrawState& ds = g_drawState;
    if (right <= ds.drawAreaLeft || bottom <= ds.drawAreaTop || left >= ds.drawAreaRight || top >= ds.drawAreaBottom)
        return AreaCover::Outside;
    const bool inside = left >= ds.drawAreaLeft && top >= ds.drawAreaTop && right <= ds.drawAreaRight &&
                        bottom <= ds.drawAreaBottom;
    return inside ? AreaCover::Inside : AreaCover::Partly;
}

}  // namespace

int DrawImageHardware(const ImageRecord* record, int32_t x, int32_t y, float fx, float fy, int32_t transparent,
                      int32_t imageBit) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal) return -1;
    fx -= 0.5f;
    fy -= 0.5f;
    PrepareImageDraw(record, static_cast<uint32_t>(imageBit * 2 + transparent));
    const AreaCover cover = CoverOfDrawArea(x, y, int64_t{x} + record->width, int64_t{y} + record->height);
    if (cover == AreaCover::Outside) return 0;
    const bool clip = cover == AreaCover::Partly;
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

int DrawImageStretchHardware(const ImageRecord* record, int32_t x1, int32_t y1, int32_t x2, int32_t y2, float fx1,
                             float fy1, float fx2, float fy2, int32_t transparent, int32_t imageBit) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || d.drawRefusal || x1 == x2 || y1 == y2) return -1;
    if (record->width <= 0 || record->height <= 0) return 0;
    const bool imageFlag = imageBit == 1 && Cache().filterMode != 1;
    PrepareImageDraw(record, static_cast<uint32_t>(transparent + (imageFlag ? 2 : 0)));
    const float sx = (fx2 - fx1) / static_cast<float>(record->width);
    const float sy = (fy2 - fy1) / static_cast<float>(record->height);
    fx1 -= 0.5f;
    fy1 -= 0.5f;
    // The clip decision takes the integer corners in order.
    const int32_t left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
    const AreaCover cover = CoverOfDrawArea(left, top, right, bottom);
    if (cover == AreaCover::Outside) return 0;
    const bool clip = cover == AreaCover::Partly;
    if (d.batch.subKind != 1 && d.batch.subKind != 2) return 0;
    for (int32_t i = 0; i < record->tileCount; ++i) {
        const ImageDrawTile& tile = record->tiles[i];
        BindTileTexture(tile);
        QuadVertex corners[4];
        PlaceTile(tile, fx1, fy1, sx, sy, corners);
        // A mirrored axis swaps the corners, so that the triangles keep their turn.
        if (sx < 0) std::swap(corners[0], corners[1]), std::swap(corners[2], corners[3]);
        if (sy < 0) std::swap(corners[0], corners[2]), std::swap(corners[1], corners[3]);
        AppendQuad(corners, TileSteps(*tile.texture, sx, sy), clip, 0.5f);
    }
    return 0;
}
