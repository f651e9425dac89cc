// MIDI handles in DirectMusic mode: the per-frame check that follows a
// segment once it has been heard, IsMidiPlaying in both modes, the stop and
// the delete with the calls they make on the performance, loader and segment,
// failing calls, a missing performance or loader, and the end of sound with
// the performance's stop and close-down.
#include "platform/dmusic/dmusic.h"
#include "platform/winmm/mci.h"
#include "sound/sound_internal.h"
#include "sound/sound_players.h"
#include "sound_test_util.h"

#include <sys/stat.h>

#include <fstream>

using namespace soundtest;

namespace {

ULONG Refs(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class MidiSegmentTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        mci::ResetForTest();
        performance_ = dmusic::CreatePerformanceForTest();
        loader_ = dmusic::CreateLoaderForTest();
        music_ = dmusic::CreateDirectMusicForTest();
        ASSERT_EQ(SelectMidiModeForTest(1, performance_, loader_, music_), 0);
        dmusic::ResetCallLogForTest();
    }
    void TearDown() override {
        SoundTest::TearDown();  // the end of sound deletes what is left
        EXPECT_EQ(GetMidiCountForTest(), 0);
        SelectMidiModeForTest(0, nullptr, nullptr);
        for (IDirectMusicSegment8* segment : segments_) segment->Release();
        if (loader_ != nullptr) loader_->Release();
        if (performance_ != nullptr) performance_->Release();
        if (music_ != nullptr) music_->Release();
        EXPECT_EQ(dmusic::LiveObjectCountForTest(), 0) << "DirectMusic objects left behind";
        mci::ResetForTest();
    }

    // A segment from the loader; the test's reference is dropped at the end.
    IDirectMusicSegment8* Load() {
        IDirectMusicSegment8* segment = dmusic::LoadSegmentForTest(loader_);
        segments_.push_back(segment);
        return segment;
    }
    // A MIDI handle over a new segment, started (not yet heard) when asked.
    int32_t AddHandle(bool started, IDirectMusicSegment8** segment = nullptr) {
        IDirectMusicSegment8* made = Load();
        if (segment != nullptr) *segment = made;
        const int32_t handle = AddMidiSegmentForTest(data_, 4, made);
        if (started) {
            EXPECT_EQ(StartMidiSegmentForTest(handle), 0);
        }
        return handle;
    }

    IDirectMusicPerformance8* performance_ = nullptr;
    IDirectMusicLoader8* loader_ = nullptr;
    IDirectMusic8* music_ = nullptr;
    std::vector<IDirectMusicSegment8*> segments_;
    const uint8_t data_[4] = {'M', 'T', 'h', 'd'};
};

TEST_F(MidiSegmentTest, WithNoHandleTheCheckFindsNothingInEitherMode) {
    for (int32_t mode : {0, 1}) {
        ASSERT_EQ(SelectMidiModeForTest(mode, performance_, loader_), 0);
        EXPECT_EQ(CheckMidiPlayState(), 0) << "mode " << mode;
        EXPECT_EQ(dmusic::CallLogForTest().isPlaying, 0) << "mode " << mode;
    }
    EXPECT_EQ(SelectMidiModeForTest(2, performance_, loader_), -1);
    EXPECT_EQ(SelectMidiModeForTest(-1, performance_, loader_), -1);
}

