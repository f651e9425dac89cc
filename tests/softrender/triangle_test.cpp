// Triangle rasterizer: coverage of the walk, texture sampling and its bounds,
// one-colour spans, clipping and refusals.
#include "soft_test_util.h"

#include <string>

namespace {

using TriangleTest = SoftTest;

// Pixels set in each row, as (first, last) or (-1, -1) for none; fails when a
// row's set pixels are not one run.
std::vector<std::pair<int, int>> RowSpans(TestImage& img, uint32_t background) {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < img.img.height; ++y) {
        int first = -1, last = -1;
        for (int x = 0; x < img.img.width; ++x) {
            if (img.Get(x, y) == background) continue;
            if (first < 0) first = x;
            EXPECT_TRUE(last < 0 || last == x - 1) << "row " << y << " has a gap";
            last = x;
        }
        out.push_back({first, last});
    }
    return out;
}

int DrawColour(TestImage& img, TriangleVertex a, TriangleVertex b, TriangleVertex c, uint32_t colour) {
    TriangleVertex v[3] = {a, b, c};
    return DrawMemImgTriangle(&img, nullptr, v, 0, nullptr, colour);
}

TEST_F(TriangleTest, RowsFromTheTopVertexDownToAboveTheBottom) {
    TestImage img(10, 10, kMemImgX8R8G8B8);
    EXPECT_EQ(0, DrawColour(img, {0, 0, 0, 0}, {4, 0, 0, 0}, {0, 4, 0, 0}, 1));
    auto spans = RowSpans(img, 0);
    EXPECT_EQ(std::make_pair(0, 4), spans[0]);
    EXPECT_EQ(std::make_pair(0, 3), spans[1]);
    EXPECT_EQ(std::make_pair(0, 2), spans[2]);
    EXPECT_EQ(std::make_pair(0, 1), spans[3]);
    EXPECT_EQ(std::make_pair(-1, -1), spans[4]);
    EXPECT_EQ(14, img.CountNot(0));

    // The same triangle with its vertices in another order covers the same pixels.
    TestImage again(10, 10, kMemImgX8R8G8B8);
    EXPECT_EQ(0, DrawColour(again, {0, 4, 0, 0}, {0, 0, 0, 0}, {4, 0, 0, 0}, 1));
    EXPECT_EQ(spans, RowSpans(again, 0));
}

TEST_F(TriangleTest, GeneralTrianglesWithTheMiddleVertexOnEitherSide) {
    // Middle vertex on the left: (5,0), (0,4), (8,8). Every row 0..7 drawn
    // once as one run, nothing on row 8, the right edge never left of the left.
    TestImage img(12, 12, kMemImgX8R8G8B8);
    SetBlend(2, 255);
    EXPECT_EQ(0, DrawColour(img, {5, 0, 0, 0}, {0, 4, 0, 0}, {8, 8, 0, 0}, 1));
    auto spans = RowSpans(img, 0);
    for (int y = 0; y < 8; ++y) EXPECT_GE(spans[y].first, 0) << y;
    EXPECT_EQ(std::make_pair(-1, -1), spans[8]);
    EXPECT_EQ(std::make_pair(5, 5), spans[0]);  // the top vertex's pixel
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x) ASSERT_LE(img.Get(x, y), 1u) << x << "," << y;  // no pixel twice

    // Mirrored left to right: the middle vertex on the right.
    TestImage mirror(12, 12, kMemImgX8R8G8B8);
    EXPECT_EQ(0, DrawColour(mirror, {5, 0, 0, 0}, {10, 4, 0, 0}, {2, 8, 0, 0}, 1));
    auto mspans = RowSpans(mirror, 0);
    for (int y = 0; y < 8; ++y) EXPECT_GE(mspans[y].first, 0) << y;
    EXPECT_EQ(std::make_pair(-1, -1), mspans[8]);
}

// The image's runs of equal non-zero pixels, row by row, as "y:first-last"
// with "*n" for a pixel value n above 1 (drawn n times when adding 1).
std::string Runs(TestImage& img) {
    std::string out;
    for (int y = 0; y < img.img.height; ++y) {
        for (int x = 0; x < img.img.width;) {
            const uint32_t p = img.Get(x, y);
            const int first = x;
            while (x < img.img.width && img.Get(x, y) == p) ++x;
            if (p == 0) continue;
            out += std::to_string(y) + ":" + std::to_string(first) + "-" + std::to_string(x - 1);
            out += (p > 1 ? "*" + std::to_string(p) : std::string()) + " ";
        }
    }
    return out;
}

