#include "softrender/draw_state.h"

DrawState g_drawState = {0, 0, 0, 0, kBlendNone, 255, 255, 255, 255, nullptr, 0, 0};

void ResetDrawState() {
    g_drawState = DrawState{0, 0, 0, 0, kBlendNone, 255, 255, 255, 255, nullptr, 0, 0};
}

void SetDrawStateArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    g_drawState.drawAreaLeft = left;
    g_drawState.drawAreaTop = top;
    g_drawState.drawAreaRight = right;
    g_drawState.drawAreaBottom = bottom;
}
