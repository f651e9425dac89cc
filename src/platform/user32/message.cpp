// The message queue of each thread and timers: posting and sending, PeekMessageA
// and GetMessageA with their filters (queued messages first, then WM_QUIT, then
// WM_PAINT for invalid windows, then due WM_TIMER), mouse capture applied as a
// message is taken, waiting for the next message, TranslateMessage's WM_CHAR
// and SetTimer and KillTimer.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/internal.h"
#include "platform/winmm/winmm.h"

#include <algorithm>

namespace user32 {

DWORD Now() { return timeGetTime(); }

ThreadQueue& QueueOf(DWORD threadId) { return S().queues[threadId]; }

bool Enqueue(HWND hwnd, DWORD threadId, const QueuedMessage& m) {
    Lock lock(S().mutex);
    ThreadQueue& q = QueueOf(threadId);
    // Mouse moves are merged: a new one replaces one still waiting at the end.
    if (m.msg.message == WM_MOUSEMOVE && !q.messages.empty()) {
        QueuedMessage& last = q.messages.back();
        if (last.msg.message == WM_MOUSEMOVE && last.msg.hwnd == hwnd) {
            last = m;
            return true;
        }
    }
    q.messages.push_back(m);
    q.wake.notify_all();
    return true;
}

static bool Matches(const MSG& msg, HWND filter, UINT filterMin, UINT filterMax) {
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) {
        if (msg.hwnd != nullptr) return false;
    } else if (filter != nullptr && msg.hwnd != filter && !IsChild(filter, msg.hwnd)) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

QueuedMessage MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    QueuedMessage m;
    m.msg.hwnd = hwnd;
    m.msg.message = message;
    m.msg.wParam = wParam;
    m.msg.lParam = lParam;
    m.msg.time = Now();
    m.msg.pt = S().cursorPos;
    return m;
}

// A mouse message of the top-level window that holds the capture goes to the
// capture window, as it stands when the message is taken (lock held).
static void RetargetToCapture(MSG* msg) {
    if (msg->message < WM_MOUSEMOVE || msg->message > WM_MBUTTONDBLCLK) return;
    WindowRecord* c = FindRecord(S().capture);
    if (c == nullptr || c->destroying || c->hwnd == msg->hwnd || TopLevelOf(c->hwnd) != TopLevelOf(msg->hwnd)) return;
    POINT origin = ClientOriginOnScreen(*c);
    msg->hwnd = c->hwnd;
    msg->lParam = MAKELPARAM(msg->pt.x - origin.x, msg->pt.y - origin.y);
}

// Takes the next message for the calling thread (lock held).
static bool TakeMessage(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove) {
    DWORD thread = GetCurrentThreadId();
    ThreadQueue& q = QueueOf(thread);
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
        if (!Matches(it->msg, filter, filterMin, filterMax)) continue;
        *out = it->msg;
        RetargetToCapture(out);
        q.lastMessageTime = it->msg.time;
        if (remove) {
            QueuedMessage m = *it;
            q.messages.erase(it);
            ApplyToKeyState(q, m);
        }
        return true;
    }
    if (q.quit) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, Now(), S().cursorPos};
        if (remove) q.quit = false;
        return true;
    }
    bool wantPaint = (filterMin == 0 && filterMax == 0) || (filterMin <= WM_PAINT && WM_PAINT <= filterMax);
    if (wantPaint) {
        for (auto& [handle, w] : S().windows) {
            if (w->threadId != thread || !w->invalid || !w->visible || w->destroying) continue;
            MSG paint{w->hwnd, WM_PAINT, 0, 0, Now(), S().cursorPos};
            if (!Matches(paint, filter, filterMin, filterMax)) continue;
            *out = paint;
            return true;
        }
    }
    DWORD now = Now();
    for (Timer& t : S().timers) {
        if (t.threadId != thread || static_cast<int32_t>(now - t.due) < 0) continue;
        MSG tick{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now, S().cursorPos};
        if (!Matches(tick, filter, filterMin, filterMax)) continue;
        *out = tick;
        if (remove) t.due = now + t.elapse;
        return true;
    }
    return false;
}

// Milliseconds until the calling thread's next timer is due (capped).
static int TimeToNextTimer(int cap) {
    DWORD thread = GetCurrentThreadId();
    DWORD now = Now();
    int best = cap;
    for (const Timer& t : S().timers) {
        if (t.threadId != thread) continue;
        best = std::min(best, std::max(0, static_cast<int32_t>(t.due - now)));
    }
    return best;
}

