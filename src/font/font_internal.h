// The font module's records and the calls its files share: the font handle
// table, the FontRecord with its glyph cache, the default font settings, the
// glyph cache operations and the string layout routine.
#pragma once

#include "font/font.h"
#include "image/pixel_image.h"
#include "platform/wintypes.h"

#include <cstdint>

struct MEMIMG;

constexpr int32_t kMaxGlyphSlots = 2024;
constexpr int32_t kGlyphCodeCount = 65536;
constexpr int32_t kFaceNameSize = 256;
constexpr int32_t kDefaultFaceNameSize = 128;
constexpr int32_t kMaxFontEdgeSize = 64;      // wider edges are refused
constexpr int32_t kStringWorkEntries = 256;   // strings up to this many bytes need no allocation
constexpr int32_t kSoftwareCacheArea = 327680;  // pixels of an automatic software cache
constexpr int32_t kMinSoftwareSlots = 20;

struct GlyphCodeEntry;

// One cache cell and the glyph it holds.
struct GlyphCacheSlot {
    uint8_t used;
    int16_t xOffset;    // bitmap left from the pen position
    int16_t topOffset;  // bitmap top from the top of the line (tmAscent - origin y)
    int16_t advance;    // pen advance
    int32_t cellIndex;  // the cell this slot owns; -1 behind the last slot
    int16_t width;      // bitmap size (with the edge bit, 2 x edge size more)
    int16_t height;
    GlyphCodeEntry* codeEntry;
};

// One character code: whether it has a cache slot, and which.
struct GlyphCodeEntry {
    int32_t cached;
    GlyphCacheSlot* slot;
};

// The record behind a font handle (allocated with AllocMemory, zeroed).
struct FontRecord {
    int32_t checkValue;
    int32_t* lostFlag;
    GlyphCacheSlot slots[kMaxGlyphSlots + 1];
    GlyphCodeEntry codes[kGlyphCodeCount];  // index: first byte + 256 x second byte
    int32_t nextSlot;
    int32_t slotCount;
    uint8_t* softwareCache;   // the software cache (null with the texture cache)
    int32_t softwarePitch;
    int32_t softwareBitsPerPixel;  // 1 (type 0) or 8
    char faceName[kFaceNameSize];
    int32_t thickness;
    int32_t size;
    int32_t glyphHeight;      // tmHeight (+ 2 x edge size with the edge bit), made even
    int32_t italic;
    int32_t spacing;
    int32_t cellSize;
    HFONT gdiFont;
    int32_t type;             // kFontTypeEdge | kFontTypeAntialias
    int32_t charsetIndex;     // 0..4
    int32_t edgeSize;
    int32_t cacheWidth;
    int32_t cacheHeight;
    int32_t cellsPerColumn;
    int32_t cacheImage;       // the texture cache's image, or -1
    int32_t edgeImage;        // its right (edge) half, or -1
    int32_t rebuildFlag;      // 1: the texture cache's images must be made (again)
    PixelImage cachePixels;   // main-memory copy of the texture cache
    int32_t textureFlag;      // 1 texture cache, 0 software cache
};

// The settings the default font is made from.
struct DefaultFontSettings {
    int32_t noTextureCache;   // 1: software cache also with the Direct3D 9 back end
    int32_t cacheSize;        // glyph cells per font, 0 = automatic
    int32_t defaultFont;      // the default font handle (may be -1)
    char faceName[kDefaultFaceNameSize];
    int32_t size;
    int32_t thickness;
    int32_t type;
    int32_t charsetIndex;
    int32_t edgeSize;
    int32_t italic;
    int32_t spacing;
};

// The module's state: the handle table, its check counter and the defaults;
// InitFontModule clears it whole.
struct FontModuleState {
    FontRecord* records[kMaxFontHandles];
    int32_t checkCounter;     // next check value, 0..2047
    DefaultFontSettings defaults;
};

FontModuleState& FontModule();

// ---- handles (font_handles.cpp) -----------------------------------------------------
// The record of a valid handle, or null.
FontRecord* GetFontRecord(int32_t font);
int32_t MakeFontHandle(int32_t checkValue, int32_t slot);
// The GDI charset of a charset index (0..4).
int32_t CharsetOfIndex(int32_t index);

