#include "game/scenes/puzzle_tables.h"

#include <algorithm>
#include <cstdio>

#include "game/board/level_progress.h"
#include "game/game_main.h"

namespace {

int32_t LevelIndex(int32_t level) { return std::clamp(level, kFirstLevel, kLastLevel) - 1; }

const char* const kTunes[kLastLevel] = {
    "awk",   "awk",   "awk",   "awk",    "avx",   "avx",   "avx",   "avx",    "awe",   "awe",
    "awe",   "awe",   "awa",   "awa",    "awn",   "awn",   "avx__", "avx__",  "avx__", "ahv___",
    "avu",   "agv__", "agv__", "avv",    "avx",   "avb_",  "avb_",  "awe",    "awe",   "avx___",
    "awn",   "awn",   "awn",   "awa",    "awa",   "amn",   "amn",   "avu",    "awk",   "awn__",
    "avx__", "avx__", "alx",   "avv",    "alo__", "awe",   "awa__", "avx",    "avs",   "ahv___",
};

const int32_t kBackgrounds[kLastLevel] = {
    0,  0,  0,  0,  10, 10, 10, 10, 2,  2,  2,  2,  12, 12, 12, 12, 4,  4,  4,  4,  14, 14, 14, 4,  30,
    52, 52, 20, 20, 40, 22, 22, 32, 42, 42, 14, 14, 4,  10, 12, 4,  4,  14, 10, 0,  2,  12, 14, 2,  4,
};

const char* const kClearMessages[2][4] = {
    {"ｽﾊﾞﾗｼｲﾃﾞｽ!!", "ｽｺﾞｲ...!!", "ｽﾊﾞﾗｼｰｰｰｲ!!!", "ｽｹﾞｰｰｰ!!!"},
    {"EXCELLENT!!", "AWESOME!!", "EXCELLEEENT!!!", "AWESOOOME!!"},
};

const char* const kPuzzleTexts[2][5] = {
    {"ﾚﾍﾞﾙ", "ﾓﾄﾞﾙ", "ﾔﾘﾅｵｼ", "ﾂｷﾞﾍ", "(ﾗｽﾄ)"},
    {"LEVEL", "BACK", "RESTART", "NEXT", "(LAST)"},
};

// The pages that hold text; every other page of the 64 is empty.
struct Page {
    int32_t page;
    const char* japanese;
    const char* english;
};
const Page kPages[] = {
    {1, "- ｱｿﾋﾞｶﾀ -\n(ﾐｷﾞ ﾉ @ ｦ\nｸﾘｯｸ ｼﾃｸﾀﾞｻｲ｡)", "- HOW TO PLAY -\n(CLICK THE @ BUTTON\nON THE RIGHT.)"},
    {2, "ｱｶ ｱｵ ｷｲﾛ ﾉ\nｼｶｸｲ ｲｼ ｶﾞ ｱﾘﾏｽ｡", "THERE ARE SQUARE STONES\nCOLORED RED, BLUE, AND\nYELLOW."},
    {3, "ｺﾚﾗ ﾉ ｲｼ ﾊ ｸﾘｯｸ ﾃﾞ\nﾖｺ ﾍ ｳｺﾞｶｼﾀﾘ ｻﾕｳ\nｲﾚｶｴﾙ ｺﾄ ｶﾞ ﾃﾞｷﾏｽ｡",
     "THESE STONES CAN BE\nMOVED OR SWAPPED BY\nCLICKING THEM."},
    {4, "ｲｼ ﾊ ｵﾅｼﾞ ｲﾛ ﾉ ﾊﾅ ﾆ\nﾌﾚﾙﾄ ｿﾉ ｲｼ ｶﾗ ｻﾗﾆ\nﾊﾅ ｶﾞ ｻｷﾏｽ｡", "IF A STONE TOUCHES A\nFLOWER IN THE SAME\nCOLOR,"},
    {5, "ｱｶ ｱｵ ｷｲﾛ ﾉ\nｽﾍﾞﾃﾉ ｲｼ ｶﾗ ﾊﾅ ｦ\nｻｶｾﾚﾊﾞ ｸﾘｱﾃﾞｽ｡", "A NEW FLOWER BLOOMS ON\nTHE STONE."},
    {6, "ﾐｷﾞ ｸﾘｯｸ ｽﾙｶ\nﾔﾘﾅｵｼ ｦ ｸﾘｯｸ ｽﾚﾊﾞ\nﾅﾝﾄﾞ ﾃﾞﾓ ﾔﾘﾅｵｾﾏｽ｡",
     "THE OBJECTIVE IS TO\nBLOOM FLOWERS ON ALL\nCOLORED STONES."},
    {7, "~ ｦ ｸﾘｯｸ ｽﾚﾊﾞ\nﾋﾄﾂﾀﾞｹ ﾏｴ ﾆ ﾓﾄﾞｾﾏｽ｡", "THE RESTART BUTTON OR\nRIGHT-CLICKING ALLOWS\nYOU TO RESTART."},
    {8, "ｿﾚﾃﾞﾊ ﾚｯﾂ ﾄﾗｲ!!\n(ﾐﾀﾒ ﾖﾘ ﾑｽﾞｶｼｲ ｶﾓ)\n", "THE ~ BUTTON ALLOWS\nYOU TO GO BACK ONE\nMOVE."},
    {9, "", "GIVE IT A TRY!!\n(THIS MIGHT BE HARDER\nTHAN IT LOOKS.)"},
    {11, "- ｺｺﾏﾃﾞ ﾉ ﾏﾄﾒ -", "- REVIEW -"},
    {12, "ﾊﾅ ﾉ ｻｹﾙ ｽﾍﾟｰｽ ｶﾞ\nﾅｹﾚﾊﾞ ﾊﾅ ﾊ ｻｷﾏｾﾝ｡", "FLOWERS CAN'T BLOOM\nIF THERE ISN'T ENOUGH\nSPACE TO DO SO."},
    {13, "ｲﾄﾞｳｻｷ ﾆ ｽﾍﾟｰｽ ｶﾞ\nﾅｹﾚﾊﾞ ｳｺﾞｶｼﾀﾘ\nｲﾚｶｴﾙｺﾄ ﾊ ﾃﾞｷﾏｾﾝ｡",
     "STONES CAN'T BE MOVED\nOR SWAPPED IF THERE\nISN'T ENOUGH SPACE."},
    {14, "ｵﾅｼﾞ ﾀｶｻ ﾃﾞ\nﾄﾅﾘｱｯﾃｲﾅｹﾚﾊﾞ\nｲﾚｶｴ ﾃﾞｷﾏｾﾝ｡", "STONES HAVE TO BE\nADJACENT TO BE SWAPPED."},
    {16, "ｸﾞﾚｰ ﾉ ｲｼ ﾓ ｳｺﾞｶｾﾏｽ｡\nﾊﾅ ﾊ ｻｷﾏｾﾝ｡", "GRAY STONES CAN ALSO BE\nMOVED. FLOWERS DON'T\nBLOOM ON THEM."},
    {18, "ﾖｺﾊﾊﾞ ﾉ ｵｵｷｲ ｲｼ ﾊ\nｲﾚｶｴ ﾃﾞｷﾏｾﾝ｡", "WIDE STONES CANNOT\nBE SWAPPED."},
};

int32_t Language() { return UseEnglish == 1 ? 1 : 0; }

}  // namespace

