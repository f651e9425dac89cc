// Converter back ends this build does not have yet: WAVE with an ACM-coded
// payload, MP3 through ACM, Ogg Vorbis and MP3 through a DirectShow graph.
// Each open reports that the back end is not available, so the converter
// tries the next one and, for these formats, fails as it does for data no
// back end accepts. The other entry points are reached only through an open
// converter of their kind and so never run; they answer as an exhausted
// back end would.
#include "sound/sound_converter.h"

int32_t OpenAcmWaveConverter(SoundConverter*) { return -1; }
int32_t OpenOggConverter(SoundConverter*) { return -1; }
int32_t OpenAcmMp3Converter(SoundConverter*) { return -1; }
int32_t OpenDirectShowMp3Converter(SoundConverter*) { return -1; }

int32_t FillAcmBlock(SoundConverter*) { return -1; }
int32_t FillOggBlock(SoundConverter*) { return -1; }
int32_t SeekAcmConverter(SoundConverter*, int32_t) { return -1; }
int32_t SeekOggConverter(SoundConverter*, int32_t) { return -1; }
int32_t GetAcmConvertedSize(SoundConverter*) { return 0; }
int32_t GetOggPcmSize(SoundConverter*) { return 0; }
int32_t CloseAcmConverter(SoundConverter*) { return 0; }
int32_t CloseOggConverter(SoundConverter*) { return 0; }
