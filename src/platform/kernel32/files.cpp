// Files, directories, temporary names and directory searches.
#include "platform/kernel32/internal.h"
#include "platform/seams/seams.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using kernel32::ErrorFromErrno;
using kernel32::IsShiftJisLead;
using kernel32::ObjectKind;
using platform::FailWith;

namespace {

constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorNegativeSeek = 131;
constexpr DWORD kErrorFileExists = 80;

struct FileObject : kernel32::KernelObject {
    FileObject() : KernelObject(ObjectKind::File) {}
    ~FileObject() override {
        if (fd >= 0) close(fd);
    }
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
};

struct FindListing : kernel32::KernelObject {
    FindListing() : KernelObject(ObjectKind::Find) {}
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

void SetErrorFromErrno() { SetLastError(ErrorFromErrno(errno)); }

// Copies text with its NUL into buffer of size bytes. Returns the length
// without the NUL, or the size needed with the NUL when it does not fit.
DWORD CopyOut(const std::string& text, DWORD size, LPSTR buffer) {
    if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

// Splits a Shift-JIS string into characters (one or two bytes each).
std::vector<std::string> Characters(const std::string& text) {
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsShiftJisLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            characters.push_back(text.substr(i, 2));
            ++i;
        } else {
            characters.push_back(text.substr(i, 1));
        }
    }
    return characters;
}

bool SameCharacter(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    if (a.size() == 1) return std::tolower(static_cast<unsigned char>(a[0])) == std::tolower(static_cast<unsigned char>(b[0]));
    return a == b;
}

// '*' matches any run of characters, '?' one character; letters match in
// either case, as file names do on Windows.
bool MatchCharacters(const std::vector<std::string>& pattern, size_t p, const std::vector<std::string>& name,
                     size_t n) {
    while (p < pattern.size()) {
        if (pattern[p] == "*") {
            while (p < pattern.size() && pattern[p] == "*") ++p;
            if (p == pattern.size()) return true;
            for (size_t k = n; k <= name.size(); ++k)
                if (MatchCharacters(pattern, p, name, k)) return true;
            return false;
        }
        if (n >= name.size()) return false;
        if (pattern[p] != "?" && !SameCharacter(pattern[p], name[n])) return false;
        ++p;
        ++n;
    }
    return n == name.size();
}

bool MatchPattern(std::string pattern, const std::string& name) {
    if (pattern == "*.*") pattern = "*";  // Windows matches names without a dot too
    return MatchCharacters(Characters(pattern), 0, Characters(name), 0);
}

// The last path element of a Shift-JIS path and the directory before it.
void SplitPattern(const std::string& path, std::string* directory, std::string* last) {
    size_t cut = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsShiftJisLead(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            cut = i;
        }
    }
    if (cut == std::string::npos) {
        *directory = "";
        *last = path;
    } else {
        *directory = path.substr(0, cut + 1);
        *last = path.substr(cut + 1);
    }
}

