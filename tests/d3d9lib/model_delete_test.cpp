// The deletes of models and bases: refusals, reserved slots, reference
// counts, the base's list of models, and the blocks a model owns.
#include "model_test_util.h"

namespace model_test {
namespace {

using ModelDeleteTest = ModelTest;

TEST_F(ModelDeleteTest, DeleteModelRefusesBadHandlesAndClearsAReservedSlotUnread) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t model = AddModel(base);
    const int32_t check = (model & kHandleCheckMask) >> kHandleCheckShift;
    const int32_t empty = ReserveModelSlot();
    ASSERT_EQ(DeleteModel(empty), 0);  // now an empty slot below the high-water slot
    struct Case {
        const char* what;
        int32_t handle;
    } cases[] = {
        {"negative", -1},
        {"another type", (model & ~kHandleTypeMask) | kHandleTypeLight},
        {"slot past the high-water slot", ModelHandleOf(Models().modelHighWater, check)},
        {"empty slot", empty},
        {"stale check value", ModelHandleOf(model & kHandleSlotMask, (check + 5) % kHandleCheckLimit)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeleteModel(c.handle), -1) << c.what;
        EXPECT_EQ(Models().modelCount, 1) << c.what;
        EXPECT_NE(FindModel(model), nullptr) << c.what;
    }
    // A reserved slot is cleared whatever check value the handle carries:
    // there is no record to read one from.
    const int32_t reserved = ReserveModelSlot();
    ASSERT_EQ(Models().models[reserved & kHandleSlotMask], MODEL_SLOT_RESERVED);
    EXPECT_EQ(DeleteModel(ModelHandleOf(reserved & kHandleSlotMask, 77)), 0);
    EXPECT_EQ(Models().models[reserved & kHandleSlotMask], nullptr);
    EXPECT_EQ(Models().modelCount, 1);
}

TEST_F(ModelDeleteTest, DeleteModelBaseRefusesBadIdentifiersAndClearsAReservedSlot) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t empty = ReserveModelBaseSlot();
    ASSERT_EQ(DeleteModelBase(empty), 0);
    struct Case {
        const char* what;
        int32_t id;
    } cases[] = {
        {"negative", -1},
        {"model type bits", kHandleTypeModel | (base & kModelBaseSlotMask)},
        {"slot past the high-water slot", kModelBaseIdType | Models().baseHighWater},
        {"empty slot", empty},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeleteModelBase(c.id), -1) << c.what;
        EXPECT_EQ(Models().baseCount, 1) << c.what;
    }
    const int32_t reserved = ReserveModelBaseSlot();
    EXPECT_EQ(Models().baseCount, 2);
    EXPECT_EQ(DeleteModelBase(reserved), 0);
    EXPECT_EQ(Models().baseCount, 1);
    EXPECT_EQ(Models().bases[reserved & kModelBaseSlotMask], nullptr);
}

TEST_F(ModelDeleteTest, ABaseLivesWhileItIsCountedOn) {
    DeleteModelBase(ReserveModelBaseSlot());  // the two tables are made, and stay until the end
    DeleteModel(ReserveModelSlot());
    const uint32_t blocksBefore = AllocatedBlockCount();
    const int32_t base = AddBase(BasePlan{{{0, -1, 0, 3, 3}}, {}, {{0}}, 1, 2});
    const int32_t model = AddModel(base);
    ModelBaseRecord* record = FindModelBase(base);
    EXPECT_EQ(record->referenceCount, 3);
    EXPECT_EQ(DeleteModel(model), 0);
    EXPECT_EQ(FindModel(model), nullptr);
    EXPECT_EQ(record->referenceCount, 2);
    EXPECT_EQ(record->modelCount, 0);
    EXPECT_EQ(DeleteModelBase(base), 0);
    EXPECT_EQ(FindModelBase(base), record) << "one holder left";
    EXPECT_EQ(DeleteModelBase(base), 0);
    EXPECT_EQ(FindModelBase(base), nullptr);
    EXPECT_EQ(Models().baseCount, 0);
    EXPECT_EQ(Models().modelCount, 0);
    EXPECT_EQ(AllocatedBlockCount(), blocksBefore) << "every block of both records";
}

TEST_F(ModelDeleteTest, ABaseWithModelsIsNotFreedUnderThem) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t model = AddModel(base);
    ModelBaseRecord* record = FindModelBase(base);
    EXPECT_EQ(DeleteModelBase(base), 0);  // the loader lets go
    EXPECT_EQ(record->referenceCount, 1);
    EXPECT_EQ(DeleteModelBase(base), -1) << "the model still counts on it";
    EXPECT_EQ(FindModelBase(base), record);
    EXPECT_EQ(DeleteModel(model), 0);
    EXPECT_EQ(FindModelBase(base), nullptr) << "the last model took the base with it";
}

TEST_F(ModelDeleteTest, DeletingModelsKeepsTheBaseListLinked) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t m[3] = {AddModel(base), AddModel(base), AddModel(base)};
    const ModelBaseRecord* record = FindModelBase(base);
    ModelRecord* r[3] = {FindModel(m[0]), FindModel(m[1]), FindModel(m[2])};
    EXPECT_EQ(record->firstModel, r[0]);
    EXPECT_EQ(record->lastModel, r[2]);
    EXPECT_EQ(DeleteModel(m[1]), 0);
    EXPECT_EQ(r[0]->next, r[2]);
    EXPECT_EQ(r[2]->previous, r[0]);
    EXPECT_EQ(record->modelCount, 2);
    EXPECT_EQ(DeleteModel(m[0]), 0);
    EXPECT_EQ(record->firstModel, r[2]);
    EXPECT_EQ(r[2]->previous, nullptr);
    EXPECT_EQ(DeleteModel(m[2]), 0);
    EXPECT_EQ(record->firstModel, nullptr);
    EXPECT_EQ(record->lastModel, nullptr);
    EXPECT_EQ(record->modelCount, 0);
    EXPECT_EQ(record->referenceCount, 1);
}

