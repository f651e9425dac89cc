// Keyboard and mouse buttons: the 256 key states, kept from the DirectInput
// keyboard or from the system key state, the held mouse buttons, and the
// presses each reader has still to report.
#include "input/input_internal.h"

#include "platform/kernel32/kernel32.h"

#include <cstring>

namespace input {
namespace {

struct KeyPair {
    uint8_t virtualKey;
    uint8_t keyCode;  // DirectInput key code
};

// The system's virtual keys as DirectInput key codes. Enter (0x0D) stands in
// the table twice: it sets both Enter codes.
constexpr KeyPair kVirtualKeys[] = {
    // letters A to Z
    {0x41, 0x1E}, {0x42, 0x30}, {0x43, 0x2E}, {0x44, 0x20}, {0x45, 0x12}, {0x46, 0x21}, {0x47, 0x22},
    {0x48, 0x23}, {0x49, 0x17}, {0x4A, 0x24}, {0x4B, 0x25}, {0x4C, 0x26}, {0x4D, 0x32}, {0x4E, 0x31},
    {0x4F, 0x18}, {0x50, 0x19}, {0x51, 0x10}, {0x52, 0x13}, {0x53, 0x1F}, {0x54, 0x14}, {0x55, 0x16},
    {0x56, 0x2F}, {0x57, 0x11}, {0x58, 0x2D}, {0x59, 0x15}, {0x5A, 0x2C},
    // digits 0 to 9
    {0x30, 0x0B}, {0x31, 0x02}, {0x32, 0x03}, {0x33, 0x04}, {0x34, 0x05}, {0x35, 0x06}, {0x36, 0x07},
    {0x37, 0x08}, {0x38, 0x09}, {0x39, 0x0A},
    // arrows
    {0x25, 0xCB}, {0x26, 0xC8}, {0x27, 0xCD}, {0x28, 0xD0},
    // punctuation: ; : [ ] @ \ , - yen . /
    {0xBB, 0x27}, {0xBA, 0x92}, {0xDB, 0x1A}, {0xDD, 0x1B}, {0xC0, 0x91}, {0xE2, 0x2B}, {0xBC, 0x33},
    {0xBD, 0x0C}, {0xDC, 0x7D}, {0xBE, 0x34}, {0xBF, 0x35},
    // Delete, Escape, Space, Backspace, Tab, Enter
    {0x2E, 0xD3}, {0x1B, 0x01}, {0x20, 0x39}, {0x08, 0x0E}, {0x09, 0x0F}, {0x0D, 0x1C},
    // numeric pad 0 to 9, * + - . /, Enter
    {0x60, 0x52}, {0x61, 0x4F}, {0x62, 0x50}, {0x63, 0x51}, {0x64, 0x4B}, {0x65, 0x4C}, {0x66, 0x4D},
    {0x67, 0x47}, {0x68, 0x48}, {0x69, 0x49}, {0x6A, 0x37}, {0x6B, 0x4E}, {0x6D, 0x4A}, {0x6E, 0x53},
    {0x6F, 0xB5}, {0x0D, 0x9C},
    // Shift and Ctrl, left and right
    {0xA0, 0x2A}, {0xA1, 0x36}, {0xA2, 0x1D}, {0xA3, 0x9D},
    // Page Up, Page Down, End, Home, Insert
    {0x21, 0xC9}, {0x22, 0xD1}, {0x23, 0xCF}, {0x24, 0xC7}, {0x2D, 0xD2},
    // Alt left and right, Scroll Lock, Caps Lock, Pause
    {0xA4, 0x38}, {0xA5, 0xB8}, {0x91, 0x46}, {0x14, 0x3A}, {0x13, 0xC5},
    // F1 to F12
    {0x70, 0x3B}, {0x71, 0x3C}, {0x72, 0x3D}, {0x73, 0x3E}, {0x74, 0x3F}, {0x75, 0x40}, {0x76, 0x41},
    {0x77, 0x42}, {0x78, 0x43}, {0x79, 0x44}, {0x7A, 0x57}, {0x7B, 0x58},
};
static_assert(sizeof kVirtualKeys / sizeof kVirtualKeys[0] == 99);

constexpr int32_t kVistaVersion = 0x108;

bool Signalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Keys (and, with the mouse device, buttons) come from DirectInput only
// before Vista, or when the program insists.
bool ThroughDirectInput(IDirectInputDeviceA* device) {
    return g_input.noDirectInput != 1 && device != nullptr &&
           (g_input.forceDirectInput != 0 || Host().windowsVersion() < kVistaVersion);
}

constexpr int kRightShiftCode = 0x36;
constexpr int kRightShiftKey = 0xA1;
constexpr int kButtonKeys[3] = {0x01, 0x02, 0x04};  // left, right, middle
constexpr DWORD kItemsPerRead = 16;

void NoteKeyPress(int code) { g_input.unreportedKeys[code] = kSingleKeyReader | kKeyMapReader; }

// A new state is stored: the presses reported from the old one are done with.
void ForgetReportedPresses() {
    std::memset(g_input.reportedKeys, 0, sizeof g_input.reportedKeys);
    g_input.reportedButtons = 0;
}

// The system state as the keys are held: a key that reads down only because
// it was pressed and released since the last read is up.
void TakeHeldKeys(const BYTE* system, BYTE* held) {
    for (int vk = 0; vk < 256; ++vk) {
        held[vk] = system[vk];
        if ((system[vk] & 0x80) != 0 && Host().getKeyState(vk) >= 0) held[vk] &= 0x7F;
    }
}

// Whether the key was pressed since the last refresh's read of the system
// state: its toggle bit flipped (an odd number of presses), it reads down
// while it is up (pressed and released since), or it went down. The first
// read has nothing before it: keys down count as pressed, toggles as they were.
bool SystemPressSince(int vk, uint8_t read, uint8_t held) {
    uint8_t before = g_input.systemKeysValid == 1 ? g_input.systemKeys[vk] : static_cast<uint8_t>(held & 0x01);
    return ((before ^ held) & 0x01) != 0 || (read & ~held & 0x80) != 0 || (held & ~before & 0x80) != 0;
}

// Notes the presses in a read of the system state, of every key and mouse
// button or (with DirectInput's keyboard) of Right Shift alone, and gives the
// state as the keys are held.
void TakeSystemKeys(const BYTE* system, bool everyKey, BYTE* held) {
    TakeHeldKeys(system, held);
    if (everyKey) {
        for (const KeyPair& pair : kVirtualKeys) {
            int vk = pair.virtualKey;
            if (SystemPressSince(vk, system[vk], held[vk])) NoteKeyPress(pair.keyCode);
        }
        for (int b = 0; b < 3; ++b) {
            int vk = kButtonKeys[b];
            if (SystemPressSince(vk, system[vk], held[vk])) g_input.unreportedButtons |= 1 << b;
        }
    } else if (SystemPressSince(kRightShiftKey, system[kRightShiftKey], held[kRightShiftKey])) {
        NoteKeyPress(kRightShiftCode);
    }
    std::memcpy(g_input.systemKeys, held, sizeof g_input.systemKeys);
    g_input.systemKeysValid = 1;
}

// One change from DirectInput's keyboard buffer: a key that went down is
// noted; last keeps the state each key was changed to. Right Shift is the
// system's.
void TakeBufferedChange(const DIDEVICEOBJECTDATA& item, int8_t* last) {
    DWORD code = item.dwOfs;
    if (code >= 256 || code == kRightShiftCode) return;
    bool down = (item.dwData & 0x80) != 0;
    if (down) NoteKeyPress(static_cast<int>(code));
    last[code] = down ? 1 : 0;
}

// Empties DirectInput's keyboard buffer of changes; last gets the state each
// key was last changed to (-1: no change). False when the buffer cannot tell
// every change (none set, overflowed, or unreadable).
bool TakeBufferedChanges(IDirectInputDeviceA* keyboard, int8_t* last) {
    std::memset(last, -1, 256);
    bool complete = true;
    DIDEVICEOBJECTDATA items[kItemsPerRead];
    DWORD count = kItemsPerRead;
    HRESULT hr;
    while (SUCCEEDED(hr = keyboard->GetDeviceData(sizeof items[0], items, &count, 0))) {
        complete = complete && hr == DI_OK;
        for (DWORD i = 0; i < count; ++i) TakeBufferedChange(items[i], last);
        if (count < kItemsPerRead) return complete;
        count = kItemsPerRead;
    }
    return false;
}

// Notes the keys DirectInput's keyboard saw go down since the last refresh:
// those in its buffer, and those that read down now where they read up before
// (for a buffer that cannot tell). A key the buffer saw let go last reads down
// only by the press latch: it is stored as up, its press noted.
void TakeDeviceKeys(IDirectInputDeviceA* keyboard, BYTE* state) {
    int8_t last[256];
    bool complete = TakeBufferedChanges(keyboard, last);
    for (int code = 0; code < 256; ++code) {
        if (code == kRightShiftCode) continue;
        if ((state[code] & ~g_input.keys[code] & 0x80) != 0) NoteKeyPress(code);
        if (complete && last[code] == 0) state[code] = 0;
    }
}

int32_t RefreshFromDirectInput() {
    DWORD now = Host().timeGetTime();
    if (now == g_input.keyboardTime && !Signalled(g_input.keyboardEvent)) return 0;
    if (Host().pumpMessages() != 0) return 0;
    if (g_input.directInput == nullptr) return 0;
    // The pump may have restarted input: take the keyboard as it is now.
    IDirectInputDeviceA* keyboard = g_input.keyboard;
    if (keyboard == nullptr) return 0;
    BYTE state[256];
    if (FAILED(keyboard->GetDeviceState(sizeof state, state))) {
        if (FAILED(keyboard->Acquire())) return 0;
        if (FAILED(keyboard->GetDeviceState(sizeof state, state))) return 0;
    }
    ForgetReportedPresses();
    TakeDeviceKeys(keyboard, state);
    std::memcpy(g_input.keys, state, sizeof g_input.keys);
    g_input.keyboardTime = now;
    if (Signalled(g_input.keyboardEvent)) ResetEvent(g_input.keyboardEvent);
    // Right Shift as the system sees it.
    BYTE system[256] = {};
    BYTE held[256];
    if (Host().getKeyboardState(system)) {
        TakeSystemKeys(system, false, held);
        g_input.keys[kRightShiftCode] = held[kRightShiftKey];
    }
    return 1;
}

int32_t RefreshFromKeyState() {
    if (GetCurrentThreadId() != Host().mainThreadId()) return 0;
    DWORD now = Host().timeGetTime();
    if (now == g_input.keyboardTime) return 0;
    g_input.keyboardTime = now;
    if (Host().pumpMessages() != 0) return 0;
    BYTE system[256] = {};
    BYTE held[256];
    Host().getKeyboardState(system);
    ForgetReportedPresses();
    TakeSystemKeys(system, true, held);
    std::memset(g_input.keys, 0, sizeof g_input.keys);
    for (const KeyPair& pair : kVirtualKeys) g_input.keys[pair.keyCode] = held[pair.virtualKey];
    g_input.mouseLeft = held[kButtonKeys[0]] >> 7;
    g_input.mouseRight = held[kButtonKeys[1]] >> 7;
    g_input.mouseMiddle = held[kButtonKeys[2]] >> 7;
    g_input.mouseBytesValid = 1;
    return 1;
}

int32_t ReadDirectInputMouse() {
    IDirectInputDeviceA* mouse = g_input.mouse;
    DIMOUSESTATE2 state;
    if (FAILED(mouse->GetDeviceState(sizeof state, &state))) {
        if (FAILED(mouse->Acquire())) return 0;
        if (FAILED(mouse->GetDeviceState(sizeof state, &state))) return 0;
    }
    int32_t buttons = 0;
    for (int i = 0; i < 8; ++i)
        if (state.rgbButtons[i] & 0x80) buttons |= 1 << i;
    return buttons;
}

// The buttons as of the last refresh, with the presses not yet reported or
// reported since; the read reports them.
int32_t ReportRefreshedButtons() {
    int32_t held = (g_input.mouseLeft != 0 ? kMouseLeft : 0) | (g_input.mouseRight != 0 ? kMouseRight : 0) |
                   (g_input.mouseMiddle != 0 ? kMouseMiddle : 0);
    g_input.reportedButtons |= g_input.unreportedButtons;
    g_input.unreportedButtons = 0;
    return held | g_input.reportedButtons;
}

}  // namespace

bool KeyReadsDown(int32_t code, uint8_t reader) {
    uint8_t noted = g_input.unreportedKeys[code] | g_input.reportedKeys[code];
    return (g_input.keys[code] & 0x80) != 0 || (noted & reader) != 0;
}

void NoteKeyReported(int32_t code, uint8_t reader) {
    g_input.reportedKeys[code] |= g_input.unreportedKeys[code] & reader;
    g_input.unreportedKeys[code] &= static_cast<uint8_t>(~reader);
}

}  // namespace input

