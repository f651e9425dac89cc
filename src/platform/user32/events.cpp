// The window system's events as window messages, and the keyboard state. SDL's
// key, text, mouse and window events become WM_KEYDOWN, WM_CHAR, mouse messages
// (to the deepest child under the cursor), WM_SIZE, WM_MOVE, WM_CLOSE and
// activation; the thread's key state follows the messages as they are taken,
// the asynchronous state follows the events. Tests inject events here too.
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/internal.h"

namespace user32 {

// pressed, when given, marks the keys that went down (the latch of
// GetKeyboardState).
static void SetKey(BYTE* keys, int vk, bool down, bool* pressed = nullptr) {
    if (vk <= 0 || vk > 255) return;
    if (down && !(keys[vk] & 0x80)) {
        keys[vk] ^= 0x01;
        if (pressed != nullptr) pressed[vk] = true;
    }
    keys[vk] = static_cast<BYTE>((keys[vk] & 0x01) | (down ? 0x80 : 0));
}

// The generic Shift, Ctrl and Alt keys follow their two sides.
static void SetKeyWithGeneric(BYTE* keys, int vk, bool down, bool* pressed = nullptr) {
    SetKey(keys, vk, down, pressed);
    int generic = 0, left = 0, right = 0;
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) generic = VK_SHIFT, left = VK_LSHIFT, right = VK_RSHIFT;
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) generic = VK_CONTROL, left = VK_LCONTROL, right = VK_RCONTROL;
    if (vk == VK_LMENU || vk == VK_RMENU) generic = VK_MENU, left = VK_LMENU, right = VK_RMENU;
    if (generic != 0) SetKey(keys, generic, ((keys[left] | keys[right]) & 0x80) != 0, pressed);
}

void ApplyToKeyState(ThreadQueue& q, const QueuedMessage& m) {
    switch (m.msg.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            SetKeyWithGeneric(q.keys, m.specificVk, true, q.pressedSinceRead);
            q.lastKey = m;
            q.lastKeyValid = true;
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP: SetKeyWithGeneric(q.keys, m.specificVk, false); break;
        case WM_LBUTTONDOWN: SetKey(q.keys, VK_LBUTTON, true, q.pressedSinceRead); break;
        case WM_LBUTTONUP: SetKey(q.keys, VK_LBUTTON, false); break;
        case WM_RBUTTONDOWN: SetKey(q.keys, VK_RBUTTON, true, q.pressedSinceRead); break;
        case WM_RBUTTONUP: SetKey(q.keys, VK_RBUTTON, false); break;
        case WM_MBUTTONDOWN: SetKey(q.keys, VK_MBUTTON, true, q.pressedSinceRead); break;
        case WM_MBUTTONUP: SetKey(q.keys, VK_MBUTTON, false); break;
    }
}

static bool AsyncDown(int vk) { return (S().asyncKeys[vk] & 0x80) != 0; }

static void SetAsync(int vk, bool down) {
    if (down && !AsyncDown(vk)) S().asyncPressed[vk] = true;
    SetKeyWithGeneric(S().asyncKeys, vk, down);
    if (down) {
        if (vk == VK_LSHIFT || vk == VK_RSHIFT) S().asyncPressed[VK_SHIFT] = true;
        if (vk == VK_LCONTROL || vk == VK_RCONTROL) S().asyncPressed[VK_CONTROL] = true;
        if (vk == VK_LMENU || vk == VK_RMENU) S().asyncPressed[VK_MENU] = true;
    }
}

static WPARAM MouseKeyFlags() {
    WPARAM flags = 0;
    if (AsyncDown(VK_LBUTTON)) flags |= MK_LBUTTON;
    if (AsyncDown(VK_RBUTTON)) flags |= MK_RBUTTON;
    if (AsyncDown(VK_MBUTTON)) flags |= MK_MBUTTON;
    if (AsyncDown(VK_SHIFT)) flags |= MK_SHIFT;
    if (AsyncDown(VK_CONTROL)) flags |= MK_CONTROL;
    return flags;
}

