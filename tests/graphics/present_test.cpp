// Graphics start and end, present through the window (plain and doubled),
// the vertical-blank stand-in, the front buffer, screen-mode changes and the
// frame capture.
#include "graphics_test_util.h"
#include "platform/sdl/sdl_video.h"

#include "image/image_decode.h"
#include "platform/ddraw/ddraw.h"

#include <sys/stat.h>

#include <cstdio>

namespace graphics_test {
namespace {

class PresentTest : public GraphicsTest {
protected:
    // Every pixel of the screen a colour of its own (32-bit screens).
    static void PaintCoordinates() {
        const MEMIMG& screen = Targets().screen;
        for (int y = 0; y < screen.height; ++y)
            for (int x = 0; x < screen.width; ++x) {
                uint32_t v = uint32_t(x & 0xFF) << 16 | uint32_t(y & 0xFF) << 8 | uint32_t((x >> 8) * 16 + (y >> 8));
                std::memcpy(GetMemImgPixelAddress(&screen, x, y), &v, 4);
            }
    }

    // The width of the back buffer the library draws on.
    static int32_t BackBufferWidth() {
        int32_t w = 0;
        GetImageSize(kDrawTargetBack, &w, nullptr);
        return w;
    }
};

bool FileExists(const std::string& path) {
    struct stat s{};
    return stat(path.c_str(), &s) == 0;
}

TEST_F(PresentTest, PresentWaitsForTheBlankAndShowsTheScreen) {
    SetBackgroundColor(0, 0, 80);
    ClearDrawTarget(nullptr);
    DrawRectangle(10, 20, 30, 40, MakeColor(255, 128, 0), 1);
    uint64_t waits = ddraw::VerticalBlankWaitCount();
    ASSERT_EQ(PresentScreen(), 0);
    EXPECT_EQ(ddraw::VerticalBlankWaitCount(), waits + 1);
    EXPECT_EQ(GetPresentCount(), 1);
    Picture p = WindowPicture();
    ASSERT_EQ(p.width, 320);
    ASSERT_EQ(p.height, 240);
    EXPECT_EQ(p.At(10, 20) & 0xFFFFFF, 0xFF8000u);
    EXPECT_EQ(p.At(29, 39) & 0xFFFFFF, 0xFF8000u);
    EXPECT_EQ(p.At(30, 40) & 0xFFFFFF, 0x000050u);

    // With the wait switched off present does not wait.
    SetWaitVSyncFlag(0);
    ASSERT_EQ(PresentScreen(), 0);
    EXPECT_EQ(ddraw::VerticalBlankWaitCount(), waits + 1);
    EXPECT_EQ(GetPresentCount(), 2);
    SetWaitVSyncFlag(1);

    EndLibrary();
    EXPECT_EQ(PresentScreen(), -1);
}

TEST_F(PresentTest, TheEmulationShowsEachLogicalPixelAsTwoByTwo) {
    Start(ScreenMode{640, 480, 32, 1});
    int32_t w = 0, h = 0;
    ASSERT_EQ(GetImageSize(kDrawTargetBack, &w, &h), 0);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 240);
    RECT region{};
    GetDrawRegion(&region);
    EXPECT_EQ(region.right, 320);
    EXPECT_EQ(region.bottom, 240);
    PaintCoordinates();
    ASSERT_EQ(PresentScreen(), 0);
    Picture p = WindowPicture();
    ASSERT_EQ(p.width, 640);
    ASSERT_EQ(p.height, 480);
    int wrong = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if ((p.At(x, y) & 0xFFFFFF) != ScreenPixel(x / 2, y / 2)) ++wrong;
    EXPECT_EQ(wrong, 0);
}

TEST_F(PresentTest, WithoutTheEmulationA640By480ScreenIsShownAsItIs) {
    Start(ScreenMode{640, 480, 32, 0});
    EXPECT_EQ(BackBufferWidth(), 640);
    PaintCoordinates();
    ASSERT_EQ(PresentScreen(), 0);
    Picture p = WindowPicture();
    ASSERT_EQ(p.width, 640);
    EXPECT_EQ(p.At(639, 479) & 0xFFFFFF, ScreenPixel(639, 479));
    EXPECT_EQ(p.At(301, 7) & 0xFFFFFF, ScreenPixel(301, 7));
}

TEST_F(PresentTest, ASixteenBitScreenIsShownInItsColours) {
    Start(ScreenMode{320, 240, 16, 0});
    ClearDrawTarget(nullptr);
    DrawRectangle(0, 0, 2, 2, MakeColor(255, 0, 255), 1);
    DrawRectangle(2, 0, 4, 2, MakeColor(0, 255, 0), 1);
    ASSERT_EQ(PresentScreen(), 0);
    Picture p = WindowPicture();
    EXPECT_EQ(p.At(0, 0) & 0xFFFFFF, 0xFF00FFu);
    EXPECT_EQ(p.At(3, 1) & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(p.At(4, 1) & 0xFFFFFF, 0x000000u);
}

TEST_F(PresentTest, AFullScreen320By240RunsAs640By480Doubled) {
    const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
    Start(ScreenMode{320, 240, 32, 0, 0});
    ASSERT_EQ(IsWindowMode(), 0);
    EXPECT_EQ(Screen().substitute320x240, 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640) << "the graphics start shows it on a 640x480 display";
    EXPECT_EQ(BackBufferWidth(), 320);
    PaintCoordinates();
    ASSERT_EQ(PresentScreen(), 0);
    Picture p = WindowPicture();
    ASSERT_EQ(p.width, 640);
    EXPECT_EQ(p.At(301, 203) & 0xFFFFFF, ScreenPixel(150, 101));

    // Back to a window: the pump switches, graphics follows with a plain
    // 320x240 screen and keeps the images.
    int32_t image = CreateBlankImage(3, 3);
    ASSERT_EQ(ChangeWindowMode(1), 0);
    ASSERT_EQ(PumpMessages(), 0);
    ASSERT_EQ(IsWindowMode(), 1);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth) << "the desktop has its mode back";
    EXPECT_EQ(Screen().substitute320x240, 0);
    EXPECT_EQ(Screen().doubled, 0);
    EXPECT_EQ(GetImageSize(image, nullptr, nullptr), 0);
    PaintCoordinates();
    ASSERT_EQ(PresentScreen(), 0);
    p = WindowPicture();
    ASSERT_EQ(p.width, 320);
    EXPECT_EQ(p.At(150, 101) & 0xFFFFFF, ScreenPixel(150, 101));

    // And full screen again: the display follows the window.
    ASSERT_EQ(ChangeWindowMode(0), 0);
    ASSERT_EQ(PumpMessages(), 0);
    ASSERT_EQ(IsWindowMode(), 0);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    platform::sdl::WindowPlacement placement;
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(platform::WindowBackendId(GetMainWindow()), &placement));
    EXPECT_TRUE(placement.fullScreen);
    EXPECT_EQ(Screen().doubled, 1);
    EndLibrary();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth) << "the end gives the desktop its mode back";
}

