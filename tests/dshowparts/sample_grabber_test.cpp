// The sample grabber: which input types it accepts, the callback with its
// times and type-changed flag, the type its input offers, and the delivery
// buffer with its private allocator.
#include "dshowparts_test_util.h"
#include "sound/sample_grabber.h"

namespace {

using dstest::Bytes;
using dstest::Sample;
using dstest::TypeOf;

// A grabber held by the test as a graph would hold it.
class SampleGrabberTest : public ::testing::Test {
protected:
    void SetUp() override {
        HRESULT result = E_FAIL;
        grabber_ = CreateSampleGrabber(nullptr, &result);
        ASSERT_NE(grabber_, nullptr);
        ASSERT_EQ(result, S_OK);
        grabber_->AddRef();
    }
    void TearDown() override {
        grabber_->Release();
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << "the last reference deletes the grabber";
    }

    struct Call {
        REFERENCE_TIME start, stop;
        int32_t typeChanged;
        BYTE* data;
    };
    static HRESULT Record(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, int32_t changed,
                          void* user) {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        static_cast<std::vector<Call>*>(user)->push_back({*start, *stop, changed, data});
        return S_OK;
    }

    D_CSampleGrabber* grabber_ = nullptr;
};

TEST_F(SampleGrabberTest, TheAcceptedTypeDecidesWhatTheInputTakes) {
    const GUID pcmFormat = FORMAT_WaveFormatEx;
    const struct Case {
        const char* what;
        bool acceptedSet;
        MediaTypeValue accepted;
        MediaTypeValue offered;
        HRESULT result;
    } cases[] = {
        {"nothing set: any type", false, {}, TypeOf(MEDIATYPE_Video, MEDIASUBTYPE_RGB24), S_OK},
        {"reset by null: any type", true, {}, TypeOf(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio), S_OK},
        {"major only: any subtype", true, TypeOf(MEDIATYPE_Audio, GUID_NULL),
         TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Audio), S_OK},
        {"major only: another major", true, TypeOf(MEDIATYPE_Audio, GUID_NULL),
         TypeOf(MEDIATYPE_Video, MEDIASUBTYPE_RGB24), VFW_E_INVALID_MEDIA_TYPE},
        {"PCM audio: PCM with any format", true, TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM),
         TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, pcmFormat), S_OK},
        {"PCM audio: MPEG audio", true, TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM),
         TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1Audio), VFW_E_INVALID_MEDIA_TYPE},
        {"full: other format", true, TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, pcmFormat),
         TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_VideoInfo), VFW_E_INVALID_MEDIA_TYPE},
        {"full: same", true, TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, pcmFormat),
         TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, pcmFormat), S_OK},
    };
    for (const Case& c : cases) {
        if (c.acceptedSet) {
            const bool reset = c.accepted.IsEmpty();
            ASSERT_EQ(grabber_->SetAcceptedMediaType(reset ? nullptr : &c.accepted), S_OK) << c.what;
        }
        EXPECT_EQ(grabber_->CheckInputType(&c.offered), c.result) << c.what;
        // The input offers the accepted major type only.
        MediaTypeValue offered;
        ASSERT_EQ(grabber_->InputPin()->GetMediaType(0, &offered), S_OK) << c.what;
        EXPECT_TRUE(offered.majortype == c.accepted.majortype) << c.what;
        EXPECT_TRUE(offered.subtype == GUID_NULL) << c.what;
    }
    EXPECT_EQ(grabber_->CheckInputType(nullptr), E_POINTER);
    MediaTypeValue type;
    EXPECT_EQ(grabber_->InputPin()->GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(grabber_->InputPin()->GetMediaType(1, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(grabber_->InputPin()->GetMediaType(0, nullptr), E_POINTER);
}

TEST_F(SampleGrabberTest, TheCallbackSeesEverySampleWithSegmentTimesAndOneTypeChange) {
    std::vector<Call> calls;
    Sample untouched({1, 2, 3, 4});
    // No callback: the sample goes on as it came.
    EXPECT_EQ(grabber_->Transform(untouched.get()), S_OK);
    EXPECT_EQ(untouched.bytes(), (Bytes{1, 2, 3, 4}));

    ASSERT_EQ(grabber_->SetCallback(Record, &calls), S_OK);
    grabber_->InputPin()->NewSegment(1000, 900000, 1.0);
    const MediaTypeValue pcm = TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_PCM);
    ASSERT_EQ(grabber_->InputPin()->SetMediaType(&pcm), S_OK);
    Sample first(Bytes(16, 7)), second(Bytes(16, 9));
    REFERENCE_TIME start = 50, stop = 80;
    first.get()->SetTime(&start, &stop);
    ASSERT_EQ(grabber_->Transform(first.get()), S_OK);
    ASSERT_EQ(grabber_->Transform(second.get()), S_OK);  // no times: left as 0
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].start, 1050);
    EXPECT_EQ(calls[0].stop, 1080);
    EXPECT_EQ(calls[0].typeChanged, 1);
    EXPECT_EQ(calls[0].data, first.bytes().data()) << "the sample itself, not a copy";
    EXPECT_EQ(calls[1].start, 1000);
    EXPECT_EQ(calls[1].typeChanged, 0);
    EXPECT_EQ(first.bytes(), Bytes(16, 7));
    EXPECT_EQ(grabber_->Transform(nullptr), E_POINTER);
}

