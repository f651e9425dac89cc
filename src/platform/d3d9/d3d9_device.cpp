// The device's life: creation, the swap chain and back buffer, loss and
// reset (the present itself is d3d9_present.cpp).
#include "platform/d3d9/d3d9_device.h"
#include "platform/ddraw/ddraw.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace d3d9 {
namespace {

constexpr UINT kTextureMemory = 256u << 20;

int64_t NowUs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

void SleepUntilUs(int64_t us) {
    timespec t{static_cast<time_t>(us / 1000000), static_cast<long>((us % 1000000) * 1000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

}  // namespace

// ---- SwapChain ------------------------------------------------------------------------
SwapChain::SwapChain(Device* device) : Resource(device, true, D3DPOOL_DEFAULT) {}

HRESULT SwapChain::QueryInterface(REFIID iid, void** object) {
    return QueryChild(static_cast<IDirect3DSwapChain9*>(this), iid, object);
}

HRESULT SwapChain::Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                           DWORD flags) {
    HRESULT hr = Enter("IDirect3DSwapChain9", "Present");
    if (FAILED(hr)) return hr;
    (void)dirty;
    (void)flags;
    hr = device()->lost() ? D3DERR_DEVICELOST : device()->PresentFrame(sourceRect, destRect, window);
    Record("SwapChain::Present", {}, hr);
    return hr;
}

HRESULT SwapChain::GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
    if (HRESULT seam = Enter("IDirect3DSwapChain9", "GetBackBuffer"); FAILED(seam)) return seam;
    if (surface == nullptr || index != 0 || type != D3DBACKBUFFER_TYPE_MONO) return D3DERR_INVALIDCALL;
    device()->backBuffer()->AddRef();
    *surface = device()->backBuffer();
    return D3D_OK;
}

HRESULT SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* params) {
    if (HRESULT seam = Enter("IDirect3DSwapChain9", "GetPresentParameters"); FAILED(seam)) return seam;
    if (params == nullptr) return D3DERR_INVALIDCALL;
    *params = device()->params();
    return D3D_OK;
}

// ---- Device: life ---------------------------------------------------------------------
Device::Device(Direct3D* d3d, bool ex, HWND focusWindow, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& params)
    : d3d_(d3d), ex_(ex), focus_(focusWindow), behavior_(behaviorFlags), params_(params) {
    d3d_->AddRef();
    RegisterDevice(this, true);
}

Device::~Device() {
    MakeCurrent();
    EndPresentOnCard();
    UnbindAll();
    ReleaseImplicit();
    programs_.Clear();
    RegisterDevice(this, false);
    if (changedMode_) ChangeDisplaySettingsA(nullptr, 0);
    d3d_->Release();
}

HRESULT Device::SetDisplayModeFor(const D3DPRESENT_PARAMETERS& p) {
    if (p.Windowed) {
        if (changedMode_) ChangeDisplaySettingsA(nullptr, 0);
        changedMode_ = false;
        return D3D_OK;
    }
    DWORD bits = p.BackBufferFormat == D3DFMT_R5G6B5 ? 16 : 32;
    DEVMODEA dm{};
    dm.dmSize = sizeof dm;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &dm); ++i) {
        if (dm.dmPelsWidth != p.BackBufferWidth || dm.dmPelsHeight != p.BackBufferHeight || dm.dmBitsPerPel != bits)
            continue;
        dm.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
        if (ChangeDisplaySettingsA(&dm, CDS_FULLSCREEN) != DISP_CHANGE_SUCCESSFUL) break;
        changedMode_ = true;
        return D3D_OK;
    }
    return D3DERR_NOTAVAILABLE;
}

