// BMP: Windows and OS/2 headers; 1, 4 and 8-bit palettes with RLE8 and RLE4;
// 16 and 32-bit with bit fields; 24-bit; bottom-up and top-down rows.
#include "image/image_internal.h"

#include <cstdlib>
#include <cstring>

using namespace image_internal;

namespace {

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;
constexpr uint32_t kMaxPaletteGap = 16u << 20;  // bytes allowed between the header and the pixels

struct BmpInfo {
    uint32_t headerSize;
    int64_t width, height;  // height positive; topDown tells the row order
    bool topDown;
    int bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    uint32_t colorsUsed;
    uint32_t masks[4];  // red, green, blue, alpha
    bool hasMasks;
    bool hasAlphaMask;
};

bool ParseInfoHeader(const uint8_t* h, uint32_t size, BmpInfo* info) {
    std::memset(info, 0, sizeof(*info));
    info->headerSize = size;
    if (size == 12) {  // OS/2 core header
        info->width = LoadLE16(h + 4);
        info->height = LoadLE16(h + 6);
        info->bitCount = int(LoadLE16(h + 10));
        return true;
    }
    if (size != 40 && size != 52 && size != 56 && size != 64 && size != 108 && size != 124) return false;
    info->width = int32_t(LoadLE32(h + 4));
    int64_t height = int32_t(LoadLE32(h + 8));
    info->topDown = height < 0;
    info->height = height < 0 ? -height : height;
    info->bitCount = int(LoadLE16(h + 14));
    info->compression = LoadLE32(h + 16);
    info->sizeImage = LoadLE32(h + 20);
    info->colorsUsed = LoadLE32(h + 32);
    if (size == 64 && info->compression > kBiRle4) return false;  // OS/2 Huffman and RLE24
    if (size >= 52 && size != 64) {
        for (int i = 0; i < 3; ++i) info->masks[i] = LoadLE32(h + 40 + 4 * i);
        if (size >= 56) {
            info->masks[3] = LoadLE32(h + 52);
            info->hasAlphaMask = true;
        }
        info->hasMasks = true;
    }
    return true;
}

bool IsValidCombination(const BmpInfo& info) {
    if (info.width < 1 || info.height < 1) return false;
    switch (info.compression) {
    case kBiRgb:
        return info.bitCount == 1 || info.bitCount == 4 || info.bitCount == 8 || info.bitCount == 16 ||
               info.bitCount == 24 || info.bitCount == 32;
    case kBiRle8: return info.bitCount == 8 && !info.topDown;
    case kBiRle4: return info.bitCount == 4 && !info.topDown;
    case kBiBitfields:
    case kBiAlphaBitfields: return info.bitCount == 16 || info.bitCount == 32;
    default: return false;
    }
}

// The packed format of a 16 or 32-bit file.
bool MakePackedFormat(const BmpInfo& info, ColorFormatInfo* format) {
    if (info.compression == kBiRgb) {
        if (info.bitCount == 16) SetX1R5G5B5ColorFormat(format);
        else if (info.bitCount == 24) SetRGB8ColorFormat(format);
        else SetXRGB8ColorFormat(format);
        return true;
    }
    uint32_t alpha = info.hasAlphaMask ? info.masks[3] : 0;
    return SetColorFormatFromMasks(format, info.bitCount, info.masks[0], info.masks[1], info.masks[2], alpha) == 0;
}

int OutputRow(const BmpInfo& info, int64_t fileRow) {
    return int(info.topDown ? fileRow : info.height - 1 - fileRow);
}

void DecodeUncompressed(const BmpInfo& info, const uint8_t* data, int64_t rowBytes, PixelImage* out) {
    const ColorFormatInfo& format = out->format;
    int64_t width = info.width;
    for (int64_t row = 0; row < info.height; ++row) {
        const uint8_t* src = data + row * rowBytes;
        uint8_t* dst = PixelRow(out, OutputRow(info, row));
        switch (info.bitCount) {
        case 1:
            for (int64_t x = 0; x < width; ++x) dst[x] = src[x >> 3] >> (7 - (x & 7)) & 1;
            break;
        case 4:
            for (int64_t x = 0; x < width; ++x) dst[x] = src[x >> 1] >> ((x & 1) ? 0 : 4) & 15;
            break;
        case 8:
        case 24: std::memcpy(dst, src, size_t(width * (info.bitCount / 8))); break;
        default: {
            // Bits outside the masks become 0 so that whole pixels compare.
            int bpp = info.bitCount / 8;
            uint32_t used = format.redMask | format.greenMask | format.blueMask | format.alphaMask;
            for (int64_t x = 0; x < width; ++x)
                StorePixelValue(dst + x * bpp, bpp, LoadPixelValue(src + x * bpp, bpp) & used);
        }
        }
    }
}

// RLE8 and RLE4 into a palette picture (already zeroed). Pixels that a run
// puts beyond the row's end are dropped. False when the data ends before the
// end-of-bitmap code or the last row.
bool DecodeRle(const BmpInfo& info, const uint8_t* data, size_t size, PixelImage* out) {
    bool four = info.compression == kBiRle4;
    int64_t x = 0, y = 0;
    size_t pos = 0;
    auto put = [&](int64_t px, uint8_t index) {
        if (px < info.width && y < info.height) PixelRow(out, OutputRow(info, y))[px] = index;
    };
    while (y < info.height) {
        if (size - pos < 2) return false;
        uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {  // encoded run
            for (int i = 0; i < count; ++i) {
                uint8_t index = four ? uint8_t((i & 1) ? value & 15 : value >> 4) : value;
                put(x + i, index);
            }
            x += count;
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return true;
        } else if (value == 2) {  // delta
            if (size - pos < 2) return false;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
        } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
            size_t bytes = four ? (size_t(value) + 1) / 2 : value;
            size_t padded = (bytes + 1) & ~size_t(1);
            if (size - pos < padded) return false;
            for (int i = 0; i < value; ++i) {
                uint8_t index = four ? uint8_t((i & 1) ? data[pos + i / 2] & 15 : data[pos + i / 2] >> 4) : data[pos + i];
                put(x + i, index);
            }
            x += value;
            pos += padded;
        }
    }
    return true;
}

}  // namespace