TEST_F(MidiSegmentTest, APlayingFlagFollowsTheSegmentOnlyOnceItWasHeard) {
    enum Step { kNothing, kPlay, kEnd };
    struct Case {
        const char* what;
        Step step;
        int32_t playing, seen;
        int isPlayingCalls;  // asked by this pass
    } const cases[] = {
        {"started but not heard yet: still playing", kNothing, 1, 0, 1},
        {"still not heard: still playing", kNothing, 1, 0, 1},
        {"heard: only noted", kPlay, 1, 1, 1},
        {"heard again: playing", kNothing, 1, 1, 1},
        {"ended: no longer playing", kEnd, 0, 1, 1},
        {"a record that does not play is not asked", kNothing, 0, 1, 0},
    };
    IDirectMusicSegment8* segment = nullptr;
    const int32_t h = AddHandle(true, &segment);
    const int32_t idle = AddHandle(false);
    for (const Case& c : cases) {
        if (c.step == kPlay) {
            ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK) << c.what;
        }
        if (c.step == kEnd) {
            ASSERT_EQ(dmusic::EndSegmentForTest(performance_, segment), S_OK) << c.what;
        }
        dmusic::ResetCallLogForTest();
        EXPECT_EQ(CheckMidiPlayState(), 0) << c.what;
        EXPECT_EQ(dmusic::CallLogForTest().isPlaying, c.isPlayingCalls) << c.what;
        EXPECT_EQ(IsMidiPlaying(h), c.playing) << c.what;
        EXPECT_EQ(GetMidiSeenPlayingForTest(h), c.seen) << c.what;
        EXPECT_EQ(IsMidiPlaying(idle), 0) << c.what;
    }
    // A segment that stops before it was ever heard keeps its record playing:
    // the record cannot tell "not yet" from "already over".
    IDirectMusicSegment8* quiet = nullptr;
    const int32_t never = AddHandle(true, &quiet);
    EXPECT_EQ(CheckMidiPlayState(), 0);
    EXPECT_EQ(IsMidiPlaying(never), 1);
    EXPECT_EQ(GetMidiSeenPlayingForTest(never), 0);
}

TEST_F(MidiSegmentTest, AFailedQuestionChangesNoRecord) {
    IDirectMusicSegment8* segment = nullptr;
    const int32_t h = AddHandle(true, &segment);
    ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
    ASSERT_EQ(CheckMidiPlayState(), 0);
    ASSERT_EQ(GetMidiSeenPlayingForTest(h), 1);
    ASSERT_EQ(dmusic::EndSegmentForTest(performance_, segment), S_OK);
    seams::FailCall("IDirectMusicPerformance8::IsPlaying", 1);
    EXPECT_EQ(CheckMidiPlayState(), 0);
    EXPECT_EQ(IsMidiPlaying(h), 1) << "no answer is no news";
    EXPECT_EQ(CheckMidiPlayState(), 0);
    EXPECT_EQ(IsMidiPlaying(h), 0) << "the next answer counts";
}

TEST_F(MidiSegmentTest, IsMidiPlayingReadsTheRecordInModeOneAndMciInModeZero) {
    const int32_t started = AddHandle(true);
    const int32_t idle = AddHandle(false);
    const int32_t gone = AddHandle(false);
    ASSERT_EQ(DeleteMidi(gone), 0);
    struct Case {
        const char* what;
        int32_t mode;
        int32_t handle;
        int32_t expected;
    } const cases[] = {
        {"mode 1, started", 1, started, 1},
        {"mode 1, not started", 1, idle, 0},
        {"mode 0 asks MCI, which plays nothing", 0, started, 0},
        {"mode 0, not started", 0, idle, 0},
        {"mode 1, deleted handle", 1, gone, -1},
        {"mode 0, deleted handle", 0, gone, -1},
        {"mode 1, no handle", 1, -1, -1},
        {"mode 1, a sound handle", 1, 0x10000000, -1},
        {"mode 1, a stale check value", 1, started ^ 0x00010000, -1},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(SelectMidiModeForTest(c.mode, performance_, loader_), 0);
        EXPECT_EQ(IsMidiPlaying(c.handle), c.expected) << c.what;
    }
    ASSERT_EQ(SelectMidiModeForTest(1, performance_, loader_), 0);
}

