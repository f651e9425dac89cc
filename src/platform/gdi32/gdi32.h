// GDI32 stand-in: device contexts of windows, device-independent bitmaps
// (DIBs) copied to a window, and DIB sections.
//
// A window's device context draws into the window's picture (its client
// area, kept by the SDL back end); every copy to it is shown at once. DIBs of
// 16 bits (5-5-5, or masks with BI_BITFIELDS), 24 bits and 32 bits are read,
// top-down (negative height) or bottom-up (positive height). For a bottom-up
// DIB the source rectangle's y counts from the bottom row, as GDI does.
#pragma once

#include "platform/wintypes.h"

#include <cstdint>
#include <vector>

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];  // with BI_BITFIELDS: the red, green and blue masks as three DWORDs
};

#define BI_RGB 0L
#define BI_BITFIELDS 3L
#define DIB_RGB_COLORS 0
#define SRCCOPY 0x00CC0020
#define GDI_ERROR 0xFFFFFFFFL

#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define VREFRESH 116

// A window's device context (null hwnd: the screen, which shows nothing).
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);
int GetDeviceCaps(HDC hdc, int index);

// Copies a rectangle of a DIB to the context at (xDest, yDest), unscaled. The
// bits hold cLines scan lines starting with scan line startScan (scan 0 is the
// bottom row of a bottom-up DIB, the top row of a top-down one). The number of
// scan lines set, 0 on failure.
int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                      UINT startScan, UINT cLines, const void* bits, const BITMAPINFO* bmi, UINT colorUse);
// Copies a rectangle of a DIB scaled (nearest pixel) to a destination
// rectangle; a negative width or height on one side mirrors. Only SRCCOPY.
// The number of scan lines copied, 0 on failure.
int StretchDIBits(HDC hdc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* bmi, UINT usage, DWORD rop);

// A DIB whose bits the caller writes directly (*bits); freed by DeleteObject.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* bmi, UINT usage, void** bits, HANDLE section, DWORD offset);
BOOL DeleteObject(HGDIOBJ object);
inline BOOL DeleteObject(HBITMAP bitmap) { return DeleteObject(reinterpret_cast<HGDIOBJ>(bitmap)); }
BOOL GdiFlush();

namespace platform {
// The picture a window shows: its client area as 0x00RRGGBB, rows top-down,
// as the last copies to it left it. False for a window without one.
bool ReadWindowPicture(HWND hwnd, std::vector<uint32_t>* pixels, int* width, int* height);
// How many times the window's picture has been shown.
uint64_t WindowPresentCount(HWND hwnd);
}  // namespace platform
