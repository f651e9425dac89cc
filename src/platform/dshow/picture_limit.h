// The largest video picture a movie may have, whichever road plays it: 4K
// UHD either way up, its sides rounded up to whole 16-pixel blocks (3840 x
// 2176 or 2176 x 3840). Every road checks a stream's stated size against it
// before it makes a frame buffer, so that a small file claiming an enormous
// picture costs nothing. Kept free of other headers: FFmpeg's side reads it.
#pragma once

#include <algorithm>
#include <cstdint>

namespace dshow {

constexpr int64_t kMaxPictureLongSide = 3840;
constexpr int64_t kMaxPictureShortSide = 2176;
constexpr int64_t kMaxPicturePixels = kMaxPictureLongSide * kMaxPictureShortSide;

constexpr bool IsPictureSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && std::max(width, height) <= kMaxPictureLongSide &&
           std::min(width, height) <= kMaxPictureShortSide;
}

// The stated size of the picture past the limit that the calling thread's
// last IGraphBuilder::RenderFile met in the file (and so refused it), for the
// caller's message: false when that call refused none.
bool RefusedPictureSize(int64_t* width, int64_t* height);

}  // namespace dshow
