// Joypads and the keyboard-to-pad key map: one bit state per pad from the
// pad's directions and buttons, ORed on request with the mapped keys.
#include "input/input_internal.h"

#include "platform/kernel32/kernel32.h"
#include "platform/winmm/joystick.h"

#include <algorithm>
#include <cstring>

namespace input {
namespace {

bool Signalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// A multimedia joystick position (0..65535) on the -1000..1000 scale, with
// the middle half of the travel reading 0.
LONG FromJoystickPosition(DWORD position) {
    int64_t v = std::min<DWORD>(position, 0xFFFF);
    if (v == 0) return -1000;
    if (v == 0x7FFF) return 0;
    if (v == 0xFFFF) return 1000;
    if (v < 0x4000) return static_cast<LONG>((v - 0x4000) * 1000 / 16384);
    if (v <= 0xC000) return 0;
    return static_cast<LONG>((v - 0xC000) * 1000 / 16384);
}

int32_t RefreshJoystickPad(int32_t index) {
    PadRecord& pad = g_input.pads[index];
    DWORD now = Host().timeGetTime();
    if (now == pad.pollTime) return 0;
    pad.pollTime = now;
    JOYINFOEX info;
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    if (joyGetPosEx(static_cast<UINT>(index), &info) != JOYERR_NOERROR) {
        std::memset(&pad.state, 0, sizeof pad.state);  // centred and released
        return 0;
    }
    pad.state.lX = FromJoystickPosition(info.dwXpos);
    pad.state.lY = FromJoystickPosition(info.dwYpos);
    pad.state.lZ = pad.hasZAndR == 1 ? FromJoystickPosition(info.dwZpos) : 0;
    pad.state.lRz = pad.hasZAndR == 1 ? FromJoystickPosition(info.dwRpos) : 0;
    for (int b = 0; b < 24; ++b) pad.state.rgbButtons[b] = (info.dwButtons >> b) & 1 ? 0x80 : 0;
    return 0;
}

// After a pass of the message pump: -1 when the library is ending or input
// has gone, 1 when the pad record no longer holds this device (input was
// restarted meanwhile), else 0.
int32_t CheckAfterPump(const PadRecord& pad, IDirectInputDeviceA* device) {
    if (Host().pumpMessages() != 0 || g_input.directInput == nullptr) return -1;
    return pad.device != device ? 1 : 0;
}

int32_t RefreshDirectInputPad(int32_t index) {
    PadRecord& pad = g_input.pads[index];
    DWORD now = Host().timeGetTime();
    if (now == pad.pollTime && !Signalled(pad.event)) return 0;
    pad.pollTime = now;
    IDirectInputDeviceA* device = pad.device;
    if (device == nullptr) return 0;  // no pad in this record
    device->Poll();
    DIJOYSTATE state;
    if (SUCCEEDED(device->GetDeviceState(sizeof state, &state))) {
        pad.state = state;
    } else {
        int32_t check = CheckAfterPump(pad, device);
        if (check != 0) return check < 0 ? -1 : 0;
        if (SUCCEEDED(device->Acquire())) {
            check = CheckAfterPump(pad, device);
            if (check != 0) return check < 0 ? -1 : 0;
            if (SUCCEEDED(device->GetDeviceState(sizeof state, &state))) pad.state = state;
        }
    }
    if (Signalled(pad.event)) ResetEvent(pad.event);
    return 0;
}

int32_t PadBits(const DIJOYSTATE& state) {
    int32_t bits = 0;
    if (state.lX < 0) bits |= kPadLeft;
    if (state.lX > 0) bits |= kPadRight;
    if (state.lY < 0) bits |= kPadUp;
    if (state.lY > 0) bits |= kPadDown;
    for (int b = 0; b < 24; ++b)
        if (state.rgbButtons[b] & 0x80) bits |= PadButtonBit(b);
    return bits;
}

bool MapCode(int32_t code) { return code >= 0 && code <= 255; }

// The slots of a key map with a key down (or pressed since the map last
// reported it); the keys of the slots reported are reported with them.
uint32_t KeyMapBits(int32_t mapIndex) {
    uint32_t bits = 0;
    for (int slot = 0; slot < kKeyMapSlots; ++slot) {
        for (int32_t code : g_input.keyMap[mapIndex][slot]) {
            if (!MapCode(code) || !KeyReadsDown(code, kKeyMapReader)) continue;
            bits |= uint32_t{1} << slot;
            break;
        }
    }
    for (int slot = 0; slot < kKeyMapSlots; ++slot) {
        if ((bits & (uint32_t{1} << slot)) == 0) continue;
        for (int32_t code : g_input.keyMap[mapIndex][slot])
            if (MapCode(code)) NoteKeyReported(code, kKeyMapReader);
    }
    return bits;
}

}  // namespace

// The map written at the first start-up: every slot empty, then pad 1's
// directions on the numeric pad and the arrows, its buttons on letters,
// Escape and Space.
void WriteDefaultKeyMap() {
    for (auto& pad : g_input.keyMap) {
        for (auto& slot : pad) {
            slot[0] = slot[1] = -1;
            slot[2] = slot[3] = 0;  // key code 0 never reads as down
        }
    }
    struct Default {
        int32_t first;
        int32_t second;
    };
    const Default pad1[] = {
        {0x50, 0xD0}, {0x4B, 0xCB}, {0x4D, 0xCD}, {0x48, 0xC8},  // down, left, right, up
        {0x2C, -1}, {0x2D, -1}, {0x2E, -1}, {0x1E, -1}, {0x1F, -1},  // Z X C A S
        {0x20, -1}, {0x10, -1}, {0x11, -1}, {0x01, -1}, {0x39, -1},  // D Q W Escape Space
    };
    for (size_t slot = 0; slot < sizeof pad1 / sizeof pad1[0]; ++slot) {
        g_input.keyMap[0][slot][0] = pad1[slot].first;
        g_input.keyMap[0][slot][1] = pad1[slot].second;
    }
}

}  // namespace input

