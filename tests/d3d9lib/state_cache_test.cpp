// The state cache sends only changes, everything under the force flag, and
// draws the pending batch before a change; the state reset and re-send; the
// vertex batch's flush rules.
#include "device_test_util.h"

namespace device_test {
namespace {

class StateCacheTest : public DeviceTest {
protected:
    // Puts one untextured quad into the batch.
    void QueueBox() {
        ASSERT_EQ(DrawFillBoxHardware(0, 0, 4, 4, MakeColor(255, 255, 255)), 0);
        ASSERT_GT(Device().batch.count, 0);
    }
};

struct SetterCase {
    const char* what;
    int (*set)(int32_t);
    int32_t value;
    int state;
    uint32_t sent;
};

TEST_F(StateCacheTest, ASetterSendsOnlyAChangeAndEverythingUnderForce) {
    const SetterCase cases[] = {
        {"Z write", SetDeviceZWriteEnable, 1, D3DRS_ZWRITEENABLE, 1},
        {"Z function", SetDeviceZFunc, D3DCMP_ALWAYS, D3DRS_ZFUNC, D3DCMP_ALWAYS},
        {"Z enable 2 sends FALSE", SetDeviceZEnable, 2, D3DRS_ZENABLE, 0},
        {"cull 1 is counter-clockwise", SetDeviceCullMode, 1, D3DRS_CULLMODE, D3DCULL_CCW},
        {"cull 2 is clockwise", SetDeviceCullMode, 2, D3DRS_CULLMODE, D3DCULL_CW},
        {"cull 3 is counter-clockwise", SetDeviceCullMode, 3, D3DRS_CULLMODE, D3DCULL_CCW},
        {"fog enable", SetDeviceFogEnable, 1, D3DRS_FOGENABLE, 1},
        {"diffuse source", SetDeviceDiffuseSource, 1, D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1},
    };
    for (const SetterCase& c : cases) {
        QueueRaw();
        d3d9::ClearRecordedCalls();
        c.set(c.value);
        const int draw = CallIndex("DrawPrimitiveUP(");
        const int state = CallIndex(RenderStateCall(c.state, c.sent));
        EXPECT_GE(draw, 0) << c.what << ": the batch is drawn first";
        EXPECT_GT(state, draw) << c.what;
        QueueRaw();
        d3d9::ClearRecordedCalls();
        c.set(c.value);
        EXPECT_TRUE(CallsStarting("SetRenderState(").empty()) << c.what << ": an equal value sends nothing";
        EXPECT_TRUE(CallsStarting("DrawPrimitiveUP(").empty()) << c.what << ": and draws nothing";
        ForceResend() = 1;
        c.set(c.value);
        ForceResend() = 0;
        EXPECT_EQ(CallsStarting(RenderStateCall(c.state, c.sent)).size(), 1u) << c.what << ": under force";
        EXPECT_FALSE(CallsStarting("DrawPrimitiveUP(").empty()) << c.what;
    }
}

TEST_F(StateCacheTest, FilterAndAnisotropyFollowTheirRules) {
    EXPECT_EQ(SetDeviceTextureFilter(3), -1);
    const int32_t count = Cache().current.stageCount;
    ASSERT_GT(count, 0);
    d3d9::ClearRecordedCalls();
    ASSERT_EQ(SetDeviceTextureFilter(1), 0);
    // Point to linear: magnification and minification of every sampler in
    // use; the mip filter stays none and is not sent.
    EXPECT_EQ(CallsStarting("SetSamplerState(").size(), static_cast<size_t>(2 * count));
    EXPECT_EQ(Cache().magFilter[0], D3DTEXF_LINEAR);
    d3d9::ClearRecordedCalls();
    Cache().maxAnisotropy = 5;
    ASSERT_EQ(SetDeviceMaxAnisotropy(0), 0);
    EXPECT_TRUE(CallsStarting("SetSamplerState(").empty()) << "every sampler already holds 1";
    EXPECT_EQ(Cache().maxAnisotropy, 1);
}

// The calls "method(i<args>) = 0" for i from `from` to `to`, either way.
std::vector<std::string> CallsEach(const std::string& method, int from, int to, const std::string& args) {
    std::vector<std::string> calls;
    for (int i = from;; i += from < to ? 1 : -1) {
        calls.push_back(method + "(" + std::to_string(i) + args + ") = 0");
        if (i == to) break;
    }
    return calls;
}

// A texture-coordinate transform no stage holds at start.
constexpr D3DMATRIX kTextureMatrix{{{1, 0, 0, 0}, {0, 2, 0, 0}, {0.25f, 0.5f, 1, 0}, {0, 0, 0, 1}}};

// Setters that reach several samplers or stages send in a fixed order.
TEST_F(StateCacheTest, SettersOfSeveralSamplersOrStagesSendInTheirOrder) {
    const std::vector<std::string> count3 = CallsEach("SetTextureStageState", 0, 3, ", 24, 3");
    const std::vector<std::string> transforms = CallsEach("SetTransform", 16, 19, "");
    std::vector<std::string> allStages = count3;
    allStages.insert(allStages.end(), transforms.begin(), transforms.end());
    struct Case {
        const char* what;
        int (*set)();
        std::vector<std::string> calls;
        int32_t firstStage, lastStage;  // the stages whose transform is the matrix afterwards (-1: none)
    } cases[] = {
        {"address U of every sampler, 7 first and 0 last", [] { return SetDeviceAddressU(-1, D3DTADDRESS_WRAP); },
         CallsEach("SetSamplerState", 7, 0, ", 1, 1"), -1, -1},
        {"the transform of stage 2: COUNT3 and the matrix",
         [] { return SetDeviceTextureTransform(2, 1, &kTextureMatrix); },
         {"SetTextureStageState(2, 24, 3) = 0", "SetTransform(18) = 0"},
         2,
         2},
        {"the transform of stages 0 to 3: the four flags, then the four matrices",
         [] { return SetDeviceTextureTransform(-1, 1, &kTextureMatrix); }, allStages, 0, 3},
    };
    for (const Case& c : cases) {
        FlushVertexBatch();
        d3d9::ClearRecordedCalls();
        EXPECT_EQ(c.set(), 0) << c.what;
        EXPECT_EQ(d3d9::RecordedCalls(), c.calls) << c.what;
        for (int32_t s = c.firstStage; s >= 0 && s <= c.lastStage; ++s) {
            D3DMATRIX sent{};
            Device().device->GetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + s), &sent);
            EXPECT_EQ(std::memcmp(&sent, &kTextureMatrix, sizeof sent), 0) << c.what << ": stage " << s;
        }
    }
    EXPECT_EQ(SetDeviceAddressU(8, D3DTADDRESS_WRAP), -1);
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(SetDeviceAddressU(3, D3DTADDRESS_WRAP), 0);
    EXPECT_TRUE(CallsStarting("SetSamplerState(").empty());
}

