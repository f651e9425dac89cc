// TGA decoding from byte arrays built here.
#include "image_test_util.h"

using namespace image_test;

namespace {

Bytes TgaHeader(int imageType, int width, int height, int bits, int descriptor, int mapType = 0, int mapFirst = 0,
                int mapLength = 0, int mapBits = 0, int idLength = 0) {
    Bytes b;
    Put8(b, uint32_t(idLength));
    Put8(b, uint32_t(mapType));
    Put8(b, uint32_t(imageType));
    Put16(b, uint32_t(mapFirst));
    Put16(b, uint32_t(mapLength));
    Put8(b, uint32_t(mapBits));
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, uint32_t(width));
    Put16(b, uint32_t(height));
    Put8(b, uint32_t(bits));
    Put8(b, uint32_t(descriptor));
    for (int i = 0; i < idLength; ++i) Put8(b, 'x');
    return b;
}

void Append(Bytes& b, std::initializer_list<uint8_t> bytes) { b.insert(b.end(), bytes); }

void AppendFooter(Bytes& b) {
    Put32(b, 0);
    Put32(b, 0);
    PutText(b, "TRUEVISION-XFILE.");
    Put8(b, 0);
}

// The model layer's built-in 8 x 8 white picture: RLE type 10, 32 bits with
// 8 alpha bits, bottom-left origin, one run per row, TGA 2.0 footer.
Bytes WhiteRle32() {
    Bytes b = TgaHeader(10, 8, 8, 32, 8);
    for (int row = 0; row < 8; ++row) Append(b, {0x87, 0xFF, 0xFF, 0xFF, 0xFF});
    AppendFooter(b);
    return b;
}

}  // namespace

TEST(TgaDecode, RunLengthTrueColourWithFooter) {
    Bytes file = WhiteRle32();
    EXPECT_EQ(file.size(), 84u);  // the size the built-in picture has
    PixelImage image;
    ASSERT_EQ(DecodeBytes(file, &image), 0);
    EXPECT_EQ(image.width, 8);
    EXPECT_EQ(image.format.alphaWidth, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelAt(image, x, y), (Argb{255, 255, 255, 255}));
    ReleasePixelImage(&image);

    // 24-bit grey steps: four runs of 64 per row, 256 x 8.
    Bytes steps = TgaHeader(10, 256, 8, 24, 0);
    for (int row = 0; row < 8; ++row)
        for (uint8_t grey : {0x00, 0x55, 0xAA, 0xFF}) Append(steps, {0xBF, grey, grey, grey});
    AppendFooter(steps);
    EXPECT_EQ(steps.size(), 172u);
    ASSERT_EQ(DecodeBytes(steps, &image), 0);
    EXPECT_EQ(image.format.pixelByte, 3);
    EXPECT_EQ(PixelAt(image, 63, 0), (Argb{255, 0, 0, 0}));
    EXPECT_EQ(PixelAt(image, 64, 7), (Argb{255, 0x55, 0x55, 0x55}));
    EXPECT_EQ(PixelAt(image, 255, 3), (Argb{255, 255, 255, 255}));
    ReleasePixelImage(&image);
}

TEST(TgaDecode, OriginBitsPlaceTheFirstPixel) {
    // 2 x 2, 24-bit, pixels in file order: A B C D.
    const uint8_t data[] = {1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0};  // blue values 1..4
    struct Case {
        int descriptor;
        int expected[4];  // blue at (0,0) (1,0) (0,1) (1,1)
    } cases[] = {
        {0x00, {3, 4, 1, 2}},  // bottom-left
        {0x20, {1, 2, 3, 4}},  // top-left
        {0x10, {4, 3, 2, 1}},  // bottom-right
        {0x30, {2, 1, 4, 3}},  // top-right
    };
    for (const Case& c : cases) {
        Bytes file = TgaHeader(2, 2, 2, 24, c.descriptor);
        file.insert(file.end(), std::begin(data), std::end(data));
        PixelImage image;
        ASSERT_EQ(DecodeBytes(file, &image), 0);
        EXPECT_EQ(PixelAt(image, 0, 0).b, c.expected[0]) << c.descriptor;
        EXPECT_EQ(PixelAt(image, 1, 0).b, c.expected[1]) << c.descriptor;
        EXPECT_EQ(PixelAt(image, 0, 1).b, c.expected[2]) << c.descriptor;
        EXPECT_EQ(PixelAt(image, 1, 1).b, c.expected[3]) << c.descriptor;
        ReleasePixelImage(&image);
    }
}

