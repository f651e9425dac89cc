// The MSACM calls: format suggestion, conversion streams and their headers,
// over the codecs of codecs.h.
#include "platform/msacm/msacm.h"

#include "platform/msacm/codecs.h"
#include "platform/seams/seams.h"

#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace msacm {
namespace {

// The extra bytes a codec may read: MS ADPCM's two words and 256 coefficient pairs.
constexpr uint32_t kMaxExtraBytes = 4 + 4 * 256;
constexpr uint32_t kMaxSizeFormat = 50;
constexpr DWORD kPreparedMark = 0x41434D50;  // "PMCA"
constexpr DWORD kOpenFlags = ACM_STREAMOPENF_QUERY | ACM_STREAMOPENF_ASYNC | ACM_STREAMOPENF_NONREALTIME |
                             0x00070000;  // the callback type bits
constexpr DWORD kConvertFlags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START | ACM_STREAMCONVERTF_END;

struct Stream {
    const Codec* codec;
    std::vector<uint8_t> source;  // the source format with the extra bytes a codec may read
    WAVEFORMATEX pcm;
    std::unique_ptr<Decoder> decoder;
    DWORD serial;

    const WAVEFORMATEX& SourceFormat() const { return *reinterpret_cast<const WAVEFORMATEX*>(source.data()); }
};

std::mutex g_streamsLock;
std::set<Stream*> g_streams;
DWORD g_nextSerial = 1;

Stream* FindStream(HACMSTREAM has) {
    std::lock_guard<std::mutex> lock(g_streamsLock);
    auto* stream = reinterpret_cast<Stream*>(has);
    return g_streams.count(stream) ? stream : nullptr;
}

// The codec and the PCM it gives for a source format.
MMRESULT Describe(const WAVEFORMATEX& source, const Codec** codec, WAVEFORMATEX* pcm) {
    *codec = FindCodec(source.wFormatTag);
    if (*codec == nullptr) return ACMERR_NOTPOSSIBLE;
    return (*codec)->describe(source, pcm);
}

// The codec's PCM with the bits asked for, when the codec gives either
// width; otherwise the codec's PCM as it is.
WAVEFORMATEX WithAskedBits(const Codec& codec, const WAVEFORMATEX& pcm, WORD bits) {
    if (!codec.anyPcmBits || (bits != 8 && bits != 16)) return pcm;
    return PcmFormat(pcm.nChannels, pcm.nSamplesPerSec, bits);
}

// A destination format is possible when it is the PCM the source decodes to;
// *pcm becomes that PCM.
bool ChooseDestination(const Codec& codec, const WAVEFORMATEX& wanted, WAVEFORMATEX* pcm) {
    *pcm = WithAskedBits(codec, *pcm, wanted.wBitsPerSample);
    return wanted.wFormatTag == WAVE_FORMAT_PCM && wanted.nChannels == pcm->nChannels &&
           wanted.nSamplesPerSec == pcm->nSamplesPerSec && wanted.wBitsPerSample == pcm->wBitsPerSample &&
           wanted.nBlockAlign == pcm->nBlockAlign;
}

std::vector<uint8_t> CopySourceFormat(const WAVEFORMATEX& source) {
    const uint32_t extra = source.cbSize < kMaxExtraBytes ? source.cbSize : kMaxExtraBytes;
    std::vector<uint8_t> copy(sizeof(WAVEFORMATEX) + extra);
    std::memcpy(copy.data(), &source, copy.size());
    auto* format = reinterpret_cast<WAVEFORMATEX*>(copy.data());
    format->cbSize = static_cast<WORD>(extra);
    return copy;
}

bool IsPreparedFor(const ACMSTREAMHEADER& header, const Stream& stream) {
    return (header.fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) && header.dwReservedDriver[0] == kPreparedMark &&
           header.dwReservedDriver[1] == stream.serial;
}

// The checks every header call starts with, in order: the stream, the header
// and the call's flags; *stream is the stream found.
MMRESULT CheckHeaderCall(HACMSTREAM has, const ACMSTREAMHEADER* pash, bool flagsKnown, Stream** stream) {
    *stream = FindStream(has);
    if (*stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (pash == nullptr || pash->cbStruct < sizeof(ACMSTREAMHEADER)) return MMSYSERR_INVALPARAM;
    return flagsKnown ? MMSYSERR_NOERROR : MMSYSERR_INVALFLAG;
}

}  // namespace

int OpenStreamCountForTest() {
    std::lock_guard<std::mutex> lock(g_streamsLock);
    return static_cast<int>(g_streams.size());
}

}  // namespace msacm

