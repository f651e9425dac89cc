// The calls the library's start-up, end, message pump and main window
// procedure make into the other subsystems and the process, gathered in one
// table so that a test can stand in for them (and see their order). By default
// each entry is the subsystem's own function.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

struct LibraryHooks {
    // input
    int32_t (*initializeInput)();
    int32_t (*terminateInput)();
    int32_t (*refreshKeyboard)();
    int32_t (*updatePadVibration)();
    int32_t (*resetInputCooperativeLevel)();
    int32_t (*applyPadVibration)();
    int32_t (*setInputFlagA)();
    int32_t (*clearInputFlagA)();
    int32_t (*setInputFlagB)();
    int32_t (*clearInputFlagB)();
    // sound
    int32_t (*initializeSound)();
    int32_t (*terminateSound)();
    int32_t (*releaseTemporaryPlayHandle)();
    int32_t (*processStreamSounds)();
    int32_t (*processSoftSoundPlayers)();
    int32_t (*checkMidiPlayState)();
    int32_t (*handleMidiNotify)(uintptr_t wParam, intptr_t lParam);
    // graphics
    int32_t (*initGraphics)();
    int32_t (*endGraphics)();
    int32_t (*applyGraphicsWindowMode)();
    int32_t (*initModelHandles)();
    int32_t (*terminateModelHandles)();
    // process
    void (*sleep)(DWORD milliseconds);
    // Ends the process; a test's stand-in leaves by throwing (should it return,
    // the library ends the process itself).
    void (*exitProcess)(int code);
};

LibraryHooks& GetLibraryHooks();
void ResetLibraryHooks();

// Puts every setting of the configuration setters back to its start value
// (title, icon, modes, switches); -1 while the library runs.
int ResetLibraryConfiguration();

// The library lock's state, for tests: threads waiting for it, and how deep
// the calling thread holds it (0: not at all).
int LibraryLockWaitingCount();
int LibraryLockDepth();
