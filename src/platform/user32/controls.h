// USER32 stand-in: the predefined control class "BUTTON" (push buttons,
// radio buttons and group boxes), the calls that go with it, mouse capture,
// and the few GDI32 objects the controls take (stock objects, system colours).
//
// A control is a child window (WS_CHILD) created with CreateWindowExA and the
// class name "BUTTON"; it draws itself into the picture of the top-level
// window it lives in, in the look of a plain dialog: a light grey face,
// raised or sunken borders, radio circles with a dot, an etched group frame
// and a dotted focus rectangle, its label (Shift-JIS) in the interface font
// (see platform/sdl/sdl_text.h).
//
// Mouse: a press on a button pushes it, takes the focus and captures the
// mouse; the release over it clicks it. Keyboard: Space on the focused button
// pushes it and its release clicks it. A click checks an automatic radio
// button and unchecks the other automatic radio buttons of its group (the
// siblings from the nearest one with WS_GROUP up to the next one with
// WS_GROUP), then sends WM_COMMAND (id, BN_CLICKED) to the parent.
// A top-level window whose class has a background brush (a system colour + 1
// or a stock brush) gets its client area filled with it on WM_ERASEBKGND.
#pragma once

#include "platform/user32/user32.h"

// ---- button styles, messages, states, notifications ---------------------------
#define BS_PUSHBUTTON 0x00000000L
#define BS_DEFPUSHBUTTON 0x00000001L
#define BS_RADIOBUTTON 0x00000004L
#define BS_GROUPBOX 0x00000007L
#define BS_AUTORADIOBUTTON 0x00000009L
#define BS_TYPEMASK 0x0000000FL

#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BM_GETSTATE 0x00F2
#define BM_SETSTATE 0x00F3
#define BM_CLICK 0x00F5

#define BST_UNCHECKED 0x0000
#define BST_CHECKED 0x0001
#define BST_PUSHED 0x0004
#define BST_FOCUS 0x0008

#define BN_CLICKED 0

#define WM_CAPTURECHANGED 0x0215

// ---- GDI32: stock objects and system colours -----------------------------------
using COLORREF = DWORD;
#ifndef RGB
#define RGB(r, g, b) \
    (static_cast<COLORREF>(static_cast<BYTE>(r) | (static_cast<WORD>(static_cast<BYTE>(g)) << 8) | \
                           (static_cast<DWORD>(static_cast<BYTE>(b)) << 16)))
#endif

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17

#define COLOR_WINDOW 5
#define COLOR_WINDOWTEXT 8
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22

// The stock brushes and fonts above (null for any other index).
HGDIOBJ GetStockObject(int index);
// A system colour as RGB(r, g, b); 0 for an unknown index.
DWORD GetSysColor(int index);

// ---- dialog items: the child windows of a window, by control id -----------------
HWND GetDlgItem(HWND parent, int id);  // null when no child has the id
int GetDlgCtrlID(HWND hwnd);           // 0 for a top-level window
// Checks the button checkId among the buttons firstId..lastId of the parent and
// unchecks the others (an id outside the range checks none).
BOOL CheckRadioButton(HWND parent, int firstId, int lastId, int checkId);
UINT IsDlgButtonChecked(HWND parent, int id);  // BM_GETCHECK of the item, 0 without one

// ---- mouse capture -----------------------------------------------------------------
// While a window has the capture, the mouse messages of
// its top-level window go to it (positions in its client coordinates).
HWND SetCapture(HWND hwnd);  // the previous capture window
BOOL ReleaseCapture();       // sends WM_CAPTURECHANGED to the window that had it
HWND GetCapture();
