// The audio output asked for ahead on a thread of its own: the first open
// takes that answer without asking again, a machine without a device still
// answers "no output" (and DirectSound DSERR_NODRIVER), and asking ahead is a
// no-op where an open would not ask.
#include "platform/dsound/dsound.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class PreparedOutputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(sdl::SetManualAudioOutput(false), 0); }  // SDL's device, asked afresh
    void TearDown() override {
        while (sdl::IsAudioOutputOpen()) sdl::CloseAudioOutput();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        sdl::SetManualAudioOutput(false);
    }
};

TEST_F(PreparedOutputTest, TheFirstOpenTakesTheAnswerAskedForAhead) {
    struct Case {
        const char* what;
        const char* driver;
        bool preparedTwice;
        int open;          // the first open's result
        const char* name;  // the driver in use after it
    };
    const Case cases[] = {
        {"a device", "dummy", false, 0, "dummy"},
        {"asked for twice, one answer", "dummy", true, 0, "dummy"},
        {"no device", "no-such-driver", false, -1, ""},
        {"no device, asked for twice", "no-such-driver", true, -1, ""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(sdl::SetManualAudioOutput(false), 0) << c.what;
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        const int asks = sdl::AudioDeviceAskCount();
        sdl::PrepareAudioOutput();
        if (c.preparedTwice) sdl::PrepareAudioOutput();
        EXPECT_EQ(sdl::OpenAudioOutput(), c.open) << c.what;
        EXPECT_EQ(std::string(sdl::AudioOutputDriverName()), c.name) << c.what;
        EXPECT_EQ(sdl::AudioDeviceAskCount(), asks + 1) << c.what << ": the open took the answer asked for ahead";
        EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u) << c.what << ": SDL's subsystem counts, shared with the video, stay untouched";
        if (c.open == 0) {
            sdl::CloseAudioOutput();
            EXPECT_FALSE(sdl::IsAudioOutputOpen()) << c.what;
            continue;
        }
        EXPECT_EQ(sdl::OpenAudioOutput(), -1) << c.what;
        sdl::PrepareAudioOutput();
        EXPECT_EQ(sdl::AudioDeviceAskCount(), asks + 1) << c.what << ": a missing device is not asked for again";
    }
}

TEST_F(PreparedOutputTest, AskingAheadIsANoOpWhereAnOpenWouldNotAsk) {
    struct Case {
        const char* what;
        bool manual;       // the test back end chosen
        bool alreadyOpen;  // the output open when asked ahead
        const char* name;
    };
    const Case cases[] = {
        {"manual back end", true, false, "manual"},
        {"output already open", false, true, "dummy"},
    };
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const Case& c : cases) {
        ASSERT_EQ(sdl::SetManualAudioOutput(c.manual), 0) << c.what;
        if (c.alreadyOpen) {
            ASSERT_EQ(sdl::OpenAudioOutput(), 0) << c.what;
        }
        const int asks = sdl::AudioDeviceAskCount();
        sdl::PrepareAudioOutput();
        EXPECT_EQ(sdl::OpenAudioOutput(), 0) << c.what;
        EXPECT_EQ(std::string(sdl::AudioOutputDriverName()), c.name) << c.what;
        EXPECT_EQ(sdl::AudioDeviceAskCount(), asks) << c.what;
        while (sdl::IsAudioOutputOpen()) sdl::CloseAudioOutput();
    }
}

TEST_F(PreparedOutputTest, DirectSoundWithoutADeviceStillHasNoDriver) {
    struct Case {
        const char* what;
        const char* driver;
        HRESULT initialize;
    };
    const Case cases[] = {
        {"no device", "no-such-driver", DSERR_NODRIVER},
        {"a device", "dummy", DS_OK},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(sdl::SetManualAudioOutput(false), 0) << c.what;
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        dsound::PrepareOutput();
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &object), S_OK);
        auto* ds = static_cast<IDirectSound*>(object);
        EXPECT_EQ(ds->Initialize(nullptr), c.initialize) << c.what;
        EXPECT_EQ(sdl::IsAudioOutputOpen(), c.initialize == DS_OK) << c.what;
        ds->Release();
        EXPECT_FALSE(sdl::IsAudioOutputOpen()) << c.what << ": the last release closes the output";
    }
}

}  // namespace
