// The file source (an asynchronous reader over a file) and the null
// renderer (takes any type and drops every sample).
#include "platform/dshow/graph_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace dshow {
namespace {

// A read-only file as an AsyncStream.
class FileStream : public AsyncStream {
public:
    FileStream(int fd, LONGLONG size) : fd_(fd), size_(size) {}
    ~FileStream() override { close(fd_); }
    HRESULT SetPointer(LONGLONG position) override {
        if (position < 0 || position > size_) return S_FALSE;
        position_ = position;
        return S_OK;
    }
    HRESULT Read(BYTE* buffer, DWORD bytes, BOOL, LPDWORD read) override {
        DWORD done = 0;
        while (done < bytes) {
            const ssize_t n = pread(fd_, buffer + done, bytes - done, position_ + done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<DWORD>(n);
        }
        position_ += done;
        if (read != nullptr) *read = done;
        return S_OK;
    }
    LONGLONG Size(LONGLONG* available) override {
        if (available != nullptr) *available = size_;
        return size_;
    }
    DWORD Alignment() override { return 1; }
    void Lock() override { lock_.Lock(); }
    void Unlock() override { lock_.Unlock(); }

private:
    int fd_;
    LONGLONG size_;
    LONGLONG position_ = 0;
    CritSec lock_;
};

const CLSID CLSID_FileSource = CLSID_AsyncReader;

class FileSource : public AsyncReaderFilter {
public:
    explicit FileSource(FileStream* stream) : AsyncReaderFilter("File source", nullptr, stream, nullptr, CLSID_FileSource) {}
    ~FileSource() override {
        output_.StopWorker();
        delete stream_;
    }
};

// Takes every type; samples are dropped when their time comes.
class NullRenderer : public CBaseVideoRenderer {
public:
    NullRenderer() : CBaseVideoRenderer(CLSID_NullRenderer, "Null renderer", nullptr, nullptr) {}
    HRESULT CheckMediaType(const MediaTypeValue* type) override { return type != nullptr ? S_OK : E_POINTER; }
    HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};

}  // namespace

IBaseFilter* CreateFileSource(const char* nativePath, HRESULT* result) {
    *result = VFW_E_NOT_FOUND;
    const int fd = open(nativePath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    auto* stream = new (std::nothrow) FileStream(fd, st.st_size);
    if (stream == nullptr) {
        close(fd);
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    auto* source = new (std::nothrow) FileSource(stream);
    if (source == nullptr) {
        delete stream;
        *result = E_OUTOFMEMORY;
        return nullptr;
    }
    source->AddRef();
    *result = S_OK;
    return source;
}

IBaseFilter* CreateNullRenderer() {
    auto* f = new (std::nothrow) NullRenderer();
    if (f != nullptr) f->AddRef();
    return f;
}

}  // namespace dshow
