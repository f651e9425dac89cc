// Media samples: a buffer with times, flags and an optional type change,
// handed back to its allocator when the last reference goes.
#include "platform/dshow/dshow_base.h"

#include <cstring>

namespace {
constexpr DWORD kSyncPoint = AM_SAMPLE_SPLICEPOINT;
constexpr DWORD kPreroll = AM_SAMPLE_PREROLL;
constexpr DWORD kDiscontinuity = AM_SAMPLE_DATADISCONTINUITY;
constexpr DWORD kTypeChanged = AM_SAMPLE_TYPECHANGED;
constexpr DWORD kTimeValid = AM_SAMPLE_TIMEVALID;
constexpr DWORD kStopValid = AM_SAMPLE_STOPVALID;

HRESULT SetFlag(DWORD& flags, DWORD flag, BOOL on) {
    flags = on ? (flags | flag) : (flags & ~flag);
    return S_OK;
}
}  // namespace

MediaSample::MediaSample(const char*, MemoryAllocator* allocator, HRESULT* hr, BYTE* buffer, LONG length)
    : allocator_(allocator), buffer_(buffer), size_(length) {
    if (hr != nullptr && allocator == nullptr) *hr = E_POINTER;
}

MediaSample::~MediaSample() { DeleteMediaType(type_); }

HRESULT MediaSample::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(static_cast<IMediaSample*>(this), iid, {&IID_IMediaSample}, object);
}

ULONG MediaSample::AddRef() { return refs_.fetch_add(1) + 1; }

ULONG MediaSample::Release() {
    ULONG r = refs_.fetch_sub(1) - 1;
    if (r == 0) {
        ResetProperties();
        if (allocator_ != nullptr)
            allocator_->ReleaseBuffer(this);
        else
            delete this;
    }
    return r;
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
    if (buffer == nullptr) return E_POINTER;
    *buffer = buffer_;
    return S_OK;
}

LONG MediaSample::GetSize() { return size_; }

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (start == nullptr || stop == nullptr) return E_POINTER;
    if (!(flags_ & kTimeValid)) return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = start_;
    if (flags_ & kStopValid) {
        *stop = stop_;
        return S_OK;
    }
    *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    flags_ &= ~(kTimeValid | kStopValid);
    if (start == nullptr) return S_OK;
    start_ = *start;
    flags_ |= kTimeValid;
    if (stop != nullptr) {
        stop_ = *stop;
        flags_ |= kStopValid;
    }
    return S_OK;
}

HRESULT MediaSample::IsSyncPoint() { return (flags_ & kSyncPoint) ? S_OK : S_FALSE; }
HRESULT MediaSample::SetSyncPoint(BOOL sync) { return SetFlag(flags_, kSyncPoint, sync); }
HRESULT MediaSample::IsPreroll() { return (flags_ & kPreroll) ? S_OK : S_FALSE; }
HRESULT MediaSample::SetPreroll(BOOL preroll) { return SetFlag(flags_, kPreroll, preroll); }
HRESULT MediaSample::IsDiscontinuity() { return (flags_ & kDiscontinuity) ? S_OK : S_FALSE; }
HRESULT MediaSample::SetDiscontinuity(BOOL on) { return SetFlag(flags_, kDiscontinuity, on); }
LONG MediaSample::GetActualDataLength() { return actual_; }

HRESULT MediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
    actual_ = length;
    return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (type == nullptr) return E_POINTER;
    *type = nullptr;
    if (!(flags_ & kTypeChanged) || type_ == nullptr) return S_FALSE;
    *type = CreateMediaType(type_);
    return *type != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
    DeleteMediaType(type_);
    type_ = nullptr;
    flags_ &= ~kTypeChanged;
    if (type == nullptr) return S_OK;
    type_ = CreateMediaType(type);
    if (type_ == nullptr) return E_OUTOFMEMORY;
    flags_ |= kTypeChanged;
    return S_OK;
}

void MediaSample::SetBuffer(BYTE* buffer, LONG length) {
    buffer_ = buffer;
    size_ = length;
    if (actual_ > length) actual_ = length;
}

void MediaSample::ResetProperties() {
    DeleteMediaType(type_);
    type_ = nullptr;
    flags_ = 0;
    actual_ = 0;
}

void MediaSample::GetProperties(AM_SAMPLE2_PROPERTIES* p) {
    *p = AM_SAMPLE2_PROPERTIES{};
    p->cbData = sizeof(AM_SAMPLE2_PROPERTIES);
    p->dwSampleFlags = flags_;
    p->lActual = actual_;
    p->tStart = start_;
    p->tStop = stop_;
    p->dwStreamId = AM_STREAM_MEDIA;
    p->pMediaType = type_;
    p->pbBuffer = buffer_;
    p->cbBuffer = size_;
}
