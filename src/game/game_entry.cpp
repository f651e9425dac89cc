// The process entry: the settings window, then the game.
#include "game/game_main.h"
#include "game/settings_window.h"

#include "core/library.h"
#include "platform/d3d9/d3d9.h"
#include "platform/user32/user32.h"

#include <cstdio>

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const int result = RunSettingsWindow(instance);
    if (result != 0) return result;
    // The main window, made next, is the one a device presents into: where a
    // device will be tried it carries an OpenGL drawable from the start.
    d3d9::PrepareDevice();
    return RunGame(NewBootScene());
}

namespace {

int SayAlreadyRunning() {
    std::fprintf(stderr, "velumi: the game is already running; only one copy can run at a time.\n");
    return 1;
}

}  // namespace

const char* GameWindowTitle(uint8_t english) {
    return english == 1 ? "Velumi Puzzle Ver.1.000" : "ベルミパズル Ver.1.000";
}

int RefuseSecondCopy() {
    // A copy still at its settings window counts as running.
    if (FindWindowA(kSettingsClassName, nullptr) != nullptr) return SayAlreadyRunning();
    // The main window's class is its title, which follows the language the
    // running copy chose: either one counts.
    for (uint8_t english : {uint8_t{0}, uint8_t{1}})
        if (FindRunningCopy(GameWindowTitle(english)) == 1) return SayAlreadyRunning();
    return 0;
}

int ProgramExitStatus(int winMainResult) {
    if (winMainResult == 0 || AnotherCopyIsRunning() == 0) return winMainResult;
    return SayAlreadyRunning();
}
