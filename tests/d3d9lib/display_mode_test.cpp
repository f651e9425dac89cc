// The full-screen display mode: its change and the retry at any rate, the
// 320x240 screen on a 640x480 display, the display-mode list, and where the
// device start-up changes the mode and its end gives the desktop its mode back.
#include "device_test_util.h"
#include "graphics/display_mode.h"
#include "platform/kernel32/kernel32.h"

namespace device_test {
namespace {

using platform::DisplayChangeCall;

std::vector<DisplayChangeCall> ModeChanges() {
    std::vector<DisplayChangeCall> found;
    for (const DisplayChangeCall& call : platform::DisplayChangeCalls())
        if (!call.restore) found.push_back(call);
    return found;
}

size_t Restores() {
    size_t n = 0;
    for (const DisplayChangeCall& call : platform::DisplayChangeCalls()) n += call.restore ? 1 : 0;
    return n;
}

// The library started in a window with the device; every test leaves the
// desktop's mode behind.
class DisplayModeTest : public DeviceTest {
protected:
    void TearDown() override {
        ChangeDisplaySettingsA(nullptr, 0);
        platform::ClearDisplayChangeCalls();
        DeviceTest::TearDown();
    }
};

TEST_F(DisplayModeTest, ChangeDisplayModeRetriesAtAnyRateAndRefusesOtherDepths) {
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    struct Case {
        const char* what;
        int32_t width, height, bits, rate;
        int refusals;  // ChangeDisplaySettingsA calls the seam refuses
        int result;
        size_t calls;
        int shownWidth;  // the display afterwards (0: the desktop's)
        int32_t emulation;
    } cases[] = {
        {"an offered rate changes at once", 640, 480, 32, 60, 0, 0, 1, 640, 0},
        {"a rate the display lacks is dropped", 800, 600, 16, 75, 0, 0, 2, 800, 0},
        {"a refused change is tried again at any rate", 640, 480, 32, 60, 1, 0, 2, 640, 0},
        {"both tries refused", 640, 480, 32, 60, 2, -1, 2, 0, 0},
        {"a size the display lacks", 333, 222, 32, 60, 0, -1, 2, 0, 0},
        {"320x240 runs on 640x480 with the emulation", 320, 240, 32, 60, 0, 0, 1, 640, 1},
        {"8-bit depth is refused untried", 640, 480, 8, 60, 0, -1, 0, 0, 0},
        {"24-bit depth is refused untried", 640, 480, 24, 60, 0, -1, 0, 0, 0},
    };
    ScreenState& s = Screen();
    const ScreenState saved = s;
    for (const Case& c : cases) {
        s.width = c.width, s.height = c.height, s.colorDepth = c.bits, s.refreshRate = c.rate;
        g_drawState.emulate320x240 = 0;
        platform::ClearDisplayChangeCalls();
        if (c.refusals > 0) seams::FailCall("ChangeDisplaySettingsA", c.refusals, DISP_CHANGE_FAILED);
        EXPECT_EQ(ChangeDisplayMode(), c.result) << c.what;
        const std::vector<DisplayChangeCall> calls = ModeChanges();
        ASSERT_EQ(calls.size(), c.calls) << c.what;
        if (!calls.empty()) {
            EXPECT_EQ(calls[0].width, c.width == 320 ? 640 : c.width) << c.what;
            EXPECT_EQ(calls[0].bits, c.bits) << c.what;
            EXPECT_NE(calls[0].fields & DM_DISPLAYFREQUENCY, 0u) << c.what << ": first with the rate";
            EXPECT_EQ(calls[0].refresh, c.rate) << c.what;
            EXPECT_EQ(calls.back().fields & DM_DISPLAYFREQUENCY, calls.size() == 2 ? 0u : DM_DISPLAYFREQUENCY)
                << c.what << ": the retry leaves the rate out";
        }
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.shownWidth != 0 ? c.shownWidth : desktopWidth) << c.what;
        EXPECT_EQ(g_drawState.emulate320x240, c.emulation) << c.what;
        if (c.result != 0) {
            EXPECT_NE(NewLog().size(), 0u) << c.what << ": a refusal is logged";
        }
        seams::ClearAllCalls();
        ChangeDisplaySettingsA(nullptr, 0);
        MarkLog();
    }
    s = saved;
    g_drawState.emulate320x240 = 0;
}

TEST_F(DisplayModeTest, TheModeListIsBuiltOnceAndAgainAfterTheEnd) {
    Start(ScreenMode{}, [] { ASSERT_EQ(SetHardwareAllowed(0), 0); });
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    DWORD listed = 0;
    while (EnumDisplaySettingsA(nullptr, listed, &mode)) ++listed;
    ASSERT_GT(listed, 0u);

    ASSERT_EQ(DisplayModes().modes, nullptr) << "not built before its first use";
    ASSERT_EQ(GetDisplayModeCount(), static_cast<int32_t>(listed));
    const DisplayModeRecord* built = DisplayModes().modes;
    ASSERT_NE(built, nullptr);
    for (DWORD i = 0; i < listed; ++i) {
        ASSERT_TRUE(EnumDisplaySettingsA(nullptr, i, &mode));
        EXPECT_EQ(built[i].width, static_cast<int32_t>(mode.dmPelsWidth)) << "mode " << i;
        EXPECT_EQ(built[i].height, static_cast<int32_t>(mode.dmPelsHeight)) << "mode " << i;
        EXPECT_EQ(built[i].colorBits, static_cast<int32_t>(mode.dmBitsPerPel)) << "mode " << i;
        EXPECT_EQ(built[i].refreshRate, static_cast<int32_t>(mode.dmDisplayFrequency)) << "mode " << i;
    }
    // Built once: the next use needs no memory.
    seams::FailCall("HeapAlloc");
    EXPECT_EQ(GetDisplayModeCount(), static_cast<int32_t>(listed));
    EXPECT_EQ(DisplayModes().modes, built);

    // The end frees it; the next use builds it again (and says so when the
    // memory cannot be had).
    EXPECT_EQ(TerminateDirect3D9(), 0);
    EXPECT_EQ(DisplayModes().modes, nullptr);
    EXPECT_EQ(DisplayModes().count, 0);
    MarkLog();
    EXPECT_EQ(GetDisplayModeCount(), -1);
    EXPECT_NE(NewLog().find("ディスプレイモードリスト用のメモリの確保に失敗しました"), std::string::npos);
    seams::ClearAllCalls();
    EXPECT_EQ(GetDisplayModeCount(), static_cast<int32_t>(listed));
    EXPECT_NE(DisplayModes().modes, nullptr);
    EndLibrary();
    EXPECT_EQ(DisplayModes().modes, nullptr) << "the graphics end frees it";
}

// Where the start-up changes the display mode and where its end gives it back.
TEST_F(DisplayModeTest, TheStartChangesTheModeWhereAFullScreenNeedsItAndTheEndGivesItBack) {
    struct Case {
        const char* what;
        ScreenMode mode;
        bool failDevice;
        int32_t active;
        BOOL windowed;
        size_t changes;       // ChangeDisplaySettingsA calls with a mode during the start
        size_t restores;      // calls with none during the end
        int shownWidth;       // the display while the program runs (0: the desktop's)
    } cases[] = {
        {"window", ScreenMode{320, 240, 32, 0, 1}, false, 1, TRUE, 0, 0, 0},
        {"window over a full screen (emulation)", ScreenMode{640, 480, 32, 1, 0}, false, 1, TRUE, 1, 1, 640},
        {"window over a full screen (320x240)", ScreenMode{320, 240, 32, 0, 0}, false, 1, TRUE, 1, 1, 640},
        // The exclusive device changes the mode and gives it back itself: one
        // change and one restore, none of them the start-up's.
        {"exclusive full screen", ScreenMode{640, 480, 32, 0, 0}, false, 1, FALSE, 1, 1, 640},
        {"software path in full screen", ScreenMode{640, 480, 32, 0, 0}, true, 0, FALSE, 1, 1, 640},
        {"software path in a window", ScreenMode{320, 240, 32, 0, 1}, true, 0, FALSE, 0, 0, 0},
    };
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    for (const Case& c : cases) {
        Start(c.mode, [&] {
            platform::ClearDisplayChangeCalls();
            if (c.failDevice) {
                seams::FailCall("IDirect3D9::CreateDevice");
                seams::FailCall("IDirect3D9::CreateDeviceEx");
            }
        });
        ASSERT_EQ(Screen().d3dActive, c.active) << c.what;
        EXPECT_EQ(ModeChanges().size(), c.changes) << c.what;
        EXPECT_EQ(Restores(), 0u) << c.what;
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.shownWidth != 0 ? c.shownWidth : desktopWidth) << c.what;
        if (c.active) {
            D3DPRESENT_PARAMETERS pp{};
            ASSERT_EQ(Device().swapChain->GetPresentParameters(&pp), D3D_OK) << c.what;
            EXPECT_EQ(pp.Windowed, c.windowed) << c.what;
        }
        platform::ClearDisplayChangeCalls();
        EndLibrary();
        EXPECT_EQ(Restores(), c.restores) << c.what;
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth) << c.what << ": the desktop is back";
    }
    Start(ScreenMode{});
}

