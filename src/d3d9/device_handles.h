// The device resources a program owns through handles: vertex buffers, index
// buffers and shaders. Each record keeps its data in main memory beside the
// device object, so that the object can be made again after a device reset.
//
// Contract:
// - Every call that takes a handle refuses (-1, no message) a negative handle,
//   another family's type bits, a slot past the family's table, an empty slot
//   and a check value other than the record's.
// - A data write outside the buffer, with a negative start or count or without
//   a source, is -1 and writes nothing. A failed device lock logs its line, is
//   -1 and leaves the memory copy unwritten as well.
// - The bulk deletions do nothing before graphics has started.
// - A failed re-creation logs its line and is -1; the record stays live with
//   its memory copy and no device object.
// - No public call makes these handles. The Add...Record calls below are the
//   library's own entry for the calls that will create them (and for tests).
#pragma once

#include "core/handle_table.h"
#include "platform/d3d9/d3d9.h"

#include <cstdint>

constexpr int kMaxShaderHandles = 4096;
constexpr int kMaxVertexBufferHandles = 16384;
constexpr int kMaxIndexBufferHandles = 16384;

// Vertex type 0: position, normal, diffuse, specular and two texture sets.
constexpr int32_t kVertexType3D = 0;
constexpr DWORD kVertexType3DFvf = 0x2D2;
constexpr int32_t kVertexType3DSize = 48;
// Index types: 16-bit and 32-bit indices.
constexpr int32_t kIndexType16 = 0;
constexpr int32_t kIndexType32 = 1;

// One layout for both buffer families; Buffer is the device interface.
template <typename Buffer>
struct DeviceBufferRecord {
    int32_t handleCheck;    // 0 to 2047; bits 16-26 of the handle
    int32_t handle;         // the record's own handle
    int32_t elementType;    // vertex type or index type
    int32_t elementSize;    // bytes per vertex or index
    int32_t elementCount;   // capacity in vertices or indices
    uint8_t* data;          // the memory copy of the whole buffer
    Buffer* deviceBuffer;   // null while no device object exists
};
using VertexBufferRecord = DeviceBufferRecord<IDirect3DVertexBuffer9>;
using IndexBufferRecord = DeviceBufferRecord<IDirect3DIndexBuffer9>;

struct ShaderRecord {
    int32_t handleCheck;    // as above
    int32_t handle;
    int32_t vertexShader;   // non-zero: a vertex shader; 0: a pixel shader
    uint32_t* byteCode;     // the shader tokens, kept for re-creation
    IUnknown* object;       // IDirect3DVertexShader9 or IDirect3DPixelShader9, or null
};

using VertexBufferTable = HandleTable<VertexBufferRecord, kMaxVertexBufferHandles>;
using IndexBufferTable = HandleTable<IndexBufferRecord, kMaxIndexBufferHandles>;
using ShaderTable = HandleTable<ShaderRecord, kMaxShaderHandles>;
VertexBufferTable& VertexBuffers();
IndexBufferTable& IndexBuffers();
ShaderTable& Shaders();

// ---- the library's own creating entry ---------------------------------------------------
// A buffer of count elements of the type (vertex type 0; index type 0 or 1)
// with a zeroed memory copy and, under hardware vertex processing on a
// device, its device buffer. The handle, or -1 for an unknown type, a count
// below 1 or too large, a full table, no memory, or a device buffer that
// cannot be made (the record is then gone again).
int32_t AddVertexBufferRecord(int32_t vertexType, int32_t vertexCount);
int32_t AddIndexBufferRecord(int32_t indexType, int32_t indexCount);
// A shader from tokenCount tokens ending with the end token 0x0000FFFF (the
// tokens are copied), with its device object when a device exists. The
// handle, or -1 when the tokens are missing or unended, the table is full,
// memory runs out or the device refuses the code.
int32_t AddShaderRecord(int32_t vertexShader, const uint32_t* byteCode, int32_t tokenCount);

// ---- handles ---------------------------------------------------------------------------------
// 0, or -1 when the handle is not live. The device object is released and
// the record freed.
int DeleteVertexBuffer(int32_t handle);
int DeleteIndexBuffer(int32_t handle);
int DeleteShader(int32_t handle);
// Every live record of the family, at the end of graphics; always 0.
int DeleteAllVertexBuffers();
int DeleteAllIndexBuffers();
int DeleteAllShaders();
// Writes count elements from source at element start into the device buffer
// (when there is one) and the memory copy; 0 or -1.
int SetVertexBufferData(int32_t start, const void* source, int32_t count, int32_t handle);
int SetIndexBufferData(int32_t start, const void* source, int32_t count, int32_t handle);

// ---- device objects --------------------------------------------------------------------------
// Makes the record's device buffer anew (releasing one it still holds) and
// fills it from the memory copy. 0 also while hardware vertex processing is
// off (the buffer then lives in memory only); -1 when it cannot be made.
int RecreateVertexBuffer(VertexBufferRecord* record);
int RecreateIndexBuffer(IndexBufferRecord* record);
// Makes the shader's device object anew from its tokens; -1 (logged) when the
// device refuses it or there is none.
int RecreateShader(ShaderRecord* record);
// Release the device object of every buffer and shader record before a
// device reset; the records and their data stay.
void ReleaseHandleDeviceObjects();
void ReleaseShaderObjects();
// A device buffer with the four values and no shared handle; null without a
// device or when the device refuses.
IDirect3DVertexBuffer9* CreateDeviceVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);
IDirect3DIndexBuffer9* CreateDeviceIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool);
