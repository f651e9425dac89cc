// DirectInput devices: the system keyboard and mouse and game controllers,
// with their data formats, properties, cooperative levels, acquisition,
// state reads, buffered keyboard data and event notification.
#include "platform/dinput/dinput_internal.h"

#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace dinput {
namespace {

std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}

std::vector<Device*>& LiveDevices() {
    static std::vector<Device*> devices;
    return devices;
}

bool (*g_foregroundQuery)(HWND) = nullptr;

bool AnotherHoldsExclusively(const Device* self) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (const Device* d : LiveDevices())
        if (d != self && d->instance() == self->instance() && d->ExclusivelyAcquired()) return true;
    return false;
}

bool SameFormat(const DIDATAFORMAT& a, const DIDATAFORMAT& b) {
    return &a == &b || (a.dwSize == b.dwSize && a.dwObjSize == b.dwObjSize && a.dwFlags == b.dwFlags &&
                        a.dwDataSize == b.dwDataSize && a.dwNumObjs == b.dwNumObjs && a.rgodf == b.rgodf);
}

// Predefined property ids are small numbers in the first word.
uint32_t PropertyId(REFGUID property) {
    return property == MakeDirectInputProperty(property.Data1) ? property.Data1 : 0;
}

DWORD PovOf(uint8_t hat) {
    switch (hat) {
        case 1: return 0;          // up
        case 3: return 4500;       // up and right
        case 2: return 9000;       // right
        case 6: return 13500;      // down and right
        case 4: return 18000;      // down
        case 12: return 22500;     // down and left
        case 8: return 27000;      // left
        case 9: return 31500;      // up and left
        default: return 0xFFFFFFFF;  // centred
    }
}

