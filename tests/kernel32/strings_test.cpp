// lstrlenA: bytes up to the first zero, double-byte characters counted as two.
#include <gtest/gtest.h>

#include "platform/kernel32/kernel32.h"

namespace {

TEST(Strings, LstrlenACountsBytesBeforeTheZero) {
    struct Case {
        const char* what;
        const char* text;
        int length;
    } const cases[] = {
        {"null string", nullptr, 0},
        {"empty string", "", 0},
        {"one byte", "A", 1},
        {"plain text", "Velumi", 6},
        {"double-byte characters", "\x82\xa0\x82\xa2", 4},
        {"mixed single and double bytes", "A\x82\xa0" "B", 4},
        {"stops at the first zero", "ab\0cd", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(lstrlenA(c.text), c.length) << c.what;
}

}  // namespace