// The stop deletes the temporary file and clears the handle's flags even when
// the segment could not be stopped; that failure is still reported.
TEST_F(MidiSegmentTest, StopSendsStopExAndClearsTheFlags) {
    struct Case {
        const char* what;
        bool performance;
        const char* failingSeam;
        int32_t result;
        int stopEx;
    } const cases[] = {
        {"stopped", true, nullptr, 0, 1},
        {"StopEx fails", true, "IDirectMusicPerformance8::StopEx", -1, 1},
        {"no performance", false, nullptr, -1, 0},
    };
    for (const Case& c : cases) {
        std::ofstream("segment.mid") << "MThd";
        IDirectMusicSegment8* segment = nullptr;
        const int32_t h = AddHandle(false, &segment);
        ASSERT_EQ(StartMidiForTest(h, 0, 1, "segment.mid"), 0) << c.what;  // the loop and temporary-file flags
        ASSERT_EQ(StartMidiSegmentForTest(h), 0);
        ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
        ASSERT_EQ(CheckMidiPlayState(), 0);
        ASSERT_EQ(GetMidiSeenPlayingForTest(h), 1) << c.what;
        ASSERT_EQ(SelectMidiModeForTest(1, c.performance ? performance_ : nullptr, loader_, music_), 0);
        if (c.failingSeam != nullptr) seams::FailCall(c.failingSeam, 1);
        dmusic::ResetCallLogForTest();

        EXPECT_EQ(StopMidi(h), c.result) << c.what;
        const dmusic::CallLog log = dmusic::CallLogForTest();
        EXPECT_EQ(log.stopEx, c.stopEx) << c.what;
        if (c.stopEx > 0) {
            EXPECT_EQ(log.lastStopped, segment) << c.what;
            EXPECT_EQ(log.lastStopTime, 0) << c.what;
            EXPECT_EQ(log.lastStopFlags, 0u) << c.what;
        }
        EXPECT_EQ(performance_->IsPlaying(segment, nullptr), c.result == 0 ? S_FALSE : S_OK) << c.what;
        EXPECT_EQ(IsMidiPlaying(h), 0) << c.what;
        EXPECT_EQ(GetMidiSeenPlayingForTest(h), 0) << c.what;
        struct stat info;
        EXPECT_NE(stat("segment.mid", &info), 0) << c.what << ": the temporary file is deleted";
        EXPECT_EQ(mci::CommandCountForTest(), 0) << c.what << ": mode 1 sends MCI nothing";
        ASSERT_EQ(SelectMidiModeForTest(1, performance_, loader_, music_), 0);
        dmusic::ResetCallLogForTest();
        ASSERT_EQ(DeleteMidi(h), 0) << c.what;
        EXPECT_EQ(dmusic::CallLogForTest().stopEx, 0) << c.what << ": a stopped handle is not stopped again";
        performance_->StopEx(nullptr, 0, 0);
        seams::ClearAllCalls();
    }
}

TEST_F(MidiSegmentTest, DeleteUnloadsAndReleasesTheSegmentOnceAndStopsOnlyWhatPlays) {
    struct Case {
        const char* what;
        bool started;
        int stopEx;
    } const cases[] = {
        {"not playing: no stop", false, 0},
        {"playing: stopped first", true, 1},
    };
    for (const Case& c : cases) {
        IDirectMusicSegment8* segment = nullptr;
        const int32_t h = AddHandle(c.started, &segment);
        if (c.started) {
            ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
        }
        EXPECT_EQ(Refs(segment), c.started ? 4u : 3u) << c.what << ": test, loader, record (and performance)";
        dmusic::ResetCallLogForTest();
        ASSERT_EQ(DeleteMidi(h), 0) << c.what;
        const dmusic::CallLog log = dmusic::CallLogForTest();
        EXPECT_EQ(log.stopEx, c.stopEx) << c.what;
        EXPECT_EQ(log.unload, 1) << c.what;
        EXPECT_EQ(log.lastUnloadedFrom, performance_) << c.what;
        EXPECT_EQ(log.releaseObjectByUnknown, 1) << c.what;
        EXPECT_EQ(log.lastReleasedFromLoader, segment) << c.what;
        EXPECT_EQ(Refs(segment), 1u) << c.what << ": only the test's reference is left";
        EXPECT_EQ(IsMidiPlaying(h), -1) << c.what;
        EXPECT_EQ(DeleteMidi(h), -1) << c.what << ": already gone";
        EXPECT_EQ(dmusic::CallLogForTest().unload, 1) << c.what;
    }
}

