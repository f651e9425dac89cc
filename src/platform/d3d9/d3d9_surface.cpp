#include "platform/d3d9/d3d9_device.h"

#include <algorithm>
#include <new>

namespace d3d9 {
namespace {

bool InsideSurface(const RECT& r, const D3DSURFACE_DESC& d) {
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
           static_cast<UINT>(r.right) <= d.Width && static_cast<UINT>(r.bottom) <= d.Height;
}

}  // namespace

Surface::Surface(Device* device, const D3DSURFACE_DESC& desc, Storage storage, bool lockable, Resource* owner,
                 bool implicit)
    : Resource(device, implicit || owner != nullptr, desc.Pool), desc_(desc), format_(FindFormat(desc.Format)),
      storage_(storage), lockable_(lockable), owner_(owner), pitch_(SurfacePitch(*format_, desc.Width)) {}

Surface::~Surface() {
    device()->MakeCurrent();
    if (ownsTexture_) gl::DeleteTexture(glTexture_);
    gl::DeleteDepthBuffer(glDepth_);
}

bool Surface::Allocate(uint32_t glTexture, int glLevel) {
    int w = static_cast<int>(desc_.Width), h = static_cast<int>(desc_.Height);
    uint32_t fill = format_->alpha ? 0u : 0xFF000000u;
    if (storage_ == Storage::Depth) {
        glDepth_ = gl::NewDepthBuffer(w, h, format_->depthBits);
        return glDepth_ != 0;
    }
    if (storage_ != Storage::Gpu) {
        if (!memory_.Assign(SurfaceBytes(*format_, desc_.Width, desc_.Height))) return false;
    }
    if (storage_ == Storage::Cpu) return true;
    glLevel_ = glLevel;
    glTexture_ = glTexture;
    if (glTexture_ == 0) {
        glTexture_ = gl::NewColorTexture(w, h, 1, fill);
        ownsTexture_ = glTexture_ != 0;
    }
    return glTexture_ != 0;
}

HRESULT Surface::QueryInterface(REFIID iid, void** object) {
    return QueryChild(static_cast<IDirect3DSurface9*>(this), iid, object);
}

ULONG Surface::AddRef() { return owner_ != nullptr ? owner_->AddRefResource() : AddRefResource(); }
ULONG Surface::Release() { return owner_ != nullptr ? owner_->ReleaseResource() : ReleaseResource(); }

HRESULT Surface::GetDevice(IDirect3DDevice9** device) {
    if (HRESULT seam = Enter("IDirect3DSurface9", "GetDevice"); FAILED(seam)) return seam;
    return GetDeviceOf(this, device);
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
    if (HRESULT seam = Enter("IDirect3DSurface9", "GetDesc"); FAILED(seam)) return seam;
    if (desc == nullptr) return D3DERR_INVALIDCALL;
    *desc = desc_;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    HRESULT hr = Enter("IDirect3DSurface9", "LockRect");
    if (FAILED(hr)) return hr;
    hr = Lock(locked, rect, flags);
    Record("LockRect", {rect ? rect->left : -1, rect ? rect->top : -1, rect ? rect->right : -1,
                        rect ? rect->bottom : -1, flags}, hr);
    return hr;
}

HRESULT Surface::UnlockRect() {
    HRESULT hr = Enter("IDirect3DSurface9", "UnlockRect");
    if (FAILED(hr)) return hr;
    hr = Unlock();
    Record("UnlockRect", {}, hr);
    return hr;
}

HRESULT Surface::Lock(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (locked == nullptr || locked_ || !lockable_ || storage_ == Storage::Depth) return D3DERR_INVALIDCALL;
    RECT r = rect != nullptr ? *rect : RECT{0, 0, static_cast<LONG>(desc_.Width), static_cast<LONG>(desc_.Height)};
    if (!InsideSurface(r, desc_) || !YuvRectAllowed(*format_, r)) return D3DERR_INVALIDCALL;
    size_t pitch = pitch_;
    if (storage_ == Storage::Gpu) {
        if (memory_.empty()) {
            if (!memory_.Assign(pitch * desc_.Height)) return D3DERR_OUTOFVIDEOMEMORY;
        }
        device()->MakeCurrent();
        gl::Rect area{r.left, r.top, r.right - r.left, r.bottom - r.top};
        std::vector<uint32_t> argb(static_cast<size_t>(area.w) * area.h);
        gl::ReadColor(glTexture_, glLevel_, area, argb.data());
        for (int y = 0; y < area.h; ++y)
            FromArgb(*format_, argb.data() + static_cast<size_t>(y) * area.w,
                     memory_.data() + (r.top + y) * pitch + r.left * format_->bytesPerPixel, area.w);
    }
    locked->Pitch = static_cast<INT>(pitch);
    locked->pBits = memory_.data() + r.top * pitch + r.left * format_->bytesPerPixel;
    locked_ = true;
    lockRect_ = r;
    lockFlags_ = flags;
    return D3D_OK;
}

HRESULT Surface::Unlock() {
    if (!locked_) return D3DERR_INVALIDCALL;
    locked_ = false;
    if (storage_ == Storage::Cpu || (lockFlags_ & D3DLOCK_READONLY)) return D3D_OK;
    device()->MakeCurrent();
    SendMemory(gl::Rect{lockRect_.left, lockRect_.top, lockRect_.right - lockRect_.left, lockRect_.bottom - lockRect_.top});
    return D3D_OK;
}

void Surface::SendMemory(const gl::Rect& area) {
    std::vector<uint32_t> argb(static_cast<size_t>(area.w) * area.h);
    for (int y = 0; y < area.h; ++y)
        ToArgb(*format_, memory_.data() + (area.y + y) * pitch_ + area.x * format_->bytesPerPixel,
               argb.data() + static_cast<size_t>(y) * area.w, area.w);
    gl::WriteColor(glTexture_, glLevel_, area, argb.data());
}

bool Surface::CopyMemoryFrom(const Surface& from) {
    if (storage_ != Storage::Mirrored || from.storage_ == Storage::Gpu || from.storage_ == Storage::Depth ||
        from.format_ != format_ || format_->yuv != YuvLayout::None || from.pitch_ != pitch_ ||
        from.desc_.Width != desc_.Width || from.desc_.Height != desc_.Height || from.memory_.size() != memory_.size())
        return false;
    if (memory_.size() > 0) std::memcpy(memory_.data(), from.memory_.data(), memory_.size());
    SendMemory(Whole());
    return true;
}

gl::Target Surface::AsTarget(const Surface* depth) const {
    return gl::Target{glTexture_, glLevel_, depth != nullptr ? depth->glDepth_ : 0u, format_->alpha};
}

void Surface::ReadArgb(const gl::Rect& area, uint32_t* argb) const {
    if (format_->yuv != YuvLayout::None) {
        YuvToArgb(*format_, memory_.data(), pitch_, desc_.Height, area.x, area.y, area.w, area.h, argb);
        return;
    }
    if (storage_ == Storage::Gpu) {
        gl::ReadColor(glTexture_, glLevel_, area, argb);
        return;
    }
    size_t pitch = pitch_;
    for (int y = 0; y < area.h; ++y) {
        uint32_t* row = argb + static_cast<size_t>(y) * area.w;
        if (storage_ == Storage::Depth) {
            std::fill(row, row + area.w, 0u);
            continue;
        }
        ToArgb(*format_, memory_.data() + (area.y + y) * pitch + area.x * format_->bytesPerPixel, row, area.w);
    }
}

void Surface::WriteArgb(const gl::Rect& area, const uint32_t* argb) {
    if (storage_ == Storage::Depth || format_->yuv != YuvLayout::None || area.w < 1 || area.h < 1) return;
    std::vector<uint32_t> pixels(argb, argb + static_cast<size_t>(area.w) * area.h);
    if (!format_->alpha)
        for (uint32_t& p : pixels) p |= 0xFF000000u;
    if (storage_ != Storage::Gpu) {
        size_t pitch = pitch_;
        for (int y = 0; y < area.h; ++y)
            FromArgb(*format_, pixels.data() + static_cast<size_t>(y) * area.w,
                     memory_.data() + (area.y + y) * pitch + area.x * format_->bytesPerPixel, area.w);
        if (storage_ == Storage::Cpu) return;
        ReadArgb(area, pixels.data());  // what the format kept
    }
    gl::WriteColor(glTexture_, glLevel_, area, pixels.data());
}

}  // namespace d3d9
