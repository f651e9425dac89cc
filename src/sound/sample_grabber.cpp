// The sample grabber filter, its input pin and the private allocator that
// delivers samples into a buffer of the caller's.
#include "sound/sample_grabber.h"

#include "platform/seams/seams.h"

#include <new>

const CLSID CLSID_D_CSampleGrabber = {0x2FA4F053, 0x6D60, 0x4CB0, {0x95, 0x33, 0x65, 0x39, 0x33, 0x66, 0x66, 0x33}};
const IID IID_D_ISampleGrabber = {0x6B652FFF, 0x11FE, 0x4FCE, {0x92, 0x64, 0x32, 0x36, 0x35, 0x37, 0x37, 0x66}};

namespace {
// Test seam: the copy of the accepted type's format block.
constexpr const char* kAcceptedTypeCopyCall = "SampleGrabber:AcceptedTypeCopy";
}  // namespace

class SampleGrabberAllocator;

class SampleGrabberInputPin : public InPlaceInputPin {
public:
    SampleGrabberInputPin(D_CSampleGrabber* filter, HRESULT* result)
        : InPlaceInputPin("SampleGrabberInputPin", filter, result, u"Input"), grabber_(filter) {}
    ~SampleGrabberInputPin() override;

    HRESULT SetMediaType(const MediaTypeValue* type) override {
        typeChanged = 1;
        return InPlaceInputPin::SetMediaType(type);
    }
    HRESULT GetMediaType(int position, MediaTypeValue* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;

    HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer);

    SampleGrabberAllocator* privateAllocator = nullptr;
    ALLOCATOR_PROPERTIES properties{};
    BYTE* deliveryBuffer = nullptr;
    int32_t typeChanged = 0;

private:
    D_CSampleGrabber* grabber_;
};

// Samples over the pin's delivery buffer, which it never owns.
class SampleGrabberAllocator : public MemoryAllocator {
public:
    SampleGrabberAllocator(SampleGrabberInputPin* pin, HRESULT* result)
        : MemoryAllocator("SampleGrabberAllocator", nullptr, result), pin_(pin) {}
    ~SampleGrabberAllocator() override { Free(); }

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;

protected:
    HRESULT Alloc() override;
    void Free() override;

private:
    SampleGrabberInputPin* pin_;
};

// ---- the filter ---------------------------------------------------------------------

D_CSampleGrabber::D_CSampleGrabber(IUnknown* outer, HRESULT* result)
    : InPlaceTransformFilter("SampleGrabber", outer, CLSID_D_CSampleGrabber, result, false) {
    InitializeCriticalSection(&lock_);
    input_ = new (std::nothrow) SampleGrabberInputPin(this, result);
    if (input_ == nullptr) {
        if (result != nullptr) *result = E_OUTOFMEMORY;
        return;
    }
    GetPin(1);  // the output pin, L"Output"
}

D_CSampleGrabber::~D_CSampleGrabber() {
    DeleteCriticalSection(&lock_);
    accepted_.Clear();
}

SampleGrabberInputPin* D_CSampleGrabber::GrabberInput() const { return static_cast<SampleGrabberInputPin*>(input_); }

HRESULT D_CSampleGrabber::NonDelegatingQueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_D_ISampleGrabber) {
        *object = static_cast<D_ISampleGrabber*>(this);
        AddRef();
        return S_OK;
    }
    return InPlaceTransformFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT D_CSampleGrabber::SetAcceptedMediaType(const AM_MEDIA_TYPE* type) {
    EnterCriticalSection(&lock_);
    HRESULT result = S_OK;
    accepted_.Clear();
    if (type != nullptr) result = seams::ShouldFailCall(kAcceptedTypeCopyCall) ? E_OUTOFMEMORY : accepted_.Set(*type);
    LeaveCriticalSection(&lock_);
    return result;
}

HRESULT D_CSampleGrabber::GetConnectedMediaType(AM_MEDIA_TYPE* type) {
    if (input_ == nullptr || !input_->IsConnected()) return VFW_E_NOT_CONNECTED;
    return input_->ConnectionMediaType(type);
}

HRESULT D_CSampleGrabber::SetCallback(SampleGrabberCallback callback, void* user) {
    EnterCriticalSection(&lock_);
    callback_ = callback;
    user_ = user;
    LeaveCriticalSection(&lock_);
    return S_OK;
}

HRESULT D_CSampleGrabber::SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) {
    if (input_ == nullptr || output_ == nullptr) return E_POINTER;
    if (input_->IsConnected() || output_->IsConnected()) return E_INVALIDARG;
    return GrabberInput()->SetDeliveryBuffer(properties, buffer);
}

HRESULT D_CSampleGrabber::CheckInputType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    EnterCriticalSection(&lock_);
    HRESULT result = S_OK;
    // Each GUID the accepted type names must match; a null one ends the check.
    for (const GUID AM_MEDIA_TYPE::* field : {&AM_MEDIA_TYPE::majortype, &AM_MEDIA_TYPE::subtype,
                                              &AM_MEDIA_TYPE::formattype}) {
        const GUID& wanted = accepted_.*field;
        if (wanted == GUID_NULL) break;
        if (!(wanted == type->*field)) {
            result = VFW_E_INVALID_MEDIA_TYPE;
            break;
        }
    }
    LeaveCriticalSection(&lock_);
    return result;
}

