// Decoded pictures in main memory and their colour-format descriptor.
#pragma once

#include <cstdint>

struct ColorFormatInfo {
    uint8_t colorBitDepth;    // 8, 16, 24 or 32 (0 for DXT)
    uint8_t pixelByte;        // bytes per pixel
    uint8_t isPalette;        // 1: pixels are indices into palette
    uint8_t isFloat;          // unused, 0
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
    uint8_t redLoc, greenLoc, blueLoc, alphaLoc;  // shifts
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t noneMask;        // bits the format always sets, or leaves unused
    int32_t dxtType;          // 0 none, 1 to 5 for DXT1 to DXT5
    uint32_t palette[256];    // 0xAARRGGBB entries of palette formats
};

struct PixelImage {
    ColorFormatInfo format;
    int32_t width;
    int32_t height;
    int32_t pitch;            // bytes per row
    void* pixels;
    int32_t reserved;         // the last word; 0 when filled by hand
};
