// The settings window shown before the game: a small plain window (class
// "velumi", client area about 320x240) in which the player picks the language
// of the game's texts and the display (640x480 window, 640x480 full screen,
// 320x240 window), then presses "起動(Run)" or "終了(Quit)". Every label is in
// both languages at once. The choices go into g_config (language, display)
// and to "save\config" however the window closes; only Run starts the game.
// Keys do nothing to the controls: the loop does no dialog navigation.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

// The window's class.
inline constexpr const char* kSettingsClassName = "velumi";

// Control ids of the window's buttons; the radio buttons are numbered 1, 2
// (language) and 1, 2, 3 (display) inside their group boxes.
inline constexpr int kSettingsRunId = 1000;
inline constexpr int kSettingsQuitId = 1001;

// Loads the settings, shows the window and runs its message loop until it is
// closed, then saves the settings. 0 when Run was pressed, 1 when the window
// was closed otherwise (Quit, the close box), -1 when its class or the window
// could not be created (the settings file is then not written). Sets
// SettingsWindowResult (0 on Run). The window class stays registered.
int32_t RunSettingsWindow(HINSTANCE instance = nullptr);

// The window procedure of the class "velumi".
LRESULT SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The language and display group boxes, parents of their radio buttons (null
// while the window is not open).
HWND SettingsLanguageGroup();
HWND SettingsDisplayGroup();

// For unattended runs: the window presses this button (kSettingsRunId or
// kSettingsQuitId) by itself as soon as it is open; 0, the default, waits for
// the player.
void SetSettingsWindowAutoPress(int buttonId);
