// The block codecs of the MSACM stand-in: IMA ADPCM and Microsoft ADPCM
// decoded block by block into 16-bit PCM.
#include "platform/msacm/codecs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace msacm {
namespace {

int16_t ReadLe16(const uint8_t* p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

void WriteLe16(uint8_t* p, int32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

int32_t Clamp16(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX)); }

bool UsableChannelsAndRate(const WAVEFORMATEX& f) {
    return (f.nChannels == 1 || f.nChannels == 2) && f.nSamplesPerSec >= 1 && f.nSamplesPerSec <= kMaxRate;
}

// An extra field of the format (after the 18 bytes), read only when cbSize covers it.
bool ReadExtraWord(const WAVEFORMATEX& f, uint32_t offset, uint16_t* value) {
    if (offset + 2 > f.cbSize) return false;
    const uint8_t* extra = reinterpret_cast<const uint8_t*>(&f) + sizeof(WAVEFORMATEX);
    *value = static_cast<uint16_t>(extra[offset] | extra[offset + 1] << 8);
    return true;
}

// ---- shared by both ADPCM codecs: whole blocks in, samplesPerBlock frames out ----

struct BlockLayout {
    uint32_t blockAlign;
    uint32_t samplesPerBlock;
    uint32_t channels;
};

uint64_t BlockSize(const BlockLayout& layout, const WAVEFORMATEX& pcm, uint32_t bytes, bool fromSource) {
    const uint64_t outBlock = uint64_t{layout.samplesPerBlock} * pcm.nBlockAlign;
    if (fromSource) return bytes / layout.blockAlign * outBlock;
    return (bytes + outBlock - 1) / outBlock * layout.blockAlign;
}

// Where a format's blocks are laid out; false for a format the codec cannot decode.
using LayoutReader = bool (*)(const WAVEFORMATEX& f, BlockLayout* layout);

template <LayoutReader ReadLayout>
MMRESULT DescribeBlocks(const WAVEFORMATEX& f, WAVEFORMATEX* pcm) {
    BlockLayout layout;
    if (!ReadLayout(f, &layout)) return ACMERR_NOTPOSSIBLE;
    *pcm = PcmFormat(f.nChannels, f.nSamplesPerSec);
    return MMSYSERR_NOERROR;
}

template <LayoutReader ReadLayout>
uint64_t SizeOfBlocks(const WAVEFORMATEX& f, const WAVEFORMATEX& pcm, uint32_t bytes, bool fromSource) {
    BlockLayout layout;
    return ReadLayout(f, &layout) ? BlockSize(layout, pcm, bytes, fromSource) : 0;
}

class BlockDecoder : public Decoder {
public:
    explicit BlockDecoder(const BlockLayout& layout) : layout_(layout) {}
    void Restart() override {}
    void Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength, uint32_t* srcUsed,
                 uint32_t* dstUsed) override {
        const uint32_t outBlock = layout_.samplesPerBlock * layout_.channels * 2;
        const uint32_t blocks = std::min(srcLength / layout_.blockAlign, dstLength / outBlock);
        for (uint32_t i = 0; i < blocks; ++i)
            DecodeBlock(src + i * layout_.blockAlign, reinterpret_cast<uint8_t*>(dst) + i * outBlock);
        *srcUsed = blocks * layout_.blockAlign;
        *dstUsed = blocks * outBlock;
    }

protected:
    virtual void DecodeBlock(const uint8_t* block, uint8_t* out) = 0;
    BlockLayout layout_;
};

// ---- IMA ADPCM ----------------------------------------------------------------------
//
// A block starts with a 4-byte header per channel (first sample, step index,
// a reserved byte); then groups of 4 bytes per channel, 8 samples each, low
// nibble first.

constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int8_t kImaIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};

uint32_t ImaMaxSamples(const WAVEFORMATEX& f) {
    const uint32_t header = 4u * f.nChannels;
    return (f.nBlockAlign - header) / header * 8 + 1;
}

