// The settings window, run whole: RunSettingsWindow with its own message loop,
// driven by a script of steps that a thread timer plays one per tick (each
// step runs after everything the previous one caused has been handled).
// Clicks and keys travel as window-system events through the headless video
// driver.
#include "game/game_main.h"
#include "game/save_files.h"
#include "game/settings_window.h"
#include "graphics/graphics.h"
#include "platform/gdi32/gdi32.h"
#include "platform/seams/seams.h"
#include "platform/user32/controls.h"
#include "../temp_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

using Step = std::function<void(HWND)>;

struct Script {
    std::vector<Step> steps;
    size_t next = 0;
    int idleTicks = 0;
};
Script* g_script = nullptr;

// One step per tick; a window left open long after the last step is closed,
// so that a broken script fails instead of hanging.
void Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = FindWindowA("velumi", nullptr);
    if (window == nullptr || g_script == nullptr) return;
    if (g_script->next < g_script->steps.size())
        g_script->steps[g_script->next++](window);
    else if (++g_script->idleTicks == 300)
        DestroyWindow(window);
}

void Click(HWND window, HWND control) {
    ASSERT_NE(control, nullptr);
    RECT r{};
    GetWindowRect(control, &r);
    POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ScreenToClient(window, &p);
    platform::InjectMouseButton(window, 1, true, p.x, p.y);
    platform::InjectMouseButton(window, 1, false, p.x, p.y);
}

HWND Language(int id) { return GetDlgItem(SettingsLanguageGroup(), id); }
HWND Display(int id) { return GetDlgItem(SettingsDisplayGroup(), id); }
HWND Button(HWND window, int id) { return GetDlgItem(window, id); }

// The checked radio button of a group as its id (0: none).
int CheckedId(HWND group) {
    for (int id = 1; id <= 3; ++id)
        if (IsDlgButtonChecked(group, id) == BST_CHECKED) return id;
    return 0;
}

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        seams::ClearAllCalls();
        UnregisterClassA("velumi", nullptr);
        ASSERT_FALSE(directory_.empty());
        SetGameDirectory(directory_.c_str());
        SettingsWindowResult = 1;
    }
    void TearDown() override {
        SetGameDirectory(ExecutableDirectory().c_str());
        seams::ClearAllCalls();
        SetSettingsWindowAutoPress(0);
    }
    std::string ConfigPath() const { return directory_ + "/save/config"; }
    std::vector<uint8_t> ReadConfig() const {
        std::vector<uint8_t> bytes(64);
        std::FILE* f = std::fopen(ConfigPath().c_str(), "rb");
        bytes.resize(f != nullptr ? std::fread(bytes.data(), 1, bytes.size(), f) : 0);
        if (f != nullptr) std::fclose(f);
        return bytes;
    }
    void SaveChoices(uint32_t language, uint32_t display) {
        LoadConfig();
        g_config.language = language;
        g_config.display = display;
        SaveConfig();
    }
    int RunScript(std::vector<Step> steps) {
        Script script{std::move(steps)};
        g_script = &script;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        int result = RunSettingsWindow(nullptr);
        KillTimer(nullptr, timer);
        g_script = nullptr;
        EXPECT_LT(script.idleTicks, 300) << "the script left the window open";
        return result;
    }
    test_temp::Folder folder_{"settings-window"};
    const std::string directory_ = folder_.Path();
};

TEST_F(SettingsWindowTest, OpensWithTheDefaultsAndQuitSavesTheChoicesWithoutStarting) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    int result = RunScript({
        [](HWND window) {
            char title[64] = {};
            GetWindowTextA(window, title, sizeof title);
            EXPECT_STREQ(title, "ベルミパズル 設定(Settings)");
            RECT client{};
            GetClientRect(window, &client);
            EXPECT_EQ(client.right * 1000 + client.bottom, 320240);
            EXPECT_EQ(CheckedId(SettingsLanguageGroup()), 1);  // Japanese
            EXPECT_EQ(CheckedId(SettingsDisplayGroup()), 1);   // 640x480 window
            Click(window, Language(2));
        },
        [&](HWND window) {
            ASSERT_TRUE(platform::ReadWindowPicture(window, &pixels, &width, &height));
            Click(window, Button(window, kSettingsQuitId));
        },
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(SettingsWindowResult, 1);
    EXPECT_EQ(FindWindowA("velumi", nullptr), nullptr);
    // The defaults, with the language chosen: English.
    EXPECT_EQ(ReadConfig(), (std::vector<uint8_t>{0xE8, 0x03, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0x55, 0x55, 0xD5, 0x3E,
                                                  0, 0, 0, 0x3F}));

    // The picture as a player sees it, in the build directory to look at.
    ASSERT_EQ(width * 1000 + height, 320240);
    for (uint32_t& p : pixels) p |= 0xFF000000u;
    std::string path = std::string(TEST_BINARY_DIR) + "/settings_window.png";
    EXPECT_EQ(WritePngFile(path.c_str(), pixels.data(), width, height, 0), 0) << path;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(pixels[2 * 320 + 2] & 0xFFFFFF, ((face & 0xFF) << 16) | (face & 0xFF00) | ((face >> 16) & 0xFF));
    for (RECT r : {RECT{18, 202, 198, 222}, RECT{226, 202, 302, 222}}) {  // inside Run and Quit
        int ink = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) ink += (pixels[y * 320 + x] & 0xFF) < 0x60;
        EXPECT_GT(ink, 20);  // the label
    }
}

