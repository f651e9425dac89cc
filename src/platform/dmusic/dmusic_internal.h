// The stand-in's objects and the bookkeeping they share (the call log, the
// count of live objects, the test seams).
#pragma once

#include "platform/dmusic/dmusic.h"

#include <functional>
#include <mutex>
#include <vector>

namespace dmusic {

// Counts one more (or one fewer) live object.
void CountObject(int delta);
// Records a call in the log, under the log's lock.
void LogCall(const std::function<void(CallLog&)>& change);
// The object's IUnknown identity (no reference kept), or null.
IUnknown* Identity(IUnknown* object);
// The object as one of our segments, or null.
IDirectMusicSegment8* AsSegment(IUnknown* object);

// A list of counted references to objects, compared by identity.
class ReferenceSet {
public:
    ~ReferenceSet() { Clear(); }
    // False when the object is in the set already (nothing is added).
    bool Add(IUnknown* object);
    // False when the object is not in the set.
    bool Remove(IUnknown* object);
    bool Contains(IUnknown* object) const;
    void Clear();

private:
    std::vector<IUnknown*> objects_;  // one reference each
};

class Segment final : public ComObject<IDirectMusicSegment8> {
public:
    Segment() { CountObject(1); }
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT Unload(IUnknown* audioPath) override;

private:
    ~Segment() override { CountObject(-1); }
};

class Performance final : public ComObject<IDirectMusicPerformance8> {
public:
    Performance() { CountObject(1); }
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState) override;
    HRESULT StopEx(IUnknown* objectToStop, int64_t stopTime, DWORD flags) override;
    HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState, MUSIC_TIME stopTime,
                 DWORD flags) override;
    HRESULT CloseDown() override;
    HRESULT InitAudio(IDirectMusic** music, IDirectSound** sound, HWND window, DWORD defaultPathType,
                      DWORD performanceChannels, DWORD flags, DMUS_AUDIOPARAMS* params) override;
    HRESULT SetGlobalParam(REFGUID type, void* data, DWORD size) override;
    HRESULT Play(IDirectMusicSegment8* segment);
    HRESULT End(IDirectMusicSegment8* segment);

private:
    ~Performance() override;
    // Stops one of our segments, or every segment for null.
    HRESULT StopNow(IUnknown* segment);
    std::mutex lock_;
    ReferenceSet playing_;
    IDirectSound* sound_ = nullptr;  // one reference from InitAudio until CloseDown
    int32_t masterVolume_ = 0;
};

class DirectMusic final : public ComObject<IDirectMusic8> {
public:
    DirectMusic() { CountObject(1); }
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) override;

private:
    ~DirectMusic() override { CountObject(-1); }
};

class Loader final : public ComObject<IDirectMusicLoader8> {
public:
    Loader() { CountObject(1); }
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT ReleaseObjectByUnknown(IUnknown* object) override;
    IDirectMusicSegment8* LoadSegment();

private:
    ~Loader() override { CountObject(-1); }
    std::mutex lock_;
    ReferenceSet cache_;
};

}  // namespace dmusic
