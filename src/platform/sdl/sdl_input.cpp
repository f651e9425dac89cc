#include "platform/sdl/sdl_input.h"

#include <SDL2/SDL.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace platform::sdl {
namespace {

// SDL scan code (USB usage) to PC scan code (DirectInput key code).
struct KeyPair {
    SDL_Scancode scancode;
    uint8_t keyCode;
    SDL_Keycode sym;  // the key's symbol on a US layout, 0: SDL_SCANCODE_TO_KEYCODE
};

const KeyPair kKeys[] = {
    {SDL_SCANCODE_A, 0x1E, 'a'}, {SDL_SCANCODE_B, 0x30, 'b'}, {SDL_SCANCODE_C, 0x2E, 'c'},
    {SDL_SCANCODE_D, 0x20, 'd'}, {SDL_SCANCODE_E, 0x12, 'e'}, {SDL_SCANCODE_F, 0x21, 'f'},
    {SDL_SCANCODE_G, 0x22, 'g'}, {SDL_SCANCODE_H, 0x23, 'h'}, {SDL_SCANCODE_I, 0x17, 'i'},
    {SDL_SCANCODE_J, 0x24, 'j'}, {SDL_SCANCODE_K, 0x25, 'k'}, {SDL_SCANCODE_L, 0x26, 'l'},
    {SDL_SCANCODE_M, 0x32, 'm'}, {SDL_SCANCODE_N, 0x31, 'n'}, {SDL_SCANCODE_O, 0x18, 'o'},
    {SDL_SCANCODE_P, 0x19, 'p'}, {SDL_SCANCODE_Q, 0x10, 'q'}, {SDL_SCANCODE_R, 0x13, 'r'},
    {SDL_SCANCODE_S, 0x1F, 's'}, {SDL_SCANCODE_T, 0x14, 't'}, {SDL_SCANCODE_U, 0x16, 'u'},
    {SDL_SCANCODE_V, 0x2F, 'v'}, {SDL_SCANCODE_W, 0x11, 'w'}, {SDL_SCANCODE_X, 0x2D, 'x'},
    {SDL_SCANCODE_Y, 0x15, 'y'}, {SDL_SCANCODE_Z, 0x2C, 'z'},
    {SDL_SCANCODE_1, 0x02, '1'}, {SDL_SCANCODE_2, 0x03, '2'}, {SDL_SCANCODE_3, 0x04, '3'},
    {SDL_SCANCODE_4, 0x05, '4'}, {SDL_SCANCODE_5, 0x06, '5'}, {SDL_SCANCODE_6, 0x07, '6'},
    {SDL_SCANCODE_7, 0x08, '7'}, {SDL_SCANCODE_8, 0x09, '8'}, {SDL_SCANCODE_9, 0x0A, '9'},
    {SDL_SCANCODE_0, 0x0B, '0'},
    {SDL_SCANCODE_RETURN, 0x1C, SDLK_RETURN}, {SDL_SCANCODE_ESCAPE, 0x01, SDLK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, 0x0E, SDLK_BACKSPACE}, {SDL_SCANCODE_TAB, 0x0F, SDLK_TAB},
    {SDL_SCANCODE_SPACE, 0x39, ' '}, {SDL_SCANCODE_MINUS, 0x0C, '-'}, {SDL_SCANCODE_EQUALS, 0x0D, '='},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A, '['}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B, ']'},
    {SDL_SCANCODE_BACKSLASH, 0x2B, '\\'}, {SDL_SCANCODE_SEMICOLON, 0x27, ';'},
    {SDL_SCANCODE_APOSTROPHE, 0x28, '\''}, {SDL_SCANCODE_GRAVE, 0x29, '`'}, {SDL_SCANCODE_COMMA, 0x33, ','},
    {SDL_SCANCODE_PERIOD, 0x34, '.'}, {SDL_SCANCODE_SLASH, 0x35, '/'}, {SDL_SCANCODE_CAPSLOCK, 0x3A, 0},
    {SDL_SCANCODE_F1, 0x3B, 0}, {SDL_SCANCODE_F2, 0x3C, 0}, {SDL_SCANCODE_F3, 0x3D, 0},
    {SDL_SCANCODE_F4, 0x3E, 0}, {SDL_SCANCODE_F5, 0x3F, 0}, {SDL_SCANCODE_F6, 0x40, 0},
    {SDL_SCANCODE_F7, 0x41, 0}, {SDL_SCANCODE_F8, 0x42, 0}, {SDL_SCANCODE_F9, 0x43, 0},
    {SDL_SCANCODE_F10, 0x44, 0}, {SDL_SCANCODE_F11, 0x57, 0}, {SDL_SCANCODE_F12, 0x58, 0},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7, 0}, {SDL_SCANCODE_SCROLLLOCK, 0x46, 0}, {SDL_SCANCODE_PAUSE, 0xC5, 0},
    {SDL_SCANCODE_INSERT, 0xD2, 0}, {SDL_SCANCODE_HOME, 0xC7, 0}, {SDL_SCANCODE_PAGEUP, 0xC9, 0},
    {SDL_SCANCODE_DELETE, 0xD3, SDLK_DELETE}, {SDL_SCANCODE_END, 0xCF, 0}, {SDL_SCANCODE_PAGEDOWN, 0xD1, 0},
    {SDL_SCANCODE_RIGHT, 0xCD, 0}, {SDL_SCANCODE_LEFT, 0xCB, 0}, {SDL_SCANCODE_DOWN, 0xD0, 0},
    {SDL_SCANCODE_UP, 0xC8, 0}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x45, 0}, {SDL_SCANCODE_KP_DIVIDE, 0xB5, 0},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37, 0}, {SDL_SCANCODE_KP_MINUS, 0x4A, 0}, {SDL_SCANCODE_KP_PLUS, 0x4E, 0},
    {SDL_SCANCODE_KP_ENTER, 0x9C, 0}, {SDL_SCANCODE_KP_1, 0x4F, 0}, {SDL_SCANCODE_KP_2, 0x50, 0},
    {SDL_SCANCODE_KP_3, 0x51, 0}, {SDL_SCANCODE_KP_4, 0x4B, 0}, {SDL_SCANCODE_KP_5, 0x4C, 0},
    {SDL_SCANCODE_KP_6, 0x4D, 0}, {SDL_SCANCODE_KP_7, 0x47, 0}, {SDL_SCANCODE_KP_8, 0x48, 0},
    {SDL_SCANCODE_KP_9, 0x49, 0}, {SDL_SCANCODE_KP_0, 0x52, 0}, {SDL_SCANCODE_KP_PERIOD, 0x53, 0},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56, 0}, {SDL_SCANCODE_APPLICATION, 0xDD, 0},
    {SDL_SCANCODE_KP_EQUALS, 0x8D, 0}, {SDL_SCANCODE_KP_COMMA, 0xB3, 0},
    {SDL_SCANCODE_INTERNATIONAL1, 0x73, 0}, {SDL_SCANCODE_INTERNATIONAL2, 0x70, 0},
    {SDL_SCANCODE_INTERNATIONAL3, 0x7D, 0}, {SDL_SCANCODE_INTERNATIONAL4, 0x79, 0},
    {SDL_SCANCODE_INTERNATIONAL5, 0x7B, 0}, {SDL_SCANCODE_LCTRL, 0x1D, 0}, {SDL_SCANCODE_LSHIFT, 0x2A, 0},
    {SDL_SCANCODE_LALT, 0x38, 0}, {SDL_SCANCODE_LGUI, 0xDB, 0}, {SDL_SCANCODE_RCTRL, 0x9D, 0},
    {SDL_SCANCODE_RSHIFT, 0x36, 0}, {SDL_SCANCODE_RALT, 0xB8, 0}, {SDL_SCANCODE_RGUI, 0xDC, 0},
};

