// Synthesizes the game's sound effects from assets/sounds/effects.txt into
// WAVE files: 16-bit mono PCM at 44,100 Hz, each set to its peak level and
// faded in and out over a few milliseconds so that no effect clicks.
//
//   make_sounds EFFECTS.txt OUT-DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kFade = 0.003;  // seconds of fade at each end

[[noreturn]] void Fail(const std::string& message) {
    std::fprintf(stderr, "make_sounds: %s\n", message.c_str());
    std::exit(1);
}

struct Voice {
    std::string wave;
    std::map<std::string, double> keys;
    double Get(const std::string& k, double fallback) const {
        auto it = keys.find(k);
        return it == keys.end() ? fallback : it->second;
    }
};

struct Effect {
    std::string id, name;
    double length = 0;
    double peakDb = -6;
    std::vector<Voice> voices;
};

std::vector<Effect> ReadEffects(const std::string& path) {
    std::ifstream in(path);
    if (!in) Fail("cannot read " + path);
    std::vector<Effect> effects;
    Effect* open = nullptr;
    std::string line;
    int number = 0;
    static const char* kKeys[] = {"freq",    "to", "start", "dur", "attack", "decay", "release",
                                  "amp",     "fm", "index", "lp",  "hp",     "bp",    "q"};
    while (std::getline(in, line)) {
        ++number;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (auto semi = line.find(';'); semi != std::string::npos) line.erase(semi);
        std::istringstream words(line);
        std::string first;
        if (!(words >> first)) continue;
        if (first == "effect") {
            if (open) Fail(where + "effect inside an effect");
            effects.emplace_back();
            open = &effects.back();
            if (!(words >> open->id >> open->name) || open->id.size() != 2) Fail(where + "expected: effect NN name");
        } else if (!open) {
            Fail(where + "expected an effect");
        } else if (first == "end") {
            if (open->length <= 0 || open->voices.empty()) Fail(where + "effect " + open->id + " needs a length and voices");
            open = nullptr;
        } else if (first == "length") {
            if (!(words >> open->length) || open->length <= 0 || open->length > 5) Fail(where + "bad length");
        } else if (first == "peak") {
            if (!(words >> open->peakDb) || open->peakDb > -1 || open->peakDb < -40) Fail(where + "peak must lie in -40..-1 dB");
        } else if (first == "voice") {
            Voice v;
            if (!(words >> v.wave) || (v.wave != "sine" && v.wave != "triangle" && v.wave != "square" && v.wave != "noise"))
                Fail(where + "unknown wave");
            std::string key;
            double value;
            while (words >> key) {
                bool known = false;
                for (const char* k : kKeys) known |= key == k;
                if (!known) Fail(where + "unknown key " + key);
                if (!(words >> value)) Fail(where + "key " + key + " needs a value");
                v.keys[key] = value;
            }
            if (v.wave != "noise" && v.Get("freq", 0) <= 0) Fail(where + "a tone needs freq");
            if (v.Get("dur", 0) <= 0) Fail(where + "a voice needs dur");
            open->voices.push_back(v);
        } else {
            Fail(where + "unknown line " + first);
        }
    }
    if (open) Fail(path + ": effect " + open->id + " has no end");
    return effects;
}

// One-pole filters and a state-variable band-pass, per voice.
struct Filters {
    double lpCoef = 0, hpCoef = 0;
    double lpState = 0, hpState = 0, hpPrev = 0;
    double bpF = 0, bpQ = 1, bpLow = 0, bpBand = 0;
    bool lp = false, hp = false, bp = false;

    explicit Filters(const Voice& v) {
        if (double f = v.Get("lp", 0); f > 0) lp = true, lpCoef = 1 - std::exp(-2 * M_PI * f / kRate);
        if (double f = v.Get("hp", 0); f > 0) hp = true, hpCoef = std::exp(-2 * M_PI * f / kRate);
        if (double f = v.Get("bp", 0); f > 0) bp = true, bpF = 2 * std::sin(M_PI * f / kRate), bpQ = v.Get("q", 1);
    }
    double Run(double x) {
        if (lp) lpState += lpCoef * (x - lpState), x = lpState;
        if (hp) {
            double y = hpCoef * (hpState + x - hpPrev);
            hpPrev = x, hpState = y, x = y;
        }
        if (bp) {
            double high = x - bpLow - bpBand / bpQ;
            bpBand += bpF * high;
            bpLow += bpF * bpBand;
            x = bpBand / bpQ;
        }
        return x;
    }
};

