// The Y'CbCr plain surfaces: their memory layout, and their conversion to
// A8R8G8B8 when they are stretched onto a colour surface.
#include "platform/d3d9/d3d9_formats.h"

#include <algorithm>
#include <cmath>

namespace d3d9 {
namespace {

constexpr size_t kPitchAlign = 16;  // rows start on 16-byte boundaries, as drivers lay them out

uint8_t Clip(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// 1.0 = 16384: 1.164, 1.596, 0.391, 0.813 and 2.018 rounded to 14 bits.
uint32_t YuvPixel(int luma, int cb, int cr) {
    const int32_t y = 19070 * (luma - 16);
    const int32_t u = cb - 128, v = cr - 128;
    uint32_t r = Clip((y + 26148 * v) / 16384);
    uint32_t g = Clip((y - 6406 * u - 13320 * v) / 16384);
    uint32_t b = Clip((y + 33062 * u) / 16384);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

size_t SurfacePitch(const FormatInfo& format, UINT width) {
    size_t row = static_cast<size_t>(width) * format.bytesPerPixel;
    if (format.yuv == YuvLayout::None) return row;
    return (row + kPitchAlign - 1) / kPitchAlign * kPitchAlign;
}

size_t SurfaceBytes(const FormatInfo& format, UINT width, UINT height) {
    size_t plane = SurfacePitch(format, width) * height;
    return format.yuv == YuvLayout::Yv12 ? plane + plane / 2 : plane;
}

bool YuvSizeAllowed(const FormatInfo& format, UINT width, UINT height) {
    if (format.yuv == YuvLayout::None) return true;
    return width % 2 == 0 && (format.yuv != YuvLayout::Yv12 || height % 2 == 0);
}

bool YuvRectAllowed(const FormatInfo& format, const RECT& rect) {
    if (format.yuv == YuvLayout::None) return true;
    if (format.yuv == YuvLayout::Yv12) return rect.left % 2 == 0 && rect.top % 2 == 0;
    return rect.left % 2 == 0;
}

void YuvToArgb(const FormatInfo& format, const uint8_t* memory, size_t pitch, UINT height, int x, int y, int w,
               int h, uint32_t* argb) {
    const uint8_t* vPlane = memory + pitch * height;
    const uint8_t* uPlane = vPlane + (pitch / 2) * (height / 2);
    for (int row = 0; row < h; ++row) {
        const int sy = y + row;
        const uint8_t* line = memory + pitch * sy;
        uint32_t* out = argb + static_cast<size_t>(row) * w;
        for (int col = 0; col < w; ++col) {
            const int sx = x + col;
            if (format.yuv == YuvLayout::Yv12) {
                size_t c = (pitch / 2) * (sy / 2) + sx / 2;
                out[col] = YuvPixel(line[sx], uPlane[c], vPlane[c]);
                continue;
            }
            const uint8_t* pair = line + (sx / 2) * 4;
            if (format.yuv == YuvLayout::Yuy2)
                out[col] = YuvPixel(pair[(sx & 1) ? 2 : 0], pair[1], pair[3]);
            else
                out[col] = YuvPixel(pair[(sx & 1) ? 3 : 1], pair[0], pair[2]);
        }
    }
}

void ScaleArgb(const uint32_t* source, int sw, int sh, uint32_t* dest, int dw, int dh, bool linear) {
    auto at = [&](int x, int y) {
        return source[static_cast<size_t>(std::clamp(y, 0, sh - 1)) * sw + std::clamp(x, 0, sw - 1)];
    };
    for (int y = 0; y < dh; ++y) {
        const double fy = (y + 0.5) * sh / dh - 0.5;
        for (int x = 0; x < dw; ++x) {
            const double fx = (x + 0.5) * sw / dw - 0.5;
            uint32_t* out = dest + static_cast<size_t>(y) * dw + x;
            if (!linear) {
                *out = at(static_cast<int>((x + 0.5) * sw / dw), static_cast<int>((y + 0.5) * sh / dh));
                continue;
            }
            const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
            const double ax = fx - x0, ay = fy - y0;
            uint32_t p[4] = {at(x0, y0), at(x0 + 1, y0), at(x0, y0 + 1), at(x0 + 1, y0 + 1)};
            uint32_t result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                auto ch = [&](int i) { return static_cast<double>((p[i] >> shift) & 0xFF); };
                double top = ch(0) + (ch(1) - ch(0)) * ax, bottom = ch(2) + (ch(3) - ch(2)) * ax;
                result |= static_cast<uint32_t>(std::lround(top + (bottom - top) * ay)) << shift;
            }
            *out = result;
        }
    }
}

}  // namespace d3d9
