// The per-user list of top-level windows that lets FindWindowA see the
// windows of other running processes (the double-start check needs it).
//
// An entry counts exactly while the process that wrote it runs: the writer
// holds an flock() lock on its entry file from before the entry appears until
// it removes it, and the kernel lets go of the lock when the process ends,
// however it ends (before its parent has reaped it, too). A reader tries a
// shared lock on a descriptor of its own: refused, the writer still runs;
// granted, the entry was left behind and goes. The process id written in the
// entry is only a name: it may by now belong to anyone.
//
// flock(), not fcntl() record locks: a record lock belongs to the process, so
// a reader in the writing process would never see its own lock, and closing
// any descriptor of the file (the reader's) would drop it. An flock() lock
// belongs to the open file description, so a second descriptor opened by the
// same process is refused as any other process is. The descriptor is closed
// on exec, so a program started by the game does not keep the entry alive;
// a fork that does not exec shares it until it ends.
#include "platform/user32/internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>

namespace {

std::mutex g_registryMutex;
std::string g_directory;  // empty: the default
int g_serial = 0;
std::map<std::string, int> g_held;  // entry path -> the locked descriptor kept open
std::string g_refused;              // the last folder refused (said once)

std::string DefaultDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/gamelib-windows";
    return "/tmp/gamelib-windows-" + std::to_string(static_cast<unsigned>(getuid()));
}

// Headless runs (the dummy and offscreen video drivers of tests) have no
// desktop to share: their windows are listed only in a directory set on purpose,
// so that test processes running side by side never take each other for a
// second copy of the program.
bool Headless() {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    return driver != nullptr && (std::string(driver) == "dummy" || std::string(driver) == "offscreen");
}

// The directory of the list; empty: no list.
std::string Directory() {
    if (!g_directory.empty()) return g_directory;
    return Headless() ? "" : DefaultDirectory();
}

bool Refuse(const std::string& dir, const char* reason) {
    if (g_refused != dir) {
        std::fprintf(stderr, "user32: the window list folder %s is not used (%s); other running copies are not seen\n",
                     dir.c_str(), reason);
        g_refused = dir;
    }
    return false;
}

// The folder of the list, made when missing. Only a real folder (not a link)
// that belongs to this user and that no one else may enter is used: in one
// that another user made, that user could read the entries or plant some
// that keep the program from starting. A refused folder means no list.
bool UsableDirectory(const std::string& dir) {
    if (dir.empty()) return false;
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return Refuse(dir, std::strerror(errno));
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) return Refuse(dir, std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return Refuse(dir, "not a folder but a link or a file");
    if (st.st_uid != getuid()) return Refuse(dir, "it belongs to another user");
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) return Refuse(dir, "other users may enter it");
    if (g_refused == dir) g_refused.clear();
    return true;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unhex(const std::string& hex, std::string* out) {
    if (hex.size() % 2 != 0) return false;
    out->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

// An entry: the process id, the class and the title (hex), one per line.
bool ParseEntry(const std::string& text, long* pid, std::string* className, std::string* title) {
    std::istringstream in(text);
    std::string pidLine, classLine, titleLine;
    if (!std::getline(in, pidLine) || !std::getline(in, classLine) || !std::getline(in, titleLine)) return false;
    char* end = nullptr;
    *pid = std::strtol(pidLine.c_str(), &end, 10);
    if (end == pidLine.c_str() || *end != '\0') return false;
    return Unhex(classLine, className) && Unhex(titleLine, title);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string ReadAll(int fd) {
    constexpr size_t kLimit = 1 << 20;  // far beyond any class and title
    std::string text;
    char buffer[4096];
    while (text.size() < kLimit) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    return text;
}

// Whether the process that wrote the entry still runs (its lock is held); an
// entry whose lock is free is removed. The entry's text is read on the way.
bool EntryRunning(const std::string& path, std::string* text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return false;  // gone meanwhile
    *text = ReadAll(fd);
    bool running = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!running) {
        // Left behind by a process that ended: removed, unless a new entry
        // has just been renamed onto its name.
        struct stat opened;
        struct stat named;
        if (fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev)
            unlink(path.c_str());
    }
    close(fd);
    return running;
}

// Writes the entry under a temporary name, locked before it has a byte, and
// renames it, so that a reader never sees half an entry nor an entry without
// its lock. The locked descriptor stays open until the entry is removed.
std::string WriteEntry(long pid, const std::string& className, const std::string& title) {
    std::string dir = Directory();
    if (!UsableDirectory(dir)) return "";
    std::string base = dir + "/" + std::to_string(pid) + "-" + std::to_string(++g_serial);
    std::string temp = base + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return "";
    std::string path = base + ".window";
    std::string text = std::to_string(pid) + '\n' + Hex(className) + '\n' + Hex(title) + '\n';
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || !WriteAll(fd, text) || std::rename(temp.c_str(), path.c_str()) != 0) {
        unlink(temp.c_str());
        close(fd);
        return "";
    }
    g_held[path] = fd;
    return path;
}

}  // namespace

namespace user32 {

std::string AddRegistryEntry(const std::string& className, const std::string& title) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    return WriteEntry(static_cast<long>(getpid()), className, title);
}

void RemoveRegistryEntry(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    if (path.empty()) return;
    unlink(path.c_str());  // before its lock goes: never an entry that seems left behind
    auto held = g_held.find(path);
    if (held == g_held.end()) return;
    close(held->second);
    g_held.erase(held);
}

bool FindRegistryEntry(const char* className, const char* title) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    std::string dir = Directory();
    if (!UsableDirectory(dir)) return false;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    std::string wantedClass = className != nullptr ? Lower(className) : "";
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 8 || name.compare(name.size() - 7, 7, ".window") != 0) continue;
        std::string path = dir + "/" + name, text;
        long pid = 0;
        std::string entryClass, entryTitle;
        if (!EntryRunning(path, &text) || !ParseEntry(text, &pid, &entryClass, &entryTitle)) continue;
        if (pid == static_cast<long>(getpid())) continue;  // our own windows are looked up directly
        if (className != nullptr && Lower(entryClass.c_str()) != wantedClass) continue;
        if (title != nullptr && entryTitle != title) continue;
        found = true;
        break;
    }
    closedir(d);
    return found;
}

}  // namespace user32

namespace platform {

void SetWindowRegistryDirectory(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    g_directory = path;
}

std::string WindowRegistryDirectory() {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    return Directory();
}

bool WriteWindowRegistryEntry(int pid, const char* className, const char* title, std::string* path) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    std::string written = WriteEntry(pid, className != nullptr ? className : "", title != nullptr ? title : "");
    if (path != nullptr) *path = written;
    return !written.empty();
}

}  // namespace platform
