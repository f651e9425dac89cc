// The whole game, headless on the real library (offscreen video, dummy
// audio), run by RunGame's own frame loop from the boot scene: logo, notice,
// title, a level played to its clear and on to the next, back to the level
// select and the title, a slot at level 19 to level 20 and through the break
// scene, and quit. A player's pointer and clicks stand in for the mouse;
// frames of every scene are captured at 640x480 under the build directory
// (captures/scenes/*.png on the software path, captures/scenes_device/*.png
// on the device path), checked for the transparent colour showing, and the
// two paths' pictures compared.
#include "scene_test_util.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "archive_writer.h"

#include <cstdlib>
#include <map>

#include "core/library.h"
#include "core/library_hooks.h"
#include "game/scenes/boot_scenes.h"
#include "game/scenes/break_scene.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/puzzle_tables.h"
#include "game/scenes/sentaku_scene.h"
#include "game/resources.h"
#include "game/scenes/title_scene.h"
#include "graphics/graphics.h"
#include "platform/gdi32/gdi32.h"
#include "platform/sdl/sdl_input.h"
#include "platform/d3d9/d3d9.h"
#include "platform/seams/seams.h"

int ResetGraphicsConfiguration();

// OpenGL's libraries stay loaded to the end, so that the leak checker can
// name them: Mesa keeps a few blocks for the process's life.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libEGL.so\nleak:libEGL_mesa.so\nleak:swrast_dri.so\nleak:libgallium\nleak:libGLX\n";
}

