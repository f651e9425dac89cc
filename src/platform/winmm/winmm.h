// WINMM stand-in: the millisecond clock, timer periods (and, with the input
// work, joysticks; with the sound work, MCI).
#pragma once

#include "platform/wintypes.h"

using MMRESULT = UINT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

// Milliseconds since an arbitrary start, from the monotonic clock; wraps at 2^32.
DWORD timeGetTime();
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

namespace platform {
// Tests only: shift timeGetTime by this many milliseconds (to reach a wrap).
void SetTimeOffsetForTest(int64_t milliseconds);
}
