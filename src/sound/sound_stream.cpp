// Stream sounds: up to three sources played one after another through a
// one-second ring that is refilled ahead of the play cursor (sound_refill.cpp).
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "sound/sound_internal.h"

#include <cstring>

namespace {

// A format DirectSound can play; anything else cannot get a stream buffer.
bool IsPlayableFormat(const WAVEFORMATEX& f) {
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 &&
           f.nSamplesPerSec >= DSBFREQUENCY_MIN && f.nSamplesPerSec <= DSBFREQUENCY_MAX &&
           f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

DataStream MemoryStreamOver(DWORD_PTR handle) {
    DataStream stream{};
    stream.functions = *GetMemoryStreamFunctions();
    stream.handle = handle;
    return stream;
}

// Reads a whole stream from its start into a new block.
int32_t ReadWholeStream(const DataStream* stream, uint8_t** block, uint32_t* size) {
    *block = nullptr;
    *size = 0;
    stream->functions.Seek(stream->handle, 0, 2);
    const int32_t length = stream->functions.Tell(stream->handle);
    stream->functions.Seek(stream->handle, 0, 0);
    if (length < 0) return -1;
    auto* data = static_cast<uint8_t*>(AllocMemory(length > 0 ? static_cast<uint32_t>(length) : 1u, "", 0));
    if (data == nullptr) return WriteLog("ストリームの読み込みに必要なメモリの確保に失敗しました");
    const size_t got = length > 0 ? stream->functions.Read(data, 1, static_cast<size_t>(length), stream->handle) : 0;
    if (got != static_cast<size_t>(length)) {
        FreeMemory(data);
        return -1;
    }
    *block = data;
    *size = static_cast<uint32_t>(length);
    return 0;
}

// Closes a source: its converter, its data block, the stream it read when
// that was opened for it, and its own memory stream.
void CloseSource(SoundRecord* record, int32_t index) {
    StreamSource* source = &record->sources[index];
    DataStream converterStream = source->converter.stream;
    CloseConverter(&source->converter);
    FreeMemory(source->data);
    source->data = nullptr;
    if (record->streamOwned[index] == 1 && source->sourceType == kStreamSourceStream && converterStream.handle != 0)
        converterStream.functions.Close(converterStream.handle);
    if (source->memoryStream.handle != 0) CloseMemStream(source->memoryStream.handle);
    source->memoryStream.handle = 0;
}

// Opens a source's memory stream and converter over its data block.
int32_t OpenSourceOverData(StreamSource* source) {
    source->memoryStream = MemoryStreamOver(OpenMemStream(source->data, source->dataSize));
    if (source->memoryStream.handle == 0) return -1;
    if (OpenSoundConverter(&source->memoryStream, &source->converter) != 0) {
        CloseMemStream(source->memoryStream.handle);
        source->memoryStream.handle = 0;
        return -1;
    }
    return 0;
}

// Type 0: the stream converted whole and kept as a WAVE image of its PCM.
int32_t PrepareConvertedSource(const DataStream* stream, StreamSource* source) {
    uint8_t* whole = nullptr;
    uint32_t wholeSize = 0;
    if (ReadWholeStream(stream, &whole, &wholeSize) != 0) return WriteLog("音声データの読み込みに失敗しました");
    const DWORD_PTR wholeStream = OpenMemStream(whole, wholeSize);
    DataStream memory = MemoryStreamOver(wholeStream);
    SoundConverter converter{};
    WAVEFORMATEX format{};
    uint8_t* pcm = nullptr;
    int32_t pcmSize = 0;
    const bool converted = wholeStream != 0 && OpenSoundConverter(&memory, &converter) == 0 &&
                           ConvertAll(&converter, &format, &pcm, &pcmSize) == 0;
    CloseConverter(&converter);
    if (wholeStream != 0) CloseMemStream(wholeStream);
    FreeMemory(whole);
    if (!converted) return WriteLog("音声データの変換に失敗しました");
    const int32_t built = BuildWaveImage(&source->data, &source->dataSize, &format, sizeof format, pcm,
                                         static_cast<uint32_t>(pcmSize));
    FreeMemory(pcm);
    if (built != 0) return -1;
    if (OpenSourceOverData(source) != 0) {
        FreeMemory(source->data);
        source->data = nullptr;
        return WriteLog("音声データの変換に失敗しました");
    }
    return 0;
}

// Type 2: the file image kept in memory and converted while playing.
int32_t PrepareMemorySource(const DataStream* stream, StreamSource* source) {
    if (ReadWholeStream(stream, &source->data, &source->dataSize) != 0)
        return WriteLog("音声データの読み込みに失敗しました");
    if (OpenSourceOverData(source) != 0) {
        FreeMemory(source->data);
        source->data = nullptr;
        return WriteLog("音声データのオープンに失敗しました");
    }
    return 0;
}

int32_t RecomputeTotalSamples(SoundRecord* record) {
    int64_t total = 0;
    for (int32_t i = 0; i < record->sourceCount; ++i)
        total += GetConvertedSize(&record->sources[i].converter) / record->format.nBlockAlign;
    record->totalSamples = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
    return 0;
}

// The record that holds a stream's buffer: its partner's, or its own.
SoundRecord* BufferHolder(SoundRecord* record) {
    return record->partner != -1 ? FindSound(record->partner) : record;
}

}  // namespace

void RewindStream(SoundRecord* record) {
    record->readPosition = 0;
    record->playedBytes = 0;
    record->loopPointPending = 0;
    record->loopPoint = 0;
    record->loopCounter = 0;
    record->currentSource = 0;
    record->active = 0;
}

void ReleaseStreamRecord(SoundRecord* record) {
    RemoveListNode(&record->listNode);
    for (int32_t i = 0; i < record->sourceCount; ++i) CloseSource(record, i);
    if (record->buffers[0].valid) ReleaseWrappedBuffer(&record->buffers[0]);
}

int32_t AddSreamSound(const DataStream* stream, int32_t loopCount, int32_t handle, int32_t sourceType,
                      int32_t* streamOwned, int32_t partnerHandle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || stream == nullptr) return -1;
    // A loaded memory sound has no sources but its buffers: it can take none.
    const bool memorySound = record->kind != kSoundStream && (record->buffers[0].valid || record->pcmData != nullptr);
    if (record->sourceCount > 0 || memorySound) {
        if (record->kind != kSoundStream)
            return WriteLog("ストリーム風サウンドではないサウンドデータが渡されました in AddSreamSound\n");
        SoundRecord* holder = BufferHolder(record);
        DWORD status = 0;
        if (holder != nullptr && holder->bufferOwner == handle &&
            GetWrappedBufferStatus(&holder->buffers[0], &status) == 0 && (status & DSBSTATUS_PLAYING))
            return WriteLog("既に再生中のストリームサウンドデータにデータを追加しようとしました\n");
        if (record->sourceCount >= kMaxStreamSources)
            return WriteLog("ストリーム風サウンドの制御データ領域がいっぱいです\n");
    }
    const int32_t index = record->sourceCount;
    StreamSource* source = &record->sources[index];
    std::memset(source, 0, sizeof *source);
    source->sourceType = static_cast<uint32_t>(sourceType);
    source->endSample = -1;
    stream->functions.Seek(stream->handle, 0, 0);
    int32_t owned = 0;
    switch (sourceType) {
        case kStreamSourceConverted:
            if (PrepareConvertedSource(stream, source) != 0) return -1;
            owned = 1;
            break;
        case kStreamSourceMemory:
            if (PrepareMemorySource(stream, source) != 0) return -1;
            owned = 1;
            break;
        case kStreamSourceStream:
            if (OpenSoundConverter(stream, &source->converter) != 0)
                return WriteLog("音声データのオープンに失敗しました");
            break;
        default:
            return WriteLog("音声データのオープンに失敗しました");
    }
    record->streamOwned[index] = 0;  // the caller marks the streams it opened

