// Vertex-buffer, index-buffer and shader handles: lookups, the high-water
// slot, data writes, deletion at the end of graphics and the device objects
// made again after a device reset.
#include "device_test_util.h"

#include "d3d9/device_handles.h"
#include "platform/seams/seams.h"

#include <vector>

namespace device_test {
namespace {

constexpr uint32_t kVs20[] = {0xFFFE0200, 0x0000FFFF};
constexpr uint32_t kPs20[] = {0xFFFF0200, 0x0000FFFF};
constexpr int32_t kElements = 4;

// Every family through the same calls.
struct Family {
    const char* what;
    int32_t typeBits;
    int capacity;
    int32_t (*add)();
    int (*remove)(int32_t);
    int (*removeAll)();
    int (*highWater)();
    int (*count)();
};
const Family kFamilies[] = {
    {"vertex buffer", kHandleTypeVertexBuffer, kMaxVertexBufferHandles,
     [] { return AddVertexBufferRecord(0, kElements); }, DeleteVertexBuffer, DeleteAllVertexBuffers, [] { return VertexBuffers().HighWater(); },
     [] { return VertexBuffers().Count(); }},
    {"index buffer", kHandleTypeIndexBuffer, kMaxIndexBufferHandles, [] { return AddIndexBufferRecord(0, kElements); },
     DeleteIndexBuffer, DeleteAllIndexBuffers, [] { return IndexBuffers().HighWater(); },
     [] { return IndexBuffers().Count(); }},
    {"shader", kHandleTypeShader, kMaxShaderHandles, [] { return AddShaderRecord(1, kVs20, 2); }, DeleteShader,
     DeleteAllShaders, [] { return Shaders().HighWater(); }, [] { return Shaders().Count(); }},
};

// The two buffer families: their data, device buffer, seams and log lines.
template <typename Record>
std::vector<uint8_t> DeviceBytes(const Record* record) {
    void* p = nullptr;
    const UINT size = static_cast<UINT>(record->elementCount * record->elementSize);
    if (record->deviceBuffer == nullptr || FAILED(record->deviceBuffer->Lock(0, size, &p, D3DLOCK_READONLY))) return {};
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + size);
    record->deviceBuffer->Unlock();
    return bytes;
}
template <typename Record>
std::vector<uint8_t> MemoryBytes(const Record* record) {
    return std::vector<uint8_t>(record->data, record->data + record->elementCount * record->elementSize);
}

struct BufferFamily {
    const char* what;
    int32_t elementSize;
    int32_t (*add)(int32_t type, int32_t count);
    int (*set)(int32_t start, const void* source, int32_t count, int32_t handle);
    std::vector<uint8_t> (*memory)(int32_t handle);
    std::vector<uint8_t> (*device)(int32_t handle);  // empty without a device buffer
    const char* lockSeam;
    const char* lockLine;  // the log file ends its lines with CR LF
    const char* createSeam;
    const char* createLine;
};
const BufferFamily kBuffers[] = {
    {"vertex buffer", kVertexType3DSize, AddVertexBufferRecord, SetVertexBufferData,
     [](int32_t h) { return MemoryBytes(VertexBuffers().Find(h)); },
     [](int32_t h) { return DeviceBytes(VertexBuffers().Find(h)); }, "IDirect3DVertexBuffer9::Lock",
     "頂点バッファのロックに失敗しました", "IDirect3DDevice9::CreateVertexBuffer",
     "頂点バッファの作成に失敗しました"},
    {"index buffer", 2, AddIndexBufferRecord, SetIndexBufferData,
     [](int32_t h) { return MemoryBytes(IndexBuffers().Find(h)); },
     [](int32_t h) { return DeviceBytes(IndexBuffers().Find(h)); }, "IDirect3DIndexBuffer9::Lock",
     "インデックスバッファのロックに失敗しました", "IDirect3DDevice9::CreateIndexBuffer",
     "インデックスバッファの作成に失敗しました"},
};

std::vector<uint8_t> Pattern(size_t bytes, uint8_t seed) {
    std::vector<uint8_t> v(bytes);
    for (size_t i = 0; i < bytes; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

// The device started with shader model 2.0, so with hardware vertex processing.
class DeviceHandlesTest : public DeviceTest {
protected:
    void SetUp() override {
        d3d9::SetShaderModel(2, 0);
        DeviceTest::SetUp();
        ASSERT_EQ(Device().hardwareVertexProcessing, 1);
        for (const Family& f : kFamilies) ASSERT_EQ(f.highWater(), 0) << f.what;
    }
    void TearDown() override {
        DeviceTest::TearDown();
        d3d9::ResetShaderModel();
    }
    // Loses the device and makes it again, with the shader model given.
    static void ResetDevice(UINT shaderModel) {
        d3d9::SetShaderModel(shaderModel, 0);
        d3d9::LoseDevice(nullptr, 1);
        ASSERT_EQ(ResetGraphicsDevice(0), 0);
        ASSERT_EQ(Device().device->TestCooperativeLevel(), D3D_OK);
    }
};

TEST_F(DeviceHandlesTest, EveryFamilyRefusesHandlesThatAreNotLive) {
    for (const Family& f : kFamilies) {
        const int32_t h = f.add();
        ASSERT_GE(h, 0) << f.what;
        const int32_t check = (h & kHandleCheckMask) >> kHandleCheckShift, slot = h & kHandleSlotMask;
        const int32_t other = f.typeBits == kHandleTypeShader ? kHandleTypeVertexBuffer : kHandleTypeShader;
        struct Case {
            const char* what;
            int32_t handle;
        } cases[] = {
            {"negative", -1},
            {"bit 31 set", static_cast<int32_t>(static_cast<uint32_t>(h) | 0x80000000u)},
            {"another family's type", (h & ~kHandleTypeMask) | other},
            {"slot past the table", f.typeBits | check << kHandleCheckShift | f.capacity},
            {"empty slot", h + 1},
            {"stale check", f.typeBits | ((check + 1) % kHandleCheckLimit) << kHandleCheckShift | slot},
        };
        for (const Case& c : cases) {
            EXPECT_EQ(f.remove(c.handle), -1) << f.what << ": " << c.what;
            EXPECT_EQ(f.count(), 1) << f.what << ": " << c.what;
        }
        EXPECT_EQ(f.remove(h), 0) << f.what;
        EXPECT_EQ(f.remove(h), -1) << f.what << ": deleted";
    }
    const uint8_t bytes[96] = {};
    for (const BufferFamily& b : kBuffers) {
        const int32_t h = b.add(0, kElements);
        EXPECT_EQ(b.set(0, bytes, 1, h ^ 1 << kHandleCheckShift), -1) << b.what << ": stale check";
        EXPECT_EQ(b.set(0, bytes, 1, -1), -1) << b.what << ": negative";
    }
}

TEST_F(DeviceHandlesTest, DeletingTheHighestSlotLowersTheHighWaterSlot) {
    struct Case {
        const char* what;
        std::vector<int> live;  // of slots 0 to 5, the ones kept before the delete
        int deleted;
        int highWater;
    } cases[] = {
        {"only live buffer in slot 5", {5}, 5, 0},
        {"slot 5 while slot 2 is live", {2, 5}, 5, 3},
        {"slot 2 while slot 5 is live", {2, 5}, 2, 6},
    };
    for (const Family& f : kFamilies) {
        for (const Case& c : cases) {
            int32_t handles[6];
            for (int32_t& h : handles) h = f.add();
            for (int slot = 0; slot < 6; ++slot)
                if (std::find(c.live.begin(), c.live.end(), slot) == c.live.end()) f.remove(handles[slot]);
            ASSERT_EQ(f.highWater(), 6) << f.what << ": " << c.what;
            ASSERT_EQ(f.remove(handles[c.deleted]), 0) << f.what << ": " << c.what;
            EXPECT_EQ(f.highWater(), c.highWater) << f.what << ": " << c.what;
            // A new handle takes the high-water slot.
            const int32_t next = f.add();
            EXPECT_EQ(next & kHandleSlotMask, c.highWater) << f.what << ": " << c.what;
            EXPECT_EQ(f.removeAll(), 0) << f.what << ": " << c.what;
            EXPECT_EQ(f.count(), 0) << f.what << ": " << c.what;
            EXPECT_EQ(f.highWater(), 0) << f.what << ": " << c.what;
        }
    }
}

TEST_F(DeviceHandlesTest, CreationRefusesBadValuesAndLeavesNothingBehind) {
    static constexpr uint32_t unended[] = {0xFFFE0200, 0};
    static constexpr uint32_t tooNew[] = {0xFFFE0300, 0x0000FFFF};  // above the device's shader model
    struct Case {
        const char* what;
        int32_t (*add)();
        const char* seam;
    } cases[] = {
        {"unknown vertex type", [] { return AddVertexBufferRecord(1, 4); }, nullptr},
        {"no vertices", [] { return AddVertexBufferRecord(0, 0); }, nullptr},
        {"negative index count", [] { return AddIndexBufferRecord(0, -3); }, nullptr},
        {"unknown index type", [] { return AddIndexBufferRecord(2, 4); }, nullptr},
        {"too large", [] { return AddIndexBufferRecord(1, 0x7FFFFFFF); }, nullptr},
        {"no memory", [] { return AddVertexBufferRecord(0, 4); }, "AllocMemory"},
        {"device refuses the buffer", [] { return AddIndexBufferRecord(0, 4); }, "IDirect3DDevice9::CreateIndexBuffer"},
        {"no tokens", [] { return AddShaderRecord(1, nullptr, 2); }, nullptr},
        {"no end token", [] { return AddShaderRecord(1, unended, 2); }, nullptr},
        {"device refuses the code", [] { return AddShaderRecord(1, tooNew, 2); }, nullptr},
    };
    const uint32_t blocks = AllocatedBlockCount();
    for (const Case& c : cases) {
        if (c.seam != nullptr) seams::FailCall(c.seam);
        EXPECT_EQ(c.add(), -1) << c.what;
        if (c.seam != nullptr) seams::ClearCall(c.seam);
        EXPECT_EQ(AllocatedBlockCount(), blocks) << c.what;
        for (const Family& f : kFamilies) EXPECT_EQ(f.highWater(), 0) << c.what << ": " << f.what;
    }
    // What is made: the device objects of the types' formats.
    const VertexBufferRecord* v = VertexBuffers().Find(AddVertexBufferRecord(0, 3));
    const IndexBufferRecord* i = IndexBuffers().Find(AddIndexBufferRecord(kIndexType32, 5));
    const ShaderRecord* s = Shaders().Find(AddShaderRecord(0, kPs20, 2));
    ASSERT_TRUE(v != nullptr && i != nullptr && s != nullptr);
    D3DVERTEXBUFFER_DESC vd{};
    D3DINDEXBUFFER_DESC id{};
    ASSERT_EQ(v->deviceBuffer->GetDesc(&vd), D3D_OK);
    ASSERT_EQ(i->deviceBuffer->GetDesc(&id), D3D_OK);
    EXPECT_EQ(vd.Size, 3u * 48);
    EXPECT_EQ(vd.FVF, 0x2D2u);
    EXPECT_EQ(vd.Usage, static_cast<DWORD>(D3DUSAGE_WRITEONLY));
    EXPECT_EQ(vd.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(id.Size, 5u * 4);
    EXPECT_EQ(id.Format, D3DFMT_INDEX32);
    EXPECT_NE(s->object, nullptr);
}

TEST_F(DeviceHandlesTest, WritesInsideTheBufferReachBothCopies) {
    struct Case {
        const char* what;
        int32_t start, count;
        int result;
    } cases[] = {
        {"whole buffer", 0, kElements, 0},          {"last element", kElements - 1, 1, 0},
        {"one element more", 0, kElements + 1, -1}, {"past the end", 1, kElements, -1},
        {"negative start", -1, 1, -1},              {"negative count", 0, -1, -1},
        {"nothing", kElements, 0, 0},
    };
    for (const BufferFamily& b : kBuffers) {
        const int32_t h = b.add(0, kElements);
        ASSERT_FALSE(b.device(h).empty()) << b.what;
        std::vector<uint8_t> expected(static_cast<size_t>(kElements * b.elementSize), 0);
        uint8_t seed = 1;
        for (const Case& c : cases) {
            const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements + 1) * b.elementSize, seed++);
            EXPECT_EQ(b.set(c.start, source.data(), c.count, h), c.result) << b.what << ": " << c.what;
            if (c.result == 0)
                std::copy_n(source.begin(), c.count * b.elementSize, expected.begin() + c.start * b.elementSize);
            EXPECT_EQ(b.memory(h), expected) << b.what << ": " << c.what;
            EXPECT_EQ(b.device(h), expected) << b.what << ": " << c.what;
        }
        EXPECT_EQ(b.set(0, nullptr, 1, h), -1) << b.what << ": no source";
    }
}

TEST_F(DeviceHandlesTest, AFailedLockIsLoggedAndWritesNothing) {
    for (const BufferFamily& b : kBuffers) {
        const int32_t h = b.add(0, kElements);
        const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements) * b.elementSize, 9);
        MarkLog();
        seams::FailCall(b.lockSeam, 1);
        EXPECT_EQ(b.set(0, source.data(), kElements, h), -1) << b.what;
        EXPECT_NE(NewLog().find(b.lockLine), std::string::npos) << b.what;
        const std::vector<uint8_t> zero(source.size(), 0);
        EXPECT_EQ(b.memory(h), zero) << b.what;
        EXPECT_EQ(b.device(h), zero) << b.what;
        // The next lock works again.
        EXPECT_EQ(b.set(0, source.data(), kElements, h), 0) << b.what;
        EXPECT_EQ(b.memory(h), source) << b.what;
    }
}

