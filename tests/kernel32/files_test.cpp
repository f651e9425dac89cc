// Files, directories, temporary names, directory searches, paths, code pages
// and system facts of the KERNEL32 stand-in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>

#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/winmm/winmm.h"
#include "test_support.h"

namespace {

// "表" in Shift-JIS: its trail byte is 0x5C, the '\' byte.
const std::string kHyou = "\x95\x5C";

void WriteNativeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::set<std::string> FindAll(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.insert(data.cFileName);
    while (FindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    return names;
}

TEST(Paths, ShiftJisTrailByteIsNotASeparator) {
    std::string windows = "data\\" + kHyou + "\\a.png";
    EXPECT_EQ(platform::PathToNative(windows.c_str()), Utf8(u8"data/表/a.png"));
    EXPECT_EQ(platform::PathToNative("a/b\\c"), "a/b/c");
    EXPECT_EQ(platform::PathFromNative(Utf8(u8"/srv/表/x")), "\\srv\\" + kHyou + "\\x");
    // A lead byte right before the end stands alone and is not followed past the NUL.
    EXPECT_EQ(platform::PathToNative("ab\x95").size(), 3u);
}

TEST(CodePages, ShiftJisRoundTrip) {
    std::string sjis = "\x95\x5C\x8E\xA6 ABC \xB1\xB2";  // 表示 ABC ｱｲ
    EXPECT_EQ(platform::ShiftJisToUtf8(sjis.c_str()), Utf8(u8"表示 ABC ｱｲ"));
    EXPECT_EQ(platform::Utf8ToShiftJis(Utf8(u8"表示 ABC ｱｲ").c_str()), sjis);

    int needed = MultiByteToWideChar(932, 0, sjis.c_str(), -1, nullptr, 0);
    ASSERT_EQ(needed, 10);  // nine characters and the NUL
    EXPECT_EQ(MultiByteToWideChar(CP_OEMCP, 0, sjis.c_str(), -1, nullptr, 0), needed) << "the OEM page is 932 too";
    WCHAR wide[16];
    ASSERT_EQ(MultiByteToWideChar(932, 0, sjis.c_str(), -1, wide, 16), needed);
    EXPECT_EQ(std::u16string(wide), u"表示 ABC ｱｲ");
    EXPECT_EQ(MultiByteToWideChar(932, 0, sjis.c_str(), -1, wide, 3), 0);
    EXPECT_EQ(GetLastError(), 122u);

    char back[32];
    BOOL usedDefault = TRUE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide, -1, back, sizeof back, nullptr, &usedDefault);
    ASSERT_EQ(bytes, static_cast<int>(sjis.size()) + 1);
    EXPECT_EQ(std::string(back), sjis);
    EXPECT_FALSE(usedDefault);
}

TEST(CodePages, UnconvertibleCharactersUseTheDefault) {
    const char16_t* wide = u"a\u00E9b";  // é has no Shift-JIS form
    char out[8] = {};
    BOOL usedDefault = FALSE;
    int bytes = WideCharToMultiByte(932, 0, reinterpret_cast<const WCHAR*>(wide), 3, out, sizeof out, "*",
                                    &usedDefault);
    EXPECT_EQ(std::string(out, bytes), "a*b");
    EXPECT_TRUE(usedDefault);
    // A question mark of the text itself stays one; only the unconvertible
    // character takes the default.
    const char16_t* question = u"?\u00E9?";
    bytes = WideCharToMultiByte(932, 0, reinterpret_cast<const WCHAR*>(question), 3, out, sizeof out, "*",
                                &usedDefault);
    EXPECT_EQ(std::string(out, bytes), "?*?");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "x", 1, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A broken double-byte character becomes '?' without swallowing the rest.
    EXPECT_EQ(platform::ShiftJisToUtf8("a\x81"), "a?");
}

// Paths converted from a static destructor at process exit (the game writes
// its saves then): the conversion must not rely on anything already torn down.
struct ConvertsAtExit {
    ~ConvertsAtExit() {
        const std::string expected = reinterpret_cast<const char*>(u8"セーブ/save1");
        std::_Exit(platform::PathToNative("セーブ\\save1") == expected ? 0 : 3);
    }
};

TEST(CodePagesDeathTest, ConversionWorksFromStaticDestructorsAtExit) {
    EXPECT_EXIT(
        {
            platform::ShiftJisToUtf8("warm up");  // conversions made before the exit, on this thread
            static ConvertsAtExit object;
            std::exit(5);
        },
        testing::ExitedWithCode(0), "");
}

TEST(Files, WriteReadSeekAndSize) {
    ScratchDirectory dir;
    std::string path = dir.WindowsPath("file.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "hello world", 11, &done, nullptr));
    EXPECT_EQ(done, 11u);
    EXPECT_EQ(GetFileSize(file, nullptr), 11u);
    EXPECT_EQ(SetFilePointer(file, 6, nullptr, FILE_BEGIN), 6u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, 16, &done, nullptr));
    EXPECT_EQ(done, 5u);
    EXPECT_STREQ(buffer, "world");
    // At the end: success with nothing read.
    ASSERT_TRUE(ReadFile(file, buffer, 4, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(SetFilePointer(file, -3, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(file, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), 131u);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 8u) << "a refused seek keeps the position";
    LONG high = 1;  // 4 GiB + 0 from the start: beyond the file, allowed
    EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_BEGIN), 0u);
    EXPECT_EQ(high, 1);
    EXPECT_TRUE(CloseHandle(file));
}

TEST(Files, CreationModesAndErrors) {
    ScratchDirectory dir;
    std::string path = dir.WindowsPath("x.txt");
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::string missingDir = dir.WindowsPath("nothere\\x.txt");
    EXPECT_EQ(CreateFileA(missingDir.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    char byte;
    DWORD done;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &done, nullptr)) << "opened for writing only";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(file);
    EXPECT_FALSE(ReadFile(file, &byte, 1, &done, nullptr)) << "closed handle";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 80u);  // ERROR_FILE_EXISTS
    file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(file);
    // A directory is not a file.
    EXPECT_EQ(CreateFileA(dir.Windows().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Files, InjectedFailures) {
    ScratchDirectory dir;
    std::string path = dir.WindowsPath("y.txt");
    seams::FailCall("CreateFileA", 1);
    EXPECT_EQ(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    seams::FailCall("WriteFile", -1, 112);
    DWORD done = 7;
    EXPECT_FALSE(WriteFile(file, "abc", 3, &done, nullptr));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(GetLastError(), 112u) << "the test's chosen error";
    seams::ClearAllCalls();
    EXPECT_TRUE(WriteFile(file, "abc", 3, &done, nullptr));
    CloseHandle(file);
}

TEST(Directories, CreateChangeAndReport) {
    ScratchDirectory dir;
    std::string sub = dir.WindowsPath(kHyou);
    ASSERT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Native() + Utf8(u8"/表")));
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    char saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(sub.c_str()));
    char now[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(MAX_PATH, now);
    EXPECT_EQ(std::string(now), sub);
    EXPECT_EQ(length, sub.size());
    EXPECT_EQ(GetCurrentDirectoryA(3, now), sub.size() + 1) << "too small: the size needed";
    EXPECT_EQ(GetCurrentDirectoryA(DWORD(sub.size()), now), sub.size() + 1) << "no room for the NUL";
    ASSERT_TRUE(SetCurrentDirectoryA(saved));
    EXPECT_FALSE(SetCurrentDirectoryA(dir.WindowsPath("none").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(TempFiles, NamesAreUniqueAndCreated) {
    ScratchDirectory dir;
    char first[MAX_PATH], second[MAX_PATH];
    UINT a = GetTempFileNameA(dir.Windows().c_str(), "abcdef", 0, first);
    UINT b = GetTempFileNameA(dir.Windows().c_str(), "abcdef", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(std::string(first), std::string(second));
    char expected[64];
    std::snprintf(expected, sizeof expected, "\\abc%X.tmp", a);
    EXPECT_EQ(std::string(first), dir.Windows() + expected);
    EXPECT_TRUE(std::filesystem::exists(platform::PathToNative(first)));
    EXPECT_EQ(std::filesystem::file_size(platform::PathToNative(first)), 0u);

    // A given number: the name only, nothing created.
    char named[MAX_PATH];
    EXPECT_EQ(GetTempFileNameA(dir.Windows().c_str(), "pre", 0x1A2B, named), 0x1A2Bu);
    EXPECT_EQ(std::string(named), dir.Windows() + "\\pre1A2B.tmp");
    EXPECT_FALSE(std::filesystem::exists(platform::PathToNative(named)));

    // A prefix is cut after three characters, never inside a double-byte one.
    std::string prefix = "ab" + kHyou + "z";
    EXPECT_NE(GetTempFileNameA(dir.Windows().c_str(), prefix.c_str(), 7, named), 0u);
    EXPECT_EQ(std::string(named), dir.Windows() + "\\ab" + kHyou + "7.tmp");

    EXPECT_EQ(GetTempFileNameA(dir.WindowsPath("missing").c_str(), "tmp", 0, named), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    char tempPath[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, tempPath);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(tempPath[length - 1], '\\');
}

TEST(Find, WildcardsCaseAndDoubleByteNames) {
    ScratchDirectory dir;
    for (const char* name : {"a.txt", "b.txt", "ab.dat", "c", "B2.TXT"}) WriteNativeFile(dir.Native() + "/" + name, "x");
    WriteNativeFile(dir.Native() + Utf8(u8"/表.txt"), "xyz");
    std::filesystem::create_directory(dir.Native() + "/sub");

    std::string base = dir.Windows() + "\\";
    EXPECT_EQ(FindAll(base + "*.txt"), (std::set<std::string>{"a.txt", "b.txt", "B2.TXT", kHyou + ".txt"}));
    EXPECT_EQ(FindAll(base + "?.txt"), (std::set<std::string>{"a.txt", "b.txt", kHyou + ".txt"}))
        << "'?' takes a double-byte character whole";
    EXPECT_EQ(FindAll(base + "A*"), (std::set<std::string>{"a.txt", "ab.dat"}));
    EXPECT_EQ(FindAll(base + "*.*").count("c"), 1u) << "*.* matches names without a dot";
    EXPECT_EQ(FindAll(base + "b*.t?t"), (std::set<std::string>{"b.txt", "B2.TXT"}));

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + kHyou + ".txt").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeLow, 3u);
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(find);
    find = FindFirstFileA((base + "sub").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_NE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    FindClose(find);

    EXPECT_EQ(FindFirstFileA((base + "*.none").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(FindFirstFileA((base + "gone\\*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x4444), &data));
    EXPECT_FALSE(FindClose(reinterpret_cast<HANDLE>(0x4444)));
}

TEST(System, ModulePathVersionAndProcessors) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    std::string text(path, length);
    EXPECT_EQ(text.find('/'), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind('\\') + 1), "test_kernel32");
    char small[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof small), 5u);
    EXPECT_EQ(small[4], '\0');
    EXPECT_EQ(GetLastError(), 122u);

    OSVERSIONINFOA version{};
    EXPECT_FALSE(GetVersionExA(&version)) << "the size field must be filled in";
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwMajorVersion, 6u);
    EXPECT_EQ(version.dwMinorVersion, 1u);
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));

    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, static_cast<DWORD>(sysconf(_SC_NPROCESSORS_ONLN)));
    platform::SetProcessorCountForTest(1);
    GetSystemInfo(&info);
    EXPECT_EQ(info.dwNumberOfProcessors, 1u);
    platform::SetProcessorCountForTest(0);
}

int EnumerateStandIn() { return 5; }

void* StandInEntries(const char* name) {
    return std::strcmp(name, "DirectSoundEnumerateA") == 0 ? reinterpret_cast<void*>(&EnumerateStandIn) : nullptr;
}

TEST(System, OnlyRegisteredModulesLoad) {
    EXPECT_EQ(LoadLibraryA("kernelbase.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    platform::RegisterModule("TESTSND.DLL", StandInEntries);
    HMODULE module = LoadLibraryA("testsnd");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadLibraryA("C:\\Windows\\system32\\TestSnd.dll"), module);
    auto entry = reinterpret_cast<int (*)()>(GetProcAddress(module, "DirectSoundEnumerateA"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(), 5);
    EXPECT_EQ(GetProcAddress(module, "Missing"), nullptr);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module)) << "loaded twice, freed twice";
    EXPECT_EQ(GetProcAddress(module, "DirectSoundEnumerateA"), nullptr);
    seams::FailCall("LoadLibraryA", 1);
    EXPECT_EQ(LoadLibraryA("testsnd.dll"), nullptr);
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(0x1234)));
}

TEST(Time, CountersAndWrappingMilliseconds) {
    LARGE_INTEGER frequency, first, second;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency.QuadPart, 0);
    ASSERT_TRUE(QueryPerformanceCounter(&first));
    ASSERT_TRUE(QueryPerformanceCounter(&second));
    EXPECT_GE(second.QuadPart, first.QuadPart);
    seams::FailCall("QueryPerformanceCounter", 1);
    EXPECT_FALSE(QueryPerformanceCounter(&first));

    // Shift the clock so that it wraps past 2^32 now.
    DWORD before = timeGetTime();
    platform::SetTimeOffsetForTest(int64_t{0x100000000} - before);
    DWORD after = timeGetTime();
    platform::SetTimeOffsetForTest(0);
    EXPECT_LT(after, 60000u);
    EXPECT_EQ(timeBeginPeriod(0), static_cast<MMRESULT>(TIMERR_NOCANDO));
    EXPECT_EQ(timeBeginPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
    EXPECT_EQ(timeEndPeriod(1), static_cast<MMRESULT>(TIMERR_NOERROR));
}

}  // namespace
