// The DirectInput 7 and 8 objects: initialisation, device creation and the
// enumeration of the attached devices.
#include "platform/dinput/dinput_internal.h"

#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

#include <cstring>
#include <string>
#include <vector>

namespace dinput {
namespace {

// Instance guids of game controllers carry SDL's instance id.
constexpr uint16_t kJoystickGuidData2 = 0x5D1A;
constexpr uint16_t kJoystickGuidData3 = 0x11D3;
constexpr uint8_t kJoystickGuidTail[8] = {'S', 'D', 'L', 'J', 'O', 'Y', 0, 0};

DWORD DeviceType(DeviceKind kind, DWORD version) {
    if (version >= 0x0800) {
        switch (kind) {
            case DeviceKind::Keyboard: return DI8DEVTYPE_KEYBOARD | (4 << 8);  // enhanced keyboard
            case DeviceKind::Mouse: return DI8DEVTYPE_MOUSE | (1 << 8);
            default: return DI8DEVTYPE_GAMEPAD | (DI8DEVTYPEGAMEPAD_STANDARD << 8) | DIDEVTYPE_HID;
        }
    }
    switch (kind) {
        case DeviceKind::Keyboard: return DIDEVTYPE_KEYBOARD | (4 << 8);
        case DeviceKind::Mouse: return DIDEVTYPE_MOUSE | (1 << 8);
        default: return DIDEVTYPE_JOYSTICK | (DIDEVTYPEJOYSTICK_GAMEPAD << 8) | DIDEVTYPE_HID;
    }
}

void CopyName(char* to, const char* utf8) {
    std::string text = platform::Utf8ToShiftJis(utf8);
    std::strncpy(to, text.c_str(), MAX_PATH - 1);
    to[MAX_PATH - 1] = '\0';
}

// Which kinds a device type (version 7) or class (version 8) asks for; false
// for a value neither version knows.
bool KindsOf(DWORD type, DWORD version, bool* keyboard, bool* mouse, bool* joystick) {
    *keyboard = *mouse = *joystick = false;
    switch (type) {
        case 0: *keyboard = *mouse = *joystick = true; return true;  // every device
        case 1: return true;                                          // other devices: none here
        case 2: *mouse = true; return true;
        case 3: *keyboard = true; return true;
        case 4: *joystick = true; return true;
        default: break;
    }
    if (version < 0x0800) return false;
    switch (type) {  // version 8 device types
        case DI8DEVTYPE_MOUSE: *mouse = true; return true;
        case DI8DEVTYPE_KEYBOARD: *keyboard = true; return true;
        case 0x14: case 0x15: case 0x16: case 0x17: case 0x18: *joystick = true; return true;
        default: return false;
    }
}

DeviceKind KindOfGuid(REFGUID guid) {
    if (guid == GUID_SysKeyboard) return DeviceKind::Keyboard;
    if (guid == GUID_SysMouse) return DeviceKind::Mouse;
    return DeviceKind::Joystick;
}

HRESULT EnumerateDevices(DWORD version, DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                         DWORD flags) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInput::EnumDevices", DIERR_INVALIDPARAM)) return *failed;
    bool keyboard, mouse, joystick;
    const DWORD knownFlags = DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK | 0x00010000 | 0x00020000 | 0x00040000;
    if (callback == nullptr || (flags & ~knownFlags) != 0 || !KindsOf(type, version, &keyboard, &mouse, &joystick))
        return DIERR_INVALIDPARAM;
    bool forceFeedbackOnly = (flags & DIEDFL_FORCEFEEDBACK) != 0;
    // The list is taken first: the callback may create and release devices.
    std::vector<DIDEVICEINSTANCEA> found;
    DIDEVICEINSTANCEA instance;
    if (mouse && !forceFeedbackOnly) {
        DescribeSystemDevice(DeviceKind::Mouse, version, &instance);
        found.push_back(instance);
    }
    if (keyboard && !forceFeedbackOnly) {
        DescribeSystemDevice(DeviceKind::Keyboard, version, &instance);
        found.push_back(instance);
    }
    if (joystick) {
        platform::sdl::UpdateJoysticks();
        for (int i = 0; i < platform::sdl::JoystickCount(); ++i) {
            if (!DescribeJoystick(i, version, &instance)) continue;
            if (forceFeedbackOnly) {
                int32_t id = -1;
                JoystickIdFromGuid(instance.guidInstance, &id);
                platform::sdl::Joystick* j = platform::sdl::OpenJoystick(id);
                bool vibrates = platform::sdl::CanVibrate(j);
                platform::sdl::CloseJoystick(j);
                if (!vibrates) continue;
            }
            found.push_back(instance);
        }
    }
    for (const DIDEVICEINSTANCEA& each : found)
        if (callback(&each, context) == DIENUM_STOP) break;
    return DI_OK;
}

HRESULT CreateDeviceChecked(bool initialized, REFGUID guid, DWORD version, IDirectInputDeviceA** device,
                            IUnknown* outer) {
    if (device == nullptr) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (!initialized) return DIERR_NOTINITIALIZED;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    const char* kind = KindName(KindOfGuid(guid));
    if (auto failed = seams::FailNow<HRESULT>("IDirectInput::CreateDevice", kind, DIERR_DEVICENOTREG)) return *failed;
    return CreateDeviceObject(guid, version, device);
}

HRESULT DeviceStatus(bool initialized, REFGUID guid) {
    if (!initialized) return DIERR_NOTINITIALIZED;
    if (guid == GUID_SysKeyboard || guid == GUID_SysMouse) return DI_OK;
    int32_t id;
    if (!JoystickIdFromGuid(guid, &id)) return DIERR_DEVICENOTREG;
    platform::sdl::UpdateJoysticks();
    DIDEVICEINSTANCEA instance;
    for (int i = 0; i < platform::sdl::JoystickCount(); ++i)
        if (DescribeJoystick(i, 0x0800, &instance) && instance.guidInstance == guid) return DI_OK;
    return DI_NOTATTACHED;
}

// Version checks of Initialize: an object answers the versions of its
// interface and refuses older and newer ones.
HRESULT CheckVersion(DWORD version, DWORD lowest, DWORD highest) {
    if (version < lowest) return version == 0 ? DIERR_NOTINITIALIZED : DIERR_OLDDIRECTINPUTVERSION;
    if (version > highest) return DIERR_BETADIRECTINPUTVERSION;
    return DI_OK;
}

HRESULT InitializeObject(HINSTANCE instance, DWORD version, DWORD lowest, DWORD highest, DWORD* stored) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInput::Initialize", DIERR_GENERIC)) return *failed;
    if (instance == nullptr) return DIERR_INVALIDPARAM;
    if (const HRESULT hr = CheckVersion(version, lowest, highest); hr != DI_OK) return hr;
    platform::sdl::StartInputWatch();
    platform::sdl::StartJoysticks();  // without joysticks there are simply no controllers
    *stored = version;
    return DI_OK;
}

