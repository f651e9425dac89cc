// DirectMusic stand-in: what the sound library asks of DirectMusic when MIDI
// plays through it: creating the loader, the performance and the DirectMusic
// object, listing the MIDI ports, initialising the performance's audio with
// a DirectSound object, its master volume, and the calls made on a MIDI
// handle played as a segment (asking whether it plays, stopping it, and
// unloading and releasing it when the handle is deleted), and the
// performance's stop and close-down at the end of sound.
//
// What is done:
//   - CoCreateInstance of CLSID_DirectMusicLoader, CLSID_DirectMusicPerformance
//     and CLSID_DirectMusic (the classes are registered with the COM stand-in).
//   - IDirectMusic::EnumPort(index, caps): S_OK with the port's capabilities
//     for ports 0 to count - 1, S_FALSE past the last. There is one port, an
//     output port: the software synthesizer that plays into the DirectSound
//     output (its description is Japanese, as on this system's users'
//     machines). E_POINTER for null caps, E_INVALIDARG when caps->dwSize is
//     not sizeof(DMUS_PORTCAPS).
//   - IDirectMusicPerformance8::InitAudio(music, sound, window, path type,
//     channels, flags, params): makes a DirectSound object (CoCreateInstance,
//     Initialize with the default device, cooperative level DSSCL_PRIORITY on
//     the window, else the foreground window, else the desktop window) and,
//     when sound is not null, hands it back through it with a reference for
//     the caller. The performance keeps a reference of its own until CloseDown
//     or its release. A failure of any of those steps is the result, and
//     nothing is handed back. Refused: params whose dwSize is not
//     sizeof(DMUS_AUDIOPARAMS) (E_INVALIDARG); a DirectMusic out-parameter or
//     a DirectSound object of the caller's (music not null, *sound not null:
//     E_NOTIMPL); InitAudio of a performance that holds its audio (E_FAIL).
//   - IDirectMusicPerformance8::SetGlobalParam(GUID_PerfMasterVolume, value,
//     4): keeps the master volume (S_OK). Another parameter: E_NOTIMPL; a
//     size other than 4: E_INVALIDARG; null data: E_POINTER.
//   - IDirectMusicPerformance8::IsPlaying(segment, null): S_OK while the
//     segment plays in that performance, S_FALSE when it does not. Both
//     arguments null: E_POINTER.
//   - IDirectMusicPerformance8::StopEx(object, 0, 0): stops a segment at once
//     (S_OK, also when it was not playing); a null object stops every segment
//     of the performance. An object that is not a segment: E_NOTIMPL.
//   - IDirectMusicPerformance8::Stop(segment, null, 0, 0): stops a segment at
//     once (S_OK, also when it was not playing); segment and segment state
//     both null stop every segment of the performance. A segment not made
//     here: E_INVALIDARG.
//   - IDirectMusicPerformance8::CloseDown(): S_OK; the performance stops
//     every segment and lets go of its references to them and to its
//     DirectSound object, as it must before it is released. It can still be
//     asked and stopped afterwards (nothing plays).
//   - IDirectMusicSegment8::Unload(performance): S_OK (a segment holds no
//     downloaded instruments here, so there is nothing to free). Null:
//     E_POINTER; an object that is not a performance: E_INVALIDARG.
//   - IDirectMusicLoader8::ReleaseObjectByUnknown(object): drops the loader's
//     cached reference to an object it loaded (S_OK); S_FALSE when the object
//     is not (or no longer) in its cache; E_POINTER for null.
//   - QueryInterface answers IUnknown and the object's own interfaces (a
//     segment also answers IDirectMusicSegment, the DirectMusic object also
//     IDirectMusic); references are counted as COM does. A performance holds
//     a reference to each segment it plays; a loader holds one to each
//     segment in its cache; both let go of them when they are released.
//
// What is not done: no sound is made by a performance, there is no clock, no
// PlaySegmentEx, Download, audiopaths, ports of one's own or segment states;
// the loader loads nothing by itself. IsPlaying or Stop with a segment state,
// and StopEx or Stop with a time or flags other than 0 give E_NOTIMPL. Tests
// say what plays through the calls in namespace dmusic below.
//
// Test seams (seams::FailCall): "IDirectMusicPerformance8::IsPlaying",
// "IDirectMusicPerformance8::StopEx", "IDirectMusicPerformance8::Stop",
// "IDirectMusicPerformance8::InitAudio",
// "IDirectMusicPerformance8::SetGlobalParam", "IDirectMusic::EnumPort",
// "IDirectMusic::QueryInterface" (a query for IDirectMusic8 only),
// "IDirectMusicSegment8::Unload" and
// "IDirectMusicLoader8::ReleaseObjectByUnknown" make that method fail with
// the chosen HRESULT (E_FAIL when the test chose none), changing nothing.
// Creating the objects fails through the COM stand-in's "CoCreateInstance".
#pragma once

#include "platform/com/com.h"
#include "platform/dsound/dsound.h"
#include "platform/wintypes.h"

#include <cstdint>

using MUSIC_TIME = int32_t;

// ---- ports, audio parameters and global parameters ------------------------------
#define DMUS_MAX_DESCRIPTION 128
#define DMUS_PC_INPUTCLASS 0
#define DMUS_PC_OUTPUTCLASS 1

