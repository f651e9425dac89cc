// DirectInput 7 and 8 stand-in: the DirectInput objects, the system keyboard
// and mouse devices, game controllers with force-feedback effects, the
// predefined data formats, properties and the acquisition model.
//
// Devices are backed by SDL2 (platform/sdl): the keyboard and mouse by the
// events SDL queues, game controllers by SDL joysticks, effects by SDL haptic
// effects or, on pads without them, by rumble.
//
// Test seams (seams::FailCall): every method named below fails with the
// test's chosen result (or its documented failure code when the test gave
// none) under the name "<Interface>::<Method>", and, for device calls, also
// under "<Interface>::<Method>:<Kind>" with Kind Keyboard, Mouse or Joystick:
//   IDirectInput::Initialize, IDirectInput::CreateDevice[:Kind] (also used by
//   CreateDeviceEx), IDirectInput::EnumDevices,
//   IDirectInputDevice::SetDataFormat, SetCooperativeLevel, SetProperty,
//   GetProperty, SetEventNotification, Acquire, GetDeviceState, GetDeviceData,
//   Poll, CreateEffect, GetDeviceInfo,
//   IDirectInputEffect::SetParameters, Start, Stop, Download.
#pragma once

#include "platform/com/com.h"
#include "platform/wintypes.h"

// ---- results ----------------------------------------------------------------
#define DI_OK S_OK
#define DI_NOTATTACHED S_FALSE
#define DI_BUFFEROVERFLOW S_FALSE
#define DI_PROPNOEFFECT S_FALSE
#define DI_NOEFFECT S_FALSE
#define DI_POLLEDDEVICE ((HRESULT)0x00000002)
#define DI_DOWNLOADSKIPPED ((HRESULT)0x00000003)
#define DI_EFFECTRESTARTED ((HRESULT)0x00000004)
#define DI_TRUNCATED ((HRESULT)0x00000008)
#define DI_TRUNCATEDANDRESTARTED ((HRESULT)0x0000000C)

#define DIERR_OLDDIRECTINPUTVERSION ((HRESULT)0x8007047E)
#define DIERR_BETADIRECTINPUTVERSION ((HRESULT)0x80070481)
#define DIERR_BADDRIVERVER ((HRESULT)0x80070077)
#define DIERR_DEVICENOTREG REGDB_E_CLASSNOTREG
#define DIERR_NOTFOUND ((HRESULT)0x80070002)
#define DIERR_OBJECTNOTFOUND ((HRESULT)0x80070002)
#define DIERR_INVALIDPARAM E_INVALIDARG
#define DIERR_NOINTERFACE E_NOINTERFACE
#define DIERR_GENERIC E_FAIL
#define DIERR_OUTOFMEMORY E_OUTOFMEMORY
#define DIERR_UNSUPPORTED E_NOTIMPL
#define DIERR_NOTINITIALIZED ((HRESULT)0x80070015)
#define DIERR_ALREADYINITIALIZED ((HRESULT)0x800704DF)
#define DIERR_NOAGGREGATION CLASS_E_NOAGGREGATION
#define DIERR_OTHERAPPHASPRIO ((HRESULT)0x80070005)
#define DIERR_INPUTLOST ((HRESULT)0x8007001E)
#define DIERR_ACQUIRED ((HRESULT)0x800700AA)
#define DIERR_NOTACQUIRED ((HRESULT)0x8007000C)
#define DIERR_READONLY ((HRESULT)0x80070005)
#define DIERR_HANDLEEXISTS ((HRESULT)0x80070005)
#define DIERR_INSUFFICIENTPRIVS ((HRESULT)0x80040200)
#define DIERR_DEVICEFULL ((HRESULT)0x80040201)
#define DIERR_MOREDATA ((HRESULT)0x80040202)
#define DIERR_NOTDOWNLOADED ((HRESULT)0x80040203)
#define DIERR_HASEFFECTS ((HRESULT)0x80040204)
#define DIERR_NOTEXCLUSIVEACQUIRED ((HRESULT)0x80040205)
#define DIERR_INCOMPLETEEFFECT ((HRESULT)0x80040206)
#define DIERR_NOTBUFFERED ((HRESULT)0x80040207)
#define DIERR_EFFECTPLAYING ((HRESULT)0x80040208)
#define DIERR_UNPLUGGED ((HRESULT)0x80040209)

