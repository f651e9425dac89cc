// Direct3D 9 stand-in: the runtime object (IDirect3D9 / IDirect3D9Ex), the
// device with its swap chain, surfaces, textures and volume textures, drawn
// with OpenGL 3.3 core through the SDL back end. Pixels follow Direct3D 9's
// rules, not OpenGL's: pre-transformed (XYZRHW) vertices are render-target
// pixels with pixel centres on whole coordinates and the top-left fill rule,
// flat shading takes the first vertex of a triangle, and the texture-stage
// combiner, alpha test and blend run on 8-bit unsigned normalised values.
// A triangle takes the same pixels whether or not it reaches past the render
// target, as long as the target and the whole draw fit together in the guard
// band (16384 pixels a side, less where the driver's viewport is smaller);
// the driver clips a draw spreading wider, and a pixel centre exactly on a
// clipped edge may then go either way.
//
// Where the pixels live: every render target (the back buffer included) is a
// GL framebuffer; Present makes the context current on the window, copies
// the back buffer into the window's drawable (nearest, the source and
// destination rectangles as given) and swaps it, so the frame stays on the
// card; a window that cannot carry an OpenGL drawable gets the frame through
// its picture instead. Locks work on a CPU copy read back on LockRect and
// written back on UnlockRect; reading the window's picture (a capture) reads
// the frame last shown.
//
// When no device is offered: Direct3DCreate9 / Direct3DCreate9Ex still give
// the runtime object, but CreateDevice and CreateDeviceEx fail with
// D3DERR_NOTAVAILABLE when no OpenGL 3.3 core context can be made on a
// graphics card (see HardwareAvailable), or when the environment variable
// VELUMI_NO_HARDWARE is set to anything but "0" (a driver-setting switch: the
// program then runs on its software path).
//
// Refused, as a driver refuses:
//   - formats the probe does not hold: CheckDeviceFormat answers
//     D3DERR_NOTAVAILABLE for DXT1-5 and for anything but R5G6B5, A4R4G4B4,
//     A1R5G5B5, X1R5G5B5, X8R8G8B8, A8R8G8B8 as textures and render targets;
//     CreateTexture and friends give D3DERR_INVALIDCALL for them. The 16-bit
//     formats lock as one word per pixel in their documented layout (pitch
//     twice the width) and sample with each channel's bits repeated to 8
//     (A4R4G4B4 0xF8C4 reads a=FF r=88 g=CC b=44); X1R5G5B5 samples alpha
//     255 whatever its top bit holds. Drawn into, they hold 8 bits a channel
//     on the card until a lock or a copy to memory truncates them. The movie
//     formats 'YV12', 'YUY2' and 'UYVY' are offered only as off-screen plain
//     surfaces (an even width, and an even height for 'YV12'), locked in
//     their documented layouts and converted to RGB by StretchRect
//     (CheckDeviceFormatConversion says so); they are never drawn from,
//     drawn into, or copied by UpdateSurface;
//   - a width, height or depth of 0 or above the reported maximum (caps
//     MaxTextureWidth / MaxTextureHeight, MaxVolumeExtent): D3DERR_INVALIDCALL
//     (D3DERR_OUTOFVIDEOMEMORY when the memory cannot be had);
//   - LockRect of a rectangle not inside the surface, of a render target made
//     not lockable, of a default-pool texture level without D3DUSAGE_DYNAMIC,
//     or a second lock of a locked surface: D3DERR_INVALIDCALL;
//   - SetRenderState with a number that is not a documented render state,
//     SetTextureStageState and SetSamplerState with a state number the device
//     does not know, a stage or sampler above 7: D3DERR_INVALIDCALL. Every
//     documented render state is accepted; those the device does not draw
//     with (WRAP0..15, point sprites and point scale, stencil, tessellation,
//     vertex blending, COLORWRITEENABLE1..3...) are kept and read back. Values
//     are stored as given (ALPHAFUNC 0, MIPFILTER
//     ANISOTROPIC are accepted, as drivers do); an unknown value draws as the
//     nearest documented one (a comparison outside 1..8 as ALWAYS, an unknown
//     blend factor as ONE, an unknown stage operation as DISABLE);
//   - BeginScene inside a scene, EndScene outside one, a draw outside a scene,
//     a draw with a null vertex pointer, a stride below the FVF's vertex
//     size or above 255, an FVF neither pre-transformed nor plain XYZ, an
//     unknown primitive type, a primitive count above 0xFFFFF, or an index
//     at or past minIndex + numVertices: D3DERR_INVALIDCALL. A stage reading
//     D3DTA_TEXTURE with no texture set reads opaque black (not an error);
//   - Reset while the device still reports D3DERR_DEVICELOST gives that;
//     Reset with a default-pool resource (other than the back buffer) still
//     alive, or with the back buffer or swap chain still held:
//     D3DERR_INVALIDCALL.
//
// A lost device: Present gives D3DERR_DEVICELOST; draws, clears and copies
// do nothing and succeed, as Direct3D 9's do; TestCooperativeLevel gives
// D3DERR_DEVICELOST, then D3DERR_DEVICENOTRESET until Reset succeeds.
// Exclusive full screen changes the display mode (ChangeDisplaySettingsA) to
// the back buffer's size and restores it when the device goes.
//
// Shaders and buffers: CreateVertexShader / CreatePixelShader take only the
// documented token stream (a vs_1_1, vs_2_0, vs_2_x, vs_3_0 or ps_1_1 ..
// ps_3_0 version token no higher than the caps report, instructions of known
// opcodes with parameter tokens and sane lengths, comments, and the end token
// 0x0000FFFF within 2^18 tokens) and give D3DERR_INVALIDCALL for anything
// else. Shaders are kept and may be set, but never draw: draws always run
// the fixed-function pipeline. Shader constants (256 vertex, 224 pixel float
// registers) are stored and read back. Vertex declarations (stream 0, at
// most 64 elements) are kept and may be set, replacing the FVF (GetFVF then
// gives 0, and draws are refused until an FVF is set again). Vertex and index
// buffers live in memory (locks nest; a lock outside the buffer is refused);
// default-pool ones count as default-pool resources for Reset.
// DrawPrimitive / DrawIndexedPrimitive read stream 0 and the index buffer
// and refuse (D3DERR_INVALIDCALL) any vertex or index they would read past
// the buffers, an index outside [minIndex, minIndex + numVertices), and
// minIndex + baseVertex below 0.
//
// Untransformed vertices (D3DFVF_XYZ with optional normal, diffuse,
// specular and texture sets) go through the fixed-function vertex stage on
// the CPU before the draw: world x view x projection, then the viewport;
// with D3DRS_LIGHTING on (the default) each vertex is lit in eye space from
// D3DRS_AMBIENT, the material (its colour sources under D3DRS_COLORVERTEX
// and the *MATERIALSOURCE states) and the enabled directional and point
// lights (range and attenuation; a spot light lights as a point light;
// normals are normalised only under D3DRS_NORMALIZENORMALS; no specular
// lighting). Primitives with a vertex at or behind the eye (clip w <= 0) are
// left out rather than clipped. Vertex blending and point sizes are refused.
//
// Not done here (refused with D3DERR_NOTAVAILABLE, or only stored): fog,
// depth bias and texture transforms are stored, not drawn; textures keep every level but draw from
// level 0; volume textures are kept in memory and read as no texture when
// set on a stage; D3DTA_CONSTANT reads as opaque white; multisampling (only
// D3DMULTISAMPLE_NONE); the caps report the shader model the context can
// run unless a test scripts another (SetShaderModel below).
//
// Test seams (seams::FailCall): "IDirect3D9::<Method>",
// "IDirect3DDevice9::<Method>", "IDirect3DSurface9::<Method>",
// "IDirect3DTexture9::<Method>", "IDirect3DVolumeTexture9::<Method>",
// "IDirect3DVertexBuffer9::<Method>", "IDirect3DIndexBuffer9::<Method>",
// "IDirect3DSwapChain9::Present", "Direct3DCreate9" and "Direct3DCreate9Ex"
// fail with the chosen HRESULT (D3DERR_INVALIDCALL when the test chose none;
// the creators then give null / that result). d3d9::LoseDevice, the runtime
// module switch and the call recording are below.
#pragma once

