// Playing, stopping and deleting sounds. A memory sound's plays take its
// buffers in rotation; stream sounds are handed to the stream calls.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "sound/sound_internal.h"

#include <cmath>

namespace {

int64_t AbsInt64(int32_t value) { return value < 0 ? -int64_t{value} : int64_t{value}; }

// Steps to the next buffer of the rotation and readies it: 0 ready, 1 refused
// (it still plays and fromStart is 0), -1 failure (no such buffer).
int32_t SelectNextBuffer(SoundRecord* record, int32_t fromStart) {
    if (record->bufferCount <= 0) return -1;
    DWORD previous = 0;
    if (record->currentBuffer < record->bufferCount && record->buffers[record->currentBuffer].valid)
        previous = GetWrappedBufferCursor(&record->buffers[record->currentBuffer]);
    if (++record->currentBuffer >= record->bufferCount) record->currentBuffer = 0;
    SoundBufferWrapper* buffer = &record->buffers[record->currentBuffer];
    DWORD status = 0;
    if (!buffer->valid || GetWrappedBufferStatus(buffer, &status) != 0) return -1;
    if (status & DSBSTATUS_PLAYING) {
        if (fromStart == 0) return 1;
        StopWrappedBuffer(buffer);
    }
    SetWrappedBufferPosition(buffer, fromStart == 1 ? 0 : previous);
    ApplySoundSettings(record, buffer);
    return 0;
}

// Keeps the message pump running until the sound has ended or the program
// is to end.
void WaitWhilePlaying(int32_t handle) {
    while (PumpMessagesUnlocked() == 0 && IsSoundPlaying(handle) == 1) Sleep(1);
}

}  // namespace

int32_t SamplesToMilliseconds(int32_t samples, int32_t rate) {
    if (rate == 0) return 0;
    // The unsigned 128-bit arithmetic runs on the magnitudes, so that a
    // negative count or rate still truncates toward zero.
    const bool negative = (samples < 0) != (rate < 0);
    const uint64_t count = static_cast<uint64_t>(AbsInt64(samples));
    const uint64_t divisor = static_cast<uint64_t>(AbsInt64(rate));
    uint32_t product[4];
    Multiply64To128(count, 1000, product);
    uint64_t quotient = 0;
    Divide128By64(product, divisor, &quotient);
    const uint32_t low = static_cast<uint32_t>(negative ? 0 - quotient : quotient);
    return static_cast<int32_t>(low);
}

int32_t PlaySoundHandle(int32_t handle, int32_t playType, int32_t fromStart) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return PlayStreamSound(handle, playType, fromStart);
    const int32_t selected = SelectNextBuffer(record, fromStart);
    if (selected == 1) return 0;
    if (selected != 0) return -1;
    if (PlayWrappedBuffer(&record->buffers[record->currentBuffer], playType == kPlayTypeLoop) != 0) return -1;
    if (playType == kPlayTypeWait) WaitWhilePlaying(handle);
    return 0;
}

int32_t StopSound(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return StopStreamSound(handle);
    for (int32_t i = 0; i < record->bufferCount; ++i) {
        DWORD status = 0;
        if (GetWrappedBufferStatus(&record->buffers[i], &status) != 0) return -1;
        if (status & DSBSTATUS_PLAYING) StopWrappedBuffer(&record->buffers[i]);
    }
    return 0;
}

int32_t IsSoundPlaying(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return IsStreamPlaying(handle);
    for (int32_t i = 0; i < record->bufferCount; ++i) {
        DWORD status = 0;
        if (GetWrappedBufferStatus(&record->buffers[i], &status) == 0 && (status & DSBSTATUS_PLAYING)) return 1;
    }
    return 0;
}

int32_t GetSoundCurrentTime(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return GetStreamCurrentTime(handle);
    if (record->bufferCount <= 0 || record->currentBuffer >= record->bufferCount) return -1;
    const DWORD cursor = GetWrappedBufferCursor(&record->buffers[record->currentBuffer]);
    return SamplesToMilliseconds(static_cast<int32_t>(cursor / record->format.nBlockAlign),
                                 static_cast<int32_t>(record->format.nSamplesPerSec));
}

int32_t GetSoundTotalSample(int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) return record->totalSamples;
    if (record->format.nBlockAlign == 0) return 0;
    return static_cast<int32_t>(record->pcmSize / record->format.nBlockAlign);
}

int32_t GetSoundTotalTime(int32_t handle) {
    const int32_t samples = GetSoundTotalSample(handle);
    if (samples == -1) return -1;
    SoundRecord* record = FindSound(handle);
    return SamplesToMilliseconds(samples, static_cast<int32_t>(record->format.nSamplesPerSec));
}

int32_t SetSoundVolume(int32_t volume, int32_t handle) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (volume > 255) volume = 255;
    int32_t decibels;
    if (volume <= 0) {
        decibels = DSBVOLUME_MIN;
    } else {
        decibels = static_cast<int32_t>(std::log10(volume / 255.0) * 10 * 100);
        if (decibels < DSBVOLUME_MIN) decibels = DSBVOLUME_MIN;
    }
    for (int32_t i = 0; i < record->bufferCount; ++i) SetWrappedBufferVolume(&record->buffers[i], decibels);
    record->volume = decibels;
    return 0;
}

int32_t DeleteSound(int32_t handle, int32_t) {
    if (g_sound.soundObject == nullptr) return -1;
    SoundLockGuard lock;
    SoundRecord* record = FindSound(handle);
    if (record == nullptr) return -1;
    if (record->kind == kSoundStream) {
        StopStreamSound(handle);
        if (record->partner != -1) {
            SoundRecord* partner = FindSound(record->partner);
            if (partner != nullptr) {
                --partner->sharerCount;
                if (record->partner != handle && partner->deletePending == 1 && partner->sharerCount <= 0)
                    DeleteSound(record->partner, 0);
            }
        }
        if (record->sharerCount != 0) {
            record->deletePending = 1;
            return 0;
        }
        ReleaseStreamRecord(record);
    } else {
        if (record->buffers[0].valid) StopSound(handle);
        for (int32_t i = 0; i < kMaxSoundBuffers; ++i)
            if (record->buffers[i].valid) ReleaseWrappedBuffer(&record->buffers[i]);
        // A record whose load failed before its PCM was kept has no count.
        if (record->pcmRefCount != nullptr && --*record->pcmRefCount <= 0) {
            FreeMemory(record->pcmData);
            FreeMemory(record->pcmRefCount);
        }
        record->pcmData = nullptr;
        record->pcmRefCount = nullptr;
    }
    FreeSoundSlot(handle);
    return 0;
}