static int GenericVk(int vk) {
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) return VK_SHIFT;
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) return VK_CONTROL;
    if (vk == VK_LMENU || vk == VK_RMENU) return VK_MENU;
    return vk;
}

// The deepest visible child under a client point of a window (the window itself
// when none); the point comes back in that window's client coordinates.
static HWND HitTest(HWND hwnd, POINT* pt) {
    for (auto& [handle, w] : S().windows) {
        if (w->parent != hwnd || !(w->style & WS_CHILD) || !w->visible || w->destroying) continue;
        if (pt->x >= w->rect.left && pt->x < w->rect.right && pt->y >= w->rect.top && pt->y < w->rect.bottom) {
            POINT inner{pt->x - w->rect.left, pt->y - w->rect.top};
            RECT in = FrameInsets(w->style, false, w->exStyle);
            inner.x -= in.left;
            inner.y -= in.top;
            *pt = inner;
            return HitTest(w->hwnd, pt);
        }
    }
    return hwnd;
}

static HWND KeyTarget(HWND top) {
    WindowRecord* w = FindRecord(top);
    if (w == nullptr) return nullptr;
    HWND focus = QueueOf(w->threadId).focus;
    if (focus != nullptr && (focus == top || IsChild(top, focus))) return focus;
    return top;
}

static void QueueKey(HWND top, const platform::sdl::VideoEvent& ev, QueuedMessage** lastKeyDown) {
    bool down = ev.type == platform::sdl::VideoEvent::KeyDown;
    bool wasDown = AsyncDown(ev.vk);
    SetAsync(ev.vk, down);
    bool alt = AsyncDown(VK_MENU);
    bool system = alt || ev.vk == VK_F10 || (!down && (ev.vk == VK_LMENU || ev.vk == VK_RMENU));
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    LPARAM lParam = 1 | (static_cast<LPARAM>(ev.scanCode) << 16);
    if (ev.extended) lParam |= 1L << 24;
    if (alt && message != WM_KEYDOWN && message != WM_KEYUP) lParam |= 1L << 29;
    if (!down || wasDown) lParam |= 1L << 30;
    if (!down) lParam |= 1L << 31;
    lParam &= 0xFFFFFFFFL;
    HWND target = KeyTarget(top);
    QueuedMessage m = MakeMessage(target, message, static_cast<WPARAM>(GenericVk(ev.vk)), lParam);
    m.specificVk = ev.vk;
    WindowRecord* w = FindRecord(target);
    if (w == nullptr) return;
    Enqueue(target, w->threadId, m);
    ThreadQueue& q = QueueOf(w->threadId);
    *lastKeyDown = down && !q.messages.empty() ? &q.messages.back() : nullptr;
}

static void QueueText(HWND top, const std::string& utf8, QueuedMessage** lastKeyDown) {
    std::string text = platform::Utf8ToShiftJis(utf8.c_str());
    if (*lastKeyDown != nullptr && (*lastKeyDown)->text.empty()) {
        (*lastKeyDown)->text = text;  // TranslateMessage turns it into WM_CHAR
        *lastKeyDown = nullptr;
        return;
    }
    HWND target = KeyTarget(top);
    WindowRecord* w = FindRecord(target);
    if (w == nullptr) return;
    for (char c : text)
        Enqueue(target, w->threadId, MakeMessage(target, WM_CHAR, static_cast<unsigned char>(c), 1));
}

