// Renders the bitmap font sheet: the half-width katakana bytes 0xA0 to 0xDF
// in 16x16 cells on the top four rows, printable ASCII in 12x16 cells below
// them, white glyphs with a dark outline on the colour key. The glyphs come
// from a real font through FreeType in monochrome (hard pixels, no grey);
// the four ASCII cells that the game uses as button icons (@ ` ~ and the
// dash) come from hand-drawn sprites.
//
//   font_sheet PALETTE SPRITES OUT.png [FONT-FILE]
#include "canvas.h"
#include "draw.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>

using namespace art;

namespace {

constexpr int kSheetWidth = 256;
constexpr int kSheetHeight = 160;
constexpr int kKanaSize = 16;
constexpr int kAsciiWidth = 12;
constexpr int kAsciiHeight = 16;
constexpr int kAsciiTop = 64;

// The glyph drawn for each byte 0xA0..0xDF: the full-width form of the
// half-width katakana, which reads better in a square cell. 0 = empty.
const char32_t kKanaGlyphs[64] = {
    0,      U'。', U'「', U'」', U'、', U'・', U'ヲ', U'ァ', U'ィ', U'ゥ', U'ェ', U'ォ', U'ャ', U'ュ', U'ョ', U'ッ',
    U'ー', U'ア', U'イ', U'ウ', U'エ', U'オ', U'カ', U'キ', U'ク', U'ケ', U'コ', U'サ', U'シ', U'ス', U'セ', U'ソ',
    U'タ', U'チ', U'ツ', U'テ', U'ト', U'ナ', U'ニ', U'ヌ', U'ネ', U'ノ', U'ハ', U'ヒ', U'フ', U'ヘ', U'ホ', U'マ',
    U'ミ', U'ム', U'メ', U'モ', U'ヤ', U'ユ', U'ヨ', U'ラ', U'リ', U'ル', U'レ', U'ロ', U'ワ', U'ン', U'゛', U'゜',
};

std::string FindFontFile() {
    FcInit();
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("IPAGothic"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string path;
    FcChar8* file = nullptr;
    if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<char*>(file);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcFini();
    return path;
}

// A glyph as a small 1-bit picture with its baseline offset.
struct Glyph {
    int width = 0, height = 0;
    int left = 0, top = 0;  // bitmap origin relative to the pen and the baseline (top up)
    std::vector<uint8_t> bits;
    bool On(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && bits[y * width + x]; }
};

// Monochrome rendering keeps the font's own hinted one-pixel strokes (the
// katakana); otherwise the unhinted outline is rendered in grey and cut at
// half coverage, which gives the bolder, wider capitals of the ASCII cells.
Glyph RenderGlyph(FT_Face face, char32_t code, bool mono) {
    Glyph g;
    const FT_Int32 flags = mono ? FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME : FT_LOAD_RENDER | FT_LOAD_NO_HINTING;
    if (FT_Load_Char(face, code, flags) != 0) return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.width = int(bm.width);
    g.height = int(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.bits.resize(size_t(g.width) * g.height);
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            g.bits[y * g.width + x] = mono ? (bm.buffer[y * bm.pitch + x / 8] >> (7 - x % 8)) & 1
                                           : bm.buffer[y * bm.pitch + x] >= 128;
    return g;
}

// Trims empty columns and rows, keeping the baseline offset right.
Glyph Trimmed(const Glyph& g) {
    int x0 = g.width, x1 = -1, y0 = g.height, y1 = -1;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (g.On(x, y)) x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    Glyph t;
    if (x1 < 0) return t;
    t.width = x1 - x0 + 1;
    t.height = y1 - y0 + 1;
    t.left = g.left + x0;
    t.top = g.top - y0;
    t.bits.resize(size_t(t.width) * t.height);
    for (int y = 0; y < t.height; ++y)
        for (int x = 0; x < t.width; ++x) t.bits[y * t.width + x] = g.On(x0 + x, y0 + y);
    return t;
}

// Puts the glyph's body into the cell: x from the left edge, the glyph's
// top at baseline - top. Pixels outside the cell's inner area (one pixel
// kept for the outline) are refused: the caller sized the font so none are.
void PutGlyph(Canvas& sheet, int cellX, int cellY, int cellW, int cellH, const Glyph& g, int x, int baseline,
              const std::string& what, bool nudge = false) {
    if (nudge) {  // a glyph that sits a pixel too high or low in its em square moves in
        int top = baseline - g.top;
        if (top < 1) baseline += 1 - top;
        if (baseline - g.top + g.height - 1 > cellH - 2) baseline -= baseline - g.top + g.height - 1 - (cellH - 2);
    }
    for (int y = 0; y < g.height; ++y)
        for (int i = 0; i < g.width; ++i) {
            if (!g.On(i, y)) continue;
            int px = x + i, py = baseline - g.top + y;
            if (nudge && (py < 1 || py > cellH - 2)) continue;  // taller than the cell: clipped
            if (px < 1 || py < 1 || px > cellW - 2 || py > cellH - 2)
                Fail("glyph " + what + " does not fit its cell at " + std::to_string(px) + "," + std::to_string(py));
            sheet.Set(cellX + px, cellY + py, Pal("white"));
        }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: font_sheet PALETTE SPRITES OUT.png [FONT]\n");
        return 2;
    }
    std::string error;
    Palette palette;
    if (!LoadPalette(argv[1], &palette, &error)) Fail(error);
    SetCurrentPalette(palette);
    std::map<std::string, Sprite> sprites;
    if (!LoadSprites(argv[2], &sprites, &error)) Fail(error);
    AddSprites(sprites);
    std::string fontPath = argc > 4 ? argv[4] : FindFontFile();
    if (fontPath.empty()) Fail("no font found through fontconfig (fonts-ipafont-gothic)");

    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0) Fail("FreeType does not start");
    if (FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) Fail("cannot open font " + fontPath);

    // Every glyph must come from the Japanese font: a fallback face would
    // lack the katakana.
    if (face->family_name == nullptr || std::string(face->family_name).find("IPA") == std::string::npos)
        Fail(fontPath + " is not an IPA font: install fonts-ipafont-gothic");

    Canvas sheet(kSheetWidth, kSheetHeight);

    // Katakana: 14-pixel full-width glyphs centred in 16x16 cells.
    FT_Set_Pixel_Sizes(face, 0, 16);
    for (int i = 1; i < 62; ++i) {
        Glyph g = Trimmed(RenderGlyph(face, kKanaGlyphs[i], true));
        if (g.width == 0) Fail("the font has no glyph for katakana byte " + std::to_string(0xA0 + i));
        const int cellX = (i % 16) * kKanaSize, cellY = (i / 16) * kKanaSize;
        // Punctuation keeps its place in the em square (the full stop sits
        // low at the left); letters are centred.
        int x = (kKanaSize - g.width) / 2;
        if (kKanaGlyphs[i] == U'。' || kKanaGlyphs[i] == U'、') x = 2;
        PutGlyph(sheet, cellX, cellY, kKanaSize, kKanaSize, g, x, 13, "kana " + std::to_string(0xA0 + i), true);
    }
    // The voiced and semi-voiced signs are drawn 16 pixels left of the pen
    // and 14 up, over the previous katakana: their marks sit at the bottom
    // right of the cell so that they land on its upper right corner.
    for (int i = 62; i < 64; ++i) {
        Glyph g = Trimmed(RenderGlyph(face, kKanaGlyphs[i], true));
        if (g.width == 0) Fail("the font has no voiced sign");
        const int cellX = (i % 16) * kKanaSize, cellY = (i / 16) * kKanaSize;
        PutGlyph(sheet, cellX, cellY, kKanaSize, kKanaSize, g, kKanaSize - 2 - g.width, kKanaSize - 2 + g.top - g.height + 1,
                 "voiced sign");
    }

    // ASCII: glyphs of the half-width face, widened a quarter to fill the
    // 12-pixel cells, bold, baseline on row 13.
    FT_Set_Pixel_Sizes(face, 20, 16);
    for (int c = 0x21; c < 0x7F; ++c) {
        const int cellX = (c - 0x20) % 16 * kAsciiWidth, cellY = kAsciiTop + (c - 0x20) / 16 * kAsciiHeight;
        const char* icon = c == '@' ? "icon_next" : c == '`' ? "icon_prev" : c == '~' ? "icon_undo" : c == '-' ? "icon_dash"
                                                                                                                : nullptr;
        if (icon) {
            const Sprite& s = Spr(icon);
            if (s.width > kAsciiWidth || s.height > kAsciiHeight) Fail(std::string("sprite ") + icon + " is too large");
            DrawSprite(sheet, s, cellX, cellY);
            continue;
        }
        Glyph g = Trimmed(RenderGlyph(face, char32_t(c), false));
        if (g.width == 0) g = Trimmed(RenderGlyph(face, char32_t(c), true));  // a hairline such as '_'
        if (g.width == 0) Fail("the font has no glyph for ASCII " + std::to_string(c));
        int x = (kAsciiWidth - g.width) / 2;
        PutGlyph(sheet, cellX, cellY, kAsciiWidth, kAsciiHeight, g, x, 13, "ASCII " + std::string(1, char(c)), true);
    }

    // The dark outline around every glyph body, cell by cell so that no
    // outline spills into a neighbouring cell.
    for (int i = 0; i < 64; ++i) Outline(sheet, (i % 16) * 16, (i / 16) * 16, 16, 16, Pal("ink"), true);
    for (int c = 0x20; c < 0x80; ++c)
        Outline(sheet, (c - 0x20) % 16 * kAsciiWidth, kAsciiTop + (c - 0x20) / 16 * kAsciiHeight, kAsciiWidth, kAsciiHeight,
                Pal("ink"), true);

    FT_Done_Face(face);
    FT_Done_FreeType(library);
    if (!WritePng(argv[3], sheet, &error)) Fail(error);
    return 0;
}
