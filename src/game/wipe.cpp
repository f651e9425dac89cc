#include "game/wipe.h"

#include "game/game_draw.h"
#include "game/library_calls.h"
#include "game/resources.h"
#include "graphics/graphics.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int32_t kSquare = 40;
constexpr int32_t kColumns = 8;
constexpr int32_t kRows = 6;
constexpr int32_t kIcon = 12;
constexpr int32_t kSegment = 6;
constexpr int32_t kSampleEffect = 3;

int32_t WidgetWidth(const VolumeSliders& s) { return kIcon + kSegment * s.steps; }

void DrawBar(const VolumeSliders& s, int32_t top, int32_t level, int32_t iconY, int32_t mutedIconY) {
    const int32_t image = ImageHandle(kImageVolume);
    DrawImageCell(s.x, top, 0, level == 0 ? mutedIconY : iconY, kIcon, kIcon, image);
    for (int32_t k = 0; k < s.steps; ++k)
        DrawImageCell(s.x + kIcon + kSegment * k, top, k < level ? 12 : 18, 0, kSegment, kIcon, image);
}

}  // namespace

int32_t WipeThreshold(int32_t row, int32_t column) { return row / 2 + 3 * column + 12 * ((row + column) % 2); }

void DrawWipe(const WipeState& wipe) {
    if (wipe.active != 1) return;
    const GameLibraryCalls& calls = GameCalls();
    const uint32_t black = MakeColor(0, 0, 0);
    for (int32_t row = 0; row < kRows; ++row) {
        for (int32_t column = 0; column < kColumns; ++column) {
            const int32_t t = WipeThreshold(row, column);
            const bool drawn = wipe.reveal == 0 ? t < wipe.progress : t >= wipe.progress;
            if (!drawn) continue;
            const int32_t left = column * kSquare, top = row * kSquare;
            calls.drawRectangle(left, top, left + kSquare, top + kSquare, black, 1);
        }
    }
}

void StartWipe(WipeState& wipe, uint8_t reveal) {
    wipe.active = 1;
    wipe.counter = 0;
    wipe.reveal = reveal;
    wipe.progress = 0;
}

bool StepWipe(WipeState& wipe) {
    if (wipe.active == 0) return false;
    wipe.progress = wipe.counter >= kWipeComplete / 2 ? kWipeComplete : 2 * wipe.counter;
    if (wipe.counter < INT32_MAX) ++wipe.counter;
    return wipe.progress != kWipeComplete;
}

void ShowVolumeSliders(VolumeSliders& sliders, int32_t x, int32_t y, int32_t steps) {
    sliders.shown = 1;
    sliders.x = x;
    sliders.y = y;
    sliders.steps = steps;
    sliders.effectLevel = static_cast<int32_t>(static_cast<double>(g_soundEffects.volume) * steps);
    sliders.musicLevel = static_cast<int32_t>(static_cast<double>(g_music.volume) * steps);
}

int32_t UpdateVolumeSliders(VolumeSliders& s, int32_t px, int32_t py, int32_t held) {
    if (s.shown == 0 || s.steps < 1) return 0;
    if (px < s.x || px >= s.x + WidgetWidth(s) || py < s.y || py >= s.y + 24) return 0;
    const int32_t level = std::clamp((px - s.x - 6) / 6, 0, s.steps);
    const int32_t bar = std::clamp((py - s.y) / 12, 0, 1);
    const int32_t oldEffect = s.effectLevel, oldMusic = s.musicLevel;
    int32_t& chosen = bar == 0 ? s.effectLevel : s.musicLevel;
    if (held >= 0) {
        if (level > 0)
            chosen = level;
        else if (held == 0)
            chosen = chosen == 0 ? 1 : 0;
    }
    if (s.effectLevel != oldEffect) {
        SetSoundEffectVolume(static_cast<float>(s.effectLevel) / static_cast<float>(s.steps));
        PlaySoundEffect(kSampleEffect);
    }
    if (s.musicLevel != oldMusic)
        SetMusicVolume(static_cast<float>(s.musicLevel) / static_cast<float>(s.steps));
    return 1;
}

void DrawVolumeSliders(const VolumeSliders& s) {
    if (s.shown != 1) return;
    DrawBar(s, s.y, s.effectLevel, 0, 12);
    DrawBar(s, s.y + 12, s.musicLevel, 24, 36);
}
