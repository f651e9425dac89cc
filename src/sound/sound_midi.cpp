// MIDI handles and software sound players. This system has no operation that
// creates either, so their tables stay empty: the per-frame checks find
// nothing, the refills walk an empty list and the deletes at shutdown delete
// nothing. The calls exist so that the message pump, the window procedure
// and the library's end can make them.
#include "core/services.h"
#include "sound/sound_internal.h"

namespace {

// MCI play state of the one MIDI file that could play.
int32_t g_midiLoop = 0;
int32_t g_midiPlaying = 0;

// A sound or MIDI handle the library plays for a caller and deletes at its
// end; nothing in this system sets it.
int32_t g_temporaryPlayHandle = -1;
int32_t g_temporaryPlayKind = 0;  // 1 sound, otherwise MIDI

}  // namespace

int32_t CheckMidiPlayState() {
    if (g_sound.soundObject == nullptr) return -1;
    return 0;  // MIDI plays through MCI (mode 0), which needs no polling
}

int32_t HandleMidiNotify(uintptr_t, intptr_t) {
    // With no MIDI file open the loop and playing flags are never set.
    if (g_midiLoop == 1) return 0;
    if (g_midiPlaying == 1) g_midiPlaying = 0;
    return 0;
}

int32_t DeleteAllMidi() { return 0; }
int32_t DeleteAllSoftSounds() { return 0; }
int32_t DeleteAllSoftSoundPlayers() { return 0; }

int32_t RefillSoftSoundPlayers() {
    // The player list is initialised at start-up and never gains a node.
    for (ListNode* node = g_sound.softPlayerHead.next; node != nullptr && node->next != nullptr; node = node->next) {
    }
    return 0;
}

int32_t ProcessSoftSoundPlayers() {
    if (g_sound.soundObject == nullptr) return -1;
    return RefillSoftSoundPlayers();
}

int32_t ReleaseTemporaryPlayHandle() {
    if (g_temporaryPlayHandle == -1) return 0;
    if (g_temporaryPlayKind == 1) {
        StopSound(g_temporaryPlayHandle);
        DeleteSound(g_temporaryPlayHandle, 0);
    }
    g_temporaryPlayHandle = -1;
    return 0;
}
