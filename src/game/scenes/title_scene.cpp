#include "game/scenes/title_scene.h"

#include <cstdio>

#include "game/background.h"
#include "game/backgrounds/haikei.h"
#include "game/bitmap_font.h"
#include "game/board/level_progress.h"
#include "game/game_draw.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/scene_common.h"

namespace {

constexpr int32_t kTextEntries = 32;

// Text tables: index 0 Japanese, 1 English; the entries not listed are empty.
const char* const kTitleTexts[2][kTextEntries] = {
    {"ﾍﾞﾙﾐﾊﾟｽﾞﾙ", "VER.1.000", "ﾄﾞﾉ ｾｰﾌﾞﾃﾞｰﾀ ｦ ｹｼﾏｽｶ?", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""},
    {"VELUMI PUZZLE", "VER.1.000", "WHICH DO YOU\nWANT TO DELETE?", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", ""},
};
const char* const kButtonTexts[2][kTextEntries] = {
    {"ｾｰﾌﾞ ｹｽ", "ｷｬﾝｾﾙ", "ｵﾜﾙ", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", ""},
    {"DELETE", "CANCEL", "QUIT", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", ""},
};
const char* const kSlotTexts[2][kTextEntries] = {
    {"ﾆｭｰｹﾞｰﾑ", "ﾚﾍﾞﾙ", "ｺﾝﾌﾟ", "ｽﾛｯﾄ", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", ""},
    {"NEW GAME", "LEVEL", "COMPLETE", "SLOT", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", "", ""},
};

enum { kTitle = 0, kVersion = 1, kDeleteQuestion = 2 };
enum { kDeleteLabel = 0, kCancelLabel = 1, kQuitLabel = 2 };
enum { kNewGame = 0, kLevelText = 1, kComplete = 2, kSlotText = 3 };

int32_t Language() { return UseEnglish == 1 ? 1 : 0; }

}  // namespace

void FormatSlotLabel(int32_t slot, int32_t level, char* out, int32_t size) {
    const char* const* texts = kSlotTexts[Language()];
    // A level outside 0..50 can only come from an altered save: it reads as
    // the nearest one the game knows.
    level = ClampSaveLevel(level);
    char state[128];
    if (level == 0)
        std::snprintf(state, sizeof state, "%s", texts[kNewGame]);
    else if (level < kLastLevel)
        std::snprintf(state, sizeof state, "%s%2d", texts[kLevelText], level);
    else
        std::snprintf(state, sizeof state, "%s", texts[kComplete]);
    std::snprintf(out, static_cast<size_t>(size), "  %s%d %s", texts[kSlotText], slot + 1, state);
}

void TitleScene::BuildButtons() {
    const int32_t language = Language();
    buttonTexts = kButtonTexts[language];
    slotTexts = kSlotTexts[language];
    titleTexts = kTitleTexts[language];
    bool anyProgress = false;
    for (int32_t i = 0; i < 3; ++i) {
        const int32_t level = ClampSaveLevel(g_saveData.slot[i].level);
        if (level != 0) anyProgress = true;
        char label[128];
        FormatSlotLabel(i, level, label, sizeof label);
        SetUpClickButton(slotButtons[i], 48, 128 + 24 * i, 224, label, 0);
    }
    deleteButton = Button{};
    if (anyProgress) SetUpClickButton(deleteButton, 48, 204, 96, buttonTexts[kDeleteLabel]);
    SetUpClickButton(quitButton, 176, 204, 96, buttonTexts[kQuitLabel]);
}

void TitleScene::SetDeleteMode(uint8_t on) {
    deleteMode = on;
    for (Button* b : {&slotButtons[0], &slotButtons[1], &slotButtons[2], &deleteButton}) {
        b->style = on ? 2 : 1;
        b->tileX = on ? 72 : 36;
    }
    SetButtonLabel(deleteButton, buttonTexts[on ? kCancelLabel : kDeleteLabel]);
    quitButton.visible = on ? 0 : 1;
}

void TitleScene::Start() {
    frameCount = 0;
    SetNextBackground(new Haikei1(0, 0));
    BuildButtons();
    StartWipe(wipe, 1);
    deleteMode = 0;
    ShowVolumeSliders(sliders, 230, 2, 12);
    PlayMusic("amn_");
}

void TitleScene::Update() {
    frameCount += 1;
    SwapBackground();
    if (wipe.active && StepWipe(wipe)) return;
    if (wipe.active && wipe.reveal == 0) {
        if (ClampSaveLevel(CurrentSaveSlot().level) == 0)
            SetNextScene(NewPuzzleScene(kFirstLevel));
        else
            SetNextScene(NewSentakuScene());
        return;
    }
    PollMouse();
    int32_t left = g_mouse.leftHeld;
    if (UpdateVolumeSliders(sliders, g_mouse.x, g_mouse.y, left) == 1) left = -1;
    for (int32_t i = 0; i < 3; ++i) {
        if (!HitTestButton(slotButtons[i], g_mouse.x, g_mouse.y, left)) continue;
        if (deleteMode) {
            PlaySoundEffect(kSoundSample);
            g_saveData.slot[i].level = 0;
            BuildButtons();
            SetDeleteMode(0);
        } else {
            PlaySoundEffect(kSoundClick);
            g_saveData.currentSlot = i;
            StartWipe(wipe, 0);
        }
    }
    if (HitTestButton(quitButton, g_mouse.x, g_mouse.y, left)) g_sceneManager.quit = 1;
    if (HitTestButton(deleteButton, g_mouse.x, g_mouse.y, left)) {
        PlaySoundEffect(kSoundClick);
        deleteButton.pressCounter = 6;
        SetDeleteMode(deleteMode ? 0 : 1);
    }
}

void TitleScene::Draw() {
    SetSceneBlend(1, 255);
    if (g_backgrounds.current != nullptr) g_backgrounds.current->Draw();
    if (deleteMode) {
        DrawText(titleTexts[kDeleteQuestion], 160, 80, 1, 1);
    } else {
        DrawText(titleTexts[kTitle], 160, 64, 1, 1);
        DrawText(titleTexts[kVersion], 160, 96, 1, 1);
    }
    for (const Button& b : slotButtons) DrawButton(b);
    DrawButton(deleteButton);
    DrawButton(quitButton);
    DrawVolumeSliders(sliders);
    DrawMousePointer(frameCount);
    DrawWipe(wipe);
}

Scene* NewTitleScene() { return new TitleScene; }
