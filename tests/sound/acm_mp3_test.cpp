// MP3 files through the ACM: the frame header, the frame scan with its tags
// before and after the frames, false and damaged sync, cut-off and tiny
// files, memory and stream sounds, seeks, and MP3 inside a WAVE file.
#include "codec_test_util.h"
#include "platform/msacm/msacm.h"
#include "sound/sound_acm.h"

#include <cstdio>
#include <random>
#include <string>

using namespace codecsound;
using codectest::EncodeMp3;
using codectest::Id3Tag;
using codectest::Mp3;
using codectest::Tone;
using codectest::TrailingTag;

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// ---- the frame header --------------------------------------------------------------

struct HeaderCase {
    uint8_t bytes[4];
    int32_t result;
    int layer, mpeg2, channels;
    uint32_t rate, kbps, frameBytes, samples;
};

HeaderCase Refused(uint8_t b0, uint8_t b1, uint8_t b2, int32_t result) {
    return HeaderCase{{b0, b1, b2, 0x00}, result, 0, 0, 0, 0, 0, 0, 0};
}

class Mp3HeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(Mp3HeaderTest, FieldsFollowTheIsoTables) {
    const HeaderCase& c = GetParam();
    Mp3FrameHeader h{};
    ASSERT_EQ(ParseMp3FrameHeader(c.bytes, &h), c.result);
    if (c.result != 0) return;
    EXPECT_EQ(h.layer, c.layer);
    EXPECT_EQ(h.mpeg2, c.mpeg2);
    EXPECT_EQ(h.channels, c.channels);
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.bitRate, c.kbps);
    EXPECT_EQ(h.frameBytes, c.frameBytes);
    EXPECT_EQ(h.samplesPerFrame, c.samples);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, Mp3HeaderTest,
    ::testing::Values(
        // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, without and with padding; joint stereo and mono.
        HeaderCase{{0xFF, 0xFB, 0x90, 0x40}, 0, 2, 0, 2, 44100, 128, 417, 1152},
        HeaderCase{{0xFF, 0xFB, 0x92, 0xC0}, 0, 2, 0, 1, 44100, 128, 418, 1152},
        // MPEG-1 Layer III at 32 kHz, 320 kbit/s; MPEG-1 Layer II 384 kbit/s at 48 kHz.
        HeaderCase{{0xFF, 0xFB, 0xE8, 0x00}, 0, 2, 0, 2, 32000, 320, 1440, 1152},
        HeaderCase{{0xFF, 0xFD, 0xE4, 0x00}, 0, 1, 0, 2, 48000, 384, 1152, 1152},
        // MPEG-1 Layer I, 288 kbit/s at 44.1 kHz with padding: whole 4-byte slots.
        HeaderCase{{0xFF, 0xFF, 0x92, 0x00}, 0, 0, 0, 2, 44100, 288, 316, 384},
        // MPEG-2 Layer III, 64 kbit/s at 22.05 kHz: half frames.
        HeaderCase{{0xFF, 0xF3, 0x80, 0xC0}, 0, 2, 1, 1, 22050, 64, 208, 576},
        // MPEG-2 Layer II keeps 1,152 samples and the 144,000 factor.
        HeaderCase{{0xFF, 0xF5, 0x80, 0xC0}, 0, 1, 1, 1, 22050, 64, 417, 1152},
        // MPEG-2 Layer I, 256 kbit/s at 16 kHz.
        HeaderCase{{0xFF, 0xF7, 0xE8, 0x00}, 0, 0, 1, 2, 16000, 256, 768, 384},
        // No sync: another first byte, MPEG 2.5 (top bits 1110).
        Refused(0xFE, 0xFB, 0x90, -2), Refused(0xFF, 0xE3, 0x90, -2),
        // Reserved layer, bit-rate index 15, sample-rate index 3, and free format.
        Refused(0xFF, 0xF9, 0x90, -1), Refused(0xFF, 0xFB, 0xF0, -1), Refused(0xFF, 0xFB, 0x9C, -1),
        Refused(0xFF, 0xFB, 0x00, -1)),
    [](const ::testing::TestParamInfo<HeaderCase>& info) {
        char name[16];
        const uint8_t* b = info.param.bytes;
        std::snprintf(name, sizeof name, "%02X%02X%02X%02X", b[0], b[1], b[2], b[3]);
        return std::string(name) + (info.param.result == 0 ? "" : "Refused");
    });

// ---- files ---------------------------------------------------------------------------

class AcmMp3Test : public soundtest::SoundTest {
protected:
    void TearDown() override {
        soundtest::SoundTest::TearDown();
        EXPECT_EQ(msacm::OpenStreamCountForTest(), 0) << "ACM streams left open";
    }

