#include "platform/seams/seams.h"

#include <atomic>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

namespace seams {
namespace {

struct Failure {
    int times;
    int64_t result;
    int skip;  // calls that succeed before the failures start
};

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::map<std::string, Failure>& Failures() {
    static std::map<std::string, Failure> f;
    return f;
}

std::atomic<bool> g_anyFailure{false};
std::atomic<bool> g_noWait{false};
std::atomic<bool> g_stillClock{false};
std::atomic<int64_t> g_stillClockUs{0};

int64_t MonotonicMicroseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

void FailCall(const char* name, int times, int64_t result) { FailCallAfter(name, 0, times, result); }

void FailCallAfter(const char* name, int skip, int times, int64_t result) {
    std::lock_guard<std::mutex> lock(Lock());
    Failures()[name] = Failure{times, result, skip};
    g_anyFailure = true;
}

void ClearCall(const char* name) {
    std::lock_guard<std::mutex> lock(Lock());
    Failures().erase(name);
    g_anyFailure = !Failures().empty();
}

void ClearAllCalls() {
    std::lock_guard<std::mutex> lock(Lock());
    Failures().clear();
    g_anyFailure = false;
}

bool AnyFailure() { return g_anyFailure; }

bool ShouldFailCall(const char* name) {
    if (!g_anyFailure) return false;
    std::lock_guard<std::mutex> lock(Lock());
    auto it = Failures().find(name);
    if (it == Failures().end()) return false;
    if (it->second.skip > 0) {
        --it->second.skip;
        return false;
    }
    if (it->second.times < 0) return true;
    if (it->second.times == 0) return false;
    --it->second.times;
    return true;
}

int64_t FailureResult(const char* name) {
    std::lock_guard<std::mutex> lock(Lock());
    auto it = Failures().find(name);
    return it == Failures().end() ? -1 : it->second.result;
}

void SetNoWait(bool on) { g_noWait = on; }
bool NoWait() { return g_noWait; }

void SetStillClock(bool on) {
    if (on && !g_stillClock) g_stillClockUs = MonotonicMicroseconds();
    g_stillClock = on;
}
bool StillClock() { return g_stillClock; }
int64_t StillClockUs() { return g_stillClockUs; }
int64_t ClockUs() { return g_stillClock ? g_stillClockUs.load() : MonotonicMicroseconds(); }
void AdvanceStillClock(int64_t microseconds) { g_stillClockUs += microseconds; }

}  // namespace seams
