// The synthesizer's engine: the tune's sequence (cursors per track, the loop,
// starting and stopping with fades), note-on with voice allocation, and the
// mix of all voices through the echo and reverb into the output frames.
#include "platform/pxtone/synth.h"
#include "platform/pxtone/synth_voice.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pxt {

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
