// The brightness volume is filled by several threads, each its own slices:
// every texel, in every thread's share, is the full-brightness colour of its
// cube position (white in the dark corner), opaque.
#include "d3d9/shader_state.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

struct Region {
    const char* what;
    int firstSlice;
    int lastSlice;  // exclusive
};

const Region kRegions[] = {
    {"the first slices (the dark corner)", 0, 8},
    {"the calling thread's share", 8, 32},
    {"the second share", 32, 64},
    {"the middle shares", 64, 96},
    {"the last share", 96, 128},
};

TEST(BrightnessVolumeFill, EveryTexelOfEveryShare) {
    std::vector<uint8_t> texels(128 * 128 * 128 * 4, 0x5A);
    FillBrightnessVolume(D3DLOCKED_BOX{128 * 4, 128 * 128 * 4, texels.data()});
    for (const Region& r : kRegions) {
        int wrong = 0;
        for (int z = r.firstSlice; z < r.lastSlice; ++z)
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x) {
                    uint8_t red = 0, green = 0, blue = 0;
                    MaximizeColorBrightness(2 * x, 2 * y, 2 * z, &red, &green, &blue);
                    if (x < 8 && y < 8 && z < 8) red = green = blue = 255;
                    const uint8_t* t = &texels[((static_cast<size_t>(z) * 128 + y) * 128 + x) * 4];
                    const std::array<uint8_t, 4> want{blue, green, red, 255}, got{t[0], t[1], t[2], t[3]};
                    if (got != want && ++wrong <= 3) ADD_FAILURE() << r.what << " at " << x << "," << y << "," << z;
                }
        EXPECT_EQ(wrong, 0) << r.what;
    }
}

}  // namespace