int DecodeBmpImage(DataStream* stream, PixelImage* out) {
    ClearPixelImageRecord(out);
    uint8_t fileHeader[14 + 4];
    if (!ReadStreamExact(stream, fileHeader, sizeof(fileHeader)) || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return -1;
    uint32_t pixelOffset = LoadLE32(fileHeader + 10);
    uint32_t headerSize = LoadLE32(fileHeader + 14);
    uint8_t header[124];
    BmpInfo info;
    if (headerSize < 12 || headerSize > sizeof(header)) return -1;
    std::memcpy(header, fileHeader + 14, 4);
    if (!ReadStreamExact(stream, header + 4, headerSize - 4) || !ParseInfoHeader(header, headerSize, &info) ||
        !IsValidCombination(info))
        return -1;
    uint64_t pos = 14 + uint64_t(headerSize);
    if ((info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) && headerSize == 40) {
        int maskCount = info.compression == kBiAlphaBitfields ? 4 : 3;
        uint8_t masks[16];
        if (!ReadStreamExact(stream, masks, size_t(maskCount) * 4)) return -1;
        for (int i = 0; i < maskCount; ++i) info.masks[i] = LoadLE32(masks + 4 * i);
        info.hasAlphaMask = maskCount == 4;
        pos += uint64_t(maskCount) * 4;
    } else if ((info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) && !info.hasMasks) {
        return -1;
    }
    // Whatever lies between here and the pixels: the palette, perhaps more.
    if (pixelOffset < pos || pixelOffset - pos > kMaxPaletteGap) return -1;
    size_t gapSize = size_t(pixelOffset - pos);
    uint8_t* gap = static_cast<uint8_t*>(std::malloc(gapSize ? gapSize : 1));
    if (gap == nullptr) return -1;
    if (!ReadStreamExact(stream, gap, gapSize)) {
        std::free(gap);
        return -1;
    }

    ColorFormatInfo format;
    if (info.bitCount <= 8) {
        uint32_t palette[256];
        int entrySize = headerSize == 12 ? 3 : 4;
        int64_t wanted = info.colorsUsed ? info.colorsUsed : (1 << info.bitCount);
        if (wanted > (1 << info.bitCount)) wanted = 1 << info.bitCount;
        int64_t present = int64_t(gapSize) / entrySize;
        int count = int(wanted < present ? wanted : present);
        for (int i = 0; i < count; ++i) {
            const uint8_t* e = gap + i * entrySize;
            palette[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
        SetPalette8ColorFormat(&format, palette, count, 0);
    } else if (!MakePackedFormat(info, &format)) {
        std::free(gap);
        return -1;
    }
    std::free(gap);

    int outBytes = info.bitCount <= 8 ? 1 : info.bitCount / 8;
    if (!IsDecodeSizeAllowed(info.width, info.height, outBytes)) return -1;
    int64_t rowBytes = (info.width * info.bitCount + 31) / 32 * 4;
    bool rle = info.compression == kBiRle8 || info.compression == kBiRle4;
    // The last row may lack its padding.
    int64_t need = rle ? 2 * (info.width + 2) * info.height + 16
                       : rowBytes * (info.height - 1) + (info.width * info.bitCount + 7) / 8;
    if (need > kMaxDecodeBytes) return -1;
    uint8_t* data;
    size_t size;
    if (!ReadStreamUpTo(stream, size_t(rle ? need : rowBytes * info.height), &data, &size)) return -1;
    if (!rle && int64_t(size) < need) {
        std::free(data);
        return -1;
    }
    if (!rle && int64_t(size) < rowBytes * info.height) {
        // Give the missing padding of the last row a home.
        uint8_t* whole = static_cast<uint8_t*>(std::realloc(data, size_t(rowBytes * info.height)));
        if (whole == nullptr) {
            std::free(data);
            return -1;
        }
        data = whole;
    }
    if (!CreateDecodedImage(int(info.width), int(info.height), &format, out)) {
        std::free(data);
        return -1;
    }
    bool ok = true;
    if (rle)
        ok = DecodeRle(info, data, size, out);
    else
        DecodeUncompressed(info, data, rowBytes, out);
    std::free(data);
    if (!ok) {
        ReleasePixelImage(out);
        return -1;
    }
    return 0;
}