#include "platform/com/com.h"
#include "platform/d3d9/d3d9_structs.h"
#include "platform/d3d9/d3d9_types.h"
#include "platform/wintypes.h"

#include <cstdint>
#include <string>
#include <vector>

// ---- interfaces -------------------------------------------------------------------
extern const IID IID_IDirect3D9;
extern const IID IID_IDirect3D9Ex;
extern const IID IID_IDirect3DDevice9;
extern const IID IID_IDirect3DDevice9Ex;

struct IDirect3DDevice9;

struct IDirect3DResource9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    // rect null: the whole surface. D3DLOCK_READONLY still lets the caller
    // write a system-memory surface (what it writes stays).
    // 'YV12' surfaces lock as the Y plane (Pitch bytes a row, a multiple of
    // 16), then the V plane and the U plane (Pitch / 2 a row, Height / 2
    // rows); 'YUY2' as Y0 U Y1 V and 'UYVY' as U Y0 V Y1 for each pair of
    // pixels. A rectangle of them must start on an even column (and an
    // even row for 'YV12').
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
    virtual DWORD GetLevelCount() = 0;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    // The level's surface, with a reference for the caller.
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

struct IDirect3DVolumeTexture9 : IDirect3DBaseTexture9 {
    virtual HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) = 0;
    virtual HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) = 0;
    virtual HRESULT UnlockBox(UINT level) = 0;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};
