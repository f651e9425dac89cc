// Archives under hostile inputs: sizes that would wrap, claims that packed
// bytes cannot make, names that match each other, and archives outside the
// program's folder.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "file/archive.h"
#include "file/archive_access.h"
#include "file/archive_format.h"
#include "file/file.h"
#include "platform/kernel32/kernel32.h"
#include "../temp_folder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The archive of the named files, each holding its own name; empty when the
// packer refuses them.
Bytes Build(const std::vector<std::string>& paths, std::string* error) {
    std::vector<ArchiveInput> inputs;
    for (const std::string& path : paths) inputs.push_back({path, Text(path)});
    Bytes archive;
    if (!BuildArchive(inputs, ArchiveOptions{}, &archive, error)) archive.clear();
    return archive;
}

// The image with its tables descrambled, edited and scrambled back under
// fresh checksums: tables the packer would not write.
Bytes Edited(Bytes image, const std::function<void(uint8_t* tables, const ArchiveHeader&)>& edit) {
    const uint64_t seed = ArchiveKeySeed(nullptr);
    uint8_t* header = image.data() + kArchiveHeaderOffset;
    ScrambleArchiveBytes(header, kArchiveHeaderSize, seed, kArchiveHeaderOffset);
    ArchiveHeader h = ReadArchiveHeader(header);
    uint8_t* tables = image.data() + kArchiveTablesOffset;
    const size_t size = h.fileCount * kArchiveFileEntrySize + h.dirCount * kArchiveDirEntrySize + h.nameTableSize;
    ScrambleArchiveBytes(tables, size, seed, kArchiveTablesOffset);
    edit(tables, h);
    h.tablesCheck = ArchiveChecksum(tables, size);
    WriteArchiveHeader(h, header);
    WriteLE32(header + kArchiveHeaderSize - 4, ArchiveChecksum(header, kArchiveHeaderSize - 4));
    ScrambleArchiveBytes(header, kArchiveHeaderSize + size, seed, kArchiveHeaderOffset);
    return image;
}

// The image with the first name `from` in its name table renamed `to` (of
// the same length).
Bytes Renamed(const Bytes& image, const std::string& from, const std::string& to) {
    return Edited(image, [&](uint8_t* tables, const ArchiveHeader& h) {
        char* names = reinterpret_cast<char*>(tables) + h.fileCount * kArchiveFileEntrySize +
                      h.dirCount * kArchiveDirEntrySize;
        for (uint32_t at = 1; at < h.nameTableSize; at += static_cast<uint32_t>(std::strlen(names + at)) + 1)
            if (from == names + at) {
                std::memcpy(names + at, to.data(), to.size());
                break;
            }
    });
}

TEST(ArchiveLimits, AListingsSizeCannotWrap) {
    constexpr uint64_t kMost = UINT32_MAX / sizeof(FileInfo);  // 15,790,320 entries of 272 bytes
    const struct Case {
        const char* what;
        uint64_t count;
        bool fits;
    } cases[] = {
        {"one entry", 1, true},
        {"the most that fit 32 bits", kMost, true},
        {"one more: the product wraps in 32 bits", kMost + 1, false},
        {"a 32-bit count at its top", UINT32_MAX, false},
        {"a count past 32 bits", uint64_t{1} << 32, false},
    };
    for (const Case& c : cases) {
        uint32_t bytes = 0;
        EXPECT_EQ(ArchiveListingBytes(c.count, &bytes), c.fits) << c.what;
        if (c.fits) {
            EXPECT_EQ(bytes, c.count * sizeof(FileInfo)) << c.what;
        }
    }
}

