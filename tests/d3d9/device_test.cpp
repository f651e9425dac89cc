// The runtime object, device creation on its three roads, surfaces, locks,
// clears, copies between targets, present, loss and reset.
#include "d3d9_test_support.h"
#include "platform/sdl/sdl_video.h"

#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <cstdlib>
#include <cstring>
#include <functional>

using namespace d3d9test;

namespace {

TEST(D3D9Runtime, LoadsThroughTheModuleAndCanBeMissing) {
    PrepareHeadless();
    HMODULE module = LoadLibraryA("d3d9.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(GetProcAddress(module, "Direct3DCreate9"), reinterpret_cast<void*>(&Direct3DCreate9));
    EXPECT_EQ(GetProcAddress(module, "Direct3DCreate9Ex"), reinterpret_cast<void*>(&Direct3DCreate9Ex));
    EXPECT_EQ(GetProcAddress(module, "Direct3DCreate8"), nullptr);
    FreeLibrary(module);
    d3d9::RegisterRuntime(false);
    EXPECT_EQ(LoadLibraryA("d3d9.dll"), nullptr);
    d3d9::RegisterRuntime(true);
}

TEST(D3D9Runtime, CreatorsRefuseAWrongVersionAndInjectedFailures) {
    PrepareHeadless();
    EXPECT_EQ(Direct3DCreate9(31), nullptr);
    IDirect3D9Ex* ex = nullptr;
    EXPECT_EQ(Direct3DCreate9Ex(31, &ex), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(ex, nullptr);
    seams::FailCall("Direct3DCreate9", 1);
    EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION), nullptr);
    seams::FailCall("Direct3DCreate9Ex", 1, static_cast<int64_t>(E_NOINTERFACE));
    EXPECT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), E_NOINTERFACE);
    ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), S_OK);
    IDirect3D9* plain = Direct3DCreate9(D3D_SDK_VERSION);
    void* asEx = nullptr;
    EXPECT_EQ(plain->QueryInterface(IID_IDirect3D9Ex, &asEx), E_NOINTERFACE);
    EXPECT_EQ(ex->QueryInterface(IID_IDirect3D9Ex, &asEx), S_OK);
    static_cast<IUnknown*>(asEx)->Release();
    EXPECT_EQ(plain->Release(), 0u);
    EXPECT_EQ(ex->Release(), 0u);
}

TEST(D3D9Runtime, FormatProbeAnswersWhatTheDeviceHolds) {
    PrepareHeadless();
    if (!d3d9::HardwareAvailable()) GTEST_SKIP() << "no OpenGL 3.3 core context on this machine";
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    struct Case {
        const char* what;
        DWORD usage;
        D3DRESOURCETYPE type;
        D3DFORMAT format;
        HRESULT expected;
    } cases[] = {
        {"32-bit texture", 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8, D3D_OK},
        {"opaque 32-bit texture", 0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8, D3D_OK},
        {"16-bit texture", 0, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5, D3D_OK},
        {"4444 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4, D3D_OK},
        {"1555 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_A1R5G5B5, D3D_OK},
        {"x555 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_X1R5G5B5, D3D_OK},
        {"x444 texture (not held)", 0, D3DRTYPE_TEXTURE, D3DFMT_X4R4G4B4, D3DERR_NOTAVAILABLE},
        {"DXT1", 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1, D3DERR_NOTAVAILABLE},
        {"DXT5", 0, D3DRTYPE_TEXTURE, D3DFMT_DXT5, D3DERR_NOTAVAILABLE},
        {"render-target texture", D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_R5G6B5, D3D_OK},
        {"render-target x555", D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_X1R5G5B5, D3D_OK},
        {"render-target x444 (not held)", D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_X4R4G4B4,
         D3DERR_NOTAVAILABLE},
        {"depth as texture", 0, D3DRTYPE_TEXTURE, D3DFMT_D16, D3DERR_NOTAVAILABLE},
        {"depth surface", D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, D3DFMT_D24X8, D3D_OK},
        {"volume texture", 0, D3DRTYPE_VOLUMETEXTURE, D3DFMT_X8R8G8B8, D3D_OK},
        {"YV12 plain surface", 0, D3DRTYPE_SURFACE, D3DFMT_YV12, D3D_OK},
        {"YUY2 plain surface", 0, D3DRTYPE_SURFACE, D3DFMT_YUY2, D3D_OK},
        {"UYVY plain surface", 0, D3DRTYPE_SURFACE, D3DFMT_UYVY, D3D_OK},
        {"YV12 texture", 0, D3DRTYPE_TEXTURE, D3DFMT_YV12, D3DERR_NOTAVAILABLE},
        {"YUY2 render target", D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, D3DFMT_YUY2, D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, c.usage, c.type, c.format), c.expected)
            << c.what;
    for (D3DFORMAT depth : {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D32})
        EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, depth), D3D_OK);
    EXPECT_EQ(d3d->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    DWORD quality = 0;
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_NONE, &quality),
              D3D_OK);
    EXPECT_EQ(quality, 1u);
    EXPECT_EQ(d3d->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES,
                                              &quality),
              D3DERR_NOTAVAILABLE);
    seams::FailCall("IDirect3D9::CheckDeviceFormat", 1, static_cast<int64_t>(D3DERR_NOTAVAILABLE));
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    d3d->Release();
}

