// The performance: the segments it plays, which a test starts and ends.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"

namespace dmusic {

HRESULT Performance::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(this, iid, {&IID_IDirectMusicPerformance8}, object);
}

HRESULT Performance::IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState) {
    LogCall([](CallLog& log) { ++log.isPlaying; });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::IsPlaying", E_FAIL)) return *failed;
    if (segment == nullptr && segmentState == nullptr) return E_POINTER;
    if (segmentState != nullptr) return E_NOTIMPL;  // no segment states are made here
    std::lock_guard<std::mutex> lock(lock_);
    return playing_.Contains(segment) ? S_OK : S_FALSE;
}

HRESULT Performance::StopEx(IUnknown* objectToStop, int64_t stopTime, DWORD flags) {
    LogCall([=](CallLog& log) {
        ++log.stopEx;
        log.lastStopped = objectToStop;
        log.lastStopTime = stopTime;
        log.lastStopFlags = flags;
    });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::StopEx", E_FAIL)) return *failed;
    if (stopTime != 0 || flags != 0) return E_NOTIMPL;  // no clock: only "now"
    std::lock_guard<std::mutex> lock(lock_);
    if (objectToStop == nullptr) {
        playing_.Clear();
        return S_OK;
    }
    if (AsSegment(objectToStop) == nullptr) return E_NOTIMPL;  // segment states, audiopaths
    playing_.Remove(objectToStop);
    return S_OK;
}

HRESULT Performance::Play(IDirectMusicSegment8* segment) {
    if (AsSegment(segment) == nullptr) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(lock_);
    return playing_.Add(segment) ? S_OK : S_FALSE;
}

HRESULT Performance::End(IDirectMusicSegment8* segment) {
    if (AsSegment(segment) == nullptr) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(lock_);
    return playing_.Remove(segment) ? S_OK : S_FALSE;
}

}  // namespace dmusic
