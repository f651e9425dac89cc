#include "platform/d3d9/d3d9_device.h"

#include <algorithm>
#include <new>

namespace d3d9 {

UINT LevelCount(UINT width, UINT height, UINT depth, UINT requested) {
    UINT largest = std::max({width, height, depth, 1u});
    UINT full = 1;
    while (largest > 1) {
        largest >>= 1;
        ++full;
    }
    return requested == 0 ? full : std::min(requested, full);
}

bool SizeAllowed(UINT width, UINT height, UINT limit) {
    return width >= 1 && height >= 1 && width <= limit && height <= limit;
}

BaseTexture* AsBaseTexture(IDirect3DBaseTexture9* texture) { return dynamic_cast<BaseTexture*>(texture); }

// ---- Texture ---------------------------------------------------------------------
Texture::Texture(Device* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : BaseTexture(device, false, pool),
      desc_{format, D3DRTYPE_SURFACE, usage, pool, D3DMULTISAMPLE_NONE, 0, width, height} {
    levels_.resize(LevelCount(width, height, 1, levels));
}

Texture::~Texture() {
    levels_.clear();
    device()->MakeCurrent();
    gl::DeleteTexture(glTexture_);
}

bool Texture::Allocate() {
    bool cpu = desc_.Pool == D3DPOOL_SYSTEMMEM || desc_.Pool == D3DPOOL_SCRATCH;
    bool target = (desc_.Usage & D3DUSAGE_RENDERTARGET) != 0;
    const FormatInfo* format = FindFormat(desc_.Format);
    if (!cpu) {
        glTexture_ = gl::NewColorTexture(static_cast<int>(desc_.Width), static_cast<int>(desc_.Height),
                                         static_cast<int>(levels_.size()), format->alpha ? 0u : 0xFF000000u);
        if (glTexture_ == 0) return false;
    }
    Storage storage = cpu ? Storage::Cpu : target ? Storage::Gpu : Storage::Mirrored;
    bool lockable = cpu || desc_.Pool == D3DPOOL_MANAGED || (!target && (desc_.Usage & D3DUSAGE_DYNAMIC));
    for (size_t i = 0; i < levels_.size(); ++i) {
        D3DSURFACE_DESC level = desc_;
        level.Width = std::max(1u, desc_.Width >> i);
        level.Height = std::max(1u, desc_.Height >> i);
        levels_[i] = std::make_unique<Surface>(device(), level, storage, lockable, this, true);
        if (!levels_[i]->Allocate(glTexture_, static_cast<int>(i))) return false;
    }
    return true;
}

HRESULT Texture::QueryInterface(REFIID iid, void** object) {
    return QueryChild(static_cast<IDirect3DTexture9*>(this), iid, object);
}

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
    if (HRESULT seam = Enter("IDirect3DTexture9", "GetLevelDesc"); FAILED(seam)) return seam;
    Surface* s = Level(level);
    if (s == nullptr || desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = s->desc();
    return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    HRESULT hr = Enter("IDirect3DTexture9", "GetSurfaceLevel");
    if (FAILED(hr)) return hr;
    Surface* s = Level(level);
    if (s == nullptr || surface == nullptr) return D3DERR_INVALIDCALL;
    s->AddRef();
    *surface = s;
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    HRESULT hr = Enter("IDirect3DTexture9", "LockRect");
    if (FAILED(hr)) return hr;
    Surface* s = Level(level);
    hr = s != nullptr ? s->Lock(locked, rect, flags) : D3DERR_INVALIDCALL;
    Record("Texture::LockRect", {level, flags}, hr);
    return hr;
}

HRESULT Texture::UnlockRect(UINT level) {
    HRESULT hr = Enter("IDirect3DTexture9", "UnlockRect");
    if (FAILED(hr)) return hr;
    Surface* s = Level(level);
    return s != nullptr ? s->Unlock() : D3DERR_INVALIDCALL;
}

// ---- VolumeTexture -----------------------------------------------------------------
VolumeTexture::VolumeTexture(Device* device, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool)
    : BaseTexture(device, false, pool), format_(FindFormat(format)) {
    levels_.resize(LevelCount(width, height, depth, levels));
    for (size_t i = 0; i < levels_.size(); ++i)
        levels_[i].desc = D3DVOLUME_DESC{format, D3DRTYPE_VOLUME, usage, pool, std::max(1u, width >> i),
                                         std::max(1u, height >> i), std::max(1u, depth >> i)};
}

bool VolumeTexture::Allocate() {
    for (Level& l : levels_)
        if (!l.memory.Assign(static_cast<size_t>(l.desc.Width) * l.desc.Height * l.desc.Depth * format_->bytesPerPixel))
            return false;
    return true;
}

HRESULT VolumeTexture::QueryInterface(REFIID iid, void** object) {
    return QueryChild(static_cast<IDirect3DVolumeTexture9*>(this), iid, object);
}

HRESULT VolumeTexture::GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) {
    if (HRESULT seam = Enter("IDirect3DVolumeTexture9", "GetLevelDesc"); FAILED(seam)) return seam;
    if (level >= levels_.size() || desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = levels_[level].desc;
    return D3D_OK;
}

HRESULT VolumeTexture::LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) {
    HRESULT hr = Enter("IDirect3DVolumeTexture9", "LockBox");
    if (FAILED(hr)) return hr;
    if (level >= levels_.size() || locked == nullptr || levels_[level].locked) return D3DERR_INVALIDCALL;
    Level& l = levels_[level];
    if (l.memory.empty()) return D3DERR_OUTOFVIDEOMEMORY;  // a copy into it found no memory
    // A default-pool volume is video memory: only DYNAMIC ones lock.
    if (pool() == D3DPOOL_DEFAULT && !(l.desc.Usage & D3DUSAGE_DYNAMIC)) return D3DERR_INVALIDCALL;
    D3DBOX b = box != nullptr ? *box : D3DBOX{0, 0, l.desc.Width, l.desc.Height, 0, l.desc.Depth};
    if (b.Left >= b.Right || b.Top >= b.Bottom || b.Front >= b.Back || b.Right > l.desc.Width ||
        b.Bottom > l.desc.Height || b.Back > l.desc.Depth)
        return D3DERR_INVALIDCALL;
    size_t row = static_cast<size_t>(l.desc.Width) * format_->bytesPerPixel;
    size_t slice = row * l.desc.Height;
    locked->RowPitch = static_cast<INT>(row);
    locked->SlicePitch = static_cast<INT>(slice);
    locked->pBits = l.memory.data() + b.Front * slice + b.Top * row + b.Left * format_->bytesPerPixel;
    l.locked = true;
    (void)flags;
    return D3D_OK;
}

HRESULT VolumeTexture::UnlockBox(UINT level) {
    if (HRESULT seam = Enter("IDirect3DVolumeTexture9", "UnlockBox"); FAILED(seam)) return seam;
    if (level >= levels_.size() || !levels_[level].locked) return D3DERR_INVALIDCALL;
    levels_[level].locked = false;
    return D3D_OK;
}

bool VolumeTexture::CopyFrom(const VolumeTexture& source) {
    if (source.levels_.size() != levels_.size() || source.format_ != format_) return false;
    for (size_t i = 0; i < levels_.size(); ++i) {
        const D3DVOLUME_DESC &a = source.levels_[i].desc, &b = levels_[i].desc;
        if (a.Width != b.Width || a.Height != b.Height || a.Depth != b.Depth) return false;
    }
    for (size_t i = 0; i < levels_.size(); ++i)
        if (!levels_[i].memory.CopyFrom(source.levels_[i].memory)) return false;
    return true;
}

}  // namespace d3d9
