// The core of the base-class framework (included through dshow_base.h):
// locks, media type values, media samples and the memory allocator, pins and
// the base filter.
//
// Conventions every class here keeps:
//   - Filters start with no reference counted; the graph's AddFilter takes
//     the first one, and the last Release deletes the filter. Pins count on
//     their filter (AddRef on a pin is AddRef on the filter) and are deleted
//     by it.
//   - A filter may be given an outer unknown: its IUnknown methods then go to
//     the outer object; NonDelegatingQueryInterface answers for the filter.
//   - Media types are deep copies: a MediaTypeValue owns its format block.
//   - A pin's connection is made by its output side: Connect on the output
//     pin proposes types (the given one, then the input's, then its own) to
//     the input pin's ReceiveConnection until both CheckMediaType accept;
//     then the output pin decides the allocator (DecideAllocator).
//   - Stop on a filter makes its input pins refuse samples (flushing) and
//     waits for streaming calls in progress to leave before it decommits the
//     allocators, so a thread blocked in GetBuffer or in a renderer wakes.
//   - Errors a filter meets on a streaming thread go to the graph as
//     EC_ERRORABORT (NotifyEvent).
#pragma once

#include "platform/dshow/dshow.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// ---- locks ------------------------------------------------------------------------------
// A recursive lock for the owner thread (as a critical section is).
class CritSec {
public:
    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }
    std::recursive_mutex& Native() { return mutex_; }

private:
    std::recursive_mutex mutex_;
};

// Holds a CritSec for the scope.
class AutoLock {
public:
    explicit AutoLock(CritSec* lock) : lock_(lock) { lock_->Lock(); }
    ~AutoLock() { lock_->Unlock(); }
    AutoLock(const AutoLock&) = delete;
    AutoLock& operator=(const AutoLock&) = delete;

private:
    CritSec* lock_;
};

// ---- media types ------------------------------------------------------------------------
// An AM_MEDIA_TYPE that owns its format block. Empty: every GUID null.
class MediaTypeValue : public AM_MEDIA_TYPE {
public:
    MediaTypeValue();
    explicit MediaTypeValue(const AM_MEDIA_TYPE& type);  // deep; empty when the copy fails
    MediaTypeValue(const MediaTypeValue& other);
    MediaTypeValue& operator=(const MediaTypeValue& other);
    MediaTypeValue& operator=(const AM_MEDIA_TYPE& type);
    ~MediaTypeValue();

    // Deep copy; E_OUTOFMEMORY (and empty) when the format block cannot be had.
    HRESULT Set(const AM_MEDIA_TYPE& type);
    // Back to empty.
    void Clear();
    bool IsEmpty() const;
    // Same major type, subtype, format type and format bytes.
    bool Equals(const AM_MEDIA_TYPE& type) const;
    // Every non-null GUID of this type equals the other's.
    bool MatchesPartial(const AM_MEDIA_TYPE& type) const;
    // Replaces the format block with bytes zeroed (null when out of memory).
    BYTE* AllocFormat(ULONG bytes);
    // Replaces the format block with a copy of data; false when out of memory.
    bool SetFormat(const void* data, ULONG bytes);
};

// ---- samples and allocators ---------------------------------------------------------------
class MemoryAllocator;