using namespace input;

int32_t RefreshKeyboard() {
    if (g_keyboardRefreshGuard == 1) return 0;
    g_keyboardRefreshGuard = 1;
    int32_t result = ThroughDirectInput(g_input.keyboard) ? RefreshFromDirectInput() : RefreshFromKeyState();
    g_keyboardRefreshGuard = 0;
    return result;
}

int32_t IsKeyDown(int32_t keyCode) {
    Host().waitWhileInactive();
    if (g_input.directInput == nullptr) return Host().isWindowClosing() ? 0 : InitializeInput();
    if (keyCode < 0 || keyCode > 255) return 0;  // no such key
    RefreshKeyboard();
    bool down = KeyReadsDown(keyCode, kSingleKeyReader);
    NoteKeyReported(keyCode, kSingleKeyReader);
    return down ? 1 : 0;
}

int32_t GetMouseButtons() {
    if (ThroughDirectInput(g_input.mouse)) return ReadDirectInputMouse();
    RefreshKeyboard();
    if (g_input.mouseBytesValid == 1) return ReportRefreshedButtons();
    BYTE system[256] = {};
    Host().getKeyboardState(system);
    return ((system[1] & 0x80) != 0 ? 1 : 0) | ((system[2] & 0x80) != 0 ? 2 : 0) | ((system[4] & 0x80) != 0 ? 4 : 0);
}
