// Microsoft ADPCM exactly as the reference decoder gives it: blocks worked
// out by hand (the predictor's sum shifted right by 8, so negative sums round
// down), and a file written by a common encoder beside that tool's own decode.
#include "acm_stream.h"

#include <fstream>
#include <iterator>

using namespace acmtest;

namespace {

// One mono 9-byte block: the pair index, the step, the newer then the older
// first sample, and four nibbles; decoded: the older, the newer, four more.
struct BlockCase {
    const char* what;
    uint8_t pair;
    int16_t step, newer, older;
    uint8_t nibbles[4];
    int16_t expected[6];
};

// Worked out with predicted = (newer * coef1 + older * coef2) >> 8, sample =
// clamp(predicted + signed nibble * step), step = max(16, (adapt[nibble] * step) >> 8).
constexpr BlockCase kBlocks[] = {
    // Pair (192, 64): -384 >> 8 = -2, where a division would give -1.
    {"negative sums round down", 3, 16, -1, -3, {0, 1, 15, 0}, {-3, -1, -2, 14, -6, -1}},
    // Pair (240, 0): 1001 * 240 >> 8 = 938, + 7 * 100; the step grows to 239.
    {"positive sums", 4, 100, 1001, 900, {7, 7, 1, 9}, {900, 1001, 1638, 3208, 3580, -242}},
    // Pair (512, -256): 33000 + 3500 is held at 32767.
    {"clamped at the top", 1, 500, 32000, 31000, {7, 0, 8, 3}, {31000, 32000, 32767, 32767, 24151, 25228}},
    {"clamped at the bottom", 1, 500, -32000, -31000, {8, 0, 7, 12}, {-31000, -32000, -32768, -32768, -23339, -26830}},
    // Pair (460, -208): -4260 >> 8 = -17; a step below 16 is used as the header gives it.
    {"a small header step", 5, 4, -7, 5, {1, 15, 2, 0}, {5, -7, -13, -34, -19, -7}},
};

Bytes BlockOf(const BlockCase& c) {
    Bytes b{c.pair};
    Put16(b, static_cast<uint16_t>(c.step));
    Put16(b, static_cast<uint16_t>(c.newer));
    Put16(b, static_cast<uint16_t>(c.older));
    b.push_back(static_cast<uint8_t>(c.nibbles[0] << 4 | c.nibbles[1]));
    b.push_back(static_cast<uint8_t>(c.nibbles[2] << 4 | c.nibbles[3]));
    return b;
}

TEST_F(MsacmTest, MsAdpcmBlocksDecodeAsWorkedOutByHand) {
    const FormatBlock format = MsAdpcm(1, 8000, 9);
    Bytes all;
    std::vector<int16_t> allExpected;
    for (const BlockCase& c : kBlocks) {
        Stream s(format.get());
        const Bytes block = BlockOf(c);
        uint8_t out[12];
        ASSERT_EQ(s.Convert(block.data(), 9, out, sizeof out).dstUsed, 12u) << c.what;
        EXPECT_EQ(AsSamples(out, 12), std::vector<int16_t>(c.expected, c.expected + 6)) << c.what;
        all.insert(all.end(), block.begin(), block.end());
        allExpected.insert(allExpected.end(), c.expected, c.expected + 6);
    }
    // All blocks in one stream: each starts afresh from its own header.
    Stream s(format.get());
    EXPECT_EQ(s.ConvertAll(all, 2048, 4096), allExpected);
}

// ---- a file written by a common encoder ---------------------------------------------

Bytes ReadDataFile(const char* name) {
    std::ifstream in(std::string(TEST_SOURCE_DIR) + "/tests/msacm/data/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Le32(const Bytes& b, size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24; }

// The body of a RIFF chunk, found by walking the chunks after "WAVE".
Bytes Chunk(const Bytes& file, const char* id) {
    for (size_t at = 12; at + 8 <= file.size();) {
        const uint32_t size = Le32(file, at + 4);
        if (std::memcmp(file.data() + at, id, 4) == 0 && at + 8 + size <= file.size())
            return Bytes(file.begin() + at + 8, file.begin() + at + 8 + size);
        at += 8 + size + (size & 1);
    }
    return {};
}

struct FileCase {
    const char* what;
    const char* coded;
    const char* decoded;  // the encoder's own decode, 16-bit little-endian
};

constexpr FileCase kFiles[] = {
    {"mono 8 kHz sweep written by sox", "tone_msadpcm.wav", "tone_msadpcm.raw"},
};

TEST_F(MsacmTest, MsAdpcmFileDecodesToTheEncodersOwnSamples) {
    for (const FileCase& c : kFiles) {
        const Bytes file = ReadDataFile(c.coded);
        const Bytes fmt = Chunk(file, "fmt "), data = Chunk(file, "data");
        const std::vector<int16_t> reference = AsSamples(ReadDataFile(c.decoded));
        ASSERT_GE(fmt.size(), 50u) << c.what;
        ASSERT_FALSE(data.empty()) << c.what;
        ASSERT_FALSE(reference.empty()) << c.what;
        const FormatBlock format{fmt};
        Stream s(format.get());
        const std::vector<int16_t> decoded = s.ConvertAll(data, 2048, 1 << 16);
        ASSERT_EQ(decoded.size(), reference.size()) << c.what;
        size_t differing = 0;
        for (size_t i = 0; i < decoded.size(); ++i) differing += decoded[i] != reference[i];
        EXPECT_EQ(differing, 0u) << c.what;
    }
}

}  // namespace
