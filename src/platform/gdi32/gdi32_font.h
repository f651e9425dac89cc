// GDI32 stand-in: fonts, memory device contexts, text metrics and glyph
// bitmaps, over FreeType and fontconfig.
//
// CreateFontA picks a face with fontconfig: the face name (Shift-JIS) is
// matched as a family, with the language of the character set; the Japanese
// gothic names of the Windows system ("ＭＳ ゴシック", "MS Gothic" and their
// proportional and mincho kin) are looked up as the IPA faces. Any name finds
// some face; a null name asks for a sans-serif face of the charset's
// language. The font is null only when no face can be opened, for a height
// beyond +-2048 pixels, or when a test makes the call fail.
//
// Heights follow GDI: a positive height is the cell height (ascent plus
// descent of the face's Windows metrics), a negative one the em height, 0 a
// cell of 16. A weight of 550 or more on a lighter face is emboldened (one
// pixel wider, advance + 1); italic on an upright face is slanted.
//
// A memory DC (CreateCompatibleDC) starts with the stock system font
// selected. GetGlyphOutlineA converts the character code from the code page
// of the selected font's charset (DEFAULT_CHARSET: code page 932) to Unicode;
// a double-byte code is first byte x 256 + second byte. Bitmaps are rows top
// down, each padded to 4 bytes: GGO_BITMAP one bit per pixel, leftmost pixel
// in the most significant bit; GGO_GRAY4_BITMAP one byte per pixel, 0 to 16.
// A blank glyph reports a 1 x 1 black box and a size of 0, as GDI does.
//
// Seams (seams::FailCall): "CreateFontA", "CreateCompatibleDC",
// "SelectObject", "GetTextMetricsA", "GetGlyphOutlineA" (every call) and
// "GetGlyphOutlineA:bitmap" (only calls that fetch a bitmap into a buffer).
#pragma once

#include "platform/gdi32/gdi32.h"  // GDI_ERROR, DeleteObject
#include "platform/wintypes.h"

#include <cstdint>
#include <string>
#include <vector>

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    POINT gmptGlyphOrigin;
    SHORT gmCellIncX;
    SHORT gmCellIncY;
};

struct FIXED {
    WORD fract;
    SHORT value;
};

struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136

#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0

#define FW_NORMAL 400
#define FW_BOLD 700

// tmPitchAndFamily bits (TMPF_FIXED_PITCH set means a variable pitch).
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04

// GetGlyphOutlineA formats.
#define GGO_METRICS 0
#define GGO_BITMAP 1
#define GGO_GRAY2_BITMAP 4
#define GGO_GRAY4_BITMAP 5
#define GGO_GRAY8_BITMAP 6

HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision,
                  DWORD quality, DWORD pitchAndFamily, LPCSTR faceName);

// Reads ahead, on a thread of its own, the face a CreateFontA with these
// arguments will pick (fontconfig's answer and the file's bytes), so that a
// program can start it before the work it does meanwhile; that CreateFontA
// then waits for it. Nothing else changes: a face not found is looked for
// again when the font is made.
void PrepareFontFace(LPCSTR faceName, DWORD charSet, int weight, DWORD italic);

// A memory device context (the argument is ignored: every memory DC is
// compatible with the screen). Freed with DeleteDC.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// Selects a font (or a stock font) into a memory DC; the previous font, or
// null for a DC or object this stand-in does not know.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
inline HGDIOBJ SelectObject(HDC dc, HFONT font) { return SelectObject(dc, reinterpret_cast<HGDIOBJ>(font)); }

// Deletes a font made by CreateFontA: FALSE for an unknown handle or a font
// that is selected into a DC. DeleteObject (gdi32.h) passes fonts on here.
BOOL DeleteFontObject(HGDIOBJ object);
inline BOOL DeleteObject(HFONT font) { return DeleteFontObject(reinterpret_cast<HGDIOBJ>(font)); }

// The metrics of the font selected into the DC.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);

// The metrics and (GGO_BITMAP, GGO_GRAY4_BITMAP) the bitmap of one character.
// With a null buffer or a size of 0: the size a bitmap needs (0 for a blank
// glyph). With a buffer: the bytes written, or GDI_ERROR when the buffer is
// smaller. GGO_METRICS fills the metrics only and returns 0. GDI_ERROR for an
// unknown DC, a null metrics or matrix pointer, another format, or a
// character the font cannot give.
DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2* matrix);

// The width and height of the first count bytes of a string (Shift-JIS in the
// selected font's code page), from the glyphs' advances and tmHeight.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);

namespace platform {
// The face file behind a font ("" for an unknown handle), its face index and
// the pixels per em it renders at (0 when unknown); the emboldening and
// slant applied. For tests that render the same face with FreeType.
struct FontFaceInfo {
    std::string file;
    int faceIndex = 0;
    int pixelsPerEm = 0;
    bool emboldened = false;
    bool slanted = false;
};
bool GetFontFaceInfo(HFONT font, FontFaceInfo* info);
// True for a live font of CreateFontA (DeleteObject asks).
bool IsFontObject(HGDIOBJ object);
// Live fonts and memory DCs (for tests that look for leaks).
int LiveFontObjectCount();
int LiveMemoryDcCount();
// Face files read so far (each is read once and kept), and the different
// questions asked of fontconfig (each answer is kept).
int FontFilesRead();
int FontFaceQuestions();
// The whole of a font file, read in blocks of 64 KiB; false (bytes empty)
// when it is not a regular file, cannot be opened or a read fails. An empty
// file is read as empty.
bool ReadFontFile(const std::string& path, std::vector<uint8_t>* bytes);
}  // namespace platform
