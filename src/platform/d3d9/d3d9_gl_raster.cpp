// Where Direct3D's screen positions land in GL's window space, and which
// pixels on an edge the driver's rasteriser takes.
//
// Direct3D puts pixel centres on whole coordinates and GL at +0.5, so a
// position moves by exactly half a pixel; row r of a surface is GL window
// row r (d3d9_gl.h). A centre exactly on an edge is then decided by the
// driver's own tie-break, which GL leaves to the implementation. Direct3D's
// is the top-left rule: taken on a top edge (horizontal, the triangle below
// it, so at the lower window y here) and on a left edge. Drivers draw into a
// texture with their rule in the texture's row order, which is Direct3D's
// here (Mesa's llvmpipe does); where one takes the other horizontal edge,
// glClipControl(GL_UPPER_LEFT) turns its rule over (the clip-space y is
// negated to keep every row where it was, and the front face flips with it).
// Which of the two holds is found once at start by drawing a square whose
// edges pass through pixel centres and reading which pixels it took.
//
// Where neither does (no clip control, or a driver that takes right edges),
// positions move by 1/256 pixel less than half on the wrong axis: one step of
// the rasteriser's sub-pixel grid, which decides horizontal and vertical
// edges as Direct3D does; a sloped edge through a centre then goes by that
// nudge, and attributes are sampled 1/256 pixel off the centre.
//
// GL clips a triangle at the viewport, and the vertices clipping makes land
// on the rasteriser's sub-pixel grid: the clipped edge moves by up to half a
// step, and a centre exactly on it can change sides. Direct3D decides each
// pixel of a triangle alike whether or not the triangle reaches past the
// target, so draws go through a guard band: a viewport far larger than the
// target (kGuardBandCap a side, or the most the driver allows), with the
// scissor keeping them to the target. The band is centred on the target, or
// moved to take in the whole of a draw that reaches further, so only a draw
// spreading wider than the band is clipped. Its size is a power of two and
// its corner a whole pixel, so positions on the sub-pixel grid go to NDC and
// back to window positions exactly.
#include "platform/d3d9/d3d9_gl_raster.h"

#include "platform/d3d9/d3d9_gl_api.h"
#include "platform/d3d9/d3d9_gl_state.h"

#include "platform/sdl/sdl_gl.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace d3d9::gl {

const char* const kScreenToNdc = "(aPos.xy + uPixelShift) * uToNdc.xy + uToNdc.zw";

