// The font module's start and end with the graphics layer, its default font
// and the re-creation of every font under the same handle.
#include "core/library.h"
#include "core/log.h"
#include "core/utility.h"
#include "font/font_internal.h"

#include <cstring>

namespace {

constexpr int32_t kDefaultSize = 16;
constexpr int32_t kDefaultThickness = 6;

// The creation arguments of a font, read back from its record.
struct FontRecipe {
    char faceName[kFaceNameSize];
    int32_t checkValue, size, thickness, type, charsetIndex, edgeSize, italic, spacing;
};

FontRecipe RecipeOf(const FontRecord& r) {
    FontRecipe f{};
    std::memcpy(f.faceName, r.faceName, sizeof f.faceName);
    f.checkValue = r.checkValue;
    f.size = r.size;
    f.thickness = r.thickness;
    f.type = r.type;
    f.charsetIndex = r.charsetIndex;
    f.edgeSize = r.edgeSize;
    f.italic = r.italic;
    f.spacing = r.spacing;
    return f;
}

void DeleteAllFonts() {
    FontModuleState& m = FontModule();
    for (int32_t slot = 0; slot < kMaxFontHandles; ++slot)
        if (const FontRecord* r = m.records[slot]) DeleteFontHandle(MakeFontHandle(r->checkValue, slot));
}

void SetStartDefaults(DefaultFontSettings& d) {
    d.type = 0;
    d.size = kDefaultSize;
    d.thickness = kDefaultThickness;
    d.charsetIndex = CodePageKind();
    d.edgeSize = 1;
    d.italic = 0;
    d.spacing = 0;
}

}  // namespace

int InitFontModule() {
    DeleteAllFonts();  // fonts of an earlier start that was not ended
    FontModuleState& m = FontModule();
    std::memset(static_cast<void*>(&m), 0, sizeof m);
    SetStartDefaults(m.defaults);
    ResetFonts();
    return 0;
}

int TermFontModule() {
    ResetFonts();
    DeleteFontHandle(FontModule().defaults.defaultFont);
    return 0;
}

int ResetFonts() {
    WriteLog("フォントの初期化を行います\n");
    IncreaseLogIndent();
    DefaultFontSettings& d = FontModule().defaults;
    const FontRecord* old = GetFontRecord(d.defaultFont);
    const bool remembered = old != nullptr;
    const FontRecipe recipe = remembered ? RecipeOf(*old) : FontRecipe{};
    DeleteAllFonts();
    if (remembered) {
        d.defaultFont = CreateFontToHandle(recipe.faceName, recipe.size, recipe.thickness, recipe.type,
                                           recipe.charsetIndex, recipe.edgeSize, recipe.italic, -1, -1);
    } else {
        d.defaultFont = CreateFontToHandle("", d.size, d.thickness, d.type, d.charsetIndex, d.edgeSize, d.italic, -1, -1);
    }
    DecreaseLogIndent();
    WriteLog("フォントの初期化は正常に終了しました\n");
    return 0;
}

int ApplyDefaultFontSettings() {
    DefaultFontSettings& d = FontModule().defaults;
    const FontRecord* r = GetFontRecord(d.defaultFont);
    if (r != nullptr && std::strcmp(r->faceName, d.faceName) == 0 && r->type == d.type && r->size == d.size &&
        r->thickness == d.thickness && r->charsetIndex == d.charsetIndex && r->edgeSize == d.edgeSize &&
        r->italic == d.italic) {
        return 0;
    }
    DeleteFontHandle(d.defaultFont);
    d.defaultFont = CreateFontToHandle(d.faceName, d.size, d.thickness, d.type, d.charsetIndex,
                                       (d.type & kFontTypeEdge) ? d.edgeSize : -1, d.italic, -1, -1);
    SetFontSpacing(d.spacing, d.defaultFont);
    return 0;
}

int SetDefaultFontSize(const char*, int32_t size, int32_t thickness) {
    DefaultFontSettings& d = FontModule().defaults;
    d.size = size == -1 ? kDefaultSize : size;
    d.thickness = thickness == -1 ? kDefaultThickness : thickness;
    return ApplyDefaultFontSettings();
}

int RecreateAllFonts() {
    FontModuleState& m = FontModule();
    for (int32_t slot = 0; slot < kMaxFontHandles; ++slot) {
        const FontRecord* r = m.records[slot];
        if (r == nullptr) continue;
        const FontRecipe f = RecipeOf(*r);
        const int32_t handle = MakeFontHandle(f.checkValue, slot);
        DeleteFontHandle(handle);
        CreateFontToHandle(f.faceName, f.size, f.thickness, f.type, f.charsetIndex, f.edgeSize, f.italic, slot,
                           f.checkValue);
        if (CheckFontHandle(handle)) SetFontSpacing(f.spacing, handle);
    }
    return 0;
}
