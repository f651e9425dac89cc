// Sound handles: their layout, the check counter, the high-water slot, the
// full table, and refusals of handles that name no live sound.
#include "sound/sound_internal.h"
#include "sound_test_util.h"

#include <functional>

using namespace soundtest;

namespace {

using HandleTest = SoundTest;

TEST_F(HandleTest, HandlesCarryTypeCheckAndSlot) {
    g_soundTable.checkCounter = 0;  // as at the program's start (it goes on across restarts of sound)
    const int32_t first = AddSoundData(-1);
    const int32_t second = AddSoundData(-1);
    EXPECT_EQ(first, 0x10000000);
    EXPECT_EQ(second, 0x10010001);
    // A handle whose slot is free is given back as it is.
    ASSERT_EQ(DeleteSound(second, 0), 0);
    EXPECT_EQ(AddSoundData(second), second);
    EXPECT_EQ(GetSoundTotalSample(second), 0) << "the record is live again";
}

TEST_F(HandleTest, CheckValuesWrapAfter2047) {
    g_soundTable.checkCounter = 0;
    int32_t last = -1;
    for (int i = 0; i < 2049; ++i) last = AddSoundData(-1);
    EXPECT_EQ(last, 0x10000000 | 2048) << "the 2049th handle: check 0 again, slot 2048";
}

TEST_F(HandleTest, DeletingTheTopSlotLowersTheHighWaterPastEmptySlots) {
    const int32_t a = AddSoundData(-1);
    const int32_t b = AddSoundData(-1);
    const int32_t c = AddSoundData(-1);
    ASSERT_EQ(DeleteSound(b, 0), 0);
    // The next handle still takes the high-water slot 3, not the hole.
    const int32_t d = AddSoundData(-1);
    EXPECT_EQ(d & 0xFFFF, 3);
    ASSERT_EQ(DeleteSound(d, 0), 0);
    ASSERT_EQ(DeleteSound(c, 0), 0);
    // Slots 1 to 3 are empty now: the high water is back at 1.
    EXPECT_EQ(AddSoundData(-1) & 0xFFFF, 1);
    DeleteAllSounds(0);
    EXPECT_EQ(AddSoundData(-1) & 0xFFFF, 0) << "the last delete leaves the high water at 0";
    (void)a;
}

TEST_F(HandleTest, HandlesThatNameNoSoundAreRefusedByEveryCall) {
    const int32_t beforeRestart = AddSoundData(-1);
    ASSERT_EQ(TerminateSound(), 0);
    ASSERT_EQ(InitializeSound(), 0);
    const int32_t live = Load(Wave16(Pattern(100, 0)));
    ASSERT_NE(live, -1);
    ASSERT_EQ(live & 0xFFFF, beforeRestart & 0xFFFF) << "the emptied table gives the same slot again";
    const int32_t stale = AddSoundData(-1);
    ASSERT_EQ(DeleteSound(stale, 0), 0);
    const int32_t reused = AddSoundData(-1);
    ASSERT_EQ(reused & 0xFFFF, stale & 0xFFFF) << "the slot was taken again";
    ASSERT_NE(reused, stale);

    const std::vector<std::function<int32_t(int32_t)>> calls = {
        [](int32_t h) { return PlaySoundHandle(h, 1, 1); },
        [](int32_t h) { return StopSound(h); },
        [](int32_t h) { return IsSoundPlaying(h); },
        [](int32_t h) { return GetSoundCurrentTime(h); },
        [](int32_t h) { return GetSoundTotalSample(h); },
        [](int32_t h) { return GetSoundTotalTime(h); },
        [](int32_t h) { return SetSoundVolume(128, h); },
        [](int32_t h) { return PreloadStream(h); },
        [](int32_t h) { return DeleteSound(h, 0); },
    };
    const int32_t refused[] = {-1,    0x08000000 | (live & 0xFFFF), live | 0x00008000, stale, (live ^ 0x00010000),
                               beforeRestart};
    for (int32_t h : refused)
        for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i](h), -1) << "call " << i << " handle " << h;
    EXPECT_EQ(GetSoundTotalSample(live), 100) << "the live handle is untouched";
    EXPECT_EQ(NewLog().find("in AddSoundData"), std::string::npos);
}

TEST_F(HandleTest, AFullTableRefusesFurtherSounds) {
    g_soundTable.checkCounter = 0;
    for (int i = 0; i < 32768; ++i) ASSERT_NE(AddSoundData(-1), -1) << i;
    EXPECT_EQ(AddSoundData(-1), -1);
    EXPECT_EQ(Load(Wave16(Pattern(10, 0))), -1);
    EXPECT_NE(NewLog().find("サウンドの数が許容量を越えました\r\n"), std::string::npos);
    // With slot 32767 in use a freed slot is found by scanning.
    ASSERT_EQ(DeleteSound(0x10000000 | (5 << 16) | 5, 0), 0);
    EXPECT_EQ(AddSoundData(-1) & 0xFFFF, 5);
}

TEST(SoundNotRunning, EveryCallGivesMinusOne) {
    ASSERT_EQ(TerminateSound(), -1) << "sound was never started in this test";
    const uint8_t image[4] = {};
    EXPECT_EQ(LoadSound("missing.wav", 1, -1), -1);
    EXPECT_EQ(CreateSoundFromImage(image, 4, 1, -1), -1);
    EXPECT_EQ(PlaySoundHandle(0x10000000, 1, 1), -1);
    EXPECT_EQ(StopSound(0x10000000), -1);
    EXPECT_EQ(IsSoundPlaying(0x10000000), -1);
    EXPECT_EQ(SetSoundVolume(255, 0x10000000), -1);
    EXPECT_EQ(DeleteSound(0x10000000, 0), -1);
    EXPECT_EQ(DeleteAllSounds(0), -1);
    EXPECT_EQ(AddSoundData(-1), -1);
    EXPECT_EQ(AddStreamMemory(image, 4, 0, 0x10000000, kStreamSourceMemory, -1), -1);
    EXPECT_EQ(PlayStreamSound(0x10000000, 1, 1), -1);
    EXPECT_EQ(RefillStream(0x10000000), -1);
    EXPECT_EQ(ProcessStreamSounds(), -1);
    EXPECT_EQ(ProcessSoftSoundPlayers(), -1);
    EXPECT_EQ(CheckMidiPlayState(), -1);
    EXPECT_EQ(HandleMidiNotify(0, 0), 0);
    EXPECT_EQ(ReleaseTemporaryPlayHandle(), 0);
}

}  // namespace
