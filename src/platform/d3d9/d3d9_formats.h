// The pixel formats the stand-in holds: what each may be used as, its size,
// and the conversions to and from the 32-bit A8R8G8B8 pixels every GL
// texture and render target keeps.
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

struct FormatInfo {
    D3DFORMAT format;
    int bytesPerPixel;  // 0 for depth formats (never locked)
    bool texture;       // may be a texture or a plain surface
    bool renderTarget;  // may be a render target or a render-target texture
    bool depth;         // a depth format
    bool alpha;         // has an alpha channel (else alpha reads as 255)
    int depthBits;
    YuvLayout yuv = YuvLayout::None;  // a Y'CbCr plain-surface format (never drawn from or into)
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

// count pixels of the format to A8R8G8B8 (alpha 255 when the format has none).
void ToArgb(const FormatInfo& format, const uint8_t* source, uint32_t* dest, int count);
// count A8R8G8B8 pixels to the format (truncating to its channel widths).
void FromArgb(const FormatInfo& format, const uint32_t* source, uint8_t* dest, int count);

}  // namespace d3d9
