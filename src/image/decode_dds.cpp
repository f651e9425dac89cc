// DDS: DXT1 to DXT5 kept compressed, and uncompressed RGB, luminance and
// alpha surfaces by their masks. Only the first surface (top mip level, first
// face) is read.
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace {

constexpr uint32_t kDdpfAlphaPixels = 0x1, kDdpfAlpha = 0x2, kDdpfFourCC = 0x4, kDdpfRgb = 0x40,
                   kDdpfLuminance = 0x20000;

uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

}  // namespace

int DecodeDdsImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t h[128];
    if (!ReadStreamExact(stream, h, sizeof(h)) || std::memcmp(h, "DDS ", 4) != 0) return -1;
    // Header (124 bytes) after the magic; pixel format at offset 76 of it.
    if (LoadLE32(h + 4) != 124 || LoadLE32(h + 4 + 72) != 32) return -1;
    uint32_t rawHeight = LoadLE32(h + 4 + 8), rawWidth = LoadLE32(h + 4 + 12);
    const uint8_t* pf = h + 4 + 72;
    uint32_t pfFlags = LoadLE32(pf + 4), fourCC = LoadLE32(pf + 8), bitCount = LoadLE32(pf + 12);
    uint32_t masks[4] = {LoadLE32(pf + 16), LoadLE32(pf + 20), LoadLE32(pf + 24), LoadLE32(pf + 28)};
    if (rawWidth < 1 || rawHeight < 1 || rawWidth > uint32_t(kMaxDecodeDimension) ||
        rawHeight > uint32_t(kMaxDecodeDimension))
        return -1;
    int width = int(rawWidth), height = int(rawHeight);

    ColorFormatInfo format;
    if (pfFlags & kDdpfFourCC) {
        int dxt = 0;
        for (int i = 1; i <= 5; ++i)
            if (fourCC == FourCC('D', 'X', 'T', char('0' + i))) dxt = i;
        if (dxt == 0) return -1;  // DX10 headers and other codes are not read
        SetDXTColorFormat(&format, dxt);
    } else {
        if (!(pfFlags & (kDdpfRgb | kDdpfLuminance | kDdpfAlpha))) return -1;
        if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return -1;
        uint32_t r = masks[0], g = masks[1], b = masks[2];
        uint32_t a = (pfFlags & (kDdpfAlphaPixels | kDdpfAlpha)) ? masks[3] : 0;
        if (pfFlags & kDdpfLuminance) g = b = r;  // one channel read as grey
        if (pfFlags & kDdpfAlpha && !(pfFlags & (kDdpfRgb | kDdpfLuminance))) r = g = b = 0;
        if (SetColorFormatFromMasks(&format, int(bitCount), r, g, b, a) != 0) return -1;
    }
    // A short file gets no picture of the size its header asks for.
    int64_t dataBytes = format.dxtType != 0
                            ? int64_t((width + 3) / 4) * ((height + 3) / 4) * GetDXTBlockBytes(format.dxtType)
                            : int64_t(width) * height * format.pixelByte;
    int64_t left = GetStreamBytesLeft(stream);
    if (left >= 0 && left < dataBytes) return -1;
    if (!CreateDecodedImage(width, height, &format, out)) return -1;

    if (format.dxtType != 0) {
        // Rows of blocks lie packed, exactly as the picture keeps them.
        size_t bytes = size_t(out->pitch) * size_t((height + 3) / 4);
        if (!ReadStreamExact(stream, out->pixels, bytes)) {
            ReleasePixelImage(out);
            return -1;
        }
        return 0;
    }
    // Uncompressed rows lie packed without padding.
    int bpp = format.pixelByte;
    uint32_t used = format.redMask | format.greenMask | format.blueMask | format.alphaMask;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = PixelRow(out, y);
        if (!ReadStreamExact(stream, row, size_t(width) * bpp)) {
            ReleasePixelImage(out);
            return -1;
        }
        for (int x = 0; x < width; ++x)
            StorePixelValue(row + x * bpp, bpp, LoadPixelValue(row + x * bpp, bpp) & used);
    }
    return 0;
}
