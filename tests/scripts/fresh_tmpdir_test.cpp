// scripts/in-fresh-tmpdir, which scripts/test runs the tests under: the
// command gets a temporary directory of its own, and anything it leaves there
// fails the run, by name. Every test makes its temporary files there.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../temp_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(FreshTmpdir, WhatACommandLeavesFailsTheRunByName) {
    const test_temp::Folder outer("velumi-fresh-tmpdir");
    ASSERT_FALSE(outer.Path().empty());
    const std::string base = outer.Path() + "/base", err = outer.Path() + "/err.txt";
    ASSERT_TRUE(fs::create_directory(base));
    const struct Case {
        const char* what;
        const char* command;  // run by sh -c
        int status;
        const char* named;  // on standard error; "": nothing said
    } cases[] = {
        {"leaves nothing, in a folder of its own", "test \"$TMPDIR\" != \"$BASE\" && touch \"$TMPDIR/f\" && rm \"$TMPDIR/f\"",
         0, ""},
        {"succeeds, leaving a folder", "mkdir \"$TMPDIR/work-x\" && touch \"$TMPDIR/work-x/Log.txt\"", 1,
         "work-x/Log.txt"},
        {"fails, leaving a file", "touch \"$TMPDIR/stray\"; exit 3", 3, "stray"},
        {"fails, leaving nothing", "exit 4", 4, ""},
    };
    for (const Case& c : cases) {
        const std::string command = "TMPDIR=" + base + " BASE=" + base + " " TEST_SOURCE_DIR
                                    "/scripts/in-fresh-tmpdir sh -c '" + c.command + "' >/dev/null 2>" + err;
        const int status = std::system(command.c_str());
        std::stringstream said;
        said << std::ifstream(err).rdbuf();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.what << ": " << said.str();
        if (c.named[0] == '\0') EXPECT_EQ(said.str(), "") << c.what;
        else EXPECT_NE(said.str().find(c.named), std::string::npos) << c.what << ": " << said.str();
        EXPECT_TRUE(fs::is_empty(base)) << c.what << ": the run's own folder was left";
    }
}

// A fixed folder would escape the run's check: no test source names one.
TEST(FreshTmpdir, NoTestWritesToAFixedTemporaryDirectory) {
    const std::string fixed = std::string(1, '"') + "/" + "tmp";
    int files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(TEST_SOURCE_DIR "/tests")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h") continue;
        ++files;
        std::stringstream text;
        text << std::ifstream(entry.path()).rdbuf();
        EXPECT_EQ(text.str().find(fixed), std::string::npos)
            << entry.path() << " names a fixed temporary directory: use test_temp::Folder (tests/temp_folder.h)";
    }
    EXPECT_GT(files, 0) << "no test source found under " TEST_SOURCE_DIR "/tests";
}

}  // namespace
