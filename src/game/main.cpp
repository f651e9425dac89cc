// The program: the run-time's entry hands over to WinMain.
//
// For unattended runs: VELUMI_AUTO_RUN=1 presses the settings window's Run
// button by itself (VELUMI_AUTO_RUN=quit its Quit button); VELUMI_FRAMES=N
// ends the game after N frames; VELUMI_CAPTURE_FRAME and VELUMI_CAPTURE_FILE
// capture a frame to PNG (the graphics library reads them);
// VELUMI_FIRST_FRAME_FD=N writes a byte to descriptor N once the first frame
// is presented (the start-up bench).
#include "game/game_main.h"
#include "game/save_files.h"
#include "game/settings_window.h"
#include "game/start_report.h"
#include "platform/dsound/dsound.h"
#include "platform/kernel32/kernel32.h"
#include "platform/user32/user32.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <cstring>

namespace {

constexpr int kProgramIcon = 101;

// The program's icon resource is the icon picture among the data files.
void RegisterProgramIcon() {
    const std::string path = platform::PathToNative((ExeDirectory + "data\\icon.png").c_str());
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) platform::RegisterIconFile(kProgramIcon, path);
}

}  // namespace

int main() {
    std::string reason;
    if (!platform::StartWindowSystem(&reason)) {
        std::fprintf(stderr, "velumi: no window system: %s\n", reason.c_str());
        std::fprintf(stderr, "velumi: the game needs a graphical session (an X11 or Wayland desktop) to show its windows.\n");
        return 1;
    }
    // A second copy ends here, before it opens a window or asks for sound.
    if (const int refused = RefuseSecondCopy(); refused != 0) return refused;
    // The sound device is asked for while the settings window is up; the
    // library's sound start then finds the answer.
    dsound::PrepareOutput();
    RegisterProgramIcon();
    if (const char* descriptor = std::getenv("VELUMI_FIRST_FRAME_FD")) ReportFirstFrameTo(descriptor);
    if (const char* frames = std::getenv("VELUMI_FRAMES")) SetFrameLimit(std::atoi(frames));
    if (const char* autoRun = std::getenv("VELUMI_AUTO_RUN"))
        SetSettingsWindowAutoPress(std::strcmp(autoRun, "quit") == 0 ? kSettingsQuitId : kSettingsRunId);
    char commandLine[] = "";
    return ProgramExitStatus(WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL));
}
