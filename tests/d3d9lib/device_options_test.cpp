// The device start-up's options: desktop composition (through "dwmapi.dll"
// when it is there), the FPU-preserve setting and the multisample check.
#include "core/library_state.h"
#include "device_test_util.h"
#include "platform/ddraw/ddraw.h"
#include "platform/dwmapi/dwmapi.h"

namespace device_test {
namespace {

const char kDwmLine[] = "Desktop Window Manager を無効にしました";

class DeviceOptionsTest : public DeviceTest {
protected:
    void TearDown() override {
        dwmapi::RegisterModule(true);
        dwmapi::ResetCompositionRecord();
        Device().multisampleType = 0;
        Device().multisampleQuality = 0;
        d3d9::OfferMultiSampleForTest(D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0);
        d3d9::OfferMultiSampleForTest(D3DFMT_D16, D3DMULTISAMPLE_NONE, 0);
        ChangeDisplaySettingsA(nullptr, 0);
        DeviceTest::TearDown();
    }
};

TEST_F(DeviceOptionsTest, CompositionIsSwitchedOnlyOnAChangeAndRememberedWithoutTheModule) {
    struct Case {
        const char* what;
        bool present;
        std::vector<int32_t> flags;
        int32_t calls;     // DwmEnableComposition calls the flags made
        int32_t dwmState;  // the state DwmEnableComposition last set (-1: none)
    } cases[] = {
        {"the same state twice calls once", true, {0, 0}, 1, 0},
        {"each change calls", true, {0, 1, 1, 0}, 3, 0},
        {"the state the window road set is not set again", true, {1}, 0, -1},
        {"without the module only the state is kept", false, {0, 1, 0}, 0, -1},
    };
    for (const Case& c : cases) {
        // A window's device start switches composition on.
        Start(ScreenMode{}, [&] { dwmapi::RegisterModule(c.present); });
        EXPECT_EQ(HasDesktopCompositionEntry(), c.present ? 1 : 0) << c.what;
        EXPECT_EQ(Window().compositionEntry != nullptr, c.present) << c.what;
        EXPECT_EQ(Window().compositionState, 1) << c.what;
        dwmapi::ResetCompositionRecord();
        for (int32_t flag : c.flags) {
            EXPECT_EQ(SetDesktopComposition(flag), 0) << c.what;
            EXPECT_EQ(Window().compositionState, flag) << c.what << ": remembered";
        }
        EXPECT_EQ(dwmapi::CompositionCallCount(), c.calls) << c.what;
        EXPECT_EQ(dwmapi::CompositionState(), c.dwmState) << c.what;
        dwmapi::RegisterModule(true);
    }
}

TEST_F(DeviceOptionsTest, OnlyTheExclusiveRoadWithTheModuleLogsTheDwmLine) {
    struct Case {
        const char* what;
        ScreenMode mode;
        bool present;
        bool line;
        int32_t dwmState;
        int32_t compositionOff;  // the switch: off also for a window and at DirectDraw's creation
    } cases[] = {
        {"exclusive full screen", ScreenMode{640, 480, 32, 0, 0}, true, true, 0, 0},
        {"exclusive full screen without dwmapi", ScreenMode{640, 480, 32, 0, 0}, false, false, -1, 0},
        {"window", ScreenMode{320, 240, 32, 0, 1}, true, false, 1, 0},
        {"window over a full screen", ScreenMode{640, 480, 32, 1, 0}, true, false, -1, 0},
        {"window, composition switched off", ScreenMode{320, 240, 32, 0, 1}, true, false, 0, 1},
        {"window over a full screen, composition switched off", ScreenMode{640, 480, 32, 1, 0}, true, false, 0, 1},
    };
    for (const Case& c : cases) {
        Start(c.mode, [&] {
            dwmapi::RegisterModule(c.present);
            dwmapi::ResetCompositionRecord();
            Device().compositionOff = c.compositionOff;
        });
        ASSERT_EQ(Screen().d3dActive, 1) << c.what;
        EXPECT_EQ(graphics_test::LogText().find(kDwmLine) != std::string::npos, c.line) << c.what;
        EXPECT_EQ(dwmapi::CompositionState(), c.dwmState) << c.what;
        dwmapi::RegisterModule(true);
    }
}

TEST_F(DeviceOptionsTest, TheFpuPreserveSettingAndTheDeviceSwitchesReachTheCreation) {
    const DWORD kSwitchFlags = D3DCREATE_MULTITHREADED | D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    struct Case {
        const char* what;
        int32_t setting;
        bool extended;
        bool preserve;
        int32_t DeviceBlock::*deviceSwitch;  // a switch of the device block set to 1, or none
        DWORD switchFlags;                   // what it puts in the creation flags
    } cases[] = {
        {"off", 0, true, false, nullptr, 0},
        {"on", 1, true, true, nullptr, 0},
        {"on, plain device", 1, false, true, nullptr, 0},
        {"any non-zero value", -3, true, true, nullptr, 0},
        {"multithreaded device", 0, true, false, &DeviceBlock::multithreaded, D3DCREATE_MULTITHREADED},
        {"software vertex processing at once", 0, true, false, &DeviceBlock::softwareVertexOnly,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{}, [&] {
            ASSERT_EQ(SetFpuPreserveFlag(c.setting), 0);
            if (!c.extended) seams::FailCall("Direct3DCreate9Ex");
            if (c.deviceSwitch != nullptr) Device().*c.deviceSwitch = 1;
            d3d9::ClearRecordedCalls();
        });
        ASSERT_EQ(Screen().d3dActive, 1) << c.what;
        EXPECT_EQ((ddraw::LastCooperativeLevelFlags() & DDSCL_FPUPRESERVE) != 0, c.preserve) << c.what;
        EXPECT_NE(ddraw::LastCooperativeLevelFlags() & DDSCL_NORMAL, 0u) << c.what;
        const std::vector<std::string> created = CallsStarting(c.extended ? "CreateDeviceEx(" : "CreateDevice(");
        ASSERT_EQ(created.size(), 1u) << c.what;
        // "CreateDevice(adapter, type, flags) = result"
        const size_t open = created[0].rfind(", ") + 2;
        const DWORD flags = static_cast<DWORD>(std::stoul(created[0].substr(open)));
        EXPECT_EQ((flags & D3DCREATE_FPU_PRESERVE) != 0, c.preserve) << c.what << ": " << created[0];
        EXPECT_EQ(flags & kSwitchFlags, c.switchFlags) << c.what << ": " << created[0];
        if (c.deviceSwitch != nullptr) Device().*c.deviceSwitch = 0;
    }
}

// The adapter draws without multisampling; a test makes the checks offer some
// so that the request is lowered step by step (the device is then refused and
// the program runs on the software path).
TEST_F(DeviceOptionsTest, AMultisampleRequestIsLoweredToWhatTheAdapterOffers) {
    const int kFormat = D3DFMT_X8R8G8B8, kDepth = D3DFMT_D16;
    struct Case {
        const char* what;
        int32_t type;
        uint32_t quality;
        D3DMULTISAMPLE_TYPE colorOffer;
        DWORD colorLevels;
        D3DMULTISAMPLE_TYPE depthOffer;
        DWORD depthLevels;
        int32_t finalType;
        uint32_t finalQuality;
        std::vector<std::string> checks;  // format and type of each check, in order
    } cases[] = {
        {"nothing offered", 3, 2, D3DMULTISAMPLE_NONE, 0, D3DMULTISAMPLE_NONE, 0, 0, 0,
         {"22 3", "22 2", "22 1"}},
        {"the colour check lowers, the depth check agrees", 4, 5, D3DMULTISAMPLE_2_SAMPLES, 3,
         D3DMULTISAMPLE_4_SAMPLES, 2, 2, 1, {"22 4", "22 3", "22 2", "80 2"}},
        {"the depth check lowers further", 4, 0, D3DMULTISAMPLE_4_SAMPLES, 4, D3DMULTISAMPLE_2_SAMPLES, 8, 2, 0,
         {"22 4", "80 4", "80 3", "80 2"}},
        {"no depth type: none at all", 2, 1, D3DMULTISAMPLE_2_SAMPLES, 4, D3DMULTISAMPLE_NONE, 0, 0, 0,
         {"22 2", "80 2", "80 1"}},
        {"a quality within the levels stays", 2, 1, D3DMULTISAMPLE_2_SAMPLES, 4, D3DMULTISAMPLE_2_SAMPLES, 3, 2, 1,
         {"22 2", "80 2"}},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{}, [&] {
            Device().multisampleType = c.type;
            Device().multisampleQuality = c.quality;
            d3d9::OfferMultiSampleForTest(D3DFMT_X8R8G8B8, c.colorOffer, c.colorLevels);
            d3d9::OfferMultiSampleForTest(D3DFMT_D16, c.depthOffer, c.depthLevels);
            d3d9::ClearRecordedCalls();
        });
        EXPECT_EQ(Device().multisampleType, c.finalType) << c.what;
        EXPECT_EQ(Device().multisampleQuality, c.finalQuality) << c.what;
        std::vector<std::string> checks;
        for (const std::string& call : CallsStarting("CheckDeviceMultiSampleType(")) {
            int format = 0, windowed = 0, type = 0;
            ASSERT_EQ(std::sscanf(call.c_str(), "CheckDeviceMultiSampleType(%d, %d, %d)", &format, &windowed, &type), 3);
            EXPECT_EQ(windowed, 1) << c.what << ": a window's device";
            EXPECT_TRUE(format == kFormat || format == kDepth) << c.what;
            checks.push_back(std::to_string(format) + " " + std::to_string(type));
        }
        EXPECT_EQ(checks, c.checks) << c.what;
        Device().multisampleType = 0;
        Device().multisampleQuality = 0;
    }
    d3d9::OfferMultiSampleForTest(D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0);
    d3d9::OfferMultiSampleForTest(D3DFMT_D16, D3DMULTISAMPLE_NONE, 0);
    Start(ScreenMode{}, [] { d3d9::ClearRecordedCalls(); });
    EXPECT_TRUE(CallsStarting("CheckDeviceMultiSampleType(").empty()) << "no request, no check";
}

}  // namespace
}  // namespace device_test
