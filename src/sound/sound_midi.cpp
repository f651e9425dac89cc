// MIDI handles, played through MCI or as DirectMusic segments, and the
// temporary play handle.
//
// Mode 0, the one the library runs in: MIDI plays through MCI, one device at
// a time, and the loop flag makes the window procedure's MM_MCINOTIFY start
// it again from the beginning. On this machine no MCI device opens (there is
// no MIDI synthesizer): a play MCI refuses ends the play, with the device
// closed and nothing looping.
//
// Mode 1 (only tests select it): each handle holds a DirectMusic segment, and
// the message pump asks the performance whether it still plays. A segment is
// not heard at once after it was started, so a record's playing flag follows
// the performance only once the segment has been seen playing. Without a
// performance nothing can be asked (the per-frame check finds nothing to
// follow) or stopped (a stop answers -1).
#include "core/library.h"
#include "core/memory.h"
#include "core/services.h"
#include "platform/kernel32/kernel32.h"
#include "platform/winmm/mci.h"
#include "sound/sound_internal.h"
#include "sound/sound_players.h"

#include <cstring>

namespace {

constexpr int kMidiTableSize = 256;
constexpr int kPumpPassesAfterStop = 5;

struct MidiRecord {
    int32_t handleCheck;
    int32_t playing;
    int32_t seenPlaying;  // mode 1: the segment has been heard playing
    uint8_t* data;
    uint32_t size;
    IDirectMusicSegment8* segment;  // mode 1 only; one reference
};

FamilyTable<MidiRecord, kMidiTableSize> g_midiTable{kHandleTypeMidi, {}, 0, 0, 0};

// The MCI play state of the one MIDI file that plays.
struct MciPlayState {
    MCIDEVICEID device;
    int32_t loop;
    int32_t playing;
    int32_t temporaryFile;
    char temporaryPath[MAX_PATH];
};
MciPlayState g_mci{};

// A sound or MIDI handle the library plays for a caller and deletes at its end.
int32_t g_temporaryPlayHandle = -1;
int32_t g_temporaryPlayKind = 0;  // 1 sound, otherwise MIDI

MidiRecord* FindMidi(int32_t handle) { return g_midiTable.Find(handle); }

void CloseMciDevice() {
    MCI_GENERIC_PARMS parameters{};
    mciSendCommandA(g_mci.device, MCI_CLOSE, 0, reinterpret_cast<DWORD_PTR>(&parameters));
    g_mci.playing = 0;
}

void DeleteTemporaryMidiFile() {
    if (g_mci.temporaryFile == 0) return;
    DeleteFileA(g_mci.temporaryPath);
    g_mci.temporaryFile = 0;
}

// ---- mode 1: DirectMusic segments ----------------------------------------------------

// Asks whether a playing record's segment plays. Until the segment is first
// heard only that is noted; afterwards the playing flag follows the answer.
// A failed question (neither S_OK nor S_FALSE) changes nothing.
void FollowSegment(MidiRecord* record) {
    const HRESULT answer = g_sound.musicPerformance->IsPlaying(record->segment, nullptr);
    if (answer != S_OK && answer != S_FALSE) return;
    const int32_t plays = answer == S_OK ? 1 : 0;
    if (record->seenPlaying == 0) {
        record->seenPlaying = plays;
        return;
    }
    record->playing = plays;
}

// 0 when the record's segment is stopped (or it has none: a null object
// would stop every segment of the performance), -1 when it cannot be.
int32_t StopSegment(MidiRecord* record) {
    if (record->segment == nullptr) return 0;
    if (g_sound.musicPerformance == nullptr) return -1;
    return FAILED(g_sound.musicPerformance->StopEx(record->segment, 0, 0)) ? -1 : 0;
}

// Unloads the segment from the performance, drops the loader's reference
// and the record's own. A failed step does not keep the others from running.
void ReleaseSegment(MidiRecord* record) {
    if (g_sound.musicPerformance != nullptr) record->segment->Unload(g_sound.musicPerformance);
    if (g_sound.musicLoader != nullptr) g_sound.musicLoader->ReleaseObjectByUnknown(record->segment);
    record->segment->Release();
    record->segment = nullptr;
}

template <typename Interface>
void ReplaceReference(Interface** held, Interface* object) {
    if (object != nullptr) object->AddRef();
    if (*held != nullptr) (*held)->Release();
    *held = object;
}

}  // namespace

int32_t CheckMidiPlayState() {
    if (g_sound.soundObject == nullptr) return -1;
    // Through MCI the end of a play arrives as MM_MCINOTIFY: nothing to poll.
    if (g_sound.midiMode != 1 || g_sound.musicPerformance == nullptr) return 0;
    for (MidiRecord* record : g_midiTable.slots)
        if (record != nullptr && record->playing == 1 && record->segment != nullptr) FollowSegment(record);
    return 0;
}

int32_t IsMidiPlaying(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    const MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    return g_sound.midiMode == 1 ? record->playing : g_mci.playing;
}

int32_t HandleMidiNotify(uintptr_t, intptr_t) {
    if (g_mci.loop == 1) {
        MCI_PLAY_PARMS parameters{};
        parameters.dwCallback = reinterpret_cast<DWORD_PTR>(GetMainWindow());
        parameters.dwFrom = 0;
        if (mciSendCommandA(g_mci.device, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<DWORD_PTR>(&parameters)) ==
            0) {
            g_mci.playing = 1;
        } else {
            // A device that cannot play again cannot loop either.
            g_mci.loop = 0;
            CloseMciDevice();
        }
    } else if (g_mci.playing == 1) {
        CloseMciDevice();
    }
    return 0;
}

