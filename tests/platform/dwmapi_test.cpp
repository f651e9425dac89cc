// "dwmapi.dll": loadable once registered, its one entry, and missing when a
// test takes it away.
#include "platform/dwmapi/dwmapi.h"
#include "platform/kernel32/kernel32.h"

#include <gtest/gtest.h>

namespace {

TEST(Dwmapi, TheModuleOffersDwmEnableCompositionWhilePresent) {
    struct Case {
        const char* what;
        bool present;
        const char* entry;
        bool found;
    } cases[] = {
        {"present", true, "DwmEnableComposition", true},
        {"present, unknown entry", true, "DwmFlush", false},
        {"missing", false, "DwmEnableComposition", false},
    };
    for (const Case& c : cases) {
        dwmapi::RegisterModule(c.present);
        HMODULE module = LoadLibraryA("DWMAPI.DLL");
        EXPECT_EQ(module != nullptr, c.present) << c.what;
        if (module == nullptr) continue;
        void* entry = GetProcAddress(module, c.entry);
        EXPECT_EQ(entry != nullptr, c.found) << c.what;
        if (entry != nullptr) {
            EXPECT_EQ(entry, reinterpret_cast<void*>(&DwmEnableComposition)) << c.what;
        }
        EXPECT_EQ(FreeLibrary(module), TRUE) << c.what;
    }
    dwmapi::RegisterModule(true);
}

TEST(Dwmapi, TheStateAskedForIsRecorded) {
    dwmapi::ResetCompositionRecord();
    struct Case {
        const char* what;
        UINT action;
        HRESULT result;
        int32_t state;
        int32_t calls;
    } cases[] = {
        {"off", DWM_EC_DISABLECOMPOSITION, S_OK, 0, 1},
        {"on", DWM_EC_ENABLECOMPOSITION, S_OK, 1, 2},
        {"an unknown action is refused and changes nothing", 2, E_INVALIDARG, 1, 2},
        {"on again still counts", DWM_EC_ENABLECOMPOSITION, S_OK, 1, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DwmEnableComposition(c.action), c.result) << c.what;
        EXPECT_EQ(dwmapi::CompositionState(), c.state) << c.what;
        EXPECT_EQ(dwmapi::CompositionCallCount(), c.calls) << c.what;
    }
    dwmapi::ResetCompositionRecord();
    EXPECT_EQ(dwmapi::CompositionState(), -1);
    EXPECT_EQ(dwmapi::CompositionCallCount(), 0);
}

}  // namespace
