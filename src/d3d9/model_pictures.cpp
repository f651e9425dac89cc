// The pictures of one model texture: its colour and alpha sources decoded,
// a height map turned into a normal map, and both brought to power-of-two
// sizes the device takes.
#include "core/utility.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/model_internal.h"
#include "image/image_decode.h"

#include <cstring>

namespace {

constexpr float kMinimumBumpHeight = 0.000001f;

// Size 0: the source is a file name; size > 0: a file image in memory.
int LoadSource(const void* source, int32_t size, PixelImage* out) {
    if (size < 0) return -1;
    if (size == 0) return LoadPixelImage(static_cast<const char*>(source), nullptr, 0, out) == 0 ? 0 : -1;
    return LoadPixelImage(nullptr, source, static_cast<size_t>(size), out) == 0 ? 0 : -1;
}

int MakeWhitePicture(int32_t width, int32_t height, PixelImage* out) {
    if (CreateXRGB8PixelImage(width, height, out) != 0) return -1;
    for (int32_t y = 0; y < height; ++y)
        std::memset(static_cast<uint8_t*>(out->pixels) + static_cast<ptrdiff_t>(y) * out->pitch, 0xFF,
                    static_cast<size_t>(width) * 4);
    return 0;
}

int32_t RedAt(const PixelImage* picture, int32_t x, int32_t y) {
    int red = 0;
    GetPixelImagePixel(picture, x, y, &red, nullptr, nullptr, nullptr);
    return red;
}

uint8_t NormalComponent(float value) { return static_cast<uint8_t>(FloatToInt((value + 1.0f) * 127.5f)); }

// The normal of each pixel from the red height of it, its right and its
// lower neighbour (wrapping at the edges), as X8R8G8B8 with alpha 0.
int MakeNormalMap(const PixelImage* heights, float bumpHeight, PixelImage* out) {
    if (CreateXRGB8PixelImage(heights->width, heights->height, out) != 0) return -1;
    const float height = bumpHeight < kMinimumBumpHeight ? kMinimumBumpHeight : bumpHeight;
    for (int32_t y = 0; y < heights->height; ++y) {
        auto* row = static_cast<uint8_t*>(out->pixels) + static_cast<ptrdiff_t>(y) * out->pitch;
        for (int32_t x = 0; x < heights->width; ++x) {
            const int32_t h = RedAt(heights, x, y);
            const float dx = static_cast<float>(RedAt(heights, (x + 1) % heights->width, y) - h) / 255.0f;
            const float dy = static_cast<float>(RedAt(heights, x, (y + 1) % heights->height) - h) / 255.0f;
            Vector3 n{};
            MakeNormalizedVector(-dx * height, -dy * height, height * height, &n);
            const uint8_t pixel[4] = {NormalComponent(n.z), NormalComponent(n.y), NormalComponent(n.x), 0};
            std::memcpy(row + x * 4, pixel, 4);
        }
    }
    return 0;
}

// The next power of two of a size that is not one, cut to half the device's
// limit (a size already a power of two is kept).
int32_t TextureSize(int32_t size, uint32_t deviceLimit) {
    if ((size & (size - 1)) == 0) return size;
    int32_t raised = 1;
    while (raised < size) raised <<= 1;
    const int32_t half = static_cast<int32_t>(deviceLimit / 2);
    return half >= 1 && raised > half ? half : raised;
}

// Stretches the picture to its texture size and turns it when asked.
int FitPicture(PixelImage* picture, int32_t turn) {
    const D3DCAPS9& caps = Device().caps;
    const int32_t width = TextureSize(picture->width, caps.MaxTextureWidth);
    const int32_t height = TextureSize(picture->height, caps.MaxTextureHeight);
    if (width != picture->width || height != picture->height) {
        PixelImage fitted{};
        if (CreatePixelImage(width, height, picture, &fitted) != 0) return -1;
        const RECT from{0, 0, picture->width, picture->height};
        const RECT to{0, 0, width, height};
        if (StretchCopyPixelImage(picture, &from, &fitted, &to, kStretchCopyAlpha) != 0) {
            ReleasePixelImage(&fitted);
            return -1;
        }
        ReleasePixelImage(picture);
        *picture = fitted;
    }
    return turn && TurnPixelImage(picture) != 0 ? -1 : 0;
}

int Fail(PixelImage* color, PixelImage* alpha) {
    ReleasePixelImage(color);
    ReleasePixelImage(alpha);
    return -1;
}

}  // namespace

int32_t LoadModelTexturePictures(PixelImage* color, PixelImage* alpha, const void* colorSource, int32_t colorSize,
                                 const void* alphaSource, int32_t alphaSize, int32_t normalMap, float bumpHeight,
                                 int32_t turn) {
    if (color == nullptr || alpha == nullptr) return -1;
    *color = PixelImage{};
    *alpha = PixelImage{};
    if (colorSource == nullptr && alphaSource == nullptr) return -1;
    if (colorSource != nullptr && LoadSource(colorSource, colorSize, color) != 0) return Fail(color, alpha);
    if (alphaSource != nullptr && LoadSource(alphaSource, alphaSize, alpha) != 0) return Fail(color, alpha);
    // The alpha picture takes its texture size first, so that a white colour
    // picture made for it has that size (and both fit one image).
    if (alphaSource != nullptr && FitPicture(alpha, turn) != 0) return Fail(color, alpha);
    if (colorSource == nullptr && MakeWhitePicture(alpha->width, alpha->height, color) != 0) return Fail(color, alpha);
    if (normalMap) {
        PixelImage normals{};
        const int made = MakeNormalMap(color, bumpHeight, &normals);
        ReleasePixelImage(color);
        if (made != 0) return Fail(color, alpha);
        *color = normals;
    }
    if (colorSource != nullptr && FitPicture(color, turn) != 0) return Fail(color, alpha);
    return 0;
}
