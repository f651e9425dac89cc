// Test seams shared by every platform stand-in.
//
// A test names a platform call ("CreateThread", "CreateWindowExA",
// "IDirectSound::CreateSoundBuffer", ...) and makes it fail; the stand-in asks
// ShouldFailCall at its top and, when told to, returns its documented failure
// result (or the one the test chose). Nothing is injected unless a test asks.
#pragma once

#include <cstdint>

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
// True when the named call is to fail now; counts one use of a limited failure.
bool ShouldFailCall(const char* name);
// The result the test chose for the named call (the last FailCall's result).
int64_t FailureResult(const char* name);
// For stand-ins whose calls answer an HRESULT: true when the named call is to
// fail now, with *result the failure the test chose (a negative value other
// than -1) or else `fallback`.
bool FailHresult(const char* name, int32_t fallback, int32_t* result);

// No-wait clock for tests: when on, Sleep returns at once and vertical-blank
// waits do not wait. Off by default.
void SetNoWait(bool on);
bool NoWait();

}  // namespace seams