TEST_F(MidiSegmentTest, FailingCallsLeaveNothingBehind) {
    struct Case {
        const char* what;
        const char* seam;
    } const cases[] = {
        {"StopEx fails", "IDirectMusicPerformance8::StopEx"},
        {"Unload fails", "IDirectMusicSegment8::Unload"},
        {"ReleaseObjectByUnknown fails", "IDirectMusicLoader8::ReleaseObjectByUnknown"},
    };
    for (const Case& c : cases) {
        IDirectMusicSegment8* segment = nullptr;
        const int32_t h = AddHandle(true, &segment);
        ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
        seams::FailCall(c.seam);
        dmusic::ResetCallLogForTest();
        EXPECT_EQ(DeleteMidi(h), 0) << c.what;
        const dmusic::CallLog log = dmusic::CallLogForTest();
        EXPECT_EQ(log.unload + log.releaseObjectByUnknown, 2) << c.what << ": every step is still taken";
        EXPECT_EQ(IsMidiPlaying(h), -1) << c.what;
        seams::ClearAllCalls();
    }
    EXPECT_EQ(GetMidiCountForTest(), 0);
    // What a failed StopEx or release left held goes with the performance and
    // the loader: the fixture checks that no object outlives them.
}

TEST_F(MidiSegmentTest, WithoutAPerformanceOrLoaderModeOneRefusesSafely) {
    IDirectMusicSegment8* segment = nullptr;
    const int32_t h = AddHandle(true, &segment);
    ASSERT_EQ(SelectMidiModeForTest(1, nullptr, nullptr), 0);
    EXPECT_EQ(CheckMidiPlayState(), 0) << "nothing to ask";
    EXPECT_EQ(IsMidiPlaying(h), 1) << "the record still tells";
    EXPECT_EQ(StopMidi(h), -1) << "nothing to stop it with";
    EXPECT_EQ(Refs(segment), 3u);
    ASSERT_EQ(DeleteMidi(h), 0) << "the handle still goes";
    const dmusic::CallLog log = dmusic::CallLogForTest();
    EXPECT_EQ(log.isPlaying + log.stopEx + log.unload + log.releaseObjectByUnknown, 0);
    EXPECT_EQ(Refs(segment), 2u) << "the record's reference is dropped; the loader keeps its own";

    // A record without a segment stops without stopping every segment.
    const int32_t bare = AddMidiDataForTest(data_, 4);
    ASSERT_EQ(SelectMidiModeForTest(1, performance_, loader_), 0);
    ASSERT_EQ(StartMidiSegmentForTest(bare), 0);
    EXPECT_EQ(CheckMidiPlayState(), 0);
    EXPECT_EQ(StopMidi(bare), 0);
    EXPECT_EQ(dmusic::CallLogForTest().stopEx, 0);
    EXPECT_EQ(DeleteMidi(bare), 0);
    EXPECT_EQ(AddMidiSegmentForTest(data_, 4, nullptr), -1);
}

TEST_F(MidiSegmentTest, TheEndOfSoundDeletesTheHandlesAndLetsGoOfThePerformance) {
    IDirectMusicSegment8* segment = nullptr;
    AddHandle(true, &segment);
    ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
    EXPECT_EQ(Refs(performance_), 2u);
    EXPECT_EQ(Refs(loader_), 2u);
    ASSERT_EQ(TerminateSound(), 0);
    EXPECT_EQ(GetMidiCountForTest(), 0);
    const dmusic::CallLog log = dmusic::CallLogForTest();
    EXPECT_EQ(log.stopEx, 1);
    EXPECT_EQ(log.unload, 1);
    EXPECT_EQ(log.releaseObjectByUnknown, 1);
    EXPECT_EQ(Refs(segment), 1u);
    EXPECT_EQ(Refs(performance_), 1u);
    EXPECT_EQ(Refs(loader_), 1u);
    EXPECT_EQ(CheckMidiPlayState(), -1) << "no sound object";
    ASSERT_EQ(InitializeSound(), 0);
}

