// Input start-up and shutdown: DirectInput 7, else 8, else the multimedia
// joysticks; the mouse, keyboard and joypad devices; cooperative levels on
// activation changes; the two window-message flags.
#include "input/input_internal.h"

#include "core/log.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "platform/winmm/joystick.h"

#include <cstdlib>
#include <cstring>

namespace input {

InputBlock g_input;
uint8_t g_keyboardRefreshGuard = 0;
int32_t g_startupGuard = 0;

void WriteDefaultKeyMap();  // input_pad.cpp

namespace {

IDirectInput7A* DirectInput7() { return static_cast<IDirectInput7A*>(g_input.directInput); }
IDirectInput8A* DirectInput8() { return static_cast<IDirectInput8A*>(g_input.directInput); }

void ReleaseDevice(IDirectInputDeviceA** device) {
    if (*device == nullptr) return;
    (*device)->Release();
    *device = nullptr;
}

void ReleaseEffect(IDirectInputEffect** effect) {
    if (*effect == nullptr) return;
    (*effect)->Stop();
    (*effect)->Release();
    *effect = nullptr;
}

// A mouse or keyboard that cannot be set up ends the program.
[[noreturn]] void FailFatally(const char* message) {
    ReleaseDevice(&g_input.mouse);
    ReleaseDevice(&g_input.keyboard);
    if (g_input.keyboardEvent != nullptr) {
        CloseHandle(g_input.keyboardEvent);
        g_input.keyboardEvent = nullptr;
    }
    if (g_input.directInput != nullptr) g_input.directInput->Release();
    g_input.directInput = nullptr;
    g_startupGuard = 0;
    Host().exitWithError(message);
    std::abort();  // the library's exit does not return
}

// One DirectInput version: create the object and initialise it; logs as it goes.
bool ObtainDirectInput(const CLSID& clsid, const IID& iid, DWORD version, bool logErrorCode) {
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object);
    if (FAILED(hr) || object == nullptr) {
        if (logErrorCode) {
            WriteLog("取得に失敗。\n");
            WriteLogFormatted("エラーコード 0x%x\n", static_cast<unsigned>(hr));
        } else {
            WriteLog("取得に失敗。");
        }
        return false;
    }
    g_input.directInput = static_cast<IUnknown*>(object);
    WriteLog("成功\n");
    IncreaseLogIndent();
    WriteLog("引き続き初期化処理... ");
    HINSTANCE module = GetModuleHandleA(nullptr);
    hr = version >= 0x0800 ? DirectInput8()->Initialize(module, version) : DirectInput7()->Initialize(module, version);
    DecreaseLogIndent();
    if (FAILED(hr)) {
        WriteLog("初期化に失敗。");
        g_input.directInput->Release();
        g_input.directInput = nullptr;
        return false;
    }
    WriteLog("初期化成功\n");
    return true;
}

bool ObtainAnyDirectInput() {
    WriteLog("DirectInput関係初期化処理\n");
    IncreaseLogIndent();
    WriteLog("DirectInput7 の取得中... ");
    if (ObtainDirectInput(CLSID_DirectInput, IID_IDirectInput7A, 0x0700, true)) {
        g_input.directInput8 = 0;
        return true;
    }
    WriteLog("DirectInput8 の取得を試みます...");
    if (ObtainDirectInput(CLSID_DirectInput8, IID_IDirectInput8A, 0x0800, false)) {
        g_input.directInput8 = 1;
        return true;
    }
    WriteLog("DirectInput を使用しません。\n");
    DecreaseLogIndent();
    if (g_input.directInput != nullptr) g_input.directInput->Release();
    g_input.directInput = nullptr;
    g_input.noDirectInput = 1;
    return false;
}

void SetUpMouse(HWND window) {
    WriteLog("マウスデバイスの初期化... ");
    g_input.mouse = CreateInputDevice(GUID_SysMouse);
    if (g_input.mouse == nullptr) FailFatally("マウスデバイスの取得に失敗しました");
    if (FAILED(g_input.mouse->SetDataFormat(&c_dfDIMouse2)))
        FailFatally("マウスデバイスのデータ形式の設定に失敗しました");
    if (FAILED(g_input.mouse->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailFatally("マウスデバイスの協調レベルの設定に失敗しました");
    WriteLog("初期化成功\n");
    g_input.keyboardTime = Host().timeGetTime();
}

// False when the keyboard refuses its notification event.
bool SetUpKeyboard(HWND window) {
    WriteLog("キーボードデバイスの初期化... ");
    g_input.keyboard = CreateInputDevice(GUID_SysKeyboard);
    if (g_input.keyboard == nullptr) FailFatally("キーボードデバイスの取得に失敗しました");
    if (FAILED(g_input.keyboard->SetDataFormat(&c_dfDIKeyboard)))
        FailFatally("キーボードデバイスのデータ形式の設定に失敗しました");
    if (FAILED(g_input.keyboard->SetCooperativeLevel(window, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND)))
        FailFatally("キーボードデバイスの協調レベルの設定に失敗しました");
    DIPROPDWORD buffer{};
    buffer.diph.dwSize = sizeof buffer;
    buffer.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    buffer.diph.dwObj = 0;
    buffer.diph.dwHow = DIPH_DEVICE;
    buffer.dwData = 100;
    if (FAILED(g_input.keyboard->SetProperty(DIPROP_BUFFERSIZE, &buffer.diph)))
        WriteLog("キーボードのプロパティ設定に失敗しました\n");
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = g_input.keyboard->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        WriteLog("キーボードイベントのセットアップが失敗しました\n");
        if (event != nullptr) CloseHandle(event);  // the keyboard never took it
        return false;
    }
    g_input.keyboardEvent = event;
    if (FAILED(g_input.keyboard->Acquire()) && FAILED(g_input.keyboard->Acquire()))
        FailFatally("キーボードデバイスの取得に失敗しました");
    WriteLog("初期化成功\n");
    g_input.keyboardTime = Host().timeGetTime();
    return true;
}

void StartWithoutDirectInput() {
    IncreaseLogIndent();
    int32_t answered = 0;
    for (UINT id = 0; id < kMaxPads; ++id) {
        JOYCAPSA caps;
        std::memset(&caps, 0, sizeof caps);
        if (joyGetDevCapsA(id, &caps, sizeof caps) != JOYERR_NOERROR) break;
        bool zAndR = (caps.wCaps & JOYCAPS_HASZ) != 0 && (caps.wCaps & JOYCAPS_HASR) != 0;
        g_input.pads[id].hasZAndR = zAndR ? 1 : 0;
        ++answered;
    }
    WriteLogFormatted("パッドの数は %d 個です\n", answered);
    DecreaseLogIndent();
    g_input.directInput = NoDirectInput();
    WriteLog("入力関連の初期化をしました\n");
    // Every id is read on demand; one without a joystick reads as released.
    g_input.padCount = kMaxPads;
}

void FillDirectInputRange(DIPROPRANGE* range, DWORD offset) {
    std::memset(range, 0, sizeof *range);
    range->diph.dwSize = sizeof *range;
    range->diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range->diph.dwObj = offset;
    range->diph.dwHow = DIPH_BYOFFSET;
    range->lMin = -1000;
    range->lMax = 1000;
}

void FillDeadZone(DIPROPDWORD* zone, DWORD offset) {
    std::memset(zone, 0, sizeof *zone);
    zone->diph.dwSize = sizeof *zone;
    zone->diph.dwHeaderSize = sizeof(DIPROPHEADER);
    zone->diph.dwObj = offset;
    zone->diph.dwHow = DIPH_BYOFFSET;
    zone->dwData = 5000;  // half the travel
}

// Ranges and dead zones of X, Y, Z and Rz; false (logged) when X or Y refuses.
bool SetUpPadAxes(IDirectInputDeviceA* device) {
    const DWORD offsets[4] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RZ};
    const char* rangeFailures[2] = {"ジョイパッドデバイスのＸ軸関係の設定に失敗しました\n",
                                    "ジョイパッドデバイスのＹ軸関係の設定に失敗しました\n"};
    const char* zoneFailures[2] = {"ジョイパッドデバイスのＸ軸の無効ゾーンの設定に失敗しました\n",
                                   "ジョイパッドデバイスのＹ軸の無効ゾーンの設定に失敗しました\n"};
    for (int i = 0; i < 4; ++i) {
        DIPROPRANGE range;
        FillDirectInputRange(&range, offsets[i]);
        if (FAILED(device->SetProperty(DIPROP_RANGE, &range.diph)) && i < 2) {
            WriteLog(rangeFailures[i]);
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) {
        DIPROPDWORD zone;
        FillDeadZone(&zone, offsets[i]);
        if (FAILED(device->SetProperty(DIPROP_DEADZONE, &zone.diph)) && i < 2) {
            WriteLog(zoneFailures[i]);
            return false;
        }
    }
    return true;
}

void CreatePadEffects(IDirectInputDeviceA* device, PadRecord* pad) {
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG direction[2] = {0, 0};
    DIENVELOPE envelope{sizeof(DIENVELOPE), 0, 500000, 0, 1000000};
    DIPERIODIC periodic{10000, 0, 0, 1500000};
    DIEFFECT effect{};
    effect.dwSize = sizeof(DIEFFECT);
    effect.dwFlags = DIEFF_POLAR | DIEFF_OBJECTOFFSETS;
    effect.dwDuration = INFINITE;
    effect.dwSamplePeriod = 0;
    effect.dwGain = 10000;
    effect.dwTriggerButton = DIEB_NOTRIGGER;
    effect.dwTriggerRepeatInterval = 0;
    effect.cAxes = 2;
    effect.rgdwAxes = axes;
    effect.rglDirection = direction;
    effect.lpEnvelope = &envelope;
    effect.cbTypeSpecificParams = sizeof(DIPERIODIC);
    effect.lpvTypeSpecificParams = &periodic;
    effect.dwStartDelay = 0;
    pad->sine = nullptr;
    if (FAILED(device->CreateEffect(GUID_Sine, &effect, &pad->sine, nullptr))) pad->sine = nullptr;

    DICONSTANTFORCE constant{10000};
    effect.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    effect.lpEnvelope = nullptr;
    effect.cbTypeSpecificParams = sizeof(DICONSTANTFORCE);
    effect.lpvTypeSpecificParams = &constant;
    pad->constantForce = nullptr;
    if (FAILED(device->CreateEffect(GUID_ConstantForce, &effect, &pad->constantForce, nullptr))) {
        pad->constantForce = nullptr;
        WriteLog("周期的エフェクトの作成に失敗しました。\n");
    }
}

void CopyName(char* to, const char* from) {
    std::strncpy(to, from, MAX_PATH - 1);
    to[MAX_PATH - 1] = '\0';
}

BOOL OnPadDeviceFound(LPCDIDEVICEINSTANCEA instance, LPVOID) {
    if (g_input.padCount >= kMaxPads) return DIENUM_STOP;
    PadRecord& pad = g_input.pads[g_input.padCount];
    WriteLog("入力装置を見つけました\n");
    IDirectInputDeviceA* device = CreateInputDevice(instance->guidInstance);
    if (device == nullptr) {
        WriteLog("入力装置の取得に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    DIDEVICEINSTANCEA info;
    std::memset(&info, 0, sizeof info);
    info.dwSize = sizeof info;
    device->GetDeviceInfo(&info);
    CopyName(pad.instanceName, info.tszInstanceName);
    CopyName(pad.productName, info.tszProductName);
    IncreaseLogIndent();
    WriteLogFormatted("デバイスの登録名:%s", pad.instanceName);
    WriteLogFormatted("デバイスの製品登録名:%s", pad.productName);
    DecreaseLogIndent();
    if (FAILED(device->SetDataFormat(&c_dfDIJoystick))) {
        device->Release();
        WriteLog("ジョイパッドデバイスではありませんでした、又は設定に失敗しました\n");
        return DIENUM_CONTINUE;
    }
    if (FAILED(device->SetCooperativeLevel(Host().mainWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND)))
        WriteLog("ジョイパッドデバイスの協調レベルの設定に失敗しました\n");
    if (!SetUpPadAxes(device)) {
        device->Release();
        return DIENUM_CONTINUE;
    }
    if (g_input.noForceFeedback == 0) CreatePadEffects(device, &pad);
    pad.vibrationRequested = 0;
    pad.vibrationPower = 10000;
    pad.constantPlaying = 0;
    pad.sinePlaying = 0;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HRESULT hr = device->SetEventNotification(event);
    if (hr != DI_OK && hr != DI_POLLEDDEVICE) {
        WriteLog("ジョイパッドイベントのセットアップが失敗しました\n");
        // The pad is not added: what was made for it goes, so that the next
        // pad finds its record empty.
        ReleaseEffect(&pad.constantForce);
        ReleaseEffect(&pad.sine);
        device->Release();
        if (event != nullptr) CloseHandle(event);
        return DIENUM_CONTINUE;
    }
    device->Acquire();
    pad.event = event;
    pad.device = device;
    std::memset(&pad.state, 0, sizeof pad.state);
    ++g_input.padCount;
    WriteLog("ジョイパッドの追加は正常に終了しました\n");
    return g_input.padCount >= kMaxPads ? DIENUM_STOP : DIENUM_CONTINUE;
}

int32_t StartWithDirectInput() {
    HWND window = Host().mainWindow();
    BringWindowToTop(window);
    Host().pumpMessages();
    EnumeratePads();
    SetUpMouse(window);
    if (!SetUpKeyboard(window)) {
        g_startupGuard = 0;
        return -1;
    }
    DecreaseLogIndent();
    WriteLog("DirectInput 関連の初期化は正常に終了しました\n");
    return 0;
}

}  // namespace

IDirectInputDeviceA* CreateInputDevice(REFGUID guid) {
    IDirectInputDeviceA* device = nullptr;
    HRESULT hr;
    if (g_input.directInput8 != 0)
        hr = DirectInput8()->CreateDevice(guid, &device, nullptr);
    else
        hr = DirectInput7()->CreateDeviceEx(guid, IID_IDirectInputDevice7A, reinterpret_cast<void**>(&device),
                                            nullptr);
    if (FAILED(hr)) return nullptr;
    return device;
}

}  // namespace input

using namespace input;

int32_t InitializeInput() {
    if (g_input.directInput != nullptr || g_startupGuard == 1) return 0;
    g_startupGuard = 1;

    // A restart keeps the switches and the key map.
    int32_t noDirectInput = g_input.noDirectInput;
    int32_t noForceFeedback = g_input.noForceFeedback;
    int32_t forceDirectInput = g_input.forceDirectInput;
    int32_t keyMapSet = g_input.keyMapSet;
    int32_t keyMap[kMaxPads][kKeyMapSlots][4];
    std::memcpy(keyMap, g_input.keyMap, sizeof keyMap);
    std::memset(&g_input, 0, sizeof g_input);
    g_input.noDirectInput = noDirectInput;
    g_input.noForceFeedback = noForceFeedback;
    g_input.forceDirectInput = forceDirectInput;
    g_input.keyMapSet = keyMapSet;
    std::memcpy(g_input.keyMap, keyMap, sizeof keyMap);

    if (g_input.noDirectInput == 0 && ObtainAnyDirectInput()) {
        if (StartWithDirectInput() != 0) return -1;
    } else {
        StartWithoutDirectInput();
    }

    if (g_input.keyMapSet == 0) {
        g_input.keyMapSet = 1;
        WriteDefaultKeyMap();
    }
    g_startupGuard = 0;
    return 0;
}

int32_t TerminateInput() {
    if (g_input.directInput == nullptr) return 0;
    if (g_input.directInput == NoDirectInput()) {
        WriteLog("入力関連の終了処理... 完了\n");
        g_input.directInput = nullptr;
        g_input.padCount = 0;  // not started: no pads
        return 0;
    }
    WriteLog("DirectInput 関連の終了処理... 完了\n");
    ReleaseAllPads();
    if (g_input.keyboard != nullptr) {
        g_input.keyboard->Unacquire();
        ReleaseDevice(&g_input.keyboard);
        CloseHandle(g_input.keyboardEvent);
        g_input.keyboardEvent = nullptr;
    }
    if (g_input.mouse != nullptr) {
        g_input.mouse->Unacquire();
        ReleaseDevice(&g_input.mouse);
    }
    g_input.directInput->Release();
    g_input.directInput = nullptr;
    return 0;
}

int32_t EnumeratePads() {
    if (!RunningWithDirectInput()) return -1;
    ReleaseAllPads();
    WriteLog("ジョイパッドの初期化... \n");
    g_input.padCount = 0;
    if (g_input.directInput8 != 0)
        DirectInput8()->EnumDevices(DI8DEVCLASS_GAMECTRL, OnPadDeviceFound, nullptr, DIEDFL_ATTACHEDONLY);
    else
        DirectInput7()->EnumDevices(DIDEVTYPE_JOYSTICK, OnPadDeviceFound, nullptr, DIEDFL_ATTACHEDONLY);
    WriteLog("ジョイパッドの初期化は正常に終了しました\n");
    return 0;
}

int32_t ReleaseAllPads() {
    if (!RunningWithDirectInput()) return -1;
    for (int32_t i = 0; i < g_input.padCount; ++i) {
        PadRecord& pad = g_input.pads[i];
        if (pad.device != nullptr) {
            pad.device->Unacquire();
            pad.device->SetEventNotification(nullptr);
        }
        ReleaseEffect(&pad.constantForce);
        ReleaseEffect(&pad.sine);
        ReleaseDevice(&pad.device);
        if (pad.event != nullptr) CloseHandle(pad.event);
        std::memset(&pad, 0, sizeof pad);
    }
    g_input.padCount = 0;
    return 0;
}

int32_t ResetInputCooperativeLevel() {
    if ((g_input.directInput == nullptr && !Host().isWindowClosing()) || g_input.directInput == NoDirectInput())
        return 0;
    HWND window = Host().mainWindow();
    DWORD level = Host().isWindowActive() == 1 ? DISCL_EXCLUSIVE | DISCL_FOREGROUND
                                                : DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    for (int32_t i = 0; i < g_input.padCount; ++i) {
        IDirectInputDeviceA* device = g_input.pads[i].device;
        if (device == nullptr) continue;
        device->Unacquire();
        device->SetCooperativeLevel(window, level);
        device->Acquire();
    }
    if (g_input.keyboard != nullptr) {
        g_input.keyboard->Unacquire();
        g_input.keyboard->Acquire();
    }
    return 0;
}

int32_t SetInputFlagA() {
    g_input.flagA = 1;
    return 0;
}

int32_t ClearInputFlagA() {
    g_input.flagA = 0;
    return 0;
}

int32_t SetInputFlagB() {
    g_input.flagB = 1;
    return 0;
}

int32_t ClearInputFlagB() {
    g_input.flagB = 0;
    return 0;
}

int32_t SetNoDirectInputFlag(int32_t flag) {
    g_input.noDirectInput = flag != 0 ? 1 : 0;
    return 0;
}

int32_t SetNoForceFeedbackFlag(int32_t flag) {
    g_input.noForceFeedback = flag;
    return 0;
}

int32_t SetForceDirectInputFlag(int32_t flag) {
    g_input.forceDirectInput = flag;
    return 0;
}
