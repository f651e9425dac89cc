// "dwmapi.dll" and its one entry, DwmEnableComposition.
#include "platform/dwmapi/dwmapi.h"

#include "platform/kernel32/kernel32.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<int32_t> g_state{-1};
std::atomic<int32_t> g_calls{0};

void* ModuleEntry(const char* name) {
    if (std::strcmp(name, "DwmEnableComposition") == 0) return reinterpret_cast<void*>(&DwmEnableComposition);
    return nullptr;
}

}  // namespace

HRESULT DwmEnableComposition(UINT compositionAction) {
    if (compositionAction != DWM_EC_DISABLECOMPOSITION && compositionAction != DWM_EC_ENABLECOMPOSITION) {
        return E_INVALIDARG;
    }
    g_state = static_cast<int32_t>(compositionAction);
    ++g_calls;
    return S_OK;
}

namespace dwmapi {

void RegisterModule(bool present) { platform::RegisterModule("dwmapi.dll", present ? ModuleEntry : nullptr); }

int32_t CompositionState() { return g_state; }
int32_t CompositionCallCount() { return g_calls; }

void ResetCompositionRecord() {
    g_state = -1;
    g_calls = 0;
}

}  // namespace dwmapi
