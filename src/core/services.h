// The calls that the library's start-up, end, message pump, window procedure
// and on-screen log make into the other subsystems, reached through the hook
// table (core/library_hooks.h). Each subsystem defines its own.
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
// A colour of the screen's pixel format.
uint32_t MakeColor(int32_t red, int32_t green, int32_t blue);
// The window's paint: shows the screen again (a full-screen device first
// moves its drawing to the sub back buffer).
int32_t FlushSubBufferAndPresent();
// 1 while the Direct3D 9 device draws.
int32_t IsDirect3DActive();
// The device's scene bracket and its dialog-box mode (a full-screen window
// shows its menu through it); without a device they do nothing.
void EndDeviceScene();
int32_t SetDeviceDialogBoxMode(int32_t flag);
int32_t ResetDeviceDialogBoxMode(int32_t flag);
// 1 while the device is in the dialog-box mode last set; a device made anew is not.
int32_t DeviceDialogBoxMode();

// movie
int32_t InitYuvTables();
int32_t PauseAllMovies();
int32_t ResumeAllMovies();
int32_t RefreshMovieOverlays();

// font
// Reads ahead, on a thread of its own, the face the default font will ask
// for, while the window and the graphics start.
int32_t PrepareDefaultFontFace();
int32_t CreateFontToHandle(const char* faceName, int32_t size, int32_t thickness, int32_t type, int32_t charset,
                           int32_t edgeSize, int32_t italic, int32_t slot, int32_t checkValue);
int32_t DeleteFontHandle(int32_t font);
int32_t SetFontLostFlag(int32_t font, int32_t* lostFlag);
int32_t CheckFontHandle(int32_t font);
int32_t DrawStringByFont(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font, uint32_t edgeColor,
                         int32_t vertical);
