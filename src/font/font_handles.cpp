// Font handles: the 40-slot table, font creation with its GDI fallbacks and
// cache sizing, deletion and the accessors.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "font/font_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "platform/gdi32/gdi32_font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kDefaultFontSize = 16;
constexpr int32_t kDefaultThickness = 6;
// "ＭＳ ゴシック": the face a font without a face name asks for.
constexpr const char* kDefaultFaceName = "ＭＳ ゴシック";

int32_t SaturatedWeight(int32_t thickness) {
    int64_t weight = int64_t{thickness} * 100;
    return static_cast<int32_t>(std::clamp<int64_t>(weight, INT32_MIN, INT32_MAX));
}

HFONT CreateGdiFont(const FontRecord& r, const char* face, int32_t charset, int32_t italic) {
    return CreateFontA(r.size, 0, 0, 0, SaturatedWeight(r.thickness), static_cast<DWORD>(italic), 0, 0,
                       static_cast<DWORD>(charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                       FIXED_PITCH | FF_DONTCARE, face);
}

}  // namespace

int32_t PrepareDefaultFontFace() {
    // The first attempt of the default font that InitFontModule makes.
    PrepareFontFace(kDefaultFaceName, static_cast<DWORD>(CharsetOfIndex(CodePageKind())),
                    SaturatedWeight(kDefaultThickness), 0);
    return 0;
}

namespace {

// The three attempts of font creation; the first font made wins.
HFONT CreateGdiFontWithFallbacks(const FontRecord& r, int32_t charsetIndex) {
    const int32_t charset = CharsetOfIndex(charsetIndex);
    HFONT font;
    if (r.faceName[0] != '\0') {
        if ((font = CreateGdiFont(r, r.faceName, charset, r.italic)) != nullptr) return font;
        if ((font = CreateGdiFont(r, r.faceName, DEFAULT_CHARSET, r.italic)) != nullptr) return font;
        return CreateGdiFont(r, r.faceName, SHIFTJIS_CHARSET, r.italic);
    }
    if ((font = CreateGdiFont(r, kDefaultFaceName, charset, r.italic)) != nullptr) return font;
    if ((font = CreateGdiFont(r, kDefaultFaceName, DEFAULT_CHARSET, 0)) != nullptr) return font;
    return CreateGdiFont(r, nullptr, DEFAULT_CHARSET, 0);
}

// Reads the font's text metrics and sets the cell size and glyph height.
bool MeasureFont(FontRecord* r) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) {
        WriteLog("ＤＣの取得に失敗しました\n");
        return false;
    }
    HGDIOBJ previous = SelectObject(dc, r->gdiFont);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    if (previous != nullptr) SelectObject(dc, previous);
    DeleteDC(dc);
    FontCellSize cell = ComputeFontCellSize(tm.tmMaxCharWidth, tm.tmHeight, r->type, r->edgeSize);
    r->cellSize = cell.cellSize;
    r->glyphHeight = cell.glyphHeight;
    return true;
}

void ApplyLayout(FontRecord* r, const GlyphCacheLayout& layout) {
    r->cacheWidth = layout.cacheWidth;
    r->cacheHeight = layout.cacheHeight;
    r->slotCount = layout.slotCount;
    r->cellsPerColumn = layout.cellsPerColumn;
}

// The texture cache: its images (through the device) and the main-memory
// copy in which glyphs are composed. false only when that copy cannot be
// allocated; a cache whose images cannot be made falls back to software.
bool SetUpTextureCache(FontRecord* r, int32_t handle) {
    ApplyLayout(r, ComputeTextureCacheLayout(r->cellSize, FontModule().defaults.cacheSize));
    r->rebuildFlag = 1;
    if (SetupGlyphCacheImages(handle) != 0) {
        WriteLog("テクスチャ文字キャッシュの作成に失敗しました\n");
        r->textureFlag = 0;
        return true;
    }
    const bool antialias = (r->type & kFontTypeAntialias) != 0;
    PixelImage& p = r->cachePixels;
    p.format = *GetImageColorFormat(antialias ? 1 : 0, antialias ? 0 : 1, 0, 0);
    p.width = (r->type & kFontTypeEdge) ? r->cacheWidth * 2 : r->cacheWidth;
    p.height = r->cacheHeight;
    p.pitch = p.format.pixelByte * p.width;
    p.reserved = 0;
    uint64_t bytes = uint64_t(uint32_t(p.pitch)) * uint32_t(p.height);
    p.pixels = bytes <= UINT32_MAX ? AllocMemoryZeroed(static_cast<uint32_t>(bytes), "", 0) : nullptr;
    if (p.pixels == nullptr) {
        WriteLog("文字キャッシュ基本イメージ用のメモリの確保に失敗しました\n");
        return false;
    }
    return true;
}

