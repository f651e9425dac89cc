// The draw state's camera: its products, the view and projection the device
// draws with, and the draw region's share of the projection.
#include "device_test_util.h"

#include <array>

namespace device_test {
namespace {

Matrix4 Scale(float x, float y, float z) { return Matrix4{{{x, 0, 0, 0}, {0, y, 0, 0}, {0, 0, z, 0}, {0, 0, 0, 1}}}; }
Matrix4 Move(float x, float y, float z) { return Matrix4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}}; }

using CameraTest = DeviceTest;

TEST_F(CameraTest, TheDeviceDrawsWithTheViewAndTheProjectionTimesTheViewport) {
    struct Case {
        const char* what;
        int (*set)(const Matrix4*);
        Matrix4 matrix;
        D3DTRANSFORMSTATETYPE state;
        float wantDiagonal0, wantMove;   // m[0][0] and m[3][0] the device holds
    } cases[] = {
        {"view", SetViewMatrix, Move(3, 0, 0), D3DTS_VIEW, 1, 3},
        {"projection", SetProjectionMatrix, Scale(2, 2, 1), D3DTS_PROJECTION, 2, 0},
        // With the projection above: (2 x 4) scale, moved by 5 after it.
        {"viewport", SetViewportMatrix, Matrix4{{{4, 0, 0, 0}, {0, 4, 0, 0}, {0, 0, 1, 0}, {5, 0, 0, 1}}},
         D3DTS_PROJECTION, 8, 5},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.set(&c.matrix), 0) << c.what;
        D3DMATRIX held{};
        ASSERT_EQ(Device().device->GetTransform(c.state, &held), D3D_OK);
        EXPECT_FLOAT_EQ(held.m[0][0], c.wantDiagonal0) << c.what;
        EXPECT_FLOAT_EQ(held.m[3][0], c.wantMove) << c.what;
    }
    EXPECT_EQ(g_drawState.viewSent, 1);
    EXPECT_EQ(g_drawState.projectionSent, 1);
    EXPECT_EQ(SetViewMatrix(nullptr), -1);
}

TEST_F(CameraTest, TheProductsAreRebuiltOnlyWhenOutOfDate) {
    const Matrix4 view = Move(1, 2, 3), projection = Scale(2, 3, 4), viewport = Move(10, 0, 0);
    ASSERT_EQ(SetViewMatrix(&view), 0);
    ASSERT_EQ(SetProjectionMatrix(&projection), 0);
    ASSERT_EQ(SetViewportMatrix(&viewport), 0);
    const DrawState& d = g_drawState;
    ASSERT_EQ(d.combinedCurrent, 1);
    // The point (0, 0, 0) moves by the view, is scaled, then moved by 10.
    EXPECT_FLOAT_EQ(d.viewProjectionViewport.m[3][0], 12.0f);
    EXPECT_FLOAT_EQ(d.viewProjectionViewport.m[3][1], 6.0f);
    EXPECT_FLOAT_EQ(d.viewProjectionViewport.m[3][2], 12.0f);
    EXPECT_FLOAT_EQ(d.worldViewProjectionViewport.m[1][1], 3.0f);
    // The rotation part transposed, the translation left out.
    Matrix4 turned = kIdentityMatrix;
    turned.m[0][1] = 1, turned.m[1][0] = -1, turned.m[0][0] = turned.m[1][1] = 0, turned.m[3][0] = 7;
    ASSERT_EQ(SetViewMatrix(&turned), 0);
    EXPECT_FLOAT_EQ(d.viewRotationTransposed.m[1][0], 1.0f);
    EXPECT_FLOAT_EQ(d.viewRotationTransposed.m[0][1], -1.0f);
    EXPECT_FLOAT_EQ(d.viewRotationTransposed.m[3][0], 0.0f);
    // Current products are left alone.
    g_drawState.viewProjectionViewport.m[0][0] = 99;
    UpdateCombinedMatrices();
    EXPECT_FLOAT_EQ(d.viewProjectionViewport.m[0][0], 99.0f);
    g_drawState.combinedCurrent = 0;
    UpdateCombinedMatrices();
    EXPECT_FLOAT_EQ(d.viewProjectionViewport.m[0][0], 0.0f) << "the turned view's first element";
}

