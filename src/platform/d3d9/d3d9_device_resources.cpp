// The device's resources: creation and the copies between them.
#include "platform/d3d9/d3d9_device.h"

#include <algorithm>
#include <memory>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";

UINT Limit() {
    D3DCAPS9 caps;
    FillCaps(&caps);
    return caps.MaxTextureWidth;
}

bool ValidPool(D3DPOOL pool) { return pool <= D3DPOOL_SCRATCH; }

// Keeps a new object when it allocated, else drops it.
template <typename T, typename Out>
HRESULT Deliver(std::unique_ptr<T> made, bool allocated, Out** out) {
    if (!allocated) {
        made.release()->Release();
        return D3DERR_OUTOFVIDEOMEMORY;
    }
    *out = made.release();
    return D3D_OK;
}

bool RectInside(const RECT& r, const D3DSURFACE_DESC& d) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<UINT>(r.right) <= d.Width && static_cast<UINT>(r.bottom) <= d.Height;
}

RECT WholeRect(const D3DSURFACE_DESC& d) { return RECT{0, 0, static_cast<LONG>(d.Width), static_cast<LONG>(d.Height)}; }

gl::Rect ToGl(const RECT& r) { return gl::Rect{r.left, r.top, r.right - r.left, r.bottom - r.top}; }

Surface* AsSurface(IDirect3DSurface9* s) { return dynamic_cast<Surface*>(s); }

// A Y'CbCr surface in the default pool goes onto a colour render target or
// onto a level of a texture the device draws from.
bool StretchesFromYuv(const Surface& s, const Surface& d) {
    return s.pool() == D3DPOOL_DEFAULT && d.format().yuv == YuvLayout::None &&
           (d.storage() == Storage::Gpu || d.storage() == Storage::Mirrored);
}

