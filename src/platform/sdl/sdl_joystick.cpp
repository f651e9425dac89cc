#include "platform/sdl/sdl_joystick.h"

#include "platform/sdl/sdl_input.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace platform::sdl {

namespace {

constexpr uint32_t kEndless = 0xFFFFFFFFu;

struct Slot {
    bool used = false;
    Vibration vibration{};
    int hapticId = -1;  // -1: played as rumble
    bool playing = false;
    uint64_t endMs = 0;  // 0: plays until stopped
};

}  // namespace

struct Joystick {
    SDL_Joystick* sdl = nullptr;
    int32_t id = -1;
    SDL_Haptic* haptic = nullptr;
    bool hapticChecked = false;
    std::vector<Slot> slots;
    uint16_t sentLow = 0;
    uint16_t sentHigh = 0;
    // The press count of each button at this handle's last read (the latch).
    mutable std::vector<uint32_t> seenPresses;
};

namespace {

bool g_started = false;
std::vector<Joystick*> g_open;  // every handle, for the rumble bookkeeping

uint64_t NowMs() { return SDL_GetTicks64(); }

// ---- rumble: the playing slots summed per motor ------------------------
uint16_t Strength(int32_t level) {
    int64_t size = std::min<int64_t>(std::llabs(level), 32767);
    return static_cast<uint16_t>(size * 65535 / 32767);
}

void ExpireSlots(Joystick* j) {
    uint64_t now = NowMs();
    for (Slot& s : j->slots)
        if (s.used && s.playing && s.hapticId < 0 && s.endMs != 0 && now >= s.endMs) s.playing = false;
}

void SendRumble(Joystick* j, bool force) {
    ExpireSlots(j);
    uint32_t low = 0, high = 0;
    bool endless = false;
    uint64_t lastEnd = 0;
    for (const Slot& s : j->slots) {
        if (!s.used || !s.playing || s.hapticId >= 0) continue;
        uint32_t& motor = s.vibration.kind == Vibration::Constant ? low : high;
        motor = std::min<uint32_t>(motor + Strength(s.vibration.level), 0xFFFF);
        if (s.endMs == 0) endless = true;
        lastEnd = std::max(lastEnd, s.endMs);
    }
    if (!force && low == j->sentLow && high == j->sentHigh) return;
    uint32_t duration = 0;  // SDL: 0 keeps it going until changed
    if (!endless && (low != 0 || high != 0)) {
        uint64_t now = NowMs();
        duration = static_cast<uint32_t>(std::max<uint64_t>(lastEnd > now ? lastEnd - now : 1, 1));
    }
    SDL_JoystickRumble(j->sdl, static_cast<uint16_t>(low), static_cast<uint16_t>(high), duration);
    j->sentLow = static_cast<uint16_t>(low);
    j->sentHigh = static_cast<uint16_t>(high);
}

// ---- haptic effects -------------------------------------------------------
SDL_Haptic* HapticOf(Joystick* j) {
    if (!j->hapticChecked) {
        j->hapticChecked = true;
        if (SDL_WasInit(SDL_INIT_HAPTIC) != 0 && SDL_JoystickIsHaptic(j->sdl) == 1)
            j->haptic = SDL_HapticOpenFromJoystick(j->sdl);
    }
    return j->haptic;
}

bool HapticPlays(Joystick* j, Vibration::Kind kind) {
    SDL_Haptic* h = HapticOf(j);
    if (h == nullptr) return false;
    unsigned int wanted = kind == Vibration::Constant ? SDL_HAPTIC_CONSTANT : SDL_HAPTIC_SINE;
    return (SDL_HapticQuery(h) & wanted) != 0;
}

SDL_HapticEffect HapticEffectOf(const Vibration& v) {
    SDL_HapticEffect e;
    std::memset(&e, 0, sizeof e);
    SDL_HapticDirection direction{};
    direction.type = v.polar ? SDL_HAPTIC_POLAR : SDL_HAPTIC_CARTESIAN;
    direction.dir[0] = v.direction[0];
    direction.dir[1] = v.direction[1];
    uint32_t length = v.lengthMs == 0 ? SDL_HAPTIC_INFINITY : v.lengthMs;
    auto level = static_cast<Sint16>(std::clamp(v.level, -32767, 32767));
    if (v.kind == Vibration::Constant) {
        e.type = SDL_HAPTIC_CONSTANT;
        e.constant.direction = direction;
        e.constant.length = length;
        e.constant.level = level;
        e.constant.attack_length = static_cast<Uint16>(std::min<uint32_t>(v.attackMs, 0xFFFF));
        e.constant.attack_level = v.attackLevel;
        e.constant.fade_length = static_cast<Uint16>(std::min<uint32_t>(v.fadeMs, 0xFFFF));
        e.constant.fade_level = v.fadeLevel;
    } else {
        e.type = SDL_HAPTIC_SINE;
        e.periodic.direction = direction;
        e.periodic.length = length;
        e.periodic.period = static_cast<Uint16>(std::clamp<uint32_t>(v.periodMs, 1, 0xFFFF));
        e.periodic.magnitude = level;
        e.periodic.attack_length = static_cast<Uint16>(std::min<uint32_t>(v.attackMs, 0xFFFF));
        e.periodic.attack_level = v.attackLevel;
        e.periodic.fade_length = static_cast<Uint16>(std::min<uint32_t>(v.fadeMs, 0xFFFF));
        e.periodic.fade_level = v.fadeLevel;
    }
    return e;
}

Slot* SlotOf(Joystick* j, int slot) {
    if (j == nullptr || slot < 0 || slot >= static_cast<int>(j->slots.size()) || !j->slots[slot].used)
        return nullptr;
    return &j->slots[slot];
}

// ---- test pads --------------------------------------------------------------
struct TestPad {
    SDL_Joystick* sdl = nullptr;
    TestPadRumble rumble{};
};

std::mutex& TestPadLock() {
    static std::mutex m;
    return m;
}

std::map<int32_t, std::unique_ptr<TestPad>>& TestPads() {
    static std::map<int32_t, std::unique_ptr<TestPad>> pads;
    return pads;
}

int SDLCALL RecordRumble(void* userdata, Uint16 low, Uint16 high) {
    std::lock_guard<std::mutex> lock(TestPadLock());
    auto* pad = static_cast<TestPad*>(userdata);
    pad->rumble.low = low;
    pad->rumble.high = high;
    ++pad->rumble.calls;
    return 0;
}

SDL_Joystick* TestPadJoystick(int32_t id) {
    std::lock_guard<std::mutex> lock(TestPadLock());
    auto it = TestPads().find(id);
    return it == TestPads().end() ? nullptr : it->second->sdl;
}

int DeviceIndexOf(int32_t id) {
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    return -1;
}

}  // namespace

