// Untextured boxes on the device: a filled rectangle as two triangles and a
// one-pixel outline as four filled strips, in the current blend mode and
// brightness.
#include "core/utility.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics.h"
#include "softrender/draw_state.h"

#include <algorithm>
#include <cstring>

namespace {

// The box colour: the packed draw colour scaled by the split pixel value.
uint32_t BoxDiffuse(uint32_t color) {
    int32_t r = 0, g = 0, b = 0;
    SplitColor(color, &r, &g, &b);
    const uint32_t packed = Device().batch.drawColor;
    const uint32_t pr = (packed >> 16) & 0xFF, pg = (packed >> 8) & 0xFF, pb = packed & 0xFF;
    return (packed & 0xFF000000u) | ((pr * static_cast<uint32_t>(r) / 255) << 16) |
           ((pg * static_cast<uint32_t>(g) / 255) << 8) | (pb * static_cast<uint32_t>(b) / 255);
}

// Drops a cached stage-0 texture so that the untextured set-up runs.
void DropTexture(bool alsoUnderForce) {
    DeviceStateCache& c = Cache();
    if (c.drawTexture == nullptr && !(alsoUnderForce && ForceResend())) return;
    FlushVertexBatch();
    c.textureDirty = 1;
    if (c.drawTexture != nullptr) c.setupDirty = 1;
    c.drawTexture = nullptr;
}

void PrepareBox(bool alsoUnderForce) {
    if (!Cache().inScene) BeginDeviceScene();
    DropTexture(alsoUnderForce);
    ApplyDrawState(nullptr, nullptr, 0x20);
}

void EnsureUntexturedSetup() {
    if (Cache().setupDirty || Cache().textureDirty) SetupDeviceBlendStages(1, nullptr, 0);
}

// Writes the strip (a, b)-(c, d) as two triangles.
void WriteStrip(uint8_t* out, float a, float b, float c, float d, uint32_t diffuse, bool everyVertex) {
    const float xy[6][2] = {{a, b}, {c, b}, {a, d}, {c, d}, {a, d}, {c, b}};
    const float z = g_drawState.drawDepth;
    for (int i = 0; i < 6; ++i) {
        auto* f = reinterpret_cast<float*>(out + i * 20);
        f[0] = xy[i][0];
        f[1] = xy[i][1];
        f[2] = z;
        if (everyVertex || i == 0 || i == 3) std::memcpy(out + i * 20 + 16, &diffuse, 4);
    }
}

}  // namespace

int DrawFillBoxHardware(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (Device().device == nullptr) return -1;
    if (Device().drawRefusal) return -1;
    const DrawState& d = g_drawState;
    RECT rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    const RECT area{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom};
    ClipRect(&rect, &area);
    if (rect.left == rect.right || rect.top == rect.bottom) return 0;
    PrepareBox(true);
    const uint32_t diffuse = BoxDiffuse(color);
    EnsureUntexturedSetup();
    ReserveBatch(0, D3DPT_TRIANGLELIST, 6);
    WriteStrip(Device().batch.write, static_cast<float>(rect.left), static_cast<float>(rect.top),
               static_cast<float>(rect.right), static_cast<float>(rect.bottom), diffuse, false);
    CommitBatch(6);
    return 0;
}

int DrawLineHardware(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (Device().device == nullptr) return -1;
    if (Device().drawRefusal) return -1;
    PrepareBox(false);
    const uint32_t diffuse = BoxDiffuse(color);
    // Each axis is ordered on its own, so that a box given with one axis
    // reversed is outlined like the same box given in order.
    const float left = static_cast<float>(std::min(x1, x2)), right = static_cast<float>(std::max(x1, x2));
    const float top = static_cast<float>(std::min(y1, y2)), bottom = static_cast<float>(std::max(y1, y2));
    if (left == right || top == bottom) return 0;
    EnsureUntexturedSetup();
    if (right - left < 2 || bottom - top < 2) {
        // Too thin for four strips: the box itself, each pixel once.
        ReserveBatch(0, D3DPT_TRIANGLELIST, 6);
        WriteStrip(Device().batch.write, left, top, right, bottom, diffuse, true);
        CommitBatch(6);
        return 0;
    }
    ReserveBatch(0, D3DPT_TRIANGLELIST, 24);
    uint8_t* out = Device().batch.write;
    WriteStrip(out, left, top, right, top + 1, diffuse, true);
    WriteStrip(out + 120, right - 1, top + 1, right, bottom, diffuse, true);
    WriteStrip(out + 240, left, top + 1, left + 1, bottom, diffuse, true);
    WriteStrip(out + 360, left + 1, bottom - 1, right - 1, bottom, diffuse, true);
    CommitBatch(24);
    return 0;
}
