// DXT block decoding against hand-computed pixels, and DXT pictures.
#include "image_test_util.h"

#include <algorithm>
#include <cstring>

using namespace image_test;

namespace {

uint32_t Argb32(int a, int r, int g, int b) { return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | uint32_t(b); }

// The colour half: endpoints, then indices 0,1,2,3 along every row.
void PutColourBlock(Bytes& b, uint16_t c0, uint16_t c1) {
    Put16(b, c0);
    Put16(b, c1);
    for (int row = 0; row < 4; ++row) Put8(b, 0xE4);
}

// 16 three-bit alpha indices, index of pixel i = i % 8.
void PutAlphaIndices(Bytes& b) {
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) bits |= uint64_t(i % 8) << (3 * i);
    for (int i = 0; i < 6; ++i) Put8(b, uint32_t(bits >> (8 * i)));
}

}  // namespace

TEST(DxtBlock, Dxt1FourColourMode) {
    Bytes block;
    PutColourBlock(block, 0xF800, 0x001F);  // red > blue: four colours
    uint32_t px[16];
    DecodeDXTBlock(block.data(), 1, px);
    for (int row = 0; row < 4; ++row) {
        EXPECT_EQ(px[row * 4 + 0], Argb32(255, 255, 0, 0));
        EXPECT_EQ(px[row * 4 + 1], Argb32(255, 0, 0, 255));
        EXPECT_EQ(px[row * 4 + 2], Argb32(255, 170, 0, 85));  // (2 red + blue) / 3
        EXPECT_EQ(px[row * 4 + 3], Argb32(255, 85, 0, 170));
    }
}

TEST(DxtBlock, Dxt1ThreeColourModeHasTransparentBlack) {
    Bytes block;
    PutColourBlock(block, 0x001F, 0xF800);  // c0 <= c1
    uint32_t px[16];
    DecodeDXTBlock(block.data(), 1, px);
    EXPECT_EQ(px[0], Argb32(255, 0, 0, 255));
    EXPECT_EQ(px[1], Argb32(255, 255, 0, 0));
    EXPECT_EQ(px[2], Argb32(255, 127, 0, 127));  // halfway, truncated
    EXPECT_EQ(px[3], 0u);                        // transparent black
    // Equal endpoints are the three-colour mode too.
    Bytes flat;
    PutColourBlock(flat, 0x07E0, 0x07E0);
    DecodeDXTBlock(flat.data(), 1, px);
    EXPECT_EQ(px[2], Argb32(255, 0, 255, 0));
    EXPECT_EQ(px[3], 0u);
}

TEST(DxtBlock, Dxt3ExplicitAlphaAndAlwaysFourColours) {
    Bytes block;
    for (int i = 0; i < 8; ++i) Put8(block, uint32_t((2 * i + 1) << 4 | (2 * i)));  // pixel i alpha nibble = i
    PutColourBlock(block, 0x001F, 0xF800);  // c0 <= c1, still four colours
    uint32_t px[16];
    DecodeDXTBlock(block.data(), 3, px);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(int(px[i] >> 24), i * 17) << i;
    EXPECT_EQ(px[2] & 0xFFFFFF, Argb32(0, 85, 0, 170));
    EXPECT_EQ(px[3] & 0xFFFFFF, Argb32(0, 170, 0, 85));
}

TEST(DxtBlock, Dxt5InterpolatedAlphaInBothModes) {
    Bytes eight;
    Put8(eight, 200);
    Put8(eight, 100);
    PutAlphaIndices(eight);
    PutColourBlock(eight, 0xFFFF, 0x0000);
    uint32_t px[16];
    DecodeDXTBlock(eight.data(), 5, px);
    const int table8[8] = {200, 100, 185, 171, 157, 142, 128, 114};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(int(px[i] >> 24), table8[i % 8]) << i;
    EXPECT_EQ(px[0] & 0xFFFFFF, 0xFFFFFFu);

    Bytes six;
    Put8(six, 100);
    Put8(six, 200);
    PutAlphaIndices(six);
    PutColourBlock(six, 0xFFFF, 0x0000);
    DecodeDXTBlock(six.data(), 5, px);
    const int table6[8] = {100, 200, 120, 140, 160, 180, 0, 255};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(int(px[i] >> 24), table6[i % 8]) << i;
}

