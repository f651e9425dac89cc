// Movie handles over Theora files without a sound track: open and close, the
// table's limits and check values, refusals, and the frame update driven by
// the clock (forward, looping, ending, paused), pause and resume.
#include "core/library.h"
#include "file/file.h"
#include "movie/movie.h"
#include "platform/kernel32/kernel32.h"
#include "movie_test_util.h"

using namespace movietest;

namespace {

constexpr int64_t kSecondUs = 1000000;

class MovieHandlesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PrepareMovieTests();
        // One frame a second: a frame lasts long enough for a test to place
        // the clock in its middle.
        WriteBytes("six.ogv", EncodeMovie({.frames = 6, .fpsNumerator = 1}));
        const MovieSpec small{.width = 16, .height = 16, .frames = 2, .fpsNumerator = 1};
        WriteBytes("small.ogv", EncodeMovie(small));
        WriteBytes("headers.ogv", EncodeHeadersOnly(small));
        WriteBytes("text.ogv", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
    }

    void SetUp() override { blocksBefore_ = AllocatedBlockCount(); }

    void TearDown() override {
        for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot) {
            for (int32_t check = 0; check < 2048; ++check) {
                const int32_t handle = ((check | 0x1800) << 16) | slot;
                if (GetMovieRecord(handle) != nullptr) CloseMovie(handle);
            }
        }
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(AllocatedBlockCount(), blocksBefore_) << "memory blocks left behind";
    }

    // Counts the frame callback's calls and remembers what it was given.
    struct Calls {
        int count = 0;
        MovieRecord* record = nullptr;
        uintptr_t userWord = 0;
        int frameShown = -1;
    };
    static void CountCall(MovieRecord* record, uintptr_t userWord) {
        Calls* calls = reinterpret_cast<Calls*>(userWord);
        ++calls->count;
        calls->record = record;
        calls->userWord = userWord;
        GetTheoraFrame(record->decoder, 1, 0);
        calls->frameShown = FrameShown(CopyPicture(record->currentPicture));
    }

    // Makes a movie play (nothing in the library starts one: a resume needs
    // a movie meant to play).
    static void Play(int32_t handle, int32_t playType = 1) {
        MovieRecord* r = GetMovieRecord(handle);
        ASSERT_NE(r, nullptr);
        r->playing = 1;
        r->playType = playType;
        ResumeAllMovies();
        ASSERT_EQ(r->paused, 0);
    }

    // Puts the clock of a playing movie in the middle of the given frame
    // period (1 second each) and updates it.
    static void UpdateAt(int32_t handle, double frames) {
        MovieRecord* r = GetMovieRecord(handle);
        r->startTime = GetTimeUs(0) - static_cast<int64_t>(frames * kSecondUs);
        UpdateMovieFrame(handle, 0);
    }

    static int32_t Current(int32_t handle) { return GetTheoraCurrentFrame(GetMovieRecord(handle)->decoder); }

    uint32_t blocksBefore_ = 0;
};

TEST_F(MovieHandlesTest, AnOpenedMovieIsPausedOnItsFirstFrameAndClosesCleanly) {
    int32_t width = 0, height = 0;
    const int32_t movie = OpenMovie("six.ogv", &width, &height, 0);
    ASSERT_NE(movie, -1);
    EXPECT_EQ(movie & 0x78000000, 0x18000000);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 32);
    MovieRecord* r = GetMovieRecord(movie);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->handleCheck, (movie >> 16) & 0x7FF);
    EXPECT_EQ(r->theora, 1);
    EXPECT_EQ(r->paused, 1);
    EXPECT_EQ(r->playing, 0);
    EXPECT_EQ(r->playType, 1);
    EXPECT_EQ(r->sound, -1) << "no sound running, and no track";
    EXPECT_EQ(r->width, 32);
    EXPECT_EQ(r->height, 32);
    EXPECT_NE(r->file, 0u);
    ASSERT_EQ(r->currentPicture, GetTheoraImage(r->decoder));
    EXPECT_EQ(FrameShown(CopyPicture(r->currentPicture)), 0);
    EXPECT_EQ(GetMovieCount(), 1);

    // Out arguments may be left out.
    const int32_t second = OpenMovie("six.ogv", nullptr, nullptr, 0);
    EXPECT_NE(second, -1);
    EXPECT_NE(second, movie);
    EXPECT_EQ(GetMovieCount(), 2);
    // A system handle the record holds is closed with it.
    const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    GetMovieRecord(second)->systemHandle = event;
    EXPECT_EQ(CloseMovie(second), 0);
    EXPECT_EQ(CloseHandle(event), FALSE) << "already closed";
    EXPECT_EQ(CloseMovie(movie), 0);
    EXPECT_EQ(CloseMovie(movie), -1);
    EXPECT_EQ(GetMovieRecord(movie), nullptr);
    EXPECT_EQ(GetMovieCount(), 0);
}

