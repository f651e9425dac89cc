#include "game/polling.h"

#include "game/game_main.h"
#include "game/library_calls.h"
#include "input/input.h"

#include <climits>

int32_t AdvanceHeldCounter(int32_t counter, bool down) {
    if (!down) return -1;
    return counter == INT32_MAX ? counter : counter + 1;
}

void PollMouse() {
    const GameLibraryCalls& calls = GameCalls();
    int32_t x = 0, y = 0;
    calls.getMousePosition(&x, &y);
    if (ScreenDoubled == 1) {
        x /= 2;
        y /= 2;
    }
    g_mouse.x = x;
    g_mouse.y = y;
    const int32_t buttons = calls.getMouseButtons();
    g_mouse.leftHeld = AdvanceHeldCounter(g_mouse.leftHeld, (buttons & kMouseLeft) != 0);
    g_mouse.rightHeld = AdvanceHeldCounter(g_mouse.rightHeld, (buttons & kMouseRight) != 0);
}

void PollPad() {
    const int32_t state = GameCalls().getPadState(kPadWithKeyMap | 1);
    for (int32_t i = 0; i < kPadEntries; ++i) {
        const bool pressed = g_pads.mask[i] >= 0 && (state & g_pads.mask[i]) != 0;
        g_pads.held[i] = AdvanceHeldCounter(g_pads.held[i], pressed);
    }
}

PadTable::PadTable() {
    for (int32_t i = 0; i < kPadEntries; ++i) {
        held[i] = -1;
        mask[i] = -1;
    }
    mask[kPadEntryLeft] = kPadLeft;
    mask[kPadEntryRight] = kPadRight;
    mask[kPadEntryUp] = kPadUp;
    mask[kPadEntryDown] = kPadDown;
}

void ResetPadTable() { g_pads = PadTable{}; }
