// The decode thread of a Theora decoder: it serves pause, seek and exit
// requests and keeps the frame stock filled with the frames from the current
// one on (wrapping past the end to the file's start). A long decode (a seek
// far from its key frame) leaves off between packets when the decoder is
// closed or a new seek is asked for.
#include "core/memory.h"
#include "movie/theora_internal.h"
#include "platform/kernel32/kernel32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<TheoraPacketHook> packetHook{nullptr};

// Asked before each packet: true when the decode is to leave off.
bool StopBeforePacket(const TheoraDecoder* d) {
    if (const TheoraPacketHook hook = packetHook.load(std::memory_order_acquire)) hook(d);
    return IsTheoraStopAsked(d) != 0;
}

int32_t FrameCountOf(const TheoraDecoder* d) { return static_cast<int32_t>(d->frameCount); }

// The frames the stock should hold: the current one and those after it,
// wrapping past the end, as many as the stock has entries (or the file frames).
int32_t WindowSize(const TheoraDecoder* d) { return std::min(d->stockSize, FrameCountOf(d)); }

bool InWindow(const TheoraDecoder* d, int32_t frame, int32_t current) {
    const int32_t count = FrameCountOf(d);
    const int32_t distance = ((frame - current) % count + count) % count;
    return distance < WindowSize(d);
}

// Empties an entry unless the owner holds it for reading.
void FreeEntry(TheoraDecoder* d, int32_t index) {
    FrameStockEntry& e = d->stock[index];
    e.used.store(0, std::memory_order_seq_cst);
    if (d->ownerEntry.load(std::memory_order_seq_cst) == index) e.used.store(1, std::memory_order_seq_cst);
}

bool EntryIsFree(const TheoraDecoder* d, int32_t index) {
    return d->stock[index].used.load(std::memory_order_acquire) == 0;
}

bool StockHolds(const TheoraDecoder* d, int32_t frame) {
    for (int32_t i = 0; i < d->stockSize; ++i)
        if (!EntryIsFree(d, i) && d->stock[i].frame.load(std::memory_order_acquire) == frame) return true;
    return false;
}

// Frees every entry whose frame fell out of the window of the current frame,
// wherever the current frame moved (forward, backward or around the end).
void FreeStaleEntries(TheoraDecoder* d, int32_t current) {
    for (int32_t i = 0; i < d->stockSize; ++i) {
        if (EntryIsFree(d, i)) continue;
        if (!InWindow(d, d->stock[i].frame.load(std::memory_order_acquire), current)) FreeEntry(d, i);
    }
}

int32_t FirstFreeEntry(const TheoraDecoder* d) {
    for (int32_t i = 0; i < d->stockSize; ++i)
        if (EntryIsFree(d, i)) return i;
    return -1;
}

// The first frame of the window that the stock does not hold, or -1.
int32_t FirstMissingFrame(const TheoraDecoder* d, int32_t current) {
    const int32_t window = WindowSize(d);
    for (int32_t k = 0; k < window; ++k) {
        const int32_t frame = static_cast<int32_t>((int64_t{current} + k) % FrameCountOf(d));
        if (!StockHolds(d, frame)) return frame;
    }
    return -1;
}

// The next packet of the Theora stream, reading pages and data as needed.
// False at the end of the file.
bool TakePacket(TheoraDecoder* d) {
    for (;;) {
        const int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got > 0) return true;
        if (got < 0) continue;  // a hole in the data
        if (PageOut(d)) {
            ogg_stream_pagein(&d->stream, &d->page);
            continue;
        }
        if (d->files.Eof(d->file) != 0) return false;
        if (ReadTheoraData(d, kTheoraReadBytes) == 0) return false;
    }
}

// The page to start decoding from so that the decoder reaches the target
// with a key frame on the way: the page before the nearest key page before
// the target's page. -1 when no page holds the target.
int32_t StartPageFor(const TheoraDecoder* d, int32_t target) {
    int32_t found = -1;
    for (int32_t i = 0; i < d->pageCount; ++i) {
        if (int64_t{d->pages[i].firstFrame} + d->pages[i].frameCount > target) {
            found = i;
            break;
        }
    }
    if (found <= 0) return found;
    int32_t key = found - 1;
    while (key > 0 && d->pages[key].keyFlag == 0) --key;
    return key > 0 ? key - 1 : 0;
}

enum class Reach { NoPage, Done, Stopped };

