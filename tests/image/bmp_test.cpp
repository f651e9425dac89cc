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


BmpSpec With(BmpSpec s, void (*change)(BmpSpec&)) {
    change(s);
    return s;
}

// A V5 header with red, green, blue and alpha masks and one pixel.
Bytes V5WithAlphaMask() {
    BmpSpec v5{1, 1, 32, 3};
    v5.headerSize = 124;
    Bytes file = BuildBmp(v5);
    const uint32_t masks[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};
    for (int i = 0; i < 4; ++i) Set32(file, 14 + 40 + 4 * i, masks[i]);
    file.insert(file.end(), {0x10, 0x20, 0x30, 0x40});
    return file;
}

}  // namespace

TEST(BmpDecode, EveryDepthAndHeader) {
    const Argb red{255, 255, 0, 0}, blue{255, 0, 0, 255}, white{255, 255, 255, 255}, grey{255, 128, 128, 128};
    const DecodeCase cases[] = {
        {"24-bit bottom-up", BuildBmp(Rgb24Spec()), {{0, 1, red}, {2, 1, blue}, {0, 0, white}, {2, 0, grey}}, 3},
        {"24-bit top-down", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.height = -2; })),
         {{0, 0, red}, {2, 1, grey}}},
        {"32-bit without bit fields: X byte cleared",
         BuildBmp({1, 1, 32, 0, {}, {}, {0x11, 0x22, 0x33, 0x99}}),
         {{0, 0, {255, 0x33, 0x22, 0x11}}}, 4, 0x00332211},
        {"16-bit R5G6B5 bit fields after a 40-byte header",
         BuildBmp({2, 1, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, {0x1F, 0xF8, 0xE0, 0x07}}),
         {{0, 0, {255, 255, 0, 255}}, {1, 0, {255, 0, 255, 0}}}},
        {"16-bit without bit fields is X1R5G5B5, top bit dropped",
         BuildBmp({1, 1, 16, 0, {}, {}, {0x1F, 0xFC, 0, 0}}), {}, 2, 0x7C1F},
        {"32-bit with an alpha mask in a V5 header", V5WithAlphaMask(), {{0, 0, {0x40, 0x10, 0x20, 0x30}}}},
        {"1-bit, 10 pixels 1010011110",
         BuildBmp({10, 1, 1, 0, {0x000000, 0xFFFFFF}, {}, {0xA7, 0x80, 0, 0}}),
         {{0, 0, white}, {1, 0, {255, 0, 0, 0}}, {2, 0, white}, {4, 0, {255, 0, 0, 0}}, {8, 0, white},
          {9, 0, {255, 0, 0, 0}}},
         1},
        {"4-bit: high nibble first, an index past the palette is black",
         BuildBmp({3, 1, 4, 0, {0x102030, 0x405060}, {}, {0x10, 0xF0, 0, 0}}),
         {{0, 0, {255, 0x40, 0x50, 0x60}}, {1, 0, {255, 0x10, 0x20, 0x30}}, {2, 0, {255, 0, 0, 0}}}},
        {"8-bit under an OS/2 core header",
         BuildBmp({2, 1, 8, 0, {0xAABBCC, 0x112233}, {}, {1, 0, 0, 0}, 12}),
         {{0, 0, {255, 0x11, 0x22, 0x33}}, {1, 0, {255, 0xAA, 0xBB, 0xCC}}}},
    };
    for (const DecodeCase& c : cases) ExpectDecodes(c);
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
}

TEST(BmpDecode, RefusesBadHeaders) {
    Bytes backwardsOffset = BuildBmp(Rgb24Spec());
    Set32(backwardsOffset, 10, 20);  // pixels inside the header
    const std::pair<const char*, Bytes> cases[] = {
        {"width 0", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.width = 0; }))},
        {"most negative height", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.height = int32_t(0x80000000u); }))},
        {"past the dimension limit", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.width = 100000; }))},
        {"7 bits", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.bitCount = 7; }))},
        {"RLE8 with 24 bits", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.compression = 1; }))},
        {"30-byte header", BuildBmp(With(Rgb24Spec(), [](BmpSpec& s) { s.headerSize = 30; }))},
        {"top-down RLE", BuildBmp({2, -1, 8, 1, {0}, {}, {2, 0, 0, 1}})},
        {"masks not one run", BuildBmp({2, 1, 16, 3, {}, {0xF00F, 0x07E0, 0x001F}, {0, 0, 0, 0}})},
        {"RLE stopping before the end code", BuildBmp({4, 2, 8, 1, {0}, {}, {4, 1, 0, 0, 2}})},
        {"absolute run longer than the data", BuildBmp({4, 2, 8, 1, {0}, {}, {0, 200, 1, 2}})},
        {"pixel offset into the header", backwardsOffset},
    };
    for (const auto& [what, file] : cases) ExpectRefused(file, what);
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
