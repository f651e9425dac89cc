// The framework on its own: media type values, the allocator and its
// samples, and the asynchronous reader's requests.
#include "memory_source.h"
#include "platform/kernel32/kernel32.h"

#include <gtest/gtest.h>

#include <thread>

namespace dshowtest {
namespace {

MediaTypeValue Type(const GUID& major, const GUID& sub, const GUID& format, std::vector<uint8_t> block = {}) {
    MediaTypeValue t;
    t.majortype = major;
    t.subtype = sub;
    t.formattype = format;
    if (!block.empty()) t.SetFormat(block.data(), static_cast<ULONG>(block.size()));
    return t;
}

TEST(MediaTypeValueTest, CopiesOwnTheirFormatAndCompareByIt) {
    MediaTypeValue a = Type(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, {1, 2, 3});
    MediaTypeValue b(a);
    ASSERT_NE(a.pbFormat, b.pbFormat);
    EXPECT_TRUE(b.Equals(a));
    b.pbFormat[2] = 9;
    EXPECT_FALSE(b.Equals(a));
    AM_MEDIA_TYPE* heap = CreateMediaType(&a);
    ASSERT_NE(heap, nullptr);
    EXPECT_TRUE(a.Equals(*heap));
    DeleteMediaType(heap);
    b.Clear();
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(b.pbFormat, nullptr);
}

TEST(MediaTypeValueTest, NullGuidsMatchAnything) {
    const MediaTypeValue offered = Type(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx);
    const struct {
        const char* what;
        MediaTypeValue wanted;
        bool matches;
    } cases[] = {
        {"empty", Type(GUID_NULL, GUID_NULL, GUID_NULL), true},
        {"major only", Type(MEDIATYPE_Audio, GUID_NULL, GUID_NULL), true},
        {"other major", Type(MEDIATYPE_Video, GUID_NULL, GUID_NULL), false},
        {"other subtype", Type(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Audio, GUID_NULL), false},
        {"all three", Type(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx), true},
        {"other format", Type(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_VideoInfo), false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.wanted.MatchesPartial(offered), c.matches) << c.what;
}

class AllocatorTest : public ::testing::Test {
protected:
    void SetUp() override { allocator->AddRef(); }
    void TearDown() override { allocator->Release(); }
    HRESULT Set(LONG buffers, LONG size, LONG align, LONG prefix = 0) {
        ALLOCATOR_PROPERTIES want{buffers, size, align, prefix}, got{};
        return allocator->SetProperties(&want, &got);
    }
    MemoryAllocator* allocator = new MemoryAllocator("test", nullptr, nullptr);
};

TEST_F(AllocatorTest, PropertiesAreCheckedAndFixedOnceCommitted) {
    const struct {
        const char* what;
        LONG buffers, size, align;
        HRESULT expected;
    } cases[] = {
        {"alignment 0", 1, 16, 0, VFW_E_BADALIGN},
        {"alignment 3", 1, 16, 3, VFW_E_BADALIGN},
        {"negative size", 1, -1, 1, E_INVALIDARG},
        {"two of 16 bytes, aligned to 8", 2, 16, 8, S_OK},
    };
    for (const auto& c : cases) EXPECT_EQ(Set(c.buffers, c.size, c.align), c.expected) << c.what;
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(allocator->Commit(), S_OK);
    EXPECT_EQ(Set(1, 8, 1), VFW_E_ALREADY_COMMITTED);
}

TEST_F(AllocatorTest, SamplesComeBackAndDecommitWakesAWaiter) {
    ASSERT_EQ(Set(2, 100, 16, 4), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    IMediaSample *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&a, nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(allocator->GetBuffer(&b, nullptr, nullptr, 0), S_OK);
    BYTE *pa, *pb;
    a->GetPointer(&pa);
    b->GetPointer(&pb);
    EXPECT_EQ(std::abs(pa - pb), 112);  // 100 + prefix 4, rounded up to 16
    EXPECT_EQ(a->GetSize(), 100);
    EXPECT_EQ(allocator->GetBuffer(&c, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    a->Release();
    ASSERT_EQ(allocator->GetBuffer(&c, nullptr, nullptr, AM_GBF_NOWAIT), S_OK);
    HRESULT waited = S_OK;
    std::thread waiter([&] {
        IMediaSample* d = nullptr;
        waited = allocator->GetBuffer(&d, nullptr, nullptr, 0);
    });
    allocator->Decommit();
    waiter.join();
    EXPECT_EQ(waited, VFW_E_NOT_COMMITTED);
    b->Release();
    c->Release();
}

TEST_F(AllocatorTest, SamplesKeepTimesLengthAndTypeChanges) {
    ASSERT_EQ(Set(1, 10, 1), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    IMediaSample* s = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME start = 5, stop = 9;
    EXPECT_EQ(s->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);
    start = 5;
    s->SetTime(&start, nullptr);
    EXPECT_EQ(s->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(stop, 6);
    EXPECT_EQ(s->SetActualDataLength(11), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(s->SetActualDataLength(10), S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(s->GetMediaType(&type), S_FALSE);
    MediaTypeValue pcm = Type(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, {7});
    s->SetMediaType(&pcm);
    ASSERT_EQ(s->GetMediaType(&type), S_OK);
    EXPECT_TRUE(pcm.Equals(*type));
    DeleteMediaType(type);
    s->Release();  // back on the free list, its type and length forgotten
    ASSERT_EQ(allocator->GetBuffer(&s, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(s->GetActualDataLength(), 0);
    EXPECT_EQ(s->GetMediaType(&type), S_FALSE);
    s->Release();
}

class AsyncReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 1000; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
        stream = std::make_unique<MemoryStream>(bytes);
        reader = new MemoryReader(stream.get(), MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio);
        reader->AddRef();
        reader->GetPin(0)->QueryInterface(IID_IAsyncReader, reinterpret_cast<void**>(&async));
    }
    void TearDown() override {
        async->Release();
        reader->Release();
    }
    std::vector<uint8_t> bytes;
    std::unique_ptr<MemoryStream> stream;
    MemoryReader* reader = nullptr;
    IAsyncReader* async = nullptr;
};

TEST_F(AsyncReaderTest, OffersItsTypeAndReadsWhatIsThere) {
    MediaTypeValue offered;
    ASSERT_EQ(reader->GetPin(0)->GetMediaType(0, &offered), S_OK);
    EXPECT_TRUE(offered.majortype == MEDIATYPE_Stream && offered.subtype == MEDIASUBTYPE_MPEG1Audio);
    EXPECT_EQ(reader->GetPin(0)->GetMediaType(1, &offered), VFW_S_NO_MORE_ITEMS);
    LONGLONG total = 0, available = 0;
    ASSERT_EQ(async->Length(&total, &available), S_OK);
    EXPECT_EQ(total, 1000);
    const struct {
        const char* what;
        LONGLONG at;
        LONG length;
        HRESULT expected;
    } cases[] = {
        {"inside", 10, 20, S_OK}, {"across the end", 990, 20, S_FALSE}, {"at the end", 1000, 4, S_FALSE},
        {"past the end", 1001, 4, S_FALSE}, {"before the start", -1, 4, E_INVALIDARG},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out(static_cast<size_t>(c.length), 0xEE);
        EXPECT_EQ(async->SyncRead(c.at, c.length, out.data()), c.expected) << c.what;
        if (c.expected == S_OK) {
            EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + c.at)) << c.what;
        }
    }
}

TEST_F(AsyncReaderTest, QueuedRequestsComeBackFilledInOrder) {
    auto* allocator = new MemoryAllocator("requests", nullptr, nullptr);
    allocator->AddRef();
    ALLOCATOR_PROPERTIES want{2, 100, 1, 0};
    IMemAllocator* actual = nullptr;
    ASSERT_EQ(async->RequestAllocator(allocator, &want, &actual), S_OK);
    ASSERT_EQ(actual->Commit(), S_OK);
    IMediaSample *a = nullptr, *b = nullptr, *got = nullptr;
    actual->GetBuffer(&a, nullptr, nullptr, 0);
    actual->GetBuffer(&b, nullptr, nullptr, 0);
    REFERENCE_TIME start = 100 * 10000000LL, stop = 150 * 10000000LL;
    a->SetTime(&start, &stop);
    start = 0, stop = 100 * 10000000LL;
    b->SetTime(&start, &stop);
    ASSERT_EQ(async->Request(a, 1), S_OK);
    ASSERT_EQ(async->Request(b, 2), S_OK);
    DWORD_PTR user = 0;
    for (DWORD_PTR expected : {DWORD_PTR{1}, DWORD_PTR{2}}) {
        ASSERT_EQ(async->WaitForNext(5000, &got, &user), S_OK);
        EXPECT_EQ(user, expected);
        BYTE* p;
        got->GetPointer(&p);
        EXPECT_EQ(got->GetActualDataLength(), expected == 1 ? 50 : 100);
        EXPECT_EQ(p[0], bytes[expected == 1 ? 100 : 0]);
    }
    EXPECT_EQ(async->WaitForNext(0, &got, &user), VFW_E_TIMEOUT);
    async->BeginFlush();
    EXPECT_EQ(async->Request(a, 3), VFW_E_WRONG_STATE);
    EXPECT_EQ(async->WaitForNext(INFINITE, &got, &user), VFW_E_WRONG_STATE);
    async->EndFlush();
    a->Release();
    b->Release();
    actual->Decommit();
    actual->Release();
    allocator->Release();
}

}  // namespace
}  // namespace dshowtest
