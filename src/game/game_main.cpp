#include "game/game_main.h"

#include "core/library.h"
#include "game/library_calls.h"
#include "game/resources.h"
#include "game/save_files.h"
#include "graphics/graphics.h"

namespace {

constexpr int32_t kEscapeKey = 1;  // DirectInput key code
constexpr int32_t kProgramIcon = 101;

int32_t g_frameLimit = 0;
int32_t g_framesRun = 0;

// The end of a frame: the scene stored during Update replaces the current one.
void SwitchScene() {
    SceneManager& m = g_sceneManager;
    if (m.next == nullptr) return;
    if (m.next == m.current) {  // a scene cannot replace itself
        m.next = nullptr;
        return;
    }
    m.current->End();
    delete m.current;
    m.current = m.next;
    m.next = nullptr;
    m.current->Start();
}

}  // namespace

void RunFrameLoop() {
    const GameLibraryCalls& calls = GameCalls();
    g_framesRun = 0;
    if (g_sceneManager.current == nullptr || calls.pumpMessages() != 0) return;
    for (;;) {
        if (calls.isKeyDown(kEscapeKey) != 0) break;
        if (g_sceneManager.quit != 0) break;
        if (g_frameLimit > 0 && g_framesRun >= g_frameLimit) break;
        ClearPlayedSoundEffects();
        g_sceneManager.current->Update();
        calls.clearDrawTarget(nullptr);
        g_sceneManager.current->Draw();
        calls.presentScreen();
        SwitchScene();
        WriteChangedSaves();
        ++g_framesRun;
        if (calls.pumpMessages() != 0) break;
    }
}

void SetNextScene(Scene* scene) {
    SceneManager& m = g_sceneManager;
    if (m.next != nullptr && m.next != scene && m.next != m.current) delete m.next;
    m.next = scene;
}

void SetFrameLimit(int32_t frames) { g_frameLimit = frames > 0 ? frames : 0; }

int32_t GetFramesRun() { return g_framesRun; }

void ConfigureLibrary() {
    UseEnglish = g_config.language == 1 ? 1 : 0;
    switch (g_config.display) {
        case kDisplayWindow640:
            ScreenDoubled = 1;
            ScreenWindowed = 1;
            break;
        case kDisplayFullScreen640:
            ScreenDoubled = 1;
            ScreenWindowed = 0;
            break;
        case kDisplayWindow320:
            ScreenDoubled = 0;
            ScreenWindowed = 1;
            break;
        default:
            break;  // as the flags stand
    }
    if (ScreenDoubled == 1) {
        SetScreenMode(640, 480, 32, 60);
        SetEmulate320x240(1);
    } else {
        SetScreenMode(320, 240, 32, 60);
    }
    SetWindowIcon(kProgramIcon);
    if (ScreenWindowed == 1) ChangeWindowMode(1);
    SetWindowTitle(GameWindowTitle(UseEnglish));
}

int RunGame(Scene* firstScene) {
    g_sceneManager.current = firstScene;
    EnableLogOutput(0);
    ConfigureLibrary();
    if (InitLibrary() == -1) return -1;
    ShowMouseCursor(0);
    SetFilterMode(0);
    SetDrawTarget(kDrawTargetBack);
    SetTransparentColor(255, 0, 255);
    LoadConfig();
    LoadResources();
    SetSoundEffectVolume(g_config.effectVolume);
    SetMusicVolume(g_config.musicVolume);
    if (g_sceneManager.current != nullptr) {
        g_sceneManager.current->Start();
        RunFrameLoop();
        g_sceneManager.current->End();
    }
    EndLibrary();
    g_config.effectVolume = g_soundEffects.volume;
    g_config.musicVolume = g_music.volume;
    SaveConfig();
    return 0;
}
