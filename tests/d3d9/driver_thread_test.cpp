// The OpenGL driver's own thread for its share of each call: asked for where
// the user chose nothing, without a line on standard error that the player
// did not cause; a user's own choice stands, with the driver's words on it.
#include "d3d9_test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

using namespace d3d9test;

namespace {

// Run only by the test below, in a program of its own: with a device made,
// prints how many of the process's threads are the driver's call thread
// (named "<program>:gl<n>").
TEST_F(D3D9Device, DISABLED_PrintsTheDriverThreads) {
    ASSERT_NE(device_, nullptr);
    const std::regex callThread(":gl[0-9]+$");
    int threads = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (std::regex_search(name, callThread)) ++threads;
    }
    std::printf("driver-threads=%d\n", threads);
}

TEST(DriverThread, IsAskedForWithoutALineThePlayerDidNotCause) {
    struct Case {
        const char* what;
        const char* environment;  // what the user set; the rest is taken out
        int threads;
        bool driverLine;  // the driver says an option came from the environment
    };
    const Case cases[] = {
        {"nothing set", "", 1, false},
        {"the user turned it off", "mesa_glthread=false", 0, true},
    };
    for (const Case& c : cases) {
        int exitCode = -1;
        const std::string output = RunOwnTest(std::string("-u mesa_glthread -u MESA_DEBUG ") + c.environment,
                                              "D3D9Device.DISABLED_PrintsTheDriverThreads", &exitCode);
        if (output.find("[  SKIPPED ]") != std::string::npos) GTEST_SKIP() << output;
        EXPECT_EQ(exitCode, 0) << c.what << "\n" << output;
        EXPECT_NE(output.find("driver-threads=" + std::to_string(c.threads) + "\n"), std::string::npos)
            << c.what << "\n" << output;
        EXPECT_EQ(output.find("overridden by environment") != std::string::npos, c.driverLine)
            << c.what << "\n" << output;
    }
}

}  // namespace
