// The pixel formats the stand-in holds: what each may be used as, its size,
// and the conversions to and from the 32-bit A8R8G8B8 pixels every GL
// texture and render target keeps.
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstdint>

namespace d3d9 {

struct FormatInfo {
    D3DFORMAT format;
    int bytesPerPixel;  // 0 for depth formats (never locked)
    bool texture;       // may be a texture or a plain surface
    bool renderTarget;  // may be a render target or a render-target texture
    bool depth;         // a depth format
    bool alpha;         // has an alpha channel (else alpha reads as 255)
    int depthBits;
};

// The row of a format, or null when the stand-in does not hold it.
const FormatInfo* FindFormat(D3DFORMAT format);
// The formats a display mode and a back buffer may have.
bool IsDisplayFormat(D3DFORMAT format);

// count pixels of the format to A8R8G8B8 (alpha 255 when the format has none).
void ToArgb(const FormatInfo& format, const uint8_t* source, uint32_t* dest, int count);
// count A8R8G8B8 pixels to the format (truncating to its channel widths).
void FromArgb(const FormatInfo& format, const uint32_t* source, uint8_t* dest, int count);

}  // namespace d3d9
