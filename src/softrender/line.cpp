// The clipped one-pixel line and the line list.
#include "softrender/color_kernels.h"
#include "softrender/soft_draw.h"

#include <algorithm>
#include <cstdlib>

namespace soft {
namespace {

// Offsets are stepped as integers: the step after the last pixel may lead
// outside the image, where no pointer may be formed.
template <int Mode, int PixelByte>
void StepLine(const ColorRule& rule, uint8_t* start, intptr_t mainStep, intptr_t sideStep, int32_t count,
              int32_t increment, int32_t limit) {
    intptr_t offset = 0;
    int32_t error = 0;
    for (int32_t i = 0; i < count; ++i) {
        if constexpr (PixelByte == 4) {
            ColorPixel32<Mode>(rule, start + offset);
        } else {
            ColorPixel16<Mode>(rule, start + offset);
        }
        offset += mainStep;
        error += increment;
        if (error >= limit) {
            offset += sideStep;
            error -= limit;
        }
    }
}

struct LineEnds {
    int32_t x1, y1, x2, y2;
};

// Clips the line to the area: the start lands inside, the end inside or one
// pixel beyond an edge. False when the line misses the area.
bool ClipLine(LineEnds* e, const Box& area) {
    const int32_t L = area.left, T = area.top, R = area.right, B = area.bottom;
    if (std::max(e->x1, e->x2) < L || std::min(e->x1, e->x2) >= R || std::max(e->y1, e->y2) < T ||
        std::min(e->y1, e->y2) >= B) {
        return false;
    }
    double ddx = static_cast<double>(e->x2) - e->x1;
    double ddy = static_cast<double>(e->y2) - e->y1;
    double a = e->y1 == e->y2 ? 0.0 : ddx / ddy;
    double b = e->x1 == e->x2 ? 0.0 : ddy / ddx;
    double C = e->x1 - a * e->y1;
    double D = e->y1 - b * e->x1;
    auto yAt = [&](int32_t x) { return DoubleToInt(D + b * x); };
    auto xAt = [&](int32_t y) { return DoubleToInt(a * y + C); };

    if (e->x1 < L) {
        e->x1 = L, e->y1 = yAt(L);
    } else if (e->x1 >= R) {
        e->x1 = R - 1, e->y1 = yAt(R - 1);
    }
    if (e->x2 < L) {
        e->x2 = L - 1, e->y2 = yAt(L - 1);
    } else if (e->x2 >= R) {
        e->x2 = R, e->y2 = yAt(R);
    }
    if (e->y1 < T) {
        e->y1 = T, e->x1 = xAt(T);
    } else if (e->y1 >= B) {
        e->y1 = B - 1, e->x1 = xAt(B - 1);
    }
    if (e->y2 < T) {
        e->y2 = T - 1, e->x2 = xAt(T - 1);
    } else if (e->y2 >= B) {
        e->y2 = B, e->x2 = xAt(B);
    }
    e->x1 = std::clamp(e->x1, L, R - 1);
    e->y1 = std::clamp(e->y1, T, B - 1);
    if (e->x2 < L) e->x2 = L - 1;
    if (e->x2 >= R) e->x2 = R;
    if (e->y2 < T) e->y2 = T - 1;
    if (e->y2 >= B) e->y2 = B;
    return true;
}

}  // namespace
}  // namespace soft

using namespace soft;

void DrawMemImgLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (!IsBlendDestination(dest)) return;
    Box area = DrawAreaIn(dest);
    if (area.Width() <= 0 || area.Height() <= 0) return;
    LineEnds e{x1, y1, x2, y2};
    if (!ClipLine(&e, area)) return;
    int32_t dx = e.x2 - e.x1, dy = e.y2 - e.y1;
    if (dx == 0 && dy == 0) return;
    EnsureTables();
    int32_t colorType = dest->base->colorType;
    if (colorType == kMemImgR5G6B5) color &= 0xFFFF;
    ColorRule rule;
    if (!SetUpColorRule(&rule, colorType, ShiftBrightness(colorType, color))) return;

    const intptr_t pixelByte = colorType == kMemImgX8R8G8B8 ? 4 : 2;
    const intptr_t stepX = dx < 0 ? -pixelByte : pixelByte;
    const intptr_t stepY = dy < 0 ? -static_cast<intptr_t>(dest->base->pitch) : dest->base->pitch;
    const int32_t adx = std::abs(dx), ady = std::abs(dy);
    const bool xMajor = adx >= ady;
    uint8_t* p = GetMemImgPixelAddress(dest, e.x1, e.y1);
    const intptr_t mainStep = xMajor ? stepX : stepY, sideStep = xMajor ? stepY : stepX;
    const int32_t count = xMajor ? adx : ady, increment = xMajor ? ady : adx;
    DispatchColorMode(rule.mode, [&]<int Mode>() {
        if (pixelByte == 4) {
            StepLine<Mode, 4>(rule, p, mainStep, sideStep, count, increment, count);
        } else {
            StepLine<Mode, 2>(rule, p, mainStep, sideStep, count, increment, count);
        }
    });
}

void DrawMemImgLineList(MEMIMG* dest, const MemImgLineRecord* records, int32_t count) {
    if (records == nullptr) return;
    for (int32_t i = 0; i < count; ++i) {
        const MemImgLineRecord& r = records[i];
        DrawMemImgLine(dest, r.x1, r.y1, r.x2, r.y2, static_cast<uint32_t>(r.color));
    }
}
