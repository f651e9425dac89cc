// The game's global records, set up in this order when the process starts and
// torn down in the reverse order when it exits. Each record whose exit step
// does work is followed by that step (an object whose destructor runs it), so
// that at exit: the saves are written (when they were loaded), the scenes are
// deleted, the effect list is destroyed, the backgrounds are deleted, and the
// music is stopped, released and the music library ended, in that order.
#include "game/background.h"
#include "game/effects.h"
#include "game/game_main.h"
#include "game/polling.h"
#include "game/resources.h"
#include "game/save_files.h"

namespace {

ConfigRecord MakeConfigRecord() {
    ConfigRecord config;
    config.path = ExeDirectory + "save\\config";
    config.saveDir = ExeDirectory + "save";
    return config;
}

struct ExitStep {
    void (*run)();
    ~ExitStep() { run(); }
};

void DeleteScenes() {
    SceneManager& m = g_sceneManager;
    if (m.next == m.current) m.next = nullptr;
    delete m.current;
    delete m.next;
    m.current = nullptr;
    m.next = nullptr;
}

void WriteSavesAtExit() {
    if (g_saveData.loaded == 1) WriteSaves();
}

}  // namespace

uint8_t ScreenDoubled = 1;
uint8_t ScreenWindowed = 1;
uint8_t UseEnglish = 1;
int32_t SettingsWindowResult = 1;

// 1. The executable's directory.
std::string ExeDirectory = ExecutableDirectory();
// 2. The settings paths (the five values stay zero until the first LoadConfig).
ConfigRecord g_config = MakeConfigRecord();
// 3. to 5. Images, sound effects, music.
ImageTable g_imageTable;
SoundEffectTable g_soundEffects;
MusicState g_music;
namespace { ExitStep g_musicExit{RunMusicExitStep}; }
// 6. and 7. Input.
PadTable g_pads;
MouseState g_mouse;
// 8. to 10. Backgrounds, effect particles, scenes.
BackgroundManager g_backgrounds;
namespace { ExitStep g_backgroundsExit{DeleteBackgrounds}; }
std::vector<EffectParticle> g_effects;
namespace { ExitStep g_effectsExit{ClearEffects}; }
SceneManager g_sceneManager;
namespace { ExitStep g_scenesExit{DeleteScenes}; }
// 11. The save slots.
SaveData g_saveData;
namespace { ExitStep g_savesExit{WriteSavesAtExit}; }