// What the version 7 and version 8 objects share; each answers its own
// interfaces and versions.
template <typename Interface>
class DirectInputObject : public ComObject<Interface> {
public:
    HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* device, IUnknown* outer) override {
        return CreateDeviceChecked(version_ != 0, guid, version_, device, outer);
    }
    HRESULT EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID context, DWORD flags) override {
        if (version_ == 0) return DIERR_NOTINITIALIZED;
        return EnumerateDevices(version_, type, callback, context, flags);
    }
    HRESULT GetDeviceStatus(REFGUID guid) override { return DeviceStatus(version_ != 0, guid); }

protected:
    DWORD version_ = 0;
};

class DirectInput7 final : public DirectInputObject<IDirectInput7A> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectInputA, &IID_IDirectInput2A, &IID_IDirectInput7A}, object);
    }
    HRESULT Initialize(HINSTANCE instance, DWORD version) override {
        return InitializeObject(instance, version, 0x0300, 0x0700, &version_);
    }
    HRESULT CreateDeviceEx(REFGUID guid, REFIID iid, LPVOID* device, IUnknown* outer) override {
        if (device == nullptr) return DIERR_INVALIDPARAM;
        *device = nullptr;
        if (!(iid == IID_IDirectInputDeviceA || iid == IID_IDirectInputDevice2A || iid == IID_IDirectInputDevice7A))
            return DIERR_NOINTERFACE;
        IDirectInputDeviceA* made = nullptr;
        HRESULT hr = CreateDeviceChecked(version_ != 0, guid, version_, &made, outer);
        *device = made;
        return hr;
    }
};

