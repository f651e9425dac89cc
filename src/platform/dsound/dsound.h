// DirectSound stand-in: the device object, its primary buffer and secondary
// buffers (with duplicates that share sample memory), over our own mixer that
// feeds the one audio output of src/platform/sdl/sdl_audio.h.
//
// Secondary buffers CreateSoundBuffer refuses (the rule that decides whether
// a sound becomes a memory sound, a stream sound or nothing):
//   - a null description or format, a dwSize other than sizeof(DSBUFFERDESC)
//     or sizeof(DSBUFFERDESC1): DSERR_INVALIDPARAM;
//   - wFormatTag other than WAVE_FORMAT_PCM, nChannels other than 1 or 2,
//     wBitsPerSample other than 8 or 16: DSERR_BADFORMAT;
//   - nBlockAlign other than nChannels x wBitsPerSample / 8, nAvgBytesPerSec
//     other than nSamplesPerSec x nBlockAlign, nSamplesPerSec outside
//     DSBFREQUENCY_MIN..DSBFREQUENCY_MAX (100..200000): DSERR_INVALIDPARAM;
//   - dwBufferBytes outside DSBSIZE_MIN..DSBSIZE_MAX (4..0x0FFFFFFF) or not a
//     whole number of blocks: DSERR_INVALIDPARAM;
//   - both DSBCAPS_LOCHARDWARE and DSBCAPS_LOCSOFTWARE: DSERR_INVALIDPARAM.
// A primary buffer (DSBCAPS_PRIMARYBUFFER) must come with no format and 0
// bytes. Buffer memory starts as silence (0, or 0x80 for 8-bit formats).
//
// Behaviour callers rely on: Stop keeps the play cursor; Play starts at the
// current position; a buffer played once stops by itself at its end and its
// cursor goes back to 0; a looping buffer wraps. GetCurrentPosition gives
// the play cursor rounded down to a block and a write cursor 10 ms ahead
// while playing (equal to the play cursor when stopped). Lock gives a second
// region when the span wraps. Volume and pan are hundredths of a decibel;
// SetVolume, SetPan and SetFrequency need DSBCAPS_CTRLVOLUME, DSBCAPS_CTRLPAN
// and DSBCAPS_CTRLFREQUENCY (else DSERR_CONTROLUNAVAIL). Every method is
// safe to call from any thread; the mixer runs on the audio thread.
//
// SetCooperativeLevel refuses a level outside DSSCL_NORMAL..DSSCL_WRITEPRIMARY
// and a handle that names no window (null included) with DSERR_INVALIDPARAM;
// the desktop window (GetDesktopWindow) is a window.
//
// Initialize opens the audio output; when there is none (no sound card) it
// fails with DSERR_NODRIVER, as DirectSound does without a driver.
//
// Test seams (seams::FailCall): "IDirectSound::<Method>" and
// "IDirectSoundBuffer::<Method>" make that method fail with the chosen
// HRESULT (DSERR_GENERIC when the test chose none); "DirectSoundEnumerateA".
#pragma once

#include "platform/com/com.h"
#include "platform/wintypes.h"

#include <cstdint>

// ---- wave formats -------------------------------------------------------------
#ifndef _WAVEFORMATEX_
#define _WAVEFORMATEX_
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes, packed");
using LPWAVEFORMATEX = WAVEFORMATEX*;
using LPCWAVEFORMATEX = const WAVEFORMATEX*;
#endif
#ifndef WAVE_FORMAT_PCM
#define WAVE_FORMAT_PCM 1
#endif

// ---- results ------------------------------------------------------------------
#define DS_OK S_OK
#define DSERR_GENERIC E_FAIL
#define DSERR_INVALIDPARAM E_INVALIDARG
#define DSERR_OUTOFMEMORY E_OUTOFMEMORY
#define DSERR_UNSUPPORTED E_NOTIMPL
#define DSERR_NOINTERFACE E_NOINTERFACE
#define DSERR_ALLOCATED ((HRESULT)0x8878000A)
#define DSERR_CONTROLUNAVAIL ((HRESULT)0x8878001E)
#define DSERR_INVALIDCALL ((HRESULT)0x88780032)
#define DSERR_PRIOLEVELNEEDED ((HRESULT)0x88780046)
#define DSERR_BADFORMAT ((HRESULT)0x88780064)
#define DSERR_NODRIVER ((HRESULT)0x88780078)
#define DSERR_ALREADYINITIALIZED ((HRESULT)0x88780082)
#define DSERR_UNINITIALIZED ((HRESULT)0x887800AA)

