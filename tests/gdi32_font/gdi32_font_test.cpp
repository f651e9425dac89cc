// The GDI font stand-in: face choice, GDI's height rule and text metrics,
// glyph metrics and bitmaps against FreeType's own rendering of the same
// face, character codes of the code pages, memory DCs and object rules.
#include "platform/gdi32/gdi32.h"
#include "platform/gdi32/gdi32_font.h"
#include "platform/seams/seams.h"
#include "platform/user32/controls.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
// "ＭＳ ゴシック" and "ＭＳ Ｐゴシック" (Shift-JIS through the build's character set).
const char* kMsGothic = "ＭＳ ゴシック";
const char* kMsPGothic = "ＭＳ Ｐゴシック";

HFONT Make(int height, int weight = FW_NORMAL, const char* face = kMsGothic, DWORD charset = SHIFTJIS_CHARSET,
           DWORD italic = 0) {
    return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       NONANTIALIASED_QUALITY, FIXED_PITCH | FF_DONTCARE, face);
}

std::string FileOf(HFONT font) {
    platform::FontFaceInfo info;
    return platform::GetFontFaceInfo(font, &info) ? info.file : "";
}

// A DC with the font selected, undone at the end of the scope.
class Selected {
public:
    explicit Selected(HFONT font) : dc_(CreateCompatibleDC(nullptr)), old_(SelectObject(dc_, font)) {}
    ~Selected() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// One glyph of the stand-in: metrics and one value per pixel.
struct Glyph {
    GLYPHMETRICS gm{};
    DWORD size = 0;
    std::vector<int> values;
};

Glyph Fetch(HFONT font, UINT code, UINT format) {
    Selected s(font);
    Glyph g;
    g.size = GetGlyphOutlineA(s.dc(), code, format, &g.gm, 0, nullptr, &kIdentity);
    if (g.size == GDI_ERROR || g.size == 0) return g;
    std::vector<uint8_t> raw(g.size);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), code, format, &g.gm, g.size, raw.data(), &kIdentity), g.size);
    const DWORD rowBytes = g.size / g.gm.gmBlackBoxY;
    EXPECT_EQ(rowBytes % 4, 0u) << "rows padded to 4 bytes";
    for (UINT j = 0; j < g.gm.gmBlackBoxY; ++j)
        for (UINT i = 0; i < g.gm.gmBlackBoxX; ++i)
            g.values.push_back(format == GGO_BITMAP ? (raw[j * rowBytes + i / 8] >> (7 - i % 8)) & 1
                                                    : raw[j * rowBytes + i]);
    return g;
}

// FreeType opened on the same face file, at the same size.
class FreeTypeFace {
public:
    explicit FreeTypeFace(HFONT font) {
        platform::FontFaceInfo info;
        EXPECT_TRUE(platform::GetFontFaceInfo(font, &info));
        ppem_ = info.pixelsPerEm;
        EXPECT_EQ(FT_Init_FreeType(&library_), 0);
        EXPECT_EQ(FT_New_Face(library_, info.file.c_str(), info.faceIndex, &face_), 0);
        if (face_ != nullptr) FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(ppem_));
    }
    ~FreeTypeFace() {
        if (face_ != nullptr) FT_Done_Face(face_);
        FT_Done_FreeType(library_);
    }
    FT_Face face() const { return face_; }
    int ppem() const { return ppem_; }
    // The glyph of a character rendered as GDI's formats are: one bit per
    // pixel, or 0..16 grey.
    Glyph Render(char32_t character, bool mono) {
        Glyph g;
        EXPECT_EQ(FT_Load_Char(face_, character, FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL)), 0);
        EXPECT_EQ(FT_Render_Glyph(face_->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL), 0);
        const FT_Bitmap& b = face_->glyph->bitmap;
        g.gm.gmBlackBoxX = b.width;
        g.gm.gmBlackBoxY = b.rows;
        g.gm.gmptGlyphOrigin = POINT{face_->glyph->bitmap_left, face_->glyph->bitmap_top};
        g.gm.gmCellIncX = static_cast<SHORT>((face_->glyph->advance.x + 32) >> 6);
        for (unsigned j = 0; j < b.rows; ++j)
            for (unsigned i = 0; i < b.width; ++i) {
                const uint8_t* row = b.buffer + static_cast<ptrdiff_t>(j) * b.pitch;
                g.values.push_back(mono ? (row[i / 8] >> (7 - i % 8)) & 1 : (row[i] * 16 + 127) / 255);
            }
        return g;
    }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int ppem_ = 0;
};

