// The DirectInput stand-in: objects and versions, device enumeration and
// creation, data formats, cooperative levels and acquisition, device states,
// properties, buffered keyboard data and event notification.
#include "dinput_fixture.h"

#include <cstring>
#include <functional>
#include <string>

namespace dinput_test {
namespace {

// ---- objects ---------------------------------------------------------------------

TEST(DirectInputObject, VersionsAndInterfacesOfEachObject) {
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput8, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput8A, &object), S_OK);
    auto* di8 = static_cast<IDirectInput8A*>(object);
    IDirectInputDeviceA* device = nullptr;
    EXPECT_EQ(di8->CreateDevice(GUID_SysKeyboard, &device, nullptr), DIERR_NOTINITIALIZED);
    EXPECT_EQ(di8->Initialize(GetModuleHandleA(nullptr), 0x0700), DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(di8->Initialize(GetModuleHandleA(nullptr), 0x0900), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(di8->Initialize(nullptr, 0x0800), DIERR_INVALIDPARAM);
    EXPECT_EQ(di8->Initialize(GetModuleHandleA(nullptr), 0x0800), DI_OK);
    void* other = nullptr;
    EXPECT_EQ(di8->QueryInterface(IID_IDirectInput7A, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(di8->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    EXPECT_EQ(device->QueryInterface(IID_IDirectInputDevice7A, &other), E_NOINTERFACE);
    EXPECT_EQ(device->QueryInterface(IID_IDirectInputDevice8A, &other), S_OK);
    static_cast<IUnknown*>(other)->Release();
    device->Release();
    di8->Release();

    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput8A, &object),
              E_NOINTERFACE);
    ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A, &object), S_OK);
    auto* di7 = static_cast<IDirectInput7A*>(object);
    EXPECT_EQ(di7->Initialize(GetModuleHandleA(nullptr), 0x0800), DIERR_BETADIRECTINPUTVERSION);
    EXPECT_EQ(di7->Initialize(GetModuleHandleA(nullptr), 0x0500), DI_OK);
    di7->Release();
    EXPECT_EQ(dinput::LiveDeviceCount(), 0);
}

TEST_F(DirectInputTest, CreateDeviceExAnswersOnlyVersionSevenDevices) {
    void* device = nullptr;
    EXPECT_EQ(di7_->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice8A, &device, nullptr), DIERR_NOINTERFACE);
    EXPECT_EQ(device, nullptr);
    ASSERT_EQ(di7_->CreateDeviceEx(GUID_SysMouse, IID_IDirectInputDevice7A, &device, nullptr), DI_OK);
    Keep(static_cast<IUnknown*>(device));
    IDirectInputDeviceA* none = nullptr;
    EXPECT_EQ(di7_->CreateDevice(GUID_Joystick, &none, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(di7_->CreateDevice(GUID_XAxis, &none, nullptr), DIERR_DEVICENOTREG);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DirectInputTest, EnumerationByTypeFlagsAndStop) {
    AttachPad(4, 8, true);
    AttachPad(2, 4, false);
    auto count = [this](DWORD type, DWORD flags, bool stopAtFirst = false) {
        struct Seen {
            int n = 0;
            bool stop;
            DWORD firstType = 0;
        } seen{0, stopAtFirst};
        EXPECT_EQ(di7_->EnumDevices(
                      type,
                      [](LPCDIDEVICEINSTANCEA i, LPVOID c) -> BOOL {
                          auto* s = static_cast<Seen*>(c);
                          if (s->n++ == 0) s->firstType = i->dwDevType;
                          return s->stop ? DIENUM_STOP : DIENUM_CONTINUE;
                      },
                      &seen, flags),
                  DI_OK);
        return seen.n;
    };
    EXPECT_EQ(count(DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY), 2);
    EXPECT_EQ(count(DIDEVTYPE_JOYSTICK, DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK), 1);
    EXPECT_EQ(count(0, DIEDFL_ATTACHEDONLY), 4) << "mouse, keyboard and both pads";
    EXPECT_EQ(count(DIDEVTYPE_KEYBOARD, 0), 1);
    EXPECT_EQ(count(0, 0, true), 1);
    EXPECT_EQ(di7_->EnumDevices(9, [](LPCDIDEVICEINSTANCEA, LPVOID) -> BOOL { return DIENUM_CONTINUE; }, nullptr, 0),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(di7_->EnumDevices(0, nullptr, nullptr, 0), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, DeviceStatusFollowsThePlug) {
    int32_t id = AttachPad();
    GUID guid = PadGuid();
    EXPECT_EQ(di7_->GetDeviceStatus(guid), DI_OK);
    EXPECT_EQ(di7_->GetDeviceStatus(GUID_SysKeyboard), DI_OK);
    platform::sdl::DetachTestPad(id);
    pads_.clear();
    EXPECT_EQ(di7_->GetDeviceStatus(guid), DI_NOTATTACHED);
    EXPECT_EQ(di7_->GetDeviceStatus(GUID_XAxis), DIERR_DEVICENOTREG);
}

TEST_F(DirectInputTest, DeviceInfoNamesThePadInBothLayouts) {
    AttachPad();
    IDirectInputDeviceA* pad = Device(PadGuid());
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0xCC, sizeof info);
    info.dwSize = DIDEVICEINSTANCE_DX3A_SIZE;
    ASSERT_EQ(pad->GetDeviceInfo(&info), DI_OK);
    EXPECT_STREQ(info.tszProductName, "Test pad");
    EXPECT_EQ(info.dwDevType & 0xFF, DWORD{DIDEVTYPE_JOYSTICK});
    EXPECT_EQ(info.wUsage, 0xCCCC) << "nothing past the older layout is written";
    info.dwSize = sizeof info - 1;
    EXPECT_EQ(pad->GetDeviceInfo(&info), DIERR_INVALIDPARAM);
}

// ---- formats, levels, acquisition --------------------------------------------------

TEST_F(DirectInputTest, DataFormatsMustBeThePredefinedOnesOfTheDevice) {
    IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
    EXPECT_EQ(keyboard->Acquire(), DIERR_INVALIDPARAM) << "no format yet";
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIJoystick), DIERR_INVALIDPARAM);
    DIDATAFORMAT changed = c_dfDIKeyboard;
    changed.dwDataSize = 128;
    EXPECT_EQ(keyboard->SetDataFormat(&changed), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(nullptr), DIERR_INVALIDPARAM);
    DIDATAFORMAT copy = c_dfDIKeyboard;
    EXPECT_EQ(keyboard->SetDataFormat(&copy), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->SetCooperativeLevel(TheWindow(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DIERR_ACQUIRED);
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    EXPECT_EQ(keyboard->Unacquire(), DI_NOEFFECT);
}

TEST_F(DirectInputTest, CooperativeLevelsTakeOneOfEachPair) {
    IDirectInputDeviceA* mouse = Device(GUID_SysMouse);
    const DWORD bad[] = {DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, DISCL_NONEXCLUSIVE,
                         DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND, 0x100 | DISCL_NONEXCLUSIVE | DISCL_BACKGROUND};
    for (DWORD flags : bad) EXPECT_EQ(mouse->SetCooperativeLevel(TheWindow(), flags), DIERR_INVALIDPARAM) << flags;
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetCooperativeLevel(TheWindow(), DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
}

TEST_F(DirectInputTest, AForegroundDeviceIsLostWithTheWindowAndFoundAgain) {
    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    WindowInFront() = false;
    EXPECT_EQ(pad->Acquire(), DIERR_OTHERAPPHASPRIO);
    WindowInFront() = true;
    ASSERT_EQ(pad->Acquire(), DI_OK);
    DIJOYSTATE state;
    EXPECT_EQ(pad->GetDeviceState(sizeof state, &state), DI_OK);
    WindowInFront() = false;
    EXPECT_EQ(pad->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(pad->GetDeviceState(sizeof state, &state), DIERR_NOTACQUIRED);
    EXPECT_EQ(pad->SetCooperativeLevel(TheWindow(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    EXPECT_EQ(pad->Acquire(), DI_OK) << "a background device does not need the window in front";
}

TEST_F(DirectInputTest, OnlyOneDeviceHoldsAPadExclusively) {
    int32_t id;
    IDirectInputDeviceA* first = ReadyPad(&id);
    IDirectInputDeviceA* second = Device(PadGuid());
    ASSERT_EQ(second->SetDataFormat(&c_dfDIJoystick), DI_OK);
    ASSERT_EQ(second->SetCooperativeLevel(TheWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(first->Acquire(), DI_OK);
    EXPECT_EQ(second->Acquire(), DIERR_OTHERAPPHASPRIO);
    ASSERT_EQ(second->SetCooperativeLevel(TheWindow(), DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    EXPECT_EQ(second->Acquire(), DI_OK) << "a shared hold is fine";
}

TEST_F(DirectInputTest, AnUnpluggedPadIsLost) {
    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id);
    ASSERT_EQ(pad->Acquire(), DI_OK);
    platform::sdl::DetachTestPad(id);
    pads_.clear();
    DIJOYSTATE state;
    EXPECT_EQ(pad->GetDeviceState(sizeof state, &state), DIERR_INPUTLOST);
    EXPECT_EQ(pad->Acquire(), DIERR_INPUTLOST);
    EXPECT_EQ(pad->Poll(), DIERR_NOTACQUIRED);
}

TEST_F(DirectInputTest, StateReadsCheckTheBufferAndTouchNothingOnFailure) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    BYTE keys[257];
    std::memset(keys, 0x5A, sizeof keys);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceState(257, keys), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceState(256, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keys[0], 0x5A);
    EXPECT_EQ(keyboard->GetDeviceState(256, keys), DI_OK);
    EXPECT_EQ(keys[0], 0);
    EXPECT_EQ(keys[256], 0x5A);
}

// ---- device states ----------------------------------------------------------------

TEST_F(DirectInputTest, KeyboardStateByScanCode) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    for (int code : {DIK_A, DIK_NUMPADENTER, DIK_RCONTROL, DIK_YEN}) ASSERT_TRUE(platform::sdl::PushTestKey(code, true));
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
    int down = 0;
    for (BYTE k : keys) down += k == 0x80;
    EXPECT_EQ(down, 4);
    EXPECT_EQ(keys[DIK_NUMPADENTER], 0x80);
    EXPECT_EQ(keys[DIK_RETURN], 0) << "the main Enter is another key";
    EXPECT_FALSE(platform::sdl::PushTestKey(0x00, true)) << "no key has code 0";
}

TEST_F(DirectInputTest, MouseMovesSinceTheLastReadAndItsButtons) {
    IDirectInputDeviceA* mouse = Device(GUID_SysMouse);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse), DI_OK);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    platform::sdl::PushTestMouseMotion(5, -3);
    platform::sdl::PushTestMouseMotion(2, 0);
    platform::sdl::PushTestMouseWheel(1);
    platform::sdl::PushTestMouseButton(1, true);
    DIMOUSESTATE state;
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 7);
    EXPECT_EQ(state.lY, -3);
    EXPECT_EQ(state.lZ, 120);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);
    ASSERT_EQ(mouse->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80) << "buttons are states, motion is relative";
}

TEST_F(DirectInputTest, JoystickAxesPointsOfViewAndButtons) {
    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id, DISCL_EXCLUSIVE | DISCL_FOREGROUND, &c_dfDIJoystick2);
    platform::sdl::SetTestPadAxis(id, 0, -32768);
    platform::sdl::SetTestPadAxis(id, 2, 32767);  // the second stick: Z and Rz
    platform::sdl::SetTestPadAxis(id, 3, 0);
    platform::sdl::SetTestPadHat(id, 0, 1 | 2);  // up and right
    platform::sdl::SetTestPadButton(id, 15, true);
    ASSERT_EQ(pad->Acquire(), DI_OK);
    ASSERT_EQ(pad->Poll(), DI_OK);
    DIJOYSTATE2 state;
    ASSERT_EQ(pad->GetDeviceState(sizeof state, &state), DI_OK);
    EXPECT_EQ(state.lX, 0) << "default range 0 to 65535";
    EXPECT_EQ(state.lZ, 65535);
    EXPECT_EQ(state.lRz, 32767);
    EXPECT_EQ(state.lRx, 0) << "no fifth axis";
    EXPECT_EQ(state.rgdwPOV[0], 4500u);
    EXPECT_EQ(state.rgdwPOV[1], 0xFFFFFFFFu);
    EXPECT_EQ(state.rgbButtons[15], 0x80);
    DIJOYSTATE small;
    EXPECT_EQ(pad->GetDeviceState(sizeof small, &small), DIERR_INVALIDPARAM) << "the format says DIJOYSTATE2";
}

// A press released before the next read reads as down for that one read; a
// press before the device was acquired is not reported.
TEST_F(DirectInputTest, APressShorterThanAReadIsReportedOnce) {
    int32_t padId;
    IDirectInputDeviceA* pad = ReadyPad(&padId);
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    IDirectInputDeviceA* mouse = Device(GUID_SysMouse);
    ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
    struct Case {
        const char* what;
        IDirectInputDeviceA* device;
        std::function<bool(bool down)> press;  // the change the device reports
        std::function<BYTE()> read;            // the state's byte for that control
    };
    const Case cases[] = {
        {"mouse button", mouse, [](bool down) { return platform::sdl::PushTestMouseButton(0, down); },
         [mouse] {
             DIMOUSESTATE2 s;
             EXPECT_EQ(mouse->GetDeviceState(sizeof s, &s), DI_OK);
             return s.rgbButtons[0];
         }},
        {"key", keyboard, [](bool down) { return platform::sdl::PushTestKey(DIK_SPACE, down); },
         [keyboard] {
             BYTE keys[256];
             EXPECT_EQ(keyboard->GetDeviceState(sizeof keys, keys), DI_OK);
             return keys[DIK_SPACE];
         }},
        {"pad button", pad, [padId](bool down) { return platform::sdl::SetTestPadButton(padId, 3, down); },
         [pad] {
             DIJOYSTATE s;
             EXPECT_EQ(pad->GetDeviceState(sizeof s, &s), DI_OK);
             return s.rgbButtons[3];
         }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.press(true) && c.press(false)) << c.what;
        ASSERT_EQ(c.device->Acquire(), DI_OK) << c.what;
        EXPECT_EQ(c.read(), 0) << c.what << ": pressed before the device was acquired";
        ASSERT_TRUE(c.press(true) && c.press(false)) << c.what;
        EXPECT_EQ(c.read(), 0x80) << c.what << ": the short press";
        EXPECT_EQ(c.read(), 0) << c.what << ": only once";
        ASSERT_TRUE(c.press(true) && c.press(false) && c.press(true) && c.press(false)) << c.what;
        EXPECT_EQ(c.read(), 0x80) << c.what << ": two short presses";
        EXPECT_EQ(c.read(), 0) << c.what << ": still only once";
        ASSERT_TRUE(c.press(true)) << c.what;
        EXPECT_EQ(c.read(), 0x80) << c.what << ": held";
        EXPECT_EQ(c.read(), 0x80) << c.what << ": still held";
        ASSERT_TRUE(c.press(false)) << c.what;
        EXPECT_EQ(c.read(), 0) << c.what << ": a release after a read is not latched";
    }
}

struct AxisCase {
    int32_t raw;
    LONG minimum, maximum;
    DWORD deadZone, saturation;
    LONG expected;
};

class AxisScale : public ::testing::TestWithParam<AxisCase> {};

TEST_P(AxisScale, DeadZoneSaturationAndRange) {
    const AxisCase& c = GetParam();
    EXPECT_EQ(dinput::ScaleAxis(c.raw, c.minimum, c.maximum, c.deadZone, c.saturation), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DirectInput, AxisScale,
    ::testing::Values(AxisCase{0, -1000, 1000, 5000, 10000, 0}, AxisCase{16384, -1000, 1000, 5000, 10000, 0},
                      AxisCase{-32768, -1000, 1000, 5000, 10000, -1000}, AxisCase{32767, -1000, 1000, 5000, 10000, 1000},
                      AxisCase{-24576, -1000, 1000, 5000, 10000, -500}, AxisCase{29491, -1000, 1000, 0, 9000, 1000},
                      AxisCase{16384, -1000, 1000, 0, 10000, 500}, AxisCase{0, 0, 100, 0, 10000, 50},
                      AxisCase{32767, 0, 100, 0, 10000, 100}, AxisCase{100, -1000, 1000, 8000, 8000, 0},
                      AxisCase{30000, -1000, 1000, 8000, 8000, 1000}),
    [](const ::testing::TestParamInfo<AxisCase>& info) {
        const auto number = [](long v) { return (v < 0 ? "Minus" : "") + std::to_string(v < 0 ? -v : v); };
        const AxisCase& c = info.param;
        return "Raw" + number(c.raw) + "From" + number(c.minimum) + "To" + number(c.maximum) + "Dead" +
               number(c.deadZone) + "Saturation" + number(c.saturation);
    });

// ---- properties -------------------------------------------------------------------

TEST_F(DirectInputTest, RangeAndDeadZoneChecks) {
    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id);
    DIPROPRANGE range = RangeProperty(100, 100, DIJOFS_X);
    EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_INVALIDPARAM) << "empty range";
    range = RangeProperty(-10, 10, DIJOFS_RX);
    EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_OBJECTNOTFOUND) << "four axes: no Rx";
    range = RangeProperty(-10, 10, DIJOFS_BUTTON(0));
    EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_OBJECTNOTFOUND);
    range = RangeProperty(-10, 10, 0, DIPH_DEVICE);
    ASSERT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
    DIPROPRANGE read = RangeProperty(0, 0, DIJOFS_RZ);
    ASSERT_EQ(pad->GetProperty(DIPROP_RANGE, &read.diph), DI_OK);
    EXPECT_EQ(read.lMin, -10);
    EXPECT_EQ(read.lMax, 10);
    read.diph.dwHow = DIPH_DEVICE;
    read.diph.dwObj = 0;
    EXPECT_EQ(pad->GetProperty(DIPROP_RANGE, &read.diph), DIERR_UNSUPPORTED);
    DIPROPDWORD zone = DwordProperty(10001, DIJOFS_X, DIPH_BYOFFSET);
    EXPECT_EQ(pad->SetProperty(DIPROP_DEADZONE, &zone.diph), DIERR_INVALIDPARAM);
    zone.diph.dwSize = sizeof(DIPROPRANGE);
    zone.dwData = 100;
    EXPECT_EQ(pad->SetProperty(DIPROP_DEADZONE, &zone.diph), DIERR_INVALIDPARAM) << "wrong structure size";
    EXPECT_EQ(pad->SetProperty(DIPROP_DEADZONE, nullptr), DIERR_INVALIDPARAM);
    ASSERT_EQ(pad->Acquire(), DI_OK);
    range = RangeProperty(-5, 5, DIJOFS_X);
    EXPECT_EQ(pad->SetProperty(DIPROP_RANGE, &range.diph), DIERR_ACQUIRED);
}

TEST_F(DirectInputTest, PropertiesBelongToTheirDevices) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    DIPROPRANGE range = RangeProperty(-10, 10, 0, DIPH_DEVICE);
    EXPECT_EQ(keyboard->SetProperty(DIPROP_RANGE, &range.diph), DIERR_UNSUPPORTED);
    DIPROPDWORD buffer = DwordProperty(8, 4, DIPH_BYOFFSET);
    EXPECT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph), DIERR_INVALIDPARAM) << "whole device only";
    DIPROPDWORD gain = DwordProperty(5000);
    EXPECT_EQ(keyboard->SetProperty(DIPROP_FFGAIN, &gain.diph), DIERR_UNSUPPORTED);
    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id);
    buffer = DwordProperty(8);
    EXPECT_EQ(pad->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph), DIERR_UNSUPPORTED);
    DIPROPDWORD centre = DwordProperty(2);
    EXPECT_EQ(pad->SetProperty(DIPROP_AUTOCENTER, &centre.diph), DIERR_INVALIDPARAM);
    centre.dwData = DIPROPAUTOCENTER_OFF;
    ASSERT_EQ(pad->SetProperty(DIPROP_AUTOCENTER, &centre.diph), DI_OK);
    centre.dwData = 7;
    ASSERT_EQ(pad->GetProperty(DIPROP_AUTOCENTER, &centre.diph), DI_OK);
    EXPECT_EQ(centre.dwData, DWORD{DIPROPAUTOCENTER_OFF});
    int32_t quiet;
    IDirectInputDeviceA* still = ReadyPad(&quiet, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND, &c_dfDIJoystick, false);
    EXPECT_EQ(still->SetProperty(DIPROP_AUTOCENTER, &centre.diph), DIERR_UNSUPPORTED) << "no force feedback";
}

