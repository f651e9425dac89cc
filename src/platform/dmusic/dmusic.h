// DirectMusic stand-in: the three calls the sound library makes on a MIDI
// handle played as a DirectMusic segment (asking whether it plays, stopping
// it, and unloading and releasing it when the handle is deleted), and the
// performance's stop and close-down at the end of sound.
//
// What is done:
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
//     every segment and lets go of its references to them, as it must before
//     it is released. It can still be asked and stopped afterwards (nothing
//     plays).
//   - IDirectMusicSegment8::Unload(performance): S_OK (a segment holds no
//     downloaded instruments here, so there is nothing to free). Null:
//     E_POINTER; an object that is not a performance: E_INVALIDARG.
//   - IDirectMusicLoader8::ReleaseObjectByUnknown(object): drops the loader's
//     cached reference to an object it loaded (S_OK); S_FALSE when the object
//     is not (or no longer) in its cache; E_POINTER for null.
//   - The DirectMusic object (IDirectMusic8): only held and released; its
//     methods are not built.
//   - QueryInterface answers IUnknown and the object's own interfaces (a
//     segment also answers IDirectMusicSegment, the DirectMusic object also
//     IDirectMusic); references are counted as
//     COM does. A performance holds a reference to each segment it plays; a
//     loader holds one to each segment in its cache; both let go of them when
//     they are released.
//
// What is not done: no class is registered with CoCreateInstance (nothing in
// the program creates these objects); no sound is made, there is no clock,
// no InitAudio, PlaySegmentEx, Download, audiopaths or segment states.
// IsPlaying or Stop with a segment state, and StopEx or Stop with a time or
// flags other than 0 give E_NOTIMPL. Tests make the objects and say what
// plays through the calls in namespace dmusic below.
//
// Test seams (seams::FailCall): "IDirectMusicPerformance8::IsPlaying",
// "IDirectMusicPerformance8::StopEx", "IDirectMusicPerformance8::Stop",
// "IDirectMusicSegment8::Unload" and
// "IDirectMusicLoader8::ReleaseObjectByUnknown" make that method fail with
// the chosen HRESULT (E_FAIL when the test chose none), changing nothing.
#pragma once

#include "platform/com/com.h"
#include "platform/wintypes.h"

#include <cstdint>

using MUSIC_TIME = int32_t;

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
};

// The DirectMusic object; its methods are not built.
struct IDirectMusic : IUnknown {};
struct IDirectMusic8 : IDirectMusic {};

struct IDirectMusicLoader8 : IUnknown {
    virtual HRESULT ReleaseObjectByUnknown(IUnknown* object) = 0;
};

extern const IID IID_IDirectMusicSegment;
extern const IID IID_IDirectMusicSegment8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusic;
extern const IID IID_IDirectMusic8;

// ---- test interface ---------------------------------------------------------------
namespace dmusic {

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
    IUnknown* lastStopped;  // of StopEx or Stop
    int64_t lastStopTime;
    DWORD lastStopFlags;
    IUnknown* lastUnloadedFrom;
    IUnknown* lastReleasedFromLoader;
};
CallLog CallLogForTest();
void ResetCallLogForTest();

// Performances, loaders, segments and DirectMusic objects not yet destroyed.
int LiveObjectCountForTest();

}  // namespace dmusic
