#include "platform/sdl/sdl_audio.h"

#include "platform/seams/seams.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace sdl {
namespace {

struct Source {
    AudioSourceCallback callback;
    void* user;
};

struct OutputState {
    std::mutex openLock;  // open count, device, back-end choice
    int openCount = 0;
    SDL_AudioDeviceID device = 0;
    bool manualChosen = false;
    bool manualOpen = false;
    bool noDevice = false;  // a device failed to open: later opens fail without asking again
    // The device asked for ahead (PrepareAudioOutput) on a thread of its own,
    // made by SDL so that SDL's per-thread records end with it.
    SDL_Thread* asker = nullptr;
    bool asking = false;                // the asker has not answered yet
    int asks = 0;                       // how many times SDL was asked for a device
    std::condition_variable answered;   // with openLock: asking went false

    std::mutex sourceLock;  // held while sources are called
    std::vector<Source> sources;
    std::vector<int32_t> sum;
    std::vector<int16_t> scratch;
};

// Made once and never destroyed: the device's callback thread may still run
// while static destructors do at process exit.
OutputState& State() {
    static OutputState& state = *new OutputState;
    return state;
}

int16_t Saturate(int32_t value) {
    return static_cast<int16_t>(std::clamp(value, -32768, 32767));
}

// Calls every source for frameCount frames and writes their saturated sum.
// Called with the source lock held.
void RenderSources(OutputState& state, int16_t* out, int frameCount) {
    const size_t values = static_cast<size_t>(frameCount) * kAudioChannels;
    std::memset(out, 0, values * sizeof(int16_t));
    if (state.sources.empty()) return;
    if (state.sources.size() == 1) {
        state.sources[0].callback(state.sources[0].user, out, frameCount);
        return;
    }
    if (state.sum.size() < values) state.sum.resize(values);
    if (state.scratch.size() < values) state.scratch.resize(values);
    int32_t* sum = state.sum.data();
    int16_t* scratch = state.scratch.data();
    std::fill(sum, sum + values, 0);
    for (const Source& source : state.sources) {
        std::memset(scratch, 0, values * sizeof(int16_t));
        source.callback(source.user, scratch, frameCount);
        for (size_t i = 0; i < values; ++i) sum[i] += scratch[i];
    }
    for (size_t i = 0; i < values; ++i) out[i] = Saturate(sum[i]);
}

void DeviceCallback(void*, Uint8* stream, int bytes) {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.sourceLock);
    RenderSources(state, reinterpret_cast<int16_t*>(stream),
                  bytes / static_cast<int>(kAudioChannels * sizeof(int16_t)));
}

// ALSA writes its own errors to stderr (eight lines for each open on a
// machine without a sound card); the library reports the missing device in
// its own log. SDL loads ALSA itself: its error handler is reached there.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error, const char* format,
                                  ...);
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void QuietAlsa() {
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
    if (alsa == nullptr) return;
    using SetHandler = int (*)(AlsaErrorHandler);
    if (auto set = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"))) set(IgnoreAlsaError);
    dlclose(alsa);
}

// The device SDL opens for the output, playing; 0 when none opens.
SDL_AudioDeviceID OpenSdlDevice() {
    QuietAlsa();
    SDL_AudioSpec want{};
    want.freq = kAudioRate;
    want.format = AUDIO_S16SYS;
    want.channels = kAudioChannels;
    want.samples = 1024;
    want.callback = DeviceCallback;
    SDL_AudioSpec have{};
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device != 0) SDL_PauseAudioDevice(device, 0);
    return device;
}

// SDL's audio is started and stopped on its own, not through SDL's subsystem
// counts: those are shared with the video thread's starts (audio, video and
// joysticks each count a user of SDL's events) and are not guarded against
// two threads, and the asker starts and stops audio while the program's
// thread starts the rest. Stopping waits for SDL's device watch (up to
// 100 ms), so a lock around the counts would make the program wait for it.
bool StartSdlAudio() { return SDL_AudioInit(nullptr) == 0; }
void StopSdlAudio() { SDL_AudioQuit(); }

// Waits until the asker is done with SDL (lock held: the asker takes the lock
// only before its last SDL call, so this does not wait on the lock's holder).
void JoinAsker(OutputState& state) {
    if (state.asker != nullptr) SDL_WaitThread(state.asker, nullptr);
    state.asker = nullptr;
}

// The asker thread: opens the device and answers; without one it then lets
// go of SDL's audio, which waits for SDL's device watch to end (up to 100 ms),
// after the answer, so that nobody waits for it.
int AskForDevice(void*) {
    OutputState& state = State();
    const bool started = StartSdlAudio();
    const SDL_AudioDeviceID device = started ? OpenSdlDevice() : 0;
    {
        std::lock_guard<std::mutex> lock(state.openLock);
        state.device = device;
        state.noDevice = device == 0;
        state.asking = false;
    }
    state.answered.notify_all();
    if (started && device == 0) StopSdlAudio();
    return 0;
}

