// Window records and their life: the shared state and the lookups every other
// file uses, CreateWindowExA and DestroyWindow, the window tree (IsWindow,
// IsChild, GetParent), message sending, and activation and keyboard focus
// (WM_ACTIVATE, WM_ACTIVATEAPP, WM_SETFOCUS and WM_KILLFOCUS in their order).
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/internal.h"

#include <algorithm>

namespace user32 {

State& S() {
    static State* state = new State();  // lives until exit, past static destructors
    return *state;
}

std::string Lower(const char* text) {
    std::string s = text != nullptr ? text : "";
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

WindowRecord* FindRecord(HWND hwnd) {
    auto it = S().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == S().windows.end() ? nullptr : it->second.get();
}

// The record of a window, or null with ERROR_INVALID_WINDOW_HANDLE set.
WindowRecord* RecordOrError(HWND hwnd) {
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

HWND TopLevelOf(HWND hwnd) {
    WindowRecord* w = FindRecord(hwnd);
    while (w != nullptr && w->parent != nullptr && (w->style & WS_CHILD)) w = FindRecord(w->parent);
    return w != nullptr ? w->hwnd : nullptr;
}

HWND WindowOfBackend(uint32_t backendId) {
    if (backendId == 0) return nullptr;
    for (auto& [handle, w] : S().windows)
        if (w->backendId == backendId && !w->destroying) return w->hwnd;
    return nullptr;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return 0;
        proc = w->proc;
    }
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}

static std::vector<HWND> TopLevelWindowsOfThread(DWORD threadId) {
    std::vector<HWND> list;
    for (auto& [handle, w] : S().windows)
        if (!(w->style & WS_CHILD) && w->threadId == threadId && !w->destroying) list.push_back(w->hwnd);
    return list;
}

void Activate(HWND hwnd) {
    HWND old;
    HWND oldFocus;
    bool appWasActive;
    std::vector<HWND> appWindows;
    bool minimized;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr || (w->style & WS_CHILD) || S().active == hwnd) return;
        old = S().active;
        appWasActive = old != nullptr;
        S().active = hwnd;
        oldFocus = QueueOf(w->threadId).focus;
        QueueOf(w->threadId).focus = hwnd;
        minimized = w->minimized;
        if (!appWasActive) appWindows = TopLevelWindowsOfThread(w->threadId);
    }
    if (old != nullptr) Send(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (oldFocus != nullptr && oldFocus != hwnd && IsWindow(oldFocus))
        Send(oldFocus, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    for (HWND each : appWindows) Send(each, WM_ACTIVATEAPP, TRUE, 0);
    Send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized ? 1 : 0), reinterpret_cast<LPARAM>(old));
    Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
}

void DeactivateApp(HWND hwnd) {
    std::vector<HWND> appWindows;
    HWND focus = hwnd;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr || S().active != hwnd) return;
        S().active = nullptr;
        appWindows = TopLevelWindowsOfThread(w->threadId);
        // A focused control loses the focus; the window takes it back on its next activation.
        ThreadQueue& q = QueueOf(w->threadId);
        if (q.focus != nullptr && q.focus != hwnd && TopLevelOf(q.focus) == hwnd) {
            focus = q.focus;
            q.focus = hwnd;
        }
    }
    Send(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
    Send(focus, WM_KILLFOCUS, 0, 0);
    for (HWND each : appWindows) Send(each, WM_ACTIVATEAPP, FALSE, 0);
}

// The rectangle a new window gets; CW_USEDEFAULT centres a top-level window.
static RECT InitialRect(DWORD style, int x, int y, int width, int height, bool child) {
    if (child) {
        if (x == CW_USEDEFAULT) x = y = 0;
        if (width == CW_USEDEFAULT) width = height = 0;
        return RECT{x, y, x + width, y + height};
    }
    int sw = 0, sh = 0;
    ScreenSize(&sw, &sh);
    if (width == CW_USEDEFAULT) {
        width = sw * 3 / 4;
        height = sh * 3 / 4;
    }
    if (x == CW_USEDEFAULT) {
        x = (sw - width) / 2;
        y = (sh - height) / 2;
    }
    (void)style;
    return RECT{x, y, x + width, y + height};
}