struct Listener {
    int id;
    InputListener function;
    void* context;
};

// One lock over the states and the listeners; recursive, so that a listener
// may read the states.
std::recursive_mutex& Lock() {
    static std::recursive_mutex m;
    return m;
}

constexpr int kCountedPadButtons = 128;

uint8_t g_keys[256];
uint32_t g_keyPresses[256];
MouseTotals g_mouse;
std::map<int32_t, std::array<uint32_t, kCountedPadButtons>> g_padPresses;
std::vector<Listener> g_listeners;
int g_nextListenerId = 1;
bool g_watching = false;

const KeyPair* FindByScancode(int scancode) {
    for (const KeyPair& pair : kKeys)
        if (pair.scancode == scancode) return &pair;
    return nullptr;
}

const KeyPair* FindByKeyCode(int keyCode) {
    for (const KeyPair& pair : kKeys)
        if (pair.keyCode == keyCode) return &pair;
    return nullptr;
}

int MouseButtonIndex(uint8_t sdlButton) {
    switch (sdlButton) {
        case SDL_BUTTON_LEFT: return 0;
        case SDL_BUTTON_RIGHT: return 1;
        case SDL_BUTTON_MIDDLE: return 2;
        case SDL_BUTTON_X1: return 3;
        case SDL_BUTTON_X2: return 4;
        default: return sdlButton >= 6 && sdlButton <= 8 ? sdlButton - 1 : -1;
    }
}

