// The core reaches the movie, font and graphics subsystems only through the
// hook table: stand-ins in the table see every call of the start-up, the
// window's activation, the inactive wait and the on-screen log.
#include "core/library_hooks.h"

#include "core/library.h"
#include "core/screen_log.h"
#include "platform/user32/user32.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using Calls = std::vector<std::string>;
Calls g_calls;
HWND g_refocus = nullptr;  // the window the stand-in sleep gives the focus back to

constexpr int32_t kStandInFont = 0x20010003;
int32_t g_fontToMake = kStandInFont;
int32_t g_deviceActive = 0;
int32_t g_dialogBoxMode = 0;  // what the stand-in device was last asked
int32_t* g_lostFlag = nullptr;

int32_t Record(const char* name) {
    g_calls.emplace_back(name);
    return 0;
}

void InstallStandIns() {
    ResetLibraryHooks();
    LibraryHooks& h = GetLibraryHooks();
    h.initializeSound = h.initGraphics = h.endGraphics = h.terminateSound = [] { return int32_t{0}; };
    h.initModelHandles = h.terminateModelHandles = [] { return int32_t{0}; };
    h.refreshKeyboard = [] { return int32_t{0}; };  // the keyboard's own pass pumps again
    h.sleep = [](DWORD) {
        if (g_refocus != nullptr) platform::InjectFocus(g_refocus, true);
    };
    h.initYuvTables = [] { return Record("initYuvTables"); };
    h.pauseAllMovies = [] { return Record("pauseAllMovies"); };
    h.resumeAllMovies = [] { return Record("resumeAllMovies"); };
    h.refreshMovieOverlays = [] { return Record("refreshMovieOverlays"); };
    h.isDirect3DActive = [] { return g_deviceActive; };
    h.endDeviceScene = [] { Record("endDeviceScene"); };
    h.setDeviceDialogBoxMode = [](int32_t flag) {
        g_dialogBoxMode = flag;
        return Record(flag ? "dialogBoxMode 1" : "dialogBoxMode 0");
    };
    h.deviceDialogBoxMode = [] { return g_dialogBoxMode; };
    h.resetDeviceDialogBoxMode = [](int32_t flag) { return Record(flag ? "resetDialogBox 1" : "resetDialogBox 0"); };
    h.makeColor = [](int32_t r, int32_t g, int32_t b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); };
    h.createFontToHandle = [](const char*, int32_t size, int32_t, int32_t type, int32_t, int32_t, int32_t, int32_t,
                              int32_t) {
        g_calls.push_back("createFont size " + std::to_string(size) + " type " + std::to_string(type));
        return g_fontToMake;
    };
    h.setFontLostFlag = [](int32_t, int32_t* lost) {
        *(g_lostFlag = lost) = 0;
        return Record("setFontLostFlag");
    };
    h.checkFontHandle = [](int32_t font) { return font == kStandInFont && g_lostFlag && !*g_lostFlag ? 1 : 0; };
    h.deleteFontHandle = [](int32_t) {
        if (g_lostFlag) *g_lostFlag = 1;
        return Record("deleteFont");
    };
    h.drawStringByFont = [](int32_t x, int32_t y, const char* text, uint32_t colour, int32_t, uint32_t edge, int32_t) {
        char line[80];
        std::snprintf(line, sizeof line, "draw %d,%d %06x/%06x %s", x, y, colour, edge, text);
        g_calls.emplace_back(line);
        return 0;
    };
}

class LibraryHooksTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallStandIns();
        g_calls.clear();
        EnableLogOutput(0);
        ChangeWindowMode(1);
        SetWindowTitle(("library hooks test " + std::to_string(getpid())).c_str());
    }
    void TearDown() override {
        g_refocus = nullptr;
        EndLibrary();
        SetScreenLogOutput(0);
        EndScreenLog();
        ClearScreenLog();
        ResetLibraryHooks();
        ResetLibraryConfiguration();
    }
};

