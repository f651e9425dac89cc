// The font module's life cycle: the default font through resets, setting
// changes, screen-mode changes and re-creation; the on-screen log's font.
#include "font_test_util.h"

#include "core/screen_log.h"
#include "platform/gdi32/gdi32_font.h"

#include <cstring>
#include <functional>

using namespace font_test;

namespace {

class FontModuleTest : public FontTest {
protected:
    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }
    static int LiveFonts() {
        int n = 0;
        for (FontRecord* r : FontModule().records) n += r != nullptr;
        return n;
    }
};

// In a process of its own (as ctest runs every test): the library's start
// read the default font's face ahead, and the default font then asked
// fontconfig nothing more, so the two asked for the same face.
TEST_F(FontModuleTest, TheFaceReadAheadIsTheDefaultFontsFace) {
    const FontRecord* r = GetFontRecord(GetDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(platform::FontFaceQuestions(), 1);
    EXPECT_EQ(platform::FontFilesRead(), 1);
}

// Each row changes the defaults from the last row's and calls
// SetDefaultFontSize with its size: the default font is made anew only when
// its record no longer matches, in the lowest free slot with the next check
// value, and then takes the default spacing.
TEST_F(FontModuleTest, SetDefaultFontSizeRemakesOnlyOnChange) {
    const struct {
        const char* what;
        int32_t size;
        std::function<void(DefaultFontSettings&)> change;
        bool remade;
        const char* face;
        int32_t spacing;
    } cases[] = {
        {"unchanged defaults keep the font", -1, [](DefaultFontSettings&) {}, false, "", 0},
        {"size 20", 20, [](DefaultFontSettings&) {}, true, "", 0},
        {"a spacing alone is no change", 20, [](DefaultFontSettings& d) { d.spacing = 3; }, false, "", 0},
        {"a face name: made with it, and the spacing", 20,
         [](DefaultFontSettings& d) { std::strcpy(d.faceName, "IPAPGothic"); }, true, "IPAPGothic", 3},
        // Without the edge bit in the default type an edge size above 1 is
        // passed as -1, so the font never matches.
        {"edge size 3 without the edge bit", 20, [](DefaultFontSettings& d) { d.edgeSize = 3; }, true, "IPAPGothic", 3},
        {"and again", 20, [](DefaultFontSettings&) {}, true, "IPAPGothic", 3},
    };
    for (const auto& c : cases) {
        const int32_t before = GetDefaultFontHandle();
        c.change(FontModule().defaults);
        SetDefaultFontSize("ignored", c.size, -1);
        const int32_t after = GetDefaultFontHandle();
        EXPECT_EQ(after != before, c.remade) << c.what;
        EXPECT_EQ(CheckFontHandle(before), c.remade ? 0 : 1) << c.what;
        const FontRecord* r = GetFontRecord(after);
        ASSERT_NE(r, nullptr) << c.what;
        EXPECT_EQ(r->size, c.size == -1 ? 16 : c.size) << c.what;
        EXPECT_EQ(r->thickness, 6) << c.what;
        EXPECT_STREQ(r->faceName, c.face) << c.what;
        EXPECT_EQ(r->spacing, c.spacing) << c.what;
        EXPECT_EQ(r->edgeSize, 1) << c.what;
    }
    EXPECT_EQ(FontModule().defaults.defaultFont, 0x20000000 | (4 << 16)) << "four times made: slot 0, check value 4";
}

TEST_F(FontModuleTest, ResetFontsRemakesTheDefaultFromItsRecord) {
    FontModule().defaults.size = 30;  // not what the reset takes
    SetDefaultFontSize(nullptr, 18, 3);
    FontModule().defaults.size = 30;
    SetFontSpacing(5, GetDefaultFontHandle());
    const int32_t other = CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    int32_t lost = 0;
    SetFontLostFlag(other, &lost);
    MarkLog();
    ResetFonts();
    const FontRecord* r = GetFontRecord(GetDefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 18);
    EXPECT_EQ(r->thickness, 3);
    EXPECT_EQ(r->spacing, 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(LiveFonts(), 1);
    const std::string log = NewLog();
    EXPECT_NE(log.find("フォントの初期化を行います"), std::string::npos);
    EXPECT_NE(log.find("フォントの初期化は正常に終了しました"), std::string::npos);
    // A failed creation leaves -1 and still closes the log's bracket.
    MarkLog();
    seams::FailCall("CreateFontA");
    ResetFonts();
    seams::ClearCall("CreateFontA");
    EXPECT_EQ(GetDefaultFontHandle(), -1);
    EXPECT_EQ(LiveFonts(), 0);
    EXPECT_NE(NewLog().find("フォントの初期化は正常に終了しました"), std::string::npos);
    ResetFonts();
    EXPECT_EQ(GetFontSize(GetDefaultFontHandle()), 30) << "without a default font the settings are taken";
}

TEST_F(FontModuleTest, RecreateAllFontsKeepsHandlesAndSpacing) {
    std::vector<int32_t> fonts{GetDefaultFontHandle()};
    for (int i = 0; i < 3; ++i) fonts.push_back(CreateFontToHandle(nullptr, 12 + i, -1, i, -1, -1, 0));
    DeleteFontHandle(fonts[1]);
    DeleteFontHandle(fonts[2]);
    ASSERT_EQ(fonts[3] & 0xFFFF, 3);
    SetFontSpacing(4, fonts[0]);
    SetFontSpacing(-2, fonts[3]);
    int32_t lost0 = 0, lost3 = 0;
    SetFontLostFlag(fonts[0], &lost0);
    SetFontLostFlag(fonts[3], &lost3);
    const int32_t glyphs = CacheStringGlyphs("ABC", -1, fonts[3], nullptr, nullptr);
    ASSERT_EQ(glyphs, 0);
    RecreateAllFonts();
    EXPECT_EQ(lost0, 1);
    EXPECT_EQ(lost3, 1);
    ASSERT_EQ(CheckFontHandle(fonts[0]), 1);
    ASSERT_EQ(CheckFontHandle(fonts[3]), 1);
    EXPECT_EQ(GetFontRecord(fonts[0])->spacing, 4);
    EXPECT_EQ(GetFontRecord(fonts[3])->spacing, -2);
    EXPECT_EQ(GetFontRecord(fonts[3])->size, 14);
    EXPECT_EQ(GetFontRecord(fonts[3])->type, 2);
    EXPECT_EQ(GetFontRecord(fonts[3])->codes['A'].cached, 0) << "caches start empty";
    EXPECT_EQ(GetFontRecord(fonts[3])->lostFlag, nullptr);
    EXPECT_EQ(LiveFonts(), 2);
}

TEST_F(FontModuleTest, TermFontModuleLeavesNoFont) {
    CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    MarkLog();
    TermFontModule();
    EXPECT_EQ(LiveFonts(), 0);
    EXPECT_EQ(CheckFontHandle(GetDefaultFontHandle()), 0);
    const std::string log = NewLog();
    EXPECT_EQ(Count(log, "フォントの初期化を行います"), 1);
    EXPECT_EQ(Count(log, "フォントの初期化は正常に終了しました"), 1);
    // A second start while fonts exist deletes them first.
    InitFontModule();
    CreateFontToHandle(nullptr, 12, -1, -1, -1, -1, 0);
    const uint32_t blocks = AllocatedBlockCount();
    InitFontModule();
    EXPECT_EQ(LiveFonts(), 1);
    EXPECT_LT(AllocatedBlockCount(), blocks);
    EXPECT_EQ(GetDefaultFontHandle(), 0x20000000);
}

TEST_F(FontModuleTest, ScreenModeChangeCarriesTheDefaultFont) {
    SetDefaultFontSize(nullptr, 20, 4);
    const int32_t font = GetDefaultFontHandle();
    ASSERT_EQ(ChangeScreenMode(320, 240, 16, 60), 0);
    EXPECT_EQ(GetDefaultFontHandle(), font);
    EXPECT_EQ(GetFontSize(font), 20);
    // Drawing on the 16-bit screen: an anti-aliased string through the work
    // image with alpha.
    const int32_t aa = CreateFontToHandle(nullptr, 24, -1, 2, -1, -1, 0);
    SetBackgroundColor(0, 0, 0);
    ClearDrawTarget(nullptr);
    ASSERT_EQ(DrawStringByFont(0, 0, "W", MakeColor(255, 255, 255), aa, 0, 0), 0);
    int full = 0, partial = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x) {
            const uint32_t v = graphics_test::RawPixel(Targets().screen, x, y);
            full += v == 0xEF7D;  // white at alpha 240: 5-6-5 channels 29, 59, 29
            partial += v != 0 && v != 0xEF7D;
        }
    EXPECT_GT(full, 10);
    EXPECT_GT(partial, 5);
}

TEST_F(FontModuleTest, OnScreenLogDrawsWithItsOwnFont) {
    EXPECT_EQ(DrawScreenLog(), 0) << "off: nothing";
    EXPECT_EQ(GetScreenLogFont(), -1);
    ClearScreenLog();
    AddScreenLogText("ONE\nTWO");
    SetScreenLogOutput(1);
    ASSERT_EQ(DrawScreenLog(), 0);
    const int32_t font = GetScreenLogFont();
    const FontRecord* r = GetFontRecord(font);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, kScreenLogLineHeight);
    EXPECT_EQ(r->thickness, 4);
    EXPECT_EQ(r->type, 1);
    int white[2] = {0, 0};
    for (int y = 0; y < 2 * kScreenLogLineHeight; ++y)
        for (int x = 0; x < 60; ++x) {
            const uint32_t v = Screen32(x, y);
            white[y / kScreenLogLineHeight] += v == 0xFFFFFF;
        }
    EXPECT_GT(white[0], 20);
    EXPECT_GT(white[1], 20);
    // Lost with every font, and made again on the next draw.
    ResetFonts();
    EXPECT_EQ(GetScreenLogFont(), -1);
    ASSERT_EQ(DrawScreenLog(), 0);
    const int32_t again = GetScreenLogFont();
    EXPECT_NE(again, -1);
    // The library's end deletes it first.
    MarkLog();
    EndScreenLog();
    EXPECT_EQ(CheckFontHandle(again), 0);
    SetScreenLogOutput(0);
    ClearScreenLog();
}

}  // namespace