HRESULT Device::MakeImplicit() {
    D3DSURFACE_DESC desc{params_.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                         D3DMULTISAMPLE_NONE, 0, params_.BackBufferWidth, params_.BackBufferHeight};
    bool lockable = (params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0;
    backBuffer_ = new Surface(this, desc, Storage::Gpu, lockable, nullptr, true);
    swapChain_ = new SwapChain(this);
    if (!backBuffer_->Allocate()) return D3DERR_OUTOFVIDEOMEMORY;
    if (params_.EnableAutoDepthStencil) {
        D3DSURFACE_DESC depth = desc;
        depth.Format = params_.AutoDepthStencilFormat;
        depth.Usage = D3DUSAGE_DEPTHSTENCIL;
        autoDepth_ = new Surface(this, depth, Storage::Depth, false, nullptr, true);
        if (!autoDepth_->Allocate()) return D3DERR_OUTOFVIDEOMEMORY;
    }
    renderTarget_ = backBuffer_;
    renderTarget_->Bind();
    depthStencil_ = autoDepth_;
    if (depthStencil_ != nullptr) depthStencil_->Bind();
    ResetDeviceState(&state_, params_.EnableAutoDepthStencil != FALSE, params_.BackBufferWidth,
                     params_.BackBufferHeight);
    return D3D_OK;
}

HRESULT Device::Initialize() {
    if (!MakeCurrent()) return D3DERR_NOTAVAILABLE;
    HRESULT hr = SetDisplayModeFor(params_);
    return SUCCEEDED(hr) ? MakeImplicit() : hr;
}

void Device::UnbindAll() {
    UnbindObjects();
    for (BaseTexture*& t : state_.texture) {
        if (t != nullptr) t->Unbind();
        t = nullptr;
    }
    if (renderTarget_ != nullptr) renderTarget_->Unbind();
    if (depthStencil_ != nullptr) depthStencil_->Unbind();
    renderTarget_ = depthStencil_ = nullptr;
}

void Device::ReleaseImplicit() {
    delete backBuffer_;
    delete swapChain_;
    delete autoDepth_;
    backBuffer_ = autoDepth_ = nullptr;
    swapChain_ = nullptr;
}

HRESULT Device::QueryInterface(REFIID iid, void** object) {
    IDirect3DDevice9Ex* self = this;
    if (ex_) return com::AnswerQuery(self, iid, {&IID_IDirect3DDevice9, &IID_IDirect3DDevice9Ex}, object);
    return com::AnswerQuery(self, iid, {&IID_IDirect3DDevice9}, object);
}

ULONG Device::AddRef() { return refs_.fetch_add(1) + 1; }

ULONG Device::Release() {
    ULONG r = refs_.fetch_sub(1) - 1;
    if (r == 0) delete this;
    return r;
}

void Device::Lose(int lostChecks) {
    lost_ = true;
    lostChecks_ = std::max(lostChecks, 0);
}

HRESULT Device::TestCooperativeLevel() {
    HRESULT hr = Enter("IDirect3DDevice9", "TestCooperativeLevel");
    if (FAILED(hr)) return hr;
    if (!lost_) return D3D_OK;
    if (lostChecks_ > 0) {
        --lostChecks_;
        return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
}

HRESULT Device::CheckDeviceState(HWND window) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "CheckDeviceState"); FAILED(seam)) return seam;
    (void)window;
    return lost_ ? D3DERR_DEVICELOST : D3D_OK;
}

UINT Device::GetAvailableTextureMem() { return kTextureMemory; }

HRESULT Device::GetDirect3D(IDirect3D9** d3d) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "GetDirect3D"); FAILED(seam)) return seam;
    if (d3d == nullptr) return D3DERR_INVALIDCALL;
    d3d_->AddRef();
    *d3d = d3d_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps) {
    HRESULT hr = Enter("IDirect3DDevice9", "GetDeviceCaps");
    if (FAILED(hr)) return hr;
    if (caps == nullptr) return D3DERR_INVALIDCALL;
    FillCaps(caps);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "GetDisplayMode"); FAILED(seam)) return seam;
    if (swapChain != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    *mode = DesktopMode();
    return D3D_OK;
}

