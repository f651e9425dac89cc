// The in-place transform filter: one input, one output with the same type,
// samples passed through (copied only when the pins' allocators differ).
#include "platform/dshow/dshow_base.h"

#include <algorithm>
#include <cstring>
#include <new>

// ---- input pin ---------------------------------------------------------------------------

InPlaceInputPin::InPlaceInputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* hr, LPCWSTR name)
    : BaseInputPin(objectName, filter, filter->FilterLock(), hr, name), transform_(filter) {}

HRESULT InPlaceInputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    HRESULT hr = transform_->CheckInputType(type);
    if (hr != S_OK) return hr;
    InPlaceOutputPin* out = transform_->OutputPin();
    if (out == nullptr || !out->IsConnected()) return S_OK;
    return out->GetConnected()->QueryAccept(type) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT InPlaceInputPin::GetMediaType(int position, MediaTypeValue* type) {
    return BaseInputPin::GetMediaType(position, type);
}

HRESULT InPlaceInputPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    InPlaceOutputPin* out = transform_->OutputPin();
    if (out != nullptr && out->IsConnected()) return out->GetConnected()->EnumMediaTypes(enumerator);
    return BaseInputPin::EnumMediaTypes(enumerator);
}

HRESULT InPlaceInputPin::GetAllocator(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    InPlaceOutputPin* out = transform_->OutputPin();
    if (out != nullptr && out->ConnectedInput() != nullptr) return out->ConnectedInput()->GetAllocator(allocator);
    return BaseInputPin::GetAllocator(allocator);
}

HRESULT InPlaceInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    return BaseInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT InPlaceInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) {
    if (properties == nullptr) return E_POINTER;
    InPlaceOutputPin* out = transform_->OutputPin();
    if (out != nullptr && out->ConnectedInput() != nullptr)
        return out->ConnectedInput()->GetAllocatorRequirements(properties);
    return BaseInputPin::GetAllocatorRequirements(properties);
}

HRESULT InPlaceInputPin::Receive(IMediaSample* sample) {
    AutoLock lock(transform_->ReceiveLock());
    HRESULT hr = BaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    return transform_->Receive(sample);
}

HRESULT InPlaceInputPin::EndOfStream() {
    AutoLock lock(transform_->ReceiveLock());
    HRESULT hr = BaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    return transform_->EndOfStream();
}

HRESULT InPlaceInputPin::BeginFlush() {
    BaseInputPin::BeginFlush();
    return transform_->BeginFlush();
}

HRESULT InPlaceInputPin::EndFlush() {
    BaseInputPin::EndFlush();
    return transform_->EndFlush();
}

HRESULT InPlaceInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    BaseInputPin::NewSegment(start, stop, rate);
    return transform_->NewSegment(start, stop, rate);
}

HRESULT InPlaceInputPin::CompleteConnect(IPin* receivePin) { return BaseInputPin::CompleteConnect(receivePin); }

// ---- output pin --------------------------------------------------------------------------

InPlaceOutputPin::InPlaceOutputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* hr,
                                   LPCWSTR name)
    : BaseOutputPin(objectName, filter, filter->FilterLock(), hr, name), transform_(filter) {}

HRESULT InPlaceOutputPin::CheckConnect(IPin* pin) {
    InPlaceInputPin* in = transform_->InputPin();
    if (in == nullptr || !in->IsConnected()) return VFW_E_NOT_CONNECTED;
    return BaseOutputPin::CheckConnect(pin);
}

