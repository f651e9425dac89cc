// The title scene, the game's main menu: the title and version over the
// falling night background, one button per save slot, a button to delete a
// save and one to quit, and the two volume sliders. Choosing a slot makes it
// the current one: an empty slot starts level 1 of the puzzle, a slot with
// progress opens the level select. In delete mode a slot button empties its
// slot instead.
#pragma once

#include <cstdint>

#include "game/button.h"
#include "game/game_main.h"
#include "game/wipe.h"

class TitleScene : public Scene {
public:
    void Start() override;
    void Update() override;
    void Draw() override;

    // Fills the three text tables for the current language and builds the
    // five buttons from the save slots.
    void BuildButtons();
    // Delete mode on (1) or off (0): the look of the slot and delete buttons,
    // the delete button's label, the quit button's visibility.
    void SetDeleteMode(uint8_t on);

    int32_t frameCount = 0;
    Button slotButtons[3];
    Button deleteButton;
    Button quitButton;
    uint8_t deleteMode = 0;
    WipeState wipe;
    const char* const* buttonTexts = nullptr;
    const char* const* slotTexts = nullptr;
    const char* const* titleTexts = nullptr;
    VolumeSliders sliders;
};

// The label of save slot i (0 to 2) for a stored level, in the current
// language: two blanks, "SLOT", i + 1, a blank and the slot's state.
void FormatSlotLabel(int32_t slot, int32_t level, char* out, int32_t size);
