// Loading an MP3 sound through the DirectShow graph beside the ACM road: a
// one-second stereo 44100 Hz MP3 (128 kbit/s, made with LAME) turned into PCM.
//
// convert/<road>: a converter over the file in memory, opened, converted
// whole and closed, with the sound system not started (as a tool or a
// loader thread would use it); the other road's mask bit is set.
// load/<road>: CreateSoundFromImage with the sound system started on the
// program's audio output (the device SDL_AUDIODRIVER names), as the game
// loads an effect.
#include "../tests/msacm/codec_encoders.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/services.h"
#include "file/file.h"
#include "platform/dshow/dshow.h"
#include "platform/sdl/sdl_audio.h"
#include "sound/sound.h"
#include "sound/sound_converter.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int32_t kGraphOnly = kConvertMaskWavePcm | kConvertMaskWaveAcm | kConvertMaskOgg | kConvertMaskMp3Acm;
constexpr int32_t kAcmOnly = kConvertMaskWavePcm | kConvertMaskWaveAcm | kConvertMaskOgg | kConvertMaskMp3DirectShow;

const codectest::Bytes& Song() {
    static const codectest::Bytes song =
        codectest::EncodeMp3(codectest::Tone(44100, 2, 44100), 2, 44100, 128).bytes;
    return song;
}

// Opens, converts and closes one converter over the song; the PCM bytes.
int32_t ConvertOnce() {
    DataStream stream{};
    stream.functions = *GetMemoryStreamFunctions();
    stream.handle = OpenMemStream(Song().data(), Song().size());
    SoundConverter converter{};
    int32_t size = 0;
    if (OpenSoundConverter(&stream, &converter) == 0) {
        WAVEFORMATEX format{};
        uint8_t* pcm = nullptr;
        if (ConvertAll(&converter, &format, &pcm, &size) == 0) FreeMemory(pcm);
        CloseConverter(&converter);
    }
    CloseMemStream(stream.handle);
    return size;
}

void Convert(benchmark::State& state, int32_t mask) {
    dshow::RegisterClasses();
    SetSoundConvertMask(mask);
    const int asksBefore = sdl::AudioDeviceAskCount();
    for (auto _ : state) {
        const int32_t bytes = ConvertOnce();
        if (bytes <= 0) state.SkipWithError("the MP3 did not convert");
        benchmark::DoNotOptimize(bytes);
    }
    SetSoundConvertMask(0);
    // How often SDL was asked for an output device, per conversion.
    state.counters["device_asks"] = benchmark::Counter(sdl::AudioDeviceAskCount() - asksBefore,
                                                        benchmark::Counter::kAvgIterations);
}

void Load(benchmark::State& state, int32_t mask) {
    dshow::RegisterClasses();
    SetLogOutputOff(1);  // the start's device report
    if (InitializeSound() != 0) {
        state.SkipWithError("no sound system");
        return;
    }
    SetSoundConvertMask(mask);
    for (auto _ : state) {
        const int32_t handle = CreateSoundFromImage(Song().data(), static_cast<uint32_t>(Song().size()), 1, -1);
        if (handle == -1) state.SkipWithError("the MP3 did not load");
        DeleteSound(handle);
    }
    SetSoundConvertMask(0);
    TerminateSound();
}

BENCHMARK_CAPTURE(Convert, graph, kGraphOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Convert, acm, kAcmOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, graph, kGraphOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, acm, kAcmOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
