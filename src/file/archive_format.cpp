// The archive layout's records read and written field by field, the checksum
// and the key stream.
#include "file/archive_format.h"

#include <zlib.h>

namespace {

template <size_t N>
void ReadWords(const uint8_t* bytes, uint32_t (&words)[N]) {
    for (size_t i = 0; i < N; ++i) words[i] = ReadLE32(bytes + 4 * i);
}

template <size_t N>
void WriteWords(const uint32_t (&words)[N], uint8_t* bytes) {
    for (size_t i = 0; i < N; ++i) WriteLE32(bytes + 4 * i, words[i]);
}

uint64_t SplitMix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

ArchiveHeader ReadArchiveHeader(const uint8_t* bytes) {
    uint32_t w[10];
    ReadWords(bytes, w);
    return ArchiveHeader{w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9]};
}

void WriteArchiveHeader(const ArchiveHeader& h, uint8_t* bytes) {
    const uint32_t w[10] = {h.magic,    h.version,  h.fileCount,   h.dirCount,   h.nameTableSize,
                            h.dataStart, h.dataSize, h.reserved, h.tablesCheck, h.headerCheck};
    WriteWords(w, bytes);
}

ArchiveFileEntry ReadArchiveFileEntry(const uint8_t* bytes) {
    uint32_t w[5];
    ReadWords(bytes, w);
    return ArchiveFileEntry{w[0], w[1], w[2], w[3], w[4]};
}

void WriteArchiveFileEntry(const ArchiveFileEntry& e, uint8_t* bytes) {
    const uint32_t w[5] = {e.nameOffset, e.flags, e.offset, e.size, e.storedSize};
    WriteWords(w, bytes);
}

ArchiveDirEntry ReadArchiveDirEntry(const uint8_t* bytes) {
    uint32_t w[4];
    ReadWords(bytes, w);
    return ArchiveDirEntry{w[0], w[1], w[2], w[3]};
}

void WriteArchiveDirEntry(const ArchiveDirEntry& e, uint8_t* bytes) {
    const uint32_t w[4] = {e.fileIndex, e.parent, e.firstChild, e.childCount};
    WriteWords(w, bytes);
}

uint32_t ArchiveChecksum(const uint8_t* bytes, size_t count) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (count > 0) {
        const uInt part = count > 0x40000000 ? 0x40000000u : static_cast<uInt>(count);
        crc = crc32(crc, bytes, part);
        bytes += part;
        count -= part;
    }
    return static_cast<uint32_t>(crc);
}

uint64_t ArchiveKeySeed(const char* key) {
    if (key == nullptr) key = kBuiltInArchiveKey;
    uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    for (const char* p = key; *p != '\0'; ++p) hash = (hash ^ static_cast<uint8_t>(*p)) * 0x100000001B3ull;
    return SplitMix(hash);
}

void ScrambleArchiveBytes(uint8_t* bytes, size_t count, uint64_t seed, uint64_t position) {
    uint64_t block = position / 8;
    uint64_t stream = SplitMix(seed ^ block);
    for (size_t i = 0; i < count; ++i, ++position) {
        if (position / 8 != block) {
            block = position / 8;
            stream = SplitMix(seed ^ block);
        }
        bytes[i] ^= static_cast<uint8_t>(stream >> (8 * (position % 8)));
    }
}
