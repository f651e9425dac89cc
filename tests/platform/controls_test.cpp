// The "BUTTON" controls: checking and groups, clicks by mouse (with capture)
// and by the space bar, focus, dialog-item calls, and what they draw into the
// top-level window's picture; the interface font's text.
#include "platform/gdi32/gdi32.h"
#include "platform/sdl/sdl_text.h"
#include "platform/sdl/sdl_video.h"
#include "platform/user32/controls.h"
#include "window_test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace windowtest;

namespace {

HWND MakeButton(HWND parent, const char* text, DWORD style, int x, int y, int w, int h, int id) {
    return CreateWindowExA(0, "BUTTON", text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

LONG_PTR State(HWND button) { return SendMessageA(button, BM_GETSTATE, 0, 0); }
uint32_t Pixel(COLORREF c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// A 320x240 recording window whose class brush is white.
class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PrepareWindowSystem();
        static int serial = 0;
        cls_ = "Controls" + std::to_string(++serial);
        WNDCLASSA wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = cls_.c_str();
        ASSERT_NE(RegisterClassA(&wc), 0);
        parent_ = CreateTestWindow(cls_, 320, 240);
        ASSERT_NE(parent_, nullptr);
        DispatchAll();
        ClearSeen();
    }
    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        TakeAll();
        UnregisterClassA(cls_.c_str(), nullptr);
    }
    void ClickAt(int x, int y) {
        platform::InjectMouseButton(parent_, 1, true, x, y);
        platform::InjectMouseButton(parent_, 1, false, x, y);
        DispatchAll();
    }
    void PressSpace() {
        platform::InjectKey(parent_, "Space", true);
        platform::InjectKey(parent_, "Space", false);
        DispatchAll();
    }
    // The BN_CLICKED notifications the window was sent, as control ids.
    std::vector<int> Clicks() {
        std::vector<int> ids;
        for (const Seen& s : SeenMessages())
            if (s.hwnd == parent_ && s.message == WM_COMMAND && HIWORD(s.wParam) == BN_CLICKED) {
                ids.push_back(LOWORD(s.wParam));
                EXPECT_EQ(GetDlgItem(parent_, LOWORD(s.wParam)), reinterpret_cast<HWND>(s.lParam));
            }
        return ids;
    }
    std::vector<uint32_t> Picture() {
        DispatchAll();
        std::vector<uint32_t> pixels;
        int w = 0, h = 0;
        EXPECT_TRUE(platform::ReadWindowPicture(parent_, &pixels, &w, &h));
        pixels.resize(320 * 240);
        for (uint32_t& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }
    static uint32_t At(const std::vector<uint32_t>& p, int x, int y) { return p[static_cast<size_t>(y) * 320 + x]; }
    static int Ink(const std::vector<uint32_t>& p, RECT r) {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) n += (At(p, x, y) & 0xFF) < 0x60;
        return n;
    }
    std::string cls_;
    HWND parent_ = nullptr;
};

TEST_F(ControlsTest, AutoRadioButtonsCheckThemselvesAndClearOnlyTheAutoButtonsOfTheirGroup) {
    HWND a = MakeButton(parent_, "a", WS_GROUP | BS_AUTORADIOBUTTON, 0, 0, 60, 20, 1);
    MakeButton(parent_, "b", BS_AUTORADIOBUTTON, 0, 20, 60, 20, 2);
    HWND c = MakeButton(parent_, "c", BS_RADIOBUTTON, 0, 40, 60, 20, 3);
    HWND d = MakeButton(parent_, "d", WS_GROUP | BS_AUTORADIOBUTTON, 0, 60, 60, 20, 4);
    MakeButton(parent_, "e", BS_AUTORADIOBUTTON, 0, 80, 60, 20, 5);
    CheckRadioButton(parent_, 1, 2, 1);
    SendMessageA(c, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(d, BM_SETCHECK, BST_CHECKED, 0);
    auto checked = [&] {
        std::string s;
        for (int id = 1; id <= 5; ++id) s += IsDlgButtonChecked(parent_, id) == BST_CHECKED ? 'x' : '.';
        return s;
    };
    ClickAt(30, 30);  // b: a goes; c is not automatic and d is in another group
    EXPECT_EQ(checked(), ".xxx.");
    SendMessageA(c, BM_SETCHECK, BST_UNCHECKED, 0);
    ClickAt(30, 50);  // c notifies but checks nothing itself
    EXPECT_EQ(checked(), ".x.x.");
    ClickAt(30, 90);  // e
    EXPECT_EQ(checked(), ".x..x");
    EXPECT_EQ(Clicks(), (std::vector<int>{2, 3, 5}));
    EXPECT_EQ(SendMessageA(a, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

TEST_F(ControlsTest, DialogItemCallsAndWhatGroupBoxesAndPushButtonsIgnore) {
    HWND group = MakeButton(parent_, "g", BS_GROUPBOX, 10, 10, 200, 100, 7);
    HWND inner = MakeButton(group, "r", BS_AUTORADIOBUTTON, 10, 20, 80, 20, 1);
    HWND push = MakeButton(parent_, "p", BS_PUSHBUTTON, 10, 150, 80, 30, 1000);
    EXPECT_EQ(GetDlgItem(parent_, 7), group);
    EXPECT_EQ(GetDlgItem(parent_, 1), nullptr);  // a grandchild is no item of the window
    EXPECT_EQ(GetDlgItem(group, 1), inner);
    EXPECT_EQ(GetDlgCtrlID(push), 1000);
    EXPECT_EQ(GetDlgCtrlID(parent_), 0);
    EXPECT_EQ(IsDlgButtonChecked(parent_, 99), 0u);
    CheckRadioButton(group, 1, 1, 1);
    CheckRadioButton(group, 1, 1, 2);  // outside the range: none stays checked
    EXPECT_EQ(IsDlgButtonChecked(group, 1), 0u);
    SendMessageA(push, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(SendMessageA(push, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    SendMessageA(group, BM_CLICK, 0, 0);
    ClickAt(100, 15);  // on the group box, beside its radio button
    EXPECT_TRUE(Clicks().empty());
    SendMessageA(push, BM_CLICK, 0, 0);
    EXPECT_EQ(Clicks(), (std::vector<int>{1000}));
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    EXPECT_TRUE(font != nullptr && font != GetStockObject(SYSTEM_FONT) && GetStockObject(99) == nullptr);
    SendMessageA(push, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    EXPECT_EQ(SendMessageA(push, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font));
}

TEST_F(ControlsTest, APressCapturesTheMouseAndOnlyAReleaseOverTheButtonClicksIt) {
    HWND push = MakeButton(parent_, "OK", BS_PUSHBUTTON, 20, 20, 100, 30, 1000);
    platform::InjectMouseButton(parent_, 1, true, 30, 30);
    DispatchAll();
    EXPECT_EQ(GetCapture(), push);
    EXPECT_EQ(GetFocus(), push);
    EXPECT_EQ(State(push), BST_PUSHED | BST_FOCUS);
    platform::InjectMouseMove(parent_, 200, 200);  // away: the button comes up
    DispatchAll();
    EXPECT_EQ(State(push), BST_FOCUS);
    platform::InjectMouseMove(parent_, 60, 40);  // back over it: down again
    DispatchAll();
    EXPECT_EQ(State(push), BST_PUSHED | BST_FOCUS);
    // Away and up in one go: the release outside still reaches the button.
    platform::InjectMouseMove(parent_, 200, 200);
    platform::InjectMouseButton(parent_, 1, false, 200, 200);
    DispatchAll();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(State(push), BST_FOCUS);
    EXPECT_TRUE(Clicks().empty());
    ClickAt(119, 49);  // the last pixel inside
    ClickAt(120, 30);  // just outside
    EXPECT_EQ(Clicks(), (std::vector<int>{1000}));
}

TEST_F(ControlsTest, SpaceClicksTheFocusedButtonAndFocusFollowsSetFocusAndActivation) {
    HWND one = MakeButton(parent_, "1", BS_PUSHBUTTON, 0, 0, 80, 30, 1);
    HWND two = MakeButton(parent_, "2", BS_AUTORADIOBUTTON, 0, 40, 80, 30, 2);
    HWND group = MakeButton(parent_, "g", BS_GROUPBOX, 100, 0, 80, 80, 3);
    EXPECT_EQ(SetFocus(one), parent_);
    EXPECT_EQ(State(one), BST_FOCUS);
    platform::InjectKey(parent_, "Space", true);
    DispatchAll();
    EXPECT_EQ(State(one), BST_PUSHED | BST_FOCUS);
    EXPECT_TRUE(Clicks().empty());  // the click comes with the release
    platform::InjectKey(parent_, "Space", false);
    DispatchAll();
    EXPECT_EQ(Clicks(), (std::vector<int>{1}));
    // A press that loses the focus before its release clicks nothing.
    platform::InjectKey(parent_, "Space", true);
    DispatchAll();
    SetFocus(two);
    EXPECT_EQ(State(one), 0);
    platform::InjectKey(parent_, "Space", false);
    DispatchAll();
    PressSpace();
    EXPECT_EQ(IsDlgButtonChecked(parent_, 2), static_cast<UINT>(BST_CHECKED));
    SetFocus(group);
    PressSpace();
    EXPECT_EQ(Clicks(), (std::vector<int>{1, 2}));
    // The application going to the background takes the focus from the control.
    SetFocus(two);
    platform::InjectFocus(parent_, false);
    DispatchAll();
    EXPECT_EQ(State(two) & BST_FOCUS, 0);
    platform::InjectFocus(parent_, true);
    DispatchAll();
    EXPECT_EQ(GetFocus(), parent_);
    EXPECT_EQ(State(two) & BST_FOCUS, 0);
}

TEST_F(ControlsTest, GroupBoxFramesWithoutFillingAndClipsItsChildren) {
    const uint32_t white = 0xFFFFFF, face = Pixel(GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(At(Picture(), 0, 0), white);  // the class brush
    HWND group = MakeButton(parent_, "Group", BS_GROUPBOX, 10, 10, 200, 100, 1);
    MakeButton(group, "wide", BS_AUTORADIOBUTTON, 150, 60, 200, 20, 1);  // reaches past the box
    std::vector<uint32_t> p = Picture();
    EXPECT_EQ(At(p, 100, 40), white);  // inside the frame: as the window drew it
    EXPECT_EQ(At(p, 10, 60), Pixel(GetSysColor(COLOR_BTNSHADOW)));  // the etched left edge
    EXPECT_EQ(At(p, 11, 60), white);
    EXPECT_EQ(At(p, 16, 11), face);  // behind the label
    EXPECT_GT(Ink(p, RECT{18, 10, 60, 24}), 10);
    EXPECT_EQ(At(p, 165, 71), face);  // the radio button, above its circle
    for (int x = 210; x < 320; ++x) EXPECT_EQ(At(p, x, 71), white) << x;
}

TEST_F(ControlsTest, ChangesRepaintTheButtonAloneAndEraseCoversOnlyTheUpdateArea) {
    HWND radio = MakeButton(parent_, "Radio", BS_AUTORADIOBUTTON, 20, 20, 120, 24, 1);
    HWND push = MakeButton(parent_, "Push", BS_DEFPUSHBUTTON, 20, 100, 100, 30, 2);
    std::vector<uint32_t> off = Picture();
    EXPECT_GT(Ink(off, RECT{40, 20, 140, 44}), 10);
    SendMessageA(radio, BM_SETCHECK, BST_CHECKED, 0);
    std::vector<uint32_t> on = Picture();
    int changed = 0, outsideCircle = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            if (At(off, x, y) != At(on, x, y)) ++changed, outsideCircle += x < 20 || x >= 33 || y < 20 || y >= 44;
    EXPECT_GT(changed, 4);  // the dot
    EXPECT_EQ(outsideCircle, 0);
    SendMessageA(push, BM_SETSTATE, TRUE, 0);
    EXPECT_NE(Picture(), on);
    SendMessageA(push, BM_SETSTATE, FALSE, 0);
    EXPECT_EQ(Picture(), on);

    // Something the window drew itself, outside the area made invalid, stays;
    // the controls under that area paint again after the erase.
    uint32_t black[16] = {};
    BITMAPINFO bmi{};
    bmi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 4, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HDC dc = GetDC(parent_);
    SetDIBitsToDevice(dc, 300, 200, 4, 4, 0, 0, 0, 4, black, &bmi, DIB_RGB_COLORS);
    ReleaseDC(parent_, dc);
    RECT area{0, 0, 80, 120};  // across both buttons
    InvalidateRect(parent_, &area, TRUE);
    std::vector<uint32_t> after = Picture();
    EXPECT_EQ(At(after, 301, 201), 0u);
    for (int y = 200; y < 204; ++y)
        for (int x = 300; x < 304; ++x) after[static_cast<size_t>(y) * 320 + x] = At(on, x, y);
    EXPECT_EQ(after, on);
}

TEST(InterfaceTextTest, TheJapaneseFaceDrawsKanjiAndAFaceWithoutThemKeepsTheLatinText) {
    using namespace platform::sdl;
    SetInterfaceFontFile("");
    const std::string both = reinterpret_cast<const char*>(u8"日本語(Japanese)"), latin = "(Japanese)";
    EXPECT_NE(InterfaceFontFile().find("ipa"), std::string::npos) << InterfaceFontFile();
    EXPECT_GE(MeasureTextLine(both, 12), MeasureTextLine(latin, 12) + 30);
    TextImage image;
    ASSERT_TRUE(RenderTextLine(both, 12, &image));
    EXPECT_EQ(image.width, MeasureTextLine(both, 12));
    EXPECT_GE(image.height, 12);
    EXPECT_GT(std::count_if(image.coverage.begin(), image.coverage.end(), [](uint8_t c) { return c > 128; }), 60);
    EXPECT_FALSE(RenderTextLine(both, 0, &image));
    EXPECT_EQ(MeasureTextLine(both, 1000), 0);
    EXPECT_TRUE(RenderTextLine("\xFF\xC3(\xE6\x97", 12, &image));  // broken UTF-8

    SetInterfaceFontFile("/nonexistent/font.ttf");
    EXPECT_FALSE(RenderTextLine(latin, 12, &image));
    EXPECT_EQ(InterfaceFontFile(), "");
    const char* dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    struct stat info {};
    if (stat(dejavu, &info) == 0) {
        SetInterfaceFontFile(dejavu);
        EXPECT_GT(MeasureTextLine(latin, 12), 0);
        EXPECT_EQ(MeasureTextLine(both, 12), MeasureTextLine(latin, 12));  // no boxes for the kanji
    }
    SetInterfaceFontFile("");
}

}  // namespace

namespace {

// A window holding controls asks for SDL's software renderer (no OpenGL
// context for a picture drawn now and then); windows without controls keep
// the accelerated one, and a control nested in a group box counts for its
// top-level window.
TEST_F(ControlsTest, AWindowHoldingControlsAsksForTheSoftwareRenderer) {
    struct Case {
        const char* what;
        DWORD style;      // of the control made in the window (0: none)
        bool nested;      // made inside a group box that is itself a child
        bool asks;
    };
    const Case cases[] = {
        {"no control", 0, false, false},
        {"a push button", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, false, true},
        {"a radio button in a group box", WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON, true, true},
    };
    for (const Case& c : cases) {
        HWND window = CreateTestWindow(cls_, 160, 120);
        ASSERT_NE(window, nullptr) << c.what;
        HWND parent = window;
        if (c.nested)
            parent = CreateWindowExA(0, "BUTTON", "group", WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, 100, 80, window,
                                     nullptr, nullptr, nullptr);
        if (c.style != 0) {
            // Asked for once the first control of the window, nested or not, is made.
            EXPECT_EQ(platform::sdl::AsksSoftwareRenderer(platform::WindowBackendId(window)), c.nested) << c.what;
            EXPECT_NE(CreateWindowExA(0, "BUTTON", "b", c.style, 4, 4, 40, 20, parent, nullptr, nullptr, nullptr),
                      nullptr)
                << c.what;
        }
        EXPECT_EQ(platform::sdl::AsksSoftwareRenderer(platform::WindowBackendId(window)), c.asks) << c.what;
        DestroyWindow(window);
    }
    EXPECT_FALSE(platform::sdl::AsksSoftwareRenderer(0)) << "no window";
}

}  // namespace
