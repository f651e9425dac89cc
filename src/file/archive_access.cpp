// Archive members and archive searches behind the access calls.
#include "file/archive_access.h"
#include "file/archive.h"
#include "file/handle_registry.h"

#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "platform/kernel32/kernel32.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr int kMaxOpenMembers = 512;
constexpr int kMaxArchiveFinds = 64;

struct ArchiveMember {
    uint8_t* data;
    uint32_t size;
    int64_t position;
    bool eof;
};

struct ArchiveFind {
    FileInfo* entries;
    uint32_t count;
    uint32_t next;
};

FileHandleRegistry<ArchiveMember, kMaxOpenMembers>& Members() {
    static FileHandleRegistry<ArchiveMember, kMaxOpenMembers> members(kFileHandleBaseArchiveMember);
    return members;
}

FileHandleRegistry<ArchiveFind, kMaxArchiveFinds>& Finds() {
    static FileHandleRegistry<ArchiveFind, kMaxArchiveFinds> finds(kFileHandleBaseArchiveFind);
    return finds;
}

// The places of the path's separators, outermost first ('\' or '/', not the
// second byte of a double-byte character).
std::vector<size_t> Separators(const char* path) {
    std::vector<size_t> places;
    for (size_t i = 0; path[i] != '\0'; i += CharacterBytes(path + i))
        if (path[i] == '\\' || path[i] == '/') places.push_back(i);
    return places;
}

// The path's elements, without empty ones and ".", in order.
std::vector<std::string> Elements(const std::string& path) {
    std::vector<std::string> elements(1);
    for (size_t i = 0; i < path.size(); i += CharacterBytes(path.c_str() + i)) {
        if (path[i] == '\\' || path[i] == '/') {
            if (!elements.back().empty() && elements.back() != ".") elements.emplace_back();
            else elements.back().clear();
        } else {
            elements.back().append(path, i, CharacterBytes(path.c_str() + i));
        }
    }
    if (elements.back().empty() || elements.back() == ".") elements.pop_back();
    return elements;
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && (path[0] == '\\' || path[0] == '/' || (path.size() > 1 && path[1] == ':'));
}

std::string& ProgramFolderSetByTest() {
    static std::string folder;
    return folder;
}

// The elements of the program's folder: the executable's, or the one a test
// set; false when it cannot be had.
bool ProgramFolder(std::vector<std::string>* elements) {
    if (!ProgramFolderSetByTest().empty()) {
        *elements = Elements(ProgramFolderSetByTest());
        return true;
    }
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) return false;
    *elements = Elements(path);
    if (elements->empty()) return false;
    elements->pop_back();  // the program's own name
    return true;
}

// Whether the archive of folder ("<folder>.gla", beside it) may hold the
// caller's files: never when the folder steps up with ".."; for a relative
// path, any folder it names, so the archive lies inside the current folder;
// for an absolute one, only a folder inside the program's folder (home, its
// elements), so the archive lies inside that folder too. Folders are
// compared as the system names them, letter case included. An archive above
// the program's folder is never read, wherever the program was started from.
bool ArchiveMayLieBeside(const std::string& folder, const std::vector<std::string>* home) {
    const std::vector<std::string> elements = Elements(folder);
    if (elements.empty()) return false;
    for (const std::string& element : elements)
        if (element == "..") return false;
    if (!IsAbsolute(folder)) return true;
    if (home == nullptr || elements.size() <= home->size()) return false;
    return std::equal(home->begin(), home->end(), elements.begin());
}

// Calls visit(archive, inner path) for each archive that may hold path, the
// innermost folder's first, until visit returns true.
template <typename Visit>
bool VisitArchives(const std::string& path, Visit visit) {
    const std::vector<size_t> places = Separators(path.c_str());
    std::vector<std::string> home;
    const bool knowHome = IsAbsolute(path) && !places.empty() && ProgramFolder(&home);
    for (auto it = places.rbegin(); it != places.rend(); ++it) {
        const std::string folder = path.substr(0, *it);
        if (!ArchiveMayLieBeside(folder, knowHome ? &home : nullptr)) continue;
        ArchiveRecord record;
        if (OpenArchiveFile(&record, (folder + ".gla").c_str(), nullptr) != 0) continue;
        const bool done = visit(record, path.c_str() + *it + 1);
        CloseArchive(&record);
        if (done) return true;
    }
    return false;
}

void DestroyMember(ArchiveMember* member) {
    FreeMemory(member->data);
    FreeMemory(member);
}

DWORD_PTR AddMember(uint8_t* data, uint32_t size) {
    auto* member = static_cast<ArchiveMember*>(AllocMemoryZeroed(sizeof(ArchiveMember), __FILE__, __LINE__));
    if (member == nullptr) {
        FreeMemory(data);
        return 0;
    }
    member->data = data;
    member->size = size;
    const DWORD_PTR handle = Members().Add(member);
    if (handle == 0) DestroyMember(member);
    return handle;
}

// ---- searches ---------------------------------------------------------------------------
const char* SkipCharacter(const char* text) { return text + CharacterBytes(text); }

bool SameCharacter(const char* a, const char* b) {
    const int bytes = CharacterBytes(a);
    if (bytes != CharacterBytes(b)) return false;
    if (bytes == 2) return a[0] == b[0] && a[1] == b[1];
    return std::tolower(static_cast<unsigned char>(*a)) == std::tolower(static_cast<unsigned char>(*b));
}