namespace game_test {
namespace {

[[maybe_unused]] const bool kOpenGlKept = [] {
    for (const char* name : {"libEGL.so.1", "libEGL_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
        dlopen(name, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    return true;
}();

// One thing the player does, once `ready` holds (checked after every frame).
struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
};

// The player: runs the steps in order, at most one per frame; a click holds
// the left button for one frame.
struct Player {
    std::vector<Step> steps;
    size_t next = 0;
    bool pressed = false;
    int32_t x = 0, y = 0, buttons = 0;
    int32_t frames = 0;
    std::vector<std::string> captures;

    bool OnFrame() {
        ++frames;
        if (pressed) {
            buttons = 0;
            pressed = false;
            return true;
        }
        if (next < steps.size() && steps[next].ready()) steps[next++].act();
        return true;
    }
    std::string Stuck() const { return next < steps.size() ? steps[next].what : "(none)"; }
};

Player& ThePlayer() {
    static Player player;
    return player;
}

class GameFlowTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        ThePlayer() = Player{};
        ResetGameCalls();  // the real library, but for the pointer and the pump
        Real() = GameCalls();
        GameCalls().getMousePosition = [](int32_t* x, int32_t* y) {
            *x = 2 * ThePlayer().x;  // the 640x480 window shows the picture doubled
            *y = 2 * ThePlayer().y;
            return 0;
        };
        GameCalls().getMouseButtons = [] { return ThePlayer().buttons; };
        GameCalls().pumpMessages = [] {
            const int result = Real().pumpMessages();
            if (result != 0) return result;
            return ThePlayer().OnFrame() ? 0 : -1;
        };
        // Both paths run on the offscreen driver: the device where OpenGL can
        // be had, the software renderer when hardware is switched off.
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        if (device_) {
            unsetenv("VELUMI_NO_HARDWARE");
        } else {
            setenv("VELUMI_NO_HARDWARE", "1", 1);
        }
        d3d9::RecheckHardware();
        seams::SetNoWait(true);
        g_config.display = kDisplayWindow640;
        LinkGameData();
        captureDir_ = std::string(TEST_BINARY_DIR) + (device_ ? "/captures/scenes_device" : "/captures/scenes");
        std::filesystem::create_directories(captureDir_);
    }
    void TearDown() override {
        unsetenv("VELUMI_NO_HARDWARE");
        RunMusicExitStep();
        platform::sdl::ResetInputStateForTest();
        seams::SetNoWait(false);
        ResetLibraryHooks();
        ResetLibraryConfiguration();
        ResetGraphicsConfiguration();
        SceneTest::TearDown();
    }
    static GameLibraryCalls& Real() {
        static GameLibraryCalls real;
        return real;
    }

    // The game's pictures, sounds and tunes from the build; the levels are
    // the test's own (WriteLevel) or copies of the shipped ones.
    void LinkGameData() {
        const std::filesystem::path built = std::string(TEST_BINARY_DIR) + "/data";
        haveArt_ = std::filesystem::exists(built / "hana.png") && std::filesystem::exists(built / "moji.png");
        if (!haveArt_) std::printf("[ note ] the game's pictures are not built: the captures show no art\n");
        if (!std::filesystem::exists(built)) return;
        for (const auto& entry : std::filesystem::directory_iterator(built)) {
            const std::string name = entry.path().filename().string();
            if (name.size() == 2) continue;  // a level file
            std::filesystem::create_symlink(entry.path(), Native("data/" + name));
        }
    }
    // The pictures and sounds the game loads through the library go into
    // "data.gla" and leave the data folder; the levels (read with the
    // run-time's own file calls) and the tunes (read by the music library)
    // stay there.
    void MoveGameDataIntoArchive() {
        std::vector<ArchiveInput> inputs;
        for (const auto& entry : std::filesystem::directory_iterator(Native("data"))) {
            const std::string name = entry.path().filename().string();
            if (name.size() == 2 || entry.path().extension() == ".ptcop") continue;
            inputs.push_back(ArchiveInput{name, ReadBytes(entry.path().string())});
            std::filesystem::remove(entry.path());
        }
        std::vector<uint8_t> archive;
        std::string error;
        ASSERT_TRUE(BuildArchive(inputs, ArchiveOptions{}, &archive, &error)) << error;
        WriteBytes(Native("data.gla"), archive);
        ASSERT_GE(inputs.size(), 20u);
    }
    // A shipped level with its shortest solution, or the fallback level (also
    // when the shipped one takes the small solver too long). Without `solve`
    // the shipped level is taken as it is and no solution is looked for.
    std::vector<Move> UseLevel(int32_t level, const std::vector<std::string>& fallback, bool solve = true) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", level);
        std::vector<uint8_t> bytes = ReadBytes(std::string(TEST_BINARY_DIR) + "/data/" + name);
        const bool shipped = bytes.size() == static_cast<size_t>(kLevelFileSize);
        std::vector<Move> moves;
        if (shipped && !solve) {
            WriteBytes(Native(std::string("data/") + name), bytes);
            return moves;
        }
        if (shipped) moves = SolveLevel(bytes, 3000);
        if (moves.empty()) {
            bytes = LevelBytes(fallback);
            moves = SolveLevel(bytes, 20000);
        }
        WriteBytes(Native(std::string("data/") + name), bytes);
        return moves;
    }

    // ---- steps ----------------------------------------------------------------------
    void Add(std::string what, std::function<bool()> ready, std::function<void()> act = [] {}) {
        ThePlayer().steps.push_back(Step{std::move(what), std::move(ready), std::move(act)});
    }
    void Click(std::string what, std::function<bool()> ready, std::function<std::pair<int32_t, int32_t>()> where) {
        Add(std::move(what), std::move(ready), [where] {
            const auto [x, y] = where();
            Player& p = ThePlayer();
            p.x = x;
            p.y = y;
            p.buttons = kMouseLeft;
            p.pressed = true;
        });
    }
    void ClickButtonWhen(std::string what, std::function<bool()> ready, std::function<const Button*()> button) {
        Click(std::move(what), std::move(ready), [button] {
            const Button* b = button();
            return std::make_pair(b->x + b->width / 2, b->y + b->height / 2);
        });
    }
    void MovePointer(int32_t x, int32_t y) {
        Add("move the pointer", [] { return true; }, [x, y] {
            ThePlayer().x = x;
            ThePlayer().y = y;
        });
    }
    void WaitFrames(int32_t n) {
        auto until = std::make_shared<int32_t>(-1);
        Add("wait " + std::to_string(n) + " frames", [until, n] {
            if (*until < 0) *until = ThePlayer().frames + n;
            return ThePlayer().frames >= *until;
        });
    }
    void Capture(const std::string& name, std::function<bool()> ready) {
        const std::string path = captureDir_ + "/" + name + ".png";
        const bool device = device_;
        Add("capture " + name, std::move(ready), [path, name, device] {
            std::remove(path.c_str());
            if (SaveScreenToPng(path.c_str()) == 0) ThePlayer().captures.push_back(path);
            EXPECT_EQ(IsDirect3DActive(), device ? 1 : 0) << path << ": drawn on the wrong path";
            std::vector<uint32_t> pixels;
            int width = 0, height = 0;
            ASSERT_TRUE(platform::ReadWindowPicture(GetMainWindow(), &pixels, &width, &height));
            Frames(device)[name] = pixels;
            EXPECT_EQ(width, 640) << path;
            EXPECT_EQ(height, 480) << path;
            const auto magenta = std::count_if(pixels.begin(), pixels.end(),
                                               [](uint32_t p) { return (p & 0xFFFFFF) == 0xFF00FF; });
            EXPECT_EQ(magenta, 0) << path << ": the transparent colour shows";
        });
    }

