// Sound start-up and shutdown: failures at each step, the primary format,
// the device report, and the refill by the sound thread or by the pump.
#include "core/library.h"
#include "core/library_hooks.h"
#include "core/library_state.h"
#include "platform/dmusic/dmusic.h"
#include "platform/kernel32/kernel32.h"
#include "sound/sound_internal.h"
#include "sound_test_util.h"

#include <unistd.h>

#include <cstring>
#include <thread>
#include <tuple>

using namespace soundtest;

namespace {

struct StartUpFailure {
    const char* call;
    int times;
    const char* line;
};

class SoundStartUp : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SuiteFolder::Enter("velumi-sound-system"); }
    static void TearDownTestSuite() { SuiteFolder::Leave(); }
    void SetUp() override {
        seams::ClearAllCalls();
        ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
        SetSoundThreadModeForTest(0);
        blocksBefore_ = AllocatedBlockCount();
        logStart_ = LogText().size();
    }
    void TearDown() override {
        seams::ClearAllCalls();
        TerminateSound();
        SetSoundThreadModeForTest(-1);
        dsound::SetDeviceCapsForTest(nullptr);
        dmusic::OfferInputPortForTest(false);
        SelectMidiModeForTest(0, nullptr, nullptr);
        g_sound.masterVolume = 0;
        Window().quitRequested = 0;
        Window().processorCount = 0;
        EXPECT_FALSE(sdl::IsAudioOutputOpen()) << "the output is closed with sound";
        sdl::SetManualAudioOutput(false);
        EXPECT_EQ(AllocatedBlockCount(), blocksBefore_);
    }
    std::string NewLog() const { return LogText().substr(logStart_); }

    // Plays a two-second stream; returns its handle and the samples.
    int32_t PlayLongStream(std::vector<int16_t>* samples) {
        *samples = Pattern(88200, 0);
        const Bytes image = Wave16(*samples);
        SetSoundLoadType(2);
        const int32_t h = CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1);
        SetSoundLoadType(0);
        EXPECT_NE(h, -1);
        EXPECT_EQ(PlaySoundHandle(h, 1, 1), 0);
        return h;
    }

private:
    uint32_t blocksBefore_ = 0;
    size_t logStart_ = 0;
};

TEST_F(SoundStartUp, StartsOnceAndEndsOnce) {
    EXPECT_EQ(TerminateSound(), -1) << "not running yet";
    ASSERT_EQ(InitializeSound(), 0);
    EXPECT_EQ(InitializeSound(), -1) << "already running";
    EXPECT_EQ(TerminateSound(), 0);
    EXPECT_EQ(TerminateSound(), -1);
    const std::string log = NewLog();
    EXPECT_NE(log.find("DirectSound の初期化は正常に終了しました\r\n"), std::string::npos);
    EXPECT_NE(log.find("DirectSound の終了処理は正常に終了しました\r\n"), std::string::npos);
}

TEST_F(SoundStartUp, EachFailingStepLeavesSoundOffAndCanBeRetried) {
    const StartUpFailure failures[] = {
        {"CoCreateInstance", 1, "DirectSoundインターフェースの作成に失敗しました\r\n"},
        {"SDL_OpenAudioDevice", 1, "初期化に失敗しました\r\n"},
        {"IDirectSound::SetCooperativeLevel", 1, "DirectSoundの協調レベルの設定に失敗しました\r\n"},
        {"IDirectSound::CreateSoundBuffer", 1, "DirectSoundのプライマリサウンドバッファの作成に失敗しました\r\n"},
    };
    const Bytes image = Wave16(Pattern(10, 0));
    for (const StartUpFailure& f : failures) {
        seams::FailCall(f.call, f.times);
        EXPECT_EQ(InitializeSound(), -1) << f.call;
        EXPECT_NE(NewLog().find(f.line), std::string::npos) << f.call;
        EXPECT_EQ(CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1), -1);
        EXPECT_FALSE(sdl::IsAudioOutputOpen()) << f.call;
        EXPECT_EQ(TerminateSound(), -1);
    }
    ASSERT_EQ(InitializeSound(), 0) << "a later start works";
    EXPECT_NE(CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1), -1);
}

