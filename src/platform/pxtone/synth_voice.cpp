// The sound of one voice: envelopes, the plucked string, the drums, the
// band-limited oscillators, vibrato and filter control, and the per-frame
// samples the synthesizer mixes (see synth_voice.h).
#include "platform/pxtone/synth_voice.h"

#include <algorithm>
#include <cmath>

namespace pxt {

// Time constant as a per-frame multiplier: after `seconds` the value has
// fallen to 1/e.
float DecayCoef(float seconds, int sampleRate) {
    if (seconds <= 0.0f) return 0.0f;
    return std::exp(-1.0f / (seconds * static_cast<float>(sampleRate)));
}

float NoteHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }

namespace {

// Correction of a unit step at phase 0 for band-limited saw and pulse waves.
float PolyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

float Frac(float x) { return x - std::floor(x); }

uint32_t NextNoise(uint32_t& s) {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}
float NoiseSample(uint32_t& s) { return static_cast<float>(NextNoise(s) >> 8) * (2.0f / 16777216.0f) - 1.0f; }

float Oscillator(Wave wave, float t, float dt, float duty) {
    switch (wave) {
    case Wave::Pulse: {
        float s = (t < duty ? 1.0f : -1.0f) + PolyBlep(t, dt) - PolyBlep(Frac(t + 1.0f - duty), dt);
        return (s - (2.0f * duty - 1.0f)) * 0.6f;
    }
    case Wave::Saw:
        return (2.0f * t - 1.0f - PolyBlep(t, dt)) * 0.6f;
    case Wave::Triangle:
        return 4.0f * std::fabs(t - 0.5f) - 1.0f;
    default:
        return std::sin(static_cast<float>(kTwoPi) * t);
    }
}

}  // namespace

void StartEnvelope(Voice& v, int sr) {
    const Instrument& in = v.in;
    v.stage = Stage::Attack;
    v.env = 0.0f;
    // A floor of 16 frames keeps square edges from clicking at the onset.
    const float attackFrames = std::max(16.0f, in.attackMs * 0.001f * sr);
    v.attackStep = 1.0f / attackFrames;
    v.sustain = in.sustain / 255.0f;
    v.decayCoef = DecayCoef(in.decayMs * 0.001f / 3.0f, sr);
    v.releaseCoef = DecayCoef(std::max(3.0f, static_cast<float>(in.releaseMs)) * 0.001f / 4.6f, sr);
}

void StartPluck(Voice& v, int sr) {
    v.delay = std::clamp(static_cast<float>(sr) / v.freq - 0.5f, 2.0f, static_cast<float>(kPluckLine - 4));
    std::fill(v.line, v.line + kPluckLine, 0.0f);
    // The string starts drawn into a triangle, plucked nearer its end the
    // brighter the sound, with a little noise for the finger; then smoothed.
    const int length = static_cast<int>(std::ceil(v.delay)) + 2;
    const float brightness = v.in.param1 / 255.0f;
    const float smooth = 0.15f + 0.85f * brightness;
    const float apex = std::max(1.0f, length * (0.5f - 0.4f * brightness));
    float lp = 0.0f, sum = 0.0f;
    const int base = kPluckLine - length;
    for (int i = 0; i < length; ++i) {
        const float shape = i < apex ? i / apex : (length - i) / (length - apex);
        lp += smooth * (shape + 0.3f * brightness * NoiseSample(v.noise) - lp);
        v.line[(base + i) & (kPluckLine - 1)] = lp;
        sum += lp;
    }
    const float mean = sum / length;
    float peak = 1e-6f;
    for (int i = 0; i < length; ++i) peak = std::max(peak, std::fabs(v.line[(base + i) & (kPluckLine - 1)] - mean));
    for (int i = 0; i < length; ++i) {
        float& x = v.line[(base + i) & (kPluckLine - 1)];
        x = (x - mean) / peak;
    }
    const float d = v.in.param2 / 255.0f;
    v.feedback = 1.0f - (0.0002f + 0.02f * d * d);
    v.write = 0;
    v.lastOut = 0.0f;
}

