// Device creation on one of three roads (a window, a window over a changed
// full-screen mode, exclusive full screen): the present parameters, the two
// creation attempts, the first clears, and the capability flags.
#include "core/library.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/format_probe.h"
#include "graphics/graphics_internal.h"

namespace {

enum class Road { kWindow, kWindowOverFullScreen, kFullScreen };

Road ChooseRoad() {
    if (IsWindowMode()) return Road::kWindow;
    return IsWindowOverFullScreen() ? Road::kWindowOverFullScreen : Road::kFullScreen;
}

// The back-buffer format of a full-screen road by colour depth; unknown for
// other depths.
D3DFORMAT FormatByDepth() {
    const int32_t depth = GetScreenBitDepth();
    if (depth == 32) return D3DFMT_X8R8G8B8;
    if (depth != 16) return D3DFMT_UNKNOWN;
    return Device().d3d->GetAdapterModeCount(ChosenAdapter(), D3DFMT_R5G6B5) != 0 ? D3DFMT_R5G6B5
                                                                                  : D3DFMT_X1R5G5B5;
}

void TakeWindowDepth(D3DFORMAT format) {
    if (format == D3DFMT_X8R8G8B8) Screen().colorDepth = 32;
    if (format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5) Screen().colorDepth = 16;
}

// The highest type up to the asked one that the adapter offers for the format
// (0: none), with its quality-level count.
int32_t HighestOfferedType(D3DFORMAT format, int32_t type, DWORD* levels) {
    const BOOL windowed = IsWindowMode() ? TRUE : FALSE;
    for (; type > 0; --type) {
        *levels = 0;
        if (SUCCEEDED(Device().d3d->CheckDeviceMultiSampleType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, windowed,
                                                               static_cast<D3DMULTISAMPLE_TYPE>(type), levels))) {
            return type;
        }
    }
    return 0;
}

// Lowers the multisample request of the block to what the adapter offers for
// the back buffer and the first Z format; both 0 when it offers none.
void LowerMultisampleRequest(D3DFORMAT backBufferFormat) {
    DeviceBlock& d = Device();
    DWORD colorLevels = 0, depthLevels = 0;
    int32_t type = HighestOfferedType(backBufferFormat, d.multisampleType, &colorLevels);
    if (type != 0) type = HighestOfferedType(D3DFMT_D16, type, &depthLevels);
    if (type == 0) {
        d.multisampleType = 0;
        d.multisampleQuality = 0;
        return;
    }
    // The highest quality allowed is one below the smaller level count.
    const DWORD levels = colorLevels < depthLevels ? colorLevels : depthLevels;
    const uint32_t highest = levels > 0 ? static_cast<uint32_t>(levels - 1) : 0;
    d.multisampleType = type;
    if (d.multisampleQuality > highest) d.multisampleQuality = highest;
}

// Fills the present parameters of the road; -1 for a depth a full screen cannot take.
int FillPresentParameters(Road road, D3DPRESENT_PARAMETERS& pp, D3DDISPLAYMODEEX& mode) {
    DeviceBlock& d = Device();
    pp = D3DPRESENT_PARAMETERS{};
    pp.BackBufferWidth = static_cast<UINT>(DeviceScreenWidth());
    pp.BackBufferHeight = static_cast<UINT>(DeviceScreenHeight());
    D3DDISPLAYMODE display{};
    if (road != Road::kFullScreen) d.d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &display);
    if (road == Road::kWindow) {
        pp.BackBufferFormat = display.Format;
        TakeWindowDepth(display.Format);
        SetDesktopComposition(d.compositionOff ? 0 : 1);
    } else {
        pp.BackBufferFormat = FormatByDepth();
        if (pp.BackBufferFormat == D3DFMT_UNKNOWN) {
            return WriteLog("非対応のバックバッファービット深度が指定されました\n");
        }
    }
    pp.Windowed = road == Road::kFullScreen ? FALSE : TRUE;
    if (road == Road::kFullScreen) {
        pp.FullScreen_RefreshRateInHz = static_cast<UINT>(Screen().refreshRate);
        mode = D3DDISPLAYMODEEX{sizeof(D3DDISPLAYMODEEX), pp.BackBufferWidth, pp.BackBufferHeight,
                                pp.FullScreen_RefreshRateInHz, pp.BackBufferFormat, D3DSCANLINEORDERING_PROGRESSIVE};
        SetDesktopComposition(0);
        if (HasDesktopCompositionEntry()) WriteLog("Desktop Window Manager を無効にしました\n");
    }
    pp.BackBufferCount = 1;
    // The swap effect and the lockable flag follow the type asked for, not
    // the one the check leaves.
    pp.SwapEffect = d.multisampleType == 0 ? D3DSWAPEFFECT_COPY : D3DSWAPEFFECT_DISCARD;
    pp.Flags = d.multisampleType == 0 ? D3DPRESENTFLAG_LOCKABLE_BACKBUFFER : 0;
    if (d.multisampleType != 0) LowerMultisampleRequest(pp.BackBufferFormat);
    pp.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(d.multisampleType);
    pp.MultiSampleQuality = d.multisampleQuality;
    pp.hDeviceWindow = GetMainWindow();
    pp.EnableAutoDepthStencil = FALSE;
    pp.PresentationInterval = g_drawState.noVsync ? D3DPRESENT_INTERVAL_IMMEDIATE : D3DPRESENT_INTERVAL_ONE;
    return 0;
}

