// The player's input as the scenes read it: held-frame counters for the mouse
// buttons and pad 1's directions, refreshed by PollMouse / PollPad once per
// frame (each call advances the counters once).
//
// Held-frame counter: -1 while the input is up, 0 in the first polled frame in
// which it is down, then 1, 2, ... while it stays down. A click is a press
// inside something with the counter at 0.
#pragma once

#include <cstdint>

struct MouseState {
    int32_t x = 0;  // pointer position on the 320x240 logical screen
    int32_t y = 0;
    int32_t leftHeld = -1;
    int32_t rightHeld = -1;
};
extern MouseState g_mouse;

inline constexpr int32_t kPadEntries = 32;
inline constexpr int32_t kPadEntryLeft = 0;
inline constexpr int32_t kPadEntryRight = 1;
inline constexpr int32_t kPadEntryUp = 2;
inline constexpr int32_t kPadEntryDown = 3;

struct PadTable {
    int32_t held[kPadEntries];
    int32_t mask[kPadEntries];  // the pad-state bit each entry follows; negative: never pressed
    PadTable();  // the state ResetPadTable sets
};
extern PadTable g_pads;

// Position (halved in the 640x480 modes) and the left and right buttons.
void PollMouse();
// Pad 1 with the keys mapped to it.
void PollPad();
// Every counter -1; entries 0 to 3 follow left, right, up and down.
void ResetPadTable();

// The counter after one more poll: +1 while down (never past INT32_MAX), -1 while up.
int32_t AdvanceHeldCounter(int32_t counter, bool down);
