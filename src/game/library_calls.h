// The library calls the game's frame loop, widgets, polling, sound effects and
// music make, gathered in one table so that a test can watch them (and stand
// in for them). By default every entry is the library's own function; the
// game calls through the table, scenes may call the library directly.
#pragma once

#include "platform/pxtone/pxtone.h"
#include "platform/wintypes.h"

#include <cstdint>

struct GameLibraryCalls {
    // frame loop
    int (*pumpMessages)();
    int32_t (*isKeyDown)(int32_t keyCode);
    int (*clearDrawTarget)(const RECT* rect);
    int (*presentScreen)();
    // drawing
    int (*drawImageRect)(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                         int32_t image, int32_t transparent, int32_t mirrored);
    int (*drawRectangle)(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color, int32_t filled);
    int (*setBlendMode)(int32_t mode, int32_t parameter);
    int (*getImageSize)(int32_t image, int32_t* width, int32_t* height);
    int (*loadImageFile)(const char* fileName, int32_t flag);
    // input
    int (*getMousePosition)(int32_t* x, int32_t* y);
    int32_t (*getMouseButtons)();
    int32_t (*getPadState)(int32_t inputType);
    // sound effects
    int32_t (*loadSound)(const char* fileName, int32_t bufferCount, int32_t partnerHandle);
    int32_t (*deleteSound)(int32_t handle, int32_t flag);
    int32_t (*setSoundVolume)(int32_t volume, int32_t handle);
    int32_t (*playSoundHandle)(int32_t handle, int32_t playType, int32_t fromStart);
    // music library
    BOOL (*tuneReady)(HWND window, int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample,
                      float bufferSeconds, BOOL directSound, PXTONEPLAY_CALLBACK callback);
    BOOL (*tuneLoad)(HMODULE module, const char* typeName, const char* path);
    BOOL (*tuneSetVolume)(float volume);
    BOOL (*tuneStart)(int32_t startSample, int32_t fadeInMilliseconds);
    int32_t (*tuneStop)();
    BOOL (*tuneRelease)();
    BOOL (*musicRelease)();
};

GameLibraryCalls& GameCalls();
// Every entry back to the library's own function.
void ResetGameCalls();