TEST_F(LibraryHooksTest, MoviesFollowTheStartActivationAndInactiveWait) {
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(g_calls, (Calls{"initYuvTables", "resumeAllMovies"})) << "tables first, then the window activates";
    g_calls.clear();
    g_refocus = GetMainWindow();
    platform::InjectFocus(g_refocus, false);
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(g_calls, (Calls{"pauseAllMovies", "refreshMovieOverlays", "resumeAllMovies"}));
    g_calls.clear();
    g_refocus = nullptr;
    EndLibrary();
    EXPECT_EQ(g_calls, (Calls{"pauseAllMovies"})) << "the window goes, deactivating";
}

TEST_F(LibraryHooksTest, TheScreenLogDrawsWithTheFontItGetsThroughTheTable) {
    struct Case {
        const char* what;
        int32_t on;
        int32_t fontToMake;
        int drawResult;
        Calls drawCalls;
        int32_t fontAfter;
        Calls endCalls;
    };
    const Case cases[] = {
        {"on: a font of 16 with an edge, each line white edged black",
         1,
         kStandInFont,
         0,
         {"createFont size 16 type 1", "setFontLostFlag", "draw 0,0 ffffff/000000 ONE", "draw 0,16 ffffff/000000 TWO"},
         kStandInFont,
         {"deleteFont"}},
        {"a font that cannot be made: -1, nothing drawn", 1, -1, -1, {"createFont size 16 type 1"}, -1, {}},
        {"off: no font, nothing drawn", 0, kStandInFont, 0, {}, -1, {}},
    };
    for (const Case& c : cases) {
        g_fontToMake = c.fontToMake;
        g_lostFlag = nullptr;
        ClearScreenLog();
        AddScreenLogText("ONE\nTWO");
        SetScreenLogOutput(c.on);
        g_calls.clear();
        EXPECT_EQ(DrawScreenLog(), c.drawResult) << c.what;
        EXPECT_EQ(g_calls, c.drawCalls) << c.what;
        EXPECT_EQ(GetScreenLogFont(), c.fontAfter) << c.what;
        g_calls.clear();
        EndScreenLog();
        EXPECT_EQ(g_calls, c.endCalls) << c.what;
        EXPECT_EQ(GetScreenLogFont(), -1) << c.what;
    }
}

// A full-screen window with a menu: the device's dialog-box mode follows the
// pointer onto the menu bar or caption and off again; the pump keeps it off
// on the software path.
TEST_F(LibraryHooksTest, AFullScreenMenuBarSwitchesTheDeviceDialogBoxMode) {
    const Calls onAndOff = {"endDeviceScene", "dialogBoxMode 1", "endDeviceScene", "dialogBoxMode 0"};
    const struct Case {
        const char* what;
        int32_t windowMode, deviceActive;
        bool menu;
        std::vector<WORD> hits;  // where the window is told the pointer is, in turn
        Calls calls;
    } cases[] = {
        {"over the menu bar, then the client area", 0, 1, true, {HTMENU, HTMENU, HTCLIENT, HTCLIENT}, onAndOff},
        {"over the caption, then the frame", 0, 1, true, {HTCAPTION, HTBORDER}, onAndOff},
        {"the software path: the pump resets the mode", 0, 0, true, {}, {"resetDialogBox 0"}},
        {"no menu", 0, 0, false, {HTMENU, HTCLIENT}, {}},
        {"a window", 1, 0, true, {HTMENU, HTCLIENT}, {}},
    };
    for (const Case& c : cases) {
        g_deviceActive = c.deviceActive;
        ChangeWindowMode(c.windowMode);
        ASSERT_EQ(InitLibrary(), 0) << c.what;
        HWND window = GetMainWindow();
        if (c.menu) SetMenu(window, CreateMenu());
        g_calls.clear();
        for (WORD hit : c.hits) SendMessageA(window, WM_SETCURSOR, 0, MAKELPARAM(hit, WM_MOUSEMOVE));
        PumpMessages();
        EXPECT_EQ(g_calls, c.calls) << c.what;
        EndLibrary();
    }
}

}  // namespace
