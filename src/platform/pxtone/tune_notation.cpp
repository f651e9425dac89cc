// The music notation inside a track: notes with octave, accidentals, length,
// dots and accents, rests, chords, ties, drum letters, bar-line checks, the
// octave, length, velocity, gate and transpose commands, repeats and macros,
// compiled into the track's note events (see FORMAT.md).
#include "platform/pxtone/tune_notation.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace pxt {
namespace tune_text {
namespace {

constexpr int kMaxDepth = 16;
constexpr size_t kMaxEvents = kMaxEventsPerTrack;

}  // namespace

void TrackCompiler::Compile(const Body& body, int depth) {
    if (depth > kMaxDepth) Throw(body.line, "macros or repeats nested too deeply");
    const std::string& s = body.text;
    size_t i = 0;
    int line = body.line;
    Parse(s, i, s.size(), line, depth);
}

void TrackCompiler::Parse(const std::string& s, size_t& i, size_t end, int& line, int depth) {
    while (i < end) {
        const char c = s[i];
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        ++i;
        if (drums_ && DrumNote(c)) {
            StartNotes({DrumNote(c)}, s, i, line);
            continue;
        }
        switch (c) {
        case 'a': case 'b': case 'c': case 'd': case 'e': case 'f': case 'g':
            if (drums_) Throw(line, std::string("'") + c + "' is not a drum");
            StartNotes({Pitch(c, s, i, line)}, s, i, line);
            break;
        case 'r': {
            const uint64_t len = Length(s, i, line);
            tick_ += len;
            lastEvents_.clear();
            break;
        }
        case '[': Chord(s, i, end, line); break;
        case '&': Tie(s, i, line); break;
        case 'o':
            octave_ = static_cast<int>(Integer(s, i, line, 0, 9, "octave"));
            break;
        case '<': --octave_; break;
        case '>': ++octave_; break;
        case 'l': defaultLength_ = Length(s, i, line, /*allowDefault=*/false); break;
        case 'v': velocity_ = static_cast<int>(Integer(s, i, line, 1, 127, "velocity")); break;
        case 'q': gate_ = static_cast<int>(Integer(s, i, line, 1, 8, "gate")); break;
        case 'K': {
            int sign = 1;
            if (i < s.size() && (s[i] == '+' || s[i] == '-')) sign = s[i++] == '-' ? -1 : 1;
            transpose_ = sign * static_cast<int>(Integer(s, i, line, 0, 24, "transpose"));
            break;
        }
        case '|':
            if (tick_ % barTicks_ != 0) {
                std::ostringstream o;
                o << "bar line " << (tick_ % barTicks_) << " ticks into bar " << (tick_ / barTicks_ + 1);
                Throw(line, o.str());
            }
            break;
        case '(': Repeat(s, i, end, line, depth); break;
        case '$': Macro(s, i, line, depth); break;
        default: Throw(line, std::string("unexpected '") + c + "'");
        }
    }
}

uint8_t TrackCompiler::DrumNote(char c) const {
    switch (c) {
    case 'k': return kNoteKick;
    case 's': return kNoteSnare;
    case 'h': return kNoteClosedHat;
    case 'o': return kNoteOpenHat;
    case 't': return kNoteLowTom;
    case 'u': return kNoteHighTom;
    case 'x': return kNoteClap;
    case 'm': return kNoteShaker;
    default: return 0;
    }
}

uint8_t TrackCompiler::Pitch(char letter, const std::string& s, size_t& i, int line) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
    int n = 12 * (octave_ + 1) + kSemitone[letter - 'a'] + transpose_;
    while (i < s.size() && (s[i] == '#' || s[i] == '+' || s[i] == '-')) n += s[i++] == '-' ? -1 : 1;
    if (n < 12 || n > 120) Throw(line, "note out of range (octaves 0 to 8)");
    return static_cast<uint8_t>(n);
}

uint64_t TrackCompiler::Integer(const std::string& s, size_t& i, int line, long lo, long hi, const char* what) {
    size_t start = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (start == i) Throw(line, std::string("number expected after ") + what);
    const long v = std::strtol(s.substr(start, std::min<size_t>(i - start, 9)).c_str(), nullptr, 10);
    InRange(v, lo, hi, line, what);
    return static_cast<uint64_t>(v);
}

// A length: a divisor of the whole note, then dots; the default length
// when there is neither.
uint64_t TrackCompiler::Length(const std::string& s, size_t& i, int line, bool allowDefault) {
    uint64_t len;
    if (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        const uint64_t d = Integer(s, i, line, 1, 192, "length");
        if (whole_ % d != 0) Throw(line, "length 1/" + std::to_string(d) + " is not a whole number of ticks");
        len = whole_ / d;
    } else {
        if (!allowDefault) Throw(line, "length expected");
        len = defaultLength_;
    }
    uint64_t add = len;
    while (i < s.size() && s[i] == '.') {
        ++i;
        if (add % 2) Throw(line, "dotted length is not a whole number of ticks");
        add /= 2;
        len += add;
    }
    return len;
}

