// Ogg Vorbis through the converter: formats, sizes, refills and seeks, chained
// streams, 8-bit output, the reader kept for movie sound tracks with a
// multiplexed movie file, stream sounds, and cut-off or foreign data.
#include "codec_test_util.h"
#include "sound/sound_ogg.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>

using namespace codecsound;
using codectest::EncodeOgg;
using codectest::EncodeOggPages;
using codectest::Join;
using codectest::MultiplexWithOtherStream;
using codectest::OtherStreamPages;
using codectest::RelativeError;
using codectest::Tone;
using codectest::WithNoise;

namespace {

class OggVorbisTest : public soundtest::SoundTest {
protected:
    void TearDown() override {
        OggSampleBytes = 2;
        OggOldDecoderFlag = 0;
        soundtest::SoundTest::TearDown();
    }

    // 150,000 samples (3.4 s): ten pages, as a real file has several.
    static const std::vector<int16_t>& MonoTone() {
        static const std::vector<int16_t> tone = WithNoise(Tone(150000, 1, 44100));
        return tone;
    }
    static const Bytes& MonoFile() {
        static const Bytes file = EncodeOgg(MonoTone(), 1, 44100);
        return file;
    }
};

TEST_F(OggVorbisTest, MonoAndStereoStreamsGiveSixteenBitPcmOfTheirLength) {
    Opened mono(MonoFile());
    ASSERT_EQ(mono.result, 0);
    EXPECT_EQ(mono.converter.kind, kConverterOgg);
    WAVEFORMATEX f = ExpectPcm16Format(&mono.converter, 1, 44100);
    EXPECT_EQ(mono.converter.blockCapacity, 4096u);
    EXPECT_EQ(GetConvertedSize(&mono.converter), 300000);
    const std::vector<int16_t> pcm = ReadAllSamples(&mono.converter);
    ASSERT_EQ(pcm.size(), MonoTone().size());
    EXPECT_LT(RelativeError(pcm, MonoTone()), 0.1) << "sample for sample, as encoded";

    const std::vector<int16_t> stereoTone = WithNoise(Tone(40000, 2, 22050));
    Opened stereo(EncodeOgg(stereoTone, 2, 22050));
    ASSERT_EQ(stereo.result, 0);
    GetConverterFormat(&stereo.converter, &f);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(GetConvertedSize(&stereo.converter), 40000 * 4);
    EXPECT_LT(RelativeError(ReadAllSamples(&stereo.converter), stereoTone), 0.1);
}

TEST_F(OggVorbisTest, ARefillHoldsAtMostFourKilobytes) {
    Opened o(MonoFile());
    ASSERT_EQ(o.result, 0);
    uint8_t byte = 0;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(ReadConverter(&o.converter, &byte, 1), 1);
        EXPECT_LE(o.converter.blockLeft + 1, 4096u);
        // Take the rest of the block so that the next read refills.
        ReadBytes(&o.converter, static_cast<int32_t>(o.converter.blockLeft));
    }
}

TEST_F(OggVorbisTest, SeeksLandOnTheSampleAndPastTheEndTheDataEnds) {
    Opened o(MonoFile());
    ASSERT_EQ(o.result, 0);
    const std::vector<int16_t> whole = ReadAllSamples(&o.converter);
    ASSERT_EQ(SeekConverter(&o.converter, 12345), 0);
    EXPECT_EQ(o.converter.outputPosition, 24690u);
    EXPECT_EQ(AsSamples(ReadBytes(&o.converter, 2000)),
              std::vector<int16_t>(whole.begin() + 12345, whole.begin() + 13345));
    ASSERT_EQ(SeekConverter(&o.converter, 10), 0);
    EXPECT_EQ(AsSamples(ReadBytes(&o.converter, 20)), std::vector<int16_t>(whole.begin() + 10, whole.begin() + 20));
    ASSERT_EQ(SeekConverter(&o.converter, 900000), 0);
    EXPECT_EQ(ReadBytes(&o.converter, 100).size(), 0u);
    EXPECT_EQ(o.converter.ended, 1);
}