TEST_F(StateCacheTest, ViewportIgnoresDepthRangeAndRenderTargetCoversItsSurface) {
    D3DVIEWPORT9 v = Device().viewport;
    v.MinZ = 0.5f;
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(SetDeviceViewport(v), 0);
    EXPECT_TRUE(CallsStarting("SetViewport(").empty());
    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(Device().device->CreateRenderTarget(64, 32, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target,
                                                  nullptr),
              D3D_OK);
    ASSERT_EQ(SetDeviceRenderTarget(target), 0);
    EXPECT_EQ(Device().viewport.Width, 64u);
    EXPECT_EQ(Device().viewport.Height, 32u);
    SetDeviceRenderTarget(Device().backBuffer);
    target->Release();
    // A viewport the device refuses keeps the shadow and logs.
    D3DVIEWPORT9 tooLarge{0, 0, 4000, 4000, 0.0f, 1.0f};
    EXPECT_EQ(SetDeviceViewport(tooLarge), -1);
    EXPECT_EQ(Device().viewport.Width, 320u);
    EXPECT_NE(graphics_test::LogText().find("ビューポートのセットに失敗しました"), std::string::npos);
}

TEST_F(StateCacheTest, TheBatchSharesOneDrawAndFlushesOnlyWhenItMust) {
    d3d9::ClearRecordedCalls();
    QueueBox();
    QueueBox();
    EXPECT_EQ(Device().batch.count, 12);
    EXPECT_TRUE(CallsStarting("DrawPrimitiveUP(").empty());
    ASSERT_EQ(FlushVertexBatch(), 0);
    EXPECT_EQ(CallsStarting("DrawPrimitiveUP(4, 4, ").size(), 1u);
    EXPECT_EQ(Device().batch.write, Device().batch.rows[0]);
    // An empty batch draws nothing.
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(FlushVertexBatch(), 0);
    EXPECT_TRUE(CallsStarting("DrawPrimitiveUP(").empty());
    // A suppressed batch is discarded.
    QueueBox();
    Cache().drawSuppressed = 1;
    d3d9::ClearRecordedCalls();
    FlushVertexBatch();
    Cache().drawSuppressed = 0;
    EXPECT_TRUE(CallsStarting("DrawPrimitiveUP(").empty());
    EXPECT_EQ(Device().batch.count, 0);
    // A 3D batch draws under the identity, then the draw state's world matrix
    // goes back to the device.
    g_drawState.worldMatrix.m[3][0] = 7;
    BeginDeviceScene();
    ReserveBatch(1, D3DPT_TRIANGLELIST, 3);
    CommitBatch(3);
    d3d9::ClearRecordedCalls();
    FlushVertexBatch();
    g_drawState.worldMatrix = kIdentityMatrix;
    const std::vector<std::string> calls = d3d9::RecordedCalls();
    const std::vector<std::string> bracket(calls.end() - std::min<size_t>(calls.size(), 3), calls.end());
    ASSERT_EQ(bracket.size(), 3u);
    EXPECT_EQ(bracket[0].rfind("SetTransform(256)", 0), 0u) << bracket[0];
    EXPECT_EQ(bracket[1].rfind("DrawPrimitiveUP(4, 1, ", 0), 0u) << bracket[1];
    EXPECT_EQ(bracket[2].rfind("SetTransform(256)", 0), 0u) << bracket[2];
    D3DMATRIX world{};
    Device().device->GetTransform(D3DTS_WORLD, &world);
    EXPECT_FLOAT_EQ(world.m[3][0], 7.0f);
}

