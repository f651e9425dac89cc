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
        for (int i = 0; i < w * h; ++i) {
            const uint32_t c = pixel(i % w, i / w);
            SetPixelImagePixel(&image, i % w, i / w, c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF, 255);
        }
    }
    ~OwnedPicture() { ReleasePixelImage(&image); }
};

// The pattern as a raw BGRA file image.
std::vector<uint8_t> PatternFile(int w, int h) {
    std::vector<uint8_t> f = {'B', 'G', 'R', 'A', uint8_t(w), 0, 0, 0, uint8_t(h), 0, 0, 0};
    for (int i = 0; i < w * h; ++i) {
        const uint32_t c = Pattern(i % w, i / w);
        f.insert(f.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0xFF});
    }
    return f;
}

// One fixture for both paths (the parameter: the device draws, on the
// offscreen driver; the software path keeps the dummy driver). The OpenGL
// context is tried once per process, so a device case needs a process of its
// own in which nothing tried it on the dummy driver first (ctest gives each
// case one).
class ImageTransferTest : public DeviceTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", GetParam() ? "offscreen" : "dummy", 1);
        if (GetParam()) {
            unsetenv("VELUMI_NO_HARDWARE");
            d3d9::RegisterRuntime(true);
            d3d9::RecheckHardware();
        }
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
    // The image drawn at (0, 0) as the screen shows it: its textures on the
    // device, its pixels in software.
    static Picture Shown(int32_t image) {
        EXPECT_EQ(ClearDrawTarget(nullptr), 0);
        EXPECT_EQ(DrawImage(0, 0, image, 0), 0);
        return ReadScreen();
    }
    // Every pixel of the image as shown against want(x, y).
    static void ExpectShown(int32_t image, const std::function<uint32_t(int, int)>& want, const char* what) {
        const Picture shown = Shown(image);
        for (int i = 0; i < kSide * kSide; ++i)
            ASSERT_EQ(shown.At(i % kSide, i / kSide), want(i % kSide, i / kSide)) << what << " pixel " << i;
    }
};

using Transfer = std::function<int(const PixelImage* picture, int32_t image)>;
struct CallCase {
    const char* what;
    bool whole;  // refuses a picture of another size (a rectangle is cut instead)
    Transfer call;
};

const CallCase kCalls[] = {
    {"UpdateImageFromBitmap", false,
     [](const PixelImage* p, int32_t image) {
         return UpdateImageFromBitmap(p, 0, 0, nullptr, 0, nullptr, 0, nullptr, 0, 0, image, 0);
     }},
    {"CopyPictureToImage", true, [](const PixelImage* p, int32_t image) { return CopyPictureToImage(p, image); }},
    {"TransferPictureToImage", true,
     [](const PixelImage* p, int32_t image) { return TransferPictureToImage(p, nullptr, image, 1, 0, 1); }},
    {"ReloadImageFromMemory", true,
     [](const PixelImage* p, int32_t image) {
         const std::vector<uint8_t> file = PatternFile(p->width, p->height);
         return ReloadImageFromMemory(file.data(), static_cast<int32_t>(file.size()), image, 0, 0, 1, 0);
     }},
};

TEST_P(ImageTransferTest, EachCallPutsThePictureInAndRefusesBadHandlesAndSizes) {
    const OwnedPicture picture(kSide, kSide), small(kSide - 1, kSide);
    for (const CallCase& c : kCalls) {
        const int32_t image = FilledImage();
        if (c.whole) {
            EXPECT_EQ(c.call(&small.image, image), -1) << c.what << ": size";
        }
        EXPECT_EQ(Shown(image).At(0, 0), kFill) << c.what;
        EXPECT_EQ(c.call(&picture.image, image), 0) << c.what;
        ExpectShown(image, Pattern, c.what);
        EXPECT_EQ(c.call(&picture.image, (image & ~kHandleTypeMask) | kHandleTypeFont), -1) << c.what;
        EXPECT_EQ(DeleteImage(image), 0);
        EXPECT_EQ(c.call(&picture.image, image), -1) << c.what << ": deleted";
    }
    const int32_t image = FilledImage();
    EXPECT_EQ(TransferPictureToImage(&picture.image, &small.image, image, 1, 0, 1), -1);
    EndLibrary();
    for (const CallCase& c : kCalls) EXPECT_EQ(c.call(&picture.image, image), -1) << c.what << ": graphics ended";
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
    {"inverted", {5, 5, 2, 2}, 0, 0, -1, {}, 0, 0},
    {"extreme values", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, 0, 0, -1, {}, 0, 0},
};

