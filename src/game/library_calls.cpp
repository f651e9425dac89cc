#include "game/library_calls.h"

#include "core/library.h"
#include "graphics/graphics.h"
#include "input/input.h"
#include "sound/sound.h"

namespace {

constexpr GameLibraryCalls kLibraryCalls = {
    .pumpMessages = PumpMessages,
    .isKeyDown = IsKeyDown,
    .clearDrawTarget = ClearDrawTarget,
    .presentScreen = PresentScreen,
    .drawImageRect = DrawImageRect,
    .drawRectangle = DrawRectangle,
    .setBlendMode = SetBlendMode,
    .getImageSize = GetImageSize,
    .loadImageFile = LoadImageFile,
    .getMousePosition = GetMousePosition,
    .getMouseButtons = GetMouseButtons,
    .getPadState = GetPadState,
    .loadSound = LoadSoundFile,
    .deleteSound = DeleteSound,
    .setSoundVolume = SetSoundVolume,
    .playSoundHandle = PlaySoundHandle,
    .tuneReady = pxtone_Ready,
    .tuneLoad = pxtone_Tune_Load,
    .tuneSetVolume = pxtone_Tune_SetVolume,
    .tuneStart = pxtone_Tune_Start,
    .tuneStop = pxtone_Tune_Stop,
    .tuneRelease = pxtone_Tune_Release,
    .musicRelease = pxtone_Release,
};

// Constant-initialised: usable from every static initialiser and exit step.
constinit GameLibraryCalls g_calls = kLibraryCalls;

}  // namespace

GameLibraryCalls& GameCalls() { return g_calls; }

void ResetGameCalls() { g_calls = kLibraryCalls; }
