// Image decoding: colour-format presets, picture helpers, the decoder table
// (BMP, JPEG, PNG, raw BGRA, TGA, DDS), DXT decompression and the general
// pixel-format converter.
//
// Results: 0 on success, negative on failure. Pixels of pictures made here
// come from the C allocator and are freed by ReleasePixelImage.
#pragma once

#include "file/file.h"
#include "image/pixel_image.h"
#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>

// ---- limits ---------------------------------------------------------------
constexpr int32_t kMaxDecodeDimension = 16384;         // width and height of a decoded file
constexpr int64_t kMaxDecodeBytes = 256ll << 20;       // pixel bytes of a decoded file
constexpr int32_t kMaxPixelImageDimension = 32768;     // CreatePixelImage
constexpr int64_t kMaxPixelImageBytes = 0x7FFFFFFF;    // CreatePixelImage: pitch x rows

// ---- colour formats -------------------------------------------------------
// Each clears the descriptor and fills it (palette cleared to opaque black).
void SetRGB8ColorFormat(ColorFormatInfo* format);       // 24-bit R8G8B8 (B, G, R in memory)
void SetXRGB8ColorFormat(ColorFormatInfo* format);      // 32-bit X8R8G8B8
void SetARGB8ColorFormat(ColorFormatInfo* format);      // 32-bit A8R8G8B8
void SetR5G6B5ColorFormat(ColorFormatInfo* format);     // 16-bit
void SetX1R5G5B5ColorFormat(ColorFormatInfo* format);   // 16-bit
void SetA1R5G5B5ColorFormat(ColorFormatInfo* format);   // 16-bit
void SetA4R4G4B4ColorFormat(ColorFormatInfo* format);   // 16-bit
// R5G6B5 with alpha in four-byte pixels: the colour word in bits 0-15, the
// alpha in bits 16-23, bits 24-31 unused; colorBitDepth 16, pixelByte 4.
void SetR5G6B5A8ColorFormat(ColorFormatInfo* format);
// 8-bit palette: count entries (0xAARRGGBB, up to 256) copied from palette
// (null: a grey ramp, entry i = i, i, i); the rest opaque black. With hasAlpha
// 0 every entry's alpha is made 0xFF.
void SetPalette8ColorFormat(ColorFormatInfo* format, const uint32_t* palette, int count, int hasAlpha);
// DXT1 to DXT5; -1 for another type.
int SetDXTColorFormat(ColorFormatInfo* format, int dxtType);
// A packed format of bitsPerPixel (8, 16, 24 or 32) from its masks: widths and
// shifts are computed from the masks. -1 (descriptor cleared) when a mask is
// not one run of bits, lies outside bitsPerPixel, is wider than 16 bits, or
// when red, green, blue and alpha are all 0. Colour masks may coincide
// (luminance formats use one mask for all three).
int SetColorFormatFromMasks(ColorFormatInfo* format, int bitsPerPixel, uint32_t redMask, uint32_t greenMask,
                            uint32_t blueMask, uint32_t alphaMask);
// The descriptor of a Direct3D format code from 20 (R8G8B8) to 35
// (A2R10G10B10); -1 for a code without a descriptor.
int SetD3DFormatColorFormat(ColorFormatInfo* format, int d3dFormat);
// 1 when the two descriptors lay pixels out alike (palette contents aside).
int IsSameColorFormat(const ColorFormatInfo* a, const ColorFormatInfo* b);

// Channel rounding of every conversion: a channel narrower than 8 bits widens
// by bit replication (5-bit 31 -> 255, 16 -> 132), a wider one narrows by
// truncation (16-bit 0xABCD -> 0xAB); 8 bits narrow to fewer by truncation
// (255 -> 31, 132 -> 16) and widen by replication. A format without alpha
// reads as alpha 255.
// The pixel value of a colour (palette and DXT formats: 0).
uint32_t PackColorValue(const ColorFormatInfo* format, int red, int green, int blue, int alpha);
// The channels of a pixel value, each out optional (palette: the entry).
void UnpackColorValue(const ColorFormatInfo* format, uint32_t value, int* red, int* green, int* blue, int* alpha);

// ---- pictures -------------------------------------------------------------
// An empty (zeroed) picture in the format of the template (palette included);
// pitch rounded up to 4 bytes (DXT: the bytes of one row of blocks).
// -1 bad arguments, -2 too large, -3 out of memory; out is cleared on failure.
// What out held before is not released.
int CreatePixelImage(int width, int height, const PixelImage* formatTemplate, PixelImage* out);
int CreatePixelImageInFormat(int width, int height, const ColorFormatInfo* format, PixelImage* out);
// An X8R8G8B8 picture; -1 on failure.
int CreateXRGB8PixelImage(int width, int height, PixelImage* out);
// Frees the pixels when the record owns them and clears the record.
void ReleasePixelImage(PixelImage* image);
// Zeroes width x bytes-per-pixel bytes of each of height rows from (x, y),
// clipped to the picture; 0 (also when nothing is left), -1 for DXT.
int ClearPixelImageRect(PixelImage* image, int x, int y, int width, int height);
// Copies the source rectangle onto the destination rectangle (right and bottom
// exclusive). Equal sizes copy pixel for pixel; other sizes take source pixel
// (left + (i x step) >> 16), step = source size << 16 / destination size. The
// source rectangle must lie inside the source (else -1); the destination one
// is clipped to the destination with the mapping kept. Formats may differ
// (converted as ConvertPixelImage does); the destination may not be DXT or
// palette unless both formats are the same (palette to palette copies the
// indices, whatever the two palettes hold).
// flags: kStretchCopyAlpha copies alpha too; without it the destination's
// alpha bits keep their value.
constexpr int kStretchCopyAlpha = 1;
int StretchCopyPixelImage(const PixelImage* source, const RECT* sourceRect, PixelImage* dest, const RECT* destRect,
                          int flags);