// What the device's projection holds of a region's matrix: x and y scales,
// x and y moves (exact in floats for these regions).
using RegionMatrix = std::array<float, 4>;

RegionMatrix HeldProjection() {
    D3DMATRIX held{};
    EXPECT_EQ(Device().device->GetTransform(D3DTS_PROJECTION, &held), D3D_OK);
    return RegionMatrix{held.m[0][0], held.m[1][1], held.m[3][0], held.m[3][1]};
}

TEST_F(CameraTest, TheDrawRegionMapsTheWholeTargetOntoTheViewport) {
    struct Case {
        const char* what;
        RECT region;
        RegionMatrix want;
    } cases[] = {
        {"the whole target", {0, 0, 320, 240}, {1, 1, 0, 0}},
        {"the left half", {0, 0, 160, 240}, {2, 1, 1, 0}},
        {"the lower right quarter", {160, 120, 320, 240}, {2, 2, -1, 1}},
        {"the same given corners reversed", {320, 240, 160, 120}, {2, 2, -1, 1}},
        {"a quarter-wide strip at the top", {80, 0, 160, 60}, {4, 4, 1, -3}},
        {"beyond the target: clamped to it", {-50, -50, 400, 300}, {1, 1, 0, 0}},
        {"empty: the device keeps the whole target's", {10, 10, 10, 50}, {1, 1, 0, 0}},
    };
    // The draw state keeps the camera across starts: a plain one here.
    ASSERT_EQ(SetProjectionMatrix(&kIdentityMatrix), 0);
    ASSERT_EQ(SetViewportMatrix(&kIdentityMatrix), 0);
    for (const Case& c : cases) {
        ASSERT_EQ(SetDrawRegion(0, 0, 320, 240), 0) << c.what;
        ASSERT_EQ(SetDrawRegion(c.region.left, c.region.top, c.region.right, c.region.bottom), 0) << c.what;
        EXPECT_EQ(HeldProjection(), c.want) << c.what;
    }
    // After the camera's projection: a move of 1 in x, then the left half's
    // scale of 2 and move of 1 gives a move of 3 (the other order, 2).
    const Matrix4 projection = Move(1, 0, 0);
    ASSERT_EQ(SetProjectionMatrix(&projection), 0);
    ASSERT_EQ(SetDrawRegion(0, 0, 160, 240), 0);
    EXPECT_EQ(HeldProjection(), (RegionMatrix{2, 1, 3, 0}));
    d3d9::ClearRecordedCalls();
    ASSERT_EQ(SetDrawRegion(0, 0, 160, 240), 0);
    EXPECT_TRUE(CallsStarting("SetTransform(").empty()) << "an unchanged region sends no projection";
}

TEST_F(CameraTest, TheDrawRegionRefusesAMissingDeviceAndADeadTarget) {
    const int32_t image = CreateBlankImage(8, 8);
    ASSERT_EQ(DeleteImage(image, 0), 0);
    struct Case {
        const char* what;
        int32_t target;
        bool dropDevice;
        int32_t leftAfter;
    } cases[] = {
        {"no device: the region is kept, the device is not asked", kDrawTargetBack, true, 5},
        {"a draw target that is a deleted image: nothing changes", image, false, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SetDrawRegion(0, 0, 320, 240), 0) << c.what;
        IDirect3DDevice9* device = Device().device;
        if (c.dropDevice) Device().device = nullptr;
        g_drawState.drawTarget = c.target;
        EXPECT_EQ(SetDrawRegion(5, 6, 50, 60), -1) << c.what;
        Device().device = device;
        g_drawState.drawTarget = kDrawTargetBack;
        EXPECT_EQ(g_drawState.drawAreaLeft, c.leftAfter) << c.what;
    }
}

}  // namespace
}  // namespace device_test
