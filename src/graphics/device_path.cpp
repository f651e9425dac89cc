// The graphics layer's device path: present through the swap chain (the sub
// back buffer copied first), the answer to a lost device, the re-creation of
// the device with every image restored, and the screen-to-image copy.
#include "core/library.h"
#include "core/library_hooks.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/model_handles.h"
#include "font/font.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"
#include "movie/theora_decoder.h"
#include "softrender/soft_draw.h"

#include <algorithm>
#include <cstring>

namespace {

ImageRestoreCallback g_restoreCallback = nullptr;

// The rectangle of the window the back buffer is shown in (doubled when the
// screen is).
RECT PresentDestination() {
    const ScreenState& s = Screen();
    const int32_t scale = s.doubled ? 2 : 1;
    return RECT{0, 0, s.drawWidth * scale, s.drawHeight * scale};
}

// After a failed present: re-creates the device once it may be reset; -1
// when the re-creation failed (drawing goes on on the software screen).
int AnswerLostDevice() {
    IDirect3DDevice9* device = Device().device;
    if (device == nullptr) return -1;
    const HRESULT state = device->TestCooperativeLevel();
    if (state != D3DERR_DEVICENOTRESET) return 0;
    WriteLog("デバイスがロストしました。デバイスを作り直します\n");
    return ResetGraphicsDevice(0);
}

// After a lost device input is ended and started again, its devices
// acquired anew.
void RestartInput() {
    LibraryHooks& hooks = GetLibraryHooks();
    hooks.terminateInput();
    hooks.initializeInput();
}

// Puts a picture's own file back into its pixels when the file still decodes
// to the same size; false when it does not.
bool ReloadPicture(ImageRecord* record) {
    ImagePicture* picture = record->picture;
    if (record->fileName == nullptr || record->movieHandle != -1 || record->x != 0 || record->y != 0 ||
        record->width != picture->width || record->height != picture->height) {
        return false;
    }
    PixelImage decoded{};
    if (LoadPixelImage(record->fileName, nullptr, 0, &decoded) != 0) return false;
    const MEMIMG& m = picture->memImg;
    bool done = false;
    if (decoded.width == m.width && decoded.height == m.height && decoded.format.dxtType == 0) {
        done = ConvertPixelImageRect(&decoded, 0, 0, m.width, m.height, m.base->colorFormat, m.pixels, m.base->pitch) == 0;
    }
    ReleasePixelImage(&decoded);
    return done;
}

}  // namespace

int PresentFrame() {
    DeviceBlock& d = Device();
    FlushVertexBatch();
    EndDeviceScene();
    if (d.subBackBuffer != nullptr &&
        FAILED(d.device->StretchRect(d.subBackBuffer, nullptr, d.backBuffer, nullptr, D3DTEXF_NONE))) {
        return -1;
    }
    const ScreenState& s = Screen();
    const RECT source{0, 0, s.drawWidth, s.drawHeight};
    const RECT dest = PresentDestination();
    const HRESULT hr = d.swapChain != nullptr ? d.swapChain->Present(&source, &dest, nullptr, nullptr, 0)
                                              : d.device->Present(&source, &dest, nullptr, nullptr);
    if (hr == D3DERR_DEVICELOST) return AnswerLostDevice();
    return FAILED(hr) ? -1 : 0;
}

namespace {

// The camera as it was before a reset: world, view, projection, viewport.
void ReapplySavedCamera(const DrawState& saved) {
    DrawState& d = g_drawState;
    FlushVertexBatch();
    d.worldMatrix = saved.worldMatrix;
    d.combinedCurrent = 0;
    const D3DMATRIX world = AsDeviceMatrix(saved.worldMatrix);
    Device().device->SetTransform(D3DTS_WORLD, &world);
    d.worldSent = 1;
    SetViewMatrix(&saved.viewMatrix);
    SetProjectionMatrix(&saved.projectionMatrix);
    SetViewportMatrix(&saved.viewportMatrix);
}

// Releases the device and makes it again, every resource and state restored.
int RecreateDevice(int32_t modeChange) {
    ScreenState& s = Screen();
    const DrawState saved = g_drawState;
    if (s.d3dActive) {
        ReleaseDeviceResources();
        ReleaseMovieSurfaces();
    }
    TerminateDirect3D9();
    // A mode change has stored its new mode already; a lost device restarts input.
    if (!modeChange) RestartInput();
    if (SetupDirect3D9() != 0 || !s.d3dActive) {
        WriteLog("デバイスを作り直せませんでした。ソフトウエアで描画します\n");
        SetDrawTarget(saved.drawTarget);
        return -1;
    }
    RestoreDeviceResources();
    RestoreMovieSurfaces();
    SetDrawTarget(saved.drawTarget);
    ReapplyDeviceStates();
    for (int i = 0; i < 2; ++i) {
        ClearDrawTarget(nullptr);
        PresentFrame();
    }
    if (modeChange) {
        RestoreImagesFromFiles();
        RestoreModelTextures();
        RecreateAllFonts();
    } else {
        RunImageRestore();
    }
    if (saved.blendImageHandle != -1) {
        SetDeviceBlendImage(ImageFirstTexture(saved.blendImageHandle), saved.blendImageBorderParameter,
                            saved.blendImageBorderRange);
    }
    RestoreDeviceStates();
    RestoreModelBuffers();
    g_drawState.lightsChanged = 1;
    if (!modeChange) {
        SetDrawRegion(saved.drawAreaLeft, saved.drawAreaTop, saved.drawAreaRight, saved.drawAreaBottom);
        ReapplySavedCamera(saved);
    }
    return 0;
}

}  // namespace

