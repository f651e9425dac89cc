// Opening an archive: the header descrambled with the caller's key or the
// built-in one, the tables descrambled and checked entry by entry, so that
// every later lookup can follow them without further checks.
#include "file/archive.h"
#include "file/archive_format.h"
#include "file/file.h"

#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kPathTooLong = "a path of 260 bytes or more";

int Refuse(const char* function, const char* what) {
    WriteLogFormatted("アーカイブを開けません(%s) in %s", what, function);
    return -2;
}

// The header under one key: a copy of the 40 scrambled bytes descrambled.
bool HeaderUnderKey(const uint8_t* scrambled, const char* key, ArchiveHeader* header, uint64_t* seed) {
    uint8_t bytes[kArchiveHeaderSize];
    std::memcpy(bytes, scrambled, sizeof bytes);
    *seed = ArchiveKeySeed(key);
    ScrambleArchiveBytes(bytes, sizeof bytes, *seed, kArchiveHeaderOffset);
    *header = ReadArchiveHeader(bytes);
    return header->magic == kArchiveHeaderMagic && header->version == kArchiveVersion &&
           header->headerCheck == ArchiveChecksum(bytes, kArchiveHeaderSize - 4);
}

bool FindKey(const uint8_t* scrambled, const char* key, ArchiveHeader* header, uint64_t* seed) {
    if (key != nullptr && HeaderUnderKey(scrambled, key, header, seed)) return true;
    return HeaderUnderKey(scrambled, nullptr, header, seed);
}

uint64_t TablesEnd(const ArchiveHeader& h) {
    return uint64_t{kArchiveTablesOffset} + uint64_t{h.fileCount} * kArchiveFileEntrySize +
           uint64_t{h.dirCount} * kArchiveDirEntrySize + h.nameTableSize;
}

// The header's areas in order and inside an archive of archiveSize bytes.
const char* HeaderFault(const ArchiveHeader& h, uint64_t archiveSize) {
    if (h.dirCount == 0 || TablesEnd(h) > h.dataStart) return "table sizes";
    if (uint64_t{h.dataStart} + h.dataSize > 0xFFFFFFFFull) return "data area too large";
    if (uint64_t{h.dataStart} + h.dataSize > archiveSize) return "truncated";
    return nullptr;
}

ArchiveFileEntry FileEntry(const ArchiveRecord* r, uint32_t i) {
    return ReadArchiveFileEntry(r->tables + uint64_t{i} * kArchiveFileEntrySize);
}

ArchiveDirEntry DirEntry(const ArchiveRecord* r, uint32_t i) {
    return ReadArchiveDirEntry(r->tables + uint64_t{r->fileCount} * kArchiveFileEntrySize +
                               uint64_t{i} * kArchiveDirEntrySize);
}

const char* NameTable(const ArchiveRecord* r) {
    return reinterpret_cast<const char*>(r->tables) + uint64_t{r->fileCount} * kArchiveFileEntrySize +
           uint64_t{r->dirCount} * kArchiveDirEntrySize;
}

// Why the name at offset is no path element, or null when it is one. The
// table ends with a NUL, so every name ends inside it; the search for that
// NUL stops at the longest path, so names shared by many entries cost little.
const char* NameFault(const ArchiveRecord* r, uint32_t offset) {
    if (offset >= r->nameTableSize) return "damaged tables";
    const char* name = NameTable(r) + offset;
    const size_t room = std::min<size_t>(r->nameTableSize - offset, kArchiveMaxPath + 1);
    if (std::memchr(name, '\0', room) == nullptr) return kPathTooLong;
    if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return "damaged tables";
    for (const char* p = name; *p != '\0'; p += CharacterBytes(p))
        if (*p == '\\' || *p == '/') return "damaged tables";
    return nullptr;
}

bool MemberHolds(const ArchiveRecord* r, const ArchiveFileEntry& e) {
    if (uint64_t{e.offset} + e.storedSize > r->dataSize) return false;
    if ((e.flags & kArchiveEntryPacked) == 0) return e.storedSize == e.size;
    if (e.storedSize < kPackedHeadSize || e.size > PackedSizeLimit(e.storedSize)) return false;
    if (r->image == nullptr) return true;  // a file's packed heads are checked when read
    const uint8_t* head = r->image + r->dataStart + e.offset;
    return ReadLE32(head) == e.size && ReadLE32(head + 4) == e.storedSize;
}

