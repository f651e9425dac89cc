// Software sounds: blocks of sound data, and players that feed a looping
// DirectSound buffer from a byte ring.
//
// A player keeps its buffer filled a fixed number of bytes (keep-ahead)
// beyond the play cursor: each refill writes whole samples from the ring and,
// when the ring runs dry, silence, and marks where the data stopped (the end
// point) so that the end can be told once the cursor has passed it.
#include "core/memory.h"
#include "core/services.h"
#include "core/utility.h"
#include "sound/sound_internal.h"
#include "sound/sound_players.h"

#include <cstring>

namespace {

constexpr int kSoftSoundTableSize = 8192;
constexpr DWORD kPlayerBufferFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN |
                                     DSBCAPS_CTRLFREQUENCY | DSBCAPS_GETCURRENTPOSITION2;

struct SoftSoundRecord {
    int32_t handleCheck;
    int32_t kind;
    // sound data
    uint8_t* data;
    // player
    ListNode listNode;
    RingBuffer ring;
    SoundBufferWrapper buffer;
    WAVEFORMATEX format;
    uint32_t bufferBytes;
    uint32_t writePosition;
    uint32_t queuedBytes;  // written ahead of the cursor and not yet played
    uint32_t lastCursor;
    int32_t endPoint;  // where the data stopped; -1 while data lasts
    int32_t endReached;
    uint32_t keepAhead;
    int32_t active;
};

FamilyTable<SoftSoundRecord, kSoftSoundTableSize> g_softTable{kHandleTypeSoftSound, {}, 0, 0, 0};

// Forward distance from a to b around a ring of the given size.
uint32_t ForwardDistance(uint32_t a, uint32_t b, uint32_t size) { return b >= a ? b - a : size - a + b; }

void ReleasePlayer(SoftSoundRecord* record) {
    RemoveListNode(&record->listNode);
    FreeRingBuffer(&record->ring);
    if (record->buffer.valid) {
        StopWrappedBuffer(&record->buffer);
        ReleaseWrappedBuffer(&record->buffer);
    }
}

int32_t DeleteAllOfKind(int32_t kind) {
    for (int32_t slot = 0; slot < kSoftSoundTableSize; ++slot) {
        const SoftSoundRecord* record = g_softTable.slots[slot];
        if (record != nullptr && record->kind == kind) DeleteSoftSound(g_softTable.HandleAt(slot), kind);
    }
    return 0;
}

// Notes the cursor's move since the last look: the end point passed, the
// bytes played out of those queued.
void FollowCursor(SoftSoundRecord* p, uint32_t cursor) {
    const uint32_t moved = ForwardDistance(p->lastCursor, cursor, p->bufferBytes);
    if (moved == 0) return;
    if (p->endPoint >= 0 && !p->endReached &&
        ForwardDistance(p->lastCursor, static_cast<uint32_t>(p->endPoint), p->bufferBytes) <= moved)
        p->endReached = 1;
    p->lastCursor = cursor;
    if (moved > p->queuedBytes) {
        // The cursor overtook what was written: go on writing from where it is.
        p->queuedBytes = 0;
        p->writePosition = cursor;
    } else {
        p->queuedBytes -= moved;
    }
}

// Copies up to bytes from the ring into the locked region, then silence.
void WriteRegion(SoftSoundRecord* p, uint8_t* region, uint32_t length, uint32_t* dataLeft) {
    const uint32_t data = *dataLeft < length ? *dataLeft : length;
    if (data > 0) ReadRingBuffer(&p->ring, region, data, 0);
    FillBytes(region + data, p->format.wBitsPerSample == 8 ? 127 : 0, length - data);
    *dataLeft -= data;
}

int32_t RefillSoftSoundPlayer(SoftSoundRecord* p) {
    SoundLockGuard lock;
    if (!p->active || !p->buffer.valid) return 0;
    FollowCursor(p, GetWrappedBufferCursor(&p->buffer));
    const uint32_t align = p->format.nBlockAlign;
    uint32_t span = p->keepAhead > p->queuedBytes ? p->keepAhead - p->queuedBytes : 0;
    span -= span % align;
    if (span == 0) return 0;
    const uint32_t stored = p->ring.storedBytes - p->ring.storedBytes % align;
    const uint32_t data = stored < span ? stored : span;

    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    if (LockWrappedBuffer(&p->buffer, p->writePosition, span, &first, &firstBytes, &second, &secondBytes) != 0)
        return -1;
    uint32_t dataLeft = data;
    WriteRegion(p, static_cast<uint8_t*>(first), firstBytes, &dataLeft);
    if (second != nullptr) WriteRegion(p, static_cast<uint8_t*>(second), secondBytes, &dataLeft);
    UnlockWrappedBuffer(&p->buffer, first, firstBytes, second, secondBytes);

    if (data > 0 && p->endPoint >= 0) {
        // Data again after an end: the player has not ended after all.
        p->endPoint = -1;
        p->endReached = 0;
    }
    if (data < span && p->endPoint < 0) {
        p->endPoint = static_cast<int32_t>((p->writePosition + data) % p->bufferBytes);
        p->endReached = 0;
    }
    p->writePosition = (p->writePosition + span) % p->bufferBytes;
    p->queuedBytes += span;
    return 0;
}

SoftSoundRecord* FindPlayer(int32_t handle) {
    SoftSoundRecord* record = g_softTable.Find(handle);
    return record != nullptr && record->kind == kSoftSoundPlayer ? record : nullptr;
}

SoftSoundRecord* NewRecord(int32_t kind, int32_t* handle) {
    auto* record = static_cast<SoftSoundRecord*>(AllocMemoryZeroed(sizeof(SoftSoundRecord), "", 0));
    if (record == nullptr) return nullptr;
    record->kind = kind;
    record->endPoint = -1;
    *handle = g_softTable.Add(record);
    if (*handle == -1) {
        FreeMemory(record);
        return nullptr;
    }
    return record;
}

}  // namespace

