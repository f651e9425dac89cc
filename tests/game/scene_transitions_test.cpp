// Scene transitions and wipes: the boot, logo and notice scenes' timelines,
// the title menu (slots, delete mode, quit, the sliders taking the pointer),
// the break scene's messages, fireworks and way out, and the pointer drawn
// last before the wipe.
#include "scene_test_util.h"

#include "game/backgrounds/haikei.h"
#include "game/bitmap_font.h"
#include "game/effects.h"
#include "graphics/graphics.h"
#include "game/scenes/boot_scenes.h"
#include "game/scenes/break_scene.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/sentaku_scene.h"
#include "game/scenes/title_scene.h"

namespace game_test {
namespace {

class TransitionTest : public SceneTest {
protected:
    // The frame (from 1) in which the current scene first is a T, running
    // the frame loop from `first`; 0 when it never is within maxFrames.
    template <typename T>
    int32_t FrameReaching(Scene* first, int32_t maxFrames) {
        int32_t reached = 0;
        RunLoop(
            first,
            [&](int32_t frame) {
                if (CurrentAs<T>() == nullptr) return true;
                reached = frame;
                return false;
            },
            maxFrames);
        return reached;
    }
};

TEST_F(TransitionTest, BootLoadsTheSavesAndTheLogoAlwaysLastsTheSameTime) {
    std::filesystem::create_directories(Native("save"));
    WriteBytes(Native("save/save2"), {0xA2, 0x03, 0, 0, 7, 0, 0, 0});  // tag 930, level 7
    // Frame 1 is the boot scene's; the logo scene updates from frame 2 and
    // hands over in the update that brings its overlay back to 255.
    HoldLeft(true);  // the logo reads no input
    const int32_t notice = FrameReaching<FirstScene>(NewBootScene(), 400);
    EXPECT_EQ(g_saveData.loaded, 1);
    EXPECT_EQ(g_saveData.slot[1].level, 7);
    // 91 updates until leaving, then 16 back up to 255: the first scene is
    // current after frame 1 + 91 + 16.
    EXPECT_EQ(notice, 1 + 91 + 16);
    HoldLeft(false);
}

TEST_F(TransitionTest, TheLogoFadesInFromBlackAndOutToWhite) {
    MorvaneScene logo;
    logo.Start();
    Frame(logo);
    EXPECT_EQ(logo.alpha, 255 - 16);
    EXPECT_EQ(logo.overlayBlack, 1);
    Frames(logo, 15);
    EXPECT_EQ(logo.alpha, 0);
    Frames(logo, 75);  // 91 updates so far
    EXPECT_EQ(logo.leaving, 1);
    EXPECT_EQ(logo.overlayBlack, 0) << "the fade-out goes to white";
    // The overlay is drawn last, in the overlay's alpha.
    ForgetCalls();
    Frame(logo);
    const auto blends = CallsStartingWith("SetBlendMode");
    ASSERT_GE(blends.size(), 2u);
    EXPECT_EQ(blends[blends.size() - 2], CallText("SetBlendMode", 1, logo.alpha));
    EXPECT_EQ(Rectangles().back().color, MakeColor(255, 255, 255));
    EXPECT_EQ(DrawsOfSlot(52).size(), 1u);
    EXPECT_EQ(DrawsOfSlot(52)[0], (DrawCall{96, 88, 0, 0, 128, 64, ImageOfSlot(52), 0}));
}

TEST_F(TransitionTest, ANextClickOnTheFirstFrameLeadsToTheTitleOnTheSecond) {
    auto* first = new FirstScene;
    PointAt(280, 224);
    HoldLeft(true);
    int32_t titleAt = 0;
    int32_t alphaAfterFirst = -1;
    RunLoop(
        first,
        [&](int32_t frame) {
            if (frame == 1) alphaAfterFirst = CurrentAs<FirstScene>()->alpha;
            if (CurrentAs<TitleScene>() != nullptr) {
                titleAt = frame;
                return false;
            }
            return frame < 10;
        },
        10);
    EXPECT_EQ(alphaAfterFirst, 247);
    EXPECT_EQ(titleAt, 2);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 1);
}

TEST_F(TransitionTest, TheNoticeShowsItsLinesAndTheMakersLineInEitherLanguage) {
    for (uint8_t english : {0, 1}) {
        UseEnglish = english;
        FirstScene scene;
        scene.Start();
        EXPECT_STREQ(scene.next.label, english ? "NEXT" : "ﾂｷﾞﾍ");
        EXPECT_STREQ(FirstSceneLine(0), english ? "USE A MOUSE." : "ﾏｳｽ ﾃﾞ ｿｳｻ ﾃﾞｽ｡");
        EXPECT_STREQ(FirstSceneLine(1), english ? "SAVING IS AUTOMATIC." : "ｾｰﾌﾞ ﾊ ｵｰﾄｾｰﾌﾞ ﾃﾞｽ｡");
        // The maker's line: the same glyphs in the same place in both languages.
        ForgetCalls();
        scene.Draw();
        std::vector<DrawCall> glyphs;
        for (const DrawCall& d : DrawsOfSlot(kImageFont))
            if (d.y == 216) glyphs.push_back(d);
        EXPECT_EQ(glyphs.size(), 10u) << "(C) MORVANE without its blank";
        EXPECT_EQ(glyphs.at(0).x, 8);
    }
}

// Every scene that reads the mouse draws the pointer after everything but the wipe.
TEST_F(TransitionTest, ThePointerIsDrawnLastBeforeTheWipe) {
    WriteLevel(1, kOneSwapLevel);
    std::vector<std::unique_ptr<Scene>> scenes;
    scenes.emplace_back(new FirstScene);
    scenes.emplace_back(new TitleScene);
    scenes.emplace_back(new SentakuScene);
    scenes.emplace_back(new PuzzleScene(1));
    scenes.emplace_back(new BreakScene(20));
    PointAt(100, 100);
    for (auto& scene : scenes) {
        scene->Start();
        SwapBackground();
        ForgetCalls();
        Frame(*scene);
        const std::vector<DrawCall>& draws = TheWorld().draws;
        ASSERT_FALSE(draws.empty());
        const DrawCall pointer{100, 100, 48, 0, 12, 12, ImageOfSlot(kImageCursor), 0};
        EXPECT_EQ(draws.back(), pointer) << typeid(*scene).name();
        // Only wipe squares (or the first scene's overlay) come after it.
        const auto& calls = TheWorld().calls;
        const auto last = std::find(calls.rbegin(), calls.rend(), "DrawImageRect");
        for (auto it = calls.rbegin(); it != last; ++it)
            EXPECT_TRUE(it->rfind("DrawRectangle", 0) == 0 || it->rfind("SetBlendMode", 0) == 0) << *it;
    }
}

// ---- title ----------------------------------------------------------------------------

class TitleTest : public SceneTest {
protected:
    // Starts the scene and lets its opening wipe finish.
    void Open(TitleScene& title) {
        title.Start();
        PointAt(0, 239);
        Frames(title, 25);
        ASSERT_FALSE(StepWipe(title.wipe)) << "the opening wipe is over";
    }
};

TEST_F(TitleTest, SlotLabelsFollowTheSavedLevels) {
    g_saveData.slot[0].level = 0;
    g_saveData.slot[1].level = 7;
    g_saveData.slot[2].level = 50;
    TitleScene title;
    title.Start();
    EXPECT_STREQ(title.slotButtons[0].label, "  SLOT1 NEW GAME");
    EXPECT_STREQ(title.slotButtons[1].label, "  SLOT2 LEVEL 7");
    EXPECT_STREQ(title.slotButtons[2].label, "  SLOT3 COMPLETE");
    EXPECT_EQ(title.deleteButton.shown, 1);
    g_saveData.slot[1].level = 12;
    g_saveData.slot[2].level = -5;  // an altered save file
    UseEnglish = 0;
    title.BuildButtons();
    EXPECT_STREQ(title.slotButtons[1].label, "  ｽﾛｯﾄ2 ﾚﾍﾞﾙ12");
    EXPECT_STREQ(title.slotButtons[2].label, "  ｽﾛｯﾄ3 ﾆｭｰｹﾞｰﾑ") << "a negative level reads as a new game";
    g_saveData.slot[1].level = 0;
    title.BuildButtons();
    EXPECT_EQ(title.deleteButton.shown, 0) << "no slot with progress: no delete button";
    EXPECT_EQ(TunesLoaded(), std::vector<std::string>{"amn_"});
}

TEST_F(TitleTest, AnEmptySlotStartsLevelOneAndASlotWithProgressTheLevelSelect) {
    WriteLevel(1, kOneSwapLevel);
    g_saveData.slot[2].level = 3;
    for (int32_t slot : {0, 2}) {
        auto* title = new TitleScene;
        ASSERT_NO_FATAL_FAILURE(Open(*title));
        ClickButton(*title, title->slotButtons[slot]);
        EXPECT_EQ(g_saveData.currentSlot, slot);
        EXPECT_EQ(title->wipe.reveal, 0) << "a closing wipe";
        Frames(*title, 23);
        EXPECT_EQ(g_sceneManager.next, nullptr) << "nothing before the wipe has covered the screen";
        Frame(*title);
        ASSERT_NE(g_sceneManager.next, nullptr);
        if (slot == 0) {
            auto* puzzle = dynamic_cast<PuzzleScene*>(g_sceneManager.next);
            ASSERT_NE(puzzle, nullptr);
            EXPECT_EQ(puzzle->level, 1);
        } else {
            EXPECT_NE(dynamic_cast<SentakuScene*>(g_sceneManager.next), nullptr);
        }
        delete g_sceneManager.next;
        g_sceneManager.next = nullptr;
        delete title;
    }
}

TEST_F(TitleTest, DeleteModeEmptiesASlotAndHidesQuit) {
    g_saveData.slot[1].level = 9;
    TitleScene title;
    ASSERT_NO_FATAL_FAILURE(Open(title));
    ClickButton(title, title.deleteButton);
    EXPECT_EQ(title.deleteMode, 1);
    EXPECT_STREQ(title.deleteButton.label, "CANCEL");
    EXPECT_EQ(title.slotButtons[0].tileX, 72);
    EXPECT_EQ(title.quitButton.visible, 0);
    // The quit button is neither drawn nor clickable in delete mode.
    const Button quit = title.quitButton;
    ClickButton(title, quit);
    EXPECT_EQ(g_sceneManager.quit, 0);
    // An empty slot: the sound, and delete mode ends.
    ClickButton(title, title.slotButtons[0]);
    EXPECT_EQ(title.deleteMode, 0);
    EXPECT_EQ(SoundsPlayed(kSoundSample), 1);
    EXPECT_EQ(g_saveData.slot[1].level, 9);
    // Deleting the last slot with progress hides the delete button.
    ClickButton(title, title.deleteButton);
    ClickButton(title, title.slotButtons[1]);
    EXPECT_EQ(g_saveData.slot[1].level, 0);
    EXPECT_EQ(g_saveData.slot[1].tag, kSaveTag);
    EXPECT_STREQ(title.slotButtons[1].label, "  SLOT2 NEW GAME");
    EXPECT_EQ(title.deleteButton.shown, 0);
    EXPECT_EQ(title.deleteMode, 0);
    EXPECT_EQ(title.quitButton.visible, 1);
    EXPECT_EQ(title.wipe.reveal, 1) << "deleting does not start the game";
    ClickButton(title, title.quitButton);
    EXPECT_EQ(g_sceneManager.quit, 1);
    EXPECT_EQ(SoundsPlayed(kSoundClick), 2) << "the delete button twice; quit makes no sound";
}

TEST_F(TitleTest, ClicksWaitForTheOpeningWipeAndTheSlidersTakeThePointer) {
    TitleScene title;
    title.Start();
    ClickButton(title, title.quitButton);
    EXPECT_EQ(g_sceneManager.quit, 0) << "the opening wipe runs for 24 frames";
    Frames(title, 22);
    // Over the sliders (230..314, 2..25) a press changes a level, not a button.
    title.slotButtons[0].y = 4;  // a button under the sliders
    title.slotButtons[0].x = 240;
    ClickAt(title, 300, 8);
    EXPECT_EQ(title.wipe.reveal, 1);
    EXPECT_EQ(title.sliders.effectLevel, (300 - 230 - 6) / 6);
}

// ---- break ------------------------------------------------------------------------------

class BreakTest : public SceneTest {};

TEST_F(BreakTest, AfterLevelTwentyTheMessagesComeOnePerClick) {
    BreakScene scene(20);
    scene.Start();
    SwapBackground();
    auto* night = dynamic_cast<Haikei1*>(g_backgrounds.current);
    ASSERT_NE(night, nullptr);
    EXPECT_EQ(night->rising, 1);
    EXPECT_EQ(TunesLoaded(), std::vector<std::string>{"awk"});
    EXPECT_EQ(scene.messageIndex, 7);
    EXPECT_STREQ(scene.messageBox.label, "THANK YOU FOR PLAYING\nTHIS GAME. BROUGHT\nTO YOU BY MIRENKOTA.");
    EXPECT_EQ(scene.title.visible, 0);
    EXPECT_EQ(scene.back.visible, 0);
    EXPECT_EQ(scene.showCredits, 0);
    // Clicks during the opening wipe are ignored.
    ClickButton(scene, scene.nextButton);
    EXPECT_EQ(scene.messageIndex, 7);
    Frames(scene, 24);
    const char* const expected[] = {"I THOUGHT LEVEL 20\nMIGHT BE QUITE\nDIFFICULT. SO...",
                                    "...IT WAS GREAT OF YOU\nBEATING IT.",
                                    "THERE ARE STILL MORE\nLEVELS, BUT FOR NOW...", "PLEASE TAKE A LITTLE\nBREAK.",
                                    "SEE YOU SOON!!"};
    for (const char* text : expected) {
        EXPECT_STREQ(scene.nextButton.label, "@");
        ClickButton(scene, scene.nextButton);
        EXPECT_STREQ(scene.messageBox.label, text);
    }
    EXPECT_STREQ(scene.nextButton.label, "-") << "on the last message";
    EXPECT_EQ(g_effects.size(), 0u);
    // The press that ends the messages shows the back button under the
    // pointer but cannot click it.
    const Button next = scene.nextButton;
    scene.back.x = next.x;
    scene.back.y = next.y;
    scene.back.width = next.width;
    PointAt(next.x + 8, next.y + 8);
    HoldLeft(true);
    Frame(scene);
    HoldLeft(false);
    EXPECT_EQ(scene.title.visible, 1);
    EXPECT_EQ(scene.back.visible, 1);
    EXPECT_EQ(scene.showCredits, 1);
    EXPECT_EQ(scene.wipe.active, 1);
    EXPECT_EQ(scene.wipe.reveal, 1) << "back was not clicked";
    EXPECT_EQ(g_effects.size(), 36u) << "the fireworks";
    EXPECT_EQ(SoundsPlayed(kSoundLevelCleared), 1);
    EXPECT_EQ(SoundsPlayed(kSoundPage), 6);
}

TEST_F(BreakTest, AfterLevelFiftyTheEndingStartsAtOnceAndBackLeadsToTheLevelSelect) {
    UseEnglish = 0;
    BreakScene scene(50);
    scene.Start();
    EXPECT_STREQ(scene.title.label, "ｾﾞﾝ ﾚﾍﾞﾙ ｦ ｸﾘｱ!!");
    EXPECT_STREQ(scene.back.label, "ﾓﾄﾞﾙ");
    EXPECT_EQ(scene.wipe.active, 0) << "no opening wipe";
    EXPECT_EQ(scene.flash, 1.0);
    EXPECT_EQ(scene.messageBox.shown, 0);
    EXPECT_EQ(g_effects.size(), 36u);
    // Title width from its text: (MeasureText / 16 + 5) x 16, centred on 160.
    EXPECT_EQ(scene.title.width, (MeasureText(scene.title.label) / 16 + 5) * 16);
    EXPECT_EQ(scene.title.x, 160 - scene.title.width / 2);
    Frame(scene);
    EXPECT_DOUBLE_EQ(scene.flash, 0.95);
    ClickButton(scene, scene.back);
    EXPECT_EQ(scene.wipe.reveal, 0);
    // While the closing wipe runs the flash does not fade, and its squares
    // are drawn opaque over the additive flash.
    const double flash = scene.flash;
    ForgetCalls();
    Frames(scene, 10);
    EXPECT_EQ(scene.flash, flash);
    const auto blends = CallsStartingWith("SetBlendMode");
    EXPECT_EQ(blends.back(), CallText("SetBlendMode", 1, 255));
    EXPECT_FALSE(Rectangles().empty());
    Frames(scene, 13);
    EXPECT_EQ(g_sceneManager.next, nullptr);
    Frame(scene);
    ASSERT_NE(g_sceneManager.next, nullptr);
    EXPECT_NE(dynamic_cast<SentakuScene*>(g_sceneManager.next), nullptr);
}

// The flash fills the screen additively with its strength; the pointer after
// it is added at full strength.
TEST_F(BreakTest, ThePointerIsAddedAtFullStrengthAfterTheFlash) {
    BreakScene scene(50);
    scene.Start();
    Frame(scene);  // flash 0.95
    ForgetCalls();
    scene.Draw();
    const Calls& calls = TheWorld().calls;
    // The last full-screen box (the first one is the background's sky).
    const auto sky = std::find(calls.rbegin(), calls.rend(), CallText("DrawRectangle", 0, 0, 320, 240, 1));
    ASSERT_NE(sky, calls.rend());
    const size_t flash = static_cast<size_t>(calls.rend() - sky) - 1;
    ASSERT_GE(flash, 1u);
    EXPECT_EQ(calls[flash - 1], CallText("SetBlendMode", 2, 242));
    const Calls after(calls.begin() + static_cast<std::ptrdiff_t>(flash) + 1, calls.end());
    EXPECT_EQ(after, (Calls{CallText("SetBlendMode", 2, 255), "DrawImageRect", CallText("SetBlendMode", 1, 255)}))
        << "the pointer, then the (inactive) wipe";
}

TEST_F(BreakTest, AFullEffectListTakesOnlyWhatFits) {
    for (int32_t i = 0; i < 100; ++i) {
        EffectParticle p;
        p.kind = 3;
        AddEffect(p);
    }
    SeedGameRand(1);
    AddFireworkRings();
    EXPECT_EQ(g_effects.size(), static_cast<size_t>(kMaxEffects));
    // Every particle drew its age, the dropped ones too: the next number is
    // the 37th of the sequence.
    SeedGameRand(1);
    for (int32_t i = 0; i < 36; ++i) GameRand();
    const int32_t expectedNext = GameRand();
    SeedGameRand(1);
    AddFireworkRings();  // all 36 dropped now
    EXPECT_EQ(GameRand(), expectedNext);
    // The first ring: 16 particles at speed 11 with no delay.
    const EffectParticle& p = g_effects[100];
    EXPECT_EQ(p.kind, 11);
    EXPECT_EQ(p.delay, 0);
    EXPECT_DOUBLE_EQ(p.vx, 11.0);
    EXPECT_EQ(p.x, 168.0);
    EXPECT_EQ(g_effects[116].delay, 2);
}

TEST_F(BreakTest, TextsOutsideTheTableAreEmpty) {
    for (int32_t entry : {-1, 13, kBreakTextEntries, INT32_MAX}) EXPECT_STREQ(BreakText(entry), "") << entry;
    UseEnglish = 0;
    EXPECT_STREQ(BreakText(12), "ｿﾚﾃﾞﾊｰ｡");
}

}  // namespace
}  // namespace game_test