TEST_F(SettingsWindowTest, RunStartsTheGameWithTheChosenLanguageAndDisplay) {
    struct Case {
        int language, display;  // the radio buttons clicked
        uint8_t english, doubled, windowed;
    };
    for (Case c : {Case{2, 3, 1, 0, 1}, Case{1, 2, 0, 1, 0}, Case{2, 1, 1, 1, 1}}) {
        SaveChoices(c.language == 2 ? 0 : 1, c.display == 3 ? 0 : 2);  // start from the other choices
        UnregisterClassA("velumi", nullptr);
        SettingsWindowResult = 1;
        int result = RunScript({
            [&](HWND window) {
                Click(window, Language(c.language));
                Click(window, Display(c.display));
            },
            [](HWND window) { Click(window, Button(window, kSettingsRunId)); },
        });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(SettingsWindowResult, 0);
        std::vector<uint8_t> bytes = ReadConfig();
        ASSERT_EQ(bytes.size(), 20u);
        EXPECT_EQ(bytes[4], c.display - 1);
        EXPECT_EQ(bytes[8], c.language - 1);
        ConfigureLibrary();  // what the game then takes from the settings
        EXPECT_EQ(UseEnglish, c.english);
        EXPECT_EQ(ScreenDoubled, c.doubled);
        EXPECT_EQ(ScreenWindowed, c.windowed);
    }
}

TEST_F(SettingsWindowTest, TheCloseBoxActsAsQuitAndUnknownChoicesShowAsTheDefaults) {
    SaveChoices(5, 7);
    int result = RunScript({
        [](HWND window) {
            EXPECT_EQ(CheckedId(SettingsLanguageGroup()) * 10 + CheckedId(SettingsDisplayGroup()), 11);
            Click(window, Language(2));
        },
        [](HWND window) { platform::InjectCloseRequest(window); },
    });
    EXPECT_EQ(result, 1);
    std::vector<uint8_t> bytes = ReadConfig();
    ASSERT_EQ(bytes.size(), 20u);
    EXPECT_EQ(bytes[4], 0) << "the display's default";
    EXPECT_EQ(bytes[8], 1);
}

TEST_F(SettingsWindowTest, KeysDoNothingToTheControls) {
    auto pressKeys = [](HWND window) {
        for (const char* key : {"Tab", "Down", "Right", "Return", "Escape", "Space"}) {
            platform::InjectKey(window, key, true);
            platform::InjectKey(window, key, false);
        }
    };
    auto unchanged = [](HWND window) {
        EXPECT_TRUE(IsWindow(window));
        EXPECT_EQ(CheckedId(SettingsLanguageGroup()) * 10 + CheckedId(SettingsDisplayGroup()), 11);
    };
    // With the focus on the window, then on a radio button (a click gives it;
    // Space then presses only that button).
    int result = RunScript({pressKeys, unchanged, [](HWND window) { Click(window, Language(1)); }, pressKeys,
                            unchanged, [](HWND window) { Click(window, Button(window, kSettingsQuitId)); }});
    EXPECT_EQ(result, 1);
}

TEST_F(SettingsWindowTest, FailingToMakeTheClassOrTheWindowGivesMinusOneAndWritesNothing) {
    WNDCLASSA taken{};
    taken.lpfnWndProc = DefWindowProcA;
    taken.lpszClassName = "velumi";
    ASSERT_NE(RegisterClassA(&taken), 0);
    EXPECT_EQ(RunSettingsWindow(nullptr), -1);
    ASSERT_TRUE(UnregisterClassA("velumi", nullptr));
    seams::FailCall("CreateWindowExA", 1);
    EXPECT_EQ(RunSettingsWindow(nullptr), -1);
    EXPECT_TRUE(ReadConfig().empty());
    EXPECT_EQ(SettingsWindowResult, 1);
}

int g_paints = 0;
LRESULT CountPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) ++g_paints;
    return DefWindowProcA(window, message, wParam, lParam);
}

// The press comes once the windows of the thread are drawn: a visible window
// beside the settings window gets its paint before the press ends the loop.
TEST_F(SettingsWindowTest, AutoPressWaitsUntilTheWindowsAreDrawn) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountPaints;
    wc.lpszClassName = "paint-counter";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND other = CreateWindowExA(0, "paint-counter", "", WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    struct Case {
        const char* what;
        int button;
        int result;
    };
    const Case cases[] = {{"Quit", kSettingsQuitId, 1}, {"Run", kSettingsRunId, 0}};
    for (const Case& c : cases) {
        InvalidateRect(other, nullptr, TRUE);
        g_paints = 0;
        SettingsWindowResult = 1;
        SetSettingsWindowAutoPress(c.button);
        EXPECT_EQ(RunSettingsWindow(nullptr), c.result) << c.what;
        EXPECT_EQ(g_paints, 1) << c.what;
        UnregisterClassA("velumi", nullptr);
    }
    DestroyWindow(other);
    UnregisterClassA("paint-counter", nullptr);
}

TEST_F(SettingsWindowTest, AutoPressAnswersForUnattendedRuns) {
    SetSettingsWindowAutoPress(kSettingsQuitId);
    EXPECT_EQ(RunSettingsWindow(nullptr), 1);
    UnregisterClassA("velumi", nullptr);
    SetSettingsWindowAutoPress(kSettingsRunId);
    EXPECT_EQ(RunSettingsWindow(nullptr), 0);
    EXPECT_EQ(ReadConfig().size(), 20u);
}

}  // namespace
