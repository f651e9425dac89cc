// The only file that calls FFmpeg's libraries: demultiplexing through a
// reading callback, audio and video decoding, and the colour conversion.
#include "platform/dshow/av_backend.h"
#include "platform/dshow/library_loader.h"
#include "platform/dshow/picture_limit.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
#include <libavutil/macros.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace dshow::av {
namespace {

// FFmpeg's libraries are opened when a movie or an MP3 first needs them, not
// when the program starts (they and theirs are some 130 shared libraries):
// every function this file calls comes from this table, by the major version
// of the headers it was built against.
#define AV_FUNCTIONS(X) \
    X(avutil, av_channel_layout_compare) \
    X(avutil, av_channel_layout_copy) \
    X(avutil, av_channel_layout_default) \
    X(avutil, av_channel_layout_uninit) \
    X(avutil, av_dict_free) \
    X(avutil, av_dict_set_int) \
    X(avutil, av_frame_alloc) \
    X(avutil, av_frame_free) \
    X(avutil, av_frame_unref) \
    X(avutil, av_free) \
    X(avutil, av_freep) \
    X(avutil, av_log_set_level) \
    X(avutil, av_malloc) \
    X(avutil, av_rescale_q) \
    X(avcodec, av_new_packet) \
    X(avcodec, av_packet_alloc) \
    X(avcodec, av_packet_free) \
    X(avcodec, av_packet_unref) \
    X(avcodec, avcodec_alloc_context3) \
    X(avcodec, avcodec_find_decoder) \
    X(avcodec, avcodec_flush_buffers) \
    X(avcodec, avcodec_free_context) \
    X(avcodec, avcodec_open2) \
    X(avcodec, avcodec_parameters_to_context) \
    X(avcodec, avcodec_receive_frame) \
    X(avcodec, avcodec_send_packet) \
    X(avformat, av_find_input_format) \
    X(avformat, av_read_frame) \
    X(avformat, avformat_alloc_context) \
    X(avformat, avformat_close_input) \
    X(avformat, avformat_find_stream_info) \
    X(avformat, avformat_open_input) \
    X(avformat, avformat_seek_file) \
    X(avformat, avio_alloc_context) \
    X(avformat, avio_context_free) \
    X(avformat, avio_seek) \
    X(swresample, swr_alloc_set_opts2) \
    X(swresample, swr_convert) \
    X(swresample, swr_free) \
    X(swresample, swr_get_out_samples) \
    X(swresample, swr_init) \
    X(swscale, sws_freeContext) \
    X(swscale, sws_getCachedContext) \
    X(swscale, sws_getContext) \
    X(swscale, sws_scale)

struct Functions {
#define AV_SLOT(library, name) decltype(&::name) name = nullptr;
    AV_FUNCTIONS(AV_SLOT)
#undef AV_SLOT
};

#define AV_SONAME(name, major) "lib" #name ".so." AV_STRINGIFY(major)
constexpr const char* kavutil = AV_SONAME(avutil, LIBAVUTIL_VERSION_MAJOR);
constexpr const char* kavcodec = AV_SONAME(avcodec, LIBAVCODEC_VERSION_MAJOR);
constexpr const char* kavformat = AV_SONAME(avformat, LIBAVFORMAT_VERSION_MAJOR);
constexpr const char* kswresample = AV_SONAME(swresample, LIBSWRESAMPLE_VERSION_MAJOR);
constexpr const char* kswscale = AV_SONAME(swscale, LIBSWSCALE_VERSION_MAJOR);
#undef AV_SONAME

struct Loaded {
    Functions functions;
    bool ok = false;
    std::string error;
};

Loaded Load() {
    Loaded l;
    const SymbolRequest requests[] = {
#define AV_REQUEST(library, name) {k##library, #name, reinterpret_cast<void**>(&l.functions.name)},
        AV_FUNCTIONS(AV_REQUEST)
#undef AV_REQUEST
    };
    l.ok = LoadSymbols(requests, std::size(requests), &l.error);
    if (!l.ok) std::fprintf(stderr, "dshow: FFmpeg's libraries are missing, no movie or MP3 plays: %s\n", l.error.c_str());
    return l;
}

const Loaded& Library() {
    static const Loaded loaded = Load();
    return loaded;
}

bool g_refusedForTest = false;

// The table; only called once LibrariesLoaded() said yes.
const Functions& Av() { return Library().functions; }

}  // namespace

