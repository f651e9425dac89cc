// Pixels drawn through the fixed-function pipeline, against Direct3D 9's
// documented rules computed here: the pixel-centre and fill rules, flat
// shading, the texture-stage operations and arguments, alpha test, blend
// factors and operations, Z, culling, addressing and filtering. Colours are
// compared per channel within 1 of 255 (8-bit arithmetic rounds
// differently from the float arithmetic behind it), except where a case
// says exact.
#include "d3d9_test_support.h"

#include <algorithm>
#include <cmath>
#include <functional>

using namespace d3d9test;

namespace {

constexpr int kTolerance = 1;

float Unit(uint32_t c, int shift) { return Channel(c, shift) / 255.0f; }
uint32_t Pack(const float v[4]) {  // a, r, g, b
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        float x = std::clamp(v[i], 0.0f, 1.0f);
        out |= static_cast<uint32_t>(std::lround(x * 255.0f)) << (24 - 8 * i);
    }
    return out;
}

TEST_F(D3D9Draw, QuadsAtWholePixelsMinusAHalfMapTexelsOneToOne) {
    std::vector<uint32_t> texels(16);
    for (int i = 0; i < 16; ++i) texels[i] = 0xFF000000u | (i * 16) << 16 | (255 - i * 16) << 8 | (i * 7);
    IDirect3DTexture9* texture = MakeTexture(4, 4, D3DFMT_A8R8G8B8, texels);
    device_->SetTexture(0, texture);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        ClearTo(0);
        DrawTexturedQuad(10, 20, 14, 24, 0xFFFFFFFF);
        std::vector<uint32_t> px = ReadTarget(target_);
        for (int y = 19; y <= 24; ++y)
            for (int x = 9; x <= 14; ++x) {
                bool inside = x >= 10 && x < 14 && y >= 20 && y < 24;
                uint32_t expected = inside ? texels[(y - 20) * 4 + (x - 10)] : 0u;
                EXPECT_EQ(px[static_cast<size_t>(y) * kWidth + x], expected) << "filter " << filter << " at " << x << "," << y;
            }
    }
    texture->Release();
}

TEST_F(D3D9Draw, EdgesOnPixelCentresFollowTheTopLeftRule) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ClearTo(0);
    // Four boxes sharing edges, each adding 0x40: a pixel covered twice or
    // missed shows as 0x80 or 0.
    DrawColorQuad(4, 4, 12, 10, 0x40404040);
    DrawColorQuad(12, 4, 20, 10, 0x40404040);
    DrawColorQuad(4, 10, 12, 16, 0x40404040);
    DrawColorQuad(12, 10, 20, 16, 0x40404040);
    std::vector<uint32_t> px = ReadTarget(target_);
    for (int y = 2; y < 18; ++y)
        for (int x = 2; x < 22; ++x) {
            bool inside = x >= 4 && x < 20 && y >= 4 && y < 16;
            ASSERT_EQ(px[static_cast<size_t>(y) * kWidth + x], inside ? 0x40404040u : 0u) << x << "," << y;
        }
}

TEST_F(D3D9Draw, FlatShadingTakesTheFirstVertex) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    ColorVertex v[3] = {{0, 0, 0.2f, 1, 0xFFFF0000}, {40, 0, 0.2f, 1, 0xFF00FF00}, {0, 40, 0.2f, 1, 0xFF0000FF}};
    device_->SetFVF(kColorFvf);
    struct Case {
        const char* what;
        DWORD shade;
        bool allFirst;
    } cases[] = {{"flat", D3DSHADE_FLAT, true}, {"Gouraud", D3DSHADE_GOURAUD, false}};
    for (const Case& c : cases) {
        ClearTo(0);
        device_->SetRenderState(D3DRS_SHADEMODE, c.shade);
        device_->BeginScene();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex)), D3D_OK);
        device_->EndScene();
        EXPECT_EQ(At(20, 10) == 0xFFFF0000u, c.allFirst) << c.what;
        EXPECT_EQ(At(2, 30) == 0xFFFF0000u, c.allFirst) << c.what;
    }
}

