#include "platform/winmm/joystick.h"

#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_joystick.h"
#include "platform/seams/seams.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr UINT kJoystickIds = 16;

// The joystick opened for each id, and which SDL joystick it was.
platform::sdl::Joystick* g_open[kJoystickIds] = {};
int32_t g_openId[kJoystickIds] = {};

// The joystick behind an id, opened on first use and again after it was
// replaced or unplugged; null when no joystick has the id.
platform::sdl::Joystick* JoystickFor(UINT id, platform::sdl::JoystickInfo* info) {
    platform::sdl::UpdateJoysticks();
    if (!platform::sdl::GetJoystickInfo(static_cast<int>(id), info)) return nullptr;
    if (g_open[id] != nullptr && (g_openId[id] != info->id || !platform::sdl::IsJoystickAttached(g_open[id]))) {
        platform::sdl::CloseJoystick(g_open[id]);
        g_open[id] = nullptr;
    }
    if (g_open[id] == nullptr) {
        g_open[id] = platform::sdl::OpenJoystick(info->id);
        g_openId[id] = info->id;
    }
    return g_open[id];
}

DWORD Position(const platform::sdl::Joystick* joystick, int axis) {
    return static_cast<DWORD>(platform::sdl::JoystickAxis(joystick, axis) + 32768);
}

DWORD PovOf(uint8_t hat) {
    switch (hat) {
        case 1: return JOY_POVFORWARD;
        case 3: return 4500;
        case 2: return JOY_POVRIGHT;
        case 6: return 13500;
        case 4: return JOY_POVBACKWARD;
        case 12: return 22500;
        case 8: return JOY_POVLEFT;
        case 9: return 31500;
        default: return JOY_POVCENTERED;
    }
}

}  // namespace

UINT joyGetNumDevs() { return kJoystickIds; }

MMRESULT joyGetDevCapsA(UINT_PTR id, JOYCAPSA* caps, UINT size) {
    if (auto failed = seams::FailNow<MMRESULT>("joyGetDevCapsA", JOYERR_UNPLUGGED)) return *failed;
    if (caps == nullptr || size != sizeof(JOYCAPSA)) return MMSYSERR_INVALPARAM;
    if (id >= kJoystickIds) return JOYERR_PARMS;
    platform::sdl::JoystickInfo info;
    if (JoystickFor(static_cast<UINT>(id), &info) == nullptr) return JOYERR_PARMS;
    std::memset(caps, 0, sizeof *caps);
    caps->wMid = static_cast<WORD>(info.product[4] | (info.product[5] << 8));
    caps->wPid = static_cast<WORD>(info.product[8] | (info.product[9] << 8));
    std::string name = platform::Utf8ToShiftJis(info.name);
    std::strncpy(caps->szPname, name.c_str(), MAXPNAMELEN - 1);
    caps->wXmax = caps->wYmax = caps->wZmax = caps->wRmax = caps->wUmax = caps->wVmax = 65535;
    caps->wNumButtons = static_cast<UINT>(std::min(info.buttons, 32));
    caps->wPeriodMin = 10;
    caps->wPeriodMax = 1000;
    int axes = std::min(info.axes, 6);
    const UINT axisCaps[4] = {JOYCAPS_HASZ, JOYCAPS_HASR, JOYCAPS_HASU, JOYCAPS_HASV};
    for (int a = 2; a < axes; ++a) caps->wCaps |= axisCaps[a - 2];
    if (info.hats > 0) caps->wCaps |= JOYCAPS_HASPOV | JOYCAPS_POVCTS;
    caps->wMaxAxes = 6;
    caps->wNumAxes = static_cast<UINT>(axes);
    caps->wMaxButtons = 32;
    return JOYERR_NOERROR;
}

MMRESULT joyGetPosEx(UINT id, JOYINFOEX* info) {
    if (auto failed = seams::FailNow<MMRESULT>("joyGetPosEx", JOYERR_UNPLUGGED)) return *failed;
    if (info == nullptr) return MMSYSERR_INVALPARAM;
    if (info->dwSize != sizeof(JOYINFOEX) || id >= kJoystickIds) return JOYERR_PARMS;
    platform::sdl::JoystickInfo found;
    platform::sdl::Joystick* joystick = JoystickFor(id, &found);
    if (joystick == nullptr || !platform::sdl::IsJoystickAttached(joystick)) return JOYERR_UNPLUGGED;
    DWORD flags = info->dwFlags;
    DWORD* positions[6] = {&info->dwXpos, &info->dwYpos, &info->dwZpos, &info->dwRpos, &info->dwUpos, &info->dwVpos};
    for (int a = 0; a < 6; ++a)
        if (flags & (JOY_RETURNX << a)) *positions[a] = Position(joystick, a);
    if (flags & JOY_RETURNBUTTONS) {
        info->dwButtons = 0;
        info->dwButtonNumber = 0;
        for (int b = 0; b < 32; ++b) {
            if (!platform::sdl::JoystickButton(joystick, b)) continue;
            info->dwButtons |= 1u << b;
            ++info->dwButtonNumber;
        }
    }
    if (flags & (JOY_RETURNPOV | JOY_RETURNPOVCTS)) info->dwPOV = PovOf(platform::sdl::JoystickHat(joystick, 0));
    return JOYERR_NOERROR;
}
