// Input: the keyboard, the mouse buttons and up to 16 joypads, read through
// DirectInput (version 7, else 8) or, without it, through the system key
// state and the multimedia joystick calls; the keyboard-to-pad key map; and
// force-feedback vibration per joypad.
//
// Start-up, end, the per-pass refreshes and the activation hooks are the
// library's (core/services.h): InitializeInput, TerminateInput,
// RefreshKeyboard, UpdatePadVibration, ResetInputCooperativeLevel,
// ApplyPadVibration and the flag setters of window messages 0x46F and 0x470.
// Every call runs on the main thread.
#pragma once

#include "core/services.h"

#include <cstdint>

// ---- pad state word (GetPadState) -------------------------------------------
constexpr int32_t kPadDown = 0x1;   // Y above 0
constexpr int32_t kPadLeft = 0x2;   // X below 0
constexpr int32_t kPadRight = 0x4;  // X above 0
constexpr int32_t kPadUp = 0x8;     // Y below 0
// Button n (0 to 23) of a pad.
constexpr int32_t PadButtonBit(int n) { return int32_t{1} << (4 + n); }
// Input type: the pad number 1 to 16, ORed with kPadWithKeyMap to add the
// keys of that pad's key map; kPadWithKeyMap alone is the keyboard through
// pad 1's map.
constexpr int32_t kPadWithKeyMap = 0x1000;
constexpr int32_t kMaxPads = 16;
constexpr int32_t kKeyMapSlots = 32;

// ---- mouse buttons (GetMouseButtons) ----------------------------------------
constexpr int32_t kMouseLeft = 1;
constexpr int32_t kMouseRight = 2;
constexpr int32_t kMouseMiddle = 4;

// ---- keys and mouse -----------------------------------------------------------
// A key or button pressed and released between two reads is reported as down
// by the first read of it afterwards, once for each reader (IsKeyDown, the key
// map of GetPadState, GetMouseButtons), whatever other reads and keyboard
// refreshes come between.
// 1 when the key with that DirectInput key code (0 to 255) is down, else 0
// (also for a code outside 0 to 255). Starts input when it is not running
// and returns InitializeInput's result then, 0 while the window is closing.
int32_t IsKeyDown(int32_t keyCode);
// The held buttons: 1 left, 2 right, 4 middle; with DirectInput also 8 to 128
// for the fourth to eighth button. 0 when the state cannot be read.
int32_t GetMouseButtons();

// ---- joypads ------------------------------------------------------------------
// The pad state word of a pad (input type above). 0 for a pad number beyond
// the pads in use without the key map, and for a negative type or a pad number
// above 16. Starts input when it is not running (see IsKeyDown).
int32_t GetPadState(int32_t inputType);
// The number of pads in use: those found with DirectInput, 16 without it.
int32_t GetPadCount();
// The pad's device names (each up to 259 bytes, Shift-JIS; buffers of 260);
// empty without DirectInput. -1 for a pad number outside the pads in use.
int32_t GetPadName(int32_t inputType, char* instanceName, char* productName);
// Brings one pad record (index 0 to 15) up to date; -1 for an index outside
// 0 to 15 or when a lost pad cannot be read because input has ended.
int32_t RefreshPad(int32_t padIndex);
// Releases all pads and looks for the attached game controllers again; -1
// when input is not running on DirectInput.
int32_t EnumeratePads();
int32_t ReleaseAllPads();

// ---- key map ------------------------------------------------------------------
// Sets slot (0 to 31) of pad padNumber (1 to 16): the slot's bit is on while
// any of the four DirectInput key codes is down; a negative code is empty.
// 0, or -1 for a pad number, slot or code out of range (codes above 255).
int32_t SetPadKeyMap(int32_t padNumber, int32_t slot, int32_t code1, int32_t code2, int32_t code3, int32_t code4);

// ---- vibration ----------------------------------------------------------------
// Makes a pad vibrate: power 0 to 10000 (above 5000 the sine effect joins the
// constant force), for durationMs milliseconds (negative: until stopped).
// 0, or -1 for a pad number outside the pads in use, a pad without effects or
// a power outside 0 to 10000. Starts input when it is not running.
int32_t StartPadVibration(int32_t inputType, int32_t power, int32_t durationMs);
// Stops a pad's vibration. Always 0 (or InitializeInput's result when input
// was not running).
int32_t StopPadVibration(int32_t inputType);

// ---- switches (kept across restarts) ------------------------------------------
// 1: run without DirectInput from the next start-up (set by start-up itself
// when DirectInput cannot be had; 0 lets the next start-up try again).
int32_t SetNoDirectInputFlag(int32_t flag);
// Nonzero: pads get no force-feedback effects (from the next enumeration).
int32_t SetNoForceFeedbackFlag(int32_t flag);
// Nonzero: keys and mouse buttons are read through DirectInput on every
// Windows version.
int32_t SetForceDirectInputFlag(int32_t flag);
