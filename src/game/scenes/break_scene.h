// The break after level 20 and the ending after level 50, over the rising
// night background with the tune "awk". After level 20 the author's messages
// come first, one per click of a small button; then (and after level 50 at
// once) the congratulation title with fireworks and a white flash, the
// credits and a back button, which leads to the level select.
#pragma once

#include <cstdint>

#include "game/button.h"
#include "game/game_main.h"
#include "game/wipe.h"

class BreakScene : public Scene {
public:
    explicit BreakScene(int32_t level);
    void Start() override;
    void Update() override;
    void Draw() override;

    // flash = 1, sound effect 4, and three rings of firework particles.
    void BurstFireworks();

    int32_t frameCount = 0;
    WipeState wipe;
    Button title;  // a label: the congratulation title with a figure
    Button back;
    uint8_t showCredits = 0;
    Button messageBox;         // a label: the current message with a figure
    int32_t messageIndex = -1;  // the current message's entry, -1 without messages
    Button nextButton;          // advances the messages
    int32_t level = 0;
    double flash = 0.0;
};

inline constexpr int32_t kBreakTextEntries = 32;
// Entry i of the scene's text table in the current language; "" for an entry
// that is empty or outside the table.
const char* BreakText(int32_t entry);
