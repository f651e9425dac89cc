// The table-driven row conversion of picture pixels into texels gives, for
// every pair of formats it serves, the texels the per-pixel rule (unpack,
// then pack) gives, cut-out alpha and opaque alpha included; pairs it does
// not serve keep the per-pixel rule.
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kArgb8 = 21, kXrgb8 = 22, kR5G6B5 = 23, kA1R5G5B5 = 25, kA4R4G4B4 = 26, kAbgr8 = 32,
              kA2R10G10B10 = 35;

ColorFormatInfo Format(int type) {
    ColorFormatInfo f{};
    EXPECT_EQ(SetD3DFormatColorFormat(&f, type), 0) << type;
    return f;
}

// The 16-bit colour with an 8-bit alpha above it that glyph caches use.
ColorFormatInfo Rgb565WithAlpha() {
    ColorFormatInfo f{};
    EXPECT_EQ(SetColorFormatFromMasks(&f, 32, 0xF800, 0x07E0, 0x001F, 0xFF0000), 0);
    return f;
}

// The rule the upload applies pixel by pixel.
uint32_t PerPixel(const ColorFormatInfo& from, const ColorFormatInfo& to, uint32_t value, bool cutOut, uint32_t key) {
    int r = 0, g = 0, b = 0, a = 255;
    UnpackColorValue(&from, value, &r, &g, &b, &a);
    if (from.alphaWidth == 0) a = 255;
    if (cutOut && (value & 0xFFFFFF) == (key & 0xFFFFFF)) a = 0;
    return PackColorValue(&to, r, g, b, a);
}

struct Case {
    const char* what;
    ColorFormatInfo from;
    ColorFormatInfo to;
    bool cutOut;
};

TEST(TexelConverter, MatchesThePerPixelRule) {
    const Case cases[] = {
        {"A8R8G8B8 to itself", Format(kArgb8), Format(kArgb8), false},
        {"A8R8G8B8 to itself, cut out", Format(kArgb8), Format(kArgb8), true},
        {"X8R8G8B8 to A8R8G8B8 (opaque, stray top byte dropped)", Format(kXrgb8), Format(kArgb8), false},
        {"X8R8G8B8 to A8R8G8B8, cut out", Format(kXrgb8), Format(kArgb8), true},
        {"565 with alpha to A8R8G8B8", Rgb565WithAlpha(), Format(kArgb8), true},
        {"R5G6B5 to A8R8G8B8", Format(kR5G6B5), Format(kArgb8), true},
        {"A8R8G8B8 to A4R4G4B4", Format(kArgb8), Format(kA4R4G4B4), false},
        {"A1R5G5B5 to A8B8G8R8", Format(kA1R5G5B5), Format(kAbgr8), true},
        {"X8R8G8B8 to R5G6B5", Format(kXrgb8), Format(kR5G6B5), true},
    };
    const uint32_t key = 0x00FF00FF;
    const std::vector<uint32_t> pixels = {0x00000000, 0xFFFFFFFF, 0x80FF00FF, 0x12345678, 0xFF00FF00, 0x00FF00FF,
                                          0x7F0000FF, 0xABCDEF01, 0x01FF00FE, 0xFEFF00FF, 0x0000F81F, 0x0011F800};
    for (const Case& c : cases) {
        ASSERT_TRUE(TexelConverter::Usable(&c.from, &c.to)) << c.what;
        const TexelConverter converter(&c.from, &c.to);
        std::vector<uint8_t> in(pixels.size() * c.from.pixelByte);
        for (size_t i = 0; i < pixels.size(); ++i) std::memcpy(&in[i * c.from.pixelByte], &pixels[i], c.from.pixelByte);
        std::vector<uint8_t> out(pixels.size() * c.to.pixelByte, 0xCD);
        converter.Row(in.data(), out.data(), static_cast<int32_t>(pixels.size()), c.cutOut, key);
        for (size_t i = 0; i < pixels.size(); ++i) {
            uint32_t value = 0, texel = 0;
            std::memcpy(&value, &in[i * c.from.pixelByte], c.from.pixelByte);
            std::memcpy(&texel, &out[i * c.to.pixelByte], c.to.pixelByte);
            const uint32_t width = c.to.pixelByte == 4 ? 0xFFFFFFFFu : (1u << (8 * c.to.pixelByte)) - 1;
            EXPECT_EQ(texel, PerPixel(c.from, c.to, value, c.cutOut, key) & width)
                << c.what << " pixel " << std::hex << value;
        }
    }
}

struct UsableCase {
    const char* what;
    ColorFormatInfo from;
    bool hasTarget;
    ColorFormatInfo to;
    bool usable;
};

TEST(TexelConverter, ServesOnlyNarrowChannelsWithoutPalette) {
    ColorFormatInfo palette = Format(kXrgb8);
    palette.isPalette = 1;
    const UsableCase cases[] = {
        {"8-bit channels", Format(kArgb8), true, Format(kArgb8), true},
        {"10-bit source channels", Format(kA2R10G10B10), true, Format(kArgb8), false},
        {"10-bit texture channels", Format(kArgb8), true, Format(kA2R10G10B10), false},
        {"palette source", palette, true, Format(kArgb8), false},
        {"no texture format", Format(kArgb8), false, Format(kArgb8), false},
    };
    for (const UsableCase& c : cases)
        EXPECT_EQ(TexelConverter::Usable(&c.from, c.hasTarget ? &c.to : nullptr), c.usable) << c.what;
}

}  // namespace
