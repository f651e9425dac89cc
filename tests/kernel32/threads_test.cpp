// Threads, events, waits, critical sections and the last error.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"

namespace {

struct Gate {
    HANDLE release;
    std::atomic<int> ran{0};
    DWORD idSeen = 0;
};

DWORD WaitThenReturn(LPVOID parameter) {
    auto* gate = static_cast<Gate*>(parameter);
    gate->idSeen = GetCurrentThreadId();
    gate->ran = 1;
    WaitForSingleObject(gate->release, INFINITE);
    return 42;
}

TEST(Threads, RunWaitAndExitCode) {
    Gate gate;
    gate.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    SetEvent(gate.release);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(gate.idSeen, id);
    EXPECT_NE(id, GetCurrentThreadId());
    // An ended thread stays signalled.
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_TRUE(CloseHandle(gate.release));
}

TEST(Threads, SuspendedThreadStartsOnResume) {
    Gate gate;
    gate.release = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, WaitThenReturn, &gate, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 30), WAIT_TIMEOUT);
    EXPECT_EQ(gate.ran.load(), 0);
    EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL));
    EXPECT_EQ(GetThreadPriority(thread), THREAD_PRIORITY_TIME_CRITICAL);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(gate.ran.load(), 1);
    EXPECT_EQ(ResumeThread(thread), 0u);
    CloseHandle(thread);
    CloseHandle(gate.release);
}

DWORD ExitEarly(LPVOID parameter) {
    struct Flag {
        std::atomic<int>* ran;
        ~Flag() { *ran = 2; }  // unwound by ExitThread
    } flag{static_cast<std::atomic<int>*>(parameter)};
    ExitThread(7);
}

TEST(Threads, ExitThreadEndsTheRoutineWithItsCode) {
    std::atomic<int> ran{0};
    HANDLE thread = CreateThread(nullptr, 0, ExitEarly, &ran, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(ran.load(), 2);
    CloseHandle(thread);
}

TEST(Threads, InjectedFailureAndBadArguments) {
    seams::FailCall("CreateThread", 1);
    EXPECT_EQ(CreateThread(nullptr, 0, WaitThenReturn, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    seams::ClearAllCalls();
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(reinterpret_cast<HANDLE>(0x12345), &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(ResumeThread(nullptr), 0xFFFFFFFFu);
}

TEST(Events, ManualAndAutoReset) {
    HANDLE manual = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE automatic = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_TIMEOUT);
    SetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);  // stays set
    ResetEvent(manual);
    EXPECT_EQ(WaitForSingleObject(manual, 10), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);  // initially set
    EXPECT_EQ(WaitForSingleObject(automatic, 10), WAIT_TIMEOUT);  // consumed by one wait
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST(Events, SignalledFromAnotherThread) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::thread setter([event] { SetEvent(event); });
    EXPECT_EQ(WaitForSingleObject(event, INFINITE), WAIT_OBJECT_0);
    setter.join();
    CloseHandle(event);
}

TEST(Events, WaitForMultiple) {
    HANDLE events[3] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, FALSE, FALSE, nullptr),
                        CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(events[2]);
    SetEvent(events[1]);
    // Any: the lowest signalled index; the auto-reset one is consumed.
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 2);
    // All: only when every one is set.
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 10), WAIT_TIMEOUT);
    SetEvent(events[0]);
    SetEvent(events[1]);
    EXPECT_EQ(WaitForMultipleObjects(3, events, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(events[1], 0), WAIT_TIMEOUT);  // consumed by the wait for all
    for (HANDLE event : events) CloseHandle(event);
}

TEST(Events, BadHandlesFailTheWait) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    HANDLE both[2] = {event, reinterpret_cast<HANDLE>(0x7777)};
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForMultipleObjects(0, both, FALSE, 0), WAIT_FAILED);
    EXPECT_TRUE(CloseHandle(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(event));
}

TEST(Events, NamedEventIsShared) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "k32-test-event");
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, "k32-test-event");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

TEST(CriticalSections, RecursiveForOwnerExclusiveForOthers) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    bool otherGot = true;
    std::thread([&] { otherGot = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGot);
    LeaveCriticalSection(&section);
    std::thread([&] { otherGot = TryEnterCriticalSection(&section); }).join();
    EXPECT_FALSE(otherGot) << "still held once by the owner";
    LeaveCriticalSection(&section);
    std::thread([&] {
        otherGot = TryEnterCriticalSection(&section);
        if (otherGot) LeaveCriticalSection(&section);
    }).join();
    EXPECT_TRUE(otherGot);
    DeleteCriticalSection(&section);
    EXPECT_EQ(section.impl, nullptr);
}

TEST(CriticalSections, GuardsSharedCounter) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                EnterCriticalSection(&section);
                ++counter;
                LeaveCriticalSection(&section);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 80000);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, ReturnsNewAndOldValues) {
    volatile LONG value = 5;
    EXPECT_EQ(InterlockedIncrement(&value), 6);
    EXPECT_EQ(InterlockedDecrement(&value), 5);
    EXPECT_EQ(InterlockedExchange(&value, 9), 5);
    EXPECT_EQ(value, 9);
}

TEST(LastError, IsPerThread) {
    SetLastError(1234);
    DWORD seen = 99;
    std::thread([&] { seen = GetLastError(); }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

}  // namespace
