// Shader handles: each record keeps its own copy of the shader tokens, so
// that the device object can be made again after a device reset.
#include "core/log.h"
#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "graphics/graphics_internal.h"

#include <cstring>

namespace {

constexpr uint32_t kShaderEndToken = 0x0000FFFF;
// The most tokens a shader may have (the device reads no further either).
constexpr int32_t kMaxShaderTokens = 1 << 18;

void ReleaseShaderObject(ShaderRecord* record) {
    if (record->object == nullptr) return;
    record->object->Release();
    record->object = nullptr;
}

// The device's object for the record's tokens, or null.
IUnknown* CreateShaderObject(const ShaderRecord& record) {
    IDirect3DDevice9* device = Device().device;
    if (device == nullptr) return nullptr;
    if (record.vertexShader) {
        IDirect3DVertexShader9* shader = nullptr;
        return SUCCEEDED(device->CreateVertexShader(record.byteCode, &shader)) ? shader : nullptr;
    }
    IDirect3DPixelShader9* shader = nullptr;
    return SUCCEEDED(device->CreatePixelShader(record.byteCode, &shader)) ? shader : nullptr;
}

// Tokens the device can read to their end without running past the copy.
bool IsEndedTokenStream(const uint32_t* byteCode, int32_t tokenCount) {
    return byteCode != nullptr && tokenCount >= 2 && tokenCount <= kMaxShaderTokens &&
           byteCode[tokenCount - 1] == kShaderEndToken;
}

void FreeShaderRecord(ShaderRecord* record) {
    FreeMemory(record->byteCode);
    FreeMemory(record);
}

}  // namespace

ShaderTable& Shaders() {
    static auto* table = new ShaderTable(kHandleTypeShader);
    return *table;
}

int32_t AddShaderRecord(int32_t vertexShader, const uint32_t* byteCode, int32_t tokenCount) {
    if (!IsEndedTokenStream(byteCode, tokenCount)) return -1;
    auto* record = static_cast<ShaderRecord*>(ALLOC_MEMORY_ZEROED(sizeof(ShaderRecord)));
    if (record == nullptr) return -1;
    record->vertexShader = vertexShader != 0 ? 1 : 0;
    const uint32_t bytes = static_cast<uint32_t>(tokenCount) * sizeof(uint32_t);
    record->byteCode = static_cast<uint32_t*>(ALLOC_MEMORY(bytes));
    const int32_t handle = record->byteCode != nullptr ? Shaders().Add(record) : -1;
    if (handle == -1) {
        FreeShaderRecord(record);
        return -1;
    }
    std::memcpy(record->byteCode, byteCode, bytes);
    if (Device().device != nullptr && RecreateShader(record) != 0) {
        DeleteShader(handle);
        return -1;
    }
    return handle;
}

int DeleteShader(int32_t handle) {
    ShaderTable& table = Shaders();
    ShaderRecord* record = table.Find(handle);
    if (record == nullptr) return -1;
    ReleaseShaderObject(record);
    table.RemoveAndLower(handle);
    FreeShaderRecord(record);
    return 0;
}

int DeleteAllShaders() {
    ShaderTable& table = Shaders();
    if (!Screen().started || table.HighWater() < 1) return 0;
    // The deletes lower the high-water slot, so it is read again each time.
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        const ShaderRecord* record = table.At(slot);
        if (record == nullptr) continue;
        DeleteShader(record->handleCheck << kHandleCheckShift | kHandleTypeShader | slot);
    }
    return 0;
}

int RecreateShader(ShaderRecord* record) {
    ReleaseShaderObject(record);
    record->object = CreateShaderObject(*record);
    if (record->object == nullptr) return WriteLog("シェーダーの作成に失敗しました\n");
    return 0;
}

void ReleaseShaderObjects() {
    ShaderTable& table = Shaders();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ShaderRecord* record = table.At(slot);
        if (record != nullptr) ReleaseShaderObject(record);
    }
}
