// Shaders on the device: the decision by the device's shader models, the
// pack built into the library and damaged ones, the constant sets, the
// variant index, the declarations and the brightness volume texture.
#include "device_test_util.h"
#include "d3d9/shader_state.h"
#include "graphics/light_handles.h"
#include "shader_pack_builder.h"

#include "../../src/platform/seams/seams.h"

#include <array>
#include <cstring>
#include <memory>

namespace device_test {
namespace {

constexpr const char* kUsing = "プログラマブルシェーダーを使用します";
constexpr const char* kNotUsing = "プログラマブルシェーダーを使用しません";
constexpr const char* kUnpackFailed = "シェーダーコードを展開するメモリ領域の確保に失敗しました";

struct Models {
    UINT vsMajor, vsMinor, psMajor, psMinor;
};

// The library started on a device of the shader models given (the context's
// own when none), with the pack image given (the program's own when empty).
class ShaderTest : public DeviceTest {
protected:
    void SetUp() override {}
    void TearDown() override {
        DeviceTest::TearDown();
        d3d9::ResetShaderModel();
        UseShaderPackImage(nullptr, 0);
    }
    void StartWith(const Models* models, const std::vector<uint8_t>& pack = {}) {
        if (IsLibraryRunning()) DeviceTest::TearDown();
        image_ = pack;
        UseShaderPackImage(image_.empty() ? nullptr : image_.data(), static_cast<uint32_t>(image_.size()));
        if (models != nullptr) {
            d3d9::SetShaderModels(models->vsMajor, models->vsMinor, models->psMajor, models->psMinor);
        } else {
            d3d9::ResetShaderModel();
        }
        DeviceTest::SetUp();
    }
    static std::array<float, 4> DeviceVertexRegister(UINT r) {
        std::array<float, 4> v{};
        Device().device->GetVertexShaderConstantF(r, v.data(), 1);
        return v;
    }
    static std::array<float, 4> DevicePixelRegister(UINT r) {
        std::array<float, 4> v{};
        Device().device->GetPixelShaderConstantF(r, v.data(), 1);
        return v;
    }
    static void LoseAndReset() {
        d3d9::LoseDevice(nullptr, 1);
        ASSERT_EQ(ResetGraphicsDevice(0), 0);
    }
    std::vector<uint8_t> image_;
};

std::array<float, 4> Four(const float* r) { return {r[0], r[1], r[2], r[3]}; }

TEST_F(ShaderTest, TheDeviceShaderModelsDecideAndOnlyThenIsThePackUnpacked) {
    struct Case {
        const char* what;
        Models models;
        bool inUse;
    } cases[] = {
        {"2.0 both", {2, 0, 2, 0}, true},
        {"3.0 both", {3, 0, 3, 0}, true},
        {"pixel 1.4", {2, 0, 1, 4}, false},
        {"vertex 1.1", {1, 1, 2, 0}, false},
        {"1.1 both", {1, 1, 1, 1}, false},
    };
    for (const Case& c : cases) {
        const int32_t unpacksBefore = ShaderPackUnpackCount();
        StartWith(&c.models);
        const std::string log = graphics_test::LogText();
        EXPECT_EQ(Cache().shadersInUse, c.inUse ? 1 : 0) << c.what;
        EXPECT_NE(log.find(c.inUse ? kUsing : kNotUsing), std::string::npos) << c.what;
        EXPECT_EQ(log.find(kUnpackFailed), std::string::npos) << c.what;
        EXPECT_EQ(ShaderPackUnpackCount() - unpacksBefore, c.inUse ? 1 : 0) << c.what;
        EXPECT_EQ(VertexShaderObject(kTestVertexShaderSlot) != nullptr, c.inUse) << c.what;
        EXPECT_EQ(PixelShaderObject(kTestPixelShaderSlot) != nullptr, c.inUse) << c.what;
        EXPECT_EQ(VertexDeclaration(0) != nullptr, c.inUse) << c.what;
        EXPECT_EQ(Cache().brightnessVolume != nullptr, c.inUse) << c.what;
        // Register 0 of both sets is in the cache either way; the device has
        // it only while shaders are used.
        const std::array<float, 4> zero{0, 0, 0, 0}, vertex0{0, 1, 0, 0}, pixel0{0, 0.5f, 1, 2};
        EXPECT_EQ(Four(ShaderConstants().vertexF[0]), vertex0) << c.what;
        EXPECT_EQ(Four(ShaderConstants().pixelF[0]), pixel0) << c.what;
        EXPECT_EQ(DeviceVertexRegister(0), c.inUse ? vertex0 : zero) << c.what;
        EXPECT_EQ(DevicePixelRegister(0), c.inUse ? pixel0 : zero) << c.what;
    }
}

TEST_F(ShaderTest, TheContextsOwnModelUsesShadersAndTheirObjectsFollowTheDevice) {
    StartWith(nullptr);
    ASSERT_EQ(Cache().shadersInUse, 1);
    const int32_t unpacks = ShaderPackUnpackCount();
    const ShaderCodeTable& code = ShaderCode();
    EXPECT_NE(code.vertex[kTestVertexShaderSlot], nullptr);
    EXPECT_NE(code.pixel[kTestPixelShaderSlot], nullptr);
    EXPECT_EQ(code.vertex[0], nullptr) << "other slots hold no code";
    LoseAndReset();
    EXPECT_EQ(ShaderPackUnpackCount(), unpacks) << "a second device start reuses the pack";
    EXPECT_EQ(Cache().shadersInUse, 1);
    EXPECT_NE(VertexShaderObject(kTestVertexShaderSlot), nullptr) << "made again on the new device";
    EXPECT_NE(PixelShaderObject(kTestPixelShaderSlot), nullptr);
    EXPECT_NE(VertexDeclaration(kVertexDeclarations), nullptr);
    TerminateDirect3D9();
    EXPECT_EQ(VertexShaderObject(kTestVertexShaderSlot), nullptr);
    EXPECT_EQ(PixelShaderObject(kTestPixelShaderSlot), nullptr);
    EXPECT_EQ(VertexDeclaration(kVertexDeclarations), nullptr);
    EXPECT_EQ(Cache().brightnessVolume, nullptr);
}

TEST_F(ShaderTest, ADamagedOrIncompletePackLeavesShadersOff) {
    const std::vector<uint8_t> good = BuildShaderPack(ProgramShaderSlots());
    std::vector<uint8_t> archive = BuildShaderPackArchive(good);
    std::vector<uint8_t> cut = archive;
    cut.resize(cut.size() / 2);
    std::vector<uint8_t> scrambled = archive;
    scrambled[scrambled.size() / 2] ^= 0x5A;
    std::vector<uint8_t> shortPack(good.begin(), good.begin() + 1000);
    std::vector<uint8_t> overrun = good;
    overrun[0] = 0xFF, overrun[1] = 0xFF;  // slot 0 claims more code than follows
    std::vector<ShaderSlot> noEnd = ProgramShaderSlots();
    noEnd[0].tokens.back() = 0x02000001;  // the vertex shader loses its end token
    std::vector<ShaderSlot> refused = ProgramShaderSlots();
    refused[1].tokens[0] = 0xFFFF0400;  // a pixel shader version no device knows
    struct Case {
        const char* what;
        std::vector<uint8_t> image;
        bool unpackLine;  // the unpack line, else only the second line
    } cases[] = {
        {"another member name", BuildShaderPackArchive(good, "Other.bin"), true},
        {"archive cut short", cut, true},
        {"archive bytes changed", scrambled, true},
        {"pack shorter than its tables", BuildShaderPackArchive(shortPack), true},
        {"sizes past the pack", BuildShaderPackArchive(overrun), true},
        {"test shader without end token", BuildShaderPackArchive(BuildShaderPack(noEnd)), false},
        {"test shader refused by the device", BuildShaderPackArchive(BuildShaderPack(refused)), false},
    };
    const Models models{2, 0, 2, 0};
    for (const Case& c : cases) {
        StartWith(&models, c.image);
        const std::string log = graphics_test::LogText();
        EXPECT_EQ(Cache().shadersInUse, 0) << c.what;
        EXPECT_EQ(log.find(kUnpackFailed) != std::string::npos, c.unpackLine) << c.what;
        EXPECT_NE(log.find(kNotUsing), std::string::npos) << c.what;
        EXPECT_EQ(VertexDeclaration(0), nullptr) << c.what;
        EXPECT_EQ(Screen().d3dActive, 1) << c.what << ": the device draws on without shaders";
    }
}

TEST_F(ShaderTest, AnUnpackThatCannotGetMemoryLeavesShadersOffAndTriesAgainNextStart) {
    const Models models{2, 0, 2, 0};
    StartWith(&models);
    seams::FailCall("AllocMemory", 1);
    UnloadShaderPack();
    const int32_t unpacks = ShaderPackUnpackCount();
    LoseAndReset();
    EXPECT_EQ(Cache().shadersInUse, 0);
    EXPECT_NE(graphics_test::LogText().find(kUnpackFailed), std::string::npos);
    LoseAndReset();
    EXPECT_EQ(Cache().shadersInUse, 1);
    EXPECT_EQ(ShaderPackUnpackCount() - unpacks, 2);
}

TEST_F(ShaderTest, VariantIndicesFollowLightingLightsAndFog) {
    StartWith(nullptr);
    ASSERT_EQ(Cache().shadersInUse, 1);
    struct Case {
        const char* what;
        int32_t lighting;
        D3DLIGHTTYPE types[3];  // 0: the light is off
        int32_t fogMode;        // with fog on; 0 fog off
        int32_t vertex, pixel;
    } cases[] = {
        {"lighting off", 0, {D3DLIGHT_DIRECTIONAL, {}, {}}, 0, 0, 0},
        {"one directional light", 1, {D3DLIGHT_DIRECTIONAL, {}, {}}, 0, 29056, 2304},
        {"all directional, fog 3", 1, {D3DLIGHT_DIRECTIONAL, D3DLIGHT_DIRECTIONAL, D3DLIGHT_DIRECTIONAL}, 3, 30712,
         2368},
        {"point, spot, exp fog", 1, {D3DLIGHT_POINT, D3DLIGHT_SPOT, {}}, 1, 29376, 2256},
        {"lighting on, no light", 1, {{}, {}, {}}, 0, 24576, 1728},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < 3; ++i) {
            D3DLIGHT9 light{};
            light.Type = c.types[i] != 0 ? c.types[i] : D3DLIGHT_POINT;
            ASSERT_EQ(SetDeviceLight(i, &light), 0);
            ASSERT_EQ(SetDeviceLightEnable(i, c.types[i] != 0 ? 1 : 0), 0);
        }
        SetDeviceFogMode(c.fogMode);
        SetDeviceFogEnable(c.fogMode != 0 ? 1 : 0);
        SetDeviceLighting(c.lighting);
        EXPECT_EQ(Device().vertexVariant, c.vertex) << c.what;
        EXPECT_EQ(Device().pixelVariant, c.pixel) << c.what;
        EXPECT_EQ(Device().vertexVariant % 8, 0) << c.what;
        EXPECT_LT(Device().vertexVariant, kVertexShaderSlots) << c.what;
        EXPECT_LT(Device().pixelVariant, kPixelShaderSlots) << c.what;
    }
}

TEST_F(ShaderTest, LibraryRegistersGoBackBeforeTheUserSetIsOverwritten) {
    StartWith(nullptr);
    ShaderConstantCache& s = ShaderConstants();
    s.userVertexF[7][0] = 9.0f;
    s.dirtyVertexF = DirtyRange{7, 1};
    s.userPixelF[100][3] = 3.0f;
    s.dirtyPixelF = DirtyRange{100, 1};
    ASSERT_EQ(SelectShaderConstantSet(1), 0);
    EXPECT_EQ(s.activeSet, 1);
    EXPECT_EQ(DeviceVertexRegister(7)[0], 9.0f);
    EXPECT_EQ(DevicePixelRegister(100)[3], 3.0f);
    // A library register written now puts the whole library set back first.
    const float fog[4] = {1, 2, 3, 4};
    ASSERT_EQ(SetDeviceVertexShaderConstants(kFogRegister, 1, fog), 0);
    EXPECT_EQ(s.activeSet, 0);
    EXPECT_EQ(DeviceVertexRegister(7)[0], s.vertexF[7][0]);
    EXPECT_EQ(DeviceVertexRegister(kFogRegister), (std::array<float, 4>{1, 2, 3, 4}));
    // Registers outside the library set are refused and nothing is written.
    struct Case {
        const char* what;
        int32_t first, count;
        bool vertex;
    } refused[] = {{"vertex past 256", 255, 2, true}, {"pixel past 32", 31, 2, false}, {"negative", -1, 1, true},
                   {"negative count", 0, -1, false}};
    for (const Case& c : refused) {
        EXPECT_EQ(c.vertex ? SetDeviceVertexShaderConstants(c.first, c.count, fog)
                           : SetDevicePixelShaderConstants(c.first, c.count, fog),
                  -1)
            << c.what;
    }
}

TEST_F(ShaderTest, FogAndTextureFactorRegistersFollowTheirStates) {
    StartWith(nullptr);
    ASSERT_EQ(SetDeviceFogStartEnd(10.0f, 30.0f), 0);
    ASSERT_EQ(SetDeviceFogDensity(0.5f), 0);
    const std::array<float, 4> fog{1.5f, -0.05f, 0.5f, 2.7182817f};
    EXPECT_EQ(Four(ShaderConstants().vertexF[kFogRegister]), fog);
    EXPECT_EQ(DeviceVertexRegister(kFogRegister), fog);
    ASSERT_EQ(SetDeviceFogMode(D3DFOG_EXP2), 0);
    const BOOL exp2[4] = {0, 0, 1, 1};
    EXPECT_EQ(std::memcmp(ShaderConstants().vertexB, exp2, sizeof exp2), 0);
    // An untextured draw in the multiplying mode sends a white texture factor.
    SetBlendMode(11, 128);
    ASSERT_EQ(FillRectangle(0, 0, 4, 4, MakeColor(10, 20, 30)), 0);
    FlushVertexBatch();
    const std::array<float, 4> white{1, 1, 1, 1};
    EXPECT_EQ(Four(ShaderConstants().pixelF[kTextureFactorRegister]), white);
    EXPECT_EQ(DevicePixelRegister(kTextureFactorRegister), white);
}

// The register holds the factor's bytes from the lowest up: blue, green,
// red, alpha. Factors of a caller's set and of the override reach it; the
// library's own factors are white in their colour bytes.
TEST_F(ShaderTest, TheTextureFactorRegisterHoldsBlueGreenRedAlpha) {
    StartWith(nullptr);
    ASSERT_EQ(Cache().shadersInUse, 1);
    struct Case {
        const char* what;
        uint32_t factor;
        bool override;
        std::array<float, 4> want;
    } cases[] = {
        {"caller's set", 0x80402010, false, {16 / 255.0f, 32 / 255.0f, 64 / 255.0f, 128 / 255.0f}},
        {"caller's set, pure red", 0xFFFF0000, false, {0, 0, 1, 1}},
        {"override, pure blue, no alpha", 0x000000FF, true, {1, 0, 0, 0}},
        {"override, every byte its own", 0x336699CC, true, {204 / 255.0f, 153 / 255.0f, 102 / 255.0f, 51 / 255.0f}},
    };
    for (const Case& c : cases) {
        BlendStageSet set = Cache().current;
        set.textureFactor = c.factor;
        if (c.override) {
            ASSERT_EQ(SetDeviceBlendOverride(&set, 0), 0) << c.what;
            ASSERT_EQ(SetDeviceBlendOverride(nullptr, 0), 0) << c.what;
        } else {
            ASSERT_EQ(SetupDeviceBlendStages(0, &set, 0), 0) << c.what;
        }
        EXPECT_EQ(Four(ShaderConstants().pixelF[kTextureFactorRegister]), c.want) << c.what;
        EXPECT_EQ(DevicePixelRegister(kTextureFactorRegister), c.want) << c.what;
    }
}

TEST_F(ShaderTest, DeclarationsLayTheirElementsOutBackToBack) {
    StartWith(nullptr);
    struct Case {
        const char* what;
        int32_t index;
        size_t elements;
        WORD lastOffset;
        BYTE lastType, lastUsage, lastIndex;
    } cases[] = {
        {"rigid, no sets", 0, 4, 28, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},
        {"rigid, 8 sets", 8, 12, 32 + 16 * 7, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 7},
        {"one blend set, 1 set", 10, 7, 52, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 0},
        {"two blend sets", 18, 8, 68, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},
        {"three normals", 27, 6, 52, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1},
        {"two blend sets, three normals, 2 sets", 47, 12, 96 + 16, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, 1},
    };
    for (const Case& c : cases) {
        const std::vector<D3DVERTEXELEMENT9> e = DeclarationElements(c.index);
        ASSERT_EQ(e.size(), c.elements) << c.what;
        EXPECT_EQ(e.back().Offset, c.lastOffset) << c.what;
        EXPECT_EQ(e.back().Type, c.lastType) << c.what;
        EXPECT_EQ(e.back().Usage, c.lastUsage) << c.what;
        EXPECT_EQ(e.back().UsageIndex, c.lastIndex) << c.what;
    }
    for (int32_t i = 0; i <= kVertexDeclarations; ++i) EXPECT_NE(VertexDeclaration(i), nullptr) << i;
    EXPECT_TRUE(DeclarationElements(kVertexDeclarations).empty());
}

TEST_F(ShaderTest, BrightnessIsMaximizedKeepingHueAndTheVolumeHoldsIt) {
    struct Case {
        int32_t r, g, b;
        uint8_t er, eg, eb;
    } cases[] = {
        {254, 0, 0, 255, 0, 0},     {100, 50, 0, 255, 127, 0}, {200, 100, 50, 255, 128, 64},
        {2, 4, 6, 85, 170, 255},    {16, 16, 0, 255, 255, 0},  {0, 0, 0, 255, 255, 255},
        {90, 90, 90, 255, 255, 255}, {300, 0, 600, 255, 0, 255},
    };
    for (const Case& c : cases) {
        uint8_t r = 0, g = 0, b = 0;
        MaximizeColorBrightness(c.r, c.g, c.b, &r, &g, &b);
        EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{c.er, c.eg, c.eb})) << c.r << "," << c.g << "," << c.b;
    }
    std::vector<uint8_t> texels(128 * 128 * 128 * 4);
    FillBrightnessVolume(D3DLOCKED_BOX{128 * 4, 128 * 128 * 4, texels.data()});
    const auto at = [&](int x, int y, int z) {
        const uint8_t* t = &texels[((z * 128 + y) * 128 + x) * 4];
        return std::array<int, 4>{t[2], t[1], t[0], t[3]};
    };
    for (int i = 0; i < 8; ++i) EXPECT_EQ(at(i, 7 - i, i / 2), (std::array<int, 4>{255, 255, 255, 255})) << i;
    EXPECT_EQ(at(127, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(at(50, 25, 0), (std::array<int, 4>{255, 127, 0, 255}));
    EXPECT_EQ(at(8, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
}

TEST_F(ShaderTest, AVolumeTextureThatCannotBeMadeIsLoggedAndTheDeviceStays) {
    struct Case {
        const char* what;
        const char* seam;
        int skip;
        const char* line;
    } cases[] = {
        {"device texture", "IDirect3DDevice9::CreateVolumeTexture", 0,
         "RGBカラーを輝度を最大にしたRGB値に変換するためのボリュームテクスチャの作成に失敗しました"},
        {"source texture", "IDirect3DDevice9::CreateVolumeTexture", 1,
         "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャの作成に失敗しました"},
        {"source lock", "IDirect3DVolumeTexture9::LockBox", 0,
         "RGBカラーを輝度を最大にしたRGB値に変換するための転送元用ボリュームテクスチャのロックに失敗しました"},
    };
    for (const Case& c : cases) {
        StartWith(nullptr);
        seams::FailCallAfter(c.seam, c.skip, 1);
        EXPECT_EQ(CreateBrightnessVolumeTexture(), -1) << c.what;
        EXPECT_EQ(Cache().brightnessVolume, nullptr) << c.what;
        EXPECT_NE(graphics_test::LogText().find(c.line), std::string::npos) << c.what;
        seams::ClearAllCalls();
        EXPECT_EQ(CreateBrightnessVolumeTexture(), 0) << c.what;
    }
}

TEST_F(ShaderTest, EnabledLightsTakeDeviceIndicesByKindAndUnusedOnesAreSwitchedOff) {
    StartWith(nullptr);
    D3DLIGHT9 point{}, spot{}, directional{};
    point.Type = D3DLIGHT_POINT, point.Range = 1;
    spot.Type = D3DLIGHT_SPOT, spot.Range = 2;
    directional.Type = D3DLIGHT_DIRECTIONAL, directional.Range = 3;
    ASSERT_NE(AddLight(point, 1), -1);
    ASSERT_NE(AddLight(spot, 1), -1);
    const int32_t off = AddLight(directional, 0);
    ASSERT_NE(off, -1);
    ASSERT_NE(AddLight(directional, 1), -1);
    g_drawState.lightingOff = 0;
    ASSERT_EQ(SendLightsToDevice(), 0);
    EXPECT_EQ(g_drawState.lightsChanged, 0);
    const float ranges[3] = {3, 2, 1};  // directional, spot, point
    for (DWORD i = 0; i < 3; ++i) {
        D3DLIGHT9 held{};
        ASSERT_EQ(Device().device->GetLight(i, &held), D3D_OK) << i;
        EXPECT_EQ(held.Range, ranges[i]) << i;
        BOOL on = 0;
        Device().device->GetLightEnable(i, &on);
        EXPECT_NE(on, 0) << i;
    }
    // One light fewer: the last index is switched off.
    LightHandles().Find(off + 0)->enabled = 0;
    for (int slot = 0; slot < LightHandles().HighWater(); ++slot) {
        LightRecord* r = LightHandles().At(slot);
        if (r != nullptr && r->light.Type == D3DLIGHT_POINT) r->enabled = 0;
    }
    ASSERT_EQ(SendLightsToDevice(), 0);
    BOOL on = 1;
    Device().device->GetLightEnable(2, &on);
    EXPECT_EQ(on, 0);
    g_drawState.lightingOff = 1;
    ASSERT_EQ(SendLightsToDevice(), 0);
    EXPECT_EQ(Cache().lighting, 0);
}

}  // namespace
}  // namespace device_test