    // One second of a stereo tone at 44.1 kHz, 128 kbit/s.
    static const Mp3& Song() {
        static const Mp3 mp3 = EncodeMp3(Tone(44100, 2, 44100), 2, 44100, 128);
        return mp3;
    }
    static int32_t SongSamples() { return (Song().frames + 1) * 1152; }

    // The PCM a converter over the file delivers; -1 in *result when it does not open.
    static std::vector<int16_t> Decode(const Bytes& file, int32_t* result, int32_t* size = nullptr) {
        Opened o(file);
        *result = o.result;
        if (o.result != 0) return {};
        if (size) *size = GetConvertedSize(&o.converter);
        return ReadAllSamples(&o.converter);
    }
};

TEST_F(AcmMp3Test, AnMp3FileLoadsAsAMemorySoundOfEveryFrame) {
    WriteFile("song.mp3", Song().bytes);
    const int32_t h = LoadSoundFile("song.mp3", 1, -1);
    ASSERT_NE(h, -1) << NewLog();
    // The information frame counts as a frame of silence.
    EXPECT_EQ(GetSoundTotalSample(h), SongSamples());
    const std::vector<int16_t> pcm = BufferSamples(h, static_cast<uint32_t>(SongSamples()) * 4);
    ASSERT_EQ(pcm.size(), static_cast<size_t>(SongSamples()) * 2);
    // The tone's power, spread over the silent frames as well.
    double power = 0;
    for (int16_t v : pcm) power += double(v) * v;
    const double expected = 9000 / std::sqrt(2.0) * std::sqrt(44100.0 / SongSamples());
    EXPECT_NEAR(std::sqrt(power / pcm.size()), expected, expected * 0.1);
}

TEST_F(AcmMp3Test, TheConverterDescribesTheStreamByItsFirstFrame) {
    Opened o(Song().bytes);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.converter.kind, kConverterAcm);
    const auto* source = static_cast<const MPEGLAYER3WAVEFORMAT*>(o.converter.acmSourceFormat);
    EXPECT_EQ(source->wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    EXPECT_EQ(source->wfx.nChannels, 2);
    EXPECT_EQ(source->wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(source->wfx.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(source->nBlockSize, 417) << "the first frame, the information frame, has no padding";
    EXPECT_EQ(o.converter.dataOffset, 0u);
    EXPECT_EQ(o.converter.dataSize, Song().bytes.size());
    EXPECT_EQ(o.converter.blockCapacity, 176400u * 4 / 3);
    EXPECT_EQ(GetConvertedSize(&o.converter), SongSamples() * 4);
}

TEST_F(AcmMp3Test, TagsBeforeAndAfterTheFramesAreSkipped) {
    int32_t result = -1, size = 0;
    const std::vector<int16_t> plain = Decode(Song().bytes, &result, &size);
    ASSERT_EQ(result, 0);
    ASSERT_EQ(plain.size(), static_cast<size_t>(SongSamples()) * 2);
    // Tag bodies of 0xFF bytes would make the scan refuse the file if read.
    Bytes footer = {'3', 'D', 'I'};
    footer.insert(footer.end(), 7, 0xFF);
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"ID3v2.3", Concat({Id3Tag(300), Song().bytes})},
        {"ID3v2.4 with a footer", Concat({Id3Tag(300, 4, 0x10), footer, Song().bytes})},
        {"trailing TAG", Concat({Song().bytes, TrailingTag()})},
        {"both", Concat({Id3Tag(1000), Song().bytes, TrailingTag()})},
    };
    for (const auto& c : cases) {
        int32_t withTags = 0;
        EXPECT_EQ(Decode(c.file, &result, &withTags), plain) << c.what;
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_EQ(withTags, size) << c.what;
    }
}

TEST_F(AcmMp3Test, ALastFrameRunningIntoTheTagIsCutThere) {
    const Bytes& song = Song().bytes;
    const Bytes cut(song.begin(), song.end() - 100);
    int32_t result = -1, size = 0;
    const std::vector<int16_t> pcm = Decode(Concat({cut, TrailingTag()}), &result, &size);
    ASSERT_EQ(result, 0);
    // The cut frame is counted; it cannot decode.
    EXPECT_EQ(size, SongSamples() * 4);
    EXPECT_EQ(pcm.size(), static_cast<size_t>(SongSamples() - 1152) * 2);
    Opened o(Concat({cut, TrailingTag()}));
    EXPECT_EQ(o.converter.dataSize, cut.size()) << "the data stops where the tag starts";
}