TEST(D3D9Runtime, NoDeviceWhenTheEnvironmentSwitchesHardwareOff) {
    PrepareHeadless();
    HWND window = MakeWindow(64, 48);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    setenv("VELUMI_NO_HARDWARE", "1", 1);
    D3DPRESENT_PARAMETERS p{64, 48, D3DFMT_X8R8G8B8, 1, D3DMULTISAMPLE_NONE, 0, D3DSWAPEFFECT_COPY, window, TRUE,
                            FALSE, D3DFMT_UNKNOWN, 0, 0, D3DPRESENT_INTERVAL_IMMEDIATE};
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
    EXPECT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING, &p, &device),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(device, nullptr);
    EXPECT_FALSE(d3d9::HardwareAvailable());
    setenv("VELUMI_NO_HARDWARE", "0", 1);
    EXPECT_EQ(d3d9::HardwareAvailable(), d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_MIXED_VERTEXPROCESSING,
                                                           &p, &device) == D3D_OK);
    if (device != nullptr) { EXPECT_EQ(device->Release(), 0u); }
    unsetenv("VELUMI_NO_HARDWARE");
    d3d->Release();
    DestroyWindow(window);
}


TEST_F(D3D9Device, CreationRefusesWhatNoDriverTakes) {
    struct Case {
        const char* what;
        void (*change)(D3DPRESENT_PARAMETERS&, DWORD&, D3DDEVTYPE&);
        HRESULT expected;
    } cases[] = {
        {"no window", [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) { p.hDeviceWindow = nullptr; },
         D3DERR_INVALIDCALL},
        {"multisampling", [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) { p.MultiSampleType = D3DMULTISAMPLE_2_SAMPLES; },
         D3DERR_INVALIDCALL},
        {"a depth back buffer", [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) { p.BackBufferFormat = D3DFMT_D16; },
         D3DERR_INVALIDCALL},
        {"an absurd size", [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) { p.BackBufferWidth = 1u << 30; },
         D3DERR_INVALIDCALL},
        {"no vertex processing", [](D3DPRESENT_PARAMETERS&, DWORD& f, D3DDEVTYPE&) { f = D3DCREATE_FPU_PRESERVE; },
         D3DERR_INVALIDCALL},
        {"two vertex processings",
         [](D3DPRESENT_PARAMETERS&, DWORD& f, D3DDEVTYPE&) {
             f = D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_MIXED_VERTEXPROCESSING;
         },
         D3DERR_INVALIDCALL},
        {"the reference rasteriser", [](D3DPRESENT_PARAMETERS&, DWORD&, D3DDEVTYPE& t) { t = D3DDEVTYPE_REF; },
         D3DERR_NOTAVAILABLE},
        {"an interval of two", [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) { p.PresentationInterval = 2; },
         D3DERR_INVALIDCALL},
        {"full screen of no format",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) {
             p.Windowed = FALSE;
             p.BackBufferFormat = D3DFMT_UNKNOWN;
         },
         D3DERR_INVALIDCALL},
        {"full screen of a mode that does not exist",
         [](D3DPRESENT_PARAMETERS& p, DWORD&, D3DDEVTYPE&) {
             p.Windowed = FALSE;
             p.BackBufferWidth = 333;
         },
         D3DERR_NOTAVAILABLE},
    };
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = WindowParams();
        DWORD flags = D3DCREATE_MIXED_VERTEXPROCESSING;
        D3DDEVTYPE type = D3DDEVTYPE_HAL;
        c.change(p, flags, type);
        IDirect3DDevice9* device = nullptr;
        EXPECT_EQ(d3d_->CreateDevice(0, type, nullptr, flags, &p, &device), c.expected) << c.what;
        EXPECT_EQ(device, nullptr) << c.what;
    }
    seams::FailCall("IDirect3D9::CreateDevice", 1, static_cast<int64_t>(D3DERR_OUTOFVIDEOMEMORY));
    D3DPRESENT_PARAMETERS p = WindowParams();
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &p, &device),
              D3DERR_OUTOFVIDEOMEMORY);
}

