// The device made again after a lost device or a screen-mode change: a
// re-creation that fails at any step leaves the program drawing and
// presenting on the software screen and tells its caller, and input is
// restarted after a lost device only.
#include "device_test_util.h"

namespace device_test {
namespace {

using DeviceResetTest = DeviceTest;

// The two roads into a re-creation, each giving the caller's result.
enum class Trigger { kLostDevice, kModeChange };

int Recreate(Trigger trigger) {
    if (trigger == Trigger::kModeChange) return ChangeScreenMode(640, 480, 32, 60);
    d3d9::LoseDevice(nullptr, 0);  // the first present finds it ready to be reset
    return PresentScreen();
}

const char* TriggerName(Trigger trigger) {
    return trigger == Trigger::kLostDevice ? "lost device" : "mode change";
}

TEST_F(DeviceResetTest, AFailedRecreationPresentsOnTheSoftwareScreenAndSaysSo) {
    struct Case {
        const char* what;
        std::vector<const char*> failing;
    } cases[] = {
        {"runtime", {"LoadLibraryA"}},
        {"DirectDraw object", {"CoCreateInstance"}},
        {"DirectDraw initialisation", {"IDirectDraw7::Initialize"}},
        {"Direct3D object", {"Direct3DCreate9", "Direct3DCreate9Ex"}},
        {"device", {"IDirect3D9::CreateDevice", "IDirect3D9::CreateDeviceEx"}},
        {"back buffer", {"IDirect3DDevice9::GetBackBuffer"}},
        {"swap chain", {"IDirect3DDevice9::GetSwapChain"}},
        {"Z format", {"IDirect3D9::CheckDepthStencilMatch"}},
        {"texture formats", {"IDirect3D9::CheckDeviceFormat"}},
        {"Z buffer", {"IDirect3DDevice9::CreateDepthStencilSurface"}},
    };
    for (const Case& c : cases) {
        for (Trigger trigger : {Trigger::kLostDevice, Trigger::kModeChange}) {
            const std::string what = std::string(c.what) + " failing after a " + TriggerName(trigger);
            Start(ScreenMode{});
            ASSERT_EQ(Screen().d3dActive, 1) << what;
            for (const char* name : c.failing) seams::FailCall(name);
            EXPECT_EQ(Recreate(trigger), -1) << what;
            seams::ClearAllCalls();
            EXPECT_EQ(Screen().d3dActive, 0) << what;
            EXPECT_EQ(Device().device, nullptr) << what;
            // The next frame is drawn and presented on the software screen.
            ASSERT_EQ(FillRectangle(0, 0, 8, 8, MakeColor(0, 255, 0)), 0) << what;
            EXPECT_EQ(graphics_test::ScreenPixel(2, 2), 0x00FF00u) << what;
            ASSERT_EQ(PresentScreen(), 0) << what;
            const Picture window = graphics_test::WindowPicture();
            ASSERT_GE(window.width, 8) << what;
            EXPECT_EQ(window.At(2, 2) & 0xFFFFFF, 0x00FF00u) << what;
        }
    }
}

// Input's end and start as the re-creation calls them, each noted with
// whether it came between the old device's end and the new one's start.
std::vector<std::string> g_inputCalls;

void NoteInputCall(const char* name) {
    const bool between = Device().device == nullptr && Device().runtime == nullptr;
    g_inputCalls.push_back(std::string(name) + (between ? "" : " outside the re-creation"));
}

// Whether the device block's objects and an image's texture all belong to
// the device in the block.
bool OneDevice(int32_t image) {
    const DeviceBlock& d = Device();
    bool same = d.device != nullptr;
    const auto owned = [&](auto* object) {
        IDirect3DDevice9* owner = nullptr;
        if (object != nullptr) object->GetDevice(&owner);
        same = same && owner == d.device;
        if (owner != nullptr) owner->Release();
    };
    owned(d.swapChain);
    owned(d.backBuffer);
    owned(d.zSurface);
    owned(ImageFirstTexture(image));
    return same;
}

TEST_F(DeviceResetTest, InputRestartsAfterALostDeviceOnly) {
    struct Case {
        const char* what;
        Trigger trigger;
        int32_t queuedWindowMode;  // a window-mode change waiting in the pump, -1 none
        std::vector<std::string> calls;
    } cases[] = {
        {"lost device", Trigger::kLostDevice, -1, {"terminate", "initialize"}},
        {"mode change", Trigger::kModeChange, -1, {}},
        {"lost device, full screen asked for", Trigger::kLostDevice, 0, {"terminate", "initialize"}},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{640, 480, 32, 0, 1});
        const int32_t image = graphics_test::LoadPicture("reset.png", Picture(4, 4, 0xFF00FF00u));
        ASSERT_GE(image, 0) << c.what;
        LibraryHooks& hooks = GetLibraryHooks();
        hooks.terminateInput = [] { return NoteInputCall("terminate"), int32_t{0}; };
        // Input's start pumps the window's messages.
        hooks.initializeInput = [] { return NoteInputCall("initialize"), PumpMessagesUnlocked(); };
        if (c.queuedWindowMode != -1) ChangeWindowMode(c.queuedWindowMode);
        g_inputCalls.clear();
        EXPECT_EQ(Recreate(c.trigger), 0) << c.what;
        EXPECT_EQ(Screen().d3dActive, 1) << c.what;
        EXPECT_EQ(g_inputCalls, c.calls) << c.what;
        EXPECT_TRUE(OneDevice(image)) << c.what;
        if (c.queuedWindowMode == -1) continue;
        EXPECT_NE(IsWindowMode(), c.queuedWindowMode) << c.what << ": not inside the reset";
        ASSERT_EQ(PumpMessages(), 0) << c.what;
        EXPECT_EQ(IsWindowMode(), c.queuedWindowMode) << c.what << ": carried out after the reset";
        EXPECT_EQ(Screen().d3dActive, 1) << c.what;
        EXPECT_TRUE(OneDevice(image)) << c.what;
    }
}

}  // namespace
}  // namespace device_test
