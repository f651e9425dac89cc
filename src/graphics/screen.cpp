// Graphics start and end, the software screen, present with the vertical-blank
// wait, screen-mode and window-mode changes, and the mask-screen brackets.
#include "core/library.h"
#include "core/library_state.h"
#include "core/log.h"
#include "core/services.h"
#include "font/font.h"
#include "graphics/graphics_internal.h"
#include "platform/ddraw/ddraw.h"
#include "platform/gdi32/gdi32.h"
#include "softrender/memimg_tables.h"
#include "softrender/soft_draw.h"

namespace {

IDirectDraw7* g_directDraw = nullptr;

void ReleaseDirectDrawObject() {
    if (g_directDraw == nullptr) return;
    g_directDraw->Release();
    g_directDraw = nullptr;
}

// The DirectDraw object through which present waits for the vertical blank.
int CreateDirectDrawObject() {
    ReleaseDirectDrawObject();
    WriteLog("DirectDraw オブジェクトの取得を行います....  ");
    void* object = nullptr;
    if (FAILED(CoCreateInstance(CLSID_DirectDraw7, nullptr, 7, IID_IDirectDraw7, &object)) || object == nullptr) {
        return WriteLog("オブジェクトの取得に失敗しました\n");
    }
    g_directDraw = static_cast<IDirectDraw7*>(object);
    WriteLog("成功\n");
    WriteLog("引き続き初期化処理... ");
    if (FAILED(g_directDraw->Initialize(nullptr))) {
        ReleaseDirectDrawObject();
        return WriteLog("DirectDrawオブジェクトの初期化に失敗しました\n");
    }
    WriteLog("初期化に成功しました\n");
    g_directDraw->SetCooperativeLevel(GetMainWindow(), DDSCL_NORMAL);
    return 0;
}

void WaitForVerticalBlank() {
    if (g_directDraw != nullptr && !g_drawState.noVsync) g_directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
}

// The display's frame period, from two vertical-blank waits; the nominal
// period when the waits do not wait.
void MeasureRefreshPeriod() {
    ScreenState& s = Screen();
    int32_t nominal = 1000000 / (s.refreshRate > 0 ? s.refreshRate : 60);
    int64_t measured = 0;
    if (g_directDraw != nullptr) {
        g_directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        int64_t start = GetTimeUs(0);
        g_directDraw->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
        measured = GetTimeUs(0) - start;
    }
    s.framePeriodUs = measured >= 1000 && measured < 1000000 ? static_cast<int32_t>(measured) : nominal;
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
// (converted when the screen's colour type changed) and the draw target.
void RebuildScreen(int32_t oldColorType) {
    StopFrontBufferTimer();
    int32_t target = g_drawState.drawTarget;
    ReleaseScreenImages();
    ComputeScreenLayout();
    if (CreateScreenImages() != 0) ExitWithError("画面の作り直しに失敗しました");
    int32_t type = ScreenColorType();
    if (type != oldColorType && Settings().imageBitDepth == 0) ConvertAllImages(type);
    ddraw::SetVerticalBlankRate(Screen().refreshRate);
    ClearScreen();
    if (SetDrawTarget(target) != 0) SetDrawTarget(kDrawTargetBack);
    // Fonts: the default font keeps its size and thickness across the change.
    CarryDefaultFontAcross();
}

}  // namespace

IDirectDraw7* GetDirectDrawObject() { return g_directDraw; }

int32_t InitGraphics() {
    ScreenState& s = Screen();
    if (s.started) return 0;
    WriteLog("グラフィックスの初期化を開始します\n");
    // Direct3D 9 back end: SetupDirect3D9 comes here; it makes the DirectDraw
    // object and either the device or, failing that, the software path below.
    s.d3dActive = 0;
    if (CreateDirectDrawObject() != 0) {
        EndGraphics();
        return -1;
    }
    ddraw::SetVerticalBlankRate(s.refreshRate);
    InitMemImgTables();
    ComputeScreenLayout();
    if (CreateScreenImages() != 0) {
        EndGraphics();
        return -1;
    }
    MeasureRefreshPeriod();
    ResetGraphicsDrawState();
    s.presentCount = 0;
    s.started = 1;
    ClearScreen();
    SetDrawTarget(kDrawTargetFront);
    ReadCaptureEnvironment();
    // Direct3D 9 back end: InitDeviceStateCache here while it is active.
    InitFontModule();  // with the default font
    WriteLogFormatted("グラフィックスの初期化が完了しました(%d x %d, %d bit%s)", s.drawWidth, s.drawHeight,
                      GetScreenBitDepth(), s.doubled ? ", 2倍表示" : "");
    return 0;
}

int32_t EndGraphics() {
    TermFontModule();  // first, also when graphics never started
    ScreenState& s = Screen();
    if (s.started) {
        StopFrontBufferTimer();
        DeleteAllImages();
        ReleaseBlendImage();
        ResetMaskState();
        // Direct3D 9 back end: DeleteAllVertexBuffers, DeleteAllIndexBuffers and
        // DeleteAllShaders here.
    }
    ReleaseScreenImages();
    Targets().current = nullptr;
    g_drawState.drawTarget = kDrawTargetBack;
    StoreDrawArea(0, 0, 0, 0);
    // Direct3D 9 back end: TerminateDirect3D9 here (it releases the DirectDraw object).
    ReleaseDirectDrawObject();
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
    RebuildScreen(oldType);
    return 0;
}

int32_t ApplyGraphicsWindowMode() {
    ScreenState& s = Screen();
    if (!s.started) return 0;
    int32_t width = s.drawWidth, height = s.drawHeight, doubled = s.doubled;
    ComputeScreenLayout();
    if (s.drawWidth == width && s.drawHeight == height && s.doubled == doubled) return 0;
    RebuildScreen(ScreenColorType());
    return 0;
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
    // Direct3D 9 back end: PresentFrame (flush, end the scene, Present) instead.
    WaitForVerticalBlank();
    int result = CopyScreenToWindow();
    CountPresent();
    return result;
}

int FlushSubBufferAndPresent() { return CopyScreenToWindow(); }

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
