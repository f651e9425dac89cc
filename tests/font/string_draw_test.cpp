// Drawing strings into the screen MEMIMG: pixels against the GDI glyph
// bitmaps, colours, brightness, edges, anti-aliased levels through the work
// image, blending, Shift-JIS, clipping, vertical writing, measuring and the
// refusals of DrawStringByFont.
#include "font_test_util.h"

#include "softrender/memimg.h"
#include "softrender/soft_draw.h"

#include <climits>
#include <cstring>
#include <set>

using namespace font_test;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

class StringDrawTest : public FontTest {
protected:
    int32_t Font(int32_t type, int32_t size = 16, int32_t edge = -1) {
        int32_t font = CreateFontToHandle(nullptr, size, -1, type, -1, edge, 0);
        EXPECT_NE(font, -1);
        return font;
    }
    // The top-left of a glyph's bitmap drawn at pen x (line top y) in a plain font.
    static void GlyphOrigin(const GdiGlyph& g, int32_t penX, int32_t y, int32_t* gx, int32_t* gy) {
        *gx = penX + g.metrics.gmptGlyphOrigin.x;
        *gy = y + g.ascent - g.metrics.gmptGlyphOrigin.y;
    }
    // Every screen pixel of the glyph's box is the colour where the GDI bitmap
    // is set and the background elsewhere; returns the glyph's set pixels.
    int ExpectGlyphAt(const GdiGlyph& g, int32_t penX, int32_t y, uint32_t color, uint32_t background) {
        int32_t gx, gy;
        GlyphOrigin(g, penX, y, &gx, &gy);
        int set = 0;
        for (int32_t j = 0; j < g.Height(); ++j)
            for (int32_t i = 0; i < g.Width(); ++i) {
                const bool ink = g.At(i, j) != 0;
                set += ink;
                EXPECT_EQ(Screen32(gx + i, gy + j), ink ? color : background) << "pixel " << i << "," << j;
            }
        return set;
    }
    static int CountColor(uint32_t color, RECT area = RECT{0, 0, 320, 240}) {
        int n = 0;
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x) n += Screen32(x, y) == color;
        return n;
    }
    std::vector<uint32_t> Snapshot() {
        std::vector<uint32_t> p;
        for (int32_t y = 0; y < 240; ++y)
            for (int32_t x = 0; x < 320; ++x) p.push_back(Screen32(x, y));
        return p;
    }
};

TEST_F(StringDrawTest, PlainGlyphsMatchTheGdiBitmaps) {
    const int32_t font = Font(0);
    ASSERT_EQ(DrawStringByFont(10, 20, "Ag", MakeColor(255, 255, 255), font, MakeColor(0, 0, 0), 0), 0);
    const GdiGlyph a = GlyphOfFont(font, 'A'), g = GlyphOfFont(font, 'g');
    EXPECT_GT(ExpectGlyphAt(a, 10, 20, kWhite, 0), 20);
    EXPECT_GT(ExpectGlyphAt(g, 10 + a.metrics.gmCellIncX, 20, kWhite, 0), 20);
    int inked = 0;
    for (uint8_t v : a.values) inked += v;
    for (uint8_t v : g.values) inked += v;
    EXPECT_EQ(CountColor(kWhite), inked) << "nothing outside the glyphs";
}

TEST_F(StringDrawTest, ColourIsScaledByTheBrightness) {
    const int32_t font = Font(0);
    SetDrawBrightness(128, 255, 0);
    DrawStringByFont(10, 20, "A", MakeColor(200, 100, 255), font, 0, 0);
    SetDrawBrightness(255, 255, 255);
    const uint32_t expected = ((200 * 128 / 255) << 16) | (100 << 8) | 0;
    EXPECT_GT(ExpectGlyphAt(GlyphOfFont(font, 'A'), 10, 20, expected, 0), 20);
}