    auto dropSource = [&]() {
        CloseSource(record, index);
        std::memset(source, 0, sizeof *source);
    };
    WAVEFORMATEX format{};
    GetConverterFormat(&source->converter, &format);
    if (index > 0) {
        if (std::memcmp(&format, &record->format, sizeof format) != 0) {
            dropSource();
            return WriteLog("フォーマットの違う音声データは同時に使うことは出来ません");
        }
    } else {
        if (!IsPlayableFormat(format)) {
            dropSource();
            return WriteLog("再生できない形式の音声データです\n");
        }
        record->format = format;
        SoundRecord* partner = partnerHandle != -1 ? FindSound(partnerHandle) : nullptr;
        if (partner != nullptr && partner->kind == kSoundStream && partner->partner == -1 &&
            std::memcmp(&partner->format, &format, sizeof format) == 0) {
            record->kind = kSoundStream;
            record->bufferCount = 1;
            InsertListNode(&g_sound.streamHead, &record->listNode, handle, record);
            record->partner = partnerHandle;
            record->bufferBytes = partner->bufferBytes;
            ++partner->sharerCount;
        } else {
            if (CreateSoundBuffers(&format, StreamBufferBytes(format), kSoundStream, 1, handle, -1) != 0) {
                dropSource();
                return -1;
            }
            record->partner = -1;
            record->bufferBytes = StreamBufferBytes(format);
        }
        record->frequency = static_cast<int32_t>(format.nSamplesPerSec);
        record->sharerCount = 0;
        record->bufferOwner = -1;
        record->deletePending = 0;
    }
    source->loopCount = static_cast<int8_t>(loopCount);
    ++record->sourceCount;
    RecomputeTotalSamples(record);
    if (streamOwned != nullptr) *streamOwned = owned;
    return 0;
}

