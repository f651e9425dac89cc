// The owner's side of a Theora decoder: moving the current frame, taking the
// current frame from the stock, and the queries.
#include "movie/theora_internal.h"
#include "platform/kernel32/kernel32.h"

#include <algorithm>

namespace {

void MarkStale(TheoraDecoder* d) {
    d->imageUpToDate = 0;
    d->surfaceUpToDate = 0;
}

YuvPlanes PlanesOf(const TheoraDecoder* d, const FrameStockEntry& e) {
    return YuvPlanes{e.y,      e.u,        e.v,        e.yWidth,      e.yHeight,    e.yStride,
                     e.uvWidth, e.uvHeight, e.uvStride, d->pictureX, d->pictureY};
}

}  // namespace

bool ReserveStockEntry(TheoraDecoder* d, int32_t frame, int32_t* entry) {
    for (int32_t i = 0; i < d->stockSize; ++i) {
        FrameStockEntry& e = d->stock[i];
        if (e.used.load(std::memory_order_acquire) == 0 || e.frame.load(std::memory_order_acquire) != frame)
            continue;
        // Announce the reservation, then look again: either this look sees a
        // free the thread made meanwhile, or the thread sees the reservation
        // and keeps the entry.
        d->ownerEntry.store(i, std::memory_order_seq_cst);
        if (e.used.load(std::memory_order_seq_cst) != 0 && e.frame.load(std::memory_order_seq_cst) == frame) {
            *entry = i;
            return true;
        }
        d->ownerEntry.store(-1, std::memory_order_seq_cst);
    }
    return false;
}

void ReleaseStockEntry(TheoraDecoder* d) { d->ownerEntry.store(-1, std::memory_order_seq_cst); }

int SeekTheora(TheoraDecoder* d, int32_t frame) {
    if (d == nullptr || d->thread == nullptr) return 0;
    if (frame == d->currentFrame.load(std::memory_order_relaxed)) return 0;
    if (d->state.load(std::memory_order_acquire) == kTheoraEnded) return 0;
    MarkStale(d);
    // Sequentially consistent with the thread's leaving of the paused state:
    // a thread that is about to work sees this request and rests again.
    d->pauseRequest.store(1, std::memory_order_seq_cst);
    for (;;) {
        const int32_t state = d->state.load(std::memory_order_seq_cst);
        if (state == kTheoraPaused) break;
        if (state == kTheoraEnded) return 0;  // the thread left meanwhile
        Sleep(0);
    }
    const int32_t target = static_cast<int32_t>(std::clamp<int64_t>(frame, 0, d->frameCount));
    // The end of the data met before the seek says nothing about the target:
    // cleared here, while the thread rests, so that a GetTheoraFrame that
    // comes before the thread takes up the seek waits for it.
    d->endOfData.store(0, std::memory_order_release);
    d->currentFrame.store(target, std::memory_order_release);
    d->seekTarget.store(target, std::memory_order_release);
    d->seekRequest.store(1, std::memory_order_release);
    d->pauseRequest.store(0, std::memory_order_release);
    return 0;
}

int AdvanceTheoraFrames(TheoraDecoder* d, int32_t count) {
    if (d == nullptr || count <= 0) return 0;
    const int64_t frames = d->frameCount;
    int64_t next = int64_t{d->currentFrame.load(std::memory_order_relaxed)} + count;
    // Past the end the count wraps; a count of more than the whole movie
    // wraps as often as it needs, or the current frame would lie past the
    // end, where no frame ever comes.
    if (frames > 0 && next >= frames) next %= frames;
    // One store: the thread never sees a frame at or past the count.
    d->currentFrame.store(static_cast<int32_t>(std::min<int64_t>(next, INT32_MAX)), std::memory_order_release);
    MarkStale(d);
    return 0;
}

