// Opening and closing a Theora decoder: the "OggS" check, the header search,
// the page and key-frame index, the decode thread's start and stop.
#include "core/log.h"
#include "core/memory.h"
#include "image/image_decode.h"
#include "movie/theora_internal.h"
#include "platform/dshow/picture_limit.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <cstring>
#include <new>

namespace {

// Test seams name the index (its first room and its growth), frame image and
// stock allocations, so that each failure path of the open can be taken on
// its own.
constexpr const char* kPageIndexCall = "OpenTheora:PageIndex";
constexpr const char* kKeyFramesCall = "OpenTheora:KeyFrames";
constexpr const char* kPageIndexGrowthCall = "OpenTheora:PageIndexGrowth";
constexpr const char* kKeyFramesGrowthCall = "OpenTheora:KeyFramesGrowth";
constexpr const char* kFrameImageCall = "OpenTheora:FrameImage";
constexpr const char* kFrameStockCall = "OpenTheora:FrameStock";

void* Grow(const char* call, void* block, int64_t size) {
    if (size > 0x7FFFFFFF || seams::ShouldFailCall(call)) return nullptr;
    return ReallocMemory(block, static_cast<uint32_t>(size), __FILE__, __LINE__);
}

bool StartsWithOggS(const FileFunctionTable* files, DWORD_PTR file) {
    char head[4] = {};
    if (files->Read(head, 1, 4, file) != 4) return false;
    return std::memcmp(head, "OggS", 4) == 0;
}

// The next page of the sync layer, reading more data while none is complete;
// false when the data ends first.
bool TakePage(TheoraDecoder* d) {
    for (;;) {
        if (PageOut(d)) return true;
        if (ReadTheoraData(d, kTheoraReadBytes) == 0) return false;
    }
}

// Tries the first packet of a stream-starting page as a Theora header. On
// success the trial stream becomes the decoder's stream.
bool TryTheoraStream(TheoraDecoder* d) {
    ogg_stream_state trial{};
    if (ogg_stream_init(&trial, ogg_page_serialno(&d->page)) != 0) return false;
    ogg_stream_pagein(&trial, &d->page);
    ogg_packet packet{};
    if (ogg_stream_packetout(&trial, &packet) == 1 && theora_decode_header(&d->info, &d->comment, &packet) == 0) {
        d->stream = trial;
        d->streamStarted = 1;
        d->serialNumber = ogg_page_serialno(&d->page);
        d->headers = 1;
        return true;
    }
    ogg_stream_clear(&trial);
    return false;
}

// The stream's next packet, feeding it pages as needed. 1 a packet, 0 the
// data ended, -1 a stream error.
int NextHeaderPacket(TheoraDecoder* d) {
    for (;;) {
        const int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got != 0) return got > 0 ? 1 : -1;
        if (!TakePage(d)) return 0;
        ogg_stream_pagein(&d->stream, &d->page);
    }
}

// Finds the Theora stream among the first pages and reads its three headers.
// 1, or -1 when there is none or a header is refused.
int ReadTheoraHeaders(TheoraDecoder* d) {
    bool searching = true;
    while (searching && TakePage(d)) {
        if (!ogg_page_bos(&d->page)) {
            // The first page that starts no stream ends the search.
            if (d->streamStarted) ogg_stream_pagein(&d->stream, &d->page);
            searching = false;
        } else if (TryTheoraStream(d)) {
            searching = false;
        }
    }
    if (!d->streamStarted) return -1;
    while (d->headers < 3) {
        if (NextHeaderPacket(d) != 1) return -1;
        if (theora_decode_header(&d->info, &d->comment, &d->packet) != 0) return -1;
        ++d->headers;
    }
    return 1;
}

bool PictureIsInsideFrame(const theora_info& info) {
    return info.frame_width > 0 && info.frame_height > 0 && info.frame_width <= info.width &&
           info.frame_height <= info.height && info.offset_x <= info.width - info.frame_width &&
           info.offset_y <= info.height - info.frame_height;
}

// The stream's frame, frame rate and picture, checked before libtheora
// allocates for them; a refusal is logged.
bool StreamIsPlayable(const theora_info& info) {
    // The coded frame is what libtheora allocates for: the one movie limit
    // of every road holds it, before the decoder is made.
    if (!dshow::IsPictureSizeAllowed(info.width, info.height)) {
        WriteLogFormatted("Theora ムービーのフレームサイズ(%u x %u)が上限を超えています", info.width, info.height);
        return false;
    }
    if (info.fps_numerator == 0 || info.fps_denominator == 0) {
        WriteLog("Theora ムービーのフレームレートが不正です\n");
        return false;
    }
    if (!PictureIsInsideFrame(info)) {
        WriteLog("Theora ムービーの表示範囲がフレームの外にあります\n");
        return false;
    }
    return true;
}

