// The library's start-up and end in their fixed order, the configuration
// setters and the state getters.
#include "core/library.h"

#include "core/library_hooks.h"
#include "core/library_state.h"
#include "core/screen_log.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/services.h"
#include "core/utility.h"
#include "platform/com/com.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "platform/winmm/winmm.h"

#include <cstdlib>

namespace {

void SleepThroughKernel(DWORD milliseconds) { Sleep(milliseconds); }
void ExitThroughRuntime(int code) { std::exit(code); }

LibraryHooks DefaultHooks() {
    LibraryHooks h;
    h.initializeInput = InitializeInput;
    h.terminateInput = TerminateInput;
    h.refreshKeyboard = RefreshKeyboard;
    h.updatePadVibration = UpdatePadVibration;
    h.resetInputCooperativeLevel = ResetInputCooperativeLevel;
    h.applyPadVibration = ApplyPadVibration;
    h.setInputFlagA = SetInputFlagA;
    h.clearInputFlagA = ClearInputFlagA;
    h.setInputFlagB = SetInputFlagB;
    h.clearInputFlagB = ClearInputFlagB;
    h.initializeSound = InitializeSound;
    h.terminateSound = TerminateSound;
    h.releaseTemporaryPlayHandle = ReleaseTemporaryPlayHandle;
    h.processStreamSounds = ProcessStreamSounds;
    h.processSoftSoundPlayers = ProcessSoftSoundPlayers;
    h.checkMidiPlayState = CheckMidiPlayState;
    h.handleMidiNotify = HandleMidiNotify;
    h.initGraphics = InitGraphics;
    h.endGraphics = EndGraphics;
    h.applyGraphicsWindowMode = ApplyGraphicsWindowMode;
    h.initModelHandles = InitModelHandles;
    h.terminateModelHandles = TerminateModelHandles;
    h.makeColor = MakeColor;
    h.flushSubBufferAndPresent = FlushSubBufferAndPresent;
    h.isDirect3DActive = IsDirect3DActive;
    h.endDeviceScene = EndDeviceScene;
    h.setDeviceDialogBoxMode = SetDeviceDialogBoxMode;
    h.resetDeviceDialogBoxMode = ResetDeviceDialogBoxMode;
    h.deviceDialogBoxMode = DeviceDialogBoxMode;
    h.initYuvTables = InitYuvTables;
    h.pauseAllMovies = PauseAllMovies;
    h.resumeAllMovies = ResumeAllMovies;
    h.refreshMovieOverlays = RefreshMovieOverlays;
    h.prepareDefaultFontFace = PrepareDefaultFontFace;
    h.createFontToHandle = CreateFontToHandle;
    h.deleteFontHandle = DeleteFontHandle;
    h.setFontLostFlag = SetFontLostFlag;
    h.checkFontHandle = CheckFontHandle;
    h.drawStringByFont = DrawStringByFont;
    h.sleep = SleepThroughKernel;
    h.exitProcess = ExitThroughRuntime;
    return h;
}

// A full screen that the display cannot show falls back to a window; a
// 320x240 full screen is shown as 640x480.
void CheckFullScreenMode() {
    WindowState& w = Window();
    if (w.windowMode) return;
    int32_t width, height;
    FullScreenSize(&width, &height);
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i)
        if (static_cast<int32_t>(mode.dmPelsWidth) == width && static_cast<int32_t>(mode.dmPelsHeight) == height)
            return;
    w.windowMode = 1;
}

// The file layer's function table starts as the plain-file table, and files
// are opened relative to the start-up directory: nothing to prepare.
void PrepareFileAccess() {}

// A desktop of three bytes per pixel cannot be drawn to; the usual 24-bit
// deep X11 desktop has four bytes per pixel and reports 32 bits.
bool DesktopIsTrueColor24() {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    return EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmBitsPerPel == 24;
}

void CheckPerformanceCounter() {
    WindowState& w = Window();
    LARGE_INTEGER frequency{};
    w.performanceCounter = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0;
    w.performanceFrequency = w.performanceCounter ? frequency.QuadPart : 0;
}

int32_t MeasureProcessorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int32_t>(info.dwNumberOfProcessors) : 1;
}

void ReportSystem() {
    WindowState& w = Window();
    WriteLog("システム情報\n");
    IncreaseLogIndent();
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version))
        WriteLogFormatted("OS  Windows %u.%u ビルド %u %s", version.dwMajorVersion, version.dwMinorVersion,
                          version.dwBuildNumber, version.szCSDVersion);
    w.processorCount = MeasureProcessorCount();
    WriteLogFormatted("論理プロセッサ数  %d", w.processorCount);
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatus(&memory);
    WriteLogFormatted("物理メモリ  総量 %lluMB  空き %lluMB",
                      static_cast<unsigned long long>(memory.dwTotalPhys >> 20),
                      static_cast<unsigned long long>(memory.dwAvailPhys >> 20));
    DecreaseLogIndent();
}

