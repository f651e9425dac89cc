// PNG and JPEG decoding of files that libpng and libjpeg write here.
#include "image_test_util.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <zlib.h>

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

Bytes EncodeJpeg(int width, int height, int components, const Bytes& samples, int quality = 100,
                 bool progressive = false) {
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
    if (progressive) jpeg_simple_progression(&info);
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

// A chunk with its length, type and CRC.
Bytes PngChunk(const char* type, const Bytes& data) {
    Bytes chunk;
    for (int shift = 24; shift >= 0; shift -= 8) Put8(chunk, uint32_t(data.size()) >> shift);
    PutText(chunk, type);
    chunk.insert(chunk.end(), data.begin(), data.end());
    uLong crc = crc32(0, chunk.data() + 4, uInt(chunk.size() - 4));
    for (int shift = 24; shift >= 0; shift -= 8) Put8(chunk, uint32_t(crc >> shift));
    return chunk;
}

// The marker segments of a JPEG file, each scan with its coded data.
struct JpegSegment {
    uint8_t marker;
    size_t begin, end;
};
std::vector<JpegSegment> SplitJpeg(const Bytes& file) {
    std::vector<JpegSegment> segments;
    size_t at = 2;
    while (at + 4 <= file.size() && file[at] == 0xFF) {
        uint8_t marker = file[at + 1];
        if (marker == 0xD9) {
            segments.push_back({marker, at, at + 2});
            break;
        }
        size_t end = at + 2 + (size_t(file[at + 2]) << 8 | file[at + 3]);
        if (marker == 0xDA) {  // coded data runs to the next marker that is not a restart
            while (end + 1 < file.size() &&
                   !(file[end] == 0xFF && file[end + 1] != 0 && (file[end + 1] < 0xD0 || file[end + 1] > 0xD7)))
                ++end;
        }
        segments.push_back({marker, at, end});
        at = end;
    }
    return segments;
}

Bytes GradientSamples(int width, int height, int components) {
    Bytes samples(size_t(width) * height * components);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint8_t(i * 7 + i / 97);
    return samples;
}

PngSpec Keyed(PngSpec s, png_color_16 colour) {
    s.trnsColour = colour;
    s.hasTrnsColour = true;
    return s;
}

PngSpec Paletted() {
    PngSpec s{5, 1, PNG_COLOR_TYPE_PALETTE, 2, {0b00011011, 0b01000000}};  // 0 1 2 3 1
    s.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
    s.trnsAlpha = {0, 128};
    return s;
}

}  // namespace

TEST(PngDecode, EveryColourTypeAndDepth) {
    const Argb white{255, 255, 255, 255}, black{255, 0, 0, 0};
    const DecodeCase cases[] = {
        {"RGB", EncodePng({2, 1, PNG_COLOR_TYPE_RGB, 8, {255, 0, 0, 10, 20, 30}}),
         {{0, 0, {255, 255, 0, 0}}, {1, 0, {255, 10, 20, 30}}}, 3},
        {"RGBA", EncodePng({1, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, {1, 2, 3, 4, 250, 251, 252, 0}}),
         {{0, 0, {4, 1, 2, 3}}, {0, 1, {0, 250, 251, 252}}}, 4},
        {"16-bit channels keep their high byte",
         EncodePng({1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0x12, 0xFF, 0x34, 0x00, 0x56, 0x80, 0x78, 0x01}}),
         {{0, 0, {0x78, 0x12, 0x34, 0x56}}}},
        {"RGB tRNS colour is alpha 0 on exactly that colour",
         EncodePng(Keyed({2, 1, PNG_COLOR_TYPE_RGB, 8, {255, 0, 255, 255, 0, 254}}, {0, 255, 0, 255, 0})),
         {{0, 0, {0, 255, 0, 255}}, {1, 0, {255, 255, 0, 254}}}},
        {"2-bit palette with tRNS", EncodePng(Paletted()),
         {{0, 0, {0, 10, 20, 30}}, {1, 0, {128, 40, 50, 60}}, {3, 0, {255, 100, 110, 120}}, {4, 0, {128, 40, 50, 60}}},
         1},
        {"1-bit grey widens to 0 and 255", EncodePng({9, 1, PNG_COLOR_TYPE_GRAY, 1, {0b10110000, 0b10000000}}),
         {{0, 0, white}, {1, 0, black}, {3, 0, white}, {4, 0, black}, {7, 0, black}, {8, 0, white}}},
        {"4-bit grey is v x 17", EncodePng({2, 1, PNG_COLOR_TYPE_GRAY, 4, {0x5A}}),
         {{0, 0, {255, 0x55, 0x55, 0x55}}, {1, 0, {255, 0xAA, 0xAA, 0xAA}}}},
        {"16-bit grey with alpha", EncodePng({1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 16, {0xC0, 0x01, 0x40, 0xFF}}),
         {{0, 0, {0x40, 0xC0, 0xC0, 0xC0}}}},
        {"grey with a tRNS level", EncodePng(Keyed({2, 1, PNG_COLOR_TYPE_GRAY, 8, {7, 8}}, {0, 0, 0, 0, 7})),
         {{0, 0, {0, 7, 7, 7}}, {1, 0, {255, 8, 8, 8}}}},
    };
    for (const DecodeCase& c : cases) ExpectDecodes(c);
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

