// The Y'CbCr to RGB conversion of the Theora decoder's frame image: the
// fixed-point table path of 4:2:0 planes and the floating-point path of other
// layouts, against their formulas.
#include "movie_test_util.h"

using namespace movietest;

namespace {

TEST(YuvTables, TheTablePathGivesItsFixedPointValues) {
    InitYuvTables();
    // Four 2x2 blocks: black, white, and two coloured ones.
    const uint8_t y[4 * 2] = {16, 16, 235, 235, 81, 81, 145, 145};
    const uint8_t yRow2[4 * 2] = {16, 16, 235, 235, 81, 81, 145, 145};
    uint8_t luma[16];
    std::memcpy(luma, y, 8);
    std::memcpy(luma + 8, yRow2, 8);
    const uint8_t u[4] = {128, 128, 90, 54};
    const uint8_t v[4] = {128, 128, 240, 34};
    PixelImage image{};
    ASSERT_EQ(CreateXRGB8PixelImage(8, 2, &image), 0);
    ConvertYuvToImage(YuvPlanes{luma, u, v, 8, 2, 8, 4, 1, 4}, &image);
    const Picture p = CopyPicture(&image);
    ReleasePixelImage(&image);
    EXPECT_EQ(p.At(0, 0), 0xFF000000u) << "Y 16, Cb 128, Cr 128";
    EXPECT_EQ(p.At(1, 1), 0xFF000000u);
    EXPECT_EQ(p.At(2, 0), 0xFFFEFEFEu) << "Y 235 gives 4,176,330 / 16384 = 254";
    EXPECT_EQ(p.At(3, 1), 0xFFFEFEFEu);
    // Y 81, Cb 90, Cr 240 (studio red): red = (19070 x 65 + 26148 x 112) / 16384
    // = 254, green = (1239550 - 6406 x -38 - 13320 x 112) / 16384 = 0,
    // blue = (1239550 + 33062 x -38) / 16384 = -0.9 -> 0.
    EXPECT_EQ(p.At(4, 0), 0xFFFE0000u);
    EXPECT_EQ(p.At(5, 1), 0xFFFE0000u);
    // Y 145, Cb 54, Cr 34 (studio green): red = (2460030 - 2457912) / 16384 = 0,
    // green = (2460030 + 474044 + 1252080) / 16384 = 255, blue = (2460030 -
    // 2446588) / 16384 = 0.
    EXPECT_EQ(p.At(6, 0), 0xFF00FF00u);
    EXPECT_EQ(p.At(7, 1), 0xFF00FF00u);
}

TEST(YuvTables, EveryChromaValueAgainstTheFormulas) {
    // Every Cb and Cr value, with luma values across the whole range (below
    // black and above white too), through both paths: 4:2:0 through the
    // fixed-point tables, 4:4:4 through the floating-point formula.
    InitYuvTables();
    constexpr int kBlocks = 256, kRows = 8;  // blocks across, block rows
    auto lumaAt = [](int x, int y) { return static_cast<uint8_t>((x * 7 + y * 61 + (x / 2) * 13) & 255); };
    auto cbAt = [](int bx, int by) { return static_cast<uint8_t>((bx + by * 29) & 255); };
    auto crAt = [](int bx, int by) { return static_cast<uint8_t>((bx * 37 + by * 101) & 255); };
    auto fixed = [](int y, int cb, int cr) {
        auto c = [](int v) { return static_cast<uint32_t>(std::clamp(v / 16384, 0, 255)); };
        const int luma = 19070 * (y - 16);
        return 0xFF000000u | c(luma + 26148 * (cr - 128)) << 16 |
               c(luma - 6406 * (cb - 128) - 13320 * (cr - 128)) << 8 | c(luma + 33062 * (cb - 128));
    };
    auto floating = [](int y, int cb, int cr) {
        auto c = [](double v) { return static_cast<uint32_t>(std::clamp(static_cast<int>(v), 0, 255)); };
        const double luma = 1.164 * (y - 16);
        return 0xFF000000u | c(luma + 1.596 * (cr - 128)) << 16 |
               c(luma - 0.391 * (cb - 128) - 0.813 * (cr - 128)) << 8 | c(luma + 2.018 * (cb - 128));
    };
    const int width = 2 * kBlocks, height = 2 * kRows;
    std::vector<uint8_t> luma(width * height), u420(kBlocks * kRows), v420(kBlocks * kRows);
    std::vector<uint8_t> u444(width * height), v444(width * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            luma[y * width + x] = lumaAt(x, y);
            u444[y * width + x] = cbAt(x / 2, y / 2);
            v444[y * width + x] = crAt(x / 2, y / 2);
            u420[(y / 2) * kBlocks + x / 2] = cbAt(x / 2, y / 2);
            v420[(y / 2) * kBlocks + x / 2] = crAt(x / 2, y / 2);
        }
    }
    struct Case {
        const char* what;
        YuvPlanes planes;
        uint32_t (*model)(int, int, int);
    } cases[] = {
        {"4:2:0, tables", YuvPlanes{luma.data(), u420.data(), v420.data(), width, height, width, kBlocks, kRows, kBlocks},
         +fixed},
        {"4:4:4, formula", YuvPlanes{luma.data(), u444.data(), v444.data(), width, height, width, width, height, width},
         +floating},
    };
    for (const Case& c : cases) {
        PixelImage image{};
        ASSERT_EQ(CreateXRGB8PixelImage(width, height, &image), 0);
        ConvertYuvToImage(c.planes, &image);
        const Picture p = CopyPicture(&image);
        ReleasePixelImage(&image);
        int wrong = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t want = c.model(lumaAt(x, y), cbAt(x / 2, y / 2), crAt(x / 2, y / 2));
                if (p.At(x, y) != want && ++wrong <= 3)
                    ADD_FAILURE() << c.what << ": (" << x << ", " << y << ") is " << std::hex << p.At(x, y)
                                  << ", not " << want;
            }
        }
        EXPECT_EQ(wrong, 0) << c.what;
    }
}