TEST_F(D3D9Device, ThreeRoadsMakeADeviceAndFullScreenChangesTheMode) {
    device_->Release();
    device_ = nullptr;
    struct Case {
        const char* what;
        BOOL windowed;
        bool ex;
        UINT width, height;
    } cases[] = {
        {"window", TRUE, false, 64, 48},
        {"window, Ex", TRUE, true, 64, 48},
        {"exclusive full screen", FALSE, false, 640, 480},
        {"exclusive full screen, Ex", FALSE, true, 800, 600},
    };
    IDirect3D9Ex* ex = nullptr;
    ASSERT_EQ(Direct3DCreate9Ex(D3D_SDK_VERSION, &ex), S_OK);
    for (const Case& c : cases) {
        D3DPRESENT_PARAMETERS p = WindowParams();
        p.Windowed = c.windowed;
        p.BackBufferWidth = c.width;
        p.BackBufferHeight = c.height;
        D3DDISPLAYMODEEX mode{sizeof(D3DDISPLAYMODEEX), c.width, c.height, 60, D3DFMT_X8R8G8B8,
                              D3DSCANLINEORDERING_PROGRESSIVE};
        IDirect3DDevice9* device = nullptr;
        IDirect3DDevice9Ex* deviceEx = nullptr;
        HRESULT hr = c.ex ? ex->CreateDeviceEx(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &p,
                                               c.windowed ? nullptr : &mode, &deviceEx)
                          : d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_MIXED_VERTEXPROCESSING, &p, &device);
        ASSERT_EQ(hr, D3D_OK) << c.what;
        if (deviceEx != nullptr) device = deviceEx;
        IDirect3DSurface9* back = nullptr;
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        D3DSURFACE_DESC desc;
        back->GetDesc(&desc);
        EXPECT_EQ(desc.Width, c.width) << c.what;
        EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8) << c.what;
        back->Release();
        DEVMODEA dm{};
        dm.dmSize = sizeof dm;
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm);
        if (!c.windowed) { EXPECT_EQ(dm.dmPelsWidth, c.width) << c.what; }
        EXPECT_EQ(device->Release(), 0u) << c.what;
        EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &dm);
        EXPECT_NE(dm.dmPelsWidth, c.windowed ? 0u : c.width) << c.what << ": the mode comes back";
    }
    ex->Release();
}

