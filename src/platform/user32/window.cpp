// Window classes, windows, their rectangles, text, visibility and activation.
#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/internal.h"

#include <algorithm>
#include <cstring>

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
static WindowRecord* RecordOrError(HWND hwnd) {
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

RECT FrameInsets(DWORD style, bool menu, DWORD exStyle) {
    int frame = 0;
    if (style & WS_THICKFRAME)
        frame = kSizeFrame;
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME))
        frame = kFixedFrame;
    else if (style & WS_BORDER)
        frame = 1;
    if (exStyle & WS_EX_CLIENTEDGE) frame += 2;
    RECT r{frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION) r.top += kCaptionHeight;
    if (menu) r.top += kMenuHeight;
    return r;
}

RECT ClientRectOf(const WindowRecord& w) {
    RECT in = FrameInsets(w.style, false, w.exStyle);
    LONG width = std::max<LONG>(0, (w.rect.right - w.rect.left) - in.left - in.right);
    LONG height = std::max<LONG>(0, (w.rect.bottom - w.rect.top) - in.top - in.bottom);
    return RECT{0, 0, width, height};
}

POINT ClientOriginOnScreen(const WindowRecord& w) {
    RECT in = FrameInsets(w.style, false, w.exStyle);
    POINT p{w.rect.left + in.left, w.rect.top + in.top};
    if ((w.style & WS_CHILD) && w.parent != nullptr) {
        if (WindowRecord* parent = FindRecord(w.parent)) {
            POINT origin = ClientOriginOnScreen(*parent);
            p.x += origin.x;
            p.y += origin.y;
        }
    }
    return p;
}

static bool CoversScreen(const WindowRecord& w) {
    int sw = 0, sh = 0;
    ScreenSize(&sw, &sh);
    return w.rect.left <= 0 && w.rect.top <= 0 && w.rect.right >= sw && w.rect.bottom >= sh;
}

void SyncBackend(WindowRecord& w) {
    if (w.backendId == 0) return;
    RECT client = ClientRectOf(w);
    POINT origin = ClientOriginOnScreen(w);
    platform::sdl::WindowPlacement p;
    p.fullScreen = (w.style & WS_POPUP) && (w.style & WS_CAPTION) != WS_CAPTION && CoversScreen(w);
    p.x = origin.x;
    p.y = origin.y;
    p.clientWidth = client.right;
    p.clientHeight = client.bottom;
    p.borderless = (w.style & WS_CAPTION) != WS_CAPTION;
    p.resizable = (w.style & WS_THICKFRAME) && !p.fullScreen;
    w.appliedFullScreen = p.fullScreen;
    platform::sdl::PlaceVideoWindow(w.backendId, p);
}

