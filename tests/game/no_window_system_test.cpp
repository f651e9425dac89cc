// The program started where there is no window system to show it: it says
// why and ends with a failure status instead of running unseen.
#include <gtest/gtest.h>
#include "../temp_folder.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(NoWindowSystem, TheProgramSaysWhyAndFails) {
    struct Case {
        const char* what;
        const char* display;  // null: none set
    };
    const Case cases[] = {
        {"no display set", nullptr},
        {"a display nobody serves", ":4711"},
    };
    const test_temp::Folder folder("velumi-no-window-system");
    ASSERT_FALSE(folder.Path().empty());
    const fs::path dir = folder.Path();
    const std::string err = (dir / "stderr.txt").string();
    for (const Case& c : cases) {
        // No driver named, no X11 or Wayland display to find; a guard
        // against the program waiting for ever unseen.
        std::string command = "env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR=" + dir.string() +
                              " SDL_AUDIODRIVER=dummy"
                              " LSAN_OPTIONS=suppressions=" TEST_SOURCE_DIR "/tests/platform/lsan_suppressions.txt";
        if (c.display != nullptr) command += std::string(" DISPLAY=") + c.display;
        command += " timeout 60 " TEST_BINARY_DIR "/velumi </dev/null >/dev/null 2>" + err;
        const int status = std::system(command.c_str());
        std::stringstream text;
        text << std::ifstream(err).rdbuf();
        ASSERT_TRUE(WIFEXITED(status)) << c.what;
        EXPECT_EQ(WEXITSTATUS(status), 1) << c.what << ": " << text.str();
        EXPECT_NE(text.str().find("x11 not available"), std::string::npos) << c.what << ": " << text.str();
        EXPECT_NE(text.str().find("needs a graphical session"), std::string::npos) << c.what << ": " << text.str();
    }
}

}  // namespace