const char* LevelTuneName(int32_t level) { return kTunes[LevelIndex(level)]; }

int32_t LevelBackgroundCode(int32_t level) { return kBackgrounds[LevelIndex(level)]; }

int32_t LevelClearMessageIndex(int32_t level) {
    level = LevelIndex(level) + 1;
    if (level == 8 || level == 15 || level == 31 || level == 33 || level == 39) return 1;
    if (level == 20 || level == 50) return 2;
    if (level >= 40 && level <= 49) return 3;
    return 0;
}

const char* LevelClearMessage(int32_t level) { return kClearMessages[Language()][LevelClearMessageIndex(level)]; }

int32_t HowToStartPage(int32_t level) {
    switch (level) {
        case 1: return 1;
        case 4: return 11;
        case 6: return 16;
        case 8: return 18;
        default: return 0;
    }
}

const char* HowToPage(int32_t page) {
    for (const Page& p : kPages) {
        if (p.page == page) return Language() == 1 ? p.english : p.japanese;
    }
    return "";
}

const char* PuzzleText(int32_t entry) {
    if (entry < 0 || entry >= 5) return "";
    return kPuzzleTexts[Language()][entry];
}

void FormatLevelLabel(int32_t level, char* out, int32_t size) {
    std::snprintf(out, static_cast<size_t>(size), "%s%2d%s", PuzzleText(kPuzzleTextLevel), level,
                  level == kLastLevel ? PuzzleText(kPuzzleTextLast) : "");
}
