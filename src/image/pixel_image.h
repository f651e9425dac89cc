// Decoded pictures in main memory and their colour-format descriptor.
//
// A pixel is read as pixelByte bytes, little-endian, into one unsigned value;
// each channel is (value & mask) >> loc and is width bits wide. So X8R8G8B8
// lies in memory as B, G, R, X and R8G8B8 as B, G, R. Bits outside every mask
// are written as 0 (then noneMask is ORed in), so whole pixel values can be
// compared.
//
// Palette formats (isPalette 1, pixelByte 1): the pixel is an index into
// palette, whose entries are 0xAARRGGBB; the masks describe those entries and
// alphaWidth is 8 when the entries' alpha counts, else 0 (then every entry is
// opaque).
//
// DXT formats (dxtType 1 to 5): colorBitDepth and pixelByte are 0, the pixels
// are the 4x4 blocks row by row, pitch is the bytes of one row of blocks, and
// the masks describe the decompressed A8R8G8B8 pixels.
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
    uint32_t noneMask;        // bits the format always sets (0 in every preset)
    int32_t dxtType;          // 0 none, 1 to 5 for DXT1 to DXT5
    uint32_t palette[256];    // 0xAARRGGBB entries of palette formats
};

struct PixelImage {
    ColorFormatInfo format;
    int32_t width;
    int32_t height;
    int32_t pitch;            // bytes per row (per row of blocks for DXT)
    void* pixels;
    // The last word: kPixelImageOwnsPixels when the pixels were allocated here
    // (ReleasePixelImage frees them); 0 when the record was filled by hand and
    // the pixels belong to someone else.
    int32_t reserved;
};

constexpr int32_t kPixelImageOwnsPixels = 1;