    template <typename T>
    static std::function<bool()> Showing(std::function<bool(T&)> also = [](T&) { return true; }) {
        return [also] {
            T* scene = dynamic_cast<T*>(g_sceneManager.current);
            return scene != nullptr && also(*scene);
        };
    }
    // The puzzle at that level, its wipe over, the board idle.
    static std::function<bool()> PuzzleReady(int32_t level) {
        return Showing<PuzzleScene>([level](PuzzleScene& s) {
            return s.level == level && s.wipe.reveal == 1 && s.wipe.progress == kWipeComplete &&
                   s.board.boardState == kBoardIdle;
        });
    }
    static std::function<bool()> TitleReady() {
        return Showing<TitleScene>([](TitleScene& s) { return s.frameCount > 30; });
    }
    static std::function<bool()> SelectReady(int32_t icons) {
        return Showing<SentakuScene>([icons](SentakuScene& s) { return s.frameCount > icons + 60; });
    }
    void PlayMoves(int32_t level, const std::vector<Move>& moves) {
        for (const Move& m : moves)
            Click("swap at " + std::to_string(m.col) + "," + std::to_string(m.row), PuzzleReady(level),
                  [m] { return std::make_pair(MovePixelX(m), MovePixelY(m)); });
    }
    static const PuzzleScene& Puzzle() { return *dynamic_cast<PuzzleScene*>(g_sceneManager.current); }
    static const TitleScene& Title() { return *dynamic_cast<TitleScene*>(g_sceneManager.current); }
    static const SentakuScene& Select() { return *dynamic_cast<SentakuScene*>(g_sceneManager.current); }
    static const BreakScene& Break() { return *dynamic_cast<BreakScene*>(g_sceneManager.current); }

    // Runs the game from the boot scene to the end of the steps.
    void RunTheGame() {
        SetFrameLimit(20000);
        EXPECT_EQ(RunGame(NewBootScene()), 0);
        EXPECT_EQ(ThePlayer().next, ThePlayer().steps.size()) << "stuck at: " << ThePlayer().Stuck();
        EXPECT_EQ(g_sceneManager.quit, 1) << "the game ended by its quit button";
        std::printf("[ note ] %d frames; captures:\n", ThePlayer().frames);
        for (const std::string& path : ThePlayer().captures) std::printf("  %s\n", path.c_str());
    }

    // The pictures captured on each path, by name.
    static std::map<std::string, std::vector<uint32_t>>& Frames(bool device) {
        static std::map<std::string, std::vector<uint32_t>> frames[2];
        return frames[device ? 1 : 0];
    }

