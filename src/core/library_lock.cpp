// The library lock: recursive for the thread that holds it; other threads
// take tickets and are let in strictly in the order they came. At most
// kLibraryLockQueueSize threads wait with a ticket; more wait for a place in
// the queue first.
#include "core/library.h"
#include "core/library_hooks.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

constexpr uint64_t kQueueSize = 4096;

struct LibraryLock {
    std::mutex mutex;
    std::condition_variable turn;
    uint64_t nextTicket = 0;
    uint64_t serving = 0;  // the ticket whose holder may enter (or is inside)
    bool held = false;
    std::thread::id owner;
    int depth = 0;
};

LibraryLock& TheLock() {
    static auto* lock = new LibraryLock();
    return *lock;
}

}  // namespace

void EnterLibraryLock() {
    LibraryLock& l = TheLock();
    std::unique_lock<std::mutex> guard(l.mutex);
    if (l.held && l.owner == std::this_thread::get_id()) {
        ++l.depth;
        return;
    }
    // Tickets taken but not yet let in: the holder's and the waiters'.
    l.turn.wait(guard, [&] { return l.nextTicket - l.serving < kQueueSize + 1; });
    uint64_t ticket = l.nextTicket++;
    l.turn.wait(guard, [&] { return l.serving == ticket && !l.held; });
    l.held = true;
    l.owner = std::this_thread::get_id();
    l.depth = 1;
}

void LeaveLibraryLock() {
    LibraryLock& l = TheLock();
    std::lock_guard<std::mutex> guard(l.mutex);
    if (!l.held || l.owner != std::this_thread::get_id()) return;  // not ours to leave
    if (--l.depth > 0) return;
    l.held = false;
    l.owner = std::thread::id();
    ++l.serving;
    l.turn.notify_all();
}

int LibraryLockWaitingCount() {
    LibraryLock& l = TheLock();
    std::lock_guard<std::mutex> guard(l.mutex);
    return static_cast<int>(l.nextTicket - l.serving) - (l.held ? 1 : 0);
}

int LibraryLockDepth() {
    LibraryLock& l = TheLock();
    std::lock_guard<std::mutex> guard(l.mutex);
    return l.held && l.owner == std::this_thread::get_id() ? l.depth : 0;
}
