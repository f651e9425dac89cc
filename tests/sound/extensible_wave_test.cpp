// WAVE files whose "fmt " chunk is WAVE_FORMAT_EXTENSIBLE: PCM in any
// container width gives the same PCM as its plain twin; other sub-formats
// are refused with a log line.
#include "codec_test_util.h"
#include "platform/msacm/msacm.h"

using namespace codecsound;
using codectest::ExtensibleFmtBody;
using codectest::kFloatSubFormat;
using soundtest::Riff;

namespace {

class ExtensibleWaveTest : public soundtest::SoundTest {
protected:
    void TearDown() override {
        soundtest::SoundTest::TearDown();
        EXPECT_EQ(msacm::OpenStreamCountForTest(), 0) << "ACM streams left open";
    }
};

struct TwinCase {
    const char* what;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;  // both files' sample width
};

constexpr TwinCase kTwins[] = {
    {"8-bit mono", 1, 11025, 8},     {"16-bit stereo", 2, 22050, 16}, {"24-bit mono", 1, 44100, 24},
    {"24-bit stereo", 2, 48000, 24}, {"32-bit stereo", 2, 8000, 32},
};

// Whole frames of bytes that repeat no sample and fill every byte of one.
Bytes FrameBytes(const TwinCase& c, int frames) {
    Bytes b(static_cast<size_t>(frames) * c.channels * c.bits / 8);
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 131 + i / 256 + 7);
    return b;
}

struct Converted {
    int32_t result = -1;
    WAVEFORMATEX format{};
    Bytes pcm;
};

Converted ConvertWhole(const Bytes& file) {
    Opened o(file);
    Converted out;
    out.result = o.result;
    uint8_t* block = nullptr;
    int32_t size = 0;
    if (o.result != 0 || ConvertAll(&o.converter, &out.format, &block, &size) != 0) return out;
    out.pcm.assign(block, block + size);
    FreeMemory(block);
    return out;
}

void ExpectSameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b, const char* what) {
    EXPECT_EQ(a.wFormatTag, b.wFormatTag) << what;
    EXPECT_EQ(a.nChannels, b.nChannels) << what;
    EXPECT_EQ(a.nSamplesPerSec, b.nSamplesPerSec) << what;
    EXPECT_EQ(a.nAvgBytesPerSec, b.nAvgBytesPerSec) << what;
    EXPECT_EQ(a.nBlockAlign, b.nBlockAlign) << what;
    EXPECT_EQ(a.wBitsPerSample, b.wBitsPerSample) << what;
}

TEST_F(ExtensibleWaveTest, ExtensiblePcmGivesThePcmOfItsPlainTwin) {
    for (const TwinCase& c : kTwins) {
        const Bytes data = FrameBytes(c, 2400);
        const Bytes plainFile = Riff({{"fmt ", soundtest::FmtBody(1, c.channels, c.rate, c.bits)}, {"data", data}});
        const Bytes extensibleFile = Riff({{"fmt ", ExtensibleFmtBody(c.channels, c.rate, c.bits)}, {"data", data}});
        const Converted plain = ConvertWhole(plainFile);
        const Converted extensible = ConvertWhole(extensibleFile);
        ASSERT_EQ(plain.result, 0) << c.what;
        ASSERT_EQ(extensible.result, 0) << c.what << NewLog();
        EXPECT_EQ(extensible.format.wBitsPerSample, c.bits) << c.what;
        ExpectSameFormat(extensible.format, plain.format, c.what);
        EXPECT_EQ(extensible.pcm, plain.pcm) << c.what;
        EXPECT_EQ(extensible.pcm, data) << c.what;

        // Loaded as memory sounds, both load (or both are refused) alike.
        const int32_t plainSound = Load(plainFile);
        const int32_t extensibleSound = Load(extensibleFile);
        EXPECT_EQ(extensibleSound != -1, plainSound != -1) << c.what << NewLog();
        if (plainSound != -1 && extensibleSound != -1) {
            const auto bytes = static_cast<uint32_t>(data.size() & ~size_t{1});
            EXPECT_EQ(BufferSamples(extensibleSound, bytes), BufferSamples(plainSound, bytes)) << c.what;
        }
        if (plainSound != -1) DeleteSound(plainSound);
        if (extensibleSound != -1) DeleteSound(extensibleSound);
    }
}

struct RefusedCase {
    const char* what;
    codectest::Bytes fmt;
    bool logsSubFormat;  // false: refused by the ACM without a line of its own
};

codectest::Bytes CutTo(codectest::Bytes bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

TEST_F(ExtensibleWaveTest, OtherSubFormatsAreRefusedWithALogLine) {
    const RefusedCase cases[] = {
        {"float sub-format", ExtensibleFmtBody(1, 8000, 32, kFloatSubFormat),
         true},
        {"chunk cut before the sub-format", CutTo(ExtensibleFmtBody(1, 8000, 16), 30), true},
        {"20-bit PCM", ExtensibleFmtBody(1, 8000, 20), false},
    };
    for (const RefusedCase& c : cases) {
        const size_t logBefore = soundtest::LogText().size();
        EXPECT_EQ(Load(Riff({{"fmt ", c.fmt}, {"data", codectest::Bytes(4000, 0x40)}})), -1) << c.what;
        const std::string log = soundtest::LogText().substr(logBefore);
        EXPECT_TRUE(Contains(log, "音声ファイルのＰＣＭへの変換に失敗しました")) << c.what << log;
        const bool named = Contains(log, "WAVE_FORMAT_EXTENSIBLE のサブフォーマットが PCM ではありません");
        EXPECT_EQ(named, c.logsSubFormat) << c.what << log;
    }
}

}  // namespace
