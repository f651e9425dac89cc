// Shared by the tests of the library's own DirectShow filters and the roads
// that stand on them: media types and samples made by hand, the filters'
// live count, and movies written with FFmpeg's encoders (MPEG-1, MJPEG in
// AVI, MPEG-4 in MP4, VP8 in WebM), each frame the synthesized picture of
// the Theora tests so that a shown frame can be named by its blue level.
#pragma once

#include "../movie/movie_test_util.h"
#include "platform/dshow/dshow_base.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace dstest {

using movietest::Bytes;

// A media type of the three GUIDs, with a format block of the given bytes.
inline MediaTypeValue TypeOf(const GUID& major, const GUID& sub, const GUID& format = GUID_NULL,
                             const void* block = nullptr, ULONG bytes = 0) {
    MediaTypeValue type;
    type.majortype = major;
    type.subtype = sub;
    type.formattype = format;
    if (block != nullptr) type.SetFormat(block, bytes);
    return type;
}

// An RGB24 video type of the given size (a negative height: top-down rows).
inline MediaTypeValue VideoType(int32_t width, int32_t height, const GUID& sub = MEDIASUBTYPE_RGB24,
                                const GUID& format = FORMAT_VideoInfo) {
    VIDEOINFOHEADER info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    return TypeOf(MEDIATYPE_Video, sub, format, &info, sizeof info);
}

// A sample over bytes of its own, with one reference held by the holder.
class Sample {
public:
    explicit Sample(Bytes bytes) : bytes_(std::move(bytes)) {
        sample_ = new MediaSample("test", nullptr, nullptr, bytes_.data(), static_cast<LONG>(bytes_.size()));
        sample_->AddRef();
        sample_->SetActualDataLength(static_cast<LONG>(bytes_.size()));
    }
    ~Sample() { sample_->Release(); }
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    MediaSample* get() const { return sample_; }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
    MediaSample* sample_;
};

// ---- movies written with FFmpeg ------------------------------------------------------

struct AvMovie {
    const char* what;
    const char* container;  // libavformat's short name
    AVCodecID video;
    AVCodecID audio;        // AV_CODEC_ID_NONE: no sound track
    const char* extension;
    int width = 64;
    int height = 48;
    int pictures = 6;  // each held for `hold` frames, so that a poll never misses one
    int hold = 5;
    int fps = 25;      // a rate every one of the encoders takes
    int Frames() const { return pictures * hold; }
};

// The movies every test that plays one goes through.
inline const std::vector<AvMovie>& MovieFormats() {
    static const std::vector<AvMovie> formats = {
        {"MPEG-1 with MPEG audio", "mpeg", AV_CODEC_ID_MPEG1VIDEO, AV_CODEC_ID_MP2, "mpg"},
        {"MJPEG AVI with PCM", "avi", AV_CODEC_ID_MJPEG, AV_CODEC_ID_PCM_S16LE, "avi"},
        {"MPEG-4 MP4 with AAC", "mp4", AV_CODEC_ID_MPEG4, AV_CODEC_ID_AAC, "mp4"},
        {"VP8 WebM with Vorbis", "webm", AV_CODEC_ID_VP8, AV_CODEC_ID_VORBIS, "webm"},
    };
    return formats;
}

namespace detail {

struct Stream {
    AVStream* stream = nullptr;
    AVCodecContext* codec = nullptr;
};

inline Stream AddStream(AVFormatContext* format, AVCodecID id, const AvMovie& m, bool video) {
    Stream s;
    const AVCodec* codec = avcodec_find_encoder(id);
    EXPECT_NE(codec, nullptr) << m.what;
    if (codec == nullptr) return s;
    s.stream = avformat_new_stream(format, nullptr);
    s.codec = avcodec_alloc_context3(codec);
    if (video) {
        s.codec->width = m.width;
        s.codec->height = m.height;
        s.codec->time_base = AVRational{1, m.fps};
        s.codec->framerate = AVRational{m.fps, 1};
        s.codec->pix_fmt = id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
        s.codec->gop_size = 1;  // every frame a key frame: any frame shows alone
        s.codec->bit_rate = 2000000;
        s.codec->global_quality = FF_QP2LAMBDA * 2;
        s.codec->flags |= AV_CODEC_FLAG_QSCALE;
    } else {
        s.codec->sample_rate = 44100;
        s.codec->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        av_channel_layout_default(&s.codec->ch_layout, 2);
        s.codec->bit_rate = 128000;
        s.codec->time_base = AVRational{1, 44100};
        s.codec->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    }
    if (format->oformat->flags & AVFMT_GLOBALHEADER) s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    EXPECT_EQ(avcodec_open2(s.codec, codec, nullptr), 0) << m.what;
    avcodec_parameters_from_context(s.stream->codecpar, s.codec);
    s.stream->time_base = s.codec->time_base;
    return s;
}

inline void Drain(AVFormatContext* format, Stream& s, AVFrame* frame) {
    if (s.codec == nullptr) return;
    avcodec_send_frame(s.codec, frame);
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(s.codec, packet) == 0) {
        av_packet_rescale_ts(packet, s.codec->time_base, s.stream->time_base);
        packet->stream_index = s.stream->index;
        av_interleaved_write_frame(format, packet);
    }
    av_packet_free(&packet);
}

