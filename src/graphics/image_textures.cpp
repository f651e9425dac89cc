// Image pictures on the device: the texture layout of a picture (cells no
// larger than the device's texture size limit), texture creation and upload
// from the picture's pixels, and the draw tiles of each image over them.
#include "core/log.h"
#include "core/memory.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t PowerOfTwoAtLeast(int32_t n) {
    int32_t p = 1;
    while (p < n) p <<= 1;
    return p;
}

int32_t CellLimit() {
    const DeviceBlock& d = Device();
    const int32_t limit = d.textureSizeSetting != 0 ? d.textureSizeSetting : static_cast<int32_t>(d.textureSizeLimit);
    return limit > 0 ? limit : 256;
}

// The picture's format index and flag bytes from its pixels and its cut-out
// flag (set when the picture was made).
void ChooseFormat(ImagePicture* picture) {
    const MemImgBase* base = picture->memImg.base;
    const bool bits32 = base->colorFormat->pixelByte == 4 && !(base->alphaFlag && base->colorType != kMemImgX8R8G8B8);
    const bool alpha = base->alphaFlag != 0, cutOut = !alpha && picture->flags[kPictureCutOut] != 0;
    picture->deviceFormatIndex = alpha    ? (bits32 ? kFormatAlpha32 : kFormatAlpha16)
                                 : cutOut ? (bits32 ? kFormatCutOut32 : kFormatCutOut16)
                                          : (bits32 ? kFormat32 : kFormat16);
    picture->flags[kPictureTextured] = 1;
    picture->flags[kPictureAlphaChannel] = alpha ? 1 : 0;
    picture->flags[kPictureCutOut] = cutOut ? 1 : 0;
    picture->flags[kPictureSystemCopy] = Device().d3dEx != nullptr ? 1 : 0;
}

// Lays the picture out in cells; false when memory runs out.
bool LayOutTextures(ImagePicture* picture) {
    const int32_t limit = CellLimit();
    const bool pow2 = (Device().caps.TextureCaps & D3DPTEXTURECAPS_POW2) != 0;
    const int32_t columns = (picture->width + limit - 1) / limit, rows = (picture->height + limit - 1) / limit;
    const int32_t count = columns * rows;
    auto* textures = static_cast<ImageTexture*>(ALLOC_MEMORY_ZEROED(static_cast<uint32_t>(sizeof(ImageTexture) * count)));
    if (textures == nullptr) return false;
    for (int32_t r = 0; r < rows; ++r) {
        for (int32_t c = 0; c < columns; ++c) {
            ImageTexture& t = textures[r * columns + c];
            t.x = c * limit;
            t.y = r * limit;
            t.usedWidth = std::min(limit, picture->width - t.x);
            t.usedHeight = std::min(limit, picture->height - t.y);
            t.width = pow2 ? PowerOfTwoAtLeast(t.usedWidth) : t.usedWidth;
            t.height = pow2 ? PowerOfTwoAtLeast(t.usedHeight) : t.usedHeight;
        }
    }
    picture->textures = textures;
    picture->textureCount = count;
    return true;
}

bool NarrowChannels(const ColorFormatInfo* f) {
    return !f->isPalette && f->dxtType == 0 && f->pixelByte >= 1 && f->pixelByte <= 4 && f->redWidth <= 8 &&
           f->greenWidth <= 8 && f->blueWidth <= 8 && f->alphaWidth <= 8;
}

}  // namespace

bool TexelConverter::Usable(const ColorFormatInfo* from, const ColorFormatInfo* to) {
    return to != nullptr && NarrowChannels(from) && NarrowChannels(to);
}

TexelConverter::TexelConverter(const ColorFormatInfo* from, const ColorFormatInfo* to)
    : masks_{from->redMask, from->greenMask, from->blueMask, from->alphaMask},
      shifts_{from->redLoc, from->greenLoc, from->blueLoc, from->alphaLoc},
      opaque_(PackColorValue(to, 0, 0, 0, 255) & to->alphaMask),
      fixed_(to->noneMask),
      inBytes_(from->pixelByte),
      outBytes_(to->pixelByte) {
    const uint32_t toMasks[4] = {to->redMask, to->greenMask, to->blueMask, to->alphaMask};
    for (int c = 0; c < 4; ++c) {
        for (uint32_t k = 0; k < 256; ++k) {
            int v[4] = {0, 0, 0, 0};
            UnpackColorValue(from, (k << shifts_[c]) & masks_[c], &v[0], &v[1], &v[2], &v[3]);
            int packed[4] = {0, 0, 0, 0};
            packed[c] = v[c];
            table_[c][k] = PackColorValue(to, packed[0], packed[1], packed[2], packed[3]) & toMasks[c];
        }
    }
}