TEST(YuvTables, OtherLayoutsConvertEachPixelWithItsOwnChroma) {
    InitYuvTables();
    // 4:4:4, 2x2: each pixel its own chroma.
    const uint8_t y[4] = {81, 145, 41, 235};
    const uint8_t u[4] = {90, 54, 240, 128};
    const uint8_t v[4] = {240, 34, 110, 128};
    PixelImage image{};
    ASSERT_EQ(CreateXRGB8PixelImage(2, 2, &image), 0);
    ConvertYuvToImage(YuvPlanes{y, u, v, 2, 2, 2, 2, 2, 2}, &image);
    const Picture p = CopyPicture(&image);
    ReleasePixelImage(&image);
    // The floating-point formula, each channel truncated and clamped.
    auto expect = [](int Y, int U, int V) {
        const double yy = 1.164 * (Y - 16);
        auto c = [](double x) { return static_cast<uint32_t>(std::clamp(static_cast<int>(x), 0, 255)); };
        return 0xFF000000u | c(yy + 1.596 * (V - 128)) << 16 | c(yy - 0.391 * (U - 128) - 0.813 * (V - 128)) << 8 |
               c(yy + 2.018 * (U - 128));
    };
    EXPECT_EQ(p.At(0, 0), expect(81, 90, 240));
    EXPECT_EQ(p.At(1, 0), expect(145, 54, 34));
    EXPECT_EQ(p.At(0, 1), expect(41, 240, 110));
    EXPECT_EQ(p.At(1, 1), expect(235, 128, 128));
    EXPECT_EQ(p.At(1, 1), 0xFFFEFEFEu);
    EXPECT_EQ(Blue(p.At(0, 1)), 255) << "blue beyond 255 is clamped";
}

}  // namespace