TEST(TgaDecode, ColourMappedGreyAndSixteenBit) {
    // Type 1 with an identification field and a map starting at entry 2.
    Bytes mapped = TgaHeader(1, 3, 1, 8, 0x20, 1, 2, 2, 24, 5);
    Append(mapped, {0x30, 0x20, 0x10, 0x60, 0x50, 0x40});  // entries 2 and 3 (B, G, R)
    Append(mapped, {2, 3, 0});
    PixelImage image;
    ASSERT_EQ(DecodeBytes(mapped, &image), 0);
    EXPECT_EQ(image.format.isPalette, 1);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 0x10, 0x20, 0x30}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 0x40, 0x50, 0x60}));
    EXPECT_EQ(PixelAt(image, 2, 0), (Argb{255, 0, 0, 0}));  // outside the map
    ReleasePixelImage(&image);

    // Type 9: the same, run-length coded.
    Bytes mappedRle = TgaHeader(9, 3, 1, 8, 0x20, 1, 2, 2, 24);
    Append(mappedRle, {0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0x81, 3, 0x00, 2});
    ASSERT_EQ(DecodeBytes(mappedRle, &image), 0);
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 0x40, 0x50, 0x60}));
    EXPECT_EQ(PixelAt(image, 2, 0), (Argb{255, 0x10, 0x20, 0x30}));
    ReleasePixelImage(&image);

    // Type 11 grey: raw packet of two, run of two.
    Bytes grey = TgaHeader(11, 4, 1, 8, 0x20);
    Append(grey, {0x01, 10, 20, 0x81, 200});
    ASSERT_EQ(DecodeBytes(grey, &image), 0);
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 20, 20, 20}));
    EXPECT_EQ(PixelAt(image, 3, 0), (Argb{255, 200, 200, 200}));
    ReleasePixelImage(&image);

    // 16-bit grey with alpha.
    Bytes greyAlpha = TgaHeader(3, 1, 1, 16, 0x28);
    Append(greyAlpha, {90, 30});
    ASSERT_EQ(DecodeBytes(greyAlpha, &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{30, 90, 90, 90}));
    ReleasePixelImage(&image);

    // 16-bit colour: the attribute bit is alpha only when the descriptor says so.
    Bytes a1 = TgaHeader(2, 2, 1, 16, 0x21);
    Append(a1, {0x1F, 0x7C, 0x1F, 0xFC});  // magenta without and with the top bit
    ASSERT_EQ(DecodeBytes(a1, &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 255, 0, 255}));
    ReleasePixelImage(&image);
    Bytes x1 = TgaHeader(2, 1, 1, 16, 0x20);
    Append(x1, {0x1F, 0xFC});
    ASSERT_EQ(DecodeBytes(x1, &image), 0);
    EXPECT_EQ(*static_cast<uint16_t*>(image.pixels), 0x7C1F);  // unused bit cleared
    ReleasePixelImage(&image);
}

TEST(TgaDecode, RefusesBadHeadersAndShortData) {
    PixelImage image;
    auto decodes = [&](const Bytes& file) {
        int result = DecodeBytes(file, &image);
        ExpectDecodeOutcomeSound(result, image);
        ReleasePixelImage(&image);
        return result == 0;
    };
    Bytes ok = TgaHeader(2, 1, 1, 24, 0);
    Append(ok, {1, 2, 3});
    EXPECT_TRUE(decodes(ok));
    EXPECT_FALSE(decodes(Bytes(ok.begin(), ok.end() - 1)));
    EXPECT_FALSE(decodes([] { Bytes b = TgaHeader(4, 1, 1, 24, 0); Append(b, {1, 2, 3}); return b; }()));
    EXPECT_FALSE(decodes([] { Bytes b = TgaHeader(2, 0, 1, 24, 0); Append(b, {1, 2, 3}); return b; }()));
    EXPECT_FALSE(decodes([] { Bytes b = TgaHeader(2, 1, 1, 20, 0); Append(b, {1, 2, 3}); return b; }()));
    EXPECT_FALSE(decodes([] { Bytes b = TgaHeader(2, 1, 1, 24, 0xC0); Append(b, {1, 2, 3}); return b; }()));
    // A colour map reaching past entry 255.
    EXPECT_FALSE(decodes([] { Bytes b = TgaHeader(1, 1, 1, 8, 0, 1, 200, 100, 24); b.resize(b.size() + 301); return b; }()));
    // 65535 x 65535 is refused before anything is read or allocated.
    EXPECT_FALSE(decodes(TgaHeader(10, 65535, 65535, 32, 8)));
    // Run-length data ending early.
    Bytes shortRle = TgaHeader(10, 4, 1, 24, 0);
    Append(shortRle, {0x82, 1, 2, 3});
    EXPECT_FALSE(decodes(shortRle));
    // A run that crosses the picture's end is cut there.
    Bytes longRun = TgaHeader(10, 2, 1, 24, 0);
    Append(longRun, {0xFF, 1, 2, 3});
    EXPECT_TRUE(decodes(longRun));
}

TEST(TgaDecode, TruncationAndCorruptionSweeps) {
    Bytes rle = WhiteRle32();
    SweepTruncations(rle, rle.size() - 26);  // the footer is optional
    SweepCorruptions(rle);

    Bytes raw = TgaHeader(2, 3, 2, 16, 0x21);
    for (int i = 0; i < 6; ++i) Append(raw, {uint8_t(i * 40), uint8_t(0x80 | i)});
    SweepTruncations(raw, raw.size());
    SweepCorruptions(raw);

    Bytes mapped = TgaHeader(9, 3, 2, 8, 0, 1, 0, 3, 32);
    Append(mapped, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x82, 1, 0x02, 0, 1, 2});
    SweepTruncations(mapped, mapped.size());
    SweepCorruptions(mapped);
}
