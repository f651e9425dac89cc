// The general pixel-format converter and the stretched copy between pictures.
// Every conversion goes through 8-bit A, R, G, B channels (0xAARRGGBB words).
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace {

bool IsPackedFormat(const ColorFormatInfo* format) {
    return format->dxtType == 0 && !format->isPalette && format->pixelByte >= 1 && format->pixelByte <= 4;
}

bool IsReadableImage(const PixelImage* image) {
    if (image->pixels == nullptr || image->width < 1 || image->height < 1) return false;
    if (image->format.dxtType != 0) return GetDXTBlockBytes(image->format.dxtType) != 0;
    return image->format.pixelByte >= 1 && image->format.pixelByte <= 4;
}

// Colour channels of 8 bits and alpha of 8 bits or none.
bool HasByteChannels(const ColorFormatInfo* format) {
    return format->redWidth == 8 && format->greenWidth == 8 && format->blueWidth == 8 &&
           (format->alphaWidth == 0 || format->alphaWidth == 8);
}

template <int Bytes>
void ReadByteChannels(const ColorFormatInfo* format, const uint8_t* p, int count, uint32_t* out) {
    const uint32_t opaque = format->alphaWidth ? 0 : 0xFF000000u;
    const int rl = format->redLoc, gl = format->greenLoc, bl = format->blueLoc, al = format->alphaLoc;
    const uint32_t am = format->alphaWidth ? 0xFF : 0;
    for (int i = 0; i < count; ++i) {
        uint32_t v = LoadPixelValue(p + i * Bytes, Bytes);
        out[i] = opaque | (v >> al & am) << 24 | (v >> rl & 0xFF) << 16 | (v >> gl & 0xFF) << 8 | (v >> bl & 0xFF);
    }
}

// Narrowing by truncation is a shift per channel (a width of 0 masks to nothing).
template <int Bytes>
void WriteNarrowChannels(const ColorFormatInfo* format, const uint32_t* argb, int count, uint8_t* dest,
                         bool keepAlpha) {
    const int rs = 8 - format->redWidth, gs = 8 - format->greenWidth, bs = 8 - format->blueWidth,
              as = 8 - format->alphaWidth;
    const int rl = format->redLoc, gl = format->greenLoc, bl = format->blueLoc, al = format->alphaLoc;
    const uint32_t rm = format->redMask, gm = format->greenMask, bm = format->blueMask, am = format->alphaMask;
    for (int i = 0; i < count; ++i) {
        uint32_t c = argb[i];
        uint32_t v = format->noneMask | (((c >> 16 & 0xFF) >> rs) << rl & rm) | (((c >> 8 & 0xFF) >> gs) << gl & gm) |
                     (((c & 0xFF) >> bs) << bl & bm) | (((c >> 24) >> as) << al & am);
        uint8_t* p = dest + i * Bytes;
        if (keepAlpha) v = (v & ~am) | (LoadPixelValue(p, Bytes) & am);
        StorePixelValue(p, Bytes, v);
    }
}

uint32_t ToArgb(int r, int g, int b, int a) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b);
}

// count pixels of source row y from x, as ARGB words.
void ReadArgbRow(const PixelImage* source, int x, int y, int count, uint32_t* out) {
    const ColorFormatInfo* format = &source->format;
    if (format->dxtType != 0) {
        int blockBytes = GetDXTBlockBytes(format->dxtType);
        const uint8_t* blockRow = PixelRow(source, y / 4);
        uint32_t block[16];
        int decodedBlock = -1;
        for (int i = 0; i < count; ++i) {
            int px = x + i;
            if (px / 4 != decodedBlock) {
                decodedBlock = px / 4;
                DecodeDXTBlock(blockRow + decodedBlock * blockBytes, format->dxtType, block);
            }
            out[i] = block[(y % 4) * 4 + px % 4];
        }
        return;
    }
    int bpp = format->pixelByte;
    const uint8_t* p = PixelRow(source, y) + ptrdiff_t(x) * bpp;
    if (format->isPalette) {
        uint32_t forceOpaque = format->alphaWidth ? 0 : 0xFF000000u;
        for (int i = 0; i < count; ++i) out[i] = format->palette[p[i * bpp]] | forceOpaque;
        return;
    }
    if (HasByteChannels(format)) {
        switch (bpp) {
        case 3: ReadByteChannels<3>(format, p, count, out); return;
        case 4: ReadByteChannels<4>(format, p, count, out); return;
        default: break;
        }
    }
    for (int i = 0; i < count; ++i) {
        int r, g, b, a;
        UnpackColorValue(format, LoadPixelValue(p + i * bpp, bpp), &r, &g, &b, &a);
        out[i] = ToArgb(r, g, b, a);
    }
}

