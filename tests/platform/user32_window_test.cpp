// Window classes, window creation and destruction, rectangles, titles,
// icons, FindWindowA across processes, display modes and full screen.
#include "../temp_folder.h"
#include "platform/kernel32/kernel32.h"
#include "platform/sdl/sdl_video.h"
#include "platform/seams/seams.h"
#include "platform/user32/user32.h"
#include "window_test_support.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>

using namespace windowtest;

namespace {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareWindowSystem(); }
    void TearDown() override {
        for (HWND h : windows_)
            if (IsWindow(h)) DestroyWindow(h);
        TakeAll();
        seams::ClearAllCalls();
        ChangeDisplaySettingsA(nullptr, 0);
    }
    HWND Track(HWND h) {
        windows_.push_back(h);
        return h;
    }
    std::vector<HWND> windows_;
};

TEST_F(WindowTest, CreationSendsCreateSizeAndActivationInOrder) {
    std::string cls = RegisterRecordingClass("Create");
    HWND hwnd = Track(CreateTestWindow(cls, 320, 240));
    ASSERT_NE(hwnd, nullptr);
    std::vector<UINT> ids = SeenIds();
    std::vector<UINT> expected = {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS};
    EXPECT_EQ(ids, expected);
    const Seen& size = SeenMessages()[2];
    EXPECT_EQ(LOWORD(size.lParam), 320);
    EXPECT_EQ(HIWORD(size.lParam), 240);
    EXPECT_EQ(SeenMessages()[3].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(LOWORD(SeenMessages()[4].wParam), WA_ACTIVE);
    EXPECT_EQ(GetActiveWindow(), hwnd);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_TRUE(platform::sdl::IsVideoWindowShown(platform::WindowBackendId(hwnd)));
}

// The click that gives a window the focus reaches the window, as on Windows:
// the video start tells SDL so before any window is made.
TEST_F(WindowTest, TheClickThatFocusesAWindowReachesIt) {
    ASSERT_NE(Track(CreateTestWindow(RegisterRecordingClass("Focus"), 32, 32)), nullptr);
    const char* hint = SDL_GetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH);
    EXPECT_STREQ(hint != nullptr ? hint : "(not set)", "1");
}

TEST_F(WindowTest, CreationFailuresLeaveNoWindow) {
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    std::string cls = RegisterRecordingClass("Fail");
    seams::FailCall("CreateWindowExA", 1);
    EXPECT_EQ(CreateTestWindow(cls, 100, 100), nullptr);
    EXPECT_TRUE(SeenMessages().empty());  // the procedure never heard of it

    CreateResult() = -1;  // the procedure refuses WM_CREATE
    EXPECT_EQ(CreateTestWindow(cls, 100, 100), nullptr);
    std::vector<UINT> ids = SeenIds();
    ASSERT_GE(ids.size(), 3u);
    EXPECT_EQ(ids[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(ids[2], static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(FindWindowA(cls.c_str(), nullptr), nullptr);
    EXPECT_TRUE(UnregisterClassA(cls.c_str(), nullptr));  // no window of it is left
}

TEST_F(WindowTest, ClassesAreUniqueCaseInsensitiveAndKeptWhileInUse) {
    std::string cls = RegisterRecordingClass("Class");
    WNDCLASSA again{};
    again.lpfnWndProc = RecordingProc;
    std::string upper = cls;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    again.lpszClassName = upper.c_str();
    EXPECT_EQ(RegisterClassA(&again), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    HWND hwnd = Track(CreateTestWindow(upper, 64, 64));
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA(cls.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA(cls.c_str(), nullptr));
    EXPECT_FALSE(UnregisterClassA(cls.c_str(), nullptr));
}

TEST_F(WindowTest, RectanglesFollowTheFrameAndMoves) {
    std::string cls = RegisterRecordingClass("Rect");
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT adjusted{0, 0, 640, 480};
    AdjustWindowRectEx(&adjusted, style, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 640 + 2 * GetSystemMetrics(SM_CXFIXEDFRAME));
    EXPECT_EQ(adjusted.bottom - adjusted.top,
              480 + 2 * GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION));
    // A one-pixel border, a client edge of two and a menu bar.
    RECT framed{0, 0, 100, 100};
    AdjustWindowRectEx(&framed, WS_POPUP | WS_BORDER, TRUE, WS_EX_CLIENTEDGE);
    EXPECT_EQ(framed.right - framed.left, 106);
    EXPECT_EQ(framed.bottom - framed.top, 106 + GetSystemMetrics(SM_CYMENU));

    HWND hwnd = Track(CreateTestWindow(cls, 640, 480, style));
    RECT client{}, window{};
    GetClientRect(hwnd, &client);
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    POINT p{10, 20};
    ClientToScreen(hwnd, &p);
    EXPECT_EQ(p.x, window.left + GetSystemMetrics(SM_CXFIXEDFRAME) + 10);
    EXPECT_EQ(p.y, window.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) + 20);
    ScreenToClient(hwnd, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);

    ClearSeen();
    SetWindowPos(hwnd, nullptr, 5, 6, window.right - window.left + 100, window.bottom - window.top + 50,
                 SWP_NOZORDER);
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 740);
    EXPECT_EQ(client.bottom, 530);
    bool sawSize = false;
    for (const Seen& s : SeenMessages())
        if (s.message == WM_SIZE) sawSize = LOWORD(s.lParam) == 740 && HIWORD(s.lParam) == 530;
    EXPECT_TRUE(sawSize);
    platform::sdl::WindowPlacement placement;
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(platform::WindowBackendId(hwnd), &placement));
    EXPECT_EQ(placement.clientWidth, 740);
    EXPECT_FALSE(placement.fullScreen);
}

