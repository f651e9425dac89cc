#include "game/scenes/scene_common.h"

#include <cmath>

#include "game/board/game_rand.h"
#include "game/effects.h"
#include "game/library_calls.h"
#include "game/resources.h"
#include "graphics/graphics.h"

const char* PickText(const char* japanese, const char* english) { return UseEnglish == 1 ? english : japanese; }

void SetSceneBlend(int32_t mode, int32_t parameter) { GameCalls().setBlendMode(mode, parameter); }

void FillScreen(uint32_t colour) { GameCalls().drawRectangle(0, 0, 320, 240, colour, 1); }

void DrawFlash(double flash) {
    if (!(flash > 0.05)) return;
    SetSceneBlend(2, static_cast<int32_t>(flash * 255.0));
    FillScreen(MakeColor(255, 255, 255));
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
            p.kind = 11;
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
