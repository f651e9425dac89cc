// File access: the plain-file back end (with read-ahead), the access calls,
// the replaceable table, directory searches, file and memory streams and the
// temporary file.
#include <gtest/gtest.h>
#include "../temp_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "core/memory.h"
#include "file/file.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        native_ = test_temp::MakeFolder("filetest");
        ASSERT_FALSE(native_.empty());
        blocks_ = AllocatedBlockCount();
    }
    void TearDown() override {
        seams::ClearAllCalls();
        SetFileFunctionTable(nullptr);
        EXPECT_EQ(AllocatedBlockCount(), blocks_) << "every record was freed";
        fs::remove_all(native_);
    }
    // Writes a file and returns its path as the library sees it ('\' separators).
    std::string Make(const std::string& name, const std::string& bytes) {
        std::ofstream(native_ + "/" + name, std::ios::binary) << bytes;
        return Path(name);
    }
    std::string Path(const std::string& name) { return platform::PathFromNative(native_) + "\\" + name; }

    std::string native_;
    uint32_t blocks_ = 0;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

TEST_F(Files, ReadTellSeekAndEndOfFile) {
    std::string path = Make("ten.bin", "0123456789");
    DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
    ASSERT_NE(file, 0u);
    char buffer[16] = {};
    EXPECT_EQ(ReadAccessFile(buffer, 1, 4, file), 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(TellAccessFile(file), 4);
    EXPECT_EQ(EofAccessFile(file), 0);
    // Reading exactly to the end does not set end-of-file; reading past it does.
    EXPECT_EQ(ReadAccessFile(buffer, 2, 3, file), 3u);
    EXPECT_EQ(EofAccessFile(file), 0);
    EXPECT_EQ(ReadAccessFile(buffer, 1, 1, file), 0u);
    EXPECT_NE(EofAccessFile(file), 0);

    EXPECT_EQ(SeekAccessFile(file, -3, 2), 0);
    EXPECT_EQ(EofAccessFile(file), 0) << "a seek clears end-of-file";
    EXPECT_EQ(TellAccessFile(file), 7);
    EXPECT_EQ(SeekAccessFile(file, 1, 1), 0);
    EXPECT_EQ(TellAccessFile(file), 8);
    EXPECT_EQ(SeekAccessFile(file, -9, 1), -1) << "before the start";
    EXPECT_EQ(SeekAccessFile(file, 0, 7), -1) << "unknown origin";
    EXPECT_EQ(TellAccessFile(file), 8);
    EXPECT_EQ(SeekAccessFile(file, 20, 0), 0) << "beyond the end, as fseek allows";
    EXPECT_EQ(ReadAccessFile(buffer, 1, 1, file), 0u);
    EXPECT_NE(EofAccessFile(file), 0);
    EXPECT_EQ(CloseAccessFile(file), 0);
}

TEST_F(Files, PartialElementsAtTheEnd) {
    std::string path = Make("ten.bin", "0123456789");
    DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
    ASSERT_NE(file, 0u);
    uint32_t words[3] = {};
    EXPECT_EQ(ReadAccessFile(words, 4, 3, file), 2u) << "two whole elements are there";
    EXPECT_NE(EofAccessFile(file), 0);
    EXPECT_EQ(std::memcmp(words, "01234567", 8), 0);
    EXPECT_EQ(ReadAccessFile(words, 0, 3, file), 0u);
    EXPECT_EQ(ReadAccessFile(words, SIZE_MAX, 2, file), 0u) << "a byte count that overflows is refused";
    CloseAccessFile(file);
}

TEST_F(Files, ReadsFromTheLargestOffsetsFindTheEnd) {
    // A seek may place the position up to the largest 64-bit offset; the
    // read-ahead path once added the byte count to it and overflowed.
    std::string path = Make("ten.bin", "0123456789");
    for (int32_t cache : {0, 1}) {
        DWORD_PTR file = OpenAccessFile(path.c_str(), cache, 1, 0);
        ASSERT_NE(file, 0u);
        char buffer[16] = {};
        for (int64_t offset : {INT64_MAX, INT64_MAX - 4, int64_t{1} << 62, int64_t{10}}) {
            ASSERT_EQ(SeekAccessFile(file, offset, 0), 0) << offset;
            EXPECT_EQ(ReadAccessFile(buffer, 1, sizeof buffer, file), 0u) << offset;
            EXPECT_NE(EofAccessFile(file), 0) << offset;
            EXPECT_EQ(TellAccessFile(file), offset) << "nothing read, the position stays";
        }
        EXPECT_EQ(SeekAccessFile(file, INT64_MAX, 0), 0);
        EXPECT_EQ(SeekAccessFile(file, 1, 1), -1) << "past the largest offset";
        // And back: the whole file is still there.
        ASSERT_EQ(SeekAccessFile(file, 6, 0), 0);
        EXPECT_EQ(ReadAccessFile(buffer, 1, sizeof buffer, file), 4u);
        EXPECT_EQ(std::string(buffer, 4), "6789");
        CloseAccessFile(file);
    }
}

TEST_F(Files, MissingAndBadHandles) {
    EXPECT_EQ(OpenAccessFile(Path("none.bin").c_str(), 0, 1, 0), 0u);
    EXPECT_EQ(OpenAccessFile(platform::PathFromNative(native_).c_str(), 0, 1, 0), 0u) << "a directory";
    EXPECT_EQ(OpenAccessFile("", 0, 1, 0), 0u);
    EXPECT_EQ(OpenAccessFile(nullptr, 0, 1, 0), 0u);

    std::string path = Make("one.bin", "1");
    DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
    ASSERT_NE(file, 0u);
    ASSERT_EQ(CloseAccessFile(file), 0);
    char byte;
    for (DWORD_PTR bad : {DWORD_PTR{0}, file, file + 1, DWORD_PTR{0x12345678}, DWORD_PTR{0xF0000003}}) {
        EXPECT_EQ(CloseAccessFile(bad), -1);
        EXPECT_EQ(ReadAccessFile(&byte, 1, 1, bad), 0u);
        EXPECT_EQ(TellAccessFile(bad), -1);
        EXPECT_EQ(SeekAccessFile(bad, 0, 0), -1);
        EXPECT_NE(EofAccessFile(bad), 0);
    }
    seams::FailCall("CreateFileA");  // the archive beside each folder, then the file
    EXPECT_EQ(OpenAccessFile(path.c_str(), 0, 1, 0), 0u);
}

TEST_F(Files, ShiftJisDirectoryWithBackslashTrailByte) {
    fs::create_directory(native_ + reinterpret_cast<const char*>(u8"/表"));
    std::ofstream(native_ + reinterpret_cast<const char*>(u8"/表/a.txt")) << "ok";
    std::string path = Path("\x95\x5C\\a.txt");
    DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
    ASSERT_NE(file, 0u);
    char text[2];
    EXPECT_EQ(ReadAccessFile(text, 1, 2, file), 2u);
    CloseAccessFile(file);
}

TEST_F(Files, ReadAheadServesTheWholeFile) {
    std::string bytes = Pattern(700 * 1024 + 13);
    std::string path = Make("big.bin", bytes);
    DWORD_PTR file = OpenAccessFile(path.c_str(), 1, 0, 0);
    ASSERT_NE(file, 0u);
    // Read in odd pieces while the reader may still be working.
    std::string read;
    std::vector<char> piece(10007);
    size_t got;
    while ((got = ReadAccessFile(piece.data(), 1, piece.size(), file)) > 0) read.append(piece.data(), got);
    EXPECT_TRUE(read == bytes);
    EXPECT_NE(EofAccessFile(file), 0);
    EXPECT_EQ(IdleCheckAccessFile(file), 1) << "everything was read, so the reader is done";
    EXPECT_EQ(SeekAccessFile(file, 1000, 0), 0);
    char some[5];
    ASSERT_EQ(ReadAccessFile(some, 1, 5, file), 5u);
    EXPECT_EQ(std::string(some, 5), bytes.substr(1000, 5));
    EXPECT_EQ(SeekAccessFile(file, -4, 2), 0);
    EXPECT_EQ(ReadAccessFile(some, 2, 3, file), 2u);
    EXPECT_EQ(std::string(some, 4), bytes.substr(bytes.size() - 4));
    EXPECT_EQ(CloseAccessFile(file), 0);
}

TEST_F(Files, BlockingReadAheadAndEarlyClose) {
    std::string bytes = Pattern(2 * 1024 * 1024);
    std::string path = Make("big.bin", bytes);
    DWORD_PTR blocking = OpenAccessFile(path.c_str(), 1, 1, 0);
    ASSERT_NE(blocking, 0u);
    EXPECT_EQ(IdleCheckAccessFile(blocking), 1) << "the open waited for the whole file";
    EXPECT_EQ(CloseAccessFile(blocking), 0);
    // Closed at once: the reader is stopped and waited for, nothing leaks.
    for (int i = 0; i < 5; ++i) {
        DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 0, 1);
        ASSERT_NE(file, 0u);
        EXPECT_EQ(CloseAccessFile(file), 0);
    }
}