// ---- the texture-stage combiner --------------------------------------------------
constexpr uint32_t kTexel = 0x80C06020, kDiffuse = 0x60408020 | 0x00000050, kFactor = 0xA03090F0, kSpecular = 0x507010B0;

float Arg(DWORD arg, int shift, float current) {
    uint32_t source = 0;
    switch (arg & D3DTA_SELECTMASK) {
        case D3DTA_DIFFUSE: source = kDiffuse; break;
        case D3DTA_TEXTURE: source = kTexel; break;
        case D3DTA_TFACTOR: source = kFactor; break;
        case D3DTA_SPECULAR: source = kSpecular; break;
        default: break;
    }
    bool useAlpha = shift == 24 || (arg & D3DTA_ALPHAREPLICATE);
    float v = (arg & D3DTA_SELECTMASK) == D3DTA_CURRENT ? current : Unit(source, useAlpha ? 24 : shift);
    return (arg & D3DTA_COMPLEMENT) ? 1.0f - v : v;
}

// Direct3D 9's formula of an operation on one channel.
float Op(DWORD op, float a1, float a2, float diffuseAlpha, float currentAlpha) {
    switch (op) {
        case D3DTOP_SELECTARG1: return a1;
        case D3DTOP_SELECTARG2: return a2;
        case D3DTOP_MODULATE: return a1 * a2;
        case D3DTOP_MODULATE2X: return std::min(1.0f, 2 * a1 * a2);
        case D3DTOP_MODULATE4X: return std::min(1.0f, 4 * a1 * a2);
        case D3DTOP_ADD: return std::min(1.0f, a1 + a2);
        case D3DTOP_ADDSIGNED: return std::clamp(a1 + a2 - 0.5f, 0.0f, 1.0f);
        case D3DTOP_SUBTRACT: return std::max(0.0f, a1 - a2);
        case D3DTOP_ADDSMOOTH: return a1 + a2 - a1 * a2;
        case D3DTOP_BLENDDIFFUSEALPHA: return a1 * diffuseAlpha + a2 * (1 - diffuseAlpha);
        case D3DTOP_BLENDCURRENTALPHA: return a1 * currentAlpha + a2 * (1 - currentAlpha);
        case D3DTOP_BLENDTEXTUREALPHA: return a1 * Unit(kTexel, 24) + a2 * (1 - Unit(kTexel, 24));
        case D3DTOP_BLENDFACTORALPHA: return a1 * Unit(kFactor, 24) + a2 * (1 - Unit(kFactor, 24));
        default: return 0;
    }
}

struct StageCase {
    const char* what;
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
};

uint32_t ExpectedStage0(const StageCase& c) {
    float out[4];
    float diffuseAlpha = Unit(kDiffuse, 24);
    for (int i = 0; i < 4; ++i) {
        int shift = 24 - 8 * i;
        bool alpha = shift == 24;
        DWORD op = alpha ? c.alphaOp : c.colorOp;
        float current = Unit(kDiffuse, shift);  // CURRENT is the diffuse colour at stage 0
        out[i] = Op(op, Arg(alpha ? c.alphaArg1 : c.colorArg1, shift, current),
                    Arg(alpha ? c.alphaArg2 : c.colorArg2, shift, current), diffuseAlpha, diffuseAlpha);
    }
    return Pack(out);
}

