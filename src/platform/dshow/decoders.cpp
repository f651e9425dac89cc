// The audio and video decoders and the colour converter intelligent connect
// puts between the demultiplexer and the renderers.
#include "platform/dshow/av_backend.h"
#include "platform/dshow/codec_filter.h"

#include <memory>
#include <new>

namespace dshow {

// {6D5F1A10-8E3C-4B7A-9C21-5E0D7A3B9F01}, {6D5F1A11-...}: compressed streams
// of the demultiplexer, described by an av::StreamInfo.
const GUID MEDIASUBTYPE_CodedStream = {0x6D5F1A10, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};
const GUID FORMAT_CodedStream = {0x6D5F1A11, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};

namespace {

const CLSID CLSID_AudioDecoder = {0x6D5F1A20, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};
const CLSID CLSID_VideoDecoder = {0x6D5F1A21, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};
const CLSID CLSID_ColourConverter = {0x6D5F1A22, 0x8E3C, 0x4B7A, {0x9C, 0x21, 0x5E, 0x0D, 0x7A, 0x3B, 0x9F, 0x01}};
constexpr DWORD kFourccIyuv = 0x56555949;

const av::StreamInfo* CodedStream(const AM_MEDIA_TYPE& t, av::StreamKind kind) {
    if (!(t.subtype == MEDIASUBTYPE_CodedStream) || !(t.formattype == FORMAT_CodedStream)) return nullptr;
    if (t.cbFormat != sizeof(av::StreamInfo) || t.pbFormat == nullptr) return nullptr;
    const auto* info = reinterpret_cast<const av::StreamInfo*>(t.pbFormat);
    return info->kind == kind ? info : nullptr;
}

REFERENCE_TIME SampleStart(IMediaSample* sample) {
    REFERENCE_TIME start, stop;
    return SUCCEEDED(sample->GetTime(&start, &stop)) ? start : INT64_MIN;
}

// The picture of a VIDEOINFOHEADER type, or null when it is not one.
const BITMAPINFOHEADER* Picture(const AM_MEDIA_TYPE& t) {
    if (!(t.formattype == FORMAT_VideoInfo) || t.cbFormat < sizeof(VIDEOINFOHEADER) || t.pbFormat == nullptr)
        return nullptr;
    return &reinterpret_cast<const VIDEOINFOHEADER*>(t.pbFormat)->bmiHeader;
}

void SetVideoType(MediaTypeValue* type, const GUID& subtype, LONG width, LONG height, WORD bits, DWORD compression,
                  DWORD imageBytes, REFERENCE_TIME frameTime) {
    type->Clear();
    type->majortype = MEDIATYPE_Video;
    type->subtype = subtype;
    type->formattype = FORMAT_VideoInfo;
    type->lSampleSize = imageBytes;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormat(sizeof(VIDEOINFOHEADER)));
    if (vih == nullptr) return;
    vih->AvgTimePerFrame = frameTime;
    vih->bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, bits, compression, imageBytes, 0, 0, 0, 0};
}

// A filter around one FFmpeg decoder: samples in, what it decodes out
// through Emit with the times Stop gives each piece.
template <typename Decoder>
class DecoderFilter : public CodecFilter {
public:
    using CodecFilter::CodecFilter;
    void StopInput() override { decoder_.reset(); }
    HRESULT Process(IMediaSample* sample) override {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        return Decode(data, sample->GetActualDataLength(), SampleStart(sample));
    }
    HRESULT Drain() override { return Decode(nullptr, 0, INT64_MIN); }
    void Restart() override {
        if (decoder_ != nullptr) decoder_->Reset();
    }

protected:
    // The stop time of a piece of `bytes` bytes that starts at `start`.
    virtual REFERENCE_TIME Stop(REFERENCE_TIME start, int bytes) const = 0;
    std::unique_ptr<Decoder> decoder_;

private:
    HRESULT Decode(const uint8_t* data, int size, REFERENCE_TIME time) {
        if (decoder_ == nullptr) return VFW_E_NOT_CONNECTED;
        HRESULT result = S_OK;
        decoder_->Decode(data, size, time, [&](const uint8_t* out, int bytes, int64_t t) {
            result = Emit(out, bytes, t, t == INT64_MIN ? INT64_MIN : Stop(t, bytes));
            return result == S_OK;
        });
        return result;
    }
};

class AudioDecoderFilter : public DecoderFilter<av::AudioDecoder> {
public:
    AudioDecoderFilter() : DecoderFilter("Audio decoder", CLSID_AudioDecoder) {}

