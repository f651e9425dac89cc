// WINMM's millisecond clock and timer periods.
#include "platform/winmm/winmm.h"

#include "platform/seams/seams.h"

#include <atomic>

namespace {
std::atomic<int64_t> g_offsetForTest{0};
std::atomic<int> g_periodsBegun{0};
}  // namespace

DWORD timeGetTime() {
    const int64_t milliseconds = seams::ClockUs() / 1000;
    return static_cast<DWORD>(static_cast<uint64_t>(milliseconds + g_offsetForTest.load()));
}

// The clock already runs at 1 ms; a period only has to be a sensible value.
MMRESULT timeBeginPeriod(UINT period) {
    if (period == 0 || period > 1000000) return TIMERR_NOCANDO;
    ++g_periodsBegun;
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
    if (period == 0 || period > 1000000) return TIMERR_NOCANDO;
    int begun = g_periodsBegun.load();
    while (begun > 0 && !g_periodsBegun.compare_exchange_weak(begun, begun - 1)) {
    }
    return begun > 0 ? TIMERR_NOERROR : TIMERR_NOCANDO;
}

namespace platform {
void SetTimeOffsetForTest(int64_t milliseconds) { g_offsetForTest = milliseconds; }
}  // namespace platform
