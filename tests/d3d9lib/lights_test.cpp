// Lights, material, ambient colour and camera on the device: what the device
// holds and the constant registers built from them.
#include "device_test_util.h"
#include "d3d9/shader_state.h"

#include "../../src/platform/seams/seams.h"

#include <cmath>
#include <cstring>

namespace device_test {
namespace {

class LightsTest : public DeviceTest {
protected:
    void TearDown() override {
        g_drawState.viewMatrix = kIdentityMatrix;  // the draw state outlives the library
        DeviceTest::TearDown();
    }
    static DeviceLightState& S() { return Cache().lights; }
    static ShaderConstantCache& R() { return ShaderConstants(); }
    static D3DLIGHT9 Light(D3DLIGHTTYPE type) {
        D3DLIGHT9 l{};
        l.Type = type;
        l.Diffuse = {1, 1, 1, 1};
        l.Ambient = {0.5f, 0.5f, 0.5f, 1};
        l.Position = {1, 2, 3};
        l.Direction = {0, 0, 1};
        l.Range = 4;
        l.Theta = 0.5f;
        l.Phi = 1.0f;
        return l;
    }
    static D3DMATRIX Translation(float x, float y, float z) {
        return D3DMATRIX{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}};
    }
};

// A device without shader model 2.0: the light kinds' boolean registers are
// sent all the same.
class LightsWithoutShadersTest : public LightsTest {
protected:
    void SetUp() override {
        d3d9::SetShaderModel(1, 1);
        LightsTest::SetUp();
    }
    void TearDown() override {
        LightsTest::TearDown();
        d3d9::ResetShaderModel();
    }
};

TEST_F(LightsWithoutShadersTest, EachKindOfLightSetsItsBooleanRegisters) {
    ASSERT_EQ(Cache().shadersInUse, 0);
    struct Case {
        const char* what;
        D3DLIGHTTYPE type;
        BOOL pointOrSpot, spot;
        float cameraX;  // the draw state's view matrix moves x by this; none is sent to the device
    } cases[] = {{"directional", D3DLIGHT_DIRECTIONAL, 0, 0, 0},
                 {"spot", D3DLIGHT_SPOT, 1, 1, 0},
                 {"point", D3DLIGHT_POINT, 1, 0, 0},
                 {"point under a camera not yet sent", D3DLIGHT_POINT, 1, 0, 5}};
    for (const Case& c : cases) {
        g_drawState.viewMatrix = kIdentityMatrix;
        g_drawState.viewMatrix.m[3][0] = c.cameraX;
        for (int index : {0, 3}) {
            const D3DLIGHT9 light = Light(c.type);
            ASSERT_EQ(SetDeviceLight(index, &light), 0) << c.what;
            EXPECT_EQ(R().vertexB[5 + 3 * index], c.pointOrSpot) << c.what << " " << index;
            EXPECT_EQ(R().vertexB[6 + 3 * index], c.spot) << c.what << " " << index;
            EXPECT_FLOAT_EQ(R().vertexF[14 + 7 * index][0], 1 + c.cameraX) << c.what << ": placed in view space";
            D3DLIGHT9 held{};
            ASSERT_EQ(Device().device->GetLight(static_cast<DWORD>(index), &held), D3D_OK);
            EXPECT_EQ(held.Type, c.type) << c.what;
        }
    }
    // The light's block: range squared, cone cosines; equal cones divide by zero.
    D3DLIGHT9 cone = Light(D3DLIGHT_SPOT);
    ASSERT_EQ(SetDeviceLight(1, &cone), 0);
    EXPECT_FLOAT_EQ(R().vertexF[19 + 7][0], 16.0f);
    EXPECT_FLOAT_EQ(R().vertexF[20 + 7][1], std::cos(0.5f));
    EXPECT_NEAR(R().vertexF[20 + 7][2], 1.0f / (std::cos(0.25f) - std::cos(0.5f)), 1e-3);
    cone.Theta = cone.Phi = 0;
    ASSERT_EQ(SetDeviceLight(1, &cone), 0);
    EXPECT_TRUE(std::isinf(R().vertexF[20 + 7][2]));
    // A refused light is -1 and still cached.
    seams::FailCall("IDirect3DDevice9::SetLight", 1);
    cone.Range = 9;
    EXPECT_EQ(SetDeviceLight(2, &cone), -1);
    EXPECT_FLOAT_EQ(S().light[2].Range, 9.0f);
}

TEST_F(LightsTest, TheHighestEnabledIndexFollowsTheEnables) {
    struct Step {
        int index, flag, highest;
    } steps[] = {{2, 1, 2}, {5, 1, 5}, {5, 0, 2}, {2, 0, 0}, {300, 1, 0}};
    for (const Step& s : steps) {
        ASSERT_EQ(SetDeviceLightEnable(s.index, s.flag), 0) << s.index;
        EXPECT_EQ(S().highest, s.highest) << s.index << " " << s.flag;
        BOOL on = -1;
        ASSERT_EQ(Device().device->GetLightEnable(static_cast<DWORD>(s.index), &on), D3D_OK);
        EXPECT_EQ(on != 0, s.flag == 1) << s.index;
    }
}

TEST_F(LightsTest, AmbientTermsAreTheProductsWithTheMaterial) {
    D3DMATERIAL9 m{};
    m.Ambient = {1, 0.5f, 0, 1};
    m.Emissive = {0, 0, 0.25f, 0};
    m.Diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
    m.Power = 7;
    ASSERT_EQ(SetDeviceMaterial(&m), 0);
    EXPECT_FLOAT_EQ(R().vertexF[13][0], 7.0f);
    EXPECT_FLOAT_EQ(R().pixelF[2][2], 0.3f);
    ASSERT_EQ(SetDeviceAmbientColor(0xFF808080), 0);
    EXPECT_FLOAT_EQ(S().ambient[0], 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(S().ambient[3], 1.0f);
    DWORD held = 0;
    Device().device->GetRenderState(D3DRS_AMBIENT, &held);
    EXPECT_EQ(held, 0xFF808080u);
    const float global[4] = {128.0f / 255.0f, 64.0f / 255.0f, 0.25f, 1.0f};
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(R().vertexF[1][k], global[k]) << k;
        EXPECT_FLOAT_EQ(R().pixelF[1][k], global[k]) << k;
    }
    // A light's ambient term appears once it is enabled; light 6 has none but
    // its enable still renews the global term.
    const D3DLIGHT9 light = Light(D3DLIGHT_POINT);
    ASSERT_EQ(SetDeviceLight(0, &light), 0);
    ASSERT_EQ(SetDeviceLightEnable(0, 1), 0);
    EXPECT_FLOAT_EQ(R().vertexF[18][1], 0.25f);
    EXPECT_FLOAT_EQ(R().pixelF[11][0], 0.5f);
    R().vertexF[1][0] = -1;
    ASSERT_EQ(SetDeviceLightEnable(6, 1), 0);
    EXPECT_FLOAT_EQ(R().vertexF[1][0], global[0]);
}

TEST_F(LightsTest, TheSameMaterialIsNotSentAgainUnlessForced) {
    D3DMATERIAL9 m{};
    m.Diffuse = {1, 0, 0, 1};
    ASSERT_EQ(SetDeviceMaterial(&m), 0);
    D3DMATERIAL9 other{};
    other.Power = 3;
    Device().device->SetMaterial(&other);
    ASSERT_EQ(DrawFillBoxHardware(0, 0, 4, 4, MakeColor(255, 0, 0)), 0);
    struct Case {
        const char* what;
        int32_t force;
        float devicePower;
        int batched;
    } cases[] = {{"unchanged", 0, 3.0f, 6}, {"forced", 1, 0.0f, 0}};
    for (const Case& c : cases) {
        ForceResend() = c.force;
        EXPECT_EQ(SetDeviceMaterial(&m), 0) << c.what;
        ForceResend() = 0;
        D3DMATERIAL9 held{};
        Device().device->GetMaterial(&held);
        EXPECT_FLOAT_EQ(held.Power, c.devicePower) << c.what;
        EXPECT_EQ(Device().batch.count, c.batched) << c.what << ": flushed only when sent";
    }
}

TEST_F(LightsTest, TheCameraMovesTheLightsAndFillsTransposedRegisters) {
    const D3DLIGHT9 light = Light(D3DLIGHT_SPOT);
    ASSERT_EQ(SetDeviceLight(0, &light), 0);  // never enabled
    D3DMATRIX view = Translation(10, 0, 0);
    view.m[0][0] = 0, view.m[0][1] = 1, view.m[1][0] = -1, view.m[1][1] = 0;  // a quarter turn
    Matrix4 camera;
    std::memcpy(camera.m, view.m, sizeof(view.m));
    ASSERT_EQ(SetViewMatrix(&camera), 0);
    const float position[4] = {10 - 2, 1, 3, 1}, direction[4] = {0, 0, 1, 0};
    for (int k = 0; k < 4; ++k) {
        EXPECT_FLOAT_EQ(R().vertexF[14][k], position[k]) << k;
        EXPECT_FLOAT_EQ(R().vertexF[15][k], direction[k]) << k;
        EXPECT_FLOAT_EQ(R().vertexF[6 + k][3], view.m[3][k]) << "column " << k;
    }
    // A light set afterwards is placed by the draw state's camera.
    ASSERT_EQ(SetDeviceLight(1, &light), 0);
    EXPECT_FLOAT_EQ(R().vertexF[21][0], 8.0f);
    const D3DMATRIX projection = Translation(0, 0, 5);
    ASSERT_EQ(SetDeviceProjectionMatrix(&projection), 0);
    EXPECT_FLOAT_EQ(R().vertexF[4][3], 5.0f);
    D3DMATRIX held{};
    Device().device->GetTransform(D3DTS_PROJECTION, &held);
    EXPECT_FLOAT_EQ(held.m[3][2], 5.0f);
    Device().device->GetTransform(D3DTS_VIEW, &held);
    EXPECT_FLOAT_EQ(held.m[3][0], 10.0f);
    // The device's camera alone turns the directions; positions keep the draw state's.
    D3DMATRIX mirrored = Translation(-50, 0, 0);
    mirrored.m[2][2] = -1;
    ASSERT_EQ(SetDeviceViewMatrix(&mirrored), 0);
    EXPECT_FLOAT_EQ(R().vertexF[14][0], position[0]);
    EXPECT_FLOAT_EQ(R().vertexF[15][2], -1.0f);
}

// Only lights ever set come back on a new device, with the camera of the
// draw state, the material and the ambient colour as they were.
TEST_F(LightsTest, ARecreatedDeviceGetsBackWhatWasSet) {
    D3DLIGHT9 light = Light(D3DLIGHT_SPOT);
    light.Range = 7;
    ASSERT_EQ(SetDeviceLight(4, &light), 0);
    ASSERT_EQ(SetDeviceLightEnable(4, 1), 0);
    ASSERT_EQ(SetDeviceLightEnable(9, 1), 0);  // enabled but never set
    D3DMATERIAL9 m{};
    m.Power = 12;
    ASSERT_EQ(SetDeviceMaterial(&m), 0);
    ASSERT_EQ(SetDeviceAmbientColor(0x40FF8000), 0);
    // The camera comes back from the draw state's matrices.
    const D3DMATRIX view = Translation(1, 2, 3), projection = Translation(0, 0, 4);
    Matrix4 viewMatrix, projectionMatrix;
    std::memcpy(viewMatrix.m, view.m, sizeof(view.m));
    std::memcpy(projectionMatrix.m, projection.m, sizeof(projection.m));
    ASSERT_EQ(SetViewMatrix(&viewMatrix), 0);
    ASSERT_EQ(SetProjectionMatrix(&projectionMatrix), 0);
    const auto resets = [] {
        const std::string log = graphics_test::LogText();
        size_t n = 0;
        for (size_t at = log.find("デバイスを作り直します"); at != std::string::npos; at = log.find("デバイスを作り直します", at + 1)) ++n;
        return n;
    };
    const size_t before = resets();
    d3d9::LoseDevice(nullptr, 1);
    for (int i = 0; i < 3 && resets() == before; ++i) ASSERT_EQ(PresentScreen(), 0);
    ASSERT_GT(resets(), before);
    IDirect3DDevice9* now = Device().device;
    D3DLIGHT9 held{};
    ASSERT_EQ(now->GetLight(4, &held), D3D_OK);
    EXPECT_FLOAT_EQ(held.Range, 7.0f);
    BOOL on = 0;
    ASSERT_EQ(now->GetLightEnable(4, &on), D3D_OK);
    EXPECT_NE(on, 0);
    EXPECT_NE(now->GetLight(9, &held), D3D_OK) << "a light never set is not sent";
    D3DMATERIAL9 material{};
    now->GetMaterial(&material);
    EXPECT_FLOAT_EQ(material.Power, 12.0f);
    DWORD ambient = 0;
    now->GetRenderState(D3DRS_AMBIENT, &ambient);
    EXPECT_EQ(ambient, 0x40FF8000u);
    D3DMATRIX matrix{};
    now->GetTransform(D3DTS_VIEW, &matrix);
    EXPECT_FLOAT_EQ(matrix.m[3][1], 2.0f);
    now->GetTransform(D3DTS_PROJECTION, &matrix);
    EXPECT_FLOAT_EQ(matrix.m[3][2], 4.0f);
}

}  // namespace
}  // namespace device_test