// Turns the picture by 180 degrees in place; -1 for DXT.
int TurnPixelImage(PixelImage* image);
// Reads one pixel as 8-bit channels (DXT decompressed, palette looked up);
// each out optional; -1 outside the picture.
int GetPixelImagePixel(const PixelImage* image, int x, int y, int* red, int* green, int* blue, int* alpha);
// Writes one pixel; a palette picture gets the nearest entry; -1 for DXT or
// outside the picture.
int SetPixelImagePixel(PixelImage* image, int x, int y, int red, int green, int blue, int alpha);

// ---- conversion -----------------------------------------------------------
// Converts a rectangle of any picture (palette and DXT included) into pixels
// of destFormat (a packed format of 1 to 4 bytes, not palette, not DXT) at
// destPixels with destPitch bytes per row. Same formats copy bytes. -1 for a
// rectangle outside the source or an unsupported destination.
int ConvertPixelImageRect(const PixelImage* source, int x, int y, int width, int height,
                          const ColorFormatInfo* destFormat, void* destPixels, int32_t destPitch);
// A new picture in destFormat holding the whole source; a palette or DXT
// destination is allowed only when the formats are the same. out is cleared
// on failure.
int ConvertPixelImage(const PixelImage* source, const ColorFormatInfo* destFormat, PixelImage* out);

// ---- DXT ------------------------------------------------------------------
// One 4x4 block (8 bytes for DXT1, 16 otherwise) to 16 A8R8G8B8 pixels, row by
// row. Colour: endpoints widened by bit replication; DXT1 with c0 <= c1 gives
// (c0 + c1) / 2 and transparent black, otherwise (2 c0 + c1) / 3 and
// (c0 + 2 c1) / 3, truncated. DXT3 alpha a4 x 17; DXT5 alpha interpolated
// ((7 - i) a0 + i a1) / 7 or with 0 and 255 ends, truncated. DXT2 and DXT4
// hold premultiplied colour, which is divided back: c x 255 / a, rounded to
// nearest, for a > 0.
void DecodeDXTBlock(const uint8_t* block, int dxtType, uint32_t pixels[16]);
// A new A8R8G8B8 picture from a DXT picture; -1 when it is not DXT.
int DecompressDXTPixelImage(const PixelImage* source, PixelImage* out);
// Bytes of one block of the type (8 or 16), 0 for a non-DXT type.
int GetDXTBlockBytes(int dxtType);

// ---- decoding -------------------------------------------------------------
// Every decoder reads from the stream's current position and returns 0 with
// out filled, or negative with out cleared and nothing leaked. Decoded
// formats:
//   BMP 1/4/8-bit and RLE: palette; 16-bit: X1R5G5B5 or the bit fields'
//   format; 24: R8G8B8; 32: X8R8G8B8 or A8R8G8B8 or the bit fields'.
//   JPEG: R8G8B8, grey as a palette with a grey ramp.
//   PNG: palette (with tRNS alpha) for palette and 1-8 bit grey without tRNS;
//   A8R8G8B8 with any alpha; else R8G8B8; 16-bit channels keep the high byte.
//   BGRA: A8R8G8B8. TGA: palette, X1R5G5B5/A1R5G5B5, R8G8B8, X8R8G8B8 or
//   A8R8G8B8 by its attribute bits, grey as a palette (16-bit grey with
//   alpha as A8R8G8B8). DDS: DXT kept compressed, else the masks' format.
//
// Raw BGRA layout (little-endian): "BGRA", u32 width, u32 height, then
// height rows top to bottom of width pixels, each the bytes B, G, R, A.
struct ImageDecoder {
    const char* name;
    int (*Decode)(DataStream* stream, PixelImage* out);
};
// Tried in this order; null-terminated.
extern const ImageDecoder ImageDecoderTable[];

int DecodeBmpImage(DataStream* stream, PixelImage* out);
int DecodeJpegImage(DataStream* stream, PixelImage* out);
int DecodePngImage(DataStream* stream, PixelImage* out);
int DecodeBgraImage(DataStream* stream, PixelImage* out);
int DecodeTgaImage(DataStream* stream, PixelImage* out);
int DecodeDdsImage(DataStream* stream, PixelImage* out);

// Tries every decoder from the stream's current position, returning the
// stream there between tries; -1 when none accepts it (out cleared).
int DecodePixelImage(DataStream* stream, PixelImage* out);
// Decodes the file fileName (through OpenAccessFile: an archive member first,
// then the plain file) or, when fileName is null, the fileImageSize bytes at
// fileImage. -1 when the source cannot be opened or no decoder accepts it.
int LoadPixelImage(const char* fileName, const void* fileImage, size_t fileImageSize, PixelImage* out);
