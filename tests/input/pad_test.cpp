// Joypads and the keyboard-to-pad map: direction and button bits from the
// axes and buttons of DirectInput pads and of multimedia joysticks, the key
// map, and the pad numbers that name nothing.
#include "input_fixture.h"

#include <climits>

namespace input_test {
namespace {

using input::g_input;
using platform::sdl::SetTestPadAxis;
using platform::sdl::SetTestPadButton;

// ---- the key map ----------------------------------------------------------------

class KeyMap : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(InitializeInput(), 0);
    }
    int32_t With(std::initializer_list<int> virtualKeys, int32_t type) {
        ReleaseAllVirtualKeys();
        for (int vk : virtualKeys) HoldVirtualKey(vk, true);
        Tick();
        return GetPadState(type);
    }
};

TEST_F(KeyMap, DefaultMapOfPadOne) {
    EXPECT_EQ(With({0x28}, 0x1001), kPadDown) << "Down arrow";
    EXPECT_EQ(With({0x62}, 0x1001), kPadDown) << "numeric pad 2";
    EXPECT_EQ(With({0x25, 0x27}, 0x1001), kPadLeft | kPadRight);
    EXPECT_EQ(With({0x68}, 0x1001), kPadUp);
    EXPECT_EQ(With({0x5A}, 0x1001), 0x10) << "Z is button 0";
    EXPECT_EQ(With({0x1B}, 0x1001), 0x1000) << "Escape is button 8";
    EXPECT_EQ(With({0x20}, 0x1001), 0x2000) << "Space is button 9";
    EXPECT_EQ(With({0x45}, 0x1001), 0) << "E is not mapped";
}

TEST_F(KeyMap, EverySlotOfPadOneAtOnceAndNothingElse) {
    std::memset(TheWorld().keys, 0x80, sizeof TheWorld().keys);
    Tick();
    EXPECT_EQ(GetPadState(0x1001), 0x3FFF) << "slots 0 to 13; the empty ones never fire";
    EXPECT_EQ(GetPadState(0x1002), 0) << "pad 2's map is empty";
    EXPECT_EQ(GetPadState(0x1010), 0);
}

TEST_F(KeyMap, PadNumbersWithoutAPadOrAMap) {
    AttachPad();
    TerminateInput();
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetPadCount(), 1);
    std::memset(TheWorld().keys, 0x80, sizeof TheWorld().keys);
    Tick();
    EXPECT_EQ(GetPadState(0x1000), 0x3FFF) << "the keyboard through pad 1's map, even with pads";
    EXPECT_EQ(GetPadState(2), 0) << "beyond the pad count";
    EXPECT_EQ(GetPadState(0x1002), 0);
    for (int32_t type : {0, 17, 0x1011, -1, -0x1001, INT_MIN, INT_MAX, 0x2001}) EXPECT_EQ(GetPadState(type), 0) << type;
}

TEST_F(KeyMap, ChangedSlotsAndTheTopBit) {
    ASSERT_EQ(SetPadKeyMap(2, 5, -1, DIK_SPACE, -1, -1), 0);
    ASSERT_EQ(SetPadKeyMap(1, 31, DIK_E, -1, -1, -1), 0);
    EXPECT_EQ(With({0x20}, 0x1002), 0x20);
    EXPECT_EQ(With({0x45}, 0x1001), INT32_MIN) << "slot 31 is bit 31";
}

TEST_F(KeyMap, OutOfRangeMapEntriesAreRefusedAndChangeNothing) {
    int32_t before[kMaxPads][kKeyMapSlots][4];
    std::memcpy(before, g_input.keyMap, sizeof before);
    EXPECT_EQ(SetPadKeyMap(0, 0, 1, 1, 1, 1), -1);
    EXPECT_EQ(SetPadKeyMap(17, 0, 1, 1, 1, 1), -1);
    EXPECT_EQ(SetPadKeyMap(1, -1, 1, 1, 1, 1), -1);
    EXPECT_EQ(SetPadKeyMap(1, 32, 1, 1, 1, 1), -1);
    EXPECT_EQ(SetPadKeyMap(1, 0, DIK_Q, 256, -1, -1), -1);
    EXPECT_EQ(std::memcmp(before, g_input.keyMap, sizeof before), 0);
}

TEST_F(InputTest, AMapSetBeforeStartUpKeepsTheDefaultsBesideIt) {
    ASSERT_EQ(SetPadKeyMap(1, 20, DIK_E, -1, -1, -1), 0);
    ASSERT_EQ(InitializeInput(), 0);
    HoldVirtualKey(0x45, true);
    HoldVirtualKey(0x28, true);
    Tick();
    EXPECT_EQ(GetPadState(0x1001), (1 << 20) | kPadDown);
}

