// Stretched, mirrored and four-corner images on the device: the pictures
// against the software path's, and what reaches the batch and the device.
#include "device_test_util.h"

#include <array>
#include <cstdlib>
#include <functional>

namespace device_test {
namespace {

using DrawCall = std::function<void(int32_t image)>;

class ImageQuadTest : public DeviceTest {
protected:
    // A 16 x 8 image of distinct opaque pixels, magenta (transparent) at (0, 0).
    static int32_t LoadTestImage() {
        Picture p(16, 8, 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) p.At(x, y) = 0xFF000000u | static_cast<uint32_t>((x * 16) << 16 | (y * 32) << 8 | 0x40);
        p.At(0, 0) = 0xFFFF00FF;
        return graphics_test::LoadPicture("quad-image.png", p);
    }
    // The picture the draw leaves, on the device or in software.
    Picture Draw(bool device, const DrawCall& draw) {
        Start(ScreenMode{}, [&] { EXPECT_EQ(SetHardwareAllowed(device ? 1 : 0), 0); });
        EXPECT_EQ(Screen().d3dActive, device ? 1 : 0);
        const int32_t image = LoadTestImage();
        EXPECT_GE(image, 0);
        ClearDrawTarget(nullptr);
        draw(image);
        if (device) return ReadScreen();
        Picture p(g_drawState.drawTargetWidth, g_drawState.drawTargetHeight, 0);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) p.At(x, y) = graphics_test::ScreenPixel(x, y);
        return p;
    }
    // The textured vertex i of the batch: x, y, u, v.
    static std::array<float, 4> Vertex(int i) {
        const auto* f = reinterpret_cast<const float*>(Device().batch.rows[1] + i * 28);
        return {f[0], f[1], f[5], f[6]};
    }
};

// Pixels of a that appear in b neither at their place nor up to reach pixels
// away; with coverage only, drawn (non-black) against drawn.
int Strays(const Picture& a, const Picture& b, bool coverageOnly, int reach) {
    int strays = 0;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            bool found = false;
            for (int dy = -reach; dy <= reach && !found; ++dy)
                for (int dx = -reach; dx <= reach && !found; ++dx) {
                    const int px = x + dx, py = y + dy;
                    if (px < 0 || py < 0 || px >= b.width || py >= b.height) continue;
                    found = coverageOnly ? (a.At(x, y) != 0) == (b.At(px, py) != 0) : a.At(x, y) == b.At(px, py);
                }
            if (!found) ++strays;
        }
    }
    return strays;
}

int Drawn(const Picture& p) {
    int n = 0;
    for (uint32_t v : p.pixels) n += v != 0 ? 1 : 0;
    return n;
}

// The four-corner draw of the corners top-left, top-right, bottom-right,
// bottom-left.
DrawCall Quad(std::array<float, 8> k, int32_t transparent = 1) {
    return [=](int32_t i) { DrawImageQuad(k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7], i, transparent); };
}

