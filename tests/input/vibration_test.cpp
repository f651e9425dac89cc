// Joypad vibration: which effects play for a request and a power, stopping
// and starting again with the window's activation, timed vibrations, and the
// requests that name no pad.
#include "input_fixture.h"

#include <climits>

namespace input_test {
namespace {

using input::g_input;
using platform::sdl::GetTestPadRumble;

class Vibration : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        pad_ = AttachPad(4, 12, true);
        ASSERT_EQ(InitializeInput(), 0);
        ASSERT_EQ(GetPadCount(), 1);
        ResetInputCooperativeLevel();  // the window's first activation
    }
    input::PadRecord& Pad() { return g_input.pads[0]; }
    // The motors as the pad was last told: low is the constant force, high the sine.
    platform::sdl::TestPadRumble Motors() { return GetTestPadRumble(pad_); }
    void Activate(bool active) {
        TheWorld().active = active ? 1 : 0;
        ResetInputCooperativeLevel();
        ApplyPadVibration();
    }
    // True when the named effect call has not been made since the test armed it.
    static bool NotCalled(const char* call) { return seams::ShouldFailCall(call); }
    int32_t pad_ = -1;
};

TEST_F(Vibration, PowerDecidesWhetherTheSineJoinsTheConstantForce) {
    ASSERT_EQ(StartPadVibration(1, 5000, -1), 0);
    EXPECT_EQ(Pad().constantPlaying, 1);
    EXPECT_EQ(Pad().sinePlaying, 0);
    EXPECT_EQ(Motors().low, 0xFFFF);
    EXPECT_EQ(Motors().high, 0);
    ASSERT_EQ(StartPadVibration(1, 5001, -1), 0);
    EXPECT_EQ(Pad().sinePlaying, 1);
    EXPECT_EQ(Motors().high, 0xFFFF);
    ASSERT_EQ(StopPadVibration(1), 0);
    EXPECT_EQ(Pad().vibrationRequested, 0);
    EXPECT_EQ(Pad().vibrationPower, 10000);
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(Motors().high, 0);
}

TEST_F(Vibration, DeactivationStopsBothAndActivationStartsThemAgain) {
    ASSERT_EQ(StartPadVibration(1, 8000, -1), 0);
    Activate(false);
    EXPECT_EQ(Pad().constantPlaying, 0);
    EXPECT_EQ(Pad().sinePlaying, 0);
    EXPECT_EQ(Pad().vibrationRequested, 1) << "the request stays";
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(Motors().high, 0);
    Activate(true);
    EXPECT_EQ(Pad().constantPlaying, 1);
    EXPECT_EQ(Pad().sinePlaying, 1);
    EXPECT_EQ(Motors().low, 0xFFFF);
    EXPECT_EQ(Motors().high, 0xFFFF);
}

TEST_F(Vibration, AnInactiveWindowHoldsBackANewRequest) {
    Activate(false);
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    EXPECT_EQ(Pad().constantPlaying, 0);
    EXPECT_EQ(Motors().low, 0);
    Activate(true);
    EXPECT_EQ(Motors().low, 0xFFFF);
}

TEST_F(Vibration, StoppingAPadThatWasNotAskedCallsNoDevice) {
    seams::FailCall("IDirectInputEffect::Stop", 1);
    seams::FailCall("IDirectInputEffect::Start", 1);
    int calls = Motors().calls;
    EXPECT_EQ(StopPadVibration(1), 0);
    EXPECT_EQ(UpdatePadVibration(), 0);
    EXPECT_TRUE(NotCalled("IDirectInputEffect::Stop"));
    EXPECT_TRUE(NotCalled("IDirectInputEffect::Start"));
    EXPECT_EQ(Motors().calls, calls);
}

TEST_F(Vibration, ADurationOfZeroEndsWhenTheClockMovesOn) {
    ASSERT_EQ(StartPadVibration(1, 10000, 0), 0);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 1) << "same millisecond";
    Tick();
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 0);
    EXPECT_EQ(Motors().low, 0);
}

TEST_F(Vibration, ATimedVibrationCountsOnlyWhileItRuns) {
    ASSERT_EQ(StartPadVibration(1, 10000, 50), 0);
    Tick(20);
    UpdatePadVibration();
    Tick(29);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationElapsed, 49);
    EXPECT_EQ(Pad().vibrationRequested, 1);
    Tick(1);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 0);
}