FILETIME FileTimeOf(const struct timespec& time) {
    // 100 ns intervals since 1601-01-01.
    uint64_t ticks = (static_cast<uint64_t>(time.tv_sec) + 11644473600ull) * 10000000ull + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool FillFindData(const std::string& directory, const char* nativeName, WIN32_FIND_DATAA* data) {
    std::string name = platform::Utf8ToShiftJis(nativeName);
    if (name.size() >= MAX_PATH) return false;
    if (platform::PathToNative(name.c_str()) != nativeName) return false;  // no Shift-JIS form
    struct stat facts {};
    std::string full = nativeName;
    if (!directory.empty()) full = (directory.back() == '/' ? directory : directory + "/") + nativeName;
    if (stat(full.c_str(), &facts) != 0) return false;
    std::memset(data, 0, sizeof *data);
    data->dwFileAttributes = S_ISDIR(facts.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    if (!S_ISDIR(facts.st_mode) && access(full.c_str(), W_OK) != 0)
        data->dwFileAttributes = FILE_ATTRIBUTE_READONLY;
    data->ftCreationTime = FileTimeOf(facts.st_ctim);
    data->ftLastAccessTime = FileTimeOf(facts.st_atim);
    data->ftLastWriteTime = FileTimeOf(facts.st_mtim);
    uint64_t size = S_ISDIR(facts.st_mode) ? 0 : static_cast<uint64_t>(facts.st_size);
    data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data->nFileSizeLow = static_cast<DWORD>(size);
    std::memcpy(data->cFileName, name.c_str(), name.size() + 1);
    return true;
}

std::shared_ptr<FileObject> FindFile(HANDLE handle) {
    return kernel32::FindTyped<FileObject>(handle, ObjectKind::File);
}

}  // namespace

// ---- directories -----------------------------------------------------------------

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
    if (auto failed = seams::FailNow<DWORD>("GetCurrentDirectoryA", ERROR_ACCESS_DENIED)) return FailWith(*failed, 0);
    char native[4096];
    if (getcwd(native, sizeof native) == nullptr) {
        SetErrorFromErrno();
        return 0;
    }
    return CopyOut(platform::PathFromNative(native), size, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR path) {
    if (auto failed = seams::FailNow<DWORD>("SetCurrentDirectoryA", ERROR_PATH_NOT_FOUND))
        return FailWith(*failed, FALSE);
    if (path == nullptr || path[0] == '\0') return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    if (chdir(platform::PathToNative(path).c_str()) != 0)
        return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, void*) {
    if (auto failed = seams::FailNow<DWORD>("CreateDirectoryA", ERROR_ACCESS_DENIED)) return FailWith(*failed, FALSE);
    if (path == nullptr || path[0] == '\0') return FailWith(ERROR_PATH_NOT_FOUND, FALSE);
    if (mkdir(platform::PathToNative(path).c_str(), 0777) != 0)
        return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno), FALSE);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR path) {
    if (auto failed = seams::FailNow<DWORD>("DeleteFileA", ERROR_ACCESS_DENIED)) return FailWith(*failed, FALSE);
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    std::string native = platform::PathToNative(path);
    struct stat facts {};
    if (stat(native.c_str(), &facts) == 0 && S_ISDIR(facts.st_mode)) return FailWith(ERROR_ACCESS_DENIED, FALSE);
    if (unlink(native.c_str()) != 0) {
        SetErrorFromErrno();
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(const WCHAR* path) {
    if (path == nullptr) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    char narrow[MAX_PATH * 2];
    if (WideCharToMultiByte(932, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr) == 0) return FALSE;
    return DeleteFileA(narrow);
}

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
    if (auto failed = seams::FailNow<DWORD>("GetTempPathA", ERROR_PATH_NOT_FOUND)) return FailWith(*failed, 0);
    const char* directory = std::getenv("TMPDIR");
    if (directory == nullptr || directory[0] == '\0') directory = "/tmp";
    std::string path = platform::PathFromNative(directory);
    if (path.empty() || path.back() != '\\') path += '\\';
    return CopyOut(path, size, buffer);
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName) {
    if (auto failed = seams::FailNow<DWORD>("GetTempFileNameA", ERROR_ACCESS_DENIED)) return FailWith(*failed, 0);
    if (path == nullptr || tempFileName == nullptr) return FailWith(ERROR_INVALID_PARAMETER, 0);
    std::string base = path;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    if (prefix != nullptr) {
        // At most three characters of the prefix, never half a double-byte one.
        auto characters = Characters(prefix);
        for (size_t i = 0; i < characters.size() && i < 3; ++i) base += characters[i];
    }
    auto makeName = [&](UINT number) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", number & 0xFFFF);
        return base + hex + ".tmp";
    };
    if (base.size() + 4 + 4 + 1 > MAX_PATH) return FailWith(ERROR_INVALID_PARAMETER, 0);
    if (unique != 0) {
        std::string name = makeName(unique);
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return unique & 0xFFFF;
    }
    static std::atomic<UINT> counter{static_cast<UINT>(getpid())};
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        UINT number = counter.fetch_add(1) & 0xFFFF;
        if (number == 0) continue;
        std::string name = makeName(number);
        int fd = open(platform::PathToNative(name.c_str()).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            close(fd);
            std::memcpy(tempFileName, name.c_str(), name.size() + 1);
            return number;
        }
        if (errno != EEXIST) return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno), 0);
    }
    return FailWith(kErrorFileExists, 0);
}

