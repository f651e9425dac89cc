#include "platform/pxtone/synth.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pxt {
namespace {

constexpr int kVoiceCount = 64;
constexpr int kPluckLine = 4096;  // per voice; lowest pluck note about 11 Hz at 44.1 kHz
constexpr int kBlock = 64;        // frames rendered between sequence checks
constexpr int kControlBlock = 16; // frames between pitch and filter updates
constexpr float kSilence = 1e-4f;
constexpr float kKillSeconds = 0.008f;
constexpr double kTwoPi = 6.283185307179586;
constexpr float kPi = 3.14159265358979f;

// Time constant as a per-frame multiplier: after `seconds` the value has
// fallen to 1/e.
float DecayCoef(float seconds, int sampleRate) {
    if (seconds <= 0.0f) return 0.0f;
    return std::exp(-1.0f / (seconds * static_cast<float>(sampleRate)));
}

float NoteHz(float note) { return 440.0f * std::exp2((note - 69.0f) / 12.0f); }

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

}  // namespace

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

namespace {

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

}  // namespace

Synth::Synth(int sampleRate)
    : sampleRate_(sampleRate > 0 ? sampleRate : 44100),
      voices_(kVoiceCount),
      pluckMemory_(size_t(kVoiceCount) * kPluckLine, 0.0f),
      volumeStep_(1.0f / (0.02f * static_cast<float>(sampleRate_))) {
    for (int i = 0; i < kVoiceCount; ++i) voices_[i].line = &pluckMemory_[size_t(i) * kPluckLine];
    const size_t echoSize = size_t(sampleRate_) * 2 + 2;
    echoL_.assign(echoSize, 0.0f);
    echoR_.assign(echoSize, 0.0f);
    static const int kCombTune[6] = {1116, 1188, 1277, 1356, 1422, 1491};
    static const int kAllPassTune[3] = {556, 441, 341};
    const double scale = sampleRate_ / 44100.0;
    for (int ch = 0; ch < 2; ++ch) {
        const int spread = ch * 23;
        for (int i = 0; i < 6; ++i)
            combs_[ch][i].buf.assign(std::max<size_t>(1, size_t((kCombTune[i] + spread) * scale)), 0.0f);
        for (int i = 0; i < 3; ++i)
            allPasses_[ch][i].buf.assign(std::max<size_t>(1, size_t((kAllPassTune[i] + spread) * scale)), 0.0f);
    }
    scratch_.resize(kBlock * 4);
}

Synth::~Synth() = default;

void Synth::SetTune(std::shared_ptr<const Tune> tune) {
    Stop();
    tune_ = std::move(tune);
    position_ = 0;
    cursor_.clear();
    loopCursor_.clear();
    loopStartFrame_ = loopEndFrame_ = 0;
    if (!tune_) return;
    loopStartFrame_ = FrameOfTick(*tune_, tune_->loopStart, sampleRate_);
    loopEndFrame_ = FrameOfTick(*tune_, tune_->loopEnd, sampleRate_);
    cursor_.assign(tune_->tracks.size(), 0);
    for (const Track& tr : tune_->tracks) {
        auto it = std::lower_bound(tr.events.begin(), tr.events.end(), tune_->loopStart,
                                   [](const NoteEvent& e, uint32_t tick) { return e.tick < tick; });
        loopCursor_.push_back(it - tr.events.begin());
    }
    ApplyTuneEffects();
}

void Synth::ApplyTuneEffects() {
    const Tune& t = *tune_;
    gain_ = t.gain / 256.0f;
    const int delay = t.echoDelayMs ? static_cast<int>(int64_t(t.echoDelayMs) * sampleRate_ / 1000) : 0;
    if (delay != echoDelay_) {
        // Cross-fade from the old delay so that the running tail does not jump.
        echoOldDelay_ = echoDelay_;
        echoDelay_ = delay;
        echoBlend_ = sampleRate_ / 50;
    }
    echoFeedback_ = t.echoFeedback / 256.0f;
    echoLevel_ = t.echoLevel / 255.0f;
    reverbFeedback_ = 0.70f + 0.28f * (t.reverbSize / 255.0f);
    reverbDamp_ = 0.05f + 0.6f * (t.reverbDamping / 255.0f);
    reverbLevel_ = t.reverbLevel / 255.0f;
}

