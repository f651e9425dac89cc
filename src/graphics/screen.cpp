// Graphics start and end, the software screen, present with the vertical-blank
// wait, screen-mode and window-mode changes, and the mask-screen brackets.
#include "core/library.h"
#include "core/library_state.h"
#include "core/log.h"
#include "core/services.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/device_handles.h"
#include "d3d9/shader_state.h"
#include "font/font.h"
#include "graphics/display_mode.h"
#include "graphics/graphics_internal.h"
#include "graphics/light_handles.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi32/gdi32.h"
#include "platform/user32/user32.h"
#include "softrender/memimg_tables.h"
#include "softrender/soft_draw.h"

namespace {

void WaitForVerticalBlank() {
    IDirectDraw7* directDraw = GetDirectDrawObject();
    if (directDraw != nullptr && !g_drawState.noVsync) directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}

// The draw-screen size: a 320x240 full screen runs as 640x480 doubled, and
// the 320x240 emulation doubles a 320x240 picture on a 640x480 screen.
void ComputeScreenLayout() {
    ScreenState& s = Screen();
    s.substitute320x240 = (!IsWindowMode() && s.width == 320 && s.height == 240) ? 1 : 0;
    bool doubled = s.substitute320x240 || (g_drawState.emulate320x240 && s.width == 640 && s.height == 480);
    s.drawWidth = doubled ? 320 : s.width;
    s.drawHeight = doubled ? 240 : s.height;
    s.doubled = doubled ? 1 : 0;
}

void ReleaseScreenImages() {
    SoftwareTargets& t = Targets();
    if (t.current == &t.screen) t.current = nullptr;
    ReleaseMemImg(&t.screen);
    ReleaseMemImg(&t.work);
    ReleaseMemImg(&t.workAlpha);
}

int CreateScreenImages() {
    const ScreenState& s = Screen();
    SoftwareTargets& t = Targets();
    int32_t type = ScreenColorType();
    if (CreateMemImg(&t.screen, s.drawWidth, s.drawHeight, type, 0, 0) != 0 ||
        CreateMemImg(&t.work, s.drawWidth, s.drawHeight, type, 0, 0) != 0 ||
        CreateMemImg(&t.workAlpha, s.drawWidth, s.drawHeight, type, kMemImgAlpha, 0) != 0) {
        ReleaseScreenImages();
        return WriteLogFormatted("画面用のイメージの作成に失敗しました(%d x %d)", s.drawWidth, s.drawHeight);
    }
    return 0;
}

void ClearScreen() {
    const GraphicsSettings& g = Settings();
    ClearMemImg(&Targets().screen, nullptr,
                MakeMemImgColor(ScreenColorType(), g.backgroundRed, g.backgroundGreen, g.backgroundBlue));
}

// The draw state at graphics start: plain drawing onto the front buffer.
void ResetGraphicsDrawState() {
    DrawState& d = g_drawState;
    d.blendMode = kBlendNone;
    d.blendParameter = 255;
    d.brightnessBlue = d.brightnessGreen = d.brightnessRed = 255;
    d.blendImage = nullptr;
    d.blendImageHandle = -1;
    d.blendImageBorderParameter = 0;
    d.blendImageBorderRange = 0;
    d.drawingSuspended = 0;
    d.drawDepth = 0.2f;
    BuildBlendImageRamp(0, 0);
}

// Gives the default font again the size and thickness it has (the font is
// made anew only when the default settings ask for another).
void CarryDefaultFontAcross() {
    const int32_t font = GetDefaultFontHandle();
    int32_t size = -1, thickness = -1;
    if (CheckFontHandle(font) && GetFontHandleInfo(nullptr, &size, &thickness, font) == 0) {
        SetDefaultFontSize(nullptr, size, thickness);
    }
}

// Re-creates the screen MEMIMGs for the current mode, keeping the images
// (converted when the screen's colour type changed) and the draw target; -1
// when the device could not be made again (drawing goes on on the software
// screen) or a full screen's display mode could not be had.
int RebuildScreen(int32_t oldColorType) {
    StopFrontBufferTimer();
    int32_t target = g_drawState.drawTarget;
    ReleaseScreenImages();
    ComputeScreenLayout();
    if (CreateScreenImages() != 0) ExitWithError("画面の作り直しに失敗しました");
    int32_t type = ScreenColorType();
    if (type != oldColorType && Settings().imageBitDepth == 0) ConvertAllImages(type);
    ddraw::SetVerticalBlankRate(Screen().refreshRate);
    ClearScreen();
    g_drawState.drawTarget = target;
    // The display follows the new mode: the device start changes it where a
    // full screen needs it; the software path keeps its objects and changes
    // only the display.
    int result = 0;
    if (Screen().d3dActive) {
        result = ResetGraphicsDevice(1);
    } else if (!IsWindowMode()) {
        result = ChangeDisplayMode() < 0 ? -1 : 0;
    }
    if (SetDrawTarget(target) != 0) SetDrawTarget(kDrawTargetBack);
    // Fonts: the default font keeps its size and thickness across the change.
    CarryDefaultFontAcross();
    return result;
}

}  // namespace

