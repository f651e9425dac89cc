// The device state cache and its setters: each compares with its shadow and
// returns at once when nothing changes (unless the force flag is set), else
// draws the pending batch, calls the device and stores the shadow.
#include "core/log.h"
#include "d3d9/d3d9_backend.h"
#include "d3d9/shader_state.h"

#include <cstring>

namespace {

DeviceBlock g_device{};
DeviceStateCache g_cache{};
int32_t g_force = 0;

IDirect3DDevice9* Dev() { return g_device.device; }
bool Skip(bool same) { return same && !g_force; }
int Status(HRESULT hr) { return FAILED(hr) ? -1 : 0; }

// A render-state setter of the common scheme.
int SetCachedState(int32_t& shadow, int32_t value, D3DRENDERSTATETYPE state, uint32_t sent, int noDevice,
                   bool flush = true) {
    if (Dev() == nullptr) return noDevice;
    if (Skip(shadow == value)) return 0;
    if (flush) FlushVertexBatch();
    shadow = value;
    return Status(Dev()->SetRenderState(state, sent));
}

constexpr int32_t kFilters[3][3] = {
    {D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE},
    {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC, D3DTEXF_LINEAR},
};

void SendSampler(int32_t& shadow, DWORD sampler, D3DSAMPLERSTATETYPE type, int32_t value) {
    if (Skip(shadow == value)) return;
    Dev()->SetSamplerState(sampler, type, static_cast<DWORD>(value));
    shadow = value;
}

// The address setters: sampler -1 covers all eight (sent 7 down to 0).
int SetAddress(int32_t sampler, int32_t mode, bool u, bool v, bool w) {
    if (Dev() == nullptr) return 0;
    if (sampler < -1 || sampler >= kMaxStages) return -1;
    DeviceStateCache& c = g_cache;
    const int32_t first = sampler < 0 ? 0 : sampler, last = sampler < 0 ? kMaxStages - 1 : sampler;
    bool same = true;
    for (int32_t s = first; s <= last; ++s)
        same = same && (!u || c.addressU[s] == mode) && (!v || c.addressV[s] == mode) && (!w || c.addressW[s] == mode);
    if (Skip(same)) return 0;
    FlushVertexBatch();
    HRESULT hr = S_OK;
    for (int32_t s = last; s >= first; --s) {
        if (u) c.addressU[s] = mode, hr = Dev()->SetSamplerState(s, D3DSAMP_ADDRESSU, mode);
        if (v) c.addressV[s] = mode, hr = Dev()->SetSamplerState(s, D3DSAMP_ADDRESSV, mode);
        if (w) c.addressW[s] = mode, hr = Dev()->SetSamplerState(s, D3DSAMP_ADDRESSW, mode);
    }
    return Status(hr);
}

uint32_t FloatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

}  // namespace

DeviceBlock& Device() { return g_device; }
DeviceStateCache& Cache() { return g_cache; }
int32_t& ForceResend() { return g_force; }

void SendRenderState(D3DRENDERSTATETYPE state, uint32_t value) {
    if (Dev() != nullptr) Dev()->SetRenderState(state, value);
}

// No flush: the switch changes how later 3D vertices are lit.
int SetDeviceLighting(int32_t flag) {
    if (Dev() == nullptr) return 0;
    if (Skip(g_cache.lighting == flag)) return 0;
    g_cache.lighting = flag;
    UpdateShaderVariantIndex();
    return Status(Dev()->SetRenderState(D3DRS_LIGHTING, static_cast<uint32_t>(flag)));
}

int ResetTexCoordIndices() {
    if (Dev() == nullptr) return 0;
    for (int32_t s = 0; s < kMaxStages; ++s) {
        DeviceStageRecord& stage = g_cache.current.stages[s];
        if (Skip(stage.texCoordIndex == s)) continue;
        Dev()->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, s);
        stage.texCoordIndex = s;
    }
    return 0;
}

int SetDeviceTextureFilter(int32_t mode) {
    if (Dev() == nullptr) return -1;
    DeviceStateCache& c = g_cache;
    if (Skip(c.filterMode == mode)) return 0;
    FlushVertexBatch();
    if (mode < 0 || mode > 2) return -1;
    for (int32_t s = 0; s < c.current.stageCount; ++s) {
        SendSampler(c.magFilter[s], s, D3DSAMP_MAGFILTER, kFilters[mode][0]);
        SendSampler(c.minFilter[s], s, D3DSAMP_MINFILTER, kFilters[mode][1]);
        SendSampler(c.mipFilter[s], s, D3DSAMP_MIPFILTER, kFilters[mode][2]);
    }
    c.filterMode = mode;
    return 0;
}