int GetTheoraFrame(TheoraDecoder* d, int32_t wantImage, int32_t wantSurface) {
    if (d == nullptr) return 0;
    const bool surfaceWork = d->surface != nullptr && d->surfaceUpToDate == 0 && wantSurface != 0;
    const bool imageWork = d->imageUpToDate == 0 && wantImage != 0;
    if (!surfaceWork && !imageWork) return 0;
    int32_t entry = -1;
    for (;;) {
        const int32_t state = d->state.load(std::memory_order_acquire);
        if (state == kTheoraSeeking) {
            Sleep(1);
            continue;
        }
        if (state == kTheoraEnded) return 0;
        if (ReserveStockEntry(d, d->currentFrame.load(std::memory_order_relaxed), &entry)) break;
        if (d->endOfData.load(std::memory_order_acquire) != 0) return 0;
        Sleep(0);
    }
    // A surface that cannot be filled (a lock that keeps failing) stays
    // stale; the caller then takes the frame as a picture.
    if (surfaceWork && CopyFrameToSurface(d, PlanesOf(d, d->stock[entry]))) d->surfaceUpToDate = 1;
    if (imageWork) {
        ConvertYuvToImage(PlanesOf(d, d->stock[entry]), &d->frameImage);
        d->imageUpToDate = 1;
    }
    ReleaseStockEntry(d);
    return 1;
}

PixelImage* GetTheoraImage(TheoraDecoder* d) { return d != nullptr ? &d->frameImage : nullptr; }

void* GetTheoraSurface(const TheoraDecoder* d) { return d != nullptr ? d->surface : nullptr; }

uint32_t GetTheoraSurfaceFormat(const TheoraDecoder* d) { return d != nullptr ? d->surfaceFormat : 0; }

int32_t IsTheoraSurfaceUpToDate(const TheoraDecoder* d) { return d != nullptr ? d->surfaceUpToDate : 0; }

int GetTheoraInfo(const TheoraDecoder* d, TheoraStreamInfo* info) {
    if (d == nullptr || info == nullptr) return 0;
    info->framesPerSecond = static_cast<double>(d->info.fps_numerator) / static_cast<double>(d->info.fps_denominator);
    info->frameCount = static_cast<int32_t>(d->frameCount);
    info->width = d->pictureWidth;
    info->height = d->pictureHeight;
    info->pictureX = d->pictureX;
    info->pictureY = d->pictureY;
    info->codedWidth = static_cast<int32_t>(d->info.width);
    info->codedHeight = static_cast<int32_t>(d->info.height);
    return 0;
}

int32_t GetTheoraCurrentFrame(const TheoraDecoder* d) {
    return d != nullptr ? d->currentFrame.load(std::memory_order_relaxed) : -1;
}

int32_t GetTheoraThreadState(const TheoraDecoder* d) {
    return d != nullptr ? d->state.load(std::memory_order_acquire) : -1;
}

int32_t IsTheoraKeyFrame(const TheoraDecoder* d, int32_t frame) {
    if (d == nullptr || frame < 0 || frame >= d->frameCount) return -1;
    return d->keyFrames[frame];
}

int32_t GetTheoraStockFrames(const TheoraDecoder* d, int32_t* frames, int32_t capacity) {
    if (d == nullptr || d->stock == nullptr) return 0;
    for (int32_t i = 0; i < d->stockSize && i < capacity; ++i) {
        const FrameStockEntry& e = d->stock[i];
        frames[i] = e.used.load(std::memory_order_acquire) != 0 ? e.frame.load(std::memory_order_acquire) : -1;
    }
    return d->stockSize;
}

int32_t GetTheoraPageCount(const TheoraDecoder* d) { return d != nullptr ? d->pageCount : 0; }

int GetTheoraPageEntry(const TheoraDecoder* d, int32_t index, uint32_t* offset, int32_t* firstFrame,
                       int32_t* keyFlag, int32_t* frameCount) {
    if (d == nullptr || index < 0 || index >= d->pageCount) return -1;
    const TheoraPageEntry& e = d->pages[index];
    if (offset != nullptr) *offset = e.offset;
    if (firstFrame != nullptr) *firstFrame = e.firstFrame;
    if (keyFlag != nullptr) *keyFlag = e.keyFlag;
    if (frameCount != nullptr) *frameCount = e.frameCount;
    return 0;
}

int64_t GetTheoraFramesDecoded(const TheoraDecoder* d) {
    return d == nullptr ? 0 : d->framesDecoded.load(std::memory_order_relaxed);
}