LONG ClampToLong(int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

const char* KindName(DeviceKind kind) {
    switch (kind) {
        case DeviceKind::Keyboard: return "Keyboard";
        case DeviceKind::Mouse: return "Mouse";
        default: return "Joystick";
    }
}

bool IsForeground(HWND window) {
    if (g_foregroundQuery != nullptr) return g_foregroundQuery(window);
    return window != nullptr && GetForegroundWindow() == window;
}

void SetForegroundQueryForTest(bool (*query)(HWND window)) { g_foregroundQuery = query; }

int LiveDeviceCount() {
    std::lock_guard<std::mutex> lock(RegistryLock());
    return static_cast<int>(LiveDevices().size());
}

LONG ScaleAxis(int32_t raw, LONG minimum, LONG maximum, DWORD deadZone, DWORD saturation) {
    int64_t v = std::clamp<int64_t>(raw, -32767, 32767);
    int64_t magnitude = std::llabs(v) * 10000 / 32767;  // 0..10000 of the travel
    int64_t fraction;                                   // 0..10000 of the way to the end
    if (magnitude <= deadZone)
        fraction = 0;
    else if (magnitude >= saturation || saturation <= deadZone)
        fraction = 10000;
    else
        fraction = (magnitude - deadZone) * 10000 / (saturation - deadZone);
    int64_t low = minimum, high = maximum;
    int64_t centre = low + (high - low) / 2;
    if (v < 0) return static_cast<LONG>(centre - (centre - low) * fraction / 10000);
    return static_cast<LONG>(centre + (high - centre) * fraction / 10000);
}

Device::Device(DeviceKind kind, DWORD version, const DIDEVICEINSTANCEA& description,
               platform::sdl::Joystick* joystick)
    : kind_(kind), version_(version), description_(description), joystick_(joystick) {
    if (kind_ == DeviceKind::Joystick) JoystickIdFromGuid(description_.guidInstance, &joystickId_);
    listener_ = platform::sdl::AddInputListener(OnInputChange, this);
    std::lock_guard<std::mutex> lock(RegistryLock());
    LiveDevices().push_back(this);
}

Device::~Device() {
    acquired_ = false;
    platform::sdl::RemoveInputListener(listener_);
    platform::sdl::CloseJoystick(joystick_);
    std::lock_guard<std::mutex> lock(RegistryLock());
    auto& live = LiveDevices();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

HRESULT Device::QueryInterface(REFIID iid, void** object) {
    if (version_ >= 0x0800) return com::AnswerQuery(this, iid, {&IID_IDirectInputDevice8A}, object);
    return com::AnswerQuery(this, iid, {&IID_IDirectInputDeviceA, &IID_IDirectInputDevice2A, &IID_IDirectInputDevice7A},
                            object);
}

// ---- format, level, notification -----------------------------------------------

HRESULT Device::SetDataFormat(const DIDATAFORMAT* format) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::SetDataFormat", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    if (format == nullptr) return DIERR_INVALIDPARAM;
    if (acquired_) return DIERR_ACQUIRED;
    struct Known {
        const DIDATAFORMAT* format;
        Format name;
        DeviceKind kind;
    };
    const Known known[] = {
        {&c_dfDIKeyboard, Format::Keyboard, DeviceKind::Keyboard},
        {&c_dfDIMouse, Format::Mouse, DeviceKind::Mouse},
        {&c_dfDIMouse2, Format::Mouse2, DeviceKind::Mouse},
        {&c_dfDIJoystick, Format::Joystick, DeviceKind::Joystick},
        {&c_dfDIJoystick2, Format::Joystick2, DeviceKind::Joystick},
    };
    for (const Known& k : known) {
        if (!SameFormat(*format, *k.format)) continue;
        if (k.kind != kind_) return DIERR_INVALIDPARAM;  // the device lacks the format's objects
        format_ = k.name;
        dataSize_ = k.format->dwDataSize;
        return DI_OK;
    }
    return DIERR_INVALIDPARAM;
}

HRESULT Device::SetCooperativeLevel(HWND window, DWORD flags) {
    if (auto failed =
            seams::FailNow<HRESULT>("IDirectInputDevice::SetCooperativeLevel", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    if (acquired_) return DIERR_ACQUIRED;
    const DWORD known = DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY;
    bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    bool foreground = (flags & DISCL_FOREGROUND) != 0;
    if ((flags & ~known) != 0 || exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0) ||
        foreground == ((flags & DISCL_BACKGROUND) != 0))
        return DIERR_INVALIDPARAM;
    if ((foreground || exclusive) && window == nullptr) return DIERR_INVALIDPARAM;
    // The system keyboard and mouse cannot be held exclusively in the background.
    if (kind_ != DeviceKind::Joystick && exclusive && !foreground) return DIERR_UNSUPPORTED;
    window_ = window;
    level_ = flags;
    return DI_OK;
}

HRESULT Device::SetEventNotification(HANDLE event) {
    if (auto failed =
            seams::FailNow<HRESULT>("IDirectInputDevice::SetEventNotification", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    if (acquired_) return DIERR_ACQUIRED;
    std::lock_guard<std::mutex> lock(lock_);
    event_ = event;
    return DI_OK;
}

// ---- acquisition ------------------------------------------------------------------

HRESULT Device::Acquire() {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::Acquire", kindName(), DIERR_OTHERAPPHASPRIO))
        return *failed;
    if (format_ == Format::None) return DIERR_INVALIDPARAM;
    if (acquired_) return DI_NOEFFECT;
    if (kind_ == DeviceKind::Joystick && !platform::sdl::IsJoystickAttached(joystick_))
        return version_ >= 0x0800 ? DIERR_UNPLUGGED : DIERR_INPUTLOST;
    if ((level_ & DISCL_FOREGROUND) != 0 && !IsForeground(window_)) return DIERR_OTHERAPPHASPRIO;
    if ((level_ & DISCL_EXCLUSIVE) != 0 && AnotherHoldsExclusively(this)) return DIERR_OTHERAPPHASPRIO;
    if (kind_ == DeviceKind::Mouse) platform::sdl::ReadMouseTotals(&mouseSeen_);
    if (kind_ == DeviceKind::Keyboard) {
        BYTE keys[256];
        platform::sdl::ReadKeyboardState(keys, keyPressesSeen_);  // presses from now on are latched
    }
    platform::sdl::ForgetJoystickPresses(joystick_);
    {
        std::lock_guard<std::mutex> lock(lock_);
        buffer_.clear();
        overflow_ = false;
    }
    acquired_ = true;
    return DI_OK;
}

HRESULT Device::Unacquire() {
    if (!acquired_) return DI_NOEFFECT;
    acquired_ = false;
    UnloadEffects();
    return DI_OK;
}

// A foreground device whose window went to the back, or a controller that was
// unplugged, is lost: it is unacquired and its effects are gone.
bool Device::CheckLost() {
    if (!acquired_) return false;
    bool lost = (level_ & DISCL_FOREGROUND) != 0 && !IsForeground(window_);
    if (kind_ == DeviceKind::Joystick && !platform::sdl::IsJoystickAttached(joystick_)) lost = true;
    if (!lost) return false;
    acquired_ = false;
    UnloadEffects();
    return true;
}

HRESULT Device::ReadyToRead() {
    if (CheckLost()) return DIERR_INPUTLOST;
    return acquired_ ? DI_OK : DIERR_NOTACQUIRED;
}

// ---- reading ------------------------------------------------------------------------

HRESULT Device::GetDeviceState(DWORD size, LPVOID data) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::GetDeviceState", kindName(), DIERR_INPUTLOST)) {
        if (*failed == DIERR_INPUTLOST || *failed == DIERR_NOTACQUIRED) Unacquire();  // a real loss
        return *failed;
    }
    HRESULT hr;
    if (data == nullptr) return DIERR_INVALIDPARAM;
    if (kind_ == DeviceKind::Joystick) platform::sdl::UpdateJoysticks();
    if ((hr = ReadyToRead()) != DI_OK) return hr;
    if (size != dataSize_) return DIERR_INVALIDPARAM;
    BYTE state[sizeof(DIJOYSTATE2)] = {};
    switch (kind_) {
        case DeviceKind::Keyboard: ReadKeyboard(state); break;
        case DeviceKind::Mouse: ReadMouse(state, size); break;
        case DeviceKind::Joystick: ReadJoystick(state, size); break;
    }
    std::memcpy(data, state, size);
    return DI_OK;
}

void Device::ReadKeyboard(BYTE* out) { platform::sdl::ReadKeyboardState(out, keyPressesSeen_); }

void Device::ReadMouse(BYTE* out, DWORD size) {
    platform::sdl::MouseTotals now;
    platform::sdl::ReadMouseTotals(&now);
    DIMOUSESTATE2 state{};
    state.lX = ClampToLong(now.x - mouseSeen_.x);
    state.lY = ClampToLong(now.y - mouseSeen_.y);
    state.lZ = ClampToLong(now.wheel - mouseSeen_.wheel);
    for (int b = 0; b < 8; ++b) {
        bool down = platform::sdl::LatchedDown(now.buttons[b] != 0, now.presses[b], &mouseSeen_.presses[b]);
        state.rgbButtons[b] = down ? 0x80 : 0;
    }
    mouseSeen_ = now;
    std::memcpy(out, &state, size);  // DIMOUSESTATE is the first 16 bytes
}

int Device::SdlAxisOf(int slot) const {
    // Slots X, Y, Z, Rx, Ry, Rz, slider 0, slider 1. A pad's second stick is
    // its third and fourth axis and reads as Z and Rz.
    static const int kSdlAxis[kAxes] = {0, 1, 2, 4, 5, 3, 6, 7};
    return kSdlAxis[slot];
}

bool Device::HasAxisAt(DWORD offset) const {
    if (kind_ != DeviceKind::Joystick || offset % 4 != 0 || offset / 4 >= kAxes) return false;
    return SdlAxisOf(static_cast<int>(offset / 4)) < platform::sdl::JoystickAxisCount(joystick_);
}

void Device::ReadJoystick(BYTE* out, DWORD size) {
    DIJOYSTATE2 state{};
    LONG* axes[kAxes] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz,
                         &state.rglSlider[0], &state.rglSlider[1]};
    for (int slot = 0; slot < kAxes; ++slot) {
        if (!HasAxisAt(static_cast<DWORD>(slot) * 4)) continue;
        const Axis& a = axes_[slot];
        int16_t raw = platform::sdl::JoystickAxis(joystick_, SdlAxisOf(slot));
        *axes[slot] = ScaleAxis(raw, a.minimum, a.maximum, a.deadZone, a.saturation);
    }
    for (int i = 0; i < 4; ++i) state.rgdwPOV[i] = PovOf(platform::sdl::JoystickHat(joystick_, i));
    int buttons = size == sizeof(DIJOYSTATE) ? 32 : 128;
    for (int b = 0; b < buttons; ++b) state.rgbButtons[b] = platform::sdl::JoystickButton(joystick_, b) ? 0x80 : 0;
    std::memcpy(out, &state, size);  // DIJOYSTATE is the first 80 bytes
}

HRESULT Device::Poll() {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::Poll", kindName(), DIERR_INPUTLOST)) return *failed;
    HRESULT hr;
    if (kind_ == DeviceKind::Joystick) platform::sdl::UpdateJoysticks();
    if ((hr = ReadyToRead()) != DI_OK) return hr;
    return kind_ == DeviceKind::Joystick ? DI_OK : DI_NOEFFECT;
}

HRESULT Device::GetDeviceData(DWORD objectDataSize, DIDEVICEOBJECTDATA* data, DWORD* inOut, DWORD flags) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::GetDeviceData", kindName(), DIERR_INPUTLOST))
        return *failed;
    HRESULT hr;
    if (inOut == nullptr || (flags & ~DWORD{DIGDD_PEEK}) != 0 ||
        (objectDataSize != sizeof(DIDEVICEOBJECTDATA_DX3) && objectDataSize != sizeof(DIDEVICEOBJECTDATA)))
        return DIERR_INVALIDPARAM;
    if ((hr = ReadyToRead()) != DI_OK) return hr;
    std::lock_guard<std::mutex> lock(lock_);
    if (bufferSize_ == 0) return DIERR_NOTBUFFERED;
    DWORD count = std::min<DWORD>(*inOut, static_cast<DWORD>(buffer_.size()));
    if (data != nullptr) {
        auto* bytes = reinterpret_cast<BYTE*>(data);
        for (DWORD i = 0; i < count; ++i) {
            DIDEVICEOBJECTDATA item{};
            std::memcpy(&item, &buffer_[i], sizeof(DIDEVICEOBJECTDATA_DX3));
            std::memcpy(bytes + static_cast<size_t>(i) * objectDataSize, &item, objectDataSize);
        }
    }
    hr = overflow_ ? DI_BUFFEROVERFLOW : DI_OK;
    if ((flags & DIGDD_PEEK) == 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + count);
        overflow_ = false;
    }
    *inOut = count;
    return hr;
}