// Positions the file and the Ogg layers at the start page and decodes up to
// the target one packet at a time, so that the decoder holds the target's
// picture (Done, also when the data ends first: end of data is then set).
// NoPage when no page holds the target; Stopped when a close or a new seek
// came first.
Reach DecodeFromKeyPage(TheoraDecoder* d, int32_t target) {
    const int32_t start = StartPageFor(d, target);
    if (start < 0) return Reach::NoPage;
    ogg_sync_reset(&d->sync);
    ogg_stream_reset(&d->stream);
    d->files.Seek(d->file, d->pages[start].offset, 0);
    int32_t first = d->pages[start].firstFrame;
    if (start != 0) {
        bool gotPage = false;
        while (!gotPage) {
            if (PageOut(d))
                gotPage = true;
            else if (ReadTheoraData(d, kTheoraReadBytes) == 0)
                break;
        }
        if (gotPage) {
            if (ogg_page_continued(&d->page)) ++first;  // its first packet began on the page before
            ogg_stream_pagein(&d->stream, &d->page);
        }
    }
    d->lastDecoded = first - 1;
    d->endOfData.store(0, std::memory_order_release);
    // Every frame on the way counts: one that is not decoded leaves its
    // changes out of the picture until the next key frame.
    while (d->lastDecoded < target) {
        const int32_t got = DecodeTheoraFrames(d, 1);
        if (got == kTheoraDecodeStopped) return Reach::Stopped;
        if (got < 0) {
            d->endOfData.store(1, std::memory_order_release);
            return Reach::Done;
        }
    }
    return Reach::Done;
}

// Serves the owner's seek request; false when the target lies in no page
// (the thread then ends). A seek left off keeps its request: the thread
// leaves, or rests until the owner has written the new target.
bool ServeSeek(TheoraDecoder* d) {
    const int32_t target = d->seekTarget.load(std::memory_order_acquire);
    const Reach reach = DecodeFromKeyPage(d, target);
    if (reach == Reach::NoPage) return false;
    if (reach == Reach::Stopped) return true;
    for (int32_t i = 0; i < d->stockSize; ++i) FreeEntry(d, i);
    d->seekRequest.store(0, std::memory_order_release);
    return true;
}

// Makes the plane buffer fit; false when it cannot be allocated.
bool FitPlane(uint8_t** plane, int32_t* width, int32_t* height, int32_t* stride, int32_t newWidth,
              int32_t newHeight) {
    if (*width != newWidth || *height != newHeight || *stride != newWidth) {
        FreeMemory(*plane);
        *plane = nullptr;
    }
    *width = newWidth;
    *height = newHeight;
    *stride = newWidth;
    if (*plane == nullptr) *plane = static_cast<uint8_t*>(ALLOC_MEMORY(static_cast<uint32_t>(newWidth) * newHeight));
    return *plane != nullptr;
}

void CopyPlane(uint8_t* to, const unsigned char* from, int32_t width, int32_t height, int32_t stride) {
    for (int32_t row = 0; row < height; ++row)
        std::memcpy(to + static_cast<intptr_t>(row) * width, from + static_cast<intptr_t>(row) * stride,
                    static_cast<size_t>(width));
}

bool PlanesAreSound(const yuv_buffer& yuv) {
    if (yuv.y == nullptr || yuv.u == nullptr || yuv.v == nullptr) return false;
    if (yuv.y_width <= 0 || yuv.y_height <= 0 || yuv.uv_width <= 0 || yuv.uv_height <= 0) return false;
    if (std::abs(yuv.y_stride) < yuv.y_width || std::abs(yuv.uv_stride) < yuv.uv_width) return false;
    return int64_t{yuv.y_width} * yuv.y_height <= 0x7FFFFFFF;
}

// Stores the decoder's picture (of the last decoded frame) in the free entry;
// false when there is no picture or no memory for it.
bool StoreFrame(TheoraDecoder* d, int32_t index) {
    if (d->pictureReady == 0) return false;  // no key frame decoded yet: nothing to copy
    yuv_buffer yuv{};
    if (theora_decode_YUVout(&d->decoderState, &yuv) != 0 || !PlanesAreSound(yuv)) return false;
    FrameStockEntry& e = d->stock[index];
    if (!FitPlane(&e.y, &e.yWidth, &e.yHeight, &e.yStride, yuv.y_width, yuv.y_height)) return false;
    int32_t uWidth = e.uvWidth, uHeight = e.uvHeight, uStride = e.uvStride;
    if (!FitPlane(&e.u, &uWidth, &uHeight, &uStride, yuv.uv_width, yuv.uv_height)) return false;
    if (!FitPlane(&e.v, &e.uvWidth, &e.uvHeight, &e.uvStride, yuv.uv_width, yuv.uv_height)) return false;
    CopyPlane(e.y, yuv.y, yuv.y_width, yuv.y_height, yuv.y_stride);
    CopyPlane(e.u, yuv.u, yuv.uv_width, yuv.uv_height, yuv.uv_stride);
    CopyPlane(e.v, yuv.v, yuv.uv_width, yuv.uv_height, yuv.uv_stride);
    e.frame.store(d->lastDecoded, std::memory_order_release);
    e.used.store(1, std::memory_order_release);  // last: the owner never sees a half-filled entry
    return true;
}