// The tolerance: every pixel of either picture is found in the other at its
// place with its colour (reach 0), or for the rows that say so up to one
// pixel away. Distorted quads are subdivided on the device and split in two
// triangles in software, and a shrunk image may take either of two
// neighbouring texels for a pixel, so only their outlines are compared.
// The device takes four corners as they stand and software cuts them toward
// zero: corners less half a pixel (texel centres on pixel centres) land one
// pixel higher in software, and unless mirrored also one pixel to the left,
// so those rows keep a reach of one. Whole corners cover the same pixels on
// both, the device sampling on texel edges: their outline is compared, drawn
// without the transparent colour.
TEST_F(ImageQuadTest, DrawsMatchTheSoftwarePathExactlyOrWithinAPixel) {
    struct Case {
        const char* what;
        DrawCall draw;
        int area;           // pixels the draw covers, about
        bool coverageOnly;
        int reach = 0;      // pixels a match may lie away
    } cases[] = {
        {"stretched twice as large", [](int32_t i) { DrawImageStretched(10, 10, 42, 26, i, 1); }, 512, false},
        {"mirrored left to right", [](int32_t i) { DrawImageStretched(42, 10, 10, 26, i, 1); }, 512, false},
        {"mirrored top to bottom", [](int32_t i) { DrawImageStretched(10, 26, 42, 10, i, 1); }, 512, false},
        {"shrunk", [](int32_t i) { DrawImageStretched(10, 10, 18, 14, i, 0); }, 32, true, 1},
        {"float rectangle of a part", [](int32_t i) { DrawImageRectStretched(10, 10, 34, 22, 2, 1, 8, 4, i, 1); }, 288,
         false},
        {"stretch cut by the area", [](int32_t i) { SetDrawRegion(20, 12, 60, 60); DrawImageStretched(10, 10, 42, 26, i, 1); },
         308, false},
        {"four whole corners as the rectangle", Quad({10, 10, 26, 10, 26, 18, 10, 18}, 0), 128, true},
        {"four corners as the rectangle", Quad({9.5f, 9.5f, 25.5f, 9.5f, 25.5f, 17.5f, 9.5f, 17.5f}), 128, false, 1},
        {"four corners mirrored", Quad({25.5f, 9.5f, 9.5f, 9.5f, 9.5f, 17.5f, 25.5f, 17.5f}), 128, false, 1},
        {"four corners turned a quarter", Quad({39.5f, 9.5f, 39.5f, 25.5f, 31.5f, 25.5f, 31.5f, 9.5f}), 128, false, 1},
        {"four corners sheared", Quad({9.5f, 9.5f, 25.5f, 9.5f, 29.5f, 17.5f, 13.5f, 17.5f}), 128, false, 1},
        {"four corners distorted", Quad({9.5f, 9.5f, 39.5f, 11.5f, 35.5f, 39.5f, 11.5f, 29.5f}), 720, true, 1},
    };
    for (const Case& c : cases) {
        const Picture device = Draw(true, c.draw);
        const Picture software = Draw(false, c.draw);
        EXPECT_NEAR(Drawn(device), c.area, c.area / 5 + 4) << c.what;
        EXPECT_EQ(Strays(device, software, c.coverageOnly, c.reach), 0) << c.what;
        EXPECT_EQ(Strays(software, device, c.coverageOnly, c.reach), 0) << c.what;
    }
}

