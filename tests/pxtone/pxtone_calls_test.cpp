// The library calls as the game makes them, through the audio output's
// manual test back end: order, failure results, volume, exit after the
// game library's sound has closed, and rendering on another thread.
#include "platform/pxtone/pxtone.h"

#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"
#include "pxtone_test_util.h"

#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class PxtoneCalls : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, sdl::SetManualAudioOutput(true));
        dir_ = fs::temp_directory_path() / ("pxtone_calls_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        Write("band.ptcop", pxt::SerializeTune(pxtest::Compile(pxtest::kBandTune)));
        Write("sine.ptcop", pxt::SerializeTune(pxtest::Compile(
                                "tempo 60\ninstrument s sine s=1\ntrack t s { o4 (a1)4 }\n")));
        Write("garbage.ptcop", {'V', 'P', 'T', 'N', 1, 0, 0x78, 0, 48, 0, 1, 1});
    }
    void TearDown() override {
        pxtone_Release();
        seams::ClearAllCalls();
        EXPECT_FALSE(sdl::IsAudioOutputOpen());
        sdl::SetManualAudioOutput(false);
        fs::remove_all(dir_);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // The arguments the game passes.
    static BOOL Ready(int32_t channels = 2, PXTONEPLAY_CALLBACK callback = nullptr) {
        return pxtone_Ready(nullptr, channels, 44100, 16, 0.1f, TRUE, callback);
    }
    static std::vector<int16_t> Pull(int frames) {
        std::vector<int16_t> s(size_t(frames) * 2);
        EXPECT_EQ(0, sdl::RenderAudioOutput(s.data(), frames));
        return s;
    }
    static int PeakOf(const std::vector<int16_t>& s, size_t from = 0) {
        int p = 0;
        for (size_t i = from; i < s.size(); ++i) p = std::max(p, std::abs(int(s[i])));
        return p;
    }
    fs::path dir_;
};

}  // namespace

TEST_F(PxtoneCalls, GameSequencePlaysSwitchesSilencesAndEnds) {
    // LoadResources
    ASSERT_TRUE(Ready());
    // PlayMusic: load, volume, start.
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str())) << pxtone_GetLastError();
    ASSERT_TRUE(pxtone_Tune_SetVolume(0.5f));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    EXPECT_TRUE(pxtone_Tune_IsStreaming());
    EXPECT_GT(PeakOf(Pull(4410)), 1000);
    // PlayMusic of another tune: stop, release, load ('\' separators), start.
    EXPECT_EQ(4410, pxtone_Tune_Stop());
    ASSERT_TRUE(pxtone_Tune_Release());
    std::string windowsPath = Path("sine.ptcop");
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, windowsPath.c_str())) << pxtone_GetLastError();
    ASSERT_TRUE(pxtone_Tune_SetVolume(0.5f));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    EXPECT_GT(PeakOf(Pull(4410)), 1000);
    // SetMusicVolume(0) stops; a later non-zero volume starts again.
    EXPECT_GE(pxtone_Tune_Stop(), 0);
    EXPECT_FALSE(pxtone_Tune_IsStreaming());
    EXPECT_EQ(0, PeakOf(Pull(1000), 2 * 441));
    ASSERT_TRUE(pxtone_Tune_SetVolume(0.8f));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    EXPECT_GT(PeakOf(Pull(4410)), 1000);
    // Exit step.
    EXPECT_GE(pxtone_Tune_Stop(), 0);
    EXPECT_TRUE(pxtone_Tune_Release());
    EXPECT_TRUE(pxtone_Release());
    EXPECT_FALSE(sdl::IsAudioOutputOpen());
}

TEST_F(PxtoneCalls, EveryCallFailsBeforeReadyAndAfterRelease) {
    auto allFail = [&] {
        EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
        EXPECT_STREQ("not ready", pxtone_GetLastError());
        EXPECT_FALSE(pxtone_Tune_SetVolume(0.5f));
        EXPECT_FALSE(pxtone_Tune_Start(0, 0));
        EXPECT_EQ(-1, pxtone_Tune_Stop());
        EXPECT_FALSE(pxtone_Tune_Release());
        EXPECT_FALSE(pxtone_Tune_IsStreaming());
        EXPECT_FALSE(pxtone_Release());
    };
    allFail();
    ASSERT_TRUE(Ready());
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    ASSERT_TRUE(pxtone_Release());
    allFail();
}

