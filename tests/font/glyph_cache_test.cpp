// The glyph cache: slots and cells, caching a string's characters, round-robin
// eviction, glyph bitmaps in every software encoding, the edge patterns and
// the failures of glyph rendering.
#include "font_test_util.h"

#include <algorithm>
#include <cstring>
#include <set>

using namespace font_test;

namespace {

class GlyphCacheTest : public FontTest {
protected:
    // A font whose cache has the given number of cells.
    int32_t FontWithCells(int32_t cells, int32_t type = 0, int32_t edge = -1, int32_t size = 16) {
        FontModule().defaults.cacheSize = cells;
        int32_t font = CreateFontToHandle(nullptr, size, -1, type, -1, edge, 0);
        FontModule().defaults.cacheSize = 0;
        EXPECT_NE(font, -1);
        return font;
    }
    static bool Cached(const FontRecord* r, uint8_t first, uint8_t second = 0) {
        return r->codes[first + 256 * second].cached != 0;
    }
};

TEST_F(GlyphCacheTest, ClearGivesEverySlotItsCell) {
    const int32_t font = FontWithCells(441);
    const FontRecord* r = GetFontRecord(font);
    ASSERT_EQ(r->slotCount, 441);
    for (int i : {0, 1, 220, 440}) EXPECT_EQ(r->slots[i].cellIndex, i);
    EXPECT_EQ(r->slots[441].cellIndex, -1);
    EXPECT_EQ(r->nextSlot, 0);
    int32_t x = -1, y = -1;
    GlyphCellPosition(*r, 22, &x, &y);
    EXPECT_EQ(x, 0) << "one column";
    EXPECT_EQ(y, 22 * r->cellSize);
    // The texture cache's cells are offset by one pixel: with 21 cells per
    // column and 24-pixel cells, cell 22 lies at (25, 25).
    FontRecord texture = {};
    texture.cellSize = 24;
    texture.cellsPerColumn = 21;
    texture.textureFlag = 1;
    GlyphCellPosition(texture, 22, &x, &y);
    EXPECT_EQ(x, 25);
    EXPECT_EQ(y, 25);
}

TEST_F(GlyphCacheTest, RepeatedCharactersAreRenderedOnce) {
    const int32_t font = FontWithCells(8);
    const FontRecord* r = GetFontRecord(font);
    CharacterEntry list[8];
    int32_t count = 0;
    ASSERT_EQ(CacheStringGlyphs("ABA", -1, font, list, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(r->nextSlot, 2) << "A and B took one slot each";
    EXPECT_TRUE(Cached(r, 'A'));
    EXPECT_TRUE(Cached(r, 'B'));
    EXPECT_EQ(r->codes['A'].slot, &r->slots[0]);
    EXPECT_EQ(r->slots[1].codeEntry, &r->codes['B']);
    EXPECT_EQ(list[2].first, 'A');
    // Double-byte characters make one entry each; a lead byte as the last byte
    // within the length takes the next byte of the string.
    ASSERT_EQ(CacheStringGlyphs("aあb", 2, font, list, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(list[1].first, 0x82);
    EXPECT_EQ(list[1].second, 0xA0);
    EXPECT_TRUE(Cached(r, 0x82, 0xA0));
}

TEST_F(GlyphCacheTest, OnlyAsManyNewGlyphsAsCells) {
    const int32_t font = FontWithCells(4);
    const FontRecord* r = GetFontRecord(font);
    int32_t count = 0;
    ASSERT_EQ(CacheStringGlyphs("ABCDEF", -1, font, nullptr, &count), 0);
    EXPECT_EQ(count, 6);
    for (char c : std::string("ABCD")) EXPECT_TRUE(Cached(r, static_cast<uint8_t>(c))) << c;
    EXPECT_FALSE(Cached(r, 'E'));
    EXPECT_FALSE(Cached(r, 'F'));
    EXPECT_EQ(r->nextSlot, 0) << "wrapped";
}

TEST_F(GlyphCacheTest, RoundRobinEvictsTheOldestGlyph) {
    const int32_t font = FontWithCells(4);
    const FontRecord* r = GetFontRecord(font);
    for (char c : std::string("ABCDE")) {
        CharacterEntry e{static_cast<uint8_t>(c), 0, 0};
        ASSERT_NE(RenderGlyphsToCache(font, 1, &e), nullptr);
    }
    EXPECT_FALSE(Cached(r, 'A'));
    EXPECT_EQ(r->codes['A'].slot, nullptr);
    EXPECT_EQ(r->codes['E'].slot, &r->slots[0]);
    EXPECT_EQ(r->slots[0].codeEntry, &r->codes['E']);
    EXPECT_TRUE(Cached(r, 'B'));
    EXPECT_EQ(RenderGlyphsToCache(font, 0, nullptr), nullptr);
    g_drawState.drawingSuspended = 1;
    CharacterEntry f{'F', 0, 0};
    EXPECT_EQ(RenderGlyphsToCache(font, 1, &f), nullptr);
    g_drawState.drawingSuspended = 0;
}

TEST_F(GlyphCacheTest, SpacesTakeASlotWithTheirAdvanceOnly) {
    const int32_t plain = FontWithCells(8);
    const int32_t edged = FontWithCells(8, 1, 2);
    for (int32_t font : {plain, edged}) {
        const FontRecord* r = GetFontRecord(font);
        const int32_t extra = (r->type & kFontTypeEdge) ? 2 * r->edgeSize : 0;
        CacheStringGlyphs(" 　A", -1, font, nullptr, nullptr);
        const GlyphCacheSlot* space = r->codes[0x20].slot;
        const GlyphCacheSlot* wide = r->codes[0x81 + 256 * 0x40].slot;
        ASSERT_NE(space, nullptr);
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(space->width, extra);
        EXPECT_EQ(space->height, extra);
        EXPECT_EQ(wide->width, extra);
        EXPECT_EQ(space->advance, GlyphOfFont(font, 0x20).metrics.gmCellIncX + extra);
        EXPECT_EQ(wide->advance, GlyphOfFont(font, 0x8140).metrics.gmCellIncX + extra);
        const GlyphCacheSlot* a = r->codes['A'].slot;
        const GdiGlyph glyph = GlyphOfFont(font, 'A');
        EXPECT_EQ(a->width, glyph.Width() + extra);
        EXPECT_EQ(a->height, glyph.Height() + extra);
        EXPECT_EQ(a->xOffset, glyph.metrics.gmptGlyphOrigin.x);
        EXPECT_EQ(a->topOffset, glyph.ascent - glyph.metrics.gmptGlyphOrigin.y);
    }
}

// A glyph whose outline has no ink, other than the two spaces, keeps its
// advance and draws nothing (the ideographic space of the Korean code page).
TEST_F(GlyphCacheTest, InklessGlyphOtherThanASpace) {
    const int32_t font = CreateFontToHandle(nullptr, 16, -1, 2, 2, -1, 0);
    ASSERT_NE(font, -1);
    const FontRecord* r = GetFontRecord(font);
    CacheStringGlyphs("\xA1\xA1", -1, font, nullptr, nullptr);
    const GlyphCacheSlot* slot = r->codes[0xA1 + 256 * 0xA1].slot;
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->width, 0);
    EXPECT_EQ(slot->height, 0);
    EXPECT_GT(slot->advance, 0);
}

TEST_F(GlyphCacheTest, GlyphOutlineFailureLeavesTheCodeUncached) {
    const int32_t font = FontWithCells(4);
    const FontRecord* r = GetFontRecord(font);
    CacheStringGlyphs("AB", -1, font, nullptr, nullptr);
    MarkLog();
    seams::FailCall("GetGlyphOutlineA:bitmap", 1);
    CharacterEntry list[2] = {{'C', 0, 0}, {'D', 0, 0}};
    const GlyphCacheSlot* last = RenderGlyphsToCache(font, 2, list);
    EXPECT_NE(NewLog().find("GetGlyphOutline 関数が失敗しました"), std::string::npos);
    EXPECT_FALSE(Cached(r, 'C'));
    EXPECT_TRUE(Cached(r, 'D'));
    EXPECT_EQ(last, &r->slots[2]) << "D took the slot C could not fill";
    // A failing last entry gives no slot rather than a cell of stale metrics.
    seams::FailCall("GetGlyphOutlineA", 1);
    CharacterEntry e{'E', 0, 0};
    EXPECT_EQ(RenderGlyphsToCache(font, 1, &e), nullptr);
    EXPECT_FALSE(Cached(r, 'E'));
    EXPECT_EQ(r->nextSlot, 3);
    EXPECT_FALSE(r->slots[3].used);
}

TEST_F(GlyphCacheTest, SoftwareEncodingsMatchTheGdiBitmap) {
    for (int32_t type : {0, 1, 2, 3}) {
        const int32_t font = FontWithCells(8, type, (type & 1) ? 2 : -1, 24);
        const FontRecord* r = GetFontRecord(font);
        CacheStringGlyphs("g", -1, font, nullptr, nullptr);
        const GlyphCacheSlot* slot = r->codes['g'].slot;
        ASSERT_NE(slot, nullptr);
        const GdiGlyph glyph = GlyphOfFont(font, 'g');
        const int32_t e = (type & 1) ? r->edgeSize : 0;
        const uint8_t* cell = r->softwareCache + static_cast<size_t>(slot->cellIndex) * r->cellSize * r->softwarePitch;
        auto at = [&](int32_t i, int32_t j) -> uint32_t {
            const uint8_t* row = cell + static_cast<size_t>(j) * r->softwarePitch;
            return type == 0 ? (row[i / 8] >> (7 - i % 8)) & 1 : row[i];
        };
        // The outline level each pixel should get: the largest g - 1 among
        // the glyph pixels whose edge pattern reaches it (type 1: any).
        std::vector<int32_t> outline(static_cast<size_t>(slot->width) * slot->height, -1);
        int32_t offsets[121][2];
        const int32_t positions = EdgePatternOffsets(e, offsets, 121);
        for (int32_t gj = 0; gj < glyph.Height(); ++gj)
            for (int32_t gi = 0; gi < glyph.Width(); ++gi)
                if (const int32_t g = glyph.At(gi, gj))
                    for (int32_t k = 0; k < positions; ++k) {
                        const int32_t i = gi + e + offsets[k][0], j = gj + e + offsets[k][1];
                        int32_t& o = outline[static_cast<size_t>(j) * slot->width + i];
                        o = std::max(o, std::min(g, 16) - 1);
                    }
        int glyphPixels = 0, edgePixels = 0;
        for (int32_t j = 0; j < slot->height; ++j) {
            for (int32_t i = 0; i < slot->width; ++i) {
                const int32_t gi = i - e, gj = j - e;
                const bool inside = gi >= 0 && gj >= 0 && gi < glyph.Width() && gj < glyph.Height();
                const uint32_t g = inside ? glyph.At(gi, gj) : 0;
                const uint32_t v = at(i, j);
                switch (type) {
                    case 0: EXPECT_EQ(v, g) << i << "," << j; break;
                    case 2: EXPECT_EQ(v, g > 0 ? g - 1 : 0) << i << "," << j; break;
                    case 1: {
                        const uint32_t want = g ? 1u : outline[static_cast<size_t>(j) * slot->width + i] >= 0 ? 2u : 0u;
                        EXPECT_EQ(v, want) << i << "," << j;
                        edgePixels += v == 2;
                        break;
                    }
                    case 3: {
                        const int32_t o = outline[static_cast<size_t>(j) * slot->width + i];
                        EXPECT_EQ(v & 0x0F, g > 0 ? g - 1 : 0) << i << "," << j;
                        EXPECT_EQ(static_cast<int32_t>(v >> 4), o < 0 ? 0 : o) << i << "," << j;
                        edgePixels += (v >> 4) != 0;
                        break;
                    }
                }
                glyphPixels += g != 0;
            }
        }
        EXPECT_GT(glyphPixels, 10) << "type " << type;
        if (type & 1) {
            EXPECT_GT(edgePixels, glyphPixels / 2) << "type " << type;
        }
        DeleteFontHandle(font);
    }
}

// A glyph larger than its cell (as a slanted or emboldened face can give)
// is cut to the cell: nothing is written into the next cell or past the
// buffer.
TEST_F(GlyphCacheTest, GlyphsStayInsideTheirCell) {
    for (int32_t type : {0, 1, 2, 3}) {
        const int32_t font = FontWithCells(2, type, (type & 1) ? 1 : -1, 24);
        FontRecord* r = GetFontRecord(font);
        const int32_t bufferBytes = r->softwarePitch * r->cacheHeight;
        r->cellSize = 8;  // cells at rows 0 and 8 of a buffer laid out for larger cells
        std::memset(r->softwareCache, 0xA5, static_cast<size_t>(bufferBytes));
        CacheStringGlyphs("WM", -1, font, nullptr, nullptr);
        for (uint8_t c : {'W', 'M'}) {
            const GlyphCacheSlot* slot = r->codes[c].slot;
            ASSERT_NE(slot, nullptr);
            EXPECT_LE(slot->width, 8);
            EXPECT_LE(slot->height, 8);
        }
        const int32_t cellBytes = type == 0 ? 1 : 8;
        for (int32_t row = 0; row < r->cacheHeight; ++row)
            for (int32_t byte = 0; byte < r->softwarePitch; ++byte) {
                // Cells are cleared as whole rows of the buffer; only the
                // cell's own columns may get glyph pixels.
                const uint8_t v = r->softwareCache[row * r->softwarePitch + byte];
                if (row >= 16) {
                    ASSERT_EQ(v, 0xA5) << type << ": " << row << "," << byte;
                } else if (byte >= cellBytes) {
                    ASSERT_EQ(v, 0) << type << ": " << row << "," << byte;
                }
            }
        DeleteFontHandle(font);
    }
}

TEST(EdgePattern, CoverageOfOneGlyphPixel) {
    int32_t offsets[121][2];
    const int32_t expected[] = {0, 4, 21, 29, 69, 121};
    for (int32_t e = 0; e <= 5; ++e) EXPECT_EQ(EdgePatternOffsets(e, offsets, 121), expected[e]) << e;
    // Size 1: the four neighbours, not the pixel itself, top row first.
    ASSERT_EQ(EdgePatternOffsets(1, offsets, 121), 4);
    const int32_t one[4][2] = {{0, -1}, {-1, 0}, {1, 0}, {0, 1}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(offsets[k][0], one[k][0]);
        EXPECT_EQ(offsets[k][1], one[k][1]);
    }
    std::set<std::pair<int, int>> three;
    EdgePatternOffsets(3, offsets, 121);
    for (int k = 0; k < 29; ++k) three.insert({offsets[k][0], offsets[k][1]});
    EXPECT_TRUE(three.count({0, -3}));
    EXPECT_FALSE(three.count({1, -3}));
    EXPECT_TRUE(three.count({3, 0}));
    EXPECT_FALSE(three.count({3, 1}));
}

}  // namespace