static void DestroyRecord(HWND hwnd) {
    std::string registryPath;
    uint32_t backend = 0;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return;
        registryPath = w->registryPath;
        backend = w->backendId;
        for (auto& [key, c] : S().classes)
            if (Lower(c.name.c_str()) == Lower(w->className.c_str()) && c.windowCount > 0) --c.windowCount;
        auto& timers = S().timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                     timers.end());
        for (auto& [thread, q] : S().queues) {
            auto& m = q.messages;
            m.erase(std::remove_if(m.begin(), m.end(), [&](const QueuedMessage& e) { return e.msg.hwnd == hwnd; }),
                    m.end());
            if (q.focus == hwnd) q.focus = nullptr;
        }
        if (S().active == hwnd) S().active = nullptr;
        if (S().capture == hwnd) S().capture = nullptr;
        S().menus.erase(reinterpret_cast<uintptr_t>(w->menu));  // a window's menu goes with it
        S().windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    }
    if (backend != 0) platform::sdl::DestroyVideoWindow(backend);
    if (!registryPath.empty()) RemoveRegistryEntry(registryPath);
}

void ApplyIcon(WindowRecord& w) {
    HICON icon = w.iconSmall != nullptr ? w.iconSmall : w.iconBig;
    if (icon == nullptr || w.backendId == 0) return;
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    if (platform::GetIconPixels(icon, &width, &height, &argb))
        platform::sdl::SetVideoWindowIcon(w.backendId, width, height, argb.data());
}

}  // namespace user32

using namespace user32;

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (auto error = seams::FailNow<DWORD>("CreateWindowExA", ERROR_NOT_ENOUGH_MEMORY))
        return platform::FailWith(*error, nullptr);
    EnsureControlClasses();
    HWND hwnd;
    std::string classNameCopy;
    {
        Lock lock(S().mutex);
        ClassRecord* c = FindClass(className);
        if (c == nullptr) return platform::FailWith(ERROR_CANNOT_FIND_WND_CLASS, nullptr);
        bool child = (style & WS_CHILD) != 0;
        if (child && FindRecord(parent) == nullptr) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, nullptr);
        if (!child && !(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;  // an overlapped window always has a caption
        auto record = std::make_unique<WindowRecord>();
        WindowRecord& w = *record;
        hwnd = reinterpret_cast<HWND>(S().nextHandle);
        S().nextHandle += 4;
        w.hwnd = hwnd;
        w.className = c->name;
        w.proc = c->proc;
        w.style = style & ~static_cast<DWORD>(WS_VISIBLE);
        w.exStyle = exStyle;
        w.title = windowName != nullptr ? windowName : "";
        w.parent = parent;
        w.controlId = child ? reinterpret_cast<LONG_PTR>(menu) : 0;
        w.instance = instance;
        w.extra.assign(static_cast<size_t>(c->windowExtra), 0);
        w.iconBig = c->icon;
        w.iconSmall = c->iconSmall;
        w.rect = InitialRect(style, x, y, width, height, child);
        w.threadId = GetCurrentThreadId();
        if (!child) {
            RECT client = ClientRectOf(w);
            POINT origin = ClientOriginOnScreen(w);
            platform::sdl::WindowPlacement p;
            p.x = origin.x;
            p.y = origin.y;
            p.clientWidth = client.right;
            p.clientHeight = client.bottom;
            w.backendId = platform::sdl::CreateVideoWindow(platform::ShiftJisToUtf8(w.title.c_str()), p);
            if (w.backendId == 0) return platform::FailWith(ERROR_NOT_ENOUGH_MEMORY, nullptr);
            SyncBackend(w);
            ApplyIcon(w);
        } else if (WindowRecord* top = FindRecord(TopLevelOf(parent))) {
            // A window holding controls shows a picture drawn now and then:
            // SDL's software renderer, not an OpenGL context, presents it.
            platform::sdl::UseSoftwareRenderer(top->backendId);
        }
        ++c->windowCount;
        classNameCopy = c->name;
        S().windows[reinterpret_cast<uintptr_t>(hwnd)] = std::move(record);
    }
    if (!(style & WS_CHILD)) {
        std::string path = AddRegistryEntry(classNameCopy, windowName != nullptr ? windowName : "");
        Lock lock(S().mutex);
        if (WindowRecord* w = FindRecord(hwnd)) w->registryPath = path;
    }
    CREATESTRUCTA cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName,
                     className, exStyle};
    if (Send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) == 0 ||
        Send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    if (style & WS_VISIBLE) ShowInternal(hwnd, true, true);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND CreateWindowA(LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                   HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    return CreateWindowExA(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}

BOOL DestroyWindow(HWND hwnd) {
    std::vector<HWND> children;
    bool wasActive;
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        if (w->destroying) return TRUE;
        wasActive = S().active == hwnd;
        for (auto& [handle, each] : S().windows)
            if (each->parent == hwnd && (each->style & WS_CHILD)) children.push_back(each->hwnd);
    }
    if (wasActive) DeactivateApp(hwnd);
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return TRUE;
        w->destroying = true;
        if (w->backendId != 0) platform::sdl::ShowVideoWindow(w->backendId, false);
    }
    Send(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children) DestroyWindow(child);
    Send(hwnd, WM_NCDESTROY, 0, 0);
    DestroyRecord(hwnd);
    return TRUE;
}

