// Colour-format descriptors and the channel rounding of the converter.
#include "image_test_util.h"

#include <cstring>

using namespace image_test;

TEST(ColorFormat, SixteenBitWithAlphaUsesFourBytePixels) {
    // The software renderer's R5G6B5 with alpha: colour word in bits 0-15,
    // alpha in 16-23.
    ColorFormatInfo f;
    SetR5G6B5A8ColorFormat(&f);
    EXPECT_EQ(f.pixelByte, 4);
    EXPECT_EQ(f.colorBitDepth, 16);
    EXPECT_EQ(f.alphaLoc, 16);
    EXPECT_EQ(f.alphaWidth, 8);
    EXPECT_EQ(SetDXTColorFormat(&f, 6), -1);
    EXPECT_EQ(f.dxtType, 0);
}

TEST(ColorFormat, FromMasksComputesWidthsAndRefusesBadMasks) {
    ColorFormatInfo f;
    ASSERT_EQ(SetColorFormatFromMasks(&f, 16, 0x0F00, 0x00F0, 0x000F, 0xF000), 0);
    EXPECT_EQ(f.redWidth, 4);
    EXPECT_EQ(f.redLoc, 8);
    EXPECT_EQ(f.alphaLoc, 12);
    EXPECT_EQ(f.pixelByte, 2);

    EXPECT_EQ(SetColorFormatFromMasks(&f, 16, 0x0F0F, 0x00F0, 0, 0), -1);       // not one run
    EXPECT_EQ(SetColorFormatFromMasks(&f, 16, 0x1F0000, 0x00F0, 0x000F, 0), -1);  // outside 16 bits
    EXPECT_EQ(SetColorFormatFromMasks(&f, 24, 0, 0, 0, 0), -1);                 // nothing
    EXPECT_EQ(SetColorFormatFromMasks(&f, 12, 0xF00, 0xF0, 0xF, 0), -1);        // no such size
    EXPECT_EQ(SetColorFormatFromMasks(&f, 32, 0xFFFFF, 0, 0, 0), -1);           // wider than 16 bits
    EXPECT_EQ(f.pixelByte, 0);  // cleared on failure

    // Direct3D codes: A2R10G10B10 and G16R16 have channels wider than 8 bits.
    ASSERT_EQ(SetD3DFormatColorFormat(&f, 35), 0);
    EXPECT_EQ(f.redWidth, 10);
    EXPECT_EQ(f.redLoc, 20);
    EXPECT_EQ(f.alphaWidth, 2);
    EXPECT_EQ(SetD3DFormatColorFormat(&f, 19), -1);
    EXPECT_EQ(SetD3DFormatColorFormat(&f, 36), -1);
}

namespace {

using SetFormat = void (*)(ColorFormatInfo*);
void SetG16R16(ColorFormatInfo* f) { SetD3DFormatColorFormat(f, 34); }
void SetX8B8G8R8(ColorFormatInfo* f) { SetD3DFormatColorFormat(f, 33); }

}  // namespace

