// Haikei3 (a tiled wall moving one pixel left every 6 frames) and Haikei4 (a
// grid of cells that blink in turn over a checkerboard moving one pixel up
// and left every 4 frames).
#include "game/backgrounds/haikei.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kWallImage = 3;  // image slot 103
constexpr int32_t kGridImage = 4;  // image slot 104
constexpr int32_t kWallTile = 22;

}  // namespace

void Haikei3::Start() {
    colour = MakeColor(0, 0, 0);
    frameCount = 0;
}

void Haikei3::Draw() {
    FillBackground(colour);
    const int32_t s = (frameCount / 6) % kWallTile;
    for (int32_t y = -14; y < kScreenHeight; y += kWallTile) {
        for (int32_t x = -14 - s; x < kScreenWidth; x += kWallTile)
            DrawBackgroundCell(kWallImage, x, y, 0, 48, kWallTile, kWallTile);
    }
}

void Haikei4::Start() {
    colour = MakeColor(0, 0, 16);
    frameCount = 0;
}

void Haikei4::Draw() {
    FillBackground(colour);
    // Each cell plays four frames of 7 frames each, then rests for 32;
    // neighbouring cells are half a cycle apart.
    for (int32_t r = 0, y = -12; y < kScreenHeight; ++r, y += 24) {
        for (int32_t c = 0; c < 14; ++c) {
            const int32_t p = (r + c) % 2;
            const int32_t t = (frameCount + 30 * p) % 60;
            if (t < 28) DrawBackgroundCell(kGridImage, 24 * c, y, 24 * (t / 7 + 4), 24 * p, 24, 24);
        }
    }
    const int32_t s = (frameCount / 4) % 96;
    for (int32_t r2 = 0, y = -s; y < kScreenHeight; ++r2, y += 48) {
        for (int32_t k = 0, x = -s; x < kScreenWidth; ++k, x += 48) {
            if ((r2 + k) % 2 == 0) DrawBackgroundCell(kGridImage, x, y, 48 * (r2 % 2), 48, 48, 48);
        }
    }
}