int SetDeviceMaxAnisotropy(int32_t value) {
    if (Dev() == nullptr) return -1;
    DeviceStateCache& c = g_cache;
    if (Skip(c.maxAnisotropy == value)) return 0;
    if (value < 1) value = 1;
    FlushVertexBatch();
    for (int32_t s = 0; s < c.current.stageCount; ++s)
        SendSampler(c.samplerAnisotropy[s], s, D3DSAMP_MAXANISOTROPY, value);
    c.maxAnisotropy = value;
    return 0;
}

int SetDeviceZEnable(int32_t value) {
    SetCachedState(g_cache.zEnable, value, D3DRS_ZENABLE, value == 1 ? 1u : 0u, -1);
    return Dev() == nullptr ? -1 : 0;
}

int SetDeviceZWriteEnable(int32_t flag) {
    SetCachedState(g_cache.zWriteEnable, flag, D3DRS_ZWRITEENABLE, static_cast<uint32_t>(flag), -1);
    return Dev() == nullptr ? -1 : 0;
}

int SetDeviceZFunc(int32_t func) {
    SetCachedState(g_cache.zFunc, func, D3DRS_ZFUNC, static_cast<uint32_t>(func), -1);
    return Dev() == nullptr ? -1 : 0;
}

int SetDeviceDepthBias(uint32_t bits) {
    if (Dev() == nullptr) return -1;
    if (Skip(g_cache.depthBias == bits)) return 0;
    FlushVertexBatch();
    g_cache.depthBias = bits;
    Dev()->SetRenderState(D3DRS_DEPTHBIAS, bits);
    return 0;
}

int SetDeviceTexture(IDirect3DTexture9* texture) {
    if (Dev() == nullptr) return -1;
    DeviceStateCache& c = g_cache;
    if (Skip(c.drawTexture == texture)) return 0;
    FlushVertexBatch();
    if ((c.drawTexture == nullptr) != (texture == nullptr)) c.setupDirty = 1;
    c.drawTexture = texture;
    c.textureDirty = 1;
    return 0;
}

int SetDeviceDiffuseSource(int32_t flag) {
    return SetCachedState(g_cache.diffuseSource, flag, D3DRS_DIFFUSEMATERIALSOURCE,
                          flag != 0 ? D3DMCS_COLOR1 : D3DMCS_MATERIAL, 0);
}

int SetDeviceSpecularSource(int32_t flag) {
    return SetCachedState(g_cache.specularSource, flag, D3DRS_SPECULARMATERIALSOURCE,
                          flag != 0 ? D3DMCS_COLOR2 : D3DMCS_MATERIAL, 0);
}

int SetDeviceCullMode(int32_t value) {
    const uint32_t sent = value == 0 ? D3DCULL_NONE : value == 2 ? D3DCULL_CW : D3DCULL_CCW;
    SetCachedState(g_cache.cullMode, value, D3DRS_CULLMODE, sent, 0);
    return 0;
}

int SetDeviceAddressMode(int32_t sampler, int32_t mode) { return SetAddress(sampler, mode, true, true, true); }
int SetDeviceAddressU(int32_t sampler, int32_t mode) { return SetAddress(sampler, mode, true, false, false); }
int SetDeviceAddressV(int32_t sampler, int32_t mode) { return SetAddress(sampler, mode, false, true, false); }
int SetDeviceAddressW(int32_t sampler, int32_t mode) { return SetAddress(sampler, mode, false, false, true); }

int SetDeviceTextureTransform(int32_t stage, int32_t flag, const D3DMATRIX* matrix) {
    if (Dev() == nullptr || matrix == nullptr || stage >= kMaxStages || stage < -1) return 0;
    DeviceStateCache& c = g_cache;
    const int32_t first = stage < 0 ? 0 : stage, last = stage < 0 ? 3 : stage;
    if (stage >= 0 && c.texTransformFlag[stage] == 0 && flag == 0) return 0;
    FlushVertexBatch();
    // Every stage's flag first, then the matrices: stages 0 to 3 together
    // take all four flags before the first matrix.
    for (int32_t s = first; s <= last; ++s) {
        if (flag != 1)
            Dev()->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        else if (stage < 0 || c.texTransformFlag[s] == 0 || g_force)
            Dev()->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3);
        c.texTransformFlag[s] = flag;
        c.texTransform[s] = *matrix;
    }
    if (flag == 1)
        for (int32_t s = first; s <= last; ++s)
            Dev()->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(D3DTS_TEXTURE0 + s), matrix);
    return 0;
}