TEST_P(ImageTransferTest, UpdateImageFromBitmapClipsTheRectangle) {
    const OwnedPicture picture(kSide, kSide);
    for (const UpdateCase& c : kUpdates) {
        const int32_t image = FilledImage();
        const int result = UpdateImageFromBitmap(&picture.image, 0, 0, nullptr, 0, nullptr, 0, &c.rect, c.destX, c.destY,
                                                 image, 0);
        EXPECT_EQ(result, c.result) << c.what;
        ExpectShown(image, [&](int x, int y) {
            const bool in = x >= c.landed.left && x < c.landed.right && y >= c.landed.top && y < c.landed.bottom;
            return in ? Pattern(x + c.dx, y + c.dy) : kFill;
        }, c.what);
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
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(graphics_test::ImagePixel(image, 3 + x, y), ((1u + x) * 16 + 2 + y) << 24 | Pattern(1 + x, 2 + y));
}

// The colour-key setting is taken when an image is made. A colour-keyed
// image keeps what an alpha picture, or a fill with alpha 0, leaves clear as
// its transparent colour, which a transparent draw leaves out on both paths;
// without the key that alpha is dropped and every pixel is drawn.
TEST_P(ImageTransferTest, ColourKeyOfTheImageCutsClearPixelsOut) {
    const struct {
        const char* what;
        int32_t colourKey;
        bool fill;  // FillImage with alpha 0; else the left half of an alpha picture clear
        bool cut;
    } cases[] = {
        {"colour-keyed, alpha picture", 1, false, true},
        {"colour-keyed, fill", 1, true, true},
        {"no colour key, alpha picture", 0, false, false},
        {"no colour key, fill", 0, true, false},
    };
    const OwnedPicture picture(kSide, kSide);
    const OwnedPicture alpha(kSide, kSide, [](int x, int) { return x < kSide / 2 ? 0u : 0xFFFFFFu; });
    for (const auto& c : cases) {
        ASSERT_EQ(SetUseColorKey(c.colourKey), 0);
        const int32_t image = CreateBlankImage(kSide, kSide);
        SetUseColorKey(1);
        ASSERT_EQ(c.fill ? FillImage(image, 0, 255, 0, 0)
                         : TransferPictureToImage(&picture.image, &alpha.image, image, 0, 0, 0),
                  0);
        ASSERT_EQ(ClearDrawTarget(nullptr), 0);
        ASSERT_EQ(DrawImage(0, 0, image, 1), 0);
        const Picture shown = ReadScreen();
        for (int i = 0; i < kSide * kSide; ++i) {
            const int x = i % kSide, y = i / kSide;
            const bool clear = c.fill || x < kSide / 2;
            const uint32_t drawn = c.fill ? 0x00FF00u : Pattern(x, y);
            ASSERT_EQ(shown.At(x, y), clear && c.cut ? 0u : drawn) << c.what << " pixel " << i;
        }
        DeleteImage(image);
    }
}

TEST_P(ImageTransferTest, DamagedMemoryImageLeavesTheImage) {
    const int32_t image = FilledImage();
    const std::vector<uint8_t> file = PatternFile(kSide, kSide), garbage(file.size(), 0x5A);
    const struct {
        const char* what;
        const void* data;
        size_t size;
    } cases[] = {{"truncated", file.data(), file.size() - 5}, {"garbage", garbage.data(), garbage.size()},
                 {"null", nullptr, 100}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReloadImageFromMemory(c.data, static_cast<int32_t>(c.size), image, 0, 0, 1, 0), -1) << c.what;
        EXPECT_EQ(Shown(image).At(3, 3), kFill) << c.what;
    }
}

// A transfer into a loaded image, or into an image derived from it, makes the
// picture forget its file: a restore keeps the new pixels.
TEST_P(ImageTransferTest, TransfersForgetTheFileSoARestoreKeepsThem) {
    const OwnedPicture picture(kSide, kSide);
    for (const CallCase& c : kCalls)
        for (const bool derived : {false, true}) {
            const int32_t loaded = graphics_test::LoadPicture("transfer.png", Picture(kSide, kSide, 0xFF00FF00));
            const int32_t target = derived ? DeriveImage(0, 0, kSide, kSide, loaded) : loaded;
            ASSERT_EQ(c.call(&picture.image, target), 0) << c.what << " " << derived;
            EXPECT_EQ(FindImage(loaded)->fileName, nullptr) << c.what << " " << derived;
            ASSERT_EQ(RestoreImagesFromFiles(), 0);
            EXPECT_EQ(Shown(loaded).At(5, 6), Pattern(5, 6)) << c.what << " " << derived;
            if (derived) DeleteImage(target);
            DeleteImage(loaded);
        }
}

INSTANTIATE_TEST_SUITE_P(Paths, ImageTransferTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Device" : "Software"; });

}  // namespace
}  // namespace device_test