void StartDrum(Voice& v, int sr) {
    v.clickEnv = 0;
    v.toneEnv = 0;
    v.phase = 0;
    switch (v.drum) {
    case DrumKind::Kick:
        v.ampEnv = 1.0f, v.ampCoef = DecayCoef(0.17f, sr);
        v.pitchEnv = 1.0f, v.pitchCoef = DecayCoef(0.032f, sr);
        v.clickEnv = 0.3f, v.clickCoef = DecayCoef(0.003f, sr);
        v.baseHz = 47.0f, v.sweepHz = 115.0f;
        break;
    case DrumKind::Snare:
        v.ampEnv = 0.75f, v.ampCoef = DecayCoef(0.11f, sr);
        v.toneEnv = 0.55f, v.toneCoef = DecayCoef(0.05f, sr);
        v.pitchEnv = 1.0f, v.pitchCoef = DecayCoef(0.02f, sr);
        v.baseHz = 180.0f, v.sweepHz = 40.0f;
        v.hp1.Set(1500.0f, sr);
        break;
    case DrumKind::ClosedHat:
    case DrumKind::OpenHat:
        v.ampEnv = v.drum == DrumKind::OpenHat ? 0.5f : 0.6f;
        v.ampCoef = DecayCoef(v.drum == DrumKind::OpenHat ? 0.2f : 0.028f, sr);
        v.hp1.Set(6500.0f, sr);
        v.hp2.Set(6500.0f, sr);
        break;
    case DrumKind::LowTom:
    case DrumKind::HighTom:
        v.ampEnv = 1.0f, v.ampCoef = DecayCoef(0.2f, sr);
        v.pitchEnv = 1.0f, v.pitchCoef = DecayCoef(0.06f, sr);
        v.baseHz = v.drum == DrumKind::LowTom ? 95.0f : 150.0f;
        v.sweepHz = v.baseHz * 0.45f;
        break;
    case DrumKind::Clap:
        v.ampEnv = 1.0f, v.ampCoef = DecayCoef(0.1f, sr);
        v.clickCoef = DecayCoef(0.004f, sr);
        v.drumFilter.Set(1300.0f, 0.55f, sr);
        break;
    case DrumKind::Shaker:
        v.ampEnv = 0.55f, v.ampCoef = DecayCoef(0.045f, sr);
        v.hp1.Set(4500.0f, sr);
        v.hp2.Set(4500.0f, sr);
        break;
    case DrumKind::None:
        v.ampEnv = 0.0f;
        break;
    }
}

// One frame of a drum; returns the sample and lowers the envelopes.
float DrumSample(Voice& v, int sr) {
    const float inv = 1.0f / static_cast<float>(sr);
    float s = 0.0f;
    switch (v.drum) {
    case DrumKind::Kick:
    case DrumKind::LowTom:
    case DrumKind::HighTom: {
        v.phase = Frac(v.phase + (v.baseHz + v.sweepHz * v.pitchEnv) * inv);
        s = std::sin(static_cast<float>(kTwoPi) * v.phase) * v.ampEnv;
        s += NoiseSample(v.noise) * v.clickEnv;
        v.pitchEnv *= v.pitchCoef;
        v.clickEnv *= v.clickCoef;
        break;
    }
    case DrumKind::Snare: {
        v.phase = Frac(v.phase + (v.baseHz + v.sweepHz * v.pitchEnv) * inv);
        s = std::sin(static_cast<float>(kTwoPi) * v.phase) * v.toneEnv;
        s += v.hp1.Process(NoiseSample(v.noise)) * v.ampEnv;
        v.toneEnv *= v.toneCoef;
        v.pitchEnv *= v.pitchCoef;
        break;
    }
    case DrumKind::ClosedHat:
    case DrumKind::OpenHat:
    case DrumKind::Shaker: {
        float n = v.hp2.Process(v.hp1.Process(NoiseSample(v.noise)));
        float shape = v.ampEnv;
        if (v.drum == DrumKind::Shaker) shape *= std::min(1.0f, v.age / (0.008f * sr));
        s = n * shape * 1.6f;
        break;
    }
    case DrumKind::Clap: {
        // Three quick bursts, then the tail.
        const float ms = v.age * 1000.0f * inv;
        float burst = 0.0f;
        if (ms < 30.0f) {
            if (v.age % (sr / 100) == 0) v.clickEnv = 1.0f;
            burst = v.clickEnv;
            v.clickEnv *= v.clickCoef;
        }
        float band = 0.0f;
        v.drumFilter.Process(NoiseSample(v.noise), &band);
        s = band * std::max(burst, ms >= 20.0f ? v.ampEnv : 0.0f) * 2.2f;
        break;
    }
    case DrumKind::None:
        break;
    }
    v.ampEnv *= v.ampCoef;
    if (v.ampEnv < kSilence && v.toneEnv < kSilence) v.active = false;
    return s;
}

