// A small program on the library: it starts the library with a window,
// loads two PNG images (written at start into a temporary folder), and each
// frame draws them in every blend mode, mirrored and stretched, on a 320x240
// screen shown doubled in a 640x480 window, until the window is closed or
// Escape is pressed. Key, pad and mouse state appear in the title; a left
// click plays a sound effect, and a looping stream hums in the background.
//
//   example [--frames N] [--full-screen] [--capture FILE.png] [--check] [--log]
//
// --frames N closes the window itself after N frames (also the environment
// variable EXAMPLE_CLOSE_AFTER_FRAMES); --capture writes the third frame as a
// PNG file; --check compares pixels of the third frame with what the draws
// must give and fails on a difference. The exit code is 0 when the library
// started, ended, and left no memory block behind.
#include "core/library.h"
#include "core/memory.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "sound/sound.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kMagenta = 0xFFFF00FF;
constexpr uint32_t kOrange = 0xFFF08020;
constexpr uint32_t kMarker = 0xFF202060;
constexpr int kBlendModes[] = {0, 1, 2, 3, 4, 10, 11};

struct Options {
    int closeAfterFrames = 0;
    bool fullScreen = false;
    bool log = false;
    bool check = false;
    std::string capturePath;
};

bool ParseOptions(int argc, char** argv, Options* options) {
    if (const char* frames = std::getenv("EXAMPLE_CLOSE_AFTER_FRAMES")) options->closeAfterFrames = std::atoi(frames);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            options->closeAfterFrames = std::atoi(argv[++i]);
        } else if (arg == "--full-screen") {
            options->fullScreen = true;
        } else if (arg == "--capture" && i + 1 < argc) {
            options->capturePath = argv[++i];
        } else if (arg == "--check") {
            options->check = true;
        } else if (arg == "--log") {
            options->log = true;
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--full-screen] [--capture FILE.png] [--check] [--log]\n",
                         argv[0]);
            return false;
        }
    }
    return true;
}

// A 16x16 sprite on magenta: an orange disc with a dark marker at its
// top-left, so that mirroring shows.
std::vector<uint32_t> SpritePixels() {
    std::vector<uint32_t> p(16 * 16, kMagenta);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            int dx = 2 * x - 15, dy = 2 * y - 15;
            if (dx * dx + dy * dy <= 15 * 15) p[y * 16 + x] = kOrange;
            if (x >= 3 && x < 7 && y >= 3 && y < 7) p[y * 16 + x] = kMarker;
        }
    return p;
}

