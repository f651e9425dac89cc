// The rectangle fill under the blend mode, and the raw clear.
#include "softrender/color_kernels.h"
#include "softrender/soft_draw.h"

#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace soft {

// Stores the 32-bit value count times from p.
void StoreRow32(uint8_t* p, uint32_t value, int32_t count) {
    int32_t i = 0;
#ifdef __SSE2__
    __m128i v = _mm_set1_epi32(static_cast<int32_t>(value));
    for (; i + 16 <= count; i += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i + 16), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i + 32), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i + 48), v);
    }
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * i), v);
#endif
    for (; i < count; ++i) Store32(p + 4 * i, value);
}

// Stores the 16-bit value count times from p (pairs as one doubled word).
void StoreRow16(uint8_t* p, uint32_t value, int32_t count) {
    uint32_t pair = (value & 0xFFFF) | (value << 16);
    int32_t pairs = count / 2;
    StoreRow32(p, pair, pairs);
    if (count & 1) Store16(p + 4 * pairs, value);
}

namespace {

void StoreRow8(uint8_t* p, uint32_t value, int32_t count) { std::memset(p, static_cast<int>(value & 0xFF), count); }

Box NormalizedRect(const MEMIMG* image, const RECT* rect) {
    if (rect == nullptr) return Box{0, 0, image->width, image->height};
    Box box{rect->left, rect->top, rect->right, rect->bottom};
    if (box.left > box.right) std::swap(box.left, box.right);
    if (box.top > box.bottom) std::swap(box.top, box.bottom);
    return box;
}

template <int Mode, int PixelByte>
void FillBlended(const ColorRule& rule, uint8_t* row, intptr_t pitch, int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y, row += pitch) {
        uint8_t* p = row;
        for (int32_t x = 0; x < width; ++x, p += PixelByte) {
            if constexpr (PixelByte == 4) {
                ColorPixel32<Mode>(rule, p);
            } else {
                ColorPixel16<Mode>(rule, p);
            }
        }
    }
}

}  // namespace
}  // namespace soft

using namespace soft;

void ClearMemImg(MEMIMG* image, const RECT* rect, uint32_t value) {
    if (!IsMemImgValid(image)) return;
    Box box = ClipBox(NormalizedRect(image, rect), Box{0, 0, image->width, image->height});
    if (box.Width() <= 0 || box.Height() <= 0) return;
    int32_t pixelByte = GetMemImgPixelByte(image);
    intptr_t pitch = image->base->pitch;
    uint8_t* row = GetMemImgPixelAddress(image, box.left, box.top);
    for (int32_t y = 0; y < box.Height(); ++y, row += pitch) {
        if (pixelByte == 4) {
            StoreRow32(row, value, box.Width());
        } else if (pixelByte == 2) {
            StoreRow16(row, value, box.Width());
        } else {
            StoreRow8(row, value, box.Width());
        }
    }
}

void FillMemImgRect(MEMIMG* dest, const RECT* rect, uint32_t color) {
    if (!IsBlendDestination(dest)) return;
    EnsureTables();
    Box box = ClipBox(NormalizedRect(dest, rect), DrawAreaIn(dest));
    if (box.Width() <= 0 || box.Height() <= 0) return;
    int32_t colorType = dest->base->colorType;
    if (colorType == kMemImgR5G6B5) color &= 0xFFFF;
    ColorRule rule;
    if (!SetUpColorRule(&rule, colorType, ShiftBrightness(colorType, color))) return;
    intptr_t pitch = dest->base->pitch;
    uint8_t* row = GetMemImgPixelAddress(dest, box.left, box.top);
    if (rule.mode == 0) {
        for (int32_t y = 0; y < box.Height(); ++y, row += pitch) {
            if (colorType == kMemImgX8R8G8B8) {
                StoreRow32(row, rule.color, box.Width());
            } else {
                StoreRow16(row, rule.color, box.Width());
            }
        }
        return;
    }
    DispatchColorMode(rule.mode, [&]<int Mode>() {
        if (colorType == kMemImgX8R8G8B8) {
            FillBlended<Mode, 4>(rule, row, pitch, box.Width(), box.Height());
        } else {
            FillBlended<Mode, 2>(rule, row, pitch, box.Width(), box.Height());
        }
    });
}
