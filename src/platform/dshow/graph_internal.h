// Internals shared by the DirectShow stand-in's files: the counters the test
// hooks read, and the filters intelligent connect may add.
#pragma once

#include "platform/dshow/dshow_base.h"

#include <thread>

namespace dshow {

void CountFilter(int delta);
void CountThread(int delta);

// A streaming thread that is counted while it runs.
class StreamingThread {
public:
    StreamingThread() = default;
    ~StreamingThread() { Join(); }
    template <typename Function>
    void Start(Function&& body) {
        Join();
        thread_ = std::thread([body = std::forward<Function>(body)]() mutable {
            Count(+1);
            body();
            Count(-1);
        });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool Running() const { return thread_.joinable(); }

private:
    static void Count(int delta) { CountThread(delta); }
    std::thread thread_;
};

// The system clock every graph uses (one reference added).
IReferenceClock* CreateSystemClock();

// Filters intelligent connect may add, by what they take. Each returns a new
// filter with one reference, or null.
IBaseFilter* CreateDemultiplexer();
IBaseFilter* CreateAudioDecoder();
IBaseFilter* CreateVideoDecoder();
IBaseFilter* CreateColourConverter();
IBaseFilter* CreateAudioRenderer();
IBaseFilter* CreateNullRenderer();
// A file source over the native path; *result says why when null.
IBaseFilter* CreateFileSource(const char* nativePath, HRESULT* result);

// The private subtype of compressed streams between the demultiplexer and
// the decoders (their format block is a StreamFormat).
extern const GUID MEDIASUBTYPE_CodedStream;
extern const GUID FORMAT_CodedStream;

}  // namespace dshow