bool LibrariesLoaded(std::string* error) {
    if (g_refusedForTest) {
        if (error != nullptr) *error = "refused by a test";
        return false;
    }
    const Loaded& l = Library();
    if (!l.ok && error != nullptr) *error = l.error;
    return l.ok;
}

void RefuseLibrariesForTest(bool refuse) { g_refusedForTest = refuse; }

namespace {
// The picture past the limit the thread's current file open met (0 x 0: none).
thread_local int64_t t_refusedWidth = 0, t_refusedHeight = 0;
}  // namespace

void ForgetRefusedPicture() { t_refusedWidth = t_refusedHeight = 0; }

}  // namespace dshow::av

bool dshow::RefusedPictureSize(int64_t* width, int64_t* height) {
    if (av::t_refusedWidth == 0 && av::t_refusedHeight == 0) return false;
    if (width != nullptr) *width = av::t_refusedWidth;
    if (height != nullptr) *height = av::t_refusedHeight;
    return true;
}

namespace dshow::av {

namespace {

constexpr AVRational kUnits = {1, 10000000};  // 100 ns
constexpr int kIoBufferSize = 64 * 1024;

// The libraries loaded and their logging silenced: false when they are missing.
bool Ready() {
    if (!LibrariesLoaded(nullptr)) return false;
    static const bool once = [] {
        Av().av_log_set_level(AV_LOG_QUIET);
        return true;
    }();
    return once;
}

}  // namespace

// ---- demultiplexer -------------------------------------------------------------------------

struct Demuxer::State {
    ByteSource source;
    int64_t position = 0;
    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVPacket* packet = nullptr;
    std::vector<int> usable;  // stream index -> position in streams_, or -1

    ~State() {
        Av().av_packet_free(&packet);
        Av().avformat_close_input(&format);
        if (io != nullptr) Av().av_freep(&io->buffer);
        Av().avio_context_free(&io);
    }
    static int ReadPacket(void* opaque, uint8_t* buffer, int size) {
        auto* s = static_cast<State*>(opaque);
        const int got = s->source.read(s->position, buffer, size);
        if (got < 0) return AVERROR(EIO);
        if (got == 0) return AVERROR_EOF;
        s->position += got;
        return got;
    }
    static int64_t SeekTo(void* opaque, int64_t offset, int whence) {
        auto* s = static_cast<State*>(opaque);
        whence &= ~AVSEEK_FORCE;
        if (whence == AVSEEK_SIZE) return s->source.size;
        int64_t to = whence == SEEK_SET ? offset : whence == SEEK_CUR ? s->position + offset : s->source.size + offset;
        if (to < 0 || to > s->source.size) return -1;
        s->position = to;
        return to;
    }
};

Demuxer::Demuxer(std::unique_ptr<State> state) : state_(std::move(state)) {}
Demuxer::~Demuxer() = default;

namespace {

// Whether the stream's stated picture is within the limit; a refused one is
// remembered for the caller's message.
bool PictureAllowed(const AVCodecParameters* par) {
    if (IsPictureSizeAllowed(par->width, par->height)) return true;
    t_refusedWidth = par->width;
    t_refusedHeight = par->height;
    return false;
}

bool Describe(AVStream* st, int index, StreamInfo* info) {
    const AVCodecParameters* par = st->codecpar;
    if (Av().avcodec_find_decoder(par->codec_id) == nullptr) return false;
    info->index = index;
    info->parameters = par;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        info->kind = StreamKind::Audio;
        info->sampleRate = par->sample_rate;
        info->channels = par->ch_layout.nb_channels;
        return info->sampleRate >= 1000 && info->sampleRate <= 192000 && info->channels >= 1 &&
               info->channels <= 8;
    }
    if (par->codec_type != AVMEDIA_TYPE_VIDEO) return false;
    info->kind = StreamKind::Video;
    info->width = par->width;
    info->height = par->height;
    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    if (rate.num > 0 && rate.den > 0) info->frameTime = Av().av_rescale_q(1, av_inv_q(rate), kUnits);
    return PictureAllowed(par);
}

// Whether a video stream states a picture past the limit. The container's
// reader fills the sizes in from the stream's headers, before any decoder
// is opened; a size not stated yet (0) is checked once it is.
bool ClaimsOversizePicture(const AVFormatContext* format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        if (par->codec_type != AVMEDIA_TYPE_VIDEO || (par->width == 0 && par->height == 0)) continue;
        if (!PictureAllowed(par)) return true;
    }
    return false;
}

