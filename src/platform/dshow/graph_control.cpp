// Run, pause and stop: every filter changes state, those downstream first;
// the stream time follows the reference clock.
#include "platform/dshow/graph.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <set>

namespace dshow {
namespace {

constexpr REFERENCE_TIME kStartLatency = 100000;  // 10 ms for the filters to get going

// The filters connected downstream of a filter's output pins.
std::set<IBaseFilter*> DownstreamOf(IBaseFilter* filter) {
    std::set<IBaseFilter*> next;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return next;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        IPin* other = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == PINDIR_OUTPUT && SUCCEEDED(pin->ConnectedTo(&other))) {
            PIN_INFO info{};
            if (SUCCEEDED(other->QueryPinInfo(&info)) && info.pFilter != nullptr) {
                next.insert(info.pFilter);
                info.pFilter->Release();
            }
            other->Release();
        }
        pin->Release();
    }
    pins->Release();
    return next;
}

bool HasPins(IBaseFilter* filter, PIN_DIRECTION direction, bool connectedOnly) {
    bool found = false;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return false;
    IPin* pin = nullptr;
    while (!found && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION d;
        IPin* other = nullptr;
        if (SUCCEEDED(pin->QueryDirection(&d)) && d == direction) {
            found = !connectedOnly || SUCCEEDED(pin->ConnectedTo(&other));
            if (other != nullptr) other->Release();
        }
        pin->Release();
    }
    pins->Release();
    return found;
}

}  // namespace

// Every filter after all the filters it feeds.
std::vector<IBaseFilter*> FilterGraph::DownstreamFirst() {
    std::vector<IBaseFilter*> left = Snapshot(), order;
    while (!left.empty()) {
        auto ready = std::find_if(left.begin(), left.end(), [&](IBaseFilter* f) {
            for (IBaseFilter* next : DownstreamOf(f))
                if (std::find(left.begin(), left.end(), next) != left.end()) return false;
            return true;
        });
        if (ready == left.end()) ready = left.begin();  // a loop: any order
        order.push_back(*ready);
        left.erase(ready);
    }
    return order;
}

int FilterGraph::CountRenderers() {
    int count = 0;
    std::vector<IBaseFilter*> filters = Snapshot();
    for (IBaseFilter* f : filters) {
        if (HasPins(f, PINDIR_INPUT, true) && !HasPins(f, PINDIR_OUTPUT, false)) ++count;
        f->Release();
    }
    return count;
}

REFERENCE_TIME FilterGraph::StreamTime() {
    if (state_ != State_Running) return pausedAt_;
    if (clock_ == nullptr) return pausedAt_;
    REFERENCE_TIME now = 0;
    clock_->GetTime(&now);
    return std::max<REFERENCE_TIME>(0, now - streamStart_);
}

HRESULT FilterGraph::StopFilters() {
    std::vector<IBaseFilter*> filters = DownstreamFirst();
    HRESULT result = S_OK;
    for (IBaseFilter* f : filters) {
        HRESULT hr = f->Stop();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        f->Release();
    }
    return result;
}

HRESULT FilterGraph::ChangeState(FILTER_STATE to) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (to == state_) return S_OK;
    if (to == State_Stopped) {
        const LONGLONG here = CurrentPositionLocked();
        HRESULT hr = StopFilters();
        state_ = State_Stopped;
        pausedAt_ = 0;
        SeekFiltersTo(here);  // a later Run goes on from here
        return hr;
    }
    if (state_ == State_Stopped) ResetCompletion(CountRenderers());
    pausedAt_ = StreamTime();
    std::vector<IBaseFilter*> filters = DownstreamFirst();
    HRESULT result = S_OK;
    REFERENCE_TIME now = 0;
    if (clock_ != nullptr) clock_->GetTime(&now);
    if (to == State_Running) streamStart_ = now + kStartLatency - pausedAt_;
    for (IBaseFilter* f : filters) {
        if (SUCCEEDED(result)) result = to == State_Running ? f->Run(streamStart_) : f->Pause();
        f->Release();
    }
    if (FAILED(result)) {
        StopFilters();
        state_ = State_Stopped;
        return result;
    }
    state_ = to;
    return S_OK;
}

HRESULT FilterGraph::Run() {
    if (auto failed = seams::FailNow<HRESULT>("IMediaControl::Run", E_FAIL)) return *failed;
    return ChangeState(State_Running);
}

HRESULT FilterGraph::Pause() {
    if (auto failed = seams::FailNow<HRESULT>("IMediaControl::Pause", E_FAIL)) return *failed;
    return ChangeState(State_Paused);
}

HRESULT FilterGraph::Stop() {
    if (auto failed = seams::FailNow<HRESULT>("IMediaControl::Stop", E_FAIL)) return *failed;
    return ChangeState(State_Stopped);
}

HRESULT FilterGraph::Run(REFERENCE_TIME) { return Run(); }

HRESULT FilterGraph::StopWhenReady() { return Stop(); }

HRESULT FilterGraph::GetState(LONG, OAFilterState* state) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaControl::GetState", E_FAIL)) return *failed;
    if (state == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *state = state_;
    return S_OK;
}

HRESULT FilterGraph::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *state = state_;
    return S_OK;
}

}  // namespace dshow
