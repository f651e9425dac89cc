// Helpers of the image tests: little-endian byte builders, decoding from
// memory, and the truncation and corruption sweeps.
#pragma once

#include "image/image_decode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace image_test {

using Bytes = std::vector<uint8_t>;

inline void Put8(Bytes& b, uint32_t v) { b.push_back(uint8_t(v)); }
inline void Put16(Bytes& b, uint32_t v) {
    Put8(b, v);
    Put8(b, v >> 8);
}
inline void Put32(Bytes& b, uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const char* text) {
    while (*text) b.push_back(uint8_t(*text++));
}
inline void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// Decodes bytes through the decoder table over a memory stream (the loaders
// would also log every failure).
inline int DecodeBytes(const Bytes& bytes, PixelImage* out) {
    static const uint8_t empty = 0;
    DataStream stream{*GetMemoryStreamFunctions(), OpenMemStream(bytes.empty() ? &empty : bytes.data(), bytes.size())};
    EXPECT_NE(stream.handle, 0u);
    int result = DecodePixelImage(&stream, out);
    stream.functions.Close(stream.handle);
    return result;
}

// What a decoder asked of its stream: the bytes delivered and the largest
// single request (a decoder's read of a whole chunk shows its buffer size).
struct ReadCounts {
    size_t bytes = 0;
    size_t largestRequest = 0;
};
inline ReadCounts*& ActiveReadCounts() {
    static ReadCounts* counts = nullptr;
    return counts;
}
inline size_t CountingRead(void* buffer, size_t elementSize, size_t count, DWORD_PTR handle) {
    ReadCounts* counts = ActiveReadCounts();
    size_t requested = elementSize * count;
    if (requested > counts->largestRequest) counts->largestRequest = requested;
    size_t got = GetMemoryStreamFunctions()->Read(buffer, elementSize, count, handle);
    counts->bytes += got * elementSize;
    return got;
}
// Decodes bytes with one decoder over a memory stream that counts the reads.
inline int DecodeBytesCounted(const Bytes& bytes, int (*decode)(DataStream*, PixelImage*), PixelImage* out,
                              ReadCounts* counts) {
    static const uint8_t empty = 0;
    *counts = ReadCounts{};
    ActiveReadCounts() = counts;
    DataStream stream{*GetMemoryStreamFunctions(), OpenMemStream(bytes.empty() ? &empty : bytes.data(), bytes.size())};
    EXPECT_NE(stream.handle, 0u);
    stream.functions.Read = CountingRead;
    int result = decode(&stream, out);
    stream.functions.Close(stream.handle);
    ActiveReadCounts() = nullptr;
    return result;
}

struct Argb {
    int a, r, g, b;
    bool operator==(const Argb&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Argb& c) {
    return os << "(a" << c.a << " r" << c.r << " g" << c.g << " b" << c.b << ")";
}
inline Argb PixelAt(const PixelImage& image, int x, int y) {
    Argb c{-1, -1, -1, -1};
    EXPECT_EQ(GetPixelImagePixel(&image, x, y, &c.r, &c.g, &c.b, &c.a), 0) << "at " << x << "," << y;
    return c;
}

// A pixel a decoded picture must have.
struct PixelCheck {
    int x, y;
    Argb want;
};

// One row of a decoder's table: a file and what its picture must hold.
// bytes (bytes per pixel) and firstWord (the raw first pixel, for bits
// outside the channels) are checked when not -1.
struct DecodeCase {
    const char* what;
    Bytes file;
    std::vector<PixelCheck> pixels;
    int bytes = -1;
    int64_t firstWord = -1;
};

inline void ExpectDecodes(const DecodeCase& c) {
    PixelImage image;
    ASSERT_EQ(DecodeBytes(c.file, &image), 0) << c.what;
    for (const PixelCheck& p : c.pixels) {
        EXPECT_EQ(PixelAt(image, p.x, p.y), p.want) << c.what << " at " << p.x << "," << p.y;
    }
    if (c.bytes >= 0) {
        EXPECT_EQ(image.format.pixelByte, c.bytes) << c.what;
    }
    if (c.firstWord >= 0) {
        uint32_t word = 0;
        std::memcpy(&word, image.pixels, size_t(image.format.pixelByte));
        EXPECT_EQ(word, uint32_t(c.firstWord)) << c.what;
    }
    ReleasePixelImage(&image);
}

// A failed decode leaves a cleared record; a successful one a usable picture.
inline void ExpectDecodeOutcomeSound(int result, const PixelImage& image) {
    if (result != 0) {
        EXPECT_EQ(image.pixels, nullptr);
        EXPECT_EQ(image.width, 0);
        return;
    }
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_GE(image.width, 1);
    EXPECT_LE(image.width, kMaxDecodeDimension);
    EXPECT_GE(image.height, 1);
    EXPECT_LE(image.height, kMaxDecodeDimension);
    // Every pixel can be read (ASan watches the reads).
    int sum = 0;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            int r = 0;
            GetPixelImagePixel(&image, x, y, &r, nullptr, nullptr, nullptr);
            sum += r;
        }
    EXPECT_GE(sum, 0);
}

// A file the decoders must refuse, leaving a cleared record.
inline void ExpectRefused(const Bytes& file, const char* what) {
    PixelImage image;
    int result = DecodeBytes(file, &image);
    EXPECT_NE(result, 0) << what;
    ExpectDecodeOutcomeSound(result, image);
    ReleasePixelImage(&image);
}

// Every prefix shorter than minimumLength must fail; every prefix must decode
// soundly.
inline void SweepTruncations(const Bytes& full, size_t minimumLength) {
    for (size_t length = 0; length < full.size(); ++length) {
        Bytes prefix(full.begin(), full.begin() + ptrdiff_t(length));
        PixelImage image;
        int result = DecodeBytes(prefix, &image);
        if (length < minimumLength) {
            EXPECT_NE(result, 0) << "prefix of " << length << " bytes decoded";
        }
        ExpectDecodeOutcomeSound(result, image);
        ReleasePixelImage(&image);
    }
}

// Each byte in turn replaced by each of a few values; nothing may crash or
// read out of bounds, and whatever decodes must be sound.
inline void SweepCorruptions(const Bytes& full) {
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    for (size_t at = 0; at < full.size(); ++at) {
        for (uint8_t v : values) {
            if (full[at] == v) continue;
            Bytes bad = full;
            bad[at] = v;
            PixelImage image;
            int result = DecodeBytes(bad, &image);
            ExpectDecodeOutcomeSound(result, image);
            ReleasePixelImage(&image);
        }
    }
}

}  // namespace image_test