void NoteEndOfData(TheoraDecoder* d) {
    d->endOfData.store(1, std::memory_order_release);
    Sleep(1);
}

// One pass of decoding ahead: free what fell out of the window, then decode
// and store the window's first missing frame.
void DecodePass(TheoraDecoder* d) {
    const int32_t current = d->currentFrame.load(std::memory_order_acquire);
    if (FrameCountOf(d) <= 0 || current < 0 || current >= FrameCountOf(d)) {
        d->state.store(kTheoraStockFull, std::memory_order_release);
        Sleep(1);
        return;
    }
    if (d->endOfData.load(std::memory_order_acquire) == 0) FreeStaleEntries(d, current);
    const int32_t entry = FirstFreeEntry(d);
    const int32_t target = entry < 0 ? -1 : FirstMissingFrame(d, current);
    if (target < 0) {
        // Nothing to do until the owner moves on, which may be never (a
        // paused movie): sleep rather than yield, or the thread keeps a core
        // busy for as long as the movie is open.
        d->state.store(kTheoraStockFull, std::memory_order_release);
        Sleep(1);
        return;
    }
    d->state.store(kTheoraDecoding, std::memory_order_release);
    if (target > d->lastDecoded) {
        const int32_t got = DecodeTheoraFrames(d, target - d->lastDecoded);
        if (got == kTheoraDecodeStopped) return;
        if (got < 0) return NoteEndOfData(d);
    } else if (target < d->lastDecoded) {
        // Behind the decoder (the movie wrapped or went back): start again
        // from the key page before it.
        if (DecodeFromKeyPage(d, target) == Reach::Stopped) return;
        if (d->lastDecoded != target) return NoteEndOfData(d);
    }
    if (!StoreFrame(d, entry)) return NoteEndOfData(d);
    Sleep(0);
}

}  // namespace

int32_t DecodeTheoraFrames(TheoraDecoder* d, int32_t count) {
    if (count <= 0) return 0;
    const int32_t last = d->lastDecoded;
    int32_t lastKey = -1;
    for (int64_t f = int64_t{last} + 1; f <= int64_t{last} + count; ++f)
        if (f >= 0 && f < d->frameCount && d->keyFrames[f] != 0) lastKey = static_cast<int32_t>(f);
    int32_t result = 0;
    for (int32_t taken = 0; taken < count; ++taken) {
        if (StopBeforePacket(d)) return kTheoraDecodeStopped;
        const int32_t frame = d->lastDecoded + 1;
        result = TakeTheoraFrame(d, lastKey < 0 || frame >= lastKey);
        if (result < 0) return -1;
    }
    return result;
}

int32_t TakeTheoraFrame(TheoraDecoder* d, bool decode) {
    for (;;) {
        if (!TakePacket(d)) return -1;
        const int key = theora_packet_iskeyframe(&d->packet);
        if (key < 0) continue;  // a header: not a frame
        if (decode) {
            d->framesDecoded.fetch_add(1, std::memory_order_relaxed);
            const bool decoded = theora_decode_packetin(&d->decoderState, &d->packet) == 0;
            if (decoded && key == 1 && d->packet.bytes > 0) d->pictureReady = 1;
        }
        d->lastDecoded += 1;
        return key == 1 ? 1 : 0;
    }
}

int32_t IsTheoraStopAsked(const TheoraDecoder* d) {
    if (d == nullptr) return 0;
    return d->exitRequest.load(std::memory_order_acquire) != 0 || d->pauseRequest.load(std::memory_order_acquire) != 0;
}

void SetTheoraPacketHook(TheoraPacketHook hook) { packetHook.store(hook, std::memory_order_release); }

DWORD TheoraDecodeThread(LPVOID parameter) {
    auto* d = static_cast<TheoraDecoder*>(parameter);
    while (d->exitRequest.load(std::memory_order_acquire) == 0) {
        if (d->pauseRequest.load(std::memory_order_acquire) != 0) {
            d->state.store(kTheoraPaused, std::memory_order_release);
            Sleep(1);
            continue;
        }
        const bool seek = d->seekRequest.load(std::memory_order_acquire) != 0;
        // Leave the paused state before the work, then look at the pause
        // request again: an owner that still saw "paused" has paused anew
        // (its SeekTheora went on at once), and this pass must not serve the
        // older request nor clear the newer one. (Both sides use sequential
        // consistency here: one of them sees the other's store.)
        d->state.store(seek ? kTheoraSeeking : kTheoraDecoding, std::memory_order_seq_cst);
        if (d->pauseRequest.load(std::memory_order_seq_cst) != 0) continue;
        if (seek) {
            if (!ServeSeek(d)) break;  // the target lies in no page: nothing more can be shown
        } else {
            DecodePass(d);
        }
    }
    d->state.store(kTheoraEnded, std::memory_order_release);
    return 0;
}
