// Calls the movie files share.
#pragma once

#include "movie/movie.h"

// The duration a DirectShow movie keeps when its graph reports none.
constexpr int64_t kZeroDurationStandIn = 166666;

// The DirectShow player's open: 0 with the record's graph, renderer, control,
// seeking and audio interfaces set up (the graph stopped), or -1 after
// logging why, with no interface held.
int OpenMovieDirectShow(void* directDraw, MovieRecord* record, const char* fileName, int32_t* width,
                        int32_t* height, int32_t flag);

// Releases and clears every COM interface slot of the record (the graph
// last but one: the renderer goes with it).
void ReleaseMovieInterfaces(MovieRecord* record);

// The handle of an open record.
int32_t MovieHandleOf(const MovieRecord* record, int32_t slot);
// The record of a slot (null when empty), for walks over every movie.
MovieRecord* MovieAtSlot(int32_t slot);

// Where a movie's overlay goes: the source rectangle of the frame and the
// destination rectangle on the screen, for a frame of width x height placed
// at (x, y) of the client area (in screen coordinates) at scale, clipped to
// that area and aligned by the capabilities. Not visible when nothing is
// left or the scale or size is below 1.
struct DDCAPS;
struct OverlayPlacement {
    bool visible;
    RECT source;
    RECT destination;
};
OverlayPlacement ComputeOverlayPlacement(int32_t x, int32_t y, int32_t scale, int32_t width, int32_t height,
                                         const RECT& client, const DDCAPS& caps);
