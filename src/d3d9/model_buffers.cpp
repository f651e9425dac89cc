// The device buffers of model bases and the dynamic buffers of models.
//
// A base's triangle lists are placed by vertex layout into 54 groups; each
// group has a chain of buffer records, one vertex buffer and one 16-bit index
// buffer each, and a record takes lists until the next would bring its index
// count to the index limit or its vertex count to the vertex limit. The lists
// hold their vertices in their group's layout already, so the build copies
// them as they are:
//   rigid, no material flag (fixed function): position, normal (3 floats
//     each), diffuse and specular colour (D3DCOLOR), n texture sets of 4
//     floats, then 32 bytes the vertex shaders of the tangent layouts use
//     (tangent and binormal, 3 floats each, 8 bytes pad);
//   the other five layouts (56, 52, 76, 72 and 96 bytes plus 16 a set) are
//     read only by vertex shaders; their bytes are what the loader and the
//     shaders agree on.
#include "core/log.h"
#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "d3d9/model_internal.h"
#include "graphics/graphics_internal.h"

#include <cstring>

namespace {

int32_t g_indexLimit = kModelIndexLimit;
int32_t g_vertexLimit = kModelVertexLimit;

// Vertex bytes without texture sets, by skinning kind x 2 + material flag.
constexpr int32_t kLayoutBaseSize[6] = {64, 56, 52, 76, 72, 96};
constexpr uint32_t kRigidFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

bool DeviceBuildsBuffers() {
    return Screen().d3dActive && Device().device != nullptr && Device().hardwareVertexProcessing;
}

// A list fit to be placed: its blocks hold what its counts say, each index
// names one of its vertices, and alone it stays below the default limits.
bool ListDataIsWhole(const ModelTriangleList& list, int32_t vertexSize) {
    if (list.vertexCount < 0 || list.indexCount < 0) return false;
    if (list.vertexCount >= kModelVertexLimit || list.indexCount >= kModelIndexLimit) return false;
    if (list.vertexCount == 0 || list.indexCount == 0) return true;  // nothing to draw: not placed
    if (list.vertices == nullptr || list.indices == nullptr) return false;
    if (list.vertexBytes < static_cast<uint64_t>(list.vertexCount) * vertexSize) return false;
    for (int32_t i = 0; i < list.indexCount; ++i)
        if (list.indices[i] >= list.vertexCount) return false;
    return true;
}

bool BaseListsAreWhole(const ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        const ModelTriangleList& list = base->triangleLists[i];
        const int32_t group = ModelGroupOf(base, list);
        if (group >= 0 && !ListDataIsWhole(list, ModelGroupLayoutOf(group).vertexSize)) return false;
    }
    return true;
}

void ClearGroups(ModelBaseRecord* base) {
    for (int g = 0; g < kModelGroupCount; ++g) {
        base->groupRecordCount[g] = 0;
        base->groupFirst[g] = base->groupLast[g] = nullptr;
    }
    base->bufferRecordCount = 0;
}

ModelBufferRecord* AppendRecord(ModelBaseRecord* base, int32_t group) {
    auto* record = static_cast<ModelBufferRecord*>(ALLOC_MEMORY_ZEROED(sizeof(ModelBufferRecord)));
    if (record == nullptr) return nullptr;
    const ModelGroupLayout layout = ModelGroupLayoutOf(group);
    record->fvf = layout.fvf;
    record->vertexSize = layout.vertexSize;
    record->previous = base->groupLast[group];
    if (record->previous != nullptr) record->previous->next = record;
    if (base->groupFirst[group] == nullptr) base->groupFirst[group] = record;
    base->groupLast[group] = record;
    ++base->groupRecordCount[group];
    ++base->bufferRecordCount;
    return record;
}

// The group's current record, or a new one chained behind it when the list
// would bring it to a limit (an empty record takes any list).
ModelBufferRecord* RecordFor(ModelBaseRecord* base, int32_t group, const ModelTriangleList& list) {
    ModelBufferRecord* record = base->groupLast[group];
    if (record != nullptr && (record->vertexCount == 0 || (record->indexCount + list.indexCount < g_indexLimit &&
                                                           record->vertexCount + list.vertexCount < g_vertexLimit)))
        return record;
    return AppendRecord(base, group);
}

bool PlaceLists(ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        ModelTriangleList& list = base->triangleLists[i];
        list.buffer = nullptr;
        list.vertexStart = list.indexStart = 0;
        const int32_t group = ModelGroupOf(base, list);
        if (group < 0 || list.vertexCount == 0 || list.indexCount == 0) continue;
        ModelBufferRecord* record = RecordFor(base, group, list);
        if (record == nullptr) return false;
        list.buffer = record;
        list.vertexStart = record->vertexCount;
        list.indexStart = record->indexCount;
        record->vertexCount += list.vertexCount;
        record->indexCount += list.indexCount;
    }
    return true;
}

bool GroupIsBuilt(int32_t group) { return ModelGroupLayoutOf(group).fixedFunction || Cache().shadersInUse; }

