// Shared libraries opened when first needed rather than when the program
// starts: a list of (library, symbol) requests is resolved at once, each
// library opened once (dlopen, kept open for the life of the process).
//
// LoadSymbols fills every slot and returns true when every library opened
// and every symbol was found. Otherwise it returns false, leaves every slot
// null (no half-loaded table) and says in *error which library could not be
// opened (with the loader's reason) or which symbol it lacks. A request with
// a null library or name is refused the same way; no requests is success.
#pragma once

#include <cstddef>
#include <string>

namespace dshow {

struct SymbolRequest {
    const char* library;  // file name as the loader searches for it, e.g. "libavcodec.so.59"
    const char* name;     // the symbol
    void** slot;          // where its address goes
};

bool LoadSymbols(const SymbolRequest* requests, size_t count, std::string* error);

}  // namespace dshow
