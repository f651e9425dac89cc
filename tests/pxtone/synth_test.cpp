// The synthesizer: timing, pitch, loop seams, stopping, volume, voice limits.
#include "pxtone_test_util.h"

#include <cstring>

using pxtest::Compile;
using pxtest::RenderTune;

namespace {

// The frequency of the left channel in [from, from + 4096): the shortest lag
// whose autocorrelation comes within 5% of the best, refined between lags.
double Frequency(const std::vector<float>& s, size_t from) {
    const int window = 4096;
    std::vector<double> r(1200, 0.0);
    double best = 0;
    for (int lag = 10; lag < 1200; ++lag) {
        for (int i = 0; i < window; ++i) r[lag] += double(s[2 * (from + i)]) * s[2 * (from + i + lag)];
        best = std::max(best, r[lag]);
    }
    for (int lag = 11; lag < 1199; ++lag) {
        if (r[lag] >= 0.95 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
            const double d = r[lag - 1] - 2 * r[lag] + r[lag + 1];
            const double shift = d != 0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / d : 0.0;
            return 44100.0 / (lag + shift);
        }
    }
    return 0;
}

std::string OneNote(const std::string& instrument, const std::string& notes) {
    return "tempo 60\ninstrument i " + instrument + "\ntrack t i { " + notes + " }\n";
}

// Plays the tune from its start (fading in over fadeInMs) for the given
// frames into buf (stereo).
void PlayFromStart(pxt::Synth* synth, const pxt::Tune& tune, std::vector<float>* buf, int frames,
                   int fadeInMs = 0) {
    synth->SetTune(std::make_shared<pxt::Tune>(tune));
    synth->Start(0, fadeInMs);
    buf->assign(2 * static_cast<size_t>(frames), 0.0f);
    synth->Render(buf->data(), frames);
}

}  // namespace

TEST(Synth, RendersTheSameFramesEveryTime) {
    const pxt::Tune tune = Compile(pxtest::kBandTune);
    const auto a = RenderTune(tune, 44100 * 3);
    const auto b = RenderTune(tune, 44100 * 3);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(0, std::memcmp(a.data(), b.data(), a.size() * sizeof(float)));
    EXPECT_GT(pxtest::Peak(a.data(), a.size()), 0.05f);
}

TEST(Synth, EveryToneWavePlaysThePitchOfItsNote) {
    // A4 (440 Hz) held for 4 s at 60 beats a minute, measured one second in.
    const char* waves[] = {"pulse duty=0.5 s=1", "triangle s=1", "saw s=1", "sine s=1",
                           "fm ratio=1 index=0.5 s=1", "pluck damp=0"};
    for (const char* w : waves) {
        const auto s = RenderTune(Compile(OneNote(w, "o4 a1")), 44100 * 2);
        EXPECT_NEAR(Frequency(s, 44100), 440, 1.5) << w;
    }
    // Low and high notes of a plucked string keep their pitch (fractional delay).
    const auto low = RenderTune(Compile(OneNote("pluck damp=0", "o2 a1")), 44100 * 2);
    EXPECT_NEAR(Frequency(low, 44100), 110, 0.5);
    const auto high = RenderTune(Compile(OneNote("sine s=1", "o7 a1")), 44100 * 2);
    EXPECT_NEAR(Frequency(high, 44100), 3520, 15);
}

TEST(Synth, NotesStartOnTheFrameOfTheirTick) {
    // Tick 48 at 60 beats a minute is exactly one second.
    const pxt::Tune tune = Compile(OneNote("pulse a=0", "r4 c4 r2"));
    const auto s = RenderTune(tune, 44100 + 100);
    EXPECT_EQ(0.0f, pxtest::Peak(s.data(), 2 * 44100));
    EXPECT_GT(std::fabs(s[2 * 44100 + 20]), 0.0f);
    EXPECT_EQ(44100, pxt::FrameOfTick(tune, 48, 44100));
}

