// The pixel formats the stand-in holds: what each may be used as, its size,
// and the conversions to and from the 32-bit A8R8G8B8 pixels every GL
// texture and render target keeps. The 16-bit formats (R5G6B5, A4R4G4B4,
// A1R5G5B5, X1R5G5B5) are locked as one little-endian word per pixel in
// their Direct3D layout and widened to 8 bits a channel by repeating the
// channel's bits (0xC -> 0xCC, 5-bit 0x03 -> 0x18), as Direct3D 9 hardware
// samples them.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstddef>
#include <cstdint>

namespace d3d9 {

// Y'CbCr layouts of the off-screen plain surfaces a movie is copied into.
enum class YuvLayout {
    None,
    Yv12,  // Y plane, then V, then U planes at half the pitch, each 2 x 2 block sharing one sample
    Yuy2,  // Y0 U Y1 V for each pair of pixels
    Uyvy,  // U Y0 V Y1 for each pair of pixels
};

// Bits of each channel of a 16-bit word, from the top bit down: alpha (or
// the unused X bits of a format without alpha), red, green, blue.
struct WordLayout {
    int a = 0;
    int r = 0;
    int g = 0;
    int b = 0;
};

struct FormatInfo {
    D3DFORMAT format;
    int bytesPerPixel;  // 0 for depth formats (never locked)
    bool texture;       // may be a texture or a plain surface
    bool renderTarget;  // may be a render target or a render-target texture
    bool depth;         // a depth format
    bool alpha;         // has an alpha channel (else alpha reads as 255)
    int depthBits;
    YuvLayout yuv = YuvLayout::None;  // a Y'CbCr plain-surface format (never drawn from or into)
    WordLayout word{};                // the channels of a 16-bit RGB format
};

// The row of a format, or null when the stand-in does not hold it.
const FormatInfo* FindFormat(D3DFORMAT format);
// The formats a display mode and a back buffer may have.
bool IsDisplayFormat(D3DFORMAT format);

// Bytes of one row (of the Y plane for YV12) and of the whole surface.
size_t SurfacePitch(const FormatInfo& format, UINT width);
size_t SurfaceBytes(const FormatInfo& format, UINT width, UINT height);
// Whether a Y'CbCr surface of this size can be made (pairs of pixels, and
// 2 x 2 blocks for YV12) and a rectangle of it locked.
bool YuvSizeAllowed(const FormatInfo& format, UINT width, UINT height);
bool YuvRectAllowed(const FormatInfo& format, const RECT& rect);
// The area of a Y'CbCr surface as A8R8G8B8 (BT.601 studio range, the
// 14-bit fixed-point products of the program's software movie converter).
void YuvToArgb(const FormatInfo& format, const uint8_t* memory, size_t pitch, UINT height, int x, int y, int w,
               int h, uint32_t* argb);
// Scales sw x sh pixels to dw x dh: nearest, or bilinear between pixel
// centres (edges clamped).
void ScaleArgb(const uint32_t* source, int sw, int sh, uint32_t* dest, int dw, int dh, bool linear);

// A channel of `bits` bits (1 to 8) widened to 8 by repeating its bits.
uint32_t WidenChannel(uint32_t value, int bits);

// count pixels of the format to A8R8G8B8 (alpha 255 when the format has none).
void ToArgb(const FormatInfo& format, const uint8_t* source, uint32_t* dest, int count);
// count A8R8G8B8 pixels to the format (truncating to its channel widths; the
// X bits of a format without alpha take the top bits of the pixel's alpha).
void FromArgb(const FormatInfo& format, const uint32_t* source, uint8_t* dest, int count);

}  // namespace d3d9
