// Images as textured tiles, clipped to the draw area; filled and outlined
// boxes; what they put into the batch and onto the screen.
#include "device_test_util.h"

#include <array>

namespace device_test {
namespace {

constexpr uint32_t kMagenta = 0xFFFF00FF;

class DeviceDrawTest : public DeviceTest {
protected:
    // A w x h image of distinct opaque pixels, magenta (transparent) at (0, 0).
    int32_t MakeImage(int w, int h, Picture* out = nullptr) {
        Picture p(w, h, 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) p.At(x, y) = 0xFF000000u | static_cast<uint32_t>((x * 16) << 16 | (y * 16) << 8 | 0x40);
        p.At(0, 0) = kMagenta;
        if (out != nullptr) *out = p;
        return graphics_test::LoadPicture("device-" + std::to_string(++images_) + ".png", p);
    }
    // The textured vertex i of the batch: x, y, u, v.
    std::array<float, 4> TexturedVertex(int i) const {
        const auto* f = reinterpret_cast<const float*>(Device().batch.rows[1] + i * 28);
        return {f[0], f[1], f[5], f[6]};
    }
    int images_ = 0;
};

TEST_F(DeviceDrawTest, AnImageInsideTheAreaLandsOnItsPixels) {
    Picture p;
    const int32_t image = MakeImage(8, 6, &p);
    ASSERT_GE(image, 0);
    ASSERT_GT(FindImage(image)->tileCount, 0);
    FlushVertexBatch();
    ASSERT_EQ(DrawImage(10, 20, image, 1), 0);
    ASSERT_EQ(Device().batch.count, 6);
    const std::array<float, 4> first = TexturedVertex(0), fourth = TexturedVertex(3);
    EXPECT_FLOAT_EQ(first[0], 9.5f);
    EXPECT_FLOAT_EQ(first[1], 19.5f);
    EXPECT_FLOAT_EQ(fourth[0], 17.5f);
    EXPECT_FLOAT_EQ(fourth[1], 25.5f);
    const Picture screen = ReadScreen();
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 8; ++x) {
            const uint32_t want = (x == 0 && y == 0) ? 0 : (p.At(x, y) & 0xFFFFFF);
            EXPECT_EQ(screen.At(10 + x, 20 + y), want) << x << "," << y;
        }
    }
    EXPECT_EQ(screen.At(18, 20), 0u) << "nothing right of the image";
}

TEST_F(DeviceDrawTest, ClippingMovesTheVerticesAndTheirCoordinates) {
    Picture p;
    const int32_t image = MakeImage(16, 8, &p);
    const ImageRecord* record = FindImage(image);
    const float tw = static_cast<float>(record->tiles[0].texture->width);
    ASSERT_EQ(SetDrawRegion(20, 10, 100, 100), 0);
    FlushVertexBatch();
    ASSERT_EQ(DrawImage(17, 10, image, 0), 0);
    const std::array<float, 4> left = TexturedVertex(0);
    EXPECT_FLOAT_EQ(left[0], 20.0f);
    EXPECT_NEAR(left[2], 3.5f / tw, 1e-6);
    const Picture screen = ReadScreen();
    EXPECT_EQ(screen.At(19, 12), 0u) << "left of the area stays";
    EXPECT_EQ(screen.At(20, 12), p.At(3, 2) & 0xFFFFFF) << "texel 3 at the area's edge";
    struct Case {
        const char* what;
        int x, y;
    } outside[] = {{"left", 4, 10}, {"right", 100, 10}, {"above", 30, -8}, {"below", 30, 100}};
    for (const Case& c : outside) {
        FlushVertexBatch();
        ASSERT_EQ(DrawImage(c.x, c.y, image, 0), 0) << c.what;
        EXPECT_EQ(Device().batch.count, 0) << c.what;
    }
}

TEST_F(DeviceDrawTest, MirroredRectanglesMatchTheSoftwarePath) {
    Picture p;
    const int32_t image = MakeImage(8, 4, &p);
    ASSERT_EQ(DrawImageRect(40, 40, 2, 1, 4, 2, image, 0, 1), 0);
    const Picture screen = ReadScreen();
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(screen.At(40 + x, 40 + y), p.At(5 - x, 1 + y) & 0xFFFFFF) << x << "," << y;
    EXPECT_EQ(screen.At(44, 40), 0u);
    EXPECT_EQ(screen.At(39, 40), 0u);
}

