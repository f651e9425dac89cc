// The play target, all that scripts/play builds before a first game: the game
// and each kind of data it reads, and nothing only the tests need.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(PlayTarget, BuildsTheGameAndItsDataAndNoTestProgram) {
    std::string commands;  // every command that builds the target from nothing
    if (std::FILE* pipe = popen("'" MAKE_PROGRAM "' -C '" TEST_BINARY_DIR "' -t commands play", "r")) {
        for (int c; (c = std::fgetc(pipe)) != EOF;) commands += static_cast<char>(c);
        pclose(pipe);
    }
    const struct Case {
        const char* what;
        const char* command;  // a part of one of the commands
        bool built;
    } cases[] = {
        {"the game", "-o velumi ", true},         {"the pictures", "make_images ", true},
        {"the font sheet", "font_sheet ", true},   {"the sound effects", "make_sounds ", true},
        {"the tunes", "tunec ", true},             {"the levels", "level_compiler ", true},
        {"a test program", "-o test_", false},    {"the level solutions", "level_solutions.txt", false},
    };
    for (const Case& c : cases) EXPECT_EQ(commands.find(c.command) != std::string::npos, c.built) << c.what;
}
