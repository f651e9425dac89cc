// The wipe's squares and run, and the volume sliders: dragging, the mute
// icon, the volumes they set, the sample they play, and their drawing.
#include "game_test_util.h"

#include "game/wipe.h"

namespace game_test {
namespace {

class WipeTest : public GameTest {};

TEST_F(WipeTest, SquaresPastTheirThresholdCoverOrUncover) {
    EXPECT_EQ((std::vector<int32_t>{WipeThreshold(0, 1), WipeThreshold(0, 7), WipeThreshold(5, 0), WipeThreshold(5, 6)}),
              (std::vector<int32_t>{15, 33, 14, 32}));
    WipeState wipe{1, 0, 0, 1};
    DrawWipe(wipe);
    EXPECT_EQ(TheWorld().calls, (Calls{"DrawRectangle(0,0,40,40,1)"})) << "covering at 1: the top-left square";
    std::vector<size_t> counts;
    for (auto [reveal, progress] : {std::pair{0, 0}, {0, 36}, {1, 0}, {1, 36}}) {
        TheWorld().calls.clear();
        DrawWipe(WipeState{1, 0, static_cast<uint8_t>(reveal), progress});
        counts.push_back(TheWorld().calls.size());
    }
    EXPECT_EQ(counts, (std::vector<size_t>{0, 48, 48, 0}));
    TheWorld().calls.clear();
    DrawWipe(WipeState{0, 0, 1, 0});
    EXPECT_TRUE(TheWorld().calls.empty());
}

TEST_F(WipeTest, AWipeRunsTwentyFourFrames) {
    WipeState wipe;
    EXPECT_FALSE(StepWipe(wipe)) << "not active";
    StartWipe(wipe, 0);
    int frames = 0;
    while (StepWipe(wipe)) ++frames;
    EXPECT_EQ(frames, 24);
    EXPECT_EQ(std::make_pair(wipe.active, wipe.progress), std::make_pair(uint8_t{1}, 48));
}

class SlidersTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        g_soundEffects.handle[3] = 33;
        g_music.loaded = g_music.playing = 1;
        g_music.volume = kDefaultMusicVolume;
        ShowVolumeSliders(s, 230, 2, 12);
    }
    int32_t Frame(int32_t x, int32_t y, int32_t held) {
        ClearPlayedSoundEffects();
        return UpdateVolumeSliders(s, x, y, held);
    }
    VolumeSliders s;
};

TEST_F(SlidersTest, TheEffectIconTogglesOnlyOnTheFirstFrameOfAPress) {
    EXPECT_EQ(std::make_pair(s.effectLevel, s.musicLevel), std::make_pair(6, 4)) << "5/12 as a float is below 5/12";
    EXPECT_EQ(Frame(235, 5, 0), 1);
    EXPECT_EQ(std::make_pair(s.effectLevel, g_soundEffects.volume), std::make_pair(0, 0.0f));
    Frame(235, 5, 1);
    EXPECT_EQ(s.effectLevel, 0) << "held: no second toggle";
    Frame(235, 5, 0);
    EXPECT_EQ(s.effectLevel, 1);
    EXPECT_FLOAT_EQ(g_soundEffects.volume, 1.0f / 12.0f);
    EXPECT_EQ(CallsStartingWith("PlaySoundHandle").size(), 2u) << "each change plays the sample";
}

TEST_F(SlidersTest, DraggingAlongTheMusicBarFollowsThePointer) {
    Frame(242, 20, 0);
    Frame(313, 20, 5);
    Frame(236, 20, 6);  // dragged onto the icon: no change
    EXPECT_EQ(s.musicLevel, 12);
    EXPECT_EQ(g_music.volume, 1.0f);
    EXPECT_EQ(TheWorld().calls, (Calls{"pxtone_Tune_SetVolume(0.083333)", "pxtone_Tune_SetVolume(1.000000)"}));
}

TEST_F(SlidersTest, OverTheWidgetTheResultIsOneWhateverTheButton) {
    std::vector<int32_t> results;
    for (auto [x, y] : {std::pair{230, 2}, {313, 25}, {314, 10}, {229, 10}, {240, 26}}) results.push_back(Frame(x, y, -1));
    EXPECT_EQ(results, (std::vector<int32_t>{1, 1, 0, 0, 0}));
    s.steps = 0;  // nothing to divide by: no widget
    EXPECT_EQ(Frame(235, 10, 0), 0);
    EXPECT_TRUE(TheWorld().calls.empty());
}

TEST_F(SlidersTest, DrawnAsIconsAndFilledOrEmptySegments) {
    FakeImage(kImageVolume, 24, 48);
    s.steps = 2;
    s.effectLevel = 0;
    s.musicLevel = 1;
    DrawVolumeSliders(s);
    auto cell = [](int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w) {
        return DrawCall{x, y, sx, sy, w, 12, kImageVolume, 0};
    };
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{cell(230, 2, 0, 12, 12), cell(242, 2, 18, 0, 6),
                                                       cell(248, 2, 18, 0, 6), cell(230, 14, 0, 24, 12),
                                                       cell(242, 14, 12, 0, 6), cell(248, 14, 18, 0, 6)}));
}

}  // namespace
}  // namespace game_test
