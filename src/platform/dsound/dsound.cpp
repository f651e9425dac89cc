// The DirectSound device object, its primary buffer and secondary buffers.
#include "platform/dsound/dsound.h"

#include "platform/dsound/mixer.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

const CLSID CLSID_DirectSound = {0x47D4D946, 0x62E8, 0x11CF, {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectSound = {0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
const IID IID_IDirectSoundBuffer = {0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

namespace dsound {
namespace {

void* ModuleEntry(const char* name) {
    if (std::strcmp(name, "DirectSoundEnumerateA") == 0) return reinterpret_cast<void*>(&DirectSoundEnumerateA);
    return nullptr;
}

std::atomic<int> g_liveBuffers{0};
std::mutex g_capsLock;
bool g_capsSet = false;
DSCAPS g_caps{};

DSCAPS DefaultCaps() {
    DSCAPS caps{};
    caps.dwSize = sizeof(DSCAPS);
    caps.dwFlags = DSCAPS_PRIMARYMONO | DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY8BIT | DSCAPS_PRIMARY16BIT |
                   DSCAPS_CONTINUOUSRATE | DSCAPS_EMULDRIVER | DSCAPS_SECONDARYMONO | DSCAPS_SECONDARYSTEREO |
                   DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps.dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps.dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps.dwPrimaryBuffers = 1;
    return caps;
}

// DSERR_BADFORMAT or DSERR_INVALIDPARAM for a PCM format the mixer cannot
// play, else DS_OK.
HRESULT CheckFormat(const WAVEFORMATEX& f) {
    if (f.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
    if (f.nChannels != 1 && f.nChannels != 2) return DSERR_BADFORMAT;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) return DSERR_BADFORMAT;
    if (f.nBlockAlign != f.nChannels * f.wBitsPerSample / 8) return DSERR_INVALIDPARAM;
    if (f.nSamplesPerSec < DSBFREQUENCY_MIN || f.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    if (f.nAvgBytesPerSec != f.nSamplesPerSec * f.nBlockAlign) return DSERR_INVALIDPARAM;
    return DS_OK;
}

bool DescriptionSizeOk(DWORD size) { return size == sizeof(DSBUFFERDESC) || size == sizeof(DSBUFFERDESC1); }

// ---- the primary buffer ------------------------------------------------------
class PrimaryBuffer final : public ComObject<IDirectSoundBuffer> {
public:
    explicit PrimaryBuffer(std::shared_ptr<Mixer> mixer) : mixer_(std::move(mixer)) {
        format_.wFormatTag = WAVE_FORMAT_PCM;
        format_.nChannels = 2;
        format_.nSamplesPerSec = 22050;
        format_.wBitsPerSample = 8;
        format_.nBlockAlign = 2;
        format_.nAvgBytesPerSec = 44100;
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectSoundBuffer}, object);
    }
    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) override {
        if (play) *play = 0;
        if (write) *write = 0;
        return DS_OK;
    }
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override {
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        return CopyFormat(format_, format, size, written);
    }
    HRESULT GetVolume(LONG* volume) override {
        if (volume == nullptr) return DSERR_INVALIDPARAM;
        *volume = volume_;
        return DS_OK;
    }
    HRESULT GetPan(LONG* pan) override {
        if (pan == nullptr) return DSERR_INVALIDPARAM;
        *pan = pan_;
        return DS_OK;
    }
    HRESULT GetFrequency(LPDWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT GetStatus(LPDWORD status) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::GetStatus", DSERR_GENERIC)) return *failed;
        if (status == nullptr) return DSERR_INVALIDPARAM;
        *status = playing_ ? (DSBSTATUS_PLAYING | DSBSTATUS_LOOPING) : 0;
        return DS_OK;
    }
    HRESULT Lock(DWORD, DWORD, LPVOID*, LPDWORD, LPVOID*, LPDWORD, DWORD) override { return DSERR_PRIOLEVELNEEDED; }
    HRESULT Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT Play(DWORD reserved, DWORD, DWORD flags) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::Play", DSERR_GENERIC)) return *failed;
        if (reserved != 0 || (flags & DSBPLAY_LOOPING) == 0) return DSERR_INVALIDPARAM;
        playing_ = true;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD) override { return DSERR_INVALIDCALL; }
    HRESULT SetFormat(LPCWAVEFORMATEX format) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::SetFormat", DSERR_GENERIC)) return *failed;
        if (format == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        if (mixer_->cooperativeLevel < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
        const HRESULT hr = CheckFormat(*format);
        if (FAILED(hr)) return hr;
        format_ = *format;
        format_.cbSize = 0;
        return DS_OK;
    }
    HRESULT SetVolume(LONG volume) override {
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        volume_ = volume;
        return DS_OK;
    }
    HRESULT SetPan(LONG pan) override {
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        pan_ = pan;
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD) override { return DSERR_CONTROLUNAVAIL; }
    HRESULT Stop() override {
        playing_ = false;
        return DS_OK;
    }

    static HRESULT CopyFormat(const WAVEFORMATEX& from, LPWAVEFORMATEX to, DWORD size, LPDWORD written) {
        if (to == nullptr) {
            if (written == nullptr) return DSERR_INVALIDPARAM;
            *written = sizeof(WAVEFORMATEX);
            return DS_OK;
        }
        const DWORD bytes = size < sizeof(WAVEFORMATEX) ? size : sizeof(WAVEFORMATEX);
        std::memcpy(to, &from, bytes);
        if (written) *written = bytes;
        return DS_OK;
    }

private:
    std::shared_ptr<Mixer> mixer_;
    WAVEFORMATEX format_{};
    std::atomic<bool> playing_{false};
    std::atomic<LONG> volume_{0};
    std::atomic<LONG> pan_{0};
};

// ---- secondary buffers -----------------------------------------------------------
class SecondaryBuffer final : public ComObject<IDirectSoundBuffer> {
public:
    SecondaryBuffer(std::shared_ptr<Mixer> mixer, std::shared_ptr<SampleMemory> memory, const WAVEFORMATEX& format,
                    DWORD flags, DWORD frequency, LONG volume, LONG pan)
        : mixer_(std::move(mixer)), flags_(flags) {
        voice_.memory = std::move(memory);
        voice_.format = format;
        voice_.format.cbSize = 0;
        voice_.frameCount = voice_.memory->size / format.nBlockAlign;
        SetVoiceFrequency(voice_, frequency);
        SetVoiceVolumePan(voice_, volume, pan);
        mixer_->AddVoice(&voice_);
        CountBuffer(1);
    }
    ~SecondaryBuffer() override {
        mixer_->RemoveVoice(&voice_);
        CountBuffer(-1);
    }

    // A duplicate: the same memory, format, flags, volume, pan and frequency,
    // stopped at position 0.
    SecondaryBuffer* Duplicate() {
        DWORD frequency;
        LONG volume, pan;
        {
            std::lock_guard<std::mutex> lock(mixer_->mutex);
            frequency = voice_.frequency;
            volume = voice_.volume;
            pan = voice_.pan;
        }
        return new SecondaryBuffer(mixer_, voice_.memory, voice_.format, flags_, frequency, volume, pan);
    }
    Mixer* OwnerMixer() const { return mixer_.get(); }
    DWORD Flags() const { return flags_; }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectSoundBuffer}, object);
    }

    HRESULT GetCurrentPosition(LPDWORD play, LPDWORD write) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::GetCurrentPosition", DSERR_GENERIC))
            return *failed;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        const DWORD block = voice_.format.nBlockAlign;
        const DWORD size = voice_.memory->size;
        const DWORD playByte = static_cast<DWORD>(voice_.position >> 32) * block;
        if (play) *play = playByte;
        if (write) {
            DWORD lead = 0;
            if (voice_.playing) lead = (voice_.frequency / 100) * block;
            *write = static_cast<DWORD>((uint64_t{playByte} + lead) % size);
        }
        return DS_OK;
    }
    HRESULT GetFormat(LPWAVEFORMATEX format, DWORD size, LPDWORD written) override {
        return PrimaryBuffer::CopyFormat(voice_.format, format, size, written);
    }
    HRESULT GetVolume(LONG* volume) override {
        if ((flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
        if (volume == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        *volume = voice_.volume;
        return DS_OK;
    }
    HRESULT GetPan(LONG* pan) override {
        if ((flags_ & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
        if (pan == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        *pan = voice_.pan;
        return DS_OK;
    }
    HRESULT GetFrequency(LPDWORD frequency) override {
        if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
        if (frequency == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        *frequency = voice_.frequency;
        return DS_OK;
    }
    HRESULT GetStatus(LPDWORD status) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::GetStatus", DSERR_GENERIC)) return *failed;
        if (status == nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        DWORD s = 0;
        if (voice_.playing) s |= DSBSTATUS_PLAYING | (voice_.looping ? DSBSTATUS_LOOPING : 0);
        *status = s;
        return DS_OK;
    }
    HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* ptr1, LPDWORD bytes1, LPVOID* ptr2, LPDWORD bytes2,
                 DWORD flags) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::Lock", DSERR_GENERIC)) return *failed;
        if (ptr1 == nullptr || bytes1 == nullptr) return DSERR_INVALIDPARAM;
        const DWORD size = voice_.memory->size;
        if (flags & DSBLOCK_FROMWRITECURSOR) {
            DWORD write = 0;
            GetCurrentPosition(nullptr, &write);
            offset = write;
        }
        if (flags & DSBLOCK_ENTIREBUFFER) bytes = size;
        if (bytes == 0 || bytes > size || offset >= size) return DSERR_INVALIDPARAM;
        uint8_t* data = voice_.memory->data.get();
        *ptr1 = data + offset;
        if (offset + bytes <= size || ptr2 == nullptr) {
            *bytes1 = (offset + bytes <= size) ? bytes : size - offset;
            if (ptr2) *ptr2 = nullptr;
            if (bytes2) *bytes2 = 0;
        } else {
            *bytes1 = size - offset;
            *ptr2 = data;
            if (bytes2) *bytes2 = offset + bytes - size;
        }
        return DS_OK;
    }
    HRESULT Unlock(LPVOID ptr1, DWORD bytes1, LPVOID ptr2, DWORD bytes2) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::Unlock", DSERR_GENERIC)) return *failed;
        if (!InMemory(ptr1, bytes1)) return DSERR_INVALIDPARAM;
        if (ptr2 != nullptr && !InMemory(ptr2, bytes2)) return DSERR_INVALIDPARAM;
        return DS_OK;
    }
    HRESULT Play(DWORD reserved, DWORD, DWORD flags) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::Play", DSERR_GENERIC)) return *failed;
        if (reserved != 0) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        voice_.playing = true;
        voice_.looping = (flags & DSBPLAY_LOOPING) != 0;
        return DS_OK;
    }
    HRESULT SetCurrentPosition(DWORD position) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::SetCurrentPosition", DSERR_GENERIC))
            return *failed;
        if (position >= voice_.memory->size) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        voice_.position = uint64_t{position / voice_.format.nBlockAlign} << 32;
        return DS_OK;
    }
    HRESULT SetFormat(LPCWAVEFORMATEX) override { return DSERR_INVALIDCALL; }
    HRESULT SetVolume(LONG volume) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::SetVolume", DSERR_GENERIC)) return *failed;
        if ((flags_ & DSBCAPS_CTRLVOLUME) == 0) return DSERR_CONTROLUNAVAIL;
        if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        SetVoiceVolumePan(voice_, volume, voice_.pan);
        return DS_OK;
    }
    HRESULT SetPan(LONG pan) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::SetPan", DSERR_GENERIC)) return *failed;
        if ((flags_ & DSBCAPS_CTRLPAN) == 0) return DSERR_CONTROLUNAVAIL;
        if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        SetVoiceVolumePan(voice_, voice_.volume, pan);
        return DS_OK;
    }
    HRESULT SetFrequency(DWORD frequency) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::SetFrequency", DSERR_GENERIC)) return *failed;
        if ((flags_ & DSBCAPS_CTRLFREQUENCY) == 0) return DSERR_CONTROLUNAVAIL;
        if (frequency == DSBFREQUENCY_ORIGINAL) frequency = voice_.format.nSamplesPerSec;
        if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        SetVoiceFrequency(voice_, frequency);
        return DS_OK;
    }
    HRESULT Stop() override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSoundBuffer::Stop", DSERR_GENERIC)) return *failed;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        voice_.playing = false;
        return DS_OK;
    }

