// Input pins that take pushed samples, and output pins that push them.
#include "platform/dshow/dshow_base.h"

#include <new>

// ---- input pin ---------------------------------------------------------------------------

BaseInputPin::BaseInputPin(const char* objectName, BaseFilter* filter, CritSec* lock, HRESULT* hr, LPCWSTR name)
    : BasePin(objectName, filter, lock, hr, name, PINDIR_INPUT) {}

BaseInputPin::~BaseInputPin() {
    if (allocator_ != nullptr) allocator_->Release();
}

HRESULT BaseInputPin::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IMemInputPin) return com::HandOut(static_cast<IMemInputPin*>(this), object);
    return BasePin::QueryInterface(iid, object);
}

ULONG BaseInputPin::AddRef() { return BasePin::AddRef(); }
ULONG BaseInputPin::Release() { return BasePin::Release(); }

HRESULT BaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    if (allocator_ == nullptr) {
        auto* made = new (std::nothrow) MemoryAllocator("Allocator", nullptr, nullptr);
        if (made == nullptr) return E_OUTOFMEMORY;
        allocator_ = made;
        allocator_->AddRef();
    }
    allocator_->AddRef();
    *allocator = allocator_;
    return S_OK;
}

HRESULT BaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (allocator == nullptr) return E_POINTER;
    AutoLock lock(lock_);
    allocator->AddRef();
    if (allocator_ != nullptr) allocator_->Release();
    allocator_ = allocator;
    readOnly_ = readOnly != FALSE;
    return S_OK;
}

HRESULT BaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT BaseInputPin::CheckStreaming() {
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (filter_->IsStopped()) return VFW_E_WRONG_STATE;
    if (flushing_) return S_FALSE;
    return S_OK;
}

HRESULT BaseInputPin::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    sampleProps_ = AM_SAMPLE2_PROPERTIES{};
    sampleProps_.cbData = sizeof(sampleProps_);
    sampleProps_.dwStreamId = AM_STREAM_MEDIA;
    if (sample->GetTime(&sampleProps_.tStart, &sampleProps_.tStop) == S_OK)
        sampleProps_.dwSampleFlags |= AM_SAMPLE_TIMEVALID | AM_SAMPLE_STOPVALID;
    if (sample->IsSyncPoint() == S_OK) sampleProps_.dwSampleFlags |= AM_SAMPLE_SPLICEPOINT;
    if (sample->IsDiscontinuity() == S_OK) sampleProps_.dwSampleFlags |= AM_SAMPLE_DATADISCONTINUITY;
    sampleProps_.lActual = sample->GetActualDataLength();
    sample->GetPointer(&sampleProps_.pbBuffer);
    sampleProps_.cbBuffer = sample->GetSize();
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
        MediaTypeValue value(*changed);
        DeleteMediaType(changed);
        if (CheckMediaType(&value) != S_OK) return VFW_E_INVALIDMEDIATYPE;
        hr = SetMediaType(&value);
        if (FAILED(hr)) return hr;
        sampleProps_.dwSampleFlags |= AM_SAMPLE_TYPECHANGED;
    }
    return S_OK;
}

HRESULT BaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
    if (samples == nullptr || processed == nullptr) return E_POINTER;
    *processed = 0;
    HRESULT hr = S_OK;
    while (*processed < count && (hr = Receive(samples[*processed])) == S_OK) ++*processed;
    return hr;
}

HRESULT BaseInputPin::ReceiveCanBlock() { return S_FALSE; }

HRESULT BaseInputPin::EndOfStream() {
    HRESULT hr = CheckStreaming();
    if (hr == S_OK) atEndOfStream_ = true;
    return hr;
}

HRESULT BaseInputPin::BeginFlush() {
    flushing_ = true;
    return S_OK;
}

HRESULT BaseInputPin::EndFlush() {
    flushing_ = false;
    atEndOfStream_ = false;
    return S_OK;
}

