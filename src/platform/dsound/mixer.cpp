#include "platform/dsound/mixer.h"

#include "platform/sdl/sdl_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace dsound {

SampleMemory::SampleMemory(uint32_t bytes) : data(new uint8_t[bytes]), size(bytes) {}

namespace {

using AliasedInt16 = int16_t __attribute__((may_alias));
constexpr uint64_t kOneFrame = uint64_t{1} << 32;

int32_t GainFor(int32_t decibels) {
    if (decibels <= DSBVOLUME_MIN) return 0;
    if (decibels >= 0) return kUnityGain;
    return static_cast<int32_t>(std::lround(kUnityGain * std::pow(10.0, decibels / 2000.0)));
}

// One sample as a signed 16-bit value.
template <bool Bits16>
inline int32_t ReadSample(const uint8_t* data, size_t index) {
    if constexpr (Bits16) {
        return reinterpret_cast<const AliasedInt16*>(data)[index];
    } else {
        return (static_cast<int32_t>(data[index]) - 128) * 256;
    }
}

// Frames [first, first + count) at the output rate: no interpolation.
template <bool Stereo, bool Bits16>
void MixDirect(const uint8_t* data, uint32_t first, int count, int32_t gainLeft, int32_t gainRight, int32_t* acc) {
    if constexpr (Stereo) {
        const size_t base = static_cast<size_t>(first) * 2;
        for (int i = 0; i < count; ++i) {
            acc[2 * i] += (ReadSample<Bits16>(data, base + 2 * i) * gainLeft) >> 16;
            acc[2 * i + 1] += (ReadSample<Bits16>(data, base + 2 * i + 1) * gainRight) >> 16;
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const int32_t s = ReadSample<Bits16>(data, static_cast<size_t>(first) + i);
            acc[2 * i] += (s * gainLeft) >> 16;
            acc[2 * i + 1] += (s * gainRight) >> 16;
        }
    }
}

// Linear interpolation between frame a and frame b at fraction (15 bits, so
// that a full-scale difference times the fraction fits in 32 bits).
template <bool Stereo, bool Bits16>
inline void MixInterpolated(const uint8_t* data, uint32_t a, uint32_t b, int32_t fraction, int32_t gainLeft,
                            int32_t gainRight, int32_t* acc) {
    if constexpr (Stereo) {
        const int32_t l0 = ReadSample<Bits16>(data, size_t{a} * 2), l1 = ReadSample<Bits16>(data, size_t{b} * 2);
        const int32_t r0 = ReadSample<Bits16>(data, size_t{a} * 2 + 1);
        const int32_t r1 = ReadSample<Bits16>(data, size_t{b} * 2 + 1);
        const int32_t l = l0 + (((l1 - l0) * fraction) >> 15);
        const int32_t r = r0 + (((r1 - r0) * fraction) >> 15);
        acc[0] += (l * gainLeft) >> 16;
        acc[1] += (r * gainRight) >> 16;
    } else {
        const int32_t s0 = ReadSample<Bits16>(data, a), s1 = ReadSample<Bits16>(data, b);
        const int32_t s = s0 + (((s1 - s0) * fraction) >> 15);
        acc[0] += (s * gainLeft) >> 16;
        acc[1] += (s * gainRight) >> 16;
    }
}

// A position at or past the end: a looping voice wraps, a voice played once
// stops with its position back at 0.
uint64_t EndOrWrap(Voice& voice, uint64_t pos, uint64_t end) {
    if (pos < end) return pos;
    if (voice.looping) return pos % end;
    voice.playing = false;
    return 0;
}

template <bool Stereo, bool Bits16>
void MixVoiceAs(Voice& voice, int32_t* acc, int frameCount) {
    const uint8_t* data = voice.memory->data.get();
    const uint32_t frames = voice.frameCount;
    const uint64_t end = uint64_t{frames} << 32;
    const int32_t gl = voice.gainLeft, gr = voice.gainRight;
    const uint64_t step = voice.step;
    uint64_t pos = voice.position;
    int done = 0;
    while (done < frameCount) {
        if (pos >= end) {
            if (!voice.looping) {
                voice.playing = false;
                pos = 0;
                break;
            }
            pos -= end;
            continue;
        }
        const uint32_t index = static_cast<uint32_t>(pos >> 32);
        if (step == kOneFrame && (pos & 0xFFFFFFFFu) == 0) {
            const int count = static_cast<int>(std::min<uint64_t>(frameCount - done, frames - index));
            MixDirect<Stereo, Bits16>(data, index, count, gl, gr, acc + 2 * done);
            done += count;
            pos += uint64_t(count) << 32;
            continue;
        }
        const uint64_t lastPair = uint64_t{frames - 1} << 32;  // frames below it have a successor
        if (pos < lastPair) {
            const uint64_t possible = (lastPair - pos + step - 1) / step;
            const int count = static_cast<int>(std::min<uint64_t>(frameCount - done, possible));
            int32_t* out = acc + 2 * done;
            for (int i = 0; i < count; ++i) {
                const uint32_t a = static_cast<uint32_t>(pos >> 32);
                const int32_t fraction = static_cast<int32_t>((pos >> 17) & 0x7FFF);
                MixInterpolated<Stereo, Bits16>(data, a, a + 1, fraction, gl, gr, out + 2 * i);
                pos += step;
            }
            done += count;
            continue;
        }
        // The last frame leads into the first again when looping, else it holds.
        const uint32_t next = voice.looping ? 0 : index;
        MixInterpolated<Stereo, Bits16>(data, index, next, static_cast<int32_t>((pos >> 17) & 0x7FFF), gl, gr,
                                        acc + 2 * done);
        ++done;
        pos += step;
    }
    // A voice that has just used up its last frame ends (or wraps) now, so
    // that its status and cursor never show a position at the very end.
    voice.position = voice.playing ? EndOrWrap(voice, pos, end) : pos;
}

}  // namespace

