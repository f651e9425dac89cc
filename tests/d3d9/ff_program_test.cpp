// The fixed-function key and the GLSL written from it (no GL needed).
#include "platform/d3d9/d3d9_ff_program.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using d3d9::DeviceState;
using d3d9::FixedFunctionKey;

constexpr DWORD kTexFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct KeyFixture : ::testing::Test {
    KeyFixture() { d3d9::ResetDeviceState(&state, false, 64, 64); }
    FixedFunctionKey Key(DWORD fvf = kTexFvf) const { return d3d9::MakeFixedFunctionKey(state, fvf, bound); }
    void Stage(int s, DWORD colorOp, DWORD arg1, DWORD arg2) {
        state.stage[s][D3DTSS_COLOROP] = colorOp;
        state.stage[s][D3DTSS_COLORARG1] = arg1;
        state.stage[s][D3DTSS_COLORARG2] = arg2;
        state.stage[s][D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
        state.stage[s][D3DTSS_ALPHAARG1] = arg1;
    }
    DeviceState state;
    bool bound[d3d9::kStages] = {true, true, true, false, false, false, false, false};
};

TEST_F(KeyFixture, TheKeyKeepsOnlyWhatChangesTheProgram) {
    struct Case {
        const char* what;
        std::function<void(DeviceState&)> change;
        std::function<bool(const FixedFunctionKey&)> holds;
    } cases[] = {
        {"stages after a disabled one are off",
         [](DeviceState& s) {
             s.stage[1][D3DTSS_COLOROP] = D3DTOP_DISABLE;
             s.stage[2][D3DTSS_COLOROP] = D3DTOP_MODULATE;
         },
         [](const FixedFunctionKey& k) { return k.stages[0].colorOp == D3DTOP_MODULATE && k.stages[2].colorOp == 0; }},
        {"an unknown operation ends the cascade",
         [](DeviceState& s) { s.stage[0][D3DTSS_COLOROP] = 99; },
         [](const FixedFunctionKey& k) { return k.stages[0].colorOp == 0; }},
        {"bump mapping ends the cascade",
         [](DeviceState& s) { s.stage[0][D3DTSS_COLOROP] = D3DTOP_BUMPENVMAP; },
         [](const FixedFunctionKey& k) { return k.stages[0].colorOp == 0; }},
        {"alpha test off",
         [](DeviceState& s) { s.render[D3DRS_ALPHAFUNC] = D3DCMP_GREATER; },
         [](const FixedFunctionKey& k) { return k.alphaFunc == 0; }},
        {"alpha test greater",
         [](DeviceState& s) {
             s.render[D3DRS_ALPHATESTENABLE] = TRUE;
             s.render[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;
         },
         [](const FixedFunctionKey& k) { return k.alphaFunc == D3DCMP_GREATER; }},
        {"alpha test with comparison 0 passes everything",
         [](DeviceState& s) {
             s.render[D3DRS_ALPHATESTENABLE] = TRUE;
             s.render[D3DRS_ALPHAFUNC] = 0;
         },
         [](const FixedFunctionKey& k) { return k.alphaFunc == 0; }},
        {"a texture nobody reads is not sampled",
         [](DeviceState& s) {
             s.stage[0][D3DTSS_COLORARG1] = D3DTA_DIFFUSE;
             s.stage[0][D3DTSS_COLOROP] = D3DTOP_SELECTARG1;
             s.stage[0][D3DTSS_ALPHAARG1] = D3DTA_DIFFUSE;
         },
         [](const FixedFunctionKey& k) { return k.stages[0].texture == 0 && k.stages[0].texCoord == d3d9::kNoTexCoord; }},
        {"a coordinate set the vertices lack",
         [](DeviceState& s) { s.stage[0][D3DTSS_TEXCOORDINDEX] = 3; },
         [](const FixedFunctionKey& k) { return k.stages[0].texture == 1 && k.stages[0].texCoord == d3d9::kNoTexCoord; }},
        {"flat shading and specular",
         [](DeviceState& s) {
             s.render[D3DRS_SHADEMODE] = D3DSHADE_FLAT;
             s.render[D3DRS_SPECULARENABLE] = TRUE;
         },
         [](const FixedFunctionKey& k) { return k.flat == 1 && k.specularEnable == 1; }},
        {"the result into TEMP",
         [](DeviceState& s) { s.stage[0][D3DTSS_RESULTARG] = D3DTA_TEMP; },
         [](const FixedFunctionKey& k) { return k.stages[0].resultTemp == 1; }},
    };
    for (const Case& c : cases) {
        d3d9::ResetDeviceState(&state, false, 64, 64);
        c.change(state);
        EXPECT_TRUE(c.holds(Key())) << c.what;
    }
    d3d9::ResetDeviceState(&state, false, 64, 64);
    FixedFunctionKey a = Key(), b = Key();
    EXPECT_TRUE(a == b);
    EXPECT_EQ(d3d9::FixedFunctionKeyHash{}(a), d3d9::FixedFunctionKeyHash{}(b));
    state.render[D3DRS_TEXTUREFACTOR] = 0x12345678;  // a uniform, not a program change
    EXPECT_TRUE(Key() == a);
    state.stage[0][D3DTSS_COLORARG2] = D3DTA_TFACTOR;
    EXPECT_FALSE(Key() == a);
}

TEST_F(KeyFixture, TheSourceSaysWhatTheKeyAsks) {
    struct Case {
        const char* what;
        std::function<void(KeyFixture&)> set;
        DWORD fvf;
        const char* vertexText;    // in the vertex program (null: not checked)
        const char* fragmentText;  // in the fragment program
    } cases[] = {
        {"flat colours", [](KeyFixture& f) { f.state.render[D3DRS_SHADEMODE] = D3DSHADE_FLAT; }, kTexFvf,
         "flat out vec4 vDiffuse", "flat in vec4 vDiffuse"},
        {"white without a diffuse colour", [](KeyFixture&) {}, D3DFVF_XYZRHW | D3DFVF_TEX1, "vDiffuse = vec4(1.0)",
         nullptr},
        {"pixel centres on whole coordinates", [](KeyFixture&) {}, kTexFvf,
         "vec2 ndc = (aPos.xy + uPixelShift) * uToNdc.xy + uToNdc.zw;",
         nullptr},
        {"modulate 2x saturates", [](KeyFixture& f) { f.Stage(0, D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE); },
         kTexFvf, nullptr, "clamp(t.rgb * vDiffuse.rgb * 2.0, 0.0, 1.0)"},
        {"complement", [](KeyFixture& f) { f.Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, 0); },
         kTexFvf, nullptr, "(vec4(1.0) - t).rgb"},
        {"alpha replicate", [](KeyFixture& f) { f.Stage(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, 0); },
         kTexFvf, nullptr, "vec4(t.a).rgb"},
        {"blend by current alpha at stage 1",
         [](KeyFixture& f) { f.Stage(1, D3DTOP_BLENDCURRENTALPHA, D3DTA_TEXTURE, D3DTA_CURRENT); }, kTexFvf, nullptr,
         "mix(c.rgb, t.rgb, c.a)"},
        {"specular added", [](KeyFixture& f) { f.state.render[D3DRS_SPECULARENABLE] = TRUE; }, kTexFvf, nullptr,
         "current.rgb = min(current.rgb + vSpecular.rgb, vec3(1.0))"},
        {"alpha test greater or equal",
         [](KeyFixture& f) {
             f.state.render[D3DRS_ALPHATESTENABLE] = TRUE;
             f.state.render[D3DRS_ALPHAFUNC] = D3DCMP_GREATEREQUAL;
         },
         kTexFvf, nullptr, "if (!(a >= uAlphaRef)) discard;"},
        {"sampling through set 1",
         [](KeyFixture& f) { f.state.stage[0][D3DTSS_TEXCOORDINDEX] = 1; },
         D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX2, "vTex1 = aTex1", "texture(uTex0, vTex1.xy)"},
        {"an unbound texture reads black",
         [](KeyFixture& f) { f.bound[0] = false; }, kTexFvf, nullptr, "vec4 t = vec4(0.0, 0.0, 0.0, 1.0);  // no texture"},
        {"the result kept in TEMP", [](KeyFixture& f) { f.state.stage[0][D3DTSS_RESULTARG] = D3DTA_TEMP; }, kTexFvf,
         nullptr, "temp = vec4(rgb, a);"},
    };
    for (const Case& c : cases) {
        d3d9::ResetDeviceState(&state, false, 64, 64);
        bound[0] = true;
        c.set(*this);
        FixedFunctionKey key = Key(c.fvf);
        std::string vs = d3d9::VertexProgramSource(key), fs = d3d9::FragmentProgramSource(key);
        if (c.vertexText != nullptr) { EXPECT_NE(vs.find(c.vertexText), std::string::npos) << c.what << "\n" << vs; }
        if (c.fragmentText != nullptr) { EXPECT_NE(fs.find(c.fragmentText), std::string::npos) << c.what << "\n" << fs; }
    }
}

}  // namespace
