// The filter graph manager: its interfaces, the filters it holds, direct
// connections, and its end (stopped before the filters go).
#include "platform/dshow/graph.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <new>
#include <optional>

namespace dshow {
namespace {

// Enumerates a snapshot of the graph's filters.
class FilterEnumerator : public ComObject<IEnumFilters> {
public:
    explicit FilterEnumerator(std::vector<IBaseFilter*> filters, size_t position = 0)
        : filters_(std::move(filters)), position_(position) {}
    ~FilterEnumerator() override {
        for (IBaseFilter* f : filters_) f->Release();
    }
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(static_cast<IEnumFilters*>(this), iid, {&IID_IEnumFilters}, object);
    }
    HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) override {
        if (filters == nullptr) return E_POINTER;
        if (count > 1 && fetched == nullptr) return E_INVALIDARG;
        if (fetched != nullptr) *fetched = 0;
        if (auto failed = seams::FailNow<HRESULT>("IEnumFilters::Next", E_FAIL)) return *failed;
        ULONG got = 0;
        for (; got < count && position_ < filters_.size(); ++got) {
            filters[got] = filters_[position_++];
            filters[got]->AddRef();
        }
        if (fetched != nullptr) *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        position_ += count;
        return position_ <= filters_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFilters** clone) override {
        if (clone == nullptr) return E_POINTER;
        for (IBaseFilter* f : filters_) f->AddRef();
        *clone = new (std::nothrow) FilterEnumerator(filters_, position_);
        return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
    }

private:
    std::vector<IBaseFilter*> filters_;
    size_t position_;
};

// The seam for a QueryInterface of one of the graph's interfaces.
std::optional<HRESULT> QueryRefused(REFIID iid) {
    static const struct {
        const IID* iid;
        const char* seam;
    } kSeams[] = {
        {&IID_IGraphBuilder, "QueryInterface(IGraphBuilder)"}, {&IID_IMediaControl, "QueryInterface(IMediaControl)"},
        {&IID_IMediaSeeking, "QueryInterface(IMediaSeeking)"}, {&IID_IMediaEvent, "QueryInterface(IMediaEvent)"},
        {&IID_IMediaFilter, "QueryInterface(IMediaFilter)"},   {&IID_IBasicAudio, "QueryInterface(IBasicAudio)"},
    };
    for (const auto& s : kSeams)
        if (iid == *s.iid) return seams::FailNow<HRESULT>(s.seam, E_NOINTERFACE);
    return std::nullopt;
}

}  // namespace

FilterGraph::FilterGraph() { clock_ = CreateSystemClock(); }

FilterGraph::~FilterGraph() {
    StopFilters();
    std::vector<Entry> filters;
    {
        std::lock_guard<std::recursive_mutex> lock(lock_);
        filters.swap(filters_);
    }
    for (Entry& e : filters) DisconnectAll(e.filter);
    for (Entry& e : filters) {
        e.filter->SetSyncSource(nullptr);
        e.filter->JoinFilterGraph(nullptr, nullptr);
        e.filter->Release();
    }
    if (clock_ != nullptr) clock_->Release();
}

HRESULT FilterGraph::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (auto refused = QueryRefused(iid)) return *refused;
    if (iid == IID_IUnknown || iid == IID_IGraphBuilder || iid == IID_IFilterGraph)
        *object = static_cast<IGraphBuilder*>(this);
    else if (iid == IID_IMediaControl)
        *object = static_cast<IMediaControl*>(this);
    else if (iid == IID_IMediaEvent)
        *object = static_cast<IMediaEvent*>(this);
    else if (iid == IID_IMediaSeeking)
        *object = static_cast<IMediaSeeking*>(this);
    else if (iid == IID_IBasicAudio)
        *object = static_cast<IBasicAudio*>(this);
    else if (iid == IID_IMediaFilter || iid == IID_IPersist)
        *object = static_cast<IMediaFilter*>(this);
    else if (iid == IID_IMediaEventSink)
        *object = static_cast<IMediaEventSink*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG FilterGraph::AddRef() { return refs_.fetch_add(1) + 1; }

ULONG FilterGraph::Release() {
    ULONG r = refs_.fetch_sub(1) - 1;
    if (r == 0) delete this;
    return r;
}

std::vector<IBaseFilter*> FilterGraph::Snapshot() {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    std::vector<IBaseFilter*> out;
    for (Entry& e : filters_) {
        e.filter->AddRef();
        out.push_back(e.filter);
    }
    return out;
}

