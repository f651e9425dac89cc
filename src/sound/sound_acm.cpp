// The converter back ends that decode through the Audio Compression Manager:
// WAVE files with a coded payload, and MP3 files described to the ACM by
// their first frame header. Both read the whole payload into memory, keep
// two ACM streams (the active one, and a spare for seeking backwards) and
// convert at most one step of source bytes per refill.
#include "core/log.h"
#include "core/memory.h"
#include "platform/msacm/msacm.h"
#include "sound/sound_acm.h"
#include "sound/sound_converter.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>

namespace {

constexpr uint32_t kStepBytes = 2048;
constexpr uint32_t kMp3FormatMinimum = sizeof(MPEGLAYER3WAVEFORMAT);  // 30
constexpr uint32_t kId3HeaderBytes = 10;
constexpr uint32_t kTrailingTagBytes = 128;
constexpr uint16_t kMp3CodecDelay = 700;

// kbit/s for bit-rate indices 1 to 14; rows MPEG-1 Layers I, II, III, then
// MPEG-2 Layer I and Layers II and III.
constexpr uint16_t kBitRates[6][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr uint32_t kSampleRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

int32_t Tell(SoundConverter* c) { return c->stream.functions.Tell(c->stream.handle); }
int Seek(SoundConverter* c, int64_t offset, int origin) {
    if (offset < INT32_MIN || offset > INT32_MAX) return -1;
    return c->stream.functions.Seek(c->stream.handle, static_cast<int32_t>(offset), origin);
}
size_t Read(SoundConverter* c, void* buffer, size_t bytes) {
    return c->stream.functions.Read(buffer, 1, bytes, c->stream.handle);
}

HACMSTREAM AsStream(uintptr_t value) { return reinterpret_cast<HACMSTREAM>(value); }

const WAVEFORMATEX* SourceFormat(const SoundConverter* c) {
    return static_cast<const WAVEFORMATEX*>(c->acmSourceFormat);
}

void ClearAcmState(SoundConverter* c) {
    c->acmSourceFormat = nullptr;
    c->acmActiveStream = 0;
    c->acmSpareStream = 0;
    c->acmSourceData = nullptr;
    c->acmSourceSize = 0;
    c->acmSourcePosition = 0;
    c->acmTotalSamples = -1;
}

int32_t OpenOneStream(SoundConverter* c, uintptr_t* out) {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, SourceFormat(c), &c->outputFormat, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
        return -1;
    *out = reinterpret_cast<uintptr_t>(stream);
    return 0;
}

int32_t OpenStreamPair(SoundConverter* c) {
    if (OpenOneStream(c, &c->acmActiveStream) != 0) return -1;
    return OpenOneStream(c, &c->acmSpareStream);
}

// The PCM format the codec turns the source into.
int32_t ChooseOutputFormat(SoundConverter* c) {
    std::memset(&c->outputFormat, 0, sizeof c->outputFormat);
    c->outputFormat.wFormatTag = WAVE_FORMAT_PCM;
    if (acmFormatSuggest(nullptr, SourceFormat(c), &c->outputFormat, sizeof c->outputFormat,
                         ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR)
        return -1;
    return c->outputFormat.nBlockAlign != 0 && c->outputFormat.nAvgBytesPerSec != 0 ? 0 : -1;
}

// Reads the whole payload (data offset, data size) into memory and leaves
// the stream at its first byte.
int32_t LoadSourceData(SoundConverter* c) {
    c->acmSourceSize = c->dataSize;
    c->acmSourceData = static_cast<uint8_t*>(AllocMemory(c->dataSize, "", 0));
    if (c->acmSourceData == nullptr) return -1;
    if (Seek(c, c->dataOffset, 0) != 0 || Read(c, c->acmSourceData, c->dataSize) != c->dataSize) return -1;
    Seek(c, c->dataOffset, 0);
    c->acmSourcePosition = 0;
    return 0;
}

int32_t FailOpen(SoundConverter* c) {
    CloseAcmConverter(c);
    return -1;
}

// Source bytes per conversion step: 2,048, or one whole coded block when the
// source's blocks are larger (a smaller step would never convert anything).
uint32_t StepBytes(const SoundConverter* c) {
    const WAVEFORMATEX* source = SourceFormat(c);
    return source != nullptr && source->nBlockAlign > kStepBytes ? source->nBlockAlign : kStepBytes;
}

// One step of the source from *position on the stream into the destination
// of the block's capacity; the bytes written. The position moves past the
// source taken; a stream that is missing or refuses the step, or a step that
// takes nothing, ends the data (the position goes to the end).
uint32_t ConvertStepOn(SoundConverter* c, HACMSTREAM stream, uint32_t* position, uint8_t* destination) {
    if (stream == nullptr) {
        *position = c->acmSourceSize;
        return 0;
    }
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = c->acmSourceData + *position;
    header.cbSrcLength = std::min(c->acmSourceSize - *position, StepBytes(c));
    header.pbDst = destination;
    header.cbDstLength = c->blockCapacity;
    if (acmStreamPrepareHeader(stream, &header, 0) != MMSYSERR_NOERROR) {
        *position = c->acmSourceSize;
        return 0;
    }
    acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
    const uint32_t written = std::min(header.cbDstLengthUsed, c->blockCapacity);
    const uint32_t taken = std::min(header.cbSrcLengthUsed, header.cbSrcLength);
    acmStreamUnprepareHeader(stream, &header, 0);
    // A step that took source but gave nothing (bytes between frames) is
    // passed over; one that took nothing ends the data.
    *position = written == 0 && taken == 0 ? c->acmSourceSize : *position + taken;
    return written;
}

uint32_t ConvertStep(SoundConverter* c) {
    return ConvertStepOn(c, AsStream(c->acmActiveStream), &c->acmSourcePosition, c->block);
}

// 1 when the source decodes to at least one byte of PCM, 0 when it decodes
// to none, -1 when that cannot be tried. Found by decoding on a stream of its
// own up to the first output: neither the ACM's size estimate nor the
// source's block size can tell.
int32_t DecodesAnything(SoundConverter* c) {
    uintptr_t trial = 0;
    auto* destination = static_cast<uint8_t*>(AllocMemory(c->blockCapacity, "", 0));
    if (destination == nullptr || OpenOneStream(c, &trial) != 0) {
        FreeMemory(destination);
        return -1;
    }
    bool decoded = false;
    uint32_t position = 0;
    while (!decoded && position < c->acmSourceSize)
        decoded = ConvertStepOn(c, AsStream(trial), &position, destination) > 0;
    acmStreamClose(AsStream(trial), 0);
    FreeMemory(destination);
    return decoded ? 1 : 0;
}

// ---- MP3 file scan ----------------------------------------------------------------

// Where the frames may start: after an ID3v2 tag (with its footer, for a
// version 4 tag that has one), else at 0. -1 when an ID3 header is cut short.
int64_t LeadingTagEnd(SoundConverter* c) {
    uint8_t id[3];
    if (Read(c, id, 3) != 3 || std::memcmp(id, "ID3", 3) != 0) return 0;
    uint8_t rest[7];
    if (Read(c, rest, 7) != 7) return -1;
    const uint8_t version = rest[0], flags = rest[2];
    const uint8_t* s = rest + 3;
    int64_t start = ((int64_t{s[0]} * 128 + s[1]) * 128 + s[2]) * 128 + s[3] + kId3HeaderBytes;
    if (version == 4 && (flags & 0x10)) start += kId3HeaderBytes;
    return start;
}

// Where the frames must end: before a 128-byte "TAG" block at the end.
uint32_t FramesEnd(SoundConverter* c, uint32_t size) {
    if (size <= kTrailingTagBytes) return 0;
    uint8_t tag[3];
    if (Seek(c, -static_cast<int32_t>(kTrailingTagBytes), 2) == 0 && Read(c, tag, 3) == 3 &&
        std::memcmp(tag, "TAG", 3) == 0)
        return size - kTrailingTagBytes;
    return size;
}

// A first frame counts only when another header of the same stream follows
// it, or when it ends exactly where the frames end: a lone sync pattern in
// other data is passed over.
bool IsConfirmedFirstFrame(SoundConverter* c, uint32_t frameStart, const Mp3FrameHeader& header, uint32_t end) {
    const uint64_t frameEnd = uint64_t{frameStart} + header.frameBytes;
    if (frameEnd == end) return true;
    if (frameEnd + 4 > end) return false;
    uint8_t next[4];
    Mp3FrameHeader following;
    const bool confirmed = Seek(c, static_cast<int64_t>(frameEnd), 0) == 0 && Read(c, next, 4) == 4 &&
                           ParseMp3FrameHeader(next, &following) == 0 && following.layer == header.layer &&
                           following.mpeg2 == header.mpeg2 && following.sampleRateIndex == header.sampleRateIndex;
    Seek(c, frameStart + 4, 0);
    return confirmed;
}

struct FrameScan {
    int64_t first = -1;  // offset of the first frame
    uint32_t last = 0;   // end of the last frame
    uint64_t samples = 0;
};

// Walks the frames from start to end, adding up their samples. -1 when a
// header inside the walk is unusable.
int32_t ScanFrames(SoundConverter* c, uint32_t start, uint32_t end, FrameScan* scan) {
    uint32_t position = start;
    if (Seek(c, position, 0) != 0) return -1;
    while (position < end) {
        uint8_t header[4];
        if (Read(c, header, 1) != 1) break;
        ++position;
        if (header[0] != 0xFF) continue;
        if (position >= end || Read(c, header + 1, 1) != 1) break;
        ++position;
        if ((header[1] & 0xF0) != 0xF0) continue;
        if (Read(c, header + 2, 2) != 2) break;
        position += 2;
        Mp3FrameHeader frame;
        if (ParseMp3FrameHeader(header, &frame) != 0) return -1;
        const uint32_t frameStart = position - 4;
        if (scan->first == -1) {
            if (!IsConfirmedFirstFrame(c, frameStart, frame, end)) {
                position = frameStart + 1;
                if (Seek(c, position, 0) != 0) return -1;
                continue;
            }
            scan->first = frameStart;
        }
        scan->samples += frame.samplesPerFrame;
        const uint64_t frameEnd = uint64_t{frameStart} + frame.frameBytes;
        if (frameEnd >= end) {
            scan->last = end;
            break;
        }
        scan->last = static_cast<uint32_t>(frameEnd);
        position = static_cast<uint32_t>(frameEnd);
        if (Seek(c, position, 0) != 0) return -1;
    }
    return 0;
}

// The MPEG layer-3 format that describes the stream by its first frame.
int32_t BuildMp3SourceFormat(SoundConverter* c, const Mp3FrameHeader& frame) {
    DWORD reported = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &reported) != MMSYSERR_NOERROR) reported = 0;
    // Never smaller than the layout written into it.
    const uint32_t size = std::max<uint32_t>(reported, kMp3FormatMinimum);
    auto* format = static_cast<MPEGLAYER3WAVEFORMAT*>(AllocMemoryZeroed(size, "", 0));
    if (format == nullptr) return -1;
    format->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    format->wfx.nChannels = frame.channels;
    format->wfx.nSamplesPerSec = frame.sampleRate;
    format->wfx.nAvgBytesPerSec = frame.bitRate * 1000 / 8;
    format->wfx.nBlockAlign = 1;
    format->wfx.wBitsPerSample = 0;
    format->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    format->wID = MPEGLAYER3_ID_MPEG;
    format->fdwFlags = frame.padding ? MPEGLAYER3_FLAG_PADDING_ON : MPEGLAYER3_FLAG_PADDING_ISO;
    format->nBlockSize = static_cast<WORD>(frame.frameBytes);
    format->nFramesPerBlock = 1;
    format->nCodecDelay = kMp3CodecDelay;
    c->acmSourceFormat = format;
    return 0;
}

// An extensible format (its extra bytes as cbSize states them) holding plain PCM.
bool HasPcmSubFormat(const WAVEFORMATEX& format) {
    if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
    GUID subFormat;
    std::memcpy(&subFormat, reinterpret_cast<const uint8_t*>(&format) + offsetof(WAVEFORMATEXTENSIBLE, SubFormat),
                sizeof subFormat);
    return subFormat == KSDATAFORMAT_SUBTYPE_PCM;
}

// The WAVE "fmt " body as the ACM is to read it: extra bytes only as many as
// the chunk holds, and a plain 16-byte PCM chunk with its bits recomputed.
int32_t PrepareWaveSourceFormat(SoundConverter* c, WAVEFORMATEX* format) {
    if (c->formatSize < sizeof(WAVEFORMATEX))
        format->cbSize = 0;
    else
        format->cbSize = static_cast<WORD>(std::min<uint32_t>(format->cbSize, c->formatSize - sizeof(WAVEFORMATEX)));
    // Without channels, rate or block size nothing can be decoded or measured.
    if (format->nChannels == 0 || format->nSamplesPerSec == 0 || format->nBlockAlign == 0) return -1;
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && !HasPcmSubFormat(*format))
        return WriteLog("WAVE_FORMAT_EXTENSIBLE のサブフォーマットが PCM ではありません\n");
    if (format->wFormatTag == WAVE_FORMAT_PCM && c->formatSize == 16) {
        format->wBitsPerSample = static_cast<WORD>(format->nBlockAlign / format->nChannels * 8);
        format->cbSize = 0;
    }
    return 0;
}

