// Sound handles: the handle table and its records, the sound lock, and the
// wrappers through which every DirectSound buffer is used.
#include "core/log.h"
#include "core/memory.h"
#include "sound/sound_internal.h"

SoundState g_sound;
SoundTable g_soundTable;

// ---- the sound lock ------------------------------------------------------------------
void EnterSoundLock() {
    if (!g_sound.lockCreated) return;
    EnterCriticalSection(&g_sound.lock);
    if (g_sound.lockDepth++ == 0) g_sound.lockOwner = GetCurrentThreadId();
}

void LeaveSoundLock() {
    if (!g_sound.lockCreated) return;
    if (--g_sound.lockDepth == 0) g_sound.lockOwner = 0;
    LeaveCriticalSection(&g_sound.lock);
}

int32_t LeaveSoundLockFully() {
    if (!g_sound.lockCreated || g_sound.lockOwner != GetCurrentThreadId()) return 0;
    const int32_t depth = g_sound.lockDepth;
    for (int32_t i = 0; i < depth; ++i) LeaveSoundLock();
    return depth;
}

// ---- handles ------------------------------------------------------------------------
SoundRecord* FindSound(int32_t handle) {
    if (handle < 0) return nullptr;
    if ((handle & 0x78000000) != 0x10000000) return nullptr;
    const int32_t slot = handle & 0xFFFF;
    if (slot >= kSoundTableSize) return nullptr;
    SoundRecord* record = g_soundTable.slots[slot];
    if (record == nullptr) return nullptr;
    if ((record->handleCheck << 16) != (handle & 0x07FF0000)) return nullptr;
    return record;
}

int32_t AddSoundData(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundTable& table = g_soundTable;
    int32_t slot = -1;
    bool reuse = false;
    if (handle != -1 && handle >= 0 && (handle & 0xFFFF) < kSoundTableSize &&
        table.slots[handle & 0xFFFF] == nullptr) {
        slot = handle & 0xFFFF;
        reuse = true;
    }
    if (!reuse) {
        if (table.count >= kSoundTableSize) return WriteLog("サウンドの数が許容量を越えました\n");
        if (table.highWater < kSoundTableSize) {
            slot = table.highWater;
        } else {
            for (int32_t i = 0; i < kSoundTableSize; ++i) {
                if (table.slots[i] == nullptr) {
                    slot = i;
                    break;
                }
            }
        }
    }
    auto* record = static_cast<SoundRecord*>(AllocMemoryZeroed(sizeof(SoundRecord), "", 0));
    if (record == nullptr) return WriteLog("メモリ領域の確保に失敗しました in AddSoundData");
    table.slots[slot] = record;
    int32_t check;
    if (reuse) {
        check = (handle >> 16) & 0x7FF;
    } else {
        check = table.checkCounter;
        if (++table.checkCounter > 2047) table.checkCounter = 0;
    }
    record->handleCheck = check;
    ++table.count;
    if (table.highWater <= slot) table.highWater = slot + 1;
    if (table.count > table.highWater) table.highWater = table.count;
    const int32_t result = reuse ? handle : (((check | 0x1000) << 16) | slot);
    record->handle = result;
    record->partner = -1;
    record->bufferOwner = -1;
    return result;
}

void FreeSoundSlot(int32_t handle) {
    SoundTable& table = g_soundTable;
    const int32_t slot = handle & 0xFFFF;
    FreeMemory(table.slots[slot]);
    table.slots[slot] = nullptr;
    --table.count;
    if (slot == table.highWater - 1) {
        if (table.count == 0) {
            table.highWater = 0;
        } else {
            int32_t top = slot - 1;
            while (top >= 0 && table.slots[top] == nullptr) --top;
            table.highWater = top + 1;
        }
    }
}

int32_t DeleteAllSounds(int32_t flag) {
    if (g_sound.soundObject == nullptr) return -1;
    for (int32_t slot = 0; slot < kSoundTableSize; ++slot) {
        SoundRecord* record = g_soundTable.slots[slot];
        if (record == nullptr) continue;
        DeleteSound(((record->handleCheck | 0x1000) << 16) | slot, flag);
    }
    return 0;
}

// ---- buffer wrappers ----------------------------------------------------------------
int32_t CreateWrappedBuffer(SoundBufferWrapper* w, const DSBUFFERDESC* description) {
    if (w->valid) return -1;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(g_sound.soundObject->CreateSoundBuffer(description, &buffer, nullptr))) return -1;
    w->buffer = buffer;
    w->valid = 1;
    return 0;
}