// A media sample over a buffer it does not own. When its count falls to 0 it
// goes back to its allocator's free list.
class MediaSample : public IMediaSample {
public:
    MediaSample(const char* objectName, MemoryAllocator* allocator, HRESULT* hr, BYTE* buffer = nullptr,
                LONG length = 0);
    virtual ~MediaSample();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetPointer(BYTE** buffer) override;
    LONG GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(BOOL sync) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(BOOL preroll) override;
    LONG GetActualDataLength() override;
    HRESULT SetActualDataLength(LONG length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(BOOL discontinuity) override;

    // Points the sample at another buffer (the allocator's business).
    void SetBuffer(BYTE* buffer, LONG length);
    // Clears flags, times and type before the sample is handed out again.
    void ResetProperties();
    // Flags, times, stream id, length and type as one record.
    void GetProperties(AM_SAMPLE2_PROPERTIES* properties);

private:
    MemoryAllocator* allocator_;
    std::atomic<ULONG> refs_{0};
    BYTE* buffer_;
    LONG size_;
    LONG actual_ = 0;
    DWORD flags_ = 0;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME stop_ = 0;
    AM_MEDIA_TYPE* type_ = nullptr;
};

// The memory allocator: count buffers of size bytes (plus prefix), aligned,
// handed out as MediaSamples; GetBuffer waits while all are out.
class MemoryAllocator : public IMemAllocator {
public:
    MemoryAllocator(const char* objectName, IUnknown* outer, HRESULT* hr);
    virtual ~MemoryAllocator();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

protected:
    // Makes the samples for the current properties (called by Commit).
    virtual HRESULT Alloc();
    // Deletes every sample on the free list (allocated_ = 0) and the memory.
    virtual void Free();
    // The check every Alloc makes first: VFW_E_SIZENOTSET before properties
    // were set, S_FALSE when they did not change since the last Alloc (and
    // samples exist), S_OK when samples are to be made.
    HRESULT CheckAllocation();

    CritSec lock_;                    // guards everything below
    std::vector<MediaSample*> free_;  // samples not handed out
    LONG allocated_ = 0;              // samples made
    LONG count_ = 0;
    LONG size_ = 0;
    LONG alignment_ = 1;
    LONG prefix_ = 0;
    bool changed_ = false;  // properties changed since the last Alloc
    bool committed_ = false;
    bool decommitPending_ = false;  // decommitted with samples still out
    BYTE* memory_ = nullptr;        // this class's own block, or null

private:
    void FreeIfAllBack();
    std::condition_variable_any freed_;
    std::atomic<ULONG> refs_{0};
};

// ---- pins ---------------------------------------------------------------------------------
class BaseFilter;

class BasePin : public IPin {
public:
    BasePin(const char* objectName, BaseFilter* filter, CritSec* lock, HRESULT* hr, LPCWSTR name,
            PIN_DIRECTION direction);
    virtual ~BasePin();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // What a derived pin decides.
    virtual HRESULT CheckMediaType(const MediaTypeValue* type) = 0;
    // Stores the agreed type (a pin may look at it first).
    virtual HRESULT SetMediaType(const MediaTypeValue* type);
    // The position-th preferred type: VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int position, MediaTypeValue* type);
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();
    // State changes from the filter.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    bool IsConnected() const { return connected_ != nullptr; }
    IPin* GetConnected() const { return connected_; }
    const MediaTypeValue& CurrentMediaType() const { return type_; }
    REFERENCE_TIME CurrentStartTime() const { return segmentStart_; }
    REFERENCE_TIME CurrentStopTime() const { return segmentStop_; }
    double CurrentRate() const { return segmentRate_; }
    BaseFilter* Filter() const { return filter_; }
    const std::u16string& Name() const { return name_; }
    PIN_DIRECTION Direction() const { return direction_; }

protected:
    HRESULT TryConnection(IPin* receivePin, const MediaTypeValue& type);
    HRESULT TryTypesOf(IPin* pin, IPin* receivePin, const AM_MEDIA_TYPE* partial);
    HRESULT AgreeMediaType(IPin* receivePin, const AM_MEDIA_TYPE* type);

    BaseFilter* filter_;
    CritSec* lock_;  // the filter's lock
    std::u16string name_;
    PIN_DIRECTION direction_;
    IPin* connected_ = nullptr;  // with a reference
    MediaTypeValue type_;
    REFERENCE_TIME segmentStart_ = 0;
    REFERENCE_TIME segmentStop_ = INT64_MAX;
    double segmentRate_ = 1.0;
};

// Enumerates a pin's preferred types through GetMediaType.
class MediaTypeEnumerator : public ComObject<IEnumMediaTypes> {
public:
    explicit MediaTypeEnumerator(BasePin* pin, int position = 0);
    ~MediaTypeEnumerator() override;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
    HRESULT Skip(ULONG count) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumMediaTypes** clone) override;

private:
    BasePin* pin_;  // the pin's filter holds a reference
    int position_;
};