    // Runs the flow on the software path, then again on the device path, and
    // compares every captured scene: blend arithmetic rounds differently, so
    // each channel may differ by kTolerance.
    void OnBothPaths(const std::function<void()>& flow) {
        Frames(false).clear();
        Frames(true).clear();
        flow();
        if (HasFatalFailure()) return;
        TearDown();
        device_ = true;
        SetUp();
        flow();
        device_ = false;
        if (HasFatalFailure()) return;
        ASSERT_EQ(Frames(false).size(), Frames(true).size());
        for (const auto& [name, software] : Frames(false)) {
            const std::vector<uint32_t>& device = Frames(true)[name];
            ASSERT_EQ(software.size(), device.size()) << name;
            int32_t worst = 0;
            size_t far = 0;
            for (size_t i = 0; i < software.size(); ++i) {
                int32_t d = 0;
                for (int shift = 0; shift < 24; shift += 8)
                    d = std::max(d, std::abs(static_cast<int32_t>((software[i] >> shift) & 0xFF) -
                                             static_cast<int32_t>((device[i] >> shift) & 0xFF)));
                worst = std::max(worst, d);
                if (d > kTolerance) ++far;
            }
            EXPECT_EQ(far, 0u) << name << ": " << far << " pixels differ by more than " << kTolerance
                               << " (worst " << worst << ")";
        }
    }
    static constexpr int32_t kTolerance = 3;