bool ImaLayout(const WAVEFORMATEX& f, BlockLayout* layout) {
    if (!UsableChannelsAndRate(f) || f.wBitsPerSample != 4) return false;
    const uint32_t header = 4u * f.nChannels;
    if (f.nBlockAlign <= header || (f.nBlockAlign - header) % header != 0) return false;
    uint32_t samples = ImaMaxSamples(f);
    uint16_t stated = 0;
    if (ReadExtraWord(f, 0, &stated) && stated != 0) {
        if (stated > samples) return false;
        samples = stated;
    }
    *layout = BlockLayout{f.nBlockAlign, samples, f.nChannels};
    return true;
}

class ImaDecoder : public BlockDecoder {
public:
    using BlockDecoder::BlockDecoder;

private:
    void DecodeBlock(const uint8_t* block, uint8_t* out) override {
        const uint32_t channels = layout_.channels;
        for (uint32_t c = 0; c < channels; ++c) {
            int32_t sample = ReadLe16(block + 4 * c);
            int32_t index = std::min<int32_t>(block[4 * c + 2], 88);
            WriteLe16(out + 2 * c, sample);
            // Groups of 4 bytes per channel follow the headers, channels taking turns.
            const uint8_t* data = block + 4 * channels + 4 * c;
            for (uint32_t n = 1; n < layout_.samplesPerBlock; ++n) {
                const uint32_t k = n - 1;
                const uint8_t byte = data[(k / 8) * 4 * channels + (k % 8) / 2];
                const int nibble = (k & 1) ? byte >> 4 : byte & 0x0F;
                const int32_t step = kImaSteps[index];
                int32_t diff = step >> 3;
                if (nibble & 4) diff += step;
                if (nibble & 2) diff += step >> 1;
                if (nibble & 1) diff += step >> 2;
                sample = Clamp16(int64_t{sample} + ((nibble & 8) ? -diff : diff));
                index = std::clamp(index + kImaIndexChange[nibble & 7], 0, 88);
                WriteLe16(out + 2 * (n * channels + c), sample);
            }
        }
    }
};

std::unique_ptr<Decoder> CreateIma(const WAVEFORMATEX& f, const WAVEFORMATEX&) {
    BlockLayout layout;
    if (!ImaLayout(f, &layout)) return nullptr;
    return std::make_unique<ImaDecoder>(layout);
}

// ---- Microsoft ADPCM ---------------------------------------------------------------------
//
// A block starts with, per channel in turn: the coefficient-pair index (one
// byte each), the step (i16 each), the newer first sample (i16 each) and the
// older one (i16 each); the older is played first. Then one nibble per sample
// and channel, high nibble first.

constexpr int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};
constexpr uint32_t kMaxCoefficients = 256;

struct MsAdpcmSetup {
    BlockLayout layout;
    std::vector<ADPCMCOEFSET> coefficients;
};

bool MsAdpcmSetupOf(const WAVEFORMATEX& f, MsAdpcmSetup* setup) {
    if (!UsableChannelsAndRate(f) || f.wBitsPerSample != 4) return false;
    const uint32_t header = 7u * f.nChannels;
    if (f.nBlockAlign < header) return false;
    const uint32_t maxSamples = (f.nBlockAlign - header) * 2 / f.nChannels + 2;
    uint16_t samples = 0, count = 0;
    if (!ReadExtraWord(f, 0, &samples) || !ReadExtraWord(f, 2, &count)) return false;
    if (samples < 2 || samples > maxSamples || count == 0 || count > kMaxCoefficients) return false;
    if (4u + 4u * count > f.cbSize) return false;
    setup->layout = BlockLayout{f.nBlockAlign, samples, f.nChannels};
    setup->coefficients.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t a = 0, b = 0;
        ReadExtraWord(f, 4 + 4 * i, &a);
        ReadExtraWord(f, 6 + 4 * i, &b);
        setup->coefficients[i] = ADPCMCOEFSET{static_cast<int16_t>(a), static_cast<int16_t>(b)};
    }
    return true;
}

