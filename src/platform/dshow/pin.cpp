// Pins: connection and media type negotiation, and the media type
// enumerator over a pin's preferred types.
#include "platform/dshow/dshow_base.h"

#include <algorithm>
#include <new>

namespace {
bool IsPartial(const AM_MEDIA_TYPE* t) {
    return t->majortype == GUID_NULL || t->subtype == GUID_NULL || t->formattype == GUID_NULL;
}
}  // namespace

BasePin::BasePin(const char*, BaseFilter* filter, CritSec* lock, HRESULT*, LPCWSTR name, PIN_DIRECTION direction)
    : filter_(filter), lock_(lock), name_(name != nullptr ? name : u""), direction_(direction) {}

BasePin::~BasePin() {
    if (connected_ != nullptr) connected_->Release();
}

HRESULT BasePin::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(static_cast<IPin*>(this), iid, {&IID_IPin}, object);
}

ULONG BasePin::AddRef() { return filter_->AddRef(); }
ULONG BasePin::Release() { return filter_->Release(); }

HRESULT BasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (receivePin == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
    return AgreeMediaType(receivePin, type);
}

HRESULT BasePin::AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (type != nullptr && !IsPartial(type)) return TryConnection(receivePin, MediaTypeValue(*type));
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (IPin* source : {receivePin, static_cast<IPin*>(this)}) {
        HRESULT hr = TryTypesOf(source, receivePin, type);
        if (SUCCEEDED(hr)) return hr;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
    }
    return last;
}

HRESULT BasePin::TryTypesOf(IPin* pin, IPin* receivePin, const AM_MEDIA_TYPE* partial) {
    IEnumMediaTypes* types = nullptr;
    if (FAILED(pin->EnumMediaTypes(&types)) || types == nullptr) return VFW_E_NO_ACCEPTABLE_TYPES;
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    AM_MEDIA_TYPE* t = nullptr;
    while (types->Next(1, &t, nullptr) == S_OK) {
        MediaTypeValue value(*t);
        DeleteMediaType(t);
        if (partial != nullptr && !MediaTypeValue(*partial).MatchesPartial(value)) continue;
        HRESULT hr = TryConnection(receivePin, value);
        if (SUCCEEDED(hr)) {
            result = hr;
            break;
        }
        // A refusal other than of the type itself (the data could not be
        // read, say) is the more useful answer.
        if (hr != VFW_E_TYPE_NOT_ACCEPTED && hr != E_FAIL && hr != VFW_E_INVALIDMEDIATYPE) result = hr;
    }
    types->Release();
    return result;
}

HRESULT BasePin::TryConnection(IPin* receivePin, const MediaTypeValue& type) {
    HRESULT hr = CheckConnect(receivePin);
    if (SUCCEEDED(hr)) {
        hr = CheckMediaType(&type);
        if (hr == S_OK) {
            connected_ = receivePin;
            connected_->AddRef();
            hr = SetMediaType(&type);
            if (SUCCEEDED(hr)) hr = receivePin->ReceiveConnection(this, &type);
            if (SUCCEEDED(hr)) {
                hr = CompleteConnect(receivePin);
                if (SUCCEEDED(hr)) return S_OK;
                receivePin->Disconnect();
            }
            connected_->Release();
            connected_ = nullptr;
        } else if (SUCCEEDED(hr)) {
            hr = VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    BreakConnect();
    type_.Clear();
    return hr;
}

HRESULT BasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (connector == nullptr || type == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    if (connected_ != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
    HRESULT hr = CheckConnect(connector);
    if (SUCCEEDED(hr)) {
        MediaTypeValue value(*type);
        hr = CheckMediaType(&value);
        if (hr == S_OK) {
            connected_ = connector;
            connected_->AddRef();
            hr = SetMediaType(&value);
            if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
            if (SUCCEEDED(hr)) return S_OK;
            connected_->Release();
            connected_ = nullptr;
        } else if (SUCCEEDED(hr)) {
            hr = VFW_E_TYPE_NOT_ACCEPTED;
        }
    }
    BreakConnect();
    type_.Clear();
    return hr;
}

HRESULT BasePin::Disconnect() {
    AutoLock lock(lock_);
    if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
    if (connected_ == nullptr) return S_FALSE;
    BreakConnect();
    connected_->Release();
    connected_ = nullptr;
    type_.Clear();
    return S_OK;
}

HRESULT BasePin::ConnectedTo(IPin** pin) {
    if (pin == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    *pin = connected_;
    if (connected_ == nullptr) return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

HRESULT BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    if (connected_ == nullptr) {
        *type = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &type_);
}

HRESULT BasePin::QueryPinInfo(PIN_INFO* info) {
    if (info == nullptr) return E_POINTER;
    info->pFilter = filter_;
    filter_->AddRef();
    info->dir = direction_;
    const size_t n = std::min<size_t>(name_.size(), 127);
    std::copy_n(name_.begin(), n, info->achName);
    info->achName[n] = 0;
    return S_OK;
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (direction == nullptr) return E_POINTER;
    *direction = direction_;
    return S_OK;
}

HRESULT BasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (type == nullptr) return E_POINTER;
    MediaTypeValue value(*type);
    return CheckMediaType(&value) == S_OK ? S_OK : S_FALSE;
}

HRESULT BasePin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    *enumerator = new (std::nothrow) MediaTypeEnumerator(this);
    return *enumerator != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT BasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    segmentStart_ = start;
    segmentStop_ = stop;
    segmentRate_ = rate;
    return S_OK;
}

HRESULT BasePin::SetMediaType(const MediaTypeValue* type) { return type_.Set(*type); }

HRESULT BasePin::GetMediaType(int position, MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT BasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION d;
    if (FAILED(pin->QueryDirection(&d))) return E_FAIL;
    return d == direction_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT BasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT BasePin::BreakConnect() { return S_OK; }
HRESULT BasePin::Active() { return S_OK; }
HRESULT BasePin::Inactive() { return S_OK; }
HRESULT BasePin::Run(REFERENCE_TIME) { return S_OK; }

// ---- media type enumerator ------------------------------------------------------------

MediaTypeEnumerator::MediaTypeEnumerator(BasePin* pin, int position) : pin_(pin), position_(position) {
    pin_->AddRef();
}

MediaTypeEnumerator::~MediaTypeEnumerator() { pin_->Release(); }

HRESULT MediaTypeEnumerator::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(static_cast<IEnumMediaTypes*>(this), iid, {&IID_IEnumMediaTypes}, object);
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
    if (types == nullptr) return E_POINTER;
    if (count > 1 && fetched == nullptr) return E_INVALIDARG;
    ULONG got = 0;
    while (got < count) {
        MediaTypeValue value;
        if (pin_->GetMediaType(position_, &value) != S_OK) break;
        ++position_;
        types[got] = CreateMediaType(&value);
        if (types[got] == nullptr) break;
        ++got;
    }
    if (fetched != nullptr) *fetched = got;
    return got == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) {
    MediaTypeValue value;
    for (ULONG i = 0; i < count; ++i, ++position_)
        if (pin_->GetMediaType(position_, &value) != S_OK) return S_FALSE;
    return S_OK;
}

HRESULT MediaTypeEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT MediaTypeEnumerator::Clone(IEnumMediaTypes** clone) {
    if (clone == nullptr) return E_POINTER;
    *clone = new (std::nothrow) MediaTypeEnumerator(pin_, position_);
    return *clone != nullptr ? S_OK : E_OUTOFMEMORY;
}