TEST_F(PresentTest, ScreenModeChangesWhileRunningKeepImagesAndRefuseBadModes) {
    int32_t image = CreateBlankImage(5, 5);
    FillImage(image, 9, 8, 7, 255);
    ASSERT_EQ(SetScreenMode(400, 300, 32, 75), 0);  // applies live
    int32_t w = 0, h = 0;
    GetImageSize(kDrawTargetBack, &w, &h);
    EXPECT_EQ(w, 400);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(GetDrawTarget(), kDrawTargetBack);
    EXPECT_EQ(ddraw::GetVerticalBlankRate(), 75);
    ASSERT_EQ(DrawImage(395, 295, image, 0), 0);
    ASSERT_EQ(PresentScreen(), 0);
    Picture p = WindowPicture();
    ASSERT_EQ(p.width, 400);
    ASSERT_EQ(p.height, 300);
    EXPECT_EQ(p.At(399, 299) & 0xFFFFFF, 0x090807u);

    MarkLog();
    EXPECT_EQ(ChangeScreenMode(0, 300, 32, 60), -1);
    EXPECT_EQ(ChangeScreenMode(400, 300, 24, 60), -1);
    EXPECT_EQ(SetScreenMode(-4, 10, 16, 60), -1);
    EXPECT_NE(NewLog().find("in ChangeScreenMode"), std::string::npos);
    EXPECT_EQ(BackBufferWidth(), 400);
}