int SetDeviceFogEnable(int32_t flag) {
    if (Dev() == nullptr) return 0;
    if (Skip(g_cache.fogEnable == flag)) return 0;
    FlushVertexBatch();
    g_cache.fogEnable = flag;
    UpdateShaderVariantIndex();
    return Status(Dev()->SetRenderState(D3DRS_FOGENABLE, static_cast<uint32_t>(flag)));
}

int SetDeviceFogMode(int32_t mode) {
    if (Dev() == nullptr) return 0;
    if (Skip(g_cache.fogMode == mode)) return 0;
    FlushVertexBatch();
    // The shaders' fog switches: linear, exponential, squared, any.
    const BOOL kinds[4] = {mode == D3DFOG_LINEAR, mode == D3DFOG_EXP, mode == D3DFOG_EXP2, mode != D3DFOG_NONE};
    if (g_cache.shadersInUse) SetDeviceVertexShaderBooleans(0, 4, kinds, false);
    g_cache.fogMode = mode;
    UpdateShaderVariantIndex();
    return Status(Dev()->SetRenderState(D3DRS_FOGVERTEXMODE, static_cast<uint32_t>(mode)));
}

int SetDeviceFogColor(uint32_t color) {
    if (Dev() == nullptr) return 0;
    if (Skip(g_cache.fogColor == color)) return 0;
    FlushVertexBatch();
    g_cache.fogColor = color;
    return Status(Dev()->SetRenderState(D3DRS_FOGCOLOR, color));
}

int SetDeviceFogStartEnd(float start, float end) {
    if (Dev() == nullptr) return 0;
    FlushVertexBatch();
    DeviceStateCache& c = g_cache;
    if (!(c.fogStart == start) || g_force) {
        c.fogStart = start;
        Dev()->SetRenderState(D3DRS_FOGSTART, FloatBits(start));
        UpdateFogConstant();
    }
    if (!(c.fogEnd == end) || g_force) {
        c.fogEnd = end;
        Dev()->SetRenderState(D3DRS_FOGEND, FloatBits(end));
        UpdateFogConstant();
    }
    return 0;
}

int SetDeviceFogDensity(float density) {
    if (Dev() == nullptr) return 0;
    if (Skip(g_cache.fogDensity == density)) return 0;
    FlushVertexBatch();
    g_cache.fogDensity = density;
    UpdateFogConstant();
    return Status(Dev()->SetRenderState(D3DRS_FOGDENSITY, FloatBits(density)));
}

int SetDeviceViewport(const D3DVIEWPORT9& viewport) {
    if (Dev() == nullptr) return -1;
    D3DVIEWPORT9& shadow = g_device.viewport;
    const bool same = shadow.X == viewport.X && shadow.Y == viewport.Y && shadow.Width == viewport.Width &&
                      shadow.Height == viewport.Height;
    if (Skip(same)) return 0;
    FlushVertexBatch();
    EndDeviceScene();
    HRESULT hr = Dev()->SetViewport(&viewport);
    if (FAILED(hr)) {
        return WriteLogFormatted("ビューポートのセットに失敗しました ErrorCode %x\n", static_cast<unsigned>(hr));
    }
    shadow = viewport;
    return 0;
}

int SetDeviceViewportRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    D3DVIEWPORT9 v{};
    v.X = static_cast<DWORD>(left);
    v.Y = static_cast<DWORD>(top);
    v.Width = static_cast<DWORD>(right - left);
    v.Height = static_cast<DWORD>(bottom - top);
    v.MinZ = 0.0f;
    v.MaxZ = 1.0f;
    return SetDeviceViewport(v);
}

int SetDeviceScissorRect(const RECT& rect) {
    if (Dev() == nullptr) return -1;
    RECT& shadow = g_device.scissor;
    const bool same = shadow.left == rect.left && shadow.right == rect.right && shadow.top == rect.top &&
                      shadow.bottom == rect.bottom;
    if (Skip(same)) return 0;
    FlushVertexBatch();
    EndDeviceScene();
    Dev()->SetScissorRect(&rect);
    shadow = rect;
    return 0;
}

int SetDeviceRenderTarget(IDirect3DSurface9* surface) {
    if (Dev() == nullptr) return -1;
    if (Skip(g_device.renderTarget == surface)) return 0;
    FlushVertexBatch();
    Dev()->SetRenderTarget(0, surface);
    g_device.renderTarget = surface;
    D3DSURFACE_DESC desc{};
    if (surface != nullptr && SUCCEEDED(surface->GetDesc(&desc))) {
        SetDeviceViewportRect(0, 0, static_cast<int32_t>(desc.Width), static_cast<int32_t>(desc.Height));
    }
    return 0;
}
