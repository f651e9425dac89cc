// A movie's Ogg Vorbis track: loaded as a stream sound through the reader
// kept for movie tracks, with the sound settings put back; the picture
// follows the track's position; pause, resume and close reach the sound.
// Sound runs on the manual audio output, rendered by hand.
#include "../sound/sound_test_util.h"
#include "core/services.h"
#include "core/utility.h"
#include "movie/movie.h"
#include "movie_test_util.h"
#include "platform/dsound/dsound.h"
#include "platform/sdl/sdl_audio.h"
#include "sound/sound.h"
#include "sound/sound_ogg.h"

using namespace movietest;

namespace {

constexpr int kFrames = 20;          // 2 seconds at 10 frames a second
constexpr int kTrackSamples = 88200;  // 4 seconds at 22050 Hz

class MovieSoundTest : public soundtest::SoundTest {
protected:
    static void SetUpTestSuite() {
        PrepareMovieTests();
        MovieSpec spec{.width = 16, .height = 16, .frames = kFrames, .audioFrames = kTrackSamples};
        WriteBytes("track.ogv", EncodeMovie(spec));
        spec.audioFirst = false;
        WriteBytes("video-first.ogv", EncodeMovie(spec));
        spec.audioFrames = 0;
        WriteBytes("silent.ogv", EncodeMovie(spec));
    }

    void TearDown() override {
        for (int32_t movie : movies_) CloseMovie(movie);
        SoundTest::TearDown();
    }

    int32_t Open(const char* name) {
        const int32_t movie = OpenMovie(name, nullptr, nullptr, 0);
        EXPECT_NE(movie, -1) << name;
        if (movie != -1) movies_.push_back(movie);
        return movie;
    }

    // Renders the output for about that many milliseconds in 30 ms steps,
    // refilling the stream after each as the sound thread would.
    static void Render(int milliseconds) {
        constexpr int kStep = 1323;  // 30 ms at 44100 Hz
        std::vector<int16_t> out(2 * kStep);
        for (int done = 0; done < milliseconds; done += 30) {
            ASSERT_EQ(sdl::RenderAudioOutput(out.data(), kStep), 0);
            ProcessStreamSounds();
        }
    }

    static void Play(int32_t movie) {
        GetMovieRecord(movie)->playing = 1;
        ResumeAllMovies();
    }

    // The frame the track's position makes due.
    static int32_t FrameOfTrack(int32_t sound) {
        const int32_t ms = GetSoundCurrentTime(sound);
        return std::min(DoubleToInt(ms * 1000.0 * 10 / 1000000.0), kFrames - 1);
    }

    static int32_t Current(int32_t movie) { return GetTheoraCurrentFrame(GetMovieRecord(movie)->decoder); }

    std::vector<int32_t> movies_;
};

TEST_F(MovieSoundTest, TheTrackBecomesAStreamSoundAndTheSoundSettingsArePutBack) {
    for (const char* name : {"track.ogv", "video-first.ogv"}) {
        SetSoundLoadType(2);
        SetSoundConvertMask(8);
        const int32_t movie = Open(name);
        MovieRecord* r = GetMovieRecord(movie);
        ASSERT_NE(r, nullptr);
        ASSERT_NE(r->sound, -1) << name;
        EXPECT_EQ(GetSoundLoadType(), 2);
        EXPECT_EQ(GetSoundConvertMask(), 8);
        EXPECT_EQ(MovieOggReaderFlag, 0);
        EXPECT_EQ(IsSoundPlaying(r->sound), 0) << "a movie opens paused";
        EXPECT_NEAR(GetSoundTotalTime(r->sound), 4000, 50);
        EXPECT_EQ(FrameShown(CopyPicture(r->currentPicture)), 0);
    }
    // The track is read by the reader kept for movie tracks.
    const int32_t before = OggReaderRefillCountForTest(1);
    Play(movies_[0]);
    Render(300);
    EXPECT_GT(OggReaderRefillCountForTest(1), before);

    // A file without a track plays from the clock.
    const int32_t silent = Open("silent.ogv");
    EXPECT_EQ(GetMovieRecord(silent)->sound, -1);
    EXPECT_EQ(GetSoundLoadType(), 2);
    EXPECT_EQ(GetSoundConvertMask(), 8);
}

TEST_F(MovieSoundTest, ThePictureFollowsTheTrackAndHoldsItsLastFrameWithoutEnding) {
    const int32_t movie = Open("track.ogv");
    const int32_t sound = GetMovieRecord(movie)->sound;
    ASSERT_NE(sound, -1);
    Play(movie);
    EXPECT_EQ(IsSoundPlaying(sound), 1);
    Render(1000);
    const int32_t due = FrameOfTrack(sound);
    EXPECT_GE(due, 5);
    EXPECT_LT(due, kFrames - 1);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(Current(movie), due);
    ASSERT_EQ(GetTheoraFrame(GetMovieRecord(movie)->decoder, 1, 0), 1);
    EXPECT_EQ(FrameShown(CopyPicture(GetMovieRecord(movie)->currentPicture)), due);

    // The track runs on past the picture's end: the last frame stays, and
    // the movie does not end.
    Render(2000);
    for (int i = 0; i < 2; ++i) {
        UpdateMovieFrame(movie, 0);
        EXPECT_EQ(Current(movie), kFrames - 1);
    }
    EXPECT_EQ(GetMovieRecord(movie)->playing, 1);
    EXPECT_EQ(GetMovieRecord(movie)->paused, 0);

    // The track started again: the picture goes round to its start, never
    // backwards through the decoder.
    StopSound(sound);
    PlaySoundHandle(sound, 1, 1);
    UpdateMovieFrame(movie, 0);
    EXPECT_EQ(Current(movie), 0);
}

TEST_F(MovieSoundTest, PauseStopsTheTrackAndResumeGoesOnFromWhereItStood) {
    const int32_t movie = Open("track.ogv");
    const int32_t sound = GetMovieRecord(movie)->sound;
    Play(movie);
    Render(600);
    ASSERT_EQ(PauseMovie(movie, 1), 0);
    EXPECT_EQ(IsSoundPlaying(sound), 0);
    const int32_t at = GetSoundCurrentTime(sound);
    EXPECT_GT(at, 300);
    EXPECT_EQ(Current(movie), FrameOfTrack(sound)) << "the pause brought the picture to the track";
    Render(300);
    EXPECT_EQ(GetSoundCurrentTime(sound), at) << "nothing plays while paused";
    ResumeAllMovies();
    EXPECT_EQ(IsSoundPlaying(sound), 1);
    Render(300);
    EXPECT_GT(GetSoundCurrentTime(sound), at);
}

TEST_F(MovieSoundTest, ClosingTheMovieDeletesItsTrack) {
    const int32_t movie = Open("track.ogv");
    const int32_t sound = GetMovieRecord(movie)->sound;
    Play(movie);
    Render(100);
    ASSERT_EQ(CloseMovie(movie), 0);
    movies_.clear();
    EXPECT_EQ(IsSoundPlaying(sound), -1) << "the sound handle is gone";
}

}  // namespace
