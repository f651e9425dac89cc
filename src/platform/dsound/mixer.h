// The DirectSound stand-in's software mixer: every playing secondary buffer
// (a Voice) is read in its own format and rate, scaled by its volume and pan
// gains, summed, and saturated to the 44100 Hz stereo signed 16-bit output.
#pragma once

#include "platform/dsound/dsound.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace dsound {

// Sample memory of a buffer, shared by its duplicates.
struct SampleMemory {
    explicit SampleMemory(uint32_t bytes);
    std::unique_ptr<uint8_t[]> data;
    uint32_t size;
};

constexpr int32_t kUnityGain = 65536;  // gains are 16.16 fixed point

// The play state of one secondary buffer. Fields below `memory` change only
// under the owning Mixer's mutex.
struct Voice {
    std::shared_ptr<SampleMemory> memory;
    WAVEFORMATEX format{};
    uint32_t frameCount = 0;  // whole blocks in the memory

    bool playing = false;
    bool looping = false;
    uint64_t position = 0;  // frames, 32.32 fixed point
    uint32_t frequency = 0;
    uint64_t step = 0;  // frames per output frame, 32.32 fixed point
    int32_t volume = 0;
    int32_t pan = 0;
    int32_t gainLeft = kUnityGain;
    int32_t gainRight = kUnityGain;
};

// Sets the play rate (and the step per output frame).
void SetVoiceFrequency(Voice& voice, uint32_t frequency);
// Sets volume and pan (hundredths of a decibel) and the gains they give:
// amplitude 10^(dB/20); a positive pan attenuates the left channel, a
// negative one the right; -10000 or below is silence.
void SetVoiceVolumePan(Voice& voice, int32_t volume, int32_t pan);

// Adds frameCount output frames of one playing voice into accumulator
// (2 x frameCount values), advancing it; a voice played once stops at its
// end with its position back at 0.
void MixVoice(Voice& voice, int32_t* accumulator, int frameCount);
// Writes accumulator values saturated to 16 bits.
void SaturateToOutput(const int32_t* accumulator, int16_t* out, size_t values);

class Mixer {
public:
    std::mutex mutex;  // guards the voice list and every voice's play state

    void AddVoice(Voice* voice);
    void RemoveVoice(Voice* voice);
    // Mixes every playing voice into out (2 x frameCount values).
    void Render(int16_t* out, int frameCount);
    // The audio output's source callback; user is the Mixer.
    static void RenderSource(void* user, int16_t* out, int frameCount);

    DWORD cooperativeLevel = 0;

private:
    std::vector<Voice*> voices_;
    std::vector<int32_t> accumulator_;
};

// Counts for the test hooks.
void CountBuffer(int delta);

}  // namespace dsound
