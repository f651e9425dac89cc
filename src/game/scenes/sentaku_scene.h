// The level select: every level the current save slot has unlocked (1 to
// min(L + 1, 50) for a stored level L) is a small numbered icon that flies in
// from below and settles in rings (or, from 38 icons on, in a grid) while it
// wobbles; one little figure per cleared level walks along the bottom,
// jostling its neighbours and jumping now and then. A click on an icon starts
// that level; the back button returns to the title.
#pragma once

#include <cstdint>

#include "game/button.h"
#include "game/game_main.h"
#include "game/wipe.h"

inline constexpr int32_t kWalkerCount = 128;
inline constexpr int32_t kIconCount = 50;

struct LevelSelectWalker {
    uint8_t active = 0;
    int32_t kind = 1;     // 1 to 3, the figure's row in image slot 5
    int32_t counter = 0;  // animation counter
    double x = 0, y = 0;  // the figure's centre
    double vx = 0, vy = 0;
    double fx = 0, fy = 0;  // force of this frame
    int32_t image = -1;
    int32_t mirrored = 0;
    int32_t jumpTimer = 0;  // frames until the next jump
};

struct LevelIcon {
    uint8_t active = 0;
    int32_t cleared = 0;  // 1 for a cleared level, 0 for the newest one
    double x = 0, y = 0;  // relative to the origin
    double wobbleX = 0, wobbleY = 0;
    double targetX = 0, targetY = 0;
    int32_t delay = 0;  // frames to wait before moving
    int32_t image = -1;
    double originX = 0, originY = 0;
    int32_t phase = 0;       // wobble counter
    int32_t hoverCount = 0;  // 0 to 9, frames the pointer has been over the icon
    int32_t hoverFrame = 0;  // (hoverCount + 2) / 3
    int32_t number = 0;      // the level
};

class SentakuScene : public Scene {
public:
    void Start() override;
    void Update() override;
    void Draw() override;

    int32_t sheet = -1;
    int32_t frameCount = 0;
    LevelSelectWalker walkers[kWalkerCount];
    LevelIcon icons[kIconCount];
    WipeState wipe;
    Button back;
    int32_t chosenLevel = -1;  // the level to start, -1 for the title scene
    const char* const* texts = nullptr;
    VolumeSliders sliders;
};

// Resting positions, relative to the origin (160, 64), of the first count icons.
void LayoutLevelIcons(double* targetX, double* targetY, int32_t count);
void UpdateWalker(LevelSelectWalker& walker);
// One frame of an icon; 1 when it was clicked (the first frame of a left
// press inside it).
uint8_t UpdateLevelIcon(LevelIcon& icon, int32_t pointerX, int32_t pointerY, int32_t leftHeld, double originX,
                        double originY);
void DrawLevelIcon(const LevelIcon& icon);