bool FolderHolds(const ArchiveRecord* r, uint32_t d) {
    const ArchiveDirEntry dir = DirEntry(r, d);
    if (d == 0 && (dir.fileIndex != kArchiveNoEntry || dir.parent != kArchiveNoEntry)) return false;
    for (uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i) {
        const ArchiveFileEntry e = FileEntry(r, i);
        if ((e.flags & kArchiveEntryDirectory) == 0) continue;
        if (e.offset <= d || e.offset >= r->dirCount) return false;
        const ArchiveDirEntry child = DirEntry(r, e.offset);
        if (child.parent != d || child.fileIndex != i) return false;
    }
    return true;
}

// A name with its ASCII letters in lower case (double-byte characters kept
// whole), so that names matched without regard to case compare equal.
std::string Folded(const char* name) {
    std::string folded;
    for (const char* p = name; *p != '\0';) {
        const int bytes = CharacterBytes(p);
        folded.append(p, static_cast<size_t>(bytes));
        if (bytes == 1) folded.back() = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        p += bytes;
    }
    return folded;
}

// No two entries of folder d match each other: a lookup could reach only the
// first, and a file would hide a folder of the same name.
bool NamesDiffer(const ArchiveRecord* r, uint32_t d) {
    const ArchiveDirEntry dir = DirEntry(r, d);
    std::vector<std::string> names;
    names.reserve(dir.childCount);
    for (uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i)
        names.push_back(Folded(NameTable(r) + FileEntry(r, i).nameOffset));
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) == names.end();
}

bool ChildrenInTable(const ArchiveRecord* r, uint32_t d) {
    const ArchiveDirEntry dir = DirEntry(r, d);
    return uint64_t{dir.firstChild} + dir.childCount <= r->fileCount;
}

// Every entry is a child of one folder only, and there are as many folder
// entries as folders below the root: with FolderHolds (each folder named by
// the one entry it names back) the tree a walk from the root sees is the
// whole table. Stops at the first entry listed twice, so the folders' ranges
// are looked at in time proportional to the entries.
bool EveryEntryListedOnce(const ArchiveRecord* r) {
    std::vector<uint8_t> listed(r->fileCount, 0);
    uint64_t entries = 0;
    uint64_t folders = 0;
    for (uint32_t d = 0; d < r->dirCount; ++d) {
        const ArchiveDirEntry dir = DirEntry(r, d);
        for (uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i) {
            if (listed[i] != 0) return false;
            listed[i] = 1;
            ++entries;
            if (FileEntry(r, i).flags & kArchiveEntryDirectory) ++folders;
        }
    }
    return entries == r->fileCount && folders + 1 == r->dirCount;
}

// Every entry's path inside the archive (names joined by '\\') fits
// kArchiveMaxPath: one that does not could never be asked for. A child
// folder's index is greater than its parent's, so a folder's path length is
// known before its own entries are looked at.
bool PathsFit(const ArchiveRecord* r) {
    std::vector<uint16_t> folderPath(r->dirCount, 0);
    for (uint32_t d = 0; d < r->dirCount; ++d) {
        const ArchiveDirEntry dir = DirEntry(r, d);
        const size_t prefix = d == 0 ? 0 : folderPath[d] + 1u;
        for (uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i) {
            const ArchiveFileEntry e = FileEntry(r, i);
            const size_t length = prefix + std::strlen(NameTable(r) + e.nameOffset);
            if (length > kArchiveMaxPath) return false;
            if (e.flags & kArchiveEntryDirectory) folderPath[e.offset] = static_cast<uint16_t>(length);
        }
    }
    return true;
}

