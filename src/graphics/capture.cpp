// Frame capture: the picture the main window shows, written to a PNG file on
// request or at a chosen present.
#include "core/library.h"
#include "core/log.h"
#include "graphics/graphics_internal.h"
#include "platform/gdi32/gdi32.h"
#include "core/utility.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultCaptureFile = "capture.png";

// Writes the rows with libpng; false on any failure (the file is left to the caller).
bool WritePngRows(FILE* file, const uint32_t* pixels, int32_t width, int32_t height, bool withAlpha) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    const int channels = withAlpha ? 4 : 3;
    std::vector<png_byte> row(static_cast<size_t>(width) * channels);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* in = pixels + static_cast<size_t>(y) * width;
        for (int32_t x = 0; x < width; ++x) {
            png_byte* out = &row[static_cast<size_t>(x) * channels];
            out[0] = static_cast<png_byte>(in[x] >> 16);
            out[1] = static_cast<png_byte>(in[x] >> 8);
            out[2] = static_cast<png_byte>(in[x]);
            if (withAlpha) out[3] = static_cast<png_byte>(in[x] >> 24);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

int WritePngFile(const char* path, const uint32_t* pixels, int32_t width, int32_t height, int32_t withAlpha) {
    if (path == nullptr || path[0] == '\0' || pixels == nullptr || width < 1 || height < 1 || width > 0x7FFF ||
        height > 0x7FFF) {
        return WriteLog("PNG ファイルに書き出す画像が不正です in WritePngFile\n");
    }
    std::string temporary = std::string(path) + ".tmp";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return WriteLogFormatted("ファイル %s を作成できませんでした in WritePngFile", path);
    bool written = WritePngRows(file, pixels, width, height, withAlpha != 0);
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path) != 0) {
        std::remove(temporary.c_str());
        return WriteLogFormatted("ファイル %s の書き出しに失敗しました in WritePngFile", path);
    }
    return 0;
}

int SaveScreenToPng(const char* path) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    HWND hwnd = GetMainWindow();
    if (hwnd == nullptr || !platform::ReadWindowPicture(hwnd, &pixels, &width, &height) || width < 1 ||
        height < 1) {
        return WriteLog("ウインドウの画像を取得できませんでした in SaveScreenToPng\n");
    }
    return WritePngFile(path, pixels.data(), width, height, 0);
}

int SetFrameCapture(int32_t frame, const char* path) {
    GraphicsSettings& g = Settings();
    if (frame <= 0) {
        g.captureFrame = 0;
        return 0;
    }
    const char* name = path != nullptr && path[0] != '\0' ? path : kDefaultCaptureFile;
    if (CopyText(g.capturePath, sizeof g.capturePath, name) + 1 >= sizeof g.capturePath) {
        g.captureFrame = 0;
        return WriteLog("キャプチャファイル名が長すぎます in SetFrameCapture\n");
    }
    g.captureFrame = frame;
    return 0;
}

void ReadCaptureEnvironment() {
    const char* frame = std::getenv("VELUMI_CAPTURE_FRAME");
    if (frame == nullptr || frame[0] == '\0') return;
    char* end = nullptr;
    long value = std::strtol(frame, &end, 10);
    if (*end != '\0' || value <= 0 || value > 0x7FFFFFFF) {
        WriteLogFormatted("VELUMI_CAPTURE_FRAME の値 %s は使えません", frame);
        return;
    }
    SetFrameCapture(static_cast<int32_t>(value), std::getenv("VELUMI_CAPTURE_FILE"));
}

void CountPresent() {
    ScreenState& s = Screen();
    s.presentCount++;
    GraphicsSettings& g = Settings();
    if (g.captureFrame <= 0 || s.presentCount != g.captureFrame) return;
    g.captureFrame = 0;
    if (SaveScreenToPng(g.capturePath) == 0) WriteLogFormatted("画面を %s に保存しました", g.capturePath);
}
