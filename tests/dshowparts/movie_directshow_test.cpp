// Movies the Theora player refuses, played through DirectShow: MPEG-1, MJPEG
// AVI, MP4 and WebM files with sound open through LoadImageFile, show their
// first frame once they play, play to their end or loop, pause, resume and
// close; an archive member is rendered from a temporary copy; bad files are
// refused with the open's two lines and leave no thread behind.
#include "../graphics/graphics_test_util.h"
#include "dshowparts_test_util.h"
#include "movie/movie_internal.h"
#include "movie/movie_renderer.h"
#include "platform/kernel32/kernel32.h"
#include "platform/winmm/winmm.h"

#include <unistd.h>

#include <filesystem>

namespace {

using dstest::AvMovie;
using dstest::Bytes;
using graphics_test::RawPixel;
using movietest::Contains;
using movietest::SourcePixel;

class MovieDirectShowTest : public graphics_test::GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        dshow::RegisterClasses();
        setenv("TMPDIR", graphics_test::WorkDirectory().c_str(), 1);
    }
    void TearDown() override {
        SetFileFunctionTable(nullptr);
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << "no graph thread left running";
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << "every filter released";
        GraphicsTest::TearDown();
    }

    static std::string Write(const AvMovie& m, const std::string& name) {
        const std::string path = name + "." + m.extension;
        EXPECT_TRUE(dstest::WriteAvMovie(m, path)) << m.what;
        return path;
    }

    // Starts the movie as the window's activation does.
    static void Play(int32_t movie, bool loop = false) {
        MovieRecord* r = GetMovieRecord(movie);
        r->playing = 1;
        if (loop) r->playType |= kMoviePlayLoop;
        ResumeAllMovies();
    }

    // Updates the movie until done says so (a bound of 20 s stops a test
    // whose movie never gets there).
    template <typename Done>
    static bool UpdateUntil(int32_t movie, Done done) {
        const DWORD start = timeGetTime();
        while (timeGetTime() - start < 20000) {
            UpdateMovieFrame(movie, 0);
            if (done()) return true;
            usleep(2000);
        }
        return false;
    }

    // The largest channel difference between the image and the source
    // picture of frame k (compressed: a few levels off).
    static int LargestDifference(int32_t image, int k) {
        const MEMIMG& img = FindImage(image)->memImg;
        int largest = 0;
        for (int y = 4; y < img.base->height - 4; ++y)
            for (int x = 4; x < img.base->width - 4; ++x) {
                const uint32_t v = RawPixel(img, x, y);
                const movietest::Rgb s = SourcePixel(k, x, y, img.base->width, img.base->height);
                for (int d : {int((v >> 16) & 0xFF) - s.red, int((v >> 8) & 0xFF) - s.green, int(v & 0xFF) - s.blue})
                    largest = std::max(largest, std::abs(d));
            }
        return largest;
    }
    static int FrameInImage(int32_t image) {
        const MEMIMG& img = FindImage(image)->memImg;
        double sum = 0;
        for (int y = 0; y < img.base->height; ++y)
            for (int x = 0; x < img.base->width; ++x) sum += RawPixel(img, x, y) & 0xFF;
        return static_cast<int>(std::lround((sum / (img.base->width * img.base->height) - 16) / 8));
    }
};

