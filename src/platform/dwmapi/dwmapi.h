// DWMAPI stand-in: DwmEnableComposition only, behind "dwmapi.dll", which
// LoadLibraryA finds once the platform's start-up registered it (with COM's
// start, as "d3d9.dll"). There is no desktop window manager here: the call
// succeeds and records the state asked for, so that a test can see what the
// library switched and how often.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

#define DWM_EC_DISABLECOMPOSITION 0
#define DWM_EC_ENABLECOMPOSITION 1

// S_OK for either state; E_INVALIDARG for any other value (nothing recorded).
HRESULT DwmEnableComposition(UINT compositionAction);
using PFN_DwmEnableComposition = HRESULT (*)(UINT);

namespace dwmapi {

// Makes "dwmapi.dll" loadable by LoadLibraryA (present: true), or missing, as
// on a system before Windows Vista.
void RegisterModule(bool present = true);

// Tests: the last state DwmEnableComposition set (-1 when none since the
// reset) and how many calls it took.
int32_t CompositionState();
int32_t CompositionCallCount();
void ResetCompositionRecord();

}  // namespace dwmapi
