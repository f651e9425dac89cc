// The main window's paint shows the screen again: a full-screen device first
// moves its drawing to the sub back buffer; a windowed device and the
// software path present as they are, and drawing goes on as before.
#include "device_test_util.h"

namespace device_test {
namespace {

using WindowPaintTest = DeviceTest;

// The window is invalid and paints at once.
void Paint() {
    ASSERT_TRUE(InvalidateRect(GetMainWindow(), nullptr, FALSE));
    ASSERT_TRUE(UpdateWindow(GetMainWindow()));
}

// The window's pixel at (x, y), 0x00RRGGBB.
uint32_t WindowPixel(int x, int y) {
    const Picture window = graphics_test::WindowPicture();
    if (x >= window.width || y >= window.height) return 0xDEADBEEF;
    return window.At(x, y) & 0xFFFFFF;
}

TEST_F(WindowPaintTest, ThePaintPresentsInEveryModeAndOnlyAFullScreenDeviceMakesTheSubBackBuffer) {
    struct Case {
        const char* what;
        int32_t window;
        int32_t hardware;
        bool subBackBuffer;
    } cases[] = {
        {"full-screen device", 0, 1, true},
        {"windowed device", 1, 1, false},
        {"software, window", 1, 0, false},
        {"software, full screen", 0, 0, false},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{640, 480, 32, 0, c.window}, [&] { ASSERT_EQ(SetHardwareAllowed(c.hardware), 0); });
        ASSERT_EQ(Screen().d3dActive, c.hardware) << c.what;
        ASSERT_EQ(FillRectangle(0, 0, 10, 10, MakeColor(255, 0, 0)), 0) << c.what;
        ASSERT_EQ(PresentScreen(), 0) << c.what;
        ASSERT_EQ(FillRectangle(20, 0, 30, 10, MakeColor(0, 0, 255)), 0) << c.what;
        d3d9::ClearRecordedCalls();
        Paint();
        EXPECT_EQ(WindowPixel(25, 5), 0x0000FFu) << c.what << ": the paint shows what was drawn since the present";
        EXPECT_EQ(Device().subBackBuffer != nullptr, c.subBackBuffer) << c.what;
        if (c.hardware) {
            EXPECT_EQ(CallsStarting("SwapChain::Present").size(), 1u) << c.what;
            EXPECT_EQ(CallsStarting("StretchRect(").size(), c.subBackBuffer ? 2u : 0u)
                << c.what << ": the back buffer into the sub back buffer and back";
        }
        ASSERT_EQ(FillRectangle(40, 0, 50, 10, MakeColor(0, 255, 0)), 0) << c.what;
        ASSERT_EQ(PresentScreen(), 0) << c.what;
        EXPECT_EQ(WindowPixel(45, 5), 0x00FF00u) << c.what << ": drawing after the paint is shown";
        EXPECT_EQ(WindowPixel(5, 5), 0xFF0000u) << c.what;
    }
}

// A full-screen device window with a menu: the pointer on the menu bar closes
// the open scene and switches the device's dialog-box mode on, once, off
// again when it leaves, and drawing goes on. A device made anew while the
// pointer stays on the bar is put into the mode at the pointer's next move.
TEST_F(WindowPaintTest, APointerOnTheMenuBarOfAFullScreenDeviceSwitchesTheDialogBoxMode) {
    struct Case {
        const char* what;
        bool madeAnew;  // the pointer on the bar while the device is lost and made again
    } cases[] = {
        {"onto the bar, along it and off", false},
        {"device lost, then reset, with the pointer held on the bar", true},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{640, 480, 32, 0, 0});
        HWND window = GetMainWindow();
        ASSERT_TRUE(SetMenu(window, CreateMenu()));
        ASSERT_EQ(PumpMessages(), 0) << c.what;  // the paint of the smaller client area
        const auto pointTo = [&](POINT p) {
            ClientToScreen(window, &p);
            ASSERT_TRUE(SetCursorPos(p.x, p.y)) << c.what;
        };
        pointTo(POINT{10, c.madeAnew ? -1 : 10});
        if (c.madeAnew) {
            d3d9::LoseDevice(nullptr, 0);
            ASSERT_EQ(PresentScreen(), 0) << c.what;
            ASSERT_NE(Device().device, nullptr) << c.what;
        }
        ASSERT_EQ(FillRectangle(0, 0, 10, 10, MakeColor(255, 0, 0)), 0) << c.what;  // opens a scene
        d3d9::ClearRecordedCalls();
        for (POINT p : {POINT{20, -1}, POINT{30, -1}, POINT{10, 10}}) pointTo(p);  // the bar twice, then the client
        EXPECT_EQ(d3d9::RecordedCalls(),
                  (std::vector<std::string>{"EndScene() = 0", "SetDialogBoxMode(1) = 0", "SetDialogBoxMode(0) = 0"}))
            << c.what;
        EXPECT_EQ(PresentScreen(), 0) << c.what;
    }
}

}  // namespace
}  // namespace device_test
