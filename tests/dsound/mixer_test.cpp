// The mixer's arithmetic: exact sums, saturation, sample formats, gains,
// rates and loops, seen through the rendered output.
#include "dsound_test_util.h"

#include <cmath>
#include <cstdint>
#include <vector>

using dstest::DeviceTest;
using dstest::Pcm;

namespace {

std::vector<int16_t> Ramp(int count, int start, int step) {
    std::vector<int16_t> v(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) v[i] = static_cast<int16_t>(start + i * step);
    return v;
}

TEST_F(DeviceTest, PlayingBuffersAddUpExactly) {
    IDirectSoundBuffer* a = Make16(Ramp(64, -3000, 97));
    IDirectSoundBuffer* b = Make16(Ramp(64, 5000, -131));
    ASSERT_EQ(a->Play(0, 0, 0), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(64);
    for (int i = 0; i < 64; ++i) {
        const int expected = (-3000 + i * 97) + (5000 - i * 131);
        ASSERT_EQ(out[2 * i], expected) << "frame " << i;
        ASSERT_EQ(out[2 * i + 1], expected) << "a mono buffer sounds on both sides";
    }
}

TEST_F(DeviceTest, SumsSaturateAtSixteenBits) {
    IDirectSoundBuffer* a = Make16({30000, -30000, 32767, -32768, 100});
    IDirectSoundBuffer* b = Make16({30000, -30000, 32767, -32768, -100});
    IDirectSoundBuffer* c = Make16({-30000, 30000, -1, 0, 0});
    for (IDirectSoundBuffer* x : {a, b}) ASSERT_EQ(x->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(5);
    EXPECT_EQ(out[0], 32767);
    EXPECT_EQ(out[2], -32768);
    EXPECT_EQ(out[4], 32767);
    EXPECT_EQ(out[6], -32768);
    EXPECT_EQ(out[8], 0);
    // Saturation applies once, to the whole sum: +30000 +30000 -30000 is 30000.
    for (IDirectSoundBuffer* x : {a, b, c}) {
        ASSERT_EQ(x->SetCurrentPosition(0), DS_OK);
        ASSERT_EQ(x->Play(0, 0, 0), DS_OK);
    }
    out = Render(2);
    EXPECT_EQ(out[0], 30000);
    EXPECT_EQ(out[2], -30000);
}

TEST_F(DeviceTest, EightBitAndStereoSamplesAreRead) {
    const uint8_t bytes[] = {0x80, 0xFF, 0x00, 0x81};
    IDirectSoundBuffer* b8 = Make(Pcm(1, 44100, 8), bytes, 4);
    ASSERT_EQ(b8->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 127 * 256);
    EXPECT_EQ(out[4], -32768);
    EXPECT_EQ(out[6], 256);

    IDirectSoundBuffer* stereo = Make16({1000, -2000, 3000, -4000}, 2);
    ASSERT_EQ(stereo->Play(0, 0, 0), DS_OK);
    out = Render(2);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[1], -2000);
    EXPECT_EQ(out[2], 3000);
    EXPECT_EQ(out[3], -4000);

    const uint8_t stereo8[] = {0x90, 0x70, 0x80, 0x80};
    IDirectSoundBuffer* s8 = Make(Pcm(2, 44100, 8), stereo8, 4);
    ASSERT_EQ(s8->Play(0, 0, 0), DS_OK);
    out = Render(1);
    EXPECT_EQ(out[0], 16 * 256);
    EXPECT_EQ(out[1], -16 * 256);
}

TEST_F(DeviceTest, VolumeAndPanFollowTheDecibelScale) {
    const int16_t level = 20000;
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(16, level));
    auto renderOnce = [&]() {
        EXPECT_EQ(b->SetCurrentPosition(0), DS_OK);
        EXPECT_EQ(b->Play(0, 0, 0), DS_OK);
        std::vector<int16_t> out = Render(1);
        b->Stop();
        return std::pair<int, int>(out[0], out[1]);
    };
    ASSERT_EQ(b->SetVolume(-600), DS_OK);
    auto lr = renderOnce();
    const double expected = level * std::pow(10.0, -600 / 2000.0);  // -6 dB: about half
    EXPECT_NEAR(lr.first, expected, 1.0);
    EXPECT_NEAR(lr.second, expected, 1.0);

    ASSERT_EQ(b->SetVolume(-10000), DS_OK);
    lr = renderOnce();
    EXPECT_EQ(lr.first, 0);
    EXPECT_EQ(lr.second, 0);

    ASSERT_EQ(b->SetVolume(0), DS_OK);
    ASSERT_EQ(b->SetPan(2000), DS_OK);  // right: the left side loses 20 dB
    lr = renderOnce();
    EXPECT_NEAR(lr.first, level / 10.0, 1.0);
    EXPECT_EQ(lr.second, level);

    ASSERT_EQ(b->SetPan(DSBPAN_LEFT), DS_OK);
    lr = renderOnce();
    EXPECT_EQ(lr.first, level);
    EXPECT_EQ(lr.second, 0);
}

TEST_F(DeviceTest, OtherRatesAreInterpolated) {
    // At half the output rate every other output frame lies halfway between
    // two samples.
    IDirectSoundBuffer* b = Make16(Ramp(8, 0, 1000), 1, 22050);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(16);
    for (int i = 0; i < 14; ++i) EXPECT_EQ(out[2 * i], i * 500) << "frame " << i;
    EXPECT_EQ(out[2 * 14], 7000) << "the last sample holds";
    EXPECT_EQ(PlayCursor(b), 0u);
    EXPECT_EQ(Status(b), 0u) << "16 output frames use up 8 samples";

    // Twice the rate skips every other sample.
    ASSERT_EQ(b->SetFrequency(88200), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    out = Render(4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 2000);
    EXPECT_EQ(out[4], 4000);
    EXPECT_EQ(out[6], 6000);
}

TEST_F(DeviceTest, LoopsWrapWithoutAGap) {
    IDirectSoundBuffer* b = Make16({100, 200, 300});
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    std::vector<int16_t> out = Render(10);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(out[2 * i], 100 * (i % 3 + 1)) << "frame " << i;

    // Interpolated loops lead from the last sample into the first.
    IDirectSoundBuffer* slow = Make16({0, 1000}, 1, 22050);
    b->Stop();
    ASSERT_EQ(slow->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    out = Render(6);
    const int expected[] = {0, 500, 1000, 500, 0, 500};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[2 * i], expected[i]) << "frame " << i;
}

TEST_F(DeviceTest, ASilentBufferStillMovesAndEnds) {
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(50, 9999));
    ASSERT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    Render(20);
    EXPECT_EQ(PlayCursor(b), 40u);
    Render(40);
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(PlayCursor(b), 0u);
}

}  // namespace
