// The draw target, the draw area, the blend image and the front buffer's
// re-present timer.
#include "core/library.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"
#include "platform/user32/user32.h"
#include "softrender/memimg_tables.h"

#include <utility>

namespace {

constexpr UINT_PTR kFrontBufferTimerId = 0x7F01;
constexpr UINT kFrontBufferTimerMs = 32;

bool g_frontTimerArmed = false;

int32_t Clamp(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

// Re-shows the screen while the front buffer is the draw target, and re-arms.
void FrontBufferTimerProc(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    g_frontTimerArmed = false;
    if (!Screen().started || g_drawState.drawTarget != kDrawTargetFront) return;
    FlushSubBufferAndPresent();
    UpdateFrontBufferTimer();
}

// The blend image's grey byte of each pixel of the image: the luminance.
bool MakeGreyCopy(const MEMIMG* image, int32_t width, int32_t height, MEMIMG* grey) {
    if (CreateMemImg(grey, width, height, kMemImgChannel8, 0, 0) != 0) return false;
    const ColorFormatInfo* format = image->base->colorFormat;
    int32_t bytes = format->pixelByte;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = GetMemImgPixelAddress(image, 0, y < image->height ? y : image->height - 1);
        uint8_t* out = GetMemImgPixelAddress(grey, 0, y);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = in + static_cast<intptr_t>(x < image->width ? x : image->width - 1) * bytes;
            uint32_t value = 0;
            for (int32_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
            int r = 0, g = 0, b = 0;
            UnpackColorValue(format, value, &r, &g, &b, nullptr);
            out[x] = static_cast<uint8_t>((77 * r + 151 * g + 28 * b) >> 8);
        }
    }
    return true;
}

// The draw area as the device's viewport, scissor rectangle and projection
// (an empty area draws nothing, so the device keeps the last ones).
void ApplyDeviceDrawArea() {
    const DrawState& d = g_drawState;
    if (!Screen().d3dActive || d.drawAreaEmpty) return;
    SetDeviceViewportRect(d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom);
    SetDeviceScissorRect(RECT{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom});
    SetDrawRegionProjection();
}

// The draw target is the screen or a live image.
bool IsDrawTargetLive() {
    const int32_t target = g_drawState.drawTarget;
    return target == kDrawTargetBack || target == kDrawTargetFront || FindImage(target) != nullptr;
}

// Makes the screen the device's render target: the sub back buffer once it
// exists, else the back buffer.
int SelectDeviceTarget(int32_t target) {
    if (!Screen().d3dActive) return 0;
    FlushVertexBatch();
    EndDeviceScene();
    if (target != kDrawTargetBack && target != kDrawTargetFront) {
        return WriteLog("Direct3D 9 で描画しているときは画像を描画先にできません in SetDrawTarget\n");
    }
    DeviceBlock& device = Device();
    SetDeviceRenderTarget(device.subBackBuffer != nullptr ? device.subBackBuffer : device.backBuffer);
    return 0;
}

}  // namespace

void StoreDrawArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    DrawState& d = g_drawState;
    SetDrawStateArea(left, top, right, bottom);
    d.drawAreaLeftF = static_cast<float>(left);
    d.drawAreaTopF = static_cast<float>(top);
    d.drawAreaRightF = static_cast<float>(right);
    d.drawAreaBottomF = static_cast<float>(bottom);
    d.drawAreaEmpty = (right <= left || bottom <= top) ? 1 : 0;
}

int SetDrawTarget(int32_t target) {
    if (!Screen().started) return WriteLog("グラフィックスが初期化されていません in SetDrawTarget\n");
    MEMIMG* memImg = nullptr;
    if (target == kDrawTargetBack || target == kDrawTargetFront) {
        memImg = &Targets().screen;
    } else {
        ImageRecord* record = FindImageLogged(target, "SetDrawTarget");
        if (record == nullptr) return -1;
        memImg = &record->memImg;
    }
    if (SelectDeviceTarget(target) != 0) return -1;
    SoftwareTargets& t = Targets();
    t.current = memImg;
    g_drawState.drawTarget = target;
    g_drawState.drawTargetWidth = memImg->width;
    g_drawState.drawTargetHeight = memImg->height;
    StoreDrawArea(0, 0, memImg->width, memImg->height);
    ApplyDeviceDrawArea();
    UpdateFrontBufferTimer();
    return 0;
}

int32_t GetDrawTarget() { return g_drawState.drawTarget; }

int SetDrawRegion(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!Screen().started || Targets().current == nullptr) {
        return WriteLog("グラフィックスが初期化されていません in SetDrawRegion\n");
    }
    if (!IsDrawTargetLive()) return WriteLog("描画先が無効です in SetDrawRegion\n");
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    int32_t w = g_drawState.drawTargetWidth, h = g_drawState.drawTargetHeight;
    StoreDrawArea(Clamp(left, 0, w), Clamp(top, 0, h), Clamp(right, 0, w), Clamp(bottom, 0, h));
    if (Screen().d3dActive && Device().device == nullptr) {
        return WriteLog("Direct3D デバイスがありません in SetDrawRegion\n");
    }
    ApplyDeviceDrawArea();
    return 0;
}

