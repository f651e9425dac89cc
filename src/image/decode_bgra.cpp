// The raw BGRA format: "BGRA", width and height as little-endian u32, then the
// rows top to bottom, each pixel the bytes B, G, R, A, no padding.
#include "image/image_internal.h"

#include <cstring>

using namespace image_internal;

int DecodeBgraImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t header[12];
    if (!ReadStreamExact(stream, header, sizeof(header)) || std::memcmp(header, "BGRA", 4) != 0) return -1;
    uint32_t width = LoadLE32(header + 4), height = LoadLE32(header + 8);
    if (!IsDecodeSizeAllowed(width, height, 4)) return -1;
    int64_t left = GetStreamBytesLeft(stream);
    if (left >= 0 && left < int64_t(width) * height * 4) return -1;  // no picture for a short file
    ColorFormatInfo format;
    SetARGB8ColorFormat(&format);
    if (!CreateDecodedImage(int(width), int(height), &format, out)) return -1;
    // A8R8G8B8 lies in memory as B, G, R, A: the rows are read as they are.
    for (uint32_t y = 0; y < height; ++y) {
        if (!ReadStreamExact(stream, PixelRow(out, int(y)), size_t(width) * 4)) {
            ReleasePixelImage(out);
            return -1;
        }
    }
    return 0;
}
