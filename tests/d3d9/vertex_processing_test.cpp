// Untransformed vertices: world, view and projection transforms and the
// viewport placing pixels, vertices behind the eye, and per-vertex lighting
// against the lighting formula computed here (flat shading, so the first
// vertex's colour fills the triangle). Channels within 1 of 255.
#include "d3d9_test_support.h"

#include <algorithm>
#include <cmath>

using namespace d3d9test;

namespace {

constexpr int kTolerance = 1;

struct LitVertex {
    float x, y, z, nx, ny, nz;
    DWORD diffuse;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

D3DMATRIX Matrix(float sx, float sy, float sz, float tx, float ty, float tz) {
    D3DMATRIX m{};
    m.m[0][0] = sx, m.m[1][1] = sy, m.m[2][2] = sz, m.m[3][3] = 1;
    m.m[3][0] = tx, m.m[3][1] = ty, m.m[3][2] = tz;
    return m;
}

class D3D9Vertices : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        if (device_ == nullptr) return;
        device_->SetRenderState(D3DRS_ZENABLE, FALSE);
        device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
        device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        device_->SetFVF(kLitFvf);
        SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_DIFFUSE);
    }
    HRESULT Draw(D3DPRIMITIVETYPE type, UINT primitives, const LitVertex* v) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device_->BeginScene();
        HRESULT hr = device_->DrawPrimitiveUP(type, primitives, v, sizeof(LitVertex));
        device_->EndScene();
        return hr;
    }
};

TEST_F(D3D9Vertices, TransformsAndTheViewportPlacePixels) {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    // A unit square around the origin, scaled by a half and moved by (0.25, 0.25): clip x and y 0 .. 0.5.
    const LitVertex square[4] = {{-0.5f, 0.5f, 0.5f, 0, 0, -1, 0xFFFF0000}, {0.5f, 0.5f, 0.5f, 0, 0, -1, 0xFFFF0000},
                                 {-0.5f, -0.5f, 0.5f, 0, 0, -1, 0xFFFF0000}, {0.5f, -0.5f, 0.5f, 0, 0, -1, 0xFFFF0000}};
    const D3DMATRIX world = Matrix(0.5f, 0.5f, 1, 0.25f, 0.25f, 0), identity = Matrix(1, 1, 1, 0, 0, 0);
    struct Case {
        const char* what;
        D3DMATRIX world, view;
        D3DVIEWPORT9 viewport;
    };
    const Case cases[] = {
        {"world alone", world, identity, {0, 0, kWidth, kHeight, 0, 1}},
        {"split between world and view", Matrix(0.5f, 0.5f, 1, 0, 0, 0), Matrix(1, 1, 1, 0.25f, 0.25f, 0),
         {0, 0, kWidth, kHeight, 0, 1}},
        {"a viewport in a corner", world, identity, {8, 4, 32, 24, 0, 1}},
    };
    for (const Case& c : cases) {
        device_->SetTransform(D3DTS_WORLD, &c.world);
        device_->SetTransform(D3DTS_VIEW, &c.view);
        device_->SetTransform(D3DTS_PROJECTION, &identity);
        device_->SetViewport(&c.viewport);
        ASSERT_EQ(Draw(D3DPT_TRIANGLESTRIP, 2, square), D3D_OK) << c.what;
        // Clip (0 .. 0.5, 0 .. 0.5) maps to these pixels.
        const D3DVIEWPORT9& vp = c.viewport;
        int x0 = static_cast<int>(vp.X + vp.Width * 0.5f), x1 = static_cast<int>(vp.X + vp.Width * 0.75f);
        int y0 = static_cast<int>(vp.Y + vp.Height * 0.25f), y1 = static_cast<int>(vp.Y + vp.Height * 0.5f);
        std::vector<uint32_t> px = ReadTarget();
        auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFF; };
        EXPECT_EQ(at(x0, y0), 0xFF0000u) << c.what << ": top-left pixel";
        EXPECT_EQ(at(x1 - 1, y1 - 1), 0xFF0000u) << c.what << ": bottom-right pixel";
        EXPECT_EQ(at(x0 - 1, y0), 0u) << c.what << ": left of it";
        EXPECT_EQ(at(x1, y0), 0u) << c.what << ": right of it";
        EXPECT_EQ(at(x0, y0 - 1), 0u) << c.what << ": above it";
        EXPECT_EQ(at(x0, y1), 0u) << c.what << ": below it";
    }
    D3DVIEWPORT9 whole{0, 0, kWidth, kHeight, 0, 1};
    device_->SetViewport(&whole);
}

