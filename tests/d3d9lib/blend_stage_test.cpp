// The blend-stage presets and the set-up that turns a blend mode, the
// texture's alpha and a blend image into render and stage states.
#include "device_test_util.h"

namespace device_test {
namespace {

TEST(BlendPresetTest, PresetsFollowTheirNumbering) {
    struct Case {
        const char* what;
        int32_t number;
        int32_t count;
        uint16_t colorOp0, alphaOp0, alphaArg1_0;
        uint16_t colorOp1;
    } cases[] = {
        {"plain: texture colour, vertex alpha", 0, 1, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, kKeep16, D3DTOP_DISABLE},
        {"cut-out alpha from the texture", 2, 1, D3DTOP_SELECTARG1, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTOP_DISABLE},
        {"modulated colour and alpha", 6 + 3 + 1, 1, D3DTOP_MODULATE, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTOP_DISABLE},
        {"towards white: a second stage", 24, 2, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, kKeep16,
         D3DTOP_BLENDCURRENTALPHA},
        {"inverted texture", 48, 1, D3DTOP_SELECTARG1, D3DTOP_SELECTARG2, kKeep16, D3DTOP_DISABLE},
        {"blend image, texture alpha, modulated", 12 + 3 + 1, 4, D3DTOP_SELECTARG2, D3DTOP_ADD, D3DTA_TEXTURE,
         D3DTOP_SELECTARG1},
        {"blend image, cut-out", 12 + 2, 2, D3DTOP_SELECTARG2, D3DTOP_ADD, D3DTA_TEXTURE, D3DTOP_SELECTARG1},
    };
    for (const Case& c : cases) {
        const DeviceStageRecord* set = StagePreset(c.number);
        ASSERT_NE(set, nullptr) << c.what;
        EXPECT_EQ(static_cast<int32_t>(set[0].texture), c.count) << c.what;
        EXPECT_EQ(set[0].colorOp, c.colorOp0) << c.what;
        EXPECT_EQ(set[0].alphaOp, c.alphaOp0) << c.what;
        EXPECT_EQ(set[0].alphaArg1, c.alphaArg1_0) << c.what;
        EXPECT_EQ(set[1].colorOp, c.colorOp1) << c.what;
        EXPECT_EQ(set[c.count].colorOp, D3DTOP_DISABLE) << c.what << ": the cascade ends";
        EXPECT_EQ(set[c.count].texCoordIndex, -1) << c.what;
    }
    EXPECT_EQ(StagePreset(48)[0].colorArg1, D3DTA_TEXTURE | D3DTA_COMPLEMENT) << "flag 2 inverts the texture";
    EXPECT_EQ(StagePreset(72), nullptr);
    EXPECT_EQ(StagePreset(-1), nullptr);
}

class BlendStageTest : public DeviceTest {
protected:
    // Runs the full set-up from the cache with these blend values.
    const BlendStageSet& SetUpWith(int32_t mode, int32_t t, int32_t c, IDirect3DTexture9* texture) {
        DeviceStateCache& cache = Cache();
        cache.drawTexture = texture;
        cache.blendMode = mode;
        cache.textureAlpha = t;
        cache.alphaTest = c;
        cache.setupDirty = 1;
        EXPECT_EQ(SetupDeviceBlendStages(1, nullptr, 0), 0);
        return cache.current;
    }
    IDirect3DTexture9* MakeTexture() {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(Device().device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
                  D3D_OK);
        textures_.push_back(texture);
        return texture;
    }
    void TearDown() override {
        Cache().drawTexture = nullptr;
        Cache().blendTexture = nullptr;
        EndLibrary();
        for (IDirect3DTexture9* t : textures_) t->Release();
        DeviceTest::TearDown();
    }
    std::vector<IDirect3DTexture9*> textures_;
};

// Rows given as a caller's set go through ApplyDeviceBlendTextures over the
// mode's set-up, with vertices in the batch; its one stage takes the texture
// alpha, its texture word an image handle.
enum Given { kModeValues, kImageHandle, kInvalidHandle };

TEST_F(BlendStageTest, ModesGiveTheirRenderStates) {
    IDirect3DTexture9* texture = MakeTexture();
    const int32_t image = graphics_test::LoadPicture("blend-stage.png", Picture(4, 4, 0xFF00FF00u));
    ASSERT_NE(ImageFirstTexture(image), nullptr);
    struct Case {
        const char* what;
        int32_t mode, t, c;
        bool textured;
        int32_t alphaTest, alphaRef, alphaBlend, src, dest, op, subKind;
        Given given = kModeValues;
    } cases[] = {
        {"mode 0 opaque", 0, 0, 0, true, 0, -99, 0, -99, -99, D3DBLENDOP_ADD, 1},
        {"mode 0 cut-out: alpha test above 16", 0, 0, 1, true, 1, 16, 0, -99, -99, D3DBLENDOP_ADD, 1},
        {"mode 0 texture alpha blends", 0, 1, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA,
         D3DBLENDOP_ADD, 1},
        {"mode 1 alpha", 1, 1, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 1},
        {"mode 2 add", 2, 0, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, 1},
        {"mode 3 untextured subtracts", 3, 0, 0, false, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE,
         D3DBLENDOP_REVSUBTRACT, 0},
        {"mode 12 reverse subtract", 12, 0, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT,
         1},
        {"a caller's set of image handles over mode 0", 0, 0, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA, D3DBLEND_ONE,
         D3DBLENDOP_ADD, 1, kImageHandle},
        {"a caller's set: an invalid handle binds no texture", 0, 0, 0, true, 0, -99, 1, D3DBLEND_SRCALPHA,
         D3DBLEND_ONE, D3DBLENDOP_ADD, 1, kInvalidHandle},
    };
    for (const Case& c : cases) {
        const BlendStageSet& set = SetUpWith(c.mode, c.t, c.c, c.textured ? texture : nullptr);
        const BlendStageSet modeSet = set;
        if (c.given != kModeValues) {
            BlendStageSet given = set;
            given.alphaTestEnable = c.alphaTest;
            given.alphaBlendEnable = c.alphaBlend;
            given.srcBlend = c.src;
            given.destBlend = c.dest;
            given.blendOp = c.op;
            given.stageCount = 1;
            std::memcpy(given.stages, StagePreset(1), sizeof given.stages);
            given.stages[0].texture = static_cast<uintptr_t>(c.given == kImageHandle ? image : -1);
            QueueRaw();
            d3d9::ClearRecordedCalls();
            EXPECT_EQ(ApplyDeviceBlendTextures(&given, 0, 1), 0) << c.what;
            EXPECT_EQ(Device().batch.count, 0) << c.what;
            const int draw = CallIndex("DrawPrimitiveUP(");
            EXPECT_GE(draw, 0) << c.what;
            EXPECT_LT(draw, CallIndex("SetTexture(")) << c.what << ": the batch is drawn first";
            EXPECT_EQ(CallsStarting(c.given == kImageHandle ? "SetTexture(0, 1)" : "SetTexture(0, 0)").size(), 1u)
                << c.what;
            EXPECT_EQ(set.stages[0].texture,
                      reinterpret_cast<uintptr_t>(c.given == kImageHandle ? ImageFirstTexture(image) : nullptr))
                << c.what;
            EXPECT_EQ(set.stages[0].alphaOp, D3DTOP_SELECTARG1) << c.what;
        }
        EXPECT_EQ(set.alphaTestEnable, c.alphaTest) << c.what;
        if (c.alphaRef != -99) { EXPECT_EQ(set.alphaRef, c.alphaRef) << c.what; }
        EXPECT_EQ(set.alphaBlendEnable, c.alphaBlend) << c.what;
        if (c.src != -99) { EXPECT_EQ(set.srcBlend, c.src) << c.what; }
        if (c.dest != -99) { EXPECT_EQ(set.destBlend, c.dest) << c.what; }
        EXPECT_EQ(set.blendOp, c.op) << c.what;
        EXPECT_EQ(Device().batch.subKind, c.subKind) << c.what;
        if (c.given == kModeValues) continue;
        // Both dirty: the next ordinary draw sets the mode's own states up again.
        EXPECT_EQ(Cache().setupDirty, 1) << c.what;
        EXPECT_EQ(Cache().textureDirty, 1) << c.what;
        EXPECT_EQ(SetupDeviceBlendStages(1, nullptr, 0), 0) << c.what;
        EXPECT_EQ(set.alphaBlendEnable, modeSet.alphaBlendEnable) << c.what;
        EXPECT_EQ(set.stages[0].texture, reinterpret_cast<uintptr_t>(texture)) << c.what;
        EXPECT_EQ(set.stages[0].alphaOp, modeSet.stages[0].alphaOp) << c.what;
    }
}

TEST_F(BlendStageTest, ModeThreeWithoutTheBlendOperationInverts) {
    const int32_t saved = Device().blendOpCap;
    Device().blendOpCap = 0;
    const BlendStageSet& set = SetUpWith(3, 0, 0, nullptr);
    Device().blendOpCap = saved;
    EXPECT_EQ(set.srcBlend, D3DBLEND_INVDESTCOLOR);
    EXPECT_EQ(set.destBlend, D3DBLEND_ZERO);
    EXPECT_EQ(set.stages[0].colorOp, D3DTOP_SELECTARG1);
    EXPECT_EQ(set.stages[0].colorArg1, D3DTA_DIFFUSE);
}

TEST_F(BlendStageTest, TheBlendImageThresholdIsHardOrSoft) {
    IDirect3DTexture9* texture = MakeTexture();
    IDirect3DTexture9* blend = MakeTexture();
    struct Case {
        const char* what;
        int32_t t, parameter, range;
        int32_t alphaTest, alphaRef;
        uint32_t factor;
        uint16_t stage0AlphaOp, stage1AlphaOp;
    } cases[] = {
        {"hard cut at 100", 0, 100, 1, 1, 100, 0x00FFFFFF, D3DTOP_ADD, D3DTOP_MODULATE},
        {"hard cut at 0 with texture alpha", 1, 0, 0, 1, 1, 0x00FFFFFF, D3DTOP_ADD, D3DTOP_MODULATE},
        {"soft ramp, plain modulation", 0, 128, 200, 0, -99, 0x01FFFFFF, D3DTOP_SUBTRACT, D3DTOP_MODULATE},
        {"soft ramp, times four", 0, 0, 64, 0, -99, 0x40FFFFFF, D3DTOP_ADD, D3DTOP_MODULATE4X},
    };
    for (const Case& c : cases) {
        Cache().blendTexture = blend;
        Cache().blendBorderParameter = c.parameter;
        Cache().blendBorderRange = c.range;
        const BlendStageSet& set = SetUpWith(1, c.t, 0, texture);
        EXPECT_EQ(Device().batch.subKind, 2) << c.what;
        EXPECT_EQ(set.alphaTestEnable, c.alphaTest) << c.what;
        if (c.alphaRef != -99) { EXPECT_EQ(set.alphaRef, c.alphaRef) << c.what; }
        EXPECT_EQ(set.textureFactor, c.factor) << c.what;
        EXPECT_EQ(set.stages[0].alphaOp, c.stage0AlphaOp) << c.what;
        if (c.t == 0) { EXPECT_EQ(set.stages[1].alphaOp, c.stage1AlphaOp) << c.what; }
        EXPECT_EQ(set.stages[0].texture, reinterpret_cast<uintptr_t>(blend)) << c.what;
        EXPECT_EQ(set.stages[c.t ? 2 : 1].texture, reinterpret_cast<uintptr_t>(texture)) << c.what;
    }
    // A border parameter of 255 suppresses the batch.
    Cache().blendBorderParameter = 255;
    SetUpWith(1, 0, 0, texture);
    EXPECT_EQ(Cache().drawSuppressed, 1);
}

TEST_F(BlendStageTest, OnlyTheTextureChangingRebindsOneStage) {
    IDirect3DTexture9* first = MakeTexture();
    IDirect3DTexture9* second = MakeTexture();
    SetUpWith(1, 1, 0, first);
    d3d9::ClearRecordedCalls();
    ASSERT_EQ(SetDeviceTexture(second), 0);
    ASSERT_EQ(SetupDeviceBlendStages(1, nullptr, 0), 0);
    EXPECT_EQ(CallsStarting("SetTexture(").size(), 1u);
    EXPECT_TRUE(CallsStarting("SetRenderState(").empty());
    EXPECT_TRUE(CallsStarting("SetTextureStageState(").empty());
    EXPECT_EQ(SetupDeviceBlendStages(1, nullptr, 0), -1) << "nothing dirty";
}

TEST_F(BlendStageTest, AChangedStageCountWalksOneStageMoreAndCarriesTheFilter) {
    IDirect3DTexture9* texture = MakeTexture();
    Cache().filterMode = 1;
    SetUpWith(0, 0, 0, texture);
    SetUpWith(11, 0, 0, texture);  // towards white: two stages
    EXPECT_EQ(Cache().current.stageCount, 2);
    EXPECT_EQ(Cache().magFilter[1], D3DTEXF_LINEAR) << "the new sampler takes the filter";
    EXPECT_EQ(Cache().current.stages[2].colorOp, D3DTOP_DISABLE) << "the third stage ends the cascade";
}

}  // namespace
}  // namespace device_test
