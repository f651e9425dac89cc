// Effect particles: each kind's life, delays, movement, the list's removal
// and cap, and where and how strongly a particle is drawn.
#include "game_test_util.h"

namespace game_test {
namespace {

class EffectsTest : public GameTest {
protected:
    static EffectParticle Particle(int32_t kind) {
        EffectParticle p;
        p.kind = kind;
        p.alpha = 1.0;
        p.vx = 1.0;
        p.vy = -2.0;
        p.image = kImageEffect;
        p.width = p.height = 12;
        return p;
    }
    // The number of the update that finishes the particle (0: none of the first 1000).
    static int UpdatesToFinish(EffectParticle p) {
        for (int n = 1; n <= 1000; ++n)
            if (UpdateEffect(p)) return n;
        return 0;
    }
};

TEST_F(EffectsTest, EachKindFinishesByItsOwnRule) {
    EXPECT_EQ((std::vector<int>{UpdatesToFinish(Particle(1)), UpdatesToFinish(Particle(2)),
                                UpdatesToFinish(Particle(10)), UpdatesToFinish(Particle(11)),
                                UpdatesToFinish(Particle(3))}),
              (std::vector<int>{31, 3, 20, 100, 0}));
    EffectParticle flash = Particle(1);
    std::vector<double> alphas;
    for (int n = 0; n < 7; ++n) alphas.push_back((UpdateEffect(flash), flash.alpha));
    EXPECT_NEAR(alphas[2], 0.216, 1e-12);
    EXPECT_EQ(alphas[6], 1.0) << "flares at age 6";
}

TEST_F(EffectsTest, SparksSlowDownStepThroughFourCellsAndMoveAfterwards) {
    EffectParticle p = Particle(10);
    std::vector<int32_t> frames;
    for (int n = 0; n < 9; ++n) frames.push_back((UpdateEffect(p), p.frameX));
    EXPECT_EQ(frames, (std::vector<int32_t>{0, 0, 1, 1, 2, 2, 3, 3, 0}));
    EffectParticle q = Particle(11);
    UpdateEffect(q);
    UpdateEffect(q);
    EXPECT_NEAR(q.x, 0.93 + 0.93 * 0.93, 1e-12);
}

TEST_F(EffectsTest, ADelayedParticleWaitsMotionlessAndUnseen) {
    EffectParticle p = Particle(2);
    p.delay = 5;
    for (int n = 0; n < 5; ++n) {
        DrawEffect(p);
        EXPECT_EQ(UpdateEffect(p), 0);
    }
    EXPECT_TRUE(TheWorld().calls.empty());
    EXPECT_EQ(std::make_pair(p.age, p.x), std::make_pair(0, 0.0));
    UpdateEffect(p);
    EXPECT_EQ(p.x, 1.0);
}

TEST_F(EffectsTest, FinishedParticlesLeaveTheListWhichHoldsAtMost128) {
    AddEffect(Particle(2));
    g_effects[0].age = 2;
    for (int n = 0; n < 127; ++n) ASSERT_TRUE(AddEffect(Particle(3)));
    EXPECT_FALSE(AddEffect(Particle(3)));
    UpdateEffects();
    EXPECT_EQ(g_effects.size(), 127u);
    EXPECT_EQ(g_effects[0].y, -2.0);
}

TEST_F(EffectsTest, AParticleIsDrawnAdditivelyCentredEightPixelsLeft) {
    FakeImage(kImageEffect, 48, 36);
    EffectParticle p = Particle(11);
    p.alpha = 0.5;
    p.x = 100.7;
    p.y = 50.2;
    p.srcY = 24;
    p.frameX = 3;
    p.height = 11;
    DrawEffect(p);
    EXPECT_EQ(TheWorld().calls, (Calls{"SetBlendMode(2,127)"}));
    // left = trunc(100.7 - 8 - 6), top = trunc(50.2 - 5)
    EXPECT_EQ(TheWorld().draws, (std::vector<DrawCall>{{86, 45, 36, 24, 12, 11, kImageEffect, 0}}));
}

}  // namespace
}  // namespace game_test
