// The segment object: a MIDI file loaded for a performance.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"

namespace dmusic {

HRESULT Segment::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(this, iid, {&IID_IDirectMusicSegment, &IID_IDirectMusicSegment8}, object);
}

HRESULT Segment::Unload(IUnknown* audioPath) {
    LogCall([audioPath](CallLog& log) {
        ++log.unload;
        log.lastUnloadedFrom = audioPath;
    });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicSegment8::Unload", E_FAIL)) return *failed;
    if (audioPath == nullptr) return E_POINTER;
    void* performance = nullptr;
    if (FAILED(audioPath->QueryInterface(IID_IDirectMusicPerformance8, &performance))) return E_INVALIDARG;
    static_cast<IUnknown*>(performance)->Release();
    // No instruments were downloaded: there is nothing to free.
    return S_OK;
}

}  // namespace dmusic