TEST_F(AcmMp3Test, TinyAndTagOnlyFilesAreRefused) {
    const Bytes& song = Song().bytes;
    const Bytes cases[] = {
        Bytes(song.begin(), song.begin() + 128),       // 128 bytes or less
        Id3Tag(100),                                    // a tag and nothing else
        Concat({Id3Tag(1000), Bytes(song.begin(), song.begin() + 200)}),
        Concat({Bytes{'I', 'D', '3', 3, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}, song}),  // a tag past the end
        Bytes{'I', 'D', '3', 3, 0},                     // a header cut short
        Bytes(song.begin(), song.begin() + 300),        // less than its first frame
    };
    for (const Bytes& file : cases) {
        int32_t result = 0;
        SetSoundConvertMask(kConvertMaskMp3DirectShow);
        Decode(file, &result);
        EXPECT_EQ(result, -1) << file.size();
        // The graph reads only the frames behind a tag that claims too much.
        SetSoundConvertMask(0);
        Decode(file, &result);
        EXPECT_EQ(result, file == cases[3] ? 0 : -1) << file.size();
    }
    WriteFile("short.mp3", Bytes(song.begin(), song.begin() + 300));
    EXPECT_EQ(LoadSoundFile("short.mp3", 1, -1), -1);
    EXPECT_TRUE(Contains(NewLog(), "右記の音声ファイルのロードに失敗しました_2：short.mp3"));
}

TEST_F(AcmMp3Test, SyncPatternsOutsideTheFrames) {
    int32_t result = -1;
    const std::vector<int16_t> plain = Decode(Song().bytes, &result);
    // A usable header with no frame after it, in the bytes before the
    // frames, is passed over.
    Bytes junk(300, 0x11);
    const uint8_t lone[4] = {0xFF, 0xFB, 0x90, 0x00};
    std::copy(lone, lone + 4, junk.begin() + 50);
    EXPECT_EQ(Decode(Concat({junk, Song().bytes}), &result), plain);
    EXPECT_EQ(result, 0);
    // A sync pattern whose fields are reserved makes the file unreadable
    // here; the MP3 graph, tried last, reads it.
    const uint8_t reserved[4] = {0xFF, 0xF1, 0x90, 0x00};
    std::copy(reserved, reserved + 4, junk.begin() + 100);
    SetSoundConvertMask(kConvertMaskMp3DirectShow);
    Decode(Concat({junk, Song().bytes}), &result);
    EXPECT_EQ(result, -1);
    SetSoundConvertMask(0);
    Opened graph(Concat({junk, Song().bytes}));
    EXPECT_EQ(graph.result, 0);
    EXPECT_EQ(graph.converter.kind, kConverterMemoryPcm);
    // Noise with a lone usable header is no MP3.
    std::mt19937 random(3);
    Bytes noise(5000);
    for (auto& b : noise) b = static_cast<uint8_t>(random() % 0xF0);
    std::copy(lone, lone + 4, noise.begin() + 1000);
    Decode(noise, &result);
    EXPECT_EQ(result, -1);
    WriteFile("noise.mp3", noise);
    EXPECT_EQ(LoadSoundFile("noise.mp3", 1, -1), -1);
    EXPECT_TRUE(Contains(NewLog(), "右記の音声ファイルのロードに失敗しました_2：noise.mp3"));
}

TEST_F(AcmMp3Test, Mpeg2LayerIIFramesAreMeasuredAtTheirFullLength) {
    // Hand-made frames: MPEG-2 Layer II, 64 kbit/s, 22.05 kHz, mono, 417 bytes each.
    Bytes frames;
    for (int i = 0; i < 10; ++i) {
        Bytes frame(417, 0);
        frame[0] = 0xFF;
        frame[1] = 0xF5;
        frame[2] = 0x80;
        frame[3] = 0xC0;
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    Opened o(frames);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.converter.acmTotalSamples, 10 * 1152);
    EXPECT_EQ(o.converter.dataSize, 4170u);
}

TEST_F(AcmMp3Test, AStreamSoundPlaysAndEnds) {
    WriteFile("song.mp3", Song().bytes);
    SetSoundLoadType(3);
    const int32_t h = LoadSoundFile("song.mp3", 1, -1);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), SongSamples());
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    bool ended = false;
    const std::vector<int16_t> played = PlayThrough(h, 3.0, &ended);
    EXPECT_TRUE(ended);
    EXPECT_GE(played.size(), static_cast<size_t>(SongSamples()));
    // The left channel as the memory sound decodes it.
    int32_t result = -1;
    const std::vector<int16_t> left = Channel(Decode(Song().bytes, &result), 2, 0);
    EXPECT_TRUE(std::equal(left.begin(), left.end(), played.begin()));
}

TEST_F(AcmMp3Test, ABackwardSeekDecodesTheSameAgain) {
    Opened o(Song().bytes);
    ASSERT_EQ(o.result, 0);
    const Bytes first = ReadBytes(&o.converter, 100000);
    ASSERT_EQ(first.size(), 100000u);
    ASSERT_EQ(SeekConverter(&o.converter, 0), 0);
    EXPECT_EQ(ReadBytes(&o.converter, 100000), first);
    ASSERT_EQ(SeekConverter(&o.converter, 5000), 0);
    EXPECT_EQ(ReadBytes(&o.converter, 400), Bytes(first.begin() + 20000, first.begin() + 20400));
}