TEST_F(StringDrawTest, EdgeSurroundsEveryGlyphPixel) {
    ClearTo(0x0000FF);
    const int32_t font = Font(1, 16, 1);
    const FontRecord* r = GetFontRecord(font);
    ASSERT_EQ(r->type, 1);
    DrawStringByFont(10, 20, "A", MakeColor(255, 255, 0), font, MakeColor(255, 0, 0), 0);
    const GdiGlyph a = GlyphOfFont(font, 'A');
    int32_t gx, gy;
    GlyphOrigin(a, 10, 20, &gx, &gy);
    gx += r->edgeSize;  // the glyph sits inside its edge
    gy += r->edgeSize;
    auto ink = [&](int32_t i, int32_t j) { return i >= 0 && j >= 0 && i < a.Width() && j < a.Height() && a.At(i, j); };
    int edges = 0;
    for (int32_t j = -1; j <= a.Height(); ++j)
        for (int32_t i = -1; i <= a.Width(); ++i) {
            const bool nearInk = ink(i - 1, j) || ink(i + 1, j) || ink(i, j - 1) || ink(i, j + 1);
            const uint32_t want = ink(i, j) ? 0xFFFF00 : nearInk ? 0xFF0000 : 0x0000FF;
            EXPECT_EQ(Screen32(gx + i, gy + j), want) << i << "," << j;
            edges += want == 0xFF0000;
        }
    EXPECT_GT(edges, 20);
}

TEST_F(StringDrawTest, AntialiasedLevelsBlendThroughTheWorkImage) {
    const int32_t font = Font(2, 24);
    DrawStringByFont(10, 20, "A", MakeColor(255, 255, 255), font, 0, 0);
    const GdiGlyph a = GlyphOfFont(font, 'A');
    int32_t gx, gy;
    GlyphOrigin(a, 10, 20, &gx, &gy);
    std::set<uint32_t> levels;
    for (int32_t j = 0; j < a.Height(); ++j)
        for (int32_t i = 0; i < a.Width(); ++i) {
            // Level v = g - 1 becomes alpha 16 v over black.
            const uint32_t v = a.At(i, j) > 0 ? a.At(i, j) - 1 : 0;
            const uint32_t c = (255 * 16 * v) >> 8;
            EXPECT_EQ(Screen32(gx + i, gy + j), c << 16 | c << 8 | c) << i << "," << j;
            levels.insert(c);
        }
    EXPECT_GE(levels.size(), 4u) << "several grey levels";
}

TEST_F(StringDrawTest, AntialiasedEdgeComposesGlyphOverEdge) {
    // Type 3 into a 32-bit work image with transparency 0: a glyph level of
    // 15 is the colour at alpha 255, levels 0/0 clear the pixel to 0.
    const int32_t font = Font(3, 24, 2);
    MEMIMG& work = Targets().workAlpha;
    ClearMemImg(&work, nullptr, 0x12345678);
    RECT clip{0, 0, 100, 60};
    DrawFontStringCore(1, 0, 0, 0, 1.0, 1.0, "W", MakeColor(255, 255, 255), &work, &clip, 0, font,
                       MakeColor(0, 0, 255), -1, 0, nullptr);
    const FontRecord* r = GetFontRecord(font);
    const GlyphCacheSlot* slot = r->codes['W'].slot;
    ASSERT_NE(slot, nullptr);
    ASSERT_GE(slot->xOffset, 0);
    ASSERT_GE(slot->topOffset, 0);
    const uint8_t* cell = r->softwareCache + static_cast<size_t>(slot->cellIndex) * r->cellSize * r->softwarePitch;
    int full = 0, empty = 0, mixed = 0;
    for (int32_t j = 0; j < slot->height; ++j)
        for (int32_t i = 0; i < slot->width; ++i) {
            const uint8_t v = cell[j * r->softwarePitch + i];
            const int32_t b = v & 15, e = v >> 4;
            uint32_t pixel;
            std::memcpy(&pixel, GetMemImgPixelAddress(&work, slot->xOffset + i, slot->topOffset + j), 4);
            if (b == 15) {
                EXPECT_EQ(pixel, 0xFFFFFFFFu);
                ++full;
            } else if (b == 0 && e == 0) {
                EXPECT_EQ(pixel, 0u);
                ++empty;
            } else if (b == 0) {
                EXPECT_EQ(pixel, (static_cast<uint32_t>(e * 16) << 24) | 0x0000FF);
            } else {
                const uint32_t alpha = 16 * b + (15 - b) * e, t = (b * 4096) / alpha;
                const uint32_t rg = (255 * t) >> 8, blue = 255;
                EXPECT_EQ(pixel, alpha << 24 | rg << 16 | rg << 8 | blue) << i << "," << j;
                ++mixed;
            }
        }
    EXPECT_GT(full, 10);
    EXPECT_GT(empty, 10);
    EXPECT_GT(mixed, 5);
}

