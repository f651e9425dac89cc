// Records and state shared by the sound subsystem's files.
#pragma once

#include "core/utility.h"
#include "file/file.h"
#include "platform/dmusic/dmusic.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel32/kernel32.h"
#include "sound/sound.h"
#include "sound/sound_converter.h"

#include <atomic>
#include <cstdint>

constexpr int kMaxSoundBuffers = 10;
constexpr int kSoundTableSize = 32768;
constexpr int kMaxStreamSources = 3;
constexpr int32_t kFirstFillPending = -800;  // write position before the first fill
constexpr uint32_t kMaxMemorySoundSeconds = 180;

enum SoundKind : int32_t { kSoundMemory = 0, kSoundStream = 1 };

// One DirectSound buffer slot of a record.
struct SoundBufferWrapper {
    int32_t valid;
    IDirectSoundBuffer* buffer;
};

// One data source of a stream sound.
struct StreamSource {
    int8_t loopCount;  // -1 for ever; n plays it n + 1 times
    uint32_t sourceType;
    uint8_t* data;  // owned memory image (types 0 and 2)
    uint32_t dataSize;
    DataStream memoryStream;  // over data (types 0 and 2)
    int32_t loopStartSample;
    int32_t endSample;  // -1: to the end of the data
    SoundConverter converter;
};

struct SoundRecord {
    int32_t handleCheck;
    int32_t handle;
    SoundBufferWrapper buffers[kMaxSoundBuffers];
    WAVEFORMATEX format;
    int32_t kind;

    // stream sounds
    int32_t playType;
    int32_t partner;  // -1 none
    int32_t sharerCount;
    int32_t bufferOwner;  // -1 none
    int32_t deletePending;
    uint32_t bufferBytes;
    int32_t writePosition;
    int32_t guardPosition;
    StreamSource sources[kMaxStreamSources];
    uint8_t streamOwned[kMaxStreamSources];
    int32_t sourceCount;
    int32_t currentSource;
    int32_t loopCounter;
    int32_t readPosition;
    int32_t totalSamples;
    uint32_t playedBytes;
    uint32_t lastCursor;
    uint8_t active;
    uint8_t dataEnded;
    uint8_t loopPointPending;
    uint8_t finished;
    uint32_t loopRestartPosition;
    uint32_t endWritePosition;
    uint32_t endCursor;
    uint32_t loopPoint;

    ListNode listNode;

    // memory sounds
    uint32_t pcmSize;
    uint8_t* pcmData;
    int32_t* pcmRefCount;
    int32_t fillSkip[kMaxSoundBuffers];
    int32_t bufferCount;
    int32_t currentBuffer;

    int32_t volume;
    int32_t pan;
    int32_t frequency;
    uint8_t oneShotSet[3];  // volume, pan, frequency
    int32_t oneShotValue[3];
};

struct SoundTable {
    SoundRecord* slots[kSoundTableSize];
    int32_t count;
    int32_t highWater;
    int32_t checkCounter;
};

struct SoundState {
    IDirectSound* soundObject;
    IDirectSoundBuffer* primaryBuffer;
    IDirectSoundBuffer* silentBuffer;
    int32_t midiMode;  // 0 MIDI through MCI, 1 through DirectMusic (never selected by the library)
    IDirectMusicLoader8* musicLoader;            // MIDI mode 1 only
    IDirectMusicPerformance8* musicPerformance;  // MIDI mode 1 only
    IDirectMusic8* musicObject;                  // MIDI mode 1 only
    int32_t masterVolume;                        // handed to the performance, MIDI mode 1 only
    CRITICAL_SECTION lock;
    bool lockCreated;
    std::atomic<DWORD> lockOwner;  // thread holding the lock, 0 when free
    int32_t lockDepth;             // changed only by the owner
    ListNode streamHead, streamSentinel;
    ListNode softPlayerHead, softPlayerSentinel;
    HANDLE thread;
    DWORD threadId;
    std::atomic<int32_t> threadStop;  // 0 running, 1 asked to stop, 2 stopped
    int32_t loadType;
    int32_t convertMask;
};

extern SoundState g_sound;
extern SoundTable g_soundTable;

// ---- the sound lock (recursive for its owner) ----------------------------------
void EnterSoundLock();
void LeaveSoundLock();
// Leaves every level the calling thread holds; returns how many.
int32_t LeaveSoundLockFully();
class SoundLockGuard {
public:
    SoundLockGuard() { EnterSoundLock(); }
    ~SoundLockGuard() { LeaveSoundLock(); }
    SoundLockGuard(const SoundLockGuard&) = delete;
    SoundLockGuard& operator=(const SoundLockGuard&) = delete;
};

