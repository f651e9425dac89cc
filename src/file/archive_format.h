// The byte layout of "GLA" archives and of the library's packed data, shared
// by the reader and the packer. FORMAT.md beside this file describes both.
//
// All fields are little-endian 32-bit words. An archive is
//   signature (4 bytes, plain) | header (40 bytes) | file table | directory
//   table | name table | data area
// with the header and the three tables scrambled by a key stream made from
// a key string.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kArchiveSignature[4] = {'G', 'L', 'A', 0x1A};
constexpr uint32_t kArchiveHeaderMagic = 0x72416C56;  // "VlAr" once descrambled
constexpr uint32_t kArchiveVersion = 1;
constexpr uint32_t kArchiveHeaderOffset = 4;
constexpr uint32_t kArchiveHeaderSize = 40;
constexpr uint32_t kArchiveTablesOffset = kArchiveHeaderOffset + kArchiveHeaderSize;
constexpr uint32_t kArchiveFileEntrySize = 20;
constexpr uint32_t kArchiveDirEntrySize = 16;
constexpr uint32_t kArchiveNoEntry = 0xFFFFFFFF;
constexpr uint32_t kArchiveEntryDirectory = 1;  // file entry flags
constexpr uint32_t kArchiveEntryPacked = 2;
constexpr uint32_t kArchiveKnownFlags = kArchiveEntryDirectory | kArchiveEntryPacked;
// The longest path of an entry inside an archive, its names joined by '\':
// with its NUL it fills a 260-byte path buffer, the most a program's file name
// can take, so a longer one could never be asked for. This also bounds the
// depth of the folder tree (at most 130 levels).
constexpr uint32_t kArchiveMaxPath = 259;
// The key tried when the caller gives none, or when the caller's fails.
constexpr const char* kBuiltInArchiveKey = "Velumi/GameLib archive key 1.0";

struct ArchiveHeader {
    uint32_t magic;
    uint32_t version;
    uint32_t fileCount;      // entries of the file table (members and folders)
    uint32_t dirCount;       // entries of the directory table; 0 is the root
    uint32_t nameTableSize;  // bytes of NUL-ended names
    uint32_t dataStart;      // where the data area starts in the archive
    uint32_t dataSize;
    uint32_t reserved;
    uint32_t tablesCheck;  // CRC-32 of the descrambled tables
    uint32_t headerCheck;  // CRC-32 of the 36 header bytes before it
};

// A file table entry: a member or a folder, named by its last path element.
struct ArchiveFileEntry {
    uint32_t nameOffset;  // into the name table
    uint32_t flags;       // kArchiveEntryDirectory, kArchiveEntryPacked
    uint32_t offset;      // member: from the data start; folder: its directory index
    uint32_t size;        // member: bytes once unpacked
    uint32_t storedSize;  // member: bytes in the data area
};

// A directory table entry: its children are file entries
// [firstChild, firstChild + childCount); a child folder's directory index is
// always greater than its parent's, so every walk down the tree ends.
struct ArchiveDirEntry {
    uint32_t fileIndex;  // the entry that names it; kArchiveNoEntry for the root
    uint32_t parent;     // kArchiveNoEntry for the root
    uint32_t firstChild;
    uint32_t childCount;
};

// ---- packed data ----------------------------------------------------------------
// Head: unpacked size, packed size (head included), escape byte. Body: bytes
// other than the escape stand for themselves; the escape is followed by a
// number v (7 bits a byte, low first, at most 5 bytes): v = 0 is the escape
// byte itself, else a copy of v + 3 bytes from a distance of d + 1 bytes back
// in the output, where the number d follows.
constexpr uint32_t kPackedHeadSize = 9;
constexpr uint32_t kPackedMinMatch = 4;
// The longest copy one token may make. A copy past 130 bytes takes at least
// four bytes (the escape, two bytes of v, one of d), a shorter one at least
// three, an escaped escape two for one byte, a literal one for one: so each
// byte after the head unpacks to at most kPackedMostPerByte bytes, and a
// stream that promises more is refused before anything is allocated for it.
constexpr uint32_t kPackedMaxCopy = 4096;
constexpr uint32_t kPackedMostPerByte = 1024;
static_assert(kPackedMaxCopy <= 4 * kPackedMostPerByte && 130 <= 3 * kPackedMostPerByte);

// The most bytes packed data of packedSize bytes (head included) can unpack to.
inline uint64_t PackedSizeLimit(uint32_t packedSize) {
    return packedSize < kPackedHeadSize ? 0 : uint64_t{packedSize - kPackedHeadSize} * kPackedMostPerByte;
}

inline uint32_t ReadLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
inline void WriteLE32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

ArchiveHeader ReadArchiveHeader(const uint8_t* bytes);  // kArchiveHeaderSize bytes
void WriteArchiveHeader(const ArchiveHeader& header, uint8_t* bytes);
ArchiveFileEntry ReadArchiveFileEntry(const uint8_t* bytes);
void WriteArchiveFileEntry(const ArchiveFileEntry& entry, uint8_t* bytes);
ArchiveDirEntry ReadArchiveDirEntry(const uint8_t* bytes);
void WriteArchiveDirEntry(const ArchiveDirEntry& entry, uint8_t* bytes);

uint32_t ArchiveChecksum(const uint8_t* bytes, size_t count);
// The seed of a key's stream; a null key is the built-in key.
uint64_t ArchiveKeySeed(const char* key);
// XORs count bytes that lie at position (from the archive's start) with the
// key stream: scrambling and descrambling are the same operation.
void ScrambleArchiveBytes(uint8_t* bytes, size_t count, uint64_t seed, uint64_t position);
