// What input asks of the library and the window system, behind one table so
// that tests can stand in for the window, the clock and the message pump.
#include "input/input_internal.h"

#include "core/library.h"
#include "platform/user32/user32.h"
#include "platform/winmm/winmm.h"

namespace input {
namespace {

const InputHost kLibraryHost = {
    GetMainWindow, IsWindowActive, IsWindowClosing, WaitWhileInactive, PumpMessagesUnlocked,
    WindowsVersionCode, MainThreadId, ExitWithError, timeGetTime, GetKeyboardState, GetKeyState,
};

const InputHost* g_host = &kLibraryHost;

}  // namespace

const InputHost& Host() { return *g_host; }

void SetHostForTest(const InputHost* host) { g_host = host != nullptr ? host : &kLibraryHost; }

}  // namespace input