// Frame k of the synthesized movie: red left to right, green top to bottom,
// blue the frame's tag.
inline void FillPicture(AVFrame* frame, int k, int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const movietest::Rgb c = movietest::SourcePixel(k, x, y, width, height);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(c.red);
            p[1] = static_cast<uint8_t>(c.green);
            p[2] = static_cast<uint8_t>(c.blue);
        }
    SwsContext* scale = sws_getContext(width, height, AV_PIX_FMT_RGB24, width, height,
                                       static_cast<AVPixelFormat>(frame->format), SWS_BICUBIC, nullptr, nullptr,
                                       nullptr);
    const uint8_t* planes[1] = {rgb.data()};
    const int strides[1] = {width * 3};
    sws_scale(scale, planes, strides, 0, height, frame->data, frame->linesize);
    sws_freeContext(scale);
}

// A quiet 440 Hz tone in the encoder's sample format, for the frame's time.
inline void FillSound(AVFrame* frame, int64_t first) {
    for (int i = 0; i < frame->nb_samples; ++i) {
        const double v = 0.2 * std::sin(2 * M_PI * 440.0 * static_cast<double>(first + i) / 44100.0);
        for (int c = 0; c < 2; ++c) {
            switch (frame->format) {
                case AV_SAMPLE_FMT_S16:
                    reinterpret_cast<int16_t*>(frame->data[0])[2 * i + c] = static_cast<int16_t>(v * 32767);
                    break;
                case AV_SAMPLE_FMT_S16P:
                    reinterpret_cast<int16_t*>(frame->data[c])[i] = static_cast<int16_t>(v * 32767);
                    break;
                case AV_SAMPLE_FMT_FLTP:
                    reinterpret_cast<float*>(frame->data[c])[i] = static_cast<float>(v);
                    break;
                default:
                    break;
            }
        }
    }
}

inline void WriteSound(AVFormatContext* format, Stream& s, double seconds) {
    if (s.codec == nullptr) return;
    const int perFrame = s.codec->frame_size > 0 ? s.codec->frame_size : 1024;
    const int64_t total = static_cast<int64_t>(seconds * 44100);
    AVFrame* frame = av_frame_alloc();
    for (int64_t done = 0; done < total; done += perFrame) {
        frame->nb_samples = perFrame;
        frame->format = s.codec->sample_fmt;
        frame->sample_rate = 44100;
        av_channel_layout_copy(&frame->ch_layout, &s.codec->ch_layout);
        av_frame_get_buffer(frame, 0);
        FillSound(frame, done);
        frame->pts = done;
        Drain(format, s, frame);
        av_frame_unref(frame);
    }
    Drain(format, s, nullptr);
    av_frame_free(&frame);
}

}  // namespace detail

// Writes the movie to path; false when FFmpeg refused something.
inline bool WriteAvMovie(const AvMovie& m, const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, m.container, path.c_str()) < 0) return false;
    detail::Stream video = detail::AddStream(format, m.video, m, true);
    detail::Stream audio;
    if (m.audio != AV_CODEC_ID_NONE) audio = detail::AddStream(format, m.audio, m, false);
    bool ok = video.codec != nullptr && avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
              avformat_write_header(format, nullptr) >= 0;
    if (ok) {
        AVFrame* frame = av_frame_alloc();
        for (int k = 0; k < m.Frames(); ++k) {
            frame->format = video.codec->pix_fmt;
            frame->width = m.width;
            frame->height = m.height;
            av_frame_get_buffer(frame, 0);
            detail::FillPicture(frame, k / m.hold, m.width, m.height);
            frame->pts = k;
            detail::Drain(format, video, frame);
            av_frame_unref(frame);
        }
        detail::Drain(format, video, nullptr);
        av_frame_free(&frame);
        detail::WriteSound(format, audio, static_cast<double>(m.Frames()) / m.fps);
        ok = av_write_trailer(format) == 0;
        avio_closep(&format->pb);
    }
    for (detail::Stream* s : {&video, &audio}) avcodec_free_context(&s->codec);
    avformat_free_context(format);
    return ok;
}

// The picture a 24-bit frame (B, G, R bytes, rows of pitch) shows, from its
// mean blue level; -1 for no frame.
inline int FrameOf24(const PixelImage& p) {
    if (p.pixels == nullptr || p.width <= 0 || p.height <= 0) return -1;
    double sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            sum += static_cast<const uint8_t*>(p.pixels)[static_cast<size_t>(y) * p.pitch + 3 * x];
    return static_cast<int>(std::lround((sum / (p.width * p.height) - 16) / 8));
}

}  // namespace dstest
