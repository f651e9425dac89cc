// The process entry: the settings window, then the game.
#include "game/game_main.h"
#include "game/settings_window.h"

int WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const int result = RunSettingsWindow(instance);
    if (result != 0) return result;
    return RunGame(NewBootScene());
}
