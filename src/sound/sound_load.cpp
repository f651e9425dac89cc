// Loading memory sounds: the whole file converted to PCM and copied into a
// DirectSound buffer and its duplicates; the load type and conversion mask.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "sound/sound_internal.h"

#include <cstring>

namespace {

constexpr DWORD kMemoryBufferFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                                     DSBCAPS_CTRLFREQUENCY | DSBCAPS_STATIC;              // 0x80E2
constexpr DWORD kRetryBufferFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_STATIC;  // 0xC2
constexpr DWORD kStreamBufferFlags = kMemoryBufferFlags | DSBCAPS_GETCURRENTPOSITION2;      // 0x180E2

// While set, buffers are asked for in software memory instead of as static
// buffers (the library itself never sets it).
int32_t g_softwareBuffers = 0;

// A buffer flag word with the location the switch asks for.
DWORD BufferFlags(DWORD flags) {
    return g_softwareBuffers ? (flags & ~DWORD{DSBCAPS_STATIC}) | DSBCAPS_LOCSOFTWARE : flags;
}

int32_t ClampBufferCount(int32_t count) {
    if (count > kMaxSoundBuffers) return kMaxSoundBuffers;
    return count < 0 ? 0 : count;
}

// The first buffer of a memory sound: with its flags, else with the retry flags.
int32_t CreateMemoryBuffer(SoundBufferWrapper* wrapper, const WAVEFORMATEX* format, uint32_t bytes) {
    WAVEFORMATEX copy = *format;
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = BufferFlags(kMemoryBufferFlags);
    description.dwBufferBytes = bytes;
    description.lpwfxFormat = &copy;
    if (CreateWrappedBuffer(wrapper, &description) == 0) return 0;
    description.dwFlags = BufferFlags(kRetryBufferFlags);
    if (CreateWrappedBuffer(wrapper, &description) == 0) return 0;
    return WriteLog("DirectSoundBuffer の作成に失敗しました\n");
}

// Copies the record's PCM into every buffer whose fill-skip flag is clear.
int32_t FillMemoryBuffers(SoundRecord* record) {
    for (int32_t i = 0; i < record->bufferCount; ++i) {
        if (record->fillSkip[i] == 1) continue;
        void* first = nullptr;
        void* second = nullptr;
        DWORD firstBytes = 0, secondBytes = 0;
        if (LockWrappedBuffer(&record->buffers[i], 0, record->pcmSize, &first, &firstBytes, &second,
                              &secondBytes) != 0)
            return WriteLog("サウンドデータの転送に失敗しました_1");
        const uint32_t head = firstBytes < record->pcmSize ? firstBytes : record->pcmSize;
        CopyBytes(first, record->pcmData, head);
        if (second != nullptr && record->pcmSize > head) {
            const uint32_t rest = record->pcmSize - head;
            CopyBytes(second, record->pcmData + head, rest < secondBytes ? rest : secondBytes);
        }
        if (UnlockWrappedBuffer(&record->buffers[i], first, firstBytes, second, secondBytes) != 0)
            return WriteLog("サウンドデータの転送に失敗しました_2");
    }
    return 0;
}

}  // namespace

uint32_t StreamBufferBytes(const WAVEFORMATEX& format) {
    const uint32_t block = format.nBlockAlign;
    return (format.nAvgBytesPerSec + block - 1) / block * block;
}

void SetSoftwareSoundBuffersForTest(int32_t on) { g_softwareBuffers = on != 0; }

int32_t SetSoundLoadType(int32_t type) {
    if (static_cast<uint32_t>(type) > 3) return -1;
    g_sound.loadType = type == 1 ? 0 : type;
    return 0;
}

int32_t GetSoundLoadType() { return g_sound.loadType; }

int32_t SetSoundConvertMask(int32_t mask) {
    g_sound.convertMask = mask;
    return 0;
}

