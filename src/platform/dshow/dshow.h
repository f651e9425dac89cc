// DirectShow stand-in: the filter graph manager, pins, media types,
// allocators and samples, a reference clock, and the filters intelligent
// connect chooses from, backed by FFmpeg's libraries.
//
// What the graph does:
//   - AddFilter keeps a reference to the filter until RemoveFilter or the
//     graph's end; a null filter: E_POINTER; a name already used gets a
//     number added (VFW_S_DUPLICATE_NAME).
//   - Connect(out, in) tries the pins directly, then through one of the
//     stand-in's own filters (a decoder or the colour converter).
//     Render(out) connects the pin onward until a renderer ends each chain:
//     filters already in the graph with a free input pin first, then the
//     stand-in's own (demultiplexer, decoders, colour converter, the default
//     audio renderer). Chains that end nowhere are taken back; a partial
//     success gives VFW_S_AUDIO_NOT_RENDERED or VFW_S_VIDEO_NOT_RENDERED
//     when only that kind is missing, else VFW_S_PARTIAL_RENDER. There is no
//     default video renderer: a picture needs a renderer in the graph.
//   - RenderFile(path) adds a file source (an asynchronous reader over the
//     file) and renders its output pin. A missing or unreadable file:
//     VFW_E_NOT_FOUND. A file FFmpeg cannot open, an empty file, or one whose
//     header claims what its data cannot hold: VFW_E_UNSUPPORTED_STREAM; a
//     file that opens but has no stream anything can render:
//     VFW_E_CANNOT_RENDER. On failure every filter it added is removed again.
//   - Run/Pause/Stop change every filter's state, renderers first on the way
//     up and last on the way down; Stop returns when every streaming thread
//     has ended. The graph's last Release stops it first, then releases the
//     filters, so a graph released while it runs is safe.
//   - IMediaEvent: renderers report the end of their stream; once every
//     renderer did, EC_COMPLETE is queued. A streaming error queues
//     EC_ERRORABORT. WaitForCompletion gives E_ABORT after its timeout.
//   - IMediaSeeking works in TIME_FORMAT_MEDIA_TIME (100 ns) only; the
//     current position follows the reference clock while running, stops at
//     the stop position, and SetPositions restarts streaming from there.
//   - The default audio renderer plays into the program's audio output,
//     which it opens when it leaves the stopped state with its pin connected
//     and closes on Stop; one whose pin is not connected opens nothing.
//   - IBasicAudio sets the audio renderers' volume in hundredths of a
//     decibel (-10000..0; else E_INVALIDARG) and balance (-10000..10000).
//   - The reference clock is the system's monotonic clock; SetSyncSource(null)
//     makes renderers present every sample at once.
//
// Formats: what libavformat opens and libavcodec decodes; audio leaves the
// decoder as 16-bit PCM (WAVEFORMATEX), video as planar YUV 4:2:0 that the
// colour converter turns into bottom-up RGB24 (VIDEOINFOHEADER). Pictures
// past dshow::kMaxPictureLongSide x kMaxPictureShortSide (either way up,
// picture_limit.h) are refused: a file whose video stream states such a size
// is refused by RenderFile (VFW_E_UNSUPPORTED_STREAM) before a decoder is
// opened for it (RefusedPictureSize then gives the stated size), and the
// decoders and the colour converter take no larger picture.
//
// Test seams (seams::FailCall), each failing its call with the chosen
// HRESULT (E_FAIL when the test chose none):
//   "IGraphBuilder::AddFilter", "::RemoveFilter", "::EnumFilters",
//   "::ConnectDirect", "::Connect", "::Disconnect", "::Render", "::RenderFile";
//   "IMediaControl::Run", "::Pause", "::Stop", "::GetState";
//   "IMediaEvent::GetEvent", "::WaitForCompletion" (with event code 0);
//   "IMediaSeeking::GetDuration", "::GetStopPosition", "::GetCurrentPosition",
//   "::SetPositions"; "IBasicAudio::put_Volume", "::put_Balance";
//   "IMediaFilter::SetSyncSource"; "IBaseFilter::EnumPins";
//   "IEnumFilters::Next", "IEnumPins::Next"; and "QueryInterface(<name>)"
//   for the graph's IGraphBuilder, IMediaControl, IMediaSeeking,
//   IMediaEvent, IMediaFilter and IBasicAudio (E_NOINTERFACE by default).
#pragma once

#include "platform/com/com.h"
#include "platform/dshow/picture_limit.h"
#include "platform/dsound/dsound.h"
#include "platform/gdi32/gdi32.h"
#include "platform/wintypes.h"

#include <cstdint>

