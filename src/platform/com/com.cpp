#include "platform/com/com.h"

#include "platform/seams/seams.h"

#include <map>
#include <mutex>


const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const {
        if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
        if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
        if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i]) return a.Data4[i] < b.Data4[i];
        return false;
    }
};

std::mutex g_lock;
std::map<GUID, com::ClassCreator, GuidLess>& Registry() {
    static std::map<GUID, com::ClassCreator, GuidLess> registry;
    return registry;
}
int g_initCount = 0;

}  // namespace

namespace com {
void RegisterPlatformClasses();
}

static std::once_flag g_registerOnce;
static bool g_registering = false;

// Registers the stand-ins' classes first, so that a class registered later
// (by a test, say) replaces the stand-in's and is not replaced by it.
static void EnsureClassesRegistered() {
    std::call_once(g_registerOnce, [] {
        g_registering = true;
        com::RegisterPlatformClasses();
        g_registering = false;
    });
}

namespace com {
static bool RegisterPlatformClassesDone() { return !g_registering; }
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, 0); }

HRESULT CoInitializeEx(void*, DWORD) {
    if (auto failed = seams::FailNow<HRESULT>("CoInitialize", E_FAIL)) return *failed;
    // The stand-ins' classes and runtime modules ("d3d9.dll") are there from
    // COM's start, before any module is loaded by name.
    EnsureClassesRegistered();
    std::lock_guard<std::mutex> lock(g_lock);
    return g_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_initCount > 0) --g_initCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (auto failed = seams::FailNow<HRESULT>("CoCreateInstance", REGDB_E_CLASSNOTREG)) return *failed;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    EnsureClassesRegistered();
    com::ClassCreator creator = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = Registry().find(clsid);
        if (it != Registry().end()) creator = it->second;
    }
    if (creator == nullptr) return REGDB_E_CLASSNOTREG;
    IUnknown* instance = creator();
    if (instance == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = instance->QueryInterface(iid, object);
    instance->Release();
    return hr;
}

namespace com {

bool Answers(REFIID iid, std::initializer_list<const IID*> own) {
    if (iid == IID_IUnknown) return true;
    for (const IID* candidate : own)
        if (iid == *candidate) return true;
    return false;
}

void RegisterClass(REFCLSID clsid, ClassCreator creator) {
    if (RegisterPlatformClassesDone()) EnsureClassesRegistered();
    std::lock_guard<std::mutex> lock(g_lock);
    if (creator == nullptr)
        Registry().erase(clsid);
    else
        Registry()[clsid] = creator;
}

}  // namespace com
