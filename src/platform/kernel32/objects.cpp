// Kernel objects: the handle table, threads, events, waits, critical
// sections, interlocked operations and the thread's last error.
#include "platform/kernel32/internal.h"
#include "platform/seams/seams.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>  // std::chrono clocks (<chrono> itself does not build under -fexec-charset=CP932)
#include <unordered_map>
#include <vector>

namespace kernel32 {
namespace {

// The tables and locks below are made once and never destroyed: threads that
// outlive main (a detached reader, a sound thread at exit) may still use them
// while static destructors run.
std::mutex& TableLock() {
    static std::mutex& m = *new std::mutex;
    return m;
}

std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>& Table() {
    static auto& table = *new std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>>;
    return table;
}

uintptr_t g_nextHandle = 0x100;

// One lock and one condition for every waitable state (event signals and
// thread ends), so that a wait on several objects sees them change together.
std::mutex& WaitLock() {
    static std::mutex& m = *new std::mutex;
    return m;
}

std::condition_variable& WaitChanged() {
    static std::condition_variable& c = *new std::condition_variable;
    return c;
}

struct ThreadObject : KernelObject {
    ThreadObject() : KernelObject(ObjectKind::Thread) {}
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;
    int priority = THREAD_PRIORITY_NORMAL;
    // Guarded by WaitLock():
    DWORD suspendCount = 0;
    bool ended = false;
    DWORD exitCode = STILL_ACTIVE;
};

struct EventObject : KernelObject {
    EventObject() : KernelObject(ObjectKind::Event) {}
    bool manualReset = false;
    bool signalled = false;  // guarded by WaitLock()
};

std::mutex& NamedEventLock() {
    static std::mutex& m = *new std::mutex;
    return m;
}

std::map<std::string, std::weak_ptr<EventObject>>& NamedEvents() {
    static auto& events = *new std::map<std::string, std::weak_ptr<EventObject>>;
    return events;
}

std::atomic<DWORD> g_nextThreadId{1000};
thread_local DWORD t_threadId = 0;
thread_local DWORD t_lastError = 0;
thread_local int t_priority = THREAD_PRIORITY_NORMAL;
thread_local ThreadObject* t_threadObject = nullptr;

// Thrown by ExitThread and caught at the thread's start.
struct ThreadExit {
    DWORD code;
};

HANDLE const kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

void* ThreadTrampoline(void* argument) {
    // The thread keeps its object alive until it has run.
    std::shared_ptr<ThreadObject> self(*static_cast<std::shared_ptr<ThreadObject>*>(argument));
    delete static_cast<std::shared_ptr<ThreadObject>*>(argument);
    t_threadId = self->id;
    t_threadObject = self.get();
    {
        std::unique_lock<std::mutex> lock(WaitLock());
        WaitChanged().wait(lock, [&] { return self->suspendCount == 0; });
    }
    DWORD code;
    try {
        code = self->start(self->parameter);
    } catch (const ThreadExit& exit) {
        code = exit.code;
    }
    {
        std::lock_guard<std::mutex> lock(WaitLock());
        self->exitCode = code;
        self->ended = true;
    }
    WaitChanged().notify_all();
    t_threadObject = nullptr;
    return nullptr;
}

// True when the object is signalled; consumes an auto-reset event's signal
// when consume is set. Called with WaitLock() held.
bool IsSignalled(KernelObject* object) {
    if (object->kind == ObjectKind::Thread) return static_cast<ThreadObject*>(object)->ended;
    return static_cast<EventObject*>(object)->signalled;
}

void Consume(KernelObject* object) {
    if (object->kind != ObjectKind::Event) return;
    auto* event = static_cast<EventObject*>(object);
    if (!event->manualReset) event->signalled = false;
}

bool IsWaitable(const std::shared_ptr<KernelObject>& object) {
    return object && (object->kind == ObjectKind::Thread || object->kind == ObjectKind::Event);
}

}  // namespace

HANDLE AddObject(std::shared_ptr<KernelObject> object) {
    std::lock_guard<std::mutex> lock(TableLock());
    uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    Table()[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindAnyObject(HANDLE handle) {
    std::lock_guard<std::mutex> lock(TableLock());
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    return it == Table().end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> FindObject(HANDLE handle, ObjectKind kind) {
    auto object = FindAnyObject(handle);
    return (object && object->kind == kind) ? object : nullptr;
}

bool RemoveObject(HANDLE handle) {
    std::shared_ptr<KernelObject> removed;  // destroyed outside the lock
    std::lock_guard<std::mutex> lock(TableLock());
    auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    if (it == Table().end()) return false;
    removed = std::move(it->second);
    Table().erase(it);
    return true;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return ERROR_ACCESS_DENIED;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF: return ERROR_INVALID_HANDLE;
        default: return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace kernel32

using namespace kernel32;
using platform::FailWith;

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

BOOL CloseHandle(HANDLE handle) {
    if (auto failed = seams::FailNow<DWORD>("CloseHandle", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    if (!RemoveObject(handle)) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    return TRUE;
}

// ---- threads ----------------------------------------------------------------

HANDLE CreateThread(void*, size_t stackSize, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD creationFlags,
                    LPDWORD threadId) {
    if (auto failed = seams::FailNow<DWORD>("CreateThread", ERROR_NOT_ENOUGH_MEMORY)) return FailWith(*failed, nullptr);
    if (start == nullptr) return FailWith(ERROR_INVALID_PARAMETER, nullptr);
    auto object = std::make_shared<ThreadObject>();
    object->start = start;
    object->parameter = parameter;
    object->id = g_nextThreadId.fetch_add(4);
    object->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize >= 64 * 1024) pthread_attr_setstacksize(&attributes, (stackSize + 0xFFFF) & ~size_t{0xFFFF});
    auto* argument = new std::shared_ptr<ThreadObject>(object);
    pthread_t thread;
    int result = pthread_create(&thread, &attributes, ThreadTrampoline, argument);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete argument;
        return FailWith(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    if (threadId != nullptr) *threadId = object->id;
    return AddObject(object);
}

DWORD ResumeThread(HANDLE thread) {
    if (auto failed = seams::FailNow<DWORD>("ResumeThread", ERROR_INVALID_HANDLE))
        return FailWith(*failed, 0xFFFFFFFFu);
    auto object = FindTyped<ThreadObject>(thread, ObjectKind::Thread);
    if (!object) return FailWith(ERROR_INVALID_HANDLE, 0xFFFFFFFFu);
    DWORD previous;
    {
        std::lock_guard<std::mutex> lock(WaitLock());
        previous = object->suspendCount;
        if (object->suspendCount > 0) --object->suspendCount;
    }
    WaitChanged().notify_all();
    return previous;
}

void ExitThread(DWORD exitCode) {
    if (t_threadObject != nullptr) throw ThreadExit{exitCode};
    pthread_exit(nullptr);  // a thread the stand-in did not start
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    if (auto failed = seams::FailNow<DWORD>("GetExitCodeThread", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    auto object = FindTyped<ThreadObject>(thread, ObjectKind::Thread);
    if (!object || exitCode == nullptr) return FailWith(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE, FALSE);
    std::lock_guard<std::mutex> lock(WaitLock());
    *exitCode = object->ended ? object->exitCode : STILL_ACTIVE;
    return TRUE;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (auto failed = seams::FailNow<DWORD>("SetThreadPriority", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    bool known = (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST) ||
                 priority == THREAD_PRIORITY_TIME_CRITICAL || priority == -15;
    if (!known) return FailWith(ERROR_INVALID_PARAMETER, FALSE);
    if (thread == kCurrentThreadPseudoHandle) {
        if (t_threadObject != nullptr) t_threadObject->priority = priority;
        t_priority = priority;
        return TRUE;
    }
    auto object = FindTyped<ThreadObject>(thread, ObjectKind::Thread);
    if (!object) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    object->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    if (thread == kCurrentThreadPseudoHandle) return t_threadObject ? t_threadObject->priority : t_priority;
    auto object = FindTyped<ThreadObject>(thread, ObjectKind::Thread);
    if (!object) return FailWith(ERROR_INVALID_HANDLE, 0x7FFFFFFF);  // THREAD_PRIORITY_ERROR_RETURN
    return object->priority;
}

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) t_threadId = g_nextThreadId.fetch_add(4);
    return t_threadId;
}

HANDLE GetCurrentThread() { return kCurrentThreadPseudoHandle; }

// ---- events and waits ---------------------------------------------------------

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, LPCSTR name) {
    if (auto failed = seams::FailNow<DWORD>("CreateEventA", ERROR_NOT_ENOUGH_MEMORY)) return FailWith(*failed, nullptr);
    std::lock_guard<std::mutex> nameLock(NamedEventLock());
    if (name != nullptr && name[0] != '\0') {
        auto it = NamedEvents().find(name);
        if (it != NamedEvents().end()) {
            if (auto existing = it->second.lock()) {
                HANDLE handle = AddObject(existing);
                SetLastError(ERROR_ALREADY_EXISTS);  // a success: the event was there already
                return handle;
            }
        }
    }
    auto event = std::make_shared<EventObject>();
    event->manualReset = manualReset != FALSE;
    event->signalled = initialState != FALSE;
    if (name != nullptr && name[0] != '\0') NamedEvents()[name] = event;
    SetLastError(ERROR_SUCCESS);
    return AddObject(event);
}

static BOOL ChangeEvent(HANDLE handle, bool signalled) {
    auto event = FindTyped<EventObject>(handle, ObjectKind::Event);
    if (!event) return FailWith(ERROR_INVALID_HANDLE, FALSE);
    {
        std::lock_guard<std::mutex> lock(WaitLock());
        event->signalled = signalled;
    }
    if (signalled) WaitChanged().notify_all();
    return TRUE;
}

BOOL SetEvent(HANDLE event) {
    if (auto failed = seams::FailNow<DWORD>("SetEvent", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    return ChangeEvent(event, true);
}

BOOL ResetEvent(HANDLE event) {
    if (auto failed = seams::FailNow<DWORD>("ResetEvent", ERROR_INVALID_HANDLE)) return FailWith(*failed, FALSE);
    return ChangeEvent(event, false);
}

static DWORD WaitForObjects(const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                            DWORD milliseconds) {
    auto ready = [&]() -> DWORD {
        if (waitAll) {
            for (auto& object : objects)
                if (!IsSignalled(object.get())) return WAIT_TIMEOUT;
            for (auto& object : objects) Consume(object.get());
            return WAIT_OBJECT_0;
        }
        for (size_t i = 0; i < objects.size(); ++i) {
            if (IsSignalled(objects[i].get())) {
                Consume(objects[i].get());
                return WAIT_OBJECT_0 + static_cast<DWORD>(i);
            }
        }
        return WAIT_TIMEOUT;
    };
    std::unique_lock<std::mutex> lock(WaitLock());
    DWORD result = ready();
    if (result != WAIT_TIMEOUT || milliseconds == 0) return result;
    if (milliseconds == INFINITE) {
        for (;;) {
            WaitChanged().wait(lock);
            if ((result = ready()) != WAIT_TIMEOUT) return result;
        }
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        bool timedOut = WaitChanged().wait_until(lock, deadline) == std::cv_status::timeout;
        if ((result = ready()) != WAIT_TIMEOUT || timedOut) return result;
    }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    const char* seam = count == 1 ? "WaitForSingleObject" : "WaitForMultipleObjects";
    if (auto failed = seams::FailNow<DWORD>(seam, ERROR_INVALID_HANDLE)) return FailWith(*failed, WAIT_FAILED);
    if (count == 0 || count > 64 || handles == nullptr) return FailWith(ERROR_INVALID_PARAMETER, WAIT_FAILED);
    std::vector<std::shared_ptr<KernelObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = FindAnyObject(handles[i]);
        if (!IsWaitable(object)) return FailWith(ERROR_INVALID_HANDLE, WAIT_FAILED);
        objects.push_back(std::move(object));
    }
    return WaitForObjects(objects, waitAll != FALSE, milliseconds);
}

// ---- critical sections ------------------------------------------------------------

void InitializeCriticalSection(CRITICAL_SECTION* section) {
    if (section != nullptr) section->impl = new std::recursive_mutex;
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) return;
    delete static_cast<std::recursive_mutex*>(section->impl);
    section->impl = nullptr;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) return;
    static_cast<std::recursive_mutex*>(section->impl)->lock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) return FALSE;
    return static_cast<std::recursive_mutex*>(section->impl)->try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
    if (section == nullptr || section->impl == nullptr) return;
    static_cast<std::recursive_mutex*>(section->impl)->unlock();
}

// ---- interlocked ----------------------------------------------------------------------

LONG InterlockedIncrement(volatile LONG* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedDecrement(volatile LONG* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }
LONG InterlockedExchange(volatile LONG* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
