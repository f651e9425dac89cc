// Font handles: the default font, slots and check values, the type and edge
// rules, cell and cache sizes, GDI fallbacks and the failures of creation.
#include "font_test_util.h"

#include "core/library_state.h"

#include <climits>

using namespace font_test;

namespace {

class FontHandleTest : public FontTest {};

TEST_F(FontHandleTest, DefaultFontAfterStart) {
    const int32_t font = GetDefaultFontHandle();
    EXPECT_EQ(font, 0x20000000);
    const FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);
    EXPECT_EQ(r->type, 0);
    EXPECT_EQ(r->edgeSize, 1);
    EXPECT_EQ(r->italic, 0);
    EXPECT_STREQ(r->faceName, "");
    EXPECT_EQ(r->charsetIndex, CodePageKind());
    EXPECT_EQ(r->textureFlag, 0);
    // IPA Gothic at a 16-pixel cell: 24-pixel cells in a 568-cell software
    // cache of one bit per pixel.
    EXPECT_EQ(r->cellSize, 24);
    EXPECT_EQ(r->glyphHeight, 16);
    EXPECT_EQ(r->slotCount, 568);
    EXPECT_EQ(r->cacheHeight, 568 * 24);
    EXPECT_EQ(r->softwareBitsPerPixel, 1);
    EXPECT_EQ(r->softwarePitch, 3);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, r->gdiFont);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    SelectObject(dc, old);
    DeleteDC(dc);
    EXPECT_EQ(tm.tmHeight, 16);
    EXPECT_EQ(tm.tmWeight, 600);
    platform::FontFaceInfo info;
    ASSERT_TRUE(platform::GetFontFaceInfo(r->gdiFont, &info));
    EXPECT_NE(info.file.find("gothic"), std::string::npos) << info.file;
    char face[256] = "garbage";
    int32_t size = 0, thickness = 0;
    EXPECT_EQ(GetFontHandleInfo(face, &size, &thickness, font), 0);
    EXPECT_STREQ(face, "");
    EXPECT_EQ(size, 16);
    EXPECT_EQ(thickness, 6);
}

TEST_F(FontHandleTest, SlotsFillToFortyAndReuseTheLowestFree) {
    std::vector<int32_t> fonts{GetDefaultFontHandle()};
    for (int i = 1; i < kMaxFontHandles; ++i) {
        fonts.push_back(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0));
        ASSERT_EQ(fonts.back() & 0xFFFF, i);
        EXPECT_EQ((fonts.back() >> 16) & 0x7FF, i) << "check values count up from the default font's 0";
    }
    MarkLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0), -1);
    EXPECT_NE(NewLog().find("作成できるフォントハンドル数 40 の限界を超えました"), std::string::npos);
    ASSERT_EQ(DeleteFontHandle(fonts[7]), 0);
    ASSERT_EQ(DeleteFontHandle(fonts[3]), 0);
    const int32_t again = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    EXPECT_EQ(again & 0xFFFF, 3);
    EXPECT_NE(again, fonts[3]) << "a new check value";
    EXPECT_EQ(CheckFontHandle(fonts[3]), 0);
}

TEST_F(FontHandleTest, CheckCounterWrapsAfter2047) {
    FontModule().checkCounter = 2046;
    const int32_t a = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    const int32_t b = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    EXPECT_EQ(a, 0x20000000 | (2046 << 16) | 1);
    EXPECT_EQ(b, 0x20000000 | (2047 << 16) | 2);
    EXPECT_EQ(CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0), 0x20000000 | 3);
}

TEST_F(FontHandleTest, GivenSlotAndCheckValueRebuildTheSameHandle) {
    const int32_t font = CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0);
    const int32_t slot = font & 0xFFFF, check = (font >> 16) & 0x7FF;
    MarkLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0, slot, 99), -1) << "occupied slot";
    EXPECT_EQ(NewLog(), "") << "refused without a log line";
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0, 40, 5), -1);
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0, -7, 5), -1);
    ASSERT_EQ(DeleteFontHandle(font), 0);
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, -1, -1, -1, -1, 0, slot, check), font);
}

TEST_F(FontHandleTest, TypeFollowsEdgeSizeAndScreenDepth) {
    struct Case {
        int32_t type, edge, expected;
    } cases[] = {{0, 2, 1}, {0, 1, 0}, {0, -1, 0}, {2, 3, 3}, {1, -1, 1}, {-1, -1, 0}};
    for (const Case& c : cases) {
        const int32_t font = CreateFontToHandle(nullptr, 12, -1, c.type, -1, c.edge, 0);
        ASSERT_NE(font, -1);
        EXPECT_EQ(GetFontRecord(font)->type, c.expected) << c.type << " " << c.edge;
        EXPECT_EQ(GetFontRecord(font)->edgeSize, c.edge == -1 ? 1 : c.edge);
        DeleteFontHandle(font);
    }
    Start(ScreenMode{320, 240, 8, 0, 1});
    const int32_t plain = CreateFontToHandle(nullptr, 12, -1, 2, -1, -1, 0);
    const int32_t edged = CreateFontToHandle(nullptr, 12, -1, 3, -1, 3, 0);
    EXPECT_EQ(GetFontRecord(plain)->type, 0);
    EXPECT_EQ(GetFontRecord(edged)->type, 1);
}

