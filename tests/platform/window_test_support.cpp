#include "window_test_support.h"

#include "../temp_folder.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace windowtest {

std::vector<Seen>& SeenMessages() {
    static std::vector<Seen> seen;
    return seen;
}

void ClearSeen() { SeenMessages().clear(); }

std::vector<UINT> SeenIds() {
    std::vector<UINT> ids;
    for (const Seen& s : SeenMessages()) ids.push_back(s.message);
    return ids;
}

LRESULT& CreateResult() {
    static LRESULT result = 0;
    return result;
}

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SeenMessages().push_back(Seen{hwnd, message, wParam, lParam});
    if (message == WM_CREATE) return CreateResult();
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

static std::string& RegistryDirectory() {
    static std::string directory;
    return directory;
}

// The private registry directory goes when the test program ends.
static void RemoveRegistryDirectory() {
    const std::string& dir = RegistryDirectory();
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') std::remove((dir + "/" + e->d_name).c_str());
        closedir(d);
    }
    rmdir(dir.c_str());
}

void PrepareWindowSystem() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    std::string& directory = RegistryDirectory();
    if (directory.empty()) {
        directory = test_temp::MakeFolder("window-registry");
        std::atexit(RemoveRegistryDirectory);
    }
    platform::SetWindowRegistryDirectory(directory);
    platform::SetDesktopModeForTest(0, 0, 0);
    seams::ClearAllCalls();
    CreateResult() = 0;
    ClearSeen();
    ChangeDisplaySettingsA(nullptr, 0);
}

std::string RegisterRecordingClass(const char* base) {
    static int serial = 0;
    std::string name = std::string(base) + std::to_string(++serial);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.cbWndExtra = 16;
    wc.lpszClassName = name.c_str();
    RegisterClassExA(&wc);
    return name;
}

HWND CreateTestWindow(const std::string& className, int clientWidth, int clientHeight, DWORD style) {
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, 0);
    return CreateWindowExA(0, className.c_str(), "test", style | WS_VISIBLE, 100, 50, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

int StartListingProcess(const char* className, int named) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    pid_t child = fork();
    if (child == 0) {
        bool ok = platform::WriteWindowRegistryEntry(named != 0 ? named : getpid(), className, "title", nullptr);
        char c = ok ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(2);
        pause();
        _exit(0);
    }
    char c = 0;
    bool listed = child > 0 && read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    close(ready[1]);
    if (child > 0 && !listed) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return listed ? child : -1;
}

int ListedWindowCount() {
    int count = 0;
    std::error_code error;
    for (const auto& e : std::filesystem::directory_iterator(platform::WindowRegistryDirectory(), error))
        count += e.path().extension() == ".window";
    return count;
}

int DispatchAll() {
    MSG msg;
    int count = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ++count;
        if (msg.message == WM_QUIT) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (count > 1000) break;
    }
    return count;
}

std::vector<MSG> TakeAll(UINT first, UINT last) {
    std::vector<MSG> list;
    MSG msg;
    while (list.size() < 1000 && PeekMessageA(&msg, nullptr, first, last, PM_REMOVE)) {
        if (msg.message == WM_PAINT) {
            ValidateRect(msg.hwnd, nullptr);
            continue;
        }
        list.push_back(msg);
    }
    return list;
}

}  // namespace windowtest