TEST_F(InputTest, GetPadStateStartsInputOrAnswersFromTheMapWhileClosing) {
    EXPECT_EQ(GetPadState(1), 0);
    EXPECT_TRUE(input::RunningWithDirectInput());
    TerminateInput();
    TheWorld().closing = 1;
    HoldVirtualKey(0x28, true);
    Tick();
    EXPECT_EQ(GetPadState(0x1001), kPadDown);
    EXPECT_EQ(g_input.directInput, nullptr);
}

// ---- DirectInput pads ------------------------------------------------------------

class DirectInputPad : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        pad_ = AttachPad(4, 32);
        ASSERT_EQ(InitializeInput(), 0);
        ASSERT_EQ(GetPadCount(), 1);
    }
    int32_t Read() {
        Tick();
        return GetPadState(1);
    }
    int32_t pad_ = -1;
};

TEST_F(DirectInputPad, AxesPastHalfTheirTravelGiveDirections) {
    struct Case {
        int axis;
        int16_t value;
        int32_t bits;
    };
    const Case cases[] = {
        {0, -20000, kPadLeft}, {0, -16000, 0}, {0, 16384, 0}, {0, 20000, kPadRight},
        {1, -32768, kPadUp},   {1, 32767, kPadDown}, {1, 0, 0},
    };
    for (const Case& c : cases) {
        SetTestPadAxis(pad_, c.axis, c.value);
        EXPECT_EQ(Read(), c.bits) << "axis " << c.axis << " at " << c.value;
        SetTestPadAxis(pad_, c.axis, 0);
    }
    SetTestPadAxis(pad_, 0, -32768);
    SetTestPadAxis(pad_, 1, 32767);
    EXPECT_EQ(Read(), kPadLeft | kPadDown);
    EXPECT_EQ(g_input.pads[0].state.lX, -1000);
    EXPECT_EQ(g_input.pads[0].state.lY, 1000);
}

TEST_F(DirectInputPad, ButtonsZeroToTwentyThree) {
    SetTestPadButton(pad_, 0, true);
    SetTestPadButton(pad_, 23, true);
    SetTestPadButton(pad_, 24, true);  // beyond the word
    EXPECT_EQ(Read(), PadButtonBit(0) | PadButtonBit(23));
    SetTestPadButton(pad_, 0, false);
    EXPECT_EQ(Read(), PadButtonBit(23));
}

TEST_F(DirectInputPad, PadAndKeysTogether) {
    SetTestPadAxis(pad_, 0, 30000);
    HoldVirtualKey(0x5A, true);
    EXPECT_EQ(Read(), kPadRight) << "no keys without the map flag";
    EXPECT_EQ(GetPadState(0x1001), kPadRight | 0x10);
}

TEST_F(DirectInputPad, APadIsReadAtMostOncePerMillisecondUnlessItSignalled) {
    EXPECT_EQ(Read(), 0);
    SetTestPadAxis(pad_, 0, -30000);
    EXPECT_EQ(GetPadState(1), 0) << "same millisecond, nothing signalled yet";
    platform::sdl::UpdateJoysticks();  // the message pump lets SDL see the change
    EXPECT_EQ(GetPadState(1), kPadLeft) << "the pad's event allows a second read";
    EXPECT_EQ(WaitForSingleObject(g_input.pads[0].event, 0), WAIT_TIMEOUT);
}

TEST_F(DirectInputPad, ALostPadIsAcquiredAgainOnce) {
    SetTestPadAxis(pad_, 0, -30000);
    seams::FailCall("IDirectInputDevice::GetDeviceState:Joystick", 1, DIERR_INPUTLOST);
    int pumps = TheWorld().pumps;
    EXPECT_EQ(Read(), kPadLeft);
    EXPECT_EQ(TheWorld().pumps, pumps + 2);
}

TEST_F(DirectInputPad, APadThatStaysLostKeepsItsLastState) {
    SetTestPadAxis(pad_, 0, -30000);
    ASSERT_EQ(Read(), kPadLeft);
    SetTestPadAxis(pad_, 0, 0);
    seams::FailCall("IDirectInputDevice::GetDeviceState:Joystick", 1, DIERR_INPUTLOST);
    seams::FailCall("IDirectInputDevice::Acquire:Joystick", 1);
    EXPECT_EQ(Read(), kPadLeft);
    EXPECT_EQ(Read(), 0) << "found again at the next read";
}

TEST_F(DirectInputPad, AnUnpluggedPadKeepsItsLastState) {
    SetTestPadButton(pad_, 2, true);
    ASSERT_EQ(Read(), PadButtonBit(2));
    DetachPad(pad_);
    EXPECT_EQ(Read(), PadButtonBit(2));
}

TEST_F(DirectInputPad, ALostPadGivesUpWhenTheLibraryEnds) {
    seams::FailCall("IDirectInputDevice::GetDeviceState:Joystick", 1, DIERR_INPUTLOST);
    TheWorld().pumpResult = 1;
    Tick();
    EXPECT_EQ(RefreshPad(0), -1);
}