// Makes and locks the record's two buffers; false at the first failure (what
// was made stays in the record for the release).
bool MakeRecordBuffers(ModelBufferRecord* record) {
    const UINT vertexBytes = static_cast<UINT>(record->vertexCount) * static_cast<UINT>(record->vertexSize);
    record->vertexBuffer = CreateDeviceVertexBuffer(vertexBytes, D3DUSAGE_WRITEONLY, record->fvf, D3DPOOL_DEFAULT);
    if (record->vertexBuffer == nullptr) return false;
    if (FAILED(record->vertexBuffer->Lock(0, 0, &record->lockedVertices, 0))) {
        record->lockedVertices = nullptr;
        return false;
    }
    const UINT indexBytes = static_cast<UINT>(record->indexCount) * 2;
    record->indexBuffer = CreateDeviceIndexBuffer(indexBytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT);
    if (record->indexBuffer == nullptr) return false;
    if (FAILED(record->indexBuffer->Lock(0, 0, &record->lockedIndices, 0))) {
        record->lockedIndices = nullptr;
        return false;
    }
    return true;
}

bool MakeBuiltGroupsBuffers(ModelBaseRecord* base) {
    for (int32_t g = 0; g < kModelGroupCount; ++g) {
        if (!GroupIsBuilt(g)) continue;
        for (ModelBufferRecord* r = base->groupFirst[g]; r != nullptr; r = r->next)
            if (!MakeRecordBuffers(r)) return false;
    }
    return true;
}

void WriteLists(ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        const ModelTriangleList& list = base->triangleLists[i];
        const ModelBufferRecord* r = list.buffer;
        if (r == nullptr || r->lockedVertices == nullptr || r->lockedIndices == nullptr) continue;
        std::memcpy(static_cast<uint8_t*>(r->lockedVertices) + static_cast<size_t>(list.vertexStart) * r->vertexSize,
                    list.vertices, static_cast<size_t>(list.vertexCount) * r->vertexSize);
        std::memcpy(static_cast<uint16_t*>(r->lockedIndices) + list.indexStart, list.indices,
                    static_cast<size_t>(list.indexCount) * 2);
    }
}

void UnlockRecord(ModelBufferRecord* record) {
    if (record->lockedVertices != nullptr) record->vertexBuffer->Unlock();
    if (record->lockedIndices != nullptr) record->indexBuffer->Unlock();
    record->lockedVertices = record->lockedIndices = nullptr;
}

void ReleaseRecord(ModelBufferRecord* record) {
    UnlockRecord(record);
    if (record->vertexBuffer != nullptr) record->vertexBuffer->Release();
    if (record->indexBuffer != nullptr) record->indexBuffer->Release();
    FreeMemory(record);
}

// The records of groups that are not built got no buffers: they go, and
// their lists are left unplaced. The others' buffers are unlocked.
void DropSkippedGroups(ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        ModelTriangleList& list = base->triangleLists[i];
        if (list.buffer != nullptr && list.buffer->vertexBuffer == nullptr) {
            list.buffer = nullptr;
            list.vertexStart = list.indexStart = 0;
        }
    }
    for (int32_t g = 0; g < kModelGroupCount; ++g) {
        if (GroupIsBuilt(g)) {
            for (ModelBufferRecord* r = base->groupFirst[g]; r != nullptr; r = r->next) UnlockRecord(r);
            continue;
        }
        for (ModelBufferRecord* r = base->groupFirst[g]; r != nullptr;) {
            ModelBufferRecord* next = r->next;
            ReleaseRecord(r);
            r = next;
        }
        base->bufferRecordCount -= base->groupRecordCount[g];
        base->groupRecordCount[g] = 0;
        base->groupFirst[g] = base->groupLast[g] = nullptr;
    }
}

// Whether the model's dynamic buffer of the list is to be made.
bool ListTakesDynamicBuffer(const ModelTriangleList& list) {
    if (!list.ownVertices || list.skinning < 0 || list.skinning > 2) return false;
    if (Device().hardwareVertexProcessing) return list.skinning == 0 || Cache().shadersInUse;
    return list.skinning != 0;
}

bool MakeDynamicBuffer(ModelRecord* model, int32_t listIndex) {
    const ModelBaseRecord* base = model->base;
    const ModelTriangleList& list = base->triangleLists[listIndex];
    ModelDynamicBuffer& entry = model->dynamicBuffers[listIndex];
    const int32_t group = ModelGroupOf(base, list);
    if (entry.vertexBuffer != nullptr || group < 0 || list.vertexCount <= 0 || !ListTakesDynamicBuffer(list))
        return true;
    const ModelGroupLayout layout = ModelGroupLayoutOf(group);
    entry.vertexBuffer =
        CreateDeviceVertexBuffer(static_cast<UINT>(list.vertexCount) * static_cast<UINT>(layout.vertexSize),
                                 D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, layout.fvf, D3DPOOL_DEFAULT);
    if (entry.vertexBuffer == nullptr) return false;
    model->buffersDirty = 1;
    entry.refill = 1;
    return true;
}

}  // namespace

