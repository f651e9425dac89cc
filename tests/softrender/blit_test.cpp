// Unscaled blit and the image-source pixel rule: the worked examples, every
// mode in both formats, factors (blend image, source alpha), brightness,
// transparency, palettes, clipping and refusals. Expected values worked out by
// hand from the formulas.
#include "soft_test_util.h"

#include <random>

namespace {

using BlitTest = SoftTest;

// Blits a 1x1 source of value src onto a 1x1 destination of value dest.
uint32_t BlitOne(int32_t type, uint32_t flags, uint32_t src, uint32_t dest, int32_t trans = 0,
                 const MEMIMG* blend = nullptr, uint32_t transColor = 0) {
    TestImage s(1, 1, type, flags, transColor), d(1, 1, type);
    s.Set(0, 0, src);
    d.Set(0, 0, dest);
    BlitMemImg(&d, &s, 0, 0, trans, blend);
    return d.Get(0, 0);
}
uint32_t Blit32(uint32_t src, uint32_t dest) { return BlitOne(kMemImgX8R8G8B8, 0, src, dest); }
uint32_t Blit16(uint32_t src, uint32_t dest) { return BlitOne(kMemImgR5G6B5, 0, src, dest); }

// A 1x1 blend image whose byte is value, with the ramp made the identity
// (border parameter 128, range 255: entry i = i).
struct BlendByte {
    TestImage img{1, 1, kMemImgChannel8};
    explicit BlendByte(uint8_t value) {
        img.Set(0, 0, value);
        BuildBlendImageRamp(128, 255);
    }
};

TEST_F(BlitTest, ModeOneAtFullWeightCopiesExactly) {
    SetBlend(1, 255);
    EXPECT_EQ(0xAAFFFFFFu, Blit32(0xAAFFFFFF, 0));  // the formula would give 254
    EXPECT_EQ(0xFFFFu, Blit16(0xFFFF, 0));
    SetBlend(0, 0);
    EXPECT_EQ(0x12345678u, Blit32(0x12345678, 0xFFFFFFFF));
}

TEST_F(BlitTest, AlphaBlendHalfWeight) {
    SetBlend(1, 128);
    EXPECT_EQ(Rgb32(127, 127, 127, 0x55), Blit32(Rgb32(255, 255, 255, 0xAA), 0x55000000));
    EXPECT_EQ(Rgb16(15, 31, 16), Blit16(Rgb16(31, 63, 0), Rgb16(0, 0, 31)));
}

TEST_F(BlitTest, AddAndSubtractKeepTheirLowBitEffects) {
    SetBlend(2, 255);
    // Blue 200 + 100 saturates; green 3 + 1 gives 3 (upper bits 1 + 0, low bit 1).
    EXPECT_EQ(Rgb32(0, 3, 255), Blit32(Rgb32(0, 1, 100), Rgb32(0, 3, 200)));
    EXPECT_EQ(0x01FFFFFFu, Blit32(Rgb32(0x50, 0x90, 0xD0), Rgb32(0xC0, 0x80, 0x40)));
    EXPECT_EQ(Rgb16(7, 13, 31), Blit16(Rgb16(3, 5, 17), Rgb16(4, 9, 20)));
    SetBlend(2, 128);
    EXPECT_EQ(Rgb32(60, 161, 255), Blit32(Rgb32(100, 200, 255, 0x77), Rgb32(10, 60, 200, 0xAB)));
    SetBlend(3, 255);
    // (B10, G10, R0) - (B20, 0, 0): blue went below 0, so green's low bit is 0;
    // green did not, so red's low bit is 1.
    EXPECT_EQ(Rgb32(1, 10, 0), Blit32(Rgb32(0, 0, 20), Rgb32(0, 10, 10)));
    EXPECT_EQ(Rgb16(7, 10, 5), Blit16(Rgb16(5, 10, 5), Rgb16(10, 20, 10)));
    SetBlend(3, 128);
    EXPECT_EQ(Rgb32(0, 0, 72), Blit32(Rgb32(100, 200, 255), Rgb32(10, 60, 200, 0xAB)));
}

TEST_F(BlitTest, ParameterZeroAndTheModesThatIgnoreIt) {
    const uint32_t d = Rgb32(10, 10, 10, 0x33);
    SetBlend(4, 0);  // multiply ignores p
    EXPECT_EQ(Rgb32(100, 99, 0, 0xAB), Blit32(Rgb32(128, 255, 0), Rgb32(200, 100, 50, 0xAB)));
    SetBlend(2, 0);
    EXPECT_EQ(d, Blit32(0xFFFFFF, d));
    SetBlend(1, 0);
    EXPECT_EQ(d, Blit32(0xFFFFFF, d));
    SetBlend(3, 0);
    EXPECT_EQ(d, Blit32(0xFFFFFF, d));
    SetBlend(10, 0);
    EXPECT_EQ(d, Blit32(0xFFFFFF, d));
    SetBlend(11, 0);
    EXPECT_EQ(d, Blit32(0xFFFFFF, d));
}

TEST_F(BlitTest, ParameterOutsideItsRangeIsLimited) {
    SetBlend(1, 300);  // as 255: a copy
    EXPECT_EQ(0xAAFFFFFFu, Blit32(0xAAFFFFFF, 0));
    SetBlend(1, -5);  // as 0: nothing
    EXPECT_EQ(0x123u, Blit32(0xAAFFFFFF, 0x123));
    SetBlend(2, 256);
    TestImage img(1, 1, kMemImgX8R8G8B8);
    img.Set(0, 0, Rgb32(0, 3, 200));
    FillMemImgRect(&img, nullptr, Rgb32(0, 1, 100));
    EXPECT_EQ(Rgb32(0, 3, 255), img.Get(0, 0));
}

TEST_F(BlitTest, SubtractWithParameterZeroFromAPaletteStillSetsLowBits) {
    SetBlend(3, 0);
    uint32_t entry = 0xFFFFFF;
    TestImage s32(1, 1, kMemImgX8R8G8B8, kMemImgPalette), d32(1, 1, kMemImgX8R8G8B8);
    SetMemImgPalette(&s32, &entry, 1);
    d32.Set(0, 0, Rgb32(10, 10, 10));
    EXPECT_EQ(0, BlitMemImg(&d32, &s32, 0, 0, 0, nullptr));
    EXPECT_EQ(Rgb32(11, 11, 10), d32.Get(0, 0));

    // 16-bit: red's low bit set, green's cleared.
    TestImage s16(1, 1, kMemImgR5G6B5, kMemImgPalette), d16(1, 1, kMemImgR5G6B5);
    SetMemImgPalette(&s16, &entry, 1);
    d16.Set(0, 0, Rgb16(10, 11, 10));
    EXPECT_EQ(0, BlitMemImg(&d16, &s16, 0, 0, 0, nullptr));
    EXPECT_EQ(Rgb16(11, 10, 10), d16.Get(0, 0));
}

TEST_F(BlitTest, InvertAndMultiplyBlendModes) {
    SetBlend(10, 128);
    EXPECT_EQ(Rgb32(50, 177, 127, 0xAB), Blit32(Rgb32(255, 0, 100), Rgb32(100, 100, 100, 0xAB)));
    EXPECT_EQ(Rgb16(5, 36, 15), Blit16(Rgb16(31, 0, 10), Rgb16(10, 10, 10)));
    SetBlend(11, 128);
    EXPECT_EQ(Rgb32(89, 119, 254), Blit32(Rgb32(200, 50, 255), Rgb32(100, 200, 255)));
    SetBlend(11, 255);
    EXPECT_EQ(Rgb16(15, 31, 7), Blit16(Rgb16(16, 32, 31), Rgb16(31, 63, 8)));
    SetBlend(4, 200);
    EXPECT_EQ(Rgb16(30, 62, 30), Blit16(0xFFFF, 0xFFFF));
}

TEST_F(BlitTest, BrightnessScalesTheSourceThroughTheTable) {
    // (255, 255, 254) is not white: mode 0 writes the scaled bytes and keeps
    // the destination's fourth byte.
    SetBrightness(255, 255, 254);
    EXPECT_EQ(0x110000FEu, Blit32(0xAA0000FF, 0x11000000));
    // 16-bit: S[128][31] = 15, S[128][63] = 31.
    SetBrightness(128, 128, 128);
    EXPECT_EQ(Rgb16(15, 31, 15), Blit16(0xFFFF, 0));
    // Mode 10 scales the inverted value: x = (S[128][0], S[128][255], S[128][155]) = (0, 128, 77).
    SetBlend(10, 255);
    EXPECT_EQ(Rgb32(0, 127, 77), Blit32(Rgb32(255, 0, 100), Rgb32(100, 100, 100)));
}

TEST_F(BlitTest, BlendImageIsAFactorReadThroughTheRamp) {
    {
        BlendByte b(128);  // n = 1, PF = 128
        EXPECT_EQ(Rgb32(127, 150, 25, 0x44), BlitOne(kMemImgX8R8G8B8, 0, Rgb32(255, 100, 0), Rgb32(0, 200, 50, 0x44), 0,
                                                     &b.img.img));
    }
    {
        BlendByte b(64);  // mode 1, p 128: n = 2, PF = 8192
        SetBlend(1, 128);
        EXPECT_EQ(Rgb32(31, 187, 43), BlitOne(kMemImgX8R8G8B8, 0, Rgb32(255, 100, 0), Rgb32(0, 200, 50), 0, &b.img.img));
    }
    {
        BlendByte b(128);  // 16-bit add: t = S[p][(s x r) >> 8]
        SetBlend(2, 255);
        EXPECT_EQ(Rgb16(15, 31, 15), BlitOne(kMemImgR5G6B5, 0, 0xFFFF, 0, 0, &b.img.img));
        SetBlend(2, 128);
        EXPECT_EQ(Rgb16(7, 15, 7), BlitOne(kMemImgR5G6B5, 0, 0xFFFF, 0, 0, &b.img.img));
        SetBlend(1, 128);  // 16-bit with two factors takes the general formula
        EXPECT_EQ(Rgb16(7, 15, 7), BlitOne(kMemImgR5G6B5, 0, 0xFFFF, 0, 0, &b.img.img));
    }
    {
        // A ramp that maps every byte to 255 still weighs by 255/256.
        TestImage blend(1, 1, kMemImgChannel8);
        BuildBlendImageRamp(0, 0);
        SetBlend(0, 0);
        EXPECT_EQ(Rgb32(254, 254, 254), BlitOne(kMemImgX8R8G8B8, 0, 0xFFFFFF, 0, 0, &blend.img));
    }
}

TEST_F(BlitTest, SourceAlphaIsAFactorUnlessTransparencyDecides) {
    const uint32_t flags = kMemImgAlpha;
    // Flag set: a = 0 skipped, a = 255 copies the whole pixel, a = 128 blends.
    EXPECT_EQ(0x11223344u, BlitOne(kMemImgX8R8G8B8, flags, 0x00FFFFFF, 0x11223344, 1));
    EXPECT_EQ(0xFFFFFFFFu, BlitOne(kMemImgX8R8G8B8, flags, 0xFFFFFFFF, 0x11000000, 1));
    EXPECT_EQ(0x117F7F7Fu, BlitOne(kMemImgX8R8G8B8, flags, 0x80FFFFFF, 0x11000000, 1));
    // Flag clear: 255 weighs 255/256, 0 leaves the pixel.
    EXPECT_EQ(Rgb32(254, 254, 254), BlitOne(kMemImgX8R8G8B8, flags, 0xFFFFFFFF, 0, 0));
    EXPECT_EQ(0x00102030u, BlitOne(kMemImgX8R8G8B8, flags, 0x00FFFFFF, 0x00102030, 0));
    // Three factors: blend 64, alpha 128, p 128: PF = 2^20, d + (x - d) / 16 rounded down.
    {
        BlendByte b(64);
        SetBlend(1, 128);
        EXPECT_EQ(Rgb32(15, 193, 46), BlitOne(kMemImgX8R8G8B8, flags, 0x80000000 | Rgb32(255, 100, 0),
                                              Rgb32(0, 200, 50), 0, &b.img.img));
        // Add with blend 64, alpha 128, p 255: t = (200 x 2088960) >> 24 = 24.
        SetBlend(2, 255);
        EXPECT_EQ(Rgb32(34, 34, 34), BlitOne(kMemImgX8R8G8B8, flags, 0x80000000 | Rgb32(200, 200, 200),
                                             Rgb32(10, 10, 10), 0, &b.img.img));
        // Multiply with blend 64 and alpha 128: (200 x 255 x 8192) >> 24 = 24.
        SetBlend(4, 0);
        EXPECT_EQ(Rgb32(24, 24, 24), BlitOne(kMemImgX8R8G8B8, flags, 0x80000000 | Rgb32(255, 255, 255),
                                             Rgb32(200, 200, 200), 0, &b.img.img));
        SetBlend(0, 0);
    }
    // 16-bit with alpha: four-byte source pixels (colour word, alpha byte).
    EXPECT_EQ(Rgb16(15, 31, 15), BlitOne(kMemImgR5G6B5, flags, 0x00800000 | 0xFFFF, 0, 0));
    EXPECT_EQ(0x1234u, BlitOne(kMemImgR5G6B5, flags, 0x0000FFFF, 0x1234, 1));
    EXPECT_EQ(0xFFFFu, BlitOne(kMemImgR5G6B5, flags, 0x00FFFFFF, 0x1234, 1, nullptr, 0xFFFF));
    SetBlend(4, 0);  // (31 x 31 x 128) >> 13 = 15, (63 x 63 x 128) >> 14 = 31
    EXPECT_EQ(Rgb16(15, 31, 15), BlitOne(kMemImgR5G6B5, flags, 0x00800000 | 0xFFFF, 0xFFFF, 0));
}

TEST_F(BlitTest, TransparentColourComparesTheWholeValue) {
    // 32-bit: all four bytes.
    EXPECT_EQ(0x11u, BlitOne(kMemImgX8R8G8B8, 0, 0x00FF00FF, 0x11, 1, nullptr, 0x00FF00FF));
    EXPECT_EQ(0x01FF00FFu, BlitOne(kMemImgX8R8G8B8, 0, 0x01FF00FF, 0x11, 1, nullptr, 0x00FF00FF));
    EXPECT_EQ(0x00FF00FFu, BlitOne(kMemImgX8R8G8B8, 0, 0x00FF00FF, 0x11, 0, nullptr, 0x00FF00FF));
    // 16-bit: the colour word; a transparent colour with high bits keeps its
    // low half, so it still matches.
    EXPECT_EQ(0x11u, BlitOne(kMemImgR5G6B5, 0, 0xF81F, 0x11, 1, nullptr, 0xABCD0000 | 0xF81F));
    // Transparency holds in every mode.
    for (int32_t mode : {1, 2, 3, 4, 10, 11}) {
        SetBlend(mode, 100);
        EXPECT_EQ(0x11u, BlitOne(kMemImgX8R8G8B8, 0, 0xFF00FF, 0x11, 1, nullptr, 0xFF00FF)) << mode;
        EXPECT_EQ(0x11u, BlitOne(kMemImgR5G6B5, 0, 0xF81F, 0x11, 1, nullptr, 0xF81F)) << mode;
    }
}

TEST_F(BlitTest, PaletteSourcesLookUpEntriesAndSkipByIndex) {
    TestImage src(4, 1, kMemImgX8R8G8B8, kMemImgPalette, 2), dst(4, 1, kMemImgX8R8G8B8);
    uint32_t entries[4] = {0xAA000001, 0xBB000002, 0xCC000003, 0xCC000003};
    SetMemImgPalette(&src, entries, 4);
    for (int i = 0; i < 4; ++i) src.Set(i, 0, static_cast<uint32_t>(i));
    dst.FillAll(0x99);
    EXPECT_EQ(0, BlitMemImg(&dst, &src, 0, 0, 1, nullptr));
    EXPECT_EQ(0xAA000001u, dst.Get(0, 0));  // the whole entry, fourth byte included
    EXPECT_EQ(0xBB000002u, dst.Get(1, 0));
    EXPECT_EQ(0x99u, dst.Get(2, 0));  // index 2 is transparent
    EXPECT_EQ(0xCC000003u, dst.Get(3, 0));  // same colour, other index: drawn

    TestImage src16(2, 1, kMemImgR5G6B5, kMemImgPalette, 0), dst16(2, 1, kMemImgR5G6B5);
    uint32_t entries16[2] = {0xFFFF, Rgb16(31, 63, 0)};
    SetMemImgPalette(&src16, entries16, 2);
    src16.Set(0, 0, 0);
    src16.Set(1, 0, 1);
    dst16.FillAll(Rgb16(0, 0, 31));
    SetBlend(1, 128);
    EXPECT_EQ(0, BlitMemImg(&dst16, &src16, 0, 0, 1, nullptr));
    EXPECT_EQ(Rgb16(0, 0, 31), dst16.Get(0, 0));
    EXPECT_EQ(Rgb16(15, 31, 16), dst16.Get(1, 0));

    // An alpha flag on a palette source is ignored.
    src.img.base->alphaFlag = 1;
    dst.FillAll(0);
    SetBlend(0, 0);
    EXPECT_EQ(0, BlitMemImg(&dst, &src, 0, 0, 0, nullptr));
    EXPECT_EQ(0xCC000003u, dst.Get(2, 0));
}

// A 4x3 source whose pixel (x, y) is 0x100 x y + x + 1, blitted onto an 8x8
// destination of zeros at (px, py).
int CountBlitted(TestImage& dst, int32_t px, int32_t py, bool checkSource) {
    int n = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint32_t v = dst.Get(x, y);
            if (v == 0) continue;
            ++n;
            if (checkSource) {
                EXPECT_EQ(0x100u * static_cast<uint32_t>(y - py) + static_cast<uint32_t>(x - px) + 1, v)
                    << x << "," << y;
            }
        }
    }
    return n;
}