TEST_F(StringDrawTest, BlendModeDrawsThroughTheWorkImage) {
    const int32_t font = Font(0);
    SetBlendMode(kBlendAlpha, 128);
    DrawStringByFont(10, 20, "A", MakeColor(255, 255, 255), font, 0, 0);
    SetBlendMode(kBlendNone, 255);
    EXPECT_GT(ExpectGlyphAt(GlyphOfFont(font, 'A'), 10, 20, 0x7F7F7F, 0), 20);
    RECT area;
    GetDrawRegion(&area);
    EXPECT_EQ(area.right, 320) << "the draw area is put back";
    EXPECT_EQ(g_drawState.brightnessRed, 255);
}

TEST_F(StringDrawTest, WorkKeyMovesPastTheTextColours) {
    ClearTo(kWhite);
    const int32_t font = Font(0);
    MEMIMG& work = Targets().work;
    SetMemImgTransparentColor(&work, 0);
    SetBlendMode(kBlendAlpha, 254);
    DrawStringByFont(10, 20, "A", MakeColor(0, 0, 0), font, MakeColor(0, 0, 1), 0);
    EXPECT_EQ(work.base->transparentColor, 2u) << "past the colour 0 and the edge colour 1";
    // Black at 254/255 over white leaves 1 of each channel.
    EXPECT_GT(ExpectGlyphAt(GlyphOfFont(font, 'A'), 10, 20, 0x010101, kWhite), 20);
    // A colour that the brightness darkens to the key is not lost either.
    ClearTo(kWhite);
    SetMemImgTransparentColor(&work, 0);
    SetDrawBrightness(0, 0, 0);
    DrawStringByFont(10, 20, "A", MakeColor(255, 255, 255), font, MakeColor(255, 255, 255), 0);
    SetDrawBrightness(255, 255, 255);
    SetBlendMode(kBlendNone, 255);
    EXPECT_NE(work.base->transparentColor, 0u);
    EXPECT_GT(ExpectGlyphAt(GlyphOfFont(font, 'A'), 10, 20, 0x010101, kWhite), 20);
}

TEST_F(StringDrawTest, ShiftJisDoubleByteGlyphs) {
    const int32_t font = Font(0);
    const std::string text = std::string("A") + kHiraganaA + "B";
    EXPECT_EQ(Measure(text.c_str(), font), GlyphOfFont(font, 'A').metrics.gmCellIncX +
                                               GlyphOfFont(font, 0x82A0).metrics.gmCellIncX +
                                               GlyphOfFont(font, 'B').metrics.gmCellIncX);
    DrawStringByFont(0, 0, text.c_str(), MakeColor(255, 255, 255), font, 0, 0);
    const GdiGlyph hiragana = GlyphOfFont(font, 0x82A0);
    EXPECT_GT(ExpectGlyphAt(hiragana, GlyphOfFont(font, 'A').metrics.gmCellIncX, 0, kWhite, 0), 30);
    EXPECT_GT(hiragana.metrics.gmCellIncX, GlyphOfFont(font, 'B').metrics.gmCellIncX + 4) << "full width";
}

