// The DirectMusic stand-in: what IsPlaying answers as segments start, end and
// are stopped or closed down, the references the performance and loader hold, the refused
// arguments, QueryInterface, and the seams that make each method fail.
#include "platform/dmusic/dmusic.h"
#include "platform/seams/seams.h"

#include <gtest/gtest.h>

namespace {

ULONG Refs(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// A segment state of someone else's: the stand-in makes none.
class ForeignState final : public ComObject<IDirectMusicSegmentState> {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
};

class ForeignSegment final : public ComObject<IDirectMusicSegment> {
public:
    HRESULT QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
};

class DirectMusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        seams::ClearAllCalls();
        dmusic::ResetCallLogForTest();
        performance_ = dmusic::CreatePerformanceForTest();
        loader_ = dmusic::CreateLoaderForTest();
        segment_ = dmusic::LoadSegmentForTest(loader_);
        ASSERT_NE(segment_, nullptr);
    }
    void TearDown() override {
        seams::ClearAllCalls();
        segment_->Release();
        loader_->Release();
        performance_->Release();
        EXPECT_EQ(dmusic::LiveObjectCountForTest(), 0) << "objects left behind";
    }
    IDirectMusicPerformance8* performance_ = nullptr;
    IDirectMusicLoader8* loader_ = nullptr;
    IDirectMusicSegment8* segment_ = nullptr;
};

TEST_F(DirectMusicTest, IsPlayingFollowsStartEndAndStop) {
    enum Step { kNothing, kPlay, kEnd, kStopSegment, kStopAll, kStop, kStopEverything, kCloseDown };
    struct Case {
        const char* what;
        Step step;
        HRESULT stepResult;
        HRESULT isPlaying;
        ULONG segmentRefs;  // the test's, the loader's cache, the performance's while it plays
    } const cases[] = {
        {"a loaded segment does not play", kNothing, S_OK, S_FALSE, 2},
        {"started, it plays", kPlay, S_OK, S_OK, 3},
        {"started again, it plays once", kPlay, S_FALSE, S_OK, 3},
        {"at its end it stops", kEnd, S_OK, S_FALSE, 2},
        {"an ended segment cannot end again", kEnd, S_FALSE, S_FALSE, 2},
        {"started once more", kPlay, S_OK, S_OK, 3},
        {"StopEx stops it", kStopSegment, S_OK, S_FALSE, 2},
        {"StopEx of a stopped segment is no error", kStopSegment, S_OK, S_FALSE, 2},
        {"started for the last time", kPlay, S_OK, S_OK, 3},
        {"StopEx of nothing stops every segment", kStopAll, S_OK, S_FALSE, 2},
        {"started to be stopped", kPlay, S_OK, S_OK, 3},
        {"Stop stops it", kStop, S_OK, S_FALSE, 2},
        {"Stop of a stopped segment is no error", kStop, S_OK, S_FALSE, 2},
        {"started again", kPlay, S_OK, S_OK, 3},
        {"Stop of nothing stops every segment", kStopEverything, S_OK, S_FALSE, 2},
        {"started before the close-down", kPlay, S_OK, S_OK, 3},
        {"CloseDown stops it and lets go of it", kCloseDown, S_OK, S_FALSE, 2},
        {"CloseDown again is no error", kCloseDown, S_OK, S_FALSE, 2},
    };
    for (const Case& c : cases) {
        HRESULT result = S_OK;
        if (c.step == kPlay) result = dmusic::PlaySegmentForTest(performance_, segment_);
        if (c.step == kEnd) result = dmusic::EndSegmentForTest(performance_, segment_);
        if (c.step == kStopSegment) result = performance_->StopEx(segment_, 0, 0);
        if (c.step == kStopAll) result = performance_->StopEx(nullptr, 0, 0);
        if (c.step == kStop) result = performance_->Stop(segment_, nullptr, 0, 0);
        if (c.step == kStopEverything) result = performance_->Stop(nullptr, nullptr, 0, 0);
        if (c.step == kCloseDown) result = performance_->CloseDown();
        EXPECT_EQ(result, c.stepResult) << c.what;
        EXPECT_EQ(performance_->IsPlaying(segment_, nullptr), c.isPlaying) << c.what;
        EXPECT_EQ(Refs(segment_), c.segmentRefs) << c.what;
    }
    // Each performance has its own segments.
    IDirectMusicPerformance8* other = dmusic::CreatePerformanceForTest();
    ASSERT_EQ(dmusic::PlaySegmentForTest(other, segment_), S_OK);
    EXPECT_EQ(performance_->IsPlaying(segment_, nullptr), S_FALSE);
    EXPECT_EQ(other->IsPlaying(segment_, nullptr), S_OK);
    other->Release();
    EXPECT_EQ(Refs(segment_), 2u) << "a released performance lets go of what it played";
}