bool SetUpSoftwareCache(FontRecord* r) {
    r->softwareBitsPerPixel = r->type == 0 ? 1 : 8;
    ApplyLayout(r, ComputeSoftwareCacheLayout(r->cellSize, FontModule().defaults.cacheSize));
    r->softwarePitch = (r->cellSize * r->softwareBitsPerPixel + 7) / 8;
    uint64_t bytes = uint64_t(uint32_t(r->softwarePitch)) * uint32_t(r->cacheHeight);
    r->softwareCache =
        bytes <= UINT32_MAX ? static_cast<uint8_t*>(AllocMemory(static_cast<uint32_t>(bytes), "", 0)) : nullptr;
    if (r->softwareCache == nullptr) {
        WriteLog("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle");
        return false;
    }
    return true;
}

// Releases what a record holds and empties its slot; the owner's lost flag
// becomes 1.
void DestroyFontRecord(int32_t slot) {
    FontRecord* r = FontModule().records[slot];
    if (r->gdiFont != nullptr) DeleteObject(r->gdiFont);
    r->gdiFont = nullptr;
    FreeMemory(r->softwareCache);
    r->softwareCache = nullptr;
    if (r->cacheImage >= 0) {
        DeleteImage(r->cacheImage);
        if (r->edgeImage >= 0) DeleteImage(r->edgeImage);
    }
    r->cacheImage = -1;
    r->edgeImage = -1;
    FreeMemory(r->cachePixels.pixels);
    r->cachePixels.pixels = nullptr;
    if (r->lostFlag != nullptr) *r->lostFlag = 1;
    FreeMemory(r);
    FontModule().records[slot] = nullptr;
}

// The failure exit of creation after the record exists.
int32_t FailCreation(int32_t slot) {
    FontModule().records[slot]->checkValue = 0;
    DeleteFontHandle(MakeFontHandle(0, slot));
    return -1;
}

int32_t TakeSlot(int32_t slot) {
    FontModuleState& m = FontModule();
    if (slot != -1) return (slot >= 0 && slot < kMaxFontHandles && m.records[slot] == nullptr) ? slot : -1;
    for (int32_t i = 0; i < kMaxFontHandles; ++i)
        if (m.records[i] == nullptr) return i;
    WriteLogFormatted("作成できるフォントハンドル数 %d の限界を超えました", kMaxFontHandles);
    return -1;
}

}  // namespace

FontModuleState& FontModule() {
    static FontModuleState state{};
    return state;
}

int32_t MakeFontHandle(int32_t checkValue, int32_t slot) {
    return kFontHandleType | ((checkValue & 0x7FF) << 16) | slot;
}

int32_t CharsetOfIndex(int32_t index) {
    static const int32_t kCharsets[] = {DEFAULT_CHARSET, SHIFTJIS_CHARSET, HANGUL_CHARSET, CHINESEBIG5_CHARSET,
                                        GB2312_CHARSET};
    return index >= 0 && index < 5 ? kCharsets[index] : DEFAULT_CHARSET;
}

FontCellSize ComputeFontCellSize(int32_t maxCharWidth, int32_t textHeight, int32_t type, int32_t edgeSize) {
    const int32_t edges = (type & kFontTypeEdge) ? edgeSize * 2 : 0;
    int32_t cell = (maxCharWidth + 2 + edges + 7) / 8 * 8;
    int32_t glyphHeight = textHeight + edges;
    if (glyphHeight % 2 != 0) ++glyphHeight;
    if (cell < glyphHeight) cell = glyphHeight;
    return FontCellSize{cell, glyphHeight};
}

GlyphCacheLayout ComputeTextureCacheLayout(int32_t cellSize, int32_t requested) {
    GlyphCacheLayout l{};
    if (cellSize <= 0) return l;
    int32_t width, height, slots;
    if (requested > 0) {
        int32_t side = cellSize * (static_cast<int32_t>(std::sqrt(static_cast<float>(requested))) + 1);
        int32_t power = 8;
        while (power < side) power *= 2;
        width = height = power;
        slots = (power / cellSize) * (power / cellSize);
    } else {
        width = height = 512;
        slots = (512 / cellSize) * (512 / cellSize);
        while (slots < 10) {
            if (width > height) height *= 2;
            else width *= 2;
            slots = (height / cellSize) * (width / cellSize);
        }
    }
    l.cacheWidth = width;
    l.cacheHeight = height;
    l.slotCount = std::min(slots, kMaxGlyphSlots);
    l.cellsPerColumn = height / cellSize;
    return l;
}

GlyphCacheLayout ComputeSoftwareCacheLayout(int32_t cellSize, int32_t requested) {
    GlyphCacheLayout l{};
    if (cellSize <= 0) return l;
    int64_t slots = requested > 0 ? requested
                                  : std::max<int64_t>(kMinSoftwareSlots, kSoftwareCacheArea / (int64_t{cellSize} * cellSize));
    l.slotCount = static_cast<int32_t>(std::min<int64_t>(slots, kMaxGlyphSlots));
    l.cacheWidth = cellSize;
    l.cacheHeight = l.slotCount * cellSize;
    l.cellsPerColumn = l.slotCount;
    return l;
}