TEST_F(D3D9Draw, EveryStageOperationAndArgumentMatchesItsFormula) {
    IDirect3DTexture9* texture = MakeTexture(1, 1, D3DFMT_A8R8G8B8, {kTexel});
    device_->SetTexture(0, texture);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, kFactor);
    const DWORD T = D3DTA_TEXTURE, D = D3DTA_DIFFUSE, C = D3DTA_CURRENT, F = D3DTA_TFACTOR, S = D3DTA_SPECULAR;
    const DWORD NOT = D3DTA_COMPLEMENT, REP = D3DTA_ALPHAREPLICATE;
    StageCase cases[] = {
        {"select texture", D3DTOP_SELECTARG1, T, D, D3DTOP_SELECTARG1, T, D},
        {"select diffuse", D3DTOP_SELECTARG2, T, D, D3DTOP_SELECTARG2, T, D},
        {"select current", D3DTOP_SELECTARG1, C, T, D3DTOP_SELECTARG1, C, T},
        {"select factor", D3DTOP_SELECTARG1, F, T, D3DTOP_SELECTARG1, F, T},
        {"select specular", D3DTOP_SELECTARG1, S, T, D3DTOP_SELECTARG1, S, T},
        {"modulate", D3DTOP_MODULATE, T, D, D3DTOP_MODULATE, T, D},
        {"modulate 2x", D3DTOP_MODULATE2X, T, D, D3DTOP_MODULATE2X, T, D},
        {"modulate 4x saturates", D3DTOP_MODULATE4X, T, D, D3DTOP_MODULATE4X, T, D},
        {"add saturates", D3DTOP_ADD, T, F, D3DTOP_ADD, T, F},
        {"add signed", D3DTOP_ADDSIGNED, T, D, D3DTOP_ADDSIGNED, T, D},
        {"subtract floors at 0", D3DTOP_SUBTRACT, D, T, D3DTOP_SUBTRACT, T, D},
        {"add smooth", D3DTOP_ADDSMOOTH, T, D, D3DTOP_ADDSMOOTH, T, D},
        {"blend by diffuse alpha", D3DTOP_BLENDDIFFUSEALPHA, T, F, D3DTOP_BLENDDIFFUSEALPHA, T, F},
        {"blend by current alpha", D3DTOP_BLENDCURRENTALPHA, T, F, D3DTOP_BLENDCURRENTALPHA, T, F},
        {"blend by texture alpha", D3DTOP_BLENDTEXTUREALPHA, F, D, D3DTOP_SELECTARG1, D, T},
        {"blend by factor alpha", D3DTOP_BLENDFACTORALPHA, T, D, D3DTOP_SELECTARG1, T, D},
        {"complement of texture", D3DTOP_MODULATE, T | NOT, D, D3DTOP_MODULATE, T | NOT, D},
        {"complement of diffuse", D3DTOP_SELECTARG1, D | NOT, T, D3DTOP_ADD, D | NOT, T},
        {"alpha replicated", D3DTOP_MODULATE, T | REP, D, D3DTOP_SELECTARG2, T, D},
        {"complement of replicated alpha", D3DTOP_SELECTARG1, T | REP | NOT, D, D3DTOP_SELECTARG1, T, D},
    };
    Tex2Vertex v[6];
    const float xy[6][2] = {{0, 0}, {8, 0}, {0, 8}, {0, 8}, {8, 0}, {8, 8}};
    for (int i = 0; i < 6; ++i)
        v[i] = Tex2Vertex{xy[i][0], xy[i][1], 0.2f, 1, kDiffuse, kSpecular, 0.5f, 0.5f, 0.5f, 0.5f};
    device_->SetFVF(kTex2Fvf);
    for (const StageCase& c : cases) {
        ClearTo(0);
        SetStage0(c.colorOp, c.colorArg1, c.colorArg2, c.alphaOp, c.alphaArg1, c.alphaArg2);
        device_->BeginScene();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(Tex2Vertex)), D3D_OK) << c.what;
        device_->EndScene();
        uint32_t got = At(4, 4), expected = ExpectedStage0(c);
        EXPECT_TRUE(Near(got, expected, kTolerance)) << c.what << ": got " << std::hex << got << " expected " << expected;
    }
    texture->Release();
}

