// Shared fixtures of the Direct3D 9 stand-in tests: a headless OpenGL
// context (SDL's offscreen driver), a window, a device, and helpers that
// make textures, draw quads and read the back buffer back.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace d3d9test {

// Pre-transformed vertices of the two layouts the library draws with.
struct ColorVertex {
    float x, y, z, rhw;
    DWORD diffuse;
};
struct TexVertex {
    float x, y, z, rhw;
    DWORD diffuse;
    float u, v;
};
struct Tex2Vertex {
    float x, y, z, rhw;
    DWORD diffuse;
    DWORD specular;
    float u0, v0, u1, v1;
};
constexpr DWORD kColorFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
constexpr DWORD kTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kTex2Fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2;

// Channel a (shift 24, 16, 8, 0) of an ARGB colour.
inline int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }
// True when every channel of a and b differ by at most tolerance.
bool Near(uint32_t a, uint32_t b, int tolerance, bool withAlpha = true);

// A window and a windowed X8R8G8B8 device of kWidth x kHeight, skipped only
// when this machine has no OpenGL 3.3 context.
class DeviceTest : public ::testing::Test {
protected:
    static constexpr UINT kWidth = 64;
    static constexpr UINT kHeight = 48;

    void SetUp() override;
    void TearDown() override;
    // Present parameters of a window of kWidth x kHeight.
    D3DPRESENT_PARAMETERS WindowParams() const;

    // The render target's pixels (through GetRenderTargetData).
    std::vector<uint32_t> ReadTarget(IDirect3DSurface9* target = nullptr);
    uint32_t PixelAt(int x, int y) { return ReadTarget()[static_cast<size_t>(y) * kWidth + x]; }
    // A managed texture filled from argb (w x h, top row first).
    IDirect3DTexture9* MakeTexture(int w, int h, D3DFORMAT format, const std::vector<uint32_t>& argb);
    // A quad covering the pixels [x0, x1) x [y0, y1), texels mapped one to one.
    void DrawTexturedQuad(float x0, float y0, float x1, float y1, DWORD diffuse, float u1 = 1, float v1 = 1);
    void DrawColorQuad(float x0, float y0, float x1, float y1, DWORD diffuse);
    // Sets stage 0 to the given operations, stage 1 off.
    void SetStage0(DWORD colorOp, DWORD colorArg1, DWORD colorArg2, DWORD alphaOp, DWORD alphaArg1, DWORD alphaArg2);

    HWND window_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
};

// A device on the window's default X8R8G8B8 back buffer.
class D3D9Device : public DeviceTest {};

// A drawing test on an A8R8G8B8 target, so that alpha can be read back.
class D3D9Draw : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ == nullptr) return;
        ASSERT_EQ(device_->CreateRenderTarget(kWidth, kHeight, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target_,
                                              nullptr),
                  D3D_OK);
        ASSERT_EQ(device_->SetRenderTarget(0, target_), D3D_OK);
        device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        for (DWORD s : {D3DSAMP_ADDRESSU, D3DSAMP_ADDRESSV})
            device_->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(s), D3DTADDRESS_CLAMP);
    }
    void TearDown() override {
        if (device_ != nullptr) {
            IDirect3DSurface9* back = nullptr;
            device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back);
            device_->SetRenderTarget(0, back);
            back->Release();
        }
        if (target_ != nullptr) target_->Release();
        DeviceTest::TearDown();
    }
    uint32_t At(int x, int y) { return ReadTarget(target_)[static_cast<size_t>(y) * kWidth + x]; }
    void ClearTo(uint32_t argb) { device_->Clear(0, nullptr, D3DCLEAR_TARGET, argb, 1.0f, 0); }

    IDirect3DSurface9* target_ = nullptr;
};

// Headless video, a private window registry and no injected failures.
// The registry directory is made on first use and removed when the program ends.
void PrepareHeadless();
// That directory (empty before the first PrepareHeadless).
const std::string& HeadlessRegistryDirectory();
HWND MakeWindow(int width, int height);
// Runs this test program again, only its (disabled) test `filter`, under
// `env` arguments ("-u NAME", "NAME=value", space-separated, may be empty);
// gives its standard output and error, and its exit code (-1 if it did not
// exit) in *exitCode.
std::string RunOwnTest(const std::string& env, const char* filter, int* exitCode);

}  // namespace d3d9test