using REFERENCE_TIME = LONGLONG;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using OAFilterState = LONG;

// ---- results ------------------------------------------------------------------
#define E_ABORT ((HRESULT)0x80004004)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define VFW_S_NO_MORE_ITEMS ((HRESULT)0x00040103)
#define VFW_S_NO_STOP_TIME ((HRESULT)0x00040270)
#define VFW_S_DUPLICATE_NAME ((HRESULT)0x0004022D)
#define VFW_S_STATE_INTERMEDIATE ((HRESULT)0x00040237)
#define VFW_S_PARTIAL_RENDER ((HRESULT)0x00040242)
#define VFW_S_VIDEO_NOT_RENDERED ((HRESULT)0x00040257)
#define VFW_S_AUDIO_NOT_RENDERED ((HRESULT)0x00040258)
#define VFW_E_INVALIDMEDIATYPE ((HRESULT)0x80040200)
#define VFW_E_ALREADY_CONNECTED ((HRESULT)0x80040204)
#define VFW_E_NO_ACCEPTABLE_TYPES ((HRESULT)0x80040207)
#define VFW_E_INVALID_DIRECTION ((HRESULT)0x80040208)
#define VFW_E_NOT_CONNECTED ((HRESULT)0x80040209)
#define VFW_E_NO_ALLOCATOR ((HRESULT)0x8004020A)
#define VFW_E_RUNTIME_ERROR ((HRESULT)0x8004020B)
#define VFW_E_BUFFER_NOTSET ((HRESULT)0x8004020C)
#define VFW_E_BUFFER_OVERFLOW ((HRESULT)0x8004020D)
#define VFW_E_BADALIGN ((HRESULT)0x8004020E)
#define VFW_E_ALREADY_COMMITTED ((HRESULT)0x8004020F)
#define VFW_E_BUFFERS_OUTSTANDING ((HRESULT)0x80040210)
#define VFW_E_NOT_COMMITTED ((HRESULT)0x80040211)
#define VFW_E_SIZENOTSET ((HRESULT)0x80040212)
#define VFW_E_NOT_FOUND ((HRESULT)0x80040216)
#define VFW_E_CANNOT_CONNECT ((HRESULT)0x80040217)
#define VFW_E_CANNOT_RENDER ((HRESULT)0x80040218)
#define VFW_E_NOT_STOPPED ((HRESULT)0x80040224)
#define VFW_E_WRONG_STATE ((HRESULT)0x80040227)
#define VFW_E_TYPE_NOT_ACCEPTED ((HRESULT)0x8004022A)
#define VFW_E_UNKNOWN_FILE_TYPE ((HRESULT)0x80040240)
#define VFW_E_INVALID_FILE_FORMAT ((HRESULT)0x80040241)
#define VFW_E_INVALID_MEDIA_TYPE ((HRESULT)0x80040248)
#define VFW_E_SAMPLE_TIME_NOT_SET ((HRESULT)0x80040249)
#define VFW_E_TIMEOUT ((HRESULT)0x8004022E)
#define VFW_E_NOT_IN_GRAPH ((HRESULT)0x8004025F)
#define VFW_E_UNSUPPORTED_STREAM ((HRESULT)0x80040265)

// ---- event codes --------------------------------------------------------------
#define EC_COMPLETE 0x01
#define EC_USERABORT 0x02
#define EC_ERRORABORT 0x03

// ---- seeking flags -----------------------------------------------------------------
#define AM_SEEKING_NoPositioning 0x0
#define AM_SEEKING_AbsolutePositioning 0x1
#define AM_SEEKING_RelativePositioning 0x2
#define AM_SEEKING_IncrementalPositioning 0x3
#define AM_SEEKING_PositioningBitsMask 0x3

#define AM_SEEKING_CanSeekAbsolute 0x1
#define AM_SEEKING_CanSeekForwards 0x2
#define AM_SEEKING_CanSeekBackwards 0x4
#define AM_SEEKING_CanGetCurrentPos 0x8
#define AM_SEEKING_CanGetStopPos 0x10
#define AM_SEEKING_CanGetDuration 0x20

// ---- sample flags (AM_SAMPLE2_PROPERTIES::dwSampleFlags) -------------------------
#define AM_SAMPLE_SPLICEPOINT 0x01
#define AM_SAMPLE_PREROLL 0x02
#define AM_SAMPLE_DATADISCONTINUITY 0x04
#define AM_SAMPLE_TYPECHANGED 0x08
#define AM_SAMPLE_TIMEVALID 0x10
#define AM_SAMPLE_STOPVALID 0x100
#define AM_STREAM_MEDIA 0
#define AM_STREAM_CONTROL 1