namespace {

using namespace api;

RasterConvention g_raster;
void (*g_clipControl)(GLenum, GLenum) = nullptr;

constexpr int kProbeSide = 4;
constexpr float kNudge = 0.5f - 1.0f / 256.0f;
// Window positions then stay within 2^15, where a float still holds every
// 1/256 step of the sub-pixel grid.
constexpr int kGuardBandCap = 1 << 14;

// What the driver takes of a viewport: its largest size on each axis, and
// the lowest origin (4.1 and the viewport-array extension clamp the origin
// into a range; older contexts take any).
struct ViewportLimits {
    GLint maxSize[2] = {0, 0};
    GLint lowestOrigin = INT_MIN;
};
ViewportLimits g_viewport;

bool HasExtension(const char* name) {
    GLint count = 0;
    g.GetIntegerv(kNumExtensions, &count);
    for (GLint i = 0; i < count; ++i) {
        const unsigned char* e = g.GetStringi(kExtensions, static_cast<GLuint>(i));
        if (e != nullptr && std::strcmp(reinterpret_cast<const char*>(e), name) == 0) return true;
    }
    return false;
}

bool HasCore(int wantMajor, int wantMinor, const char* extension) {
    GLint major = 0, minor = 0;
    g.GetIntegerv(kMajorVersion, &major);
    g.GetIntegerv(kMinorVersion, &minor);
    return major > wantMajor || (major == wantMajor && minor >= wantMinor) || HasExtension(extension);
}

// glClipControl when the context has it (core from 4.5).
void LoadClipControl() {
    if (HasCore(4, 5, "GL_ARB_clip_control"))
        g_clipControl = reinterpret_cast<void (*)(GLenum, GLenum)>(platform::sdl::GLProcAddress("glClipControl"));
}

void LoadViewportLimits() {
    ViewportLimits limits;
    g.GetIntegerv(kMaxViewportDims, limits.maxSize);
    if (HasCore(4, 1, "GL_ARB_viewport_array")) {
        GLint range[2] = {INT_MIN, INT_MAX};
        g.GetIntegerv(kViewportBoundsRange, range);
        limits.lowestOrigin = range[0];
    }
    g_viewport = limits;
}

// Whole pixels at or below / at or above v, held to where an int reaches.
int FloorOf(double v) { return static_cast<int>(std::floor(std::clamp(v, -1e9, 1e9))); }
int CeilOf(double v) { return static_cast<int>(std::ceil(std::clamp(v, -1e9, 1e9))); }

// One axis of the guard band (origin, extent) for a target of size pixels
// and a draw whose window positions run from low to high: the largest power
// of two the driver takes, around the target, centred on its middle pixel or
// moved by whole pixels to take in the whole draw where the band can; the
// target alone where no band covers it.
std::pair<int, int> GuardAxis(int size, int maxSize, double low, double high) {
    int span = kGuardBandCap;
    while (span > maxSize && span > 1) span /= 2;
    const int least = std::max(size - span, g_viewport.lowestOrigin);
    if (span < size || span < 2 || least > 0) return {0, size};
    int origin = std::max(size / 2 - span / 2, least);
    const int coverFrom = CeilOf(high) + 1 - span, coverTo = FloorOf(low);
    if (low <= high && coverFrom <= coverTo) origin = std::clamp(std::clamp(origin, coverFrom, coverTo), least, 0);
    return {origin, span};
}

void Use(const RasterConvention& c) {
    if (g_clipControl != nullptr) g_clipControl(c.upperLeft ? kUpperLeft : kLowerLeft, kNegativeOneToOne);
    g_raster = c;
}

// Which rows and columns of the probe target the square (1,1)-(3,3) took.
struct Taken {
    bool topRows = false;   // rows 1 and 2 (Direct3D), not 2 and 3
    bool leftColumns = false;  // columns 1 and 2, not 2 and 3
};

Taken Classify(const uint32_t* px) {
    auto drawn = [px](int x, int y) { return px[y * kProbeSide + x] != 0; };
    Taken t;
    t.topRows = drawn(1, 1) && drawn(1, 2) && !drawn(1, 3) && !drawn(1, 0);
    t.leftColumns = drawn(1, 1) && drawn(2, 1) && !drawn(3, 1) && !drawn(0, 1);
    return t;
}

struct ProbeObjects {
    GLuint texture = 0, fbo = 0, vao = 0, vbo = 0, program = 0;
};

bool MakeProbe(ProbeObjects* p) {
    std::string vs = std::string("#version 330 core\nlayout(location = 0) in vec4 aPos;\n"
                                 "uniform vec2 uPixelShift;\nuniform vec4 uToNdc;\n"
                                 "void main() { gl_Position = vec4(") +
                     kScreenToNdc + ", 0.0, 1.0); }\n";
    std::string fs = "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";
    p->program = LinkProgram(vs, fs, nullptr);
    if (p->program == 0) return false;
    p->texture = NewColorTexture(kProbeSide, kProbeSide, 1, 0);
    if (p->texture == 0) return false;
    g.GenFramebuffers(1, &p->fbo);
    g.BindFramebuffer(kFramebuffer, p->fbo);
    g.FramebufferTexture2D(kFramebuffer, kColorAttachment0, kTexture2D, p->texture, 0);
    // Two triangles of the square (1,1)-(3,3), in Direct3D screen positions.
    static constexpr float kSquare[] = {1, 1, 3, 1, 1, 3, 1, 3, 3, 1, 3, 3};
    g.GenVertexArrays(1, &p->vao);
    g.BindVertexArray(p->vao);
    g.GenBuffers(1, &p->vbo);
    g.BindBuffer(kArrayBuffer, p->vbo);
    g.BufferData(kArrayBuffer, sizeof kSquare, kSquare, kStreamDraw);
    g.EnableVertexAttribArray(0);
    g.VertexAttribPointer(0, 2, kFloat, 0, 0, nullptr);
    return g.CheckFramebufferStatus(kFramebuffer) == kFramebufferComplete;
}

void FreeProbe(const ProbeObjects& p) {
    g.BindFramebuffer(kFramebuffer, 0);
    g.DeleteFramebuffers(1, &p.fbo);
    DeleteTexture(p.texture);
    g.BindVertexArray(0);
    g.DeleteVertexArrays(1, &p.vao);
    g.DeleteBuffers(1, &p.vbo);
    DeleteProgram(p.program);
}

Taken DrawProbe(const ProbeObjects& p, const RasterConvention& c) {
    Use(c);
    SetProgram(p.program);
    float toNdc[4];
    ScreenToNdc(GuardBand(kProbeSide, kProbeSide, Reach{}), toNdc);
    g.Uniform2f(g.GetUniformLocation(p.program, "uPixelShift"), c.shift[0], c.shift[1]);
    g.Uniform4f(g.GetUniformLocation(p.program, "uToNdc"), toNdc[0], toNdc[1], toNdc[2], toNdc[3]);
    g.ClearColor(0, 0, 0, 0);
    g.Clear(kColorBufferBit);
    g.DrawArrays(kTriangles, 0, 6);
    uint32_t px[kProbeSide * kProbeSide] = {};
    g.ReadPixels(0, 0, kProbeSide, kProbeSide, kBgra, kUnsignedByte, px);
    return Classify(px);
}

}  // namespace