TEST_F(DirectMusicTest, TheLoaderReleasesWhatItCachedOnce) {
    EXPECT_EQ(Refs(segment_), 2u);
    EXPECT_EQ(loader_->ReleaseObjectByUnknown(segment_), S_OK);
    EXPECT_EQ(Refs(segment_), 1u);
    EXPECT_EQ(loader_->ReleaseObjectByUnknown(segment_), S_FALSE) << "no longer cached";
    EXPECT_EQ(Refs(segment_), 1u);
    // A loader released with segments in its cache drops them too.
    IDirectMusicLoader8* other = dmusic::CreateLoaderForTest();
    IDirectMusicSegment8* cached = dmusic::LoadSegmentForTest(other);
    ASSERT_NE(cached, nullptr);
    cached->Release();
    EXPECT_EQ(dmusic::LiveObjectCountForTest(), 5);
    other->Release();
    EXPECT_EQ(dmusic::LiveObjectCountForTest(), 3);
}

TEST_F(DirectMusicTest, BadArgumentsAreRefused) {
    ForeignState state;
    ForeignSegment foreign;
    ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment_), S_OK);
    IDirectMusic8* music = dmusic::CreateDirectMusicForTest();
    DMUS_PORTCAPS caps{};
    DMUS_AUDIOPARAMS params{};
    int32_t volume = 0;
    struct Case {
        const char* what;
        HRESULT result;
        HRESULT expected;
    } const cases[] = {
        {"IsPlaying of nothing", performance_->IsPlaying(nullptr, nullptr), E_POINTER},
        {"IsPlaying of a segment state", performance_->IsPlaying(nullptr, &state), E_NOTIMPL},
        {"StopEx at a later time", performance_->StopEx(segment_, 100, 0), E_NOTIMPL},
        {"StopEx on a boundary", performance_->StopEx(segment_, 0, 0x800), E_NOTIMPL},
        {"StopEx of a loader", performance_->StopEx(loader_, 0, 0), E_NOTIMPL},
        {"Stop of a segment state", performance_->Stop(nullptr, &state, 0, 0), E_NOTIMPL},
        {"Stop at a later time", performance_->Stop(segment_, nullptr, 100, 0), E_NOTIMPL},
        {"Stop on a boundary", performance_->Stop(nullptr, nullptr, 0, 0x800), E_NOTIMPL},
        {"Stop of someone else's segment", performance_->Stop(&foreign, nullptr, 0, 0), E_INVALIDARG},
        {"Unload from nothing", segment_->Unload(nullptr), E_POINTER},
        {"Unload from a loader", segment_->Unload(loader_), E_INVALIDARG},
        {"Unload from a performance", segment_->Unload(performance_), S_OK},
        {"ReleaseObjectByUnknown of nothing", loader_->ReleaseObjectByUnknown(nullptr), E_POINTER},
        {"ReleaseObjectByUnknown of an uncached object", loader_->ReleaseObjectByUnknown(performance_), S_FALSE},
        {"PlaySegmentForTest without a segment", dmusic::PlaySegmentForTest(performance_, nullptr), E_POINTER},
        {"EndSegmentForTest without a performance", dmusic::EndSegmentForTest(nullptr, segment_), E_POINTER},
        {"EnumPort of caps of another size", music->EnumPort(0, &caps), E_INVALIDARG},
        {"InitAudio with parameters of another size",
         performance_->InitAudio(nullptr, nullptr, nullptr, 1, 64, 0, &params), E_INVALIDARG},
        {"SetGlobalParam of another parameter", performance_->SetGlobalParam(IID_IUnknown, &volume, 4), E_NOTIMPL},
    };
    for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.what;
    music->Release();
    EXPECT_EQ(performance_->IsPlaying(segment_, nullptr), S_OK) << "the refused stops left it playing";
    EXPECT_EQ(dmusic::LoadSegmentForTest(nullptr), nullptr);
}