uint32_t BlockCapacityFor(SoundConverter* c, uint32_t oneStep) {
    DWORD stepOutput = 0;
    if (acmStreamSize(AsStream(c->acmActiveStream), oneStep, &stepOutput, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR)
        stepOutput = 0;
    return std::max<uint32_t>(c->outputFormat.nAvgBytesPerSec, stepOutput);
}

}  // namespace

int32_t ParseMp3FrameHeader(const uint8_t header[4], Mp3FrameHeader* out) {
    const uint8_t b1 = header[1], b2 = header[2], b3 = header[3];
    if (header[0] != 0xFF || (b1 & 0xF0) != 0xF0) return -2;
    Mp3FrameHeader h{};
    const uint8_t layerBits = (b1 >> 1) & 3;
    if (layerBits == 0) return -1;
    h.layer = static_cast<uint8_t>(3 - layerBits);
    h.mpeg2 = (b1 & 0x08) ? 0 : 1;
    h.bitRateIndex = b2 >> 4;
    h.sampleRateIndex = (b2 >> 2) & 3;
    if (h.bitRateIndex == 15 || h.bitRateIndex == 0 || h.sampleRateIndex == 3) return -1;
    h.padding = (b2 >> 1) & 1;
    h.channels = (b3 & 0xC0) == 0xC0 ? 1 : 2;
    h.sampleRate = kSampleRates[h.mpeg2][h.sampleRateIndex];
    h.bitRate = kBitRates[h.mpeg2 * 3 + h.layer][h.bitRateIndex - 1];
    if (h.layer == 0) {
        h.frameBytes = (h.bitRate * 12000 / h.sampleRate + h.padding) * 4;
        h.samplesPerFrame = 384;
    } else if (h.mpeg2 && h.layer == 2) {
        // Only Layer III halves its frames at the low sampling frequencies.
        h.frameBytes = h.bitRate * 72000 / h.sampleRate + h.padding;
        h.samplesPerFrame = 576;
    } else {
        h.frameBytes = h.bitRate * 144000 / h.sampleRate + h.padding;
        h.samplesPerFrame = 1152;
    }
    *out = h;
    return 0;
}

