// Rectangle fill: geometry, the one-colour formula of every mode in both
// formats, brightness, refusals. Expected values worked out by hand.
#include "soft_test_util.h"

namespace {

using FillTest = SoftTest;

uint32_t FillOne32(uint32_t dest, uint32_t color, int32_t mode, int32_t p) {
    TestImage img(1, 1, kMemImgX8R8G8B8);
    img.Set(0, 0, dest);
    SetBlend(mode, p);
    FillMemImgRect(&img, nullptr, color);
    return img.Get(0, 0);
}

uint32_t FillOne16(uint32_t dest, uint32_t color, int32_t mode, int32_t p) {
    TestImage img(1, 1, kMemImgR5G6B5);
    img.Set(0, 0, dest);
    SetBlend(mode, p);
    FillMemImgRect(&img, nullptr, color);
    return img.Get(0, 0);
}

TEST_F(FillTest, ReversedRectangleFillsTheSamePixels) {
    TestImage a(16, 16, kMemImgX8R8G8B8), b(16, 16, kMemImgX8R8G8B8);
    RECT forward{5, 5, 10, 10}, reversed{10, 10, 5, 5};
    FillMemImgRect(&a, &forward, 0x123456);
    FillMemImgRect(&b, &reversed, 0x123456);
    EXPECT_EQ(25, a.CountNot(0));
    EXPECT_EQ(0x123456u, a.Get(5, 5));
    EXPECT_EQ(0x123456u, a.Get(9, 9));
    EXPECT_EQ(0u, a.Get(10, 9));
    EXPECT_EQ(0u, a.Get(9, 10));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(a.Get(x, y), b.Get(x, y)) << x << "," << y;
}

TEST_F(FillTest, ClipsToTheDrawAreaAndTheImage) {
    TestImage img(16, 16, kMemImgX8R8G8B8);
    SetDrawStateArea(2, 3, 10, 12);
    RECT big{-5, -5, 100, 100};
    FillMemImgRect(&img, &big, 7);
    EXPECT_EQ(8 * 9, img.CountNot(0));
    EXPECT_EQ(7u, img.Get(2, 3));
    EXPECT_EQ(7u, img.Get(9, 11));
    EXPECT_EQ(0u, img.Get(1, 3));
    EXPECT_EQ(0u, img.Get(2, 2));

    // Outside the area, zero width, or a draw area beyond the image.
    img.FillAll(0);
    RECT outside{10, 0, 20, 16}, empty{4, 4, 4, 9};
    FillMemImgRect(&img, &outside, 7);
    FillMemImgRect(&img, &empty, 7);
    EXPECT_EQ(0, img.CountNot(0));
    SetDrawStateArea(-100, -100, 1000, 1000);
    FillMemImgRect(&img, nullptr, 9);
    EXPECT_EQ(0, img.CountNot(9));
}

TEST_F(FillTest, SixteenBitRowsOfOddLengthStopAtTheirEnd) {
    TestImage img(8, 2, kMemImgR5G6B5);
    img.FillAll(0x1111);
    RECT r{1, 0, 4, 1};
    FillMemImgRect(&img, &r, 0xF800);
    EXPECT_EQ(0x1111u, img.Get(0, 0));
    EXPECT_EQ(0xF800u, img.Get(1, 0));
    EXPECT_EQ(0xF800u, img.Get(3, 0));
    EXPECT_EQ(0x1111u, img.Get(4, 0));
    EXPECT_EQ(0x1111u, img.Get(1, 1));
    RECT one{7, 1, 8, 2};
    FillMemImgRect(&img, &one, 0x07E0);
    EXPECT_EQ(0x07E0u, img.Get(7, 1));
    EXPECT_EQ(0x1111u, img.Get(6, 1));
}

TEST_F(FillTest, ThirtyTwoBitModesFollowTheirFormulas) {
    const uint32_t top = 0xAB000000;
    // Mode 0 stores the whole colour; mode 1 with 255 too, with 0 nothing.
    EXPECT_EQ(0xAABBCCDDu, FillOne32(0x11223344, 0xAABBCCDD, 0, 17));
    EXPECT_EQ(0xAABBCCDDu, FillOne32(0x11223344, 0xAABBCCDD, 1, 255));
    EXPECT_EQ(0x11223344u, FillOne32(0x11223344, 0xAABBCCDD, 1, 0));
    // Mode 1, d = 0, c = 255, p = 128: (0 + 128 x 255) >> 8 = 127.
    EXPECT_EQ(Rgb32(127, 127, 127), FillOne32(0, Rgb32(255, 255, 255), 1, 128));
    // Mode 1, p = 100: R (64000 - 24000) >> 8 = 156, G (2560 + 24000) >> 8 = 103.
    EXPECT_EQ(Rgb32(156, 103, 128, 0xAB), FillOne32(top | Rgb32(250, 10, 128), Rgb32(10, 250, 128), 1, 100));
    // Mode 2, p = 255: all channels saturate, red overflow puts 1 in the top byte.
    EXPECT_EQ(0x01FFFFFFu, FillOne32(Rgb32(0xC0, 0x80, 0x40), Rgb32(0x50, 0x90, 0xD0), 2, 255));
    // Mode 2, p = 128: s = (50, 100, 128); blue 200 + 128 saturates and carries
    // into green's low bit: green 60 + 100 -> 161; the old top byte is dropped.
    EXPECT_EQ(Rgb32(60, 161, 255), FillOne32(top | Rgb32(10, 60, 200), Rgb32(100, 200, 255), 2, 128));
    EXPECT_EQ(Rgb32(10, 60, 200), FillOne32(Rgb32(10, 60, 200), Rgb32(100, 200, 255), 2, 0));
    // Mode 3, p = 255: (0x64 ...) - (0x32 ...) gives red 51, green 51, blue 50.
    EXPECT_EQ(Rgb32(51, 51, 50), FillOne32(Rgb32(0x64, 0x64, 0x64), Rgb32(0x32, 0x32, 0x32), 3, 255));
    // Mode 3, p = 128: blue 200 - 128 = 72, green and red go below 0.
    EXPECT_EQ(Rgb32(0, 0, 72), FillOne32(top | Rgb32(10, 60, 200), Rgb32(100, 200, 255), 3, 128));
    EXPECT_EQ(Rgb32(10, 60, 200), FillOne32(Rgb32(10, 60, 200), Rgb32(100, 200, 255), 3, 0));
    // Mode 4 ignores p: 200 x 128 >> 8 = 100, 100 x 255 >> 8 = 99.
    EXPECT_EQ(Rgb32(100, 99, 0, 0xAB), FillOne32(top | Rgb32(200, 100, 50), Rgb32(128, 255, 0), 4, 0));
    // Mode 10, c' = (0, 255, 155) toward d = 100: p = 128 gives (50, 177, 127),
    // p = 255 gives (0, 254, 154), p = 0 changes nothing.
    EXPECT_EQ(Rgb32(50, 177, 127, 0xAB), FillOne32(top | Rgb32(100, 100, 100), Rgb32(255, 0, 100), 10, 128));
    EXPECT_EQ(Rgb32(0, 254, 154), FillOne32(Rgb32(100, 100, 100), Rgb32(255, 0, 100), 10, 255));
    EXPECT_EQ(Rgb32(100, 100, 100), FillOne32(Rgb32(100, 100, 100), Rgb32(255, 0, 100), 10, 0));
    // Mode 11, p = 128: t = (78, 39, 254) from d = (100, 200, 255), c = (200, 50, 255).
    EXPECT_EQ(Rgb32(89, 119, 254, 0xAB), FillOne32(top | Rgb32(100, 200, 255), Rgb32(200, 50, 255), 11, 128));
}

TEST_F(FillTest, SixteenBitModesFollowTheirFormulas) {
    EXPECT_EQ(Rgb16(1, 2, 3), FillOne16(0xFFFF, Rgb16(1, 2, 3), 0, 0));
    EXPECT_EQ(Rgb16(1, 2, 3), FillOne16(0xFFFF, Rgb16(1, 2, 3), 1, 255));
    // Mode 1, p = 128: 0 + T(31) = 15, 0 + T(63) = 31, 31 + T(-31) = 16.
    EXPECT_EQ(Rgb16(15, 31, 16), FillOne16(Rgb16(0, 0, 31), Rgb16(31, 63, 0), 1, 128));
    // Mode 2, p = 255: blue saturates and carries into green's low bit.
    EXPECT_EQ(Rgb16(7, 13, 31), FillOne16(Rgb16(4, 9, 20), Rgb16(3, 5, 17), 2, 255));
    EXPECT_EQ(0xFFFFu, FillOne16(Rgb16(20, 40, 20), Rgb16(20, 40, 20), 2, 255));
    // Mode 3, p = 255: (10, 20, 10) - (5, 10, 5) = (7, 10, 5).
    EXPECT_EQ(Rgb16(7, 10, 5), FillOne16(Rgb16(10, 20, 10), Rgb16(5, 10, 5), 3, 255));
    // Mode 4: white on white is (30, 62, 30).
    EXPECT_EQ(Rgb16(30, 62, 30), FillOne16(0xFFFF, 0xFFFF, 4, 77));
    // Mode 10, p = 128: c' = (0, 63, 21) toward 10: (5, 36, 15).
    EXPECT_EQ(Rgb16(5, 36, 15), FillOne16(Rgb16(10, 10, 10), Rgb16(31, 0, 10), 10, 128));
    // Mode 11: t = (15, 31, 7); p = 255 reaches t, p = 128 goes half way (rounding toward d).
    EXPECT_EQ(Rgb16(15, 31, 7), FillOne16(Rgb16(31, 63, 8), Rgb16(16, 32, 31), 11, 255));
    EXPECT_EQ(Rgb16(23, 47, 8), FillOne16(Rgb16(31, 63, 8), Rgb16(16, 32, 31), 11, 128));
}

TEST_F(FillTest, BrightnessShiftsTheColourBeforeBlending) {
    SetBrightness(128, 128, 128);
    EXPECT_EQ(Rgb32(127, 127, 127), FillOne32(0, Rgb32(255, 255, 255), 0, 0));
    EXPECT_EQ(Rgb16(15, 31, 15), FillOne16(0, 0xFFFF, 0, 0));
    // 255 in one channel is still a scaling (by 255/256) once the others differ;
    // the top byte of the colour stays.
    SetBrightness(255, 128, 0);
    EXPECT_EQ(0xABFE7F00u, FillOne32(0, 0xABFFFFFF, 0, 0));
    SetBrightness(255, 255, 255);
    EXPECT_EQ(0xABFFFFFFu, FillOne32(0, 0xABFFFFFF, 0, 0));
}

TEST_F(FillTest, RefusedDestinationsAndModesDrawNothing) {
    TestImage palette(4, 4, kMemImgX8R8G8B8, kMemImgPalette);
    TestImage alpha(4, 4, kMemImgX8R8G8B8, kMemImgAlpha);
    TestImage alpha16(4, 4, kMemImgR5G6B5, kMemImgAlpha);
    TestImage channel(4, 4, kMemImgChannel8);
    FillMemImgRect(&palette, nullptr, 0xFFFFFFFF);
    FillMemImgRect(&alpha, nullptr, 0xFFFFFFFF);
    FillMemImgRect(&alpha16, nullptr, 0xFFFFFFFF);
    FillMemImgRect(&channel, nullptr, 0xFFFFFFFF);
    EXPECT_EQ(0, palette.CountNot(0));
    EXPECT_EQ(0, alpha.CountNot(0));
    EXPECT_EQ(0, alpha16.CountNot(0));
    EXPECT_EQ(0, channel.CountNot(0));

    TestImage img(4, 4, kMemImgX8R8G8B8);
    for (int32_t mode : {5, 6, 7, 8, 9, 12, 13, -1}) {
        SetBlend(mode, 128);
        FillMemImgRect(&img, nullptr, 0xFFFFFF);
        EXPECT_EQ(0, img.CountNot(0)) << "mode " << mode;
    }
    FillMemImgRect(nullptr, nullptr, 1);
}

TEST_F(FillTest, SixteenBitColourKeepsOnlyItsLowHalf) {
    TestImage img(3, 1, kMemImgR5G6B5);
    RECT middle{1, 0, 2, 1};
    FillMemImgRect(&img, &middle, 0x12340841);
    EXPECT_EQ(0u, img.Get(0, 0));
    EXPECT_EQ(0x0841u, img.Get(1, 0));
    EXPECT_EQ(0u, img.Get(2, 0));
    // Mode 4 with high bits set multiplies by the low half's fields only.
    img.FillAll(0xFFFF);
    SetBlend(4, 0);
    FillMemImgRect(&img, &middle, 0xFFFF0000 | Rgb16(31, 63, 31));
    EXPECT_EQ(Rgb16(30, 62, 30), img.Get(1, 0));
}

TEST_F(FillTest, ClearStoresRawValuesWhateverTheDrawState) {
    SetDrawStateArea(0, 0, 1, 1);
    SetBlend(2, 128);
    SetBrightness(0, 0, 0);
    TestImage c32(5, 3, kMemImgX8R8G8B8, kMemImgAlpha), c16(5, 3, kMemImgR5G6B5, kMemImgAlpha);
    TestImage pal(5, 3, kMemImgR5G6B5, kMemImgPalette), c8(5, 3, kMemImgChannel8);
    ClearMemImg(&c32, nullptr, 0x80FF00FF);
    EXPECT_EQ(0, c32.CountNot(0x80FF00FF));
    RECT r{4, 2, 2, 1};  // reversed: columns 2-3, row 1
    ClearMemImg(&c16, &r, 0x00FF1234);
    EXPECT_EQ(2, c16.CountNot(0));
    EXPECT_EQ(0x00FF1234u, c16.Get(2, 1));
    EXPECT_EQ(0x00FF1234u, c16.Get(3, 1));
    RECT wide{-3, -3, 50, 2};
    ClearMemImg(&pal, &wide, 0x1AB);
    EXPECT_EQ(10, pal.CountNot(0));
    EXPECT_EQ(0xABu, pal.Get(4, 1));
    EXPECT_EQ(0u, pal.Get(4, 2));
    ClearMemImg(&c8, nullptr, 0x7F);
    EXPECT_EQ(0, c8.CountNot(0x7F));
    RECT outside{5, 0, 9, 3};
    ClearMemImg(&c8, &outside, 0);
    EXPECT_EQ(0, c8.CountNot(0x7F));
}

}  // namespace
