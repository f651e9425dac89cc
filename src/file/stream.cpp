// Data streams over files and over memory, and the temporary file.
#include "file/file.h"
#include "file/handle_registry.h"

#include "core/memory.h"
#include "platform/kernel32/kernel32.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

// ---- over files -------------------------------------------------------------------------

int32_t FileStreamTell(DWORD_PTR handle) {
    int64_t position = TellAccessFile(handle);
    return (position < 0 || position > INT32_MAX) ? -1 : static_cast<int32_t>(position);
}

int FileStreamSeek(DWORD_PTR handle, int32_t offset, int origin) { return SeekAccessFile(handle, offset, origin); }

size_t FileStreamRead(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    size_t read = ReadAccessFile(buffer, elementSize, count, handle);
    errno = 0;  // decoders take "nothing read with errno set" for a read error
    return read;
}

int FileStreamEof(DWORD_PTR handle) { return EofAccessFile(handle); }
int FileStreamIdleCheck(DWORD_PTR handle) { return IdleCheckAccessFile(handle); }
int FileStreamClose(DWORD_PTR handle) { return CloseAccessFile(handle); }

const StreamFunctionTable kFileStream = {FileStreamTell, FileStreamSeek,      FileStreamRead,
                                         FileStreamEof,  FileStreamIdleCheck, FileStreamClose};

// ---- over memory ------------------------------------------------------------------------

struct MemStream {
    const uint8_t* data;
    size_t size;
    size_t position;
    bool eof;
};

constexpr int kMaxMemStreams = 4096;

FileHandleRegistry<MemStream, kMaxMemStreams>& MemStreams() {
    static FileHandleRegistry<MemStream, kMaxMemStreams> streams(kFileHandleBaseMemory);
    return streams;
}

int32_t MemStreamTell(DWORD_PTR handle) {
    MemStream* stream = MemStreams().Find(handle);
    if (stream == nullptr || stream->position > INT32_MAX) return -1;
    return static_cast<int32_t>(stream->position);
}

int MemStreamSeek(DWORD_PTR handle, int32_t offset, int origin) {
    MemStream* stream = MemStreams().Find(handle);
    if (stream == nullptr) return -1;
    int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = static_cast<int64_t>(stream->position); break;
        case 2: base = static_cast<int64_t>(stream->size); break;
        default: return -1;
    }
    int64_t position = base + offset;
    if (position < 0) position = 0;
    if (position > static_cast<int64_t>(stream->size)) position = static_cast<int64_t>(stream->size);
    stream->position = static_cast<size_t>(position);
    stream->eof = false;
    return 0;
}

// Reads as the file stream does: copies what is there up to the bytes asked
// for, a partial element at the end included, moves over it, and returns the
// number of whole elements. A read at the end copies nothing and sets the end
// flag; any other read clears it.
size_t MemStreamRead(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    MemStream* stream = MemStreams().Find(handle);
    if (stream == nullptr || buffer == nullptr || elementSize == 0 || count == 0) return 0;
    if (count > SIZE_MAX / elementSize) return 0;
    const size_t left = stream->size - stream->position;
    stream->eof = left == 0;
    const size_t bytes = left < elementSize * count ? left : elementSize * count;
    if (bytes == 0) return 0;
    std::memcpy(buffer, stream->data + stream->position, bytes);
    stream->position += bytes;
    return bytes / elementSize;
}

int MemStreamEof(DWORD_PTR handle) {
    MemStream* stream = MemStreams().Find(handle);
    if (stream == nullptr) return -1;
    return stream->eof ? 1 : 0;
}

int MemStreamIdleCheck(DWORD_PTR handle) { return MemStreams().Find(handle) != nullptr ? 1 : -1; }

const StreamFunctionTable kMemoryStream = {MemStreamTell, MemStreamSeek,      MemStreamRead,
                                           MemStreamEof,  MemStreamIdleCheck, CloseMemStream};

}  // namespace

const StreamFunctionTable* GetFileStreamFunctions() { return &kFileStream; }
const StreamFunctionTable* GetMemoryStreamFunctions() { return &kMemoryStream; }

DWORD_PTR OpenMemStream(const void* data, size_t size) {
    if (data == nullptr && size != 0) return 0;
    auto* stream = static_cast<MemStream*>(AllocMemory(sizeof(MemStream), __FILE__, __LINE__));
    if (stream == nullptr) return 0;
    *stream = MemStream{static_cast<const uint8_t*>(data), size, 0, false};
    DWORD_PTR handle = MemStreams().Add(stream);
    if (handle == 0) FreeMemory(stream);
    return handle;
}

int CloseMemStream(DWORD_PTR handle) {
    MemStream* stream = MemStreams().Remove(handle);
    if (stream == nullptr) return -1;
    FreeMemory(stream);
    return 0;
}

// ---- temporary file -----------------------------------------------------------------------

HANDLE CreateTemporaryFile(char* pathOut) {
    char directory[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    char path[MAX_PATH];
    if (GetTempFileNameA(directory, "tmp", 0, path) == 0) return nullptr;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) DeleteFileA(path);  // leave no empty file behind
    if (pathOut != nullptr) std::memcpy(pathOut, path, std::strlen(path) + 1);
    return file;
}