int32_t OpenAcmWaveConverter(SoundConverter* c) {
    ClearAcmState(c);
    uint8_t* body = nullptr;
    if (WalkRiffToFormat(c, &body) != 0) return -1;
    c->acmSourceFormat = body;
    auto* format = reinterpret_cast<WAVEFORMATEX*>(body);
    if (PrepareWaveSourceFormat(c, format) != 0) return FailOpen(c);
    if (WalkRiffToData(c) != 0) return FailOpen(c);
    if (c->dataSize == 0) return FailOpen(c);
    // A file cut off inside its payload is decoded as far as it holds whole blocks.
    const int64_t held = HeldDataBytes(c, format->nBlockAlign);
    if (held < 0) {
        FailOpen(c);
        return kBackEndRefused;
    }
    const bool cutOff = held < c->dataSize;
    c->dataSize = static_cast<uint32_t>(held);
    if (ChooseOutputFormat(c) != 0) return FailOpen(c);
    if (LoadSourceData(c) != 0) return FailOpen(c);
    if (OpenStreamPair(c) != 0) return FailOpen(c);
    c->blockCapacity = BlockCapacityFor(c, StepBytes(c));
    const int32_t decodes = DecodesAnything(c);
    if (decodes != 1) {
        FailOpen(c);
        return decodes == 0 ? RefuseSamplelessData(cutOff) : -1;
    }
    c->kind = kConverterAcm;
    return 0;
}

