// The base filter: reference counting (with an optional outer object), state
// changes passed to the pins, pin enumeration, and the tie to the graph.
#include "platform/dshow/dshow_base.h"
#include "platform/dshow/graph_internal.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <new>

namespace {

// Enumerates a filter's pins by index; holds a reference on the filter.
class PinEnumerator : public ComObject<IEnumPins> {
public:
    PinEnumerator(BaseFilter* filter, int position) : filter_(filter), position_(position) { filter_->AddRef(); }
    ~PinEnumerator() override { filter_->Release(); }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(static_cast<IEnumPins*>(this), iid, {&IID_IEnumPins}, object);
    }
    HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
        if (pins == nullptr) return E_POINTER;
        if (count > 1 && fetched == nullptr) return E_INVALIDARG;
        if (fetched != nullptr) *fetched = 0;
        if (auto failed = seams::FailNow<HRESULT>("IEnumPins::Next", E_FAIL)) return *failed;
        ULONG got = 0;
        while (got < count && position_ < filter_->GetPinCount()) {
            BasePin* pin = filter_->GetPin(position_++);
            if (pin == nullptr) continue;
            pin->AddRef();
            pins[got++] = pin;
        }
        if (fetched != nullptr) *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += static_cast<int>(count);
        return position_ <= filter_->GetPinCount() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumPins** clone) override {
        if (clone == nullptr) return E_POINTER;
        *clone = new (std::nothrow) PinEnumerator(filter_, position_);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    BaseFilter* filter_;
    int position_;
};

}  // namespace

BaseFilter::BaseFilter(const char*, IUnknown* outer, CritSec* lock, REFCLSID clsid, HRESULT*)
    : lock_(lock), clsid_(clsid), outer_(outer) {
    ownUnknown_.filter = this;
    dshow::CountFilter(+1);
}

BaseFilter::~BaseFilter() {
    if (clock_ != nullptr) clock_->Release();
    dshow::CountFilter(-1);
}

HRESULT BaseFilter::OwnUnknown::QueryInterface(REFIID iid, void** object) {
    return filter->NonDelegatingQueryInterface(iid, object);
}
ULONG BaseFilter::OwnUnknown::AddRef() { return filter->NonDelegatingAddRef(); }
ULONG BaseFilter::OwnUnknown::Release() { return filter->NonDelegatingRelease(); }

IUnknown* BaseFilter::GetOwner() { return outer_ != nullptr ? outer_ : &ownUnknown_; }

HRESULT BaseFilter::QueryInterface(REFIID iid, void** object) { return GetOwner()->QueryInterface(iid, object); }
ULONG BaseFilter::AddRef() { return GetOwner()->AddRef(); }
ULONG BaseFilter::Release() { return GetOwner()->Release(); }

HRESULT BaseFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown) {
        *object = &ownUnknown_;
    } else if (iid == IID_IBaseFilter || iid == IID_IMediaFilter || iid == IID_IPersist) {
        *object = static_cast<IBaseFilter*>(this);
    } else {
        return E_NOINTERFACE;
    }
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

ULONG BaseFilter::NonDelegatingAddRef() { return refs_.fetch_add(1) + 1; }

ULONG BaseFilter::NonDelegatingRelease() {
    ULONG r = refs_.fetch_sub(1) - 1;
    if (r == 0) delete this;
    return r;
}

HRESULT BaseFilter::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

HRESULT BaseFilter::Stop() {
    AutoLock lock(lock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
    HRESULT result = S_OK;
    for (int i = 0; i < GetPinCount(); ++i) {
        BasePin* pin = GetPin(i);
        if (pin != nullptr && pin->IsConnected()) {
            HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    return result;
}

HRESULT BaseFilter::Pause() {
    AutoLock lock(lock_);
    if (state_ == State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i) {
            BasePin* pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            HRESULT hr = pin->Active();
            if (FAILED(hr)) return hr;
        }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT BaseFilter::Run(REFERENCE_TIME start) {
    AutoLock lock(lock_);
    if (state_ == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    start_ = start;
    if (state_ == State_Paused) {
        for (int i = 0; i < GetPinCount(); ++i) {
            BasePin* pin = GetPin(i);
            if (pin == nullptr || !pin->IsConnected()) continue;
            HRESULT hr = pin->Run(start);
            if (FAILED(hr)) return hr;
        }
    }
    state_ = State_Running;
    return S_OK;
}

HRESULT BaseFilter::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
}

HRESULT BaseFilter::SetSyncSource(IReferenceClock* clock) {
    AutoLock lock(lock_);
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    return S_OK;
}

HRESULT BaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
}

REFERENCE_TIME BaseFilter::ClockTime() {
    REFERENCE_TIME t = 0;
    IReferenceClock* clock = clock_;
    if (clock != nullptr) clock->GetTime(&t);
    return t;
}

HRESULT BaseFilter::EnumPins(IEnumPins** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = nullptr;
    if (auto failed = seams::FailNow<HRESULT>("IBaseFilter::EnumPins", E_FAIL)) return *failed;
    *enumerator = new (std::nothrow) PinEnumerator(this, 0);
    return *enumerator != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT BaseFilter::FindPin(LPCWSTR id, IPin** pin) {
    if (id == nullptr || pin == nullptr) return E_POINTER;
    *pin = nullptr;
    for (int i = 0; i < GetPinCount(); ++i) {
        BasePin* p = GetPin(i);
        if (p != nullptr && p->Name() == id) {
            p->AddRef();
            *pin = p;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    const size_t n = std::min<size_t>(name_.size(), 127);
    std::copy_n(name_.begin(), n, info->achName);
    info->achName[n] = 0;
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
}

HRESULT BaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    AutoLock lock(lock_);
    graph_ = graph;
    name_ = name != nullptr ? name : u"";
    sink_ = nullptr;
    if (graph != nullptr && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink_))))
        sink_->Release();  // the graph outlives its filters' membership
    return S_OK;
}

HRESULT BaseFilter::NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = sink_;
    if (sink == nullptr) return E_NOTIMPL;
    return sink->Notify(code, param1, param2);
}
