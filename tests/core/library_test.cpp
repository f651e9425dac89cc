// The library's start-up and end (order, unwinding, double start), the main
// window procedure's hooks, the message pump and the inactive wait, the
// configuration setters and the window-state getters.
#include "core/library.h"
#include "core/library_hooks.h"
#include "core/log.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"
#include "platform/winmm/winmm.h"

#include <gtest/gtest.h>
#include "../temp_folder.h"

#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<std::string> g_calls;
int32_t g_inputResult = 0;
int32_t g_soundResult = 0;
int32_t g_graphicsResult = 0;
std::vector<DWORD> g_sleeps;
std::function<void()> g_onSleep;
uintptr_t g_midiWParam = 0;
intptr_t g_midiLParam = 0;

struct ProcessExit {
    int code;
};

#define RECORDER(name) [] { g_calls.push_back(name); return int32_t{0}; }

void InstallRecorders() {
    ResetLibraryHooks();
    LibraryHooks& h = GetLibraryHooks();
    h.initializeInput = [] {
        g_calls.push_back("initializeInput");
        return g_inputResult;
    };
    h.initializeSound = [] {
        g_calls.push_back("initializeSound");
        return g_soundResult;
    };
    h.initGraphics = [] {
        g_calls.push_back("initGraphics");
        return g_graphicsResult;
    };
    h.terminateInput = RECORDER("terminateInput");
    h.refreshKeyboard = RECORDER("refreshKeyboard");
    h.updatePadVibration = RECORDER("updatePadVibration");
    h.resetInputCooperativeLevel = RECORDER("resetInputCooperativeLevel");
    h.applyPadVibration = RECORDER("applyPadVibration");
    h.setInputFlagA = RECORDER("setInputFlagA");
    h.clearInputFlagA = RECORDER("clearInputFlagA");
    h.setInputFlagB = RECORDER("setInputFlagB");
    h.clearInputFlagB = RECORDER("clearInputFlagB");
    h.terminateSound = RECORDER("terminateSound");
    h.releaseTemporaryPlayHandle = RECORDER("releaseTemporaryPlayHandle");
    h.processStreamSounds = RECORDER("processStreamSounds");
    h.processSoftSoundPlayers = RECORDER("processSoftSoundPlayers");
    h.checkMidiPlayState = RECORDER("checkMidiPlayState");
    h.handleMidiNotify = [](uintptr_t w, intptr_t l) {
        g_calls.push_back("handleMidiNotify");
        g_midiWParam = w;
        g_midiLParam = l;
        return int32_t{0};
    };
    h.endGraphics = RECORDER("endGraphics");
    h.applyGraphicsWindowMode = RECORDER("applyGraphicsWindowMode");
    h.initModelHandles = RECORDER("initModelHandles");
    h.terminateModelHandles = RECORDER("terminateModelHandles");
    h.sleep = [](DWORD ms) {
        g_sleeps.push_back(ms);
        g_calls.push_back("sleep");
        if (g_onSleep) g_onSleep();
        if (g_sleeps.size() > 100) std::abort();  // a wait that never ends is a failure, not a hang
    };
    h.exitProcess = [](int code) {
        g_calls.push_back("exitProcess");
        throw ProcessExit{code};
    };
}

void RemoveDirectory(const std::string& dir) {
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') std::remove((dir + "/" + e->d_name).c_str());
        closedir(d);
    }
    rmdir(dir.c_str());
}

std::string& RegistryDirectoryName() {
    static std::string directory;
    return directory;
}

// A registry of windows of this test program only, removed at its end.
std::string RegistryDirectory() {
    std::string& directory = RegistryDirectoryName();
    if (directory.empty()) {
        directory = test_temp::MakeFolder("library-registry");
        std::atexit([] { RemoveDirectory(RegistryDirectoryName()); });
    }
    return directory;
}

