// WAVE files with an ACM-coded payload: IMA and Microsoft ADPCM as memory and
// stream sounds, seeks on the spare stream, plain PCM through the ACM, and
// damaged, cut-off and refused files.
#include "codec_test_util.h"
#include "platform/msacm/msacm.h"

#include <random>

using namespace codecsound;
using codectest::Encoded;
using codectest::EncodeImaAdpcm;
using codectest::EncodeMsAdpcm;
using codectest::ImaFmtBody;
using codectest::MsAdpcmFmtBody;
using codectest::Tone;
using soundtest::Chunk;
using soundtest::FmtBody;
using soundtest::Riff;

namespace {

class AcmWaveTest : public soundtest::SoundTest {
protected:
    void TearDown() override {
        soundtest::SoundTest::TearDown();
        EXPECT_EQ(msacm::OpenStreamCountForTest(), 0) << "ACM streams left open";
    }
};

Bytes ImaWave(const Encoded& coded, int channels, uint32_t rate, int blockAlign) {
    return Riff({{"fmt ", ImaFmtBody(channels, rate, blockAlign)}, {"data", coded.data}});
}

Bytes MsWave(const Encoded& coded, int channels, uint32_t rate, int blockAlign) {
    return Riff({{"fmt ", MsAdpcmFmtBody(channels, rate, blockAlign)}, {"data", coded.data}});
}

TEST_F(AcmWaveTest, ImaAdpcmWaveLoadsAsAMemorySoundOfItsDecodedSamples) {
    const Encoded coded = EncodeImaAdpcm(Tone(5000, 1, 44100), 1, 512);  // 1017 samples a block
    const int32_t h = Load(ImaWave(coded, 1, 44100, 512));
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), 5 * 1017);
    EXPECT_EQ(BufferSamples(h, 5 * 1017 * 2), coded.decoded);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(soundtest::RenderLeft(1000),
              std::vector<int16_t>(coded.decoded.begin(), coded.decoded.begin() + 1000));
}

TEST_F(AcmWaveTest, StereoMsAdpcmConvertsToSixteenBitPcm) {
    const Encoded coded = EncodeMsAdpcm(Tone(6000, 2, 22050), 2, 1024);  // 1012 frames a block
    Opened w(MsWave(coded, 2, 22050, 1024));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.converter.kind, kConverterAcm);
    WAVEFORMATEX f = ExpectPcm16Format(&w.converter, 2, 22050);
    EXPECT_EQ(w.converter.acmTotalSamples, -1);
    EXPECT_EQ(GetConvertedSize(&w.converter), static_cast<int32_t>(coded.decoded.size() * 2));
    uint8_t* pcm = nullptr;
    int32_t size = 0;
    ASSERT_EQ(ConvertAll(&w.converter, &f, &pcm, &size), 0);
    EXPECT_EQ(AsSamples(pcm, static_cast<size_t>(size)), coded.decoded);
    FreeMemory(pcm);
}

TEST_F(AcmWaveTest, AStreamSoundPlaysTheDecodedSamples) {
    const Encoded coded = EncodeImaAdpcm(Tone(30000, 1, 44100), 1, 1024);
    SetSoundLoadType(2);
    const int32_t h = Load(ImaWave(coded, 1, 44100, 1024));
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(coded.decoded.size()));
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    bool ended = false;
    const std::vector<int16_t> played = PlayThrough(h, 2.0, &ended);
    EXPECT_TRUE(ended);
    ASSERT_GE(played.size(), coded.decoded.size());
    EXPECT_TRUE(std::equal(coded.decoded.begin(), coded.decoded.end(), played.begin()));
}

