// Theora movies behind images on the device: the first frame as the software
// path shows it, the decoder's Y'CbCr surface (its format, the frame copied
// into it and stretched into the image's textures, a lock that fails), and
// the movie after the device was made anew.
#include "../d3d9lib/device_test_util.h"
#include "movie/movie.h"
#include "movie_test_util.h"

namespace {

using device_test::DeviceTest;
using graphics_test::Picture;

constexpr int kWidth = 32, kHeight = 16;
constexpr int kTolerance = 2;  // per channel: the device's conversion against the frame picture's

class MovieDeviceTest : public DeviceTest {
protected:
    // More frames than the decoder stocks ahead: the frames the tests move
    // to are stocked before the decoder could reach the end of the file.
    void SetUp() override {
        DeviceTest::SetUp();
        movietest::WriteBytes("clip.ogv", movietest::EncodeMovie({.width = kWidth, .height = kHeight, .frames = 16}));
    }
    void TearDown() override {
        seams::ClearAllCalls();
        DeviceTest::TearDown();
        // The other movie tests of this program draw in software.
        setenv("VELUMI_NO_HARDWARE", "1", 1);
        d3d9::RecheckHardware();
    }
    static TheoraDecoder* DecoderOf(int32_t image) {
        const ImageRecord* record = FindImage(image);
        const MovieRecord* movie = record != nullptr ? GetMovieRecord(record->movieHandle) : nullptr;
        return movie != nullptr ? movie->decoder : nullptr;
    }
    // Draws the image at (8, 8) and compares it with the decoder's RGB
    // picture of its current frame; the largest channel difference.
    static int DrawnAgainstFrame(int32_t image) {
        ClearDrawTarget(nullptr);
        EXPECT_EQ(DrawImage(8, 8, image, 0), 0);
        const Picture screen = ReadScreen();
        TheoraDecoder* decoder = DecoderOf(image);
        GetTheoraFrame(decoder, 1, 0);
        const PixelImage* frame = GetTheoraImage(decoder);
        int worst = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                uint32_t want = 0;
                std::memcpy(&want, static_cast<const uint8_t*>(frame->pixels) + y * frame->pitch + x * 4, 4);
                for (int shift = 0; shift <= 16; shift += 8)
                    worst = std::max(worst, std::abs(static_cast<int>((screen.At(8 + x, 8 + y) >> shift) & 0xFF) -
                                                     static_cast<int>((want >> shift) & 0xFF)));
            }
        return worst;
    }
    // The frame a picture shows, from its mean blue level.
    template <typename Pixel>
    static int FrameShown(Pixel pixel) {
        double sum = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) sum += pixel(x, y) & 0xFF;
        return static_cast<int>(std::lround((sum / (kWidth * kHeight) - 16) / 8));
    }
    static int FrameOnScreen() {
        const Picture screen = ReadScreen();
        return FrameShown([&](int x, int y) { return screen.At(8 + x, 8 + y); });
    }
    static int FrameInImagePixels(int32_t image) {
        return FrameShown([&](int x, int y) { return graphics_test::ImagePixel(image, x, y); });
    }
};

TEST_F(MovieDeviceTest, TheFirstFrameShowsAsTheSoftwarePathShowsIt) {
    const int32_t image = LoadImageFile("clip.ogv", 0);
    ASSERT_GE(image, 0);
    ASSERT_GT(FindImage(image)->tileCount, 0) << "the image lives in textures";
    EXPECT_LE(DrawnAgainstFrame(image), kTolerance);
    EXPECT_EQ(FrameOnScreen(), 0);
    // The same file drawn in software.
    const Picture device = ReadScreen();
    Start(graphics_test::ScreenMode{}, [] { SetHardwareAllowed(0); });
    ASSERT_EQ(Screen().d3dActive, 0);
    const int32_t soft = LoadImageFile("clip.ogv", 0);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(8, 8, soft, 0), 0);
    EXPECT_EQ(GetTheoraSurface(DecoderOf(soft)), nullptr) << "no surface without the device";
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_NEAR(static_cast<double>(graphics_test::ScreenPixel(8 + x, 8 + y) & 0xFF),
                        static_cast<double>(device.At(8 + x, 8 + y) & 0xFF), kTolerance)
                << x << "," << y;
}

