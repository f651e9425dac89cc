// MP3 in memory through a graph built by Render on a reader's output pin:
// the demultiplexer and decoder are found, the collector lands behind the
// decoder, and the renderer is swapped for the null renderer.
#include "../msacm/codec_encoders.h"
#include "graph_fixture.h"
#include "media_maker.h"
#include "memory_source.h"

namespace dshowtest {
namespace {

// The first filter with a connected input pin and no output pin.
IPin* UpstreamOfRenderer(IGraphBuilder* graph) {
    IEnumFilters* filters = nullptr;
    graph->EnumFilters(&filters);
    IBaseFilter* f = nullptr;
    IPin* upstream = nullptr;
    while (upstream == nullptr && filters->Next(1, &f, nullptr) == S_OK) {
        IEnumPins* pins = nullptr;
        f->EnumPins(&pins);
        IPin* pin = nullptr;
        IPin* in = nullptr;
        bool hasOutput = false;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            PIN_DIRECTION d;
            pin->QueryDirection(&d);
            if (d == PINDIR_OUTPUT) hasOutput = true;
            if (d == PINDIR_INPUT && in == nullptr)
                in = pin;
            else
                pin->Release();
        }
        pins->Release();
        if (!hasOutput && in != nullptr && SUCCEEDED(in->ConnectedTo(&upstream))) {
            graph->Disconnect(upstream);
            graph->Disconnect(in);
        }
        if (in != nullptr) in->Release();
        f->Release();
    }
    filters->Release();
    return upstream;
}

// A renderer that takes samples only from its own allocator, so that a
// transform in front of it must copy each sample over.
class PickySink : public BaseFilter {
public:
    PickySink() : BaseFilter("Picky sink", nullptr, &lock, kCaptureClsid), pin(this) {}
    int GetPinCount() override { return 1; }
    BasePin* GetPin(int index) override { return index == 0 ? &pin : nullptr; }

    struct Pin : BaseInputPin {
        explicit Pin(PickySink* sink) : BaseInputPin("Picky pin", sink, &sink->lock, nullptr, u"In"), owner(sink) {}
        HRESULT CheckMediaType(const MediaTypeValue* t) override {
            return t->majortype == MEDIATYPE_Audio && t->subtype == MEDIASUBTYPE_PCM ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
        }
        HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override {
            IMemAllocator* own = nullptr;
            GetAllocator(&own);
            own->Release();
            return allocator == own ? BaseInputPin::NotifyAllocator(allocator, readOnly) : E_FAIL;
        }
        HRESULT Receive(IMediaSample* sample) override {
            HRESULT hr = BaseInputPin::Receive(sample);
            if (hr != S_OK) return hr;
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            owner->bytes.insert(owner->bytes.end(), data, data + sample->GetActualDataLength());
            return S_OK;
        }
        HRESULT EndOfStream() override {
            owner->NotifyEvent(EC_COMPLETE, S_OK, 0);
            return S_OK;
        }
        PickySink* owner;
    };
    CritSec lock;
    Pin pin;
    std::vector<uint8_t> bytes;
};

class Mp3GraphTest : public GraphTest {
protected:
    // Builds reader -> ... -> collector -> null renderer; false on a failure.
    // keepRenderer leaves the audio renderer Render chose in the chain.
    bool Build(const std::vector<uint8_t>& mp3, Collector* collector, const GUID& subtype = MEDIASUBTYPE_MPEG1Audio,
               bool keepRenderer = false) {
        stream = std::make_unique<MemoryStream>(mp3);
        auto* reader = new MemoryReader(stream.get(), MEDIATYPE_Stream, subtype);
        if (graph->AddFilter(collector, u"Collector") != S_OK || graph->AddFilter(reader, u"MemFile") != S_OK)
            return false;
        renderHr = graph->Render(reader->GetPin(0));
        if (FAILED(renderHr)) return false;
        if (keepRenderer) return true;
        IBaseFilter* null = nullptr;
        CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(&null));
        graph->AddFilter(null, u"Null");
        IPin* upstream = UpstreamOfRenderer(graph);
        IEnumPins* pins = nullptr;
        null->EnumPins(&pins);
        IPin* in = nullptr;
        pins->Next(1, &in, nullptr);
        const HRESULT hr = upstream != nullptr ? graph->Connect(upstream, in) : E_FAIL;
        pins->Release();
        in->Release();
        if (upstream != nullptr) upstream->Release();
        null->Release();
        IMediaFilter* filter = nullptr;
        graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&filter));
        filter->SetSyncSource(nullptr);
        filter->Release();
        return hr == S_OK;
    }
    void TearDown() override {
        GraphTest::TearDown();
        stream.reset();  // after the graph, which reads it
    }
    std::unique_ptr<MemoryStream> stream;
    HRESULT renderHr = S_OK;
};

