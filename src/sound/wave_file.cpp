// WAVE (RIFF) files: the walk to the "fmt " and "data" chunks, the plain PCM
// back end of the converter, WAVE images in memory and the capture header.
//
// Chunk sizes are unsigned and checked against the bytes left in the stream
// before anything is skipped or read, so a chunk can never seek backwards,
// repeat or claim more than the file holds.
#include "core/log.h"
#include "core/memory.h"
#include "platform/kernel32/kernel32.h"
#include "sound/sound.h"
#include "sound/sound_converter.h"

#include <cstring>

namespace {

constexpr uint32_t kTagRiff = 0x46464952;  // "RIFF"
constexpr uint32_t kTagBext = 0x74786562;  // "bext"
constexpr uint32_t kTagFmt = 0x20746D66;   // "fmt "
constexpr uint32_t kTagData = 0x61746164;  // "data"
constexpr uint32_t kMaxBlockCapacity = 4u << 20;
constexpr char kCutOffWithoutSamples[] = "音声データがファイルの途中で切れていて、読み込める標本がありません\n";

struct ChunkHeader {
    uint32_t id;
    uint32_t size;
};

uint32_t ReadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void WriteLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void WriteLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

int32_t Tell(SoundConverter* c) { return c->stream.functions.Tell(c->stream.handle); }
int Seek(SoundConverter* c, int32_t offset, int origin) {
    return c->stream.functions.Seek(c->stream.handle, offset, origin);
}
size_t Read(SoundConverter* c, void* buffer, size_t bytes) {
    return c->stream.functions.Read(buffer, 1, bytes, c->stream.handle);
}

// Bytes from the current position to the end of the stream.
uint32_t BytesLeft(SoundConverter* c) {
    const int32_t here = Tell(c);
    if (here < 0 || static_cast<uint32_t>(here) >= c->streamSize) return 0;
    return c->streamSize - static_cast<uint32_t>(here);
}

bool ReadChunkHeader(SoundConverter* c, ChunkHeader* header) {
    uint8_t bytes[8];
    if (Read(c, bytes, 8) != 8) return false;
    header->id = ReadLe32(bytes);
    header->size = ReadLe32(bytes + 4);
    return true;
}

// Skips bytes forward; false when they are not all in the stream.
bool SkipForward(SoundConverter* c, uint64_t bytes) {
    if (bytes > BytesLeft(c)) return false;
    return bytes == 0 || Seek(c, static_cast<int32_t>(bytes), 1) == 0;
}

void MeasureStream(SoundConverter* c) {
    const int32_t start = Tell(c);
    Seek(c, 0, 2);
    const int32_t end = Tell(c);
    c->streamSize = end > 0 ? static_cast<uint32_t>(end) : 0;
    Seek(c, start > 0 ? start : 0, 0);
}

}  // namespace

int32_t WalkRiffToFormat(SoundConverter* c, uint8_t** formatCopy) {
    *formatCopy = nullptr;
    MeasureStream(c);
    ChunkHeader header;
    if (!ReadChunkHeader(c, &header) || header.id != kTagRiff) return -1;
    char form[5] = {};
    if (Read(c, form, 4) != 4 || std::strcmp(form, "WAVE") != 0) return -1;

    if (!ReadChunkHeader(c, &header)) return -1;
    if (header.id == kTagBext) {
        // Skipped without its pad byte, as older files were written; a file
        // that has the pad byte is read from one byte further on.
        const uint32_t bextSize = header.size;
        if (!SkipForward(c, bextSize)) return -1;
        const int32_t afterBody = Tell(c);
        if (!ReadChunkHeader(c, &header)) return -1;
        if (header.id != kTagFmt && (bextSize & 1) != 0) {
            Seek(c, afterBody + 1, 0);
            if (!ReadChunkHeader(c, &header)) return -1;
        }
    }
    if (header.id != kTagFmt) return -1;
    // Every WAVE format starts with the 16 bytes up to the bits per sample.
    if (header.size < 16 || header.size > BytesLeft(c)) return -1;
    const uint32_t copySize = header.size < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : header.size;
    uint8_t* copy = static_cast<uint8_t*>(AllocMemoryZeroed(copySize, "", 0));
    if (copy == nullptr) return -1;
    c->formatOffset = static_cast<uint32_t>(Tell(c));
    c->formatSize = header.size;
    if (Read(c, copy, header.size) != header.size) {
        FreeMemory(copy);
        return -1;
    }
    *formatCopy = copy;
    return 0;
}

int32_t WalkRiffToData(SoundConverter* c) {
    // Skip the fmt chunk's pad byte, when it has one and the file holds it.
    if ((c->formatSize & 1) != 0 && BytesLeft(c) > 0) {
        uint8_t pad;
        const int32_t here = Tell(c);
        if (Read(c, &pad, 1) == 1 && pad != 0) Seek(c, here, 0);
    }
    if (c->stream.functions.Eof(c->stream.handle)) return -1;
    ChunkHeader header;
    for (;;) {
        if (!ReadChunkHeader(c, &header)) return -1;
        if (header.id == kTagData) break;
        if (!SkipForward(c, uint64_t{header.size} + (header.size & 1))) return -1;
        if (c->stream.functions.Eof(c->stream.handle)) return -1;
    }
    c->dataOffset = static_cast<uint32_t>(Tell(c));
    c->dataSize = header.size;
    return 0;
}

int32_t RefuseSamplelessData(bool cutOff) {
    WriteLog(cutOff ? kCutOffWithoutSamples : "音声データに再生できる標本がありません\n");
    return kBackEndRefused;
}

