#include "platform/dshow/library_loader.h"

#include <dlfcn.h>

#include <cstring>
#include <map>
#include <string>

namespace dshow {
namespace {

bool Fail(const SymbolRequest* requests, size_t count, std::string* error, std::string reason) {
    for (size_t i = 0; i < count; ++i)
        if (requests[i].slot != nullptr) *requests[i].slot = nullptr;
    if (error != nullptr) *error = std::move(reason);
    return false;
}

// The handle of a library, opened on first use; null when it cannot be opened.
void* Open(const char* library, std::map<std::string, void*>& opened, std::string* reason) {
    auto it = opened.find(library);
    if (it != opened.end()) return it->second;
    void* handle = dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        *reason = std::string("cannot open ") + library + (why != nullptr ? std::string(": ") + why : std::string());
    }
    opened[library] = handle;
    return handle;
}

void CloseAll(std::map<std::string, void*>& opened) {
    for (auto& [name, handle] : opened)
        if (handle != nullptr) dlclose(handle);
}

bool Resolve(const SymbolRequest* requests, size_t count, std::map<std::string, void*>& opened, std::string* error) {
    for (size_t i = 0; i < count; ++i) {
        const SymbolRequest& r = requests[i];
        if (r.library == nullptr || r.name == nullptr || r.slot == nullptr)
            return Fail(requests, count, error, "request " + std::to_string(i) + " names no library, symbol or slot");
        std::string reason;
        void* handle = Open(r.library, opened, &reason);
        if (handle == nullptr) return Fail(requests, count, error, reason);
        void* address = dlsym(handle, r.name);
        if (address == nullptr)
            return Fail(requests, count, error, std::string(r.library) + " has no symbol " + r.name);
        *r.slot = address;
    }
    return true;
}

}  // namespace

bool LoadSymbols(const SymbolRequest* requests, size_t count, std::string* error) {
    if (requests == nullptr && count != 0) return Fail(requests, 0, error, "no requests given");
    std::map<std::string, void*> opened;
    if (Resolve(requests, count, opened, error)) return true;  // the libraries stay open
    CloseAll(opened);
    return false;
}

}  // namespace dshow