static void QueueMouse(HWND top, const platform::sdl::VideoEvent& ev) {
    WindowRecord* tw = FindRecord(top);
    if (tw == nullptr) return;
    using E = platform::sdl::VideoEvent;
    if (ev.type != E::MouseWheel) {  // a wheel event carries no position
        POINT origin = ClientOriginOnScreen(*tw);
        S().cursorPos = POINT{origin.x + ev.x, origin.y + ev.y};
    }
    UINT message = WM_MOUSEMOVE;
    if (ev.type == E::MouseDown || ev.type == E::MouseUp) {
        bool down = ev.type == E::MouseDown;
        int vk = ev.button == 1 ? VK_LBUTTON : ev.button == 3 ? VK_RBUTTON : VK_MBUTTON;
        SetAsync(vk, down);
        if (ev.button == 1) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        if (ev.button == 3) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        if (ev.button == 2) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    }
    if (ev.type == E::MouseWheel) {
        HWND target = KeyTarget(top);
        WindowRecord* w = FindRecord(target);
        if (w == nullptr) return;
        WPARAM wParam = MAKEWPARAM(MouseKeyFlags(), static_cast<WORD>(static_cast<short>(ev.wheel * WHEEL_DELTA)));
        Enqueue(target, w->threadId,
                MakeMessage(target, WM_MOUSEWHEEL, wParam, MAKELPARAM(S().cursorPos.x, S().cursorPos.y)));
        return;
    }
    POINT pt{ev.x, ev.y};
    HWND target = HitTest(top, &pt);
    WindowRecord* w = FindRecord(target);
    if (w == nullptr) return;
    Enqueue(target, w->threadId, MakeMessage(target, message, MouseKeyFlags(), MAKELPARAM(pt.x, pt.y)));
}

// What a window-system event asks of a window after the lock is released.
struct Followup {
    enum Kind { None, Activate, Deactivate, Size, Move, CloseAll } kind = None;
    HWND hwnd = nullptr;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

static Followup HandleEvent(const platform::sdl::VideoEvent& ev, QueuedMessage** lastKeyDown) {
    using E = platform::sdl::VideoEvent;
    Followup f;
    if (ev.type == E::Quit) {
        f.kind = Followup::CloseAll;
        return f;
    }
    HWND top = WindowOfBackend(ev.windowId);
    WindowRecord* w = FindRecord(top);
    if (w == nullptr) return f;
    f.hwnd = top;
    switch (ev.type) {
        case E::KeyDown:
        case E::KeyUp: QueueKey(top, ev, lastKeyDown); break;
        case E::Text: QueueText(top, ev.text, lastKeyDown); break;
        case E::MouseMove:
        case E::MouseDown:
        case E::MouseUp:
        case E::MouseWheel: QueueMouse(top, ev); break;
        case E::FocusGained: f.kind = Followup::Activate; break;
        case E::FocusLost: f.kind = Followup::Deactivate; break;
        case E::Close: Enqueue(top, w->threadId, MakeMessage(top, WM_CLOSE, 0, 0)); break;
        case E::Exposed: InvalidateRect(top, nullptr, FALSE); break;
        case E::Minimized:
            w->minimized = true;
            f.kind = Followup::Size;
            f.wParam = SIZE_MINIMIZED;
            break;
        case E::Maximized:
        case E::Restored: {
            w->minimized = false;
            RECT client = ClientRectOf(*w);
            f.kind = Followup::Size;
            f.wParam = ev.type == E::Maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
            f.lParam = MAKELPARAM(client.right, client.bottom);
            break;
        }
        case E::Resized: {
            RECT in = FrameOf(*w);
            w->rect.right = w->rect.left + in.left + ev.x + in.right;
            w->rect.bottom = w->rect.top + in.top + ev.y + in.bottom;
            f.kind = Followup::Size;
            f.wParam = SIZE_RESTORED;
            f.lParam = MAKELPARAM(ev.x, ev.y);
            InvalidateRect(top, nullptr, TRUE);
            break;
        }
        case E::Moved: {
            RECT in = FrameOf(*w);
            LONG width = w->rect.right - w->rect.left, height = w->rect.bottom - w->rect.top;
            w->rect.left = ev.x - in.left;
            w->rect.top = ev.y - in.top;
            w->rect.right = w->rect.left + width;
            w->rect.bottom = w->rect.top + height;
            f.kind = Followup::Move;
            f.lParam = MAKELPARAM(ev.x, ev.y);
            break;
        }
        case E::Quit: break;
    }
    return f;
}

void PumpWindowSystem() {
    if (!platform::sdl::IsVideoThread()) return;
    std::vector<platform::sdl::VideoEvent> events;
    platform::sdl::PollVideoEvents(&events);
    if (events.empty()) return;
    QueuedMessage* lastKeyDown = nullptr;
    for (const auto& ev : events) {
        Followup f;
        {
            Lock lock(S().mutex);
            f = HandleEvent(ev, &lastKeyDown);
        }
        if (f.kind != Followup::None) lastKeyDown = nullptr;  // sent messages may change the queue
        switch (f.kind) {
            case Followup::None: break;
            case Followup::Activate: Activate(f.hwnd); break;
            case Followup::Deactivate: DeactivateApp(f.hwnd); break;
            case Followup::Size: Send(f.hwnd, WM_SIZE, f.wParam, f.lParam); break;
            case Followup::Move: Send(f.hwnd, WM_MOVE, 0, f.lParam); break;
            case Followup::CloseAll: {
                // An interrupt or termination request closes every top-level window.
                Lock lock(S().mutex);
                for (auto& [handle, w] : S().windows)
                    if (!(w->style & WS_CHILD) && !w->destroying)
                        Enqueue(w->hwnd, w->threadId, MakeMessage(w->hwnd, WM_CLOSE, 0, 0));
                break;
            }
        }
    }
}

}  // namespace user32

