#include "media_maker.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace dshowtest {
namespace {

struct Track {
    AVCodecContext* ctx = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    int64_t next = 0;  // in the codec's time base
    ~Track() {
        av_frame_free(&frame);
        avcodec_free_context(&ctx);
    }
};

// Limited-range (or full-range) BT.601 of an RGB colour.
void ToYuv(const uint8_t* rgb, bool full, uint8_t* y, uint8_t* u, uint8_t* v) {
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    const double cb = (b - luma) / 1.772, cr = (r - luma) / 1.402;
    if (full) {
        *y = static_cast<uint8_t>(std::lround(luma));
        *u = static_cast<uint8_t>(std::lround(128 + cb));
        *v = static_cast<uint8_t>(std::lround(128 + cr));
    } else {
        *y = static_cast<uint8_t>(std::lround(16 + luma * 219 / 255));
        *u = static_cast<uint8_t>(std::lround(128 + cb * 224 / 255));
        *v = static_cast<uint8_t>(std::lround(128 + cr * 224 / 255));
    }
}

void PaintBands(AVFrame* f, bool full) {
    for (int y = 0; y < f->height; ++y)
        for (int x = 0; x < f->width; ++x) {
            uint8_t Y, U, V;
            ToYuv(kBands[x * 4 / f->width], full, &Y, &U, &V);
            f->data[0][y * f->linesize[0] + x] = Y;
            if ((x % 2) == 0 && (y % 2) == 0) {
                f->data[1][(y / 2) * f->linesize[1] + x / 2] = U;
                f->data[2][(y / 2) * f->linesize[2] + x / 2] = V;
            }
        }
}

void FillTone(AVFrame* f, int64_t first) {
    for (int i = 0; i < f->nb_samples; ++i) {
        const double s = 0.25 * std::sin(2 * M_PI * 440.0 * double(first + i) / f->sample_rate);
        for (int c = 0; c < f->ch_layout.nb_channels; ++c) {
            switch (f->format) {
                case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(f->data[0])[i * f->ch_layout.nb_channels + c] = int16_t(s * 32767); break;
                case AV_SAMPLE_FMT_S16P: reinterpret_cast<int16_t*>(f->data[c])[i] = int16_t(s * 32767); break;
                case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(f->data[0])[i * f->ch_layout.nb_channels + c] = float(s); break;
                case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(f->data[c])[i] = float(s); break;
                default: break;
            }
        }
    }
}

bool Drain(AVFormatContext* oc, Track& t, AVPacket* pkt) {
    for (;;) {
        int r = avcodec_receive_packet(t.ctx, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(pkt, t.ctx->time_base, t.stream->time_base);
        pkt->stream_index = t.stream->index;
        if (av_interleaved_write_frame(oc, pkt) < 0) return false;
    }
}

std::string OpenVideo(AVFormatContext* oc, const MovieSpec& s, Track& t) {
    const AVCodec* codec = avcodec_find_encoder_by_name(s.video);
    if (codec == nullptr) return std::string("no encoder ") + s.video;
    t.stream = avformat_new_stream(oc, nullptr);
    t.ctx = avcodec_alloc_context3(codec);
    t.ctx->width = s.width;
    t.ctx->height = s.height;
    t.ctx->time_base = {1, s.fps};
    t.ctx->framerate = {s.fps, 1};
    t.ctx->gop_size = 4;
    t.ctx->max_b_frames = 0;
    t.ctx->bit_rate = 400000;
    t.ctx->pix_fmt = codec->id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) t.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(t.ctx, codec, nullptr) < 0) return "video encoder refused";
    avcodec_parameters_from_context(t.stream->codecpar, t.ctx);
    t.stream->time_base = t.ctx->time_base;
    t.frame = av_frame_alloc();
    t.frame->format = t.ctx->pix_fmt;
    t.frame->width = s.width;
    t.frame->height = s.height;
    av_frame_get_buffer(t.frame, 0);
    return "";
}

