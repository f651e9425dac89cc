// The device, its swap chain and the runtime object (internal to the stand-in).
#pragma once

#include "platform/d3d9/d3d9_frame_queue.h"
#include "platform/d3d9/d3d9_internal.h"

#include <atomic>
#include <cstdint>

namespace d3d9 {

class Device;

class SwapChain final : public IDirect3DSwapChain9, public Resource {
public:
    explicit SwapChain(Device* device);
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return AddRefResource(); }
    ULONG Release() override { return ReleaseResource(); }
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                    DWORD flags) override;
    HRESULT GetBackBuffer(UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* params) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override { return GetDeviceOf(this, device); }
};

class Direct3D final : public ComObject<IDirect3D9Ex> {
public:
    explicit Direct3D(bool ex) : ex_(ex) {}
    bool ex() const { return ex_; }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT displayFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE type, D3DFORMAT sourceFormat,
                                        D3DFORMAT targetFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE multiSample, DWORD* qualityLevels) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** device) override;
    HRESULT CreateDeviceEx(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                           D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode,
                           IDirect3DDevice9Ex** device) override;
    HRESULT GetAdapterDisplayModeEx(UINT adapter, D3DDISPLAYMODEEX* mode, D3DDISPLAYMODEEX* unused) override;

private:
    HRESULT MakeDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                       D3DPRESENT_PARAMETERS* params, const D3DDISPLAYMODEEX* mode, Device** device);
    bool ex_;
};

// The capabilities every device of this process reports.
void FillCaps(D3DCAPS9* caps);
// The desktop's current mode as Direct3D describes it.
D3DDISPLAYMODE DesktopMode();
// D3D_OK when the present parameters describe a device this stand-in makes
// (the back-buffer format filled in when the window takes the desktop's).
HRESULT CheckPresentParameters(D3DPRESENT_PARAMETERS* params, HWND focusWindow, bool ex,
                               const D3DDISPLAYMODEEX* mode);

class Device final : public IDirect3DDevice9Ex {
public:
    Device(Direct3D* d3d, bool ex, HWND focusWindow, DWORD behaviorFlags, const D3DPRESENT_PARAMETERS& params);
    // Makes the swap chain, back buffer and automatic depth surface.
    HRESULT Initialize();

    // ---- IUnknown, creation, reset and present (d3d9_device.cpp) ----
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT GetSwapChain(UINT index, IDirect3DSwapChain9** swapChain) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
    HRESULT SetDialogBoxMode(BOOL enable) override;
    HRESULT SetMaximumFrameLatency(UINT maxLatency) override;
    HRESULT GetMaximumFrameLatency(UINT* maxLatency) override;
    HRESULT CheckDeviceState(HWND window) override;
    HRESULT PresentEx(const RECT* sourceRect, const RECT* destRect, HWND window, const RGNDATA* dirty,
                      DWORD flags) override;
    HRESULT ResetEx(D3DPRESENT_PARAMETERS* params, D3DDISPLAYMODEEX* fullScreenMode) override;

    // ---- resources (d3d9_device_resources.cpp) ----
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* shared) override;
    HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                D3DPOOL pool, IDirect3DVolumeTexture9** texture, HANDLE* shared) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* shared) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* shared) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD quality, BOOL lockable, IDirect3DSurface9** surface, HANDLE* shared) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD quality, BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* shared) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* shared) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                          const POINT* destPoint) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* source, IDirect3DBaseTexture9* dest) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* dest) override;
    HRESULT StretchRect(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* dest,
                        const RECT* destRect, D3DTEXTUREFILTERTYPE filter) override;
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;
    HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) override;
    HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) override;

    // ---- state (d3d9_device_state.cpp; bindings of shaders, declarations,
    // buffers and reading constants back in d3d9_device_bind.cpp) ----
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count4) override;
    HRESULT SetVertexShaderConstantI(UINT start, const int* data, UINT count4) override;
    HRESULT SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetPixelShaderConstantF(UINT start, const float* data, UINT count4) override;
    HRESULT SetPixelShaderConstantI(UINT start, const int* data, UINT count4) override;
    HRESULT SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) override;
    HRESULT GetVertexShaderConstantF(UINT start, float* data, UINT count4) override;
    HRESULT GetPixelShaderConstantF(UINT start, float* data, UINT count4) override;

    // ---- drawing (d3d9_draw.cpp) ----
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const RECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indices, D3DFORMAT indexFormat, const void* vertices,
                                   UINT stride) override;

    // ---- for the children ----
    const D3DPRESENT_PARAMETERS& params() const { return params_; }
    Surface* backBuffer() const { return backBuffer_; }
    void CountDefaultResource(int delta) { defaultResources_ += delta; }
    HRESULT PresentFrame(const RECT* sourceRect, const RECT* destRect, HWND window);
    bool lost() const { return lost_; }
    // Loses the device; TestCooperativeLevel reports it lostChecks times.
    void Lose(int lostChecks);
    bool MakeCurrent() const { return gl::MakeCurrent(); }

