// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format through the ACM: every
// container width into plain PCM of its own width, or into the 16-bit and
// 8-bit PCM asked for, the sizes, and the formats that stay refused.
#include "../dsound/pcm_format.h"
#include "acm_stream.h"

using namespace acmtest;

namespace {

// Both signs, both ends and a value whose low byte is dropped on the way to 8 bits.
const std::vector<int16_t> kSamples = {0, 1, -1, 32767, -32768, 0x1234, -0x1234, 77};
// The same as 8-bit PCM: the top byte plus 128.
const Bytes kAs8Bit = {128, 128, 127, 255, 0, 0x92, 0x6D, 128};
// 8-bit samples widened back to 16 bits.
const std::vector<int16_t> kFrom8Bit = {0, 0, -256, 32512, -32768, 0x1200, -0x1300, 0};

struct WidthCase {
    const char* what;
    int channels, bits;
    WORD asked;  // the destination's bits; 0: what the suggestion gives (the source's own)
    WORD expectedBits;
};

constexpr WidthCase kWidths[] = {
    {"16-bit stereo", 2, 16, 0, 16},          {"24-bit mono", 1, 24, 0, 24},
    {"32-bit stereo", 2, 32, 0, 32},          {"8-bit mono", 1, 8, 0, 8},
    {"24-bit mono asked for 8", 1, 24, 8, 8}, {"8-bit stereo asked for 16", 2, 8, 16, 16},
    {"32-bit stereo asked for 16", 2, 32, 16, 16},
};

TEST_F(MsacmTest, ExtensiblePcmOfEveryWidthGivesThePcmAskedFor) {
    for (const WidthCase& c : kWidths) {
        const FormatBlock format{ExtensibleFmtBody(c.channels, 11025, c.bits)};
        WAVEFORMATEX pcm{};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        pcm.wBitsPerSample = c.asked;
        const DWORD flags = ACM_FORMATSUGGESTF_WFORMATTAG | (c.asked ? ACM_FORMATSUGGESTF_WBITSPERSAMPLE : 0);
        ASSERT_EQ(acmFormatSuggest(nullptr, format.get(), &pcm, sizeof pcm, flags), MMSYSERR_NOERROR) << c.what;
        EXPECT_EQ(pcm.wBitsPerSample, c.expectedBits) << c.what;
        EXPECT_EQ(pcm.nChannels, c.channels) << c.what;
        EXPECT_EQ(pcm.nBlockAlign, c.channels * c.expectedBits / 8) << c.what;
        HACMSTREAM h = nullptr;
        ASSERT_EQ(acmStreamOpen(&h, nullptr, format.get(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR) << c.what;

        const Bytes src = SamplesInWidth(kSamples, c.bits);
        DWORD outBytes = 0;
        ASSERT_EQ(acmStreamSize(h, static_cast<DWORD>(src.size()), &outBytes, ACM_STREAMSIZEF_SOURCE), 0u) << c.what;
        EXPECT_EQ(outBytes, kSamples.size() * c.expectedBits / 8) << c.what;
        Bytes out(outBytes + 3, 0xEE);
        ACMSTREAMHEADER header{};
        header.cbStruct = sizeof header;
        header.pbSrc = const_cast<uint8_t*>(src.data());
        header.cbSrcLength = static_cast<DWORD>(src.size());
        header.pbDst = out.data();
        header.cbDstLength = outBytes + 3;  // room for part of a frame more: left alone
        ASSERT_EQ(acmStreamPrepareHeader(h, &header, 0), MMSYSERR_NOERROR) << c.what;
        ASSERT_EQ(acmStreamConvert(h, &header, ACM_STREAMCONVERTF_BLOCKALIGN), MMSYSERR_NOERROR) << c.what;
        EXPECT_EQ(header.cbSrcLengthUsed, src.size()) << c.what;
        ASSERT_EQ(header.cbDstLengthUsed, outBytes) << c.what;
        out.resize(outBytes);
        if (c.expectedBits == c.bits)
            EXPECT_EQ(out, src) << c.what;  // the same samples, only the header changed
        else if (c.expectedBits == 8)
            EXPECT_EQ(out, kAs8Bit) << c.what;
        else
            EXPECT_EQ(AsSamples(out), c.bits == 8 ? kFrom8Bit : kSamples) << c.what;
        acmStreamUnprepareHeader(h, &header, 0);
        acmStreamClose(h, 0);
    }
}

struct RefusedCase {
    const char* what;
    Bytes format;
};

Bytes WithField(Bytes b, size_t at, uint16_t value) {
    b[at] = static_cast<uint8_t>(value);
    b[at + 1] = static_cast<uint8_t>(value >> 8);
    return b;
}

TEST_F(MsacmTest, ExtensibleFormatsOtherThanUsablePcmAreRefused) {
    const Bytes good = ExtensibleFmtBody(2, 8000, 16);
    const RefusedCase cases[] = {
        {"float sub-format", ExtensibleFmtBody(2, 8000, 32, kFloatSubFormat)},
        {"extra bytes short of the sub-format", ExtensibleFmtBody(2, 8000, 16, kPcmSubFormat, 21)},
        {"three channels", ExtensibleFmtBody(3, 8000, 16)},
        {"20 bits", ExtensibleFmtBody(1, 8000, 20)},
        {"12 bits", WithField(ExtensibleFmtBody(1, 8000, 16), 14, 12)},
        {"block size not the frame's", WithField(good, 12, 6)},
        {"no rate", WithField(WithField(good, 4, 0), 8, 0)},
    };
    for (const RefusedCase& c : cases) {
        const FormatBlock format{c.format};
        WAVEFORMATEX pcm{};
        pcm.wFormatTag = WAVE_FORMAT_PCM;
        EXPECT_EQ(acmFormatSuggest(nullptr, format.get(), &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG),
                  ACMERR_NOTPOSSIBLE)
            << c.what;
        const WAVEFORMATEX wanted = dstest::Pcm(format.get()->nChannels, format.get()->nSamplesPerSec, 16);
        EXPECT_EQ(acmStreamOpen(nullptr, nullptr, format.get(), &wanted, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
                  ACMERR_NOTPOSSIBLE)
            << c.what;
    }
    // Widths other than 8 and 16 bits are not offered, nor a change for plain PCM.
    const FormatBlock extensible{good};
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.wBitsPerSample = 24;
    EXPECT_EQ(acmFormatSuggest(nullptr, extensible.get(), &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
              ACMERR_NOTPOSSIBLE);
    const WAVEFORMATEX plain = dstest::Pcm(2, 8000, 16);
    pcm.wBitsPerSample = 8;
    EXPECT_EQ(acmFormatSuggest(nullptr, &plain, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WBITSPERSAMPLE),
              ACMERR_NOTPOSSIBLE);
}

}  // namespace
