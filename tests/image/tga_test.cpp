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


Bytes Tga(Bytes header, std::initializer_list<uint8_t> data) {
    header.insert(header.end(), data);
    return header;
}

// 24-bit grey steps: four runs of 64 per row, 256 x 8.
Bytes GreySteps() {
    Bytes steps = TgaHeader(10, 256, 8, 24, 0);
    for (int row = 0; row < 8; ++row)
        for (uint8_t grey : {0x00, 0x55, 0xAA, 0xFF}) Append(steps, {0xBF, grey, grey, grey});
    AppendFooter(steps);
    return steps;
}

}  // namespace

TEST(TgaDecode, EveryTypeAndDepth) {
    EXPECT_EQ(WhiteRle32().size(), 84u);  // the size the built-in picture has
    EXPECT_EQ(GreySteps().size(), 172u);
    const Argb white{255, 255, 255, 255};
    const Bytes map = {0x30, 0x20, 0x10, 0x60, 0x50, 0x40};  // entries 2 and 3 (B, G, R)
    const DecodeCase cases[] = {
        {"RLE 32-bit with footer", WhiteRle32(), {{0, 0, white}, {7, 0, white}, {3, 5, white}, {7, 7, white}}},
        {"RLE 24-bit runs of 64", GreySteps(),
         {{63, 0, {255, 0, 0, 0}}, {64, 7, {255, 0x55, 0x55, 0x55}}, {255, 3, white}}, 3},
        {"colour-mapped with an id field, map from entry 2",
         Tga(TgaHeader(1, 3, 1, 8, 0x20, 1, 2, 2, 24, 5), {0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 2, 3, 0}),
         {{0, 0, {255, 0x10, 0x20, 0x30}}, {1, 0, {255, 0x40, 0x50, 0x60}}, {2, 0, {255, 0, 0, 0}}}, 1},
        {"colour-mapped RLE",
         Tga(TgaHeader(9, 3, 1, 8, 0x20, 1, 2, 2, 24), {0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0x81, 3, 0x00, 2}),
         {{1, 0, {255, 0x40, 0x50, 0x60}}, {2, 0, {255, 0x10, 0x20, 0x30}}}},
        {"RLE grey: raw packet of two, run of two", Tga(TgaHeader(11, 4, 1, 8, 0x20), {0x01, 10, 20, 0x81, 200}),
         {{1, 0, {255, 20, 20, 20}}, {3, 0, {255, 200, 200, 200}}}},
        {"16-bit grey with alpha", Tga(TgaHeader(3, 1, 1, 16, 0x28), {90, 30}), {{0, 0, {30, 90, 90, 90}}}},
        {"16-bit colour, attribute bit as alpha", Tga(TgaHeader(2, 2, 1, 16, 0x21), {0x1F, 0x7C, 0x1F, 0xFC}),
         {{0, 0, {0, 255, 0, 255}}, {1, 0, {255, 255, 0, 255}}}},
        {"16-bit colour, attribute bit unused and cleared", Tga(TgaHeader(2, 1, 1, 16, 0x20), {0x1F, 0xFC}), {}, 2,
         0x7C1F},
        {"a run crossing the picture's end is cut", Tga(TgaHeader(10, 2, 1, 24, 0), {0xFF, 1, 2, 3}),
         {{1, 0, {255, 3, 2, 1}}}},
    };
    for (const DecodeCase& c : cases) ExpectDecodes(c);
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

TEST(TgaDecode, RefusesBadHeadersAndShortData) {
    Bytes colourMapPast255 = TgaHeader(1, 1, 1, 8, 0, 1, 200, 100, 24);
    colourMapPast255.resize(colourMapPast255.size() + 301);
    const std::pair<const char*, Bytes> cases[] = {
        {"one byte short", Tga(TgaHeader(2, 1, 1, 24, 0), {1, 2})},
        {"type 4", Tga(TgaHeader(4, 1, 1, 24, 0), {1, 2, 3})},
        {"width 0", Tga(TgaHeader(2, 0, 1, 24, 0), {1, 2, 3})},
        {"20 bits", Tga(TgaHeader(2, 1, 1, 20, 0), {1, 2, 3})},
        {"interleaved", Tga(TgaHeader(2, 1, 1, 24, 0xC0), {1, 2, 3})},
        {"colour map past entry 255", colourMapPast255},
        {"65535 x 65535, refused before reading", TgaHeader(10, 65535, 65535, 32, 8)},
        {"run-length data ending early", Tga(TgaHeader(10, 4, 1, 24, 0), {0x82, 1, 2, 3})},
    };
    for (const auto& [what, file] : cases) ExpectRefused(file, what);
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
