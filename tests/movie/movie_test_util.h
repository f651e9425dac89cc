// The movie tests' inputs: Ogg Theora files made at run time with libtheora's
// encoder from synthesized frames (optionally with an Ogg Vorbis track beside
// the video), a reference decode of such a file done the plain way (every
// packet in order through libtheora's current interface), and small helpers.
#pragma once

#include "../msacm/codec_encoders.h"
#include "../temp_folder.h"
#include "core/log.h"
#include "core/memory.h"
#include "image/image_decode.h"
#include "movie/theora_decoder.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <theora/theoradec.h>
#include <theora/theoraenc.h>
#include <unistd.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace movietest {

using Bytes = std::vector<uint8_t>;
using Pages = std::vector<Bytes>;

struct Rgb {
    int red, green, blue;
};

// The blue level that names frame k of a synthesized movie (steps of 8, so
// that a decoded frame is told apart from its neighbours).
inline int FrameTag(int k) { return 16 + 8 * (k % 28); }

// The source picture of frame k: red rises left to right, green top to
// bottom, blue is the frame's tag.
inline Rgb SourcePixel(int k, int x, int y, int width, int height) {
    return Rgb{x * 255 / std::max(1, width - 1), y * 255 / std::max(1, height - 1), FrameTag(k)};
}

// Studio-range Y'CbCr of a colour (the conversion the decoder inverts).
inline void ToYuv(const Rgb& c, double* y, double* cb, double* cr) {
    *y = 16 + (65.481 * c.red + 128.553 * c.green + 24.966 * c.blue) / 255.0;
    *cb = 128 + (-37.797 * c.red - 74.203 * c.green + 112.0 * c.blue) / 255.0;
    *cr = 128 + (112.0 * c.red - 93.786 * c.green - 18.214 * c.blue) / 255.0;
}

inline uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

struct MovieSpec {
    int width = 32;                // coded size: multiples of 16
    int height = 32;
    int pictureWidth = 0;          // the picture within the coded frame (0: the whole frame)
    int pictureHeight = 0;
    int pictureX = 0;              // its top-left corner, from the frame's top-left
    int pictureY = 0;
    int frames = 8;
    uint32_t fpsNumerator = 10;
    uint32_t fpsDenominator = 1;
    int keyInterval = 4;           // a key frame at least every keyInterval frames
    int hold = 1;                  // frames each picture is held for (frame k shows picture k / hold)
    th_pixel_fmt format = TH_PF_420;
    int noise = 0;                 // per-pixel noise of up to +-noise on Y (makes packets large)
    int pageBytes = 0;             // > 0: every packet flushed into pages of at most this many bytes
    int audioFrames = 0;           // > 0: an Ogg Vorbis track of that many samples (mono, 22050 Hz)
    bool audioFirst = true;        // the Vorbis stream's first page comes before the Theora one
    std::map<int, Bytes> framePackets{};  // frame index -> the bytes that replace its packet
};

// The page helpers of the sound codecs' test encoders serve here too.
using codectest::Join;
using codectest::PageBytes;

// Pages of one logical stream: the headers' pages apart from the data pages.
struct StreamPages {
    Pages first;    // the page that starts the stream
    Pages headers;  // the rest of the header pages
    Pages data;
};

inline void FillFramePlanes(const MovieSpec& s, int k, std::vector<uint8_t> planes[3], int chromaW, int chromaH) {
    planes[0].assign(static_cast<size_t>(s.width) * s.height, 0);
    planes[1].assign(static_cast<size_t>(chromaW) * chromaH, 0);
    planes[2].assign(static_cast<size_t>(chromaW) * chromaH, 0);
    std::vector<double> cbSum(planes[1].size(), 0), crSum(planes[1].size(), 0), count(planes[1].size(), 0);
    k /= s.hold;
    uint32_t seed = 7 + static_cast<uint32_t>(k) * 7919;
    for (int y = 0; y < s.height; ++y) {
        for (int x = 0; x < s.width; ++x) {
            double yy, cb, cr;
            ToYuv(SourcePixel(k, x, y, s.width, s.height), &yy, &cb, &cr);
            if (s.noise > 0) {
                seed = seed * 1103515245u + 12345u;
                yy += static_cast<int>((seed >> 8) % (2u * s.noise + 1)) - s.noise;
            }
            planes[0][static_cast<size_t>(y) * s.width + x] = ToByte(yy);
            const size_t c = static_cast<size_t>(y * chromaH / s.height) * chromaW + x * chromaW / s.width;
            cbSum[c] += cb;
            crSum[c] += cr;
            count[c] += 1;
        }
    }
    for (size_t c = 0; c < planes[1].size(); ++c) {
        planes[1][c] = ToByte(cbSum[c] / count[c]);
        planes[2][c] = ToByte(crSum[c] / count[c]);
    }
}

