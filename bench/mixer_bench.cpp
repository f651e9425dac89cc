// The DirectSound stand-in's mixer beside SDL2's SDL_MixAudioFormat on the
// same work: N playing 16-bit stereo 44100 Hz sources at -6 dB mixed into
// 1024 frames of signed 16-bit stereo output.
//
// The SDL side clears the output and mixes each source into it with
// SDL_MixAudioFormat (volume 64 of 128, saturating every add); the mixer
// renders its looping buffers through the audio output's manual back end.
// A third case shows the mixer's converting path: 8-bit mono 22050 Hz
// buffers resampled to the output rate.
#include "../tests/dsound/pcm_format.h"
#include "platform/dsound/dsound.h"
#include "platform/sdl/sdl_audio.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kFrames = 1024;
constexpr int kSourceFrames = 44100;

std::vector<int16_t> SourceSamples(int seed) {
    std::vector<int16_t> v(static_cast<size_t>(kSourceFrames) * 2);
    uint32_t x = 0x9E3779B9u * static_cast<uint32_t>(seed + 1);
    for (int16_t& s : v) {
        x = x * 1664525u + 1013904223u;
        s = static_cast<int16_t>(x >> 16);
    }
    return v;
}

// A DirectSound device on the manual output with playing looping buffers.
class MixerSetup {
public:
    MixerSetup(int count, WORD channels, DWORD rate, WORD bits) {
        sdl::SetManualAudioOutput(true);
        void* object = nullptr;
        CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &object);
        ds_ = static_cast<IDirectSound*>(object);
        ds_->Initialize(nullptr);
        WAVEFORMATEX f = dstest::Pcm(channels, rate, bits);
        for (int i = 0; i < count; ++i) {
            DSBUFFERDESC d{};
            d.dwSize = sizeof d;
            d.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
            d.dwBufferBytes = f.nAvgBytesPerSec;
            d.lpwfxFormat = &f;
            IDirectSoundBuffer* b = nullptr;
            if (FAILED(ds_->CreateSoundBuffer(&d, &b, nullptr))) continue;
            const std::vector<int16_t> samples = SourceSamples(i);
            void *p1, *p2;
            DWORD n1, n2;
            b->Lock(0, d.dwBufferBytes, &p1, &n1, &p2, &n2, 0);
            std::memcpy(p1, samples.data(), n1 < samples.size() * 2 ? n1 : samples.size() * 2);
            b->Unlock(p1, n1, p2, n2);
            b->SetVolume(-600);
            b->SetCurrentPosition((static_cast<DWORD>(i) * 997 % rate) * f.nBlockAlign);
            b->Play(0, 0, DSBPLAY_LOOPING);
            buffers_.push_back(b);
        }
    }
    ~MixerSetup() {
        for (IDirectSoundBuffer* b : buffers_) b->Release();
        ds_->Release();
        sdl::SetManualAudioOutput(false);
    }

private:
    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> buffers_;
};

void RunMixer(benchmark::State& state, WORD channels, DWORD rate, WORD bits) {
    const int count = static_cast<int>(state.range(0));
    MixerSetup setup(count, channels, rate, bits);
    std::vector<int16_t> out(kFrames * 2);
    for (auto _ : state) {
        sdl::RenderAudioOutput(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames * count);
}

void BM_Mixer_S16Stereo44k(benchmark::State& state) { RunMixer(state, 2, 44100, 16); }
void BM_Mixer_U8Mono22k(benchmark::State& state) { RunMixer(state, 1, 22050, 8); }

void BM_SDL_MixAudioFormat_S16Stereo44k(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<std::vector<int16_t>> sources;
    std::vector<size_t> positions;
    for (int i = 0; i < count; ++i) {
        sources.push_back(SourceSamples(i));
        positions.push_back(static_cast<size_t>(i) * 997 % kSourceFrames);
    }
    std::vector<int16_t> out(kFrames * 2);
    const Uint32 bytes = kFrames * 2 * sizeof(int16_t);
    for (auto _ : state) {
        std::memset(out.data(), 0, bytes);
        for (int i = 0; i < count; ++i) {
            // Wrap like a looping buffer: restart when a whole block would not fit.
            if (positions[i] + kFrames > static_cast<size_t>(kSourceFrames)) positions[i] = 0;
            SDL_MixAudioFormat(reinterpret_cast<Uint8*>(out.data()),
                               reinterpret_cast<const Uint8*>(sources[i].data() + positions[i] * 2), AUDIO_S16SYS,
                               bytes, SDL_MIX_MAXVOLUME / 2);
            positions[i] += kFrames;
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames * count);
}

BENCHMARK(BM_Mixer_S16Stereo44k)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_SDL_MixAudioFormat_S16Stereo44k)->Arg(1)->Arg(8)->Arg(32);
BENCHMARK(BM_Mixer_U8Mono22k)->Arg(1)->Arg(8)->Arg(32);

}  // namespace

BENCHMARK_MAIN();
