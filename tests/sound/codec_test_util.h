// Shared by the tests of the compressed formats: reads through a converter
// over a memory image, the PCM held by a memory sound's buffer, and stream
// playback.
#pragma once

#include "../msacm/codec_encoders.h"
#include "sound/sound_converter.h"
#include "sound_test_util.h"

#include <fstream>
#include <string>
#include <utility>

namespace codecsound {

using soundtest::Bytes;
using soundtest::Opened;
using codectest::AsSamples;

// The converter's output format, expected to be 16-bit PCM of the given
// channels and rate.
inline WAVEFORMATEX ExpectPcm16Format(SoundConverter* c, WORD channels, DWORD rate) {
    WAVEFORMATEX f{};
    GetConverterFormat(c, &f);
    EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nChannels, channels);
    EXPECT_EQ(f.nSamplesPerSec, rate);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.nBlockAlign, 2 * channels);
    EXPECT_EQ(f.nAvgBytesPerSec, rate * 2 * channels);
    return f;
}

inline Bytes ReadBytes(SoundConverter* c, int32_t bytes) {
    Bytes out(static_cast<size_t>(bytes));
    const int32_t got = ReadConverter(c, out.data(), bytes);
    out.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return out;
}

// Everything the converter delivers, read in pieces of `step` bytes.
inline std::vector<int16_t> ReadAllSamples(SoundConverter* c, int step = 3001) {
    Bytes out, piece(static_cast<size_t>(step));
    for (;;) {
        const int32_t got = ReadConverter(c, piece.data(), step);
        if (got <= 0) break;
        out.insert(out.end(), piece.begin(), piece.begin() + got);
    }
    return AsSamples(out);
}

// The first `bytes` of PCM a memory sound's first buffer holds.
inline std::vector<int16_t> BufferSamples(int32_t handle, uint32_t bytes) {
    IDirectSoundBuffer* buffer = GetSoundBufferForTest(handle, 0);
    if (buffer == nullptr) return {};
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (buffer->Lock(0, bytes, &first, &firstBytes, &second, &secondBytes, 0) != DS_OK) return {};
    std::vector<int16_t> out = AsSamples(static_cast<uint8_t*>(first), firstBytes);
    buffer->Unlock(first, firstBytes, second, secondBytes);
    return out;
}

inline void WriteFile(const char* name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Renders the output in 30 ms steps, refilling after each as the sound
// thread would, until the sound stops or maxSeconds have passed. The left
// channel of what sounded.
inline std::vector<int16_t> PlayThrough(int32_t handle, double maxSeconds, bool* ended = nullptr) {
    constexpr int kStep = 1323;
    std::vector<int16_t> left;
    const int steps = static_cast<int>(maxSeconds * 44100 / kStep);
    if (ended) *ended = false;
    for (int i = 0; i < steps; ++i) {
        const std::vector<int16_t> part = soundtest::RenderLeft(kStep);
        left.insert(left.end(), part.begin(), part.end());
        ProcessStreamSounds();
        if (IsSoundPlaying(handle) == 0) {
            if (ended) *ended = true;
            break;
        }
    }
    return left;
}

// The samples of one channel of interleaved PCM.
inline std::vector<int16_t> Channel(const std::vector<int16_t>& pcm, int channels, int channel) {
    std::vector<int16_t> out;
    for (size_t i = static_cast<size_t>(channel); i < pcm.size(); i += static_cast<size_t>(channels))
        out.push_back(pcm[i]);
    return out;
}

inline bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace codecsound