using namespace input;

int32_t RefreshPad(int32_t padIndex) {
    if (padIndex < 0 || padIndex >= kMaxPads) return -1;
    if (g_input.noDirectInput == 1) return RefreshJoystickPad(padIndex);
    return RefreshDirectInputPad(padIndex);
}

int32_t GetPadState(int32_t inputType) {
    bool withKeys = (inputType & kPadWithKeyMap) != 0;
    int32_t number = inputType & ~kPadWithKeyMap;
    Host().waitWhileInactive();
    if (g_input.directInput == nullptr && !Host().isWindowClosing()) return InitializeInput();
    // Only pads 1 to 16 have a record and a key map.
    if (inputType < 0 || number > kMaxPads) return 0;
    int32_t n = number - 1;
    bool isPad = n >= 0 && n < g_input.padCount;
    if (!isPad && g_input.padCount != 0 && !withKeys) return 0;
    int32_t result = 0;
    if (isPad) {
        RefreshPad(n);  // the stored state answers either way
        result = PadBits(g_input.pads[n].state);
    }
    if (withKeys) {
        RefreshKeyboard();
        result |= static_cast<int32_t>(KeyMapBits(n < 0 ? 0 : n));
    }
    return result;
}

int32_t GetPadCount() { return g_input.padCount; }

int32_t GetPadName(int32_t inputType, char* instanceName, char* productName) {
    int32_t number = inputType & ~kPadWithKeyMap;
    if (inputType < 0 || number < 1 || number > g_input.padCount) return -1;
    const PadRecord& pad = g_input.pads[number - 1];
    if (instanceName != nullptr) std::memcpy(instanceName, pad.instanceName, MAX_PATH);
    if (productName != nullptr) std::memcpy(productName, pad.productName, MAX_PATH);
    return 0;
}

int32_t SetPadKeyMap(int32_t padNumber, int32_t slot, int32_t code1, int32_t code2, int32_t code3, int32_t code4) {
    const int32_t codes[4] = {code1, code2, code3, code4};
    if (padNumber < 1 || padNumber > kMaxPads || slot < 0 || slot >= kKeyMapSlots) return -1;
    for (int32_t code : codes)
        if (code > 255) return -1;
    if (g_input.keyMapSet == 0) {  // a map set before the first start-up starts from the default
        g_input.keyMapSet = 1;
        WriteDefaultKeyMap();
    }
    std::memcpy(g_input.keyMap[padNumber - 1][slot], codes, sizeof codes);
    return 0;
}