TEST_F(BlitTest, ClipsAtEveryEdgeOfTheDrawArea) {
    TestImage src(4, 3, kMemImgX8R8G8B8), dst(8, 8, kMemImgX8R8G8B8);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) src.Set(x, y, 0x100u * y + x + 1);
    SetDrawStateArea(1, 1, 7, 7);
    struct Case {
        int32_t x, y;
        int expected;
    } cases[] = {{2, 2, 12}, {-1, 2, 6}, {2, -1, 4}, {5, 2, 6}, {2, 6, 4}, {-2, -1, 1}, {6, 6, 1},
                 {-3, 2, 0}, {7, 2, 0}, {2, 7, 0}, {2, -2, 0}, {-100000, 5, 0}, {2147483600, 0, 0}};
    for (const Case& c : cases) {
        dst.FillAll(0);
        EXPECT_EQ(0, BlitMemImg(&dst, &src, c.x, c.y, 0, nullptr));
        EXPECT_EQ(c.expected, CountBlitted(dst, c.x, c.y, true)) << c.x << "," << c.y;
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(0u, dst.Get(0, i));
            EXPECT_EQ(0u, dst.Get(i, 7));
        }
    }
}

TEST_F(BlitTest, ClippedBlendImageFollowsTheSourceOffset) {
    TestImage src(3, 1, kMemImgX8R8G8B8), dst(3, 1, kMemImgX8R8G8B8), blend(3, 1, kMemImgChannel8);
    src.FillAll(Rgb32(0, 0, 255));
    blend.Set(0, 0, 0);
    blend.Set(1, 0, 128);
    blend.Set(2, 0, 255);
    BuildBlendImageRamp(128, 255);
    EXPECT_EQ(0, BlitMemImg(&dst, &src, -1, 0, 0, &blend.img));
    EXPECT_EQ(127u, dst.Get(0, 0));  // source column 1: r = 128
    EXPECT_EQ(254u, dst.Get(1, 0));  // source column 2: r = 255
    EXPECT_EQ(0u, dst.Get(2, 0));
}

