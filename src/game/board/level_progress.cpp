#include "game/board/level_progress.h"

#include <algorithm>

int32_t ClampSaveLevel(int32_t saveLevel) { return std::clamp(saveLevel, 0, kLastLevel); }

int32_t RecordClearedLevel(int32_t saveLevel, int32_t level) { return ClampSaveLevel(std::max(saveLevel, level)); }

bool IsBreakAfterLevel(int32_t level) { return level == kBreakLevel || level == kLastLevel; }

bool IsLevelNumber(int32_t level) { return level >= kFirstLevel && level <= kLastLevel; }