void Device::OnInputChange(void* context, const platform::sdl::InputChange& change) {
    auto* d = static_cast<Device*>(context);
    if (!d->acquired_) return;
    using Change = platform::sdl::InputChange;
    bool mine = (change.kind == Change::Key && d->kind_ == DeviceKind::Keyboard) ||
                (change.kind == Change::Mouse && d->kind_ == DeviceKind::Mouse) ||
                (change.kind == Change::Joystick && d->kind_ == DeviceKind::Joystick &&
                 change.joystick == d->joystickId_);
    if (!mine) return;
    std::lock_guard<std::mutex> lock(d->lock_);
    if (change.kind == Change::Key && d->bufferSize_ > 0) {
        if (d->buffer_.size() >= d->bufferSize_)
            d->overflow_ = true;  // the newest data is lost
        else
            d->buffer_.push_back({change.key, change.down ? 0x80u : 0u, change.timeMs, ++d->sequence_});
    }
    if (d->event_ != nullptr) SetEvent(d->event_);
}

// ---- properties -------------------------------------------------------------------

HRESULT Device::AxisSlotOf(const DIPROPHEADER* header, int* slot) const {
    if (header->dwHow == DIPH_DEVICE) {
        if (header->dwObj != 0) return DIERR_INVALIDPARAM;
        *slot = -1;
        return DI_OK;
    }
    if (header->dwHow == DIPH_BYID) return DIERR_UNSUPPORTED;
    if (header->dwHow != DIPH_BYOFFSET) return DIERR_INVALIDPARAM;
    if (format_ != Format::Joystick && format_ != Format::Joystick2) return DIERR_OBJECTNOTFOUND;
    if (!HasAxisAt(header->dwObj)) return DIERR_OBJECTNOTFOUND;
    *slot = static_cast<int>(header->dwObj / 4);
    return DI_OK;
}

