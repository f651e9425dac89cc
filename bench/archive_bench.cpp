// The library's packed data beside zlib on the game's own data files (the
// build's data/ directory), each file packed on its own as in an archive:
// unpacking (DecompressPackedData against zlib's uncompress) and packing
// (the packer against compress2 at levels 6 and 9), by kind of file. The
// counter "stored" is the packed bytes over the plain bytes, each file kept
// plain when packing does not shrink it (as the archive does).
#include "archive_writer.h"
#include "file/archive.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

struct Sample {
    Bytes plain;
    Bytes ours;
    Bytes zlib6;
    Bytes zlib9;
};

const char* KindOf(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".png") return "png";
    if (extension == ".wav") return "wav";
    if (extension == ".ptcop") return "tune";
    return path.filename().string().size() == 2 ? "level" : "other";
}

Bytes Deflate(const Bytes& plain, int level) {
    uLongf size = compressBound(plain.size());
    Bytes out(size);
    compress2(out.data(), &size, plain.data(), plain.size(), level);
    out.resize(size);
    return out;
}

std::vector<Sample> LoadSamples(const std::string& kind) {
    std::vector<Sample> samples;
    for (const auto& entry : std::filesystem::directory_iterator(BENCH_DATA_DIR)) {
        if (kind != "all" && kind != KindOf(entry.path())) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Sample s;
        s.plain.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        s.ours = PackData(s.plain.data(), static_cast<uint32_t>(s.plain.size()));
        s.zlib6 = Deflate(s.plain, 6);
        s.zlib9 = Deflate(s.plain, 9);
        samples.push_back(std::move(s));
    }
    return samples;
}

// Stored bytes over plain bytes, a file kept plain when packing does not pay.
double StoredShare(const std::vector<Sample>& samples, Bytes Sample::*packed) {
    double plain = 0, stored = 0;
    for (const Sample& s : samples) {
        plain += s.plain.size();
        stored += std::min((s.*packed).size(), s.plain.size());
    }
    return plain > 0 ? stored / plain : 0;
}

void Finish(benchmark::State& state, const std::vector<Sample>& samples, Bytes Sample::*packed) {
    int64_t bytes = 0;
    for (const Sample& s : samples) bytes += static_cast<int64_t>(s.plain.size());
    state.SetBytesProcessed(bytes * state.iterations());
    state.counters["stored"] = StoredShare(samples, packed);
    state.counters["files"] = static_cast<double>(samples.size());
}

void UnpackOurs(benchmark::State& state, const std::string& kind) {
    const std::vector<Sample> samples = LoadSamples(kind);
    Bytes out;
    for (auto _ : state) {
        for (const Sample& s : samples) {
            out.resize(s.plain.size());
            const int64_t size =
                DecompressPackedData(out.data(), s.ours.data(), static_cast<uint32_t>(s.ours.size()));
            if (size != static_cast<int64_t>(s.plain.size())) state.SkipWithError("unpack failed");
            benchmark::DoNotOptimize(out.data());
        }
    }
    Finish(state, samples, &Sample::ours);
}

void UnpackZlib(benchmark::State& state, const std::string& kind, Bytes Sample::*packed) {
    const std::vector<Sample> samples = LoadSamples(kind);
    Bytes out;
    for (auto _ : state) {
        for (const Sample& s : samples) {
            out.resize(s.plain.size());
            uLongf size = out.size();
            if (uncompress(out.data(), &size, (s.*packed).data(), (s.*packed).size()) != Z_OK)
                state.SkipWithError("uncompress failed");
            benchmark::DoNotOptimize(out.data());
        }
    }
    Finish(state, samples, packed);
}

void PackOurs(benchmark::State& state, const std::string& kind) {
    const std::vector<Sample> samples = LoadSamples(kind);
    for (auto _ : state)
        for (const Sample& s : samples)
            benchmark::DoNotOptimize(PackData(s.plain.data(), static_cast<uint32_t>(s.plain.size())));
    Finish(state, samples, &Sample::ours);
}

void PackZlib(benchmark::State& state, const std::string& kind, int level) {
    const std::vector<Sample> samples = LoadSamples(kind);
    for (auto _ : state)
        for (const Sample& s : samples) benchmark::DoNotOptimize(Deflate(s.plain, level));
    Finish(state, samples, level == 9 ? &Sample::zlib9 : &Sample::zlib6);
}

const bool kRegistered = [] {
    for (const std::string kind : {"all", "png", "wav", "tune", "level"}) {
        benchmark::RegisterBenchmark(("unpack/" + kind + "/velumi").c_str(), UnpackOurs, kind);
        benchmark::RegisterBenchmark(("unpack/" + kind + "/zlib6").c_str(), UnpackZlib, kind, &Sample::zlib6);
        benchmark::RegisterBenchmark(("unpack/" + kind + "/zlib9").c_str(), UnpackZlib, kind, &Sample::zlib9);
        benchmark::RegisterBenchmark(("pack/" + kind + "/velumi").c_str(), PackOurs, kind);
        benchmark::RegisterBenchmark(("pack/" + kind + "/zlib6").c_str(), PackZlib, kind, 6);
        benchmark::RegisterBenchmark(("pack/" + kind + "/zlib9").c_str(), PackZlib, kind, 9);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