TEST_F(D3D9Draw, TheSecondStageReadsWhatTheFirstLeftInCurrentOrTemp) {
    IDirect3DTexture9* texture = MakeTexture(1, 1, D3DFMT_A8R8G8B8, {kTexel});
    device_->SetTexture(0, texture);
    device_->SetTexture(1, texture);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, kFactor);
    auto u = [](uint32_t c, int shift) { return Unit(c, shift); };
    struct Case {
        const char* what;
        DWORD op0, arg0, alphaArg0, result0;
        DWORD op1, arg1a, arg1b;
        std::function<float(int)> expected;  // per channel shift; alpha is always CURRENT's
    } cases[] = {
        {"stage 0 into TEMP leaves CURRENT the diffuse colour", D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_TEXTURE,
         D3DTA_TEMP, D3DTOP_MODULATE, D3DTA_TEMP, D3DTA_CURRENT,
         [&](int sh) { return sh == 24 ? u(kDiffuse, 24) : u(kTexel, sh) * u(kDiffuse, sh); }},
        {"blend by the alpha stage 0 left", D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_TEXTURE, D3DTA_CURRENT,
         D3DTOP_BLENDCURRENTALPHA, D3DTA_DIFFUSE, D3DTA_CURRENT,
         [&](int sh) {
             float a = u(kTexel, 24);
             return sh == 24 ? a : u(kDiffuse, sh) * a + u(kFactor, sh) * (1 - a);
         }},
        {"subtract from what stage 0 made", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTA_CURRENT,
         D3DTOP_SUBTRACT, D3DTA_CURRENT, D3DTA_TFACTOR,
         [&](int sh) {
             if (sh == 24) return u(kDiffuse, 24);
             return std::max(0.0f, std::min(1.0f, 2 * u(kTexel, sh) * u(kDiffuse, sh)) - u(kFactor, sh));
         }},
    };
    Tex2Vertex v[3];
    const float xy[3][2] = {{0, 0}, {16, 0}, {0, 16}};
    for (int i = 0; i < 3; ++i) v[i] = Tex2Vertex{xy[i][0], xy[i][1], 0.2f, 1, kDiffuse, 0, 0.5f, 0.5f, 0.5f, 0.5f};
    device_->SetFVF(kTex2Fvf);
    for (const Case& c : cases) {
        SetStage0(c.op0, c.arg0, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, c.alphaArg0, D3DTA_DIFFUSE);
        device_->SetTextureStageState(0, D3DTSS_RESULTARG, c.result0);
        if (c.result0 == D3DTA_TEMP) device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(1, D3DTSS_COLOROP, c.op1);
        device_->SetTextureStageState(1, D3DTSS_COLORARG1, c.arg1a);
        device_->SetTextureStageState(1, D3DTSS_COLORARG2, c.arg1b);
        device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
        ClearTo(0);
        device_->BeginScene();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Tex2Vertex)), D3D_OK) << c.what;
        device_->EndScene();
        float expected[4] = {c.expected(24), c.expected(16), c.expected(8), c.expected(0)};
        EXPECT_TRUE(Near(At(3, 3), Pack(expected), kTolerance)) << c.what << ": " << std::hex << At(3, 3) << " "
                                                                 << Pack(expected);
    }
    device_->SetTextureStageState(0, D3DTSS_RESULTARG, D3DTA_CURRENT);
    texture->Release();
}