private:
    bool InMemory(const void* p, DWORD bytes) const {
        const uint8_t* begin = voice_.memory->data.get();
        const uint8_t* q = static_cast<const uint8_t*>(p);
        return q >= begin && q <= begin + voice_.memory->size &&
               bytes <= static_cast<DWORD>(begin + voice_.memory->size - q);
    }

    std::shared_ptr<Mixer> mixer_;
    DWORD flags_;
    Voice voice_;
};

// ---- the device -------------------------------------------------------------------
class DirectSoundDevice final : public ComObject<IDirectSound> {
public:
    ~DirectSoundDevice() override {
        if (primary_ != nullptr) primary_->Release();
        if (outputOpen_) {
            sdl::RemoveAudioSource(Mixer::RenderSource, mixer_.get());
            sdl::CloseAudioOutput();
        }
    }

    HRESULT QueryInterface(REFIID iid, void** object) override {
        return com::AnswerQuery(this, iid, {&IID_IDirectSound}, object);
    }

    HRESULT Initialize(const GUID*) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSound::Initialize", DSERR_GENERIC)) return *failed;
        std::lock_guard<std::mutex> lock(deviceLock_);
        if (initialized_) return DSERR_ALREADYINITIALIZED;
        if (sdl::OpenAudioOutput() != 0) return DSERR_NODRIVER;
        outputOpen_ = true;
        sdl::AddAudioSource(Mixer::RenderSource, mixer_.get());
        initialized_ = true;
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSound::SetCooperativeLevel", DSERR_GENERIC)) return *failed;
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY || !IsWindow(window)) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(mixer_->mutex);
        mixer_->cooperativeLevel = level;
        return DS_OK;
    }

    HRESULT GetCaps(LPDSCAPS caps) override {
        if (auto failed = seams::FailNow<HRESULT>("IDirectSound::GetCaps", DSERR_GENERIC)) return *failed;
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (caps == nullptr || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(g_capsLock);
        *caps = g_capsSet ? g_caps : DefaultCaps();
        caps->dwSize = sizeof(DSCAPS);
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) override {
        if (buffer == nullptr) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (auto failed = seams::FailNow<HRESULT>("IDirectSound::CreateSoundBuffer", DSERR_GENERIC)) return *failed;
        if (!initialized_) return DSERR_UNINITIALIZED;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        if (desc == nullptr || !DescriptionSizeOk(desc->dwSize)) return DSERR_INVALIDPARAM;
        if ((desc->dwFlags & DSBCAPS_LOCHARDWARE) && (desc->dwFlags & DSBCAPS_LOCSOFTWARE)) return DSERR_INVALIDPARAM;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) return CreatePrimary(*desc, buffer);
        if (desc->lpwfxFormat == nullptr) return DSERR_INVALIDPARAM;
        const WAVEFORMATEX format = *desc->lpwfxFormat;
        const HRESULT hr = CheckFormat(format);
        if (FAILED(hr)) return hr;
        const DWORD bytes = desc->dwBufferBytes;
        if (bytes < DSBSIZE_MIN || bytes > DSBSIZE_MAX || bytes % format.nBlockAlign != 0) return DSERR_INVALIDPARAM;
        std::shared_ptr<SampleMemory> memory;
        try {
            memory = std::make_shared<SampleMemory>(bytes);
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        std::memset(memory->data.get(), format.wBitsPerSample == 8 ? 0x80 : 0, bytes);
        *buffer = new SecondaryBuffer(mixer_, std::move(memory), format, desc->dwFlags, format.nSamplesPerSec, 0, 0);
        return DS_OK;
    }

    HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) override {
        if (duplicate == nullptr) return DSERR_INVALIDPARAM;
        *duplicate = nullptr;
        if (auto failed = seams::FailNow<HRESULT>("IDirectSound::DuplicateSoundBuffer", DSERR_GENERIC)) return *failed;
        if (!initialized_) return DSERR_UNINITIALIZED;
        auto* source = dynamic_cast<SecondaryBuffer*>(original);
        if (source == nullptr || source->OwnerMixer() != mixer_.get()) return DSERR_INVALIDCALL;
        *duplicate = source->Duplicate();
        return DS_OK;
    }