TEST_F(SampleGrabberTest, TheGrabberAnswersForItsOwnInterfaceAndUnconnectedInput) {
    D_ISampleGrabber* control = nullptr;
    ASSERT_EQ(grabber_->QueryInterface(IID_D_ISampleGrabber, reinterpret_cast<void**>(&control)), S_OK);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(control->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(static_cast<IBaseFilter*>(grabber_), filter);
    CLSID clsid{};
    filter->GetClassID(&clsid);
    EXPECT_TRUE(clsid == CLSID_D_CSampleGrabber);
    AM_MEDIA_TYPE connected{};
    EXPECT_EQ(control->GetConnectedMediaType(&connected), VFW_E_NOT_CONNECTED);
    filter->Release();
    control->Release();
    EXPECT_EQ(grabber_->GetPinCount(), 2);
    EXPECT_EQ(grabber_->GetPin(0)->Name(), u"Input");
    EXPECT_EQ(grabber_->GetPin(1)->Name(), u"Output");
}

TEST_F(SampleGrabberTest, ADeliveryBufferTakesOneBufferAndItsOwnAllocator) {
    Bytes buffer(4096);
    const ALLOCATOR_PROPERTIES one{1, 1000, 8, 16};
    EXPECT_EQ(grabber_->SetDeliveryBuffer(ALLOCATOR_PROPERTIES{2, 1000, 8, 16}, buffer.data()), E_INVALIDARG);
    EXPECT_EQ(grabber_->SetDeliveryBuffer(one, nullptr), E_POINTER);
    ASSERT_EQ(grabber_->SetDeliveryBuffer(one, buffer.data()), S_OK);
    IMemInputPin* input = grabber_->InputPin();
    ALLOCATOR_PROPERTIES wanted{};
    ASSERT_EQ(input->GetAllocatorRequirements(&wanted), S_OK);
    EXPECT_EQ(wanted.cbBuffer, 1000);
    IMemAllocator* own = nullptr;
    ASSERT_EQ(input->GetAllocator(&own), S_OK);
    auto* other = new MemoryAllocator("other", nullptr, nullptr);
    other->AddRef();
    EXPECT_EQ(input->NotifyAllocator(other, FALSE), E_FAIL) << "only the private allocator";
    EXPECT_EQ(input->NotifyAllocator(own, FALSE), S_OK);
    other->Release();

    // The allocator holds to the stored properties and hands out the caller's buffer.
    const struct Case {
        const char* what;
        ALLOCATOR_PROPERTIES request;
        HRESULT result;
    } cases[] = {
        {"other alignment", {1, 1000, 4, 16}, VFW_E_BADALIGN},
        {"other prefix", {1, 1000, 8, 0}, E_FAIL},
        {"larger buffer", {1, 1001, 8, 16}, E_FAIL},
        {"stored", {1, 500, 8, 16}, S_OK},
    };
    for (const Case& c : cases) {
        ALLOCATOR_PROPERTIES request = c.request, actual{};
        EXPECT_EQ(own->SetProperties(&request, &actual), c.result) << c.what;
        if (c.result == S_OK) { EXPECT_EQ(actual.cbBuffer, 1000) << c.what; }
    }
    ASSERT_EQ(own->Commit(), S_OK);
    IMediaSample* sample = nullptr;
    ASSERT_EQ(own->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    EXPECT_EQ(data, buffer.data() + 16) << "after the prefix";
    EXPECT_EQ(sample->GetSize(), 1000);
    sample->Release();
    own->Decommit();
    own->Release();
    EXPECT_EQ(grabber_->SetDeliveryBuffer(one, buffer.data()), S_OK) << "a second buffer replaces the first";
}

TEST(SampleGrabberCreation, AFailedCreationSaysOutOfMemory) {
    seams::FailCall("CreateSampleGrabber", 1);
    HRESULT result = S_OK;
    EXPECT_EQ(CreateSampleGrabber(nullptr, &result), nullptr);
    EXPECT_EQ(result, E_OUTOFMEMORY);
    seams::ClearAllCalls();
}

}  // namespace
