#include "game/settings_window.h"

#include "game/game_main.h"
#include "game/save_files.h"
#include "platform/user32/controls.h"
#include "platform/user32/user32.h"

namespace {

constexpr const char* kTitle = "ベルミパズル 設定(Settings)";
constexpr int kProgramIcon = 101;
constexpr int kClientWidth = 320;
constexpr int kClientHeight = 240;

constexpr DWORD kWindowStyle = WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX;  // 0x100A0000
constexpr DWORD kGroupStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;          // 0x50000007
constexpr DWORD kRadioStyle = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;   // 0x50000009
constexpr DWORD kPushStyle = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;         // 0x50000000

// Radio button ids inside their group boxes.
constexpr int kJapaneseId = 1;
constexpr int kEnglishId = 2;
constexpr int kDisplayFirstId = 1;  // 640x480 window; then full screen, 320x240 window
constexpr int kDisplayLastId = 3;

// One control of the window; parent 0 is the window, 1 the language group,
// 2 the display group.
struct ControlSpec {
    const char* text;
    DWORD style;
    int parent;
    int x, y, width, height;
    int id;
};

constexpr ControlSpec kControls[] = {
    {"言語(Language)", kGroupStyle, 0, 8, 8, 304, 56, 0},
    {"日本語(Japanese)", kRadioStyle, 1, 16, 16, 128, 32, kJapaneseId},
    {"英語(English)", kRadioStyle, 1, 160, 16, 128, 32, kEnglishId},
    {"ディスプレイ(Display)", kGroupStyle, 0, 8, 72, 304, 104, 0},
    {"640x480 ウィンドウ(Window)", kRadioStyle, 2, 16, 16, 240, 32, kDisplayFirstId},
    {"640x480 フルスクリーン(Fullscreen)", kRadioStyle, 2, 16, 40, 240, 32, kDisplayFirstId + 1},
    {"320x240 ウィンドウ(Window)", kRadioStyle, 2, 16, 64, 240, 32, kDisplayLastId},
    {"起動(Run)", kPushStyle, 0, 8, 192, 200, 40, kSettingsRunId},
    {"終了(Quit)", kPushStyle, 0, 216, 192, 96, 40, kSettingsQuitId},
};

constexpr int kLanguageGroupIndex = 0;
constexpr int kDisplayGroupIndex = 3;

HWND g_languageGroup = nullptr;
HWND g_displayGroup = nullptr;
int g_autoPress = 0;

void CreateControls(HWND window) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    WPARAM font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (const ControlSpec& c : kControls) {
        HWND parent = c.parent == 1 ? g_languageGroup : c.parent == 2 ? g_displayGroup : window;
        HWND control = CreateWindowExA(0, "BUTTON", c.text, c.style, c.x, c.y, c.width, c.height, parent,
                                       reinterpret_cast<HMENU>(static_cast<intptr_t>(c.id)), instance, nullptr);
        SendMessageA(control, WM_SETFONT, font, 0);
        if (&c == &kControls[kLanguageGroupIndex]) g_languageGroup = control;
        if (&c == &kControls[kDisplayGroupIndex]) g_displayGroup = control;
    }
    CheckRadioButton(g_languageGroup, kJapaneseId, kEnglishId, static_cast<int>(g_config.language + 1));
    CheckRadioButton(g_displayGroup, kDisplayFirstId, kDisplayLastId, static_cast<int>(g_config.display + 1));
}

// The radio buttons into the settings record.
void ReadChoices() {
    g_config.language = IsDlgButtonChecked(g_languageGroup, kJapaneseId) == BST_CHECKED ? 0 : 1;
    for (int id = kDisplayFirstId; id <= kDisplayLastId; ++id) {
        if (IsDlgButtonChecked(g_displayGroup, id) == BST_CHECKED) {
            g_config.display = static_cast<uint32_t>(id - kDisplayFirstId);
            break;
        }
    }
}

ATOM RegisterSettingsClass(HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SettingsWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCE(kProgramIcon));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kSettingsClassName;
    return RegisterClassA(&wc);
}

// For unattended runs: the messages already due are handled first (the
// window's and the controls' paints come last, when nothing else is due), so
// that the button is pressed on a window that has been drawn, as a player's
// would be. A window that kept asking to be painted stops the wait at a cap.
void PressWhenDrawn(HWND window) {
    constexpr int kMostMessagesFirst = 64;
    MSG msg;
    for (int i = 0; i < kMostMessagesFirst && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchMessageA(&msg);
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(g_autoPress, BN_CLICKED), 0);
}

HWND CreateSettingsWindow(HINSTANCE instance) {
    int width = kClientWidth + 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
    int height = kClientHeight + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION);
    return CreateWindowExA(0, kSettingsClassName, kTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr,
                           nullptr, instance, nullptr);
}

}  // namespace

LRESULT SettingsWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
            CreateControls(window);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kSettingsRunId:
                    SettingsWindowResult = 0;
                    SendMessageA(window, WM_CLOSE, 0, 0);
                    break;
                case kSettingsQuitId: SendMessageA(window, WM_CLOSE, 0, 0); break;
            }
            return 0;
        case WM_CLOSE:
            ReadChoices();
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_DESTROY:
            g_languageGroup = nullptr;
            g_displayGroup = nullptr;
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int32_t RunSettingsWindow(HINSTANCE instance) {
    LoadConfig();
    if (RegisterSettingsClass(instance) == 0) return -1;
    HWND window = CreateSettingsWindow(instance);
    if (window == nullptr) return -1;
    if (g_autoPress != 0) PressWhenDrawn(window);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    SaveConfig();
    return SettingsWindowResult;
}

HWND SettingsLanguageGroup() { return g_languageGroup; }
HWND SettingsDisplayGroup() { return g_displayGroup; }
void SetSettingsWindowAutoPress(int buttonId) { g_autoPress = buttonId; }
