// The masked row copy used when a picture and its texture share a 32-bit
// layout of 8-bit channels gives the texels the per-pixel rule (unpack, then
// pack) gives, cut-out alpha included; other layouts keep the per-pixel rule.
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kArgb8 = 21, kXrgb8 = 22, kR5G6B5 = 23, kA2R10G10B10 = 35, kAbgr8 = 32;

ColorFormatInfo Format(int type) {
    ColorFormatInfo f{};
    EXPECT_EQ(SetD3DFormatColorFormat(&f, type), 0) << type;
    return f;
}

// The rule the upload applies pixel by pixel.
uint32_t PerPixel(const ColorFormatInfo& f, uint32_t value, bool cutOut, uint32_t key) {
    int r = 0, g = 0, b = 0, a = 255;
    UnpackColorValue(&f, value, &r, &g, &b, &a);
    if (f.alphaWidth == 0) a = 255;
    if (cutOut && (value & 0xFFFFFF) == (key & 0xFFFFFF)) a = 0;
    return PackColorValue(&f, r, g, b, a);
}

struct Case {
    const char* what;
    int type;
    bool cutOut;
};

const Case kCases[] = {
    {"A8R8G8B8", kArgb8, false},
    {"A8R8G8B8 cut out", kArgb8, true},
    {"X8R8G8B8 (stray top byte dropped)", kXrgb8, false},
    {"X8R8G8B8 cut out", kXrgb8, true},
    {"A8B8G8R8 cut out", kAbgr8, true},
};

TEST(TextureRowCopy, MatchesThePerPixelRule) {
    const uint32_t key = 0x00FF00FF;
    const std::vector<uint32_t> row = {0x00000000, 0xFFFFFFFF, 0x80FF00FF, 0x12345678, 0xFF00FF00,
                                       0x00FF00FF, 0x7F0000FF, 0xABCDEF01, 0x01FF00FE, 0xFEFF00FF};
    for (const Case& c : kCases) {
        const ColorFormatInfo f = Format(c.type);
        ASSERT_TRUE(IsMaskedCopyLayout(&f, &f)) << c.what;
        std::vector<uint32_t> out(row.size(), 0xDEADBEEF);
        CopyRowMasked(reinterpret_cast<const uint8_t*>(row.data()), reinterpret_cast<uint8_t*>(out.data()),
                      static_cast<int32_t>(row.size()), &f, c.cutOut, key);
        for (size_t i = 0; i < row.size(); ++i)
            EXPECT_EQ(out[i], PerPixel(f, row[i], c.cutOut, key)) << c.what << " pixel " << std::hex << row[i];
    }
}

struct LayoutCase {
    const char* what;
    int from;
    int to;
    bool masked;
};

const LayoutCase kLayouts[] = {
    {"same 8-bit layout with alpha", kArgb8, kArgb8, true},
    {"same 8-bit layout without alpha", kXrgb8, kXrgb8, true},
    {"alpha added", kXrgb8, kArgb8, false},
    {"16-bit", kR5G6B5, kR5G6B5, false},
    {"10-bit channels", kA2R10G10B10, kA2R10G10B10, false},
    {"channels swapped", kArgb8, kAbgr8, false},
};

TEST(TextureRowCopy, OnlyForSame8BitLayouts) {
    for (const LayoutCase& c : kLayouts) {
        const ColorFormatInfo from = Format(c.from), to = Format(c.to);
        EXPECT_EQ(IsMaskedCopyLayout(&from, &to), c.masked) << c.what;
    }
    const ColorFormatInfo f = Format(kArgb8);
    EXPECT_FALSE(IsMaskedCopyLayout(&f, nullptr)) << "no texture format";
}

}  // namespace