TEST_F(DeviceHandlesTest, BulkDeletionWaitsForGraphicsAndEndGraphicsDeletesEverything) {
    for (const Family& f : kFamilies)
        for (int i = 0; i < 3; ++i) ASSERT_GE(f.add(), 0) << f.what;
    EndLibrary();  // the fixture's end checks that their memory went too
    for (const Family& f : kFamilies) {
        EXPECT_EQ(f.count(), 0) << f.what;
        EXPECT_EQ(f.highWater(), 0) << f.what;
    }
    // Before graphics starts the bulk deletion does nothing, and no device buffer is made.
    ASSERT_EQ(Device().device, nullptr);
    EXPECT_EQ(CreateDeviceVertexBuffer(48, 0, 0x2D2, D3DPOOL_MANAGED), nullptr);
    EXPECT_EQ(CreateDeviceIndexBuffer(8, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED), nullptr);
    for (const Family& f : kFamilies) {
        const int32_t h = f.add();
        ASSERT_GE(h, 0) << f.what;
        EXPECT_EQ(f.removeAll(), 0) << f.what;
        EXPECT_EQ(f.count(), 1) << f.what;
        EXPECT_EQ(f.remove(h), 0) << f.what;
    }
}

TEST_F(DeviceHandlesTest, AResetMakesEveryDeviceObjectAgainWithItsData) {
    std::vector<int32_t> buffers;
    for (const BufferFamily& b : kBuffers) {
        buffers.push_back(b.add(0, kElements));
        const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements) * b.elementSize, 40);
        ASSERT_EQ(b.set(0, source.data(), kElements, buffers.back()), 0) << b.what;
    }
    const int32_t shaders[] = {AddShaderRecord(1, kVs20, 2), AddShaderRecord(0, kPs20, 2)};
    ResetDevice(2);
    for (size_t i = 0; i < std::size(kBuffers); ++i) {
        const BufferFamily& b = kBuffers[i];
        const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements) * b.elementSize, 40);
        EXPECT_EQ(b.memory(buffers[i]), source) << b.what;
        EXPECT_EQ(b.device(buffers[i]), source) << b.what;
    }
    for (int32_t h : shaders) {
        const ShaderRecord* s = Shaders().Find(h);
        ASSERT_NE(s, nullptr);
        ASSERT_NE(s->object, nullptr) << s->vertexShader;
        IDirect3DDevice9* owner = nullptr;
        if (s->vertexShader) static_cast<IDirect3DVertexShader9*>(s->object)->GetDevice(&owner);
        else static_cast<IDirect3DPixelShader9*>(s->object)->GetDevice(&owner);
        EXPECT_EQ(owner, Device().device) << "made on the new device";
        if (owner != nullptr) owner->Release();
    }
}

