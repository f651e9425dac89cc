// Input inside the running library: started with the main window, fed by the
// window's key and mouse messages through the message pump, following the
// window's activation, and ended with the library.
#include "core/library.h"
#include "core/library_hooks.h"
#include "input/input.h"
#include "input/input_internal.h"
#include "platform/dinput/dinput.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_joystick.h"
#include "platform/user32/user32.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using input::g_input;

class LibraryInput : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLibraryHooks();
        GetLibraryHooks().initGraphics = [] { return int32_t{0}; };
        GetLibraryHooks().endGraphics = [] { return int32_t{0}; };
        GetLibraryHooks().initializeSound = [] { return int32_t{0}; };
        GetLibraryHooks().terminateSound = [] { return int32_t{0}; };
        EnableLogOutput(0);
        ChangeWindowMode(1);
        pad_ = platform::sdl::AttachTestPad("Library pad", 4, 12, 1, true);
        ASSERT_GE(pad_, 0);
        ASSERT_EQ(InitLibrary(), 0);
        window_ = GetMainWindow();
    }
    void TearDown() override {
        EndLibrary();
        platform::sdl::DetachTestPad(pad_);
        ResetLibraryHooks();
    }
    // Pumps until the condition holds (each pass is a frame's pump); false
    // when it never does.
    static bool PumpUntil(const std::function<bool()>& condition) {
        for (int pass = 0; pass < 2000; ++pass) {
            if (PumpMessages() != 0) return false;
            if (condition()) return true;
            Sleep(1);
        }
        return false;
    }
    int32_t pad_ = -1;
    HWND window_ = nullptr;
};

TEST_F(LibraryInput, StartsWithTheLibraryAndEndsWithIt) {
    EXPECT_TRUE(input::RunningWithDirectInput());
    EXPECT_EQ(g_input.directInput8, 0) << "DirectInput 7 first";
    EXPECT_EQ(GetPadCount(), 1);
    EndLibrary();
    EXPECT_EQ(g_input.directInput, nullptr);
    EXPECT_EQ(dinput::LiveDeviceCount(), 0);
}

TEST_F(LibraryInput, KeysAndButtonsArriveThroughTheWindowsMessages) {
    ASSERT_TRUE(platform::InjectKey(window_, "Z", true));
    EXPECT_TRUE(PumpUntil([] { return IsKeyDown(DIK_Z) == 1; }));
    EXPECT_TRUE(PumpUntil([] { return (GetPadState(0x1001) & 0x10) != 0; }));
    ASSERT_TRUE(platform::InjectKey(window_, "Z", false));
    EXPECT_TRUE(PumpUntil([] { return IsKeyDown(DIK_Z) == 0; }));
    ASSERT_TRUE(platform::InjectMouseButton(window_, 3, true, 10, 10));
    EXPECT_TRUE(PumpUntil([] { return GetMouseButtons() == kMouseRight; }));
    ASSERT_TRUE(platform::InjectMouseButton(window_, 3, false, 10, 10));
    EXPECT_TRUE(PumpUntil([] { return GetMouseButtons() == 0; }));
}

// A click and a key tap taken by the pump's refreshes, in other milliseconds
// than the reads, are each reported once by the first read of each.
TEST_F(LibraryInput, QuickClicksSurviveThePumpsRefreshes) {
    ASSERT_TRUE(platform::InjectMouseButton(window_, 1, true, 10, 10));
    ASSERT_TRUE(platform::InjectMouseButton(window_, 1, false, 10, 10));
    ASSERT_TRUE(platform::InjectKey(window_, "Z", true));
    ASSERT_TRUE(platform::InjectKey(window_, "Z", false));
    for (int pass = 0; pass < 5; ++pass) {
        ASSERT_EQ(PumpMessages(), 0);
        Sleep(2);  // the next pass reads the keyboard again
    }
    EXPECT_EQ(IsKeyDown(DIK_ESCAPE), 0);
    Sleep(2);
    EXPECT_EQ(GetMouseButtons(), kMouseLeft);
    Sleep(2);
    EXPECT_EQ(GetMouseButtons(), 0);
    EXPECT_EQ(GetPadState(0x1001), 0x10) << "Z through the key map";
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    Sleep(2);
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    EXPECT_EQ(GetPadState(0x1001), 0);
}

TEST_F(LibraryInput, VibrationFollowsTheWindowsActivation) {
    ASSERT_TRUE(PumpUntil([] { return IsWindowActive() == 1; }));
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    EXPECT_TRUE(PumpUntil([this] { return platform::sdl::GetTestPadRumble(pad_).low == 0xFFFF; }));
    ASSERT_TRUE(platform::InjectFocus(window_, false));
    SetAlwaysRunFlag(1);  // let the pump return while the window is inactive
    EXPECT_TRUE(PumpUntil([this] { return platform::sdl::GetTestPadRumble(pad_).low == 0; }));
    EXPECT_EQ(g_input.pads[0].vibrationRequested, 1);
    ASSERT_TRUE(platform::InjectFocus(window_, true));
    EXPECT_TRUE(PumpUntil([this] { return platform::sdl::GetTestPadRumble(pad_).low == 0xFFFF; }));
    SetAlwaysRunFlag(0);
}

TEST_F(LibraryInput, PrivateWindowMessagesSetTheTwoFlags) {
    SendMessageA(window_, 0x46F, 1, 0);
    SendMessageA(window_, 0x470, 1, 0);
    EXPECT_EQ(g_input.flagA, 1);
    EXPECT_EQ(g_input.flagB, 1);
    SendMessageA(window_, 0x46F, 2, 0);
    EXPECT_EQ(g_input.flagA, 0);
    EXPECT_EQ(g_input.flagB, 1);
}

}  // namespace