TEST(Synth, LoopRepeatsSampleExactWithoutAJumpAtTheSeam) {
    // Long releases and echo carry sound across the loop point.
    std::string text = pxtest::kBandTune;
    text = "echo l8. 0.4 0.3\nreverb 0.7 0.4 0.4\n" + text;
    const pxt::Tune tune = Compile(text);
    pxt::Synth probe(44100);
    probe.SetTune(std::make_shared<pxt::Tune>(tune));
    const size_t start = probe.LoopStartFrame(), end = probe.LoopEndFrame(), len = end - start;
    ASSERT_EQ(size_t(pxt::FrameOfTick(tune, tune.loopEnd, 44100)), end);

    const auto s = RenderTune(tune, static_cast<int>(end + 2 * len));
    // Passes two and three are the same frames, once the first pass's tails
    // (which began from silence) have died out.
    float diff = 0;
    for (size_t i = 2 * (end + 44100); i < 2 * (end + len); ++i) diff = std::max(diff, std::fabs(s[i] - s[i + 2 * len]));
    EXPECT_LT(diff, 1e-3f);
    // What rings on over the seam moves across it no more than around it:
    // with the drums the steps around are large, so also a quiet tune whose
    // chords and echoes ring across the seam and would show any cut.
    const pxtest::SeamSteps band = pxtest::MeasureSeam(std::make_shared<pxt::Tune>(tune));
    EXPECT_LE(band.atSeam, band.around + 1e-4f);
    const pxt::Tune calm = Compile(R"(
tempo 120
echo 300 0.5 0.4
reverb 0.8 0.3 0.5
instrument pad saw cutoff=1200 a=50 s=0.8 r=1500
instrument bell fm ratio=3.5 index=2 d=2000 s=0 r=1000
track a pad reverb=0.5 echo=0.5 { o4 q8 [c e g]1 | [f a > c]1 | }
track b bell echo=0.5 { o5 r2 g2 | r2 > c2 | }
)");
    const pxtest::SeamSteps seam = pxtest::MeasureSeam(std::make_shared<pxt::Tune>(calm));
    EXPECT_GT(seam.around, 0.0f);
    EXPECT_LE(seam.atSeam, seam.around + 1e-4f);
}

TEST(Synth, PositionWrapsIntoTheLoop) {
    const pxt::Tune tune = Compile(pxtest::kBandTune);
    pxt::Synth synth(44100);
    synth.SetTune(std::make_shared<pxt::Tune>(tune));
    const int64_t start = synth.LoopStartFrame(), end = synth.LoopEndFrame();
    ASSERT_TRUE(synth.Start(end + 1000, 0));
    EXPECT_EQ(start + 1000, synth.Position());
    std::vector<float> buf(2 * 4096);
    ASSERT_TRUE(synth.Start(end - 100, 0));
    synth.Render(buf.data(), 300);
    EXPECT_EQ(start + 200, synth.Position());
}

TEST(Synth, StopFadesOutWithinMillisecondsAndReleasesVoices) {
    const pxt::Tune tune = Compile(pxtest::kBandTune);  // dry: nothing rings on
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 22050);
    ASSERT_GT(synth.ActiveVoices(), 0);
    const float before = buf[2 * 22049];
    const float usualStep = pxtest::MaxStep(buf, 0, 22050);
    synth.Stop();
    EXPECT_FALSE(synth.IsPlaying());
    synth.Render(buf.data(), 441);  // 10 ms
    EXPECT_LE(std::fabs(buf[0] - before), usualStep);  // no jump at the stop
    EXPECT_EQ(0, synth.ActiveVoices());
    synth.Render(buf.data(), 100);
    EXPECT_EQ(0.0f, pxtest::Peak(buf.data(), 200));
}

TEST(Synth, VolumeScalesTheOutputLinearly) {
    const pxt::Tune tune = Compile(pxtest::kBandTune);
    const auto full = RenderTune(tune, 44100, 1.0f);
    const auto half = RenderTune(tune, 44100, 0.5f);
    const auto over = RenderTune(tune, 44100, 7.0f);
    const auto none = RenderTune(tune, 44100, 0.0f);
    for (size_t i = 0; i < full.size(); i += 97) {
        ASSERT_NEAR(half[i], full[i] * 0.5f, 1e-6f);
        ASSERT_EQ(over[i], full[i]);
        ASSERT_EQ(none[i], 0.0f);
    }
}

TEST(Synth, VolumeChangeWhilePlayingGlides) {
    const pxt::Tune tune = Compile(OneNote("sine s=1", "o4 a1"));
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 4410);
    synth.SetVolume(0.0f);
    synth.Render(buf.data(), 4410);
    // A 440 Hz sine at full level moves at most about 0.044 a frame; the
    // glide adds little to that.
    EXPECT_LT(pxtest::MaxStep(buf, 0, 4410), 0.05f);
    EXPECT_EQ(0.0f, pxtest::Peak(buf.data() + 2 * 882, 2 * (4410 - 882)));
}

