// Stretched and mirrored blit: mirroring, sampling in both stepping rules,
// clipping, the hand-off to the unscaled blit, refusals and wide sizes.
#include "soft_test_util.h"

#include <algorithm>
#include <random>

namespace {

using StretchTest = SoftTest;

// Source pixel (x, y) holds 0x10000 + 0x100 x y + x, so a destination pixel
// tells which source pixel it shows.
void FillCoordinates(TestImage& img) {
    for (int y = 0; y < img.img.height; ++y)
        for (int x = 0; x < img.img.width; ++x) img.Set(x, y, 0x10000u + 0x100u * y + x);
}
int SampledColumn(uint32_t v) { return v == 0 ? -1 : static_cast<int>(v & 0xFF); }
int SampledRow(uint32_t v) { return v == 0 ? -1 : static_cast<int>((v >> 8) & 0xFF); }

std::vector<int> RowSamples(TestImage& dst, int y, int from, int to) {
    std::vector<int> out;
    for (int x = from; x < to; ++x) out.push_back(SampledColumn(dst.Get(x, y)));
    return out;
}

void UseGeneralStepping() { SetBlend(2, 255); }  // adding onto zeros copies, stepped by the general rule

TEST_F(StretchTest, ReversedCornersMirror) {
    TestImage src(10, 10, kMemImgX8R8G8B8), dst(20, 30, kMemImgX8R8G8B8);
    FillCoordinates(src);
    SetDrawStateArea(0, 0, 20, 30);
    const int32_t leftRight[4] = {10, 10, 0, 20}, upsideDown[4] = {0, 20, 10, 10}, halfTurn[4] = {10, 20, 0, 10};
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, leftRight, 0, nullptr));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(src.Get(9 - x, y), dst.Get(x, 10 + y)) << x << "," << y;
    EXPECT_EQ(100, dst.CountNot(0));
    dst.FillAll(0);
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, upsideDown, 0, nullptr));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(src.Get(x, 9 - y), dst.Get(x, 10 + y)) << x << "," << y;
    dst.FillAll(0);
    UseGeneralStepping();
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, halfTurn, 0, nullptr));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) ASSERT_EQ(src.Get(9 - x, 9 - y), dst.Get(x, 10 + y)) << x << "," << y;
}

TEST_F(StretchTest, OwnSizeUnmirroredGoesToTheUnscaledBlit) {
    TestImage src(3, 2, kMemImgX8R8G8B8, 0, 0xFF00FF), dst(8, 8, kMemImgX8R8G8B8), ref(8, 8, kMemImgX8R8G8B8);
    FillCoordinates(src);
    src.Set(1, 1, 0xFF00FF);
    const int32_t corners[4] = {2, 3, 5, 5};
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, corners, 1, nullptr));
    EXPECT_EQ(0, BlitMemImg(&ref, &src, 2, 3, 1, nullptr));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(ref.Get(x, y), dst.Get(x, y));
    EXPECT_EQ(5, dst.CountNot(0));
    // Mirrored at its own size it stays here and copies pixel for pixel.
    dst.FillAll(0);
    const int32_t mirrored[4] = {5, 3, 2, 5};
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, mirrored, 1, nullptr));
    EXPECT_EQ((std::vector<int>{2, 1, 0}), RowSamples(dst, 3, 2, 5));
    EXPECT_EQ(0u, dst.Get(3, 4));  // (1, 1) is transparent
}