    std::string captureDir_;
    bool haveArt_ = false;
    bool device_ = false;
};

TEST_F(GameFlowTest, FromBootThroughALevelTheSelectAndTheBreakToQuit) {
    OnBothPaths([&] {
        g_config.language = 1;
        std::filesystem::create_directories(Native("save"));
        WriteBytes(Native("save/save2"), {0xA2, 0x03, 0, 0, 19, 0, 0, 0});  // slot 2: level 19 reached
        const std::vector<Move> level1 = UseLevel(1, kTwoSwapLevel);
        UseLevel(2, kTwoSwapLevel);
        const std::vector<Move> level20 = UseLevel(20, kTwoSwapLevel);
        ASSERT_FALSE(level1.empty());
        ASSERT_FALSE(level20.empty());

        Capture("en_01_logo", Showing<MorvaneScene>([](MorvaneScene& s) { return s.frameCount == 40; }));
        Capture("en_02_notice", Showing<FirstScene>([](FirstScene& s) { return s.frameCount == 40; }));
        ClickButtonWhen("NEXT on the notice", Showing<FirstScene>(), [] {
            return &dynamic_cast<FirstScene*>(g_sceneManager.current)->next;
        });
        Capture("en_03_title", TitleReady());
        ClickButtonWhen("slot 1 (new game)", TitleReady(), [] { return &Title().slotButtons[0]; });
        // Level 1: the how-to box, the cursor on the first move's stones.
        MovePointer(MovePixelX(level1[0]), MovePixelY(level1[0]));
        WaitFrames(40);
        Capture("en_04_puzzle_level01", PuzzleReady(1));
        PlayMoves(1, level1);
        Capture("en_05_puzzle_cleared_flash", Showing<PuzzleScene>([](PuzzleScene& s) { return s.clearTimer == 24; }));
        Capture("en_06_puzzle_cleared", Showing<PuzzleScene>([](PuzzleScene& s) { return s.clearTimer == 150; }));
        ClickButtonWhen("NEXT after the clear", Showing<PuzzleScene>(), [] { return &Puzzle().nextButton; });
        Capture("en_07_puzzle_level02", PuzzleReady(2));
        ClickButtonWhen("BACK on level 2", PuzzleReady(2), [] { return &Puzzle().backButton; });
        Capture("en_08_select_slot1", SelectReady(2));
        ClickButtonWhen("back to the title", SelectReady(2), [] { return &Select().back; });
        ClickButtonWhen("slot 2 (level 19)", TitleReady(), [] { return &Title().slotButtons[1]; });
        Capture("en_09_select_slot2", SelectReady(20));
        Click("icon of level 20", SelectReady(20), [] {
            const LevelIcon& icon = Select().icons[19];
            return std::make_pair(static_cast<int32_t>(icon.originX + icon.wobbleX + icon.x),
                                  static_cast<int32_t>(icon.originY + icon.wobbleY + icon.y));
        });
        Capture("en_10_puzzle_level20", PuzzleReady(20));
        PlayMoves(20, level20);
        ClickButtonWhen("NEXT after level 20", Showing<PuzzleScene>([](PuzzleScene& s) { return s.nextButton.shown; }),
                        [] { return &Puzzle().nextButton; });
        auto breakReady = Showing<BreakScene>([](BreakScene& s) { return s.frameCount > 30; });
        Capture("en_11_break_message", breakReady);
        for (int32_t i = 0; i < 6; ++i) {
            WaitFrames(8);
            ClickButtonWhen("the next message", breakReady, [] { return &Break().nextButton; });
        }
        Capture("en_12_break_fireworks", Showing<BreakScene>([](BreakScene& s) { return s.title.visible && s.flash == 0.0; }));
        WaitFrames(60);
        Capture("en_13_break_credits", breakReady);
        ClickButtonWhen("back from the break", breakReady, [] { return &Break().back; });
        Capture("en_14_select_after_break", SelectReady(21));
        ClickButtonWhen("back to the title again", SelectReady(21), [] { return &Select().back; });
        ClickButtonWhen("QUIT", TitleReady(), [] { return &Title().quitButton; });
        RunTheGame();

        // Slot 1 cleared level 1, slot 2 level 20; both are on disk.
        EXPECT_EQ(g_saveData.slot[0].level, 1);
        EXPECT_EQ(g_saveData.slot[1].level, 20);
        EXPECT_EQ(ReadBytes(Native("save/save2")), (std::vector<uint8_t>{0xA2, 0x03, 0, 0, 20, 0, 0, 0}));
    });
}

TEST_F(GameFlowTest, TheJapaneseGameFromTheNoticeToTheEnding) {
    OnBothPaths([&] {
        g_config.language = 0;
        std::filesystem::create_directories(Native("save"));
        WriteBytes(Native("save/save3"), {0xA2, 0x03, 0, 0, 49, 0, 0, 0});
        const std::vector<Move> level1 = UseLevel(1, kTwoSwapLevel);
        const std::vector<Move> level50 = UseLevel(50, kTwoSwapLevel);
        ASSERT_FALSE(level50.empty());

        Capture("ja_01_notice", Showing<FirstScene>([](FirstScene& s) { return s.frameCount == 40; }));
        ClickButtonWhen("NEXT on the notice", Showing<FirstScene>(), [] {
            return &dynamic_cast<FirstScene*>(g_sceneManager.current)->next;
        });
        Capture("ja_02_title", TitleReady());
        ClickButtonWhen("delete", TitleReady(), [] { return &Title().deleteButton; });
        Capture("ja_03_title_delete_mode", Showing<TitleScene>([](TitleScene& s) { return s.deleteMode == 1; }));
        ClickButtonWhen("cancel", TitleReady(), [] { return &Title().deleteButton; });
        ClickButtonWhen("slot 1 (new game)", TitleReady(), [] { return &Title().slotButtons[0]; });
        MovePointer(MovePixelX(level1[0]), MovePixelY(level1[0]));
        WaitFrames(40);
        Capture("ja_04_puzzle_level01", PuzzleReady(1));
        ClickButtonWhen("the next how-to page", PuzzleReady(1), [] { return &Puzzle().nextPageButton; });
        WaitFrames(10);
        Capture("ja_05_puzzle_howto_page2", PuzzleReady(1));
        ClickButtonWhen("BACK on level 1", PuzzleReady(1), [] { return &Puzzle().backButton; });
        ClickButtonWhen("slot 3 (level 49)", TitleReady(), [] { return &Title().slotButtons[2]; });
        Capture("ja_06_select_level49", SelectReady(50));
        Click("icon of level 50", SelectReady(50), [] {
            const LevelIcon& icon = Select().icons[49];
            return std::make_pair(static_cast<int32_t>(icon.originX + icon.wobbleX + icon.x),
                                  static_cast<int32_t>(icon.originY + icon.wobbleY + icon.y));
        });
        Capture("ja_07_puzzle_level50", PuzzleReady(50));
        PlayMoves(50, level50);
        Capture("ja_08_puzzle_cleared", Showing<PuzzleScene>([](PuzzleScene& s) { return s.clearTimer == 150; }));
        ClickButtonWhen("NEXT after level 50", Showing<PuzzleScene>([](PuzzleScene& s) { return s.nextButton.shown; }),
                        [] { return &Puzzle().nextButton; });
        Capture("ja_09_ending", Showing<BreakScene>([](BreakScene& s) { return s.frameCount == 90; }));
        ClickButtonWhen("back from the ending", Showing<BreakScene>(), [] { return &Break().back; });
        Capture("ja_10_select_all_cleared", SelectReady(50));
        ClickButtonWhen("back to the title", SelectReady(50), [] { return &Select().back; });
        Capture("ja_11_title_complete", TitleReady());
        ClickButtonWhen("QUIT", TitleReady(), [] { return &Title().quitButton; });
        RunTheGame();
        EXPECT_EQ(g_saveData.slot[2].level, 50);
    });
}

TEST_F(GameFlowTest, TheGameFromItsArchiveToAClearedLevel) {
    ASSERT_TRUE(haveArt_);
    MoveGameDataIntoArchive();
    for (const auto& entry : std::filesystem::directory_iterator(Native("data"))) {
        const std::string extension = entry.path().extension().string();
        ASSERT_TRUE(extension != ".png" && extension != ".wav") << entry.path() << " is still a plain file";
    }
    g_config.language = 1;
    const std::vector<Move> level1 = UseLevel(1, kTwoSwapLevel);
    UseLevel(2, kTwoSwapLevel);
    ASSERT_FALSE(level1.empty());

    ClickButtonWhen("NEXT on the notice", Showing<FirstScene>(), [] {
        return &dynamic_cast<FirstScene*>(g_sceneManager.current)->next;
    });
    Add("every picture and sound loaded", TitleReady(), [] {
        for (int32_t slot : {kImagePieces, kImageEffect, kImageCursor, kImageSentaku, kImageFigures, kImageFrames,
                             kImageFont, kImageVolume, kImageLogo, kImageBackground0, kImageBackground0 + 4})
            EXPECT_GE(ImageHandle(slot), 0) << "image slot " << slot;
        for (int32_t n = 0; n < kLoadedSoundEffects; ++n) EXPECT_GE(g_soundEffects.handle[n], 0) << "sound " << n;
    });
    Capture("gla_01_title", TitleReady());
    ClickButtonWhen("slot 1 (new game)", TitleReady(), [] { return &Title().slotButtons[0]; });
    PlayMoves(1, level1);
    Capture("gla_02_puzzle_cleared", Showing<PuzzleScene>([](PuzzleScene& s) { return s.clearTimer == 150; }));
    ClickButtonWhen("NEXT after the clear", Showing<PuzzleScene>(), [] { return &Puzzle().nextButton; });
    ClickButtonWhen("BACK on level 2", PuzzleReady(2), [] { return &Puzzle().backButton; });
    ClickButtonWhen("back to the title", SelectReady(2), [] { return &Select().back; });
    ClickButtonWhen("QUIT", TitleReady(), [] { return &Title().quitButton; });
    RunTheGame();
    EXPECT_EQ(g_saveData.slot[0].level, 1) << "level 1 was cleared and saved";
}

// Each background behind a level, as a player sees it.
TEST_F(GameFlowTest, EveryBackgroundBehindALevel) {
    OnBothPaths([&] {
        g_config.language = 1;
        // Levels whose backgrounds are the classes and variants the levels use.
        const int32_t levels[] = {1, 5, 28, 9, 31, 13, 17, 21, 25, 26, 33, 34};
        for (int32_t level : levels) UseLevel(level, kTwoSwapLevel, false);
        ClickButtonWhen("NEXT on the notice", Showing<FirstScene>(), [] {
            return &dynamic_cast<FirstScene*>(g_sceneManager.current)->next;
        });
        MovePointer(300, 10);
        for (int32_t level : levels) {
            Add("start level " + std::to_string(level), Showing<TitleScene>(), [level] { SetNextScene(new PuzzleScene(level)); });
            char name[64];
            std::snprintf(name, sizeof name, "bg_level%02d_code%02d", level, LevelBackgroundCode(level));
            WaitFrames(150);
            Capture(name, PuzzleReady(level));
            Add("back to the title", PuzzleReady(level), [] { SetNextScene(NewTitleScene()); });
        }
        ClickButtonWhen("QUIT", TitleReady(), [] { return &Title().quitButton; });
        RunTheGame();
    });
}

}  // namespace
}  // namespace game_test