TEST_F(PxtoneCalls, BadArgumentsAndFilesFailAndKeepWhatPlays) {
    EXPECT_FALSE(pxtone_Ready(nullptr, 3, 44100, 16, 0.1f, TRUE, nullptr));
    EXPECT_FALSE(pxtone_Ready(nullptr, 2, 12345, 16, 0.1f, TRUE, nullptr));
    EXPECT_FALSE(pxtone_Ready(nullptr, 2, 44100, 24, 0.1f, TRUE, nullptr));
    EXPECT_FALSE(pxtone_Ready(nullptr, 2, 44100, 16, 0.0f, TRUE, nullptr));
    EXPECT_FALSE(pxtone_Ready(nullptr, 2, 44100, 16, std::nanf(""), TRUE, nullptr));
    EXPECT_FALSE(sdl::IsAudioOutputOpen());
    ASSERT_TRUE(Ready());
    EXPECT_FALSE(Ready());
    EXPECT_STREQ("already ready", pxtone_GetLastError());

    // No tune yet.
    EXPECT_FALSE(pxtone_Tune_Start(0, 0));
    EXPECT_EQ(-1, pxtone_Tune_Stop());
    EXPECT_FALSE(pxtone_Tune_Release());
    EXPECT_TRUE(pxtone_Tune_SetVolume(0.5f));  // kept for the next tune

    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    Pull(1000);
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, Path("missing.ptcop").c_str()));
    EXPECT_STREQ("cannot open the tune file", pxtone_GetLastError());
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, Path("garbage.ptcop").c_str()));
    EXPECT_EQ(0, std::string(pxtone_GetLastError()).find("malformed tune file"));
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, dir_.string().c_str()));  // a directory
    EXPECT_FALSE(pxtone_Tune_Load(reinterpret_cast<HMODULE>(1), "PTCOP", "x"));
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, nullptr));
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, ""));
    EXPECT_FALSE(pxtone_Tune_Start(-1, 0));
    EXPECT_FALSE(pxtone_Tune_Start(0, -5));
    EXPECT_FALSE(pxtone_Tune_SetVolume(std::nanf("")));
    // The tune loaded before the failures still plays on.
    EXPECT_TRUE(pxtone_Tune_IsStreaming());
    EXPECT_GT(PeakOf(Pull(4410)), 1000);
    EXPECT_EQ(5410, pxtone_Tune_Stop());
}

TEST_F(PxtoneCalls, WithoutAudioOutputReadyFails) {
    seams::FailCall("SDL_OpenAudioDevice");
    EXPECT_FALSE(Ready());
    EXPECT_STREQ("no audio output", pxtone_GetLastError());
    EXPECT_FALSE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    EXPECT_FALSE(pxtone_Tune_Start(0, 0));
    seams::ClearAllCalls();
    EXPECT_TRUE(Ready());
}

TEST_F(PxtoneCalls, VolumeScalesTheSamples) {
    ASSERT_TRUE(Ready());
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_SetVolume(0.4f));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    const auto full = Pull(8000);
    pxtone_Tune_Stop();
    Pull(1000);  // the stopped notes fade out
    ASSERT_TRUE(pxtone_Tune_SetVolume(0.1f));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    const auto quarter = Pull(8000);
    ASSERT_GT(PeakOf(full), 4000);
    ASSERT_LT(PeakOf(full), 32767);  // no clipping to spoil the comparison
    for (size_t i = 0; i < full.size(); ++i) ASSERT_NEAR(quarter[i], full[i] / 4.0, 1.0) << i;
}

TEST_F(PxtoneCalls, OneChannelPlaysBothSidesAlike) {
    ASSERT_TRUE(Ready(1));
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    const auto s = Pull(4410);
    ASSERT_GT(PeakOf(s), 1000);
    for (size_t f = 0; f < 4410; ++f) ASSERT_EQ(s[2 * f], s[2 * f + 1]);
}

namespace {
std::atomic<int> g_callbackCalls{0};
std::atomic<int32_t> g_lastClock{-1};
BOOL StopAfterThree(int32_t clock) {
    g_lastClock = clock;
    return ++g_callbackCalls < 3 ? TRUE : FALSE;
}
}  // namespace

TEST_F(PxtoneCalls, CallbackSeesThePositionAndCanStopTheTune) {
    g_callbackCalls = 0;
    ASSERT_TRUE(Ready(2, StopAfterThree));
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    Pull(100);
    EXPECT_EQ(100, g_lastClock.load());
    Pull(100);
    EXPECT_TRUE(pxtone_Tune_IsStreaming());
    Pull(100);
    EXPECT_EQ(300, g_lastClock.load());
    EXPECT_FALSE(pxtone_Tune_IsStreaming());
    Pull(100);
    EXPECT_EQ(3, g_callbackCalls.load());
}

TEST_F(PxtoneCalls, KeepsItsOutputAfterTheGameLibraryClosedItsSound) {
    // The sound subsystem holds the output, as the game library does.
    ASSERT_EQ(0, sdl::OpenAudioOutput());
    ASSERT_TRUE(Ready());
    ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, Path("band.ptcop").c_str()));
    ASSERT_TRUE(pxtone_Tune_Start(0, 0));
    sdl::CloseAudioOutput();  // the library has ended
    ASSERT_TRUE(sdl::IsAudioOutputOpen());
    EXPECT_GT(PeakOf(Pull(4410)), 1000);
    // The game's exit step.
    EXPECT_GE(pxtone_Tune_Stop(), 0);
    EXPECT_TRUE(pxtone_Tune_Release());
    EXPECT_TRUE(pxtone_Release());
    EXPECT_FALSE(sdl::IsAudioOutputOpen());
}

TEST_F(PxtoneCalls, CallsRaceSafelyWithTheAudioThread) {
    ASSERT_TRUE(Ready());
    std::atomic<bool> done{false};
    std::atomic<int> pulls{0};
    std::thread audio([&] {
        std::vector<int16_t> buf(2 * 256);
        while (!done) {
            sdl::RenderAudioOutput(buf.data(), 256);
            ++pulls;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    const std::string names[2] = {Path("band.ptcop"), Path("sine.ptcop")};
    for (int i = 0; i < 200; ++i) {
        if (i > 0) {
            pxtone_Tune_Stop();
            ASSERT_TRUE(pxtone_Tune_Release());
        }
        ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, names[i % 2].c_str()));
        ASSERT_TRUE(pxtone_Tune_SetVolume((i % 10) / 10.0f));
        ASSERT_TRUE(pxtone_Tune_Start(i * 37, i % 3));
    }
    while (pulls < 50) std::this_thread::yield();
    done = true;
    audio.join();
    EXPECT_TRUE(pxtone_Tune_IsStreaming());
}
