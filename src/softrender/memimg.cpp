// Software images: creation, views, release, palettes and conversion from
// decoded pictures.
#include "softrender/memimg.h"

#include "core/log.h"
#include "core/memory.h"
#include "image/image_decode.h"

#include <cstring>

namespace {

// Fills the descriptor of a colour type with its flags: the decoders'
// presets for the direct formats, so that pictures convert straight into them.
void DescribeFormat(ColorFormatInfo* f, int32_t colorType, int32_t alphaFlag, int32_t paletteFlag) {
    if (!paletteFlag && colorType == kMemImgX8R8G8B8) {
        if (alphaFlag) SetARGB8ColorFormat(f);
        else SetXRGB8ColorFormat(f);
        return;
    }
    if (!paletteFlag && colorType == kMemImgR5G6B5) {
        if (alphaFlag) SetR5G6B5A8ColorFormat(f);
        else SetR5G6B5ColorFormat(f);
        return;
    }
    std::memset(f, 0, sizeof(*f));
    if (paletteFlag) {
        f->colorBitDepth = 8;
        f->pixelByte = 1;
        f->isPalette = 1;
        return;
    }
    // One channel of 8 or 16 bits, described as grey.
    const uint8_t width = colorType == kMemImgChannel8 ? 8 : 16;
    f->colorBitDepth = width;
    f->pixelByte = width / 8;
    f->redWidth = f->greenWidth = f->blueWidth = width;
    f->redMask = f->greenMask = f->blueMask = (1u << width) - 1;
}

bool CheckArguments(int32_t width, int32_t height, int32_t colorType, uint32_t flags) {
    if (width < 0 || height < 0 || width > kMemImgMaxDimension || height > kMemImgMaxDimension) return false;
    if (colorType < kMemImgR5G6B5 || colorType > kMemImgChannel16) return false;
    if (flags & ~(kMemImgAlpha | kMemImgPalette)) return false;
    if ((flags & kMemImgAlpha) && (flags & kMemImgPalette)) return false;
    if (colorType >= kMemImgChannel8 && flags != 0) return false;
    return true;
}

int32_t PixelByteOf(int32_t colorType, uint32_t flags) {
    if (flags & kMemImgPalette) return 1;
    switch (colorType) {
    case kMemImgR5G6B5: return (flags & kMemImgAlpha) ? 4 : 2;
    case kMemImgX8R8G8B8: return 4;
    case kMemImgChannel8: return 1;
    default: return 2;
    }
}

uint32_t MaskTransparent(int32_t colorType, uint32_t flags, uint32_t color) {
    if (!(flags & kMemImgPalette) && (colorType == kMemImgR5G6B5 || colorType == kMemImgChannel16)) {
        return color & 0xFFFF;
    }
    return color;
}

// The base with its descriptor and palette; pixels are attached by the caller.
MemImgBase* NewBase(int32_t width, int32_t height, int32_t colorType, uint32_t flags, uint32_t transparentColor) {
    auto* base = static_cast<MemImgBase*>(ALLOC_MEMORY_ZEROED(sizeof(MemImgBase)));
    if (base == nullptr) return nullptr;
    base->refCount = 1;
    base->width = width;
    base->height = height;
    base->colorType = colorType;
    base->alphaFlag = (flags & kMemImgAlpha) ? 1 : 0;
    base->paletteFlag = (flags & kMemImgPalette) ? 1 : 0;
    base->transparentColor = MaskTransparent(colorType, flags, transparentColor);
    DescribeFormat(&base->formatStore, colorType, base->alphaFlag, base->paletteFlag);
    base->colorFormat = &base->formatStore;
    if (base->paletteFlag) {
        base->palette = ALLOC_MEMORY_ZEROED(256 * 4);
        if (base->palette == nullptr) {
            FreeMemory(base);
            return nullptr;
        }
    }
    return base;
}

void FreeBase(MemImgBase* base) {
    if (base->ownsPixels) FreeMemory(base->pixels);
    FreeMemory(base->palette);
    FreeMemory(base);
}

void AttachView(MEMIMG* image, MemImgBase* base) {
    image->validWord = kMemImgValid;
    image->width = base->width;
    image->height = base->height;
    image->pixels = base->pixels;
    image->base = base;
}

int FailCreate(MEMIMG* image, const char* why, int32_t width, int32_t height) {
    if (image != nullptr) std::memset(image, 0, sizeof(*image));
    WriteLogFormatted("ソフトウエアイメージの作成に失敗しました(%s, %d x %d)", why, width, height);
    return -1;
}

}  // namespace

int CreateMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t colorType, uint32_t flags,
                 uint32_t transparentColor) {
    if (image == nullptr || !CheckArguments(width, height, colorType, flags)) {
        return FailCreate(image, "引数が不正です", width, height);
    }
    int64_t pitch = (static_cast<int64_t>(width) * PixelByteOf(colorType, flags) + 3) & ~int64_t{3};
    int64_t bytes = pitch * height;
    if (bytes > 0x7FFFFFFF) return FailCreate(image, "大きすぎます", width, height);
    MemImgBase* base = NewBase(width, height, colorType, flags, transparentColor);
    // One spare byte keeps the pointer of an empty image valid.
    uint8_t* pixels = base ? static_cast<uint8_t*>(ALLOC_MEMORY_ZEROED(static_cast<uint32_t>(bytes) + 1)) : nullptr;
    if (pixels == nullptr) {
        if (base != nullptr) FreeBase(base);
        return FailCreate(image, "メモリ領域の確保に失敗しました", width, height);
    }
    base->pitch = static_cast<int32_t>(pitch);
    base->pixels = pixels;
    base->ownsPixels = 1;
    AttachView(image, base);
    return 0;
}

int CreateMemImgOnMemory(MEMIMG* image, int32_t width, int32_t height, int32_t colorType, uint32_t flags,
                         uint32_t transparentColor, void* pixels, int32_t pitch) {
    if (image == nullptr || pixels == nullptr || !CheckArguments(width, height, colorType, flags) ||
        pitch < static_cast<int64_t>(width) * PixelByteOf(colorType, flags)) {
        return FailCreate(image, "引数が不正です", width, height);
    }
    MemImgBase* base = NewBase(width, height, colorType, flags, transparentColor);
    if (base == nullptr) return FailCreate(image, "メモリ領域の確保に失敗しました", width, height);
    base->pitch = pitch;
    base->pixels = static_cast<uint8_t*>(pixels);
    base->ownsPixels = 0;
    AttachView(image, base);
    return 0;
}

int DeriveMemImg(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (view == nullptr || !IsMemImgValid(source)) return -1;
    auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; };
    int64_t left = clamp(x, 0, source->width);
    int64_t top = clamp(y, 0, source->height);
    int64_t right = clamp(static_cast<int64_t>(x) + (width < 0 ? 0 : width), left, source->width);
    int64_t bottom = clamp(static_cast<int64_t>(y) + (height < 0 ? 0 : height), top, source->height);
    MemImgBase* base = source->base;
    uint8_t* pixels = source->pixels + top * base->pitch + left * base->colorFormat->pixelByte;
    base->refCount++;
    // The source may be the view itself: read everything before writing.
    view->validWord = kMemImgValid;
    view->width = static_cast<int32_t>(right - left);
    view->height = static_cast<int32_t>(bottom - top);
    view->pixels = pixels;
    view->base = base;
    return 0;
}

void ReleaseMemImg(MEMIMG* image) {
    if (!IsMemImgValid(image)) return;
    MemImgBase* base = image->base;
    std::memset(image, 0, sizeof(*image));
    if (--base->refCount <= 0) FreeBase(base);
}

int IsMemImgValid(const MEMIMG* image) {
    return image != nullptr && image->validWord == kMemImgValid && image->base != nullptr ? 1 : 0;
}

int32_t GetMemImgPixelByte(const MEMIMG* image) { return image->base->colorFormat->pixelByte; }