TEST_F(D3D9Vertices, TrianglesTouchingAVertexBehindTheEyeAreLeftOut) {
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    D3DMATRIX perspective = Matrix(1, 1, 1, 0, 0, 0);
    perspective.m[2][3] = 1, perspective.m[3][3] = 0;  // w = z
    device_->SetTransform(D3DTS_PROJECTION, &perspective);
    // Two triangles of a list: the first wholly in front (z 0.5 .. 1), the second with a vertex at z -1.
    const LitVertex v[6] = {{-0.5f, -0.5f, 1, 0, 0, -1, 0xFF00FF00}, {-0.5f, 0.5f, 1, 0, 0, -1, 0xFF00FF00},
                            {0.0f, -0.5f, 1, 0, 0, -1, 0xFF00FF00},  {0.2f, -0.5f, 1, 0, 0, -1, 0xFF0000FF},
                            {0.2f, 0.5f, 1, 0, 0, -1, 0xFF0000FF},   {0.9f, 0.0f, -1, 0, 0, -1, 0xFF0000FF}};
    ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 2, v), D3D_OK);
    std::vector<uint32_t> px = ReadTarget();
    int greens = 0, blues = 0;
    for (uint32_t p : px) greens += (p & 0xFFFFFF) == 0x00FF00, blues += (p & 0xFFFFFF) == 0x0000FF;
    EXPECT_GT(greens, 100);
    EXPECT_EQ(blues, 0);
}

// The lit colour of the first vertex of a full-screen triangle facing the eye.
TEST_F(D3D9Vertices, LightingFollowsTheFormula) {
    const LitVertex v[3] = {{-1, -1, 0.5f, 0, 0, -1, 0xFF806040}, {-1, 3, 0.5f, 0, 0, -1, 0xFF806040},
                            {3, -1, 0.5f, 0, 0, -1, 0xFF806040}};
    const float vertex[3] = {0x80 / 255.0f, 0x60 / 255.0f, 0x40 / 255.0f};
    D3DMATERIAL9 material{};
    material.Ambient = {1.0f, 0.5f, 0.25f, 1};
    material.Diffuse = {0, 1, 0, 1};
    device_->SetMaterial(&material);
    auto directional = [](float x, float y, float z) {
        D3DLIGHT9 l{};
        l.Type = D3DLIGHT_DIRECTIONAL, l.Diffuse = {1, 1, 1, 1}, l.Direction = {x, y, z};
        return l;
    };
    auto point = [](float z, float range, float a1) {
        D3DLIGHT9 l{};
        l.Type = D3DLIGHT_POINT, l.Diffuse = {1, 1, 1, 1}, l.Position = {-1, -1, z}, l.Range = range;
        l.Attenuation1 = a1;
        return l;
    };
    struct Case {
        const char* what;
        bool lighting;
        DWORD ambient;
        bool lightOn;
        D3DLIGHT9 light;
        DWORD diffuseSource;
        float lambertTimesAttenuation;  // of the vertex's diffuse, from the formula
    };
    const float cos60 = 0.5f;
    const Case cases[] = {
        {"lighting off: the vertex colour", false, 0, false, {}, D3DMCS_COLOR1, -1},
        {"ambient only", true, 0x00404040, false, directional(0, 0, 1), D3DMCS_COLOR1, 0},
        {"a disabled light adds nothing", true, 0x00404040, false, directional(0, 0, 1), D3DMCS_COLOR1, 0},
        {"a light straight on", true, 0, true, directional(0, 0, 1), D3DMCS_COLOR1, 1},
        {"a light at 60 degrees", true, 0, true, directional(0, std::sqrt(3.0f) / 2, cos60), D3DMCS_COLOR1, cos60},
        {"a light from behind", true, 0, true, directional(0, 0, -1), D3DMCS_COLOR1, 0},
        {"a point light at distance 2", true, 0, true, point(-1.5f, 10, 1), D3DMCS_COLOR1, 0.5f},
        {"a point light out of range", true, 0, true, point(-1.5f, 1.5f, 1), D3DMCS_COLOR1, 0},
        {"diffuse from the material", true, 0x00202020, true, directional(0, 0, 1), D3DMCS_MATERIAL, 1},
    };
    for (const Case& c : cases) {
        device_->SetRenderState(D3DRS_LIGHTING, c.lighting);
        device_->SetRenderState(D3DRS_AMBIENT, c.ambient);
        device_->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, c.diffuseSource);
        device_->SetLight(0, &c.light);
        device_->LightEnable(0, c.lightOn);
        ASSERT_EQ(Draw(D3DPT_TRIANGLELIST, 1, v), D3D_OK) << c.what;
        float expected[3];
        for (int i = 0; i < 3; ++i) {
            const float* ma = &material.Ambient.r;
            const float* md = c.diffuseSource == D3DMCS_MATERIAL ? &material.Diffuse.r : vertex;
            float global = ((c.ambient >> (16 - 8 * i)) & 255) / 255.0f;
            expected[i] = c.lighting ? global * ma[i] + c.lambertTimesAttenuation * md[i] : vertex[i];
        }
        uint32_t want = 0xFF000000u;
        for (int i = 0; i < 3; ++i)
            want |= static_cast<uint32_t>(std::lround(std::clamp(expected[i], 0.0f, 1.0f) * 255)) << (16 - 8 * i);
        EXPECT_TRUE(Near(PixelAt(10, 10), want, kTolerance, false)) << c.what << ": " << std::hex << PixelAt(10, 10)
                                                                   << " for " << want;
    }
}

}  // namespace