// With a sound object the per-frame check answers 0, asking the performance
// only in mode 1 and only when there is one.
TEST_F(MidiSegmentTest, TheCheckAnswersZeroWithASoundObject) {
    struct Case {
        const char* what;
        int32_t mode;
        bool performance;
        int isPlayingCalls;
    } const cases[] = {
        {"mode 1 with a performance", 1, true, 1},
        {"mode 1 without a performance", 1, false, 0},
        {"mode 0 with a performance", 0, true, 0},
    };
    IDirectMusicSegment8* segment = nullptr;
    AddHandle(true, &segment);
    ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, segment), S_OK);
    for (const Case& c : cases) {
        ASSERT_EQ(SelectMidiModeForTest(c.mode, c.performance ? performance_ : nullptr, loader_), 0) << c.what;
        dmusic::ResetCallLogForTest();
        EXPECT_EQ(CheckMidiPlayState(), 0) << c.what;
        EXPECT_EQ(dmusic::CallLogForTest().isPlaying, c.isPlayingCalls) << c.what;
    }
}

// At the end of sound, mode 1 stops everything the performance plays at once
// and closes it down; in either mode the sound state lets go of the
// performance, the loader and the DirectMusic object.
TEST_F(MidiSegmentTest, TheEndOfSoundStopsClosesDownAndReleasesTheMusicObjects) {
    struct Case {
        const char* what;
        int32_t mode;
        bool performance;
        const char* failingSeam;
        int stop, closeDown;
    } const cases[] = {
        {"mode 1", 1, true, nullptr, 1, 1},
        {"mode 1, the stop fails", 1, true, "IDirectMusicPerformance8::Stop", 1, 1},
        {"mode 1 without a performance", 1, false, nullptr, 0, 0},
        {"mode 0 holding the objects", 0, true, nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        IDirectMusicSegment8* playing = Load();
        ASSERT_EQ(dmusic::PlaySegmentForTest(performance_, playing), S_OK) << c.what;
        ASSERT_EQ(SelectMidiModeForTest(c.mode, c.performance ? performance_ : nullptr, loader_, music_), 0);
        if (c.failingSeam != nullptr) seams::FailCall(c.failingSeam);
        dmusic::ResetCallLogForTest();
        ASSERT_EQ(TerminateSound(), 0) << c.what;
        seams::ClearAllCalls();
        const dmusic::CallLog log = dmusic::CallLogForTest();
        EXPECT_EQ(log.stop, c.stop) << c.what;
        EXPECT_EQ(log.closeDown, c.closeDown) << c.what;
        if (c.stop > 0) {
            EXPECT_EQ(log.lastStopped, nullptr) << c.what << ": every segment";
            EXPECT_EQ(log.lastStopTime, 0) << c.what << ": at once";
            EXPECT_EQ(log.lastStopFlags, 0u) << c.what;
        }
        const bool closedDown = c.closeDown > 0;
        EXPECT_EQ(performance_->IsPlaying(playing, nullptr), closedDown ? S_FALSE : S_OK) << c.what;
        EXPECT_EQ(Refs(playing), closedDown ? 2u : 3u) << c.what << ": the test's, the loader's (and the performance's)";
        EXPECT_EQ(Refs(performance_), 1u) << c.what;
        EXPECT_EQ(Refs(loader_), 1u) << c.what;
        EXPECT_EQ(Refs(music_), 1u) << c.what;
        performance_->StopEx(nullptr, 0, 0);
        ASSERT_EQ(InitializeSound(), 0) << c.what;
    }
}

}  // namespace
