// Shared set-up for the DirectSound stand-in tests: a device on the manual
// audio output, buffer creation and rendering by hand.
#pragma once

#include "pcm_format.h"
#include "platform/dsound/dsound.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace dstest {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        seams::ClearAllCalls();
        ASSERT_EQ(sdl::SetManualAudioOutput(true), 0);
        void* object = nullptr;
        ASSERT_EQ(CoCreateInstance(CLSID_DirectSound, nullptr, CLSCTX_ALL, IID_IDirectSound, &object), S_OK);
        ds = static_cast<IDirectSound*>(object);
        ASSERT_EQ(ds->Initialize(nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY), DS_OK);
    }
    void TearDown() override {
        for (IDirectSoundBuffer* b : made) b->Release();
        if (ds != nullptr) ds->Release();
        seams::ClearAllCalls();
        sdl::SetManualAudioOutput(false);
        EXPECT_FALSE(sdl::IsAudioOutputOpen());
    }

    // A buffer of the format holding bytes (released at tear-down).
    IDirectSoundBuffer* Make(const WAVEFORMATEX& format, const void* bytes, DWORD size,
                             DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY) {
        WAVEFORMATEX f = format;
        DSBUFFERDESC d{};
        d.dwSize = sizeof d;
        d.dwFlags = flags;
        d.dwBufferBytes = size;
        d.lpwfxFormat = &f;
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
        if (b == nullptr) return nullptr;
        made.push_back(b);
        if (bytes != nullptr) Fill(b, bytes, size);
        return b;
    }
    IDirectSoundBuffer* Make16(const std::vector<int16_t>& samples, WORD channels = 1, DWORD rate = 44100,
                               DWORD flags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY) {
        return Make(Pcm(channels, rate, 16), samples.data(), static_cast<DWORD>(samples.size() * 2), flags);
    }
    static void Fill(IDirectSoundBuffer* b, const void* bytes, DWORD size) {
        void *p1 = nullptr, *p2 = nullptr;
        DWORD n1 = 0, n2 = 0;
        ASSERT_EQ(b->Lock(0, size, &p1, &n1, &p2, &n2, 0), DS_OK);
        ASSERT_EQ(n1, size);
        std::memcpy(p1, bytes, size);
        ASSERT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    }
    // frames of the whole output, interleaved left/right.
    static std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(sdl::RenderAudioOutput(out.data(), frames), 0);
        return out;
    }
    static DWORD PlayCursor(IDirectSoundBuffer* b) {
        DWORD play = 0xFFFFFFFF;
        EXPECT_EQ(b->GetCurrentPosition(&play, nullptr), DS_OK);
        return play;
    }
    static DWORD Status(IDirectSoundBuffer* b) {
        DWORD s = 0xFFFFFFFF;
        EXPECT_EQ(b->GetStatus(&s), DS_OK);
        return s;
    }

    IDirectSound* ds = nullptr;
    std::vector<IDirectSoundBuffer*> made;
};

}  // namespace dstest