bool FillFind(ArchiveFind* find, const ArchiveRecord& record, const std::string& folder, const char* pattern) {
    uint64_t count = 0;
    ForEachArchiveEntry(&record, folder.c_str(), [&](const char* name, int32_t, uint32_t) {
        if (MatchFilePattern(pattern, name)) ++count;
    });
    if (count == 0) return false;
    uint32_t bytes;
    if (!ArchiveListingBytes(count, &bytes)) {
        WriteLogFormatted("アーカイブのフォルダーを一覧にできません(%llu件) in FindFirstAccessFile",
                          static_cast<unsigned long long>(count));
        return true;  // this archive holds the folder: outer archives are not searched
    }
    find->entries = static_cast<FileInfo*>(AllocMemoryZeroed(bytes, __FILE__, __LINE__));
    if (find->entries == nullptr) return true;
    ForEachArchiveEntry(&record, folder.c_str(), [&](const char* name, int32_t isDirectory, uint32_t size) {
        if (find->count == count || !MatchFilePattern(pattern, name)) return;
        FileInfo& info = find->entries[find->count++];
        CopyText(info.name, sizeof info.name, name);
        info.isDirectory = isDirectory;
        info.size = size;
    });
    return true;
}

}  // namespace

void SetProgramFolderForTest(const char* folder) { ProgramFolderSetByTest() = folder != nullptr ? folder : ""; }

bool ArchiveListingBytes(uint64_t count, uint32_t* bytes) {
    if (count > UINT32_MAX / sizeof(FileInfo)) return false;
    *bytes = static_cast<uint32_t>(count * sizeof(FileInfo));
    return true;
}

bool MatchFilePattern(const char* pattern, const char* name) {
    if (std::strcmp(pattern, "*.*") == 0) pattern = "*";
    const char* star = nullptr;  // the last '*' seen, and where its run ends in name
    const char* resume = nullptr;
    while (*name != '\0') {
        if (*pattern == '*') {
            star = ++pattern;
            resume = name;
        } else if (*pattern != '\0' && (*pattern == '?' || SameCharacter(pattern, name))) {
            pattern = SkipCharacter(pattern);
            name = SkipCharacter(name);
        } else if (star != nullptr) {
            pattern = star;
            name = resume = SkipCharacter(resume);
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

DWORD_PTR OpenArchiveMember(const char* path) {
    DWORD_PTR handle = 0;
    VisitArchives(path, [&](const ArchiveRecord& record, const char* inner) {
        ArchiveMemberInfo info;
        if (GetArchiveMemberInfo(&record, inner, &info) != 0) return false;
        uint8_t* data = LoadArchiveMember(&record, info);
        if (data != nullptr) handle = AddMember(data, info.size);
        return true;
    });
    return handle;
}

bool IsArchiveMemberHandle(DWORD_PTR handle) { return (handle & ~DWORD_PTR{0x0FFFFFFF}) == kFileHandleBaseArchiveMember; }

int CloseArchiveMember(DWORD_PTR handle) {
    ArchiveMember* member = Members().Remove(handle);
    if (member == nullptr) return -1;
    DestroyMember(member);
    return 0;
}

int64_t TellArchiveMember(DWORD_PTR handle) {
    ArchiveMember* member = Members().Find(handle);
    return member != nullptr ? member->position : -1;
}

int SeekArchiveMember(DWORD_PTR handle, int64_t offset, int origin) {
    ArchiveMember* member = Members().Find(handle);
    return SeekRecord(member, offset, origin, [&] { return int64_t{member->size}; });
}

size_t ReadArchiveMember(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    ArchiveMember* member = Members().Find(handle);
    if (member == nullptr || buffer == nullptr || elementSize == 0 || count == 0) return 0;
    if (count > SIZE_MAX / elementSize) return 0;
    const size_t wanted = elementSize * count;
    const size_t left = member->position < member->size ? static_cast<size_t>(member->size - member->position) : 0;
    const size_t got = wanted < left ? wanted : left;
    if (got > 0) std::memcpy(buffer, member->data + member->position, got);
    member->position += static_cast<int64_t>(got);
    if (got < wanted) member->eof = true;
    return got / elementSize;
}

int EofArchiveMember(DWORD_PTR handle) {
    ArchiveMember* member = Members().Find(handle);
    if (member == nullptr) return -1;
    return member->eof ? 1 : 0;
}

DWORD_PTR FindFirstInArchive(const char* pattern, FileInfo* info) {
    const std::vector<size_t> places = Separators(pattern);
    if (places.empty()) return 0;
    const char* last = pattern + places.back() + 1;
    ArchiveFind find{};
    VisitArchives(pattern, [&](const ArchiveRecord& record, const char* inner) {
        // The inner path ends with the pattern's last element: the folder is before it.
        const std::string folder(inner, std::strlen(inner) - std::strlen(last));
        return FillFind(&find, record, folder, last);
    });
    if (find.entries == nullptr) return 0;
    auto* record = static_cast<ArchiveFind*>(AllocMemory(sizeof(ArchiveFind), __FILE__, __LINE__));
    const DWORD_PTR handle = record != nullptr ? Finds().Add(new (record) ArchiveFind(find)) : 0;
    if (handle == 0) {
        FreeMemory(find.entries);
        FreeMemory(record);
        return 0;
    }
    FindNextInArchive(handle, info);
    return handle;
}

bool IsArchiveFindHandle(DWORD_PTR handle) {
    return (handle & ~DWORD_PTR{0x00FFFFFF}) == kFileHandleBaseArchiveFind;
}

int FindNextInArchive(DWORD_PTR handle, FileInfo* info) {
    ArchiveFind* find = Finds().Find(handle);
    if (find == nullptr || find->next >= find->count) return -1;
    if (info != nullptr) *info = find->entries[find->next];
    ++find->next;
    return 0;
}

int FindCloseInArchive(DWORD_PTR handle) {
    ArchiveFind* find = Finds().Remove(handle);
    if (find == nullptr) return -1;
    FreeMemory(find->entries);
    FreeMemory(find);
    return 0;
}
