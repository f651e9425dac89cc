// The graph's own calls: filter membership, the test seams, state, events,
// positions, loop restart and the audio volume.
#include "graph_fixture.h"
#include "media_maker.h"

#include <cmath>

namespace dshowtest {
namespace {

constexpr HRESULT kChosen = static_cast<HRESULT>(0x80040217);

class GraphControlTest : public GraphTest {
protected:
    void SetUp() override {
        GraphTest::SetUp();
        path = TempPath("control.avi");
        ASSERT_EQ(WriteMovie({"avi", "mjpeg", "pcm_s16le", 32, 16, 5, 10}, path), "");
    }
    void TearDown() override {
        if (seeking != nullptr) seeking->Release();
        seeking = nullptr;
        GraphTest::TearDown();
        std::remove(path.c_str());
    }
    IMediaSeeking* Seeking() {
        if (seeking == nullptr) graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
        return seeking;
    }
    template <typename Interface>
    Interface* Query(REFIID iid) {
        Interface* p = nullptr;
        graph->QueryInterface(iid, reinterpret_cast<void**>(&p));
        return p;
    }
    std::string path;
    IMediaSeeking* seeking = nullptr;
};

TEST_F(GraphControlTest, FiltersJoinOnceUnderUniqueNames) {
    auto* a = new CaptureRenderer();
    auto* b = new CaptureRenderer();
    EXPECT_EQ(graph->AddFilter(nullptr, u"x"), E_POINTER);
    EXPECT_EQ(graph->AddFilter(a, u"Same"), S_OK);
    EXPECT_EQ(graph->AddFilter(a, u"Again"), E_INVALIDARG);
    EXPECT_EQ(graph->AddFilter(b, u"Same"), VFW_S_DUPLICATE_NAME);
    IBaseFilter* found = nullptr;
    EXPECT_EQ(graph->FindFilterByName(u"Same", &found), S_OK);
    EXPECT_EQ(found, static_cast<IBaseFilter*>(a));
    found->Release();
    FILTER_INFO info{};
    b->QueryFilterInfo(&info);
    EXPECT_NE(std::u16string(info.achName), u"Same");
    EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(graph));
    info.pGraph->Release();
    EXPECT_EQ(graph->RemoveFilter(a), S_OK);
    EXPECT_EQ(graph->RemoveFilter(a), VFW_E_NOT_FOUND);  // and a is gone
    EXPECT_EQ(dshow::LiveFiltersForTest(), 1);
}

struct SeamCase {
    const char* seam;
    HRESULT (*call)(IGraphBuilder* graph, const std::string& path);
};

template <typename I>
I* Q(IGraphBuilder* g, REFIID iid) {
    I* p = nullptr;
    g->QueryInterface(iid, reinterpret_cast<void**>(&p));
    return p;
}

template <typename I, typename F>
HRESULT With(IGraphBuilder* g, REFIID iid, F f) {
    I* p = Q<I>(g, iid);
    HRESULT hr = f(p);
    p->Release();
    return hr;
}

const SeamCase kSeams[] = {
    {"IGraphBuilder::AddFilter", [](IGraphBuilder* g, const std::string&) {
         auto* c = new CaptureRenderer();
         c->AddRef();
         HRESULT hr = g->AddFilter(c, u"c");
         c->Release();
         return hr;
     }},
    {"IGraphBuilder::RenderFile",
     [](IGraphBuilder* g, const std::string& p) { return g->RenderFile(Wide(p).c_str(), nullptr); }},
    {"IGraphBuilder::EnumFilters", [](IGraphBuilder* g, const std::string&) {
         IEnumFilters* e = nullptr;
         return g->EnumFilters(&e);
     }},
    {"IGraphBuilder::Render", [](IGraphBuilder* g, const std::string&) { return g->Render(nullptr); }},
    {"IGraphBuilder::Connect", [](IGraphBuilder* g, const std::string&) { return g->Connect(nullptr, nullptr); }},
    {"IGraphBuilder::Disconnect", [](IGraphBuilder* g, const std::string&) { return g->Disconnect(nullptr); }},
    {"IMediaControl::Run",
     [](IGraphBuilder* g, const std::string&) { return With<IMediaControl>(g, IID_IMediaControl, [](auto* c) { return c->Run(); }); }},
    {"IMediaControl::Pause",
     [](IGraphBuilder* g, const std::string&) { return With<IMediaControl>(g, IID_IMediaControl, [](auto* c) { return c->Pause(); }); }},
    {"IMediaControl::Stop",
     [](IGraphBuilder* g, const std::string&) { return With<IMediaControl>(g, IID_IMediaControl, [](auto* c) { return c->Stop(); }); }},
    {"IMediaEvent::WaitForCompletion", [](IGraphBuilder* g, const std::string&) {
         return With<IMediaEvent>(g, IID_IMediaEvent, [](auto* e) {
             LONG code = 99;
             HRESULT hr = e->WaitForCompletion(0, &code);
             return code == 0 ? hr : E_UNEXPECTED;
         });
     }},
    {"IMediaFilter::SetSyncSource", [](IGraphBuilder* g, const std::string&) {
         return With<IMediaFilter>(g, IID_IMediaFilter, [](auto* f) { return f->SetSyncSource(nullptr); });
     }},
    {"IMediaSeeking::GetDuration", [](IGraphBuilder* g, const std::string&) {
         return With<IMediaSeeking>(g, IID_IMediaSeeking, [](auto* s) {
             LONGLONG d;
             return s->GetDuration(&d);
         });
     }},
    {"IMediaSeeking::SetPositions", [](IGraphBuilder* g, const std::string&) {
         return With<IMediaSeeking>(g, IID_IMediaSeeking, [](auto* s) {
             LONGLONG zero = 0;
             return s->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, &zero, AM_SEEKING_NoPositioning);
         });
     }},
    {"IBasicAudio::put_Volume", [](IGraphBuilder* g, const std::string&) {
         return With<IBasicAudio>(g, IID_IBasicAudio, [](auto* a) { return a->put_Volume(0); });
     }},
    {"QueryInterface(IMediaEvent)", [](IGraphBuilder* g, const std::string&) {
         IMediaEvent* e = nullptr;
         return g->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&e));
     }},
};

