// The deletes of models and model bases and of the blocks a model owns.
#include "core/handle_table.h"
#include "core/memory.h"
#include "d3d9/model_internal.h"
#include "graphics/graphics.h"

namespace {

void FreeIfOwned(void* block, int32_t owned) {
    if (owned) FreeMemory(block);
}

// The frame's state (frame index) or the model's own (-1); null when the
// frame is outside the base's frames.
void** DataBlocksOf(ModelRecord* model, int32_t frame) {
    if (frame == -1) return model->blocks;
    if (frame < 0 || frame >= model->base->frameCount || model->frames == nullptr) return nullptr;
    return model->frames[frame].blocks;
}

ModelChainHead** ChainOf(ModelRecord* model, int32_t frame) {
    if (frame == -1) return &model->chain;
    if (frame < 0 || frame >= model->base->frameCount || model->frames == nullptr) return nullptr;
    return &model->frames[frame].chain;
}

void FreeModelWorkingData(int32_t handle, const ModelRecord* model) {
    for (int32_t frame = -1; frame < model->base->frameCount; ++frame) {
        FreeModelDataBlock(handle, frame, 0);
        FreeModelDataBlock(handle, frame, 1);
        FreeModelChainBlock(handle, frame);
    }
}

void ReleaseOverrides(ModelRecord* model) {
    if (model->overrides == nullptr) return;
    for (int32_t i = 0; i < model->base->textureCount; ++i) {
        ModelTextureOverride& o = model->overrides[i];
        if (!o.inUse) continue;
        for (void*& block : o.blocks) {
            FreeMemory(block);
            block = nullptr;
        }
        if (o.image != -1) DeleteImage(o.image);
        o.image = -1;
        o.inUse = 0;
    }
    FreeIfOwned(model->overrides, model->overridesOwned);
    model->overrides = nullptr;
}

void UnlinkModel(ModelRecord* model) {
    ModelBaseRecord* base = model->base;
    if (model->previous != nullptr) model->previous->next = model->next;
    if (model->next != nullptr) model->next->previous = model->previous;
    if (base->firstModel == model) base->firstModel = model->next;
    if (base->lastModel == model) base->lastModel = model->previous;
    model->previous = model->next = nullptr;
    --base->modelCount;
}

void FreeBaseTextures(ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->textureCount && base->textures != nullptr; ++i) {
        ModelTextureEntry& t = base->textures[i];
        FreeIfOwned(t.name, t.nameOwned);
        FreeIfOwned(t.colorBlock, t.colorBlockOwned);
        FreeIfOwned(t.alphaBlock, t.alphaBlockOwned);
        t.name = nullptr;
        t.colorBlock = t.alphaBlock = nullptr;
        if (t.image != -1) DeleteImage(t.image);
        t.image = -1;
    }
    FreeIfOwned(base->textures, base->texturesOwned);
    base->textures = nullptr;
}

void FreeBaseEntries(ModelBaseRecord* base) {
    for (int32_t i = 0; i < base->materialCount && base->materials != nullptr; ++i)
        FreeIfOwned(base->materials[i].block, base->materials[i].blockOwned);
    for (int32_t i = 0; i < base->meshCount && base->meshes != nullptr; ++i)
        FreeIfOwned(base->meshes[i].block, base->meshes[i].blockOwned);
    for (int32_t i = 0; i < base->frameCount && base->frames != nullptr; ++i)
        FreeIfOwned(base->frames[i].drawnLists, base->frames[i].drawnListsOwned);
    for (int32_t i = 0; i < base->triangleListCount && base->triangleLists != nullptr; ++i) {
        ModelTriangleList& list = base->triangleLists[i];
        FreeIfOwned(list.vertices, list.verticesOwned);
        FreeIfOwned(list.indices, list.indicesOwned);
    }
    FreeMemory(base->materials);
    FreeMemory(base->meshes);
    FreeMemory(base->frames);
    FreeMemory(base->triangleLists);
    for (ModelSmallBlock* b = base->smallBlocks; b != nullptr;) {
        ModelSmallBlock* next = b->next;
        FreeMemory(b);
        b = next;
    }
}

