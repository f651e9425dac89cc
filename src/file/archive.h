// The archive reader: "GLA" archives held in memory or read from disk, and
// the library's packed data. FORMAT.md beside this file gives the layout.
//
// Refused, each with a log line and a failure result, leaving the caller's
// bytes as they were: a short image, a missing signature, a header no key
// descrambles, tables whose checksum or bounds do not hold, a folder with two
// entries whose names match (letters in either case), an entry with a flag
// bit the format does not define, an entry that no folder lists (or two
// do), a path inside the archive longer than kArchiveMaxPath (259 bytes,
// which also bounds the folders' depth), a member beyond the data area, and
// packed data whose head or tokens do not fit the bytes given or the size it
// promises, or that promises more than its bytes can make (PackedSizeLimit
// in archive_format.h; checked before allocating). So every member an open
// archive holds can be looked up by its path.
//
// Disk archives are opened afresh for each lookup: nothing is cached, so an
// archive replaced on disk is seen at once. The archive file is read in the
// foreground: there is no background load to wait for.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <functional>

// The open-archive record. ClearArchiveRecord before the first open;
// CloseArchive frees what an open took.
struct ArchiveRecord {
    uint8_t* image;     // the archive held in memory, null when it is read from a file
    uint32_t imageSize;
    DWORD_PTR file;     // the archive file (FileFunctionTable handle), 0 for an image
    const uint8_t* tables;  // the descrambled tables: inside the image, or ownedTables
    uint8_t* ownedTables;
    uint32_t fileCount;
    uint32_t dirCount;
    uint32_t nameTableSize;
    uint32_t dataStart;
    uint32_t dataSize;
    int32_t opened;
};

// One member as the tables describe it.
struct ArchiveMemberInfo {
    uint32_t offset;      // from the start of the archive (data start + entry offset)
    uint32_t storedSize;  // bytes at offset
    uint32_t size;        // bytes once unpacked
    int32_t packed;       // 1 when stored as packed data
};

int ClearArchiveRecord(ArchiveRecord* record);
// Opens the archive held in image (size bytes), descrambling its header and
// tables in place: with key when given, and with the built-in key when that
// fails or no key is given. 0 when the image holds a valid archive, -1
// otherwise (the image is then left as it was).
int OpenArchiveFromMemory(ArchiveRecord* record, void* image, uint32_t size, const char* key);
// Opens an archive file through the FileFunctionTable, reading its header and
// tables; members are read when asked for. 0 on success; -1 when there is no
// such file; -2 when the file is no valid archive (logged).
int OpenArchiveFile(ArchiveRecord* record, const char* path, const char* key);
// Frees what the open took and clears the record; the image stays the caller's.
int CloseArchive(ArchiveRecord* record);

// Finds a member by path ('\' or '/' separators, letters in either case). 0
// when found, with its offset from the start of the archive and its stored
// size; -1 when not.
int GetArchiveMemberData(const ArchiveRecord* record, const char* path, uint32_t* offset, uint32_t* size);
int GetArchiveMemberInfo(const ArchiveRecord* record, const char* path, ArchiveMemberInfo* info);
// The archive's memory image; null when the archive is not held in memory.
void* GetArchiveMemoryImage(const ArchiveRecord* record);
// A member's unpacked bytes in a new AllocMemory block (FreeMemory it); null
// when the member cannot be read or its packed data is damaged.
uint8_t* LoadArchiveMember(const ArchiveRecord* record, const ArchiveMemberInfo& info);

// Calls visit(path, info) for every member, depth first in each folder's
// order, paths with '\' separators; no recursion, and in time proportional
// to the entries. -1 when the archive is not open.
using ArchiveMemberVisit = std::function<void(const char* path, const ArchiveMemberInfo& info)>;
int ForEachArchiveMember(const ArchiveRecord* record, const ArchiveMemberVisit& visit);

// Calls f(name, isDirectory, size) for each entry of the folder at path ("" is
// the root); -1 when there is no such folder.
template <typename F>
int ForEachArchiveEntry(const ArchiveRecord* record, const char* path, F f);

// The library's own compression. The unpacked size that the head of packed
// promises, after checking that the head fits in available bytes (no
// destination), or the data unpacked into destination, which must hold that
// many bytes. -1 when the head or any token does not fit (logged): nothing is
// read past packed + available or written past the promised size.
int64_t DecompressPackedData(void* destination, const void* packed, uint32_t available);

// ---- implementation of the template above -----------------------------------------------
int32_t FindArchiveFolder(const ArchiveRecord* record, const char* path);  // directory index, -1 none
int ArchiveFolderEntry(const ArchiveRecord* record, int32_t folder, uint32_t n, const char** name,
                       int32_t* isDirectory, uint32_t* size);  // 0 while n is inside the folder

template <typename F>
int ForEachArchiveEntry(const ArchiveRecord* record, const char* path, F f) {
    const int32_t folder = FindArchiveFolder(record, path);
    if (folder < 0) return -1;
    const char* name;
    int32_t isDirectory;
    uint32_t size;
    for (uint32_t n = 0; ArchiveFolderEntry(record, folder, n, &name, &isDirectory, &size) == 0; ++n)
        f(name, isDirectory, size);
    return 0;
}
