// The plain-file back end of the FileFunctionTable: files on disk through
// KERNEL32, each optionally loaded into memory by a reader thread of its own
// (read-ahead), and directory searches.
#include "file/file.h"
#include "file/handle_registry.h"

#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "platform/kernel32/kernel32.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>

namespace {

constexpr int kMaxOpenFiles = 1024;
constexpr int kMaxOpenFinds = 64;
constexpr int64_t kLargestReadAhead = 256 * 1024 * 1024;
constexpr DWORD kReadAheadChunk = 64 * 1024;

struct PlainFile {
    HANDLE file = INVALID_HANDLE_VALUE;
    int64_t position = 0;
    bool eof = false;

    // Read-ahead: the reader thread fills cache[0, loaded) in order.
    HANDLE thread = nullptr;
    uint8_t* cache = nullptr;
    std::mutex lock;
    std::condition_variable changed;
    int64_t size = 0;      // the size when opened (the reader's goal)
    int64_t loaded = 0;    // guarded by lock
    bool readerDone = false;    // guarded by lock
    bool readerFailed = false;  // guarded by lock: the rest is read from the file
    bool stopReader = false;    // guarded by lock
};

struct PlainFind {
    HANDLE find = INVALID_HANDLE_VALUE;
};

FileHandleRegistry<PlainFile, kMaxOpenFiles>& Files() {
    static FileHandleRegistry<PlainFile, kMaxOpenFiles> files(kFileHandleBasePlain);
    return files;
}

FileHandleRegistry<PlainFind, kMaxOpenFinds>& Finds() {
    static FileHandleRegistry<PlainFind, kMaxOpenFinds> finds(kFileHandleBaseFind);
    return finds;
}

bool SeekNative(HANDLE file, int64_t position) {
    LONG high = static_cast<LONG>(position >> 32);
    DWORD low = SetFilePointer(file, static_cast<LONG>(position & 0xFFFFFFFF), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && GetLastError() != ERROR_SUCCESS);
}

int64_t NativeSize(HANDLE file) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

// Reads up to bytes at position straight from the file; the bytes read.
size_t ReadNative(HANDLE file, int64_t position, uint8_t* buffer, size_t bytes) {
    if (!SeekNative(file, position)) return 0;
    size_t total = 0;
    while (total < bytes) {
        DWORD part = bytes - total > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes - total);
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, part, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

DWORD ReaderThread(LPVOID parameter) {
    auto* record = static_cast<PlainFile*>(parameter);
    bool failed = !SeekNative(record->file, 0);
    for (;;) {
        int64_t loaded;
        {
            std::lock_guard<std::mutex> lock(record->lock);
            if (record->stopReader || failed || record->loaded >= record->size) break;
            loaded = record->loaded;
        }
        int64_t left = record->size - loaded;
        DWORD chunk = left < kReadAheadChunk ? static_cast<DWORD>(left) : kReadAheadChunk;
        DWORD got = 0;
        if (!ReadFile(record->file, record->cache + loaded, chunk, &got, nullptr) || got == 0) failed = true;
        {
            // The last chunk and the end of the work are one step: whoever
            // has been served the whole file finds the reader done.
            std::lock_guard<std::mutex> lock(record->lock);
            record->loaded += got;
            if (record->loaded >= record->size) record->readerDone = true;
        }
        record->changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(record->lock);
        record->readerFailed = failed;
        record->readerDone = true;
    }
    record->changed.notify_all();
    return 0;
}

void StartReadAhead(PlainFile* record) {
    if (record->size <= 0 || record->size > kLargestReadAhead) return;
    record->cache = static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(record->size), __FILE__, __LINE__));
    if (record->cache == nullptr) return;
    record->thread = CreateThread(nullptr, 0, ReaderThread, record, 0, nullptr);
    if (record->thread == nullptr) {
        WriteLogFormatted("先読みスレッドの作成に失敗しました in StartReadAhead");
        FreeMemory(record->cache);
        record->cache = nullptr;
    }
}

void DestroyFile(PlainFile* record) {
    if (record->thread != nullptr) {
        {
            std::lock_guard<std::mutex> lock(record->lock);
            record->stopReader = true;
        }
        WaitForSingleObject(record->thread, INFINITE);
        CloseHandle(record->thread);
    }
    if (record->file != INVALID_HANDLE_VALUE) CloseHandle(record->file);
    FreeMemory(record->cache);
    record->~PlainFile();
    FreeMemory(record);
}

DWORD_PTR PlainOpen(const char* path, int32_t useCacheFlag, int32_t blockReadFlag, int32_t useAsyncLoadFlag) {
    if (path == nullptr || path[0] == '\0') return 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    int64_t size = NativeSize(file);
    void* memory = AllocMemoryZeroed(sizeof(PlainFile), __FILE__, __LINE__);
    if (size < 0 || memory == nullptr) {
        FreeMemory(memory);
        CloseHandle(file);
        return 0;
    }
    auto* record = new (memory) PlainFile;
    record->file = file;
    record->size = size;
    DWORD_PTR handle = Files().Add(record);
    if (handle == 0) {
        DestroyFile(record);
        return 0;
    }
    if (useCacheFlag != 0 || useAsyncLoadFlag != 0) {
        StartReadAhead(record);
        if (record->thread != nullptr && blockReadFlag != 0 && useAsyncLoadFlag == 0) {
            std::unique_lock<std::mutex> lock(record->lock);
            record->changed.wait(lock, [&] { return record->readerDone; });
        }
    }
    return handle;
}