TEST_F(TriangleTest, EdgeWalksOfGeneralTriangles) {
    // Drawn adding 1, so that a row walked twice shows.
    struct Case {
        const char* what;
        TriangleVertex a, b, c;
        const char* runs;
    } cases[] = {
        {"middle vertex on the right: the lower right edge starts at it", {10, 11, 0, 0}, {15, 15, 0, 0},
         {0, 8, 0, 0}, "8:0-0 9:2-3 10:4-7 11:6-10 12:9-11 13:11-12 14:13-14 "},
        {"a short lower right edge", {15, 4, 0, 0}, {18, 8, 0, 0}, {12, 10, 0, 0},
         "4:15-15 5:15-16 6:14-17 7:14-17 8:13-18 9:13-15 "},
        {"middle vertex on the left at row 0, top above the image: the walk goes back to the middle row",
         {12, 4, 0, 0}, {11, 0, 0, 0}, {12, -2, 0, 0}, "0:11-11 0:12-12*2 1:11-12 2:12-12 3:12-12 "},
        {"middle vertex on the left above the image: its row is its y truncated toward zero", {13, -1, 0, 0},
         {18, -5, 0, 0}, {13, 8, 0, 0},
         "0:13-16 1:13-16 2:13-16 3:13-15 4:13-15 5:13-15 6:13-14 7:13-14 8:13-13 "},
    };
    SetDrawStateArea(0, 0, 24, 24);
    SetBlend(2, 255);
    for (const Case& c : cases) {
        TestImage img(24, 24, kMemImgX8R8G8B8);
        img.FillAll(0);
        EXPECT_EQ(0, DrawColour(img, c.a, c.b, c.c, 1)) << c.what;
        EXPECT_EQ(c.runs, Runs(img)) << c.what;
    }
}