TEST_F(GraphControlTest, EachSeamFailsItsCallWithTheChosenResult) {
    for (const SeamCase& c : kSeams) {
        seams::FailCall(c.seam, 1, kChosen);
        EXPECT_EQ(c.call(graph, path), kChosen) << c.seam;
        seams::ClearAllCalls();
    }
    EXPECT_EQ(dshow::LiveFiltersForTest(), 0);
}

TEST_F(GraphControlTest, CompletionIsWaitedForOnlyWhileRunning) {
    AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    auto* events = Query<IMediaEvent>(IID_IMediaEvent);
    LONG code = 1;
    EXPECT_EQ(events->WaitForCompletion(0, &code), VFW_E_WRONG_STATE);
    EXPECT_EQ(Control()->Run(), S_OK);
    EXPECT_EQ(events->WaitForCompletion(0, &code), E_ABORT);  // half a second of movie is left
    EXPECT_EQ(code, 0);
    EXPECT_EQ(events->WaitForCompletion(20000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    events->Release();
}

TEST_F(GraphControlTest, PositionsFollowPlayAndTheLoopRestartsAtZero) {
    CaptureRenderer* capture = AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    LONGLONG duration = 0, stop = 0, position = -1;
    EXPECT_EQ(Seeking()->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration), 5000000.0, 1000000.0);
    EXPECT_EQ(Seeking()->GetStopPosition(&stop), S_OK);
    EXPECT_EQ(stop, duration);
    EXPECT_EQ(Seeking()->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(position, 0);
    EXPECT_EQ(RunToEnd(), EC_COMPLETE);
    Seeking()->GetCurrentPosition(&position);
    EXPECT_GE(position, stop);
    const int firstPass = capture->frames;
    LONGLONG zero = 0;
    EXPECT_EQ(Seeking()->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, &zero, AM_SEEKING_NoPositioning), S_OK);
    Seeking()->GetCurrentPosition(&position);
    EXPECT_LT(position, stop);
    EXPECT_EQ(RunToEnd(), EC_COMPLETE);
    EXPECT_EQ(capture->frames, 2 * firstPass);
}

TEST_F(GraphControlTest, TheGraphChangesOnlyWhileStopped) {
    CaptureRenderer* capture = AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    ASSERT_EQ(Control()->Run(), S_OK);
    IPin* in = capture->GetPin(0);
    EXPECT_EQ(graph->RemoveFilter(capture), VFW_E_NOT_STOPPED);
    EXPECT_EQ(graph->Disconnect(in), VFW_E_NOT_STOPPED);
    EXPECT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), VFW_E_NOT_STOPPED);
    auto* filter = Query<IMediaFilter>(IID_IMediaFilter);
    EXPECT_EQ(filter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);
    ASSERT_EQ(Control()->Stop(), S_OK);
    EXPECT_EQ(filter->SetSyncSource(nullptr), S_OK);
    filter->Release();
    EXPECT_EQ(graph->Disconnect(in), S_OK);
    EXPECT_FALSE(capture->GetPin(0)->IsConnected());
    EXPECT_EQ(graph->RemoveFilter(capture), S_OK);
}

TEST_F(GraphControlTest, PauseFromStoppedShowsOnePicture) {
    CaptureRenderer* capture = AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    ASSERT_EQ(Control()->Pause(), S_OK);
    // The first picture may take a while on a loaded machine; a second one must never come.
    for (int i = 0; i < 1000 && capture->FramesRendered() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(capture->FramesRendered(), 1);
    OAFilterState state;
    Control()->GetState(0, &state);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(Control()->Stop(), S_OK);
}

TEST_F(GraphControlTest, VolumeIsInHundredthsOfADecibel) {
    auto* audio = Query<IBasicAudio>(IID_IBasicAudio);
    EXPECT_EQ(audio->put_Volume(1), E_INVALIDARG);
    EXPECT_EQ(audio->put_Volume(-10001), E_INVALIDARG);
    AddCapture();
    ASSERT_EQ(graph->RenderFile(Wide(path).c_str(), nullptr), S_OK);
    int loud[2] = {};
    const LONG levels[2] = {0, -600};  // -6 dB: about half the amplitude
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(audio->put_Volume(levels[i]), S_OK);
        LONG back = 1;
        audio->get_Volume(&back);
        EXPECT_EQ(back, levels[i]);
        loudest = 0;
        LONGLONG zero = 0;
        Seeking()->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, &zero, AM_SEEKING_NoPositioning);
        EXPECT_EQ(RunToEnd(), EC_COMPLETE);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the output's last blocks
        loud[i] = loudest;
        // What the output still holds plays out before the next level is measured.
        Control()->Stop();
        for (int wait = 0; wait < 200; ++wait) {
            loudest = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (loudest == 0) break;
        }
    }
    ASSERT_GT(loud[0], 4000);
    EXPECT_NEAR(static_cast<double>(loud[1]) / loud[0], std::pow(10.0, -600 / 2000.0), 0.03);
    audio->Release();
}

}  // namespace
}  // namespace dshowtest
