#include "platform/gdi32/gdi32_font.h"

#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/controls.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kMaxFontHeight = 2048;
constexpr int kDefaultCellHeight = 16;
constexpr int kBoldSimulationWeight = 550;
constexpr FT_Fixed kSlant = 0x0366A;  // about 0.2126, a 12 degree slant
constexpr char32_t kJapaneseDefaultChar = 0x30FB;  // "・"

struct FontObject {
    FT_Face face = nullptr;
    std::string file;
    int faceIndex = 0;
    int pixelsPerEm = 0;
    bool embolden = false;
    bool slant = false;
    const char* codePage = "CP932";  // iconv name of the charset's code page
    int charSet = DEFAULT_CHARSET;
    TEXTMETRICA metrics{};
    int selectedCount = 0;  // memory DCs that have it selected
};

struct MemoryDc {
    HGDIOBJ selected = nullptr;  // a font of ours or a stock font
};

// Everything the stand-in keeps, for the life of the process.
struct FontSystem {
    std::mutex mutex;
    FT_Library library = nullptr;
    bool libraryTried = false;
    std::map<std::string, std::vector<uint8_t>> files;  // face files read into memory, kept
    std::map<std::string, std::pair<std::string, int>> matches;  // pattern key -> file, index
    std::set<FontObject*> fonts;
    std::set<MemoryDc*> dcs;
    FontObject* stockFont = nullptr;  // the system font, made on first use
};

FontSystem& System() {
    static auto* system = new FontSystem();
    return *system;
}

// ---- names, languages and code pages ------------------------------------------------

const char* LanguageOfCharSet(DWORD charSet) {
    switch (charSet) {
        case HANGUL_CHARSET: return "ko";
        case GB2312_CHARSET: return "zh-cn";
        case CHINESEBIG5_CHARSET: return "zh-tw";
        case ANSI_CHARSET: return "en";
        default: return "ja";  // Shift-JIS, and the system's own (Japanese) charset
    }
}

const char* CodePageOfCharSet(DWORD charSet) {
    switch (charSet) {
        case HANGUL_CHARSET: return "CP949";
        case GB2312_CHARSET: return "CP936";
        case CHINESEBIG5_CHARSET: return "CP950";
        default: return "CP932";
    }
}

// The family to ask fontconfig for: the IPA face that stands in for a
// Windows system face, else the face name (Shift-JIS) as UTF-8. The names
// below are Shift-JIS literals, compared with the name as given.
std::string FamilyOfFace(const char* face) {
    static const std::pair<const char*, const char*> kAliases[] = {
        {"ＭＳ ゴシック", "IPAGothic"},    {"MS Gothic", "IPAGothic"},   {"ＭＳ Ｐゴシック", "IPAPGothic"},
        {"MS PGothic", "IPAPGothic"},      {"ＭＳ 明朝", "IPAMincho"},   {"MS Mincho", "IPAMincho"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},     {"MS PMincho", "IPAPMincho"},
    };
    for (const auto& [windowsName, family] : kAliases)
        if (std::strcmp(face, windowsName) == 0) return family;
    return platform::ShiftJisToUtf8(face);
}

// ---- faces ------------------------------------------------------------------------------

bool StartLibrary(FontSystem& s) {
    if (!s.libraryTried) {
        s.libraryTried = true;
        if (FT_Init_FreeType(&s.library) != 0) s.library = nullptr;
    }
    return s.library != nullptr;
}

// The face file and index fontconfig picks for a family (empty: sans-serif).
// Each answer is kept; the configuration is loaded for a new question and
// let go at once, which leaves nothing of fontconfig's behind.
bool MatchFace(FontSystem& s, const std::string& family, DWORD charSet, int weight, bool italic, std::string* file,
               int* index) {
    std::string key = family + '\n' + LanguageOfCharSet(charSet) + '\n' + std::to_string(weight) + (italic ? "i" : "");
    auto known = s.matches.find(key);
    if (known != s.matches.end()) {
        *file = known->second.first;
        *index = known->second.second;
        return !file->empty();
    }
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) {
        FcConfigDestroy(config);
        return false;
    }
    const std::string name = family.empty() ? "sans-serif" : family;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(LanguageOfCharSet(charSet)));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    file->clear();
    *index = 0;
    FcChar8* path = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        *file = reinterpret_cast<const char*>(path);
        FcPatternGetInteger(match, FC_INDEX, 0, index);
    }
    if (match != nullptr) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);
    s.matches[key] = {*file, *index};
    return !file->empty();
}

