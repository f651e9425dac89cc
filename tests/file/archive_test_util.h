// Shared by the archive tests: archives laid out entry by entry (also ones
// the packer would not write), and a suite folder that holds the library's
// log and stands for the program's folder.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive_writer.h"
#include "core/log.h"
#include "file/archive.h"
#include "file/archive_access.h"
#include "file/archive_format.h"
#include "../temp_folder.h"

namespace archive_test {

using Bytes = std::vector<uint8_t>;

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A layout grown entry by entry; the root folder is there from the start.
struct RawArchive : ArchiveLayout {
    RawArchive() { dirs.push_back(ArchiveDirEntry{kArchiveNoEntry, kArchiveNoEntry, 0, 0}); }
    uint32_t Name(const std::string& name) {
        const auto offset = static_cast<uint32_t>(names.size());
        names.insert(names.end(), name.begin(), name.end());
        names.push_back(0);
        return offset;
    }
    // A stored member holding bytes, not yet in any folder.
    uint32_t AddMember(const std::string& name, const std::string& bytes, uint32_t flags = 0) {
        files.push_back(ArchiveFileEntry{Name(name), flags, static_cast<uint32_t>(data.size()),
                                         static_cast<uint32_t>(bytes.size()), static_cast<uint32_t>(bytes.size())});
        data.insert(data.end(), bytes.begin(), bytes.end());
        return static_cast<uint32_t>(files.size() - 1);
    }
    Bytes Image() const {
        Bytes image;
        std::string error;
        EXPECT_TRUE(WriteArchiveImage(*this, nullptr, &image, &error)) << error;
        return image;
    }
};

// Folders nested in the order given, the innermost holding the member
// "m" with its name as its bytes: folder k is directory k + 1 and file entry
// k, the member the last entry.
inline RawArchive Nested(const std::vector<std::string>& folders, const std::string& member = "m") {
    RawArchive raw;
    for (uint32_t k = 0; k < folders.size(); ++k) {
        raw.files.push_back(ArchiveFileEntry{raw.Name(folders[k]), kArchiveEntryDirectory, k + 1, 0, 0});
        raw.dirs[k].firstChild = k;
        raw.dirs[k].childCount = 1;
        raw.dirs.push_back(ArchiveDirEntry{k, k, 0, 0});
    }
    raw.dirs.back().firstChild = raw.AddMember(member, member);
    raw.dirs.back().childCount = 1;
    return raw;
}

// Whether the reader opens the image (a copy: the open descrambles it).
inline bool Opens(const Bytes& image) {
    Bytes copy = image;
    ArchiveRecord record;
    ClearArchiveRecord(&record);
    const bool opened = OpenArchiveFromMemory(&record, copy.data(), static_cast<uint32_t>(copy.size()), nullptr) == 0;
    CloseArchive(&record);
    return opened;
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string LogText() {
    std::ifstream in("Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The suite runs in a folder of its own, with the log in it; absolute paths
// into it count as the program's own.
class ArchiveSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        suiteFolder_ = test_temp::MakeFolder("velumi-archive");
        ASSERT_FALSE(suiteFolder_.empty());
        ASSERT_EQ(chdir(suiteFolder_.c_str()), 0);
        SetProgramFolderForTest(suiteFolder_.c_str());
        SetLogOutputOff(0);
        OpenLogFile();
    }
    static void TearDownTestSuite() {
        CloseLogFile();
        SetProgramFolderForTest(nullptr);
        EXPECT_EQ(chdir("/"), 0);
        std::filesystem::remove_all(suiteFolder_);
    }
    void SetUp() override { logStart_ = LogText().size(); }
    // What the log got since the test began, or since logStart_ was moved on.
    std::string NewLog() const { return LogText().substr(logStart_); }

    static inline std::string suiteFolder_;
    size_t logStart_ = 0;
};

}  // namespace archive_test
