// The DirectShow movie player's place. DirectShow is not part of this build,
// so every file the Theora player refused stays unopened: the open reports
// that the file could not be opened, as DirectShow does for a file it cannot
// render, and the movie open then fails.
#include "core/log.h"
#include "movie/movie_internal.h"

int OpenMovieDirectShow(void*, MovieRecord* record, const char* fileName, int32_t*, int32_t*, int32_t) {
    record->framePicture.pixels = nullptr;
    record->frameDelivered = 0;
    return WriteLogFormatted("ファイル:%s が開けませんでした", fileName != nullptr ? fileName : "");
}