TEST_F(AcmWaveTest, SeeksSkipInTheBlockOrDecodeAgainOnTheSpareStream) {
    const Encoded coded = EncodeImaAdpcm(Tone(40000, 1, 22050), 1, 256);
    Opened w(ImaWave(coded, 1, 22050, 256));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 2) << "an active and a spare stream";
    const auto at = [&](size_t sample, size_t count) {
        return std::vector<int16_t>(coded.decoded.begin() + sample, coded.decoded.begin() + sample + count);
    };
    ASSERT_EQ(AsSamples(ReadBytes(&w.converter, 30000)), at(0, 15000));
    const uintptr_t active = w.converter.acmActiveStream;
    // Forward in the block at hand.
    ASSERT_EQ(SeekConverter(&w.converter, 15100), 0);
    EXPECT_EQ(AsSamples(ReadBytes(&w.converter, 200)), at(15100, 100));
    EXPECT_EQ(w.converter.acmActiveStream, active);
    // Backward: the spare stream decodes from the first byte.
    ASSERT_EQ(SeekConverter(&w.converter, 123), 0);
    EXPECT_NE(w.converter.acmActiveStream, active);
    EXPECT_EQ(AsSamples(ReadBytes(&w.converter, 400)), at(123, 200));
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 2);
    // Far forward, over many refills.
    ASSERT_EQ(SeekConverter(&w.converter, 38000), 0);
    EXPECT_EQ(AsSamples(ReadBytes(&w.converter, 100)), at(38000, 50));
    // Past the end: the next read reports the end.
    ASSERT_EQ(SeekConverter(&w.converter, 90000), 0);
    EXPECT_EQ(ReadBytes(&w.converter, 100).size(), 0u);
    EXPECT_EQ(w.converter.ended, 1);
}

TEST_F(AcmWaveTest, WithTheWaveBackEndOffPlainPcmGoesThroughTheAcm) {
    const std::vector<int16_t> samples = soundtest::Pattern(3000, 0);
    SetSoundConvertMask(kConvertMaskWavePcm);
    Opened w(soundtest::Wave16(samples, 2, 8000));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.converter.kind, kConverterAcm);
    EXPECT_EQ(GetConvertedSize(&w.converter), 6000);
    EXPECT_EQ(ReadAllSamples(&w.converter), samples);
    const int32_t h = Load(soundtest::Wave16(samples, 1, 44100));
    ASSERT_NE(h, -1);
    EXPECT_EQ(BufferSamples(h, 6000), samples);
}

TEST_F(AcmWaveTest, CodedBlocksLargerThanAStepStillDecode) {
    // 4,096-byte stereo blocks: two steps' worth of source each.
    const Encoded coded = EncodeImaAdpcm(Tone(20000, 2, 44100), 2, 4096);
    Opened w(ImaWave(coded, 2, 44100, 4096));
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(ReadAllSamples(&w.converter), coded.decoded);
}

TEST_F(AcmWaveTest, DamagedFormatsAreRefusedWithoutReadingPastTheChunk) {
    const Encoded ms = EncodeMsAdpcm(Tone(3000, 1, 8000), 1, 256);
    // An extra size larger than the chunk is read as what the chunk holds:
    // the whole coefficient table is there, so the file plays.
    Bytes fmt = MsAdpcmFmtBody(1, 8000, 256);
    fmt[16] = 200;
    Opened lying(Riff({{"fmt ", fmt}, {"data", ms.data}}));
    ASSERT_EQ(lying.result, 0);
    EXPECT_EQ(ReadAllSamples(&lying.converter), ms.decoded);
    // A chunk that stops inside the coefficient table it names is refused.
    fmt.resize(40);
    Opened cut(Riff({{"fmt ", fmt}, {"data", ms.data}}));
    EXPECT_EQ(cut.result, -1);

    // Formats whose numbers would divide by zero.
    SetSoundConvertMask(kConvertMaskWavePcm);
    Opened noChannels(Riff({{"fmt ", FmtBody(1, 0, 8000, 16, 16, 2)}, {"data", Bytes(64, 1)}}));
    EXPECT_EQ(noChannels.result, -1);
    SetSoundConvertMask(0);
    Bytes ima = ImaFmtBody(1, 8000, 256);
    ima[12] = ima[13] = 0;  // block align 0
    Opened noBlocks(Riff({{"fmt ", ima}, {"data", Bytes(512, 0)}}));
    EXPECT_EQ(noBlocks.result, -1);
    Bytes unknown = ImaFmtBody(1, 8000, 256);
    unknown[0] = 0x34;
    unknown[1] = 0x12;
    Opened other(Riff({{"fmt ", unknown}, {"data", Bytes(512, 0)}}));
    EXPECT_EQ(other.result, -1);
}