// The MP3 in a WAVE file, stating the given bytes a second.
Bytes Mp3Wave(const Mp3& mp3, DWORD averageBytes, bool withFact) {
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.wfx.nChannels = 1;
    f.wfx.nSamplesPerSec = 22050;
    f.wfx.nAvgBytesPerSec = averageBytes;
    f.wfx.nBlockAlign = 1;
    f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    f.wID = MPEGLAYER3_ID_MPEG;
    f.nBlockSize = 104;
    f.nFramesPerBlock = 1;
    Bytes fmt(sizeof f);
    std::memcpy(fmt.data(), &f, sizeof f);
    if (withFact) return soundtest::Riff({{"fmt ", fmt}, {"fact", Bytes(4, 0)}, {"data", mp3.bytes}});
    return soundtest::Riff({{"fmt ", fmt}, {"data", mp3.bytes}});
}

TEST_F(AcmMp3Test, Mp3InsideAWaveFile) {
    const Mp3 mp3 = EncodeMp3(Tone(22050, 1, 22050), 1, 22050, 32, false);
    const Bytes wave = Mp3Wave(mp3, 4000, true);
    const int32_t h = Load(wave);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), mp3.frames * 576);
    Opened o(wave);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(o.converter.acmTotalSamples, -1);
    EXPECT_GE(GetConvertedSize(&o.converter), mp3.frames * 576 * 2) << "a bound the whole sound fits";
}

TEST_F(AcmMp3Test, Mp3InsideAWaveFileStatingAlmostNoBytesASecondKeepsASmallBlock) {
    const Mp3 mp3 = EncodeMp3(Tone(22050, 1, 22050), 1, 22050, 32, false);
    const Bytes wave = Mp3Wave(mp3, 2, false);  // damaged: the stream has 4,000
    Opened o(wave);
    ASSERT_EQ(o.result, 0);
    // One step of 2,048 source bytes at no less than 1,000 bytes a second,
    // and a second to spare: not the 90 MB the stated rate would ask for.
    EXPECT_LE(o.converter.blockCapacity, (2048u * 22050 / 1000 + 22050) * 2);
    EXPECT_EQ(static_cast<int32_t>(ReadAllSamples(&o.converter).size()), mp3.frames * 576);
    const int32_t h = Load(wave);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), mp3.frames * 576);
    EXPECT_EQ(DeleteSound(h, 0), 0);
}

TEST_F(AcmMp3Test, AFailingFormatSizeQueryStillDescribesTheStream) {
    seams::FailCall("acmMetrics");
    int32_t result = -1;
    const std::vector<int16_t> pcm = Decode(Song().bytes, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(pcm.size(), static_cast<size_t>(SongSamples()) * 2);
}

TEST_F(AcmMp3Test, Mpeg25IsLeftToTheDirectShowBackEnd) {
    // 8 kHz is an MPEG 2.5 rate: no frame here syncs; the graph takes it.
    const Bytes file = EncodeMp3(Tone(8000, 1, 8000), 1, 8000, 16).bytes;
    SetSoundConvertMask(kConvertMaskMp3DirectShow);
    int32_t result = 0;
    Decode(file, &result);
    EXPECT_EQ(result, -1);
    SetSoundConvertMask(0);
    Opened o(file);
    EXPECT_EQ(o.result, 0);
    EXPECT_EQ(o.converter.kind, kConverterMemoryPcm);
}

}  // namespace

namespace {

TEST_F(AcmMp3Test, CutOrDamagedFilesFailOrPlayWhatIsThere) {
    const Bytes& song = Song().bytes;
    for (size_t length = 0; length < song.size(); length += 97) {
        const int32_t h = Load(Bytes(song.begin(), song.begin() + length));
        // The information frame and the header after it must be there.
        if (length < 417 + 4) {
            EXPECT_EQ(h, -1) << "cut at " << length;
        } else {
            ASSERT_NE(h, -1) << "cut at " << length;
            EXPECT_LE(GetSoundTotalSample(h), SongSamples()) << "cut at " << length;
        }
        if (h != -1) DeleteSound(h, 0);
    }
    // Noise over the frame bodies: the decoder gets over it.
    std::mt19937 random(9);
    for (int round = 0; round < 5; ++round) {
        Bytes damaged = song;
        for (size_t i = 1000; i < damaged.size(); i += 1 + random() % 50) damaged[i] = static_cast<uint8_t>(random());
        const int32_t h = Load(damaged);
        if (h != -1) {
            EXPECT_LE(GetSoundTotalSample(h), SongSamples() + 1152);
            DeleteSound(h, 0);
        }
    }
}

}  // namespace