TEST_F(DeviceHandlesTest, ReleaseAndRestoreGoThroughTheLiveRecordsOnly) {
    const char* creators[] = {"CreateVertexBuffer", "CreateIndexBuffer", "CreateVertexShader", "CreatePixelShader"};
    ASSERT_EQ(RestoreDeviceResources(), 0);
    for (const char* c : creators) EXPECT_TRUE(CallsStarting(c).empty()) << c << " with no records";
    const int32_t deleted = AddVertexBufferRecord(0, kElements);
    VertexBufferRecord* v = VertexBuffers().Find(AddVertexBufferRecord(0, kElements));
    IndexBufferRecord* i = IndexBuffers().Find(AddIndexBufferRecord(0, kElements));
    ShaderRecord* s = Shaders().Find(AddShaderRecord(0, kPs20, 2));
    ASSERT_TRUE(v != nullptr && i != nullptr && s != nullptr);
    ASSERT_EQ(DeleteVertexBuffer(deleted), 0);  // an empty slot below the high-water slot
    ASSERT_EQ(ReleaseDeviceResources(), 0);
    EXPECT_EQ(v->deviceBuffer, nullptr);
    EXPECT_EQ(i->deviceBuffer, nullptr);
    EXPECT_EQ(s->object, nullptr);
    d3d9::ClearRecordedCalls();
    ASSERT_EQ(RestoreDeviceResources(), 0);
    EXPECT_NE(v->deviceBuffer, nullptr);
    EXPECT_NE(i->deviceBuffer, nullptr);
    EXPECT_NE(s->object, nullptr);
    for (const char* c : creators) EXPECT_EQ(CallsStarting(c).size(), strcmp(c, "CreateVertexShader") ? 1u : 0u) << c;
}

