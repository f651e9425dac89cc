// The names ctest gives this build's tests: each one a gtest name in words
// (a parameterized test's parameters named by its name generator, not by an
// index or by the bytes of a printed value, which change from build to
// build), each listed once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

// What `ctest -N` lists in the build directory ("  Test #12: name", with
// " (Disabled)" after a test that only runs when asked for by name).
std::vector<std::string> ListedTests() {
    const std::string command = "cd '" TEST_BINARY_DIR "' && '" CTEST_COMMAND "' -N 2>&1";
    std::vector<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return names;
    const std::regex listed(R"(^ *Test +#[0-9]+: (.*?)( \(Disabled\))?$)");
    std::string line;
    for (int ch = fgetc(pipe); ch != EOF; ch = fgetc(pipe)) {
        if (ch != '\n') {
            line += static_cast<char>(ch);
            continue;
        }
        std::smatch m;
        if (std::regex_match(line, m, listed)) names.push_back(m[1]);
        line.clear();
    }
    pclose(pipe);
    return names;
}

TEST(TestNames, AreWordsAndEachIsListedOnce) {
    const std::vector<std::string> names = ListedTests();
    ASSERT_FALSE(names.empty()) << "ctest listed no test in " TEST_BINARY_DIR;
    struct Case {
        const char* what;
        std::regex fault;
    };
    const Case cases[] = {
        {"a character no gtest name has (a printed parameter value)", std::regex("[^A-Za-z0-9_./]")},
        {"a parameter named by its index", std::regex("/[0-9]+$")},
    };
    std::set<std::string> seen;
    size_t parameterized = 0;
    for (const std::string& name : names) {
        for (const Case& c : cases) EXPECT_FALSE(std::regex_search(name, c.fault)) << c.what << ": " << name;
        EXPECT_TRUE(seen.insert(name).second) << "listed twice: " << name;
        if (std::count(name.begin(), name.end(), '/') >= 1) ++parameterized;
    }
    if (parameterized == 0) GTEST_SKIP() << "no parameterized test is built in " TEST_BINARY_DIR;
}

}  // namespace