inline void TakePages(ogg_stream_state* stream, Pages* to, bool flush, int pageBytes) {
    ogg_page page;
    if (flush) {
        while ((pageBytes > 0 ? ogg_stream_flush_fill(stream, &page, pageBytes) : ogg_stream_flush(stream, &page)) != 0)
            to->push_back(PageBytes(page));
    } else {
        while (ogg_stream_pageout(stream, &page) != 0) to->push_back(PageBytes(page));
    }
}

inline StreamPages EncodeTheoraPages(const MovieSpec& s, int serial = 0x7E0) {
    th_info info;
    th_info_init(&info);
    info.frame_width = static_cast<ogg_uint32_t>(s.width);
    info.frame_height = static_cast<ogg_uint32_t>(s.height);
    info.pic_width = static_cast<ogg_uint32_t>(s.pictureWidth > 0 ? s.pictureWidth : s.width);
    info.pic_height = static_cast<ogg_uint32_t>(s.pictureHeight > 0 ? s.pictureHeight : s.height);
    info.pic_x = static_cast<ogg_uint32_t>(s.pictureX);
    info.pic_y = static_cast<ogg_uint32_t>(s.pictureY);
    info.fps_numerator = s.fpsNumerator;
    info.fps_denominator = s.fpsDenominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = s.format;
    info.quality = 63;
    info.keyframe_granule_shift = s.keyInterval > 64 ? 9 : 6;  // room for the key frame spacing
    th_enc_ctx* encoder = th_encode_alloc(&info);
    EXPECT_NE(encoder, nullptr);
    StreamPages out;
    if (encoder == nullptr) return out;
    ogg_uint32_t interval = static_cast<ogg_uint32_t>(s.keyInterval);
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof interval);
    th_comment comment;
    th_comment_init(&comment);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    ogg_packet packet;
    bool firstPacket = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        ogg_stream_packetin(&stream, &packet);
        if (firstPacket) TakePages(&stream, &out.first, true, 0);
        firstPacket = false;
    }
    TakePages(&stream, &out.headers, true, 0);
    const int chromaW = s.format == TH_PF_444 ? s.width : s.width / 2;
    const int chromaH = s.format == TH_PF_420 ? s.height / 2 : s.height;
    for (int k = 0; k < s.frames; ++k) {
        std::vector<uint8_t> planes[3];
        FillFramePlanes(s, k, planes, chromaW, chromaH);
        th_ycbcr_buffer buffer;
        buffer[0] = th_img_plane{s.width, s.height, s.width, planes[0].data()};
        buffer[1] = th_img_plane{chromaW, chromaH, chromaW, planes[1].data()};
        buffer[2] = th_img_plane{chromaW, chromaH, chromaW, planes[2].data()};
        EXPECT_EQ(th_encode_ycbcr_in(encoder, buffer), 0);
        while (th_encode_packetout(encoder, k + 1 == s.frames, &packet) > 0) {
            const auto replaced = s.framePackets.find(k);
            if (replaced != s.framePackets.end()) {
                packet.packet = const_cast<unsigned char*>(replaced->second.data());
                packet.bytes = static_cast<long>(replaced->second.size());
            }
            ogg_stream_packetin(&stream, &packet);
            if (s.pageBytes > 0) TakePages(&stream, &out.data, true, s.pageBytes);
        }
        TakePages(&stream, &out.data, false, 0);
    }
    TakePages(&stream, &out.data, true, s.pageBytes);
    ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_encode_free(encoder);
    th_info_clear(&info);
    return out;
}

// A mono 22050 Hz tone of the given length as Ogg Vorbis pages.
inline StreamPages EncodeVorbisPages(int samples, int serial = 0x50D) {
    vorbis_info info;
    vorbis_info_init(&info);
    EXPECT_EQ(vorbis_encode_init_vbr(&info, 1, 22050, 0.3f), 0);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, serial);
    StreamPages out;
    ogg_packet id, comments, codebooks;
    vorbis_analysis_headerout(&dsp, &comment, &id, &comments, &codebooks);
    ogg_stream_packetin(&stream, &id);
    TakePages(&stream, &out.first, true, 0);
    ogg_stream_packetin(&stream, &comments);
    ogg_stream_packetin(&stream, &codebooks);
    TakePages(&stream, &out.headers, true, 0);
    for (int done = 0; done <= samples;) {
        const int n = std::min(1024, samples - done);
        if (n <= 0) {
            vorbis_analysis_wrote(&dsp, 0);
            done = samples + 1;
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, n);
            for (int i = 0; i < n; ++i) buffer[0][i] = 0.25f * std::sin(2 * M_PI * 440.0 * (done + i) / 22050.0);
            vorbis_analysis_wrote(&dsp, n);
            done += n;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) ogg_stream_packetin(&stream, &packet);
        }
        TakePages(&stream, &out.data, false, 0);
    }
    TakePages(&stream, &out.data, true, 0);
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