TEST_F(BlitTest, RefusesMismatchedOrUnsafeImages) {
    TestImage s32(2, 2, kMemImgX8R8G8B8), s16(2, 2, kMemImgR5G6B5), d32(2, 2, kMemImgX8R8G8B8);
    TestImage dPal(2, 2, kMemImgX8R8G8B8, kMemImgPalette), dAlpha(2, 2, kMemImgX8R8G8B8, kMemImgAlpha);
    TestImage c8(2, 2, kMemImgChannel8), c8b(2, 2, kMemImgChannel8), smallBlend(1, 2, kMemImgChannel8);
    s32.FillAll(0xFFFFFF);
    s16.FillAll(0xFFFF);
    c8.FillAll(0xFF);
    EXPECT_EQ(-1, BlitMemImg(&d32, &s16, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, BlitMemImg(&dPal, &s32, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, BlitMemImg(&dAlpha, &s32, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, BlitMemImg(&c8b, &c8, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, BlitMemImg(&d32, &s32, 0, 0, 0, &smallBlend.img));
    EXPECT_EQ(-1, BlitMemImg(&d32, nullptr, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, BlitMemImg(nullptr, &s32, 0, 0, 0, nullptr));
    MEMIMG released{};
    EXPECT_EQ(-1, BlitMemImg(&d32, &released, 0, 0, 0, nullptr));
    for (int32_t mode : {5, 6, 7, 8, 9, 12, -1}) {
        SetBlend(mode, 128);
        EXPECT_EQ(-1, BlitMemImg(&d32, &s32, 0, 0, 0, nullptr));
    }
    EXPECT_EQ(0, d32.CountNot(0));
    EXPECT_EQ(0, dPal.CountNot(0));
    EXPECT_EQ(0, dAlpha.CountNot(0));
    EXPECT_EQ(0, c8b.CountNot(0));
}

TEST_F(BlitTest, DegenerateSizes) {
    TestImage empty(0, 5, kMemImgX8R8G8B8), flat(5, 0, kMemImgR5G6B5), dst(4, 4, kMemImgX8R8G8B8),
        dst16(4, 4, kMemImgR5G6B5), one(1, 1, kMemImgX8R8G8B8);
    EXPECT_EQ(0, BlitMemImg(&dst, &empty, 0, 0, 1, nullptr));
    EXPECT_EQ(0, BlitMemImg(&dst16, &flat, 0, 0, 0, nullptr));
    EXPECT_EQ(0, dst.CountNot(0));
    one.Set(0, 0, 0x123456);
    EXPECT_EQ(0, BlitMemImg(&dst, &one, 3, 3, 0, nullptr));
    EXPECT_EQ(0x123456u, dst.Get(3, 3));
    EXPECT_EQ(1, dst.CountNot(0));
    SetDrawStateArea(2, 2, 2, 4);  // an empty draw area
    EXPECT_EQ(0, BlitMemImg(&dst, &one, 2, 2, 0, nullptr));
    EXPECT_EQ(0u, dst.Get(2, 2));
}

TEST_F(BlitTest, ViewsBlitThroughTheirBasesPitch) {
    // A 9x3 view inside a 12x5 source and a 10x4 view inside a 16x8
    // destination: rows of the views are not back to back.
    for (int32_t type : {kMemImgX8R8G8B8, kMemImgR5G6B5}) {
        for (int32_t trans : {0, 1}) {  // the row copy, and the vector loop with a key
            TestImage whole(12, 5, type, 0, 0xF81F), target(16, 8, type);
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 12; ++x) whole.Set(x, y, 0x100u * y + x + 1);
            MEMIMG src, dst;
            ASSERT_EQ(0, DeriveMemImg(&src, &whole.img, 2, 1, 9, 3));
            ASSERT_EQ(0, DeriveMemImg(&dst, &target.img, 3, 2, 10, 4));
            SetDrawStateArea(0, 0, 10, 4);
            EXPECT_EQ(0, BlitMemImg(&dst, &src, 1, 1, trans, nullptr));
            int drawn = 0;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 16; ++x) {
                    uint32_t v = target.Get(x, y);
                    if (v == 0) continue;
                    ++drawn;
                    // target (x, y) = view (x - 3, y - 2) = source view (x - 4, y - 3) = whole (x - 2, y - 2)
                    EXPECT_EQ(0x100u * (y - 2) + (x - 2) + 1, v) << x << "," << y;
                }
            }
            EXPECT_EQ(9 * 3, drawn);
            ReleaseMemImg(&src);
            ReleaseMemImg(&dst);
        }
    }
}

TEST_F(BlitTest, CopiesLargerThanTheCacheAreExact) {
    // Images of several MiB: copied as one block (same size, rows back to
    // back) and row by row into a wider image, with rows that do not start on
    // a 32-byte boundary. While the library times streaming against moving
    // for this size, its copies alternate between the two: over two rounds in
    // either order each form meets both, and both must be exact.
    const int32_t w = 1501, h = 1000;
    TestImage src(w, h, kMemImgX8R8G8B8), same(w, h, kMemImgX8R8G8B8), wide(w + 3, h + 1, kMemImgX8R8G8B8);
    SetDrawStateArea(0, 0, w + 3, h + 1);
    for (uint32_t round = 0; round < 2; ++round) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) src.Set(x, y, static_cast<uint32_t>(x * 2654435761u + y * 40503u + round));
        const bool sameFirst = round == 0;
        EXPECT_EQ(0, BlitMemImg(sameFirst ? &same : &wide, &src, sameFirst ? 0 : 1, sameFirst ? 0 : 1, 0, nullptr));
        EXPECT_EQ(0, BlitMemImg(sameFirst ? &wide : &same, &src, sameFirst ? 1 : 0, sameFirst ? 1 : 0, 0, nullptr));
        for (int32_t y = 0; y < h; ++y) {
            ASSERT_EQ(0, std::memcmp(src.At(0, y), same.At(0, y), static_cast<size_t>(w) * 4)) << round << " " << y;
            ASSERT_EQ(0, std::memcmp(src.At(0, y), wide.At(1, y + 1), static_cast<size_t>(w) * 4)) << round << " " << y;
            ASSERT_EQ(0u, wide.Get(0, y + 1));
            ASSERT_EQ(0u, wide.Get(w + 1, y + 1));
        }
        for (int32_t x = 0; x < w + 3; ++x) ASSERT_EQ(0u, wide.Get(x, 0));
    }
}