int64_t HeldDataBytes(SoundConverter* c, uint32_t blockAlign) {
    const uint32_t inStream = c->streamSize > c->dataOffset ? c->streamSize - c->dataOffset : 0;
    if (c->dataSize <= inStream) return c->dataSize;
    const uint32_t held = blockAlign > 0 ? inStream - inStream % blockAlign : 0;
    if (held == 0) return WriteLog(kCutOffWithoutSamples);
    WriteLogFormatted("音声データがファイルの途中で切れています：%u バイトのうち %u バイトを読み込みます", c->dataSize,
                      held);
    return held;
}

int32_t OpenWaveConverter(SoundConverter* c) {
    uint8_t* body = nullptr;
    if (WalkRiffToFormat(c, &body) != 0) return -1;
    WAVEFORMATEX format{};
    std::memcpy(&format, body, c->formatSize < sizeof format ? c->formatSize : sizeof format);
    FreeMemory(body);
    if (format.wFormatTag != WAVE_FORMAT_PCM) return -1;
    if (c->formatSize == 16) {
        if (format.nChannels != 0) format.wBitsPerSample = static_cast<WORD>(format.nBlockAlign / format.nChannels * 8);
    }
    format.cbSize = 0;
    // A format without channels, rate, bytes per second, block size or bits
    // cannot be played or measured (every length divides by these).
    if (format.nChannels == 0 || format.nSamplesPerSec == 0 || format.nAvgBytesPerSec == 0 ||
        format.nBlockAlign == 0 || format.wBitsPerSample == 0)
        return -1;
    c->outputFormat = format;

    if (WalkRiffToData(c) != 0) return -1;
    // Only whole sample frames are played and counted: those a cut-off file
    // holds, and of a chunk that ends inside a frame all but that part-frame.
    const int64_t held = HeldDataBytes(c, format.nBlockAlign);
    if (held < 0) return kBackEndRefused;
    c->dataSize = static_cast<uint32_t>(held - held % format.nBlockAlign);
    if (c->dataSize == 0) return RefuseSamplelessData(false);

    // Blocks of whole frames, so that every refill hands out whole frames.
    uint32_t capacity = format.nAvgBytesPerSec < kMaxBlockCapacity ? format.nAvgBytesPerSec : kMaxBlockCapacity;
    capacity -= capacity % format.nBlockAlign;
    c->blockCapacity = capacity > 0 ? capacity : format.nBlockAlign;
    c->kind = kConverterPcm;
    return 0;
}

int32_t BuildWaveImage(uint8_t** image, uint32_t* imageSize, const void* format, uint32_t formatSize,
                       const void* data, uint32_t dataSize) {
    const uint64_t total = uint64_t{formatSize} + dataSize + 28;
    uint8_t* out = total <= 0xFFFFFFFFu ? static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(total), "", 0))
                                        : nullptr;
    if (out == nullptr) return WriteLog("仮WAVEファイルイメージ用のメモリ確保に失敗しました\n");
    std::memcpy(out, "RIFF", 4);
    WriteLe32(out + 4, static_cast<uint32_t>(total - 8));
    std::memcpy(out + 8, "WAVEfmt ", 8);
    WriteLe32(out + 16, formatSize);
    if (formatSize) std::memcpy(out + 20, format, formatSize);
    std::memcpy(out + 20 + formatSize, "data", 4);
    WriteLe32(out + 24 + formatSize, dataSize);
    if (dataSize) std::memcpy(out + 28 + formatSize, data, dataSize);
    *image = out;
    *imageSize = static_cast<uint32_t>(total);
    return 0;
}

// ---- capture file ---------------------------------------------------------------
namespace {
constexpr DWORD kCaptureHeaderBytes = 46;
constexpr uint32_t kCaptureFrameBytes = 4;  // 16-bit stereo
int32_t g_captureActive = 0;
uint32_t g_captureFrames = 0;
HANDLE g_captureFile = nullptr;
}  // namespace

int32_t StartSoundCaptureForTest(HANDLE file) {
    if (g_captureActive || file == nullptr || file == INVALID_HANDLE_VALUE) return -1;
    if (SetFilePointer(file, kCaptureHeaderBytes, nullptr, FILE_BEGIN) != kCaptureHeaderBytes) return -1;
    g_captureFile = file;
    g_captureFrames = 0;
    g_captureActive = 1;
    return 0;
}

int32_t AddSoundCaptureFramesForTest(const int16_t* frames, uint32_t count) {
    if (!g_captureActive || (frames == nullptr && count > 0) || count > 0xFFFFFFFFu / kCaptureFrameBytes) return -1;
    DWORD written = 0;
    const DWORD bytes = count * kCaptureFrameBytes;
    if (!WriteFile(g_captureFile, frames, bytes, &written, nullptr) || written != bytes) return -1;
    g_captureFrames += count;
    return 0;
}

int32_t FinishCaptureWaveFile() {
    if (!g_captureActive) return -1;
    uint8_t header[kCaptureHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    WriteLe32(header + 4, 4 * g_captureFrames + 38);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    WriteLe32(header + 16, 18);
    WriteLe16(header + 20, 1);
    WriteLe16(header + 22, 2);
    WriteLe32(header + 24, 44100);
    WriteLe32(header + 28, 176400);
    WriteLe16(header + 32, 4);
    WriteLe16(header + 34, 16);
    WriteLe16(header + 36, 0);
    std::memcpy(header + 38, "data", 4);
    WriteLe32(header + 42, 4 * g_captureFrames);
    SetFilePointer(g_captureFile, 0, nullptr, FILE_BEGIN);
    DWORD written = 0;
    WriteFile(g_captureFile, header, sizeof header, &written, nullptr);
    CloseHandle(g_captureFile);
    g_captureFile = nullptr;
    g_captureActive = 0;
    return 0;
}