TEST_F(MovieDirectShowTest, EveryFormatOpensAsAnImageAndPlaysItsFramesToTheEnd) {
    for (const AvMovie& format : dstest::MovieFormats()) {
        const std::string path = Write(format, "clip");
        const int32_t image = LoadImageFile(path.c_str(), 0);
        ASSERT_NE(image, -1) << format.what << NewLog();
        int32_t w = 0, h = 0;
        GetImageSize(image, &w, &h);
        EXPECT_EQ(w, format.width) << format.what;
        EXPECT_EQ(h, format.height) << format.what;
        const int32_t movie = FindImage(image)->movieHandle;
        MovieRecord* r = GetMovieRecord(movie);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->theora, 0) << format.what;
        EXPECT_NEAR(static_cast<double>(r->duration), 1e7 * format.Frames() / format.fps, 2e7 / format.fps)
            << format.what;
        EXPECT_EQ(r->renderer->FramesRendered(), 0) << "the graph stays stopped until the movie plays";

        // A graph paused from stopped shows its first frame at once.
        r->mediaControl->Pause();
        ASSERT_TRUE(UpdateUntil(movie, [&] { return r->currentPicture->pixels != nullptr; })) << format.what;
        EXPECT_EQ(FrameInImage(image), 0) << format.what;
        EXPECT_LT(LargestDifference(image, 0), 40) << format.what;
        Play(movie);
        ASSERT_TRUE(UpdateUntil(movie, [&] { return r->playing == 0; })) << format.what << ": the end is found";
        EXPECT_EQ(r->paused, 1) << format.what;
        EXPECT_EQ(FrameInImage(image), format.pictures - 1) << format.what << ": the last picture stays";
        ASSERT_EQ(DeleteImage(image), 0);
    }
}

TEST_F(MovieDirectShowTest, ALoopingMovieStartsAgainFromItsFirstFrame) {
    const AvMovie& format = dstest::MovieFormats()[0];
    const int32_t movie = OpenMovie(Write(format, "loop").c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1) << NewLog();
    MovieRecord* r = GetMovieRecord(movie);
    std::vector<int> shown;
    SetMovieFrameCallback(movie, [](MovieRecord* record, uintptr_t user) {
        reinterpret_cast<std::vector<int>*>(user)->push_back(dstest::FrameOf24(*record->currentPicture));
    }, reinterpret_cast<uintptr_t>(&shown));
    Play(movie, true);
    // Past the last picture and back to the first ones.
    ASSERT_TRUE(UpdateUntil(movie, [&] {
        return std::find(shown.begin(), shown.end(), format.pictures - 1) != shown.end() && shown.back() < 2;
    })) << ::testing::PrintToString(shown);
    EXPECT_EQ(r->playing, 1);
    EXPECT_EQ(r->paused, 0);
    ASSERT_EQ(CloseMovie(movie), 0) << "closing a running graph is safe";
}

TEST_F(MovieDirectShowTest, PauseAndResumeDriveTheGraph) {
    const int32_t movie = OpenMovie(Write(dstest::MovieFormats()[1], "pause").c_str(), nullptr, nullptr, 0);
    ASSERT_NE(movie, -1) << NewLog();
    MovieRecord* r = GetMovieRecord(movie);
    OAFilterState state = -1;
    r->mediaControl->GetState(1000, &state);
    EXPECT_EQ(state, State_Stopped) << "a movie opens stopped";
    Play(movie);
    r->mediaControl->GetState(1000, &state);
    EXPECT_EQ(state, State_Running);
    PauseAllMovies();
    r->mediaControl->GetState(1000, &state);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(r->playing, 1);
    ResumeAllMovies();
    r->mediaControl->GetState(1000, &state);
    EXPECT_EQ(state, State_Running);
    PauseMovie(movie, 0);
    ResumeAllMovies();
    r->mediaControl->GetState(1000, &state);
    EXPECT_EQ(state, State_Paused) << "a pause without keep-playing stays";
    // Paused by the window right at its stop time: a movie that does not
    // loop has ended; a looping one goes back to its start, still paused.
    for (const bool loop : {false, true}) {
        r->playing = 1;
        r->playType = loop ? 1 | kMoviePlayLoop : 1;
        LONGLONG at = r->stopTime;
        r->mediaSeeking->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        UpdateMovieFrame(movie, 0);
        EXPECT_EQ(r->playing, loop ? 1 : 0) << loop;
        EXPECT_EQ(r->paused, 1) << loop;
        r->mediaSeeking->GetCurrentPosition(&at);
        EXPECT_EQ(at, loop ? 0 : r->stopTime) << loop;
        r->mediaControl->GetState(1000, &state);
        EXPECT_EQ(state, State_Paused) << loop;
    }
    ASSERT_EQ(CloseMovie(movie), 0);
}