TEST(Synth, FadeInRisesFromSilence) {
    const pxt::Tune tune = Compile(OneNote("sine s=1 a=0", "o4 a1"));
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 44100, 1000);
    EXPECT_LT(pxtest::Peak(buf.data(), 2 * 4410), 0.1f * pxtest::Peak(buf.data() + 2 * 39690, 2 * 4410) + 1e-6f);
    EXPECT_GT(pxtest::Peak(buf.data() + 2 * 39690, 2 * 4410), 0.2f);
}

TEST(Synth, RestartingWithAFadeLetsTheOldNotesFadeOut) {
    const pxt::Tune tune = Compile(OneNote("sine s=1 a=0", "o4 a1"));
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 4410);
    const float natural = pxtest::MaxStep(buf, 100, 4410);
    const float last[2] = {buf[2 * 4409], buf[2 * 4409 + 1]};
    synth.Start(0, 500);
    synth.Render(buf.data(), 4410);
    EXPECT_LE(std::fabs(buf[0] - last[0]), natural * 1.05f);
    EXPECT_LE(pxtest::MaxStep(buf, 1, 4410), natural * 1.05f);
    EXPECT_LT(pxtest::Peak(buf.data() + 2 * 1000, 2 * 100), 0.15f);  // the new start is still quiet
}

TEST(Synth, MoreNotesThanVoicesTakeOverTheQuietest) {
    // Eighty notes at once on a long release: the pool of voices stays full
    // and the sound stays finite.
    std::string chord = "o1 [";
    for (int i = 0; i < 6; ++i) chord += "c c# d d# e f f# g g# a a# b >";
    chord += "]1";
    const pxt::Tune tune = Compile(OneNote("saw r=5000", chord));
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 2048);
    EXPECT_EQ(64, synth.ActiveVoices());
    for (float v : buf) ASSERT_TRUE(std::isfinite(v));
}

// A tune read from a file: one sine instrument, tracks whose notes all
// start at tick 0 of a loop of loopEnd ticks.
pxt::Tune StackedNotes(int tracks, int notesPerTrack, uint32_t loopEnd) {
    pxt::Tune t;
    t.bpm = 400;
    t.ticksPerBeat = 960;
    t.loopEnd = loopEnd;
    t.instruments.resize(1);
    t.instruments[0].wave = pxt::Wave::Sine;
    t.tracks.resize(static_cast<size_t>(tracks));
    for (pxt::Track& tr : t.tracks) tr.events.assign(static_cast<size_t>(notesPerTrack), pxt::NoteEvent{0, 1, 60, 127});
    return t;
}

TEST(Synth, OfMoreNotesOnOneFrameThanVoicesOnlyTheFirstStart) {
    // 64 silent notes (a track at volume 0), then 64 loud ones on the same
    // frame: the voices go to the first 64, the loud notes are passed over.
    pxt::Tune tune = StackedNotes(2, 64, 960);
    tune.tracks[0].volume = 0;
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, tune, &buf, 2048);
    EXPECT_EQ(64, synth.ActiveVoices());
    EXPECT_EQ(0.0f, pxtest::Peak(buf.data(), buf.size()));
    // The same loud notes alone sound.
    pxt::Synth loud(44100);
    PlayFromStart(&loud, StackedNotes(1, 64, 960), &buf, 2048);
    EXPECT_GT(pxtest::Peak(buf.data(), buf.size()), 0.1f);
}

TEST(Synth, AFileStackingThousandsOfNotesOnAOneTickLoopStartsAtMostTheVoices) {
    // A loop of one tick (7 frames) whose tick holds 16 x 4,000 notes: a
    // valid file of half a megabyte. Every pass of the loop starts no more
    // notes than there are voices, and the rest are passed over at once.
    const pxt::Tune stacked = StackedNotes(16, 4000, 1);
    const std::vector<uint8_t> file = pxt::SerializeTune(stacked);
    pxt::Tune read;
    std::string error;
    ASSERT_TRUE(pxt::ParseTune(file.data(), file.size(), &read, &error)) << error;
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, read, &buf, 4410);
    EXPECT_EQ(64, synth.ActiveVoices());
    EXPECT_LT(synth.Position(), synth.LoopEndFrame());
    for (float v : buf) ASSERT_TRUE(std::isfinite(v));
}

TEST(Synth, ReplacingTheTuneStopsTheOldOne) {
    pxt::Synth synth(44100);
    std::vector<float> buf;
    PlayFromStart(&synth, Compile(pxtest::kBandTune), &buf, 2048);
    synth.SetTune(nullptr);
    EXPECT_FALSE(synth.IsPlaying());
    EXPECT_FALSE(synth.Start(0, 0));
    synth.Render(buf.data(), 2048);
    EXPECT_EQ(0, synth.ActiveVoices());
}