void SyncAllBackends() {
    for (auto& [handle, w] : S().windows)
        if (w->backendId != 0 && !w->destroying) SyncBackend(*w);
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

static ATOM AddClass(const WNDCLASSEXA& wc) {
    if (wc.lpszClassName == nullptr || wc.lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock(S().mutex);
    if (IS_INTRESOURCE(wc.lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = Lower(wc.lpszClassName);
    if (S().classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassRecord c;
    c.name = wc.lpszClassName;
    c.atom = S().nextAtom++;
    c.style = wc.style;
    c.proc = wc.lpfnWndProc;
    c.classExtra = wc.cbClsExtra;
    c.windowExtra = std::max(wc.cbWndExtra, 0);
    c.instance = wc.hInstance;
    c.icon = wc.hIcon;
    c.iconSmall = wc.hIconSm;
    c.cursor = wc.hCursor;
    c.background = wc.hbrBackground;
    ATOM atom = c.atom;
    S().classes[key] = c;
    return atom;
}

static ClassRecord* FindClass(LPCSTR name) {
    if (name == nullptr) return nullptr;
    if (IS_INTRESOURCE(name)) {
        ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& [key, c] : S().classes)
            if (c.atom == atom) return &c;
        return nullptr;
    }
    auto it = S().classes.find(Lower(name));
    return it == S().classes.end() ? nullptr : &it->second;
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
        S().windows.erase(reinterpret_cast<uintptr_t>(hwnd));
    }
    if (backend != 0) platform::sdl::DestroyVideoWindow(backend);
    if (!registryPath.empty()) RemoveRegistryEntry(registryPath);
}

static void ApplyIcon(WindowRecord& w) {
    HICON icon = w.iconSmall != nullptr ? w.iconSmall : w.iconBig;
    if (icon == nullptr || w.backendId == 0) return;
    int width = 0, height = 0;
    std::vector<uint32_t> argb;
    if (platform::GetIconPixels(icon, &width, &height, &argb))
        platform::sdl::SetVideoWindowIcon(w.backendId, width, height, argb.data());
}

static void ShowInternal(HWND hwnd, bool show, bool activate);

}  // namespace user32

using namespace user32;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return AddClass(*wc);
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof ex;
    ex.style = wc->style;
    ex.lpfnWndProc = wc->lpfnWndProc;
    ex.cbClsExtra = wc->cbClsExtra;
    ex.cbWndExtra = wc->cbWndExtra;
    ex.hInstance = wc->hInstance;
    ex.hIcon = wc->hIcon;
    ex.hCursor = wc->hCursor;
    ex.hbrBackground = wc->hbrBackground;
    ex.lpszMenuName = wc->lpszMenuName;
    ex.lpszClassName = wc->lpszClassName;
    return AddClass(ex);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    Lock lock(S().mutex);
    ClassRecord* c = FindClass(className);
    if (c == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (c->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    S().classes.erase(Lower(c->name.c_str()));
    return TRUE;
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    if (seams::ShouldFailCall("CreateWindowExA")) {
        SetLastError(static_cast<DWORD>(seams::FailureResult("CreateWindowExA")));
        return nullptr;
    }
    EnsureControlClasses();
    HWND hwnd;
    std::string classNameCopy;
    {
        Lock lock(S().mutex);
        ClassRecord* c = FindClass(className);
        if (c == nullptr) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        bool child = (style & WS_CHILD) != 0;
        if (child && FindRecord(parent) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
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
            if (w.backendId == 0) {
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
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

BOOL IsWindow(HWND hwnd) {
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

static void SetTitle(HWND hwnd, const char* text) {
    std::string path;
    std::string className, title;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return;
        w->title = text != nullptr ? text : "";
        if (w->backendId != 0)
            platform::sdl::SetVideoWindowTitle(w->backendId, platform::ShiftJisToUtf8(w->title.c_str()));
        path = w->registryPath;
        className = w->className;
        title = w->title;
    }
    if (!path.empty()) {
        RemoveRegistryEntry(path);
        std::string fresh = AddRegistryEntry(className, title);
        Lock lock(S().mutex);
        if (WindowRecord* w = FindRecord(hwnd)) w->registryPath = fresh;
    }
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_NCCREATE: return TRUE;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_ERASEBKGND: return EraseBackground(hwnd);
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_SETTEXT: SetTitle(hwnd, reinterpret_cast<const char*>(lParam)); return TRUE;
        case WM_GETTEXTLENGTH: {
            Lock lock(S().mutex);
            WindowRecord* w = FindRecord(hwnd);
            return w != nullptr ? static_cast<LRESULT>(w->title.size()) : 0;
        }
        case WM_GETTEXT: return GetWindowTextA(hwnd, reinterpret_cast<LPSTR>(lParam), static_cast<int>(wParam));
        case WM_SETICON: {
            Lock lock(S().mutex);
            WindowRecord* w = FindRecord(hwnd);
            if (w == nullptr) return 0;
            HICON& slot = wParam == ICON_SMALL ? w->iconSmall : w->iconBig;
            HICON old = slot;
            slot = reinterpret_cast<HICON>(lParam);
            ApplyIcon(*w);
            return reinterpret_cast<LRESULT>(old);
        }
        case WM_SYSCOMMAND:
            switch (wParam & 0xFFF0) {
                case 0xF060: Send(hwnd, WM_CLOSE, 0, 0); return 0;  // SC_CLOSE
                case 0xF020: ShowWindow(hwnd, SW_MINIMIZE); return 0;
                case 0xF120: ShowWindow(hwnd, SW_RESTORE); return 0;
            }
            return 0;
        case WM_SYSKEYDOWN:
            if (wParam == 0x73 && (lParam & (1 << 29))) PostMessageA(hwnd, WM_SYSCOMMAND, 0xF060, 0);  // Alt+F4
            return 0;
        default: return 0;
    }
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index) {
    Lock lock(S().mutex);
    WindowRecord* w = RecordOrError(hwnd);
    if (w == nullptr) return 0;
    switch (index) {
        case GWL_STYLE: return static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0) | (w->minimized ? WS_MINIMIZE : 0));
        case GWL_EXSTYLE: return w->exStyle;
        case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
        case GWLP_USERDATA: return w->userData;
        case GWLP_ID: return w->controlId;
        case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
        case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent);
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, &w->extra[static_cast<size_t>(index)], sizeof value);
    return value;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value) {
    Lock lock(S().mutex);
    WindowRecord* w = RecordOrError(hwnd);
    if (w == nullptr) return 0;
    LONG_PTR old = 0;
    switch (index) {
        case GWL_STYLE:
            old = static_cast<LONG_PTR>(w->style | (w->visible ? WS_VISIBLE : 0));
            w->style = static_cast<DWORD>(value) & ~static_cast<DWORD>(WS_VISIBLE | WS_MINIMIZE);
            return old;
        case GWL_EXSTYLE: old = w->exStyle; w->exStyle = static_cast<DWORD>(value); return old;
        case GWLP_WNDPROC: old = reinterpret_cast<LONG_PTR>(w->proc); w->proc = reinterpret_cast<WNDPROC>(value); return old;
        case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
        case GWLP_ID: old = w->controlId; w->controlId = value; return old;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(&old, &w->extra[static_cast<size_t>(index)], sizeof old);
    std::memcpy(&w->extra[static_cast<size_t>(index)], &value, sizeof value);
    return old;
}

LONG GetWindowLongA(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrA(hwnd, index)); }
LONG SetWindowLongA(HWND hwnd, int index, LONG value) {
    LONG_PTR v = index == GWL_STYLE || index == GWL_EXSTYLE ? static_cast<LONG_PTR>(static_cast<DWORD>(value)) : value;
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, v));
}

BOOL SetWindowTextA(HWND hwnd, LPCSTR text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    return TRUE;
}

int GetWindowTextA(HWND hwnd, LPSTR buffer, int size) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || buffer == nullptr || size <= 0) return 0;
    int n = std::min(static_cast<int>(w->title.size()), size - 1);
    std::memcpy(buffer, w->title.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    {
        Lock lock(S().mutex);
        std::string wantedClass = className != nullptr && !IS_INTRESOURCE(className) ? Lower(className) : "";
        for (auto& [handle, w] : S().windows) {
            if (w->destroying || (w->style & WS_CHILD)) continue;
            if (className != nullptr && Lower(w->className.c_str()) != wantedClass) continue;
            if (windowName != nullptr && w->title != windowName) continue;
            return w->hwnd;
        }
    }
    if (className != nullptr && IS_INTRESOURCE(className)) return nullptr;
    if (FindRegistryEntry(className, windowName)) {
        // A window of another process: a handle that names no window of ours.
        return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x0FFF0));
    }
    return nullptr;
}

