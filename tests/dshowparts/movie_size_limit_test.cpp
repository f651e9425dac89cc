// One frame-size limit for every road a movie takes: files whose headers
// claim frames past 3840 x 2176 (either way up) are refused by the Theora
// player and by DirectShow alike, with the open's log lines and without an
// allocation for the claimed frames; frames at the limit open.
#include "../graphics/graphics_test_util.h"
#include "dshowparts_test_util.h"
#include "movie/movie_internal.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

using dstest::AvMovie;
using dstest::Bytes;
using movietest::Contains;

// A movie of one MJPEG picture (a road only DirectShow takes).
Bytes Mjpeg(int width, int height) {
    AvMovie m = dstest::MovieFormats()[1];
    m.audio = AV_CODEC_ID_NONE;
    m.width = width;
    m.height = height;
    m.pictures = 1;
    m.hold = 1;
    EXPECT_TRUE(dstest::WriteAvMovie(m, "limit.avi"));
    return graphics_test::ReadBytes("limit.avi");
}

Bytes Repro(const char* name) {
    return graphics_test::ReadBytes(std::string(TEST_SOURCE_DIR) + "/tests/movie/data/" + name);
}

struct SizeCase {
    const char* name;
    int width, height;
    bool opens;
    Bytes (*make)();
    bool theora = false;  // refused first by the Theora player, with its own line
};

const SizeCase kSizes[] = {
    {"MjpegAtTheLimit", 3840, 2176, true, [] { return Mjpeg(3840, 2176); }},
    {"MjpegUprightAtTheLimit", 2176, 3840, true, [] { return Mjpeg(2176, 3840); }},
    {"MjpegJustUnderTheLimit", 3838, 2174, true, [] { return Mjpeg(3838, 2174); }},
    {"MjpegTwoColumnsWider", 3842, 2176, false, [] { return Mjpeg(3842, 2176); }},
    {"MjpegUprightTwoRowsTaller", 2176, 3842, false, [] { return Mjpeg(2176, 3842); }},
    {"MjpegBothSidesPastTheShortSide", 2178, 2178, false, [] { return Mjpeg(2178, 2178); }},
    {"TheoraOneBlockWider", 3856, 2176, false,
     [] { return movietest::EncodeMovie({.width = 3856, .height = 2176, .frames = 1}); }, true},
    {"Theora16384x4096", 16384, 4096, false, [] { return Repro("theora_16384x4096.ogv"); }, true},
    {"Theora8192x4128", 8192, 4128, false, [] { return Repro("timeout-8192x4128-31frames.ogv"); }, true},
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.width << "x" << c.height; }

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

constexpr long kRefusalKilobytes = 64 * 1024;

class MovieSizeLimitTest : public graphics_test::GraphicsTest, public ::testing::WithParamInterface<SizeCase> {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        dshow::RegisterClasses();
    }
    void TearDown() override {
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << "no graph thread left running";
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << "every filter released";
        GraphicsTest::TearDown();
    }
};

TEST_P(MovieSizeLimitTest, EveryRoadKeepsTheOneLimit) {
    const SizeCase& c = GetParam();
    graphics_test::WriteBytes("sized.mov", c.make());
    if (!c.opens) {
        // First, in a fresh process whose peak is this test's set-up: a
        // refusal costs the probe's buffers, never the claimed frames.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                const long before = PeakKilobytes();
                const int32_t movie = OpenMovie("sized.mov", nullptr, nullptr, 0);
                _exit(movie == -1 && PeakKilobytes() - before < kRefusalKilobytes ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
    MarkLog();
    int32_t width = 0, height = 0;
    const int32_t movie = OpenMovie("sized.mov", &width, &height, 0);
    if (c.opens) {
        ASSERT_NE(movie, -1) << NewLog();
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(CloseMovie(movie), 0);
        return;
    }
    EXPECT_EQ(movie, -1);
    if (movie != -1) CloseMovie(movie);
    EXPECT_TRUE(Contains(NewLog(), "ファイル:sized.mov が開けませんでした")) << NewLog();
    EXPECT_TRUE(Contains(NewLog(), "ムービーファイルオープン処理時にエラーが発生しました")) << NewLog();
    // A refusal on DirectShow's road alone says the size and the limit.
    char line[96];
    std::snprintf(line, sizeof line, "ムービーのフレームサイズ(%d x %d)が上限(3840 x 2176)を超えています", c.width,
                  c.height);
    EXPECT_TRUE(c.theora || Contains(NewLog(), line)) << NewLog();
    char theoraLine[96];
    std::snprintf(theoraLine, sizeof theoraLine, "Theora ムービーのフレームサイズ(%d x %d)が上限を超えています", c.width,
                  c.height);
    EXPECT_EQ(Contains(NewLog(), theoraLine), c.theora) << NewLog();
}

INSTANTIATE_TEST_SUITE_P(Sizes, MovieSizeLimitTest, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
