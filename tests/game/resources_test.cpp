// What LoadResources loads from where, the effects' volume and play-once
// rule, and the music library's calls in the order the game makes them.
#include "game_test_util.h"

#include <cmath>

namespace game_test {
namespace {

class ResourcesTest : public GameTest {};

TEST_F(ResourcesTest, LoadResourcesFillsTheSlotsFromTheDataDirectory) {
    TheWorld().missing = "morvane.png";
    LoadResources();
    const Calls images = CallsStartingWith("LoadImageFile");
    ASSERT_EQ(images.size(), 14u);
    EXPECT_EQ(images.front(), "LoadImageFile(" + directory_ + "/data\\hana.png)");
    EXPECT_EQ(images.back(), "LoadImageFile(" + directory_ + "/data\\haikei04.png)");
    EXPECT_EQ((std::vector<int32_t>{ImageHandle(0), ImageHandle(1), ImageHandle(50), ImageHandle(52), ImageHandle(104),
                                    ImageHandle(256)}),
              (std::vector<int32_t>{1000, -1, 1006, -1, 1012, -1}));
    const Calls sounds = CallsStartingWith("LoadSound");
    ASSERT_EQ(sounds.size(), 8u);
    EXPECT_EQ(sounds[7], "LoadSound(" + directory_ + "/data/07.wav)");
    EXPECT_EQ(CallsStartingWith("SetSoundVolume(127,").size(), 8u) << "the start-up volume 0.5";
    EXPECT_EQ(TheWorld().calls.back(), "pxtone_Ready(2,44100,16,0.100000,1)");
    EXPECT_EQ(g_music.dir, directory_ + "/");
    TheWorld().calls.clear();
    LoadSoundEffects();  // a reload deletes the old handles first
    EXPECT_EQ(CallsStartingWith("DeleteSound").front(), "DeleteSound(1013)");
}

TEST_F(ResourcesTest, EffectVolumesAreLimitedAndScaledTo255) {
    g_soundEffects.handle[200] = 6;
    for (float v : {0.5f, 1.0f, 7.0f, -1.0f, std::nanf("")}) SetSoundEffectVolume(v);
    EXPECT_EQ(CallsStartingWith("SetSoundVolume"),
              (Calls{"SetSoundVolume(127,6)", "SetSoundVolume(255,6)", "SetSoundVolume(255,6)", "SetSoundVolume(0,6)",
                     "SetSoundVolume(0,6)"}));
}

TEST_F(ResourcesTest, AnEffectStartsAtMostOnceAFrame) {
    g_soundEffects.handle[1] = 11;
    g_soundEffects.handle[2] = 12;
    for (int32_t n : {1, 1, 2, -1, 256, 9}) PlaySoundEffect(n);  // 9 was never loaded
    ClearPlayedSoundEffects();
    PlaySoundEffect(1);
    EXPECT_EQ(CallsStartingWith("PlaySoundHandle"),
              (Calls{"PlaySoundHandle(11,1,1)", "PlaySoundHandle(12,1,1)", "PlaySoundHandle(11,1,1)"}));
}

class MusicTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        InitMusic("/game/");
        TheWorld().calls.clear();
    }
};

TEST_F(MusicTest, EveryTuneChoiceStopsReleasesLoadsAndStarts) {
    PlayMusic("awk");
    PlayMusic("awk");  // the same tune again is reloaded too
    EXPECT_EQ(TheWorld().calls,
              (Calls{"pxtone_Tune_Load(/game/data/awk.ptcop)", "pxtone_Tune_SetVolume(0.500000)", "pxtone_Tune_Start(0,0)",
                     "pxtone_Tune_Stop()", "pxtone_Tune_Release()", "pxtone_Tune_Load(/game/data/awk.ptcop)",
                     "pxtone_Tune_SetVolume(0.500000)", "pxtone_Tune_Start(0,0)"}));
    EXPECT_STREQ(g_music.name, "awk");
}

TEST_F(MusicTest, VolumeZeroStopsAndARiseFromZeroStarts) {
    SetMusicVolume(0.0f);  // nothing loaded: only kept
    PlayMusic("avs_");     // loaded, not started
    PlayMusic("amn_");     // silent: released without a stop
    SetMusicVolume(0.25f);
    SetMusicVolume(0.75f);
    SetMusicVolume(0.0f);
    EXPECT_EQ(TheWorld().calls,
              (Calls{"pxtone_Tune_Load(/game/data/avs_.ptcop)", "pxtone_Tune_SetVolume(0.000000)",
                     "pxtone_Tune_Release()", "pxtone_Tune_Load(/game/data/amn_.ptcop)",
                     "pxtone_Tune_SetVolume(0.000000)", "pxtone_Tune_SetVolume(0.250000)", "pxtone_Tune_Start(0,0)",
                     "pxtone_Tune_SetVolume(0.750000)", "pxtone_Tune_Stop()"}));
}

TEST_F(MusicTest, TheExitStepEndsWhatWasStarted) {
    PlayMusic("awk");
    TheWorld().calls.clear();
    RunMusicExitStep();
    EXPECT_EQ(TheWorld().calls, (Calls{"pxtone_Tune_Stop()", "pxtone_Tune_Release()", "pxtone_Release()"}));
    g_music = MusicState{};  // never made ready: nothing at all
    TheWorld().calls.clear();
    PlayMusic("awk");
    RunMusicExitStep();
    EXPECT_TRUE(TheWorld().calls.empty());
}

}  // namespace
}  // namespace game_test
