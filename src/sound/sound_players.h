// MIDI handles and software sounds: two further handle families of the sound
// subsystem. A MIDI handle holds a MIDI file image played through MCI (or,
// in a DirectMusic mode the library never selects, as a segment); a
// software sound is a block of sound data, or a player that feeds a
// DirectSound buffer from a byte ring, refilled by the sound thread (or the
// message pump when there is none).
//
// Nothing in the library creates either: the tables stay empty unless a test
// fills them through the hooks below, and the per-frame checks, refills and
// deletes at shutdown then find nothing. The calls the message pump, the
// window procedure and the library's end make are in core/services.h.
#pragma once

#include "core/handle_table.h"
#include "platform/dmusic/dmusic.h"
#include "platform/dsound/dsound.h"

#include <cstdint>

constexpr int32_t kSoftSoundData = 0;
constexpr int32_t kSoftSoundPlayer = 1;

// 1 while the MIDI file plays, 0 when not; -1 for a refused handle.
int32_t IsMidiPlaying(int32_t handle);
// Stops the MIDI play (closing the MCI device, or stopping the segment) and
// deletes its temporary file; -1 for a refused handle, or when the segment
// could not be stopped (mode 1 without a performance, or StopEx failed), in
// which case the file is deleted and the handle's flags cleared all the same.
int32_t StopMidi(int32_t handle);
// Stops a playing MIDI handle; unloads and releases its segment; frees its
// data and its handle.
int32_t DeleteMidi(int32_t handle);
// Deletes a software sound of the given kind (kSoftSoundData or
// kSoftSoundPlayer); -1 for a refused handle or a record of the other kind.
int32_t DeleteSoftSound(int32_t handle, int32_t kind);

// ---- handle tables of these families -------------------------------------------------
// The layout and checks of sound handles: a slot below Capacity, an 11-bit
// check value, the high-water slot lowered past empty slots on a delete.
template <typename Record, int Capacity>
struct FamilyTable {
    int32_t type;
    Record* slots[Capacity];
    int32_t count;
    int32_t highWater;
    int32_t checkCounter;

    // A new handle for the record (its check value is set), or -1 when full.
    int32_t Add(Record* record) {
        if (count >= Capacity) return -1;
        int32_t slot = highWater;
        if (slot >= Capacity) {
            slot = 0;
            while (slots[slot] != nullptr) ++slot;
        }
        const int32_t check = checkCounter;
        checkCounter = checkCounter >= kHandleCheckLimit - 1 ? 0 : checkCounter + 1;
        record->handleCheck = check;
        slots[slot] = record;
        ++count;
        if (highWater <= slot) highWater = slot + 1;
        if (count > highWater) highWater = count;
        return type | (check << kHandleCheckShift) | slot;
    }

    Record* Find(int32_t handle) const {
        if (handle < 0 || (handle & kHandleTypeMask) != type) return nullptr;
        const int32_t slot = handle & kHandleSlotMask;
        if (slot >= Capacity || slots[slot] == nullptr) return nullptr;
        if ((slots[slot]->handleCheck << kHandleCheckShift) != (handle & kHandleCheckMask)) return nullptr;
        return slots[slot];
    }

    // Empties the slot of a found handle (the caller frees the record).
    void Remove(int32_t handle) {
        const int32_t slot = handle & kHandleSlotMask;
        slots[slot] = nullptr;
        --count;
        if (slot != highWater - 1) return;
        if (count == 0) {
            highWater = 0;
            return;
        }
        int32_t top = slot;
        while (top > 0 && slots[top - 1] == nullptr) --top;
        highWater = top;
    }

    int32_t HandleAt(int32_t slot) const { return type | (slots[slot]->handleCheck << kHandleCheckShift) | slot; }
};

// ---- test hooks: nothing in the library makes these records --------------------------
// A MIDI handle over a copy of the data; -1 when the table is full.
int32_t AddMidiDataForTest(const void* data, uint32_t size);
// Marks a MIDI handle as playing through the MCI device id, with the loop
// flag and (when not null) a temporary MIDI file that stopping deletes.
int32_t StartMidiForTest(int32_t handle, uint32_t deviceId, int32_t loop, const char* temporaryFile);
// A MIDI handle of DirectMusic mode over a copy of the data and the segment
// (the record keeps a reference to it, released when the handle is deleted);
// -1 for a null segment or a full table.
int32_t AddMidiSegmentForTest(const void* data, uint32_t size, IDirectMusicSegment8* segment);
// Marks a MIDI handle as just started in DirectMusic mode: playing, its
// segment not yet seen playing.
int32_t StartMidiSegmentForTest(int32_t handle);
// The seen-playing flag of a MIDI handle; -1 for a refused handle.
int32_t GetMidiSeenPlayingForTest(int32_t handle);
int32_t GetMidiCountForTest();
int32_t GetMidiHighWaterForTest();
// A software sound over a copy of the data.
int32_t AddSoftSoundDataForTest(const void* data, uint32_t size);
// A player with a ring of ringBytes and a DirectSound buffer of bufferBytes,
// which it keeps filled keepAhead bytes ahead of the play cursor.
int32_t AddSoftSoundPlayerForTest(const WAVEFORMATEX* format, uint32_t ringBytes, uint32_t bufferBytes,
                                  uint32_t keepAhead);
// Adds bytes to a player's ring; -1 when they do not fit.
int32_t PushSoftSoundPlayerDataForTest(int32_t handle, const void* data, uint32_t bytes);
// Activates a player: a first refill, then its buffer plays looping.
int32_t StartSoftSoundPlayerForTest(int32_t handle);
// 1 once the play cursor has passed the end of the player's data.
int32_t IsSoftSoundPlayerEndReachedForTest(int32_t handle);
IDirectSoundBuffer* GetSoftSoundPlayerBufferForTest(int32_t handle);
int32_t GetSoftSoundCountForTest();
// A sound (kind 1) or MIDI handle (any other kind) that the library's end releases.
void SetTemporaryPlayHandleForTest(int32_t handle, int32_t kind);
