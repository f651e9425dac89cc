// Window classes: RegisterClassA and RegisterClassExA record a class under its
// name (compared without case) and a fresh atom; UnregisterClassA refuses a
// class that still has windows. CreateWindowExA finds a class here by name or atom.
#include "platform/kernel32/kernel32.h"
#include "platform/user32/internal.h"

#include <algorithm>

namespace user32 {

static ATOM AddClass(const WNDCLASSEXA& wc) {
    if (wc.lpszClassName == nullptr || wc.lpfnWndProc == nullptr) return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
    Lock lock(S().mutex);
    if (IS_INTRESOURCE(wc.lpszClassName)) return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
    std::string key = Lower(wc.lpszClassName);
    if (S().classes.count(key)) return platform::FailWith(ERROR_CLASS_ALREADY_EXISTS, 0);
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

ClassRecord* FindClass(LPCSTR name) {
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

}  // namespace user32

using namespace user32;

ATOM RegisterClassExA(const WNDCLASSEXA* wc) {
    if (wc == nullptr) return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
    return AddClass(*wc);
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (wc == nullptr) return platform::FailWith(ERROR_INVALID_PARAMETER, 0);
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
    if (c == nullptr) return platform::FailWith(ERROR_CLASS_DOES_NOT_EXIST, FALSE);
    if (c->windowCount > 0) return platform::FailWith(ERROR_CLASS_HAS_WINDOWS, FALSE);
    S().classes.erase(Lower(c->name.c_str()));
    return TRUE;
}
