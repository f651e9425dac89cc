// Memory sounds: loading, the buffer rotation, play types, stop, status,
// position, volume, deletes, and loads that fail part of the way.
#include "sound/sound_internal.h"
#include "sound_test_util.h"

#include <fstream>
#include <atomic>
#include <future>
#include <thread>
#include <tuple>

using namespace soundtest;

namespace {

using MemorySoundTest = SoundTest;

DWORD Cursor(int32_t handle, int index) {
    DWORD play = 0;
    EXPECT_EQ(GetSoundBufferForTest(handle, index)->GetCurrentPosition(&play, nullptr), DS_OK);
    return play;
}

bool Plays(int32_t handle, int index) {
    DWORD status = 0;
    EXPECT_EQ(GetSoundBufferForTest(handle, index)->GetStatus(&status), DS_OK);
    return (status & DSBSTATUS_PLAYING) != 0;
}

void WriteFile(const char* name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(MemorySoundTest, ThreeBuffersPlayedFourTimesRotateAndRestartTheFirst) {
    // A ramp, so that the sum of the overlapping plays tells where each is.
    std::vector<int16_t> ramp(1000);
    for (int i = 0; i < 1000; ++i) ramp[i] = static_cast<int16_t>(i + 1);
    WriteFile("effect.wav", Wave16(ramp));
    const int32_t h = LoadSound("effect.wav", 3, -1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(GetSoundBufferCountForTest(h), 3);

    const int order[] = {1, 2, 0, 1};
    for (int play = 0; play < 4; ++play) {
        ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
        EXPECT_TRUE(Plays(h, order[play])) << "play " << play;
        EXPECT_EQ(Cursor(h, order[play]), 0u) << "each play starts at the beginning";
        RenderLeft(100);
    }
    // Buffer 1 was restarted by the fourth play; 2 and 0 went on.
    EXPECT_EQ(Cursor(h, 1), 200u);
    EXPECT_EQ(Cursor(h, 2), 600u);
    EXPECT_EQ(Cursor(h, 0), 400u);
    const std::vector<int16_t> out = RenderLeft(1);
    EXPECT_EQ(out[0], (101) + (301) + (201)) << "three plays sound at once";
}

TEST_F(MemorySoundTest, FromStartZeroLeavesABusyBufferAndResumesAStoppedOne) {
    const int32_t h = Load(Wave16(Pattern(1000, 0)), 1);
    ASSERT_NE(h, -1);
    ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
    RenderLeft(100);
    EXPECT_EQ(PlaySoundHandle(h, 1, 0), 0) << "busy: nothing happens";
    EXPECT_EQ(Cursor(h, 0), 200u);
    EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0) << "from the start: restarted";
    EXPECT_EQ(Cursor(h, 0), 0u);
    RenderLeft(50);
    ASSERT_EQ(StopSound(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    ASSERT_EQ(PlaySoundHandle(h, 1, 0), 0);
    EXPECT_EQ(Cursor(h, 0), 100u) << "resumed where it stopped";
    EXPECT_EQ(RenderLeft(1)[0], Pattern(1000, 0)[50]);
    EXPECT_EQ(GetSoundCurrentTime(h), 51 * 1000 / 44100);
}

TEST_F(MemorySoundTest, LoopingPlayWrapsUntilStopped) {
    const int32_t h = Load(Wave16(Pattern(441, 0)), 2);  // 10 ms
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundTotalSample(h), 441);
    EXPECT_EQ(GetSoundTotalTime(h), 10);
    ASSERT_EQ(PlaySoundHandle(h, kPlayTypeLoop, 1), 0);
    const std::vector<int16_t> out = RenderLeft(441 * 3 + 10);
    EXPECT_EQ(out[441 * 3 + 5], Pattern(441, 0)[5]);
    EXPECT_EQ(IsSoundPlaying(h), 1);
    EXPECT_EQ(GetSoundCurrentTime(h), SamplesToMilliseconds(10, 44100));
    ASSERT_EQ(StopSound(h), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0);
    EXPECT_EQ(RenderLeft(4), std::vector<int16_t>(4, 0));
}

TEST(SamplesToMillisecondsTest, TruncatesTowardZeroAndKeepsTheLow32Bits) {
    struct Case {
        const char* what;
        int32_t samples, rate, expected;
    } const cases[] = {
        {"a tenth of a second less one sample", 4409, 44100, 99},
        {"past 32 bits in the product", 0x7FFFFFFF, 44100, 48695774},
        {"a quotient past 32 bits keeps its low word", 0x7FFFFFFF, 1, -1000},
        {"a negative count", -441, 44100, -10},
        {"a negative rate", 4410, -44100, -100},
        {"no rate", 100, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(SamplesToMilliseconds(c.samples, c.rate), c.expected) << c.what;
}

TEST_F(MemorySoundTest, VolumeIsKeptInHundredthsOfADecibel) {
    const int32_t h = Load(Wave16(Pattern(100, 0)), 2);
    ASSERT_NE(h, -1);
    auto volumeOf = [&](int index, int32_t sound = -1) {
        LONG v = 1;
        EXPECT_EQ(GetSoundBufferForTest(sound == -1 ? h : sound, index)->GetVolume(&v), DS_OK);
        return v;
    };
    const std::pair<int32_t, LONG> cases[] = {{255, 0}, {128, -299}, {1, -2406}, {0, -10000}, {-5, -10000}, {300, 0}};
    for (auto [volume, expected] : cases) {
        ASSERT_EQ(SetSoundVolume(volume, h), 0);
        EXPECT_EQ(volumeOf(0), expected) << volume;
        EXPECT_EQ(volumeOf(1), expected) << volume;
    }
    // The stored volume is applied again at each start, to the next buffer
    // of a memory sound and to a stream's ring.
    SetSoundLoadType(2);
    const int32_t stream = Load(Wave16(Pattern(100, 0)));
    SetSoundLoadType(0);
    for (const int32_t sound : {h, stream}) {
        ASSERT_EQ(SetSoundVolume(128, sound), 0);
        const int next = 1 % GetSoundBufferCountForTest(sound);
        ASSERT_EQ(GetSoundBufferForTest(sound, next)->SetVolume(0), DS_OK);
        ASSERT_EQ(PlaySoundHandle(sound, 1, 1), 0);
        EXPECT_EQ(volumeOf(next, sound), -299) << sound;
        // One-shot volume, pan and frequency serve the next start only.
        SoundRecord* record = FindSound(sound);
        for (int i = 0; i < 3; ++i) record->oneShotSet[i] = 1;
        record->oneShotValue[0] = -1500, record->oneShotValue[1] = 800, record->oneShotValue[2] = 22050;
        for (auto [volume, pan, frequency] : {std::tuple<LONG, LONG, DWORD>{-1500, 800, 22050}, {-299, 0, 44100}}) {
            ASSERT_EQ(PlaySoundHandle(sound, 1, 1), 0);
            IDirectSoundBuffer* buffer = GetSoundBufferForTest(sound, record->currentBuffer);
            LONG setPan = 1;
            DWORD setFrequency = 1;
            EXPECT_EQ(volumeOf(record->currentBuffer, sound), volume) << sound;
            EXPECT_TRUE(buffer->GetPan(&setPan) == DS_OK && setPan == pan) << sound << ": " << setPan;
            EXPECT_TRUE(buffer->GetFrequency(&setFrequency) == DS_OK && setFrequency == frequency)
                << sound << ": " << setFrequency;
        }
    }
}

TEST_F(MemorySoundTest, BufferCountsAreCappedOrRefused) {
    WriteFile("short.wav", Wave16(Pattern(10, 0)));
    const int32_t eleven = LoadSound("short.wav", 11, -1);
    ASSERT_NE(eleven, -1);
    EXPECT_EQ(GetSoundBufferCountForTest(eleven), 10);
    const Bytes image = Wave16(Pattern(10, 0));
    EXPECT_EQ(Load(image, 11), -1);

    for (int32_t count : {0, -3}) {
        const int32_t none = Load(image, count);
        ASSERT_NE(none, -1) << count;
        EXPECT_EQ(GetSoundBufferCountForTest(none), 0);
        EXPECT_EQ(PlaySoundHandle(none, 1, 1), -1) << "nothing to play on";
        EXPECT_EQ(PlaySoundHandle(none, 1, 1), -1) << "and the rotation stays in bounds";
        EXPECT_EQ(IsSoundPlaying(none), 0);
        EXPECT_EQ(StopSound(none), 0);
        EXPECT_EQ(GetSoundCurrentTime(none), -1);
        EXPECT_EQ(DeleteSound(none, 0), 0);
    }
}

TEST_F(MemorySoundTest, AMissingFileLogsBothLines) {
    EXPECT_EQ(LoadSound("no-such-file.wav", 1, -1), -1);
    const std::string log = NewLog();
    EXPECT_NE(log.find("右記のファイルのオープンに失敗しました：no-such-file.wav"), std::string::npos);
    EXPECT_NE(log.find("右記の音声ファイルのロードに失敗しました_1：no-such-file.wav"), std::string::npos);
}

TEST_F(MemorySoundTest, AFailedLoadLetsGoOfTheSoundLock) {
    WriteFile("bad.wav", Bytes{'R', 'I', 'F', 'F'});
    EXPECT_EQ(LoadSound("bad.wav", 1, -1), -1);
    EXPECT_NE(NewLog().find("右記の音声ファイルのロードに失敗しました_2：bad.wav"), std::string::npos);
    EXPECT_EQ(LoadSound("missing.wav", 1, -1), -1);
    SetSoundLoadType(2);
    EXPECT_EQ(LoadSound("missing.wav", 1, -1), -1);
    SetSoundLoadType(0);
    // Another thread can take the lock (AddSoundData enters it).
    auto other = std::async(std::launch::async, [] { return AddSoundData(-1); });
    ASSERT_EQ(other.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the lock was left held";
    EXPECT_NE(other.get(), -1);
}

TEST_F(MemorySoundTest, ATransferFailureFreesEverythingOnce) {
    const Bytes image = Wave16(Pattern(100, 0));
    seams::FailCall("IDirectSoundBuffer::Lock", 1);
    EXPECT_EQ(Load(image, 3), -1);
    seams::FailCall("IDirectSoundBuffer::Unlock", 1);
    EXPECT_EQ(Load(image, 3), -1);
    const std::string log = NewLog();
    EXPECT_NE(log.find("サウンドデータの転送に失敗しました_1"), std::string::npos);
    EXPECT_NE(log.find("サウンドデータの転送に失敗しました_2"), std::string::npos);
    seams::FailCall("IDirectSound::DuplicateSoundBuffer");
    const int32_t partial = Load(image, 3);
    ASSERT_NE(partial, -1) << "fewer duplicates still make a sound";
    EXPECT_EQ(GetSoundBufferCountForTest(partial), 1);
    // The tear-down checks that no buffer and no block is left.
}

TEST_F(MemorySoundTest, ABufferDirectSoundWillNotTakeFallsBackToTheRetryFlagsThenAStream) {
    const Bytes image = Wave16(Pattern(4410, 0));
    seams::FailCall("IDirectSound::CreateSoundBuffer", 1);
    const int32_t retried = Load(image, 2);
    ASSERT_NE(retried, -1);
    EXPECT_EQ(GetSoundBufferCountForTest(retried), 2);
    DWORD frequency = 0;
    EXPECT_EQ(GetSoundBufferForTest(retried, 0)->GetFrequency(&frequency), DSERR_CONTROLUNAVAIL)
        << "the retry buffer has no frequency control";
    ASSERT_EQ(PlaySoundHandle(retried, 1, 1), 0) << "the refused frequency is ignored";
    ASSERT_EQ(StopSound(retried), 0);

    seams::FailCall("IDirectSound::CreateSoundBuffer", 2);
    const int32_t streamed = Load(image, 2);
    ASSERT_NE(streamed, -1);
    EXPECT_EQ(GetSoundBufferCountForTest(streamed), 1);
    EXPECT_NE(NewLog().find("DirectSoundBuffer の作成に失敗しました\r\n"), std::string::npos);
    EXPECT_EQ(GetSoundLoadType(), 0) << "the load type is back";
    ASSERT_EQ(PlaySoundHandle(streamed, 1, 1), 0);
    EXPECT_EQ(RenderLeft(4)[3], Pattern(4410, 0)[3]);
}

// The flag words of the three kinds of buffer, with the buffers in their
// static place and in software memory.
TEST_F(MemorySoundTest, BuffersAreAskedForWithTheFlagsOfTheirKind) {
    struct Case {
        const char* what;
        bool software;
        int32_t loadType;
        int failedCreates;
        DWORD flags;
        int onPartner;  // buffers made on the loaded sound's as partner; 2: its first duplicate refused
    } const cases[] = {
        {"memory sound", false, 0, 0, 0x80E2, false},
        {"retry", false, 0, 1, 0xC2, false},
        {"stream sound", false, 2, 0, 0x180E2, false},
        {"memory sound in software", true, 0, 0, 0x80E8, false},
        {"retry in software", true, 0, 1, 0xC8, false},
        {"stream sound in software", true, 2, 0, 0x180E8, false},
        {"duplicates of a partner's buffer", false, 0, 0, 0x80E2, true},
        {"a partner's format and size for a refused first duplicate", false, 0, 0, 0x80E2, 2},
    };
    const std::vector<int16_t> samples = Pattern(100, 0);
    const Bytes image = Wave16(samples);
    for (const Case& c : cases) {
        SetSoftwareSoundBuffersForTest(c.software);
        SetSoundLoadType(c.loadType);
        if (c.failedCreates > 0) seams::FailCall("IDirectSound::CreateSoundBuffer", c.failedCreates);
        const int32_t loaded = Load(image, 2);
        ASSERT_NE(loaded, -1) << c.what;
        int32_t h = loaded;
        if (c.onPartner) {
            // The partner's format and size win over the ones given.
            h = AddSoundData(-1);
            const WAVEFORMATEX other{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
            if (c.onPartner == 2) seams::FailCall("IDirectSound::DuplicateSoundBuffer", 1);
            ASSERT_EQ(CreateSoundBuffers(&other, 4, kSoundMemory, 3, h, loaded), 0) << c.what;
            ASSERT_EQ(GetSoundBufferCountForTest(h), 3) << c.what;
            WAVEFORMATEX made{};
            void* first = nullptr;
            DWORD bytes = 0;
            IDirectSoundBuffer* buffer = GetSoundBufferForTest(h, 0);
            ASSERT_EQ(buffer->GetFormat(&made, sizeof made, nullptr), DS_OK);
            ASSERT_EQ(buffer->Lock(0, 0, &first, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
            buffer->Unlock(first, bytes, nullptr, 0);
            EXPECT_EQ(std::make_tuple(made.nSamplesPerSec, made.wBitsPerSample, bytes),
                      std::make_tuple(44100u, WORD{16}, DWORD{200}))
                << c.what;
            ASSERT_EQ(StopSound(loaded), 0);
            ASSERT_EQ(GetSoundBufferForTest(h, 2)->Play(0, 0, 0), DS_OK);
            EXPECT_EQ(RenderLeft(3), std::vector<int16_t>(samples.begin(), samples.begin() + 3))
                << c.what << ": the partner's samples";
        }
        for (int32_t i = 0; i < GetSoundBufferCountForTest(h); ++i)
            EXPECT_EQ(dsound::BufferFlagsForTest(GetSoundBufferForTest(h, i)), c.flags) << c.what << ", buffer " << i;
        if (h != loaded) {
            EXPECT_EQ(DeleteSound(h, 0), 0);
        }
        EXPECT_EQ(DeleteSound(loaded, 0), 0);
        seams::ClearAllCalls();
    }
}

TEST_F(MemorySoundTest, SoundsOverOneHundredEightySecondsBecomeStreams) {
    // 8-bit mono at 100 Hz keeps 181 seconds small.
    const Bytes long8(18100, 0x90);
    const int32_t h = Load(Wave8(long8, 1, 100), 3);
    ASSERT_NE(h, -1);
    EXPECT_EQ(GetSoundBufferCountForTest(h), 1) << "one ring buffer";
    EXPECT_EQ(GetSoundLoadType(), 0);
    EXPECT_EQ(GetSoundTotalTime(h), 181000);
    const Bytes short8(18000, 0x90);
    const int32_t memory = Load(Wave8(short8, 1, 100), 3);
    EXPECT_EQ(GetSoundBufferCountForTest(memory), 3) << "180 seconds still fit";
}

TEST_F(MemorySoundTest, DeleteStopsAndRefusesTheHandleAfterwards) {
    const int32_t h = Load(Wave16(Pattern(1000, 0)), 3);
    ASSERT_EQ(PlaySoundHandle(h, kPlayTypeLoop, 1), 0);
    ASSERT_EQ(DeleteSound(h, 0), 0);
    EXPECT_EQ(RenderLeft(2), std::vector<int16_t>(2, 0));
    EXPECT_EQ(IsSoundPlaying(h), -1);
    EXPECT_EQ(DeleteSound(h, 0), -1);
}

TEST_F(MemorySoundTest, AWaitingPlayReturnsWhenTheSoundEnds) {
    // The mixer runs on another thread here, as the audio device would.
    const int32_t h = Load(Wave16(Pattern(2000, 0)), 1);
    ASSERT_NE(h, -1);
    std::atomic<bool> done{false};
    std::thread mixer([&] {
        while (!done) {
            RenderLeft(256);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(PlaySoundHandle(h, kPlayTypeWait, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 0) << "it returned once the sound had ended";
    done = true;
    mixer.join();
}

}  // namespace
