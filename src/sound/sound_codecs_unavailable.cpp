// The converter back end this build does not have yet: MP3 decoded whole
// through a DirectShow graph. Its open reports that the back end is not
// available, so the converter fails for data no other back end accepts, as
// it does for data no back end accepts at all.
#include "sound/sound_converter.h"

int32_t OpenDirectShowMp3Converter(SoundConverter*) { return -1; }