int GetDrawRegion(RECT* rect) {
    if (rect == nullptr) return -1;
    const DrawState& d = g_drawState;
    *rect = RECT{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom};
    return 0;
}

void ForgetDrawTargetImage(int32_t handle) {
    if (g_drawState.drawTarget != handle) return;
    if (Screen().started) {
        SetDrawTarget(kDrawTargetBack);
    } else {
        Targets().current = nullptr;
        g_drawState.drawTarget = kDrawTargetBack;
    }
}

// ---- blend image -------------------------------------------------------------------

// Hands the blend image's texture (null: none) and its size to the device.
static void SetDeviceBlendImageOf(int32_t image, int32_t borderParameter, int32_t borderRange) {
    if (!Screen().d3dActive) return;
    IDirect3DTexture9* texture = image != -1 ? ImageFirstTexture(image) : nullptr;
    const ImageRecord* record = image != -1 ? FindImage(image) : nullptr;
    if (texture != nullptr && record != nullptr) {
        const ImageTexture& t = *record->tiles[0].texture;
        VertexBatch& b = Device().batch;
        b.blendWidth = static_cast<float>(t.width);
        b.blendHeight = static_cast<float>(t.height);
        b.blendWidthInv = 1.0f / b.blendWidth;
        b.blendHeightInv = 1.0f / b.blendHeight;
    }
    SetDeviceBlendImage(texture, borderParameter, borderRange);
}

void ReleaseBlendImage() {
    if (Screen().d3dActive) SetDeviceBlendImage(nullptr, -1, -1);
    SoftwareTargets& t = Targets();
    ReleaseMemImg(&t.blendStore);
    t.blend = nullptr;
    g_drawState.blendImage = nullptr;
    g_drawState.blendImageHandle = -1;
}

void ForgetBlendImage(int32_t handle) {
    if (g_drawState.blendImageHandle == handle) ReleaseBlendImage();
}

int SetBlendImage(int32_t image, int32_t borderParameter, int32_t borderRange) {
    DrawState& d = g_drawState;
    if (d.drawingSuspended) return 0;
    borderParameter = Clamp(borderParameter, 0, 255);
    borderRange = Clamp(borderRange, 0, 255);
    if (image == d.blendImageHandle && borderParameter == d.blendImageBorderParameter &&
        borderRange == d.blendImageBorderRange) {
        return 0;
    }
    MEMIMG grey{};
    if (image != -1) {
        ImageRecord* record = FindImageLogged(image, "SetBlendImage");
        if (record == nullptr) return -1;
        if (!MakeGreyCopy(&record->memImg, record->width, record->height, &grey)) {
            return WriteLog("ブレンド画像の作成に失敗しました in SetBlendImage\n");
        }
    }
    ReleaseBlendImage();
    SetDeviceBlendImageOf(image, borderParameter, borderRange);
    SoftwareTargets& t = Targets();
    if (image != -1) {
        t.blendStore = grey;
        t.blend = &t.blendStore;
    }
    d.blendImage = t.blend;
    d.blendImageHandle = image;
    d.blendImageBorderParameter = borderParameter;
    d.blendImageBorderRange = borderRange;
    BuildBlendImageRamp(borderParameter, borderRange);
    return 0;
}

bool CheckBlendImageSize(int32_t width, int32_t height) {
    SoftwareTargets& t = Targets();
    if (t.blend == nullptr) return true;
    if (t.blendStore.width >= width && t.blendStore.height >= height) return true;
    MEMIMG grown{};
    int32_t w = width > t.blendStore.width ? width : t.blendStore.width;
    int32_t h = height > t.blendStore.height ? height : t.blendStore.height;
    if (!MakeGreyCopy(&t.blendStore, w, h, &grown)) return false;
    ReleaseMemImg(&t.blendStore);
    t.blendStore = grown;
    return true;
}

// ---- front buffer timer ------------------------------------------------------------

void UpdateFrontBufferTimer() {
    HWND hwnd = GetMainWindow();
    bool wanted = Screen().started && g_drawState.drawTarget == kDrawTargetFront && hwnd != nullptr;
    if (wanted && !g_frontTimerArmed) {
        g_frontTimerArmed = SetTimer(hwnd, kFrontBufferTimerId, kFrontBufferTimerMs, FrontBufferTimerProc) != 0;
    } else if (!wanted) {
        StopFrontBufferTimer();
    }
}

void StopFrontBufferTimer() {
    if (!g_frontTimerArmed) return;
    HWND hwnd = GetMainWindow();
    if (hwnd != nullptr) KillTimer(hwnd, kFrontBufferTimerId);
    g_frontTimerArmed = false;
}
