// The model tests' world: the device fixture with hardware vertex processing
// switched on, and builders that put hand-made bases and models into the
// module through its internal entry, as a loader would.
#pragma once

#include "core/memory.h"
#include "d3d9/model_internal.h"
#include "device_test_util.h"
#include "platform/seams/seams.h"

#include <cstring>
#include <vector>

namespace model_test {

struct ListPlan {
    int32_t skinning;
    int32_t material;  // -1 none
    int32_t sets;
    int32_t vertexCount;
    int32_t indexCount;
    int32_t ownVertices = 0;
};

struct BasePlan {
    std::vector<ListPlan> lists = {};
    std::vector<int32_t> materialTangent = {};      // one material each, its tangent-space field
    std::vector<std::vector<int32_t>> frames = {};  // the lists each frame draws
    int32_t textures = 0;
    int32_t referenceCount = 1;                  // the loader's own hold
};

template <typename T>
T* AllocArray(int32_t count) {
    return count > 0 ? static_cast<T*>(ALLOC_MEMORY_ZEROED(static_cast<uint32_t>(sizeof(T) * count))) : nullptr;
}

// The byte a list's vertex block holds at offset i.
inline uint8_t VertexByte(int32_t list, size_t i) { return static_cast<uint8_t>(list * 37 + i * 7 + 1); }

inline void FillList(ModelTriangleList& list, int32_t index, const ModelBaseRecord* base) {
    const int32_t group = ModelGroupOf(base, list);
    const int32_t size = group >= 0 ? ModelGroupLayoutOf(group).vertexSize : 16;
    list.vertexBytes = static_cast<uint32_t>(list.vertexCount * size);
    list.vertices = AllocArray<uint8_t>(static_cast<int32_t>(list.vertexBytes));
    list.verticesOwned = 1;
    for (uint32_t i = 0; i < list.vertexBytes; ++i) static_cast<uint8_t*>(list.vertices)[i] = VertexByte(index, i);
    list.indices = AllocArray<uint16_t>(list.indexCount);
    list.indicesOwned = 1;
    for (int32_t i = 0; i < list.indexCount; ++i)
        list.indices[i] = static_cast<uint16_t>((list.vertexCount - 1 - i % list.vertexCount + list.vertexCount) %
                                                list.vertexCount);
}

// A base made as a loader would, in a reserved and then filled slot; its
// identifier.
inline int32_t AddBase(const BasePlan& plan) {
    const int32_t id = ReserveModelBaseSlot();
    if (id < 0) return -1;
    auto* base = AllocArray<ModelBaseRecord>(1);
    base->referenceCount = plan.referenceCount;
    base->materialCount = static_cast<int32_t>(plan.materialTangent.size());
    base->materials = AllocArray<ModelMaterialEntry>(base->materialCount);
    for (int32_t i = 0; i < base->materialCount; ++i) {
        base->materials[i].tangentSpace = plan.materialTangent[i];
        base->materials[i].block = AllocArray<uint8_t>(8);
        base->materials[i].blockOwned = 1;
    }
    base->triangleListCount = static_cast<int32_t>(plan.lists.size());
    base->triangleLists = AllocArray<ModelTriangleList>(base->triangleListCount);
    for (int32_t i = 0; i < base->triangleListCount; ++i) {
        const ListPlan& l = plan.lists[i];
        ModelTriangleList& list = base->triangleLists[i];
        list.skinning = l.skinning;
        list.material = l.material;
        list.texCoordSets = l.sets;
        list.vertexCount = l.vertexCount;
        list.indexCount = l.indexCount;
        list.ownVertices = l.ownVertices;
        if (l.vertexCount > 0 && l.indexCount > 0) FillList(list, i, base);
    }
    base->frameCount = static_cast<int32_t>(plan.frames.size());
    base->frames = AllocArray<ModelFrameEntry>(base->frameCount);
    for (int32_t f = 0; f < base->frameCount; ++f) {
        ModelFrameEntry& frame = base->frames[f];
        frame.drawnListCount = static_cast<int32_t>(plan.frames[f].size());
        frame.drawnLists = AllocArray<int32_t>(frame.drawnListCount);
        frame.drawnListsOwned = 1;
        for (int32_t k = 0; k < frame.drawnListCount; ++k) frame.drawnLists[k] = plan.frames[f][k];
    }
    base->textureCount = plan.textures;
    base->textures = AllocArray<ModelTextureEntry>(plan.textures);
    base->texturesOwned = 1;
    for (int32_t i = 0; i < plan.textures; ++i) base->textures[i].image = -1;
    base->meshCount = 1;
    base->meshes = AllocArray<ModelMeshEntry>(1);
    base->meshes[0].block = AllocArray<uint8_t>(16);
    base->meshes[0].blockOwned = 1;
    base->block = AllocArray<uint8_t>(32);
    base->smallBlocks = AllocArray<ModelSmallBlock>(1);
    base->smallBlocks->next = AllocArray<ModelSmallBlock>(1);
    EXPECT_EQ(PlaceModelBase(id, base), 0);
    return id;
}

inline ModelChainHead* MakeChain(int32_t blocks) {
    auto* head = AllocArray<ModelChainHead>(1);
    for (int32_t i = 0; i < blocks; ++i) {
        auto* block = AllocArray<ModelChainBlock>(1);
        block->next = head->first;
        head->first = block;
    }
    return head;
}

// A model of the base with working blocks and chains at the model level and
// in every frame, and the animation slots asked for; its handle.
inline int32_t AddModel(int32_t baseId, int32_t animationSlots = 0) {
    ModelBaseRecord* base = FindModelBase(baseId);
    const int32_t handle = ReserveModelSlot();
    if (base == nullptr || handle < 0) return -1;
    auto* model = AllocArray<ModelRecord>(1);
    model->frames = AllocArray<ModelFrameState>(base->frameCount);
    for (int32_t f = 0; f < base->frameCount; ++f) {
        model->frames[f].blocks[0] = AllocArray<uint8_t>(4);
        model->frames[f].blocks[1] = AllocArray<uint8_t>(4);
        model->frames[f].chain = MakeChain(2);
        model->frames[f].animationSlot = -1;
    }
    model->dynamicBuffers = AllocArray<ModelDynamicBuffer>(base->triangleListCount);
    model->overrides = AllocArray<ModelTextureOverride>(base->textureCount);
    model->overridesOwned = 1;
    for (int32_t i = 0; i < base->textureCount; ++i) model->overrides[i].image = -1;
    model->blocks[0] = AllocArray<uint8_t>(4);
    model->blocks[1] = AllocArray<uint8_t>(4);
    model->chain = MakeChain(3);
    model->animationSlotCount = animationSlots;
    model->animations = AllocArray<ModelAnimationSlot>(animationSlots);
    EXPECT_EQ(PlaceModel(handle, model, baseId), 0);
    return handle;
}

// The device's reference count: every live buffer holds one.
inline ULONG DeviceReferences() {
    IDirect3DDevice9* device = Device().device;
    device->AddRef();
    return device->Release();
}

// The bytes of a device buffer, read through a lock.
template <typename Buffer>
std::vector<uint8_t> BufferBytes(Buffer* buffer, size_t offset, size_t size) {
    void* p = nullptr;
    if (buffer == nullptr || FAILED(buffer->Lock(0, 0, &p, D3DLOCK_READONLY))) return {};
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(p) + offset, static_cast<const uint8_t*>(p) + offset + size);
    buffer->Unlock();
    return bytes;
}

// The device fixture with hardware vertex processing and without shaders.
class ModelTest : public device_test::DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        savedHardware_ = Device().hardwareVertexProcessing;
        savedShaders_ = Cache().shadersInUse;
        Device().hardwareVertexProcessing = 1;
        Cache().shadersInUse = 0;
        ASSERT_EQ(Models().initialised, 1);
    }
    void TearDown() override {
        SetModelBufferLimits(0, 0);
        seams::ClearAllCalls();
        for (int32_t& t : Models().builtInTextures) t = 0;
        Device().hardwareVertexProcessing = savedHardware_;
        Cache().shadersInUse = savedShaders_;
        DeviceTest::TearDown();
        EXPECT_EQ(Models().initialised, 0);
    }
    int32_t savedHardware_ = 0;
    int32_t savedShaders_ = 0;
};

}  // namespace model_test