void ExpectSameGlyph(const Glyph& a, const Glyph& b, const char* what) {
    EXPECT_EQ(a.gm.gmBlackBoxX, b.gm.gmBlackBoxX) << what;
    EXPECT_EQ(a.gm.gmBlackBoxY, b.gm.gmBlackBoxY) << what;
    EXPECT_EQ(a.gm.gmptGlyphOrigin.x, b.gm.gmptGlyphOrigin.x) << what;
    EXPECT_EQ(a.gm.gmptGlyphOrigin.y, b.gm.gmptGlyphOrigin.y) << what;
    EXPECT_EQ(a.gm.gmCellIncX, b.gm.gmCellIncX) << what;
    EXPECT_EQ(a.values, b.values) << what;
}

class GdiFontTest : public ::testing::Test {
protected:
    void SetUp() override {
        fonts_ = platform::LiveFontObjectCount();
        dcs_ = platform::LiveMemoryDcCount();
    }
    void TearDown() override {
        seams::ClearAllCalls();
        for (HFONT f : made_) EXPECT_TRUE(DeleteObject(f));
        EXPECT_EQ(platform::LiveFontObjectCount(), fonts_);
        EXPECT_EQ(platform::LiveMemoryDcCount(), dcs_);
    }
    HFONT Keep(HFONT font) {
        EXPECT_NE(font, nullptr);
        if (font != nullptr) made_.push_back(font);
        return font;
    }
    int fonts_ = 0, dcs_ = 0;
    std::vector<HFONT> made_;
};

TEST_F(GdiFontTest, SystemFaceNamesFindTheIpaFaces) {
    EXPECT_NE(FileOf(Keep(Make(16))).find("gothic"), std::string::npos);
    EXPECT_EQ(FileOf(Keep(Make(16, FW_NORMAL, "MS Gothic"))), FileOf(made_[0]));
    EXPECT_NE(FileOf(Keep(Make(16, FW_NORMAL, kMsPGothic))).find("ipagp"), std::string::npos);
    // No face: a sans-serif face of the charset's language (Japanese here).
    EXPECT_EQ(FileOf(Keep(Make(16, FW_NORMAL, nullptr, DEFAULT_CHARSET))), FileOf(made_[0]));
    // Any other name still finds some face.
    EXPECT_NE(FileOf(Keep(Make(16, FW_NORMAL, "No Such Face At All"))), "");
}

TEST_F(GdiFontTest, HeightRuleAndTextMetrics) {
    for (int weight : {FW_NORMAL, 600}) {
        HFONT font = Keep(Make(16, weight));
        FreeTypeFace ft(font);
        FT_Face face = ft.face();
        ASSERT_NE(face, nullptr);
        auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        ASSERT_NE(os2, nullptr);
        const int units = face->units_per_EM, extent = os2->usWinAscent + os2->usWinDescent;
        EXPECT_EQ(ft.ppem(), std::lround(16.0 * units / extent)) << "the cell height is ascent + descent";
        TEXTMETRICA tm{};
        Selected s(font);
        ASSERT_TRUE(GetTextMetricsA(s.dc(), &tm));
        EXPECT_EQ(tm.tmHeight, 16);
        EXPECT_EQ(tm.tmAscent, std::lround(double(os2->usWinAscent) * ft.ppem() / units));
        EXPECT_EQ(tm.tmAscent + tm.tmDescent, 16);
        const int bold = weight >= 600 ? 1 : 0;
        EXPECT_EQ(tm.tmMaxCharWidth, ((face->size->metrics.max_advance + 32) >> 6) + bold);
        EXPECT_EQ(tm.tmWeight, weight);
        EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(tm.tmPitchAndFamily & TMPF_FIXED_PITCH, 0) << "a fixed-pitch face";
    }
    // A negative height is the em height.
    HFONT em = Keep(Make(-20));
    FreeTypeFace ft(em);
    EXPECT_EQ(ft.ppem(), 20);
    TEXTMETRICA tm{};
    Selected s(em);
    GetTextMetricsA(s.dc(), &tm);
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_GT(tm.tmHeight, 20);
    // Heights beyond what the stand-in renders are refused.
    EXPECT_EQ(Make(3000), nullptr);
    EXPECT_EQ(Make(-3000), nullptr);
}