TEST_F(D3D9Device, ClearsFillTheViewportAndTheRectangles) {
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0), D3D_OK);
    D3DVIEWPORT9 vp{10, 5, 20, 10, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&vp), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0), D3D_OK);
    RECT rects[2] = {{0, 0, 12, 7}, {28, 13, 40, 20}};  // each only partly inside the viewport
    ASSERT_EQ(device_->Clear(2, rects, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    for (int y = 0; y < static_cast<int>(kHeight); ++y)
        for (int x = 0; x < static_cast<int>(kWidth); ++x) {
            bool inView = x >= 10 && x < 30 && y >= 5 && y < 15;
            bool inRect = (x < 12 && y < 7) || (x >= 28 && y >= 13);
            uint32_t expected = !inView ? 0xFF102030u : inRect ? 0xFF00FF00u : 0xFF0000FFu;
            ASSERT_EQ(px[static_cast<size_t>(y) * kWidth + x], expected) << x << "," << y;
        }
    struct Case {
        const char* what;
        DWORD count;
        const RECT* rects;
        DWORD flags;
        float z;
    } bad[] = {
        {"rectangles promised, none given", 1, nullptr, D3DCLEAR_TARGET, 1.0f},
        {"Z with no depth surface", 0, nullptr, D3DCLEAR_ZBUFFER, 1.0f},
        {"stencil with no stencil", 0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 1.0f},
        {"depth above 1", 0, nullptr, D3DCLEAR_TARGET, 1.5f},
        {"nothing to clear", 0, nullptr, 0, 1.0f},
    };
    for (const Case& c : bad)
        EXPECT_EQ(device_->Clear(c.count, c.rects, c.flags, 0, c.z, 0), D3DERR_INVALIDCALL) << c.what;
    D3DVIEWPORT9 outside{60, 0, 10, 10, 0.0f, 1.0f};
    EXPECT_EQ(device_->SetViewport(&outside), D3DERR_INVALIDCALL);
}

TEST_F(D3D9Device, LocksKeepToTheSurfaceAndItsRules) {
    IDirect3DSurface9* sys = nullptr;
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(16, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sys, nullptr), D3D_OK);
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(16, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    IDirect3DTexture9* fixed = nullptr;
    ASSERT_EQ(device_->CreateTexture(16, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &fixed, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    struct Case {
        const char* what;
        RECT rect;
    } outside[] = {
        {"right edge past the width", {8, 0, 17, 4}},
        {"negative left", {-1, 0, 4, 4}},
        {"empty", {4, 4, 4, 6}},
        {"upside down", {0, 6, 4, 2}},
        {"below the bottom", {0, 7, 4, 9}},
    };
    for (const Case& c : outside) EXPECT_EQ(sys->LockRect(&locked, &c.rect, 0), D3DERR_INVALIDCALL) << c.what;
    EXPECT_EQ(target->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL) << "not lockable";
    EXPECT_EQ(fixed->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL) << "default pool, not dynamic";
    RECT inside{2, 3, 6, 5};
    ASSERT_EQ(sys->LockRect(&locked, &inside, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(locked.Pitch, 16 * 4);
    EXPECT_EQ(sys->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL) << "locked twice";
    static_cast<uint32_t*>(locked.pBits)[0] = 0xFFABCDEF;  // a read-only lock of system memory still keeps writes
    EXPECT_EQ(sys->UnlockRect(), D3D_OK);
    EXPECT_EQ(sys->UnlockRect(), D3DERR_INVALIDCALL);
    ASSERT_EQ(sys->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[3 * 16 + 2], 0xFFABCDEFu);
    sys->UnlockRect();
    fixed->Release();
    target->Release();
    sys->Release();
}

TEST_F(D3D9Device, ResourcesOfAbsurdSizeOrFormatAreRefused) {
    IDirect3DTexture9* texture = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DVolumeTexture9* volume = nullptr;
    struct Case {
        const char* what;
        UINT w, h;
        D3DFORMAT format;
    } cases[] = {
        {"zero wide", 0, 16, D3DFMT_A8R8G8B8},
        {"a billion high", 16, 1u << 30, D3DFMT_A8R8G8B8},
        {"past the largest texture", 16385, 16, D3DFMT_A8R8G8B8},
        {"DXT1", 16, 16, D3DFMT_DXT1},
        {"x444 (not held)", 16, 16, D3DFMT_X4R4G4B4},
        {"an unknown number", 16, 16, static_cast<D3DFORMAT>(12345)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(device_->CreateTexture(c.w, c.h, 1, 0, c.format, D3DPOOL_MANAGED, &texture, nullptr),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device_->CreateRenderTarget(c.w, c.h, c.format, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device_->CreateOffscreenPlainSurface(c.w, c.h, c.format, D3DPOOL_SYSTEMMEM, &surface, nullptr),
                  D3DERR_INVALIDCALL)
            << c.what;
        EXPECT_EQ(device_->CreateVolumeTexture(c.w, c.h, 4, 1, 0, c.format, D3DPOOL_SYSTEMMEM, &volume, nullptr),
                  D3DERR_INVALIDCALL)
            << c.what;
    }
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                     nullptr),
              D3DERR_INVALIDCALL)
        << "render targets live in the default pool";
    seams::FailCall("IDirect3DDevice9::CreateTexture", 1, static_cast<int64_t>(D3DERR_OUTOFVIDEOMEMORY));
    EXPECT_EQ(device_->CreateTexture(16, 16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
              D3DERR_OUTOFVIDEOMEMORY);
}

TEST_F(D3D9Device, VolumeTexturesMoveFromSystemMemory) {
    IDirect3DVolumeTexture9 *source = nullptr, *dest = nullptr;
    ASSERT_EQ(device_->CreateVolumeTexture(8, 8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &source, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateVolumeTexture(8, 8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &dest, nullptr), D3D_OK);
    D3DLOCKED_BOX box;
    D3DBOX whole{0, 0, 8, 8, 0, 8};
    ASSERT_EQ(source->LockBox(0, &box, &whole, 0), D3D_OK);
    EXPECT_EQ(box.RowPitch, 32);
    EXPECT_EQ(box.SlicePitch, 256);
    static_cast<uint32_t*>(box.pBits)[7 * 64 + 3 * 8 + 5] = 0x00123456;
    source->UnlockBox(0);
    D3DBOX past{0, 0, 8, 8, 0, 9};
    EXPECT_EQ(source->LockBox(0, &box, &past, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(dest->LockBox(0, &box, nullptr, 0), D3DERR_INVALIDCALL) << "video memory does not lock";
    EXPECT_EQ(device_->UpdateTexture(source, dest), D3D_OK);
    EXPECT_EQ(device_->UpdateTexture(dest, source), D3DERR_INVALIDCALL);
    dest->Release();
    source->Release();
}

TEST_F(D3D9Device, StretchRectCopiesAndScalesBetweenTargets) {
    IDirect3DSurface9 *small = nullptr, *large = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(4, 2, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &small, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateRenderTarget(8, 4, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &large, nullptr), D3D_OK);
    ASSERT_EQ(device_->SetRenderTarget(0, small), D3D_OK);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 2; ++y) {
            RECT r{x, y, x + 1, y + 1};
            device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF000000u | (x * 60) << 16 | (y * 200), 1.0f, 0);
        }
    ASSERT_EQ(device_->StretchRect(small, nullptr, large, nullptr, D3DTEXF_NONE), D3D_OK);
    std::vector<uint32_t> px = ReadTarget(large);
    ASSERT_EQ(px.size(), 32u);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(px[y * 8 + x], 0xFF000000u | ((x / 2) * 60) << 16 | ((y / 2) * 200)) << x << "," << y;
    RECT part{1, 0, 3, 2}, at{0, 0, 2, 2};
    ASSERT_EQ(device_->StretchRect(small, &part, large, &at, D3DTEXF_POINT), D3D_OK);
    EXPECT_EQ(ReadTarget(large)[0], 0xFF000000u | 60 << 16);
    // Into a target without alpha, alpha stays opaque.
    IDirect3DSurface9* clear = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(4, 2, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &clear, nullptr), D3D_OK);
    ASSERT_EQ(device_->ColorFill(clear, nullptr, 0x40112233), D3D_OK);
    ASSERT_EQ(device_->StretchRect(clear, nullptr, large, nullptr, D3DTEXF_NONE), D3D_OK);
    EXPECT_EQ(ReadTarget(large)[9], 0xFF112233u);
    ASSERT_EQ(device_->StretchRect(clear, nullptr, small, nullptr, D3DTEXF_NONE), D3D_OK);
    clear->Release();
    RECT beyond{0, 0, 5, 2};
    EXPECT_EQ(device_->StretchRect(small, &beyond, large, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->StretchRect(small, nullptr, small, nullptr, D3DTEXF_NONE), D3DERR_INVALIDCALL);
    IDirect3DSurface9* back = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    EXPECT_EQ(device_->SetRenderTarget(0, back), D3D_OK);
    back->Release();
    large->Release();
    small->Release();
}

TEST_F(D3D9Device, PresentShowsTheBackBufferInTheWindow) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    RECT corner{0, 0, 8, 8};
    device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    std::vector<uint32_t> picture;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::ReadWindowPicture(window_, &picture, &w, &h));
    ASSERT_EQ(w, static_cast<int>(kWidth));
    EXPECT_EQ(picture[0], 0x00FF0000u);
    EXPECT_EQ(picture[static_cast<size_t>(h - 1) * w + w - 1], 0x00336699u);
    device_->BeginScene();
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL) << "inside a scene";
    device_->EndScene();
}

TEST_F(D3D9Device, ALostDeviceIsResetOnceItsVideoMemoryIsGone) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr), D3D_OK);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    d3d9::LoseDevice(device_, 2);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK) << "silently nothing";
    DrawColorQuad(0, 0, 8, 8, 0xFFFF0000);  // succeeds and draws nothing
    IDirect3DSurface9 *back = nullptr, *copy = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    device_->CreateOffscreenPlainSurface(kWidth, kHeight, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr);
    EXPECT_EQ(device_->GetRenderTargetData(back, copy), D3DERR_DEVICELOST);
    copy->Release();
    back->Release();
    D3DPRESENT_PARAMETERS p = WindowParams();
    EXPECT_EQ(device_->Reset(&p), D3DERR_DEVICELOST) << "not yet resettable";
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_EQ(device_->Reset(&p), D3DERR_INVALIDCALL) << "a default-pool texture is alive";
    texture->Release();
    ASSERT_EQ(device_->Reset(&p), D3D_OK);
    EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    EXPECT_EQ(PixelAt(4, 4), 0xFF0000FFu);
    DWORD blend = 7;
    device_->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, static_cast<DWORD>(FALSE)) << "states go back to their defaults";
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(D3D9Device, StatesOutOfRangeAreRefusedAndCallsAreRecorded) {
    d3d9::SetCallRecording(true);
    struct Case {
        const char* what;
        HRESULT result;
    } cases[] = {
        {"unknown render state", device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(1000), 1)},
        {"render state 0", device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(0), 1)},
        {"stage 8", device_->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_MODULATE)},
        {"unknown stage state", device_->SetTextureStageState(0, static_cast<D3DTEXTURESTAGESTATETYPE>(40), 1)},
        {"sampler 8", device_->SetSamplerState(8, D3DSAMP_MAGFILTER, D3DTEXF_POINT)},
        {"unknown sampler state", device_->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(99), 1)},
        {"texture stage 8", device_->SetTexture(8, nullptr)},
        {"render target 1", device_->SetRenderTarget(1, nullptr)},
        {"a second BeginScene", (device_->BeginScene(), device_->BeginScene())},
        {"a draw of no vertices", device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nullptr, 20)},
        {"a vertex-blending format", (device_->SetFVF(D3DFVF_XYZB1 | D3DFVF_DIFFUSE),
                                      device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &cases, 24))},
        {"a second EndScene", (device_->EndScene(), device_->EndScene())},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, D3DERR_INVALIDCALL) << c.what;
    EXPECT_EQ(device_->SetRenderState(D3DRS_ALPHAFUNC, 0), D3D_OK) << "an invalid comparison is stored";
    EXPECT_EQ(device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_ANISOTROPIC), D3D_OK);
    std::vector<std::string> calls = d3d9::RecordedCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetRenderState(25, 0) = 0"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "SetRenderState(1000, 1) = 8876086c"), calls.end());
    seams::FailCall("IDirect3DDevice9::SetViewport", 1, static_cast<int64_t>(D3DERR_DRIVERINTERNALERROR));
    D3DVIEWPORT9 vp{0, 0, 8, 8, 0, 1};
    EXPECT_EQ(device_->SetViewport(&vp), D3DERR_DRIVERINTERNALERROR);
}

TEST_F(D3D9Device, BoundTexturesOutliveTheirLastReference) {
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    ASSERT_NE(texture, nullptr);
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    DrawTexturedQuad(0, 0, 2, 2, 0xFFFFFFFF);
    EXPECT_EQ(PixelAt(1, 0), 0xFF00FF00u);
    IDirect3DBaseTexture9* again = nullptr;
    ASSERT_EQ(device_->GetTexture(0, &again), D3D_OK);
    EXPECT_EQ(again, static_cast<IDirect3DBaseTexture9*>(texture));
    again->Release();
    EXPECT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
}

}  // namespace
