// Colour-format descriptors: presets, descriptors from masks, and the packing
// and unpacking of one pixel value.
#include "image/image_decode.h"

#include <cstring>

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

void ClearFormat(ColorFormatInfo* format) {
    std::memset(format, 0, sizeof(*format));
    for (uint32_t& entry : format->palette) entry = kOpaqueBlack;
}

// Widths up to 16 bits in one contiguous run; sets width and shift.
bool DescribeMask(uint32_t mask, uint8_t* width, uint8_t* shift) {
    if (mask == 0) {
        *width = 0;
        *shift = 0;
        return true;
    }
    int low = __builtin_ctz(mask);
    uint32_t run = mask >> low;
    if ((run & (run + 1)) != 0) return false;  // not one run of bits
    int bits = __builtin_popcount(mask);
    if (bits > 16) return false;
    *width = uint8_t(bits);
    *shift = uint8_t(low);
    return true;
}

// v of `width` bits to 8 bits: replication when narrower, truncation when wider.
inline int WidenTo8(uint32_t v, int width) {
    switch (width) {
    case 0: return 0;
    case 1: return v ? 255 : 0;
    case 2: return int(v * 0x55);
    case 3: return int((v << 5) | (v << 2) | (v >> 1));
    case 4: return int(v * 0x11);
    case 5: return int((v << 3) | (v >> 2));
    case 6: return int((v << 2) | (v >> 4));
    case 7: return int((v << 1) | (v >> 6));
    case 8: return int(v);
    default: return int(v >> (width - 8));
    }
}

// 8 bits to `width` bits: truncation when narrower, replication when wider.
inline uint32_t NarrowFrom8(int v, int width) {
    if (width <= 8) return uint32_t(v) >> (8 - width);
    uint32_t out = 0;
    int filled = 0;
    while (filled < width) {
        int take = width - filled < 8 ? width - filled : 8;
        out = (out << take) | (uint32_t(v) >> (8 - take));
        filled += take;
    }
    return out;
}