HRESULT BaseInputPin::BreakConnect() {
    AutoLock lock(lock_);
    if (allocator_ != nullptr) {
        allocator_->Decommit();
        allocator_->Release();
        allocator_ = nullptr;
    }
    return S_OK;
}

HRESULT BaseInputPin::Inactive() {
    flushing_ = false;
    atEndOfStream_ = false;
    if (allocator_ != nullptr) allocator_->Decommit();
    return S_OK;
}

// ---- output pin --------------------------------------------------------------------------

BaseOutputPin::BaseOutputPin(const char* objectName, BaseFilter* filter, CritSec* lock, HRESULT* hr, LPCWSTR name)
    : BasePin(objectName, filter, lock, hr, name, PINDIR_OUTPUT) {}

BaseOutputPin::~BaseOutputPin() { BreakConnect(); }

HRESULT BaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = BasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    if (input_ != nullptr) input_->Release();
    input_ = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input_));
    return FAILED(hr) ? E_NOINTERFACE : S_OK;
}

HRESULT BaseOutputPin::BreakConnect() {
    if (allocator_ != nullptr) {
        allocator_->Decommit();
        allocator_->Release();
        allocator_ = nullptr;
    }
    if (input_ != nullptr) {
        input_->Release();
        input_ = nullptr;
    }
    return S_OK;
}

HRESULT BaseOutputPin::CompleteConnect(IPin*) {
    if (input_ == nullptr) return E_UNEXPECTED;
    return DecideAllocator(input_, &allocator_);
}

HRESULT BaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES wanted{};
    pin->GetAllocatorRequirements(&wanted);
    if (wanted.cbAlign == 0) wanted.cbAlign = 1;
    HRESULT hr = pin->GetAllocator(allocator);
    if (SUCCEEDED(hr)) {
        ALLOCATOR_PROPERTIES request = wanted;
        hr = DecideBufferSize(*allocator, &request);
        if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*allocator, FALSE);
        if (SUCCEEDED(hr)) return S_OK;
        (*allocator)->Release();
        *allocator = nullptr;
    }
    auto* own = new (std::nothrow) MemoryAllocator("Allocator", nullptr, nullptr);
    if (own == nullptr) return E_OUTOFMEMORY;
    own->AddRef();
    ALLOCATOR_PROPERTIES request = wanted;
    hr = DecideBufferSize(own, &request);
    if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(own, FALSE);
    if (FAILED(hr)) {
        own->Release();
        return hr;
    }
    *allocator = own;
    return S_OK;
}

HRESULT BaseOutputPin::Active() {
    if (allocator_ == nullptr) return IsConnected() ? VFW_E_NO_ALLOCATOR : S_OK;
    return allocator_->Commit();
}

HRESULT BaseOutputPin::Inactive() {
    if (allocator_ != nullptr) allocator_->Decommit();
    return S_OK;
}

HRESULT BaseOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT BaseOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT BaseOutputPin::EndFlush() { return E_UNEXPECTED; }

HRESULT BaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                         DWORD flags) {
    if (allocator_ == nullptr) return VFW_E_NO_ALLOCATOR;
    return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT BaseOutputPin::Deliver(IMediaSample* sample) {
    if (input_ == nullptr) return VFW_E_NOT_CONNECTED;
    return input_->Receive(sample);
}

HRESULT BaseOutputPin::DeliverEndOfStream() {
    IPin* to = connected_;
    return to == nullptr ? VFW_E_NOT_CONNECTED : to->EndOfStream();
}

HRESULT BaseOutputPin::DeliverBeginFlush() {
    IPin* to = connected_;
    return to == nullptr ? VFW_E_NOT_CONNECTED : to->BeginFlush();
}

HRESULT BaseOutputPin::DeliverEndFlush() {
    IPin* to = connected_;
    return to == nullptr ? VFW_E_NOT_CONNECTED : to->EndFlush();
}

HRESULT BaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    IPin* to = connected_;
    return to == nullptr ? VFW_E_NOT_CONNECTED : to->NewSegment(start, stop, rate);
}
