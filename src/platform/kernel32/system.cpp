// Time, system facts, modules and the debugger output.
#include "platform/kernel32/internal.h"
#include "platform/seams/seams.h"

#include <sys/sysinfo.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>  // std::chrono clocks (<chrono> itself does not build under -fexec-charset=CP932)
#include <vector>

using platform::FailWith;

namespace {

constexpr LONGLONG kCounterFrequency = 10'000'000;  // 100 ns ticks

std::chrono::steady_clock::time_point ProcessStart() {
    static const auto start = std::chrono::steady_clock::now();
    return start;
}

std::atomic<int> g_processorCountForTest{0};

HMODULE const kExecutableModule = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x400000));

}  // namespace

void Sleep(DWORD milliseconds) {
    if (seams::NoWait()) return;
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (auto failed = seams::FailNow<DWORD>("QueryPerformanceCounter", ERROR_INVALID_PARAMETER))
        return FailWith(*failed, FALSE);
    if (count == nullptr) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    // The steady clock counts the monotonic clock's time, as the still clock does.
    const auto now = seams::StillClock()
                         ? std::chrono::steady_clock::time_point(std::chrono::microseconds(seams::StillClockUs()))
                         : std::chrono::steady_clock::now();
    auto elapsed = now - ProcessStart();
    count->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (auto failed = seams::FailNow<DWORD>("QueryPerformanceFrequency", ERROR_INVALID_PARAMETER))
        return FailWith(*failed, FALSE);
    if (frequency == nullptr) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    frequency->QuadPart = kCounterFrequency;
    return TRUE;
}

DWORD GetTickCount() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void GetSystemInfo(SYSTEM_INFO* info) {
    if (info == nullptr) return;
    std::memset(info, 0, sizeof *info);
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    if (processors < 1) processors = 1;
    if (g_processorCountForTest > 0) processors = g_processorCountForTest;
    if (processors > 64) processors = 64;
    info->wProcessorArchitecture = 9;  // PROCESSOR_ARCHITECTURE_AMD64
    info->dwPageSize = static_cast<DWORD>(sysconf(_SC_PAGESIZE));
    info->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t{0x10000});
    info->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(uintptr_t{0x7FFFFFFEFFFF});
    info->dwActiveProcessorMask = processors >= 64 ? ~DWORD_PTR{0} : ((DWORD_PTR{1} << processors) - 1);
    info->dwNumberOfProcessors = static_cast<DWORD>(processors);
    info->dwProcessorType = 8664;  // PROCESSOR_AMD_X8664
    info->dwAllocationGranularity = 0x10000;
    info->wProcessorLevel = 6;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (auto failed = seams::FailNow<DWORD>("GetVersionExA", ERROR_INVALID_PARAMETER)) return FailWith(*failed, FALSE);
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA))
        return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    info->dwMajorVersion = 6;
    info->dwMinorVersion = 1;
    info->dwBuildNumber = 7601;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::snprintf(info->szCSDVersion, sizeof info->szCSDVersion, "Service Pack 1");
    return TRUE;
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
    if (status == nullptr) return;
    struct sysinfo facts {};
    sysinfo(&facts);
    size_t unit = facts.mem_unit ? facts.mem_unit : 1;
    status->dwLength = sizeof *status;
    status->dwTotalPhys = facts.totalram * unit;
    status->dwAvailPhys = facts.freeram * unit;
    status->dwMemoryLoad =
        facts.totalram ? static_cast<DWORD>(100 - (facts.freeram * 100) / facts.totalram) : 0;
    status->dwTotalPageFile = (facts.totalram + facts.totalswap) * unit;
    status->dwAvailPageFile = (facts.freeram + facts.freeswap) * unit;
    status->dwTotalVirtual = size_t{0x7FFFFFFE0000};
    status->dwAvailVirtual = status->dwTotalVirtual;
}

UINT GetOEMCP() { return 932; }
UINT GetACP() { return 932; }

