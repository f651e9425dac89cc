// The puzzle scene's tables: per level the tune, the background and the clear
// message, the how-to-play pages and where each level's pages start, and the
// scene's texts. Every lookup is bounds-checked: a level outside 1 to 50 is
// limited to it, a page or entry outside its table reads as empty.
#pragma once

#include <cstdint>

inline constexpr int32_t kHowToPages = 64;

// The tune name of a level ("data/<name>.ptcop").
const char* LevelTuneName(int32_t level);
// The background code of a level (CreateBackground).
int32_t LevelBackgroundCode(int32_t level);
// The clear message's index (0 to 3) of a level, and the message in the
// current language.
int32_t LevelClearMessageIndex(int32_t level);
const char* LevelClearMessage(int32_t level);
// The first how-to-play page of a level; 0 (an empty page) for none.
int32_t HowToStartPage(int32_t level);
// A how-to-play page in the current language; "" for an empty page.
const char* HowToPage(int32_t page);
inline bool IsHowToPageEmpty(int32_t page) { return HowToPage(page)[0] == '\0'; }

enum PuzzleTextEntry : int32_t {
    kPuzzleTextLevel = 0,    // the level label
    kPuzzleTextBack = 1,     // back button
    kPuzzleTextRestart = 2,  // restart button
    kPuzzleTextNext = 3,     // next button after a clear
    kPuzzleTextLast = 4,     // after the number of level 50
};
const char* PuzzleText(int32_t entry);

// The level label: text 0, the level in two places, and "(LAST)" on level 50.
void FormatLevelLabel(int32_t level, char* out, int32_t size);
