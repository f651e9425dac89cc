// The lookup tables of the software pixel routines, filled once at graphics
// start-up by InitMemImgTables (the drawing routines also fill them on first
// use when nobody has).
#pragma once

#include <cstdint>

struct MemImgBlendTables {
    // S[b][i] = b x i / 255, rounded toward zero.
    uint32_t scale[256][256];
    // T[p][255 + x] = p x x / 255 rounded toward zero, x from -255 to 255
    // (entry 511 of each row is 0 and unused).
    int32_t difference[256][512];
    // L[a][b][c] = (a x b + (63 - a) x c) / 63.
    uint8_t mix6[64][64][64];
    // Blend value of each blend-image byte (BuildBlendImageRamp).
    uint8_t blendImageRamp[256];
};

extern MemImgBlendTables g_memImgTables;

// Fills S, T and L, and the ramp as BuildBlendImageRamp(0, 0) makes it.
void InitMemImgTables();
// 1 once InitMemImgTables has run.
int AreMemImgTablesReady();
// Fills the blend-image ramp from the border parameter p and the border range
// n: k = n + 1, step = 65536 / k, base = 256 - ((step + 256) x p) / 256, and
// entry i = (256 x i) / k + base, limited to 0 to 255 (divisions rounding
// toward zero). A range below 0 is taken as 0.
void BuildBlendImageRamp(int32_t borderParameter, int32_t borderRange);

// Row of S for b, and row of T for p addressed at its entry for x = 0.
inline const uint32_t* ScaleRow(uint32_t b) { return g_memImgTables.scale[b & 0xFF]; }
inline const int32_t* DifferenceRow(uint32_t p) { return g_memImgTables.difference[p & 0xFF] + 255; }
