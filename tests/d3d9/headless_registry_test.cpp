// The private window-registry directory of the headless set-up goes with the
// test program, so that runs leave nothing in /tmp.
#include "d3d9_test_support.h"

#include "platform/user32/user32.h"

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace d3d9test;

namespace {

// Run only by the test below, in a program of its own: prints the directory it
// made and whether it held it; with VELUMI_LEAVE_WINDOW a window stays open, so
// that its entry is still in the directory at the end.
TEST(HeadlessRegistry, DISABLED_PrintsItsDirectory) {
    PrepareHeadless();
    if (std::getenv("VELUMI_LEAVE_WINDOW") != nullptr) MakeWindow(8, 8);
    const std::string& dir = HeadlessRegistryDirectory();
    std::printf("registry=%s exists=%d\n", dir.c_str(), std::filesystem::is_directory(dir) ? 1 : 0);
}

TEST(HeadlessRegistry, DirectoryIsRemovedWhenTheProgramEnds) {
    struct Case {
        const char* what;
        const char* environment;
    };
    const Case cases[] = {
        {"no window", ""},
        {"a window left open", "VELUMI_LEAVE_WINDOW=1"},
    };
    const std::string temporary = std::filesystem::canonical(std::filesystem::temp_directory_path()).string();
    for (const Case& c : cases) {
        int exitCode = -1;
        const std::string output = RunOwnTest(c.environment, "HeadlessRegistry.DISABLED_PrintsItsDirectory", &exitCode);
        EXPECT_EQ(exitCode, 0) << c.what << "\n" << output;
        size_t at = output.find("registry=");
        ASSERT_NE(at, std::string::npos) << c.what << "\n" << output;
        size_t end = output.find(' ', at);
        std::string dir = output.substr(at + 9, end - at - 9);
        EXPECT_EQ(dir.rfind(temporary + "/d3d9-windows-", 0), 0u) << c.what << ": " << dir;
        EXPECT_NE(output.find("exists=1", at), std::string::npos) << c.what << "\n" << output;
        EXPECT_FALSE(std::filesystem::exists(dir)) << c.what << ": " << dir;
    }
}

}  // namespace
