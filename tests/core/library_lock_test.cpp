// The library lock: recursion for its holder, strict arrival order for the others.
#include "core/library.h"
#include "core/library_hooks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void WaitForWaiters(int count) {
    while (LibraryLockWaitingCount() < count) std::this_thread::yield();
}

// A thread that takes the lock, marks that it got in, and leaves; returns
// once the thread waits for the lock.
std::thread EnterFromOtherThread(std::atomic<bool>* entered) {
    std::thread other([entered] {
        EnterLibraryLock();
        *entered = true;
        LeaveLibraryLock();
    });
    WaitForWaiters(1);
    return other;
}

TEST(LibraryLockTest, HolderEntersAgainAndOthersWaitForTheLastLeave) {
    EnterLibraryLock();
    EnterLibraryLock();
    EXPECT_EQ(LibraryLockDepth(), 2);
    std::atomic<bool> entered{false};
    std::thread other = EnterFromOtherThread(&entered);
    LeaveLibraryLock();
    EXPECT_EQ(LibraryLockDepth(), 1);
    EXPECT_FALSE(entered);
    EXPECT_EQ(LibraryLockWaitingCount(), 1);
    LeaveLibraryLock();
    other.join();
    EXPECT_TRUE(entered);
    EXPECT_EQ(LibraryLockDepth(), 0);
    EXPECT_EQ(LibraryLockWaitingCount(), 0);
}

TEST(LibraryLockTest, WaitingThreadsEnterInTheOrderTheyCame) {
    constexpr int kThreads = 8;
    std::vector<int> order;
    std::mutex orderMutex;
    std::vector<std::thread> threads;
    EnterLibraryLock();
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            EnterLibraryLock();
            {
                std::lock_guard<std::mutex> lock(orderMutex);
                order.push_back(i);
            }
            LeaveLibraryLock();
        });
        WaitForWaiters(i + 1);  // thread i queues before thread i + 1 starts
    }
    LeaveLibraryLock();
    for (std::thread& t : threads) t.join();
    std::vector<int> expected;
    for (int i = 0; i < kThreads; ++i) expected.push_back(i);
    EXPECT_EQ(order, expected);
}

TEST(LibraryLockTest, OnlyTheHolderCanLeave) {
    EnterLibraryLock();
    std::thread intruder([] { LeaveLibraryLock(); });
    intruder.join();
    EXPECT_EQ(LibraryLockDepth(), 1);
    std::atomic<bool> entered{false};
    std::thread other = EnterFromOtherThread(&entered);
    EXPECT_FALSE(entered);
    LeaveLibraryLock();
    other.join();
    EXPECT_TRUE(entered);
}

}  // namespace
