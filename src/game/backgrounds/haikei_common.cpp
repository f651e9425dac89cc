// The background factory and the drawing helpers the backgrounds share.
#include "game/backgrounds/haikei.h"

#include "game/game_draw.h"
#include "game/library_calls.h"
#include "game/resources.h"

Haikei* CreateBackground(int32_t code) {
    switch (code) {
        case 0: return new Haikei0(0, 0, 0);
        case 1: return new Haikei1(0, 0);
        case 2: return new Haikei2(0, 0, 0);
        case 3: return new Haikei3(0);
        case 4: return new Haikei4(0);
        case 10: return new Haikei0(1, 1, 0);
        case 11: return new Haikei1(0, 1);
        case 12: return new Haikei2(1, 2, 0);
        case 14: return new Haikei4(1);
        case 20: return new Haikei0(2, 2, 0);
        case 22: return new Haikei2(2, 1, 0);
        case 30: return new Haikei0(0, 0, 1);
        case 32: return new Haikei2(3, 1, 0);
        case 40: return new Haikei0(2, 2, 1);
        case 42: return new Haikei2(0, 0, 1);
        case 52: return new Haikei2(4, 2, 0);
        default: return nullptr;
    }
}

void FillBackground(uint32_t colour) {
    GameCalls().drawRectangle(0, 0, kScreenWidth, kScreenHeight, colour, 1);
}

void DrawBackgroundCell(int32_t index, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h) {
    DrawImageCell(x, y, sx, sy, w, h, ImageHandle(kImageBackground0 + index));
}
