// The statements of the tune text around the tracks: tempo, ticks, time,
// loop, gain, echo and reverb settings, instruments and their options, macro
// definitions and track headers; then each track's notation is compiled
// (tune_notation.cpp), the tracks are checked to end together on a bar line,
// and the whole is validated into a Tune.
#include "platform/pxtone/tune_text.h"
#include "platform/pxtone/tune_notation.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace pxt {
namespace tune_text {

[[noreturn]] void Throw(int line, const std::string& text) { throw CompileError{line, text}; }

double InRange(double v, double lo, double hi, int line, const char* what) {
    if (v < lo || v > hi) {
        std::ostringstream o;
        o << what << " " << v << " out of " << lo << ".." << hi;
        Throw(line, o.str());
    }
    return v;
}

namespace {

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

}  // namespace tune_text

bool CompileTuneText(const std::string& text, Tune* tune, std::string* error) {
    try {
        tune_text::CompileAll(text, tune);
        return true;
    } catch (const tune_text::CompileError& e) {
        if (error) *error = "line " + std::to_string(e.line) + ": " + e.text;
        return false;
    }
}

}  // namespace pxt
