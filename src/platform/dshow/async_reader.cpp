// The asynchronous reader: an output pin offering IAsyncReader over an
// AsyncStream, with a worker thread serving queued requests in order.
#include "platform/dshow/dshow_base.h"
#include "platform/dshow/graph_internal.h"
#include "platform/kernel32/kernel32.h"

#include <new>

namespace {
constexpr LONGLONG kUnitsPerByte = 10000000;  // sample times carry byte offsets in these units
}

AsyncOutputPin::AsyncOutputPin(AsyncReaderFilter* reader, CritSec* lock, HRESULT* hr)
    : BasePin("Async output pin", reader, lock, hr, u"Output", PINDIR_OUTPUT), reader_(reader) {}

AsyncOutputPin::~AsyncOutputPin() { StopWorker(); }

HRESULT AsyncOutputPin::QueryInterface(REFIID iid, void** object) {
    if (iid == IID_IAsyncReader) return com::HandOut(static_cast<IAsyncReader*>(this), object);
    return BasePin::QueryInterface(iid, object);
}

ULONG AsyncOutputPin::AddRef() { return BasePin::AddRef(); }
ULONG AsyncOutputPin::Release() { return BasePin::Release(); }

HRESULT AsyncOutputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    const MediaTypeValue& offered = reader_->OutputType();
    if (offered.IsEmpty()) return type->majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
    return offered.majortype == type->majortype && offered.subtype == type->subtype ? S_OK : S_FALSE;
}

HRESULT AsyncOutputPin::GetMediaType(int position, MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    if (!reader_->OutputType().IsEmpty()) return type->Set(reader_->OutputType());
    type->Clear();
    type->majortype = MEDIATYPE_Stream;
    type->formattype = FORMAT_None;
    return S_OK;
}

HRESULT AsyncOutputPin::CheckConnect(IPin* pin) { return BasePin::CheckConnect(pin); }

HRESULT AsyncOutputPin::BreakConnect() {
    StopWorker();
    return S_OK;
}

HRESULT AsyncOutputPin::BeginFlush() {
    std::lock_guard<std::mutex> lock(jobLock_);
    flushing_ = true;
    jobsChanged_.notify_all();
    return S_OK;
}

HRESULT AsyncOutputPin::EndFlush() {
    std::lock_guard<std::mutex> lock(jobLock_);
    flushing_ = false;
    return S_OK;
}

HRESULT AsyncOutputPin::RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                         IMemAllocator** actual) {
    if (properties == nullptr || actual == nullptr) return E_POINTER;
    *actual = nullptr;
    ALLOCATOR_PROPERTIES request = *properties, got;
    if (request.cbAlign < 1) request.cbAlign = 1;
    if (preferred != nullptr && SUCCEEDED(preferred->SetProperties(&request, &got))) {
        preferred->AddRef();
        *actual = preferred;
        return S_OK;
    }
    auto* own = new (std::nothrow) MemoryAllocator("Reader allocator", nullptr, nullptr);
    if (own == nullptr) return E_OUTOFMEMORY;
    own->AddRef();
    HRESULT hr = own->SetProperties(&request, &got);
    if (FAILED(hr)) {
        own->Release();
        return hr;
    }
    *actual = own;
    return S_OK;
}

HRESULT AsyncOutputPin::ReadAt(LONGLONG position, LONG length, BYTE* buffer, LONG* done) {
    *done = 0;
    if (position < 0 || length < 0) return E_INVALIDARG;
    AsyncStream* stream = reader_->Stream();
    stream->Lock();
    HRESULT hr = stream->SetPointer(position);
    DWORD read = 0;
    if (hr == S_OK) hr = stream->Read(buffer, static_cast<DWORD>(length), TRUE, &read);
    stream->Unlock();
    if (FAILED(hr)) return hr;
    *done = static_cast<LONG>(read);
    return *done == length ? S_OK : S_FALSE;
}

