// Pictures in main memory: creation, release, clearing, turning and single
// pixels.
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace image_internal {

void ClearPixelImageRecord(PixelImage* image) { std::memset(image, 0, sizeof(*image)); }

bool IsDecodeSizeAllowed(int64_t width, int64_t height, int bytesPerPixel) {
    if (width < 1 || height < 1 || width > kMaxDecodeDimension || height > kMaxDecodeDimension) return false;
    int64_t pitch = (width * bytesPerPixel + 3) & ~int64_t(3);
    return pitch * height <= kMaxDecodeBytes;
}

bool CreateDecodedImage(int width, int height, const ColorFormatInfo* format, PixelImage* out) {
    int bytes = format->dxtType ? 4 : format->pixelByte;
    if (!IsDecodeSizeAllowed(width, height, bytes)) {
        ClearPixelImageRecord(out);
        return false;
    }
    return CreatePixelImageInFormat(width, height, format, out) == 0;
}

}  // namespace image_internal

int CreatePixelImageInFormat(int width, int height, const ColorFormatInfo* format, PixelImage* out) {
    if (out == nullptr) return -1;
    ClearPixelImageRecord(out);
    if (format == nullptr || width < 1 || height < 1) return -1;
    int64_t pitch, rows;
    if (format->dxtType != 0) {
        int blockBytes = GetDXTBlockBytes(format->dxtType);
        if (blockBytes == 0) return -1;
        pitch = (int64_t(width) + 3) / 4 * blockBytes;
        rows = (int64_t(height) + 3) / 4;
    } else {
        if (format->pixelByte < 1 || format->pixelByte > 4) return -1;
        pitch = (int64_t(width) * format->pixelByte + 3) & ~int64_t(3);
        rows = height;
    }
    if (width > kMaxPixelImageDimension || height > kMaxPixelImageDimension || pitch * rows > kMaxPixelImageBytes)
        return -2;
    void* pixels = std::calloc(size_t(pitch * rows), 1);
    if (pixels == nullptr) return -3;
    std::memcpy(&out->format, format, sizeof(*format));
    out->width = width;
    out->height = height;
    out->pitch = int32_t(pitch);
    out->pixels = pixels;
    out->reserved = kPixelImageOwnsPixels;
    return 0;
}

int CreatePixelImage(int width, int height, const PixelImage* formatTemplate, PixelImage* out) {
    if (formatTemplate == nullptr) {
        if (out) ClearPixelImageRecord(out);
        return -1;
    }
    // The template may be the out record itself.
    ColorFormatInfo format;
    std::memcpy(&format, &formatTemplate->format, sizeof(format));
    return CreatePixelImageInFormat(width, height, &format, out);
}

int CreateXRGB8PixelImage(int width, int height, PixelImage* out) {
    ColorFormatInfo format;
    SetXRGB8ColorFormat(&format);
    return CreatePixelImageInFormat(width, height, &format, out) == 0 ? 0 : -1;
}

void ReleasePixelImage(PixelImage* image) {
    if (image == nullptr) return;
    if (image->reserved == kPixelImageOwnsPixels) std::free(image->pixels);
    ClearPixelImageRecord(image);
}

int ClearPixelImageRect(PixelImage* image, int x, int y, int width, int height) {
    if (image->format.dxtType != 0) return -1;
    int64_t left = x < 0 ? 0 : x;
    int64_t top = y < 0 ? 0 : y;
    int64_t right = int64_t(x) + width;
    int64_t bottom = int64_t(y) + height;
    if (right > image->width) right = image->width;
    if (bottom > image->height) bottom = image->height;
    if (left >= right || top >= bottom || image->pixels == nullptr) return 0;
    int bpp = image->format.pixelByte;
    for (int64_t row = top; row < bottom; ++row)
        std::memset(PixelRow(image, int(row)) + left * bpp, 0, size_t((right - left) * bpp));
    return 0;
}

int TurnPixelImage(PixelImage* image) {
    if (image->format.dxtType != 0) return -1;
    int bpp = image->format.pixelByte;
    if (bpp < 1 || bpp > 4 || image->pixels == nullptr) return -1;
    int w = image->width;
    // Row top swaps with row bottom, each read from the other end.
    for (int top = 0, bottom = image->height - 1; top <= bottom; ++top, --bottom) {
        uint8_t* a = PixelRow(image, top);
        uint8_t* b = PixelRow(image, bottom);
        int count = top == bottom ? w / 2 : w;
        for (int x = 0; x < count; ++x) {
            uint8_t* pa = a + x * bpp;
            uint8_t* pb = b + (w - 1 - x) * bpp;
            uint8_t tmp[4];
            std::memcpy(tmp, pa, bpp);
            std::memcpy(pa, pb, bpp);
            std::memcpy(pb, tmp, bpp);
        }
    }
    return 0;
}

int GetPixelImagePixel(const PixelImage* image, int x, int y, int* red, int* green, int* blue, int* alpha) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height || image->pixels == nullptr) return -1;
    const ColorFormatInfo* format = &image->format;
    if (format->dxtType != 0) {
        int blockBytes = GetDXTBlockBytes(format->dxtType);
        if (blockBytes == 0) return -1;
        uint32_t block[16];
        DecodeDXTBlock(PixelRow(image, y / 4) + (x / 4) * blockBytes, format->dxtType, block);
        uint32_t argb = block[(y % 4) * 4 + x % 4];
        if (red) *red = int(argb >> 16 & 0xFF);
        if (green) *green = int(argb >> 8 & 0xFF);
        if (blue) *blue = int(argb & 0xFF);
        if (alpha) *alpha = int(argb >> 24);
        return 0;
    }
    if (format->pixelByte < 1 || format->pixelByte > 4) return -1;
    uint32_t value = LoadPixelValue(PixelRow(image, y) + x * format->pixelByte, format->pixelByte);
    UnpackColorValue(format, value, red, green, blue, alpha);
    return 0;
}

namespace {

int NearestPaletteIndex(const ColorFormatInfo* format, int r, int g, int b, int a) {
    int best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < 256; ++i) {
        uint32_t e = format->palette[i];
        int dr = int(e >> 16 & 0xFF) - r, dg = int(e >> 8 & 0xFF) - g, db = int(e & 0xFF) - b;
        int da = format->alphaWidth ? int(e >> 24) - a : 0;
        int64_t d = int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db + int64_t(da) * da;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

}  // namespace

int SetPixelImagePixel(PixelImage* image, int x, int y, int red, int green, int blue, int alpha) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height || image->pixels == nullptr) return -1;
    const ColorFormatInfo* format = &image->format;
    if (format->dxtType != 0 || format->pixelByte < 1 || format->pixelByte > 4) return -1;
    uint8_t* p = PixelRow(image, y) + x * format->pixelByte;
    if (format->isPalette) {
        *p = uint8_t(NearestPaletteIndex(format, red, green, blue, alpha));
        return 0;
    }
    StorePixelValue(p, format->pixelByte, PackColorValue(format, red, green, blue, alpha));
    return 0;
}
