// Movies: files whose frames appear, one after another, in a picture that the
// graphics side draws like an image. A movie handle stands for either the
// library's own Ogg Theora player (tried first; the file's Ogg Vorbis track,
// when it has one, plays as a stream sound that drives the movie's clock) or
// the DirectShow player (tried when the Theora player refuses the file: a
// filter graph renders it, with its sound track, into the library's own video
// renderer; a file DirectShow cannot open by its name, such as an archive
// member, is rendered from a temporary copy).
//
// The image loader opens a movie for a file no image decoder accepts, binds
// it to a new image and installs its frame callback; every draw of that image
// calls UpdateMovieFrame first, and deleting the image closes the movie. A
// movie opens paused at its first frame. The main window pauses every movie
// when the application is deactivated and resumes them when it is activated.
//
// Results: 0 (or a handle) on success, -1 on failure or for an invalid handle.
#pragma once

#include "file/file.h"
#include "image/pixel_image.h"
#include "platform/dshow/dshow.h"

#include <cstdint>

struct TheoraDecoder;
struct MovieRecord;
class MovieRenderer;

constexpr int32_t kMaxMovieHandles = 100;
constexpr int32_t kMoviePlayLoop = 2;  // the play-type bit that makes a movie loop

using MovieFrameCallback = void (*)(MovieRecord* record, uintptr_t userWord);

// The record behind a movie handle (owned by its table slot).
struct MovieRecord {
    int32_t handleCheck;          // check value of the handle (0-2047)
    int32_t playType;             // 1 after open; kMoviePlayLoop makes it loop
    int32_t theora;               // 1: the Theora player plays it
    TheoraDecoder* decoder;       // null for DirectShow
    int64_t startTime;            // microseconds (GetTimeUs(0)) at which frame 0 counts as shown
    DWORD_PTR file;               // the file the decoder reads, 0 when none
    int32_t sound;                // stream sound of the Vorbis track, -1 when none
    IUnknown* overlay[9];         // DirectDraw overlay interfaces ([6] the overlay surface); never filled
    IGraphBuilder* graph;         // DirectShow filter graph, media control, media seeking, basic audio
    IMediaControl* mediaControl;
    IMediaSeeking* mediaSeeking;
    IBasicAudio* basicAudio;
    MovieRenderer* renderer;      // the renderer filter in the graph (not referenced: it goes with the graph)
    IUnknown* moreOverlay[2];     // never filled
    int64_t duration;             // DirectShow, 100-ns units (kZeroDurationStandIn for a zero duration)
    int64_t stopTime;
    int32_t width;
    int32_t height;
    int32_t halfWidth;            // 1: the frame callback transfers half the width
    int32_t playing;              // 1 while the movie is meant to play (kept across PauseAllMovies)
    int32_t paused;               // 1 while it is stopped; 1 after open
    int32_t frameDelivered;       // 1 once the frame callback was called (Theora)
    int32_t overlayShown;         // 1: shown through a DirectDraw overlay; set by nothing here
    int32_t temporaryFile;        // 1: DirectShow plays a temporary copy, deleted at close
    WCHAR path[260];              // the path DirectShow renders
    HANDLE systemHandle;          // closed at close when set; set by nothing here
    PixelImage framePicture;      // DirectShow's latest frame (24-bit), a copy the record owns
    PixelImage* currentPicture;   // the latest frame: the decoder's frame image for Theora
    int32_t overlayX, overlayY, overlayScale, overlayShow;
    RECT overlaySource;
    RECT overlayDestination;
    MovieFrameCallback frameCallback;
    uintptr_t userWord;           // handed back to the frame callback
};

// Opens a movie file (Shift-JIS name); writes its picture size to the out
// arguments that are given. flag is handed on to the DirectShow player. The
// handle, or -1 (no free slot: nothing logged).
int32_t OpenMovie(const char* fileName, int32_t* width, int32_t* height, int32_t flag);
// Stops the player and frees the movie; -1 for an invalid handle.
int CloseMovie(int32_t handle);
// The record, or null for an invalid handle.
MovieRecord* GetMovieRecord(int32_t handle);
// Brings the movie's frame up to its clock (the sound track's position when
// it has one) and calls the frame callback, paused or not. 0, also for an
// invalid handle. The second argument is not used.
int UpdateMovieFrame(int32_t handle, int32_t unused = 0);
int SetMovieFrameCallback(int32_t handle, MovieFrameCallback callback, uintptr_t userWord);
// Stops the movie at its current frame; keepPlaying 1 lets ResumeAllMovies
// start it again.
int PauseMovie(int32_t handle, int32_t keepPlaying);
int PauseAllMovies();
// Starts again every movie paused with keep-playing, at the frame it stopped on.
int ResumeAllMovies();
// The DirectDraw overlay (no movie has one here): 0, or -1 for an invalid handle.
int PlaceMovieOverlay(int32_t x, int32_t y, int32_t scale, int32_t handle, int32_t show);
int RefreshMovieOverlays();

// The library setting copied into each movie at open (0 unless set).
int SetMovieHalfWidthFlag(int32_t flag);
int32_t GetMovieHalfWidthFlag();
// Open movies.
int32_t GetMovieCount();