struct Case {
    const char* what;
    int rate;
    int channels;
};

const Case kRates[] = {
    {"MPEG-1, 44100 Hz stereo", 44100, 2},
    {"MPEG-2, 22050 Hz mono", 22050, 1},
    {"MPEG-2.5, 11025 Hz stereo", 11025, 2},
    {"MPEG-2.5, 8000 Hz mono", 8000, 1},
};

class Mp3VersionTest : public Mp3GraphTest, public ::testing::WithParamInterface<Case> {};

TEST_P(Mp3VersionTest, DecodesToPcmOfItsRate) {
    {
        const Case& c = GetParam();
        SCOPED_TRACE(c.what);
        const int frames = c.rate;  // one second
        auto mp3 = codectest::EncodeMp3(codectest::Tone(frames, c.channels, c.rate), c.channels, c.rate, 32);
        auto* collector = new Collector();
        ASSERT_TRUE(Build(mp3.bytes, collector));
        EXPECT_EQ(RunToEnd(), EC_COMPLETE);
        const WAVEFORMATEX f = collector->Format();
        EXPECT_EQ(f.nSamplesPerSec, static_cast<DWORD>(c.rate));
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.wBitsPerSample, 16);
        // The decoder's delay and padding come on top of the encoded second.
        const size_t got = collector->pcm.size() / (2 * c.channels);
        EXPECT_GE(got, static_cast<size_t>(frames));
        EXPECT_LE(got, static_cast<size_t>(frames) + 3 * 1152);
        int loudest = 0;
        for (size_t i = 0; i + 1 < collector->pcm.size(); i += 2)
            loudest = std::max(loudest, std::abs(int16_t(collector->pcm[i] | (collector->pcm[i + 1] << 8))));
        EXPECT_GT(loudest, 6000);
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, Mp3VersionTest, ::testing::ValuesIn(kRates), [](const auto& info) {
    return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.channels) + "ch";
});

// Only an audio renderer with a connected pin may open the program's audio
// output: the one the null renderer replaced stays in the graph unconnected.
struct OutputCase {
    const char* what;
    const char* name;
    enum { kSwappedOut, kInTheChain, kNeverConnected } renderer;
    bool opens;
};

const OutputCase kOutputs[] = {
    {"renderer swapped for the null renderer", "SwappedOut", OutputCase::kSwappedOut, false},
    {"renderer never connected", "NeverConnected", OutputCase::kNeverConnected, false},
    {"renderer left in the chain", "InTheChain", OutputCase::kInTheChain, true},
};

void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.what; }

