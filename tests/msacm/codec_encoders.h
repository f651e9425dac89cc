// Encoders the codec tests make their inputs with: a synthesized tone, IMA
// and Microsoft ADPCM blocks (each encoder tracks the exact values a decoder
// must give back), MP3 through LAME and Ogg Vorbis through libvorbisenc.
#pragma once

#include "le_bytes.h"

#include <lame/lame.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace codectest {

// frames of an interleaved sine tone; each channel a different pitch.
inline std::vector<int16_t> Tone(int frames, int channels, int rate, double hertz = 440.0, double amplitude = 9000.0) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hertz * (c + 1) * i / rate)));
    return out;
}

// The samples with noise of up to +-amplitude added: data that does not
// compress to almost nothing.
inline std::vector<int16_t> WithNoise(std::vector<int16_t> samples, int amplitude = 1000, uint32_t seed = 1) {
    for (auto& s : samples) {
        seed = seed * 1103515245u + 12345u;
        const int noise = static_cast<int>((seed >> 8) % (2u * amplitude + 1)) - amplitude;
        s = static_cast<int16_t>(std::clamp(s + noise, -32768, 32767));
    }
    return samples;
}

inline std::vector<int16_t> AsSamples(const uint8_t* bytes, size_t size) {
    std::vector<int16_t> out(size / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return out;
}
inline std::vector<int16_t> AsSamples(const Bytes& bytes) { return AsSamples(bytes.data(), bytes.size()); }

// Root mean square of a - b over their common length, relative to the RMS of b.
inline double RelativeError(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    const size_t n = std::min(a.size(), b.size());
    double error = 0, power = 0;
    for (size_t i = 0; i < n; ++i) {
        const double d = double(a[i]) - double(b[i]);
        error += d * d;
        power += double(b[i]) * double(b[i]);
    }
    return power > 0 ? std::sqrt(error / power) : 1.0;
}

// ---- IMA ADPCM ---------------------------------------------------------------------

constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

inline int ImaSamplesPerBlock(int channels, int blockAlign) { return (blockAlign - 4 * channels) / (4 * channels) * 8 + 1; }

struct Encoded {
    Bytes data;                   // the coded blocks
    std::vector<int16_t> decoded;  // what a decoder gives back, interleaved
};

// Whole blocks; the last one is filled up with the final sample.
inline Encoded EncodeImaAdpcm(const std::vector<int16_t>& pcm, int channels, int blockAlign) {
    static const int kIndexChange[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    const int perBlock = ImaSamplesPerBlock(channels, blockAlign);
    const size_t frames = pcm.size() / channels;
    const size_t blocks = (frames + perBlock - 1) / perBlock;
    Encoded out;
    out.decoded.resize(blocks * perBlock * channels);
    auto input = [&](size_t frame, int c) { return pcm[std::min(frame, frames - 1) * channels + c]; };
    int indices[2] = {0, 0};  // each block goes on with the step the last one reached
    for (size_t b = 0; b < blocks; ++b) {
        Bytes block(static_cast<size_t>(blockAlign), 0);
        for (int c = 0; c < channels; ++c) {
            int predictor = input(b * perBlock, c);
            int& index = indices[c];
            block[4 * c] = static_cast<uint8_t>(predictor);
            block[4 * c + 1] = static_cast<uint8_t>(predictor >> 8);
            block[4 * c + 2] = static_cast<uint8_t>(index);
            out.decoded[(b * perBlock) * channels + c] = static_cast<int16_t>(predictor);
            for (int n = 1; n < perBlock; ++n) {
                const int step = kImaSteps[index];
                int diff = input(b * perBlock + n, c) - predictor;
                int nibble = 0;
                if (diff < 0) {
                    nibble = 8;
                    diff = -diff;
                }
                int delta = step >> 3;
                if (diff >= step) { nibble |= 4; diff -= step; delta += step; }
                if (diff >= step >> 1) { nibble |= 2; diff -= step >> 1; delta += step >> 1; }
                if (diff >= step >> 2) { nibble |= 1; delta += step >> 2; }
                predictor = std::clamp(predictor + ((nibble & 8) ? -delta : delta), -32768, 32767);
                index = std::clamp(index + kIndexChange[nibble & 7], 0, 88);
                const int k = n - 1;
                uint8_t& byte = block[4 * channels + (k / 8) * 4 * channels + 4 * c + (k % 8) / 2];
                byte |= static_cast<uint8_t>((k & 1) ? nibble << 4 : nibble);
                out.decoded[(b * perBlock + n) * channels + c] = static_cast<int16_t>(predictor);
            }
        }
        out.data.insert(out.data.end(), block.begin(), block.end());
    }
    return out;
}

// The "fmt " fields every ADPCM format starts with: 4-bit samples, the size
// of what follows the WAVEFORMATEX (extraBytes), and the samples a block holds.
inline Bytes AdpcmFmtHead(uint16_t tag, int channels, uint32_t rate, int blockAlign, int perBlock, int extraBytes) {
    Bytes b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, static_cast<uint32_t>(uint64_t{rate} * blockAlign / perBlock));
    Put16(b, blockAlign);
    Put16(b, 4);
    Put16(b, extraBytes);
    Put16(b, perBlock);
    return b;
}

// The 20-byte "fmt " body of IMA ADPCM.
inline Bytes ImaFmtBody(int channels, uint32_t rate, int blockAlign) {
    return AdpcmFmtHead(0x11, channels, rate, blockAlign, ImaSamplesPerBlock(channels, blockAlign), 2);
}

// ---- Microsoft ADPCM -------------------------------------------------------------------

constexpr int kMsCoefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

inline int MsSamplesPerBlock(int channels, int blockAlign) { return (blockAlign - 7 * channels) * 2 / channels + 2; }

// Every block uses coefficient pair `pair`.
inline Encoded EncodeMsAdpcm(const std::vector<int16_t>& pcm, int channels, int blockAlign, int pair = 1) {
    const int perBlock = MsSamplesPerBlock(channels, blockAlign);
    const size_t frames = pcm.size() / channels;
    const size_t blocks = (frames + perBlock - 1) / perBlock;
    Encoded out;
    out.decoded.resize(blocks * perBlock * channels);
    auto input = [&](size_t frame, int c) { return pcm[std::min(frame, frames - 1) * channels + c]; };
    for (size_t b = 0; b < blocks; ++b) {
        Bytes block(static_cast<size_t>(blockAlign), 0);
        int delta[2], s1[2], s2[2];
        const size_t base = b * perBlock;
        for (int c = 0; c < channels; ++c) {
            delta[c] = 16;
            s2[c] = input(base, c);
            s1[c] = input(base + 1, c);
            block[c] = static_cast<uint8_t>(pair);
            auto put = [&](int offset, int v) {
                block[offset] = static_cast<uint8_t>(v);
                block[offset + 1] = static_cast<uint8_t>(v >> 8);
            };
            put(channels + 2 * c, delta[c]);
            put(3 * channels + 2 * c, s1[c]);
            put(5 * channels + 2 * c, s2[c]);
            out.decoded[base * channels + c] = static_cast<int16_t>(s2[c]);
            out.decoded[(base + 1) * channels + c] = static_cast<int16_t>(s1[c]);
        }
        int nibbleIndex = 0;
        for (int n = 2; n < perBlock; ++n) {
            for (int c = 0; c < channels; ++c, ++nibbleIndex) {
                const int predicted = (s1[c] * kMsCoefficients[pair][0] + s2[c] * kMsCoefficients[pair][1]) >> 8;
                const int error = input(base + n, c) - predicted;
                int code = (error + (error >= 0 ? delta[c] / 2 : -delta[c] / 2)) / delta[c];
                code = std::clamp(code, -8, 7);
                const int sample = std::clamp(predicted + code * delta[c], -32768, 32767);
                s2[c] = s1[c];
                s1[c] = sample;
                const int nibble = code & 0x0F;
                delta[c] = std::max(16, kMsAdaptation[nibble] * delta[c] / 256);
                uint8_t& byte = block[7 * channels + nibbleIndex / 2];
                byte |= static_cast<uint8_t>((nibbleIndex & 1) ? nibble : nibble << 4);
                out.decoded[(base + n) * channels + c] = static_cast<int16_t>(sample);
            }
        }
        out.data.insert(out.data.end(), block.begin(), block.end());
    }
    return out;
}

// The 50-byte "fmt " body of Microsoft ADPCM with the seven standard pairs.
inline Bytes MsAdpcmFmtBody(int channels, uint32_t rate, int blockAlign) {
    Bytes b = AdpcmFmtHead(0x02, channels, rate, blockAlign, MsSamplesPerBlock(channels, blockAlign), 32);
    Put16(b, 7);
    for (const auto& pair : kMsCoefficients) {
        Put16(b, static_cast<uint16_t>(pair[0]));
        Put16(b, static_cast<uint16_t>(pair[1]));
    }
    return b;
}

// ---- extensible PCM -------------------------------------------------------------------

// The sub-format GUIDs as a file holds them: PCM, and IEEE float (a non-PCM one).
constexpr uint8_t kPcmSubFormat[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
constexpr uint8_t kFloatSubFormat[16] = {3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

// The 40-byte "fmt " body of WAVE_FORMAT_EXTENSIBLE; cbSize as given.
inline Bytes ExtensibleFmtBody(int channels, uint32_t rate, int bits, const uint8_t (&subFormat)[16] = kPcmSubFormat,
                               int cbSize = 22) {
    const int align = channels * bits / 8;
    Bytes b;
    for (uint32_t v : {0xFFFEu, uint32_t(channels)}) Put16(b, v);
    Put32(b, rate);
    Put32(b, rate * align);
    for (uint32_t v : {uint32_t(align), uint32_t(bits), uint32_t(cbSize), uint32_t(bits)}) Put16(b, v);
    Put32(b, channels == 1 ? 0x4 : 0x3);  // front centre, or front left and right
    b.insert(b.end(), subFormat, subFormat + 16);
    return b;
}

// 16-bit samples in containers of `bits`: 8-bit ones unsigned (the top byte
// plus 128), wider ones with filler below the 16 bits that carry the sample.
inline Bytes SamplesInWidth(const std::vector<int16_t>& samples, int bits) {
    Bytes b;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (bits == 8) {
            b.push_back(static_cast<uint8_t>((samples[i] >> 8) + 128));
            continue;
        }
        for (int k = 16; k < bits; k += 8) b.push_back(static_cast<uint8_t>(0x5A + 37 * i + k));
        Put16(b, static_cast<uint16_t>(samples[i]));
    }
    return b;
}

// ---- MP3 (LAME) -------------------------------------------------------------------

struct Mp3 {
    Bytes bytes;
    int frames = 0;  // audio frames, the information frame not counted
    bool infoFrame = false;
};

// Constant bit rate; infoFrame writes a LAME information frame first.
inline Mp3 EncodeMp3(const std::vector<int16_t>& pcm, int channels, int rate, int kbps = 64, bool infoFrame = true) {
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, kbps);
    lame_set_VBR(lame, vbr_off);
    lame_set_bWriteVbrTag(lame, infoFrame ? 1 : 0);
    lame_set_quality(lame, 7);
    Mp3 out;
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return out;
    }
    const int frames = static_cast<int>(pcm.size() / channels);
    std::vector<int16_t> left(frames), right(frames);
    for (int i = 0; i < frames; ++i) {
        left[i] = pcm[static_cast<size_t>(i) * channels];
        right[i] = pcm[static_cast<size_t>(i) * channels + channels - 1];
    }
    Bytes buffer(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    int n = lame_encode_buffer(lame, left.data(), right.data(), frames, buffer.data(), static_cast<int>(buffer.size()));
    n += lame_encode_flush(lame, buffer.data() + n, static_cast<int>(buffer.size()) - n);
    buffer.resize(static_cast<size_t>(n));
    if (infoFrame) {
        uint8_t tag[4096];
        const size_t size = lame_get_lametag_frame(lame, tag, sizeof tag);
        if (size > 0 && size <= buffer.size()) std::memcpy(buffer.data(), tag, size);
    }
    out.frames = lame_get_frameNum(lame);
    out.infoFrame = infoFrame;
    out.bytes = std::move(buffer);
    lame_close(lame);
    return out;
}

// An ID3v2 header of the given version and flags, with body bytes of 0xFF
// (which no frame scan could take for usable headers).
inline Bytes Id3Tag(uint32_t bodySize, uint8_t version = 3, uint8_t flags = 0) {
    Bytes b = {'I', 'D', '3', version, 0, flags};
    b.push_back(static_cast<uint8_t>((bodySize >> 21) & 0x7F));
    b.push_back(static_cast<uint8_t>((bodySize >> 14) & 0x7F));
    b.push_back(static_cast<uint8_t>((bodySize >> 7) & 0x7F));
    b.push_back(static_cast<uint8_t>(bodySize & 0x7F));
    b.insert(b.end(), bodySize, 0xFF);
    return b;
}

// A 128-byte ID3v1 block: "TAG" then 0xFF bytes.
inline Bytes TrailingTag() {
    Bytes b = {'T', 'A', 'G'};
    b.insert(b.end(), 125, 0xFF);
    return b;
}

// ---- Ogg Vorbis (libvorbisenc) -----------------------------------------------------------

using Pages = std::vector<Bytes>;

inline Bytes PageBytes(const ogg_page& page) {
    Bytes b(page.header, page.header + page.header_len);
    b.insert(b.end(), page.body, page.body + page.body_len);
    return b;
}

inline Bytes Join(const Pages& pages) {
    Bytes all;
    for (const Bytes& p : pages) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The pages of one Vorbis stream of the interleaved samples.
inline Pages EncodeOggPages(const std::vector<int16_t>& pcm, int channels, int rate, int serial = 1,
                            float quality = 0.4f) {
    vorbis_info info;
    vorbis_info_init(&info);
    Pages pages;
    if (vorbis_encode_init_vbr(&info, channels, rate, quality) != 0) {
        vorbis_info_clear(&info);
        return pages;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    ogg_packet header, commentHeader, codeHeader;
    vorbis_analysis_headerout(&dsp, &comment, &header, &commentHeader, &codeHeader);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &commentHeader);
    ogg_stream_packetin(&stream, &codeHeader);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) pages.push_back(PageBytes(page));

    auto drain = [&]() {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) pages.push_back(PageBytes(page));
            }
        }
    };
    const size_t frames = pcm.size() / channels;
    for (size_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<size_t>(1024, frames - done));
        float** buffer = vorbis_analysis_buffer(&dsp, n);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c) buffer[c][i] = pcm[(done + i) * channels + c] / 32768.0f;
        vorbis_analysis_wrote(&dsp, n);
        drain();
        done += static_cast<size_t>(n);
    }
    vorbis_analysis_wrote(&dsp, 0);
    drain();
    while (ogg_stream_flush(&stream, &page) != 0) pages.push_back(PageBytes(page));

    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return pages;
}

