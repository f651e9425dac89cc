// USER32 stand-in: window classes, windows and their procedures, the
// message queue, timers, keyboard and mouse state, the cursor, display modes
// and metrics, over the SDL back end (src/platform/sdl/).
//
// Text crosses this interface in Shift-JIS, as the ANSI calls take it.
// Every thread that creates windows or posts thread messages has its own
// queue; window messages go to the queue of the window's thread, and only the
// thread that started the video subsystem takes events from the window system.
// SendMessageA calls the window procedure directly, on the calling thread.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <string>
#include <vector>

#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

using ATOM = WORD;
using WNDPROC = LRESULT (*)(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void (*)(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(p) ((reinterpret_cast<uintptr_t>(p) >> 16) == 0)

// ---- errors ----------------------------------------------------------------
#define ERROR_INVALID_WINDOW_HANDLE 1400
#define ERROR_INVALID_MENU_HANDLE 1401
#define ERROR_CANNOT_FIND_WND_CLASS 1407
#define ERROR_CLASS_ALREADY_EXISTS 1410
#define ERROR_CLASS_DOES_NOT_EXIST 1411
#define ERROR_CLASS_HAS_WINDOWS 1412
#define ERROR_RESOURCE_NAME_NOT_FOUND 1814

// ---- messages --------------------------------------------------------------
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_MOVE 0x0003
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETFOCUS 0x0007
#define WM_KILLFOCUS 0x0008
#define WM_ENABLE 0x000A
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_ERASEBKGND 0x0014
#define WM_SHOWWINDOW 0x0018
#define WM_ACTIVATEAPP 0x001C
#define WM_SETCURSOR 0x0020
#define WM_SETFONT 0x0030
#define WM_GETFONT 0x0031
#define WM_SETICON 0x0080
#define WM_NCCREATE 0x0081
#define WM_NCDESTROY 0x0082
#define WM_NCHITTEST 0x0084
#define WM_KEYFIRST 0x0100
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_CHAR 0x0102
#define WM_DEADCHAR 0x0103
#define WM_SYSKEYDOWN 0x0104
#define WM_SYSKEYUP 0x0105
#define WM_SYSCHAR 0x0106
#define WM_KEYLAST 0x0109
#define WM_COMMAND 0x0111
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEFIRST 0x0200
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_LBUTTONDBLCLK 0x0203
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_RBUTTONDBLCLK 0x0206
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MBUTTONDBLCLK 0x0209
#define WM_MOUSEWHEEL 0x020A
#define WM_MOUSELAST 0x020A
#define MM_MCINOTIFY 0x03B9
#define WM_USER 0x0400
#define WM_APP 0x8000

#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define SIZE_MAXIMIZED 2
#define ICON_SMALL 0
#define ICON_BIG 1
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WHEEL_DELTA 120
#define GET_WHEEL_DELTA_WPARAM(wp) (static_cast<short>(HIWORD(wp)))

#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001
#define PM_NOYIELD 0x0002

// ---- class and window styles -----------------------------------------------
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040

#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_APPWINDOW 0x00040000L

#define CW_USEDEFAULT (static_cast<int>(0x80000000))

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200
#define HWND_TOP (static_cast<HWND>(nullptr))
#define HWND_BOTTOM (reinterpret_cast<HWND>(static_cast<intptr_t>(1)))
#define HWND_TOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-1)))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(static_cast<intptr_t>(-2)))

#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)

// ---- structures --------------------------------------------------------------
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};

struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// ---- classes -----------------------------------------------------------------
ATOM RegisterClassA(const WNDCLASSA* wndClass);
ATOM RegisterClassExA(const WNDCLASSEXA* wndClass);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);  // refused while windows of it exist

// ---- windows -------------------------------------------------------------------
// Top-level windows get a window of the window system; child windows (WS_CHILD)
// live inside their parent. Fails (null) when the class is unknown, WM_CREATE
// returns -1, the window system cannot make the window, or the test seam
// "CreateWindowExA" is set (the last error is then the test's chosen code, or
// ERROR_NOT_ENOUGH_MEMORY).
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
HWND CreateWindowA(LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width, int height,
                   HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);  // also TRUE for the desktop window
