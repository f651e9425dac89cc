// The movie renderer on its own: the types it accepts, the frame buffer's
// size, and the row order of bottom-up and top-down samples.
#include "dshowparts_test_util.h"
#include "movie/movie_renderer.h"

namespace {

using dstest::Bytes;
using dstest::Sample;
using dstest::VideoType;

class MovieRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        HRESULT result = E_FAIL;
        renderer_ = CreateMovieRenderer(nullptr, &result);
        ASSERT_NE(renderer_, nullptr);
        EXPECT_EQ(result, S_OK);
        renderer_->AddRef();
        blocks_ = AllocatedBlockCount();
    }
    void TearDown() override {
        ReleasePicture();
        renderer_->Release();
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0);
    }
    void ReleasePicture() {
        FreeMemory(picture_.pixels);
        picture_.pixels = nullptr;
    }

    // Rows of pitch bytes, each filled with its row number + 1.
    static Bytes Rows(int rows, int pitch) {
        Bytes b;
        for (int r = 0; r < rows; ++r) b.insert(b.end(), static_cast<size_t>(pitch), static_cast<uint8_t>(r + 1));
        return b;
    }

    MovieRenderer* renderer_ = nullptr;
    PixelImage picture_{};
    uint32_t blocks_ = 0;
};

TEST_F(MovieRendererTest, OnlyRgb24VideoWithAVideoInfoHeaderIsAccepted) {
    const struct Case {
        const char* what;
        MediaTypeValue type;
        HRESULT result;
    } cases[] = {
        {"RGB24", VideoType(16, 8), S_OK},
        {"RGB24 top-down", VideoType(16, -8), S_OK},
        {"RGB32", VideoType(16, 8, MEDIASUBTYPE_RGB32), E_FAIL},
        {"YUV", VideoType(16, 8, MEDIASUBTYPE_IYUV), E_FAIL},
        {"another format type, RGB24", VideoType(16, 8, MEDIASUBTYPE_RGB24, FORMAT_WaveFormatEx), E_INVALIDARG},
        {"another format type, RGB32", VideoType(16, 8, MEDIASUBTYPE_RGB32, FORMAT_None), E_INVALIDARG},
        {"audio", dstest::TypeOf(MEDIATYPE_Audio, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, nullptr, 0), E_FAIL},
        {"a format block too short", dstest::TypeOf(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo, "ab", 2),
         E_INVALIDARG},
        {"width 0", VideoType(0, 8), E_FAIL},
        {"height 0", VideoType(16, 0), E_FAIL},
        {"enormous", VideoType(60000, 60000), E_FAIL},
        // The one movie limit of every road, either way up.
        {"at the limit", VideoType(3840, 2176), S_OK},
        {"upright at the limit, top-down", VideoType(2176, -3840), S_OK},
        {"two columns past the limit", VideoType(3842, 2176), E_FAIL},
        {"both sides past the shorter one", VideoType(2178, -2178), E_FAIL},
    };
    for (const Case& c : cases) EXPECT_EQ(renderer_->CheckMediaType(&c.type), c.result) << c.what;
    EXPECT_EQ(renderer_->CheckMediaType(nullptr), E_POINTER);
}

TEST_F(MovieRendererTest, TheBufferRowsAreWholeWordsTopDown) {
    const struct Case {
        int32_t width, height, pitch, bottomUp;
    } cases[] = {{1, 2, 4, 1}, {3, 2, 12, 1}, {5, -2, 16, 0}, {4, -1, 12, 0}};
    for (const Case& c : cases) {
        const MediaTypeValue type = VideoType(c.width, c.height);
        renderer_->newFrame = 1;
        ASSERT_EQ(renderer_->SetMediaType(&type), S_OK);
        EXPECT_EQ(renderer_->pitch, c.pitch) << c.width;
        EXPECT_EQ(renderer_->height, std::abs(c.height)) << c.width;
        EXPECT_EQ(renderer_->bottomUpSource, c.bottomUp) << c.width;
        EXPECT_EQ(renderer_->newFrame, 0) << "a new type clears the flag";
        ASSERT_NE(renderer_->frameBuffer, nullptr);
    }
    EXPECT_EQ(AllocatedBlockCount(), blocks_ + 1) << "the old buffer goes with each new type";
}

TEST_F(MovieRendererTest, BottomUpRowsAreReversedAndTopDownOnesCopied) {
    const struct Case {
        const char* what;
        int32_t height;
    } cases[] = {{"bottom-up, 2 rows", 2}, {"top-down, 2 rows", -2}, {"bottom-up, 3 rows", 3}, {"top-down, 3 rows", -3}};
    for (const Case& c : cases) {
        const MediaTypeValue type = VideoType(1, c.height);
        ASSERT_EQ(renderer_->SetMediaType(&type), S_OK);
        Sample sample(Rows(std::abs(c.height), 4));
        ASSERT_EQ(renderer_->DoRenderSample(sample.get()), S_OK) << c.what;
        EXPECT_EQ(renderer_->newFrame, 1) << c.what;
        ASSERT_TRUE(renderer_->TakeFrame(&picture_)) << c.what;
        const uint8_t* rows = static_cast<const uint8_t*>(picture_.pixels);
        const int h = std::abs(c.height);
        for (int r = 0; r < h; ++r) {
            const int expected = c.height > 0 ? h - r : r + 1;  // bottom-up: the first row lands last
            EXPECT_EQ(rows[r * 4], expected) << c.what << " row " << r;
        }
        EXPECT_EQ(picture_.pitch, 4);
        EXPECT_EQ(picture_.format.colorBitDepth, 24);
    }
    EXPECT_EQ(renderer_->DoRenderSample(nullptr), E_POINTER);
}

TEST_F(MovieRendererTest, SamplesWithoutABufferOrShortOnesAreSafe) {
    Sample sample(Rows(2, 4));
    EXPECT_EQ(renderer_->DoRenderSample(sample.get()), S_OK) << "no type yet: dropped";
    EXPECT_EQ(renderer_->newFrame, 0);
    EXPECT_FALSE(renderer_->TakeFrame(&picture_));
    const MediaTypeValue type = VideoType(1, -4);
    ASSERT_EQ(renderer_->SetMediaType(&type), S_OK);
    ASSERT_EQ(renderer_->DoRenderSample(sample.get()), S_OK);  // half a frame
    ASSERT_TRUE(renderer_->TakeFrame(&picture_));
    EXPECT_EQ(static_cast<const uint8_t*>(picture_.pixels)[4], 2);
}

}  // namespace