void StretchYuv(const Surface& s, const gl::Rect& from, Surface* d, const gl::Rect& to, bool linear) {
    std::vector<uint32_t> pixels(static_cast<size_t>(from.w) * from.h);
    s.ReadArgb(from, pixels.data());
    if (from.w == to.w && from.h == to.h) {
        d->WriteArgb(to, pixels.data());
        return;
    }
    std::vector<uint32_t> scaled(static_cast<size_t>(to.w) * to.h);
    ScaleArgb(pixels.data(), from.w, from.h, scaled.data(), to.w, to.h, linear);
    d->WriteArgb(to, scaled.data());
}

}  // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateTexture");
    if (FAILED(hr)) return hr;
    const FormatInfo* f = FindFormat(format);
    bool target = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (texture == nullptr || shared != nullptr || f == nullptr || !f->texture || !ValidPool(pool) ||
        !SizeAllowed(width, height, Limit()) || (target && (pool != D3DPOOL_DEFAULT || !f->renderTarget)) ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        *texture = nullptr;
        MakeCurrent();
        auto made = std::make_unique<Texture>(this, width, height, levels, usage, format, pool);
        bool ok = made->Allocate();
        hr = Deliver(std::move(made), ok, texture);
    }
    Record("CreateTexture", {width, height, levels, usage, format, pool}, hr);
    return hr;
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, IDirect3DVolumeTexture9** texture, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateVolumeTexture");
    if (FAILED(hr)) return hr;
    const FormatInfo* f = FindFormat(format);
    if (texture == nullptr || shared != nullptr || f == nullptr || !f->texture || !ValidPool(pool) ||
        !SizeAllowed(width, height, 256) || depth < 1 || depth > 256 || (usage & D3DUSAGE_RENDERTARGET))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        *texture = nullptr;
        auto made = std::make_unique<VolumeTexture>(this, width, height, depth, levels, usage, format, pool);
        bool ok = made->Allocate();
        hr = Deliver(std::move(made), ok, texture);
    }
    Record("CreateVolumeTexture", {width, height, depth, levels, usage, format, pool}, hr);
    return hr;
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                   DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateRenderTarget");
    if (FAILED(hr)) return hr;
    const FormatInfo* f = FindFormat(format);
    if (surface == nullptr || shared != nullptr || f == nullptr || !f->renderTarget ||
        multiSample != D3DMULTISAMPLE_NONE || quality != 0 || !SizeAllowed(width, height, Limit()))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        *surface = nullptr;
        MakeCurrent();
        D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT, multiSample, 0, width,
                             height};
        auto made = std::make_unique<Surface>(this, desc, Storage::Gpu, lockable != FALSE, nullptr, false);
        bool ok = made->Allocate();
        hr = Deliver(std::move(made), ok, surface);
    }
    Record("CreateRenderTarget", {width, height, format, multiSample, quality, lockable}, hr);
    return hr;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                          DWORD quality, BOOL discard, IDirect3DSurface9** surface, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateDepthStencilSurface");
    if (FAILED(hr)) return hr;
    const FormatInfo* f = FindFormat(format);
    if (surface == nullptr || shared != nullptr || f == nullptr || !f->depth || multiSample != D3DMULTISAMPLE_NONE ||
        quality != 0 || !SizeAllowed(width, height, Limit()))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        *surface = nullptr;
        MakeCurrent();
        D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, multiSample, 0, width,
                             height};
        auto made = std::make_unique<Surface>(this, desc, Storage::Depth, false, nullptr, false);
        bool ok = made->Allocate();
        hr = Deliver(std::move(made), ok, surface);
    }
    Record("CreateDepthStencilSurface", {width, height, format, multiSample, quality, discard}, hr);
    return hr;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* shared) {
    HRESULT hr = Enter(kDevice, "CreateOffscreenPlainSurface");
    if (FAILED(hr)) return hr;
    const FormatInfo* f = FindFormat(format);
    bool yuv = f != nullptr && f->yuv != YuvLayout::None;
    if (surface == nullptr || shared != nullptr || f == nullptr || !(f->texture || yuv) || !ValidPool(pool) ||
        pool == D3DPOOL_MANAGED || !SizeAllowed(width, height, Limit()) || !YuvSizeAllowed(*f, width, height))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        *surface = nullptr;
        MakeCurrent();
        D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, 0, pool, D3DMULTISAMPLE_NONE, 0, width, height};
        // Y'CbCr pixels stay in memory and are converted when stretched.
        Storage storage = pool == D3DPOOL_DEFAULT && !yuv ? Storage::Gpu : Storage::Cpu;
        auto made = std::make_unique<Surface>(this, desc, storage, true, nullptr, false);
        bool ok = made->Allocate();
        hr = Deliver(std::move(made), ok, surface);
    }
    Record("CreateOffscreenPlainSurface", {width, height, format, pool}, hr);
    return hr;
}

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                              const POINT* destPoint) {
    HRESULT hr = Enter(kDevice, "UpdateSurface");
    if (FAILED(hr)) return hr;
    Surface* s = AsSurface(source);
    Surface* d = AsSurface(dest);
    if (s == nullptr || d == nullptr || s->pool() != D3DPOOL_SYSTEMMEM || d->pool() != D3DPOOL_DEFAULT ||
        s->desc().Format != d->desc().Format || s->locked() || d->locked() || d->storage() == Storage::Depth ||
        s->format().yuv != YuvLayout::None)
        return D3DERR_INVALIDCALL;
    RECT from = sourceRect != nullptr ? *sourceRect : WholeRect(s->desc());
    POINT at = destPoint != nullptr ? *destPoint : POINT{0, 0};
    RECT to{at.x, at.y, at.x + (from.right - from.left), at.y + (from.bottom - from.top)};
    if (!RectInside(from, s->desc()) || !RectInside(to, d->desc())) return D3DERR_INVALIDCALL;
    MakeCurrent();
    std::vector<uint32_t> pixels(static_cast<size_t>(from.right - from.left) * (from.bottom - from.top));
    s->ReadArgb(ToGl(from), pixels.data());
    d->WriteArgb(ToGl(to), pixels.data());
    return D3D_OK;
}

