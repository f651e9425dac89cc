// The video renderer filter DirectShow movies are played into. It accepts
// only uncompressed 24-bit RGB described by a VIDEOINFOHEADER (the graph
// puts a colour converter in front of it for anything else) and copies each
// sample into a top-down frame buffer, raising the new-frame flag that the
// movie layer polls on the main thread.
//
// The renderer owns its frame buffer: it is reallocated by SetMediaType and
// freed with the filter. The movie layer never holds it: TakeFrame copies
// the latest frame, under the frame lock, into a picture of the caller's.
#pragma once

#include "image/pixel_image.h"
#include "platform/dshow/dshow_base.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class MovieRenderer : public CBaseVideoRenderer {
public:
    MovieRenderer(IUnknown* outer, HRESULT* result);
    ~MovieRenderer() override;

    HRESULT SetMediaType(const MediaTypeValue* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    HRESULT CheckMediaType(const MediaTypeValue* type) override;

    // Copies the frame buffer into picture as 24-bit R8G8B8 rows of the
    // buffer's pitch, (re)allocating picture's pixels (AllocMemory, owned by
    // the caller) when their size differs. False when there is no frame.
    bool TakeFrame(PixelImage* picture);

    uint8_t* frameBuffer = nullptr;      // pitch x height bytes, rows top-down
    std::atomic<int32_t> newFrame{0};    // 1 after a sample was copied
    int32_t bottomUpSource = 0;          // 1: rows arrive bottom-up
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;                   // width x 3 brought up to a multiple of 4

private:
    std::mutex frameLock_;  // the buffer and its size, against the main thread's copy
};

// A new renderer (result S_OK), or null when memory runs out (result untouched).
MovieRenderer* CreateMovieRenderer(IUnknown* outer, HRESULT* result);

// The class identifier the renderer is created with.
extern const CLSID CLSID_MovieRenderer;