HWND GetDesktopWindow() {
    // Below the first handle CreateWindowExA gives, so never one of ours.
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000C));
}

BOOL IsWindow(HWND hwnd) {
    if (hwnd == GetDesktopWindow()) return TRUE;
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr && !w->destroying;
}

BOOL IsWindowVisible(HWND hwnd) {
    Lock lock(S().mutex);
    for (WindowRecord* w = FindRecord(hwnd); w != nullptr; w = FindRecord(w->parent)) {
        if (!w->visible) return FALSE;
        if (!(w->style & WS_CHILD)) return TRUE;
    }
    return FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    while (w != nullptr && (w->style & WS_CHILD)) {
        if (w->parent == parent) return TRUE;
        w = FindRecord(w->parent);
    }
    return FALSE;
}

HWND GetParent(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr && (w->style & WS_CHILD) ? w->parent : nullptr;
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : 0;
}

BOOL SetForegroundWindow(HWND hwnd) {
    uint32_t backend;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr || (w->style & WS_CHILD)) return FALSE;
        backend = w->backendId;
    }
    platform::sdl::RaiseVideoWindow(backend);
    Activate(hwnd);
    return TRUE;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = GetActiveWindow();
    if (!IsWindow(hwnd)) return nullptr;
    Activate(TopLevelOf(hwnd));
    return old;
}

HWND GetActiveWindow() {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(S().active);
    return w != nullptr && w->threadId == GetCurrentThreadId() ? w->hwnd : nullptr;
}

HWND GetForegroundWindow() {
    Lock lock(S().mutex);
    return S().active;
}

HWND SetFocus(HWND hwnd) {
    HWND old;
    {
        Lock lock(S().mutex);
        ThreadQueue& q = QueueOf(GetCurrentThreadId());
        old = q.focus;
        if ((hwnd != nullptr && FindRecord(hwnd) == nullptr) || hwnd == old) return old;
        q.focus = hwnd;
    }
    if (old != nullptr && IsWindow(old)) Send(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd != nullptr) Send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    Lock lock(S().mutex);
    return QueueOf(GetCurrentThreadId()).focus;
}

BOOL BringWindowToTop(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return FALSE;
    if (w->backendId != 0) platform::sdl::RaiseVideoWindow(w->backendId);
    return TRUE;
}

namespace platform {

uint32_t WindowBackendId(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr ? w->backendId : 0;
}

}  // namespace platform
