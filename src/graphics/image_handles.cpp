// Image handles: records and shared pictures, creation, derivation, loading,
// deletion and the image queries.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"
#include "movie/movie.h"
#include "movie/theora_decoder.h"
#include "softrender/soft_draw.h"

#include <cstdio>
#include <cstring>

namespace {

// Ends the process: an image could not be created for want of handles or
// memory.
[[noreturn]] void FailImageCreation(const char* what, const char* caller) {
    char text[256];
    std::snprintf(text, sizeof text, "%s in %s", what, caller);
    ExitWithError(text);
}

void ReleasePicture(ImagePicture* picture) {
    if (--picture->refCount > 0) return;
    ReleaseMemImg(&picture->memImg);
    ReleasePictureTextures(picture);
    FreeMemory(picture->textures);
    FreeMemory(picture);
}

void FreeImageRecord(ImageRecord* record) {
    FreeImageTiles(record);
    ReleaseMemImg(&record->memImg);
    ReleasePicture(record->picture);
    FreeMemory(record->fileName);
    FreeMemory(record);
}

void EnsureHandleFree(const char* caller) {
    ImageTable& table = Images();
    if (table.Count() >= table.Size()) FailImageCreation("グラフィックハンドルの数が限界を超えました", caller);
}

// A zeroed record with no picture, or the end of the process.
ImageRecord* NewRecord(const char* caller) {
    auto* record = static_cast<ImageRecord*>(ALLOC_MEMORY_ZEROED(sizeof(ImageRecord)));
    if (record == nullptr) FailImageCreation("メモリの確保に失敗しました", caller);
    record->movieHandle = -1;
    return record;
}

// Makes a new image of the whole MEMIMG, which it takes over; the handle. A
// shortage of handles or memory ends the process (the MEMIMG released first).
int32_t AddImage(MEMIMG* memImg, const char* fileName, int32_t flag, const char* caller) {
    ImageTable& table = Images();
    if (table.Count() >= table.Size()) {
        ReleaseMemImg(memImg);
        FailImageCreation("グラフィックハンドルの数が限界を超えました", caller);
    }
    auto* record = static_cast<ImageRecord*>(ALLOC_MEMORY_ZEROED(sizeof(ImageRecord)));
    auto* picture = static_cast<ImagePicture*>(ALLOC_MEMORY_ZEROED(sizeof(ImagePicture)));
    char* name = nullptr;
    if (fileName != nullptr) {
        name = static_cast<char*>(ALLOC_MEMORY(static_cast<uint32_t>(std::strlen(fileName) + 1)));
        if (name != nullptr) std::memcpy(name, fileName, std::strlen(fileName) + 1);
    }
    if (record == nullptr || picture == nullptr || (fileName != nullptr && name == nullptr)) {
        FreeMemory(record);
        FreeMemory(picture);
        FreeMemory(name);
        ReleaseMemImg(memImg);
        FailImageCreation("メモリの確保に失敗しました", caller);
    }
    picture->refCount = 1;
    picture->flags[kPictureCutOut] = memImg->base->alphaFlag == 0 && Settings().useColorKey != 0 ? 1 : 0;
    picture->width = memImg->width;
    picture->height = memImg->height;
    picture->memImg = *memImg;
    *memImg = MEMIMG{};
    record->picture = picture;
    record->width = picture->width;
    record->height = picture->height;
    record->fileName = name;
    record->loadFlag = flag;
    record->movieHandle = -1;
    DeriveMemImg(&record->memImg, &picture->memImg, 0, 0, picture->width, picture->height);
    const int32_t handle = table.Add(record);
    PrepareImageForDevice(record);
    return handle;
}

bool IsCreatableSize(int32_t width, int32_t height, int32_t pixelBytes) {
    if (width < 1 || height < 1 || width > kMemImgMaxDimension || height > kMemImgMaxDimension) return false;
    return static_cast<int64_t>(width) * pixelBytes * height <= 0x7FFFFFFF;
}

uint32_t TransparentValue(int32_t colorType) {
    const GraphicsSettings& g = Settings();
    return MakeMemImgColor(colorType, g.transparentRed, g.transparentGreen, g.transparentBlue);
}

// True when the picture's alpha is below 255 somewhere; argb then holds the
// picture as A8R8G8B8 (else it is left empty).
bool TakeTranslucentPicture(const PixelImage* picture, PixelImage* argb) {
    *argb = PixelImage{};
    if (picture->format.alphaWidth == 0 && picture->format.dxtType == 0) return false;
    int result = picture->format.dxtType != 0 ? DecompressDXTPixelImage(picture, argb) : [&] {
        ColorFormatInfo format;
        SetARGB8ColorFormat(&format);
        return ConvertPixelImage(picture, &format, argb);
    }();
    if (result != 0) return false;
    for (int32_t y = 0; y < argb->height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(argb->pixels) + static_cast<intptr_t>(y) * argb->pitch;
        for (int32_t x = 0; x < argb->width; ++x)
            if (row[x * 4 + 3] != 255) return true;
    }
    ReleasePixelImage(argb);
    return false;
}

// Converts a decoded picture into an image MEMIMG. 1 done; 0 the picture
// cannot be converted; -1 out of memory.
int MakeImageMemImg(const PixelImage* decoded, MEMIMG* memImg) {
    int32_t colorType = ImageColorType();
    PixelImage argb;
    bool alpha = TakeTranslucentPicture(decoded, &argb);
    const PixelImage* source = alpha ? &argb : decoded;
    int32_t pixelBytes = colorType == kMemImgX8R8G8B8 || alpha ? 4 : 2;
    if (source->format.dxtType != 0 || !IsCreatableSize(source->width, source->height, pixelBytes)) {
        ReleasePixelImage(&argb);
        return 0;
    }
    int result = CreateMemImgFromPixelImage(memImg, source, colorType, alpha ? kMemImgAlpha : 0,
                                            TransparentValue(colorType));
    ReleasePixelImage(&argb);
    return result == 0 ? 1 : -1;
}

// Copies the movie's latest frame into the image bound to it (half the
// frame's width when the movie says so).
void TransferMovieFrame(const MovieRecord* movie, ImageRecord* record) {
    const PixelImage* frame = movie->currentPicture;
    if (frame == nullptr || frame->pixels == nullptr) return;
    const int32_t frameWidth = movie->halfWidth ? frame->width / 2 : frame->width;
    const int32_t width = frameWidth < record->width ? frameWidth : record->width;
    const int32_t height = frame->height < record->height ? frame->height : record->height;
    if (width <= 0 || height <= 0) return;
    TransferPictureRect(frame, nullptr, RECT{0, 0, width, height}, record, 0, 0);
}

// The movie's picture within the decoder's surface (the coded frame): half
// its width when the movie says so.
RECT MoviePictureRect(const MovieRecord* movie) {
    TheoraStreamInfo info{};
    GetTheoraInfo(movie->decoder, &info);
    const int32_t width = movie->halfWidth ? info.width / 2 : info.width;
    return RECT{info.pictureX, info.pictureY, info.pictureX + width, info.pictureY + info.height};
}

// The frame callback of a movie bound to an image (the user word is the
// image handle): takes the movie's current frame when it changed.
void OnMovieFrameReady(MovieRecord* movie, uintptr_t userWord) {
    ImageRecord* record = FindImage(static_cast<int32_t>(userWord));
    if (record == nullptr) return;
    if (movie->theora) {
        // On the device the frame goes from the decoder's Y'CbCr surface
        // straight into the image's textures; without a surface, or when the
        // device refuses, it comes as a picture.
        if (GetTheoraSurface(movie->decoder) != nullptr && record->tileCount > 0) {
            if (GetTheoraFrame(movie->decoder, 0, 1) == 0) return;
            // Taken after the frame: a surface that would not lock was made anew.
            auto* surface = static_cast<IDirect3DSurface9*>(GetTheoraSurface(movie->decoder));
            if (surface != nullptr && IsTheoraSurfaceUpToDate(movie->decoder) &&
                StretchSurfaceIntoImage(surface, record, MoviePictureRect(movie)) == 0) {
                return;
            }
        }
        if (GetTheoraFrame(movie->decoder, 1, 0) == 0) return;
    }
    TransferMovieFrame(movie, record);
}

// A file that no image decoder accepts is opened as a movie, bound to a new
// image of the movie's size that shows its current frame.
int32_t LoadMovieAsImage(const char* fileName, int32_t flag) {
    int32_t width = 0, height = 0;
    const int32_t movie = OpenMovie(fileName, &width, &height, flag);
    if (movie == -1) {
        return WriteLogFormatted("画像ファイル %s を読み込めませんでした(対応していない形式です)", fileName);
    }
    const int32_t colorType = ImageColorType();
    if (!IsCreatableSize(width, height, colorType == kMemImgX8R8G8B8 ? 4 : 2)) {
        CloseMovie(movie);
        return WriteLogFormatted("ムービー %s の大きさ(%d x %d)の画像は作れません in LoadImageFile", fileName, width,
                                 height);
    }
    MEMIMG memImg{};
    if (CreateMemImg(&memImg, width, height, colorType, 0, TransparentValue(colorType)) != 0) {
        CloseMovie(movie);
        FailImageCreation("メモリの確保に失敗しました", "LoadImageFile");
    }
    const int32_t image = AddImage(&memImg, fileName, flag, "LoadImageFile");
    ImageRecord* record = FindImage(image);
    record->movieHandle = movie;
    SetMovieFrameCallback(movie, OnMovieFrameReady, static_cast<uint32_t>(image));
    // The movie opened on its first frame, already converted: show it now.
    TransferMovieFrame(GetMovieRecord(movie), record);
    return image;
}

// Decodes the file through the file layer. 1 decoded, 0 no decoder accepted
// it, -1 it could not be opened.
int DecodeImageFile(const char* fileName, PixelImage* picture) {
    DataStream stream{*GetFileStreamFunctions(), OpenAccessFile(fileName, 0, 1, 0)};
    if (stream.handle == 0) return -1;
    int result = DecodePixelImage(&stream, picture);
    stream.functions.Close(stream.handle);
    return result == 0 ? 1 : 0;
}

}  // namespace

