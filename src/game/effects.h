// Effect particles: short-lived decorations (bloom flashes, puffs, fireworks)
// in one global list that the puzzle and break scenes fill, update once per
// frame and draw additively. The list outlives scene switches.
//
// Kinds, each update (before moving) and when the particle has finished:
//   1  kEffectBloomFlash     alpha x 0.6; at age 6 alpha = 1.0                   finished at age 30
//   2  kEffectTwoFrames      nothing                                             finished at age 2
//   10 kEffectBloomPuff      frameX = (age / 2) % 4; speed x 0.7; alpha - 0.05   finished at alpha <= 0
//   11 kEffectFireworkSpark  frameX = (age / 3) % 4; speed x 0.93; alpha - 0.01  finished at alpha <= 0
//   any other kind: nothing, never finished
// A particle with a delay waits that many updates, neither moving nor drawn.
#pragma once

#include <cstdint>
#include <vector>

// The kinds above, named for what they show; the numbers stay as they are, since callers compare them.
enum EffectKind : int32_t {
    kEffectBloomFlash = 1,      // the 24x24 flash over a blooming stone
    kEffectTwoFrames = 2,       // shown unchanged for two updates
    kEffectBloomPuff = 10,      // the puffs a bloom throws out: quick to slow down and fade
    kEffectFireworkSpark = 11,  // the sparks of a cleared level's rings: slow to slow down and fade
};

struct EffectParticle {
    int32_t kind = 0;            // an EffectKind; any other number is kept and never finishes
    int32_t age = 0;             // updates since the particle started moving
    int32_t delay = 0;           // updates to wait before starting
    double x = 0.0, y = 0.0;     // logical-screen position (drawn 8 pixels further left)
    double vx = 0.0, vy = 0.0;   // pixels per frame
    int32_t image = -1;          // image handle (the scenes use image slot 2)
    int32_t srcX = 0, srcY = 0;  // the first animation cell
    int32_t width = 0, height = 0;
    int32_t frameX = 0, frameY = 0;  // the cell drawn is (srcX + frameX x width, srcY + frameY x height)
    double alpha = 0.0;              // strength of the additive blend, 0.0 to 1.0
};

// The particles in the order they were added.
extern std::vector<EffectParticle> g_effects;

// The most particles the list holds: AddEffect refuses more.
inline constexpr int32_t kMaxEffects = 128;

// Appends a particle; false (nothing added) when the list is full.
bool AddEffect(const EffectParticle& particle);
// Destroys every particle.
void ClearEffects();
// One update of a particle; 1 when it has finished (it has still moved).
uint8_t UpdateEffect(EffectParticle& particle);
// Updates the list and removes the finished particles.
void UpdateEffects();
// Draws one particle (not while it waits): additive blend with alpha x 255,
// its cell centred on (x - 8, y). Leaves the blend mode additive.
void DrawEffect(const EffectParticle& particle);
// DrawEffect for every particle in list order.
void DrawEffects();
