// The converter's common operations: choosing a back end, block-wise reads,
// seeks, the converted size and whole conversion.
#include "sound/sound_converter.h"

#include "core/memory.h"
#include "sound/sound.h"

#include <cstring>

int32_t OggOldDecoderFlag = 0;

namespace {

using OpenBackEnd = int32_t (*)(SoundConverter*);

struct BackEndChoice {
    int32_t maskBit;
    OpenBackEnd open;
    bool rewindAfterFailure;
};

// In the order they are tried. The MP3-through-ACM try leaves the stream as
// it is: the DirectShow back end measures and rewinds it itself.
constexpr BackEndChoice kBackEnds[] = {
    {kConvertMaskWavePcm, OpenWaveConverter, true},
    {kConvertMaskWaveAcm, OpenAcmWaveConverter, true},
    {kConvertMaskOgg, OpenOggConverter, true},
    {kConvertMaskMp3Acm, OpenAcmMp3Converter, false},
    {kConvertMaskMp3DirectShow, OpenDirectShowMp3Converter, false},
};

void ReleaseBackEnd(SoundConverter* c) {
    switch (c->kind) {
        case kConverterAcm:
            CloseAcmConverter(c);
            break;
        case kConverterOgg:
            CloseOggConverter(c);
            break;
        case kConverterMemoryPcm:
            FreeMemory(c->memoryPcmData);
            c->memoryPcmData = nullptr;
            break;
        default:
            break;
    }
}

// Plain PCM read from the stream: the next refill reads from target bytes
// into the data.
int32_t SeekPcmConverter(SoundConverter* c, uint32_t target) {
    c->stream.functions.Seek(c->stream.handle, static_cast<int32_t>(c->dataOffset + target), 0);
    c->outputPosition = target;
    c->blockLeft = 0;
    c->blockOffset = 0;
    return 0;
}

int32_t FillPcmBlock(SoundConverter* c) {
    const int32_t tell = c->stream.functions.Tell(c->stream.handle);
    if (tell < 0 || static_cast<uint32_t>(tell) < c->dataOffset) return -1;
    const uint32_t position = static_cast<uint32_t>(tell) - c->dataOffset;
    if (position >= c->dataSize) return -1;
    uint32_t want = c->dataSize - position;
    if (want > c->blockCapacity) want = c->blockCapacity;
    const uint32_t got = static_cast<uint32_t>(c->stream.functions.Read(c->block, 1, want, c->stream.handle));
    // Whole sample frames only: a stream that ends inside a frame (it shrank
    // while open) is left at that frame's start, where the next fill ends.
    const uint32_t part = got % c->outputFormat.nBlockAlign;
    if (part != 0) c->stream.functions.Seek(c->stream.handle, tell + static_cast<int32_t>(got - part), 0);
    c->blockLeft = got - part;
    return c->blockLeft == 0 ? -1 : 0;
}

int32_t FillMemoryPcmBlock(SoundConverter* c) {
    if (c->memoryPcmReadPosition >= c->memoryPcmSize) return -1;
    uint32_t count = c->memoryPcmSize - c->memoryPcmReadPosition;
    if (count > c->blockCapacity) count = c->blockCapacity;
    std::memcpy(c->block, c->memoryPcmData + c->memoryPcmReadPosition, count);
    c->blockLeft = count;
    c->memoryPcmReadPosition += count;
    return 0;
}

// A byte count as the converter's signed size: a "data" size of 2 GB or more
// (writers that cannot seek back leave it near 4 GB) stays the largest size.
int32_t SizeOf(uint32_t bytes) { return bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes); }

int32_t FillBlock(SoundConverter* c) {
    switch (c->kind) {
        case kConverterPcm:
            return FillPcmBlock(c);
        case kConverterAcm:
            return FillAcmBlock(c);
        case kConverterOgg:
            return FillOggBlock(c);
        case kConverterMemoryPcm:
            return FillMemoryPcmBlock(c);
        default:
            return -1;
    }
}

// A decoder's size is what the data claims (granule positions, frame
// counts), which a damaged file can set to anything: the PCM block starts
// at one step and grows with what actually decodes, up to the claimed size.
constexpr uint32_t kDecodeStep = 1u << 20;

int32_t ReadDecoded(SoundConverter* c, int32_t claimed, uint8_t** pcm, int32_t* size) {
    const uint32_t limit = claimed > 0 ? static_cast<uint32_t>(claimed) : 0;
    uint32_t capacity = limit < kDecodeStep ? (limit > 0 ? limit : 1u) : kDecodeStep;
    uint8_t* block = static_cast<uint8_t*>(AllocMemory(capacity, "", 0));
    if (block == nullptr) return -1;
    uint32_t got = 0;
    while (got < limit) {
        if (got == capacity) {
            const uint32_t grown = capacity < limit - capacity ? capacity * 2 : limit;
            uint8_t* larger = static_cast<uint8_t*>(ReallocMemory(block, grown, "", 0));
            if (larger == nullptr) {
                FreeMemory(block);
                return -1;
            }
            block = larger;
            capacity = grown;
        }
        const int32_t read = ReadConverter(c, block + got, static_cast<int32_t>(capacity - got));
        if (read <= 0) break;
        got += static_cast<uint32_t>(read);
    }
    // Less than the block holds: keep only what decoded.
    if (got < capacity) {
        if (uint8_t* fitted = static_cast<uint8_t*>(ReallocMemory(block, got > 0 ? got : 1u, "", 0))) block = fitted;
    }
    *pcm = block;
    *size = static_cast<int32_t>(got);
    return 0;
}

}  // namespace

