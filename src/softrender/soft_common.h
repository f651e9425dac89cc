// Helpers shared by the software pixel routines (not part of the interface).
#pragma once

#include "core/utility.h"
#include "softrender/draw_state.h"
#include "softrender/memimg.h"
#include "softrender/memimg_tables.h"

#include <cstdint>
#include <cstring>

namespace soft {

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Store16(uint8_t* p, uint32_t v) {
    uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

struct Box {
    int32_t left, top, right, bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// Clips box to clip (ClipRect); the result never has a negative size.
inline Box ClipBox(Box box, const Box& clip) {
    RECT r{box.left, box.top, box.right, box.bottom};
    RECT c{clip.left, clip.top, clip.right, clip.bottom};
    ClipRect(&r, &c);
    return Box{r.left, r.top, r.right < r.left ? r.left : r.right, r.bottom < r.top ? r.top : r.bottom};
}

// The draw area within the destination image.
inline Box DrawAreaIn(const MEMIMG* dest) {
    const DrawState& s = g_drawState;
    Box area{s.drawAreaLeft, s.drawAreaTop, s.drawAreaRight, s.drawAreaBottom};
    return ClipBox(area, Box{0, 0, dest->width, dest->height});
}

// Stores a 32-bit or 16-bit value count times from p.
void StoreRow32(uint8_t* p, uint32_t value, int32_t count);
void StoreRow16(uint8_t* p, uint32_t value, int32_t count);

inline void EnsureTables() {
    if (!AreMemImgTablesReady()) InitMemImgTables();
}

inline bool IsWhiteBrightness() {
    return g_drawState.brightnessBlue == 255 && g_drawState.brightnessGreen == 255 &&
           g_drawState.brightnessRed == 255;
}

// The blend parameter, limited to 0 to 255.
inline uint32_t BlendParameter() {
    int32_t p = g_drawState.blendParameter;
    return static_cast<uint32_t>(p < 0 ? 0 : p > 255 ? 255 : p);
}

// Modes that draw at all in software.
inline bool IsDrawingMode(int32_t mode) { return (mode >= 0 && mode <= 4) || mode == 10 || mode == 11; }

// A destination the stretched blit may write to: valid, colour type 0 or 1,
// no palette. Its pixels step by their own width (4 bytes for R5G6B5 with
// alpha).
inline bool IsScaledBlendDestination(const MEMIMG* dest) {
    if (!IsMemImgValid(dest)) return false;
    const MemImgBase* b = dest->base;
    return (b->colorType == kMemImgR5G6B5 || b->colorType == kMemImgX8R8G8B8) && b->paletteFlag != 1;
}

// A destination the other blending routines may write to: the same, without
// alpha.
inline bool IsBlendDestination(const MEMIMG* dest) {
    return IsScaledBlendDestination(dest) && dest->base->alphaFlag != 1;
}

// Packed add and subtract of three channels in one word (32-bit pixels and
// R5G6B5 words): exact, low-bit effects included.
inline uint32_t PackedAdd32(uint32_t d, uint32_t s) {
    uint32_t sum = (d & 0x00FEFEFF) + (s & 0x00FEFEFF);
    uint32_t carry = sum & 0x01010100;
    return (carry - (carry >> 8)) | ((d | s) & 0x00010100) | sum;
}
inline uint32_t PackedSubtract32(uint32_t d, uint32_t s) {
    uint32_t diff = (d | 0x01010100) - (s & 0xFEFEFEFF);
    uint32_t guard = diff & 0x01010100;
    return (guard - (guard >> 8)) & diff;
}
inline uint32_t PackedAdd16(uint32_t d, uint32_t s) {
    uint32_t sum = (d & 0xF7DEF7DF) + (s & 0xF7DEF7DF);
    uint32_t carry = sum & 0x08210820;
    return ((carry - (carry >> 5)) | ((d | s) & 0x0820) | sum) & 0xFFFF;
}
inline uint32_t PackedSubtract16(uint32_t d, uint32_t s) {
    uint32_t diff = (d | 0x08210820) - (s & 0xF7DEF7DF);
    uint32_t guard = diff & 0x08210820;
    return ((guard - (guard >> 5)) & diff) & 0xFFFF;
}

}  // namespace soft
