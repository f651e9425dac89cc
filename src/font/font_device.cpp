// The fonts' Direct3D 9 side: the texture glyph cache and glyphs drawn as
// image rectangles tinted by the draw brightness.
//
// The texture cache is an image of the graphics layer (twice as wide with
// the edge bit, its right half derived as the edge image). Glyphs are
// composed in the main-memory cache pixels, in that image's own pixel
// format (white, the glyph's coverage in the alpha bits), and each finished
// cell goes into the image and its textures through the graphics layer's
// UpdateImageFromBitmap. Every write is clipped to
// the cache pixels: with a cache side that is a multiple of the cell size,
// the last row and column of cells reach one pixel beyond the cache.
#include "core/utility.h"
#include "d3d9/d3d9_backend.h"
#include "font/font_internal.h"
#include "graphics/graphics.h"
#include "graphics/graphics_internal.h"
#include "image/image_decode.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int32_t kMaxPattern = (2 * kMaxFontEdgeSize + 1) * (2 * kMaxFontEdgeSize + 1);
int32_t g_pattern[kMaxPattern][2];

// The cache pixels' encoding: opaque, clear and the grey levels 1..16.
struct CacheEncoding {
    uint32_t rgb;
    uint32_t alpha;
    uint32_t valueMask;
    int32_t alphaTop;  // alpha width + alpha shift
    uint32_t Opaque() const { return rgb | alpha; }
    uint32_t Clear() const { return rgb; }
    uint32_t Gray(uint32_t v) const {
        if (v == 0) return Clear();
        return ((((v << (alphaTop - 4)) - 1) | rgb) & valueMask);
    }
};

CacheEncoding EncodingOf(const ColorFormatInfo& f) {
    CacheEncoding e{};
    e.rgb = f.redMask | f.greenMask | f.blueMask;
    e.alpha = f.alphaMask;
    e.alphaTop = std::clamp(f.alphaWidth + f.alphaLoc, 4, 32);
    e.valueMask = e.alphaTop >= 32 ? 0xFFFFFFFFu : (1u << e.alphaTop) - 1;
    return e;
}

// The cache pixels as a grid of values; reads and writes outside are ignored.
class CacheGrid {
public:
    explicit CacheGrid(PixelImage& p) : p_(p), bytes_(std::clamp<int32_t>(p.format.pixelByte, 1, 4)) {}
    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < p_.width && y < p_.height; }
    uint32_t Get(int32_t x, int32_t y) const {
        uint32_t v = 0;
        if (Inside(x, y)) std::memcpy(&v, Address(x, y), static_cast<size_t>(bytes_));
        return v;
    }
    void Set(int32_t x, int32_t y, uint32_t v) {
        if (Inside(x, y)) std::memcpy(Address(x, y), &v, static_cast<size_t>(bytes_));
    }

private:
    uint8_t* Address(int32_t x, int32_t y) const {
        return static_cast<uint8_t*>(p_.pixels) + static_cast<ptrdiff_t>(y) * p_.pitch + x * bytes_;
    }
    PixelImage& p_;
    int32_t bytes_;
};

int32_t BitmapValue(const uint8_t* bits, int32_t rowBytes, bool gray, int32_t i, int32_t j) {
    const uint8_t* row = bits + static_cast<ptrdiff_t>(j) * rowBytes;
    if (!gray) return (row[i >> 3] >> (7 - (i & 7))) & 1;
    return std::min<int32_t>(row[i], 16);
}

// Copies the rectangle of the cache pixels to the same place in the cache
// image (cut to both by the graphics layer).
void TransferCell(const FontRecord& r, int32_t x, int32_t y, int32_t width, int32_t height) {
    const RECT rect{x, y, x + width, y + height};
    UpdateImageFromBitmap(&r.cachePixels, 0, 0, nullptr, 0, nullptr, 0, &rect, x, y, r.cacheImage, 0);
}