// Where a four-corner draw puts each texel on the device: the corners are
// taken as they stand, pixel centres on whole coordinates, so corners less
// half a pixel put the image exactly where a plain draw at the next whole
// pixel would. Texel (i, j), scaled by s and offset by (a, b) < s, lands at
// x = ox + xu u + xv v, y = oy + yu u + yv v with u = i s + a, v = j s + b.
TEST_F(ImageQuadTest, FourCornersOnTheDeviceLandWhereTheyStand) {
    struct Case {
        const char* what;
        std::array<float, 8> corners;  // top-left, top-right, bottom-right, bottom-left
        int32_t tileSide;              // 0: one texture; else the textures' side
        int ox, oy, xu, xv, yu, yv, scale;
    } cases[] = {
        {"corners less half a pixel", {9.5f, 9.5f, 25.5f, 9.5f, 25.5f, 17.5f, 9.5f, 17.5f}, 0, 10, 10, 1, 0, 0, 1, 1},
        {"a quarter pixel past whole corners", {10.25f, 10.25f, 26.25f, 10.25f, 26.25f, 18.25f, 10.25f, 18.25f}, 0, 11,
         11, 1, 0, 0, 1, 1},
        {"mirrored left to right", {25.5f, 9.5f, 9.5f, 9.5f, 9.5f, 17.5f, 25.5f, 17.5f}, 0, 25, 10, -1, 0, 0, 1, 1},
        {"turned a quarter clockwise", {39.5f, 9.5f, 39.5f, 25.5f, 31.5f, 25.5f, 31.5f, 9.5f}, 0, 39, 10, 0, -1, 1, 0,
         1},
        {"twice as large", {9.5f, 9.5f, 41.5f, 9.5f, 41.5f, 25.5f, 9.5f, 25.5f}, 0, 10, 10, 1, 0, 0, 1, 2},
        {"two textures", {9.5f, 9.5f, 25.5f, 9.5f, 25.5f, 17.5f, 9.5f, 17.5f}, 8, 10, 10, 1, 0, 0, 1, 1},
        {"two textures turned", {39.5f, 9.5f, 39.5f, 25.5f, 31.5f, 25.5f, 31.5f, 9.5f}, 8, 39, 10, 0, -1, 1, 0, 1},
        {"past the target's top-left", {-6.5f, -2.5f, 9.5f, -2.5f, 9.5f, 5.5f, -6.5f, 5.5f}, 0, -6, -2, 1, 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{});
        Device().textureSizeSetting = c.tileSide;
        const int32_t image = LoadTestImage();
        ASSERT_EQ(FindImage(image)->tileCount, c.tileSide != 0 ? 2 : 1) << c.what;
        ClearDrawTarget(nullptr);
        Quad(c.corners, 0)(image);
        const Picture shown = ReadScreen();
        Picture want(shown.width, shown.height, 0);
        for (int j = 0; j < 8; ++j)
            for (int i = 0; i < 16; ++i)
                for (int b = 0; b < c.scale; ++b)
                    for (int a = 0; a < c.scale; ++a) {
                        const int u = i * c.scale + a, v = j * c.scale + b;
                        const int x = c.ox + c.xu * u + c.xv * v, y = c.oy + c.yu * u + c.yv * v;
                        if (x >= 0 && y >= 0 && x < want.width && y < want.height)
                            want.At(x, y) = graphics_test::ImagePixel(image, i, j) & 0xFFFFFF;
                    }
        int wrong = 0, firstX = -1, firstY = -1;
        for (int y = 0; y < want.height; ++y)
            for (int x = 0; x < want.width; ++x)
                if (shown.At(x, y) != want.At(x, y) && wrong++ == 0) firstX = x, firstY = y;
        EXPECT_EQ(wrong, 0) << c.what << ", first at " << firstX << "," << firstY;
    }
}

// The largest difference in any colour channel between the two pictures, and
// where it is (the first such pixel).
struct Difference {
    int levels = 0;
    int x = -1, y = -1;
};
Difference LargestDifference(const Picture& a, const Picture& b) {
    Difference d;
    for (int y = 0; y < a.height && y < b.height; ++y)
        for (int x = 0; x < a.width && x < b.width; ++x)
            for (int shift = 0; shift < 24; shift += 8) {
                const int levels = std::abs(static_cast<int>((a.At(x, y) >> shift) & 0xFF) -
                                            static_cast<int>((b.At(x, y) >> shift) & 0xFF));
                if (levels > d.levels) d = Difference{levels, x, y};
            }
    return d;
}

