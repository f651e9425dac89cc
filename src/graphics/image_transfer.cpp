// Pictures into existing images: a rectangle of a main-memory picture (and of
// a second picture as its alpha) converted into the image's pixels, which every
// image keeps on both paths, and from there into its textures while the device
// draws.
#include "core/log.h"
#include "core/memory.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <algorithm>
#include <cstring>

namespace {

// The live image a picture goes into, or null (logged); graphics must run.
ImageRecord* TargetImage(int32_t image, const char* caller) {
    if (!Screen().started) {
        WriteLogFormatted("グラフィックスが初期化されていません in %s", caller);
        return nullptr;
    }
    return FindImageLogged(image, caller);
}

bool HasPixels(const PixelImage* picture) {
    return picture != nullptr && picture->pixels != nullptr && picture->width > 0 && picture->height > 0;
}

bool SameSize(const PixelImage* picture, int32_t width, int32_t height, const char* caller) {
    if (picture->width == width && picture->height == height) return true;
    WriteLogFormatted("画像のサイズ(%d x %d)が転送先のサイズ(%d x %d)と違います in %s", picture->width,
                      picture->height, width, height, caller);
    return false;
}

// Writes the alpha picture's rectangle into the alpha of the image's pixels
// from (destX, destY): each pixel's blue channel (a grey picture's level)
// becomes its alpha. An image without alpha keeps its pixels as they are.
void StoreAlphaRect(const PixelImage* alpha, const RECT& from, const MEMIMG& to, int32_t destX, int32_t destY) {
    const ColorFormatInfo* format = to.base->colorFormat;
    if (format->alphaWidth == 0) return;
    const size_t bytes = format->pixelByte;
    for (int32_t y = from.top; y < from.bottom; ++y) {
        uint8_t* out = GetMemImgPixelAddress(&to, destX, destY + y - from.top);
        for (int32_t x = from.left; x < from.right; ++x, out += bytes) {
            int level = 255, red = 0, green = 0, blue = 0;
            GetPixelImagePixel(alpha, x, y, nullptr, nullptr, &level, nullptr);
            uint32_t value = 0;
            std::memcpy(&value, out, bytes);
            UnpackColorValue(format, value, &red, &green, &blue, nullptr);
            value = PackColorValue(format, red, green, blue, level);
            std::memcpy(out, &value, bytes);
        }
    }
}

// A colour-keyed image holds its cut-out as the transparent colour: each
// pixel to which the alpha picture, or else the picture's own alpha, gives
// less than half alpha becomes that colour.
void KeyOutClearPixels(const PixelImage* picture, const PixelImage* alpha, const RECT& from, const ImageRecord& record,
                       int32_t destX, int32_t destY) {
    const MEMIMG& to = record.memImg;
    if (record.picture->flags[kPictureCutOut] == 0 || (alpha == nullptr && picture->format.alphaWidth == 0)) return;
    const size_t bytes = to.base->colorFormat->pixelByte;
    const uint32_t key = to.base->transparentColor;
    for (int32_t y = from.top; y < from.bottom; ++y) {
        uint8_t* out = GetMemImgPixelAddress(&to, destX, destY + y - from.top);
        for (int32_t x = from.left; x < from.right; ++x, out += bytes) {
            int level = 255;
            if (alpha != nullptr) {
                GetPixelImagePixel(alpha, x, y, nullptr, nullptr, &level, nullptr);
            } else {
                GetPixelImagePixel(picture, x, y, nullptr, nullptr, nullptr, &level);
            }
            if (level < 128) std::memcpy(out, &key, bytes);
        }
    }
}

void ForgetFileName(ImageRecord* record) {
    FreeMemory(record->fileName);
    record->fileName = nullptr;
}

// The files the picture's images were loaded from no longer hold its pixels:
// a restore after a lost device must not load them over the new ones.
void ForgetPictureFileNames(ImageRecord* record) {
    ForgetFileName(record);
    if (record->picture->refCount == 1) return;
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* other = table.At(slot);
        if (other != nullptr && other->picture == record->picture) ForgetFileName(other);
    }
}

// Cuts the source rectangle to the picture and then, placed at (destX,
// destY), to the image; the destination point moves with a cut left or top
// edge. False when nothing is left.
bool ClipTransfer(RECT* from, int32_t* destX, int32_t* destY, const PixelImage* picture, const ImageRecord* record) {
    int64_t left = from->left, top = from->top, right = from->right, bottom = from->bottom;
    int64_t x = *destX, y = *destY;
    if (left < 0) x -= left, left = 0;
    if (top < 0) y -= top, top = 0;
    if (x < 0) left -= x, x = 0;
    if (y < 0) top -= y, y = 0;
    right = std::min({right, int64_t{picture->width}, left + record->width - x});
    bottom = std::min({bottom, int64_t{picture->height}, top + record->height - y});
    if (left >= right || top >= bottom) return false;
    *from = RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
    *destX = static_cast<int32_t>(x);
    *destY = static_cast<int32_t>(y);
    return true;
}

