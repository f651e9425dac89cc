// The triangle rasterizer: 14.18 fixed-point edges walked row by row, with
// textured spans (the image-source pixel rule) or one-colour spans.
#include "softrender/blit_fast.h"
#include "softrender/color_kernels.h"
#include "softrender/pixel_rule.h"
#include "softrender/soft_draw.h"

#include <algorithm>
#include <utility>

namespace soft {
namespace {

constexpr int32_t kFixOne = 1 << 18;
constexpr int32_t kFixHalf = 1 << 17;
constexpr int32_t kCoordinateLimit = 8192;  // coordinates and their differences lie in -8192 .. 8191

int32_t Trunc(int32_t fixed) { return fixed / kFixOne; }

struct Segment {
    int32_t x, step, rows;
};

struct Edge {
    int32_t x, step, rows;
    Segment second;
    bool hasSecond;
};

Edge MakeEdge(int32_t xStart, int32_t xEnd, int32_t yStart, int32_t yEnd) {
    int32_t rows = Trunc(yEnd - yStart);
    return Edge{xStart, rows != 0 ? (xEnd - xStart) / rows : 0, rows, Segment{0, 0, 0}, false};
}

// Everything the walk and the spans need, set up once per call.
struct Triangle {
    Edge left, right;
    int32_t startRow;
    int32_t middleRow;            // trunc(Y) of the middle vertex
    int32_t anchorX, anchorY;     // whole-pixel position of the anchor vertex
    uint32_t anchorU, anchorV;    // its 14.18 texture coordinates
    int32_t dudx, dudy, dvdx, dvdy;
    Box area;
};

// Sets up edges and gradients; false for a triangle without area.
bool SetUpTriangle(const TriangleVertex* v, Triangle* t) {
    int32_t X[3], Y[3], U[3], V[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = v[i].x * kFixOne + kFixHalf;
        Y[i] = v[i].y * kFixOne + kFixHalf;
        U[i] = v[i].u * kFixOne;
        V[i] = v[i].v * kFixOne;
    }
    int xo[3] = {0, 1, 2}, yo[3] = {0, 1, 2};
    const int pairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (const auto& pr : pairs) {
        if (X[xo[pr[0]]] > X[xo[pr[1]]]) std::swap(xo[pr[0]], xo[pr[1]]);
        if (Y[yo[pr[0]]] > Y[yo[pr[1]]]) std::swap(yo[pr[0]], yo[pr[1]]);
    }

    const int a = xo[0], b = xo[1], c = xo[2];
    const int32_t dx1 = v[b].x - v[a].x, dy1 = v[b].y - v[a].y, du1 = v[b].u - v[a].u, dv1 = v[b].v - v[a].v;
    const int32_t dx2 = v[c].x - v[a].x, dy2 = v[c].y - v[a].y, du2 = v[c].u - v[a].u, dv2 = v[c].v - v[a].v;
    const int32_t det = dy1 * dx2 - dy2 * dx1;
    if (det == 0) return false;
    auto gradient = [det](int32_t numerator) { return DoubleToInt(static_cast<double>(numerator) * 262144.0 / det); };
    t->dudx = gradient(dy1 * du2 - dy2 * du1);
    t->dudy = gradient(du1 * dx2 - dx1 * du2);
    t->dvdx = gradient(dy1 * dv2 - dy2 * dv1);
    t->dvdy = gradient(dv1 * dx2 - dv2 * dx1);
    t->anchorX = Trunc(X[a]);
    t->anchorY = Trunc(Y[a]);
    t->anchorU = static_cast<uint32_t>(U[a]);
    t->anchorV = static_cast<uint32_t>(V[a]);

    const int T = yo[0], M = yo[1], B = yo[2];
    t->middleRow = Trunc(Y[M]);
    if (Y[T] == Y[M]) {
        const int l = X[T] > X[M] ? M : T, r = X[T] > X[M] ? T : M;
        t->left = MakeEdge(X[l], X[B], Y[l], Y[B]);
        t->right = MakeEdge(X[r], X[B], Y[r], Y[B]);
        t->startRow = Trunc(Y[l]);
    } else if (Y[M] == Y[B]) {
        const int l = X[M] > X[B] ? B : M, r = X[M] > X[B] ? M : B;
        t->left = MakeEdge(X[T], X[l], Y[T], Y[l]);
        t->right = MakeEdge(X[T], X[r], Y[T], Y[r]);
        t->startRow = Trunc(Y[T]);
    } else {
        const double s1 = (static_cast<double>(X[M]) - X[T]) / ((static_cast<double>(Y[M]) - Y[T]) / 262144.0);
        const double s2 = (static_cast<double>(X[B]) - X[T]) / ((static_cast<double>(Y[B]) - Y[T]) / 262144.0);
        Edge upper = MakeEdge(X[T], X[M], Y[T], Y[M]);
        Edge whole = MakeEdge(X[T], X[B], Y[T], Y[B]);
        if (s1 < s2) {
            Edge lower = MakeEdge(X[M], X[B], Y[M], Y[B]);
            upper.second = Segment{lower.x, lower.step, lower.rows};
            upper.hasSecond = true;
            t->left = upper;
            t->right = whole;
        } else {
            Edge lower = MakeEdge(X[M] + 1, X[B], Y[M], Y[B]);
            upper.second = Segment{lower.x, lower.step, lower.rows};
            upper.hasSecond = true;
            t->left = whole;
            t->right = upper;
        }
        t->startRow = Trunc(Y[T]);
    }
    return true;
}

// Walks the rows, handing each visible span to span(destRow, left, count, u, v).
template <typename SpanFn>
void WalkTriangle(Triangle t, SpanFn&& span) {
    int32_t row = t.startRow;
    for (;;) {
        int32_t left = Trunc(t.left.x), right = Trunc(t.right.x);
        int32_t count = right - left;
        if (left < t.area.left) {
            count -= t.area.left - left;
            left = t.area.left;
        }
        const uint32_t u = t.anchorU + static_cast<uint32_t>(left - t.anchorX) * static_cast<uint32_t>(t.dudx) +
                           static_cast<uint32_t>(row - t.anchorY) * static_cast<uint32_t>(t.dudy);
        const uint32_t v = t.anchorV + static_cast<uint32_t>(left - t.anchorX) * static_cast<uint32_t>(t.dvdx) +
                           static_cast<uint32_t>(row - t.anchorY) * static_cast<uint32_t>(t.dvdy);
        count += 1;
        if (row >= t.area.top && row < t.area.bottom && left < t.area.right && count > 0) {
            span(row, left, std::min(count, t.area.right - left), u, v);
        }
        t.left.x += t.left.step;
        t.right.x += t.right.step;
        ++row;
        --t.left.rows;
        --t.right.rows;
        if (t.left.rows <= 0) {
            if (!t.left.hasSecond) return;
            t.left = Edge{t.left.second.x, t.left.second.step, t.left.second.rows, Segment{0, 0, 0}, false};
            row = t.middleRow;
        }
        if (t.right.rows <= 0) {
            if (!t.right.hasSecond) return;
            t.right = Edge{t.right.second.x, t.right.second.step, t.right.second.rows, Segment{0, 0, 0}, false};
        }
    }
}

struct Texture {
    const uint8_t* pixels;
    intptr_t pitch;
    const uint8_t* blend;
    intptr_t blendPitch;
    uint64_t width, height;  // 14.18
};

template <int Kind, int Mode>
void TexturedSpan(const PixelRule& r, const Texture& tex, uint8_t* d, int32_t count, uint32_t u, uint32_t v,
                  uint32_t dudx, uint32_t dvdx) {
    constexpr intptr_t kSrc = kSourceBytes<Kind>, kDst = kDestBytes<Kind>;
    for (int32_t i = 0; i < count; ++i, d += kDst, u += dudx, v += dvdx) {
        if (u >= tex.width || v >= tex.height) continue;
        const intptr_t tu = u >> 18, tv = v >> 18;
        const uint8_t* blend = r.blend ? tex.blend + tv * tex.blendPitch + tu : nullptr;
        BlendImagePixel<Kind, Mode>(r, tex.pixels + tv * tex.pitch + tu * kSrc, blend, d);
    }
}

bool InCoordinateRange(int32_t value) { return value >= -kCoordinateLimit && value < kCoordinateLimit; }

bool CheckVertices(const TriangleVertex* v) {
    for (int i = 0; i < 3; ++i) {
        if (!InCoordinateRange(v[i].x) || !InCoordinateRange(v[i].y) || !InCoordinateRange(v[i].u) ||
            !InCoordinateRange(v[i].v)) {
            return false;
        }
        const TriangleVertex& w = v[(i + 1) % 3];
        if (!InCoordinateRange(w.x - v[i].x) || !InCoordinateRange(w.y - v[i].y)) return false;
    }
    return true;
}

}  // namespace
}  // namespace soft

