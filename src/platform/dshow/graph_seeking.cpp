// Positions in media time (100 ns) through the demultiplexer's seeking, and
// the audio renderers' volume and balance.
#include "platform/dshow/graph.h"
#include "platform/seams/seams.h"

#include <algorithm>

namespace dshow {

IMediaSeeking* FilterGraph::SeekableFilter() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (Entry& e : filters_) {
        IMediaSeeking* seeking = nullptr;
        if (SUCCEEDED(e.filter->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking))))
            return seeking;
    }
    return nullptr;
}

LONGLONG FilterGraph::DurationLocked() {
    IMediaSeeking* seeking = SeekableFilter();
    LONGLONG duration = 0;
    if (seeking != nullptr) {
        seeking->GetDuration(&duration);
        seeking->Release();
    }
    return std::max<LONGLONG>(duration, 0);
}

LONGLONG FilterGraph::StopLocked() { return stopPosition_ >= 0 ? stopPosition_ : DurationLocked(); }

LONGLONG FilterGraph::CurrentPositionLocked() {
    const LONGLONG stop = StopLocked();
    {
        std::lock_guard<std::mutex> events(eventLock_);
        if (completed_ && state_ != State_Stopped) return stop;
    }
    return std::clamp<LONGLONG>(startPosition_ + StreamTime(), 0, std::max<LONGLONG>(stop, 0));
}

void FilterGraph::SeekFiltersTo(LONGLONG position) {
    startPosition_ = position;
    IMediaSeeking* seeking = SeekableFilter();
    if (seeking == nullptr) return;
    LONGLONG stop = StopLocked();
    seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning);
    seeking->Release();
}

HRESULT FilterGraph::GetCapabilities(DWORD* capabilities) {
    if (capabilities == nullptr) return E_POINTER;
    *capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
                    AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
}

HRESULT FilterGraph::IsFormatSupported(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT FilterGraph::GetTimeFormat(GUID* format) {
    if (format == nullptr) return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT FilterGraph::SetTimeFormat(const GUID* format) {
    if (format == nullptr) return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT FilterGraph::GetDuration(LONGLONG* duration) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaSeeking::GetDuration", E_FAIL)) return *failed;
    if (duration == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *duration = DurationLocked();
    return S_OK;
}

HRESULT FilterGraph::GetStopPosition(LONGLONG* stop) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaSeeking::GetStopPosition", E_FAIL)) return *failed;
    if (stop == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *stop = StopLocked();
    return S_OK;
}

HRESULT FilterGraph::GetCurrentPosition(LONGLONG* current) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaSeeking::GetCurrentPosition", E_FAIL)) return *failed;
    if (current == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *current = CurrentPositionLocked();
    return S_OK;
}

HRESULT FilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
    if (current == nullptr || stop == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *current = CurrentPositionLocked();
    *stop = StopLocked();
    return S_OK;
}

HRESULT FilterGraph::GetRate(double* rate) {
    if (rate == nullptr) return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

// Streaming stops, the positions change and streaming starts again in the
// state it had.
HRESULT FilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaSeeking::SetPositions", E_FAIL)) return *failed;
    const DWORD how = currentFlags & AM_SEEKING_PositioningBitsMask;
    const DWORD stopHow = stopFlags & AM_SEEKING_PositioningBitsMask;
    if ((how != AM_SEEKING_NoPositioning && current == nullptr) ||
        (stopHow != AM_SEEKING_NoPositioning && stop == nullptr))
        return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    const FILTER_STATE was = state_;
    const LONGLONG here = CurrentPositionLocked();
    LONGLONG target = here;
    if (how == AM_SEEKING_AbsolutePositioning) target = *current;
    if (how == AM_SEEKING_RelativePositioning || how == AM_SEEKING_IncrementalPositioning) target = here + *current;
    if (stopHow == AM_SEEKING_AbsolutePositioning) stopPosition_ = std::max<LONGLONG>(*stop, 0);
    if (stopHow == AM_SEEKING_RelativePositioning) stopPosition_ = std::max<LONGLONG>(StopLocked() + *stop, 0);
    target = std::clamp<LONGLONG>(target, 0, std::max<LONGLONG>(StopLocked(), 0));
    if (was != State_Stopped) {
        StopFilters();
        state_ = State_Stopped;
        pausedAt_ = 0;
    }
    SeekFiltersTo(target);
    return was == State_Stopped ? S_OK : ChangeState(was);
}

HRESULT FilterGraph::put_Volume(LONG volume) {
    if (auto failed = seams::FailNow<HRESULT>("IBasicAudio::put_Volume", E_FAIL)) return *failed;
    if (volume < -10000 || volume > 0) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    volume_ = volume;
    ApplyAudioLevels();
    return S_OK;
}

HRESULT FilterGraph::get_Volume(LONG* volume) {
    if (volume == nullptr) return E_POINTER;
    *volume = volume_;
    return S_OK;
}

HRESULT FilterGraph::put_Balance(LONG balance) {
    if (auto failed = seams::FailNow<HRESULT>("IBasicAudio::put_Balance", E_FAIL)) return *failed;
    if (balance < -10000 || balance > 10000) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    balance_ = balance;
    ApplyAudioLevels();
    return S_OK;
}

HRESULT FilterGraph::get_Balance(LONG* balance) {
    if (balance == nullptr) return E_POINTER;
    *balance = balance_;
    return S_OK;
}

void FilterGraph::ApplyAudioLevels() {
    for (Entry& e : filters_) {
        IBasicAudio* audio = nullptr;
        if (FAILED(e.filter->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&audio)))) continue;
        audio->put_Volume(volume_);
        audio->put_Balance(balance_);
        audio->Release();
    }
}

}  // namespace dshow