void TexelConverter::Row(const uint8_t* in, uint8_t* out, int32_t count, bool cutOut, uint32_t key) const {
    const bool hasAlpha = masks_[3] != 0;
    const uint32_t colourKey = key & 0xFFFFFF;
    for (int32_t x = 0; x < count; ++x, in += inBytes_, out += outBytes_) {
        uint32_t value = 0;
        std::memcpy(&value, in, static_cast<size_t>(inBytes_));
        uint32_t texel = fixed_ | table_[0][(value & masks_[0]) >> shifts_[0]] |
                         table_[1][(value & masks_[1]) >> shifts_[1]] | table_[2][(value & masks_[2]) >> shifts_[2]];
        if (!(cutOut && (value & 0xFFFFFF) == colourKey))
            texel |= hasAlpha ? table_[3][(value & masks_[3]) >> shifts_[3]] : opaque_;
        std::memcpy(out, &texel, static_cast<size_t>(outBytes_));
    }
}

namespace {

// Writes the picture's pixels of the rectangle (picture coordinates, inside
// the texture) into locked texels.
void ConvertInto(const ImagePicture* picture, const ImageTexture& t, const RECT& r, const D3DLOCKED_RECT& locked,
                 D3DFORMAT format) {
    const MemImgBase* base = picture->memImg.base;
    const ColorFormatInfo* from = base->colorFormat;
    const ColorFormatInfo* to = GetDeviceColorFormat(static_cast<int>(format));
    const bool cutOut = picture->flags[kPictureCutOut] != 0;
    const int32_t inBytes = from->pixelByte, outBytes = to != nullptr ? to->pixelByte : 4;
    // Large rectangles go through per-channel tables (1,024 conversions to
    // make them, then one lookup a channel).
    const int32_t width = r.right - r.left;
    if (static_cast<int64_t>(width) * (r.bottom - r.top) >= 1024 && TexelConverter::Usable(from, to)) {
        const TexelConverter converter(from, to);
        for (int32_t y = r.top; y < r.bottom; ++y)
            converter.Row(picture->memImg.pixels + static_cast<ptrdiff_t>(y) * base->pitch + r.left * inBytes,
                          static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y - t.y) * locked.Pitch +
                              (r.left - t.x) * outBytes,
                          width, cutOut, base->transparentColor);
        return;
    }
    for (int32_t y = r.top; y < r.bottom; ++y) {
        const uint8_t* in = picture->memImg.pixels + static_cast<ptrdiff_t>(y) * base->pitch + r.left * inBytes;
        uint8_t* out = static_cast<uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y - t.y) * locked.Pitch +
                       (r.left - t.x) * outBytes;
        for (int32_t x = r.left; x < r.right; ++x, in += inBytes, out += outBytes) {
            uint32_t value = 0;
            std::memcpy(&value, in, static_cast<size_t>(inBytes));
            int red = 0, green = 0, blue = 0, alpha = 255;
            UnpackColorValue(from, value, &red, &green, &blue, &alpha);
            if (from->alphaWidth == 0) alpha = 255;
            if (cutOut && (value & 0xFFFFFF) == (base->transparentColor & 0xFFFFFF)) alpha = 0;
            const uint32_t packed = to != nullptr ? PackColorValue(to, red, green, blue, alpha)
                                                  : (static_cast<uint32_t>(alpha) << 24 | red << 16 | green << 8 | blue);
            std::memcpy(out, &packed, static_cast<size_t>(outBytes));
        }
    }
}

int CreateOneTexture(ImagePicture* picture, ImageTexture& t) {
    DeviceBlock& d = Device();
    const D3DFORMAT format = d.textureFormats[picture->deviceFormatIndex];
    const bool staged = d.d3dEx != nullptr;
    const DWORD usage = staged ? 0 : D3DUSAGE_DYNAMIC;
    if (FAILED(d.device->CreateTexture(static_cast<UINT>(t.width), static_cast<UINT>(t.height), 1, usage, format,
                                       D3DPOOL_DEFAULT, &t.texture, nullptr))) {
        t.texture = nullptr;
        return WriteLogFormatted("テクスチャの作成に失敗しました(%d x %d)", t.width, t.height);
    }
    t.texture->GetSurfaceLevel(0, &t.surface);
    if (t.surface != nullptr) t.surface->Release();  // the texture keeps it; the entry only names it
    if (staged && FAILED(d.device->CreateTexture(static_cast<UINT>(t.width), static_cast<UINT>(t.height), 1, 0, format,
                                                 D3DPOOL_SYSTEMMEM, &t.staging, nullptr))) {
        t.staging = nullptr;
        return WriteLogFormatted("転送用テクスチャの作成に失敗しました(%d x %d)", t.width, t.height);
    }
    return 0;
}

int UploadTexture(ImagePicture* picture, ImageTexture& t, const RECT& rect) {
    DeviceBlock& d = Device();
    IDirect3DTexture9* target = t.staging != nullptr ? t.staging : t.texture;
    if (target == nullptr) return -1;
    D3DLOCKED_RECT locked{};
    if (FAILED(target->LockRect(0, &locked, nullptr, 0))) return WriteLog("テクスチャのロックに失敗しました\n");
    ConvertInto(picture, t, rect, locked, d.textureFormats[picture->deviceFormatIndex]);
    target->UnlockRect(0);
    if (t.staging != nullptr) d.device->UpdateTexture(t.staging, t.texture);
    return 0;
}

}  // namespace

