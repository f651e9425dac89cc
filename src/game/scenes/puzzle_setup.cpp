// The puzzle scene's set-up: its construction, SetUpLevel and StartLevel.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/log.h"
#include "game/background.h"
#include "game/backgrounds/haikei.h"
#include "game/board/level_progress.h"
#include "game/effects.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/puzzle_scene.h"
#include "game/scenes/puzzle_tables.h"
#include "game/scenes/scene_common.h"
#include "platform/kernel32/kernel32.h"

namespace {

// The code the board's ground blocks take their tiles from: the background
// about to be installed, else the current one.
int32_t GroundCode() {
    if (g_backgrounds.next != nullptr) return g_backgrounds.next->GetCode();
    if (g_backgrounds.current != nullptr) return g_backgrounds.current->GetCode();
    return 0;
}

}  // namespace

std::string LevelFilePath(int32_t level) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d", level);
    return ExeDirectory + "data\\" + name;
}

PuzzleScene::PuzzleScene(int32_t level_) : level(std::clamp(level_, kFirstLevel, kLastLevel)) {
    for (Button* b : {&howToBox, &nextPageButton, &prevPageButton, &restartButton, &backButton, &nextButton,
                      &clearBox, &undoButton})
        HideButton(*b);
    wipe.active = 0;
}

void PuzzleScene::SetUpLevel() {
    for (Button* b : {&howToBox, &nextPageButton, &prevPageButton, &clearBox, &nextButton}) HideButton(*b);
    prevLevelArrow = LevelArrow{};
    nextLevelArrow = LevelArrow{};
    page = 0;
    StartLevel();
    const int32_t reached = ClampSaveLevel(CurrentSaveSlot().level);
    if (level <= reached && level < kLastLevel) nextLevelArrow = LevelArrow{308, 192, 1, 0, 1};
    if (level > kFirstLevel) prevLevelArrow = LevelArrow{0, 192, 1, 0, 0};
    page = HowToStartPage(level);
    if (!IsHowToPageEmpty(page)) {
        SetUpMessageBox(howToBox, 24, HowToPage(page));
        SetUpClickButton(nextPageButton, 296, 64, 16, IsHowToPageEmpty(page + 1) ? "-" : "@");
        SetUpClickButton(prevPageButton, 296, 24, 16, "`");
        prevPageButton.visible = 0;
    }
    SetUpClickButton(restartButton, 316 - 96, 239 - 17, 96, PuzzleText(kPuzzleTextRestart));
    SetUpClickButton(backButton, 4, 239 - 17, 48, PuzzleText(kPuzzleTextBack));
    const char* tune = LevelTuneName(level);
    if (std::strcmp(g_music.name, tune) != 0) PlayMusic(tune);
}

void PuzzleScene::StartLevel() {
    frameCount = 0;
    SetNextBackground(CreateBackground(LevelBackgroundCode(level)));
    ClearEffects();
    board.headerWord = 0;
    LevelError error;
    const std::string path = platform::PathToNative(LevelFilePath(level).c_str());
    if (LoadLevelFile(board, path.c_str(), GroundCode(), &error) != 0) {
        // Without its level the game cannot go on.
        WriteLogFormatted("%s", error.message);
        g_sceneManager.quit = 1;
    }
    flash = 0.0;
    StartWipe(wipe, 1);
    animCount = 0;
    arrowDelay = 0;
    highlightDelay = 0;
    clearTimer = 0;
    board.boardState = kBoardIdle;
    board.undoAvailable = 0;
    SetUpClickButton(undoButton, 210 - 16, 239 - 17, 16, level == kFirstLevel ? "~" : " ");
}

Scene* NewPuzzleScene(int32_t level) { return new PuzzleScene(level); }
