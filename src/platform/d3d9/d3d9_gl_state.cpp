#include "platform/d3d9/d3d9_gl_state.h"

#include "platform/d3d9/d3d9_gl_api.h"

#include <array>

namespace d3d9::gl {
namespace {

using namespace api;

GLenum BlendFactor(DWORD d3d) {
    switch (d3d) {
        case D3DBLEND_ZERO: return kZero;
        case D3DBLEND_SRCCOLOR: return kSrcColor;
        case D3DBLEND_INVSRCCOLOR: return kOneMinusSrcColor;
        case D3DBLEND_SRCALPHA: return kSrcAlpha;
        case D3DBLEND_INVSRCALPHA: return kOneMinusSrcAlpha;
        case D3DBLEND_DESTALPHA: return kDstAlpha;
        case D3DBLEND_INVDESTALPHA: return kOneMinusDstAlpha;
        case D3DBLEND_DESTCOLOR: return kDstColor;
        case D3DBLEND_INVDESTCOLOR: return kOneMinusDstColor;
        case D3DBLEND_SRCALPHASAT: return kSrcAlphaSaturate;
        case D3DBLEND_BLENDFACTOR: return kConstantColor;
        case D3DBLEND_INVBLENDFACTOR: return kOneMinusConstantColor;
        default: return kOne;  // ONE, and values no driver knows
    }
}

GLenum BlendOp(DWORD d3d) {
    switch (d3d) {
        case D3DBLENDOP_SUBTRACT: return kFuncSubtract;
        case D3DBLENDOP_REVSUBTRACT: return kFuncReverseSubtract;
        case D3DBLENDOP_MIN: return kMin;
        case D3DBLENDOP_MAX: return kMax;
        default: return kFuncAdd;
    }
}

// D3DCMP_NEVER..ALWAYS (1..8) line up with GL_NEVER..GL_ALWAYS; others: ALWAYS.
GLenum Compare(DWORD d3d) { return d3d >= 1 && d3d <= 8 ? kNever + (d3d - 1) : kAlways; }

// The fixed parts of a pipeline as GL values.
struct FixedState {
    Rect viewport, clip;
    bool blend = false;
    std::array<GLenum, 4> blendFactors{};
    std::array<GLenum, 2> blendOps{};
    std::array<float, 4> blendColor{};
    bool depthTest = false, depthWrite = false;
    GLenum depthFunc = 0;
    GLenum cull = 0;  // 0: no culling
    GLenum polygon = 0;
    std::array<bool, 4> mask{};
    GLuint program = 0;
};

// Direct3D's "both" factors set the source factor and override the
// destination factor with its complement.
void PutBlendPair(DWORD src, DWORD dest, GLenum* out) {
    if (src == D3DBLEND_BOTHSRCALPHA || src == D3DBLEND_BOTHINVSRCALPHA) {
        bool inverse = src == D3DBLEND_BOTHINVSRCALPHA;
        out[0] = inverse ? kOneMinusSrcAlpha : kSrcAlpha;
        out[1] = inverse ? kSrcAlpha : kOneMinusSrcAlpha;
        return;
    }
    out[0] = BlendFactor(src);
    out[1] = BlendFactor(dest);
}

FixedState FixedOf(const PipelineSetup& s, const Rect& viewport) {
    FixedState f;
    f.viewport = viewport;
    f.clip = s.clip;
    f.blend = s.blend;
    PutBlendPair(s.srcBlend, s.destBlend, &f.blendFactors[0]);
    PutBlendPair(s.srcBlendAlpha, s.destBlendAlpha, &f.blendFactors[2]);
    f.blendOps = {BlendOp(s.blendOp), BlendOp(s.blendOpAlpha)};
    f.blendColor = {((s.blendFactor >> 16) & 255) / 255.0f, ((s.blendFactor >> 8) & 255) / 255.0f,
                    (s.blendFactor & 255) / 255.0f, ((s.blendFactor >> 24) & 255) / 255.0f};
    f.depthTest = s.depthTest && s.target.depth != 0;
    f.depthFunc = Compare(s.depthFunc);
    f.depthWrite = s.depthWrite;
    // Rows run top-down in GL's upward y, so a clockwise triangle on the
    // Direct3D screen is counter-clockwise (GL's front face) here, unless
    // the upper-left clip origin turns the front face over.
    GLenum clockwise = Raster().upperLeft ? kBack : kFront, counter = Raster().upperLeft ? kFront : kBack;
    f.cull = s.cull == D3DCULL_CW ? clockwise : s.cull == D3DCULL_CCW ? counter : 0;
    f.polygon = s.fill == D3DFILL_POINT ? kPoint : s.fill == D3DFILL_WIREFRAME ? kLine : kFill;
    f.mask = {(s.colorWrite & 4) != 0, (s.colorWrite & 2) != 0, (s.colorWrite & 1) != 0,
              s.target.colorHasAlpha && (s.colorWrite & 8) != 0};
    f.program = s.program;
    return f;
}

// One value the context holds; unknown until first sent.
template <typename T>
struct Held {
    T value{};
    bool known = false;
};

// Sends want unless GL is known to hold it already, and records it as held.
template <typename T, typename Send>
void Put(Held<T>& held, const T& want, Send send) {
    if (held.known && held.value == want) return;
    send(want);
    held.value = want;
    held.known = true;
}

// What the context holds of the fixed state. Every call of this file that
// changes one of these goes through the setters below, so a clear or a copy
// that changes GL's state keeps the record true and no later draw skips a
// value the context does not hold.
struct HeldState {
    Held<Rect> viewport, scissorBox;
    Held<bool> scissorTest, blend, depthTest, depthMask, cullTest;
    Held<std::array<GLenum, 4>> blendFactors;
    Held<std::array<GLenum, 2>> blendOps;
    Held<std::array<float, 4>> blendColor;
    Held<GLenum> depthFunc, cullFace, polygon;
    Held<std::array<bool, 4>> colorMask;
    Held<GLuint> program;
};
HeldState g_held;

void SetCapability(Held<bool>& held, GLenum cap, bool on) {
    Put(held, on, [cap](bool v) { v ? g.Enable(cap) : g.Disable(cap); });
}

void SetColorMask(const std::array<bool, 4>& mask) {
    Put(g_held.colorMask, mask, [](const std::array<bool, 4>& m) { g.ColorMask(m[0], m[1], m[2], m[3]); });
}

}  // namespace

void SetViewport(const Rect& r) { Put(g_held.viewport, r, [](const Rect& v) { g.Viewport(v.x, v.y, v.w, v.h); }); }

void SetScissor(const Rect& r) {
    SetCapability(g_held.scissorTest, kScissorTest, true);
    Rect box{r.x, r.y, r.w < 0 ? 0 : r.w, r.h < 0 ? 0 : r.h};
    Put(g_held.scissorBox, box, [](const Rect& v) { g.Scissor(v.x, v.y, v.w, v.h); });
}

void SetScissorTest(bool on) { SetCapability(g_held.scissorTest, kScissorTest, on); }

void ApplyColorMask(DWORD colorWrite, bool alphaAllowed) {
    SetColorMask({(colorWrite & 4) != 0, (colorWrite & 2) != 0, (colorWrite & 1) != 0,
                  alphaAllowed && (colorWrite & 8) != 0});
}

void SetDepthMask(bool on) { Put(g_held.depthMask, on, [](bool v) { g.DepthMask(v ? 1 : 0); }); }

void SetProgram(uint32_t program) { Put(g_held.program, program, [](GLuint p) { g.UseProgram(p); }); }

void ForgetProgram(uint32_t program) {
    if (g_held.program.value == program) g_held.program.known = false;
}

// Factors, equations and depth values are sent only while they take part in
// the draw; what the context keeps meanwhile stays on record.
void ApplyFixed(const PipelineSetup& setup, const Rect& viewport) {
    const FixedState f = FixedOf(setup, viewport);
    SetViewport(f.viewport);
    SetScissor(f.clip);
    SetCapability(g_held.blend, kBlend, f.blend);
    if (f.blend) {
        Put(g_held.blendFactors, f.blendFactors,
            [](const std::array<GLenum, 4>& b) { g.BlendFuncSeparate(b[0], b[1], b[2], b[3]); });
        Put(g_held.blendOps, f.blendOps, [](const std::array<GLenum, 2>& b) { g.BlendEquationSeparate(b[0], b[1]); });
        Put(g_held.blendColor, f.blendColor,
            [](const std::array<float, 4>& c) { g.BlendColor(c[0], c[1], c[2], c[3]); });
    }
    SetCapability(g_held.depthTest, kDepthTest, f.depthTest);
    if (f.depthTest) {
        Put(g_held.depthFunc, f.depthFunc, [](GLenum v) { g.DepthFunc(v); });
        SetDepthMask(f.depthWrite);
    }
    SetCapability(g_held.cullTest, kCullFace, f.cull != 0);
    if (f.cull != 0) Put(g_held.cullFace, f.cull, [](GLenum v) { g.CullFace(v); });
    Put(g_held.polygon, f.polygon, [](GLenum v) { g.PolygonMode(kFrontAndBack, v); });
    SetColorMask(f.mask);
    SetProgram(f.program);
}

ContextState QueryContextState() {
    ContextState c;
    if (!Started()) return c;
    auto get = [](GLenum name) {
        GLint v[4] = {};
        g.GetIntegerv(name, v);
        return v[0];
    };
    c.blend = get(kBlend) != 0;
    c.blendSrcRgb = get(kBlendSrcRgb);
    c.blendDstRgb = get(kBlendDstRgb);
    c.blendSrcAlpha = get(kBlendSrcAlpha);
    c.blendDstAlpha = get(kBlendDstAlpha);
    c.depthTest = get(kDepthTest) != 0;
    c.depthWriteMask = get(kDepthWriteMask) != 0;
    c.depthFunc = get(kDepthFuncQuery);
    c.scissorTest = get(kScissorTest) != 0;
    GLint mask[4] = {};
    g.GetIntegerv(kColorWriteMask, mask);
    for (int i = 0; i < 4; ++i) c.colorMask[i] = mask[i] != 0;
    return c;
}

}  // namespace d3d9::gl
