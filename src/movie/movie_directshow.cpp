// The DirectShow movie player's open: a filter graph holding the movie
// renderer renders the file by its name or, when DirectShow cannot open the
// name (a member of an archive, say), a temporary copy of the file.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "movie/movie_internal.h"
#include "movie/movie_renderer.h"
#include "platform/kernel32/kernel32.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kCopyChunk = 1u << 20;
constexpr UINT kShiftJisCodePage = 932;

// Copies the open file to the temporary file in chunks of 1 MB; stops early
// when the disk takes fewer bytes than given.
void CopyInChunks(DWORD_PTR file, int64_t size, uint8_t* buffer, HANDLE target) {
    for (int64_t position = 0; position < size; position += kCopyChunk) {
        const DWORD chunk = static_cast<DWORD>(std::min<int64_t>(size - position, kCopyChunk));
        const size_t read = ReadAccessFile(buffer, 1, chunk, file);
        if (read < chunk) std::memset(buffer + read, 0, chunk - read);
        DWORD written = 0;
        WriteFile(target, buffer, chunk, &written, nullptr);
        if (written < chunk) break;
    }
}

// Copies the file (archive members included) to a new temporary file whose
// UTF-16 path goes into the record; false when the file cannot be read or
// the copy cannot be made (nothing is left behind).
bool CopyToTemporaryFile(MovieRecord* r, const char* fileName) {
    const DWORD_PTR file = OpenAccessFile(fileName, 0, 1, 0);
    if (file == 0) return false;
    SeekAccessFile(file, 0, 2);
    const int64_t size = TellAccessFile(file);
    SeekAccessFile(file, 0, 0);
    auto* buffer = static_cast<uint8_t*>(ALLOC_MEMORY(kCopyChunk));
    if (buffer == nullptr) {
        CloseAccessFile(file);
        return false;
    }
    char path[MAX_PATH] = {};
    HANDLE target = CreateTemporaryFile(path);
    // A name was made but the file would not open: it is no copy either.
    if (target == nullptr || target == INVALID_HANDLE_VALUE) {
        CloseAccessFile(file);
        FreeMemory(buffer);
        return false;
    }
    MultiByteToWideChar(kShiftJisCodePage, 0, path, -1, r->path, MAX_PATH);
    r->temporaryFile = 1;
    CopyInChunks(file, size, buffer, target);
    CloseAccessFile(file);
    CloseHandle(target);
    FreeMemory(buffer);
    return true;
}

// Creates the graph with the renderer in it and takes its control, seeking
// and audio interfaces; the failure's message, or null.
const char* BuildGraph(MovieRecord* r) {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                IID_IGraphBuilder, reinterpret_cast<void**>(&r->graph))))
        return "CLSID_FilterGraph の作成に失敗しました";
    HRESULT created = S_OK;
    r->renderer = CreateMovieRenderer(nullptr, &created);
    if (r->renderer == nullptr || FAILED(r->graph->AddFilter(r->renderer, u"MovieRenderer"))) {
        delete r->renderer;  // no graph took it: nobody else holds it
        r->renderer = nullptr;
        return "Could not add renderer filter to graph!";
    }
    if (FAILED(r->graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&r->basicAudio))))
        return "BasicAudio インターフェースの取得に失敗しました";
    if (FAILED(r->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&r->mediaControl))))
        return "IID_IMediaControlインターフェイスの取得に失敗しました";
    if (FAILED(r->graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&r->mediaSeeking))))
        return "IID_IMediaSeekingインターフェイスの取得に失敗しました";
    return nullptr;
}

// Renders the file by its name, else a temporary copy of it; false when
// neither renders (a copy that did not render is deleted).
bool RenderMovieFile(MovieRecord* r, const char* fileName) {
    MultiByteToWideChar(CodePageNumber(), 0, fileName, -1, r->path, MAX_PATH);
    if (SUCCEEDED(r->graph->RenderFile(r->path, nullptr))) return true;
    if (r->temporaryFile == 1 || !CopyToTemporaryFile(r, fileName)) return false;
    if (SUCCEEDED(r->graph->RenderFile(r->path, nullptr))) return true;
    DeleteFileW(r->path);
    r->temporaryFile = 0;
    return false;
}

}  // namespace

int OpenMovieDirectShow(void*, MovieRecord* r, const char* fileName, int32_t* width, int32_t* height, int32_t) {
    r->framePicture.pixels = nullptr;
    r->frameDelivered = 0;
    r->overlayX = r->overlayY = r->overlayScale = r->overlayShow = 0;
    r->overlaySource = RECT{};
    r->overlayDestination = RECT{};
    if (fileName == nullptr) fileName = "";
    if (const char* failure = BuildGraph(r)) {
        ReleaseMovieInterfaces(r);
        return WriteLogFormatted("%s", failure);  // a line of its own
    }
    if (!RenderMovieFile(r, fileName)) {
        ReleaseMovieInterfaces(r);
        int64_t refusedWidth = 0, refusedHeight = 0;
        if (dshow::RefusedPictureSize(&refusedWidth, &refusedHeight))
            WriteLogFormatted("ムービーのフレームサイズ(%lld x %lld)が上限(%lld x %lld)を超えています",
                              static_cast<long long>(refusedWidth), static_cast<long long>(refusedHeight),
                              static_cast<long long>(dshow::kMaxPictureLongSide),
                              static_cast<long long>(dshow::kMaxPictureShortSide));
        return WriteLogFormatted("ファイル:%s が開けませんでした", fileName);
    }
    r->mediaSeeking->GetDuration(&r->duration);
    if (r->duration == 0) r->duration = kZeroDurationStandIn;
    r->mediaSeeking->GetStopPosition(&r->stopTime);
    r->width = r->renderer->width;
    r->height = r->renderer->height;
    if (width != nullptr) *width = r->width;
    if (height != nullptr) *height = r->height;
    return 0;
}