HRESULT Device::GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) {
    HRESULT hr = Enter("IDirect3DDevice9", "GetSwapChain");
    if (FAILED(hr)) return hr;
    if (index != 0 || swapChain == nullptr) return D3DERR_INVALIDCALL;
    swapChain_->AddRef();
    *swapChain = swapChain_;
    return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) {
    HRESULT hr = Enter("IDirect3DDevice9", "GetBackBuffer");
    if (FAILED(hr)) return hr;
    if (swapChain != 0) return D3DERR_INVALIDCALL;
    return swapChain_->GetBackBuffer(index, type, surface);
}

HRESULT Device::SetDialogBoxMode(BOOL enable) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "SetDialogBoxMode"); FAILED(seam)) return seam;
    // Only with a lockable back buffer, as Direct3D requires.
    const HRESULT hr =
        enable && !(params_.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(hr)) dialogBoxMode_ = enable;
    Record("SetDialogBoxMode", {enable}, hr);
    return hr;
}

HRESULT Device::SetMaximumFrameLatency(UINT maxLatency) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "SetMaximumFrameLatency"); FAILED(seam)) return seam;
    if (maxLatency > 20) return D3DERR_INVALIDCALL;
    maxLatency_ = maxLatency == 0 ? 3 : maxLatency;
    return D3D_OK;
}

HRESULT Device::GetMaximumFrameLatency(UINT* maxLatency) {
    if (HRESULT seam = Enter("IDirect3DDevice9", "GetMaximumFrameLatency"); FAILED(seam)) return seam;
    if (maxLatency == nullptr) return D3DERR_INVALIDCALL;
    *maxLatency = maxLatency_;
    return D3D_OK;
}

// ---- reset ------------------------------------------------------------------------------
HRESULT Device::ResetWith(D3DPRESENT_PARAMETERS* params) {
    if (lost_ && lostChecks_ > 0) return D3DERR_DEVICELOST;
    if (params == nullptr) return D3DERR_INVALIDCALL;
    D3DPRESENT_PARAMETERS p = *params;
    HRESULT hr = CheckPresentParameters(&p, focus_, ex_, nullptr);
    if (FAILED(hr)) return hr;
    bool held = backBuffer_->refs() > 0 || swapChain_->refs() > 0 || (autoDepth_ != nullptr && autoDepth_->refs() > 0);
    if (defaultResources_ > 0 || held) return D3DERR_INVALIDCALL;
    MakeCurrent();
    UnbindAll();
    ReleaseImplicit();
    params_ = p;
    *params = p;
    inScene_ = false;
    hr = SetDisplayModeFor(params_);
    if (SUCCEEDED(hr)) hr = MakeImplicit();
    lost_ = FAILED(hr);
    lostChecks_ = 0;
    return hr;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* params) {
    HRESULT hr = Enter("IDirect3DDevice9", "Reset");
    if (FAILED(hr)) return hr;
    hr = ResetWith(params);
    Record("Reset", {}, hr);
    return hr;
}

HRESULT Device::ResetEx(D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode) {
    HRESULT hr = Enter("IDirect3DDevice9", "ResetEx");
    if (FAILED(hr)) return hr;
    if (params != nullptr && params->Windowed && fullScreenMode != nullptr) return D3DERR_INVALIDCALL;
    return ResetWith(params);
}

// ---- present ------------------------------------------------------------------------------
void Device::WaitForInterval() {
    if (params_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE || seams::NoWait()) return;
    const int64_t period = 1000000 / std::max(1, static_cast<int>(ddraw::GetVerticalBlankRate()));
    const int64_t now = NowUs();
    const int64_t until = QueueFrame(&frames_, now, period, maxLatency_);
    if (until > now) SleepUntilUs(until);
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty) {
    HRESULT hr = Enter("IDirect3DDevice9", "Present");
    if (FAILED(hr)) return hr;
    (void)dirty;
    hr = lost_ ? D3DERR_DEVICELOST : PresentFrame(sourceRect, destRect, window);
    Record("Present", {}, hr);
    return hr;
}

HRESULT Device::PresentEx(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                          DWORD flags) {
    (void)flags;
    return Present(sourceRect, destRect, window, dirty);
}

}  // namespace d3d9