// MIDI mode 1 gets the sound object from DirectMusic's performance. Without
// a loader it starts in mode 0; any later failure ends with -1 and nothing
// held. The stand-in lists an input port after its synthesizer here.
TEST_F(SoundStartUp, ModeOneStartsThroughDirectMusic) {
    struct Case {
        const char* what;
        const char* seam;
        int skip;  // calls of the seam that still succeed
        int32_t result;
        const char* line;
    } const cases[] = {
        {"started", nullptr, 0, 0, "出力ポート  Device0:ソフトウェア シンセサイザー (DirectSound 出力) \r\n"},
        {"an input port", nullptr, 0, 0, "入力ポート  Device1:外部 MIDI 入力 \r\n"},
        {"no loader: mode 0", "CoCreateInstance", 0, 0, "前バージョンでの初期化処理に移ります\r\n"},
        {"no performance", "CoCreateInstance", 1, -1, "DirectMusicPerformance オブジェクトの作成に失敗しました\r\n"},
        {"no DirectMusic object", "CoCreateInstance", 2, -1, "DirectMusic オブジェクトの取得に失敗しました\r\n"},
        {"no IDirectMusic8", "IDirectMusic::QueryInterface", 0, -1, "DirectMusic8 オブジェクトの取得に失敗しました\r\n"},
        {"InitAudio fails", "IDirectMusicPerformance8::InitAudio", 0, -1,
         "DirectMusicPerformanceオブジェクトの初期化に失敗しました\r\n"},
        {"no audio output for InitAudio", "SDL_OpenAudioDevice", 0, -1,
         "DirectMusicPerformanceオブジェクトの初期化に失敗しました\r\n"},
    };
    const std::vector<int16_t> samples = Pattern(2000, 0);
    const Bytes image = Wave16(samples);
    g_sound.masterVolume = -1200;
    dmusic::OfferInputPortForTest(true);
    for (const Case& c : cases) {
        ASSERT_EQ(SelectMidiModeForTest(1, nullptr, nullptr), 0);
        dmusic::ResetCallLogForTest();
        if (c.seam != nullptr) seams::FailCallAfter(c.seam, c.skip, 1);
        const size_t start = LogText().size();
        ASSERT_EQ(InitializeSound(), c.result) << c.what;
        seams::ClearAllCalls();
        const std::string log = LogText().substr(start);
        const size_t first = log.find("DirectSound8 の初期化を行います\r\n");
        const size_t line = log.find(c.line);
        const size_t end = log.find("DirectSound の初期化は正常に終了しました\r\n");
        ASSERT_NE(line, std::string::npos) << c.what;
        EXPECT_LT(first, line) << c.what;
        EXPECT_EQ(end != std::string::npos, c.result == 0) << c.what;
        if (c.result != 0) {
            EXPECT_EQ(TerminateSound(), -1) << c.what << ": sound is off";
            EXPECT_FALSE(g_sound.lockCreated) << c.what;
            EXPECT_EQ(dmusic::LiveObjectCountForTest(), 0) << c.what << ": DirectMusic objects left behind";
            EXPECT_FALSE(sdl::IsAudioOutputOpen()) << c.what;
            continue;
        }
        EXPECT_LT(line, end) << c.what;
        if (c.seam != nullptr) {
            EXPECT_LT(log.find("DirectMusicLoader8 オブジェクトの作成に失敗しました\r\n"), line);
            EXPECT_LT(line, log.find("DirectSound の初期化を行います\r\n")) << "then the start in mode 0";
            EXPECT_EQ(g_sound.midiMode, 0);
        } else {
            const dmusic::CallLog calls = dmusic::CallLogForTest();
            EXPECT_EQ(calls.lastDirectSound, g_sound.soundObject) << "the sound object comes from InitAudio";
            EXPECT_EQ(std::make_tuple(calls.lastWindow, calls.lastPathType, calls.lastChannels, calls.lastAudioFlags),
                      std::make_tuple(HWND{}, DWORD{DMUS_APATH_SHARED_STEREOPLUSREVERB}, 64u, DWORD{DMUS_AUDIOF_ALL}));
            const DMUS_AUDIOPARAMS params = {
                40, TRUE, DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE, DMUS_AUDIOF_ALL, 0, 44100, {}};
            EXPECT_EQ(std::memcmp(&calls.lastAudioParams, &params, sizeof params), 0);
            EXPECT_EQ(calls.lastMasterVolume, -1200);
            EXPECT_EQ(g_sound.primaryBuffer, nullptr) << "no primary buffer of its own";
            const int32_t h = CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1);
            ASSERT_EQ(PlaySoundHandle(h, 1, 1), 0);
            EXPECT_EQ(RenderLeft(2000), samples) << "heard through the object InitAudio handed back";
        }
        ASSERT_EQ(TerminateSound(), 0) << c.what;
        EXPECT_EQ(dmusic::CallLogForTest().closeDown, c.seam == nullptr ? 1 : 0) << c.what;
        EXPECT_EQ(dmusic::LiveObjectCountForTest(), 0) << c.what;
    }
}

