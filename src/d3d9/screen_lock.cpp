// CPU read access to a rectangle of the draw target, on the device (in place
// or through a temporary render target) and on the software path, and the
// sub back buffer that full-screen device drawing goes into.
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics_internal.h"

namespace {

struct LockSource {
    IDirect3DSurface9* surface;
    D3DFORMAT format;
};

LockSource DeviceSource(const ImageRecord* image) {
    DeviceBlock& d = Device();
    if (image != nullptr && image->picture->textureCount > 0) {
        const ImagePicture* p = image->picture;
        return {p->textures[0].surface, d.textureFormats[p->deviceFormatIndex]};
    }
    return {d.subBackBuffer != nullptr ? d.subBackBuffer : d.backBuffer, d.backBufferFormat};
}

void FillOut(PixelImage* out, const ColorFormatInfo& format, int32_t width, int32_t height, int32_t pitch,
             void* pixels) {
    *out = PixelImage{};
    out->format = format;
    out->width = width;
    out->height = height;
    out->pitch = pitch;
    out->pixels = pixels;
    out->reserved = 0;
}

// Reads the rectangle through a render target into a system-memory surface.
int LockThroughTarget(const LockSource& source, const RECT& rect, D3DLOCKED_RECT* locked) {
    DeviceBlock& d = Device();
    const UINT w = static_cast<UINT>(rect.right - rect.left), h = static_cast<UINT>(rect.bottom - rect.top);
    IDirect3DSurface9 *target = nullptr, *memory = nullptr;
    if (FAILED(d.device->CreateRenderTarget(w, h, source.format, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr))) {
        return WriteLog("バックバッファロック用描画可能サーフェスの作成に失敗しました\n");
    }
    if (FAILED(d.device->CreateOffscreenPlainSurface(w, h, source.format, D3DPOOL_SYSTEMMEM, &memory, nullptr))) {
        target->Release();
        return WriteLog("バックバッファロック用システムメモリサーフェスの作成に失敗しました\n");
    }
    const RECT whole{0, 0, static_cast<LONG>(w), static_cast<LONG>(h)};
    HRESULT hr = d.device->StretchRect(source.surface, &rect, target, &whole, D3DTEXF_NONE);
    if (SUCCEEDED(hr)) hr = d.device->GetRenderTargetData(target, memory);
    if (SUCCEEDED(hr)) hr = memory->LockRect(locked, nullptr, D3DLOCK_READONLY);
    target->Release();
    if (FAILED(hr)) {
        // Nothing readable: the caller gets a failure, never stale memory.
        memory->Release();
        return WriteLogFormatted("画面の読み取りに失敗しました ErrorCode %x", static_cast<unsigned>(hr));
    }
    d.screenLock.temporary = memory;
    return 0;
}

int LockOnDevice(const ImageRecord* image, const RECT& rect, PixelImage* out) {
    DeviceBlock& d = Device();
    ScreenLockState& lock = d.screenLock;
    const LockSource source = DeviceSource(image);
    const ColorFormatInfo* format = GetDeviceColorFormat(source.format);
    if (source.surface == nullptr || format == nullptr) return -1;
    D3DLOCKED_RECT locked{};
    lock.temporary = lock.direct = nullptr;
    if (d.backBufferLock && SUCCEEDED(source.surface->LockRect(&locked, &rect, D3DLOCK_READONLY))) {
        lock.direct = source.surface;
    } else if (LockThroughTarget(source, rect, &locked) != 0) {
        return -1;
    }
    FillOut(out, *format, rect.right - rect.left, rect.bottom - rect.top, locked.Pitch, locked.pBits);
    return 0;
}

void LockInMemory(const ImageRecord* image, const RECT& rect, PixelImage* out) {
    const MEMIMG& m = image != nullptr ? image->memImg : Targets().screen;
    const int32_t bytes = m.base->colorFormat->pixelByte;
    uint8_t* pixels = m.pixels + static_cast<ptrdiff_t>(rect.top) * m.base->pitch + rect.left * bytes;
    FillOut(out, *m.base->colorFormat, rect.right - rect.left, rect.bottom - rect.top, m.base->pitch, pixels);
}

}  // namespace

int LockDrawScreenRect(const RECT& rect, PixelImage* out) {
    DeviceBlock& d = Device();
    FlushVertexBatch();
    if (d.d3d != nullptr) EndDeviceScene();
    if (out == nullptr || d.screenLock.locked) return -1;
    const DrawState& ds = g_drawState;
    const ImageRecord* image = ds.drawTarget >= 0 ? FindImage(ds.drawTarget) : nullptr;
    if (rect.left < 0 || rect.left >= rect.right || rect.top < 0 || rect.top >= rect.bottom ||
        rect.right > ds.drawTargetWidth || rect.bottom > ds.drawTargetHeight) {
        return -1;
    }
    if (Screen().d3dActive) {
        if (LockOnDevice(image, rect, out) != 0) return -1;
    } else {
        LockInMemory(image, rect, out);
    }
    d.screenLock.locked = 1;
    return 0;
}

int UnlockDrawScreen() {
    ScreenLockState& lock = Device().screenLock;
    if (!lock.locked) return 0;
    if (lock.temporary != nullptr) {
        lock.temporary->UnlockRect();
        lock.temporary->Release();
        lock.temporary = nullptr;
    } else if (lock.direct != nullptr) {
        lock.direct->UnlockRect();
        lock.direct = nullptr;
    }
    lock.locked = 0;
    return 0;
}

int CopySubBackBuffer() {
    DeviceBlock& d = Device();
    if (d.subBackBuffer != nullptr) return 0;
    FlushVertexBatch();
    if (d.d3d != nullptr) EndDeviceScene();
    if (CreateSubBackBuffer() != 0) return -1;
    d.device->StretchRect(d.backBuffer, nullptr, d.subBackBuffer, nullptr, D3DTEXF_NONE);
    int32_t& force = ForceResend();
    const int32_t saved = force;
    force = 1;
    SetDeviceRenderTarget(d.subBackBuffer);
    force = saved;
    return 0;
}
