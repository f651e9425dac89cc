// The MSACM stand-in: format suggestion, stream and header rules, the block
// codecs against hand-computed blocks and whole encoded signals, the MPEG
// codec's promise never to overrun the destination nor hold frames back, and
// the size estimates.
#include "platform/msacm/msacm.h"
#include "platform/seams/seams.h"

#include "../dsound/pcm_format.h"
#include "acm_stream.h"
#include "codec_encoders.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

using namespace codectest;
using namespace acmtest;

namespace {

using dstest::Pcm;

FormatBlock Mp3Format(int channels, uint32_t rate, uint32_t kbps) {
    MPEGLAYER3WAVEFORMAT f{};
    f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    f.wfx.nChannels = static_cast<WORD>(channels);
    f.wfx.nSamplesPerSec = rate;
    f.wfx.nAvgBytesPerSec = kbps * 1000 / 8;
    f.wfx.nBlockAlign = 1;
    f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    f.wID = MPEGLAYER3_ID_MPEG;
    f.nFramesPerBlock = 1;
    f.nCodecDelay = 700;
    FormatBlock block;
    block.bytes.resize(sizeof f);
    std::memcpy(block.bytes.data(), &f, sizeof f);
    return block;
}

// ---- suggestion and opening --------------------------------------------------------

TEST_F(MsacmTest, SuggestionIsThePcmEachCodecDecodesTo) {
    const WAVEFORMATEX pcm = Pcm(2, 22050, 8);
    WAVEFORMATEX out = Suggest(&pcm);
    EXPECT_EQ(std::memcmp(&out, &pcm, sizeof pcm), 0) << "PCM decodes to itself";

    out = Suggest(Ima(2, 11025, 512).get());
    EXPECT_EQ(out.nChannels, 2);
    EXPECT_EQ(out.nSamplesPerSec, 11025u);
    EXPECT_EQ(out.wBitsPerSample, 16);
    EXPECT_EQ(out.nBlockAlign, 4);
    EXPECT_EQ(out.nAvgBytesPerSec, 44100u);

    out = Suggest(MsAdpcm(1, 8000, 256).get());
    EXPECT_EQ(out.nChannels, 1);
    EXPECT_EQ(out.nAvgBytesPerSec, 16000u);

    out = Suggest(Mp3Format(1, 24000, 32).get());
    EXPECT_EQ(out.nSamplesPerSec, 24000u);
    EXPECT_EQ(out.nBlockAlign, 2);
}

TEST_F(MsacmTest, SuggestionRefusesWhatNoCodecGives) {
    WAVEFORMATEX out{};
    out.wFormatTag = WAVE_FORMAT_PCM;
    WAVEFORMATEX unknown = Pcm(1, 8000, 16);
    unknown.wFormatTag = 0x1234;
    EXPECT_EQ(acmFormatSuggest(nullptr, &unknown, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
    const WAVEFORMATEX pcm24 = Pcm(1, 8000, 24);
    EXPECT_EQ(acmFormatSuggest(nullptr, &pcm24, &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    WAVEFORMATEX badAlign = Pcm(2, 8000, 16);
    badAlign.nBlockAlign = 3;
    EXPECT_EQ(acmFormatSuggest(nullptr, &badAlign, &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    // MPEG audio comes only at its own nine rates.
    EXPECT_EQ(acmFormatSuggest(nullptr, Mp3Format(2, 44000, 128).get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    // A destination that names something else.
    out.wFormatTag = WAVE_FORMAT_IMA_ADPCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, &pcm24, &out, sizeof out, ACM_FORMATSUGGESTF_WFORMATTAG), ACMERR_NOTPOSSIBLE);
    const WAVEFORMATEX stereo = Pcm(2, 8000, 16);
    out = Pcm(1, 8000, 16);
    EXPECT_EQ(acmFormatSuggest(nullptr, &stereo, &out, sizeof out, ACM_FORMATSUGGESTF_NCHANNELS), ACMERR_NOTPOSSIBLE);
    out = Pcm(2, 8000, 16);
    EXPECT_EQ(acmFormatSuggest(nullptr, &stereo, &out, sizeof out,
                               ACM_FORMATSUGGESTF_NCHANNELS | ACM_FORMATSUGGESTF_NSAMPLESPERSEC),
              MMSYSERR_NOERROR);
}

TEST_F(MsacmTest, ASixteenByteDestinationGetsNoExtraSize) {
    uint8_t room[18];
    std::memset(room, 0x77, sizeof room);
    const WAVEFORMATEX pcm = Pcm(1, 8000, 16);
    ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, reinterpret_cast<WAVEFORMATEX*>(room), 16, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(room[16], 0x77);
    EXPECT_EQ(room[17], 0x77);
    EXPECT_EQ(acmFormatSuggest(nullptr, &pcm, reinterpret_cast<WAVEFORMATEX*>(room), 15, 0), MMSYSERR_INVALPARAM);
}

TEST_F(MsacmTest, AdpcmFormatsAreCheckedAgainstTheirBlocksAndExtraBytes) {
    WAVEFORMATEX out{};
    // IMA blocks hold a header and whole 4-byte groups per channel.
    FormatBlock ima = Ima(2, 8000, 36);
    reinterpret_cast<WAVEFORMATEX*>(ima.bytes.data())->nBlockAlign = 38;
    EXPECT_EQ(acmFormatSuggest(nullptr, ima.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    // More samples per block than the block can hold.
    ima = Ima(1, 8000, 256);
    ima.bytes[18] = 0xFF;
    ima.bytes[19] = 0x0F;
    EXPECT_EQ(acmFormatSuggest(nullptr, ima.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    // MS ADPCM needs its coefficient table: an extra size that stops short of
    // the seven pairs it names is refused, not read past.
    FormatBlock ms = MsAdpcm(1, 8000, 256);
    ms.bytes.resize(18 + 20);
    reinterpret_cast<WAVEFORMATEX*>(ms.bytes.data())->cbSize = 20;
    EXPECT_EQ(acmFormatSuggest(nullptr, ms.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    ms = MsAdpcm(1, 8000, 256);
    reinterpret_cast<WAVEFORMATEX*>(ms.bytes.data())->wBitsPerSample = 8;
    EXPECT_EQ(acmFormatSuggest(nullptr, ms.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    ms = MsAdpcm(3, 8000, 256);
    EXPECT_EQ(acmFormatSuggest(nullptr, ms.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
    ms = MsAdpcm(1, 8000, 256);
    ms.bytes[20] = ms.bytes[21] = 0;  // no coefficient pairs
    EXPECT_EQ(acmFormatSuggest(nullptr, ms.get(), &out, sizeof out, 0), ACMERR_NOTPOSSIBLE);
}

TEST_F(MsacmTest, OpeningChecksTheDestinationAndItsArguments) {
    const WAVEFORMATEX source = Pcm(2, 44100, 16);
    WAVEFORMATEX pcm = Suggest(&source);
    HACMSTREAM stream = nullptr;
    WAVEFORMATEX other = Pcm(1, 44100, 16);
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &other, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, nullptr, 0, 0, 0x80000000u), MMSYSERR_INVALFLAG);
    WAVEFILTER filter{};
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, &filter, 0, 0, 0), MMSYSERR_NOTSUPPORTED);
    // A query needs no handle and opens nothing.
    EXPECT_EQ(acmStreamOpen(nullptr, nullptr, &source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 0);

    ASSERT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
              MMSYSERR_NOERROR);
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 1);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_INVALHANDLE) << "a closed stream is gone";
    DWORD size = 0;
    EXPECT_EQ(acmStreamSize(stream, 100, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_INVALHANDLE);
}

TEST_F(MsacmTest, HeadersMustBePreparedForTheirStream) {
    const WAVEFORMATEX source = Pcm(1, 8000, 16);
    Stream a(&source), b(&source);
    uint8_t src[64] = {}, dst[64];
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = src;
    h.cbSrcLength = sizeof src;
    h.pbDst = dst;
    h.cbDstLength = sizeof dst;
    EXPECT_EQ(acmStreamConvert(a.handle, &h, 0), ACMERR_UNPREPARED);
    ASSERT_EQ(acmStreamPrepareHeader(a.handle, &h, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamPrepareHeader(a.handle, &h, 0), MMSYSERR_INVALPARAM) << "prepared twice";
    EXPECT_EQ(acmStreamConvert(b.handle, &h, 0), ACMERR_UNPREPARED) << "prepared for another stream";
    h.cbDstLength = sizeof dst + 1;
    EXPECT_EQ(acmStreamConvert(a.handle, &h, 0), MMSYSERR_INVALPARAM) << "lengths may not grow";
    h.cbDstLength = 10;
    ASSERT_EQ(acmStreamConvert(a.handle, &h, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR);
    EXPECT_TRUE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_DONE);
    EXPECT_EQ(h.cbDstLengthUsed, 10u) << "shrunk lengths are honoured";
    EXPECT_EQ(acmStreamUnprepareHeader(a.handle, &h, 0), MMSYSERR_NOERROR);
    EXPECT_FALSE(h.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED);
    EXPECT_EQ(acmStreamConvert(a.handle, &h, 0), ACMERR_UNPREPARED);
}

// ---- the block codecs ----------------------------------------------------------------

TEST_F(MsacmTest, PcmIsCopiedInWholeSampleFrames) {
    const WAVEFORMATEX source = Pcm(2, 8000, 16);
    Stream s(&source);
    Bytes src(23);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<uint8_t>(i + 1);
    Bytes dst(64);
    Stream::Step step = s.Convert(src.data(), 23, dst.data(), 64);
    EXPECT_EQ(step.srcUsed, 20u);
    EXPECT_EQ(step.dstUsed, 20u);
    EXPECT_TRUE(std::equal(src.begin(), src.begin() + 20, dst.begin()));
    step = s.Convert(src.data(), 23, dst.data(), 10);
    EXPECT_EQ(step.dstUsed, 8u) << "as many frames as the destination takes";
}

TEST_F(MsacmTest, ImaBlockDecodesToTheStandardValues) {
    // Mono, 8-byte blocks: 9 samples from a first sample of 100 at step index 0.
    const FormatBlock format = Ima(1, 8000, 8);
    Stream s(format.get());
    const uint8_t block[8] = {100, 0, 0, 0, 0x77, 0x80, 0x1F, 0x42};
    uint8_t out[18];
    const Stream::Step step = s.Convert(block, 8, out, sizeof out);
    ASSERT_EQ(step.dstUsed, 18u);
    EXPECT_EQ(AsSamples(out, 18), (std::vector<int16_t>{100, 111, 141, 145, 142, 90, 112, 145, 201}));

    // At the top of the range the sample holds, and a step index past 88 is read as 88.
    const uint8_t loud[8] = {0xFF, 0x7F, 200, 0, 0x77, 0x77, 0x77, 0x77};
    ASSERT_EQ(s.Convert(loud, 8, out, sizeof out).dstUsed, 18u);
    for (int16_t v : AsSamples(out, 18)) EXPECT_EQ(v, 32767);
    const uint8_t down[8] = {0xFF, 0x7F, 200, 0, 0xFF, 0, 0, 0};
    ASSERT_EQ(s.Convert(down, 8, out, sizeof out).dstUsed, 18u);
    // Step 32767: a nibble of 15 takes away 4095 + 32767 + 16383 + 8191; the next
    // one would pass the bottom of the range and stops there.
    EXPECT_EQ(AsSamples(out, 18)[1], -28669);
    EXPECT_EQ(AsSamples(out, 18)[2], -32768);
}

TEST_F(MsacmTest, StereoImaBlocksTakeTurnsInFourByteGroups) {
    const FormatBlock format = Ima(2, 8000, 16);
    Stream s(format.get());
    const uint8_t block[16] = {100, 0, 0, 0, 0xFB, 0xFF, 0, 0, 0x77, 0x80, 0x1F, 0x42, 0, 0, 0, 0};
    uint8_t out[36];
    ASSERT_EQ(s.Convert(block, 16, out, sizeof out).dstUsed, 36u);
    const std::vector<int16_t> samples = AsSamples(out, 36);
    const int16_t left[9] = {100, 111, 141, 145, 142, 90, 112, 145, 201};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(samples[2 * i], left[i]) << i;
        EXPECT_EQ(samples[2 * i + 1], -5) << i;
    }
}

TEST_F(MsacmTest, MsAdpcmBlockDecodesToTheStandardValues) {
    // Mono, 9-byte blocks: 6 samples, coefficient pair 1 (512, -256), step 20,
    // first samples 90 then 100.
    const FormatBlock format = MsAdpcm(1, 8000, 9);
    Stream s(format.get());
    const uint8_t block[9] = {1, 20, 0, 100, 0, 90, 0, 0x2F, 0x87};
    uint8_t out[12];
    ASSERT_EQ(s.Convert(block, 9, out, sizeof out).dstUsed, 12u);
    EXPECT_EQ(AsSamples(out, 12), (std::vector<int16_t>{90, 100, 150, 183, 88, 329}));

    // A pair the format does not have: the block is silence of its length.
    uint8_t damaged[9];
    std::memcpy(damaged, block, 9);
    damaged[0] = 7;
    std::memset(out, 0x55, sizeof out);
    ASSERT_EQ(s.Convert(damaged, 9, out, sizeof out).dstUsed, 12u);
    for (int16_t v : AsSamples(out, 12)) EXPECT_EQ(v, 0);
}

TEST_F(MsacmTest, StereoMsAdpcmNibblesAlternateHighFirst) {
    const FormatBlock format = MsAdpcm(2, 8000, 16);  // 14 header bytes, 2 nibble bytes: 4 frames
    Stream s(format.get());
    const uint8_t block[16] = {1, 0, 20, 0, 16, 0, 100, 0, 0, 0, 90, 0, 0, 0, 0x20, 0xF0};
    uint8_t out[16];
    ASSERT_EQ(s.Convert(block, 16, out, sizeof out).dstUsed, 16u);
    // Left as in the mono block; right: pair 0 (256, 0) from 0, nibbles 0 then 0.
    EXPECT_EQ(AsSamples(out, 16), (std::vector<int16_t>{90, 0, 100, 0, 150, 0, 183, 0}));
}

TEST_F(MsacmTest, EncodedToneComesBackExactlyAndCloseToTheOriginal) {
    const std::vector<int16_t> tone = Tone(20000, 2, 22050);
    const Encoded ima = EncodeImaAdpcm(tone, 2, 1024);
    Stream si(Ima(2, 22050, 1024).get());
    const std::vector<int16_t> imaOut = si.ConvertAll(ima.data, 2048, 22050 * 4);
    EXPECT_EQ(imaOut, ima.decoded);
    EXPECT_LT(RelativeError(imaOut, tone), 0.05);

    const Encoded ms = EncodeMsAdpcm(tone, 2, 1024);
    Stream sm(MsAdpcm(2, 22050, 1024).get());
    const std::vector<int16_t> msOut = sm.ConvertAll(ms.data, 2048, 22050 * 4);
    EXPECT_EQ(msOut, ms.decoded);
    EXPECT_LT(RelativeError(msOut, tone), 0.05);
}

TEST_F(MsacmTest, BlockCodecsConvertWholeBlocksThatFit) {
    const std::vector<int16_t> tone = Tone(505 * 3, 1, 8000);
    const Encoded ima = EncodeImaAdpcm(tone, 1, 256);  // 505 samples a block
    Stream s(Ima(1, 8000, 256).get());
    Bytes dst(4000);
    // Two and a half blocks in: two out.
    Stream::Step step = s.Convert(ima.data.data(), 640, dst.data(), 4000);
    EXPECT_EQ(step.srcUsed, 512u);
    EXPECT_EQ(step.dstUsed, 2020u);
    // Room for one block and a half: one.
    step = s.Convert(ima.data.data(), 768, dst.data(), 1500);
    EXPECT_EQ(step.srcUsed, 256u);
    EXPECT_EQ(step.dstUsed, 1010u);
    // A part of a block, or too little room: nothing.
    step = s.Convert(ima.data.data(), 255, dst.data(), 4000);
    EXPECT_EQ(step.srcUsed + step.dstUsed, 0u);
    step = s.Convert(ima.data.data(), 768, dst.data(), 1009);
    EXPECT_EQ(step.srcUsed + step.dstUsed, 0u);
}

TEST_F(MsacmTest, SizesOfTheBlockCodecsAreExact) {
    Stream ima(Ima(2, 22050, 1024).get());  // 1017 frames of 4 bytes a block
    DWORD size = 0;
    ASSERT_EQ(acmStreamSize(ima.handle, 3 * 1024 + 100, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 3u * 1017 * 4);
    ASSERT_EQ(acmStreamSize(ima.handle, 1017 * 4 + 1, &size, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 2u * 1024);
    EXPECT_EQ(acmStreamSize(ima.handle, 1000, &size, ACM_STREAMSIZEF_SOURCE), ACMERR_NOTPOSSIBLE)
        << "less than a block converts to nothing";

    const WAVEFORMATEX pcm = Pcm(2, 8000, 16);
    Stream copy(&pcm);
    ASSERT_EQ(acmStreamSize(copy.handle, 1003, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 1000u);
}

// ---- MPEG audio ----------------------------------------------------------------------

struct Mp3Case {
    int channels;
    int rate;
    int samplesPerFrame;
};

class MsacmMp3Test : public MsacmTest, public ::testing::WithParamInterface<Mp3Case> {};

TEST_P(MsacmMp3Test, EveryFrameComesOutInTheStepsTheConverterTakes) {
    const Mp3Case c = GetParam();
    const std::vector<int16_t> tone = Tone(c.rate, c.channels, c.rate);  // one second
    const Mp3 mp3 = EncodeMp3(tone, c.channels, c.rate, 64);
    ASSERT_GT(mp3.frames, 10);
    Stream s(Mp3Format(c.channels, c.rate, 64).get());
    // 2,048 source bytes a step into four thirds of a second of room.
    const uint32_t room = static_cast<uint32_t>(s.pcm.nAvgBytesPerSec * 4u / 3u);
    int empty = -1;
    const std::vector<int16_t> out = s.ConvertAll(mp3.bytes, 2048, room, &empty);
    EXPECT_EQ(empty, 0) << "no step that took source gave nothing";
    // The information frame decodes as a silent frame of its own.
    EXPECT_EQ(out.size(), static_cast<size_t>(mp3.frames + 1) * c.samplesPerFrame * c.channels);
    // The decoder's delay shifts the tone; its level stays.
    double in = 0, got = 0;
    for (int16_t v : tone) in += double(v) * v;
    for (int16_t v : out) got += double(v) * v;
    EXPECT_NEAR(std::sqrt(got / in), 1.0, 0.15);
}

INSTANTIATE_TEST_SUITE_P(Rates, MsacmMp3Test,
                         ::testing::Values(Mp3Case{2, 44100, 1152}, Mp3Case{1, 22050, 576}, Mp3Case{1, 8000, 576}),
                         [](const ::testing::TestParamInfo<Mp3Case>& info) {
                             return (info.param.channels == 2 ? "Stereo" : "Mono") + std::to_string(info.param.rate) +
                                    "Hz";
                         });

TEST_F(MsacmTest, MpegOutputNeverPassesASmallDestinationAndNothingIsLost) {
    const std::vector<int16_t> tone = Tone(44100, 2, 44100);
    const Mp3 mp3 = EncodeMp3(tone, 2, 44100, 128);
    Stream s(Mp3Format(2, 44100, 128).get());
    const std::vector<int16_t> whole = s.ConvertAll(mp3.bytes, 2048, 44100 * 4 * 4 / 3);
    // A restart decodes from the beginning again.
    Stream small(Mp3Format(2, 44100, 128).get());
    const std::vector<int16_t> pieces = small.ConvertAll(mp3.bytes, 2048, 2 * 1152 * 4 + 6);
    EXPECT_EQ(pieces, whole);
    // With room for less than two frames nothing is taken or given.
    Bytes dst(1152 * 4);
    const Stream::Step step = small.Convert(mp3.bytes.data(), 2048, dst.data(), 1152 * 4);
    EXPECT_EQ(step.srcUsed + step.dstUsed, 0u);
}

TEST_F(MsacmTest, StartFlagBeginsTheDecoderAfresh) {
    const std::vector<int16_t> tone = Tone(22050, 1, 22050);
    const Mp3 mp3 = EncodeMp3(tone, 1, 22050, 32);
    Stream s(Mp3Format(1, 22050, 32).get());
    Bytes first(44100), again(44100);
    const Stream::Step a = s.Convert(mp3.bytes.data(), 2048, first.data(), 44100);
    s.Convert(mp3.bytes.data() + a.srcUsed, 2048, again.data(), 44100);
    const Stream::Step b = s.Convert(mp3.bytes.data(), 2048, again.data(), 44100, ACM_STREAMCONVERTF_START);
    ASSERT_GT(a.dstUsed, 0u);
    EXPECT_EQ(b.dstUsed, a.dstUsed);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + a.dstUsed, again.begin()));
}

TEST_F(MsacmTest, GarbageThroughTheMpegCodecGivesNothing) {
    Bytes noise(20000);
    uint32_t x = 12345;
    for (auto& b : noise) {
        x = x * 1103515245 + 12345;
        b = static_cast<uint8_t>(x >> 16);
    }
    Stream s(Mp3Format(2, 44100, 128).get());
    const std::vector<int16_t> out = s.ConvertAll(noise, 2048, 44100 * 4);
    EXPECT_LT(out.size(), 1152u * 2 * 2) << "at most a stray frame or two";
}

TEST_F(MsacmTest, MpegSizeIsAnUpperBound) {
    Stream s(Mp3Format(2, 44100, 128).get());
    DWORD size = 0;
    ASSERT_EQ(acmStreamSize(s.handle, 16000, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
    // 16,000 bytes at 16,000 bytes a second: one second, and one to spare.
    EXPECT_EQ(size, 2u * 44100 * 4);
}

TEST_F(MsacmTest, MpegSizeTakesAStatedRateBelowTheLowestBitRateAsTheLowest) {
    // A damaged format stating 2 bytes a second (or none) would make 2,048
    // bytes of source 17 minutes of sound; no stream is below 8 kbit/s.
    for (DWORD stated : {0u, 2u, 999u, 1000u}) {
        FormatBlock format = Mp3Format(2, 44100, 128);
        reinterpret_cast<WAVEFORMATEX*>(format.bytes.data())->nAvgBytesPerSec = stated;
        Stream s(format.get());
        DWORD size = 0;
        ASSERT_EQ(acmStreamSize(s.handle, 2000, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR) << stated;
        // 2,000 bytes at 1,000 bytes a second: two seconds, and one to spare.
        EXPECT_EQ(size, 3u * 44100 * 4) << stated;
        ASSERT_EQ(acmStreamSize(s.handle, 44100 * 4, &size, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
        EXPECT_EQ(size, 1000u) << stated;
    }
}

// ---- metrics and injected failures -------------------------------------------------------

TEST_F(MsacmTest, MetricsReportTheLargestFormat) {
    DWORD size = 0;
    ASSERT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_NOERROR);
    EXPECT_EQ(size, 50u);
    EXPECT_GE(size, sizeof(MPEGLAYER3WAVEFORMAT));
}

TEST_F(MsacmTest, InjectedFailuresGiveTheChosenResultOnce) {
    const WAVEFORMATEX source = Pcm(1, 8000, 16);
    WAVEFORMATEX pcm = Suggest(&source);
    seams::FailCall("acmStreamOpen", 1, ACMERR_NOTPOSSIBLE);
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, nullptr, 0, 0, 0), ACMERR_NOTPOSSIBLE);
    EXPECT_EQ(msacm::OpenStreamCountForTest(), 0);
    ASSERT_EQ(acmStreamOpen(&stream, nullptr, &source, &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    seams::FailCall("acmMetrics");
    DWORD size = 0;
    EXPECT_EQ(acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &size), MMSYSERR_ERROR);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
}

}  // namespace
