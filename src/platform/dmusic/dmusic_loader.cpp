// The loader: the segments it loaded, kept in its cache until released.
#include "platform/dmusic/dmusic_internal.h"

namespace dmusic {

HRESULT Loader::QueryInterface(REFIID iid, void** object) {
    return AnswerQuery<IDirectMusicLoader8>(this, {&IID_IDirectMusicLoader8}, iid, object);
}

HRESULT Loader::ReleaseObjectByUnknown(IUnknown* object) {
    LogCall([object](CallLog& log) {
        ++log.releaseObjectByUnknown;
        log.lastReleasedFromLoader = object;
    });
    if (const HRESULT injected = SeamFailure("IDirectMusicLoader8::ReleaseObjectByUnknown"); injected != S_OK)
        return injected;
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
