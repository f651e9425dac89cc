// The one audio output: sources summed with saturation, registration rules,
// reference-counted opening, and the SDL dummy driver as a real device.
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Constant {
    int16_t left;
    int16_t right;
    int calls = 0;
};

void WriteConstant(void* user, int16_t* samples, int frames) {
    auto* c = static_cast<Constant*>(user);
    ++c->calls;
    for (int i = 0; i < frames; ++i) {
        samples[2 * i] = c->left;
        samples[2 * i + 1] = c->right;
    }
}

void AddOne(void*, int16_t* samples, int frames) {
    for (int i = 0; i < 2 * frames; ++i) samples[i] = static_cast<int16_t>(samples[i] + 1);
}

class ManualOutput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
        ASSERT_EQ(sdl::OpenAudioOutput(), 0);
    }
    void TearDown() override {
        sdl::CloseAudioOutput();
        sdl::SetManualAudioOutput(false);
    }
};

TEST_F(ManualOutput, SourcesAreSummedWithOneSaturation) {
    Constant a{20000, -20000}, b{20000, -20000}, c{-15000, 15000};
    ASSERT_EQ(sdl::AddAudioSource(WriteConstant, &a), 0);
    ASSERT_EQ(sdl::AddAudioSource(WriteConstant, &b), 0);
    std::vector<int16_t> out(8);
    ASSERT_EQ(sdl::RenderAudioOutput(out.data(), 4), 0);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[1], -32768);
    ASSERT_EQ(sdl::AddAudioSource(WriteConstant, &c), 0);
    ASSERT_EQ(sdl::RenderAudioOutput(out.data(), 4), 0);
    EXPECT_EQ(out[6], 25000) << "20000 + 20000 - 15000 is in range";
    EXPECT_EQ(out[7], -25000);
    EXPECT_EQ(a.calls, 2);
    for (Constant* s : {&a, &b, &c}) EXPECT_EQ(sdl::RemoveAudioSource(WriteConstant, s), 0);
}

TEST_F(ManualOutput, SourcesStartFromSilenceAndCanBeRemoved) {
    ASSERT_EQ(sdl::AddAudioSource(AddOne, nullptr), 0);
    EXPECT_EQ(sdl::AddAudioSource(AddOne, nullptr), -1) << "the same pair twice";
    EXPECT_EQ(sdl::AddAudioSource(nullptr, nullptr), -1);
    std::vector<int16_t> out(4, 77);
    ASSERT_EQ(sdl::RenderAudioOutput(out.data(), 2), 0);
    EXPECT_EQ(out, std::vector<int16_t>(4, 1));
    ASSERT_EQ(sdl::RemoveAudioSource(AddOne, nullptr), 0);
    EXPECT_EQ(sdl::RemoveAudioSource(AddOne, nullptr), -1);
    ASSERT_EQ(sdl::RenderAudioOutput(out.data(), 2), 0);
    EXPECT_EQ(out, std::vector<int16_t>(4, 0));
}

TEST_F(ManualOutput, OpeningIsCounted) {
    ASSERT_EQ(sdl::OpenAudioOutput(), 0);
    sdl::CloseAudioOutput();
    EXPECT_TRUE(sdl::IsAudioOutputOpen());
    EXPECT_EQ(std::string(sdl::AudioOutputDriverName()), "manual");
    EXPECT_EQ(sdl::SetManualAudioOutput(false), -1) << "the back end stays while open";
}

TEST(AudioOutput, RenderingByHandNeedsTheManualBackEnd) {
    std::vector<int16_t> out(4, 5);
    EXPECT_EQ(sdl::RenderAudioOutput(out.data(), 2), -1);
    EXPECT_EQ(out, std::vector<int16_t>(4, 0));
    EXPECT_EQ(sdl::RenderAudioOutput(nullptr, 2), -1);
}

TEST(AudioOutput, TheDummyDriverIsARealOutput) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_EQ(sdl::OpenAudioOutput(), 0);
    EXPECT_EQ(std::string(sdl::AudioOutputDriverName()), "dummy");
    EXPECT_GE(sdl::AudioOutputDeviceCount(), 0);
    sdl::CloseAudioOutput();
    EXPECT_FALSE(sdl::IsAudioOutputOpen());

    seams::FailCall("SDL_OpenAudioDevice", 1);
    EXPECT_EQ(sdl::OpenAudioOutput(), -1);
    EXPECT_FALSE(sdl::IsAudioOutputOpen());
    seams::ClearAllCalls();
}

TEST(AudioOutput, AMissingDeviceIsAskedForOnceAndQuietly) {
    struct Case {
        const char* what;
        const char* driver;
    };
    const Case cases[] = {
        {"a driver SDL does not have", "no-such-driver"},
        {"ALSA, on a machine with or without a sound card", "alsa"},
    };
    for (const Case& c : cases) {
        setenv("SDL_AUDIODRIVER", c.driver, 1);
        ::testing::internal::CaptureStderr();
        const int first = sdl::OpenAudioOutput();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << c.what << ": " << err;
        if (first == 0) {  // there is a device after all
            sdl::CloseAudioOutput();
            continue;
        }
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const int again = sdl::OpenAudioOutput();
        EXPECT_EQ(again, -1) << c.what << ": the device is not asked again";
        if (again == 0) sdl::CloseAudioOutput();
        EXPECT_EQ(sdl::SetManualAudioOutput(false), 0);
        EXPECT_EQ(sdl::OpenAudioOutput(), 0) << c.what << ": choosing the back end again asks again";
        sdl::CloseAudioOutput();
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
