// The input subsystem's state block and the calls its files share.
#pragma once

#include "input/input.h"
#include "platform/dinput/dinput.h"
#include "platform/wintypes.h"

#include <cstdint>

namespace input {

// One joypad.
struct PadRecord {
    IDirectInputDeviceA* device;  // null without DirectInput
    IDirectInputEffect* constantForce;
    IDirectInputEffect* sine;
    HANDLE event;  // manual reset, signalled by DirectInput on a change
    DIJOYSTATE state;
    int32_t hasZAndR;  // without DirectInput: the joystick has a Z and an R axis
    uint32_t pollTime;
    int32_t vibrationRequested;
    int32_t vibrationPower;     // 0..10000
    int32_t vibrationDuration;  // milliseconds, negative: until stopped
    int32_t vibrationElapsed;
    uint32_t vibrationTime;  // GetTimeMs of the last count
    int32_t constantPlaying;
    int32_t sinePlaying;
    char instanceName[MAX_PATH];
    char productName[MAX_PATH];
};

struct InputBlock {
    int32_t noDirectInput;     // survives a restart
    int32_t noForceFeedback;   // survives a restart
    int32_t forceDirectInput;  // survives a restart
    int32_t directInput8;
    IUnknown* directInput;  // null: not started; NoDirectInput(): started without it
    IDirectInputDeviceA* mouse;
    IDirectInputDeviceA* keyboard;
    HANDLE keyboardEvent;
    uint32_t keyboardTime;
    uint8_t keys[256];  // by DirectInput key code, bit 7 down
    // Presses seen by a refresh and not yet reported, by DirectInput key code:
    // one bit per key reader (kSingleKeyReader, kKeyMapReader).
    uint8_t unreportedKeys[256];
    // Presses reported since the last refresh, by key code and reader: the
    // reader's later reads up to the next refresh give the same answer.
    uint8_t reportedKeys[256];
    uint8_t systemKeys[256];  // the system key state as the last refresh read it
    int32_t systemKeysValid;
    int32_t keyMapSet;  // survives a restart
    int32_t keyMap[kMaxPads][kKeyMapSlots][4];  // survives a restart
    int32_t mouseBytesValid;
    uint8_t mouseLeft;
    uint8_t mouseRight;
    uint8_t mouseMiddle;
    uint8_t unreportedButtons;  // mouse buttons pressed and not yet reported: 1 left, 2 right, 4 middle
    uint8_t reportedButtons;    // of those, the ones reported since the last refresh
    int32_t padCount;
    PadRecord pads[kMaxPads];
    int32_t flagA;
    int32_t flagB;
};

extern InputBlock g_input;
// Re-entry guards outside the block, not cleared by start-up.
extern uint8_t g_keyboardRefreshGuard;
extern int32_t g_startupGuard;

// The DirectInput-object value that means "running without DirectInput".
inline IUnknown* NoDirectInput() { return reinterpret_cast<IUnknown*>(static_cast<intptr_t>(-1)); }
inline bool RunningWithDirectInput() {
    return g_input.directInput != nullptr && g_input.directInput != NoDirectInput();
}

// What input asks of the library and the window system. Tests replace it.
struct InputHost {
    HWND (*mainWindow)();
    int (*isWindowActive)();
    int (*isWindowClosing)();
    int (*waitWhileInactive)();
    int (*pumpMessages)();  // one pass without the lock; nonzero once the program is to end
    int32_t (*windowsVersion)();
    DWORD (*mainThreadId)();
    void (*exitWithError)(const char* text);  // does not return
    DWORD (*timeGetTime)();
    BOOL (*getKeyboardState)(BYTE* keys);
    SHORT (*getKeyState)(int vk);  // bit 15 down, without the press latch of getKeyboardState
};
const InputHost& Host();
// Tests: use another host (null: the library's).
void SetHostForTest(const InputHost* host);

// GetTimeMs of the library: the millisecond clock without its top bit.
inline uint32_t GetTimeMsFromHost() { return Host().timeGetTime() & 0x7FFFFFFFu; }

// ---- presses between reads (input_keyboard.cpp) ---------------------------------
// A refresh reads every key at once, and the system reports a key pressed and
// released since its last read as down for that one read. So that no other
// read of the state loses such a press, each refresh notes the presses it sees,
// and each reader reports a noted press at its own first read of that key or
// button, however many refreshes and other reads come between. A reported
// press stays in the stored state until the next refresh, so that every read
// between two refreshes gets the same answer.
constexpr uint8_t kSingleKeyReader = 1;  // IsKeyDown
constexpr uint8_t kKeyMapReader = 2;     // the key map of GetPadState
// Down as of the last refresh, pressed since this reader last reported the
// key, or reported by it since the last refresh (code 0 to 255); the reader's
// note is left for NoteKeyReported.
bool KeyReadsDown(int32_t code, uint8_t reader);
// The reader has reported the key: its press is kept until the next refresh.
void NoteKeyReported(int32_t code, uint8_t reader);

// The device for a guid, made the way the DirectInput version in use makes
// devices; null on failure.
IDirectInputDeviceA* CreateInputDevice(REFGUID guid);

}  // namespace input