TEST_F(StretchTest, SamplingOfShrinkingAndEnlarging) {
    TestImage src8(8, 1, kMemImgX8R8G8B8), dst(16, 1, kMemImgX8R8G8B8);
    FillCoordinates(src8);
    SetDrawStateArea(0, 0, 16, 1);
    const int32_t half[4] = {0, 0, 4, 1};
    UseGeneralStepping();
    BlitMemImgStretch(&dst, &src8, half, 0, nullptr);
    EXPECT_EQ((std::vector<int>{0, 2, 4, 6}), RowSamples(dst, 0, 0, 4));
    dst.FillAll(0);
    SetBlend(0, 0);  // the plain copy advances at exact ratios one sample later
    BlitMemImgStretch(&dst, &src8, half, 0, nullptr);
    EXPECT_EQ((std::vector<int>{0, 1, 3, 5}), RowSamples(dst, 0, 0, 4));
    // So does the full-strength subtract: blue 255 minus the sampled column
    // (red 255 keeps its low bit: the source's red 1 is subtracted as 0).
    dst.FillAll(0xFFFFFF);
    SetBlend(3, 255);
    BlitMemImgStretch(&dst, &src8, half, 0, nullptr);
    const uint32_t plainSamples[4] = {0, 1, 3, 5};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(0xFFFFFF - plainSamples[x], dst.Get(x, 0)) << x;

    // Clipped to start at the second column.
    SetDrawStateArea(1, 0, 16, 1);
    dst.FillAll(0);
    SetBlend(0, 0);
    BlitMemImgStretch(&dst, &src8, half, 0, nullptr);
    EXPECT_EQ((std::vector<int>{-1, 2, 3, 5}), RowSamples(dst, 0, 0, 4));
    dst.FillAll(0);
    UseGeneralStepping();
    BlitMemImgStretch(&dst, &src8, half, 0, nullptr);
    EXPECT_EQ((std::vector<int>{-1, 2, 4, 6}), RowSamples(dst, 0, 0, 4));
    SetDrawStateArea(0, 0, 16, 1);

    // 3 to 2 (scale 43690) samples 0 and 1; 7 to 3 (scale 28086) 0, 2, 4.
    TestImage src3(3, 1, kMemImgX8R8G8B8), src7(7, 1, kMemImgX8R8G8B8), src4(4, 1, kMemImgX8R8G8B8);
    FillCoordinates(src3);
    FillCoordinates(src7);
    FillCoordinates(src4);
    const int32_t two[4] = {0, 0, 2, 1}, three[4] = {0, 0, 3, 1}, eight[4] = {0, 0, 8, 1};
    dst.FillAll(0);
    BlitMemImgStretch(&dst, &src3, two, 0, nullptr);
    EXPECT_EQ((std::vector<int>{0, 1, -1}), RowSamples(dst, 0, 0, 3));
    dst.FillAll(0);
    BlitMemImgStretch(&dst, &src7, three, 0, nullptr);
    EXPECT_EQ((std::vector<int>{0, 2, 4, -1}), RowSamples(dst, 0, 0, 4));
    // Enlarging by 2 starts every source pixel at its near edge.
    dst.FillAll(0);
    BlitMemImgStretch(&dst, &src4, eight, 0, nullptr);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}), RowSamples(dst, 0, 0, 8));
}

TEST_F(StretchTest, WidthOneTakesTheNearColumn) {
    TestImage src(5, 1, kMemImgX8R8G8B8), dst(4, 1, kMemImgX8R8G8B8);
    FillCoordinates(src);
    const int32_t forward[4] = {1, 0, 2, 1}, mirrored[4] = {3, 0, 2, 1};
    BlitMemImgStretch(&dst, &src, forward, 0, nullptr);
    BlitMemImgStretch(&dst, &src, mirrored, 0, nullptr);
    EXPECT_EQ((std::vector<int>{-1, 0, 4, -1}), RowSamples(dst, 0, 0, 4));
}

// The sample of destination column J (from the unclipped edge) by the
// general rule, and by the plain-copy rule given the previous sample.
int GeneralSample(int64_t j, int64_t scale) { return static_cast<int>(j * 65536 / scale); }
int PlainSample(int64_t j, int64_t scale, int previous, bool first) {
    int x = GeneralSample(j, scale);
    if (!first && j * 65536 % scale == 0 && previous < x - 1) return x - 1;
    return x;
}