TEST_F(PresentTest, StartUpLeavesTheFrontBufferWhoseTimerShowsTheScreen) {
    EndLibrary();
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(GetDrawTarget(), kDrawTargetFront);
    DrawRectangle(0, 0, 4, 4, MakeColor(0, 0, 255), 1);
    uint64_t shown = platform::WindowPresentCount(GetMainWindow());
    // The timer fires within 32 ms; allow a slow machine two seconds.
    for (int i = 0; i < 400 && platform::WindowPresentCount(GetMainWindow()) == shown; ++i) {
        ASSERT_EQ(PumpMessages(), 0);
        usleep(5000);
    }
    ASSERT_GT(platform::WindowPresentCount(GetMainWindow()), shown) << "the front buffer was not shown";
    EXPECT_EQ(GetPresentCount(), 0) << "the timer is not a present";
    EXPECT_EQ(WindowPicture().At(3, 3) & 0xFFFFFF, 0x0000FFu);
}

TEST_F(PresentTest, TheDirectDrawObjectIsRequiredAndPacesAtTheAskedRate) {
    EndLibrary();
    seams::FailCall("CoCreateInstance");
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_FALSE(IsLibraryRunning());
    EXPECT_NE(LogText().find("オブジェクトの取得に失敗しました"), std::string::npos);
    seams::ClearAllCalls();
    seams::FailCall("IDirectDraw7::Initialize");
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_NE(LogText().find("DirectDrawオブジェクトの初期化に失敗しました"), std::string::npos);
    seams::ClearAllCalls();
    ASSERT_EQ(InitLibrary(), 0);

    IDirectDraw7* dd = GetDirectDrawObject();
    ASSERT_NE(dd, nullptr);
    DWORD rate = 0;
    ASSERT_EQ(dd->GetMonitorFrequency(&rate), DD_OK);
    EXPECT_EQ(rate, 60u);
    EXPECT_EQ(dd->Initialize(nullptr), DDERR_ALREADYINITIALIZED);
    EXPECT_EQ(dd->WaitForVerticalBlank(DDWAITVB_BLOCKBEGINEVENT, nullptr), DDERR_UNSUPPORTED);
    EXPECT_EQ(dd->WaitForVerticalBlank(0x80, nullptr), DDERR_INVALIDPARAMS);
    DDCAPS caps{};
    EXPECT_EQ(dd->GetCaps(&caps, nullptr), DDERR_INVALIDPARAMS) << "dwSize unset";
    caps.dwSize = sizeof caps;
    caps.dwCaps = 0xFFFF;
    EXPECT_EQ(dd->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_EQ(caps.dwCaps, 0u);
    EXPECT_EQ(caps.dwAlignSizeDest, 0u);
    caps.dwAlignBoundarySrc = 9;
    EXPECT_EQ(ClearDirectDrawCaps(&caps), &caps);
    EXPECT_EQ(caps.dwAlignBoundarySrc, 0u);
    EXPECT_EQ(caps.dwSize, sizeof caps);
    // Without a device: no textures, but the format descriptors exist.
    EXPECT_EQ(CreateImageTextures(FindImage(CreateBlankImage(2, 2))->picture), -1);
    ASSERT_NE(GetDeviceColorFormat(22), nullptr);  // X8R8G8B8
    EXPECT_EQ(GetDeviceColorFormat(22)->redMask, 0x00FF0000u);
    EXPECT_EQ(GetDeviceColorFormat(19), nullptr);
    EXPECT_EQ(GetDeviceColorFormat(36), nullptr);

    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectDraw7, nullptr, CLSCTX_ALL, IID_IDirectDraw7, &object), S_OK);
    auto* fresh = static_cast<IDirectDraw7*>(object);
    EXPECT_EQ(fresh->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr), DDERR_NOTINITIALIZED);
    EXPECT_EQ(fresh->Release(), 0u);
}