int32_t OpenSoundConverter(const DataStream* stream, SoundConverter* c) {
    if (stream == nullptr || c == nullptr) return -1;
    std::memset(c, 0, sizeof *c);
    c->olderDecoder = OggOldDecoderFlag;
    c->stream = *stream;
    c->stream.functions.Seek(c->stream.handle, 0, 0);
    const int32_t mask = GetSoundConvertMask();
    bool opened = false;
    for (const BackEndChoice& choice : kBackEnds) {
        if (mask & choice.maskBit) continue;
        const int32_t result = choice.open(c);
        if (result == 0) {
            opened = true;
            break;
        }
        if (result == kBackEndRefused) return -1;
        if (choice.rewindAfterFailure) c->stream.functions.Seek(c->stream.handle, 0, 0);
    }
    if (!opened) return -1;
    c->open = 0;
    c->ended = 0;
    c->block = static_cast<uint8_t*>(AllocMemory(c->blockCapacity, "", 0));
    if (c->block == nullptr) {
        ReleaseBackEnd(c);
        return -1;
    }
    c->blockLeft = 0;
    c->blockOffset = 0;
    c->outputPosition = 0;
    c->open = 1;
    return 0;
}

int32_t ReadConverter(SoundConverter* c, uint8_t* destination, int32_t bytes) {
    if (c == nullptr || !c->open) return -1;
    if (c->ended || bytes <= 0) return 0;
    int32_t total = 0;
    while (bytes > 0) {
        if (c->blockLeft == 0) {
            c->blockOffset = 0;
            if (FillBlock(c) == -1) {
                c->ended = 1;
                break;
            }
        }
        uint32_t count = static_cast<uint32_t>(bytes);
        if (count > c->blockLeft) count = c->blockLeft;
        std::memcpy(destination + total, c->block + c->blockOffset, count);
        c->blockLeft -= count;
        c->blockOffset += count;
        c->outputPosition += count;
        total += static_cast<int32_t>(count);
        bytes -= static_cast<int32_t>(count);
    }
    return total;
}

int32_t SeekConverter(SoundConverter* c, int32_t sample) {
    if (c == nullptr || !c->open) return -1;
    const uint32_t target = static_cast<uint32_t>(sample) * c->outputFormat.nBlockAlign;
    const int64_t difference = static_cast<int64_t>(target) - static_cast<int64_t>(c->outputPosition);
    if (difference > -16 && difference < 16) return 0;
    int32_t result = 0;
    switch (c->kind) {
        case kConverterPcm:
            result = SeekPcmConverter(c, target);
            break;
        case kConverterAcm:
            result = SeekAcmConverter(c, sample);
            break;
        case kConverterOgg:
            result = SeekOggConverter(c, sample);
            break;
        case kConverterMemoryPcm:
            c->outputPosition = target;
            c->blockLeft = 0;
            c->blockOffset = 0;
            c->memoryPcmReadPosition = target;
            break;
        default:
            break;
    }
    c->ended = 0;
    return result;
}

int32_t GetConvertedSize(SoundConverter* c) {
    if (c == nullptr) return 0;
    switch (c->kind) {
        case kConverterPcm:
            return SizeOf(c->dataSize);
        case kConverterAcm:
            if (c->acmTotalSamples != -1) return c->acmTotalSamples * c->outputFormat.nBlockAlign;
            return GetAcmConvertedSize(c);
        case kConverterOgg:
            return GetOggPcmSize(c);
        case kConverterMemoryPcm:
            return SizeOf(c->memoryPcmSize);
        default:
            return 0;
    }
}

int32_t GetConverterFormat(SoundConverter* c, WAVEFORMATEX* format) {
    if (c == nullptr || format == nullptr) return -1;
    *format = c->outputFormat;
    return 0;
}

int32_t ConvertAll(SoundConverter* c, WAVEFORMATEX* format, uint8_t** block, int32_t* size) {
    if (c == nullptr || !c->open) return -1;
    // Plain PCM is read straight from the stream: its size counts the whole
    // sample frames the stream holds (the open measured them).
    int32_t total = GetConvertedSize(c);
    if (total < 0) return -1;
    uint8_t* pcm = nullptr;
    SeekConverter(c, 0);
    if (c->kind == kConverterPcm) {
        pcm = static_cast<uint8_t*>(AllocMemory(total > 0 ? static_cast<uint32_t>(total) : 1u, "", 0));
        if (pcm == nullptr) return -1;
        c->stream.functions.Seek(c->stream.handle, static_cast<int32_t>(c->dataOffset), 0);
        const size_t got = total > 0 ? c->stream.functions.Read(pcm, 1, static_cast<size_t>(total), c->stream.handle) : 0;
        if (got != static_cast<size_t>(total)) {
            FreeMemory(pcm);
            return -1;
        }
    } else if (ReadDecoded(c, total, &pcm, &total) != 0) {
        return -1;
    }
    if (format) *format = c->outputFormat;
    *block = pcm;
    *size = total;
    return 0;
}

int32_t CloseConverter(SoundConverter* c) {
    if (c == nullptr || !c->open) return -1;
    FreeMemory(c->block);
    c->block = nullptr;
    ReleaseBackEnd(c);
    c->open = 0;
    return 0;
}