uint8_t* GetMemImgPixelAddress(const MEMIMG* image, int32_t x, int32_t y) {
    return image->pixels + static_cast<intptr_t>(y) * image->base->pitch +
           static_cast<intptr_t>(x) * image->base->colorFormat->pixelByte;
}

int SetMemImgPalette(MEMIMG* image, const uint32_t* entries, int32_t count) {
    if (!IsMemImgValid(image) || !image->base->paletteFlag || entries == nullptr || count < 0) return -1;
    MemImgBase* base = image->base;
    if (count > 256) count = 256;
    for (int32_t i = 0; i < count; ++i) {
        if (base->colorType == kMemImgX8R8G8B8) {
            static_cast<uint32_t*>(base->palette)[i] = entries[i];
        } else {
            static_cast<uint16_t*>(base->palette)[i] = static_cast<uint16_t>(entries[i]);
        }
    }
    base->paletteSize = count;
    return 0;
}

void SetMemImgTransparentColor(MEMIMG* image, uint32_t color) {
    if (!IsMemImgValid(image)) return;
    MemImgBase* base = image->base;
    uint32_t flags = base->paletteFlag ? kMemImgPalette : 0;
    base->transparentColor = MaskTransparent(base->colorType, flags, color);
}

uint32_t MakeMemImgColor(int32_t colorType, int32_t red, int32_t green, int32_t blue) {
    auto clamp = [](int32_t v) { return static_cast<uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    uint32_t r = clamp(red), g = clamp(green), b = clamp(blue);
    if (colorType == kMemImgR5G6B5) return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    return (r << 16) | (g << 8) | b;
}

// ---- conversion from decoded pictures -------------------------------------

namespace {

// A picture whose rows do not overlap (block rows for compressed pictures).
bool HasWholeRows(const PixelImage* p) {
    if (p->width < 0 || p->height < 0) return false;
    if (p->width == 0 || p->height == 0) return true;
    if (p->pixels == nullptr) return false;
    if (p->format.dxtType != 0) return p->pitch > 0;
    return p->format.pixelByte >= 1 && p->pitch >= static_cast<int64_t>(p->width) * p->format.pixelByte;
}

}  // namespace

int CreateMemImgFromPixelImage(MEMIMG* image, const PixelImage* picture, int32_t colorType, uint32_t flags,
                               uint32_t transparentColor) {
    const bool keepPalette = (flags & kMemImgPalette) != 0;
    if (image == nullptr || picture == nullptr || !HasWholeRows(picture) ||
        (colorType != kMemImgR5G6B5 && colorType != kMemImgX8R8G8B8) ||
        (keepPalette && (!picture->format.isPalette || picture->format.pixelByte != 1))) {
        return FailCreate(image, "変換できない画像です", picture ? picture->width : 0, picture ? picture->height : 0);
    }
    if (CreateMemImg(image, picture->width, picture->height, colorType, flags, transparentColor) != 0) return -1;
    if (picture->width == 0 || picture->height == 0) return 0;
    MemImgBase* base = image->base;
    if (!keepPalette) {
        if (ConvertPixelImageRect(picture, 0, 0, picture->width, picture->height, base->colorFormat, base->pixels,
                                  base->pitch) != 0) {
            ReleaseMemImg(image);
            return FailCreate(image, "変換できない画像です", picture->width, picture->height);
        }
        return 0;
    }
    uint32_t entries[256];
    for (int i = 0; i < 256; ++i) {
        uint32_t argb = picture->format.palette[i];
        entries[i] = MakeMemImgColor(colorType, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
    }
    SetMemImgPalette(image, entries, 256);
    for (int32_t y = 0; y < picture->height; ++y) {
        std::memcpy(base->pixels + static_cast<intptr_t>(y) * base->pitch,
                    static_cast<const uint8_t*>(picture->pixels) + static_cast<intptr_t>(y) * picture->pitch,
                    static_cast<size_t>(picture->width));
    }
    return 0;
}
