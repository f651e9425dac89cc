// The music library the game plays its tunes with: one tune at a time,
// loaded from a ".ptcop" file (our own format, FORMAT.md), synthesized and
// mixed into the program's one audio output (platform/sdl/sdl_audio.h).
//
// Every call is safe from the main thread while the audio thread renders,
// and returns a failure result before pxtone_Ready and after pxtone_Release.
// The library keeps its own reference to the audio output, so the calls
// keep working after the game library has ended and closed its sound.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

// Called on the audio thread after each rendered piece with the frame of the
// tune that plays next; returning FALSE stops the tune. It must not call the
// functions of this header.
typedef BOOL (*PXTONEPLAY_CALLBACK)(int32_t clock);

// Makes the library ready: channels 1 or 2, samplesPerSecond 11025, 22050,
// 44100 or 48000, bitsPerSample 8 or 16, bufferSeconds above 0 and at most
// 10, directSound any, callback optional. The music always plays at the
// output's own 44100 Hz stereo; a request for one channel plays both sides
// alike. window may be null. TRUE on success; FALSE when an argument is out
// of range, the library is already ready, or there is no audio output.
BOOL pxtone_Ready(HWND window, int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample,
                  float bufferSeconds, BOOL directSound, PXTONEPLAY_CALLBACK callback);

// Ends the library: stops and frees the tune and lets go of the audio
// output. FALSE when it was not ready.
BOOL pxtone_Release();

// Loads the tune file at path ('\' or '/' separators), replacing the loaded
// tune (which stops). module and typeName name a program resource instead of
// a file; resources are not supported, so both must be null. FALSE, with the
// loaded tune kept, when not ready, the arguments are wrong, or the file is
// missing or malformed (pxtone_GetLastError says which).
BOOL pxtone_Tune_Load(HMODULE module, const char* typeName, const char* path);

// Frees the loaded tune (stopping it). FALSE when none is loaded.
BOOL pxtone_Tune_Release();

// Plays the loaded tune from startSample (frames at 44100 Hz from the start
// of the tune; beyond the end it is taken into the loop), rising from silence
// over fadeInMilliseconds (0: at once). A playing tune starts again. The tune
// repeats its loop until stopped. FALSE when no tune is loaded or an argument
// is negative.
BOOL pxtone_Tune_Start(int32_t startSample, int32_t fadeInMilliseconds);

// Stops the tune (its notes fade out within a few milliseconds). Returns the
// frame where it stopped, which pxtone_Tune_Start can resume from; -1 when
// no tune is loaded.
int32_t pxtone_Tune_Stop();

// Loudness of the tune, 0.0 (silent) to 1.0 (as written), a linear factor on
// the samples; values above 1.0 are taken as 1.0, below 0.0 as 0.0. Holds for
// tunes loaded later too. FALSE when not ready or volume is not a number.
BOOL pxtone_Tune_SetVolume(float volume);

// True while a tune is playing (started and not stopped).
BOOL pxtone_Tune_IsStreaming();

// The reason of the last failed call, in English ("" after a success); valid
// until the next call.
const char* pxtone_GetLastError();