// The first fault of the tables, or null when every bound holds.
const char* TablesFault(const ArchiveRecord* r) {
    if (r->nameTableSize == 0 || NameTable(r)[r->nameTableSize - 1] != '\0') return "damaged tables";
    for (uint32_t i = 0; i < r->fileCount; ++i) {
        const ArchiveFileEntry e = FileEntry(r, i);
        if ((e.flags & ~kArchiveKnownFlags) != 0) return "unknown entry flags";
        if (const char* fault = NameFault(r, e.nameOffset)) return fault;
        if ((e.flags & kArchiveEntryDirectory) == 0 && !MemberHolds(r, e)) return "damaged tables";
    }
    for (uint32_t d = 0; d < r->dirCount; ++d)
        if (!ChildrenInTable(r, d)) return "damaged tables";
    if (!EveryEntryListedOnce(r)) return "an entry outside the folder tree";
    for (uint32_t d = 0; d < r->dirCount; ++d)
        if (!FolderHolds(r, d)) return "damaged tables";
    for (uint32_t d = 0; d < r->dirCount; ++d)
        if (!NamesDiffer(r, d)) return "two entries of a folder with one name";
    if (!PathsFit(r)) return kPathTooLong;
    return nullptr;
}

// Descrambles the tables (in place) and takes them into the record; on a
// fault they are scrambled back and the fault is returned.
const char* TakeTables(ArchiveRecord* r, const ArchiveHeader& h, uint8_t* tables, uint64_t seed) {
    const size_t size = static_cast<size_t>(TablesEnd(h) - kArchiveTablesOffset);
    ScrambleArchiveBytes(tables, size, seed, kArchiveTablesOffset);
    r->tables = tables;
    r->fileCount = h.fileCount;
    r->dirCount = h.dirCount;
    r->nameTableSize = h.nameTableSize;
    r->dataStart = h.dataStart;
    r->dataSize = h.dataSize;
    const char* fault = ArchiveChecksum(tables, size) != h.tablesCheck ? "damaged tables" : TablesFault(r);
    if (fault == nullptr) return nullptr;
    ScrambleArchiveBytes(tables, size, seed, kArchiveTablesOffset);
    r->tables = nullptr;
    return fault;
}

// One element of a path ('\' or '/' ends it, minding double-byte
// characters) copied into element; the rest of the path after it.
const char* NextElement(const char* path, char* element, size_t capacity, bool* tooLong) {
    size_t n = 0;
    while (*path != '\0' && *path != '\\' && *path != '/') {
        const int bytes = CharacterBytes(path);
        for (int i = 0; i < bytes; ++i, ++path)
            if (n + 1 < capacity) element[n++] = *path;
            else *tooLong = true;
    }
    element[n] = '\0';
    return *path != '\0' ? path + 1 : path;
}

// The child of folder d named name, or -1.
int64_t ChildNamed(const ArchiveRecord* r, uint32_t d, const char* name) {
    const ArchiveDirEntry dir = DirEntry(r, d);
    for (uint32_t i = dir.firstChild; i < dir.firstChild + dir.childCount; ++i)
        if (CompareTextsNoCase(NameTable(r) + FileEntry(r, i).nameOffset, name) == 0) return i;
    return -1;
}

// Walks path down from the root: the entry it names (kArchiveNoEntry for the
// root itself) in *entry; false when it names nothing.
bool Walk(const ArchiveRecord* r, const char* path, uint32_t* entry) {
    if (r == nullptr || r->opened == 0 || path == nullptr) return false;
    uint32_t folder = 0;
    *entry = kArchiveNoEntry;
    char element[MAX_PATH];
    bool tooLong = false;
    while (*path != '\0') {
        path = NextElement(path, element, sizeof element, &tooLong);
        if (tooLong || std::strcmp(element, "..") == 0) return false;
        if (element[0] == '\0' || std::strcmp(element, ".") == 0) continue;
        if (*entry != kArchiveNoEntry && (FileEntry(r, *entry).flags & kArchiveEntryDirectory) == 0) return false;
        const int64_t child = ChildNamed(r, folder, element);
        if (child < 0) return false;
        *entry = static_cast<uint32_t>(child);
        const ArchiveFileEntry e = FileEntry(r, *entry);
        if (e.flags & kArchiveEntryDirectory) folder = e.offset;
    }
    return true;
}

ArchiveMemberInfo MemberInfo(const ArchiveRecord* r, const ArchiveFileEntry& e) {
    return ArchiveMemberInfo{r->dataStart + e.offset, e.storedSize, e.size, (e.flags & kArchiveEntryPacked) ? 1 : 0};
}

int64_t FileSize(DWORD_PTR file) {
    FileFunctionTable* t = GetFileFunctionTable();
    if (t->Seek(file, 0, 2) != 0) return -1;
    return t->Tell(file);
}

