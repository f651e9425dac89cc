// The text form of tunes: the notation compiles to the exact notes, and
// mistakes are reported with their line.
#include "pxtone_test_util.h"

namespace {

const char* kHead = "tempo 120\ninstrument p pulse\ninstrument k drums\n";

std::vector<pxt::NoteEvent> Notes(const std::string& body, const std::string& extra = "") {
    const pxt::Tune t = pxtest::Compile(kHead + extra + "track a p {" + body + "}\n");
    return t.tracks.empty() ? std::vector<pxt::NoteEvent>() : t.tracks[0].events;
}

std::string ErrorOf(const std::string& text) {
    pxt::Tune t;
    std::string error;
    EXPECT_FALSE(pxt::CompileTuneText(text, &t, &error)) << "compiled: " << text;
    return error;
}

}  // namespace

TEST(TuneText, NotationGivesTicksPitchesAndHeldLengths) {
    // 48 ticks a quarter; gate 7/8 by default.
    const auto n = Notes("o4 l8 c d#16 e-16 q8 f4. r8 > c2 & c4 r2 | [c e g]1 |");
    ASSERT_EQ(8u, n.size());
    EXPECT_EQ(60, n[0].note);  // o4 c is middle C
    EXPECT_EQ(0u, n[0].tick);
    EXPECT_EQ(21, n[0].length);
    EXPECT_EQ(63, n[1].note);
    EXPECT_EQ(24u, n[1].tick);
    EXPECT_EQ(63, n[2].note);  // e flat
    EXPECT_EQ(36u, n[2].tick);
    EXPECT_EQ(65, n[3].note);
    EXPECT_EQ(72, n[3].length);  // dotted quarter, full gate
    EXPECT_EQ(72, n[4].note);  // one octave up after the rest
    EXPECT_EQ(144u, n[4].tick);
    EXPECT_EQ(144, n[4].length);  // tied half and quarter
    for (int i = 5; i < 8; ++i) EXPECT_EQ(384u, n[i].tick);
    EXPECT_EQ((std::vector<int>{72, 76, 79}), (std::vector<int>{n[5].note, n[6].note, n[7].note}));
}

TEST(TuneText, RepeatsMacrosTransposeAndAccents) {
    const auto n = Notes("l4 (c $m)2 K+2 c!  c? r2 |", "define m { d }\n");
    ASSERT_EQ(6u, n.size());
    EXPECT_EQ(62, n[3].note);
    EXPECT_EQ(144u, n[3].tick);
    EXPECT_EQ(62, n[4].note);  // transposed c
    EXPECT_EQ(125, n[4].velocity);
    EXPECT_EQ(60, n[5].velocity);
}

TEST(TuneText, DrumLettersAndLoopBar) {
    const pxt::Tune t = pxtest::Compile(std::string(kHead) + "loop 2\ntrack d k { l8 k h s o t u x m | [k h]1 | }\n");
    const auto& e = t.tracks[0].events;
    ASSERT_EQ(10u, e.size());
    EXPECT_EQ(pxt::kNoteKick, e[0].note);
    EXPECT_EQ(pxt::kNoteShaker, e[7].note);
    EXPECT_EQ(192u, t.loopStart);
    EXPECT_EQ(384u, t.loopEnd);
}

TEST(TuneText, EchoDelayFromANoteLength) {
    const pxt::Tune t = pxtest::Compile(std::string(kHead) + "echo l8. 0.3 0.2\ntrack a p { c1 }\n");
    EXPECT_EQ(375, t.echoDelayMs);  // a dotted eighth at 120 beats a minute
}

TEST(TuneText, MistakesAreReportedWithTheirLine) {
    const std::string h = kHead;  // three lines
    EXPECT_EQ("line 5: bar line 96 ticks into bar 1", ErrorOf(h + "track a p {\n c4 c4 | }\n"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { c1 }\ntrack b p { c1 c1 }\n").find("line 5: track 'b' lasts 2 bars"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a nothing { c1 }\n").find("line 4: no instrument 'nothing'"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { c1 $nope }\n").find("no macro 'nope'"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "define m { $m }\ntrack a p { $m }\n").find("nested too deeply"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { [c e g 1 }\n").find("chord"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { c1 \n").find("'{' without '}'"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { o8 b++1 }\n").find("note out of range"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { c5 }\n").find("not a whole number of ticks"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a k { c1 }\n").find("not a drum"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "track a p { c2 }\n").find("does not end on a bar line"));
    EXPECT_NE(std::string::npos, ErrorOf("tempo 500\n").find("line 1: tempo 500 out of 20..400"));
    EXPECT_NE(std::string::npos, ErrorOf("instrument x pulse ratio=2\n").find("does not apply"));
    EXPECT_NE(std::string::npos, ErrorOf(h + "loop 3\ntrack a p { c1 c1 }\n").find("loop bar"));
    EXPECT_NE(std::string::npos, ErrorOf(h).find("no track"));
}

TEST(TuneText, RepeatCountsCannotBlowUp) {
    // 999^3 notes would be far past the limit of a track: refused, not built.
    EXPECT_NE(std::string::npos,
              ErrorOf(std::string(kHead) + "track a p { (((c64)999)999)999 }\n").find("too many notes"));
}
