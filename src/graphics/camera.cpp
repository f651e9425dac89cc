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

// The device's viewport is the draw region, so the last matrix maps the whole
// target's clip space onto the region's: what the camera shows stays where it
// falls on the target, and the region only cuts it.
void SetDrawRegionProjection() {
    DrawState& d = g_drawState;
    if (!Screen().d3dActive || d.drawAreaEmpty || d.drawTargetWidth <= 0 || d.drawTargetHeight <= 0) return;
    const float width = d.drawAreaRightF - d.drawAreaLeftF, height = d.drawAreaBottomF - d.drawAreaTopF;
    const float targetWidth = static_cast<float>(d.drawTargetWidth);
    const float targetHeight = static_cast<float>(d.drawTargetHeight);
    Matrix4 region = kIdentityMatrix;
    region.m[0][0] = targetWidth / width;
    region.m[1][1] = targetHeight / height;
    region.m[3][0] = (targetWidth - 2.0f * d.drawAreaLeftF - width) / width;
    region.m[3][1] = (height - targetHeight + 2.0f * d.drawAreaTopF) / height;
    if (std::memcmp(&region, &d.projectionExtraMatrix, sizeof region) == 0) return;
    FlushVertexBatch();
    d.projectionExtraMatrix = region;
    SendProjection();
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