TEST_F(MovieDeviceTest, ARefusedSurfaceLeavesTheMovieOnPictures) {
    seams::FailCall("IDirect3DDevice9::CreateOffscreenPlainSurface");
    const int32_t image = LoadImageFile("clip.ogv", 0);
    ASSERT_GE(image, 0);
    TheoraDecoder* decoder = DecoderOf(image);
    EXPECT_EQ(GetTheoraSurface(decoder), nullptr);
    EXPECT_EQ(GetTheoraSurfaceFormat(decoder), 0u);
    // Reading the screen back may need a surface of its own.
    seams::ClearCall("IDirect3DDevice9::CreateOffscreenPlainSurface");
    AdvanceTheoraFrames(decoder, 2);
    EXPECT_LE(DrawnAgainstFrame(image), kTolerance);
    EXPECT_EQ(GetTheoraSurface(decoder), nullptr) << "the movie stays on pictures";
    EXPECT_EQ(FrameInImagePixels(image), 2) << "the frame came as a picture";
}

TEST_F(MovieDeviceTest, AMovieKeepsShowingItsFrameAfterTheDeviceIsMadeAnew) {
    const int32_t image = LoadImageFile("clip.ogv", 0);
    ASSERT_GE(image, 0);
    TheoraDecoder* decoder = DecoderOf(image);
    AdvanceTheoraFrames(decoder, 1);
    EXPECT_LE(DrawnAgainstFrame(image), kTolerance);
    const uint32_t format = GetTheoraSurfaceFormat(decoder);
    for (int32_t modeChange = 0; modeChange <= 1; ++modeChange) {
        ASSERT_EQ(ResetGraphicsDevice(modeChange), 0);
        EXPECT_EQ(GetTheoraSurfaceFormat(decoder), format) << modeChange << ": the surface is made again";
        EXPECT_EQ(IsTheoraSurfaceUpToDate(decoder), 0) << modeChange;
        EXPECT_LE(DrawnAgainstFrame(image), kTolerance) << modeChange;
        EXPECT_EQ(FrameOnScreen(), 1) << modeChange;
    }
}

}  // namespace

namespace {

TEST_F(MovieDeviceTest, FramesGoThroughTheFirstSurfaceFormatTheDeviceMakes) {
    struct Case {
        const char* what;
        int refused;  // creations refused before one succeeds
        D3DFORMAT format;
    } cases[] = {{"YV12", 0, D3DFMT_YV12}, {"YUY2", 1, D3DFMT_YUY2}, {"UYVY", 2, D3DFMT_UYVY}};
    for (const Case& c : cases) {
        if (c.refused > 0) seams::FailCall("IDirect3DDevice9::CreateOffscreenPlainSurface", c.refused);
        const int32_t image = LoadImageFile("clip.ogv", 0);
        ASSERT_GE(image, 0) << c.what;
        TheoraDecoder* decoder = DecoderOf(image);
        ASSERT_NE(GetTheoraSurface(decoder), nullptr) << c.what;
        EXPECT_EQ(GetTheoraSurfaceFormat(decoder), static_cast<uint32_t>(c.format)) << c.what;
        AdvanceTheoraFrames(decoder, 2);
        d3d9::ClearRecordedCalls();
        ClearDrawTarget(nullptr);
        ASSERT_EQ(DrawImage(8, 8, image, 0), 0) << c.what;
        EXPECT_EQ(IsTheoraSurfaceUpToDate(decoder), 1) << c.what;
        EXPECT_FALSE(device_test::CallsStarting("StretchRect").empty()) << c.what;
        EXPECT_EQ(FrameOnScreen(), 2) << c.what << ": the frame came through the surface";
        EXPECT_EQ(FrameInImagePixels(image), 0) << c.what << ": not as a picture";
        EXPECT_LE(DrawnAgainstFrame(image), kTolerance) << c.what;
        EXPECT_EQ(DeleteImage(image), 0);
        seams::ClearAllCalls();
    }
}

TEST_F(MovieDeviceTest, ASurfaceThatWillNotLockIsMadeAnewThenGivenUp) {
    struct Case {
        const char* what;
        int failures;
        bool throughSurface;
    } cases[] = {{"one failed lock", 1, true}, {"two failed locks", 2, true}, {"every lock fails", -1, false}};
    for (const Case& c : cases) {
        const int32_t image = LoadImageFile("clip.ogv", 0);
        ASSERT_GE(image, 0) << c.what;
        TheoraDecoder* decoder = DecoderOf(image);
        AdvanceTheoraFrames(decoder, 3);
        seams::FailCall("IDirect3DSurface9::LockRect", c.failures);
        d3d9::ClearRecordedCalls();
        ClearDrawTarget(nullptr);
        ASSERT_EQ(DrawImage(8, 8, image, 0), 0) << c.what;
        seams::ClearAllCalls();
        const size_t made = device_test::CallsStarting("CreateOffscreenPlainSurface").size();
        EXPECT_EQ(made, c.failures > 0 ? static_cast<size_t>(c.failures) : 3u) << c.what;
        EXPECT_EQ(IsTheoraSurfaceUpToDate(decoder), c.throughSurface ? 1 : 0) << c.what;
        EXPECT_EQ(FrameOnScreen(), 3) << c.what;
        EXPECT_EQ(FrameInImagePixels(image), c.throughSurface ? 0 : 3) << c.what;
        EXPECT_EQ(DeleteImage(image), 0);
    }
}

}  // namespace

