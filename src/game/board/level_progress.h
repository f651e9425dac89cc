// Level numbers and the progress kept in a save slot.
#pragma once

#include <cstdint>

inline constexpr int32_t kFirstLevel = 1;
inline constexpr int32_t kLastLevel = 50;
// The levels after which the break scene comes (the ending after the last).
inline constexpr int32_t kBreakLevel = 20;

// A save slot's level as the game may use it: 0 (nothing cleared) to 50
// (all cleared). Save files hold any 32-bit value; a negative or larger one
// must not reach the level select's tables or the slot labels.
int32_t ClampSaveLevel(int32_t saveLevel);
// The slot's level after clearing `level`: the larger of the two, clamped.
int32_t RecordClearedLevel(int32_t saveLevel, int32_t level);
// True when clearing `level` leads to the break scene (after 20, and the
// ending after 50) rather than to the next level.
bool IsBreakAfterLevel(int32_t level);
// True when a level number names one of the level files ("01" to "50").
bool IsLevelNumber(int32_t level);
