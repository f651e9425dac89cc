// COM stand-in: IUnknown, CoInitialize and CoCreateInstance over a registry
// of class factories that the other stand-ins (DirectSound, DirectInput, ...)
// fill at start-up.
#pragma once

#include "platform/wintypes.h"

#include <atomic>
#include <initializer_list>

#define STDMETHODCALLTYPE
// Class contexts: where the caller accepts the object's code to run. Every
// class here is in-process; the context is not examined.
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_ALL 0x17
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154)
#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0)
#define RPC_E_CHANGED_MODE ((HRESULT)0x80010106)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

extern const IID IID_IUnknown;

HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();
// Creates an object of a registered class and asks it for iid. Fails with
// REGDB_E_CLASSNOTREG for a class nobody registered, and as a test seam
// when "CoCreateInstance" is set to fail (then with the chosen result, or
// REGDB_E_CLASSNOTREG). "CoInitialize" fails CoInitialize(Ex) (E_FAIL).
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

namespace com {
// QueryInterface for an object whose interfaces all share one pointer.
// True for IUnknown and for each interface in `own`.
bool Answers(REFIID iid, std::initializer_list<const IID*> own);
// Hands self out through object with one more reference (S_OK); E_POINTER
// when object is null.
template <typename Interface>
HRESULT HandOut(Interface* self, void** object) {
    if (object == nullptr) return E_POINTER;
    self->AddRef();
    *object = self;
    return S_OK;
}
// The whole answer: self for IUnknown and the interfaces in `own`, else
// E_NOINTERFACE with *object null. Every stand-in object answers this way:
//     return com::AnswerQuery(this, iid, {&IID_IDirectSound}, object);
template <typename Interface>
HRESULT AnswerQuery(Interface* self, REFIID iid, std::initializer_list<const IID*> own, void** object) {
    if (object == nullptr) return E_POINTER;
    if (!Answers(iid, own)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    return HandOut(self, object);
}

// A creator makes a new object of its class and returns it with one
// reference, or null.
using ClassCreator = IUnknown* (*)();
// Registers (or replaces) the creator of a class; null removes it.
void RegisterClass(REFCLSID clsid, ClassCreator creator);
}  // namespace com

// A reference-counting base for stand-in objects: Release deletes at zero.
// The count may be changed from any thread, as COM promises.
template <typename Interface>
class ComObject : public Interface {
public:
    ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG Release() override {
        ULONG r = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (r == 0) delete this;
        return r;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;
    std::atomic<ULONG> refs_{1};
};