HRESULT InPlaceOutputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    InPlaceInputPin* in = transform_->InputPin();
    if (in == nullptr || !in->IsConnected()) return VFW_E_NOT_CONNECTED;
    return in->CurrentMediaType().Equals(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT InPlaceOutputPin::GetMediaType(int position, MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    InPlaceInputPin* in = transform_->InputPin();
    if (position > 0 || in == nullptr || !in->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return type->Set(in->CurrentMediaType());
}

HRESULT InPlaceOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    ALLOCATOR_PROPERTIES upstream{};
    InPlaceInputPin* in = transform_->InputPin();
    if (in != nullptr && in->Allocator() != nullptr) in->Allocator()->GetProperties(&upstream);
    request->cBuffers = std::max<LONG>({request->cBuffers, upstream.cBuffers, 1});
    request->cbBuffer = std::max<LONG>({request->cbBuffer, upstream.cbBuffer, 1});
    request->cbAlign = std::max<LONG>({request->cbAlign, upstream.cbAlign, 1});
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT InPlaceOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    *allocator = nullptr;
    InPlaceInputPin* in = transform_->InputPin();
    IMemAllocator* shared = in != nullptr ? in->Allocator() : nullptr;
    if (shared != nullptr && SUCCEEDED(pin->NotifyAllocator(shared, transform_->ModifiesData() ? FALSE : TRUE))) {
        shared->AddRef();
        *allocator = shared;
        return S_OK;
    }
    return BaseOutputPin::DecideAllocator(pin, allocator);
}

// ---- filter ------------------------------------------------------------------------------

InPlaceTransformFilter::InPlaceTransformFilter(const char* objectName, IUnknown* outer, REFCLSID clsid,
                                               HRESULT* hr, bool modifiesData)
    : BaseFilter(objectName, outer, &filterLock_, clsid, hr), modifiesData_(modifiesData) {}

InPlaceTransformFilter::~InPlaceTransformFilter() {
    delete input_;
    delete output_;
}

BasePin* InPlaceTransformFilter::GetPin(int index) {
    HRESULT hr = S_OK;
    if (input_ == nullptr) input_ = new (std::nothrow) InPlaceInputPin("Input pin", this, &hr, u"Input");
    if (input_ != nullptr && output_ == nullptr)
        output_ = new (std::nothrow) InPlaceOutputPin("Output pin", this, &hr, u"Output");
    if (index == 0) return input_;
    if (index == 1) return output_;
    return nullptr;
}

HRESULT InPlaceTransformFilter::Stop() {
    HRESULT hr = BaseFilter::Stop();
    AutoLock wait(&receiveLock_);  // a sample going through leaves first
    return hr;
}

HRESULT InPlaceTransformFilter::Receive(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    if (input_->SampleProps()->dwStreamId != AM_STREAM_MEDIA)
        return output_->IsConnected() ? output_->Deliver(sample) : S_OK;
    IMediaSample* copy = nullptr;
    if (UsingDifferentAllocators()) {
        copy = Copy(sample);
        if (copy == nullptr) return E_UNEXPECTED;
        sample = copy;
    }
    HRESULT hr = Transform(sample);
    if (hr == S_OK && output_->IsConnected()) hr = output_->Deliver(sample);
    if (copy != nullptr) copy->Release();
    return hr;
}

HRESULT InPlaceTransformFilter::EndOfStream() {
    return output_ != nullptr && output_->IsConnected() ? output_->DeliverEndOfStream() : S_OK;
}

HRESULT InPlaceTransformFilter::BeginFlush() {
    return output_ != nullptr && output_->IsConnected() ? output_->DeliverBeginFlush() : S_OK;
}

HRESULT InPlaceTransformFilter::EndFlush() {
    return output_ != nullptr && output_->IsConnected() ? output_->DeliverEndFlush() : S_OK;
}

HRESULT InPlaceTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return output_ != nullptr && output_->IsConnected() ? output_->DeliverNewSegment(start, stop, rate) : S_OK;
}

bool InPlaceTransformFilter::UsingDifferentAllocators() const {
    if (input_ == nullptr || output_ == nullptr || !output_->IsConnected()) return false;
    return input_->Allocator() != output_->Allocator();
}

IMediaSample* InPlaceTransformFilter::Copy(IMediaSample* source) {
    IMediaSample* dest = nullptr;
    if (output_ == nullptr || FAILED(output_->GetDeliveryBuffer(&dest, nullptr, nullptr, 0))) return nullptr;
    const LONG length = source->GetActualDataLength();
    BYTE* from = nullptr;
    BYTE* to = nullptr;
    source->GetPointer(&from);
    dest->GetPointer(&to);
    if (length > dest->GetSize() || from == nullptr || to == nullptr) {
        dest->Release();
        return nullptr;
    }
    std::memcpy(to, from, static_cast<size_t>(length));
    dest->SetActualDataLength(length);
    REFERENCE_TIME start, stop;
    HRESULT timed = source->GetTime(&start, &stop);
    if (timed == S_OK) dest->SetTime(&start, &stop);
    if (timed == VFW_S_NO_STOP_TIME) dest->SetTime(&start, nullptr);
    dest->SetSyncPoint(source->IsSyncPoint() == S_OK);
    dest->SetPreroll(source->IsPreroll() == S_OK);
    dest->SetDiscontinuity(source->IsDiscontinuity() == S_OK);
    AM_MEDIA_TYPE* type = nullptr;
    if (source->GetMediaType(&type) == S_OK) {
        dest->SetMediaType(type);
        DeleteMediaType(type);
    }
    return dest;
}
