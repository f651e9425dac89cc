// The string layout of both drawing paths: a string is cached glyph by glyph,
// then measured and, when asked, drawn: from the software cache pixel by
// pixel into a MEMIMG, horizontally or turned a quarter turn for vertical
// writing; from the texture cache through the device.
#include "core/log.h"
#include "core/memory.h"
#include "core/utility.h"
#include "font/font_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "platform/kernel32/kernel32.h"
#include "softrender/memimg.h"

#include <algorithm>
#include <cstring>

namespace {

// The character entries of a string of at most kStringWorkEntries bytes; a
// longer string gets a heap buffer for the call. Being static, it makes the
// layout non-reentrant (main thread only, as all drawing).
CharacterEntry StringEntryBuffer[kStringWorkEntries];

// How a destination holds its pixels, which decides what a glyph pixel becomes.
enum class PixelKind {
    Rgb32,      // X8R8G8B8, alpha (when kept) in bits 24-31
    Rgb16Alpha, // R5G6B5 in bits 0-15, alpha in bits 16-23, four-byte pixels
    Rgb16,      // R5G6B5, two-byte pixels
    Byte,       // one byte per pixel
};

bool KindOf(const MEMIMG* image, PixelKind* kind) {
    switch (GetMemImgPixelByte(image)) {
        case 4:
            *kind = image->base->colorType == kMemImgR5G6B5 ? PixelKind::Rgb16Alpha : PixelKind::Rgb32;
            return true;
        case 2: *kind = PixelKind::Rgb16; return true;
        case 1: *kind = PixelKind::Byte; return true;
    }
    return false;
}

// channel = edge + floor((colour - edge) x t / 256)
uint32_t MixChannel(uint32_t color, uint32_t edge, int32_t t) {
    int32_t c = static_cast<int32_t>(color), e = static_cast<int32_t>(edge);
    return static_cast<uint32_t>(e + (((c - e) * t) >> 8));
}

// A type-3 pixel: glyph level b over edge level e, straight colour with alpha.
template <PixelKind Kind>
uint32_t BlendEdgePixel(uint32_t color, uint32_t edge, int32_t b, int32_t e) {
    constexpr bool k32 = Kind == PixelKind::Rgb32;
    constexpr int alphaShift = k32 ? 24 : 16;
    constexpr uint32_t rgbMask = k32 ? 0x00FFFFFFu : 0x0000FFFFu;
    if (b == 15) return (color & rgbMask) | (0xFFu << alphaShift);
    if (b == 0) return (edge & rgbMask) | (static_cast<uint32_t>(e * 16) << alphaShift);
    const int32_t a = 16 * b + (15 - b) * e;
    const int32_t t = (b * 4096) / a;
    uint32_t rgb;
    if constexpr (k32) {
        rgb = MixChannel((color >> 16) & 0xFF, (edge >> 16) & 0xFF, t) << 16 |
              MixChannel((color >> 8) & 0xFF, (edge >> 8) & 0xFF, t) << 8 | MixChannel(color & 0xFF, edge & 0xFF, t);
    } else {
        rgb = MixChannel((color >> 11) & 0x1F, (edge >> 11) & 0x1F, t) << 11 |
              MixChannel((color >> 5) & 0x3F, (edge >> 5) & 0x3F, t) << 5 | MixChannel(color & 0x1F, edge & 0x1F, t);
    }
    return rgb | (static_cast<uint32_t>(a) << alphaShift);
}

// The destination value of a covered cache pixel v (see the software cache
// encodings); false when the type draws nothing into this kind of pixel.
template <int Type, PixelKind Kind>
bool GlyphPixel(uint32_t v, uint32_t color, uint32_t edge, uint32_t* out) {
    constexpr bool k32 = Kind == PixelKind::Rgb32;
    constexpr bool k16a = Kind == PixelKind::Rgb16Alpha;
    if constexpr (Type == 0 || Type == 1) {
        uint32_t value = (Type == 0 || v == 1) ? color : (k32 ? edge & 0x00FFFFFF : edge);
        if constexpr (k16a) value = (value & 0xFFFF) | 0x00FF0000;
        *out = value;
        return true;
    } else if constexpr (k32 || k16a) {
        if constexpr (Type == 2) {
            *out = k32 ? (color & 0x00FFFFFF) | (v * 16) << 24 : (color & 0xFFFF) | (v * 16) << 16;
        } else {
            *out = BlendEdgePixel<Kind>(color, edge, static_cast<int32_t>(v & 0x0F), static_cast<int32_t>(v >> 4));
        }
        return true;
    }
    return false;
}

// One glyph's pixels, already clipped: source rectangle [i0, i1) x [j0, j1)
// of the cell; glyph pixel (i, j) goes to column dx0 + i x ci + j x cj and
// row dy0 + i x ri + j x rj of the destination.
struct GlyphWalk {
    const uint8_t* cell;  // top-left of the glyph's cell in the software cache
    int32_t pitch;
    int32_t i0, i1, j0, j1;
    int32_t dx0, dy0;
    int32_t ci, cj, ri, rj;
};

template <int Type, PixelKind Kind>
void WalkGlyph(const GlyphWalk& w, MEMIMG* dest, uint32_t color, uint32_t edge, bool transparent) {
    constexpr int bytes = Kind == PixelKind::Rgb16 ? 2 : Kind == PixelKind::Byte ? 1 : 4;
    if constexpr (!(Type == 0 || Type == 1) && (Kind == PixelKind::Rgb16 || Kind == PixelKind::Byte)) {
        return;  // grey levels need a pixel with alpha
    }
    const int32_t destPitch = dest->base->pitch;
    for (int32_t j = w.j0; j < w.j1; ++j) {
        const uint8_t* row = w.cell + static_cast<ptrdiff_t>(j) * w.pitch;
        for (int32_t i = w.i0; i < w.i1; ++i) {
            const uint32_t v = Type == 0 ? (row[i >> 3] >> (7 - (i & 7))) & 1u : row[i];
            const int32_t dx = w.dx0 + i * w.ci + j * w.cj, dy = w.dy0 + i * w.ri + j * w.rj;
            uint8_t* p = dest->pixels + static_cast<ptrdiff_t>(dy) * destPitch + static_cast<ptrdiff_t>(dx) * bytes;
            uint32_t value = 0;
            if (v == 0 || !GlyphPixel<Type, Kind>(v, color, edge, &value)) {
                if (transparent) continue;
                value = 0;
            }
            if constexpr (bytes == 4) {
                std::memcpy(p, &value, 4);
            } else if constexpr (bytes == 2) {
                const uint16_t half = static_cast<uint16_t>(value);
                std::memcpy(p, &half, 2);
            } else {
                *p = static_cast<uint8_t>(value);
            }
        }
    }
}

template <int Type>
void WalkGlyphOfType(PixelKind kind, const GlyphWalk& w, MEMIMG* dest, uint32_t color, uint32_t edge, bool t) {
    switch (kind) {
        case PixelKind::Rgb32: WalkGlyph<Type, PixelKind::Rgb32>(w, dest, color, edge, t); break;
        case PixelKind::Rgb16Alpha: WalkGlyph<Type, PixelKind::Rgb16Alpha>(w, dest, color, edge, t); break;
        case PixelKind::Rgb16: WalkGlyph<Type, PixelKind::Rgb16>(w, dest, color, edge, t); break;
        case PixelKind::Byte: WalkGlyph<Type, PixelKind::Byte>(w, dest, color, edge, t); break;
    }
}

// The rectangle a software draw may touch: the clip within the destination.
RECT DrawableArea(const MEMIMG* dest, const RECT* clip) {
    RECT area{0, 0, dest->width, dest->height};
    if (clip != nullptr) {
        RECT c = *clip;
        ClipRect(&c, &area);
        area = c;
    }
    return area;
}

// Writes one glyph from the software cache into the destination. The glyph
// box is clipped, and the source loses what the box lost; in vertical
// writing glyph row j lands on box column X0 - 1 - j and glyph column i on
// box row G + i.
void DrawSoftwareGlyph(const FontRecord& r, const GlyphCacheSlot& slot, int32_t cellY, int32_t x, int32_t y,
                       double advanceSum, MEMIMG* dest, const RECT* clip, bool transparent, uint32_t color,
                       uint32_t edge, int32_t vertical) {
    PixelKind kind;
    if (!IsMemImgValid(dest) || !KindOf(dest, &kind)) return;
    const RECT area = DrawableArea(dest, clip);
    const int64_t pen = DoubleToInt(advanceSum);
    const int64_t w = slot.width, h = slot.height;
    GlyphWalk walk{};
    walk.cell = r.softwareCache + static_cast<ptrdiff_t>(cellY) * r.softwarePitch;
    walk.pitch = r.softwarePitch;
    int64_t i0, i1, j0, j1;
    if (vertical == 1) {
        const int64_t x0 = int64_t{x} + r.glyphHeight - slot.topOffset;
        const int64_t g = int64_t{y} + pen + slot.xOffset;
        // box columns [x0 - h, x0) hold glyph rows, box rows [g, g + w) glyph columns
        j0 = std::max<int64_t>(0, x0 - area.right);
        j1 = std::min<int64_t>(h, x0 - area.left);
        i0 = std::max<int64_t>(0, area.top - g);
        i1 = std::min<int64_t>(w, area.bottom - g);
        if (i0 >= i1 || j0 >= j1) return;
        walk.dx0 = static_cast<int32_t>(x0 - 1);
        walk.dy0 = static_cast<int32_t>(g);
        walk.ci = 0;
        walk.cj = -1;
        walk.ri = 1;
        walk.rj = 0;
    } else {
        const int64_t gx = int64_t{x} + pen + slot.xOffset;
        const int64_t gy = int64_t{y} + slot.topOffset;
        i0 = std::max<int64_t>(0, area.left - gx);
        i1 = std::min<int64_t>(w, area.right - gx);
        j0 = std::max<int64_t>(0, area.top - gy);
        j1 = std::min<int64_t>(h, area.bottom - gy);
        if (i0 >= i1 || j0 >= j1) return;
        walk.dx0 = static_cast<int32_t>(gx);
        walk.dy0 = static_cast<int32_t>(gy);
        walk.ci = 1;
        walk.cj = 0;
        walk.ri = 0;
        walk.rj = 1;
    }
    walk.i0 = static_cast<int32_t>(i0);
    walk.i1 = static_cast<int32_t>(i1);
    walk.j0 = static_cast<int32_t>(j0);
    walk.j1 = static_cast<int32_t>(j1);
    switch (r.type) {
        case 0: WalkGlyphOfType<0>(kind, walk, dest, color, edge, transparent); break;
        case 1: WalkGlyphOfType<1>(kind, walk, dest, color, edge, transparent); break;
        case 2: WalkGlyphOfType<2>(kind, walk, dest, color, edge, transparent); break;
        case 3: WalkGlyphOfType<3>(kind, walk, dest, color, edge, transparent); break;
    }
}

bool IsBlankCharacter(const CharacterEntry& e) { return e.first == 0x20 || (e.first == 0x81 && e.second == 0x40); }

}  // namespace

