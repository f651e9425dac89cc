// Copies between resources, 16-bit pixels through textures and targets,
// render-target textures, the back buffer's lock, present rectangles, the
// software-rasteriser rule and failures a test chooses.
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

TEST_F(D3D9Device, SixteenBitPixelsRoundTripThroughTexturesAndTargets) {
    struct Case {
        const char* what;
        uint32_t written;   // A8R8G8B8
        uint16_t packed;    // as 5-6-5
        uint32_t expanded;  // the 5-6-5 pixel sampled: top bits repeated below
    } cases[] = {
        {"white", 0xFFFFFFFF, 0xFFFF, 0xFFFFFFFF},
        {"black", 0xFF000000, 0x0000, 0xFF000000},
        {"low bits dropped", 0xFF8F4F2F, 0x8A65, 0xFF8C4D29},
        {"alpha is always opaque", 0x00102030, 0x1106, 0xFF102031},
    };
    IDirect3DSurface9 *target = nullptr, *copy = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(4, 4, D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &copy, nullptr), D3D_OK);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    for (const Case& c : cases) {
        IDirect3DTexture9* texture = MakeTexture(1, 1, D3DFMT_R5G6B5, {c.written});
        device_->SetTexture(0, texture);
        DrawTexturedQuad(0, 0, 4, 4, 0xFFFFFFFF);
        EXPECT_EQ(PixelAt(2, 2), c.expanded) << c.what;
        device_->SetTexture(0, nullptr);
        texture->Release();
        RECT pixel{1, 1, 2, 2};
        ASSERT_EQ(device_->ColorFill(target, &pixel, c.written), D3D_OK);
        ASSERT_EQ(device_->GetRenderTargetData(target, copy), D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(copy->LockRect(&locked, &pixel, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(*static_cast<uint16_t*>(locked.pBits), c.packed) << c.what;
        EXPECT_EQ(locked.Pitch, 8);
        copy->UnlockRect();
    }
    copy->Release();
    target->Release();
}

TEST_F(D3D9Device, ARenderTargetTextureIsDrawnIntoThenDrawnFrom) {
    IDirect3DTexture9* canvas = nullptr;
    ASSERT_EQ(device_->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &canvas, nullptr),
              D3D_OK);
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(canvas->GetSurfaceLevel(0, &level), D3D_OK);
    RECT left{0, 0, 4, 8};
    ASSERT_EQ(device_->ColorFill(level, nullptr, 0xFF0000FF), D3D_OK);
    ASSERT_EQ(device_->ColorFill(level, &left, 0xFFFFFF00), D3D_OK);
    RECT outside{0, 0, 9, 8};
    EXPECT_EQ(device_->ColorFill(level, &outside, 0), D3DERR_INVALIDCALL);
    ASSERT_EQ(device_->SetRenderTarget(0, level), D3D_OK);
    D3DVIEWPORT9 vp;
    device_->GetViewport(&vp);
    EXPECT_EQ(vp.Width, 8u) << "the viewport covers the new target";
    RECT corner{6, 6, 8, 8};
    device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    IDirect3DSurface9* back = nullptr;
    device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
    device_->SetRenderTarget(0, back);
    back->Release();
    device_->SetTexture(0, canvas);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    DrawTexturedQuad(20, 10, 28, 18, 0xFFFFFFFF);
    std::vector<uint32_t> px = ReadTarget();
    EXPECT_EQ(px[12 * kWidth + 21], 0xFFFFFF00u);
    EXPECT_EQ(px[12 * kWidth + 25], 0xFF0000FFu);
    EXPECT_EQ(px[17 * kWidth + 27], 0xFFFF0000u);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(level->LockRect(&locked, nullptr, 0), D3DERR_INVALIDCALL) << "render-target textures do not lock";
    device_->SetTexture(0, nullptr);
    level->Release();
    canvas->Release();
}

TEST_F(D3D9Device, CopiesRefuseMismatchedSurfaces) {
    IDirect3DSurface9 *target = nullptr, *sysSmall = nullptr, *sys565 = nullptr, *plain = nullptr;
    ASSERT_EQ(device_->CreateRenderTarget(8, 8, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &sysSmall, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_R5G6B5, D3DPOOL_SYSTEMMEM, &sys565, nullptr), D3D_OK);
    ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_DEFAULT, &plain, nullptr), D3D_OK);
    struct Case {
        const char* what;
        HRESULT result;
    } cases[] = {
        {"read back into a smaller surface", device_->GetRenderTargetData(target, sysSmall)},
        {"read back into another format", device_->GetRenderTargetData(target, sys565)},
        {"read back from a plain surface", device_->GetRenderTargetData(plain, sys565)},
        {"stretch from system memory", device_->StretchRect(sysSmall, nullptr, target, nullptr, D3DTEXF_NONE)},
        {"stretch with an unknown filter",
         device_->StretchRect(target, nullptr, plain, nullptr, static_cast<D3DTEXTUREFILTERTYPE>(7))},
        {"update from video memory", device_->UpdateSurface(plain, nullptr, target, nullptr)},
        {"update of another format", device_->UpdateSurface(sys565, nullptr, plain, nullptr)},
        {"a null surface", device_->StretchRect(nullptr, nullptr, target, nullptr, D3DTEXF_NONE)},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, D3DERR_INVALIDCALL) << c.what;
    EXPECT_EQ(device_->StretchRect(target, nullptr, plain, nullptr, D3DTEXF_LINEAR), D3D_OK);
    plain->Release();
    sys565->Release();
    sysSmall->Release();
    target->Release();
}

}  // namespace

