// What the font stand-in's files share: the records of fonts, memory DCs
// and faces, and the font selected into a memory DC.
#pragma once

#include "platform/gdi32/gdi32_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace gdi32font {

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
    int filesRead = 0;
};

// Made once, never destroyed.
FontSystem& System();
// The font selected into a memory DC (the stock font made on first use);
// null for a DC this stand-in does not know. Called with the mutex held.
FontObject* SelectedFont(FontSystem& s, HDC dc);

}  // namespace gdi32font
