// Keyboard and mouse state for the input stand-ins, kept from the events SDL
// queues (an event watch, so that nothing is taken off the queue and events
// pushed by tests count like real ones). Keys are named by DirectInput key
// codes, which are PC scan codes: the physical key, whatever the layout.
#pragma once

#include <cstdint>

namespace platform::sdl {

// Starts SDL's event queue (when nobody has) and the watch. Idempotent; false
// when SDL's events cannot start.
bool StartInputWatch();

// The latch every state read applies: a press that was released before a
// reader's next read still reads as down for that one read, so that a click
// or key press shorter than the time between two reads is not lost. Each
// reader keeps the press count it last saw (seen) and passes it here.
inline bool LatchedDown(bool down, uint32_t presses, uint32_t* seen) {
    bool pressedSince = presses != *seen;
    *seen = presses;
    return down || pressedSince;
}

// The key states by DirectInput key code, 0x80 while down (or latched), else
// 0. seen holds the reader's press counts of every key and is brought up to
// date.
void ReadKeyboardState(uint8_t keys[256], uint32_t seen[256]);

// Totals since the watch started: pointer motion and wheel (120 a notch), the
// buttons 0 left, 1 right, 2 middle, 3 and 4 the side buttons (0x80 down,
// without a latch) and how often each was pressed.
struct MouseTotals {
    int64_t x;
    int64_t y;
    int64_t wheel;
    uint8_t buttons[8];
    uint32_t presses[8];
};
void ReadMouseTotals(MouseTotals* totals);

// How often a joystick's button was pressed since the watch started (buttons
// 0 to 127; 0 for others and for joysticks never seen).
uint32_t JoystickButtonPresses(int32_t joystick, int button);

// A change seen by the watch, handed to every listener on the thread that
// queued the event.
struct InputChange {
    enum Kind : uint8_t { Key, Mouse, Joystick } kind;
    uint8_t key;        // Key: the DirectInput key code
    bool down;          // Key: pressed (true) or released
    int32_t joystick;   // Joystick: the SDL instance id
    uint32_t timeMs;    // SDL's time stamp of the event
};
using InputListener = void (*)(void* context, const InputChange& change);
// Returns an id for RemoveInputListener, or -1.
int AddInputListener(InputListener listener, void* context);
// After it returns the listener is not running and is not called again.
void RemoveInputListener(int id);

// Key code conversion; 0 when the key has no counterpart.
int ScancodeToKeyCode(int scancode);
int KeyCodeToScancode(int keyCode);

// Tests and tools: queue the SDL events a real key or mouse would, so that
// the watch (and the window's message pump, when it runs) sees them.
bool PushTestKey(int keyCode, bool down);
bool PushTestMouseButton(int button, bool down);  // 0 left, 1 right, 2 middle, 3, 4
bool PushTestMouseMotion(int dx, int dy);
bool PushTestMouseWheel(int notches);
// Tests: forget every held key and button (as after a focus loss) and drop
// the events waiting in SDL's queue.
void ResetInputStateForTest();

}  // namespace platform::sdl
