// The game's skeleton: the entry point, RunGame (library configuration,
// start-up, the frame loop, shutdown), the scene interface and the
// SceneManager through which scenes hand over, and the global display and
// language flags.
//
// Frame loop, each frame: Escape or the quit flag ends it; the sound effects'
// played-this-frame flags are cleared; Update of the current scene;
// ClearDrawTarget; Draw; PresentScreen; when an Update stored a next scene:
// End of the current one, delete it, Start of the next; changed save slots are
// written; PumpMessages (a non-zero result ends the loop).
#pragma once

#include "platform/wintypes.h"

#include <cstdint>

// The one empty body the game shares: the End of every scene and background,
// and BootScene's Draw, do nothing by calling it.
inline void EmptySlot() {}

// A scene: what runs in the frame loop. Start is called once when the scene
// becomes current, End once when it stops being current (before it is
// deleted), Update and Draw once per frame, Update first. A scene hands over
// by storing a new scene with SetNextScene (or in g_sceneManager.next) during
// its Update; it ends the game by setting g_sceneManager.quit to 1.
class Scene {
public:
    virtual void Start() = 0;
    virtual void End() { EmptySlot(); }  // no scene releases anything here
    virtual void Update() = 0;
    virtual void Draw() = 0;
    // Scenes are deleted through this interface: members a scene owns are
    // released with it.
    virtual ~Scene() = default;
};

struct SceneManager {
    Scene* current = nullptr;  // owned
    Scene* next = nullptr;     // owned; replaces current at the end of the frame
    uint8_t quit = 0;          // 1 ends the game at the start of the next frame
};
extern SceneManager g_sceneManager;

// Stores the scene to switch to at the end of this frame; a scene stored
// earlier in the same frame is deleted (the last one stored wins).
void SetNextScene(Scene* scene);

// ---- global flags ----------------------------------------------------------------
extern uint8_t ScreenDoubled;          // 1: 640x480 screen showing the 320x240 picture doubled
extern uint8_t ScreenWindowed;         // 1: the game runs in a window
extern uint8_t UseEnglish;             // 1: English texts, 0: Japanese
extern int32_t SettingsWindowResult;   // 1 at start-up, 0 once the settings window's Run was pressed

// ---- entry and main function ---------------------------------------------------------
// The settings window, then (only after Run) the game from a BootScene; the
// result is the process exit code: the settings window's 1 or -1, else RunGame's.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
// The program's exit status for WinMain's result: a start refused because the
// game is already running says so on standard error and gives 1 (the game's
// log is off); any other result is kept.
int ProgramExitStatus(int winMainResult);
// Before any window of its own: when a copy of the game already runs (its
// settings window, or its main window in either language), says so on
// standard error and gives the exit status 1, leaving that copy's window as it
// is; else 0. The library's own check at start-up still catches a copy that
// starts in between.
int RefuseSecondCopy();
// The main window's title, which also names its class: English (1) or Japanese.
const char* GameWindowTitle(uint8_t english);
// Takes ownership of the first scene; 0 after a normal end, -1 when the
// library could not start.
int RunGame(Scene* firstScene);
// The frame loop of RunGame on g_sceneManager.current (which must be set and
// started): returns when Escape is down, the quit flag is set, the frame limit
// is reached or PumpMessages returns non-zero.
void RunFrameLoop();
// Steps 3 to 8 of RunGame: the language and screen flags from g_config, and
// the library's screen mode, icon, window mode and title set from them.
void ConfigureLibrary();
// Ends the frame loop after that many frames (0: no limit); for tests and
// unattended runs (the environment variable VELUMI_FRAMES).
void SetFrameLimit(int32_t frames);
// Frames the last RunGame ran.
int32_t GetFramesRun();

// ---- scenes the game creates by name ----------------------------------------------
// The first scene (loads the saves, then leads to the maker's logo).
Scene* NewBootScene();
Scene* NewSentakuScene();
Scene* NewTitleScene();