HRESULT D_CSampleGrabber::Transform(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    EnterCriticalSection(&lock_);
    HRESULT result = S_OK;
    if (callback_ != nullptr) {
        REFERENCE_TIME start = 0, stop = 0;
        sample->GetTime(&start, &stop);  // without times both stay 0
        start += input_->CurrentStartTime();
        stop += input_->CurrentStartTime();
        SampleGrabberInputPin* input = GrabberInput();
        result = callback_(sample, &start, &stop, input->typeChanged, user_);
        input->typeChanged = 0;
    }
    LeaveCriticalSection(&lock_);
    return result;
}

D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result) {
    HRESULT constructed = S_OK;
    D_CSampleGrabber* grabber =
        seams::ShouldFailCall("CreateSampleGrabber") ? nullptr : new (std::nothrow) D_CSampleGrabber(outer, &constructed);
    if (grabber == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
    if (grabber != nullptr && result != nullptr) *result = constructed;
    return grabber;
}

// ---- the input pin ------------------------------------------------------------------

SampleGrabberInputPin::~SampleGrabberInputPin() {
    if (privateAllocator != nullptr) privateAllocator->Release();
}

HRESULT SampleGrabberInputPin::GetMediaType(int position, MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type->Clear();
    type->majortype = grabber_->AcceptedType().majortype;
    return S_OK;
}

HRESULT SampleGrabberInputPin::EnumMediaTypes(IEnumMediaTypes** enumerator) {
    if (enumerator == nullptr) return E_POINTER;
    InPlaceOutputPin* output = grabber_->OutputPin();
    if (output != nullptr && output->IsConnected()) return output->GetConnected()->EnumMediaTypes(enumerator);
    *enumerator = new (std::nothrow) MediaTypeEnumerator(this);
    return *enumerator != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT SampleGrabberInputPin::GetAllocator(IMemAllocator** allocator) {
    if (privateAllocator == nullptr) return InPlaceInputPin::GetAllocator(allocator);
    if (allocator == nullptr) return E_POINTER;
    *allocator = privateAllocator;
    privateAllocator->AddRef();
    return S_OK;
}

HRESULT SampleGrabberInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
    if (privateAllocator != nullptr) {
        if (allocator != privateAllocator) return E_FAIL;
        if (readOnly && grabber_->ModifiesData()) return E_FAIL;
    }
    return InPlaceInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT SampleGrabberInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* out) {
    if (out == nullptr) return E_POINTER;
    if (privateAllocator == nullptr) return InPlaceInputPin::GetAllocatorRequirements(out);
    *out = properties;
    return S_OK;
}

HRESULT SampleGrabberInputPin::SetDeliveryBuffer(ALLOCATOR_PROPERTIES wanted, BYTE* buffer) {
    if (wanted.cBuffers != 1) return E_INVALIDARG;
    if (buffer == nullptr) return E_POINTER;
    properties = wanted;
    deliveryBuffer = buffer;
    if (privateAllocator != nullptr) privateAllocator->Release();
    HRESULT result = S_OK;
    privateAllocator = new (std::nothrow) SampleGrabberAllocator(this, &result);
    if (privateAllocator == nullptr) return E_OUTOFMEMORY;
    privateAllocator->AddRef();
    return result;
}

// ---- the private allocator ----------------------------------------------------------

HRESULT SampleGrabberAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    const HRESULT base = MemoryAllocator::SetProperties(request, actual);
    if (FAILED(base)) return base;
    const ALLOCATOR_PROPERTIES& stored = pin_->properties;
    if (request->cbAlign != stored.cbAlign) return VFW_E_BADALIGN;
    if (request->cbPrefix != stored.cbPrefix || request->cbBuffer > stored.cbBuffer ||
        request->cBuffers > stored.cBuffers)
        return E_FAIL;
    if (actual != nullptr) *actual = stored;
    AutoLock lock(&lock_);
    count_ = stored.cBuffers;
    size_ = stored.cbBuffer;
    alignment_ = stored.cbAlign;
    prefix_ = stored.cbPrefix;
    return S_OK;
}

HRESULT SampleGrabberAllocator::Alloc() {
    AutoLock lock(&lock_);
    const HRESULT checked = CheckAllocation();
    if (FAILED(checked)) return checked;
    if (checked == S_FALSE) return S_OK;  // nothing changed
    Free();
    LONG aligned = size_ + prefix_;
    if (alignment_ > 1) aligned = (aligned + alignment_ - 1) / alignment_ * alignment_;
    BYTE* buffer = pin_->deliveryBuffer;
    if (buffer == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < count_; ++i) {
        auto* sample = new (std::nothrow) MediaSample("Sample", this, nullptr, buffer + i * aligned + prefix_, size_);
        if (sample == nullptr) return E_OUTOFMEMORY;
        free_.push_back(sample);
        ++allocated_;
    }
    changed_ = false;
    return S_OK;
}

void SampleGrabberAllocator::Free() {
    for (MediaSample* sample : free_) delete sample;  // the buffer is the caller's
    free_.clear();
    allocated_ = 0;
}
