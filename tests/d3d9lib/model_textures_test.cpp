// Model texture pictures (sources, white pictures, normal maps, texture
// sizes, turning), the built-in texture files and the rebuild of texture
// images after a device reset.
#include "image/image_decode.h"
#include "model_test_util.h"

#include <cmath>
#include <functional>

namespace model_test {
namespace {

// A raw "BGRA" image file: pixel(x, y) gives 0xAARRGGBB.
std::vector<uint8_t> BgraFile(int32_t width, int32_t height, const std::function<uint32_t(int, int)>& pixel) {
    std::vector<uint8_t> bytes = {'B', 'G', 'R', 'A'};
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixel(x, y);
            for (int shift : {0, 8, 16, 24}) bytes.push_back(static_cast<uint8_t>(p >> shift));
        }
    return bytes;
}

std::vector<uint8_t> PlainFile(int32_t width, int32_t height, uint32_t color = 0xFF336699) {
    return BgraFile(width, height, [color](int, int) { return color; });
}

// Red, green, blue and alpha of a picture's pixel.
std::array<int, 4> PixelOf(const PixelImage& p, int x, int y) {
    std::array<int, 4> c{};
    GetPixelImagePixel(&p, x, y, &c[0], &c[1], &c[2], &c[3]);
    return c;
}

// The texture picture calls, with the device's size limit chosen by each
// test (no library needed).
class ModelPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Device().caps;
        SetLimit(4096, 4096);
    }
    void TearDown() override {
        ReleasePixelImage(&color_);
        ReleasePixelImage(&alpha_);
        Device().caps = saved_;
    }
    static void SetLimit(DWORD width, DWORD height) {
        Device().caps.MaxTextureWidth = width;
        Device().caps.MaxTextureHeight = height;
    }
    int32_t Load(const std::vector<uint8_t>* color, const std::vector<uint8_t>* alpha, int32_t normalMap = 0,
                 float bump = 1.0f, int32_t turn = 0) {
        ReleasePixelImage(&color_);
        ReleasePixelImage(&alpha_);
        return LoadModelTexturePictures(&color_, &alpha_, color ? color->data() : nullptr,
                                        color ? static_cast<int32_t>(color->size()) : 0,
                                        alpha ? alpha->data() : nullptr,
                                        alpha ? static_cast<int32_t>(alpha->size()) : 0, normalMap, bump, turn);
    }
    PixelImage color_{};
    PixelImage alpha_{};
    D3DCAPS9 saved_{};
};

TEST_F(ModelPictureTest, PicturesTakePowerOfTwoSizesWithinHalfTheDeviceLimit) {
    struct Case {
        const char* what;
        int32_t colorW, colorH;  // 0: no colour source
        int32_t alphaW, alphaH;  // 0: no alpha source
        DWORD maxW, maxH;
        int32_t wantColorW, wantColorH, wantAlphaW, wantAlphaH;
    } cases[] = {
        {"100 x 60, limit 256 x 128", 100, 60, 0, 0, 256, 128, 128, 64, 0, 0},
        {"100 x 60, limit 4096", 100, 60, 0, 0, 4096, 4096, 128, 64, 0, 0},
        {"100 x 60, limit 128 x 128", 100, 60, 0, 0, 128, 128, 64, 64, 0, 0},
        {"powers of two are kept, even above half the limit", 256, 32, 0, 0, 256, 256, 256, 32, 0, 0},
        {"1 x 3", 1, 3, 0, 0, 4096, 4096, 1, 4, 0, 0},
        {"colour and alpha each their own", 100, 60, 30, 30, 4096, 4096, 128, 64, 32, 32},
        {"alpha only: white of its size, not resized", 0, 0, 64, 32, 4096, 4096, 64, 32, 64, 32},
        {"alpha only, not a power of two: white of its texture size", 0, 0, 100, 60, 4096, 4096, 128, 64, 128, 64},
    };
    for (const Case& c : cases) {
        SetLimit(c.maxW, c.maxH);
        const std::vector<uint8_t> color = PlainFile(c.colorW, c.colorH);
        const std::vector<uint8_t> alpha = PlainFile(c.alphaW, c.alphaH, 0xFF808080);
        ASSERT_EQ(Load(c.colorW ? &color : nullptr, c.alphaW ? &alpha : nullptr), 0) << c.what;
        EXPECT_EQ(color_.width, c.wantColorW) << c.what;
        EXPECT_EQ(color_.height, c.wantColorH) << c.what;
        EXPECT_EQ(alpha_.width, c.wantAlphaW) << c.what;
        EXPECT_EQ(alpha_.height, c.wantAlphaH) << c.what;
        if (c.colorW) {
            EXPECT_EQ(PixelOf(color_, color_.width - 1, 0)[2], 0x99) << c.what << ": stretched pixels";
        }
    }
}