int32_t DuplicateWrappedBuffer(SoundBufferWrapper* w, const SoundBufferWrapper* source) {
    if (w->valid || !source->valid) return -1;
    IDirectSoundBuffer* buffer = nullptr;
    if (FAILED(g_sound.soundObject->DuplicateSoundBuffer(source->buffer, &buffer))) return -1;
    w->buffer = buffer;
    w->valid = 1;
    return 0;
}

int32_t ReleaseWrappedBuffer(SoundBufferWrapper* w) {
    if (!w->valid) return -1;
    w->buffer->Release();
    w->buffer = nullptr;
    w->valid = 0;
    return 0;
}

int32_t PlayWrappedBuffer(SoundBufferWrapper* w, int32_t loop) {
    if (!w->valid) return -1;
    return w->buffer->Play(0, 0, loop ? DSBPLAY_LOOPING : 0) == DS_OK ? 0 : -1;
}

int32_t StopWrappedBuffer(SoundBufferWrapper* w) {
    if (!w->valid) return -1;
    w->buffer->Stop();
    return 0;
}

int32_t GetWrappedBufferStatus(SoundBufferWrapper* w, DWORD* status) {
    if (!w->valid) return -1;
    return FAILED(w->buffer->GetStatus(status)) ? -1 : 0;
}

int32_t LockWrappedBuffer(SoundBufferWrapper* w, DWORD offset, DWORD bytes, void** first, DWORD* firstBytes,
                          void** second, DWORD* secondBytes) {
    if (!w->valid) return -1;
    return FAILED(w->buffer->Lock(offset, bytes, first, firstBytes, second, secondBytes, 0)) ? -1 : 0;
}

int32_t UnlockWrappedBuffer(SoundBufferWrapper* w, void* first, DWORD firstBytes, void* second, DWORD secondBytes) {
    if (!w->valid) return -1;
    return FAILED(w->buffer->Unlock(first, firstBytes, second, secondBytes)) ? -1 : 0;
}

int32_t SetWrappedBufferFrequency(SoundBufferWrapper* w, int32_t rate) {
    if (!w->valid) return -1;
    w->buffer->SetFrequency(static_cast<DWORD>(rate));
    return 0;
}

int32_t SetWrappedBufferPan(SoundBufferWrapper* w, int32_t pan) {
    if (!w->valid) return -1;
    w->buffer->SetPan(pan);
    return 0;
}

int32_t SetWrappedBufferVolume(SoundBufferWrapper* w, int32_t volume) {
    if (!w->valid) return -1;
    w->buffer->SetVolume(volume);
    return 0;
}

int32_t SetWrappedBufferPosition(SoundBufferWrapper* w, DWORD position) {
    if (!w->valid) return -1;
    w->buffer->SetCurrentPosition(position);
    return 0;
}

DWORD GetWrappedBufferCursor(SoundBufferWrapper* w) {
    DWORD cursor = 0;
    if (w->valid && FAILED(w->buffer->GetCurrentPosition(&cursor, nullptr))) cursor = 0;
    return cursor;
}

void ApplySoundSettings(SoundRecord* record, SoundBufferWrapper* wrapper) {
    const int32_t stored[3] = {record->volume, record->pan, record->frequency};
    int32_t value[3];
    for (int i = 0; i < 3; ++i) {
        value[i] = record->oneShotSet[i] ? record->oneShotValue[i] : stored[i];
        record->oneShotSet[i] = 0;
    }
    SetWrappedBufferVolume(wrapper, value[0]);
    SetWrappedBufferPan(wrapper, value[1]);
    SetWrappedBufferFrequency(wrapper, value[2]);
}

// ---- test hooks -----------------------------------------------------------------------
IDirectSoundBuffer* GetSoundBufferForTest(int32_t handle, int32_t index) {
    SoundRecord* record = FindSound(handle);
    if (record == nullptr || index < 0 || index >= kMaxSoundBuffers || !record->buffers[index].valid) return nullptr;
    return record->buffers[index].buffer;
}

int32_t GetSoundBufferCountForTest(int32_t handle) {
    SoundRecord* record = FindSound(handle);
    return record != nullptr ? record->bufferCount : -1;
}
