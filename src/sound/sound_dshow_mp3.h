// The pieces of the DirectShow MP3 back end (OpenDirectShowMp3Converter)
// that a test drives on their own.
#pragma once

#include "platform/dshow/dshow.h"

#include <cstdint>

// The grabber's callback: appends the sample's bytes to the converter's PCM
// block (user), growing it in 1 MB steps; a growth that fails frees the
// block and drops every later sample. Always S_OK.
HRESULT AppendGrabbedPcm(IMediaSample* sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, int32_t typeChanged,
                         void* user);
// The filter's first pin of that direction, with a reference; null when none.
IPin* FindPinByDirection(IBaseFilter* filter, PIN_DIRECTION direction);
