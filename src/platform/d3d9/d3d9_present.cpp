// The present: the back buffer's source rectangle scaled (nearest) onto the
// destination rectangle of the window's client area, on the graphics card.
// The context is made current on the window, the back buffer is copied into
// its drawable and the window swapped; the frame reaches memory only when the
// window's picture is read (a capture), from a copy kept on the card. A
// window that cannot carry an OpenGL drawable gets its frames through its
// picture instead, read back and scaled on the CPU.
#include "platform/d3d9/d3d9_device.h"
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/user32.h"

#include <algorithm>

namespace d3d9 {
namespace {

// Copies the source rectangle of a picture into the dest rectangle of the
// window picture, scaled nearest, dropping what falls outside it.
void ScaleInto(const std::vector<uint32_t>& src, int srcPitch, const RECT& s, uint32_t* dst, int dw, int dh,
               const RECT& d) {
    int sw = s.right - s.left, sh = s.bottom - s.top, tw = d.right - d.left, th = d.bottom - d.top;
    if (sw < 1 || sh < 1 || tw < 1 || th < 1) return;
    for (int y = std::max(0, static_cast<int>(d.top)); y < std::min(dh, static_cast<int>(d.bottom)); ++y) {
        int sy = s.top + static_cast<int>((static_cast<int64_t>(y - d.top) * sh) / th);
        for (int x = std::max(0, static_cast<int>(d.left)); x < std::min(dw, static_cast<int>(d.right)); ++x) {
            int sx = s.left + static_cast<int>((static_cast<int64_t>(x - d.left) * sw) / tw);
            dst[static_cast<size_t>(y) * dw + x] = src[static_cast<size_t>(sy) * srcPitch + sx] & 0x00FFFFFFu;
        }
    }
}

gl::Rect AsRect(const RECT& r) {
    return gl::Rect{static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
                    static_cast<int>(r.bottom - r.top)};
}

// A client rectangle in the drawable, where the client picture lands with its
// aspect kept (full screen letterboxes it).
gl::Rect InDrawable(const RECT& r, int clientW, int clientH, int drawableW, int drawableH) {
    const platform::sdl::Letterbox box = platform::sdl::ComputeLetterbox(drawableW, drawableH, clientW, clientH);
    const auto x = [&](LONG v) { return box.x + static_cast<int>(static_cast<int64_t>(v) * box.width / clientW); };
    const auto y = [&](LONG v) { return box.y + static_cast<int>(static_cast<int64_t>(v) * box.height / clientH); };
    return gl::Rect{x(r.left), y(r.top), x(r.right) - x(r.left), y(r.bottom) - y(r.top)};
}

}  // namespace

uint64_t PixelReadCount() { return gl::ReadCount(); }

HRESULT Device::PresentFrame(const RECT* sourceRect, const RECT* destRect, HWND window) {
    if (inScene_) return D3DERR_INVALIDCALL;
    if ((sourceRect != nullptr || destRect != nullptr) && params_.SwapEffect != D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    const D3DSURFACE_DESC& bb = backBuffer_->desc();
    RECT source = sourceRect != nullptr ? *sourceRect : RECT{0, 0, static_cast<LONG>(bb.Width), static_cast<LONG>(bb.Height)};
    if (source.left < 0 || source.top < 0 || source.left >= source.right || source.top >= source.bottom ||
        source.right > static_cast<LONG>(bb.Width) || source.bottom > static_cast<LONG>(bb.Height))
        return D3DERR_INVALIDCALL;
    MakeCurrent();
    HWND target = window != nullptr ? window : params_.hDeviceWindow != nullptr ? params_.hDeviceWindow : focus_;
    POINT offset{};
    HWND shown = platform::PictureWindow(target, &offset);
    uint32_t id = platform::WindowBackendId(shown);
    RECT client{}, whole{};
    if (id != 0 && GetClientRect(target, &client) && GetClientRect(shown, &whole) && whole.right > 0 &&
        whole.bottom > 0) {
        RECT dest = destRect != nullptr ? *destRect : client;
        dest.left += offset.x;
        dest.right += offset.x;
        dest.top += offset.y;
        dest.bottom += offset.y;
        if (!PresentOnCard(id, source, dest, whole.right, whole.bottom)) PresentThroughPicture(id, source, dest);
    }
    WaitForInterval();
    return D3D_OK;
}

bool Device::PresentOnCard(uint32_t windowId, const RECT& source, const RECT& dest, int pictureWidth,
                           int pictureHeight) {
    if (cardRefused_) return false;
    int dw = 0, dh = 0;
    if (!platform::sdl::BeginWindowGL(windowId, &dw, &dh)) {
        cardRefused_ = true;
        platform::sdl::EndWindowGL(windowId);
        MakeCurrent();
        return false;
    }
    const D3DSURFACE_DESC& bb = backBuffer_->desc();
    const int w = static_cast<int>(bb.Width), h = static_cast<int>(bb.Height);
    if (shownTexture_ == 0 || shownWidth_ != w || shownHeight_ != h) {
        gl::DeleteTexture(shownTexture_);
        shownTexture_ = gl::NewColorTexture(w, h, 1, 0xFF000000u);
        shownWidth_ = w, shownHeight_ = h;
    }
    const gl::Rect all{0, 0, w, h};
    gl::Blit(backBuffer_->glTexture(), backBuffer_->glLevel(), all, gl::Target{shownTexture_, 0, 0, true}, all, false);
    gl::PresentToWindow(backBuffer_->glTexture(), backBuffer_->glLevel(), AsRect(source),
                        InDrawable(dest, pictureWidth, pictureHeight, dw, dh), dw, dh);
    platform::sdl::SwapWindowGL(windowId);
    shownSource_ = source;
    shownDest_ = dest;
    if (glWindow_ != windowId) {
        if (glWindow_ != 0) platform::sdl::EndWindowGL(glWindow_);
        glWindow_ = windowId;
        platform::sdl::SetWindowPictureSource(windowId, [this](uint32_t* p, int pw, int ph) { PaintShown(p, pw, ph); });
    }
    return true;
}

void Device::PresentThroughPicture(uint32_t windowId, const RECT& source, const RECT& dest) {
    const D3DSURFACE_DESC& bb = backBuffer_->desc();
    presentPixels_.resize(static_cast<size_t>(bb.Width) * bb.Height);
    backBuffer_->ReadArgb(backBuffer_->Whole(), presentPixels_.data());
    int pw = 0, ph = 0;
    uint32_t* picture = platform::sdl::LockWindowPicture(windowId, &pw, &ph);
    if (picture == nullptr) return;
    ScaleInto(presentPixels_, static_cast<int>(bb.Width), source, picture, pw, ph, dest);
    platform::sdl::UnlockWindowPicture(windowId, true);
}

void Device::PaintShown(uint32_t* picture, int width, int height) {
    if (shownTexture_ == 0) return;
    MakeCurrent();
    presentPixels_.resize(static_cast<size_t>(shownWidth_) * shownHeight_);
    gl::ReadColor(shownTexture_, 0, gl::Rect{0, 0, shownWidth_, shownHeight_}, presentPixels_.data());
    ScaleInto(presentPixels_, shownWidth_, shownSource_, picture, width, height, shownDest_);
}

void Device::EndPresentOnCard() {
    if (glWindow_ != 0) {
        // The window's picture keeps the last frame shown, as after a present
        // through it.
        int pw = 0, ph = 0;
        if (uint32_t* picture = platform::sdl::LockWindowPicture(glWindow_, &pw, &ph)) {
            PaintShown(picture, pw, ph);
            platform::sdl::UnlockWindowPicture(glWindow_, false);
        }
        platform::sdl::EndWindowGL(glWindow_);
    }
    glWindow_ = 0;
    gl::DeleteTexture(shownTexture_);
    shownTexture_ = 0;
}

}  // namespace d3d9