TEST_F(D3D9Draw, LaterStagesWorkOnTheCurrentColourAndTheirOwnCoordinates) {
    // The blend-image road: stage 0 samples set 1, stage 1 adds the factor,
    // stage 2 modulates by the texture of stage 2 read through set 0.
    IDirect3DTexture9* first = MakeTexture(2, 1, D3DFMT_A8R8G8B8, {0xFF200000, 0xFF400000});
    IDirect3DTexture9* third = MakeTexture(2, 1, D3DFMT_X8R8G8B8, {0x00808080, 0x00FFFFFF});
    device_->SetTexture(0, first);
    device_->SetTexture(2, third);
    device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF102030);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADD);
    device_->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(1, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(2, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    device_->SetTextureStageState(2, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(2, D3DTSS_ALPHAARG1, D3DTA_CURRENT);
    device_->SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 0);
    // Set 0 reads texel 0 of the third texture (grey), set 1 texel 1 of the first.
    Tex2Vertex v[3] = {{0, 0, 0.2f, 1, 0xFFFFFFFF, 0, 0.25f, 0.5f, 0.75f, 0.5f},
                       {16, 0, 0.2f, 1, 0xFFFFFFFF, 0, 0.25f, 0.5f, 0.75f, 0.5f},
                       {0, 16, 0.2f, 1, 0xFFFFFFFF, 0, 0.25f, 0.5f, 0.75f, 0.5f}};
    ClearTo(0);
    device_->SetFVF(kTex2Fvf);
    device_->BeginScene();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Tex2Vertex)), D3D_OK);
    device_->EndScene();
    float grey = 0x80 / 255.0f;
    float expected[4] = {1.0f, (0x40 + 0x10) / 255.0f * grey, 0x20 / 255.0f * grey, 0x30 / 255.0f * grey};
    EXPECT_TRUE(Near(At(3, 3), Pack(expected), kTolerance)) << std::hex << At(3, 3);
    first->Release();
    third->Release();
}

TEST_F(D3D9Draw, SpecularIsAddedOnlyWhenEnabledAndATextureMissingReadsBlack) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    Tex2Vertex v[3] = {{0, 0, 0.2f, 1, 0xFF204060, 0xFF102030, 0, 0, 0, 0},
                       {16, 0, 0.2f, 1, 0xFF204060, 0xFF102030, 0, 0, 0, 0},
                       {0, 16, 0.2f, 1, 0xFF204060, 0xFF102030, 0, 0, 0, 0}};
    device_->SetFVF(kTex2Fvf);
    struct Case {
        const char* what;
        DWORD specular;
        DWORD colorOp;
        uint32_t expected;
    } cases[] = {
        {"specular off", FALSE, D3DTOP_SELECTARG1, 0xFF204060},
        {"specular on", TRUE, D3DTOP_SELECTARG1, 0xFF306090},
        {"no texture bound", FALSE, D3DTOP_MODULATE, 0xFF000000},
    };
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    for (const Case& c : cases) {
        ClearTo(0);
        device_->SetRenderState(D3DRS_SPECULARENABLE, c.specular);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, c.colorOp);
        device_->BeginScene();
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(Tex2Vertex)), D3D_OK) << c.what;
        device_->EndScene();
        EXPECT_TRUE(Near(At(2, 2), c.expected, kTolerance)) << c.what << ": " << std::hex << At(2, 2);
    }
}

// ---- alpha test --------------------------------------------------------------------
TEST_F(D3D9Draw, AlphaTestComparesTheEightBitAlphaWithTheReference) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    struct Case {
        const char* what;
        DWORD func, ref, alpha;
        bool drawn;
    } cases[] = {
        {"greater, equal", D3DCMP_GREATER, 16, 16, false},
        {"greater, above", D3DCMP_GREATER, 16, 17, true},
        {"greater than 0, clear", D3DCMP_GREATER, 0, 0, false},
        {"greater or equal, below", D3DCMP_GREATEREQUAL, 128, 127, false},
        {"greater or equal, equal", D3DCMP_GREATEREQUAL, 128, 128, true},
        {"less", D3DCMP_LESS, 100, 99, true},
        {"less, equal", D3DCMP_LESS, 100, 100, false},
        {"equal", D3DCMP_EQUAL, 77, 77, true},
        {"not equal", D3DCMP_NOTEQUAL, 77, 77, false},
        {"less or equal", D3DCMP_LESSEQUAL, 77, 77, true},
        {"never", D3DCMP_NEVER, 0, 255, false},
        {"always", D3DCMP_ALWAYS, 255, 0, true},
        {"invalid comparison 0 passes", 0, 255, 0, true},
        {"reference above 255 keeps its low byte", D3DCMP_GREATER, 0x110, 0x11, true},
    };
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    for (const Case& c : cases) {
        ClearTo(0xFF000000);
        device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        device_->SetRenderState(D3DRS_ALPHAREF, c.ref);
        DrawColorQuad(0, 0, 8, 8, c.alpha << 24 | 0x00FFFFFF);
        EXPECT_EQ(At(4, 4) != 0xFF000000u, c.drawn) << c.what;
    }
}