TEST_F(OggVorbisTest, ChainedStreamsOfOneFormatCountEveryLink) {
    const std::vector<int16_t> a = WithNoise(Tone(60000, 1, 44100, 300)), b = WithNoise(Tone(70000, 1, 44100, 500));
    const Bytes file = codectest::Join({EncodeOgg(a, 1, 44100, 1), EncodeOgg(b, 1, 44100, 2)});
    Opened o(file);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(GetConvertedSize(&o.converter), 260000);
    const std::vector<int16_t> pcm = ReadAllSamples(&o.converter);
    ASSERT_EQ(pcm.size(), 130000u);
    EXPECT_LT(RelativeError(pcm, a), 0.1);
    EXPECT_LT(RelativeError(std::vector<int16_t>(pcm.begin() + 60000, pcm.end()), b), 0.1);
}

TEST_F(OggVorbisTest, AChainedLinkOfAnotherFormatEndsTheData) {
    // A mono link, then a stereo one: its samples would be garbled as mono.
    const std::vector<int16_t> a = WithNoise(Tone(60000, 1, 44100)), b = WithNoise(Tone(40000, 2, 44100));
    const Bytes file = codectest::Join({EncodeOgg(a, 1, 44100, 1), EncodeOgg(b, 2, 44100, 2)});
    Opened o(file);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(GetConvertedSize(&o.converter), 120000);
    const std::vector<int16_t> pcm = ReadAllSamples(&o.converter);
    EXPECT_EQ(pcm.size(), 60000u);
    EXPECT_LT(RelativeError(pcm, a), 0.1);
}

TEST_F(OggVorbisTest, ShortChainedFilesDecodeFromTheirFirstSample) {
    // Two short links each; the decoder does not stand at the first sample
    // after opening them.
    struct Case {
        const char* what;
        const char* file;
        int channels;
        uint32_t rate;
    };
    const Case cases[] = {
        {"links of one format", "chained-2links-same-format.ogg", 1, 8000},
        {"links of two formats", "chained-2links-different-format.ogg", 2, 22050},
    };
    for (const Case& c : cases) {
        Opened o(soundtest::ReadTestFile(c.file));
        ASSERT_EQ(o.result, 0) << c.what;
        ExpectPcm16Format(&o.converter, static_cast<WORD>(c.channels), c.rate);
        const int32_t size = GetConvertedSize(&o.converter);
        EXPECT_GT(size, 0) << c.what;
        for (int pass = 0; pass < 2; ++pass) {
            const std::vector<int16_t> pcm = ReadAllSamples(&o.converter);
            EXPECT_EQ(static_cast<int32_t>(pcm.size() * 2), size) << c.what << " pass " << pass;
            EXPECT_TRUE(std::any_of(pcm.begin(), pcm.end(), [](int16_t v) { return v != 0; }))
                << c.what << " pass " << pass;
            ASSERT_EQ(SeekConverter(&o.converter, 0), 0) << c.what;
        }
    }
}