// A menu bar sits between the caption and the client area, which shrinks to
// make room; the hit test tells the parts of the frame apart.
TEST_F(WindowTest, AMenuBarTakesItsStripFromTheClientArea) {
    HWND hwnd = Track(CreateTestWindow(RegisterRecordingClass("Menu"), 320, 240));
    ClearSeen();
    EXPECT_FALSE(SetMenu(hwnd, reinterpret_cast<HMENU>(hwnd))) << "not a menu";
    ASSERT_TRUE(SetMenu(hwnd, CreateMenu()));
    RECT client{};
    GetClientRect(hwnd, &client);
    const int menu = GetSystemMetrics(SM_CYMENU);
    EXPECT_EQ(client.bottom, 240 - menu);
    EXPECT_EQ(SeenIds(), std::vector<UINT>{WM_SIZE});
    // Client points: the client area, the menu bar, the caption, the frame, outside.
    for (auto [x, y, hit] : {std::tuple{10, 0, HTCLIENT}, {10, -1, HTMENU}, {10, -menu - 1, HTCAPTION},
                             {-1, 10, HTBORDER}, {-1000, 10, HTNOWHERE}}) {
        POINT p{x, y};
        ClientToScreen(hwnd, &p);
        EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y)), hit) << x << ", " << y;
    }
}