bool ReadAt(DWORD_PTR file, uint64_t position, void* buffer, size_t bytes) {
    FileFunctionTable* t = GetFileFunctionTable();
    return t->Seek(file, static_cast<int64_t>(position), 0) == 0 && t->Read(buffer, 1, bytes, file) == bytes;
}

int OpenFileTables(ArchiveRecord* r, const char* key) {
    uint8_t head[kArchiveTablesOffset];
    const int64_t size = FileSize(r->file);
    if (size < kArchiveTablesOffset || !ReadAt(r->file, 0, head, sizeof head))
        return Refuse("OpenArchiveFile", "truncated");
    if (std::memcmp(head, kArchiveSignature, 4) != 0) return Refuse("OpenArchiveFile", "no archive signature");
    ArchiveHeader h;
    uint64_t seed;
    if (!FindKey(head + kArchiveHeaderOffset, key, &h, &seed)) return Refuse("OpenArchiveFile", "wrong key");
    if (const char* fault = HeaderFault(h, static_cast<uint64_t>(size))) return Refuse("OpenArchiveFile", fault);
    const uint64_t tablesSize = TablesEnd(h) - kArchiveTablesOffset;
    r->ownedTables = static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(tablesSize), __FILE__, __LINE__));
    if (r->ownedTables == nullptr) return Refuse("OpenArchiveFile", "no memory for the tables");
    if (!ReadAt(r->file, kArchiveTablesOffset, r->ownedTables, tablesSize))
        return Refuse("OpenArchiveFile", "truncated");
    if (const char* fault = TakeTables(r, h, r->ownedTables, seed)) return Refuse("OpenArchiveFile", fault);
    return 0;
}

}  // namespace

int ClearArchiveRecord(ArchiveRecord* record) {
    if (record != nullptr) std::memset(record, 0, sizeof *record);
    return 0;
}

int OpenArchiveFromMemory(ArchiveRecord* record, void* image, uint32_t size, const char* key) {
    auto fail = [](const char* what) { return Refuse("OpenArchiveFromMemory", what), -1; };
    if (record == nullptr || image == nullptr) return fail("no archive");
    auto* bytes = static_cast<uint8_t*>(image);
    if (size < kArchiveTablesOffset) return fail("truncated");
    if (std::memcmp(bytes, kArchiveSignature, 4) != 0) return fail("no archive signature");
    ArchiveHeader h;
    uint64_t seed;
    if (!FindKey(bytes + kArchiveHeaderOffset, key, &h, &seed)) return fail("wrong key");
    if (const char* fault = HeaderFault(h, size)) return fail(fault);
    ClearArchiveRecord(record);
    record->image = bytes;
    record->imageSize = size;
    if (const char* fault = TakeTables(record, h, bytes + kArchiveTablesOffset, seed)) {
        ClearArchiveRecord(record);
        return fail(fault);
    }
    ScrambleArchiveBytes(bytes + kArchiveHeaderOffset, kArchiveHeaderSize, seed, kArchiveHeaderOffset);
    record->opened = 1;
    return 0;
}

int OpenArchiveFile(ArchiveRecord* record, const char* path, const char* key) {
    FileFunctionTable* table = GetFileFunctionTable();
    if (record == nullptr || path == nullptr || table->Open == nullptr) return -1;
    ClearArchiveRecord(record);
    record->file = table->Open(path, 0, 1, 0);
    if (record->file == 0) return -1;
    const int result = OpenFileTables(record, key);
    if (result != 0) {
        CloseArchive(record);
        return result;
    }
    record->opened = 1;
    return 0;
}

int CloseArchive(ArchiveRecord* record) {
    if (record == nullptr) return -1;
    if (record->file != 0) GetFileFunctionTable()->Close(record->file);
    FreeMemory(record->ownedTables);
    ClearArchiveRecord(record);
    return 0;
}

int GetArchiveMemberInfo(const ArchiveRecord* record, const char* path, ArchiveMemberInfo* info) {
    uint32_t entry;
    if (!Walk(record, path, &entry) || entry == kArchiveNoEntry) return -1;
    const ArchiveFileEntry e = FileEntry(record, entry);
    if (e.flags & kArchiveEntryDirectory) return -1;
    if (info != nullptr) *info = MemberInfo(record, e);
    return 0;
}

