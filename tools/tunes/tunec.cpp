// The tune compiler: turns a tune's text (assets/tunes/NAME.tune) into the
// music stand-in's ".ptcop" file, and renders tunes for listening checks.
//
//   tunec IN.tune -o OUT.ptcop      compile
//   tunec IN [--render OUT.wav] [--loops N] [--stats] [--normalize DB]
//
// IN is a text source or a compiled file. --render writes the intro and N
// passes of the loop (default 2) as 44.1 kHz stereo 16-bit WAVE. --stats
// prints the level (peak, RMS), clipping and the loop seam check: the jump
// between the samples across the seam against the largest jump anywhere in
// the tune, and how far the second and third passes of the loop differ, and
// the level of each track alone. --normalize sets the tune's gain so that one
// pass of its loop has that RMS level (dBFS), lowered when needed to keep the
// peaks at -1 dBFS, so that every tune plays at one loudness.
#include "platform/pxtone/synth.h"
#include "platform/pxtone/tune.h"
#include "platform/pxtone/tune_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

bool ReadFile(const std::string& path, std::string* out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

// Writes through a temporary file so that a failed run leaves no partial file.
bool WriteFile(const std::string& path, const void* data, size_t size) {
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool LoadTune(const std::string& path, pxt::Tune* tune) {
    std::string data, error;
    if (!ReadFile(path, &data)) {
        std::fprintf(stderr, "tunec: cannot read %s\n", path.c_str());
        return false;
    }
    const bool binary = data.size() >= 4 && std::memcmp(data.data(), "VPTN", 4) == 0;
    const bool ok = binary ? pxt::ParseTune(reinterpret_cast<const uint8_t*>(data.data()), data.size(), tune, &error)
                           : pxt::CompileTuneText(data, tune, &error);
    if (!ok) std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
    return ok;
}

std::vector<int16_t> Render(const pxt::Tune& tune, int64_t frames) {
    pxt::Synth synth(kRate);
    synth.SetTune(std::make_shared<pxt::Tune>(tune));
    synth.Start(0, 0);
    std::vector<int16_t> out(size_t(frames) * 2);
    synth.RenderS16(out.data(), static_cast<int>(frames));
    return out;
}

void PutU32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void PutU16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

bool WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> w;
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    w.insert(w.end(), {'R', 'I', 'F', 'F'});
    PutU32(w, 36 + bytes);
    w.insert(w.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutU32(w, 16);
    PutU16(w, 1);
    PutU16(w, 2);
    PutU32(w, kRate);
    PutU32(w, kRate * 4);
    PutU16(w, 4);
    PutU16(w, 16);
    w.insert(w.end(), {'d', 'a', 't', 'a'});
    PutU32(w, bytes);
    for (int16_t s : samples) PutU16(w, static_cast<uint16_t>(s));
    return WriteFile(path, w.data(), w.size());
}

double Db(double x) { return x > 0 ? 20.0 * std::log10(x) : -200.0; }

struct Level {
    double rms = 0, peak = 0;
};

// Peak and RMS of the loop's second pass rendered as float (no clipping).
Level MeasureLoop(const pxt::Tune& tune) {
    pxt::Synth synth(kRate);
    synth.SetTune(std::make_shared<pxt::Tune>(tune));
    const int64_t end = synth.LoopEndFrame(), len = end - synth.LoopStartFrame();
    synth.Start(0, 0);
    std::vector<float> buf(8192 * 2);
    Level level;
    double sum = 0;
    for (int64_t done = 0; done < end + len;) {
        const int n = static_cast<int>(std::min<int64_t>(8192, end + len - done));
        synth.Render(buf.data(), n);
        for (int i = 0; i < n; ++i) {
            if (done + i < end) continue;
            for (int c = 0; c < 2; ++c) {
                const double v = buf[2 * i + c];
                sum += v * v;
                level.peak = std::max(level.peak, std::fabs(v));
            }
        }
        done += n;
    }
    level.rms = std::sqrt(sum / double(2 * len));
    return level;
}

void Normalize(pxt::Tune* tune, double targetDb) {
    const Level level = MeasureLoop(*tune);
    if (level.rms <= 0) return;
    const double current = tune->gain / 256.0;
    double gain = current * std::pow(10.0, targetDb / 20.0) / level.rms;
    gain = std::min(gain, current * std::pow(10.0, -1.0 / 20.0) / level.peak);
    tune->gain = static_cast<uint16_t>(std::clamp<long>(std::lround(gain * 256.0), 1, 4096));
}

void PrintTrackLevels(const pxt::Tune& tune) {
    for (size_t t = 0; t < tune.tracks.size(); ++t) {
        pxt::Tune solo = tune;
        for (size_t o = 0; o < solo.tracks.size(); ++o)
            if (o != t) solo.tracks[o].events.clear();
        const Level level = MeasureLoop(solo);
        std::printf("  track %zu alone: rms %.2f dBFS, peak %.2f dBFS\n", t, Db(level.rms), Db(level.peak));
    }
}

void PrintStats(const pxt::Tune& tune) {
    pxt::Synth probe(kRate);
    probe.SetTune(std::make_shared<pxt::Tune>(tune));
    const int64_t start = probe.LoopStartFrame(), end = probe.LoopEndFrame(), len = end - start;
    const std::vector<int16_t> s = Render(tune, end + 2 * len);
    // Level over the second pass.
    double sum = 0, peak = 0;
    int64_t clipped = 0;
    for (int64_t i = 2 * end; i < 2 * (end + len); ++i) {
        const double v = s[i] / 32768.0;
        sum += v * v;
        peak = std::max(peak, std::fabs(v));
        clipped += s[i] == 32767 || s[i] == -32768;
    }
    const double rms = std::sqrt(sum / double(2 * len));
    // Largest step between neighbouring frames anywhere, and across each seam.
    auto step = [&](int64_t frame) {
        return std::max(std::abs(s[2 * frame] - s[2 * frame - 2]), std::abs(s[2 * frame + 1] - s[2 * frame - 1]));
    };
    int maxStep = 0;
    for (int64_t f = 1; f < end + 2 * len; ++f) maxStep = std::max(maxStep, step(f));
    const int seam1 = step(end), seam2 = step(end + len);
    // Passes two and three must match once the first pass's tails have died.
    int passDiff = 0;
    for (int64_t i = 0; i < 2 * len; ++i) passDiff = std::max(passDiff, std::abs(s[2 * end + i] - s[2 * (end + len) + i]));
    std::printf("loop %.2f s (intro %.2f s), %d bpm, %zu tracks\n", len / double(kRate), start / double(kRate),
                tune.bpm, tune.tracks.size());
    std::printf("peak %.2f dBFS, rms %.2f dBFS, clipped samples %lld\n", Db(peak), Db(rms),
                static_cast<long long>(clipped));
    std::printf("largest step %d, steps at the seams %d and %d, passes 2 and 3 differ by at most %d\n", maxStep, seam1,
                seam2, passDiff);
    PrintTrackLevels(tune);
}

int Usage() {
    std::fprintf(stderr, "usage: tunec IN [-o OUT.ptcop] [--render OUT.wav] [--loops N] [--stats] [--normalize DB]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string in, out, wave;
    int loops = 2;
    bool stats = false;
    bool normalize = false;
    double targetDb = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-o" && i + 1 < argc) out = argv[++i];
        else if (a == "--render" && i + 1 < argc) wave = argv[++i];
        else if (a == "--loops" && i + 1 < argc) loops = std::clamp(std::atoi(argv[++i]), 1, 20);
        else if (a == "--stats") stats = true;
        else if (a == "--normalize" && i + 1 < argc) normalize = true, targetDb = std::atof(argv[++i]);
        else if (!a.empty() && a[0] != '-' && in.empty()) in = a;
        else return Usage();
    }
    if (in.empty() || (out.empty() && wave.empty() && !stats)) return Usage();
    pxt::Tune tune;
    if (!LoadTune(in, &tune)) return 1;
    if (normalize) Normalize(&tune, std::clamp(targetDb, -60.0, -3.0));
    if (!out.empty()) {
        const std::vector<uint8_t> bytes = pxt::SerializeTune(tune);
        if (!WriteFile(out, bytes.data(), bytes.size())) {
            std::fprintf(stderr, "tunec: cannot write %s\n", out.c_str());
            return 1;
        }
    }
    if (!wave.empty()) {
        pxt::Synth probe(kRate);
        probe.SetTune(std::make_shared<pxt::Tune>(tune));
        const int64_t frames = probe.LoopEndFrame() + (loops - 1) * (probe.LoopEndFrame() - probe.LoopStartFrame());
        if (!WriteWave(wave, Render(tune, frames))) {
            std::fprintf(stderr, "tunec: cannot write %s\n", wave.c_str());
            return 1;
        }
    }
    if (stats) PrintStats(tune);
    return 0;
}
