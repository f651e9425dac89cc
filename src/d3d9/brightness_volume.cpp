// The brightness volume texture: for every colour of a 128-step cube, its
// full-brightness colour. Made while shaders are used; no draw binds it.
#include "d3d9/shader_state.h"

#include "core/log.h"
#include "d3d9/d3d9_backend.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr UINT kSide = 128;
constexpr unsigned kMostFillThreads = 4;

// The slices [first, last) of the volume.
void FillSlices(const D3DLOCKED_BOX& box, int32_t first, int32_t last) {
    auto* bits = static_cast<uint8_t*>(box.pBits);
    for (int32_t z = first; z < last; ++z) {
        for (int32_t y = 0; y < static_cast<int32_t>(kSide); ++y) {
            uint8_t* row = bits + static_cast<ptrdiff_t>(y) * box.RowPitch + static_cast<ptrdiff_t>(z) * box.SlicePitch;
            for (int32_t x = 0; x < static_cast<int32_t>(kSide); ++x) {
                uint8_t* texel = row + 4 * x;
                MaximizeColorBrightness(2 * x, 2 * y, 2 * z, &texel[2], &texel[1], &texel[0]);
                if (x < 8 && y < 8 && z < 8) texel[0] = texel[1] = texel[2] = 255;
                texel[3] = 255;
            }
        }
    }
}

}  // namespace

// Two million texels, each on its own: the slices are shared out among a few
// threads (each writes only its own), which keeps the device's start short.
void FillBrightnessVolume(const D3DLOCKED_BOX& box) {
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostFillThreads);
    const int32_t per = static_cast<int32_t>((kSide + threads - 1) / threads);
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        const int32_t first = static_cast<int32_t>(i) * per;
        if (first >= static_cast<int32_t>(kSide)) break;
        try {
            helpers.emplace_back(FillSlices, std::cref(box), first, std::min<int32_t>(first + per, kSide));
        } catch (const std::system_error&) {
            FillSlices(box, first, std::min<int32_t>(first + per, kSide));  // no thread to be had: here
        }
    }
    FillSlices(box, 0, std::min<int32_t>(per, kSide));
    for (std::thread& t : helpers) t.join();
}

void MaximizeColorBrightness(int32_t red, int32_t green, int32_t blue, uint8_t* outRed, uint8_t* outGreen,
                             uint8_t* outBlue) {
    const int32_t c[3] = {std::min(red, 255), std::min(green, 255), std::min(blue, 255)};
    uint8_t* out[3] = {outRed, outGreen, outBlue};
    if (red + green + blue == 0) {
        *outRed = *outGreen = *outBlue = 255;
        return;
    }
    // The channels by value: largest, middle, smallest (ties give the same
    // result either way round).
    int hi = 0, lo = 0;
    for (int i = 1; i < 3; ++i) {
        if (c[i] > c[hi]) hi = i;
        if (c[i] < c[lo]) lo = i;
    }
    if (c[hi] == c[lo]) {  // grey: white
        *outRed = *outGreen = *outBlue = 255;
        return;
    }
    const int mid = 3 - hi - lo;
    const int32_t mx = c[hi], md = c[mid], mn = c[lo];
    const int32_t s = (mx - mn) * 255 / mx;
    const int32_t t = (mn - md) * 255 / (mx - mn);
    *out[hi] = 255;
    *out[lo] = static_cast<uint8_t>(255 - s);
    *out[mid] = static_cast<uint8_t>(255 - ((t + 255) * s / 255));
}

int CreateBrightnessVolumeTexture() {
    DeviceBlock& d = Device();
    IDirect3DVolumeTexture9*& volume = Cache().brightnessVolume;
    if (d.device == nullptr) return -1;
    // A texture made before is given back, not dropped.
    ReleaseField(volume);
    IDirect3DVolumeTexture9* source = nullptr;
    D3DLOCKED_BOX box{};
    const char* failure = nullptr;
    if (FAILED(d.device->CreateVolumeTexture(kSide, kSide, kSide, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &volume,
                                             nullptr))) {
        volume = nullptr;
        failure = "RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました\n";
    } else if (FAILED(d.device->CreateVolumeTexture(kSide, kSide, kSide, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                    &source, nullptr))) {
        source = nullptr;
        failure = "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました\n";
    } else {
        const D3DBOX whole{0, 0, kSide, kSide, 0, kSide};
        if (FAILED(source->LockBox(0, &box, &whole, 0))) {
            failure = "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました\n";
        }
    }
    if (failure != nullptr) {
        ReleaseField(volume);
        ReleaseField(source);
        return WriteLog(failure);
    }
    FillBrightnessVolume(box);
    source->UnlockBox(0);
    d.device->UpdateTexture(source, volume);
    source->Release();
    return 0;
}
