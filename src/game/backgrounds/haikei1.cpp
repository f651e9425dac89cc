// Haikei1: the night of the title, level-select and break scenes. Sprites
// drift down (animated) or rise (a still shape each) between a back and a
// front ground strip; near sprites move at 0.6 pixels per frame, far ones at
// 0.3, and wrap from one edge of the screen to the other.
#include "game/backgrounds/haikei.h"
#include "game/board/game_rand.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kImage = 1;  // image slot 101

}  // namespace

Haikei1::Haikei1(int32_t group_, int32_t rising_) : group(group_), rising(rising_) {}

void Haikei1::Start() {
    skyColour = MakeColor(0, 16, 32);
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        layer[i] = GameRand() % 2;
        x[i] = GameRand() % 320;
        y[i] = GameRand() % 240;
        shape[i] = GameRand() % 3;
        counter[i] = GameRand() % 100 + 1;
    }
}

void Haikei1::Update() {
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        y[i] += rising == 0 ? (2 - layer[i]) * 0.3 : (layer[i] - 2) * 0.3;
        if (y[i] > 272.0) {
            y[i] = -32.0;
            x[i] = GameRand() % 320;
            layer[i] = GameRand() % 2;
            shape[i] = GameRand() % 3;
        }
        if (y[i] < -32.0) {
            y[i] = 272.0;
            x[i] = GameRand() % 320;
            layer[i] = GameRand() % 2;
            shape[i] = GameRand() % 3;
        }
        counter[i] += 1;
    }
}

void Haikei1::Draw() {
    FillBackground(skyColour);
    for (int32_t sx = 0; sx < kScreenWidth; sx += 96) DrawBackgroundCell(kImage, sx, 192, 96, 32, 96, 96);
    auto drawSprites = [this](int32_t pass) {
        for (int32_t i = 0; i < kHaikeiSprites; ++i) {
            if (layer[i] != pass) continue;
            if (rising == 0) {
                const int32_t f = (counter[i] / 4) % 4;
                DrawBackgroundCell(kImage, static_cast<int32_t>(x[i] - 6.0), static_cast<int32_t>(y[i] - 16.0),
                                   12 * f + (pass == 1 ? 48 : 0), 0, 12, 32);
            } else {
                DrawBackgroundCell(kImage, static_cast<int32_t>(x[i] - 12.0), static_cast<int32_t>(y[i] - 18.0), 192,
                                   36 * shape[i], 24, 36);
            }
        }
    };
    drawSprites(1);
    for (int32_t sx = -48; sx < kScreenWidth; sx += 96) DrawBackgroundCell(kImage, sx, 208, 0, 32, 96, 96);
    drawSprites(0);
}
