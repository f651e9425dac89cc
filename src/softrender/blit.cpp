// The unscaled blit of a whole source image.
#include "softrender/blit_fast.h"
#include "softrender/pixel_rule.h"
#include "softrender/soft_draw.h"

namespace soft {

bool CheckImagePair(const MEMIMG* dest, const MEMIMG* source, const MEMIMG* blendImage, bool alphaDestination) {
    const bool destinationOk = alphaDestination ? IsScaledBlendDestination(dest) : IsBlendDestination(dest);
    if (!destinationOk || !IsMemImgValid(source)) return false;
    if (source->base->colorType != dest->base->colorType) return false;
    if (blendImage != nullptr &&
        (!IsMemImgValid(blendImage) || blendImage->width < source->width || blendImage->height < source->height)) {
        return false;
    }
    return true;
}

namespace {

template <int Kind, int Mode>
void BlitRows(const PixelRule& r, const BlitSpan& span) {
    constexpr intptr_t kSrc = kSourceBytes<Kind>, kDst = kDestBytes<Kind>;
    for (int32_t y = 0; y < span.height; ++y) {
        const uint8_t* s = span.source + y * span.sourcePitch;
        const uint8_t* b = r.blend ? span.blend + y * span.blendPitch : nullptr;
        uint8_t* d = span.dest + y * span.destPitch;
        if (r.blend) {
            for (int32_t x = 0; x < span.width; ++x) BlendImagePixel<Kind, Mode>(r, s + x * kSrc, b + x, d + x * kDst);
        } else {
            for (int32_t x = 0; x < span.width; ++x) BlendImagePixel<Kind, Mode>(r, s + x * kSrc, nullptr, d + x * kDst);
        }
    }
}

}  // namespace
}  // namespace soft

using namespace soft;

int BlitMemImg(MEMIMG* dest, const MEMIMG* source, int32_t x, int32_t y, int32_t transFlag,
               const MEMIMG* blendImage) {
    if (!CheckImagePair(dest, source, blendImage)) return -1;
    EnsureTables();
    PixelRule rule;
    if (!SetUpPixelRule(&rule, source->base, transFlag, blendImage != nullptr)) return -1;

    const int64_t right = static_cast<int64_t>(x) + source->width;
    const int64_t bottom = static_cast<int64_t>(y) + source->height;
    Box whole{x, y, static_cast<int32_t>(right > INT32_MAX ? INT32_MAX : right),
              static_cast<int32_t>(bottom > INT32_MAX ? INT32_MAX : bottom)};
    Box box = ClipBox(whole, DrawAreaIn(dest));
    if (box.Width() <= 0 || box.Height() <= 0) return 0;

    const intptr_t offsetX = static_cast<intptr_t>(box.left) - x, offsetY = static_cast<intptr_t>(box.top) - y;
    BlitSpan span;
    span.width = box.Width();
    span.height = box.Height();
    span.source = GetMemImgPixelAddress(source, static_cast<int32_t>(offsetX), static_cast<int32_t>(offsetY));
    span.sourcePitch = source->base->pitch;
    span.dest = GetMemImgPixelAddress(dest, box.left, box.top);
    span.destPitch = dest->base->pitch;
    span.blend = nullptr;
    span.blendPitch = 0;
    if (blendImage != nullptr) {
        span.blend = blendImage->pixels + offsetY * blendImage->base->pitch + offsetX;
        span.blendPitch = blendImage->base->pitch;
    }
    if (BlitFast(rule, span)) return 0;
    DispatchImageRule(rule, [&]<int Kind, int Mode>() { BlitRows<Kind, Mode>(rule, span); });
    return 0;
}