// Narrowing truncates, widening replicates bits (so the ends stay 0 and 255);
// bits outside the channels are packed as 0; out-of-range inputs clamp.
TEST(ColorFormat, PackAndUnpackOneValue) {
    const struct {
        const char* what;
        SetFormat set;
        Argb argb;
        uint32_t packed;
    } packs[] = {
        {"565 white", SetR5G6B5ColorFormat, {0, 255, 255, 255}, 0xFFFFu},
        {"565 truncation", SetR5G6B5ColorFormat, {0, 132, 130, 7}, (16u << 11) | (32u << 5)},
        {"565 lowest step", SetR5G6B5ColorFormat, {0, 8, 4, 8}, (1u << 11) | (1u << 5) | 1u},
        {"565 below the step", SetR5G6B5ColorFormat, {0, 7, 3, 7}, 0u},
        {"1-bit alpha 127", SetA1R5G5B5ColorFormat, {127, 0, 0, 0}, 0u},
        {"1-bit alpha 128", SetA1R5G5B5ColorFormat, {128, 0, 0, 0}, 0x8000u},
        {"16-bit channels replicate", SetG16R16, {0, 0xAB, 0xCD, 0}, 0xCDCDABABu},
        {"X byte stays 0", SetXRGB8ColorFormat, {0x80, 255, 0, 255}, 0x00FF00FFu},
        {"565 with alpha byte", SetR5G6B5A8ColorFormat, {0x80, 255, 0, 255}, 0x0080F81Fu},
        {"clamped", SetXRGB8ColorFormat, {0, 300, -5, 0}, 0x00FF0000u},
        {"red in the low byte", SetX8B8G8R8, {0x80, 0x11, 0x22, 0x33}, 0x00332211u},
    };
    ColorFormatInfo f;
    for (const auto& c : packs) {
        c.set(&f);
        EXPECT_EQ(PackColorValue(&f, c.argb.r, c.argb.g, c.argb.b, c.argb.a), c.packed) << c.what;
    }
    const struct {
        const char* what;
        SetFormat set;
        uint32_t value;
        Argb argb;
    } unpacks[] = {
        {"565 replication, no alpha is opaque", SetR5G6B5ColorFormat, (16u << 11) | (32u << 5) | 1u, {255, 132, 130, 8}},
        {"565 white", SetR5G6B5ColorFormat, 0xFFFF, {255, 255, 255, 255}},
        {"1-bit alpha", SetA1R5G5B5ColorFormat, 0x8000, {255, 0, 0, 0}},
        {"16-bit channels truncate", SetG16R16, 0xABCD1234u, {255, 0x12, 0xAB, 0}},
    };
    for (const auto& c : unpacks) {
        c.set(&f);
        Argb got;
        UnpackColorValue(&f, c.value, &got.r, &got.g, &got.b, &got.a);
        EXPECT_EQ(got, c.argb) << c.what;
    }
    // Every 8-bit value survives 8 -> 5 (6) -> 8 within the truncation step.
    SetR5G6B5ColorFormat(&f);
    for (int v = 0; v < 256; ++v) {
        int r, g;
        UnpackColorValue(&f, PackColorValue(&f, v, v, v, 255), &r, &g, nullptr, nullptr);
        EXPECT_EQ(r >> 3, v >> 3) << v;
        EXPECT_EQ(g >> 2, v >> 2) << v;
    }
}

TEST(ColorFormat, PaletteEntriesAreOpaqueUnlessAlphaIsKept) {
    uint32_t entries[3] = {0x00112233u, 0x80445566u, 0xFF778899u};
    ColorFormatInfo f;
    SetPalette8ColorFormat(&f, entries, 3, 0);
    EXPECT_EQ(f.palette[0], 0xFF112233u);
    EXPECT_EQ(f.palette[1], 0xFF445566u);
    EXPECT_EQ(f.palette[3], 0xFF000000u);  // past the count: opaque black
    EXPECT_EQ(f.alphaWidth, 0);
    SetPalette8ColorFormat(&f, entries, 3, 1);
    EXPECT_EQ(f.palette[1], 0x80445566u);
    int r, g, b, a;
    UnpackColorValue(&f, 1, &r, &g, &b, &a);
    EXPECT_EQ((Argb{a, r, g, b}), (Argb{0x80, 0x44, 0x55, 0x66}));
    SetPalette8ColorFormat(&f, nullptr, 0, 0);  // grey ramp
    EXPECT_EQ(f.palette[200], 0xFFC8C8C8u);
    // A count beyond 256 is cut, not read past.
    uint32_t big[256];
    for (int i = 0; i < 256; ++i) big[i] = uint32_t(i);
    SetPalette8ColorFormat(&f, big, 100000, 0);
    EXPECT_EQ(f.palette[255], 0xFF0000FFu);
}

TEST(ColorFormat, SameFormatComparesLayoutNotBitDepthLabel) {
    ColorFormatInfo a, b;
    SetXRGB8ColorFormat(&a);
    SetColorFormatFromMasks(&b, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_TRUE(IsSameColorFormat(&a, &b));
    SetARGB8ColorFormat(&b);
    EXPECT_FALSE(IsSameColorFormat(&a, &b));
    SetDXTColorFormat(&a, 1);
    SetDXTColorFormat(&b, 1);
    EXPECT_TRUE(IsSameColorFormat(&a, &b));
    SetDXTColorFormat(&b, 5);
    EXPECT_FALSE(IsSameColorFormat(&a, &b));
}
