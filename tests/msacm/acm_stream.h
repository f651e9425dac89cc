// The shared pieces of the MSACM tests: format blocks as a file's "fmt "
// body gives them, and an open stream that converts in checked steps.
#pragma once

#include "platform/msacm/msacm.h"
#include "platform/seams/seams.h"

#include "codec_encoders.h"

#include <gtest/gtest.h>

#include <cstring>

namespace acmtest {

using namespace codectest;

// A format block with its extra bytes, as a file's "fmt " body gives it.
struct FormatBlock {
    Bytes bytes;
    const WAVEFORMATEX* get() const { return reinterpret_cast<const WAVEFORMATEX*>(bytes.data()); }
};

inline FormatBlock Ima(int channels, uint32_t rate, int blockAlign) { return {ImaFmtBody(channels, rate, blockAlign)}; }
inline FormatBlock MsAdpcm(int channels, uint32_t rate, int blockAlign) { return {MsAdpcmFmtBody(channels, rate, blockAlign)}; }

inline WAVEFORMATEX Suggest(const WAVEFORMATEX* source) {
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, source, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    return pcm;
}

// An open stream that closes itself.
struct Stream {
    HACMSTREAM handle = nullptr;
    WAVEFORMATEX pcm{};
    Stream(const WAVEFORMATEX* source) {
        pcm = Suggest(source);
        EXPECT_EQ(acmStreamOpen(&handle, nullptr, source, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME),
                  MMSYSERR_NOERROR);
    }
    ~Stream() {
        if (handle != nullptr) acmStreamClose(handle, 0);
    }

    // One prepared, converted and unprepared step; the destination is checked
    // for bytes written past its length.
    struct Step {
        uint32_t srcUsed, dstUsed;
        MMRESULT result;
    };
    Step Convert(const uint8_t* src, uint32_t srcLength, uint8_t* dst, uint32_t dstLength,
                 DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN) {
        Bytes guarded(dstLength + 64, 0xA5);
        ACMSTREAMHEADER h{};
        h.cbStruct = sizeof h;
        h.pbSrc = const_cast<uint8_t*>(src);
        h.cbSrcLength = srcLength;
        h.pbDst = guarded.data();
        h.cbDstLength = dstLength;
        Step step{0, 0, acmStreamPrepareHeader(handle, &h, 0)};
        if (step.result != MMSYSERR_NOERROR) return step;
        step.result = acmStreamConvert(handle, &h, flags);
        EXPECT_EQ(acmStreamUnprepareHeader(handle, &h, 0), MMSYSERR_NOERROR);
        for (size_t i = dstLength; i < guarded.size(); ++i) EXPECT_EQ(guarded[i], 0xA5) << "written past the end";
        std::memcpy(dst, guarded.data(), dstLength);
        EXPECT_LE(h.cbSrcLengthUsed, srcLength);
        EXPECT_LE(h.cbDstLengthUsed, dstLength);
        step.srcUsed = h.cbSrcLengthUsed;
        step.dstUsed = h.cbDstLengthUsed;
        return step;
    }

    // Converts all of src in steps of at most `step` source bytes into a
    // destination of `room` bytes, as the sound converter does.
    std::vector<int16_t> ConvertAll(const Bytes& src, uint32_t step, uint32_t room, int* emptyCalls = nullptr) {
        Bytes out, dst(room);
        size_t position = 0;
        int empty = 0;
        while (position < src.size()) {
            const uint32_t length = static_cast<uint32_t>(std::min<size_t>(step, src.size() - position));
            const Step s = Convert(src.data() + position, length, dst.data(), room);
            if (s.dstUsed == 0) ++empty;
            if (s.srcUsed == 0 && s.dstUsed == 0) break;
            out.insert(out.end(), dst.begin(), dst.begin() + s.dstUsed);
            position += s.srcUsed;
        }
        if (emptyCalls) *emptyCalls = empty;
        return AsSamples(out);
    }
};

class MsacmTest : public ::testing::Test {
protected:
    void SetUp() override { seams::ClearAllCalls(); }
    void TearDown() override {
        seams::ClearAllCalls();
        EXPECT_EQ(msacm::OpenStreamCountForTest(), 0) << "streams left open";
    }
};

}  // namespace acmtest