class AudioOutputTest : public Mp3GraphTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(AudioOutputTest, OnlyAConnectedRendererOpensTheOutput) {
    const OutputCase& c = GetParam();
    ASSERT_FALSE(sdl::IsAudioOutputOpen());
    if (c.renderer == OutputCase::kNeverConnected) {
        IBaseFilter* renderer = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(&renderer)),
                  S_OK);
        ASSERT_EQ(graph->AddFilter(renderer, u"Audio"), S_OK);
        renderer->Release();
        ASSERT_TRUE(SUCCEEDED(Control()->Run()));
    } else {
        auto mp3 = codectest::EncodeMp3(codectest::Tone(22050, 1, 22050), 1, 22050, 32);
        ASSERT_TRUE(Build(mp3.bytes, new Collector(), MEDIASUBTYPE_MPEG1Audio, c.renderer == OutputCase::kInTheChain));
        ASSERT_EQ(RunToEnd(), EC_COMPLETE) << c.what;
    }
    // Still running: an output the renderer opened stays open until Stop.
    EXPECT_EQ(sdl::IsAudioOutputOpen(), c.opens) << c.what;
    Control()->Stop();
    EXPECT_FALSE(sdl::IsAudioOutputOpen()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Renderers, AudioOutputTest, ::testing::ValuesIn(kOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mp3GraphTest, ACollectorFailureAbortsTheGraph) {
    auto mp3 = codectest::EncodeMp3(codectest::Tone(44100, 2, 44100), 2, 44100, 64);
    ASSERT_TRUE(Build(mp3.bytes, new Collector(E_FAIL)));
    EXPECT_EQ(RunToEnd(), EC_ERRORABORT);
}

TEST_F(Mp3GraphTest, BytesThatAreNoSoundLeaveTheCollectorUnconnected) {
    std::vector<uint8_t> noise(20000);
    uint32_t seed = 7;
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    auto* collector = new Collector();
    EXPECT_FALSE(Build(noise, collector));
    EXPECT_EQ(renderHr, VFW_E_UNSUPPORTED_STREAM);
    EXPECT_FALSE(collector->InputPin()->IsConnected());
}

TEST_F(Mp3GraphTest, ATransformCopiesSamplesIntoAnotherAllocator) {
    auto mp3 = codectest::EncodeMp3(codectest::Tone(22050, 1, 22050), 1, 22050, 32);
    stream = std::make_unique<MemoryStream>(mp3.bytes);
    auto* reader = new MemoryReader(stream.get(), MEDIATYPE_Stream, MEDIASUBTYPE_MPEG1Audio);
    auto* collector = new Collector();
    auto* sink = new PickySink();
    ASSERT_EQ(graph->AddFilter(collector, u"Collector"), S_OK);  // filters in the graph are tried in this order
    ASSERT_EQ(graph->AddFilter(sink, u"Sink"), S_OK);
    ASSERT_EQ(graph->AddFilter(reader, u"MemFile"), S_OK);
    ASSERT_EQ(graph->Render(reader->GetPin(0)), S_OK);
    ASSERT_TRUE(sink->pin.IsConnected());
    EXPECT_TRUE(collector->UsingDifferentAllocators());
    EXPECT_EQ(RunToEnd(), EC_COMPLETE);
    EXPECT_GE(sink->bytes.size(), 22050u * 2);
    EXPECT_EQ(sink->bytes, collector->pcm);
}

TEST_F(Mp3GraphTest, AStreamTypedAsMpegAudioIsParsedAsNothingElse) {
    const std::string path = TempPath("tone.wav");
    ASSERT_EQ(WriteMovie({"wav", nullptr, "pcm_s16le"}, path), "");
    const std::vector<uint8_t> wave = ReadFile(path);
    std::remove(path.c_str());
    auto* refused = new Collector();
    EXPECT_FALSE(Build(wave, refused));
    EXPECT_EQ(renderHr, VFW_E_UNSUPPORTED_STREAM);
    TearDown();
    quit = false;
    SetUp();
    ASSERT_TRUE(Build(wave, new Collector(), GUID_NULL));  // an untyped stream is probed
    EXPECT_EQ(RunToEnd(), EC_COMPLETE);
}

}  // namespace
}  // namespace dshowtest
