// Test seams shared by every platform stand-in.
//
// A test names a platform call ("CreateThread", "CreateWindowExA",
// "IDirectSound::CreateSoundBuffer", ...) and makes it fail; the stand-in asks
// FailNow at its top and, when told to, returns its documented failure result
// (or the one the test chose). Nothing is injected unless a test asks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace seams {

// Make the named call fail. `times` < 0: until cleared; otherwise that many
// calls fail and later ones succeed. `result` is handed back by FailureResult
// for stand-ins whose failure code a test may want to choose (an HRESULT, say).
void FailCall(const char* name, int times = -1, int64_t result = -1);
// The same, after the next `skip` calls have succeeded (to fail, say, only
// the third call of a kind a routine makes).
void FailCallAfter(const char* name, int skip, int times = -1, int64_t result = -1);
// Make the named call succeed again.
void ClearCall(const char* name);
// Forget every injected failure.
void ClearAllCalls();
// True while any failure is armed (a quick test before building a name).
bool AnyFailure();
// True when the named call is to fail now; counts one use of a limited failure.
// A call whose failure carries no code (a null handle, say) asks this; one
// that answers a code asks FailNow below.
bool ShouldFailCall(const char* name);
// The result the test chose for the named call (the last FailCall's result).
int64_t FailureResult(const char* name);

// The chosen result as the stand-in's result type: taken when the test chose
// one (not -1), it is not 0 (a seam makes a call fail, never succeed without
// doing its work) and it fits the type's bits, read signed or unsigned (so
// 0x80004005 and (HRESULT)0x80004005 are the same choice); else `fallback`.
template <typename Result>
Result ChosenOr(int64_t chosen, std::type_identity_t<Result> fallback) {
    const bool fits =
        std::in_range<std::make_signed_t<Result>>(chosen) || std::in_range<std::make_unsigned_t<Result>>(chosen);
    return chosen != -1 && chosen != 0 && fits ? static_cast<Result>(chosen) : fallback;
}

// The one question every stand-in asks at the top of a call with a seam:
// "fail now, and with which result?" Empty when the call is to run; else the
// test's chosen result (see ChosenOr) or the call's own `fallback`:
//     if (auto hr = seams::FailNow<HRESULT>("IDirectSound::GetCaps", DSERR_GENERIC)) return *hr;
// Counts one use of a limited failure, as ShouldFailCall does.
template <typename Result>
std::optional<Result> FailNow(const char* name, std::type_identity_t<Result> fallback) {
    if (!ShouldFailCall(name)) return std::nullopt;
    return ChosenOr<Result>(FailureResult(name), fallback);
}
// The same for a call a test may fail for one kind of object only: "<call>"
// fails it for every kind, "<call>:<kind>" for that kind (kind may be null).
template <typename Result>
std::optional<Result> FailNow(const char* call, const char* kind, std::type_identity_t<Result> fallback) {
    if (!AnyFailure()) return std::nullopt;  // no name built on every call when no test asks
    if (auto failed = FailNow<Result>(call, fallback)) return failed;
    if (kind == nullptr) return std::nullopt;
    return FailNow<Result>((std::string(call) + ':' + kind).c_str(), fallback);
}

// No-wait clock for tests: when on, Sleep returns at once and vertical-blank
// waits do not wait. Off by default.
void SetNoWait(bool on);
bool NoWait();

// A clock for tests that stands still: while it is on, the performance
// counter, timeGetTime and the vertical blank read its time (monotonic
// microseconds, starting from the real time it was switched on at), which
// moves only when a vertical-blank wait skips ahead to the next blank or a
// test moves it. Off by default.
void SetStillClock(bool on);
bool StillClock();
int64_t StillClockUs();
// Monotonic microseconds: the still clock's while it is on, else the system's.
int64_t ClockUs();
void AdvanceStillClock(int64_t microseconds);

}  // namespace seams