class DirectInput8 final : public DirectInputObject<IDirectInput8A> {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectInput8A}, object);
    }
    HRESULT Initialize(HINSTANCE instance, DWORD version) override {
        return InitializeObject(instance, version, 0x0800, 0x0800, &version_);
    }
};

}  // namespace

GUID JoystickInstanceGuid(int32_t id) {
    GUID guid{static_cast<uint32_t>(id), kJoystickGuidData2, kJoystickGuidData3, {}};
    std::memcpy(guid.Data4, kJoystickGuidTail, sizeof guid.Data4);
    return guid;
}

bool JoystickIdFromGuid(REFGUID guid, int32_t* id) {
    if (guid.Data2 != kJoystickGuidData2 || guid.Data3 != kJoystickGuidData3 ||
        std::memcmp(guid.Data4, kJoystickGuidTail, sizeof guid.Data4) != 0)
        return false;
    *id = static_cast<int32_t>(guid.Data1);
    return true;
}

void DescribeSystemDevice(DeviceKind kind, DWORD version, DIDEVICEINSTANCEA* instance) {
    std::memset(instance, 0, sizeof *instance);
    instance->dwSize = sizeof *instance;
    instance->guidInstance = kind == DeviceKind::Keyboard ? GUID_SysKeyboard : GUID_SysMouse;
    instance->guidProduct = instance->guidInstance;
    instance->dwDevType = DeviceType(kind, version);
    const char* name = kind == DeviceKind::Keyboard ? "Keyboard" : "Mouse";
    CopyName(instance->tszInstanceName, name);
    CopyName(instance->tszProductName, name);
    instance->wUsagePage = 1;
    instance->wUsage = kind == DeviceKind::Keyboard ? 6 : 2;
}

bool DescribeJoystick(int index, DWORD version, DIDEVICEINSTANCEA* instance) {
    platform::sdl::JoystickInfo info;
    if (!platform::sdl::GetJoystickInfo(index, &info)) return false;
    std::memset(instance, 0, sizeof *instance);
    instance->dwSize = sizeof *instance;
    instance->guidInstance = JoystickInstanceGuid(info.id);
    std::memcpy(&instance->guidProduct, info.product, sizeof instance->guidProduct);
    instance->dwDevType = DeviceType(DeviceKind::Joystick, version);
    CopyName(instance->tszInstanceName, info.name);
    CopyName(instance->tszProductName, info.name);
    instance->wUsagePage = 1;
    instance->wUsage = 5;  // game pad
    return true;
}

HRESULT CreateDeviceObject(REFGUID guid, DWORD version, IDirectInputDeviceA** device) {
    DIDEVICEINSTANCEA description;
    if (guid == GUID_SysKeyboard || guid == GUID_SysMouse) {
        DeviceKind kind = KindOfGuid(guid);
        DescribeSystemDevice(kind, version, &description);
        *device = new Device(kind, version, description, nullptr);
        return DI_OK;
    }
    int32_t id;
    if (!JoystickIdFromGuid(guid, &id)) return DIERR_DEVICENOTREG;
    platform::sdl::UpdateJoysticks();
    for (int i = 0; i < platform::sdl::JoystickCount(); ++i) {
        if (!DescribeJoystick(i, version, &description) || !(description.guidInstance == guid)) continue;
        platform::sdl::Joystick* joystick = platform::sdl::OpenJoystick(id);
        if (joystick == nullptr) return DIERR_DEVICENOTREG;
        *device = new Device(DeviceKind::Joystick, version, description, joystick);
        return DI_OK;
    }
    return DIERR_DEVICENOTREG;
}

void RegisterClasses() {
    com::RegisterClass(CLSID_DirectInput, []() -> IUnknown* { return new DirectInput7; });
    com::RegisterClass(CLSID_DirectInput8, []() -> IUnknown* { return new DirectInput8; });
}

}  // namespace dinput
