#include "platform/pxtone/tune_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace pxt {
namespace {

constexpr int kMaxDepth = 16;
constexpr size_t kMaxEvents = kMaxEventsPerTrack;

struct CompileError {
    int line;
    std::string text;
};

[[noreturn]] void Throw(int line, const std::string& text) { throw CompileError{line, text}; }

// A piece of notation with the line it starts on in the source.
struct Body {
    std::string text;
    int line = 1;
};

struct TrackDef {
    std::string name;
    std::string instrument;
    std::map<std::string, std::string> options;
    Body body;
    int line = 1;
};

struct Settings {
    int bpm = 120;
    int ticksPerBeat = 48;
    int barNum = 4, barDen = 4;
    int loopBar = 1;
    double gain = 1.0;
    std::string echoDelay;  // "" = no echo; "<ms>" or "l<length>"
    int echoLine = 1;
    double echoFeedback = 0, echoLevel = 0;
    double reverbSize = 0.5, reverbDamping = 0.5, reverbLevel = 0;
};

double ParseNumber(const std::string& s, int line, const char* what) {
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || *end != '\0' || !std::isfinite(v)) Throw(line, std::string("bad number for ") + what + ": " + s);
    return v;
}

double InRange(double v, double lo, double hi, int line, const char* what) {
    if (v < lo || v > hi) {
        std::ostringstream o;
        o << what << " " << v << " out of " << lo << ".." << hi;
        Throw(line, o.str());
    }
    return v;
}

// ---- the notation inside a track ------------------------------------------

class TrackCompiler {
public:
    TrackCompiler(const std::map<std::string, Body>& macros, int ticksPerBeat, int barTicks, bool drums)
        : macros_(macros), whole_(4 * ticksPerBeat), barTicks_(barTicks), drums_(drums), defaultLength_(ticksPerBeat) {}

    void Compile(const Body& body, int depth) {
        if (depth > kMaxDepth) Throw(body.line, "macros or repeats nested too deeply");
        const std::string& s = body.text;
        size_t i = 0;
        int line = body.line;
        Parse(s, i, s.size(), line, depth);
    }

