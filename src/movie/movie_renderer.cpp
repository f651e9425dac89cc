// The movie renderer: media-type checks, the frame buffer and the copy of
// every sample into it.
#include "movie/movie_renderer.h"

#include "core/memory.h"
#include "image/image_decode.h"

#include <cstring>
#include <new>

const CLSID CLSID_MovieRenderer = {0x71771540, 0x2017, 0x11CF, {0xAE, 0x26, 0x00, 0x20, 0xAF, 0xD7, 0x97, 0x67}};

namespace {

int32_t PitchOf(int32_t width) { return ((width + 1) * 3) & ~3; }

const VIDEOINFOHEADER* VideoInfoOf(const MediaTypeValue* type) {
    if (type->pbFormat == nullptr || type->cbFormat < sizeof(VIDEOINFOHEADER)) return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type->pbFormat);
}

// A frame past the one movie limit is refused at connection, before its
// buffer is made (a negative height: rows top-down).
bool IsUsableSize(int64_t width, int64_t height) {
    return dshow::IsPictureSizeAllowed(width, height < 0 ? -height : height);
}

}  // namespace

MovieRenderer::MovieRenderer(IUnknown* outer, HRESULT* result)
    : CBaseVideoRenderer(CLSID_MovieRenderer, nullptr, outer, result) {}

MovieRenderer::~MovieRenderer() { FreeMemory(frameBuffer); }

HRESULT MovieRenderer::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (type->formattype != FORMAT_VideoInfo) return E_INVALIDARG;
    if (type->majortype != MEDIATYPE_Video) return E_FAIL;
    if (type->subtype != MEDIASUBTYPE_RGB24) return E_FAIL;
    // The format block must hold the header it claims, with a size a frame
    // buffer can be made for.
    const VIDEOINFOHEADER* info = VideoInfoOf(type);
    if (info == nullptr) return E_INVALIDARG;
    if (!IsUsableSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight)) return E_FAIL;
    return S_OK;
}

HRESULT MovieRenderer::SetMediaType(const MediaTypeValue* type) {
    const VIDEOINFOHEADER* info = type != nullptr ? VideoInfoOf(type) : nullptr;
    std::lock_guard<std::mutex> lock(frameLock_);
    FreeMemory(frameBuffer);
    frameBuffer = nullptr;
    newFrame = 0;
    if (info == nullptr || !IsUsableSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight)) {
        width = height = pitch = 0;  // no buffer: samples are dropped
        return S_OK;
    }
    width = info->bmiHeader.biWidth;
    bottomUpSource = info->bmiHeader.biHeight < 0 ? 0 : 1;
    height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    pitch = PitchOf(width);
    frameBuffer = static_cast<uint8_t*>(ALLOC_MEMORY(static_cast<uint32_t>(pitch) * static_cast<uint32_t>(height)));
    return S_OK;
}

HRESULT MovieRenderer::DoRenderSample(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(frameLock_);
    if (frameBuffer == nullptr) return S_OK;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || data == nullptr) return S_OK;
    // A sample shorter than a frame fills only the rows it holds.
    const long available = sample->GetSize();
    const int32_t rows = available >= 0 ? static_cast<int32_t>(std::min<int64_t>(available / pitch, height)) : 0;
    if (bottomUpSource) {
        for (int32_t r = 0; r < rows; ++r)
            std::memcpy(frameBuffer + static_cast<size_t>(height - 1 - r) * pitch, data + static_cast<size_t>(r) * pitch,
                        static_cast<size_t>(pitch));
    } else {
        std::memcpy(frameBuffer, data, static_cast<size_t>(pitch) * rows);
    }
    newFrame = 1;
    return S_OK;
}

bool MovieRenderer::TakeFrame(PixelImage* picture) {
    std::lock_guard<std::mutex> lock(frameLock_);
    if (frameBuffer == nullptr) return false;
    const uint32_t bytes = static_cast<uint32_t>(pitch) * static_cast<uint32_t>(height);
    if (picture->pixels == nullptr || picture->pitch != pitch || picture->height != height) {
        FreeMemory(picture->pixels);
        picture->pixels = ALLOC_MEMORY(bytes);
        if (picture->pixels == nullptr) return false;
    }
    std::memcpy(picture->pixels, frameBuffer, bytes);
    SetRGB8ColorFormat(&picture->format);
    picture->width = width;
    picture->height = height;
    picture->pitch = pitch;
    picture->reserved = 0;
    return true;
}

MovieRenderer* CreateMovieRenderer(IUnknown* outer, HRESULT* result) {
    HRESULT constructed = S_OK;
    auto* renderer = new (std::nothrow) MovieRenderer(outer, &constructed);
    if (renderer == nullptr) return nullptr;
    if (result != nullptr) *result = S_OK;
    return renderer;
}
