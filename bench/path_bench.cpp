// A whole frame of the puzzle scene (update, draw, present) on the Direct3D 9
// device beside the same frame on the software renderer: CPU time per frame.
// Both run headless on SDL's offscreen driver; the vertical-blank wait is off.
#include "core/library.h"
#include "game/game_main.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "game/scenes/break_scene.h"
#include "game/scenes/puzzle_scene.h"
#include "graphics/graphics.h"
#include "platform/d3d9/d3d9.h"
#include "platform/seams/seams.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Starts the game's library on the path, with the game's data beside the
// build (VELUMI_DATA points elsewhere); false when the path is not had.
bool StartGame(bool device) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (device) {
        unsetenv("VELUMI_NO_HARDWARE");
        setenv("VELUMI_HARDWARE", "1", 1);  // the device also where OpenGL is a software rasteriser
    } else {
        setenv("VELUMI_NO_HARDWARE", "1", 1);
    }
    d3d9::RecheckHardware();
    seams::SetNoWait(true);
    const char* data = std::getenv("VELUMI_DATA");
    ExeDirectory = data != nullptr ? std::string(data) + "/" : std::string(VELUMI_BENCH_DATA_DIR) + "/";
    ConfigureLibrary();
    if (InitLibrary() == -1) return false;
    SetFilterMode(0);
    SetDrawTarget(kDrawTargetBack);
    SetTransparentColor(255, 0, 255);
    LoadResources();
    return IsDirect3DActive() == (device ? 1 : 0);
}

double ThreadCpuUs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// One frame of the scene (made for the level) after its first 60 frames;
// main_thread_us is the CPU time of the thread that runs the game (the
// process's time includes the drivers' threads).
template <typename SceneType>
void SceneFrame(benchmark::State& state, bool device, int level) {
    if (!StartGame(device)) {
        EndLibrary();
        state.SkipWithError(device ? "no device here" : "the library did not start");
        return;
    }
    SceneType scene(level);
    scene.Start();
    for (int i = 0; i < 60; ++i) {  // past the wipe, the fireworks under way
        scene.Update();
        scene.Draw();
        PresentScreen();
    }
    const double before = ThreadCpuUs();
    for (auto _ : state) {
        scene.Update();
        scene.Draw();
        PresentScreen();
    }
    state.counters["main_thread_us"] = benchmark::Counter(ThreadCpuUs() - before, benchmark::Counter::kAvgIterations);
    scene.End();
    EndLibrary();
}

void PuzzleFrame(benchmark::State& state, bool device, int level) { SceneFrame<PuzzleScene>(state, device, level); }
// The ending after level 50: the fireworks.
void FireworksFrame(benchmark::State& state, bool device) { SceneFrame<BreakScene>(state, device, 50); }

BENCHMARK_CAPTURE(PuzzleFrame, software/level1, false, 1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(PuzzleFrame, device/level1, true, 1)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(PuzzleFrame, software/level5, false, 5)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(PuzzleFrame, device/level5, true, 5)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FireworksFrame, software, false)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();
BENCHMARK_CAPTURE(FireworksFrame, device, true)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

}  // namespace

BENCHMARK_MAIN();