// ---- blending -------------------------------------------------------------------------
constexpr uint32_t kSource = 0x9060C030, kDest = 0x40A05080;

float Factor(DWORD f, int shift) {
    float sa = Unit(kSource, 24), da = Unit(kDest, 24);
    switch (f) {
        case D3DBLEND_ZERO: return 0;
        case D3DBLEND_ONE: return 1;
        case D3DBLEND_SRCCOLOR: return Unit(kSource, shift);
        case D3DBLEND_INVSRCCOLOR: return 1 - Unit(kSource, shift);
        case D3DBLEND_SRCALPHA: return sa;
        case D3DBLEND_INVSRCALPHA: return 1 - sa;
        case D3DBLEND_DESTALPHA: return da;
        case D3DBLEND_INVDESTALPHA: return 1 - da;
        case D3DBLEND_DESTCOLOR: return Unit(kDest, shift);
        case D3DBLEND_INVDESTCOLOR: return 1 - Unit(kDest, shift);
        case D3DBLEND_SRCALPHASAT: return shift == 24 ? 1 : std::min(sa, 1 - da);
        default: return 1;
    }
}

uint32_t ExpectedBlend(DWORD src, DWORD dst, DWORD op) {
    float out[4];
    for (int i = 0; i < 4; ++i) {
        int shift = 24 - 8 * i;
        float s = Unit(kSource, shift) * Factor(src, shift), d = Unit(kDest, shift) * Factor(dst, shift);
        switch (op) {
            case D3DBLENDOP_SUBTRACT: out[i] = s - d; break;
            case D3DBLENDOP_REVSUBTRACT: out[i] = d - s; break;
            case D3DBLENDOP_MIN: out[i] = std::min(Unit(kSource, shift), Unit(kDest, shift)); break;
            case D3DBLENDOP_MAX: out[i] = std::max(Unit(kSource, shift), Unit(kDest, shift)); break;
            default: out[i] = s + d;
        }
    }
    return Pack(out);
}

TEST_F(D3D9Draw, EveryBlendFactorAndOperationMatchesItsFormula) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    struct Case {
        DWORD src, dst, op;
    } cases[] = {
        // the blend table of the library's modes
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD},
        {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT},
        {D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLENDOP_ADD},
        {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        // every other factor on each side, and the other operations
        {D3DBLEND_INVSRCCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_SRCALPHASAT, D3DBLEND_ZERO, D3DBLENDOP_ADD},
        {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_ZERO, D3DBLEND_SRCALPHA, D3DBLENDOP_ADD},
        {D3DBLEND_ZERO, D3DBLEND_DESTCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_ZERO, D3DBLEND_INVDESTCOLOR, D3DBLENDOP_ADD},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MIN},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MAX},
    };
    for (const Case& c : cases) {
        ClearTo(kDest);
        device_->SetRenderState(D3DRS_SRCBLEND, c.src);
        device_->SetRenderState(D3DRS_DESTBLEND, c.dst);
        device_->SetRenderState(D3DRS_BLENDOP, c.op);
        DrawColorQuad(0, 0, 8, 8, kSource);
        uint32_t got = At(4, 4), expected = ExpectedBlend(c.src, c.dst, c.op);
        EXPECT_TRUE(Near(got, expected, kTolerance))
            << "src " << c.src << " dest " << c.dst << " op " << c.op << ": got " << std::hex << got << " expected "
            << expected;
    }
}