ImageTable& Images() {
    static auto* table = new ImageTable(kHandleTypeImage);
    return *table;
}

ImageRecord* FindImage(int32_t handle) { return Images().Find(handle); }

ImageRecord* FindImageLogged(int32_t handle, const char* caller) {
    ImageRecord* record = Images().Find(handle);
    if (record == nullptr) WriteLogFormatted("グラフィックハンドル値が異常です(0x%08x) in %s", handle, caller);
    return record;
}

int32_t GetImageCount() { return Images().Count(); }

int LoadImageFromFile(const char* fileName, int32_t flag) {
    EnsureHandleFree("LoadImageFile");
    PixelImage picture{};
    int decoded = DecodeImageFile(fileName, &picture);
    if (decoded < 0) return WriteLogFormatted("画像ファイル %s が開けませんでした in LoadImageFile", fileName);
    if (decoded == 0) return LoadMovieAsImage(fileName, flag);
    MEMIMG memImg{};
    int made = MakeImageMemImg(&picture, &memImg);
    ReleasePixelImage(&picture);
    if (made < 0) FailImageCreation("メモリの確保に失敗しました", "LoadImageFile");
    if (made == 0) return WriteLogFormatted("画像ファイル %s の画像を変換できません in LoadImageFile", fileName);
    return AddImage(&memImg, fileName, flag, "LoadImageFile");
}

