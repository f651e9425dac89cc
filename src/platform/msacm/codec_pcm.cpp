// The PCM codecs of the MSACM stand-in: plain PCM copied as it is, and
// extensible PCM of 8 to 32 bits given as the plain PCM of the same samples,
// or turned into the 8-bit or 16-bit PCM asked for.
#include "platform/msacm/codecs.h"

#include <algorithm>
#include <cstring>

namespace msacm {
namespace {

bool UsableLayout(const WAVEFORMATEX& f) {
    return (f.nChannels == 1 || f.nChannels == 2) && f.nSamplesPerSec >= 1 && f.nSamplesPerSec <= kMaxRate &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

// ---- plain PCM ----------------------------------------------------------------------

MMRESULT DescribePcm(const WAVEFORMATEX& f, WAVEFORMATEX* pcm) {
    if ((f.wBitsPerSample != 8 && f.wBitsPerSample != 16) || !UsableLayout(f)) return ACMERR_NOTPOSSIBLE;
    *pcm = PcmFormat(f.nChannels, f.nSamplesPerSec, f.wBitsPerSample);
    return MMSYSERR_NOERROR;
}

uint64_t PcmSize(const WAVEFORMATEX&, const WAVEFORMATEX& pcm, uint32_t bytes, bool) {
    return bytes / pcm.nBlockAlign * pcm.nBlockAlign;
}

class PcmCopier : public Decoder {
public:
    explicit PcmCopier(uint32_t align) : align_(align) {}
    void Restart() override {}
    void Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength, uint32_t* srcUsed,
                 uint32_t* dstUsed) override {
        const uint32_t bytes = std::min(srcLength, dstLength) / align_ * align_;
        if (bytes > 0) std::memcpy(dst, src, bytes);
        *srcUsed = bytes;
        *dstUsed = bytes;
    }

private:
    uint32_t align_;
};

std::unique_ptr<Decoder> CreatePcm(const WAVEFORMATEX&, const WAVEFORMATEX& pcm) {
    return std::make_unique<PcmCopier>(pcm.nBlockAlign);
}

// ---- extensible PCM ---------------------------------------------------------------------

constexpr uint32_t kExtensibleExtraBytes = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);  // 22

bool IsExtensiblePcm(const WAVEFORMATEX& f) {
    if (f.cbSize < kExtensibleExtraBytes) return false;
    GUID subFormat;
    std::memcpy(&subFormat, reinterpret_cast<const uint8_t*>(&f) + offsetof(WAVEFORMATEXTENSIBLE, SubFormat),
                sizeof subFormat);
    if (!(subFormat == KSDATAFORMAT_SUBTYPE_PCM)) return false;
    const WORD bits = f.wBitsPerSample;
    return (bits == 8 || bits == 16 || bits == 24 || bits == 32) && UsableLayout(f);
}

MMRESULT DescribeExtensible(const WAVEFORMATEX& f, WAVEFORMATEX* pcm) {
    if (!IsExtensiblePcm(f)) return ACMERR_NOTPOSSIBLE;
    *pcm = PcmFormat(f.nChannels, f.nSamplesPerSec, f.wBitsPerSample);
    return MMSYSERR_NOERROR;
}

uint64_t ExtensibleSize(const WAVEFORMATEX& f, const WAVEFORMATEX& pcm, uint32_t bytes, bool fromSource) {
    if (fromSource) return uint64_t{bytes} / f.nBlockAlign * pcm.nBlockAlign;
    return (uint64_t{bytes} + pcm.nBlockAlign - 1) / pcm.nBlockAlign * f.nBlockAlign;
}

// Samples are little-endian and signed, 8-bit ones unsigned around 128. Into
// PCM of the source's own width they are copied as they are; into a narrower
// width a sample keeps its top bits (rounding down), into a wider one it is
// widened by shifting.
class ExtensibleConverter : public Decoder {
public:
    ExtensibleConverter(const WAVEFORMATEX& source, const WAVEFORMATEX& pcm)
        : sourceBytes_(source.wBitsPerSample / 8u), outBytes_(pcm.wBitsPerSample / 8u), channels_(source.nChannels) {}
    void Restart() override {}
    void Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength, uint32_t* srcUsed,
                 uint32_t* dstUsed) override {
        const uint32_t samples = std::min(srcLength / (sourceBytes_ * channels_), dstLength / (outBytes_ * channels_)) *
                                 channels_;
        if (sourceBytes_ == outBytes_) {
            if (samples > 0) std::memcpy(dst, src, samples * outBytes_);
        } else {
            for (uint32_t i = 0; i < samples; ++i) Write(dst + i * outBytes_, Read(src + i * sourceBytes_));
        }
        *srcUsed = samples * sourceBytes_;
        *dstUsed = samples * outBytes_;
    }

private:
    int32_t Read(const uint8_t* p) const {
        if (sourceBytes_ == 1) return (p[0] - 128) * 256;
        return static_cast<int16_t>(p[sourceBytes_ - 2] | p[sourceBytes_ - 1] << 8);
    }
    void Write(uint8_t* p, int32_t sample) const {
        if (outBytes_ == 1) {
            p[0] = static_cast<uint8_t>((sample >> 8) + 128);
            return;
        }
        p[0] = static_cast<uint8_t>(sample);
        p[1] = static_cast<uint8_t>(sample >> 8);
    }

    uint32_t sourceBytes_, outBytes_, channels_;
};

std::unique_ptr<Decoder> CreateExtensible(const WAVEFORMATEX& f, const WAVEFORMATEX& pcm) {
    const WORD bits = pcm.wBitsPerSample;
    if (!IsExtensiblePcm(f) || (bits != 8 && bits != 16 && bits != f.wBitsPerSample)) return nullptr;
    return std::make_unique<ExtensibleConverter>(f, pcm);
}

}  // namespace

WAVEFORMATEX PcmFormat(WORD channels, DWORD rate, WORD bits) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = channels;
    pcm.nSamplesPerSec = rate;
    pcm.wBitsPerSample = bits;
    pcm.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    pcm.nAvgBytesPerSec = rate * pcm.nBlockAlign;
    pcm.cbSize = 0;
    return pcm;
}

const Codec kPcmCodec = {WAVE_FORMAT_PCM, DescribePcm, PcmSize, CreatePcm, false};
const Codec kExtensiblePcmCodec = {WAVE_FORMAT_EXTENSIBLE, DescribeExtensible, ExtensibleSize, CreateExtensible, true};

const Codec* FindCodec(WORD tag) {
    static const Codec* const kCodecs[] = {&kPcmCodec,     &kExtensiblePcmCodec, &kImaAdpcmCodec, &kMsAdpcmCodec,
                                           &kMpegLayer3Codec, &kMpegCodec};
    for (const Codec* codec : kCodecs)
        if (codec->tag == tag) return codec;
    return nullptr;
}

}  // namespace msacm
