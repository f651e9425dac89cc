// Letterboxing: where a client picture lands, scaled with its aspect kept, in
// a window output of another size, and the way back from an output position
// to client coordinates (mouse positions).
#include "platform/sdl/sdl_video.h"

#include <algorithm>

namespace platform::sdl {

Letterbox ComputeLetterbox(int outW, int outH, int clientW, int clientH) {
    if (outW <= 0 || outH <= 0 || clientW <= 0 || clientH <= 0)
        return Letterbox{0, 0, std::max(outW, 0), std::max(outH, 0)};
    int64_t w, h;
    if (static_cast<int64_t>(outW) * clientH <= static_cast<int64_t>(outH) * clientW) {
        w = outW;
        h = static_cast<int64_t>(outW) * clientH / clientW;
    } else {
        h = outH;
        w = static_cast<int64_t>(outH) * clientW / clientH;
    }
    w = std::max<int64_t>(w, 1);
    h = std::max<int64_t>(h, 1);
    return Letterbox{static_cast<int>((outW - w) / 2), static_cast<int>((outH - h) / 2), static_cast<int>(w),
                     static_cast<int>(h)};
}

static int FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return static_cast<int>(q);
}

void MapOutputToClient(const Letterbox& box, int clientW, int clientH, int x, int y, bool clamp, int* cx,
                       int* cy) {
    if (box.width <= 0 || box.height <= 0 || clientW <= 0 || clientH <= 0) {
        *cx = x;
        *cy = y;
        return;
    }
    *cx = FloorDiv(static_cast<int64_t>(x - box.x) * clientW, box.width);
    *cy = FloorDiv(static_cast<int64_t>(y - box.y) * clientH, box.height);
    if (clamp) {
        *cx = std::clamp(*cx, 0, clientW - 1);
        *cy = std::clamp(*cy, 0, clientH - 1);
    }
}

}  // namespace platform::sdl
