#include "platform/d3d9/d3d9_gl.h"

#include "platform/d3d9/d3d9_gl_api.h"
#include "platform/d3d9/d3d9_gl_raster.h"
#include "platform/d3d9/d3d9_gl_state.h"

#include "platform/sdl/sdl_gl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <unordered_map>
#include <vector>

namespace d3d9::gl {

namespace api {
Functions g;
}  // namespace api

namespace {

using namespace api;

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

std::atomic<uint64_t> g_reads{0};

// Uniform places and the values last sent, per program (uniforms belong to
// their program in GL).
struct Uniforms {
    GLint toNdc = -1, shift = -1, factor = -1, alphaRef = -1;
    float values[11] = {};
    bool sent = false;
};
std::unordered_map<GLuint, Uniforms> g_uniforms;

void ApplyUniforms(const PipelineSetup& s, const Rect& band) {
    Uniforms& u = g_uniforms[s.program];
    float values[11] = {0, 0, 0, 0, Raster().shift[0], Raster().shift[1], s.textureFactor[0], s.textureFactor[1],
                        s.textureFactor[2], s.textureFactor[3], s.alphaRef};
    ScreenToNdc(band, values);
    if (u.sent && std::memcmp(u.values, values, sizeof values) == 0) return;
    g.Uniform4f(u.toNdc, values[0], values[1], values[2], values[3]);
    g.Uniform2f(u.shift, values[4], values[5]);
    g.Uniform4f(u.factor, values[6], values[7], values[8], values[9]);
    g.Uniform1f(u.alphaRef, values[10]);
    std::memcpy(u.values, values, sizeof values);
    u.sent = true;
}

void ApplyPipeline(const PipelineSetup& s, const Rect& band) {
    BindDrawTarget(s.target);
    ApplyFixed(s, band);
    ApplyUniforms(s, band);
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
        if (g_started) ProbeRaster();
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

namespace {

// The present's program: one triangle over the whole drawable, each pixel of
// the destination rectangle taking the source texel under its centre
// (nearest, as a scaled blit would, in whole numbers), black elsewhere.
// Drawn with a program of our own rather than a framebuffer blit: drivers
// keep a program's compiled form in their shader cache between runs, and
// llvmpipe compiles its blit afresh in every process (some 45 ms).
struct PresentProgram {
    GLuint program = 0, vao = 0;
    GLint source = -1, dest = -1, height = -1;
    bool tried = false;
};
PresentProgram g_present;

constexpr const char* kPresentVertex =
    "#version 330 core\n"
    "void main() {\n"
    "    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));\n"
    "    gl_Position = vec4(corner * 4.0 - 1.0, 0.0, 1.0);\n"
    "}\n";
constexpr const char* kPresentFragment =
    "#version 330 core\n"
    "uniform sampler2D uPicture;\n"
    "uniform ivec4 uSource;  // x, y, width, height in texels\n"
    "uniform ivec4 uDest;    // x, y, width, height in the drawable, rows top down\n"
    "uniform int uHeight;    // the drawable's height\n"
    "out vec4 color;\n"
    "void main() {\n"
    "    ivec2 p = ivec2(int(gl_FragCoord.x), uHeight - 1 - int(gl_FragCoord.y)) - uDest.xy;\n"
    "    if (any(lessThan(p, ivec2(0))) || any(greaterThanEqual(p, uDest.zw))) {\n"
    "        color = vec4(0.0, 0.0, 0.0, 1.0);\n"
    "        return;\n"
    "    }\n"
    "    ivec2 texel = uSource.xy + (2 * p + 1) * uSource.zw / (2 * uDest.zw);\n"
    "    texel = clamp(texel, uSource.xy, uSource.xy + uSource.zw - 1);\n"
    "    color = vec4(texelFetch(uPicture, texel, 0).rgb, 1.0);\n"
    "}\n";

bool PresentProgramReady() {
    if (g_present.tried) return g_present.program != 0;
    g_present.tried = true;
    g_present.program = LinkProgram(kPresentVertex, kPresentFragment, nullptr);
    if (g_present.program == 0) return false;
    g_present.source = g.GetUniformLocation(g_present.program, "uSource");
    g_present.dest = g.GetUniformLocation(g_present.program, "uDest");
    g_present.height = g.GetUniformLocation(g_present.program, "uHeight");
    g.Uniform1i(g.GetUniformLocation(g_present.program, "uPicture"), 0);
    g.GenVertexArrays(1, &g_present.vao);  // no attributes: corners from the vertex number
    return true;
}

// The blit, where the program cannot be made.
void BlitToWindow(const Rect& source, const Rect& dest, int drawableHeight) {
    g.ClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    g.Clear(kColorBufferBit);
    // Texture row r is the surface's row r; the window's rows run bottom up.
    g.BlitFramebuffer(source.x, source.y, source.x + source.w, source.y + source.h, dest.x, drawableHeight - dest.y,
                      dest.x + dest.w, drawableHeight - dest.y - dest.h, kColorBufferBit, kNearest);
}

}  // namespace

void PresentToWindow(uint32_t texture, int level, const Rect& source, const Rect& dest, int drawableWidth,
                     int drawableHeight) {
    if (!g_started || texture == 0) return;
    g.BindFramebuffer(kDrawFramebuffer, 0);
    // A destination turned over (a negative width or height) is mirrored by the blit.
    if (level != 0 || dest.w < 1 || dest.h < 1 || source.w < 1 || source.h < 1 || !PresentProgramReady()) {
        Attach(kReadFramebuffer, o.readFbo, Target{texture, level, 0, true});
        SetScissorTest(false);
        ApplyColorMask(0xF, true);
        SetViewport(Rect{0, 0, drawableWidth, drawableHeight});
        BlitToWindow(source, dest, drawableHeight);
    } else {
        PipelineSetup setup;
        setup.targetWidth = drawableWidth;
        setup.targetHeight = drawableHeight;
        setup.clip = Rect{0, 0, drawableWidth, drawableHeight};
        setup.target.colorHasAlpha = true;
        setup.program = g_present.program;
        ApplyFixed(setup, GuardBand(drawableWidth, drawableHeight, Reach{}));
        SamplerSetup picture;
        picture.texture = texture;
        ApplySampler(0, picture);
        g.Uniform4i(g_present.source, source.x, source.y, source.w, source.h);
        g.Uniform4i(g_present.dest, dest.x, dest.y, dest.w, dest.h);
        g.Uniform1i(g_present.height, drawableHeight);
        g.BindVertexArray(g_present.vao);
        g.DrawArrays(kTriangles, 0, 3);
        g.BindVertexArray(o.vao);
    }
    g.BindFramebuffer(kDrawFramebuffer, o.drawFbo);
}

void ReadDrawable(const Rect& area, int drawableHeight, uint32_t* argb) {
    if (!g_started || area.w < 1 || area.h < 1) return;
    ++g_reads;
    g.BindFramebuffer(kReadFramebuffer, 0);
    std::vector<uint32_t> rows(static_cast<size_t>(area.w) * area.h);
    g.ReadPixels(area.x, drawableHeight - area.y - area.h, area.w, area.h, kBgra, kUnsignedByte, rows.data());
    for (int y = 0; y < area.h; ++y)
        std::memcpy(argb + static_cast<size_t>(y) * area.w, rows.data() + static_cast<size_t>(area.h - 1 - y) * area.w,
                    static_cast<size_t>(area.w) * 4);
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
        // A target without alpha holds one there (made so, never written by
        // draws): a clear of all its colours writes that one as well, so that
        // the driver clears every channel at once instead of drawing.
        const bool opaqueAll = !target.colorHasAlpha && (colorWrite & 7) == 7;
        ApplyColorMask(opaqueAll ? 0xF : colorWrite, opaqueAll || target.colorHasAlpha);
        const float alpha = opaqueAll ? 1.0f : ((argb >> 24) & 255) / 255.0f;
        g.ClearColor(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f, alpha);
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
    SetScissorTest(false);
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
    u.toNdc = g.GetUniformLocation(program, "uToNdc");
    u.shift = g.GetUniformLocation(program, "uPixelShift");
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
    ForgetProgram(program);
}

void Draw(const PipelineSetup& setup, const VertexLayout& layout, D3DPRIMITIVETYPE type, const void* vertices,
          size_t vertexBytes, int count, const void* indices, int indexBytes, int indexCount) {
    if (!g_started || setup.program == 0 || setup.clip.w < 1 || setup.clip.h < 1) return;
    const Reach reach = ReachOf(vertices, vertexBytes, layout.stride);
    ApplyPipeline(setup, GuardBand(setup.targetWidth, setup.targetHeight, reach));
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