struct IDirect3DIndexBuffer9 : IDirect3DResource9 {
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) = 0;
};
struct IDirect3DVertexShader9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};
struct IDirect3DPixelShader9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};
struct IDirect3DVertexDeclaration9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};

struct IDirect3DSwapChain9 : IUnknown {
    // Shows the back buffer (sourceRect of it, scaled into destRect of the
    // window's client area; null: all of either). window null: the device
    // window. flags and dirty region are ignored.
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                            DWORD flags) = 0;
    virtual HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) = 0;
    virtual HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
};

struct IDirect3DDevice9 : IUnknown {
    // D3D_OK, D3DERR_DEVICELOST while lost, D3DERR_DEVICENOTRESET once it
    // may be reset.
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT GetDirect3D(struct IDirect3D9** d3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) = 0;
    // Every render target, depth surface and default-pool texture must have
    // been released first; all states return to their defaults.
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* params) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty) = 0;
    virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) = 0;
    virtual HRESULT SetDialogBoxMode(BOOL enable) = 0;

    // ---- resources ----
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DTexture9** texture, HANDLE* shared) = 0;
    virtual HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                        D3DFORMAT format, D3DPOOL pool, IDirect3DVolumeTexture9** texture,
                                        HANDLE* shared) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* shared) = 0;
    virtual HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                      IDirect3DIndexBuffer9** buffer, HANDLE* shared) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                       DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD quality, BOOL discard,
                                              IDirect3DSurface9** surface, HANDLE* shared) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, HANDLE* shared) = 0;
    // System-memory surface -> default-pool surface of the same format.
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                  const POINT* destPoint) = 0;
    // System-memory texture -> default-pool texture of the same kind, size
    // and format (plain or volume).
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) = 0;
    // Render target -> system-memory surface of the same size and format.
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) = 0;
    // Between default-pool surfaces (render targets, texture levels made
    // with D3DUSAGE_RENDERTARGET, plain default-pool surfaces); filter NONE
    // or POINT is nearest, LINEAR bilinear. Not inside the same surface.
    // From a default-pool 'YV12' / 'YUY2' / 'UYVY' plain surface onto a
    // render target or onto any level of a default or managed texture,
    // converted to RGB (BT.601 studio range, the program's own software
    // movie conversion).
    virtual HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                                const RECT* destRect, D3DTEXTUREFILTERTYPE filter) = 0;
    virtual HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) = 0;

    // ---- targets ----
    // Index 0 only. Setting a target makes the viewport cover it.
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) = 0;
    virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Clears the current viewport (intersected with the rectangles when
    // count > 0) of the render target (D3DCLEAR_TARGET, colour ARGB) and the
    // depth surface (D3DCLEAR_ZBUFFER, z in 0..1).
    virtual HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;

    // ---- state ----
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    // The viewport must lie inside the render target.
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetMaterial(const D3DMATERIAL9* material) = 0;
    virtual HRESULT GetMaterial(D3DMATERIAL9* material) = 0;
    virtual HRESULT SetLight(DWORD index, const D3DLIGHT9* light) = 0;
    virtual HRESULT GetLight(DWORD index, D3DLIGHT9* light) = 0;
    virtual HRESULT LightEnable(DWORD index, BOOL enable) = 0;
    virtual HRESULT GetLightEnable(DWORD index, BOOL* enable) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
    // Stages 0..7; the device holds a reference to the texture.
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT SetScissorRect(const RECT* rect) = 0;
    virtual HRESULT GetScissorRect(RECT* rect) = 0;

    // ---- drawing ----
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                         UINT startIndex, UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indices, D3DFORMAT indexFormat,
                                           const void* vertices, UINT stride) = 0;
    virtual HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                            IDirect3DVertexDeclaration9** declaration) = 0;
    virtual HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    virtual HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count4) = 0;
    virtual HRESULT SetVertexShaderConstantI(UINT start, const int* data, UINT count4) = 0;
    virtual HRESULT SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) = 0;
    virtual HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) = 0;
    virtual HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) = 0;
    virtual HRESULT SetPixelShader(IDirect3DPixelShader9* shader) = 0;
    virtual HRESULT SetPixelShaderConstantF(UINT start, const float* data, UINT count4) = 0;
    virtual HRESULT SetPixelShaderConstantI(UINT start, const int* data, UINT count4) = 0;
    virtual HRESULT SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) = 0;
    virtual HRESULT GetVertexShaderConstantF(UINT start, float* data, UINT count4) = 0;
    virtual HRESULT GetPixelShaderConstantF(UINT start, float* data, UINT count4) = 0;
};