TEST_F(OggVorbisTest, PageLayoutsThatLeadTheDecoderAstrayAreRefusedAtOpen) {
    const std::vector<int16_t> tone = WithNoise(Tone(40000, 1, 22050));
    const codectest::Pages v = EncodeOggPages(tone, 1, 22050, 1), w = EncodeOggPages(tone, 1, 22050, 2);
    const codectest::Pages other = OtherStreamPages(77, 2);
    ASSERT_GE(v.size(), 4u);
    const Bytes junk(50, 0x5A);
    auto with = [&](std::initializer_list<Bytes> head, size_t from) {
        codectest::Pages all(head);
        all.insert(all.end(), v.begin() + static_cast<long>(from), v.end());
        return Join(all);
    };
    struct Case {
        const char* what;
        Bytes file;
        bool opens;
    };
    const Case cases[] = {
        {"a header page repeated", with({v[0], v[1], v[1]}, 2), false},
        {"a header page repeated, another stream's page between", with({other[0], v[0], v[1], other[1], v[1]}, 2), false},
        {"a page of a stream the link did not start", with({v[0], v[1], other[1]}, 2), false},
        {"two Vorbis streams in one link", with({v[0], w[0], v[1], w[1]}, 2), false},
        {"damaged bytes inside the headers", with({v[0], junk, v[1]}, 2), false},
        {"the identification header alone", with({v[0], v[2]}, 3), false},
        {"found by fuzzing: seek", soundtest::ReadTestFile("vorbisfile-pcm-seek-negative-memmove.min.ogg"), false},
        {"found by fuzzing: read after a seek",
         soundtest::ReadTestFile("vorbisfile-read-after-seek-negative-memmove.ogg"), false},
        {"plain", Join(v), true},
        {"another stream multiplexed", MultiplexWithOtherStream(v, 77), true},
        {"damaged bytes among the audio pages", with({v[0], v[1], v[2], junk}, 3), true},
        {"two links", Join({Join(v), Join(w)}), true},
    };
    for (const Case& c : cases) {
        ASSERT_GT(c.file.size(), 1000u) << c.what;
        const std::string before = NewLog();
        Opened o(c.file);
        EXPECT_EQ(o.result == 0, c.opens) << c.what;
        const std::string log = NewLog().substr(before.size());
        EXPECT_EQ(Contains(log, "Ogg Vorbis データの構造が壊れています"), !c.opens) << c.what << ": " << log;
        if (c.opens) {
            EXPECT_GE(ReadAllSamples(&o.converter).size(), 40000u) << c.what;
            EXPECT_EQ(SeekConverter(&o.converter, 1000), 0) << c.what;
            EXPECT_FALSE(ReadAllSamples(&o.converter).empty()) << c.what;
        }
    }
}

TEST_F(OggVorbisTest, EightBitOutputAndAnUnsetSampleWidth) {
    OggSampleBytes = 1;
    Opened narrow(MonoFile());
    ASSERT_EQ(narrow.result, 0);
    WAVEFORMATEX f{};
    GetConverterFormat(&narrow.converter, &f);
    EXPECT_EQ(f.wBitsPerSample, 8);
    EXPECT_EQ(f.nBlockAlign, 1);
    EXPECT_EQ(GetConvertedSize(&narrow.converter), 150000);
    Bytes pcm = ReadBytes(&narrow.converter, 200000);
    ASSERT_EQ(pcm.size(), 150000u);
    // Unsigned samples around 128, following the tone's high byte.
    for (size_t i = 0; i < pcm.size(); i += 97)
        EXPECT_NEAR(pcm[i] - 128, MonoTone()[i] / 256.0, 8) << i;

    // A width never set (0) reads as 16-bit: no zero block size, no crash.
    OggSampleBytes = 0;
    Opened unset(MonoFile());
    ASSERT_EQ(unset.result, 0);
    GetConverterFormat(&unset.converter, &f);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.nBlockAlign, 2);

    // Sound's start sets the width to 2.
    OggSampleBytes = 1;
    ASSERT_EQ(TerminateSound(), 0);
    ASSERT_EQ(InitializeSound(), 0);
    Opened restarted(MonoFile());
    ASSERT_EQ(restarted.result, 0);
    GetConverterFormat(&restarted.converter, &f);
    EXPECT_EQ(f.wBitsPerSample, 16);
}

TEST_F(OggVorbisTest, AConverterKeepsTheReaderItOpenedWith) {
    const int32_t defaultBefore = OggReaderRefillCountForTest(0);
    const int32_t movieBefore = OggReaderRefillCountForTest(1);
    OggOldDecoderFlag = 1;
    Opened movie(MonoFile());
    OggOldDecoderFlag = 0;
    Opened other(MonoFile());
    ASSERT_EQ(movie.result, 0);
    ASSERT_EQ(other.result, 0);
    ReadBytes(&movie.converter, 10000);
    EXPECT_GT(OggReaderRefillCountForTest(1), movieBefore);
    EXPECT_EQ(OggReaderRefillCountForTest(0), defaultBefore) << "the flag is read at open only";
    const int32_t movieAfter = OggReaderRefillCountForTest(1);
    ReadBytes(&other.converter, 10000);
    EXPECT_GT(OggReaderRefillCountForTest(0), defaultBefore);
    EXPECT_EQ(OggReaderRefillCountForTest(1), movieAfter);
}

