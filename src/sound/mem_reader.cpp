// The memory stream and the source filter that offers it to a graph.
#include "sound/mem_reader.h"

#include "core/library_hooks.h"
#include "platform/seams/seams.h"
#include "platform/winmm/winmm.h"

#include <cstring>
#include <new>

D_CMemStream::D_CMemStream(uint8_t* data, int64_t length, uint32_t rate)
    : data_(data), length_(length), rate_(rate == 0 ? 1 : rate), startTime_(timeGetTime()) {
    InitializeCriticalSection(&lock_);
}

D_CMemStream::~D_CMemStream() { DeleteCriticalSection(&lock_); }

HRESULT D_CMemStream::SetPointer(LONGLONG position) {
    if (position < 0 || position > length_) return S_FALSE;
    position_ = position;
    return S_OK;
}

HRESULT D_CMemStream::Read(BYTE* buffer, DWORD bytes, BOOL, LPDWORD read) {
    EnterCriticalSection(&lock_);
    const DWORD now = timeGetTime();
    DWORD n = bytes;
    if (position_ + bytes > length_) n = static_cast<DWORD>(length_ - position_);
    // The bytes up to the end of this read arrive at this many milliseconds.
    const DWORD arrival = (static_cast<DWORD>(position_) + n) / rate_;
    const DWORD elapsed = now - startTime_;
    if (elapsed < arrival) GetLibraryHooks().sleep(arrival - elapsed);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    if (read != nullptr) *read = n;
    LeaveCriticalSection(&lock_);
    return S_OK;
}

LONGLONG D_CMemStream::Size(LONGLONG* available) {
    if (available != nullptr) {
        const uint64_t arrived = static_cast<uint64_t>(timeGetTime() - startTime_) * rate_;
        *available = arrived < static_cast<uint64_t>(length_) ? static_cast<LONGLONG>(arrived) : length_;
    }
    return length_;
}

DWORD D_CMemStream::Alignment() { return 1; }
void D_CMemStream::Lock() { EnterCriticalSection(&lock_); }
void D_CMemStream::Unlock() { LeaveCriticalSection(&lock_); }

D_CMemReader::D_CMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result)
    : AsyncReaderFilter("Mem Reader", nullptr, stream, result) {
    if (type != nullptr) outputType_.Set(*type);
}

D_CMemStream* CreateMemStream(uint8_t* data, uint32_t lengthLow, uint32_t lengthHigh, uint32_t rate) {
    if (seams::ShouldFailCall("CreateMemStream")) return nullptr;
    const int64_t length = static_cast<int64_t>((static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
    return new (std::nothrow) D_CMemStream(data, length, rate);
}

void DeleteMemStream(D_CMemStream* stream) { delete stream; }

D_CMemReader* CreateMemReader(D_CMemStream* stream, const AM_MEDIA_TYPE* type, HRESULT* result) {
    D_CMemReader* reader = seams::ShouldFailCall("CreateMemReader") ? nullptr
                                                                     : new (std::nothrow) D_CMemReader(stream, type, result);
    if (reader == nullptr && result != nullptr) *result = E_OUTOFMEMORY;
    return reader;
}

void DeleteFilterObject(BaseFilter* filter) { delete filter; }
