// TGA: colour-mapped (1), true-colour (2) and grey (3) pictures and their
// run-length versions (9, 10, 11); either origin; 8, 15, 16, 24 and 32 bits.
// A TGA 2.0 footer, like any trailing data, is ignored.
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace {

struct TgaHeader {
    int idLength, colorMapType, imageType;
    int mapFirst, mapLength, mapEntryBits;
    int width, height, bitsPerPixel, descriptor;
};

TgaHeader ParseHeader(const uint8_t* h) {
    return {h[0],         h[1],         h[2],          int(LoadLE16(h + 3)), int(LoadLE16(h + 5)), h[7],
            int(LoadLE16(h + 12)), int(LoadLE16(h + 14)), h[16], h[17]};
}

int BaseType(int imageType) { return imageType & 7; }

// Strict, since TGA files carry no signature.
bool IsValidHeader(const TgaHeader& h) {
    int type = h.imageType;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
    if (h.colorMapType > 1 || h.width < 1 || h.height < 1) return false;
    if ((h.descriptor & 0xC0) != 0 || (h.descriptor & 15) > 8) return false;  // interleaving is not supported
    if (h.colorMapType == 1) {
        int e = h.mapEntryBits;
        if (e != 15 && e != 16 && e != 24 && e != 32) return false;
    }
    switch (BaseType(type)) {
    case 1: return h.colorMapType == 1 && h.bitsPerPixel == 8 && h.mapFirst + h.mapLength <= 256 && h.mapLength > 0;
    case 2: return h.bitsPerPixel == 15 || h.bitsPerPixel == 16 || h.bitsPerPixel == 24 || h.bitsPerPixel == 32;
    default: return h.bitsPerPixel == 8 || h.bitsPerPixel == 16;
    }
}

uint32_t MapEntryToArgb(const uint8_t* e, int bits, bool useAlpha) {
    if (bits == 15 || bits == 16) {
        uint32_t v = LoadLE16(e);
        uint32_t r = v >> 10 & 31, g = v >> 5 & 31, b = v & 31;
        uint32_t a = useAlpha && !(v & 0x8000) ? 0 : 255;
        return a << 24 | ((r << 3) | (r >> 2)) << 16 | ((g << 3) | (g >> 2)) << 8 | ((b << 3) | (b >> 2));
    }
    uint32_t a = useAlpha && bits == 32 ? e[3] : 255;
    return a << 24 | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
}

void ChooseFormat(const TgaHeader& h, const uint8_t* colorMap, ColorFormatInfo* format, int* outBytes) {
    int alphaBits = h.descriptor & 15;
    switch (BaseType(h.imageType)) {
    case 1: {
        uint32_t palette[256];
        int entryBytes = (h.mapEntryBits + 7) / 8;
        bool alpha = (h.mapEntryBits == 32 && alphaBits > 0) || (h.mapEntryBits == 16 && alphaBits > 0);
        for (int i = 0; i < 256; ++i) palette[i] = 0xFF000000u;
        for (int i = 0; i < h.mapLength; ++i)
            palette[h.mapFirst + i] = MapEntryToArgb(colorMap + i * entryBytes, h.mapEntryBits, alpha);
        SetPalette8ColorFormat(format, palette, 256, alpha ? 1 : 0);
        *outBytes = 1;
        return;
    }
    case 2:
        if (h.bitsPerPixel <= 16) {
            if (h.bitsPerPixel == 16 && alphaBits > 0) SetA1R5G5B5ColorFormat(format);
            else SetX1R5G5B5ColorFormat(format);
            *outBytes = 2;
        } else if (h.bitsPerPixel == 24) {
            SetRGB8ColorFormat(format);
            *outBytes = 3;
        } else {
            if (alphaBits > 0) SetARGB8ColorFormat(format);
            else SetXRGB8ColorFormat(format);
            *outBytes = 4;
        }
        return;
    default:
        if (h.bitsPerPixel == 8) {
            SetPalette8ColorFormat(format, nullptr, 256, 0);
            *outBytes = 1;
        } else {  // grey and alpha
            SetARGB8ColorFormat(format);
            *outBytes = 4;
        }
        return;
    }
}

// One file pixel (fileBytes) to the picture's pixel (outBytes).
inline void StoreTgaPixel(const TgaHeader& h, const ColorFormatInfo& format, const uint8_t* src, int fileBytes,
                          uint8_t* dst, int outBytes) {
    if (BaseType(h.imageType) == 3 && fileBytes == 2) {
        uint32_t grey = src[0], alpha = (h.descriptor & 15) ? src[1] : 255;
        StorePixelValue(dst, 4, alpha << 24 | grey << 16 | grey << 8 | grey);
        return;
    }
    uint32_t used = format.isPalette ? 0xFF : format.redMask | format.greenMask | format.blueMask | format.alphaMask;
    StorePixelValue(dst, outBytes, LoadPixelValue(src, fileBytes) & used);
}

}  // namespace

int DecodeTgaImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t raw[18];
    if (!ReadStreamExact(stream, raw, sizeof(raw))) return -1;
    TgaHeader h = ParseHeader(raw);
    if (!IsValidHeader(h)) return -1;
    int fileBytes = (h.bitsPerPixel + 7) / 8;
    if (!IsDecodeSizeAllowed(h.width, h.height, 4)) return -1;

    // Identification field, colour map, then the pixels.
    uint8_t skip[255];
    if (!ReadStreamExact(stream, skip, size_t(h.idLength))) return -1;
    size_t mapBytes = h.colorMapType ? size_t(h.mapLength) * ((h.mapEntryBits + 7) / 8) : 0;
    uint8_t* colorMap = static_cast<uint8_t*>(std::malloc(mapBytes ? mapBytes : 1));
    if (colorMap == nullptr) return -1;
    if (!ReadStreamExact(stream, colorMap, mapBytes)) {
        std::free(colorMap);
        return -1;
    }
    ColorFormatInfo format;
    int outBytes;
    ChooseFormat(h, colorMap, &format, &outBytes);
    std::free(colorMap);

    int64_t pixelCount = int64_t(h.width) * h.height;
    bool rle = h.imageType >= 9;
    // Worst case of run-length data: a one-pixel raw packet per pixel.
    size_t maxData = size_t(pixelCount * (fileBytes + (rle ? 1 : 0)));
    uint8_t* data;
    size_t size;
    if (!ReadStreamUpTo(stream, maxData, &data, &size)) return -1;
    if (!rle && size < maxData) {
        std::free(data);
        return -1;
    }
    if (!CreateDecodedImage(h.width, h.height, &format, out)) {
        std::free(data);
        return -1;
    }
    bool topDown = (h.descriptor & 0x20) != 0, rightToLeft = (h.descriptor & 0x10) != 0;
    auto target = [&](int64_t index) {
        int64_t row = index / h.width, column = index % h.width;
        int y = int(topDown ? row : h.height - 1 - row);
        int x = int(rightToLeft ? h.width - 1 - column : column);
        return PixelRow(out, y) + ptrdiff_t(x) * outBytes;
    };
    size_t pos = 0;
    int64_t index = 0;
    bool ok = true;
    while (index < pixelCount) {
        if (!rle) {
            StoreTgaPixel(h, format, data + pos, fileBytes, target(index++), outBytes);
            pos += size_t(fileBytes);
            continue;
        }
        if (pos >= size) {
            ok = false;
            break;
        }
        uint8_t packet = data[pos++];
        int64_t count = (packet & 0x7F) + 1;
        if (count > pixelCount - index) count = pixelCount - index;  // a packet may not cross the picture's end
        if (packet & 0x80) {
            if (size - pos < size_t(fileBytes)) {
                ok = false;
                break;
            }
            for (int64_t i = 0; i < count; ++i) StoreTgaPixel(h, format, data + pos, fileBytes, target(index++), outBytes);
            pos += size_t(fileBytes);
        } else {
            if (size_t(count * fileBytes) > size - pos) {
                ok = false;
                break;
            }
            for (int64_t i = 0; i < count; ++i) {
                StoreTgaPixel(h, format, data + pos, fileBytes, target(index++), outBytes);
                pos += size_t(fileBytes);
            }
        }
    }
    std::free(data);
    if (!ok) {
        ReleasePixelImage(out);
        return -1;
    }
    return 0;
}