TEST_F(AcmWaveTest, CutOffPayloadsDecodeTheirWholeBlocksAndEmptyOnesAreRefused) {
    const Encoded coded = EncodeImaAdpcm(Tone(5000, 1, 8000), 1, 256);
    // The data chunk claims more than the file holds, and the file ends inside
    // a block: the whole blocks decode.
    Chunk data{"data", coded.data};
    data.body.push_back(0x33);
    data.sizeOverride = static_cast<uint32_t>(coded.data.size() + 256);
    const int32_t h = Load(Riff({{"fmt ", ImaFmtBody(1, 8000, 256)}, data}));
    ASSERT_NE(h, -1);
    EXPECT_EQ(BufferSamples(h, static_cast<uint32_t>(coded.decoded.size() * 2)), coded.decoded);
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(coded.decoded.size()));
    EXPECT_TRUE(Contains(NewLog(), "音声データがファイルの途中で切れています"));
    // Less than one block: nothing to decode.
    EXPECT_EQ(Load(Riff({{"fmt ", ImaFmtBody(1, 8000, 256)}, {"data", Bytes(200, 0x11)}})), -1);
    EXPECT_EQ(Load(Riff({{"fmt ", ImaFmtBody(1, 8000, 256)}, {"data", Bytes()}})), -1);
    // The file cut inside its "fmt " chunk.
    const Bytes whole = ImaWave(coded, 1, 8000, 256);
    EXPECT_EQ(Load(Bytes(whole.begin(), whole.begin() + 30)), -1);
}

TEST_F(AcmWaveTest, GarbageFilesFailWithALogLine) {
    std::mt19937 random(7);
    Bytes noise(20000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    // RIFF and WAVE in front, noise after.
    Bytes fake = Riff({{"fmt ", ImaFmtBody(1, 8000, 256)}});
    fake.insert(fake.end(), noise.begin(), noise.end());
    for (const Bytes& file : {noise, fake}) {
        WriteFile("noise.wav", file);
        EXPECT_EQ(LoadSoundFile("noise.wav", 1, -1), -1);
        EXPECT_TRUE(Contains(NewLog(), "右記の音声ファイルのロードに失敗しました_2：noise.wav"));
    }
}

TEST_F(AcmWaveTest, AcmFailuresRefuseTheFileOrEndTheData) {
    const Encoded coded = EncodeImaAdpcm(Tone(3000, 1, 8000), 1, 256);
    const Bytes image = ImaWave(coded, 1, 8000, 256);
    seams::FailCall("acmFormatSuggest", 1);
    EXPECT_EQ(Load(image), -1);
    seams::FailCall("acmStreamOpen", 1);
    EXPECT_EQ(Load(image), -1);
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 0);
    // A header the ACM will not prepare ends the data at once.
    Opened w(image);
    ASSERT_EQ(w.result, 0);
    seams::FailCall("acmStreamPrepareHeader", 1);
    EXPECT_EQ(ReadBytes(&w.converter, 1000).size(), 0u);
    EXPECT_EQ(w.converter.ended, 1);
}

TEST_F(AcmWaveTest, ASpareStreamThatCannotBeOpenedAgainEndsTheDataCleanly) {
    const Encoded coded = EncodeImaAdpcm(Tone(8000, 1, 8000), 1, 256);
    Opened w(ImaWave(coded, 1, 8000, 256));
    ASSERT_EQ(w.result, 0);
    ReadBytes(&w.converter, 4000);
    seams::FailCall("acmStreamOpen");
    // The spare takes over; the new spare cannot be made.
    ASSERT_EQ(SeekConverter(&w.converter, 10), 0);
    EXPECT_EQ(AsSamples(ReadBytes(&w.converter, 20)),
              std::vector<int16_t>(coded.decoded.begin() + 10, coded.decoded.begin() + 20));
    EXPECT_EQ(w.converter.acmSpareStream, 0u);
    // Now there is no stream left to start again with: the data ends.
    ASSERT_EQ(SeekConverter(&w.converter, 0), 0);
    EXPECT_EQ(ReadBytes(&w.converter, 20).size(), 0u);
    seams::ClearCall("acmStreamOpen");
}

}  // namespace

