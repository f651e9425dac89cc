// Keys and mouse buttons: the two roads, the refresh at most once per
// millisecond, and the states a frame sees.
#include "input_fixture.h"

#include <climits>

namespace input_test {
namespace {

using input::g_input;

constexpr int kVkZ = 0x5A;
constexpr int kVkEnter = 0x0D;

class Keys : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(InitializeInput(), 0);
    }
};

// ---- the system key state (Vista and later) -----------------------------------

TEST_F(Keys, HeldKeysReadThroughTheSystemKeyState) {
    HoldVirtualKey(kVkZ, true);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    EXPECT_EQ(IsKeyDown(DIK_X), 0);
    HoldVirtualKey(kVkZ, false);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
}

TEST_F(Keys, TheKeyboardIsReadAtMostOncePerMillisecond) {
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    int pumps = TheWorld().pumps;
    HoldVirtualKey(kVkZ, true);
    EXPECT_EQ(IsKeyDown(DIK_Z), 0) << "same millisecond: the stored state answers";
    EXPECT_EQ(RefreshKeyboard(), 0);
    EXPECT_EQ(TheWorld().pumps, pumps) << "no second read";
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    EXPECT_EQ(TheWorld().pumps, pumps + 1);
}

TEST_F(Keys, EnterSetsBothEnterCodesAndTheToggleBitIsKept) {
    TheWorld().keys[kVkEnter] = 0x81;
    TheWorld().keys[0x14] = 0x01;  // Caps Lock toggled on, not held
    Tick();
    EXPECT_EQ(IsKeyDown(0x1C), 1);
    EXPECT_EQ(IsKeyDown(0x9C), 1);
    EXPECT_EQ(g_input.keys[0x1C], 0x81);
    EXPECT_EQ(g_input.keys[0x3A], 0x01);
    EXPECT_EQ(IsKeyDown(0x3A), 0);
}

TEST_F(Keys, EveryMappedVirtualKeyReachesItsOwnCode) {
    std::memset(TheWorld().keys, 0x80, sizeof TheWorld().keys);
    Tick();
    ASSERT_EQ(RefreshKeyboard(), 1);
    int down = 0;
    for (int code = 0; code < 256; ++code) down += IsKeyDown(code);
    EXPECT_EQ(down, 99) << "99 pairs, no code twice";
    EXPECT_EQ(IsKeyDown(0), 0);
    EXPECT_EQ(IsKeyDown(DIK_NUMLOCK), 0) << "not in the table";
    // Keys of the Japanese layout and a few far apart in the table.
    ReleaseAllVirtualKeys();
    const int pairs[][2] = {{0xDC, DIK_YEN}, {0xC0, DIK_AT}, {0xBA, DIK_COLON}, {0x7A, DIK_F11},
                            {0x6F, DIK_DIVIDE}, {0xA5, DIK_RMENU}, {0x13, DIK_PAUSE}, {0x30, DIK_0}};
    for (const auto& pair : pairs) {
        HoldVirtualKey(pair[0], true);
        Tick();
        EXPECT_EQ(IsKeyDown(pair[1]), 1) << std::hex << pair[0];
        HoldVirtualKey(pair[0], false);
    }
}

TEST_F(Keys, OnlyTheMainThreadReadsTheSystemKeyState) {
    HoldVirtualKey(kVkZ, true);
    TheWorld().wrongThread = true;
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 0);
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
}

TEST_F(Keys, NoReadOnceTheLibraryIsEnding) {
    HoldVirtualKey(kVkZ, true);
    TheWorld().pumpResult = 1;
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 0);
    EXPECT_EQ(g_input.keys[DIK_Z], 0);
    TheWorld().pumpResult = 0;
    EXPECT_EQ(RefreshKeyboard(), 0) << "the millisecond was taken before the pump";
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 1);
}

TEST_F(Keys, ARefreshFromInsideTheRefreshReturnsAtOnce) {
    int nested = -2;
    TheWorld().onPump = [&] { nested = RefreshKeyboard(); };
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(input::g_keyboardRefreshGuard, 0);
}

// Codes outside 0 to 255 name no key: 0, whatever lies beside the table.
TEST_F(Keys, KeyCodesOutsideTheTableAreNotDown) {
    TheWorld().clock = 0xFF000000;  // the byte before the key table, if it were read
    ASSERT_EQ(SetPadKeyMap(1, 0, 0xD0, -1, -1, -1), 0);  // a byte with bit 7 just after it
    std::memset(TheWorld().keys, 0x80, sizeof TheWorld().keys);
    for (int code : {-1, 256, 260, 4096, INT_MIN, INT_MAX}) EXPECT_EQ(IsKeyDown(code), 0) << code;
    EXPECT_EQ(IsKeyDown(DIK_ESCAPE), 1);
}

TEST_F(InputTest, IsKeyDownStartsInputAndAnswersNothingYet) {
    HoldVirtualKey(kVkZ, true);
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    EXPECT_TRUE(input::RunningWithDirectInput());
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    EXPECT_GE(TheWorld().waits, 2) << "each call waits while the window is inactive";
}

TEST_F(InputTest, IsKeyDownWhileTheWindowClosesStartsNothing) {
    TheWorld().closing = 1;
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    EXPECT_EQ(g_input.directInput, nullptr);
}

TEST_F(InputTest, IsKeyDownPassesOnAFailedStart) {
    seams::FailCall("IDirectInputDevice::SetEventNotification:Keyboard", -1, S_FALSE);
    EXPECT_EQ(IsKeyDown(DIK_Z), -1);
}

// ---- DirectInput's keyboard (before Vista, or when forced) ---------------------

