// Documented rules the other draw tests leave out: the "both" blend factors,
// the blend-factor colour, mirror-once addressing, and every render state
// being accepted. The expected pixels are worked out by hand in each row.
#include "d3d9_test_support.h"

using namespace d3d9test;

namespace {

constexpr int kTolerance = 1;

// Diffuse over a cleared target, blending with the given factors.
TEST_F(D3D9Draw, BothAlphaFactorsSetTheSourceAndOverrideTheDestination) {
    struct Case {
        const char* what;
        DWORD src, dest;
        D3DCOLOR blendFactor;
        uint32_t diffuse, under, expected;
    } cases[] = {
        // As = 64/255: r = 255 As = 64, b = 255 (1 - As) = 191, a = As As + (1 - As) = 0.812 -> 207.
        {"both-src-alpha", D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, 0xFFFFFFFF, 0x40FF0000, 0xFF0000FF, 0xCF4000BF},
        {"both-src-alpha ignores a destination of one", D3DBLEND_BOTHSRCALPHA, D3DBLEND_ONE, 0xFFFFFFFF, 0x40FF0000,
         0xFF0000FF, 0xCF4000BF},
        // r = 255 (1 - As) = 191, b = 255 As = 64, a = As (1 - As) + As = 0.439 -> 112.
        {"both-inverse-src-alpha", D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, 0xFFFFFFFF, 0x40FF0000, 0xFF0000FF,
         0x70BF0040},
        // White over blue with F = (a 0x40, r 0x20, g 0x80, b 0x80): r = 0x20, g = 0x80,
        // b = 0x80 + 255 (1 - 0x80/255) = 0xFF, a = 0x40 + 0xBF = 0xFF.
        {"blend-factor colour", D3DBLEND_BLENDFACTOR, D3DBLEND_INVBLENDFACTOR, 0x40208080, 0xFFFFFFFF, 0xFF0000FF,
         0xFF2080FF},
        {"a white blend-factor colour keeps the source", D3DBLEND_BLENDFACTOR, D3DBLEND_ZERO, 0xFFFFFFFF, 0x80402010,
         0xFF0000FF, 0x80402010},
    };
    if (device_ == nullptr) GTEST_SKIP();
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const Case& c : cases) {
        ClearTo(c.under);
        device_->SetRenderState(D3DRS_SRCBLEND, c.src);
        device_->SetRenderState(D3DRS_DESTBLEND, c.dest);
        device_->SetRenderState(D3DRS_BLENDFACTOR, c.blendFactor);
        DrawColorQuad(0, 0, 8, 8, c.diffuse);
        uint32_t got = At(4, 4);
        EXPECT_TRUE(Near(got, c.expected, kTolerance)) << c.what << ": got " << std::hex << got;
    }
}

// An 8x1 strip over a 4x1 texture of reds 10, 20, 30, 40, u running from
// uLeft at the strip's left edge to uRight at its right edge, point sampled.
TEST_F(D3D9Draw, MirrorOnceMirrorsAboutZeroOnceThenClamps) {
    struct Case {
        const char* what;
        DWORD address;
        float uLeft, uRight;
        int reds[8];
    } cases[] = {
        // Centres at u = -0.875, -0.625, ... 0.875: |u| picks texels 3 2 1 0 0 1 2 3.
        {"mirror once over -1..1", D3DTADDRESS_MIRRORONCE, -1, 1, {40, 30, 20, 10, 10, 20, 30, 40}},
        // Centres at u = -1.3125, -0.9375, -0.5625, -0.1875, ...: |u| clamped to 1 -> texels 3 3 2 0 0 2 3 3.
        {"mirror once over -1.5..1.5", D3DTADDRESS_MIRRORONCE, -1.5f, 1.5f, {40, 40, 30, 10, 10, 30, 40, 40}},
        // Mirror repeats: -1.3125 -> 0.6875, 1.3125 -> 0.6875 (texel 2) at both ends.
        {"mirror over -1.5..1.5", D3DTADDRESS_MIRROR, -1.5f, 1.5f, {30, 40, 30, 10, 10, 30, 40, 30}},
        {"clamp over -1..1", D3DTADDRESS_CLAMP, -1, 1, {10, 10, 10, 10, 10, 20, 30, 40}},
    };
    if (device_ == nullptr) GTEST_SKIP();
    std::vector<uint32_t> texels = {0xFF0A0000, 0xFF140000, 0xFF1E0000, 0xFF280000};
    IDirect3DTexture9* texture = MakeTexture(4, 1, D3DFMT_A8R8G8B8, texels);
    ASSERT_NE(texture, nullptr);
    device_->SetTexture(0, texture);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    for (const Case& c : cases) {
        device_->SetSamplerState(0, D3DSAMP_ADDRESSU, c.address);
        ClearTo(0);
        TexVertex v[4] = {{-0.5f, -0.5f, 0.2f, 1, 0xFFFFFFFF, c.uLeft, 0.5f},
                          {7.5f, -0.5f, 0.2f, 1, 0xFFFFFFFF, c.uRight, 0.5f},
                          {-0.5f, 0.5f, 0.2f, 1, 0xFFFFFFFF, c.uLeft, 0.5f},
                          {7.5f, 0.5f, 0.2f, 1, 0xFFFFFFFF, c.uRight, 0.5f}};
        device_->SetFVF(kTexFvf);
        device_->BeginScene();
        EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TexVertex)), D3D_OK) << c.what;
        device_->EndScene();
        std::vector<uint32_t> px = ReadTarget(target_);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Channel(px[x], 16), c.reds[x]) << c.what << " at x " << x;
    }
    device_->SetTexture(0, nullptr);
    texture->Release();
}