private:
    HRESULT CreatePrimary(const DSBUFFERDESC& desc, LPDIRECTSOUNDBUFFER* buffer) {
        if (desc.dwBufferBytes != 0 || desc.lpwfxFormat != nullptr) return DSERR_INVALIDPARAM;
        std::lock_guard<std::mutex> lock(deviceLock_);
        if (primary_ == nullptr) primary_ = new PrimaryBuffer(mixer_);
        primary_->AddRef();
        *buffer = primary_;
        return DS_OK;
    }

    std::shared_ptr<Mixer> mixer_ = std::make_shared<Mixer>();
    std::mutex deviceLock_;
    std::atomic<bool> initialized_{false};
    bool outputOpen_ = false;
    PrimaryBuffer* primary_ = nullptr;
};

IUnknown* CreateDirectSoundObject() { return static_cast<IDirectSound*>(new DirectSoundDevice()); }

}  // namespace

void CountBuffer(int delta) { g_liveBuffers += delta; }

void RegisterClasses() {
    com::RegisterClass(CLSID_DirectSound, CreateDirectSoundObject);
    platform::RegisterModule("dsound.dll", ModuleEntry);
}

void PrepareOutput() { sdl::PrepareAudioOutput(); }

void SetDeviceCapsForTest(const DSCAPS* caps) {
    std::lock_guard<std::mutex> lock(g_capsLock);
    g_capsSet = caps != nullptr;
    if (caps) g_caps = *caps;
}

int LiveBufferCountForTest() { return g_liveBuffers; }

DWORD BufferFlagsForTest(IDirectSoundBuffer* buffer) {
    auto* secondary = dynamic_cast<SecondaryBuffer*>(buffer);
    return secondary != nullptr ? secondary->Flags() : 0;
}

}  // namespace dsound

HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context) {
    if (auto failed = seams::FailNow<HRESULT>("DirectSoundEnumerateA", DSERR_GENERIC)) return *failed;
    if (callback == nullptr) return DSERR_INVALIDPARAM;
    if (!callback(nullptr, "Primary Sound Driver", "", context)) return DS_OK;
    const char* driver = sdl::AudioOutputDriverName();
    const int count = sdl::AudioOutputDeviceCount();
    for (int i = 0; i < count; ++i) {
        GUID guid = {0x5D1A0000u + static_cast<uint32_t>(i), 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
        const char* name = sdl::AudioOutputDeviceName(i);
        if (!callback(&guid, name != nullptr ? name : "", driver, context)) break;
    }
    return DS_OK;
}