class DirectInputKeys : public Keys {
protected:
    void SetUp() override {
        Keys::SetUp();
        TheWorld().version = 0x107;  // XP
    }
    static void Press(int code, bool down) { ASSERT_TRUE(platform::sdl::PushTestKey(code, down)); }
};

TEST_F(DirectInputKeys, KeysComeFromTheKeyboardDevice) {
    Press(DIK_Z, true);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    Press(DIK_Z, false);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
}

TEST_F(DirectInputKeys, VistaAndLaterReadTheSystemStateUnlessForced) {
    TheWorld().version = 0x108;
    Press(DIK_Z, true);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    SetForceDirectInputFlag(1);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
}

TEST_F(DirectInputKeys, RightShiftComesFromTheSystemKeyState) {
    Press(DIK_RSHIFT, true);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_RSHIFT), 0);
    Press(DIK_RSHIFT, false);
    HoldVirtualKey(0xA1, true);
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_RSHIFT), 1);
}

TEST_F(DirectInputKeys, ASignalledChangeAllowsASecondReadInTheSameMillisecond) {
    Tick();
    EXPECT_EQ(IsKeyDown(DIK_Z), 0);
    int pumps = TheWorld().pumps;
    EXPECT_EQ(RefreshKeyboard(), 0) << "nothing changed";
    EXPECT_EQ(TheWorld().pumps, pumps);
    Press(DIK_Z, true);  // DirectInput signals the keyboard's event
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
    EXPECT_EQ(WaitForSingleObject(g_input.keyboardEvent, 0), WAIT_TIMEOUT) << "the event was reset";
}

TEST_F(DirectInputKeys, ALostKeyboardIsAcquiredAgainOnce) {
    Press(DIK_Z, true);
    seams::FailCall("IDirectInputDevice::GetDeviceState:Keyboard", 1, DIERR_INPUTLOST);
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 1);
    EXPECT_EQ(IsKeyDown(DIK_Z), 1);
}

TEST_F(DirectInputKeys, AKeyboardThatStaysLostKeepsTheLastState) {
    Press(DIK_Z, true);
    Tick();
    ASSERT_EQ(IsKeyDown(DIK_Z), 1);
    Press(DIK_Z, false);
    seams::FailCall("IDirectInputDevice::GetDeviceState:Keyboard", 1, DIERR_INPUTLOST);
    seams::FailCall("IDirectInputDevice::Acquire:Keyboard", 1);
    Tick();
    EXPECT_EQ(RefreshKeyboard(), 0);
    EXPECT_EQ(g_input.keys[DIK_Z], 0x80) << "a failed refresh changes nothing";
    EXPECT_EQ(IsKeyDown(DIK_Z), 0) << "the next call tries again, in the same millisecond too";
}

// ---- mouse buttons --------------------------------------------------------------

TEST_F(Keys, MouseButtonsFromTheSystemKeyStateAreThreeAtMost) {
    for (int vk : {1, 2, 4, 5, 6}) HoldVirtualKey(vk, true);
    Tick();
    EXPECT_EQ(GetMouseButtons(), kMouseLeft | kMouseRight | kMouseMiddle);
    HoldVirtualKey(1, false);
    Tick();
    EXPECT_EQ(GetMouseButtons(), kMouseRight | kMouseMiddle);
}

TEST_F(InputTest, MouseButtonsWithoutARefreshReadTheSystemStateDirectly) {
    TheWorld().wrongThread = true;  // the refresh does not fill the mouse bytes
    HoldVirtualKey(2, true);
    EXPECT_EQ(GetMouseButtons(), kMouseRight);
    EXPECT_EQ(g_input.mouseBytesValid, 0);
}

TEST_F(DirectInputKeys, MouseButtonsFromTheMouseDeviceCountEight) {
    ASSERT_TRUE(platform::sdl::PushTestMouseButton(0, true));
    ASSERT_TRUE(platform::sdl::PushTestMouseButton(3, true));
    EXPECT_EQ(GetMouseButtons(), 1 | 8) << "the mouse is acquired on its first read";
    ASSERT_TRUE(platform::sdl::PushTestMouseButton(0, false));
    EXPECT_EQ(GetMouseButtons(), 8) << "no rate limit";
    HoldVirtualKey(1, true);
    EXPECT_EQ(GetMouseButtons() & 1, 0) << "not the system state";
}

TEST_F(DirectInputKeys, AMouseThatCannotBeReadGivesNoButtons) {
    ASSERT_TRUE(platform::sdl::PushTestMouseButton(0, true));
    seams::FailCall("IDirectInputDevice::Acquire:Mouse");
    EXPECT_EQ(GetMouseButtons(), 0);
}

// ---- a few frames as the game sees them -------------------------------------------

TEST_F(Keys, StatesThroughFrames) {
    struct Frame {
        bool z, down, left;
        int32_t key, pad, mouse;
    };
    const Frame frames[] = {
        {false, false, false, 0, 0, 0},
        {true, false, true, 1, 0x10, kMouseLeft},
        {true, true, true, 1, 0x11, kMouseLeft},
        {false, true, false, 0, 0x01, 0},
        {false, false, false, 0, 0, 0},
    };
    for (const Frame& f : frames) {
        Tick(16);
        HoldVirtualKey(kVkZ, f.z);
        HoldVirtualKey(0x28, f.down);
        HoldVirtualKey(1, f.left);
        RefreshKeyboard();  // the message pump's pass
        EXPECT_EQ(IsKeyDown(DIK_Z), f.key);
        EXPECT_EQ(GetPadState(0x1001), f.pad);
        EXPECT_EQ(GetMouseButtons(), f.mouse);
    }
}

}  // namespace
}  // namespace input_test
