// The stand-in's only door to OpenGL. Callers speak in Direct3D 9 values
// (blend factors, comparison functions, filters, address modes); this side
// turns them into GL calls (a framebuffer attachment, texture binding or
// sampler is sent again only when it changes).
//
// D3DTADDRESS_MIRRORONCE needs OpenGL 4.4 (mirror-clamp-to-edge); on an
// older context it is drawn as CLAMP.
//
// Storage: colour is kept in RGBA8 textures that hold A8R8G8B8 pixels, and
// row r of a Direct3D surface is GL row r (no flip anywhere: a Direct3D
// screen position (x, y) lands on GL window position (x + 0.5, y + 0.5), so
// texture rows, framebuffer rows, viewport and scissor boxes and reads all
// run in the same order; d3d9_gl_raster.cpp keeps the rasteriser's choice of
// pixels on an edge Direct3D's).
#pragma once

#include "platform/d3d9/d3d9.h"

#include <cstdint>
#include <string>

namespace d3d9::gl {

// Makes the process's GL context current and loads the functions, once.
// False when there is no 3.3 core context (the reason in *error).
bool Start(std::string* error = nullptr);
bool Started();
// Makes the context current on this thread again.
bool MakeCurrent();

struct DriverInfo {
    std::string vendor;
    std::string renderer;
    std::string version;
    int maxTextureSize = 0;
};
const DriverInfo& Driver();
// Whether a depth buffer of 16, 24 or 32 bits can be drawn into beside a
// colour texture (probed once at start).
bool DepthRenderable(int bits);

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Rect&) const = default;
};

// ---- storage ----------------------------------------------------------------
// A colour texture of the given size and level count, every pixel fill
// (A8R8G8B8); 0 when GL refuses it.
uint32_t NewColorTexture(int width, int height, int levels, uint32_t fill);
void DeleteTexture(uint32_t texture);
// Rows of w A8R8G8B8 pixels, top row first.
void WriteColor(uint32_t texture, int level, const Rect& area, const uint32_t* argb);
void ReadColor(uint32_t texture, int level, const Rect& area, uint32_t* argb);
uint32_t NewDepthBuffer(int width, int height, int bits);
void DeleteDepthBuffer(uint32_t buffer);

// ---- targets ----------------------------------------------------------------
struct Target {
    uint32_t color = 0;  // colour texture
    int level = 0;
    uint32_t depth = 0;  // depth buffer, 0 for none
    bool colorHasAlpha = true;  // false: alpha is never written
};
// Clears area of the target: colour (A8R8G8B8, only the channels of
// colorWrite, D3DCOLORWRITEENABLE bits) and/or depth.
void Clear(const Target& target, const Rect& area, bool color, uint32_t argb, DWORD colorWrite, bool depth, float z);
// Copies source area to dest area, scaled nearest or bilinear; a dest
// without alpha keeps its alpha at 255.
void Blit(uint32_t sourceTexture, int sourceLevel, const Rect& source, const Target& dest, const Rect& destArea,
          bool linear);

// Shows area source of the texture in area dest of the drawable of the
// window the context is current on (drawable width x height; dest rows top
// down, as the window's), nearest; the rest of the drawable black.
void PresentToWindow(uint32_t texture, int level, const Rect& source, const Rect& dest, int drawableWidth,
                     int drawableHeight);
// Reads area (rows top down) of the drawable of the window the context is
// current on, as drawn since its last swap: for tests of the present.
void ReadDrawable(const Rect& area, int drawableHeight, uint32_t* argb);
// How many reads of pixels into memory (ReadColor, ReadDrawable) this
// process made: a present makes none.
uint64_t ReadCount();

// For tests: what the context itself reports (glGet) of the state a draw
// sets, as GL values.
struct ContextState {
    bool blend = false;
    int blendSrcRgb = 0, blendDstRgb = 0, blendSrcAlpha = 0, blendDstAlpha = 0;
    bool depthTest = false;
    bool depthWriteMask = false;
    int depthFunc = 0;
    bool scissorTest = false;
    bool colorMask[4] = {};
};
ContextState QueryContextState();

// ---- pixel positions ----------------------------------------------------------
// How this driver is driven so that a Direct3D screen position covers the
// pixels Direct3D covers (found at start).
struct RasterConvention {
    bool upperLeft = false;            // glClipControl(GL_UPPER_LEFT): clip y negated, front face flipped
    float shift[2] = {0.5f, 0.5f};     // added to x and y: GL's pixel centres are half a pixel on
    bool Exact() const { return shift[0] == 0.5f && shift[1] == 0.5f; }
};
const RasterConvention& Raster();
// For tests: drives the rasteriser by c instead (upperLeft only where the
// context has clip control: false otherwise); Reprobe goes back to what the
// driver's probe finds.
bool UseRaster(const RasterConvention& c);
void Reprobe();
// The GLSL expression of a vertex program that turns aPos.xy, a Direct3D
// screen position, into normalised device x and y; it reads the uniforms
// uPixelShift (vec2) and uToNdc (vec4), which Draw sets.
extern const char* const kScreenToNdc;

// ---- programs ---------------------------------------------------------------
// 0 on a compile or link error (the log in *log). Samplers uTex0..uTex7 are
// bound to units 0..7.
uint32_t LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string* log);
void DeleteProgram(uint32_t program);

// ---- drawing ----------------------------------------------------------------
struct SamplerSetup {
    uint32_t texture = 0;  // 0: none bound
    DWORD magFilter = D3DTEXF_POINT;
    DWORD minFilter = D3DTEXF_POINT;
    DWORD addressU = D3DTADDRESS_WRAP;
    DWORD addressV = D3DTADDRESS_WRAP;
    D3DCOLOR border = 0;
};

struct PipelineSetup {
    Target target;
    int targetWidth = 0;
    int targetHeight = 0;
    // The pixels drawn (GL's scissor box): the viewport within the target, cut
    // by the scissor rectangle when it is on. GL's viewport is the guard band.
    Rect clip;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE, destBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
    DWORD srcBlendAlpha = D3DBLEND_ONE, destBlendAlpha = D3DBLEND_ZERO, blendOpAlpha = D3DBLENDOP_ADD;
    D3DCOLOR blendFactor = 0xFFFFFFFF;  // the colour of D3DBLEND_BLENDFACTOR and INVBLENDFACTOR
    bool depthTest = false;
    bool depthWrite = false;
    DWORD depthFunc = D3DCMP_LESSEQUAL;
    DWORD cull = D3DCULL_NONE;
    DWORD fill = D3DFILL_SOLID;
    DWORD colorWrite = 0xF;
    uint32_t program = 0;
    float textureFactor[4] = {1, 1, 1, 1};  // r, g, b, a
    float alphaRef = 0;                      // 0..255
    SamplerSetup samplers[8];
};

struct VertexLayout {
    int stride = 0;
    int diffuseOffset = -1;  // -1: absent (white)
    int specularOffset = -1;  // -1: absent (black)
    int texCount = 0;
    int texOffset[8] = {};
    int texSize[8] = {};  // floats per set
};

// Draws count vertices (or indexCount indices of indexBytes each) of the
// Direct3D primitive type. vertexBytes bytes of vertices are sent.
void Draw(const PipelineSetup& setup, const VertexLayout& layout, D3DPRIMITIVETYPE type, const void* vertices,
          size_t vertexBytes, int count, const void* indices, int indexBytes, int indexCount);

}  // namespace d3d9::gl
