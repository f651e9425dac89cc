// The three short scenes from start-up to the title: BootScene loads the save
// files and hands over at once; MorvaneScene shows the maker's logo on white,
// fading in from black and out to white; FirstScene shows a notice ("USE A
// MOUSE.", "SAVING IS AUTOMATIC.") with the maker's line and a NEXT button,
// fading in from white and out to black. None of them has a background or
// music.
#pragma once

#include <cstdint>

#include "game/button.h"
#include "game/game_main.h"

class BootScene : public Scene {
public:
    void Start() override;
    void Update() override;
    void Draw() override { EmptySlot(); }
};

class MorvaneScene : public Scene {
public:
    void Start() override;
    void Update() override;
    void Draw() override;

    int32_t frameCount = 0;
    int32_t alpha = 255;       // opacity of the full-screen overlay
    uint8_t leaving = 0;       // 1 once the fade-out has begun
    uint8_t overlayBlack = 1;  // 1 while the overlay is black, 0 once it is white
};

class FirstScene : public Scene {
public:
    void Start() override;
    void Update() override;
    void Draw() override;

    int32_t frameCount = 0;
    int32_t alpha = 255;
    uint8_t leaving = 0;
    Button next;
    uint8_t overlayWhite = 1;  // 1 while the overlay is white, 0 once it is black
};

// The notice's texts in the current language.
const char* FirstSceneLine(int32_t line);  // line 0 or 1
// The maker's line under the notice, the same in both languages.
inline constexpr const char* kMakerLine = "(C) MORVANE";