bool StartJoysticks() {
    if (g_started && SDL_WasInit(SDL_INIT_JOYSTICK) != 0) return true;
    if (SDL_WasInit(SDL_INIT_JOYSTICK) == 0 && SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    if (SDL_WasInit(SDL_INIT_HAPTIC) == 0) SDL_InitSubSystem(SDL_INIT_HAPTIC);  // optional
    StartInputWatch();
    g_started = true;
    return true;
}

void UpdateJoysticks() {
    if (!StartJoysticks()) return;
    SDL_JoystickUpdate();
    for (Joystick* j : g_open) SendRumble(j, false);
}

int JoystickCount() {
    if (!StartJoysticks()) return 0;
    return std::max(SDL_NumJoysticks(), 0);
}

bool GetJoystickInfo(int index, JoystickInfo* info) {
    if (info == nullptr || index < 0 || index >= JoystickCount()) return false;
    std::memset(info, 0, sizeof *info);
    info->id = SDL_JoystickGetDeviceInstanceID(index);
    const char* name = SDL_JoystickNameForIndex(index);
    SDL_strlcpy(info->name, name != nullptr ? name : "Joystick", sizeof info->name);
    SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(index);
    std::memcpy(info->product, guid.data, sizeof info->product);
    SDL_Joystick* sdl = SDL_JoystickOpen(index);
    if (sdl != nullptr) {
        info->axes = SDL_JoystickNumAxes(sdl);
        info->buttons = SDL_JoystickNumButtons(sdl);
        info->hats = SDL_JoystickNumHats(sdl);
        SDL_JoystickClose(sdl);
    }
    return info->id >= 0;
}

Joystick* OpenJoystick(int32_t id) {
    if (!StartJoysticks()) return nullptr;
    int index = DeviceIndexOf(id);
    if (index < 0) return nullptr;
    SDL_Joystick* sdl = SDL_JoystickOpen(index);
    if (sdl == nullptr) return nullptr;
    auto* j = new Joystick;
    j->sdl = sdl;
    j->id = id;
    j->seenPresses.resize(static_cast<size_t>(std::max(SDL_JoystickNumButtons(sdl), 0)));
    ForgetJoystickPresses(j);
    g_open.push_back(j);
    return j;
}

void CloseJoystick(Joystick* j) {
    if (j == nullptr) return;
    for (size_t i = 0; i < j->slots.size(); ++i) RemoveVibration(j, static_cast<int>(i));
    if (j->haptic != nullptr) SDL_HapticClose(j->haptic);
    SDL_JoystickClose(j->sdl);
    g_open.erase(std::remove(g_open.begin(), g_open.end(), j), g_open.end());
    delete j;
}

void ForgetJoystickPresses(Joystick* j) {
    if (j == nullptr) return;
    for (size_t b = 0; b < j->seenPresses.size(); ++b) j->seenPresses[b] = JoystickButtonPresses(j->id, static_cast<int>(b));
}

bool IsJoystickAttached(const Joystick* j) { return j != nullptr && SDL_JoystickGetAttached(j->sdl) == SDL_TRUE; }
int JoystickAxisCount(const Joystick* j) { return j != nullptr ? std::max(SDL_JoystickNumAxes(j->sdl), 0) : 0; }
int JoystickButtonCount(const Joystick* j) { return j != nullptr ? std::max(SDL_JoystickNumButtons(j->sdl), 0) : 0; }
int JoystickHatCount(const Joystick* j) { return j != nullptr ? std::max(SDL_JoystickNumHats(j->sdl), 0) : 0; }

int16_t JoystickAxis(const Joystick* j, int axis) {
    if (axis < 0 || axis >= JoystickAxisCount(j)) return 0;
    return SDL_JoystickGetAxis(j->sdl, axis);
}

bool JoystickButton(const Joystick* j, int button) {
    if (button < 0 || button >= JoystickButtonCount(j) || button >= static_cast<int>(j->seenPresses.size()))
        return false;
    bool down = SDL_JoystickGetButton(j->sdl, button) != 0;
    return LatchedDown(down, JoystickButtonPresses(j->id, button), &j->seenPresses[button]);
}

uint8_t JoystickHat(const Joystick* j, int hat) {
    if (hat < 0 || hat >= JoystickHatCount(j)) return 0;
    return SDL_JoystickGetHat(j->sdl, hat);
}

bool CanVibrate(Joystick* j) {
    if (j == nullptr) return false;
    if (HapticPlays(j, Vibration::Constant) || HapticPlays(j, Vibration::Periodic)) return true;
    return SDL_JoystickHasRumble(j->sdl) == SDL_TRUE;
}

int AddVibration(Joystick* j, const Vibration& v) {
    if (j == nullptr || !IsJoystickAttached(j)) return -1;
    Slot slot;
    slot.used = true;
    slot.vibration = v;
    if (HapticPlays(j, v.kind)) {
        SDL_HapticEffect effect = HapticEffectOf(v);
        slot.hapticId = SDL_HapticNewEffect(j->haptic, &effect);
        if (slot.hapticId < 0) return -1;
    } else if (SDL_JoystickHasRumble(j->sdl) != SDL_TRUE) {
        return -1;
    }
    for (size_t i = 0; i < j->slots.size(); ++i) {
        if (!j->slots[i].used) {
            j->slots[i] = slot;
            return static_cast<int>(i);
        }
    }
    j->slots.push_back(slot);
    return static_cast<int>(j->slots.size() - 1);
}

bool ChangeVibration(Joystick* j, int slot, const Vibration& v) {
    Slot* s = SlotOf(j, slot);
    if (s == nullptr || v.kind != s->vibration.kind) return false;
    s->vibration = v;
    if (s->hapticId >= 0) {
        SDL_HapticEffect effect = HapticEffectOf(v);
        return SDL_HapticUpdateEffect(j->haptic, s->hapticId, &effect) == 0;
    }
    SendRumble(j, false);
    return true;
}

bool PlayVibration(Joystick* j, int slot, uint32_t iterations) {
    Slot* s = SlotOf(j, slot);
    if (s == nullptr || iterations == 0 || !IsJoystickAttached(j)) return false;
    if (s->hapticId >= 0)
        return SDL_HapticRunEffect(j->haptic, s->hapticId, iterations == kEndless ? SDL_HAPTIC_INFINITY : iterations) ==
               0;
    s->playing = true;
    uint64_t length = s->vibration.lengthMs;
    s->endMs = (length == 0 || iterations == kEndless) ? 0 : NowMs() + length * iterations;
    SendRumble(j, true);
    return true;
}

bool StopVibration(Joystick* j, int slot) {
    Slot* s = SlotOf(j, slot);
    if (s == nullptr) return false;
    if (s->hapticId >= 0) return SDL_HapticStopEffect(j->haptic, s->hapticId) == 0;
    bool was = s->playing;
    s->playing = false;
    if (was) SendRumble(j, false);
    return true;
}

bool IsVibrationPlaying(Joystick* j, int slot) {
    Slot* s = SlotOf(j, slot);
    if (s == nullptr) return false;
    if (s->hapticId >= 0) {
        if ((SDL_HapticQuery(j->haptic) & SDL_HAPTIC_STATUS) == 0) return false;
        return SDL_HapticGetEffectStatus(j->haptic, s->hapticId) == 1;
    }
    ExpireSlots(j);
    return s->playing;
}

void RemoveVibration(Joystick* j, int slot) {
    Slot* s = SlotOf(j, slot);
    if (s == nullptr) return;
    if (s->hapticId >= 0) {
        SDL_HapticDestroyEffect(j->haptic, s->hapticId);
        *s = Slot{};
        return;
    }
    bool was = s->playing;
    *s = Slot{};
    if (was) SendRumble(j, false);
}

bool SetAutocenter(Joystick* j, int percent) {
    if (j == nullptr) return false;
    SDL_Haptic* h = HapticOf(j);
    if (h == nullptr || (SDL_HapticQuery(h) & SDL_HAPTIC_AUTOCENTER) == 0) return false;
    return SDL_HapticSetAutocenter(h, std::clamp(percent, 0, 100)) == 0;
}

int32_t AttachTestPad(const char* name, int axes, int buttons, int hats, bool rumble) {
    if (!StartJoysticks() || axes < 0 || buttons < 0 || hats < 0 || axes > 16 || buttons > 128 || hats > 4)
        return -1;
    auto pad = std::make_unique<TestPad>();
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.name = name != nullptr ? name : "Test pad";
    desc.userdata = pad.get();
    if (rumble) desc.Rumble = RecordRumble;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return -1;
    int32_t id = SDL_JoystickGetDeviceInstanceID(index);
    pad->sdl = SDL_JoystickOpen(index);
    if (pad->sdl == nullptr) {
        SDL_JoystickDetachVirtual(index);
        return -1;
    }
    std::lock_guard<std::mutex> lock(TestPadLock());
    TestPads()[id] = std::move(pad);
    return id;
}

bool SetTestPadAxis(int32_t id, int axis, int16_t value) {
    SDL_Joystick* sdl = TestPadJoystick(id);
    return sdl != nullptr && SDL_JoystickSetVirtualAxis(sdl, axis, value) == 0;
}

bool SetTestPadButton(int32_t id, int button, bool down) {
    SDL_Joystick* sdl = TestPadJoystick(id);
    if (sdl == nullptr || SDL_JoystickSetVirtualButton(sdl, button, down ? SDL_PRESSED : SDL_RELEASED) != 0) return false;
    SDL_JoystickUpdate();  // reported at once, as a device reports each change
    return true;
}

bool SetTestPadHat(int32_t id, int hat, uint8_t bits) {
    SDL_Joystick* sdl = TestPadJoystick(id);
    return sdl != nullptr && SDL_JoystickSetVirtualHat(sdl, hat, bits) == 0;
}

bool DetachTestPad(int32_t id) {
    std::unique_ptr<TestPad> pad;
    {
        std::lock_guard<std::mutex> lock(TestPadLock());
        auto it = TestPads().find(id);
        if (it == TestPads().end()) return false;
        pad = std::move(it->second);
        TestPads().erase(it);
    }
    int index = DeviceIndexOf(id);
    if (index >= 0) SDL_JoystickDetachVirtual(index);
    SDL_JoystickClose(pad->sdl);
    SDL_JoystickUpdate();  // let SDL see the removal now
    return true;
}

TestPadRumble GetTestPadRumble(int32_t id) {
    std::lock_guard<std::mutex> lock(TestPadLock());
    auto it = TestPads().find(id);
    return it == TestPads().end() ? TestPadRumble{} : it->second->rumble;
}

}  // namespace platform::sdl
