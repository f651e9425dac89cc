// The folder tree of an archive: every entry in it reachable by a path that
// fits a path buffer, or the archive refused at open; and the packer's tool
// listing every member, or failing on archives it cannot read whole.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "archive_test_util.h"
#include "file/archive.h"
#include "platform/kernel32/kernel32.h"

namespace {

using namespace archive_test;

class ArchiveTree : public ArchiveSuite {
protected:
    // Opens the image and checks the log names the reason when it is refused.
    bool OpensElseLogs(const Bytes& image, const char* reason, const char* what) {
        const bool opened = Opens(image);
        if (!opened) {
            EXPECT_NE(NewLog().find(reason), std::string::npos) << what << ": " << NewLog();
        }
        logStart_ = LogText().size();
        return opened;
    }
};

std::vector<std::string> Folders(size_t count, const std::string& name = "a") {
    return std::vector<std::string>(count, name);
}

// The path of Nested(folders, member) inside its archive.
std::string PathOf(const std::vector<std::string>& folders, const std::string& member) {
    std::string path;
    for (const std::string& folder : folders) path += folder + "\\";
    return path + member;
}

TEST_F(ArchiveTree, APathLongerThanAPathBufferIsRefusedAtOpen) {
    std::vector<std::string> oneLonger = Folders(129);
    oneLonger[0] = "aa";
    const struct Case {
        const char* what;
        std::vector<std::string> folders;
        std::string member;
        bool opens;
    } cases[] = {
        {"a member name of 259 bytes", {}, std::string(259, 'n'), true},
        {"a member name of 260 bytes", {}, std::string(260, 'n'), false},
        {"a folder name of 257 bytes and its member", {std::string(257, 'f')}, "m", true},
        {"a folder name of 258 bytes and its member", {std::string(258, 'f')}, "m", false},
        {"129 folders deep: 259 bytes", Folders(129), "m", true},
        {"129 folders deep, one name longer: 260 bytes", oneLonger, "m", false},
        {"130 folders deep", Folders(130), "m", false},
        {"20,000 folders deep", Folders(20000), "m", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OpensElseLogs(Nested(c.folders, c.member).Image(), "a path of 260 bytes or more", c.what), c.opens)
            << c.what;
        Bytes packed;
        std::string error;
        EXPECT_EQ(BuildArchive({{PathOf(c.folders, c.member), Text("x")}}, ArchiveOptions{}, &packed, &error), c.opens)
            << c.what << ": the packer writes only what the reader opens";
    }
}

TEST_F(ArchiveTree, EntriesOutsideTheTreeAndUnknownFlagsAreRefusedAtOpen) {
    auto twoMembers = [](uint32_t secondFlags, uint32_t listed) {
        RawArchive raw;
        raw.AddMember("a", "first");
        raw.AddMember("b", "second", secondFlags);
        raw.dirs[0].childCount = listed;
        return raw;
    };
    // A folder "sub" holding "m", with sub's range moved to start at the root's first entry.
    RawArchive inTwoFolders = Nested({"sub"});
    inTwoFolders.dirs[0].childCount = 2;
    RawArchive unnamedFolder = twoMembers(0, 2);
    unnamedFolder.dirs.push_back(ArchiveDirEntry{kArchiveNoEntry, 0, 0, 0});
    const struct Case {
        const char* what;
        RawArchive raw;
        bool opens;
        const char* logged;
    } cases[] = {
        {"two members, both listed", twoMembers(0, 2), true, ""},
        {"a member no folder lists", twoMembers(0, 1), false, "an entry outside the folder tree"},
        {"a member two folders list", inTwoFolders, false, "an entry outside the folder tree"},
        {"a folder no entry names", unnamedFolder, false, "an entry outside the folder tree"},
        {"a flag bit past the known ones", twoMembers(4, 2), false, "unknown entry flags"},
        {"the top flag bit", twoMembers(0x80000000u, 2), false, "unknown entry flags"},
    };
    for (const Case& c : cases) EXPECT_EQ(OpensElseLogs(c.raw.Image(), c.logged, c.what), c.opens) << c.what;
}

// The tool run on an archive: its exit status, and what it wrote to stdout and stderr.
int RunGla(const std::string& command, const Bytes& image, std::string* output) {
    WriteBytes("tool.gla", image);
    std::filesystem::remove_all("out");
    const std::string line = std::string(TEST_BINARY_DIR "/tools/archive/gla ") + command + " tool.gla" +
                             (command == "extract" ? " out" : "") + " >tool.out 2>&1";
    const int result = std::system(line.c_str());
    std::ifstream in("tool.out", std::ios::binary);
    output->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return WIFEXITED(result) ? WEXITSTATUS(result) : -1;
}

TEST_F(ArchiveTree, TheToolListsEveryMemberOrFailsWithAMessage) {
    RawArchive unlisted = Nested({"sub"});
    unlisted.AddMember("unlisted", "x");
    const std::string deepest = PathOf(Folders(129), "m");
    const struct Case {
        const char* what;
        const char* command;
        Bytes image;
        const char* shown;  // in the output
        int status;
    } cases[] = {
        {"list, the deepest tree that opens", "list", Nested(Folders(129)).Image(), deepest.c_str(), 0},
        {"list, a member name of 260 bytes", "list", Nested({}, std::string(260, 'n')).Image(), "gla: ", 1},
        {"extract, a member name of 255 bytes: the longest a file system holds", "extract",
         Nested({}, std::string(255, 'n')).Image(), "", 0},
        {"extract, a member name of 259 bytes: too long for a file system", "extract",
         Nested({}, std::string(259, 'n')).Image(), "File name too long", 1},
        {"extract, a member name of 260 bytes", "extract", Nested({}, std::string(260, 'n')).Image(), "gla: ", 1},
        {"list, a member no folder lists", "list", unlisted.Image(), "gla: ", 1},
        {"extract, a member no folder lists", "extract", unlisted.Image(), "gla: ", 1},
        {"list, 20,000 folders deep", "list", Nested(Folders(20000)).Image(), "gla: ", 1},
        {"extract, the deepest tree that opens (last: its file is looked for below)", "extract",
         Nested(Folders(129)).Image(), "", 0},
    };
    for (const Case& c : cases) {
        std::string output;
        EXPECT_EQ(RunGla(c.command, c.image, &output), c.status) << c.what << ": " << output;
        EXPECT_NE(output.find(c.shown), std::string::npos) << c.what << ": " << output;
        // A failed extract leaves no file behind, whole, partial or temporary.
        if (c.status != 0 && std::filesystem::exists("out")) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator("out")) {
                EXPECT_FALSE(entry.is_regular_file()) << c.what << ": left " << entry.path();
            }
        }
    }
    EXPECT_TRUE(std::filesystem::exists("out/" + platform::PathToNative(deepest.c_str()))) << "the last extract";
}

}  // namespace
