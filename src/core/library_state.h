// The library core's own state: the window state block and the start-up
// bookkeeping shared by start-up, end, the main window and the pump.
#pragma once

#include "core/library.h"
#include "platform/wintypes.h"

#include <cstdint>

constexpr int kWindowTitleSize = 256;
constexpr const char* kDefaultWindowTitle = "GameLib";
constexpr const char* kUntitledClassName = "D123987X";
constexpr int32_t kWindowsVersion7 = 0x109;

struct WindowState {
    HWND mainWindow = nullptr;
    char title[kWindowTitleSize] = "GameLib";
    bool titleSet = false;
    char className[kWindowTitleSize] = "";
    bool classRegistered = false;
    int32_t iconId = 0;
    int32_t windowMode = 0;  // 0 full screen (the default), 1 window
    int32_t alwaysRun = 0;
    int32_t cursorShown = 1;
    double windowScale = 1.0;
    int32_t screenWidth = 640;
    int32_t screenHeight = 480;
    int32_t screenBits = 32;
    int32_t screenRefresh = 60;
    bool pendingModeChange = false;
    int32_t pendingWindowMode = 0;
    bool modeChangeHeld = false;  // a waiting mode change stays queued (a device re-creation runs)
    // run flags
    bool running = false;
    int32_t active = 0;
    int32_t closing = 0;
    int32_t destroyed = 0;
    int32_t quitRequested = 0;  // the end flag
    bool overMenuBar = false;   // full screen: the pointer is on the menu bar or caption
    bool anotherCopyRunning = false;  // the last start met the main window of another running copy
    // facts measured at start-up
    int32_t windowsVersion = kWindowsVersion7;
    DWORD mainThreadId = 0;
    int32_t processorCount = 0;
    int32_t codePageKind = 1;
    int32_t codePageNumber = 932;
    bool performanceCounter = false;
    int64_t performanceFrequency = 0;
    void* compositionEntry = nullptr;  // DwmEnableComposition, when the system has it
    int32_t compositionState = -1;     // -1: never set
    int32_t fpuPreserve = 0;           // non-zero: DirectDraw and the device keep the FPU's precision
    bool comStarted = false;
    bool logOpened = false;
};

WindowState& Window();

// Start-up and end steps kept in their own files.
int CreateMainWindow();
void DestroyMainWindow();
void ApplyWindowMode();
void ApplyCursorVisibility();
int EndLibraryUnlocked();
bool IsLibraryEnding();

// The display size full screen runs at: a 320x240 screen is shown as 640x480.
void FullScreenSize(int32_t* width, int32_t* height);

// Holds the library lock for its scope.
class LibraryLockGuard {
public:
    LibraryLockGuard() { EnterLibraryLock(); }
    ~LibraryLockGuard() { LeaveLibraryLock(); }
    LibraryLockGuard(const LibraryLockGuard&) = delete;
    LibraryLockGuard& operator=(const LibraryLockGuard&) = delete;
};