void Synth::ResetTrackCursors(int64_t frame) {
    for (size_t i = 0; i < tune_->tracks.size(); ++i) {
        const auto& ev = tune_->tracks[i].events;
        size_t lo = 0, hi = ev.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (FrameOfTick(*tune_, ev[mid].tick, sampleRate_) < frame)
                lo = mid + 1;
            else
                hi = mid;
        }
        cursor_[i] = lo;
    }
}

bool Synth::Start(int64_t startFrame, int fadeInMs) {
    if (!tune_) return false;
    for (Voice& v : voices_)
        if (v.active && !v.killing) v.killing = true;
    int64_t start = std::max<int64_t>(0, startFrame);
    if (start >= loopEndFrame_) start = loopStartFrame_ + (start - loopStartFrame_) % (loopEndFrame_ - loopStartFrame_);
    position_ = start;
    ResetTrackCursors(start);
    if (fadeInMs > 0) {
        fade_ = 0.0f;
        fadeStep_ = 1.0f / (std::min(fadeInMs, 60000) * 0.001f * sampleRate_);
    } else {
        fade_ = 1.0f;
        fadeStep_ = 0.0f;
    }
    playing_ = true;
    return true;
}

void Synth::Stop() {
    playing_ = false;
    for (Voice& v : voices_)
        if (v.active) v.killing = true;
}

void Synth::SetVolume(float volume) {
    if (!(volume >= 0.0f)) volume = 0.0f;  // NaN too
    targetVolume_ = std::min(volume, 1.0f);
    // Nothing sounding: take the new volume at once; else glide to it.
    if (!playing_ && ActiveVoices() == 0) volume_ = targetVolume_;
}

int Synth::ActiveVoices() const {
    int n = 0;
    for (const Voice& v : voices_) n += v.active;
    return n;
}

Voice* Synth::AllocateVoice() {
    Voice* best = nullptr;
    float bestScore = 0.0f;
    for (Voice& v : voices_) {
        if (!v.active) return &v;
        // Prefer voices already fading out, then the quietest.
        const float level = v.in.wave == Wave::Drums ? v.ampEnv : v.env;
        const float score = (v.killing ? 0.0f : 1.0f) + (v.stage == Stage::Release ? 0.0f : 1.0f) + level;
        if (!best || score < bestScore) best = &v, bestScore = score;
    }
    return best;
}

void Synth::NoteOn(int track, const NoteEvent& e, uint32_t seed) {
    const Track& tr = tune_->tracks[track];
    const Instrument& in = tune_->instruments[tr.instrument];
    Voice& v = *AllocateVoice();
    float* line = v.line;
    v = Voice();
    v.line = line;
    v.active = true;
    v.in = in;
    v.noise = seed ? seed : 0x1234567u;
    const float angle = (tr.pan / 127.0f + 1.0f) * kPi / 4.0f;
    const float gain = (in.level / 255.0f) * (tr.volume / 255.0f) * (e.velocity / 127.0f);
    v.gainL = std::cos(angle) * gain;
    v.gainR = std::sin(angle) * gain;
    v.echoSend = tr.echoSend / 255.0f;
    v.reverbSend = tr.reverbSend / 255.0f;
    v.hold = std::max<int64_t>(1, FrameOfTick(*tune_, uint64_t(e.tick) + e.length, sampleRate_) -
                                      FrameOfTick(*tune_, e.tick, sampleRate_));
    if (in.wave == Wave::Drums) {
        v.drum = DrumForNote(e.note);
        StartDrum(v, sampleRate_);
        return;
    }
    v.freq = NoteHz(e.note + in.detuneCents / 100.0f);
    if (in.unisonCents) {
        v.unisonLow = std::exp2(-in.unisonCents / 2400.0f);
        v.unisonHigh = std::exp2(in.unisonCents / 2400.0f);
        v.phase2 = 0.37f;
    }
    StartEnvelope(v, sampleRate_);
    v.filtered = in.cutoffHz != 0;
    if (in.wave == Wave::Saw) {
        v.resonance = in.param1 / 255.0f * 0.9f;
        v.filterEnv = in.param2 / 255.0f;
    }
    if (in.wave == Wave::FmBell) {
        v.fmRatio = in.param1 / 4.0f;
        v.fmIndex = in.param2 / 16.0f;
        v.modEnv = 1.0f;
        v.modCoef = DecayCoef(std::max(5.0f, in.decayMs * 0.25f) * 0.001f, sampleRate_);
    }
    if (in.wave == Wave::Pluck) StartPluck(v, sampleRate_);
}

