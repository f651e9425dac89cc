// The queue of presented frames: when each present returns, for a display of
// 10 ms blanks (at 10, 20, 30 ...) and the latencies a device may have.
#include "platform/d3d9/d3d9_frame_queue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Present {
    int64_t at;
    int64_t returns;
};

struct Case {
    const char* what;
    unsigned latency;
    std::vector<Present> presents;
};

const Case kCases[] = {
    {"latency 1: the first returns at once, the next when the one before is shown",
     1, {{0, 0}, {1, 10}, {10, 20}, {20, 30}}},
    {"latency 1: a present after the queue emptied returns at once", 1, {{0, 0}, {1, 10}, {55, 55}, {56, 60}}},
    {"latency 1: a late frame goes to the blank after its present", 1, {{0, 0}, {25, 25}, {26, 30}}},
    {"latency 3: three frames queue before any waits", 3, {{0, 0}, {0, 0}, {0, 0}, {0, 10}, {10, 20}}},
    {"latency 0 counts as 1", 0, {{0, 0}, {1, 10}}},
    {"presents on a blank are shown at the next one", 1, {{10, 10}, {10, 20}}},
};

TEST(FrameQueue, PresentsReturnWhenTheQueueHasRoom) {
    for (const Case& c : kCases) {
        d3d9::FrameQueue queue;
        for (size_t i = 0; i < c.presents.size(); ++i)
            EXPECT_EQ(d3d9::QueueFrame(&queue, c.presents[i].at, 10, c.latency), c.presents[i].returns)
                << c.what << ", present " << i;
    }
}

TEST(FrameQueue, SteadyPresentsArePacedOneBlankEach) {
    d3d9::FrameQueue queue;
    int64_t now = 3;
    for (int i = 0; i < 20; ++i) now = d3d9::QueueFrame(&queue, now + 1, 10, 1);
    EXPECT_EQ(now, 190) << "20 frames, the first shown at 10, the 19th at 190";
    EXPECT_LE(queue.shownAt.size(), 1u);
}

TEST(FrameQueue, NoPeriodShowsAtOnce) {
    d3d9::FrameQueue queue;
    EXPECT_EQ(d3d9::QueueFrame(&queue, 5, 0, 1), 5);
    EXPECT_EQ(d3d9::QueueFrame(&queue, 6, 0, 1), 6);
}

}  // namespace