// Input restarted by the message pump while a lost pad is being recovered:
// the record holds another device now and the old one must not be touched.
TEST_F(DirectInputPad, ARestartDuringRecoveryLeavesTheOldDeviceAlone) {
    seams::FailCall("IDirectInputDevice::GetDeviceState:Joystick", 1, DIERR_INPUTLOST);
    bool restarted = false;
    TheWorld().onPump = [&] {
        if (restarted) return;
        restarted = true;
        TerminateInput();
        InitializeInput();
    };
    Tick();
    EXPECT_EQ(RefreshPad(0), 0);
    EXPECT_TRUE(restarted);
    EXPECT_EQ(GetPadCount(), 1);
}

TEST_F(InputTest, PadNamesAndNumbersThatNameNoPad) {
    AttachPad(4, 12, false, "Named pad");
    ASSERT_EQ(InitializeInput(), 0);
    char instance[MAX_PATH] = {};
    char product[MAX_PATH] = {};
    ASSERT_EQ(GetPadName(0x1001, instance, product), 0);
    EXPECT_STREQ(instance, "Named pad");
    EXPECT_STREQ(product, "Named pad");
    for (int32_t type : {0, 2, -1, INT_MIN, 0x1002}) EXPECT_EQ(GetPadName(type, instance, product), -1) << type;
}

TEST_F(InputTest, RefreshPadIndexesOutsideTheTable) {
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(RefreshPad(-1), -1);
    EXPECT_EQ(RefreshPad(16), -1);
    EXPECT_EQ(RefreshPad(INT_MIN), -1);
    EXPECT_EQ(RefreshPad(3), 0) << "an empty record reads nothing";
}

// ---- multimedia joysticks (no DirectInput) ----------------------------------------

class JoystickPad : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        pad_ = AttachPad(4, 32, false);
        StartOnWinmm();
    }
    const DIJOYSTATE& Read(int axis, int16_t value) {
        SetTestPadAxis(pad_, axis, value);
        Tick();
        GetPadState(1);
        return g_input.pads[0].state;
    }
    int32_t pad_ = -1;
};

// Position = SDL value + 32768.
TEST_F(JoystickPad, PositionsOnTheThousandScale) {
    const struct {
        int16_t value;
        DWORD position;
        LONG expected;
    } cases[] = {
        {-32768, 0, -1000}, {-1, 0x7FFF, 0}, {32767, 0xFFFF, 1000}, {-16384, 0x4000, 0}, {16384, 0xC000, 0},
        {-16385, 0x3FFF, 0}, {-32767, 1, -999}, {32766, 0xFFFE, 999}, {-24576, 0x2000, -500}, {24576, 0xE000, 500},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(static_cast<DWORD>(c.value + 32768), c.position);
        EXPECT_EQ(Read(0, c.value).lX, c.expected) << "position " << std::hex << c.position;
    }
}

TEST_F(JoystickPad, DirectionsButtonsAndTheSecondStick) {
    SetTestPadAxis(pad_, 0, -32768);
    SetTestPadAxis(pad_, 1, -32768);
    SetTestPadButton(pad_, 1, true);
    SetTestPadButton(pad_, 24, true);  // beyond the 24 buttons read
    Tick();
    EXPECT_EQ(GetPadState(1), kPadLeft | kPadUp | PadButtonBit(1));
    EXPECT_EQ(g_input.pads[0].state.rgbButtons[24], 0);
    EXPECT_EQ(Read(3, 32767).lRz, 1000) << "a joystick with Z and R reads them";
}

TEST_F(JoystickPad, IdsWithoutAJoystickReadAsReleased) {
    Tick();
    EXPECT_EQ(GetPadState(5), 0);
    SetTestPadButton(pad_, 0, true);
    ASSERT_EQ(Read(0, 0).rgbButtons[0], 0x80);
    DetachPad(pad_);
    Tick();
    EXPECT_EQ(GetPadState(1), 0) << "unplugged: centred and released";
    EXPECT_EQ(g_input.pads[0].state.rgbButtons[0], 0);
}

TEST_F(JoystickPad, AJoystickIsReadAtMostOncePerMillisecond) {
    EXPECT_EQ(Read(0, -32768).lX, -1000);
    SetTestPadAxis(pad_, 0, 0);
    GetPadState(1);
    EXPECT_EQ(g_input.pads[0].state.lX, -1000);
}

TEST_F(InputTest, AJoystickWithoutZAndRReadsOnlyXAndY) {
    int32_t pad = AttachPad(3, 4, false);
    StartOnWinmm();
    SetTestPadAxis(pad, 2, 32767);
    Tick();
    GetPadState(1);
    EXPECT_EQ(g_input.pads[0].hasZAndR, 0);
    EXPECT_EQ(g_input.pads[0].state.lZ, 0);
}

}  // namespace
}  // namespace input_test
