// The stretched and mirrored blit: nearest-pixel sampling stepped in 16.16
// fixed point, blended by the image-source pixel rule.
#include "softrender/blit_fast.h"
#include "softrender/pixel_rule.h"
#include "softrender/soft_draw.h"

namespace soft {
namespace {

// Working values of one call. Counters and scales are 64-bit, so that sizes
// whose 16.16 values do not fit 32 bits step as the small ones do.
struct StretchSetup {
    const MemImgBase* source;
    const uint8_t* sourcePixels;  // the source view's top-left pixel
    const uint8_t* blendPixels;   // the blend image's top-left pixel, or null
    intptr_t blendPitch;
    uint8_t* dest;                // first drawn destination pixel
    intptr_t destPitch;
    intptr_t destBytes;           // the destination's own bytes per pixel
    int32_t width, height;        // drawn size
    int64_t scaleX, scaleY;       // destination pixels per source pixel, 16.16
    int64_t counterX, counterY;   // start values of the step counters
    int32_t column, row;          // first source column and row
    int32_t stepX, stepY;         // +1, or -1 when mirrored
    int64_t stop;                 // advance while the counter is below this
};

template <int Kind, int Mode>
void StretchRows(const PixelRule& r, const StretchSetup& s) {
    constexpr intptr_t kSrc = kSourceBytes<Kind>;
    const intptr_t sourcePitch = s.source->pitch;
    int64_t counterY = s.counterY;
    int32_t row = s.row;
    for (int32_t y = 0; y < s.height; ++y) {
        const uint8_t* sourceRow = s.sourcePixels + row * sourcePitch;
        const uint8_t* blendRow = r.blend ? s.blendPixels + row * s.blendPitch : nullptr;
        uint8_t* d = s.dest + y * s.destPitch;
        int64_t counter = s.counterX;
        int32_t column = s.column;
        for (int32_t x = 0; x < s.width; ++x, d += s.destBytes) {
            BlendImagePixel<Kind, Mode>(r, sourceRow + column * kSrc, r.blend ? blendRow + column : nullptr, d);
            counter -= 0x10000;
            if (counter > 0) continue;
            do {
                column += s.stepX;
                counter += s.scaleX;
            } while (counter < s.stop);
        }
        counterY -= 0x10000;
        if (counterY > 0) continue;
        do {
            row += s.stepY;
            counterY += s.scaleY;
        } while (counterY < s.stop);
    }
}

}  // namespace
}  // namespace soft

using namespace soft;

int BlitMemImgStretch(MEMIMG* dest, const MEMIMG* source, const int32_t* corners, int32_t transFlag,
                      const MEMIMG* blendImage) {
    if (corners == nullptr) return -1;
    const int32_t x1 = corners[0], y1 = corners[1], x2 = corners[2], y2 = corners[3];
    const int32_t left = x1 > x2 ? x2 : x1, right = x1 > x2 ? x1 : x2;
    const int32_t top = y1 > y2 ? y2 : y1, bottom = y1 > y2 ? y1 : y2;
    const int32_t stepX = x1 > x2 ? -1 : 1, stepY = y1 > y2 ? -1 : 1;
    const int64_t w = static_cast<int64_t>(right) - left, h = static_cast<int64_t>(bottom) - top;
    if (w == 0 || h == 0) return 0;
    if (!CheckImagePair(dest, source, blendImage, true)) return -1;
    if (w == source->width && h == source->height && stepX > 0 && stepY > 0) {
        return BlitMemImg(dest, source, left, top, transFlag, blendImage);
    }
    if (source->width <= 0 || source->height <= 0) return -1;
    StretchSetup s;
    s.scaleX = (w << 16) / source->width;
    s.scaleY = (h << 16) / source->height;
    // A source more than 65536 times larger than the destination: the step
    // would never move on.
    if (s.scaleX == 0 || s.scaleY == 0) return -1;

    EnsureTables();
    PixelRule rule;
    if (!SetUpPixelRule(&rule, source->base, transFlag, blendImage != nullptr)) return -1;

    Box box = ClipBox(Box{left, top, right, bottom}, DrawAreaIn(dest));
    s.width = box.Width();
    s.height = box.Height();
    if (s.width <= 0 || s.height <= 0) return 0;
    const int64_t offsetX = (static_cast<int64_t>(box.left) - left) << 16;
    const int64_t offsetY = (static_cast<int64_t>(box.top) - top) << 16;
    const int64_t qx = offsetX / s.scaleX, qy = offsetY / s.scaleY;
    s.counterX = s.scaleX - offsetX % s.scaleX;
    s.counterY = s.scaleY - offsetY % s.scaleY;
    s.column = static_cast<int32_t>(stepX > 0 ? qx : source->width - qx - 1);
    s.row = static_cast<int32_t>(stepY > 0 ? qy : source->height - qy - 1);
    s.stepX = stepX;
    s.stepY = stepY;
    s.stop = (rule.plainCopy || rule.fullSubtract) ? 0 : 1;
    s.source = source->base;
    s.sourcePixels = source->pixels;
    s.blendPixels = blendImage ? blendImage->pixels : nullptr;
    s.blendPitch = blendImage ? blendImage->base->pitch : 0;
    s.dest = GetMemImgPixelAddress(dest, box.left, box.top);
    s.destPitch = dest->base->pitch;
    s.destBytes = GetMemImgPixelByte(dest);
    DispatchImageRule(rule, [&]<int Kind, int Mode>() { StretchRows<Kind, Mode>(rule, s); });
    return 0;
}
