#include "game/scenes/scene_common.h"

#include <cmath>

#include "game/bitmap_font.h"
#include "game/board/game_rand.h"
#include "game/effects.h"
#include "game/library_calls.h"
#include "game/resources.h"
#include "graphics/graphics.h"

const char* PickText(const char* japanese, const char* english) { return UseEnglish == 1 ? english : japanese; }

void SetSceneBlend(int32_t mode, int32_t parameter) { GameCalls().setBlendMode(mode, parameter); }

void FillScreen(uint32_t colour) { GameCalls().drawRectangle(0, 0, 320, 240, colour, 1); }

bool DrawFlash(double flash) {
    if (!(flash > 0.05)) return false;
    SetSceneBlend(2, static_cast<int32_t>(flash * 255.0));
    FillScreen(MakeColor(255, 255, 255));
    return true;
}

namespace {

// A label with figure 1 on it (style 0, tile (0, 0), not lit by the pointer).
void SetUpLabel(Button& box, int32_t x, int32_t y, int32_t width, int32_t height, const char* text,
                uint8_t labelCentred, double figureDx, double figureDy) {
    box = Button{};
    box.shown = 1;
    box.style = 0;
    box.x = x;
    box.y = y;
    box.width = width;
    box.height = height;
    SetButtonLabel(box, text);
    box.labelCentred = labelCentred;
    box.visible = 1;
    box.figure = 1;
    box.figureDx = figureDx;
    box.figureDy = figureDy;
    box.figureCounter = 0;
}

}  // namespace

void SetUpMessageBox(Button& box, int32_t y, const char* text) {
    SetUpLabel(box, 160 - 304 / 2, y, 304, 57, text, 0, 272.0, 50.0);
}

void SetUpTitleBox(Button& box, int32_t centreY, const char* text) {
    const int32_t width = (MeasureText(text) / 16 + 5) * 16;
    SetUpLabel(box, 160 - width / 2, centreY - 17 / 2, width, 17, text, 1, width - 8, 10.0);
    box.pressCounter = 6;
}

void AddFireworkRings() {
    struct Ring {
        int32_t count;
        double step, speed;
        int32_t delay;
    };
    static constexpr Ring kRings[3] = {
        {16, 0.39269908169875, 11.0, 0},
        {12, 0.5235987755983333, 8.0, 2},
        {8, 0.7853981633975, 5.0, 4},
    };
    for (const Ring& ring : kRings) {
        for (int32_t i = 0; i < ring.count; ++i) {
            EffectParticle p;
            p.kind = kEffectFireworkSpark;
            p.age = GameRand() % 100;
            p.delay = ring.delay;
            p.x = 168.0;
            p.y = 120.0;
            p.vx = std::cos(i * ring.step) * ring.speed;
            p.vy = std::sin(i * ring.step) * ring.speed;
            p.image = ImageHandle(kImageEffect);
            p.srcX = 0;
            p.srcY = 24;
            p.width = 12;
            p.height = 12;
            p.alpha = 1.0;
            AddEffect(p);  // a full list drops the rest silently
        }
    }
}