TEST_F(Files, ReadAheadWithoutAThreadStillReads) {
    std::string path = Make("small.bin", "abcdef");
    seams::FailCall("CreateThread", 1);
    DWORD_PTR file = OpenAccessFile(path.c_str(), 1, 0, 0);
    ASSERT_NE(file, 0u);
    EXPECT_EQ(IdleCheckAccessFile(file), 1);
    char text[6];
    EXPECT_EQ(ReadAccessFile(text, 1, 6, file), 6u);
    EXPECT_EQ(std::string(text, 6), "abcdef");
    CloseAccessFile(file);
}

DWORD_PTR g_lastOpened;
DWORD_PTR CountingOpen(const char* path, int32_t a, int32_t b, int32_t c) {
    g_lastOpened = GetPlainFileFunctionTable()->Open(path, a, b, c);
    return g_lastOpened;
}

TEST_F(Files, ReplaceableTable) {
    std::string path = Make("t.bin", "x");
    FileFunctionTable table = *GetPlainFileFunctionTable();
    table.Open = CountingOpen;
    SetFileFunctionTable(&table);
    g_lastOpened = 0;
    DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
    EXPECT_NE(file, 0u);
    EXPECT_EQ(g_lastOpened, file);
    CloseAccessFile(file);
    SetFileFunctionTable(nullptr);
    EXPECT_EQ(GetFileFunctionTable()->Open, GetPlainFileFunctionTable()->Open);
}

