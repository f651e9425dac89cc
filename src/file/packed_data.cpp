// Unpacking the library's packed data: literal runs up to the next escape
// byte, and copies from earlier output, each checked against both ends.
#include "file/archive.h"
#include "file/archive_format.h"

#include "core/log.h"

#include <cstring>

namespace {

int64_t Damaged(const char* what) {
    WriteLogFormatted("圧縮データが壊れています(%s) in DecompressPackedData", what);
    return -1;
}

// A number of at most five 7-bit groups that fits in 32 bits; false when the
// bytes end first or it does not fit.
bool ReadNumber(const uint8_t** in, const uint8_t* end, uint32_t* value) {
    uint64_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (*in == end) return false;
        const uint8_t byte = *(*in)++;
        v |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            *value = static_cast<uint32_t>(v);
            return v <= 0xFFFFFFFFull;
        }
    }
    return false;
}

void CopyMatch(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* from = out - distance;
    if (distance >= length) {
        std::memcpy(out, from, length);
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        for (size_t i = 0; i < length; ++i) out[i] = from[i];
    }
}

int64_t Unpack(uint8_t* destination, uint32_t size, const uint8_t* in, const uint8_t* end, uint8_t escape) {
    uint8_t* out = destination;
    uint8_t* const outEnd = destination + size;
    while (in < end) {
        const auto* mark = static_cast<const uint8_t*>(std::memchr(in, escape, static_cast<size_t>(end - in)));
        const size_t run = static_cast<size_t>((mark != nullptr ? mark : end) - in);
        if (run > static_cast<size_t>(outEnd - out)) return Damaged("literals overrun the size");
        std::memcpy(out, in, run);
        out += run;
        in += run;
        if (mark == nullptr) break;
        ++in;
        uint32_t code, distance;
        if (!ReadNumber(&in, end, &code)) return Damaged("cut token");
        if (code == 0) {
            if (out == outEnd) return Damaged("literals overrun the size");
            *out++ = escape;
            continue;
        }
        if (!ReadNumber(&in, end, &distance)) return Damaged("cut token");
        const uint64_t length = code + uint64_t{kPackedMinMatch - 1};
        if (uint64_t{distance} + 1 > static_cast<uint64_t>(out - destination)) return Damaged("copy before the start");
        if (length > kPackedMaxCopy) return Damaged("copy longer than a token may make");
        if (length > static_cast<uint64_t>(outEnd - out)) return Damaged("copy overruns the size");
        CopyMatch(out, uint64_t{distance} + 1, static_cast<size_t>(length));
        out += length;
    }
    if (out != outEnd) return Damaged("shorter than its size");
    return size;
}

}  // namespace

int64_t DecompressPackedData(void* destination, const void* packed, uint32_t available) {
    if (packed == nullptr || available < kPackedHeadSize) return Damaged("no head");
    const auto* bytes = static_cast<const uint8_t*>(packed);
    const uint32_t size = ReadLE32(bytes);
    const uint32_t packedSize = ReadLE32(bytes + 4);
    if (packedSize < kPackedHeadSize || packedSize > available) return Damaged("packed size beyond the data");
    if (size > PackedSizeLimit(packedSize)) return Damaged("size beyond what its bytes can make");
    if (destination == nullptr) return size;
    return Unpack(static_cast<uint8_t*>(destination), size, bytes + kPackedHeadSize, bytes + packedSize,
                  bytes[8]);
}
