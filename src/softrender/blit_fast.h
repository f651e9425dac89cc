// Row loops of the unscaled blit for its common cases (not part of the
// interface). They give exactly the results of BlendImagePixel.
#pragma once

#include "softrender/pixel_rule.h"

namespace soft {

// The clipped rectangle of a blit: first source, blend-image and destination
// pixels, pitches and size.
struct BlitSpan {
    const uint8_t* source;
    intptr_t sourcePitch;
    const uint8_t* blend;  // null without blend image
    intptr_t blendPitch;
    uint8_t* dest;
    intptr_t destPitch;
    int32_t width;
    int32_t height;
};

// Draws the span when the rule is one of the common cases: a direct source
// without alpha, white brightness, no blend image, mode 0, 1, 2 or 3. False
// (nothing drawn) otherwise.
bool BlitFast(const PixelRule& rule, const BlitSpan& span);

// True when the source, blend image and destination of a draw may be drawn
// together: a blending destination (with alphaDestination, one with alpha
// too), the same colour types, a blend image at least as large as the source.
bool CheckImagePair(const MEMIMG* dest, const MEMIMG* source, const MEMIMG* blendImage, bool alphaDestination = false);

}  // namespace soft