// A display mode the windowed-over-full-screen road is refused leaves the
// program on the software path, without asking for the same mode again; a
// refusal on the plain software path fails the start.
TEST_F(DisplayModeTest, ARefusedModeFallsBackOnceAndFailsOnlyThePlainSoftwarePath) {
    Start(ScreenMode{640, 480, 32, 1, 0}, [] {
        platform::ClearDisplayChangeCalls();
        seams::FailCall("ChangeDisplaySettingsA", -1, DISP_CHANGE_FAILED);
    });
    EXPECT_EQ(Screen().d3dActive, 0);
    EXPECT_EQ(Device().d3d, nullptr) << "no device object was made";
    EXPECT_NE(Device().directDraw, nullptr);
    EXPECT_EQ(ModeChanges().size(), 2u) << "one change with its retry, not a second change";
    const std::string log = graphics_test::LogText();
    EXPECT_NE(log.find("に変更できませんでした"), std::string::npos);
    EXPECT_NE(log.find("ソフトウエアレンダリングを使用します"), std::string::npos);
    EndLibrary();

    seams::ClearAllCalls();
    ResetGraphicsConfiguration();
    ResetLibraryConfiguration();
    InstallHooks();
    ChangeWindowMode(0);
    ASSERT_EQ(SetScreenMode(640, 480, 32, 60), 0);
    ASSERT_EQ(SetHardwareAllowed(0), 0);
    seams::FailCall("ChangeDisplaySettingsA", -1, DISP_CHANGE_FAILED);
    EXPECT_EQ(InitLibrary(), -1) << "the software path cannot show its full screen";
    seams::ClearAllCalls();
    Start(ScreenMode{});
}

}  // namespace
}  // namespace device_test