// ---- class and interface ids ----------------------------------------------
extern const CLSID CLSID_DirectInput;
extern const CLSID CLSID_DirectInput8;
extern const IID IID_IDirectInputA;
extern const IID IID_IDirectInput2A;
extern const IID IID_IDirectInput7A;
extern const IID IID_IDirectInput8A;
extern const IID IID_IDirectInputDeviceA;
extern const IID IID_IDirectInputDevice2A;
extern const IID IID_IDirectInputDevice7A;
extern const IID IID_IDirectInputDevice8A;
extern const IID IID_IDirectInputEffect;

// Predefined devices.
extern const GUID GUID_SysMouse;
extern const GUID GUID_SysKeyboard;
extern const GUID GUID_Joystick;

// Object types of the data formats.
extern const GUID GUID_XAxis;
extern const GUID GUID_YAxis;
extern const GUID GUID_ZAxis;
extern const GUID GUID_RxAxis;
extern const GUID GUID_RyAxis;
extern const GUID GUID_RzAxis;
extern const GUID GUID_Slider;
extern const GUID GUID_Button;
extern const GUID GUID_Key;
extern const GUID GUID_POV;

// Effects.
extern const GUID GUID_ConstantForce;
extern const GUID GUID_RampForce;
extern const GUID GUID_Square;
extern const GUID GUID_Sine;
extern const GUID GUID_Triangle;
extern const GUID GUID_SawtoothUp;
extern const GUID GUID_SawtoothDown;

// Properties: predefined property ids are small numbers, not real GUIDs.
constexpr GUID MakeDirectInputProperty(uint32_t id) { return GUID{id, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}; }
inline constexpr GUID DIPROP_BUFFERSIZE = MakeDirectInputProperty(1);
inline constexpr GUID DIPROP_AXISMODE = MakeDirectInputProperty(2);
inline constexpr GUID DIPROP_GRANULARITY = MakeDirectInputProperty(3);
inline constexpr GUID DIPROP_RANGE = MakeDirectInputProperty(4);
inline constexpr GUID DIPROP_DEADZONE = MakeDirectInputProperty(5);
inline constexpr GUID DIPROP_SATURATION = MakeDirectInputProperty(6);
inline constexpr GUID DIPROP_FFGAIN = MakeDirectInputProperty(7);
inline constexpr GUID DIPROP_FFLOAD = MakeDirectInputProperty(8);
inline constexpr GUID DIPROP_AUTOCENTER = MakeDirectInputProperty(9);
#define DIPROPAXISMODE_ABS 0
#define DIPROPAXISMODE_REL 1
#define DIPROPAUTOCENTER_OFF 0
#define DIPROPAUTOCENTER_ON 1

// ---- flags ------------------------------------------------------------------
#define DISCL_EXCLUSIVE 0x00000001
#define DISCL_NONEXCLUSIVE 0x00000002
#define DISCL_FOREGROUND 0x00000004
#define DISCL_BACKGROUND 0x00000008
#define DISCL_NOWINKEY 0x00000010

#define DIEDFL_ALLDEVICES 0x00000000
#define DIEDFL_ATTACHEDONLY 0x00000001
#define DIEDFL_FORCEFEEDBACK 0x00000100

#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1