struct IDirect3DDevice9Ex : IDirect3DDevice9 {
    virtual HRESULT SetMaximumFrameLatency(UINT maxLatency) = 0;
    virtual HRESULT GetMaximumFrameLatency(UINT* maxLatency) = 0;
    // D3D_OK, or D3DERR_DEVICELOST while lost.
    virtual HRESULT CheckDeviceState(HWND window) = 0;
    virtual HRESULT PresentEx(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                              DWORD flags) = 0;
    virtual HRESULT ResetEx(D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode) = 0;
};

struct IDirect3D9 : IUnknown {
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
    // Modes of the desktop display in format (R5G6B5 and X8R8G8B8 are offered;
    // other formats have none).
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    // D3D_OK or D3DERR_NOTAVAILABLE, by the format table (see the top).
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    // Whether StretchRect converts sourceFormat into targetFormat: from
    // 'YV12', 'YUY2', 'UYVY' or a render-target format into a render-target
    // format (see the top). D3D_OK or D3DERR_NOTAVAILABLE.
    virtual HRESULT CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT sourceFormat,
                                                D3DFORMAT targetFormat) = 0;
    // Only D3DMULTISAMPLE_NONE is available (quality count 1).
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat,
                                               BOOL windowed, D3DMULTISAMPLE_TYPE multiSample,
                                               DWORD* qualityLevels) = 0;
    // D16, D24X8, D24S8 and D32 match every render-target format (see the
    // top) when the GL context draws with a depth buffer of that many bits.
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                           D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    // Adapter 0, D3DDEVTYPE_HAL, one of the three vertex-processing flags.
    // Windowed: any back-buffer size up to the maximum texture size, format
    // R5G6B5, X8R8G8B8, A8R8G8B8 or UNKNOWN (the desktop's). Full screen:
    // BackBufferFormat must be given. D3DERR_NOTAVAILABLE when no device is
    // offered (see the top).
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) = 0;
};