// ---- depth, culling, addressing, filtering ----------------------------------------------------
TEST_F(D3D9Draw, DepthTestKeepsTheNearerPixel) {
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device_->CreateDepthStencilSurface(kWidth, kHeight, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0, TRUE, &depth,
                                                 nullptr),
              D3D_OK);
    device_->SetDepthStencilSurface(depth);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    struct Case {
        const char* what;
        DWORD enable, write;
        float secondZ;
        uint32_t expected;
    } cases[] = {
        {"farther is hidden", D3DZB_TRUE, TRUE, 0.5f, 0xFFFF0000},
        {"equal passes less-or-equal", D3DZB_TRUE, TRUE, 0.2f, 0xFF00FF00},
        {"nearer wins", D3DZB_TRUE, TRUE, 0.1f, 0xFF00FF00},
        {"no Z write: the farther one passes", D3DZB_TRUE, FALSE, 0.5f, 0xFF00FF00},
        {"Z off", D3DZB_FALSE, TRUE, 0.9f, 0xFF00FF00},
    };
    for (const Case& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device_->SetRenderState(D3DRS_ZENABLE, c.enable);
        device_->SetRenderState(D3DRS_ZWRITEENABLE, c.write);
        DrawColorQuad(0, 0, 8, 8, 0xFFFF0000);  // at z 0.2
        ColorVertex v[3] = {{0, 0, c.secondZ, 1, 0xFF00FF00}, {16, 0, c.secondZ, 1, 0}, {0, 16, c.secondZ, 1, 0}};
        device_->SetFVF(kColorFvf);
        device_->BeginScene();
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(ColorVertex));
        device_->EndScene();
        EXPECT_EQ(At(2, 2), c.expected) << c.what;
    }
    device_->SetDepthStencilSurface(nullptr);
    depth->Release();
}

TEST_F(D3D9Draw, CullingRemovesTrianglesByTheirScreenWinding) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    ColorVertex clockwise[3] = {{0, 0, 0.2f, 1, 0xFFFFFFFF}, {16, 0, 0.2f, 1, 0xFFFFFFFF}, {0, 16, 0.2f, 1, 0xFFFFFFFF}};
    ColorVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
    struct Case {
        const char* what;
        DWORD cull;
        const ColorVertex* triangle;
        bool drawn;
    } cases[] = {
        {"none keeps clockwise", D3DCULL_NONE, clockwise, true},
        {"CW culls clockwise", D3DCULL_CW, clockwise, false},
        {"CCW keeps clockwise", D3DCULL_CCW, clockwise, true},
        {"CW keeps counter-clockwise", D3DCULL_CW, counter, true},
        {"CCW culls counter-clockwise", D3DCULL_CCW, counter, false},
    };
    device_->SetFVF(kColorFvf);
    for (const Case& c : cases) {
        ClearTo(0);
        device_->SetRenderState(D3DRS_CULLMODE, c.cull);
        device_->BeginScene();
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.triangle, sizeof(ColorVertex));
        device_->EndScene();
        EXPECT_EQ(At(3, 3) != 0u, c.drawn) << c.what;
    }
}