TEST_F(ModelPictureTest, WithoutAColourSourceTheColourIsOpaqueWhite) {
    const std::vector<uint8_t> alpha = PlainFile(16, 8, 0xFF404040);
    ASSERT_EQ(Load(nullptr, &alpha), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            const auto* p = static_cast<const uint8_t*>(color_.pixels) + y * color_.pitch + x * 4;
            EXPECT_EQ(p[0] & p[1] & p[2] & p[3], 0xFF) << x << ", " << y;
        }
    EXPECT_EQ(PixelOf(alpha_, 3, 3)[0], 0x40);
}

TEST_F(ModelPictureTest, AFlatHeightMapGivesTheUpNormal) {
    struct Case {
        const char* what;
        bool colorSource;
        float bump;
    } cases[] = {
        {"flat grey height map", true, 2.0f},
        {"height below the minimum", true, 0.0f},
        {"white picture of an alpha-only entry", false, 1.0f},
    };
    const std::vector<uint8_t> heights = PlainFile(8, 4, 0xFF5A5A5A);
    const std::vector<uint8_t> alpha = PlainFile(8, 4);
    for (const Case& c : cases) {
        ASSERT_EQ(Load(c.colorSource ? &heights : nullptr, &alpha, 1, c.bump), 0) << c.what;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) {
                const auto* p = static_cast<const uint8_t*>(color_.pixels) + y * color_.pitch + x * 4;
                EXPECT_EQ(p[2], 127) << c.what << " red at " << x << ", " << y;
                EXPECT_EQ(p[1], 127) << c.what << " green";
                EXPECT_EQ(p[0], 255) << c.what << " blue";
                EXPECT_EQ(p[3], 0) << c.what << " alpha";
            }
    }
}

// The normal of one pixel from its heights, as the normal-map step defines it.
std::array<int, 3> ExpectedNormal(int h, int right, int below, double height) {
    const double dx = (right - h) / 255.0, dy = (below - h) / 255.0;
    const double v[3] = {-dx * height, -dy * height, height * height};
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    std::array<int, 3> out{};
    for (int i = 0; i < 3; ++i) out[i] = static_cast<int>((v[i] / length + 1.0) * 127.5);
    return out;
}

TEST_F(ModelPictureTest, NormalMapNeighboursWrapAtTheEdges) {
    const int h[2][4] = {{10, 20, 200, 90}, {50, 60, 70, 240}};
    const std::vector<uint8_t> heights =
        BgraFile(4, 2, [&](int x, int y) { return 0xFF000000u | static_cast<uint32_t>(h[y][x]) << 16; });
    ASSERT_EQ(Load(&heights, nullptr, 1, 1.0f), 0);
    struct Case {
        const char* what;
        int x, y;
        int right, below;
    } cases[] = {
        {"inside", 1, 0, h[0][2], h[1][1]},
        {"right edge wraps to column 0", 3, 0, h[0][0], h[1][3]},
        {"bottom edge wraps to row 0", 1, 1, h[1][2], h[0][1]},
        {"corner wraps both ways", 3, 1, h[1][0], h[0][3]},
    };
    for (const Case& c : cases) {
        const std::array<int, 3> want = ExpectedNormal(h[c.y][c.x], c.right, c.below, 1.0);
        const std::array<int, 4> got = PixelOf(color_, c.x, c.y);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 1) << c.what << " channel " << i;
    }
    // The wrapped neighbour is far from the pixel itself: the normal leans.
    EXPECT_GT(PixelOf(color_, 3, 0)[0], 150);
}

TEST_F(ModelPictureTest, TheTurnFlagTurnsBothPictures) {
    const std::vector<uint8_t> color = BgraFile(2, 2, [](int x, int y) { return 0xFF000000u | (x + 2 * y) * 0x40u; });
    const std::vector<uint8_t> alpha = BgraFile(2, 2, [](int x, int y) { return 0xFF000000u | (x + 2 * y) * 0x10u; });
    ASSERT_EQ(Load(&color, &alpha, 0, 1.0f, 1), 0);
    struct Case {
        const char* what;
        int x, y;
        int blue, alphaBlue;
    } cases[] = {
        {"top left takes bottom right", 0, 0, 0xC0, 0x30},
        {"bottom right takes top left", 1, 1, 0x00, 0x00},
        {"top right takes bottom left", 1, 0, 0x80, 0x20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PixelOf(color_, c.x, c.y)[2], c.blue) << c.what;
        EXPECT_EQ(PixelOf(alpha_, c.x, c.y)[2], c.alphaBlue) << c.what;
    }
}