TEST_F(OggVorbisTest, AMovieFileSoundTrackLoadsAsAStreamSoundTheWayTheMovieOpenerAsks) {
    // Another stream (a video's) first, the Vorbis track multiplexed with it.
    const Bytes movie = MultiplexWithOtherStream(EncodeOggPages(MonoTone(), 1, 44100, 5), 9);
    WriteFile("movie.ogv", movie);
    const int32_t savedType = GetSoundLoadType(), savedMask = GetSoundConvertMask();
    MovieOggReaderFlag = 1;
    SetSoundLoadType(3);
    SetSoundConvertMask(~kConvertMaskOgg);
    const int32_t h = LoadSound("movie.ogv", 1, -1);
    SetSoundConvertMask(savedMask);
    MovieOggReaderFlag = 0;
    SetSoundLoadType(savedType);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(h), 150000);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    bool ended = false;
    const std::vector<int16_t> played = PlayThrough(h, 0.5, &ended);
    EXPECT_FALSE(ended);
    EXPECT_GE(GetSoundCurrentTime(h), 450) << "the movie's clock runs with the track";
    EXPECT_LT(RelativeError(std::vector<int16_t>(played.begin(), played.begin() + 20000), MonoTone()), 0.1);
    EXPECT_EQ(DeleteSound(h, 0), 0);

    // A file with no Vorbis track at all has no sound.
    WriteFile("silent.ogv", Join(OtherStreamPages(9, 5)));
    SetSoundLoadType(3);
    SetSoundConvertMask(~kConvertMaskOgg);
    EXPECT_EQ(LoadSound("silent.ogv", 1, -1), -1);
    SetSoundConvertMask(0);
    SetSoundLoadType(0);
}

TEST_F(OggVorbisTest, MemoryAndStreamSoundsPlayTheDecodedSamples) {
    WriteFile("tone.ogg", MonoFile());
    Opened o(MonoFile());
    const std::vector<int16_t> decoded = ReadAllSamples(&o.converter);
    const int32_t memory = LoadSoundFile("tone.ogg", 2, -1);
    ASSERT_NE(memory, -1) << NewLog();
    EXPECT_EQ(GetSoundTotalSample(memory), 150000);
    EXPECT_EQ(BufferSamples(memory, 300000), decoded);
    for (int type : {2, 3}) {
        SetSoundLoadType(type);
        const int32_t h = LoadSoundFile("tone.ogg", 1, -1);
        ASSERT_NE(h, -1) << type;
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        bool ended = false;
        const std::vector<int16_t> played = PlayThrough(h, 5.0, &ended);
        EXPECT_TRUE(ended) << type;
        ASSERT_GE(played.size(), decoded.size()) << type;
        EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), played.begin())) << type;
        EXPECT_EQ(DeleteSound(h, 0), 0);
    }
}

TEST_F(OggVorbisTest, CutOffAndForeignDataAreHandled) {
    const Bytes& file = MonoFile();
    const codectest::Pages pages = EncodeOggPages(MonoTone(), 1, 44100);
    const size_t headers = pages[0].size() + pages[1].size();
    // Cut in the middle of the audio: what is there plays.
    Opened half(Bytes(file.begin(), file.begin() + headers + (file.size() - headers) / 2));
    ASSERT_EQ(half.result, 0);
    const int32_t size = GetConvertedSize(&half.converter);
    EXPECT_GT(size, 100000);
    EXPECT_LT(size, 200000);
    EXPECT_EQ(static_cast<int32_t>(ReadAllSamples(&half.converter).size() * 2), size);

    // Cut inside the headers, noise, and noise behind an Ogg page signature: refused and logged.
    std::mt19937 random(11);
    Bytes noise(30000);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    Bytes signed_ = {'O', 'g', 'g', 'S', 0, 2};
    signed_.insert(signed_.end(), noise.begin(), noise.end());
    const Bytes cases[] = {Bytes(file.begin(), file.begin() + 100), noise, signed_};
    for (const Bytes& bad : cases) {
        WriteFile("bad.ogg", bad);
        EXPECT_EQ(LoadSoundFile("bad.ogg", 1, -1), -1) << bad.size();
        EXPECT_TRUE(Contains(NewLog(), "右記の音声ファイルのロードに失敗しました_2：bad.ogg"));
    }
    // Headers with no audio page after them: nothing to play.
    Opened headersOnly(codectest::Join({pages[0], pages[1]}));
    EXPECT_EQ(headersOnly.result, -1);
}

}  // namespace