int ForEachArchiveMember(const ArchiveRecord* record, const ArchiveMemberVisit& visit) {
    if (record == nullptr || record->opened == 0) return -1;
    struct Place {
        uint32_t folder;
        uint32_t next;  // the next of its entries
        size_t pathLength;
    };
    std::vector<Place> places{{0, 0, 0}};
    std::string path;
    while (!places.empty()) {
        Place& place = places.back();
        const ArchiveDirEntry dir = DirEntry(record, place.folder);
        if (place.next == dir.childCount) {
            places.pop_back();
            continue;
        }
        const ArchiveFileEntry e = FileEntry(record, dir.firstChild + place.next++);
        path.resize(place.pathLength);
        if (!path.empty()) path += '\\';
        path += NameTable(record) + e.nameOffset;
        if (e.flags & kArchiveEntryDirectory) places.push_back(Place{e.offset, 0, path.size()});
        else visit(path.c_str(), MemberInfo(record, e));
    }
    return 0;
}

int GetArchiveMemberData(const ArchiveRecord* record, const char* path, uint32_t* offset, uint32_t* size) {
    ArchiveMemberInfo info;
    if (GetArchiveMemberInfo(record, path, &info) != 0) return -1;
    if (offset != nullptr) *offset = info.offset;
    if (size != nullptr) *size = info.storedSize;
    return 0;
}

void* GetArchiveMemoryImage(const ArchiveRecord* record) {
    return record != nullptr && record->opened != 0 ? record->image : nullptr;
}

uint8_t* LoadArchiveMember(const ArchiveRecord* record, const ArchiveMemberInfo& info) {
    auto fail = [](const char* what, uint8_t* read, uint8_t* member) -> uint8_t* {
        WriteLogFormatted("アーカイブのメンバーを読めません(%s) in LoadArchiveMember", what);
        FreeMemory(read);
        FreeMemory(member);
        return nullptr;
    };
    uint8_t* read = nullptr;
    const uint8_t* stored = record->image != nullptr ? record->image + info.offset : nullptr;
    if (stored == nullptr) {
        read = static_cast<uint8_t*>(AllocMemory(info.storedSize > 0 ? info.storedSize : 1, __FILE__, __LINE__));
        if (read == nullptr || !ReadAt(record->file, info.offset, read, info.storedSize))
            return fail("cannot read it", read, nullptr);
        if (info.packed == 0) return read;
        stored = read;
    }
    // The head is checked before the member's block is allocated: a size its
    // bytes cannot make is refused here.
    if (info.packed != 0 && DecompressPackedData(nullptr, stored, info.storedSize) != info.size)
        return fail("packed size differs from its entry", read, nullptr);
    auto* member = static_cast<uint8_t*>(AllocMemory(info.size > 0 ? info.size : 1, __FILE__, __LINE__));
    if (member == nullptr) return fail("no memory", read, nullptr);
    if (info.packed == 0) {
        std::memcpy(member, stored, info.size);
        return member;
    }
    if (DecompressPackedData(member, stored, info.storedSize) != info.size)
        return fail("damaged packed data", read, member);
    FreeMemory(read);
    return member;
}

int32_t FindArchiveFolder(const ArchiveRecord* record, const char* path) {
    uint32_t entry;
    if (!Walk(record, path, &entry)) return -1;
    if (entry == kArchiveNoEntry) return 0;
    const ArchiveFileEntry e = FileEntry(record, entry);
    return (e.flags & kArchiveEntryDirectory) ? static_cast<int32_t>(e.offset) : -1;
}

int ArchiveFolderEntry(const ArchiveRecord* record, int32_t folder, uint32_t n, const char** name,
                       int32_t* isDirectory, uint32_t* size) {
    const ArchiveDirEntry dir = DirEntry(record, static_cast<uint32_t>(folder));
    if (n >= dir.childCount) return -1;
    const ArchiveFileEntry e = FileEntry(record, dir.firstChild + n);
    *name = NameTable(record) + e.nameOffset;
    *isDirectory = (e.flags & kArchiveEntryDirectory) ? 1 : 0;
    *size = *isDirectory ? 0 : e.size;
    return 0;
}