TEST_F(Files, FindAndDirectories) {
    Make("a.wav", "1");
    Make("b.wav", "22");
    Make("c.png", "333");
    fs::create_directory(native_ + "/sub.wav");
    FileInfo info;
    DWORD_PTR find = FindFirstAccessFile(Path("*.wav").c_str(), &info);
    ASSERT_NE(find, 0u);
    std::set<std::string> names;
    int64_t sizes = 0;
    int directories = 0;
    do {
        names.insert(info.name);
        sizes += info.size;
        directories += info.isDirectory;
    } while (FindNextAccessFile(find, &info) == 0);
    EXPECT_EQ(names, (std::set<std::string>{"a.wav", "b.wav", "sub.wav"}));
    EXPECT_EQ(sizes, 3);
    EXPECT_EQ(directories, 1);
    EXPECT_EQ(FindCloseAccessFile(find), 0);
    EXPECT_EQ(FindCloseAccessFile(find), -1);
    EXPECT_EQ(FindNextAccessFile(find, &info), -1);
    EXPECT_EQ(FindFirstAccessFile(Path("*.ogg").c_str(), &info), 0u);
    // "." and ".." are not listed.
    find = FindFirstAccessFile(Path("*").c_str(), &info);
    ASSERT_NE(find, 0u);
    do EXPECT_NE(info.name[0], '.');
    while (FindNextAccessFile(find, &info) == 0);
    FindCloseAccessFile(find);

    char saved[MAX_PATH], now[MAX_PATH];
    const FileFunctionTable* table = GetFileFunctionTable();
    ASSERT_EQ(table->GetDir(saved), 0);
    ASSERT_EQ(table->ChDir(Path("sub.wav").c_str()), 0);
    ASSERT_EQ(table->GetDir(now), 0);
    EXPECT_EQ(std::string(now), Path("sub.wav"));
    EXPECT_EQ(table->ChDir(Path("missing").c_str()), -1);
    ASSERT_EQ(table->ChDir(saved), 0);
}