namespace {

TEST_F(OggVorbisTest, CutOrDamagedFilesFailOrPlayWhatIsThere) {
    const Bytes& file = MonoFile();
    const codectest::Pages pages = EncodeOggPages(MonoTone(), 1, 44100);
    const size_t headers = pages[0].size() + pages[1].size();
    for (size_t length = 0; length < file.size(); length += 1499) {
        const int32_t h = Load(Bytes(file.begin(), file.begin() + length));
        if (length <= headers) {
            EXPECT_EQ(h, -1) << "cut at " << length;
        }
        if (h != -1) {
            EXPECT_LE(GetSoundTotalSample(h), 150000) << "cut at " << length;
            DeleteSound(h, 0);
        }
    }
    // Two damaged pages fail their checksums and are passed over; the rest plays.
    Bytes damaged = file;
    damaged[headers + 100] ^= 0x5A;
    damaged[headers + (file.size() - headers) / 2] ^= 0xA5;
    const int32_t h = Load(damaged);
    ASSERT_NE(h, -1);
    EXPECT_GT(GetSoundTotalSample(h), 0);
    EXPECT_LE(GetSoundTotalSample(h), 150000);
    // With every page damaged there is nothing to play.
    for (size_t i = headers + 100; i < damaged.size(); i += 2000) damaged[i] ^= 0x3C;
    EXPECT_EQ(Load(damaged), -1);
}

}  // namespace

namespace {

// A page with a new granule position, its checksum set again.
Bytes WithGranule(Bytes page, uint64_t granule) {
    for (int i = 0; i < 8; ++i) page[6 + i] = static_cast<uint8_t>(granule >> (8 * i));
    ogg_page p{};
    p.header = page.data();
    p.header_len = 27 + page[26];
    p.body = page.data() + p.header_len;
    p.body_len = static_cast<long>(page.size()) - p.header_len;
    ogg_page_checksum_set(&p);
    return page;
}

// 1 when the first stream's three headers are taken and the decoder starts
// with them, -1 when the headers are taken but the decoder will not start,
// 0 when a header is refused.
int DecoderStart(const Bytes& file) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(file.size()));
    std::memcpy(buffer, file.data(), file.size());
    ogg_sync_wrote(&sync, static_cast<long>(file.size()));
    ogg_stream_state stream;
    bool streamStarted = false;
    vorbis_info info;
    vorbis_comment comment;
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
    int headers = 0;
    ogg_page page;
    ogg_packet packet;
    while (headers >= 0 && headers < 3 && ogg_sync_pageout(&sync, &page) == 1) {
        if (!streamStarted) streamStarted = ogg_stream_init(&stream, ogg_page_serialno(&page)) == 0;
        ogg_stream_pagein(&stream, &page);
        while (headers >= 0 && headers < 3 && ogg_stream_packetout(&stream, &packet) == 1)
            headers = vorbis_synthesis_headerin(&info, &comment, &packet) == 0 ? headers + 1 : -1;
    }
    int result = 0;
    if (headers == 3) {
        vorbis_dsp_state dsp;
        result = vorbis_synthesis_init(&dsp, &info) == 0 ? 1 : -1;
        if (result == 1) vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    if (streamStarted) ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return result;
}

