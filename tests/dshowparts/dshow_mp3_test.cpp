// MP3 through a private DirectShow graph: files of MPEG 1, 2 and 2.5 made
// with LAME decode to the PCM the ACM road gives (or, where the ACM refuses
// the file, to the tone that was encoded), every logged failure of the open
// is reached through a seam and leaves nothing behind, and bad data is
// refused with the graph's message.
#include "../sound/codec_test_util.h"
#include "core/library_state.h"
#include "dshowparts_test_util.h"
#include "sound/sample_grabber.h"
#include "sound/sound_dshow_mp3.h"

#include <random>

namespace {

using codecsound::Bytes;
using codecsound::Contains;
using codecsound::ReadAllSamples;
using codectest::EncodeMp3;
using codectest::Tone;
using soundtest::Opened;

// Decoders differ in the delay they leave at the start (the ACM road plays
// LAME's information frame as a frame of silence) and in rounding: the
// graph's PCM must match the ACM's, after the best shift of at most kMaxShift
// sample frames, to within kAcmTolerance of its power (they agree to about
// 0.001 %). Where the ACM refuses every form of the file, the reference is
// the encoded tone, which a 16 kbit/s coder keeps to within kToneTolerance.
constexpr int kMaxShift = 2400;
constexpr double kAcmTolerance = 0.001;
constexpr double kToneTolerance = 0.08;

double ShiftedError(const std::vector<int16_t>& got, const std::vector<int16_t>& reference, int channels,
                    int* bestShift) {
    double best = 1e9;
    for (int shift = -kMaxShift; shift <= kMaxShift; shift += 1) {
        const size_t offset = static_cast<size_t>(std::abs(shift)) * channels;
        if (offset >= got.size() || offset >= reference.size()) continue;
        const std::vector<int16_t>& a = shift >= 0 ? got : reference;
        const std::vector<int16_t>& b = shift >= 0 ? reference : got;
        const std::vector<int16_t> moved(a.begin() + static_cast<long>(offset), a.end());
        const double error = codectest::RelativeError(moved, b);
        if (error < best) {
            best = error;
            *bestShift = shift;
        }
    }
    return best;
}

class DirectShowMp3Test : public soundtest::SoundTest {
protected:
    void SetUp() override {
        soundtest::SoundTest::SetUp();
        dshow::RegisterClasses();
    }
    void TearDown() override {
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << "no graph thread left running";
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << "every filter released";
        Window().quitRequested = 0;
        soundtest::SoundTest::TearDown();
    }

    // What a converter over the file gives through the graph alone.
    static std::vector<int16_t> ThroughGraph(const Bytes& file, WAVEFORMATEX* format = nullptr,
                                             int32_t* result = nullptr) {
        SetSoundConvertMask(kConvertMaskWavePcm | kConvertMaskWaveAcm | kConvertMaskOgg | kConvertMaskMp3Acm);
        Opened o(file);
        SetSoundConvertMask(0);
        if (result != nullptr) *result = o.result;
        if (o.result != 0) return {};
        EXPECT_EQ(o.converter.kind, kConverterMemoryPcm);
        if (format != nullptr) GetConverterFormat(&o.converter, format);
        return ReadAllSamples(&o.converter);
    }

    // Opens the song with the call failing once after skip good calls; the
    // open must fail, and what it logged is returned.
    std::string FailedOpenLog(const char* seam, int skip) {
        const size_t logStart = NewLog().size();
        seams::FailCallAfter(seam, skip, 1);
        int32_t result = 0;
        ThroughGraph(Song(), nullptr, &result);
        seams::ClearAllCalls();
        EXPECT_EQ(result, -1) << seam << " after " << skip;
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << seam << " after " << skip;
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << seam << " after " << skip;
        return NewLog().substr(logStart);
    }

