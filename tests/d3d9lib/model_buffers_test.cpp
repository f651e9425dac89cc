// The device buffers of model bases: the 54 layout groups, the chains split
// at the limits, the written contents, skipped groups, failed builds, the
// release and the restore, and the models' dynamic buffers.
#include "model_test_util.h"

namespace model_test {
namespace {

using ModelBufferTest = ModelTest;

constexpr uint32_t kRigid = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR;

TEST(ModelGroupTable, SizesAndFormatsOfTheGroups) {
    struct Case {
        const char* what;
        int32_t group;
        int32_t size;
        uint32_t fvf;
        int32_t fixedFunction;
    } cases[] = {
        {"rigid, no sets", 0, 64, 0xD2, 1},
        {"rigid, one set", 1, 80, 0xD2 | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE4(0), 1},
        {"rigid, eight sets", 8, 192, 0xD2 | 0x800 | 0xAAAA0000u, 1},
        {"rigid with the material flag", 9, 56, 0, 0},
        {"skinned kind 1, two sets", 20, 52 + 32, 0, 0},
        {"skinned kind 1 with the flag", 27, 76, 0, 0},
        {"skinned kind 2", 36, 72, 0, 0},
        {"skinned kind 2 with the flag, eight sets", 53, 96 + 128, 0, 0},
        {"past the last group", 54, 0, 0, 0},
        {"negative", -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const ModelGroupLayout layout = ModelGroupLayoutOf(c.group);
        EXPECT_EQ(layout.vertexSize, c.size) << c.what;
        EXPECT_EQ(layout.fvf, c.fvf) << c.what;
        EXPECT_EQ(layout.fixedFunction, c.fixedFunction) << c.what;
    }
    EXPECT_EQ(kRigid, 0xD2u);
}

TEST(ModelGroupTable, GroupOfAList) {
    ModelMaterialEntry materials[2] = {{nullptr, 0, 0, -1}, {nullptr, 0, 5, -1}};
    ModelBaseRecord base{};
    base.materialCount = 2;
    base.materials = materials;
    struct Case {
        const char* what;
        int32_t skinning, material, sets;
        int32_t group;
    } cases[] = {
        {"rigid, plain material", 0, 0, 3, 3},      {"rigid, flagged material", 0, 1, 3, 12},
        {"kind 1, no material", 1, -1, 0, 18},      {"kind 2, flagged, 8 sets", 2, 1, 8, 53},
        {"material past the list", 2, 2, 0, 36},    {"kind 3 is never placed", 3, 0, 0, -1},
        {"negative kind", -1, 0, 0, -1},            {"nine sets", 0, 0, 9, -1},
    };
    for (const Case& c : cases) {
        ModelTriangleList list{};
        list.skinning = c.skinning;
        list.material = c.material;
        list.texCoordSets = c.sets;
        EXPECT_EQ(ModelGroupOf(&base, list), c.group) << c.what;
    }
}

TEST(ModelGroupTable, DefaultLimits) {
    EXPECT_EQ(kModelIndexLimit, 0xC0000);
    EXPECT_EQ(kModelVertexLimit, 0x60000);
}

TEST_F(ModelBufferTest, ListsAreWrittenIntoTheirGroupsBuffers) {
    const int32_t id = AddBase(BasePlan{{{0, -1, 1, 4, 6}, {0, -1, 1, 3, 3}, {0, 0, 0, 5, 9}, {7, -1, 0, 3, 3}},
                                        {0}});
    ModelBaseRecord* base = FindModelBase(id);
    ASSERT_EQ(BuildModelBaseBuffers(id, 9), 0);
    EXPECT_EQ(base->buffersBuilt, 1);
    EXPECT_EQ(base->buildArgument, 9);
    EXPECT_EQ(base->bufferRecordCount, 2);
    EXPECT_EQ(base->groupRecordCount[1], 1);
    EXPECT_EQ(base->groupRecordCount[0], 1);
    const ModelTriangleList* lists = base->triangleLists;
    struct Case {
        const char* what;
        int list;
        int group;
        int32_t vertexStart, indexStart;
    } cases[] = {
        {"first list of group 1", 0, 1, 0, 0},
        {"second list of group 1 follows it", 1, 1, 4, 6},
        {"the only list of group 0", 2, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const ModelTriangleList& list = lists[c.list];
        ASSERT_EQ(list.buffer, base->groupFirst[c.group]) << c.what;
        EXPECT_EQ(list.vertexStart, c.vertexStart) << c.what;
        EXPECT_EQ(list.indexStart, c.indexStart) << c.what;
        const ModelBufferRecord* r = list.buffer;
        EXPECT_EQ(r->lockedVertices, nullptr) << c.what << ": unlocked";
        EXPECT_EQ(r->fvf, ModelGroupLayoutOf(c.group).fvf) << c.what;
        const size_t bytes = static_cast<size_t>(list.vertexCount) * r->vertexSize;
        const std::vector<uint8_t> written = BufferBytes(r->vertexBuffer, list.vertexStart * r->vertexSize, bytes);
        EXPECT_EQ(written, std::vector<uint8_t>(static_cast<uint8_t*>(list.vertices),
                                                static_cast<uint8_t*>(list.vertices) + bytes))
            << c.what;
        const std::vector<uint8_t> indices = BufferBytes(r->indexBuffer, list.indexStart * 2, list.indexCount * 2);
        EXPECT_EQ(indices, std::vector<uint8_t>(reinterpret_cast<uint8_t*>(list.indices),
                                                reinterpret_cast<uint8_t*>(list.indices) + list.indexCount * 2))
            << c.what;
    }
    EXPECT_EQ(base->groupFirst[1]->vertexCount, 7);
    EXPECT_EQ(base->groupFirst[1]->indexCount, 9);
    EXPECT_EQ(lists[3].buffer, nullptr) << "a list of an unknown kind is not placed";
    EXPECT_EQ(BuildModelBaseBuffers(id, 4), 0);
    EXPECT_EQ(base->buildArgument, 9) << "built already: nothing done";
}

TEST_F(ModelBufferTest, ARecordTakesListsUntilALimitWouldBeReached) {
    SetModelBufferLimits(10, 8);
    struct Case {
        const char* what;
        std::vector<ListPlan> lists;
        std::vector<int> recordOfList;
        std::vector<int32_t> vertexStart;
    } cases[] = {
        {"vertices reach the limit exactly", {{0, -1, 0, 4, 3}, {0, -1, 0, 4, 3}}, {0, 1}, {0, 0}},
        {"vertices stay below it", {{0, -1, 0, 4, 3}, {0, -1, 0, 3, 3}}, {0, 0}, {0, 4}},
        {"indices reach the limit exactly", {{0, -1, 0, 3, 6}, {0, -1, 0, 3, 4}}, {0, 1}, {0, 0}},
        {"four lists over two records",
         {{0, -1, 0, 3, 3}, {0, -1, 0, 3, 3}, {0, -1, 0, 3, 3}, {0, -1, 0, 3, 3}}, {0, 0, 1, 1}, {0, 3, 0, 3}},
        {"a list above the limit gets a record of its own", {{0, -1, 0, 3, 3}, {0, -1, 0, 9, 12}, {0, -1, 0, 3, 3}},
         {0, 1, 2}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const int32_t id = AddBase(BasePlan{c.lists});
        ModelBaseRecord* base = FindModelBase(id);
        ASSERT_EQ(BuildModelBaseBuffers(id, 0), 0) << c.what;
        std::vector<const ModelBufferRecord*> chain;
        for (const ModelBufferRecord* r = base->groupFirst[0]; r != nullptr; r = r->next) chain.push_back(r);
        EXPECT_EQ(static_cast<int32_t>(chain.size()), base->groupRecordCount[0]) << c.what;
        EXPECT_EQ(base->groupLast[0], chain.back()) << c.what;
        for (size_t i = 0; i < c.lists.size(); ++i) {
            EXPECT_EQ(base->triangleLists[i].buffer, chain[c.recordOfList[i]]) << c.what << " list " << i;
            EXPECT_EQ(base->triangleLists[i].vertexStart, c.vertexStart[i]) << c.what << " list " << i;
        }
        for (size_t i = 1; i < chain.size(); ++i) EXPECT_EQ(chain[i]->previous, chain[i - 1]) << c.what;
        EXPECT_EQ(DeleteModelBase(id), 0) << c.what;
    }
}

TEST_F(ModelBufferTest, ShaderGroupsAreBuiltOnlyWhileShadersAreInUse) {
    const BasePlan plan{{{0, -1, 0, 3, 3}, {1, -1, 2, 3, 3}, {2, 0, 0, 3, 3}}, {1}};
    for (int32_t shaders : {0, 1}) {
        Cache().shadersInUse = shaders;
        const int32_t id = AddBase(plan);
        ModelBaseRecord* base = FindModelBase(id);
        ASSERT_EQ(BuildModelBaseBuffers(id, 0), 0) << shaders;
        EXPECT_EQ(base->bufferRecordCount, shaders ? 3 : 1) << shaders;
        EXPECT_NE(base->triangleLists[0].buffer, nullptr) << shaders;
        for (int list : {1, 2}) {
            EXPECT_EQ(base->triangleLists[list].buffer != nullptr, shaders == 1) << shaders << " list " << list;
        }
        EXPECT_EQ(base->groupRecordCount[20], shaders) << "skinned kind 1, two sets";
        EXPECT_EQ(base->groupFirst[45] != nullptr, shaders == 1) << "skinned kind 2, flagged material";
        if (shaders) {
            EXPECT_EQ(base->groupFirst[20]->fvf, 0u);
        }
        EXPECT_EQ(DeleteModelBase(id), 0);
    }
}

TEST_F(ModelBufferTest, NothingIsBuiltWithoutHardwareVertexProcessing) {
    const int32_t id = AddBase(BasePlan{{{0, -1, 0, 3, 3}}});
    Device().hardwareVertexProcessing = 0;
    EXPECT_EQ(BuildModelBaseBuffers(id, 0), 0);
    EXPECT_EQ(BuildModelBaseBuffers(kModelBaseIdType | 99, 0), 0) << "not even looked up";
    EXPECT_EQ(FindModelBase(id)->buffersBuilt, 0);
    EXPECT_EQ(FindModelBase(id)->bufferRecordCount, 0);
}

TEST_F(ModelBufferTest, AFailedBuildReleasesWhatItMade) {
    const BasePlan plan{{{0, -1, 0, 3, 3, 1}, {0, -1, 1, 3, 3}, {0, -1, 2, 3, 3}}, {}, {{0}}};
    struct Case {
        const char* what;
        const char* call;
        int skip;
    } cases[] = {
        {"second vertex buffer", "IDirect3DDevice9::CreateVertexBuffer", 1},
        {"first vertex buffer", "IDirect3DDevice9::CreateVertexBuffer", 0},
        {"third index buffer", "IDirect3DDevice9::CreateIndexBuffer", 2},
        {"lock of the second vertex buffer", "IDirect3DVertexBuffer9::Lock", 1},
        {"lock of the first index buffer", "IDirect3DIndexBuffer9::Lock", 0},
    };
    for (const Case& c : cases) {
        const int32_t id = AddBase(plan);
        const int32_t model = AddModel(id);
        ModelBaseRecord* base = FindModelBase(id);
        const uint32_t blocks = AllocatedBlockCount();
        const ULONG references = DeviceReferences();
        seams::FailCallAfter(c.call, c.skip, 1);
        EXPECT_EQ(BuildModelBaseBuffers(id, 0), -1) << c.what;
        seams::ClearAllCalls();
        EXPECT_EQ(DeviceReferences(), references) << c.what << ": no device buffer left";
        EXPECT_EQ(AllocatedBlockCount(), blocks) << c.what << ": no record left";
        EXPECT_EQ(base->buffersBuilt, 0) << c.what;
        EXPECT_EQ(base->bufferRecordCount, 0) << c.what;
        for (int g = 0; g < 3; ++g) {
            EXPECT_EQ(base->groupFirst[g], nullptr) << c.what;
            EXPECT_EQ(base->groupRecordCount[g], 0) << c.what;
            EXPECT_EQ(base->triangleLists[g].buffer, nullptr) << c.what;
        }
        EXPECT_EQ(FindModel(model)->dynamicBuffers[0].vertexBuffer, nullptr) << c.what;
        EXPECT_EQ(BuildModelBaseBuffers(id, 0), 0) << c.what << ": a later build succeeds";
        EXPECT_EQ(base->bufferRecordCount, 3) << c.what;
        EXPECT_NE(FindModel(model)->dynamicBuffers[0].vertexBuffer, nullptr) << c.what;
        EXPECT_EQ(DeleteModel(model), 0);
        EXPECT_EQ(DeleteModelBase(id), 0);
    }
}

TEST_F(ModelBufferTest, ListsWhoseDataDoesNotMatchTheirCountsAreRefused) {
    struct Case {
        const char* what;
        void (*spoil)(ModelTriangleList&);
    } cases[] = {
        {"vertex block too short", [](ModelTriangleList& l) { l.vertexBytes -= 1; }},
        {"index past the vertices", [](ModelTriangleList& l) { l.indices[1] = static_cast<uint16_t>(l.vertexCount); }},
        {"no index block", [](ModelTriangleList& l) {
             FreeMemory(l.indices);
             l.indices = nullptr;
         }},
        {"negative count", [](ModelTriangleList& l) { l.indexCount = -3; }},
        {"a list alone at the vertex limit", [](ModelTriangleList& l) { l.vertexCount = kModelVertexLimit; }},
    };
    for (const Case& c : cases) {
        const int32_t id = AddBase(BasePlan{{{0, -1, 0, 3, 3}, {0, -1, 0, 4, 6}}});
        ModelBaseRecord* base = FindModelBase(id);
        c.spoil(base->triangleLists[1]);
        const uint32_t blocks = AllocatedBlockCount();
        EXPECT_EQ(BuildModelBaseBuffers(id, 0), -1) << c.what;
        EXPECT_EQ(AllocatedBlockCount(), blocks) << c.what;
        EXPECT_EQ(base->bufferRecordCount, 0) << c.what;
        EXPECT_EQ(base->triangleLists[0].buffer, nullptr) << c.what;
        base->triangleLists[1].vertexCount = 0;  // whatever was spoiled, the delete frees the blocks
        EXPECT_EQ(DeleteModelBase(id), 0) << c.what;
    }
}

TEST_F(ModelBufferTest, ModelsGetDynamicBuffersForTheListsTheyCompute) {
    // Lists: rigid computed, skinned computed, rigid shared, skinned kind 2 computed.
    const BasePlan plan{{{0, -1, 0, 3, 3, 1}, {1, -1, 0, 4, 3, 1}, {0, -1, 0, 3, 3, 0}, {2, -1, 1, 5, 3, 1}},
                        {},
                        {{0, 1}, {2, 3, 17}}};
    struct Case {
        const char* what;
        int32_t hardware;
        int32_t shaders;
        std::vector<int> withBuffer;
    } cases[] = {
        {"hardware vertex processing, fixed function", 1, 0, {0}},
        {"hardware vertex processing with shaders", 1, 1, {0, 1, 3}},
        {"software vertex processing with shaders", 0, 1, {1, 3}},
        {"software vertex processing alone", 0, 0, {}},
    };
    for (const Case& c : cases) {
        const int32_t id = AddBase(plan);
        const int32_t model = AddModel(id);
        Device().hardwareVertexProcessing = c.hardware;
        Cache().shadersInUse = c.shaders;
        EXPECT_EQ(CreateModelDynamicBuffers(model), 0) << c.what;
        const ModelRecord* r = FindModel(model);
        for (int list = 0; list < 4; ++list) {
            const bool expected = std::find(c.withBuffer.begin(), c.withBuffer.end(), list) != c.withBuffer.end();
            EXPECT_EQ(r->dynamicBuffers[list].vertexBuffer != nullptr, expected) << c.what << " list " << list;
            EXPECT_EQ(r->dynamicBuffers[list].refill, expected ? 1 : 0) << c.what << " list " << list;
        }
        EXPECT_EQ(r->buffersDirty, c.withBuffer.empty() ? 0 : 1) << c.what;
        if (!c.withBuffer.empty()) {
            D3DVERTEXBUFFER_DESC desc{};
            r->dynamicBuffers[c.withBuffer[0]].vertexBuffer->GetDesc(&desc);
            EXPECT_EQ(desc.Usage, static_cast<DWORD>(0x208)) << c.what;
            const UINT sizes[4] = {3 * 64, 4 * 52, 0, 5 * (72 + 16)};
            EXPECT_EQ(desc.Size, sizes[c.withBuffer[0]]) << c.what;
        }
        const ULONG references = DeviceReferences();
        EXPECT_EQ(ReleaseModelDynamicBuffers(model), 0) << c.what;
        EXPECT_EQ(DeviceReferences(), references - c.withBuffer.size()) << c.what;
        EXPECT_EQ(DeleteModel(model), 0);
        EXPECT_EQ(DeleteModelBase(id), 0);
    }
}

TEST_F(ModelBufferTest, ReleaseAndRestoreOfEveryBase) {
    const int32_t first = AddBase(BasePlan{{{0, -1, 0, 3, 3, 1}}, {}, {{0}}});
    const int32_t second = AddBase(BasePlan{{{0, -1, 2, 4, 6}}});
    ReserveModelBaseSlot();
    const int32_t model = AddModel(first);
    ReserveModelSlot();
    ASSERT_EQ(BuildModelBaseBuffers(first, 0), 0);
    ASSERT_EQ(BuildModelBaseBuffers(second, 0), 0);
    ASSERT_NE(FindModel(model)->dynamicBuffers[0].vertexBuffer, nullptr) << "made with the base's build";
    const ULONG references = DeviceReferences();
    EXPECT_EQ(ReleaseAllModelBuffers(), 0);
    EXPECT_EQ(DeviceReferences(), references - 5);
    for (int32_t id : {first, second}) {
        EXPECT_EQ(FindModelBase(id)->buffersBuilt, 0);
        EXPECT_EQ(FindModelBase(id)->bufferRecordCount, 0);
        EXPECT_EQ(FindModelBase(id)->triangleLists[0].buffer, nullptr);
    }
    EXPECT_EQ(FindModel(model)->dynamicBuffers[0].vertexBuffer, nullptr);
    EXPECT_EQ(RestoreModelBuffers(), 0);
    EXPECT_EQ(DeviceReferences(), references);
    for (int32_t id : {first, second}) {
        EXPECT_EQ(FindModelBase(id)->buffersBuilt, 1);
        EXPECT_EQ(FindModelBase(id)->buildArgument, 1);
    }
    EXPECT_NE(FindModel(model)->dynamicBuffers[0].vertexBuffer, nullptr);
    EXPECT_EQ(ReleaseModelBaseBuffers(second), 0);
    EXPECT_EQ(ReleaseModelBaseBuffers(second), 0) << "not built: nothing to do";
}

}  // namespace
}  // namespace model_test
