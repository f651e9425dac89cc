// RunGame on the real library, headless (dummy video and audio).
#include "game_test_util.h"

#include "core/library.h"
#include "core/library_hooks.h"
#include "graphics/graphics.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <cstring>
#include <unistd.h>

int ResetGraphicsConfiguration();  // graphics/graphics_internal.h

namespace game_test {
namespace {

struct Counts {
    int starts = 0, ends = 0, updates = 0;
    int32_t drawWidth = 0;
};

// At update `last` it sets the effect volume, then quits or presses Escape.
class CountingScene : public Scene {
public:
    CountingScene(Counts* counts, int last, bool escape) : counts_(counts), last_(last), escape_(escape) {}
    void Start() override { ++counts_->starts; }
    void End() override {
        ++counts_->ends;
        if (escape_) platform::InjectKey(GetMainWindow(), "Escape", false);
    }
    void Update() override {
        if (++counts_->updates != last_) return;
        SetSoundEffectVolume(0.25f);
        if (escape_) {
            platform::InjectKey(GetMainWindow(), "Escape", true);
            // The library reads the keyboard at most once a millisecond; a real
            // frame lasts 16, but these frames do not wait for the screen.
            usleep(2000);
        } else {
            g_sceneManager.quit = 1;
        }
    }
    void Draw() override {
        int32_t height = 0;
        GetDrawScreenSize(&counts_->drawWidth, &height);
    }

private:
    Counts* counts_;
    int last_;
    bool escape_;
};

class RunGameTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        ResetGameCalls();
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        seams::SetNoWait(true);
    }
    void TearDown() override {
        RunMusicExitStep();
        seams::SetNoWait(false);
        ResetLibraryHooks();
        ResetLibraryConfiguration();
        ResetGraphicsConfiguration();
        GameTest::TearDown();
    }
    float SavedEffectVolume() const {
        Bytes b = ReadBytes(Native("save/config"));
        float v = -1.0f;
        if (b.size() == 20) std::memcpy(&v, b.data() + 16, 4);
        return v;
    }
    // A running copy of a program: a window of that class (null: none).
    static HWND OpenRunningCopy(const char* className) {
        if (className == nullptr) return nullptr;
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = className;
        if (RegisterClassA(&wc) == 0) return nullptr;
        return CreateWindowExA(0, className, "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    }
    static void CloseRunningCopy(HWND window, const char* className) {
        if (window == nullptr) return;
        DestroyWindow(window);
        UnregisterClassA(className, nullptr);
    }
};

TEST_F(RunGameTest, RunsUntilQuitThenEndsAndKeepsTheVolumes) {
    Counts counts;
    EXPECT_EQ(RunGame(new CountingScene(&counts, 5, false)), 0);
    EXPECT_EQ((std::vector<int>{counts.starts, counts.updates, counts.ends, GetFramesRun()}),
              (std::vector<int>{1, 5, 1, 5}));
    EXPECT_EQ(counts.drawWidth, 320) << "the 640x480 window shows a 320x240 picture doubled";
    EXPECT_EQ(IsLibraryRunning(), 0);
    EXPECT_EQ(g_music.ready, 1);
    EXPECT_EQ(SavedEffectVolume(), 0.25f);
}

TEST_F(RunGameTest, HoldingEscapeEndsTheGameAtTheNextFrame) {
    Counts counts;
    SetFrameLimit(100);
    EXPECT_EQ(RunGame(new CountingScene(&counts, 3, true)), 0);
    EXPECT_EQ(counts.updates, 3);
    EXPECT_EQ(counts.ends, 1);
    EXPECT_EQ(SavedEffectVolume(), 0.25f);
}

TEST_F(RunGameTest, ALibraryThatCannotStartGivesMinusOneAndStartsNothing) {
    GetLibraryHooks().initGraphics = [] { return int32_t{-1}; };
    Counts counts;
    EXPECT_EQ(RunGame(new CountingScene(&counts, 1, false)), -1);
    EXPECT_EQ(counts.starts, 0);
    EXPECT_EQ(g_music.ready, 0);
    EXPECT_FALSE(std::filesystem::exists(Native("save/config")));
}

// A copy of the game already running (here, a window of its class): the
// program says so on standard error (its log is off) and ends with 1. Other
// results pass through as they are.
TEST_F(RunGameTest, ASecondCopySaysTheGameIsAlreadyRunningAndEndsWithOne) {
    const char* kClass = "Velumi Puzzle Ver.1.000";  // the English title names the main window's class
    const struct Case {
        const char* what;
        bool firstCopy, graphicsFail;
        int result, status;
    } cases[] = {
        {"another copy runs", true, false, -1, 1},
        {"the graphics cannot start", false, true, -1, -1},
        {"a normal end", false, false, 0, 0},
    };
    for (const Case& c : cases) {
        g_config.language = 1;
        HWND first = OpenRunningCopy(c.firstCopy ? kClass : nullptr);
        ASSERT_EQ(first != nullptr, c.firstCopy) << c.what;
        if (c.graphicsFail) GetLibraryHooks().initGraphics = [] { return int32_t{-1}; };
        Counts counts;
        const int result = RunGame(new CountingScene(&counts, 1, false));
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(ProgramExitStatus(result), c.status) << c.what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(result, c.result) << c.what;
        EXPECT_EQ(said.find("velumi: the game is already running") != std::string::npos, c.firstCopy) << said;
        CloseRunningCopy(first, kClass);
        ResetLibraryHooks();
        delete g_sceneManager.current;  // a failed start leaves the scene with the scene manager
        g_sceneManager.current = nullptr;
    }
}

// A second copy is refused before it shows any window: the game's settings
// window or its main window in either language is enough, and the running
// copy's window keeps the foreground.
TEST_F(RunGameTest, ASecondCopyIsRefusedBeforeAnyWindowOfItsOwn) {
    const struct Case {
        const char* what;
        const char* runningClass;  // null: nothing runs
        int status;
    } cases[] = {
        {"an English copy runs", "Velumi Puzzle Ver.1.000", 1},
        {"a Japanese copy runs", "ベルミパズル Ver.1.000", 1},
        {"a copy is at its settings window", "velumi", 1},
        {"another program's window", "GameLib", 0},
        {"nothing runs", nullptr, 0},
    };
    for (const Case& c : cases) {
        HWND first = OpenRunningCopy(c.runningClass);
        ASSERT_EQ(first != nullptr, c.runningClass != nullptr) << c.what;
        if (first != nullptr) SetForegroundWindow(first);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(RefuseSecondCopy(), c.status) << c.what;
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said, c.status == 1 ? "velumi: the game is already running; only one copy can run at a time.\n" : "")
            << c.what;
        EXPECT_EQ(GetMainWindow(), nullptr) << c.what << ": the library was not started";
        if (first != nullptr) {
            EXPECT_EQ(GetForegroundWindow(), first) << c.what;
        }
        CloseRunningCopy(first, c.runningClass);
    }
}

}  // namespace
}  // namespace game_test