struct IDirect3D9Ex : IDirect3D9 {
    // fullScreenMode: null when windowed, else the mode (Size 24).
    virtual HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                   D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode,
                                   IDirect3DDevice9Ex** device) = 0;
    virtual HRESULT GetAdapterDisplayModeEx(UINT adapter, D3DDISPLAYMODEEX* mode, D3DDISPLAYMODEEX* unused) = 0;
};

// The runtime's entries, as "d3d9.dll" exports them through GetProcAddress.
IDirect3D9* Direct3DCreate9(UINT sdkVersion);
HRESULT Direct3DCreate9Ex(UINT sdkVersion, IDirect3D9Ex** d3d);
using PFN_Direct3DCreate9 = IDirect3D9* (*)(UINT);
using PFN_Direct3DCreate9Ex = HRESULT (*)(UINT, IDirect3D9Ex**);

namespace d3d9 {

// Makes "d3d9.dll" loadable by LoadLibraryA (present: true), or missing.
// The platform's start-up registers it present.
void RegisterRuntime(bool present = true);

// True when this process can have a device: an OpenGL 3.3 core context can
// be made on a graphics card, and VELUMI_NO_HARDWARE does not forbid it.
// Where the only OpenGL is a software rasteriser (Mesa's llvmpipe, softpipe,
// swrast; or no graphics card's device node, and then OpenGL is not started
// at all), the software path draws for less, and no device is offered
// unless VELUMI_HARDWARE is set to anything but "0". Asked once; tests may
// ask again with Recheck.
bool HardwareAvailable();
// The rule of HardwareAvailable, for a renderer's name.
bool ChooseHardware(bool forbidden, bool forced, bool cardNode, const char* renderer);
void RecheckHardware();
// Where a device would be tried (the rule of HardwareAvailable before OpenGL
// starts), the next window made carries an OpenGL drawable from the start
// and the context is made on it: a program calls it just before it makes
// the window its device will present into. Elsewhere nothing.
void PrepareDevice();

// Loses the device (as when another program takes the display): calls
// that draw give D3DERR_DEVICELOST, TestCooperativeLevel gives
// D3DERR_DEVICELOST `lostChecks` times and then D3DERR_DEVICENOTRESET, until
// Reset succeeds. Null: every device of this process.
void LoseDevice(IDirect3DDevice9* device, int lostChecks = 1);

// The shader models the capabilities report (VertexShaderVersion and
// PixelShaderVersion): 3.0 where an OpenGL 3.3 core context can be made, else
// 1.1, unless a test scripts others (both alike, or each on its own);
// ResetShaderModel goes back to the context's answer. Shader code of a
// higher version than reported is refused.
void SetShaderModel(UINT major, UINT minor = 0);
void SetShaderModels(UINT vertexMajor, UINT vertexMinor, UINT pixelMajor, UINT pixelMinor);
void ResetShaderModel();

// The multisample types CheckDeviceMultiSampleType offers for a format:
// D3DMULTISAMPLE_NONE alone (the stand-in draws without multisampling), unless
// a test makes it offer every type up to highest with that many quality
// levels (D3DMULTISAMPLE_NONE: back to none). Devices and surfaces are still
// refused any multisampling.
void OfferMultiSampleForTest(D3DFORMAT format, D3DMULTISAMPLE_TYPE highest, DWORD qualityLevels);

// How many times pixels were read from the card into memory in this
// process (locks, copies to system memory, reads of a window's picture): a
// Present makes none while its window carries an OpenGL drawable.
uint64_t PixelReadCount();

// The recording of calls: when on, every device, surface, texture and
// runtime call appends "<Method>(<arguments>) = <result as hex>", e.g.
// "SetRenderState(27, 1) = 0", "DrawPrimitiveUP(4, 2, 28) = 0".
void SetCallRecording(bool on);
std::vector<std::string> RecordedCalls();
void ClearRecordedCalls();

}  // namespace d3d9
