// The base of the decoders and the colour converter.
#include "platform/dshow/codec_filter.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace dshow {

CodecInputPin::CodecInputPin(CodecFilter* filter, HRESULT* hr)
    : BaseInputPin("Codec input pin", filter, filter->FilterLock(), hr, u"In"), codec_(filter) {}

HRESULT CodecInputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    return codec_->CheckInput(type);
}

HRESULT CodecInputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = BaseInputPin::CompleteConnect(receivePin);
    if (FAILED(hr)) return hr;
    codec_->outputType_.Clear();
    return codec_->StartInput(CurrentMediaType(), &codec_->outputType_, &codec_->bufferSize_);
}

HRESULT CodecInputPin::BreakConnect() {
    codec_->StopInput();
    codec_->outputType_.Clear();
    return BaseInputPin::BreakConnect();
}

HRESULT CodecInputPin::Receive(IMediaSample* sample) {
    AutoLock lock(codec_->ReceiveLock());
    HRESULT hr = BaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    return codec_->Process(sample);
}

HRESULT CodecInputPin::EndOfStream() {
    AutoLock lock(codec_->ReceiveLock());
    HRESULT hr = BaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    codec_->Drain();
    return codec_->Output()->IsConnected() ? codec_->Output()->DeliverEndOfStream() : S_OK;
}

HRESULT CodecInputPin::BeginFlush() {
    BaseInputPin::BeginFlush();
    return codec_->Output()->IsConnected() ? codec_->Output()->DeliverBeginFlush() : S_OK;
}

HRESULT CodecInputPin::EndFlush() {
    {
        AutoLock lock(codec_->ReceiveLock());
        codec_->Restart();
    }
    BaseInputPin::EndFlush();
    return codec_->Output()->IsConnected() ? codec_->Output()->DeliverEndFlush() : S_OK;
}

HRESULT CodecInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    BaseInputPin::NewSegment(start, stop, rate);
    return codec_->Output()->IsConnected() ? codec_->Output()->DeliverNewSegment(start, stop, rate) : S_OK;
}

CodecOutputPin::CodecOutputPin(CodecFilter* filter, HRESULT* hr)
    : BaseOutputPin("Codec output pin", filter, filter->FilterLock(), hr, u"Out"), codec_(filter) {}

HRESULT CodecOutputPin::CheckConnect(IPin* pin) {
    if (!codec_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
    return BaseOutputPin::CheckConnect(pin);
}

HRESULT CodecOutputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (codec_->OutputType().IsEmpty()) return VFW_E_NOT_CONNECTED;
    return codec_->OutputType().Equals(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CodecOutputPin::GetMediaType(int position, MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || codec_->OutputType().IsEmpty()) return VFW_S_NO_MORE_ITEMS;
    return type->Set(codec_->OutputType());
}

HRESULT CodecOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    request->cBuffers = std::max<LONG>(request->cBuffers, 4);
    request->cbBuffer = std::max<LONG>(request->cbBuffer, codec_->BufferSize());
    request->cbAlign = std::max<LONG>(request->cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator->SetProperties(request, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < codec_->BufferSize() ? E_FAIL : S_OK;
}

CodecFilter::CodecFilter(const char* objectName, REFCLSID clsid)
    : BaseFilter(objectName, nullptr, &filterLock_, clsid, nullptr) {
    HRESULT hr = S_OK;
    input_ = new (std::nothrow) CodecInputPin(this, &hr);
    output_ = new (std::nothrow) CodecOutputPin(this, &hr);
}

CodecFilter::~CodecFilter() {
    delete input_;
    delete output_;
}

BasePin* CodecFilter::GetPin(int index) {
    if (index == 0) return input_;
    if (index == 1) return output_;
    return nullptr;
}

HRESULT CodecFilter::Stop() {
    HRESULT hr = BaseFilter::Stop();
    AutoLock wait(&receiveLock_);
    return hr;
}

HRESULT CodecFilter::Pause() {
    if (IsStopped()) {
        AutoLock lock(&receiveLock_);
        Restart();
    }
    return BaseFilter::Pause();
}

HRESULT CodecFilter::Emit(const uint8_t* data, LONG size, REFERENCE_TIME start, REFERENCE_TIME stop) {
    if (!output_->IsConnected()) return S_OK;
    bool first = true;
    while (size > 0) {
        IMediaSample* sample = nullptr;
        HRESULT hr = output_->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        const LONG n = std::min(size, sample->GetSize());
        BYTE* to = nullptr;
        sample->GetPointer(&to);
        std::memcpy(to, data, static_cast<size_t>(n));
        sample->SetActualDataLength(n);
        if (first && start != INT64_MIN) sample->SetTime(&start, stop != INT64_MIN ? &stop : nullptr);
        sample->SetSyncPoint(TRUE);
        hr = output_->Deliver(sample);
        sample->Release();
        if (hr != S_OK) return hr;
        data += n;
        size -= n;
        first = false;
    }
    return S_OK;
}

}  // namespace dshow