IDirectDraw7* GetDirectDrawObject() { return Device().directDraw; }

namespace {

// The period between two vertical blanks: a first wait meets a blank, a
// second one the next; 0 when a wait fails.
int64_t WaitedFramePeriod(IDirectDraw7* directDraw) {
    if (FAILED(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr))) return 0;
    int64_t start = GetTimeUs(0);
    if (FAILED(directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr))) return 0;
    return GetTimeUs(0) - start;
}

}  // namespace

// The display's frame period, measured between two vertical blanks of the
// DirectDraw object (one to two frames of waiting). The nominal period of
// the screen's refresh rate when there is no object or the measure is not
// between 1 ms and 1 s (a failed wait, or waits that do not wait).
void MeasureRefreshPeriod() {
    ScreenState& s = Screen();
    int32_t nominal = 1000000 / (s.refreshRate > 0 ? s.refreshRate : 60);
    IDirectDraw7* directDraw = GetDirectDrawObject();
    int64_t measured = directDraw != nullptr ? WaitedFramePeriod(directDraw) : 0;
    s.framePeriodUs = measured >= 1000 && measured < 1000000 ? static_cast<int32_t>(measured) : nominal;
}

int32_t InitGraphics() {
    ScreenState& s = Screen();
    if (s.started) return 0;
    WriteLog("グラフィックスの初期化を開始します\n");
    ddraw::SetVerticalBlankRate(s.refreshRate);
    InitMemImgTables();
    ComputeScreenLayout();
    // The device, or the software path when none can be made; -1 only when
    // neither can run.
    if (SetupDirect3D9() != 0) {
        EndGraphics();
        return -1;
    }
    if (CreateScreenImages() != 0) {
        EndGraphics();
        return -1;
    }
    ResetGraphicsDrawState();
    s.presentCount = 0;
    s.started = 1;
    ClearScreen();
    if (s.d3dActive) {
        InitDeviceStateCache();
        Device().batch.drawColor = PackDrawColor();
    }
    SetDrawTarget(kDrawTargetFront);
    ReadCaptureEnvironment();
    InitFontModule();  // with the default font
    WriteLogFormatted("グラフィックスの初期化が完了しました(%d x %d, %d bit%s, %s)", s.drawWidth, s.drawHeight,
                      GetScreenBitDepth(), s.doubled ? ", 2倍表示" : "",
                      s.d3dActive ? "Direct3D 9" : "ソフトウエア");
    return 0;
}

int32_t EndGraphics() {
    TermFontModule();  // first, also when graphics never started
    ScreenState& s = Screen();
    if (s.started) {
        StopFrontBufferTimer();
        DeleteAllImages();
        DeleteAllLights();
        ReleaseBlendImage();
        ResetMaskState();
        DeleteAllVertexBuffers();
        DeleteAllIndexBuffers();
        DeleteAllShaders();
    }
    ReleaseScreenImages();
    Targets().current = nullptr;
    g_drawState.drawTarget = kDrawTargetBack;
    StoreDrawArea(0, 0, 0, 0);
    TerminateDirect3D9();
    ClearLightsAndCamera();
    UnloadShaderPack();
    s.started = 0;
    s.d3dActive = 0;
    return 0;
}