TEST_F(DeviceHandlesTest, WithoutHardwareVertexProcessingBuffersLiveInMemoryOnly) {
    std::vector<int32_t> buffers;
    for (const BufferFamily& b : kBuffers) buffers.push_back(b.add(0, kElements));
    const int32_t shader = AddShaderRecord(1, kVs20, 2);
    MarkLog();
    ResetDevice(1);  // shader model 1.1: software vertex processing, and vs_2_0 refused
    ASSERT_EQ(Device().hardwareVertexProcessing, 0);
    for (size_t i = 0; i < std::size(kBuffers); ++i) {
        const BufferFamily& b = kBuffers[i];
        EXPECT_TRUE(b.device(buffers[i]).empty()) << b.what;
        const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements) * b.elementSize, 3);
        EXPECT_EQ(b.set(0, source.data(), kElements, buffers[i]), 0) << b.what;
        EXPECT_EQ(b.memory(buffers[i]), source) << b.what;
    }
    ASSERT_NE(Shaders().Find(shader), nullptr) << "the record stays";
    EXPECT_EQ(Shaders().Find(shader)->object, nullptr);
    EXPECT_NE(NewLog().find("シェーダーの作成に失敗しました"), std::string::npos);
}

TEST_F(DeviceHandlesTest, AFailedRecreationIsLoggedAndKeepsTheRecord) {
    for (const BufferFamily& b : kBuffers) {
        const int32_t h = b.add(0, kElements);
        const std::vector<uint8_t> source = Pattern(static_cast<size_t>(kElements) * b.elementSize, 77);
        ASSERT_EQ(b.set(0, source.data(), kElements, h), 0) << b.what;
        MarkLog();
        seams::FailCall(b.createSeam);
        ResetDevice(2);
        seams::ClearCall(b.createSeam);
        EXPECT_NE(NewLog().find(b.createLine), std::string::npos) << b.what;
        EXPECT_TRUE(b.device(h).empty()) << b.what;
        EXPECT_EQ(b.memory(h), source) << b.what << ": the memory copy stays";
        // The next reset brings the device buffer back with the data.
        ResetDevice(2);
        EXPECT_EQ(b.device(h), source) << b.what;
    }
}

}  // namespace
}  // namespace device_test
