// The device's Set and Get calls.
#include "platform/d3d9/d3d9_device.h"

#include <algorithm>

namespace d3d9 {
namespace {

constexpr const char* kDevice = "IDirect3DDevice9";

// Copies count registers of 4 (or 1) values into a constant file.
template <typename T, size_t N>
HRESULT StoreConstants(std::array<T, N>& file, UINT start, const T* data, UINT count, UINT width) {
    if (data == nullptr || static_cast<uint64_t>(start) + count > N / width) return D3DERR_INVALIDCALL;
    std::copy(data, data + static_cast<size_t>(count) * width, file.begin() + static_cast<size_t>(start) * width);
    return D3D_OK;
}

D3DLIGHT9 DefaultLight() {
    D3DLIGHT9 light{};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
    light.Direction = D3DVECTOR{0, 0, 1};
    return light;
}

}  // namespace

// ---- targets ---------------------------------------------------------------------------
HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* surface) {
    HRESULT hr = Enter(kDevice, "SetRenderTarget");
    if (FAILED(hr)) return hr;
    auto* s = dynamic_cast<Surface*>(surface);
    if (index != 0 || s == nullptr || !s->IsRenderTarget() || s->storage() != Storage::Gpu) {
        hr = D3DERR_INVALIDCALL;
    } else {
        s->Bind();
        renderTarget_->Unbind();
        renderTarget_ = s;
        const D3DSURFACE_DESC& d = s->desc();
        state_.viewport = D3DVIEWPORT9{0, 0, d.Width, d.Height, 0.0f, 1.0f};
        state_.scissor = RECT{0, 0, static_cast<LONG>(d.Width), static_cast<LONG>(d.Height)};
        state_.dirty |= kDirtyTarget;
    }
    Record("SetRenderTarget", {index, s != nullptr ? s->desc().Width : 0, s != nullptr ? s->desc().Height : 0}, hr);
    return hr;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    if (HRESULT seam = Enter(kDevice, "GetRenderTarget"); FAILED(seam)) return seam;
    if (index != 0 || surface == nullptr) return D3DERR_INVALIDCALL;
    renderTarget_->AddRef();
    *surface = renderTarget_;
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface) {
    HRESULT hr = Enter(kDevice, "SetDepthStencilSurface");
    if (FAILED(hr)) return hr;
    auto* s = dynamic_cast<Surface*>(surface);
    if (surface != nullptr && (s == nullptr || s->storage() != Storage::Depth)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        if (s != nullptr) s->Bind();
        if (depthStencil_ != nullptr) depthStencil_->Unbind();
        depthStencil_ = s;
        state_.dirty |= kDirtyTarget;
    }
    Record("SetDepthStencilSurface", {s != nullptr ? 1 : 0}, hr);
    return hr;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    if (HRESULT seam = Enter(kDevice, "GetDepthStencilSurface"); FAILED(seam)) return seam;
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = depthStencil_;
    if (depthStencil_ == nullptr) return D3DERR_NOTFOUND;
    depthStencil_->AddRef();
    return D3D_OK;
}