TEST(PngDecode, ChunksBesidesThePictureAreSkippedUnread) {
    PngSpec s{3, 2, PNG_COLOR_TYPE_RGB, 8, Bytes(18, 0)};
    for (size_t i = 0; i < s.data.size(); ++i) s.data[i] = uint8_t(i * 13);
    Bytes file = EncodePng(s);
    const size_t afterHeader = 8 + 25;  // signature, IHDR
    PixelImage image;
    ReadCounts counts;

    // Intact text and private chunks change nothing.
    Bytes withText = file;
    Bytes text = PngChunk("tEXt", Bytes{'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'});
    Bytes other = PngChunk("prVt", Bytes(3000, 0x42));
    withText.insert(withText.begin() + afterHeader, other.begin(), other.end());
    withText.insert(withText.begin() + afterHeader, text.begin(), text.end());
    ASSERT_EQ(DecodeBytesCounted(withText, DecodePngImage, &image, &counts), 0);
    EXPECT_EQ(PixelAt(image, 2, 1), (Argb{255, 15 * 13 % 256, 16 * 13 % 256, 17 * 13 % 256}));
    ReleasePixelImage(&image);

    // A compressed-text chunk whose length field says 0x7C000000 in a file
    // of 200 bytes: it fails without a buffer of that length being filled
    // (libpng only warns about the oversized chunk).
    Bytes broken = file;
    Bytes header = {0x7C, 0x00, 0x00, 0x00, 'z', 'T', 'X', 't', 'C', 'o', 'm', 0, 0, 0x78, 0x9C};
    broken.insert(broken.begin() + afterHeader, header.begin(), header.end());
    EXPECT_NE(DecodeBytesCounted(broken, DecodePngImage, &image, &counts), 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_LT(counts.largestRequest, size_t(1) << 20);
}

TEST(JpegDecode, CodedDataCutShortByAMarkerFails) {
    const int w = 64, h = 64;
    Bytes file = EncodeJpeg(w, h, 3, GradientSamples(w, h, 3), 90);
    PixelImage image;
    ASSERT_EQ(DecodeBytes(file, &image), 0);
    ReleasePixelImage(&image);
    // The scan's coded data halved and the end-of-image marker put after it:
    // libjpeg would fill the rest of the picture with grey.
    std::vector<JpegSegment> segments = SplitJpeg(file);
    auto scan = std::find_if(segments.begin(), segments.end(), [](const JpegSegment& s) { return s.marker == 0xDA; });
    ASSERT_NE(scan, segments.end());
    size_t dataStart = scan->begin + 2 + (size_t(file[scan->begin + 2]) << 8 | file[scan->begin + 3]);
    Bytes cut(file.begin(), file.begin() + ptrdiff_t(dataStart + (scan->end - dataStart) / 2));
    if (cut.back() == 0xFF) cut.pop_back();
    cut.insert(cut.end(), {0xFF, 0xD9});
    EXPECT_NE(DecodeBytes(cut, &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
    ReleasePixelImage(&image);
}

TEST(JpegDecode, ProgressiveFilesAndTheirLimits) {
    const int w = 32, h = 24;
    Bytes samples = GradientSamples(w, h, 1);
    Bytes file = EncodeJpeg(w, h, 1, samples, 90, true);
    PixelImage image;
    ASSERT_EQ(DecodeBytes(file, &image), 0);
    EXPECT_NEAR(PixelAt(image, 17, 9).r, samples[9 * w + 17], 12);
    ReleasePixelImage(&image);

    // One spectral scan, with the Huffman table before it, repeated: a few
    // repeats still decode; hundreds of scans (each a pass over the whole
    // picture) are refused.
    std::vector<JpegSegment> segments = SplitJpeg(file);
    ASSERT_GE(segments.size(), 8u);
    auto isScan = [](const JpegSegment& s) { return s.marker == 0xDA; };
    auto first = std::find_if(segments.begin(), segments.end(), isScan);
    auto second = std::find_if(first + 1, segments.end(), isScan);
    ASSERT_NE(second, segments.end());
    ASSERT_EQ((second - 1)->marker, 0xC4);
    Bytes repeated((file.begin() + ptrdiff_t((second - 1)->begin)), file.begin() + ptrdiff_t(second->end));
    auto withRepeats = [&](int count) {
        Bytes out(file.begin(), file.end() - 2);
        for (int i = 0; i < count; ++i) out.insert(out.end(), repeated.begin(), repeated.end());
        out.insert(out.end(), {0xFF, 0xD9});
        return out;
    };
    ASSERT_EQ(DecodeBytes(withRepeats(20), &image), 0);
    ReleasePixelImage(&image);
    EXPECT_NE(DecodeBytes(withRepeats(300), &image), 0);
    EXPECT_EQ(image.pixels, nullptr);
    ReleasePixelImage(&image);

    // A frame header claiming 16384 x 16384: within the picture limit, but
    // libjpeg would need 512 MB of coefficients; refused before the 64 KB of
    // coded data are read.
    Bytes huge(file.begin(), file.begin() + ptrdiff_t(second->begin));
    auto frame = std::find_if(segments.begin(), segments.end(), [](const JpegSegment& s) { return s.marker == 0xC2; });
    ASSERT_NE(frame, segments.end());
    huge[frame->begin + 5] = huge[frame->begin + 7] = 0x40;
    huge[frame->begin + 6] = huge[frame->begin + 8] = 0x00;
    huge.insert(huge.end(), 65536, 0x00);
    huge.insert(huge.end(), {0xFF, 0xD9});
    ReadCounts counts;
    EXPECT_NE(DecodeBytesCounted(huge, DecodeJpegImage, &image, &counts), 0);
    EXPECT_EQ(image.pixels, nullptr);
    ReleasePixelImage(&image);
    EXPECT_LT(counts.bytes, size_t(16384));
}
