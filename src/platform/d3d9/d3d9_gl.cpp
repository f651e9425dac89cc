#include "platform/d3d9/d3d9_gl.h"

#include "platform/sdl/sdl_gl.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace d3d9::gl {
namespace {

// ---- the GL names and entries used here --------------------------------------
using GLenum = unsigned int;
using GLuint = unsigned int;
using GLint = int;
using GLsizei = int;
using GLboolean = unsigned char;
using GLbitfield = unsigned int;
using GLfloat = float;
using GLdouble = double;
using GLchar = char;
using GLsizeiptr = ptrdiff_t;

constexpr GLenum kZero = 0, kOne = 1;
constexpr GLenum kSrcColor = 0x0300, kOneMinusSrcColor = 0x0301, kSrcAlpha = 0x0302, kOneMinusSrcAlpha = 0x0303;
constexpr GLenum kDstAlpha = 0x0304, kOneMinusDstAlpha = 0x0305, kDstColor = 0x0306, kOneMinusDstColor = 0x0307;
constexpr GLenum kSrcAlphaSaturate = 0x0308, kConstantColor = 0x8001, kOneMinusConstantColor = 0x8002;
constexpr GLenum kFuncAdd = 0x8006, kFuncSubtract = 0x800A, kFuncReverseSubtract = 0x800B, kMin = 0x8007,
                 kMax = 0x8008;
constexpr GLenum kNever = 0x0200, kAlways = 0x0207;
constexpr GLenum kTexture2D = 0x0DE1, kRgba8 = 0x8058, kBgra = 0x80E1, kUnsignedByte = 0x1401, kFloat = 0x1406;
constexpr GLenum kUnsignedShort = 0x1403, kUnsignedInt = 0x1405;
constexpr GLenum kTextureMinFilter = 0x2801, kTextureMagFilter = 0x2800, kTextureWrapS = 0x2802,
                 kTextureWrapT = 0x2803, kTextureMaxLevel = 0x813D, kTextureBorderColor = 0x1004;
constexpr GLenum kNearest = 0x2600, kLinear = 0x2601, kRepeat = 0x2901, kClampToEdge = 0x812F,
                 kClampToBorder = 0x812D, kMirroredRepeat = 0x8370, kMirrorClampToEdge = 0x8743;
constexpr GLenum kFramebuffer = 0x8D40, kReadFramebuffer = 0x8CA8, kDrawFramebuffer = 0x8CA9,
                 kRenderbuffer = 0x8D41, kColorAttachment0 = 0x8CE0, kDepthAttachment = 0x8D00,
                 kFramebufferComplete = 0x8CD5;
constexpr GLenum kDepthComponent16 = 0x81A5, kDepthComponent24 = 0x81A6, kDepthComponent32 = 0x81A7;
constexpr GLenum kColorBufferBit = 0x4000, kDepthBufferBit = 0x0100;
constexpr GLenum kScissorTest = 0x0C11, kBlend = 0x0BE2, kDepthTest = 0x0B71, kCullFace = 0x0B44;
constexpr GLenum kBlendSrcRgb = 0x80C9, kBlendDstRgb = 0x80C8, kBlendSrcAlpha = 0x80CB, kBlendDstAlpha = 0x80CA;
constexpr GLenum kDepthWriteMask = 0x0B72, kDepthFuncQuery = 0x0B74, kColorWriteMask = 0x0C23;
constexpr GLenum kFront = 0x0404, kBack = 0x0405, kFrontAndBack = 0x0408;
constexpr GLenum kPoint = 0x1B00, kLine = 0x1B01, kFill = 0x1B02;
constexpr GLenum kVertexShader = 0x8B31, kFragmentShader = 0x8B30, kCompileStatus = 0x8B81, kLinkStatus = 0x8B82;
constexpr GLenum kArrayBuffer = 0x8892, kElementArrayBuffer = 0x8893, kStreamDraw = 0x88E0;
constexpr GLenum kTexture0 = 0x84C0, kFirstVertexConvention = 0x8E4D, kMaxTextureSize = 0x0D33;
constexpr GLenum kVendor = 0x1F00, kRenderer = 0x1F01, kVersion = 0x1F02, kMajorVersion = 0x821B,
                 kMinorVersion = 0x821C, kPackAlignment = 0x0D05, kUnpackAlignment = 0x0CF5;
constexpr GLenum kPoints = 0, kLines = 1, kLineStrip = 3, kTriangles = 4, kTriangleStrip = 5, kTriangleFan = 6;

#define GL_ENTRIES(X)                                                                                         \
    X(const unsigned char*, GetString, (GLenum))                                                              \
    X(void, GetIntegerv, (GLenum, GLint*))                                                                    \
    X(GLenum, GetError, ())                                                                                   \
    X(void, GenTextures, (GLsizei, GLuint*))                                                                  \
    X(void, DeleteTextures, (GLsizei, const GLuint*))                                                         \
    X(void, BindTexture, (GLenum, GLuint))                                                                    \
    X(void, TexImage2D, (GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*))         \
    X(void, TexSubImage2D, (GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*))      \
    X(void, TexParameteri, (GLenum, GLenum, GLint))                                                           \
    X(void, PixelStorei, (GLenum, GLint))                                                                     \
    X(void, GenFramebuffers, (GLsizei, GLuint*))                                                              \
    X(void, DeleteFramebuffers, (GLsizei, const GLuint*))                                                     \
    X(void, BindFramebuffer, (GLenum, GLuint))                                                                \
    X(void, FramebufferTexture2D, (GLenum, GLenum, GLenum, GLuint, GLint))                                    \
    X(void, FramebufferRenderbuffer, (GLenum, GLenum, GLenum, GLuint))                                        \
    X(GLenum, CheckFramebufferStatus, (GLenum))                                                               \
    X(void, GenRenderbuffers, (GLsizei, GLuint*))                                                             \
    X(void, DeleteRenderbuffers, (GLsizei, const GLuint*))                                                    \
    X(void, BindRenderbuffer, (GLenum, GLuint))                                                               \
    X(void, RenderbufferStorage, (GLenum, GLenum, GLsizei, GLsizei))                                          \
    X(void, ReadPixels, (GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*))                              \
    X(void, BlitFramebuffer, (GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLint, GLbitfield, GLenum))    \
    X(void, Viewport, (GLint, GLint, GLsizei, GLsizei))                                                       \
    X(void, Scissor, (GLint, GLint, GLsizei, GLsizei))                                                        \
    X(void, Enable, (GLenum))                                                                                 \
    X(void, Disable, (GLenum))                                                                                \
    X(void, ClearColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                                 \
    X(void, ClearDepth, (GLdouble))                                                                           \
    X(void, Clear, (GLbitfield))                                                                              \
    X(void, ColorMask, (GLboolean, GLboolean, GLboolean, GLboolean))                                          \
    X(void, DepthMask, (GLboolean))                                                                           \
    X(void, DepthFunc, (GLenum))                                                                              \
    X(void, BlendFuncSeparate, (GLenum, GLenum, GLenum, GLenum))                                              \
    X(void, BlendEquationSeparate, (GLenum, GLenum))                                                          \
    X(void, BlendColor, (GLfloat, GLfloat, GLfloat, GLfloat))                                                 \
    X(void, CullFace, (GLenum))                                                                               \
    X(void, PolygonMode, (GLenum, GLenum))                                                                    \
    X(void, ProvokingVertex, (GLenum))                                                                        \
    X(GLuint, CreateShader, (GLenum))                                                                         \
    X(void, ShaderSource, (GLuint, GLsizei, const GLchar* const*, const GLint*))                              \
    X(void, CompileShader, (GLuint))                                                                          \
    X(void, GetShaderiv, (GLuint, GLenum, GLint*))                                                            \
    X(void, GetShaderInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                           \
    X(void, DeleteShader, (GLuint))                                                                           \
    X(GLuint, CreateProgram, ())                                                                              \
    X(void, AttachShader, (GLuint, GLuint))                                                                   \
    X(void, LinkProgram, (GLuint))                                                                            \
    X(void, GetProgramiv, (GLuint, GLenum, GLint*))                                                           \
    X(void, GetProgramInfoLog, (GLuint, GLsizei, GLsizei*, GLchar*))                                          \
    X(void, DeleteProgram, (GLuint))                                                                          \
    X(void, UseProgram, (GLuint))                                                                             \
    X(GLint, GetUniformLocation, (GLuint, const GLchar*))                                                     \
    X(void, Uniform1i, (GLint, GLint))                                                                        \
    X(void, Uniform1f, (GLint, GLfloat))                                                                      \
    X(void, Uniform2f, (GLint, GLfloat, GLfloat))                                                             \
    X(void, Uniform4f, (GLint, GLfloat, GLfloat, GLfloat, GLfloat))                                           \
    X(void, GenVertexArrays, (GLsizei, GLuint*))                                                              \
    X(void, BindVertexArray, (GLuint))                                                                        \
    X(void, GenBuffers, (GLsizei, GLuint*))                                                                   \
    X(void, BindBuffer, (GLenum, GLuint))                                                                     \
    X(void, BufferData, (GLenum, GLsizeiptr, const void*, GLenum))                                            \
    X(void, VertexAttribPointer, (GLuint, GLint, GLenum, GLboolean, GLsizei, const void*))                    \
    X(void, EnableVertexAttribArray, (GLuint))                                                                \
    X(void, DisableVertexAttribArray, (GLuint))                                                               \
    X(void, VertexAttrib4f, (GLuint, GLfloat, GLfloat, GLfloat, GLfloat))                                     \
    X(void, DrawArrays, (GLenum, GLint, GLsizei))                                                             \
    X(void, DrawElements, (GLenum, GLsizei, GLenum, const void*))                                             \
    X(void, ActiveTexture, (GLenum))                                                                          \
    X(void, GenSamplers, (GLsizei, GLuint*))                                                                  \
    X(void, BindSampler, (GLuint, GLuint))                                                                    \
    X(void, SamplerParameteri, (GLuint, GLenum, GLint))                                                       \
    X(void, SamplerParameterfv, (GLuint, GLenum, const GLfloat*))

struct Functions {
#define DECLARE_ENTRY(ret, name, args) ret(*name) args = nullptr;
    GL_ENTRIES(DECLARE_ENTRY)
#undef DECLARE_ENTRY
};

Functions g;
bool g_started = false;
bool g_tried = false;
std::string g_error;
DriverInfo g_driver;
bool g_depthRenderable[3] = {};  // 16, 24, 32 bits
bool g_mirrorOnce = false;         // mirror-clamp-to-edge is core from 4.4

// What the context holds now, so that unchanged state is not sent again.
struct Objects {
    GLuint drawFbo = 0, readFbo = 0, blitFbo = 0, vao = 0, vbo = 0, ibo = 0;
    GLuint samplers[8] = {};
    Target attached{};
    bool attachedValid = false;
    SamplerSetup samplerState[8];
    bool samplerValid[8] = {};
    GLuint boundTexture[8] = {};
};
Objects o;

bool LoadFunctions() {
#define LOAD_ENTRY(ret, name, args)                                                                   \
    g.name = reinterpret_cast<ret(*) args>(platform::sdl::GLProcAddress("gl" #name));                 \
    if (g.name == nullptr) {                                                                          \
        g_error = "missing gl" #name;                                                                 \
        return false;                                                                                 \
    }
    GL_ENTRIES(LOAD_ENTRY)
#undef LOAD_ENTRY
    return true;
}

std::string String(GLenum name) {
    const unsigned char* s = g.GetString(name);
    return s != nullptr ? reinterpret_cast<const char*>(s) : "";
}

void CreateObjects() {
    g.GenFramebuffers(1, &o.drawFbo);
    g.GenFramebuffers(1, &o.readFbo);
    g.GenFramebuffers(1, &o.blitFbo);
    g.GenVertexArrays(1, &o.vao);
    g.GenBuffers(1, &o.vbo);
    g.GenBuffers(1, &o.ibo);
    g.GenSamplers(8, o.samplers);
    g.BindVertexArray(o.vao);
    g.ProvokingVertex(kFirstVertexConvention);
    g.PixelStorei(kPackAlignment, 1);
    g.PixelStorei(kUnpackAlignment, 1);
}

GLenum DepthFormat(int bits) {
    return bits <= 16 ? kDepthComponent16 : bits <= 24 ? kDepthComponent24 : kDepthComponent32;
}

int DepthIndex(int bits) { return bits <= 16 ? 0 : bits <= 24 ? 1 : 2; }

// Tries each depth format on a small framebuffer with a colour texture.
void ProbeDepthFormats() {
    GLuint color = 0, fbo = 0;
    g.GenTextures(1, &color);
    g.BindTexture(kTexture2D, color);
    g.TexImage2D(kTexture2D, 0, static_cast<GLint>(kRgba8), 4, 4, 0, kBgra, kUnsignedByte, nullptr);
    g.GenFramebuffers(1, &fbo);
    g.BindFramebuffer(kFramebuffer, fbo);
    g.FramebufferTexture2D(kFramebuffer, kColorAttachment0, kTexture2D, color, 0);
    for (int bits : {16, 24, 32}) {
        GLuint depth = 0;
        g.GenRenderbuffers(1, &depth);
        g.BindRenderbuffer(kRenderbuffer, depth);
        g.RenderbufferStorage(kRenderbuffer, DepthFormat(bits), 4, 4);
        g.FramebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, depth);
        g_depthRenderable[DepthIndex(bits)] =
            g.GetError() == 0 && g.CheckFramebufferStatus(kFramebuffer) == kFramebufferComplete;
        g.FramebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, 0);
        g.DeleteRenderbuffers(1, &depth);
    }
    g.BindFramebuffer(kFramebuffer, 0);
    g.DeleteFramebuffers(1, &fbo);
    g.DeleteTextures(1, &color);
}

bool StartOnce() {
    if (!platform::sdl::AcquireGLContext(&g_error)) return false;
    if (!LoadFunctions()) return false;
    GLint major = 0, minor = 0;
    g.GetIntegerv(kMajorVersion, &major);
    g.GetIntegerv(kMinorVersion, &minor);
    if (major < 3 || (major == 3 && minor < 3)) {
        g_error = "OpenGL " + std::to_string(major) + "." + std::to_string(minor) + " is below 3.3";
        return false;
    }
    g_mirrorOnce = major > 4 || (major == 4 && minor >= 4);
    g_driver.vendor = String(kVendor);
    g_driver.renderer = String(kRenderer);
    g_driver.version = String(kVersion);
    g.GetIntegerv(kMaxTextureSize, &g_driver.maxTextureSize);
    ProbeDepthFormats();
    CreateObjects();
    return g.GetError() == 0;
}

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

GLint Filter(DWORD d3d) { return d3d == D3DTEXF_LINEAR || d3d == D3DTEXF_ANISOTROPIC ? kLinear : kNearest; }

GLint Address(DWORD d3d) {
    switch (d3d) {
        case D3DTADDRESS_WRAP: return kRepeat;
        case D3DTADDRESS_MIRROR: return kMirroredRepeat;
        case D3DTADDRESS_BORDER: return kClampToBorder;
        // Mirrored once about 0, then clamped.
        case D3DTADDRESS_MIRRORONCE: return g_mirrorOnce ? kMirrorClampToEdge : kClampToEdge;
        default: return kClampToEdge;
    }
}

void Attach(GLenum binding, GLuint fbo, const Target& t) {
    g.BindFramebuffer(binding, fbo);
    g.FramebufferTexture2D(binding, kColorAttachment0, kTexture2D, t.color, t.level);
    g.FramebufferRenderbuffer(binding, kDepthAttachment, kRenderbuffer, t.depth);
}

void BindDrawTarget(const Target& t) {
    if (o.attachedValid && o.attached.color == t.color && o.attached.level == t.level && o.attached.depth == t.depth) {
        g.BindFramebuffer(kDrawFramebuffer, o.drawFbo);
        return;
    }
    Attach(kDrawFramebuffer, o.drawFbo, t);
    o.attached = t;
    o.attachedValid = true;
}

void ApplySampler(int unit, const SamplerSetup& s) {
    if (o.boundTexture[unit] != s.texture) {
        g.ActiveTexture(kTexture0 + unit);
        g.BindTexture(kTexture2D, s.texture);
        o.boundTexture[unit] = s.texture;
    }
    if (s.texture == 0) return;
    SamplerSetup& was = o.samplerState[unit];
    if (o.samplerValid[unit] && was.magFilter == s.magFilter && was.minFilter == s.minFilter &&
        was.addressU == s.addressU && was.addressV == s.addressV && was.border == s.border)
        return;
    GLuint id = o.samplers[unit];
    g.SamplerParameteri(id, kTextureMagFilter, Filter(s.magFilter));
    g.SamplerParameteri(id, kTextureMinFilter, Filter(s.minFilter));
    g.SamplerParameteri(id, kTextureWrapS, Address(s.addressU));
    g.SamplerParameteri(id, kTextureWrapT, Address(s.addressV));
    float border[4] = {((s.border >> 16) & 255) / 255.0f, ((s.border >> 8) & 255) / 255.0f, (s.border & 255) / 255.0f,
                       ((s.border >> 24) & 255) / 255.0f};
    g.SamplerParameterfv(id, kTextureBorderColor, border);
    g.BindSampler(unit, id);
    was = s;
    o.samplerValid[unit] = true;
}

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

FixedState FixedOf(const PipelineSetup& s) {
    FixedState f;
    f.viewport = Rect{0, 0, s.targetWidth, s.targetHeight};
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
    // Direct3D screen is counter-clockwise (GL's front face) here.
    f.cull = s.cull == D3DCULL_CW ? kFront : s.cull == D3DCULL_CCW ? kBack : 0;
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
std::atomic<uint64_t> g_reads{0};

void SetCapability(Held<bool>& held, GLenum cap, bool on) {
    Put(held, on, [cap](bool v) { v ? g.Enable(cap) : g.Disable(cap); });
}

void SetViewport(const Rect& r) { Put(g_held.viewport, r, [](const Rect& v) { g.Viewport(v.x, v.y, v.w, v.h); }); }

void SetScissor(const Rect& r) {
    SetCapability(g_held.scissorTest, kScissorTest, true);
    Rect box{r.x, r.y, r.w < 0 ? 0 : r.w, r.h < 0 ? 0 : r.h};
    Put(g_held.scissorBox, box, [](const Rect& v) { g.Scissor(v.x, v.y, v.w, v.h); });
}

void SetColorMask(const std::array<bool, 4>& mask) {
    Put(g_held.colorMask, mask, [](const std::array<bool, 4>& m) { g.ColorMask(m[0], m[1], m[2], m[3]); });
}

void ApplyColorMask(DWORD colorWrite, bool alphaAllowed) {
    SetColorMask({(colorWrite & 4) != 0, (colorWrite & 2) != 0, (colorWrite & 1) != 0,
                  alphaAllowed && (colorWrite & 8) != 0});
}

void SetDepthMask(bool on) { Put(g_held.depthMask, on, [](bool v) { g.DepthMask(v ? 1 : 0); }); }

void SetProgram(GLuint program) { Put(g_held.program, program, [](GLuint p) { g.UseProgram(p); }); }

// Factors, equations and depth values are sent only while they take part in
// the draw; what the context keeps meanwhile stays on record.
void ApplyFixed(const FixedState& f) {
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

// Uniform places and the values last sent, per program (uniforms belong to
// their program in GL).
struct Uniforms {
    GLint target = -1, factor = -1, alphaRef = -1;
    float values[7] = {-1, -1, -1, -1, -1, -1, -1};
};
std::unordered_map<GLuint, Uniforms> g_uniforms;

void ApplyUniforms(const PipelineSetup& s) {
    Uniforms& u = g_uniforms[s.program];
    float values[7] = {static_cast<float>(s.targetWidth), static_cast<float>(s.targetHeight), s.textureFactor[0],
                       s.textureFactor[1], s.textureFactor[2], s.textureFactor[3], s.alphaRef};
    if (std::memcmp(u.values, values, sizeof values) == 0) return;
    g.Uniform2f(u.target, values[0], values[1]);
    g.Uniform4f(u.factor, values[2], values[3], values[4], values[5]);
    g.Uniform1f(u.alphaRef, values[6]);
    std::memcpy(u.values, values, sizeof values);
}

void ApplyPipeline(const PipelineSetup& s) {
    BindDrawTarget(s.target);
    ApplyFixed(FixedOf(s));
    ApplyUniforms(s);
    for (int i = 0; i < 8; ++i) ApplySampler(i, s.samplers[i]);
}

void SetAttribute(GLuint index, int offset, int size, GLenum type, bool normalized, int stride, float dr, float dg,
                  float db, float da) {
    if (offset < 0) {
        g.DisableVertexAttribArray(index);
        g.VertexAttrib4f(index, dr, dg, db, da);
        return;
    }
    g.EnableVertexAttribArray(index);
    g.VertexAttribPointer(index, size, type, normalized ? 1 : 0, stride,
                          reinterpret_cast<const void*>(static_cast<uintptr_t>(offset)));
}

void ApplyLayout(const VertexLayout& l) {
    SetAttribute(0, 0, 4, kFloat, false, l.stride, 0, 0, 0, 1);
    SetAttribute(1, l.diffuseOffset, static_cast<int>(kBgra), kUnsignedByte, true, l.stride, 1, 1, 1, 1);
    SetAttribute(2, l.specularOffset, static_cast<int>(kBgra), kUnsignedByte, true, l.stride, 0, 0, 0, 0);
    for (int i = 0; i < 8; ++i)
        SetAttribute(3 + i, i < l.texCount ? l.texOffset[i] : -1, l.texSize[i], kFloat, false, l.stride, 0, 0, 0, 1);
}

GLenum Mode(D3DPRIMITIVETYPE type) {
    switch (type) {
        case D3DPT_POINTLIST: return kPoints;
        case D3DPT_LINELIST: return kLines;
        case D3DPT_LINESTRIP: return kLineStrip;
        case D3DPT_TRIANGLESTRIP: return kTriangleStrip;
        case D3DPT_TRIANGLEFAN: return kTriangleFan;
        default: return kTriangles;
    }
}

GLuint CompileShader(GLenum kind, const std::string& source, std::string* log) {
    GLuint shader = g.CreateShader(kind);
    const char* text = source.c_str();
    g.ShaderSource(shader, 1, &text, nullptr);
    g.CompileShader(shader);
    GLint ok = 0;
    g.GetShaderiv(shader, kCompileStatus, &ok);
    if (ok) return shader;
    char buffer[2048] = {};
    g.GetShaderInfoLog(shader, sizeof buffer - 1, nullptr, buffer);
    if (log != nullptr) *log = buffer;
    g.DeleteShader(shader);
    return 0;
}

}  // namespace

bool Start(std::string* error) {
    if (!g_tried) {
        g_tried = true;
        g_started = StartOnce();
    } else if (g_started) {
        g_started = platform::sdl::AcquireGLContext(&g_error);
    }
    if (!g_started && error != nullptr) *error = g_error;
    return g_started;
}

bool Started() { return g_started; }

bool MakeCurrent() { return g_started && platform::sdl::AcquireGLContext(nullptr); }

const DriverInfo& Driver() { return g_driver; }

bool DepthRenderable(int bits) { return g_started && g_depthRenderable[DepthIndex(bits)]; }

uint32_t NewColorTexture(int width, int height, int levels, uint32_t fill) {
    if (!g_started || width < 1 || height < 1 || width > g_driver.maxTextureSize || height > g_driver.maxTextureSize)
        return 0;
    while (g.GetError() != 0) {
    }
    GLuint id = 0;
    g.GenTextures(1, &id);
    g.ActiveTexture(kTexture0);
    g.BindTexture(kTexture2D, id);
    o.boundTexture[0] = id;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, fill);
    for (int level = 0; level < levels; ++level) {
        int w = std::max(1, width >> level), h = std::max(1, height >> level);
        g.TexImage2D(kTexture2D, level, static_cast<GLint>(kRgba8), w, h, 0, kBgra, kUnsignedByte, pixels.data());
    }
    g.TexParameteri(kTexture2D, kTextureMaxLevel, 0);
    if (g.GetError() != 0) {
        DeleteTexture(id);
        return 0;
    }
    return id;
}

void DeleteTexture(uint32_t texture) {
    if (!g_started || texture == 0) return;
    for (GLuint& bound : o.boundTexture)
        if (bound == texture) bound = 0;
    if (o.attached.color == texture) o.attachedValid = false;
    g.DeleteTextures(1, &texture);
}

void WriteColor(uint32_t texture, int level, const Rect& area, const uint32_t* argb) {
    if (!g_started || texture == 0 || area.w < 1 || area.h < 1) return;
    g.ActiveTexture(kTexture0);
    g.BindTexture(kTexture2D, texture);
    o.boundTexture[0] = texture;
    g.TexSubImage2D(kTexture2D, level, area.x, area.y, area.w, area.h, kBgra, kUnsignedByte, argb);
}

uint64_t ReadCount() { return g_reads.load(); }

ContextState QueryContextState() {
    ContextState c;
    if (!g_started) return c;
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

void PresentToWindow(uint32_t texture, int level, const Rect& source, const Rect& dest, int drawableWidth,
                     int drawableHeight) {
    if (!g_started || texture == 0) return;
    Attach(kReadFramebuffer, o.readFbo, Target{texture, level, 0, true});
    g.BindFramebuffer(kDrawFramebuffer, 0);
    SetCapability(g_held.scissorTest, kScissorTest, false);
    ApplyColorMask(0xF, true);
    SetViewport(Rect{0, 0, drawableWidth, drawableHeight});
    g.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    g.Clear(kColorBufferBit);
    // Texture row r is the surface's row r; the window's rows run bottom up.
    g.BlitFramebuffer(source.x, source.y, source.x + source.w, source.y + source.h, dest.x, drawableHeight - dest.y,
                      dest.x + dest.w, drawableHeight - dest.y - dest.h, kColorBufferBit, kNearest);
    g.BindFramebuffer(kDrawFramebuffer, o.drawFbo);
}

void ReadColor(uint32_t texture, int level, const Rect& area, uint32_t* argb) {
    if (!g_started || texture == 0 || area.w < 1 || area.h < 1) return;
    ++g_reads;
    Attach(kReadFramebuffer, o.readFbo, Target{texture, level, 0, true});
    g.ReadPixels(area.x, area.y, area.w, area.h, kBgra, kUnsignedByte, argb);
}

uint32_t NewDepthBuffer(int width, int height, int bits) {
    if (!g_started || width < 1 || height < 1 || width > g_driver.maxTextureSize || height > g_driver.maxTextureSize)
        return 0;
    while (g.GetError() != 0) {
    }
    GLuint id = 0;
    g.GenRenderbuffers(1, &id);
    g.BindRenderbuffer(kRenderbuffer, id);
    g.RenderbufferStorage(kRenderbuffer, DepthFormat(bits), width, height);
    if (g.GetError() != 0) {
        DeleteDepthBuffer(id);
        return 0;
    }
    return id;
}

void DeleteDepthBuffer(uint32_t buffer) {
    if (!g_started || buffer == 0) return;
    if (o.attached.depth == buffer) o.attachedValid = false;
    g.DeleteRenderbuffers(1, &buffer);
}

void Clear(const Target& target, const Rect& area, bool color, uint32_t argb, DWORD colorWrite, bool depth, float z) {
    if (!g_started || area.w < 1 || area.h < 1) return;
    BindDrawTarget(target);
    SetScissor(area);
    GLbitfield bits = 0;
    if (color && target.color != 0) {
        ApplyColorMask(colorWrite, target.colorHasAlpha);
        g.ClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f,
                     ((argb >> 24) & 255) / 255.0f);
        bits |= kColorBufferBit;
    }
    if (depth && target.depth != 0) {
        SetDepthMask(true);
        g.ClearDepth(z);
        bits |= kDepthBufferBit;
    }
    if (bits != 0) g.Clear(bits);
}

void Blit(uint32_t sourceTexture, int sourceLevel, const Rect& source, const Target& destTarget, const Rect& dest,
          bool linear) {
    if (!g_started) return;
    Attach(kReadFramebuffer, o.readFbo, Target{sourceTexture, sourceLevel, 0, true});
    Attach(kDrawFramebuffer, o.blitFbo, Target{destTarget.color, destTarget.level, 0, true});
    SetCapability(g_held.scissorTest, kScissorTest, false);
    ApplyColorMask(0xF, destTarget.colorHasAlpha);
    g.BlitFramebuffer(source.x, source.y, source.x + source.w, source.y + source.h, dest.x, dest.y, dest.x + dest.w,
                      dest.y + dest.h, kColorBufferBit, linear ? kLinear : kNearest);
    g.BindFramebuffer(kDrawFramebuffer, o.drawFbo);
}

uint32_t LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string* log) {
    if (!g_started) return 0;
    GLuint vs = CompileShader(kVertexShader, vertexSource, log);
    GLuint fs = vs != 0 ? CompileShader(kFragmentShader, fragmentSource, log) : 0;
    if (vs == 0 || fs == 0) {
        if (vs != 0) g.DeleteShader(vs);
        return 0;
    }
    GLuint program = g.CreateProgram();
    g.AttachShader(program, vs);
    g.AttachShader(program, fs);
    g.LinkProgram(program);
    g.DeleteShader(vs);
    g.DeleteShader(fs);
    GLint ok = 0;
    g.GetProgramiv(program, kLinkStatus, &ok);
    if (!ok) {
        char buffer[2048] = {};
        g.GetProgramInfoLog(program, sizeof buffer - 1, nullptr, buffer);
        if (log != nullptr) *log = buffer;
        g.DeleteProgram(program);
        return 0;
    }
    SetProgram(program);
    Uniforms& u = g_uniforms[program];
    u = Uniforms{};
    u.target = g.GetUniformLocation(program, "uTarget");
    u.factor = g.GetUniformLocation(program, "uTFactor");
    u.alphaRef = g.GetUniformLocation(program, "uAlphaRef");
    for (int i = 0; i < 8; ++i) {
        std::string name = "uTex" + std::to_string(i);
        g.Uniform1i(g.GetUniformLocation(program, name.c_str()), i);
    }
    return program;
}

void DeleteProgram(uint32_t program) {
    if (!g_started || program == 0) return;
    g.DeleteProgram(program);
    g_uniforms.erase(program);
    if (g_held.program.value == program) g_held.program.known = false;
}

void Draw(const PipelineSetup& setup, const VertexLayout& layout, D3DPRIMITIVETYPE type, const void* vertices,
          size_t vertexBytes, int count, const void* indices, int indexBytes, int indexCount) {
    if (!g_started || setup.program == 0 || setup.clip.w < 1 || setup.clip.h < 1) return;
    ApplyPipeline(setup);
    g.BindVertexArray(o.vao);
    g.BindBuffer(kArrayBuffer, o.vbo);
    g.BufferData(kArrayBuffer, static_cast<GLsizeiptr>(vertexBytes), vertices, kStreamDraw);
    ApplyLayout(layout);
    if (indices == nullptr) {
        g.DrawArrays(Mode(type), 0, count);
        return;
    }
    g.BindBuffer(kElementArrayBuffer, o.ibo);
    g.BufferData(kElementArrayBuffer, static_cast<GLsizeiptr>(indexCount) * indexBytes, indices, kStreamDraw);
    g.DrawElements(Mode(type), indexCount, indexBytes == 4 ? kUnsignedInt : kUnsignedShort, nullptr);
}

}  // namespace d3d9::gl
