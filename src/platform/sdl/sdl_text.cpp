#include "platform/sdl/sdl_text.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>

namespace platform::sdl {
namespace {

struct FontState {
    std::mutex mutex;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool tried = false;  // a face was looked for (found or not) for the current choice
    std::string chosenPath;  // set by SetInterfaceFontFile
    std::string path;        // the file behind face
};

FontState& Font() {
    static FontState* state = new FontState();  // kept until exit, like the faces it holds
    return *state;
}

// The file fontconfig picks for the interface font; "" when it has none. A
// configuration of its own, let go at once, leaves nothing behind.
std::string FindInterfaceFontFile(int* index) {
    *index = 0;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return "";
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAPGothic"));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("IPAGothic"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    std::string path;
    FcChar8* file = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, index);
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    return path;
}

// The face to draw with (lock held); null when none can be opened.
FT_Face OpenFace(FontState& f) {
    if (f.tried) return f.face;
    f.tried = true;
    if (f.library == nullptr && FT_Init_FreeType(&f.library) != 0) {
        f.library = nullptr;
        return nullptr;
    }
    int index = 0;
    std::string path = f.chosenPath.empty() ? FindInterfaceFontFile(&index) : f.chosenPath;
    if (path.empty() || FT_New_Face(f.library, path.c_str(), index, &f.face) != 0) {
        f.face = nullptr;
        return nullptr;
    }
    f.path = path;
    return f.face;
}

// Next code point of a UTF-8 string; a malformed byte stands for itself as U+FFFD.
char32_t NextCodePoint(const std::string& s, size_t* i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(*i);
    int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || *i + static_cast<size_t>(length) > s.size()) {
        ++*i;
        return 0xFFFD;
    }
    char32_t cp = length == 1 ? c : c & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        unsigned char t = byte(*i + static_cast<size_t>(k));
        if ((t & 0xC0) != 0x80) {
            ++*i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    *i += static_cast<size_t>(length);
    return cp;
}

// Walks the glyphs of a line: for each one that the face has, calls draw with
// the rendered glyph slot and the pen position; returns the advance.
template <typename Draw>
int WalkLine(FT_Face face, const std::string& utf8, Draw draw) {
    int pen = 0;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp = NextCodePoint(utf8, &i);
        FT_UInt glyph = FT_Get_Char_Index(face, cp);
        if (glyph == 0) continue;  // no box for a missing character
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
        draw(face->glyph, pen);
        pen += static_cast<int>((face->glyph->advance.x + 32) >> 6);
    }
    return pen;
}

void CopyGlyph(const FT_GlyphSlot slot, int pen, TextImage* out) {
    const FT_Bitmap& bm = slot->bitmap;
    int left = pen + slot->bitmap_left;
    int top = out->baseline - slot->bitmap_top;
    for (int y = 0; y < static_cast<int>(bm.rows); ++y) {
        int oy = top + y;
        if (oy < 0 || oy >= out->height) continue;
        const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        for (int x = 0; x < static_cast<int>(bm.width); ++x) {
            int ox = left + x;
            if (ox < 0 || ox >= out->width) continue;
            uint8_t value = bm.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0)
                                                                : row[x];
            uint8_t& cell = out->coverage[static_cast<size_t>(oy) * static_cast<size_t>(out->width) +
                                          static_cast<size_t>(ox)];
            cell = std::max(cell, value);
        }
    }
}

}  // namespace

bool RenderTextLine(const std::string& utf8, int pixelSize, TextImage* out) {
    if (out == nullptr || pixelSize < 4 || pixelSize > 256) return false;
    FontState& f = Font();
    std::lock_guard<std::mutex> lock(f.mutex);
    FT_Face face = OpenFace(f);
    if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return false;
    *out = TextImage{};
    out->baseline = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    out->height = out->baseline + static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    out->width = WalkLine(face, utf8, [](FT_GlyphSlot, int) {});
    out->coverage.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
    WalkLine(face, utf8, [&](FT_GlyphSlot slot, int pen) { CopyGlyph(slot, pen, out); });
    return true;
}

int MeasureTextLine(const std::string& utf8, int pixelSize) {
    if (pixelSize < 4 || pixelSize > 256) return 0;
    FontState& f = Font();
    std::lock_guard<std::mutex> lock(f.mutex);
    FT_Face face = OpenFace(f);
    if (face == nullptr || FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return 0;
    return WalkLine(face, utf8, [](FT_GlyphSlot, int) {});
}

std::string InterfaceFontFile() {
    FontState& f = Font();
    std::lock_guard<std::mutex> lock(f.mutex);
    OpenFace(f);
    return f.face != nullptr ? f.path : "";
}

void SetInterfaceFontFile(const std::string& path) {
    FontState& f = Font();
    std::lock_guard<std::mutex> lock(f.mutex);
    if (f.face != nullptr) FT_Done_Face(f.face);
    f.face = nullptr;
    f.path.clear();
    f.chosenPath = path;
    f.tried = false;
}

}  // namespace platform::sdl
