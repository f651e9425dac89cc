// The game's music exit step (stop, release, end the library) runs among
// the process's exit handlers, after the game library has ended its sound
// and after the audio output's own state may be gone. Run in a fresh
// process, so that the handlers are registered in the game's order.
#include "platform/pxtone/pxtone.h"

#include "platform/sdl/sdl_audio.h"
#include "pxtone_test_util.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

std::string g_tunePath;

// The game's music exit step; any failure makes the exit code non-zero.
void GameMusicExitStep() {
    const bool ok = pxtone_Tune_Stop() >= 0 && pxtone_Tune_Release() && pxtone_Release();
    std::remove(g_tunePath.c_str());
    if (!ok) _exit(3);
}

void RunGameLifetime() {
    // Registered at static initialisation in the game, before anything else.
    std::atexit(GameMusicExitStep);
    // The game library starts its sound: the audio output opens.
    sdl::SetManualAudioOutput(true);
    if (sdl::OpenAudioOutput() != 0) _exit(4);
    g_tunePath = std::filesystem::temp_directory_path() / ("pxtone_exit_" + std::to_string(::getpid()) + ".ptcop");
    const std::vector<uint8_t> bytes = pxt::SerializeTune(pxtest::Compile(pxtest::kBandTune));
    std::ofstream(g_tunePath, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    // LoadResources and PlayMusic.
    if (!pxtone_Ready(nullptr, 2, 44100, 16, 0.1f, TRUE, nullptr)) _exit(5);
    if (!pxtone_Tune_Load(nullptr, nullptr, g_tunePath.c_str()) || !pxtone_Tune_SetVolume(0.5f) ||
        !pxtone_Tune_Start(0, 0))
        _exit(6);
    std::vector<int16_t> buf(2 * 1024);
    sdl::RenderAudioOutput(buf.data(), 1024);
    // EndLibrary closes the library's sound; then the process ends.
    sdl::CloseAudioOutput();
    std::exit(0);
}

}  // namespace

TEST(PxtoneExit, MusicExitStepAfterTheLibraryEndedExitsCleanly) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(RunGameLifetime(), ::testing::ExitedWithCode(0), "");
}