int32_t AddStreamFile(const char* fileName, int32_t loopCount, int32_t handle, int32_t sourceType,
                      int32_t partnerHandle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    const DWORD_PTR file = OpenAccessFile(fileName, 0, 1, 0);
    if (file == 0) return WriteLogFormatted("右記のＷＡＶファイルのロードに失敗しました：%s \n", fileName);
    DataStream stream{};
    stream.functions = *GetFileStreamFunctions();
    stream.handle = file;
    int32_t owned = 0;
    if (AddSreamSound(&stream, loopCount, handle, sourceType, &owned, partnerHandle) != 0) {
        CloseAccessFile(file);
        return WriteLogFormatted("右記のＷＡＶファイルのセットアップに失敗しました：%s \n", fileName);
    }
    if (owned == 1) CloseAccessFile(file);
    // The stream was opened here: a source that still reads it closes it.
    record->streamOwned[record->sourceCount - 1] = 1;
    return 0;
}

int32_t AddStreamMemory(const void* image, uint32_t imageSize, int32_t loopCount, int32_t handle,
                        int32_t sourceType, int32_t partnerHandle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (sourceType == kStreamSourceStream) sourceType = kStreamSourceMemory;
    const DWORD_PTR memory = OpenMemStream(image, imageSize);
    if (memory == 0) return WriteLog("ＷＡＶファイルのストリームイメージハンドルの作成に失敗しました \n");
    DataStream stream = MemoryStreamOver(memory);
    int32_t owned = 0;
    if (AddSreamSound(&stream, loopCount, handle, sourceType, &owned, partnerHandle) != 0) {
        CloseMemStream(memory);
        return WriteLog("ＷＡＶファイルのストリームイメージのセットアップに失敗しました \n");
    }
    if (owned == 1) CloseMemStream(memory);
    record->streamOwned[record->sourceCount - 1] = 1;
    return 0;
}

