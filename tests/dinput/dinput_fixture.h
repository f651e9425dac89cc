// DirectInput objects made through COM, a window that is in the foreground
// or not, and test pads (SDL virtual joysticks) that go away after each test.
#pragma once

#include "platform/dinput/dinput.h"
#include "platform/dinput/dinput_internal.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_joystick.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dinput_test {

inline HWND TheWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7700)); }
inline bool& WindowInFront() {
    static bool inFront = true;
    return inFront;
}
inline bool Foreground(HWND window) { return WindowInFront() && window == TheWindow(); }

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        WindowInFront() = true;
        dinput::SetForegroundQueryForTest(Foreground);
        platform::sdl::ResetInputStateForTest();
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInput7A, &object),
                  S_OK);
        di7_ = static_cast<IDirectInput7A*>(object);
        ASSERT_EQ(di7_->Initialize(GetModuleHandleA(nullptr), 0x0700), DI_OK);
    }

    void TearDown() override {
        seams::ClearAllCalls();
        for (IUnknown* object : objects_) object->Release();
        if (di7_ != nullptr) di7_->Release();
        for (int32_t id : pads_) platform::sdl::DetachTestPad(id);
        platform::sdl::ResetInputStateForTest();
        dinput::SetForegroundQueryForTest(nullptr);
        EXPECT_EQ(dinput::LiveDeviceCount(), 0) << "a device outlived the test";
    }

    int32_t AttachPad(int axes = 4, int buttons = 16, bool rumble = true, int hats = 1) {
        int32_t id = platform::sdl::AttachTestPad("Test pad", axes, buttons, hats, rumble);
        EXPECT_GE(id, 0);
        pads_.push_back(id);
        return id;
    }

    // The instance guid of the n-th game controller.
    GUID PadGuid(int n = 0) {
        struct Found {
            int wanted;
            int seen = 0;
            GUID guid{};
        } found{n};
        di7_->EnumDevices(
            DIDEVTYPE_JOYSTICK,
            [](LPCDIDEVICEINSTANCEA instance, LPVOID context) -> BOOL {
                auto* f = static_cast<Found*>(context);
                if (f->seen++ != f->wanted) return DIENUM_CONTINUE;
                f->guid = instance->guidInstance;
                return DIENUM_STOP;
            },
            &found, DIEDFL_ATTACHEDONLY);
        return found.guid;
    }

    // A device kept until the end of the test.
    IDirectInputDeviceA* Device(REFGUID guid) {
        IDirectInputDeviceA* device = nullptr;
        EXPECT_EQ(di7_->CreateDevice(guid, &device, nullptr), DI_OK);
        if (device != nullptr) objects_.push_back(device);
        return device;
    }

    IDirectInputDeviceA* ReadyPad(int32_t* id, DWORD level = DISCL_EXCLUSIVE | DISCL_FOREGROUND,
                                  const DIDATAFORMAT* format = &c_dfDIJoystick, bool rumble = true) {
        *id = AttachPad(4, 16, rumble);
        IDirectInputDeviceA* pad = Device(PadGuid(static_cast<int>(pads_.size()) - 1));
        EXPECT_EQ(pad->SetDataFormat(format), DI_OK);
        EXPECT_EQ(pad->SetCooperativeLevel(TheWindow(), level), DI_OK);
        return pad;
    }

    IDirectInputDeviceA* ReadyKeyboard() {
        IDirectInputDeviceA* keyboard = Device(GUID_SysKeyboard);
        EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        EXPECT_EQ(keyboard->SetCooperativeLevel(TheWindow(), DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        return keyboard;
    }

    void Keep(IUnknown* object) { objects_.push_back(object); }

    IDirectInput7A* di7_ = nullptr;
    std::vector<int32_t> pads_;
    std::vector<IUnknown*> objects_;
};

inline DIPROPDWORD DwordProperty(DWORD value, DWORD object = 0, DWORD how = DIPH_DEVICE) {
    DIPROPDWORD p{};
    p.diph = {sizeof p, sizeof(DIPROPHEADER), object, how};
    p.dwData = value;
    return p;
}

inline DIPROPRANGE RangeProperty(LONG minimum, LONG maximum, DWORD object, DWORD how = DIPH_BYOFFSET) {
    DIPROPRANGE p{};
    p.diph = {sizeof p, sizeof(DIPROPHEADER), object, how};
    p.lMin = minimum;
    p.lMax = maximum;
    return p;
}

}  // namespace dinput_test
