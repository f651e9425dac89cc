// Drawing of the predefined controls into their top-level window's picture
// (shared by controls.cpp and control_draw.cpp only).
#pragma once

#include "platform/user32/controls.h"

namespace user32 {

// Button state kept in the control's window bytes.
constexpr int kButtonStateIndex = 0;                 // BST_* bits and the tracking bits below
constexpr int kButtonFontIndex = sizeof(LONG_PTR);  // the font of WM_SETFONT
constexpr int kButtonExtraBytes = 2 * sizeof(LONG_PTR);
constexpr LONG_PTR kTrackingMouse = 0x100;  // pressed with the mouse, capture held
constexpr LONG_PTR kTrackingSpace = 0x200;  // pressed with the space bar

// Pixel size of the text of a font handle: the default GUI font is the small
// interface face, no font (the system font) a larger one.
int FontPixelSize(HGDIOBJ font);
// An RGB colour of COLORREF order as a picture pixel (0x00RRGGBB).
uint32_t PixelOf(COLORREF colour);

// Draws a "BUTTON" control as its style and state ask.
void PaintButton(HWND hwnd);

}  // namespace user32