// ---- buffered keyboard data and notification ---------------------------------------

TEST_F(DirectInputTest, BufferedKeysKeepOrderAndReportOverflow) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    DIDEVICEOBJECTDATA data[8];
    DWORD count = 8;
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceData(sizeof data[0], data, &count, 0), DIERR_NOTBUFFERED);
    keyboard->Unacquire();
    DIPROPDWORD size = DwordProperty(3);
    ASSERT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DI_OK);
    platform::sdl::PushTestKey(DIK_Q, true);  // not acquired: not buffered
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    platform::sdl::PushTestKey(DIK_A, true);
    platform::sdl::PushTestKey(DIK_A, false);
    platform::sdl::PushTestKey(DIK_S, true);
    platform::sdl::PushTestKey(DIK_S, false);  // one too many
    count = 1;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof data[0], data, &count, DIGDD_PEEK), DI_BUFFEROVERFLOW);
    EXPECT_EQ(count, 1u);
    count = 8;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof data[0], data, &count, 0), DI_BUFFEROVERFLOW);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(data[0].dwOfs, DWORD{DIK_A});
    EXPECT_EQ(data[0].dwData, 0x80u);
    EXPECT_EQ(data[1].dwData, 0u);
    EXPECT_EQ(data[2].dwOfs, DWORD{DIK_S});
    EXPECT_LT(data[0].dwSequence, data[1].dwSequence);
    EXPECT_EQ(data[0].uAppData, 0u);
    count = 8;
    EXPECT_EQ(keyboard->GetDeviceData(sizeof data[0], data, &count, 0), DI_OK);
    EXPECT_EQ(count, 0u);
}

