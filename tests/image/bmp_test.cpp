// BMP decoding from byte arrays built here.
#include "image_test_util.h"

using namespace image_test;

namespace {

struct BmpSpec {
    int32_t width, height;
    int bitCount;
    uint32_t compression = 0;
    std::vector<uint32_t> palette = {};  // 0x00RRGGBB
    std::vector<uint32_t> masks = {};    // after a 40-byte header, for bit fields
    Bytes pixels = {};
    uint32_t headerSize = 40;
};

Bytes BuildBmp(const BmpSpec& s) {
    Bytes b;
    PutText(b, "BM");
    Put32(b, 0);  // file size, not read
    Put32(b, 0);
    size_t offsetAt = b.size();
    Put32(b, 0);
    Put32(b, s.headerSize);
    if (s.headerSize == 12) {
        Put16(b, uint32_t(s.width));
        Put16(b, uint32_t(s.height));
        Put16(b, 1);
        Put16(b, uint32_t(s.bitCount));
    } else {
        Put32(b, uint32_t(s.width));
        Put32(b, uint32_t(s.height));
        Put16(b, 1);
        Put16(b, uint32_t(s.bitCount));
        Put32(b, s.compression);
        Put32(b, uint32_t(s.pixels.size()));
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, uint32_t(s.palette.size()));
        Put32(b, 0);
        while (b.size() < 14 + s.headerSize) Put8(b, 0);
    }
    for (uint32_t m : s.masks) Put32(b, m);
    for (uint32_t c : s.palette) {
        Put8(b, c);
        Put8(b, c >> 8);
        Put8(b, c >> 16);
        if (s.headerSize != 12) Put8(b, 0x55);  // reserved byte: ignored
    }
    Set32(b, offsetAt, uint32_t(b.size()));
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    return b;
}

// A 3 x 2 24-bit picture, bottom-up: file rows are bottom then top.
BmpSpec Rgb24Spec() {
    BmpSpec s{3, 2, 24};
    // bottom row: red, green, blue; top row: white, black, grey
    s.pixels = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,  // padded to 12
                255, 255, 255, 0, 0, 0, 128, 128, 128, 0, 0, 0};
    return s;
}

}  // namespace

TEST(BmpDecode, TrueColourBottomUpAndTopDown) {
    PixelImage image;
    ASSERT_EQ(DecodeBytes(BuildBmp(Rgb24Spec()), &image), 0);
    EXPECT_EQ(image.format.pixelByte, 3);
    EXPECT_EQ(PixelAt(image, 0, 1), (Argb{255, 255, 0, 0}));
    EXPECT_EQ(PixelAt(image, 2, 1), (Argb{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 255, 255, 255}));
    EXPECT_EQ(PixelAt(image, 2, 0), (Argb{255, 128, 128, 128}));
    ReleasePixelImage(&image);

    BmpSpec top = Rgb24Spec();
    top.height = -2;
    ASSERT_EQ(DecodeBytes(BuildBmp(top), &image), 0);
    EXPECT_EQ(image.height, 2);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 255, 0, 0}));
    EXPECT_EQ(PixelAt(image, 2, 1), (Argb{255, 128, 128, 128}));
    ReleasePixelImage(&image);

    // 32-bit without bit fields: X8R8G8B8 with the unused byte cleared.
    BmpSpec x32{1, 1, 32};
    x32.pixels = {0x11, 0x22, 0x33, 0x99};
    ASSERT_EQ(DecodeBytes(BuildBmp(x32), &image), 0);
    EXPECT_EQ(*static_cast<uint32_t*>(image.pixels), 0x00332211u);
    EXPECT_EQ(image.format.alphaWidth, 0);
    ReleasePixelImage(&image);
}