// Device types (version 7) and device classes (version 8).
#define DIDEVTYPE_DEVICE 1
#define DIDEVTYPE_MOUSE 2
#define DIDEVTYPE_KEYBOARD 3
#define DIDEVTYPE_JOYSTICK 4
#define DIDEVTYPE_HID 0x00010000
#define DIDEVTYPEJOYSTICK_GAMEPAD 4
#define DI8DEVCLASS_ALL 0
#define DI8DEVCLASS_DEVICE 1
#define DI8DEVCLASS_POINTER 2
#define DI8DEVCLASS_KEYBOARD 3
#define DI8DEVCLASS_GAMECTRL 4
#define DI8DEVTYPE_MOUSE 0x12
#define DI8DEVTYPE_KEYBOARD 0x13
#define DI8DEVTYPE_GAMEPAD 0x15
#define DI8DEVTYPEGAMEPAD_STANDARD 2

#define DIPH_DEVICE 0
#define DIPH_BYOFFSET 1
#define DIPH_BYID 2

#define DIGDD_PEEK 0x00000001

// Data format object types and flags.
#define DIDF_ABSAXIS 0x00000001
#define DIDF_RELAXIS 0x00000002
#define DIDFT_RELAXIS 0x00000001
#define DIDFT_ABSAXIS 0x00000002
#define DIDFT_AXIS 0x00000003
#define DIDFT_PSHBUTTON 0x00000004
#define DIDFT_TGLBUTTON 0x00000008
#define DIDFT_BUTTON 0x0000000C
#define DIDFT_POV 0x00000010
#define DIDFT_ANYINSTANCE 0x00FFFF00
#define DIDFT_OPTIONAL 0x80000000
#define DIDFT_MAKEINSTANCE(n) ((DWORD)(n) << 8)

// Effects.
#define DI_FFNOMINALMAX 10000
#define DI_SECONDS 1000000
#define DI_DEGREES 100
#define DIEFF_OBJECTIDS 0x00000001
#define DIEFF_OBJECTOFFSETS 0x00000002
#define DIEFF_CARTESIAN 0x00000010
#define DIEFF_POLAR 0x00000020
#define DIEFF_SPHERICAL 0x00000040
#define DIEP_DURATION 0x00000001
#define DIEP_SAMPLEPERIOD 0x00000002
#define DIEP_GAIN 0x00000004
#define DIEP_TRIGGERBUTTON 0x00000008
#define DIEP_TRIGGERREPEATINTERVAL 0x00000010
#define DIEP_AXES 0x00000020
#define DIEP_DIRECTION 0x00000040
#define DIEP_ENVELOPE 0x00000080
#define DIEP_TYPESPECIFICPARAMS 0x00000100
#define DIEP_STARTDELAY 0x00000200
#define DIEP_ALLPARAMS_DX5 0x000001FF
#define DIEP_ALLPARAMS 0x000003FF
#define DIEP_START 0x20000000
#define DIEP_NORESTART 0x40000000
#define DIEP_NODOWNLOAD 0x80000000
#define DIEB_NOTRIGGER 0xFFFFFFFF
#define DIES_SOLO 0x00000001
#define DIES_NODOWNLOAD 0x80000000
#define DIEGES_PLAYING 0x00000001
#define DIEGES_EMULATED 0x00000002

// ---- data formats and device states -----------------------------------------
struct DIOBJECTDATAFORMAT {
    const GUID* pguid;
    DWORD dwOfs;
    DWORD dwType;
    DWORD dwFlags;
};

struct DIDATAFORMAT {
    DWORD dwSize;
    DWORD dwObjSize;
    DWORD dwFlags;
    DWORD dwDataSize;
    DWORD dwNumObjs;
    const DIOBJECTDATAFORMAT* rgodf;
};

// The predefined formats; SetDataFormat takes exactly these.
extern const DIDATAFORMAT c_dfDIKeyboard;
extern const DIDATAFORMAT c_dfDIMouse;
extern const DIDATAFORMAT c_dfDIMouse2;
extern const DIDATAFORMAT c_dfDIJoystick;
extern const DIDATAFORMAT c_dfDIJoystick2;

struct DIMOUSESTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[4];
};

