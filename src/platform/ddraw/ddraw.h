// DirectDraw 7 stand-in: the DirectDraw object as far as the library uses it
// (created with CoCreateInstance, initialised for the primary display, a
// cooperative level, the capability block and the vertical-blank wait).
//
// There is no display to synchronise with: WaitForVerticalBlank is paced by
// the monotonic clock at the refresh rate asked for (60 Hz until set), whatever
// the real display does. Under seams::NoWait() it returns at once; under
// seams::StillClock() it moves that clock on to the next blank instead.
//
// Test seam (seams::FailCall): "IDirectDraw7::Initialize" fails Initialize
// with the chosen HRESULT (DDERR_GENERIC when the test chose none).
#pragma once

#include "platform/com/com.h"
#include "platform/wintypes.h"

#include <cstdint>

extern const CLSID CLSID_DirectDraw7;
extern const IID IID_IDirectDraw7;

#define DD_OK S_OK
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_NOTINITIALIZED CO_E_NOTINITIALIZED
#define DDERR_ALREADYINITIALIZED ((HRESULT)0x88760005)
#define DDERR_GENERIC ((HRESULT)0x80004005)

// SetCooperativeLevel flags.
#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010
#define DDSCL_MULTITHREADED 0x00000400
#define DDSCL_FPUPRESERVE 0x00001000

// WaitForVerticalBlank flags.
#define DDWAITVB_BLOCKBEGIN 0x00000001
#define DDWAITVB_BLOCKBEGINEVENT 0x00000002
#define DDWAITVB_BLOCKEND 0x00000004

// The capability block: its leading fields, up to the alignments the overlay
// code reads. The stand-in reports no hardware capability (all zero).
struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCKeyCaps;
    DWORD dwFXCaps;
    DWORD dwFXAlphaCaps;
    DWORD dwPalCaps;
    DWORD dwSVCaps;
    DWORD dwAlphaBltConstBitDepths;
    DWORD dwAlphaBltPixelBitDepths;
    DWORD dwAlphaBltSurfaceBitDepths;
    DWORD dwAlphaOverlayConstBitDepths;
    DWORD dwAlphaOverlayPixelBitDepths;
    DWORD dwAlphaOverlaySurfaceBitDepths;
    DWORD dwZBufferBitDepths;
    DWORD dwVidMemTotal;
    DWORD dwVidMemFree;
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DWORD dwNumFourCCCodes;
    DWORD dwAlignBoundarySrc;
    DWORD dwAlignSizeSrc;
    DWORD dwAlignBoundaryDest;
    DWORD dwAlignSizeDest;
    DWORD dwAlignStrideAlign;
};
#define DDCAPS_ALIGNBOUNDARYDEST 0x00000002
#define DDCAPS_ALIGNSIZEDEST 0x00000004
#define DDCAPS_ALIGNBOUNDARYSRC 0x00000008
#define DDCAPS_ALIGNSIZESRC 0x00000010

struct IDirectDraw7 : IUnknown {
    // Fills the blocks given (either may be null; each needs dwSize set to
    // sizeof(DDCAPS)).
    virtual HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* helCaps) = 0;
    // The refresh rate the vertical blank is paced at, in Hz.
    virtual HRESULT GetMonitorFrequency(DWORD* frequency) = 0;
    // guid null: the primary display driver. Once only.
    virtual HRESULT Initialize(GUID* guid) = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    // DDWAITVB_BLOCKBEGIN waits for the start of the next vertical blank;
    // DDWAITVB_BLOCKEND for its end (the same instant here). The event form is
    // not supported.
    virtual HRESULT WaitForVerticalBlank(DWORD flags, HANDLE event) = 0;
};

namespace ddraw {
// Registers CLSID_DirectDraw7 with the COM stand-in.
void RegisterClasses();

// The refresh rate the vertical-blank waits of every DirectDraw object are
// paced at (Hz; 0 or less, or more than 1000, restores 60).
void SetVerticalBlankRate(int32_t hertz);
int32_t GetVerticalBlankRate();
// How many vertical-blank waits have returned (also under seams::NoWait()).
uint64_t VerticalBlankWaitCount();
// The flags of the last SetCooperativeLevel that any object accepted (tests).
DWORD LastCooperativeLevelFlags();

// The start of the first vertical blank after now (strictly), all in
// microseconds of one clock: blanks fall at origin + k x period.
int64_t NextVerticalBlank(int64_t nowUs, int64_t originUs, int64_t periodUs);
}  // namespace ddraw
