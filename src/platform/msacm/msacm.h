// MSACM stand-in: the Audio Compression Manager calls that decode a coded
// WAVE payload to PCM, always without a driver handle.
//
// Codecs (source format -> the PCM it decodes to):
//   - WAVE_FORMAT_PCM (8 or 16 bits, 1 or 2 channels, block size and bytes
//     per second as the other fields give them) -> the same PCM;
//   - WAVE_FORMAT_EXTENSIBLE with the KSDATAFORMAT_SUBTYPE_PCM sub-format
//     (8, 16, 24 or 32 bits, 1 or 2 channels, block size and bytes per second
//     as the other fields give them, cbSize 22 or more) -> plain PCM of the
//     same samples and width (the width suggested), or 8-bit or 16-bit PCM
//     when the destination asks for it (a wider sample keeps its top bits);
//     other sub-formats give ACMERR_NOTPOSSIBLE;
//   - WAVE_FORMAT_IMA_ADPCM and WAVE_FORMAT_ADPCM (4 bits, 1 or 2 channels)
//     -> 16-bit PCM of the same channels and rate, block by block;
//   - WAVE_FORMAT_MPEGLAYER3 and WAVE_FORMAT_MPEG (MPEG-1 and MPEG-2 audio of
//     any layer, through libmpg123) -> 16-bit PCM of the same channels and rate.
// Rates run from 1 to 1,000,000 Hz. No other conversion (no change of
// channels or rate, of bits only for extensible PCM, no filters, no asynchronous streams) is offered:
// asking for one gives ACMERR_NOTPOSSIBLE (MMSYSERR_NOTSUPPORTED for filters
// and ACM_STREAMOPENF_ASYNC).
//
// Behaviour callers rely on:
//   - acmStreamConvert never writes more than cbDstLength bytes. Under
//     ACM_STREAMCONVERTF_BLOCKALIGN the block codecs convert whole source
//     blocks only (a trailing partial block gives nothing); the MPEG codec
//     takes only as much source as it can turn into output that fits, and
//     hands out every complete frame of what it took within the same call, so
//     a call that yields nothing means that no complete frame is left.
//   - A stream keeps its decoder state from one acmStreamConvert to the next;
//     ACM_STREAMCONVERTF_START starts it afresh.
//   - acmStreamSize with ACM_STREAMSIZEF_SOURCE is exact for the block codecs
//     (whole blocks) and an upper bound for MPEG (the source's average bytes
//     per second, taken as at least 1,000, the lowest bit rate, plus one
//     second); ACMERR_NOTPOSSIBLE when the answer is 0.
//   - acmMetrics(ACM_METRIC_MAX_SIZE_FORMAT) reports 50, the largest format
//     of these codecs (MS ADPCM with its seven coefficient pairs).
//   - The extra bytes of a source format (cbSize) are read only as far as the
//     codec needs them, and never beyond what cbSize states.
//
// Test seams (seams::FailCall): "acmFormatSuggest", "acmStreamOpen",
// "acmStreamSize", "acmStreamPrepareHeader", "acmStreamConvert",
// "acmStreamUnprepareHeader", "acmStreamClose" and "acmMetrics" fail with the
// chosen MMRESULT (MMSYSERR_ERROR when the test chose none) and do nothing else.
#pragma once

#include "platform/dsound/dsound.h"  // WAVEFORMATEX
#include "platform/wintypes.h"
#include "platform/winmm/winmm.h"  // MMRESULT

#include <cstdint>

struct HACMDRIVER__;
using HACMDRIVER = HACMDRIVER__*;
struct HACMSTREAM__;
using HACMSTREAM = HACMSTREAM__*;
using LPHACMSTREAM = HACMSTREAM*;
struct HACMOBJ__;
using HACMOBJ = HACMOBJ__*;

// ---- results --------------------------------------------------------------------
#define MMSYSERR_NOERROR 0
#define MMSYSERR_ERROR 1
#define MMSYSERR_INVALHANDLE 5
#define MMSYSERR_NOMEM 7
#define MMSYSERR_NOTSUPPORTED 8
#define MMSYSERR_INVALFLAG 10
#define MMSYSERR_INVALPARAM 11
#define ACMERR_BASE 512
#define ACMERR_NOTPOSSIBLE (ACMERR_BASE + 0)
#define ACMERR_BUSY (ACMERR_BASE + 1)
#define ACMERR_UNPREPARED (ACMERR_BASE + 2)
#define ACMERR_CANCELED (ACMERR_BASE + 3)

// ---- format tags and formats ------------------------------------------------------
#define WAVE_FORMAT_ADPCM 0x0002
#define WAVE_FORMAT_IMA_ADPCM 0x0011
#define WAVE_FORMAT_MPEG 0x0050
#define WAVE_FORMAT_MPEGLAYER3 0x0055
#define WAVE_FORMAT_EXTENSIBLE 0xFFFE

