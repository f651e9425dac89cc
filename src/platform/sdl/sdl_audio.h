// The one audio output of the program: an SDL2 audio device opened once at
// 44100 Hz, stereo, signed 16-bit, whose callback pulls from every registered
// source (the DirectSound stand-in's mixer, the music stand-in's synthesizer)
// and sums them with saturation.
//
// Users open the output (reference counted), register a source, and undo both
// in reverse order:
//
//     if (sdl::OpenAudioOutput() == 0) {
//         sdl::AddAudioSource(MyGenerator, this);
//         ...
//         sdl::RemoveAudioSource(MyGenerator, this);
//         sdl::CloseAudioOutput();
//     }
//
// A test back end runs the output by hand without a device: after
// SetManualAudioOutput(true), OpenAudioOutput succeeds without SDL and nothing
// is played until RenderAudioOutput is called.
#pragma once

#include <cstdint>

namespace sdl {

constexpr int kAudioRate = 44100;
constexpr int kAudioChannels = 2;

// A generator writes frameCount stereo frames (2 x frameCount interleaved
// left/right samples) into samples, which arrives filled with silence (so a
// source may also add into it). Called on the audio thread, never for two
// sources at once; it must not call the functions of this header.
using AudioSourceCallback = void (*)(void* user, int16_t* samples, int frameCount);

// Asks for the device ahead, on a thread of its own, so that the start of a
// program goes on meanwhile: the first OpenAudioOutput then waits only for
// what is left of the answer and takes the device opened. Without a device
// the answer comes as soon as SDL has refused, and SDL's audio is let go on
// that thread afterwards (SDL's device watch takes up to 100 ms to end).
// Does nothing while the output is open, a device was already answered for,
// or the manual back end is chosen. The thread is joined at exit at the latest.
void PrepareAudioOutput();
// Opens the output on first use (later calls only count): 0, or -1 when there
// is no audio output (no device, or the driver failed to open). A failed
// device is not asked again until SetManualAudioOutput chooses a back end.
// Test seam: "SDL_OpenAudioDevice".
int OpenAudioOutput();
// Undoes one OpenAudioOutput; the device closes with the last one.
void CloseAudioOutput();
// True while the output is open.
bool IsAudioOutputOpen();
// The SDL driver name in use ("manual" for the test back end), or "" when closed.
const char* AudioOutputDriverName();
// The output device names SDL knows (for device reports); count first.
int AudioOutputDeviceCount();
const char* AudioOutputDeviceName(int index);

// Registers a source; 0, or -1 when the pair is already registered or the
// callback is null. Sources registered before the output opens are kept.
int AddAudioSource(AudioSourceCallback callback, void* user);
// Unregisters the pair; when it returns the callback is not running and will
// not be called again. 0, or -1 when the pair was not registered.
int RemoveAudioSource(AudioSourceCallback callback, void* user);

// ---- test back end ----
// Chooses the manual back end (true) or SDL's device (false) for the next
// open, which asks the device again (only while the output is closed; -1
// otherwise).
int SetManualAudioOutput(bool on);
// Manual back end: renders frameCount frames of the summed sources into
// samples (2 x frameCount values). Outside the manual back end it only
// writes silence and returns -1.
int RenderAudioOutput(int16_t* samples, int frameCount);
// How many times SDL has been asked for a device (ahead or by an open).
int AudioDeviceAskCount();

}  // namespace sdl
