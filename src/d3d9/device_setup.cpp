// Start-up and shutdown of the Direct3D 9 back end: the runtime, the
// DirectDraw object, the Direct3D object, the device with its Z buffer, or the
// software path when the device cannot be made; the scene bracket, the
// dialog-box switches and the sub back buffer.
#include "core/library.h"
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/model_handles.h"
#include "d3d9/shader_state.h"
#include "graphics/display_mode.h"
#include "graphics/graphics_internal.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"

namespace {

// Releases what a failed device start made; the DirectDraw object and the
// runtime stay.
void ReleaseDeviceObjects() {
    DeviceBlock& d = Device();
    ReleaseField(d.zSurface);
    ReleaseField(d.backBuffer);
    ReleaseField(d.swapChain);
    ReleaseField(d.device);
    ReleaseField(d.d3d);
    d.d3dEx = nullptr;
    d.deviceEx = nullptr;
}

int32_t PowerOfTwoAtLeast(int32_t n) {
    int32_t p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

int CreateDirectDrawObject() {
    DeviceBlock& d = Device();
    ReleaseField(d.directDraw);
    WriteLog("DirectDraw オブジェクトの取得を行います....  ");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                                CLSCTX_LOCAL_SERVER, IID_IDirectDraw7, &object)) || object == nullptr) {
        return WriteLog("オブジェクトの取得に失敗しました\n");
    }
    d.directDraw = static_cast<IDirectDraw7*>(object);
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    if (FAILED(d.directDraw->Initialize(nullptr))) {
        ReleaseField(d.directDraw);
        return WriteLog("DirectDrawオブジェクトの初期化に失敗しました\n");
    }
    WriteLog("初期化に成功しました\n");
    d.directDraw->SetCooperativeLevel(GetMainWindow(), DDSCL_NORMAL | (FpuPreserveSetting() ? DDSCL_FPUPRESERVE : 0));
    if (d.compositionOff) SetDesktopComposition(0);
    return 0;
}

using CreateEx = HRESULT (*)(UINT, IDirect3D9Ex**);
using CreatePlain = IDirect3D9* (*)(UINT);

int CreateDirect3DObject() {
    DeviceBlock& d = Device();
    ReleaseField(d.d3d);
    d.d3dEx = nullptr;
    WriteLog("IDirect3D9Ex オブジェクトを取得します.... ");
    auto createEx = reinterpret_cast<CreateEx>(GetProcAddress(d.runtime, "Direct3DCreate9Ex"));
    IDirect3D9Ex* ex = nullptr;
    if (createEx != nullptr && createEx(D3D_SDK_VERSION, &ex) == S_OK && ex != nullptr) {
        d.d3dEx = ex;
        d.d3d = ex;
    } else {
        WriteLog("IDirect3D9 オブジェクトを取得します.... ");
        auto create = reinterpret_cast<CreatePlain>(GetProcAddress(d.runtime, "Direct3DCreate9"));
        if (create == nullptr) return WriteLog("Direct3DCreate9 APIのアドレス取得に失敗しました\n");
        d.d3d = create(D3D_SDK_VERSION);
        if (d.d3d == nullptr) return WriteLog("IDirect3D9 オブジェクトの取得に失敗しました\n");
    }
    WriteLog("成功\n");
    return 0;
}

int CreateDeviceZBuffer() {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return -1;
    ReleaseField(d.zSurface);
    WriteLog("Ｚバッファを作成します.... ");
    d.zWidth = PowerOfTwoAtLeast(DeviceScreenWidth());
    d.zHeight = PowerOfTwoAtLeast(DeviceScreenHeight());
    if (FAILED(d.device->CreateDepthStencilSurface(static_cast<UINT>(d.zWidth), static_cast<UINT>(d.zHeight),
                                                   d.zFormat, static_cast<D3DMULTISAMPLE_TYPE>(d.multisampleType),
                                                   d.multisampleQuality, TRUE, &d.zSurface, nullptr))) {
        d.zSurface = nullptr;
        return WriteLog("Ｚバッファの作成に失敗しました\n");
    }
    d.device->SetDepthStencilSurface(d.zSurface);
    d.device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    WriteLog("成功\n");
    return 0;
}

// The software path's screen: a full screen gets its display mode, and the
// frame period is measured; -1 when the display mode cannot be had.
int PrepareSoftwareScreen(bool modeRefused) {
    if (!IsWindowMode() && !modeRefused && ChangeDisplayMode() < 0) return -1;
    MeasureRefreshPeriod();
    return 0;
}

// The runtime and the DirectDraw object; -1 (logged) when either cannot be
// had, with the runtime let go again.
int LoadRuntimeAndDirectDraw() {
    DeviceBlock& d = Device();
    d.runtime = LoadLibraryA("d3d9.dll");
    if (d.runtime == nullptr) return WriteLog("d3d9.dll の読み込みに失敗しました\n");
    if (CreateDirectDrawObject() == 0) return 0;
    FreeLibrary(d.runtime);
    d.runtime = nullptr;
    return -1;
}

}  // namespace

