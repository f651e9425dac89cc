// Helpers shared by the music stand-in's tests: small tunes written in the
// text form, and measurements of rendered frames.
#pragma once

#include "platform/pxtone/synth.h"
#include "platform/pxtone/tune.h"
#include "platform/pxtone/tune_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace pxtest {

inline pxt::Tune Compile(const std::string& text) {
    pxt::Tune t;
    std::string error;
    EXPECT_TRUE(pxt::CompileTuneText(text, &t, &error)) << error;
    return t;
}

// Renders frames stereo frames of a tune played from the start.
inline std::vector<float> RenderTune(const pxt::Tune& tune, int frames, float volume = 1.0f) {
    pxt::Synth synth(44100);
    synth.SetTune(std::make_shared<pxt::Tune>(tune));
    synth.SetVolume(volume);
    synth.Start(0, 0);
    std::vector<float> out(size_t(frames) * 2);
    synth.Render(out.data(), frames);
    return out;
}

inline float Peak(const float* s, size_t values) {
    float p = 0;
    for (size_t i = 0; i < values; ++i) p = std::max(p, std::fabs(s[i]));
    return p;
}

// Largest change between neighbouring frames of one channel in [from, to).
inline float MaxStep(const std::vector<float>& s, size_t from, size_t to) {
    float m = 0;
    for (size_t f = std::max<size_t>(from, 1); f < to; ++f)
        for (int c = 0; c < 2; ++c) m = std::max(m, std::fabs(s[2 * f + c] - s[2 * (f - 1) + c]));
    return m;
}

// The loop seam as the sound that carries over it: before the seam the
// whole output, after it the output less what the loop start plays when
// started afresh. At a clean seam this carried sound (echoes, reverb, notes
// still ringing) moves across the seam no more than it does just before and
// just after; a voice cut off or an effect reset shows as a jump.
struct SeamSteps {
    float atSeam = 0;  // largest step across the seam (either channel)
    float around = 0;  // largest step in the 256 frames on either side
};
inline SeamSteps MeasureSeam(std::shared_ptr<const pxt::Tune> tune) {
    const int before = 44100, after = 22050;
    pxt::Synth seam(44100), fresh(44100);
    seam.SetTune(tune);
    fresh.SetTune(tune);
    const int64_t start = seam.LoopStartFrame(), end = seam.LoopEndFrame();
    seam.Start(std::max<int64_t>(start, end - before), 0);
    const int lead = static_cast<int>(end - std::max<int64_t>(start, end - before));
    std::vector<float> a(size_t(lead + after) * 2), b(size_t(after) * 2);
    seam.Render(a.data(), lead + after);
    fresh.Start(start, 0);
    fresh.Render(b.data(), after);
    for (size_t i = 0; i < b.size(); ++i) a[size_t(lead) * 2 + i] -= b[i];
    SeamSteps r;
    for (int c = 0; c < 2; ++c) {
        auto at = [&](int f) { return a[size_t(f) * 2 + c]; };
        r.atSeam = std::max(r.atSeam, std::fabs(at(lead) - at(lead - 1)));
        for (int f = std::max(1, lead - 256); f < lead + 256; ++f)
            if (f != lead) r.around = std::max(r.around, std::fabs(at(f) - at(f - 1)));
    }
    return r;
}

// A dry tune (no echo, no reverb) with every kind of voice, eight bars at
// 120 beats a minute (16 s), looping from bar 2.
inline const char* kBandTune = R"(
tempo 120
loop 2
instrument lead pulse duty=0.25 a=5 d=200 s=0.6 r=150 vib=10,5,100
instrument pad saw cutoff=1500 res=0.3 fenv=0.4 a=100 d=400 s=0.7 r=400 unison=10
instrument bass triangle r=60
instrument bell fm ratio=3.5 index=3 d=900 s=0 r=500
instrument harp pluck bright=0.7 damp=0.2
instrument kit drums
track lead lead pan=-0.2 { o5 l8 (c d e g a g e d)8 }
track pad pad { ([c e g]1)8 }
track bass bass { o2 (c4 g4 c4 g4)8 }
track bell bell pan=0.5 { o6 (c2 g2)8 }
track harp harp { o4 l16 (c e g > c < g e c e)16 }
track kit kit { l8 (k h s h k k s o)4 (t u x m k s h h)4 }
)";

}  // namespace pxtest