const std::vector<uint8_t>* FileBytes(FontSystem& s, const std::string& path) {
    auto known = s.files.find(path);
    if (known != s.files.end()) return known->second.empty() ? nullptr : &known->second;
    std::vector<uint8_t> bytes;
    if (!platform::ReadFontFile(path, &bytes)) bytes.clear();
    auto& stored = s.files[path] = std::move(bytes);
    return stored.empty() ? nullptr : &stored;
}

// The face's ascent and descent in font units, from its Windows metrics.
void WindowsAscentDescent(FT_Face face, int* ascent, int* descent) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
    } else {
        *ascent = face->ascender;
        *descent = -face->descender;
    }
    if (*ascent + *descent <= 0) {
        *ascent = face->units_per_EM;
        *descent = 0;
    }
}

int FaceWeightClass(FT_Face face) {
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWeightClass > 0) return os2->usWeightClass;
    return (face->style_flags & FT_STYLE_FLAG_BOLD) ? FW_BOLD : FW_NORMAL;
}

int Scale(int units, int pixelsPerEm, int unitsPerEm) {
    return static_cast<int>(std::lround(static_cast<double>(units) * pixelsPerEm / unitsPerEm));
}

// Sizes the face by GDI's height rule and fills the text metrics.
bool SizeFont(FontObject* font, int height, int weight, bool italic, DWORD charSet) {
    FT_Face face = font->face;
    int unitsPerEm = face->units_per_EM;
    if (unitsPerEm <= 0) return false;
    int ascentUnits = 0, descentUnits = 0;
    WindowsAscentDescent(face, &ascentUnits, &descentUnits);
    TEXTMETRICA& tm = font->metrics;
    if (height < 0) {
        font->pixelsPerEm = -height;
        tm.tmAscent = Scale(ascentUnits, font->pixelsPerEm, unitsPerEm);
        tm.tmDescent = Scale(descentUnits, font->pixelsPerEm, unitsPerEm);
        tm.tmHeight = tm.tmAscent + tm.tmDescent;
    } else {
        if (height == 0) height = kDefaultCellHeight;
        font->pixelsPerEm = std::max(
            1, static_cast<int>(std::lround(static_cast<double>(height) * unitsPerEm / (ascentUnits + descentUnits))));
        tm.tmHeight = height;
        tm.tmAscent = std::min(height, Scale(ascentUnits, font->pixelsPerEm, unitsPerEm));
        tm.tmDescent = height - tm.tmAscent;
    }
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(font->pixelsPerEm)) != 0) return false;
    font->embolden = weight >= kBoldSimulationWeight && FaceWeightClass(face) < kBoldSimulationWeight;
    font->slant = italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC);
    int extra = font->embolden ? 1 : 0;
    tm.tmInternalLeading = std::max(0, static_cast<int>(tm.tmHeight) - font->pixelsPerEm);
    tm.tmExternalLeading = 0;
    tm.tmMaxCharWidth = static_cast<LONG>((face->size->metrics.max_advance + 32) >> 6) + extra;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    tm.tmAveCharWidth = (os2 != nullptr && os2->version != 0xFFFF && os2->xAvgCharWidth > 0)
                            ? Scale(os2->xAvgCharWidth, font->pixelsPerEm, unitsPerEm) + extra
                            : tm.tmMaxCharWidth / 2;
    tm.tmWeight = weight;
    tm.tmOverhang = 0;
    tm.tmDigitizedAspectX = 96;
    tm.tmDigitizedAspectY = 96;
    tm.tmFirstChar = 0x20;
    tm.tmLastChar = 0xFF;
    tm.tmDefaultChar = 0x1F;
    tm.tmBreakChar = 0x20;
    tm.tmItalic = italic ? 0xFF : 0;
    tm.tmUnderlined = 0;
    tm.tmStruckOut = 0;
    // Fixed pitch: so marked, or monospaced by its PANOSE class (the gothic
    // faces of half and full widths).
    const bool fixed = FT_IS_FIXED_WIDTH(face) || (os2 != nullptr && os2->version != 0xFFFF && os2->panose[3] == 9);
    tm.tmPitchAndFamily = TMPF_VECTOR | TMPF_TRUETYPE | (fixed ? 0 : TMPF_FIXED_PITCH);
    tm.tmCharSet = static_cast<BYTE>(charSet == DEFAULT_CHARSET ? SHIFTJIS_CHARSET : charSet);
    return true;
}