// ---- flags and limits ---------------------------------------------------------
#define DSSCL_NORMAL 0x00000001
#define DSSCL_PRIORITY 0x00000002
#define DSSCL_EXCLUSIVE 0x00000003
#define DSSCL_WRITEPRIMARY 0x00000004

#define DSBCAPS_PRIMARYBUFFER 0x00000001
#define DSBCAPS_STATIC 0x00000002
#define DSBCAPS_LOCHARDWARE 0x00000004
#define DSBCAPS_LOCSOFTWARE 0x00000008
#define DSBCAPS_CTRL3D 0x00000010
#define DSBCAPS_CTRLFREQUENCY 0x00000020
#define DSBCAPS_CTRLPAN 0x00000040
#define DSBCAPS_CTRLVOLUME 0x00000080
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x00000100
#define DSBCAPS_STICKYFOCUS 0x00004000
#define DSBCAPS_GLOBALFOCUS 0x00008000
#define DSBCAPS_GETCURRENTPOSITION2 0x00010000

#define DSBPLAY_LOOPING 0x00000001
#define DSBSTATUS_PLAYING 0x00000001
#define DSBSTATUS_BUFFERLOST 0x00000002
#define DSBSTATUS_LOOPING 0x00000004
#define DSBLOCK_FROMWRITECURSOR 0x00000001
#define DSBLOCK_ENTIREBUFFER 0x00000002

#define DSBFREQUENCY_ORIGINAL 0
#define DSBFREQUENCY_MIN 100
#define DSBFREQUENCY_MAX 200000
#define DSBPAN_LEFT (-10000)
#define DSBPAN_CENTER 0
#define DSBPAN_RIGHT 10000
#define DSBVOLUME_MIN (-10000)
#define DSBVOLUME_MAX 0
#define DSBSIZE_MIN 4
#define DSBSIZE_MAX 0x0FFFFFFF

#define DSCAPS_PRIMARYMONO 0x00000001
#define DSCAPS_PRIMARYSTEREO 0x00000002
#define DSCAPS_PRIMARY8BIT 0x00000004
#define DSCAPS_PRIMARY16BIT 0x00000008
#define DSCAPS_CONTINUOUSRATE 0x00000010
#define DSCAPS_EMULDRIVER 0x00000020
#define DSCAPS_CERTIFIED 0x00000040
#define DSCAPS_SECONDARYMONO 0x00000100
#define DSCAPS_SECONDARYSTEREO 0x00000200
#define DSCAPS_SECONDARY8BIT 0x00000400
#define DSCAPS_SECONDARY16BIT 0x00000800

// ---- structures ---------------------------------------------------------------
struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
    GUID guid3DAlgorithm;
};
// The older description without the 3D algorithm.
struct DSBUFFERDESC1 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    LPWAVEFORMATEX lpwfxFormat;
};
using LPCDSBUFFERDESC = const DSBUFFERDESC*;

struct DSCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMinSecondarySampleRate;
    DWORD dwMaxSecondarySampleRate;
    DWORD dwPrimaryBuffers;
    DWORD dwMaxHwMixingAllBuffers;
    DWORD dwMaxHwMixingStaticBuffers;
    DWORD dwMaxHwMixingStreamingBuffers;
    DWORD dwFreeHwMixingAllBuffers;
    DWORD dwFreeHwMixingStaticBuffers;
    DWORD dwFreeHwMixingStreamingBuffers;
    DWORD dwMaxHw3DAllBuffers;
    DWORD dwMaxHw3DStaticBuffers;
    DWORD dwMaxHw3DStreamingBuffers;
    DWORD dwFreeHw3DAllBuffers;
    DWORD dwFreeHw3DStaticBuffers;
    DWORD dwFreeHw3DStreamingBuffers;
    DWORD dwTotalHwMemBytes;
    DWORD dwFreeHwMemBytes;
    DWORD dwMaxContigFreeHwMemBytes;
    DWORD dwUnlockTransferRateHwBuffers;
    DWORD dwPlayCpuOverheadSwBuffers;
    DWORD dwReserved1;
    DWORD dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96, "DSCAPS is 96 bytes");