using Calls = std::vector<std::string>;
const Calls kActivation = {"resetInputCooperativeLevel", "applyPadVibration"};

Calls Join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Calls kEndSubsystems = {"terminateModelHandles", "endGraphics", "releaseTemporaryPlayHandle", "terminateSound",
                               "terminateInput"};

// Changes the display to 640x480 as the graphics start does for a full screen.
void DisplayAs640By480() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmBitsPerPel = 32;
    ASSERT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        platform::SetWindowRegistryDirectory(RegistryDirectory());
        platform::SetDesktopModeForTest(0, 0, 0);
        platform::SetProcessorCountForTest(2);
        seams::ClearAllCalls();
        ASSERT_EQ(ResetLibraryConfiguration(), 0);
        InstallRecorders();
        g_calls.clear();
        g_sleeps.clear();
        g_onSleep = nullptr;
        g_inputResult = g_soundResult = g_graphicsResult = 0;
        EnableLogOutput(0);
        ChangeWindowMode(1);
        SetWindowTitle(("library test " + std::to_string(++serial_)).c_str());
    }
    void TearDown() override {
        g_onSleep = nullptr;
        EndLibrary();
        ResetLibraryHooks();
        platform::SetProcessorCountForTest(0);
        platform::SetDesktopModeForTest(0, 0, 0);
        platform::SetTimeOffsetForTest(0);
        seams::ClearAllCalls();
        ResetLibraryConfiguration();
    }
    int StartAndForget() {
        int result = InitLibrary();
        g_calls.clear();
        return result;
    }
    static int serial_;
};
int LibraryTest::serial_ = 0;

TEST_F(LibraryTest, StartsAndEndsInTheFixedOrder) {
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(g_calls, Join({kActivation, {"initializeInput", "initializeSound", "initGraphics", "initModelHandles"}}));
    EXPECT_TRUE(IsLibraryRunning());
    HWND window = GetMainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(IsWindowActive(), 1);
    EXPECT_EQ(MainThreadId(), GetCurrentThreadId());
    g_calls.clear();
    EXPECT_EQ(InitLibrary(), 0);  // already running: nothing happens again
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(AnotherCopyIsRunning(), 0);

    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(g_calls, Join({kEndSubsystems, kActivation}));  // the window goes last, deactivating
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(GetMainWindow(), nullptr);
    EXPECT_FALSE(IsLibraryRunning());
    g_calls.clear();
    EXPECT_EQ(EndLibrary(), 0);  // not running: nothing to end
    EXPECT_TRUE(g_calls.empty());
    ASSERT_EQ(InitLibrary(), 0);  // and it starts again
    EXPECT_EQ(PumpMessages(), 0);
}

TEST_F(LibraryTest, AFailedWindowEndsTheLibraryAgain) {
    seams::FailCall("CreateWindowExA");
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(g_calls, kEndSubsystems);  // input, sound and graphics never started
    EXPECT_FALSE(IsLibraryRunning());
    EXPECT_EQ(GetMainWindow(), nullptr);
    seams::ClearCall("CreateWindowExA");
    g_calls.clear();
    EXPECT_EQ(InitLibrary(), 0);  // nothing was left behind: the class registers again
}

TEST_F(LibraryTest, AFailedInputStartEndsTheLibraryAgain) {
    g_inputResult = -1;
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(g_calls, Join({kActivation, {"initializeInput"}, kEndSubsystems, kActivation}));
    EXPECT_FALSE(IsLibraryRunning());
    EXPECT_EQ(GetMainWindow(), nullptr);
}

TEST_F(LibraryTest, AFailedGraphicsStartEndsTheLibraryAgainButSoundDoesNot) {
    g_graphicsResult = -1;
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(g_calls, Join({kActivation, {"initializeInput", "initializeSound", "initGraphics"}, kEndSubsystems,
                             kActivation}));
    EXPECT_FALSE(IsLibraryRunning());
    g_graphicsResult = 0;
    g_soundResult = -1;  // no sound device: the library runs without sound
    EXPECT_EQ(InitLibrary(), 0);
}

