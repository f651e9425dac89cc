// The filter graph manager: one object answering IGraphBuilder (with
// IFilterGraph), IMediaControl, IMediaEvent, IMediaSeeking, IBasicAudio,
// IMediaFilter and, for its filters, IMediaEventSink.
#pragma once

#include "platform/dshow/graph_internal.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace dshow {

class FilterGraph : public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEvent,
                    public IMediaSeeking,
                    public IBasicAudio,
                    public IMediaFilter,
                    public IMediaEventSink {
public:
    FilterGraph();
    virtual ~FilterGraph();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IFilterGraph / IGraphBuilder (graph.cpp, graph_render.cpp)
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** enumerator) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    HRESULT Connect(IPin* out, IPin* in) override;
    HRESULT Render(IPin* out) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
    HRESULT Abort() override;

    // IMediaControl (graph_control.cpp); Stop and Pause also serve IMediaFilter
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG timeout, OAFilterState* state) override;
    HRESULT RenderFile(LPCWSTR file) override;
    HRESULT StopWhenReady() override;

    // IMediaEvent and IMediaEventSink (graph_events.cpp)
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override;
    HRESULT WaitForCompletion(LONG timeout, LONG* code) override;
    HRESULT CancelDefaultHandling(LONG code) override;
    HRESULT RestoreDefaultHandling(LONG code) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

    // IMediaSeeking (graph_seeking.cpp)
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT GetRate(double* rate) override;

    // IBasicAudio (graph_seeking.cpp)
    HRESULT put_Volume(LONG volume) override;
    HRESULT get_Volume(LONG* volume) override;
    HRESULT put_Balance(LONG balance) override;
    HRESULT get_Balance(LONG* balance) override;

    // IMediaFilter
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeout, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

private:
    struct Entry {
        IBaseFilter* filter;  // with a reference
        std::u16string name;
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    // graph.cpp
    std::vector<IBaseFilter*> Snapshot();  // each with a reference
    bool Contains(IBaseFilter* filter);
    std::u16string UniqueName(LPCWSTR name);
    void DisconnectAll(IBaseFilter* filter);
    // graph_render.cpp
    HRESULT RenderPin(IPin* out, int depth);
    HRESULT RenderOutputsOf(IBaseFilter* filter, int depth);
    HRESULT TryFilterInGraph(IPin* out, int depth);
    HRESULT TryNewFilter(IPin* out, IBaseFilter* (*create)(), int depth);
    HRESULT ConnectThrough(IPin* out, IPin* in, int depth);
    // graph_control.cpp
    std::vector<IBaseFilter*> DownstreamFirst();
    HRESULT ChangeState(FILTER_STATE to);
    HRESULT StopFilters();
    int CountRenderers();
    REFERENCE_TIME StreamTime();
    // graph_seeking.cpp
    IMediaSeeking* SeekableFilter();  // with a reference, or null
    LONGLONG DurationLocked();
    LONGLONG StopLocked();
    LONGLONG CurrentPositionLocked();
    void SeekFiltersTo(LONGLONG position);
    void ApplyAudioLevels();
    // graph_events.cpp
    void QueueEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    void ResetCompletion(int renderers);

    std::atomic<ULONG> refs_{1};
    std::recursive_mutex lock_;  // filters, state and positions
    std::vector<Entry> filters_;
    IReferenceClock* clock_ = nullptr;  // with a reference; null: no clock
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME streamStart_ = 0;  // clock time of stream time 0
    REFERENCE_TIME pausedAt_ = 0;     // stream time when paused
    LONGLONG startPosition_ = 0;      // media time streaming starts from
    LONGLONG stopPosition_ = -1;      // -1: the duration
    LONG volume_ = 0;
    LONG balance_ = 0;

    std::mutex eventLock_;  // events and completion counts
    std::condition_variable eventArrived_;
    std::deque<Event> events_;
    int renderers_ = 0;
    int renderersDone_ = 0;
    bool completed_ = false;
    bool aborted_ = false;
};

}  // namespace dshow
