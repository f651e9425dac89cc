// Joypad vibration: each pad's constant-force and sine effects kept playing
// or stopped as its request and the window's activation say, and timed
// vibrations ended when their time has run out.
#include "input/input_internal.h"

#include <algorithm>

namespace input {
namespace {

constexpr int32_t kSinePowerThreshold = 5000;
constexpr int32_t kFullPower = 10000;

// Nothing to do before input runs (unless the window is closing) or without
// DirectInput.
bool VibrationOff() {
    return (g_input.directInput == nullptr && !Host().isWindowClosing()) || g_input.directInput == NoDirectInput();
}

void Play(IDirectInputEffect* effect, bool on) {
    if (on)
        effect->Start(1, 0);
    else
        effect->Stop();
}

void ApplyActive(PadRecord& pad) {
    if (pad.constantForce != nullptr && pad.vibrationRequested != pad.constantPlaying) {
        Play(pad.constantForce, pad.vibrationRequested == 1);
        pad.constantPlaying = pad.vibrationRequested;
    }
    int32_t wanted = pad.vibrationRequested == 1 && pad.vibrationPower > kSinePowerThreshold ? 1 : 0;
    if (pad.sine != nullptr && wanted != pad.sinePlaying) {
        Play(pad.sine, wanted == 1);
        pad.sinePlaying = wanted;
    }
}

// The request stays: activation starts the effects again.
void ApplyInactive(PadRecord& pad) {
    if (pad.constantForce != nullptr && pad.constantPlaying != 0) pad.constantForce->Stop();
    if (pad.sine != nullptr && pad.sinePlaying != 0) pad.sine->Stop();
    pad.constantPlaying = 0;
    pad.sinePlaying = 0;
}

}  // namespace
}  // namespace input

using namespace input;

int32_t ApplyPadVibration() {
    if (VibrationOff()) return 0;
    bool active = Host().isWindowActive() == 1;
    for (int32_t i = 0; i < g_input.padCount; ++i) {
        PadRecord& pad = g_input.pads[i];
        if (pad.device == nullptr) continue;
        if (active)
            ApplyActive(pad);
        else
            ApplyInactive(pad);
    }
    return 0;
}

int32_t StopPadVibration(int32_t inputType) {
    int32_t number = inputType & ~kPadWithKeyMap;
    Host().waitWhileInactive();
    if (g_input.directInput == nullptr) return Host().isWindowClosing() ? 0 : InitializeInput();
    if (inputType < 0 || number < 1 || number > g_input.padCount) return 0;
    int32_t n = number - 1;
    PadRecord& pad = g_input.pads[n];
    if (pad.device != nullptr && pad.constantForce != nullptr && pad.vibrationRequested != 0) {
        pad.vibrationRequested = 0;
        pad.vibrationPower = kFullPower;
        ApplyPadVibration();
    }
    return 0;
}

int32_t StartPadVibration(int32_t inputType, int32_t power, int32_t durationMs) {
    int32_t number = inputType & ~kPadWithKeyMap;
    Host().waitWhileInactive();
    if (g_input.directInput == nullptr && !Host().isWindowClosing()) InitializeInput();
    if (!RunningWithDirectInput() || inputType < 0 || number < 1 || number > g_input.padCount) return -1;
    if (power < 0 || power > kFullPower) return -1;
    PadRecord& pad = g_input.pads[number - 1];
    // Without the constant force the vibration could not be stopped again.
    if (pad.device == nullptr || pad.constantForce == nullptr) return -1;
    pad.vibrationRequested = 1;
    pad.vibrationPower = power;
    pad.vibrationDuration = durationMs;
    pad.vibrationElapsed = 0;
    pad.vibrationTime = GetTimeMsFromHost();
    ApplyPadVibration();
    return 0;
}

int32_t UpdatePadVibration() {
    if (VibrationOff()) return 0;
    uint32_t now = GetTimeMsFromHost();
    for (int32_t i = 0; i < g_input.padCount; ++i) {
        PadRecord& pad = g_input.pads[i];
        if (pad.vibrationRequested == 0 || pad.device == nullptr || pad.vibrationDuration < 0) continue;
        if (now == pad.vibrationTime) continue;
        if (now < pad.vibrationTime) pad.vibrationTime = now;  // the clock wrapped
        int64_t elapsed = int64_t{pad.vibrationElapsed} + (now - pad.vibrationTime);
        pad.vibrationElapsed = static_cast<int32_t>(std::min<int64_t>(elapsed, INT32_MAX));
        pad.vibrationTime = now;
        if (pad.vibrationElapsed >= pad.vibrationDuration) StopPadVibration(i + 1);
    }
    ApplyPadVibration();
    return 0;
}