void Synth::TriggerEventsAt() {
    // No more notes start on one frame than there are voices: the rest of
    // that frame's notes could never all sound, and a tune stacking
    // thousands of them on a short loop would stall the audio thread.
    int started = 0;
    for (size_t t = 0; t < tune_->tracks.size(); ++t) {
        const auto& ev = tune_->tracks[t].events;
        while (cursor_[t] < ev.size() && FrameOfTick(*tune_, ev[cursor_[t]].tick, sampleRate_) <= position_) {
            if (started == kVoiceCount) {
                const auto due = std::partition_point(ev.begin() + cursor_[t], ev.end(), [&](const NoteEvent& e) {
                    return FrameOfTick(*tune_, e.tick, sampleRate_) <= position_;
                });
                cursor_[t] = static_cast<size_t>(due - ev.begin());
                break;
            }
            ++started;
            // The seed depends only on the note's place in the tune, so every
            // pass of the loop sounds the same.
            const uint32_t seed = static_cast<uint32_t>((t + 1) * 2654435761u) ^ static_cast<uint32_t>(cursor_[t] * 40503u + 1);
            NoteOn(static_cast<int>(t), ev[cursor_[t]], seed);
            ++cursor_[t];
        }
    }
}

int Synth::FramesToNextEvent() const {
    int64_t next = loopEndFrame_ - position_;
    for (size_t t = 0; t < tune_->tracks.size(); ++t) {
        const auto& ev = tune_->tracks[t].events;
        if (cursor_[t] < ev.size())
            next = std::min(next, FrameOfTick(*tune_, ev[cursor_[t]].tick, sampleRate_) - position_);
    }
    return static_cast<int>(std::clamp<int64_t>(next, 1, kBlock));
}

void Synth::RenderVoices(float* dry, float* echoIn, float* reverbIn, const float* fade, int frames) {
    const float killStep = 1.0f / (kKillSeconds * sampleRate_);
    for (Voice& v : voices_) {
        if (!v.active) continue;
        const bool drum = v.in.wave == Wave::Drums;
        for (int i = 0; i < frames && v.active; ++i) {
            float s;
            if (drum) {
                s = DrumSample(v, sampleRate_);
            } else {
                if (v.age % kControlBlock == 0) UpdateControls(v, sampleRate_);
                s = TonalSample(v, sampleRate_);
                if (!StepEnvelope(v)) v.active = false;
            }
            if (v.killing) {
                s *= v.kill;
                v.kill -= killStep;
                if (v.kill <= 0.0f) v.active = false;
            } else {
                s *= fade[i];  // the fade-in of the current start
            }
            ++v.age;
            dry[2 * i] += s * v.gainL;
            dry[2 * i + 1] += s * v.gainR;
            const float mono = s * (v.gainL + v.gainR) * 0.5f;
            echoIn[i] += mono * v.echoSend;
            reverbIn[i] += mono * v.reverbSend;
        }
    }
}

