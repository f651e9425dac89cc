#include "platform/d3d9/d3d9_formats.h"

#include <array>
#include <cstring>
#include <memory>
#include <mutex>

namespace d3d9 {
namespace {

constexpr WordLayout k565{0, 5, 6, 5};
constexpr WordLayout k4444{4, 4, 4, 4};
constexpr WordLayout k1555{1, 5, 5, 5};

constexpr std::array<FormatInfo, 13> kFormats{{
    {D3DFMT_A8R8G8B8, 4, true, true, false, true, 0},
    {D3DFMT_X8R8G8B8, 4, true, true, false, false, 0},
    {D3DFMT_R5G6B5, 2, true, true, false, false, 0, YuvLayout::None, k565},
    {D3DFMT_A4R4G4B4, 2, true, true, false, true, 0, YuvLayout::None, k4444},
    {D3DFMT_A1R5G5B5, 2, true, true, false, true, 0, YuvLayout::None, k1555},
    {D3DFMT_X1R5G5B5, 2, true, true, false, false, 0, YuvLayout::None, k1555},
    {D3DFMT_D16, 0, false, false, true, false, 16},
    {D3DFMT_D24X8, 0, false, false, true, false, 24},
    {D3DFMT_D24S8, 0, false, false, true, false, 24},
    {D3DFMT_D32, 0, false, false, true, false, 32},
    {D3DFMT_YV12, 1, false, false, false, false, 0, YuvLayout::Yv12},
    {D3DFMT_YUY2, 2, false, false, false, false, 0, YuvLayout::Yuy2},
    {D3DFMT_UYVY, 2, false, false, false, false, 0, YuvLayout::Uyvy},
}};

// Where each channel of a word starts (blue at bit 0).
struct WordShifts {
    int a, r, g, b;
};

constexpr WordShifts ShiftsOf(const WordLayout& l) { return {l.b + l.g + l.r, l.b + l.g, l.b, 0}; }

uint32_t Field(uint32_t word, int shift, int bits) { return (word >> shift) & ((1u << bits) - 1); }

uint32_t ExpandWord(const FormatInfo& format, uint16_t word) {
    const WordLayout& l = format.word;
    const WordShifts s = ShiftsOf(l);
    uint32_t a = format.alpha ? WidenChannel(Field(word, s.a, l.a), l.a) : 255;
    return a << 24 | WidenChannel(Field(word, s.r, l.r), l.r) << 16 | WidenChannel(Field(word, s.g, l.g), l.g) << 8 |
           WidenChannel(Field(word, s.b, l.b), l.b);
}

// Every word of a 16-bit format expanded, made on the format's first use
// (256 KiB each): one lookup a texel. Null for a format of another size.
const uint32_t* WordTableOf(const FormatInfo& format) {
    struct Tables {
        std::once_flag made[kFormats.size()];
        std::unique_ptr<uint32_t[]> table[kFormats.size()];
    };
    static Tables tables;
    const FormatInfo* known = FindFormat(format.format);
    if (known == nullptr || known->bytesPerPixel != 2) return nullptr;
    const size_t i = static_cast<size_t>(known - kFormats.data());
    std::call_once(tables.made[i], [&] {
        tables.table[i].reset(new uint32_t[65536]);
        for (uint32_t v = 0; v < 65536; ++v) tables.table[i][v] = ExpandWord(*known, static_cast<uint16_t>(v));
    });
    return tables.table[i].get();
}

// The top `bits` bits of an 8-bit channel (none for 0 bits).
uint32_t Narrow(uint32_t channel, int bits) { return (channel & 0xFF) >> (8 - bits); }

uint16_t PackWord(const WordLayout& l, uint32_t argb) {
    const WordShifts s = ShiftsOf(l);
    return static_cast<uint16_t>(Narrow(argb >> 24, l.a) << s.a | Narrow(argb >> 16, l.r) << s.r |
                                 Narrow(argb >> 8, l.g) << s.g | Narrow(argb, l.b) << s.b);
}

}  // namespace

const FormatInfo* FindFormat(D3DFORMAT format) {
    for (const FormatInfo& f : kFormats)
        if (f.format == format) return &f;
    return nullptr;
}

uint32_t WidenChannel(uint32_t value, int bits) {
    if (bits < 1 || bits > 8) return 0;
    uint32_t out = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits) out |= shift >= 0 ? value << shift : value >> -shift;
    return out & 0xFF;
}

bool IsDisplayFormat(D3DFORMAT format) {
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_A8R8G8B8;
}

// Y'CbCr formats never come here: they are converted by YuvToArgb.
void ToArgb(const FormatInfo& format, const uint8_t* source, uint32_t* dest, int count) {
    if (format.bytesPerPixel == 2) {
        const uint32_t* table = WordTableOf(format);
        for (int i = 0; i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, source + i * 2, 2);
            dest[i] = table != nullptr ? table[v] : ExpandWord(format, v);
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
            uint16_t v = PackWord(format.word, source[i]);
            std::memcpy(dest + i * 2, &v, 2);
        }
        return;
    }
    std::memcpy(dest, source, static_cast<size_t>(count) * 4);
}

}  // namespace d3d9
