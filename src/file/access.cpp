// The replaceable FileFunctionTable and the access calls over it: an archive
// member (or an archive folder's listing) is looked up first, then the
// table's own open or search is used.
#include "file/file.h"
#include "file/archive_access.h"

namespace {

FileFunctionTable& Table() {
    static FileFunctionTable table = *GetPlainFileFunctionTable();
    return table;
}

}  // namespace

FileFunctionTable* GetFileFunctionTable() { return &Table(); }

void SetFileFunctionTable(const FileFunctionTable* table) {
    Table() = table != nullptr ? *table : *GetPlainFileFunctionTable();
}

DWORD_PTR OpenAccessFile(const char* path, int32_t useCacheFlag, int32_t blockReadFlag, int32_t useAsyncLoadFlag) {
    if (path == nullptr || path[0] == '\0') return 0;
    DWORD_PTR member = OpenArchiveMember(path);
    if (member != 0) return member;
    if (Table().Open == nullptr) return 0;
    return Table().Open(path, useCacheFlag, blockReadFlag, useAsyncLoadFlag);
}

int CloseAccessFile(DWORD_PTR handle) {
    if (IsArchiveMemberHandle(handle)) return CloseArchiveMember(handle);
    return Table().Close != nullptr ? Table().Close(handle) : -1;
}

int64_t TellAccessFile(DWORD_PTR handle) {
    if (IsArchiveMemberHandle(handle)) return TellArchiveMember(handle);
    return Table().Tell != nullptr ? Table().Tell(handle) : -1;
}

int SeekAccessFile(DWORD_PTR handle, int64_t offset, int origin) {
    if (IsArchiveMemberHandle(handle)) return SeekArchiveMember(handle, offset, origin);
    return Table().Seek != nullptr ? Table().Seek(handle, offset, origin) : -1;
}

size_t ReadAccessFile(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    if (buffer == nullptr) return 0;
    if (IsArchiveMemberHandle(handle)) return ReadArchiveMember(buffer, elementSize, count, handle);
    return Table().Read != nullptr ? Table().Read(buffer, elementSize, count, handle) : 0;
}

int EofAccessFile(DWORD_PTR handle) {
    if (IsArchiveMemberHandle(handle)) return EofArchiveMember(handle);
    return Table().Eof != nullptr ? Table().Eof(handle) : -1;
}

int IdleCheckAccessFile(DWORD_PTR handle) {
    if (IsArchiveMemberHandle(handle)) return 1;
    return Table().IdleCheck != nullptr ? Table().IdleCheck(handle) : -1;
}

DWORD_PTR FindFirstAccessFile(const char* pattern, FileInfo* info) {
    if (pattern == nullptr || pattern[0] == '\0') return 0;
    DWORD_PTR found = FindFirstInArchive(pattern, info);
    if (found != 0) return found;
    return Table().FindFirst != nullptr ? Table().FindFirst(pattern, info) : 0;
}

int FindNextAccessFile(DWORD_PTR handle, FileInfo* info) {
    if (IsArchiveFindHandle(handle)) return FindNextInArchive(handle, info);
    return Table().FindNext != nullptr ? Table().FindNext(handle, info) : -1;
}

int FindCloseAccessFile(DWORD_PTR handle) {
    if (IsArchiveFindHandle(handle)) return FindCloseInArchive(handle);
    return Table().FindClose != nullptr ? Table().FindClose(handle) : -1;
}