uint8_t SdlMouseButton(int index) {
    static const uint8_t kButtons[8] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1,
                                        SDL_BUTTON_X2, 6, 7, 8};
    return kButtons[index];
}

void Notify(const InputChange& change) {
    std::vector<Listener> listeners = g_listeners;  // a listener may remove itself
    for (const Listener& l : listeners) l.function(l.context, change);
}

bool TakeKey(const SDL_KeyboardEvent& key, InputChange* change) {
    if (key.repeat) return false;
    int code = ScancodeToKeyCode(key.keysym.scancode);
    if (code == 0) return false;
    bool down = key.state == SDL_PRESSED;
    if (down && g_keys[code] == 0) ++g_keyPresses[code];
    g_keys[code] = down ? 0x80 : 0;
    *change = InputChange{InputChange::Key, static_cast<uint8_t>(code), down, 0, key.timestamp};
    return true;
}

bool TakeMouse(const SDL_Event& event, InputChange* change) {
    switch (event.type) {
        case SDL_MOUSEMOTION:
            g_mouse.x += event.motion.xrel;
            g_mouse.y += event.motion.yrel;
            break;
        case SDL_MOUSEWHEEL: {
            int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            g_mouse.wheel += static_cast<int64_t>(notches) * 120;
            break;
        }
        default: {
            int index = MouseButtonIndex(event.button.button);
            if (index < 0) return false;
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            if (down && g_mouse.buttons[index] == 0) ++g_mouse.presses[index];
            g_mouse.buttons[index] = down ? 0x80 : 0;
        }
    }
    *change = InputChange{InputChange::Mouse, 0, false, 0, event.common.timestamp};
    return true;
}

void CountPadPress(const SDL_JoyButtonEvent& button) {
    if (button.state == SDL_PRESSED && button.button < kCountedPadButtons) ++g_padPresses[button.which][button.button];
}

int SDLCALL Watch(void*, SDL_Event* event) {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    InputChange change{};
    bool changed = false;
    switch (event->type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: changed = TakeKey(event->key, &change); break;
        case SDL_MOUSEMOTION:
        case SDL_MOUSEWHEEL:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: changed = TakeMouse(*event, &change); break;
        case SDL_JOYBUTTONDOWN:
        case SDL_JOYBUTTONUP: CountPadPress(event->jbutton); [[fallthrough]];
        case SDL_JOYAXISMOTION:
        case SDL_JOYBALLMOTION:
        case SDL_JOYHATMOTION:
        case SDL_JOYDEVICEREMOVED:
            // Every joystick event names its joystick in the same place.
            change = InputChange{InputChange::Joystick, 0, false, event->jdevice.which, event->common.timestamp};
            changed = true;
            break;
        default: break;
    }
    if (changed) Notify(change);
    return 0;
}