TEST(ArchiveLimits, ThePackerRefusesNamesThatMatch) {
    const struct Case {
        const char* what;
        std::vector<std::string> paths;
        bool packs;
    } cases[] = {
        {"different names", {"dup.txt", "dir/dup.txt", "dur.txt"}, true},
        {"one name twice", {"dup.txt", "dup.txt"}, false},
        {"names differing in case", {"dup.txt", "DUP.TXT"}, false},
        {"the same folder in two spellings", {"Dir/a", "dir\\A"}, false},
        {"a file, then a folder of its name", {"x", "x/y"}, false},
        {"a folder, then a file of its name", {"x/y", "X"}, false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(!Build(c.paths, &error).empty(), c.packs) << c.what;
        EXPECT_EQ(error.empty(), c.packs) << c.what << ": " << error;
    }
}

TEST(ArchiveLimits, TheReaderRefusesNamesThatMatch) {
    std::string error;
    const Bytes files = Build({"dup.txt", "dur.txt"}, &error);
    const Bytes folders = Build({"x", "y/z"}, &error);
    const struct Case {
        const char* what;
        Bytes image;
        bool opens;
    } cases[] = {
        {"a name changed to a new one", Renamed(files, "dur.txt", "duq.txt"), true},
        {"a name changed to its neighbour's", Renamed(files, "dur.txt", "dup.txt"), false},
        {"to its neighbour's in other case", Renamed(files, "dur.txt", "DUP.TXT"), false},
        {"a folder named as the file before it", Renamed(folders, "y", "x"), false},
        {"a folder named as that file in other case", Renamed(folders, "y", "X"), false},
    };
    for (const Case& c : cases) {
        Bytes image = c.image;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        const int opened = OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), nullptr);
        EXPECT_EQ(opened == 0, c.opens) << c.what;
        if (!c.opens) {
            EXPECT_EQ(image, c.image) << c.what << ": the image is left as it was";
        }
        CloseArchive(&record);
    }
}

// A folder tree "<base>/top/game" in which "game" stands for the program's
// folder and "top" for the folder above it; the test runs from "game" unless
// a case moves, and archives are planted beside and above the game.
class ArchivePlaces : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = test_temp::MakeFolder("velumi-archive-places");
        ASSERT_FALSE(base_.empty());
        root_ = base_ + "/top";
        std::filesystem::create_directories(root_ + "/game");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(root_ + "/game");
        SetProgramFolderForTest((root_ + "/game").c_str());
    }
    void TearDown() override {
        SetProgramFolderForTest(nullptr);
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(base_);
    }
    // An archive at root/place whose member `member` holds `text`.
    void Plant(const std::string& place, const std::string& member, const std::string& text) const {
        std::vector<ArchiveInput> inputs = {{member, Text(text)}};
        Bytes archive;
        std::string error;
        ASSERT_TRUE(BuildArchive(inputs, ArchiveOptions{}, &archive, &error)) << error;
        std::ofstream(root_ + "/" + place, std::ios::binary)
            .write(reinterpret_cast<const char*>(archive.data()), static_cast<std::streamsize>(archive.size()));
    }
    static std::string ReadAll(const std::string& path) {
        const DWORD_PTR file = OpenAccessFile(path.c_str(), 0, 1, 0);
        if (file == 0) return "(none)";
        std::string bytes(1 << 17, '\0');
        bytes.resize(ReadAccessFile(bytes.data(), 1, bytes.size(), file));
        CloseAccessFile(file);
        return bytes;
    }
    std::string Absolute(const std::string& path) const { return platform::PathFromNative(root_) + "\\" + path; }
    // The same place named from the file system's root.
    std::string FromSlash(const std::string& path) const { return Absolute(path).substr(1); }
    // The current folder a case runs from.
    std::string Folder(const char* where) const {
        const std::string w = where;
        return w == "game" ? root_ + "/game" : w == "top" ? root_ : w;
    }

    std::string base_;
    std::string root_;
    std::filesystem::path previous_;
};

