// The wipe: a grid of 8 x 6 black 40x40 squares that covers (or uncovers) the
// 320x240 screen square by square when a scene changes; and the volume
// sliders of the title and level-select scenes.
#pragma once

#include <cstdint>

struct WipeState {
    uint8_t active = 0;    // 0 draws nothing
    int32_t counter = 0;   // the owner's frame counter
    uint8_t reveal = 0;    // 0 covering (squares appear as progress grows), 1 uncovering
    int32_t progress = 0;  // 0 to 48; from 36 every square is past its threshold
};

inline constexpr int32_t kWipeComplete = 48;

// The threshold of the square in (row 0..5, column 0..7):
// row / 2 + 3 column + 12 ((row + column) % 2), 0 to 35.
int32_t WipeThreshold(int32_t row, int32_t column);
// Draws the squares past (covering) or not yet past (uncovering) their
// threshold, opaque black in the current blend mode.
void DrawWipe(const WipeState& wipe);
// Starts a wipe: active, counter 0, progress 0; reveal 1 opens a scene, 0 closes it.
void StartWipe(WipeState& wipe, uint8_t reveal);
// One frame of a running wipe as the scenes advance it: progress =
// min(2 x counter, 48), then counter + 1. True while it is still running
// (active and progress below 48); false once complete or when not active.
bool StepWipe(WipeState& wipe);

struct VolumeSliders {
    uint8_t shown = 0;  // 0: neither handled nor drawn
    int32_t x = 0, y = 0;  // top-left corner
    int32_t steps = 0;     // segments per bar
    int32_t effectLevel = 0;  // 0 to steps, the upper bar
    int32_t musicLevel = 0;   // 0 to steps, the lower bar
};

// Shows the sliders at (x, y) with the levels of the current volumes (effects
// and music volume x steps, truncated).
void ShowVolumeSliders(VolumeSliders& sliders, int32_t x, int32_t y, int32_t steps);
// Once per frame with the pointer and the left button's held counter: a press
// or drag on a bar sets its level, a press on an icon mutes or unmutes it; a
// changed effect level sets the effect volume and plays effect 3, a changed
// music level sets the music volume. 1 while the pointer is over the widget.
int32_t UpdateVolumeSliders(VolumeSliders& sliders, int32_t pointerX, int32_t pointerY, int32_t leftHeld);
// Icons and segments from image slot 51.
void DrawVolumeSliders(const VolumeSliders& sliders);
