// The sound suites run in folders of their own in the temporary directory
// and leave none behind: run two of their tests in a child process whose
// temporary directory is fresh, and look at what is left there.
#include <gtest/gtest.h>
#include "../temp_folder.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

TEST(SuiteFolders, SoundSuitesLeaveNothingInTheTemporaryDirectory) {
    const char* const tests[] = {"WaveTest.APlainFileGivesItsFormatAndData", "SoundStartUp.StartsOnceAndEndsOnce",
                                  "SoundStartUp.ARefusedStreamBufferEndsTheProgramWithoutADeadlock"};
    const test_temp::Folder folder("velumi-suite-folders");
    ASSERT_FALSE(folder.Path().empty());
    const fs::path temporary = folder.Path();
    for (const char* test : tests) {
        const std::string command = "TMPDIR=" + temporary.string() + " " + fs::read_symlink("/proc/self/exe").string() +
                                    " --gtest_filter=" + test + " >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << test;
        EXPECT_TRUE(fs::is_empty(temporary)) << test << " left " << fs::directory_iterator(temporary)->path();
    }
}

}  // namespace