uint8_t TrackCompiler::Velocity(const std::string& s, size_t& i) {
    int v = velocity_;
    if (i < s.size() && s[i] == '!') ++i, v = v * 5 / 4;
    else if (i < s.size() && s[i] == '?') ++i, v = v * 3 / 5;
    return static_cast<uint8_t>(std::clamp(v, 1, 127));
}

uint16_t TrackCompiler::Held(uint64_t len, int line) const {
    const uint64_t held = std::max<uint64_t>(1, len * gate_ / 8);
    if (held > 65535) Throw(line, "note held too long");
    return static_cast<uint16_t>(held);
}

void TrackCompiler::StartNotes(const std::vector<uint8_t>& notes, const std::string& s, size_t& i, int line) {
    const uint64_t len = Length(s, i, line);
    const uint8_t vel = Velocity(s, i);
    Emit(notes, len, vel, line);
}

void TrackCompiler::Emit(const std::vector<uint8_t>& notes, uint64_t len, uint8_t vel, int line) {
    lastEvents_.clear();
    if (tick_ > UINT32_MAX) Throw(line, "track too long");
    for (uint8_t n : notes) {
        if (events_.size() >= kMaxEvents) Throw(line, "too many notes in a track");
        lastEvents_.push_back(events_.size());
        events_.push_back(NoteEvent{static_cast<uint32_t>(tick_), Held(len, line), n, vel});
    }
    lastLength_ = len;
    tick_ += len;
}

void TrackCompiler::Chord(const std::string& s, size_t& i, size_t end, int line) {
    std::vector<uint8_t> notes;
    const int savedOctave = octave_;
    while (true) {
        if (i >= end) Throw(line, "chord without ']'");
        const char c = s[i++];
        if (c == ']') break;
        if (c == '\n') Throw(line, "chord across lines");
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (drums_ && DrumNote(c))
            notes.push_back(DrumNote(c));
        else if (!drums_ && c >= 'a' && c <= 'g')
            notes.push_back(Pitch(c, s, i, line));
        else if (!drums_ && c == '<')
            --octave_;
        else if (!drums_ && c == '>')
            ++octave_;
        else
            Throw(line, std::string("unexpected '") + c + "' in a chord");
    }
    octave_ = savedOctave;
    if (notes.empty()) Throw(line, "empty chord");
    StartNotes(notes, s, i, line);
}

void TrackCompiler::Tie(const std::string& s, size_t& i, int line) {
    if (lastEvents_.empty()) Throw(line, "'&' after no note");
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    // An optional repeated pitch ("c4&c8") is only a reminder.
    if (i < s.size() && s[i] >= 'a' && s[i] <= 'g') {
        ++i;
        while (i < s.size() && (s[i] == '#' || s[i] == '+' || s[i] == '-')) ++i;
    }
    const uint64_t len = Length(s, i, line);
    lastLength_ += len;
    for (size_t e : lastEvents_) events_[e].length = Held(lastLength_, line);
    tick_ += len;
}

void TrackCompiler::Repeat(const std::string& s, size_t& i, size_t end, int& line, int depth) {
    const size_t open = i;
    int nest = 1, lines = 0;
    while (i < end && nest > 0) {
        if (s[i] == '(') ++nest;
        if (s[i] == ')') --nest;
        if (s[i] == '\n') ++lines;
        ++i;
    }
    if (nest != 0) Throw(line, "'(' without ')'");
    const size_t close = i - 1;
    const uint64_t times = i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))
                               ? Integer(s, i, line, 1, 999, "repeat count")
                               : 2;
    if (depth + 1 > kMaxDepth) Throw(line, "repeats nested too deeply");
    for (uint64_t n = 0; n < times; ++n) {
        size_t j = open;
        int l = line;
        Parse(s, j, close, l, depth + 1);
    }
    line += lines;
}

void TrackCompiler::Macro(const std::string& s, size_t& i, int line, int depth) {
    const size_t start = i;
    while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
    const std::string name = s.substr(start, i - start);
    auto it = macros_.find(name);
    if (it == macros_.end()) Throw(line, "no macro '" + name + "'");
    if (depth + 1 > kMaxDepth) Throw(line, "macros nested too deeply");
    Compile(it->second, depth + 1);
}

}  // namespace tune_text
}  // namespace pxt