// The picture the movie shows: the stream's stated rectangle within the
// coded frame (measured from the frame's top-left corner).
void TakePicture(TheoraDecoder* d) {
    d->pictureX = static_cast<int32_t>(d->info.offset_x);
    d->pictureY = static_cast<int32_t>(d->info.offset_y);
    d->pictureWidth = static_cast<int32_t>(d->info.frame_width);
    d->pictureHeight = static_cast<int32_t>(d->info.frame_height);
}

// Room for kTheoraIndexGrowth more page entries / key-frame bytes.
[[nodiscard]] bool AddPageRoom(TheoraDecoder* d, const char* call) {
    const int64_t capacity = int64_t{d->pageCapacity} + kTheoraIndexGrowth;
    void* grown = Grow(call, d->pages, capacity * static_cast<int64_t>(sizeof(TheoraPageEntry)));
    if (grown == nullptr) return false;
    d->pages = static_cast<TheoraPageEntry*>(grown);
    d->pageCapacity = static_cast<int32_t>(capacity);
    return true;
}

[[nodiscard]] bool AddKeyFrameRoom(TheoraDecoder* d, const char* call) {
    const int64_t capacity = int64_t{d->keyFrameCapacity} + kTheoraIndexGrowth;
    void* grown = Grow(call, d->keyFrames, capacity);
    if (grown == nullptr) return false;
    d->keyFrames = static_cast<uint8_t*>(grown);
    d->keyFrameCapacity = static_cast<int32_t>(capacity);
    return true;
}

[[nodiscard]] bool AddPageEntry(TheoraDecoder* d, uint32_t offset) {
    if (d->pageCount == d->pageCapacity && !AddPageRoom(d, kPageIndexGrowthCall)) return false;
    d->pages[d->pageCount++] = TheoraPageEntry{offset, static_cast<int32_t>(d->frameCount), 0, 0};
    return true;
}

[[nodiscard]] bool GrowKeyFrameTable(TheoraDecoder* d) {
    return d->frameCount < d->keyFrameCapacity || AddKeyFrameRoom(d, kKeyFramesGrowthCall);
}

enum class IndexResult { Done, PageMemory, KeyFrameMemory };

// Walks the whole file from offset 0, recording the page on which each video
// packet ends and whether it is a key frame.
IndexResult IndexPages(TheoraDecoder* d) {
    int64_t offset = 0;       // of the next byte the sync layer hands out
    int64_t pageStart = 0;    // of the last page taken
    bool newPage = false;
    for (;;) {
        const int got = ogg_stream_packetout(&d->stream, &d->packet);
        if (got < 0) continue;  // a hole in the data: take the next packet
        if (got == 0) {
            const long seek = ogg_sync_pageseek(&d->sync, &d->page);
            if (seek < 0) {
                offset += -seek;  // bytes skipped before a page
            } else if (seek > 0) {
                pageStart = offset;
                offset += seek;
                newPage = true;
                ogg_stream_pagein(&d->stream, &d->page);  // pages of other streams are refused here
            } else if (ReadTheoraData(d, kTheoraReadBytes) == 0) {
                return IndexResult::Done;
            }
            continue;
        }
        const int key = theora_packet_iskeyframe(&d->packet);
        if (key < 0) continue;  // a header
        if (d->frameCount >= 0x7FFFFFFF) return IndexResult::Done;
        if (newPage) {
            if (pageStart > 0xFFFFFFFF || !AddPageEntry(d, static_cast<uint32_t>(pageStart)))
                return IndexResult::PageMemory;
            newPage = false;
        }
        if (d->pageCount == 0 && !AddPageEntry(d, 0)) return IndexResult::PageMemory;
        if (!GrowKeyFrameTable(d)) return IndexResult::KeyFrameMemory;
        TheoraPageEntry& last = d->pages[d->pageCount - 1];
        d->keyFrames[d->frameCount] = key == 1 ? 1 : 0;
        if (key == 1) last.keyFlag = 1;
        ++d->frameCount;
        ++last.frameCount;
    }
}

TheoraDecoder* FailOpen(TheoraDecoder* d, const char* message) {
    if (message != nullptr) WriteLog(message);
    CloseTheora(d);
    return nullptr;
}

