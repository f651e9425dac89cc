// The Theora decoder's Direct3D 9 side: a Y'CbCr off-screen plain surface of
// the coded frame size, into which the current frame's planes are copied in
// the surface's own layout, for the device to convert while it stretches the
// frame into an image's texture. The surface lives in the device's default
// pool: it is released before the device is re-created and made anew after.
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics.h"
#include "movie/movie_internal.h"
#include "movie/theora_internal.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr D3DFORMAT kSurfaceFormats[] = {D3DFMT_YV12, D3DFMT_YUY2, D3DFMT_UYVY};
constexpr int kLockAttempts = 3;

IDirect3DSurface9* SurfaceOf(const TheoraDecoder* d) { return static_cast<IDirect3DSurface9*>(d->surface); }

// The copy of one frame's 4:2:0 planes into the locked surface (w x h pixels,
// both even or cut to even).
struct SurfaceCopy {
    const YuvPlanes& p;
    uint8_t* bits;
    int32_t pitch;
    int32_t w, h;       // the luma area copied
    int32_t rows;       // the surface's height (where the chroma planes of 'YV12' start)

    void Yv12() const {
        for (int32_t y = 0; y < h; ++y)
            std::memcpy(bits + static_cast<ptrdiff_t>(y) * pitch, p.y + static_cast<ptrdiff_t>(y) * p.yStride,
                        static_cast<size_t>(w));
        const int32_t half = pitch / 2;
        uint8_t* vPlane = bits + static_cast<ptrdiff_t>(pitch) * rows;
        uint8_t* uPlane = vPlane + static_cast<ptrdiff_t>(half) * (rows / 2);
        for (int32_t y = 0; y < h / 2; ++y) {
            std::memcpy(vPlane + static_cast<ptrdiff_t>(y) * half, p.v + static_cast<ptrdiff_t>(y) * p.uvStride,
                        static_cast<size_t>(w / 2));
            std::memcpy(uPlane + static_cast<ptrdiff_t>(y) * half, p.u + static_cast<ptrdiff_t>(y) * p.uvStride,
                        static_cast<size_t>(w / 2));
        }
    }
    // Pairs of pixels as Y0 U Y1 V ('YUY2') or U Y0 V Y1 ('UYVY').
    void Packed(bool lumaFirst) const {
        for (int32_t y = 0; y < h; ++y) {
            uint8_t* out = bits + static_cast<ptrdiff_t>(y) * pitch;
            const uint8_t* luma = p.y + static_cast<ptrdiff_t>(y) * p.yStride;
            const uint8_t* u = p.u + static_cast<ptrdiff_t>(y / 2) * p.uvStride;
            const uint8_t* v = p.v + static_cast<ptrdiff_t>(y / 2) * p.uvStride;
            for (int32_t x = 0; x < w; x += 2, out += 4) {
                const uint8_t c[4] = {luma[x], u[x / 2], luma[x + 1], v[x / 2]};
                if (lumaFirst) {
                    std::memcpy(out, c, 4);
                } else {
                    out[0] = c[1];
                    out[1] = c[0];
                    out[2] = c[3];
                    out[3] = c[2];
                }
            }
        }
    }
};

}  // namespace

void CreateTheoraSurface(TheoraDecoder* d) {
    ReleaseTheoraSurface(d);
    IDirect3DDevice9* device = Device().device;
    // Only 4:2:0 frames fit the surfaces' layouts; others come as pictures.
    if (!IsDirect3DActive() || device == nullptr || d->info.pixelformat != OC_PF_420) return;
    for (D3DFORMAT format : kSurfaceFormats) {
        IDirect3DSurface9* surface = nullptr;
        if (SUCCEEDED(device->CreateOffscreenPlainSurface(d->info.width, d->info.height, format, D3DPOOL_DEFAULT,
                                                          &surface, nullptr)) &&
            surface != nullptr) {
            d->surface = surface;
            d->surfaceFormat = static_cast<uint32_t>(format);
            return;
        }
    }
}

void ReleaseTheoraSurface(TheoraDecoder* d) {
    if (IDirect3DSurface9* surface = SurfaceOf(d)) surface->Release();
    d->surface = nullptr;
    d->surfaceFormat = 0;
    d->surfaceUpToDate = 0;
}

bool CopyFrameToSurface(TheoraDecoder* d, const YuvPlanes& planes) {
    if (planes.yWidth != 2 * planes.uvWidth || planes.yHeight != 2 * planes.uvHeight) return false;
    D3DLOCKED_RECT locked{};
    bool done = false;
    for (int attempt = 0; attempt < kLockAttempts && !done; ++attempt) {
        if (d->surface == nullptr) break;
        done = SUCCEEDED(SurfaceOf(d)->LockRect(&locked, nullptr, 0));
        if (!done) CreateTheoraSurface(d);  // a surface that will not lock is made anew
    }
    if (!done) return false;
    D3DSURFACE_DESC desc{};
    SurfaceOf(d)->GetDesc(&desc);
    const SurfaceCopy copy{planes, static_cast<uint8_t*>(locked.pBits), locked.Pitch,
                           std::min<int32_t>(planes.yWidth, static_cast<int32_t>(desc.Width)) & ~1,
                           std::min<int32_t>(planes.yHeight, static_cast<int32_t>(desc.Height)) & ~1,
                           static_cast<int32_t>(desc.Height)};
    if (d->surfaceFormat == static_cast<uint32_t>(D3DFMT_YV12)) {
        copy.Yv12();
    } else {
        copy.Packed(d->surfaceFormat == static_cast<uint32_t>(D3DFMT_YUY2));
    }
    SurfaceOf(d)->UnlockRect();
    return true;
}

namespace {

template <typename Action>
int ForEachTheoraMovie(Action action) {
    for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot) {
        MovieRecord* r = MovieAtSlot(slot);
        if (r != nullptr && r->theora && r->decoder != nullptr) action(r->decoder);
    }
    return 0;
}

}  // namespace

int ReleaseMovieSurfaces() { return ForEachTheoraMovie(ReleaseTheoraSurface); }

int RestoreMovieSurfaces() { return ForEachTheoraMovie(CreateTheoraSurface); }
