// The performance: the segments it plays, which a test starts and ends.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"

namespace dmusic {
namespace {

// Counts a call of StopEx or Stop and keeps its arguments.
void LogStop(int CallLog::*counter, IUnknown* stopped, int64_t stopTime, DWORD flags) {
    LogCall([=](CallLog& log) {
        ++(log.*counter);
        log.lastStopped = stopped;
        log.lastStopTime = stopTime;
        log.lastStopFlags = flags;
    });
}

}  // namespace

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
    LogStop(&CallLog::stopEx, objectToStop, stopTime, flags);
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::StopEx", E_FAIL)) return *failed;
    if (stopTime != 0 || flags != 0) return E_NOTIMPL;  // no clock: only "now"
    if (objectToStop != nullptr && AsSegment(objectToStop) == nullptr) return E_NOTIMPL;  // states, audiopaths
    return StopNow(objectToStop);
}

HRESULT Performance::Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState, MUSIC_TIME stopTime,
                          DWORD flags) {
    LogStop(&CallLog::stop, segment, stopTime, flags);
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::Stop", E_FAIL)) return *failed;
    if (segmentState != nullptr) return E_NOTIMPL;      // no segment states are made here
    if (stopTime != 0 || flags != 0) return E_NOTIMPL;  // no clock: only "now"
    if (segment != nullptr && AsSegment(segment) == nullptr) return E_INVALIDARG;
    return StopNow(segment);
}

HRESULT Performance::CloseDown() {
    LogCall([](CallLog& log) { ++log.closeDown; });
    return StopNow(nullptr);
}

HRESULT Performance::StopNow(IUnknown* segment) {
    std::lock_guard<std::mutex> lock(lock_);
    if (segment == nullptr) {
        playing_.Clear();
        return S_OK;
    }
    playing_.Remove(segment);
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
