// The memory allocator: buffers from one block, handed out as samples and
// waited for when all are out.
#include "platform/dshow/dshow_base.h"

#include <cstdlib>
#include <new>

MemoryAllocator::MemoryAllocator(const char*, IUnknown*, HRESULT* hr) {
    if (hr != nullptr && FAILED(*hr)) return;
}

MemoryAllocator::~MemoryAllocator() {
    for (MediaSample* s : free_) delete s;
    free_.clear();
    std::free(memory_);
}

HRESULT MemoryAllocator::QueryInterface(REFIID iid, void** object) {
    return com::AnswerQuery(static_cast<IMemAllocator*>(this), iid, {&IID_IMemAllocator}, object);
}

ULONG MemoryAllocator::AddRef() { return refs_.fetch_add(1) + 1; }

ULONG MemoryAllocator::Release() {
    ULONG r = refs_.fetch_sub(1) - 1;
    if (r == 0) delete this;
    return r;
}

HRESULT MemoryAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
    if (request == nullptr || actual == nullptr) return E_POINTER;
    AutoLock lock(&lock_);
    if (committed_) return VFW_E_ALREADY_COMMITTED;
    if (static_cast<LONG>(free_.size()) != allocated_) return VFW_E_BUFFERS_OUTSTANDING;
    const LONG align = request->cbAlign;
    if (align <= 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
    count_ = request->cBuffers;
    size_ = request->cbBuffer;
    alignment_ = align;
    prefix_ = request->cbPrefix;
    changed_ = true;
    return GetProperties(actual);
}

HRESULT MemoryAllocator::GetProperties(ALLOCATOR_PROPERTIES* p) {
    if (p == nullptr) return E_POINTER;
    AutoLock lock(&lock_);
    *p = {count_, size_, alignment_, prefix_};
    return S_OK;
}

HRESULT MemoryAllocator::CheckAllocation() {
    if (count_ <= 0 || size_ <= 0) return VFW_E_SIZENOTSET;
    if (!changed_ && allocated_ > 0) return S_FALSE;
    return S_OK;
}

HRESULT MemoryAllocator::Alloc() {
    AutoLock lock(&lock_);
    HRESULT hr = CheckAllocation();
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return S_OK;
    Free();
    int64_t each = static_cast<int64_t>(size_) + prefix_;
    if (alignment_ > 1) each = (each + alignment_ - 1) / alignment_ * alignment_;
    const int64_t total = each * count_;
    if (total > (int64_t{1} << 31)) return E_OUTOFMEMORY;
    memory_ = static_cast<BYTE*>(std::malloc(static_cast<size_t>(total)));
    if (memory_ == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < count_; ++i) {
        auto* s = new (std::nothrow) MediaSample("Sample", this, nullptr, memory_ + i * each + prefix_, size_);
        if (s == nullptr) return E_OUTOFMEMORY;
        free_.push_back(s);
        ++allocated_;
    }
    changed_ = false;
    return S_OK;
}

void MemoryAllocator::Free() {
    for (MediaSample* s : free_) delete s;
    free_.clear();
    allocated_ = 0;
    std::free(memory_);
    memory_ = nullptr;
}

HRESULT MemoryAllocator::Commit() {
    AutoLock lock(&lock_);
    if (committed_) return S_OK;
    decommitPending_ = false;
    HRESULT hr = Alloc();
    if (FAILED(hr)) return hr;
    committed_ = true;
    return S_OK;
}

HRESULT MemoryAllocator::Decommit() {
    {
        AutoLock lock(&lock_);
        if (!committed_) return S_OK;
        committed_ = false;
        decommitPending_ = true;
        FreeIfAllBack();
    }
    freed_.notify_all();
    return S_OK;
}

void MemoryAllocator::FreeIfAllBack() {
    if (decommitPending_ && static_cast<LONG>(free_.size()) == allocated_) {
        decommitPending_ = false;
        Free();
    }
}

HRESULT MemoryAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME*, REFERENCE_TIME*, DWORD flags) {
    if (sample == nullptr) return E_POINTER;
    *sample = nullptr;
    std::unique_lock<std::recursive_mutex> lock(lock_.Native());
    for (;;) {
        if (!committed_) return VFW_E_NOT_COMMITTED;
        if (!free_.empty()) break;
        if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
        freed_.wait(lock);
    }
    MediaSample* s = free_.back();
    free_.pop_back();
    AddRef();  // a sample out keeps its allocator
    s->AddRef();
    *sample = s;
    return S_OK;
}

HRESULT MemoryAllocator::ReleaseBuffer(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    {
        AutoLock lock(&lock_);
        free_.push_back(static_cast<MediaSample*>(sample));
        FreeIfAllBack();
    }
    freed_.notify_all();
    Release();
    return S_OK;
}
