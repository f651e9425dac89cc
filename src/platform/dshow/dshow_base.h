// The base-class framework that filters of their own derive from: the core
// of dshow_framework.h (media type values, samples, the memory allocator, the
// base filter with its input and output pins), and here the in-place
// transform filter, the video renderer and the asynchronous reader over an
// AsyncStream.
#pragma once

#include "platform/dshow/dshow_framework.h"

// ---- in-place transform -------------------------------------------------------------------
class InPlaceTransformFilter;

// Input of an in-place transform: accepts what CheckInputType accepts and
// what the downstream filter (when connected) accepts too.
class InPlaceInputPin : public BaseInputPin {
public:
    InPlaceInputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* hr, LPCWSTR name);

    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT GetMediaType(int position, MediaTypeValue* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) override;
    // The downstream input's allocator when the output is connected.
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
    HRESULT CompleteConnect(IPin* receivePin) override;

protected:
    InPlaceTransformFilter* transform_;
};

// Output of an in-place transform: offers the input's type unchanged.
class InPlaceOutputPin : public BaseOutputPin {
public:
    InPlaceOutputPin(const char* objectName, InPlaceTransformFilter* filter, HRESULT* hr, LPCWSTR name);

    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT GetMediaType(int position, MediaTypeValue* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    // Offers the input's allocator downstream first.
    HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) override;

protected:
    InPlaceTransformFilter* transform_;
};

// A filter that passes every sample through, changed in place or only
// looked at (Transform), from its input pin (0) to its output pin (1).
class InPlaceTransformFilter : public BaseFilter {
public:
    InPlaceTransformFilter(const char* objectName, IUnknown* outer, REFCLSID clsid, HRESULT* hr,
                           bool modifiesData = true);
    virtual ~InPlaceTransformFilter();  // deletes both pins

    int GetPinCount() override { return 2; }
    // Makes the pins on first use: the input L"Input" when none was set,
    // then the output L"Output".
    BasePin* GetPin(int index) override;
    HRESULT Stop() override;

    virtual HRESULT CheckInputType(const MediaTypeValue* type) = 0;
    virtual HRESULT Transform(IMediaSample* sample) = 0;
    // Copies the sample when the pins use different allocators, transforms
    // it and delivers it (S_FALSE from Transform: not delivered).
    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // A new sample of the output allocator with the source's bytes, times and
    // flags; null when none can be had.
    IMediaSample* Copy(IMediaSample* source);
    bool UsingDifferentAllocators() const;
    bool ModifiesData() const { return modifiesData_; }
    CritSec* ReceiveLock() { return &receiveLock_; }
    InPlaceInputPin* InputPin() const { return input_; }
    InPlaceOutputPin* OutputPin() const { return output_; }

protected:
    CritSec filterLock_;
    CritSec receiveLock_;  // held while a sample goes through
    InPlaceInputPin* input_ = nullptr;
    InPlaceOutputPin* output_ = nullptr;
    bool modifiesData_;
};

// ---- video renderer -----------------------------------------------------------------------
class CBaseVideoRenderer;

class RendererInputPin : public BaseInputPin {
public:
    RendererInputPin(CBaseVideoRenderer* renderer, HRESULT* hr, LPCWSTR name);
    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT SetMediaType(const MediaTypeValue* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override { return S_OK; }
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT BreakConnect() override;

private:
    CBaseVideoRenderer* renderer_;
};

// A renderer with one input pin (L"In"): it waits for each sample's start
// time on the graph's clock while running (at once without a clock), hands
// it to DoRenderSample, shows the first sample of a pause at once, and
// reports EC_COMPLETE after the end of its stream once running.
class CBaseVideoRenderer : public BaseFilter {
public:
    CBaseVideoRenderer(REFCLSID clsid, const char* objectName, IUnknown* outer, HRESULT* hr);
    virtual ~CBaseVideoRenderer();

    virtual HRESULT CheckMediaType(const MediaTypeValue* type) = 0;
    virtual HRESULT SetMediaType(const MediaTypeValue* type);
    virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;