namespace {

TEST_F(AcmWaveTest, CutsKeepTheirWholeBlocksAndDamagedBlocksStillPlay) {
    const Encoded coded = EncodeImaAdpcm(Tone(2000, 1, 8000), 1, 256);  // 505 samples a block
    const Bytes image = ImaWave(coded, 1, 8000, 256);
    const size_t dataStart = image.size() - coded.data.size();
    for (size_t length = 0; length < image.size(); length += 5) {
        const size_t blocks = length < dataStart ? 0 : (length - dataStart) / 256;
        const int32_t h = Load(Bytes(image.begin(), image.begin() + length));
        if (blocks == 0) {
            EXPECT_EQ(h, -1) << "cut at " << length;
        } else {
            EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(blocks * 505)) << "cut at " << length;
        }
        if (h != -1) DeleteSound(h, 0);
    }
    // Any bytes in the blocks decode to something of the same length.
    std::mt19937 random(5);
    Bytes damaged = image;
    for (size_t i = 48; i < damaged.size(); i += 3) damaged[i] = static_cast<uint8_t>(random());
    const int32_t h = Load(damaged);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(coded.decoded.size()));
}

}  // namespace

namespace {

// Cut-off coded files on both roads: refused when nothing in them decodes to a
// sample, whatever the codec's size estimate or block size says; kept with the
// samples they decode otherwise.
TEST_F(AcmWaveTest, CutCodedFilesAreRefusedOnlyWhenNothingDecodes) {
    const Bytes mp3Cut = soundtest::ReadTestFile("mp3wav_cut1.wav");  // 1 of 836 MP3 bytes
    ASSERT_EQ(mp3Cut.size(), 71u);
    const Bytes mp3Fmt(mp3Cut.begin() + 20, mp3Cut.begin() + 50);
    const Encoded ima = EncodeImaAdpcm(Tone(2000, 1, 8000), 1, 256);  // 505 samples a block
    Chunk imaData{"data", Bytes(ima.data.begin(), ima.data.begin() + 2 * 256 + 100), false};
    imaData.sizeOverride = static_cast<uint32_t>(ima.data.size());
    const char* cutLine = "音声データがファイルの途中で切れていて、読み込める標本がありません\r\n";
    struct Case {
        const char* what;
        Bytes file;
        int32_t samples;  // -1: refused
        const char* line;
    };
    const Case cases[] = {
        {"MP3 in WAVE holding 1 byte of 836", mp3Cut, -1, cutLine},
        {"MP3 in WAVE, complete, of bytes that are no frame", Riff({{"fmt ", mp3Fmt}, {"data", Bytes(600, 0)}}), -1,
         "音声データに再生できる標本がありません\r\n"},
        {"IMA ADPCM cut inside its third block", Riff({{"fmt ", ImaFmtBody(1, 8000, 256)}, imaData}), 2 * 505,
         "音声データがファイルの途中で切れています"},
    };
    for (const int32_t loadType : {0, 2}) {
        SetSoundLoadType(loadType);
        for (const Case& c : cases) {
            const size_t logBefore = NewLog().size();
            const int32_t h = Load(c.file);
            EXPECT_EQ(h == -1 ? -1 : GetSoundTotalSample(h), c.samples) << c.what << ", load type " << loadType;
            EXPECT_TRUE(Contains(NewLog().substr(logBefore), c.line)) << c.what << ", load type " << loadType;
            if (h == -1) continue;
            if (c.samples > 0) {
                // The same samples on both roads: the memory buffer, and what
                // the stream's converter reads.
                const std::vector<int16_t> held(ima.decoded.begin(), ima.decoded.begin() + 1010);
                Opened o(c.file);
                EXPECT_EQ(loadType == 0 ? BufferSamples(h, 4 * 505) : ReadAllSamples(&o.converter), held) << c.what;
            }
            EXPECT_EQ(DeleteSound(h, 0), 0);
        }
    }
}

}  // namespace