TEST(VerticalBlank, BlanksFallOnTheGridStrictlyAfterNow) {
    const int64_t period = 16666;
    EXPECT_EQ(ddraw::NextVerticalBlank(0, 0, period), period);
    EXPECT_EQ(ddraw::NextVerticalBlank(1, 0, period), period);
    EXPECT_EQ(ddraw::NextVerticalBlank(period, 0, period), 2 * period) << "at a blank, the next one";
    EXPECT_EQ(ddraw::NextVerticalBlank(5 * period + 7, 1000, period), 1000 + 5 * period);
    EXPECT_EQ(ddraw::NextVerticalBlank(500, 1000, period), 1000) << "before the origin";
    EXPECT_EQ(ddraw::NextVerticalBlank(1000 - period, 1000, period), 1000);
    EXPECT_EQ(ddraw::NextVerticalBlank(123, 0, 0), 123);
    // A slow frame waits for the next blank, not for a whole period.
    EXPECT_EQ(ddraw::NextVerticalBlank(3 * period - 1, 0, period), 3 * period);

    ddraw::SetVerticalBlankRate(0);
    EXPECT_EQ(ddraw::GetVerticalBlankRate(), 60);
    ddraw::SetVerticalBlankRate(5000);
    EXPECT_EQ(ddraw::GetVerticalBlankRate(), 60);
    ddraw::SetVerticalBlankRate(75);
    EXPECT_EQ(ddraw::GetVerticalBlankRate(), 75);
    ddraw::SetVerticalBlankRate(60);
}

TEST_F(PresentTest, CapturesWriteTheShownPicture) {
    // The files of an earlier run (--gtest_repeat) must not answer for this one.
    for (const char* name : {"frame2.png", "frame2.png.tmp", "direct.png"}) std::remove(name);
    ClearDrawTarget(nullptr);
    DrawRectangle(1, 1, 3, 3, MakeColor(200, 100, 50), 1);
    ASSERT_EQ(SetFrameCapture(2, "frame2.png"), 0);
    ASSERT_EQ(PresentScreen(), 0);
    EXPECT_FALSE(FileExists("frame2.png"));
    DrawRectangle(5, 5, 6, 6, MakeColor(0, 255, 0), 1);
    ASSERT_EQ(PresentScreen(), 0);
    ASSERT_TRUE(FileExists("frame2.png"));
    EXPECT_FALSE(FileExists("frame2.png.tmp"));

    PixelImage decoded{};
    ASSERT_EQ(LoadPixelImage("frame2.png", nullptr, 0, &decoded), 0);
    EXPECT_EQ(decoded.width, 320);
    EXPECT_EQ(decoded.height, 240);
    int r = 0, g = 0, b = 0;
    GetPixelImagePixel(&decoded, 2, 2, &r, &g, &b, nullptr);
    EXPECT_EQ(r << 16 | g << 8 | b, 0xC86432);
    GetPixelImagePixel(&decoded, 5, 5, &r, &g, &b, nullptr);
    EXPECT_EQ(r << 16 | g << 8 | b, 0x00FF00);
    ReleasePixelImage(&decoded);

    ASSERT_EQ(SaveScreenToPng("direct.png"), 0);
    EXPECT_EQ(ReadBytes("direct.png"), ReadBytes("frame2.png"));

    MarkLog();
    EXPECT_EQ(SaveScreenToPng("no-such-dir/x.png"), -1);
    EXPECT_FALSE(FileExists("no-such-dir/x.png.tmp"));
    const uint32_t pixel = 0;
    EXPECT_EQ(WritePngFile("bad.png", &pixel, 0, 1, 0), -1);
    EXPECT_EQ(WritePngFile("bad.png", nullptr, 1, 1, 0), -1);
    EXPECT_EQ(WritePngFile(nullptr, &pixel, 1, 1, 0), -1);
    EXPECT_FALSE(FileExists("bad.png"));
    EXPECT_NE(NewLog().find("in WritePngFile"), std::string::npos);
}

TEST_F(PresentTest, TheEnvironmentAsksForACaptureAtStart) {
    std::remove("env-capture.png");
    EndLibrary();
    setenv("VELUMI_CAPTURE_FRAME", "1", 1);
    setenv("VELUMI_CAPTURE_FILE", "env-capture.png", 1);
    ASSERT_EQ(InitLibrary(), 0);
    unsetenv("VELUMI_CAPTURE_FRAME");
    unsetenv("VELUMI_CAPTURE_FILE");
    ASSERT_EQ(PresentScreen(), 0);
    EXPECT_TRUE(FileExists("env-capture.png"));

    EndLibrary();
    setenv("VELUMI_CAPTURE_FRAME", "soon", 1);
    ASSERT_EQ(InitLibrary(), 0);
    unsetenv("VELUMI_CAPTURE_FRAME");
    EXPECT_NE(LogText().find("VELUMI_CAPTURE_FRAME"), std::string::npos);
    EXPECT_EQ(Settings().captureFrame, 0);
}

}  // namespace
}  // namespace graphics_test