// Deletes the sound lock when it was created (the end of sound, or of a
// failed start).
void DeleteSoundLock();

// ---- start-up in MIDI mode 1 --------------------------------------------------
enum class MusicStart { kStarted, kFailed, kFellBack };
// Gets the sound object through DirectMusic in place of plain DirectSound:
// kStarted with the loader, the performance, the DirectMusic object and the
// sound object held; kFailed (logged, nothing held) ends the start with -1;
// kFellBack (logged, MIDI mode 0, nothing held) asks for a start in mode 0.
MusicStart StartSoundThroughMusic();

// ---- handles ----------------------------------------------------------------------
// The record of a live sound handle, or null (no log line).
SoundRecord* FindSound(int32_t handle);
// Frees a record's slot and the record (the last step of DeleteSound).
void FreeSoundSlot(int32_t handle);

// ---- buffer wrappers ----------------------------------------------------------------
int32_t CreateWrappedBuffer(SoundBufferWrapper* wrapper, const DSBUFFERDESC* description);
int32_t DuplicateWrappedBuffer(SoundBufferWrapper* wrapper, const SoundBufferWrapper* source);
int32_t ReleaseWrappedBuffer(SoundBufferWrapper* wrapper);
int32_t PlayWrappedBuffer(SoundBufferWrapper* wrapper, int32_t loop);
int32_t StopWrappedBuffer(SoundBufferWrapper* wrapper);
int32_t GetWrappedBufferStatus(SoundBufferWrapper* wrapper, DWORD* status);
int32_t LockWrappedBuffer(SoundBufferWrapper* wrapper, DWORD offset, DWORD bytes, void** first, DWORD* firstBytes,
                          void** second, DWORD* secondBytes);
int32_t UnlockWrappedBuffer(SoundBufferWrapper* wrapper, void* first, DWORD firstBytes, void* second,
                            DWORD secondBytes);
int32_t SetWrappedBufferFrequency(SoundBufferWrapper* wrapper, int32_t rate);
int32_t SetWrappedBufferPan(SoundBufferWrapper* wrapper, int32_t pan);
int32_t SetWrappedBufferVolume(SoundBufferWrapper* wrapper, int32_t volume);
int32_t SetWrappedBufferPosition(SoundBufferWrapper* wrapper, DWORD position);
// The wrapper's play cursor (0 when it cannot be read).
DWORD GetWrappedBufferCursor(SoundBufferWrapper* wrapper);

// Applies the record's volume, pan and frequency (or a pending one-shot
// value, which is then cleared) to a buffer about to start.
void ApplySoundSettings(SoundRecord* record, SoundBufferWrapper* wrapper);

// ---- loading ----------------------------------------------------------------------
int32_t CreateSoundBuffers(const WAVEFORMATEX* format, uint32_t bytes, int32_t kind, int32_t count, int32_t handle,
                           int32_t partner);
int32_t LoadWholeFile(const char* fileName, uint8_t** image, uint32_t* size);
// One second of the format rounded up to whole blocks.
uint32_t StreamBufferBytes(const WAVEFORMATEX& format);

// ---- stream sounds --------------------------------------------------------------
int32_t GetStreamBuffer(int32_t handle, SoundRecord* record, SoundBufferWrapper** buffer, int32_t takeOver);
int32_t UpdateStreamPosition(int32_t handle, int32_t cursor);
// Clears the positions so that the next play starts at the first source.
void RewindStream(SoundRecord* record);
// Closes every source and releases the buffer of a stream record.
void ReleaseStreamRecord(SoundRecord* record);

// ---- MIDI and software sound players (inert in this system) ----------------------
int32_t DeleteAllMidi();
// At the end of sound: deletes the temporary MIDI file, flagged or not.
void DeleteMidiFileAtEnd();
int32_t DeleteAllSoftSounds();
int32_t DeleteAllSoftSoundPlayers();
int32_t RefillSoftSoundPlayers();
// At the end of sound: in MIDI mode 1 stops the performance at once and
// closes it down; then releases the performance, the loader and the
// DirectMusic object (in either mode, whatever is held).
void ReleaseMusicObjects();
// Selects the MIDI mode (0 or 1; -1 for any other) with the performance,
// loader and DirectMusic object mode 1 plays through (each may be null); the
// sound state keeps a reference to each until the end of sound or the next
// selection. Nothing in the library selects mode 1: only tests do.
int32_t SelectMidiModeForTest(int32_t mode, IDirectMusicPerformance8* performance, IDirectMusicLoader8* loader,
                              IDirectMusic8* music = nullptr);