// Probes the streams with decoders that refuse pictures beyond the limit,
// so that a header claiming an enormous picture costs no memory.
bool FindStreamInfo(AVFormatContext* format) {
    std::vector<AVDictionary*> options(format->nb_streams, nullptr);
    for (AVDictionary*& o : options) Av().av_dict_set_int(&o, "max_pixels", kMaxPicturePixels, 0);
    const int found = Av().avformat_find_stream_info(format, options.empty() ? nullptr : options.data());
    for (AVDictionary*& o : options) Av().av_dict_free(&o);
    return found >= 0;
}

}  // namespace

std::unique_ptr<Demuxer> Demuxer::Open(ByteSource source, const char* container) {
    if (!Ready() || source.size <= 0) return nullptr;
    auto state = std::make_unique<State>();
    state->source = std::move(source);
    auto* buffer = static_cast<uint8_t*>(Av().av_malloc(kIoBufferSize));
    if (buffer == nullptr) return nullptr;
    state->io = Av().avio_alloc_context(buffer, kIoBufferSize, 0, state.get(), State::ReadPacket, nullptr, State::SeekTo);
    if (state->io == nullptr) {
        Av().av_free(buffer);
        return nullptr;
    }
    state->format = Av().avformat_alloc_context();
    if (state->format == nullptr) return nullptr;
    state->format->pb = state->io;
    state->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    const AVInputFormat* forced = container != nullptr ? Av().av_find_input_format(container) : nullptr;
    if (container != nullptr && forced == nullptr) return nullptr;
    if (Av().avformat_open_input(&state->format, nullptr, forced, nullptr) < 0) return nullptr;  // frees the context
    if (ClaimsOversizePicture(state->format) || !FindStreamInfo(state->format)) return nullptr;
    state->packet = Av().av_packet_alloc();
    if (state->packet == nullptr) return nullptr;
    std::unique_ptr<Demuxer> demuxer(new Demuxer(std::move(state)));
    State& s = *demuxer->state_;
    s.usable.assign(s.format->nb_streams, -1);
    for (unsigned i = 0; i < s.format->nb_streams; ++i) {
        StreamInfo info;
        if (!Describe(s.format->streams[i], static_cast<int>(i), &info)) continue;
        s.usable[i] = static_cast<int>(demuxer->streams_.size());
        demuxer->streams_.push_back(info);
    }
    if (demuxer->streams_.empty()) return nullptr;
    if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0)
        demuxer->duration_ = Av().av_rescale_q(s.format->duration, AV_TIME_BASE_Q, kUnits);
    return demuxer;
}

