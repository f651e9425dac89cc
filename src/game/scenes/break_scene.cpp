#include "game/scenes/break_scene.h"

#include "game/background.h"
#include "game/backgrounds/haikei.h"
#include "game/bitmap_font.h"
#include "game/board/level_progress.h"
#include "game/effects.h"
#include "game/game_draw.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/scenes/scene_common.h"

namespace {

// Entries 2, 4, 6 and 13 on are empty.
const char* const kJapanese[kBreakTextEntries] = {
    "ﾚﾍﾞﾙ20 ｦ ｸﾘｱ!!",
    "ｾﾞﾝ ﾚﾍﾞﾙ ｦ ｸﾘｱ!!",
    "",
    "ﾓﾄﾞﾙ",
    "",
    "ﾌﾟﾛｸﾞﾗﾑ\nｸﾞﾗﾌｨｯｸ\nｻｳﾝﾄﾞ\nﾚﾍﾞﾙﾃﾞｻﾞｲﾝ\n   ﾐﾚﾝｺﾀ",
    "",
    "ｱｿﾝﾃﾞｲﾀﾀﾞｷ ｱﾘｶﾞﾄｳｺﾞｻﾞｲﾏｽ｡\nｻｸｼｬ ﾉ ﾐﾚﾝｺﾀ ﾃﾞｽ｡",
    "ﾚﾍﾞﾙ20 ﾊ ｹｯｺｳ ﾑｽﾞｶｼﾒ ﾆ\nﾂｸｯﾀ ﾂﾓﾘ ﾀﾞｯﾀﾉﾃﾞ...",
    "...ｺｺﾏﾃﾞ ｸﾙﾄﾊ ﾅｶﾅｶ\nﾔﾘﾏｽﾈ｡",
    "ｺﾉｻｷ ﾓ ｲｸﾂｶ\nﾚﾍﾞﾙ ｦ ﾖｳｲｼﾃｲﾏｽｶﾞ...",
    "ﾄﾞｳｿﾞ ｺﾉｱﾀﾘﾃﾞ ｽｺｼ\nｷｭｳｹｲ ｦ\nｵﾄﾘｸﾀﾞｻｲ｡",
    "ｿﾚﾃﾞﾊｰ｡",
};
const char* const kEnglish[kBreakTextEntries] = {
    "20 LEVELS BEATEN!!",
    "ALL LEVELS BEATEN!!",
    "",
    "BACK",
    "",
    "PROGRAMMING\nGRAPHICS\nSOUND\nLEVEL DESIGN\n   MIRENKOTA",
    "",
    "THANK YOU FOR PLAYING\nTHIS GAME. BROUGHT\nTO YOU BY MIRENKOTA.",
    "I THOUGHT LEVEL 20\nMIGHT BE QUITE\nDIFFICULT. SO...",
    "...IT WAS GREAT OF YOU\nBEATING IT.",
    "THERE ARE STILL MORE\nLEVELS, BUT FOR NOW...",
    "PLEASE TAKE A LITTLE\nBREAK.",
    "SEE YOU SOON!!",
};

enum { kTitle20 = 0, kTitleAll = 1, kBackLabel = 3, kCredits = 5, kFirstMessage = 7 };

bool IsEmpty(int32_t entry) { return BreakText(entry)[0] == '\0'; }

}  // namespace

const char* BreakText(int32_t entry) {
    if (entry < 0 || entry >= kBreakTextEntries) return "";
    const char* text = (UseEnglish == 1 ? kEnglish : kJapanese)[entry];
    return text == nullptr ? "" : text;
}

BreakScene::BreakScene(int32_t level_) : level(level_) {
    wipe.active = 0;
    for (Button* b : {&title, &back, &messageBox, &nextButton}) HideButton(*b);
}

void BreakScene::BurstFireworks() {
    flash = 1.0;
    PlaySoundEffect(kSoundLevelCleared);
    AddFireworkRings();
}

void BreakScene::Start() {
    flash = 0.0;
    frameCount = 0;
    SetNextBackground(new Haikei1(0, 1));
    StartWipe(wipe, 1);
    PlayMusic("awk");
    ClearEffects();
    showCredits = 1;

    SetUpTitleBox(title, 64, BreakText(level == kLastLevel ? kTitleAll : kTitle20));
    SetUpClickButton(back, 316 - 64, 239 - 17, 64, BreakText(kBackLabel));

    messageIndex = level == kBreakLevel ? kFirstMessage : -1;
    if (messageIndex >= 0 && !IsEmpty(messageIndex)) {
        SetUpMessageBox(messageBox, 88, BreakText(messageIndex));
        SetUpClickButton(nextButton, 296, 128, 16, IsEmpty(messageIndex + 1) ? "-" : "@");

        title.visible = 0;
        back.visible = 0;
        showCredits = 0;
    } else {
        BurstFireworks();
        wipe.active = 0;
    }
}

void BreakScene::Update() {
    frameCount += 1;
    SwapBackground();
    if (wipe.active) {
        if (StepWipe(wipe)) return;
        if (wipe.reveal == 0) {
            SetNextScene(NewSentakuScene());
            return;
        }
    }
    PollMouse();
    int32_t left = g_mouse.leftHeld;
    TickButton(messageBox);
    if (HitTestButton(nextButton, g_mouse.x, g_mouse.y, left)) {
        PlaySoundEffect(kSoundPage);
        if (!IsEmpty(messageIndex)) {
            messageIndex += 1;
            SetButtonLabel(messageBox, BreakText(messageIndex));
            messageBox.pressCounter = 6;
            nextButton.pressCounter = 6;
            if (IsEmpty(messageIndex)) {  // the messages are over
                nextButton.visible = 0;
                messageBox.visible = 0;
                title.visible = 1;
                back.visible = 1;
                title.pressCounter = 6;
                BurstFireworks();
                showCredits = 1;
            } else if (IsEmpty(messageIndex + 1)) {
                SetButtonLabel(nextButton, "-");
            }
        }
        left = -1;
    }
    UpdateEffects();
    if (HitTestButton(back, g_mouse.x, g_mouse.y, left)) {
        PlaySoundEffect(kSoundClick);
        StartWipe(wipe, 0);
    }
    if (flash > 0) {
        flash -= 0.05;
        if (flash <= 0) flash = 0.0;
    }
    TickButton(title);
}

void BreakScene::Draw() {
    SetSceneBlend(1, 255);
    if (g_backgrounds.current != nullptr) g_backgrounds.current->Draw();
    if (showCredits == 1) DrawText(BreakText(kCredits), 12, 132, 0);
    DrawEffects();
    SetSceneBlend(1, 255);
    DrawButton(title);
    DrawButton(back);
    DrawButton(messageBox);
    DrawButton(nextButton);
    // After the flash the pointer is added at full strength.
    if (DrawFlash(flash)) SetSceneBlend(2, 255);
    DrawMousePointer(frameCount);
    // The wipe is drawn opaque: in the flash's additive mode its black squares
    // would leave the picture unchanged and the closing wipe would not show.
    SetSceneBlend(1, 255);
    DrawWipe(wipe);
}

Scene* NewBreakScene(int32_t level) { return new BreakScene(level); }