int CreateImageTextures(ImagePicture* picture) {
    DeviceBlock& d = Device();
    if (d.device == nullptr || picture == nullptr) return -1;
    if (picture->textures == nullptr) {
        ChooseFormat(picture);
        if (!LayOutTextures(picture)) return WriteLog("テクスチャ情報のメモリ確保に失敗しました\n");
    }
    int result = 0;
    for (int32_t i = 0; i < picture->textureCount; ++i) {
        ImageTexture& t = picture->textures[i];
        if (t.texture != nullptr) continue;
        if (CreateOneTexture(picture, t) != 0) {
            result = -1;
            continue;
        }
        UploadTexture(picture, t, RECT{t.x, t.y, t.x + t.usedWidth, t.y + t.usedHeight});
    }
    return result;
}

int UploadPictureRect(ImagePicture* picture, int32_t x, int32_t y, int32_t width, int32_t height) {
    if (Device().device == nullptr || picture == nullptr || picture->textures == nullptr) return -1;
    const RECT want{std::max(x, 0), std::max(y, 0), std::min(x + width, picture->width),
                    std::min(y + height, picture->height)};
    int result = 0;
    for (int32_t i = 0; i < picture->textureCount; ++i) {
        ImageTexture& t = picture->textures[i];
        const RECT r{std::max<LONG>(want.left, t.x), std::max<LONG>(want.top, t.y),
                     std::min<LONG>(want.right, t.x + t.usedWidth), std::min<LONG>(want.bottom, t.y + t.usedHeight)};
        if (r.left >= r.right || r.top >= r.bottom || t.texture == nullptr) continue;
        if (UploadTexture(picture, t, r) != 0) result = -1;
    }
    return result;
}

void ReleasePictureTextures(ImagePicture* picture) {
    if (picture->textures == nullptr) return;
    for (int32_t i = 0; i < picture->textureCount; ++i) {
        ImageTexture& t = picture->textures[i];
        if (t.staging != nullptr) t.staging->Release();
        if (t.texture != nullptr) t.texture->Release();
        t.texture = t.staging = nullptr;
        t.surface = nullptr;
    }
}

bool BuildImageTiles(ImageRecord* record) {
    FreeImageTiles(record);
    const ImagePicture* picture = record->picture;
    if (picture->textures == nullptr) return true;
    auto* tiles = static_cast<ImageDrawTile*>(
        ALLOC_MEMORY_ZEROED(static_cast<uint32_t>(sizeof(ImageDrawTile) * picture->textureCount)));
    if (tiles == nullptr) return false;
    int32_t count = 0;
    const float w = static_cast<float>(record->width), h = static_cast<float>(record->height);
    for (int32_t i = 0; i < picture->textureCount; ++i) {
        ImageTexture& t = picture->textures[i];
        const int32_t left = std::max(record->x, t.x), top = std::max(record->y, t.y);
        const int32_t right = std::min(record->x + record->width, t.x + t.usedWidth);
        const int32_t bottom = std::min(record->y + record->height, t.y + t.usedHeight);
        if (left >= right || top >= bottom) continue;
        ImageDrawTile& tile = tiles[count++];
        tile.texture = &t;
        const int32_t xs[4] = {left, right, left, right}, ys[4] = {top, top, bottom, bottom};
        for (int c = 0; c < 4; ++c) {
            const float x = static_cast<float>(xs[c] - record->x), y = static_cast<float>(ys[c] - record->y);
            tile.corners[c][0] = x;
            tile.corners[c][1] = y;
            tile.corners[c][2] = static_cast<float>(xs[c] - t.x) / static_cast<float>(t.width);
            tile.corners[c][3] = static_cast<float>(ys[c] - t.y) / static_cast<float>(t.height);
            tile.upperLeft[c] = x / w + y / h <= 1.0f ? 1 : 0;
        }
    }
    record->tiles = tiles;
    record->tileCount = count;
    return true;
}

void FreeImageTiles(ImageRecord* record) {
    FreeMemory(record->tiles);
    record->tiles = nullptr;
    record->tileCount = 0;
}

void PrepareImageForDevice(ImageRecord* record) {
    if (!Screen().d3dActive || Device().device == nullptr) return;
    if (record->picture->textures == nullptr) CreateImageTextures(record->picture);
    if (!BuildImageTiles(record)) WriteLog("描画タイルのメモリ確保に失敗しました\n");
}

IDirect3DTexture9* ImageFirstTexture(int32_t handle) {
    const ImageRecord* record = FindImage(handle);
    if (record == nullptr || record->tileCount == 0) return nullptr;
    return record->tiles[0].texture->texture;
}

int ReleaseDeviceResources() {
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record != nullptr) ReleasePictureTextures(record->picture);
    }
    ReleaseHandleDeviceObjects();
    return 0;
}