    static const Bytes& Song() {
        static const Bytes song = EncodeMp3(Tone(44100, 2, 44100), 2, 44100, 128).bytes;
        return song;
    }
};

TEST_F(DirectShowMp3Test, EveryMpegVersionDecodesLikeTheAcmRoadOrTheTone) {
    // A sync pattern with reserved fields before the frames: the ACM's scan
    // gives up on the file, the graph's parser does not.
    Bytes falseSync(300, 0x11);
    falseSync[100] = 0xFF;
    falseSync[101] = 0xF1;
    falseSync[102] = 0x90;
    const struct Case {
        const char* what;
        int channels, rate, kbps;
        Bytes prefix;
        bool acmRefuses;
    } cases[] = {
        {"MPEG-1, 44.1 kHz stereo", 2, 44100, 128, {}, false},
        {"MPEG-1, 32 kHz mono", 1, 32000, 64, {}, false},
        {"MPEG-2, 22.05 kHz mono", 1, 22050, 32, {}, false},
        {"MPEG-2, 16 kHz stereo", 2, 16000, 32, {}, false},
        {"MPEG 2.5, 8 kHz mono", 1, 8000, 16, {}, true},
        {"MPEG 2.5, 11.025 kHz stereo", 2, 11025, 24, {}, true},
        {"MPEG-1 after a false sync", 2, 44100, 128, falseSync, true},
    };
    for (const Case& c : cases) {
        const std::vector<int16_t> tone = Tone(c.rate, c.channels, c.rate);
        Bytes file = c.prefix;
        const Bytes mp3 = EncodeMp3(tone, c.channels, c.rate, c.kbps).bytes;
        file.insert(file.end(), mp3.begin(), mp3.end());
        WAVEFORMATEX format{};
        int32_t result = -1;
        const std::vector<int16_t> graph = ThroughGraph(file, &format, &result);
        ASSERT_EQ(result, 0) << c.what << NewLog();
        EXPECT_EQ(format.nChannels, c.channels) << c.what;
        EXPECT_EQ(static_cast<int>(format.nSamplesPerSec), c.rate) << c.what;
        EXPECT_EQ(format.wBitsPerSample, 16) << c.what;
        EXPECT_EQ(format.nAvgBytesPerSec, format.nSamplesPerSec * format.nBlockAlign) << c.what;
        Opened acm(file);
        EXPECT_EQ(acm.result == 0 && acm.converter.kind == kConverterAcm, !c.acmRefuses) << c.what;
        // The reference: the ACM's PCM of the same frames, or the tone itself.
        Opened plain(mp3);
        const bool acmDecodes = plain.result == 0 && plain.converter.kind == kConverterAcm;
        const std::vector<int16_t> reference = acmDecodes ? ReadAllSamples(&plain.converter) : tone;
        int shift = 0;
        const double error = ShiftedError(graph, reference, c.channels, &shift);
        EXPECT_LT(error, acmDecodes ? kAcmTolerance : kToneTolerance) << c.what << " (best shift " << shift << ")";
        // The encoder's delay and its last frame's padding come out as well.
        const int frameSamples = c.rate >= 32000 ? 1152 : 576;
        EXPECT_NEAR(static_cast<double>(graph.size()), static_cast<double>(tone.size()), 3.0 * frameSamples * c.channels)
            << c.what;
    }
}

TEST_F(DirectShowMp3Test, AnMp3TheAcmRefusesLoadsAsAMemorySound) {
    const Bytes file = EncodeMp3(Tone(8000, 1, 8000), 1, 8000, 16).bytes;
    codecsound::WriteFile("low.mp3", file);
    const int32_t h = LoadSoundFile("low.mp3", 1, -1);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_NEAR(GetSoundTotalSample(h), 8000, 3 * 576);
    EXPECT_EQ(DeleteSound(h, 0), 0);
}

TEST_F(DirectShowMp3Test, TheConversionNeverAsksForTheAudioOutput) {
    // With sound stopped the output is closed, and an open would have to ask
    // for the device: the one failure armed here is left unused when nothing asks.
    ASSERT_EQ(TerminateSound(), 0);
    ASSERT_FALSE(sdl::IsAudioOutputOpen());
    seams::FailCall("SDL_OpenAudioDevice", 1);
    EXPECT_FALSE(ThroughGraph(Song()).empty());
    EXPECT_TRUE(seams::ShouldFailCall("SDL_OpenAudioDevice")) << "the graph asked for the audio output";
    ASSERT_EQ(InitializeSound(), 0);
}

TEST_F(DirectShowMp3Test, PcmBeyondTenTimesTheFileGrowsInMegabyteSteps) {
    // Silence compresses to almost nothing: 30 s of it at 8 kbit/s is about
    // 30 KB of MP3 for 2.6 MB of PCM.
    const Bytes file = EncodeMp3(std::vector<int16_t>(44100 * 30, 0), 1, 44100, 32).bytes;
    ASSERT_LT(file.size() * 10, 44100u * 30 * 2);
    const std::vector<int16_t> pcm = ThroughGraph(file);
    EXPECT_NEAR(static_cast<double>(pcm.size()), 44100.0 * 30, 2.0 * 1152);
}

TEST_F(DirectShowMp3Test, EachFailureOfTheOpenLogsItsLineAndLeavesNothing) {
    const struct Case {
        const char* what;
        const char* seam;
        int skip;
        const char* log;  // null: no line
    } cases[] = {
        {"source copy", "AllocMemory", 1, nullptr},  // after the memory stream's record
        {"memory stream", "CreateMemStream", 0, "MP3変換用 D_CMemStream の作成に失敗しました"},
        {"memory reader", "CreateMemReader", 0, "MP3変換用 D_CMemReader の作成に失敗しました"},
        {"null renderer", "CoCreateInstance", 0, "MP3変換用 NullRender の作成に失敗しました"},
        {"filter graph", "CoCreateInstance", 1, "MP3変換用 IGraphBuilder の作成に失敗しました"},
        {"sample grabber", "CreateSampleGrabber", 0, "MP3変換用 D_CSampleGrabber の作成に失敗しました"},
        {"accepted type", "SampleGrabber:AcceptedTypeCopy", 0,
         "サンプルグラバフィルタのメディアタイプの設定に失敗しました"},
        {"grabber into the graph", "IGraphBuilder::AddFilter", 0,
         "サンプルグラバフィルタのグラフへの追加に失敗しました"},
        {"reader into the graph", "IGraphBuilder::AddFilter", 1,
         "メモリファイルフィルタのグラフへの追加に失敗しました"},
        {"render", "IGraphBuilder::Render", 0, "グラフの構築に失敗しました"},
        {"renderer swap", "IGraphBuilder::Connect", 0, "既存レンダラーをNullレンダラーと交換する処理が失敗しました"},
        {"no renderer found", "IEnumFilters::Next", 0,
         "既存レンダラーをNullレンダラーと交換する処理が失敗しました"},
        {"PCM block", "OpenDirectShowMp3Converter:PcmBlock", 0,
         "PCMデータを格納するメモリ領域の確保に失敗しました"},
        {"media filter", "QueryInterface(IMediaFilter)", 0, "IMediaFilter の取得に失敗しました"},
        {"media control", "QueryInterface(IMediaControl)", 0, "IMediaControl の取得に失敗しました"},
        {"media event", "QueryInterface(IMediaEvent)", 0, "IMediaEvent の取得に失敗しました"},
    };
    for (const Case& c : cases) {
        const std::string log = FailedOpenLog(c.seam, c.skip);
        if (c.log != nullptr) {
            EXPECT_TRUE(Contains(log, c.log)) << c.what << ": " << log;
        } else {
            EXPECT_EQ(log, "") << c.what;
        }
    }
}

TEST_F(DirectShowMp3Test, AdditionsToTheGraphThatFailLeaveTheGrabberOrTheNullRendererOut) {
    // The graph builder adds filters of its own while it renders; failing
    // each later addition in turn reaches a build that fails, a grabber left
    // unconnected, and the null renderer kept out of the graph.
    const char* const kBuild = "グラフの構築に失敗しました";
    const char* const kNoSound = "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。";
    const char* const kNoNullRenderer = "ヌルレンダラーフィルタのグラフへの追加に失敗しました";
    std::string seen;
    for (int skip = 2; skip < 12 && !Contains(seen, kNoNullRenderer); ++skip) {
        const std::string log = FailedOpenLog("IGraphBuilder::AddFilter", skip);
        EXPECT_TRUE(Contains(log, kBuild) || Contains(log, kNoSound) || Contains(log, kNoNullRenderer)) << log;
        seen += log;
    }
    EXPECT_TRUE(Contains(seen, kNoSound));
    EXPECT_TRUE(Contains(seen, kNoNullRenderer));
}

TEST_F(DirectShowMp3Test, TheEndOfTheProgramOrOfTheStreamStopsTheWait) {
    Window().quitRequested = 1;
    int32_t result = 0;
    ThroughGraph(Song(), nullptr, &result);
    Window().quitRequested = 0;
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(Contains(NewLog(), "MP3変換の途中でソフトが終了しました"));
    // A growth of the PCM block that fails: the samples after it are dropped
    // and the end of the stream reports it.
    const Bytes silence = EncodeMp3(std::vector<int16_t>(44100 * 20, 0), 1, 44100, 32).bytes;
    seams::FailCall("OpenDirectShowMp3Converter:PcmGrowth");
    ThroughGraph(silence, nullptr, &result);
    seams::ClearAllCalls();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(Contains(NewLog(), "PCMデータを格納するメモリ領域の再確保に失敗しました"));
}

TEST_F(DirectShowMp3Test, DataThatIsNoMp3IsRefusedByTheGraph) {
    std::mt19937 random(5);
    Bytes noise(20000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    Bytes falseSyncs;
    for (int i = 0; i < 2000; ++i) falseSyncs.insert(falseSyncs.end(), {0xFF, 0xFB, 0x90, 0x00, 0x00});
    const Bytes cut(Song().begin(), Song().begin() + 150);
    const struct Case {
        const char* what;
        Bytes file;
    } cases[] = {{"noise", noise}, {"false syncs only", falseSyncs}, {"cut after one frame header", cut}};
    for (const Case& c : cases) {
        const size_t logStart = NewLog().size();
        int32_t result = 0;
        ThroughGraph(c.file, nullptr, &result);
        EXPECT_EQ(result, -1) << c.what;
        EXPECT_FALSE(NewLog().substr(logStart).empty()) << c.what << ": one line says why";
    }
}

TEST_F(DirectShowMp3Test, TheRendererPinSearchFindsEachDirection) {
    HRESULT result = S_OK;
    D_CSampleGrabber* grabber = CreateSampleGrabber(nullptr, &result);
    grabber->AddRef();
    IPin* in = FindPinByDirection(grabber, PINDIR_INPUT);
    IPin* out = FindPinByDirection(grabber, PINDIR_OUTPUT);
    ASSERT_NE(in, nullptr);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(in, static_cast<IPin*>(grabber->GetPin(0)));
    EXPECT_EQ(out, static_cast<IPin*>(grabber->GetPin(1)));
    in->Release();
    out->Release();
    EXPECT_EQ(FindPinByDirection(nullptr, PINDIR_INPUT), nullptr);
    grabber->Release();
}

}  // namespace