void StartCom() {
    WindowState& w = Window();
    HRESULT hr = CoInitialize(nullptr);
    w.comStarted = SUCCEEDED(hr);
    if (!w.comStarted) WriteLog("COMの初期化に失敗しました\n");
}

void ResetRunFlags() {
    WindowState& w = Window();
    w.active = 0;
    w.closing = 0;
    w.destroyed = 0;
    w.quitRequested = 0;
    w.anotherCopyRunning = false;
    w.pendingModeChange = false;
}

int FailStartUp() {
    EndLibraryUnlocked();
    return -1;
}

int InitLibraryUnlocked() {
    WindowState& w = Window();
    if (w.running) return 0;
    ResetRunFlags();
    w.running = true;  // from here on the end runs, also for a failed start
    CheckFullScreenMode();
    GetLibraryHooks().initYuvTables();
    PrepareFileAccess();
    OpenLogFile();
    w.logOpened = true;
    WriteLog("ライブラリの初期化を開始します\n");
    if (DesktopIsTrueColor24()) {
        WriteLog("24ビットカラーのデスクトップには対応していません\n");
        return FailStartUp();
    }
    CheckPerformanceCounter();
    ReportSystem();
    StartCom();
    LibraryHooks& hooks = GetLibraryHooks();
    hooks.prepareDefaultFontFace();  // its file is read while the window and the graphics start
    if (CreateMainWindow() != 0) return FailStartUp();
    if (hooks.initializeInput() == -1) {
        WriteLog("入力の初期化に失敗しました\n");
        return FailStartUp();
    }
    hooks.initializeSound();
    if (hooks.initGraphics() == -1) {
        WriteLog("描画の初期化に失敗しました\n");
        return FailStartUp();
    }
    hooks.initModelHandles();
    WriteLog("ライブラリの初期化が完了しました\n");
    return 0;
}

}  // namespace

WindowState& Window() {
    static auto* state = new WindowState();
    return *state;
}

LibraryHooks& GetLibraryHooks() {
    static LibraryHooks hooks = DefaultHooks();
    return hooks;
}

void ResetLibraryHooks() { GetLibraryHooks() = DefaultHooks(); }

int ResetLibraryConfiguration() {
    LibraryLockGuard lock;
    if (Window().running) return -1;
    Window() = WindowState();
    return 0;
}

int EndLibraryUnlocked() {
    WindowState& w = Window();
    if (!w.running) return 0;
    LibraryHooks& hooks = GetLibraryHooks();
    w.closing = 1;
    EndScreenLog();  // the on-screen log's font, while the log is on
    hooks.terminateModelHandles();
    hooks.endGraphics();
    hooks.releaseTemporaryPlayHandle();
    hooks.terminateSound();
    hooks.terminateInput();
    DestroyMainWindow();
    if (w.comStarted) CoUninitialize();
    w.comStarted = false;
    if (w.logOpened) {
        DumpAllocatedMemory();
        WriteLog("ライブラリを終了しました\n");
        CloseLogFile();
    }
    w.logOpened = false;
    w.running = false;
    w.active = 0;
    return 0;
}

int InitLibrary() {
    LibraryLockGuard lock;
    return InitLibraryUnlocked();
}

int EndLibrary() {
    LibraryLockGuard lock;
    return EndLibraryUnlocked();
}

int IsLibraryRunning() { return Window().running ? 1 : 0; }

int AnotherCopyIsRunning() { return Window().anotherCopyRunning ? 1 : 0; }

bool IsLibraryEnding() {
    const WindowState& w = Window();
    return w.quitRequested != 0 || w.destroyed != 0;
}

void ExitWithError(const char* text) {
    WriteLogFormatted("%s", text != nullptr ? text : "");
    EndLibrary();
    GetLibraryHooks().exitProcess(-1);
    std::exit(-1);
}

// ---- configuration ---------------------------------------------------------

int EnableLogOutput(int32_t flag) {
    SetLogOutputOff(flag == 0 ? 1 : 0);
    return 0;
}

int SetOutApplicationLogValidFlag(int32_t flag) { return EnableLogOutput(flag); }