    int GetPinCount() override { return 1; }
    BasePin* GetPin(int index) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    // Samples DoRenderSample was given (for the movie layer's counters).
    LONG FramesRendered() const { return rendered_; }

private:
    friend class RendererInputPin;
    HRESULT Render(IMediaSample* sample);
    HRESULT WaitForPresentation(IMediaSample* sample);
    void EndOfStreamReached();
    void SendCompleteIfDue();
    void Wake();

    CritSec rendererFilterLock_;
    CritSec rendererLock_;  // held while a sample goes through
    RendererInputPin* input_ = nullptr;
    std::mutex waitLock_;
    std::condition_variable wake_;
    uint64_t generation_ = 0;  // bumped by every wake-up
    bool endOfStream_ = false;
    bool completeSent_ = false;
    bool shownInPause_ = false;
    std::atomic<LONG> rendered_{0};
};

// ---- asynchronous reader -------------------------------------------------------------------
// The byte stream an AsyncReaderFilter reads.
class AsyncStream {
public:
    virtual ~AsyncStream() = default;
    // S_FALSE when position is outside 0..length.
    virtual HRESULT SetPointer(LONGLONG position) = 0;
    virtual HRESULT Read(BYTE* buffer, DWORD bytes, BOOL align, LPDWORD read) = 0;
    // The length; *available (when given) the bytes that can be read now.
    virtual LONGLONG Size(LONGLONG* available = nullptr) = 0;
    virtual DWORD Alignment() = 0;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

class AsyncReaderFilter;

// The reader's output pin (L"Output"): IAsyncReader over the stream, with a
// worker thread serving queued requests in order.
class AsyncOutputPin : public BasePin, public IAsyncReader {
public:
    AsyncOutputPin(AsyncReaderFilter* reader, CritSec* lock, HRESULT* hr);
    virtual ~AsyncOutputPin();  // stops the worker

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT GetMediaType(int position, MediaTypeValue* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT EndOfStream() override { return E_UNEXPECTED; }
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                             IMemAllocator** actual) override;
    HRESULT Request(IMediaSample* sample, DWORD_PTR user) override;
    HRESULT WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) override;
    HRESULT SyncReadAligned(IMediaSample* sample) override;
    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override;
    HRESULT Length(LONGLONG* total, LONGLONG* available) override;

    // Stops the worker thread (requests left are handed back unread).
    void StopWorker();

private:
    struct Job {
        IMediaSample* sample;
        DWORD_PTR user;
        HRESULT result;
    };
    HRESULT ReadAt(LONGLONG position, LONG length, BYTE* buffer, LONG* done);
    void Work();

    AsyncReaderFilter* reader_;
    std::mutex jobLock_;
    std::condition_variable jobsChanged_;
    std::deque<Job> pending_;
    std::deque<Job> done_;
    bool flushing_ = false;
    bool quit_ = false;
    std::thread worker_;
};

// A source filter that offers an AsyncStream on one output pin, typed with
// outputType_ (set by the derived filter; empty offers MEDIATYPE_Stream).
class AsyncReaderFilter : public BaseFilter {
public:
    AsyncReaderFilter(const char* objectName, IUnknown* outer, AsyncStream* stream, HRESULT* hr,
                      REFCLSID clsid = CLSID_AsyncReader);
    virtual ~AsyncReaderFilter();

    int GetPinCount() override { return 1; }
    BasePin* GetPin(int index) override;
    HRESULT Stop() override;
    // The setup interface's calls: nothing to register here.
    virtual HRESULT Register() { return S_OK; }
    virtual HRESULT Unregister() { return S_OK; }

    AsyncStream* Stream() const { return stream_; }
    const MediaTypeValue& OutputType() const { return outputType_; }

protected:
    CritSec readerLock_;
    AsyncStream* stream_;  // not owned
    MediaTypeValue outputType_;
    AsyncOutputPin output_;
};
