// Shared helpers of the software renderer tests.
#pragma once

#include "core/memory.h"
#include "softrender/draw_state.h"
#include "softrender/memimg.h"
#include "softrender/memimg_tables.h"
#include "softrender/soft_draw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

// A MEMIMG released at the end of the scope.
struct TestImage {
    MEMIMG img{};
    TestImage(int32_t w, int32_t h, int32_t type, uint32_t flags = 0, uint32_t trans = 0) {
        EXPECT_EQ(0, CreateMemImg(&img, w, h, type, flags, trans));
    }
    ~TestImage() { ReleaseMemImg(&img); }
    TestImage(const TestImage&) = delete;
    TestImage& operator=(const TestImage&) = delete;
    MEMIMG* operator&() { return &img; }
    MEMIMG* get() { return &img; }

    uint8_t* At(int32_t x, int32_t y) { return GetMemImgPixelAddress(&img, x, y); }
    uint32_t Get(int32_t x, int32_t y) {
        uint32_t v = 0;
        std::memcpy(&v, At(x, y), static_cast<size_t>(GetMemImgPixelByte(&img)));
        return v;
    }
    void Set(int32_t x, int32_t y, uint32_t v) {
        std::memcpy(At(x, y), &v, static_cast<size_t>(GetMemImgPixelByte(&img)));
    }
    void FillAll(uint32_t v) {
        for (int32_t y = 0; y < img.height; ++y)
            for (int32_t x = 0; x < img.width; ++x) Set(x, y, v);
    }
    // Pixels that differ from v.
    int CountNot(uint32_t v) {
        int n = 0;
        for (int32_t y = 0; y < img.height; ++y)
            for (int32_t x = 0; x < img.width; ++x) n += Get(x, y) != v;
        return n;
    }
};

inline uint32_t Rgb32(uint32_t r, uint32_t g, uint32_t b, uint32_t top = 0) {
    return (top << 24) | (r << 16) | (g << 8) | b;
}
inline uint32_t Rgb16(uint32_t r5, uint32_t g6, uint32_t b5) { return (r5 << 11) | (g6 << 5) | b5; }

// Resets the draw state for a destination of w x h and fills the tables.
inline void ResetSoftState(int32_t w, int32_t h) {
    InitMemImgTables();
    ResetDrawState();
    SetDrawStateArea(0, 0, w, h);
}

inline void SetBlend(int32_t mode, int32_t parameter) {
    g_drawState.blendMode = mode;
    g_drawState.blendParameter = parameter;
}

inline void SetBrightness(uint8_t r, uint8_t g, uint8_t b) {
    g_drawState.brightnessRed = r;
    g_drawState.brightnessGreen = g;
    g_drawState.brightnessBlue = b;
}

// Fixture that checks every test gives back the memory it took.
class SoftTest : public ::testing::Test {
protected:
    void SetUp() override {
        blocksBefore_ = AllocatedBlockCount();
        ResetSoftState(64, 64);
    }
    void TearDown() override { EXPECT_EQ(blocksBefore_, AllocatedBlockCount()); }

private:
    uint32_t blocksBefore_ = 0;
};
