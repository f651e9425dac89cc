// One voice of the synthesizer: its state, and the calls that start it and
// sound it frame by frame. Tonal voices (pulse, saw, triangle, sine, FM bell,
// plucked string) run an oscillator through an envelope and an optional
// filter; drum voices make their sound from sine sweeps and filtered noise.
// Private to the synthesizer: synth.cpp starts and mixes voices, synth_voice.cpp
// sounds them.
#pragma once

#include "platform/pxtone/tune.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace pxt {

constexpr int kVoiceCount = 64;
constexpr int kPluckLine = 4096;  // per voice; lowest pluck note about 11 Hz at 44.1 kHz
constexpr int kBlock = 64;        // frames rendered between sequence checks
constexpr int kControlBlock = 16; // frames between pitch and filter updates
constexpr float kSilence = 1e-4f;
constexpr float kKillSeconds = 0.008f;
constexpr double kTwoPi = 6.283185307179586;
constexpr float kPi = 3.14159265358979f;

// State-variable filter (trapezoidal form): stable under fast cutoff changes.
struct Svf {
    float a1 = 1, a2 = 0, a3 = 0, k = 2;
    float ic1 = 0, ic2 = 0;
    void Set(float cutoffHz, float resonance, int sampleRate) {
        const float fc = std::min(cutoffHz, 0.45f * static_cast<float>(sampleRate));
        const float g = std::tan(kPi * fc / static_cast<float>(sampleRate));
        k = 2.0f - 2.0f * resonance;
        a1 = 1.0f / (1.0f + g * (g + k));
        a2 = g * a1;
        a3 = g * a2;
    }
    // Returns the low-pass output; *band receives the band-pass output.
    float Process(float x, float* band = nullptr) {
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        if (band) *band = v1;
        return v2;
    }
};

struct OnePoleHighPass {
    float a = 0, x1 = 0, y1 = 0;
    void Set(float cutoffHz, int sampleRate) {
        a = 1.0f / (1.0f + static_cast<float>(kTwoPi) * cutoffHz / static_cast<float>(sampleRate));
    }
    float Process(float x) {
        y1 = a * (y1 + x - x1);
        x1 = x;
        return y1;
    }
};

enum class Stage : uint8_t { Attack, Decay, Release };

struct Voice {
    bool active = false;
    bool killing = false;
    float kill = 1.0f;
    Instrument in;
    DrumKind drum = DrumKind::None;
    float gainL = 0, gainR = 0, echoSend = 0, reverbSend = 0;
    int64_t age = 0;
    int64_t hold = 0;  // frames until the release
    uint32_t noise = 1;

    // Tonal voices.
    float freq = 0;
    float unisonLow = 1, unisonHigh = 1;
    float phase = 0, phase2 = 0, modPhase = 0;
    Stage stage = Stage::Attack;
    float env = 0, attackStep = 1, decayCoef = 0, sustain = 1, releaseCoef = 0;
    bool filtered = false;
    float resonance = 0, filterEnv = 0;
    Svf filter;
    float modEnv = 1, modCoef = 1, fmIndex = 0, fmRatio = 1;
    float lfoPhase = 0;
    float pitchMul = 1;
    // Plucked string.
    float* line = nullptr;
    float delay = 0, lastOut = 0, feedback = 0;
    int write = 0;

    // Drums: amplitude, pitch and click envelopes with their coefficients.
    float ampEnv = 0, ampCoef = 0, pitchEnv = 0, pitchCoef = 0, clickEnv = 0, clickCoef = 0;
    float toneEnv = 0, toneCoef = 0, baseHz = 0, sweepHz = 0;
    Svf drumFilter;
    OnePoleHighPass hp1, hp2;
};

// Time constant as a per-frame multiplier: after `seconds` the value has
// fallen to 1/e.
float DecayCoef(float seconds, int sampleRate);
float NoteHz(float note);

// A tonal voice's amplitude envelope from its instrument.
void StartEnvelope(Voice& v, int sr);
// The plucked string's delay line, drawn and smoothed for its note.
void StartPluck(Voice& v, int sr);
// A drum voice's envelopes and filters for its kind.
void StartDrum(Voice& v, int sr);
// One frame of a drum; returns the sample and lowers the envelopes.
float DrumSample(Voice& v, int sr);
// Pitch and filter values held for one control block.
void UpdateControls(Voice& v, int sr);
// Advances the envelope one frame; false once the voice has died away.
bool StepEnvelope(Voice& v);
// One frame of a tonal voice at its current envelope level.
float TonalSample(Voice& v, int sr);

}  // namespace pxt
