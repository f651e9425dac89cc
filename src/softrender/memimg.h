// Software images: a MEMIMG is a view (a rectangle) on a reference-counted
// MemImgBase that holds the pixels, their format, the transparent colour and
// the palette. Views on one base share its pixels (derived images).
//
// Pixel layouts (little-endian):
//   colour type 1, X8R8G8B8: 4 bytes, B, G, R, then the fourth byte, which is
//     the alpha when the base's alpha flag is set (else kept 0 by the
//     converters here);
//   colour type 0, R5G6B5: 2 bytes; with the alpha flag 4 bytes: the colour
//     word, the alpha byte, one byte without meaning;
//   palette images (colour types 0 and 1): 1 byte per pixel, an index into
//     256 palette entries of 4 bytes (type 1, laid like a 32-bit pixel) or
//     2 bytes (type 0, R5G6B5);
//   colour types 2 and 3: one channel of 8 or 16 bits (blend images).
#pragma once

#include "image/pixel_image.h"
#include "platform/wintypes.h"

#include <cstdint>

constexpr uint32_t kMemImgValid = 0x12345678;

constexpr int32_t kMemImgR5G6B5 = 0;
constexpr int32_t kMemImgX8R8G8B8 = 1;
constexpr int32_t kMemImgChannel8 = 2;
constexpr int32_t kMemImgChannel16 = 3;

// Creation flags.
constexpr uint32_t kMemImgAlpha = 1;    // colour types 0 and 1: pixels carry alpha
constexpr uint32_t kMemImgPalette = 2;  // colour types 0 and 1: pixels are palette indices

constexpr int32_t kMemImgMaxDimension = 32768;

struct MemImgBase {
    int32_t refCount;          // views that share this base
    int32_t width;             // size of the whole pixel buffer
    int32_t height;
    int32_t pitch;             // bytes per row
    ColorFormatInfo* colorFormat;  // points at formatStore; pixelByte is the bytes per pixel
    uint32_t transparentColor; // a palette index, or a pixel value (16 bits for type 0)
    int32_t colorType;         // kMemImgR5G6B5 ... kMemImgChannel16
    int32_t paletteFlag;       // 1: pixels are palette indices
    int32_t paletteSize;       // entries in use (storage always holds 256)
    int32_t alphaFlag;         // 1: pixels carry alpha
    void* palette;             // 256 entries of 4 bytes (type 1) or 2 bytes (type 0), or null
    uint8_t* pixels;           // top-left pixel of the buffer
    int32_t ownsPixels;        // 1: pixels are freed with the base
    ColorFormatInfo formatStore;
};

struct MEMIMG {
    uint32_t validWord;        // kMemImgValid while the view is in use
    int32_t width;
    int32_t height;
    uint8_t* pixels;           // the view's top-left pixel
    MemImgBase* base;
};

// Creates an image with a new zeroed buffer (pitch: width x bytes per pixel
// rounded up to 4). Width or height may be 0. flags: kMemImgAlpha,
// kMemImgPalette (colour types 0 and 1 only; not both). A 16-bit image keeps
// only the low 16 bits of its transparent colour. 0, or -1 (logged, image
// cleared) for bad arguments or no memory.
int CreateMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t colorType, uint32_t flags,
                 uint32_t transparentColor);
// The same over pixels that stay the caller's (pitch in bytes, at least a row).
int CreateMemImgOnMemory(MEMIMG* image, int32_t width, int32_t height, int32_t colorType, uint32_t flags,
                         uint32_t transparentColor, void* pixels, int32_t pitch);
// Makes view a view on the rectangle (x, y, width, height) of source, clipped
// to source, sharing its base; the rectangle may be empty after clipping.
// 0, or -1 when source is not valid.
int DeriveMemImg(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width, int32_t height);
// Releases a view; the base and its pixels go with the last view. The record
// is cleared. A record that is not valid is ignored.
void ReleaseMemImg(MEMIMG* image);

int IsMemImgValid(const MEMIMG* image);
// Bytes per pixel of the image's pixels (1, 2 or 4).
int32_t GetMemImgPixelByte(const MEMIMG* image);
// Address of pixel (x, y) of the view (not checked).
uint8_t* GetMemImgPixelAddress(const MEMIMG* image, int32_t x, int32_t y);

// Copies count (up to 256) raw entries into the palette of a palette image:
// 32-bit values laid like a pixel for type 1, R5G6B5 values (low 16 bits)
// for type 0; the palette size becomes count. -1 for an image without palette.
int SetMemImgPalette(MEMIMG* image, const uint32_t* entries, int32_t count);
// Sets the transparent colour (masked to 16 bits for a 16-bit direct image).
void SetMemImgTransparentColor(MEMIMG* image, uint32_t color);

// The pixel value of a colour in a colour type: X8R8G8B8 with a fourth byte 0,
// or R5G6B5 with each channel truncated (the top bits of the 8-bit value).
uint32_t MakeMemImgColor(int32_t colorType, int32_t red, int32_t green, int32_t blue);

// Creates an image of colour type 0 or 1 from a decoded picture: the pixels
// are converted by ConvertPixelImageRect (any decoded format, palette and DXT
// included), with kMemImgAlpha keeping the picture's alpha (255 where it has
// none). kMemImgPalette keeps a palette picture's indices and converts its
// palette entries (channels truncated to 5 and 6 bits for R5G6B5); a picture
// without palette is then refused. 0, or -1 (logged).
int CreateMemImgFromPixelImage(MEMIMG* image, const PixelImage* picture, int32_t colorType, uint32_t flags,
                               uint32_t transparentColor);
