// What a window holds besides its place: its title (WM_SETTEXT, GetWindowTextA,
// the back end's caption and the registry entry FindWindowA reads across
// processes), its icons, the GetWindowLongPtrA values and extra bytes, and
// DefWindowProcA, the default answer to every message.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/internal.h"

#include <algorithm>
#include <cstring>

using namespace user32;

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
        case WM_NCHITTEST: return NonClientHitTest(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
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
        return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
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
        return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
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
    if (!IsWindow(hwnd)) return platform::FailWith(ERROR_INVALID_WINDOW_HANDLE, FALSE);
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
