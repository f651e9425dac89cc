// The Theora decoder's record and the calls its files share.
#pragma once

#include "movie/theora_decoder.h"

#include <ogg/ogg.h>
#include <theora/theora.h>

#include <atomic>
#include <cstdint>

constexpr int32_t kTheoraReadBytes = 4096;      // bytes read into the sync layer at a time
constexpr int32_t kTheoraIndexGrowth = 1000;    // page entries and key-frame bytes added at a time
constexpr int32_t kTheoraDecodeStopped = -2;    // DecodeTheoraFrames left off: a close or a new seek waits

// One page on which at least one video packet ends.
struct TheoraPageEntry {
    uint32_t offset;      // file offset of the page's first byte (0 for the first entry)
    int32_t firstFrame;   // the first frame that ends on the page
    int32_t keyFlag;      // 1 when a key frame ends on the page
    int32_t frameCount;   // frames that end on the page
};

// One decoded frame of the stock. The decode thread fills a free entry and
// sets used last (release); the owner reads an entry only while used is 1.
struct FrameStockEntry {
    std::atomic<int32_t> used{0};
    std::atomic<int32_t> frame{-1};
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    int32_t yWidth = 0, yHeight = 0, yStride = 0;
    int32_t uvWidth = 0, uvHeight = 0, uvStride = 0;
};

struct TheoraDecoder {
    // Written by the decode thread only.
    std::atomic<int32_t> state{kTheoraStockFull};
    // Written by the owner only.
    std::atomic<int32_t> pauseRequest{0};
    std::atomic<int32_t> exitRequest{0};
    std::atomic<int32_t> seekRequest{0};
    std::atomic<int32_t> seekTarget{0};
    // Written by the decode thread (set at the end of the data, cleared by a
    // seek), and by the owner while the thread is paused for a seek.
    std::atomic<int32_t> endOfData{0};
    HANDLE thread = nullptr;
    DWORD threadId = 0;

    FileFunctionTable files{};
    DWORD_PTR file = 0;

    // libogg and libtheora: the owner's while the thread is paused or not yet
    // running, the thread's while it runs.
    ogg_sync_state sync{};
    ogg_page page{};
    ogg_stream_state stream{};
    ogg_packet packet{};
    theora_info info{};
    theora_comment comment{};
    theora_state decoderState{};
    int32_t oggStarted = 0;        // ogg_sync_init and the theora inits were made
    int32_t streamStarted = 0;     // the stream state is initialised
    int32_t decoderStarted = 0;    // theora_decode_init succeeded
    int32_t serialNumber = 0;

    // The index, built once at open (read-only while the thread runs).
    TheoraPageEntry* pages = nullptr;
    int32_t pageCount = 0;
    int32_t pageCapacity = 0;
    uint8_t* keyFrames = nullptr;  // one byte per frame: 1 key frame
    int32_t keyFrameCapacity = 0;
    int64_t frameCount = 0;

    // The frame the movie shows (the owner's); -1 before the first seek.
    std::atomic<int32_t> currentFrame{-1};
    int32_t lastDecoded = -1;      // the frame whose picture libtheora holds (the thread's)
    // 1 once libtheora decoded a key frame (the thread's): before that it has
    // no picture, and what it hands out for one points nowhere.
    int32_t pictureReady = 0;
    std::atomic<int64_t> framesDecoded{0};  // packets given to the decoder (tests)
    int32_t headers = 0;
    // The picture within the coded frame, checked at open.
    int32_t pictureX = 0, pictureY = 0, pictureWidth = 0, pictureHeight = 0;

    FrameStockEntry* stock = nullptr;
    int32_t stockSize = 0;
    // The stock entry the owner is converting (-1: none); the thread never
    // frees or refills it.
    std::atomic<int32_t> ownerEntry{-1};

    PixelImage frameImage{};
    void* surface = nullptr;       // the Direct3D 9 Y'CbCr surface (IDirect3DSurface9), or null
    uint32_t surfaceFormat = 0;
    int32_t imageUpToDate = 0;     // the owner's
    int32_t surfaceUpToDate = 0;
};

// Takes the next whole page the sync layer holds into decoder->page (skipping
// bytes that are no page); false when it needs more data.
bool PageOut(TheoraDecoder* decoder);
// Reads up to bytes of the file into the sync layer; the count read (0 at
// the end of the file).
int32_t ReadTheoraData(TheoraDecoder* decoder, int32_t bytes);
// Decodes the next count packets (skipping those before the last key frame
// among them). 1 when the last packet was a key frame, 0 when it was not (and
// for count <= 0), -1 at the end of the file, kTheoraDecodeStopped when it
// left off before a packet because a close or a new seek was asked for.
int32_t DecodeTheoraFrames(TheoraDecoder* decoder, int32_t count);
// Takes the next frame's packet, decoding it when decode. 1 for a key frame,
// 0 for another, -1 at the end of the file.
int32_t TakeTheoraFrame(TheoraDecoder* decoder, bool decode);
DWORD TheoraDecodeThread(LPVOID parameter);
// The frame frame of the stock, as planes (true), or false when the stock does
// not hold it. The entry stays reserved for the owner until ReleaseStockEntry.
bool ReserveStockEntry(TheoraDecoder* decoder, int32_t frame, int32_t* entry);
void ReleaseStockEntry(TheoraDecoder* decoder);

// ---- the Y'CbCr surface (theora_surface.cpp) ----------------------------------
// Makes the surface anew ('YV12', else 'YUY2', else 'UYVY') while the
// Direct3D 9 back end draws and the stream is 4:2:0; none otherwise.
void CreateTheoraSurface(TheoraDecoder* decoder);
void ReleaseTheoraSurface(TheoraDecoder* decoder);
// Copies 4:2:0 planes into the surface; a failing lock makes the surface anew
// and tries again, three attempts in all. false when nothing was copied.
bool CopyFrameToSurface(TheoraDecoder* decoder, const YuvPlanes& planes);