// count ARGB words into packed pixels; with keepAlpha the alpha bits already
// at the destination stay.
void WriteArgbRow(const ColorFormatInfo* format, const uint32_t* argb, int count, uint8_t* dest, bool keepAlpha) {
    int bpp = format->pixelByte;
    if (format->redWidth <= 8 && format->greenWidth <= 8 && format->blueWidth <= 8 && format->alphaWidth <= 8) {
        switch (bpp) {
        case 1: WriteNarrowChannels<1>(format, argb, count, dest, keepAlpha); return;
        case 2: WriteNarrowChannels<2>(format, argb, count, dest, keepAlpha); return;
        case 3: WriteNarrowChannels<3>(format, argb, count, dest, keepAlpha); return;
        default: WriteNarrowChannels<4>(format, argb, count, dest, keepAlpha); return;
        }
    }
    for (int i = 0; i < count; ++i) {
        uint32_t c = argb[i];
        uint32_t v = PackColorValue(format, int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), int(c >> 24));
        uint8_t* p = dest + i * bpp;
        if (keepAlpha) v = (v & ~format->alphaMask) | (LoadPixelValue(p, bpp) & format->alphaMask);
        StorePixelValue(p, bpp, v);
    }
}

bool IsRectInside(const PixelImage* image, int64_t x, int64_t y, int64_t width, int64_t height) {
    return x >= 0 && y >= 0 && width >= 0 && height >= 0 && x + width <= image->width && y + height <= image->height;
}

}  // namespace

int ConvertPixelImageRect(const PixelImage* source, int x, int y, int width, int height,
                          const ColorFormatInfo* destFormat, void* destPixels, int32_t destPitch) {
    if (!IsReadableImage(source) || !IsRectInside(source, x, y, width, height) || destPixels == nullptr) return -1;
    bool same = IsSameColorFormat(&source->format, destFormat) && source->format.dxtType == 0;
    if (!same && !IsPackedFormat(destFormat)) return -1;
    if (width == 0 || height == 0) return 0;
    uint8_t* dest = static_cast<uint8_t*>(destPixels);
    if (same) {
        int bpp = destFormat->pixelByte;
        for (int row = 0; row < height; ++row)
            std::memcpy(dest + ptrdiff_t(row) * destPitch, PixelRow(source, y + row) + ptrdiff_t(x) * bpp,
                        size_t(width) * bpp);
        return 0;
    }
    uint32_t* argb = static_cast<uint32_t*>(std::malloc(size_t(width) * 4));
    if (argb == nullptr) return -1;
    for (int row = 0; row < height; ++row) {
        ReadArgbRow(source, x, y + row, width, argb);
        WriteArgbRow(destFormat, argb, width, dest + ptrdiff_t(row) * destPitch, false);
    }
    std::free(argb);
    return 0;
}