TEST_F(SoundStartUp, ASilentBufferThatCannotBeFilledIsLeftOut) {
    seams::FailCall("IDirectSoundBuffer::Lock", 1);
    seams::FailCall("IDirectSoundBuffer::SetFormat", 1);
    const int before = dsound::LiveBufferCountForTest();
    ASSERT_EQ(InitializeSound(), 0);
    EXPECT_EQ(g_sound.silentBuffer, nullptr);
    EXPECT_EQ(dsound::LiveBufferCountForTest(), before);
    const std::string log = NewLog();
    EXPECT_NE(log.find("無音バッファのロックに失敗しました"), std::string::npos);
    EXPECT_NE(log.find("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました"), std::string::npos);
}

TEST_F(SoundStartUp, ThePrimaryFormatFollowsTheDevice) {
    struct Case {
        DWORD flags;
        DWORD maxRate;
        WORD channels, bits;
        DWORD rate;
    };
    const Case cases[] = {
        {DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY16BIT, 48000, 2, 16, 44100},
        {DSCAPS_PRIMARYMONO | DSCAPS_PRIMARY8BIT, 22050, 1, 8, 22050},
    };
    for (const Case& c : cases) {
        DSCAPS caps{};
        caps.dwFlags = c.flags;
        caps.dwMinSecondarySampleRate = 100;
        caps.dwMaxSecondarySampleRate = c.maxRate;
        dsound::SetDeviceCapsForTest(&caps);
        ASSERT_EQ(InitializeSound(), 0);
        WAVEFORMATEX f{};
        ASSERT_EQ(g_sound.primaryBuffer->GetFormat(&f, sizeof f, nullptr), DS_OK);
        EXPECT_EQ(f.nChannels, c.channels);
        EXPECT_EQ(f.wBitsPerSample, c.bits);
        EXPECT_EQ(f.nSamplesPerSec, c.rate);
        EXPECT_EQ(f.nAvgBytesPerSec, c.rate * c.channels * c.bits / 8);
        ASSERT_EQ(TerminateSound(), 0);
    }
}

// Without DSOUND.DLL or its enumerator the report is left out; the start goes
// on, the log's indent is back where it was, and DSOUND.DLL is not held.
TEST_F(SoundStartUp, TheDeviceIsReportedInTheLog) {
    struct Case {
        const char* what;
        const char* seam;
        const char* failure;
    } const cases[] = {
        {"reported", nullptr, nullptr},
        {"DSOUND.DLL cannot be loaded", "LoadLibraryA", "DSOUND.DLL のロードに失敗しました\r\n"},
        {"no enumerator in it", "GetProcAddress", "DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\r\n"},
    };
    for (const Case& c : cases) {
        const size_t start = LogText().size();
        if (c.seam != nullptr) seams::FailCall(c.seam, 1);
        ASSERT_EQ(InitializeSound(), 0) << c.what;
        EXPECT_EQ(platform::ModuleLoadCountForTest("DSOUND.DLL"), 0) << c.what << ": nothing else loads it";
        const std::string log = LogText().substr(start);
        if (c.failure != nullptr) {
            EXPECT_NE(log.find(c.failure), std::string::npos) << c.what;
        }
        for (const char* line : {"ドライバ記述:Primary Sound Driver", "ドライバ記述:Manual test output",
                                 "最大サンプリングレート:200.00KHz 最小サンプリングレート:0.10KHz ",
                                 " プライマリ １６bit = OK  ８bit = OK ", " セカンダリ MONO = OK  STEREO = OK "})
            EXPECT_EQ(log.find(line) != std::string::npos, c.failure == nullptr) << c.what << ": " << line;
        EXPECT_NE(log.find(":DirectSound の初期化は正常に終了しました\r\n"), std::string::npos) << c.what;
        ASSERT_EQ(TerminateSound(), 0) << c.what;
    }
}