private:
    ~Device();
    void ReleaseImplicit();
    void UnbindAll();
    void UnbindObjects();  // shaders, declaration, buffers (d3d9_device_bind.cpp)
    HRESULT MakeImplicit();
    void WaitForInterval();
    // The render state, texture and FVF as one draw's pipeline.
    bool BuildPipeline(gl::PipelineSetup* setup, gl::VertexLayout* layout, DWORD fvf, UINT stride);
    // Untransformed vertices through the vertex processing, then drawn.
    HRESULT SubmitUntransformed(D3DPRIMITIVETYPE type, const void* vertices, UINT vertexCount, UINT stride,
                                const void* indices, int indexBytes, UINT indexCount);
    HRESULT CheckDraw(UINT stride, const void* vertices) const;
    // Draws vertexCount vertices (through indexCount indices of indexBytes
    // each when indices is set) with the current state.
    HRESULT Submit(D3DPRIMITIVETYPE type, const void* vertices, UINT vertexCount, UINT stride, const void* indices,
                   int indexBytes, UINT indexCount);
    gl::Rect ClipRect() const;
    HRESULT ResetWith(D3DPRESENT_PARAMETERS* params);
    HRESULT SetDisplayModeFor(const D3DPRESENT_PARAMETERS& params);

    std::atomic<ULONG> refs_{1};
    Direct3D* d3d_;
    bool ex_;
    HWND focus_;
    DWORD behavior_;
    D3DPRESENT_PARAMETERS params_;
    SwapChain* swapChain_ = nullptr;
    Surface* backBuffer_ = nullptr;
    Surface* autoDepth_ = nullptr;
    Surface* renderTarget_ = nullptr;  // bound
    Surface* depthStencil_ = nullptr;  // bound
    DeviceState state_;
    ProgramCache programs_;
    uint32_t program_ = 0;  // the program of the last draw, while kDirtyProgram is clear
    DWORD programFvf_ = 0;  // the FVF program_ was made for
    bool inScene_ = false;
    bool lost_ = false;
    bool changedMode_ = false;  // a full-screen device changed the display mode
    int lostChecks_ = 0;
    int defaultResources_ = 0;
    UINT maxLatency_ = 3;
    BOOL dialogBoxMode_ = FALSE;
    FrameQueue frames_;  // presented, not shown yet
    std::vector<uint32_t> presentPixels_;
    std::vector<uint32_t> sharedIndices_;  // a triangle list's indices with shared vertices (Submit)
    // The present on the card (d3d9_present.cpp): the window it shows in, a
    // copy of the frame last shown, where it went, and whether the window
    // refused an OpenGL drawable (then frames go through its picture).
    bool PresentOnCard(uint32_t windowId, const RECT& source, const RECT& dest, int pictureWidth,
                       int pictureHeight);
    void PresentThroughPicture(uint32_t windowId, const RECT& source, const RECT& dest);
    void PaintShown(uint32_t* picture, int width, int height);
    void EndPresentOnCard();
    uint32_t glWindow_ = 0;
    bool cardRefused_ = false;
    uint32_t shownTexture_ = 0;
    int shownWidth_ = 0;
    int shownHeight_ = 0;
    RECT shownSource_{};
    RECT shownDest_{};
};

// Every live device (for LoseDevice(null)).
void RegisterDevice(Device* device, bool add);

}  // namespace d3d9
