// Backgrounds: the animated full-screen pictures the title, level-select,
// puzzle and break scenes draw first. A background is a Haikei object; the
// scenes install one by storing it as the next background, and the swap at
// the top of their Update starts it.
#pragma once

#include <cstdint>

#include "game/game_main.h"

class Haikei {
public:
    virtual void Start() = 0;  // once, when the background becomes current
    virtual void End() { EmptySlot(); }  // before it is deleted; empty in every background
    virtual void Update() = 0;
    virtual void Draw() = 0;
    // The code the puzzle board reads for background-dependent cells.
    virtual int32_t GetCode() = 0;
    virtual ~Haikei() = default;
};

struct BackgroundManager {
    Haikei* current = nullptr;  // owned
    Haikei* next = nullptr;     // owned; installed by the next swap
};
extern BackgroundManager g_backgrounds;

// Stores the background the next swap installs; null stores nothing (the
// current one stays). A background stored before and not yet installed is
// deleted.
void SetNextBackground(Haikei* background);
// The swap at the top of a scene's Update: Update of the current background;
// then, when a next one is set: End and delete the current one, make the next
// one current and Start it.
void SwapBackground();
// Deletes both backgrounds (the exit step; no background operation is called).
void DeleteBackgrounds();
