// The runtime: "d3d9.dll" and its entries, the Direct3D object with its
// adapter queries, capabilities and device creation.
#include "platform/d3d9/d3d9_device.h"
#include "platform/sdl/sdl_gl.h"
#include "platform/sdl/sdl_video.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

const IID IID_IDirect3D9 = {0x81BDCBCA, 0x64D4, 0x426D, {0xAE, 0x8D, 0xAD, 0x01, 0x47, 0xF4, 0x27, 0x5C}};
const IID IID_IDirect3D9Ex = {0x02177241, 0x69FC, 0x400C, {0x8F, 0xF1, 0x93, 0xA4, 0x4D, 0xF6, 0x86, 0x1D}};
const IID IID_IDirect3DDevice9 = {0xD0223B96, 0xBF7A, 0x43FD, {0x92, 0xBD, 0xA4, 0x3B, 0x0D, 0x82, 0xB9, 0xEB}};
const IID IID_IDirect3DDevice9Ex = {0xB18B10CE, 0x2649, 0x405A, {0x87, 0x0F, 0x95, 0xF7, 0x77, 0xD4, 0x31, 0x3A}};

namespace d3d9 {
namespace {

constexpr UINT kMaxSize = 8192;

std::mutex g_devicesMutex;
std::set<Device*>& Devices() {
    static std::set<Device*> devices;
    return devices;
}

void* RuntimeEntry(const char* name) {
    if (std::strcmp(name, "Direct3DCreate9") == 0) return reinterpret_cast<void*>(&Direct3DCreate9);
    if (std::strcmp(name, "Direct3DCreate9Ex") == 0) return reinterpret_cast<void*>(&Direct3DCreate9Ex);
    return nullptr;
}

bool EnvironmentSays(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && std::strcmp(v, "0") != 0;
}

bool EnvironmentForbids() { return EnvironmentSays("VELUMI_NO_HARDWARE"); }
bool EnvironmentForces() { return EnvironmentSays("VELUMI_HARDWARE"); }


UINT MaxSurfaceSize() {
    int gl = gl::Started() ? gl::Driver().maxTextureSize : 0;
    return gl > 0 ? std::min<UINT>(kMaxSize, static_cast<UINT>(gl)) : kMaxSize;
}

D3DFORMAT FormatOfBits(DWORD bits) { return bits == 16 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8; }

// The display modes of a format, as the window system lists them.
std::vector<D3DDISPLAYMODE> ModesOf(D3DFORMAT format) {
    std::vector<D3DDISPLAYMODE> modes;
    if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5) return modes;
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &dm); ++i)
        if (FormatOfBits(dm.dmBitsPerPel) == format && (dm.dmBitsPerPel == 16 || dm.dmBitsPerPel == 32))
            modes.push_back(D3DDISPLAYMODE{dm.dmPelsWidth, dm.dmPelsHeight, dm.dmDisplayFrequency, format});
    return modes;
}

bool CheckAdapter(UINT adapter, D3DDEVTYPE type) { return adapter == 0 && type == D3DDEVTYPE_HAL; }

// The multisample types a test made the checks offer, per format.
struct MultiSampleOffer {
    D3DMULTISAMPLE_TYPE highest;
    DWORD levels;
};
std::mutex g_offerMutex;
std::map<D3DFORMAT, MultiSampleOffer>& Offers() {
    static std::map<D3DFORMAT, MultiSampleOffer> offers;
    return offers;
}

MultiSampleOffer OfferFor(D3DFORMAT format) {
    std::lock_guard<std::mutex> lock(g_offerMutex);
    auto it = Offers().find(format);
    return it != Offers().end() ? it->second : MultiSampleOffer{D3DMULTISAMPLE_NONE, 1};
}

// A depth format the table holds and the GL context can draw with.
bool DepthUsable(const FormatInfo* f) {
    return f != nullptr && f->depth && HardwareAvailable() && gl::DepthRenderable(f->depthBits);
}

bool ValidVertexProcessing(DWORD flags) {
    int n = ((flags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) != 0) + ((flags & D3DCREATE_HARDWARE_VERTEXPROCESSING) != 0) +
            ((flags & D3DCREATE_MIXED_VERTEXPROCESSING) != 0);
    return n == 1;
}

}  // namespace

