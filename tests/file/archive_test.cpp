// Archives and packed data: round trips through the packer and the reader,
// keys, damaged archives and streams refused with a log line (and the bytes
// left as they were), members and searches through the access calls.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive_test_util.h"
#include "archive_writer.h"
#include "core/log.h"
#include "core/memory.h"
#include "file/archive.h"
#include "file/archive_format.h"
#include "file/file.h"
#include "platform/kernel32/kernel32.h"

namespace {

namespace fs = std::filesystem;
using namespace archive_test;

Bytes Noise(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

Bytes Phrases(size_t size) {  // text-like: words repeated at varying distances
    const char* words[] = {"stone ", "flower ", "bloom ", "red ", "blue ", "yellow ", "gray "};
    std::mt19937 random(7);
    std::string text;
    while (text.size() < size) text += words[random() % 7];
    text.resize(size);
    return Text(text);
}

const std::vector<ArchiveInput> kInputs = {
    {"a.txt", Text("hello archive")},
    {"Sub\\b.bin", Phrases(5000)},  // packs well
    {"sub/deep/c.dat", Noise(3000, 1)},  // does not pack: stored
    {"empty", {}},
};

Bytes Build(const std::vector<ArchiveInput>& inputs = kInputs, const char* key = nullptr, bool pack = true) {
    Bytes archive;
    std::string error;
    ArchiveOptions options;
    options.key = key;
    options.pack = pack;
    EXPECT_TRUE(BuildArchive(inputs, options, &archive, &error)) << error;
    return archive;
}

// The image with its tables descrambled, edited and scrambled back under a
// fresh checksum: tables that pass the checksum but not the bounds.
Bytes EditTables(Bytes image, const std::function<void(uint8_t* tables, const ArchiveHeader&)>& edit) {
    const uint64_t seed = ArchiveKeySeed(nullptr);
    ScrambleArchiveBytes(image.data() + kArchiveHeaderOffset, image.size() - kArchiveHeaderOffset, seed,
                         kArchiveHeaderOffset);  // the data area is scrambled too, and back below
    ArchiveHeader h = ReadArchiveHeader(image.data() + kArchiveHeaderOffset);
    uint8_t* tables = image.data() + kArchiveTablesOffset;
    const size_t size = h.fileCount * kArchiveFileEntrySize + h.dirCount * kArchiveDirEntrySize + h.nameTableSize;
    edit(tables, h);
    h.tablesCheck = ArchiveChecksum(tables, size);
    WriteArchiveHeader(h, image.data() + kArchiveHeaderOffset);
    WriteLE32(image.data() + kArchiveHeaderOffset + 36, ArchiveChecksum(image.data() + kArchiveHeaderOffset, 36));
    ScrambleArchiveBytes(image.data() + kArchiveHeaderOffset, image.size() - kArchiveHeaderOffset, seed,
                         kArchiveHeaderOffset);
    return image;
}

// The file entry of index i inside descrambled tables.
ArchiveFileEntry Entry(const uint8_t* tables, uint32_t i) { return ReadArchiveFileEntry(tables + i * 20); }
void SetEntry(uint8_t* tables, uint32_t i, const ArchiveFileEntry& e) { WriteArchiveFileEntry(e, tables + i * 20); }
uint8_t* DirAt(uint8_t* tables, const ArchiveHeader& h, uint32_t d) { return tables + h.fileCount * 20 + d * 16; }

class Archives : public ArchiveSuite {
protected:
    void SetUp() override {
        ArchiveSuite::SetUp();
        // Inside the program's folder: archives of absolute paths are looked for only there.
        std::string pattern = suiteFolder_ + "/files-XXXXXX";
        native_ = fs::canonical(mkdtemp(pattern.data())).string();
        blocks_ = AllocatedBlockCount();
    }
    void TearDown() override {
        EXPECT_EQ(AllocatedBlockCount(), blocks_) << "every record was freed";
        fs::remove_all(native_);
    }
    // A path inside the test's folder as the library sees it ('\' separators).
    std::string Path(const std::string& name) const { return platform::PathFromNative(native_) + "\\" + name; }
    void Write(const std::string& name, const Bytes& bytes) const { WriteBytes(native_ + "/" + name, bytes); }
    // The whole file as the access calls read it; "(none)" when it does not open.
    static std::string ReadAll(const std::string& path) {
        const DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
        if (file == 0) return "(none)";
        std::string bytes(1 << 20, '\0');
        bytes.resize(ReadAccessFile(bytes.data(), 1, bytes.size(), file));
        CloseAccessFile(file);
        return bytes;
    }

    std::string native_;
    uint32_t blocks_ = 0;
};

// ---- packed data -------------------------------------------------------------------------

TEST_F(Archives, PackedDataRoundTrips) {
    Bytes everyValue(256 * 40);
    for (size_t i = 0; i < everyValue.size(); ++i) everyValue[i] = static_cast<uint8_t>(i * 97);
    const struct Case {
        const char* what;
        Bytes data;
        double mostOfSize;  // packed size at most this share of the size (0: no check)
    } cases[] = {
        {"nothing", {}, 0},
        {"one byte", {42}, 0},
        {"zeros", Bytes(100000, 0), 0.01},
        {"text", Phrases(60000), 0.5},
        {"noise", Noise(65536, 2), 0},
        {"every byte value", everyValue, 0.1},
        {"noise repeated far back", [] { Bytes b = Noise(300000, 3); b.insert(b.end(), b.begin(), b.end()); return b; }(),
         0.52},
    };
    for (const Case& c : cases) {
        const Bytes packed = PackData(c.data.data(), static_cast<uint32_t>(c.data.size()));
        ASSERT_GE(packed.size(), kPackedHeadSize) << c.what;
        EXPECT_EQ(ReadLE32(packed.data()), c.data.size()) << c.what;
        EXPECT_EQ(ReadLE32(packed.data() + 4), packed.size()) << c.what;
        EXPECT_LE(packed.size(), kPackedHeadSize + c.data.size() + c.data.size() / 256) << c.what;
        if (c.mostOfSize > 0) {
            EXPECT_LE(packed.size(), c.data.size() * c.mostOfSize) << c.what;
        }
        const auto available = static_cast<uint32_t>(packed.size());
        ASSERT_EQ(DecompressPackedData(nullptr, packed.data(), available), static_cast<int64_t>(c.data.size()));
        Bytes out(c.data.size());
        EXPECT_EQ(DecompressPackedData(out.data(), packed.data(), available), static_cast<int64_t>(c.data.size()));
        EXPECT_EQ(out, c.data) << c.what;
    }
}

TEST_F(Archives, DamagedPackedDataIsRefused) {
    const Bytes good = PackData(Phrases(4000).data(), 4000);
    auto withHead = [](uint32_t size, std::vector<uint8_t> body) {
        Bytes b(kPackedHeadSize);
        WriteLE32(b.data(), size);
        WriteLE32(b.data() + 4, static_cast<uint32_t>(kPackedHeadSize + body.size()));
        b[8] = 0xEE;  // the escape
        b.insert(b.end(), body.begin(), body.end());
        return b;
    };
    auto resized = [&](int delta) {
        Bytes b = good;
        WriteLE32(b.data(), static_cast<uint32_t>(4000 + delta));
        return b;
    };
    const struct Case {
        const char* what;
        Bytes packed;
        uint32_t available;  // 0: the whole
        bool sizeAnswered;   // the size-only call still answers
    } cases[] = {
        {"no head", Bytes(good.begin(), good.begin() + 5), 0, false},
        {"cut short", good, static_cast<uint32_t>(good.size() - 1), false},
        {"promises more than it holds", resized(+10), 0, true},
        {"promises less than it holds", resized(-10), 0, true},
        {"copy before the start", withHead(8, {'a', 0xEE, 1, 4}), 0, true},
        {"ends inside a token", withHead(8, {'a', 'b', 0xEE}), 0, true},
        {"ends before the distance", withHead(8, {'a', 'b', 0xEE, 2}), 0, true},
        {"number of six bytes", withHead(8, {'a', 0xEE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0}), 0, true},
        {"escape past the size", withHead(1, {'a', 0xEE, 0}), 0, true},
    };
    for (const Case& c : cases) {
        const uint32_t available = c.available != 0 ? c.available : static_cast<uint32_t>(c.packed.size());
        const int64_t size = DecompressPackedData(nullptr, c.packed.data(), available);
        EXPECT_EQ(size >= 0, c.sizeAnswered) << c.what;
        Bytes out(size > 0 ? static_cast<size_t>(size) : 0);  // exactly as large as promised
        if (size >= 0) {
            EXPECT_EQ(DecompressPackedData(out.data(), c.packed.data(), available), -1) << c.what;
        }
        EXPECT_NE(NewLog().find("DecompressPackedData"), std::string::npos) << c.what;
        logStart_ = LogText().size();
    }
}

// ---- archives in memory ------------------------------------------------------------------

TEST_F(Archives, MembersAreFoundByPathInEitherCase) {
    Bytes image = Build();
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    ASSERT_EQ(OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), nullptr), 0);
    EXPECT_EQ(GetArchiveMemoryImage(&record), image.data());
    const struct Case {
        const char* path;
        const Bytes* expected;  // null: not a member
    } cases[] = {
        {"a.txt", &kInputs[0].bytes},     {"A.TXT", &kInputs[0].bytes},       {".\\a.txt", &kInputs[0].bytes},
        {"sub/B.bin", &kInputs[1].bytes}, {"SUB\\\\b.bin", &kInputs[1].bytes}, {"sub\\deep\\c.dat", &kInputs[2].bytes},
        {"empty", &kInputs[3].bytes},     {"sub", nullptr},                   {"sub\\deep", nullptr},
        {"sub\\..\\a.txt", nullptr},      {"a.txt\\x", nullptr},              {"b.bin", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        ArchiveMemberInfo info;
        uint32_t offset = 0, size = 0;
        const int found = GetArchiveMemberData(&record, c.path, &offset, &size);
        ASSERT_EQ(found == 0, c.expected != nullptr) << c.path;
        if (c.expected == nullptr) continue;
        ASSERT_EQ(GetArchiveMemberInfo(&record, c.path, &info), 0);
        EXPECT_EQ(info.offset, offset);
        EXPECT_EQ(info.storedSize, size);
        EXPECT_EQ(info.size, c.expected->size()) << c.path;
        EXPECT_EQ(info.packed, c.expected == &kInputs[1].bytes ? 1 : 0) << c.path;
        if (!info.packed) {
            EXPECT_EQ(Bytes(image.begin() + offset, image.begin() + offset + size), *c.expected);
        }
        uint8_t* member = LoadArchiveMember(&record, info);
        ASSERT_NE(member, nullptr) << c.path;
        EXPECT_EQ(Bytes(member, member + info.size), *c.expected) << c.path;
        FreeMemory(member);
    }
    EXPECT_EQ(CloseArchive(&record), 0);
    EXPECT_EQ(GetArchiveMemoryImage(&record), nullptr);
}

TEST_F(Archives, TheCallersKeyThenTheBuiltInOne) {
    const struct Case {
        const char* what;
        const char* madeWith;
        const char* openedWith;
        bool opens;
    } cases[] = {
        {"built-in key", nullptr, nullptr, true},
        {"a caller's key falls back to the built-in one", nullptr, "other", true},
        {"the caller's key", "secret", "secret", true},
        {"no key for a keyed archive", "secret", nullptr, false},
        {"the wrong key", "secret", "Secret", false},
    };
    for (const Case& c : cases) {
        Bytes image = Build(kInputs, c.madeWith);
        const Bytes before = image;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        const int result = OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), c.openedWith);
        EXPECT_EQ(result == 0, c.opens) << c.what;
        if (!c.opens) {
            EXPECT_EQ(image, before) << c.what << ": the image is left as it was";
            EXPECT_NE(NewLog().find("wrong key"), std::string::npos) << c.what;
        }
        EXPECT_EQ(GetArchiveMemberData(&record, "a.txt", nullptr, nullptr) == 0, c.opens) << c.what;
        CloseArchive(&record);
    }
}

