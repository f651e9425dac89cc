// Archives under hostile inputs: sizes that would wrap, claims that packed
// bytes cannot make, names that match each other, and archives outside the
// current folder.
#include <gtest/gtest.h>

#include <cstdint>

#include "file/archive_access.h"

namespace {

TEST(ArchiveLimits, AListingsSizeCannotWrap) {
    constexpr uint64_t kMost = UINT32_MAX / sizeof(FileInfo);  // 15,790,320 entries of 272 bytes
    const struct Case {
        const char* what;
        uint64_t count;
        bool fits;
    } cases[] = {
        {"one entry", 1, true},
        {"the most that fit 32 bits", kMost, true},
        {"one more: the product wraps in 32 bits", kMost + 1, false},
        {"a 32-bit count at its top", UINT32_MAX, false},
        {"a count past 32 bits", uint64_t{1} << 32, false},
    };
    for (const Case& c : cases) {
        uint32_t bytes = 0;
        EXPECT_EQ(ArchiveListingBytes(c.count, &bytes), c.fits) << c.what;
        if (c.fits) {
            EXPECT_EQ(bytes, c.count * sizeof(FileInfo)) << c.what;
        }
    }
}

}  // namespace
