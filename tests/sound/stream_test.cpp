// Stream sounds: sources and loop counts through the one-second ring, the
// refill ahead of the cursor, the clean end, the play position, resume and
// rewind, shared buffers, and the refusals of the add calls.
#include "sound/sound_internal.h"
#include "sound_test_util.h"

#include <algorithm>
#include <fstream>
#include <regex>

using namespace soundtest;

namespace {

constexpr int kStep = 1323;  // 30 ms at 44100 Hz

struct PlayedRun {
    std::vector<int16_t> left;
    std::vector<int32_t> times;  // GetSoundCurrentTime after each step
    bool ended = false;
};

// Renders the output in 30 ms steps, refilling after each as the sound
// thread would, until the sound stops or maxSeconds have passed.
PlayedRun PlayThrough(int32_t h, double maxSeconds) {
    PlayedRun run;
    const int steps = static_cast<int>(maxSeconds * 44100 / kStep);
    for (int i = 0; i < steps; ++i) {
        const std::vector<int16_t> part = RenderLeft(kStep);
        run.left.insert(run.left.end(), part.begin(), part.end());
        EXPECT_EQ(ProcessStreamSounds(), 0);
        if (IsSoundPlaying(h) == 0) {
            run.ended = true;
            break;
        }
        run.times.push_back(GetSoundCurrentTime(h));
    }
    return run;
}

std::vector<int16_t> Concat(std::initializer_list<std::vector<int16_t>> parts) {
    std::vector<int16_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

void WriteFile(const char* name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The index of the first difference, or -1.
long FirstDifference(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
    const size_t n = std::min(got.size(), want.size());
    for (size_t i = 0; i < n; ++i)
        if (got[i] != want[i]) return static_cast<long>(i);
    return got.size() < want.size() ? static_cast<long>(n) : -1;
}

class StreamTest : public SoundTest {
protected:
    const std::vector<int16_t> a = Pattern(13230, 0);      // 0.30 s
    const std::vector<int16_t> b = Pattern(8820, 8000);    // 0.20 s
    const std::vector<int16_t> c = Pattern(11025, 16000);  // 0.25 s
};

TEST_F(StreamTest, ThreeSourcesWithLoopCountsPlayInOrderThenStop) {
    const Bytes imageA = Wave16(a), imageB = Wave16(b);
    WriteFile("c.wav", Wave16(c));
    const int32_t h = AddSoundData(-1);
    ASSERT_EQ(AddStreamMemory(imageA.data(), static_cast<uint32_t>(imageA.size()), 1, h, kStreamSourceMemory, -1), 0);
    ASSERT_EQ(AddStreamMemory(imageB.data(), static_cast<uint32_t>(imageB.size()), 0, h, kStreamSourceConverted, -1),
              0);
    ASSERT_EQ(AddStreamFile("c.wav", 2, h, kStreamSourceStream, -1), 0);
    ASSERT_EQ(PreloadStream(h), 0);
    EXPECT_EQ(GetSoundTotalSample(h), 13230 + 8820 + 11025);
    EXPECT_EQ(GetSoundTotalTime(h), 750);

    const std::vector<int16_t> expected = Concat({a, a, b, c, c, c});
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayedRun first = PlayThrough(h, 4.0);
    ASSERT_TRUE(first.ended) << "the stream stops by itself after its data";
    EXPECT_EQ(FirstDifference(first.left, expected), -1);
    EXPECT_LT(first.left.size(), expected.size() + 44100 / 4) << "it stops soon after the end";
    for (size_t i = expected.size(); i < first.left.size(); ++i) ASSERT_EQ(first.left[i], 0) << "silence after the end";
    for (size_t k = 0; k < first.times.size(); ++k)
        ASSERT_EQ(first.times[k], std::min<int32_t>(30 * static_cast<int32_t>(k + 1), 750))
            << "the position follows the cursor and never passes the total";

    // A new play starts from the beginning of the first source again.
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    PlayedRun second = PlayThrough(h, 4.0);
    EXPECT_TRUE(second.ended);
    EXPECT_EQ(FirstDifference(second.left, expected), -1);
}

TEST_F(StreamTest, AnEndSampleCutsItsSourceShort) {
    const Bytes imageA = Wave16(a), imageB = Wave16(b);
    const int32_t h = AddSoundData(-1);
    ASSERT_EQ(AddStreamMemory(imageA.data(), static_cast<uint32_t>(imageA.size()), 0, h, kStreamSourceMemory, -1), 0);
    ASSERT_EQ(AddStreamMemory(imageB.data(), static_cast<uint32_t>(imageB.size()), 0, h, kStreamSourceMemory, -1), 0);
    FindSound(h)->sources[0].endSample = 4410;
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayedRun run = PlayThrough(h, 2.0);
    EXPECT_TRUE(run.ended);
    const std::vector<int16_t> expected = Concat({std::vector<int16_t>(a.begin(), a.begin() + 4410), b});
    EXPECT_EQ(FirstDifference(run.left, expected), -1);
    for (size_t i = expected.size(); i < run.left.size(); ++i) ASSERT_EQ(run.left[i], 0) << "silence after the end";
}

TEST_F(StreamTest, AnEndlessSourceLoopsAndItsPositionStartsAgain) {
    struct Case {
        const char* what;
        int32_t loopStart;  // sample
    } const cases[] = {
        {"from the beginning", 0},
        {"from a loop start sample", 3000},
    };
    const Bytes image = Wave16(a);
    for (const Case& c : cases) {
        const int32_t h = AddSoundData(-1);
        ASSERT_EQ(AddStreamMemory(image.data(), static_cast<uint32_t>(image.size()), -1, h, kStreamSourceMemory, -1),
                  0);
        FindSound(h)->sources[0].loopStartSample = c.loopStart;
        ASSERT_EQ(PreloadStream(h), 0);
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        PlayedRun run = PlayThrough(h, 2.0);
        EXPECT_FALSE(run.ended) << c.what;
        // The first pass plays the whole source, every later one from the loop start.
        std::vector<int16_t> expected = a;
        while (expected.size() < run.left.size()) expected.insert(expected.end(), a.begin() + c.loopStart, a.end());
        expected.resize(run.left.size());
        EXPECT_EQ(FirstDifference(run.left, expected), -1) << c.what;
        // After 2 seconds of a 0.3 s loop the position lies within the loop.
        EXPECT_LT(run.times.back(), 300) << c.what;
        const size_t position = c.loopStart + (run.left.size() - a.size()) % (a.size() - c.loopStart);
        EXPECT_EQ(run.times.back(), static_cast<int32_t>(position * 1000 / 44100)) << c.what;
        ASSERT_EQ(StopSound(h), 0);
        EXPECT_EQ(IsSoundPlaying(h), 0) << c.what;
        ASSERT_EQ(DeleteSound(h, 0), 0);
    }
}

TEST_F(StreamTest, LoopingPlayGoesBackToTheFirstSourceWithItsPosition) {
    const Bytes imageA = Wave16(a), imageB = Wave16(b);
    SetSoundLoadType(2);
    const int32_t h = Load(imageA);
    ASSERT_NE(h, -1);
    ASSERT_EQ(AddStreamMemory(imageB.data(), static_cast<uint32_t>(imageB.size()), 0, h, kStreamSourceMemory, -1), 0);
    ASSERT_EQ(PlaySoundHandle(h, kPlayTypeLoop, 1), 0);
    PlayedRun run = PlayThrough(h, 1.5);
    EXPECT_FALSE(run.ended);
    const std::vector<int16_t> expected = Concat({a, b, a, b, a, b});
    EXPECT_EQ(FirstDifference(run.left, std::vector<int16_t>(expected.begin(), expected.begin() + run.left.size())),
              -1);
    // 0.5 s per round: the position after 1.5 s less one step is back near the start.
    const size_t round = 13230 + 8820;
    const size_t played = run.times.size() * kStep;
    EXPECT_EQ(run.times.back(), static_cast<int32_t>(played % round * 1000 / 44100));
}

TEST_F(StreamTest, EightBitSilenceIsByte127) {
    const Bytes samples(4410, 0xC0);
    SetSoundLoadType(2);
    const int32_t h = Load(Wave8(samples));
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayedRun run = PlayThrough(h, 2.0);
    ASSERT_TRUE(run.ended);
    for (size_t i = 0; i < 4410; ++i) ASSERT_EQ(run.left[i], 64 * 256);
    EXPECT_EQ(run.left[4410], -256) << "byte 127 after the data";
    for (size_t i = 4410; i < run.left.size(); ++i) ASSERT_TRUE(run.left[i] == -256 || run.left[i] == 0) << i;
}

TEST_F(StreamTest, NothingIsWrittenWhileThreeQuartersOfASecondAreAhead) {
    const std::vector<int16_t> longer = Pattern(88200, 0);
    SetSoundLoadType(2);
    const int32_t h = Load(Wave16(longer));
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(RefillStream(h), 0) << "3/4 s ahead: one eighth more";
    EXPECT_EQ(RefillStream(h), -1) << "7/8 s ahead: nothing";
    EXPECT_EQ(RefillStream(0x10000000 | 0x7FFF), 0) << "no such stream";
    PlayedRun run = PlayThrough(h, 1.0);
    EXPECT_EQ(FirstDifference(run.left, std::vector<int16_t>(longer.begin(), longer.begin() + run.left.size())), -1);
}

TEST_F(StreamTest, StopAndPlayResumesWhilePlayFromTheStartRewinds) {
    const std::vector<int16_t> longer = Pattern(88200, 0);
    SetSoundLoadType(3);
    const int32_t h = Load(Wave16(longer));
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayThrough(h, 0.3);
    const size_t stoppedAt = 10 * kStep;
    EXPECT_EQ(PlaySoundHandle(h, 1, 0), -1) << "already playing";
    EXPECT_EQ(IsSoundPlaying(h), 1);
    ASSERT_EQ(StopSound(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    EXPECT_EQ(RenderLeft(100), std::vector<int16_t>(100, 0));
    EXPECT_EQ(GetSoundCurrentTime(h), 300);
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    PlayedRun resumed = PlayThrough(h, 0.1);
    EXPECT_EQ(resumed.left[0], longer[stoppedAt]) << "resumed where it stopped";
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    EXPECT_EQ(GetSoundCurrentTime(h), 0);
    EXPECT_EQ(RenderLeft(1)[0], longer[0]) << "from the start again";
}

TEST_F(StreamTest, AddingSourcesIsRefusedWhenItCannotWork) {
    const Bytes mono = Wave16(Pattern(100, 0)), stereo = Wave16(Pattern(100, 0), 2);
    const auto add = [](const Bytes& image, int32_t h) {
        return AddStreamMemory(image.data(), static_cast<uint32_t>(image.size()), 0, h, kStreamSourceMemory, -1);
    };
    const int32_t h = AddSoundData(-1);
    ASSERT_EQ(add(mono, h), 0);
    EXPECT_EQ(add(stereo, h), -1);
    ASSERT_EQ(add(mono, h), 0);
    ASSERT_EQ(add(mono, h), 0);
    EXPECT_EQ(add(mono, h), -1);
    const int32_t other = AddSoundData(-1);
    ASSERT_EQ(add(Wave16(Pattern(88200, 0)), other), 0);
    ASSERT_EQ(PreloadStream(other), 0);
    ASSERT_EQ(PlaySoundHandle(other, 1, 1), 0);
    EXPECT_EQ(add(mono, other), -1);
    const int32_t memory = Load(mono);
    EXPECT_EQ(add(mono, memory), -1);
    EXPECT_EQ(AddStreamFile("absent.wav", 0, other, kStreamSourceMemory, -1), -1);
    WriteFile("noise.wav", Bytes(64, 0x5A));
    const int32_t unread = AddSoundData(-1);
    EXPECT_EQ(AddStreamFile("noise.wav", 0, unread, kStreamSourceMemory, -1), -1);
    EXPECT_EQ(DeleteSound(unread, 0), 0);

    const std::string log = NewLog();
    EXPECT_NE(log.find("フォーマットの違う音声データは同時に使うことは出来ません"), std::string::npos);
    EXPECT_NE(log.find("ストリーム風サウンドの制御データ領域がいっぱいです\r\n"), std::string::npos);
    EXPECT_NE(log.find("既に再生中のストリームサウンドデータにデータを追加しようとしました\r\n"), std::string::npos);
    EXPECT_NE(log.find("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\r\n"),
              std::string::npos);
    // The file lines carry their own line end, so an empty line follows each.
    for (const std::string line : {"右記のＷＡＶファイルのロードに失敗しました：absent.wav \r\n",
                                   "右記のＷＡＶファイルのセットアップに失敗しました：noise.wav \r\n"}) {
        const size_t at = log.find(line);
        ASSERT_NE(at, std::string::npos) << line;
        EXPECT_TRUE(std::regex_search(log.substr(at + line.size()), std::regex("^[0-9]+:\r\n"))) << line;
    }
    EXPECT_NE(log.find("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \r\n"), std::string::npos);
}

TEST_F(StreamTest, AStreamCanPlayOnItsPartnersBuffer) {
    const Bytes image = Wave16(a);
    SetSoundLoadType(2);
    const int32_t owner = Load(image);
    const int32_t sharer = CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, owner);
    ASSERT_NE(owner, -1);
    ASSERT_NE(sharer, -1);
    EXPECT_EQ(GetSoundBufferForTest(sharer, 0), nullptr) << "no buffer of its own";
    ASSERT_EQ(PlaySoundHandle(sharer, 1, 1), 0);
    EXPECT_EQ(IsSoundPlaying(sharer), 1);
    EXPECT_EQ(IsSoundPlaying(owner), 0) << "the buffer is the sharer's now";
    ASSERT_EQ(PlaySoundHandle(owner, 1, 1), 0) << "taken back";
    EXPECT_EQ(IsSoundPlaying(sharer), 0);
    // The owner outlives its deletion until the last sharer goes.
    ASSERT_EQ(DeleteSound(owner, 0), 0);
    EXPECT_EQ(GetSoundTotalSample(owner), 13230);
    ASSERT_EQ(DeleteSound(sharer, 0), 0);
    EXPECT_EQ(GetSoundTotalSample(owner), -1);
}

TEST_F(StreamTest, APlayingStreamCanBeDeleted) {
    const Bytes image = Wave16(a);
    SetSoundLoadType(2);
    const int32_t h = Load(image);
    ASSERT_EQ(PlaySoundHandle(h, kPlayTypeLoop, 1), 0);
    PlayThrough(h, 0.2);
    ASSERT_EQ(DeleteSound(h, 0), 0);
    EXPECT_EQ(ProcessStreamSounds(), 0);
    EXPECT_EQ(RenderLeft(10), std::vector<int16_t>(10, 0));
}

// What the mixer makes of a continuous 22050 Hz signal at the 44100 Hz
// output: every source frame, then the midpoint towards the next one.
int16_t Upsampled(const std::vector<int16_t>& channel, size_t outputFrame) {
    const int32_t s0 = channel[(outputFrame / 2) % channel.size()];
    if (outputFrame % 2 == 0) return static_cast<int16_t>(s0);
    const int32_t s1 = channel[(outputFrame / 2 + 1) % channel.size()];
    return static_cast<int16_t>(s0 + (((s1 - s0) * 0x4000) >> 15));
}

TEST_F(StreamTest, AnInterpolatedStereoLoopStaysContinuousAcrossRingWrapsAndRefills) {
    // A 0.4 s stereo loop at 22050 Hz (a ramp on the left, a falling ramp on
    // the right, so that every frame differs) through the one-second ring,
    // rendered in chunks that never line up with the refills or the ring.
    const int frames = 8820;
    std::vector<int16_t> left(frames), right(frames), interleaved;
    for (int i = 0; i < frames; ++i) {
        left[i] = static_cast<int16_t>(-15000 + i * 3);
        right[i] = static_cast<int16_t>(12000 - i * 2);
        interleaved.push_back(left[i]);
        interleaved.push_back(right[i]);
    }
    const Bytes image = Wave16(interleaved, 2, 22050);
    const int32_t h = AddSoundData(-1);
    ASSERT_EQ(AddStreamMemory(image.data(), static_cast<uint32_t>(image.size()), -1, h, kStreamSourceMemory, -1), 0);
    ASSERT_EQ(PreloadStream(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);

    std::vector<int16_t> out;
    const int chunks[] = {997, 1500, 211, 2048, 1323};
    for (int i = 0; out.size() < 2u * 44100 * 3; ++i) {
        const int n = chunks[i % 5];
        std::vector<int16_t> part(static_cast<size_t>(n) * 2);
        ASSERT_EQ(sdl::RenderAudioOutput(part.data(), n), 0);
        out.insert(out.end(), part.begin(), part.end());
        ASSERT_EQ(ProcessStreamSounds(), 0);
    }
    // Three seconds: the ring wrapped twice and the loop came round seven times.
    for (size_t k = 0; k < out.size() / 2; ++k) {
        ASSERT_EQ(out[2 * k], Upsampled(left, k)) << "left, output frame " << k;
        ASSERT_EQ(out[2 * k + 1], Upsampled(right, k)) << "right, output frame " << k;
    }
}

TEST_F(StreamTest, AStreamedWaveWithAnOpenEndedDataSizeKeepsItsLengthsPositive) {
    // Writers that cannot seek back leave the "data" size at (nearly) 4 GB; the
    // stream plays what the file holds and never reports a negative length.
    Chunk data{"data", Samples16(a)};
    data.sizeOverride = 0xFFFFFFF0u;
    const Bytes image = Riff({{"fmt ", FmtBody(1, 1, 44100, 16)}, data});
    SetSoundLoadType(2);
    const int32_t h = Load(image);
    ASSERT_NE(h, -1);
    EXPECT_GT(GetSoundTotalSample(h), 0);
    EXPECT_GT(GetSoundTotalTime(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    PlayedRun run = PlayThrough(h, 1.0);
    EXPECT_TRUE(run.ended);
    EXPECT_EQ(FirstDifference(std::vector<int16_t>(run.left.begin(), run.left.begin() + a.size()), a), -1);
    for (size_t k = 0; k < run.times.size(); ++k)
        ASSERT_EQ(run.times[k], 30 * static_cast<int32_t>(k + 1)) << "the position follows the cursor";
}

TEST_F(StreamTest, AStreamWhoseBufferWillNotStartReportsTheFailure) {
    SetSoundLoadType(2);
    const int32_t h = Load(Wave16(a));
    ASSERT_NE(h, -1);
    seams::FailCall("IDirectSoundBuffer::Play", 1);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), -1) << "as a memory sound's play does";
    EXPECT_EQ(IsSoundPlaying(h), 0);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0) << "the next play starts";
    EXPECT_EQ(IsSoundPlaying(h), 1);
}

// A stereo file whose "data" chunk claims a second and holds the given bytes.
Bytes CutStereo(uint16_t bits, const Bytes& held) {
    return Riff({{"fmt ", FmtBody(1, 2, 44100, bits)}, {"data", held, false, 44100u * 2 * bits / 8}});
}

// The left channel of interleaved stereo bytes, as the output plays it.
std::vector<int16_t> LeftOfStereo(const Bytes& data, uint16_t bits, size_t frames) {
    std::vector<int16_t> left(frames);
    for (size_t i = 0; i < frames; ++i)
        left[i] = bits == 8 ? static_cast<int16_t>((data[2 * i] - 128) * 256)
                            : static_cast<int16_t>(data[4 * i] | data[4 * i + 1] << 8);
    return left;
}

TEST_F(StreamTest, CutAndOddSizedFilesStreamWholeFramesOnEveryPass) {
    const Bytes stereo16 = Samples16(Pattern(2 * 11025, 0));  // 0.25 s, left and right differ
    Bytes stereo8(2 * 11025);
    for (size_t i = 0; i < stereo8.size(); ++i)
        stereo8[i] = static_cast<uint8_t>(i % 2 ? 200 - i / 2 % 150 : i / 2 % 97);
    auto plus = [](Bytes bytes, std::initializer_list<uint8_t> extra) {
        bytes.insert(bytes.end(), extra);
        return bytes;
    };
    const Bytes repro = ReadTestFile("long16s_cut1.wav");  // 22050 Hz, 5,000 frames and 1 byte of 88,200
    const std::vector<int16_t> reproLeft = LeftOfStereo(Bytes(repro.begin() + 44, repro.end()), 16, 5000);
    std::vector<int16_t> reproPass;  // at the output's 44,100 Hz
    for (size_t k = 0; k < 10000; ++k) reproPass.push_back(Upsampled(reproLeft, k));
    const Bytes mono = Samples16(Pattern(13229, 0));
    struct Case {
        const char* what;
        Bytes image;
        int32_t frames;
        std::vector<int16_t> pass;  // the left channel of one pass at 44,100 Hz
        bool loops;
    };
    const Case cases[] = {
        {"16-bit stereo cut 1 byte past a frame", CutStereo(16, plus(stereo16, {9})), 11025,
         LeftOfStereo(stereo16, 16, 11025), true},
        {"16-bit stereo cut 3 bytes past a frame", CutStereo(16, plus(stereo16, {9, 8, 7})), 11025,
         LeftOfStereo(stereo16, 16, 11025), true},
        {"8-bit stereo cut 1 byte past a frame", CutStereo(8, plus(stereo8, {9})), 11025,
         LeftOfStereo(stereo8, 8, 11025), true},
        {"complete 16-bit mono, a chunk of 26,459 bytes",
         Riff({{"fmt ", FmtBody(1, 1, 44100, 16)}, {"data", plus(mono, {5})}}), 13229, Pattern(13229, 0), true},
        {"1,244-byte file whose chunk claims 0xFFFFFFFF bytes",
         Riff({{"fmt ", FmtBody(1, 2, 44100, 16)}, {"data", Samples16(Pattern(600, 0)), false, 0xFFFFFFFFu}}), 300,
         LeftOfStereo(Samples16(Pattern(600, 0)), 16, 300), false},
        {"found cut: 16-bit stereo 1 byte past a frame", repro, 5000, reproPass, true},
    };
    SetSoundLoadType(2);
    for (const Case& c : cases) {
        const int32_t h = Load(c.image);
        ASSERT_NE(h, -1) << c.what;
        EXPECT_EQ(GetSoundTotalSample(h), c.frames) << c.what;
        ASSERT_EQ(PlaySoundHandle(h, c.loops ? kPlayTypeLoop : 1, 1), 0) << c.what;
        // Every pass plays the whole frames, the second as the first.
        PlayedRun run = PlayThrough(h, 3.0 * c.pass.size() / 44100 + 0.1);
        const size_t passes = c.loops ? 2 : 1;
        ASSERT_GE(run.left.size(), passes * c.pass.size()) << c.what;
        for (size_t p = 0; p < passes; ++p) {
            const auto from = run.left.begin() + static_cast<long>(p * c.pass.size());
            EXPECT_EQ(FirstDifference(std::vector<int16_t>(from, from + static_cast<long>(c.pass.size())), c.pass), -1)
                << c.what << ", pass " << p + 1;
        }
        if (!c.loops) {
            // Silence after the data, and the sound stops by itself: shorter
            // than a refill pass, the whole file is in the first fill.
            EXPECT_TRUE(run.ended) << c.what;
            EXPECT_EQ(std::count(run.left.begin() + static_cast<long>(c.pass.size()), run.left.end(), 0),
                      static_cast<long>(run.left.size() - c.pass.size()))
                << c.what;
        }
        EXPECT_EQ(DeleteSound(h, 0), 0);
    }
}

}  // namespace