// The sub-format of WAVE_FORMAT_EXTENSIBLE that holds plain PCM.
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM = {0x00000001, 0x0000, 0x0010,
                                                  {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

#define MPEGLAYER3_WFX_EXTRA_BYTES 12
#define MPEGLAYER3_ID_UNKNOWN 0
#define MPEGLAYER3_ID_MPEG 1
#define MPEGLAYER3_ID_CONSTANTFRAMESIZE 2
#define MPEGLAYER3_FLAG_PADDING_ISO 0x00000000
#define MPEGLAYER3_FLAG_PADDING_ON 0x00000001
#define MPEGLAYER3_FLAG_PADDING_OFF 0x00000002

#pragma pack(push, 1)
struct MPEGLAYER3WAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wID;
    DWORD fdwFlags;
    WORD nBlockSize;
    WORD nFramesPerBlock;
    WORD nCodecDelay;
};
struct IMAADPCMWAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wSamplesPerBlock;
};
struct ADPCMCOEFSET {
    int16_t iCoef1;
    int16_t iCoef2;
};
// Followed by wNumCoef ADPCMCOEFSET pairs.
struct ADPCMWAVEFORMAT {
    WAVEFORMATEX wfx;
    WORD wSamplesPerBlock;
    WORD wNumCoef;
};
// cbSize is 22 or more.
struct WAVEFORMATEXTENSIBLE {
    WAVEFORMATEX Format;
    union {
        WORD wValidBitsPerSample;
        WORD wSamplesPerBlock;
        WORD wReserved;
    } Samples;
    DWORD dwChannelMask;
    GUID SubFormat;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEXTENSIBLE) == 40, "WAVEFORMATEXTENSIBLE is 40 bytes, packed");
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30, "MPEGLAYER3WAVEFORMAT is 30 bytes, packed");
static_assert(sizeof(IMAADPCMWAVEFORMAT) == 20, "IMAADPCMWAVEFORMAT is 20 bytes, packed");
static_assert(sizeof(ADPCMWAVEFORMAT) == 22, "ADPCMWAVEFORMAT is 22 bytes before its coefficients");

// Not used by any caller here; acmStreamOpen takes a pointer to one.
struct WAVEFILTER {
    DWORD cbStruct;
    DWORD dwFilterTag;
    DWORD fdwFilter;
    DWORD dwReserved[5];
};
using LPWAVEFILTER = WAVEFILTER*;

// ---- flags --------------------------------------------------------------------
#define ACM_FORMATSUGGESTF_WFORMATTAG 0x00010000
#define ACM_FORMATSUGGESTF_NCHANNELS 0x00020000
#define ACM_FORMATSUGGESTF_NSAMPLESPERSEC 0x00040000
#define ACM_FORMATSUGGESTF_WBITSPERSAMPLE 0x00080000
#define ACM_FORMATSUGGESTF_TYPEMASK 0x00FF0000

#define ACM_STREAMOPENF_QUERY 0x00000001
#define ACM_STREAMOPENF_ASYNC 0x00000002
#define ACM_STREAMOPENF_NONREALTIME 0x00000004

#define ACM_STREAMSIZEF_SOURCE 0x00000000
#define ACM_STREAMSIZEF_DESTINATION 0x00000001
#define ACM_STREAMSIZEF_QUERYMASK 0x0000000F

#define ACM_STREAMCONVERTF_BLOCKALIGN 0x00000004
#define ACM_STREAMCONVERTF_START 0x00000010
#define ACM_STREAMCONVERTF_END 0x00000020

#define ACMSTREAMHEADER_STATUSF_DONE 0x00010000
#define ACMSTREAMHEADER_STATUSF_PREPARED 0x00020000
#define ACMSTREAMHEADER_STATUSF_INQUEUE 0x00100000

#define ACM_METRIC_MAX_SIZE_FORMAT 50

// ---- stream header ------------------------------------------------------------------
// Pointer-sized where it holds a pointer or a user value; cbStruct must be at
// least sizeof(ACMSTREAMHEADER).
struct ACMSTREAMHEADER {
    DWORD cbStruct;
    DWORD fdwStatus;
    DWORD_PTR dwUser;
    BYTE* pbSrc;
    DWORD cbSrcLength;
    DWORD cbSrcLengthUsed;
    DWORD_PTR dwSrcUser;
    BYTE* pbDst;
    DWORD cbDstLength;
    DWORD cbDstLengthUsed;
    DWORD_PTR dwDstUser;
    DWORD dwReservedDriver[10];
};
using LPACMSTREAMHEADER = ACMSTREAMHEADER*;

// ---- calls ----------------------------------------------------------------------------
// Fills pwfxDst (cbwfxDst bytes: 16 or more; cbSize is written from 18 on)
// with the PCM format the source decodes to. The flags name fields of
// pwfxDst that are already chosen: a tag other than WAVE_FORMAT_PCM, or
// channels, rate or bits other than the codec's, give ACMERR_NOTPOSSIBLE.
MMRESULT acmFormatSuggest(HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, WAVEFORMATEX* pwfxDst, DWORD cbwfxDst,
                          DWORD fdwSuggest);
MMRESULT acmStreamOpen(LPHACMSTREAM phas, HACMDRIVER had, const WAVEFORMATEX* pwfxSrc, const WAVEFORMATEX* pwfxDst,
                       const WAVEFILTER* pwfltr, DWORD_PTR dwCallback, DWORD_PTR dwInstance, DWORD fdwOpen);
MMRESULT acmStreamClose(HACMSTREAM has, DWORD fdwClose);
MMRESULT acmStreamSize(HACMSTREAM has, DWORD cbInput, DWORD* pdwOutputBytes, DWORD fdwSize);
MMRESULT acmStreamPrepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwPrepare);
MMRESULT acmStreamConvert(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwConvert);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM has, ACMSTREAMHEADER* pash, DWORD fdwUnprepare);
MMRESULT acmMetrics(HACMOBJ hao, UINT uMetric, void* pMetric);

namespace msacm {
// Tests only: the number of streams open now.
int OpenStreamCountForTest();
}  // namespace msacm