// ---- enumerations and structures ----------------------------------------------
enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;  // from CoTaskMemAlloc
};

struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    DWORD dwBitRate;
    DWORD dwBitErrorRate;
    REFERENCE_TIME AvgTimePerFrame;
    BITMAPINFOHEADER bmiHeader;
};

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};

struct IBaseFilter;
struct IPin;
struct IFilterGraph;
struct IMemAllocator;
struct IReferenceClock;

struct PIN_INFO {
    IBaseFilter* pFilter;  // with a reference
    PIN_DIRECTION dir;
    WCHAR achName[128];
};

struct FILTER_INFO {
    WCHAR achName[128];
    IFilterGraph* pGraph;  // with a reference, or null outside a graph
};

struct AM_SAMPLE2_PROPERTIES {
    DWORD cbData;
    DWORD dwTypeSpecificFlags;
    DWORD dwSampleFlags;
    LONG lActual;
    REFERENCE_TIME tStart;
    REFERENCE_TIME tStop;
    DWORD dwStreamId;
    AM_MEDIA_TYPE* pMediaType;
    BYTE* pbBuffer;
    LONG cbBuffer;
};

// ---- identifiers -----------------------------------------------------------------
extern const GUID GUID_NULL;
extern const CLSID CLSID_FilterGraph;
extern const CLSID CLSID_NullRenderer;
extern const CLSID CLSID_AsyncReader;
extern const CLSID CLSID_DSoundRender;
extern const CLSID CLSID_SystemClock;
extern const IID IID_IPersist;
extern const IID IID_IMediaFilter;
extern const IID IID_IBaseFilter;
extern const IID IID_IPin;
extern const IID IID_IEnumPins;
extern const IID IID_IEnumFilters;
extern const IID IID_IEnumMediaTypes;
extern const IID IID_IMemInputPin;
extern const IID IID_IMemAllocator;
extern const IID IID_IMediaSample;
extern const IID IID_IAsyncReader;
extern const IID IID_IReferenceClock;
extern const IID IID_IFilterGraph;
extern const IID IID_IGraphBuilder;
extern const IID IID_IMediaControl;
extern const IID IID_IMediaEvent;
extern const IID IID_IMediaSeeking;
extern const IID IID_IBasicAudio;
extern const IID IID_IMediaEventSink;
extern const GUID MEDIATYPE_Video;
extern const GUID MEDIATYPE_Audio;
extern const GUID MEDIATYPE_Stream;
extern const GUID MEDIASUBTYPE_MPEG1Audio;
extern const GUID MEDIASUBTYPE_PCM;
extern const GUID MEDIASUBTYPE_RGB24;
extern const GUID MEDIASUBTYPE_RGB32;
extern const GUID MEDIASUBTYPE_IYUV;
extern const GUID FORMAT_None;
extern const GUID FORMAT_VideoInfo;
extern const GUID FORMAT_WaveFormatEx;
extern const GUID TIME_FORMAT_MEDIA_TIME;

// ---- task memory (format blocks, media types handed out) -------------------------
void* CoTaskMemAlloc(size_t bytes);
void CoTaskMemFree(void* block);

// ---- interfaces ------------------------------------------------------------------
struct IReferenceClock : IUnknown {
    // The clock's time in 100 ns units; never goes back.
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
};

struct IMediaSample : IUnknown {
    virtual HRESULT GetPointer(BYTE** buffer) = 0;
    virtual LONG GetSize() = 0;
    // VFW_E_SAMPLE_TIME_NOT_SET without a start time; a start without a stop
    // gives stop = start + 1 and VFW_S_NO_STOP_TIME.
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    // Null start clears the times; null stop sets the start only.
    virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(BOOL sync) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(BOOL preroll) = 0;
    virtual LONG GetActualDataLength() = 0;
    // A length above the buffer's size: VFW_E_BUFFER_OVERFLOW.
    virtual HRESULT SetActualDataLength(LONG length) = 0;
    // S_FALSE and null when the type did not change; else a copy to free
    // with DeleteMediaType.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
};

struct IMemAllocator : IUnknown {
    // Only while not committed (VFW_E_ALREADY_COMMITTED) and with no sample
    // out (VFW_E_BUFFERS_OUTSTANDING); an alignment that is not a power of
    // two: VFW_E_BADALIGN.
    virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
    // Allocates the buffers (VFW_E_SIZENOTSET before SetProperties).
    virtual HRESULT Commit() = 0;
    // Wakes every waiting GetBuffer (VFW_E_NOT_COMMITTED); memory goes once
    // every sample is back.
    virtual HRESULT Decommit() = 0;
    // Waits for a free sample unless flags has AM_GBF_NOWAIT.
    virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) = 0;
    virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;
};
#define AM_GBF_NOWAIT 4