TEST_F(ArchivePlaces, NoArchiveOutsideTheProgramsFolderIsRead) {
    Plant("game/data.gla", "x.png", "ours");
    Plant("game/sub.gla", "data\\y.png", "ours, outer");
    Plant("game.gla", "data\\w.png", "planted beside the game");
    Plant("data.gla", "x.png", "planted above");
    Plant("velumi-root.gla", "z.png", "planted in the outer folder");
    Plant("outer.gla", "deep\\v.png", "planted in an outer archive");
    Plant("../top.gla", "f.png", "planted above the folder above");
    std::filesystem::create_directories(root_ + "/game/data");  // "data\\.." leads somewhere
    const struct Case {
        const char* what;
        const char* from;  // the current folder: "game", "top" (above it) or "/"
        std::string path;
        const char* expected;
    } cases[] = {
        {"relative, beside the folder", "game", "data\\x.png", "ours"},
        {"relative, in an outer folder's archive", "game", "sub\\data\\y.png", "ours, outer"},
        {"absolute, inside the program's folder", "game", Absolute("game\\data\\x.png"), "ours"},
        {"absolute, in the archive beside the program's folder", "game", Absolute("game\\data\\w.png"), "(none)"},
        {"relative, in the archive beside the current folder", "game", "..\\game\\data\\w.png", "(none)"},
        {"absolute, outside: the archive of the folder named", "game", Absolute("data\\x.png"), "(none)"},
        {"absolute, outside: no outer archive", "game", Absolute("outer\\deep\\v.png"), "(none)"},
        {"relative, stepping up", "game", "..\\data\\x.png", "(none)"},
        {"relative, stepping up inside", "game", "data\\..\\..\\data\\x.png", "(none)"},
        {"relative, stepping up to an outer folder", "game", "..\\velumi-root\\z.png", "(none)"},
        {"from above, absolute, inside", "top", Absolute("game\\data\\x.png"), "ours"},
        {"from above, absolute, beside the program's folder", "top", Absolute("game\\data\\w.png"), "(none)"},
        {"from above, absolute, a file in the folder above", "top", Absolute("f.png"), "(none)"},
        {"from above, relative, inside", "top", "game\\data\\x.png", "ours"},
        {"from above, relative: its archive lies in the current folder", "top", "game\\data\\w.png",
         "planted beside the game"},
        {"from /, absolute, inside", "/", Absolute("game\\data\\x.png"), "ours"},
        {"from /, absolute, beside the program's folder", "/", Absolute("game\\data\\w.png"), "(none)"},
        {"from /, absolute, a file in the folder above", "/", Absolute("f.png"), "(none)"},
        {"from /, relative, inside", "/", FromSlash("game\\data\\x.png"), "ours"},
    };
    for (const Case& c : cases) {
        std::filesystem::current_path(Folder(c.from));
        EXPECT_EQ(ReadAll(c.path), c.expected) << c.what;
    }
    const struct Find {
        const char* what;
        const char* from;
        std::string pattern;
        bool found;
    } finds[] = {
        {"relative search", "game", "data\\*", true},
        {"search outside, in an outer archive", "game", Absolute("outer\\deep\\*"), false},
        {"search stepping up", "game", "..\\data\\*", false},
        {"from above, search in the archive beside the program's folder", "top", Absolute("game\\data\\w*"), false},
        {"from /, search in the archive beside the program's folder", "/", Absolute("game\\data\\w*"), false},
    };
    for (const Find& f : finds) {
        std::filesystem::current_path(Folder(f.from));
        FileInfo info;
        const DWORD_PTR find = FindFirstAccessFile(f.pattern.c_str(), &info);
        EXPECT_EQ(find != 0, f.found) << f.what;
        if (find != 0) FindCloseAccessFile(find);
    }
}

// Packed data of one literal 'a' and the tokens given, promising size bytes.
Bytes Stream(uint32_t size, const Bytes& tokens) {
    Bytes b = {0, 0, 0, 0, 0, 0, 0, 0, 0xEE, 'a'};  // 0xEE: the escape
    b.resize(b.size() + tokens.size());
    std::copy(tokens.begin(), tokens.end(), b.end() - static_cast<std::ptrdiff_t>(tokens.size()));
    WriteLE32(b.data(), size);
    WriteLE32(b.data() + 4, static_cast<uint32_t>(b.size()));
    return b;
}