SDL_Keycode SymbolOf(const KeyPair& pair) {
    SDL_Keycode sym = SDL_GetKeyFromScancode(pair.scancode);
    if (sym != SDLK_UNKNOWN) return sym;
    return pair.sym != 0 ? pair.sym : SDL_SCANCODE_TO_KEYCODE(pair.scancode);
}

Uint32 FocusWindowId() {
    SDL_Window* window = SDL_GetKeyboardFocus();
    return window != nullptr ? SDL_GetWindowID(window) : 0;
}

}  // namespace

bool StartInputWatch() {
    // Serialised by a lock of its own, not the state lock: SDL's watch calls
    // take SDL's watcher lock, which an event being delivered holds while the
    // watch waits for the state lock.
    static std::mutex startLock;
    std::lock_guard<std::mutex> lock(startLock);
    // SDL forgets its watches when it is shut down as a whole; start again then.
    if (g_watching && SDL_WasInit(SDL_INIT_EVENTS) != 0) return true;
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0 && SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) return false;
    SDL_DelEventWatch(Watch, nullptr);
    SDL_AddEventWatch(Watch, nullptr);
    g_watching = true;
    return true;
}

void ReadKeyboardState(uint8_t keys[256], uint32_t seen[256]) {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    for (int k = 0; k < 256; ++k) keys[k] = LatchedDown(g_keys[k] != 0, g_keyPresses[k], &seen[k]) ? 0x80 : 0;
}

void ReadMouseTotals(MouseTotals* totals) {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    *totals = g_mouse;
}

uint32_t JoystickButtonPresses(int32_t joystick, int button) {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    auto it = g_padPresses.find(joystick);
    if (it == g_padPresses.end() || button < 0 || button >= kCountedPadButtons) return 0;
    return it->second[button];
}

int AddInputListener(InputListener listener, void* context) {
    if (listener == nullptr) return -1;
    std::lock_guard<std::recursive_mutex> lock(Lock());
    int id = g_nextListenerId++;
    g_listeners.push_back(Listener{id, listener, context});
    return id;
}

void RemoveInputListener(int id) {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    for (auto it = g_listeners.begin(); it != g_listeners.end(); ++it) {
        if (it->id == id) {
            g_listeners.erase(it);
            return;
        }
    }
}

int ScancodeToKeyCode(int scancode) {
    const KeyPair* pair = FindByScancode(scancode);
    return pair != nullptr ? pair->keyCode : 0;
}

int KeyCodeToScancode(int keyCode) {
    const KeyPair* pair = FindByKeyCode(keyCode);
    return pair != nullptr ? pair->scancode : SDL_SCANCODE_UNKNOWN;
}

bool PushTestKey(int keyCode, bool down) {
    const KeyPair* pair = FindByKeyCode(keyCode);
    if (pair == nullptr || !StartInputWatch()) return false;
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = FocusWindowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.scancode = pair->scancode;
    event.key.keysym.sym = SymbolOf(*pair);
    return SDL_PushEvent(&event) == 1;
}

bool PushTestMouseButton(int button, bool down) {
    if (button < 0 || button >= 8 || !StartInputWatch()) return false;
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = FocusWindowId();
    event.button.button = SdlMouseButton(button);
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    return SDL_PushEvent(&event) == 1;
}

bool PushTestMouseMotion(int dx, int dy) {
    if (!StartInputWatch()) return false;
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = FocusWindowId();
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    return SDL_PushEvent(&event) == 1;
}

bool PushTestMouseWheel(int notches) {
    if (!StartInputWatch()) return false;
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = FocusWindowId();
    event.wheel.y = notches;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    return SDL_PushEvent(&event) == 1;
}

void ResetInputStateForTest() {
    std::lock_guard<std::recursive_mutex> lock(Lock());
    std::memset(g_keys, 0, sizeof g_keys);
    std::memset(g_mouse.buttons, 0, sizeof g_mouse.buttons);
    if (SDL_WasInit(SDL_INIT_EVENTS) != 0) SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

}  // namespace platform::sdl