TEST(BmpDecode, BitFieldsGiveTheirFormat) {
    // 16-bit R5G6B5 through BI_BITFIELDS after a 40-byte header.
    BmpSpec s{2, 1, 16, 3};
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = {0x1F, 0xF8, 0xE0, 0x07};  // magenta, green
    PixelImage image;
    ASSERT_EQ(DecodeBytes(BuildBmp(s), &image), 0);
    EXPECT_EQ(image.format.greenWidth, 6);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 255, 0, 255}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 0, 255, 0}));
    ReleasePixelImage(&image);

    // 16-bit without bit fields is X1R5G5B5; the unused top bit is dropped.
    BmpSpec x555{1, 1, 16};
    x555.pixels = {0x1F, 0xFC, 0, 0};  // top bit set, red 31, blue 31
    ASSERT_EQ(DecodeBytes(BuildBmp(x555), &image), 0);
    EXPECT_EQ(*static_cast<uint16_t*>(image.pixels), 0x7C1F);
    ReleasePixelImage(&image);

    // 32-bit with an alpha mask in a V5 header.
    BmpSpec v5{1, 1, 32, 3};
    v5.headerSize = 124;
    Bytes file = BuildBmp(v5);
    // masks at header offset 40: red, green, blue, alpha
    Set32(file, 14 + 40, 0x000000FF);
    Set32(file, 14 + 44, 0x0000FF00);
    Set32(file, 14 + 48, 0x00FF0000);
    Set32(file, 14 + 52, 0xFF000000);
    file.insert(file.end(), {0x10, 0x20, 0x30, 0x40});
    ASSERT_EQ(DecodeBytes(file, &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0x40, 0x10, 0x20, 0x30}));
    ReleasePixelImage(&image);

    // Masks that are not one run of bits are refused.
    s.masks = {0xF00F, 0x07E0, 0x001F};
    EXPECT_EQ(DecodeBytes(BuildBmp(s), &image), -1);
}

TEST(BmpDecode, PaletteDepths) {
    // 1-bit: 10 pixels 1010011110 in a 4-byte row.
    BmpSpec one{10, 1, 1};
    one.palette = {0x000000, 0xFFFFFF};
    one.pixels = {0xA7, 0x80, 0, 0};
    PixelImage image;
    ASSERT_EQ(DecodeBytes(BuildBmp(one), &image), 0);
    EXPECT_EQ(image.format.isPalette, 1);
    const int expected[10] = {1, 0, 1, 0, 0, 1, 1, 1, 1, 0};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(PixelAt(image, x, 0).r, expected[x] * 255) << x;
    ReleasePixelImage(&image);

    // 4-bit: high nibble first; an index past the palette reads as black.
    BmpSpec four{3, 1, 4};
    four.palette = {0x102030, 0x405060};
    four.pixels = {0x10, 0xF0, 0, 0};
    ASSERT_EQ(DecodeBytes(BuildBmp(four), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 0x40, 0x50, 0x60}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 0x10, 0x20, 0x30}));
    EXPECT_EQ(PixelAt(image, 2, 0), (Argb{255, 0, 0, 0}));
    ReleasePixelImage(&image);

    // 8-bit under an OS/2 core header with three-byte entries.
    BmpSpec core{2, 1, 8};
    core.headerSize = 12;
    core.palette = {0xAABBCC, 0x112233};
    core.pixels = {1, 0, 0, 0};
    ASSERT_EQ(DecodeBytes(BuildBmp(core), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 0x11, 0x22, 0x33}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 0xAA, 0xBB, 0xCC}));
    ReleasePixelImage(&image);
}