// Types 1 and 3: the glyph in the left half, its outline in the right half.
void ComposeEdgedGlyph(FontRecord* r, CacheGrid& grid, const CacheEncoding& enc, int32_t x, int32_t y,
                       const uint8_t* bits, int32_t rowBytes, int32_t w, int32_t h) {
    const int32_t e = r->edgeSize, half = r->cacheWidth;
    const bool gray = (r->type & kFontTypeAntialias) != 0;
    const int32_t positions = EdgePatternOffsets(e, g_pattern, kMaxPattern);
    const int32_t cellRight = x + r->cellSize, cellBottom = y + r->cellSize;
    auto inCell = [&](int32_t px, int32_t py) { return px < cellRight && py < cellBottom; };
    for (int32_t j = 0; j < h; ++j) {
        for (int32_t i = 0; i < w; ++i) {
            const uint32_t g = static_cast<uint32_t>(BitmapValue(bits, rowBytes, gray, i, j));
            if (g == 0) continue;
            const int32_t gx = x + e + i, gy = y + e + j;
            if (inCell(gx, gy)) grid.Set(gx, gy, gray ? g : enc.Opaque());
            for (int32_t k = 0; k < positions; ++k) {
                const int32_t px = gx + g_pattern[k][0], py = gy + g_pattern[k][1];
                if (!inCell(px, py)) continue;
                const uint32_t old = grid.Get(half + px, py);
                if (!gray) {
                    if ((old & enc.alpha) == 0) grid.Set(half + px, py, enc.Opaque());
                } else {
                    grid.Set(half + px, py, (256 - (16 - old) * (16 - g)) / 16);
                }
            }
        }
    }
    const int32_t right = std::min(x + w + 2 * e, cellRight), bottom = std::min(y + h + 2 * e, cellBottom);
    if (gray) {
        for (int32_t py = y; py < bottom; ++py)
            for (int32_t px = x; px < right; ++px) {
                grid.Set(px, py, enc.Gray(grid.Get(px, py)));
                grid.Set(half + px, py, enc.Gray(grid.Get(half + px, py)));
            }
    }
    TransferCell(*r, x, y, right - x, bottom - y);
    TransferCell(*r, half + x, y, right - x, bottom - y);
}

// Brightness and blend image of the draw state, saved for one glyph.
class SavedGlyphState {
public:
    SavedGlyphState()
        : blend_(g_drawState.blendImageHandle), parameter_(g_drawState.blendImageBorderParameter),
          range_(g_drawState.blendImageBorderRange), red_(g_drawState.brightnessRed),
          green_(g_drawState.brightnessGreen), blue_(g_drawState.brightnessBlue) {
        SetBlendImage(-1, 0, 0);
    }
    ~SavedGlyphState() {
        SetBlendImage(blend_, parameter_, range_);
        SetDrawBrightness(red_, green_, blue_);
    }
    SavedGlyphState(const SavedGlyphState&) = delete;
    SavedGlyphState& operator=(const SavedGlyphState&) = delete;

private:
    int32_t blend_, parameter_, range_, red_, green_, blue_;
};

// The draw area narrowed to a rectangle within it, put back on leaving.
class NarrowedArea {
public:
    NarrowedArea(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        const DrawState& d = g_drawState;
        saved_ = RECT{d.drawAreaLeft, d.drawAreaTop, d.drawAreaRight, d.drawAreaBottom};
        RECT r{left, top, right, bottom};
        ClipRect(&r, &saved_);
        SetDrawRegion(r.left, r.top, r.right, r.bottom);
        empty_ = r.left >= r.right || r.top >= r.bottom;
    }
    ~NarrowedArea() { SetDrawRegion(saved_.left, saved_.top, saved_.right, saved_.bottom); }
    NarrowedArea(const NarrowedArea&) = delete;
    NarrowedArea& operator=(const NarrowedArea&) = delete;
    bool Empty() const { return empty_; }

private:
    RECT saved_;
    bool empty_;
};

struct GlyphPlace {
    const FontRecord& record;
    const GlyphCacheSlot& slot;
    int32_t cellX, cellY, x, y;
    double advanceSum, xRate, yRate;
};

// Vertical writing: the glyph turned a quarter turn clockwise, its top row
// running down the right side of the narrowed area.
void DrawVerticalGlyph(const GlyphPlace& g, int32_t image) {
    const int32_t x0 = g.x + g.record.glyphHeight - g.slot.topOffset;
    const int32_t top = g.y + DoubleToInt(g.advanceSum) + g.slot.xOffset;
    NarrowedArea area(x0 - g.slot.height - 1, top, x0 + 1, top + g.slot.width);
    if (area.Empty()) return;
    int32_t w = 0, h = 0;
    GetImageSize(image, &w, &h);
    // Corners less half a pixel put the texel centres on pixel centres.
    const float right = static_cast<float>(x0 + g.cellY) - 0.5f, left = static_cast<float>(x0 + g.cellY - h) - 0.5f;
    const float t = static_cast<float>(top - g.cellX) - 0.5f;
    // The edge image is the right half of the cache image: its own width.
    const float b = static_cast<float>(top - g.cellX + w) - 0.5f;
    DrawImageQuad(right, t, right, b, left, b, left, t, image, 1);
}