TEST_F(MovieDirectShowTest, AZeroDurationIsTakenAsOneSixtiethOfASecond) {
    const std::string path = Write(dstest::MovieFormats()[0], "zero");
    seams::FailCall("IMediaSeeking::GetDuration", 1, S_OK);  // "succeeds" with nothing
    const int32_t movie = OpenMovie(path.c_str(), nullptr, nullptr, 0);
    seams::ClearAllCalls();
    ASSERT_NE(movie, -1) << NewLog();
    EXPECT_EQ(GetMovieRecord(movie)->duration, kZeroDurationStandIn);
    CloseMovie(movie);
}

// A file only the file layer knows, as an archive member is: the name maps
// to a stored file elsewhere.
const char* const kMemberName = "packed\\member.bin";
std::string g_storedFile;
DWORD_PTR OpenMember(const char* path, int32_t cache, int32_t block, int32_t async) {
    const char* name = std::strcmp(path, kMemberName) == 0 ? g_storedFile.c_str() : path;
    return GetPlainFileFunctionTable()->Open(name, cache, block, async);
}

TEST_F(MovieDirectShowTest, AFileDirectShowCannotNameIsPlayedFromATemporaryCopy) {
    FileFunctionTable table = *GetPlainFileFunctionTable();
    table.Open = OpenMember;
    SetFileFunctionTable(&table);
    g_storedFile = Write(dstest::MovieFormats()[0], "stored");
    const int32_t movie = OpenMovie(kMemberName, nullptr, nullptr, 0);
    ASSERT_NE(movie, -1) << NewLog();
    MovieRecord* r = GetMovieRecord(movie);
    EXPECT_EQ(r->temporaryFile, 1);
    char narrow[MAX_PATH * 2] = {};
    WideCharToMultiByte(932, 0, r->path, -1, narrow, sizeof narrow, nullptr, nullptr);
    const std::string copy = platform::PathToNative(narrow);
    EXPECT_EQ(graphics_test::ReadBytes(copy), graphics_test::ReadBytes(g_storedFile));
    ASSERT_EQ(CloseMovie(movie), 0);
    EXPECT_FALSE(std::filesystem::exists(copy)) << "closing deletes the copy";

    // Files DirectShow cannot render even from the copy: the copy is whole
    // (1 MB in one chunk, one byte more in two, nothing for an empty file),
    // then deleted.
    for (size_t size : {size_t{1} << 20, (size_t{1} << 20) + 1, size_t{0}}) {
        Bytes garbage(size);
        for (size_t i = 0; i < size; ++i) garbage[i] = static_cast<uint8_t>(i * 7 + i / 251);
        g_storedFile = "garbage.bin";
        graphics_test::WriteBytes(g_storedFile, garbage);
        MarkLog();
        seams::FailCall("DeleteFileA", 1);  // keep the copy to look at it
        EXPECT_EQ(OpenMovie(kMemberName, nullptr, nullptr, 0), -1) << size;
        seams::ClearAllCalls();
        EXPECT_TRUE(Contains(NewLog(), "ファイル:packed\\member.bin が開けませんでした")) << NewLog();
        EXPECT_TRUE(Contains(NewLog(), "ムービーファイルオープン処理時にエラーが発生しました"));
        int copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(graphics_test::WorkDirectory())) {
            if (entry.path().extension() != ".tmp") continue;
            ++copies;
            EXPECT_EQ(graphics_test::ReadBytes(entry.path().string()), garbage) << size;
            std::filesystem::remove(entry.path());
        }
        EXPECT_EQ(copies, 1) << size;
    }
}