// Images drawn one texel to one pixel, and boxes, land exactly where the
// software path puts them with exactly its colours, in every filter (the pixel centres are
// the texel centres); where a blend rounds, the two may differ by one level
// in a channel (8-bit arithmetic on one side, the card's on the other).
TEST_F(ImageQuadTest, OneToOneDrawsMatchTheSoftwarePathExactlyAndBlendsWithinALevel) {
    auto drawn = [](int32_t filter, int32_t blend, int32_t parameter) -> DrawCall {
        return [=](int32_t i) {
            SetFilterMode(filter);
            SetBlendMode(blend, parameter);
            DrawImage(10, 12, i, 1);
            DrawImage(31, 5, i, 0);
        };
    };
    // Filled and outlined boxes (the outline is drawn as lines on the device).
    auto boxes = [](int32_t blend, int32_t parameter) -> DrawCall {
        return [=](int32_t) {
            SetBlendMode(blend, parameter);
            FillRectangle(6, 40, 70, 90, MakeColor(200, 120, 40));
            OutlineRectangle(80, 30, 180, 110, MakeColor(30, 220, 160));
            OutlineRectangle(190, 40, 192, 100, MakeColor(255, 255, 255));
        };
    };
    struct Case {
        const char* what;
        DrawCall draw;
        int tolerance;  // levels per channel
    } cases[] = {
        {"boxes", boxes(kBlendNone, 255), 0},
        {"boxes, alpha blend 100", boxes(kBlendAlpha, 100), 1},
        {"point", drawn(0, kBlendNone, 255), 0},
        {"linear", drawn(1, kBlendNone, 255), 0},
        {"anisotropic", drawn(2, kBlendNone, 255), 0},
        {"linear, alpha blend 128", drawn(1, kBlendAlpha, 128), 1},
        {"point, additive 200", drawn(0, kBlendAdd, 200), 1},
    };
    for (const Case& c : cases) {
        const Picture device = Draw(true, c.draw);
        const Picture software = Draw(false, c.draw);
        ASSERT_EQ(device.width, software.width) << c.what;
        EXPECT_GT(Drawn(device), 200) << c.what;
        const Difference d = LargestDifference(device, software);
        EXPECT_LE(d.levels, c.tolerance) << c.what << " at " << d.x << "," << d.y << ": device " << std::hex
                                         << device.At(d.x, d.y) << ", software " << software.At(d.x, d.y);
    }
}

TEST_F(ImageQuadTest, StretchesRefuseAnEmptyTargetAndKeepTheirTurn) {
    const ImageRecord* record = FindImage(LoadTestImage());
    ASSERT_NE(record, nullptr);
    FlushVertexBatch();
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(DrawImageStretchHardware(record, 5, 5, 5, 20, 5, 5, 5, 20, 1, 1), -1);
    EXPECT_EQ(DrawImageStretchHardware(record, 5, 5, 20, 5, 5, 5, 20, 5, 1, 1), -1);
    EXPECT_TRUE(d3d9::RecordedCalls().empty()) << "no state applied";
    // Mirrored both ways: the right edge's texels come first on the left.
    ASSERT_EQ(DrawImageStretchHardware(record, 42, 26, 10, 10, 42, 26, 10, 10, 0, 1), 0);
    ASSERT_EQ(Device().batch.count, 6);
    const std::array<float, 4> first = Vertex(0), last = Vertex(3);
    EXPECT_FLOAT_EQ(first[0], 9.5f);
    EXPECT_FLOAT_EQ(first[1], 9.5f);
    EXPECT_GT(first[2], last[2]) << "u runs backwards";
    EXPECT_GT(first[3], last[3]) << "v runs backwards";
}

TEST_F(ImageQuadTest, FourCornersAreBatchedOnlyForParallelograms) {
    const ImageRecord* record = FindImage(LoadTestImage());
    ASSERT_NE(record, nullptr);
    struct Case {
        const char* what;
        std::array<float, 8> corners;  // top-left, top-right, bottom-left, bottom-right
        bool batched;
    } cases[] = {
        {"rectangle", {10, 10, 26, 10, 10, 18, 26, 18}, true},
        {"just under a pixel off", {10, 10, 26, 10, 10, 18, 26.99f, 18}, true},
        {"a pixel off across", {10, 10, 26, 10, 10, 18, 27, 18}, false},
        {"a pixel off down", {10, 10, 26, 10, 10, 18, 26, 19}, false},
    };
    for (const Case& c : cases) {
        FlushVertexBatch();
        d3d9::ClearRecordedCalls();
        ASSERT_EQ(DrawImageQuadHardware(record, c.corners.data(), 0), 0) << c.what;
        EXPECT_EQ(Device().batch.count, c.batched ? 6 : 0) << c.what;
        EXPECT_EQ(CallsStarting("DrawIndexedPrimitiveUP(5, 0, 64, 122").size(), c.batched ? 0u : 1u) << c.what;
        if (c.batched) { EXPECT_FLOAT_EQ(Vertex(0)[0], 10.0f) << c.what << ": the corner as it stands"; }
    }
}

