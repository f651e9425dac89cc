// Vertex-buffer and index-buffer handles: one set of templates over the two
// families, which differ only in their table, device interface, formats and
// log lines.
#include "core/log.h"
#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "graphics/graphics_internal.h"

#include <cstring>
#include <iterator>

namespace {

// What the buffer types mean on the device: the vertex format or index format
// and the bytes per element. The type is the row.
struct ElementType {
    DWORD format;
    int32_t size;
};
constexpr ElementType kVertexTypes[] = {{kVertexType3DFvf, kVertexType3DSize}};
constexpr ElementType kIndexTypes[] = {{D3DFMT_INDEX16, 2}, {D3DFMT_INDEX32, 4}};
// Memory copies stay within what the memory manager and a device length hold.
constexpr int64_t kMaxBufferBytes = 0x7FFFFFFF - 0x10000;

template <typename Record>
struct BufferFamily;

template <>
struct BufferFamily<VertexBufferRecord> {
    static VertexBufferTable& Table() { return VertexBuffers(); }
    static constexpr int32_t kType = kHandleTypeVertexBuffer;
    static constexpr const ElementType* kTypes = kVertexTypes;
    static constexpr int kTypeCount = static_cast<int>(std::size(kVertexTypes));
    static constexpr const char* kLockFailed = "頂点バッファのロックに失敗しました\n";
    static constexpr const char* kCreateFailed = "頂点バッファの作成に失敗しました\n";
    static IDirect3DVertexBuffer9* Create(UINT length, DWORD format) {
        return CreateDeviceVertexBuffer(length, D3DUSAGE_WRITEONLY, format, D3DPOOL_DEFAULT);
    }
};

template <>
struct BufferFamily<IndexBufferRecord> {
    static IndexBufferTable& Table() { return IndexBuffers(); }
    static constexpr int32_t kType = kHandleTypeIndexBuffer;
    static constexpr const ElementType* kTypes = kIndexTypes;
    static constexpr int kTypeCount = static_cast<int>(std::size(kIndexTypes));
    static constexpr const char* kLockFailed = "インデックスバッファのロックに失敗しました\n";
    static constexpr const char* kCreateFailed = "インデックスバッファの作成に失敗しました\n";
    static IDirect3DIndexBuffer9* Create(UINT length, DWORD format) {
        return CreateDeviceIndexBuffer(length, D3DUSAGE_WRITEONLY, static_cast<D3DFORMAT>(format), D3DPOOL_DEFAULT);
    }
};

template <typename Record>
const ElementType* FindElementType(int32_t type) {
    using F = BufferFamily<Record>;
    return (type >= 0 && type < F::kTypeCount) ? &F::kTypes[type] : nullptr;
}

template <typename Record>
UINT BufferBytes(const Record& record) {
    return static_cast<UINT>(record.elementCount) * static_cast<UINT>(record.elementSize);
}

template <typename Record>
void ReleaseDeviceBuffer(Record* record) {
    if (record->deviceBuffer == nullptr) return;
    record->deviceBuffer->Release();
    record->deviceBuffer = nullptr;
}

template <typename Record>
int DeleteBuffer(int32_t handle) {
    auto& table = BufferFamily<Record>::Table();
    Record* record = table.Find(handle);
    if (record == nullptr) return -1;
    ReleaseDeviceBuffer(record);
    table.RemoveAndLower(handle);
    FreeMemory(record->data);
    FreeMemory(record);
    return 0;
}

template <typename Record>
int DeleteAllBuffers() {
    auto& table = BufferFamily<Record>::Table();
    if (!Screen().started || table.HighWater() < 1) return 0;
    // The deletes lower the high-water slot, so it is read again each time.
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        const Record* record = table.At(slot);
        if (record == nullptr) continue;
        DeleteBuffer<Record>(record->handleCheck << kHandleCheckShift | BufferFamily<Record>::kType | slot);
    }
    return 0;
}

// Copies the bytes into the device buffer; false (logged) when it cannot be
// locked.
template <typename Record>
bool WriteDeviceBuffer(Record* record, UINT offset, UINT bytes, const void* source) {
    void* locked = nullptr;
    if (FAILED(record->deviceBuffer->Lock(offset, bytes, &locked, 0)) || locked == nullptr) {
        WriteLog(BufferFamily<Record>::kLockFailed);
        return false;
    }
    std::memcpy(locked, source, bytes);
    record->deviceBuffer->Unlock();
    return true;
}

