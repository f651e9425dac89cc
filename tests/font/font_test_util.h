// The font tests' world: the graphics tests' headless library (a window,
// graphics on the software path, the log in a directory of its own), and
// helpers that read glyphs straight from the GDI stand-in to compare drawn
// pixels with.
#pragma once

#include "../graphics/graphics_test_util.h"
#include "font/font.h"
#include "font/font_internal.h"
#include "platform/gdi32/gdi32_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace font_test {

using graphics_test::GraphicsTest;
using graphics_test::ProcessExit;
using graphics_test::ScreenMode;

// A glyph as GetGlyphOutlineA gives it for a font: metrics and one value per
// pixel (0/1 for GGO_BITMAP, 0..16 for GGO_GRAY4_BITMAP).
struct GdiGlyph {
    GLYPHMETRICS metrics{};
    int32_t ascent = 0;
    std::vector<uint8_t> values;  // blackBoxX x blackBoxY, or empty for a blank glyph
    int32_t Width() const { return static_cast<int32_t>(metrics.gmBlackBoxX); }
    int32_t Height() const { return static_cast<int32_t>(metrics.gmBlackBoxY); }
    uint8_t At(int32_t i, int32_t j) const {
        return values.empty() ? 0 : values[static_cast<size_t>(j) * metrics.gmBlackBoxX + i];
    }
};

inline GdiGlyph ReadGdiGlyph(HFONT font, UINT code, UINT format) {
    GdiGlyph g;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    g.ascent = tm.tmAscent;
    static const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    DWORD size = GetGlyphOutlineA(dc, code, format, &g.metrics, 0, nullptr, &identity);
    EXPECT_NE(size, GDI_ERROR);
    if (size != 0 && size != GDI_ERROR) {
        std::vector<uint8_t> raw(size);
        EXPECT_EQ(GetGlyphOutlineA(dc, code, format, &g.metrics, size, raw.data(), &identity), size);
        const uint32_t rowBytes = size / g.metrics.gmBlackBoxY;
        for (uint32_t j = 0; j < g.metrics.gmBlackBoxY; ++j)
            for (uint32_t i = 0; i < g.metrics.gmBlackBoxX; ++i)
                g.values.push_back(format == GGO_BITMAP ? (raw[j * rowBytes + i / 8] >> (7 - i % 8)) & 1
                                                        : raw[j * rowBytes + i]);
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    return g;
}

inline GdiGlyph GlyphOfFont(int32_t font, UINT code) {
    const FontRecord* r = GetFontRecord(font);
    EXPECT_NE(r, nullptr);
    return ReadGdiGlyph(r->gdiFont, code, (r->type & kFontTypeAntialias) ? GGO_GRAY4_BITMAP : GGO_BITMAP);
}

// Shift-JIS bytes of a few texts (the sources are UTF-8; literals become
// Shift-JIS through the build's execution character set).
inline const char* kHiraganaA = "あ";       // 0x82 0xA0
inline const char* kFullWidthSpace = "　";  // 0x81 0x40

// 0x00RRGGBB of the back buffer's pixel.
inline uint32_t Screen32(int x, int y) { return graphics_test::ScreenPixel(x, y); }

class FontTest : public GraphicsTest {
protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        ClearTo(0x000000);
    }
    void ClearTo(uint32_t rgb) {
        SetBackgroundColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
        ClearDrawTarget(nullptr);
    }
    // The font's glyph height and what the core measures for a text.
    static int32_t Measure(const char* text, int32_t font, int32_t vertical = 0, int32_t* size = nullptr) {
        return DrawFontStringCore(0, 0, 0, 0, 1.0, 1.0, text, 0, nullptr, nullptr, 0, font, 0, -1, vertical, size);
    }
};

}  // namespace font_test
