// The sample grabber: an in-place transform filter that passes every media
// sample through unchanged and hands it, with its time stamps and a user
// value, to a callback on the way. The input accepts only the media type set
// with SetAcceptedMediaType (GUIDs left null match anything). The MP3
// converter puts it behind the MPEG audio decoder to collect the PCM.
//
// The callback runs on the graph's streaming thread, inside the filter's
// lock. A new grabber has no reference counted by its creator: the graph's
// reference keeps it (or the creator destroys it directly).
#pragma once

#include "platform/dshow/dshow_base.h"
#include "platform/kernel32/kernel32.h"

#include <cstdint>

using SampleGrabberCallback = HRESULT (*)(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          int32_t typeChanged, void* user);

extern const CLSID CLSID_D_CSampleGrabber;
extern const IID IID_D_ISampleGrabber;

struct D_ISampleGrabber : IUnknown {
    // Null resets to "any type"; else a deep copy (E_OUTOFMEMORY when the
    // format block cannot be copied).
    virtual HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* type) = 0;
    // The input's connection type; VFW_E_NOT_CONNECTED when not connected.
    virtual HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT SetCallback(SampleGrabberCallback callback, void* user) = 0;
    // Samples delivered into the caller's buffer (one buffer only), set
    // while both pins are unconnected.
    virtual HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) = 0;
};

class SampleGrabberInputPin;

class D_CSampleGrabber : public InPlaceTransformFilter, public D_ISampleGrabber {
public:
    D_CSampleGrabber(IUnknown* outer, HRESULT* result);
    ~D_CSampleGrabber() override;

    // IUnknown of both faces: the filter's (its outer object's when it has one).
    HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return BaseFilter::AddRef(); }
    ULONG Release() override { return BaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

    HRESULT SetAcceptedMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT GetConnectedMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT SetCallback(SampleGrabberCallback callback, void* user) override;
    HRESULT SetDeliveryBuffer(ALLOCATOR_PROPERTIES properties, BYTE* buffer) override;

    HRESULT CheckInputType(const MediaTypeValue* type) override;
    // Receive is the in-place filter's: other streams pass straight on, a
    // sample from another allocator is copied, Transform sees it, and it is
    // delivered unless Transform said S_FALSE.
    HRESULT Transform(IMediaSample* sample) override;

    // The accepted type (the input pin offers its major type).
    const MediaTypeValue& AcceptedType() const { return accepted_; }

private:
    SampleGrabberInputPin* GrabberInput() const;

    MediaTypeValue accepted_;
    SampleGrabberCallback callback_ = nullptr;
    CRITICAL_SECTION lock_;
    void* user_ = nullptr;
};

// A new grabber, or null with E_OUTOFMEMORY in result (when given) when it
// cannot be made.
D_CSampleGrabber* CreateSampleGrabber(IUnknown* outer, HRESULT* result);