// ---- the row loops against a per-channel model -----------------------------

// Adds or subtracts t from d channel by channel as the packed operations do,
// described per channel: blue exact; green and red on their upper bits, with
// their low bit from the channels below.
uint32_t ModelPacked(bool add, bool wide, uint32_t d, uint32_t t) {
    const int shift[3] = {0, wide ? 8 : 5, wide ? 16 : 11};
    const uint32_t max[3] = {wide ? 255u : 31u, wide ? 255u : 63u, wide ? 255u : 31u};
    uint32_t out = 0;
    bool below = false;  // carry out of, or borrow by, the channel below
    for (int i = 0; i < 3; ++i) {
        uint32_t dc = (d >> shift[i]) & max[i], tc = (t >> shift[i]) & max[i], v;
        if (i == 0) {
            v = add ? std::min(max[0], dc + tc) : (dc >= tc ? dc - tc : 0);
            below = add ? dc + tc > max[0] : dc < tc;
        } else if (add) {
            uint32_t upper = (dc >> 1) + (tc >> 1);
            uint32_t low = (dc & 1) | (tc & 1) | (below ? 1 : 0);
            below = upper > (max[i] >> 1);
            v = below ? (wide || i == 2 ? max[i] : (max[i] & ~1u) | low) : (upper << 1) | low;
        } else {
            bool negative = (dc >> 1) < (tc >> 1);
            uint32_t low = (!wide && i == 1) ? 0 : (below ? 0 : 1);
            v = negative ? 0 : (((dc >> 1) - (tc >> 1)) << 1) | low;
            below = negative;
        }
        out |= v << shift[i];
    }
    if (wide && add && below) out |= 0x01000000;
    return out;
}

