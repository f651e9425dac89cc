// The default audio renderer: PCM into a ring that a DirectSound mixer voice
// plays, as one source of the program's audio output. Receive waits while the
// ring is full; the end of the stream counts once the ring has played out.
#include "platform/dshow/graph_internal.h"
#include "platform/dsound/mixer.h"
#include "platform/sdl/sdl_audio.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <new>
#include <vector>

namespace dshow {
namespace {

constexpr uint64_t kOneFrame = uint64_t{1} << 32;

class AudioRenderer;

class AudioInputPin : public BaseInputPin {
public:
    AudioInputPin(AudioRenderer* renderer, CritSec* lock);
    HRESULT CheckMediaType(const MediaTypeValue* type) override;
    HRESULT SetMediaType(const MediaTypeValue* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override { return S_OK; }
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

private:
    AudioRenderer* renderer_;
};

class AudioRenderer : public BaseFilter, public IBasicAudio {
public:
    AudioRenderer() : BaseFilter("Audio renderer", nullptr, &filterLock_, CLSID_DSoundRender), input_(this, &filterLock_) {}
    ~AudioRenderer() override { CloseOutput(); }

    HRESULT QueryInterface(REFIID iid, void** object) override { return BaseFilter::QueryInterface(iid, object); }
    ULONG AddRef() override { return BaseFilter::AddRef(); }
    ULONG Release() override { return BaseFilter::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IBasicAudio) return com::HandOut(static_cast<IBasicAudio*>(this), object);
        return BaseFilter::NonDelegatingQueryInterface(iid, object);
    }

    int GetPinCount() override { return 1; }
    BasePin* GetPin(int index) override { return index == 0 ? &input_ : nullptr; }

    HRESULT Pause() override {
        if (IsStopped()) OpenOutput();
        HRESULT hr = BaseFilter::Pause();
        Wake();
        return hr;
    }
    HRESULT Run(REFERENCE_TIME start) override {
        if (IsStopped()) OpenOutput();
        HRESULT hr = BaseFilter::Run(start);
        Wake();
        return hr;
    }
    HRESULT Stop() override {
        HRESULT hr = BaseFilter::Stop();
        Wake();
        AutoLock wait(&receiveLock_);
        CloseOutput();
        return hr;
    }

