// The Ogg Vorbis back end of the converter: vorbisfile decodes the data read
// through the converter's own DataStream into interleaved little-endian PCM.
//
// Two readers are kept: the default one, and the one movie sound tracks are
// opened with (OggOldDecoderFlag at open). A converter keeps the reader it
// opened with for its whole life. Both run over the system's vorbisfile,
// which reads every stream either was made for, multiplexed movie files
// (a Theora stream beside the Vorbis one) included.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include "core/log.h"
#include "core/memory.h"
#include "sound/ogg_check.h"
#include "sound/sound_converter.h"
#include "sound/sound_ogg.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>

int32_t OggSampleBytes = 2;

namespace {

constexpr uint32_t kOggBlockBytes = 4096;
// Holes in a damaged stream are read past, but not for ever.
constexpr int kMaxHolesPerRefill = 64;

// ---- the callbacks vorbisfile reads the converter's stream with ------------------

DataStream* StreamOf(void* source) { return static_cast<DataStream*>(source); }

size_t ReadCallback(void* buffer, size_t size, size_t count, void* source) {
    // vorbisfile takes "nothing read" with errno set for a read error.
    errno = 0;
    if (source == nullptr) return 0;
    return StreamOf(source)->functions.Read(buffer, size, count, StreamOf(source)->handle);
}

int SeekCallback(void* source, ogg_int64_t offset, int origin) {
    if (source == nullptr || offset < INT32_MIN || offset > INT32_MAX) return -1;
    return StreamOf(source)->functions.Seek(StreamOf(source)->handle, static_cast<int32_t>(offset), origin);
}

// The decoder never closes the stream: it belongs to the converter's caller.
int ReturnZeroCallback(void*) { return 0; }

long TellCallback(void* source) {
    if (source == nullptr) return -1;
    return StreamOf(source)->functions.Tell(StreamOf(source)->handle);
}

constexpr ov_callbacks kCallbacks = {ReadCallback, SeekCallback, ReturnZeroCallback, TellCallback};

// ---- the two readers ------------------------------------------------------------

struct OggReader {
    int (*open)(void* source, OggVorbis_File* file, const char* initial, long initialBytes, ov_callbacks callbacks);
    vorbis_info* (*info)(OggVorbis_File* file, int link);
    long (*links)(OggVorbis_File* file);
    ogg_int64_t (*pcmTotal)(OggVorbis_File* file, int link);
    long (*read)(OggVorbis_File* file, char* buffer, int length, int bigEndian, int wordSize, int isSigned,
                 int* section);
    int (*pcmSeek)(OggVorbis_File* file, ogg_int64_t position);
    int (*clear)(OggVorbis_File* file);
};

constexpr OggReader kDefaultReader = {ov_open_callbacks, ov_info, ov_streams, ov_pcm_total,
                                      ov_read,           ov_pcm_seek, ov_clear};
constexpr OggReader kMovieTrackReader = {ov_open_callbacks, ov_info, ov_streams, ov_pcm_total,
                                         ov_read,           ov_pcm_seek, ov_clear};

std::atomic<int32_t> g_refills[2];

int ReaderIndex(const SoundConverter* c) { return c->olderDecoder != 0 ? 1 : 0; }
const OggReader& ReaderOf(const SoundConverter* c) { return ReaderIndex(c) ? kMovieTrackReader : kDefaultReader; }

OggVorbis_File* FileOf(SoundConverter* c) { return static_cast<OggVorbis_File*>(c->oggFile); }

int32_t SampleWidth() { return OggSampleBytes == 1 ? 1 : 2; }

bool SameFormat(const vorbis_info* info, const WAVEFORMATEX& format) {
    return info != nullptr && info->channels == format.nChannels && info->rate == static_cast<long>(format.nSamplesPerSec);
}

// Sample frames of the leading links that share the first link's format: a
// chained stream is read up to its first link of another format, whose
// samples the output format could not carry.
int64_t UsableSamples(SoundConverter* c) {
    const OggReader& reader = ReaderOf(c);
    OggVorbis_File* file = FileOf(c);
    int64_t total = 0;
    const long links = reader.links(file);
    for (long link = 0; link < links; ++link) {
        if (!SameFormat(reader.info(file, static_cast<int>(link)), c->outputFormat)) break;
        const ogg_int64_t samples = reader.pcmTotal(file, static_cast<int>(link));
        if (samples < 0) break;
        // Granule positions of a damaged stream can claim any count: the
        // sum stays at the largest one.
        if (samples > INT64_MAX - total) return INT64_MAX;
        total += samples;
    }
    return total;
}

// The output format for a link's channels and rate; -1 when it has none or
// its byte rate does not fit 32 bits.
int32_t SetOutputFormat(SoundConverter* c, const vorbis_info* info, int32_t width) {
    if (info == nullptr || info->channels <= 0 || info->channels > 255 || info->rate <= 0) return -1;
    const uint64_t blockAlign = static_cast<uint64_t>(info->channels) * width;
    const uint64_t average = blockAlign * static_cast<uint64_t>(info->rate);
    if (average > UINT32_MAX) return -1;
    WAVEFORMATEX& f = c->outputFormat;
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = static_cast<WORD>(info->channels);
    f.nSamplesPerSec = static_cast<DWORD>(info->rate);
    f.nBlockAlign = static_cast<WORD>(blockAlign);
    f.nAvgBytesPerSec = static_cast<DWORD>(average);
    f.wBitsPerSample = static_cast<WORD>(width * 8);
    f.cbSize = 0;
    return 0;
}

// Opens the decoder over the converter's stream and stands it at the first
// sample: after opening a short chained stream vorbisfile stands in a later
// link. Where that seek fails the decoder is opened afresh and left where
// the open put it.
int OpenAtFirstSample(const OggReader& reader, SoundConverter* c, OggVorbis_File* file) {
    if (reader.open(&c->stream, file, nullptr, 0, kCallbacks) != 0) return -1;
    if (reader.pcmSeek(file, 0) == 0) return 0;
    reader.clear(file);
    std::memset(file, 0, sizeof *file);
    c->stream.functions.Seek(c->stream.handle, 0, 0);
    return reader.open(&c->stream, file, nullptr, 0, kCallbacks);
}

// After an error (a setup the decoder cannot start with, a page of an
// unknown stream) vorbisfile is left half set up, and a further read or seek
// on it can crash: only a fresh open may follow. 0 with the decoder at the
// first sample; -1 with it closed for good (the data ends).
int32_t ReopenFailedDecoder(SoundConverter* c) {
    const OggReader& reader = ReaderOf(c);
    OggVorbis_File* file = FileOf(c);
    reader.clear(file);
    std::memset(file, 0, sizeof *file);
    c->oggDecoderFailed = 0;
    c->stream.functions.Seek(c->stream.handle, 0, 0);
    // A failed open leaves nothing to clear.
    if (OpenAtFirstSample(reader, c, file) != 0) {
        c->oggDecoderOpen = 0;
        return -1;
    }
    if (!SameFormat(reader.info(file, -1), c->outputFormat)) {
        reader.clear(file);
        c->oggDecoderOpen = 0;
        return -1;
    }
    return 0;
}

}  // namespace