TEST_F(DirectMusicTest, QueryInterfaceAnswersOwnInterfacesOnly) {
    IDirectMusic8* music = dmusic::CreateDirectMusicForTest();
    struct Case {
        const char* what;
        IUnknown* object;
        const IID* iid;
        HRESULT expected;
    } const cases[] = {
        {"segment as IUnknown", segment_, &IID_IUnknown, S_OK},
        {"segment as IDirectMusicSegment", segment_, &IID_IDirectMusicSegment, S_OK},
        {"segment as IDirectMusicSegment8", segment_, &IID_IDirectMusicSegment8, S_OK},
        {"segment as a performance", segment_, &IID_IDirectMusicPerformance8, E_NOINTERFACE},
        {"performance as IDirectMusicPerformance8", performance_, &IID_IDirectMusicPerformance8, S_OK},
        {"performance as a loader", performance_, &IID_IDirectMusicLoader8, E_NOINTERFACE},
        {"loader as IDirectMusicLoader8", loader_, &IID_IDirectMusicLoader8, S_OK},
        {"loader as a segment", loader_, &IID_IDirectMusicSegment8, E_NOINTERFACE},
        {"DirectMusic as IDirectMusic", music, &IID_IDirectMusic, S_OK},
        {"DirectMusic as IDirectMusic8", music, &IID_IDirectMusic8, S_OK},
        {"DirectMusic as a performance", music, &IID_IDirectMusicPerformance8, E_NOINTERFACE},
    };
    for (const Case& c : cases) {
        const ULONG before = Refs(c.object);
        void* answer = reinterpret_cast<void*>(1);
        EXPECT_EQ(c.object->QueryInterface(*c.iid, &answer), c.expected) << c.what;
        if (c.expected == S_OK) {
            EXPECT_EQ(answer, static_cast<void*>(c.object)) << c.what;
            EXPECT_EQ(Refs(c.object), before + 1) << c.what;
            c.object->Release();
        } else {
            EXPECT_EQ(answer, nullptr) << c.what;
            EXPECT_EQ(Refs(c.object), before) << c.what;
        }
    }
    EXPECT_EQ(segment_->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(music->Release(), 0u);
}

TEST_F(DirectMusicTest, EachSeamFailsItsMethodAndChangesNothing) {
    ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment_), S_OK);
    struct Case {
        const char* what;
        const char* seam;
        int64_t chosen;
        HRESULT expected;
        HRESULT (*call)(IDirectMusicPerformance8*, IDirectMusicLoader8*, IDirectMusicSegment8*);
    } const cases[] = {
        {"IsPlaying", "IDirectMusicPerformance8::IsPlaying", -1, E_FAIL,
         [](IDirectMusicPerformance8* p, IDirectMusicLoader8*, IDirectMusicSegment8* s) {
             return p->IsPlaying(s, nullptr);
         }},
        {"StopEx with a chosen result", "IDirectMusicPerformance8::StopEx", E_OUTOFMEMORY, E_OUTOFMEMORY,
         [](IDirectMusicPerformance8* p, IDirectMusicLoader8*, IDirectMusicSegment8* s) {
             return p->StopEx(s, 0, 0);
         }},
        {"Stop", "IDirectMusicPerformance8::Stop", -1, E_FAIL,
         [](IDirectMusicPerformance8* p, IDirectMusicLoader8*, IDirectMusicSegment8*) {
             return p->Stop(nullptr, nullptr, 0, 0);
         }},
        {"Unload", "IDirectMusicSegment8::Unload", -1, E_FAIL,
         [](IDirectMusicPerformance8* p, IDirectMusicLoader8*, IDirectMusicSegment8* s) { return s->Unload(p); }},
        {"ReleaseObjectByUnknown", "IDirectMusicLoader8::ReleaseObjectByUnknown", -1, E_FAIL,
         [](IDirectMusicPerformance8*, IDirectMusicLoader8* l, IDirectMusicSegment8* s) {
             return l->ReleaseObjectByUnknown(s);
         }},
        {"SetGlobalParam", "IDirectMusicPerformance8::SetGlobalParam", -1, E_FAIL,
         [](IDirectMusicPerformance8* p, IDirectMusicLoader8*, IDirectMusicSegment8*) {
             int32_t volume = 0;
             return p->SetGlobalParam(GUID_PerfMasterVolume, &volume, 4);
         }},
        {"EnumPort", "IDirectMusic::EnumPort", -1, E_FAIL,
         [](IDirectMusicPerformance8*, IDirectMusicLoader8*, IDirectMusicSegment8*) {
             IDirectMusic8* music = dmusic::CreateDirectMusicForTest();
             DMUS_PORTCAPS caps{};
             caps.dwSize = sizeof caps;
             const HRESULT hr = music->EnumPort(0, &caps);
             music->Release();
             return hr;
         }},
    };
    for (const Case& c : cases) {
        dmusic::ResetCallLogForTest();
        seams::FailCall(c.seam, 1, c.chosen);
        EXPECT_EQ(c.call(performance_, loader_, segment_), c.expected) << c.what;
        const dmusic::CallLog log = dmusic::CallLogForTest();
        EXPECT_EQ(log.isPlaying + log.stopEx + log.stop + log.unload + log.releaseObjectByUnknown + log.initAudio +
                      log.setGlobalParam + log.enumPort,
                  1)
            << c.what;
        EXPECT_EQ(Refs(segment_), 3u) << c.what << ": still played and cached";
        EXPECT_EQ(performance_->IsPlaying(segment_, nullptr), S_OK) << c.what;
    }
}

TEST_F(DirectMusicTest, TheCallLogKeepsTheLastArguments) {
    dmusic::ResetCallLogForTest();
    performance_->StopEx(segment_, 0, 0);
    segment_->Unload(performance_);
    loader_->ReleaseObjectByUnknown(segment_);
    const dmusic::CallLog log = dmusic::CallLogForTest();
    EXPECT_EQ(log.stopEx, 1);
    EXPECT_EQ(log.lastStopped, segment_);
    EXPECT_EQ(log.lastStopTime, 0);
    EXPECT_EQ(log.lastStopFlags, 0u);
    EXPECT_EQ(log.unload, 1);
    EXPECT_EQ(log.lastUnloadedFrom, performance_);
    EXPECT_EQ(log.releaseObjectByUnknown, 1);
    EXPECT_EQ(log.lastReleasedFromLoader, segment_);
    EXPECT_EQ(log.isPlaying, 0);
}

}  // namespace
