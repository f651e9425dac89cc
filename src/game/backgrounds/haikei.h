// The five background classes and the factory that turns a level's
// background code into one of them.
//
//   Haikei0  sprites falling slowly over a ground strip (three colour sets)
//   Haikei1  sprites drifting down, or rising, between two ground strips
//   Haikei2  sprites flying leftwards between a far and a near strip
//   Haikei3  a tiled wall scrolling to the left
//   Haikei4  a blinking grid over a diagonally scrolling checkerboard
//
// Each draws the whole 320x240 screen from one picture of its own (image
// slots 100 to 104). Sprite positions come from the game's shared GameRand,
// so two runs that show the same backgrounds in the same order look alike.
// The fields are public: they are the backgrounds' whole state.
#pragma once

#include "game/background.h"

#include <cstdint>

inline constexpr int32_t kHaikeiSprites = 32;
inline constexpr int32_t kScreenWidth = 320;
inline constexpr int32_t kScreenHeight = 240;

class Haikei0 : public Haikei {
public:
    // variant 0 to 2 (colour set, sprite row, ground strip); scroll 1 moves the ground.
    Haikei0(int32_t variant, int32_t group, int32_t scroll);
    void Start() override;
    void Update() override;
    void Draw() override;
    int32_t GetCode() override { return 8 * group; }

    double x[kHaikeiSprites] = {};
    double y[kHaikeiSprites] = {};
    int32_t layer[kHaikeiSprites] = {};  // 0 near and fast, 1 far and slow
    int32_t counter[kHaikeiSprites] = {};
    uint32_t skyColour = 0;
    int32_t variant = 0;
    int32_t group = 0;
    int32_t scroll = 0;
    int32_t frameCount = 0;
};

class Haikei1 : public Haikei {
public:
    // rising 0: sprites fall and are animated; 1: they rise and show a still shape.
    Haikei1(int32_t group, int32_t rising);
    void Start() override;
    void Update() override;
    void Draw() override;
    int32_t GetCode() override { return 8 * group; }

    double x[kHaikeiSprites] = {};
    double y[kHaikeiSprites] = {};
    int32_t layer[kHaikeiSprites] = {};
    int32_t shape[kHaikeiSprites] = {};  // 0 to 2, the still image of a rising sprite
    int32_t counter[kHaikeiSprites] = {};
    uint32_t skyColour = 0;
    int32_t group = 0;
    int32_t rising = 0;
};

class Haikei2 : public Haikei {
public:
    // variant 0 to 2 (sky colour, sprite and strip row); scroll 1 moves the near strip.
    Haikei2(int32_t group, int32_t variant, int32_t scroll);
    void Start() override;
    void Update() override;
    void Draw() override;
    int32_t GetCode() override { return 8 * group + 2; }

    double x[kHaikeiSprites] = {};
    double y[kHaikeiSprites] = {};
    double dx[kHaikeiSprites] = {};  // negative: pixels per frame to the left
    double dy[kHaikeiSprites] = {};
    int32_t counter[kHaikeiSprites] = {};
    uint32_t skyColour = 0;
    int32_t frameCount = 0;
    int32_t group = 0;
    int32_t variant = 0;
    int32_t scroll = 0;
};

// What Haikei3 and Haikei4 share: a fill colour and a frame counter that
// drives the whole picture.
class HaikeiPattern : public Haikei {
public:
    explicit HaikeiPattern(int32_t group_) : group(group_) {}
    void Update() override { ++frameCount; }
    int32_t GetCode() override { return 8 * group + 4; }

    uint32_t colour = 0;
    int32_t frameCount = 0;
    int32_t group = 0;
};

class Haikei3 : public HaikeiPattern {
public:
    using HaikeiPattern::HaikeiPattern;
    void Start() override;
    void Draw() override;
};

class Haikei4 : public HaikeiPattern {
public:
    using HaikeiPattern::HaikeiPattern;
    void Start() override;
    void Draw() override;
};

// A new, not yet started background for a level's background code (0, 1, 2,
// 3, 4, 10, 11, 12, 14, 20, 22, 30, 32, 40, 42 or 52); null for any other code.
Haikei* CreateBackground(int32_t code);

// ---- drawing helpers shared by the backgrounds --------------------------------------
// Fills the whole screen with a colour.
void FillBackground(uint32_t colour);
// The w x h rectangle at (sx, sy) of a background picture (slot 100 + index)
// at (x, y), transparent.
void DrawBackgroundCell(int32_t index, int32_t x, int32_t y, int32_t sx, int32_t sy, int32_t w, int32_t h);
