// Picture helpers: creation limits, release, clearing, turning, single
// pixels, the stretched copy and the converter.
#include "image_test_util.h"

#include <cstring>

using namespace image_test;

namespace {

PixelImage MakeImage(int w, int h, void (*setFormat)(ColorFormatInfo*)) {
    ColorFormatInfo f;
    setFormat(&f);
    PixelImage image;
    EXPECT_EQ(CreatePixelImageInFormat(w, h, &f, &image), 0);
    return image;
}

// Fills each pixel with a colour made from its position.
void FillPattern(PixelImage& image) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            ASSERT_EQ(SetPixelImagePixel(&image, x, y, x * 16, y * 16, 255 - x * 8, 200 + x + y), 0);
}

}  // namespace

TEST(PixelImage, CreateRoundsPitchAndRefusesBadSizes) {
    PixelImage tmpl{}, image;
    SetRGB8ColorFormat(&tmpl.format);
    ASSERT_EQ(CreatePixelImage(5, 3, &tmpl, &image), 0);
    EXPECT_EQ(image.pitch, 16);  // 15 bytes rounded up to 4
    EXPECT_EQ(image.width, 5);
    EXPECT_EQ(image.format.pixelByte, 3);
    EXPECT_EQ(image.reserved, kPixelImageOwnsPixels);
    // Pixels start zeroed.
    EXPECT_EQ(PixelAt(image, 4, 2), (Argb{255, 0, 0, 0}));
    ReleasePixelImage(&image);
    // The template may be the out record itself.
    PixelImage self{};
    SetRGB8ColorFormat(&self.format);
    ASSERT_EQ(CreatePixelImage(2, 2, &self, &self), 0);
    EXPECT_EQ(self.format.pixelByte, 3);
    EXPECT_EQ(self.pitch, 8);
    ReleasePixelImage(&self);

    EXPECT_LT(CreatePixelImage(0, 3, &tmpl, &image), 0);
    EXPECT_LT(CreatePixelImage(3, -1, &tmpl, &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
    // Byte counts that would overflow 32 bits are refused before allocating.
    EXPECT_LT(CreatePixelImage(32768, 32768, &tmpl, &image), 0);
    EXPECT_LT(CreatePixelImage(1 << 30, 1 << 30, &tmpl, &image), 0);
    EXPECT_LT(CreatePixelImage(0x7FFFFFFF, 1, &tmpl, &image), 0);
    // A descriptor without a pixel size is refused.
    PixelImage empty{};
    EXPECT_LT(CreatePixelImage(4, 4, &empty, &image), 0);

    // DXT: pitch is one row of blocks.
    SetDXTColorFormat(&tmpl.format, 1);
    ASSERT_EQ(CreatePixelImage(5, 5, &tmpl, &image), 0);
    EXPECT_EQ(image.pitch, 16);
    ReleasePixelImage(&image);

    ASSERT_EQ(CreateXRGB8PixelImage(3, 2, &image), 0);
    EXPECT_EQ(image.pitch, 12);
    EXPECT_EQ(image.format.redMask, 0xFF0000u);
    EXPECT_EQ(image.format.alphaMask, 0u);
    ReleasePixelImage(&image);
    EXPECT_EQ(CreateXRGB8PixelImage(-3, 2, &image), -1);
}

TEST(PixelImage, ReleaseFreesOnlyOwnedPixels) {
    PixelImage image;
    ASSERT_EQ(CreateXRGB8PixelImage(2, 2, &image), 0);
    ReleasePixelImage(&image);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.width, 0);
    ReleasePixelImage(&image);  // twice is harmless

    // A record filled by hand over someone else's memory (last word 0).
    uint32_t stackPixels[4] = {1, 2, 3, 4};
    PixelImage byHand{};
    SetXRGB8ColorFormat(&byHand.format);
    byHand.width = byHand.height = 2;
    byHand.pitch = 8;
    byHand.pixels = stackPixels;
    ReleasePixelImage(&byHand);  // must not free the stack (ASan would report it)
    EXPECT_EQ(byHand.pixels, nullptr);
    EXPECT_EQ(stackPixels[3], 4u);
}

TEST(PixelImage, ClearRectZeroesOnlyTheClippedRectangle) {
    PixelImage image = MakeImage(4, 3, SetR5G6B5ColorFormat);
    std::memset(image.pixels, 0xFF, size_t(image.pitch) * image.height);
    // Rectangles reaching outside are clipped, never written past the rows.
    const int rects[][4] = {
        {1, 1, 2, 1}, {-2, 2, 4, 10}, {3, -5, 100, 100}, {10, 10, 5, 5}, {0x7FFFFFF0, 0, 0x7FFFFFF0, 1}};
    for (const auto& r : rects) EXPECT_EQ(ClearPixelImageRect(&image, r[0], r[1], r[2], r[3]), 0);
    const uint16_t expected[3][4] = {{0xFFFF, 0xFFFF, 0xFFFF, 0}, {0xFFFF, 0, 0, 0}, {0, 0, 0xFFFF, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(static_cast<uint16_t*>(image.pixels)[y * image.pitch / 2 + x], expected[y][x]) << x << "," << y;
    ReleasePixelImage(&image);

    PixelImage dxt{};
    SetDXTColorFormat(&dxt.format, 1);
    ASSERT_EQ(CreatePixelImage(4, 4, &dxt, &dxt), 0);
    EXPECT_EQ(ClearPixelImageRect(&dxt, 0, 0, 4, 4), -1);
    ReleasePixelImage(&dxt);
}

TEST(PixelImage, TurnReversesEveryPixelOnceForOddAndEvenSizes) {
    for (auto size : {std::pair{3, 3}, std::pair{4, 2}, std::pair{1, 5}, std::pair{5, 1}}) {
        for (auto setFormat : {SetRGB8ColorFormat, SetR5G6B5ColorFormat, SetARGB8ColorFormat}) {
            PixelImage image = MakeImage(size.first, size.second, setFormat);
            FillPattern(image);
            PixelImage copy;
            ASSERT_EQ(ConvertPixelImage(&image, &image.format, &copy), 0);
            ASSERT_EQ(TurnPixelImage(&image), 0);
            for (int y = 0; y < image.height; ++y)
                for (int x = 0; x < image.width; ++x)
                    EXPECT_EQ(PixelAt(image, x, y), PixelAt(copy, image.width - 1 - x, image.height - 1 - y));
            ReleasePixelImage(&image);
            ReleasePixelImage(&copy);
        }
    }
    PixelImage dxt{};
    SetDXTColorFormat(&dxt.format, 5);
    ASSERT_EQ(CreatePixelImage(4, 4, &dxt, &dxt), 0);
    EXPECT_EQ(TurnPixelImage(&dxt), -1);
    ReleasePixelImage(&dxt);
}

TEST(PixelImage, GetAndSetPixel) {
    PixelImage image = MakeImage(2, 2, SetA4R4G4B4ColorFormat);
    ASSERT_EQ(SetPixelImagePixel(&image, 1, 1, 0x12, 0x34, 0x56, 0x78), 0);
    EXPECT_EQ(static_cast<uint16_t*>(image.pixels)[image.pitch / 2 + 1], 0x7135);
    EXPECT_EQ(PixelAt(image, 1, 1), (Argb{0x77, 0x11, 0x33, 0x55}));
    int r = 7;
    EXPECT_EQ(GetPixelImagePixel(&image, 1, 1, &r, nullptr, nullptr, nullptr), 0);  // outs optional
    EXPECT_EQ(r, 0x11);
    EXPECT_EQ(GetPixelImagePixel(&image, 2, 0, &r, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(GetPixelImagePixel(&image, 0, -1, &r, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(SetPixelImagePixel(&image, -1, 0, 0, 0, 0, 0), -1);
    ReleasePixelImage(&image);

    // Palette pictures read through the palette and write the nearest entry.
    uint32_t entries[3] = {0xFF000000u, 0xFFFF0000u, 0x8000FF00u};
    PixelImage pal{};
    SetPalette8ColorFormat(&pal.format, entries, 3, 1);
    ASSERT_EQ(CreatePixelImage(2, 1, &pal, &pal), 0);
    ASSERT_EQ(SetPixelImagePixel(&pal, 0, 0, 250, 10, 0, 255), 0);
    ASSERT_EQ(SetPixelImagePixel(&pal, 1, 0, 0, 240, 0, 128), 0);
    EXPECT_EQ(static_cast<uint8_t*>(pal.pixels)[0], 1);
    EXPECT_EQ(static_cast<uint8_t*>(pal.pixels)[1], 2);
    EXPECT_EQ(PixelAt(pal, 1, 0), (Argb{0x80, 0, 255, 0}));
    ReleasePixelImage(&pal);
}

TEST(StretchCopy, EqualSizesCopyAndOtherSizesSampleIn16_16Steps) {
    PixelImage src = MakeImage(4, 2, SetXRGB8ColorFormat);
    FillPattern(src);
    PixelImage dst = MakeImage(8, 4, SetXRGB8ColorFormat);

    RECT whole{0, 0, 4, 2}, sub{1, 0, 3, 2}, at{5, 1, 7, 3};
    ASSERT_EQ(StretchCopyPixelImage(&src, &sub, &dst, &at, 0), 0);
    EXPECT_EQ(PixelAt(dst, 5, 1), PixelAt(src, 1, 0));
    EXPECT_EQ(PixelAt(dst, 6, 2), PixelAt(src, 2, 1));
    EXPECT_EQ(PixelAt(dst, 4, 1), (Argb{255, 0, 0, 0}));  // outside untouched

    // Twice the size: each source pixel covers two by two.
    RECT big{0, 0, 8, 4};
    ASSERT_EQ(StretchCopyPixelImage(&src, &whole, &dst, &big, 0), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(dst, x, y), PixelAt(src, x / 2, y / 2)) << x << "," << y;

    // Three source columns onto two: step 1.5 in 16.16 takes columns 0 and 1.
    RECT three{0, 0, 3, 1}, two{0, 0, 2, 1};
    ASSERT_EQ(StretchCopyPixelImage(&src, &three, &dst, &two, 0), 0);
    EXPECT_EQ(PixelAt(dst, 0, 0), PixelAt(src, 0, 0));
    EXPECT_EQ(PixelAt(dst, 1, 0), PixelAt(src, 1, 0));

    // A destination rectangle partly outside is clipped with the mapping kept.
    RECT hanging{-4, -2, 4, 2};
    ASSERT_EQ(StretchCopyPixelImage(&src, &whole, &dst, &hanging, 0), 0);
    EXPECT_EQ(PixelAt(dst, 0, 0), PixelAt(src, 2, 1));
    EXPECT_EQ(PixelAt(dst, 3, 1), PixelAt(src, 3, 1));

    // A source rectangle outside the source is refused.
    RECT outside{2, 0, 5, 2};
    EXPECT_EQ(StretchCopyPixelImage(&src, &outside, &dst, &big, 0), -1);
    RECT negative{-1, 0, 2, 2};
    EXPECT_EQ(StretchCopyPixelImage(&src, &negative, &dst, &big, 0), -1);
    ReleasePixelImage(&src);
    ReleasePixelImage(&dst);
}

TEST(StretchCopy, AlphaFlagDecidesWhetherTheDestinationAlphaIsKept) {
    PixelImage src = MakeImage(1, 1, SetARGB8ColorFormat);
    SetPixelImagePixel(&src, 0, 0, 10, 20, 30, 40);
    RECT one{0, 0, 1, 1};
    for (auto setFormat : {SetARGB8ColorFormat, SetA4R4G4B4ColorFormat}) {
        PixelImage dst = MakeImage(1, 1, setFormat);
        SetPixelImagePixel(&dst, 0, 0, 255, 255, 255, 255);
        ASSERT_EQ(StretchCopyPixelImage(&src, &one, &dst, &one, 0), 0);
        Argb kept = PixelAt(dst, 0, 0);
        EXPECT_EQ(kept.a, 255);
        EXPECT_EQ(kept.r >> 4, 10 >> 4);
        ASSERT_EQ(StretchCopyPixelImage(&src, &one, &dst, &one, kStretchCopyAlpha), 0);
        EXPECT_EQ(PixelAt(dst, 0, 0).a >> 4, 40 >> 4);
        ReleasePixelImage(&dst);
    }
    ReleasePixelImage(&src);
}

TEST(Convert, AnySourceToPackedDestinations) {
    // Palette with alpha into X8R8G8B8: the X byte is 0 whatever the alpha.
    uint32_t entries[2] = {0x80FF00FFu, 0xFF123456u};
    PixelImage pal{};
    SetPalette8ColorFormat(&pal.format, entries, 2, 1);
    ASSERT_EQ(CreatePixelImage(2, 1, &pal, &pal), 0);
    static_cast<uint8_t*>(pal.pixels)[1] = 1;
    ColorFormatInfo xrgb;
    SetXRGB8ColorFormat(&xrgb);
    uint32_t out[2];
    ASSERT_EQ(ConvertPixelImageRect(&pal, 0, 0, 2, 1, &xrgb, out, 8), 0);
    EXPECT_EQ(out[0], 0x00FF00FFu);
    EXPECT_EQ(out[1], 0x00123456u);

    // Into R5G6B5 with the alpha byte after the colour word.
    ColorFormatInfo r5a8;
    SetR5G6B5A8ColorFormat(&r5a8);
    ASSERT_EQ(ConvertPixelImageRect(&pal, 0, 0, 2, 1, &r5a8, out, 8), 0);
    EXPECT_EQ(out[0], 0x0080F81Fu);
    EXPECT_EQ(out[1], 0x00FF11AAu);  // 0x12>>3=2, 0x34>>2=13, 0x56>>3=10

    // R8G8B8 into A8R8G8B8 gets opaque alpha.
    PixelImage rgb = MakeImage(1, 1, SetRGB8ColorFormat);
    SetPixelImagePixel(&rgb, 0, 0, 1, 2, 3, 0);
    ColorFormatInfo argb;
    SetARGB8ColorFormat(&argb);
    ASSERT_EQ(ConvertPixelImageRect(&rgb, 0, 0, 1, 1, &argb, out, 4), 0);
    EXPECT_EQ(out[0], 0xFF010203u);

    // A rectangle outside the source and palette or DXT destinations are refused.
    EXPECT_EQ(ConvertPixelImageRect(&rgb, 0, 0, 2, 1, &argb, out, 8), -1);
    EXPECT_EQ(ConvertPixelImageRect(&rgb, 1, 0, 1, 1, &argb, out, 4), -1);
    ColorFormatInfo dxt;
    SetDXTColorFormat(&dxt, 1);
    EXPECT_EQ(ConvertPixelImageRect(&rgb, 0, 0, 1, 1, &dxt, out, 4), -1);
    EXPECT_EQ(ConvertPixelImageRect(&rgb, 0, 0, 1, 1, &pal.format, out, 4), -1);

    // Same format (palette included) copies, keeping the palette.
    PixelImage palCopy;
    ASSERT_EQ(ConvertPixelImage(&pal, &pal.format, &palCopy), 0);
    EXPECT_EQ(PixelAt(palCopy, 0, 0), (Argb{0x80, 255, 0, 255}));
    EXPECT_EQ(static_cast<uint8_t*>(palCopy.pixels)[1], 1);

    PixelImage as565;
    ColorFormatInfo r565;
    SetR5G6B5ColorFormat(&r565);
    ASSERT_EQ(ConvertPixelImage(&rgb, &r565, &as565), 0);
    EXPECT_EQ(static_cast<uint16_t*>(as565.pixels)[0], 0u);  // 1, 2, 3 all truncate to 0
    ReleasePixelImage(&as565);
    EXPECT_EQ(ConvertPixelImage(&rgb, &pal.format, &as565), -1);
    EXPECT_EQ(as565.pixels, nullptr);

    ReleasePixelImage(&pal);
    ReleasePixelImage(&palCopy);
    ReleasePixelImage(&rgb);
}

TEST(Convert, ChannelsWiderThanEightBitsBothWays) {
    PixelImage argb = MakeImage(1, 1, SetARGB8ColorFormat);
    SetPixelImagePixel(&argb, 0, 0, 0xFF, 0x00, 0x01, 0x80);
    ColorFormatInfo wide;
    ASSERT_EQ(SetD3DFormatColorFormat(&wide, 35), 0);  // A2R10G10B10
    PixelImage tenBit;
    ASSERT_EQ(ConvertPixelImage(&argb, &wide, &tenBit), 0);
    // 8 -> 10 bits replicates (0xFF -> 0x3FF, 0x01 -> 0x004), 8 -> 2 truncates.
    EXPECT_EQ(*static_cast<uint32_t*>(tenBit.pixels), 0xBFF00004u);
    // And back: 10 -> 8 truncates, 2 -> 8 replicates (2 -> 0xAA).
    PixelImage back;
    ASSERT_EQ(ConvertPixelImage(&tenBit, &argb.format, &back), 0);
    EXPECT_EQ(*static_cast<uint32_t*>(back.pixels), 0xAAFF0001u);
    ReleasePixelImage(&argb);
    ReleasePixelImage(&tenBit);
    ReleasePixelImage(&back);
}