bool Demuxer::Read(Packet* packet) {
    State& s = *state_;
    for (;;) {
        Av().av_packet_unref(s.packet);
        if (Av().av_read_frame(s.format, s.packet) < 0) return false;
        const int index = s.packet->stream_index;
        if (index < 0 || index >= static_cast<int>(s.usable.size()) || s.usable[index] < 0) continue;
        if (s.packet->size <= 0) continue;
        packet->stream = s.usable[index];
        packet->data.assign(s.packet->data, s.packet->data + s.packet->size);
        const AVRational base = s.format->streams[index]->time_base;
        int64_t t = s.packet->pts != AV_NOPTS_VALUE ? s.packet->pts : s.packet->dts;
        if (t != AV_NOPTS_VALUE && s.format->streams[index]->start_time != AV_NOPTS_VALUE)
            t -= s.format->streams[index]->start_time;
        packet->time = t == AV_NOPTS_VALUE ? INT64_MIN : Av().av_rescale_q(t, base, kUnits);
        packet->key = (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
        return true;
    }
}

bool Demuxer::Seek(int64_t position) {
    State& s = *state_;
    int64_t start = s.format->start_time != AV_NOPTS_VALUE ? s.format->start_time : 0;
    const int64_t target = Av().av_rescale_q(position, kUnits, AV_TIME_BASE_Q) + start;
    if (Av().avformat_seek_file(s.format, -1, INT64_MIN, target, target, 0) >= 0) return true;
    // Some streams cannot seek; start over from the first byte.
    return position == 0 && Av().avio_seek(s.format->pb, 0, SEEK_SET) >= 0 &&
           Av().avformat_seek_file(s.format, -1, INT64_MIN, 0, 0, AVSEEK_FLAG_BYTE) >= 0;
}

// ---- decoding -------------------------------------------------------------------------------

namespace {

AVCodecContext* OpenCodec(const StreamInfo& stream) {
    const auto* par = static_cast<const AVCodecParameters*>(stream.parameters);
    const AVCodec* codec = par != nullptr ? Av().avcodec_find_decoder(par->codec_id) : nullptr;
    if (codec == nullptr) return nullptr;
    AVCodecContext* ctx = Av().avcodec_alloc_context3(codec);
    if (ctx == nullptr) return nullptr;
    ctx->pkt_timebase = kUnits;
    ctx->thread_count = 1;
    ctx->max_pixels = kMaxPicturePixels;
    if (Av().avcodec_parameters_to_context(ctx, par) < 0 || Av().avcodec_open2(ctx, codec, nullptr) < 0)
        Av().avcodec_free_context(&ctx);
    return ctx;
}

// Sends one packet (null: drain) and hands every frame out; false when the
// handler refused. Data the decoder rejects is skipped.
template <typename Handler>
bool Pump(AVCodecContext* ctx, AVPacket* pkt, AVFrame* frame, const uint8_t* data, int size, int64_t time,
          Handler&& handle) {
    if (data != nullptr) {
        if (Av().av_new_packet(pkt, size) < 0) return false;
        std::memcpy(pkt->data, data, static_cast<size_t>(size));
        pkt->pts = time == INT64_MIN ? AV_NOPTS_VALUE : time;
        pkt->dts = AV_NOPTS_VALUE;
        const int sent = Av().avcodec_send_packet(ctx, pkt);
        Av().av_packet_unref(pkt);
        if (sent < 0 && sent != AVERROR(EAGAIN)) return true;  // a damaged packet: go on
    } else if (Av().avcodec_send_packet(ctx, nullptr) < 0) {
        return true;
    }
    for (;;) {
        const int got = Av().avcodec_receive_frame(ctx, frame);
        if (got < 0) return true;
        const bool ok = handle(frame);
        Av().av_frame_unref(frame);
        if (!ok) return false;
    }
}

int64_t FrameTime(const AVFrame* frame) {
    return frame->best_effort_timestamp != AV_NOPTS_VALUE ? frame->best_effort_timestamp : INT64_MIN;
}

}  // namespace

struct AudioDecoder::State {
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = Av().av_packet_alloc();
    AVFrame* frame = Av().av_frame_alloc();
    SwrContext* swr = nullptr;
    AVChannelLayout inLayout{};
    int inRate = 0;
    int inFormat = -1;
    std::vector<uint8_t> out;
    int64_t nextTime = INT64_MIN;

    ~State() {
        Av().swr_free(&swr);
        Av().av_channel_layout_uninit(&inLayout);
        Av().av_frame_free(&frame);
        Av().av_packet_free(&packet);
        Av().avcodec_free_context(&ctx);
    }
};

AudioDecoder::AudioDecoder(std::unique_ptr<State> state, int channels, int rate)
    : state_(std::move(state)), channels_(channels), rate_(rate) {}
AudioDecoder::~AudioDecoder() = default;

std::unique_ptr<AudioDecoder> AudioDecoder::Open(const StreamInfo& stream) {
    if (!Ready() || stream.kind != StreamKind::Audio) return nullptr;
    auto state = std::make_unique<State>();
    if (state->packet == nullptr || state->frame == nullptr) return nullptr;
    state->ctx = OpenCodec(stream);
    if (state->ctx == nullptr) return nullptr;
    const int channels = stream.channels == 1 ? 1 : 2;
    return std::unique_ptr<AudioDecoder>(new AudioDecoder(std::move(state), channels, stream.sampleRate));
}

bool AudioDecoder::Decode(const uint8_t* data, int size, int64_t time, const Sink& sink) {
    State& s = *state_;
    if (time != INT64_MIN && s.nextTime == INT64_MIN) s.nextTime = time;
    return Pump(s.ctx, s.packet, s.frame, data, size, time, [&](AVFrame* f) {
        if (f->nb_samples <= 0 || f->sample_rate <= 0 || f->ch_layout.nb_channels <= 0) return true;
        if (s.swr == nullptr || f->sample_rate != s.inRate || f->format != s.inFormat ||
            Av().av_channel_layout_compare(&f->ch_layout, &s.inLayout) != 0) {
            Av().swr_free(&s.swr);
            AVChannelLayout outLayout;
            Av().av_channel_layout_default(&outLayout, channels_);
            if (Av().swr_alloc_set_opts2(&s.swr, &outLayout, AV_SAMPLE_FMT_S16, rate_, &f->ch_layout,
                                    static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                Av().swr_init(s.swr) < 0) {
                Av().swr_free(&s.swr);
                return true;  // a frame in a shape we cannot convert is skipped
            }
            Av().av_channel_layout_uninit(&s.inLayout);
            Av().av_channel_layout_copy(&s.inLayout, &f->ch_layout);
            s.inRate = f->sample_rate;
            s.inFormat = f->format;
        }
        const int capacity = Av().swr_get_out_samples(s.swr, f->nb_samples);
        if (capacity <= 0) return true;
        s.out.resize(static_cast<size_t>(capacity) * channels_ * 2);
        uint8_t* outPlanes[1] = {s.out.data()};
        const int made = Av().swr_convert(s.swr, outPlanes, capacity, const_cast<const uint8_t**>(f->extended_data),
                                     f->nb_samples);
        if (made <= 0) return true;
        int64_t t = FrameTime(f);
        if (t == INT64_MIN) t = s.nextTime;
        if (t != INT64_MIN) s.nextTime = t + int64_t{made} * 10000000 / rate_;
        return sink(s.out.data(), made * channels_ * 2, t);
    });
}

void AudioDecoder::Reset() {
    Av().avcodec_flush_buffers(state_->ctx);
    if (state_->swr != nullptr) Av().swr_init(state_->swr);
    state_->nextTime = INT64_MIN;
}

struct VideoDecoder::State {
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = Av().av_packet_alloc();
    AVFrame* frame = Av().av_frame_alloc();
    SwsContext* sws = nullptr;
    std::vector<uint8_t> out;

    ~State() {
        Av().sws_freeContext(sws);
        Av().av_frame_free(&frame);
        Av().av_packet_free(&packet);
        Av().avcodec_free_context(&ctx);
    }
};

VideoDecoder::VideoDecoder(std::unique_ptr<State> state, int width, int height)
    : state_(std::move(state)), width_(width), height_(height) {}
VideoDecoder::~VideoDecoder() = default;

int64_t VideoDecoder::FrameBytes(int width, int height) {
    const int64_t cw = (width + 1) / 2, ch = (height + 1) / 2;
    return int64_t{width} * height + 2 * cw * ch;
}

std::unique_ptr<VideoDecoder> VideoDecoder::Open(const StreamInfo& stream) {
    if (!Ready() || stream.kind != StreamKind::Video || !IsPictureSizeAllowed(stream.width, stream.height))
        return nullptr;
    auto state = std::make_unique<State>();
    if (state->packet == nullptr || state->frame == nullptr) return nullptr;
    state->ctx = OpenCodec(stream);
    if (state->ctx == nullptr) return nullptr;
    state->out.resize(static_cast<size_t>(FrameBytes(stream.width, stream.height)));
    return std::unique_ptr<VideoDecoder>(new VideoDecoder(std::move(state), stream.width, stream.height));
}

bool VideoDecoder::Decode(const uint8_t* data, int size, int64_t time, const Sink& sink) {
    State& s = *state_;
    return Pump(s.ctx, s.packet, s.frame, data, size, time, [&](AVFrame* f) {
        if (!IsPictureSizeAllowed(f->width, f->height) || f->format < 0) return true;
        s.sws = Av().sws_getCachedContext(s.sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), width_,
                                     height_, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (s.sws == nullptr) return true;
        const int cw = (width_ + 1) / 2, ch = (height_ + 1) / 2;
        uint8_t* planes[4] = {s.out.data(), s.out.data() + int64_t{width_} * height_,
                              s.out.data() + int64_t{width_} * height_ + int64_t{cw} * ch, nullptr};
        int strides[4] = {width_, cw, cw, 0};
        if (Av().sws_scale(s.sws, f->data, f->linesize, 0, f->height, planes, strides) <= 0) return true;
        return sink(s.out.data(), static_cast<int>(s.out.size()), FrameTime(f));
    });
}

void VideoDecoder::Reset() { Av().avcodec_flush_buffers(state_->ctx); }

// ---- colour conversion -----------------------------------------------------------------------

struct ColourConverter::State {
    SwsContext* sws = nullptr;
    std::vector<uint8_t> rows;
    ~State() {
        if (sws != nullptr) Av().sws_freeContext(sws);
    }
};

ColourConverter::ColourConverter(int width, int height)
    : state_(std::make_unique<State>()), width_(width), height_(height) {
    if (Ready() && IsPictureSizeAllowed(width, height))
        state_->sws = Av().sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_BGR24,
                                     SWS_BILINEAR | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
}

ColourConverter::~ColourConverter() = default;

bool ColourConverter::Convert(const uint8_t* yuv, uint8_t* bgr, int pitch) {
    if (state_->sws == nullptr) return false;
    const int cw = (width_ + 1) / 2, ch = (height_ + 1) / 2;
    const uint8_t* planes[4] = {yuv, yuv + int64_t{width_} * height_,
                                yuv + int64_t{width_} * height_ + int64_t{cw} * ch, nullptr};
    const int strides[4] = {width_, cw, cw, 0};
    // Converted top-down, then stored with the last row first.
    std::vector<uint8_t>& rows = state_->rows;
    rows.resize(static_cast<size_t>(pitch) * height_);
    uint8_t* dst[4] = {rows.data(), nullptr, nullptr, nullptr};
    int dstStrides[4] = {pitch, 0, 0, 0};
    if (Av().sws_scale(state_->sws, planes, strides, 0, height_, dst, dstStrides) != height_) return false;
    for (int y = 0; y < height_; ++y)
        std::memcpy(bgr + int64_t{pitch} * (height_ - 1 - y), rows.data() + int64_t{pitch} * y, pitch);
    return true;
}

}  // namespace dshow::av
