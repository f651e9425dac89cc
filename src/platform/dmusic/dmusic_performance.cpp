// The performance: its audio over a DirectSound object, its master volume,
// and the segments it plays, which a test starts and ends.
#include "platform/dmusic/dmusic_internal.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <cstring>
#include <utility>

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

// A DirectSound object on the default device, at the priority level on the
// window (the foreground window, else the desktop window, when none is given).
HRESULT MakeDirectSound(HWND window, IDirectSound** sound) {
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectSound, &object);
    if (FAILED(hr)) return hr;
    auto* made = static_cast<IDirectSound*>(object);
    if (window == nullptr) window = GetForegroundWindow();
    if (window == nullptr) window = GetDesktopWindow();
    hr = made->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = made->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(hr)) {
        made->Release();
        return hr;
    }
    *sound = made;
    return S_OK;
}

}  // namespace

Performance::~Performance() {
    if (sound_ != nullptr) sound_->Release();
    CountObject(-1);
}

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
    IDirectSound* sound = nullptr;
    {
        std::lock_guard<std::mutex> lock(lock_);
        std::swap(sound, sound_);
    }
    if (sound != nullptr) sound->Release();
    return StopNow(nullptr);
}

HRESULT Performance::InitAudio(IDirectMusic** music, IDirectSound** sound, HWND window, DWORD defaultPathType,
                               DWORD performanceChannels, DWORD flags, DMUS_AUDIOPARAMS* params) {
    LogCall([=](CallLog& log) {
        ++log.initAudio;
        log.lastWindow = window;
        log.lastPathType = defaultPathType;
        log.lastChannels = performanceChannels;
        log.lastAudioFlags = flags;
        log.lastAudioParams = params != nullptr ? *params : DMUS_AUDIOPARAMS{};
        log.lastDirectSound = nullptr;
    });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::InitAudio", E_FAIL)) return *failed;
    if (params != nullptr && params->dwSize != sizeof(DMUS_AUDIOPARAMS)) return E_INVALIDARG;
    if (music != nullptr || (sound != nullptr && *sound != nullptr)) return E_NOTIMPL;
    std::lock_guard<std::mutex> lock(lock_);
    if (sound_ != nullptr) return E_FAIL;
    const HRESULT hr = MakeDirectSound(window, &sound_);
    if (FAILED(hr)) return hr;
    if (sound != nullptr) {
        sound_->AddRef();
        *sound = sound_;
    }
    LogCall([this](CallLog& log) { log.lastDirectSound = sound_; });
    return S_OK;
}

HRESULT Performance::SetGlobalParam(REFGUID type, void* data, DWORD size) {
    LogCall([](CallLog& log) { ++log.setGlobalParam; });
    if (auto failed = seams::FailNow<HRESULT>("IDirectMusicPerformance8::SetGlobalParam", E_FAIL)) return *failed;
    if (data == nullptr) return E_POINTER;
    if (type != GUID_PerfMasterVolume) return E_NOTIMPL;
    if (size != sizeof(int32_t)) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(lock_);
    std::memcpy(&masterVolume_, data, sizeof masterVolume_);
    LogCall([this](CallLog& log) { log.lastMasterVolume = masterVolume_; });
    return S_OK;
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
