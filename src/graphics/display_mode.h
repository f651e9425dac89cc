// The display modes of a full screen: the list of the modes the display
// offers, and the change of the display to the screen's mode. The Direct3D 9
// start-up changes the mode where a full screen needs it; its end gives the
// desktop its mode back and frees the list.
#pragma once

#include <cstdint>

// One mode the display offers.
struct DisplayModeRecord {
    int32_t width;
    int32_t height;
    int32_t colorBits;
    int32_t refreshRate;
};

// A process-heap block of records (HeapAlloc on GetProcessHeap()), null until
// GetDisplayModeCount builds it.
struct DisplayModeList {
    DisplayModeRecord* modes = nullptr;
    int32_t count = 0;
};
DisplayModeList& DisplayModes();

// The number of modes the display offers, building the list on first use;
// -1 (logged) when its memory cannot be had.
int32_t GetDisplayModeCount();

// Changes the full-screen display mode to the screen's size, depth and
// refresh rate (again at any rate when that one is refused). A 320x240 screen
// runs on a 640x480 display with the 320x240 emulation switched on. 0, or -1
// (logged) for a depth other than 16 or 32 or a mode the display refuses.
int ChangeDisplayMode();
