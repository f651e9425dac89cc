#include "game/game_draw.h"

#include "game/library_calls.h"
#include "game/polling.h"
#include "game/resources.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

int DrawImageCell(int32_t x, int32_t y, int32_t sourceX, int32_t sourceY, int32_t width, int32_t height,
                  int32_t image, int32_t mirrored) {
    const GameLibraryCalls& calls = GameCalls();
    int32_t imageWidth = 0, imageHeight = 0;
    if (width <= 0 || height <= 0 || calls.getImageSize(image, &imageWidth, &imageHeight) != 0) return 0;
    // The source rectangle cut to the image, in 64 bits so that no sum overflows.
    const int64_t left = std::max<int64_t>(sourceX, 0);
    const int64_t top = std::max<int64_t>(sourceY, 0);
    const int64_t right = std::min<int64_t>(int64_t{sourceX} + width, imageWidth);
    const int64_t bottom = std::min<int64_t>(int64_t{sourceY} + height, imageHeight);
    if (left >= right || top >= bottom) return 0;
    // Mirrored, the source's right end lands at the destination's left end.
    const int64_t destinationX = mirrored ? x + (int64_t{sourceX} + width - right) : x + (left - sourceX);
    const int64_t destinationY = y + (top - sourceY);
    if (destinationX < INT32_MIN || destinationX > INT32_MAX || destinationY < INT32_MIN || destinationY > INT32_MAX)
        return 0;
    calls.drawImageRect(static_cast<int32_t>(destinationX), static_cast<int32_t>(destinationY),
                        static_cast<int32_t>(left), static_cast<int32_t>(top), static_cast<int32_t>(right - left),
                        static_cast<int32_t>(bottom - top), image, 1, mirrored != 0 ? 1 : 0);
    return 1;
}

void DrawMousePointer(int32_t frameCount) {
    const int32_t f = (frameCount / 4) % 3;
    DrawImageCell(g_mouse.x, g_mouse.y, 12 * std::abs(f) + 48, 0, 12, 12, ImageHandle(kImageCursor));
}
