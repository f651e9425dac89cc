// The model module's start-up, its tables and their lookups, and its end.
#include "model_test_util.h"

namespace model_test {
namespace {

TEST_F(ModelTest, StartUpFillsTheSineTableAndTheAngle) {
    const ModelModuleState& s = Models();
    struct Case {
        const char* what;
        int index;
        float value;
        float tolerance;
    } cases[] = {
        {"entry 0", 0, 0.0f, 0.0f},
        {"entry 16384, a quarter turn", 16384, 1.0f, 0.0f},
        {"entry 32768, half a turn", 32768, 0.0f, 1e-6f},
        {"entry 49152", 49152, -1.0f, 1e-6f},
        {"entry 8192", 8192, 0.70710677f, 1e-6f},
    };
    for (const Case& c : cases) EXPECT_NEAR(s.sineTable[c.index], c.value, c.tolerance) << c.what;
    EXPECT_FLOAT_EQ(s.angleValue, 1.5620697f);
    EXPECT_EQ(s.baseCount, 0);
    EXPECT_EQ(s.modelCount, 0);
    EXPECT_EQ(s.bases, nullptr);
    EXPECT_EQ(s.models, nullptr);
}

TEST_F(ModelTest, ASecondStartUpChangesNothing) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t model = AddModel(base);
    ModelModuleState& s = Models();
    s.sineTable[5] = 42.0f;
    s.angleValue = 3.0f;
    ModelBaseRecord** bases = s.bases;
    ModelRecord** models = s.models;
    EXPECT_EQ(InitModelHandles(), 0);
    EXPECT_EQ(s.sineTable[5], 42.0f);
    EXPECT_EQ(s.angleValue, 3.0f);
    EXPECT_EQ(s.bases, bases);
    EXPECT_EQ(s.models, models);
    EXPECT_EQ(s.baseCount, 1);
    EXPECT_EQ(s.modelCount, 1);
    EXPECT_NE(FindModelBase(base), nullptr);
    EXPECT_NE(FindModel(model), nullptr);
}

TEST_F(ModelTest, LookupsRefuseOtherTypesSlotsAndChecks) {
    const int32_t base = AddBase(BasePlan{});
    const int32_t model = AddModel(base);
    const int32_t reservedBase = ReserveModelBaseSlot();
    const int32_t reservedModel = ReserveModelSlot();
    const int32_t check = (model & kHandleCheckMask) >> kHandleCheckShift;
    struct Case {
        const char* what;
        int32_t id;
        bool isModel;
    } cases[] = {
        {"base: model type bits", kHandleTypeModel | (base & kModelBaseSlotMask), false},
        {"base: a bit above the slot", base | 0x00100000, false},
        {"base: past the high-water slot", kModelBaseIdType | 5, false},
        {"base: negative", -1, false},
        {"base: reserved slot", reservedBase, false},
        {"model: image type bits", (model & ~kHandleTypeMask) | kHandleTypeImage, true},
        {"model: past the high-water slot", ModelHandleOf(7, check), true},
        {"model: stale check value", ModelHandleOf(model & kHandleSlotMask, check + 1), true},
        {"model: reserved slot", reservedModel, true},
        {"model: negative", -1, true},
    };
    for (const Case& c : cases) {
        if (c.isModel) {
            EXPECT_EQ(FindModel(c.id), nullptr) << c.what;
            EXPECT_EQ(ReleaseModelDynamicBuffers(c.id), -1) << c.what;
            EXPECT_EQ(CreateModelDynamicBuffers(c.id), -1) << c.what;
            EXPECT_EQ(FreeModelDataBlock(c.id, -1, 0), -1) << c.what;
            EXPECT_EQ(DetachModelAnimation(c.id, 0), -1) << c.what;
        } else {
            EXPECT_EQ(FindModelBase(c.id), nullptr) << c.what;
            EXPECT_EQ(BuildModelBaseBuffers(c.id, 0), -1) << c.what;
            EXPECT_EQ(ReleaseModelBaseBuffers(c.id), -1) << c.what;
        }
    }
    EXPECT_NE(FindModelBase(base), nullptr);
    EXPECT_NE(FindModel(model), nullptr);
}

TEST_F(ModelTest, TablesGrowAndPlacingNeedsAReservedSlot) {
    std::vector<int32_t> ids;
    for (int i = 0; i < 40; ++i) ids.push_back(ReserveModelBaseSlot());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(ids[i], kModelBaseIdType | i) << i;
    EXPECT_EQ(Models().baseCount, 40);
    EXPECT_GE(Models().baseCapacity, 40);
    auto* base = AllocArray<ModelBaseRecord>(1);
    EXPECT_EQ(PlaceModelBase(kModelBaseIdType | 40, base), -1) << "past the high-water slot";
    EXPECT_EQ(PlaceModelBase(ids[3], nullptr), -1) << "no record";
    EXPECT_EQ(PlaceModelBase(ids[3], base), 0);
    EXPECT_EQ(PlaceModelBase(ids[3], base), -1) << "the slot is filled already";
    EXPECT_EQ(FindModelBase(ids[3]), base);
    auto* model = AllocArray<ModelRecord>(1);
    const int32_t handle = ReserveModelSlot();
    EXPECT_EQ(PlaceModel(handle, model, ids[4]), -1) << "a reserved base";
    EXPECT_EQ(PlaceModel(handle, model, ids[3]), 0);
    EXPECT_EQ(model->base, base);
    EXPECT_EQ(base->referenceCount, 1);
    EXPECT_EQ(base->modelCount, 1);
    EXPECT_EQ(FindModel(handle), model);
    // A second handle gets another check value.
    const int32_t second = ReserveModelSlot();
    EXPECT_NE(second & kHandleCheckMask, handle & kHandleCheckMask);
    EXPECT_EQ(second & kHandleSlotMask, 1);
}

TEST_F(ModelTest, TheEndDeletesEverythingAndFreesTheTables) {
    const uint32_t blocksBefore = AllocatedBlockCount();
    const int32_t shared = AddBase(BasePlan{{{0, -1, 1, 3, 3, 1}}, {}, {{0}}, 2, 1});
    AddModel(shared, 2);
    AddModel(shared);
    AddBase(BasePlan{{}, {}, {}, 1, 5});  // held five times over, no models
    ReserveModelBaseSlot();
    ReserveModelSlot();
    ASSERT_EQ(BuildModelBaseBuffers(shared, 0), 0);
    const ULONG references = DeviceReferences();
    EXPECT_EQ(TerminateModelHandles(), 0);
    const ModelModuleState& s = Models();
    EXPECT_EQ(s.initialised, 0);
    EXPECT_EQ(s.bases, nullptr);
    EXPECT_EQ(s.models, nullptr);
    EXPECT_EQ(s.baseCount, 0);
    EXPECT_EQ(s.modelCount, 0);
    EXPECT_EQ(s.baseHighWater, 0);
    EXPECT_EQ(s.modelHighWater, 0);
    EXPECT_EQ(AllocatedBlockCount(), blocksBefore);
    EXPECT_EQ(DeviceReferences(), references - 4) << "the record's two buffers and two dynamic buffers went";
    EXPECT_EQ(TerminateModelHandles(), 0);  // not initialised: nothing
    EXPECT_EQ(ReserveModelBaseSlot(), -1);
    EXPECT_EQ(InitModelHandles(), 0);  // and the module starts again
    EXPECT_EQ(s.initialised, 1);
}

// Graphics on the software path: no device, no model module.
class SoftwareModelTest : public graphics_test::GraphicsTest {
protected:
    void SetUp() override {
        Start(graphics_test::ScreenMode{}, [] { ASSERT_EQ(SetHardwareAllowed(0), 0); });
    }
};

TEST_F(SoftwareModelTest, StartUpOnTheSoftwarePathLeavesTheModuleUninitialised) {
    ASSERT_EQ(Screen().d3dActive, 0);
    EXPECT_EQ(Models().initialised, 0);
    EXPECT_EQ(InitModelHandles(), 0);
    EXPECT_EQ(Models().initialised, 0);
    EXPECT_EQ(ReserveModelBaseSlot(), -1);
    EXPECT_EQ(ReserveModelSlot(), -1);
    EXPECT_EQ(ReleaseAllModelBuffers(), 0);
    EXPECT_EQ(RestoreModelBuffers(), 0);
    EXPECT_EQ(TerminateModelHandles(), 0);
}

}  // namespace
}  // namespace model_test