std::string OpenAudio(AVFormatContext* oc, const MovieSpec& s, Track& t) {
    const AVCodec* codec = avcodec_find_encoder_by_name(s.audio);
    if (codec == nullptr) return std::string("no encoder ") + s.audio;
    t.stream = avformat_new_stream(oc, nullptr);
    t.ctx = avcodec_alloc_context3(codec);
    t.ctx->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    t.ctx->sample_rate = 44100;
    if (codec->supported_samplerates != nullptr) t.ctx->sample_rate = codec->supported_samplerates[0];
    for (const int* r = codec->supported_samplerates; r != nullptr && *r != 0; ++r)
        if (*r == 44100 || *r == 48000) t.ctx->sample_rate = *r;
    av_channel_layout_default(&t.ctx->ch_layout, 2);
    t.ctx->bit_rate = 128000;
    t.ctx->time_base = {1, t.ctx->sample_rate};
    t.ctx->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) t.ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(t.ctx, codec, nullptr) < 0) return "audio encoder refused";
    avcodec_parameters_from_context(t.stream->codecpar, t.ctx);
    t.stream->time_base = t.ctx->time_base;
    t.frame = av_frame_alloc();
    t.frame->format = t.ctx->sample_fmt;
    t.frame->sample_rate = t.ctx->sample_rate;
    av_channel_layout_copy(&t.frame->ch_layout, &t.ctx->ch_layout);
    t.frame->nb_samples = t.ctx->frame_size > 0 ? t.ctx->frame_size : 1024;
    av_frame_get_buffer(t.frame, 0);
    return "";
}

}  // namespace

bool HasEncoder(const char* name) { return avcodec_find_encoder_by_name(name) != nullptr; }

std::string WriteMovie(const MovieSpec& s, const std::string& path) {
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* oc = nullptr;
    if (avformat_alloc_output_context2(&oc, nullptr, s.container, path.c_str()) < 0) return "no muxer";
    Track video, audio;
    std::string why = s.video != nullptr ? OpenVideo(oc, s, video) : "";
    if (why.empty() && s.audio != nullptr) why = OpenAudio(oc, s, audio);
    AVPacket* pkt = av_packet_alloc();
    if (why.empty() && avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) why = "cannot write";
    if (why.empty() && avformat_write_header(oc, nullptr) < 0) why = "header refused";
    const bool full = video.ctx != nullptr && video.ctx->pix_fmt == AV_PIX_FMT_YUVJ420P;
    const AVRational frameBase = {1, s.fps};
    auto more = [&] {
        return video.ctx != nullptr ? video.next < s.frames
                                    : av_compare_ts(audio.next, audio.ctx->time_base, s.frames, frameBase) < 0;
    };
    while (why.empty() && more()) {
        const bool audioFirst =
            audio.ctx != nullptr &&
            (video.ctx == nullptr || av_compare_ts(audio.next, audio.ctx->time_base, video.next, frameBase) < 0);
        Track& t = audioFirst ? audio : video;
        av_frame_make_writable(t.frame);
        if (audioFirst)
            FillTone(t.frame, t.next);
        else
            PaintBands(t.frame, full);
        t.frame->pts = t.next;
        t.next += audioFirst ? t.frame->nb_samples : 1;
        if (avcodec_send_frame(t.ctx, t.frame) < 0 || !Drain(oc, t, pkt)) why = "encoding failed";
    }
    for (Track* t : {&video, &audio})
        if (why.empty() && t->ctx != nullptr && (avcodec_send_frame(t->ctx, nullptr) < 0 || !Drain(oc, *t, pkt)))
            why = "flush failed";
    if (why.empty() && av_write_trailer(oc) < 0) why = "trailer refused";
    av_packet_free(&pkt);
    if (oc->pb != nullptr) avio_closep(&oc->pb);
    avformat_free_context(oc);
    return why;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string TempPath(const std::string& name) {
    return std::string(TEST_BINARY_DIR) + "/dshow_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace dshowtest
