// The message queue: order, filters, quit, paint and timers; keyboard and
// mouse events from the window system; activation; the key state.
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"
#include "platform/winmm/winmm.h"
#include "window_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace windowtest;

namespace {

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareWindowSystem();
        cls_ = RegisterRecordingClass("Msg");
        hwnd_ = CreateTestWindow(cls_, 320, 240);
        ASSERT_NE(hwnd_, nullptr);
        TakeAll();
        ClearSeen();
    }
    void TearDown() override {
        platform::SetTimeOffsetForTest(0);
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        TakeAll();
        UnregisterClassA(cls_.c_str(), nullptr);
    }
    std::string cls_;
    HWND hwnd_ = nullptr;
};

TEST_F(MessageTest, PostedMessagesComeFirstInFirstOutWithinFilters) {
    PostMessageA(hwnd_, WM_USER + 1, 1, 0);
    PostMessageA(hwnd_, WM_APP, 2, 0);
    PostMessageA(nullptr, WM_USER + 2, 3, 0);  // a thread message
    PostMessageA(hwnd_, WM_USER + 3, 4, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));  // still there
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(static_cast<intptr_t>(-1)), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);  // -1 takes thread messages only
    EXPECT_EQ(msg.hwnd, nullptr);
    std::vector<MSG> rest = TakeAll();
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].wParam, 1u);
    EXPECT_EQ(rest[1].wParam, 4u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, QuitComesAfterPostedMessagesAndEndsGetMessage) {
    PostQuitMessage(7);
    PostMessageA(hwnd_, WM_USER, 0, 0);
    MSG msg;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 1);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // taken once
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x1234), 0, 0), -1);
}

TEST_F(MessageTest, PaintStaysUntilValidatedAndCoversTheInvalidArea) {
    RECT a{10, 10, 20, 20}, b{50, 5, 60, 15};
    InvalidateRect(hwnd_, &a, FALSE);
    InvalidateRect(hwnd_, &b, TRUE);
    PostMessageA(hwnd_, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));  // posted messages before paint
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_PAINT));  // removal does not validate
    PAINTSTRUCT ps;
    ASSERT_NE(BeginPaint(hwnd_, &ps), nullptr);
    EXPECT_EQ(ps.rcPaint.left, 10);
    EXPECT_EQ(ps.rcPaint.top, 5);
    EXPECT_EQ(ps.rcPaint.right, 60);
    EXPECT_EQ(ps.rcPaint.bottom, 20);
    EXPECT_TRUE(ps.fErase);
    EndPaint(hwnd_, &ps);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    RECT outside{400, 400, 500, 500};
    InvalidateRect(hwnd_, &outside, FALSE);  // beyond the client area: nothing to paint
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

int g_timerProcCalls = 0;
void CountingTimerProc(HWND, UINT, UINT_PTR, DWORD) { ++g_timerProcCalls; }

TEST_F(MessageTest, TimersFireWhenDueAndAgainAfterTheirPeriod) {
    ASSERT_EQ(SetTimer(hwnd_, 5, 100, nullptr), 5u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    platform::SetTimeOffsetForTest(150);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // one message per period, none piled up
    platform::SetTimeOffsetForTest(260);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_TRUE(KillTimer(hwnd_, 5));
    EXPECT_FALSE(KillTimer(hwnd_, 5));
    platform::SetTimeOffsetForTest(1000);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));

    g_timerProcCalls = 0;
    UINT_PTR id = SetTimer(nullptr, 0, 32, CountingTimerProc);
    ASSERT_NE(id, 0u);
    platform::SetTimeOffsetForTest(1100);
    ClearSeen();
    DispatchAll();
    EXPECT_EQ(g_timerProcCalls, 1);  // the procedure, not a window, got it
    EXPECT_TRUE(SeenMessages().empty());
    KillTimer(nullptr, id);
    // A destroyed window's timers go with it.
    SetTimer(hwnd_, 9, 10, nullptr);
    DestroyWindow(hwnd_);
    platform::SetTimeOffsetForTest(2000);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
}