TEST_F(GdiFontTest, GlyphsMatchFreeTypesRendering) {
    for (int height : {12, 16, 31}) {
        HFONT font = Keep(Make(height));
        FreeTypeFace ft(font);
        const std::pair<UINT, char32_t> codes[] = {{'A', U'A'}, {'g', U'g'}, {0x82A0, U'あ'}, {0x8ABF, U'漢'},
                                                   {0xB1, U'ｱ'}};
        for (auto [code, unicode] : codes) {
            const std::string what = std::to_string(height) + " code " + std::to_string(code);
            ExpectSameGlyph(Fetch(font, code, GGO_BITMAP), ft.Render(unicode, true), what.c_str());
            Glyph gray = Fetch(font, code, GGO_GRAY4_BITMAP);
            ExpectSameGlyph(gray, ft.Render(unicode, false), what.c_str());
            int top = 0;
            for (int v : gray.values) {
                EXPECT_LE(v, 16);
                top = std::max(top, v);
            }
            EXPECT_GT(top, 8) << what;
        }
    }
}

TEST_F(GdiFontTest, BoldAndItalicAreSynthesized) {
    HFONT regular = Keep(Make(24)), bold = Keep(Make(24, FW_BOLD)), italic = Keep(Make(24, FW_NORMAL, kMsGothic,
                                                                                      SHIFTJIS_CHARSET, 1));
    platform::FontFaceInfo info;
    platform::GetFontFaceInfo(bold, &info);
    EXPECT_TRUE(info.emboldened);
    platform::GetFontFaceInfo(italic, &info);
    EXPECT_TRUE(info.slanted);
    const Glyph r = Fetch(regular, 'H', GGO_BITMAP), b = Fetch(bold, 'H', GGO_BITMAP), i = Fetch(italic, 'H', GGO_BITMAP);
    EXPECT_EQ(b.gm.gmCellIncX, r.gm.gmCellIncX + 1);
    EXPECT_GE(b.gm.gmBlackBoxX, r.gm.gmBlackBoxX + 1);
    int inkR = 0, inkB = 0;
    for (int v : r.values) inkR += v;
    for (int v : b.values) inkB += v;
    EXPECT_GT(inkB, inkR);
    EXPECT_GT(i.gm.gmBlackBoxX, r.gm.gmBlackBoxX) << "slanted";
    EXPECT_EQ(i.gm.gmCellIncX, r.gm.gmCellIncX);
}

TEST_F(GdiFontTest, CodePagesAndDefaultCharacter) {
    HFONT font = Keep(Make(20));
    // A code that is no Shift-JIS character becomes "・" (0x8145).
    const Glyph middleDot = Fetch(font, 0x8145, GGO_BITMAP);
    ASSERT_FALSE(middleDot.values.empty());
    EXPECT_EQ(Fetch(font, 0x81FF, GGO_BITMAP).values, middleDot.values);
    EXPECT_EQ(Fetch(font, 0xA0, GGO_BITMAP).values, middleDot.values);
    // Korean: 0xB0 0xA1 of code page 949 is U+AC00.
    HFONT korean = Keep(Make(20, FW_NORMAL, nullptr, HANGUL_CHARSET));
    FreeTypeFace ft(korean);
    if (FT_Get_Char_Index(ft.face(), U'가') != 0) {
        ExpectSameGlyph(Fetch(korean, 0xB0A1, GGO_BITMAP), ft.Render(U'가', true), "hangul");
    }
    Selected s(font);
    GLYPHMETRICS gm{};
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 0x10000, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    // The default character set is the system's own; height 0 is the default cell.
    Selected byDefault(Keep(Make(0, FW_NORMAL, kMsGothic, DEFAULT_CHARSET)));
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(byDefault.dc(), &tm));
    EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(tm.tmHeight, 16);
}

TEST_F(GdiFontTest, BufferRulesAndBlankGlyphs) {
    HFONT font = Keep(Make(16));
    Selected s(font);
    GLYPHMETRICS gm{};
    for (UINT blank : {0x20u, 0x8140u}) {
        EXPECT_EQ(GetGlyphOutlineA(s.dc(), blank, GGO_BITMAP, &gm, 0, nullptr, &kIdentity), 0u);
        EXPECT_EQ(gm.gmBlackBoxX, 1u);
        EXPECT_EQ(gm.gmBlackBoxY, 1u);
        EXPECT_GT(gm.gmCellIncX, 0);
    }
    const DWORD size = GetGlyphOutlineA(s.dc(), 'W', GGO_GRAY4_BITMAP, &gm, 0, nullptr, &kIdentity);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(size, ((gm.gmBlackBoxX + 3) & ~3u) * gm.gmBlackBoxY);
    std::vector<uint8_t> buffer(size);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'W', GGO_GRAY4_BITMAP, &gm, size - 1, buffer.data(), &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'W', GGO_METRICS, &gm, 0, nullptr, &kIdentity), 0u);
    EXPECT_GT(gm.gmBlackBoxX, 1u);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'W', GGO_BITMAP, nullptr, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'W', GGO_BITMAP, &gm, 0, nullptr, nullptr), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'W', 2 /* GGO_NATIVE */, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(nullptr, 'W', GGO_BITMAP, &gm, 0, nullptr, &kIdentity), GDI_ERROR);
    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32A(s.dc(), "Wあ", 3, &extent));
    GLYPHMETRICS a{}, w{};
    GetGlyphOutlineA(s.dc(), 'W', GGO_METRICS, &w, 0, nullptr, &kIdentity);
    GetGlyphOutlineA(s.dc(), 0x82A0, GGO_METRICS, &a, 0, nullptr, &kIdentity);
    EXPECT_EQ(extent.cx, w.gmCellIncX + a.gmCellIncX);
    EXPECT_EQ(extent.cy, 16);
}