bool MsAdpcmLayout(const WAVEFORMATEX& f, BlockLayout* layout) {
    MsAdpcmSetup setup;
    if (!MsAdpcmSetupOf(f, &setup)) return false;
    *layout = setup.layout;
    return true;
}

class MsAdpcmDecoder : public BlockDecoder {
public:
    explicit MsAdpcmDecoder(MsAdpcmSetup setup)
        : BlockDecoder(setup.layout), coefficients_(std::move(setup.coefficients)) {}

private:
    struct Channel {
        int32_t coef1, coef2, delta, sample1, sample2;
    };

    void DecodeBlock(const uint8_t* block, uint8_t* out) override {
        const uint32_t channels = layout_.channels;
        Channel state[2];
        for (uint32_t c = 0; c < channels; ++c) {
            const uint8_t index = block[c];
            if (index >= coefficients_.size()) {
                // A block naming a coefficient pair the format lacks is damaged:
                // it plays as silence of its full length.
                std::memset(out, 0, size_t{layout_.samplesPerBlock} * channels * 2);
                return;
            }
            state[c].coef1 = coefficients_[index].iCoef1;
            state[c].coef2 = coefficients_[index].iCoef2;
            state[c].delta = ReadLe16(block + channels + 2 * c);
            state[c].sample1 = ReadLe16(block + 3 * channels + 2 * c);
            state[c].sample2 = ReadLe16(block + 5 * channels + 2 * c);
            WriteLe16(out + 2 * c, state[c].sample2);
            WriteLe16(out + 2 * (channels + c), state[c].sample1);
        }
        const uint8_t* data = block + 7 * channels;
        uint32_t nibbleIndex = 0;
        for (uint32_t n = 2; n < layout_.samplesPerBlock; ++n) {
            for (uint32_t c = 0; c < channels; ++c, ++nibbleIndex) {
                const uint8_t byte = data[nibbleIndex / 2];
                const int nibble = (nibbleIndex & 1) ? byte & 0x0F : byte >> 4;
                WriteLe16(out + 2 * (n * channels + c), Step(&state[c], nibble));
            }
        }
    }

    static int32_t Step(Channel* ch, int nibble) {
        // The sum is shifted, not divided: it rounds down, negative sums too.
        const int64_t predicted = (int64_t{ch->sample1} * ch->coef1 + int64_t{ch->sample2} * ch->coef2) >> 8;
        const int32_t signedNibble = nibble >= 8 ? nibble - 16 : nibble;
        const int32_t sample = Clamp16(predicted + int64_t{signedNibble} * ch->delta);
        ch->sample2 = ch->sample1;
        ch->sample1 = sample;
        int64_t delta = (int64_t{kMsAdaptation[nibble]} * ch->delta) >> 8;
        // A damaged block could grow the step without bound: keep it where
        // the arithmetic stays in range.
        ch->delta = static_cast<int32_t>(std::clamp<int64_t>(delta, 16, INT32_MAX / 768));
        return sample;
    }

    std::vector<ADPCMCOEFSET> coefficients_;
};

std::unique_ptr<Decoder> CreateMsAdpcm(const WAVEFORMATEX& f, const WAVEFORMATEX&) {
    MsAdpcmSetup setup;
    if (!MsAdpcmSetupOf(f, &setup)) return nullptr;
    return std::make_unique<MsAdpcmDecoder>(std::move(setup));
}

}  // namespace

const Codec kImaAdpcmCodec = {WAVE_FORMAT_IMA_ADPCM, DescribeBlocks<ImaLayout>, SizeOfBlocks<ImaLayout>, CreateIma,
                                false};
const Codec kMsAdpcmCodec = {WAVE_FORMAT_ADPCM, DescribeBlocks<MsAdpcmLayout>, SizeOfBlocks<MsAdpcmLayout>,
                             CreateMsAdpcm, false};

}  // namespace msacm
