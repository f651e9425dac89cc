// The calls the library's start-up, end, message pump, main window procedure
// and on-screen log make into the other subsystems and the process, gathered
// in one table so that a test can stand in for them (and see their order), and
// so that the core includes nothing of the subsystems above it. By default
// each entry is the subsystem's own function (core/services.h).
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
    uint32_t (*makeColor)(int32_t red, int32_t green, int32_t blue);
    int32_t (*flushSubBufferAndPresent)();
    int32_t (*isDirect3DActive)();
    void (*endDeviceScene)();
    int32_t (*setDeviceDialogBoxMode)(int32_t flag);
    int32_t (*resetDeviceDialogBoxMode)(int32_t flag);
    int32_t (*deviceDialogBoxMode)();
    // movie
    int32_t (*initYuvTables)();
    int32_t (*pauseAllMovies)();
    int32_t (*resumeAllMovies)();
    int32_t (*refreshMovieOverlays)();
    // font: the default face read ahead; the calls of the on-screen log
    int32_t (*prepareDefaultFontFace)();
    int32_t (*createFontToHandle)(const char* faceName, int32_t size, int32_t thickness, int32_t type, int32_t charset,
                                  int32_t edgeSize, int32_t italic, int32_t slot, int32_t checkValue);
    int32_t (*deleteFontHandle)(int32_t font);
    int32_t (*setFontLostFlag)(int32_t font, int32_t* lostFlag);
    int32_t (*checkFontHandle)(int32_t font);
    int32_t (*drawStringByFont)(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font,
                                uint32_t edgeColor, int32_t vertical);
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