// The desktop window: the same handle for the whole run, never a window of
// ours; it takes no messages and has no window of the window system.
HWND GetDesktopWindow();
BOOL IsWindowVisible(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetParent(HWND hwnd);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongA(HWND hwnd, int index);
LONG SetWindowLongA(HWND hwnd, int index, LONG value);
BOOL SetWindowTextA(HWND hwnd, LPCSTR text);  // Shift-JIS; the title bar shows it as UTF-8
int GetWindowTextA(HWND hwnd, LPSTR buffer, int size);
// Windows whose class name (and title, when given) match; also the windows of
// other running processes of this user (see platform::SetWindowRegistryDirectory).
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

BOOL ShowWindow(HWND hwnd, int command);  // the previous visibility
BOOL UpdateWindow(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
HWND SetActiveWindow(HWND hwnd);
HWND GetActiveWindow();  // of the calling thread
HWND GetForegroundWindow();
HWND SetFocus(HWND hwnd);
HWND GetFocus();
BOOL BringWindowToTop(HWND hwnd);
BOOL IsIconic(HWND hwnd);

BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL GetWindowRect(HWND hwnd, RECT* rect);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
// Stores the four edges as given (no ordering is checked); FALSE for a null
// rectangle.
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL ScreenToClient(HWND hwnd, POINT* point);

// ---- menu bar and hit test ----------------------------------------------------------
// A menu is only a handle here: a top-level window that has one gets a menu
// bar of SM_CYMENU pixels between its caption and its client area (the
// client area shrinks, WM_SIZE follows); nothing draws it or opens it. Child
// windows take no menu.
#define HTNOWHERE 0
#define HTCLIENT 1
#define HTCAPTION 2
#define HTMENU 5
#define HTBORDER 18
HMENU CreateMenu();  // destroyed with the window that holds it
BOOL SetMenu(HWND hwnd, HMENU menu);  // null removes the menu
HMENU GetMenu(HWND hwnd);
// DefWindowProcA's answer to WM_NCHITTEST (lParam: the screen point): HTCLIENT,
// HTCAPTION, HTMENU, HTBORDER for the rest of the frame, HTNOWHERE outside.

// ---- painting ----------------------------------------------------------------------
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);

// ---- messages ----------------------------------------------------------------------
// Order of retrieval: posted and input messages (first in, first out; a mouse
// move replaces a mouse move still waiting at the end of the queue), then
// WM_QUIT, then WM_PAINT of an invalid window, then due WM_TIMER messages.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);  // 0 on WM_QUIT, -1 on a bad window
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);  // null hwnd: a thread message
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
DWORD GetMessageTime();
BOOL WaitMessage();

// ---- timers --------------------------------------------------------------------------
UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

// ---- keyboard ----------------------------------------------------------------------------
#define VK_LBUTTON 0x01
#define VK_RBUTTON 0x02
#define VK_CANCEL 0x03
#define VK_MBUTTON 0x04
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_MENU 0x12
#define VK_PAUSE 0x13
#define VK_CAPITAL 0x14
#define VK_CONVERT 0x1C
#define VK_NONCONVERT 0x1D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_SNAPSHOT 0x2C
#define VK_INSERT 0x2D
#define VK_DELETE 0x2E
#define VK_LWIN 0x5B
#define VK_RWIN 0x5C
#define VK_APPS 0x5D
#define VK_NUMPAD0 0x60
#define VK_NUMPAD9 0x69
#define VK_MULTIPLY 0x6A
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_DECIMAL 0x6E
#define VK_DIVIDE 0x6F
#define VK_F1 0x70
#define VK_F10 0x79
#define VK_F12 0x7B
#define VK_NUMLOCK 0x90
#define VK_SCROLL 0x91
#define VK_LSHIFT 0xA0
#define VK_RSHIFT 0xA1
#define VK_LCONTROL 0xA2
#define VK_RCONTROL 0xA3
#define VK_LMENU 0xA4
#define VK_RMENU 0xA5
#define VK_OEM_1 0xBA
#define VK_OEM_PLUS 0xBB
#define VK_OEM_COMMA 0xBC
#define VK_OEM_MINUS 0xBD
#define VK_OEM_PERIOD 0xBE
#define VK_OEM_2 0xBF
#define VK_OEM_3 0xC0
#define VK_OEM_4 0xDB
#define VK_OEM_5 0xDC
#define VK_OEM_6 0xDD
#define VK_OEM_7 0xDE
#define VK_OEM_102 0xE2