HRESULT Device::UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) {
    HRESULT hr = Enter(kDevice, "UpdateTexture");
    if (FAILED(hr)) return hr;
    BaseTexture* s = AsBaseTexture(source);
    BaseTexture* d = AsBaseTexture(dest);
    if (s == nullptr || d == nullptr || s->pool() != D3DPOOL_SYSTEMMEM || d->pool() != D3DPOOL_DEFAULT)
        hr = D3DERR_INVALIDCALL;
    else if (auto* sv = dynamic_cast<VolumeTexture*>(s))
        hr = dynamic_cast<VolumeTexture*>(d) != nullptr && static_cast<VolumeTexture*>(d)->CopyFrom(*sv)
                 ? D3D_OK
                 : D3DERR_INVALIDCALL;
    else {
        auto* st = dynamic_cast<Texture*>(s);
        auto* dt = dynamic_cast<Texture*>(d);
        hr = st != nullptr && dt != nullptr ? D3D_OK : D3DERR_INVALIDCALL;
        for (UINT i = 0; SUCCEEDED(hr) && i < dt->GetLevelCount(); ++i) {
            Surface* from = st->Level(i);
            Surface* to = dt->Level(i);
            if (from == nullptr || from->desc().Width != to->desc().Width ||
                from->desc().Height != to->desc().Height || from->desc().Format != to->desc().Format) {
                hr = D3DERR_INVALIDCALL;
                break;
            }
            MakeCurrent();
            if (to->CopyMemoryFrom(*from)) continue;
            std::vector<uint32_t> pixels(static_cast<size_t>(from->desc().Width) * from->desc().Height);
            from->ReadArgb(from->Whole(), pixels.data());
            to->WriteArgb(to->Whole(), pixels.data());
        }
    }
    Record("UpdateTexture", {}, hr);
    return hr;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) {
    HRESULT hr = Enter(kDevice, "GetRenderTargetData");
    if (FAILED(hr)) return hr;
    Surface* s = AsSurface(renderTarget);
    Surface* d = AsSurface(dest);
    if (s == nullptr || d == nullptr || !s->IsRenderTarget() || d->pool() != D3DPOOL_SYSTEMMEM ||
        s->desc().Width != d->desc().Width || s->desc().Height != d->desc().Height ||
        s->desc().Format != d->desc().Format || d->locked())
        hr = D3DERR_INVALIDCALL;
    else if (lost_)
        hr = D3DERR_DEVICELOST;
    if (SUCCEEDED(hr)) {
        MakeCurrent();
        std::vector<uint32_t> pixels(static_cast<size_t>(s->desc().Width) * s->desc().Height);
        s->ReadArgb(s->Whole(), pixels.data());
        d->WriteArgb(d->Whole(), pixels.data());
    }
    Record("GetRenderTargetData", {}, hr);
    return hr;
}

HRESULT Device::StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                            const RECT* destRect, D3DTEXTUREFILTERTYPE filter) {
    HRESULT hr = Enter(kDevice, "StretchRect");
    if (FAILED(hr)) return hr;
    Surface* s = AsSurface(source);
    Surface* d = AsSurface(dest);
    RECT from = s != nullptr ? (sourceRect != nullptr ? *sourceRect : WholeRect(s->desc())) : RECT{};
    RECT to = d != nullptr ? (destRect != nullptr ? *destRect : WholeRect(d->desc())) : RECT{};
    bool yuv = s != nullptr && s->format().yuv != YuvLayout::None;
    if (s == nullptr || d == nullptr || s == d || inScene_ || s->locked() || d->locked() ||
        !RectInside(from, s->desc()) || !RectInside(to, d->desc()) || filter > D3DTEXF_LINEAR)
        hr = D3DERR_INVALIDCALL;
    else if (yuv ? !StretchesFromYuv(*s, *d) : s->storage() != Storage::Gpu || d->storage() != Storage::Gpu ||
                                                   (!d->IsRenderTarget() && d->desc().Usage != 0))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && !lost_) {
        MakeCurrent();
        if (yuv)
            StretchYuv(*s, ToGl(from), d, ToGl(to), filter == D3DTEXF_LINEAR);
        else
            gl::Blit(s->glTexture(), s->glLevel(), ToGl(from), d->AsTarget(nullptr), ToGl(to),
                     filter == D3DTEXF_LINEAR);
    }
    Record("StretchRect", {from.left, from.top, from.right, from.bottom, to.left, to.top, to.right, to.bottom, filter},
           hr);
    return hr;
}

HRESULT Device::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) {
    HRESULT hr = Enter(kDevice, "ColorFill");
    if (FAILED(hr)) return hr;
    Surface* s = AsSurface(surface);
    RECT area = s != nullptr ? (rect != nullptr ? *rect : WholeRect(s->desc())) : RECT{};
    if (s == nullptr || s->storage() != Storage::Gpu || s->locked() || !RectInside(area, s->desc()))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && !lost_) {
        MakeCurrent();
        gl::Clear(s->AsTarget(nullptr), ToGl(area), true, color, 0xF, false, 0.0f);
    }
    Record("ColorFill", {area.left, area.top, area.right, area.bottom, color}, hr);
    return hr;
}

}  // namespace d3d9