TEST_F(D3D9Draw, AddressingAndFilteringSampleAsDocumented) {
    IDirect3DTexture9* texture = MakeTexture(2, 1, D3DFMT_X8R8G8B8, {0x00000000, 0x00FFFFFF});
    device_->SetTexture(0, texture);
    SetStage0(D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE);
    auto lerp = [](float t) { return static_cast<int>(std::lround(std::clamp(t, 0.0f, 1.0f) * 255)); };
    struct Case {
        const char* what;
        DWORD address, filter;
        float u1;
        int expected[4];  // grey level of pixels 0..3
    } cases[] = {
        {"clamp, point, u to 2", D3DTADDRESS_CLAMP, D3DTEXF_POINT, 2, {0, 255, 255, 255}},
        {"wrap, point, u to 2", D3DTADDRESS_WRAP, D3DTEXF_POINT, 2, {0, 255, 0, 255}},
        {"clamp, point, u to 1", D3DTADDRESS_CLAMP, D3DTEXF_POINT, 1, {0, 0, 255, 255}},
        // texel position u x 2 - 0.5 at the pixel centres: -0.25, 0.25, 0.75, 1.25
        {"clamp, linear, u to 1", D3DTADDRESS_CLAMP, D3DTEXF_LINEAR, 1, {0, lerp(0.25f), lerp(0.75f), 255}},
    };
    for (const Case& c : cases) {
        device_->SetSamplerState(0, D3DSAMP_ADDRESSU, c.address);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, c.filter);
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, c.filter);
        ClearTo(0);
        DrawTexturedQuad(0, 0, 4, 1, 0xFFFFFFFF, c.u1, 1);
        for (int x = 0; x < 4; ++x)
            EXPECT_NEAR(Channel(At(x, 0), 16), c.expected[x], kTolerance) << c.what << " pixel " << x;
    }
    texture->Release();
}

TEST_F(D3D9Draw, ViewportAndScissorBoundWhatIsDrawn) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    D3DVIEWPORT9 vp{4, 2, 10, 6, 0.0f, 1.0f};
    RECT scissor{0, 0, 8, 40};
    struct Case {
        const char* what;
        DWORD scissorOn;
        int right;  // first column left undrawn
    } cases[] = {{"viewport alone", FALSE, 14}, {"scissor too", TRUE, 8}};
    for (const Case& c : cases) {
        device_->SetViewport(&vp);
        ClearTo(0);
        device_->SetScissorRect(&scissor);
        device_->SetRenderState(D3DRS_SCISSORTESTENABLE, c.scissorOn);
        DrawColorQuad(0, 0, 30, 30, 0xFFFFFFFF);
        std::vector<uint32_t> px = ReadTarget(target_);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 20; ++x) {
                bool inside = x >= 4 && x < c.right && y >= 2 && y < 8;
                ASSERT_EQ(px[static_cast<size_t>(y) * kWidth + x] != 0u, inside) << c.what << " " << x << "," << y;
            }
    }
}

TEST_F(D3D9Draw, PointsStripsAndIndexedStripsLandWhereTheySay) {
    SetStage0(D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_CURRENT);
    ClearTo(0);
    ColorVertex point{5, 7, 0.2f, 1, 0xFFFF00FF};
    device_->SetFVF(kColorFvf);
    device_->BeginScene();
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof point), D3D_OK);
    // Flat shading takes each strip triangle's first vertex: v0, then v1.
    ColorVertex strip[4] = {{20, 0, 0.2f, 1, 0xFF00FF00}, {30, 0, 0.2f, 1, 0xFF0000FF}, {20, 10, 0.2f, 1, 0},
                            {30, 10, 0.2f, 1, 0}};
    uint16_t indices[4] = {0, 1, 2, 3};
    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, indices, D3DFMT_INDEX16, strip,
                                              sizeof(ColorVertex)),
              D3D_OK);
    uint16_t beyond[4] = {0, 1, 2, 9};
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, beyond, D3DFMT_INDEX16, strip,
                                              sizeof(ColorVertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, indices, D3DFMT_A8R8G8B8, strip,
                                              sizeof(ColorVertex)),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(9), 1, strip, sizeof(ColorVertex)),
              D3DERR_INVALIDCALL);
    device_->EndScene();
    std::vector<uint32_t> px = ReadTarget(target_);
    EXPECT_EQ(px[7 * kWidth + 5], 0xFFFF00FFu);
    EXPECT_EQ(px[7 * kWidth + 6], 0u);
    EXPECT_EQ(px[6 * kWidth + 5], 0u);
    EXPECT_EQ(px[2 * kWidth + 22], 0xFF00FF00u);
    EXPECT_EQ(px[8 * kWidth + 28], 0xFF0000FFu);
    EXPECT_EQ(px[5 * kWidth + 30], 0u);
}

}  // namespace
