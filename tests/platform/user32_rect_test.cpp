// SetRect: the four edges stored as given; a null rectangle is refused.
#include "platform/user32/user32.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(SetRect, StoresTheEdgesAsGiven) {
    struct Case {
        const char* what;
        int left, top, right, bottom;
    } const cases[] = {
        {"ordinary rectangle", 1, 2, 30, 40},
        {"negative edges", -8, -6, -4, -2},
        {"reversed edges are not reordered", 50, 60, 10, 20},
        {"empty rectangle", 7, 7, 7, 7},
        {"extreme values", INT_MIN, INT_MAX, INT_MAX, INT_MIN},
    };
    for (const Case& c : cases) {
        RECT rect{-1, -1, -1, -1};
        EXPECT_EQ(SetRect(&rect, c.left, c.top, c.right, c.bottom), TRUE) << c.what;
        EXPECT_EQ(rect.left, c.left) << c.what;
        EXPECT_EQ(rect.top, c.top) << c.what;
        EXPECT_EQ(rect.right, c.right) << c.what;
        EXPECT_EQ(rect.bottom, c.bottom) << c.what;
    }
}

TEST(SetRect, RefusesANullRectangle) { EXPECT_EQ(SetRect(nullptr, 1, 2, 3, 4), FALSE); }

}  // namespace
