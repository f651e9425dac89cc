// The DirectSound stand-in's device and buffers: what it refuses, Lock
// regions, play state and cursors, duplicates, controls, seams.
#include "dsound_test_util.h"

#include <string>
#include <utility>

using dstest::DeviceTest;
using dstest::Pcm;

namespace {

HRESULT TryCreate(IDirectSound* ds, const WAVEFORMATEX* format, DWORD bytes, DWORD flags = 0,
                  DWORD size = sizeof(DSBUFFERDESC)) {
    WAVEFORMATEX copy{};
    DSBUFFERDESC d{};
    d.dwSize = size;
    d.dwFlags = flags;
    d.dwBufferBytes = bytes;
    if (format != nullptr) {
        copy = *format;
        d.lpwfxFormat = &copy;
    }
    IDirectSoundBuffer* b = nullptr;
    HRESULT hr = ds->CreateSoundBuffer(&d, &b, nullptr);
    if (b != nullptr) b->Release();
    EXPECT_EQ(SUCCEEDED(hr), b != nullptr);
    return hr;
}

TEST_F(DeviceTest, CreateSoundBufferTakesOnlyPcmItCanMix) {
    const WAVEFORMATEX good = Pcm(2, 22050, 16);
    EXPECT_EQ(TryCreate(ds, &good, 4), DS_OK);
    EXPECT_EQ(TryCreate(ds, &good, 400, DSBCAPS_STATIC, sizeof(DSBUFFERDESC1)), DS_OK);

    struct Case {
        const char* what;
        WAVEFORMATEX format;
        DWORD bytes;
        HRESULT expected;
    };
    auto with = [&](auto change) {
        WAVEFORMATEX f = good;
        change(f);
        return f;
    };
    const Case cases[] = {
        {"not PCM", with([](WAVEFORMATEX& f) { f.wFormatTag = 2; }), 400, DSERR_BADFORMAT},
        {"no channels", with([](WAVEFORMATEX& f) { f.nChannels = 0; }), 400, DSERR_BADFORMAT},
        {"three channels", Pcm(3, 22050, 16), 600, DSERR_BADFORMAT},
        {"four channels", Pcm(4, 22050, 16), 800, DSERR_BADFORMAT},
        {"24 bits", Pcm(2, 22050, 24), 600, DSERR_BADFORMAT},
        {"block align wrong, bytes per second to match",
         with([](WAVEFORMATEX& f) { f.nBlockAlign = 2, f.nAvgBytesPerSec = 2 * 22050; }), 400, DSERR_INVALIDPARAM},
        {"bytes per second wrong", with([](WAVEFORMATEX& f) { f.nAvgBytesPerSec = 1; }), 400, DSERR_INVALIDPARAM},
        {"rate 99", Pcm(2, 99, 16), 400, DSERR_INVALIDPARAM},
        {"rate 200001", Pcm(2, 200001, 16), 400, DSERR_INVALIDPARAM},
        {"size 0", good, 0, DSERR_INVALIDPARAM},
        {"size below 4", Pcm(1, 22050, 8), 3, DSERR_INVALIDPARAM},
        {"size not whole blocks", good, 402, DSERR_INVALIDPARAM},
        {"size over the maximum", Pcm(1, 22050, 8), DSBSIZE_MAX + 1, DSERR_INVALIDPARAM},
    };
    for (const Case& c : cases) EXPECT_EQ(TryCreate(ds, &c.format, c.bytes), c.expected) << c.what;

    EXPECT_EQ(TryCreate(ds, nullptr, 400), DSERR_INVALIDPARAM) << "no format";
    EXPECT_EQ(TryCreate(ds, &good, 400, 0, 12), DSERR_INVALIDPARAM) << "description size";
    EXPECT_EQ(TryCreate(ds, &good, 400, DSBCAPS_LOCHARDWARE | DSBCAPS_LOCSOFTWARE), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->CreateSoundBuffer(nullptr, nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DeviceTest, NewBuffersHoldSilence) {
    IDirectSoundBuffer* b8 = Make(Pcm(1, 8000, 8), nullptr, 16);
    IDirectSoundBuffer* b16 = Make(Pcm(1, 8000, 16), nullptr, 16);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b8->Lock(0, 16, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(std::string(static_cast<char*>(p1), n1), std::string(16, '\x80'));
    ASSERT_EQ(b16->Lock(0, 16, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(std::string(static_cast<char*>(p1), n1), std::string(16, '\0'));
}

TEST_F(DeviceTest, PrimaryBufferIsSharedAndNeedsPriorityForItsFormat) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_PRIMARYBUFFER;
    IDirectSoundBuffer *p1 = nullptr, *p2 = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &p1, nullptr), DS_OK);
    ASSERT_EQ(ds->CreateSoundBuffer(&d, &p2, nullptr), DS_OK);
    EXPECT_EQ(p1, p2);
    WAVEFORMATEX f = Pcm(2, 44100, 16);
    EXPECT_EQ(p1->SetFormat(&f), DS_OK);
    WAVEFORMATEX got{};
    DWORD written = 0;
    EXPECT_EQ(p1->GetFormat(&got, sizeof got, &written), DS_OK);
    EXPECT_EQ(written, sizeof got);
    EXPECT_EQ(got.nSamplesPerSec, 44100u);
    EXPECT_EQ(got.wBitsPerSample, 16);
    WAVEFORMATEX bad = Pcm(2, 44100, 12);
    EXPECT_EQ(p1->SetFormat(&bad), DSERR_BADFORMAT);
    void *q1, *q2;
    DWORD n1, n2;
    EXPECT_TRUE(FAILED(p1->Lock(0, 4, &q1, &n1, &q2, &n2, 0)));

    ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_NORMAL), DS_OK);
    EXPECT_EQ(p1->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
    EXPECT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), 9), DSERR_INVALIDPARAM);
    EXPECT_EQ(ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DSERR_INVALIDPARAM) << "no window";
    EXPECT_EQ(p1->SetFormat(&f), DSERR_PRIOLEVELNEEDED) << "the refused levels changed nothing";

    WAVEFORMATEX fmt = f;
    d.lpwfxFormat = &fmt;
    IDirectSoundBuffer* p3 = nullptr;
    EXPECT_EQ(ds->CreateSoundBuffer(&d, &p3, nullptr), DSERR_INVALIDPARAM) << "a primary takes no format";
    p1->Release();
    p2->Release();
}

