#include "game/scenes/boot_scenes.h"

#include <algorithm>

#include "game/bitmap_font.h"
#include "game/game_draw.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/scene_common.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kLogoHoldFrames = 90;
constexpr int32_t kLogoFadeStep = 16;
constexpr int32_t kNoticeFadeStep = 8;

}  // namespace

// ---- BootScene -----------------------------------------------------------------------

void BootScene::Start() { LoadSaves(); }

void BootScene::Update() { SetNextScene(NewMorvaneScene()); }

Scene* NewBootScene() { return new BootScene; }

// ---- MorvaneScene ----------------------------------------------------------------------

void MorvaneScene::Start() {
    frameCount = 0;
    alpha = 255;
    leaving = 0;
    overlayBlack = 1;
}

void MorvaneScene::Update() {
    if (leaving == 0) {
        if (frameCount >= kLogoHoldFrames) {
            leaving = 1;
            overlayBlack = 0;
        }
        alpha -= kLogoFadeStep;
    } else {
        alpha += kLogoFadeStep;
        if (alpha >= 255) SetNextScene(NewFirstScene());
    }
    alpha = std::clamp(alpha, 0, 255);
    frameCount += 1;
}

void MorvaneScene::Draw() {
    FillScreen(MakeColor(255, 255, 255));
    SetSceneBlend(1, 255);
    DrawImageCell(96, 88, 0, 0, 128, 64, ImageHandle(kImageLogo));
    SetSceneBlend(1, alpha);
    FillScreen(overlayBlack == 1 ? MakeColor(0, 0, 0) : MakeColor(255, 255, 255));
    SetSceneBlend(1, 255);
}

Scene* NewMorvaneScene() { return new MorvaneScene; }

// ---- FirstScene --------------------------------------------------------------------------

const char* FirstSceneLine(int32_t line) {
    if (line == 0) return PickText("ﾏｳｽ ﾃﾞ ｿｳｻ ﾃﾞｽ｡", "USE A MOUSE.");
    return PickText("ｾｰﾌﾞ ﾊ ｵｰﾄｾｰﾌﾞ ﾃﾞｽ｡", "SAVING IS AUTOMATIC.");
}

void FirstScene::Start() {
    frameCount = 0;
    alpha = 255;
    leaving = 0;
    overlayWhite = 1;
    SetUpClickButton(next, 312 - 64, 232 - 17, 64, PickText("ﾂｷﾞﾍ", "NEXT"));
}

void FirstScene::Update() {
    PollMouse();
    if (leaving == 0) {
        if (HitTestButton(next, g_mouse.x, g_mouse.y, g_mouse.leftHeld)) {
            PlaySoundEffect(kSoundClick);
            leaving = 1;
        }
        alpha -= kNoticeFadeStep;
    } else {
        alpha += kNoticeFadeStep;
        overlayWhite = 0;
        if (alpha >= 255) SetNextScene(NewTitleScene());
    }
    alpha = std::clamp(alpha, 0, 255);
    frameCount += 1;
}

void FirstScene::Draw() {
    FillScreen(MakeColor(255, 255, 255));
    SetSceneBlend(1, 255);
    DrawButton(next);
    SetDrawBrightness(255, 128, 0);
    DrawText(FirstSceneLine(0), 8, 32, 0);
    DrawText(FirstSceneLine(1), 8, 64, 0);
    // The maker's line, in the notice's colour, at the bottom left.
    DrawText(kMakerLine, 8, 212, 0);
    SetDrawBrightness(255, 255, 255);
    SetSceneBlend(1, 255);
    DrawMousePointer(frameCount);
    SetSceneBlend(1, alpha);
    FillScreen(overlayWhite == 1 ? MakeColor(255, 255, 255) : MakeColor(0, 0, 0));
    SetSceneBlend(1, 255);
}

Scene* NewFirstScene() { return new FirstScene; }
