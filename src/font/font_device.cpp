// The fonts' Direct3D 9 side: the texture glyph cache and glyphs drawn as
// image rectangles tinted by the draw brightness. Fonts get a texture cache
// only while that back end is active; this library has no device yet, so
// each place below gives the result of a missing device. The texture cache
// comes in here: its images (a blank 16-bit image twice as wide with the edge
// bit, the right half derived as the edge image), the composing of a glyph
// into the 16-bit cache pixels with its transfer to the image, the four
// glyph geometries (horizontal or vertical, plain or scaled), the device's
// blend-operation capability and the two-pass subtract emulation.
#include "font/font_internal.h"

int CreateGlyphCacheImages(FontRecord* record) {
    record->cacheImage = -1;
    record->edgeImage = -1;
    return -1;
}

int TransferGlyphCell(FontRecord*, int32_t, int32_t, int32_t, int32_t) { return -1; }

void ComposeTextureGlyph(FontRecord*, int32_t, int32_t, const uint8_t*, int32_t, int32_t, int32_t) {}

void DrawTextureGlyph(const FontRecord&, const GlyphCacheSlot&, int32_t, int32_t, int32_t, int32_t, double, uint8_t,
                      double, double, uint32_t, uint32_t, int32_t) {}

int DeviceHasBlendOperationCap() { return 0; }

void BeginFontSubtractPass(const RECT*) {}

void EndFontSubtractPass(const RECT*) {}