// At exit the asker may still be asking, or letting go of SDL's audio.
void JoinAskerAtExit() {
    OutputState& state = State();
    std::unique_lock<std::mutex> lock(state.openLock);
    state.answered.wait(lock, [&] { return !state.asking; });
    JoinAsker(state);
}

// Opens the device once; a machine without one is asked only once. A device
// asked for ahead is waited for and taken (lock held through `lock`).
int OpenDevice(OutputState& state, std::unique_lock<std::mutex>& lock) {
    if (seams::ShouldFailCall("SDL_OpenAudioDevice")) return -1;
    state.answered.wait(lock, [&] { return !state.asking; });
    if (state.noDevice) return -1;
    JoinAsker(state);
    if (state.device != 0) return 0;  // opened ahead
    ++state.asks;
    if (!StartSdlAudio()) {
        state.noDevice = true;
        return -1;
    }
    state.device = OpenSdlDevice();
    if (state.device == 0) {
        state.noDevice = true;
        StopSdlAudio();
        return -1;
    }
    return 0;
}

}  // namespace

void PrepareAudioOutput() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.manualChosen || state.openCount > 0 || state.noDevice || state.device != 0 || state.asking) return;
    JoinAsker(state);
    static const bool joinAtExit = std::atexit(JoinAskerAtExit) == 0;
    (void)joinAtExit;
    state.asker = SDL_CreateThread(AskForDevice, "velumi-audio", nullptr);
    if (state.asker == nullptr) return;  // the first open asks, as without asking ahead
    state.asking = true;
    ++state.asks;
}

int OpenAudioOutput() {
    OutputState& state = State();
    std::unique_lock<std::mutex> lock(state.openLock);
    if (state.openCount > 0) {
        ++state.openCount;
        return 0;
    }
    if (state.manualChosen) {
        if (seams::ShouldFailCall("SDL_OpenAudioDevice")) return -1;
        state.manualOpen = true;
    } else if (OpenDevice(state, lock) != 0) {
        return -1;
    }
    state.openCount = 1;
    return 0;
}

void CloseAudioOutput() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.openCount == 0) return;
    if (--state.openCount > 0) return;
    if (state.manualOpen) {
        state.manualOpen = false;
        return;
    }
    SDL_CloseAudioDevice(state.device);
    state.device = 0;
    StopSdlAudio();
}

bool IsAudioOutputOpen() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    return state.openCount > 0;
}

const char* AudioOutputDriverName() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.openCount == 0) return "";
    if (state.manualOpen) return "manual";
    const char* name = SDL_GetCurrentAudioDriver();
    return name != nullptr ? name : "";
}

int AudioOutputDeviceCount() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.openCount == 0) return 0;
    if (state.manualOpen) return 1;
    int count = SDL_GetNumAudioDevices(0);
    return count > 0 ? count : 0;
}

const char* AudioOutputDeviceName(int index) {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.openCount == 0 || index < 0) return nullptr;
    if (state.manualOpen) return index == 0 ? "Manual test output" : nullptr;
    return SDL_GetAudioDeviceName(index, 0);
}

int AddAudioSource(AudioSourceCallback callback, void* user) {
    if (callback == nullptr) return -1;
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.sourceLock);
    for (const Source& source : state.sources)
        if (source.callback == callback && source.user == user) return -1;
    state.sources.push_back(Source{callback, user});
    return 0;
}

int RemoveAudioSource(AudioSourceCallback callback, void* user) {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.sourceLock);
    auto it = std::find_if(state.sources.begin(), state.sources.end(), [&](const Source& source) {
        return source.callback == callback && source.user == user;
    });
    if (it == state.sources.end()) return -1;
    state.sources.erase(it);
    return 0;
}

int AudioDeviceAskCount() {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    return state.asks;
}

int SetManualAudioOutput(bool on) {
    OutputState& state = State();
    std::lock_guard<std::mutex> lock(state.openLock);
    if (state.openCount > 0) return -1;
    state.manualChosen = on;
    state.noDevice = false;
    return 0;
}

int RenderAudioOutput(int16_t* samples, int frameCount) {
    if (samples == nullptr || frameCount <= 0) return -1;
    OutputState& state = State();
    bool manual;
    {
        std::lock_guard<std::mutex> lock(state.openLock);
        manual = state.manualOpen;
    }
    if (!manual) {
        std::memset(samples, 0, static_cast<size_t>(frameCount) * kAudioChannels * sizeof(int16_t));
        return -1;
    }
    std::lock_guard<std::mutex> lock(state.sourceLock);
    RenderSources(state, samples, frameCount);
    return 0;
}

}  // namespace sdl