TEST_F(StretchTest, ClippingNeverMovesASampleInEitherRule) {
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        const int sw = 1 + static_cast<int>(random() % 12), sh = 1 + static_cast<int>(random() % 5);
        const int dw = 1 + static_cast<int>(random() % 30), dh = 1 + static_cast<int>(random() % 6);
        TestImage src(sw, sh, kMemImgX8R8G8B8), dst(40, 10, kMemImgX8R8G8B8);
        FillCoordinates(src);
        const int x0 = static_cast<int>(random() % 16) - 6, clipLeft = static_cast<int>(random() % 8);
        const bool mirror = random() % 2, plain = random() % 2;
        SetDrawStateArea(clipLeft, 0, 40, 10);
        if (plain) SetBlend(0, 0);
        else UseGeneralStepping();
        const int32_t corners[4] = {mirror ? x0 + dw : x0, 0, mirror ? x0 : x0 + dw, dh};
        if (dw == sw && dh == sh && !mirror) continue;
        ASSERT_EQ(0, BlitMemImgStretch(&dst, &src, corners, 0, nullptr));
        // Expected source column of each drawn destination column, and
        // source row of each destination row (no clipping in y).
        const int64_t scaleX = (static_cast<int64_t>(dw) << 16) / sw, scaleY = (static_cast<int64_t>(dh) << 16) / sh;
        std::vector<int> columns, rows;
        int previous = -1;
        for (int x = std::max(x0, clipLeft); x < x0 + dw; ++x) {
            const bool first = columns.empty();
            previous = plain ? PlainSample(x - x0, scaleX, previous, first) : GeneralSample(x - x0, scaleX);
            ASSERT_LT(previous, sw);
            columns.push_back(mirror ? sw - 1 - previous : previous);
        }
        previous = -1;
        for (int y = 0; y < dh; ++y) {
            previous = plain ? PlainSample(y, scaleY, previous, y == 0) : GeneralSample(y, scaleY);
            rows.push_back(previous);
        }
        for (int y = 0; y < dh; ++y) {
            for (size_t i = 0; i < columns.size(); ++i) {
                const int x = std::max(x0, clipLeft) + static_cast<int>(i);
                const uint32_t v = dst.Get(x, y);
                ASSERT_EQ(columns[i], SampledColumn(v))
                    << "round " << round << " sw " << sw << " dw " << dw << " x0 " << x0 << " clip " << clipLeft
                    << " mirror " << mirror << " plain " << plain << " x " << x;
                ASSERT_EQ(rows[static_cast<size_t>(y)], SampledRow(v)) << "round " << round << " y " << y;
            }
        }
        const int after = std::max(x0 + dw, 0);
        if (after < 40) {
            EXPECT_EQ(-1, SampledColumn(dst.Get(after, 0)));
        }
    }
}

TEST_F(StretchTest, BlendImageFollowsTheSourceWhenMirrored) {
    TestImage src(2, 1, kMemImgX8R8G8B8), dst(2, 1, kMemImgX8R8G8B8), blend(2, 1, kMemImgChannel8);
    src.FillAll(0xFF);
    blend.Set(0, 0, 0);
    blend.Set(1, 0, 128);
    BuildBlendImageRamp(128, 255);  // identity ramp
    const int32_t mirrored[4] = {2, 0, 0, 1};
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, mirrored, 0, &blend.img));
    EXPECT_EQ(127u, dst.Get(0, 0));  // source column 1, blend byte 128
    EXPECT_EQ(0u, dst.Get(1, 0));    // source column 0, blend byte 0
}

TEST_F(StretchTest, PaletteSourceWithTransparency) {
    TestImage src(2, 1, kMemImgR5G6B5, kMemImgPalette, 1), dst(4, 1, kMemImgR5G6B5);
    uint32_t entries[2] = {0x1234, 0xFFFF};
    SetMemImgPalette(&src, entries, 2);
    src.Set(0, 0, 0);
    src.Set(1, 0, 1);
    const int32_t corners[4] = {0, 0, 4, 1};
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, corners, 1, nullptr));
    EXPECT_EQ(0x1234u, dst.Get(0, 0));
    EXPECT_EQ(0x1234u, dst.Get(1, 0));
    EXPECT_EQ(0u, dst.Get(2, 0));
    EXPECT_EQ(0u, dst.Get(3, 0));
}