// A window-mode change met by the message pump of input's restart would make
// the device again inside this re-creation; it waits until this one is done.
int ResetGraphicsDevice(int32_t modeChange) {
    const bool held = HoldWindowModeChange(true);
    const int result = RecreateDevice(modeChange);
    HoldWindowModeChange(held);
    return result;
}

int StretchSurfaceIntoImage(IDirect3DSurface9* surface, const ImageRecord* record, const RECT& source) {
    DeviceBlock& d = Device();
    const ImagePicture* picture = record->picture;
    if (d.device == nullptr || surface == nullptr || picture->textures == nullptr) return -1;
    D3DSURFACE_DESC desc{};
    surface->GetDesc(&desc);
    // The frame's rectangle within the picture, cut to the image and the surface.
    if (source.left < 0 || source.top < 0) return -1;
    const int32_t w = std::min({source.right - source.left, record->width,
                                static_cast<int32_t>(desc.Width) - static_cast<int32_t>(source.left)});
    const int32_t h = std::min({source.bottom - source.top, record->height,
                                static_cast<int32_t>(desc.Height) - static_cast<int32_t>(source.top)});
    if (w <= 0 || h <= 0) return -1;
    FlushVertexBatch();
    EndDeviceScene();
    for (int32_t i = 0; i < picture->textureCount; ++i) {
        const ImageTexture& t = picture->textures[i];
        const RECT part{std::max(record->x, t.x), std::max(record->y, t.y),
                        std::min(record->x + w, t.x + t.usedWidth), std::min(record->y + h, t.y + t.usedHeight)};
        if (part.left >= part.right || part.top >= part.bottom) continue;
        if (t.surface == nullptr) return -1;
        const RECT from{source.left + part.left - record->x, source.top + part.top - record->y,
                        source.left + part.right - record->x, source.top + part.bottom - record->y};
        const RECT to{part.left - t.x, part.top - t.y, part.right - t.x, part.bottom - t.y};
        if (FAILED(d.device->StretchRect(surface, &from, t.surface, &to, D3DTEXF_NONE))) return -1;
    }
    return 0;
}

int SetImageRestoreCallback(ImageRestoreCallback callback) {
    g_restoreCallback = callback;
    return 0;
}

int RunImageRestore() {
    if (g_restoreCallback != nullptr) {
        g_restoreCallback();
    } else {
        RestoreImagesFromFiles();
    }
    // The model textures are rebuilt from their sources, and the fonts'
    // glyph caches lost their textures with the device.
    RestoreModelTextures();
    RecreateAllFonts();
    return 0;
}

int RestoreImagesFromFiles() {
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record == nullptr) continue;
        ReloadPicture(record);
        // Every picture's textures take its pixels again, reloaded or kept.
        if (record->x == 0 && record->y == 0)
            UploadPictureRect(record->picture, 0, 0, record->picture->width, record->picture->height);
    }
    return 0;
}

int CopyScreenToImage(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t destX, int32_t destY, int32_t image) {
    ImageRecord* record = FindImageLogged(image, "CopyScreenToImage");
    if (record == nullptr) return -1;
    if (!Screen().started) return WriteLog("グラフィックスが初期化されていません in CopyScreenToImage\n");
    const RECT rect{x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1};
    PixelImage locked{};
    if (LockDrawScreenRect(rect, &locked) != 0) {
        return WriteLogFormatted("画面の範囲が不正です(%d, %d, %d, %d) in CopyScreenToImage", x1, y1, x2, y2);
    }
    // Only what fits in the image from the destination point is copied.
    const int32_t w = std::min(locked.width, record->width - destX);
    const int32_t h = std::min(locked.height, record->height - destY);
    int result = 0;
    if (destX < 0 || destY < 0 || w <= 0 || h <= 0) {
        result = WriteLogFormatted("転送先の位置が不正です(%d, %d) in CopyScreenToImage", destX, destY);
    } else {
        const MEMIMG& m = record->memImg;
        uint8_t* to = m.pixels + static_cast<ptrdiff_t>(destY) * m.base->pitch + destX * m.base->colorFormat->pixelByte;
        result = ConvertPixelImageRect(&locked, 0, 0, w, h, m.base->colorFormat, to, m.base->pitch) == 0 ? 0 : -1;
    }
    UnlockDrawScreen();
    if (result == 0) UploadPictureRect(record->picture, record->x + destX, record->y + destY, w, h);
    return result;
}
