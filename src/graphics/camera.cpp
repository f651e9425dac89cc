// The camera of the draw state: view, projection and viewport matrices, their
// products, and on the device the view and the projection it draws with.
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "softrender/draw_state.h"

#include <cstring>

namespace {

// The device draws with projection x viewport x the last matrix.
void SendProjection() {
    DrawState& d = g_drawState;
    if (!Screen().d3dActive) return;
    Matrix4 product;
    MultiplyMatrix(&product, &d.projectionMatrix, &d.viewportMatrix);
    MultiplyMatrix(&product, &product, &d.projectionExtraMatrix);
    const D3DMATRIX m = AsDeviceMatrix(product);
    SetDeviceProjectionMatrix(&m);
    d.projectionSent = 1;
}

// Stores a matrix of the camera, the products then out of date.
void StoreCameraMatrix(Matrix4& field, const Matrix4& matrix) {
    if (Screen().d3dActive) FlushVertexBatch();
    field = matrix;
    g_drawState.combinedCurrent = 0;
    UpdateCombinedMatrices();
}

}  // namespace

int SetViewMatrix(const Matrix4* matrix) {
    if (matrix == nullptr) return WriteLog("行列がありません in SetViewMatrix\n");
    DrawState& d = g_drawState;
    StoreCameraMatrix(d.viewMatrix, *matrix);
    if (Screen().d3dActive) {
        const D3DMATRIX m = AsDeviceMatrix(d.viewMatrix);
        SetDeviceViewMatrix(&m);
        d.viewSent = 1;
    }
    return 0;
}

int SetProjectionMatrix(const Matrix4* matrix) {
    if (matrix == nullptr) return WriteLog("行列がありません in SetProjectionMatrix\n");
    StoreCameraMatrix(g_drawState.projectionMatrix, *matrix);
    SendProjection();
    return 0;
}

int SetViewportMatrix(const Matrix4* matrix) {
    if (matrix == nullptr) return WriteLog("行列がありません in SetViewportMatrix\n");
    StoreCameraMatrix(g_drawState.viewportMatrix, *matrix);
    SendProjection();
    return 0;
}

void UpdateCombinedMatrices() {
    DrawState& d = g_drawState;
    if (d.combinedCurrent) return;
    MultiplyMatrix(&d.viewProjectionViewport, &d.viewMatrix, &d.projectionMatrix);
    MultiplyMatrix(&d.viewProjectionViewport, &d.viewProjectionViewport, &d.viewportMatrix);
    MultiplyMatrix(&d.worldViewProjectionViewport, &d.worldMatrix, &d.viewProjectionViewport);
    d.viewRotationTransposed = kIdentityMatrix;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) d.viewRotationTransposed.m[r][c] = d.viewMatrix.m[c][r];
    d.combinedCurrent = 1;
}
