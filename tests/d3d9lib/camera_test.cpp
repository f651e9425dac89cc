// The draw state's camera: its products, and the view and projection the
// device draws with.
#include "device_test_util.h"

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

}  // namespace
}  // namespace device_test