TEST_F(LibraryTest, ASecondStartIsRefusedWhenAnotherProcessHasTheWindow) {
    const char* title = "\x83\x78\x83\x8B\x83\x7E double start";
    SetWindowTitle(title);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Stands in for the first running copy of the program.
        char c = platform::WriteWindowRegistryEntry(getpid(), title, title, nullptr) ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(IsQuitRequested(), 1);
    EXPECT_EQ(AnotherCopyIsRunning(), 1) << "the program can tell why";
    EXPECT_EQ(g_calls, kEndSubsystems);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    g_calls.clear();
    EXPECT_EQ(InitLibrary(), 0);  // the first copy has ended
    EXPECT_EQ(IsQuitRequested(), 0);
    EXPECT_EQ(AnotherCopyIsRunning(), 0);
}

TEST_F(LibraryTest, ASecondStartIsRefusedWhenThisProcessHasTheWindow) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "already here";
    ASSERT_NE(RegisterClassA(&wc), 0);
    HWND other = CreateWindowExA(0, "already here", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowTitle("already here");
    EXPECT_EQ(InitLibrary(), -1);
    DestroyWindow(other);
    UnregisterClassA("already here", nullptr);
}

// The check a program can make before start-up finds the main window of a
// running copy under the class its title gives, and the untitled class when
// it names none; what it finds is what start-up then refuses.
TEST_F(LibraryTest, TheEarlyCheckFindsTheWindowStartUpWouldRefuse) {
    ASSERT_EQ(ResetLibraryConfiguration(), 0);
    EnableLogOutput(0);
    ChangeWindowMode(1);
    const struct Case {
        const char* what;
        const char* runningTitle;  // null: the running copy set no title
        const char* asked;
        int found;
    } cases[] = {
        {"a titled copy", "running copy", "running copy", 1},
        {"another title", "running copy", "another game", 0},
        {"an untitled copy asked without a title", nullptr, nullptr, 1},
        {"an untitled copy asked with a title", nullptr, "running copy", 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(ResetLibraryConfiguration(), 0);
        EnableLogOutput(0);
        ChangeWindowMode(1);
        if (c.runningTitle != nullptr) SetWindowTitle(c.runningTitle);
        ASSERT_EQ(InitLibrary(), 0) << c.what;  // this process's window stands for the running copy
        EXPECT_EQ(FindRunningCopy(c.asked), c.found) << c.what;
        EndLibrary();
        EXPECT_EQ(FindRunningCopy(c.asked), 0) << c.what << ": its window is gone";
    }
}

TEST_F(LibraryTest, ClassNameIsTheTitleAndTheTitleIsShownAsUtf8) {
    ASSERT_EQ(ResetLibraryConfiguration(), 0);
    EnableLogOutput(0);
    ChangeWindowMode(1);
    ASSERT_EQ(InitLibrary(), 0);
    char text[64];
    GetWindowTextA(GetMainWindow(), text, sizeof text);
    EXPECT_STREQ(text, "GameLib");
    EXPECT_EQ(FindWindowA("D123987X", nullptr), GetMainWindow());
    EndLibrary();

    SetWindowTitle("ベルミパズル");  // Shift-JIS in this build
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(FindWindowA("ベルミパズル", nullptr), GetMainWindow());
    uint32_t backend = platform::WindowBackendId(GetMainWindow());
    EXPECT_EQ(platform::sdl::GetVideoWindowTitle(backend),
              "\xE3\x83\x99\xE3\x83\xAB\xE3\x83\x9F\xE3\x83\x91\xE3\x82\xBA\xE3\x83\xAB");
    SetWindowTitle("設定");  // applied live
    EXPECT_EQ(platform::sdl::GetVideoWindowTitle(backend), "\xE8\xA8\xAD\xE5\xAE\x9A");
}

TEST_F(LibraryTest, TitleBufferKeepsWholeCharacters) {
    std::string ascii(300, 'x');
    SetWindowTitle(ascii.c_str());
    ASSERT_EQ(InitLibrary(), 0);
    char text[512];
    EXPECT_EQ(GetWindowTextA(GetMainWindow(), text, sizeof text), 255);
    std::string wide;
    for (int i = 0; i < 200; ++i) wide += "\x83\x41";  // a double-byte katakana
    SetWindowTitle(wide.c_str());
    int length = GetWindowTextA(GetMainWindow(), text, sizeof text);
    EXPECT_EQ(length, 254);  // 255 would split the last character
}

TEST_F(LibraryTest, ActivationAndPrivateMessagesReachInputAndSound) {
    ASSERT_EQ(StartAndForget(), 0);
    HWND window = GetMainWindow();
    platform::InjectFocus(window, false);
    g_onSleep = [window] { platform::InjectFocus(window, true); };
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(g_calls, Join({kActivation, {"sleep"}, kActivation,
                             {"refreshKeyboard", "updatePadVibration", "checkMidiPlayState"}}));
    EXPECT_EQ(IsWindowActive(), 1);

    g_calls.clear();
    SendMessageA(window, 0x46F, 1, 0);
    SendMessageA(window, 0x46F, 2, 0);
    SendMessageA(window, 0x470, 1, 0);
    SendMessageA(window, 0x470, 0, 0);
    SendMessageA(window, MM_MCINOTIFY, 1, 0x1234);
    EXPECT_EQ(g_calls, (Calls{"setInputFlagA", "clearInputFlagA", "setInputFlagB", "clearInputFlagB",
                              "handleMidiNotify"}));
    EXPECT_EQ(g_midiWParam, 1u);
    EXPECT_EQ(g_midiLParam, 0x1234);
}

TEST_F(LibraryTest, PumpRefreshesInputThenSoundOnlyOnOneProcessor) {
    ASSERT_EQ(StartAndForget(), 0);
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(g_calls, (Calls{"refreshKeyboard", "updatePadVibration", "checkMidiPlayState"}));
    EndLibrary();

    platform::SetProcessorCountForTest(1);  // measured at start-up
    ASSERT_EQ(StartAndForget(), 0);
    EXPECT_EQ(LogicalProcessorCount(), 1);
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(g_calls, (Calls{"refreshKeyboard", "updatePadVibration", "processStreamSounds",
                              "processSoftSoundPlayers", "checkMidiPlayState"}));
}

TEST_F(LibraryTest, PumpDispatchesAtMostFiveMessagesAPass) {
    ASSERT_EQ(StartAndForget(), 0);
    for (int i = 0; i < 8; ++i) PostMessageA(GetMainWindow(), WM_USER + i, 0, 0);
    EXPECT_EQ(PumpMessages(), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 100, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_USER, WM_USER + 100, PM_REMOVE));
}

