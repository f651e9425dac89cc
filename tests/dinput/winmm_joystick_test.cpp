// The multimedia joystick calls over SDL joysticks: capabilities, positions,
// buttons and the ids and structures they refuse.
#include "platform/winmm/joystick.h"

#include "platform/sdl/sdl_joystick.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class Joysticks : public ::testing::Test {
protected:
    void TearDown() override {
        seams::ClearAllCalls();
        for (int32_t id : pads_) platform::sdl::DetachTestPad(id);
    }
    int32_t Attach(int axes, int buttons, int hats) {
        int32_t id = platform::sdl::AttachTestPad("Stick", axes, buttons, hats, false);
        EXPECT_GE(id, 0);
        pads_.push_back(id);
        return id;
    }
    static JOYINFOEX Position(UINT id, DWORD flags, MMRESULT expected = JOYERR_NOERROR) {
        JOYINFOEX info;
        std::memset(&info, 0xEE, sizeof info);
        info.dwSize = sizeof info;
        info.dwFlags = flags;
        EXPECT_EQ(joyGetPosEx(id, &info), expected);
        return info;
    }
    std::vector<int32_t> pads_;
};

TEST_F(Joysticks, CapabilitiesFollowTheAxesButtonsAndHats) {
    Attach(4, 10, 1);
    Attach(2, 40, 0);
    EXPECT_EQ(joyGetNumDevs(), 16u);
    JOYCAPSA caps;
    ASSERT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Stick");
    EXPECT_EQ(caps.wCaps & (JOYCAPS_HASZ | JOYCAPS_HASR | JOYCAPS_HASU), UINT{JOYCAPS_HASZ | JOYCAPS_HASR});
    EXPECT_NE(caps.wCaps & JOYCAPS_HASPOV, 0u);
    EXPECT_EQ(caps.wNumAxes, 4u);
    EXPECT_EQ(caps.wNumButtons, 10u);
    EXPECT_EQ(caps.wXmax, 65535u);
    ASSERT_EQ(joyGetDevCapsA(1, &caps, sizeof caps), JOYERR_NOERROR);
    EXPECT_EQ(caps.wCaps, 0u);
    EXPECT_EQ(caps.wNumButtons, 32u) << "no more than the mask holds";
    EXPECT_EQ(joyGetDevCapsA(2, &caps, sizeof caps), JOYERR_PARMS);
    EXPECT_EQ(joyGetDevCapsA(16, &caps, sizeof caps), JOYERR_PARMS);
    EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps - 1), MMSYSERR_INVALPARAM);
    EXPECT_EQ(joyGetDevCapsA(0, nullptr, sizeof caps), MMSYSERR_INVALPARAM);
}

TEST_F(Joysticks, PositionsButtonsAndPointOfView) {
    int32_t id = Attach(6, 33, 1);
    platform::sdl::SetTestPadAxis(id, 0, -32768);
    platform::sdl::SetTestPadAxis(id, 1, 32767);
    platform::sdl::SetTestPadAxis(id, 5, 100);
    platform::sdl::SetTestPadButton(id, 0, true);
    platform::sdl::SetTestPadButton(id, 31, true);
    platform::sdl::SetTestPadButton(id, 32, true);  // beyond the mask
    platform::sdl::SetTestPadHat(id, 0, 4);        // down
    JOYINFOEX info = Position(0, JOY_RETURNALL);
    EXPECT_EQ(info.dwXpos, 0u);
    EXPECT_EQ(info.dwYpos, 65535u);
    EXPECT_EQ(info.dwZpos, 32768u) << "centred";
    EXPECT_EQ(info.dwVpos, 32868u);
    EXPECT_EQ(info.dwButtons, 0x80000001u);
    EXPECT_EQ(info.dwButtonNumber, 2u);
    EXPECT_EQ(info.dwPOV, DWORD{JOY_POVBACKWARD});
    platform::sdl::SetTestPadHat(id, 0, 0);
    EXPECT_EQ(Position(0, JOY_RETURNPOV).dwPOV, DWORD{JOY_POVCENTERED});
}

TEST_F(Joysticks, AButtonPressedAndReleasedBetweenReadsReadsDownOnce) {
    int32_t id = Attach(2, 4, 0);
    Position(0, JOY_RETURNBUTTONS);  // opens the joystick
    struct Case {
        const char* what;
        std::vector<bool> changes;  // button 2 between two reads
        DWORD expected;
    };
    const Case cases[] = {
        {"no change", {}, 0},
        {"pressed and released", {true, false}, 0x4},
        {"after the latched read", {}, 0},
        {"held", {true}, 0x4},
        {"released", {false}, 0},
    };
    for (const Case& c : cases) {
        for (bool down : c.changes) ASSERT_TRUE(platform::sdl::SetTestPadButton(id, 2, down)) << c.what;
        EXPECT_EQ(Position(0, JOY_RETURNBUTTONS).dwButtons, c.expected) << c.what;
    }
}

TEST_F(Joysticks, OnlyTheFieldsAskedForAreWritten) {
    Attach(2, 2, 0);
    JOYINFOEX info = Position(0, JOY_RETURNX);
    EXPECT_EQ(info.dwXpos, 32768u);
    EXPECT_EQ(info.dwYpos, 0xEEEEEEEEu);
    EXPECT_EQ(info.dwButtons, 0xEEEEEEEEu);
}

TEST_F(Joysticks, RefusedIdsAndStructures) {
    Attach(2, 2, 0);
    Position(1, JOY_RETURNALL, JOYERR_UNPLUGGED);
    Position(16, JOY_RETURNALL, JOYERR_PARMS);
    JOYINFOEX info{};
    info.dwSize = sizeof info + 4;
    EXPECT_EQ(joyGetPosEx(0, &info), JOYERR_PARMS);
    EXPECT_EQ(joyGetPosEx(0, nullptr), MMSYSERR_INVALPARAM);
}

TEST_F(Joysticks, AnIdFollowsTheJoystickThatHoldsItNow) {
    int32_t first = Attach(2, 2, 0);
    int32_t second = Attach(2, 2, 0);
    platform::sdl::SetTestPadAxis(second, 0, 32767);
    Position(0, JOY_RETURNX);
    EXPECT_EQ(Position(1, JOY_RETURNX).dwXpos, 65535u);
    platform::sdl::DetachTestPad(first);
    pads_.erase(pads_.begin());
    EXPECT_EQ(Position(0, JOY_RETURNX).dwXpos, 65535u) << "the second joystick moved up to id 0";
    Position(1, JOY_RETURNX, JOYERR_UNPLUGGED);
}

TEST_F(Joysticks, SeamsFailWithTheChosenResult) {
    Attach(2, 2, 0);
    seams::FailCall("joyGetPosEx", 1, JOYERR_NOCANDO);
    Position(0, JOY_RETURNALL, JOYERR_NOCANDO);
    Position(0, JOY_RETURNALL, JOYERR_NOERROR);
    seams::FailCall("joyGetDevCapsA", 1);
    JOYCAPSA caps;
    EXPECT_EQ(joyGetDevCapsA(0, &caps, sizeof caps), JOYERR_UNPLUGGED);
}

}  // namespace