// An input pin taking pushed samples through IMemInputPin.
class BaseInputPin : public BasePin, public IMemInputPin {
public:
    BaseInputPin(const char* objectName, BaseFilter* filter, CritSec* lock, HRESULT* hr, LPCWSTR name);
    virtual ~BaseInputPin();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    // Checks the pin may take the sample (S_FALSE while flushing,
    // VFW_E_WRONG_STATE when stopped) and records its properties; derived
    // pins call this first and then do their work.
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
    HRESULT ReceiveCanBlock() override;

    // IPin: an input pin does not connect itself.
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    AM_SAMPLE2_PROPERTIES* SampleProps() { return &sampleProps_; }
    bool IsFlushing() const { return flushing_; }
    bool IsReadOnly() const { return readOnly_; }
    IMemAllocator* Allocator() const { return allocator_; }
    // S_OK while samples may flow; S_FALSE flushing; VFW_E_WRONG_STATE stopped.
    HRESULT CheckStreaming();

protected:
    IMemAllocator* allocator_ = nullptr;  // with a reference
    bool readOnly_ = false;
    std::atomic<bool> flushing_{false};
    std::atomic<bool> atEndOfStream_{false};
    AM_SAMPLE2_PROPERTIES sampleProps_{};
};

// An output pin pushing samples into a connected IMemInputPin.
class BaseOutputPin : public BasePin {
public:
    BaseOutputPin(const char* objectName, BaseFilter* filter, CritSec* lock, HRESULT* hr, LPCWSTR name);
    virtual ~BaseOutputPin();

    // How big and how many buffers the pin wants.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // Takes the input pin's allocator (or a new MemoryAllocator when it has
    // none), sizes it through DecideBufferSize and tells the input pin.
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);

    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;    // commits the allocator
    HRESULT Inactive() override;  // decommits it

    // IPin calls that only input pins take.
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* Allocator() const { return allocator_; }
    IMemInputPin* ConnectedInput() const { return input_; }

protected:
    IMemAllocator* allocator_ = nullptr;  // with a reference
    IMemInputPin* input_ = nullptr;       // with a reference
};

// ---- filters ------------------------------------------------------------------------------
class BaseFilter : public IBaseFilter {
public:
    BaseFilter(const char* objectName, IUnknown* outer, CritSec* lock, REFCLSID clsid, HRESULT* hr = nullptr);
    virtual ~BaseFilter();

    // IUnknown: to the outer object when there is one.
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** object);
    ULONG NonDelegatingAddRef();
    ULONG NonDelegatingRelease();
    // The unknown that answers for the object: the outer one or the filter.
    IUnknown* GetOwner();

    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    HRESULT EnumPins(IEnumPins** enumerator) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    virtual int GetPinCount() = 0;
    virtual BasePin* GetPin(int index) = 0;

    // Tells the graph (through IMediaEventSink); E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    bool IsActive() const { return state_ != State_Stopped; }
    bool IsStopped() const { return state_ == State_Stopped; }
    FILTER_STATE State() const { return state_; }
    CritSec* FilterLock() { return lock_; }
    // The clock's time, or 0 without a clock.
    REFERENCE_TIME ClockTime();
    REFERENCE_TIME StreamStart() const { return start_; }
    IReferenceClock* Clock() const { return clock_; }
    IFilterGraph* Graph() const { return graph_; }

protected:
    CritSec* lock_;
    CLSID clsid_;
    IUnknown* outer_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    IReferenceClock* clock_ = nullptr;  // with a reference
    REFERENCE_TIME start_ = 0;          // stream time 0 on the clock
    IFilterGraph* graph_ = nullptr;     // not referenced (the graph holds us)
    IMediaEventSink* sink_ = nullptr;   // not referenced
    std::u16string name_;

private:
    struct OwnUnknown : IUnknown {
        BaseFilter* filter;
        HRESULT QueryInterface(REFIID iid, void** object) override;
        ULONG AddRef() override;
        ULONG Release() override;
    } ownUnknown_;
    std::atomic<ULONG> refs_{0};
};