uint32_t ModelPixel(bool wide, int32_t mode, uint32_t p, uint32_t s, uint32_t d) {
    if (mode == 0 || (mode == 1 && p == 255)) return s;
    const int shift[3] = {0, wide ? 8 : 5, wide ? 16 : 11};
    const int32_t max[3] = {wide ? 255 : 31, wide ? 255 : 63, wide ? 255 : 31};
    uint32_t out = wide ? (d & 0xFF000000) : 0, t = 0;
    for (int i = 0; i < 3; ++i) {
        int32_t sc = static_cast<int32_t>(s >> shift[i]) & max[i], dc = static_cast<int32_t>(d >> shift[i]) & max[i];
        int32_t pi = static_cast<int32_t>(p);
        if (mode == 1) {
            int32_t v = wide ? (256 * dc + pi * (sc - dc)) / 256 : dc + pi * (sc - dc) / 255;
            out |= static_cast<uint32_t>(v) << shift[i];
        }
        t |= static_cast<uint32_t>(pi * sc / 255) << shift[i];
    }
    return mode == 1 ? out : ModelPacked(mode == 2, wide, d, t);
}

TEST_F(BlitTest, CommonCasesMatchThePerChannelModel) {
    std::mt19937 random(12345);
    const int32_t w = 37, h = 3;  // rows longer than a vector step, with a remainder
    for (int32_t type : {kMemImgX8R8G8B8, kMemImgR5G6B5}) {
        const bool wide = type == kMemImgX8R8G8B8;
        const uint32_t key = wide ? 0x00FF00FF : 0xF81F;
        TestImage src(w, h, type, 0, key), dst(w, h, type);
        for (int32_t mode : {0, 1, 2, 3}) {
            for (uint32_t p : {1u, 77u, 128u, 254u, 255u}) {
                for (int32_t trans : {0, 1}) {
                    std::vector<uint32_t> before;
                    for (int y = 0; y < h; ++y) {
                        for (int x = 0; x < w; ++x) {
                            uint32_t sv = random(), dv = random();
                            if (!wide) sv &= 0xFFFF, dv &= 0xFFFF;
                            if (random() % 4 == 0) sv = key;
                            src.Set(x, y, sv);
                            dst.Set(x, y, dv);
                            before.push_back(dv);
                        }
                    }
                    SetBlend(mode, static_cast<int32_t>(p));
                    ASSERT_EQ(0, BlitMemImg(&dst, &src, 0, 0, trans, nullptr));
                    for (int y = 0; y < h; ++y) {
                        for (int x = 0; x < w; ++x) {
                            uint32_t sv = src.Get(x, y), dv = before[static_cast<size_t>(y * w + x)];
                            uint32_t expected = trans && sv == key ? dv : ModelPixel(wide, mode, p, sv, dv);
                            ASSERT_EQ(expected, dst.Get(x, y)) << "type " << type << " mode " << mode << " p " << p
                                                               << " trans " << trans << " at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
