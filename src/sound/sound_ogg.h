// The Ogg Vorbis back end's settings and test hooks.
#pragma once

#include <cstdint>

// Bytes per output sample of Ogg Vorbis data: 2 (16-bit, which InitializeSound
// sets) or 1 (8-bit); any other value reads as 2.
extern int32_t OggSampleBytes;

// Tests only: refills served so far by the default reader (older 0) or by
// the reader kept for movie sound tracks (older 1).
int32_t OggReaderRefillCountForTest(int32_t older);
