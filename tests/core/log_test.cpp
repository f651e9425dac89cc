// The log file: line format, indent, CR LF, the off switch, the second line
// feed of WriteLogFormatted and Shift-JIS bytes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "core/log.h"

namespace {

namespace fs = std::filesystem;

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        dir_ = fs::temp_directory_path() / ("logtest" + std::to_string(getpid()));
        fs::create_directories(dir_);
        fs::current_path(dir_);
        SetLogOutputOff(0);
    }
    void TearDown() override {
        CloseLogFile();
        SetLogOutputOff(0);
        fs::current_path(saved_);
        fs::remove_all(dir_);
    }
    std::string Contents() {
        std::ifstream in(dir_ / "Log.txt", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // The lines of the file without their stamps; checks each stamp's form.
    std::vector<std::string> Lines() {
        std::string all = Contents();
        std::vector<std::string> lines;
        std::regex stamp("^[0-9]+:");
        size_t start = 0;
        for (size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2) {
            std::string line = all.substr(start, end - start);
            std::smatch match;
            EXPECT_TRUE(std::regex_search(line, match, stamp)) << line;
            lines.push_back(match.suffix());
        }
        EXPECT_EQ(start, all.size()) << "every line ends in CR LF";
        return lines;
    }

    fs::path saved_, dir_;
};

TEST_F(LogFile, StampIndentAndCrLf) {
    ASSERT_EQ(OpenLogFile(), 0);
    EXPECT_EQ(WriteLog("first\n"), -1);
    IncreaseLogIndent();
    IncreaseLogIndent();
    WriteLog("two tabs\nand again\n");
    DecreaseLogIndent();
    WriteLog("piece one, ");
    WriteLog("piece two\n");
    DecreaseLogIndent();
    DecreaseLogIndent();  // not below 0
    WriteLog("back\n");
    CloseLogFile();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "\t\ttwo tabs", "\t\tand again", "\tpiece one, piece two",
                                                 "back"}));
    EXPECT_EQ(Contents().find("\n\r"), std::string::npos);
    EXPECT_EQ(Contents().find("\r\r"), std::string::npos);
}

TEST_F(LogFile, FormattedAppendsOneLineFeed) {
    ASSERT_EQ(OpenLogFile(), 0);
    EXPECT_EQ(WriteLogFormatted("value %d and %s", 12, "text"), -1);
    EXPECT_EQ(WriteLogFormatted("ends in a line feed\n"), -1);
    WriteLogFormatted("%s", "");
    CloseLogFile();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"value 12 and text", "ends in a line feed", "", ""}));
}

TEST_F(LogFile, ReopeningStartsAFreshFile) {
    ASSERT_EQ(OpenLogFile(), 0);
    WriteLog("old\n");
    CloseLogFile();
    ASSERT_EQ(OpenLogFile(), 0);
    WriteLog("new\n");
    CloseLogFile();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"new"}));
    std::string first = Contents().substr(0, Contents().find(':'));
    EXPECT_LT(std::stoi(first), 10000) << "stamps count from the opening";
}

TEST_F(LogFile, OffSwitchWritesNoFile) {
    SetLogOutputOff(1);
    EXPECT_EQ(IsLogOutputOff(), 1);
    EXPECT_EQ(OpenLogFile(), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteLog("nothing\n"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    CloseLogFile();
    EXPECT_FALSE(fs::exists(dir_ / "Log.txt"));
}

TEST_F(LogFile, ShiftJisBytesAsTheyStand) {
    ASSERT_EQ(OpenLogFile(), 0);
    // The literal is compiled to Shift-JIS; "表" has the trail byte 0x5C.
    WriteLogFormatted("メモリ表");
    CloseLogFile();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"\x83\x81\x83\x82\x83\x8A\x95\x5C"}));
}

}  // namespace
