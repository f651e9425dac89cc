// PNG and JPEG decoding of files that libpng and libjpeg write here.
#include "image_test_util.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

using namespace image_test;

namespace {

struct PngSpec {
    int width, height, colorType, bitDepth;
    Bytes data;  // rows packed as PNG stores them
    std::vector<png_color> palette = {};
    Bytes trnsAlpha = {};            // palette tRNS
    png_color_16 trnsColour{};       // grey or RGB tRNS
    bool hasTrnsColour = false;
    bool interlaced = false;
};

void WriteToBytes(png_structp png, png_bytep data, size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

Bytes EncodePng(const PngSpec& s) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        ADD_FAILURE() << "libpng could not write the test file";
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, WriteToBytes, FlushNothing);
    png_set_IHDR(png, info, uint32_t(s.width), uint32_t(s.height), s.bitDepth, s.colorType,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.trnsAlpha.empty())
        png_set_tRNS(png, info, s.trnsAlpha.data(), int(s.trnsAlpha.size()), nullptr);
    if (s.hasTrnsColour) png_set_tRNS(png, info, nullptr, 0, &s.trnsColour);
    png_write_info(png, info);
    size_t rowBytes = s.data.size() / size_t(s.height);
    std::vector<png_bytep> rows;
    for (int y = 0; y < s.height; ++y) rows.push_back(const_cast<png_bytep>(s.data.data() + y * rowBytes));
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes EncodeJpeg(int width, int height, int components, const Bytes& samples, int quality = 100) {
    const J_COLOR_SPACE space = components == 1 ? JCS_GRAYSCALE : (components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + info.next_scanline * size_t(width) * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace

TEST(PngDecode, TrueColourWithAndWithoutAlpha) {
    PngSpec rgb{2, 1, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0, 10, 20, 30}};
    PixelImage image;
    ASSERT_EQ(DecodeBytes(EncodePng(rgb), &image), 0);
    EXPECT_EQ(image.format.pixelByte, 3);
    EXPECT_EQ(image.format.alphaWidth, 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{255, 255, 0, 0}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 10, 20, 30}));
    ReleasePixelImage(&image);

    PngSpec rgba{1, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4, 250, 251, 252, 0}};
    ASSERT_EQ(DecodeBytes(EncodePng(rgba), &image), 0);
    EXPECT_EQ(image.format.alphaWidth, 8);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{4, 1, 2, 3}));
    EXPECT_EQ(PixelAt(image, 0, 1), (Argb{0, 250, 251, 252}));
    ReleasePixelImage(&image);

    // 16-bit channels keep their high byte.
    PngSpec deep{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0x12, 0xFF, 0x34, 0x00, 0x56, 0x80, 0x78, 0x01}};
    ASSERT_EQ(DecodeBytes(EncodePng(deep), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0x78, 0x12, 0x34, 0x56}));
    ReleasePixelImage(&image);

    // An RGB tRNS colour becomes alpha 0 on exactly that colour.
    PngSpec keyed{2, 1, PNG_COLOR_TYPE_RGB, 8, {255, 0, 255, 255, 0, 254}};
    keyed.trnsColour.red = 255;
    keyed.trnsColour.blue = 255;
    keyed.hasTrnsColour = true;
    ASSERT_EQ(DecodeBytes(EncodePng(keyed), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0).a, 0);
    EXPECT_EQ(PixelAt(image, 1, 0).a, 255);
    ReleasePixelImage(&image);
}

TEST(PngDecode, PaletteAndGrey) {
    PngSpec pal{5, 1, PNG_COLOR_TYPE_PALETTE, 2, {0b00011011, 0b01000000}};  // 0 1 2 3 1
    pal.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
    pal.trnsAlpha = {0, 128};
    PixelImage image;
    ASSERT_EQ(DecodeBytes(EncodePng(pal), &image), 0);
    EXPECT_EQ(image.format.isPalette, 1);
    EXPECT_EQ(image.format.alphaWidth, 8);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0, 10, 20, 30}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{128, 40, 50, 60}));
    EXPECT_EQ(PixelAt(image, 3, 0), (Argb{255, 100, 110, 120}));  // past the tRNS entries
    EXPECT_EQ(PixelAt(image, 4, 0), (Argb{128, 40, 50, 60}));
    ReleasePixelImage(&image);

    // 1-bit grey widens to 0 and 255.
    PngSpec bits{9, 1, PNG_COLOR_TYPE_GRAY, 1, {0b10110000, 0b10000000}};
    ASSERT_EQ(DecodeBytes(EncodePng(bits), &image), 0);
    const int expected[9] = {255, 0, 255, 255, 0, 0, 0, 0, 255};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(PixelAt(image, x, 0), (Argb{255, expected[x], expected[x], expected[x]}));
    ReleasePixelImage(&image);

    // 4-bit grey: v x 17.
    PngSpec nibble{2, 1, PNG_COLOR_TYPE_GRAY, 4, {0x5A}};
    ASSERT_EQ(DecodeBytes(EncodePng(nibble), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0).r, 0x55);
    EXPECT_EQ(PixelAt(image, 1, 0).g, 0xAA);
    ReleasePixelImage(&image);

    // 16-bit grey with alpha.
    PngSpec ga{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0xC0, 0x01, 0x40, 0xFF}};
    ASSERT_EQ(DecodeBytes(EncodePng(ga), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0x40, 0xC0, 0xC0, 0xC0}));
    ReleasePixelImage(&image);

    // Grey with a tRNS grey level.
    PngSpec greyKey{2, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 8}};
    greyKey.trnsColour.gray = 7;
    greyKey.hasTrnsColour = true;
    ASSERT_EQ(DecodeBytes(EncodePng(greyKey), &image), 0);
    EXPECT_EQ(PixelAt(image, 0, 0), (Argb{0, 7, 7, 7}));
    EXPECT_EQ(PixelAt(image, 1, 0), (Argb{255, 8, 8, 8}));
    ReleasePixelImage(&image);
}

