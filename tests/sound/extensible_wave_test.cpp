// WAVE files whose "fmt " chunk is WAVE_FORMAT_EXTENSIBLE: PCM in any
// container width plays as its plain twin; other sub-formats are refused
// with a log line.
#include "codec_test_util.h"
#include "platform/msacm/msacm.h"

using namespace codecsound;
using codectest::ExtensibleFmtBody;
using codectest::kFloatSubFormat;
using codectest::SamplesInWidth;
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
    int bits;  // the extensible file's container; its twin is plain 16-bit PCM
};

constexpr TwinCase kTwins[] = {
    {"16-bit stereo", 2, 22050, 16},
    {"24-bit mono", 1, 44100, 24},
    {"32-bit stereo", 2, 8000, 32},
};

TEST_F(ExtensibleWaveTest, ExtensiblePcmDecodesAsItsPlainTwin) {
    for (const TwinCase& c : kTwins) {
        const std::vector<int16_t> samples = soundtest::Pattern(2400 * c.channels, 0);
        Opened plain(soundtest::Wave16(samples, c.channels, c.rate));
        Opened extensible(Riff({{"fmt ", ExtensibleFmtBody(c.channels, c.rate, c.bits)},
                                {"data", SamplesInWidth(samples, c.bits)}}));
        ASSERT_EQ(plain.result, 0) << c.what;
        ASSERT_EQ(extensible.result, 0) << c.what << NewLog();
        ExpectPcm16Format(&extensible.converter, c.channels, c.rate);
        EXPECT_EQ(GetConvertedSize(&extensible.converter), GetConvertedSize(&plain.converter)) << c.what;
        const std::vector<int16_t> decoded = ReadAllSamples(&extensible.converter);
        EXPECT_EQ(decoded, ReadAllSamples(&plain.converter)) << c.what;
        EXPECT_EQ(decoded, samples) << c.what;

        // Loaded as a memory sound, the buffer holds the same samples.
        const int32_t h = Load(Riff({{"fmt ", ExtensibleFmtBody(c.channels, c.rate, c.bits)},
                                     {"data", SamplesInWidth(samples, c.bits)}}));
        ASSERT_NE(h, -1) << c.what << NewLog();
        EXPECT_EQ(BufferSamples(h, static_cast<int>(samples.size() * 2)), samples) << c.what;
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