HRESULT Device::SetProperty(REFGUID property, const DIPROPHEADER* header) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::SetProperty", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    HRESULT hr;
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    uint32_t id = PropertyId(property);
    bool isRange = id == DIPROP_RANGE.Data1;
    if (header->dwSize != (isRange ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
    DWORD value = isRange ? 0 : reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
    if (id == DIPROP_BUFFERSIZE.Data1) {
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        if (kind_ != DeviceKind::Keyboard) return DIERR_UNSUPPORTED;
        if (acquired_) return DIERR_ACQUIRED;
        std::lock_guard<std::mutex> lock(lock_);
        bufferSize_ = value;
        buffer_.clear();
        return DI_OK;
    }
    if (id == DIPROP_AUTOCENTER.Data1) {
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0 || value > DIPROPAUTOCENTER_ON)
            return DIERR_INVALIDPARAM;
        if (kind_ != DeviceKind::Joystick || !platform::sdl::CanVibrate(joystick_)) return DIERR_UNSUPPORTED;
        autocenter_ = value;
        platform::sdl::SetAutocenter(joystick_, value == DIPROPAUTOCENTER_ON ? 100 : 0);
        return DI_OK;
    }
    if (!isRange && id != DIPROP_DEADZONE.Data1 && id != DIPROP_SATURATION.Data1) return DIERR_UNSUPPORTED;
    if (kind_ != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
    const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
    if (isRange && (acquired_ || range->lMin >= range->lMax)) return acquired_ ? DIERR_ACQUIRED : DIERR_INVALIDPARAM;
    if (!isRange && value > 10000) return DIERR_INVALIDPARAM;
    int slot;
    if ((hr = AxisSlotOf(header, &slot)) != DI_OK) return hr;
    for (int s = 0; s < kAxes; ++s) {
        if (slot >= 0 && s != slot) continue;
        Axis& a = axes_[s];
        if (isRange) {
            a.minimum = range->lMin;
            a.maximum = range->lMax;
        } else if (id == DIPROP_DEADZONE.Data1) {
            a.deadZone = value;
        } else {
            a.saturation = value;
        }
    }
    return DI_OK;
}

HRESULT Device::GetProperty(REFGUID property, DIPROPHEADER* header) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::GetProperty", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    HRESULT hr;
    if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
    uint32_t id = PropertyId(property);
    bool isRange = id == DIPROP_RANGE.Data1;
    if (header->dwSize != (isRange ? sizeof(DIPROPRANGE) : sizeof(DIPROPDWORD))) return DIERR_INVALIDPARAM;
    auto* dword = reinterpret_cast<DIPROPDWORD*>(header);
    if (id == DIPROP_BUFFERSIZE.Data1 || id == DIPROP_AUTOCENTER.Data1) {
        if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) return DIERR_INVALIDPARAM;
        if (id == DIPROP_BUFFERSIZE.Data1) {
            std::lock_guard<std::mutex> lock(lock_);
            dword->dwData = bufferSize_;
            return DI_OK;
        }
        if (kind_ != DeviceKind::Joystick || !platform::sdl::CanVibrate(joystick_)) return DIERR_UNSUPPORTED;
        dword->dwData = autocenter_;
        return DI_OK;
    }
    if (!isRange && id != DIPROP_DEADZONE.Data1 && id != DIPROP_SATURATION.Data1) return DIERR_UNSUPPORTED;
    if (kind_ != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
    int slot;
    if ((hr = AxisSlotOf(header, &slot)) != DI_OK) return hr;
    if (slot < 0) return DIERR_UNSUPPORTED;  // one axis at a time
    const Axis& a = axes_[slot];
    if (isRange) {
        auto* range = reinterpret_cast<DIPROPRANGE*>(header);
        range->lMin = a.minimum;
        range->lMax = a.maximum;
    } else {
        dword->dwData = id == DIPROP_DEADZONE.Data1 ? a.deadZone : a.saturation;
    }
    return DI_OK;
}