TEST_F(ImageQuadTest, AMirroredQuadGetsItsTrianglesTurned) {
    const ImageRecord* record = FindImage(LoadTestImage());
    ASSERT_NE(record, nullptr);
    const float mirrored[8] = {26, 10, 10, 10, 26, 18, 10, 18};
    FlushVertexBatch();
    ASSERT_EQ(DrawImageQuadHardware(record, mirrored, 0), 0);
    ASSERT_EQ(Device().batch.count, 6);
    for (int t = 0; t < 2; ++t) {
        const std::array<float, 4> a = Vertex(3 * t), b = Vertex(3 * t + 1), c = Vertex(3 * t + 2);
        EXPECT_GT((b[0] - a[0]) * (c[1] - a[1]) - (c[0] - a[0]) * (b[1] - a[1]), 0) << "triangle " << t;
    }
    EXPECT_FLOAT_EQ(Vertex(1)[0], 26.0f) << "the bottom-left corner second";
    EXPECT_FLOAT_EQ(Vertex(1)[1], 18.0f);
}

TEST_F(ImageQuadTest, WithABlendImageCornersAreCutTowardZero) {
    Picture grey(16, 8, 0xFF808080);
    const int32_t blend = graphics_test::LoadPicture("quad-blend.png", grey);
    const ImageRecord* record = FindImage(LoadTestImage());
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(SetBlendImage(blend, -1, 0), 0);
    ASSERT_NE(Cache().blendTexture, nullptr);
    const float tw = static_cast<float>(record->tiles[0].texture->width);
    struct Case {
        const char* what;
        float left;        // the left corners' x
        float wantU;       // u of the top-left vertex after the clamp at -0.5
    } cases[] = {
        {"2.9 becomes 2", 2.9f, 0.0f},
        {"-2.9 becomes -2", -2.9f, 2.0f / (tw * 22.0f / 16.0f)},
    };
    for (const Case& c : cases) {
        FlushVertexBatch();
        // An axis-aligned rectangle once cut: drawn by the stretch, batched.
        const float corners[8] = {c.left, 3.9f, 20.5f, 3.2f, c.left, 12.7f, 20.1f, 12.9f};
        ASSERT_EQ(DrawImageQuadHardware(record, corners, 0), 0) << c.what;
        ASSERT_EQ(Device().batch.count, 6) << c.what;
        const auto* f = reinterpret_cast<const float*>(Device().batch.rows[2]);
        EXPECT_FLOAT_EQ(f[0], std::max(static_cast<float>(static_cast<int>(c.left)) - 0.5f, -0.5f)) << c.what;
        EXPECT_FLOAT_EQ(f[1], 2.5f) << c.what;
        EXPECT_NEAR(f[8], c.wantU, 1e-6) << c.what;
    }
    // Not a rectangle: every tile goes to the device at once as a strip.
    FlushVertexBatch();
    d3d9::ClearRecordedCalls();
    const float sheared[8] = {10, 10, 26, 10, 14, 18, 30, 18};
    ASSERT_EQ(DrawImageQuadHardware(record, sheared, 0), 0);
    EXPECT_EQ(Device().batch.count, 0);
    EXPECT_EQ(CallsStarting("DrawPrimitiveUP(5, 2, 40)").size(), static_cast<size_t>(record->tileCount));
    ASSERT_EQ(SetBlendImage(-1, 0, 0), 0);
}

}  // namespace
}  // namespace device_test