TEST_F(LibraryTest, PumpReportsTheEndAfterCloseOrQuit) {
    ASSERT_EQ(StartAndForget(), 0);
    ASSERT_TRUE(platform::InjectCloseRequest(GetMainWindow()));
    HWND window = GetMainWindow();
    EXPECT_EQ(PumpMessages(), -1);
    EXPECT_EQ(IsWindowClosing(), 1);
    EXPECT_EQ(IsWindowDestroyed(), 1);
    EXPECT_EQ(IsQuitRequested(), 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), "refreshKeyboard"), 0);  // no refresh once ending
    EXPECT_EQ(PumpMessages(), -1);
    EndLibrary();

    ASSERT_EQ(StartAndForget(), 0);
    EXPECT_EQ(IsQuitRequested(), 0);  // a new run starts clean
    PostQuitMessage(0);
    EXPECT_EQ(PumpMessages(), -1);
    EXPECT_EQ(IsQuitRequested(), 1);
    EXPECT_EQ(IsWindowDestroyed(), 0);  // quit alone leaves the window
}

TEST_F(LibraryTest, InactiveWindowWaitsInStepsOf24ms) {
    ASSERT_EQ(StartAndForget(), 0);
    HWND window = GetMainWindow();
    platform::InjectFocus(window, false);
    g_onSleep = [window] {
        if (g_sleeps.size() == 3) platform::InjectFocus(window, true);
    };
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(g_sleeps, (std::vector<DWORD>{24, 24, 24}));
    EXPECT_EQ(g_calls.back(), "checkMidiPlayState");  // the frame goes on once active

    // Closed while waiting: the wait ends with the end of the program.
    g_sleeps.clear();
    platform::InjectFocus(window, false);
    g_onSleep = [window] { platform::InjectCloseRequest(window); };
    EXPECT_EQ(PumpMessages(), -1);
    EXPECT_EQ(g_sleeps.size(), 1u);
}

