// The per-frame message pump and the wait while the main window is inactive.
#include "core/library.h"
#include "core/library_hooks.h"
#include "core/library_state.h"
#include "platform/user32/user32.h"

namespace {

constexpr int kMessagesPerPass = 5;
constexpr DWORD kInactiveSleepMs = 24;

// Dispatches up to kMessagesPerPass waiting messages; a quit message sets the end flag.
void DispatchWaitingMessages() {
    MSG msg;
    for (int n = 0; n < kMessagesPerPass && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++n) {
        if (msg.message == WM_QUIT) {
            Window().quitRequested = 1;
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CarryOutWindowModeChange() {
    WindowState& w = Window();
    if (!w.pendingModeChange || w.modeChangeHeld) return;
    w.pendingModeChange = false;
    if (w.pendingWindowMode == w.windowMode) return;
    w.windowMode = w.pendingWindowMode;
    ApplyWindowMode();
    GetLibraryHooks().applyGraphicsWindowMode();  // the screen may change size or doubling
}

// A full-screen window with a menu on the software path keeps the device's
// dialog-box mode off (there is no device to switch: the call does nothing).
void HandleFullScreenMenu() {
    const WindowState& w = Window();
    LibraryHooks& hooks = GetLibraryHooks();
    if (w.windowMode || w.mainWindow == nullptr || hooks.isDirect3DActive() != 0) return;
    if (GetMenu(w.mainWindow) != nullptr) hooks.resetDeviceDialogBoxMode(0);
}

// Waiting applies to a running library's main window that is inactive, unless
// the keep-running switch holds it in window mode. Once the library closes
// (its end pumps while sound and input wind down) nothing waits.
bool MustWaitInactive() {
    const WindowState& w = Window();
    return w.running && w.mainWindow != nullptr && !w.active && !(w.alwaysRun && w.windowMode) &&
           !w.closing && !IsLibraryEnding();
}

}  // namespace

int PumpMessagesUnlocked() {
    LibraryHooks& hooks = GetLibraryHooks();
    DispatchWaitingMessages();
    CarryOutWindowModeChange();
    HandleFullScreenMenu();
    while (MustWaitInactive()) {
        hooks.refreshMovieOverlays();
        hooks.sleep(kInactiveSleepMs);
        DispatchWaitingMessages();
    }
    if (IsLibraryEnding()) return -1;
    hooks.refreshKeyboard();
    hooks.updatePadVibration();
    if (LogicalProcessorCount() <= 1) {
        hooks.processStreamSounds();
        hooks.processSoftSoundPlayers();
    }
    hooks.checkMidiPlayState();
    return IsLibraryEnding() ? -1 : 0;
}

int PumpMessages() {
    LibraryLockGuard lock;
    return PumpMessagesUnlocked();
}

int WaitWhileInactive() {
    const WindowState& w = Window();
    if (w.active || w.closing || IsLibraryEnding()) return 0;
    if (w.windowMode && w.alwaysRun) return 0;
    while (!Window().active && !IsLibraryEnding() && Window().mainWindow != nullptr) {
        if (PumpMessagesUnlocked() != 0) return -1;
    }
    return IsLibraryEnding() ? -1 : 0;
}
