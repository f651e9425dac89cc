// The tunes the game asks for by name, as built into the data directory by
// the tunes target (part of the default build).
#include "platform/pxtone/pxtone.h"

#include "platform/sdl/sdl_audio.h"
#include "pxtone_test_util.h"

#include <fstream>
#include <iterator>

namespace {

// The level tunes, the title ("amn_") and the level select ("avs_"); the
// break and ending play "awk".
const char* const kTuneNames[] = {"awk",   "avx", "awe",   "awa",   "awn", "avx__", "ahv___",
                                  "avu",   "agv__", "avv", "avb_",  "avx___", "amn", "awn__",
                                  "alx",   "alo__", "awa__", "avs", "amn_",  "avs_"};

std::string DataPath(const std::string& name) { return std::string(TEST_BINARY_DIR) + "/data/" + name + ".ptcop"; }

bool LoadFile(const std::string& path, pxt::Tune* tune, std::string* error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        *error = "missing (build the 'tunes' target)";
        return false;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return pxt::ParseTune(bytes.data(), bytes.size(), tune, error);
}

}  // namespace

TEST(ShippedTunes, EveryTuneLoadsLoopsLongEnoughAndPlaysCleanlyAcrossTheSeam) {
    for (const char* name : kTuneNames) {
        SCOPED_TRACE(name);
        auto tune = std::make_shared<pxt::Tune>();
        std::string error;
        ASSERT_TRUE(LoadFile(DataPath(name), tune.get(), &error)) << error;
        pxt::Synth synth(44100);
        synth.SetTune(tune);
        const int64_t start = synth.LoopStartFrame(), end = synth.LoopEndFrame();
        EXPECT_GE(end - start, 30 * 44100) << "loop shorter than 30 s";
        EXPECT_GE(tune->tracks.size(), 4u) << "melody, accompaniment, bass and percussion";

        // A few seconds into the loop: audible, not clipping.
        synth.Start(start + 5 * 44100, 0);
        std::vector<float> s(size_t(3 * 44100) * 2);
        synth.Render(s.data(), 3 * 44100);
        const float peak = pxtest::Peak(s.data(), s.size());
        EXPECT_GT(peak, 0.05f) << "silent";
        EXPECT_LT(peak, 1.0f) << "clips";
        const pxtest::SeamSteps seam = pxtest::MeasureSeam(tune);
        EXPECT_LE(seam.atSeam, seam.around + 1e-4f) << "jump at the loop seam";
    }
}

TEST(ShippedTunes, PlayMusicOfEveryNameThroughTheLibrary) {
    ASSERT_EQ(0, sdl::SetManualAudioOutput(true));
    ASSERT_TRUE(pxtone_Ready(nullptr, 2, 44100, 16, 0.1f, TRUE, nullptr));
    std::vector<int16_t> buf(2 * 2048);
    for (const char* name : kTuneNames) {
        ASSERT_TRUE(pxtone_Tune_Load(nullptr, nullptr, DataPath(name).c_str())) << name << ": " << pxtone_GetLastError();
        ASSERT_TRUE(pxtone_Tune_SetVolume(0.41666666f));
        ASSERT_TRUE(pxtone_Tune_Start(0, 0));
        ASSERT_EQ(0, sdl::RenderAudioOutput(buf.data(), 2048));
        pxtone_Tune_Stop();
        ASSERT_TRUE(pxtone_Tune_Release());
    }
    EXPECT_TRUE(pxtone_Release());
    sdl::SetManualAudioOutput(false);
}
