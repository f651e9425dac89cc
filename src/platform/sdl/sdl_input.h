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

// The key states by DirectInput key code: 0x80 while down, else 0.
void ReadKeyboardState(uint8_t keys[256]);

// Totals since the watch started: pointer motion and wheel (120 a notch), and
// the buttons 0 left, 1 right, 2 middle, 3 and 4 the side buttons (0x80 down).
struct MouseTotals {
    int64_t x;
    int64_t y;
    int64_t wheel;
    uint8_t buttons[8];
};
void ReadMouseTotals(MouseTotals* totals);

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
