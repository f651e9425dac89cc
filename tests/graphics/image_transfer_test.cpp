// Pictures into existing images, on the software path and on the device (SDL's
// offscreen driver): refused handles and sizes, where the pixels land (read
// back by drawing the image onto the screen), the alpha picture, a damaged
// memory image, and the file name a restore would reload.
#include "../d3d9lib/device_test_util.h"

#include <climits>
#include <functional>

namespace device_test {
namespace {

constexpr int kSide = 8;
constexpr uint32_t kFill = 0x0000FF;  // the image's colour before a transfer

uint32_t Pattern(int x, int y) { return static_cast<uint32_t>((x * 32) << 16 | (y * 32) << 8 | 0x80); }

// An X8R8G8B8 picture of the pattern (or of one grey level per pixel).
struct OwnedPicture {
    PixelImage image{};
    OwnedPicture(int w, int h, const std::function<uint32_t(int, int)>& pixel = Pattern) {
        EXPECT_EQ(CreateXRGB8PixelImage(w, h, &image), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t c = pixel(x, y);
                SetPixelImagePixel(&image, x, y, c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF, 255);
            }
    }
    ~OwnedPicture() { ReleasePixelImage(&image); }
};

// The pattern as a raw BGRA file image.
std::vector<uint8_t> PatternFile(int w, int h) {
    std::vector<uint8_t> f = {'B', 'G', 'R', 'A', uint8_t(w), 0, 0, 0, uint8_t(h), 0, 0, 0};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = Pattern(x, y);
            f.insert(f.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0xFF});
        }
    return f;
}

// One fixture for both paths: the parameter says whether the device draws.
// Both run on the offscreen driver, the software path with the device
// forbidden, as the device tests do: the OpenGL context is tried once per
// process, so it must not be tried first on the dummy driver.
class ImageTransferTest : public DeviceTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        unsetenv("VELUMI_NO_HARDWARE");
        d3d9::RegisterRuntime(true);
        d3d9::RecheckHardware();
        Start(ScreenMode{}, [] { SetHardwareAllowed(GetParam() ? 1 : 0); });
        ASSERT_EQ(Screen().d3dActive, GetParam() ? 1 : 0);
    }
    void TearDown() override {
        DeviceTest::TearDown();
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    }
    static int32_t FilledImage() {
        const int32_t image = CreateBlankImage(kSide, kSide);
        EXPECT_EQ(FillImage(image, 0, 0, 255, 255), 0);
        return image;
    }
    // The image as the screen shows it drawn at (0, 0): its textures on the
    // device, its pixels in software.
    static Picture Shown(int32_t image) {
        EXPECT_EQ(ClearDrawTarget(nullptr), 0);
        EXPECT_EQ(DrawImage(0, 0, image, 0), 0);
        if (GetParam()) return ReadScreen();
        Picture p(kSide, kSide, 0);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) p.At(x, y) = graphics_test::ScreenPixel(x, y);
        return p;
    }
};

using Transfer = std::function<int(const PixelImage* picture, int32_t image)>;
struct CallCase {
    const char* what;
    Transfer call;
};

const CallCase kCalls[] = {
    {"UpdateImageFromBitmap",
     [](const PixelImage* p, int32_t image) {
         return UpdateImageFromBitmap(p, 0, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, image, 0);
     }},
    {"CopyPictureToImage", [](const PixelImage* p, int32_t image) { return CopyPictureToImage(p, image); }},
    {"TransferPictureToImage",
     [](const PixelImage* p, int32_t image) { return TransferPictureToImage(p, nullptr, image, 1, 0, 1); }},
    {"ReloadImageFromMemory",
     [](const PixelImage* p, int32_t image) {
         const std::vector<uint8_t> file = PatternFile(p->width, p->height);
         return ReloadImageFromMemory(file.data(), static_cast<int32_t>(file.size()), image, 0, 0, 1, 0);
     }},
};

TEST_P(ImageTransferTest, EachCallPutsThePictureInAndRefusesBadHandles) {
    const OwnedPicture picture(kSide, kSide);
    for (const CallCase& c : kCalls) {
        const int32_t image = FilledImage();
        EXPECT_EQ(c.call(&picture.image, image), 0) << c.what;
        const Picture shown = Shown(image);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) ASSERT_EQ(shown.At(x, y), Pattern(x, y)) << c.what << " " << x << "," << y;
        EXPECT_EQ(c.call(&picture.image, (image & ~kHandleTypeMask) | kHandleTypeFont), -1) << c.what;
        EXPECT_EQ(DeleteImage(image), 0);
        EXPECT_EQ(c.call(&picture.image, image), -1) << c.what << ": deleted";
    }
    const int32_t image = FilledImage();
    EndLibrary();
    for (const CallCase& c : kCalls) EXPECT_EQ(c.call(&picture.image, image), -1) << c.what << ": graphics ended";
}

TEST_P(ImageTransferTest, WholePictureCallsRefuseAnotherSize) {
    const OwnedPicture small(kSide - 1, kSide);
    const int32_t image = FilledImage();
    for (const CallCase& c : kCalls) {
        if (c.what == kCalls[0].what) continue;  // a rectangle: cut, not refused
        EXPECT_EQ(c.call(&small.image, image), -1) << c.what;
        EXPECT_EQ(Shown(image).At(0, 0), kFill) << c.what;
    }
    const OwnedPicture picture(kSide, kSide);
    EXPECT_EQ(TransferPictureToImage(&picture.image, &small.image, image, 1, 0, 1), -1);
}

