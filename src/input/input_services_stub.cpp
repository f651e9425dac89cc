// Input is not built yet: the library runs without it.
#include "core/services.h"

int32_t InitializeInput() { return 0; }
int32_t TerminateInput() { return 0; }
int32_t RefreshKeyboard() { return 0; }
int32_t UpdatePadVibration() { return 0; }
int32_t ResetInputCooperativeLevel() { return 0; }
int32_t ApplyPadVibration() { return 0; }
int32_t SetInputFlagA() { return 0; }
int32_t ClearInputFlagA() { return 0; }
int32_t SetInputFlagB() { return 0; }
int32_t ClearInputFlagB() { return 0; }