TEST_F(MovieDirectShowTest, BadFilesAreRefusedWithBothLines) {
    // An MJPEG AVI whose headers and pictures claim 60000 x 60000 pixels.
    AvMovie plain = dstest::MovieFormats()[1];
    plain.audio = AV_CODEC_ID_NONE;
    Bytes huge = graphics_test::ReadBytes(Write(plain, "huge"));
    const auto patch = [&huge](const char* chunk, size_t offset) {
        const auto at = std::search(huge.begin(), huge.end(), chunk, chunk + 4);
        ASSERT_NE(at, huge.end()) << chunk;
        for (size_t field : {offset, offset + 4})
            for (size_t i = 0; i < 4; ++i) huge[static_cast<size_t>(at - huge.begin()) + 8 + field + i] = (60000 >> (8 * i)) & 0xFF;
    };
    patch("avih", 32);  // dwWidth, dwHeight
    patch("strf", 4);   // biWidth, biHeight
    for (size_t i = 0; i + 9 < huge.size(); ++i)  // and every JPEG frame header's height and width
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) std::fill(huge.begin() + static_cast<long>(i) + 5, huge.begin() + static_cast<long>(i) + 9, 0xEA);
    // An MP4 cut in half: its index, written last, is gone.
    const Bytes mp4 = graphics_test::ReadBytes(Write(dstest::MovieFormats()[2], "whole"));
    Bytes noise(50000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"empty", {}},
        {"noise", noise},
        {"MP4 cut in half", Bytes(mp4.begin(), mp4.begin() + static_cast<long>(mp4.size() / 2))},
        {"enormous pictures", huge},
    };
    for (const Case& c : cases) {
        graphics_test::WriteBytes("bad.mpg", c.file);
        MarkLog();
        EXPECT_EQ(OpenMovie("bad.mpg", nullptr, nullptr, 0), -1) << c.what;
        EXPECT_TRUE(Contains(NewLog(), "ファイル:bad.mpg が開けませんでした")) << c.what << NewLog();
        EXPECT_TRUE(Contains(NewLog(), "ムービーファイルオープン処理時にエラーが発生しました")) << c.what;
        EXPECT_EQ(dshow::LiveStreamingThreadsForTest(), 0) << c.what;
    }
    MarkLog();
    EXPECT_EQ(LoadImageFile("bad.mpg", 0), -1);
    EXPECT_TRUE(Contains(NewLog(), "画像ファイル bad.mpg を読み込めませんでした"));
}

TEST_F(MovieDirectShowTest, EachFailureOfTheGraphSetUpLogsItsLine) {
    const std::string path = Write(dstest::MovieFormats()[0], "steps");
    const struct Case {
        const char* what;
        const char* seam;
        const char* log;
    } cases[] = {
        {"graph", "CoCreateInstance", "CLSID_FilterGraph の作成に失敗しました"},
        {"renderer", "IGraphBuilder::AddFilter", "Could not add renderer filter to graph!"},
        {"basic audio", "QueryInterface(IBasicAudio)", "BasicAudio インターフェースの取得に失敗しました"},
        {"media control", "QueryInterface(IMediaControl)", "IID_IMediaControlインターフェイスの取得に失敗しました"},
        {"media seeking", "QueryInterface(IMediaSeeking)", "IID_IMediaSeekingインターフェイスの取得に失敗しました"},
    };
    for (const Case& c : cases) {
        MarkLog();
        seams::FailCall(c.seam, 1);
        EXPECT_EQ(OpenMovie(path.c_str(), nullptr, nullptr, 0), -1) << c.what;
        seams::ClearAllCalls();
        EXPECT_TRUE(Contains(NewLog(), (std::string(c.log) + "\r\n").c_str())) << c.what << ": a line of its own\n"
                                                                             << NewLog();
        EXPECT_EQ(dshow::LiveFiltersForTest(), 0) << c.what;
    }
}

}  // namespace