int32_t OpenOggConverter(SoundConverter* c) {
    c->oggDecoderOpen = 0;
    const OggReader& reader = ReaderOf(c);
    // Layouts that lead vorbisfile astray on a later seek or read are refused first.
    const char* why = nullptr;
    if (CheckOggVorbisPages(c->stream, &why) == OggCheck::Faulty) {
        WriteLogFormatted("Ogg Vorbis データの構造が壊れています (%s)\n", why);
        return -1;
    }
    auto* file = static_cast<OggVorbis_File*>(AllocMemoryZeroed(sizeof(OggVorbis_File), "", 0));
    if (file == nullptr) return -1;
    if (OpenAtFirstSample(reader, c, file) != 0) {
        FreeMemory(file);
        return -1;
    }
    c->oggFile = file;
    c->oggDecoderOpen = 1;
    const int32_t width = SampleWidth();
    c->oggSampleWidth = width;
    if (SetOutputFormat(c, reader.info(file, -1), width) != 0) {
        CloseOggConverter(c);
        return -1;
    }
    c->blockCapacity = kOggBlockBytes;
    const int32_t size = GetOggPcmSize(c);
    // A stream without a single sample has nothing to play.
    if (size <= 0) {
        CloseOggConverter(c);
        return -1;
    }
    c->dataSize = static_cast<uint32_t>(size);
    c->kind = kConverterOgg;
    return 0;
}

int32_t GetOggPcmSize(SoundConverter* c) {
    if (!c->oggDecoderOpen) return 0;
    const int64_t samples = UsableSamples(c);
    const int64_t blockAlign = c->outputFormat.nBlockAlign;
    if (blockAlign == 0) return 0;
    return samples > INT32_MAX / blockAlign ? INT32_MAX : static_cast<int32_t>(samples * blockAlign);
}

int32_t FillOggBlock(SoundConverter* c) {
    if (!c->oggDecoderOpen || c->oggDecoderFailed) return -1;
    const OggReader& reader = ReaderOf(c);
    ++g_refills[ReaderIndex(c)];
    OggVorbis_File* file = FileOf(c);
    const int32_t width = c->oggSampleWidth;
    for (int holes = 0;;) {
        int section = 0;
        const long got = reader.read(file, reinterpret_cast<char*>(c->block), static_cast<int>(c->blockCapacity), 0,
                                     width, width != 1 ? 1 : 0, &section);
        if (got == OV_HOLE && ++holes <= kMaxHolesPerRefill) continue;
        if (got < 0 && got != OV_HOLE) c->oggDecoderFailed = 1;
        // The end, a damaged link, or a link of another format: the data ends here.
        if (got <= 0 || !SameFormat(reader.info(file, section), c->outputFormat)) return -1;
        c->blockLeft = static_cast<uint32_t>(got);
        return 0;
    }
}

int32_t SeekOggConverter(SoundConverter* c, int32_t sample) {
    if (!c->oggDecoderOpen) return 0;
    const bool reopened = c->oggDecoderFailed != 0;
    if (reopened && ReopenFailedDecoder(c) != 0) return 0;
    // A target past the end leaves the decoder at the end.
    const int64_t position = std::clamp<int64_t>(sample, 0, UsableSamples(c));
    // A decoder just opened again stands at the first sample already.
    if (!(reopened && position == 0) && ReaderOf(c).pcmSeek(FileOf(c), position) != 0) c->oggDecoderFailed = 1;
    c->blockLeft = 0;
    c->blockOffset = 0;
    c->outputPosition = static_cast<uint32_t>(position * c->outputFormat.nBlockAlign);
    return 0;
}

int32_t CloseOggConverter(SoundConverter* c) {
    if (c->oggDecoderOpen == 1) {
        ReaderOf(c).clear(FileOf(c));
        c->oggDecoderOpen = 0;
    }
    FreeMemory(c->oggFile);
    c->oggFile = nullptr;
    return 0;
}

int32_t OggReaderRefillCountForTest(int32_t older) { return g_refills[older != 0 ? 1 : 0].load(); }