TEST_F(FontHandleTest, FaceNamesAndTheirFallbacks) {
    const int32_t empty = CreateFontToHandle("", 16, -1, -1, -1, -1, 0);
    const int32_t named = CreateFontToHandle("IPAPGothic", 16, -1, -1, -1, -1, 0);
    ASSERT_NE(empty, -1);
    ASSERT_NE(named, -1);
    EXPECT_STREQ(GetFontRecord(empty)->faceName, "");
    char face[256];
    GetFontHandleInfo(face, nullptr, nullptr, named);
    EXPECT_STREQ(face, "IPAPGothic");
    platform::FontFaceInfo info;
    ASSERT_TRUE(platform::GetFontFaceInfo(GetFontRecord(named)->gdiFont, &info));
    EXPECT_NE(info.file.find("ipagp"), std::string::npos) << info.file;
    // A face name too long for the record is cut at a character boundary.
    std::string longName(300, 'x');
    longName.replace(250, 6, "あいう");
    const int32_t cut = CreateFontToHandle(longName.c_str(), 16, -1, -1, -1, -1, 0);
    ASSERT_NE(cut, -1);
    EXPECT_EQ(std::string(GetFontRecord(cut)->faceName), longName.substr(0, 254));
    // The first two attempts refused: the third (Shift-JIS charset) wins and
    // the face stays.
    seams::FailCall("CreateFontA", 2);
    const int32_t third = CreateFontToHandle("IPAGothic", 16, -1, -1, -1, -1, 0);
    ASSERT_NE(third, -1);
    EXPECT_STREQ(GetFontRecord(third)->faceName, "IPAGothic");
}

TEST_F(FontHandleTest, CreationFailuresFreeTheRecord) {
    const uint32_t blocks = AllocatedBlockCount();
    const int fonts = platform::LiveFontObjectCount();
    struct Case {
        const char* face;
        const char* seam;
        int times;
        const char* message;
    } cases[] = {
        {"IPAGothic", "CreateFontA", 3, "指定のフォントの作成に失敗しました\r\n"},
        {nullptr, "CreateFontA", 3, "フォントの作成に失敗しました\r\n"},
        {nullptr, "CreateCompatibleDC", 1, "ＤＣの取得に失敗しました\r\n"},
        {nullptr, "AllocMemory", 1, "フォント管理用メモリ領域の確保に失敗しました\r\n"},
    };
    for (const Case& c : cases) {
        MarkLog();
        seams::FailCall(c.seam, c.times);
        EXPECT_EQ(CreateFontToHandle(c.face, 16, -1, -1, -1, -1, 0), -1) << c.seam;
        seams::ClearCall(c.seam);
        EXPECT_NE(NewLog().find(c.message), std::string::npos) << c.seam << ": " << NewLog();
        EXPECT_EQ(AllocatedBlockCount(), blocks) << c.seam;
        EXPECT_EQ(platform::LiveFontObjectCount(), fonts) << "the GDI font is deleted once: " << c.seam;
    }
    // Every slot but the default font's is still free.
    EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0) & 0xFFFF, 1);
}

TEST_F(FontHandleTest, AbsurdSizesAreRefused) {
    MarkLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 100000, -1, -1, -1, -1, 0), -1);
    EXPECT_NE(NewLog().find("フォントの作成に失敗しました"), std::string::npos);
    MarkLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, 1, -1, 1000, 0), -1);
    EXPECT_NE(NewLog().find("in CreateFontToHandle"), std::string::npos);
    // A cache of 2024 cells of a 2048-pixel font does not fit in memory.
    FontModule().defaults.cacheSize = 2024;
    MarkLog();
    EXPECT_EQ(CreateFontToHandle(nullptr, 2048, -1, 1, -1, -1, 0), -1);
    EXPECT_NE(NewLog().find("フォントのキャッシュ用メモリの確保に失敗しました in CreateFontToHandle"), std::string::npos);
    FontModule().defaults.cacheSize = 0;
    // Extreme weights and out-of-range charsets and types still make a font.
    const int32_t heavy = CreateFontToHandle(nullptr, 16, INT_MAX, 7, 9, -1, 1);
    ASSERT_NE(heavy, -1);
    EXPECT_EQ(GetFontRecord(heavy)->type, 3);
    EXPECT_EQ(GetFontRecord(heavy)->charsetIndex, 0);
}

