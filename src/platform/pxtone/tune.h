// The tune data of the music stand-in and its binary file form (".ptcop",
// described in FORMAT.md): tempo, loop points, instruments, tracks of notes,
// echo and reverb settings. ParseTune checks every size and value; a file it
// accepts can be played without further checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pxt {

enum class Wave : uint8_t {
    Pulse = 0,     // param1: duty in 1/256 (8..128)
    Triangle = 1,
    Saw = 2,       // param1: filter resonance, param2: filter envelope amount
    Sine = 3,
    FmBell = 4,    // param1: modulator ratio in quarters (1..64), param2: index x16
    Pluck = 5,     // param1: brightness of the pluck, param2: string damping
    Drums = 6,     // the note picks the drum (see DrumKind)
};
constexpr int kWaveCount = 7;

// Drum sounds of a Drums instrument, by note number.
enum class DrumKind : uint8_t { None, Kick, Snare, ClosedHat, OpenHat, LowTom, HighTom, Clap, Shaker };
constexpr uint8_t kNoteKick = 36, kNoteClap = 39, kNoteSnare = 38, kNoteClosedHat = 42, kNoteLowTom = 45,
                  kNoteOpenHat = 46, kNoteHighTom = 48, kNoteShaker = 70;
DrumKind DrumForNote(uint8_t note);

struct Instrument {
    Wave wave = Wave::Sine;
    uint8_t param1 = 0;
    uint8_t param2 = 0;
    uint8_t level = 200;         // 0..255
    uint16_t attackMs = 5;       // 0..10000
    uint16_t decayMs = 200;      // 0..20000
    uint8_t sustain = 180;       // 0..255
    uint16_t releaseMs = 100;    // 0..20000
    uint16_t cutoffHz = 0;       // 0: no low-pass; else 20..20000
    uint8_t vibratoCents = 0;    // 0..100
    uint8_t vibratoRate = 0;     // tenths of a hertz, 0..200
    uint16_t vibratoDelayMs = 0; // 0..10000
    int8_t detuneCents = 0;      // -100..100
    uint8_t unisonCents = 0;     // 0: one oscillator; else two, this far apart (0..50)
};

struct NoteEvent {
    uint32_t tick = 0;     // start, in ticks from the start of the tune
    uint16_t length = 1;   // ticks held before the release, 1..65535
    uint8_t note = 60;     // MIDI numbering, 69 = A 440 Hz
    uint8_t velocity = 100;  // 1..127
};

struct Track {
    uint8_t instrument = 0;
    uint8_t volume = 200;    // 0..255
    int8_t pan = 0;          // -127 left .. 127 right
    uint8_t echoSend = 0;    // 0..255
    uint8_t reverbSend = 0;  // 0..255
    std::vector<NoteEvent> events;  // sorted by tick, every tick below loopEnd
};

struct Tune {
    uint16_t bpm = 120;            // 20..400 beats a minute
    uint16_t ticksPerBeat = 48;    // 1..960
    uint32_t loopStart = 0;        // ticks; the tune repeats [loopStart, loopEnd)
    uint32_t loopEnd = 0;
    uint16_t gain = 256;           // master gain in 1/256, 1..4096
    uint16_t echoDelayMs = 0;      // 0 (no echo) or 10..2000
    uint8_t echoFeedback = 0;      // 0..230, in 1/256
    uint8_t echoLevel = 0;         // return level 0..255
    uint8_t reverbSize = 128;      // 0..255
    uint8_t reverbDamping = 128;   // 0..255
    uint8_t reverbLevel = 0;       // return level 0..255
    std::vector<Instrument> instruments;
    std::vector<Track> tracks;
};

// Limits of the file form.
constexpr size_t kMaxInstruments = 32;
constexpr size_t kMaxTracks = 16;
constexpr size_t kMaxEventsPerTrack = 100000;
constexpr size_t kMaxTuneFileBytes = 4u << 20;
constexpr uint32_t kMaxTuneSeconds = 3600;
constexpr size_t kHeaderBytes = 32;
constexpr size_t kInstrumentBytes = 24;
constexpr size_t kTrackHeaderBytes = 12;
constexpr size_t kEventBytes = 8;

// The first frame of a tick at the given sample rate: the exact integer
// mapping that both playback and loop arithmetic use.
int64_t FrameOfTick(const Tune& tune, uint64_t tick, int sampleRate);

// Checks every field and the order of the events; on failure sets *error
// (when given) and returns false.
bool ValidateTune(const Tune& tune, std::string* error);

// Parses a whole file image; false with *error on any malformed byte.
bool ParseTune(const uint8_t* data, size_t size, Tune* tune, std::string* error);

// The file image of a valid tune.
std::vector<uint8_t> SerializeTune(const Tune& tune);

}  // namespace pxt
