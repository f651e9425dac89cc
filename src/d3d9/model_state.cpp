// The model module's state: start-up and end, the two tables with their
// lookups and record entry, and the walks of a device reset over every base
// and model.
#include "core/handle_table.h"
#include "core/memory.h"
#include "core/utility.h"
#include "d3d9/model_internal.h"
#include "graphics/graphics_internal.h"

namespace {

constexpr int32_t kFirstTableCapacity = 16;
constexpr float kAngleValue = 1.5620697f;  // 89.5 degrees

// Grows a table of record pointers so that it holds at least one more slot
// than used; false when it is at its limit or the memory is refused.
template <typename Record>
bool GrowTable(Record**& table, int32_t& capacity, int32_t highWater, int32_t limit) {
    if (highWater < capacity) return true;
    if (capacity >= limit) return false;
    const int32_t grown = capacity == 0 ? kFirstTableCapacity : (capacity * 2 < limit ? capacity * 2 : limit);
    void* block = ReallocMemory(table, static_cast<uint32_t>(grown * sizeof(Record*)), __FILE__, __LINE__);
    if (block == nullptr) return false;
    table = static_cast<Record**>(block);
    capacity = grown;
    return true;
}

// A slot for a new record: the high-water slot (the table grown when needed),
// else the first empty one; -1 when there is none.
template <typename Record>
int32_t TakeSlot(Record**& table, int32_t& capacity, int32_t& highWater, int32_t& count, int32_t limit) {
    int32_t slot = -1;
    if (GrowTable(table, capacity, highWater, limit)) {
        slot = highWater++;
    } else {
        for (int32_t i = 0; i < highWater && slot < 0; ++i)
            if (table[i] == nullptr) slot = i;
        if (slot < 0) return -1;
    }
    table[slot] = static_cast<Record*>(MODEL_SLOT_RESERVED);
    ++count;
    return slot;
}

void FillSineTable(float* table) {
    for (int i = 0; i < kModelSineEntries; ++i) {
        const float angle = static_cast<float>(i * 3.1415927 * 2 * (1.0 / kModelSineEntries));
        float cosine = 0;
        SinCosFloat(angle, &table[i], &cosine);
    }
}

void ClearTables(ModelModuleState& s) {
    s.baseCount = s.baseHighWater = s.baseCapacity = 0;
    s.bases = nullptr;
    s.nameTable = nullptr;
    s.nameCount = s.nameCapacity = 0;
    s.modelCount = s.modelHighWater = s.modelCapacity = 0;
    s.models = nullptr;
}

// The end's delete of a base: whoever still counts on it, it goes.
void ForceDeleteBase(int32_t slot) {
    ModelModuleState& s = Models();
    const int32_t id = kModelBaseIdType | slot;
    if (s.bases[slot] == MODEL_SLOT_RESERVED) {
        DeleteModelBase(id);
    } else if (s.bases[slot] != nullptr) {
        s.bases[slot]->referenceCount = 1;
        DeleteModelBase(id);
    }
}

}  // namespace

ModelModuleState& Models() {
    static auto* state = new ModelModuleState();
    return *state;
}

int32_t ModelHandleOf(int32_t slot, int32_t check) {
    return kHandleTypeModel | ((check << kHandleCheckShift) & kHandleCheckMask) | (slot & kHandleSlotMask);
}

ModelBaseRecord* FindModelBase(int32_t baseId) {
    const ModelModuleState& s = Models();
    if ((baseId & ~kModelBaseSlotMask) != kModelBaseIdType) return nullptr;
    const int32_t slot = baseId & kModelBaseSlotMask;
    if (slot >= s.baseHighWater || s.bases[slot] == MODEL_SLOT_RESERVED) return nullptr;
    return s.bases[slot];
}

ModelRecord* FindModel(int32_t model) {
    const ModelModuleState& s = Models();
    if (model < 0 || (model & kHandleTypeMask) != kHandleTypeModel) return nullptr;
    const int32_t slot = model & kHandleSlotMask;
    if (slot >= s.modelHighWater) return nullptr;
    ModelRecord* record = s.models[slot];
    if (record == nullptr || record == MODEL_SLOT_RESERVED) return nullptr;
    if (record->check != (model & kHandleCheckMask) >> kHandleCheckShift) return nullptr;
    return record;
}

