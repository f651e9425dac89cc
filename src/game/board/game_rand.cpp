#include "game/board/game_rand.h"

namespace {
uint32_t g_seed = 1;
}

int32_t GameRand() {
    g_seed = g_seed * 214013u + 2531011u;
    return static_cast<int32_t>((g_seed >> 16) & 0x7fff);
}

void SeedGameRand(uint32_t seed) { g_seed = seed; }