struct IEnumPins : IUnknown {
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** clone) = 0;
};

struct IEnumMediaTypes : IUnknown {
    // Each type comes from CoTaskMemAlloc with its format block; free both
    // with DeleteMediaType.
    virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMediaTypes** clone) = 0;
};

struct IPin : IUnknown {
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Disconnect() = 0;
    // VFW_E_NOT_CONNECTED (and null) when not connected.
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** enumerator) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};

struct IMemInputPin : IUnknown {
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
    // S_OK when Receive may block (renderers), S_FALSE when it never does.
    virtual HRESULT ReceiveCanBlock() = 0;
};

struct IAsyncReader : IUnknown {
    virtual HRESULT RequestAllocator(IMemAllocator* preferred, ALLOCATOR_PROPERTIES* properties,
                                     IMemAllocator** actual) = 0;
    // Queues a read into the sample: its times are the byte range (in bytes
    // x 10,000,000); WaitForNext hands it back filled.
    virtual HRESULT Request(IMediaSample* sample, DWORD_PTR user) = 0;
    // VFW_E_TIMEOUT after timeout ms; VFW_E_WRONG_STATE while flushing (the
    // sample, if any, handed back unread).
    virtual HRESULT WaitForNext(DWORD timeout, IMediaSample** sample, DWORD_PTR* user) = 0;
    virtual HRESULT SyncReadAligned(IMediaSample* sample) = 0;
    // S_FALSE when fewer bytes than asked were there.
    virtual HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) = 0;
    virtual HRESULT Length(LONGLONG* total, LONGLONG* available) = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
};

struct IEnumFilters : IUnknown {
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** clone) = 0;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IMediaFilter : IPersist {
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD timeout, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
    virtual HRESULT EnumPins(IEnumPins** enumerator) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // Called by the graph: a null graph when the filter leaves it.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
};

struct IFilterGraph : IUnknown {
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** enumerator) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
    virtual HRESULT Render(IPin* out) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
    virtual HRESULT Abort() = 0;
};

// The parts of the automation-style control interfaces that are used.
struct IMediaControl : IUnknown {
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG timeout, OAFilterState* state) = 0;
    virtual HRESULT RenderFile(LPCWSTR file) = 0;
    virtual HRESULT StopWhenReady() = 0;
};

struct IMediaEvent : IUnknown {
    // E_ABORT when no event comes within timeout ms.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) = 0;
    // S_OK with EC_COMPLETE, EC_ERRORABORT or EC_USERABORT; E_ABORT on
    // timeout; VFW_E_WRONG_STATE when the graph is not running.
    virtual HRESULT WaitForCompletion(LONG timeout, LONG* code) = 0;
    virtual HRESULT CancelDefaultHandling(LONG code) = 0;
    virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IMediaSeeking : IUnknown {
    virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
    virtual HRESULT IsFormatSupported(const GUID* format) = 0;
    virtual HRESULT GetTimeFormat(GUID* format) = 0;
    virtual HRESULT SetTimeFormat(const GUID* format) = 0;
    virtual HRESULT GetDuration(LONGLONG* duration) = 0;
    virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
    virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
    virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
    virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
    virtual HRESULT GetRate(double* rate) = 0;
};

// What filters tell the graph (end of stream, errors).
struct IMediaEventSink : IUnknown {
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};

struct IBasicAudio : IUnknown {
    virtual HRESULT put_Volume(LONG volume) = 0;
    virtual HRESULT get_Volume(LONG* volume) = 0;
    virtual HRESULT put_Balance(LONG balance) = 0;
    virtual HRESULT get_Balance(LONG* balance) = 0;
};

// ---- media type helpers ------------------------------------------------------------
// Frees the format block (and pUnk's reference) and clears them.
void FreeMediaType(AM_MEDIA_TYPE& type);
// Frees a type from CoTaskMemAlloc with its format block.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// Deep copy into an empty target; E_OUTOFMEMORY (target left empty) when the
// format block cannot be copied.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A deep copy from CoTaskMemAlloc, or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

namespace dshow {
// Registers the graph, the null renderer, the file source and the default
// audio renderer with the COM stand-in.
void RegisterClasses();

// ---- test hooks ----
// Streaming threads running now, across every graph.
int LiveStreamingThreadsForTest();
// Filter objects alive now (the stand-in's own and those on the framework).
int LiveFiltersForTest();
}  // namespace dshow
