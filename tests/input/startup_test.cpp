// Input start-up and shutdown: which road is taken, restarts, the pads found,
// and every way start-up can fail.
#include "input_fixture.h"

#include <cctype>

namespace input_test {
namespace {

using input::g_input;

// ---- which road ---------------------------------------------------------------

struct Road {
    const char* name;
    int failedCreations;    // CoCreateInstance calls that fail, from the first
    int failedInitializes;  // IDirectInput::Initialize calls that fail
    int expected;           // 7, 8, or 0 for the road without DirectInput
};

class RoadChoice : public InputTest, public ::testing::WithParamInterface<Road> {};

TEST_P(RoadChoice, FollowsWhatCanBeHad) {
    const Road& road = GetParam();
    if (road.failedCreations > 0) seams::FailCall("CoCreateInstance", road.failedCreations, REGDB_E_CLASSNOTREG);
    if (road.failedInitializes > 0) seams::FailCall("IDirectInput::Initialize", road.failedInitializes);
    ASSERT_EQ(InitializeInput(), 0);
    if (road.expected == 0) {
        EXPECT_EQ(g_input.directInput, input::NoDirectInput());
        EXPECT_EQ(g_input.noDirectInput, 1);
        EXPECT_EQ(g_input.padCount, 16);
        EXPECT_EQ(g_input.keyboard, nullptr);
        EXPECT_EQ(g_input.mouse, nullptr);
        return;
    }
    ASSERT_TRUE(input::RunningWithDirectInput());
    EXPECT_EQ(g_input.directInput8, road.expected == 8 ? 1 : 0);
    void* object = nullptr;
    const IID& iid = road.expected == 8 ? IID_IDirectInput8A : IID_IDirectInput7A;
    ASSERT_EQ(g_input.directInput->QueryInterface(iid, &object), S_OK);
    g_input.directInput->Release();
    EXPECT_NE(g_input.keyboard, nullptr);
    EXPECT_NE(g_input.mouse, nullptr);
    EXPECT_NE(g_input.keyboardEvent, nullptr);
    EXPECT_EQ(g_input.noDirectInput, 0);
}

INSTANTIATE_TEST_SUITE_P(Input, RoadChoice,
                         ::testing::Values(Road{"Version7", 0, 0, 7}, Road{"Version8AfterFailedCreation", 1, 0, 8},
                                           Road{"Version8AfterFailedInitialize", 0, 1, 8},
                                           Road{"NoneWhenNeitherCreates", 2, 0, 0},
                                           Road{"NoneWhenNeitherInitializes", 0, 2, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(InputTest, OnceDirectInputWasMissingLaterStartsSkipIt) {
    seams::FailCall("CoCreateInstance", 2);
    ASSERT_EQ(InitializeInput(), 0);
    TerminateInput();
    ASSERT_EQ(InitializeInput(), 0);  // DirectInput could be had now
    EXPECT_EQ(g_input.directInput, input::NoDirectInput());
    SetNoDirectInputFlag(0);
    TerminateInput();
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_TRUE(input::RunningWithDirectInput());
}

TEST_F(InputTest, StartLogsEachStepOfTheRoad) {
    std::string log = CaptureLog([] {
        seams::FailCall("CoCreateInstance", 1, static_cast<int64_t>(0x80040154));
        InitializeInput();
    });
    EXPECT_NE(log.find("DirectInput7 の取得中... 取得に失敗。"), std::string::npos) << log;
    EXPECT_NE(log.find("エラーコード 0x80040154"), std::string::npos);
    EXPECT_NE(log.find("DirectInput8 の取得を試みます...成功"), std::string::npos);
    EXPECT_NE(log.find("DirectInput 関連の初期化は正常に終了しました"), std::string::npos);
}

// A version 7 object that refuses Initialize does not leave the log's
// indent raised for every later line.
TEST_F(InputTest, ARefusedInitializeLeavesTheLogIndentBalanced) {
    std::string log = CaptureLog([] {
        seams::FailCall("IDirectInput::Initialize", 1);
        InitializeInput();
    });
    EXPECT_NE(log.find("初期化に失敗。DirectInput8 の取得を試みます...成功"), std::string::npos) << log;
    size_t end = log.find("DirectInput 関連の初期化は正常に終了しました");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(log[end - 1], ':') << "no indent left on the closing line";
}

// ---- running, restarting, ending --------------------------------------------

TEST_F(InputTest, StartWhileRunningAndEndTwiceChangeNothing) {
    ASSERT_EQ(InitializeInput(), 0);
    IUnknown* object = g_input.directInput;
    IDirectInputDeviceA* keyboard = g_input.keyboard;
    EXPECT_EQ(InitializeInput(), 0);
    EXPECT_EQ(g_input.directInput, object);
    EXPECT_EQ(g_input.keyboard, keyboard);
    EXPECT_EQ(TerminateInput(), 0);
    EXPECT_EQ(g_input.directInput, nullptr);
    EXPECT_EQ(dinput::LiveDeviceCount(), 0) << "every device is released";
    EXPECT_EQ(TerminateInput(), 0);
}

TEST_F(InputTest, StartUpFromInsideItsOwnPumpPassReturnsAtOnce) {
    int nested = -2;
    TheWorld().onPump = [&] {
        if (nested == -2) nested = InitializeInput();
    };
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(nested, 0);
    EXPECT_GE(TheWorld().pumps, 1);
    EXPECT_EQ(input::g_startupGuard, 0);
}

TEST_F(InputTest, RestartKeepsTheSwitchesAndAChangedKeyMap) {
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(SetPadKeyMap(1, 0, DIK_Q, -1, -1, -1), 0);
    SetNoForceFeedbackFlag(1);
    SetForceDirectInputFlag(1);
    SetInputFlagA();
    TerminateInput();
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(g_input.keyMap[0][0][0], DIK_Q) << "the default map is not written again";
    EXPECT_EQ(g_input.keyMap[0][1][0], 0x4B);
    EXPECT_EQ(g_input.noForceFeedback, 1);
    EXPECT_EQ(g_input.forceDirectInput, 1);
    EXPECT_EQ(g_input.flagA, 0) << "everything else starts from zero";
}

TEST_F(InputTest, WindowMessageFlagsSetAndClear) {
    EXPECT_EQ(SetInputFlagA(), 0);
    EXPECT_EQ(SetInputFlagB(), 0);
    EXPECT_EQ(g_input.flagA, 1);
    EXPECT_EQ(g_input.flagB, 1);
    EXPECT_EQ(ClearInputFlagA(), 0);
    EXPECT_EQ(g_input.flagA, 0);
    EXPECT_EQ(g_input.flagB, 1);
    EXPECT_EQ(ClearInputFlagB(), 0);
    EXPECT_EQ(g_input.flagB, 0);
}

// ---- joypads found at start-up -----------------------------------------------

TEST_F(InputTest, PadsAreSetUpWithNamesEffectsAndEvents) {
    AttachPad(4, 12, true, "Pad A");
    AttachPad(2, 8, false, "Pad B");
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetPadCount(), 2);
    const input::PadRecord& a = g_input.pads[0];
    const input::PadRecord& b = g_input.pads[1];
    EXPECT_STREQ(a.instanceName, "Pad A");
    EXPECT_STREQ(b.productName, "Pad B");
    EXPECT_NE(a.constantForce, nullptr);
    EXPECT_NE(a.sine, nullptr);
    EXPECT_EQ(b.constantForce, nullptr) << "a pad that cannot vibrate gets no effects";
    EXPECT_EQ(b.sine, nullptr);
    EXPECT_NE(a.event, nullptr);
    EXPECT_EQ(a.vibrationPower, 10000);
    DIPROPRANGE range{};
    range.diph = {sizeof range, sizeof(DIPROPHEADER), DIJOFS_Y, DIPH_BYOFFSET};
    ASSERT_EQ(a.device->GetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    EXPECT_EQ(range.lMin, -1000);
    EXPECT_EQ(range.lMax, 1000);
    DIPROPDWORD zone{};
    zone.diph = {sizeof zone, sizeof(DIPROPHEADER), DIJOFS_RZ, DIPH_BYOFFSET};
    ASSERT_EQ(a.device->GetProperty(DIPROP_DEADZONE, &zone.diph), DI_OK);
    EXPECT_EQ(zone.dwData, 5000u);
}

TEST_F(InputTest, NoForceFeedbackSwitchLeavesPadsWithoutEffects) {
    AttachPad();
    SetNoForceFeedbackFlag(1);
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetPadCount(), 1);
    EXPECT_EQ(g_input.pads[0].constantForce, nullptr);
    EXPECT_EQ(g_input.pads[0].sine, nullptr);
}

TEST_F(InputTest, TheSixteenthPadEndsTheSearch) {
    for (int i = 0; i < 17; ++i) AttachPad(2, 4, false, ("Pad " + std::to_string(i)).c_str());
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(GetPadCount(), 16);
    EXPECT_STREQ(g_input.pads[15].instanceName, "Pad 15");
}

TEST_F(InputTest, APadThatRefusesItsXRangeIsSkippedAndTheNextTakesItsRecord) {
    AttachPad(4, 12, false, "Refuses");
    AttachPad(4, 12, false, "Accepts");
    seams::FailCall("IDirectInputDevice::SetProperty:Joystick", 1);
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetPadCount(), 1);
    EXPECT_STREQ(g_input.pads[0].instanceName, "Accepts");
    TerminateInput();
    EXPECT_EQ(dinput::LiveDeviceCount(), 0) << "the refused pad's device was released";
}

TEST_F(InputTest, APadWithoutAYAxisIsSkipped) {
    AttachPad(1, 4, false, "One axis");
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(GetPadCount(), 0);
}

// A pad whose notification event is refused is not added; its effects, device
// and event go with it instead of staying behind in the record.
TEST_F(InputTest, APadThatRefusesItsEventLeavesNothingBehind) {
    AttachPad(4, 12, true, "Refuses");
    AttachPad(2, 4, false, "Accepts");
    seams::FailCall("IDirectInputDevice::SetEventNotification:Joystick", 1, S_FALSE);
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(GetPadCount(), 1);
    EXPECT_STREQ(g_input.pads[0].instanceName, "Accepts");
    EXPECT_EQ(g_input.pads[0].constantForce, nullptr);
    EXPECT_EQ(g_input.pads[0].sine, nullptr);
    TerminateInput();
    EXPECT_EQ(dinput::LiveDeviceCount(), 0);
}

TEST_F(InputTest, DirectInput8FindsPadsAsGameControllers) {
    AttachPad();
    seams::FailCall("CoCreateInstance", 1);
    ASSERT_EQ(InitializeInput(), 0);
    ASSERT_EQ(g_input.directInput8, 1);
    EXPECT_EQ(GetPadCount(), 1);
}

TEST_F(InputTest, EnumerateAgainFindsAPadPluggedInLater) {
    ASSERT_EQ(InitializeInput(), 0);
    EXPECT_EQ(GetPadCount(), 0);
    AttachPad();
    EXPECT_EQ(EnumeratePads(), 0);
    EXPECT_EQ(GetPadCount(), 1);
    EXPECT_EQ(ReleaseAllPads(), 0);
    EXPECT_EQ(GetPadCount(), 0);
}

TEST_F(InputTest, PadListCallsNeedDirectInput) {
    EXPECT_EQ(EnumeratePads(), -1);
    EXPECT_EQ(ReleaseAllPads(), -1);
    StartOnWinmm();
    EXPECT_EQ(EnumeratePads(), -1) << "no DirectInput object to ask";
    EXPECT_EQ(ReleaseAllPads(), -1);
    EXPECT_EQ(GetPadCount(), 16);
}

// ---- without DirectInput: joysticks by id -------------------------------------

TEST_F(InputTest, WithoutDirectInputEverySixteenIdsArePadsWhateverAnswered) {
    AttachPad(4, 8, false);
    AttachPad(2, 8, false);
    std::string log = CaptureLog([] {
        SetNoDirectInputFlag(1);
        InitializeInput();
    });
    EXPECT_NE(log.find("パッドの数は 2 個です"), std::string::npos) << log;
    EXPECT_EQ(GetPadCount(), 16);
    EXPECT_EQ(g_input.pads[0].hasZAndR, 1);
    EXPECT_EQ(g_input.pads[1].hasZAndR, 0);
}

TEST_F(InputTest, WithoutDirectInputTheCountStopsAtTheFirstSilentId) {
    AttachPad(4, 8, false);
    AttachPad(4, 8, false);
    seams::FailCall("joyGetDevCapsA", 1);  // id 0 does not answer
    std::string log = CaptureLog([] {
        SetNoDirectInputFlag(1);
        InitializeInput();
    });
    EXPECT_NE(log.find("パッドの数は 0 個です"), std::string::npos) << log;
    EXPECT_EQ(GetPadCount(), 16);
    EXPECT_EQ(g_input.pads[1].hasZAndR, 0) << "id 1 was never asked";
    TerminateInput();
    EXPECT_EQ(GetPadCount(), 0) << "ended input has no pads";
}

// ---- failures ---------------------------------------------------------------------

struct FatalRow {
    const char* seam;
    int times;
    const char* message;
};

class FatalStart : public InputTest, public ::testing::WithParamInterface<FatalRow> {};

TEST_P(FatalStart, EndsTheProgramWithItsMessageAfterReleasingWhatItMade) {
    AttachPad();
    seams::FailCall(GetParam().seam, GetParam().times);
    try {
        InitializeInput();
        FAIL() << "start-up went on";
    } catch (const FatalExit& exit) {
        EXPECT_EQ(exit.message, GetParam().message);
    }
    EXPECT_EQ(g_input.directInput, nullptr);
    EXPECT_EQ(g_input.mouse, nullptr);
    EXPECT_EQ(g_input.keyboard, nullptr);
    EXPECT_EQ(g_input.keyboardEvent, nullptr);
    EXPECT_EQ(input::g_startupGuard, 0);
    EXPECT_EQ(GetPadCount(), 1) << "pads already added stay";
}

INSTANTIATE_TEST_SUITE_P(
    Input, FatalStart,
    ::testing::Values(FatalRow{"IDirectInput::CreateDevice:Mouse", -1, "マウスデバイスの取得に失敗しました"},
                      FatalRow{"IDirectInputDevice::SetDataFormat:Mouse", -1,
                               "マウスデバイスのデータ形式の設定に失敗しました"},
                      FatalRow{"IDirectInputDevice::SetCooperativeLevel:Mouse", -1,
                               "マウスデバイスの協調レベルの設定に失敗しました"},
                      FatalRow{"IDirectInput::CreateDevice:Keyboard", -1, "キーボードデバイスの取得に失敗しました"},
                      FatalRow{"IDirectInputDevice::SetDataFormat:Keyboard", -1,
                               "キーボードデバイスのデータ形式の設定に失敗しました"},
                      FatalRow{"IDirectInputDevice::SetCooperativeLevel:Keyboard", -1,
                               "キーボードデバイスの協調レベルの設定に失敗しました"},
                      FatalRow{"IDirectInputDevice::Acquire:Keyboard", 2, "キーボードデバイスの取得に失敗しました"}),
    [](const auto& info) {
        std::string name = info.param.seam;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST_F(InputTest, KeyboardAcquireIsTriedTwice) {
    seams::FailCall("IDirectInputDevice::Acquire:Keyboard", 1);
    EXPECT_EQ(InitializeInput(), 0);
    EXPECT_NE(g_input.keyboard, nullptr);
}

TEST_F(InputTest, RefusedKeyboardEventFailsTheStartButKeepsTheDevicesUntilTheEnd) {
    seams::FailCall("IDirectInputDevice::SetEventNotification:Keyboard", -1, S_FALSE);
    EXPECT_EQ(InitializeInput(), -1);
    EXPECT_EQ(input::g_startupGuard, 0);
    EXPECT_EQ(g_input.keyboardEvent, nullptr);
    EXPECT_NE(g_input.keyboard, nullptr);
    EXPECT_NE(g_input.mouse, nullptr);
    TerminateInput();
    EXPECT_EQ(dinput::LiveDeviceCount(), 0);
}

TEST_F(InputTest, APolledKeyboardCountsAsSetUp) {
    seams::FailCall("IDirectInputDevice::SetEventNotification:Keyboard", -1, DI_POLLEDDEVICE);
    EXPECT_EQ(InitializeInput(), 0);
}

TEST_F(InputTest, RefusedKeyboardBufferIsOnlyLogged) {
    std::string log = CaptureLog([] {
        seams::FailCall("IDirectInputDevice::SetProperty:Keyboard");
        EXPECT_EQ(InitializeInput(), 0);
    });
    EXPECT_NE(log.find("キーボードのプロパティ設定に失敗しました"), std::string::npos);
}

}  // namespace
}  // namespace input_test
