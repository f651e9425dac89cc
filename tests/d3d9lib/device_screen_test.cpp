// The screen lock, the sub back buffer, the screen-to-image copy, and a lost
// device re-created with its images.
#include "device_test_util.h"

namespace device_test {
namespace {

using DeviceScreenTest = DeviceTest;

TEST_F(DeviceScreenTest, TheLockAcceptsOnlyRectanglesInsideTheTarget) {
    struct Case {
        const char* what;
        RECT rect;
        int result;
    } cases[] = {
        {"whole target", {0, 0, 320, 240}, 0},
        {"one pixel wider", {0, 0, 321, 240}, -1},
        {"one pixel taller", {0, 0, 320, 241}, -1},
        {"empty width", {5, 5, 5, 9}, -1},
        {"empty height", {5, 5, 9, 5}, -1},
        {"negative left", {-1, 0, 4, 4}, -1},
        {"negative top", {0, -1, 4, 4}, -1},
    };
    for (const Case& c : cases) {
        PixelImage out{};
        EXPECT_EQ(LockDrawScreenRect(c.rect, &out), c.result) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(out.width, c.rect.right - c.rect.left) << c.what;
            PixelImage second{};
            EXPECT_EQ(LockDrawScreenRect(c.rect, &second), -1) << c.what << ": one lock at a time";
        }
        EXPECT_EQ(UnlockDrawScreen(), 0) << c.what;
        EXPECT_EQ(Device().screenLock.locked, 0) << c.what;
    }
}

TEST_F(DeviceScreenTest, TheSoftwareLockPointsIntoTheScreen) {
    Start(ScreenMode{}, [] { ASSERT_EQ(SetHardwareAllowed(0), 0); });
    ASSERT_EQ(Screen().d3dActive, 0);
    PixelImage out{};
    ASSERT_EQ(LockDrawScreenRect(RECT{10, 20, 30, 40}, &out), 0);
    const MEMIMG& screen = Targets().screen;
    EXPECT_EQ(out.width, 20);
    EXPECT_EQ(out.height, 20);
    EXPECT_EQ(out.pitch, screen.base->pitch);
    EXPECT_EQ(out.pixels, screen.pixels + 20 * screen.base->pitch + 40);
    EXPECT_EQ(UnlockDrawScreen(), 0);
}

TEST_F(DeviceScreenTest, TheSubBackBufferTakesTheDrawingAndIsPresented) {
    ASSERT_EQ(FillRectangle(0, 0, 10, 10, MakeColor(255, 0, 0)), 0);
    ASSERT_EQ(CopySubBackBuffer(), 0);
    ASSERT_NE(Device().subBackBuffer, nullptr);
    EXPECT_EQ(Device().renderTarget, Device().subBackBuffer);
    d3d9::ClearRecordedCalls();
    EXPECT_EQ(CopySubBackBuffer(), 0);
    EXPECT_TRUE(CallsStarting("StretchRect(").empty()) << "the second call copies nothing";
    ASSERT_EQ(FillRectangle(20, 0, 30, 10, MakeColor(0, 0, 255)), 0);
    const Picture screen = ReadScreen();
    EXPECT_EQ(screen.At(5, 5), 0xFF0000u) << "the back buffer's picture was carried over";
    EXPECT_EQ(screen.At(25, 5), 0x0000FFu) << "drawing goes into the sub back buffer";
    ASSERT_EQ(PresentScreen(), 0);
    const Picture window = graphics_test::WindowPicture();
    ASSERT_GE(window.width, 30);
    EXPECT_EQ(window.At(25, 5) & 0xFFFFFF, 0x0000FFu) << "present shows the sub back buffer";
}

TEST_F(DeviceScreenTest, TheScreenCopiesIntoAnImage) {
    const int32_t image = CreateBlankImage(8, 8);
    ASSERT_GE(image, 0);
    ASSERT_EQ(FillRectangle(4, 4, 8, 8, MakeColor(0, 200, 0)), 0);
    ASSERT_EQ(CopyScreenToImage(4, 4, 8, 8, 2, 2, image), 0);
    EXPECT_EQ(graphics_test::ImagePixel(image, 3, 3) & 0xFFFFFF, 0x00C800u);
    EXPECT_EQ(graphics_test::ImagePixel(image, 1, 1) & 0xFFFFFF, 0u);
    EXPECT_EQ(CopyScreenToImage(0, 0, 400, 8, 0, 0, image), -1) << "beyond the screen";
    EXPECT_EQ(CopyScreenToImage(0, 0, 4, 4, 9, 0, image), -1) << "beyond the image";
    EXPECT_EQ(CopyScreenToImage(0, 0, 4, 4, 0, 0, -1), -1);
    // The copy reaches the image's texture: drawing it shows the copied pixels.
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(100, 100, image, 0), 0);
    EXPECT_EQ(ReadScreen().At(103, 103), 0x00C800u);
}