struct UpdateCase {
    const char* what;
    RECT rect;
    int32_t destX, destY;
    int result;
    RECT landed;         // in the image
    int32_t dx, dy;      // source pixel = image pixel + (dx, dy)
};

const UpdateCase kUpdates[] = {
    {"inside", {2, 1, 6, 5}, 0, 3, 0, {0, 3, 4, 7}, 2, -2},
    {"cut by the image", {0, 0, 8, 8}, 5, 6, 0, {5, 6, 8, 8}, -5, -6},
    {"negative source edges move the point", {-2, -1, 3, 3}, 1, 1, 0, {3, 2, 6, 5}, -3, -2},
    {"negative destination", {0, 0, 4, 4}, -2, -3, 0, {0, 0, 2, 1}, 2, 3},
    {"outside the source", {8, 0, 12, 4}, 0, 0, -1, {}, 0, 0},
    {"outside the image", {0, 0, 4, 4}, 8, 0, -1, {}, 0, 0},
    {"empty", {3, 3, 3, 5}, 0, 0, -1, {}, 0, 0},
    {"inverted", {5, 5, 2, 2}, 0, 0, -1, {}, 0, 0},
    {"extreme values", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0, 0, -1, {}, 0, 0},
};

TEST_P(ImageTransferTest, UpdateImageFromBitmapClipsTheRectangle) {
    const OwnedPicture picture(kSide, kSide);
    for (const UpdateCase& c : kUpdates) {
        const int32_t image = FilledImage();
        EXPECT_EQ(UpdateImageFromBitmap(&picture.image, 0, 0, nullptr, 0, nullptr, 0, &c.rect, c.destX, c.destY, image,
                                        0),
                  c.result)
            << c.what;
        const Picture shown = Shown(image);
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                const bool in = x >= c.landed.left && x < c.landed.right && y >= c.landed.top && y < c.landed.bottom;
                ASSERT_EQ(shown.At(x, y), in ? Pattern(x + c.dx, y + c.dy) : kFill) << c.what << " " << x << "," << y;
            }
        DeleteImage(image);
    }
}

TEST_P(ImageTransferTest, AlphaPictureGivesTheAlpha) {
    SetBlankImageAlpha(1);
    const int32_t image = CreateBlankImage(kSide, kSide);
    const OwnedPicture picture(kSide, kSide);
    const OwnedPicture alpha(kSide, kSide, [](int x, int y) { return static_cast<uint32_t>(x * 16 + y) * 0x010101; });
    const RECT rect{1, 2, 5, 6};
    ASSERT_EQ(UpdateImageFromBitmap(&picture.image, 0, 0, nullptr, 0, &alpha.image, 0, &rect, 3, 0, image, 0), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint32_t raw = graphics_test::ImagePixel(image, 3 + x, y);
            EXPECT_EQ(raw >> 24, static_cast<uint32_t>((1 + x) * 16 + 2 + y)) << x << "," << y;
            EXPECT_EQ(raw & 0xFFFFFF, Pattern(1 + x, 2 + y)) << x << "," << y;
        }
    ASSERT_EQ(TransferPictureToImage(&picture.image, &alpha.image, image, 1, 0, 1), 0);
    EXPECT_EQ(graphics_test::ImagePixel(image, 7, 7) >> 24, 7u * 16 + 7);
}

TEST_P(ImageTransferTest, DamagedMemoryImageLeavesTheImage) {
    const int32_t image = FilledImage();
    std::vector<uint8_t> file = PatternFile(kSide, kSide);
    std::vector<uint8_t> truncated(file.begin(), file.end() - 5);
    std::vector<uint8_t> garbage(file.size(), 0x5A);
    const struct {
        const char* what;
        const void* data;
        int32_t size;
    } cases[] = {
        {"truncated", truncated.data(), static_cast<int32_t>(truncated.size())},
        {"garbage", garbage.data(), static_cast<int32_t>(garbage.size())},
        {"null", nullptr, 100},
        {"negative size", file.data(), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReloadImageFromMemory(c.data, c.size, image, 0, 0, 1, 0), -1) << c.what;
        EXPECT_EQ(Shown(image).At(3, 3), kFill) << c.what;
    }
}

// A transfer into a loaded image, or into an image derived from it, makes the
// picture forget its file: a restore keeps the new pixels.
TEST_P(ImageTransferTest, UpdateForgetsTheFileSoARestoreKeepsIt) {
    for (const bool derived : {false, true}) {
        const int32_t loaded = graphics_test::LoadPicture("transfer.png", Picture(kSide, kSide, 0xFF00FF00));
        const int32_t target = derived ? DeriveImage(0, 0, kSide, kSide, loaded) : loaded;
        const OwnedPicture picture(kSide, kSide);
        ASSERT_EQ(UpdateImageFromBitmap(&picture.image, 0, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, target, 0), 0);
        EXPECT_EQ(FindImage(loaded)->fileName, nullptr) << derived;
        ASSERT_EQ(RestoreImagesFromFiles(), 0);
        EXPECT_EQ(Shown(loaded).At(5, 6), Pattern(5, 6)) << derived;
        if (derived) DeleteImage(target);
        DeleteImage(loaded);
    }
}

INSTANTIATE_TEST_SUITE_P(Paths, ImageTransferTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Device" : "Software"; });

}  // namespace
}  // namespace device_test
