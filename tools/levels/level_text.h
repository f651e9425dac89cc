// The text form of a level: a 14 x 10 grid of two-character tokens (see
// assets/levels/README.md), turned into the 140 cell codes of a level file.
#pragma once

#include <string>

#include "game/board/board.h"

// Parses one level text. On failure returns false with a message that names
// the line and the token.
bool ParseLevelText(const std::string& text, LevelData* level, std::string* error);

// The 564 bytes of a level file.
std::string EncodeLevelFile(const LevelData& level);

// The token of a cell code (the inverse of the legend), "??" for a code the
// legend has no token for.
std::string TokenOfCode(int code);
