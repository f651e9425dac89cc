// The replaceable FileFunctionTable and the access calls over it: an archive
// member is looked up first, then the table's own open is used.
#include "file/file.h"

namespace {

// Archive members are numbered with the top four bits set; nothing else uses
// those values.
constexpr DWORD_PTR kArchiveMemberBits = 0xF0000000;

FileFunctionTable& Table() {
    static FileFunctionTable table = *GetPlainFileFunctionTable();
    return table;
}

bool IsArchiveMemberHandle(DWORD_PTR handle) { return (handle & ~DWORD_PTR{0x0FFFFFFF}) == kArchiveMemberBits; }

// ---- archive members ----------------------------------------------------------------
// The place where a path is looked up among the open archives before the
// plain file is tried. No archive reader is attached yet: every lookup finds
// nothing, and a member handle (which cannot be made yet) is refused.
DWORD_PTR OpenArchiveMember(const char* /*path*/) { return 0; }
int CloseArchiveMember(DWORD_PTR) { return -1; }
int64_t TellArchiveMember(DWORD_PTR) { return -1; }
int SeekArchiveMember(DWORD_PTR, int64_t, int) { return -1; }
size_t ReadArchiveMember(void*, size_t, size_t, DWORD_PTR) { return 0; }
int EofArchiveMember(DWORD_PTR) { return -1; }

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
    return Table().FindFirst != nullptr ? Table().FindFirst(pattern, info) : 0;
}

int FindNextAccessFile(DWORD_PTR handle, FileInfo* info) {
    return Table().FindNext != nullptr ? Table().FindNext(handle, info) : -1;
}

int FindCloseAccessFile(DWORD_PTR handle) {
    return Table().FindClose != nullptr ? Table().FindClose(handle) : -1;
}