void OfferMultiSampleForTest(D3DFORMAT format, D3DMULTISAMPLE_TYPE highest, DWORD qualityLevels) {
    std::lock_guard<std::mutex> lock(g_offerMutex);
    if (highest == D3DMULTISAMPLE_NONE) {
        Offers().erase(format);
    } else {
        Offers()[format] = MultiSampleOffer{highest, qualityLevels};
    }
}

void RegisterRuntime(bool present) { platform::RegisterModule("d3d9.dll", present ? RuntimeEntry : nullptr); }

bool HardwareAvailable() {
    if (EnvironmentForbids()) return false;
    const bool forced = EnvironmentForces();
    // Without a graphics card's device node the only OpenGL is a software
    // rasteriser: it is not even started.
    if (!forced && !gl::Started() && !platform::sdl::GraphicsCardPresent()) return false;
    if (!gl::Start()) return false;
    const bool software = !ChooseHardware(false, false, true, gl::Driver().renderer.c_str());
    platform::sdl::SetSoftwareOpenGL(software);
    return forced || !software;
}

bool ChooseHardware(bool forbidden, bool forced, bool cardNode, const char* renderer) {
    if (forbidden) return false;
    if (forced) return true;
    if (!cardNode) return false;
    std::string name = renderer != nullptr ? renderer : "";
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* software : {"llvmpipe", "softpipe", "swrast", "software rasterizer"})
        if (name.find(software) != std::string::npos) return false;
    return true;
}

void PrepareDevice() {
    if (EnvironmentForbids() || (!EnvironmentForces() && !platform::sdl::GraphicsCardPresent())) return;
    platform::sdl::GiveNextWindowGL();
}

void RecheckHardware() {
    if (gl::Started()) gl::MakeCurrent();
}

void RegisterDevice(Device* device, bool add) {
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    if (add)
        Devices().insert(device);
    else
        Devices().erase(device);
}

void LoseDevice(IDirect3DDevice9* device, int lostChecks) {
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    for (Device* d : Devices())
        if (device == nullptr || device == d) d->Lose(lostChecks);
}

D3DDISPLAYMODE DesktopMode() {
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm)) return D3DDISPLAYMODE{640, 480, 60, D3DFMT_X8R8G8B8};
    return D3DDISPLAYMODE{dm.dmPelsWidth, dm.dmPelsHeight, dm.dmDisplayFrequency, FormatOfBits(dm.dmBitsPerPel)};
}

void FillCaps(D3DCAPS9* caps) {
    *caps = D3DCAPS9{};
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->Caps2 = D3DCAPS2_DYNAMICTEXTURES;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                              D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_TSSARGTEMP | D3DPMISCCAPS_BLENDOP;
    caps->RasterCaps = D3DPRASTERCAPS_SCISSORTEST;
    caps->ZCmpCaps = caps->AlphaCmpCaps = 0xFF;  // every comparison
    caps->SrcBlendCaps = caps->DestBlendCaps = 0x7FF;  // ZERO .. SRCALPHASAT
    caps->ShadeCaps = 0x4208;  // Gouraud colour, specular and alpha
    caps->TextureCaps = D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_VOLUMEMAP;
    caps->TextureFilterCaps = caps->StretchRectFilterCaps = 0x3000300;  // point and linear, min and mag
    caps->TextureAddressCaps = 0x1F;  // wrap, mirror, clamp, border, independent u and v
    caps->MaxTextureWidth = caps->MaxTextureHeight = MaxSurfaceSize();
    caps->MaxVolumeExtent = 256;
    caps->MaxTextureRepeat = caps->MaxTextureAspectRatio = MaxSurfaceSize();
    caps->MaxAnisotropy = 1;
    caps->MaxVertexW = 1e10f;
    caps->GuardBandLeft = caps->GuardBandTop = -32768.0f;
    caps->GuardBandRight = caps->GuardBandBottom = 32767.0f;
    caps->FVFCaps = 8;
    caps->TextureOpCaps = 0x39EFFFF;  // every operation but premodulate and bump mapping
    caps->MaxTextureBlendStages = caps->MaxSimultaneousTextures = 8;
    caps->MaxActiveLights = 8;
    caps->MaxPointSize = 1.0f;
    caps->MaxPrimitiveCount = caps->MaxVertexIndex = 0xFFFFF;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 255;
    caps->VertexShaderVersion = ReportedVertexShaderVersion();
    caps->PixelShaderVersion = ReportedPixelShaderVersion();
    caps->MaxVertexShaderConst = 256;
    caps->NumberOfAdaptersInGroup = 1;
    caps->NumSimultaneousRTs = 1;
}

HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* p, HWND focusWindow, bool ex, const D3DDISPLAYMODEEX* mode) {
    if (p == nullptr || (focusWindow == nullptr && p->hDeviceWindow == nullptr)) return D3DERR_INVALIDCALL;
    if (p->BackBufferCount > 3 || p->MultiSampleType != D3DMULTISAMPLE_NONE) return D3DERR_INVALIDCALL;
    if (p->SwapEffect < D3DSWAPEFFECT_DISCARD || p->SwapEffect > D3DSWAPEFFECT_COPY) return D3DERR_INVALIDCALL;
    UINT interval = p->PresentationInterval;
    if (interval != D3DPRESENT_INTERVAL_DEFAULT && interval != D3DPRESENT_INTERVAL_ONE &&
        interval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return D3DERR_INVALIDCALL;
    if (p->EnableAutoDepthStencil) {
        const FormatInfo* depth = FindFormat(p->AutoDepthStencilFormat);
        if (depth == nullptr || !depth->depth) return D3DERR_INVALIDCALL;
    }
    HWND window = p->hDeviceWindow != nullptr ? p->hDeviceWindow : focusWindow;
    if (p->Windowed) {
        if (mode != nullptr) return D3DERR_INVALIDCALL;
        RECT client{};
        if ((p->BackBufferWidth == 0 || p->BackBufferHeight == 0) && GetClientRect(window, &client)) {
            if (p->BackBufferWidth == 0) p->BackBufferWidth = static_cast<UINT>(client.right - client.left);
            if (p->BackBufferHeight == 0) p->BackBufferHeight = static_cast<UINT>(client.bottom - client.top);
        }
        if (p->BackBufferFormat == D3DFMT_UNKNOWN) p->BackBufferFormat = DesktopMode().Format;
    } else {
        if (p->BackBufferFormat == D3DFMT_UNKNOWN) return D3DERR_INVALIDCALL;
        if (ex && mode != nullptr &&
            (mode->Size != sizeof(D3DDISPLAYMODEEX) || mode->Width != p->BackBufferWidth ||
             mode->Height != p->BackBufferHeight))
            return D3DERR_INVALIDCALL;
    }
    if (!IsDisplayFormat(p->BackBufferFormat) || !SizeAllowed(p->BackBufferWidth, p->BackBufferHeight, MaxSurfaceSize()))
        return D3DERR_INVALIDCALL;
    if (p->BackBufferCount == 0) p->BackBufferCount = 1;
    return D3D_OK;
}

// ---- Direct3D ---------------------------------------------------------------------
HRESULT Direct3D::QueryInterface(REFIID iid, void** object) {
    IDirect3D9Ex* self = this;
    if (ex_) return com::AnswerQuery(self, iid, {&IID_IDirect3D9, &IID_IDirect3D9Ex}, object);
    return com::AnswerQuery(self, iid, {&IID_IDirect3D9}, object);
}

UINT Direct3D::GetAdapterCount() { return 1; }

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) {
    HRESULT hr = Enter("IDirect3D9", "GetAdapterIdentifier");
    if (FAILED(hr)) return hr;
    if (adapter != 0 || identifier == nullptr) return D3DERR_INVALIDCALL;
    *identifier = D3DADAPTER_IDENTIFIER9{};
    std::string driver = "opengl", description = "OpenGL";
    if (gl::Started()) {
        driver = gl::Driver().version;
        description = gl::Driver().vendor + " " + gl::Driver().renderer;
    }
    std::snprintf(identifier->Driver, sizeof identifier->Driver, "%s", driver.c_str());
    std::snprintf(identifier->Description, sizeof identifier->Description, "%s", description.c_str());
    std::snprintf(identifier->DeviceName, sizeof identifier->DeviceName, "%s", "\\\\.\\DISPLAY1");
    (void)flags;
    return D3D_OK;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
    const UINT count = adapter == 0 ? static_cast<UINT>(ModesOf(format).size()) : 0;
    Record("GetAdapterModeCount", {adapter, format}, static_cast<HRESULT>(count));
    return count;
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) {
    if (HRESULT seam = Enter("IDirect3D9", "EnumAdapterModes"); FAILED(seam)) return seam;
    std::vector<D3DDISPLAYMODE> modes = adapter == 0 ? ModesOf(format) : std::vector<D3DDISPLAYMODE>{};
    if (displayMode == nullptr || mode >= modes.size()) return D3DERR_INVALIDCALL;
    *displayMode = modes[mode];
    return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    HRESULT hr = Enter("IDirect3D9", "GetAdapterDisplayMode");
    if (FAILED(hr)) return hr;
    if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayModeEx(UINT adapter, D3DDISPLAYMODEEX* mode, D3DDISPLAYMODEEX* unused) {
    if (HRESULT seam = Enter("IDirect3D9", "GetAdapterDisplayModeEx"); FAILED(seam)) return seam;
    if (adapter != 0 || mode == nullptr || mode->Size != sizeof(D3DDISPLAYMODEEX)) return D3DERR_INVALIDCALL;
    D3DDISPLAYMODE m = DesktopMode();
    *mode = D3DDISPLAYMODEEX{sizeof(D3DDISPLAYMODEEX), m.Width, m.Height, m.RefreshRate, m.Format,
                             D3DSCANLINEORDERING_PROGRESSIVE};
    (void)unused;
    return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                                  BOOL windowed) {
    if (HRESULT seam = Enter("IDirect3D9", "CheckDeviceType"); FAILED(seam)) return seam;
    if (!CheckAdapter(adapter, type)) return D3DERR_INVALIDCALL;
    if (!HardwareAvailable()) return D3DERR_NOTAVAILABLE;
    bool ok = (displayFormat == D3DFMT_X8R8G8B8 || displayFormat == D3DFMT_R5G6B5) &&
              (backBufferFormat == D3DFMT_UNKNOWN ? windowed != FALSE : IsDisplayFormat(backBufferFormat));
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) {
    HRESULT hr = Enter("IDirect3D9", "CheckDeviceFormat");
    if (FAILED(hr)) return hr;
    if (!CheckAdapter(adapter, type) || !IsDisplayFormat(adapterFormat)) return D3DERR_INVALIDCALL;
    const FormatInfo* f = FindFormat(checkFormat);
    bool ok = f != nullptr;
    if (ok && (usage & D3DUSAGE_DEPTHSTENCIL)) ok = DepthUsable(f) && resourceType == D3DRTYPE_SURFACE;
    else if (ok && (usage & D3DUSAGE_RENDERTARGET)) ok = f->renderTarget && resourceType != D3DRTYPE_VOLUMETEXTURE;
    else if (ok && f->yuv != YuvLayout::None) ok = resourceType == D3DRTYPE_SURFACE;
    else if (ok) ok = f->texture && resourceType != D3DRTYPE_CUBETEXTURE;
    hr = ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    Record("CheckDeviceFormat", {adapterFormat, usage, resourceType, checkFormat}, hr);
    return hr;
}

HRESULT Direct3D::CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT sourceFormat,
                                              D3DFORMAT targetFormat) {
    HRESULT hr = Enter("IDirect3D9", "CheckDeviceFormatConversion");
    if (FAILED(hr)) return hr;
    if (!CheckAdapter(adapter, type)) return D3DERR_INVALIDCALL;
    const FormatInfo* from = FindFormat(sourceFormat);
    const FormatInfo* to = FindFormat(targetFormat);
    bool ok = from != nullptr && to != nullptr && (from->yuv != YuvLayout::None || from->renderTarget) &&
              to->renderTarget;
    hr = ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    Record("CheckDeviceFormatConversion", {sourceFormat, targetFormat}, hr);
    return hr;
}