TEST_F(DeviceScreenTest, ALostDeviceIsMadeAgainWithItsImages) {
    graphics_test::Picture p(4, 4, 0xFF3060C0);
    const int32_t image = graphics_test::LoadPicture("lost.png", p);
    ASSERT_GE(image, 0);
    IDirect3DDevice9* before = Device().device;
    SetBlendMode(kBlendAlpha, 255);
    ASSERT_EQ(FillRectangle(0, 0, 4, 4, MakeColor(0, 0, 255)), 0);
    d3d9::LoseDevice(nullptr, 1);
    ASSERT_EQ(PresentScreen(), 0) << "the first present finds the device lost";
    ASSERT_EQ(PresentScreen(), 0) << "the second may reset it";
    if (Device().device == before) { ASSERT_EQ(PresentScreen(), 0); }
    ASSERT_EQ(Screen().d3dActive, 1);
    EXPECT_NE(graphics_test::LogText().find("デバイスを作り直します"), std::string::npos);
    ASSERT_NE(FindImage(image)->picture->textures[0].texture, nullptr);
    DWORD src = 0;
    ASSERT_EQ(Device().device->GetRenderState(D3DRS_SRCBLEND, &src), D3D_OK);
    EXPECT_EQ(src, static_cast<DWORD>(D3DBLEND_SRCALPHA)) << "the states reached the new device";
    EXPECT_NE(Device().device, nullptr);
    SetBlendMode(kBlendNone, 255);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(50, 60, image, 0), 0);
    EXPECT_EQ(ReadScreen().At(51, 61), 0x3060C0u);
}

int g_restores = 0;

size_t ResetCount() {
    const std::string log = graphics_test::LogText(), line = "デバイスを作り直します";
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    return count;
}

// Loses the device and presents until it has been made again.
void LoseAndRecover() {
    const size_t before = ResetCount();
    d3d9::LoseDevice(nullptr, 1);
    for (int i = 0; i < 3 && ResetCount() == before; ++i) ASSERT_EQ(PresentScreen(), 0);
    ASSERT_EQ(ResetCount(), before + 1);
    ASSERT_EQ(Device().device->TestCooperativeLevel(), D3D_OK);
}

TEST_F(DeviceScreenTest, TheRestoreCallbackOrTheFilesBringThePixelsBack) {
    graphics_test::Picture p(4, 4, 0xFF102030);
    const int32_t image = graphics_test::LoadPicture("restore.png", p);
    ASSERT_GE(image, 0);
    // Pixels changed since the load: the reload from the file puts the file's back.
    ASSERT_EQ(FillImage(image, 200, 0, 0, 255), 0);
    LoseAndRecover();
    EXPECT_EQ(graphics_test::ImagePixel(image, 1, 1) & 0xFFFFFF, 0x102030u);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawImage(10, 10, image, 0), 0);
    EXPECT_EQ(ReadScreen().At(11, 11), 0x102030u);
    // With a callback set, the callback alone restores.
    g_restores = 0;
    ASSERT_EQ(SetImageRestoreCallback([] { ++g_restores; }), 0);
    ASSERT_EQ(FillImage(image, 200, 0, 0, 255), 0);
    LoseAndRecover();
    SetImageRestoreCallback(nullptr);
    EXPECT_EQ(g_restores, 1);
    EXPECT_EQ(graphics_test::ImagePixel(image, 1, 1) & 0xFFFFFF, 0xC80000u) << "the file is not read";
}

TEST_F(DeviceScreenTest, AScreenModeChangeMakesTheDeviceAgain) {
    graphics_test::Picture p(4, 4, 0xFF20A040);
    const int32_t image = graphics_test::LoadPicture("mode.png", p);
    ASSERT_EQ(ChangeScreenMode(640, 480, 32, 60), 0);
    ASSERT_EQ(Screen().d3dActive, 1);
    D3DSURFACE_DESC desc{};
    ASSERT_EQ(Device().backBuffer->GetDesc(&desc), D3D_OK);
    EXPECT_EQ(desc.Width, 640u);
    ASSERT_EQ(DrawImage(600, 400, image, 0), 0);
    EXPECT_EQ(ReadScreen().At(601, 401), 0x20A040u);
}

}  // namespace
}  // namespace device_test
