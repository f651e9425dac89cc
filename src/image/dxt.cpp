// DXT1 to DXT5 block decompression.
#include "image/image_internal.h"

using namespace image_internal;

namespace {

struct Rgb {
    int r, g, b;
};

Rgb ExpandR5G6B5(uint32_t c) {
    int r = int(c >> 11 & 31), g = int(c >> 5 & 63), b = int(c & 31);
    return {(r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)};
}

uint32_t PackArgb(int a, Rgb c) { return uint32_t(a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b); }

// The colour half of a block; fourColours forces the four-colour mode (DXT2-5).
void DecodeColourBlock(const uint8_t* block, bool fourColours, uint32_t pixels[16]) {
    uint32_t c0 = LoadLE16(block), c1 = LoadLE16(block + 2);
    Rgb a = ExpandR5G6B5(c0), b = ExpandR5G6B5(c1);
    uint32_t palette[4];
    palette[0] = PackArgb(255, a);
    palette[1] = PackArgb(255, b);
    if (fourColours || c0 > c1) {
        palette[2] = PackArgb(255, {(2 * a.r + b.r) / 3, (2 * a.g + b.g) / 3, (2 * a.b + b.b) / 3});
        palette[3] = PackArgb(255, {(a.r + 2 * b.r) / 3, (a.g + 2 * b.g) / 3, (a.b + 2 * b.b) / 3});
    } else {
        palette[2] = PackArgb(255, {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2});
        palette[3] = 0;  // transparent black
    }
    uint32_t indices = LoadLE32(block + 4);
    for (int i = 0; i < 16; ++i) pixels[i] = palette[indices >> (2 * i) & 3];
}

void ApplyExplicitAlpha(const uint8_t* block, uint32_t pixels[16]) {
    for (int i = 0; i < 16; ++i) {
        uint32_t a4 = block[i / 2] >> (4 * (i & 1)) & 15;
        pixels[i] = (pixels[i] & 0x00FFFFFF) | (a4 * 17) << 24;
    }
}

void ApplyInterpolatedAlpha(const uint8_t* block, uint32_t pixels[16]) {
    int a0 = block[0], a1 = block[1];
    int table[8] = {a0, a1};
    if (a0 > a1) {
        for (int i = 1; i < 7; ++i) table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (int i = 1; i < 5; ++i) table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t(block[2 + i]) << (8 * i);
    for (int i = 0; i < 16; ++i) {
        uint32_t a = uint32_t(table[bits >> (3 * i) & 7]);
        pixels[i] = (pixels[i] & 0x00FFFFFF) | a << 24;
    }
}

void Unpremultiply(uint32_t pixels[16]) {
    for (int i = 0; i < 16; ++i) {
        uint32_t a = pixels[i] >> 24;
        if (a == 0 || a == 255) continue;
        uint32_t out = a << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
            uint32_t c = (pixels[i] >> shift & 0xFF) * 255 + a / 2;
            c /= a;
            if (c > 255) c = 255;
            out |= c << shift;
        }
        pixels[i] = out;
    }
}

}  // namespace

int GetDXTBlockBytes(int dxtType) {
    if (dxtType == 1) return 8;
    if (dxtType >= 2 && dxtType <= 5) return 16;
    return 0;
}

void DecodeDXTBlock(const uint8_t* block, int dxtType, uint32_t pixels[16]) {
    switch (dxtType) {
    case 1: DecodeColourBlock(block, false, pixels); return;
    case 2:
    case 3:
        DecodeColourBlock(block + 8, true, pixels);
        ApplyExplicitAlpha(block, pixels);
        break;
    case 4:
    case 5:
        DecodeColourBlock(block + 8, true, pixels);
        ApplyInterpolatedAlpha(block, pixels);
        break;
    default:
        for (int i = 0; i < 16; ++i) pixels[i] = 0;
        return;
    }
    if (dxtType == 2 || dxtType == 4) Unpremultiply(pixels);
}

int DecompressDXTPixelImage(const PixelImage* source, PixelImage* out) {
    int blockBytes = GetDXTBlockBytes(source->format.dxtType);
    ColorFormatInfo argb;
    SetARGB8ColorFormat(&argb);
    if (blockBytes == 0 || source->pixels == nullptr || CreatePixelImageInFormat(source->width, source->height, &argb, out) != 0) {
        ClearPixelImageRecord(out);
        return -1;
    }
    uint32_t block[16];
    for (int by = 0; by * 4 < source->height; ++by) {
        const uint8_t* row = PixelRow(source, by);
        for (int bx = 0; bx * 4 < source->width; ++bx) {
            DecodeDXTBlock(row + bx * blockBytes, source->format.dxtType, block);
            for (int py = 0; py < 4 && by * 4 + py < source->height; ++py) {
                uint8_t* dst = PixelRow(out, by * 4 + py);
                for (int px = 0; px < 4 && bx * 4 + px < source->width; ++px)
                    StorePixelValue(dst + (bx * 4 + px) * 4, 4, block[py * 4 + px]);
            }
        }
    }
    return 0;
}
