// The OpenGL names and entry points the stand-in uses, shared by the files
// that call OpenGL (d3d9_gl.cpp, d3d9_gl_state.cpp). Loaded by gl::Start.
#pragma once

#include <cstddef>

namespace d3d9::gl::api {

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
constexpr GLenum kExtensions = 0x1F03, kNumExtensions = 0x821D;
constexpr GLenum kMaxViewportDims = 0x0D3A, kViewportBoundsRange = 0x825D;
constexpr GLenum kLowerLeft = 0x8CA1, kUpperLeft = 0x8CA2, kNegativeOneToOne = 0x935E;
constexpr GLenum kPoints = 0, kLines = 1, kLineStrip = 3, kTriangles = 4, kTriangleStrip = 5, kTriangleFan = 6;

#define GL_ENTRIES(X)                                                                                         \
    X(const unsigned char*, GetString, (GLenum))                                                              \
    X(const unsigned char*, GetStringi, (GLenum, GLuint))                                                     \
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
    X(void, Uniform4i, (GLint, GLint, GLint, GLint, GLint))                                                   \
    X(void, GenVertexArrays, (GLsizei, GLuint*))                                                              \
    X(void, DeleteVertexArrays, (GLsizei, const GLuint*))                                                     \
    X(void, BindVertexArray, (GLuint))                                                                        \
    X(void, GenBuffers, (GLsizei, GLuint*))                                                                   \
    X(void, DeleteBuffers, (GLsizei, const GLuint*))                                                          \
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

extern Functions g;

}  // namespace d3d9::gl::api