struct DIMOUSESTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    BYTE rgbButtons[8];
};

struct DIJOYSTATE {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[32];
};

struct DIJOYSTATE2 {
    LONG lX;
    LONG lY;
    LONG lZ;
    LONG lRx;
    LONG lRy;
    LONG lRz;
    LONG rglSlider[2];
    DWORD rgdwPOV[4];
    BYTE rgbButtons[128];
    LONG lVX, lVY, lVZ, lVRx, lVRy, lVRz;
    LONG rglVSlider[2];
    LONG lAX, lAY, lAZ, lARx, lARy, lARz;
    LONG rglASlider[2];
    LONG lFX, lFY, lFZ, lFRx, lFRy, lFRz;
    LONG rglFSlider[2];
};

static_assert(sizeof(DIMOUSESTATE2) == 20 && sizeof(DIJOYSTATE) == 80 && sizeof(DIJOYSTATE2) == 272);

#define DIMOFS_X 0
#define DIMOFS_Y 4
#define DIMOFS_Z 8
#define DIMOFS_BUTTON0 12
#define DIJOFS_X 0
#define DIJOFS_Y 4
#define DIJOFS_Z 8
#define DIJOFS_RX 12
#define DIJOFS_RY 16
#define DIJOFS_RZ 20
#define DIJOFS_SLIDER(n) (24 + (n) * 4)
#define DIJOFS_POV(n) (32 + (n) * 4)
#define DIJOFS_BUTTON(n) (48 + (n))

// One buffered event (GetDeviceData). The version 3 layout has no
// application data; either size is accepted.
struct DIDEVICEOBJECTDATA_DX3 {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
};
struct DIDEVICEOBJECTDATA {
    DWORD dwOfs;
    DWORD dwData;
    DWORD dwTimeStamp;
    DWORD dwSequence;
    UINT_PTR uAppData;
};

// ---- device instances and properties ------------------------------------
struct DIDEVICEINSTANCEA {
    DWORD dwSize;
    GUID guidInstance;
    GUID guidProduct;
    DWORD dwDevType;
    CHAR tszInstanceName[MAX_PATH];
    CHAR tszProductName[MAX_PATH];
    GUID guidFFDriver;
    WORD wUsagePage;
    WORD wUsage;
};
// The version 3 layout ends after the product name.
#define DIDEVICEINSTANCE_DX3A_SIZE (offsetof(DIDEVICEINSTANCEA, guidFFDriver))
using LPCDIDEVICEINSTANCEA = const DIDEVICEINSTANCEA*;
using LPDIENUMDEVICESCALLBACKA = BOOL (*)(LPCDIDEVICEINSTANCEA instance, LPVOID context);

struct DIPROPHEADER {
    DWORD dwSize;
    DWORD dwHeaderSize;
    DWORD dwObj;
    DWORD dwHow;
};
struct DIPROPDWORD {
    DIPROPHEADER diph;
    DWORD dwData;
};
struct DIPROPRANGE {
    DIPROPHEADER diph;
    LONG lMin;
    LONG lMax;
};

// ---- effects ----------------------------------------------------------------
struct DIENVELOPE {
    DWORD dwSize;
    DWORD dwAttackLevel;
    DWORD dwAttackTime;  // microseconds
    DWORD dwFadeLevel;
    DWORD dwFadeTime;    // microseconds
};
struct DICONSTANTFORCE {
    LONG lMagnitude;
};
struct DIPERIODIC {
    DWORD dwMagnitude;
    LONG lOffset;
    DWORD dwPhase;
    DWORD dwPeriod;  // microseconds
};
struct DIEFFECT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwDuration;  // microseconds, INFINITE for no end
    DWORD dwSamplePeriod;
    DWORD dwGain;
    DWORD dwTriggerButton;
    DWORD dwTriggerRepeatInterval;
    DWORD cAxes;
    DWORD* rgdwAxes;
    LONG* rglDirection;
    DIENVELOPE* lpEnvelope;
    DWORD cbTypeSpecificParams;
    LPVOID lpvTypeSpecificParams;
    DWORD dwStartDelay;
};
// The version 5 layout ends before the start delay.
#define DIEFFECT_DX5_SIZE (offsetof(DIEFFECT, dwStartDelay))