TEST_F(LibraryTest, TheEndDoesNotWaitForAnInactiveWindow) {
    // Sound's end pumps messages while its thread winds down; an end that
    // begins while the window is in the background must not wait for the
    // player to bring it back.
    GetLibraryHooks().terminateSound = [] {
        g_calls.push_back("terminateSound");
        return int32_t{PumpMessagesUnlocked() == 0 ? 0 : -1};
    };
    SetAlwaysRunFlag(1);  // lets the focus loss be taken without a wait
    ASSERT_EQ(StartAndForget(), 0);
    HWND window = GetMainWindow();
    platform::InjectFocus(window, false);
    EXPECT_EQ(PumpMessages(), 0);
    ASSERT_EQ(IsWindowActive(), 0);
    SetAlwaysRunFlag(0);
    g_onSleep = [window] {
        if (g_sleeps.size() == 3) platform::InjectFocus(window, true);  // ends a wait that should not be
    };
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_TRUE(g_sleeps.empty()) << g_sleeps.size() << " waits of 24 ms during the end";
    EXPECT_FALSE(IsLibraryRunning());
}

TEST_F(LibraryTest, KeepRunningSwitchSkipsTheWaitInWindowModeOnly) {
    SetAlwaysRunFlag(1);
    ASSERT_EQ(StartAndForget(), 0);
    HWND window = GetMainWindow();
    EXPECT_EQ(WaitWhileInactive(), 0);  // active: at once
    platform::InjectFocus(window, false);
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(IsWindowActive(), 0);
    EXPECT_TRUE(g_sleeps.empty());
    EXPECT_EQ(WaitWhileInactive(), 0);
    EXPECT_TRUE(g_sleeps.empty());

    SetAlwaysRunFlag(0);
    g_onSleep = [window] { platform::InjectFocus(window, true); };
    EXPECT_EQ(WaitWhileInactive(), 0);
    EXPECT_EQ(g_sleeps.size(), 1u);
    EXPECT_EQ(IsWindowActive(), 1);
}