void SetModelBufferLimits(int32_t indexLimit, int32_t vertexLimit) {
    g_indexLimit = indexLimit >= 1 && indexLimit <= kModelIndexLimit ? indexLimit : kModelIndexLimit;
    g_vertexLimit = vertexLimit >= 1 && vertexLimit <= kModelVertexLimit ? vertexLimit : kModelVertexLimit;
}

int32_t ModelGroupOf(const ModelBaseRecord* base, const ModelTriangleList& list) {
    if (list.skinning < 0 || list.skinning > 2) return -1;
    if (list.texCoordSets < 0 || list.texCoordSets > kModelMaxTexCoordSets) return -1;
    int32_t flag = 0;
    if (list.material >= 0 && list.material < base->materialCount)
        flag = base->materials[list.material].tangentSpace != 0 ? 1 : 0;
    return (list.skinning * 2 + flag) * (kModelMaxTexCoordSets + 1) + list.texCoordSets;
}

ModelGroupLayout ModelGroupLayoutOf(int32_t group) {
    if (group < 0 || group >= kModelGroupCount) return ModelGroupLayout{0, 0, 0};
    const int32_t layout = group / (kModelMaxTexCoordSets + 1);
    const int32_t sets = group % (kModelMaxTexCoordSets + 1);
    ModelGroupLayout result{kLayoutBaseSize[layout] + 16 * sets, 0, layout == 0 ? 1 : 0};
    if (layout == 0) {
        result.fvf = kRigidFvf | static_cast<uint32_t>(sets) << D3DFVF_TEXCOUNT_SHIFT;
        for (int32_t i = 0; i < sets; ++i) result.fvf |= D3DFVF_TEXCOORDSIZE4(i);
    }
    return result;
}

void FreeModelBaseBufferRecords(ModelBaseRecord* base) {
    for (int32_t g = 0; g < kModelGroupCount; ++g) {
        for (ModelBufferRecord* r = base->groupFirst[g]; r != nullptr;) {
            ModelBufferRecord* next = r->next;
            ReleaseRecord(r);
            r = next;
        }
    }
    ClearGroups(base);
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        ModelTriangleList& list = base->triangleLists[i];
        list.buffer = nullptr;
        list.vertexStart = list.indexStart = 0;
    }
}

int32_t BuildModelBaseBuffers(int32_t baseId, int32_t buildArgument) {
    if (!DeviceBuildsBuffers()) return 0;
    ModelBaseRecord* base = FindModelBase(baseId);
    if (base == nullptr) return -1;
    if (base->buffersBuilt) return 0;
    if (!BaseListsAreWhole(base)) return WriteLog("モデルの三角形リストのデータが不正です\n");
    base->buildArgument = buildArgument;
    ClearGroups(base);
    if (!PlaceLists(base) || !MakeBuiltGroupsBuffers(base)) {
        FreeModelBaseBufferRecords(base);
        return -1;
    }
    WriteLists(base);
    DropSkippedGroups(base);
    base->buffersBuilt = 1;
    for (ModelRecord* m = base->firstModel; m != nullptr; m = m->next) CreateModelDynamicBuffers(m->handle);
    return 0;
}

int32_t CreateModelDynamicBuffers(int32_t model) {
    ModelRecord* record = Models().initialised ? FindModel(model) : nullptr;
    if (record == nullptr) return -1;
    const DeviceBlock& d = Device();
    if (d.device == nullptr || !(d.hardwareVertexProcessing || Cache().shadersInUse)) return 0;
    const ModelBaseRecord* base = record->base;
    if (record->dynamicBuffers == nullptr) return 0;
    bool whole = true;
    for (int32_t f = 0; f < base->frameCount; ++f) {
        const ModelFrameEntry& frame = base->frames[f];
        for (int32_t k = 0; k < frame.drawnListCount && frame.drawnLists != nullptr; ++k) {
            const int32_t list = frame.drawnLists[k];
            if (list >= 0 && list < base->triangleListCount && !MakeDynamicBuffer(record, list)) whole = false;
        }
    }
    return whole ? 0 : -1;
}

int32_t ReleaseModelBaseBuffers(int32_t baseId) {
    ModelBaseRecord* base = FindModelBase(baseId);
    if (base == nullptr) return -1;
    if (!base->buffersBuilt) return 0;
    FreeModelBaseBufferRecords(base);
    base->buffersBuilt = 0;
    for (ModelRecord* m = base->firstModel; m != nullptr; m = m->next) ReleaseModelDynamicBuffers(m->handle);
    return 0;
}

int32_t ReleaseModelDynamicBuffers(int32_t model) {
    ModelRecord* record = FindModel(model);
    if (record == nullptr) return -1;
    if (record->dynamicBuffers == nullptr) return 0;
    for (int32_t i = 0; i < record->base->triangleListCount; ++i) {
        ModelDynamicBuffer& entry = record->dynamicBuffers[i];
        if (entry.vertexBuffer != nullptr) entry.vertexBuffer->Release();
        entry.vertexBuffer = nullptr;
    }
    return 0;
}
