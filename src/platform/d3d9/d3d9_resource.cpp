// Reference counting of the device's children, the failure seams and the
// call recording.
#include "platform/d3d9/d3d9_device.h"
#include "platform/seams/seams.h"

#include <cinttypes>
#include <cstdio>
#include <mutex>
#include <string>

namespace d3d9 {
namespace {

std::mutex g_recordMutex;
std::vector<std::string> g_recorded;
std::atomic<bool> g_recording{false};

}  // namespace

bool RecordingOn() { return g_recording.load(std::memory_order_relaxed); }

void Record(const char* method, std::initializer_list<int64_t> args, HRESULT result) {
    if (!RecordingOn()) return;
    std::string line = std::string(method) + "(";
    bool first = true;
    for (int64_t a : args) {
        if (!first) line += ", ";
        line += std::to_string(a);
        first = false;
    }
    char tail[32];
    std::snprintf(tail, sizeof tail, ") = %" PRIx32, static_cast<uint32_t>(result));
    line += tail;
    std::lock_guard<std::mutex> lock(g_recordMutex);
    g_recorded.push_back(std::move(line));
}

HRESULT Enter(const char* interfaceName, const char* method) {
    if (!seams::AnyFailure()) return S_OK;  // every call comes here: no name built unless a test asks
    const std::string name = std::string(interfaceName) + "::" + method;
    const HRESULT hr = seams::FailNow<HRESULT>(name.c_str(), D3DERR_INVALIDCALL).value_or(S_OK);
    if (FAILED(hr)) Record(method, {}, hr);
    return hr;
}

void SetCallRecording(bool on) { g_recording = on; }

std::vector<std::string> RecordedCalls() {
    std::lock_guard<std::mutex> lock(g_recordMutex);
    return g_recorded;
}

void ClearRecordedCalls() {
    std::lock_guard<std::mutex> lock(g_recordMutex);
    g_recorded.clear();
}

// ---- Resource -------------------------------------------------------------------
Resource::Resource(Device* device, bool implicit, D3DPOOL pool)
    : device_(device), implicit_(implicit), pool_(pool), refs_(implicit ? 0 : 1),
      counted_(!implicit && pool == D3DPOOL_DEFAULT) {
    if (!implicit_) device_->AddRef();
    if (counted_) device_->CountDefaultResource(1);
}

Resource::~Resource() {
    if (counted_) device_->CountDefaultResource(-1);
}

ULONG Resource::AddRefResource() {
    if (refs_++ == 0) device_->AddRef();
    return refs_;
}

ULONG Resource::ReleaseResource() {
    if (refs_ == 0) return 0;
    ULONG r = --refs_;
    if (r != 0) return r;
    Device* device = device_;
    if (!implicit_ && binds_ == 0) delete this;
    device->Release();
    return 0;
}

void Resource::Bind() { ++binds_; }

void Resource::Unbind() {
    if (binds_ == 0) return;
    if (--binds_ == 0 && refs_ == 0 && !implicit_) delete this;
}

HRESULT GetDeviceOf(Resource* resource, IDirect3DDevice9** device) {
    if (device == nullptr) return D3DERR_INVALIDCALL;
    resource->device()->AddRef();
    *device = resource->device();
    return D3D_OK;
}

}  // namespace d3d9
