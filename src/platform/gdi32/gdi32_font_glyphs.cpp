// The glyphs of the font selected into a memory DC: text metrics, glyphs
// rendered into GDI's bitmap layouts and text extents.
#include "platform/gdi32/gdi32_font_internal.h"

#include "platform/seams/seams.h"

#include FT_OUTLINE_H
#include <iconv.h>

#include <cstdint>
#include <cstring>

namespace gdi32font {
namespace {

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
}  // namespace gdi32font

using namespace gdi32font;

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