int32_t GetSoundConvertMask() { return g_sound.convertMask; }

int32_t LoadWholeFile(const char* fileName, uint8_t** image, uint32_t* size) {
    *image = nullptr;
    *size = 0;
    const DWORD_PTR file = OpenAccessFile(fileName, 0, 1, 0);
    if (file == 0) return WriteLogFormatted("右記のファイルのオープンに失敗しました：%s", fileName);
    SeekAccessFile(file, 0, 2);
    const int64_t length = TellAccessFile(file);
    SeekAccessFile(file, 0, 0);
    uint8_t* data = nullptr;
    if (length >= 0 && length < 0xFFFFFFFFll)
        data = static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(length > 0 ? length : 1), "", 0));
    if (data == nullptr) {
        CloseAccessFile(file);
        return WriteLogFormatted("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", fileName);
    }
    const size_t got = length > 0 ? ReadAccessFile(data, 1, static_cast<size_t>(length), file) : 0;
    CloseAccessFile(file);
    if (got != static_cast<size_t>(length)) {
        FreeMemory(data);
        return WriteLogFormatted("右記のファイルの読み込みに失敗しました：%s", fileName);
    }
    *image = data;
    *size = static_cast<uint32_t>(length);
    return 0;
}

int32_t LoadSoundFile(const char* fileName, int32_t bufferCount, int32_t partner) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    bufferCount = ClampBufferCount(bufferCount);
    if (g_sound.loadType != 0) {
        const int32_t handle = AddSoundData(-1);
        if (handle == -1) return -1;
        if (AddStreamFile(fileName, 0, handle, g_sound.loadType, partner) == 0) {
            PreloadStream(handle);
            return handle;
        }
        DeleteSound(handle, 0);
        return -1;
    }
    uint8_t* image = nullptr;
    uint32_t size = 0;
    if (LoadWholeFile(fileName, &image, &size) != 0) {
        FreeMemory(image);
        return WriteLogFormatted("右記の音声ファイルのロードに失敗しました_1：%s", fileName);
    }
    const int32_t handle = CreateSoundFromImage(image, size, bufferCount, -1);
    FreeMemory(image);
    if (handle == -1) return WriteLogFormatted("右記の音声ファイルのロードに失敗しました_2：%s", fileName);
    return handle;
}

int32_t LoadSound(const char* fileName, int32_t bufferCount, int32_t partner) {
    return LoadSoundFile(fileName, bufferCount, partner);
}

