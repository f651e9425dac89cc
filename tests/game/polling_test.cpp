// Held-frame counters of the mouse buttons and pad entries, and positions
// halved in the doubled modes.
#include "game_test_util.h"

#include "input/input.h"

namespace game_test {
namespace {

class PollingTest : public GameTest {};

TEST_F(PollingTest, HeldCountersCountFramesDownAndResetWhenUp) {
    std::vector<int32_t> left, right;
    for (int32_t buttons : {1, 1, 1, 0, 1, 3, 2, 0}) {
        TheWorld().mouseButtons = buttons;
        PollMouse();
        left.push_back(g_mouse.leftHeld);
        right.push_back(g_mouse.rightHeld);
    }
    EXPECT_EQ(left, (std::vector<int32_t>{0, 1, 2, -1, 0, 1, -1, -1}));
    EXPECT_EQ(right, (std::vector<int32_t>{-1, -1, -1, -1, -1, 0, 1, -1}));
    EXPECT_EQ(AdvanceHeldCounter(INT32_MAX, true), INT32_MAX);
}

TEST_F(PollingTest, PositionsAreHalvedOnlyInTheDoubledModes) {
    TheWorld().mouseX = 639;
    TheWorld().mouseY = -3;
    PollMouse();
    EXPECT_EQ(std::make_pair(g_mouse.x, g_mouse.y), std::make_pair(319, -1));
    ScreenDoubled = 0;
    PollMouse();
    EXPECT_EQ(std::make_pair(g_mouse.x, g_mouse.y), std::make_pair(639, -3));
}

TEST_F(PollingTest, PadEntriesFollowPadOneWithItsKeys) {
    TheWorld().padState = kPadLeft | kPadUp;
    PollPad();
    PollPad();
    TheWorld().padState = -1;  // everything down: entries 4 to 31 follow nothing
    PollPad();
    EXPECT_EQ(CallsStartingWith("GetPadState").front(), "GetPadState(4097)");
    EXPECT_EQ((std::vector<int32_t>(g_pads.held, g_pads.held + 6)), (std::vector<int32_t>{2, 0, 2, 0, -1, -1}));
    EXPECT_EQ(g_pads.held[31], -1);
}

}  // namespace
}  // namespace game_test