int PlainClose(DWORD_PTR handle) {
    PlainFile* record = Files().Remove(handle);
    if (record == nullptr) return -1;
    DestroyFile(record);
    return 0;
}

int64_t PlainTell(DWORD_PTR handle) {
    PlainFile* record = Files().Find(handle);
    return record != nullptr ? record->position : -1;
}

int64_t CurrentSize(PlainFile* record) {
    if (record->thread != nullptr) return record->size;
    return NativeSize(record->file);
}

int PlainSeek(DWORD_PTR handle, int64_t offset, int origin) {
    PlainFile* record = Files().Find(handle);
    return SeekRecord(record, offset, origin, [&] { return CurrentSize(record); });
}

// Copies bytes at the position from the read-ahead cache, waiting for the
// reader as needed; falls back to the file when the reader gave up.
size_t ReadCached(PlainFile* record, uint8_t* buffer, size_t bytes) {
    int64_t start = record->position;
    // At or past the end (a seek may place the position anywhere up to the
    // largest offset): nothing to read, and no sum that could overflow.
    if (start >= record->size) return 0;
    std::unique_lock<std::mutex> lock(record->lock);
    const uint64_t left = static_cast<uint64_t>(record->size - start);
    int64_t end = bytes < left ? start + static_cast<int64_t>(bytes) : record->size;
    record->changed.wait(lock, [&] { return record->loaded >= end || record->readerDone; });
    int64_t available = (record->loaded < end ? record->loaded : end) - start;
    if (available < 0) available = 0;
    std::memcpy(buffer, record->cache + start, static_cast<size_t>(available));
    bool fallBack = record->readerFailed && start + available < end;
    lock.unlock();
    size_t total = static_cast<size_t>(available);
    if (fallBack)
        total += ReadNative(record->file, start + available, buffer + total, static_cast<size_t>(end - start) - total);
    return total;
}

size_t PlainRead(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    PlainFile* record = Files().Find(handle);
    if (record == nullptr || buffer == nullptr || elementSize == 0 || count == 0) return 0;
    if (count > SIZE_MAX / elementSize) return 0;
    size_t bytes = elementSize * count;
    auto* target = static_cast<uint8_t*>(buffer);
    size_t got = record->thread != nullptr ? ReadCached(record, target, bytes)
                                           : ReadNative(record->file, record->position, target, bytes);
    record->position += static_cast<int64_t>(got);
    if (got < bytes) record->eof = true;
    return got / elementSize;
}

int PlainEof(DWORD_PTR handle) {
    PlainFile* record = Files().Find(handle);
    if (record == nullptr) return -1;
    return record->eof ? 1 : 0;
}

int PlainIdleCheck(DWORD_PTR handle) {
    PlainFile* record = Files().Find(handle);
    if (record == nullptr) return -1;
    if (record->thread == nullptr) return 1;
    std::lock_guard<std::mutex> lock(record->lock);
    return record->readerDone ? 1 : 0;
}

int PlainChDir(const char* path) { return (path != nullptr && SetCurrentDirectoryA(path)) ? 0 : -1; }

int PlainGetDir(char* buffer) {
    if (buffer == nullptr) return -1;
    DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    if (length == 0 || length >= MAX_PATH) {
        buffer[0] = '\0';
        return -1;
    }
    return 0;
}

bool IsDotEntry(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

void FillInfo(const WIN32_FIND_DATAA& data, FileInfo* info) {
    if (info == nullptr) return;
    std::memset(info, 0, sizeof *info);
    CopyText(info->name, sizeof info->name, data.cFileName);
    info->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
    info->size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The next entry other than "." and ".."; false when there is none.
bool NextEntry(HANDLE find, WIN32_FIND_DATAA* data, bool first) {
    if (!first && !FindNextFileA(find, data)) return false;
    while (IsDotEntry(data->cFileName))
        if (!FindNextFileA(find, data)) return false;
    return true;
}

DWORD_PTR PlainFindFirst(const char* pattern, FileInfo* info) {
    if (pattern == nullptr) return 0;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern, &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    void* memory = AllocMemoryZeroed(sizeof(PlainFind), __FILE__, __LINE__);
    if (!NextEntry(find, &data, true) || memory == nullptr) {
        FreeMemory(memory);
        FindClose(find);
        return 0;
    }
    auto* record = new (memory) PlainFind;
    record->find = find;
    DWORD_PTR handle = Finds().Add(record);
    if (handle == 0) {
        FindClose(find);
        FreeMemory(record);
        return 0;
    }
    FillInfo(data, info);
    return handle;
}

int PlainFindNext(DWORD_PTR handle, FileInfo* info) {
    PlainFind* record = Finds().Find(handle);
    WIN32_FIND_DATAA data;
    if (record == nullptr || !NextEntry(record->find, &data, false)) return -1;
    FillInfo(data, info);
    return 0;
}

int PlainFindClose(DWORD_PTR handle) {
    PlainFind* record = Finds().Remove(handle);
    if (record == nullptr) return -1;
    FindClose(record->find);
    FreeMemory(record);
    return 0;
}

const FileFunctionTable kPlainTable = {
    PlainOpen,   PlainClose, PlainTell,      PlainSeek,     PlainRead,        PlainEof,
    PlainIdleCheck, PlainChDir, PlainGetDir, PlainFindFirst, PlainFindNext, PlainFindClose,
};

}  // namespace

const FileFunctionTable* GetPlainFileFunctionTable() { return &kPlainTable; }
