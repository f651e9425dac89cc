// The game's start, as a player sees it: from exec to the first presented
// frame, the settings window included (its Run button pressed by itself),
// then the library's start on the main window, the resources and the first
// frame, on each drawing path. Also the settings window alone (exec to the
// end after its Quit button). Each repetition starts the real executable once;
// the time is wall-clock time (what the player waits), so the statistics to
// read are min and median.
//
// Headless: SDL_VIDEODRIVER=offscreen unless one is set (under xvfb-run set
// SDL_VIDEODRIVER=x11). VELUMI_BENCH_GAME=path times another build of the
// game (an earlier one, for figures before a change). SDL_AUDIODRIVER is taken out of the environment: the
// game asks for the sound device as on a player's machine, and a machine
// without one runs the game silent.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

constexpr int kReportDescriptor = 100;  // the descriptor the child writes its mark to
constexpr int kTimeoutMs = 20000;

double Seconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

enum class Run { kSoftware, kDevice, kSettingsOnly };

// A directory of the bench's own with a copy of the game and its data beside
// it, so that the runs' settings and saves stay out of the build's.
std::string RunDirectory() {
    static const std::string directory = [] {
        fs::path dir = fs::path(VELUMI_BENCH_BUILD_DIR) / "bench" / "startup-run";
        fs::create_directories(dir);
        const char* game = std::getenv("VELUMI_BENCH_GAME");
        // Copied beside and renamed over: a copy still running elsewhere keeps its file.
        fs::copy_file(game != nullptr ? game : VELUMI_BENCH_EXE, dir / "velumi.new",
                      fs::copy_options::overwrite_existing);
        fs::rename(dir / "velumi.new", dir / "velumi");
        std::error_code error;
        fs::remove(dir / "data", error);
        fs::create_directory_symlink(fs::path(VELUMI_BENCH_BUILD_DIR) / "data", dir / "data");
        return dir.string();
    }();
    return directory;
}

bool Overridden(const char* entry) {
    static const char* kNames[] = {"SDL_AUDIODRIVER=", "VELUMI_NO_HARDWARE=", "VELUMI_HARDWARE=", "VELUMI_AUTO_RUN=",
                                   "VELUMI_FRAMES=", "VELUMI_FIRST_FRAME_FD="};
    for (const char* name : kNames)
        if (std::strncmp(entry, name, std::strlen(name)) == 0) return true;
    return false;
}

std::vector<std::string> ChildEnvironment(Run run) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (!Overridden(*e)) env.emplace_back(*e);
    if (std::getenv("SDL_VIDEODRIVER") == nullptr) env.emplace_back("SDL_VIDEODRIVER=offscreen");
    env.emplace_back(run == Run::kSettingsOnly ? "VELUMI_AUTO_RUN=quit" : "VELUMI_AUTO_RUN=1");
    env.emplace_back("VELUMI_FRAMES=1");
    env.emplace_back("VELUMI_FIRST_FRAME_FD=" + std::to_string(kReportDescriptor));
    if (run == Run::kSoftware) env.emplace_back("VELUMI_NO_HARDWARE=1");
    // The device also where the only OpenGL is a software rasteriser.
    if (run == Run::kDevice) env.emplace_back("VELUMI_HARDWARE=1");
    return env;
}

// Starts the game with the write end of a pipe as kReportDescriptor and its
// output to a file; the child's id, or -1.
pid_t Spawn(Run run, int writeEnd) {
    std::vector<std::string> env = ChildEnvironment(run);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string exe = RunDirectory() + "/velumi";
    const std::string output = RunDirectory() + "/output.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, kReportDescriptor);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
    pid_t child = -1;
    if (posix_spawn(&child, exe.c_str(), &actions, nullptr, argv, envp.data()) != 0) child = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Waits for the child's mark, or for its end when it makes none; true when
// the mark came.
bool WaitForMark(int readEnd) {
    pollfd p{readEnd, POLLIN, 0};
    if (poll(&p, 1, kTimeoutMs) != 1) return false;
    char mark = 0;
    return read(readEnd, &mark, 1) == 1 && mark == 'F';
}

// One start: the seconds to the mark (or to the end for the settings window
// alone); negative when the run failed.
double TimeOneStart(Run run) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return -1;
    const double start = Seconds();
    const pid_t child = Spawn(run, ends[1]);
    close(ends[1]);
    const bool marked = child > 0 && run != Run::kSettingsOnly && WaitForMark(ends[0]);
    const double markTime = Seconds();
    int status = 0;
    if (child > 0) waitpid(child, &status, 0);
    const double endTime = Seconds();
    close(ends[0]);
    // The settings window alone makes no frame: its Quit ends the run with 1.
    const bool settingsOnly = run == Run::kSettingsOnly;
    const bool ok = child > 0 && (marked || settingsOnly) && WIFEXITED(status) &&
                    WEXITSTATUS(status) == (settingsOnly ? 1 : 0);
    if (!ok) return -1;
    return (settingsOnly ? endTime : markTime) - start;
}

void StartToFirstFrame(benchmark::State& state, Run run) {
    for (auto _ : state) {
        const double seconds = TimeOneStart(run);
        if (seconds < 0) {
            state.SkipWithError("the game did not start (see bench/startup-run/output.txt)");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }

void Configure(benchmark::internal::Benchmark* b) {
    b->UseManualTime()->Iterations(1)->Repetitions(12)->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Min);
}

BENCHMARK_CAPTURE(StartToFirstFrame, software, Run::kSoftware)->Apply(Configure);
BENCHMARK_CAPTURE(StartToFirstFrame, device, Run::kDevice)->Apply(Configure);
BENCHMARK_CAPTURE(StartToFirstFrame, settings_window_only, Run::kSettingsOnly)->Apply(Configure);

}  // namespace

BENCHMARK_MAIN();