int32_t StopMidi(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    g_mci.loop = 0;
    int32_t result = 0;
    if (g_sound.midiMode == 1) {
        // A segment that would not stop is reported, but the handle counts
        // as stopped all the same.
        result = StopSegment(record);
    } else {
        HandleMidiNotify(0, 0);
        for (int i = 0; i < kPumpPassesAfterStop; ++i) PumpMessagesUnlocked();
    }
    DeleteTemporaryMidiFile();
    record->playing = 0;
    record->seenPlaying = 0;
    return result;
}

int32_t DeleteMidi(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    if (IsMidiPlaying(handle) == 1) StopMidi(handle);
    if (record->segment != nullptr) ReleaseSegment(record);
    if (record->data != nullptr) {
        std::memset(record->data, 0, record->size);
        FreeMemory(record->data);
    }
    FreeMemory(record);
    g_midiTable.Remove(handle);
    return 0;
}

int32_t DeleteAllMidi() {
    for (int32_t slot = 0; slot < kMidiTableSize; ++slot)
        if (g_midiTable.slots[slot] != nullptr) DeleteMidi(g_midiTable.HandleAt(slot));
    return 0;
}

void DeleteMidiFileAtEnd() {
    // Also when a stop cleared the flag but could not delete the file.
    if (g_mci.temporaryPath[0] != '\0') DeleteFileA(g_mci.temporaryPath);
    g_mci.temporaryFile = 0;
}

void ReleaseMusicObjects() {
    if (g_sound.midiMode == 1 && g_sound.musicPerformance != nullptr) {
        // Results are of no use here: the performance goes either way.
        g_sound.musicPerformance->Stop(nullptr, nullptr, 0, 0);
        g_sound.musicPerformance->CloseDown();
    }
    ReplaceReference<IDirectMusicPerformance8>(&g_sound.musicPerformance, nullptr);
    ReplaceReference<IDirectMusicLoader8>(&g_sound.musicLoader, nullptr);
    ReplaceReference<IDirectMusic8>(&g_sound.musicObject, nullptr);
}

int32_t ReleaseTemporaryPlayHandle() {
    if (g_temporaryPlayHandle == -1) return 0;
    if (g_temporaryPlayKind == 1) {
        StopSound(g_temporaryPlayHandle);
        DeleteSound(g_temporaryPlayHandle, 0);
    } else {
        StopMidi(g_temporaryPlayHandle);
        DeleteMidi(g_temporaryPlayHandle);
    }
    g_temporaryPlayHandle = -1;
    return 0;
}

// ---- test hooks ---------------------------------------------------------------------

int32_t AddMidiDataForTest(const void* data, uint32_t size) {
    auto* record = static_cast<MidiRecord*>(AllocMemoryZeroed(sizeof(MidiRecord), "", 0));
    if (record == nullptr) return -1;
    record->data = static_cast<uint8_t*>(AllocMemory(size > 0 ? size : 1, "", 0));
    if (record->data == nullptr) {
        FreeMemory(record);
        return -1;
    }
    if (size > 0) std::memcpy(record->data, data, size);
    record->size = size;
    const int32_t handle = g_midiTable.Add(record);
    if (handle == -1) {
        FreeMemory(record->data);
        FreeMemory(record);
    }
    return handle;
}

int32_t StartMidiForTest(int32_t handle, uint32_t deviceId, int32_t loop, const char* temporaryFile) {
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    record->playing = 1;
    g_mci.device = deviceId;
    g_mci.loop = loop;
    g_mci.playing = 1;
    g_mci.temporaryFile = temporaryFile != nullptr ? 1 : 0;
    std::strncpy(g_mci.temporaryPath, temporaryFile != nullptr ? temporaryFile : "", MAX_PATH - 1);
    return 0;
}

int32_t AddMidiSegmentForTest(const void* data, uint32_t size, IDirectMusicSegment8* segment) {
    if (segment == nullptr) return -1;
    const int32_t handle = AddMidiDataForTest(data, size);
    if (handle == -1) return -1;
    segment->AddRef();
    FindMidi(handle)->segment = segment;
    return handle;
}

int32_t StartMidiSegmentForTest(int32_t handle) {
    MidiRecord* record = FindMidi(handle);
    if (record == nullptr) return -1;
    record->playing = 1;
    record->seenPlaying = 0;
    return 0;
}

int32_t GetMidiSeenPlayingForTest(int32_t handle) {
    const MidiRecord* record = FindMidi(handle);
    return record != nullptr ? record->seenPlaying : -1;
}

int32_t SelectMidiModeForTest(int32_t mode, IDirectMusicPerformance8* performance, IDirectMusicLoader8* loader,
                              IDirectMusic8* music) {
    if (mode != 0 && mode != 1) return -1;
    g_sound.midiMode = mode;
    ReplaceReference(&g_sound.musicPerformance, performance);
    ReplaceReference(&g_sound.musicLoader, loader);
    ReplaceReference(&g_sound.musicObject, music);
    return 0;
}

int32_t GetMidiCountForTest() { return g_midiTable.count; }
int32_t GetMidiHighWaterForTest() { return g_midiTable.highWater; }

void SetTemporaryPlayHandleForTest(int32_t handle, int32_t kind) {
    g_temporaryPlayHandle = handle;
    g_temporaryPlayKind = kind;
}