// Cache geometry, as CreateFontToHandle computes it.
struct FontCellSize {
    int32_t cellSize;
    int32_t glyphHeight;
};
FontCellSize ComputeFontCellSize(int32_t maxCharWidth, int32_t textHeight, int32_t type, int32_t edgeSize);
struct GlyphCacheLayout {
    int32_t cacheWidth;
    int32_t cacheHeight;
    int32_t slotCount;
    int32_t cellsPerColumn;
};
// requested: the requested cell count, 0 automatic.
GlyphCacheLayout ComputeTextureCacheLayout(int32_t cellSize, int32_t requested);
GlyphCacheLayout ComputeSoftwareCacheLayout(int32_t cellSize, int32_t requested);

// ---- glyph cache (glyph_cache.cpp) ---------------------------------------------------
// A character entry: first byte, second byte (0 for a single-byte character), 0.
struct CharacterEntry {
    uint8_t first;
    uint8_t second;
    uint8_t zero;
};
static_assert(sizeof(CharacterEntry) == 3);

inline int32_t CodeIndexOf(const CharacterEntry& e) { return e.first + 256 * e.second; }

int ClearGlyphCache(int32_t font);
int SetupGlyphCacheImages(int32_t font);
GlyphCacheSlot* RenderGlyphsToCache(int32_t font, int32_t count, const CharacterEntry* list);
int CacheStringGlyphs(const char* text, int32_t length, int32_t font, CharacterEntry* listOut, int32_t* countOut);
// Positions covered by the edge pattern of one glyph pixel, row by row from
// the top, each row from the left; returns the count (at most (2e + 1)^2).
int32_t EdgePatternOffsets(int32_t edgeSize, int32_t (*offsets)[2], int32_t capacity);
// Cell position of a slot's cell in the cache.
void GlyphCellPosition(const FontRecord& record, int32_t cellIndex, int32_t* x, int32_t* y);

// ---- string layout (font_draw_core.cpp) -------------------------------------------------
int DrawFontStringCore(int32_t drawFlag, int32_t x, int32_t y, uint8_t extendFlag, double xRate, double yRate,
                       const char* text, uint32_t color, MEMIMG* destination, const RECT* clip,
                       int32_t transparent, int32_t font, uint32_t edgeColor, int32_t length, int32_t vertical,
                       int32_t* sizeOut);
// A colour value of the screen's format scaled by the draw brightness: the
// channels, and 0xFF000000 + RGB (what the device path tints with).
struct ScaledFontColor {
    int32_t red, green, blue;
    uint32_t argb;
};
ScaledFontColor ScaleFontColor(uint32_t color);
// The scaled colour as a pixel value of a MEMIMG colour type (0 or 1; any
// other type takes the screen's), without the bits the format always sets:
// what the software path writes.
uint32_t FontPixelValue(const ScaledFontColor& color, int32_t colorType);

// ---- the Direct3D 9 side (font_device.cpp) ------------------------------------------------
// The texture cache's images (the cache image, and with the edge bit its
// right half as the edge image); -1 when no image with textures can be made.
int CreateGlyphCacheImages(FontRecord* record);
// Composes a GDI glyph bitmap into the cell at (x, y) of the cache pixels
// (the outline into the right half with the edge bit) and transfers it.
void ComposeTextureGlyph(FontRecord* record, int32_t x, int32_t y, const uint8_t* bitmap, int32_t rowBytes,
                         int32_t width, int32_t height);
// Draws one cached glyph through the graphics drawing calls, tinted by the
// draw brightness: the edge first, then the glyph.
void DrawTextureGlyph(const FontRecord& record, const GlyphCacheSlot& slot, int32_t cellX, int32_t cellY,
                      int32_t x, int32_t y, double advanceSum, uint8_t extend, double xRate, double yRate,
                      uint32_t colorArgb, uint32_t edgeArgb, int32_t vertical);
// 1 when the device blends subtractively itself.
int DeviceHasBlendOperationCap();
// The emulated subtractive blend's passes around a string.
void BeginFontSubtractPass(const RECT* rect);
void EndFontSubtractPass(const RECT* rect);