using namespace soft;

int DrawMemImgTriangle(MEMIMG* dest, const MEMIMG* source, const TriangleVertex* vertices, int32_t transFlag,
                       const MEMIMG* blendImage, uint32_t color) {
    if (vertices == nullptr || !IsBlendDestination(dest)) return -1;
    if (source != nullptr && !CheckImagePair(dest, source, blendImage)) return -1;
    if (!CheckVertices(vertices)) return -1;
    Triangle t;
    if (!SetUpTriangle(vertices, &t)) return 0;
    t.area = DrawAreaIn(dest);
    EnsureTables();
    const intptr_t destPitch = dest->base->pitch;
    const int32_t colorType = dest->base->colorType;
    const int32_t destBytes = colorType == kMemImgX8R8G8B8 ? 4 : 2;

    if (source == nullptr) {
        if (colorType == kMemImgR5G6B5) color &= 0xFFFF;
        ColorRule rule;
        if (!SetUpColorRule(&rule, colorType, ScaleBrightness(colorType, color))) return -1;
        DispatchColorMode(rule.mode, [&]<int Mode>() {
            WalkTriangle(t, [&](int32_t row, int32_t left, int32_t count, uint32_t, uint32_t) {
                uint8_t* d = dest->pixels + row * destPitch + static_cast<intptr_t>(left) * destBytes;
                for (int32_t i = 0; i < count; ++i, d += destBytes) {
                    if (destBytes == 4) {
                        ColorPixel32<Mode>(rule, d);
                    } else {
                        ColorPixel16<Mode>(rule, d);
                    }
                }
            });
        });
        return 0;
    }

    PixelRule rule;
    if (!SetUpPixelRule(&rule, source->base, transFlag, blendImage != nullptr)) return -1;
    Texture tex{source->pixels, source->base->pitch, blendImage ? blendImage->pixels : nullptr,
                blendImage ? blendImage->base->pitch : 0, static_cast<uint64_t>(source->width) << 18,
                static_cast<uint64_t>(source->height) << 18};
    DispatchImageRule(rule, [&]<int Kind, int Mode>() {
        WalkTriangle(t, [&](int32_t row, int32_t left, int32_t count, uint32_t u, uint32_t v) {
            uint8_t* d = dest->pixels + row * destPitch + static_cast<intptr_t>(left) * destBytes;
            TexturedSpan<Kind, Mode>(rule, tex, d, count, u, v, static_cast<uint32_t>(t.dudx),
                                     static_cast<uint32_t>(t.dvdx));
        });
    });
    return 0;
}
