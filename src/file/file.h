// File access: the replaceable table of twelve file functions through which
// the whole library reads files, the access calls over it, and data streams
// over files and over memory.
//
// File and stream handles are pointer-sized; 0 is the failure result of every
// open.
#pragma once

#include "platform/wintypes.h"

#include <cstddef>
#include <cstdint>

struct FileInfo {
    char name[MAX_PATH];  // Shift-JIS, the last path element
    int32_t isDirectory;
    int64_t size;
};

struct FileFunctionTable {
    DWORD_PTR (*Open)(const char* path, int32_t useCacheFlag, int32_t blockReadFlag, int32_t useAsyncLoadFlag);
    int (*Close)(DWORD_PTR handle);
    int64_t (*Tell)(DWORD_PTR handle);
    int (*Seek)(DWORD_PTR handle, int64_t offset, int origin);  // origin 0 start, 1 current, 2 end; 0 on success
    size_t (*Read)(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle);  // whole elements read
    int (*Eof)(DWORD_PTR handle);        // non-zero once a read has reached the end
    int (*IdleCheck)(DWORD_PTR handle);  // non-zero when no read-ahead is pending
    int (*ChDir)(const char* path);
    int (*GetDir)(char* buffer);  // MAX_PATH bytes
    DWORD_PTR (*FindFirst)(const char* pattern, FileInfo* info);  // 0 when nothing matches
    int (*FindNext)(DWORD_PTR handle, FileInfo* info);             // 0 found, -1 no more
    int (*FindClose)(DWORD_PTR handle);
};

// The table in use; starts as the plain-file table.
FileFunctionTable* GetFileFunctionTable();
void SetFileFunctionTable(const FileFunctionTable* table);  // null restores the plain-file table
const FileFunctionTable* GetPlainFileFunctionTable();

// Calls through the table: an archive member first, then the plain file.
DWORD_PTR OpenAccessFile(const char* path, int32_t useCacheFlag, int32_t blockReadFlag, int32_t useAsyncLoadFlag);
int CloseAccessFile(DWORD_PTR handle);
int64_t TellAccessFile(DWORD_PTR handle);
int SeekAccessFile(DWORD_PTR handle, int64_t offset, int origin);
size_t ReadAccessFile(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle);
int EofAccessFile(DWORD_PTR handle);
int IdleCheckAccessFile(DWORD_PTR handle);  // non-zero when no read-ahead is pending
DWORD_PTR FindFirstAccessFile(const char* pattern, FileInfo* info);
int FindNextAccessFile(DWORD_PTR handle, FileInfo* info);
int FindCloseAccessFile(DWORD_PTR handle);

// ---- streams ----------------------------------------------------------------
struct StreamFunctionTable {
    int32_t (*Tell)(DWORD_PTR handle);
    int (*Seek)(DWORD_PTR handle, int32_t offset, int origin);  // 0 on success
    size_t (*Read)(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle);
    int (*Eof)(DWORD_PTR handle);
    int (*IdleCheck)(DWORD_PTR handle);
    int (*Close)(DWORD_PTR handle);
};

// A stream: a copy of the six functions and the handle they work on.
struct DataStream {
    StreamFunctionTable functions;
    DWORD_PTR handle;
};

const StreamFunctionTable* GetFileStreamFunctions();
const StreamFunctionTable* GetMemoryStreamFunctions();
// A memory stream over the caller's bytes (not copied); 0 when its record
// cannot be allocated.
DWORD_PTR OpenMemStream(const void* data, size_t size);
int CloseMemStream(DWORD_PTR handle);

// Makes a new empty file in the temporary directory ("tmp" prefix), opens it
// for writing and copies its Shift-JIS path into pathOut (MAX_PATH bytes) when
// given. Null when no name could be made, INVALID_HANDLE_VALUE when the open
// failed, else the open KERNEL32 file handle.
HANDLE CreateTemporaryFile(char* pathOut);
