#include "platform/gdi32/gdi32_font.h"
#include "platform/gdi32/gdi32_font_internal.h"

#include "platform/gdi32/gdi32.h"
#include "platform/kernel32/kernel32.h"
#include "platform/seams/seams.h"
#include "platform/user32/controls.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace gdi32font {

FontSystem& System() {
    static auto* system = new FontSystem();
    return *system;
}

namespace {

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
    ++s.filesRead;
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

int NormalWeight(int weight) { return weight <= 0 ? FW_NORMAL : std::min(weight, 1000); }

// The face read ahead (PrepareFontFace).
struct ReadAhead {
    std::mutex lock;
    std::thread thread;
};

ReadAhead& Ahead() {
    static auto* ahead = new ReadAhead();
    return *ahead;
}

void JoinReadAhead() {
    ReadAhead& a = Ahead();
    std::lock_guard<std::mutex> lock(a.lock);
    if (a.thread.joinable()) a.thread.join();
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

}  // namespace

FontObject* SelectedFont(FontSystem& s, HDC dc) {
    MemoryDc* record = FindDc(s, dc);
    if (record == nullptr) return nullptr;
    if (IsStockFont(record->selected)) return StockFont(s);
    return FindFont(s, record->selected);
}

}  // namespace gdi32font

using namespace gdi32font;

// ---- fonts -------------------------------------------------------------------------------------

HFONT CreateFontA(int height, int, int, int, int weight, DWORD italic, DWORD, DWORD, DWORD charSet, DWORD, DWORD,
                  DWORD, DWORD, LPCSTR faceName) {
    if (seams::ShouldFailCall("CreateFontA")) return nullptr;
    if (height > kMaxFontHeight || height < -kMaxFontHeight) return nullptr;
    weight = NormalWeight(weight);
    JoinReadAhead();
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontObject* font = MakeFont(s, height, weight, (italic & 0xFF) != 0, charSet & 0xFF, faceName);
    if (font == nullptr) return nullptr;
    s.fonts.insert(font);
    return reinterpret_cast<HFONT>(font);
}

void PrepareFontFace(LPCSTR faceName, DWORD charSet, int weight, DWORD italic) {
    ReadAhead& a = Ahead();
    std::lock_guard<std::mutex> lock(a.lock);
    if (a.thread.joinable()) a.thread.join();
    static const bool joinAtExit = std::atexit(JoinReadAhead) == 0;
    (void)joinAtExit;
    const std::string family = faceName != nullptr ? FamilyOfFace(faceName) : std::string();
    const DWORD set = charSet & 0xFF;
    const int normal = NormalWeight(weight);
    const bool slanted = (italic & 0xFF) != 0;
    try {
        a.thread = std::thread([family, set, normal, slanted] {
            FontSystem& s = System();
            std::lock_guard<std::mutex> held(s.mutex);
            std::string file;
            int index = 0;
            if (MatchFace(s, family, set, normal, slanted, &file, &index)) FileBytes(s, file);
        });
    } catch (const std::system_error&) {
        // No thread to be had: the face is read when the font is made.
    }
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

int FontFilesRead() {
    JoinReadAhead();
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.filesRead;
}

int FontFaceQuestions() {
    JoinReadAhead();
    FontSystem& s = System();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.matches.size());
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
