// scripts/in-fresh-tmpdir, which scripts/test runs the tests under: the
// command gets a temporary directory of its own, and what it leaves there
// fails the run, by name.
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

std::string Read(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

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
        const char* script = "in-fresh-tmpdir";
    } cases[] = {
        {"leaves nothing, in a folder of its own", "test $TMPDIR != $BASE && touch $TMPDIR/f && rm $TMPDIR/f", 0, ""},
        {"succeeds, leaving a folder", "mkdir $TMPDIR/work-x && touch $TMPDIR/work-x/Log.txt", 1, "work-x/Log.txt"},
        {"fails, leaving a file", "touch $TMPDIR/stray; exit 3", 3, "stray"},
        {"a private runtime folder under TMPDIR, removed with what is in it",
         "case $XDG_RUNTIME_DIR in $BASE/*) ;; *) exit 9;; esac; test $(stat -c %a $XDG_RUNTIME_DIR) = 700 && "
         "mkdir $XDG_RUNTIME_DIR/gamelib-windows && exit 4",
         4, "", "in-private-runtime-dir"},
    };
    for (const Case& c : cases) {
        const std::string command = "TMPDIR=" + base + " BASE=" + base + " " TEST_SOURCE_DIR "/scripts/" + c.script +
                                    " sh -c '" + c.command + "' >/dev/null 2>" + err;
        const int status = std::system(command.c_str());
        const std::string said = Read(err);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.status) << c.what << ": " << said;
        EXPECT_TRUE(c.named[0] != '\0' ? said.find(c.named) != std::string::npos : said.empty()) << c.what << ": " << said;
        EXPECT_TRUE(fs::is_empty(base)) << c.what << ": the run's own folder was left";
    }
}

// A fixed folder would escape that check: no test source names one.
TEST(FreshTmpdir, NoTestWritesToAFixedTemporaryDirectory) {
    const std::string fixed = std::string(1, '"') + "/" + "tmp";
    for (const auto& entry : fs::recursive_directory_iterator(TEST_SOURCE_DIR "/tests")) {
        if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
        EXPECT_EQ(Read(entry.path()).find(fixed), std::string::npos) << entry.path() << ": use tests/temp_folder.h";
    }
}

}  // namespace
