// What the game's scenes share: the text of the current language, the screen
// fills and blend modes they draw with, the fireworks of a cleared level, and
// the constructors of every scene.
#pragma once

#include <cstdint>

#include "game/button.h"
#include "game/game_main.h"

// Scenes that the game creates by name (the boot, title and level-select
// scenes are declared with the frame loop).
Scene* NewMorvaneScene();
Scene* NewFirstScene();
// A puzzle scene for a level from 1 to 50 (a number outside is limited to it).
Scene* NewPuzzleScene(int32_t level);
// The break after level 20, or the ending after level 50.
Scene* NewBreakScene(int32_t level);

// The Japanese or the English text, as UseEnglish picks.
const char* PickText(const char* japanese, const char* english);

// SetBlendMode through the game's call table.
void SetSceneBlend(int32_t mode, int32_t parameter);
// Fills (0, 0)-(320, 240) with a MakeColor colour in the current blend mode.
void FillScreen(uint32_t colour);

// The white flash over the whole screen, added with strength flash (0 to 1),
// when flash is above 0.05. Leaves the blend mode additive when it drew;
// true then.
bool DrawFlash(double flash);

// A label box of 304 x 57 centred on x 160 with its top at y: style 0 (a
// translucent second frame), the text not centred, figure 1 at its lower right.
void SetUpMessageBox(Button& box, int32_t y, const char* text);
// A one-line title box centred on (160, centreY), (MeasureText / 16 + 5) x 16
// wide and 17 high: style 0, the text centred, figure 1 at its right end,
// arriving with a bounce (press counter 6).
void SetUpTitleBox(Button& box, int32_t centreY, const char* text);

// Three rings of firework particles (16, 12 and 8, delays 0, 2 and 4) around
// (168, 120): kEffectFireworkSpark, image slot 2. Each draws its age from
// GameRand, also when the effect list is full and it is dropped.
void AddFireworkRings();

inline constexpr int32_t kSoundLevelCleared = 4;
inline constexpr int32_t kSoundPage = 5;
inline constexpr int32_t kSoundClick = 6;
inline constexpr int32_t kSoundHover = 7;
inline constexpr int32_t kSoundSample = 3;
