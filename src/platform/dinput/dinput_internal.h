// Internals shared by the DirectInput stand-in's files.
#pragma once

#include "platform/dinput/dinput.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_joystick.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <vector>

namespace dinput {

enum class DeviceKind { Keyboard, Mouse, Joystick };

// The kind's name in the test seams ("<call>:Keyboard", say).
const char* KindName(DeviceKind kind);

// Whether window is the foreground window (the stand-in's foreground levels
// follow it).
bool IsForeground(HWND window);

// The device behind a guid (GUID_SysKeyboard, GUID_SysMouse or a game
// controller's instance guid) for a DirectInput object of that version.
HRESULT CreateDeviceObject(REFGUID guid, DWORD version, IDirectInputDeviceA** device);
// Fills a device instance for a controller; false when none has that index.
bool DescribeJoystick(int index, DWORD version, DIDEVICEINSTANCEA* instance);
void DescribeSystemDevice(DeviceKind kind, DWORD version, DIDEVICEINSTANCEA* instance);
// The instance guid of the joystick with an SDL instance id, and back.
GUID JoystickInstanceGuid(int32_t id);
bool JoystickIdFromGuid(REFGUID guid, int32_t* id);

// An axis position (-32768..32767) within a range, with the dead zone and
// saturation in 1/10000 of the travel from the centre.
LONG ScaleAxis(int32_t raw, LONG minimum, LONG maximum, DWORD deadZone, DWORD saturation);

class Effect;

class Device final : public ComObject<IDirectInputDeviceA> {
public:
    // Takes over the joystick handle (null for the keyboard and the mouse).
    Device(DeviceKind kind, DWORD version, const DIDEVICEINSTANCEA& description, platform::sdl::Joystick* joystick);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT GetProperty(REFGUID property, DIPROPHEADER* header) override;
    HRESULT SetProperty(REFGUID property, const DIPROPHEADER* header) override;
    HRESULT Acquire() override;
    HRESULT Unacquire() override;
    HRESULT GetDeviceState(DWORD size, LPVOID data) override;
    HRESULT GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* inOut, DWORD flags) override;
    HRESULT SetDataFormat(const DIDATAFORMAT* format) override;
    HRESULT SetEventNotification(HANDLE event) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) override;
    HRESULT CreateEffect(REFGUID effectGuid, const DIEFFECT* effect, LPDIRECTINPUTEFFECT* out,
                         IUnknown* outer) override;
    HRESULT Poll() override;

    const GUID& instance() const { return description_.guidInstance; }
    // For effects.
    platform::sdl::Joystick* joystick() const { return joystick_; }
    bool ExclusivelyAcquired() const { return acquired_ && (level_ & DISCL_EXCLUSIVE) != 0; }
    // Whether an axis offset names an axis this device has.
    bool HasAxisAt(DWORD offset) const;
    void AttachEffect(Effect* effect);
    void DetachEffect(Effect* effect);
    // Stops every other effect of this device (a solo start).
    void StopEffectsExcept(Effect* keep);

private:
    ~Device() override;

    enum class Format { None, Keyboard, Mouse, Mouse2, Joystick, Joystick2 };
    struct Axis {
        LONG minimum = 0;
        LONG maximum = 65535;
        DWORD deadZone = 0;
        DWORD saturation = 10000;
    };
    static constexpr int kAxes = 8;  // X, Y, Z, Rx, Ry, Rz, two sliders

    const char* kindName() const { return KindName(kind_); }
    bool CheckLost();
    HRESULT ReadyToRead();
    void ReadKeyboard(BYTE* out);
    void ReadMouse(BYTE* out, DWORD size);
    void ReadJoystick(BYTE* out, DWORD size);
    // The axis slot (0..7) a property header names, or -1 for the whole
    // device; a failure result when it names nothing.
    HRESULT AxisSlotOf(const DIPROPHEADER* header, int* slot) const;
    int SdlAxisOf(int slot) const;
    void UnloadEffects();
    static void OnInputChange(void* context, const platform::sdl::InputChange& change);

    const DeviceKind kind_;
    const DWORD version_;
    const DIDEVICEINSTANCEA description_;
    platform::sdl::Joystick* joystick_;
    int32_t joystickId_ = -1;
    int listener_ = -1;

    Format format_ = Format::None;
    DWORD dataSize_ = 0;
    HWND window_ = nullptr;
    DWORD level_ = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    std::atomic<bool> acquired_{false};
    Axis axes_[kAxes];
    DWORD autocenter_ = DIPROPAUTOCENTER_ON;
    platform::sdl::MouseTotals mouseSeen_{};
    uint32_t keyPressesSeen_[256] = {};

    // Shared with the input listener.
    std::mutex lock_;
    HANDLE event_ = nullptr;
    DWORD bufferSize_ = 0;
    std::deque<DIDEVICEOBJECTDATA_DX3> buffer_;
    DWORD sequence_ = 0;
    bool overflow_ = false;

    std::vector<Effect*> effects_;
};

HRESULT CreateEffectObject(Device* device, REFGUID guid, const DIEFFECT* parameters, IDirectInputEffect** out);
// What a device does to its effects: unload them when it is unacquired, stop
// them for a solo start.
void UnloadEffect(Effect* effect);
void StopEffect(Effect* effect);

}  // namespace dinput
