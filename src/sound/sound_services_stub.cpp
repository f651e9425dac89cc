// Sound is not built yet: the library runs without it.
#include "core/services.h"

int32_t InitializeSound() { return -1; }
int32_t TerminateSound() { return -1; }
int32_t ReleaseTemporaryPlayHandle() { return 0; }
int32_t ProcessStreamSounds() { return 0; }
int32_t ProcessSoftSoundPlayers() { return 0; }
int32_t CheckMidiPlayState() { return 0; }
int32_t HandleMidiNotify(uintptr_t, intptr_t) { return 0; }
