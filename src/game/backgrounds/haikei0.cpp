// Haikei0: sprites falling slowly over a ground strip, in one of three colour
// sets; near sprites fall at 0.6 pixels per frame, far ones at 0.3.
#include <algorithm>

#include "game/backgrounds/haikei.h"
#include "game/board/game_rand.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kImage = 0;  // image slot 100
constexpr int32_t kStripWidth = 32;

uint32_t SkyColour(int32_t variant) {
    switch (variant) {
        case 0: return MakeColor(127, 151, 255);
        case 1: return MakeColor(160, 192, 255);
        default: return MakeColor(208, 208, 255);
    }
}

}  // namespace

Haikei0::Haikei0(int32_t variant_, int32_t group_, int32_t scroll_)
    : variant(std::clamp(variant_, 0, 2)), group(group_), scroll(scroll_), frameCount(0) {}

void Haikei0::Start() {
    skyColour = SkyColour(variant);
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        layer[i] = GameRand() % 2;
        x[i] = GameRand() % 320;
        y[i] = GameRand() % 240;
        counter[i] = GameRand() % 100 + 1;
    }
}

void Haikei0::Update() {
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        y[i] += (2 - layer[i]) * 0.3;
        if (y[i] > 272.0) {
            y[i] = -32.0;
            x[i] = GameRand() % 320;
            layer[i] = GameRand() % 2;
        }
        counter[i] += 1;
        if (variant == 2) counter[i] += 1;
    }
    frameCount += 1;
}

void Haikei0::Draw() {
    FillBackground(skyColour);
    const int32_t s = scroll == 1 ? (frameCount / 4) % kStripWidth : 0;
    for (int32_t sx = -s; sx < kScreenWidth; sx += kStripWidth)
        DrawBackgroundCell(kImage, sx, 144, 72 * variant, 32, kStripWidth, 96);
    const int32_t frames = 3 + variant / 2;
    for (int32_t pass = 1; pass >= 0; --pass) {  // far sprites first
        for (int32_t i = 0; i < kHaikeiSprites; ++i) {
            if (layer[i] != pass) continue;
            const int32_t f = (counter[i] / 8) % frames;
            const int32_t cell = pass == 0 ? 6 * variant + f : 6 * variant + 3 + variant / 2 + f;
            DrawBackgroundCell(kImage, static_cast<int32_t>(x[i] - 6.0), static_cast<int32_t>(y[i] - 16.0), 12 * cell,
                               0, 12, 32);
        }
    }
}