namespace user32 {

static void ShowInternal(HWND hwnd, bool show, bool activate) {
    bool topLevel;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return;
        topLevel = !(w->style & WS_CHILD);
        bool changed = w->visible != show;
        w->visible = show;
        if (w->backendId != 0 && changed) platform::sdl::ShowVideoWindow(w->backendId, show);
        if (show && changed) {
            w->invalid = true;
            w->invalidRect = ClientRectOf(*w);
            w->eraseInvalid = true;
        }
    }
    if (!topLevel) return;
    if (show && activate) Activate(hwnd);
    if (!show) DeactivateApp(hwnd);
}

}  // namespace user32

BOOL ShowWindow(HWND hwnd, int command) {
    bool wasVisible, minimized;
    uint32_t backend;
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        wasVisible = w->visible;
        minimized = w->minimized;
        backend = w->backendId;
    }
    switch (command) {
        case SW_HIDE: ShowInternal(hwnd, false, false); break;
        case SW_MINIMIZE:
        case SW_SHOWMINIMIZED:
        case SW_SHOWMINNOACTIVE: {
            ShowInternal(hwnd, true, false);
            {
                Lock lock(S().mutex);
                if (WindowRecord* w = FindRecord(hwnd)) w->minimized = true;
            }
            if (backend != 0) platform::sdl::MinimizeVideoWindow(backend);
            if (command == SW_MINIMIZE) DeactivateApp(hwnd);
            Send(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
            break;
        }
        case SW_SHOWNOACTIVATE:
        case SW_SHOWNA: ShowInternal(hwnd, true, false); break;
        case SW_RESTORE:
        case SW_SHOWNORMAL:
        case SW_SHOWDEFAULT:
        case SW_SHOWMAXIMIZED:
        default:
            if (minimized) {
                {
                    Lock lock(S().mutex);
                    if (WindowRecord* w = FindRecord(hwnd)) w->minimized = false;
                }
                if (backend != 0) platform::sdl::RestoreVideoWindow(backend);
                RECT client{};
                GetClientRect(hwnd, &client);
                Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
            }
            ShowInternal(hwnd, true, true);
            break;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd) {
    bool invalid;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return FALSE;
        invalid = w->invalid && w->visible;
    }
    if (invalid) Send(hwnd, WM_PAINT, 0, 0);
    return TRUE;
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

BOOL IsIconic(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr && w->minimized;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ClientRectOf(*w);
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    if ((w->style & WS_CHILD) && w->parent != nullptr) {
        if (WindowRecord* parent = FindRecord(w->parent)) {
            POINT origin = ClientOriginOnScreen(*parent);
            rect->left += origin.x;
            rect->right += origin.x;
            rect->top += origin.y;
            rect->bottom += origin.y;
        }
    }
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (rect == nullptr) return FALSE;
    RECT in = FrameInsets(style, menu != FALSE, exStyle);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL SetWindowPos(HWND hwnd, HWND, int x, int y, int cx, int cy, UINT flags) {
    bool moved = false, sized = false;
    RECT client{};
    POINT position{};
    {
        Lock lock(S().mutex);
        WindowRecord* w = RecordOrError(hwnd);
        if (w == nullptr) return FALSE;
        RECT r = w->rect;
        if (!(flags & SWP_NOMOVE)) {
            moved = r.left != x || r.top != y;
            r.right = x + (r.right - r.left);
            r.bottom = y + (r.bottom - r.top);
            r.left = x;
            r.top = y;
        }
        if (!(flags & SWP_NOSIZE)) {
            cx = std::max(cx, 0);
            cy = std::max(cy, 0);
            sized = (r.right - r.left) != cx || (r.bottom - r.top) != cy;
            r.right = r.left + cx;
            r.bottom = r.top + cy;
        }
        RECT oldClient = ClientRectOf(*w);
        w->rect = r;
        client = ClientRectOf(*w);
        sized = sized || oldClient.right != client.right || oldClient.bottom != client.bottom;
        position = POINT{r.left, r.top};
        SyncBackend(*w);
    }
    if (flags & SWP_HIDEWINDOW) ShowInternal(hwnd, false, false);
    if (flags & SWP_SHOWWINDOW) ShowInternal(hwnd, true, !(flags & SWP_NOACTIVATE));
    if (moved) Send(hwnd, WM_MOVE, 0, MAKELPARAM(position.x, position.y));
    if (sized) {
        Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        InvalidateRect(hwnd, nullptr, TRUE);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || point == nullptr) return FALSE;
    POINT origin = ClientOriginOnScreen(*w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || point == nullptr) return FALSE;
    POINT origin = ClientOriginOnScreen(*w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
}

static RECT UnionRect(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Lock lock(S().mutex);
    if (hwnd == nullptr) {
        for (auto& [handle, w] : S().windows)
            if (!(w->style & WS_CHILD)) InvalidateRect(w->hwnd, nullptr, erase);
        return TRUE;
    }
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return FALSE;
    RECT client = ClientRectOf(*w);
    RECT r = rect != nullptr ? *rect : client;
    r.left = std::max(r.left, 0);
    r.top = std::max(r.top, 0);
    r.right = std::min(r.right, client.right);
    r.bottom = std::min(r.bottom, client.bottom);
    if (r.right <= r.left || r.bottom <= r.top) return TRUE;
    w->invalidRect = w->invalid ? UnionRect(w->invalidRect, r) : r;
    w->invalid = true;
    w->eraseInvalid = w->eraseInvalid || erase;
    QueueOf(w->threadId).wake.notify_all();
    // Without WS_CLIPCHILDREN the window paints over its children: they paint again after it.
    if (!(w->style & WS_CLIPCHILDREN)) {
        for (auto& [handle, child] : S().windows) {
            if (child->parent != hwnd || !(child->style & WS_CHILD) || !child->visible || child->destroying) continue;
            RECT in = FrameInsets(child->style, false, child->exStyle);
            LONG dx = child->rect.left + in.left, dy = child->rect.top + in.top;
            RECT local{r.left - dx, r.top - dy, r.right - dx, r.bottom - dy};
            InvalidateRect(child->hwnd, &local, erase);
        }
    }
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return FALSE;
    w->invalid = false;
    w->eraseInvalid = false;
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr || !w->invalid) {
        if (rect != nullptr) *rect = RECT{0, 0, 0, 0};
        return FALSE;
    }
    if (rect != nullptr) *rect = w->invalidRect;
    return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    if (paint == nullptr) return nullptr;
    *paint = PAINTSTRUCT{};
    bool erase;
    {
        Lock lock(S().mutex);
        WindowRecord* w = FindRecord(hwnd);
        if (w == nullptr) return nullptr;
        paint->rcPaint = w->invalid ? w->invalidRect : RECT{0, 0, 0, 0};
        erase = w->eraseInvalid;
        w->invalid = false;
        w->eraseInvalid = false;
        w->painting = true;
        w->paintRect = paint->rcPaint;
    }
    paint->hdc = GetDC(hwnd);
    // The background first; fErase asks the window to erase it when WM_ERASEBKGND did not.
    if (erase) paint->fErase = Send(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint->hdc), 0) == 0 ? TRUE : FALSE;
    return paint->hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    {
        Lock lock(S().mutex);
        if (WindowRecord* w = FindRecord(hwnd)) w->painting = false;
    }
    if (paint == nullptr || paint->hdc == nullptr) return FALSE;
    ReleaseDC(hwnd, paint->hdc);
    return TRUE;
}

namespace platform {

uint32_t WindowBackendId(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    return w != nullptr ? w->backendId : 0;
}

HWND PictureWindow(HWND hwnd, POINT* clientOffset) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(hwnd);
    if (w == nullptr) return nullptr;
    HWND top = TopLevelOf(hwnd);
    WindowRecord* t = FindRecord(top);
    if (t == nullptr) return nullptr;
    if (clientOffset != nullptr) {
        POINT a = ClientOriginOnScreen(*w);
        POINT b = ClientOriginOnScreen(*t);
        *clientOffset = POINT{a.x - b.x, a.y - b.y};
    }
    return top;
}

}  // namespace platform