struct IDirectInputEffect : IUnknown {
    virtual HRESULT GetEffectGuid(GUID* guid) = 0;
    virtual HRESULT GetParameters(DIEFFECT* effect, DWORD flags) = 0;
    virtual HRESULT SetParameters(const DIEFFECT* effect, DWORD flags) = 0;
    virtual HRESULT Start(DWORD iterations, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetEffectStatus(DWORD* status) = 0;
    virtual HRESULT Download() = 0;
    virtual HRESULT Unload() = 0;
};
using LPDIRECTINPUTEFFECT = IDirectInputEffect*;

// ---- devices ------------------------------------------------------------------
// One interface serves the version 7 and version 8 devices: the methods the
// system calls are the same in both; QueryInterface answers the IID of the
// version the device was created for.
struct IDirectInputDeviceA : IUnknown {
    virtual HRESULT GetProperty(REFGUID property, DIPROPHEADER* header) = 0;
    virtual HRESULT SetProperty(REFGUID property, const DIPROPHEADER* header) = 0;
    virtual HRESULT Acquire() = 0;
    virtual HRESULT Unacquire() = 0;
    virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
    virtual HRESULT GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* inOut, DWORD flags) = 0;
    virtual HRESULT SetDataFormat(const DIDATAFORMAT* format) = 0;
    virtual HRESULT SetEventNotification(HANDLE event) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    virtual HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* instance) = 0;
    virtual HRESULT CreateEffect(REFGUID effectGuid, const DIEFFECT* effect, LPDIRECTINPUTEFFECT* out,
                                 IUnknown* outer) = 0;
    virtual HRESULT Poll() = 0;
};
using IDirectInputDevice7A = IDirectInputDeviceA;
using IDirectInputDevice8A = IDirectInputDeviceA;
using LPDIRECTINPUTDEVICEA = IDirectInputDeviceA*;
using LPDIRECTINPUTDEVICE7A = IDirectInputDeviceA*;
using LPDIRECTINPUTDEVICE8A = IDirectInputDeviceA*;

// ---- the DirectInput objects ------------------------------------------------
struct IDirectInput7A : IUnknown {
    virtual HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA* device, IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(DWORD deviceType, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                DWORD flags) = 0;
    virtual HRESULT GetDeviceStatus(REFGUID guid) = 0;
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
    virtual HRESULT CreateDeviceEx(REFGUID guid, REFIID iid, LPVOID* device, IUnknown* outer) = 0;
};

struct IDirectInput8A : IUnknown {
    virtual HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8A* device, IUnknown* outer) = 0;
    virtual HRESULT EnumDevices(DWORD deviceClass, LPDIENUMDEVICESCALLBACKA callback, LPVOID context,
                                DWORD flags) = 0;
    virtual HRESULT GetDeviceStatus(REFGUID guid) = 0;
    virtual HRESULT Initialize(HINSTANCE instance, DWORD version) = 0;
};

// ---- DirectInput key codes ----------------------------------------------------
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_SEMICOLON 0x27
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_KANA 0x70
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_CIRCUMFLEX 0x90
#define DIK_AT 0x91
#define DIK_COLON 0x92
#define DIK_KANJI 0x94
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_DIVIDE 0xB5
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3

namespace dinput {
// Adds the DirectInput 7 and 8 classes to the COM registry.
void RegisterClasses();
// Tests: decide whether a window counts as the foreground window, which
// foreground devices need (null: ask the window stand-in).
void SetForegroundQueryForTest(bool (*query)(HWND window));
// Tests: how many device objects exist (an effect keeps its device).
int LiveDeviceCount();
}  // namespace dinput
