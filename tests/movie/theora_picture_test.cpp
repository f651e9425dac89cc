// Theora pictures smaller than their coded frame: the movie reports and shows
// the stated picture, at its place in the frame, not the padding around it.
#include "../graphics/graphics_test_util.h"
#include "movie/movie.h"
#include "movie_test_util.h"

namespace {

using graphics_test::GraphicsTest;
using graphics_test::ScreenPixel;
using movietest::MovieSpec;

constexpr double kMostMeanDifference = 8;  // the encoder's loss on these pictures

struct PictureCase {
    const char* what;
    MovieSpec spec;
    bool placed = true;  // a single pixel, whose chroma the encoder shares with padding, cannot tell its place
};

const PictureCase kPictures[] = {
    {"17x9 at (5,3) in 32x16",
     {.width = 32, .height = 16, .pictureWidth = 17, .pictureHeight = 9, .pictureX = 5, .pictureY = 3, .frames = 3}},
    {"30x14 at (2,2) in 32x16",
     {.width = 32, .height = 16, .pictureWidth = 30, .pictureHeight = 14, .pictureX = 2, .pictureY = 2, .frames = 3}},
    {"33x17 at the corner of 48x32", {.width = 48, .height = 32, .pictureWidth = 33, .pictureHeight = 17, .frames = 3}},
    {"1x1 at (7,12) in 16x16",
     {.width = 16, .height = 16, .pictureWidth = 1, .pictureHeight = 1, .pictureX = 7, .pictureY = 12, .frames = 3},
     false},
    {"the whole 32x16 frame", {.width = 32, .height = 16, .frames = 3}},
};

int PictureWidth(const MovieSpec& s) { return s.pictureWidth > 0 ? s.pictureWidth : s.width; }
int PictureHeight(const MovieSpec& s) { return s.pictureHeight > 0 ? s.pictureHeight : s.height; }

class TheoraPictureTest : public GraphicsTest {};

TEST_F(TheoraPictureTest, TheMovieReportsAndDecodesThePictureOnly) {
    for (const PictureCase& c : kPictures) {
        movietest::WriteBytes("picture.ogv", movietest::EncodeMovie(c.spec));
        int32_t width = 0, height = 0;
        const int32_t movie = OpenMovie("picture.ogv", &width, &height, 0);
        ASSERT_NE(movie, -1) << c.what;
        EXPECT_EQ(width, PictureWidth(c.spec)) << c.what;
        EXPECT_EQ(height, PictureHeight(c.spec)) << c.what;
        const MovieRecord* record = GetMovieRecord(movie);
        EXPECT_EQ(record->width, width) << c.what;
        EXPECT_EQ(record->height, height) << c.what;
        TheoraStreamInfo info{};
        GetTheoraInfo(record->decoder, &info);
        EXPECT_EQ(info.pictureX, c.spec.pictureX) << c.what;
        EXPECT_EQ(info.pictureY, c.spec.pictureY) << c.what;
        EXPECT_EQ(info.codedWidth, c.spec.width) << c.what;
        EXPECT_EQ(info.codedHeight, c.spec.height) << c.what;
        AdvanceTheoraFrames(record->decoder, 1);
        ASSERT_EQ(GetTheoraFrame(record->decoder, 1, 0), 1) << c.what;
        const movietest::Picture frame = movietest::CopyPicture(GetTheoraImage(record->decoder));
        EXPECT_EQ(frame.width, width) << c.what;
        EXPECT_EQ(frame.height, height) << c.what;
        const auto placement =
            movietest::PlacementOf([&](int x, int y) { return frame.At(x, y); }, c.spec, 1);
        if (c.placed) {
            EXPECT_LT(placement.atPicture, kMostMeanDifference) << c.what;
            EXPECT_LT(placement.atPicture, placement.movedBest) << c.what << ": the picture is shown at its place";
        }
        EXPECT_EQ(CloseMovie(movie), 0) << c.what;
    }
}

TEST_F(TheoraPictureTest, AnImageOfTheMovieIsThePictureAndDrawsIt) {
    for (const PictureCase& c : kPictures) {
        movietest::WriteBytes("picture.ogv", movietest::EncodeMovie(c.spec));
        const int32_t image = LoadImageFile("picture.ogv", 0);
        ASSERT_GE(image, 0) << c.what;
        int32_t width = 0, height = 0;
        ASSERT_EQ(GetImageSize(image, &width, &height), 0) << c.what;
        EXPECT_EQ(width, PictureWidth(c.spec)) << c.what;
        EXPECT_EQ(height, PictureHeight(c.spec)) << c.what;
        ClearDrawTarget(nullptr);
        const uint32_t background = ScreenPixel(0, 0);
        ASSERT_EQ(DrawImage(8, 8, image, 0), 0) << c.what;
        const auto placement =
            movietest::PlacementOf([](int x, int y) { return ScreenPixel(8 + x, 8 + y); }, c.spec, 0);
        if (c.placed) {
            EXPECT_LT(placement.atPicture, kMostMeanDifference) << c.what;
            EXPECT_LT(placement.atPicture, placement.movedBest) << c.what << ": the picture is shown at its place";
        }
        EXPECT_EQ(ScreenPixel(8 + width, 8), background) << c.what << ": nothing right of the picture";
        EXPECT_EQ(ScreenPixel(8, 8 + height), background) << c.what << ": nothing below the picture";
        EXPECT_EQ(DeleteImage(image), 0) << c.what;
    }
}

}  // namespace