TEST_F(Archives, DamagedArchivesAreRefusedAndLeftAsTheyWere) {
    const Bytes good = Build();
    auto cut = [&](size_t size) { return Bytes(good.begin(), good.begin() + size); };
    auto flipped = [&](size_t at) {
        Bytes b = good;
        b[at] ^= 0x10;
        return b;
    };
    // Entries in breadth-first order: 0 a.txt, 1 empty, 2 sub; 3 b.bin, 4 deep; 5 c.dat.
    auto member = [&](std::function<void(ArchiveFileEntry&)> change, uint32_t i = 3) {
        return EditTables(good, [=](uint8_t* t, const ArchiveHeader&) {
            ArchiveFileEntry e = Entry(t, i);
            change(e);
            SetEntry(t, i, e);
        });
    };
    auto folder = [&](uint32_t d, uint32_t word, uint32_t value) {
        return EditTables(good, [=](uint8_t* t, const ArchiveHeader& h) { WriteLE32(DirAt(t, h, d) + 4 * word, value); });
    };
    const struct Case {
        const char* what;
        Bytes image;
        const char* logged;
    } cases[] = {
        {"nothing at all", {}, "no archive"},
        {"one byte", cut(1), "truncated"},
        {"cut inside the header", cut(20), "truncated"},
        {"cut inside the data", cut(good.size() - 1), "truncated"},
        {"no signature", flipped(0), "no archive signature"},
        {"header byte changed", flipped(10), "wrong key"},
        {"table byte changed", flipped(kArchiveTablesOffset + 3), "damaged tables"},
        {"member beyond the data", member([](ArchiveFileEntry& e) { e.offset += 100000; }), "damaged tables"},
        {"stored size not the size", member([](ArchiveFileEntry& e) { e.size += 1; }, 0), "damaged tables"},
        {"packed head lies about its size", member([](ArchiveFileEntry& e) { e.size -= 1; }), "damaged tables"},
        {"name beyond the table", member([](ArchiveFileEntry& e) { e.nameOffset = 0xFFFFFF; }), "damaged tables"},
        {"name is no name", member([](ArchiveFileEntry& e) { e.nameOffset = 0; }), "damaged tables"},
        {"folder points at itself", member([](ArchiveFileEntry& e) { e.offset = 0; }, 2), "damaged tables"},
        {"folder past the table", member([](ArchiveFileEntry& e) { e.offset = 9; }, 2), "damaged tables"},
        {"children beyond the table", folder(1, 3, 50), "damaged tables"},
        {"root with a parent", folder(0, 1, 1), "damaged tables"},
        {"child's parent wrong", folder(2, 1, 0), "damaged tables"},
    };
    for (const Case& c : cases) {
        Bytes image = c.image;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        EXPECT_EQ(OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), nullptr), -1)
            << c.what;
        EXPECT_EQ(image, c.image) << c.what << ": the image is left as it was";
        EXPECT_EQ(GetArchiveMemberData(&record, "a.txt", nullptr, nullptr), -1) << c.what;
        EXPECT_NE(NewLog().find(c.logged), std::string::npos) << c.what << ": " << NewLog();
        logStart_ = LogText().size();
    }
}