TEST_F(StringDrawTest, ClippedAtTheDrawArea) {
    const int32_t font = Font(0, 24);
    DrawStringByFont(10, 10, "WM", MakeColor(255, 255, 255), font, 0, 0);
    const std::vector<uint32_t> whole = Snapshot();
    ClearTo(0);
    SetDrawRegion(15, 14, 30, 25);
    DrawStringByFont(10, 10, "WM", MakeColor(255, 255, 255), font, 0, 0);
    SetDrawRegion(0, 0, 320, 240);
    const std::vector<uint32_t> clipped = Snapshot();
    int inside = 0;
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const bool in = x >= 15 && x < 30 && y >= 14 && y < 25;
            const size_t k = static_cast<size_t>(y) * 320 + x;
            EXPECT_EQ(clipped[k], in ? whole[k] : 0u) << x << "," << y;
            inside += in && whole[k] != 0;
        }
    EXPECT_GT(inside, 10);
    // Strings far off the target, or at the ends of the coordinate range, draw nothing.
    ClearTo(0);
    DrawStringByFont(INT_MAX - 5, INT_MAX - 5, "WM", MakeColor(255, 255, 255), font, 0, 1);
    DrawStringByFont(INT_MIN, INT_MIN, "WM", MakeColor(255, 255, 255), font, 0, 0);
    DrawStringByFont(-1000, 100, "WM", MakeColor(255, 255, 255), font, 0, 0);
    EXPECT_EQ(CountColor(kWhite), 0);
}

TEST_F(StringDrawTest, VerticalWritingTurnsEachGlyph) {
    const int32_t font = Font(0, 24);
    const FontRecord* r = GetFontRecord(font);
    DrawStringByFont(100, 50, kHiraganaA, MakeColor(255, 255, 255), font, 0, 1);
    const GdiGlyph g = GlyphOfFont(font, 0x82A0);
    // Glyph row j lands on column X0 - 1 - j, glyph column i on row G + i.
    const int32_t x0 = 100 + r->glyphHeight - (g.ascent - g.metrics.gmptGlyphOrigin.y);
    const int32_t top = 50 + g.metrics.gmptGlyphOrigin.x;
    int set = 0;
    for (int32_t j = 0; j < g.Height(); ++j)
        for (int32_t i = 0; i < g.Width(); ++i) {
            EXPECT_EQ(Screen32(x0 - 1 - j, top + i), g.At(i, j) ? kWhite : 0u) << i << "," << j;
            set += g.At(i, j);
        }
    EXPECT_EQ(CountColor(kWhite), set);
    int32_t size[2];
    const int32_t advance = Measure("AB", font, 1, size);
    EXPECT_EQ(size[0], r->glyphHeight);
    EXPECT_EQ(size[1], advance);
    EXPECT_EQ(Measure("AB", font, 2, size), advance) << "flag 2 advances the same";
    EXPECT_EQ(size[0], advance) << "and reports horizontally";
}

TEST_F(StringDrawTest, VerticalClipOnTheRightCutsTopRows) {
    const int32_t font = Font(0, 24);
    DrawStringByFont(100, 50, kHiraganaA, MakeColor(255, 255, 255), font, 0, 1);
    const std::vector<uint32_t> whole = Snapshot();
    ClearTo(0);
    SetDrawRegion(0, 0, 112, 240);  // cuts the right columns: the glyph's top rows
    DrawStringByFont(100, 50, kHiraganaA, MakeColor(255, 255, 255), font, 0, 1);
    SetDrawRegion(0, 0, 320, 240);
    const std::vector<uint32_t> clipped = Snapshot();
    int kept = 0, cut = 0;
    for (int32_t y = 0; y < 240; ++y)
        for (int32_t x = 0; x < 320; ++x) {
            const size_t k = static_cast<size_t>(y) * 320 + x;
            EXPECT_EQ(clipped[k], x < 112 ? whole[k] : 0u) << x << "," << y;
            kept += x < 112 && whole[k];
            cut += x >= 112 && whole[k];
        }
    EXPECT_GT(kept, 10);
    EXPECT_GT(cut, 10);
}