TEST_F(DirectInputTest, BufferedDataInTheOlderLayoutAndFlushing) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    DIPROPDWORD size = DwordProperty(10);
    ASSERT_EQ(keyboard->SetProperty(DIPROP_BUFFERSIZE, &size.diph), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    platform::sdl::PushTestKey(DIK_W, true);
    platform::sdl::PushTestKey(DIK_E, true);
    DIDEVICEOBJECTDATA_DX3 old[2];
    DWORD count = 1;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof old[0], reinterpret_cast<DIDEVICEOBJECTDATA*>(old), &count, 0), DI_OK);
    EXPECT_EQ(old[0].dwOfs, DWORD{DIK_W});
    count = INFINITE;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof old[0], nullptr, &count, 0), DI_OK);
    EXPECT_EQ(count, 1u) << "the rest was flushed";
    count = 1;
    EXPECT_EQ(keyboard->GetDeviceData(12, reinterpret_cast<DIDEVICEOBJECTDATA*>(old), &count, 0), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->GetDeviceData(sizeof old[0], nullptr, nullptr, 0), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, ChangesSignalTheEventOfAnAcquiredDevice) {
    IDirectInputDeviceA* keyboard = ReadyKeyboard();
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(keyboard->SetEventNotification(event), DI_OK);
    platform::sdl::PushTestKey(DIK_A, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "not acquired";
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->SetEventNotification(event), DIERR_ACQUIRED);
    platform::sdl::PushTestKey(DIK_A, false);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ResetEvent(event);
    platform::sdl::PushTestMouseButton(0, true);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "another device's change";

    int32_t id;
    IDirectInputDeviceA* pad = ReadyPad(&id);
    HANDLE padEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(pad->SetEventNotification(padEvent), DI_OK);
    ASSERT_EQ(pad->Acquire(), DI_OK);
    platform::sdl::UpdateJoysticks();
    ResetEvent(padEvent);
    platform::sdl::SetTestPadButton(id, 3, true);
    EXPECT_EQ(WaitForSingleObject(padEvent, 0), WAIT_OBJECT_0);
    keyboard->Unacquire();
    pad->Unacquire();
    CloseHandle(event);
    CloseHandle(padEvent);
}

// ---- test seams ------------------------------------------------------------------

TEST_F(DirectInputTest, SeamsFailOneKindOfDeviceWithTheChosenResult) {
    seams::FailCall("IDirectInput::CreateDevice:Mouse", 1, DIERR_OUTOFMEMORY);
    IDirectInputDeviceA* device = nullptr;
    EXPECT_EQ(di7_->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    Keep(device);
    EXPECT_EQ(di7_->CreateDevice(GUID_SysMouse, &device, nullptr), DIERR_OUTOFMEMORY);
    EXPECT_EQ(di7_->CreateDevice(GUID_SysMouse, &device, nullptr), DI_OK);
    Keep(device);
    seams::FailCall("IDirectInputDevice::Acquire");
    EXPECT_EQ(device->SetDataFormat(&c_dfDIMouse2), DI_OK);
    EXPECT_EQ(device->Acquire(), DIERR_OTHERAPPHASPRIO) << "the documented failure when none was chosen";
}

}  // namespace
}  // namespace dinput_test
