// Movies made here, rendered from their files into a capturing RGB24
// renderer and the audio output: first frame, end of play, sound.
#include "graph_fixture.h"
#include "media_maker.h"

namespace dshowtest {
namespace {

struct Case {
    const char* what;
    MovieSpec spec;
};

const Case kMovies[] = {
    {"MPEG-1 system stream", {"mpeg", "mpeg1video", "mp2", 64, 48, 12, 25}},
    {"MJPEG in AVI with PCM", {"avi", "mjpeg", "pcm_s16le"}},
    {"MPEG-4 part 2 in MP4 with AAC", {"mp4", "mpeg4", "aac"}},
    {"VP8 in WebM with Vorbis", {"webm", "libvpx", "libvorbis"}},
    {"odd size, no sound", {"avi", "mjpeg", nullptr, 33, 17}},
};

class RenderFileTest : public GraphTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RenderFileTest, ShowsTheBandsPlaysToTheEndAndIsHeard) {
    const Case& c = GetParam();
    if (!HasEncoder(c.spec.video) || (c.spec.audio != nullptr && !HasEncoder(c.spec.audio)))
        GTEST_SKIP() << "this FFmpeg has no encoder for " << c.what;
    const std::string path = TempPath(std::string("movie.") + c.spec.container);
    ASSERT_EQ(WriteMovie(c.spec, path), "");
    CaptureRenderer* capture = AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK) << c.what;
    EXPECT_EQ(capture->width, c.spec.width);
    EXPECT_EQ(capture->height, c.spec.height);
    EXPECT_EQ(RunToEnd(), EC_COMPLETE) << c.what;
    // An MP4 written with AAC holds one video frame less than was encoded.
    EXPECT_GE(capture->frames, c.spec.frames - 1) << c.what;
    EXPECT_LE(capture->frames, c.spec.frames) << c.what;
    for (int band = 0; band < 4; ++band) {
        const int x = c.spec.width * (2 * band + 1) / 8, y = c.spec.height / 2;
        const std::vector<int> got = capture->Pixel(x, y);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(got[k], kBands[band][k], 28) << c.what << " band " << band;
        }
    }
    if (c.spec.audio != nullptr) {
        EXPECT_GT(loudest.load(), 4000) << c.what;
    }
    Control()->Stop();
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Movies, RenderFileTest, ::testing::ValuesIn(kMovies), [](const auto& info) {
    std::string name = info.param.what;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

struct PartialCase {
    const char* what;
    MovieSpec spec;
    bool withCapture;
    HRESULT expected;
};

const PartialCase kPartial[] = {
    {"picture and sound, no picture renderer", {"avi", "mjpeg", "pcm_s16le"}, false, VFW_S_VIDEO_NOT_RENDERED},
    {"picture only, no picture renderer", {"avi", "mjpeg", nullptr}, false, VFW_E_CANNOT_RENDER},
    {"sound only, a picture renderer waiting", {"wav", nullptr, "pcm_s16le"}, true, S_OK},
    {"MP3 file", {"mp3", nullptr, "libmp3lame"}, false, S_OK},
};

TEST_F(GraphTest, WhatCannotBeRenderedIsReported) {
    for (const PartialCase& c : kPartial) {
        const std::string path = TempPath("partial.bin");
        ASSERT_EQ(WriteMovie(c.spec, path), "") << c.what;
        CaptureRenderer* capture = c.withCapture ? AddCapture() : nullptr;
        EXPECT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), c.expected) << c.what;
        if (capture != nullptr) {
            EXPECT_FALSE(capture->GetPin(0)->IsConnected()) << c.what;
        }
        if (SUCCEEDED(c.expected)) {
            EXPECT_EQ(RunToEnd(), EC_COMPLETE) << c.what;
            EXPECT_GT(loudest.load(), 4000) << c.what;
        }
        Control()->Stop();
        graph->Release();  // a fresh graph for the next case
        CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                         reinterpret_cast<void**>(&graph));
        control->Release();
        control = nullptr;
        loudest = 0;
        std::remove(path.c_str());
    }
}

}  // namespace
}  // namespace dshowtest
