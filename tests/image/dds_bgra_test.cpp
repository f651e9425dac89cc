// DDS and raw BGRA decoding from byte arrays built here.
#include "image_test_util.h"

#include <cstring>

using namespace image_test;

namespace {

Bytes DdsHeader(uint32_t width, uint32_t height, uint32_t pfFlags, const char* fourCC, uint32_t bits,
                uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    Bytes h;
    PutText(h, "DDS ");
    Put32(h, 124);
    Put32(h, 0x1007);  // caps, height, width, pixel format
    Put32(h, height);
    Put32(h, width);
    Put32(h, 0);  // pitch or linear size: not read
    Put32(h, 0);
    Put32(h, 1);
    for (int i = 0; i < 11; ++i) Put32(h, 0);
    Put32(h, 32);
    Put32(h, pfFlags);
    if (fourCC) PutText(h, fourCC);
    else Put32(h, 0);
    Put32(h, bits);
    Put32(h, r);
    Put32(h, g);
    Put32(h, b);
    Put32(h, a);
    Put32(h, 0x1000);
    for (int i = 0; i < 4; ++i) Put32(h, 0);
    return h;
}

Bytes BgraFile(uint32_t width, uint32_t height, const Bytes& pixels) {
    Bytes b;
    PutText(b, "BGRA");
    Put32(b, width);
    Put32(b, height);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

Bytes Dds(Bytes header, const Bytes& data) {
    header.insert(header.end(), data.begin(), data.end());
    return header;
}

}  // namespace

TEST(DdsDecode, DxtStaysCompressed) {
    // 6 x 4 DXT1: two blocks, red and blue, then a smaller mip level that is ignored.
    Bytes file = DdsHeader(6, 4, 0x4, "DXT1", 0, 0, 0, 0, 0);
    ASSERT_EQ(file.size(), 128u);
    const uint8_t blocks[16] = {0x00, 0xF8, 0, 0, 0, 0, 0, 0, 0x1F, 0x00, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), std::begin(blocks), std::end(blocks));
    Bytes withMip = file;
    withMip.insert(withMip.end(), 8, 0xAB);
    PixelImage image;
    ASSERT_EQ(DecodeBytes(withMip, &image), 0);
    EXPECT_EQ(image.format.dxtType, 1);
    EXPECT_EQ(image.width, 6);
    EXPECT_EQ(image.pitch, 16);
    EXPECT_EQ(std::memcmp(image.pixels, blocks, 16), 0);
    EXPECT_EQ(PixelAt(image, 3, 3), (Argb{255, 255, 0, 0}));
    EXPECT_EQ(PixelAt(image, 5, 0), (Argb{255, 0, 0, 255}));
    EXPECT_EQ(TurnPixelImage(&image), -1);
    ReleasePixelImage(&image);

    SweepTruncations(file, file.size());
    SweepCorruptions(file);

    // DXT5: one 16-byte block, alpha 255/0 ends, index 0 everywhere -> alpha 255.
    Bytes five = DdsHeader(4, 4, 0x4, "DXT5", 0, 0, 0, 0, 0);
    Bytes block5 = {255, 0, 0, 0, 0, 0, 0, 0, 0xE0, 0x07, 0, 0, 0, 0, 0, 0};
    five.insert(five.end(), block5.begin(), block5.end());
    ASSERT_EQ(DecodeBytes(five, &image), 0);
    EXPECT_EQ(image.format.dxtType, 5);
    EXPECT_EQ(PixelAt(image, 2, 2), (Argb{255, 0, 255, 0}));
    ReleasePixelImage(&image);

    // Unknown codes, DX10 headers among them, are refused.
    Bytes dx10 = DdsHeader(4, 4, 0x4, "DX10", 0, 0, 0, 0, 0);
    dx10.resize(dx10.size() + 64);
    EXPECT_NE(DecodeBytes(dx10, &image), 0);
    EXPECT_NE(DecodeBytes(DdsHeader(0x40000000, 4, 0x4, "DXT1", 0, 0, 0, 0, 0), &image), 0);
}

