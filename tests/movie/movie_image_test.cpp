// Movies behind images: a Theora file given to LoadImageFile becomes an
// image bound to a movie, showing its first frame at once; every draw of the
// image brings it to the movie's frame; deleting the image, or ending the
// library, closes the movie; the main window's deactivation pauses it.
#include "../graphics/graphics_test_util.h"
#include "movie/movie.h"
#include "movie_test_util.h"

namespace {

using graphics_test::GraphicsTest;
using graphics_test::ScreenPixel;
using movietest::EncodeMovie;
using movietest::FrameTag;

constexpr int64_t kSecondUs = 1000000;

class MovieImageTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        // A frame a second.
        movietest::WriteBytes("clip.ogv", EncodeMovie({.width = 32, .height = 16, .frames = 8, .fpsNumerator = 1}));
    }

    // The frame a rectangle of the screen shows, from its blue level.
    static int FrameOnScreen(int x0, int y0, int width, int height) {
        double sum = 0;
        for (int y = y0; y < y0 + height; ++y)
            for (int x = x0; x < x0 + width; ++x) sum += ScreenPixel(x, y) & 0xFF;
        return static_cast<int>(std::lround((sum / (width * height) - 16) / 8));
    }

    static int FrameInImage(int32_t image) {
        ImageRecord* record = FindImage(image);
        double sum = 0;
        for (int y = 0; y < record->height; ++y)
            for (int x = 0; x < record->width; ++x) sum += graphics_test::RawPixel(record->memImg, x, y) & 0xFF;
        return static_cast<int>(std::lround((sum / (record->width * record->height) - 16) / 8));
    }

    // Makes the image's movie play with its clock in the middle of frame k.
    static void PlayAt(int32_t movie, double frames) {
        MovieRecord* r = GetMovieRecord(movie);
        ASSERT_NE(r, nullptr);
        if (r->paused) {
            r->playing = 1;
            ResumeAllMovies();
        }
        r->startTime = GetTimeUs(0) - static_cast<int64_t>(frames * kSecondUs);
    }
};

TEST_F(MovieImageTest, ATheoraFileLoadsAsAnImageThatShowsTheFirstFrameAtOnce) {
    const int32_t image = LoadImageFile("clip.ogv", 0);
    ASSERT_NE(image, -1);
    int32_t w = 0, h = 0;
    ASSERT_EQ(GetImageSize(image, &w, &h), 0);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);
    ImageRecord* record = FindImage(image);
    ASSERT_NE(record, nullptr);
    const int32_t movie = record->movieHandle;
    ASSERT_NE(GetMovieRecord(movie), nullptr);
    EXPECT_EQ(GetMovieCount(), 1);
    EXPECT_EQ(FrameInImage(image), 0) << "no draw needed for the first frame";
    // The picture is the movie's: red grows to the right, green downwards.
    const uint32_t left = graphics_test::RawPixel(record->memImg, 0, 8);
    const uint32_t right = graphics_test::RawPixel(record->memImg, 31, 8);
    EXPECT_LT((left >> 16) & 0xFF, 20u);
    EXPECT_GT((right >> 16) & 0xFF, 235u);
    EXPECT_NEAR(static_cast<int>(left & 0xFF), FrameTag(0), 6);

    ASSERT_EQ(DeleteImage(image), 0);
    EXPECT_EQ(GetMovieCount(), 0) << "deleting the image closes its movie";
    EXPECT_EQ(GetMovieRecord(movie), nullptr);
}

TEST_F(MovieImageTest, DrawnPixelsFollowTheMoviesFrames) {
    const int32_t image = LoadImageFile("clip.ogv", 0);
    ASSERT_NE(image, -1);
    const int32_t movie = FindImage(image)->movieHandle;

    ASSERT_EQ(DrawImage(0, 0, image, 0), 0);
    EXPECT_EQ(FrameOnScreen(0, 0, 32, 16), 0) << "a paused movie stays on its frame";

    PlayAt(movie, 3.5);
    ASSERT_EQ(DrawImage(10, 20, image, 0), 0);
    EXPECT_EQ(FrameOnScreen(10, 20, 32, 16), 3);

    PlayAt(movie, 5.5);
    ASSERT_EQ(DrawImageRect(100, 100, 8, 4, 16, 8, image, 0, 0), 0);
    EXPECT_EQ(FrameOnScreen(100, 100, 16, 8), 5) << "a rectangle of the image";

    PlayAt(movie, 6.5);
    ASSERT_EQ(DrawImageStretched(200, 100, 264, 132, image, 0), 0);
    EXPECT_EQ(FrameOnScreen(200, 100, 64, 32), 6) << "stretched";

    PlayAt(movie, 1.5);  // the clock went back: round the end to frame 1
    ASSERT_EQ(DrawImageRect(0, 200, 0, 0, 32, 16, image, 0, 1), 0);
    EXPECT_EQ(FrameOnScreen(0, 200, 32, 16), 1) << "mirrored";
    EXPECT_EQ(FrameInImage(image), 1);
}

TEST_F(MovieImageTest, DeactivatingTheWindowPausesMoviesAndActivatingResumesThem) {
    const int32_t image = LoadImageFile("clip.ogv", 0);
    const int32_t movie = FindImage(image)->movieHandle;
    PlayAt(movie, 2.5);
    MovieRecord* r = GetMovieRecord(movie);
    SendMessageA(GetMainWindow(), WM_ACTIVATEAPP, FALSE, 0);
    EXPECT_EQ(r->paused, 1);
    EXPECT_EQ(r->playing, 1);
    EXPECT_EQ(GetTheoraCurrentFrame(r->decoder), 2) << "the pause took the frame of its instant";
    SendMessageA(GetMainWindow(), WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(r->paused, 0);
    EXPECT_EQ(r->playing, 1);
    // The library's end deletes the image, and with it the movie.
    EndLibrary();
    EXPECT_EQ(GetMovieCount(), 0);
}

TEST_F(MovieImageTest, WithTheHalfWidthSettingOnlyTheLeftHalfOfEachFrameIsTaken) {
    SetMovieHalfWidthFlag(1);
    const int32_t image = LoadImageFile("clip.ogv", 0);
    SetMovieHalfWidthFlag(0);
    ASSERT_NE(image, -1);
    const ImageRecord* record = FindImage(image);
    EXPECT_EQ(GetMovieRecord(record->movieHandle)->halfWidth, 1);
    EXPECT_EQ(record->width, 32) << "the image has the movie's size";
    EXPECT_NEAR(static_cast<int>(graphics_test::RawPixel(record->memImg, 15, 8) & 0xFF), FrameTag(0), 6);
    EXPECT_EQ(graphics_test::RawPixel(record->memImg, 16, 8) & 0xFFFFFF, 0u) << "the right half is left alone";
    EXPECT_EQ(graphics_test::RawPixel(record->memImg, 31, 15) & 0xFFFFFF, 0u);
}

}  // namespace
