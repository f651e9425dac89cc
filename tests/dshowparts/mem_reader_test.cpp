// The memory stream and reader: positions, reads up to the end, the
// arrival-rate throttle (its sleeps recorded, the clock moved by hand), and
// the reader's output pin with its one media type and IAsyncReader reads.
#include "core/library_hooks.h"
#include "dshowparts_test_util.h"
#include "platform/winmm/winmm.h"
#include "sound/mem_reader.h"

#include <numeric>

namespace {

using dstest::Bytes;

std::vector<DWORD> g_sleeps;

class MemStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        data_.resize(10000);
        std::iota(data_.begin(), data_.end(), 0);
        g_sleeps.clear();
        GetLibraryHooks().sleep = [](DWORD ms) { g_sleeps.push_back(ms); };
    }
    void TearDown() override {
        ResetLibraryHooks();
        platform::SetTimeOffsetForTest(0);
    }

    Bytes Read(D_CMemStream* s, DWORD bytes, DWORD* got) {
        Bytes out(bytes + 1, 0xEE);
        EXPECT_EQ(s->Read(out.data(), bytes, FALSE, got), S_OK);
        out.resize(*got);
        return out;
    }

    Bytes data_;
};

TEST_F(MemStreamTest, PositionsAndReadsStayInsideTheBlock) {
    D_CMemStream* s = CreateMemStream(data_.data(), 10000, 0, kMemStreamUnthrottled);
    ASSERT_NE(s, nullptr);
    const struct Case {
        const char* what;
        LONGLONG position;
        HRESULT set;
        DWORD ask;
        DWORD got;
        LONGLONG readFrom;  // where the bytes come from
    } cases[] = {
        {"start", 0, S_OK, 100, 100, 0},
        {"middle", 5000, S_OK, 10, 10, 5000},
        {"running over the end", 9990, S_OK, 100, 10, 9990},
        {"exactly the end", 10000, S_OK, 100, 0, 10000},
        {"past the end: still at the end", 10001, S_FALSE, 5, 0, 10000},
        {"negative: still at the end", -1, S_FALSE, 5, 0, 10000},
        {"back to the start", 0, S_OK, 3, 3, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(s->SetPointer(c.position), c.set) << c.what;
        DWORD got = 0;
        const Bytes bytes = Read(s, c.ask, &got);
        ASSERT_EQ(got, c.got) << c.what;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), data_.begin() + c.readFrom)) << c.what;
    }
    LONGLONG available = 0;
    EXPECT_EQ(s->Size(&available), 10000);
    EXPECT_EQ(s->Alignment(), 1u);
    EXPECT_TRUE(g_sleeps.empty()) << "an unthrottled stream never sleeps";
    DeleteMemStream(s);
    DeleteMemStream(nullptr);
}

TEST_F(MemStreamTest, AThrottledStreamHandsOutBytesAsTheyArrive) {
    D_CMemStream* s = CreateMemStream(data_.data(), 10000, 0, 1);  // a byte a millisecond
    ASSERT_NE(s, nullptr);
    DWORD got = 0;
    Read(s, 10000, &got);
    ASSERT_EQ(got, 10000u);
    ASSERT_EQ(g_sleeps.size(), 1u);
    EXPECT_GE(g_sleeps[0], 9900u) << "the whole block arrives 10 s after creation";
    EXPECT_LE(g_sleeps[0], 10000u);
    // Five seconds on, half the block has arrived; at twenty, all of it.
    platform::SetTimeOffsetForTest(5000);
    LONGLONG available = 0;
    s->Size(&available);
    EXPECT_GE(available, 5000);
    EXPECT_LT(available, 5100);
    platform::SetTimeOffsetForTest(20000);
    s->Size(&available);
    EXPECT_EQ(available, 10000);
    s->SetPointer(0);
    Read(s, 10000, &got);
    EXPECT_EQ(g_sleeps.size(), 1u) << "bytes that have arrived are read without waiting";
    DeleteMemStream(s);
}

TEST_F(MemStreamTest, TheReaderOffersTheStreamWithItsOneType) {
    D_CMemStream* s = CreateMemStream(data_.data(), 10000, 0, kMemStreamUnthrottled);
    const MediaTypeValue type = dstest::TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio);
    HRESULT result = E_FAIL;
    D_CMemReader* reader = CreateMemReader(s, &type, &result);
    ASSERT_NE(reader, nullptr);
    reader->AddRef();
    IPin* pin = nullptr;
    IEnumPins* pins = nullptr;
    ASSERT_EQ(reader->EnumPins(&pins), S_OK);
    ASSERT_EQ(pins->Next(1, &pin, nullptr), S_OK);
    pins->Release();
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
    AM_MEDIA_TYPE* offered[2] = {};
    ULONG fetched = 0;
    types->Next(2, offered, &fetched);
    ASSERT_EQ(fetched, 1u) << "exactly the type given at creation";
    EXPECT_TRUE(offered[0]->majortype == MEDIATYPE_Stream);
    EXPECT_TRUE(offered[0]->subtype == MEDIASUBTYPE_MPEG1Audio);
    DeleteMediaType(offered[0]);
    types->Release();
    IAsyncReader* async = nullptr;
    ASSERT_EQ(pin->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&async)), S_OK);
    LONGLONG total = 0, available = 0;
    ASSERT_EQ(async->Length(&total, &available), S_OK);
    EXPECT_EQ(total, 10000);
    Bytes read(300);
    ASSERT_EQ(async->SyncRead(9000, 300, read.data()), S_OK);
    EXPECT_TRUE(std::equal(read.begin(), read.end(), data_.begin() + 9000));
    async->Release();
    pin->Release();
    reader->Release();
    EXPECT_EQ(dshow::LiveFiltersForTest(), 0);
    DeleteMemStream(s);
}

TEST_F(MemStreamTest, FailedCreationsSayOutOfMemory) {
    seams::FailCall("CreateMemStream", 1);
    EXPECT_EQ(CreateMemStream(data_.data(), 10, 0, 1), nullptr);
    seams::FailCall("CreateMemReader", 1);
    HRESULT result = S_OK;
    EXPECT_EQ(CreateMemReader(nullptr, nullptr, &result), nullptr);
    EXPECT_EQ(result, E_OUTOFMEMORY);
    seams::ClearAllCalls();
}

}  // namespace
