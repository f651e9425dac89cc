// The glyph cache of a font: cells taken round robin, glyph bitmaps from the
// GDI glyph outlines composed into the cache's pixel encoding (with the
// outline of the edge types), and the caching of a string's characters.
#include "core/library.h"
#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "font/font_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"
#include "platform/gdi32/gdi32_font.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxPatternPositions = (2 * kMaxFontEdgeSize + 1) * (2 * kMaxFontEdgeSize + 1);

// Work buffers for strings of up to kStringWorkEntries bytes.
CharacterEntry g_characterWork[kStringWorkEntries];
CharacterEntry g_newEntryWork[kStringWorkEntries];
uint16_t g_newCodeWork[kStringWorkEntries];
int32_t g_patternWork[kMaxPatternPositions][2];

// Whether the edge pattern of size e covers the offset (dx, dy).
bool EdgeCovers(int32_t e, int32_t dx, int32_t dy) {
    const int32_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    switch (e) {
        case 0: return false;
        case 1: return (ay == 1 && ax == 0) || (ay == 0 && ax == 1);
        case 2: return ay == 2 ? ax <= 1 : ax <= 2;
        case 3: return ay == 3 ? ax == 0 : ay == 0 ? ax <= 3 : ax <= 2;
        case 4: return ay == 4 ? ax <= 2 : ay == 3 ? ax <= 3 : ax <= 4;
        default: return true;
    }
}

// The glyph's bitmap as GetGlyphOutlineA gave it.
struct GlyphBitmap {
    const uint8_t* bits;
    int32_t rowBytes;
    int32_t width;
    int32_t height;
    bool gray;
    int32_t Value(int32_t i, int32_t j) const {
        const uint8_t* row = bits + static_cast<ptrdiff_t>(j) * rowBytes;
        if (!gray) return (row[i >> 3] >> (7 - (i & 7))) & 1;
        return std::min<int32_t>(row[i], 16);
    }
};

// Writes a glyph into its software cell at row y of the cache. Every write
// stays inside the cell.
void ComposeSoftwareGlyph(FontRecord* r, int32_t y, const GlyphBitmap& g) {
    const int32_t cell = r->cellSize, pitch = r->softwarePitch;
    uint8_t* base = r->softwareCache + static_cast<ptrdiff_t>(y) * pitch;
    auto at = [&](int32_t cx, int32_t cy) -> uint8_t* {
        return (cx >= 0 && cx < cell && cy >= 0 && cy < cell) ? base + static_cast<ptrdiff_t>(cy) * pitch + cx
                                                              : nullptr;
    };
    const int32_t rows = std::min(g.height, cell);
    if (r->type == 0) {
        const int32_t bytes = std::min({(g.width + 7) / 8, (cell + 7) / 8, pitch});
        for (int32_t j = 0; j < rows; ++j)
            std::memcpy(base + static_cast<ptrdiff_t>(j) * pitch, g.bits + static_cast<ptrdiff_t>(j) * g.rowBytes,
                        static_cast<size_t>(bytes));
        return;
    }
    if (r->type == kFontTypeAntialias) {
        for (int32_t j = 0; j < g.height; ++j)
            for (int32_t i = 0; i < g.width; ++i)
                if (int32_t v = g.Value(i, j); v >= 1)
                    if (uint8_t* p = at(i, j)) *p = static_cast<uint8_t>(v - 1);
        return;
    }
    const int32_t e = r->edgeSize;
    const int32_t positions = EdgePatternOffsets(e, g_patternWork, kMaxPatternPositions);
    const bool antialias = (r->type & kFontTypeAntialias) != 0;
    for (int32_t j = 0; j < g.height; ++j) {
        for (int32_t i = 0; i < g.width; ++i) {
            const int32_t v = g.Value(i, j);
            if (v == 0) continue;
            if (uint8_t* p = at(e + i, e + j)) *p = antialias ? static_cast<uint8_t>(*p | (v - 1)) : 1;
            for (int32_t k = 0; k < positions; ++k) {
                uint8_t* q = at(e + i + g_patternWork[k][0], e + j + g_patternWork[k][1]);
                if (q == nullptr) continue;
                if (!antialias) {
                    if (*q != 1) *q = 2;
                } else if ((*q >> 4) < v - 1) {
                    *q = static_cast<uint8_t>(((v - 1) << 4) | (*q & 0x0F));
                }
            }
        }
    }
}

// Clears a cell of the texture cache's pixels, cut to the pixels: the last
// row and column of cells can reach one pixel beyond them.
void ClearTextureCell(PixelImage* p, int32_t x, int32_t y, int32_t cell) {
    const int32_t w = std::min(cell, p->width - x), h = std::min(cell, p->height - y);
    if (p->pixels != nullptr && x >= 0 && y >= 0 && w > 0 && h > 0) ClearPixelImageRect(p, x, y, w, h);
}