TEST_F(MessageTest, KeyEventsBecomeKeyMessagesAndKeyStateFollowsTakenMessages) {
    ASSERT_TRUE(platform::InjectKey(hwnd_, "A", true));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ((msg.lParam >> 16) & 0xFF, 0x1E);  // scan code
    EXPECT_EQ(msg.lParam & 0xFFFF, 1);            // repeat count
    EXPECT_LT(GetAsyncKeyState('A'), 0);           // down now
    EXPECT_GE(GetKeyState('A'), 0);                // not yet for the thread: the message waits
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_LT(GetKeyState('A'), 0);
    BYTE keys[256];
    ASSERT_TRUE(GetKeyboardState(keys));
    EXPECT_EQ(keys['A'] & 0x80, 0x80);
    BYTE toggled = keys['A'] & 1;
    platform::InjectKey(hwnd_, "A", true, true);  // auto-repeat: previous-state bit, no new toggle
    platform::InjectKey(hwnd_, "A", false);
    std::vector<MSG> list = TakeAll();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_NE(list[0].lParam & (1L << 30), 0);
    EXPECT_EQ(list[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_NE(list[1].lParam & (1L << 31), 0);
    GetKeyboardState(keys);
    EXPECT_EQ(keys['A'], toggled);  // up, toggle unchanged by the repeat
}

TEST_F(MessageTest, KeyboardStateReportsAPressTakenAndReleasedBeforeTheReadOnce) {
    struct Case {
        const char* what;
        bool (*press)(HWND hwnd, bool down);
        int vk;
    };
    const Case cases[] = {
        {"key", [](HWND h, bool down) { return platform::InjectKey(h, "B", down); }, 'B'},
        {"mouse button", [](HWND h, bool down) { return platform::InjectMouseButton(h, 1, down, 10, 10); },
         VK_LBUTTON},
    };
    BYTE keys[256];
    for (const Case& c : cases) {
        ASSERT_TRUE(c.press(hwnd_, true) && c.press(hwnd_, false)) << c.what;
        DispatchAll();
        ASSERT_TRUE(GetKeyboardState(keys));
        EXPECT_EQ(keys[c.vk] & 0x80, 0x80) << c.what;
        EXPECT_GE(GetKeyState(c.vk), 0) << c.what << ": the thread's state itself is up";
        GetKeyboardState(keys);
        EXPECT_EQ(keys[c.vk] & 0x80, 0) << c.what << ": only once";
    }
}

TEST_F(MessageTest, ModifierSidesAndSystemKeys) {
    platform::InjectKey(hwnd_, "Left Shift", true);
    platform::InjectKey(hwnd_, "Right Shift", true);
    platform::InjectKey(hwnd_, "Right Shift", false);
    std::vector<MSG> list = TakeAll();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].wParam, static_cast<WPARAM>(VK_SHIFT));
    BYTE keys[256];
    GetKeyboardState(keys);
    EXPECT_TRUE(keys[VK_RSHIFT] & 0x80) << "pressed since the last read";
    GetKeyboardState(keys);
    EXPECT_TRUE(keys[VK_LSHIFT] & 0x80);
    EXPECT_FALSE(keys[VK_RSHIFT] & 0x80);
    EXPECT_TRUE(keys[VK_SHIFT] & 0x80);  // the left one still holds it
    platform::InjectKey(hwnd_, "Left Shift", false);

    platform::InjectKey(hwnd_, "Left Alt", true);
    platform::InjectKey(hwnd_, "X", true);
    platform::InjectKey(hwnd_, "X", false);
    platform::InjectKey(hwnd_, "Left Alt", false);
    list = TakeAll();
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[1].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(list[1].wParam, static_cast<WPARAM>(VK_MENU));
    EXPECT_EQ(list[2].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_NE(list[2].lParam & (1L << 29), 0);  // Alt held
    EXPECT_EQ(list[4].message, static_cast<UINT>(WM_SYSKEYUP));

    platform::InjectKey(hwnd_, "Return", true);
    platform::InjectKey(hwnd_, "Keypad Enter", true);
    platform::InjectKey(hwnd_, "Left", true);
    list = TakeAll(WM_KEYDOWN, WM_KEYDOWN);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].wParam, static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(list[1].wParam, static_cast<WPARAM>(VK_RETURN));
    EXPECT_EQ(list[0].lParam & (1L << 24), 0);
    EXPECT_NE(list[1].lParam & (1L << 24), 0);  // the keypad key is extended
    EXPECT_EQ(list[2].wParam, static_cast<WPARAM>(VK_LEFT));
    platform::InjectKey(hwnd_, "Return", false);
    platform::InjectKey(hwnd_, "Keypad Enter", false);
    platform::InjectKey(hwnd_, "Left", false);
    TakeAll();
}