HMODULE GetModuleHandleA(LPCSTR name) {
    if (name == nullptr) return kExecutableModule;
    return FailWith(126, nullptr);  // ERROR_MOD_NOT_FOUND
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (auto failed = seams::FailNow<DWORD>("GetModuleFileNameA", ERROR_FILE_NOT_FOUND)) return FailWith(*failed, 0);
    if (module != nullptr && module != kExecutableModule) return FailWith(126, 0);  // ERROR_MOD_NOT_FOUND
    if (buffer == nullptr || size == 0) return FailWith(122, 0);  // ERROR_INSUFFICIENT_BUFFER
    char native[4096];
    ssize_t length = readlink("/proc/self/exe", native, sizeof native - 1);
    if (length <= 0) return FailWith(ERROR_FILE_NOT_FOUND, 0);
    native[length] = '\0';
    std::string path = platform::PathFromNative(native);
    if (path.size() + 1 > size) {
        // Truncated and terminated, as Windows does since Vista.
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(122);  // ERROR_INSUFFICIENT_BUFFER
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

namespace {

struct RegisteredModule {
    std::string name;  // lower case, without ".dll"
    platform::ModuleLookup lookup;
    int loads;
};

std::mutex& ModuleLock() {
    static std::mutex m;
    return m;
}

// Never shrinks, so that a module handle (index + 1, shifted) stays meaningful.
std::vector<RegisteredModule>& Modules() {
    static std::vector<RegisteredModule> modules;
    return modules;
}

std::string ModuleKey(const char* name) {
    std::string key;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') key.clear();  // the last path element only
        else key += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) key.resize(key.size() - 4);
    return key;
}

HMODULE ModuleHandle(size_t index) { return reinterpret_cast<HMODULE>((index + 1) << 16); }

// The registered module behind a handle, or null. Called with the lock held.
RegisteredModule* FindModule(HMODULE module) {
    uintptr_t value = reinterpret_cast<uintptr_t>(module);
    if (value == 0 || (value & 0xFFFF) != 0) return nullptr;
    size_t index = (value >> 16) - 1;
    return index < Modules().size() ? &Modules()[index] : nullptr;
}

}  // namespace

namespace platform {
void RegisterModule(const char* name, ModuleLookup lookup) {
    if (name == nullptr) return;
    std::lock_guard<std::mutex> lock(ModuleLock());
    std::string key = ModuleKey(name);
    for (auto& module : Modules()) {
        if (module.name == key) {
            module.lookup = lookup;
            return;
        }
    }
    Modules().push_back(RegisteredModule{key, lookup, 0});
}

int ModuleLoadCountForTest(const char* name) {
    std::lock_guard<std::mutex> lock(ModuleLock());
    const std::string key = ModuleKey(name);
    for (const auto& module : Modules())
        if (module.name == key) return module.loads;
    return -1;
}
}  // namespace platform

HMODULE LoadLibraryA(LPCSTR name) {
    if (auto failed = seams::FailNow<DWORD>("LoadLibraryA", ERROR_FILE_NOT_FOUND)) return FailWith(*failed, nullptr);
    if (name != nullptr) {
        std::lock_guard<std::mutex> lock(ModuleLock());
        std::string key = ModuleKey(name);
        for (size_t i = 0; i < Modules().size(); ++i) {
            if (Modules()[i].name == key && Modules()[i].lookup != nullptr) {
                ++Modules()[i].loads;
                return ModuleHandle(i);
            }
        }
    }
    return FailWith(ERROR_FILE_NOT_FOUND, nullptr);
}

void* GetProcAddress(HMODULE module, LPCSTR name) {
    platform::ModuleLookup lookup = nullptr;
    {
        std::lock_guard<std::mutex> lock(ModuleLock());
        RegisteredModule* found = FindModule(module);
        if (found != nullptr && found->loads > 0) lookup = found->lookup;
    }
    if (lookup == nullptr)
        return FailWith(module == nullptr ? 127u : static_cast<DWORD>(ERROR_INVALID_HANDLE), nullptr);
    if (auto failed = seams::FailNow<DWORD>("GetProcAddress", 127)) return FailWith(*failed, nullptr);
    void* entry = name != nullptr ? lookup(name) : nullptr;
    if (entry == nullptr) SetLastError(127);  // ERROR_PROC_NOT_FOUND
    return entry;
}

BOOL FreeLibrary(HMODULE module) {
    std::lock_guard<std::mutex> lock(ModuleLock());
    RegisteredModule* found = FindModule(module);
    if (found == nullptr || found->loads == 0) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    --found->loads;
    return TRUE;
}

void OutputDebugStringA(LPCSTR text) {
    if (text == nullptr) return;
    std::string utf8 = platform::ShiftJisToUtf8(text);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

namespace platform {
void SetProcessorCountForTest(int count) { g_processorCountForTest = count; }
}  // namespace platform
