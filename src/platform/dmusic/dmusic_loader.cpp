// The loader: the segments it loaded, kept in its cache until released.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"

namespace dmusic {

HRESULT Loader::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(this, iid, {&IID_IDirectMusicLoader8}, object);
}

HRESULT Loader::ReleaseObjectByUnknown(IUnknown* object) {
    LogCall([object](CallLog& log) {
        ++log.releaseObjectByUnknown;
        log.lastReleasedFromLoader = object;
    });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicLoader8::ReleaseObjectByUnknown", E_FAIL)) return *failed;
    if (object == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(lock_);
    return cache_.Remove(object) ? S_OK : S_FALSE;
}

IDirectMusicSegment8* Loader::LoadSegment() {
    auto* segment = new Segment();
    std::lock_guard<std::mutex> lock(lock_);
    cache_.Add(segment);
    return segment;
}

}  // namespace dmusic