TEST_F(Files, FileStreamOverAccessFile) {
    std::string path = Make("s.bin", "abcdefgh");
    DataStream stream{*GetFileStreamFunctions(), OpenAccessFile(path.c_str(), 0, 1, 0)};
    ASSERT_NE(stream.handle, 0u);
    char text[8];
    EXPECT_EQ(stream.functions.Seek(stream.handle, 0, 2), 0);
    EXPECT_EQ(stream.functions.Tell(stream.handle), 8);
    EXPECT_EQ(stream.functions.Seek(stream.handle, 2, 0), 0);
    EXPECT_EQ(stream.functions.Read(text, 3, 3, stream.handle), 2u);
    EXPECT_EQ(std::string(text, 6), "cdefgh");
    EXPECT_NE(stream.functions.Eof(stream.handle), 0);
    EXPECT_NE(stream.functions.IdleCheck(stream.handle), 0);
    EXPECT_EQ(stream.functions.Close(stream.handle), 0);
    EXPECT_EQ(stream.functions.Tell(stream.handle), -1);
}

TEST_F(Files, MemoryStreamRules) {
    const char data[] = "0123456789";
    const StreamFunctionTable* m = GetMemoryStreamFunctions();
    DWORD_PTR stream = OpenMemStream(data, 10);
    ASSERT_NE(stream, 0u);
    char out[16] = {};
    EXPECT_EQ(m->Read(out, 1, 4, stream), 4u);
    EXPECT_EQ(m->Tell(stream), 4);
    EXPECT_EQ(m->Eof(stream), 0);
    EXPECT_EQ(m->Read(out, 1, 9, stream), 6u) << "a short read that copies clears the flag";
    EXPECT_EQ(m->Eof(stream), 0);
    EXPECT_EQ(m->Read(out, 1, 1, stream), 0u) << "at the end";
    EXPECT_NE(m->Eof(stream), 0);
    // Seeks clamp into 0..size and clear the flag.
    EXPECT_EQ(m->Seek(stream, -100, 1), 0);
    EXPECT_EQ(m->Tell(stream), 0);
    EXPECT_EQ(m->Seek(stream, 100, 0), 0);
    EXPECT_EQ(m->Tell(stream), 10);
    EXPECT_EQ(m->Eof(stream), 0);
    EXPECT_EQ(m->Seek(stream, -3, 2), 0);
    EXPECT_EQ(m->Tell(stream), 7);
    EXPECT_EQ(m->Seek(stream, 0, 9), -1);
    EXPECT_NE(m->IdleCheck(stream), 0);
    EXPECT_EQ(CloseMemStream(stream), 0);
    EXPECT_EQ(CloseMemStream(stream), -1);
    EXPECT_EQ(m->Read(out, 1, 1, stream), 0u);
    EXPECT_EQ(m->Tell(stream), -1);
    EXPECT_NE(m->Eof(stream), 0);

    DWORD_PTR empty = OpenMemStream(nullptr, 0);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(m->Read(out, 1, 1, empty), 0u);
    EXPECT_NE(m->Eof(empty), 0);
    m->Close(empty);
    seams::FailCall("AllocMemory", 1);
    EXPECT_EQ(OpenMemStream(data, 10), 0u);
    EXPECT_EQ(OpenMemStream(nullptr, 5), 0u);
}