// ---- through the access calls ------------------------------------------------------------

TEST_F(Archives, AnArchiveMemberComesBeforeThePlainFile) {
    Bytes archive = Build();
    Write("data.gla", archive);
    Write("data/a.txt", Text("the plain file"));
    Write("data/plain.txt", Text("only plain"));
    Write("outer.gla", Build({{"inner\\x.txt", Text("in the outer archive")}}));
    const struct Case {
        const char* path;
        std::string expected;
    } cases[] = {
        {"data\\a.txt", "hello archive"},
        {"data/A.txt", "hello archive"},
        {"data\\sub\\deep\\c.dat", std::string(kInputs[2].bytes.begin(), kInputs[2].bytes.end())},
        {"data\\Sub\\b.bin", std::string(kInputs[1].bytes.begin(), kInputs[1].bytes.end())},
        {"data\\empty", ""},
        {"data\\plain.txt", "only plain"},
        {"outer\\inner\\x.txt", "in the outer archive"},
        {"data\\missing", "(none)"},
        {"data.gla\\a.txt", "(none)"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadAll(Path(c.path)), c.expected) << c.path;

    // A packed member whose head lies about its size is refused, with a log line.
    Bytes copy = archive;
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    ASSERT_EQ(OpenArchiveFromMemory(&record, copy.data(), static_cast<uint32_t>(copy.size()), nullptr), 0);
    uint32_t offset = 0;
    ASSERT_EQ(GetArchiveMemberData(&record, "sub\\b.bin", &offset, nullptr), 0);
    for (const int delta : {-1, +1}) {
        Bytes lying = archive;
        WriteLE32(lying.data() + offset, static_cast<uint32_t>(kInputs[1].bytes.size() + delta));
        Write("data.gla", lying);
        EXPECT_EQ(ReadAll(Path("data\\Sub\\b.bin")), "(none)") << delta;
        EXPECT_NE(NewLog().find("packed size differs from its entry"), std::string::npos) << delta;
        logStart_ = LogText().size();
    }
    // A damaged archive is passed over, with a log line, for the plain file.
    archive[kArchiveTablesOffset] ^= 1;
    Write("data.gla", archive);
    EXPECT_EQ(ReadAll(Path("data\\a.txt")), "the plain file");
    EXPECT_NE(NewLog().find("damaged tables"), std::string::npos);
}

TEST_F(Archives, MembersReadSeekAndEndLikePlainFiles) {
    Write("data.gla", Build({{"ten.bin", Text("0123456789")}, {"z.bin", Bytes(3000, 'z')}}));
    for (const char* name : {"ten.bin", "z.bin"}) {
        const DWORD_PTR file = OpenAccessFile(Path(std::string("data\\") + name).c_str(), 0, 1, 0);
        ASSERT_NE(file, 0u);
        EXPECT_EQ(file & 0xF0000000u, 0xF0000000u) << "members are numbered with the top four bits set";
        EXPECT_EQ(SeekAccessFile(file, 0, 2), 0);
        const int64_t size = TellAccessFile(file);
        EXPECT_EQ(size, std::string(name) == "z.bin" ? 3000 : 10);
        const struct Step {
            int64_t seek;
            int origin;
            size_t element, count;
            size_t expectRead;
            int64_t expectTell;
            bool expectEof;
        } steps[] = {
            {0, 0, 1, 4, 4, 4, false},
            {-3, 2, 2, 1, 1, size - 1, false},
            {-1, 1, 1, 1, 1, size - 1, false},
            {-2, 2, 4, 1, 0, size, true},        // two bytes left: no whole element, both consumed
            {size + 5, 0, 1, 1, 0, size + 5, true},
            {-1, 0, 1, 1, 0, size + 5, true},    // refused seek: nothing moves
        };
        char buffer[16];
        for (const Step& s : steps) {
            const bool seekable = s.seek >= 0 || s.origin != 0;
            EXPECT_EQ(SeekAccessFile(file, s.seek, s.origin), seekable ? 0 : -1) << name << " " << s.seek;
            EXPECT_EQ(ReadAccessFile(buffer, s.element, s.count, file), s.expectRead) << name << " " << s.seek;
            EXPECT_EQ(TellAccessFile(file), s.expectTell) << name << " " << s.seek;
            EXPECT_EQ(EofAccessFile(file) != 0, s.expectEof) << name << " " << s.seek;
        }
        EXPECT_EQ(CloseAccessFile(file), 0);
        EXPECT_EQ(CloseAccessFile(file), -1) << "a closed member is refused";
        EXPECT_EQ(ReadAccessFile(buffer, 1, 1, file), 0u);
    }
}

TEST_F(Archives, AtMost512MembersAtOnce) {
    Write("data.gla", Build({{"m", Text("member")}}));
    std::vector<DWORD_PTR> open;
    for (int i = 0; i < 512; ++i) open.push_back(OpenAccessFile(Path("data\\m").c_str(), 0, 1, 0));
    EXPECT_EQ(std::count(open.begin(), open.end(), DWORD_PTR{0}), 0);
    EXPECT_EQ(OpenAccessFile(Path("data\\m").c_str(), 0, 1, 0), 0u) << "the 513th";
    for (DWORD_PTR file : open) CloseAccessFile(file);
    const DWORD_PTR again = OpenAccessFile(Path("data\\m").c_str(), 0, 1, 0);
    EXPECT_NE(again, 0u);
    EXPECT_EQ(std::find(open.begin(), open.end(), again), open.end()) << "a reused slot has a new number";
    CloseAccessFile(again);
}

TEST_F(Archives, ASearchListsTheArchivesFolder) {
    Write("data.gla", Build());
    Write("data/plain.png", Text("p"));
    const struct Case {
        const char* pattern;
        std::vector<std::string> names;  // "name/" for a folder, in archive order
    } cases[] = {
        {"data\\*", {"a.txt", "empty", "Sub/"}},
        {"data\\*.*", {"a.txt", "empty", "Sub/"}},
        {"data\\?.TXT", {"a.txt"}},
        {"data\\sub\\*", {"b.bin", "deep/"}},
        {"data\\sub\\deep\\*.dat", {"c.dat"}},
        {"data\\*.png", {"plain.png"}},  // no member matches: the plain folder's
        {"data\\*.none", {}},
    };
    for (const Case& c : cases) {
        FileInfo info;
        std::vector<std::string> names;
        const DWORD_PTR find = FindFirstAccessFile(Path(c.pattern).c_str(), &info);
        for (int more = find != 0 ? 0 : -1; more == 0; more = FindNextAccessFile(find, &info))
            names.push_back(std::string(info.name) + (info.isDirectory ? "/" : ""));
        if (find != 0) {
            EXPECT_EQ(FindCloseAccessFile(find), 0);
        }
        EXPECT_EQ(names, c.names) << c.pattern;
    }
}

// Every file of the game's data, packed and read back through the access calls.
TEST_F(Archives, TheGamesDataRoundTrips) {
    const std::string built = std::string(TEST_BINARY_DIR) + "/data";
    std::vector<ArchiveInput> inputs;
    std::string error;
    ASSERT_TRUE(ReadFolderInputs(built, &inputs, &error)) << error;
    ASSERT_GE(inputs.size(), 60u) << "levels, pictures, sounds and tunes are built";
    Write("data.gla", Build(inputs));
    size_t total = 0;
    for (const ArchiveInput& input : inputs) {
        EXPECT_EQ(ReadAll(Path("data\\" + input.path)), std::string(input.bytes.begin(), input.bytes.end()))
            << input.path;
        total += input.bytes.size();
    }
    EXPECT_LT(fs::file_size(native_ + "/data.gla"), total) << "the archive is smaller than its files";
}

}  // namespace