FontObject* MakeFont(FontSystem& s, int height, int weight, bool italic, DWORD charSet, const char* faceName) {
    if (!StartLibrary(s)) return nullptr;
    std::string family = faceName != nullptr ? FamilyOfFace(faceName) : std::string();
    std::string file;
    int index = 0;
    if (!MatchFace(s, family, charSet, weight, italic, &file, &index)) return nullptr;
    const std::vector<uint8_t>* bytes = FileBytes(s, file);
    if (bytes == nullptr) return nullptr;
    auto font = std::make_unique<FontObject>();
    if (FT_New_Memory_Face(s.library, bytes->data(), static_cast<FT_Long>(bytes->size()), index, &font->face) != 0)
        return nullptr;
    font->file = file;
    font->faceIndex = index;
    font->charSet = static_cast<int>(charSet);
    font->codePage = CodePageOfCharSet(charSet);
    if (!FT_IS_SCALABLE(font->face) || !SizeFont(font.get(), height, weight, italic, charSet)) {
        FT_Done_Face(font->face);
        return nullptr;
    }
    return font.release();
}

FontObject* StockFont(FontSystem& s) {
    if (s.stockFont == nullptr) s.stockFont = MakeFont(s, kDefaultCellHeight, FW_NORMAL, false, DEFAULT_CHARSET, nullptr);
    return s.stockFont;
}

bool IsStockFont(HGDIOBJ object) {
    return object != nullptr && (object == GetStockObject(SYSTEM_FONT) || object == GetStockObject(DEFAULT_GUI_FONT));
}

FontObject* FindFont(FontSystem& s, HGDIOBJ object) {
    auto* font = reinterpret_cast<FontObject*>(object);
    return s.fonts.count(font) ? font : nullptr;
}

MemoryDc* FindDc(FontSystem& s, HDC dc) {
    auto* record = reinterpret_cast<MemoryDc*>(dc);
    return s.dcs.count(record) ? record : nullptr;
}

// The font selected into a memory DC (the stock font made on first use).
FontObject* SelectedFont(FontSystem& s, HDC dc) {
    MemoryDc* record = FindDc(s, dc);
    if (record == nullptr) return nullptr;
    if (IsStockFont(record->selected)) return StockFont(s);
    return FindFont(s, record->selected);
}

// ---- glyphs -----------------------------------------------------------------------------

// The Unicode character of a code in the font's code page; the code page's
// default character when it has none.
char32_t CodeToUnicode(const FontObject& font, UINT code) {
    unsigned char bytes[2];
    size_t length = 0;
    if (code > 0xFF) bytes[length++] = static_cast<unsigned char>(code >> 8);
    bytes[length++] = static_cast<unsigned char>(code & 0xFF);
    const char32_t fallback = std::strcmp(font.codePage, "CP932") == 0 ? kJapaneseDefaultChar : U'?';
    iconv_t descriptor = iconv_open("UTF-32LE", font.codePage);
    if (descriptor == reinterpret_cast<iconv_t>(-1)) return fallback;
    char* in = reinterpret_cast<char*>(bytes);
    size_t inLeft = length;
    unsigned char out[8] = {};
    char* outPointer = reinterpret_cast<char*>(out);
    size_t outLeft = sizeof out;
    size_t result = iconv(descriptor, &in, &inLeft, &outPointer, &outLeft);
    iconv_close(descriptor);
    if (result == static_cast<size_t>(-1) || inLeft != 0 || outLeft != sizeof out - 4) return fallback;
    return static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24));
}

bool IsIdentity(const MAT2& m) {
    return m.eM11.value == 1 && m.eM11.fract == 0 && m.eM22.value == 1 && m.eM22.fract == 0 && m.eM12.value == 0 &&
           m.eM12.fract == 0 && m.eM21.value == 0 && m.eM21.fract == 0;
}

FT_Fixed FixedOf(const FIXED& f) { return static_cast<FT_Fixed>(f.value) * 65536 + f.fract; }

