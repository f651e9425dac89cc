// The frame loop (update, clear, draw, present, hand-over), what ends it, the
// play-once rule per frame, saves written as they change, the background
// swap, and the library configured from the settings.
#include "game_test_util.h"

#include "core/library.h"
#include "core/library_hooks.h"

int ResetGraphicsConfiguration();  // graphics/graphics_internal.h

namespace game_test {
namespace {

// Records its operations; onUpdate gets the number of each update (from 1).
class ProbeScene : public Scene {
public:
    explicit ProbeScene(std::string name, std::function<void(int)> onUpdate = {})
        : name_(std::move(name)), onUpdate_(std::move(onUpdate)) {}
    ~ProbeScene() override { Record((name_ + ".deleted").c_str()); }
    void Start() override { Record((name_ + ".Start").c_str()); }
    void End() override { Record((name_ + ".End").c_str()); }
    void Update() override {
        Record((name_ + ".Update").c_str());
        if (onUpdate_) onUpdate_(++updates_);
    }
    void Draw() override { Record((name_ + ".Draw").c_str()); }

private:
    std::string name_;
    std::function<void(int)> onUpdate_;
    int updates_ = 0;
};

class FrameLoopTest : public GameTest {
protected:
    // As RunGame runs it: Start, the loop, End.
    static void Run(Scene* scene) {
        g_sceneManager.current = scene;
        scene->Start();
        RunFrameLoop();
        g_sceneManager.current->End();
    }
};

TEST_F(FrameLoopTest, EachFrameUpdatesClearsDrawsPresentsThenHandsOver) {
    TheWorld().pump = [n = 0]() mutable { return ++n == 4 ? -1 : 0; };  // the window closes
    Run(new ProbeScene("A", [](int update) {
        if (update == 2) SetNextScene(new ProbeScene("B"));
    }));
    EXPECT_EQ(TheWorld().calls,
              (Calls{"A.Start()", "PumpMessages()",
                     "A.Update()", "ClearDrawTarget()", "A.Draw()", "PresentScreen()", "PumpMessages()",
                     // the scene stored in this update still draws; the next starts after present
                     "A.Update()", "ClearDrawTarget()", "A.Draw()", "PresentScreen()", "A.End()", "A.deleted()",
                     "B.Start()", "PumpMessages()",
                     "B.Update()", "ClearDrawTarget()", "B.Draw()", "PresentScreen()", "PumpMessages()", "B.End()"}));
}

TEST_F(FrameLoopTest, EscapeOrQuitEndsTheLoopAtTheStartOfTheNextFrame) {
    Run(new ProbeScene("A", [](int update) { TheWorld().escape = update == 2; }));
    EXPECT_EQ(CallsStartingWith("A.Update").size(), 2u);
    EXPECT_EQ(TheWorld().calls.back(), "A.End()");
    ResetGameRecords(directory_ + "/");
    TheWorld() = World{};
    // Quit still lets the frame be presented and the stored scene start.
    Run(new ProbeScene("B", [](int) {
        SetNextScene(new ProbeScene("C"));
        SetNextScene(new ProbeScene("D"));  // the last one stored wins
        g_sceneManager.quit = 1;
    }));
    EXPECT_EQ(TheWorld().calls, (Calls{"B.Start()", "PumpMessages()", "B.Update()", "C.deleted()", "ClearDrawTarget()",
                                       "B.Draw()", "PresentScreen()", "B.End()", "B.deleted()", "D.Start()",
                                       "PumpMessages()", "D.End()"}));
}

TEST_F(FrameLoopTest, AnEffectStartsOnceAFrameAndTheFrameLimitHolds) {
    g_soundEffects.handle[4] = 77;
    SetFrameLimit(2);
    Run(new ProbeScene("A", [](int) {
        PlaySoundEffect(4);
        PlaySoundEffect(4);
    }));
    EXPECT_EQ(CallsStartingWith("PlaySoundHandle"), (Calls{"PlaySoundHandle(77,1,1)", "PlaySoundHandle(77,1,1)"}));
    EXPECT_EQ(GetFramesRun(), 2);
}

TEST_F(FrameLoopTest, ASlotThatChangesIsOnDiskBeforeTheNextFrame) {
    LoadSaves();
    Bytes onDiskAtPump;
    TheWorld().pump = [&] { return onDiskAtPump = ReadBytes(Native("save/save2")), 0; };
    SetFrameLimit(1);
    Run(new ProbeScene("A", [](int) { g_saveData.slot[1].level = 7; }));
    EXPECT_EQ(onDiskAtPump, (Bytes{0xA2, 0x03, 0, 0, 7, 0, 0, 0}));
    EXPECT_FALSE(std::filesystem::exists(Native("save/save1"))) << "unchanged slots wait for the exit";
}

class ProbeBackground : public Haikei {
public:
    explicit ProbeBackground(std::string name) : name_(std::move(name)) {}
    ~ProbeBackground() override { Record((name_ + ".deleted").c_str()); }
    void Start() override { Record((name_ + ".Start").c_str()); }
    void End() override { Record((name_ + ".End").c_str()); }
    void Update() override { Record((name_ + ".Update").c_str()); }
    void Draw() override {}
    int32_t GetCode() override { return 0; }

private:
    std::string name_;
};

TEST_F(FrameLoopTest, TheBackgroundSwapUpdatesTheCurrentThenInstallsTheNext) {
    SetNextBackground(new ProbeBackground("X"));
    SetNextBackground(nullptr);  // an unknown code: nothing to install
    SwapBackground();
    SetNextBackground(new ProbeBackground("Y"));
    SetNextBackground(new ProbeBackground("Z"));
    SwapBackground();
    EXPECT_EQ(TheWorld().calls,
              (Calls{"X.Start()", "Y.deleted()", "X.Update()", "X.End()", "X.deleted()", "Z.Start()"}));
}

TEST_F(FrameLoopTest, TheDisplayChoiceAndLanguageConfigureTheLibrary) {
    struct Case {
        uint32_t display;
        uint8_t doubled, windowed;
        int32_t width;
    };
    // 7 is no choice: the flags stay as the case before left them.
    for (const Case& c : {Case{1, 1, 0, 640}, Case{2, 0, 1, 320}, Case{7, 0, 1, 320}, Case{0, 1, 1, 640}}) {
        ResetLibraryConfiguration();
        ChangeWindowMode(0);
        g_config.display = c.display;
        g_config.language = c.display;
        ConfigureLibrary();
        int32_t w = 0, h = 0, bits = 0, rate = 0;
        GetLibraryScreenMode(&w, &h, &bits, &rate);
        EXPECT_EQ((std::vector<int32_t>{ScreenDoubled, ScreenWindowed, IsWindowMode(), w, h, bits, rate}),
                  (std::vector<int32_t>{c.doubled, c.windowed, c.windowed, c.width, c.width * 3 / 4, 32, 60}))
            << c.display;
        EXPECT_EQ(UseEnglish, c.display == 1) << "language 1 alone is English";
    }
    ResetLibraryConfiguration();
    ResetGraphicsConfiguration();
}

}  // namespace
}  // namespace game_test
