// Events from the filters: every renderer's end of stream makes one
// EC_COMPLETE; errors abort.
#include "platform/dshow/graph.h"
#include "platform/seams/seams.h"


namespace dshow {

void FilterGraph::QueueEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    events_.push_back({code, param1, param2});
    eventArrived_.notify_all();
}

void FilterGraph::ResetCompletion(int renderers) {
    std::lock_guard<std::mutex> lock(eventLock_);
    renderers_ = renderers;
    renderersDone_ = 0;
    completed_ = false;
    aborted_ = false;
    events_.clear();
    if (renderers_ == 0) {
        completed_ = true;
        QueueEvent(EC_COMPLETE, S_OK, 0);
    }
}

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2) {
    std::lock_guard<std::mutex> lock(eventLock_);
    if (code == EC_COMPLETE) {
        if (completed_ || ++renderersDone_ < renderers_) return S_OK;
        completed_ = true;
        QueueEvent(EC_COMPLETE, S_OK, 0);
        return S_OK;
    }
    if (code == EC_ERRORABORT) {
        if (aborted_) return S_OK;
        aborted_ = true;
    }
    QueueEvent(code, param1, param2);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaEvent::GetEvent", E_FAIL)) return *failed;
    if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
    std::unique_lock<std::mutex> lock(eventLock_);
    auto any = [this] { return !events_.empty(); };
    if (timeout < 0)
        eventArrived_.wait(lock, any);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(timeout), any))
        return E_ABORT;
    *code = events_.front().code;
    *param1 = events_.front().param1;
    *param2 = events_.front().param2;
    events_.pop_front();
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(LONG timeout, LONG* code) {
    if (code == nullptr) return E_POINTER;
    *code = 0;
    if (auto failed = seams::FailNow<HRESULT>("IMediaEvent::WaitForCompletion", E_FAIL)) return *failed;
    {
        std::lock_guard<std::recursive_mutex> state(lock_);
        if (state_ != State_Running) return VFW_E_WRONG_STATE;
    }
    std::unique_lock<std::mutex> lock(eventLock_);
    auto ending = [this] {
        for (const Event& e : events_)
            if (e.code == EC_COMPLETE || e.code == EC_ERRORABORT || e.code == EC_USERABORT) return true;
        return false;
    };
    if (timeout < 0)
        eventArrived_.wait(lock, ending);
    else if (!eventArrived_.wait_for(lock, std::chrono::milliseconds(timeout), ending))
        return E_ABORT;
    for (auto it = events_.begin(); it != events_.end(); ++it) {
        if (it->code == EC_COMPLETE || it->code == EC_ERRORABORT || it->code == EC_USERABORT) {
            *code = it->code;
            events_.erase(it);
            break;
        }
    }
    return S_OK;
}

HRESULT FilterGraph::CancelDefaultHandling(LONG) { return S_OK; }
HRESULT FilterGraph::RestoreDefaultHandling(LONG) { return S_OK; }
HRESULT FilterGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

}  // namespace dshow