// ---- transforms, viewport, material, lights -----------------------------------------------
HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (HRESULT seam = Enter(kDevice, "SetTransform"); FAILED(seam)) return seam;
    int slot = TransformSlot(state);
    HRESULT hr = slot < 0 || matrix == nullptr ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(hr)) state_.transform[slot] = *matrix;
    Record("SetTransform", {state}, hr);
    return hr;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    if (HRESULT seam = Enter(kDevice, "GetTransform"); FAILED(seam)) return seam;
    int slot = TransformSlot(state);
    if (slot < 0 || matrix == nullptr) return D3DERR_INVALIDCALL;
    *matrix = state_.transform[slot];
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport) {
    HRESULT hr = Enter(kDevice, "SetViewport");
    if (FAILED(hr)) return hr;
    const D3DSURFACE_DESC& d = renderTarget_->desc();
    if (viewport == nullptr || static_cast<uint64_t>(viewport->X) + viewport->Width > d.Width ||
        static_cast<uint64_t>(viewport->Y) + viewport->Height > d.Height || !(viewport->MinZ >= 0.0f) ||
        !(viewport->MaxZ <= 1.0f) || viewport->MinZ > viewport->MaxZ)
        hr = D3DERR_INVALIDCALL;
    else
        state_.viewport = *viewport;
    Record("SetViewport", {viewport ? viewport->X : 0, viewport ? viewport->Y : 0, viewport ? viewport->Width : 0,
                           viewport ? viewport->Height : 0},
           hr);
    return hr;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport) {
    if (HRESULT seam = Enter(kDevice, "GetViewport"); FAILED(seam)) return seam;
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* material) {
    HRESULT hr = Enter(kDevice, "SetMaterial");
    if (FAILED(hr)) return hr;
    if (material == nullptr) return D3DERR_INVALIDCALL;
    state_.material = *material;
    return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* material) {
    if (HRESULT seam = Enter(kDevice, "GetMaterial"); FAILED(seam)) return seam;
    if (material == nullptr) return D3DERR_INVALIDCALL;
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, const D3DLIGHT9* light) {
    HRESULT hr = Enter(kDevice, "SetLight");
    if (FAILED(hr)) return hr;
    if (light == nullptr || light->Type < D3DLIGHT_POINT || light->Type > D3DLIGHT_DIRECTIONAL)
        return D3DERR_INVALIDCALL;
    state_.lights[index] = *light;
    return D3D_OK;
}

HRESULT Device::GetLight(DWORD index, D3DLIGHT9* light) {
    if (HRESULT seam = Enter(kDevice, "GetLight"); FAILED(seam)) return seam;
    auto found = state_.lights.find(index);
    if (light == nullptr || found == state_.lights.end()) return D3DERR_INVALIDCALL;
    *light = found->second;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    HRESULT hr = Enter(kDevice, "LightEnable");
    if (FAILED(hr)) return hr;
    // Enabling a light never set makes the default one, as Direct3D does.
    if (state_.lights.find(index) == state_.lights.end()) state_.lights[index] = DefaultLight();
    state_.lightEnabled[index] = enable != FALSE;
    return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enable) {
    if (HRESULT seam = Enter(kDevice, "GetLightEnable"); FAILED(seam)) return seam;
    if (enable == nullptr || state_.lights.find(index) == state_.lights.end()) return D3DERR_INVALIDCALL;
    auto found = state_.lightEnabled.find(index);
    *enable = found != state_.lightEnabled.end() && found->second ? TRUE : FALSE;
    return D3D_OK;
}

