// The game's random numbers: one generator shared by every caller, never
// seeded by the game, so every run starts from seed 1 and two runs that pass
// through the same scenes in the same order draw the same numbers.
#pragma once

#include <cstdint>

inline constexpr int32_t kGameRandMax = 0x7fff;

// next = seed x 214013 + 2531011; the result is bits 16 to 30 of the new seed.
int32_t GameRand();
// Sets the seed (tests; the game itself never calls it).
void SeedGameRand(uint32_t seed);
