// The base of the stand-in's decoders and colour converter: one input pin,
// one output pin whose single type is fixed when the input connects, and
// samples made on the input's streaming thread.
#pragma once

#include "platform/dshow/graph_internal.h"

namespace dshow {

class CodecFilter;

class CodecInputPin : public BaseInputPin {
public:
    CodecInputPin(CodecFilter* filter, HRESULT* hr);
    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CodecFilter* codec_;
};

class CodecOutputPin : public BaseOutputPin {
public:
    CodecOutputPin(CodecFilter* filter, HRESULT* hr);
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT GetMediaType(int position, MediaTypeValue* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

private:
    CodecFilter* codec_;
};

class CodecFilter : public BaseFilter {
public:
    CodecFilter(const char* objectName, REFCLSID clsid);
    ~CodecFilter() override;

    int GetPinCount() override { return 2; }
    BasePin* GetPin(int index) override;
    HRESULT Stop() override;
    HRESULT Pause() override;

    // What the derived filter decides.
    virtual HRESULT CheckInput(const MediaTypeValue* type) = 0;
    // Opens the work for the input type and sets the output type and the
    // size of an output buffer.
    virtual HRESULT StartInput(const MediaTypeValue& input, MediaTypeValue* output, LONG* bufferSize) = 0;
    virtual void StopInput() = 0;
    // Turns one input sample into output through Emit.
    virtual HRESULT Process(IMediaSample* sample) = 0;
    // Hands out what is held back, at the end of the stream.
    virtual HRESULT Drain() { return S_OK; }
    // Forgets the stream so far (a new start or a seek).
    virtual void Restart() {}

    // Delivers bytes downstream in samples of at most the buffer size;
    // start INT64_MIN: no time. S_OK, or the first failure downstream.
    HRESULT Emit(const uint8_t* data, LONG size, REFERENCE_TIME start, REFERENCE_TIME stop);
    const MediaTypeValue& OutputType() const { return outputType_; }
    LONG BufferSize() const { return bufferSize_; }
    CodecInputPin* Input() const { return input_; }
    CodecOutputPin* Output() const { return output_; }
    CritSec* ReceiveLock() { return &receiveLock_; }

private:
    CritSec filterLock_;
    CritSec receiveLock_;
    CodecInputPin* input_ = nullptr;
    CodecOutputPin* output_ = nullptr;
    MediaTypeValue outputType_;
    LONG bufferSize_ = 0;
    friend class CodecInputPin;
};

}  // namespace dshow
