// Shared by the two halves of the tune text compiler: tune_text.cpp reads the
// statements around the tracks (settings, instruments, macros, track headers),
// tune_notation.cpp compiles the music notation inside a track into note
// events. A mistake anywhere throws CompileError with its source line, which
// CompileTuneText turns into the "line L: what" message. Private to the folder.
#pragma once

#include "platform/pxtone/tune.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pxt {
namespace tune_text {

struct CompileError {
    int line;
    std::string text;
};

[[noreturn]] void Throw(int line, const std::string& text);

// A piece of notation with the line it starts on in the source.
struct Body {
    std::string text;
    int line = 1;
};

// A value checked against lo..hi; out of range throws "what V out of lo..hi".
double InRange(double v, double lo, double hi, int line, const char* what);

// Compiles one track's notation (tune_notation.cpp) into note events; the
// macros are the tune's "define" blocks.
class TrackCompiler {
public:
    TrackCompiler(const std::map<std::string, Body>& macros, int ticksPerBeat, int barTicks, bool drums)
        : macros_(macros), whole_(4 * ticksPerBeat), barTicks_(barTicks), drums_(drums), defaultLength_(ticksPerBeat) {}
    void Compile(const Body& body, int depth);

    std::vector<NoteEvent>& events() { return events_; }
    uint64_t tick() const { return tick_; }

private:
    void Parse(const std::string& s, size_t& i, size_t end, int& line, int depth);
    uint8_t DrumNote(char c) const;
    uint8_t Pitch(char letter, const std::string& s, size_t& i, int line);
    uint64_t Integer(const std::string& s, size_t& i, int line, long lo, long hi, const char* what);
    // A length: a divisor of the whole note, then dots; the default length
    // when there is neither.
    uint64_t Length(const std::string& s, size_t& i, int line, bool allowDefault = true);
    uint8_t Velocity(const std::string& s, size_t& i);
    uint16_t Held(uint64_t len, int line) const;
    void StartNotes(const std::vector<uint8_t>& notes, const std::string& s, size_t& i, int line);
    void Emit(const std::vector<uint8_t>& notes, uint64_t len, uint8_t vel, int line);
    void Chord(const std::string& s, size_t& i, size_t end, int line);
    void Tie(const std::string& s, size_t& i, int line);
    void Repeat(const std::string& s, size_t& i, size_t end, int& line, int depth);
    void Macro(const std::string& s, size_t& i, int line, int depth);

    const std::map<std::string, Body>& macros_;
    const uint64_t whole_;
    const uint64_t barTicks_;
    const bool drums_;
    uint64_t tick_ = 0;
    uint64_t defaultLength_;
    uint64_t lastLength_ = 0;
    int octave_ = 4;
    int velocity_ = 100;
    int gate_ = 7;
    int transpose_ = 0;
    std::vector<size_t> lastEvents_;
    std::vector<NoteEvent> events_;
};

}  // namespace tune_text
}  // namespace pxt