TEST_F(GdiFontTest, DeviceContextAndObjectRules) {
    HFONT font = Make(16);
    ASSERT_NE(font, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    TEXTMETRICA tm{};
    EXPECT_TRUE(GetTextMetricsA(dc, &tm)) << "the stock font is selected at first";
    HGDIOBJ stock = SelectObject(dc, font);
    EXPECT_EQ(stock, GetStockObject(SYSTEM_FONT));
    EXPECT_FALSE(DeleteObject(font)) << "selected";
    EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(0x1234)), nullptr);
    EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(0x1234), font), nullptr);
    EXPECT_EQ(SelectObject(dc, stock), reinterpret_cast<HGDIOBJ>(font));
    EXPECT_TRUE(DeleteObject(reinterpret_cast<HGDIOBJ>(font))) << "through the generic DeleteObject";
    EXPECT_FALSE(DeleteObject(font)) << "gone";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_FALSE(GetTextMetricsA(dc, &tm));
}

TEST_F(GdiFontTest, Seams) {
    seams::FailCall("CreateFontA", 1);
    EXPECT_EQ(Make(16), nullptr);
    HFONT font = Keep(Make(16));
    seams::FailCall("CreateCompatibleDC", 1);
    EXPECT_EQ(CreateCompatibleDC(nullptr), nullptr);
    Selected s(font);
    GLYPHMETRICS gm{};
    seams::FailCall("GetGlyphOutlineA:bitmap", 1);
    const DWORD size = GetGlyphOutlineA(s.dc(), 'A', GGO_BITMAP, &gm, 0, nullptr, &kIdentity);
    EXPECT_GT(size, 0u) << "the size query is not a fetch";
    std::vector<uint8_t> buffer(size);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'A', GGO_BITMAP, &gm, size, buffer.data(), &kIdentity), GDI_ERROR);
    EXPECT_EQ(GetGlyphOutlineA(s.dc(), 'A', GGO_BITMAP, &gm, size, buffer.data(), &kIdentity), size);
}

// The cases run in order in a process of their own (as ctest runs every
// test): the first two faces' files are new, the last two are kept already
// (the language's sans-serif is the Gothic face's file).
TEST_F(GdiFontTest, AFaceReadAheadIsNotReadAgainByItsFont) {
    struct Case {
        const char* what;
        const char* face;
        DWORD charset;
        int weight;
        int asks;      // read-aheads before the font is made
        int newFiles;  // files the read-ahead reads
    } cases[] = {
        {"the default font's first attempt", kMsGothic, SHIFTJIS_CHARSET, 600, 1, 1},
        {"asked twice: read once", kMsPGothic, SHIFTJIS_CHARSET, FW_NORMAL, 2, 1},
        {"no face: the language's sans-serif, kept", nullptr, DEFAULT_CHARSET, FW_BOLD, 1, 0},
        {"made at once after asking", kMsGothic, SHIFTJIS_CHARSET, FW_BOLD, 1, 0},
    };
    for (const Case& c : cases) {
        const int before = platform::FontFilesRead();
        for (int i = 0; i < c.asks; ++i) PrepareFontFace(c.face, c.charset, c.weight, 0);
        const int ahead = platform::FontFilesRead();
        EXPECT_EQ(ahead - before, c.newFiles) << c.what << ": read ahead";
        HFONT font = Keep(Make(16, c.weight, c.face, c.charset));
        ASSERT_NE(font, nullptr) << c.what;
        EXPECT_NE(FileOf(font), "") << c.what;
        EXPECT_EQ(platform::FontFilesRead(), ahead) << c.what << ": the font reads nothing more";
    }
}

}  // namespace
