// Archive members as files of the access calls. A path "dir\x.png" is looked
// up in the archive "dir.gla" beside the folder (then in archives of the outer
// folders the path names: "a\b\x.png" in "a.gla" as "b\x.png"), with the
// built-in key, before the plain file. An archive is looked for only inside
// the current folder for a relative path, and only inside the program's
// folder for an absolute one: no folder that steps up with ".." counts, and
// of an absolute path only folders below the program's folder, so an archive
// outside that folder (above it or beside it) is never read, wherever the
// program was started from. An opened member is read into memory whole and
// served from there; at most 512 members are open at once, their handles the
// index with the top four bits set.
#pragma once

#include "file/file.h"

// 0 when no archive holds the path.
DWORD_PTR OpenArchiveMember(const char* path);
bool IsArchiveMemberHandle(DWORD_PTR handle);
int CloseArchiveMember(DWORD_PTR handle);
int64_t TellArchiveMember(DWORD_PTR handle);
int SeekArchiveMember(DWORD_PTR handle, int64_t offset, int origin);
size_t ReadArchiveMember(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle);
int EofArchiveMember(DWORD_PTR handle);

// Searches: the entries of an archive folder that match the pattern's last
// element ('*' and '?', letters in either case); 0 when no archive holds a
// match, and the plain search is to be used.
DWORD_PTR FindFirstInArchive(const char* pattern, FileInfo* info);
bool IsArchiveFindHandle(DWORD_PTR handle);
int FindNextInArchive(DWORD_PTR handle, FileInfo* info);
int FindCloseInArchive(DWORD_PTR handle);
// The bytes of a search's listing of count entries; false (and the search
// refused with a log line) when they do not fit one 32-bit block.
bool ArchiveListingBytes(uint64_t count, uint32_t* bytes);

// Tests only: the folder that absolute paths must lie below for their
// archives to be read, in place of the executable's ('\' or '/'
// separators); null or "" goes back to the executable's.
void SetProgramFolderForTest(const char* folder);

// Whether name matches a search pattern: '*' any run, '?' one character,
// ASCII letters in either case, double-byte characters whole; "*.*" is "*".
bool MatchFilePattern(const char* pattern, const char* name);