struct DMUS_PORTCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;  // DMUS_PC_INPUTCLASS or DMUS_PC_OUTPUTCLASS
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    WCHAR wszDescription[DMUS_MAX_DESCRIPTION];
};

#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1

#define DMUS_AUDIOF_3D 0x1
#define DMUS_AUDIOF_ENVIRON 0x2
#define DMUS_AUDIOF_EAX 0x4
#define DMUS_AUDIOF_DMOS 0x8
#define DMUS_AUDIOF_STREAMING 0x10
#define DMUS_AUDIOF_BUFFERS 0x20
#define DMUS_AUDIOF_ALL 0x3F

#define DMUS_AUDIOPARAMS_FEATURES 0x1
#define DMUS_AUDIOPARAMS_VOICES 0x2
#define DMUS_AUDIOPARAMS_SAMPLERATE 0x4
#define DMUS_AUDIOPARAMS_DEFAULTSYNTH 0x8

struct DMUS_AUDIOPARAMS {
    DWORD dwSize;
    BOOL fInitNow;
    DWORD dwValidData;
    DWORD dwFeatures;
    DWORD dwVoices;
    DWORD dwSampleRate;
    CLSID clsidDefaultSynth;
};
static_assert(sizeof(DMUS_AUDIOPARAMS) == 40, "DMUS_AUDIOPARAMS is 40 bytes");

extern const GUID GUID_PerfMasterVolume;

struct IDirectMusic;
struct IDirectMusicSegmentState : IUnknown {};

// The base segment interface; the methods of the base are not built.
struct IDirectMusicSegment : IUnknown {};

struct IDirectMusicSegment8 : IDirectMusicSegment {
    // Unloads the segment's instruments from a performance or audiopath.
    virtual HRESULT Unload(IUnknown* audioPath) = 0;
};

struct IDirectMusicPerformance8 : IUnknown {
    virtual HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState) = 0;
    virtual HRESULT StopEx(IUnknown* objectToStop, int64_t stopTime, DWORD flags) = 0;
    virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState, MUSIC_TIME stopTime,
                         DWORD flags) = 0;
    virtual HRESULT CloseDown() = 0;
    virtual HRESULT InitAudio(IDirectMusic** music, IDirectSound** sound, HWND window, DWORD defaultPathType,
                              DWORD performanceChannels, DWORD flags, DMUS_AUDIOPARAMS* params) = 0;
    virtual HRESULT SetGlobalParam(REFGUID type, void* data, DWORD size) = 0;
};

// The DirectMusic object; of its methods only the port list is built.
struct IDirectMusic : IUnknown {
    virtual HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) = 0;
};
struct IDirectMusic8 : IDirectMusic {};

struct IDirectMusicLoader8 : IUnknown {
    virtual HRESULT ReleaseObjectByUnknown(IUnknown* object) = 0;
};

extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusic;
extern const IID IID_IDirectMusicSegment;
extern const IID IID_IDirectMusicSegment8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusic;
extern const IID IID_IDirectMusic8;

// ---- test interface ---------------------------------------------------------------
namespace dmusic {

// Registers the loader, performance and DirectMusic classes with the COM
// stand-in.
void RegisterClasses();

// New objects, each with one reference for the caller.
IDirectMusicPerformance8* CreatePerformanceForTest();
IDirectMusicLoader8* CreateLoaderForTest();
IDirectMusic8* CreateDirectMusicForTest();
// A segment as the loader's GetObject gives it: one reference for the caller
// and one in the loader's cache. Null for a loader not made here.
IDirectMusicSegment8* LoadSegmentForTest(IDirectMusicLoader8* loader);

// Starts a segment in a performance, as PlaySegmentEx would once it is heard
// (S_OK; S_FALSE when it already plays); E_POINTER for a null argument and
// E_INVALIDARG for objects not made here.
HRESULT PlaySegmentForTest(IDirectMusicPerformance8* performance, IDirectMusicSegment8* segment);
// The segment reaches its end by itself: S_OK, or S_FALSE when it was not
// playing; the same refusals as PlaySegmentForTest.
HRESULT EndSegmentForTest(IDirectMusicPerformance8* performance, IDirectMusicSegment8* segment);

// Every call the sound library makes, counted whether it succeeded or not,
// with the arguments of the last one.
struct CallLog {
    int isPlaying;
    int stopEx;
    int stop;
    int closeDown;
    int unload;
    int releaseObjectByUnknown;
    int enumPort;
    int initAudio;
    int setGlobalParam;
    IUnknown* lastStopped;  // of StopEx or Stop
    int64_t lastStopTime;
    DWORD lastStopFlags;
    IUnknown* lastUnloadedFrom;
    IUnknown* lastReleasedFromLoader;
    // of the last InitAudio
    HWND lastWindow;
    DWORD lastPathType;
    DWORD lastChannels;
    DWORD lastAudioFlags;
    DMUS_AUDIOPARAMS lastAudioParams;  // zero when none were given
    IDirectSound* lastDirectSound;     // the object it made (none when it failed)
    int32_t lastMasterVolume;          // of the last SetGlobalParam that kept one
};
CallLog CallLogForTest();
void ResetCallLogForTest();

// Performances, loaders, segments and DirectMusic objects not yet destroyed.
int LiveObjectCountForTest();

// While set, EnumPort lists an input port after the synthesizer.
void OfferInputPortForTest(bool offered);

}  // namespace dmusic