int32_t CreateSoundFromImage(const void* image, uint32_t imageSize, int32_t bufferCount, int32_t partner) {
    if (g_sound.soundObject == nullptr || bufferCount > kMaxSoundBuffers) return -1;
    if (bufferCount < 0) bufferCount = 0;
    SoundLockGuard lock;
    const int32_t handle = AddSoundData(-1);
    if (handle == -1) return -1;
    SoundRecord* record = FindSound(handle);

    const int32_t savedLoadType = g_sound.loadType;
    bool loadTypeChanged = false;
    uint8_t* pcm = nullptr;
    int32_t pcmSize = 0;
    DWORD_PTR memoryStream = 0;
    SoundConverter converter{};
    bool converterOpen = false;
    WAVEFORMATEX format{};

    auto fail = [&]() -> int32_t {
        FreeMemory(pcm);
        DeleteSound(handle, 0);
        if (converterOpen) CloseConverter(&converter);
        if (memoryStream != 0) CloseMemStream(memoryStream);
        if (loadTypeChanged) g_sound.loadType = savedLoadType;
        return -1;
    };

    if (g_sound.loadType == 0) {
        memoryStream = OpenMemStream(image, imageSize);
        DataStream stream{};
        stream.functions = *GetMemoryStreamFunctions();
        stream.handle = memoryStream;
        if (memoryStream == 0 || OpenSoundConverter(&stream, &converter) != 0) {
            WriteLog("音声ファイルのＰＣＭへの変換に失敗しました\n");
            return fail();
        }
        converterOpen = true;
        if (ConvertAll(&converter, &format, &pcm, &pcmSize) != 0) {
            WriteLog("音声ファイルを格納するメモリ領域の確保に失敗しました\n");
            return fail();
        }
        CloseConverter(&converter);
        converterOpen = false;
        CloseMemStream(memoryStream);
        memoryStream = 0;
        // A partial block at the end cannot be played.
        pcmSize -= pcmSize % format.nBlockAlign;

        const bool tooLong = static_cast<uint32_t>(pcmSize) / format.nAvgBytesPerSec > kMaxMemorySoundSeconds;
        if (tooLong ||
            CreateSoundBuffers(&format, static_cast<uint32_t>(pcmSize), kSoundMemory, bufferCount, handle, -1) != 0) {
            FreeMemory(pcm);
            pcm = nullptr;
            g_sound.loadType = 2;
            loadTypeChanged = true;
        } else {
            record->frequency = static_cast<int32_t>(format.nSamplesPerSec);
            record->pcmRefCount = static_cast<int32_t*>(AllocMemory(sizeof(int32_t), "", 0));
            if (record->pcmRefCount == nullptr) {
                WriteLog("サウンドデータの参照数を保存するメモリ領域の確保に失敗しました");
                return fail();
            }
            record->format = format;
            record->pcmSize = static_cast<uint32_t>(pcmSize);
            // The record owns the PCM from here on: DeleteSound frees it.
            record->pcmData = pcm;
            pcm = nullptr;
            *record->pcmRefCount = 1;
            if (FillMemoryBuffers(record) != 0) return fail();
            return handle;
        }
    }

    // Stream fallback, or a stream sound by load type.
    if (AddStreamMemory(image, imageSize, 0, handle, g_sound.loadType, partner) != 0) return fail();
    PreloadStream(handle);
    if (loadTypeChanged) g_sound.loadType = savedLoadType;
    return handle;
}

int32_t CreateSoundBuffers(const WAVEFORMATEX* format, uint32_t bytes, int32_t kind, int32_t count, int32_t handle,
                           int32_t partner) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    SoundRecord* partnerRecord = nullptr;
    if (partner != -1) {
        partnerRecord = FindSound(partner);
        if (partnerRecord == nullptr || kind != kSoundMemory) return -1;
        format = &partnerRecord->format;
        bytes = partnerRecord->pcmSize;
    }
    if (kind == kSoundStream) {
        WAVEFORMATEX copy = *format;
        DSBUFFERDESC description{};
        description.dwSize = sizeof description;
        description.dwFlags = BufferFlags(kStreamBufferFlags);
        description.dwBufferBytes = StreamBufferBytes(*format);
        description.lpwfxFormat = &copy;
        if (CreateWrappedBuffer(&record->buffers[0], &description) != 0)
            ExitWithError("ストリーム風サウンドバッファの作成に失敗しました");
        record->bufferCount = 1;
    } else {
        int32_t made = 0;
        for (int32_t i = 0; i < count; ++i) {
            if (i == 0 && partnerRecord == nullptr) {
                if (CreateMemoryBuffer(&record->buffers[0], format, bytes) != 0) return -1;
            } else {
                const SoundBufferWrapper* source = partnerRecord ? &partnerRecord->buffers[0] : &record->buffers[0];
                if (DuplicateWrappedBuffer(&record->buffers[i], source) != 0) {
                    if (i != 0) break;
                    if (CreateMemoryBuffer(&record->buffers[0], format, bytes) != 0) return -1;
                }
            }
            record->fillSkip[i] = 0;
            made = i + 1;
        }
        record->bufferCount = made;
    }
    record->kind = kind;
    if (kind == kSoundStream) InsertListNode(&g_sound.streamHead, &record->listNode, handle, record);
    return 0;
}