TEST_F(TriangleTest, ImageOnFourCornersShowsEachSourcePixelOnce) {
    const int w = 6, h = 4;
    TestImage src(w, h, kMemImgX8R8G8B8), dst(10, 10, kMemImgX8R8G8B8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) src.Set(x, y, 0x10000u + 0x100u * y + x);
    TriangleVertex first[3] = {{0, 0, 0, 0}, {w, 0, w, 0}, {0, h, 0, h}};
    TriangleVertex second[3] = {{w, 0, w, 0}, {0, h, 0, h}, {w, h, w, h}};
    EXPECT_EQ(0, DrawMemImgTriangle(&dst, &src, first, 0, nullptr, 0));
    EXPECT_EQ(0, DrawMemImgTriangle(&dst, &src, second, 0, nullptr, 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ASSERT_EQ(src.Get(x, y), dst.Get(x, y)) << x << "," << y;
    EXPECT_EQ(w * h, dst.CountNot(0));  // column w is outside the source, row h is not drawn

    // Adding shows the shared diagonal drawn by both triangles: the first
    // triangle's rows end at 6 (skipped), 5, 3, 2 (edge x 6.5 - 1.5 y), the
    // second's begin there.
    TestImage ones(w, h, kMemImgX8R8G8B8), sum(10, 10, kMemImgX8R8G8B8);
    ones.FillAll(1);
    SetBlend(2, 255);
    DrawMemImgTriangle(&sum, &ones, first, 0, nullptr, 0);
    DrawMemImgTriangle(&sum, &ones, second, 0, nullptr, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool shared = (x == 5 && y == 1) || (x == 3 && y == 2) || (x == 2 && y == 3);
            ASSERT_EQ(shared ? 2u : 1u, sum.Get(x, y)) << x << "," << y;
        }
    }
}

TEST_F(TriangleTest, TextureCoordinatesOutsideTheSourceLeavePixelsAlone) {
    // u runs from -4 at x = 0 by one texel per pixel: columns 0-3 are left of
    // the source, 4-7 show source columns 0-3, column 8 lands on u = W.
    TestImage src(4, 8, kMemImgX8R8G8B8), dst(12, 12, kMemImgX8R8G8B8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) src.Set(x, y, 0x10000u + 0x100u * y + x);
    dst.FillAll(0xEE);
    TriangleVertex v[3] = {{0, 0, -4, 0}, {8, 0, 4, 0}, {0, 8, -4, 8}};
    EXPECT_EQ(0, DrawMemImgTriangle(&dst, &src, v, 0, nullptr, 0));
    EXPECT_EQ(0xEEu, dst.Get(3, 0));
    EXPECT_EQ(src.Get(0, 0), dst.Get(4, 0));
    EXPECT_EQ(src.Get(3, 0), dst.Get(7, 0));
    EXPECT_EQ(0xEEu, dst.Get(8, 0));
    EXPECT_EQ(src.Get(1, 2), dst.Get(5, 2));
    EXPECT_EQ(0xEEu, dst.Get(0, 5));
}

TEST_F(TriangleTest, BlendImageIsReadAtTheTexel) {
    TestImage src(2, 1, kMemImgX8R8G8B8), dst(6, 2, kMemImgX8R8G8B8), blend(2, 1, kMemImgChannel8);
    src.FillAll(0xFF);
    blend.Set(0, 0, 0);
    blend.Set(1, 0, 128);
    BuildBlendImageRamp(128, 255);  // identity ramp
    // Drawn at x = 3: destination column 4 shows texel 1.
    TriangleVertex v[3] = {{3, 0, 0, 0}, {5, 0, 2, 0}, {3, 2, 0, 2}};
    EXPECT_EQ(0, DrawMemImgTriangle(&dst, &src, v, 0, &blend.img, 0));
    EXPECT_EQ(0u, dst.Get(3, 0));
    EXPECT_EQ(127u, dst.Get(4, 0));
}

TEST_F(TriangleTest, NegativeTopVertexStartsARowLow) {
    // y = -1 converts to row 0: the top edge's full span lands on row 0.
    TestImage a(12, 12, kMemImgX8R8G8B8);
    DrawColour(a, {0, -1, 0, 0}, {8, -1, 0, 0}, {0, 7, 0, 0}, 1);
    auto spans = RowSpans(a, 0);
    EXPECT_EQ(std::make_pair(0, 8), spans[0]);
    EXPECT_EQ(std::make_pair(0, 1), spans[7]);
    EXPECT_EQ(std::make_pair(-1, -1), spans[8]);
    // y = -3 converts to row -2: row 0 is the walk's third row.
    TestImage b(12, 12, kMemImgX8R8G8B8);
    DrawColour(b, {0, -3, 0, 0}, {8, -3, 0, 0}, {0, 5, 0, 0}, 1);
    spans = RowSpans(b, 0);
    EXPECT_EQ(std::make_pair(0, 6), spans[0]);
    EXPECT_EQ(std::make_pair(0, 1), spans[5]);
    EXPECT_EQ(std::make_pair(-1, -1), spans[6]);
}

TEST_F(TriangleTest, ClippedAndDegenerateTriangles) {
    TestImage img(10, 10, kMemImgR5G6B5);
    SetDrawStateArea(2, 2, 8, 8);
    EXPECT_EQ(0, DrawColour(img, {-20, -20, 0, 0}, {60, -20, 0, 0}, {-20, 60, 0, 0}, 0xFFFF));
    auto spans = RowSpans(img, 0);
    for (int y = 0; y < 10; ++y) {
        if (y < 2 || y >= 8) {
            EXPECT_EQ(std::make_pair(-1, -1), spans[y]) << y;
        } else {
            EXPECT_EQ(std::make_pair(2, 7), spans[y]) << y;
        }
    }
    img.FillAll(0);
    DrawColour(img, {-9, 0, 0, 0}, {-3, 0, 0, 0}, {-9, 9, 0, 0}, 0xFFFF);  // left of the area
    DrawColour(img, {8, 0, 0, 0}, {9, 0, 0, 0}, {9, 9, 0, 0}, 0xFFFF);     // right of it
    DrawColour(img, {0, -9, 0, 0}, {9, -9, 0, 0}, {0, 1, 0, 0}, 0xFFFF);   // above
    DrawColour(img, {0, 8, 0, 0}, {9, 8, 0, 0}, {0, 20, 0, 0}, 0xFFFF);    // below
    DrawColour(img, {1, 1, 0, 0}, {5, 5, 0, 0}, {9, 9, 0, 0}, 0xFFFF);     // collinear
    DrawColour(img, {3, 3, 0, 0}, {3, 3, 0, 0}, {7, 5, 0, 0}, 0xFFFF);     // two equal vertices
    EXPECT_EQ(0, img.CountNot(0));
}

TEST_F(TriangleTest, OneColourSpansUseTheScaleTableBrightness) {
    TestImage img(4, 4, kMemImgX8R8G8B8);
    SetBrightness(255, 255, 0);
    TriangleVertex v[3] = {{0, 0, 0, 0}, {3, 0, 0, 0}, {0, 3, 0, 0}};
    TestImage blend(4, 4, kMemImgChannel8);  // ignored, as is the transparency flag
    EXPECT_EQ(0, DrawMemImgTriangle(&img, nullptr, v, 1, &blend.img, 0xAA112233));
    EXPECT_EQ(0xAA112200u, img.Get(0, 0));
    // S[128][255] = 128, where the fill's shift would give 127.
    SetBrightness(128, 128, 128);
    EXPECT_EQ(0, DrawMemImgTriangle(&img, nullptr, v, 0, nullptr, 0x00FFFFFF));
    EXPECT_EQ(0x00808080u, img.Get(0, 0));
    // Modes 1, 2, 3 with parameter 0 draw nothing.
    for (int32_t mode : {1, 2, 3}) {
        SetBlend(mode, 0);
        DrawMemImgTriangle(&img, nullptr, v, 0, nullptr, 0);
        EXPECT_EQ(0x00808080u, img.Get(0, 0)) << mode;
    }
    // 16-bit with mode 1: T(128) per field, the colour's high half ignored.
    TestImage img16(4, 4, kMemImgR5G6B5);
    img16.FillAll(Rgb16(0, 0, 31));
    SetBrightness(255, 255, 255);
    SetBlend(1, 128);
    EXPECT_EQ(0, DrawMemImgTriangle(&img16, nullptr, v, 0, nullptr, 0xFFFF0000 | Rgb16(31, 63, 0)));
    EXPECT_EQ(Rgb16(15, 31, 16), img16.Get(1, 1));
}

TEST_F(TriangleTest, Refusals) {
    TestImage s16(4, 4, kMemImgR5G6B5), d32(8, 8, kMemImgX8R8G8B8), s32(4, 4, kMemImgX8R8G8B8);
    TestImage dPal(8, 8, kMemImgX8R8G8B8, kMemImgPalette), dAlpha(8, 8, kMemImgX8R8G8B8, kMemImgAlpha);
    TestImage smallBlend(2, 2, kMemImgChannel8);
    s16.FillAll(0xFFFF);
    s32.FillAll(0xFFFFFF);
    TriangleVertex v[3] = {{0, 0, 0, 0}, {8, 0, 4, 0}, {0, 8, 0, 4}};
    EXPECT_EQ(-1, DrawMemImgTriangle(&d32, &s16, v, 0, nullptr, 0));
    EXPECT_EQ(-1, DrawMemImgTriangle(&dPal, &s32, v, 0, nullptr, 0));
    EXPECT_EQ(-1, DrawMemImgTriangle(&dPal, nullptr, v, 0, nullptr, 0xFFFFFFFF));
    EXPECT_EQ(-1, DrawMemImgTriangle(&dAlpha, nullptr, v, 0, nullptr, 0xFFFFFFFF));
    EXPECT_EQ(-1, DrawMemImgTriangle(&d32, &s32, v, 0, &smallBlend.img, 0));
    EXPECT_EQ(-1, DrawMemImgTriangle(&d32, &s32, nullptr, 0, nullptr, 0));
    // Coordinates and differences lie in -8192 .. 8191, so that their 14.18
    // values do not overflow.
    const struct {
        const char* what;
        TriangleVertex v[3];
        int result;
    } ranges[] = {
        {"a difference of 10000", {{-5000, 0, 0, 0}, {5000, 0, 4, 0}, {0, 8, 0, 4}}, -1},
        {"x of 8192", {{0, 0, 0, 0}, {8192, 0, 4, 0}, {0, 8, 0, 4}}, -1},
        {"u of 9000", {{0, 0, 0, 0}, {8, 0, 9000, 0}, {0, 8, 0, 4}}, -1},
        {"x, y and u of -8192", {{-8192, -8192, -8192, 0}, {-1, -8192, 4, 0}, {-8192, -1, 0, 4}}, 0},
        {"x of -8193", {{-8193, 0, 0, 0}, {-1, 0, 4, 0}, {-8193, 8, 0, 4}}, -1},
    };
    for (const auto& c : ranges) EXPECT_EQ(c.result, DrawMemImgTriangle(&d32, &s32, c.v, 0, nullptr, 1)) << c.what;
    SetBlend(6, 255);
    EXPECT_EQ(-1, DrawMemImgTriangle(&d32, &s32, v, 0, nullptr, 0));
    EXPECT_EQ(0, d32.CountNot(0));
    EXPECT_EQ(0, dPal.CountNot(0));
    EXPECT_EQ(0, dAlpha.CountNot(0));
}

}  // namespace
