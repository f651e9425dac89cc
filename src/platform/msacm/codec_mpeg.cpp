// The MPEG audio codec of the MSACM stand-in (MPEG-1 and MPEG-2, layers I to
// III, described as WAVE_FORMAT_MPEGLAYER3 or WAVE_FORMAT_MPEG), decoded
// through libmpg123 in feed mode into 16-bit PCM of the source's channels
// and rate.
//
// A leading Xing or LAME information frame is decoded as the silent frame it
// is (the caller counts it as a frame) and no gapless trimming is done, so
// every frame gives its full sample count. Source bytes are fed in pieces
// small enough that everything they complete fits the destination: the
// decoder never holds decoded samples back once its source is used up.
#include "platform/msacm/codecs.h"

#include <mpg123.h>

#include <algorithm>
#include <mutex>

namespace msacm {
namespace {

// The smallest frame of any layer carries 24 bytes (MPEG-2 Layer III at 8
// kbit/s and 24 kHz); no frame gives more than 1,152 samples per channel.
constexpr uint32_t kMinFrameBytes = 24;
constexpr uint32_t kMaxFrameSamples = 1152;

constexpr DWORD kMpegRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

bool LibraryReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = mpg123_init() == MPG123_OK; });
    return ready;
}

MMRESULT DescribeMpeg(const WAVEFORMATEX& f, WAVEFORMATEX* pcm) {
    if (f.nChannels != 1 && f.nChannels != 2) return ACMERR_NOTPOSSIBLE;
    if (std::find(std::begin(kMpegRates), std::end(kMpegRates), f.nSamplesPerSec) == std::end(kMpegRates))
        return ACMERR_NOTPOSSIBLE;
    *pcm = PcmFormat(f.nChannels, f.nSamplesPerSec);
    return MMSYSERR_NOERROR;
}

// The lowest bit rate of any layer, 8 kbit/s, in bytes a second.
constexpr uint64_t kMinAverageBytes = 1000;

// From the source's stated average bytes per second, with one second to
// spare. No stream has fewer bytes a second than the lowest bit rate: a
// smaller (or no) statement is taken as that, so that a damaged format
// cannot make the bound for a few bytes of source run to gigabytes.
uint64_t MpegSize(const WAVEFORMATEX& f, const WAVEFORMATEX& pcm, uint32_t bytes, bool fromSource) {
    const uint64_t average = std::max<uint64_t>(f.nAvgBytesPerSec, kMinAverageBytes);
    if (fromSource) return (uint64_t{bytes} * pcm.nSamplesPerSec / average + pcm.nSamplesPerSec) * pcm.nBlockAlign;
    return (uint64_t{bytes} / pcm.nBlockAlign * average + pcm.nSamplesPerSec - 1) / pcm.nSamplesPerSec;
}

class MpegDecoder : public Decoder {
public:
    MpegDecoder(long rate, int channels) : rate_(rate), channels_(channels) {}
    ~MpegDecoder() override {
        if (handle_ != nullptr) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }

    bool Open() {
        if (!LibraryReady()) return false;
        int error = MPG123_OK;
        handle_ = mpg123_new(nullptr, &error);
        if (handle_ == nullptr) return false;
        const long mono = channels_ == 1 ? MPG123_MONO_MIX : MPG123_FORCE_STEREO;
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_FORCE_ENDIAN | mono, 0);
        mpg123_param(handle_, MPG123_REMOVE_FLAGS, MPG123_GAPLESS | MPG123_BIG_ENDIAN, 0);
        if (mpg123_format_none(handle_) != MPG123_OK ||
            mpg123_format(handle_, rate_, channels_ == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16) !=
                MPG123_OK)
            return false;
        return mpg123_open_feed(handle_) == MPG123_OK;
    }

    void Restart() override {
        mpg123_close(handle_);
        broken_ = mpg123_open_feed(handle_) != MPG123_OK;
    }

    void Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength, uint32_t* srcUsed,
                 uint32_t* dstUsed) override {
        const uint32_t frameBlock = static_cast<uint32_t>(channels_) * 2;
        dstLength -= dstLength % frameBlock;
        const uint32_t frameOutput = kMaxFrameSamples * frameBlock;
        uint32_t used = 0, written = 0;
        while (!broken_) {
            if (!Drain(dst, dstLength, &written)) {
                broken_ = true;
                break;
            }
            if (used >= srcLength) break;
            // A piece completes at most the frame in progress and one frame per
            // kMinFrameBytes: feed only what the room left can take.
            const uint32_t frames = (dstLength - written) / frameOutput;
            if (frames < 2) break;
            const uint32_t piece = std::min((frames - 1) * kMinFrameBytes, srcLength - used);
            if (mpg123_feed(handle_, src + used, piece) != MPG123_OK) {
                broken_ = true;
                break;
            }
            used += piece;
        }
        // A decoder that failed takes the rest of its source and gives nothing more.
        *srcUsed = broken_ ? srcLength : used;
        *dstUsed = written;
    }

private:
    // Hands out what the decoder holds; false on a decoding error.
    bool Drain(uint8_t* dst, uint32_t dstLength, uint32_t* written) {
        while (*written < dstLength) {
            size_t done = 0;
            const int result = mpg123_read(handle_, dst + *written, dstLength - *written, &done);
            *written += static_cast<uint32_t>(done);
            if (result == MPG123_NEED_MORE || result == MPG123_DONE) return true;
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0, encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                if (rate != rate_ || channels != channels_ || encoding != MPG123_ENC_SIGNED_16) return false;
                continue;
            }
            if (result != MPG123_OK) return false;
            if (done == 0) return true;
        }
        return true;
    }

    mpg123_handle* handle_ = nullptr;
    long rate_;
    int channels_;
    bool broken_ = false;
};

std::unique_ptr<Decoder> CreateMpeg(const WAVEFORMATEX&, const WAVEFORMATEX& pcm) {
    auto decoder = std::make_unique<MpegDecoder>(static_cast<long>(pcm.nSamplesPerSec), pcm.nChannels);
    if (!decoder->Open()) return nullptr;
    return decoder;
}

}  // namespace

const Codec kMpegLayer3Codec = {WAVE_FORMAT_MPEGLAYER3, DescribeMpeg, MpegSize, CreateMpeg, false};
const Codec kMpegCodec = {WAVE_FORMAT_MPEG, DescribeMpeg, MpegSize, CreateMpeg, false};

}  // namespace msacm
