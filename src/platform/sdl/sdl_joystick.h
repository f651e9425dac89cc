// SDL2 joysticks for the input stand-ins: the attached joysticks, their axes,
// buttons and hats (read by polling, never from the event queue), and
// vibration through SDL haptic effects or, on a joystick without them, rumble.
#pragma once

#include <cstdint>

namespace platform::sdl {

// Starts SDL's joystick (and, when it can, haptic) support. Idempotent; false
// when joysticks cannot be used at all.
bool StartJoysticks();

// Brings the joystick list and states up to date (SDL_JoystickUpdate).
void UpdateJoysticks();

// The joysticks attached now, indexed 0 to count - 1.
int JoystickCount();
struct JoystickInfo {
    int32_t id;            // SDL instance id: stays while the joystick is attached
    char name[260];
    uint8_t product[16];   // SDL's joystick GUID
    int axes;
    int buttons;
    int hats;
};
bool GetJoystickInfo(int index, JoystickInfo* info);

// An opened joystick. Opening the same joystick twice gives two handles.
struct Joystick;
Joystick* OpenJoystick(int32_t id);  // null when no joystick has that id
void CloseJoystick(Joystick* joystick);
// Presses before now are not latched for this handle (done on opening).
void ForgetJoystickPresses(Joystick* joystick);
bool IsJoystickAttached(const Joystick* joystick);
int JoystickAxisCount(const Joystick* joystick);
int JoystickButtonCount(const Joystick* joystick);
int JoystickHatCount(const Joystick* joystick);
int16_t JoystickAxis(const Joystick* joystick, int axis);       // -32768..32767; 0 when absent
// Down, or pressed and released since this handle's last read of the button
// (the latch of sdl_input.h); false when absent.
bool JoystickButton(const Joystick* joystick, int button);
// Hat bits as SDL gives them (1 up, 2 right, 4 down, 8 left; 0 centred).
uint8_t JoystickHat(const Joystick* joystick, int hat);

// ---- vibration --------------------------------------------------------------
// True when the joystick can vibrate (haptic effects or rumble).
bool CanVibrate(Joystick* joystick);

struct Vibration {
    enum Kind : uint8_t { Constant, Periodic } kind;
    int32_t level;         // -32767..32767 (its size is the strength)
    uint32_t periodMs;     // Periodic
    uint32_t lengthMs;     // 0: until stopped
    uint32_t attackMs;     // envelope (haptic devices only)
    uint32_t fadeMs;
    uint16_t attackLevel;
    uint16_t fadeLevel;
    bool polar;            // direction in hundredths of degrees, else cartesian
    int32_t direction[2];
};

// Places a vibration on the device; returns its slot (0 and up) or -1.
int AddVibration(Joystick* joystick, const Vibration& vibration);
bool ChangeVibration(Joystick* joystick, int slot, const Vibration& vibration);
// iterations: how often to play it, 0xFFFFFFFF for no end.
bool PlayVibration(Joystick* joystick, int slot, uint32_t iterations);
bool StopVibration(Joystick* joystick, int slot);
bool IsVibrationPlaying(Joystick* joystick, int slot);
void RemoveVibration(Joystick* joystick, int slot);
// 0..100; false when the device has no auto-centring.
bool SetAutocenter(Joystick* joystick, int percent);

// ---- test pads: SDL virtual joysticks -------------------------------------
// Attaches a pad; returns its instance id, or -1. A pad made with rumble
// records what it is asked to do (GetTestPadRumble).
int32_t AttachTestPad(const char* name, int axes, int buttons, int hats, bool rumble);
bool SetTestPadAxis(int32_t id, int axis, int16_t value);
// The change is reported at once, as a device reports every change.
bool SetTestPadButton(int32_t id, int button, bool down);
bool SetTestPadHat(int32_t id, int hat, uint8_t bits);
bool DetachTestPad(int32_t id);
struct TestPadRumble {
    uint16_t low;   // the last levels asked for
    uint16_t high;
    int calls;      // how many times rumble was asked for
};
TestPadRumble GetTestPadRumble(int32_t id);

}  // namespace platform::sdl
