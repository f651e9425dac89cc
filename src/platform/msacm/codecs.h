// The codecs behind the MSACM stand-in: each checks a source format, names
// the PCM it decodes to, sizes conversions and makes a decoder.
#pragma once

#include "platform/msacm/msacm.h"

#include <cstdint>
#include <memory>

namespace msacm {

constexpr uint32_t kMaxRate = 1000000;

// The decoding state of one stream.
class Decoder {
public:
    virtual ~Decoder() = default;
    // Forgets everything decoded so far (a fresh start of the stream).
    virtual void Restart() = 0;
    // Decodes from src into dst, never writing more than dstLength bytes;
    // reports the source bytes taken and the bytes written.
    virtual void Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength,
                         uint32_t* srcUsed, uint32_t* dstUsed) = 0;
};

struct Codec {
    WORD tag;
    // Checks a source format (its extra bytes only as far as cbSize states)
    // and fills *pcm with the format it decodes to: 0 or ACMERR_NOTPOSSIBLE.
    MMRESULT (*describe)(const WAVEFORMATEX& source, WAVEFORMATEX* pcm);
    // Output bytes for `bytes` of source (fromSource), or the source bytes
    // that give `bytes` of output; 0 when there is no answer.
    uint64_t (*size)(const WAVEFORMATEX& source, const WAVEFORMATEX& pcm, uint32_t bytes, bool fromSource);
    // A decoder for a source format that describe accepted; null when it
    // cannot be made.
    std::unique_ptr<Decoder> (*create)(const WAVEFORMATEX& source, const WAVEFORMATEX& pcm);
    // True when the codec gives 8-bit or 16-bit PCM, as the caller asks;
    // describe names the one it gives when not asked.
    bool anyPcmBits;
};

// The codec for a source format tag, or null.
const Codec* FindCodec(WORD tag);

// The PCM formats the codecs give: 16 bits unless told otherwise.
WAVEFORMATEX PcmFormat(WORD channels, DWORD rate, WORD bits = 16);

extern const Codec kPcmCodec;
extern const Codec kExtensiblePcmCodec;
extern const Codec kImaAdpcmCodec;
extern const Codec kMsAdpcmCodec;
extern const Codec kMpegLayer3Codec;
extern const Codec kMpegCodec;

}  // namespace msacm