// ---- render, stage and sampler states ------------------------------------------------------
HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    HRESULT hr = Enter(kDevice, "SetRenderState");
    if (FAILED(hr)) return hr;
    hr = IsRenderState(state) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        state_.render[state] = value;
        state_.dirty |= kDirtyProgram;
    }
    Record("SetRenderState", {state, value}, hr);
    return hr;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (HRESULT seam = Enter(kDevice, "GetRenderState"); FAILED(seam)) return seam;
    if (value == nullptr || !IsRenderState(state)) return D3DERR_INVALIDCALL;
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    HRESULT hr = Enter(kDevice, "SetTexture");
    if (FAILED(hr)) return hr;
    BaseTexture* t = texture != nullptr ? AsBaseTexture(texture) : nullptr;
    if (stage >= kStages || (texture != nullptr && (t == nullptr || t->pool() == D3DPOOL_SYSTEMMEM ||
                                                    t->pool() == D3DPOOL_SCRATCH)))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr) && state_.texture[stage] != t) {
        if (t != nullptr) t->Bind();
        if (state_.texture[stage] != nullptr) state_.texture[stage]->Unbind();
        state_.texture[stage] = t;
        state_.dirty |= kDirtyProgram | kDirtySamplers;
    }
    Record("SetTexture", {stage, texture != nullptr ? 1 : 0}, hr);
    return hr;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (HRESULT seam = Enter(kDevice, "GetTexture"); FAILED(seam)) return seam;
    if (stage >= kStages || texture == nullptr) return D3DERR_INVALIDCALL;
    BaseTexture* t = state_.texture[stage];
    *texture = t != nullptr ? t->Interface() : nullptr;
    if (t != nullptr) t->AddRefResource();
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    HRESULT hr = Enter(kDevice, "SetTextureStageState");
    if (FAILED(hr)) return hr;
    hr = stage < kStages && IsStageState(type) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        state_.stage[stage][type] = value;
        state_.dirty |= kDirtyProgram;
    }
    Record("SetTextureStageState", {stage, type, value}, hr);
    return hr;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (HRESULT seam = Enter(kDevice, "GetTextureStageState"); FAILED(seam)) return seam;
    if (value == nullptr || stage >= kStages || !IsStageState(type)) return D3DERR_INVALIDCALL;
    *value = state_.stage[stage][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    HRESULT hr = Enter(kDevice, "SetSamplerState");
    if (FAILED(hr)) return hr;
    hr = sampler < kStages && IsSamplerState(type) ? D3D_OK : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        state_.sampler[sampler][type] = value;
        state_.dirty |= kDirtySamplers;
    }
    Record("SetSamplerState", {sampler, type, value}, hr);
    return hr;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (HRESULT seam = Enter(kDevice, "GetSamplerState"); FAILED(seam)) return seam;
    if (value == nullptr || sampler >= kStages || !IsSamplerState(type)) return D3DERR_INVALIDCALL;
    *value = state_.sampler[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* rect) {
    HRESULT hr = Enter(kDevice, "SetScissorRect");
    if (FAILED(hr)) return hr;
    if (rect == nullptr) return D3DERR_INVALIDCALL;
    state_.scissor = *rect;
    Record("SetScissorRect", {rect->left, rect->top, rect->right, rect->bottom}, hr);
    return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect) {
    if (HRESULT seam = Enter(kDevice, "GetScissorRect"); FAILED(seam)) return seam;
    if (rect == nullptr) return D3DERR_INVALIDCALL;
    *rect = state_.scissor;
    return D3D_OK;
}

// ---- vertex formats and shader state ----------------------------------------------------------
HRESULT Device::SetFVF(DWORD fvf) {
    HRESULT hr = Enter(kDevice, "SetFVF");
    if (FAILED(hr)) return hr;
    state_.fvf = fvf;
    Rebind<Resource>(state_.declaration, nullptr);
    state_.dirty |= kDirtyProgram;
    Record("SetFVF", {fvf}, hr);
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf) {
    if (HRESULT seam = Enter(kDevice, "GetFVF"); FAILED(seam)) return seam;
    if (fvf == nullptr) return D3DERR_INVALIDCALL;
    *fvf = state_.fvf;
    return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT start, const float* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "SetVertexShaderConstantF"); FAILED(seam)) return seam;
    return StoreConstants(state_.vertexConstF, start, data, count4, 4);
}
HRESULT Device::SetVertexShaderConstantI(UINT start, const int* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "SetVertexShaderConstantI"); FAILED(seam)) return seam;
    return StoreConstants(state_.vertexConstI, start, data, count4, 4);
}
HRESULT Device::SetVertexShaderConstantB(UINT start, const BOOL* data, UINT count) {
    if (HRESULT seam = Enter(kDevice, "SetVertexShaderConstantB"); FAILED(seam)) return seam;
    return StoreConstants(state_.vertexConstB, start, data, count, 1);
}
HRESULT Device::SetPixelShaderConstantF(UINT start, const float* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "SetPixelShaderConstantF"); FAILED(seam)) return seam;
    return StoreConstants(state_.pixelConstF, start, data, count4, 4);
}
HRESULT Device::SetPixelShaderConstantI(UINT start, const int* data, UINT count4) {
    if (HRESULT seam = Enter(kDevice, "SetPixelShaderConstantI"); FAILED(seam)) return seam;
    return StoreConstants(state_.pixelConstI, start, data, count4, 4);
}
HRESULT Device::SetPixelShaderConstantB(UINT start, const BOOL* data, UINT count) {
    if (HRESULT seam = Enter(kDevice, "SetPixelShaderConstantB"); FAILED(seam)) return seam;
    return StoreConstants(state_.pixelConstB, start, data, count, 1);
}

}  // namespace d3d9