TEST_F(DeviceTest, LockGivesTwoRegionsWhenTheSpanWraps) {
    IDirectSoundBuffer* b = Make(Pcm(1, 8000, 8), nullptr, 100);
    void *p1 = nullptr, *p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    ASSERT_EQ(b->Lock(10, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 50u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    void* base = nullptr;
    DWORD whole = 0;
    ASSERT_EQ(b->Lock(0, 0, &base, &whole, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
    EXPECT_EQ(whole, 100u);

    ASSERT_EQ(b->Lock(80, 50, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(base) + 80);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(p2, base);
    EXPECT_EQ(n2, 30u);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);

    // Without a second pointer only the part up to the end is given.
    ASSERT_EQ(b->Lock(80, 50, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(n1, 20u);

    EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 101, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(100, 1, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);

    uint8_t elsewhere[4];
    EXPECT_EQ(b->Unlock(elsewhere, 4, nullptr, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Unlock(static_cast<uint8_t*>(base) + 90, 11, nullptr, 0), DSERR_INVALIDPARAM);
}

TEST_F(DeviceTest, OneShotStopsAtItsEndWithItsCursorBackAtZero) {
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(100, 1000));
    EXPECT_EQ(Status(b), 0u);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING));
    Render(60);
    EXPECT_EQ(PlayCursor(b), 120u);
    std::vector<int16_t> out = Render(60);
    EXPECT_EQ(out[2 * 39], 1000) << "the last frame still sounds";
    EXPECT_EQ(out[2 * 40], 0) << "silence after the end";
    EXPECT_EQ(Status(b), 0u);
    EXPECT_EQ(PlayCursor(b), 0u);
    EXPECT_EQ(b->Play(1, 0, 0), DSERR_INVALIDPARAM);
}

TEST_F(DeviceTest, StopKeepsTheCursorAndLoopingWraps) {
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(100, 7));
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    EXPECT_EQ(Status(b), static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    Render(250);
    EXPECT_EQ(PlayCursor(b), 100u) << "250 frames of a 100-frame loop leave it at frame 50";
    DWORD play = 0, write = 0;
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(write, (100u + 441u * 2) % 200u) << "write cursor 10 ms ahead while playing";
    ASSERT_EQ(b->Stop(), DS_OK);
    Render(30);
    EXPECT_EQ(PlayCursor(b), 100u);
    ASSERT_EQ(b->GetCurrentPosition(&play, &write), DS_OK);
    EXPECT_EQ(write, play) << "no lead while stopped";
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    Render(20);
    EXPECT_EQ(PlayCursor(b), 140u) << "play resumes where it stopped";
    ASSERT_EQ(b->SetCurrentPosition(21), DS_OK);
    EXPECT_EQ(PlayCursor(b), 20u) << "positions are whole blocks";
    EXPECT_EQ(b->SetCurrentPosition(200), DSERR_INVALIDPARAM);
}

TEST_F(DeviceTest, DuplicatesShareMemoryButNotPlayState) {
    IDirectSoundBuffer* original = Make16(std::vector<int16_t>(100, 100));
    ASSERT_EQ(original->SetVolume(-600), DS_OK);
    ASSERT_EQ(original->SetFrequency(22050), DS_OK);
    ASSERT_EQ(original->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    Render(10);
    IDirectSoundBuffer* copy = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(original, &copy), DS_OK);
    made.push_back(copy);
    EXPECT_EQ(Status(copy), 0u) << "a duplicate starts stopped";
    EXPECT_EQ(PlayCursor(copy), 0u);
    LONG volume = 0;
    DWORD frequency = 0;
    EXPECT_EQ(copy->GetVolume(&volume), DS_OK);
    EXPECT_EQ(volume, -600);
    EXPECT_EQ(copy->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 22050u);

    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(copy->Lock(0, 4, &p1, &n1, &p2, &n2, 0), DS_OK);
    void *q1, *q2;
    DWORD m1, m2;
    ASSERT_EQ(original->Lock(0, 4, &q1, &m1, &q2, &m2, 0), DS_OK);
    EXPECT_EQ(p1, q1) << "the same sample memory";

    ASSERT_EQ(copy->SetVolume(0), DS_OK);
    ASSERT_EQ(original->GetVolume(&volume), DS_OK);
    EXPECT_EQ(volume, -600) << "settings are each buffer's own";

    // The memory outlives the original.
    original->Stop();
    original->Release();
    made.erase(made.begin());
    ASSERT_EQ(copy->SetFrequency(44100), DS_OK);
    ASSERT_EQ(copy->Play(0, 0, 0), DS_OK);
    std::vector<int16_t> out = Render(4);
    EXPECT_EQ(out[0], 100);

    IDirectSoundBuffer* bad = nullptr;
    EXPECT_EQ(ds->DuplicateSoundBuffer(nullptr, &bad), DSERR_INVALIDCALL);
}

TEST_F(DeviceTest, ControlsNeedTheirFlagsAndStayInRange) {
    IDirectSoundBuffer* plain = Make16(std::vector<int16_t>(4), 1, 44100, DSBCAPS_STATIC);
    EXPECT_EQ(plain->SetVolume(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(22050), DSERR_CONTROLUNAVAIL);

    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(4));
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetVolume(-10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(10001), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(99), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetFrequency(200001), DSERR_INVALIDPARAM);
    ASSERT_EQ(b->SetFrequency(11025), DS_OK);
    ASSERT_EQ(b->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
    DWORD frequency = 0;
    ASSERT_EQ(b->GetFrequency(&frequency), DS_OK);
    EXPECT_EQ(frequency, 44100u) << "0 goes back to the format's rate";
    ASSERT_EQ(b->SetPan(-2500), DS_OK);
    LONG pan = 0;
    ASSERT_EQ(b->GetPan(&pan), DS_OK);
    EXPECT_EQ(pan, -2500);
}

TEST_F(DeviceTest, NamedCallsCanBeMadeToFail) {
    seams::FailCall("IDirectSound::CreateSoundBuffer", 1);
    const WAVEFORMATEX f = Pcm(1, 8000, 8);
    EXPECT_EQ(TryCreate(ds, &f, 8), DSERR_GENERIC);
    EXPECT_EQ(TryCreate(ds, &f, 8), DS_OK) << "only one call was to fail";

    seams::FailCall("IDirectSound::CreateSoundBuffer", 1, DSERR_OUTOFMEMORY);
    EXPECT_EQ(TryCreate(ds, &f, 8), DSERR_OUTOFMEMORY);

    IDirectSoundBuffer* b = Make(f, nullptr, 8);
    seams::FailCall("IDirectSoundBuffer::Lock");
    void *p1, *p2;
    DWORD n1, n2;
    EXPECT_TRUE(FAILED(b->Lock(0, 8, &p1, &n1, &p2, &n2, 0)));
    seams::FailCall("IDirectSoundBuffer::GetStatus");
    DWORD status;
    EXPECT_TRUE(FAILED(b->GetStatus(&status)));
    seams::ClearAllCalls();
    EXPECT_EQ(b->GetStatus(&status), DS_OK);
}

BOOL CollectDevice(GUID* guid, LPCSTR description, LPCSTR, LPVOID context) {
    auto* seen = static_cast<std::vector<std::pair<bool, std::string>>*>(context);
    seen->emplace_back(guid == nullptr, description);
    return seen->size() < 5;
}

TEST_F(DeviceTest, EnumerationReportsThePrimaryDriverThenEachOutput) {
    std::vector<std::pair<bool, std::string>> seen;
    ASSERT_EQ(DirectSoundEnumerateA(CollectDevice, &seen), DS_OK);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(seen[0].first);
    EXPECT_EQ(seen[0].second, "Primary Sound Driver");
    EXPECT_FALSE(seen[1].first);
    EXPECT_EQ(seen[1].second, "Manual test output");
    EXPECT_EQ(DirectSoundEnumerateA(nullptr, nullptr), DSERR_INVALIDPARAM);
}

TEST(DirectSoundDevice, InitializeFailsWithoutAnAudioOutput) {
    ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
    void* object = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &object), S_OK);
    auto* ds = static_cast<IDirectSound*>(object);
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(ds->GetCaps(&caps), DSERR_UNINITIALIZED);
    seams::FailCall("SDL_OpenAudioDevice", 1);
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_NODRIVER);
    EXPECT_FALSE(sdl::IsAudioOutputOpen());
    EXPECT_EQ(ds->Initialize(nullptr), DS_OK) << "works once there is an output";
    EXPECT_EQ(ds->Initialize(nullptr), DSERR_ALREADYINITIALIZED);
    EXPECT_TRUE(sdl::IsAudioOutputOpen());
    ds->Release();
    EXPECT_FALSE(sdl::IsAudioOutputOpen()) << "the device closes the output it opened";
    seams::ClearAllCalls();
    sdl::SetManualAudioOutput(false);

    IUnknown* unknown = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSoundBuffer,
                               reinterpret_cast<void**>(&unknown)),
              E_NOINTERFACE);
}

TEST_F(DeviceTest, ReleasedBuffersLeaveTheMixer) {
    const int before = dsound::LiveBufferCountForTest();
    IDirectSoundBuffer* b = Make16(std::vector<int16_t>(100, 5000));
    IDirectSoundBuffer* copy = nullptr;
    ASSERT_EQ(ds->DuplicateSoundBuffer(b, &copy), DS_OK);
    EXPECT_EQ(dsound::LiveBufferCountForTest(), before + 2);
    ASSERT_EQ(copy->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    copy->Release();
    EXPECT_EQ(dsound::LiveBufferCountForTest(), before + 1);
    std::vector<int16_t> out = Render(8);
    EXPECT_EQ(out[0], 0) << "a released buffer no longer sounds";
}

}  // namespace