int32_t DeleteSoftSound(int32_t handle, int32_t kind) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoftSoundRecord* record = g_softTable.Find(handle);
    if (record == nullptr || record->kind != kind) return -1;
    if (kind == kSoftSoundPlayer)
        ReleasePlayer(record);
    else
        FreeMemory(record->data);
    FreeMemory(record);
    g_softTable.Remove(handle);
    return 0;
}

int32_t DeleteAllSoftSounds() { return DeleteAllOfKind(kSoftSoundData); }

int32_t DeleteAllSoftSoundPlayers() { return DeleteAllOfKind(kSoftSoundPlayer); }

int32_t RefillSoftSoundPlayers() {
    SoundLockGuard lock;
    for (ListNode* node = g_sound.softPlayerHead.next; node != nullptr && node->next != nullptr; node = node->next) {
        auto* player = static_cast<SoftSoundRecord*>(node->data);
        if (player->active) RefillSoftSoundPlayer(player);
    }
    return 0;
}

int32_t ProcessSoftSoundPlayers() {
    if (g_sound.soundObject == nullptr) return -1;
    return RefillSoftSoundPlayers();
}

// ---- test hooks ---------------------------------------------------------------------

int32_t AddSoftSoundDataForTest(const void* data, uint32_t size) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    int32_t handle = -1;
    SoftSoundRecord* record = NewRecord(kSoftSoundData, &handle);
    if (record == nullptr) return -1;
    record->data = static_cast<uint8_t*>(AllocMemory(size > 0 ? size : 1, "", 0));
    if (record->data == nullptr) {
        DeleteSoftSound(handle, kSoftSoundData);
        return -1;
    }
    if (size > 0) std::memcpy(record->data, data, size);
    return handle;
}

int32_t AddSoftSoundPlayerForTest(const WAVEFORMATEX* format, uint32_t ringBytes, uint32_t bufferBytes,
                                  uint32_t keepAhead) {
    if (g_sound.soundObject == nullptr || format == nullptr || format->nBlockAlign == 0) return -1;
    if (keepAhead == 0 || keepAhead >= bufferBytes) return -1;
    SoundLockGuard lock;
    int32_t handle = -1;
    SoftSoundRecord* record = NewRecord(kSoftSoundPlayer, &handle);
    if (record == nullptr) return -1;
    record->format = *format;
    record->bufferBytes = bufferBytes;
    record->keepAhead = keepAhead;
    WAVEFORMATEX copy = *format;
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = kPlayerBufferFlags;
    description.dwBufferBytes = bufferBytes;
    description.lpwfxFormat = &copy;
    if (InitRingBuffer(&record->ring, ringBytes) != 0 || CreateWrappedBuffer(&record->buffer, &description) != 0) {
        DeleteSoftSound(handle, kSoftSoundPlayer);
        return -1;
    }
    InsertListNode(&g_sound.softPlayerHead, &record->listNode, handle, record);
    return handle;
}

int32_t PushSoftSoundPlayerDataForTest(int32_t handle, const void* data, uint32_t bytes) {
    SoundLockGuard lock;
    SoftSoundRecord* player = FindPlayer(handle);
    if (player == nullptr) return -1;
    return WriteRingBuffer(&player->ring, data, bytes);
}

int32_t StartSoftSoundPlayerForTest(int32_t handle) {
    SoundLockGuard lock;
    SoftSoundRecord* player = FindPlayer(handle);
    if (player == nullptr) return -1;
    player->active = 1;
    RefillSoftSoundPlayer(player);
    return PlayWrappedBuffer(&player->buffer, 1) == 0 ? 0 : -1;
}

int32_t IsSoftSoundPlayerEndReachedForTest(int32_t handle) {
    SoundLockGuard lock;
    SoftSoundRecord* player = FindPlayer(handle);
    return player == nullptr ? -1 : player->endReached;
}

IDirectSoundBuffer* GetSoftSoundPlayerBufferForTest(int32_t handle) {
    SoundLockGuard lock;
    SoftSoundRecord* player = FindPlayer(handle);
    return player == nullptr ? nullptr : player->buffer.buffer;
}

int32_t GetSoftSoundCountForTest() { return g_softTable.count; }
