// The binary tune file: round trip, and refusal of every malformed file
// without reading out of bounds (the suite also runs under the sanitizers).
#include "pxtone_test_util.h"

#include <cstring>
#include <random>

namespace {

std::vector<uint8_t> BandFile() { return pxt::SerializeTune(pxtest::Compile(pxtest::kBandTune)); }

bool Parses(const std::vector<uint8_t>& bytes, std::string* error = nullptr) {
    pxt::Tune t;
    return pxt::ParseTune(bytes.data(), bytes.size(), &t, error);
}

// Offsets of the fixed layout.
constexpr size_t kInstrumentCount = 10, kTrackCount = 11, kLoopStart = 12, kLoopEnd = 16;
constexpr size_t kFirstInstrument = pxt::kHeaderBytes;

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

TEST(TuneFile, RoundTripKeepsEveryField) {
    const pxt::Tune a = pxtest::Compile("echo 300 0.5 0.25\nreverb 0.3 0.6 0.2\ngain 1.5\n" +
                                        std::string(pxtest::kBandTune));
    const std::vector<uint8_t> bytes = pxt::SerializeTune(a);
    pxt::Tune b;
    std::string error;
    ASSERT_TRUE(pxt::ParseTune(bytes.data(), bytes.size(), &b, &error)) << error;
    EXPECT_EQ(pxt::SerializeTune(b), bytes);
    EXPECT_EQ(300, b.echoDelayMs);
    EXPECT_EQ(384, b.gain);
    ASSERT_EQ(a.tracks.size(), b.tracks.size());
    EXPECT_EQ(a.tracks[5].events.size(), b.tracks[5].events.size());
    EXPECT_EQ(a.instruments[4].param1, b.instruments[4].param1);
    EXPECT_EQ(a.loopStart, b.loopStart);
}

TEST(TuneFile, EveryTruncationIsRefused) {
    const std::vector<uint8_t> full = BandFile();
    ASSERT_TRUE(Parses(full));
    for (size_t n = 0; n < full.size(); ++n) {
        const std::vector<uint8_t> cut(full.begin(), full.begin() + n);
        ASSERT_FALSE(Parses(cut)) << "accepted " << n << " of " << full.size() << " bytes";
    }
    std::vector<uint8_t> longer = full;
    longer.push_back(0);
    std::string error;
    EXPECT_FALSE(Parses(longer, &error));
    EXPECT_NE(std::string::npos, error.find("after the last track"));
}

TEST(TuneFile, RefusesOutOfRangeFields) {
    const std::vector<uint8_t> good = BandFile();
    struct Case {
        const char* what;
        void (*change)(std::vector<uint8_t>&);
    };
    const Case cases[] = {
        {"magic", [](std::vector<uint8_t>& b) { b[0] = 'X'; }},
        {"version", [](std::vector<uint8_t>& b) { b[4] = 2; }},
        {"tempo", [](std::vector<uint8_t>& b) { b[6] = 5, b[7] = 0; }},
        {"no instruments", [](std::vector<uint8_t>& b) { b[kInstrumentCount] = 0; }},
        {"33 instruments", [](std::vector<uint8_t>& b) { b[kInstrumentCount] = 33; }},
        {"17 tracks", [](std::vector<uint8_t>& b) { b[kTrackCount] = 17; }},
        {"loop end before start", [](std::vector<uint8_t>& b) { PutU32(b, kLoopStart, 1000000); }},
        {"loop end before last note", [](std::vector<uint8_t>& b) { PutU32(b, kLoopEnd, 300); }},
        {"reserved header", [](std::vector<uint8_t>& b) { b[31] = 1; }},
        {"unknown wave", [](std::vector<uint8_t>& b) { b[kFirstInstrument] = 7; }},
        {"pulse duty 129", [](std::vector<uint8_t>& b) { b[kFirstInstrument + 1] = 129; }},
        {"reserved instrument", [](std::vector<uint8_t>& b) { b[kFirstInstrument + 9] = 1; }},
        {"instrument index", [](std::vector<uint8_t>& b) { b[kFirstInstrument + 6 * pxt::kInstrumentBytes] = 6; }},
        {"pan -128", [](std::vector<uint8_t>& b) { b[kFirstInstrument + 6 * pxt::kInstrumentBytes + 2] = 0x80; }},
        {"event count beyond the file",
         [](std::vector<uint8_t>& b) { PutU32(b, kFirstInstrument + 6 * pxt::kInstrumentBytes + 8, 99999); }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        c.change(bad);
        std::string error;
        EXPECT_FALSE(Parses(bad, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(TuneFile, RefusesBadEvents) {
    pxt::Tune t = pxtest::Compile(pxtest::kBandTune);
    std::string error;
    ASSERT_TRUE(pxt::ValidateTune(t, &error)) << error;
    auto refused = [&](void (*change)(pxt::Tune&)) {
        pxt::Tune bad = t;
        change(bad);
        const std::vector<uint8_t> bytes = pxt::SerializeTune(bad);
        return !Parses(bytes);
    };
    EXPECT_TRUE(refused([](pxt::Tune& b) { std::swap(b.tracks[0].events[1], b.tracks[0].events[2]); }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[0].events[3].velocity = 0; }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[0].events[3].velocity = 128; }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[0].events[3].length = 0; }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[0].events[3].note = 121; }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[5].events[0].note = 60; }));  // no drum there
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.tracks[0].events.back().tick = b.loopEnd; }));
    EXPECT_TRUE(refused([](pxt::Tune& b) { b.bpm = 30, b.ticksPerBeat = 960, b.loopEnd = 0xFFFFFFFF; }));
}

TEST(TuneFile, CorruptedFilesAreRefusedOrPlaySafely) {
    // Every byte replaced by a few values: the parser refuses the file or
    // hands back a tune that passes validation and renders.
    const std::vector<uint8_t> good = BandFile();
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    std::vector<float> frames(2 * 256);
    pxt::Synth synth(44100);
    int accepted = 0;
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t v : values) {
            if (good[i] == v) continue;
            std::vector<uint8_t> bad = good;
            bad[i] = v;
            auto tune = std::make_shared<pxt::Tune>();
            std::string error;
            if (!pxt::ParseTune(bad.data(), bad.size(), tune.get(), &error)) continue;
            ++accepted;
            ASSERT_TRUE(pxt::ValidateTune(*tune, &error)) << error;
            synth.SetTune(tune);
            synth.Start(0, 0);
            synth.Render(frames.data(), 256);
        }
    }
    EXPECT_GT(accepted, 0);  // harmless changes (a velocity, a pan) still load
}

TEST(TuneFile, RandomBytesAreRefused) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes(rng() % 600);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        if (round % 2 && bytes.size() >= 6) std::memcpy(bytes.data(), "VPTN\x01\x00", 6);
        ASSERT_FALSE(Parses(bytes));
    }
    pxt::Tune t;
    EXPECT_FALSE(pxt::ParseTune(nullptr, 10, &t, nullptr));
}
