// Movie handles: the table of 100 records, opening (Theora first, with its
// Vorbis track as a stream sound; DirectShow otherwise) and closing.
#include "core/handle_table.h"
#include "core/log.h"
#include "core/memory.h"
#include "movie/movie_internal.h"
#include "movie/theora_decoder.h"
#include "platform/kernel32/kernel32.h"
#include "sound/sound.h"

namespace {

constexpr int32_t kTheoraStockSize = 10;
constexpr int32_t kStreamLoadType = 3;
constexpr int32_t kOnlyOggVorbisMask = -5;  // every conversion back end refused but Ogg Vorbis (4)

struct MovieTable {
    MovieRecord* slots[kMaxMovieHandles] = {};
    int32_t count = 0;
    int32_t nextCheck = 0;
};

MovieTable& Table() {
    static MovieTable table;
    return table;
}

int32_t g_halfWidthSetting = 0;

int32_t FirstEmptySlot() {
    for (int32_t slot = 0; slot < kMaxMovieHandles; ++slot)
        if (Table().slots[slot] == nullptr) return slot;
    return -1;
}

// The file functions the decoder reads with: the access calls, which serve
// archive members as well as plain files.
const FileFunctionTable* DecoderFileFunctions() {
    static FileFunctionTable table;
    table = *GetFileFunctionTable();
    table.Close = CloseAccessFile;
    table.Tell = TellAccessFile;
    table.Seek = SeekAccessFile;
    table.Read = ReadAccessFile;
    table.Eof = EofAccessFile;
    return &table;
}

// Loads the file's Ogg Vorbis track as a stream sound read by the reader kept
// for movie tracks; the sound settings are put back afterwards. -1 when the
// file has no usable track.
int32_t LoadSoundTrack(const char* fileName) {
    const int32_t loadType = GetSoundLoadType();
    const int32_t mask = GetSoundConvertMask();
    MovieOggReaderFlag = 1;
    SetSoundLoadType(kStreamLoadType);
    SetSoundConvertMask(kOnlyOggVorbisMask);
    const int32_t sound = LoadSound(fileName, 1, -1);
    SetSoundConvertMask(mask);
    MovieOggReaderFlag = 0;
    SetSoundLoadType(loadType);
    return sound;
}

// Opens the file with the Theora player; false when it refuses the file.
bool OpenTheoraMovie(MovieRecord* r, const char* fileName, int32_t* width, int32_t* height) {
    r->file = OpenAccessFile(fileName, 0, 1, 0);
    if (r->file == 0) return false;
    r->decoder = OpenTheora(DecoderFileFunctions(), r->file, kTheoraStockSize);
    if (r->decoder == nullptr) {
        CloseAccessFile(r->file);
        r->file = 0;
        return false;
    }
    r->sound = LoadSoundTrack(fileName);
    TheoraStreamInfo info{};
    GetTheoraInfo(r->decoder, &info);
    r->width = info.width;
    r->height = info.height;
    if (width != nullptr) *width = info.width;
    if (height != nullptr) *height = info.height;
    r->theora = 1;
    r->currentPicture = GetTheoraImage(r->decoder);
    r->overlayShown = 0;
    return true;
}

template <typename Interface>
void ReleaseInterface(Interface** slot) {
    if (*slot == nullptr) return;
    (*slot)->Release();
    *slot = nullptr;
}

}  // namespace

void ReleaseMovieInterfaces(MovieRecord* r) {
    for (int i = 7; i >= 1; --i) ReleaseInterface(&r->overlay[i]);
    ReleaseInterface(&r->basicAudio);
    ReleaseInterface(&r->mediaSeeking);
    ReleaseInterface(&r->overlay[8]);
    ReleaseInterface(&r->mediaControl);
    ReleaseInterface(&r->graph);
    ReleaseInterface(&r->overlay[0]);
    r->renderer = nullptr;  // it went with the graph
}

