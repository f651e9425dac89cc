// The GL side sends a value only when the context does not hold it already.
// These cases run sequences of device calls (draws with some states off,
// clears, copies, presents) and then ask the context itself (glGet) what it
// holds, and check a frame's pixels where a stale value would show.
#include "d3d9_test_support.h"

#include "platform/d3d9/d3d9_gl.h"

#include <functional>

using namespace d3d9test;

namespace {

constexpr int kGlZero = 0, kGlOne = 1, kGlSrcAlpha = 0x0302, kGlOneMinusSrcAlpha = 0x0303;
constexpr int kGlLequal = 0x0203;

class D3D9Shadow : public D3D9Draw {
public:
    using D3D9Draw::ClearTo;
    using DeviceTest::device_;

protected:
    void SetUp() override {
        D3D9Draw::SetUp();
        if (device_ == nullptr) return;
        ASSERT_EQ(device_->CreateDepthStencilSurface(kWidth, kHeight, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE,
                                                     &depth_, nullptr),
                  D3D_OK);
        device_->SetDepthStencilSurface(depth_);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    }
    void TearDown() override {
        if (device_ != nullptr) device_->SetDepthStencilSurface(nullptr);
        if (depth_ != nullptr) depth_->Release();
        D3D9Draw::TearDown();
    }

public:
    void Blend(BOOL on, DWORD src, DWORD dest) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, on);
        device_->SetRenderState(D3DRS_SRCBLEND, src);
        device_->SetRenderState(D3DRS_DESTBLEND, dest);
    }
    void Depth(DWORD enable, BOOL write) {
        device_->SetRenderState(D3DRS_ZENABLE, enable);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, write);
    }
    void Quad(float z, DWORD diffuse) {
        ColorVertex v[4] = {{0, 0, z, 1, diffuse}, {8, 0, z, 1, diffuse}, {0, 8, z, 1, diffuse}, {8, 8, z, 1, diffuse}};
        device_->SetFVF(kColorFvf);
        device_->BeginScene();
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColorVertex)), D3D_OK);
        device_->EndScene();
    }
    void CopyTarget() {
        IDirect3DSurface9* back = nullptr;
        ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
        RECT from{0, 0, 8, 8}, to{16, 16, 24, 24};
        EXPECT_EQ(device_->StretchRect(target_, &from, back, &to, D3DTEXF_POINT), D3D_OK);
        back->Release();
    }

private:
    IDirect3DSurface9* depth_ = nullptr;
};

// What the last draw of a sequence asks, as GL reports it back.
struct ShadowCase {
    const char* what;
    std::function<void(D3D9Shadow&)> run;
    bool blend;
    int src, dest;  // checked when blend is on
    bool depthTest;
    bool depthWrite;  // checked when depthTest is on
    bool alphaMask;
};