const RasterConvention& Raster() { return g_raster; }

bool UseRaster(const RasterConvention& c) {
    if (!Started() || (c.upperLeft && g_clipControl == nullptr)) return false;
    Use(c);
    return true;
}

void Reprobe() {
    if (Started()) ProbeRaster();
}

Reach ReachOf(const void* vertices, size_t bytes, int stride) {
    Reach r;
    if (vertices == nullptr || stride < 8) return r;
    const auto* at = static_cast<const unsigned char*>(vertices);
    for (size_t offset = 0; offset + 8 <= bytes; offset += static_cast<size_t>(stride)) {
        float p[2];
        std::memcpy(p, at + offset, sizeof p);
        // A NaN coordinate compares false and is passed over.
        r.x0 = p[0] < r.x0 ? p[0] : r.x0;
        r.x1 = p[0] > r.x1 ? p[0] : r.x1;
        r.y0 = p[1] < r.y0 ? p[1] : r.y0;
        r.y1 = p[1] > r.y1 ? p[1] : r.y1;
    }
    return r;
}

Rect GuardBand(int targetWidth, int targetHeight, const Reach& reach) {
    const float* shift = g_raster.shift;
    auto [x, w] = GuardAxis(targetWidth, g_viewport.maxSize[0], reach.x0 + shift[0], reach.x1 + shift[0]);
    auto [y, h] = GuardAxis(targetHeight, g_viewport.maxSize[1], reach.y0 + shift[1], reach.y1 + shift[1]);
    return Rect{x, y, w, h};
}

// ndc = (window position - the band's middle) * 2 / its extent, on each axis.
void ScreenToNdc(const Rect& band, float out[4]) {
    const double flip = g_raster.upperLeft ? -1.0 : 1.0;
    out[0] = static_cast<float>(2.0 / band.w);
    out[1] = static_cast<float>(flip * 2.0 / band.h);
    out[2] = static_cast<float>(-(2.0 * band.x + band.w) / band.w);
    out[3] = static_cast<float>(-flip * (2.0 * band.y + band.h) / band.h);
}

void ProbeRaster() {
    LoadClipControl();
    LoadViewportLimits();
    SetViewport(GuardBand(kProbeSide, kProbeSide, Reach{}));
    SetScissorTest(false);
    ApplyColorMask(0xF, true);
    ProbeObjects p;
    if (!MakeProbe(&p)) {
        FreeProbe(p);
        Use(RasterConvention{});
        return;
    }
    // The exact conventions, in order of preference.
    RasterConvention candidates[2] = {RasterConvention{}, RasterConvention{}};
    candidates[1].upperLeft = true;
    Taken lowerLeft{};
    bool found = false;
    for (int i = 0; i < (g_clipControl != nullptr ? 2 : 1) && !found; ++i) {
        Taken t = DrawProbe(p, candidates[i]);
        if (i == 0) lowerLeft = t;
        found = t.topRows && t.leftColumns;
    }
    if (!found) {
        RasterConvention nudged;
        nudged.shift[0] = lowerLeft.leftColumns ? 0.5f : kNudge;
        nudged.shift[1] = lowerLeft.topRows ? 0.5f : kNudge;
        Use(nudged);
    }
    FreeProbe(p);
}

}  // namespace d3d9::gl