namespace {

TEST_F(D3D9Device, ALockableBackBufferLocksItsPixelsBothWays) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF204060, 1.0f, 0);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    RECT area{10, 5, 14, 9};
    D3DLOCKED_RECT locked;
    ASSERT_EQ(back->LockRect(&locked, &area, 0), D3D_OK);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0] & 0x00FFFFFFu, 0x00204060u);
    auto* row1 = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + locked.Pitch);
    row1[2] = 0xFFABCDEF;  // pixel (12, 6)
    ASSERT_EQ(back->UnlockRect(), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    EXPECT_EQ(px[6 * kWidth + 12], 0xFFABCDEFu);
    EXPECT_EQ(px[6 * kWidth + 13], 0xFF204060u);
    back->Release();
}

TEST_F(D3D9Device, PresentScalesASourceRectangleIntoADestRectangle) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    RECT dot{1, 2, 2, 3};
    device_->Clear(1, &dot, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    RECT source{0, 0, 32, 24}, dest{0, 0, 64, 48};  // a quarter of the back buffer, doubled
    ASSERT_EQ(device_->Present(&source, &dest, nullptr, nullptr), D3D_OK);
    std::vector<uint32_t> picture;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::ReadWindowPicture(window_, &picture, &w, &h));
    for (int y = 3; y < 7; ++y)
        for (int x = 1; x < 5; ++x) {
            bool white = x >= 2 && x < 4 && y >= 4 && y < 6;
            EXPECT_EQ(picture[static_cast<size_t>(y) * w + x], white ? 0x00FFFFFFu : 0u) << x << "," << y;
        }
    RECT outside{0, 0, 65, 48};
    EXPECT_EQ(device_->Present(&outside, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
}

TEST(D3D9Hardware, ASoftwareRasteriserOffersNoDeviceUnlessItIsAskedFor) {
    struct Case {
        const char* what;
        bool forbidden, forced, cardNode;
        const char* renderer;
        bool device;
    } cases[] = {
        {"a graphics card", false, false, true, "AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)", true},
        {"llvmpipe", false, false, true, "llvmpipe (LLVM 15.0.6, 256 bits)", false},
        {"softpipe", false, false, true, "softpipe", false},
        {"swrast in capitals", false, false, true, "Mesa SWRAST", false},
        {"no card node", false, false, false, "anything", false},
        {"llvmpipe asked for", false, true, true, "llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"asked for without a card", false, true, false, "llvmpipe", true},
        {"forbidden wins", true, true, true, "AMD Radeon", false},
        {"no name", false, false, true, nullptr, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(d3d9::ChooseHardware(c.forbidden, c.forced, c.cardNode, c.renderer), c.device) << c.what;
}

TEST_F(D3D9Device, PresentsStayOnTheCardUntilTheWindowPictureIsRead) {
    struct Case {
        const char* what;
        uint32_t color;
        bool withRects;
    } cases[] = {{"whole back buffer", 0xFF204060, false}, {"a rectangle doubled", 0xFF806040, true}};
    const uint64_t presentsBefore = platform::sdl::WindowPresentCount(platform::WindowBackendId(window_));
    for (const Case& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, c.color, 1.0f, 0);
        RECT source{0, 0, 16, 12}, dest{0, 0, 32, 24};
        const uint64_t reads = d3d9::PixelReadCount();
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(device_->Present(c.withRects ? &source : nullptr, c.withRects ? &dest : nullptr, nullptr,
                                       nullptr),
                      D3D_OK)
                << c.what;
        }
        EXPECT_EQ(d3d9::PixelReadCount(), reads) << c.what << ": a present reads nothing back";
        std::vector<uint32_t> picture;
        int w = 0, h = 0;
        ASSERT_TRUE(platform::ReadWindowPicture(window_, &picture, &w, &h));
        EXPECT_GT(d3d9::PixelReadCount(), reads) << c.what << ": reading the picture does";
        EXPECT_EQ(picture[static_cast<size_t>(5) * w + 5], c.color & 0x00FFFFFFu) << c.what;
    }
    EXPECT_EQ(platform::sdl::WindowPresentCount(platform::WindowBackendId(window_)), presentsBefore + 6);
    // Once the device is gone, the picture keeps the last frame shown.
    device_->Release();
    device_ = nullptr;
    std::vector<uint32_t> picture;
    int w = 0, h = 0;
    ASSERT_TRUE(platform::ReadWindowPicture(window_, &picture, &w, &h));
    EXPECT_EQ(picture[static_cast<size_t>(5) * w + 5], 0x00806040u);
}

}  // namespace

namespace {

TEST_F(D3D9Device, AnyCallFailsOnceWithTheResultATestChose) {
    IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, std::vector<uint32_t>(4, 0));
    IDirect3DSurface9* surface = nullptr;
    device_->CreateOffscreenPlainSurface(4, 4, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM, &surface, nullptr);
    IDirect3DSwapChain9* chain = nullptr;
    device_->GetSwapChain(0, &chain);
    D3DMATRIX m{};
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_POINT;
    D3DMATERIAL9 material{};
    BOOL flags[4] = {};
    D3DLOCKED_RECT locked;
    ColorVertex v[3] = {};
    struct Case {
        const char* name;
        std::function<HRESULT()> call;
        bool unlockAfter;
    } cases[] = {
        {"IDirect3DDevice9::SetTransform", [&] { return device_->SetTransform(D3DTS_VIEW, &m); }, false},
        {"IDirect3DDevice9::SetLight", [&] { return device_->SetLight(300, &light); }, false},
        {"IDirect3DDevice9::LightEnable", [&] { return device_->LightEnable(3, TRUE); }, false},
        {"IDirect3DDevice9::SetMaterial", [&] { return device_->SetMaterial(&material); }, false},
        {"IDirect3DDevice9::SetVertexShaderConstantB", [&] { return device_->SetVertexShaderConstantB(4, flags, 4); }, false},
        {"IDirect3DDevice9::SetRenderState", [&] { return device_->SetRenderState(D3DRS_LIGHTING, FALSE); }, false},
        {"IDirect3DDevice9::Clear", [&] { return device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1, 0); }, false},
        {"IDirect3DDevice9::BeginScene", [&] { return device_->BeginScene(); }, false},
        {"IDirect3DDevice9::DrawPrimitiveUP",
         [&] { return device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)); }, false},
        {"IDirect3DDevice9::EndScene", [&] { return device_->EndScene(); }, false},
        {"IDirect3DDevice9::SetDialogBoxMode", [&] { return device_->SetDialogBoxMode(TRUE); }, false},
        {"IDirect3DSwapChain9::Present", [&] { return chain->Present(nullptr, nullptr, nullptr, nullptr, 0); }, false},
        {"IDirect3DSurface9::LockRect", [&] { return surface->LockRect(&locked, nullptr, 0); }, true},
        {"IDirect3DTexture9::LockRect", [&] { return texture->LockRect(0, &locked, nullptr, 0); }, true},
        {"IDirect3DDevice9::TestCooperativeLevel", [&] { return device_->TestCooperativeLevel(); }, false},
        {"IDirect3D9::CheckDepthStencilMatch",
         [&] {
             return d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_D16);
         },
         false},
    };
    device_->SetFVF(kColorFvf);
    for (const Case& c : cases) {
        seams::FailCall(c.name, 1, static_cast<int64_t>(E_OUTOFMEMORY));
        EXPECT_EQ(c.call(), E_OUTOFMEMORY) << c.name;
        EXPECT_EQ(c.call(), D3D_OK) << c.name << " succeeds again";
        if (c.unlockAfter) {
            surface->UnlockRect();
            texture->UnlockRect(0);
        }
    }
    chain->Release();
    surface->Release();
    texture->Release();
}

}  // namespace
