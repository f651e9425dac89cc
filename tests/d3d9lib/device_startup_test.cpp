// Device start-up and shutdown, the three creation roads, the format probe,
// the lock trial, and every way back to the software path with its log line.
#include "device_test_util.h"

namespace device_test {
namespace {

using StartupTest = DeviceTest;

TEST_F(StartupTest, TheDeviceProbesItsFormatsAndLogsThem) {
    const DeviceBlock& d = Device();
    EXPECT_NE(d.device, nullptr);
    EXPECT_NE(d.backBuffer, nullptr);
    EXPECT_NE(d.zSurface, nullptr);
    // A 320 x 240 screen gets a 512 x 256 Z surface.
    EXPECT_EQ(d.zWidth, 512);
    EXPECT_EQ(d.zHeight, 256);
    EXPECT_EQ(d.zFormat, D3DFMT_D16);
    const std::string log = graphics_test::LogText();
    struct Case {
        const char* what;
        int index;
        D3DFORMAT format;
        const char* line;
    } cases[] = {
        {"16-bit colour", kFormat16, D3DFMT_R5G6B5, "16bit カラーフォーマットは D_D3DFMT_R5G6B5 です"},
        {"32-bit colour", kFormat32, D3DFMT_X8R8G8B8, "32bit カラーフォーマットは D_D3DFMT_X8R8G8B8 です"},
        {"16-bit alpha takes A4R4G4B4", kFormatAlpha16, D3DFMT_A4R4G4B4,
         "アルファ付き 16bit カラーフォーマットは D_D3DFMT_A4R4G4B4 です"},
        {"16-bit cut-out takes A1R5G5B5", kFormatCutOut16, D3DFMT_A1R5G5B5,
         "アルファテスト用 16bit カラーフォーマットは D_D3DFMT_A1R5G5B5 です"},
        {"DXT1 falls back to the cut-out format", kFormatDxt1, D3DFMT_A1R5G5B5, "ＤＸＴ１テクスチャフォーマットは使えません"},
        {"render target at the screen depth", kFormatTargetScreen, D3DFMT_X8R8G8B8,
         "描画用 32bit カラーフォーマットは D_D3DFMT_X8R8G8B8 です"},
        {"cut-out at the screen depth", kFormatCutOutScreen, D3DFMT_A8R8G8B8,
         "アルファテスト用 32bit カラーフォーマットは D_D3DFMT_A8R8G8B8 です"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(d.textureFormats[c.index], c.format) << c.what;
        EXPECT_NE(log.find(c.line), std::string::npos) << c.what;
    }
    EXPECT_TRUE(log.find("バックバッファロックを使用します") != std::string::npos ||
                log.find("バックバッファロックを使用しません") != std::string::npos);
}

TEST_F(StartupTest, SceneBracketIssuesOneBeginAndOneEnd) {
    EndDeviceScene();
    d3d9::ClearRecordedCalls();
    BeginDeviceScene();
    BeginDeviceScene();
    EndDeviceScene();
    EndDeviceScene();
    EXPECT_EQ(CallsStarting("BeginScene").size(), 1u);
    EXPECT_EQ(CallsStarting("EndScene").size(), 1u);
}

TEST_F(StartupTest, TerminatingTwiceReleasesNothingTheSecondTime) {
    EndLibrary();
    EXPECT_EQ(Device().device, nullptr);
    EXPECT_EQ(Device().directDraw, nullptr);
    EXPECT_EQ(TerminateDirect3D9(), 0);
    EXPECT_EQ(Device().runtime, nullptr);
}

// The three roads: a window, a window over a changed full-screen mode, and
// exclusive full screen.
TEST_F(StartupTest, EachRoadGivesItsPresentParameters) {
    struct Case {
        const char* what;
        ScreenMode mode;
        BOOL windowed;
        UINT refresh;
    } cases[] = {
        {"window", ScreenMode{320, 240, 32, 0, 1}, TRUE, 0},
        {"window over a full screen (320x240 emulation)", ScreenMode{640, 480, 32, 1, 0}, TRUE, 0},
        {"exclusive full screen", ScreenMode{640, 480, 32, 0, 0}, FALSE, 60},
    };
    for (const Case& c : cases) {
        Start(c.mode);
        ASSERT_EQ(Screen().d3dActive, 1) << c.what;
        D3DPRESENT_PARAMETERS pp{};
        ASSERT_EQ(Device().swapChain->GetPresentParameters(&pp), D3D_OK) << c.what;
        EXPECT_EQ(pp.Windowed, c.windowed) << c.what;
        EXPECT_EQ(pp.FullScreen_RefreshRateInHz, c.refresh) << c.what;
        EXPECT_EQ(pp.BackBufferWidth, static_cast<UINT>(Screen().drawWidth)) << c.what;
        EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_COPY) << c.what;
        EXPECT_EQ(pp.Flags, static_cast<DWORD>(D3DPRESENTFLAG_LOCKABLE_BACKBUFFER)) << c.what;
    }
}

// Every failure that leaves the program on the software path, with the line
// it writes.
TEST_F(StartupTest, EveryFallbackReachesTheSoftwarePathWithItsLine) {
    struct Case {
        const char* what;
        std::vector<const char*> failing;
        const char* line;
    } cases[] = {
        {"device creation", {"IDirect3D9::CreateDevice", "IDirect3D9::CreateDeviceEx"}, "の作成に失敗しました"},
        {"Z buffer", {"IDirect3DDevice9::CreateDepthStencilSurface"}, "Ｚバッファの作成に失敗しました"},
        {"Z format", {"IDirect3D9::CheckDepthStencilMatch"}, "使用できる Zバッファフォーマットが見つかりませんでした"},
        {"texture formats", {"IDirect3D9::CheckDeviceFormat"}, "使用できる 16bit カラーフォーマットが見つかりませんでした"},
        {"runtime object", {"Direct3DCreate9", "Direct3DCreate9Ex"}, "IDirect3D9 オブジェクトの取得に失敗しました"},
        {"back buffer", {"IDirect3DDevice9::GetBackBuffer"}, "バックバッファの取得に失敗しました"},
        {"swap chain", {"IDirect3DDevice9::GetSwapChain"}, "スワップチェインの取得に失敗しました"},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{}, [&] {
            for (const char* name : c.failing) seams::FailCall(name);
        });
        EXPECT_EQ(Screen().d3dActive, 0) << c.what;
        EXPECT_EQ(Device().device, nullptr) << c.what;
        EXPECT_NE(Device().directDraw, nullptr) << c.what;
        const std::string log = graphics_test::LogText();
        EXPECT_NE(log.find(c.line), std::string::npos) << c.what;
        EXPECT_NE(log.find("ソフトウエアレンダリングを使用します"), std::string::npos) << c.what;
        // The software path draws.
        EXPECT_EQ(FillRectangle(0, 0, 4, 4, MakeColor(255, 0, 0)), 0) << c.what;
        EXPECT_EQ(graphics_test::ScreenPixel(1, 1), 0xFF0000u) << c.what;
        seams::ClearAllCalls();
    }
}

// With the adapter switch set, the adapter's own mode list and capabilities
// are asked (the stand-in has adapter 0 only, so the start ends in software).
TEST_F(StartupTest, TheChosenAdapterIsAskedForItsModesAndCapabilities) {
    Start(ScreenMode{640, 480, 16, 0, 0}, [] {
        Device().adapterSwitch = 1;
        Device().adapterIndex = 1;
        d3d9::ClearRecordedCalls();
    });
    Device().adapterSwitch = 0;
    Device().adapterIndex = 0;
    const char* asked[] = {"GetAdapterModeCount(", "GetDeviceCaps("};
    for (const char* call : asked) {
        const std::vector<std::string> calls = CallsStarting(call);
        EXPECT_FALSE(calls.empty()) << call;
        for (const std::string& made : calls) EXPECT_EQ(made.rfind(std::string(call) + "1,", 0), 0u) << made;
    }
    EXPECT_EQ(Screen().d3dActive, 0);
}

TEST_F(StartupTest, AWindowTakesTheDesktopDepthOnlyWithADevice) {
    const ScreenMode sixteen{320, 240, 16, 0, 1};
    Start(sixteen);
    EXPECT_EQ(GetScreenBitDepth(), 32) << "the device's back buffer has the desktop's format";
    Start(sixteen, [] {
        seams::FailCall("IDirect3D9::CreateDevice");
        seams::FailCall("IDirect3D9::CreateDeviceEx");
    });
    EXPECT_EQ(Screen().d3dActive, 0);
    EXPECT_EQ(GetScreenBitDepth(), 16) << "the software path keeps the depth asked for";
}

TEST_F(StartupTest, WithoutTheExtendedEntryThePlainObjectServes) {
    Start(ScreenMode{}, [] { seams::FailCall("Direct3DCreate9Ex"); });
    EXPECT_EQ(Screen().d3dActive, 1);
    EXPECT_EQ(Device().d3dEx, nullptr);
    const std::string log = graphics_test::LogText();
    const size_t ex = log.find("IDirect3D9Ex オブジェクトを取得します.... ");
    ASSERT_NE(ex, std::string::npos);
    EXPECT_NE(log.find("IDirect3D9 オブジェクトを取得します.... ", ex), std::string::npos);
    EXPECT_NE(log.find("IDirect3DDevice9 オブジェクトを取得します.... "), std::string::npos);
}

TEST_F(StartupTest, SwitchedOffOrForbiddenHardwareRunsInSoftware) {
    struct Case {
        const char* what;
        bool allowed;
        const char* environment;
    } cases[] = {
        {"SetHardwareAllowed(0)", false, nullptr},
        {"VELUMI_NO_HARDWARE=1", true, "1"},
    };
    for (const Case& c : cases) {
        Start(ScreenMode{}, [&] {
            if (c.environment != nullptr) setenv("VELUMI_NO_HARDWARE", c.environment, 1);
            d3d9::RecheckHardware();
            ASSERT_EQ(SetHardwareAllowed(c.allowed ? 1 : 0), 0);
        });
        EXPECT_EQ(IsHardwareAllowed(), c.allowed ? 1 : 0) << c.what;
        EXPECT_EQ(Screen().d3dActive, 0) << c.what;
        EXPECT_NE(Device().runtime, nullptr) << c.what << ": the runtime is still loaded";
        EXPECT_NE(graphics_test::LogText().find("ソフトウエアレンダリングを使用します"), std::string::npos) << c.what;
        EXPECT_EQ(SetHardwareAllowed(1), -1) << c.what << ": refused while the library runs";
        unsetenv("VELUMI_NO_HARDWARE");
        d3d9::RecheckHardware();
    }
}

TEST_F(StartupTest, AMissingRuntimeFailsTheGraphicsStart) {
    EndLibrary();
    d3d9::RegisterRuntime(false);
    EnableLogOutput(1);
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_NE(graphics_test::LogText().find("d3d9.dll の読み込みに失敗しました"), std::string::npos);
    d3d9::RegisterRuntime(true);
    Start(ScreenMode{});
}

TEST_F(StartupTest, ABackBufferThatCannotBeLockedKeepsTheTransferRoad) {
    Start(ScreenMode{}, [] { seams::FailCall("IDirect3DSurface9::LockRect"); });
    seams::ClearAllCalls();
    EXPECT_EQ(Screen().d3dActive, 1);
    EXPECT_EQ(Device().backBufferLock, 0);
    EXPECT_NE(graphics_test::LogText().find("バックバッファロックはロックできません"), std::string::npos);
}

}  // namespace
}  // namespace device_test