HRESULT TryCreate(DWORD flags, D3DPRESENT_PARAMETERS& pp, D3DDISPLAYMODEEX* mode) {
    DeviceBlock& d = Device();
    d.dialogBoxMode = 0;
    const UINT adapter = ChosenAdapter();
    if (d.d3dEx != nullptr) {
        IDirect3DDevice9Ex* device = nullptr;
        HRESULT hr = d.d3dEx->CreateDeviceEx(adapter, D3DDEVTYPE_HAL, GetMainWindow(), flags, &pp, mode, &device);
        d.deviceEx = SUCCEEDED(hr) ? device : nullptr;
        return hr;
    }
    IDirect3DDevice9* device = nullptr;
    HRESULT hr = d.d3d->CreateDevice(adapter, D3DDEVTYPE_HAL, GetMainWindow(), flags, &pp, &device);
    d.device = SUCCEEDED(hr) ? device : nullptr;
    return hr;
}

// The first attempt with mixed vertex processing when the adapter has shader
// model 2.0, the second with software vertex processing.
int CreateWithRetry(D3DPRESENT_PARAMETERS& pp, D3DDISPLAYMODEEX* mode) {
    DeviceBlock& d = Device();
    const bool ex = d.d3dEx != nullptr;
    WriteLog(ex ? "IDirect3DDevice9Ex オブジェクトを取得します.... " : "IDirect3DDevice9 オブジェクトを取得します.... ");
    const DWORD extra =
        (d.multithreaded ? D3DCREATE_MULTITHREADED : 0) | (FpuPreserveSetting() ? D3DCREATE_FPU_PRESERVE : 0);
    bool created = false;
    if (d.softwareVertexOnly != 1) {
        D3DCAPS9 caps{};
        d.d3d->GetDeviceCaps(ChosenAdapter(), D3DDEVTYPE_HAL, &caps);
        d.hardwareVertexProcessing =
            (caps.VertexShaderVersion & 0xFFFF) >= 0x0200 && (caps.PixelShaderVersion & 0xFFFF) >= 0x0200 ? 1 : 0;
        const DWORD vp = d.hardwareVertexProcessing ? D3DCREATE_MIXED_VERTEXPROCESSING
                                                    : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        created = SUCCEEDED(TryCreate(vp | extra, pp, mode));
        if (created) WriteLog("ハードウエア頂点演算を使用します\n");
    }
    if (!created) {
        d.hardwareVertexProcessing = 0;
        if (FAILED(TryCreate(D3DCREATE_SOFTWARE_VERTEXPROCESSING | extra, pp, mode))) {
            return WriteLog(ex ? "Direct3DDevice9Ex の作成に失敗しました\n" : "Direct3DDevice9 の作成に失敗しました\n");
        }
        WriteLog("ソフトウエア頂点演算を使用します\n");
    }
    if (ex) {
        d.device = d.deviceEx;
        d.deviceEx->SetMaximumFrameLatency(1);
    }
    return 0;
}

void ClearAndPresent() {
    DeviceBlock& d = Device();
    const GraphicsSettings& g = Settings();
    const D3DCOLOR background = static_cast<D3DCOLOR>((g.backgroundRed << 16) | (g.backgroundGreen << 8) |
                                                      g.backgroundBlue);
    for (int i = 0; i < 3; ++i) {
        d.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        d.device->Present(nullptr, nullptr, GetMainWindow(), nullptr);
    }
    d.device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
}