int ConvertPixelImage(const PixelImage* source, const ColorFormatInfo* destFormat, PixelImage* out) {
    if (!IsReadableImage(source)) {
        ClearPixelImageRecord(out);
        return -1;
    }
    bool same = IsSameColorFormat(&source->format, destFormat);
    if (!same && !IsPackedFormat(destFormat)) {
        ClearPixelImageRecord(out);
        return -1;
    }
    PixelImage result;
    if (CreatePixelImageInFormat(source->width, source->height, destFormat, &result) != 0) {
        ClearPixelImageRecord(out);
        return -1;
    }
    if (same) {
        // Palette contents come from the source; rows of pixels or blocks copy whole.
        if (source->format.isPalette) std::memcpy(result.format.palette, source->format.palette, sizeof(result.format.palette));
        int rows = source->format.dxtType ? (source->height + 3) / 4 : source->height;
        size_t rowBytes = size_t(result.pitch < source->pitch ? result.pitch : source->pitch);
        for (int row = 0; row < rows; ++row) std::memcpy(PixelRow(&result, row), PixelRow(source, row), rowBytes);
    } else if (ConvertPixelImageRect(source, 0, 0, source->width, source->height, destFormat, result.pixels,
                                     result.pitch) != 0) {
        ReleasePixelImage(&result);
        ClearPixelImageRecord(out);
        return -1;
    }
    *out = result;
    return 0;
}

int StretchCopyPixelImage(const PixelImage* source, const RECT* sourceRect, PixelImage* dest, const RECT* destRect,
                          int flags) {
    if (!IsReadableImage(source) || dest->pixels == nullptr) return -1;
    int64_t sx = sourceRect->left, sy = sourceRect->top;
    int64_t sw = int64_t(sourceRect->right) - sourceRect->left, sh = int64_t(sourceRect->bottom) - sourceRect->top;
    int64_t dw = int64_t(destRect->right) - destRect->left, dh = int64_t(destRect->bottom) - destRect->top;
    if (!IsRectInside(source, sx, sy, sw, sh) || dw < 0 || dh < 0) return -1;
    bool same = IsSameColorFormat(&source->format, &dest->format) && source->format.dxtType == 0;
    if (!same && !IsPackedFormat(&dest->format)) return -1;
    if (sw == 0 || sh == 0 || dw == 0 || dh == 0) return 0;
    // Destination clipped to the picture; the mapping stays that of the whole rectangle.
    int64_t x0 = destRect->left < 0 ? 0 : destRect->left, y0 = destRect->top < 0 ? 0 : destRect->top;
    int64_t x1 = destRect->right > dest->width ? dest->width : destRect->right;
    int64_t y1 = destRect->bottom > dest->height ? dest->height : destRect->bottom;
    if (x0 >= x1 || y0 >= y1) return 0;
    int64_t stepX = (sw << 16) / dw, stepY = (sh << 16) / dh;
    if (sw == dw) stepX = 1 << 16;
    if (sh == dh) stepY = 1 << 16;
    int count = int(x1 - x0);
    bool keepAlpha = !(flags & kStretchCopyAlpha) && !same;
    int destBpp = dest->format.pixelByte;

    uint32_t* argb = static_cast<uint32_t*>(std::malloc(size_t(sw > count ? sw : count) * 4));
    uint32_t* scaled = static_cast<uint32_t*>(std::malloc(size_t(count) * 4));
    if (argb == nullptr || scaled == nullptr) {
        std::free(argb);
        std::free(scaled);
        return -1;
    }
    for (int64_t y = y0; y < y1; ++y) {
        int64_t srcY = sy + (((y - destRect->top) * stepY) >> 16);
        uint8_t* destRow = PixelRow(dest, int(y)) + x0 * destBpp;
        if (same) {
            const uint8_t* srcRow = PixelRow(source, int(srcY));
            int bpp = source->format.pixelByte;
            for (int i = 0; i < count; ++i) {
                int64_t srcX = sx + (((x0 + i - destRect->left) * stepX) >> 16);
                uint8_t* d = destRow + i * bpp;
                uint32_t v = LoadPixelValue(srcRow + srcX * bpp, bpp);
                if (!(flags & kStretchCopyAlpha) && !source->format.isPalette)
                    v = (v & ~dest->format.alphaMask) | (LoadPixelValue(d, bpp) & dest->format.alphaMask);
                StorePixelValue(d, bpp, v);
            }
            continue;
        }
        ReadArgbRow(source, int(sx), int(srcY), int(sw), argb);
        for (int i = 0; i < count; ++i) scaled[i] = argb[((x0 + i - destRect->left) * stepX) >> 16];
        WriteArgbRow(&dest->format, scaled, count, destRow, keepAlpha);
    }
    std::free(argb);
    std::free(scaled);
    return 0;
}