HRESULT Direct3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                             D3DMULTISAMPLE_TYPE multiSample, DWORD* qualityLevels) {
    if (HRESULT seam = Enter("IDirect3D9", "CheckDeviceMultiSampleType"); FAILED(seam)) return seam;
    if (!CheckAdapter(adapter, type) || FindFormat(surfaceFormat) == nullptr) return D3DERR_INVALIDCALL;
    DWORD levels = 1;
    HRESULT hr = D3D_OK;
    if (multiSample != D3DMULTISAMPLE_NONE) {
        const MultiSampleOffer offer = OfferFor(surfaceFormat);
        hr = multiSample <= offer.highest ? D3D_OK : D3DERR_NOTAVAILABLE;
        levels = offer.levels;
    }
    if (SUCCEEDED(hr) && qualityLevels != nullptr) *qualityLevels = levels;
    Record("CheckDeviceMultiSampleType", {surfaceFormat, windowed, multiSample}, hr);
    return hr;
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                         D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) {
    HRESULT hr = Enter("IDirect3D9", "CheckDepthStencilMatch");
    if (FAILED(hr)) return hr;
    if (!CheckAdapter(adapter, type) || !IsDisplayFormat(adapterFormat)) return D3DERR_INVALIDCALL;
    const FormatInfo* target = FindFormat(renderTargetFormat);
    const FormatInfo* depth = FindFormat(depthFormat);
    bool ok = target != nullptr && target->renderTarget && DepthUsable(depth);
    hr = ok ? D3D_OK : D3DERR_NOTAVAILABLE;
    Record("CheckDepthStencilMatch", {adapterFormat, renderTargetFormat, depthFormat}, hr);
    return hr;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) {
    HRESULT hr = Enter("IDirect3D9", "GetDeviceCaps");
    if (FAILED(hr)) return hr;
    if (!CheckAdapter(adapter, type) || caps == nullptr) {
        hr = D3DERR_INVALIDCALL;
    } else if (!HardwareAvailable()) {
        hr = D3DERR_NOTAVAILABLE;
    } else {
        FillCaps(caps);
    }
    Record("GetDeviceCaps", {adapter, type}, hr);
    return hr;
}