int SetWindowIcon(int32_t resourceId) {
    WindowState& w = Window();
    w.iconId = resourceId;
    if (w.mainWindow == nullptr) return 0;
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(resourceId));
    if (icon == nullptr) return -1;
    SendMessageA(w.mainWindow, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageA(w.mainWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    return 0;
}

int SetWindowTitle(const char* title) {
    if (title == nullptr) return -1;
    WindowState& w = Window();
    CopyText(w.title, sizeof w.title, title);
    w.titleSet = true;
    if (w.mainWindow != nullptr) SetWindowTextA(w.mainWindow, w.title);
    return 0;
}

int ChangeWindowMode(int32_t flag) {
    WindowState& w = Window();
    int32_t mode = flag != 0 ? 1 : 0;
    if (w.mainWindow == nullptr) {
        w.windowMode = mode;
        return 0;
    }
    // A running library switches at the next pass of the message pump.
    w.pendingModeChange = true;
    w.pendingWindowMode = mode;
    return 0;
}

bool HoldWindowModeChange(bool hold) {
    WindowState& w = Window();
    const bool before = w.modeChangeHeld;
    w.modeChangeHeld = hold;
    return before;
}

int ShowMouseCursor(int32_t flag) {
    Window().cursorShown = flag != 0 ? 1 : 0;
    ApplyCursorVisibility();
    return 0;
}

int SetAlwaysRunFlag(int32_t flag) {
    Window().alwaysRun = flag != 0 ? 1 : 0;
    return 0;
}

int SetLibraryScreenMode(int32_t width, int32_t height, int32_t bitDepth, int32_t refreshRate) {
    if (width <= 0 || height <= 0) return -1;
    WindowState& w = Window();
    w.screenWidth = width;
    w.screenHeight = height;
    w.screenBits = bitDepth;
    w.screenRefresh = refreshRate;
    return 0;
}

int GetLibraryScreenMode(int32_t* width, int32_t* height, int32_t* bitDepth, int32_t* refreshRate) {
    const WindowState& w = Window();
    if (width != nullptr) *width = w.screenWidth;
    if (height != nullptr) *height = w.screenHeight;
    if (bitDepth != nullptr) *bitDepth = w.screenBits;
    if (refreshRate != nullptr) *refreshRate = w.screenRefresh;
    return 0;
}

int SetWindowSizeScale(double scale) {
    if (!(scale > 0.0) || scale > 16.0) return -1;
    WindowState& w = Window();
    w.windowScale = scale;
    if (w.mainWindow != nullptr && w.windowMode) ApplyWindowMode();
    return 0;
}

// ---- state --------------------------------------------------------------------

HWND GetMainWindow() { return Window().mainWindow; }
int IsWindowActive() { return Window().active; }
int IsWindowClosing() { return Window().closing; }
int IsWindowMode() { return Window().windowMode; }
int IsQuitRequested() { return Window().quitRequested; }
int IsWindowDestroyed() { return Window().destroyed; }
int32_t WindowsVersionCode() { return Window().windowsVersion; }
DWORD MainThreadId() { return Window().mainThreadId; }

int32_t LogicalProcessorCount() {
    WindowState& w = Window();
    if (w.processorCount <= 0) w.processorCount = MeasureProcessorCount();
    return w.processorCount;
}

int32_t CodePageKind() { return Window().codePageKind; }
int32_t CodePageNumber() { return Window().codePageNumber; }

int GetMousePosition(int32_t* x, int32_t* y) {
    const WindowState& w = Window();
    POINT p{};
    GetCursorPos(&p);
    if (w.mainWindow != nullptr) ScreenToClient(w.mainWindow, &p);
    if (w.windowMode && w.windowScale != 1.0) {
        p.x = static_cast<LONG>(p.x / w.windowScale);
        p.y = static_cast<LONG>(p.y / w.windowScale);
    }
    if (x != nullptr) *x = p.x;
    if (y != nullptr) *y = p.y;
    return 0;
}

int GetClientScreenRect(RECT* rect) {
    const WindowState& w = Window();
    if (rect == nullptr || w.mainWindow == nullptr || !GetClientRect(w.mainWindow, rect)) return -1;
    POINT topLeft{rect->left, rect->top}, bottomRight{rect->right, rect->bottom};
    ClientToScreen(w.mainWindow, &topLeft);
    ClientToScreen(w.mainWindow, &bottomRight);
    *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return 0;
}

int SetDesktopComposition(int32_t flag) {
    WindowState& w = Window();
    if (w.compositionState == flag) return 0;
    if (w.compositionEntry != nullptr)
        reinterpret_cast<HRESULT (*)(UINT)>(w.compositionEntry)(static_cast<UINT>(flag));
    w.compositionState = flag;
    return 0;
}

int HasDesktopCompositionEntry() { return Window().compositionEntry != nullptr ? 1 : 0; }

int SetFpuPreserveFlag(int32_t flag) {
    Window().fpuPreserve = flag;
    return 0;
}

int32_t FpuPreserveSetting() { return Window().fpuPreserve; }

// ---- time ---------------------------------------------------------------------

int32_t GetTimeMs() { return static_cast<int32_t>(timeGetTime() & 0x7FFFFFFF); }

int64_t GetTimeUs(int32_t) {
    const WindowState& w = Window();
    LARGE_INTEGER count{};
    if (w.performanceCounter && QueryPerformanceCounter(&count)) {
        int64_t f = w.performanceFrequency;
        return (count.QuadPart / f) * 1000000 + (count.QuadPart % f) * 1000000 / f;
    }
    return static_cast<int64_t>(timeGetTime()) * 1000;
}