TEST_F(MovieHandlesTest, FilesTheTheoraPlayerRefusesDoNotOpenAndSayWhy) {
    for (const char* name : {"text.ogv", "missing.ogv"}) {
        const uint32_t blocks = AllocatedBlockCount();
        const LogMark mark;
        int32_t width = 7, height = 7;
        EXPECT_EQ(OpenMovie(name, &width, &height, 0), -1) << name;
        const std::string log = mark.Text();
        EXPECT_TRUE(Contains(log, (std::string("ファイル:") + name + " が開けませんでした").c_str())) << log;
        EXPECT_TRUE(Contains(log, "ムービーファイルオープン処理時にエラーが発生しました")) << log;
        EXPECT_EQ(width, 7) << "out arguments are left alone";
        EXPECT_EQ(GetMovieCount(), 0);
        EXPECT_EQ(AllocatedBlockCount(), blocks);
    }
    EXPECT_EQ(OpenMovie(nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(OpenMovie("", nullptr, nullptr, 0), -1);

    seams::FailCall("AllocMemory", 1);
    const LogMark mark;
    EXPECT_EQ(OpenMovie("six.ogv", nullptr, nullptr, 0), -1);
    seams::ClearAllCalls();
    EXPECT_TRUE(Contains(mark.Text(), "メモリの確保に失敗しました in OpenMovie"));
}

TEST_F(MovieHandlesTest, TheTableHoldsAHundredMoviesAndReusesTheLowestFreeSlot) {
    std::vector<int32_t> movies;
    for (int i = 0; i < kMaxMovieHandles; ++i) {
        movies.push_back(OpenMovie("small.ogv", nullptr, nullptr, 0));
        ASSERT_NE(movies.back(), -1) << i;
        EXPECT_EQ(movies.back() & 0xFFFF, i);
    }
    {
        const LogMark mark;
        EXPECT_EQ(OpenMovie("small.ogv", nullptr, nullptr, 0), -1);
        EXPECT_EQ(mark.Text(), "") << "a full table is refused without a message";
    }
    ASSERT_EQ(CloseMovie(movies[40]), 0);
    ASSERT_EQ(CloseMovie(movies[7]), 0);
    const int32_t reopened = OpenMovie("small.ogv", nullptr, nullptr, 0);
    EXPECT_EQ(reopened & 0xFFFF, 7);
    EXPECT_EQ(GetMovieRecord(movies[7]), nullptr) << "the old handle of the slot is stale";
    EXPECT_EQ(CloseMovie(movies[7]), -1);
    EXPECT_NE(GetMovieRecord(reopened), nullptr);
    EXPECT_EQ(GetMovieCount(), 99);
}

TEST_F(MovieHandlesTest, CheckValuesCountUpToWrapFrom2047To0) {
    int32_t first = OpenMovie("headers.ogv", nullptr, nullptr, 0);
    ASSERT_NE(first, -1);
    const int32_t start = GetMovieRecord(first)->handleCheck;
    ASSERT_EQ(CloseMovie(first), 0);
    bool wrapped = false;
    for (int i = 1; i <= 2048; ++i) {
        const int32_t movie = OpenMovie("headers.ogv", nullptr, nullptr, 0);
        ASSERT_NE(movie, -1);
        const int32_t check = GetMovieRecord(movie)->handleCheck;
        ASSERT_EQ(check, (start + i) % 2048) << i;
        ASSERT_EQ((movie >> 16) & 0x7FF, check);
        wrapped = wrapped || check == 0;
        if (i == 1) {
            EXPECT_EQ(GetMovieRecord(first), nullptr) << "the slot's earlier handle is stale";
        }
        ASSERT_EQ(CloseMovie(movie), 0);
    }
    EXPECT_TRUE(wrapped);
}

TEST_F(MovieHandlesTest, InvalidHandlesAreRefusedByEveryCall) {
    const int32_t movie = OpenMovie("small.ogv", nullptr, nullptr, 0);
    ASSERT_NE(movie, -1);
    const int32_t otherCheck = movie ^ 0x00010000;
    const int32_t imageType = (movie & ~0x78000000) | 0x08000000;
    const int32_t emptySlot = (movie & ~0xFFFF) | 50;
    const int32_t beyond = (movie & ~0xFFFF) | 100;
    for (int32_t bad : {-1, 0, otherCheck, imageType, emptySlot, beyond}) {
        EXPECT_EQ(GetMovieRecord(bad), nullptr) << std::hex << bad;
        EXPECT_EQ(CloseMovie(bad), -1) << std::hex << bad;
        EXPECT_EQ(SetMovieFrameCallback(bad, nullptr, 0), -1);
        EXPECT_EQ(PauseMovie(bad, 1), -1);
        EXPECT_EQ(PlaceMovieOverlay(0, 0, 1, bad, 1), -1);
        EXPECT_EQ(UpdateMovieFrame(bad, 0), 0);
    }
    EXPECT_EQ(PlaceMovieOverlay(0, 0, 1, movie, 1), 0) << "a Theora movie has no overlay to place";
    EXPECT_EQ(RefreshMovieOverlays(), 0);
    EXPECT_EQ(CloseMovie(movie), 0);
}

TEST_F(MovieHandlesTest, ThePictureFollowsTheClockAndAPausedMovieStillCallsBack) {
    const int32_t movie = OpenMovie("six.ogv", nullptr, nullptr, 0);
    Calls calls;
    ASSERT_EQ(SetMovieFrameCallback(movie, CountCall, reinterpret_cast<uintptr_t>(&calls)), 0);

    // Paused: the callback runs, the frame stays.
    UpdateAt(movie, 3.5);
    EXPECT_EQ(calls.count, 1);
    EXPECT_EQ(calls.record, GetMovieRecord(movie));
    EXPECT_EQ(calls.userWord, reinterpret_cast<uintptr_t>(&calls));
    EXPECT_EQ(Current(movie), 0);
    EXPECT_EQ(GetMovieRecord(movie)->frameDelivered, 1);

    Play(movie);
    for (double at : {0.5, 1.5, 2.5, 4.5}) {
        UpdateAt(movie, at);
        EXPECT_EQ(Current(movie), static_cast<int32_t>(at));
        EXPECT_EQ(calls.frameShown, static_cast<int32_t>(at)) << "the callback gets the new frame";
    }
    // The clock going back (a wrap) moves the decoder forward around the end.
    UpdateAt(movie, 1.5);
    EXPECT_EQ(Current(movie), 1);
    EXPECT_EQ(calls.frameShown, 1);
    EXPECT_EQ(GetMovieRecord(movie)->playing, 1);
}

TEST_F(MovieHandlesTest, PastTheLastFrameALoopingMovieWrapsAndAnotherEnds) {
    const int32_t looping = OpenMovie("six.ogv", nullptr, nullptr, 0);
    const int32_t once = OpenMovie("six.ogv", nullptr, nullptr, 0);
    Play(looping, 1 | kMoviePlayLoop);
    Play(once, 1);
    // 2.5 frame periods past the last frame (frame 5): 8 elapsed frames.
    UpdateAt(looping, 8.5);
    UpdateAt(once, 8.5);
    EXPECT_EQ(Current(looping), 8 % 6);
    EXPECT_EQ(Current(once), 5);
    MovieRecord* r = GetMovieRecord(once);
    EXPECT_EQ(r->playing, 1) << "the first update only reaches the last frame";
    UpdateAt(once, 9.5);
    EXPECT_EQ(r->playing, 0) << "the next update with the frame unchanged ends the movie";
    EXPECT_EQ(r->paused, 1);
    ResumeAllMovies();
    EXPECT_EQ(r->paused, 1) << "an ended movie is not resumed";
    EXPECT_EQ(GetMovieRecord(looping)->playing, 1);
}

TEST_F(MovieHandlesTest, PauseWithKeepPlayingResumesWhereItStoppedAndPauseWithoutDoesNot) {
    const int32_t kept = OpenMovie("six.ogv", nullptr, nullptr, 0);
    const int32_t stopped = OpenMovie("six.ogv", nullptr, nullptr, 0);
    Play(kept);
    Play(stopped);
    UpdateAt(kept, 3.5);
    UpdateAt(stopped, 2.5);
    MovieRecord* k = GetMovieRecord(kept);
    // The pause brings the picture to the pause instant.
    k->startTime = GetTimeUs(0) - 4 * kSecondUs - kSecondUs / 2;
    EXPECT_EQ(PauseMovie(kept, 1), 0);
    EXPECT_EQ(Current(kept), 4);
    EXPECT_EQ(k->paused, 1);
    EXPECT_EQ(k->playing, 1);
    EXPECT_EQ(PauseMovie(kept, 0), 0) << "already paused: nothing changes";
    EXPECT_EQ(k->playing, 1);
    EXPECT_EQ(PauseMovie(stopped, 0), 0);
    EXPECT_EQ(GetMovieRecord(stopped)->playing, 0);

    const int64_t before = GetTimeUs(0);
    ResumeAllMovies();
    const int64_t after = GetTimeUs(0);
    EXPECT_EQ(k->paused, 0);
    EXPECT_EQ(k->playType, 1);
    // The clock restarts so that frame 4 is the frame due now.
    EXPECT_GE(k->startTime, before - 4 * kSecondUs);
    EXPECT_LE(k->startTime, after - 4 * kSecondUs);
    UpdateMovieFrame(kept, 0);
    EXPECT_EQ(Current(kept), 4);
    EXPECT_EQ(GetMovieRecord(stopped)->paused, 1) << "a pause without keep-playing is not undone";

    // The window's deactivation and activation pause and resume all.
    EXPECT_EQ(PauseAllMovies(), 0);
    EXPECT_EQ(k->paused, 1);
    EXPECT_EQ(k->playing, 1);
    EXPECT_EQ(ResumeAllMovies(), 0);
    EXPECT_EQ(k->paused, 0);
    EXPECT_EQ(GetMovieRecord(stopped)->paused, 1);
}

TEST_F(MovieHandlesTest, AMovieWithoutFramesOnlyCallsItsCallback) {
    int32_t width = 0, height = 0;
    const int32_t movie = OpenMovie("headers.ogv", &width, &height, 0);
    ASSERT_NE(movie, -1);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 16);
    Calls calls;
    SetMovieFrameCallback(movie, CountCall, reinterpret_cast<uintptr_t>(&calls));
    for (int32_t playType : {1, 1 | kMoviePlayLoop}) {
        Play(movie, playType);
        UpdateAt(movie, 5.5);
        EXPECT_EQ(GetMovieRecord(movie)->playing, 1) << "nothing is computed, so nothing ends";
        EXPECT_EQ(PauseMovie(movie, 1), 0);
    }
    EXPECT_EQ(calls.count, 4) << "each update, also the one of each pause";
}

}  // namespace