int32_t OpenAcmMp3Converter(SoundConverter* c) {
    ClearAcmState(c);
    c->acmTotalSamples = 0;
    Seek(c, 0, 2);
    const int32_t measured = Tell(c);
    Seek(c, 0, 0);
    if (measured <= 0) return -1;
    const uint32_t size = static_cast<uint32_t>(measured);

    const int64_t start = LeadingTagEnd(c);
    const uint32_t end = FramesEnd(c, size);
    if (start < 0 || start >= end) return -1;
    FrameScan scan;
    if (ScanFrames(c, static_cast<uint32_t>(start), end, &scan) != 0) return -1;
    // No whole frame before the end: nothing to decode.
    if (scan.first == -1 || scan.last <= scan.first) return -1;

    uint8_t bytes[4];
    Mp3FrameHeader frame;
    if (Seek(c, scan.first, 0) != 0 || Read(c, bytes, 4) != 4 || ParseMp3FrameHeader(bytes, &frame) != 0) return -1;
    if (BuildMp3SourceFormat(c, frame) != 0) return -1;
    c->dataOffset = static_cast<uint32_t>(scan.first);
    c->dataSize = scan.last - static_cast<uint32_t>(scan.first);
    Seek(c, scan.first, 0);
    if (ChooseOutputFormat(c) != 0) return FailOpen(c);
    if (LoadSourceData(c) != 0) return FailOpen(c);
    if (OpenStreamPair(c) != 0) return FailOpen(c);
    c->blockCapacity = static_cast<uint32_t>(c->outputFormat.nAvgBytesPerSec * 4u / 3u);
    // The converted size is a signed byte count.
    const uint64_t limit = INT32_MAX / c->outputFormat.nBlockAlign;
    c->acmTotalSamples = static_cast<int32_t>(std::min<uint64_t>(scan.samples, limit));
    c->kind = kConverterAcm;
    return 0;
}