// Every documented render state is accepted at its documented default and
// reads back what was set; numbers between them are refused.
TEST_F(DeviceTest, EveryDocumentedRenderStateIsAcceptedAndReadBack) {
    struct Case {
        const char* what;
        DWORD state;
        DWORD defaultValue;
        DWORD setValue;
    } cases[] = {
        {"wrap 0", 128, 0, D3DWRAP_U}, {"wrap 7", 135, 0, D3DWRAP_V}, {"wrap 8", 198, 0, D3DWRAP_U},
        {"wrap 15", 205, 0, D3DWRAP_V}, {"point sprites", 156, FALSE, TRUE}, {"point scale", 157, FALSE, TRUE},
        {"point size min", 155, 0x3F800000, 0x40000000}, {"point size max", 166, 0x42800000, 0x41000000},
        {"stencil func", 56, D3DCMP_ALWAYS, D3DCMP_LESS}, {"stencil mask", 58, 0xFFFFFFFF, 0xFF},
        {"multisample mask", 162, 0xFFFFFFFF, 1}, {"tween factor", 170, 0, 0x3F000000},
        {"position degree", 172, 3, 1}, {"two-sided stencil", 185, FALSE, TRUE},
        {"colour write 1", 190, 0xF, 0x3}, {"blend factor", 193, 0xFFFFFFFF, 0x80808080},
        {"adaptive tess z", 182, 0x3F800000, 0}, {"ccw stencil func", 189, D3DCMP_ALWAYS, D3DCMP_NEVER},
    };
    const DWORD refused[] = {0, 6, 10, 49, 61, 127, 138, 144, 164, 169, 177, 196, 197, 210, 0x7FFFFFFF};
    if (device_ == nullptr) GTEST_SKIP();
    for (const Case& c : cases) {
        auto state = static_cast<D3DRENDERSTATETYPE>(c.state);
        DWORD got = 0xDEADBEEF;
        EXPECT_EQ(device_->GetRenderState(state, &got), D3D_OK) << c.what;
        EXPECT_EQ(got, c.defaultValue) << c.what;
        EXPECT_EQ(device_->SetRenderState(state, c.defaultValue), D3D_OK) << c.what;
        EXPECT_EQ(device_->SetRenderState(state, c.setValue), D3D_OK) << c.what;
        EXPECT_EQ(device_->GetRenderState(state, &got), D3D_OK) << c.what;
        EXPECT_EQ(got, c.setValue) << c.what;
    }
    for (DWORD number : refused) {
        DWORD got = 0;
        EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(number), 0), D3DERR_INVALIDCALL) << number;
        EXPECT_EQ(device_->GetRenderState(static_cast<D3DRENDERSTATETYPE>(number), &got), D3DERR_INVALIDCALL)
            << number;
    }
}

}  // namespace
