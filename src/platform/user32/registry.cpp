// The per-user list of top-level windows that lets FindWindowA see the
// windows of other running processes (the double-start check needs it).
#include "platform/user32/internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

namespace {

std::mutex g_registryMutex;
std::string g_directory;  // empty: the default
int g_serial = 0;

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
bool ReadEntry(const std::string& path, long* pid, std::string* className, std::string* title) {
    std::ifstream in(path, std::ios::binary);
    std::string pidLine, classLine, titleLine;
    if (!std::getline(in, pidLine) || !std::getline(in, classLine) || !std::getline(in, titleLine)) return false;
    char* end = nullptr;
    *pid = std::strtol(pidLine.c_str(), &end, 10);
    if (end == pidLine.c_str() || *end != '\0') return false;
    return Unhex(classLine, className) && Unhex(titleLine, title);
}

bool ProcessAlive(long pid) {
    if (pid <= 0) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Writes the entry under a temporary name and renames it, so that a reader
// never sees half an entry.
std::string WriteEntry(long pid, const std::string& className, const std::string& title) {
    std::string dir = Directory();
    if (dir.empty() || (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)) return "";
    std::string base = dir + "/" + std::to_string(pid) + "-" + std::to_string(++g_serial);
    std::string temp = base + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return "";
        out << pid << '\n' << Hex(className) << '\n' << Hex(title) << '\n';
        if (!out) return "";
    }
    std::string path = base + ".window";
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return "";
    }
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
    if (!path.empty()) std::remove(path.c_str());
}

bool FindRegistryEntry(const char* className, const char* title) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    std::string dir = Directory();
    if (dir.empty()) return false;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr) return false;
    bool found = false;
    long self = static_cast<long>(getpid());
    std::string wantedClass = className != nullptr ? Lower(className) : "";
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() < 8 || name.compare(name.size() - 7, 7, ".window") != 0) continue;
        std::string path = dir + "/" + name;
        long pid = 0;
        std::string entryClass, entryTitle;
        if (!ReadEntry(path, &pid, &entryClass, &entryTitle)) continue;
        if (pid == self) continue;  // our own windows are looked up directly
        if (!ProcessAlive(pid)) {
            std::remove(path.c_str());  // left behind by a process that ended
            continue;
        }
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