TEST(BmpDecode, RunLengthEncoded) {
    BmpSpec rle8{6, 2, 8, 1};
    rle8.palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    rle8.pixels = {
        3, 1,           // bottom row: three of index 1
        0, 3, 2, 3, 2, 0,  // absolute: 2 3 2, padded
        0, 0,           // end of line
        0, 2, 2, 0,     // delta: two to the right on the top row
        9, 3,           // a run past the row's end: the excess is dropped
        0, 1,           // end of bitmap
    };
    PixelImage image;
    ASSERT_EQ(DecodeBytes(BuildBmp(rle8), &image), 0);
    const int bottom[6] = {1, 1, 1, 2, 3, 2};
    const int top[6] = {0, 0, 3, 3, 3, 3};
    for (int x = 0; x < 6; ++x) {
        EXPECT_EQ(static_cast<uint8_t*>(image.pixels)[image.pitch + x], bottom[x]) << x;
        EXPECT_EQ(static_cast<uint8_t*>(image.pixels)[x], top[x]) << x;
    }
    ReleasePixelImage(&image);

    BmpSpec rle4{7, 1, 4, 2};
    rle4.palette = {0x000000, 0x111111, 0x222222};
    rle4.pixels = {3, 0x12, 0, 3, 0x21, 0x20, 0, 1};  // 1 2 1, then absolute 2 1 2
    ASSERT_EQ(DecodeBytes(BuildBmp(rle4), &image), 0);
    const int row[7] = {1, 2, 1, 2, 1, 2, 0};
    for (int x = 0; x < 7; ++x) EXPECT_EQ(static_cast<uint8_t*>(image.pixels)[x], row[x]) << x;
    ReleasePixelImage(&image);

    // Data that stops before the end-of-bitmap code fails.
    BmpSpec cut{4, 2, 8, 1};
    cut.palette = {0};
    cut.pixels = {4, 1, 0, 0, 2};
    EXPECT_EQ(DecodeBytes(BuildBmp(cut), &image), -1);
    // An absolute run longer than the data fails.
    cut.pixels = {0, 200, 1, 2};
    EXPECT_EQ(DecodeBytes(BuildBmp(cut), &image), -1);
}

TEST(BmpDecode, RefusesBadHeaders) {
    PixelImage image;
    auto refused = [&](BmpSpec s) {
        int result = DecodeBytes(BuildBmp(s), &image);
        ExpectDecodeOutcomeSound(result, image);
        ReleasePixelImage(&image);
        return result != 0;
    };
    BmpSpec s = Rgb24Spec();
    s.width = 0;
    EXPECT_TRUE(refused(s));
    s = Rgb24Spec();
    s.height = int32_t(0x80000000u);  // most negative height
    EXPECT_TRUE(refused(s));
    s = Rgb24Spec();
    s.width = 100000;  // past the dimension limit
    EXPECT_TRUE(refused(s));
    s = Rgb24Spec();
    s.bitCount = 7;
    EXPECT_TRUE(refused(s));
    s = Rgb24Spec();
    s.compression = 1;  // RLE8 with 24 bits
    EXPECT_TRUE(refused(s));
    s = Rgb24Spec();
    s.headerSize = 30;
    EXPECT_TRUE(refused(s));
    BmpSpec topDownRle{2, -1, 8, 1};
    topDownRle.palette = {0};
    topDownRle.pixels = {2, 0, 0, 1};
    EXPECT_TRUE(refused(topDownRle));
    // A pixel offset pointing back into the header.
    Bytes file = BuildBmp(Rgb24Spec());
    Set32(file, 10, 20);
    EXPECT_NE(DecodeBytes(file, &image), 0);
}

TEST(BmpDecode, TruncationAndCorruptionSweeps) {
    Bytes rgb = BuildBmp(Rgb24Spec());
    SweepTruncations(rgb, rgb.size() - 3);  // the last row's padding may be missing
    SweepCorruptions(rgb);

    BmpSpec pal{5, 3, 4};
    pal.palette = {0x000000, 0xFF0000, 0x00FF00};
    pal.pixels = Bytes(12, 0x12);
    Bytes palFile = BuildBmp(pal);
    SweepTruncations(palFile, palFile.size() - 1);
    SweepCorruptions(palFile);

    BmpSpec rle{4, 2, 8, 1};
    rle.palette = {0, 0xFFFFFF};
    rle.pixels = {4, 1, 0, 0, 0, 4, 1, 0, 1, 0, 0, 1};
    Bytes rleFile = BuildBmp(rle);
    SweepTruncations(rleFile, rleFile.size());
    SweepCorruptions(rleFile);
}