TEST_F(ModelPictureTest, BadSourcesFailWithNothingLeft) {
    const std::vector<uint8_t> good = PlainFile(4, 4);
    const std::vector<uint8_t> junk = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    const char* missing = "no-such-texture.png";
    struct Case {
        const char* what;
        const void* color;
        int32_t colorSize;
        const void* alpha;
        int32_t alphaSize;
    } cases[] = {
        {"no source at all", nullptr, 0, nullptr, 0},
        {"colour does not decode", junk.data(), 12, good.data(), static_cast<int32_t>(good.size())},
        {"alpha does not decode", good.data(), static_cast<int32_t>(good.size()), junk.data(), 12},
        {"colour file missing", missing, 0, nullptr, 0},
        {"negative size", good.data(), -4, nullptr, 0},
    };
    for (const Case& c : cases) {
        PixelImage color{}, alpha{};
        EXPECT_EQ(LoadModelTexturePictures(&color, &alpha, c.color, c.colorSize, c.alpha, c.alphaSize, 0, 1.0f, 0), -1)
            << c.what;
        EXPECT_EQ(color.pixels, nullptr) << c.what;
        EXPECT_EQ(alpha.pixels, nullptr) << c.what;
    }
    EXPECT_EQ(LoadModelTexturePictures(nullptr, &alpha_, good.data(), 1, nullptr, 0, 0, 1.0f, 0), -1);
}

TEST_F(ModelPictureTest, AFileNameSourceIsLoadedFromTheFile) {
    graphics_test::EnterWorkDirectory();
    graphics_test::WriteBytes("model-texture.bgra", PlainFile(6, 3, 0xFF102030));
    ASSERT_EQ(LoadModelTexturePictures(&color_, &alpha_, "model-texture.bgra", 0, nullptr, 0, 0, 1.0f, 0), 0);
    EXPECT_EQ(color_.width, 8);
    EXPECT_EQ(color_.height, 4);
    EXPECT_EQ(PixelOf(color_, 0, 0)[0], 0x10);
}

TEST(ModelBuiltInTextures, TheFilesDecodeToTheirPixels) {
    int32_t size = 0;
    const uint8_t* white = ModelWhiteTextureFile(&size);
    ASSERT_EQ(size, 84);
    PixelImage p{};
    ASSERT_EQ(LoadPixelImage(nullptr, white, static_cast<size_t>(size), &p), 0);
    EXPECT_EQ(p.width, 8);
    EXPECT_EQ(p.height, 8);
    EXPECT_EQ(p.format.alphaWidth, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(PixelOf(p, x, y), (std::array<int, 4>{255, 255, 255, 255})) << x << y;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(white) + 66), "TRUEVISION-XFILE.");
    ReleasePixelImage(&p);
    const uint8_t* ramp = ModelSteppedRampFile(&size);
    ASSERT_EQ(size, 172);
    ASSERT_EQ(LoadPixelImage(nullptr, ramp, static_cast<size_t>(size), &p), 0);
    EXPECT_EQ(p.width, 256);
    EXPECT_EQ(p.height, 8);
    const int levels[4] = {0x00, 0x55, 0xAA, 0xFF};
    for (int y = 0; y < 8; ++y)
        for (int x : {0, 63, 64, 127, 128, 191, 192, 255}) {
            const std::array<int, 4> c = PixelOf(p, x, y);
            EXPECT_EQ(c[0], levels[x / 64]) << x << ", " << y;
            EXPECT_EQ(c[1], levels[x / 64]) << x << ", " << y;
            EXPECT_EQ(c[2], levels[x / 64]) << x << ", " << y;
        }
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(ramp) + 154), "TRUEVISION-XFILE.");
    ReleasePixelImage(&p);
}

using ModelTextureTest = ModelTest;

uint32_t Rgb(int32_t image, int x, int y) { return graphics_test::ImagePixel(image, x, y) & 0xFFFFFF; }

