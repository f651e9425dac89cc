// Whole frames on the software path, headless: the library started with a
// 640x480 window (SDL's dummy video driver) showing a 320x240 screen doubled,
// each frame drawn with the draws the puzzle scene makes and presented.
//
//   frame/puzzle/<bits>     background, cursor frame, 40 stones with stems,
//                           24 additive particles, buttons, text, pointer
//   frame/fireworks/<bits>  background, 128 additive firework particles, the
//                           full-screen additive flash, buttons, pointer
//   present/<bits>          PresentScreen alone (the doubled copy and show)
#include "core/library.h"
#include "graphics/graphics.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMagenta = 0xFFFF00FF;

struct Images {
    int32_t background = -1, sprites = -1;
};

// A 320x240 background of soft gradients and a 96x96 sheet of 12x12 and
// 24x24 cells, discs on magenta, as the game's art has.
std::vector<uint32_t> BackgroundPixels() {
    std::vector<uint32_t> p(320 * 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) p[y * 320 + x] = 0xFF000000u | uint32_t(x * 3 / 4) << 16 | uint32_t(y) << 8 | 90u;
    return p;
}

std::vector<uint32_t> SheetPixels() {
    std::vector<uint32_t> p(96 * 96, kMagenta);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x) {
            const int size = y < 48 ? 24 : 12;
            const int cx = x % size, cy = y % size, r = size / 2;
            const int dx = 2 * cx - size + 1, dy = 2 * cy - size + 1;
            if (dx * dx + dy * dy <= (2 * r - 1) * (2 * r - 1)) p[y * 96 + x] = 0xFF000000u | uint32_t(x * 2) << 16 | 0x8040u;
        }
    return p;
}

Images LoadImages() {
    Images images;
    char folder[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0) return images;
    const std::string base = std::string(folder) + "velumi_frame_bench_" + std::to_string(GetCurrentThreadId());
    const std::string backgroundPath = base + "_bg.png", sheetPath = base + "_sheet.png";
    const std::vector<uint32_t> background = BackgroundPixels(), sheet = SheetPixels();
    if (WritePngFile(platform::PathToNative(backgroundPath.c_str()).c_str(), background.data(), 320, 240, 0) == 0 &&
        WritePngFile(platform::PathToNative(sheetPath.c_str()).c_str(), sheet.data(), 96, 96, 0) == 0) {
        images.background = LoadImageFile(backgroundPath.c_str(), 0);
        images.sprites = LoadImageFile(sheetPath.c_str(), 0);
    }
    DeleteFileA(backgroundPath.c_str());
    DeleteFileA(sheetPath.c_str());
    return images;
}

// The buttons, a line of text as 8x8 glyph cells, and the pointer.
void DrawInterface(const Images& im) {
    SetBlendMode(0, 255);
    for (int b = 0; b < 6; ++b) {
        DrawRectangle(4 + b * 52, 222, 52 + b * 52, 238, MakeColor(40, 40, 60), 1);
        DrawRectangle(4 + b * 52, 222, 52 + b * 52, 238, MakeColor(255, 255, 255), 0);
    }
    for (int g = 0; g < 40; ++g) DrawImageRect(4 + g * 7, 2, (g % 8) * 12, 48, 8, 8, im.sprites, 1, 0);
    DrawImageRect(150, 100, 0, 0, 24, 24, im.sprites, 1, 0);
}

void DrawPuzzleFrame(const Images& im, int frame) {
    ClearDrawTarget(nullptr);
    SetBlendMode(0, 255);
    DrawImage(0, 0, im.background, 0);
    for (int i = 0; i < 8; ++i) DrawImageRect(100 + 12 * i, 90, 0, 60, 12, 2, im.sprites, 1, 0);
    for (int s = 0; s < 40; ++s) {
        const int x = 12 + (s % 12) * 24, y = 20 + (s / 12) * 48;
        DrawImageRect(x, y, (s % 4) * 24, (s / 4 % 2) * 24, 24, 24, im.sprites, 1, 0);
        DrawImageRect(x, y + 24, 0, 72, 24, 12, im.sprites, 1, 0);
    }
    for (int p = 0; p < 24; ++p) {
        SetBlendMode(2, 255 - p * 8);
        DrawImageRect(40 + p * 10 + frame % 7, 60 + (p * 37) % 120, (p % 8) * 12, 60, 12, 12, im.sprites, 1, 0);
    }
    DrawInterface(im);
}

void DrawFireworksFrame(const Images& im, int frame) {
    ClearDrawTarget(nullptr);
    SetBlendMode(0, 255);
    DrawImage(0, 0, im.background, 0);
    for (int p = 0; p < 128; ++p) {
        SetBlendMode(2, 255 - (p + frame) % 200);
        const int ring = 20 + (p % 3) * 30 + frame % 10;
        const int x = 160 + ring * ((p * 7) % 17 - 8) / 8, y = 120 + ring * ((p * 5) % 13 - 6) / 6;
        DrawImageRect(x, y, (p % 4) * 12, 60, 12, 12, im.sprites, 1, 0);
    }
    SetBlendMode(2, 96);
    DrawRectangle(0, 0, 320, 240, MakeColor(255, 255, 255), 1);
    DrawInterface(im);
}

class Library {
public:
    explicit Library(int bits) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        seams::SetNoWait(true);
        EnableLogOutput(0);
        ChangeWindowMode(1);
        SetScreenMode(640, 480, bits, 60);
        SetEmulate320x240(1);
        started_ = InitLibrary() == 0;
        if (!started_) return;
        SetDrawTarget(kDrawTargetBack);
        SetTransparentColor(255, 0, 255);
        images_ = LoadImages();
    }
    ~Library() {
        if (started_) EndLibrary();
        seams::SetNoWait(false);
    }
    bool Ready() const { return started_ && images_.background != -1 && images_.sprites != -1; }
    const Images& images() const { return images_; }

private:
    bool started_ = false;
    Images images_;
};

template <typename Draw>
void RunFrames(benchmark::State& state, Draw draw) {
    Library library(static_cast<int>(state.range(0)));
    if (!library.Ready()) {
        state.SkipWithError("the library did not start headless");
        return;
    }
    int frame = 0;
    for (auto _ : state) {
        PumpMessages();
        draw(library.images(), frame++);
        PresentScreen();
    }
}

void BM_PuzzleFrame(benchmark::State& state) { RunFrames(state, DrawPuzzleFrame); }
void BM_FireworksFrame(benchmark::State& state) { RunFrames(state, DrawFireworksFrame); }
void BM_Present(benchmark::State& state) {
    RunFrames(state, [](const Images&, int) {});
}

BENCHMARK(BM_PuzzleFrame)->Name("frame/puzzle")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FireworksFrame)->Name("frame/fireworks")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Present)->Name("present")->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