TEST_F(MessageTest, TranslateMessageTypesTheKeysText) {
    auto dispatched = [] {
        ClearSeen();
        DispatchAll();
        std::vector<std::pair<UINT, WPARAM>> got;
        for (const Seen& s : SeenMessages())
            if (s.message != WM_PAINT) got.push_back({s.message, s.wParam});
        return got;
    };
    using List = std::vector<std::pair<UINT, WPARAM>>;
    platform::InjectKey(hwnd_, "A", true);
    platform::InjectText(hwnd_, "a");
    EXPECT_EQ(dispatched(), (List{{WM_KEYDOWN, 'A'}, {WM_CHAR, 'a'}}));
    // Text without a key (an input method's): the Shift-JIS bytes of a Japanese character, lead first.
    platform::InjectText(hwnd_, "\xE3\x81\x82");
    EXPECT_EQ(dispatched(), (List{{WM_CHAR, 0x82}, {WM_CHAR, 0xA0}}));
    // Keys without text type their control character, ahead of the next key.
    platform::InjectKey(hwnd_, "Return", true);
    platform::InjectKey(hwnd_, "B", true);
    EXPECT_EQ(dispatched(), (List{{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, '\r'}, {WM_KEYDOWN, 'B'}}));
    platform::InjectKey(hwnd_, "A", false);
    platform::InjectKey(hwnd_, "B", false);
    platform::InjectKey(hwnd_, "Return", false);
    TakeAll();
}

TEST_F(MessageTest, MouseEventsBecomeMouseMessagesAndMovesMerge) {
    platform::InjectMouseMove(hwnd_, 1, 1);
    platform::InjectMouseMove(hwnd_, 2, 2);
    platform::InjectMouseMove(hwnd_, 30, 40);
    platform::InjectMouseButton(hwnd_, 1, true, 30, 40);
    platform::InjectMouseMove(hwnd_, 31, 41);
    platform::InjectMouseButton(hwnd_, 1, false, 31, 41);
    platform::InjectMouseButton(hwnd_, 3, true, 31, 41);
    platform::InjectMouseButton(hwnd_, 2, true, 31, 41);
    platform::InjectMouseWheel(hwnd_, -2);
    std::vector<MSG> list = TakeAll();
    std::vector<UINT> ids;
    for (const MSG& m : list) ids.push_back(m.message);
    std::vector<UINT> expected = {WM_MOUSEMOVE,  WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP,
                                  WM_RBUTTONDOWN, WM_MBUTTONDOWN, WM_MOUSEWHEEL};
    ASSERT_EQ(ids, expected);
    EXPECT_EQ(GET_X_LPARAM(list[0].lParam), 30);  // three moves, one message, the last place
    EXPECT_EQ(GET_Y_LPARAM(list[0].lParam), 40);
    EXPECT_EQ(list[1].wParam & MK_LBUTTON, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(list[5].wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON), static_cast<WPARAM>(MK_RBUTTON | MK_MBUTTON));
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(list[6].wParam), -2 * WHEEL_DELTA);
    EXPECT_TRUE(GetKeyState(VK_RBUTTON) < 0);
    EXPECT_TRUE(GetKeyState(VK_MBUTTON) < 0);
    EXPECT_FALSE(GetKeyState(VK_LBUTTON) < 0);
    POINT p;
    ASSERT_TRUE(GetCursorPos(&p));
    ScreenToClient(hwnd_, &p);
    EXPECT_EQ(p.x, 31);
    EXPECT_EQ(p.y, 41);
    platform::InjectMouseButton(hwnd_, 3, false, 31, 41);
    platform::InjectMouseButton(hwnd_, 2, false, 31, 41);
    TakeAll();
}