// The movie file: every stream's first page, their other header pages, then
// the data pages of both streams taken in turn.
inline Bytes EncodeMovie(const MovieSpec& s) {
    StreamPages video = EncodeTheoraPages(s);
    if (s.audioFrames <= 0) {
        Pages all = video.first;
        all.insert(all.end(), video.headers.begin(), video.headers.end());
        all.insert(all.end(), video.data.begin(), video.data.end());
        return Join(all);
    }
    StreamPages audio = EncodeVorbisPages(s.audioFrames);
    Pages all;
    const StreamPages& a = s.audioFirst ? audio : video;
    const StreamPages& b = s.audioFirst ? video : audio;
    all.insert(all.end(), a.first.begin(), a.first.end());
    all.insert(all.end(), b.first.begin(), b.first.end());
    all.insert(all.end(), a.headers.begin(), a.headers.end());
    all.insert(all.end(), b.headers.begin(), b.headers.end());
    for (size_t i = 0; i < std::max(a.data.size(), b.data.size()); ++i) {
        if (i < a.data.size()) all.push_back(a.data[i]);
        if (i < b.data.size()) all.push_back(b.data[i]);
    }
    return Join(all);
}

// Only the Theora header pages: a stream without frames.
inline Bytes EncodeHeadersOnly(const MovieSpec& s) {
    StreamPages video = EncodeTheoraPages(s);
    Pages all = video.first;
    all.insert(all.end(), video.headers.begin(), video.headers.end());
    return Join(all);
}

// ---- a picture of X8R8G8B8 pixels ------------------------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Picture CopyPicture(const PixelImage* image) {
    Picture p;
    if (image == nullptr || image->pixels == nullptr) return p;
    p.width = image->width;
    p.height = image->height;
    p.pixels.resize(static_cast<size_t>(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(&p.pixels[static_cast<size_t>(y) * p.width],
                    static_cast<const uint8_t*>(image->pixels) + static_cast<intptr_t>(y) * image->pitch,
                    static_cast<size_t>(p.width) * 4);
    return p;
}

inline int Red(uint32_t p) { return (p >> 16) & 0xFF; }
inline int Green(uint32_t p) { return (p >> 8) & 0xFF; }
inline int Blue(uint32_t p) { return p & 0xFF; }

// The frame a synthesized picture shows, from its mean blue level.
inline int FrameShown(const Picture& p) {
    if (p.pixels.empty()) return -1;
    double sum = 0;
    for (uint32_t v : p.pixels) sum += Blue(v);
    return static_cast<int>(std::lround((sum / p.pixels.size() - 16) / 8));
}

// Mean and largest channel difference between a decoded picture and the
// source picture of frame k.
struct Difference {
    double mean = 0;
    int largest = 0;
};
inline Difference CompareWithSource(const Picture& p, int k) {
    Difference d;
    long total = 0;
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            const Rgb s = SourcePixel(k, x, y, p.width, p.height);
            const uint32_t v = p.At(x, y);
            for (int diff : {Red(v) - s.red, Green(v) - s.green, Blue(v) - s.blue}) {
                total += std::abs(diff);
                d.largest = std::max(d.largest, std::abs(diff));
            }
        }
    }
    d.mean = p.pixels.empty() ? 255 : static_cast<double>(total) / (3.0 * p.pixels.size());
    return d;
}

// How well pixels show frame k's picture of a movie made from s: the mean
// channel difference from the source with the picture where the stream states
// it, and the least of those with the picture moved a pixel any way within the
// coded frame. A picture shown at its place is nearer than every move.
struct PicturePlacement {
    double atPicture = 255;
    double movedBest = 255;
};
template <typename Pixel>
inline double MeanFromSource(Pixel pixel, const MovieSpec& s, int k, int x0, int y0) {
    const int w = s.pictureWidth > 0 ? s.pictureWidth : s.width, h = s.pictureHeight > 0 ? s.pictureHeight : s.height;
    long total = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb want = SourcePixel(k, x0 + x, y0 + y, s.width, s.height);
            const uint32_t v = pixel(x, y);
            total += std::abs(Red(v) - want.red) + std::abs(Green(v) - want.green) + std::abs(Blue(v) - want.blue);
        }
    return static_cast<double>(total) / (3.0 * w * h);
}
template <typename Pixel>
inline PicturePlacement PlacementOf(Pixel pixel, const MovieSpec& s, int k) {
    const int w = s.pictureWidth > 0 ? s.pictureWidth : s.width, h = s.pictureHeight > 0 ? s.pictureHeight : s.height;
    PicturePlacement p;
    p.atPicture = MeanFromSource(pixel, s, k, s.pictureX, s.pictureY);
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int x0 = s.pictureX + dx, y0 = s.pictureY + dy;
            if ((dx == 0 && dy == 0) || x0 < 0 || y0 < 0 || x0 + w > s.width || y0 + h > s.height) continue;
            p.movedBest = std::min(p.movedBest, MeanFromSource(pixel, s, k, x0, y0));
        }
    return p;
}

