// Sound: sounds behind integer handles, played through DirectSound buffers.
//
// A memory sound is converted to PCM once and copied into a buffer with
// duplicates that share its memory; each play takes the next buffer in
// rotation, so one sound overlaps itself up to the buffer count. A stream
// sound (load type 2 or 3, a sound over 180 seconds, or one DirectSound will
// not take whole) plays from up to three sources through a one-second ring
// that the sound thread (or, on one logical processor, the message pump)
// refills ahead of the play cursor.
//
// Every call returns -1 while sound is not running (InitializeSound failed or
// was not called) and for a handle that is not a live sound handle.
// Start-up and shutdown (InitializeSound, TerminateSound) are in
// core/services.h.
#pragma once

#include "file/file.h"
#include "platform/dsound/dsound.h"

#include <cstdint>

// Play types.
constexpr int32_t kPlayTypeWait = 0;        // play and wait until it ends
constexpr int32_t kPlayTypeBackground = 1;  // play once in the background
constexpr int32_t kPlayTypeLoop = 3;        // play looping

// Stream source types.
constexpr int32_t kStreamSourceConverted = 0;  // converted whole, kept as a WAVE image
constexpr int32_t kStreamSourceMemory = 2;     // file image kept, converted while playing
constexpr int32_t kStreamSourceStream = 3;     // read from the given stream while playing

// ---- loading (memory sounds, or stream sounds by load type) -------------------------
// Loads a sound file (WAVE, also with an ACM-coded payload such as IMA or MS
// ADPCM or MP3; MP3; Ogg Vorbis) into a new handle; bufferCount (capped at 10) is
// how many times it can sound at once; partnerHandle (-1 for none) is a stream
// sound whose buffer a new stream sound may share. Returns the handle or -1.
int32_t LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t partnerHandle);
int32_t LoadSound(const char* fileName, int32_t bufferCount = 1, int32_t partnerHandle = -1);
// The same from a file image in memory (the image stays the caller's);
// a bufferCount above 10 is refused.
int32_t CreateSoundFromImage(const void* image, uint32_t imageSize, int32_t bufferCount, int32_t partnerHandle);

// 0 memory sounds (default); 2 and 3 stream sounds; 1 is stored as 0. -1 for
// other values (nothing stored).
int32_t SetSoundLoadType(int32_t type);
int32_t GetSoundLoadType();
// Back ends the converter may not use: 1 WAVE PCM, 2 WAVE through ACM, 4 Ogg
// Vorbis, 8 MP3 through ACM, 16 MP3 through DirectShow.
int32_t SetSoundConvertMask(int32_t mask);
int32_t GetSoundConvertMask();
// While 1, Ogg Vorbis data is opened with the older decoder (set around the
// movie opener's sound load).
extern int32_t OggOldDecoderFlag;
inline int32_t& MovieOggReaderFlag = OggOldDecoderFlag;

// ---- playing --------------------------------------------------------------------
// fromStart 1 starts at the beginning, 0 where the previous play stands (a
// memory sound whose next buffer still sounds is then left alone: result 0).
int32_t PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromStart = 1);
int32_t StopSound(int32_t handle);
int32_t IsSoundPlaying(int32_t handle);        // 1, 0, or -1
int32_t GetSoundCurrentTime(int32_t handle);   // milliseconds
int32_t GetSoundTotalSample(int32_t handle);
int32_t GetSoundTotalTime(int32_t handle);     // milliseconds
// volume 0 (silent) to 255 (full); note the order of the arguments.
int32_t SetSoundVolume(int32_t volume, int32_t handle);
// flag has no effect (callers pass 0).
int32_t DeleteSound(int32_t handle, int32_t flag = 0);
int32_t DeleteAllSounds(int32_t flag = 0);

// ---- handles and stream sounds -------------------------------------------------
// With -1 a new handle; with a handle whose slot is free, that handle again.
int32_t AddSoundData(int32_t handle);
// Adds a source to a stream sound (the first one makes its buffer); loopCount
// -1 plays it for ever, n plays it n + 1 times. *streamOwned is set to 1 when
// the source took a copy of the stream's data (the caller may close the stream).
int32_t AddSreamSound(const DataStream* stream, int32_t loopCount, int32_t handle, int32_t sourceType,
                      int32_t* streamOwned, int32_t partnerHandle);
int32_t AddStreamFile(const char* fileName, int32_t loopCount, int32_t handle, int32_t sourceType,
                      int32_t partnerHandle);
int32_t AddStreamMemory(const void* image, uint32_t imageSize, int32_t loopCount, int32_t handle,
                        int32_t sourceType, int32_t partnerHandle);
int32_t PreloadStream(int32_t handle);
int32_t PlayStreamSound(int32_t handle, int32_t playType, int32_t fromStart);
int32_t StopStreamSound(int32_t handle);
int32_t IsStreamPlaying(int32_t handle);
int32_t GetStreamCurrentTime(int32_t handle);
// One refill pass of a stream sound; 0, or -1 when there was nothing to do.
int32_t RefillStream(int32_t handle);

// ---- WAVE images ------------------------------------------------------------------
// A RIFF WAVE image of the format bytes and the data (allocated with
// AllocMemory; the caller frees it with FreeMemory). 0 or -1.
int32_t BuildWaveImage(uint8_t** image, uint32_t* imageSize, const void* format, uint32_t formatSize,
                       const void* data, uint32_t dataSize);

// samples x 1000 / rate, truncated (0 for a rate of 0).
int32_t SamplesToMilliseconds(int32_t samples, int32_t rate);

// ---- test hooks ---------------------------------------------------------------------
// Whether InitializeSound starts the sound thread: -1 as the logical-processor
// count says (default), 0 never, 1 always.
void SetSoundThreadModeForTest(int32_t mode);
// True while the sound thread runs; the passes it has completed so far.
bool IsSoundThreadRunningForTest();
int32_t SoundThreadPassCountForTest();
// While on is non-zero, memory and stream buffers are made in software
// memory (DSBCAPS_LOCSOFTWARE) rather than as static buffers.
void SetSoftwareSoundBuffersForTest(int32_t on);
// The DirectSound buffer of a sound's buffer slot (null when there is none).
IDirectSoundBuffer* GetSoundBufferForTest(int32_t handle, int32_t index);
int32_t GetSoundBufferCountForTest(int32_t handle);
