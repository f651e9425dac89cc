// Which Z, texture and render-target formats the device accepts, probed one by
// one into the texture format table, and the timed trial that decides how the
// screen lock reads the back buffer.
#include "core/library.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/format_probe.h"
#include "graphics/graphics_internal.h"

#include <cstring>

namespace {

struct Candidate {
    D3DFORMAT format;
    const char* name;
};

struct TextureProbe {
    int32_t index;
    const char* line;
    Candidate candidates[3];
    const char* failure;  // null: falls back to another index's format
    int32_t fallbackIndex;
};

const TextureProbe kTextureProbes[] = {
    {0, "16bit カラーフォーマットは %s です",
     {{D3DFMT_R5G6B5, "D_D3DFMT_R5G6B5"}, {D3DFMT_X1R5G5B5, "D_D3DFMT_X1R5G5B5"}, {}},
     "使用できる 16bit カラーフォーマットが見つかりませんでした\n", -1},
    {1, "32bit カラーフォーマットは %s です", {{D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}, {}, {}}, nullptr, 0},
    {2, "アルファ付き 16bit カラーフォーマットは %s です",
     {{D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}, {D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}, {}},
     "使用できるアルファ付き 16bit カラーフォーマットが見つかりませんでした\n", -1},
    {3, "アルファ付き 32bit カラーフォーマットは %s です",
     {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}, {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}, {}},
     "使用できるアルファ付き 32bit カラーフォーマットが見つかりませんでした\n", -1},
    {4, "アルファテスト用 16bit カラーフォーマットは %s です",
     {{D3DFMT_A1R5G5B5, "D_D3DFMT_A1R5G5B5"}, {D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"},
      {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}},
     "使用できるアルファテスト用 16bit カラーフォーマットが見つかりませんでした\n", -1},
    {5, "アルファテスト用 32bit カラーフォーマットは %s です",
     {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}, {D3DFMT_A1R5G5B5, "D_D3DFMT_A1R5G5B5"},
      {D3DFMT_A4R4G4B4, "D_D3DFMT_A4R4G4B4"}},
     "使用できるアルファテスト用 32bit カラーフォーマットが見つかりませんでした\n", -1},
};

struct DxtProbe {
    const char* line;
    D3DFORMAT format;
    const char* accepted;
    int32_t fallbackIndex;
};

const DxtProbe kDxtProbes[] = {
    {"ＤＸＴ１テクスチャフォーマットは%s", D3DFMT_DXT1, " D_D3DFMT_DXT1 です", 4},
    {"ＤＸＴ２テクスチャフォーマットは%s", D3DFMT_DXT2, " D_D3DFMT_DXT2 です", 3},
    {"ＤＸＴ３テクスチャフォーマットは%s", D3DFMT_DXT3, " D_D3DFMT_DXT3 です", 3},
    {"ＤＸＴ４テクスチャフォーマットは%s", D3DFMT_DXT4, " D_D3DFMT_DXT4 です", 3},
    {"ＤＸＴ５テクスチャフォーマットは%s", D3DFMT_DXT5, " D_D3DFMT_DXT5 です", 3},
};

bool Accepts(D3DFORMAT format, DWORD usage) {
    DeviceBlock& d = Device();
    return SUCCEEDED(
        d.d3d->CheckDeviceFormat(ChosenAdapter(), D3DDEVTYPE_HAL, d.backBufferFormat, usage, D3DRTYPE_TEXTURE, format));
}

// The name printed for the format an index fell back to.
const char* NameOf(int32_t index) {
    const D3DFORMAT format = Device().textureFormats[index];
    for (const TextureProbe& p : kTextureProbes) {
        if (p.index != index) continue;
        for (const Candidate& c : p.candidates)
            if (c.name != nullptr && c.format == format) return c.name;
    }
    return "";
}

struct TargetProbe {
    const char* line;
    Candidate candidates[3];
    const char* failure;
};