void DrawVerticalScaledGlyph(const GlyphPlace& g, int32_t image) {
    const float xr = static_cast<float>(g.x + (g.record.glyphHeight - g.slot.topOffset) * g.xRate);
    const float yt = static_cast<float>(g.y + g.advanceSum + g.slot.xOffset * g.yRate);
    const float xl = xr - static_cast<float>(g.slot.height * g.xRate);
    const float yb = yt + static_cast<float>(g.slot.width * g.yRate);
    NarrowedArea area(FloatToInt(xr - static_cast<float>(DoubleToInt(g.slot.height * g.xRate))) - 1, FloatToInt(yt),
                      FloatToInt(xr) + 1, FloatToInt(yb));
    if (area.Empty()) return;
    const int32_t cell = DeriveImage(g.cellX, g.cellY, g.slot.width, g.slot.height, image);
    if (cell <= 0) return;
    DrawImageQuad(xr - 0.5f, yt - 0.5f, xr - 0.5f, yb - 0.5f, xl - 0.5f, yb - 0.5f, xl - 0.5f, yt - 0.5f, cell, 1);
    DeleteImage(cell);
}

void DrawGlyphPass(const GlyphPlace& g, int32_t image, uint8_t extend, int32_t vertical) {
    const GlyphCacheSlot& s = g.slot;
    if (vertical == 1) {
        if (extend) {
            DrawVerticalScaledGlyph(g, image);
        } else {
            DrawVerticalGlyph(g, image);
        }
        return;
    }
    if (!extend) {
        DrawImageRect(g.x + DoubleToInt(g.advanceSum) + s.xOffset, g.y + s.topOffset, g.cellX, g.cellY, s.width,
                      s.height, image, 1, 0);
        return;
    }
    const float x1 = static_cast<float>(g.x + g.advanceSum + s.xOffset * g.xRate);
    const float y1 = static_cast<float>(g.y + s.topOffset * g.yRate);
    DrawImageRectStretched(x1, y1, x1 + static_cast<float>(s.width * g.xRate), y1 + static_cast<float>(s.height * g.yRate),
                           g.cellX, g.cellY, s.width, s.height, image, 1);
}

}  // namespace

int CreateGlyphCacheImages(FontRecord* r) {
    const bool edge = (r->type & kFontTypeEdge) != 0;
    r->edgeImage = -1;
    r->cacheImage = CreateBlankImage(edge ? r->cacheWidth * 2 : r->cacheWidth, r->cacheHeight);
    const ImageRecord* record = r->cacheImage >= 0 ? FindImage(r->cacheImage) : nullptr;
    if (record == nullptr || record->tileCount == 0) {
        // An image the device cannot hold as textures is of no use here.
        if (record != nullptr) DeleteImage(r->cacheImage);
        r->cacheImage = -1;
        return -1;
    }
    if (edge) r->edgeImage = DeriveImage(r->cacheWidth, 0, r->cacheWidth * 2, r->cacheHeight, r->cacheImage);
    return 0;
}

void ComposeTextureGlyph(FontRecord* r, int32_t x, int32_t y, const uint8_t* bits, int32_t rowBytes, int32_t width,
                         int32_t height) {
    if (r->cachePixels.pixels == nullptr) return;
    CacheGrid grid(r->cachePixels);
    const CacheEncoding enc = EncodingOf(r->cachePixels.format);
    const bool gray = (r->type & kFontTypeAntialias) != 0;
    const int32_t w = std::min(width, r->cellSize), h = std::min(height, r->cellSize);
    if (r->type & kFontTypeEdge) {
        ComposeEdgedGlyph(r, grid, enc, x, y, bits, rowBytes, w, h);
        return;
    }
    for (int32_t j = 0; j < h; ++j)
        for (int32_t i = 0; i < w; ++i) {
            const uint32_t g = static_cast<uint32_t>(BitmapValue(bits, rowBytes, gray, i, j));
            grid.Set(x + i, y + j, gray ? enc.Gray(g) : (g ? enc.Opaque() : enc.Clear()));
        }
    TransferCell(*r, x, y, r->cellSize, r->cellSize);
}

void DrawTextureGlyph(const FontRecord& record, const GlyphCacheSlot& slot, int32_t cellX, int32_t cellY, int32_t x,
                      int32_t y, double advanceSum, uint8_t extend, double xRate, double yRate, uint32_t colorArgb,
                      uint32_t edgeArgb, int32_t vertical) {
    SavedGlyphState saved;
    const GlyphPlace place{record, slot, cellX, cellY, x, y, advanceSum, xRate, yRate};
    if ((record.type & kFontTypeEdge) && record.edgeImage > 0) {
        SetDrawBrightnessColor(edgeArgb);
        DrawGlyphPass(place, record.edgeImage, extend, vertical);
    }
    // Scaled vertical glyphs are filtered; the mode stays for the draws after.
    if (extend && vertical == 1) SetFilterMode(1);
    SetDrawBrightnessColor(colorArgb);
    DrawGlyphPass(place, record.cacheImage, extend, vertical);
}

int DeviceHasBlendOperationCap() { return Screen().d3dActive && Device().blendOpCap ? 1 : 0; }

void BeginFontSubtractPass(const RECT* rect) { BeginSubtractPass(rect); }

void EndFontSubtractPass(const RECT* rect) { EndSubtractPass(rect); }