// Loads, styles and renders one glyph into the face's slot; false when the
// face refuses it.
bool RenderGlyph(FontObject& font, char32_t character, bool mono, const MAT2& matrix, FT_Vector* advance,
                 bool* blank) {
    FT_Face face = font.face;
    FT_UInt index = FT_Get_Char_Index(face, character);
    FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
    if (FT_Load_Glyph(face, index, flags) != 0) return false;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
    advance->x = slot->advance.x + (font.embolden ? 64 : 0);
    advance->y = 0;
    if (font.embolden) FT_Outline_EmboldenXY(&slot->outline, 64, 0);
    if (font.slant) {
        FT_Matrix shear{0x10000, kSlant, 0, 0x10000};
        FT_Outline_Transform(&slot->outline, &shear);
    }
    *blank = slot->outline.n_points == 0;
    if (!IsIdentity(matrix)) {
        FT_Matrix m{FixedOf(matrix.eM11), FixedOf(matrix.eM21), FixedOf(matrix.eM12), FixedOf(matrix.eM22)};
        FT_Outline_Transform(&slot->outline, &m);
        FT_Vector_Transform(advance, &m);
    }
    return FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) == 0;
}

DWORD RowBytes(UINT format, UINT width) {
    return format == GGO_BITMAP ? ((width + 31) / 32) * 4 : (width + 3) & ~3u;
}

// Copies the rendered bitmap into GDI's row layout.
void CopyBitmap(const FT_Bitmap& bitmap, UINT format, DWORD rowBytes, uint8_t* out) {
    for (unsigned int y = 0; y < bitmap.rows; ++y) {
        const uint8_t* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        uint8_t* target = out + static_cast<size_t>(y) * rowBytes;
        std::memset(target, 0, rowBytes);
        if (format == GGO_BITMAP) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
                std::memcpy(target, row, (bitmap.width + 7) / 8);
            } else {
                for (unsigned int x = 0; x < bitmap.width; ++x)
                    if (row[x] >= 128) target[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        } else {
            for (unsigned int x = 0; x < bitmap.width; ++x) {
                unsigned v = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[x / 8] >> (7 - x % 8)) & 1) * 255 : row[x];
                target[x] = static_cast<uint8_t>((v * 16 + 127) / 255);
            }
        }
    }
}

bool IsLeadByteOf(const FontObject& font, unsigned char byte) {
    if (std::strcmp(font.codePage, "CP932") != 0) return byte >= 0x80;
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

// ---- fonts -------------------------------------------------------------------------------------

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charSet, DWORD, DWORD,
                  DWORD, DWORD, LPCSTR faceName) {
    if (seams::ShouldFailCall("CreateFontA")) return nullptr;
    if (height > kMaxFontHeight || height < -kMaxFontHeight) return nullptr;
    weight = weight <= 0 ? FW_NORMAL : std::min(weight, 1000);
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = MakeFont(s, height, weight, (italic & 0xFF) != 0, charSet & 0xFF, faceName);
    if (font == nullptr) return nullptr;
    s.fonts.insert(font);
    return reinterpret_cast<HFONT>(font);
}

BOOL DeleteFontObject(HGDIOBJ object) {
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = FindFont(s, object);
    if (font == nullptr || font->selectedCount > 0) return FALSE;
    s.fonts.erase(font);
    FT_Done_Face(font->face);
    delete font;
    return TRUE;
}

// ---- memory device contexts -----------------------------------------------------------------

HDC CreateCompatibleDC(HDC) {
    if (seams::ShouldFailCall("CreateCompatibleDC")) return nullptr;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto* dc = new MemoryDc();
    dc->selected = GetStockObject(SYSTEM_FONT);
    s.dcs.insert(dc);
    return reinterpret_cast<HDC>(dc);
}

BOOL DeleteDC(HDC dc) {
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    MemoryDc* record = FindDc(s, dc);
    if (record == nullptr) return FALSE;
    if (FontObject* font = FindFont(s, record->selected)) --font->selectedCount;
    s.dcs.erase(record);
    delete record;
    return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    if (seams::ShouldFailCall("SelectObject")) return nullptr;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    MemoryDc* record = FindDc(s, dc);
    if (record == nullptr) return nullptr;
    FontObject* font = FindFont(s, object);
    if (font == nullptr && !IsStockFont(object)) return nullptr;
    HGDIOBJ previous = record->selected;
    if (FontObject* old = FindFont(s, previous)) --old->selectedCount;
    if (font != nullptr) ++font->selectedCount;
    record->selected = object;
    return previous;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
    if (seams::ShouldFailCall("GetTextMetricsA") || metrics == nullptr) return FALSE;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = SelectedFont(s, dc);
    if (font == nullptr) return FALSE;
    *metrics = font->metrics;
    return TRUE;
}

