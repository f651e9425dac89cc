// Helpers shared by the image decoders and the picture operations.
#pragma once

#include "image/image_decode.h"

#include <cstddef>
#include <cstdint>

namespace image_internal {

inline uint32_t LoadLE16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A pixel of 1 to 4 bytes, little-endian.
inline uint32_t LoadPixelValue(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return LoadLE16(p);
    case 3: return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    default: return LoadLE32(p);
    }
}
inline void StorePixelValue(uint8_t* p, int bytes, uint32_t value) {
    for (int i = 0; i < bytes; ++i) p[i] = uint8_t(value >> (8 * i));
}

inline uint8_t* PixelRow(const PixelImage* image, int y) {
    return static_cast<uint8_t*>(image->pixels) + ptrdiff_t(y) * image->pitch;
}

// Bytes read from the stream (fewer at its end).
size_t ReadStream(DataStream* stream, void* buffer, size_t bytes);
// Reads exactly bytes; false when the stream ends first.
bool ReadStreamExact(DataStream* stream, void* buffer, size_t bytes);
// Bytes between the stream's position and its end, the position kept; -1
// when the stream cannot tell. Decoders of uncompressed data check it before
// they allocate the picture a header asks for.
int64_t GetStreamBytesLeft(DataStream* stream);
// Reads up to maxBytes, stopping at the stream's end, into a new malloc block
// (*data, *size). false when memory runs out.
bool ReadStreamUpTo(DataStream* stream, size_t maxBytes, uint8_t** data, size_t* size);

// Allocates the picture a decoder fills: within kMaxDecodeDimension and
// kMaxDecodeBytes. false (out cleared) otherwise.
bool CreateDecodedImage(int width, int height, const ColorFormatInfo* format, PixelImage* out);
// True when a width x height picture of bytesPerPixel is within the decode
// limits.
bool IsDecodeSizeAllowed(int64_t width, int64_t height, int bytesPerPixel);

void ClearPixelImageRecord(PixelImage* image);

}  // namespace image_internal
