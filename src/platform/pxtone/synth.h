// The synthesizer of the music stand-in: plays one Tune into stereo frames.
// A pure engine: no device, no lock, no clock. The caller renders N frames
// at a time (Render) from whichever thread owns the engine.
//
// Playback is sample-exact: every note starts on the frame FrameOfTick gives,
// and at the loop end the sequence jumps to the loop start while voices,
// echo and reverb carry on, so the seam is as smooth as the music itself.
#pragma once

#include "platform/pxtone/tune.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace pxt {

struct Voice;

class Synth {
public:
    explicit Synth(int sampleRate);
    ~Synth();
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    int sampleRate() const { return sampleRate_; }

    // Replaces the tune (null: none). A playing tune is stopped first; its
    // voices fade out over a few milliseconds.
    void SetTune(std::shared_ptr<const Tune> tune);
    bool HasTune() const { return tune_ != nullptr; }

    // Plays from startFrame (taken into the loop when beyond its end), its
    // notes rising from silence over the first fadeInMs milliseconds; notes
    // of an earlier start fade out. False without a tune.
    bool Start(int64_t startFrame, int fadeInMs);
    // Stops the sequence; sounding notes fade out within a few milliseconds
    // and the echo and reverb tails ring on.
    void Stop();
    bool IsPlaying() const { return playing_; }
    // The frame of the tune that plays next (0 .. loop end - 1).
    int64_t Position() const { return position_; }
    int64_t LoopStartFrame() const { return loopStartFrame_; }
    int64_t LoopEndFrame() const { return loopEndFrame_; }

    // Volume 0..1 (values outside are clamped). While anything sounds, the
    // change glides over 20 ms so that it does not click.
    void SetVolume(float volume);
    float Volume() const { return targetVolume_; }

    // Writes frames stereo frames (left, right interleaved), nominally -1..1.
    void Render(float* stereo, int frames);
    // The same as signed 16-bit, saturated.
    void RenderS16(int16_t* stereo, int frames);

    // Number of voices sounding (tests, and the tool's statistics).
    int ActiveVoices() const;

private:
    void TriggerEventsAt();
    int FramesToNextEvent() const;
    void ResetTrackCursors(int64_t frame);
    void NoteOn(int track, const NoteEvent& event, uint32_t seed);
    Voice* AllocateVoice();
    void RenderVoices(float* dry, float* echoIn, float* reverbIn, const float* fade, int frames);
    void RenderEffects(float* stereo, const float* echoIn, const float* reverbIn, int frames);
    void ApplyTuneEffects();

    int sampleRate_;
    std::shared_ptr<const Tune> tune_;
    std::vector<Voice> voices_;
    std::vector<float> pluckMemory_;  // one delay line per voice
    std::vector<size_t> cursor_;      // next event per track
    std::vector<size_t> loopCursor_;  // first event at or after the loop start
    int64_t loopStartFrame_ = 0;
    int64_t loopEndFrame_ = 0;
    int64_t position_ = 0;
    bool playing_ = false;
    uint64_t noteCounter_ = 0;

    float targetVolume_ = 1.0f;
    float volume_ = 1.0f;
    float volumeStep_;
    float fade_ = 1.0f;
    float fadeStep_ = 0.0f;
    float gain_ = 1.0f;

    // Echo: a ping-pong delay with a damped feedback path.
    std::vector<float> echoL_, echoR_;
    size_t echoWrite_ = 0;
    int echoDelay_ = 0, echoOldDelay_ = 0, echoBlend_ = 0;
    float echoFeedback_ = 0, echoLevel_ = 0, echoDampL_ = 0, echoDampR_ = 0;
    // Reverb: parallel damped combs into series all-passes, per channel.
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0;
    };
    struct AllPass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb combs_[2][6];
    AllPass allPasses_[2][3];
    float reverbFeedback_ = 0, reverbDamp_ = 0, reverbLevel_ = 0;
    std::vector<float> scratch_;
};

}  // namespace pxt