TEST_F(LibraryTest, MousePositionIsInClientCoordinatesDividedByTheWindowScale) {
    SetWindowSizeScale(2.0);
    ASSERT_EQ(StartAndForget(), 0);
    RECT client;
    GetClientRect(GetMainWindow(), &client);
    EXPECT_EQ(client.right, 1280);
    EXPECT_EQ(client.bottom, 960);
    platform::InjectMouseMove(GetMainWindow(), 201, 101);
    PumpMessages();
    int32_t x = -1, y = -1;
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
    RECT screen;
    ASSERT_EQ(GetClientScreenRect(&screen), 0);
    EXPECT_EQ(screen.right - screen.left, 1280);
    EndLibrary();

    // Full screen: the picture fills the desktop; positions come back in screen pixels, unscaled.
    // The display mode is the graphics start's to change; this test changes it as that start would.
    ChangeWindowMode(0);
    ASSERT_EQ(StartAndForget(), 0);
    EXPECT_EQ(IsWindowMode(), 0);
    DisplayAs640By480();
    platform::sdl::DisplayModeInfo desktop;
    ASSERT_TRUE(platform::sdl::GetDesktopMode(&desktop));
    platform::InjectMouseMove(GetMainWindow(), desktop.width / 2, desktop.height / 2);
    PumpMessages();
    GetMousePosition(&x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
    ChangeDisplaySettingsA(nullptr, 0);
}

TEST_F(LibraryTest, WindowModeChangesAtTheNextPumpPass) {
    ASSERT_EQ(StartAndForget(), 0);
    HWND window = GetMainWindow();
    int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    ChangeWindowMode(0);
    EXPECT_EQ(IsWindowMode(), 1);  // not yet
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(IsWindowMode(), 0);
    ASSERT_FALSE(g_calls.empty());
    EXPECT_EQ(g_calls.front(), "applyGraphicsWindowMode");  // before the frame's input refresh
    EXPECT_EQ(GetMainWindow(), window);
    // The display mode follows in the graphics layer, stood in for here.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    EXPECT_NE(GetWindowLongPtrA(window, GWL_STYLE) & WS_POPUP, 0);
    DisplayAs640By480();
    platform::sdl::WindowPlacement placement;
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(platform::WindowBackendId(window), &placement));
    EXPECT_TRUE(placement.fullScreen);
    ChangeDisplaySettingsA(nullptr, 0);
    ChangeWindowMode(1);
    ChangeWindowMode(0);
    ChangeWindowMode(1);  // only the last request counts
    g_calls.clear();
    EXPECT_EQ(PumpMessages(), 0);
    EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), "applyGraphicsWindowMode"), 1);
    EXPECT_EQ(IsWindowMode(), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(platform::WindowBackendId(window), &placement));
    EXPECT_FALSE(placement.fullScreen);
    EXPECT_EQ(placement.clientWidth, 640);
}

TEST_F(LibraryTest, FullScreenFallsBackToAWindowForModesTheDisplayLacks) {
    ChangeWindowMode(0);
    SetLibraryScreenMode(333, 222, 32, 60);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(IsWindowMode(), 1);
    RECT client;
    GetClientRect(GetMainWindow(), &client);
    EXPECT_EQ(client.right, 333);
    EndLibrary();

    ChangeWindowMode(0);
    SetLibraryScreenMode(320, 240, 32, 60);  // shown as 640x480
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(IsWindowMode(), 0);
    // The display mode is left to the graphics start (stood in for here).
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
    GetClientRect(GetMainWindow(), &client);
    EXPECT_EQ(client.right, 640);
    EndLibrary();
}

TEST_F(LibraryTest, ADesktopOfThreeBytesPerPixelIsRefused) {
    platform::SetDesktopModeForTest(1024, 768, 24);
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(GetMainWindow(), nullptr);
    EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), "initializeInput"), 0);
    platform::SetDesktopModeForTest(1024, 768, 32);
    EXPECT_EQ(InitLibrary(), 0);
}

TEST_F(LibraryTest, CursorVisibilityFollowsTheSwitchHoweverOftenItIsSet) {
    auto shown = [] {
        ShowCursor(TRUE);
        return ShowCursor(FALSE) >= 0;
    };
    ShowMouseCursor(0);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_FALSE(shown());
    for (int i = 0; i < 100; ++i) ShowMouseCursor(0);
    ShowMouseCursor(1);
    EXPECT_TRUE(shown());
    ShowMouseCursor(1);
    ShowMouseCursor(0);
    EXPECT_FALSE(shown());
    ShowMouseCursor(1);
}