using namespace msacm;

MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, DWORD cbwfxDst,
                          DWORD fdwSuggest) {
    if (auto failed = seams::FailNow<MMRESULT>("acmFormatSuggest", MMSYSERR_ERROR)) return *failed;
    if (had != nullptr) return MMSYSERR_INVALHANDLE;
    if (pwfxSrc == nullptr || pwfxDst == nullptr || cbwfxDst < 16) return MMSYSERR_INVALPARAM;
    if (fdwSuggest & ~static_cast<DWORD>(ACM_FORMATSUGGESTF_TYPEMASK)) return MMSYSERR_INVALFLAG;
    const Codec* codec = nullptr;
    WAVEFORMATEX pcm{};
    if (const MMRESULT result = Describe(*pwfxSrc, &codec, &pcm); result != MMSYSERR_NOERROR) return result;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_WFORMATTAG) && pwfxDst->wFormatTag != WAVE_FORMAT_PCM)
        return ACMERR_NOTPOSSIBLE;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_NCHANNELS) && pwfxDst->nChannels != pcm.nChannels) return ACMERR_NOTPOSSIBLE;
    if ((fdwSuggest & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && pwfxDst->nSamplesPerSec != pcm.nSamplesPerSec)
        return ACMERR_NOTPOSSIBLE;
    if (fdwSuggest & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) {
        pcm = WithAskedBits(*codec, pcm, pwfxDst->wBitsPerSample);
        if (pwfxDst->wBitsPerSample != pcm.wBitsPerSample) return ACMERR_NOTPOSSIBLE;
    }
    std::memcpy(pwfxDst, &pcm, cbwfxDst < sizeof pcm ? cbwfxDst : sizeof pcm);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, const WAVEFORMATEX* pwfxDst,
                       const WAVEFILTER* pwfltr, DWORD_PTR, DWORD_PTR, DWORD fdwOpen) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamOpen", MMSYSERR_ERROR)) return *failed;
    const bool query = (fdwOpen & ACM_STREAMOPENF_QUERY) != 0;
    if (phas != nullptr) *phas = nullptr;
    if (had != nullptr) return MMSYSERR_INVALHANDLE;
    if ((phas == nullptr && !query) || pwfxSrc == nullptr || pwfxDst == nullptr) return MMSYSERR_INVALPARAM;
    if (fdwOpen & ~kOpenFlags) return MMSYSERR_INVALFLAG;
    if (pwfltr != nullptr || (fdwOpen & ACM_STREAMOPENF_ASYNC)) return MMSYSERR_NOTSUPPORTED;
    const Codec* codec = nullptr;
    WAVEFORMATEX pcm{};
    if (const MMRESULT result = Describe(*pwfxSrc, &codec, &pcm); result != MMSYSERR_NOERROR) return result;
    if (!ChooseDestination(*codec, *pwfxDst, &pcm)) return ACMERR_NOTPOSSIBLE;
    if (query) return MMSYSERR_NOERROR;

    auto stream = std::make_unique<Stream>();
    stream->codec = codec;
    stream->source = CopySourceFormat(*pwfxSrc);
    stream->pcm = pcm;
    stream->decoder = codec->create(stream->SourceFormat(), pcm);
    if (stream->decoder == nullptr) return MMSYSERR_NOMEM;
    std::lock_guard<std::mutex> lock(g_streamsLock);
    stream->serial = g_nextSerial++;
    *phas = reinterpret_cast<HACMSTREAM>(stream.get());
    g_streams.insert(stream.release());
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamClose", MMSYSERR_ERROR)) return *failed;
    if (fdwClose != 0) return MMSYSERR_INVALFLAG;
    std::unique_ptr<Stream> stream;
    {
        std::lock_guard<std::mutex> lock(g_streamsLock);
        auto it = g_streams.find(reinterpret_cast<Stream*>(has));
        if (it == g_streams.end()) return MMSYSERR_INVALHANDLE;
        stream.reset(*it);
        g_streams.erase(it);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD* pdwOutputBytes, DWORD fdwSize) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamSize", MMSYSERR_ERROR)) return *failed;
    Stream* stream = FindStream(has);
    if (stream == nullptr) return MMSYSERR_INVALHANDLE;
    if (pdwOutputBytes == nullptr) return MMSYSERR_INVALPARAM;
    if (fdwSize != ACM_STREAMSIZEF_SOURCE && fdwSize != ACM_STREAMSIZEF_DESTINATION) return MMSYSERR_INVALFLAG;
    const uint64_t bytes =
        stream->codec->size(stream->SourceFormat(), stream->pcm, cbInput, fdwSize == ACM_STREAMSIZEF_SOURCE);
    if (bytes == 0 || bytes > 0xFFFFFFFFu) return ACMERR_NOTPOSSIBLE;
    *pdwOutputBytes = static_cast<DWORD>(bytes);
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwPrepare) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamPrepareHeader", MMSYSERR_ERROR)) return *failed;
    Stream* stream = nullptr;
    if (const MMRESULT result = CheckHeaderCall(has, pash, fdwPrepare == 0, &stream); result != MMSYSERR_NOERROR)
        return result;
    if (pash->fdwStatus & ACMSTREAMHEADER_STATUSF_PREPARED) return MMSYSERR_INVALPARAM;
    if (pash->pbSrc == nullptr || pash->pbDst == nullptr) return MMSYSERR_INVALPARAM;
    pash->dwReservedDriver[0] = kPreparedMark;
    pash->dwReservedDriver[1] = stream->serial;
    pash->dwReservedDriver[2] = pash->cbSrcLength;
    pash->dwReservedDriver[3] = pash->cbDstLength;
    pash->fdwStatus = ACMSTREAMHEADER_STATUSF_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwConvert) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamConvert", MMSYSERR_ERROR)) return *failed;
    Stream* stream = nullptr;
    const bool flagsKnown = (fdwConvert & ~kConvertFlags) == 0;
    if (const MMRESULT result = CheckHeaderCall(has, pash, flagsKnown, &stream); result != MMSYSERR_NOERROR)
        return result;
    if (!IsPreparedFor(*pash, *stream)) return ACMERR_UNPREPARED;
    // Lengths may shrink after the header was prepared, never grow.
    if (pash->cbSrcLength > pash->dwReservedDriver[2] || pash->cbDstLength > pash->dwReservedDriver[3])
        return MMSYSERR_INVALPARAM;
    if (fdwConvert & ACM_STREAMCONVERTF_START) stream->decoder->Restart();
    pash->fdwStatus &= ~static_cast<DWORD>(ACMSTREAMHEADER_STATUSF_DONE);
    uint32_t srcUsed = 0, dstUsed = 0;
    stream->decoder->Convert(pash->pbSrc, pash->cbSrcLength, pash->pbDst, pash->cbDstLength, &srcUsed, &dstUsed);
    pash->cbSrcLengthUsed = srcUsed;
    pash->cbDstLengthUsed = dstUsed;
    pash->fdwStatus |= ACMSTREAMHEADER_STATUSF_DONE;
    return MMSYSERR_NOERROR;
}

MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwUnprepare) {
    if (auto failed = seams::FailNow<MMRESULT>("acmStreamUnprepareHeader", MMSYSERR_ERROR)) return *failed;
    Stream* stream = nullptr;
    if (const MMRESULT result = CheckHeaderCall(has, pash, fdwUnprepare == 0, &stream); result != MMSYSERR_NOERROR)
        return result;
    if (!IsPreparedFor(*pash, *stream)) return ACMERR_UNPREPARED;
    pash->fdwStatus &= ~static_cast<DWORD>(ACMSTREAMHEADER_STATUSF_PREPARED);
    std::memset(pash->dwReservedDriver, 0, sizeof pash->dwReservedDriver);
    return MMSYSERR_NOERROR;
}

MMRESULT acmMetrics(HACMOBJ hao, UINT uMetric, void* pMetric) {
    if (auto failed = seams::FailNow<MMRESULT>("acmMetrics", MMSYSERR_ERROR)) return *failed;
    if (hao != nullptr) return MMSYSERR_INVALHANDLE;
    if (pMetric == nullptr) return MMSYSERR_INVALPARAM;
    if (uMetric != ACM_METRIC_MAX_SIZE_FORMAT) return MMSYSERR_NOTSUPPORTED;
    *static_cast<DWORD*>(pMetric) = kMaxSizeFormat;
    return MMSYSERR_NOERROR;
}