TEST_F(StringDrawTest, LayoutRules) {
    const int32_t font = Font(0);
    const int32_t a = GlyphOfFont(font, 'A').metrics.gmCellIncX, b = GlyphOfFont(font, 'B').metrics.gmCellIncX;
    EXPECT_EQ(Measure("A\nB", font), a + GlyphOfFont(font, '\n').metrics.gmCellIncX + b)
        << "a line feed is one more glyph on the line";
    SetFontSpacing(2, font);
    EXPECT_EQ(Measure("AB", font), a + b + 4);
    // Rates are ignored with the software cache.
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 1, 1.5, 3.0, "AB", 0, nullptr, nullptr, 0, font, 0, -1, 0, nullptr),
              a + b + 4);
    SetFontSpacing(0, font);
    EXPECT_EQ(Measure("", font), 0);
    EXPECT_EQ(Measure(nullptr, font), 0);
    EXPECT_EQ(Measure("A", 0x20000000 | 33), -1);
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 0, 1, 1, "ABAB", 0, nullptr, nullptr, 0, font, 0, 2, 0, nullptr), a + b)
        << "a length uses that many bytes";
    EXPECT_EQ(DrawFontStringCore(0, 0, 0, 0, 1, 1, "AB", 0, nullptr, nullptr, 0, font, 0, 99, 0, nullptr), a + b);
    // Spaces advance without drawing; without a destination nothing is drawn.
    const std::string spaced = std::string(" ") + kFullWidthSpace + " ";
    DrawStringByFont(0, 0, spaced.c_str(), MakeColor(255, 255, 255), font, 0, 0);
    EXPECT_EQ(DrawFontStringCore(1, 0, 0, 0, 1, 1, "AB", MakeColor(255, 255, 255), nullptr, nullptr, 1, font, 0, -1,
                                 0, nullptr),
              a + b);
    EXPECT_EQ(CountColor(kWhite), 0);
    g_drawState.drawingSuspended = 1;
    EXPECT_EQ(Measure("A", font), -1);
    g_drawState.drawingSuspended = 0;
}

TEST_F(StringDrawTest, LongStringsAndSmallCaches) {
    const int32_t big = Font(0);
    FontModule().defaults.cacheSize = 4;
    const int32_t small = Font(0);
    FontModule().defaults.cacheSize = 0;
    std::string text;
    for (int i = 0; i < 40; ++i) text += static_cast<char>('A' + i % 26) + std::string(kHiraganaA);
    ASSERT_GT(text.size(), 100u);
    std::string longText;
    while (longText.size() <= 300) longText += "Az";
    EXPECT_EQ(Measure(longText.c_str(), big), static_cast<int32_t>(longText.size() / 2) * Measure("Az", big)) << "heap entry buffer";
    EXPECT_EQ(Measure(longText.c_str(), small), Measure(longText.c_str(), big));
    // More distinct glyphs than cells: evicted glyphs come back one by one.
    const char* line = "ABCDEFGHIJ";
    DrawStringByFont(0, 0, line, MakeColor(255, 255, 255), big, 0, 0);
    const std::vector<uint32_t> expected = Snapshot();
    ClearTo(0);
    DrawStringByFont(0, 0, line, MakeColor(255, 255, 255), small, 0, 0);
    EXPECT_EQ(Snapshot(), expected);
    ClearTo(0);
    DrawStringByFont(0, 20, longText.c_str(), MakeColor(255, 255, 255), small, 0, 0);
    EXPECT_GT(CountColor(kWhite), 100);
}

