// Plays a WAVE effect over a looping stream sound through the library.
//
//     sound_example [seconds]
//
// The two sounds are synthesized into WAVE files in the temporary directory:
// a short rising "ping" loaded as a memory sound of three buffers (so that
// quick repeats overlap), and a two-second chord loaded as a stream sound and
// played looping. The effect sounds twice a second until the time is up.
// Without an audio output the library runs on without sound, and so does
// this program (SDL_AUDIODRIVER=dummy gives an output that plays nowhere).
#include "core/library.h"
#include "core/memory.h"
#include "platform/kernel32/kernel32.h"
#include "platform/winmm/winmm.h"
#include "sound/sound.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A WAVE file of 16-bit mono samples at 22050 Hz; false when it cannot be written.
bool WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = 22050;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = 44100;
    uint8_t* image = nullptr;
    uint32_t size = 0;
    if (BuildWaveImage(&image, &size, &format, sizeof format, samples.data(),
                       static_cast<uint32_t>(samples.size() * 2)) != 0)
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(image, 1, size, file) == size;
    if (file != nullptr) std::fclose(file);
    FreeMemory(image);
    return written;
}

std::vector<int16_t> Ping() {
    std::vector<int16_t> s(22050 / 5);
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / 22050;
        const double fade = 1.0 - static_cast<double>(i) / s.size();
        s[i] = static_cast<int16_t>(12000 * fade * std::sin(2 * M_PI * (880 + 880 * t) * t));
    }
    return s;
}

std::vector<int16_t> Chord() {
    std::vector<int16_t> s(22050 * 2);
    const double notes[] = {220.0, 277.18, 329.63};
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / 22050;
        double v = 0;
        for (double f : notes) v += std::sin(2 * M_PI * f * t);
        s[i] = static_cast<int16_t>(3000 * v);
    }
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const std::string dir = "/tmp/";
    const std::string effectPath = dir + "velumi_ping.wav", musicPath = dir + "velumi_chord.wav";
    if (!WriteWave(effectPath, Ping()) || !WriteWave(musicPath, Chord())) {
        std::fprintf(stderr, "cannot write the example's WAVE files in %s\n", dir.c_str());
        return 1;
    }
    ChangeWindowMode(1);
    SetWindowTitle("sound example");
    if (InitLibrary() != 0) {
        std::fprintf(stderr, "the library did not start (see Log.txt)\n");
        return 1;
    }
    const int32_t effect = LoadSound(effectPath.c_str(), 3, -1);
    SetSoundLoadType(2);
    const int32_t music = LoadSound(musicPath.c_str(), 1, -1);
    SetSoundLoadType(0);
    if (effect == -1 || music == -1) std::printf("no sound: the program runs on without it\n");
    SetSoundVolume(160, music);
    PlaySoundHandle(music, kPlayTypeLoop, 1);

    const DWORD start = timeGetTime();
    DWORD nextPing = start;
    while (PumpMessages() == 0 && timeGetTime() - start < static_cast<DWORD>(seconds) * 1000) {
        if (static_cast<int32_t>(timeGetTime() - nextPing) >= 0) {
            PlaySoundHandle(effect, kPlayTypeBackground, 1);
            nextPing += 500;
            std::printf("music at %d ms of %d\n", GetSoundCurrentTime(music), GetSoundTotalTime(music));
        }
        Sleep(10);
    }
    DeleteSound(effect, 0);
    DeleteSound(music, 0);
    EndLibrary();
    std::remove(effectPath.c_str());
    std::remove(musicPath.c_str());
    return 0;
}
