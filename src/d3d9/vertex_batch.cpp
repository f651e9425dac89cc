// The vertex batch: 2D primitives written by the CPU into static vertex
// arrays and sent to the device in as few DrawPrimitiveUP calls as possible,
// and the unbatched grid of triangle strips.
#include "core/library.h"
#include "d3d9/d3d9_backend.h"
#include "softrender/draw_state.h"

namespace {

alignas(16) uint8_t g_plainVertices[64512];
alignas(16) uint8_t g_texturedVertices[65536];
alignas(16) uint8_t g_twoTextureVertices[65536];
alignas(16) uint8_t g_spatialVertices[65536];

constexpr D3DMATRIX kIdentity = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

int32_t Row(const VertexBatch& b) { return b.subKind + 3 * b.kind; }

int32_t PrimitiveCount(int32_t type, int32_t n) {
    switch (type) {
        case D3DPT_POINTLIST: return n;
        case D3DPT_LINELIST: return n / 2;
        case D3DPT_LINESTRIP: return n - 1;
        case D3DPT_TRIANGLELIST: return n / 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return n - 2;
        default: return 0;
    }
}

void SendFvf(uint32_t fvf) {
    DeviceStateCache& c = Cache();
    if (c.fvf == fvf) return;
    Device().device->SetFVF(fvf);
    c.fvf = fvf;
}

// Draws what the batch holds, without the scene, end-flag and suppression tests.
void DrawBatchInPlace() {
    VertexBatch& b = Device().batch;
    const BatchRow& row = kBatchRowTable[Row(b)];
    int32_t primitives = PrimitiveCount(b.primitiveType, b.count);
    SendFvf(row.fvf);
    if (b.kind == 1) SetDeviceWorldMatrix(&kIdentity);
    if (primitives > 0) {
        Device().device->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(b.primitiveType), static_cast<UINT>(primitives),
                                         b.rows[Row(b)], static_cast<UINT>(row.stride));
    }
    if (b.kind == 1) {
        const D3DMATRIX world = AsDeviceMatrix(g_drawState.worldMatrix);
        SetDeviceWorldMatrix(&world);
    }
}

void EmptyBatch() {
    VertexBatch& b = Device().batch;
    b.count = 0;
    b.write = b.rows[Row(b)];
}

}  // namespace

// Points the rows at the static arrays (rows 3 and 4 share one).
void BindBatchArrays() {
    VertexBatch& b = Device().batch;
    b.rows[0] = g_plainVertices;
    b.rows[1] = g_texturedVertices;
    b.rows[2] = g_twoTextureVertices;
    b.rows[3] = g_spatialVertices;
    b.rows[4] = g_spatialVertices;
    b.rows[5] = nullptr;
}

int FlushVertexBatch() {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return -1;
    VertexBatch& b = d.batch;
    if (b.count != 0 && !IsQuitRequested()) {
        if (!Cache().inScene) BeginDeviceScene();
        if (!Cache().drawSuppressed && b.count != 0) DrawBatchInPlace();
    }
    EmptyBatch();
    return 0;
}

void ReserveBatch(int32_t kind, int32_t primitiveType, int32_t k) {
    VertexBatch& b = Device().batch;
    const bool other = b.kind != kind || b.primitiveType != primitiveType;
    if (other || b.count + k >= kBatchRowTable[Row(b)].capacity) {
        if (b.count != 0) DrawBatchInPlace();
        b.count = 0;
        b.kind = kind;
        b.write = b.rows[Row(b)];
    }
    b.kind = kind;
    b.primitiveType = primitiveType;
}

void CommitBatch(int32_t k) {
    VertexBatch& b = Device().batch;
    b.write += static_cast<ptrdiff_t>(k) * kBatchRowTable[Row(b)].stride;
    b.count += k;
}

int SetDeviceWorldMatrix(const D3DMATRIX* matrix) {
    if (Device().device != nullptr) Device().device->SetTransform(D3DTS_WORLD, matrix);
    return 0;
}

int DrawVertexGridStrips(int32_t columns, const void* vertices, int32_t rows) {
    DeviceBlock& d = Device();
    if (d.device == nullptr) return 0;
    constexpr int kMaxIndices = 1000;
    // One row pair must fit the index list, and every vertex a 16-bit index.
    if (columns < 2 || rows < 2 || 2 * columns + 2 > kMaxIndices || columns * rows > 65536) return -1;
    FlushVertexBatch();
    uint16_t indices[kMaxIndices];
    int count = 0;
    auto draw = [&] {
        SendFvf(0x144);
        d.device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, static_cast<UINT>(columns * rows),
                                         static_cast<UINT>(count - 2), indices, D3DFMT_INDEX16, vertices, 28);
        count = 0;
    };
    for (int32_t r = 0; r <= rows - 2; ++r) {
        const int32_t v = r * columns;
        if (count + 2 * columns + 2 > kMaxIndices) {
            draw();
        } else if (count != 0) {
            indices[count++] = static_cast<uint16_t>(v + columns);
        }
        for (int32_t c = 0; c < columns; ++c) {
            indices[count++] = static_cast<uint16_t>(v + c + columns);
            indices[count++] = static_cast<uint16_t>(v + c);
        }
        if (r != rows - 2) {
            indices[count] = indices[count - 1];
            ++count;
        }
    }
    if (count != 0) draw();
    return 0;
}