TEST_F(SoundStartUp, TheSoundThreadRefillsStreamsAndIsJoinedAtTheEnd) {
    SetSoundThreadModeForTest(1);
    ASSERT_EQ(InitializeSound(), 0);
    ASSERT_TRUE(IsSoundThreadRunningForTest());
    std::vector<int16_t> samples;
    const int32_t h = PlayLongStream(&samples);
    std::vector<int16_t> heard;
    for (int step = 0; step < 40; ++step) {
        const std::vector<int16_t> part = RenderLeft(1323);
        heard.insert(heard.end(), part.begin(), part.end());
        // Let the thread finish a whole pass after this step.
        const int32_t seen = SoundThreadPassCountForTest();
        for (int wait = 0; wait < 5000 && SoundThreadPassCountForTest() < seen + 2; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_GE(SoundThreadPassCountForTest(), seen + 2) << "the thread stopped passing";
    }
    EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.begin() + heard.size()), heard)
        << "1.2 s of a 1-second ring: only refills keep it right";
    EXPECT_EQ(IsSoundPlaying(h), 1);
    ASSERT_EQ(TerminateSound(), 0);
    EXPECT_FALSE(IsSoundThreadRunningForTest());
    EXPECT_EQ(g_sound.thread, nullptr);
}

TEST_F(SoundStartUp, ShutdownWaitsForTheThreadAlsoWhenTheProgramIsEnding) {
    SetSoundThreadModeForTest(1);
    ASSERT_EQ(InitializeSound(), 0);
    std::vector<int16_t> samples;
    PlayLongStream(&samples);
    RenderLeft(5000);
    // The pump now reports the end at once, so it cannot be what is waited on.
    Window().quitRequested = 1;
    ASSERT_NE(PumpMessagesUnlocked(), 0);
    ASSERT_EQ(TerminateSound(), 0);
    EXPECT_EQ(g_sound.threadStop.load(), 2) << "the thread had ended before anything was released";
}

TEST_F(SoundStartUp, AWaitingPlayGivesUpWhenTheProgramEnds) {
    ASSERT_EQ(InitializeSound(), 0);
    const Bytes image = Wave16(Pattern(44100, 0));
    const int32_t h = CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1);
    Window().quitRequested = 1;
    EXPECT_EQ(PlaySoundHandle(h, kPlayTypeWait, 1), 0);
    EXPECT_EQ(IsSoundPlaying(h), 1) << "returned although the sound still plays";
}

TEST_F(SoundStartUp, OnOneProcessorThePumpRefillsStreams) {
    SetSoundThreadModeForTest(-1);
    Window().processorCount = 1;
    ASSERT_EQ(InitializeSound(), 0);
    EXPECT_FALSE(IsSoundThreadRunningForTest());
    std::vector<int16_t> samples;
    PlayLongStream(&samples);
    std::vector<int16_t> heard;
    for (int step = 0; step < 50; ++step) {
        const std::vector<int16_t> part = RenderLeft(1323);
        heard.insert(heard.end(), part.begin(), part.end());
        ASSERT_EQ(PumpMessagesUnlocked(), 0);
    }
    EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.begin() + heard.size()), heard);
    EXPECT_EQ(TerminateSound(), 0) << "no thread to wait for";
}

// A stream buffer DirectSound refuses ends the program; the library's end
// then runs inside the load, which holds the sound lock, while the sound
// thread waits for that lock.
void TerminateSoundThenExit(int) {
    TerminateSound();
    SuiteFolder::Leave();
    _exit(7);
}

TEST_F(SoundStartUp, ARefusedStreamBufferEndsTheProgramWithoutADeadlock) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            SetSoundThreadModeForTest(1);
            if (InitializeSound() != 0) {
                SuiteFolder::Leave();
                _exit(1);
            }
            GetLibraryHooks().exitProcess = TerminateSoundThenExit;
            seams::FailCall("IDirectSound::CreateSoundBuffer");
            SetSoundLoadType(2);
            const Bytes image = Wave16(Pattern(100, 0));
            CreateSoundFromImage(image.data(), static_cast<uint32_t>(image.size()), 1, -1);
            SuiteFolder::Leave();
            _exit(2);
        },
        ::testing::ExitedWithCode(7), "");
}

}  // namespace