void ClearCell(FontRecord* r, int32_t x, int32_t y) {
    if (r->textureFlag) {
        ClearTextureCell(&r->cachePixels, x, y, r->cellSize);
        if (r->type & kFontTypeEdge) ClearTextureCell(&r->cachePixels, r->cacheWidth + x, y, r->cellSize);
        return;
    }
    std::memset(r->softwareCache + static_cast<ptrdiff_t>(y) * r->softwarePitch, 0,
                static_cast<size_t>(r->cellSize) * r->softwarePitch);
}

int16_t ClampToInt16(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

// Renders one character into the slot (already emptied). false when GDI
// refuses the glyph (logged); the slot then stays free.
bool RenderGlyphIntoSlot(FontRecord* r, GlyphCacheSlot* slot, const CharacterEntry& entry, HDC dc,
                         const TEXTMETRICA& tm) {
    int32_t x = 0, y = 0;
    GlyphCellPosition(*r, slot->cellIndex, &x, &y);
    ClearCell(r, x, y);
    const bool gray = (r->type & kFontTypeAntialias) != 0;
    const UINT format = gray ? GGO_GRAY4_BITMAP : GGO_BITMAP;
    static const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    const UINT code = IsLeadByte(&entry.first, r->charsetIndex) ? entry.first * 256u + entry.second : entry.first;
    const bool blank = entry.first == 0x20 || (entry.first == 0x81 && entry.second == 0x40);
    GLYPHMETRICS gm{};
    const DWORD size = GetGlyphOutlineA(dc, code, format, &gm, 0, nullptr, &kIdentity);
    if (size == GDI_ERROR) {
        WriteLog("GetGlyphOutline 関数が失敗しました\n");
        return false;
    }
    const int32_t extra = (r->type & kFontTypeEdge) ? r->edgeSize * 2 : 0;
    int32_t width = 0, height = 0;
    // A glyph without ink (size 0) is laid out like a space: its advance only.
    if (!blank && size != 0 && gm.gmBlackBoxY != 0) {
        const int32_t rowBytes = static_cast<int32_t>((size / gm.gmBlackBoxY) & ~3u);
        auto* block = static_cast<uint8_t*>(AllocMemoryZeroed(size + 2u * static_cast<uint32_t>(rowBytes), "", 0));
        if (block == nullptr) ExitWithError("アンチエイリアス文字取得用バッファの確保に失敗しました");
        uint8_t* bits = block + rowBytes;
        if (GetGlyphOutlineA(dc, code, format, &gm, size, bits, &kIdentity) == GDI_ERROR) {
            WriteLog("GetGlyphOutline 関数が失敗しました\n");
            FreeMemory(block);
            return false;
        }
        GlyphBitmap glyph{bits, rowBytes, static_cast<int32_t>(gm.gmBlackBoxX), static_cast<int32_t>(gm.gmBlackBoxY),
                          gray};
        // Only what the rows hold, and only what fits the cell, is kept.
        glyph.width = std::min(glyph.width, gray ? rowBytes : rowBytes * 8);
        glyph.height = std::min<int32_t>(glyph.height, static_cast<int32_t>(size) / std::max(rowBytes, 1));
        slot->xOffset = ClampToInt16(gm.gmptGlyphOrigin.x);
        slot->topOffset = ClampToInt16(tm.tmAscent - gm.gmptGlyphOrigin.y);
        width = std::min(glyph.width + extra, r->cellSize) - extra;
        height = std::min(glyph.height + extra, r->cellSize) - extra;
        if (r->textureFlag) {
            ComposeTextureGlyph(r, x, y, bits, rowBytes, glyph.width, glyph.height);
        } else {
            ComposeSoftwareGlyph(r, y, glyph);
        }
        FreeMemory(block);
    }
    slot->advance = ClampToInt16(gm.gmCellIncX + extra);
    slot->width = ClampToInt16(std::max(width, 0) + extra);
    slot->height = ClampToInt16(std::max(height, 0) + extra);
    return true;
}

}  // namespace

int32_t EdgePatternOffsets(int32_t edgeSize, int32_t (*offsets)[2], int32_t capacity) {
    int32_t count = 0;
    const int32_t e = std::clamp(edgeSize, 0, kMaxFontEdgeSize);
    for (int32_t dy = -e; dy <= e; ++dy)
        for (int32_t dx = -e; dx <= e; ++dx)
            if (EdgeCovers(e, dx, dy) && count < capacity) {
                offsets[count][0] = dx;
                offsets[count][1] = dy;
                ++count;
            }
    return count;
}

void GlyphCellPosition(const FontRecord& r, int32_t cellIndex, int32_t* x, int32_t* y) {
    const int32_t perColumn = r.cellsPerColumn > 0 ? r.cellsPerColumn : 1;
    *x = (cellIndex / perColumn) * r.cellSize;
    *y = (cellIndex % perColumn) * r.cellSize;
    if (r.textureFlag) {
        ++*x;
        ++*y;
    }
}

int ClearGlyphCache(int32_t font) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    std::memset(static_cast<void*>(r->codes), 0, sizeof r->codes);
    std::memset(static_cast<void*>(r->slots), 0, sizeof r->slots);
    for (int32_t i = 0; i < r->slotCount; ++i) r->slots[i].cellIndex = i;
    r->slots[r->slotCount].cellIndex = -1;
    r->nextSlot = 0;
    return 0;
}