bool FilterGraph::Contains(IBaseFilter* filter) {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; });
}

std::u16string FilterGraph::UniqueName(LPCWSTR name) {
    std::u16string base = name != nullptr ? name : u"";
    auto used = [&](const std::u16string& n) {
        return std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == n; });
    };
    if (!base.empty() && !used(base)) return base;
    for (int i = 1;; ++i) {
        std::u16string candidate = base + u" ";
        for (char c : std::to_string(1000 + i).substr(1)) candidate += static_cast<char16_t>(c);
        if (!used(candidate)) return candidate;
    }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::AddFilter", E_FAIL)) return *failed;
    if (filter == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (Contains(filter)) return E_INVALIDARG;
    std::u16string unique = UniqueName(name);
    HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
    if (FAILED(hr)) return hr;
    filter->AddRef();
    filter->SetSyncSource(clock_);
    filters_.push_back({filter, unique});
    const bool renamed = name != nullptr && unique != name;
    return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

void FilterGraph::DisconnectAll(IBaseFilter* filter) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        IPin* other = nullptr;
        if (SUCCEEDED(pin->ConnectedTo(&other)) && other != nullptr) {
            other->Disconnect();
            other->Release();
        }
        pin->Disconnect();
        pin->Release();
    }
    pins->Release();
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::RemoveFilter", E_FAIL)) return *failed;
    if (filter == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; });
    if (it == filters_.end()) return VFW_E_NOT_FOUND;
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    filters_.erase(it);
    DisconnectAll(filter);
    filter->SetSyncSource(nullptr);
    filter->JoinFilterGraph(nullptr, nullptr);
    filter->Release();
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** enumerator) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::EnumFilters", E_FAIL)) return *failed;
    if (enumerator == nullptr) return E_POINTER;
    std::vector<IBaseFilter*> filters = Snapshot();
    *enumerator = new (std::nothrow) FilterEnumerator(filters);
    if (*enumerator != nullptr) return S_OK;
    for (IBaseFilter* f : filters) f->Release();
    return E_OUTOFMEMORY;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
    if (name == nullptr || filter == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *filter = nullptr;
    for (Entry& e : filters_) {
        if (e.name == name) {
            e.filter->AddRef();
            *filter = e.filter;
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::ConnectDirect", E_FAIL)) return *failed;
    if (out == nullptr || in == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    PIN_DIRECTION d1, d2;
    out->QueryDirection(&d1);
    in->QueryDirection(&d2);
    if (d1 != PINDIR_OUTPUT || d2 != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    return out->Connect(in, type);
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
    if (pin == nullptr) return E_POINTER;
    IPin* other = nullptr;
    if (FAILED(pin->ConnectedTo(&other))) return VFW_E_NOT_CONNECTED;
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    IPin* out = d == PINDIR_OUTPUT ? pin : other;
    IPin* in = d == PINDIR_OUTPUT ? other : pin;
    AM_MEDIA_TYPE type{};
    out->ConnectionMediaType(&type);
    out->Disconnect();
    in->Disconnect();
    HRESULT hr = out->Connect(in, &type);
    FreeMediaType(type);
    other->Release();
    return hr;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
    if (auto failed = seams::FailNow<HRESULT>("IGraphBuilder::Disconnect", E_FAIL)) return *failed;
    if (pin == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() {
    IReferenceClock* clock = CreateSystemClock();
    HRESULT hr = SetSyncSource(clock);
    clock->Release();
    return hr;
}

HRESULT FilterGraph::Abort() { return S_OK; }

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
    if (auto failed = seams::FailNow<HRESULT>("IMediaFilter::SetSyncSource", E_FAIL)) return *failed;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    for (Entry& e : filters_) e.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    std::lock_guard<std::recursive_mutex> lock(lock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
}

// ---- registration ----------------------------------------------------------------------

namespace {
IUnknown* NewGraph() { return static_cast<IGraphBuilder*>(new (std::nothrow) FilterGraph()); }
IUnknown* NewNullRenderer() { return CreateNullRenderer(); }
IUnknown* NewAudioRenderer() { return CreateAudioRenderer(); }
}  // namespace

void RegisterClasses() {
    com::RegisterClass(CLSID_FilterGraph, NewGraph);
    com::RegisterClass(CLSID_NullRenderer, NewNullRenderer);
    com::RegisterClass(CLSID_DSoundRender, NewAudioRenderer);
}

}  // namespace dshow