TEST_F(DeviceDrawTest, ABoxIsTheProductOfTheDrawColourAndItsColour) {
    SetBlendMode(kBlendAlpha, 100);
    SetDrawBrightness(255, 128, 0);
    ASSERT_EQ(Device().batch.drawColor, 0x64FF8000u);
    FlushVertexBatch();
    ASSERT_EQ(DrawFillBoxHardware(0, 0, 20, 10, MakeColor(128, 255, 255)), 0);
    uint32_t diffuse = 0;
    std::memcpy(&diffuse, Device().batch.rows[0] + 16, 4);
    EXPECT_EQ(diffuse, 0x64808000u);
    const auto* f = reinterpret_cast<const float*>(Device().batch.rows[0]);
    EXPECT_FLOAT_EQ(f[0], 0.0f);
    EXPECT_FLOAT_EQ(f[5 * 3], 20.0f);
    EXPECT_FLOAT_EQ(f[5 * 3 + 1], 10.0f);
}

TEST_F(DeviceDrawTest, FillsCoverTheirPixelsInEitherCornerOrder) {
    struct Case {
        const char* what;
        int x1, y1, x2, y2;
        int32_t refused;  // the draw-refusal switch: neither the clear nor the red fill reaches the device
    } cases[] = {{"in order", 4, 6, 12, 9, 0},
                 {"x reversed", 12, 6, 4, 9, 0},
                 {"both reversed", 12, 9, 4, 6, 0},
                 {"refused: the last box stays", 4, 6, 12, 9, 1}};
    for (const Case& c : cases) {
        Device().drawRefusal = c.refused;
        ClearDrawTarget(nullptr);
        const int32_t color = c.refused ? MakeColor(255, 0, 0) : MakeColor(0, 255, 0);
        ASSERT_EQ(FillRectangle(c.x1, c.y1, c.x2, c.y2, color), 0) << c.what;
        const Picture screen = ReadScreen();
        for (int y = 4; y < 11; ++y)
            for (int x = 2; x < 14; ++x) {
                const bool inside = x >= 4 && x < 12 && y >= 6 && y < 9;
                EXPECT_EQ(screen.At(x, y), inside ? 0x00FF00u : 0u) << c.what << " " << x << "," << y;
            }
    }
    Device().drawRefusal = 0;
    // A fill wholly outside the area leaves the batch alone.
    FlushVertexBatch();
    ASSERT_EQ(SetDrawRegion(0, 0, 10, 10), 0);
    EXPECT_EQ(DrawFillBoxHardware(20, 20, 30, 30, MakeColor(255, 0, 0)), 0);
    EXPECT_EQ(Device().batch.count, 0);
}

TEST_F(DeviceDrawTest, AnOutlineCoversEachPixelOnce) {
    // Additive drawing shows a pixel covered twice as twice as bright.
    SetBlendMode(kBlendAdd, 255);
    ASSERT_EQ(OutlineRectangle(10, 10, 20, 15, MakeColor(0, 0, 100)), 0);
    const Picture screen = ReadScreen();
    for (int y = 8; y < 17; ++y) {
        for (int x = 8; x < 22; ++x) {
            const bool border = x >= 10 && x < 20 && y >= 10 && y < 15 && (x == 10 || x == 19 || y == 10 || y == 14);
            EXPECT_EQ(screen.At(x, y), border ? 100u : 0u) << x << "," << y;
        }
    }
}

TEST_F(DeviceDrawTest, SubtractionWithoutTheBlendOperationMatchesSubtraction) {
    ASSERT_EQ(FillRectangle(0, 0, 16, 16, MakeColor(200, 100, 50)), 0);
    const int32_t saved = Device().blendOpCap;
    Device().blendOpCap = 0;
    SetBlendMode(kBlendSubtract, 255);
    ASSERT_EQ(FillRectangle(0, 0, 8, 8, MakeColor(50, 150, 20)), 0);
    SetBlendMode(kBlendNone, 255);
    Device().blendOpCap = saved;
    const Picture screen = ReadScreen();
    const uint32_t got = screen.At(2, 2);
    EXPECT_NEAR(static_cast<int>(got >> 16), 150, 1);
    EXPECT_NEAR(static_cast<int>((got >> 8) & 0xFF), 0, 1);
    EXPECT_NEAR(static_cast<int>(got & 0xFF), 30, 1);
    EXPECT_EQ(screen.At(12, 12), 0xC86432u) << "outside the subtracted box";
}

}  // namespace
}  // namespace device_test