void Render(const Voice& v, std::vector<double>& mix, uint32_t& noiseSeed) {
    const double start = v.Get("start", 0), dur = v.Get("dur", 0);
    const double f0 = v.Get("freq", 0), f1 = v.Get("to", f0);
    const double attack = v.Get("attack", 0.002), decay = v.Get("decay", 0), release = v.Get("release", 0.01);
    const double amp = v.Get("amp", 1), fm = v.Get("fm", 0), index = v.Get("index", 0);
    Filters filters(v);
    double phase = 0, modPhase = 0;
    const int first = int(start * kRate), count = int(dur * kRate);
    for (int i = 0; i < count && first + i < int(mix.size()); ++i) {
        const double t = double(i) / kRate;
        const double f = (f0 > 0 && f1 > 0) ? f0 * std::pow(f1 / f0, t / dur) : 0;
        double env = attack > 0 && t < attack ? t / attack : 1.0;
        if (decay > 0 && t >= attack) env *= std::exp(-(t - attack) / decay);
        if (release > 0 && t > dur - release) env *= std::max(0.0, (dur - t) / release);
        double s;
        if (v.wave == "noise") {
            noiseSeed = noiseSeed * 1664525u + 1013904223u;
            s = (noiseSeed >> 8) / double(1 << 24) * 2 - 1;
        } else {
            double p = phase + (fm > 0 ? index * std::sin(modPhase) : 0);
            double frac = p / (2 * M_PI) - std::floor(p / (2 * M_PI));
            if (v.wave == "sine") s = std::sin(p);
            else if (v.wave == "triangle") s = 1 - 4 * std::abs(frac - 0.5);
            else s = frac < 0.5 ? 1 : -1;
            phase += 2 * M_PI * f / kRate;
            modPhase += 2 * M_PI * f * fm / kRate;
        }
        mix[first + i] += filters.Run(s) * env * amp;
    }
}

std::vector<int16_t> Synthesize(const Effect& e) {
    std::vector<double> mix(size_t(e.length * kRate), 0.0);
    uint32_t seed = 12345u + uint32_t(std::stoi(e.id)) * 7919u;
    for (const Voice& v : e.voices) Render(v, mix, seed);
    // Fade the ends first, then set the level, so the peak is the one heard.
    const size_t fade = size_t(kFade * kRate);
    for (size_t i = 0; i < fade && i < mix.size(); ++i) {
        mix[i] *= double(i) / fade;
        mix[mix.size() - 1 - i] *= double(i) / fade;
    }
    double peak = 0;
    for (double s : mix) peak = std::max(peak, std::abs(s));
    if (peak <= 0) Fail("effect " + e.id + " is silent");
    const double gain = std::pow(10.0, e.peakDb / 20.0) / peak;
    std::vector<int16_t> out(mix.size());
    for (size_t i = 0; i < mix.size(); ++i) out[i] = int16_t(std::lround(std::clamp(mix[i] * gain, -1.0, 1.0) * 32767));
    return out;
}

void Put16(std::string& b, uint32_t v) {
    b += char(v & 255);
    b += char(v >> 8 & 255);
}
void Put32(std::string& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

void WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
    std::string b;
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    b += "RIFF";
    Put32(b, 36 + dataBytes);
    b += "WAVEfmt ";
    Put32(b, 16);
    Put16(b, 1);  // PCM
    Put16(b, 1);  // mono
    Put32(b, kRate);
    Put32(b, kRate * 2);
    Put16(b, 2);
    Put16(b, 16);
    b += "data";
    Put32(b, dataBytes);
    for (int16_t s : samples) Put16(b, uint16_t(s));
    // Written whole under a temporary name, so no half file is ever left.
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary);
        if (!out.write(b.data(), std::streamsize(b.size()))) Fail("cannot write " + part);
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) Fail("cannot rename to " + path);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sounds EFFECTS.txt OUT-DIR\n");
        return 2;
    }
    const std::vector<Effect> effects = ReadEffects(argv[1]);
    for (int n = 0; n < 8; ++n) {
        const std::string id = "0" + std::to_string(n);
        if (std::count_if(effects.begin(), effects.end(), [&](const Effect& e) { return e.id == id; }) != 1)
            Fail("effect " + id + " must be defined exactly once");
    }
    if (effects.size() != 8) Fail("expected only the eight effects 00 to 07");
    for (const Effect& e : effects) WriteWave(std::string(argv[2]) + "/" + e.id + ".wav", Synthesize(e));
    return 0;
}
