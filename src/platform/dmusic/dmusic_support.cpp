// What the stand-in's objects share: interface ids, the call log, the count
// of live objects, the test seams and the reference sets.
#include "platform/dmusic/dmusic_internal.h"


#include <algorithm>
#include <atomic>

const CLSID CLSID_DirectMusicLoader = {0xD2AC2892, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
const CLSID CLSID_DirectMusicPerformance = {0xD2AC2881, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
const CLSID CLSID_DirectMusic = {0x636B9F10, 0x0C7D, 0x11D1, {0x95, 0xB2, 0x00, 0x20, 0xAF, 0xDC, 0x74, 0x21}};
const GUID GUID_PerfMasterVolume = {0xD2AC28B1, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
const IID IID_IDirectMusicSegment = {0xF96029A2, 0x4282, 0x11D2, {0x87, 0x17, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
const IID IID_IDirectMusicSegment8 = {0xC6784488, 0x41A3, 0x418F, {0xAA, 0x15, 0xB3, 0x50, 0x93, 0xBA, 0x42, 0xD4}};
const IID IID_IDirectMusicPerformance8 = {0x679C4137, 0xC62E, 0x4147, {0xB2, 0xB4, 0x9D, 0x56, 0x9A, 0xCB, 0x25, 0x4C}};
const IID IID_IDirectMusicLoader8 = {0x19E7C08C, 0x0A44, 0x4E6A, {0xA1, 0x16, 0x59, 0x5A, 0x7C, 0xD5, 0xDE, 0x8C}};
const IID IID_IDirectMusic = {0x6536115A, 0x7B2D, 0x11D2, {0xBA, 0x18, 0x00, 0x00, 0xF8, 0x75, 0xAC, 0x12}};
const IID IID_IDirectMusic8 = {0x2D3629F7, 0x813D, 0x4939, {0x85, 0x08, 0xF0, 0x5C, 0x6B, 0x75, 0xFD, 0x97}};

namespace dmusic {
namespace {

std::atomic<int> g_liveObjects{0};
std::mutex g_logLock;
CallLog g_log{};

}  // namespace

void CountObject(int delta) { g_liveObjects += delta; }

void LogCall(const std::function<void(CallLog&)>& change) {
    std::lock_guard<std::mutex> lock(g_logLock);
    change(g_log);
}

IUnknown* Identity(IUnknown* object) {
    if (object == nullptr) return nullptr;
    void* identity = nullptr;
    if (FAILED(object->QueryInterface(IID_IUnknown, &identity))) return nullptr;
    static_cast<IUnknown*>(identity)->Release();  // the caller holds the object alive
    return static_cast<IUnknown*>(identity);
}

IDirectMusicSegment8* AsSegment(IUnknown* object) { return dynamic_cast<Segment*>(object); }

bool ReferenceSet::Add(IUnknown* object) {
    if (Contains(object)) return false;
    object->AddRef();
    objects_.push_back(object);
    return true;
}

bool ReferenceSet::Remove(IUnknown* object) {
    IUnknown* identity = Identity(object);
    const auto found = std::find_if(objects_.begin(), objects_.end(),
                                    [identity](IUnknown* held) { return Identity(held) == identity; });
    if (identity == nullptr || found == objects_.end()) return false;
    IUnknown* held = *found;
    objects_.erase(found);
    held->Release();
    return true;
}

bool ReferenceSet::Contains(IUnknown* object) const {
    IUnknown* identity = Identity(object);
    return identity != nullptr && std::any_of(objects_.begin(), objects_.end(), [identity](IUnknown* held) {
               return Identity(held) == identity;
           });
}

void ReferenceSet::Clear() {
    std::vector<IUnknown*> objects;
    objects.swap(objects_);
    for (IUnknown* object : objects) object->Release();
}

CallLog CallLogForTest() {
    std::lock_guard<std::mutex> lock(g_logLock);
    return g_log;
}

void ResetCallLogForTest() {
    std::lock_guard<std::mutex> lock(g_logLock);
    g_log = CallLog{};
}

int LiveObjectCountForTest() { return g_liveObjects; }

IDirectMusicPerformance8* CreatePerformanceForTest() { return new Performance(); }
IDirectMusicLoader8* CreateLoaderForTest() { return new Loader(); }
IDirectMusic8* CreateDirectMusicForTest() { return new DirectMusic(); }

IDirectMusicSegment8* LoadSegmentForTest(IDirectMusicLoader8* loader) {
    auto* ours = dynamic_cast<Loader*>(loader);
    return ours != nullptr ? ours->LoadSegment() : nullptr;
}

HRESULT PlaySegmentForTest(IDirectMusicPerformance8* performance, IDirectMusicSegment8* segment) {
    if (performance == nullptr || segment == nullptr) return E_POINTER;
    auto* ours = dynamic_cast<Performance*>(performance);
    return ours != nullptr ? ours->Play(segment) : E_INVALIDARG;
}

HRESULT EndSegmentForTest(IDirectMusicPerformance8* performance, IDirectMusicSegment8* segment) {
    if (performance == nullptr || segment == nullptr) return E_POINTER;
    auto* ours = dynamic_cast<Performance*>(performance);
    return ours != nullptr ? ours->End(segment) : E_INVALIDARG;
}

}  // namespace dmusic
