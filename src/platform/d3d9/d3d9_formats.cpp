#include "platform/d3d9/d3d9_formats.h"

#include <array>
#include <cstring>

namespace d3d9 {
namespace {

constexpr std::array<FormatInfo, 10> kFormats{{
    {D3DFMT_A8R8G8B8, 4, true, true, false, true, 0},
    {D3DFMT_X8R8G8B8, 4, true, true, false, false, 0},
    {D3DFMT_R5G6B5, 2, true, true, false, false, 0},
    {D3DFMT_D16, 0, false, false, true, false, 16},
    {D3DFMT_D24X8, 0, false, false, true, false, 24},
    {D3DFMT_D24S8, 0, false, false, true, false, 24},
    {D3DFMT_D32, 0, false, false, true, false, 32},
    {D3DFMT_YV12, 1, false, false, false, false, 0, YuvLayout::Yv12},
    {D3DFMT_YUY2, 2, false, false, false, false, 0, YuvLayout::Yuy2},
    {D3DFMT_UYVY, 2, false, false, false, false, 0, YuvLayout::Uyvy},
}};

uint32_t Expand565(uint16_t v) {
    uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

uint16_t Pack565(uint32_t argb) {
    return static_cast<uint16_t>(((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
}

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
    for (const FormatInfo& f : kFormats)
        if (f.format == format) return &f;
    return nullptr;
}

bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_A8R8G8B8;
}

void ToArgb(const FormatInfo& format, const uint8_t* source, uint32_t* dest, int count) {
    if (format.bytesPerPixel == 2) {
        for (int i = 0; i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, source + i * 2, 2);
            dest[i] = Expand565(v);
        }
        return;
    }
    std::memcpy(dest, source, static_cast<size_t>(count) * 4);
    if (!format.alpha)
        for (int i = 0; i < count; ++i) dest[i] |= 0xFF000000u;
}

void FromArgb(const FormatInfo& format, const uint32_t* source, uint8_t* dest, int count) {
    if (format.bytesPerPixel == 2) {
        for (int i = 0; i < count; ++i) {
            uint16_t v = Pack565(source[i]);
            std::memcpy(dest + i * 2, &v, 2);
        }
        return;
    }
    std::memcpy(dest, source, static_cast<size_t>(count) * 4);
}

}  // namespace d3d9