int32_t InitModelHandles() {
    ModelModuleState& s = Models();
    if (s.initialised || !Screen().d3dActive) return 0;
    FillSineTable(s.sineTable);
    s.angleValue = kAngleValue;
    ClearTables(s);
    s.initialised = 1;
    return 0;
}

int32_t TerminateModelHandles() {
    ModelModuleState& s = Models();
    if (!s.initialised) return 0;
    for (int32_t slot = 0; slot < s.modelHighWater; ++slot) {
        ModelRecord* record = s.models[slot];
        if (record == MODEL_SLOT_RESERVED) {
            s.models[slot] = nullptr;
            --s.modelCount;
        } else if (record != nullptr) {
            DeleteModel(ModelHandleOf(slot, record->check));
        }
    }
    for (int32_t slot = 0; slot < s.baseHighWater; ++slot) ForceDeleteBase(slot);
    FreeMemory(s.bases);
    FreeMemory(s.nameTable);
    FreeMemory(s.models);
    ClearTables(s);
    s.initialised = 0;
    return 0;
}

int32_t ReserveModelBaseSlot() {
    ModelModuleState& s = Models();
    if (!s.initialised) return -1;
    const int32_t slot = TakeSlot(s.bases, s.baseCapacity, s.baseHighWater, s.baseCount, kModelBaseSlots);
    return slot < 0 ? -1 : kModelBaseIdType | slot;
}

int32_t ReserveModelSlot() {
    ModelModuleState& s = Models();
    if (!s.initialised) return -1;
    const int32_t slot = TakeSlot(s.models, s.modelCapacity, s.modelHighWater, s.modelCount, kModelSlots);
    if (slot < 0) return -1;
    const int32_t check = s.nextCheck;
    s.nextCheck = (s.nextCheck + 1) % kHandleCheckLimit;
    return ModelHandleOf(slot, check);
}

int32_t PlaceModelBase(int32_t baseId, ModelBaseRecord* base) {
    ModelModuleState& s = Models();
    if (base == nullptr || (baseId & ~kModelBaseSlotMask) != kModelBaseIdType) return -1;
    const int32_t slot = baseId & kModelBaseSlotMask;
    if (slot >= s.baseHighWater || s.bases[slot] != MODEL_SLOT_RESERVED) return -1;
    s.bases[slot] = base;
    return 0;
}

int32_t PlaceModel(int32_t model, ModelRecord* record, int32_t baseId) {
    ModelModuleState& s = Models();
    ModelBaseRecord* base = FindModelBase(baseId);
    if (record == nullptr || base == nullptr || model < 0 || (model & kHandleTypeMask) != kHandleTypeModel)
        return -1;
    const int32_t slot = model & kHandleSlotMask;
    if (slot >= s.modelHighWater || s.models[slot] != MODEL_SLOT_RESERVED) return -1;
    record->handle = model;
    record->check = (model & kHandleCheckMask) >> kHandleCheckShift;
    record->baseId = baseId;
    record->base = base;
    record->previous = base->lastModel;
    record->next = nullptr;
    if (base->lastModel != nullptr) base->lastModel->next = record;
    if (base->firstModel == nullptr) base->firstModel = record;
    base->lastModel = record;
    ++base->modelCount;
    ++base->referenceCount;
    s.models[slot] = record;
    return 0;
}

int32_t RestoreModelBuffers() {
    const ModelModuleState& s = Models();
    for (int32_t slot = 0; slot < s.baseHighWater; ++slot)
        if (FindModelBase(kModelBaseIdType | slot) != nullptr) BuildModelBaseBuffers(kModelBaseIdType | slot, 1);
    return 0;
}

int32_t ReleaseAllModelBuffers() {
    const ModelModuleState& s = Models();
    for (int32_t slot = 0; slot < s.baseHighWater; ++slot)
        if (FindModelBase(kModelBaseIdType | slot) != nullptr) ReleaseModelBaseBuffers(kModelBaseIdType | slot);
    for (int32_t slot = 0; slot < s.modelHighWater; ++slot) {
        const ModelRecord* record = s.models[slot];
        if (record != nullptr && record != MODEL_SLOT_RESERVED)
            ReleaseModelDynamicBuffers(ModelHandleOf(slot, record->check));
    }
    return 0;
}