int SetupGlyphCacheImages(int32_t font) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    if (r->rebuildFlag != 1) return 0;
    r->rebuildFlag = 0;
    const int32_t blankAlpha = GetBlankImageAlpha(), bitDepth = GetImageBitDepth();
    const int32_t hardware = IsHardwareAllowed(), colorKey = GetUseColorKey();
    const bool antialias = (r->type & kFontTypeAntialias) != 0;
    SetBlankImageAlpha(antialias ? 1 : 0);
    SetUseColorKey(antialias ? 0 : 1);
    SetImageBitDepth(16);
    SetHardwareAllowed(1);
    const int created = CreateGlyphCacheImages(r);
    SetUseColorKey(colorKey);
    SetBlankImageAlpha(blankAlpha);
    SetImageBitDepth(bitDepth);
    SetHardwareAllowed(hardware);
    if (created != 0 || r->cacheImage < 0) return -1;
    SetImageLostFlag(r->cacheImage, &r->rebuildFlag);
    FillImage(r->cacheImage, 255, 255, 255, 0);
    ClearGlyphCache(font);
    return 0;
}

GlyphCacheSlot* RenderGlyphsToCache(int32_t font, int32_t count, const CharacterEntry* list) {
    if (g_drawState.drawingSuspended) return nullptr;
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr || count < 1 || list == nullptr || r->slotCount < 1) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (dc == nullptr) ExitWithError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    HGDIOBJ previous = SelectObject(dc, r->gdiFont);
    if (previous == nullptr) {
        DeleteDC(dc);
        ExitWithError("テキストキャッシュサーフェスのＤＣの取得に失敗しました");
    }
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    GlyphCacheSlot* last = nullptr;
    for (int32_t n = 0; n < count; ++n) {
        GlyphCacheSlot* slot = &r->slots[r->nextSlot];
        if (slot->used) {
            slot->codeEntry->cached = 0;
            slot->codeEntry->slot = nullptr;
            slot->used = 0;
        }
        // A glyph GDI refuses gives no slot: its caller sees the failure
        // instead of the cell's previous glyph.
        last = nullptr;
        if (!RenderGlyphIntoSlot(r, slot, list[n], dc, tm)) continue;
        GlyphCodeEntry* code = &r->codes[CodeIndexOf(list[n])];
        code->cached = 1;
        code->slot = slot;
        slot->codeEntry = code;
        slot->used = 1;
        r->nextSlot = r->nextSlot + 1 >= r->slotCount ? 0 : r->nextSlot + 1;
        last = slot;
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    return last;
}

int CacheStringGlyphs(const char* text, int32_t length, int32_t font, CharacterEntry* listOut, int32_t* countOut) {
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    const size_t stringLength = text != nullptr ? std::strlen(text) : 0;
    size_t bytes = (length < 0 || static_cast<size_t>(length) > stringLength) ? stringLength : static_cast<size_t>(length);
    CharacterEntry* entries = listOut != nullptr ? listOut : g_characterWork;
    CharacterEntry* newEntries = g_newEntryWork;
    uint16_t* newCodes = g_newCodeWork;
    void* block = nullptr;
    if (bytes > static_cast<size_t>(kStringWorkEntries)) {
        // Character entries (when the caller keeps none), new-code entries and codes.
        const uint64_t size = uint64_t(bytes) * (listOut != nullptr ? 5 : 8);
        block = size <= UINT32_MAX ? AllocMemory(static_cast<uint32_t>(size), "", 0) : nullptr;
        if (block == nullptr) return -1;
        auto* p = static_cast<uint8_t*>(block);
        newEntries = reinterpret_cast<CharacterEntry*>(p);
        newCodes = reinterpret_cast<uint16_t*>(p + 3 * bytes);
        if (listOut == nullptr) entries = reinterpret_cast<CharacterEntry*>(p + 5 * bytes);
    }
    int32_t count = 0, collected = 0;
    for (size_t consumed = 0; consumed < bytes;) {
        CharacterEntry e{static_cast<uint8_t>(text[consumed]), 0, 0};
        if (IsLeadByte(&text[consumed], r->charsetIndex)) {
            e.second = static_cast<uint8_t>(text[consumed + 1]);  // at most the string's NUL
            consumed += 2;
        } else {
            consumed += 1;
        }
        entries[count++] = e;
        GlyphCodeEntry& code = r->codes[CodeIndexOf(e)];
        if (!code.cached && collected < r->slotCount) {
            code.cached = 1;
            newCodes[collected] = static_cast<uint16_t>(CodeIndexOf(e));
            newEntries[collected++] = e;
        }
    }
    for (int32_t k = 0; k < collected; ++k) r->codes[newCodes[k]].cached = 0;
    if (collected > 0) RenderGlyphsToCache(font, collected, newEntries);
    if (countOut != nullptr) *countOut = count;
    FreeMemory(block);
    return 0;
}