template <typename Record>
int SetBufferData(int32_t start, const void* source, int32_t count, int32_t handle) {
    Record* record = BufferFamily<Record>::Table().Find(handle);
    if (record == nullptr) return -1;
    if (start < 0 || count < 0 || static_cast<int64_t>(start) + count > record->elementCount) return -1;
    if (count == 0) return 0;
    if (source == nullptr) return -1;
    const UINT offset = static_cast<UINT>(start) * static_cast<UINT>(record->elementSize);
    const UINT bytes = static_cast<UINT>(count) * static_cast<UINT>(record->elementSize);
    if (record->deviceBuffer != nullptr && !WriteDeviceBuffer(record, offset, bytes, source)) return -1;
    // A re-creation writes the memory copy from itself: nothing to copy then.
    uint8_t* to = record->data + offset;
    if (to != source) std::memmove(to, source, bytes);
    return 0;
}

template <typename Record>
int RecreateBuffer(Record* record) {
    using F = BufferFamily<Record>;
    if (!Device().hardwareVertexProcessing) return 0;
    ReleaseDeviceBuffer(record);
    const ElementType* type = FindElementType<Record>(record->elementType);
    if (type != nullptr) record->deviceBuffer = F::Create(BufferBytes(*record), type->format);
    if (record->deviceBuffer == nullptr) return WriteLog(F::kCreateFailed);
    SetBufferData<Record>(0, record->data, record->elementCount, record->handle);
    return 0;
}

template <typename Record>
void ReleaseAllDeviceBuffers() {
    auto& table = BufferFamily<Record>::Table();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        Record* record = table.At(slot);
        if (record != nullptr) ReleaseDeviceBuffer(record);
    }
}

template <typename Record>
int32_t AddBuffer(int32_t type, int32_t count) {
    const ElementType* element = FindElementType<Record>(type);
    if (element == nullptr || count < 1 || static_cast<int64_t>(count) * element->size > kMaxBufferBytes) return -1;
    auto* record = static_cast<Record*>(ALLOC_MEMORY_ZEROED(sizeof(Record)));
    if (record == nullptr) return -1;
    record->elementType = type;
    record->elementSize = element->size;
    record->elementCount = count;
    record->data = static_cast<uint8_t*>(ALLOC_MEMORY_ZEROED(BufferBytes(*record)));
    const int32_t handle = record->data != nullptr ? BufferFamily<Record>::Table().Add(record) : -1;
    if (handle == -1) {
        FreeMemory(record->data);
        FreeMemory(record);
        return -1;
    }
    if (Device().device != nullptr && RecreateBuffer(record) != 0) {
        DeleteBuffer<Record>(handle);
        return -1;
    }
    return handle;
}

}  // namespace

VertexBufferTable& VertexBuffers() {
    static auto* table = new VertexBufferTable(kHandleTypeVertexBuffer);
    return *table;
}

IndexBufferTable& IndexBuffers() {
    static auto* table = new IndexBufferTable(kHandleTypeIndexBuffer);
    return *table;
}

int32_t AddVertexBufferRecord(int32_t vertexType, int32_t vertexCount) {
    return AddBuffer<VertexBufferRecord>(vertexType, vertexCount);
}
int32_t AddIndexBufferRecord(int32_t indexType, int32_t indexCount) {
    return AddBuffer<IndexBufferRecord>(indexType, indexCount);
}

int DeleteVertexBuffer(int32_t handle) { return DeleteBuffer<VertexBufferRecord>(handle); }
int DeleteIndexBuffer(int32_t handle) { return DeleteBuffer<IndexBufferRecord>(handle); }
int DeleteAllVertexBuffers() { return DeleteAllBuffers<VertexBufferRecord>(); }
int DeleteAllIndexBuffers() { return DeleteAllBuffers<IndexBufferRecord>(); }

int SetVertexBufferData(int32_t start, const void* source, int32_t count, int32_t handle) {
    return SetBufferData<VertexBufferRecord>(start, source, count, handle);
}
int SetIndexBufferData(int32_t start, const void* source, int32_t count, int32_t handle) {
    return SetBufferData<IndexBufferRecord>(start, source, count, handle);
}

int RecreateVertexBuffer(VertexBufferRecord* record) { return RecreateBuffer(record); }
int RecreateIndexBuffer(IndexBufferRecord* record) { return RecreateBuffer(record); }

void ReleaseHandleDeviceObjects() {
    ReleaseAllDeviceBuffers<VertexBufferRecord>();
    ReleaseAllDeviceBuffers<IndexBufferRecord>();
    ReleaseShaderObjects();
}

IDirect3DVertexBuffer9* CreateDeviceVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool) {
    IDirect3DDevice9* device = Device().device;
    IDirect3DVertexBuffer9* buffer = nullptr;
    if (device == nullptr || FAILED(device->CreateVertexBuffer(length, usage, fvf, pool, &buffer, nullptr))) {
        return nullptr;
    }
    return buffer;
}

IDirect3DIndexBuffer9* CreateDeviceIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
    IDirect3DDevice9* device = Device().device;
    IDirect3DIndexBuffer9* buffer = nullptr;
    if (device == nullptr || FAILED(device->CreateIndexBuffer(length, usage, format, pool, &buffer, nullptr))) {
        return nullptr;
    }
    return buffer;
}