int ChangeScreenMode(int32_t width, int32_t height, int32_t bits, int32_t refreshRate) {
    if (!IsValidScreenMode(width, height, bits)) {
        return WriteLogFormatted("画面モードの値が不正です(%d x %d, %d bit) in ChangeScreenMode", width, height, bits);
    }
    ScreenState& s = Screen();
    if (!s.started) {
        StoreScreenMode(width, height, bits, refreshRate);
        return 0;
    }
    int32_t oldType = ScreenColorType();
    StoreScreenMode(width, height, bits, refreshRate);
    ApplyWindowMode();
    return RebuildScreen(oldType);
}

// After the main window switched between a window and full screen: leaving
// full screen gives the desktop its mode back, and the screen is made again
// for the new mode (which changes the display of a full screen).
int32_t ApplyGraphicsWindowMode() {
    ScreenState& s = Screen();
    if (!s.started) return 0;
    if (IsWindowMode()) ChangeDisplaySettingsA(nullptr, 0);
    return RebuildScreen(ScreenColorType());
}

// ---- present ---------------------------------------------------------------------------

int CopyScreenToWindow() {
    const ScreenState& s = Screen();
    const MEMIMG& screen = Targets().screen;
    HWND hwnd = GetMainWindow();
    if (!s.started || hwnd == nullptr || !IsMemImgValid(&screen)) return -1;
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = screen.width;
    info.header.biHeight = -screen.height;  // top-down
    info.header.biPlanes = 1;
    if (screen.base->colorType == kMemImgR5G6B5) {
        info.header.biBitCount = 16;
        info.header.biCompression = BI_BITFIELDS;
        info.masks[0] = 0xF800;
        info.masks[1] = 0x07E0;
        info.masks[2] = 0x001F;
    } else {
        info.header.biBitCount = 32;
        info.header.biCompression = BI_RGB;
    }
    const auto* bmi = reinterpret_cast<const BITMAPINFO*>(&info);
    HDC dc = GetDC(hwnd);
    if (dc == nullptr) return -1;
    int lines = s.doubled ? StretchDIBits(dc, 0, 0, screen.width * 2, screen.height * 2, 0, 0, screen.width,
                                          screen.height, screen.pixels, bmi, DIB_RGB_COLORS, SRCCOPY)
                          : SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(screen.width),
                                              static_cast<DWORD>(screen.height), 0, 0, 0,
                                              static_cast<UINT>(screen.height), screen.pixels, bmi, DIB_RGB_COLORS);
    ReleaseDC(hwnd, dc);
    return lines > 0 ? 0 : -1;
}

int PresentScreen() {
    if (!Screen().started) return WriteLog("グラフィックスが初期化されていません in PresentScreen\n");
    // The device waits for the vertical blank in its present (presentation
    // interval one, immediate without the wait).
    if (!Screen().d3dActive) WaitForVerticalBlank();
    int result = Screen().d3dActive ? PresentFrame() : CopyScreenToWindow();
    CountPresent();
    return result;
}

// The window's paint: shows the screen again. A full-screen device first
// moves its drawing to the sub back buffer, which outlives the present.
int FlushSubBufferAndPresent() {
    if (!Screen().d3dActive) return CopyScreenToWindow();
    if (Device().device == nullptr) return -1;
    if (!IsWindowMode()) CopySubBackBuffer();
    return PresentFrame();
}

int32_t GetPresentCount() { return Screen().presentCount; }

// ---- mask screen ---------------------------------------------------------------------------
// The mask screen hides pixels from drawing: a draw saves the area under its
// rectangle first and puts the hidden pixels back afterwards. Nothing creates
// a mask screen in this program, so the brackets only keep their nesting.

void ResetMaskState() {
    GraphicsSettings& g = Settings();
    g.maskInEffect = 0;
    g.maskDepth = 0;
}

int BeginMaskDraw(RECT) {
    Settings().maskDepth++;
    return 0;
}

int EndMaskDraw(RECT) {
    GraphicsSettings& g = Settings();
    if (g.maskDepth > 0) g.maskDepth--;
    return 0;
}
