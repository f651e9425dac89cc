#include "game/effects.h"

#include "game/game_draw.h"
#include "game/library_calls.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int32_t kBlendAdd = 2;

int32_t Truncate(double v) {
    if (!(v > INT32_MIN && v < INT32_MAX)) return 0;
    return static_cast<int32_t>(v);
}

// The kind's rule; true when the particle has finished.
bool ApplyKindRule(EffectParticle& p) {
    switch (p.kind) {
        case kEffectBloomFlash:
            p.alpha *= 0.6;
            if (p.age == 6) p.alpha = 1.0;
            return p.age >= 30;
        case kEffectTwoFrames:
            return p.age >= 2;
        case kEffectBloomPuff:
            p.frameX = p.age / 2 % 4;
            p.vx *= 0.7;
            p.vy *= 0.7;
            p.alpha -= 0.05;
            return p.alpha <= 0.0;
        case kEffectFireworkSpark:
            p.frameX = p.age / 3 % 4;
            p.vx *= 0.93;
            p.vy *= 0.93;
            p.alpha -= 0.01;
            return p.alpha <= 0.0;
        default:
            return false;
    }
}

}  // namespace

bool AddEffect(const EffectParticle& particle) {
    if (static_cast<int32_t>(g_effects.size()) >= kMaxEffects) return false;
    g_effects.push_back(particle);
    return true;
}

void ClearEffects() { g_effects.clear(); }

uint8_t UpdateEffect(EffectParticle& p) {
    if (p.delay != 0) {
        if (p.delay > 0) --p.delay;
        return 0;
    }
    const bool finished = ApplyKindRule(p);
    p.x += p.vx;
    p.y += p.vy;
    if (p.age < INT32_MAX) ++p.age;
    return finished ? 1 : 0;
}

void UpdateEffects() {
    std::erase_if(g_effects, [](EffectParticle& p) { return UpdateEffect(p) != 0; });
}

void DrawEffect(const EffectParticle& p) {
    if (p.delay != 0) return;
    GameCalls().setBlendMode(kBlendAdd, Truncate(p.alpha * 255.0));
    const int32_t left = Truncate((p.x - 8.0) - (p.width / 2));
    const int32_t top = Truncate(p.y - (p.height / 2));
    DrawImageCell(left, top, p.srcX + p.frameX * p.width, p.srcY + p.frameY * p.height, p.width, p.height,
                  p.image);
}

void DrawEffects() {
    for (const EffectParticle& p : g_effects) DrawEffect(p);
}