namespace {

// A picture smaller than its coded frame, at an odd place: the surface holds
// the whole frame, and the stretch into the image's textures takes the picture.
TEST_F(MovieDeviceTest, APaddedPictureComesThroughTheSurfaceAtItsPlace) {
    struct Case {
        const char* what;
        movietest::MovieSpec spec;
    } cases[] = {
        {"17x9 at (5,3) in 32x16",
         {.width = 32, .height = 16, .pictureWidth = 17, .pictureHeight = 9, .pictureX = 5, .pictureY = 3}},
        {"20x10 at (10,6) in 32x16",
         {.width = 32, .height = 16, .pictureWidth = 20, .pictureHeight = 10, .pictureX = 10, .pictureY = 6}},
    };
    for (const Case& c : cases) {
        movietest::WriteBytes("picture.ogv", movietest::EncodeMovie(c.spec));
        const int32_t image = LoadImageFile("picture.ogv", 0);
        ASSERT_GE(image, 0) << c.what;
        int32_t w = 0, h = 0;
        ASSERT_EQ(GetImageSize(image, &w, &h), 0) << c.what;
        EXPECT_EQ(w, c.spec.pictureWidth) << c.what;
        EXPECT_EQ(h, c.spec.pictureHeight) << c.what;
        TheoraDecoder* decoder = DecoderOf(image);
        ASSERT_NE(GetTheoraSurface(decoder), nullptr) << c.what;
        AdvanceTheoraFrames(decoder, 2);
        ClearDrawTarget(nullptr);
        const uint32_t background = ReadScreen().At(0, 0);
        // Reading the screen may itself stretch the back buffer (when the
        // device start chose a drawable buffer over locking the back buffer),
        // so the record starts after it.
        d3d9::ClearRecordedCalls();
        ASSERT_EQ(DrawImage(8, 8, image, 0), 0) << c.what;
        EXPECT_EQ(IsTheoraSurfaceUpToDate(decoder), 1) << c.what << ": the frame came through the surface";
        const auto stretches = device_test::CallsStarting("StretchRect");
        ASSERT_FALSE(stretches.empty()) << c.what;
        const movietest::MovieSpec& p = c.spec;
        const std::string source = "StretchRect(" + std::to_string(p.pictureX) + ", " + std::to_string(p.pictureY) +
                                   ", " + std::to_string(p.pictureX + p.pictureWidth) + ", " +
                                   std::to_string(p.pictureY + p.pictureHeight) + ", ";
        EXPECT_EQ(stretches[0].rfind(source, 0), 0u) << c.what << ": the source is the picture: " << stretches[0];
        const Picture screen = ReadScreen();
        const auto placement =
            movietest::PlacementOf([&](int x, int y) { return screen.At(8 + x, 8 + y); }, c.spec, 2);
        EXPECT_LT(placement.atPicture, 8.0) << c.what;
        EXPECT_LT(placement.atPicture, placement.movedBest) << c.what << ": the picture is shown at its place";
        EXPECT_EQ(screen.At(8 + w, 8), background) << c.what << ": nothing right of the picture";
        EXPECT_EQ(screen.At(8, 8 + h), background) << c.what << ": nothing below the picture";
        EXPECT_EQ(DeleteImage(image), 0) << c.what;
    }
}

}  // namespace
