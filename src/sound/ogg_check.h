// The page structure of Ogg Vorbis data, checked before vorbisfile sees it:
// some damaged layouts (a Vorbis header page repeated with a page of another
// stream between them, a page of a stream no link announced) lead vorbisfile
// to corrupt its own state on a later seek or read.
#pragma once

#include "file/file.h"

enum class OggCheck {
    NotOgg,  // no Ogg page in the data: for the other back ends to judge
    Sound,
    Faulty,
};

// Reads the data from the stream's position to its end, page by page, and
// checks every link (a run of stream-starting pages and the pages after them):
//   - exactly one of its streams is Vorbis, and no stream starts twice;
//   - every page belongs to a stream the link started;
//   - the Vorbis stream's first three packets are its identification,
//     comment and setup headers, in that order, on pages numbered from 0
//     without a gap or a repeat, and none of them comes again later;
//   - no damaged bytes (data that is no page) lie between the link's first
//     page and the end of its Vorbis headers.
// Pages of the link's other streams may lie between the Vorbis header pages
// (a movie's picture stream does). Data that ends inside the last link's
// headers is a cut file, not a fault. On Faulty, *why names the fault. The
// stream is left at the position it had.
OggCheck CheckOggVorbisPages(const DataStream& stream, const char** why);