int32_t FillAcmBlock(SoundConverter* c) {
    while (c->acmSourcePosition < c->acmSourceSize) {
        const uint32_t written = ConvertStep(c);
        if (written > 0) {
            c->blockLeft = written;
            return 0;
        }
    }
    c->blockLeft = 0;
    c->acmSourcePosition = c->acmSourceSize;
    return -1;
}

int32_t SeekAcmConverter(SoundConverter* c, int32_t sample) {
    const uint64_t wanted = static_cast<uint64_t>(static_cast<uint32_t>(sample)) * c->outputFormat.nBlockAlign;
    const uint32_t target = static_cast<uint32_t>(std::min<uint64_t>(wanted, UINT32_MAX));
    if (target < c->outputPosition) {
        // Start again from the first source byte on the spare stream; the
        // former active stream, opened afresh, becomes the spare.
        const uintptr_t former = c->acmActiveStream;
        c->acmActiveStream = c->acmSpareStream;
        c->acmSpareStream = 0;
        if (former != 0) acmStreamClose(AsStream(former), 0);
        if (c->acmActiveStream == 0) OpenOneStream(c, &c->acmActiveStream);
        OpenOneStream(c, &c->acmSpareStream);
        c->acmSourcePosition = 0;
        c->outputPosition = 0;
        c->blockLeft = 0;
        c->blockOffset = 0;
    }
    while (uint64_t{c->outputPosition} + c->blockLeft < target) {
        c->outputPosition += c->blockLeft;
        c->blockLeft = 0;
        c->blockOffset = 0;
        if (FillAcmBlock(c) == -1) return 0;
    }
    const uint32_t skip = target - c->outputPosition;
    c->blockOffset += skip;
    c->blockLeft -= skip;
    c->outputPosition = target;
    return 0;
}

int32_t GetAcmConvertedSize(SoundConverter* c) {
    DWORD bytes = 0;
    const uintptr_t stream = c->acmActiveStream != 0 ? c->acmActiveStream : c->acmSpareStream;
    if (acmStreamSize(AsStream(stream), c->dataSize, &bytes, ACM_STREAMSIZEF_SOURCE) != MMSYSERR_NOERROR) return 0;
    return bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);
}

int32_t CloseAcmConverter(SoundConverter* c) {
    FreeMemory(c->acmSourceFormat);
    if (c->acmActiveStream != 0) acmStreamClose(AsStream(c->acmActiveStream), 0);
    if (c->acmSpareStream != 0) acmStreamClose(AsStream(c->acmSpareStream), 0);
    FreeMemory(c->acmSourceData);
    ClearAcmState(c);
    return 0;
}