HRESULT AsyncOutputPin::SyncRead(LONGLONG position, LONG length, BYTE* buffer) {
    if (buffer == nullptr) return E_POINTER;
    LONG done = 0;
    return ReadAt(position, length, buffer, &done);
}

HRESULT AsyncOutputPin::SyncReadAligned(IMediaSample* sample) {
    if (sample == nullptr) return E_POINTER;
    REFERENCE_TIME start, stop;
    if (FAILED(sample->GetTime(&start, &stop))) return VFW_E_SAMPLE_TIME_NOT_SET;
    const LONGLONG position = start / kUnitsPerByte;
    const LONGLONG length = stop / kUnitsPerByte - position;
    BYTE* buffer = nullptr;
    sample->GetPointer(&buffer);
    if (length < 0 || length > sample->GetSize()) return E_INVALIDARG;
    LONG done = 0;
    HRESULT hr = ReadAt(position, static_cast<LONG>(length), buffer, &done);
    sample->SetActualDataLength(done);
    return hr;
}

HRESULT AsyncOutputPin::Length(LONGLONG* total, LONGLONG* available) {
    if (total == nullptr || available == nullptr) return E_POINTER;
    *total = reader_->Stream()->Size(available);
    return S_OK;
}

HRESULT AsyncOutputPin::Request(IMediaSample* sample, DWORD_PTR user) {
    if (sample == nullptr) return E_POINTER;
    std::lock_guard<std::mutex> lock(jobLock_);
    if (flushing_) return VFW_E_WRONG_STATE;
    if (!worker_.joinable()) {
        quit_ = false;
        worker_ = std::thread([this] {
            dshow::CountThread(+1);
            Work();
            dshow::CountThread(-1);
        });
    }
    pending_.push_back({sample, user, S_OK});
    jobsChanged_.notify_all();
    return S_OK;
}

HRESULT AsyncOutputPin::WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) {
    if (sample == nullptr || user == nullptr) return E_POINTER;
    *sample = nullptr;
    *user = 0;
    std::unique_lock<std::mutex> lock(jobLock_);
    auto ready = [this] { return !done_.empty() || (flushing_ && pending_.empty()); };
    if (timeout == INFINITE)
        jobsChanged_.wait(lock, ready);
    else if (!jobsChanged_.wait_for(lock, std::chrono::milliseconds(timeout), ready))
        return VFW_E_TIMEOUT;
    if (done_.empty()) return VFW_E_WRONG_STATE;
    Job job = done_.front();
    done_.pop_front();
    *sample = job.sample;
    *user = job.user;
    return flushing_ ? VFW_E_WRONG_STATE : job.result;
}

void AsyncOutputPin::Work() {
    std::unique_lock<std::mutex> lock(jobLock_);
    for (;;) {
        jobsChanged_.wait(lock, [this] { return quit_ || !pending_.empty(); });
        if (quit_) return;
        Job job = pending_.front();
        pending_.pop_front();
        if (!flushing_) {
            lock.unlock();
            job.result = SyncReadAligned(job.sample);
            lock.lock();
        } else {
            job.result = VFW_E_WRONG_STATE;
        }
        done_.push_back(job);
        jobsChanged_.notify_all();
    }
}

void AsyncOutputPin::StopWorker() {
    {
        std::lock_guard<std::mutex> lock(jobLock_);
        quit_ = true;
        jobsChanged_.notify_all();
    }
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(jobLock_);
    pending_.clear();
    done_.clear();
}

// ---- filter ------------------------------------------------------------------------------

AsyncReaderFilter::AsyncReaderFilter(const char* objectName, IUnknown* outer, AsyncStream* stream, HRESULT* hr,
                                     REFCLSID clsid)
    : BaseFilter(objectName, outer, &readerLock_, clsid, hr), stream_(stream), output_(this, &readerLock_, hr) {}

AsyncReaderFilter::~AsyncReaderFilter() { output_.StopWorker(); }

BasePin* AsyncReaderFilter::GetPin(int index) { return index == 0 ? &output_ : nullptr; }

HRESULT AsyncReaderFilter::Stop() { return BaseFilter::Stop(); }