    HRESULT CheckInput(const MediaTypeValue* type) override {
        return type->majortype == MEDIATYPE_Audio && CodedStream(*type, av::StreamKind::Audio) != nullptr
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT StartInput(const MediaTypeValue& input, MediaTypeValue* output, LONG* bufferSize) override {
        decoder_ = av::AudioDecoder::Open(*CodedStream(input, av::StreamKind::Audio));
        if (decoder_ == nullptr) return VFW_E_UNSUPPORTED_STREAM;
        const WORD channels = static_cast<WORD>(decoder_->Channels());
        const DWORD rate = static_cast<DWORD>(decoder_->SampleRate());
        const WAVEFORMATEX wave = {WAVE_FORMAT_PCM, channels, rate, rate * channels * 2,
                                   static_cast<WORD>(channels * 2), 16, 0};
        output->Clear();
        output->majortype = MEDIATYPE_Audio;
        output->subtype = MEDIASUBTYPE_PCM;
        output->formattype = FORMAT_WaveFormatEx;
        output->lSampleSize = wave.nBlockAlign;
        if (!output->SetFormat(&wave, sizeof(wave))) return E_OUTOFMEMORY;
        *bufferSize = 64 * 1024;
        return S_OK;
    }

protected:
    REFERENCE_TIME Stop(REFERENCE_TIME start, int bytes) const override {
        const int bytesPerSecond = decoder_->SampleRate() * decoder_->Channels() * 2;
        return start + int64_t{bytes} * 10000000 / bytesPerSecond;
    }
};

class VideoDecoderFilter : public DecoderFilter<av::VideoDecoder> {
public:
    VideoDecoderFilter() : DecoderFilter("Video decoder", CLSID_VideoDecoder) {}

    HRESULT CheckInput(const MediaTypeValue* type) override {
        return type->majortype == MEDIATYPE_Video && CodedStream(*type, av::StreamKind::Video) != nullptr
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT StartInput(const MediaTypeValue& input, MediaTypeValue* output, LONG* bufferSize) override {
        const av::StreamInfo& info = *CodedStream(input, av::StreamKind::Video);
        decoder_ = av::VideoDecoder::Open(info);
        if (decoder_ == nullptr) return VFW_E_UNSUPPORTED_STREAM;
        const auto bytes = static_cast<DWORD>(av::VideoDecoder::FrameBytes(info.width, info.height));
        SetVideoType(output, MEDIASUBTYPE_IYUV, info.width, info.height, 12, kFourccIyuv, bytes, info.frameTime);
        if (output->pbFormat == nullptr) return E_OUTOFMEMORY;
        frameTime_ = info.frameTime;
        *bufferSize = static_cast<LONG>(bytes);
        return S_OK;
    }

protected:
    REFERENCE_TIME Stop(REFERENCE_TIME start, int) const override { return start + (frameTime_ > 0 ? frameTime_ : 1); }

private:
    REFERENCE_TIME frameTime_ = 0;
};

class ColourConverterFilter : public CodecFilter {
public:
    ColourConverterFilter() : CodecFilter("Colour converter", CLSID_ColourConverter) {}

    HRESULT CheckInput(const MediaTypeValue* type) override {
        const BITMAPINFOHEADER* bmi = Picture(*type);
        if (!(type->majortype == MEDIATYPE_Video) || !(type->subtype == MEDIASUBTYPE_IYUV) || bmi == nullptr)
            return VFW_E_TYPE_NOT_ACCEPTED;
        const LONG w = bmi->biWidth, h = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
        if (!IsPictureSizeAllowed(w, h)) return VFW_E_TYPE_NOT_ACCEPTED;
        return S_OK;
    }
    HRESULT StartInput(const MediaTypeValue& input, MediaTypeValue* output, LONG* bufferSize) override {
        const BITMAPINFOHEADER* bmi = Picture(input);
        width_ = bmi->biWidth;
        height_ = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
        pitch_ = (width_ * 3 + 3) & ~3;
        converter_ = std::make_unique<av::ColourConverter>(width_, height_);
        const auto bytes = static_cast<DWORD>(int64_t{pitch_} * height_);
        const REFERENCE_TIME frameTime = reinterpret_cast<const VIDEOINFOHEADER*>(input.pbFormat)->AvgTimePerFrame;
        SetVideoType(output, MEDIASUBTYPE_RGB24, width_, height_, 24, 0, bytes, frameTime);
        if (output->pbFormat == nullptr) return E_OUTOFMEMORY;
        rgb_.resize(bytes);
        *bufferSize = static_cast<LONG>(bytes);
        return S_OK;
    }
    void StopInput() override {
        converter_.reset();
        rgb_.clear();
    }
    HRESULT Process(IMediaSample* sample) override {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (converter_ == nullptr) return VFW_E_NOT_CONNECTED;
        if (sample->GetActualDataLength() < av::VideoDecoder::FrameBytes(width_, height_)) return S_OK;  // dropped
        if (!converter_->Convert(data, rgb_.data(), pitch_)) return S_OK;
        REFERENCE_TIME start, stop;
        HRESULT timed = sample->GetTime(&start, &stop);
        return Emit(rgb_.data(), static_cast<LONG>(rgb_.size()), SUCCEEDED(timed) ? start : INT64_MIN,
                    SUCCEEDED(timed) ? stop : INT64_MIN);
    }

private:
    std::unique_ptr<av::ColourConverter> converter_;
    std::vector<uint8_t> rgb_;
    LONG width_ = 0, height_ = 0, pitch_ = 0;
};

template <typename Filter>
IBaseFilter* Create() {
    auto* f = new (std::nothrow) Filter();
    if (f != nullptr) f->AddRef();
    return f;
}

}  // namespace

IBaseFilter* CreateAudioDecoder() { return Create<AudioDecoderFilter>(); }
IBaseFilter* CreateVideoDecoder() { return Create<VideoDecoderFilter>(); }
IBaseFilter* CreateColourConverter() { return Create<ColourConverterFilter>(); }

}  // namespace dshow
