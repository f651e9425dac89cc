// KERNEL32 stand-in: threads, events, critical sections, waits, time,
// files, paths and code pages, over POSIX and the C++ library.
// Every call keeps the documented name, arguments, results and flags.
#pragma once

#include "platform/wintypes.h"

#include <string>

// ---- errors -------------------------------------------------------------
#define ERROR_SUCCESS 0
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_PATH_NOT_FOUND 3
#define ERROR_ACCESS_DENIED 5
#define ERROR_INVALID_HANDLE 6
#define ERROR_NOT_ENOUGH_MEMORY 8
#define ERROR_NO_MORE_FILES 18
#define ERROR_INVALID_PARAMETER 87
#define ERROR_ALREADY_EXISTS 183
DWORD GetLastError();
void SetLastError(DWORD code);
namespace platform {
// Sets the last error and hands back the call's failure value, so that a
// refusal is one line: `return FailWith(ERROR_INVALID_PARAMETER, FALSE);`.
template <typename Result>
Result FailWith(DWORD error, Result failure) {
    SetLastError(error);
    return failure;
}
}  // namespace platform

// ---- handles --------------------------------------------------------------
BOOL CloseHandle(HANDLE handle);

// ---- threads --------------------------------------------------------------
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);
#define CREATE_SUSPENDED 0x00000004
HANDLE CreateThread(void* security, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId);
DWORD ResumeThread(HANDLE thread);
// Ends the calling thread with the exit code (on a thread of CreateThread, the
// stack is unwound back to the thread's start as if its routine had returned).
[[noreturn]] void ExitThread(DWORD exitCode);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
#define STILL_ACTIVE 259
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
BOOL SetThreadPriority(HANDLE thread, int priority);  // recorded; never needs privileges
int GetThreadPriority(HANDLE thread);
DWORD GetCurrentThreadId();
HANDLE GetCurrentThread();
void Sleep(DWORD milliseconds);  // returns at once under seams::NoWait()

// ---- events and waits -----------------------------------------------------
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
// Waits for an event (signalled) or a thread (ended).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// ---- critical sections (recursive for their owner) ------------------------
struct CRITICAL_SECTION {
    void* impl;  // owned by the stand-in
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

// ---- interlocked ----------------------------------------------------------
LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
LONG InterlockedExchange(volatile LONG* target, LONG value);

// ---- time -----------------------------------------------------------------
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
DWORD GetTickCount();

// ---- system ---------------------------------------------------------------
struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    LPVOID lpMinimumApplicationAddress;
    LPVOID lpMaximumApplicationAddress;
    DWORD_PTR dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
void GetSystemInfo(SYSTEM_INFO* info);
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};
#define VER_PLATFORM_WIN32_NT 2
BOOL GetVersionExA(OSVERSIONINFOA* info);  // reports Windows 7 (6.1)
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    size_t dwTotalPhys;
    size_t dwAvailPhys;
    size_t dwTotalPageFile;
    size_t dwAvailPageFile;
    size_t dwTotalVirtual;
    size_t dwAvailVirtual;
};
void GlobalMemoryStatus(MEMORYSTATUS* status);
UINT GetOEMCP();  // 932
UINT GetACP();    // 932

// ---- modules --------------------------------------------------------------
HMODULE GetModuleHandleA(LPCSTR name);
// The executable's full path, Shift-JIS, with '\' separators as Windows gives it.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
// No system libraries exist here: only modules that a stand-in registered
// (platform::RegisterModule) load; any other name gives null, ERROR_FILE_NOT_FOUND.
HMODULE LoadLibraryA(LPCSTR name);
void* GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// ---- the process heap -----------------------------------------------------
// One heap, over the C library's allocator. HeapAlloc gives null (last error
// ERROR_NOT_ENOUGH_MEMORY) for a heap other than GetProcessHeap()'s or when
// the memory cannot be had; HeapFree refuses (FALSE, ERROR_INVALID_PARAMETER)
// another heap, and takes a null block as done.
#define HEAP_ZERO_MEMORY 0x00000008
HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, size_t bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);

// ---- paths and directories ------------------------------------------------
// Paths cross this interface in Shift-JIS with '\' or '/' separators; the
// stand-in converts them (PathToNative) before it calls the system.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
BOOL CreateDirectoryA(LPCSTR path, void* security);
BOOL DeleteFileA(LPCSTR path);
// The UTF-16 path as Shift-JIS (the system's code page), then DeleteFileA.
BOOL DeleteFileW(const WCHAR* path);
DWORD GetTempPathA(DWORD size, LPSTR buffer);
// Makes "<path>\<prefix><hex>.tmp" and, when unique is 0, creates it empty;
// returns the number used, 0 on failure.
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR tempFileName);

// ---- files ----------------------------------------------------------------
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, void* security, DWORD creation, DWORD flags,
                   HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, void* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL FlushFileBuffers(HANDLE file);

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
// Patterns: '*' and '?' in the last path element.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA* data);
BOOL FindClose(HANDLE find);

// ---- strings ----------------------------------------------------------------
// Bytes before the terminating zero (a double-byte character counts 2); 0 for
// a null string.
int lstrlenA(LPCSTR text);

// ---- debugger output ------------------------------------------------------
void OutputDebugStringA(LPCSTR text);  // to stderr as UTF-8

// ---- code pages -----------------------------------------------------------
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, WCHAR* wide, int wideChars);
int WideCharToMultiByte(UINT codePage, DWORD flags, const WCHAR* wide, int wideChars, LPSTR text, int bytes,
                        LPCSTR defaultChar, BOOL* usedDefault);

namespace platform {
// Shift-JIS (code page 932) to UTF-8 and back; unconvertible bytes become '?'.
std::string ShiftJisToUtf8(const char* text);
std::string ShiftJisToUtf8(const char* text, size_t bytes);
std::string Utf8ToShiftJis(const char* text);
// A Windows-style path in Shift-JIS ('\' or '/' separators, the '\' byte of a
// double-byte character left alone) as a native UTF-8 path with '/'.
std::string PathToNative(const char* path);
// A native UTF-8 path as Shift-JIS with '\' separators.
std::string PathFromNative(const std::string& path);
// Tests only: GetSystemInfo reports this many logical processors (0: the
// machine's own count).
void SetProcessorCountForTest(int count);
// Makes a module of a stand-in loadable by name (compared without case, with
// or without ".dll"); GetProcAddress asks lookup for its entries (null: none).
// Registering a name again replaces its lookup.
using ModuleLookup = void* (*)(const char* procName);
void RegisterModule(const char* name, ModuleLookup lookup);
// Tests only: how many loads of a registered module are not yet freed (-1
// for a name never registered).
int ModuleLoadCountForTest(const char* name);
}  // namespace platform