TEST_F(D3D9Shadow, TheContextHoldsWhatTheLastDrawAskedAfterAnySequence) {
    const ShadowCase cases[] = {
        {"zero factors after a draw with blending off",
         [](D3D9Shadow& t) {
             t.Blend(TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), t.Quad(0.5f, 0xFFFFFFFF);
             t.Blend(FALSE, D3DBLEND_ONE, D3DBLEND_ZERO), t.Quad(0.5f, 0xFFFFFFFF);
             t.Blend(TRUE, D3DBLEND_ZERO, D3DBLEND_ZERO), t.Quad(0.5f, 0xFFFFFFFF);
         },
         true, kGlZero, kGlZero, false, false, true},
        {"factors kept while blending is off come back",
         [](D3D9Shadow& t) {
             t.Blend(TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), t.Quad(0.5f, 0xFFFFFFFF);
             t.Blend(FALSE, D3DBLEND_ZERO, D3DBLEND_ZERO), t.Quad(0.5f, 0xFFFFFFFF);
             t.Blend(TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), t.Quad(0.5f, 0xFFFFFFFF);
         },
         true, kGlSrcAlpha, kGlOneMinusSrcAlpha, false, false, true},
        {"no Z write after a depth clear with the test off",
         [](D3D9Shadow& t) {
             t.Depth(D3DZB_FALSE, TRUE), t.Quad(0.5f, 0xFFFFFFFF);
             t.device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
             t.Depth(D3DZB_FALSE, FALSE), t.Quad(0.5f, 0xFFFFFFFF);
             t.Depth(D3DZB_TRUE, FALSE), t.Quad(0.5f, 0xFFFFFFFF);
         },
         false, 0, 0, true, false, true},
        {"no Z write after a depth clear with the test on",
         [](D3D9Shadow& t) {
             t.Depth(D3DZB_TRUE, FALSE), t.Quad(0.5f, 0xFFFFFFFF);
             t.device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
             t.Quad(0.5f, 0xFFFFFFFF);
         },
         false, 0, 0, true, false, true},
        {"colour mask without alpha after a full clear",
         [](D3D9Shadow& t) {
             t.device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0x7);
             t.Quad(0.5f, 0xFFFFFFFF);
             t.device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
             t.Quad(0.5f, 0xFFFFFFFF);
         },
         false, 0, 0, false, false, false},
        {"colour mask and factors after a copy",
         [](D3D9Shadow& t) {
             t.device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0x7);
             t.Blend(TRUE, D3DBLEND_ONE, D3DBLEND_ONE), t.Quad(0.5f, 0xFFFFFFFF);
             t.CopyTarget();
             t.Quad(0.5f, 0xFFFFFFFF);
         },
         true, kGlOne, kGlOne, false, false, false},
        {"depth state after a present",
         [](D3D9Shadow& t) {
             t.Depth(D3DZB_TRUE, FALSE), t.Quad(0.5f, 0xFFFFFFFF);
             t.device_->Present(nullptr, nullptr, nullptr, nullptr);
             t.device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
             t.Quad(0.5f, 0xFFFFFFFF);
         },
         false, 0, 0, true, false, true},
    };
    if (device_ == nullptr) GTEST_SKIP();
    for (const ShadowCase& c : cases) {
        Blend(FALSE, D3DBLEND_ONE, D3DBLEND_ZERO);
        Depth(D3DZB_FALSE, TRUE);
        device_->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        c.run(*this);
        d3d9::gl::ContextState gl = d3d9::gl::QueryContextState();
        EXPECT_EQ(gl.blend, c.blend) << c.what;
        if (c.blend) {
            EXPECT_EQ(gl.blendSrcRgb, c.src) << c.what;
            EXPECT_EQ(gl.blendDstRgb, c.dest) << c.what;
            EXPECT_EQ(gl.blendSrcAlpha, c.src) << c.what;
            EXPECT_EQ(gl.blendDstAlpha, c.dest) << c.what;
        }
        EXPECT_EQ(gl.depthTest, c.depthTest) << c.what;
        if (c.depthTest) {
            EXPECT_EQ(gl.depthWriteMask, c.depthWrite) << c.what;
            EXPECT_EQ(gl.depthFunc, kGlLequal) << c.what;
        }
        EXPECT_TRUE(gl.scissorTest) << c.what;
        EXPECT_TRUE(gl.colorMask[0] && gl.colorMask[1] && gl.colorMask[2]) << c.what;
        EXPECT_EQ(gl.colorMask[3], c.alphaMask) << c.what;
    }
}

// The frames of the same sequences: a value left behind by the shadow would
// change the pixel.
TEST_F(D3D9Shadow, FramesAfterClearsAndBlendSwitchesShowWhatWasAsked) {
    struct Case {
        const char* what;
        std::function<void(D3D9Shadow&)> run;
        uint32_t expected;
    } cases[] = {
        {"zero factors blend to black",
         [](D3D9Shadow& t) {
             t.ClearTo(0xFF0000FF);
             t.Blend(TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA), t.Quad(0.5f, 0x80FFFFFF);
             t.Blend(FALSE, D3DBLEND_ONE, D3DBLEND_ZERO), t.Quad(0.5f, 0xFF00FF00);
             t.Blend(TRUE, D3DBLEND_ZERO, D3DBLEND_ZERO), t.Quad(0.5f, 0xFFFF0000);
         },
         0x00000000},
        {"a draw that does not write Z leaves the cleared depth",
         [](D3D9Shadow& t) {
             t.device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
             t.Depth(D3DZB_FALSE, TRUE), t.Quad(0.9f, 0xFF0000FF);
             t.Depth(D3DZB_TRUE, FALSE), t.Quad(0.5f, 0xFFFF0000);
             t.device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
             t.device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
             t.Quad(0.75f, 0xFF00FF00);
         },
         0xFF00FF00},
    };
    if (device_ == nullptr) GTEST_SKIP();
    for (const auto& c : cases) {
        Blend(FALSE, D3DBLEND_ONE, D3DBLEND_ZERO);
        Depth(D3DZB_FALSE, TRUE);
        c.run(*this);
        EXPECT_EQ(At(4, 4), c.expected) << c.what;
    }
}

}  // namespace
