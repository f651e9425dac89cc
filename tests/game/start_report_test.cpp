// The first-frame report for the start-up bench: one byte after the first
// present only, the present's own result passed on, bad descriptor texts
// refused with nothing wrapped.
#include "game/library_calls.h"
#include "game/start_report.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

int g_presents = 0;
int CountingPresent() { return ++g_presents == 1 ? -1 : 0; }  // the first present fails, as it may

class StartReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGameCalls();
        GameCalls().presentScreen = CountingPresent;
        g_presents = 0;
        ASSERT_EQ(pipe2(ends_, O_CLOEXEC | O_NONBLOCK), 0);
    }
    void TearDown() override {
        ResetGameCalls();
        close(ends_[0]);
        if (fcntl(ends_[1], F_GETFD) != -1) close(ends_[1]);
    }
    std::string Drain() {
        char buffer[16];
        ssize_t n = read(ends_[0], buffer, sizeof buffer);
        return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
    }
    int ends_[2] = {-1, -1};
};

TEST_F(StartReportTest, OneByteAfterTheFirstPresentOnly) {
    ASSERT_TRUE(ReportFirstFrameTo(std::to_string(ends_[1]).c_str()));
    EXPECT_EQ(Drain(), "") << "nothing before a frame";
    EXPECT_EQ(GameCalls().presentScreen(), -1) << "the present's own result";
    EXPECT_EQ(Drain(), "F");
    EXPECT_EQ(fcntl(ends_[1], F_GETFD), -1) << "the descriptor is closed after the mark";
    EXPECT_EQ(GameCalls().presentScreen, CountingPresent) << "later presents go straight to the library";
    EXPECT_EQ(GameCalls().presentScreen(), 0);
    EXPECT_EQ(g_presents, 2);
}

TEST_F(StartReportTest, AskedTwiceTheLastDescriptorIsToldAndTheWrappedPresentKept) {
    int other[2];
    ASSERT_EQ(pipe2(other, O_CLOEXEC | O_NONBLOCK), 0);
    ASSERT_TRUE(ReportFirstFrameTo(std::to_string(other[1]).c_str()));
    ASSERT_TRUE(ReportFirstFrameTo(std::to_string(ends_[1]).c_str()));
    EXPECT_EQ(fcntl(other[1], F_GETFD), -1) << "the first descriptor is given back";
    GameCalls().presentScreen();
    EXPECT_EQ(Drain(), "F");
    EXPECT_EQ(GameCalls().presentScreen, CountingPresent);
    EXPECT_EQ(g_presents, 1);
    close(other[0]);
}

TEST_F(StartReportTest, BadDescriptorTextsAreRefusedAndNothingIsWrapped) {
    struct Case {
        const char* what;
        const char* text;
    };
    const Case cases[] = {
        {"missing", nullptr},        {"empty", ""},          {"standard error", "2"},
        {"standard input", "0"},     {"negative", "-7"},     {"trailing letters", "12x"},
        {"leading space", " 12"},    {"letters", "fd"},      {"beyond int", "99999999999"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(ReportFirstFrameTo(c.text)) << c.what;
        EXPECT_EQ(GameCalls().presentScreen, CountingPresent) << c.what;
    }
    GameCalls().presentScreen();
    EXPECT_EQ(Drain(), "");
}

}  // namespace