    HRESULT put_Volume(LONG volume) override {
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mix_.mutex);
        dsound::SetVoiceVolumePan(voice_, volume, voice_.pan);
        return S_OK;
    }
    HRESULT get_Volume(LONG* volume) override {
        if (volume == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(mix_.mutex);
        *volume = voice_.volume;
        return S_OK;
    }
    HRESULT put_Balance(LONG balance) override {
        if (balance < DSBPAN_LEFT || balance > DSBPAN_RIGHT) return E_INVALIDARG;
        std::lock_guard<std::mutex> lock(mix_.mutex);
        dsound::SetVoiceVolumePan(voice_, voice_.volume, balance);
        return S_OK;
    }
    HRESULT get_Balance(LONG* balance) override {
        if (balance == nullptr) return E_POINTER;
        std::lock_guard<std::mutex> lock(mix_.mutex);
        *balance = voice_.pan;
        return S_OK;
    }

    // Sets the ring up for the connection's format.
    void Configure(const WAVEFORMATEX& format) {
        std::lock_guard<std::mutex> lock(mix_.mutex);
        const uint32_t frames = std::max<uint32_t>(format.nSamplesPerSec / 2, 1024);
        voice_.memory = std::make_shared<dsound::SampleMemory>(frames * format.nBlockAlign);
        voice_.format = format;
        voice_.frameCount = frames;
        voice_.looping = true;
        dsound::SetVoiceFrequency(voice_, format.nSamplesPerSec);
        ResetRing();
    }

    // Copies PCM into the ring, waiting for room; S_FALSE when stopped or
    // flushed meanwhile.
    HRESULT Write(const BYTE* data, LONG bytes);
    HRESULT EndOfStream();
    void Wake() {
        std::lock_guard<std::mutex> lock(mix_.mutex);
        room_.notify_all();
    }
    void ClearEnd() {
        std::lock_guard<std::mutex> lock(mix_.mutex);
        ResetRing();
    }
    CritSec* ReceiveLock() { return &receiveLock_; }

private:
    static void RenderSource(void* user, int16_t* samples, int frameCount);
    void Render(int16_t* samples, int frameCount);
    void ResetRing() {
        written_ = 0;
        readPosition_ = 0;
        voice_.position = 0;
    }
    uint64_t Queued() const { return written_ - (readPosition_ >> 32); }
    // Only a connected renderer has sound to play: one whose pin was left
    // unconnected (taken out of the chain when the graph was built) leaves
    // the program's audio output alone.
    void OpenOutput() {
        if (outputOpen_ || !input_.IsConnected()) return;
        outputOpen_ = sdl::OpenAudioOutput() == 0;
        if (outputOpen_) sdl::AddAudioSource(RenderSource, this);
    }
    void CloseOutput() {
        if (!outputOpen_) return;
        sdl::RemoveAudioSource(RenderSource, this);
        sdl::CloseAudioOutput();
        outputOpen_ = false;
        std::lock_guard<std::mutex> lock(mix_.mutex);
        ResetRing();
    }

    CritSec filterLock_;
    CritSec receiveLock_;
    AudioInputPin input_;
    dsound::Mixer mix_;  // only its mutex: guards the voice and the ring counts
    dsound::Voice voice_;
    std::condition_variable room_;
    uint64_t written_ = 0;       // frames written into the ring, ever
    uint64_t readPosition_ = 0;  // frames played, 32.32 fixed point
    bool outputOpen_ = false;
    std::vector<int32_t> accumulator_;
};

void AudioRenderer::RenderSource(void* user, int16_t* samples, int frameCount) {
    static_cast<AudioRenderer*>(user)->Render(samples, frameCount);
}

void AudioRenderer::Render(int16_t* samples, int frameCount) {
    std::lock_guard<std::mutex> lock(mix_.mutex);
    if (State() != State_Running || voice_.frameCount == 0 || voice_.step == 0) return;
    const uint64_t queued = Queued();
    if (queued < 2) return;
    // Interpolation reads one frame ahead: stay a frame behind the writer.
    const uint64_t possible = ((queued - 1) * kOneFrame - (readPosition_ & 0xFFFFFFFFu)) / voice_.step;
    const int frames = static_cast<int>(std::min<uint64_t>(frameCount, possible));
    if (frames <= 0) return;
    accumulator_.assign(static_cast<size_t>(frames) * 2, 0);
    const uint64_t ring = uint64_t{voice_.frameCount} << 32;
    const uint64_t before = voice_.position;
    voice_.playing = true;
    dsound::MixVoice(voice_, accumulator_.data(), frames);
    readPosition_ += (voice_.position + ring - before) % ring;
    dsound::SaturateToOutput(accumulator_.data(), samples, accumulator_.size());
    room_.notify_all();
}

HRESULT AudioRenderer::Write(const BYTE* data, LONG bytes) {
    std::unique_lock<std::mutex> lock(mix_.mutex);
    const WORD block = voice_.format.nBlockAlign;
    if (block == 0 || voice_.memory == nullptr) return S_OK;
    uint64_t frames = static_cast<uint64_t>(bytes) / block;
    while (frames > 0) {
        if (!outputOpen_) return S_OK;  // no audio output: the sound is dropped
        const uint64_t room = voice_.frameCount - std::min<uint64_t>(Queued(), voice_.frameCount);
        if (room == 0) {
            room_.wait(lock);
            if (IsStopped() || input_.IsFlushing()) return S_FALSE;
            continue;
        }
        const uint64_t at = written_ % voice_.frameCount;
        const uint64_t n = std::min({frames, room, voice_.frameCount - at});
        std::memcpy(voice_.memory->data.get() + at * block, data, n * block);
        written_ += n;
        data += n * block;
        frames -= n;
    }
    return S_OK;
}

HRESULT AudioRenderer::EndOfStream() {
    std::unique_lock<std::mutex> lock(mix_.mutex);
    for (;;) {
        if (IsStopped() || input_.IsFlushing()) return S_OK;
        // The last two frames stay: the mixer reads a frame ahead.
        const bool drained = !outputOpen_ || Queued() <= 2;
        if (drained && State() == State_Running) break;
        room_.wait(lock);
    }
    lock.unlock();
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    return S_OK;
}

AudioInputPin::AudioInputPin(AudioRenderer* renderer, CritSec* lock)
    : BaseInputPin("Audio input pin", renderer, lock, nullptr, u"Audio Input pin (rendered)"), renderer_(renderer) {}

HRESULT AudioInputPin::CheckMediaType(const MediaTypeValue* type) {
    if (type == nullptr) return E_POINTER;
    if (!(type->majortype == MEDIATYPE_Audio) || !(type->subtype == MEDIASUBTYPE_PCM) ||
        !(type->formattype == FORMAT_WaveFormatEx) || type->cbFormat < sizeof(WAVEFORMATEX) || type->pbFormat == nullptr)
        return VFW_E_TYPE_NOT_ACCEPTED;
    WAVEFORMATEX f;
    std::memcpy(&f, type->pbFormat, sizeof(f));
    const bool ok = f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
                    (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
                    f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nSamplesPerSec >= DSBFREQUENCY_MIN &&
                    f.nSamplesPerSec <= DSBFREQUENCY_MAX;
    return ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT AudioInputPin::SetMediaType(const MediaTypeValue* type) {
    HRESULT hr = BaseInputPin::SetMediaType(type);
    if (FAILED(hr)) return hr;
    WAVEFORMATEX f;
    std::memcpy(&f, type->pbFormat, sizeof(f));
    f.cbSize = 0;
    renderer_->Configure(f);
    return S_OK;
}

HRESULT AudioInputPin::Receive(IMediaSample* sample) {
    AutoLock lock(renderer_->ReceiveLock());
    HRESULT hr = BaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    return renderer_->Write(data, sample->GetActualDataLength());
}

HRESULT AudioInputPin::EndOfStream() {
    AutoLock lock(renderer_->ReceiveLock());
    HRESULT hr = BaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    return renderer_->EndOfStream();
}

HRESULT AudioInputPin::BeginFlush() {
    BaseInputPin::BeginFlush();
    renderer_->Wake();
    return S_OK;
}

HRESULT AudioInputPin::EndFlush() {
    renderer_->ClearEnd();
    return BaseInputPin::EndFlush();
}

}  // namespace

IBaseFilter* CreateAudioRenderer() {
    auto* f = new (std::nothrow) AudioRenderer();
    if (f != nullptr) f->AddRef();
    return f;
}

}  // namespace dshow
