// Haikei2: sprites flying leftwards at 0.5 to 0.9 pixels per frame between a
// far strip that always scrolls and a near strip that scrolls when asked; a
// sprite that leaves on the left comes back from beyond the right edge.
#include <algorithm>

#include "game/backgrounds/haikei.h"
#include "game/board/game_rand.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kImage = 2;  // image slot 102
constexpr int32_t kStripWidth = 48;

double NewSpeed() { return (-5 - GameRand() % 5) * 0.1; }

}  // namespace

Haikei2::Haikei2(int32_t group_, int32_t variant_, int32_t scroll_)
    : group(group_), variant(std::clamp(variant_, 0, 2)), scroll(scroll_) {}

void Haikei2::Start() {
    skyColour = variant == 1 ? MakeColor(0, 0, 0) : MakeColor(160, 192, 255);
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        x[i] = GameRand() % 320;
        y[i] = GameRand() % 240;
        dx[i] = NewSpeed();
        dy[i] = 0.0;
        counter[i] = GameRand() % 100 + 1;
    }
    frameCount = 0;
}

void Haikei2::Update() {
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        x[i] += dx[i];
        y[i] += dy[i];
        if (x[i] < -32.0) {
            x[i] = 352 + GameRand() % 128;
            dx[i] = NewSpeed();
            y[i] = GameRand() % 240;
        }
        counter[i] += 1;
    }
    frameCount += 1;
}

void Haikei2::Draw() {
    FillBackground(skyColour);
    const int32_t far = (frameCount / 5) % kStripWidth;
    for (int32_t sx = -far; sx < kScreenWidth; sx += kStripWidth)
        DrawBackgroundCell(kImage, sx, 112, 96 * variant + 48, 48, kStripWidth, 80);
    for (int32_t i = 0; i < kHaikeiSprites; ++i) {
        const int32_t f = (counter[i] / 4) % 3;
        DrawBackgroundCell(kImage, static_cast<int32_t>(x[i] - 6.0), static_cast<int32_t>(y[i] - 6.0),
                           24 * (4 * variant + f), 0, 24, 24);
    }
    const int32_t near = scroll == 1 ? (frameCount / 3) % kStripWidth : 0;
    for (int32_t sx = -near; sx < kScreenWidth; sx += kStripWidth)
        DrawBackgroundCell(kImage, sx, 160, 96 * variant, 48, kStripWidth, 80);
}