int LoadImageFile(const char* fileName, int32_t flag) {
    if (!Screen().started) return WriteLog("グラフィックスの初期化前には画像を読み込めません in LoadImageFile\n");
    if (fileName == nullptr || fileName[0] == '\0') return WriteLog("ファイル名がありません in LoadImageFile\n");
    return LoadImageFromFile(fileName, flag);
}

int CreateBlankImage(int32_t width, int32_t height) {
    if (!Screen().started) return WriteLog("グラフィックスの初期化前には画像を作れません in CreateBlankImage\n");
    int32_t colorType = ImageColorType();
    uint32_t flags = Settings().blankImageAlpha ? kMemImgAlpha : 0;
    if (!IsCreatableSize(width, height, colorType == kMemImgX8R8G8B8 || flags ? 4 : 2)) {
        return WriteLogFormatted("画像のサイズが不正です(%d x %d) in CreateBlankImage", width, height);
    }
    EnsureHandleFree("CreateBlankImage");
    MEMIMG memImg{};
    if (CreateMemImg(&memImg, width, height, colorType, flags, TransparentValue(colorType)) != 0)
        FailImageCreation("メモリの確保に失敗しました", "CreateBlankImage");
    return AddImage(&memImg, nullptr, 0, "CreateBlankImage");
}

int DeriveImage(int32_t x, int32_t y, int32_t width, int32_t height, int32_t source) {
    if (g_drawState.drawingSuspended) return 0;
    ImageRecord* from = FindImageLogged(source, "DeriveImage");
    if (from == nullptr) return -1;
    if (x < 0 || y < 0 || x >= from->width || y >= from->height || width < 1 || height < 1) {
        return WriteLogFormatted("派生画像の範囲が不正です(%d, %d, %d x %d) in DeriveImage", x, y, width, height);
    }
    if (width > from->width - x) width = from->width - x;
    if (height > from->height - y) height = from->height - y;
    EnsureHandleFree("DeriveImage");
    ImageRecord* record = NewRecord("DeriveImage");
    record->picture = from->picture;
    record->picture->refCount++;
    record->x = from->x + x;
    record->y = from->y + y;
    record->width = width;
    record->height = height;
    DeriveMemImg(&record->memImg, &record->picture->memImg, record->x, record->y, width, height);
    const int32_t handle = Images().Add(record);
    PrepareImageForDevice(record);
    return handle;
}