void Synth::RenderEffects(float* out, const float* echoIn, const float* reverbIn, int frames) {
    const size_t echoSize = echoL_.size();
    auto at = [&](int delay) { return (echoWrite_ + echoSize - size_t(delay)) % echoSize; };
    for (int i = 0; i < frames; ++i) {
        float l = out[2 * i], r = out[2 * i + 1];
        // Echo.
        if (echoDelay_ > 0 || echoBlend_ > 0) {
            float el = echoDelay_ ? echoL_[at(echoDelay_)] : 0.0f;
            float er = echoDelay_ ? echoR_[at(echoDelay_)] : 0.0f;
            if (echoBlend_ > 0) {
                const float a = echoBlend_ / static_cast<float>(sampleRate_ / 50);
                const float ol = echoOldDelay_ ? echoL_[at(echoOldDelay_)] : 0.0f;
                const float orr = echoOldDelay_ ? echoR_[at(echoOldDelay_)] : 0.0f;
                el = el * (1.0f - a) + ol * a;
                er = er * (1.0f - a) + orr * a;
                --echoBlend_;
            }
            echoDampL_ += 0.35f * (el - echoDampL_);
            echoDampR_ += 0.35f * (er - echoDampR_);
            echoL_[echoWrite_] = echoIn[i] * 0.7f + echoFeedback_ * echoDampR_;
            echoR_[echoWrite_] = echoIn[i] * 0.3f + echoFeedback_ * echoDampL_;
            l += el * echoLevel_;
            r += er * echoLevel_;
        }
        echoWrite_ = (echoWrite_ + 1) % echoSize;
        // Reverb.
        const float input = reverbIn[i] * 0.015f;
        for (int ch = 0; ch < 2; ++ch) {
            float sum = 0.0f;
            for (Comb& c : combs_[ch]) {
                const float y = c.buf[c.pos];
                c.store = y * (1.0f - reverbDamp_) + c.store * reverbDamp_;
                c.buf[c.pos] = input + c.store * reverbFeedback_;
                if (++c.pos == c.buf.size()) c.pos = 0;
                sum += y;
            }
            for (AllPass& a : allPasses_[ch]) {
                const float b = a.buf[a.pos];
                a.buf[a.pos] = sum + b * 0.5f;
                sum = b - sum;
                if (++a.pos == a.buf.size()) a.pos = 0;
            }
            (ch == 0 ? l : r) += sum * 4.0f * reverbLevel_;
        }
        // Master: tune gain and volume glide.
        if (volume_ != targetVolume_) {
            if (volume_ < targetVolume_)
                volume_ = std::min(targetVolume_, volume_ + volumeStep_);
            else
                volume_ = std::max(targetVolume_, volume_ - volumeStep_);
        }
        const float g = gain_ * volume_;
        out[2 * i] = l * g;
        out[2 * i + 1] = r * g;
    }
}

void Synth::Render(float* stereo, int frames) {
    while (frames > 0) {
        int n = std::min(frames, kBlock);
        if (playing_) {
            TriggerEventsAt();
            n = std::min(n, FramesToNextEvent());
        }
        float* echoIn = scratch_.data();
        float* reverbIn = echoIn + kBlock;
        float* fade = reverbIn + kBlock;
        std::fill(stereo, stereo + 2 * n, 0.0f);
        std::fill(echoIn, echoIn + 2 * kBlock, 0.0f);
        for (int i = 0; i < n; ++i) {
            fade[i] = fade_;
            if (fade_ < 1.0f) fade_ = std::min(1.0f, fade_ + fadeStep_);
        }
        RenderVoices(stereo, echoIn, reverbIn, fade, n);
        RenderEffects(stereo, echoIn, reverbIn, n);
        if (playing_) {
            position_ += n;
            if (position_ >= loopEndFrame_) {
                position_ = loopStartFrame_;
                for (size_t t = 0; t < cursor_.size(); ++t) cursor_[t] = loopCursor_[t];
            }
        }
        stereo += 2 * n;
        frames -= n;
    }
}

void Synth::RenderS16(int16_t* out, int frames) {
    float buf[2 * kBlock];
    while (frames > 0) {
        const int n = std::min(frames, kBlock);
        Render(buf, n);
        for (int i = 0; i < 2 * n; ++i) {
            const float s = std::clamp(buf[i] * 32767.0f, -32768.0f, 32767.0f);
            out[i] = static_cast<int16_t>(std::lrint(s));
        }
        out += 2 * n;
        frames -= n;
    }
}

}  // namespace pxt