// Pitch and filter values held for one control block.
void UpdateControls(Voice& v, int sr) {
    const Instrument& in = v.in;
    v.pitchMul = 1.0f;
    if (in.vibratoCents && in.vibratoRate) {
        const float delay = in.vibratoDelayMs * 0.001f * sr;
        const float ramp = std::clamp((v.age - delay) / (0.25f * sr), 0.0f, 1.0f);
        if (ramp > 0.0f) {
            v.pitchMul = std::exp2(in.vibratoCents * ramp * std::sin(static_cast<float>(kTwoPi) * v.lfoPhase) / 1200.0f);
            v.lfoPhase = Frac(v.lfoPhase + in.vibratoRate * 0.1f * kControlBlock / sr);
        }
    }
    if (v.filtered) {
        const float cutoff = in.cutoffHz * std::exp2(v.filterEnv * 4.0f * v.env);
        v.filter.Set(cutoff, v.resonance, sr);
    }
}

// Advances the envelope one frame; false once the voice has died away.
bool StepEnvelope(Voice& v) {
    switch (v.stage) {
    case Stage::Attack:
        v.env += v.attackStep;
        if (v.env >= 1.0f) {
            v.env = 1.0f;
            v.stage = Stage::Decay;
        }
        break;
    case Stage::Decay:
        v.env = v.sustain + (v.env - v.sustain) * v.decayCoef;
        if (v.sustain == 0.0f && v.env < kSilence) return false;
        break;
    case Stage::Release:
        v.env *= v.releaseCoef;
        if (v.env < kSilence) return false;
        break;
    }
    if (v.hold > 0 && --v.hold == 0) v.stage = Stage::Release;
    return true;
}

float TonalSample(Voice& v, int sr) {
    const Instrument& in = v.in;
    const float dt = v.freq * v.pitchMul / static_cast<float>(sr);
    float s;
    switch (in.wave) {
    case Wave::Pluck: {
        const float rp = static_cast<float>(v.write) - v.delay;
        const float base = std::floor(rp);
        const float fr = rp - base;
        const int i0 = static_cast<int>(base);
        const float a = v.line[i0 & (kPluckLine - 1)];
        const float b = v.line[(i0 + 1) & (kPluckLine - 1)];
        const float y = a + (b - a) * fr;
        v.line[v.write & (kPluckLine - 1)] = v.feedback * 0.5f * (y + v.lastOut);
        v.lastOut = y;
        v.write = (v.write + 1) & (kPluckLine - 1);
        s = y * 1.2f;
        break;
    }
    case Wave::FmBell: {
        const float mod = v.fmIndex * v.modEnv * std::sin(static_cast<float>(kTwoPi) * v.modPhase);
        s = std::sin(static_cast<float>(kTwoPi) * v.phase + mod);
        v.modPhase = Frac(v.modPhase + dt * v.fmRatio);
        v.modEnv *= v.modCoef;
        v.phase = Frac(v.phase + dt);
        break;
    }
    default: {
        const float duty = in.param1 / 256.0f;
        if (in.unisonCents) {
            const float d1 = dt * v.unisonLow, d2 = dt * v.unisonHigh;
            s = 0.5f * (Oscillator(in.wave, v.phase, d1, duty) + Oscillator(in.wave, v.phase2, d2, duty));
            v.phase = Frac(v.phase + d1);
            v.phase2 = Frac(v.phase2 + d2);
        } else {
            s = Oscillator(in.wave, v.phase, dt, duty);
            v.phase = Frac(v.phase + dt);
        }
        break;
    }
    }
    if (v.filtered) s = v.filter.Process(s);
    return s * v.env;
}

}  // namespace pxt
