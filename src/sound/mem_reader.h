// A DirectShow source over a block of memory: D_CMemStream serves the block
// as a byte stream, optionally throttled to an arrival rate, and
// D_CMemReader offers that stream on an IAsyncReader output pin with a fixed
// media type. The MP3 converter feeds its graph with them.
//
// The block belongs to the creator and must outlive the stream; the stream
// must outlive the reader.
#pragma once

#include "platform/dshow/dshow_base.h"
#include "platform/kernel32/kernel32.h"

#include <cstdint>

class D_CMemStream : public AsyncStream {
public:
    D_CMemStream(uint8_t* data, int64_t length, uint32_t rate);
    ~D_CMemStream() override;

    // S_FALSE (position unchanged) for a position below 0 or past the length.
    HRESULT SetPointer(LONGLONG position) override;
    // Up to bytes from the position; with a rate, not before they would have
    // arrived (sleeping for the rest). S_OK, also for 0 bytes at the end.
    HRESULT Read(BYTE* buffer, DWORD bytes, BOOL align, LPDWORD read) override;
    // The length; available gets what has arrived so far.
    LONGLONG Size(LONGLONG* available = nullptr) override;
    DWORD Alignment() override;
    void Lock() override;
    void Unlock() override;

private:
    CRITICAL_SECTION lock_;
    uint8_t* data_;
    int64_t length_;
    int64_t position_ = 0;
    uint32_t rate_;  // bytes per millisecond; kMemStreamUnthrottled for none
    uint32_t startTime_;
};

constexpr uint32_t kMemStreamUnthrottled = 0xFFFFFFFFu;

class D_CMemReader : public AsyncReaderFilter {
public:
    D_CMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result);
};

// A stream over length (low and high words) bytes of data at rate bytes per
// millisecond (kMemStreamUnthrottled: as fast as asked; 0 is taken as 1);
// null when memory runs out.
D_CMemStream* CreateMemStream(uint8_t* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate);
// Destroys the stream (not its data); nothing for null.
void DeleteMemStream(D_CMemStream* stream);
// A reader offering the stream with a copy of type on its output pin; null,
// with E_OUTOFMEMORY in result when given, when memory runs out.
D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result);
// Destroys a filter object directly; nothing for null.
void DeleteFilterObject(BaseFilter* filter);