TEST(PngDecode, InterlacedMatchesItsPixels) {
    PngSpec s{13, 11, PNG_COLOR_TYPE_RGB, 8, {}};
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) s.data.insert(s.data.end(), {uint8_t(x * 19), uint8_t(y * 23), uint8_t(x ^ y)});
    s.interlaced = true;
    PixelImage image;
    ASSERT_EQ(DecodeBytes(EncodePng(s), &image), 0);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 13; ++x) EXPECT_EQ(PixelAt(image, x, y), (Argb{255, x * 19, y * 23, x ^ y}));
    ReleasePixelImage(&image);
}

TEST(PngDecode, TruncationAndCorruptionFailCleanly) {
    PngSpec s{4, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, Bytes(48, 0)};
    for (size_t i = 0; i < s.data.size(); ++i) s.data[i] = uint8_t(i * 37);
    Bytes file = EncodePng(s);
    // Everything up to the image data is needed; the closing IEND is not.
    SweepTruncations(file, file.size() - 12);
    SweepCorruptions(file);

    // Dimensions past the limit are refused from the header.
    PngSpec wide{20000, 1, PNG_COLOR_TYPE_GRAY, 1, Bytes(2500, 0)};
    PixelImage image;
    EXPECT_NE(DecodeBytes(EncodePng(wide), &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(JpegDecode, ColourAndGreyWithinTolerance) {
    const int w = 16, h = 8;
    Bytes samples;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            bool left = x < 8;
            samples.insert(samples.end(), {uint8_t(left ? 200 : 30), uint8_t(left ? 40 : 160), uint8_t(left ? 60 : 220)});
        }
    PixelImage image;
    ASSERT_EQ(DecodeBytes(EncodeJpeg(w, h, 3, samples), &image), 0);
    EXPECT_EQ(image.width, w);
    EXPECT_EQ(image.height, h);
    EXPECT_EQ(image.format.pixelByte, 3);
    for (auto [x, y, r, g, b] : {std::tuple{2, 3, 200, 40, 60}, std::tuple{13, 5, 30, 160, 220}}) {
        Argb c = PixelAt(image, x, y);
        EXPECT_NEAR(c.r, r, 6);
        EXPECT_NEAR(c.g, g, 6);
        EXPECT_NEAR(c.b, b, 6);
        EXPECT_EQ(c.a, 255);
    }
    ReleasePixelImage(&image);

    Bytes grey;
    for (int i = 0; i < w * h; ++i) grey.push_back(uint8_t(i < w * h / 2 ? 50 : 180));
    ASSERT_EQ(DecodeBytes(EncodeJpeg(w, h, 1, grey), &image), 0);
    EXPECT_EQ(image.format.isPalette, 1);
    EXPECT_NEAR(PixelAt(image, 5, 1).r, 50, 3);
    EXPECT_NEAR(PixelAt(image, 5, 6).g, 180, 3);
    ReleasePixelImage(&image);
}

TEST(JpegDecode, AdobeCmykBecomesRgb) {
    // libjpeg marks CMYK files with the Adobe marker; such files store 255 - ink.
    Bytes samples;
    for (int i = 0; i < 8 * 8; ++i) samples.insert(samples.end(), {255, 0, 0, 255});  // no cyan, full M and Y
    PixelImage image;
    ASSERT_EQ(DecodeBytes(EncodeJpeg(8, 8, 4, samples), &image), 0);
    EXPECT_EQ(image.format.pixelByte, 3);
    Argb c = PixelAt(image, 4, 4);
    EXPECT_NEAR(c.r, 255, 4);
    EXPECT_NEAR(c.g, 0, 4);
    EXPECT_NEAR(c.b, 0, 4);
    ReleasePixelImage(&image);
}

TEST(JpegDecode, TruncationAndCorruptionFailCleanly) {
    Bytes samples(8 * 8 * 3);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7);
    Bytes file = EncodeJpeg(8, 8, 3, samples, 90);
    SweepTruncations(file, file.size());
    SweepCorruptions(file);

    // A frame header claiming 65000 x 65000 is refused before decoding starts.
    Bytes huge = file;
    for (size_t i = 0; i + 9 < huge.size(); ++i) {
        if (huge[i] == 0xFF && (huge[i + 1] == 0xC0 || huge[i + 1] == 0xC2)) {
            huge[i + 5] = huge[i + 7] = 0xFD;
            huge[i + 6] = huge[i + 8] = 0xE8;
            break;
        }
    }
    ASSERT_NE(huge, file);
    PixelImage image;
    EXPECT_NE(DecodeBytes(huge, &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
}