    std::vector<NoteEvent>& events() { return events_; }
    uint64_t tick() const { return tick_; }

private:
    void Parse(const std::string& s, size_t& i, size_t end, int& line, int depth) {
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

    uint8_t DrumNote(char c) const {
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

    uint8_t Pitch(char letter, const std::string& s, size_t& i, int line) {
        static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // a b c d e f g
        int n = 12 * (octave_ + 1) + kSemitone[letter - 'a'] + transpose_;
        while (i < s.size() && (s[i] == '#' || s[i] == '+' || s[i] == '-')) n += s[i++] == '-' ? -1 : 1;
        if (n < 12 || n > 120) Throw(line, "note out of range (octaves 0 to 8)");
        return static_cast<uint8_t>(n);
    }

    uint64_t Integer(const std::string& s, size_t& i, int line, long lo, long hi, const char* what) {
        size_t start = i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        if (start == i) Throw(line, std::string("number expected after ") + what);
        const long v = std::strtol(s.substr(start, std::min<size_t>(i - start, 9)).c_str(), nullptr, 10);
        InRange(v, lo, hi, line, what);
        return static_cast<uint64_t>(v);
    }

    // A length: a divisor of the whole note, then dots; the default length
    // when there is neither.
    uint64_t Length(const std::string& s, size_t& i, int line, bool allowDefault = true) {
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

    uint8_t Velocity(const std::string& s, size_t& i) {
        int v = velocity_;
        if (i < s.size() && s[i] == '!') ++i, v = v * 5 / 4;
        else if (i < s.size() && s[i] == '?') ++i, v = v * 3 / 5;
        return static_cast<uint8_t>(std::clamp(v, 1, 127));
    }

    uint16_t Held(uint64_t len, int line) const {
        const uint64_t held = std::max<uint64_t>(1, len * gate_ / 8);
        if (held > 65535) Throw(line, "note held too long");
        return static_cast<uint16_t>(held);
    }

    void StartNotes(const std::vector<uint8_t>& notes, const std::string& s, size_t& i, int line) {
        const uint64_t len = Length(s, i, line);
        const uint8_t vel = Velocity(s, i);
        Emit(notes, len, vel, line);
    }

    void Emit(const std::vector<uint8_t>& notes, uint64_t len, uint8_t vel, int line) {
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

    void Chord(const std::string& s, size_t& i, size_t end, int line) {
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

    void Tie(const std::string& s, size_t& i, int line) {
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

    void Repeat(const std::string& s, size_t& i, size_t end, int& line, int depth) {
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

    void Macro(const std::string& s, size_t& i, int line, int depth) {
        const size_t start = i;
        while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) ++i;
        const std::string name = s.substr(start, i - start);
        auto it = macros_.find(name);
        if (it == macros_.end()) Throw(line, "no macro '" + name + "'");
        if (depth + 1 > kMaxDepth) Throw(line, "macros nested too deeply");
        Compile(it->second, depth + 1);
    }

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

// ---- the statements around the tracks -------------------------------------

class Source {
public:
    explicit Source(const std::string& text) : s_(text) {}

    bool AtEnd() {
        SkipSpaceAndComments(true);
        return i_ >= s_.size();
    }
    int line() const { return line_; }

    // The next word on this line ("" at the end of the line).
    std::string Word() {
        SkipSpaceAndComments(false);
        const size_t start = i_;
        while (i_ < s_.size() && !std::isspace(static_cast<unsigned char>(s_[i_])) && s_[i_] != '{' && s_[i_] != '#')
            ++i_;
        return s_.substr(start, i_ - start);
    }

    bool NextIsBrace() {
        SkipSpaceAndComments(true);
        return i_ < s_.size() && s_[i_] == '{';
    }

    // The text between '{' and its '}' with comments removed.
    Body Block() {
        if (!NextIsBrace()) Throw(line_, "'{' expected");
        ++i_;
        Body b;
        b.line = line_;
        while (true) {
            if (i_ >= s_.size()) Throw(b.line, "'{' without '}'");
            const char c = s_[i_++];
            if (c == '}') break;
            if (c == '{') Throw(line_, "'{' inside a block");
            // A comment starts at a '#' after a space; "c#" is a sharp.
            if (c == '#' && (b.text.empty() || std::isspace(static_cast<unsigned char>(b.text.back())))) {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
                continue;
            }
            if (c == '\n') ++line_;
            b.text += c;
        }
        return b;
    }

    void EndOfLine() {
        SkipSpaceAndComments(false);
        if (i_ < s_.size() && s_[i_] != '\n') Throw(line_, "unexpected text at the end of the line");
    }

private:
    void SkipSpaceAndComments(bool newlines) {
        while (i_ < s_.size()) {
            const char c = s_[i_];
            if (c == '#') {
                while (i_ < s_.size() && s_[i_] != '\n') ++i_;
            } else if (c == '\n' && newlines) {
                ++line_;
                ++i_;
            } else if (c != '\n' && std::isspace(static_cast<unsigned char>(c))) {
                ++i_;
            } else {
                break;
            }
        }
    }

    const std::string& s_;
    size_t i_ = 0;
    int line_ = 1;
};

std::map<std::string, std::string> Options(Source& src, std::vector<std::string>* positional) {
    std::map<std::string, std::string> out;
    for (std::string w = src.Word(); !w.empty(); w = src.Word()) {
        const size_t eq = w.find('=');
        if (eq == std::string::npos) {
            if (!positional) Throw(src.line(), "key=value expected: " + w);
            positional->push_back(w);
        } else {
            if (!out.emplace(w.substr(0, eq), w.substr(eq + 1)).second)
                Throw(src.line(), "'" + w.substr(0, eq) + "' given twice");
        }
    }
    return out;
}

Wave WaveByName(const std::string& name, int line) {
    static const std::map<std::string, Wave> kWaves = {
        {"pulse", Wave::Pulse}, {"triangle", Wave::Triangle}, {"saw", Wave::Saw}, {"sine", Wave::Sine},
        {"fm", Wave::FmBell},   {"pluck", Wave::Pluck},       {"drums", Wave::Drums}};
    auto it = kWaves.find(name);
    if (it == kWaves.end()) Throw(line, "unknown wave '" + name + "'");
    return it->second;
}

uint8_t Unit255(double v) { return static_cast<uint8_t>(std::lround(v * 255.0)); }

Instrument MakeInstrument(Wave wave, const std::map<std::string, std::string>& opts, int line) {
    Instrument in;
    in.wave = wave;
    if (wave == Wave::Pulse) in.param1 = 128;
    if (wave == Wave::FmBell) in.param1 = 4, in.param2 = 32;
    if (wave == Wave::Pluck) in.param1 = 180, in.param2 = 60;
    if (wave == Wave::Drums) in.attackMs = 0, in.decayMs = 0, in.sustain = 255, in.releaseMs = 0;
    in.level = 200;
    for (const auto& [key, value] : opts) {
        auto num = [&](double lo, double hi) { return InRange(ParseNumber(value, line, key.c_str()), lo, hi, line, key.c_str()); };
        auto only = [&](std::initializer_list<Wave> waves) {
            for (Wave w : waves)
                if (w == wave) return;
            Throw(line, "'" + key + "' does not apply to this wave");
        };
        if (key == "level") in.level = Unit255(num(0, 1));
        else if (key == "a") in.attackMs = static_cast<uint16_t>(num(0, 10000));
        else if (key == "d") in.decayMs = static_cast<uint16_t>(num(0, 20000));
        else if (key == "s") in.sustain = Unit255(num(0, 1));
        else if (key == "r") in.releaseMs = static_cast<uint16_t>(num(0, 20000));
        else if (key == "cutoff") in.cutoffHz = static_cast<uint16_t>(num(20, 20000));
        else if (key == "detune") in.detuneCents = static_cast<int8_t>(std::lround(num(-100, 100)));
        else if (key == "unison") only({Wave::Pulse, Wave::Saw, Wave::Triangle, Wave::Sine}), in.unisonCents = static_cast<uint8_t>(num(0, 50));
        else if (key == "duty") only({Wave::Pulse}), in.param1 = static_cast<uint8_t>(std::lround(num(8 / 256.0, 0.5) * 256));
        else if (key == "res") only({Wave::Saw}), in.param1 = Unit255(num(0, 1));
        else if (key == "fenv") only({Wave::Saw}), in.param2 = Unit255(num(0, 1));
        else if (key == "ratio") only({Wave::FmBell}), in.param1 = static_cast<uint8_t>(std::lround(num(0.25, 16) * 4));
        else if (key == "index") only({Wave::FmBell}), in.param2 = static_cast<uint8_t>(std::lround(num(0, 15.9) * 16));
        else if (key == "bright") only({Wave::Pluck}), in.param1 = Unit255(num(0, 1));
        else if (key == "damp") only({Wave::Pluck}), in.param2 = Unit255(num(0, 1));
        else if (key == "vib") {
            // cents,rate[,delay]
            std::vector<double> parts;
            std::stringstream ss(value);
            for (std::string p; std::getline(ss, p, ',');) parts.push_back(ParseNumber(p, line, "vib"));
            if (parts.size() < 2 || parts.size() > 3) Throw(line, "vib=cents,rate[,delay] expected");
            in.vibratoCents = static_cast<uint8_t>(InRange(parts[0], 0, 100, line, "vibrato depth"));
            in.vibratoRate = static_cast<uint8_t>(std::lround(InRange(parts[1], 0, 20, line, "vibrato rate") * 10));
            if (parts.size() == 3) in.vibratoDelayMs = static_cast<uint16_t>(InRange(parts[2], 0, 10000, line, "vibrato delay"));
        } else {
            Throw(line, "unknown instrument setting '" + key + "'");
        }
    }
    return in;
}

uint16_t EchoDelayMs(const Settings& st, int line) {
    if (st.echoDelay.empty()) return 0;
    double ms;
    if (st.echoDelay[0] == 'l') {
        // A note length at the tune's tempo, e.g. "l8." (a dotted eighth).
        std::string len = st.echoDelay.substr(1);
        size_t dots = 0;
        while (!len.empty() && len.back() == '.') len.pop_back(), ++dots;
        const double d = ParseNumber(len, line, "echo length");
        if (d <= 0) Throw(line, "bad echo length");
        double beats = 4.0 / d, add = beats;
        for (size_t k = 0; k < dots; ++k) add /= 2, beats += add;
        ms = beats * 60000.0 / st.bpm;
    } else {
        ms = ParseNumber(st.echoDelay, line, "echo delay");
    }
    return static_cast<uint16_t>(std::lround(InRange(ms, 10, 2000, line, "echo delay")));
}

void CompileAll(const std::string& text, Tune* out) {
    Source src(text);
    Settings st;
    std::map<std::string, Body> macros;
    std::map<std::string, int> instrumentIndex;
    std::vector<Instrument> instruments;
    std::vector<TrackDef> trackDefs;

    while (!src.AtEnd()) {
        const int line = src.line();
        const std::string word = src.Word();
        if (word == "tempo") {
            st.bpm = static_cast<int>(InRange(ParseNumber(src.Word(), line, "tempo"), 20, 400, line, "tempo"));
        } else if (word == "ticks") {
            st.ticksPerBeat = static_cast<int>(InRange(ParseNumber(src.Word(), line, "ticks"), 1, 960, line, "ticks"));
        } else if (word == "time") {
            const std::string sig = src.Word();
            const size_t slash = sig.find('/');
            if (slash == std::string::npos) Throw(line, "time N/D expected");
            st.barNum = static_cast<int>(InRange(ParseNumber(sig.substr(0, slash), line, "time"), 1, 32, line, "beats per bar"));
            st.barDen = static_cast<int>(ParseNumber(sig.substr(slash + 1), line, "time"));
            if (st.barDen != 1 && st.barDen != 2 && st.barDen != 4 && st.barDen != 8 && st.barDen != 16)
                Throw(line, "time denominator must be 1, 2, 4, 8 or 16");
        } else if (word == "loop") {
            st.loopBar = static_cast<int>(InRange(ParseNumber(src.Word(), line, "loop"), 1, 10000, line, "loop bar"));
        } else if (word == "gain") {
            st.gain = InRange(ParseNumber(src.Word(), line, "gain"), 1 / 256.0, 16, line, "gain");
        } else if (word == "echo") {
            st.echoDelay = src.Word();
            st.echoLine = line;
            st.echoFeedback = InRange(ParseNumber(src.Word(), line, "echo feedback"), 0, 0.9, line, "echo feedback");
            st.echoLevel = InRange(ParseNumber(src.Word(), line, "echo level"), 0, 1, line, "echo level");
        } else if (word == "reverb") {
            st.reverbSize = InRange(ParseNumber(src.Word(), line, "reverb size"), 0, 1, line, "reverb size");
            st.reverbDamping = InRange(ParseNumber(src.Word(), line, "reverb damping"), 0, 1, line, "reverb damping");
            st.reverbLevel = InRange(ParseNumber(src.Word(), line, "reverb level"), 0, 1, line, "reverb level");
        } else if (word == "name") {
            src.Word();  // informational
        } else if (word == "instrument") {
            const std::string name = src.Word();
            const Wave wave = WaveByName(src.Word(), line);
            if (name.empty()) Throw(line, "instrument name expected");
            if (instrumentIndex.count(name)) Throw(line, "instrument '" + name + "' defined twice");
            if (instruments.size() >= kMaxInstruments) Throw(line, "more than 32 instruments");
            instruments.push_back(MakeInstrument(wave, Options(src, nullptr), line));
            instrumentIndex[name] = static_cast<int>(instruments.size() - 1);
            continue;  // Options consumed the line
        } else if (word == "define") {
            const std::string name = src.Word();
            if (name.empty()) Throw(line, "macro name expected");
            if (macros.count(name)) Throw(line, "macro '" + name + "' defined twice");
            macros[name] = src.Block();
            continue;
        } else if (word == "track") {
            TrackDef t;
            t.line = line;
            t.name = src.Word();
            t.instrument = src.Word();
            t.options = Options(src, nullptr);
            t.body = src.Block();
            if (trackDefs.size() >= kMaxTracks) Throw(line, "more than 16 tracks");
            trackDefs.push_back(std::move(t));
            continue;
        } else {
            Throw(line, "unknown statement '" + word + "'");
        }
        src.EndOfLine();
    }

    if (instruments.empty()) Throw(src.line(), "no instrument");
    if (trackDefs.empty()) Throw(src.line(), "no track");
    const uint64_t barTicks = uint64_t(st.barNum) * 4 * st.ticksPerBeat / st.barDen;
    if (barTicks == 0 || uint64_t(st.barNum) * 4 * st.ticksPerBeat % st.barDen != 0)
        Throw(1, "bar length is not a whole number of ticks");

    Tune t;
    t.bpm = static_cast<uint16_t>(st.bpm);
    t.ticksPerBeat = static_cast<uint16_t>(st.ticksPerBeat);
    t.gain = static_cast<uint16_t>(std::clamp<long>(std::lround(st.gain * 256), 1, 4096));
    t.echoDelayMs = EchoDelayMs(st, st.echoLine);
    t.echoFeedback = static_cast<uint8_t>(std::lround(st.echoFeedback * 256));
    t.echoLevel = Unit255(st.echoLevel);
    t.reverbSize = Unit255(st.reverbSize);
    t.reverbDamping = Unit255(st.reverbDamping);
    t.reverbLevel = Unit255(st.reverbLevel);
    t.instruments = instruments;

    uint64_t length = 0;
    for (const TrackDef& def : trackDefs) {
        auto inst = instrumentIndex.find(def.instrument);
        if (inst == instrumentIndex.end()) Throw(def.line, "no instrument '" + def.instrument + "'");
        Track tr;
        tr.instrument = static_cast<uint8_t>(inst->second);
        tr.volume = 200;
        for (const auto& [key, value] : def.options) {
            const double v = ParseNumber(value, def.line, key.c_str());
            if (key == "vol") tr.volume = Unit255(InRange(v, 0, 1, def.line, "vol"));
            else if (key == "pan") tr.pan = static_cast<int8_t>(std::lround(InRange(v, -1, 1, def.line, "pan") * 127));
            else if (key == "echo") tr.echoSend = Unit255(InRange(v, 0, 1, def.line, "echo"));
            else if (key == "reverb") tr.reverbSend = Unit255(InRange(v, 0, 1, def.line, "reverb"));
            else Throw(def.line, "unknown track setting '" + key + "'");
        }
        TrackCompiler tc(macros, st.ticksPerBeat, static_cast<int>(barTicks),
                         instruments[tr.instrument].wave == Wave::Drums);
        tc.Compile(def.body, 0);
        if (tc.tick() % barTicks != 0)
            Throw(def.line, "track '" + def.name + "' does not end on a bar line");
        if (length != 0 && tc.tick() != length) {
            std::ostringstream o;
            o << "track '" << def.name << "' lasts " << tc.tick() / barTicks << " bars, the first track "
              << length / barTicks;
            Throw(def.line, o.str());
        }
        length = tc.tick();
        tr.events = std::move(tc.events());
        t.tracks.push_back(std::move(tr));
    }
    if (length == 0) Throw(1, "the tune is empty");
    if (length > UINT32_MAX) Throw(1, "the tune is too long");
    t.loopEnd = static_cast<uint32_t>(length);
    const uint64_t loopStart = uint64_t(st.loopBar - 1) * barTicks;
    if (loopStart >= length) Throw(1, "loop bar at or after the end");
    t.loopStart = static_cast<uint32_t>(loopStart);
    std::string why;
    if (!ValidateTune(t, &why)) Throw(1, why);
    *out = std::move(t);
}

}  // namespace

bool CompileTuneText(const std::string& text, Tune* tune, std::string* error) {
    try {
        CompileAll(text, tune);
        return true;
    } catch (const CompileError& e) {
        if (error) *error = "line " + std::to_string(e.line) + ": " + e.text;
        return false;
    }
}

}  // namespace pxt