int32_t DeviceScreenWidth() { return Screen().drawWidth; }
int32_t DeviceScreenHeight() { return Screen().drawHeight; }

int SetupDirect3D9() {
    ScreenState& s = Screen();
    // The flag is clear on every road that does not bring the device up, so
    // that a failed start (or re-creation) leaves every caller on the software
    // screen rather than on a device that is not there.
    s.d3dActive = 0;
    if (LoadRuntimeAndDirectDraw() != 0) {
        PrepareSoftwareScreen(false);
        return -1;
    }
    // A window's device takes the desktop's depth; the software path keeps
    // the depth asked for.
    const int32_t askedDepth = s.colorDepth;
    // A display mode the windowed-over-full-screen road had refused is not
    // asked for again by the software path: it would be refused again and
    // fail the start that the software path is there to save.
    bool modeRefused = false;
    if (!s.hardwareOff) {
        // Windowed over a full screen: the display mode changes before the device exists.
        modeRefused = IsWindowOverFullScreen() && ChangeDisplayMode() != 0;
        if (!modeRefused && CreateDirect3DObject() == 0 && CreateDirect3DDevice() == 0 &&
            CreateDeviceZBuffer() == 0) {
            s.d3dActive = 1;
            DecideShaderUse();
            if (Cache().shadersInUse) {
                CreateVertexDeclarations();
                CreateBrightnessVolumeTexture();
            }
            return 0;
        }
        ReleaseDeviceObjects();
        Cache().shadersInUse = 0;
        s.colorDepth = askedDepth;
    }
    WriteLog("ソフトウエアレンダリングを使用します\n");
    return PrepareSoftwareScreen(modeRefused);
}

int TerminateDirect3D9() {
    DeviceBlock& d = Device();
    ReleaseAllModelBuffers();
    ReleaseVertexDeclarations();
    ReleaseShaders();
    if (d.device != nullptr) EndDeviceScene();
    // The desktop's mode comes back where this start changed it: the software
    // path and the windowed-over-full-screen road. An exclusive device gives
    // it back itself when it is released.
    if (!IsWindowMode() && (!Screen().d3dActive || IsWindowOverFullScreen())) ChangeDisplaySettingsA(nullptr, 0);
    ReleaseField(d.zSurface);
    ReleaseField(d.subBackBuffer);
    ReleaseField(d.backBuffer);
    ReleaseField(d.swapChain);
    ReleaseField(Cache().brightnessVolume);
    ReleaseField(d.device);
    ReleaseField(d.d3d);
    ReleaseField(d.directDraw);
    d.d3dEx = nullptr;
    d.deviceEx = nullptr;
    d.renderTarget = nullptr;
    Cache().inScene = 0;
    if (d.runtime != nullptr) FreeLibrary(d.runtime);
    d.runtime = nullptr;
    // The display-mode list is built again on its next use.
    DisplayModeList& modes = DisplayModes();
    if (modes.modes != nullptr) HeapFree(GetProcessHeap(), 0, modes.modes);
    modes.modes = nullptr;
    modes.count = 0;
    return 0;
}

void BeginDeviceScene() {
    DeviceBlock& d = Device();
    if (d.d3d == nullptr || d.device == nullptr || Cache().inScene == 1) return;
    d.device->BeginScene();
    Cache().inScene = 1;
}

void EndDeviceScene() {
    DeviceBlock& d = Device();
    if (d.d3d == nullptr || d.device == nullptr || Cache().inScene == 0) return;
    d.device->EndScene();
    Cache().inScene = 0;
}

int SetDeviceDialogBoxMode(int32_t flag) {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return 0;
    EndDeviceScene();
    d.device->SetDialogBoxMode(flag != 0 ? TRUE : FALSE);
    d.dialogBoxMode = flag != 0 ? 1 : 0;
    return 0;
}

int DeviceDialogBoxMode() {
    const DeviceBlock& d = Device();
    return d.device != nullptr ? d.dialogBoxMode : 0;
}

int ResetDeviceDialogBoxMode(int32_t flag) {
    DeviceBlock& d = Device();
    if (!Screen().d3dActive || d.device == nullptr) return 0;
    d.device->SetDialogBoxMode(FALSE);
    if (flag) d.device->SetDialogBoxMode(TRUE);
    d.dialogBoxMode = flag != 0 ? 1 : 0;
    return 0;
}

int CreateSubBackBuffer() {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return -1;
    ReleaseField(d.subBackBuffer);
    if (FAILED(d.device->CreateRenderTarget(static_cast<UINT>(DeviceScreenWidth()),
                                            static_cast<UINT>(DeviceScreenHeight()), d.backBufferFormat,
                                            static_cast<D3DMULTISAMPLE_TYPE>(d.multisampleType),
                                            d.multisampleQuality, FALSE, &d.subBackBuffer, nullptr))) {
        d.subBackBuffer = nullptr;
        return WriteLog("サブバックバッファの作成に失敗しました\n");
    }
    return 0;
}