void FreeBase(int32_t slot, ModelBaseRecord* base) {
    FreeModelBaseBufferRecords(base);
    base->buffersBuilt = 0;
    FreeMemory(base->block);
    base->block = nullptr;
    FreeBaseTextures(base);
    FreeBaseEntries(base);
    FreeMemory(base);
    ModelModuleState& s = Models();
    s.bases[slot] = nullptr;
    --s.baseCount;
}

}  // namespace

int32_t DeleteModelBase(int32_t baseId) {
    ModelModuleState& s = Models();
    if ((baseId & ~kModelBaseSlotMask) != kModelBaseIdType) return -1;
    const int32_t slot = baseId & kModelBaseSlotMask;
    if (slot >= s.baseHighWater || s.bases[slot] == nullptr) return -1;
    if (s.bases[slot] == MODEL_SLOT_RESERVED) {
        s.bases[slot] = nullptr;
        --s.baseCount;
        return 0;
    }
    ModelBaseRecord* base = s.bases[slot];
    if (base->modelCount > 0 && base->referenceCount <= base->modelCount) return -1;
    if (--base->referenceCount > 0) return 0;
    FreeBase(slot, base);
    return 0;
}

int32_t DetachModelAnimation(int32_t model, int32_t slot) {
    ModelRecord* record = FindModel(model);
    if (record == nullptr || slot < 0 || slot >= record->animationSlotCount || record->animations == nullptr)
        return -1;
    ModelAnimationSlot& a = record->animations[slot];
    if (!a.inUse) return 0;
    FreeMemory(a.block);
    a.block = nullptr;
    a.inUse = 0;
    for (int32_t f = 0; f < record->base->frameCount && record->frames != nullptr; ++f)
        if (record->frames[f].animationSlot == slot) record->frames[f].animationSlot = -1;
    --record->attachedAnimationCount;
    if (record->playingAnimation == slot + 1) record->playingAnimation = 0;
    if (record->blendingAnimation == slot + 1) record->blendingAnimation = 0;
    return 0;
}

int32_t FreeModelChainBlock(int32_t model, int32_t frame) {
    ModelRecord* record = FindModel(model);
    ModelChainHead** chain = record != nullptr ? ChainOf(record, frame) : nullptr;
    if (chain == nullptr) return -1;
    if (*chain == nullptr) return 0;
    for (ModelChainBlock* b = (*chain)->first; b != nullptr;) {
        ModelChainBlock* next = b->next;
        FreeMemory(b);
        b = next;
    }
    FreeMemory(*chain);
    *chain = nullptr;
    return 0;
}

int32_t FreeModelDataBlock(int32_t model, int32_t frame, int32_t which) {
    ModelRecord* record = FindModel(model);
    void** blocks = record != nullptr ? DataBlocksOf(record, frame) : nullptr;
    if (blocks == nullptr || which < 0 || which > 1) return -1;
    FreeMemory(blocks[which]);
    blocks[which] = nullptr;
    return 0;
}

int32_t DeleteModel(int32_t model) {
    ModelModuleState& s = Models();
    if (model < 0 || (model & kHandleTypeMask) != kHandleTypeModel) return -1;
    const int32_t slot = model & kHandleSlotMask;
    if (slot >= s.modelHighWater || s.models[slot] == nullptr) return -1;
    if (s.models[slot] == MODEL_SLOT_RESERVED) {
        s.models[slot] = nullptr;
        --s.modelCount;
        return 0;
    }
    ModelRecord* record = s.models[slot];
    if (record->check != (model & kHandleCheckMask) >> kHandleCheckShift) return -1;
    for (int32_t a = 0; a < record->animationSlotCount; ++a) DetachModelAnimation(model, a);
    record->playingAnimation = record->blendingAnimation = 0;
    ReleaseModelDynamicBuffers(model);
    FreeMemory(record->dynamicBuffers);
    FreeMemory(record->animations);
    record->animations = nullptr;
    record->animationSlotCount = 0;
    FreeModelWorkingData(model, record);
    FreeMemory(record->frames);
    ReleaseOverrides(record);
    UnlinkModel(record);
    DeleteModelBase(record->baseId);
    FreeMemory(record);
    s.models[slot] = nullptr;
    --s.modelCount;
    return 0;
}