// A 64x32 backdrop tile: two colour ramps.
std::vector<uint32_t> TilePixels() {
    std::vector<uint32_t> p(64 * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            p[y * 64 + x] = 0xFF000000u | uint32_t(40 + x * 2) << 16 | uint32_t(60 + y * 4) << 8 | 140u;
    return p;
}

// Writes the images into the temporary folder and loads them.
bool LoadImages(int32_t* sprite, int32_t* tile) {
    char folder[MAX_PATH];
    if (GetTempPathA(MAX_PATH, folder) == 0) return false;
    std::string base = std::string(folder) + "velumi_example_" + std::to_string(GetCurrentThreadId());
    std::string spritePath = base + "_sprite.png", tilePath = base + "_tile.png";
    std::vector<uint32_t> spritePixels = SpritePixels(), tilePixels = TilePixels();
    bool written = WritePngFile(platform::PathToNative(spritePath.c_str()).c_str(), spritePixels.data(), 16, 16, 0) == 0 &&
                   WritePngFile(platform::PathToNative(tilePath.c_str()).c_str(), tilePixels.data(), 64, 32, 0) == 0;
    if (written) {
        *sprite = LoadImageFile(spritePath.c_str(), 0);
        *tile = LoadImageFile(tilePath.c_str(), 0);
    }
    DeleteFileA(spritePath.c_str());
    DeleteFileA(tilePath.c_str());
    return written && *sprite != -1 && *tile != -1;
}

// A WAVE file in memory: a short "ping" (loop 0) or a soft two-note hum
// lasting two seconds that loops without a seam.
std::vector<uint8_t> MakeWave(bool hum) {
    const int rate = 22050;
    const int samples = hum ? rate * 2 : rate / 5;
    std::vector<int16_t> pcm(samples);
    for (int i = 0; i < samples; ++i) {
        double t = double(i) / rate;
        double v = hum ? 0.12 * std::sin(2 * M_PI * 110 * t) + 0.08 * std::sin(2 * M_PI * 165 * t)
                       : 0.5 * std::sin(2 * M_PI * 880 * t) * (1.0 - double(i) / samples);
        pcm[i] = int16_t(v * 32767);
    }
    auto put32 = [](std::vector<uint8_t>& b, uint32_t v) {
        for (int k = 0; k < 4; ++k) b.push_back(uint8_t(v >> (8 * k)));
    };
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    uint32_t dataBytes = uint32_t(samples * 2);
    put32(file, 36 + dataBytes);
    for (char c : std::string("WAVEfmt ")) file.push_back(uint8_t(c));
    put32(file, 16);
    const uint8_t format[] = {1, 0, 1, 0};  // PCM, mono
    file.insert(file.end(), format, format + 4);
    put32(file, rate);
    put32(file, rate * 2);
    const uint8_t align[] = {2, 0, 16, 0};
    file.insert(file.end(), align, align + 4);
    for (char c : std::string("data")) file.push_back(uint8_t(c));
    put32(file, dataBytes);
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
    file.insert(file.end(), bytes, bytes + dataBytes);
    return file;
}

void DrawFrame(int frame, int32_t sprite, int32_t tile) {
    ClearDrawTarget(nullptr);
    for (int y = 0; y < 240; y += 32)
        for (int x = 0; x < 320; x += 64) DrawImage(x, y, tile, 0);
    // The sprite in each blend mode over grey stripes.
    for (int i = 0; i < 7; ++i) {
        int x = 10 + i * 44;
        DrawRectangle(x - 3, 8, x + 22, 34, MakeColor(90, 90, 90), 1);
        DrawRectangle(x - 3, 8, x + 22, 34, MakeColor(255, 255, 255), 0);
        SetBlendMode(kBlendModes[i], 160);
        DrawImage(x + 1, 13, sprite, 1);
        SetBlendMode(0, 255);
    }
    // Plain and mirrored, stretched and upside down, and one that moves.
    DrawImageRect(20, 60, 0, 0, 16, 16, sprite, 1, 0);
    DrawImageRect(50, 60, 0, 0, 16, 16, sprite, 1, 1);
    DrawImageStretched(90, 50, 138, 98, sprite, 1);
    DrawImageStretched(150, 98, 198, 50, sprite, 1);
    SetDrawBrightness(120, 255, 160);
    DrawImage(10 + frame % 290, 200, sprite, 1);
    SetDrawBrightness(255, 255, 255);
}

// Pixels of the doubled window picture (logical coordinates) that the draws
// must give: the copy, a transparent corner, the mirrored marker.
bool CheckFrame() {
    const char* path = "example-check.png";
    if (SaveScreenToPng(path) != 0) return false;
    std::vector<uint32_t> shown;
    int width = 0, height = 0;
    bool ok = platform::ReadWindowPicture(GetMainWindow(), &shown, &width, &height) && width == 640 && height == 480;
    std::remove(path);
    if (!ok) return false;
    auto at = [&](int x, int y) { return shown[size_t(2 * y + 1) * 640 + size_t(2 * x + 1)] & 0xFFFFFF; };
    struct Expect {
        int x, y;
        uint32_t rgb;
    } expects[] = {
        {11 + 8, 13 + 8, 0xF08020},  // mode 0: the sprite as it is
        {11, 13, 0x5A5A5A},          // its magenta corner leaves the stripe
        {20 + 4, 60 + 4, 0x202060},  // the marker at the top-left ...
        {50 + 11, 60 + 4, 0x202060}, // ... and at the top-right when mirrored
    };
    for (const Expect& e : expects) {
        if (at(e.x, e.y) != e.rgb) {
            std::fprintf(stderr, "pixel (%d, %d) is %06x, not %06x\n", e.x, e.y, at(e.x, e.y), e.rgb);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return 2;
    EnableLogOutput(options.log ? 1 : 0);
    SetWindowTitle("ライブラリの例 (GameLib example)");
    ChangeWindowMode(options.fullScreen ? 0 : 1);
    SetScreenMode(640, 480, 32, 60);
    SetEmulate320x240(1);
    if (InitLibrary() != 0) {
        std::fprintf(stderr, "the library did not start\n");
        return 1;
    }
    SetDrawTarget(kDrawTargetBack);
    SetTransparentColor(255, 0, 255);
    int32_t sprite = -1, tile = -1;
    bool checked = true;
    if (!LoadImages(&sprite, &tile)) {
        std::fprintf(stderr, "the example images did not load\n");
        checked = false;
    }
    std::vector<uint8_t> pingFile = MakeWave(false), humFile = MakeWave(true);
    int32_t ping = CreateSoundFromImage(pingFile.data(), uint32_t(pingFile.size()), 3, -1);
    int32_t hum = CreateSoundFromImage(humFile.data(), uint32_t(humFile.size()), 1, -1);
    if (hum != -1) PlaySoundHandle(hum, 3, 1);

    int frame = 0;
    int32_t lastPad = -1, lastMouse = -1;
    while (checked && PumpMessages() == 0) {
        int32_t pad = GetPadState(0x1001), mouse = GetMouseButtons();
        if (pad != lastPad || mouse != lastMouse) {
            char title[96];
            std::snprintf(title, sizeof title, "pad 0x%08x mouse %d", static_cast<unsigned>(pad), mouse);
            SetWindowTitle(title);
            std::printf("%s\n", title);
            if ((mouse & 1) && !(lastMouse & 1) && ping != -1) PlaySoundHandle(ping, 1, 1);
            lastPad = pad;
            lastMouse = mouse;
        }
        if (pad & 0x10) StartPadVibration(1, 10000, 300);
        if (IsKeyDown(1)) PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);

        DrawFrame(frame, sprite, tile);
        PresentScreen();
        ++frame;
        if (frame == 3 && !options.capturePath.empty()) SaveScreenToPng(options.capturePath.c_str());
        if (frame == 3 && options.check && !CheckFrame()) checked = false;
        if (frame == options.closeAfterFrames) PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);
    }
    EndLibrary();
    uint32_t blocks = AllocatedBlockCount();
    std::printf("frames %d, memory blocks left %u%s\n", frame, blocks, checked ? "" : ", check failed");
    return blocks == 0 && checked ? 0 : 1;
}