// The calling thread's key state as of the key and mouse-button messages it
// has taken from its queue: bit 7 down, bit 0 toggled by each press. A key or
// button pressed and released since the last call reads as down this once.
BOOL GetKeyboardState(BYTE* keyState);
SHORT GetKeyState(int vk);
// The state now (events taken from the window system so far): bit 15 down,
// bit 0 pressed since the last call.
SHORT GetAsyncKeyState(int vk);

// ---- cursor --------------------------------------------------------------------------
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_IBEAM MAKEINTRESOURCEA(32513)
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)
#define IDC_SIZENWSE MAKEINTRESOURCEA(32642)
#define IDC_SIZENESW MAKEINTRESOURCEA(32643)
#define IDC_SIZEWE MAKEINTRESOURCEA(32644)
#define IDC_SIZENS MAKEINTRESOURCEA(32645)
#define IDC_SIZEALL MAKEINTRESOURCEA(32646)
#define IDC_NO MAKEINTRESOURCEA(32648)
#define IDC_HAND MAKEINTRESOURCEA(32649)
#define IDI_APPLICATION MAKEINTRESOURCEA(32512)

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);  // system cursors (null instance)
HCURSOR SetCursor(HCURSOR cursor);                     // null hides the pointer; the previous one
HCURSOR GetCursor();
int ShowCursor(BOOL show);  // the display counter after the change; shown while >= 0
BOOL GetCursorPos(POINT* point);
// Moves the pointer to a screen point: the visible top-level window under it
// (the active one first) is asked WM_NCHITTEST and sent WM_SETCURSOR (wParam
// the window, lParam the hit code and WM_MOUSEMOVE). No mouse-move message
// is queued, and the window system's own pointer stays where it is.
BOOL SetCursorPos(int x, int y);
HICON LoadIconA(HINSTANCE instance, LPCSTR name);  // registered program icons, IDI_APPLICATION
BOOL DestroyIcon(HICON icon);

// ---- display -------------------------------------------------------------------------
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXDLGFRAME 7
#define SM_CYDLGFRAME 8
#define SM_CXFIXEDFRAME 7
#define SM_CYFIXEDFRAME 8
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CYMENU 15
#define SM_CXFULLSCREEN 16
#define SM_CYFULLSCREEN 17
#define SM_MOUSEPRESENT 19
#define SM_CXFRAME 32
#define SM_CYFRAME 33
#define SM_CXSIZEFRAME 32
#define SM_CYSIZEFRAME 33
#define SM_CXSMICON 49
#define SM_CYSMICON 50
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80
int GetSystemMetrics(int index);  // screen size: the current (changed) display mode

#define CCHDEVICENAME 32
#define CCHFORMNAME 32
struct DEVMODEA {
    BYTE dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    POINT dmPosition;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFixedOutput;
    SHORT dmColor;
    SHORT dmDuplex;
    SHORT dmYResolution;
    SHORT dmTTOption;
    SHORT dmCollate;
    BYTE dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};
#define DM_BITSPERPEL 0x00040000L
#define DM_PELSWIDTH 0x00080000L
#define DM_PELSHEIGHT 0x00100000L
#define DM_DISPLAYFLAGS 0x00200000L
#define DM_DISPLAYFREQUENCY 0x00400000L
#define ENUM_CURRENT_SETTINGS (static_cast<DWORD>(-1))
#define ENUM_REGISTRY_SETTINGS (static_cast<DWORD>(-2))
#define CDS_UPDATEREGISTRY 0x00000001
#define CDS_TEST 0x00000002
#define CDS_FULLSCREEN 0x00000004
#define DISP_CHANGE_SUCCESSFUL 0
#define DISP_CHANGE_RESTART 1
#define DISP_CHANGE_FAILED (-1)
#define DISP_CHANGE_BADMODE (-2)

// Display modes: the window system's own, and the usual 4:3 sizes at 16 and
// 32 bits and 60 Hz, which a full-screen window shows scaled on the desktop.
BOOL EnumDisplaySettingsA(LPCSTR deviceName, DWORD modeNum, DEVMODEA* devMode);
// A mode from the list becomes the current mode (null: back to the desktop);
// a popup window that covers the whole screen then shows full screen.
LONG ChangeDisplaySettingsA(DEVMODEA* devMode, DWORD flags);