using namespace user32;

BOOL GetKeyboardState(BYTE* keyState) {
    if (keyState == nullptr) return FALSE;
    Lock lock(S().mutex);
    ThreadQueue& q = QueueOf(GetCurrentThreadId());
    // A key pressed and released since the last read reads as down this once.
    for (int vk = 0; vk < 256; ++vk) {
        keyState[vk] = static_cast<BYTE>(q.keys[vk] | (q.pressedSinceRead[vk] ? 0x80 : 0));
        q.pressedSinceRead[vk] = false;
    }
    return TRUE;
}

SHORT GetKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    Lock lock(S().mutex);
    BYTE b = QueueOf(GetCurrentThreadId()).keys[vk];
    return static_cast<SHORT>(((b & 0x80) ? 0xFF80 : 0) | (b & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
    if (vk < 0 || vk > 255) return 0;
    PumpWindowSystem();
    Lock lock(S().mutex);
    SHORT result = static_cast<SHORT>(((S().asyncKeys[vk] & 0x80) ? 0x8000 : 0) | (S().asyncPressed[vk] ? 1 : 0));
    S().asyncPressed[vk] = false;
    return result;
}

namespace platform {

static uint32_t BackendOf(HWND hwnd) {
    Lock lock(S().mutex);
    WindowRecord* w = FindRecord(TopLevelOf(hwnd));
    return w != nullptr ? w->backendId : 0;
}

bool InjectKey(HWND hwnd, const char* keyName, bool down, bool repeat) {
    int scancode = sdl::ScancodeFromName(keyName);
    uint32_t id = BackendOf(hwnd);
    return scancode >= 0 && id != 0 && sdl::PushKeyEvent(id, scancode, down, repeat);
}

bool InjectText(HWND hwnd, const char* utf8) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushTextEvent(id, utf8);
}

bool InjectMouseMove(HWND hwnd, int x, int y) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushMouseMotion(id, x, y);
}

bool InjectMouseButton(HWND hwnd, int button, bool down, int x, int y) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushMouseButton(id, button, down, x, y);
}

bool InjectMouseWheel(HWND hwnd, int notches) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushMouseWheel(id, notches);
}

bool InjectFocus(HWND hwnd, bool gained) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 &&
           sdl::PushWindowEvent(id, gained ? sdl::WindowEventKind::FocusGained : sdl::WindowEventKind::FocusLost);
}

bool InjectCloseRequest(HWND hwnd) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushWindowEvent(id, sdl::WindowEventKind::Close);
}

bool InjectExpose(HWND hwnd) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushWindowEvent(id, sdl::WindowEventKind::Exposed);
}

bool InjectResize(HWND hwnd, int width, int height) {
    uint32_t id = BackendOf(hwnd);
    return id != 0 && sdl::PushWindowEvent(id, sdl::WindowEventKind::Resized, width, height);
}

}  // namespace platform