TEST_F(StretchTest, RefusalsAndDegenerateRectangles) {
    TestImage s32(4, 4, kMemImgX8R8G8B8), s16(4, 4, kMemImgR5G6B5), d32(8, 8, kMemImgX8R8G8B8);
    TestImage dPal(8, 8, kMemImgX8R8G8B8, kMemImgPalette), dAlpha16(8, 8, kMemImgR5G6B5, kMemImgAlpha);
    TestImage dAlpha32(8, 8, kMemImgX8R8G8B8, kMemImgAlpha);
    TestImage empty(0, 3, kMemImgX8R8G8B8), smallBlend(2, 2, kMemImgChannel8);
    s32.FillAll(0xFFFFFF);
    s16.FillAll(0xFFFF);
    const int32_t scaled[4] = {0, 0, 8, 8}, flat[4] = {3, 2, 3, 7}, outside[4] = {10, 0, 20, 8};
    const int32_t ownSize[4] = {2, 2, 6, 6}, ownSizeMirrored[4] = {6, 2, 2, 6};
    // Colour types that differ and a palette destination are refused. A
    // destination with alpha takes scaled and mirrored draws, stepping by its
    // own four bytes a pixel: a 16-bit one keeps its alpha byte, a 32-bit one
    // takes the whole copied pixel. At the source's own size, unmirrored, the
    // unscaled blit refuses it.
    const struct {
        const char* what;
        TestImage& dest;
        TestImage& source;
        const int32_t* corners;
        int result;
        uint32_t inside;  // every pixel of the rectangle after a draw
    } destinations[] = {
        {"16-bit source over 32-bit pixels", d32, s16, scaled, -1, 0},
        {"palette destination", dPal, s32, scaled, -1, 0},
        {"16-bit destination with alpha, scaled", dAlpha16, s16, scaled, 0, 0x00ABFFFF},
        {"16-bit destination with alpha, mirrored", dAlpha16, s16, ownSizeMirrored, 0, 0x00ABFFFF},
        {"16-bit destination with alpha at the source's size", dAlpha16, s16, ownSize, -1, 0},
        {"32-bit destination with alpha, scaled", dAlpha32, s32, scaled, 0, 0x00FFFFFF},
    };
    for (const auto& c : destinations) {
        c.dest.FillAll(0x00AB0000);
        const uint32_t before = c.dest.Get(0, 0);
        EXPECT_EQ(c.result, BlitMemImgStretch(&c.dest, &c.source, c.corners, 0, nullptr)) << c.what;
        const int32_t left = std::min(c.corners[0], c.corners[2]), right = std::max(c.corners[0], c.corners[2]);
        const int32_t top = std::min(c.corners[1], c.corners[3]), bottom = std::max(c.corners[1], c.corners[3]);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool drawn = c.result == 0 && x >= left && x < right && y >= top && y < bottom;
                ASSERT_EQ(drawn ? c.inside : before, c.dest.Get(x, y)) << c.what << " " << x << "," << y;
            }
    }
    d32.FillAll(0);
    EXPECT_EQ(-1, BlitMemImgStretch(&d32, &s32, scaled, 0, &smallBlend.img));
    EXPECT_EQ(-1, BlitMemImgStretch(&d32, &empty, scaled, 0, nullptr));  // no division by a zero width
    EXPECT_EQ(-1, BlitMemImgStretch(&d32, &s32, nullptr, 0, nullptr));
    EXPECT_EQ(0, BlitMemImgStretch(&d32, &s32, flat, 0, nullptr));
    EXPECT_EQ(0, BlitMemImgStretch(&d32, &s32, outside, 0, nullptr));
    SetBlend(3, 0);
    EXPECT_EQ(-1, BlitMemImgStretch(&d32, &s32, scaled, 0, nullptr));
    SetBlend(7, 100);
    EXPECT_EQ(-1, BlitMemImgStretch(&d32, &s32, scaled, 0, nullptr));
    EXPECT_EQ(0, d32.CountNot(0));
}

TEST_F(StretchTest, SizesBeyondSixteenBitsStepExactly) {
    // 120000 destination columns for 2 source columns: the scale and the clip
    // offset no longer fit 32-bit 16.16 values. Column 1 begins at J = 60000.
    TestImage src(2, 1, kMemImgX8R8G8B8), dst(8, 1, kMemImgX8R8G8B8);
    FillCoordinates(src);
    const int32_t before[4] = {-50000, 0, 70000, 1}, after[4] = {-70000, 0, 50000, 1};
    UseGeneralStepping();
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, before, 0, nullptr));
    EXPECT_EQ(std::vector<int>(8, 0), RowSamples(dst, 0, 0, 8));
    dst.FillAll(0);
    EXPECT_EQ(0, BlitMemImgStretch(&dst, &src, after, 0, nullptr));
    EXPECT_EQ(std::vector<int>(8, 1), RowSamples(dst, 0, 0, 8));
}

}  // namespace