TEST_F(WindowTest, CloseButtonPostsCloseAndDefaultProcedureDestroys) {
    std::string cls = RegisterRecordingClass("Close");
    HWND hwnd = Track(CreateTestWindow(cls, 64, 64));
    uint32_t backend = platform::WindowBackendId(hwnd);
    ASSERT_TRUE(platform::InjectCloseRequest(hwnd));
    ClearSeen();
    DispatchAll();
    std::vector<UINT> ids = SeenIds();
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(ids.front(), static_cast<UINT>(WM_CLOSE));
    EXPECT_NE(std::find(ids.begin(), ids.end(), WM_DESTROY), ids.end());
    EXPECT_EQ(ids.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(platform::sdl::IsVideoWindowShown(backend));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
}

TEST_F(WindowTest, TitleIsKeptInShiftJisAndShownAsUtf8) {
    std::string cls = RegisterRecordingClass("Title");
    HWND hwnd = Track(CreateTestWindow(cls, 64, 64));
    const char* title = "ベルミパズル Ver.1.000";  // Shift-JIS bytes in this build
    ASSERT_TRUE(SetWindowTextA(hwnd, title));
    char back[64] = {};
    EXPECT_EQ(GetWindowTextA(hwnd, back, sizeof back), static_cast<int>(strlen(title)));
    EXPECT_STREQ(back, title);
    EXPECT_EQ(platform::sdl::GetVideoWindowTitle(platform::WindowBackendId(hwnd)),
              "\xE3\x83\x99\xE3\x83\xAB\xE3\x83\x9F\xE3\x83\x91\xE3\x82\xBA\xE3\x83\xAB Ver.1.000");
    char small[5];
    EXPECT_EQ(GetWindowTextA(hwnd, small, sizeof small), 4);  // cut to the buffer, NUL-terminated
    EXPECT_EQ(small[4], '\0');
}

TEST_F(WindowTest, FindWindowSeesOwnWindowsByClassAndTitle) {
    std::string cls = RegisterRecordingClass("Find");
    HWND hwnd = Track(CreateTestWindow(cls, 64, 64));
    std::string lower = cls;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    EXPECT_EQ(FindWindowA(lower.c_str(), nullptr), hwnd);
    EXPECT_EQ(FindWindowA(cls.c_str(), "test"), hwnd);
    EXPECT_EQ(FindWindowA(cls.c_str(), "other"), nullptr);
    EXPECT_TRUE(IsWindow(GetDesktopWindow())) << "the desktop is a window, never one of ours";
    EXPECT_NE(GetDesktopWindow(), hwnd);
    DestroyWindow(hwnd);
    EXPECT_EQ(FindWindowA(cls.c_str(), nullptr), nullptr);
}

// A window of another process counts exactly while that process runs: not
// once it was killed (reaped or not yet), whatever process its id now names.
TEST_F(WindowTest, FindWindowSeesWindowsOfAnotherLiveProcessOnly) {
    struct Case {
        const char* what;
        bool namesOurParent;  // the entry names a process that runs on
        bool reaped;
    };
    const Case cases[] = {
        {"killed and reaped", false, true},
        {"killed, not yet reaped", false, false},
        {"naming the id of a process that runs on", true, true},
    };
    const char* cls = "\x83\x78\x83\x8B\x83\x7E another process";  // a Shift-JIS class name
    for (const Case& c : cases) {
        pid_t child = StartListingProcess(cls, c.namesOurParent ? getppid() : 0);
        ASSERT_GT(child, 0) << c.what;
        EXPECT_NE(FindWindowA(cls, nullptr), nullptr) << c.what;
        EXPECT_NE(FindWindowA(cls, "title"), nullptr) << c.what;
        EXPECT_EQ(FindWindowA(cls, "another title"), nullptr) << c.what;
        EXPECT_EQ(FindWindowA("unrelated class", nullptr), nullptr) << c.what;
        int listed = ListedWindowCount();
        kill(child, SIGKILL);
        siginfo_t ended{};
        ASSERT_EQ(waitid(P_PID, child, &ended, WEXITED | WNOWAIT), 0) << c.what;  // ended, a zombie still
        if (c.reaped) waitpid(child, nullptr, 0);
        EXPECT_EQ(FindWindowA(cls, nullptr), nullptr) << c.what << ": the entry no longer counts";
        EXPECT_EQ(ListedWindowCount(), listed - 1) << c.what << ": and is removed";
        if (!c.reaped) waitpid(child, nullptr, 0);
    }
}

// The list's folder is made for the user alone, and used only while it is a
// real folder of this user that no one else may enter: an entry planted in
// any other counts for nothing, and nothing is written there.
TEST_F(WindowTest, TheListFolderIsUsedOnlyWhilePrivateToTheUser) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> spoil;
        bool used;
        bool needsRoot = false;  // only root can give a folder to another user
    };
    const Case cases[] = {
        {"private", [](const std::string&) {}, true},
        {"the group may enter", [](const std::string& d) { chmod(d.c_str(), 0750); }, false},
        {"others may enter", [](const std::string& d) { chmod(d.c_str(), 0701); }, false},
        {"a link to a private folder",
         [](const std::string& d) {
             ASSERT_EQ(rename(d.c_str(), (d + ".real").c_str()), 0);
             ASSERT_EQ(symlink((d + ".real").c_str(), d.c_str()), 0);
         },
         false},
        {"another user's", [](const std::string& d) { ASSERT_EQ(chown(d.c_str(), 65534, 65534), 0); }, false, true},
    };
    const std::string own = platform::WindowRegistryDirectory();
    bool skipped = false;
    for (const Case& c : cases) {
        if (c.needsRoot && getuid() != 0) {
            skipped = true;
            continue;
        }
        test_temp::Folder base("window-list");
        const std::string dir = base.Path() + "/list";
        platform::SetWindowRegistryDirectory(dir);
        // A running entry of "another process" (held by this one, named by our parent's id).
        ASSERT_TRUE(platform::WriteWindowRegistryEntry(getppid(), "Planted", "title", nullptr)) << c.what;
        struct stat made {};
        ASSERT_EQ(lstat(dir.c_str(), &made), 0);
        EXPECT_EQ(made.st_mode & 07777, 0700u) << c.what << ": made for the user alone";
        c.spoil(dir);
        testing::internal::CaptureStderr();
        EXPECT_EQ(FindWindowA("Planted", nullptr) != nullptr, c.used) << c.what;
        EXPECT_EQ(platform::WriteWindowRegistryEntry(getpid(), "Mine", "title", nullptr), c.used) << c.what;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("window list folder " + dir + " is not used") != std::string::npos, !c.used)
            << c.what << ": " << said;
        platform::SetWindowRegistryDirectory(own);
    }
    if (skipped) GTEST_SKIP() << "the folder of another user is checked only when run as root";
}