int32_t MovieHandleOf(const MovieRecord* record, int32_t slot) {
    return ((record->handleCheck | (kHandleTypeMovie >> kHandleCheckShift)) << kHandleCheckShift) | slot;
}

MovieRecord* MovieAtSlot(int32_t slot) {
    return slot >= 0 && slot < kMaxMovieHandles ? Table().slots[slot] : nullptr;
}

MovieRecord* GetMovieRecord(int32_t handle) {
    if (handle < 0 || (handle & kHandleTypeMask) != kHandleTypeMovie) return nullptr;
    const int32_t slot = handle & kHandleSlotMask;
    if (slot >= kMaxMovieHandles) return nullptr;
    MovieRecord* record = Table().slots[slot];
    if (record == nullptr) return nullptr;
    if (record->handleCheck != ((handle & kHandleCheckMask) >> kHandleCheckShift)) return nullptr;
    return record;
}

int32_t OpenMovie(const char* fileName, int32_t* width, int32_t* height, int32_t flag) {
    const int32_t slot = FirstEmptySlot();
    if (slot < 0) return -1;
    auto* r = static_cast<MovieRecord*>(ALLOC_MEMORY_ZEROED(sizeof(MovieRecord)));
    if (r == nullptr) return WriteLogFormatted("メモリの確保に失敗しました in OpenMovie");
    r->sound = -1;
    r->halfWidth = g_halfWidthSetting;
    if (!OpenTheoraMovie(r, fileName, width, height)) {
        r->temporaryFile = 0;
        if (OpenMovieDirectShow(nullptr, r, fileName, width, height, flag) == -1) {
            ReleaseMovieInterfaces(r);
            FreeMemory(r);
            return WriteLogFormatted("ムービーファイルオープン処理時にエラーが発生しました");
        }
        r->currentPicture = &r->framePicture;
    }
    r->paused = 1;
    r->playing = 0;
    r->playType = 1;
    MovieTable& table = Table();
    r->handleCheck = table.nextCheck;
    table.nextCheck = (table.nextCheck + 1) % kHandleCheckLimit;
    table.slots[slot] = r;
    ++table.count;
    return MovieHandleOf(r, slot);
}

int CloseMovie(int32_t handle) {
    MovieRecord* r = GetMovieRecord(handle);
    if (r == nullptr) return -1;
    if (r->theora) {
        CloseTheora(r->decoder);  // stops the decode thread before its file goes
        if (r->file != 0) CloseAccessFile(r->file);
        r->file = 0;
        if (r->sound != -1) DeleteSound(r->sound, 0);
        r->decoder = nullptr;
        r->sound = 0;
        r->theora = 0;
    }
    if (r->temporaryFile == 1) {
        DeleteFileW(r->path);
        r->temporaryFile = 0;
    }
    if (r->framePicture.pixels != nullptr) FreeMemory(r->framePicture.pixels);
    r->framePicture.pixels = nullptr;
    // The graph's streaming threads end before the renderer and its frame go.
    if (r->mediaControl != nullptr) r->mediaControl->Stop();
    ReleaseMovieInterfaces(r);
    if (r->systemHandle != nullptr) CloseHandle(r->systemHandle);
    Table().slots[handle & kHandleSlotMask] = nullptr;
    --Table().count;
    FreeMemory(r);
    return 0;
}

int SetMovieFrameCallback(int32_t handle, MovieFrameCallback callback, uintptr_t userWord) {
    MovieRecord* r = GetMovieRecord(handle);
    if (r == nullptr) return -1;
    r->frameCallback = callback;
    r->userWord = userWord;
    return 0;
}

int SetMovieHalfWidthFlag(int32_t flag) {
    g_halfWidthSetting = flag != 0 ? 1 : 0;
    return 0;
}

int32_t GetMovieHalfWidthFlag() { return g_halfWidthSetting; }

int32_t GetMovieCount() { return Table().count; }
