#include "platform/pxtone/pxtone.h"

#include "platform/kernel32/kernel32.h"
#include "platform/pxtone/synth.h"
#include "platform/pxtone/tune.h"
#include "platform/sdl/sdl_audio.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Library {
    // Serializes the calls; taken before any audio-output call, never by
    // the audio thread.
    std::mutex api;
    // Guards the synthesizer against the audio thread; never held while
    // calling into the audio output.
    std::mutex render;
    bool ready = false;
    bool outputAttached = false;
    bool mono = false;
    PXTONEPLAY_CALLBACK callback = nullptr;
    std::unique_ptr<pxt::Synth> synth;
    std::string lastError;
};

// Never destroyed: the game's own exit steps call in after static
// destruction has begun.
Library& Lib() {
    static Library* lib = new Library;
    return *lib;
}

BOOL Fail(Library& lib, const char* why) {
    lib.lastError = why;
    return FALSE;
}

BOOL Succeed(Library& lib) {
    lib.lastError.clear();
    return TRUE;
}

// Audio thread: renders the tune into the output's (silent) buffer.
void RenderMusic(void* user, int16_t* samples, int frames) {
    Library& lib = *static_cast<Library*>(user);
    std::lock_guard<std::mutex> lock(lib.render);
    if (!lib.synth) return;
    lib.synth->RenderS16(samples, frames);
    if (lib.mono) {
        for (int i = 0; i < frames; ++i) {
            const int16_t m = static_cast<int16_t>((samples[2 * i] + samples[2 * i + 1]) / 2);
            samples[2 * i] = samples[2 * i + 1] = m;
        }
    }
    if (lib.callback && lib.synth->IsPlaying() && !lib.callback(static_cast<int32_t>(lib.synth->Position())))
        lib.synth->Stop();
}

void DetachOutput(Library& lib) {
    if (!lib.outputAttached) return;
    sdl::RemoveAudioSource(RenderMusic, &lib);
    sdl::CloseAudioOutput();
    lib.outputAttached = false;
}

// At process exit, before the audio output's own state goes away, the
// library lets go of the output; the library stays ready, so the game's
// exit steps (stop, release, end) still succeed.
void DetachAtExit() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    DetachOutput(lib);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *error = "cannot open the tune file";
        return false;
    }
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (!ok) {
        *error = "cannot read the tune file";
    } else if (static_cast<unsigned long>(size) > pxt::kMaxTuneFileBytes) {
        *error = "tune file too large";
        ok = false;
    } else {
        data->resize(static_cast<size_t>(size));
        ok = std::fread(data->data(), 1, data->size(), f) == data->size();
        if (!ok) *error = "cannot read the tune file";
    }
    std::fclose(f);
    return ok;
}

}  // namespace

BOOL pxtone_Ready(HWND, int32_t channels, int32_t samplesPerSecond, int32_t bitsPerSample, float bufferSeconds,
                  BOOL, PXTONEPLAY_CALLBACK callback) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (lib.ready) return Fail(lib, "already ready");
    if (channels != 1 && channels != 2) return Fail(lib, "channels must be 1 or 2");
    if (samplesPerSecond != 11025 && samplesPerSecond != 22050 && samplesPerSecond != 44100 &&
        samplesPerSecond != 48000)
        return Fail(lib, "unsupported sample rate");
    if (bitsPerSample != 8 && bitsPerSample != 16) return Fail(lib, "bits per sample must be 8 or 16");
    if (!(bufferSeconds > 0.0f && bufferSeconds <= 10.0f)) return Fail(lib, "buffer length out of range");
    if (sdl::OpenAudioOutput() != 0) return Fail(lib, "no audio output");
    static bool exitHookRegistered = false;
    if (!exitHookRegistered) exitHookRegistered = std::atexit(DetachAtExit) == 0;
    {
        std::lock_guard<std::mutex> r(lib.render);
        lib.synth = std::make_unique<pxt::Synth>(sdl::kAudioRate);
        lib.mono = channels == 1;
        lib.callback = callback;
    }
    if (sdl::AddAudioSource(RenderMusic, &lib) != 0) {
        sdl::CloseAudioOutput();
        std::lock_guard<std::mutex> r(lib.render);
        lib.synth.reset();
        return Fail(lib, "cannot join the audio output");
    }
    lib.outputAttached = true;
    lib.ready = true;
    return Succeed(lib);
}

BOOL pxtone_Release() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready");
    DetachOutput(lib);
    {
        std::lock_guard<std::mutex> r(lib.render);
        lib.synth.reset();
        lib.callback = nullptr;
    }
    lib.ready = false;
    return Succeed(lib);
}

BOOL pxtone_Tune_Load(HMODULE module, const char* typeName, const char* path) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready");
    if (module || typeName) return Fail(lib, "loading from a resource is not supported");
    if (!path || !*path) return Fail(lib, "no path");
    std::vector<uint8_t> data;
    std::string error;
    if (!ReadWholeFile(platform::PathToNative(path), &data, &error)) return Fail(lib, error.c_str());
    auto tune = std::make_shared<pxt::Tune>();
    if (!pxt::ParseTune(data.data(), data.size(), tune.get(), &error)) {
        error = "malformed tune file: " + error;
        return Fail(lib, error.c_str());
    }
    std::lock_guard<std::mutex> r(lib.render);
    lib.synth->SetTune(std::move(tune));
    return Succeed(lib);
}

BOOL pxtone_Tune_Release() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready");
    std::lock_guard<std::mutex> r(lib.render);
    if (!lib.synth->HasTune()) return Fail(lib, "no tune loaded");
    lib.synth->SetTune(nullptr);
    return Succeed(lib);
}

BOOL pxtone_Tune_Start(int32_t startSample, int32_t fadeInMilliseconds) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready");
    if (startSample < 0 || fadeInMilliseconds < 0) return Fail(lib, "negative start or fade");
    std::lock_guard<std::mutex> r(lib.render);
    if (!lib.synth->Start(startSample, fadeInMilliseconds)) return Fail(lib, "no tune loaded");
    return Succeed(lib);
}

int32_t pxtone_Tune_Stop() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready"), -1;
    std::lock_guard<std::mutex> r(lib.render);
    if (!lib.synth->HasTune()) return Fail(lib, "no tune loaded"), -1;
    const int64_t position = lib.synth->Position();
    lib.synth->Stop();
    Succeed(lib);
    return static_cast<int32_t>(position);
}

BOOL pxtone_Tune_SetVolume(float volume) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return Fail(lib, "not ready");
    if (std::isnan(volume)) return Fail(lib, "volume is not a number");
    std::lock_guard<std::mutex> r(lib.render);
    lib.synth->SetVolume(volume);
    return Succeed(lib);
}

BOOL pxtone_Tune_IsStreaming() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    if (!lib.ready) return FALSE;
    std::lock_guard<std::mutex> r(lib.render);
    return lib.synth->IsPlaying() ? TRUE : FALSE;
}

const char* pxtone_GetLastError() {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.api);
    return lib.lastError.c_str();
}