// Sets up the index and the frame image and stock; the message of a failure
// or null.
const char* PrepareDecoding(TheoraDecoder* d) {
    if (!AddPageRoom(d, kPageIndexCall)) return "Theora ページ情報格納用メモリの確保に失敗しました\n";
    if (!AddKeyFrameRoom(d, kKeyFramesCall)) return "Theora キーフレーム情報格納用メモリの確保に失敗しました\n";
    switch (IndexPages(d)) {
        case IndexResult::PageMemory: return "Theora ページ情報格納用メモリの確保に失敗しました\n";
        case IndexResult::KeyFrameMemory: return "Theora キーフレーム情報格納用メモリの確保に失敗しました\n";
        case IndexResult::Done: break;
    }
    // Seeking to the first entry replays the headers from the file's start.
    if (d->pageCount > 0) d->pages[0].offset = 0;
    CreateTheoraSurface(d);
    if (seams::ShouldFailCall(kFrameImageCall) ||
        CreateXRGB8PixelImage(d->pictureWidth, d->pictureHeight, &d->frameImage) != 0) {
        return "Theora ムービーデコードフレームストック用画像バッファの確保に失敗しました\n";
    }
    void* stock = seams::ShouldFailCall(kFrameStockCall)
                      ? nullptr
                      : ALLOC_MEMORY_ZEROED(static_cast<uint32_t>(sizeof(FrameStockEntry) * d->stockSize));
    if (stock == nullptr) return "Theora ムービーデコードフレームストック用のメモリ確保に失敗しました\n";
    d->stock = static_cast<FrameStockEntry*>(stock);
    for (int32_t i = 0; i < d->stockSize; ++i) new (&d->stock[i]) FrameStockEntry();
    return nullptr;
}

}  // namespace

bool PageOut(TheoraDecoder* d) {
    for (;;) {
        const int got = ogg_sync_pageout(&d->sync, &d->page);
        if (got != -1) return got > 0;
    }
}

int32_t ReadTheoraData(TheoraDecoder* d, int32_t bytes) {
    char* buffer = ogg_sync_buffer(&d->sync, bytes);
    if (buffer == nullptr) return 0;
    const size_t got = d->files.Read(buffer, 1, static_cast<size_t>(bytes), d->file);
    ogg_sync_wrote(&d->sync, static_cast<long>(got));
    return static_cast<int32_t>(got);
}

TheoraDecoder* OpenTheora(const FileFunctionTable* files, DWORD_PTR file, int32_t stockSize) {
    if (files == nullptr || files->Read == nullptr || files->Seek == nullptr || files->Eof == nullptr) return nullptr;
    if (!StartsWithOggS(files, file)) return nullptr;
    files->Seek(file, 0, 0);
    void* memory = ALLOC_MEMORY_ZEROED(sizeof(TheoraDecoder));
    if (memory == nullptr) {
        WriteLog("Theora ムービーデコード処理用のメモリ確保に失敗しました\n");
        return nullptr;
    }
    auto* d = new (memory) TheoraDecoder();
    d->stockSize = stockSize > 0 ? stockSize : 1;
    ogg_sync_init(&d->sync);
    theora_info_init(&d->info);
    theora_comment_init(&d->comment);
    d->oggStarted = 1;
    d->files = *files;
    d->file = file;

    if (ReadTheoraHeaders(d) != 1 || !StreamIsPlayable(d->info)) return FailOpen(d, nullptr);
    TakePicture(d);

    // The thread starts paused and touches nothing while the request stands.
    d->pauseRequest.store(1, std::memory_order_release);
    d->state.store(kTheoraStockFull, std::memory_order_release);
    d->thread = CreateThread(nullptr, 0, TheoraDecodeThread, d, 0, &d->threadId);
    if (d->thread == nullptr) return FailOpen(d, "Theora ムービーデコード用スレッドの作成に失敗しました\n");

    if (theora_decode_init(&d->decoderState, &d->info) != 0) return FailOpen(d, nullptr);
    d->decoderStarted = 1;
    ogg_sync_reset(&d->sync);
    ogg_stream_reset(&d->stream);
    d->files.Seek(d->file, 0, 0);

    if (const char* message = PrepareDecoding(d)) return FailOpen(d, message);

    SeekTheora(d, 0);
    GetTheoraFrame(d, 1, 1);
    return d;
}

int CloseTheora(TheoraDecoder* d) {
    if (d == nullptr) return 0;
    if (d->thread != nullptr) {
        // The thread sees the request before its next packet or at its next
        // pass, writes state 3 and leaves; waiting for it to leave also
        // waits for that state.
        d->exitRequest.store(1, std::memory_order_release);
        WaitForSingleObject(d->thread, INFINITE);
        CloseHandle(d->thread);
        d->thread = nullptr;
    }
    if (d->stock != nullptr) {
        for (int32_t i = 0; i < d->stockSize; ++i) {
            FrameStockEntry& e = d->stock[i];
            FreeMemory(e.y);
            FreeMemory(e.u);
            FreeMemory(e.v);
            e.~FrameStockEntry();
        }
        FreeMemory(d->stock);
    }
    FreeMemory(d->pages);
    FreeMemory(d->keyFrames);
    ReleasePixelImage(&d->frameImage);
    ReleaseTheoraSurface(d);
    if (d->streamStarted) ogg_stream_clear(&d->stream);
    if (d->oggStarted) {
        if (d->decoderStarted) theora_clear(&d->decoderState);
        theora_comment_clear(&d->comment);
        theora_info_clear(&d->info);
        ogg_sync_clear(&d->sync);
    }
    d->~TheoraDecoder();
    FreeMemory(d);
    return 0;
}
