// scripts/install-deps run against stand-in system commands: who may
// install, what it says when it cannot, and what reaches apt-get.
#include <gtest/gtest.h>
#include "../temp_folder.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

class InstallDepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test_temp::MakeFolder("velumi-install-deps");
        ASSERT_FALSE(dir_.empty());
        fs::create_directory(dir_ / "bin");
        for (const char* tool : {"bash", "env", "grep"}) Link(tool);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Link(const char* tool) {
        for (const char* where : {"/usr/bin/", "/bin/"}) {
            const fs::path real = fs::path(where) / tool;
            if (fs::exists(real)) {
                fs::create_symlink(real, dir_ / "bin" / tool);
                return;
            }
        }
        FAIL() << "no " << tool;
    }
    void Stub(const char* name, const std::string& body) {
        const fs::path path = dir_ / "bin" / name;
        std::ofstream(path) << "#!" << (dir_ / "bin" / "bash").string() << "\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
    }
    // Sets up the machine: which user runs the script, whether sudo exists
    // (it resets the environment, as the real one does), whether the
    // packages are installed. apt-get records what it was given.
    void Machine(int uid, bool hasSudo, bool installed) {
        Stub("id", "echo " + std::to_string(uid));
        Stub("dpkg-query", installed ? "printf 'install ok installed'" : "exit 1");
        Stub("apt-get", "echo \"$DEBIAN_FRONTEND $*\" >> " + (dir_ / "apt.log").string());
        if (hasSudo) Stub("sudo", "exec " + (dir_ / "bin" / "env").string() + " -i PATH=\"$PATH\" \"$@\"");
    }
    int Run(std::string* err) {
        const std::string command = "PATH=" + (dir_ / "bin").string() + " " + (dir_ / "bin" / "bash").string() +
                                    " " TEST_SOURCE_DIR "/scripts/install-deps >/dev/null 2>" +
                                    (dir_ / "err.txt").string();
        const int status = std::system(command.c_str());
        *err = Read("err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Read(const char* name) {
        std::ifstream in(dir_ / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
};

TEST_F(InstallDepsTest, InstallsOnlyWhenItCanAndSaysWhyNot) {
    struct Case {
        const char* what;
        int uid;
        bool hasSudo;
        bool installed;
        int status;
        bool installs;
        const char* says;  // on standard error
    };
    const Case cases[] = {
        {"everything there", 1000, false, true, 0, false, ""},
        {"root", 0, false, false, 0, true, ""},
        {"user with sudo", 1000, true, false, 0, true, ""},
        {"user without sudo", 1000, false, false, 1, false, "run scripts/install-deps as root once"},
    };
    for (const Case& c : cases) {
        fs::remove(dir_ / "apt.log");
        fs::remove(dir_ / "bin" / "sudo");
        Machine(c.uid, c.hasSudo, c.installed);
        std::string err;
        EXPECT_EQ(Run(&err), c.status) << c.what << ": " << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << c.what << ": " << err;
        EXPECT_EQ(err.find("not found"), std::string::npos) << c.what << ": " << err;
        const std::string apt = Read("apt.log");
        if (!c.installs) {
            EXPECT_EQ(apt, "") << c.what;
            continue;
        }
        EXPECT_NE(apt.find("noninteractive install -y"), std::string::npos) << c.what << ": " << apt;
        EXPECT_NE(apt.find("libsdl2-dev"), std::string::npos) << c.what << ": " << apt;
        EXPECT_EQ(apt.find("\n install"), std::string::npos) << c.what << ": environment lost: " << apt;
    }
}

TEST_F(InstallDepsTest, AUserWithoutSudoIsToldEveryMissingPackage) {
    Machine(1000, false, false);
    std::string err;
    ASSERT_EQ(Run(&err), 1);
    for (const char* package : {"cmake", "libsdl2-dev", "libvorbis-dev", "libgtest-dev", "fonts-ipafont-gothic"})
        EXPECT_NE(err.find(package), std::string::npos) << package << ": " << err;
}

}  // namespace
