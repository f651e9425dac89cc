// Playing movies: the frame update driven by image draws, pause and resume,
// and the overlay calls.
#include "core/library.h"
#include "core/utility.h"
#include "movie/movie_internal.h"
#include "movie/movie_renderer.h"
#include "movie/theora_decoder.h"
#include "sound/sound.h"

namespace {

bool Loops(const MovieRecord* r) { return (r->playType & kMoviePlayLoop) != 0; }

// The frame the clock (or the sound track) has reached, within the movie.
int32_t FrameDue(const MovieRecord* r, const TheoraStreamInfo& info) {
    const int32_t count = info.frameCount;
    int64_t elapsedUs;
    if (r->sound != -1) {
        const int32_t ms = GetSoundCurrentTime(r->sound);
        elapsedUs = ms > 0 ? int64_t{ms} * 1000 : 0;
    } else {
        elapsedUs = GetTimeUs(0) - r->startTime;
    }
    int32_t frame = DoubleToInt(static_cast<double>(elapsedUs) * info.framesPerSecond / 1000000.0);
    if (frame < 0) frame = 0;
    if (frame >= count) {
        // A track that runs longer than the picture holds the last frame; the
        // clock of a looping movie starts the picture again.
        frame = (r->sound == -1 && Loops(r)) ? frame % count : count - 1;
    }
    return frame;
}

void UpdateTheoraMovie(MovieRecord* r) {
    TheoraStreamInfo info{};
    GetTheoraInfo(r->decoder, &info);
    if (r->paused || info.frameCount <= 0) return;  // a movie without frames computes none
    const int32_t count = info.frameCount;
    const int32_t frame = FrameDue(r, info);
    const int32_t current = GetTheoraCurrentFrame(r->decoder);
    if (frame != current) {
        // Forward, or around the end when the clock wrapped: never backwards.
        AdvanceTheoraFrames(r->decoder, frame > current ? frame - current : count - current + frame);
    } else if (frame == count - 1 && !Loops(r) && r->sound == -1) {
        r->playing = 0;  // the last frame is shown: the movie has ended
        r->paused = 1;
    }
}

// Hands a frame the renderer received to the frame callback, then restarts
// a looping movie that reached its stop time or ends one that does not loop.
void UpdateDirectShowMovie(MovieRecord* r) {
    if (r->renderer != nullptr && r->renderer->newFrame.exchange(0) != 0 && r->frameCallback != nullptr) {
        if (r->renderer->TakeFrame(&r->framePicture)) {
            r->currentPicture = &r->framePicture;
            r->frameCallback(r, r->userWord);
        }
    }
    if (r->mediaSeeking == nullptr || r->mediaControl == nullptr) return;
    LONGLONG position = 0;
    r->mediaSeeking->GetCurrentPosition(&position);
    if (position < r->stopTime) return;
    if (Loops(r)) {
        LONGLONG start = 0, stop = 0;
        r->mediaSeeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_NoPositioning);
        // A paused movie goes back to its start but stays paused: running
        // its graph would play a movie whose record says paused, which no
        // pause could then stop.
        if (!r->paused) r->mediaControl->Run();
    } else {
        r->playing = 0;
        r->paused = 1;
    }
}

}  // namespace

int UpdateMovieFrame(int32_t handle, int32_t) {
    MovieRecord* r = GetMovieRecord(handle);
    if (r == nullptr) return 0;
    if (!r->theora) {
        UpdateDirectShowMovie(r);
        return 0;
    }
    UpdateTheoraMovie(r);
    if (r->frameCallback != nullptr) {
        r->frameDelivered = 1;
        r->frameCallback(r, r->userWord);
    }
    return 0;
}

int PauseMovie(int32_t handle, int32_t keepPlaying) {
    MovieRecord* r = GetMovieRecord(handle);
    if (r == nullptr) return -1;
    if (r->paused) return 0;
    if (r->theora) {
        if (r->sound != -1) StopSound(r->sound);
        UpdateMovieFrame(handle, 0);  // the picture reaches the pause instant
    } else if (r->mediaControl == nullptr) {
        return 0;
    } else {
        r->mediaControl->Pause();
    }
    r->paused = 1;
    if (keepPlaying == 0) r->playing = 0;
    return 0;
}

int PauseAllMovies() {
    for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot) {
        MovieRecord* r = MovieAtSlot(slot);
        if (r != nullptr) PauseMovie(MovieHandleOf(r, slot), 1);
    }
    return 0;
}

int ResumeAllMovies() {
    for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot) {
        MovieRecord* r = MovieAtSlot(slot);
        if (r == nullptr || !r->paused || !r->playing) continue;
        const int32_t playType = r->playType != 0 ? r->playType : 1;
        if (r->theora) {
            TheoraStreamInfo info{};
            GetTheoraInfo(r->decoder, &info);
            // The clock starts so that the current frame is the one due now.
            const double periodUs = info.framesPerSecond > 0 ? 1000000.0 / info.framesPerSecond : 0.0;
            r->startTime = GetTimeUs(0) - static_cast<int64_t>(periodUs * GetTheoraCurrentFrame(r->decoder));
            if (r->sound != -1) PlaySoundHandle(r->sound, playType, 0);
        } else if (r->mediaControl != nullptr) {
            r->mediaControl->Run();
        }
        r->paused = 0;
        r->playType = playType;
        r->playing = 1;
    }
    return 0;
}
