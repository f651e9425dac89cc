// The library's packed data beside zlib, LZ4 and zstd on the game's own data
// files (the build's data/ directory), each file packed on its own as in an
// archive: unpacking and packing, by kind of file. The counter "stored" is the
// packed bytes over the plain bytes, each file kept plain when packing does
// not shrink it (as the archive does).
#include "archive_writer.h"
#include "file/archive.h"

#include <benchmark/benchmark.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>
#include <zstd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// One compressor: pack returns the packed bytes, unpack fills out (sized to
// the plain bytes) and says whether all came out.
struct Codec {
    const char* name;
    Bytes (*pack)(const Bytes& plain);
    bool (*unpack)(const Bytes& packed, Bytes* out);
};

Bytes PackVelumi(const Bytes& plain) { return PackData(plain.data(), static_cast<uint32_t>(plain.size())); }
bool UnpackVelumi(const Bytes& packed, Bytes* out) {
    return DecompressPackedData(out->data(), packed.data(), static_cast<uint32_t>(packed.size())) ==
           static_cast<int64_t>(out->size());
}

template <int Level>
Bytes PackZlib(const Bytes& plain) {
    uLongf size = compressBound(plain.size());
    Bytes out(size);
    compress2(out.data(), &size, plain.data(), plain.size(), Level);
    out.resize(size);
    return out;
}
bool UnpackZlib(const Bytes& packed, Bytes* out) {
    uLongf size = out->size();
    return uncompress(out->data(), &size, packed.data(), packed.size()) == Z_OK && size == out->size();
}

template <int Level>
Bytes PackLz4(const Bytes& plain) {
    Bytes out(static_cast<size_t>(LZ4_compressBound(static_cast<int>(plain.size()))));
    const auto* in = reinterpret_cast<const char*>(plain.data());
    auto* to = reinterpret_cast<char*>(out.data());
    const int from = static_cast<int>(plain.size()), room = static_cast<int>(out.size());
    const int size = Level == 0 ? LZ4_compress_default(in, to, from, room) : LZ4_compress_HC(in, to, from, room, Level);
    out.resize(static_cast<size_t>(size));
    return out;
}
bool UnpackLz4(const Bytes& packed, Bytes* out) {
    return LZ4_decompress_safe(reinterpret_cast<const char*>(packed.data()), reinterpret_cast<char*>(out->data()),
                               static_cast<int>(packed.size()), static_cast<int>(out->size())) ==
           static_cast<int>(out->size());
}

// zstd with its contexts made once, as a reader of many small files would.
template <int Level>
Bytes PackZstd(const Bytes& plain) {
    static ZSTD_CCtx* const context = ZSTD_createCCtx();
    Bytes out(ZSTD_compressBound(plain.size()));
    out.resize(ZSTD_compressCCtx(context, out.data(), out.size(), plain.data(), plain.size(), Level));
    return out;
}
bool UnpackZstd(const Bytes& packed, Bytes* out) {
    static ZSTD_DCtx* const context = ZSTD_createDCtx();
    return ZSTD_decompressDCtx(context, out->data(), out->size(), packed.data(), packed.size()) == out->size();
}

constexpr Codec kCodecs[] = {
    {"velumi", PackVelumi, UnpackVelumi},   {"zlib6", PackZlib<6>, UnpackZlib},  {"zlib9", PackZlib<9>, UnpackZlib},
    {"lz4", PackLz4<0>, UnpackLz4},         {"lz4hc9", PackLz4<9>, UnpackLz4},  {"zstd3", PackZstd<3>, UnpackZstd},
    {"zstd19", PackZstd<19>, UnpackZstd},
};

struct Sample {
    Bytes plain;
    Bytes packed;
};

const char* KindOf(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension == ".png") return "png";
    if (extension == ".wav") return "wav";
    if (extension == ".ptcop") return "tune";
    return path.filename().string().size() == 2 ? "level" : "other";
}

std::vector<Sample> LoadSamples(const std::string& kind, const Codec& codec) {
    std::vector<Sample> samples;
    for (const auto& entry : std::filesystem::directory_iterator(BENCH_DATA_DIR)) {
        if (kind != "all" && kind != KindOf(entry.path())) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        Sample s;
        s.plain.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        s.packed = codec.pack(s.plain);
        samples.push_back(std::move(s));
    }
    return samples;
}

void Finish(benchmark::State& state, const std::vector<Sample>& samples) {
    double plain = 0, stored = 0;
    for (const Sample& s : samples) {
        plain += static_cast<double>(s.plain.size());
        stored += static_cast<double>(std::min(s.packed.size(), s.plain.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(plain) * state.iterations());
    state.counters["stored"] = plain > 0 ? stored / plain : 0;
    state.counters["files"] = static_cast<double>(samples.size());
}

void Unpack(benchmark::State& state, const std::string& kind, const Codec* codec) {
    const std::vector<Sample> samples = LoadSamples(kind, *codec);
    Bytes out;
    for (auto _ : state) {
        for (const Sample& s : samples) {
            out.resize(s.plain.size());
            if (!codec->unpack(s.packed, &out)) state.SkipWithError("unpack failed");
            benchmark::DoNotOptimize(out.data());
        }
    }
    Finish(state, samples);
}

void Pack(benchmark::State& state, const std::string& kind, const Codec* codec) {
    const std::vector<Sample> samples = LoadSamples(kind, *codec);
    for (auto _ : state)
        for (const Sample& s : samples) benchmark::DoNotOptimize(codec->pack(s.plain));
    Finish(state, samples);
}

const bool kRegistered = [] {
    for (const std::string kind : {"all", "png", "wav", "tune", "level"}) {
        for (const Codec& codec : kCodecs)
            benchmark::RegisterBenchmark(("unpack/" + kind + "/" + codec.name).c_str(), Unpack, kind, &codec);
        for (const Codec& codec : kCodecs)
            benchmark::RegisterBenchmark(("pack/" + kind + "/" + codec.name).c_str(), Pack, kind, &codec);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