TEST(DdsDecode, UncompressedByMasks) {
    Bytes argb = Dds(DdsHeader(2, 1, 0x41, nullptr, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000), {1, 2, 3, 4, 5, 6, 7, 8});
    Bytes r565 = DdsHeader(3, 2, 0x40, nullptr, 16, 0xF800, 0x07E0, 0x001F, 0);
    for (int i = 0; i < 6; ++i) Put16(r565, i == 4 ? 0xF800 : 0);  // rows packed without padding
    const DecodeCase cases[] = {
        {"A8R8G8B8", argb, {{1, 0, {8, 7, 6, 5}}}},
        {"R5G6B5", r565, {{1, 1, {255, 255, 0, 0}}, {0, 1, {255, 0, 0, 0}}}},
        {"8-bit luminance reads as grey", Dds(DdsHeader(1, 1, 0x20000, nullptr, 8, 0xFF, 0, 0, 0), {77}),
         {{0, 0, {255, 77, 77, 77}}}},
        {"X8R8G8B8: bits outside the masks are 0",
         Dds(DdsHeader(1, 1, 0x40, nullptr, 32, 0xFF0000, 0xFF00, 0xFF, 0), {1, 2, 3, 0xEE}), {}, 4, 0x00030201},
    };
    for (const DecodeCase& c : cases) ExpectDecodes(c);
    SweepTruncations(argb, argb.size());
    SweepCorruptions(argb);
    ExpectRefused(Dds(DdsHeader(1, 1, 0x40, nullptr, 16, 0xFF0000, 0xFF00, 0xFF, 0), {0, 0, 0, 0}),
                  "masks that do not fit the bit count");
}

TEST(BgraDecode, ExactPixelsAndEveryTruncationFails) {
    Bytes file = BgraFile(2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    PixelImage image;
    ASSERT_EQ(DecodeBytes(file, &image), 0);
    EXPECT_EQ(image.format.alphaWidth, 8);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{4, 3, 2, 1}));
    EXPECT_EQ(PixelAt(image, 1, 1), (Argb{16, 15, 14, 13}));
    ReleasePixelImage(&image);
    SweepTruncations(file, file.size());
    SweepCorruptions(file);

    EXPECT_NE(DecodeBytes(BgraFile(0, 2, {}), &image), 0);
    EXPECT_NE(DecodeBytes(BgraFile(20000, 1, Bytes(80000, 0)), &image), 0);
    // 16384 x 16384 x 4 bytes is past the byte limit: refused before reading.
    EXPECT_NE(DecodeBytes(BgraFile(16384, 16384, {}), &image), 0);
}

TEST(BgraDecode, ShortFileGetsNoPictureOfTheHeadersSize) {
    // 8192 x 8192 is within the limits, but the file holds a single row: it is
    // refused before the 256 MB picture is made and a row is read into it.
    Bytes file = BgraFile(8192, 8192, Bytes(8192 * 4, 0x5A));
    PixelImage image;
    ReadCounts counts;
    EXPECT_NE(DecodeBytesCounted(file, DecodeBgraImage, &image, &counts), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(counts.bytes, 12u);
    // Exactly enough pixels, and more than enough, still decode.
    Bytes exact = BgraFile(3, 2, Bytes(24, 7));
    ASSERT_EQ(DecodeBytesCounted(exact, DecodeBgraImage, &image, &counts), 0);
    ReleasePixelImage(&image);
    exact.push_back(0);
    ASSERT_EQ(DecodeBytesCounted(exact, DecodeBgraImage, &image, &counts), 0);
    EXPECT_EQ(PixelAt(image, 2, 1), (Argb{7, 7, 7, 7}));
    ReleasePixelImage(&image);
}

TEST(DdsDecode, ShortFileGetsNoPictureOfTheHeadersSize) {
    PixelImage image;
    ReadCounts counts;
    // DXT1 8192 x 8192 with one row of blocks; A8R8G8B8 8192 x 8192 with one row.
    Bytes dxt = DdsHeader(8192, 8192, 0x4, "DXT1", 0, 0, 0, 0, 0);
    dxt.resize(dxt.size() + 2048 * 8, 0);
    Bytes argb = DdsHeader(8192, 8192, 0x41, nullptr, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    argb.resize(argb.size() + 8192 * 4, 0);
    for (const Bytes* file : {&dxt, &argb}) {
        EXPECT_NE(DecodeBytesCounted(*file, DecodeDdsImage, &image, &counts), 0);
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(counts.bytes, 128u);
    }
    // The last byte of the data present: decoded; one byte short: refused.
    Bytes small = DdsHeader(5, 5, 0x4, "DXT3", 0, 0, 0, 0, 0);
    small.resize(small.size() + 4 * 16, 0x11);
    ASSERT_EQ(DecodeBytesCounted(small, DecodeDdsImage, &image, &counts), 0);
    EXPECT_EQ(image.format.dxtType, 3);
    ReleasePixelImage(&image);
    small.pop_back();
    EXPECT_NE(DecodeBytesCounted(small, DecodeDdsImage, &image, &counts), 0);
    EXPECT_EQ(counts.bytes, 128u);
}
