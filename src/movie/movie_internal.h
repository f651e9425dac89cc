// Calls the movie files share.
#pragma once

#include "movie/movie.h"

// The DirectShow player's open: 0 with the record's graph set up, or -1
// after logging why. Not part of this build: it reports every file as one
// it cannot open.
int OpenMovieDirectShow(void* directDraw, MovieRecord* record, const char* fileName, int32_t* width,
                        int32_t* height, int32_t flag);

// The handle of an open record.
int32_t MovieHandleOf(const MovieRecord* record, int32_t slot);
// The record of a slot (null when empty), for walks over every movie.
MovieRecord* MovieAtSlot(int32_t slot);