static void WaitForMessage() {
    int wait;
    {
        Lock lock(S().mutex);
        wait = TimeToNextTimer(10);
    }
    if (platform::sdl::IsVideoThread()) {
        platform::sdl::WaitVideoEvents(wait);
        return;
    }
    Lock lock(S().mutex);
    QueueOf(GetCurrentThreadId()).wake.wait_for(lock, std::chrono::milliseconds(wait));
}

}  // namespace user32

using namespace user32;

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove) {
    if (msg == nullptr) return FALSE;
    PumpWindowSystem();
    Lock lock(S().mutex);
    return TakeMessage(msg, hwnd, filterMin, filterMax, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (msg == nullptr) return -1;
    if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(static_cast<intptr_t>(-1)) && !IsWindow(hwnd))
        return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, -1);
    while (!PeekMessageA(msg, hwnd, filterMin, filterMax, PM_REMOVE)) WaitForMessage();
    return msg->message == WM_QUIT ? 0 : 1;
}

BOOL WaitMessage() {
    MSG msg;
    while (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) WaitForMessage();
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
    std::string text;
    DWORD thread = GetCurrentThreadId();
    {
        Lock lock(S().mutex);
        ThreadQueue& q = QueueOf(thread);
        const MSG& last = q.lastKey.msg;
        if (q.lastKeyValid && last.hwnd == msg->hwnd && last.wParam == msg->wParam && last.lParam == msg->lParam &&
            last.time == msg->time)
            text = q.lastKey.text;
        q.lastKeyValid = false;
        if (text.empty()) {
            // Keys that type control characters without a text event.
            bool ctrl = (q.keys[VK_CONTROL] & 0x80) != 0;
            WPARAM vk = msg->wParam;
            if (vk == VK_RETURN) text = "\r";
            else if (vk == VK_BACK) text = "\b";
            else if (vk == VK_TAB) text = "\t";
            else if (vk == VK_ESCAPE) text = "\x1b";
            else if (ctrl && vk >= 'A' && vk <= 'Z') text = std::string(1, static_cast<char>(vk - 'A' + 1));
        }
        if (text.empty()) return FALSE;
        UINT charMessage = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
        // The characters come next, before anything queued after the key.
        for (auto it = text.rbegin(); it != text.rend(); ++it) {
            QueuedMessage m;
            m.msg = MSG{msg->hwnd, charMessage, static_cast<unsigned char>(*it), msg->lParam, msg->time, msg->pt};
            q.messages.push_front(m);
        }
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, Now());
        return 0;
    }
    if (msg->hwnd == nullptr) return 0;
    return Send(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(S().mutex);
    DWORD thread = GetCurrentThreadId();
    if (hwnd != nullptr) {
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr || w->destroying) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, FALSE);
        thread = w->threadId;
    }
    QueuedMessage m = MakeMessage(hwnd, message, wParam, lParam);
    return Enqueue(hwnd, thread, m) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    Lock lock(S().mutex);
    return Enqueue(nullptr, threadId, MakeMessage(nullptr, message, wParam, lParam)) ? TRUE : FALSE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd)) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, 0);
    return Send(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    Lock lock(S().mutex);
    ThreadQueue& q = QueueOf(GetCurrentThreadId());
    q.quit = true;
    q.quitCode = exitCode;
    q.wake.notify_all();
}

DWORD GetMessageTime() {
    Lock lock(S().mutex);
    return QueueOf(GetCurrentThreadId()).lastMessageTime;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    Lock lock(S().mutex);
    DWORD thread = GetCurrentThreadId();
    if (hwnd != nullptr) {
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, 0);
        thread = w->threadId;
    }
    elapse = std::clamp<UINT>(elapse, 10, 0x7FFFFFFF);
    auto& timers = S().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) {
        return t.hwnd == hwnd && t.id == id && (hwnd != nullptr || t.threadId == thread);
    });
    if (it == timers.end()) {
        if (hwnd == nullptr) id = ++S().nextThreadTimerId;
        timers.push_back(Timer{});
        it = timers.end() - 1;
    }
    *it = Timer{hwnd, id, elapse, proc, Now() + elapse, thread};
    QueueOf(thread).wake.notify_all();
    return hwnd != nullptr && id == 0 ? 1 : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    Lock lock(S().mutex);
    auto& timers = S().timers;
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers.end()) return FALSE;
    timers.erase(it);
    return TRUE;
}
