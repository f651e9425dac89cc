// Making "GLA" archives and packed data, for the packer and the tests: the
// library only reads them (src/file/archive.h; the layout is in
// src/file/FORMAT.md).
#pragma once

#include "file/archive_format.h"

#include <cstdint>
#include <string>
#include <vector>

// The library's packed data for size bytes at source: an LZ77 parse over a
// window of 1 MiB with hash chains and one step of lazy matching, the least
// used byte value as the escape.
std::vector<uint8_t> PackData(const uint8_t* source, uint32_t size);

struct ArchiveInput {
    std::string path;  // Shift-JIS, '\' or '/' between folders
    std::vector<uint8_t> bytes;
};

struct ArchiveOptions {
    const char* key = nullptr;  // null: the built-in key
    bool pack = true;           // pack the members that shrink by it
};

// The archive of the inputs; false with a reason in error when two inputs
// have the same path (letters in either case), a path has no name or is
// longer than kArchiveMaxPath (names joined by '\'), or the archive would
// pass 4 GiB.
bool BuildArchive(const std::vector<ArchiveInput>& inputs, const ArchiveOptions& options,
                  std::vector<uint8_t>* archive, std::string* error);

// An archive's tables and data area entry by entry, as they are written.
struct ArchiveLayout {
    std::vector<ArchiveFileEntry> files;
    std::vector<ArchiveDirEntry> dirs;
    std::vector<uint8_t> names{0};  // offset 0: no name
    std::vector<uint8_t> data;
};

// The archive of a layout taken as it stands: the header and its checks are
// made, nothing of the tables is checked (BuildArchive lays out only tables
// the reader accepts; tests make others). False with a reason when the
// archive would pass 4 GiB.
bool WriteArchiveImage(const ArchiveLayout& layout, const char* key, std::vector<uint8_t>* archive,
                       std::string* error);

// Every file under the native folder, with its path relative to it in
// Shift-JIS with '\' separators, in name order; false with a reason when the
// folder cannot be read.
bool ReadFolderInputs(const std::string& folder, std::vector<ArchiveInput>* inputs, std::string* error);