HRESULT Direct3D::MakeDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                             D3DPRESENT_PARAMETERS* params, const D3DDISPLAYMODEEX* mode, Device** device) {
    if (device == nullptr || adapter != 0 || !ValidVertexProcessing(behaviorFlags)) return D3DERR_INVALIDCALL;
    *device = nullptr;
    if (type != D3DDEVTYPE_HAL || !HardwareAvailable()) return D3DERR_NOTAVAILABLE;
    HRESULT hr = CheckPresentParameters(params, focusWindow, ex_, mode);
    if (FAILED(hr)) return hr;
    Device* made = new Device(this, ex_, focusWindow, behaviorFlags, *params);
    hr = made->Initialize();
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *device = made;
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                               D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) {
    HRESULT hr = Enter("IDirect3D9", "CreateDevice");
    if (FAILED(hr)) return hr;
    Device* made = nullptr;
    hr = MakeDevice(adapter, type, focusWindow, behaviorFlags, params, nullptr, &made);
    if (device != nullptr) *device = made;
    Record("CreateDevice", {adapter, type, behaviorFlags}, hr);
    return hr;
}

HRESULT Direct3D::CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode,
                                 IDirect3DDevice9Ex** device) {
    HRESULT hr = Enter("IDirect3D9", "CreateDeviceEx");
    if (FAILED(hr)) return hr;
    if (!ex_) return D3DERR_INVALIDCALL;
    Device* made = nullptr;
    hr = MakeDevice(adapter, type, focusWindow, behaviorFlags, params, fullScreenMode, &made);
    if (device != nullptr) *device = made;
    Record("CreateDeviceEx", {adapter, type, behaviorFlags}, hr);
    return hr;
}

}  // namespace d3d9

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION || seams::ShouldFailCall("Direct3DCreate9")) return nullptr;
    return new d3d9::Direct3D(false);
}

HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** d3d) {
    if (d3d == nullptr) return D3DERR_INVALIDCALL;
    *d3d = nullptr;
    if (auto failed = seams::FailNow<HRESULT>("Direct3DCreate9Ex", D3DERR_NOTAVAILABLE)) return *failed;
    if (sdkVersion != D3D_SDK_VERSION) return D3DERR_NOTAVAILABLE;
    *d3d = new d3d9::Direct3D(true);
    return S_OK;
}
