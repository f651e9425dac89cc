// The smallest program on the library: it starts the library with a window,
// runs a frame loop on the message pump until the window is closed, and ends
// the library. Each frame shows a test picture through the GDI copy (a
// 320x240 picture doubled to the 640x480 window).
//
//   example [--frames N] [--full-screen] [--capture FILE.png] [--log]
//
// --frames N closes the window itself after N frames (also the environment
// variable EXAMPLE_CLOSE_AFTER_FRAMES); --capture writes the window's picture
// as a PNG file after the third frame. The exit code is 0 when the library
// started, ended, and left no memory block behind.
#include "core/library.h"
#include "core/memory.h"
#include "input/input.h"
#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

struct Options {
    int closeAfterFrames = 0;
    bool fullScreen = false;
    bool log = false;
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
        } else if (arg == "--log") {
            options->log = true;
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--full-screen] [--capture FILE.png] [--log]\n", argv[0]);
            return false;
        }
    }
    return true;
}

// A colour ramp with a bar that moves one pixel a frame.
void DrawTestPicture(std::vector<uint32_t>* pixels, int frame) {
    for (int y = 0; y < kPictureHeight; ++y) {
        for (int x = 0; x < kPictureWidth; ++x) {
            uint32_t r = static_cast<uint32_t>(x * 255 / (kPictureWidth - 1));
            uint32_t g = static_cast<uint32_t>(y * 255 / (kPictureHeight - 1));
            uint32_t b = (x / 16 + y / 16) % 2 ? 160 : 64;
            if ((x - frame) % kPictureWidth >= 0 && (x - frame) % kPictureWidth < 8) r = g = b = 255;
            (*pixels)[static_cast<size_t>(y) * kPictureWidth + x] = (r << 16) | (g << 8) | b;
        }
    }
}

void ShowPicture(const std::vector<uint32_t>& pixels) {
    HWND window = GetMainWindow();
    RECT client{};
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kPictureWidth;
    info.bmiHeader.biHeight = -kPictureHeight;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(window);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, kPictureWidth, kPictureHeight, pixels.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    ReleaseDC(window, dc);
}

bool WritePng(const std::string& path, const std::vector<uint32_t>& pixels, int width, int height) {
    std::vector<uint32_t> opaque(pixels);
    for (uint32_t& p : opaque) p |= 0xFF000000u;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    return png_image_write_to_file(&image, path.c_str(), 0, opaque.data(), width * 4, nullptr) != 0;
}

void Capture(const std::string& path) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (!platform::ReadWindowPicture(GetMainWindow(), &pixels, &width, &height) ||
        !WritePng(path, pixels, width, height))
        std::fprintf(stderr, "could not write %s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) return 2;
    EnableLogOutput(options.log ? 1 : 0);
    SetWindowTitle("ライブラリの例 (GameLib example)");
    ChangeWindowMode(options.fullScreen ? 0 : 1);
    if (InitLibrary() != 0) {
        std::fprintf(stderr, "the library did not start\n");
        return 1;
    }
    std::vector<uint32_t> picture(static_cast<size_t>(kPictureWidth) * kPictureHeight);
    int frame = 0;
    int32_t lastPad = -1, lastMouse = -1;
    while (PumpMessages() == 0) {
        // Keys, the keyboard-mapped pad 1 and the mouse buttons, shown in the
        // title and on stdout whenever they change; Escape ends as the game does.
        int32_t pad = GetPadState(0x1001), mouse = GetMouseButtons();
        if (pad != lastPad || mouse != lastMouse) {
            char title[96];
            std::snprintf(title, sizeof title, "pad 0x%08x mouse %d", static_cast<unsigned>(pad), mouse);
            SetWindowTitle(title);
            std::printf("%s\n", title);
            lastPad = pad;
            lastMouse = mouse;
        }
        if (pad & 0x10) StartPadVibration(1, 10000, 300);
        if (IsKeyDown(1)) PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);
        DrawTestPicture(&picture, frame);
        ShowPicture(picture);
        ++frame;
        if (frame == 3 && !options.capturePath.empty()) Capture(options.capturePath);
        if (frame == options.closeAfterFrames) PostMessageA(GetMainWindow(), WM_CLOSE, 0, 0);
        Sleep(16);
    }
    EndLibrary();
    uint32_t blocks = AllocatedBlockCount();
    std::printf("frames %d, memory blocks left %u\n", frame, blocks);
    return blocks == 0 ? 0 : 1;
}