// The file stream and the memory stream over the same bytes give the same
// counts, bytes and positions; their end flags follow their own rules (the
// file's is set by any read that meets the end, the memory stream's only by
// one that starts there).
TEST_F(Files, FileAndMemoryStreamsReadAlike) {
    const std::string data = "0123456789";
    const std::string path = Make("ten.bin", data);
    struct Step {
        int32_t seekTo;  // -1: no seek before the read
        size_t elementSize;
        size_t count;
        size_t got;
        int32_t tell;
        bool fileEof;
        bool memoryEof;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"whole elements, then a partial one", {{4, 4, 2, 1, 10, true, false}, {-1, 1, 1, 0, 10, true, true}}},
        {"only a partial element left", {{8, 4, 1, 0, 10, true, false}, {-1, 4, 1, 0, 10, true, true}}},
        {"fewer whole elements than asked", {{0, 3, 5, 3, 10, true, false}}},
        {"exactly to the end", {{6, 2, 2, 2, 10, false, false}}},
        {"at the end", {{10, 4, 1, 0, 10, true, true}}},
        {"a partial read, a seek back, a whole read", {{7, 2, 2, 1, 10, true, false}, {5, 5, 1, 1, 10, false, false}}},
    };
    const StreamFunctionTable* f = GetFileStreamFunctions();
    const StreamFunctionTable* m = GetMemoryStreamFunctions();
    for (int32_t cache : {0, 1}) {
        for (const Case& c : cases) {
            DWORD_PTR file = OpenAccessFile(path.c_str(), cache, 1, 0);
            DWORD_PTR memory = OpenMemStream(data.data(), data.size());
            ASSERT_NE(file, 0u);
            ASSERT_NE(memory, 0u);
            for (const Step& s : c.steps) {
                if (s.seekTo >= 0) {
                    ASSERT_EQ(f->Seek(file, s.seekTo, 0), 0) << c.what;
                    ASSERT_EQ(m->Seek(memory, s.seekTo, 0), 0) << c.what;
                }
                const int32_t start = f->Tell(file);
                std::string fromFile(16, 'x'), fromMemory(16, 'x');
                EXPECT_EQ(f->Read(fromFile.data(), s.elementSize, s.count, file), s.got) << c.what;
                EXPECT_EQ(m->Read(fromMemory.data(), s.elementSize, s.count, memory), s.got) << c.what;
                EXPECT_EQ(f->Tell(file), s.tell) << c.what;
                EXPECT_EQ(m->Tell(memory), s.tell) << c.what;
                EXPECT_EQ(fromMemory, fromFile) << c.what;
                EXPECT_EQ(fromFile.substr(0, s.tell - start), data.substr(start, s.tell - start)) << c.what;
                EXPECT_EQ(f->Eof(file) != 0, s.fileEof) << c.what;
                EXPECT_EQ(m->Eof(memory) != 0, s.memoryEof) << c.what;
            }
            f->Close(file);
            CloseMemStream(memory);
        }
    }
}

TEST_F(Files, TemporaryFile) {
    std::string saved = getenv("TMPDIR") ? getenv("TMPDIR") : "";
    setenv("TMPDIR", native_.c_str(), 1);
    char path[MAX_PATH];
    HANDLE file = CreateTemporaryFile(path);
    ASSERT_NE(file, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::string name(path);
    std::string prefix = platform::PathFromNative(native_) + "\\tmp";
    EXPECT_EQ(name.compare(0, prefix.size(), prefix), 0) << name;
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, "data", 4, &written, nullptr));
    CloseHandle(file);
    EXPECT_EQ(fs::file_size(platform::PathToNative(path)), 4u);

    seams::FailCall("GetTempFileNameA", 1);
    EXPECT_EQ(CreateTemporaryFile(path), nullptr);
    seams::FailCall("CreateFileA", 1);
    EXPECT_EQ(CreateTemporaryFile(path), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::exists(platform::PathToNative(path))) << "no empty file is left behind";
    EXPECT_EQ(std::distance(fs::directory_iterator(native_), fs::directory_iterator()), 1);
    if (saved.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", saved.c_str(), 1);
}

}  // namespace