TEST_F(WindowTest, OwnTopLevelWindowsAreListedForOtherProcesses) {
    std::string cls = RegisterRecordingClass("Listed");
    HWND hwnd = Track(CreateTestWindow(cls, 64, 64));
    ASSERT_NE(hwnd, nullptr);
    int before = ListedWindowCount();
    EXPECT_GE(before, 1);
    DestroyWindow(hwnd);
    EXPECT_EQ(ListedWindowCount(), before - 1);
}

void WritePngFile(const std::string& path, int width, int height, uint32_t argb) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, argb);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_BGRA;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), width * 4, nullptr));
}

TEST_F(WindowTest, IconsComeFromRegisteredPixelsOrPngFiles) {
    platform::ClearIconResources();
    EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(101)), nullptr);
    uint32_t pixels[4] = {0xFF112233, 0xFF445566, 0x80778899, 0x00000000};
    platform::RegisterIconPixels(101, 2, 2, pixels);
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(101));
    ASSERT_NE(icon, nullptr);
    int w = 0, h = 0;
    std::vector<uint32_t> back;
    ASSERT_TRUE(platform::GetIconPixels(icon, &w, &h, &back));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(back, std::vector<uint32_t>(pixels, pixels + 4));

    std::string path = platform::WindowRegistryDirectory() + "/icon.png";
    WritePngFile(path, 3, 5, 0xFF0080FF);
    platform::RegisterIconFile(102, path);
    HICON fromFile = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCE(102));
    ASSERT_TRUE(platform::GetIconPixels(fromFile, &w, &h, &back));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(back[14], 0xFF0080FFu);

    std::string broken = platform::WindowRegistryDirectory() + "/broken.png";
    FILE* f = fopen(broken.c_str(), "wb");
    fputs("\x89PNG not really", f);
    fclose(f);
    platform::RegisterIconFile(103, broken);
    EXPECT_FALSE(platform::GetIconPixels(LoadIconA(nullptr, MAKEINTRESOURCE(103)), &w, &h, &back));

    // A window shows the icon of its class; WM_SETICON changes it.
    std::string cls = RegisterRecordingClass("Icon");
    HWND hwnd = Track(CreateTestWindow(cls, 32, 32));
    EXPECT_EQ(SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(fromFile)),
              reinterpret_cast<LRESULT>(icon));
    platform::ClearIconResources();
}

TEST_F(WindowTest, ShowCursorCountsAndSetCursorSwaps) {
    int start = ShowCursor(TRUE) - 1;
    EXPECT_EQ(ShowCursor(FALSE), start);
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(FALSE), start - 2);
    EXPECT_EQ(ShowCursor(TRUE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    HCURSOR hand = LoadCursorA(nullptr, IDC_HAND);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCE(1234)), nullptr);
    HCURSOR before = SetCursor(hand);
    EXPECT_EQ(SetCursor(nullptr), hand);
    EXPECT_EQ(GetCursor(), nullptr);
    SetCursor(before);
}