// ---- message box ------------------------------------------------------------
#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_ICONERROR 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONWARNING 0x00000030L
#define MB_ICONINFORMATION 0x00000040L
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
// Writes caption and text to stderr (UTF-8) and answers with the first
// button: IDOK, IDABORT, IDYES or IDRETRY.
int MessageBoxA(HWND hwnd, LPCSTR text, LPCSTR caption, UINT type);

namespace platform {

// ---- the window system --------------------------------------------------------
// Starts the window system (once; later calls report the result). false, with
// the window system's own reason, when there is none to show windows on.
bool StartWindowSystem(std::string* reason);

// ---- program resources --------------------------------------------------------
// The program names its icons by resource id: a PNG file, or pixels
// (0xAARRGGBB, width x height). LoadIconA(instance, MAKEINTRESOURCE(id)) then
// finds them, and a window class or WM_SETICON with that icon shows it.
void RegisterIconFile(int resourceId, const std::string& pngPath);
void RegisterIconPixels(int resourceId, int width, int height, const uint32_t* argb);
void ClearIconResources();
// The pixels of an icon handle (decoding its file on first use); false for an
// unknown handle or an unreadable file.
bool GetIconPixels(HICON icon, int* width, int* height, std::vector<uint32_t>* argb);

// ---- windows of other processes -----------------------------------------------
// Every top-level window is listed in a per-user directory (one file per
// window: process id, class, title) while it exists, so that FindWindowA finds
// windows of other running processes. An entry counts while the process that
// wrote it runs (it holds a lock on the file until it removes it or ends);
// entries left by processes that have ended are ignored and removed, whatever
// process now has their id. The default directory is
// $XDG_RUNTIME_DIR/gamelib-windows, else /tmp/gamelib-windows-<uid>; with the
// headless video drivers (dummy, offscreen) there is no list unless a
// directory is set. Tests choose their own (empty: the default). A directory
// is made with mode 0700 and used only when it is a real directory (not a
// link) of this user that no other user may enter; otherwise standard error
// says so and there is no list.
void SetWindowRegistryDirectory(const std::string& path);
std::string WindowRegistryDirectory();
// Writes an entry as a window of process pid would, held by the calling
// process until it ends (a test stands in for another process).
bool WriteWindowRegistryEntry(int pid, const char* className, const char* title, std::string* path);

// ---- tests ------------------------------------------------------------------------
// The desktop mode reported in place of the window system's (0 x 0: the real one).
void SetDesktopModeForTest(int width, int height, int bits);
// Every ChangeDisplaySettingsA call since the last clear, refused ones
// included, oldest first: what was asked (restore: a null DEVMODEA) and the
// result.
struct DisplayChangeCall {
    bool restore;
    DWORD fields;
    int width;
    int height;
    int bits;
    int refresh;
    LONG result;
};
std::vector<DisplayChangeCall> DisplayChangeCalls();
void ClearDisplayChangeCalls();

// ---- the window system behind a window ----------------------------------------
// The SDL window id of a top-level window (0 for child windows and unknown ones).
uint32_t WindowBackendId(HWND hwnd);
// The top-level window whose picture a window's drawing lands in, and the
// offset of the window's client area within that picture.
HWND PictureWindow(HWND hwnd, POINT* clientOffset);

// ---- events as the window system would deliver them (tests) -------------------
// Key names as SDL names them ("Escape", "A", "Left Shift", "Return").
bool InjectKey(HWND hwnd, const char* keyName, bool down, bool repeat = false);
bool InjectText(HWND hwnd, const char* utf8);
// Positions in the window system's pixels of the window.
bool InjectMouseMove(HWND hwnd, int x, int y);
bool InjectMouseButton(HWND hwnd, int button, bool down, int x, int y);  // 1 left, 2 middle, 3 right
bool InjectMouseWheel(HWND hwnd, int notches);
bool InjectFocus(HWND hwnd, bool gained);
bool InjectCloseRequest(HWND hwnd);
bool InjectExpose(HWND hwnd);
bool InjectResize(HWND hwnd, int width, int height);

}  // namespace platform