DWORD GetGlyphOutlineA(HDC dc, UINT character, UINT format, GLYPHMETRICS* metrics, DWORD bufferSize, LPVOID buffer,
                       const MAT2* matrix) {
    if (seams::ShouldFailCall("GetGlyphOutlineA")) return GDI_ERROR;
    const bool fetch = buffer != nullptr && bufferSize > 0;
    if (fetch && seams::ShouldFailCall("GetGlyphOutlineA:bitmap")) return GDI_ERROR;
    if (metrics == nullptr || matrix == nullptr || character > 0xFFFF) return GDI_ERROR;
    if (format != GGO_METRICS && format != GGO_BITMAP && format != GGO_GRAY4_BITMAP) return GDI_ERROR;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = SelectedFont(s, dc);
    if (font == nullptr) return GDI_ERROR;
    FT_Vector advance{};
    bool blank = false;
    if (!RenderGlyph(*font, CodeToUnicode(*font, character), format == GGO_BITMAP, *matrix, &advance, &blank))
        return GDI_ERROR;
    const FT_GlyphSlot slot = font->face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    blank = blank || bitmap.width == 0 || bitmap.rows == 0;
    *metrics = GLYPHMETRICS{};
    metrics->gmBlackBoxX = blank ? 1 : bitmap.width;
    metrics->gmBlackBoxY = blank ? 1 : bitmap.rows;
    metrics->gmptGlyphOrigin.x = blank ? 0 : slot->bitmap_left;
    metrics->gmptGlyphOrigin.y = blank ? 0 : slot->bitmap_top;
    metrics->gmCellIncX = static_cast<SHORT>((advance.x + 32) >> 6);
    metrics->gmCellIncY = static_cast<SHORT>((advance.y + 32) >> 6);
    if (format == GGO_METRICS) return 0;
    const DWORD rowBytes = blank ? 0 : RowBytes(format, bitmap.width);
    const DWORD size = rowBytes * (blank ? 0 : bitmap.rows);
    if (!fetch) return size;
    if (bufferSize < size) return GDI_ERROR;
    if (size > 0) CopyBitmap(bitmap, format, rowBytes, static_cast<uint8_t*>(buffer));
    return size;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
    if (size == nullptr || count < 0 || (text == nullptr && count > 0)) return FALSE;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = SelectedFont(s, dc);
    if (font == nullptr) return FALSE;
    static const MAT2 kIdentity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    LONG width = 0;
    for (int i = 0; i < count;) {
        auto byte = static_cast<unsigned char>(text[i]);
        UINT code = byte;
        if (IsLeadByteOf(*font, byte) && i + 1 < count) {
            code = byte * 256u + static_cast<unsigned char>(text[i + 1]);
            i += 2;
        } else {
            ++i;
        }
        FT_Vector advance{};
        bool blank = false;
        if (RenderGlyph(*font, CodeToUnicode(*font, code), false, kIdentity, &advance, &blank))
            width += static_cast<LONG>((advance.x + 32) >> 6);
    }
    size->cx = width;
    size->cy = font->metrics.tmHeight;
    return TRUE;
}

namespace platform {

bool GetFontFaceInfo(HFONT handle, FontFaceInfo* info) {
    if (info == nullptr) return false;
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = FindFont(s, reinterpret_cast<HGDIOBJ>(handle));
    if (font == nullptr) {
        *info = FontFaceInfo{};
        return false;
    }
    info->file = font->file;
    info->faceIndex = font->faceIndex;
    info->pixelsPerEm = font->pixelsPerEm;
    info->emboldened = font->embolden;
    info->slanted = font->slant;
    return true;
}

bool IsFontObject(HGDIOBJ object) {
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    return FindFont(s, object) != nullptr;
}

int LiveFontObjectCount() {
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.fonts.size());
}

int LiveMemoryDcCount() {
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.dcs.size());
}

}  // namespace platform

namespace platform {

// The size from the open file first, so that the bytes land in one buffer;
// a file that grows or shrinks meanwhile is read to its end all the same.
// Only a regular file is read (a directory opens, but has no bytes to give).
bool ReadFontFile(const std::string& path, std::vector<uint8_t>* bytes) {
    bytes->clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fclose(file);
        return false;
    }
    constexpr size_t kBlock = size_t{1} << 16;
    bytes->reserve(static_cast<size_t>(info.st_size) + kBlock);  // the last block's room too
    size_t read = 0;
    do {
        const size_t at = bytes->size();
        bytes->resize(at + kBlock);
        read = std::fread(bytes->data() + at, 1, kBlock, file);
        bytes->resize(at + read);
    } while (read == kBlock);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    if (!ok) bytes->clear();
    return ok;
}

}  // namespace platform