// ---- files ------------------------------------------------------------------------

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD, void*, DWORD creation, DWORD, HANDLE) {
    if (auto failed = seams::FailNow<DWORD>("CreateFileA", ERROR_ACCESS_DENIED))
        return FailWith(*failed, INVALID_HANDLE_VALUE);
    if (path == nullptr || path[0] == '\0') return FailWith(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    bool canRead = (access & GENERIC_READ) != 0;
    bool canWrite = (access & GENERIC_WRITE) != 0;
    int flags = canRead && canWrite ? O_RDWR : (canWrite ? O_WRONLY : O_RDONLY);
    switch (creation) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_EXISTING: break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
        default: return FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    }
    if (creation == TRUNCATE_EXISTING && !canWrite) return FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    std::string native = platform::PathToNative(path);
    struct stat facts {};
    bool existed = stat(native.c_str(), &facts) == 0;
    if (existed && S_ISDIR(facts.st_mode)) return FailWith(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    int fd = open(native.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        int error = errno;
        if (error == EEXIST) SetLastError(kErrorFileExists);
        else if (error == ENOENT && creation != OPEN_EXISTING && creation != TRUNCATE_EXISTING)
            SetLastError(ERROR_PATH_NOT_FOUND);
        else SetLastError(ErrorFromErrno(error));
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<FileObject>();
    file->fd = fd;
    file->canRead = canRead;
    file->canWrite = canWrite;
    bool reportsExisting = creation == CREATE_ALWAYS || creation == OPEN_ALWAYS;
    SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return kernel32::AddObject(file);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, void*) {
    if (read != nullptr) *read = 0;
    if (auto failed = seams::FailNow<DWORD>("ReadFile", ERROR_ACCESS_DENIED)) return FailWith(*failed, FALSE);
    auto file = FindFile(handle);
    if (!file) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    if (!file->canRead || (buffer == nullptr && toRead > 0))
        return FailWith(file->canRead ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED, FALSE);
    DWORD total = 0;
    while (total < toRead) {
        ssize_t got = ::read(file->fd, static_cast<char*>(buffer) + total, toRead - total);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (read != nullptr) *read = total;
            SetErrorFromErrno();
            return FALSE;
        }
        if (got == 0) break;  // end of file: success with fewer bytes
        total += static_cast<DWORD>(got);
    }
    if (read != nullptr) *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, void*) {
    if (written != nullptr) *written = 0;
    if (auto failed = seams::FailNow<DWORD>("WriteFile", ERROR_ACCESS_DENIED)) return FailWith(*failed, FALSE);
    auto file = FindFile(handle);
    if (!file) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    if (!file->canWrite || (buffer == nullptr && toWrite > 0))
        return FailWith(file->canWrite ? ERROR_INVALID_PARAMETER : ERROR_ACCESS_DENIED, FALSE);
    DWORD total = 0;
    while (total < toWrite) {
        ssize_t put = ::write(file->fd, static_cast<const char*>(buffer) + total, toWrite - total);
        if (put < 0) {
            if (errno == EINTR) continue;
            if (written != nullptr) *written = total;
            return FailWith(errno == ENOSPC ? 112 /* ERROR_DISK_FULL */ : ErrorFromErrno(errno), FALSE);
        }
        total += static_cast<DWORD>(put);
    }
    if (written != nullptr) *written = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG* distanceHigh, DWORD method) {
    if (auto failed = seams::FailNow<DWORD>("SetFilePointer", ERROR_INVALID_HANDLE))
        return FailWith(*failed, INVALID_SET_FILE_POINTER);
    auto file = FindFile(handle);
    if (!file) return FailWith(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    int64_t offset = distanceHigh != nullptr
                         ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                                static_cast<uint32_t>(distance))
                         : static_cast<int64_t>(distance);
    int whence;
    switch (method) {
        case FILE_BEGIN: whence = SEEK_SET; break;
        case FILE_CURRENT: whence = SEEK_CUR; break;
        case FILE_END: whence = SEEK_END; break;
        default: return FailWith(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    off_t base = whence == SEEK_SET ? 0 : lseek(file->fd, 0, whence);
    if (base < 0 || (offset < 0 && base + offset < 0)) return FailWith(kErrorNegativeSeek, INVALID_SET_FILE_POINTER);
    off_t position = lseek(file->fd, base + offset, SEEK_SET);
    if (position < 0) {
        SetErrorFromErrno();
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh != nullptr) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
    SetLastError(ERROR_SUCCESS);  // callers tell a real 0xFFFFFFFF from failure by this
    return static_cast<DWORD>(position);
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
    if (auto failed = seams::FailNow<DWORD>("GetFileSize", ERROR_INVALID_HANDLE))
        return FailWith(*failed, INVALID_FILE_SIZE);
    auto file = FindFile(handle);
    struct stat facts {};
    if (!file || fstat(file->fd, &facts) != 0) return FailWith(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    uint64_t size = static_cast<uint64_t>(facts.st_size);
    if (sizeHigh != nullptr) *sizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size);
}

BOOL FlushFileBuffers(HANDLE handle) {
    if (auto failed = seams::FailNow<DWORD>("FlushFileBuffers", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    auto file = FindFile(handle);
    if (!file || fsync(file->fd) != 0) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

// ---- directory searches -----------------------------------------------------------

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
    if (auto failed = seams::FailNow<DWORD>("FindFirstFileA", ERROR_FILE_NOT_FOUND))
        return FailWith(*failed, INVALID_HANDLE_VALUE);
    if (pattern == nullptr || data == nullptr || pattern[0] == '\0')
        return FailWith(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    std::string directory, last;
    SplitPattern(pattern, &directory, &last);
    if (last.empty()) return FailWith(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::string nativeDirectory = directory.empty() ? std::string() : platform::PathToNative(directory.c_str());
    DIR* listing = opendir(nativeDirectory.empty() ? "." : nativeDirectory.c_str());
    if (listing == nullptr) return FailWith(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);
    auto find = std::make_shared<FindListing>();
    while (dirent* entry = readdir(listing)) {
        WIN32_FIND_DATAA found;
        std::string name = platform::Utf8ToShiftJis(entry->d_name);
        if (!MatchPattern(last, name)) continue;
        if (FillFindData(nativeDirectory, entry->d_name, &found)) find->entries.push_back(found);
    }
    closedir(listing);
    if (find->entries.empty()) return FailWith(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::sort(find->entries.begin(), find->entries.end(), [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
        return std::strcmp(a.cFileName, b.cFileName) < 0;
    });
    *data = find->entries[0];
    find->next = 1;
    return kernel32::AddObject(find);
}

BOOL FindNextFileA(HANDLE handle, WIN32_FIND_DATAA* data) {
    if (auto failed = seams::FailNow<DWORD>("FindNextFileA", ERROR_NO_MORE_FILES)) return FailWith(*failed, FALSE);
    auto find = kernel32::FindTyped<FindListing>(handle, ObjectKind::Find);
    if (!find || data == nullptr) return FailWith(find ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
    if (find->next >= find->entries.size()) return FailWith(ERROR_NO_MORE_FILES, FALSE);
    *data = find->entries[find->next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    if (auto failed = seams::FailNow<DWORD>("FindClose", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    if (!kernel32::FindObject(handle, ObjectKind::Find) || !kernel32::RemoveObject(handle))
        return FailWith(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}