// Every frame of the file decoded packet by packet in order with libtheora's
// current interface, converted as the decoder converts; keys (when given)
// gets 1 for each key frame and 0 for each other frame.
inline std::vector<Picture> ReferenceDecode(const Bytes& file, std::vector<int>* keys = nullptr) {
    std::vector<Picture> frames;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, static_cast<long>(file.size()));
    std::memcpy(buffer, file.data(), file.size());
    ogg_sync_wrote(&sync, static_cast<long>(file.size()));
    th_info info;
    th_info_init(&info);
    th_comment comment;
    th_comment_init(&comment);
    th_setup_info* setup = nullptr;
    th_dec_ctx* decoder = nullptr;
    ogg_stream_state stream{};
    bool streamFound = false;
    int serial = 0;
    ogg_page page;
    for (int got; (got = ogg_sync_pageout(&sync, &page)) != 0;) {
        if (got < 0) continue;  // bytes that are no page
        if (!streamFound && ogg_page_bos(&page)) {
            ogg_stream_state trial;
            ogg_stream_init(&trial, ogg_page_serialno(&page));
            ogg_stream_pagein(&trial, &page);
            ogg_packet packet;
            if (ogg_stream_packetout(&trial, &packet) == 1 &&
                th_decode_headerin(&info, &comment, &setup, &packet) > 0) {
                stream = trial;
                streamFound = true;
                serial = ogg_page_serialno(&page);
            } else {
                ogg_stream_clear(&trial);
            }
            continue;
        }
        if (!streamFound || ogg_page_serialno(&page) != serial) continue;
        ogg_stream_pagein(&stream, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1) {
            if (decoder == nullptr) {
                const int r = th_decode_headerin(&info, &comment, &setup, &packet);
                if (r > 0) continue;
                decoder = th_decode_alloc(&info, setup);
            }
            if (decoder == nullptr) break;
            if (th_packet_isheader(&packet)) continue;
            if (keys != nullptr) keys->push_back(th_packet_iskeyframe(&packet) == 1 ? 1 : 0);
            th_decode_packetin(decoder, &packet, nullptr);
            th_ycbcr_buffer out;
            th_decode_ycbcr_out(decoder, out);
            PixelImage image{};
            EXPECT_EQ(CreateXRGB8PixelImage(out[0].width, out[0].height, &image), 0);
            ConvertYuvToImage(YuvPlanes{out[0].data, out[1].data, out[2].data, out[0].width, out[0].height,
                                        out[0].stride, out[1].width, out[1].height, out[1].stride},
                              &image);
            frames.push_back(CopyPicture(&image));
            ReleasePixelImage(&image);
        }
    }
    if (decoder != nullptr) th_decode_free(decoder);
    th_setup_free(setup);
    if (streamFound) ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_info_clear(&info);
    ogg_sync_clear(&sync);
    return frames;
}

// ---- files and the log ------------------------------------------------------------

// Every test program runs in a directory of its own (Log.txt and the files
// the tests write land there); it is removed at exit.
inline void EnterWorkDirectory() {
    static const test_temp::Folder folder("velumi-movie");
    static bool entered = false;
    if (entered) return;
    ASSERT_FALSE(folder.Path().empty());
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    entered = true;
}

// What every movie test suite does first: its work directory, the log, and
// the colour conversion tables.
inline void PrepareMovieTests() {
    EnterWorkDirectory();
    SetLogOutputOff(0);
    OpenLogFile();
    InitYuvTables();
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string LogText() {
    std::ifstream in("Log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The log written from construction on.
class LogMark {
public:
    LogMark() : start_(LogText().size()) {}
    std::string Text() const {
        const std::string all = LogText();
        return all.size() >= start_ ? all.substr(start_) : all;
    }

private:
    size_t start_;
};

inline bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace movietest
