// The sound converter: turns sound data read through a DataStream into PCM
// behind one set of operations, whatever the back end (plain PCM WAVE; WAVE
// or MP3 through ACM; Ogg Vorbis; MP3 decoded whole through DirectShow).
// The converter never owns its stream: the caller opens it, hands it over and
// closes it after CloseConverter.
#pragma once

#include "file/file.h"
#include "platform/dsound/dsound.h"

#include <cstdint>

enum SoundConverterKind : int32_t {
    kConverterPcm = 0,
    kConverterAcm = 1,
    kConverterOgg = 2,
    kConverterMemoryPcm = 3,
};

// Conversion mask bits (SetSoundConvertMask): back ends switched off.
constexpr int32_t kConvertMaskWavePcm = 1;
constexpr int32_t kConvertMaskWaveAcm = 2;
constexpr int32_t kConvertMaskOgg = 4;
constexpr int32_t kConvertMaskMp3Acm = 8;
constexpr int32_t kConvertMaskMp3DirectShow = 16;

struct SoundConverter {
    int32_t open;
    int32_t ended;
    int32_t kind;
    DataStream stream;
    uint32_t formatOffset;  // stream position of the "fmt " body
    uint32_t formatSize;
    uint32_t dataOffset;  // stream position of the first data byte
    uint32_t dataSize;    // source bytes (PCM, ACM); PCM bytes (Ogg)
    WAVEFORMATEX outputFormat;

    // ACM back end
    void* acmSourceFormat;
    uintptr_t acmActiveStream;
    uintptr_t acmSpareStream;
    uint8_t* acmSourceData;
    uint32_t acmSourceSize;
    uint32_t acmSourcePosition;
    int32_t acmTotalSamples;  // -1 when not known

    // Ogg Vorbis back end
    int32_t oggDecoderOpen;
    int32_t oggDecoderFailed;  // the decoder reported an error: reopened before its next use
    void* oggFile;  // the decoder's state, owned by that back end
    int32_t oggSampleWidth;

    // PCM held in memory (DirectShow back end)
    uint8_t* memoryPcmData;
    uint32_t memoryPcmCapacity;
    uint32_t memoryPcmSize;
    uint32_t memoryPcmReadPosition;

    uint8_t* block;
    uint32_t blockCapacity;
    uint32_t blockLeft;
    uint32_t blockOffset;
    uint32_t outputPosition;  // PCM bytes handed out since the start
    int32_t olderDecoder;

    uint32_t streamSize;  // bytes in the stream, measured by the WAVE walk
};

int32_t OpenSoundConverter(const DataStream* stream, SoundConverter* converter);
int32_t ReadConverter(SoundConverter* converter, uint8_t* destination, int32_t bytes);
int32_t SeekConverter(SoundConverter* converter, int32_t sample);
int32_t GetConvertedSize(SoundConverter* converter);
int32_t GetConverterFormat(SoundConverter* converter, WAVEFORMATEX* format);
int32_t ConvertAll(SoundConverter* converter, WAVEFORMATEX* format, uint8_t** block, int32_t* size);
int32_t CloseConverter(SoundConverter* converter);

// ---- back ends --------------------------------------------------------------------
// Plain PCM WAVE: 0 when the data is a usable PCM WAVE file, else -1.
int32_t OpenWaveConverter(SoundConverter* converter);
// The RIFF walk shared by the WAVE back ends. WalkRiffToFormat reads up to
// the "fmt " body and hands out a zero-filled copy of it (at least 18 bytes,
// to be freed with FreeMemory); WalkRiffToData finds the "data" chunk, sets
// the data offset and size and leaves the stream at the first data byte.
// Both 0 or -1, never logging.
int32_t WalkRiffToFormat(SoundConverter* converter, uint8_t** formatCopy);
int32_t WalkRiffToData(SoundConverter* converter);
// The bytes of the "data" chunk that the stream holds: the data size, or for
// a file cut off inside the chunk its whole blocks of blockAlign bytes, with
// a log line that says so (-1, also logged, when not one whole block is there).
int64_t HeldDataBytes(SoundConverter* converter, uint32_t blockAlign);
// What a WAVE back end's open returns for a file that is its kind but holds
// nothing to play (it has logged why): no other back end is tried.
constexpr int32_t kBackEndRefused = -2;
// Logs why a WAVE file's data gives no sample (cut off before its first, or
// none at all) and returns kBackEndRefused.
int32_t RefuseSamplelessData(bool cutOff);

// The other back ends: WAVE with an ACM-coded payload and MP3 through ACM
// (sound_acm.cpp), Ogg Vorbis (sound_ogg.cpp), and MP3 decoded whole through
// a DirectShow graph (sound_dshow_mp3.cpp, one log line on failure). Each open is 0
// when it accepts the data, else -1 with nothing held; the seeks take a
// sample frame of the output format.
int32_t OpenAcmWaveConverter(SoundConverter* converter);
int32_t OpenOggConverter(SoundConverter* converter);
int32_t OpenAcmMp3Converter(SoundConverter* converter);
int32_t OpenDirectShowMp3Converter(SoundConverter* converter);
int32_t FillAcmBlock(SoundConverter* converter);
int32_t FillOggBlock(SoundConverter* converter);
int32_t SeekAcmConverter(SoundConverter* converter, int32_t sample);
int32_t SeekOggConverter(SoundConverter* converter, int32_t sample);
int32_t GetAcmConvertedSize(SoundConverter* converter);
int32_t GetOggPcmSize(SoundConverter* converter);
int32_t CloseAcmConverter(SoundConverter* converter);
int32_t CloseOggConverter(SoundConverter* converter);

// ---- capture file ------------------------------------------------------------------
// Writes the 46-byte WAVE header of the frames captured so far at the start of
// the capture file and closes it; -1 when capture is not on.
int32_t FinishCaptureWaveFile();
// Only tests switch capture on: over a file open for writing, whose first 46
// bytes are kept for the header; frames of 16-bit stereo at 44,100 Hz are
// then added behind it. Both 0, or -1 (capture already on, or a failed write).
int32_t StartSoundCaptureForTest(HANDLE file);
int32_t AddSoundCaptureFramesForTest(const int16_t* frames, uint32_t count);