// ---- information and effects ------------------------------------------------------

HRESULT Device::GetDeviceInfo(DIDEVICEINSTANCEA* instance) {
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::GetDeviceInfo", kindName(), DIERR_INVALIDPARAM))
        return *failed;
    if (instance == nullptr) return DIERR_INVALIDPARAM;
    DWORD size = instance->dwSize;
    if (size != sizeof(DIDEVICEINSTANCEA) && size != DIDEVICEINSTANCE_DX3A_SIZE) return DIERR_INVALIDPARAM;
    std::memcpy(instance, &description_, size);
    instance->dwSize = size;
    return DI_OK;
}

HRESULT Device::CreateEffect(REFGUID effectGuid, const DIEFFECT* effect, LPDIRECTINPUTEFFECT* out,
                             IUnknown* outer) {
    if (out == nullptr) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (auto failed = seams::FailNow<HRESULT>("IDirectInputDevice::CreateEffect", kindName(), DIERR_UNSUPPORTED))
        return *failed;
    if (outer != nullptr) return DIERR_NOAGGREGATION;
    if (kind_ != DeviceKind::Joystick || !platform::sdl::CanVibrate(joystick_)) return DIERR_UNSUPPORTED;
    return CreateEffectObject(this, effectGuid, effect, out);
}

void Device::AttachEffect(Effect* effect) { effects_.push_back(effect); }

void Device::DetachEffect(Effect* effect) {
    effects_.erase(std::remove(effects_.begin(), effects_.end(), effect), effects_.end());
}

void Device::UnloadEffects() {
    for (Effect* e : effects_) UnloadEffect(e);
}

void Device::StopEffectsExcept(Effect* keep) {
    for (Effect* e : effects_)
        if (e != keep) StopEffect(e);
}

}  // namespace dinput