TEST_F(FontHandleTest, NoFontOnceTheWindowIsDestroyed) {
    Window().destroyed = 1;
    EXPECT_EQ(CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0), -1);
    Window().destroyed = 0;
}

TEST_F(FontHandleTest, InvalidHandlesAreRefused) {
    const int32_t font = CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0);
    const int32_t slot = font & 0xFFFF;
    const int32_t bad[] = {-1, 0, 0x08000000 | slot, (font & ~0xFFFF) | 40, font ^ 0x00010000, INT_MIN, 0x20000000 | 39};
    for (int32_t h : bad) {
        EXPECT_EQ(CheckFontHandle(h), 0) << std::hex << h;
        EXPECT_EQ(GetFontRecord(h), nullptr);
        EXPECT_EQ(DeleteFontHandle(h), -1);
        EXPECT_EQ(SetFontLostFlag(h, nullptr), -1);
        EXPECT_EQ(GetFontHandleInfo(nullptr, nullptr, nullptr, h), -1);
        EXPECT_EQ(SetFontSpacing(2, h), -1);
        EXPECT_EQ(GetFontSize(h), -1);
        EXPECT_EQ(ClearGlyphCache(h), -1);
        EXPECT_EQ(CacheStringGlyphs("A", -1, h, nullptr, nullptr), -1);
        EXPECT_EQ(RenderGlyphsToCache(h, 1, nullptr), nullptr);
    }
    EXPECT_EQ(CheckFontHandle(font), 1);
}

TEST_F(FontHandleTest, DeleteSetsTheOwnersLostFlag) {
    const int32_t font = CreateFontToHandle(nullptr, 16, -1, -1, -1, -1, 0);
    int32_t lost = 7;
    ASSERT_EQ(SetFontLostFlag(font, &lost), 0);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(DeleteFontHandle(font), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(DeleteFontHandle(font), -1);
    EXPECT_EQ(SetFontLostFlag(GetDefaultFontHandle(), nullptr), 0) << "unhooking";
}

// ---- sizes --------------------------------------------------------------------------

TEST(FontCellSize, FromTheTextMetrics) {
    struct Case {
        int32_t maxWidth, height, type, edge, cell, glyphHeight;
    } cases[] = {
        {16, 16, 0, 1, 24, 16}, {16, 16, 1, 1, 24, 18}, {16, 16, 1, 4, 32, 24},
        {8, 23, 0, 1, 24, 24},  {15, 16, 0, 3, 24, 16}, {0, 0, 0, 1, 8, 0},
    };
    for (const Case& c : cases) {
        FontCellSize s = ComputeFontCellSize(c.maxWidth, c.height, c.type, c.edge);
        EXPECT_EQ(s.cellSize, c.cell) << c.maxWidth << "/" << c.height << "/" << c.edge;
        EXPECT_EQ(s.glyphHeight, c.glyphHeight);
    }
}

TEST(FontCacheLayout, TextureCache) {
    struct Case {
        int32_t cell, requested, width, height, slots, perColumn;
    } cases[] = {
        {16, 0, 512, 512, 1024, 32}, {24, 0, 512, 512, 441, 21},  {8, 0, 512, 512, 2024, 64},
        {200, 0, 1024, 512, 10, 2},  {512, 0, 2048, 2048, 16, 4}, {24, 100, 512, 512, 441, 21},
        {24, 10, 128, 128, 25, 5},   {32, 1, 64, 64, 4, 2},       {150, 0, 1024, 512, 18, 3},
    };
    for (const Case& c : cases) {
        GlyphCacheLayout l = ComputeTextureCacheLayout(c.cell, c.requested);
        EXPECT_EQ(l.cacheWidth, c.width) << c.cell << "/" << c.requested;
        EXPECT_EQ(l.cacheHeight, c.height);
        EXPECT_EQ(l.slotCount, c.slots);
        EXPECT_EQ(l.cellsPerColumn, c.perColumn);
    }
}

TEST(FontCacheLayout, SoftwareCache) {
    struct Case {
        int32_t cell, requested, slots;
    } cases[] = {{24, 0, 568}, {200, 0, 20}, {8, 0, 2024}, {24, 7, 7}, {24, 5000, 2024}};
    for (const Case& c : cases) {
        GlyphCacheLayout l = ComputeSoftwareCacheLayout(c.cell, c.requested);
        EXPECT_EQ(l.slotCount, c.slots) << c.cell << "/" << c.requested;
        EXPECT_EQ(l.cacheWidth, c.cell);
        EXPECT_EQ(l.cacheHeight, c.slots * c.cell);
        EXPECT_EQ(l.cellsPerColumn, c.slots);
    }
}

}  // namespace
