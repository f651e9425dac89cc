// The text form in which tunes are written (assets/tunes/*.tune): settings,
// instruments, and tracks of notes in a compact music notation. The tunes
// tool compiles it to the binary form of tune.h. FORMAT.md describes both.
#pragma once

#include "platform/pxtone/tune.h"

#include <string>

namespace pxt {

// Compiles a whole text. On failure returns false and sets *error to
// "line L: what" (the tune is left untouched).
bool CompileTuneText(const std::string& text, Tune* tune, std::string* error);

}  // namespace pxt