TEST_F(Vibration, AClockThatWrapsCountsNothingForThatPass) {
    TheWorld().clock = 0x7FFFFFF0;
    ASSERT_EQ(StartPadVibration(1, 10000, 100), 0);
    TheWorld().clock = 0x80000005;  // GetTimeMs drops the top bit: 5
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationElapsed, 0);
    EXPECT_EQ(Pad().vibrationTime, 5u);
    Tick(10);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationElapsed, 10);
}

// The count never overflows, even for the longest duration across a wrap.
TEST_F(Vibration, TheLongestDurationEndsWithoutOverflow) {
    TheWorld().clock = 0;
    ASSERT_EQ(StartPadVibration(1, 10000, INT32_MAX), 0);
    Tick(0x7FFFFF00);
    UpdatePadVibration();
    Tick(0x200);  // past the top of the 31-bit clock: counts nothing
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 1);
    Tick(0x200);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 0);
}

TEST_F(Vibration, ANegativeDurationLastsUntilStopped) {
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    Tick(1000000);
    UpdatePadVibration();
    EXPECT_EQ(Pad().vibrationRequested, 1);
    EXPECT_EQ(Motors().low, 0xFFFF);
}

TEST_F(Vibration, RequestsThatNameNoPadOrPowerChangeNothing) {
    for (int32_t type : {0, 2, 17, -1, INT_MIN, 0x1002}) EXPECT_EQ(StartPadVibration(type, 10000, -1), -1) << type;
    EXPECT_EQ(StartPadVibration(1, -1, -1), -1);
    EXPECT_EQ(StartPadVibration(1, 10001, -1), -1);
    EXPECT_EQ(Pad().vibrationRequested, 0);
    for (int32_t type : {0, 2, 17, -1, INT_MIN, INT_MAX}) EXPECT_EQ(StopPadVibration(type), 0) << type;
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(StartPadVibration(0x1001, 10000, -1), 0) << "the key-map bit names the same pad";
}

TEST_F(InputTest, PadsWithoutEffectsOrDirectInputCannotVibrate) {
    AttachPad(4, 12, false);
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(StartPadVibration(1, 10000, -1), -1);
    TerminateInput();
    StartOnWinmm();
    EXPECT_EQ(StartPadVibration(1, 10000, -1), -1);
    EXPECT_EQ(UpdatePadVibration(), 0);
    EXPECT_EQ(ApplyPadVibration(), 0);
}

TEST_F(InputTest, StopPadVibrationStartsInputUnlessTheWindowCloses) {
    TheWorld().closing = 1;
    EXPECT_EQ(StopPadVibration(1), 0);
    EXPECT_EQ(g_input.directInput, nullptr);
    TheWorld().closing = 0;
    EXPECT_EQ(StopPadVibration(1), 0);
    EXPECT_TRUE(input::RunningWithDirectInput());
}

TEST_F(Vibration, EffectResultsAreIgnoredAndPadsWithoutEffectsSkipped) {
    seams::FailCall("IDirectInputEffect::Start");
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    EXPECT_EQ(Pad().constantPlaying, 1) << "taken as playing whatever Start said";
    EXPECT_EQ(Motors().low, 0);
    seams::ClearCall("IDirectInputEffect::Start");
    IDirectInputEffect* constant = Pad().constantForce;
    IDirectInputEffect* sine = Pad().sine;
    Pad().constantForce = nullptr;  // as on a pad whose effects were refused
    Pad().sine = nullptr;
    Pad().constantPlaying = 0;
    EXPECT_EQ(ApplyPadVibration(), 0);
    EXPECT_EQ(Pad().constantPlaying, 0);
    EXPECT_EQ(StopPadVibration(1), 0);
    EXPECT_EQ(Pad().vibrationRequested, 1) << "without the constant force there is nothing to stop";
    Pad().constantForce = constant;
    Pad().sine = sine;
}

TEST_F(Vibration, EndingInputStopsTheMotors) {
    ASSERT_EQ(StartPadVibration(1, 10000, -1), 0);
    ASSERT_EQ(Motors().low, 0xFFFF);
    TerminateInput();
    EXPECT_EQ(Motors().low, 0);
    EXPECT_EQ(Motors().high, 0);
}

}  // namespace
}  // namespace input_test