TEST(ArchiveLimits, APackedStreamPromisesNoMoreThanItsBytesCanMake) {
    const Bytes longest = {0xEE, 0xFD, 0x1F, 0};  // v = 4093: a copy of 4096 from 1 back
    const Bytes tooLong = {0xEE, 0xFE, 0x1F, 0};  // v = 4094: one byte more
    const struct Case {
        const char* what;
        Bytes packed;
        int64_t answered;  // the size-only call; -1 refused
        bool unpacks;
    } cases[] = {
        {"the longest copy", Stream(4097, longest), 4097, true},
        {"a copy one byte longer", Stream(4098, tooLong), 4098, false},
        {"promises its bytes' limit", Stream(5 * kPackedMostPerByte, longest), 5 * kPackedMostPerByte, false},
        {"promises one byte more", Stream(5 * kPackedMostPerByte + 1, longest), -1, false},
        {"a small stream promising 4 GiB", Stream(0xFFFFFFFF, longest), -1, false},
        {"a head alone promising a byte", Bytes{1, 0, 0, 0, 9, 0, 0, 0, 0xEE}, -1, false},
    };
    for (const Case& c : cases) {
        const auto available = static_cast<uint32_t>(c.packed.size());
        EXPECT_EQ(DecompressPackedData(nullptr, c.packed.data(), available), c.answered) << c.what;
        if (c.answered < 0) continue;
        Bytes out(static_cast<size_t>(c.answered));
        EXPECT_EQ(DecompressPackedData(out.data(), c.packed.data(), available) == c.answered, c.unpacks) << c.what;
        if (c.unpacks) {
            EXPECT_EQ(out, Bytes(out.size(), 'a')) << c.what;
        }
    }
}

// A member whose entry and packed head both promise `size`: the reader
// refuses the tables before any member is read when the stored bytes cannot
// make that many.
TEST_F(ArchivePlaces, AnArchivesBombIsRefusedWithItsTables) {
    std::vector<ArchiveInput> inputs = {{"m", Bytes(100000, 0)}};
    Bytes good;
    std::string error;
    ASSERT_TRUE(BuildArchive(inputs, ArchiveOptions{}, &good, &error)) << error;
    ArchiveFileEntry entry{};
    Edited(good, [&](uint8_t* tables, const ArchiveHeader&) { entry = ReadArchiveFileEntry(tables); });
    ASSERT_EQ(entry.flags, kArchiveEntryPacked);
    const uint64_t limit = PackedSizeLimit(entry.storedSize);
    auto promising = [&](uint64_t size) {
        Bytes image = Edited(good, [&](uint8_t* tables, const ArchiveHeader&) { WriteLE32(tables + 12, size); });
        WriteLE32(image.data() + image.size() - entry.storedSize, static_cast<uint32_t>(size));
        return image;
    };
    const struct Case {
        const char* what;
        Bytes image;
        bool opens;
        const char* read;  // the member through the access calls
    } cases[] = {
        {"the member as packed", promising(100000), true, "100000 zeros"},
        {"promises its bytes' limit", promising(limit), true, "(none)"},
        {"promises one byte more", promising(limit + 1), false, "(none)"},
        {"promises 2 GiB", promising(0x80000000u), false, "(none)"},
    };
    for (const Case& c : cases) {
        Bytes image = c.image;
        ArchiveRecord record;
        ClearArchiveRecord(&record);
        EXPECT_EQ(OpenArchiveFromMemory(&record, image.data(), static_cast<uint32_t>(image.size()), nullptr) == 0,
                  c.opens)
            << c.what;
        CloseArchive(&record);
        std::ofstream(root_ + "/game/data.gla", std::ios::binary)
            .write(reinterpret_cast<const char*>(c.image.data()), static_cast<std::streamsize>(c.image.size()));
        ClearArchiveRecord(&record);
        EXPECT_EQ(OpenArchiveFile(&record, "data.gla", nullptr) == 0, c.opens) << c.what;
        CloseArchive(&record);
        const std::string read = ReadAll("data\\m");
        EXPECT_EQ(read == std::string(100000, '\0') ? "100000 zeros" : read, c.read) << c.what;
    }
}

}  // namespace
