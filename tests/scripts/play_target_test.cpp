// The play target, all that scripts/play builds before a first game: the game
// and every kind of data it reads, without the test programs or the data only
// the tests read.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// The commands that build the target from nothing, as the build tool lists them.
std::string CommandsOf(const char* target) {
    const std::string command = "'" MAKE_PROGRAM "' -C '" TEST_BINARY_DIR "' -t commands " + std::string(target);
    std::string text;
    if (std::FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

TEST(PlayTarget, BuildsTheGameAndItsDataAndNoTestProgram) {
    const std::string commands = CommandsOf("play");
    ASSERT_NE(commands, "") << "the build tool listed nothing for the play target";
    const struct Case {
        const char* what;
        const char* command;  // a part of one of the commands
        bool built;
    } cases[] = {
        {"the game", "-o velumi ", true},
        {"the pictures", "make_images ", true},
        {"the font sheet", "font_sheet ", true},
        {"the sound effects", "make_sounds ", true},
        {"the tunes", "tunec ", true},
        {"the levels", "level_compiler ", true},
        {"a test program", "-o test_", false},
        {"the level solutions the tests replay", "level_solutions.txt", false},
    };
    for (const Case& c : cases) EXPECT_EQ(commands.find(c.command) != std::string::npos, c.built) << c.what;
}

}  // namespace