TEST_F(WindowTest, DisplayModesChangeTheScreenAndFullScreenPopups) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    bool has640 = false;
    for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i)
        has640 = has640 || (mode.dmPelsWidth == 640 && mode.dmPelsHeight == 480 && mode.dmBitsPerPel == 32);
    EXPECT_TRUE(has640);
    ASSERT_TRUE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    int desktopW = static_cast<int>(mode.dmPelsWidth), desktopH = static_cast<int>(mode.dmPelsHeight);
    EXPECT_EQ(mode.dmBitsPerPel, 32u);  // the dummy desktop is 24-bit deep with 4 bytes per pixel
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopW);

    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT | DM_BITSPERPEL;
    mode.dmPelsWidth = 123;
    mode.dmPelsHeight = 45;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_BADMODE);
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_TEST), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopW);  // a test changes nothing
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);

    // A popup covering the changed screen shows full screen, its mouse mapped back.
    std::string cls = RegisterRecordingClass("Full");
    HWND hwnd = Track(CreateWindowExA(0, cls.c_str(), "full", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr,
                                      nullptr, nullptr, nullptr));
    uint32_t backend = platform::WindowBackendId(hwnd);
    platform::sdl::WindowPlacement placement;
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(backend, &placement));
    EXPECT_TRUE(placement.fullScreen);
    EXPECT_EQ(placement.clientWidth, 640);
    TakeAll();
    ASSERT_TRUE(platform::InjectMouseMove(hwnd, desktopW / 2, desktopH / 2));
    std::vector<MSG> moves = TakeAll(WM_MOUSEMOVE, WM_MOUSEMOVE);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 320);
    EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 240);

    EXPECT_EQ(ChangeDisplaySettingsA(nullptr, 0), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopW);
    ASSERT_TRUE(platform::sdl::GetVideoWindowPlacement(backend, &placement));
    EXPECT_FALSE(placement.fullScreen);  // 640x480 no longer covers the desktop

    seams::FailCall("ChangeDisplaySettingsA", 1, DISP_CHANGE_FAILED);
    mode.dmPelsWidth = 640;
    EXPECT_EQ(ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN), DISP_CHANGE_FAILED);
}

TEST(LetterboxTest, PictureKeepsItsAspectAndMousePositionsMapBack) {
    using platform::sdl::ComputeLetterbox;
    using platform::sdl::MapOutputToClient;
    platform::sdl::Letterbox wide = ComputeLetterbox(1280, 720, 640, 480);
    EXPECT_EQ(wide.x, 160);
    EXPECT_EQ(wide.y, 0);
    EXPECT_EQ(wide.width, 960);
    EXPECT_EQ(wide.height, 720);
    platform::sdl::Letterbox tall = ComputeLetterbox(640, 1000, 640, 480);
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 260);
    EXPECT_EQ(tall.height, 480);
    int x = 0, y = 0;
    MapOutputToClient(wide, 640, 480, 160, 0, true, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    MapOutputToClient(wide, 640, 480, 1119, 719, true, &x, &y);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
    MapOutputToClient(wide, 640, 480, 10, 5, true, &x, &y);  // in the bar: kept inside the client
    EXPECT_EQ(x, 0);
    MapOutputToClient(wide, 640, 480, 10, 5, false, &x, &y);
    EXPECT_LT(x, 0);  // floor, not truncation toward zero
    platform::sdl::Letterbox degenerate = ComputeLetterbox(100, 100, 0, 0);
    EXPECT_EQ(degenerate.width, 100);
}

TEST(MessageBoxTest, AnswersWithTheFirstButton) {
    EXPECT_EQ(MessageBoxA(nullptr, "\x83\x65\x83\x58\x83\x67", "caption", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "text", nullptr, MB_YESNO), IDYES);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, "c", MB_RETRYCANCEL), IDRETRY);
}

}  // namespace