TEST_F(ModelTextureTest, TheGreyRampGoesIntoTheImageWithTheFringeFixKept) {
    for (int32_t fix : {0, 1}) {
        const int32_t image = CreateBlankImage(256, 8);
        SetTransparentFringeFix(fix);
        EXPECT_EQ(BuildGreyRampTexture(image), image) << fix;
        EXPECT_EQ(g_drawState.transparentFringeFixOff, fix ? 0 : 1) << fix;
        for (int x : {0, 1, 100, 254, 255}) EXPECT_EQ(Rgb(image, x, 7), static_cast<uint32_t>(x * 0x010101)) << x;
        DeleteImage(image);
    }
    const int32_t small = CreateBlankImage(16, 16);
    FillImage(small, 1, 2, 3, 255);
    EXPECT_EQ(BuildGreyRampTexture(small), small) << "a refused copy is no failure";
    EXPECT_EQ(Rgb(small, 5, 5), 0x010203u);
    EXPECT_EQ(BuildGreyRampTexture(-1), -1);
    SetTransparentFringeFix(1);
}

// Sources that decode to one colour, and images to rebuild.
struct TextureWorld {
    std::vector<uint8_t> red = PlainFile(4, 4, 0xFFFF0000);
    std::vector<uint8_t> green = PlainFile(4, 4, 0xFF00FF00);
    std::vector<uint8_t> junk = std::vector<uint8_t>(16, 7);
    int32_t baseImage = CreateBlankImage(4, 4);
    int32_t brokenImage = CreateBlankImage(4, 4);
    int32_t overrideImage = CreateBlankImage(4, 4);
    int32_t unusedOverrideImage = CreateBlankImage(4, 4);
    int32_t model = -1;

    TextureWorld() {
        ReserveModelBaseSlot();
        ReserveModelSlot();
        const int32_t base = AddBase(BasePlan{{}, {}, {}, 2});
        ModelTextureEntry* t = FindModelBase(base)->textures;
        t[0].colorSource = red.data();
        t[0].colorSize = static_cast<int32_t>(red.size());
        t[0].image = baseImage;
        t[1].colorSource = junk.data();
        t[1].colorSize = static_cast<int32_t>(junk.size());
        t[1].image = brokenImage;
        model = AddModel(base);
        ModelTextureOverride* o = FindModel(model)->overrides;
        o[0] = ModelTextureOverride{1, green.data(), static_cast<int32_t>(green.size()), nullptr, 0, 0, 0.0f,
                                    overrideImage, {}};
        o[1] = ModelTextureOverride{0, green.data(), static_cast<int32_t>(green.size()), nullptr, 0, 0, 0.0f,
                                    unusedOverrideImage, {}};
        for (int32_t image : {baseImage, brokenImage, overrideImage, unusedOverrideImage})
            FillImage(image, 0, 0, 0, 255);
    }
    void Check(const char* what) const {
        EXPECT_EQ(Rgb(baseImage, 3, 3), 0xFF0000u) << what << ": the base's texture";
        EXPECT_EQ(Rgb(overrideImage, 0, 0), 0x00FF00u) << what << ": the model's override";
        EXPECT_EQ(Rgb(brokenImage, 0, 0), 0u) << what << ": a source that does not decode is skipped";
        EXPECT_EQ(Rgb(unusedOverrideImage, 0, 0), 0u) << what << ": an override not in use";
    }
};

TEST_F(ModelTextureTest, RestoreRebuildsEveryTextureImageAndTheBuiltInOnes) {
    const TextureWorld world;
    int32_t* builtIn = Models().builtInTextures;
    builtIn[0] = CreateBlankImage(8, 8);
    builtIn[1] = CreateBlankImage(256, 8);
    builtIn[2] = CreateBlankImage(256, 8);
    for (int i = 0; i < 3; ++i) FillImage(builtIn[i], 9, 9, 9, 255);
    SetTransparentFringeFix(1);
    EXPECT_EQ(RestoreModelTextures(), 0);
    EXPECT_EQ(g_drawState.transparentFringeFixOff, 0) << "the fringe fix is as it was";
    world.Check("RestoreModelTextures");
    EXPECT_EQ(Rgb(builtIn[0], 7, 7), 0xFFFFFFu) << "white";
    const uint32_t steps[4] = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
    for (int x : {0, 64, 130, 255}) EXPECT_EQ(Rgb(builtIn[1], x, 0), steps[x / 64]) << "stepped ramp " << x;
    for (int x : {0, 64, 130, 255}) EXPECT_EQ(Rgb(builtIn[2], x, 0), static_cast<uint32_t>(x * 0x010101)) << x;
}

TEST_F(ModelTextureTest, TheImageRestoreOfADeviceResetRebuildsModelTextures) {
    const TextureWorld world;
    ASSERT_EQ(ResetGraphicsDevice(0), 0);
    world.Check("device reset");
}

}  // namespace
}  // namespace model_test
