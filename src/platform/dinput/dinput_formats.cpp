// Class, interface, device, object and effect ids, and the predefined data
// formats with their object lists.
#include "platform/dinput/dinput.h"

#include <array>

const CLSID CLSID_DirectInput = {0x25E609E0, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const CLSID CLSID_DirectInput8 = {0x25E609E4, 0xB259, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputA = {0x89521360, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput2A = {0x5944E662, 0xAA8A, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput7A = {0x9A4CB684, 0x236D, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const IID IID_IDirectInputDeviceA = {0x5944E680, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice2A = {0x5944E682, 0xC92E, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInputDevice7A = {0x57D7C6BC, 0x2356, 0x11D3, {0x8E, 0x9D, 0x00, 0xC0, 0x4F, 0x68, 0x44, 0xAE}};
const IID IID_IDirectInputDevice8A = {0x54D41080, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};
const IID IID_IDirectInputEffect = {0xE7E1F7C0, 0x88D2, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Joystick = {0x6F1D2B70, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const GUID GUID_ConstantForce = {0x13541C20, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_RampForce = {0x13541C21, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Square = {0x13541C22, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Sine = {0x13541C23, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_Triangle = {0x13541C24, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_SawtoothUp = {0x13541C25, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};
const GUID GUID_SawtoothDown = {0x13541C26, 0x8E33, 0x11D0, {0x9A, 0xD0, 0x00, 0xA0, 0xC9, 0xA0, 0x6E, 0x35}};

namespace {

constexpr DWORD kAnyAxis = DIDFT_AXIS | DIDFT_ANYINSTANCE;
constexpr DWORD kAnyButton = DIDFT_BUTTON | DIDFT_ANYINSTANCE;
constexpr DWORD kAspectPosition = 0x100;  // DIDOI_ASPECTPOSITION

constexpr std::array<DIOBJECTDATAFORMAT, 256> MakeKeyboardObjects() {
    std::array<DIOBJECTDATAFORMAT, 256> objects{};
    for (DWORD i = 0; i < 256; ++i)
        objects[i] = {&GUID_Key, i, DIDFT_BUTTON | DIDFT_OPTIONAL | DIDFT_MAKEINSTANCE(i), 0};
    return objects;
}

template <size_t Buttons>
constexpr std::array<DIOBJECTDATAFORMAT, 3 + Buttons> MakeMouseObjects() {
    std::array<DIOBJECTDATAFORMAT, 3 + Buttons> objects{};
    objects[0] = {&GUID_XAxis, DIMOFS_X, kAnyAxis, 0};
    objects[1] = {&GUID_YAxis, DIMOFS_Y, kAnyAxis, 0};
    objects[2] = {&GUID_ZAxis, DIMOFS_Z, kAnyAxis | DIDFT_OPTIONAL, 0};
    for (DWORD i = 0; i < Buttons; ++i)
        objects[3 + i] = {nullptr, DIMOFS_BUTTON0 + i, kAnyButton | (i >= 2 ? DIDFT_OPTIONAL : 0), 0};
    return objects;
}

// Axes, sliders, points of view and buttons; the second format adds the
// velocity, acceleration and force of every axis and slider.
template <size_t Buttons, bool Extended>
constexpr std::array<DIOBJECTDATAFORMAT, 12 + Buttons + (Extended ? 24 : 0)> MakeJoystickObjects() {
    std::array<DIOBJECTDATAFORMAT, 12 + Buttons + (Extended ? 24 : 0)> objects{};
    const GUID* axes[6] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis, &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};
    size_t n = 0;
    for (DWORD i = 0; i < 6; ++i)
        objects[n++] = {axes[i], i * 4, kAnyAxis | DIDFT_OPTIONAL, kAspectPosition};
    for (DWORD i = 0; i < 2; ++i)
        objects[n++] = {&GUID_Slider, DIJOFS_SLIDER(i), kAnyAxis | DIDFT_OPTIONAL, kAspectPosition};
    for (DWORD i = 0; i < 4; ++i)
        objects[n++] = {&GUID_POV, DIJOFS_POV(i), DIDFT_POV | DIDFT_ANYINSTANCE | DIDFT_OPTIONAL, 0};
    for (DWORD i = 0; i < Buttons; ++i)
        objects[n++] = {nullptr, DIJOFS_BUTTON(i), kAnyButton | DIDFT_OPTIONAL, 0};
    if constexpr (Extended) {
        // Velocity (aspect 0x200), acceleration (0x300) and force (0x400),
        // each six axes and two sliders, after the 128 buttons.
        DWORD offset = DIJOFS_BUTTON(Buttons);
        for (DWORD aspect = 0x200; aspect <= 0x400; aspect += 0x100) {
            for (DWORD i = 0; i < 8; ++i) {
                const GUID* guid = i < 6 ? axes[i] : &GUID_Slider;
                objects[n++] = {guid, offset, kAnyAxis | DIDFT_OPTIONAL, aspect};
                offset += 4;
            }
        }
    }
    return objects;
}

constexpr auto kKeyboardObjects = MakeKeyboardObjects();
constexpr auto kMouseObjects = MakeMouseObjects<4>();
constexpr auto kMouse2Objects = MakeMouseObjects<8>();
constexpr auto kJoystickObjects = MakeJoystickObjects<32, false>();
constexpr auto kJoystick2Objects = MakeJoystickObjects<128, true>();

static_assert(kJoystick2Objects.size() == 164);

}  // namespace

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256,
                                     kKeyboardObjects.size(), kKeyboardObjects.data()};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                  sizeof(DIMOUSESTATE), kMouseObjects.size(), kMouseObjects.data()};
const DIDATAFORMAT c_dfDIMouse2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS,
                                   sizeof(DIMOUSESTATE2), kMouse2Objects.size(), kMouse2Objects.data()};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
                                     sizeof(DIJOYSTATE), kJoystickObjects.size(), kJoystickObjects.data()};
const DIDATAFORMAT c_dfDIJoystick2 = {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_ABSAXIS,
                                      sizeof(DIJOYSTATE2), kJoystick2Objects.size(), kJoystick2Objects.data()};