FontRecord* GetFontRecord(int32_t font) {
    if (font < 0 || (font & kHandleTypeMask) != kFontHandleType) return nullptr;
    int32_t slot = font & 0xFFFF;
    if (slot >= kMaxFontHandles) return nullptr;
    FontRecord* r = FontModule().records[slot];
    if (r == nullptr || (r->checkValue << 16) != (font & 0x07FF0000)) return nullptr;
    return r;
}

int32_t CreateFontToHandle(const char* faceName, int32_t size, int32_t thickness, int32_t type, int32_t charset,
                           int32_t edgeSize, int32_t italic, int32_t slot, int32_t checkValue) {
    if (IsWindowDestroyed()) return -1;
    if (type == -1) type = 0;
    if (edgeSize > 1) type |= kFontTypeEdge;
    if (size == -1) size = kDefaultFontSize;
    if (thickness == -1) thickness = kDefaultThickness;
    if (edgeSize == -1) edgeSize = 1;
    if (charset == -1) charset = CodePageKind();
    type &= kFontTypeEdge | kFontTypeAntialias;
    if (charset < 0 || charset > 4) charset = 0;
    if (edgeSize < 0 || edgeSize > kMaxFontEdgeSize) {
        return WriteLogFormatted("フォントの縁の太さ %d には対応していません in CreateFontToHandle", edgeSize);
    }
    slot = TakeSlot(slot);
    if (slot < 0) return -1;
    auto* r = static_cast<FontRecord*>(AllocMemory(sizeof(FontRecord), "", 0));
    if (r == nullptr) return WriteLog("フォント管理用メモリ領域の確保に失敗しました\n");
    std::memset(static_cast<void*>(r), 0, sizeof(FontRecord));
    r->cacheImage = -1;
    r->edgeImage = -1;
    FontModuleState& m = FontModule();
    m.records[slot] = r;
    if (GetScreenBitDepth() == 8) type &= ~kFontTypeAntialias;
    r->edgeSize = edgeSize;
    r->size = size;
    r->thickness = thickness;
    r->type = type;
    r->italic = italic;
    r->spacing = 0;
    if (checkValue >= 0) {
        r->checkValue = checkValue & 0x7FF;
    } else {
        r->checkValue = m.checkCounter;
        m.checkCounter = m.checkCounter >= kHandleCheckLimit - 1 ? 0 : m.checkCounter + 1;
    }
    const int32_t handle = MakeFontHandle(r->checkValue, slot);
    r->textureFlag = (Screen().d3dActive && !m.defaults.noTextureCache) ? 1 : 0;
    if (faceName != nullptr) CopyText(r->faceName, sizeof r->faceName, faceName);
    r->gdiFont = CreateGdiFontWithFallbacks(*r, charset);
    if (r->gdiFont == nullptr) {
        WriteLog(r->faceName[0] != '\0' ? "指定のフォントの作成に失敗しました\n" : "フォントの作成に失敗しました\n");
        return FailCreation(slot);
    }
    if (!MeasureFont(r)) return FailCreation(slot);
    if (r->textureFlag && !SetUpTextureCache(r, handle)) return FailCreation(slot);
    if (!r->textureFlag && !SetUpSoftwareCache(r)) return FailCreation(slot);
    ClearGlyphCache(handle);
    r->charsetIndex = charset;
    r->lostFlag = nullptr;
    return handle;
}

int DeleteFontHandle(int32_t font) {
    if (GetFontRecord(font) == nullptr) return -1;
    DestroyFontRecord(font & 0xFFFF);
    return 0;
}

int SetFontLostFlag(int32_t font, int32_t* lostFlag) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    r->lostFlag = lostFlag;
    if (lostFlag != nullptr) *lostFlag = 0;
    return 0;
}

int GetFontHandleInfo(char* faceName, int32_t* size, int32_t* thickness, int32_t font) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    if (faceName != nullptr) std::memcpy(faceName, r->faceName, std::strlen(r->faceName) + 1);
    if (size != nullptr) *size = r->size;
    if (thickness != nullptr) *thickness = r->thickness;
    return 0;
}

int32_t GetDefaultFontHandle() { return FontModule().defaults.defaultFont; }

int CheckFontHandle(int32_t font) { return GetFontRecord(font) != nullptr ? 1 : 0; }

int SetFontSpacing(int32_t spacing, int32_t font) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    r->spacing = spacing;
    return 0;
}

int32_t GetFontSize(int32_t font) {
    FontRecord* r = GetFontRecord(font);
    return r != nullptr ? r->size : -1;
}