TEST_F(StringDrawTest, DrawStringByFontRefusals) {
    const int32_t font = Font(0);
    ASSERT_EQ(DeleteFontHandle(font), 0);
    MarkLog();
    EXPECT_EQ(DrawStringByFont(0, 0, "A", MakeColor(255, 255, 255), font, 0, 0), -1);
    EXPECT_NE(NewLog().find("フォントハンドル値が異常です"), std::string::npos);
    MarkLog();
    EXPECT_EQ(DrawStringByFont(0, 0, nullptr, 0, font, 0, 0), 0);
    EXPECT_EQ(DrawStringByFont(0, 0, "", 0, font, 0, 0), 0);
    EXPECT_EQ(NewLog(), "") << "no handle check for an empty string";
    const int32_t live = GetDefaultFontHandle();
    SetDrawRegion(10, 10, 10, 20);
    EXPECT_EQ(DrawStringByFont(0, 0, "A", MakeColor(255, 255, 255), live, 0, 0), 0);
    SetDrawRegion(0, 0, 320, 240);
    // On the front buffer a string that starts at or right of the area's
    // right edge is not drawn.
    SetDrawTarget(kDrawTargetFront);
    EXPECT_EQ(DrawStringByFont(320, 0, "A", MakeColor(255, 255, 255), live, 0, 0), 0);
    EXPECT_EQ(DrawStringByFont(300, 0, "A", MakeColor(255, 255, 255), live, 0, 0), 0);
    SetDrawTarget(kDrawTargetBack);
    EXPECT_GT(CountColor(kWhite), 5);
}

TEST_F(StringDrawTest, SixteenBitImageOnAThirtyTwoBitScreen) {
    const int32_t font = Font(1, 16, 1);
    SetImageBitDepth(16);
    const int32_t image = CreateBlankImage(40, 30);
    SetImageBitDepth(0);
    ASSERT_NE(image, -1);
    ASSERT_EQ(SetDrawTarget(image), 0);
    DrawStringByFont(2, 2, "A", MakeColor(255, 255, 255), font, MakeColor(255, 0, 0), 0);
    SetDrawTarget(kDrawTargetBack);
    int white = 0, red = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const uint32_t v = graphics_test::ImagePixel(image, x, y);
            white += v == 0xFFFF;
            red += v == 0xF800;
            EXPECT_TRUE(v == 0 || v == 0xFFFF || v == 0xF800) << std::hex << v;
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(red, 20);
}

TEST_F(StringDrawTest, GlyphFailuresInTheLoop) {
    const int32_t font = Font(0);
    MarkLog();
    seams::FailCall("GetGlyphOutlineA");
    EXPECT_EQ(Measure("AB", font), -1);
    EXPECT_EQ(DrawStringByFont(0, 0, "AB", MakeColor(255, 255, 255), font, 0, 0), 0);
    seams::ClearCall("GetGlyphOutlineA");
    EXPECT_NE(NewLog().find("テキストキャッシュの作成に失敗しました"), std::string::npos);
    EXPECT_EQ(CountColor(kWhite), 0);
}

TEST_F(StringDrawTest, GlyphRenderingThatCannotGoOnEndsTheProgram) {
    const int32_t font = Font(2);
    struct Case {
        const char* seam;
        const char* message;
    } cases[] = {{"CreateCompatibleDC", "テキストキャッシュサーフェスのＤＣの取得に失敗しました"},
                 {"SelectObject", "テキストキャッシュサーフェスのＤＣの取得に失敗しました"},
                 {"AllocMemory", "アンチエイリアス文字取得用バッファの確保に失敗しました"}};
    for (const Case& c : cases) {
        Start(ScreenMode{});
        const int32_t again = CreateFontToHandle(nullptr, 16, -1, 2, -1, -1, 0);
        ASSERT_EQ(again, font) << "the same slot and check value after a restart";
        seams::FailCall(c.seam, 1);
        int code = 0;
        try {
            CacheStringGlyphs("A", -1, again, nullptr, nullptr);
        } catch (const ProcessExit& e) {
            code = e.code;
        }
        EXPECT_EQ(code, -1) << c.seam;
        EXPECT_NE(graphics_test::LogText().find(c.message), std::string::npos) << c.seam;
        EXPECT_EQ(IsLibraryRunning(), 0);
    }
}

}  // namespace