int32_t GetStreamBuffer(int32_t handle, SoundRecord* record, SoundBufferWrapper** buffer, int32_t takeOver) {
    if (record->kind != kSoundStream) {
        *buffer = &record->buffers[0];
        return 0;
    }
    SoundRecord* holder = BufferHolder(record);
    if (holder == nullptr) return -1;
    *buffer = &holder->buffers[0];
    if (holder->bufferOwner == -1 || holder->bufferOwner == handle) {
        holder->bufferOwner = handle;
        return 0;
    }
    if (!takeOver) return -1;
    StopStreamSound(holder->bufferOwner);
    holder->bufferOwner = handle;
    return 0;
}

int32_t PreloadStream(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream) return -1;
    SoundBufferWrapper* buffer = nullptr;
    if (GetStreamBuffer(handle, record, &buffer, 0) != 0) return -1;
    DWORD status = 0;
    if (GetWrappedBufferStatus(buffer, &status) != 0) return -1;
    if ((status & DSBSTATUS_PLAYING) || record->active) return 0;
    SetWrappedBufferPosition(buffer, 0);
    record->writePosition = kFirstFillPending;
    record->guardPosition = -1;
    record->lastCursor = 0;
    record->dataEnded = 0;
    StreamSource* source = &record->sources[record->currentSource];
    SeekConverter(&source->converter, record->readPosition / record->format.nBlockAlign);
    record->active = 1;
    RefillStream(handle);
    return 0;
}

int32_t PlayStreamSound(int32_t handle, int32_t playType, int32_t fromStart) {
    if (g_sound.soundObject == nullptr) return -1;
    {
        SoundLockGuard lock;
        SoundRecord* record = FindSound(handle);
        if (record == nullptr || record->kind != kSoundStream) return -1;
        SoundBufferWrapper* buffer = nullptr;
        if (GetStreamBuffer(handle, record, &buffer, 1) != 0) return -1;
        DWORD status = 0;
        if (fromStart == 0 && GetWrappedBufferStatus(buffer, &status) == 0 && (status & DSBSTATUS_PLAYING))
            return -1;
        StopStreamSound(handle);
        if (((playType ^ record->playType) & 2) != 0 && record->finished) {
            record->finished = 0;
            RewindStream(record);
        }
        if (fromStart == 1) {
            record->finished = 0;
            if (record->playedBytes != 0) RewindStream(record);
        }
        record->playType = playType;
        PreloadStream(handle);
        ApplySoundSettings(record, buffer);
        if (PlayWrappedBuffer(buffer, 1) != 0) return -1;
    }
    if (playType == kPlayTypeWait) {
        while (PumpMessagesUnlocked() == 0 && IsSoundPlaying(handle) == 1) Sleep(1);
    }
    return 0;
}

int32_t StopStreamSound(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream) return -1;
    UpdateStreamPosition(handle, -1);
    SoundBufferWrapper* buffer = nullptr;
    if (GetStreamBuffer(handle, record, &buffer, 0) != 0) return 0;
    if (record->partner != -1) {
        SoundRecord* partner = FindSound(record->partner);
        if (partner != nullptr) partner->bufferOwner = -1;
    }
    DWORD status = 0;
    if (GetWrappedBufferStatus(buffer, &status) != 0) return -1;
    if (status & DSBSTATUS_PLAYING) StopWrappedBuffer(buffer);
    return 0;
}

int32_t IsStreamPlaying(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream) return -1;
    SoundRecord* holder = BufferHolder(record);
    if (holder == nullptr || holder->bufferOwner != handle) return 0;
    DWORD status = 0;
    if (GetWrappedBufferStatus(&holder->buffers[0], &status) != 0) return 0;
    return (status & DSBSTATUS_PLAYING) ? 1 : 0;
}

int32_t GetStreamCurrentTime(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || record->kind != kSoundStream) return -1;
    UpdateStreamPosition(handle, -1);
    const int32_t played = SamplesToMilliseconds(static_cast<int32_t>(record->playedBytes / record->format.nBlockAlign),
                                                 static_cast<int32_t>(record->format.nSamplesPerSec));
    const int32_t total = GetSoundTotalTime(handle);
    return (total >= 0 && played > total) ? total : played;
}