TEST_F(ModelDeleteTest, DetachingAnAnimationClearsEverythingThatNamesIt) {
    const int32_t base = AddBase(BasePlan{{}, {}, {{}, {}, {}}});
    const int32_t model = AddModel(base, 3);
    ModelRecord* r = FindModel(model);
    r->animations[1] = ModelAnimationSlot{1, AllocArray<uint8_t>(8)};
    r->attachedAnimationCount = 1;
    r->frames[0].animationSlot = 1;
    r->frames[2].animationSlot = 1;
    r->frames[1].animationSlot = 2;
    r->playingAnimation = 2;
    const uint32_t blocks = AllocatedBlockCount();
    struct Case {
        const char* what;
        int32_t slot;
        int32_t result;
    } refused[] = {{"slot -1", -1, -1}, {"slot past the array", 3, -1}, {"free slot", 0, 0}};
    for (const Case& c : refused) {
        EXPECT_EQ(DetachModelAnimation(model, c.slot), c.result) << c.what;
        EXPECT_EQ(r->attachedAnimationCount, 1) << c.what;
    }
    EXPECT_EQ(DetachModelAnimation(model, 1), 0);
    EXPECT_EQ(AllocatedBlockCount(), blocks - 1);
    EXPECT_EQ(r->animations[1].inUse, 0);
    EXPECT_EQ(r->animations[1].block, nullptr);
    EXPECT_EQ(r->attachedAnimationCount, 0);
    EXPECT_EQ(r->frames[0].animationSlot, -1);
    EXPECT_EQ(r->frames[2].animationSlot, -1);
    EXPECT_EQ(r->frames[1].animationSlot, 2) << "another slot's frame";
    EXPECT_EQ(r->playingAnimation, 0);
}

TEST_F(ModelDeleteTest, WorkingBlocksAndChainsAreFreedByFrame) {
    const int32_t base = AddBase(BasePlan{{}, {}, {{}, {}}});
    const int32_t model = AddModel(base);
    ModelRecord* r = FindModel(model);
    struct Case {
        const char* what;
        int32_t frame;
        int32_t which;
        int32_t result;
        int32_t blocksFreed;
    } cases[] = {
        {"model block 0", -1, 0, 0, 1},   {"model block 1", -1, 1, 0, 1}, {"model block 1 again", -1, 1, 0, 0},
        {"frame 1 block 0", 1, 0, 0, 1},  {"block 2", 0, 2, -1, 0},       {"block -1", 0, -1, -1, 0},
        {"frame past the base's", 2, 0, -1, 0}, {"frame -2", -2, 0, -1, 0},
    };
    for (const Case& c : cases) {
        const uint32_t before = AllocatedBlockCount();
        EXPECT_EQ(FreeModelDataBlock(model, c.frame, c.which), c.result) << c.what;
        EXPECT_EQ(before - AllocatedBlockCount(), static_cast<uint32_t>(c.blocksFreed)) << c.what;
    }
    EXPECT_EQ(r->frames[1].blocks[0], nullptr);
    EXPECT_NE(r->frames[1].blocks[1], nullptr);
    struct ChainCase {
        const char* what;
        int32_t frame;
        int32_t result;
        int32_t blocksFreed;
    } chains[] = {
        {"the model's chain: three blocks and the head", -1, 0, 4},
        {"again: nothing left", -1, 0, 0},
        {"frame 0: two blocks and the head", 0, 0, 3},
        {"frame past the base's", 2, -1, 0},
    };
    for (const ChainCase& c : chains) {
        const uint32_t before = AllocatedBlockCount();
        EXPECT_EQ(FreeModelChainBlock(model, c.frame), c.result) << c.what;
        EXPECT_EQ(before - AllocatedBlockCount(), static_cast<uint32_t>(c.blocksFreed)) << c.what;
    }
    EXPECT_EQ(r->chain, nullptr);
    EXPECT_EQ(r->frames[0].chain, nullptr);
    EXPECT_NE(r->frames[1].chain, nullptr);
}

TEST_F(ModelDeleteTest, DeletingAModelDeletesItsOverrideImagesAndTheBaseItsTextureImages) {
    const int32_t base = AddBase(BasePlan{{}, {}, {}, 2});
    const int32_t model = AddModel(base);
    const int32_t images[3] = {CreateBlankImage(8, 8), CreateBlankImage(8, 8), CreateBlankImage(8, 8)};
    ModelRecord* r = FindModel(model);
    r->overrides[0].inUse = 1;
    r->overrides[0].image = images[0];
    r->overrides[0].blocks[5] = AllocArray<uint8_t>(4);
    r->overrides[1].image = images[1];  // not in use: left alone
    FindModelBase(base)->textures[1].image = images[2];
    EXPECT_EQ(DeleteModel(model), 0);
    EXPECT_EQ(GetImageSize(images[0], nullptr, nullptr), -1);
    EXPECT_EQ(GetImageSize(images[1], nullptr, nullptr), 0);
    EXPECT_EQ(GetImageSize(images[2], nullptr, nullptr), 0);
    EXPECT_EQ(DeleteModelBase(base), 0);
    EXPECT_EQ(GetImageSize(images[2], nullptr, nullptr), -1);
    DeleteImage(images[1]);
}

}  // namespace
}  // namespace model_test