// A short tone whose setup header has one bit changed so that the header is
// still taken but the decoder cannot start with its codebooks (an
// over-full code); empty when no such bit is found.
Bytes SetupTheDecoderCannotStart() {
    codectest::Pages pages = EncodeOggPages(Tone(6000, 1, 22050), 1, 22050);
    Bytes& setup = pages[1];
    const size_t header = 27u + setup[26];
    for (size_t i = header; i < setup.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            setup[i] ^= static_cast<uint8_t>(1u << bit);
            setup = WithGranule(setup, 0);
            const Bytes file = Join(pages);
            if (DecoderStart(file) == -1) return file;
            setup[i] ^= static_cast<uint8_t>(1u << bit);
        }
    }
    return {};
}

TEST_F(OggVorbisTest, GranulePositionsClaimingAlmostForeverDecodeOnlyWhatIsThere) {
    // Two links of one format, several pages each, whose last pages claim
    // 2^63 - 1 samples: the sum and the byte count stay in range.
    const std::vector<int16_t> tone = WithNoise(Tone(60000, 1, 22050));
    codectest::Pages first = EncodeOggPages(tone, 1, 22050, 1);
    codectest::Pages second = EncodeOggPages(tone, 1, 22050, 2);
    ASSERT_GT(first.size(), 3u);
    first.back() = WithGranule(first.back(), 0x7FFFFFFFFFFFFFFFull);
    second.back() = WithGranule(second.back(), 0x7FFFFFFFFFFFFFFFull);
    Bytes file = Join(first);
    const Bytes tail = Join(second);
    file.insert(file.end(), tail.begin(), tail.end());

    Opened o(file);
    ASSERT_EQ(o.result, 0);
    EXPECT_EQ(GetConvertedSize(&o.converter), INT32_MAX) << "the claim, at most the largest size";
    const std::vector<int16_t> decoded = ReadAllSamples(&o.converter);
    // Every sample of both links, the last blocks untrimmed.
    EXPECT_GE(decoded.size(), 120000u);
    EXPECT_LT(decoded.size(), 120000u + 8192u);

    // A memory sound keeps the samples that decoded, not a block of the claimed size.
    const uint64_t bytesBefore = AllocatedByteCount();
    const int32_t h = Load(file);
    ASSERT_NE(h, -1) << NewLog();
    EXPECT_LT(AllocatedByteCount() - bytesBefore, 2u << 20);
    EXPECT_EQ(GetSoundTotalSample(h), static_cast<int32_t>(decoded.size()));
    EXPECT_EQ(BufferSamples(h, static_cast<uint32_t>(decoded.size() * 2)), decoded);
    EXPECT_EQ(DeleteSound(h, 0), 0);
}

TEST_F(OggVorbisTest, ASetupTheDecoderCannotStartWithEndsTheDataAndLaterSeeksAndLoopsAreSafe) {
    const Bytes file = SetupTheDecoderCannotStart();
    ASSERT_FALSE(file.empty()) << "no setup header found that the decoder refuses";

    Opened o(file);
    ASSERT_EQ(o.result, 0) << "the headers themselves are taken";
    EXPECT_TRUE(ReadAllSamples(&o.converter).empty());
    // After the decoder's refusal every later seek and read finds the data
    // ended, from the start or anywhere else, as often as asked.
    for (int32_t sample : {1000, 0, 0, 5999, 3000, 0}) {
        EXPECT_EQ(SeekConverter(&o.converter, sample), 0) << sample;
        EXPECT_TRUE(ReadBytes(&o.converter, 4096).empty()) << sample;
    }

    // As a sound, loaded whole or streamed, looping: nothing plays and
    // nothing breaks.
    for (int type : {0, 2}) {
        SetSoundLoadType(type);
        const int32_t h = Load(file);
        if (h == -1) continue;
        PlaySoundHandle(h, kPlayTypeLoop, 1);
        PlayThrough(h, 0.5);
        StopSound(h);
        PlaySoundHandle(h, kPlayTypeBackground, 0);
        PlayThrough(h, 0.2);
        EXPECT_EQ(DeleteSound(h, 0), 0);
    }
    SetSoundLoadType(0);
}

}  // namespace