TEST_F(MessageTest, ClicksInsideAChildGoToTheChild) {
    HWND child = CreateWindowExA(0, cls_.c_str(), "button", WS_CHILD | WS_VISIBLE, 100, 50, 80, 30, hwnd_,
                                 reinterpret_cast<HMENU>(1000), nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(GetParent(child), hwnd_);
    EXPECT_TRUE(IsChild(hwnd_, child));
    EXPECT_EQ(GetWindowLongPtrA(child, GWLP_ID), 1000);
    TakeAll();
    platform::InjectMouseButton(hwnd_, 1, true, 110, 60);
    platform::InjectMouseButton(hwnd_, 1, true, 180, 60);  // just past the child's right edge
    std::vector<MSG> list = TakeAll(WM_LBUTTONDOWN, WM_LBUTTONDOWN);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].hwnd, child);
    EXPECT_EQ(GET_X_LPARAM(list[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(list[0].lParam), 10);
    EXPECT_EQ(list[1].hwnd, hwnd_);
    DestroyWindow(hwnd_);
    EXPECT_FALSE(IsWindow(child));  // children go with their parent
    platform::InjectMouseButton(hwnd_, 1, false, 0, 0);
}

TEST_F(MessageTest, FocusEventsDeactivateAndActivateTheApplication) {
    ASSERT_EQ(GetActiveWindow(), hwnd_);
    platform::InjectFocus(hwnd_, false);
    DispatchAll();
    EXPECT_EQ(GetActiveWindow(), nullptr);
    platform::InjectFocus(hwnd_, true);
    DispatchAll();
    EXPECT_EQ(GetActiveWindow(), hwnd_);
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const Seen& s : SeenMessages())
        if (s.message == WM_ACTIVATE || s.message == WM_ACTIVATEAPP) got.push_back({s.message, LOWORD(s.wParam)});
    std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_ACTIVATE, WA_INACTIVE}, {WM_ACTIVATEAPP, FALSE}, {WM_ACTIVATEAPP, TRUE}, {WM_ACTIVATE, WA_ACTIVE}};
    EXPECT_EQ(got, expected);
    platform::InjectFocus(hwnd_, true);  // no change, no messages
    ClearSeen();
    DispatchAll();
    EXPECT_TRUE(SeenMessages().empty());
}

TEST_F(MessageTest, SendCallsTheProcedureAtOnceAndWindowDataIsKept) {
    EXPECT_EQ(SendMessageA(hwnd_, WM_USER + 5, 11, 22), 0);
    ASSERT_EQ(SeenMessages().size(), 1u);
    EXPECT_EQ(SeenMessages()[0].wParam, 11u);
    EXPECT_EQ(SendMessageA(reinterpret_cast<HWND>(0x4321), WM_USER, 0, 0), 0);
    EXPECT_EQ(SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd_, GWLP_USERDATA), 77);
    EXPECT_EQ(SetWindowLongPtrA(hwnd_, 8, 99), 0);  // within the class's 16 extra bytes
    EXPECT_EQ(GetWindowLongPtrA(hwnd_, 8), 99);
    EXPECT_EQ(GetWindowLongPtrA(hwnd_, 12), 0);  // would reach past the extra bytes
    EXPECT_NE(GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_VISIBLE, 0);
}

}  // namespace