void SetVoiceFrequency(Voice& voice, uint32_t frequency) {
    voice.frequency = frequency;
    voice.step = (uint64_t{frequency} << 32) / static_cast<uint64_t>(sdl::kAudioRate);
}

void SetVoiceVolumePan(Voice& voice, int32_t volume, int32_t pan) {
    voice.volume = volume;
    voice.pan = pan;
    voice.gainLeft = GainFor(volume - std::max(pan, 0));
    voice.gainRight = GainFor(volume + std::min(pan, 0));
}

void MixVoice(Voice& voice, int32_t* accumulator, int frameCount) {
    if (!voice.playing || voice.frameCount == 0 || frameCount <= 0) return;
    if (voice.gainLeft == 0 && voice.gainRight == 0) {
        // Silent: only the position moves.
        const uint64_t advance = voice.step * static_cast<uint64_t>(frameCount);
        voice.position = EndOrWrap(voice, voice.position + advance, uint64_t{voice.frameCount} << 32);
        return;
    }
    const bool stereo = voice.format.nChannels == 2;
    const bool bits16 = voice.format.wBitsPerSample == 16;
    if (stereo) {
        if (bits16)
            MixVoiceAs<true, true>(voice, accumulator, frameCount);
        else
            MixVoiceAs<true, false>(voice, accumulator, frameCount);
    } else {
        if (bits16)
            MixVoiceAs<false, true>(voice, accumulator, frameCount);
        else
            MixVoiceAs<false, false>(voice, accumulator, frameCount);
    }
}

void SaturateToOutput(const int32_t* accumulator, int16_t* out, size_t values) {
    for (size_t i = 0; i < values; ++i) {
        const int32_t v = accumulator[i];
        out[i] = static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
    }
}

void Mixer::AddVoice(Voice* voice) {
    std::lock_guard<std::mutex> lock(mutex);
    voices_.push_back(voice);
}

void Mixer::RemoveVoice(Voice* voice) {
    std::lock_guard<std::mutex> lock(mutex);
    voices_.erase(std::remove(voices_.begin(), voices_.end(), voice), voices_.end());
}

void Mixer::Render(int16_t* out, int frameCount) {
    if (frameCount <= 0) return;
    const size_t values = static_cast<size_t>(frameCount) * 2;
    std::lock_guard<std::mutex> lock(mutex);
    if (accumulator_.size() < values) accumulator_.resize(values);
    int32_t* acc = accumulator_.data();
    std::memset(acc, 0, values * sizeof(int32_t));
    for (Voice* voice : voices_) MixVoice(*voice, acc, frameCount);
    SaturateToOutput(acc, out, values);
}

void Mixer::RenderSource(void* user, int16_t* out, int frameCount) {
    static_cast<Mixer*>(user)->Render(out, frameCount);
}

}  // namespace dsound