TEST_F(StateCacheTest, AFullBatchIsDrawnBeforeTheNextQuad) {
    const int32_t capacity = kBatchRowTable[0].capacity;
    d3d9::ClearRecordedCalls();
    int32_t quads = 0;
    while (Device().batch.count + 6 < capacity) {
        QueueBox();
        ++quads;
    }
    EXPECT_EQ(quads, (capacity - 1) / 6);
    EXPECT_TRUE(CallsStarting("DrawPrimitiveUP(").empty());
    QueueBox();
    EXPECT_EQ(CallsStarting("DrawPrimitiveUP(4, " + std::to_string(quads * 2)).size(), 1u);
    EXPECT_EQ(Device().batch.count, 6);
}

TEST_F(StateCacheTest, GridStripsDrawInOneCallAndRefuseThinGrids) {
    std::vector<uint8_t> vertices(64 * 28, 0);
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(DrawVertexGridStrips(8, vertices.data(), 8), 0);
    const std::vector<std::string> calls = CallsStarting("DrawIndexedPrimitiveUP(");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].find(", 122, "), std::string::npos) << calls[0];
    EXPECT_EQ(DrawVertexGridStrips(1, vertices.data(), 8), -1);
    EXPECT_EQ(DrawVertexGridStrips(8, vertices.data(), 1), -1);
    EXPECT_EQ(DrawVertexGridStrips(600, vertices.data(), 2), -1) << "a row pair beyond the index list";
}

TEST_F(StateCacheTest, ReapplyResendsUnderForceAndClearsTheForceFlag) {
    SetBlendMode(kBlendAlpha, 128);
    ASSERT_EQ(FillRectangle(0, 0, 8, 8, MakeColor(0, 0, 255)), 0);
    FlushVertexBatch();
    d3d9::ClearRecordedCalls();
    ASSERT_EQ(ReapplyDeviceStates(), 0);
    EXPECT_EQ(ForceResend(), 0);
    EXPECT_EQ(CallsStarting(RenderStateCall(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA)).size() >= 1, true);
    EXPECT_EQ(CallsStarting(RenderStateCall(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA)).size() >= 1, true);
    EXPECT_FALSE(CallsStarting("SetViewport(").empty());
    EXPECT_EQ(Cache().drawTexture, nullptr);
}

// A kept blend word (-1) is sent again under force once the cache ever held
// a value, ZERO (1) too: a device made anew holds SRCBLEND = ONE.
TEST_F(StateCacheTest, AKeptBlendFactorIsResentUnderForceOnceSet) {
    struct Case {
        const char* what;
        int32_t cached;
        size_t sent;
    } cases[] = {{"never set", 0, 0}, {"ZERO", D3DBLEND_ZERO, 1}, {"SRCALPHA", D3DBLEND_SRCALPHA, 1}};
    for (const Case& c : cases) {
        Cache().current.srcBlend = c.cached;
        BlendStageSet set = Cache().current;
        set.srcBlend = -1;
        d3d9::ClearRecordedCalls();
        ForceResend() = 1;
        SetupDeviceBlendStages(0, &set, 0);
        ForceResend() = 0;
        EXPECT_EQ(CallsStarting(RenderStateCall(D3DRS_SRCBLEND, static_cast<uint32_t>(c.cached))).size(), c.sent)
            << c.what;
    }
}

TEST_F(StateCacheTest, TheDrawStateApplicationTakesTheTextureTransformRequest) {
    Cache().texTransformRequest = 1;
    ApplyDrawState(nullptr, nullptr, 0);
    EXPECT_EQ(Cache().texTransformRequest, 0);
}

TEST_F(StateCacheTest, TheFirstFlushAfterTheResetDrawsTheQueuedPoint) {
    // Start-up queued one point; the graphics start cleared and set a
    // target, which flushed it.
    Start(ScreenMode{}, [] {
        d3d9::SetCallRecording(true);
        d3d9::ClearRecordedCalls();
    });
    EXPECT_EQ(CallsStarting("DrawPrimitiveUP(1, 1, ").size(), 1u);
}

}  // namespace
}  // namespace device_test