int DeleteImage(int32_t image, int32_t) {
    ImageRecord* record = FindImageLogged(image, "DeleteImage");
    if (record == nullptr) return -1;
    if (record->movieHandle != -1) CloseMovie(record->movieHandle);
    if (record->lostFlag != nullptr) *record->lostFlag = 1;
    ForgetDrawTargetImage(image);
    ForgetBlendImage(image);
    Images().Remove(image);
    FreeImageRecord(record);
    return 0;
}

void DeleteAllImages() {
    ImageTable& table = Images();
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record == nullptr) continue;
        DeleteImage(record->handle, 0);
    }
    table.Reset();
}

int SetImageLostFlag(int32_t image, int32_t* flag) {
    ImageRecord* record = FindImageLogged(image, "SetImageLostFlag");
    if (record == nullptr) return -1;
    record->lostFlag = flag;
    if (flag != nullptr) *flag = 0;
    return 0;
}

int GetImageSize(int32_t image, int32_t* width, int32_t* height) {
    if (image == kDrawTargetBack || image == kDrawTargetFront) return GetDrawScreenSize(width, height);
    ImageRecord* record = FindImageLogged(image, "GetImageSize");
    if (record == nullptr) return -1;
    if (width != nullptr) *width = record->width;
    if (height != nullptr) *height = record->height;
    return 0;
}

int FillImage(int32_t image, int32_t red, int32_t green, int32_t blue, int32_t alpha) {
    ImageRecord* record = FindImageLogged(image, "FillImage");
    if (record == nullptr) return -1;
    MEMIMG* memImg = &record->memImg;
    const MemImgBase* base = memImg->base;
    uint32_t color = MakeMemImgColor(base->colorType, red, green, blue);
    if (record->picture->flags[kPictureCutOut] != 0 && alpha < 128) {
        // A colour-keyed image holds its cut-out as the transparent colour.
        ClearMemImg(memImg, nullptr, base->transparentColor);
        UploadPictureRect(record->picture, record->x, record->y, record->width, record->height);
        return 0;
    }
    if (base->alphaFlag) {
        // The pixel routines do not draw into images with alpha: store the
        // colour and its alpha as they are.
        uint32_t a = static_cast<uint32_t>(alpha < 0 ? 0 : alpha > 255 ? 255 : alpha);
        ClearMemImg(memImg, nullptr, color | (a << (base->colorType == kMemImgX8R8G8B8 ? 24 : 16)));
        UploadPictureRect(record->picture, record->x, record->y, record->width, record->height);
        return 0;
    }
    // The fill reads the draw area, which belongs to the draw target: the
    // whole image is the area for this fill.
    const DrawState saved = g_drawState;
    StoreDrawArea(0, 0, memImg->width, memImg->height);
    RECT rect{0, 0, memImg->width, memImg->height};
    FillMemImgRect(memImg, &rect, color);
    StoreDrawArea(saved.drawAreaLeft, saved.drawAreaTop, saved.drawAreaRight, saved.drawAreaBottom);
    UploadPictureRect(record->picture, record->x, record->y, record->width, record->height);
    return 0;
}

void ConvertAllImages(int32_t colorType) {
    ImageTable& table = Images();
    // First every picture gets its new pixels; the old base lives on until the
    // last image view on it is let go.
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record == nullptr) continue;
        ImagePicture* picture = record->picture;
        MemImgBase* base = picture->memImg.base;
        if (base->colorType == colorType) continue;
        PixelImage view{};
        view.format = *base->colorFormat;
        view.width = picture->memImg.width;
        view.height = picture->memImg.height;
        view.pitch = base->pitch;
        view.pixels = picture->memImg.pixels;
        int r = 0, g = 0, b = 0;
        UnpackColorValue(base->colorFormat, base->transparentColor, &r, &g, &b, nullptr);
        MEMIMG converted{};
        if (CreateMemImgFromPixelImage(&converted, &view, colorType, base->alphaFlag ? kMemImgAlpha : 0,
                                       MakeMemImgColor(colorType, r, g, b)) != 0) {
            FailImageCreation("メモリの確保に失敗しました", "ConvertAllImages");
        }
        ReleaseMemImg(&picture->memImg);
        picture->memImg = converted;
        // The textures follow the new pixels: made again below.
        ReleasePictureTextures(picture);
        FreeMemory(picture->textures);
        picture->textures = nullptr;
        picture->textureCount = 0;
    }
    for (int slot = 0; slot < table.HighWater(); ++slot) {
        ImageRecord* record = table.At(slot);
        if (record == nullptr || record->memImg.base == record->picture->memImg.base) continue;
        ReleaseMemImg(&record->memImg);
        DeriveMemImg(&record->memImg, &record->picture->memImg, record->x, record->y, record->width, record->height);
        PrepareImageForDevice(record);
    }
}
