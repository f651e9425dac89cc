// Movie surfaces: 'YV12', 'YUY2' and 'UYVY' plain surfaces, their lock
// layout, the conversion probe, and StretchRect converting them to RGB.
// Expected pixels come from the BT.601 studio-range formula in floating
// point; the device's 14-bit fixed-point products may differ from it by 1
// per channel (kTolerance), never more.
#include "d3d9_test_support.h"

#include <algorithm>
#include <cmath>

using namespace d3d9test;

namespace {

constexpr int kTolerance = 1;

uint32_t Bt601(int y, int cb, int cr) {
    double l = 1.164 * (y - 16), u = cb - 128.0, v = cr - 128.0;
    auto ch = [](double x) { return static_cast<uint32_t>(std::clamp(static_cast<int>(x), 0, 255)); };
    return 0xFF000000u | ch(l + 1.596 * v) << 16 | ch(l - 0.391 * u - 0.813 * v) << 8 | ch(l + 2.018 * u);
}

// A picture in planes: each pixel's Y and its 2 x 2 block's chroma.
int LumaAt(int x, int y) { return 16 + (x * 23 + y * 41) % 220; }
int CbAt(int bx, int by) { return 20 + (bx * 67 + by * 13) % 216; }
int CrAt(int bx, int by) { return 240 - (bx * 29 + by * 71) % 216; }

struct Layout {
    const char* what;
    D3DFORMAT format;
};
constexpr Layout kLayouts[] = {{"YV12", D3DFMT_YV12}, {"YUY2", D3DFMT_YUY2}, {"UYVY", D3DFMT_UYVY}};

// Writes the picture through a whole-surface lock, as a movie player does.
void Fill(IDirect3DSurface9* s, D3DFORMAT format, int w, int h) {
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(s->LockRect(&lr, nullptr, 0), D3D_OK);
    auto* bits = static_cast<uint8_t*>(lr.pBits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2) {
            uint8_t y0 = LumaAt(x, y), y1 = LumaAt(x + 1, y), u = CbAt(x / 2, y / 2), v = CrAt(x / 2, y / 2);
            uint8_t* row = bits + static_cast<size_t>(y) * lr.Pitch;
            if (format == D3DFMT_YV12) {
                row[x] = y0;
                row[x + 1] = y1;
                uint8_t* vPlane = bits + static_cast<size_t>(lr.Pitch) * h;
                uint8_t* uPlane = vPlane + static_cast<size_t>(lr.Pitch / 2) * (h / 2);
                vPlane[(y / 2) * (lr.Pitch / 2) + x / 2] = v;
                uPlane[(y / 2) * (lr.Pitch / 2) + x / 2] = u;
            } else {
                uint8_t pair[4] = {y0, u, y1, v};
                if (format == D3DFMT_UYVY) pair[0] = u, pair[1] = y0, pair[2] = v, pair[3] = y1;
                std::copy(pair, pair + 4, row + x * 2);
            }
        }
    ASSERT_EQ(s->UnlockRect(), D3D_OK);
}

class D3D9Yuv : public DeviceTest {
protected:
    IDirect3DSurface9* MakeYuv(D3DFORMAT format, UINT w, UINT h) {
        IDirect3DSurface9* s = nullptr;
        EXPECT_EQ(device_->CreateOffscreenPlainSurface(w, h, format, D3DPOOL_DEFAULT, &s, nullptr), D3D_OK);
        return s;
    }
    IDirect3DSurface9* MakeTarget(D3DFORMAT format) {
        IDirect3DSurface9* t = nullptr;
        EXPECT_EQ(device_->CreateRenderTarget(kWidth, kHeight, format, D3DMULTISAMPLE_NONE, 0, FALSE, &t, nullptr),
                  D3D_OK);
        device_->ColorFill(t, nullptr, 0xFF000000u);
        return t;
    }
};

TEST_F(D3D9Yuv, ConversionProbeOffersTheMovieFormatsIntoRgbTargets) {
    struct Conversion {
        D3DFORMAT from, to;
        HRESULT expected;
    };
    const Conversion conversions[] = {{D3DFMT_YV12, D3DFMT_X8R8G8B8, D3D_OK},
                                      {D3DFMT_UYVY, D3DFMT_R5G6B5, D3D_OK},
                                      {D3DFMT_YUY2, D3DFMT_A8R8G8B8, D3D_OK},
                                      {D3DFMT_X8R8G8B8, D3DFMT_YUY2, D3DERR_NOTAVAILABLE},
                                      {D3DFMT_DXT1, D3DFMT_X8R8G8B8, D3DERR_NOTAVAILABLE}};
    for (const Conversion& c : conversions)
        EXPECT_EQ(d3d_->CheckDeviceFormatConversion(0, D3DDEVTYPE_HAL, c.from, c.to), c.expected)
            << c.from << " -> " << c.to;
    EXPECT_EQ(d3d_->CheckDeviceFormatConversion(1, D3DDEVTYPE_HAL, D3DFMT_YV12, D3DFMT_X8R8G8B8), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Yuv, LocksGiveTheDocumentedPlanesAndRefuseWhatDoesNotFit) {
    IDirect3DSurface9* yv12 = MakeYuv(D3DFMT_YV12, 30, 20);
    IDirect3DSurface9* yuy2 = MakeYuv(D3DFMT_YUY2, 30, 20);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(yv12->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_GE(lr.Pitch, 30);
    EXPECT_EQ(lr.Pitch % 16, 0);
    // The last byte of the U plane is inside the surface (the sanitizer build checks it).
    static_cast<uint8_t*>(lr.pBits)[lr.Pitch * 20 + 2 * (lr.Pitch / 2) * 10 - 1] = 1;
    yv12->UnlockRect();
    ASSERT_EQ(yuy2->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_GE(lr.Pitch, 60);
    static_cast<uint8_t*>(lr.pBits)[lr.Pitch * 19 + 59] = 1;
    yuy2->UnlockRect();
    struct Case {
        const char* what;
        IDirect3DSurface9* surface;
        RECT rect;
        HRESULT expected;
    };
    const Case cases[] = {
        {"even corner", yv12, {2, 4, 10, 10}, D3D_OK},
        {"odd column", yuy2, {1, 0, 9, 4}, D3DERR_INVALIDCALL},
        {"odd row of YV12", yv12, {2, 3, 10, 10}, D3DERR_INVALIDCALL},
        {"odd row of YUY2", yuy2, {2, 3, 10, 10}, D3D_OK},
        {"past the right edge", yuy2, {0, 0, 32, 4}, D3DERR_INVALIDCALL},
        {"past the bottom", yv12, {0, 0, 4, 21}, D3DERR_INVALIDCALL},
        {"negative", yv12, {-2, 0, 4, 4}, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.surface->LockRect(&lr, &c.rect, 0), c.expected) << c.what;
        if (c.expected == D3D_OK) c.surface->UnlockRect();
    }
    yv12->Release();
    yuy2->Release();
}

TEST_F(D3D9Yuv, CreationRefusesSizesAndPlacesNoDriverTakes) {
    struct Case {
        const char* what;
        UINT w, h;
        D3DFORMAT format;
        D3DPOOL pool;
        HRESULT expected;
    };
    const Case cases[] = {
        {"odd width", 31, 20, D3DFMT_YUY2, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"odd YV12 height", 32, 21, D3DFMT_YV12, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"odd UYVY height", 32, 21, D3DFMT_UYVY, D3DPOOL_DEFAULT, D3D_OK},
        {"zero", 0, 16, D3DFMT_YV12, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"absurd", 0x40000000, 0x40000000, D3DFMT_YV12, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
        {"managed", 32, 16, D3DFMT_YV12, D3DPOOL_MANAGED, D3DERR_INVALIDCALL},
        {"as a texture", 32, 16, D3DFMT_YV12, D3DPOOL_DEFAULT, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases) {
        IDirect3DSurface9* s = nullptr;
        IDirect3DTexture9* t = nullptr;
        HRESULT hr = std::string(c.what) == "as a texture"
                         ? device_->CreateTexture(c.w, c.h, 1, 0, c.format, c.pool, &t, nullptr)
                         : device_->CreateOffscreenPlainSurface(c.w, c.h, c.format, c.pool, &s, nullptr);
        EXPECT_EQ(hr, c.expected) << c.what;
        if (s != nullptr) s->Release();
        if (t != nullptr) t->Release();
    }
}

TEST_F(D3D9Yuv, StretchRectConvertsEachLayoutOntoTargetsAndTextures) {
    constexpr int w = 16, h = 12;
    for (const Layout& layout : kLayouts) {
        IDirect3DSurface9* yuv = MakeYuv(layout.format, w, h);
        Fill(yuv, layout.format, w, h);
        IDirect3DSurface9* target = MakeTarget(D3DFMT_X8R8G8B8);
        RECT to{8, 4, 8 + w, 4 + h};
        ASSERT_EQ(device_->StretchRect(yuv, nullptr, target, &to, D3DTEXF_NONE), D3D_OK) << layout.what;
        std::vector<uint32_t> px = ReadTarget(target);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t expected = Bt601(LumaAt(x, y), CbAt(x / 2, y / 2), CrAt(x / 2, y / 2));
                ASSERT_TRUE(Near(px[static_cast<size_t>(y + 4) * kWidth + x + 8], expected, kTolerance))
                    << layout.what << " at " << x << "," << y;
            }
        EXPECT_EQ(px[3 * kWidth + 8], 0xFF000000u) << layout.what << ": outside the rectangle";
        // The same picture onto a managed texture's level, read through a lock.
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device_->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        IDirect3DSurface9* level = nullptr;
        texture->GetSurfaceLevel(0, &level);
        ASSERT_EQ(device_->StretchRect(yuv, nullptr, level, nullptr, D3DTEXF_NONE), D3D_OK) << layout.what;
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(level->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t texel = static_cast<const uint32_t*>(lr.pBits)[lr.Pitch / 4 * 5 + 7];
        EXPECT_TRUE(Near(texel, Bt601(LumaAt(7, 5), CbAt(3, 2), CrAt(3, 2)), kTolerance)) << layout.what;
        level->UnlockRect();
        level->Release();
        texture->Release();
        target->Release();
        yuv->Release();
    }
}

TEST_F(D3D9Yuv, StretchingScalesNearestOrBilinearAndRefusesBadCopies) {
    IDirect3DSurface9* yuv = MakeYuv(D3DFMT_YUY2, 4, 2);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(yuv->LockRect(&lr, nullptr, 0), D3D_OK);
    for (int y = 0; y < 2; ++y) {  // grey columns 16, 16, 235, 235: black, black, white, white
        uint8_t row[8] = {16, 128, 16, 128, 235, 128, 235, 128};
        std::copy(row, row + 8, static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch);
    }
    yuv->UnlockRect();
    IDirect3DSurface9* target = MakeTarget(D3DFMT_A8R8G8B8);
    RECT to{0, 0, 8, 2};
    ASSERT_EQ(device_->StretchRect(yuv, nullptr, target, &to, D3DTEXF_POINT), D3D_OK);
    std::vector<uint32_t> px = ReadTarget(target);
    const uint32_t black = Bt601(16, 128, 128), white = Bt601(235, 128, 128);
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(Near(px[x], x < 4 ? black : white, kTolerance)) << "nearest at " << x;
    ASSERT_EQ(device_->StretchRect(yuv, nullptr, target, &to, D3DTEXF_LINEAR), D3D_OK);
    px = ReadTarget(target);
    // Pixel 3's centre samples source x 1.25, pixel 4's x 1.75: a quarter and three quarters of the way to white.
    const int quarter = Channel(white, 0) / 4;
    EXPECT_TRUE(Near(px[3], 0xFF000000u | quarter * 0x010101u, kTolerance)) << std::hex << px[3];
    EXPECT_TRUE(Near(px[4], 0xFF000000u | (Channel(white, 0) - quarter) * 0x010101u, kTolerance)) << std::hex << px[4];
    EXPECT_TRUE(Near(px[0], black, kTolerance) && Near(px[7], white, kTolerance)) << "edges clamp";

    IDirect3DSurface9* other = MakeYuv(D3DFMT_YUY2, 4, 2);
    IDirect3DSurface9* system = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 2, D3DFMT_YUY2, D3DPOOL_SYSTEMMEM, &system, nullptr), D3D_OK);
    RECT outside{0, 0, 6, 2};
    struct Case {
        const char* what;
        IDirect3DSurface9* from;
        const RECT* fromRect;
        IDirect3DSurface9* to;
        HRESULT expected;
    };
    const Case cases[] = {
        {"YUV into YUV", yuv, nullptr, other, D3DERR_INVALIDCALL},
        {"from system memory", system, nullptr, target, D3DERR_INVALIDCALL},
        {"rectangle outside the source", yuv, &outside, target, D3DERR_INVALIDCALL},
        {"onto itself", yuv, nullptr, yuv, D3DERR_INVALIDCALL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(device_->StretchRect(c.from, c.fromRect, c.to, nullptr, D3DTEXF_NONE), c.expected) << c.what;
    ASSERT_EQ(yuv->LockRect(&lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(device_->StretchRect(yuv, nullptr, target, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL) << "locked";
    yuv->UnlockRect();
    system->Release();
    other->Release();
    target->Release();
    yuv->Release();
}

}  // namespace