TEST(DxtBlock, PremultipliedTypesAreDividedBack) {
    Bytes block;
    for (int i = 0; i < 8; ++i) Put8(block, 0x88);  // alpha 8 x 17 = 136 everywhere
    // c0: r 16 -> 132, g 32 -> 130, b 16 -> 132; c1 white.
    PutColourBlock(block, (16 << 11) | (32 << 5) | 16, 0xFFFF);
    uint32_t px[16];
    DecodeDXTBlock(block.data(), 2, px);
    EXPECT_EQ(px[0], Argb32(136, 248, 244, 248));  // 132 x 255 / 136 = 247.5 -> 248
    EXPECT_EQ(px[1], Argb32(136, 255, 255, 255));  // would exceed 255: clamped
    DecodeDXTBlock(block.data(), 3, px);             // the same bytes as DXT3: as stored
    EXPECT_EQ(px[0], Argb32(136, 132, 130, 132));
    // Interpolated alpha 136 everywhere: DXT4 divides back, DXT5 does not.
    std::fill(block.begin(), block.begin() + 8, 0);
    block[0] = block[1] = 136;
    DecodeDXTBlock(block.data(), 4, px);
    EXPECT_EQ(px[0], Argb32(136, 248, 244, 248));
    DecodeDXTBlock(block.data(), 5, px);
    EXPECT_EQ(px[0], Argb32(136, 132, 130, 132));
}

TEST(DxtPicture, DecompressionAndPixelReadsAgreeAtOddSizes) {
    PixelImage dxt{};
    SetDXTColorFormat(&dxt.format, 1);
    ASSERT_EQ(CreatePixelImage(5, 6, &dxt, &dxt), 0);
    ASSERT_EQ(dxt.pitch, 16);
    // Four blocks of different solid colours (index 0 everywhere).
    const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    for (int b = 0; b < 4; ++b) {
        uint8_t* block = static_cast<uint8_t*>(dxt.pixels) + (b / 2) * dxt.pitch + (b % 2) * 8;
        block[0] = uint8_t(colours[b]);
        block[1] = uint8_t(colours[b] >> 8);
    }
    PixelImage argb;
    ASSERT_EQ(DecompressDXTPixelImage(&dxt, &argb), 0);
    EXPECT_EQ(argb.width, 5);
    EXPECT_EQ(argb.height, 6);
    EXPECT_EQ(PixelAt(argb, 3, 3), (Argb{255, 255, 0, 0}));
    EXPECT_EQ(PixelAt(argb, 4, 0), (Argb{255, 0, 255, 0}));
    EXPECT_EQ(PixelAt(argb, 0, 5), (Argb{255, 0, 0, 255}));
    EXPECT_EQ(PixelAt(argb, 4, 5), (Argb{255, 255, 255, 255}));
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelAt(dxt, x, y), PixelAt(argb, x, y));

    // The converter reads DXT too, from any offset.
    ColorFormatInfo xrgb;
    SetXRGB8ColorFormat(&xrgb);
    uint32_t row[3];
    ASSERT_EQ(ConvertPixelImageRect(&dxt, 2, 4, 3, 1, &xrgb, row, 12), 0);
    EXPECT_EQ(row[0], 0x000000FFu);
    EXPECT_EQ(row[2], 0x00FFFFFFu);

    // DXT to DXT copies the blocks.
    PixelImage copy;
    ASSERT_EQ(ConvertPixelImage(&dxt, &dxt.format, &copy), 0);
    EXPECT_EQ(std::memcmp(copy.pixels, dxt.pixels, size_t(dxt.pitch) * 2), 0);
    EXPECT_EQ(SetPixelImagePixel(&copy, 0, 0, 1, 2, 3, 4), -1);

    PixelImage notDxt;
    EXPECT_EQ(DecompressDXTPixelImage(&argb, &notDxt), -1);
    ReleasePixelImage(&dxt);
    ReleasePixelImage(&argb);
    ReleasePixelImage(&copy);
}