const TargetProbe kTargetProbesR565 = {
    "描画用 16bit カラーフォーマットは %s です",
    {{D3DFMT_R5G6B5, "D3DFMT_R5G6B5"}, {D3DFMT_X1R5G5B5, "D3DFMT_R5G5B5"}, {D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}},
    "使用できる描画用 16bit カラーフォーマットがありませんでした\n"};
const TargetProbe kTargetProbes[3] = {
    {"描画用 16bit カラーフォーマットは %s です",
     {{D3DFMT_X1R5G5B5, "D_D3DFMT_R5G5B5"}, {D3DFMT_R5G6B5, "D_D3DFMT_R5G6B5"}, {D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}},
     "使用できる描画用 16bit カラーフォーマットがありませんでした\n"},
    {"描画用 32bit カラーフォーマットは %s です",
     {{D3DFMT_X8R8G8B8, "D_D3DFMT_X8R8G8B8"}, {D3DFMT_R5G6B5, "D3DFMT_R5G6B5"}, {D3DFMT_X1R5G5B5, "D3DFMT_R5G5B5"}},
     "使用できる描画用 32bit カラーフォーマットがありませんでした\n"},
    {"描画用アルファ付き 32bit カラーフォーマットは %s です",
     {{D3DFMT_A8R8G8B8, "D_D3DFMT_A8R8G8B8"}, {D3DFMT_A4R4G4B4, "D3DFMT_A4R4G4B4"}, {}},
     "使用できる描画用アルファ付き 32bit カラーフォーマットがありませんでした\n"},
};

// One pass of the lock trial: times of the in-place lock and of the copy
// through a render target, or false when a call failed.
bool TrialPass(int32_t n, int64_t* timeA, int64_t* timeB) {
    DeviceBlock& d = Device();
    IDirect3DDevice9* device = d.device;
    const ColorFormatInfo* info = GetDeviceColorFormat(d.backBufferFormat);
    const int32_t rowBytes = n * (info != nullptr ? info->pixelByte : 4);
    const RECT rect{0, 0, n, n};
    IDirect3DSurface9 *dest = nullptr, *target = nullptr, *second = nullptr;
    D3DLOCKED_RECT destLock{}, lock{};
    bool ok = false;
    auto copyRows = [&](const D3DLOCKED_RECT& from) {
        for (int32_t y = 0; y < n; ++y)
            std::memcpy(static_cast<uint8_t*>(destLock.pBits) + static_cast<ptrdiff_t>(y) * destLock.Pitch,
                        static_cast<const uint8_t*>(from.pBits) + static_cast<ptrdiff_t>(y) * from.Pitch,
                        static_cast<size_t>(rowBytes));
    };
    do {
        if (FAILED(device->CreateOffscreenPlainSurface(n, n, d.backBufferFormat, D3DPOOL_SYSTEMMEM, &dest, nullptr)))
            break;
        if (FAILED(dest->LockRect(&destLock, &rect, D3DLOCK_READONLY))) break;
        int64_t start = GetTimeUs(0);
        if (FAILED(d.backBuffer->LockRect(&lock, &rect, D3DLOCK_READONLY))) break;
        copyRows(lock);
        d.backBuffer->UnlockRect();
        *timeA = GetTimeUs(0) - start;
        start = GetTimeUs(0);
        if (FAILED(device->CreateRenderTarget(n, n, d.backBufferFormat, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                              nullptr)) ||
            FAILED(device->CreateOffscreenPlainSurface(n, n, d.backBufferFormat, D3DPOOL_SYSTEMMEM, &second,
                                                       nullptr)) ||
            FAILED(device->StretchRect(d.backBuffer, &rect, target, &rect, D3DTEXF_NONE)) ||
            FAILED(device->GetRenderTargetData(target, second)) ||
            FAILED(second->LockRect(&lock, nullptr, D3DLOCK_READONLY))) {
            break;
        }
        copyRows(lock);
        second->UnlockRect();
        *timeB = GetTimeUs(0) - start;
        ok = true;
    } while (false);
    if (destLock.pBits != nullptr) dest->UnlockRect();
    for (IDirect3DSurface9* s : {dest, target, second})
        if (s != nullptr) s->Release();
    return ok;
}

}  // namespace

