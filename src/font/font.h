// Fonts: GDI fonts behind font handles, each with its own glyph cache, and
// string drawing from that cache.
//
// A font handle is 0x20000000 | (check value << 16) | slot, with 40 slots.
// Strings are Shift-JIS (or the charset's double-byte code); every byte or
// double-byte character is one glyph on one line (control bytes included).
// On the software path a glyph cache is a column of square cells in main
// memory; glyphs are written straight into the draw target, or, when the
// blend state or anti-aliasing asks for it, composed in a screen-sized work
// image and blitted.
//
// Font types: bit 0 edge (an outline of the edge size around every glyph),
// bit 1 anti-alias (17 grey levels from the glyph outline, kept as 16).
//
// Results: 0 (or a handle) on success, -1 on failure with a log line where
// the failure is the caller's to see.
#pragma once

#include <cstdint>

constexpr int32_t kFontHandleType = 0x20000000;
constexpr int32_t kMaxFontHandles = 40;

constexpr int32_t kFontTypeEdge = 1;
constexpr int32_t kFontTypeAntialias = 2;

// ---- font handles -------------------------------------------------------------
// Creates a font. -1 picks the default of each argument: size 16 (the GDI
// cell height), thickness 6 (weight 600), type 0, the library's code-page
// kind as charset index (0 default, 1 Shift-JIS, 2 Hangul, 3 Big5, 4 GB2312),
// edge size 1 (an edge size above 1 sets the edge bit), any free slot, the
// next check value. A null or empty face name creates "ＭＳ ゴシック".
// The handle, or -1 (logged).
int32_t CreateFontToHandle(const char* faceName, int32_t size, int32_t thickness, int32_t type, int32_t charset,
                           int32_t edgeSize, int32_t italic, int32_t slot = -1, int32_t checkValue = -1);
// Deletes the font and its cache; the owner's lost flag becomes 1. 0, or -1.
int DeleteFontHandle(int32_t font);
// Hooks the owner's flag (set to 0 now, to 1 when the font is deleted). 0 or -1.
int SetFontLostFlag(int32_t font, int32_t* lostFlag);
// Copies the face name given at creation (up to 256 bytes with the NUL; empty
// when none was given) and the size and thickness; each out may be null.
int GetFontHandleInfo(char* faceName, int32_t* size, int32_t* thickness, int32_t font);
int32_t GetDefaultFontHandle();
int CheckFontHandle(int32_t font);  // 1 valid, 0 not
// Extra advance in pixels after every character.
int SetFontSpacing(int32_t spacing, int32_t font);
int32_t GetFontSize(int32_t font);

// ---- module (the graphics layer calls these) -------------------------------------
int InitFontModule();     // defaults reset, default font created
int TermFontModule();     // every font deleted
int ResetFonts();         // every font deleted, the default font created again
int ApplyDefaultFontSettings();
int SetDefaultFontSize(const char* faceName, int32_t size, int32_t thickness);
int RecreateAllFonts();   // every font made again under the same handle

// ---- drawing -------------------------------------------------------------------------
// Draws one line at (x, y) of the draw target: colour and edge colour are
// pixel values of the screen's format (MakeColor); vertical non-zero writes
// top to bottom, each glyph turned a quarter turn clockwise. 0 (also when
// nothing is drawn), or -1 for an invalid font handle.
int DrawStringByFont(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font, uint32_t edgeColor,
                     int32_t vertical);