using LPDSCAPS = DSCAPS*;

// ---- class and interface ids ----------------------------------------------------
extern const CLSID CLSID_DirectSound;
extern const IID IID_IDirectSound;
extern const IID IID_IDirectSoundBuffer;

// ---- interfaces -------------------------------------------------------------------
struct IDirectSoundBuffer : IUnknown {
    virtual HRESULT GetCurrentPosition(LPDWORD playCursor, LPDWORD writeCursor) = 0;
    virtual HRESULT GetFormat(LPWAVEFORMATEX format, DWORD sizeAllocated, LPDWORD sizeWritten) = 0;
    virtual HRESULT GetVolume(LONG* volume) = 0;
    virtual HRESULT GetPan(LONG* pan) = 0;
    virtual HRESULT GetFrequency(LPDWORD frequency) = 0;
    virtual HRESULT GetStatus(LPDWORD status) = 0;
    virtual HRESULT Lock(DWORD offset, DWORD bytes, LPVOID* audioPtr1, LPDWORD audioBytes1, LPVOID* audioPtr2,
                         LPDWORD audioBytes2, DWORD flags) = 0;
    virtual HRESULT Play(DWORD reserved1, DWORD priority, DWORD flags) = 0;
    virtual HRESULT SetCurrentPosition(DWORD newPosition) = 0;
    virtual HRESULT SetFormat(LPCWAVEFORMATEX format) = 0;
    virtual HRESULT SetVolume(LONG volume) = 0;
    virtual HRESULT SetPan(LONG pan) = 0;
    virtual HRESULT SetFrequency(DWORD frequency) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Unlock(LPVOID audioPtr1, DWORD audioBytes1, LPVOID audioPtr2, DWORD audioBytes2) = 0;
};
using LPDIRECTSOUNDBUFFER = IDirectSoundBuffer*;

struct IDirectSound : IUnknown {
    virtual HRESULT CreateSoundBuffer(LPCDSBUFFERDESC description, LPDIRECTSOUNDBUFFER* buffer, LPUNKNOWN outer) = 0;
    virtual HRESULT GetCaps(LPDSCAPS caps) = 0;
    virtual HRESULT DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER original, LPDIRECTSOUNDBUFFER* duplicate) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    virtual HRESULT Initialize(const GUID* device) = 0;
};
using LPDIRECTSOUND = IDirectSound*;

// ---- device enumeration ---------------------------------------------------------
using LPDSENUMCALLBACKA = BOOL (*)(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context);
// Calls back once for the primary driver (null guid) and once per output
// device, until the callback returns FALSE.
HRESULT DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context);

namespace dsound {
// Registers CLSID_DirectSound with the COM stand-in, and "dsound.dll", whose
// one entry is DirectSoundEnumerateA, with the module registry.
void RegisterClasses();
// Starts asking for the audio output ahead, on a thread of its own; a program
// calls it early in its start, and the first Initialize then finds the answer
// (or waits for it): DSERR_NODRIVER still when there is no device.
void PrepareOutput();

// ---- test hooks ----
// The capabilities GetCaps reports from now on (dwSize is ignored); null
// restores the defaults: every mono/stereo/8/16-bit flag, secondary rates
// 100 to 200000, no hardware memory.
void SetDeviceCapsForTest(const DSCAPS* caps);
// Secondary buffers alive on every device (duplicates included).
int LiveBufferCountForTest();
// The description flags a secondary buffer (or the buffer it duplicates) was
// made with; 0 for any other buffer.
DWORD BufferFlagsForTest(IDirectSoundBuffer* buffer);
}  // namespace dsound
