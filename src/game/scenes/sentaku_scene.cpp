#include "game/scenes/sentaku_scene.h"

#include <algorithm>
#include <cmath>

#include "game/background.h"
#include "game/backgrounds/haikei.h"
#include "game/bitmap_font.h"
#include "game/board/game_rand.h"
#include "game/board/level_progress.h"
#include "game/game_draw.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/scene_common.h"

namespace {

constexpr int32_t kTextEntries = 32;
const char* const kTexts[2][kTextEntries] = {
    {"ﾚﾍﾞﾙ ｦ ｾﾝﾀｸｼﾃｸﾀﾞｻｲ", "ﾓﾄﾞﾙ", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", "", ""},
    {"CHOOSE A LEVEL...", "BACK", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "",
     "", "", "", "", "", "", "", "", ""},
};
enum { kHeading = 0, kBackLabel = 1 };

constexpr double kOriginX = 160.0, kOriginY = 64.0;
constexpr double kTwoPi = 6.28318530718;

double Sign(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

void ApplyFriction(double& v) {
    if (std::fabs(v) < 0.1) v = 0.0;
    v -= Sign(v) * 0.1;
}

// The pushes between two walkers closer than 5 pixels, and a pull of each
// toward the pair's mean velocity.
void PushApart(LevelSelectWalker& a, LevelSelectWalker& b) {
    const double dx = a.x - b.x, dy = a.y - b.y;
    const double d2 = dx * dx + dy * dy;
    if (!(d2 < 25.0) || std::sqrt(d2) == 0.0) return;
    const double push = 2.0 / (d2 + 0.1);
    a.fx += dx * push;
    a.fy += dy * push;
    b.fx -= dx * push;
    b.fy -= dy * push;
    const double mvx = (a.vx + b.vx) * 0.5, mvy = (a.vy + b.vy) * 0.5;
    a.fx += 0.2 * Sign(mvx - a.vx);
    a.fy += 0.2 * Sign(mvy - a.vy);
    b.fx += 0.2 * Sign(mvx - b.vx);
    b.fy += 0.2 * Sign(mvy - b.vy);
}

}  // namespace

void LayoutLevelIcons(double* targetX, double* targetY, int32_t count) {
    count = std::clamp(count, 0, kIconCount);
    if (count < 38) {
        auto ring = [&](int32_t first, int32_t last, double radius, int32_t m) {
            for (int32_t i = first; i < last; ++i) {
                const double t = (i - first) * kTwoPi / m;
                targetX[i] = std::sin(t) * radius;
                targetY[i] = 60.0 - std::cos(t) * radius;
            }
        };
        ring(0, std::min(count, 20), 84.0, 20);
        if (count > 20) ring(20, std::min(count, 32), 54.0, std::min(count, 32) - 20);
        if (count > 32) ring(32, count, 24.0, count - 32);
        return;
    }
    for (int32_t i = 0; i < std::min(count, 40); ++i) {
        targetX[i] = (i % 10) * 24 - 108.0;
        targetY[i] = (i / 10) * 24;
    }
    for (int32_t i = 40; i < count; ++i) {
        targetX[i] = (i % 10) * 24 + 12 * (41 - count);
        targetY[i] = 96.0;
    }
}

void UpdateWalker(LevelSelectWalker& w) {
    w.jumpTimer -= 1;
    if (w.jumpTimer <= 0) {
        w.jumpTimer = GameRand() % 9000 + 180;
        w.fy = (GameRand() % 100 + 100) * -0.01;
        w.fx = (GameRand() % 201 - 100) * 0.01;
    }
    w.fy += 0.05;
    const bool outsideX = w.x < 4.0 || w.x > 316.0;
    const bool outsideY = w.y < 4.0 || w.y > 232.0;
    if (w.x < 4.0) w.fx += (4.0 - w.x) * 0.1;
    if (w.x > 316.0) w.fx += (316.0 - w.x) * 0.1;
    if (w.y < 4.0) w.fy += (4.0 - w.y) * 0.1;
    if (w.y > 232.0) w.fy += (232.0 - w.y) * 0.1;
    if (outsideX) ApplyFriction(w.vx);
    if (outsideY) {
        ApplyFriction(w.vy);
        ApplyFriction(w.vx);
    }
    w.counter += 1;
    w.vx += w.fx;
    w.vy += w.fy;
    w.x += w.vx;
    w.y += w.vy;
    w.fx = w.fy = 0.0;
}

uint8_t UpdateLevelIcon(LevelIcon& icon, int32_t px, int32_t py, int32_t held, double ox, double oy) {
    if (!icon.active) return 0;
    icon.originX = ox;
    icon.originY = oy;
    if (icon.delay > 0) {
        icon.delay -= 1;
        return 0;
    }
    icon.x += (icon.targetX - icon.x) * 0.25;
    icon.y += (icon.targetY - icon.y) * 0.25;
    const double p = icon.phase;
    icon.wobbleX = 2.0 * std::cos(0.03 * p) + std::sin(0.011 * p);
    icon.wobbleY = 2.0 * std::sin(0.023 * p) - std::cos(0.008 * p);
    icon.phase += 1;
    const double cx = icon.wobbleX + ox + icon.x, cy = icon.wobbleY + oy + icon.y;
    const bool inside = cx - 12 <= px && px < cx + 12 && cy - 12 <= py && py < cy + 12;
    if (inside) {
        icon.hoverCount += 1;
        if (icon.hoverCount == 3) PlaySoundEffect(kSoundHover);
    } else {
        icon.hoverCount = 0;
    }
    icon.hoverCount = std::min(icon.hoverCount, 9);
    icon.hoverFrame = (icon.hoverCount + 2) / 3;
    return inside && held == 0 ? 1 : 0;
}

void DrawLevelIcon(const LevelIcon& icon) {
    if (!icon.active || icon.delay > 0) return;
    const int32_t left = static_cast<int32_t>(icon.originX + icon.wobbleX + icon.x - 12);
    const int32_t top = static_cast<int32_t>(icon.originY + icon.wobbleY + icon.y - 12);
    if (icon.cleared) DrawImageCell(left, top, 48, 24, 24, 24, icon.image);
    DrawImageCell(left, top, 24 * icon.hoverFrame, 0, 24, 24, icon.image);
    const int32_t number = std::clamp(icon.number, 0, 99);
    if (number >= 10) DrawImageCell(left + 12, top + 12, 4 * (number / 10), 24, 4, 6, icon.image);
    DrawImageCell(left + 16, top + 12, 4 * (number % 10), 24, 4, 6, icon.image);
}

void SentakuScene::Start() {
    SetNextBackground(new Haikei1(0, 0));
    sheet = ImageHandle(kImageSentaku);
    texts = kTexts[UseEnglish == 1 ? 1 : 0];
    // A stored level outside 0..50 can only come from an altered save file.
    const int32_t L = ClampSaveLevel(CurrentSaveSlot().level);
    double p[kIconCount];
    for (int32_t k = 0; k < kIconCount; ++k) p[k] = k * 6.08 + 8.0;
    for (int32_t n = 0; n < 2500; ++n) {
        const int32_t a = GameRand() % kIconCount;
        const int32_t b = GameRand() % kIconCount;
        std::swap(p[a], p[b]);
    }
    for (int32_t i = 0; i < L; ++i) {
        LevelSelectWalker w;
        w.active = 1;
        w.x = p[i] + GameRand() % 2;
        w.y = (GameRand() % 1000) * 0.0001 + 232.0;
        w.mirrored = GameRand() % 2;
        w.kind = i % 3 + 1;
        w.counter = GameRand() % 100;
        w.image = ImageHandle(kImageFigures);
        w.jumpTimer = GameRand() % 9000 + 180;
        for (LevelSelectWalker& slot : walkers) {
            if (slot.active) continue;
            slot = w;
            break;
        }
    }
    for (LevelIcon& icon : icons) icon.active = 0;
    const int32_t count = std::min(L + 1, kIconCount);
    double targetX[kIconCount] = {}, targetY[kIconCount] = {};
    LayoutLevelIcons(targetX, targetY, count);
    for (int32_t i = 0; i < count; ++i) {
        LevelIcon& icon = icons[i];
        icon = LevelIcon{};
        icon.active = 1;
        icon.cleared = i == L ? 0 : 1;
        icon.x = 0.0;
        icon.y = 272.0;
        icon.targetX = targetX[i];
        icon.targetY = targetY[i];
        icon.delay = i;
        icon.image = ImageHandle(kImageSentaku);
        icon.number = i + 1;
    }
    StartWipe(wipe, 1);
    frameCount = 0;
    SetUpClickButton(back, 318 - 48, 4, 48, texts[kBackLabel]);
    ShowVolumeSliders(sliders, 230, 192, 12);
    PlayMusic("avs_");
}

void SentakuScene::Update() {
    SwapBackground();
    const bool busy = wipe.active ? StepWipe(wipe) : false;
    if (wipe.active && wipe.reveal == 0 && !busy) {
        // The update goes on for this frame.
        SetNextScene(chosenLevel >= 0 ? NewPuzzleScene(chosenLevel) : NewTitleScene());
    }
    PollMouse();
    int32_t left = g_mouse.leftHeld;
    if (UpdateVolumeSliders(sliders, g_mouse.x, g_mouse.y, left) == 1) left = -1;
    if (HitTestButton(back, g_mouse.x, g_mouse.y, left)) {
        PlaySoundEffect(kSoundClick);
        StartWipe(wipe, 0);
        chosenLevel = -1;
        left = -1;
    }
    for (LevelIcon& icon : icons) {
        if (UpdateLevelIcon(icon, g_mouse.x, g_mouse.y, left, kOriginX, kOriginY) && !busy) {
            PlaySoundEffect(kSoundClick);
            StartWipe(wipe, 0);
            chosenLevel = icon.number;
        }
    }
    for (int32_t i = 0; i < kWalkerCount; ++i) {
        if (!walkers[i].active) continue;
        for (int32_t j = i + 1; j < kWalkerCount; ++j) {
            if (walkers[j].active) PushApart(walkers[i], walkers[j]);
        }
    }
    for (LevelSelectWalker& w : walkers) {
        if (w.active) UpdateWalker(w);
    }
    frameCount += 1;
}

void SentakuScene::Draw() {
    SetSceneBlend(1, 255);
    if (g_backgrounds.current != nullptr) g_backgrounds.current->Draw();
    DrawButton(back);
    for (const LevelSelectWalker& w : walkers) {
        if (w.active) DrawSpriteFrame(w.kind, w.counter, w.x, w.y, w.mirrored == 1 ? 1 : 0);
    }
    DrawText(texts[kHeading], 4, 4, 0);
    for (const LevelIcon& icon : icons) DrawLevelIcon(icon);
    DrawVolumeSliders(sliders);
    DrawMousePointer(frameCount);
    DrawWipe(wipe);
}

Scene* NewSentakuScene() { return new SentakuScene; }