ScaledFontColor ScaleFontColor(uint32_t color) {
    int32_t r = 0, g = 0, b = 0;
    SplitColor(color, &r, &g, &b);
    const DrawState& d = g_drawState;
    ScaledFontColor s{r * d.brightnessRed / 255, g * d.brightnessGreen / 255, b * d.brightnessBlue / 255, 0};
    s.argb = 0xFF000000u + static_cast<uint32_t>(s.red * 65536 + s.green * 256 + s.blue);
    return s;
}

uint32_t FontPixelValue(const ScaledFontColor& color, int32_t colorType) {
    if (colorType != kMemImgR5G6B5 && colorType != kMemImgX8R8G8B8) {
        return MakeColor(color.red, color.green, color.blue) & ~MakeColor(0, 0, 0);
    }
    return MakeMemImgColor(colorType, color.red, color.green, color.blue) & ~MakeMemImgColor(colorType, 0, 0, 0);
}

int DrawFontStringCore(int32_t drawFlag, int32_t x, int32_t y, uint8_t extendFlag, double xRate, double yRate,
                       const char* text, uint32_t color, MEMIMG* destination, const RECT* clip,
                       int32_t transparent, int32_t font, uint32_t edgeColor, int32_t length, int32_t vertical,
                       int32_t* sizeOut) {
    if (g_drawState.drawingSuspended) return -1;
    FontRecord* r = GetFontRecord(font);
    if (r == nullptr) return -1;
    const bool draw = drawFlag == 1;
    if (!(r->textureFlag && (!draw || extendFlag != 0))) {
        xRate = yRate = 1.0;
        extendFlag = 0;
    }
    const double advanceRate = vertical != 0 ? yRate : xRate;
    const ScaledFontColor scaledColor = ScaleFontColor(color), scaledEdge = ScaleFontColor(edgeColor);
    // Pixels are written in the destination's own format, which need not be
    // the screen's (an image of another colour depth).
    const int32_t colorType = IsMemImgValid(destination) ? destination->base->colorType : ScreenColorType();
    const uint32_t deviceColor = FontPixelValue(scaledColor, colorType);
    const uint32_t deviceEdge = FontPixelValue(scaledEdge, colorType);
    if (text == nullptr || text[0] == '\0') return 0;
    const int32_t stringLength = lstrlenA(text);
    if (length < 0 || length > stringLength) length = stringLength;
    CharacterEntry* entries = StringEntryBuffer;
    void* block = nullptr;
    if (stringLength > kStringWorkEntries) {
        const uint64_t bytes = uint64_t(stringLength) * 3;
        block = bytes <= UINT32_MAX ? AllocMemory(static_cast<uint32_t>(bytes), "", 0) : nullptr;
        if (block == nullptr) return -1;
        entries = static_cast<CharacterEntry*>(block);
    }
    int32_t count = 0;
    CacheStringGlyphs(text, length, font, entries, &count);
    double advanceSum = 0.0;
    for (int32_t n = 0; n < count; ++n) {
        const CharacterEntry& entry = entries[n];
        GlyphCodeEntry& code = r->codes[CodeIndexOf(entry)];
        GlyphCacheSlot* slot = code.cached ? code.slot : RenderGlyphsToCache(font, 1, &entry);
        if (slot == nullptr) {
            WriteLog("テキストキャッシュの作成に失敗しました");
            FreeMemory(block);
            return -1;
        }
        if (draw && !IsBlankCharacter(entry) && !(slot->width == 0 && slot->height == 0)) {
            int32_t cellX = 0, cellY = 0;
            GlyphCellPosition(*r, slot->cellIndex, &cellX, &cellY);
            if (r->textureFlag) {
                DrawTextureGlyph(*r, *slot, cellX, cellY, x, y, advanceSum, extendFlag, xRate, yRate,
                                 scaledColor.argb, scaledEdge.argb, vertical);
            } else if (destination != nullptr) {
                DrawSoftwareGlyph(*r, *slot, cellY, x, y, advanceSum, destination, clip, transparent != 0,
                                  deviceColor, deviceEdge, vertical);
            }
        }
        advanceSum += (static_cast<double>(slot->advance) + r->spacing) * advanceRate;
    }
    const int32_t total = DoubleToInt(advanceSum);
    if (sizeOut != nullptr) {
        sizeOut[0] = vertical == 1 ? r->glyphHeight : total;
        sizeOut[1] = vertical == 1 ? total : r->glyphHeight;
    }
    FreeMemory(block);
    return total;
}
