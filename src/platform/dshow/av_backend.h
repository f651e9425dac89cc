// What the stand-in's demultiplexer, decoders and colour converter ask of
// FFmpeg's libraries, in terms of their own: bytes, 100 ns times, packed
// pictures and 16-bit PCM. Only av_backend.cpp sees FFmpeg's headers.
//
// The libraries are opened when first needed (the first Open or converter),
// not when the program starts. Where they are missing, every Open gives null
// and a converter converts nothing, with one line on standard error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace dshow::av {

// Opens FFmpeg's libraries on the first call; false (and the reason in
// *error when given) when one of them or one of their functions is missing.
bool LibrariesLoaded(std::string* error = nullptr);
// Makes LibrariesLoaded answer false from now on (true: as if the libraries
// were missing), for tests of that path; false restores the real answer.
void RefuseLibrariesForTest(bool refuse);
// Clears what RefusedPictureSize (picture_limit.h) reports for the calling
// thread: each file open starts with none.
void ForgetRefusedPicture();

// Where a demultiplexer reads its bytes.
struct ByteSource {
    // Up to size bytes at position; the count read (0 at the end), or -1.
    std::function<int(int64_t position, uint8_t* buffer, int size)> read;
    int64_t size = 0;
};

enum class StreamKind { Audio, Video };

struct StreamInfo {
    int index = 0;
    StreamKind kind = StreamKind::Audio;
    int width = 0, height = 0;           // video
    int sampleRate = 0, channels = 0;    // audio
    int64_t frameTime = 0;               // video: 100 ns per frame, 0 when unknown
    const void* parameters = nullptr;    // codec parameters, valid while the demultiplexer lives
};

struct Packet {
    int stream = -1;
    std::vector<uint8_t> data;
    int64_t time = INT64_MIN;  // 100 ns, INT64_MIN when unknown
    bool key = false;
};

class Demuxer {
public:
    // Opens and probes; null when the bytes are no container FFmpeg can
    // read, hold no stream that can be decoded (usable streams only), or
    // state a video picture past the limit of picture_limit.h (checked
    // before any decoder is opened for the stream).
    // container names FFmpeg's reader to use ("mp3"); null: probe for it.
    static std::unique_ptr<Demuxer> Open(ByteSource source, const char* container = nullptr);
    ~Demuxer();
    const std::vector<StreamInfo>& Streams() const { return streams_; }
    int64_t Duration() const { return duration_; }  // 100 ns, 0 when unknown
    // The next packet of a usable stream; false at the end or on an error.
    bool Read(Packet* packet);
    // To the key frame at or before position (100 ns); false when it failed.
    bool Seek(int64_t position);

private:
    struct State;
    explicit Demuxer(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
    std::vector<StreamInfo> streams_;
    int64_t duration_ = 0;
};

// Decoded audio as interleaved signed 16-bit PCM at the stream's rate, mono
// or stereo (more channels are mixed down).
class AudioDecoder {
public:
    static std::unique_ptr<AudioDecoder> Open(const StreamInfo& stream);
    ~AudioDecoder();
    int Channels() const { return channels_; }
    int SampleRate() const { return rate_; }
    using Sink = std::function<bool(const uint8_t* pcm, int bytes, int64_t time)>;
    // Decodes one packet (null data: drain what the decoder holds); sink
    // gets each block. False when the sink refused or decoding failed hard.
    bool Decode(const uint8_t* data, int size, int64_t time, const Sink& sink);
    void Reset();

private:
    struct State;
    AudioDecoder(std::unique_ptr<State> state, int channels, int rate);
    std::unique_ptr<State> state_;
    int channels_;
    int rate_;
};

// Decoded video as packed planar YUV 4:2:0 of the stream's declared size
// (each frame scaled to it when it differs).
class VideoDecoder {
public:
    static std::unique_ptr<VideoDecoder> Open(const StreamInfo& stream);
    ~VideoDecoder();
    int Width() const { return width_; }
    int Height() const { return height_; }
    static int64_t FrameBytes(int width, int height);
    using Sink = std::function<bool(const uint8_t* yuv, int bytes, int64_t time)>;
    bool Decode(const uint8_t* data, int size, int64_t time, const Sink& sink);
    void Reset();

private:
    struct State;
    VideoDecoder(std::unique_ptr<State> state, int width, int height);
    std::unique_ptr<State> state_;
    int width_;
    int height_;
};

// Packed planar YUV 4:2:0 to 24-bit BGR rows of pitch bytes, bottom row first.
class ColourConverter {
public:
    ColourConverter(int width, int height);
    ~ColourConverter();
    bool Convert(const uint8_t* yuv, uint8_t* bgr, int pitch);

private:
    struct State;
    std::unique_ptr<State> state_;
    int width_;
    int height_;
};

}  // namespace dshow::av