int ProbeZFormat() {
    DeviceBlock& d = Device();
    const Candidate kZ[3] = {{D3DFMT_D16, "D3DFMT_D16"}, {D3DFMT_D24X8, "D3DFMT_D24X8"}, {D3DFMT_D32, "D3DFMT_D32"}};
    for (const Candidate& z : kZ) {
        if (SUCCEEDED(d.d3d->CheckDepthStencilMatch(ChosenAdapter(), D3DDEVTYPE_HAL, d.backBufferFormat, d.backBufferFormat,
                                                    z.format))) {
            d.zFormat = z.format;
            WriteLogFormatted("Ｚバッファのフォーマットは %s です", z.name);
            return 0;
        }
    }
    return WriteLog("使用できる Zバッファフォーマットが見つかりませんでした\n");
}

int ProbeTextureFormats() {
    DeviceBlock& d = Device();
    for (const TextureProbe& p : kTextureProbes) {
        const Candidate* found = nullptr;
        for (const Candidate& c : p.candidates) {
            if (c.name != nullptr && Accepts(c.format, 0)) {
                found = &c;
                break;
            }
        }
        if (found == nullptr && p.failure != nullptr) return WriteLog(p.failure);
        d.textureFormats[p.index] = found != nullptr ? found->format : d.textureFormats[p.fallbackIndex];
        WriteLogFormatted(p.line, found != nullptr ? found->name : NameOf(p.fallbackIndex));
    }
    for (int32_t i = 0; i < 5; ++i) {
        const DxtProbe& p = kDxtProbes[i];
        const bool accepted = Accepts(p.format, 0);
        d.textureFormats[kFormatDxt1 + i] = accepted ? p.format : d.textureFormats[p.fallbackIndex];
        WriteLogFormatted(p.line, accepted ? p.accepted : "使えません");
    }
    return 0;
}

void ProbeRenderTargetFormats() {
    DeviceBlock& d = Device();
    for (int32_t i = 0; i < 3; ++i) {
        const TargetProbe& p = (i == 0 && d.backBufferFormat == D3DFMT_R5G6B5) ? kTargetProbesR565 : kTargetProbes[i];
        const Candidate* found = nullptr;
        for (const Candidate& c : p.candidates) {
            if (c.name != nullptr && Accepts(c.format, D3DUSAGE_RENDERTARGET)) {
                found = &c;
                break;
            }
        }
        d.textureFormats[kFormatTarget16 + i] = found != nullptr ? found->format : D3DFMT_UNKNOWN;
        if (found != nullptr) {
            WriteLogFormatted(p.line, found->name);
        } else {
            WriteLog(p.failure);
        }
    }
    const bool depth32 = GetScreenBitDepth() == 32;
    d.textureFormats[kFormatTargetScreen] = d.textureFormats[depth32 ? kFormatTarget32 : kFormatTarget16];
    d.textureFormats[kFormatCutOutScreen] = d.textureFormats[depth32 ? kFormatCutOut32 : kFormatCutOut16];
}

void RunBackBufferLockTrial() {
    DeviceBlock& d = Device();
    d.backBufferLock = 0;
    int32_t n = 256;
    while (n > DeviceScreenWidth() || n > DeviceScreenHeight()) n /= 2;
    int64_t timeA = -1, timeB = -1;
    for (int pass = 0; pass < 3 && n > 0; ++pass) {
        int64_t a = -1, b = -1;
        TrialPass(n, &a, &b);
        if (a >= 0) timeA = a;
        if (b >= 0) timeB = b;
    }
    if (timeA < 0 || timeB < 0) {
        WriteLog("バックバッファロックはロックできません\n");
        return;
    }
    WriteLogFormatted("バックバッファロック転送の時間:%dnsec  一時的な描画可能バッファを使用した転送の時間:%dnsec",
                      static_cast<int32_t>(timeA), static_cast<int32_t>(timeB));
    d.backBufferLock = timeA < timeB ? 1 : 0;
    WriteLog(d.backBufferLock ? "バックバッファロックを使用します\n" : "バックバッファロックを使用しません\n");
}
