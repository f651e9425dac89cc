// The calls that the library's start-up, end, message pump and window
// procedure make into the other subsystems. Each subsystem defines its own.
#pragma once

#include <cstdint>

// input
int32_t InitializeInput();
int32_t TerminateInput();
int32_t RefreshKeyboard();
int32_t UpdatePadVibration();
int32_t ResetInputCooperativeLevel();
int32_t ApplyPadVibration();
int32_t SetInputFlagA();
int32_t ClearInputFlagA();
int32_t SetInputFlagB();
int32_t ClearInputFlagB();

// sound
int32_t InitializeSound();
int32_t TerminateSound();
int32_t ReleaseTemporaryPlayHandle();
int32_t ProcessStreamSounds();
int32_t ProcessSoftSoundPlayers();
int32_t CheckMidiPlayState();
int32_t HandleMidiNotify(uintptr_t wParam, intptr_t lParam);

// graphics
int32_t InitGraphics();
int32_t EndGraphics();
// After the pump has switched between window and full screen: re-creates the
// screen when its size or doubling changed (images are kept).
int32_t ApplyGraphicsWindowMode();
// The Direct3D 9 back end's model module: started after graphics (only while
// the device draws), ended before it.
int32_t InitModelHandles();
int32_t TerminateModelHandles();