// A whole picture (and its alpha picture) into an image of their size, which
// then forgets its file.
int TransferWholePicture(const PixelImage* picture, const PixelImage* alpha, ImageRecord* record,
                         const char* caller) {
    if (!HasPixels(picture) || (alpha != nullptr && !HasPixels(alpha))) {
        return WriteLogFormatted("転送する画像がありません in %s", caller);
    }
    if (!SameSize(picture, record->width, record->height, caller)) return -1;
    if (alpha != nullptr && !SameSize(alpha, record->width, record->height, caller)) return -1;
    const RECT whole{0, 0, picture->width, picture->height};
    if (TransferPictureRect(picture, alpha, whole, record, 0, 0) != 0) return -1;
    ForgetPictureFileNames(record);
    return 0;
}

}  // namespace

int TransferPictureRect(const PixelImage* picture, const PixelImage* alpha, const RECT& from, ImageRecord* record,
                        int32_t destX, int32_t destY) {
    const MEMIMG& m = record->memImg;
    const int32_t width = from.right - from.left, height = from.bottom - from.top;
    if (ConvertPixelImageRect(picture, from.left, from.top, width, height, m.base->colorFormat,
                              GetMemImgPixelAddress(&m, destX, destY), m.base->pitch) != 0) {
        return WriteLog("画像の変換に失敗しました in TransferPictureRect\n");
    }
    if (alpha != nullptr) StoreAlphaRect(alpha, from, m, destX, destY);
    KeyOutClearPixels(picture, alpha, from, *record, destX, destY);
    ImagePicture* p = record->picture;
    // Without the device the textures take the pixels when they are made again.
    if (Screen().d3dActive && p->textures != nullptr &&
        UploadPictureRect(p, record->x + destX, record->y + destY, width, height) != 0) {
        return WriteLog("テクスチャへの転送に失敗しました in TransferPictureRect\n");
    }
    return 0;
}

int UpdateImageFromBitmap(const PixelImage* source, int32_t, int32_t, const char*, int32_t,
                          const PixelImage* alphaSource, int32_t, const RECT* sourceRect, int32_t destX, int32_t destY,
                          int32_t image, int32_t) {
    ImageRecord* record = TargetImage(image, "UpdateImageFromBitmap");
    if (record == nullptr) return -1;
    if (!HasPixels(source) || (alphaSource != nullptr && !HasPixels(alphaSource))) {
        return WriteLog("転送する画像がありません in UpdateImageFromBitmap\n");
    }
    if (alphaSource != nullptr && !SameSize(alphaSource, source->width, source->height, "UpdateImageFromBitmap")) {
        return -1;
    }
    RECT from = sourceRect != nullptr ? *sourceRect : RECT{0, 0, source->width, source->height};
    if (!ClipTransfer(&from, &destX, &destY, source, record)) {
        return WriteLogFormatted("転送する範囲が画像の外です(%d, %d, %d, %d) in UpdateImageFromBitmap", from.left,
                                 from.top, from.right, from.bottom);
    }
    if (TransferPictureRect(source, alphaSource, from, record, destX, destY) != 0) return -1;
    ForgetPictureFileNames(record);
    return 0;
}

int CopyPictureToImage(const PixelImage* picture, int32_t image) {
    ImageRecord* record = TargetImage(image, "CopyPictureToImage");
    if (record == nullptr) return -1;
    return TransferWholePicture(picture, nullptr, record, "CopyPictureToImage");
}

int TransferPictureToImage(const PixelImage* picture, const PixelImage* alpha, int32_t image, int32_t, int32_t,
                           int32_t) {
    ImageRecord* record = TargetImage(image, "TransferPictureToImage");
    if (record == nullptr) return -1;
    return TransferWholePicture(picture, alpha, record, "TransferPictureToImage");
}

int ReloadImageFromMemory(const void* fileImage, int32_t size, int32_t image, int32_t, int32_t, int32_t, int32_t) {
    ImageRecord* record = TargetImage(image, "ReloadImageFromMemory");
    if (record == nullptr) return -1;
    if (fileImage == nullptr || size <= 0) return WriteLog("画像データがありません in ReloadImageFromMemory\n");
    PixelImage decoded{};
    if (LoadPixelImage(nullptr, fileImage, static_cast<size_t>(size), &decoded) != 0) {
        return WriteLog("メモリ上の画像を読み込めませんでした in ReloadImageFromMemory\n");
    }
    const int result = TransferWholePicture(&decoded, nullptr, record, "ReloadImageFromMemory");
    ReleasePixelImage(&decoded);
    return result;
}