inline Bytes EncodeOgg(const std::vector<int16_t>& pcm, int channels, int rate, int serial = 1) {
    return Join(EncodeOggPages(pcm, channels, rate, serial));
}

// The pages of a logical stream that is not Vorbis (it starts like a Theora
// stream): a first page, `count` data pages, and a last page.
inline Pages OtherStreamPages(int serial, int count) {
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    Pages pages;
    ogg_page page;
    for (int i = 0; i <= count + 1; ++i) {
        Bytes body(40, static_cast<uint8_t>(i));
        if (i == 0) std::memcpy(body.data(), "\x80theora", 7);
        ogg_packet packet{};
        packet.packet = body.data();
        packet.bytes = static_cast<long>(body.size());
        packet.b_o_s = i == 0;
        packet.e_o_s = i == count + 1;
        packet.granulepos = i;
        packet.packetno = i;
        ogg_stream_packetin(&stream, &packet);
        while (ogg_stream_flush(&stream, &page) != 0) pages.push_back(PageBytes(page));
    }
    ogg_stream_clear(&stream);
    return pages;
}

// A movie-like file: the other stream's first page, then the Vorbis stream's
// pages with the other stream's pages in between.
inline Bytes MultiplexWithOtherStream(const Pages& vorbis, int otherSerial) {
    const Pages other = OtherStreamPages(otherSerial, static_cast<int>(vorbis.size()));
    Pages all = {other[0]};
    for (size_t i = 0; i < vorbis.size(); ++i) {
        all.push_back(vorbis[i]);
        if (i >= 1 && i + 1 < other.size()) all.push_back(other[i]);
    }
    for (size_t i = vorbis.size(); i < other.size(); ++i)
        if (i >= 1) all.push_back(other[i]);
    return Join(all);
}

}  // namespace codectest