TEST_F(LibraryTest, IconIsTakenAtCreationAndChangedLive) {
    platform::ClearIconResources();
    uint32_t red[4] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000};
    platform::RegisterIconPixels(101, 2, 2, red);
    EXPECT_EQ(SetWindowIcon(101), 0);  // before start-up: kept for the window class
    ASSERT_EQ(InitLibrary(), 0);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(101));
    // The window already shows icon 101: setting another one hands it back.
    LRESULT previous = SendMessageA(GetMainWindow(), WM_SETICON, ICON_BIG, 0);
    EXPECT_EQ(previous, reinterpret_cast<LRESULT>(icon));
    EXPECT_EQ(SetWindowIcon(102), -1);  // no such resource
    platform::RegisterIconPixels(102, 2, 2, red);
    EXPECT_EQ(SetWindowIcon(102), 0);
    EXPECT_EQ(SendMessageA(GetMainWindow(), WM_SETICON, ICON_BIG, 0),
              reinterpret_cast<LRESULT>(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(102))));
    platform::ClearIconResources();
}

TEST_F(LibraryTest, ExitWithErrorLogsEndsTheLibraryAndExits) {
    ASSERT_EQ(StartAndForget(), 0);
    int code = 0;
    try {
        ExitWithError("\x8E\xB8\x94\x73");
    } catch (const ProcessExit& e) {
        code = e.code;
    }
    EXPECT_EQ(code, -1);
    EXPECT_EQ(g_calls, Join({kEndSubsystems, kActivation, {"exitProcess"}}));
    EXPECT_FALSE(IsLibraryRunning());
}

TEST(LibraryDeathTest, ExitWithErrorEndsTheProcessWithCodeMinusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithError("fatal"), ::testing::ExitedWithCode(255), "");
}

TEST_F(LibraryTest, StartUpWritesTheSystemReportToTheLog) {
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    const test_temp::Folder folder("library-log");
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    EnableLogOutput(1);
    EXPECT_EQ(IsLogOutputOff(), 0);
    ASSERT_EQ(InitLibrary(), 0);
    EndLibrary();
    EnableLogOutput(0);
    EXPECT_EQ(IsLogOutputOff(), 1);
    std::ifstream in(folder.Path() + "/Log.txt", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_EQ(chdir(previous), 0);
    std::string log = text.str();
    EXPECT_NE(log.find("Windows 6.1"), std::string::npos);
    EXPECT_NE(log.find("論理プロセッサ数  2"), std::string::npos);  // Shift-JIS, as the log is
    EXPECT_NE(log.find("物理メモリ"), std::string::npos);
}

TEST_F(LibraryTest, StateGettersAndTime) {
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(WindowsVersionCode(), 0x109);
    EXPECT_EQ(CodePageKind(), 1);
    EXPECT_EQ(CodePageNumber(), 932);
    EXPECT_EQ(LogicalProcessorCount(), 2);
    EXPECT_EQ(IsWindowMode(), 1);
    EXPECT_EQ(SetDesktopComposition(0), 0);
    EXPECT_EQ(SetLibraryScreenMode(0, 480, 32, 60), -1);
    EXPECT_EQ(SetWindowSizeScale(0.0), -1);
    int64_t a = GetTimeUs(0);
    int64_t b = GetTimeUs(0);
    EXPECT_LE(a, b);
    // The millisecond time keeps to 31 bits, also past the 32-bit clock's half.
    // The clock runs on between the reads: the result lies between the two
    // raw times around it.
    platform::SetTimeOffsetForTest(static_cast<int64_t>(0x80000000u) - timeGetTime() + 5);
    DWORD before = timeGetTime();
    int32_t ms = GetTimeMs();
    DWORD after = timeGetTime();
    EXPECT_GE(before, 0x80000000u);
    EXPECT_GE(ms, 0);
    EXPECT_GE(static_cast<DWORD>(ms), before & 0x7FFFFFFF);
    EXPECT_LE(static_cast<DWORD>(ms), after & 0x7FFFFFFF);
}

}  // namespace
