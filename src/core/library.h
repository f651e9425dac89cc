// The library's life cycle, main window, message pump, lock and the
// configuration setters called before start-up.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

// ---- start-up, end, pump --------------------------------------------------
int InitLibrary();    // 0 on success or when already running; -1 (library ended again) on failure
int EndLibrary();     // 0; also when the library was not started
int PumpMessages();   // 0 while the program runs, -1 once it is to end
int PumpMessagesUnlocked();
int WaitWhileInactive();
[[noreturn]] void ExitWithError(const char* text);
int IsLibraryRunning();
// 1 when the last InitLibrary failed because another running copy of the
// program already has a main window of the same class (the double-start
// check), else 0.
int AnotherCopyIsRunning();
// 1 when a running program already has a main window of the class that a
// main window titled `title` takes (null: no title set), else 0: the
// double-start check InitLibrary makes before it creates its window, for a
// program to make before start-up and before any window of its own.
int FindRunningCopy(const char* title);

// ---- configuration (before InitLibrary; several also apply live) ----------
int EnableLogOutput(int32_t flag);
int SetWindowIcon(int32_t resourceId);
int SetWindowTitle(const char* title);  // Shift-JIS
int ChangeWindowMode(int32_t flag);     // 1 window, 0 full screen
// While held, a window-mode change asked for stays queued: the first pump
// pass after the hold carries it out. Returns the hold it replaced.
bool HoldWindowModeChange(bool hold);
int ShowMouseCursor(int32_t flag);
int SetAlwaysRunFlag(int32_t flag);     // keep running while inactive (window mode)
int SetOutApplicationLogValidFlag(int32_t flag);
// The FPU-preserve setting (0 until set): when non-zero DirectDraw gets
// DDSCL_FPUPRESERVE and the device D3DCREATE_FPU_PRESERVE, so that they keep
// the FPU's precision. Takes effect at the next graphics start.
int SetFpuPreserveFlag(int32_t flag);
int32_t FpuPreserveSetting();
// The screen mode the main window is made for (the graphics subsystem's
// screen setter passes its values on; its start-up changes the display of a
// full screen); 640x480, 32 bits, 60 Hz until set. 0, or -1 for a size of 0
// or less.
int SetLibraryScreenMode(int32_t width, int32_t height, int32_t bitDepth, int32_t refreshRate);
int GetLibraryScreenMode(int32_t* width, int32_t* height, int32_t* bitDepth, int32_t* refreshRate);
// The window-mode client size as a multiple of the screen size (1 until set;
// applied live). GetMousePosition divides by it in window mode.
int SetWindowSizeScale(double scale);

// ---- window and its state -------------------------------------------------
HWND GetMainWindow();
int IsWindowActive();
int IsWindowClosing();
int IsWindowMode();
int IsQuitRequested();
int IsWindowDestroyed();
int32_t WindowsVersionCode();
DWORD MainThreadId();
int32_t LogicalProcessorCount();
int32_t CodePageKind();
int32_t CodePageNumber();
int GetMousePosition(int32_t* x, int32_t* y);
int GetClientScreenRect(RECT* rect);
// Calls DwmEnableComposition(flag) only when the state differs from the last
// one set, and remembers it; without "dwmapi.dll" it only remembers. 0.
int SetDesktopComposition(int32_t flag);
// 1 when DwmEnableComposition was found in "dwmapi.dll" at window creation.
int HasDesktopCompositionEntry();

// ---- time -------------------------------------------------------------------
int32_t GetTimeMs();
int64_t GetTimeUs(int32_t flag);

// ---- the library lock: recursive for its owner, first come first served ---
void EnterLibraryLock();
void LeaveLibraryLock();