// Back buffer 0 of swap chain 0 and the swap chain into their fields; -1
// (logged) when either cannot be had: the present and every screen copy go
// through them.
int TakeBackBufferAndSwapChain() {
    DeviceBlock& d = Device();
    if (FAILED(d.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &d.backBuffer)) || d.backBuffer == nullptr) {
        d.backBuffer = nullptr;
        return WriteLog("バックバッファの取得に失敗しました\n");
    }
    if (FAILED(d.device->GetSwapChain(0, &d.swapChain)) || d.swapChain == nullptr) {
        d.swapChain = nullptr;
        return WriteLog("スワップチェインの取得に失敗しました\n");
    }
    return 0;
}

void TakeCapabilities() {
    DeviceBlock& d = Device();
    d.device->GetDeviceCaps(&d.caps);
    d.tempRegister = (d.caps.PrimitiveMiscCaps & D3DPMISCCAPS_TSSARGTEMP) ? 1 : 0;
    d.vertexShader20 = d.hardwareVertexProcessing && (d.caps.VertexShaderVersion & 0xFFFF) >= 0x0200 ? 1 : 0;
    d.pixelShader20 = d.hardwareVertexProcessing && (d.caps.PixelShaderVersion & 0xFFFF) >= 0x0200 ? 1 : 0;
    d.blendOpCap = (d.caps.PrimitiveMiscCaps & D3DPMISCCAPS_BLENDOP) ? 1 : 0;
    if (d.caps.MaxTextureWidth == 0) d.caps.MaxTextureWidth = 256;
    if (d.caps.MaxTextureHeight == 0) d.caps.MaxTextureHeight = 256;
    d.textureSizeLimit = d.caps.MaxTextureWidth < d.caps.MaxTextureHeight ? d.caps.MaxTextureWidth
                                                                         : d.caps.MaxTextureHeight;
    Cache().diffuseSource = 255;
    Cache().specularSource = 255;
}

void LogAdapterAndFormat() {
    DeviceBlock& d = Device();
    D3DADAPTER_IDENTIFIER9 id{};
    d.d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &id);
    WriteLogFormatted("Driver:%s  Description:%s", id.Driver, id.Description);
    D3DSURFACE_DESC desc{};
    d.backBuffer->GetDesc(&desc);
    d.backBufferFormat = desc.Format;
    const char* name = desc.Format == D3DFMT_X8R8G8B8 ? "D3DFMT_X8R8G8B8"
                       : desc.Format == D3DFMT_R5G6B5 ? "D3DFMT_R5G6B5"
                       : desc.Format == D3DFMT_X1R5G5B5 ? "D3DFMT_X1R5G5B5"
                                                        : nullptr;
    if (name != nullptr) {
        WriteLogFormatted("画面のフォーマットは %s です", name);
    } else {
        WriteLogFormatted("バックバッファが対応していないフォーマット %d です", static_cast<int>(desc.Format));
    }
}

}  // namespace

UINT ChosenAdapter() {
    const DeviceBlock& d = Device();
    return d.adapterSwitch ? static_cast<UINT>(d.adapterIndex) : D3DADAPTER_DEFAULT;
}

int IsWindowOverFullScreen() {
    if (IsWindowMode()) return 0;
    const ScreenState& s = Screen();
    const bool flags = s.presentRectFlag || g_drawState.emulate320x240 || s.substitute320x240;
    return WindowsVersionCode() >= 0x108 && flags ? 1 : 0;
}

int CreateDirect3DDevice() {
    DeviceBlock& d = Device();
    if (d.d3d == nullptr) return -1;
    if (d.device != nullptr) {
        d.device->Release();
        d.device = nullptr;
        d.deviceEx = nullptr;
    }
    const Road road = ChooseRoad();
    D3DPRESENT_PARAMETERS pp{};
    D3DDISPLAYMODEEX mode{};
    if (FillPresentParameters(road, pp, mode) != 0) return -1;
    if (CreateWithRetry(pp, road == Road::kFullScreen ? &mode : nullptr) != 0) return -1;
    MeasureRefreshPeriod();
    DeviceStateCache& c = Cache();
    c.vertexShader = c.pixelShader = nullptr;
    c.fvf = 0;
    d.device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    ClearAndPresent();
    if (TakeBackBufferAndSwapChain() != 0) return -1;
    WriteLog("成功\n");
    TakeCapabilities();
    LogAdapterAndFormat();
    if (ProbeZFormat() != 0 || ProbeTextureFormats() != 0) return -1;
    ProbeRenderTargetFormats();
    RunBackBufferLockTrial();
    return 0;
}
