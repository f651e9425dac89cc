// Y'CbCr to RGB: the fixed-point tables (14 fractional bits, 1.0 = 16384)
// for 4:2:0 frames, and the floating-point formula for the other layouts.
#include "movie/theora_decoder.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kClipLow = -512;
constexpr int32_t kClipSize = 1280;  // indexes -512 .. 767

struct YuvTables {
    uint8_t clip[kClipSize];
    int32_t y[256];
    int32_t crToRed[256];
    int32_t cbToGreen[256];
    int32_t crToGreen[256];
    int32_t cbToBlue[256];
};

YuvTables g_tables;

inline uint8_t Clip(int32_t value) { return g_tables.clip[value - kClipLow]; }

inline uint8_t* Row(PixelImage* image, int32_t y) {
    return static_cast<uint8_t*>(image->pixels) + static_cast<intptr_t>(y) * image->pitch;
}

inline void Store(uint8_t* pixel, uint8_t red, uint8_t green, uint8_t blue) {
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
    pixel[3] = 255;
}

// One pixel through the tables: its Y value and the block's chroma products.
inline void StoreTable(uint8_t* pixel, uint8_t luma, int32_t red, int32_t green, int32_t blue) {
    const int32_t y = g_tables.y[luma];
    Store(pixel, Clip((y + red) / 16384), Clip((y + green) / 16384), Clip((y + blue) / 16384));
}

// Each pixel takes the chroma sample of its 2x2 block of the coded frame; the
// picture may start on an odd luma sample, so blocks are found per pixel.
void Convert420(const YuvPlanes& p, PixelImage* image, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        const int32_t sy = p.pictureY + y;
        const uint8_t* luma = p.y + static_cast<intptr_t>(sy) * p.yStride;
        const uint8_t* u = p.u + static_cast<intptr_t>(sy / 2) * p.uvStride;
        const uint8_t* v = p.v + static_cast<intptr_t>(sy / 2) * p.uvStride;
        uint8_t* out = Row(image, y);
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = p.pictureX + x;
            const int32_t cb = u[sx / 2], cr = v[sx / 2];
            StoreTable(out + x * 4, luma[sx], g_tables.crToRed[cr], g_tables.cbToGreen[cb] + g_tables.crToGreen[cr],
                       g_tables.cbToBlue[cb]);
        }
    }
}

inline uint8_t ClampChannel(double value) {
    const int32_t v = static_cast<int32_t>(value);  // toward zero
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

// Other layouts (4:2:2, 4:4:4): each pixel takes the chroma sample that covers
// it, wherever the planes' sizes put it.
void ConvertOther(const YuvPlanes& p, PixelImage* image, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y) {
        const int32_t sy = p.pictureY + y;
        const uint8_t* luma = p.y + static_cast<intptr_t>(sy) * p.yStride;
        const int32_t cy = static_cast<int32_t>(static_cast<int64_t>(sy) * p.uvHeight / p.yHeight);
        const uint8_t* u = p.u + static_cast<intptr_t>(cy) * p.uvStride;
        const uint8_t* v = p.v + static_cast<intptr_t>(cy) * p.uvStride;
        uint8_t* out = Row(image, y);
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = p.pictureX + x;
            const int32_t cx = static_cast<int32_t>(static_cast<int64_t>(sx) * p.uvWidth / p.yWidth);
            const double yy = 1.164 * (luma[sx] - 16);
            const double cb = u[cx] - 128.0, cr = v[cx] - 128.0;
            Store(out + x * 4, ClampChannel(yy + 1.596 * cr), ClampChannel(yy - 0.391 * cb - 0.813 * cr),
                  ClampChannel(yy + 2.018 * cb));
        }
    }
}

}  // namespace

int InitYuvTables() {
    for (int32_t i = 0; i < kClipSize; ++i) {
        const int32_t value = i + kClipLow;
        g_tables.clip[i] = static_cast<uint8_t>(std::clamp(value, 0, 255));
    }
    for (int32_t k = 0; k < 256; ++k) {
        g_tables.y[k] = 19070 * (k - 16);
        g_tables.crToRed[k] = 26148 * (k - 128);
        g_tables.cbToGreen[k] = -6406 * (k - 128);
        g_tables.crToGreen[k] = -13320 * (k - 128);
        g_tables.cbToBlue[k] = 33062 * (k - 128);
    }
    return 0;
}

void ConvertYuvToImage(const YuvPlanes& planes, PixelImage* image) {
    if (image == nullptr || image->pixels == nullptr || planes.y == nullptr || planes.u == nullptr ||
        planes.v == nullptr || planes.yWidth <= 0 || planes.yHeight <= 0 || planes.uvWidth <= 0 ||
        planes.uvHeight <= 0 || planes.pictureX < 0 || planes.pictureY < 0 || planes.pictureX >= planes.yWidth ||
        planes.pictureY >= planes.yHeight) {
        return;
    }
    // The picture's rectangle, cut to the image and to the planes.
    const int32_t width = std::min(image->width, planes.yWidth - planes.pictureX);
    const int32_t height = std::min(image->height, planes.yHeight - planes.pictureY);
    if (planes.yWidth == 2 * planes.uvWidth && planes.yHeight == 2 * planes.uvHeight)
        Convert420(planes, image, width, height);
    else
        ConvertOther(planes, image, width, height);
}