inline int Clamp8(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace

int SetColorFormatFromMasks(ColorFormatInfo* format, int bitsPerPixel, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, uint32_t alphaMask) {
    ClearFormat(format);
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return -1;
    uint32_t limit = bitsPerPixel == 32 ? 0xFFFFFFFFu : ((1u << bitsPerPixel) - 1);
    uint32_t all = redMask | greenMask | blueMask | alphaMask;
    if (all == 0 || (all & ~limit) != 0) return -1;
    if (!DescribeMask(redMask, &format->redWidth, &format->redLoc) ||
        !DescribeMask(greenMask, &format->greenWidth, &format->greenLoc) ||
        !DescribeMask(blueMask, &format->blueWidth, &format->blueLoc) ||
        !DescribeMask(alphaMask, &format->alphaWidth, &format->alphaLoc)) {
        ClearFormat(format);
        return -1;
    }
    format->colorBitDepth = uint8_t(bitsPerPixel);
    format->pixelByte = uint8_t(bitsPerPixel / 8);
    format->redMask = redMask;
    format->greenMask = greenMask;
    format->blueMask = blueMask;
    format->alphaMask = alphaMask;
    return 0;
}

void SetRGB8ColorFormat(ColorFormatInfo* format) { SetColorFormatFromMasks(format, 24, 0xFF0000, 0xFF00, 0xFF, 0); }
void SetXRGB8ColorFormat(ColorFormatInfo* format) { SetColorFormatFromMasks(format, 32, 0xFF0000, 0xFF00, 0xFF, 0); }
void SetARGB8ColorFormat(ColorFormatInfo* format) {
    SetColorFormatFromMasks(format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u);
}
void SetR5G6B5ColorFormat(ColorFormatInfo* format) { SetColorFormatFromMasks(format, 16, 0xF800, 0x07E0, 0x001F, 0); }
void SetX1R5G5B5ColorFormat(ColorFormatInfo* format) { SetColorFormatFromMasks(format, 16, 0x7C00, 0x03E0, 0x001F, 0); }
void SetA1R5G5B5ColorFormat(ColorFormatInfo* format) {
    SetColorFormatFromMasks(format, 16, 0x7C00, 0x03E0, 0x001F, 0x8000);
}
void SetA4R4G4B4ColorFormat(ColorFormatInfo* format) {
    SetColorFormatFromMasks(format, 16, 0x0F00, 0x00F0, 0x000F, 0xF000);
}
void SetR5G6B5A8ColorFormat(ColorFormatInfo* format) {
    SetColorFormatFromMasks(format, 32, 0xF800, 0x07E0, 0x001F, 0x00FF0000);
    format->colorBitDepth = 16;
}

void SetPalette8ColorFormat(ColorFormatInfo* format, const uint32_t* palette, int count, int hasAlpha) {
    ClearFormat(format);
    format->colorBitDepth = 8;
    format->pixelByte = 1;
    format->isPalette = 1;
    format->redWidth = format->greenWidth = format->blueWidth = 8;
    format->redLoc = 16;
    format->greenLoc = 8;
    format->redMask = 0xFF0000;
    format->greenMask = 0xFF00;
    format->blueMask = 0xFF;
    if (hasAlpha) {
        format->alphaWidth = 8;
        format->alphaLoc = 24;
        format->alphaMask = 0xFF000000u;
    }
    if (count < 0) count = 0;
    if (count > 256) count = 256;
    for (int i = 0; i < 256; ++i) {
        uint32_t entry;
        if (palette == nullptr)
            entry = 0xFF000000u | uint32_t(i) * 0x010101u;
        else
            entry = i < count ? palette[i] : kOpaqueBlack;
        format->palette[i] = hasAlpha ? entry : (entry | 0xFF000000u);
    }
}

int SetDXTColorFormat(ColorFormatInfo* format, int dxtType) {
    if (dxtType < 1 || dxtType > 5) {
        ClearFormat(format);
        return -1;
    }
    SetARGB8ColorFormat(format);
    format->colorBitDepth = 0;
    format->pixelByte = 0;
    format->dxtType = dxtType;
    return 0;
}

int SetD3DFormatColorFormat(ColorFormatInfo* format, int d3dFormat) {
    switch (d3dFormat) {
    case 20: SetRGB8ColorFormat(format); return 0;
    case 21: SetARGB8ColorFormat(format); return 0;
    case 22: SetXRGB8ColorFormat(format); return 0;
    case 23: SetR5G6B5ColorFormat(format); return 0;
    case 24: SetX1R5G5B5ColorFormat(format); return 0;
    case 25: SetA1R5G5B5ColorFormat(format); return 0;
    case 26: SetA4R4G4B4ColorFormat(format); return 0;
    case 27: return SetColorFormatFromMasks(format, 8, 0xE0, 0x1C, 0x03, 0);             // R3G3B2
    case 28: return SetColorFormatFromMasks(format, 8, 0, 0, 0, 0xFF);                   // A8
    case 29: return SetColorFormatFromMasks(format, 16, 0xE0, 0x1C, 0x03, 0xFF00);       // A8R3G3B2
    case 30: return SetColorFormatFromMasks(format, 16, 0x0F00, 0x00F0, 0x000F, 0);      // X4R4G4B4
    case 31: return SetColorFormatFromMasks(format, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000u);  // A2B10G10R10
    case 32: return SetColorFormatFromMasks(format, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000u);      // A8B8G8R8
    case 33: return SetColorFormatFromMasks(format, 32, 0xFF, 0xFF00, 0xFF0000, 0);                // X8B8G8R8
    case 34: return SetColorFormatFromMasks(format, 32, 0xFFFF, 0xFFFF0000u, 0, 0);                // G16R16
    case 35: return SetColorFormatFromMasks(format, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000u);  // A2R10G10B10
    default: ClearFormat(format); return -1;
    }
}

int IsSameColorFormat(const ColorFormatInfo* a, const ColorFormatInfo* b) {
    if (a->dxtType != 0 || b->dxtType != 0) return a->dxtType == b->dxtType;
    if (a->isPalette != b->isPalette || a->pixelByte != b->pixelByte) return 0;
    if (a->isPalette) return 1;
    return a->redMask == b->redMask && a->greenMask == b->greenMask && a->blueMask == b->blueMask &&
           a->alphaMask == b->alphaMask && a->noneMask == b->noneMask;
}

uint32_t PackColorValue(const ColorFormatInfo* format, int red, int green, int blue, int alpha) {
    if (format->isPalette || format->dxtType != 0) return 0;
    uint32_t v = format->noneMask;
    v |= (NarrowFrom8(Clamp8(red), format->redWidth) << format->redLoc) & format->redMask;
    v |= (NarrowFrom8(Clamp8(green), format->greenWidth) << format->greenLoc) & format->greenMask;
    v |= (NarrowFrom8(Clamp8(blue), format->blueWidth) << format->blueLoc) & format->blueMask;
    v |= (NarrowFrom8(Clamp8(alpha), format->alphaWidth) << format->alphaLoc) & format->alphaMask;
    return v;
}

void UnpackColorValue(const ColorFormatInfo* format, uint32_t value, int* red, int* green, int* blue, int* alpha) {
    int r, g, b, a;
    if (format->isPalette) {
        uint32_t entry = format->palette[value & 0xFF];
        r = int(entry >> 16 & 0xFF);
        g = int(entry >> 8 & 0xFF);
        b = int(entry & 0xFF);
        a = format->alphaWidth ? int(entry >> 24) : 255;
    } else {
        r = WidenTo8((value & format->redMask) >> format->redLoc, format->redWidth);
        g = WidenTo8((value & format->greenMask) >> format->greenLoc, format->greenWidth);
        b = WidenTo8((value & format->blueMask) >> format->blueLoc, format->blueWidth);
        a = format->alphaWidth ? WidenTo8((value & format->alphaMask) >> format->alphaLoc, format->alphaWidth) : 255;
    }
    if (red) *red = r;
    if (green) *green = g;
    if (blue) *blue = b;
    if (alpha) *alpha = a;
}
